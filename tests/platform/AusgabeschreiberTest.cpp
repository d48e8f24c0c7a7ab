// The writer that never lets its caller wait: a pipe nobody reads, then a
// reader who comes back; and what /proc tells of a process (its age, whether
// it waits in poll).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/Ausgabeschreiber.h"
#include "platform/ProzessZustand.h"

namespace vrd4::platform {
namespace {

using Uhr = std::chrono::steady_clock;

std::size_t zaehlen(const std::string& text, const std::string& was) {
  std::size_t n = 0;
  for (std::size_t p = text.find(was); p != std::string::npos; p = text.find(was, p + 1)) ++n;
  return n;
}

TEST(Ausgabeschreiber, AReaderWhoNeverReadsCostsDroppedLinesNeverAWaitAndTheNextLineSaysHowMany) {
  int rohr[2];
  ASSERT_EQ(::pipe2(rohr, O_CLOEXEC), 0);
  const int schreibEnde = rohr[1];
  constexpr std::size_t kGrenze = 16 << 10;
  auto schreiber = std::make_unique<Ausgabeschreiber>(
      [schreibEnde](std::string_view b) {
        for (std::size_t i = 0; i < b.size();) {
          const ssize_t n = ::write(schreibEnde, b.data() + i, b.size() - i);
          if (n <= 0) return;
          i += std::size_t(n);
        }
      },
      kGrenze, [](std::size_t n) { return "verworfen: " + std::to_string(n) + "\n"; });

  // The pipe full already, its reader away.
  ::fcntl(schreibEnde, F_SETFL, O_NONBLOCK);
  while (::write(schreibEnde, "fuell\n", 6) == 6) {
  }
  ::fcntl(schreibEnde, F_SETFL, 0);
  // Far more than the queue takes: every call returns.
  const std::string zeile(99, 'z');
  constexpr int kZeilen = 5000;
  const auto start = Uhr::now();
  int angenommen = 0;
  for (int i = 0; i < kZeilen; ++i) angenommen += schreiber->geben(zeile + "\n");
  EXPECT_LT(std::chrono::duration<double>(Uhr::now() - start).count(), 5.0) << "a hang, not a measurement";
  EXPECT_FALSE(schreiber->leeren(std::chrono::milliseconds(50))) << "the reader holds the writer up";
  const std::size_t verworfen = schreiber->verworfen();
  EXPECT_EQ(std::size_t(kZeilen - angenommen), verworfen);
  EXPECT_GT(verworfen, 0u);

  // A block of several lines is dropped or kept whole, and counted by lines.
  const std::string gross(kGrenze / 2, 'g');
  EXPECT_FALSE(schreiber->geben(gross + "\n" + gross + "\n" + gross + "\n"));
  EXPECT_EQ(schreiber->verworfen(), verworfen + 3);

  // The reader comes back: everything kept arrives, then the note, then the
  // line that got through after the drops.
  std::string gelesen;
  const auto lesen = [&] {
    ::fcntl(rohr[0], F_SETFL, O_NONBLOCK);
    char puffer[65536];
    for (ssize_t n; (n = ::read(rohr[0], puffer, sizeof puffer)) > 0;) gelesen.append(puffer, std::size_t(n));
  };
  const auto ende = Uhr::now() + std::chrono::seconds(10);
  while (!schreiber->leeren(std::chrono::milliseconds(1)) && Uhr::now() < ende) lesen();
  EXPECT_TRUE(schreiber->geben("danach\n"));
  while (gelesen.find("danach\n") == std::string::npos && Uhr::now() < ende) lesen();
  EXPECT_EQ(zaehlen(gelesen, zeile + "\n"), std::size_t(angenommen));
  // Each note counts the lines dropped since the one before: together all.
  std::size_t gemeldet = 0, letzte = 0;
  for (std::size_t p = gelesen.find("verworfen: "); p != std::string::npos; p = gelesen.find("verworfen: ", p + 1))
    gemeldet += letzte = std::stoul(gelesen.substr(p + 11));
  EXPECT_EQ(gemeldet, verworfen + 3);
  const std::string schluss = "verworfen: " + std::to_string(letzte) + "\ndanach\n";
  EXPECT_EQ(gelesen.substr(gelesen.size() - std::min(gelesen.size(), schluss.size())), schluss)
      << "the note comes right before the line that got through";

  // Nothing dropped since: no note.
  EXPECT_TRUE(schreiber->geben("noch eine\n"));
  EXPECT_TRUE(schreiber->leeren(std::chrono::seconds(5)));
  lesen();
  EXPECT_EQ(gelesen.substr(gelesen.size() - 17), "danach\nnoch eine\n");

  // Its end waits only a moment for a reader who is gone again.
  for (int i = 0; i < 2000; ++i) schreiber->geben(zeile + "\n");
  const auto vorEnde = Uhr::now();
  schreiber.reset();
  EXPECT_LT(std::chrono::duration<double>(Uhr::now() - vorEnde).count(), 5.0);
  ::close(rohr[0]);  // the thread still blocked in write ends with EPIPE
  ::close(rohr[1]);
}

TEST(ProzessZustand, TheOlderOfTwoAndWhetherAProcessWaitsInPoll) {
  EXPECT_TRUE(aelter(::getppid(), ::getpid()));
  EXPECT_FALSE(aelter(::getpid(), ::getppid()));
  EXPECT_FALSE(aelter(::getpid(), ::getpid()));
  EXPECT_TRUE(prozessStart(::getpid()).has_value());
  EXPECT_FALSE(prozessStart(0x3FFFFFFF).has_value());
  EXPECT_TRUE(aelter(::getpid(), 0x3FFFFFFF)) << "a process that is gone counts as the younger";

  const pid_t wartend = ::fork();
  if (wartend == 0) {
    ::poll(nullptr, 0, 10000);
    ::_exit(0);
  }
  const pid_t rechnend = ::fork();
  if (rechnend == 0) {
    std::atomic<unsigned long> i{0};
    for (;;) i.fetch_add(1, std::memory_order_relaxed);
  }
  std::optional<bool> w, r;
  const auto ende = Uhr::now() + std::chrono::seconds(10);
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    w = wartetInPoll(wartend);
    r = wartetInPoll(rechnend);
  } while ((w != true || r == true) && Uhr::now() < ende);
  EXPECT_EQ(w, std::optional<bool>(true));
  EXPECT_NE(r, std::optional<bool>(true)) << "a process that runs does not wait";
  for (pid_t p : {wartend, rechnend}) {
    ::kill(p, SIGKILL);
    ::waitpid(p, nullptr, 0);
  }
  EXPECT_EQ(wartetInPoll(0x3FFFFFFF), std::nullopt);
}

}  // namespace
}  // namespace vrd4::platform
