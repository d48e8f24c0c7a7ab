// What reaches whom while the receiver runs: its history never holds up the
// board when nobody reads its output; the event of vrd4send's last command
// is printed before vrd4send ends the receiver; the relay's time-out event
// stays readable for a sender that polls it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <set>
#include <thread>

#include "StartHilfe.h"
#include "platform/ProzessZustand.h"
#include "vrd4/clsVRD4Sender.h"

namespace vrd4::e2e {
namespace {

using Uhr = std::chrono::steady_clock;

double seit(Uhr::time_point t) { return std::chrono::duration<double>(Uhr::now() - t).count(); }

class Ausgabe : public ::testing::Test {
 protected:
  void TearDown() override {
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    e.reset();
    gv::SpeichervariablenFreigeben();
    test::kanalDateienEntfernen(startPraefix());
  }
  // Starts the receiver with its stdout and stderr on fd, the channel held
  // first as a sending program holds it. (An earlier receiver's object
  // removes the channel's files when it goes: before the channel is made.)
  void starten(int fd, const QByteArray& startwerte = {}) {
    e.reset();
    e = std::make_unique<Empfaenger>(startPraefix(), startwerte);
    gv::SpeichervariablenAnlegen();
    const int alt1 = ::dup(1), alt2 = ::dup(2);
    ::dup2(fd, 1), ::dup2(fd, 2);
    e->starten();
    ::dup2(alt1, 1), ::dup2(alt2, 2);
    ::close(alt1), ::close(alt2);
  }
  std::unique_ptr<Empfaenger> e;
};

// The library's sender, joined to the receiver that runs.
std::unique_ptr<sender::clsVRD4Sender> verbinden() {
  auto s = std::make_unique<sender::clsVRD4Sender>();
  s->setEmpfaengerWeiterlaufen(true);  // the test ends it
  EXPECT_EQ(s->Verbinden(0, 0), 1);
  return s;
}

// 3000 lines through the library; seconds until the receiver took the last.
double dreitausend(sender::clsVRD4Sender& s) {
  const auto start = Uhr::now();
  for (int i = 0; i < 3000; ++i) s.Linie(int16_t(1 + i % 700), 1, int16_t(1 + i % 700), 400, 1, i * 4099 & 0xFFFFFF);
  EXPECT_TRUE(warteBis([] {
    return gv::clsVRD4LetzteGelesene().GetMemory() == gv::clsVRD4LetzteGesendete().GetMemory();
  }, 120)) << "the receiver stopped taking commands";
  return seit(start);
}

// (The writer's drops, its note and the reader who comes back: platform_tests.)
TEST_F(Ausgabe, AReceiverWhoseOutputNobodyReadsTakesThreeThousandCommandsAtItsPace) {
  // A pipe nobody reads: its 64 KiB fill after some hundred commands.
  int rohr[2];
  ASSERT_EQ(::pipe2(rohr, O_CLOEXEC), 0);
  starten(rohr[1]);
  ::close(rohr[1]);
  ASSERT_TRUE(gestartet());
  auto s = verbinden();
  std::printf("3000 commands through the library with an unread pipe: %.2f s\n", dreitausend(*s));
  std::ifstream wchan("/proc/" + std::to_string(e->pid()) + "/wchan");
  std::string wo;
  std::getline(wchan, wo);
  EXPECT_EQ(wo.find("pipe"), std::string::npos) << "the GUI thread waits for its log's reader: " << wo;
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  s.reset();
  const auto status = e->warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value()) << "the receiver does not end";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  ::close(rohr[0]);
}

// vrd4send starts the receiver, sends one command that raises an event and
// ends the receiver: the event comes only after the slot was taken, and is
// printed all the same.
TEST(VrdSendE2E, TheEventOfTheLastCommandIsPrintedBeforeTheReceiverEnds) {
  const std::string zeile = "TextAusgabe 1 1 100 20 x 4 KeineSchrift 12 0 0 0 0 0 16777215 0 0 0 0\n";
  const std::string erwartet = "BefehlFehler;Schrift: KeineSchrift nicht vorhanden. - Arial wird gesetzt!";
  int gedruckt = 0;
  for (int lauf = 0; lauf < 20; ++lauf) {
    SCOPED_TRACE(lauf);
    const Lauf l = ausfuehren({VRD4_BIN_DIR "/vrd4send", "--prefix", startPraefix()}, {}, std::nullopt, {}, zeile, 60);
    EXPECT_EQ(l.status, 0) << l.fehler;
    const bool da = l.fehler.find(erwartet) != std::string::npos;
    EXPECT_TRUE(da) << l.fehler;
    gedruckt += da;
  }
  std::printf("the event printed in %d of 20 runs\n", gedruckt);
  std::remove((VRD4_BIN_DIR "/" + startPraefix() + "VRD4Startwerte.TXT").c_str());
  test::kanalDateienEntfernen(startPraefix());
}

// A peer on `lauscher` that takes one connection and answers "OK" to every
// line until `nachlauf` after the `mindestens`-th (or the start time-out);
// then it reads nothing more. Its connection, -1 when none came.
int stummerPeer(int lauscher, int mindestens, std::chrono::seconds nachlauf) {
  pollfd p{lauscher, POLLIN, 0};
  if (::poll(&p, 1, int(kStartSekunden * 1000)) <= 0) return -1;
  const int fd = ::accept4(lauscher, nullptr, nullptr, SOCK_CLOEXEC);
  std::string rest;
  auto bis = Uhr::now() + std::chrono::seconds(int(kStartSekunden));
  for (int zeilen = 0; fd >= 0 && Uhr::now() < bis;) {
    pollfd q{fd, POLLIN, 0};
    if (::poll(&q, 1, 50) <= 0) continue;
    char puffer[65536];
    const ssize_t n = ::read(fd, puffer, sizeof puffer);
    if (n <= 0) break;
    rest.append(puffer, std::size_t(n));
    for (std::size_t z; (z = rest.find("\r\n")) != std::string::npos;) {
      rest.erase(0, z + 2);
      if (::write(fd, "OK\r\n", 4) != 4) break;
      if (++zeilen == mindestens) bis = Uhr::now() + nachlauf;
    }
  }
  return fd;
}

TEST_F(Ausgabe, TheRelaysTimeOutStaysReadableForASenderPollingEveryTenMilliseconds) {
  const uint16_t port = test::freierPort();
  const int lauscher = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in adresse = test::loopbackAdresse(port);
  ASSERT_EQ(::bind(lauscher, reinterpret_cast<const sockaddr*>(&adresse), sizeof adresse), 0);
  ::listen(lauscher, 4);
  // Client2 connects at start (the settings' "client automatisch").
  const QByteArray startwerte = "127.0.0.1\r\n" + QByteArray::number(port) + "\r\n1\r\n0\r\n 0 \r\n 0 \r\n";
  const std::string historie = ::testing::TempDir() + "historie_" + std::to_string(::getpid()) + ".txt";
  const int fd = ::open(historie.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  starten(fd, startwerte);
  ::close(fd);
  ASSERT_TRUE(gestartet());
  // The probe and the catch-up answered, and all else for a second; then
  // the peer falls silent.
  const int verbindung = stummerPeer(lauscher, 2, std::chrono::seconds(1));
  ASSERT_GE(verbindung, 0) << "Client2 did not connect";

  auto s = verbinden();
  s->Linie(1, 1, 100, 1, 1, 255);
  std::set<std::u16string> gesehen;
  const auto start = Uhr::now();
  const std::u16string zeitUeber = u"BefehlFehler;Linie - Timeout überschritten!";
  while (!gesehen.contains(zeitUeber) && seit(start) < kSekunden) {
    if (std::u16string ereignis = s->EreignisAbholen(); !ereignis.empty()) gesehen.insert(ereignis);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gesehen.contains(zeitUeber)) << "events read: " << gesehen.size();
  for (const auto& g : gesehen) EXPECT_EQ(g, zeitUeber) << "one event per instant";
  // The loss is in the history.
  const std::string verlust =
      "Client2: Verbindung zu 127.0.0.1:" + std::to_string(port) + " verloren (keine Antwort)";
  EXPECT_TRUE(warteBis([&] {
    std::ifstream f(historie);
    return std::string(std::istreambuf_iterator<char>(f), {}).find(verlust) != std::string::npos;
  }, kSekunden));
  std::remove(historie.c_str());
  ::close(verbindung), ::close(lauscher);
}

}  // namespace
}  // namespace vrd4::e2e
