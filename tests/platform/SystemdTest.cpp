// Readiness and watchdog pings as systemd receives them (on a notification
// socket of the test's own), and the history line of a status-list entry.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/Systemd.h"

namespace vrd4::platform::systemd {
namespace {

// A notification socket of the test's own, named in NOTIFY_SOCKET while it
// lives; what came on it.
struct Manager {
  Manager() {
    ::unlink(pfad.c_str());
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    pfad.copy(a.sun_path, sizeof a.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::setenv("NOTIFY_SOCKET", pfad.c_str(), 1);
  }
  ~Manager() {
    ::unsetenv("NOTIFY_SOCKET");
    ::close(fd);
    ::unlink(pfad.c_str());
  }
  std::vector<std::string> empfangen() const {
    std::vector<std::string> alle;
    char puffer[512];
    for (ssize_t n; (n = ::recv(fd, puffer, sizeof puffer, 0)) > 0;) alle.emplace_back(puffer, size_t(n));
    return alle;
  }
  const std::string pfad = ::testing::TempDir() + "notify_" + std::to_string(::getpid());
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
};

TEST(Benachrichtigung, ReadyOnTheFirstTickThenAWatchdogPingAtMostEveryThirdOfItsInterval) {
  const Manager manager;
  ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
  const struct {
    const char* name;
    const char* usec;  // WATCHDOG_USEC; nullptr: no watchdog armed
    std::vector<double> takte;
    std::vector<std::string> erwartet;
    std::function<bool()> gesund;
  } zeilen[] = {
      {"3 s watchdog", "3000000", {100, 100.5, 101.1, 101.2, 102.2}, {"READY=1", "WATCHDOG=1", "WATCHDOG=1"}, {}},
      {"no watchdog", nullptr, {100, 150, 200}, {"READY=1"}, {}},
      // A part on a thread of its own that is stuck (the hall's client):
      // the ticks go on, the pings stop, systemd restarts the board.
      {"a stuck part", "3000000", {100, 101.1, 102.2, 103.3}, {"READY=1"}, [] { return false; }},
  };
  for (const auto& z : zeilen) {
    if (z.usec) ::setenv("WATCHDOG_USEC", z.usec, 1);
    else ::unsetenv("WATCHDOG_USEC");
    Lebenszeichen l;
    l.gesund = z.gesund;
    std::vector<std::string> alle;
    for (double t : z.takte) {
      l.takt(t);
      for (auto& n : manager.empfangen()) alle.push_back(std::move(n));
    }
    EXPECT_EQ(alle, z.erwartet) << z.name;
  }
}

// A start that waits for something outside tells the manager and moves its
// start time-out on; without a manager it does not wait at all.
TEST(Benachrichtigung, AStartThatWaitsExtendsTheStartTimeOutWithItsStatusAndWaitsOnlyUnderAManager) {
  ::unsetenv("NOTIFY_SOCKET");
  int blicke = 0;
  EXPECT_FALSE(startAufschieben([&] { return ++blicke > 0; }, "x", 10, 0.01));
  EXPECT_EQ(blicke, 0) << "no manager: no wait";

  const Manager manager;
  blicke = 0;
  EXPECT_TRUE(startAufschieben([&] { return ++blicke <= 2; }, "wartet auf 42", 10, 0.01));
  EXPECT_EQ(manager.empfangen(), std::vector<std::string>(2, "EXTEND_TIMEOUT_USEC=30000\nSTATUS=wartet auf 42"));
  EXPECT_FALSE(startAufschieben([] { return true; }, "immer", 0.05, 0.01)) << "bounded";
  EXPECT_FALSE(manager.empfangen().empty());
}

TEST(Protokoll, ControlCharactersShowAsPicturesAndLongEntriesAreCutWholeCharacters) {
  EXPECT_EQ(protokollZeile(u"Befehl\x1b" u"Cls - 3"), "Befehl\u241b" "Cls - 3");
  EXPECT_EQ(protokollZeile(u"Falsche Abfragetext: X\r\noder"), "Falsche Abfragetext: X\u240d\u240aoder");
  // A surrogate pair across the limit is dropped whole.
  std::u16string lang(kProtokollMaxZeichen - 1, u'a');
  lang += u"\U0001F600 und mehr";
  EXPECT_EQ(protokollZeile(lang), std::string(kProtokollMaxZeichen - 1, 'a') + "\u2026");
  EXPECT_EQ(protokollZeile(std::u16string(kProtokollMaxZeichen, u'b')), std::string(kProtokollMaxZeichen, 'b'));
}

}  // namespace
}  // namespace vrd4::platform::systemd
