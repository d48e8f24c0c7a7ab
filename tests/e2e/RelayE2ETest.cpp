// Real receivers relaying on loopback, under a real X server: receiver A on
// the real channel names takes commands from the ring and forwards them with
// Client2 to receiver B (started with --prefix, its server started by its
// settings file), which is killed, restarted, stopped and resumed. And the
// Python example client against a real receiver.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>

#include "E2EHilfe.h"
#include "channel/ClsVRD4Memory.h"

namespace vrd4::e2e {
namespace {

using test::freierPort;
const auto loopback = test::loopbackAdresse;

// ESTABLISHED TCP connections on loopback with `port` at one end.
int verbindungenAuf(quint16 port) {
  std::ifstream f("/proc/net/tcp");
  const auto portVon = [](const std::string& a) { return std::stoul(a.substr(a.find(':') + 1), nullptr, 16); };
  int n = 0;  // the title line's state column is no "01"
  for (std::string nr, lokal, fern, zustand, rest; f >> nr >> lokal >> fern >> zustand && std::getline(f, rest);)
    n += zustand == "01" && (portVon(lokal) == port || portVon(fern) == port);
  return n;
}

QByteArray startwerte(quint16 port, bool client, bool server) {
  return "127.0.0.1\r\n" + QByteArray::number(port) + "\r\n" + (client ? "1" : "0") + "\r\n" + (server ? "1" : "0") +
         "\r\n 0 \r\n 0 \r\n";
}

// A connection to `port` on loopback; -1 when a blocking connect fails.
// von: the local address to connect from (another loopback address is
// another peer to the server's per-address limit).
int verbinden(quint16 port, bool blockierend = true, const char* von = nullptr) {
  int fd = socket(AF_INET, SOCK_STREAM | (blockierend ? 0 : SOCK_NONBLOCK), 0);
  timeval zeit{5, 0};  // a held-up send ends, so every attack ends
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &zeit, sizeof zeit);
  if (von) {
    sockaddr_in lokal{};
    lokal.sin_family = AF_INET;
    inet_pton(AF_INET, von, &lokal.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&lokal), sizeof lokal);
  }
  sockaddr_in a = loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && blockierend) close(fd), fd = -1;
  return fd;
}

bool serverAntwortet(quint16 port) {
  return warteBis([port] { const int fd = verbinden(port); return fd >= 0 && close(fd) == 0; }, kStartSekunden);
}

class Kette : public ::testing::Test, protected Ring {
 protected:
  void SetUp() override {
    b = std::make_unique<Empfaenger>(praefixB, startwerte(portB, false, true));
    b->starten({}, "historie.txt");
    ASSERT_TRUE(serverAntwortet(portB)) << "B's server does not listen";
    // A on the real names, as a sending program starts it.
    ringFrischAnlegen();
    a = std::make_unique<Empfaenger>("", startwerte(portB, true, false));
    a->starten();
    ASSERT_TRUE(gestartet());
    ASSERT_TRUE(warteBis([this] { return verbindungenAuf(portB) >= 2; }, kStartSekunden)) << "A's Client2 did not connect";
  }
  void TearDown() override {
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    a.reset(), b.reset();
    gv::SpeichervariablenFreigeben();
  }
  const std::string praefixB = "t_relay_" + std::to_string(getpid()) + "_B_";
  const quint16 portB = freierPort();
  std::unique_ptr<Empfaenger> a, b;
};

// Cell i % 8 of a 4 × 2 grid in a colour of its own: every cell is painted
// over again and again, so a line that runs late leaves an old colour (and
// A's scene, which keeps the last paint of a cell, is short).
std::u16string zelle(int i) {
  auto n = [](long v) { return QString::number(v).toStdU16String(); };
  const int x = (i % 4) * 190 + 1, y = (i / 4 % 2) * 235 + 1;
  return befehl({u"Rechteck", n(x), n(y), n(x + 188), n(y + 233), u"1", n(long(i * 2654435761u & 0xFFFFFF)), u"-1"});
}

// The cell commands of a history, each with how often one connection ran
// it; under "spät" how many lines ran on a connection after another one's
// probe (A's catch-up begins with it, so they are stale).
std::map<std::string, int> zellenGelaufen(const std::string& protokoll) {
  std::ifstream f(protokoll);
  std::map<std::string, int> gesehen;  // "TCP host:port> line"
  std::string geprueft;                // "TCP host:port" of the last probe
  for (std::string zeile; std::getline(f, zeile);) {
    const std::size_t tcp = zeile.find("TCP 127.0.0.1:");
    if (tcp == std::string::npos) continue;
    const std::string von = zeile.substr(tcp, zeile.find('>', tcp) - tcp);
    if (zeile.find("PauseAnzeigeZiel", tcp) != std::string::npos) geprueft = von;
    else if (!geprueft.empty() && von != geprueft) ++gesehen["spät"];
    if (zeile.find("Rechteck", tcp) != std::string::npos) ++gesehen[zeile.substr(tcp)];
  }
  return gesehen;
}

TEST_F(Kette, BKilledRestartedStoppedAndResumedEndsPixelIdenticalToAWhoseRingNeverWaited) {
  // A burst of 50 every 0.4 s; B is away from burst 1 to 2, and once A is
  // connected again stopped from burst 7 to the last, longer than A waits
  // for an "OK": the lines its system holds then must not run after A's
  // catch-up.
  double laengsterStoss = 0;
  for (int stoss = 0; stoss < 20; ++stoss) {
    if (stoss == 1) {
      kill(b->pid(), SIGKILL);
      b->warteAufEnde(kSekunden);
    }
    if (stoss == 2) b->starten({}, "historie.txt");  // its history: every line it ran
    if (stoss == 7) {
      ASSERT_TRUE(warteBis([this] { return verbindungenAuf(portB) >= 2; }, kStartSekunden));
      kill(b->pid(), SIGSTOP);
    }
    if (stoss == 19) kill(b->pid(), SIGCONT);
    const auto start = std::chrono::steady_clock::now();
    int slot = 0;
    for (int i = stoss * 50; i < stoss * 50 + 50; ++i) slot = senden(zelle(i));
    // Taken from the ring: its slot is empty again.
    ASSERT_TRUE(warteBis([&] { return gv::Sendetexte(slot).GetMemory().empty(); }, kSekunden)) << "burst " << stoss;
    const double dauer = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    laengsterStoss = std::max(laengsterStoss, dauer);
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, 0.4 - dauer)));
  }
  // A stop-and-wait relay would have held A's ring 4 s for each command B missed.
  EXPECT_LT(laengsterStoss, 3.0) << "seconds for 50 ring commands";

  const QImage bildA = a->schnappschuss();
  ASSERT_FALSE(bildA.isNull());
  EXPECT_TRUE(warteBis([&] { return b->schnappschuss() == bildA; }, kStartSekunden)) << "B caught up with A";
  auto gelaufen = zellenGelaufen(b->ordner() + "/historie.txt");
  EXPECT_EQ(gelaufen["spät"], 0) << "lines of an older connection ran after A's probe";
  gelaufen.erase("spät");
  EXPECT_TRUE(std::all_of(gelaufen.begin(), gelaufen.end(), [](const auto& z) { return z.second == 1; }))
      << "a line ran twice on one connection of B";
}

// --- hostile peers against a real receiver --------------------------------------------

long rssKiB(pid_t pid) { return procKiB(pid, "VmRSS:"); }

// An attack on the receiver's port from threads of the test; true when it
// went as the row means (every byte taken, where it says so). Ends by
// itself, or soon after halt. haengt: the listening socket Client3 forwards
// to when the row says so.
struct Angriff {
  const char* name;
  std::function<bool(quint16 port, int haengt, const std::atomic<bool>& halt)> los;
  long grenzeMiB;             // the receiver's memory growth allowed meanwhile
  bool hinterClient3 = false;  // the receiver forwards with Client3 to haengt
};

class Feindlich : public ::testing::TestWithParam<Angriff>, protected Ring {
 protected:
  void SetUp() override {
    const sockaddr_in a = loopback(haengtPort);
    ASSERT_EQ(bind(haengt, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    listen(haengt, 8);
    channel::setChannelNamePrefix(praefix);
    ringFrischAnlegen();
    e = std::make_unique<Empfaenger>(praefix, startwerte(port, false, true));
    e->starten(GetParam().hinterClient3 ? std::vector<std::string>{"--weiterleiten", "127.0.0.1:" + std::to_string(haengtPort)}
                                        : std::vector<std::string>{});
    ASSERT_TRUE(gestartet());
    ASSERT_TRUE(serverAntwortet(port));
  }
  void TearDown() override {
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    e.reset();
    close(haengt);
    gv::SpeichervariablenFreigeben();
    channel::setChannelNamePrefix("");
  }
  // The ring takes n commands, one after the other, each within kSekunden.
  bool ringBedient(int n) {
    for (int i = 0; i < n; ++i)
      if (!gelesen(senden(befehl({u"Linie", u"1", u"1", u"100", u"100", u"1", u"255"})))) return false;
    return true;
  }
  // A connection from an address no attacker uses (127.0.0.2) that sends
  // one command and reads its "OK". Like any well-behaved client it
  // connects again when it was turned away.
  bool gutBedient() {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      const int fd = verbinden(port, true, "127.0.0.2");
      timeval zeit{10, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &zeit, sizeof zeit);
      const std::string cls = "Befehl\x1b" "Cls\r\n";
      send(fd, cls.data(), cls.size(), MSG_NOSIGNAL);
      char puffer[4] = {};
      const bool ok = recv(fd, puffer, 4, MSG_WAITALL) == 4 && std::string(puffer, 4) == "OK\r\n";
      close(fd);
      if (ok) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < ende);
    return false;
  }

  const std::string praefix = "t_relay_" + std::to_string(getpid()) + "_H_";
  const quint16 port = freierPort(), haengtPort = freierPort();
  const int haengt = socket(AF_INET, SOCK_STREAM, 0);
  std::unique_ptr<Empfaenger> e;
};

// The ring and a good peer are served while the attack goes on, and the
// receiver's memory stays within the bound of the row.
TEST_P(Feindlich, TheRingAndAGoodPeerAreServedAndMemoryStaysBounded) {
  const long rssVorher = rssKiB(e->pid());
  std::atomic<bool> halt{false}, fertig{false};
  bool wieGemeint = false;
  std::thread angreifer([&] { wieGemeint = GetParam().los(port, haengt, halt), fertig = true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(ringBedient(30));  // its pace: bench_netzgrenzen
  EXPECT_TRUE(gutBedient());
  long hoechste = 0;  // while the attack goes on, 90 s at most
  warteBis([&] { return hoechste = std::max(hoechste, rssKiB(e->pid()) - rssVorher), fertig.load(); }, 90);
  EXPECT_LT(hoechste, GetParam().grenzeMiB << 10) << "KiB more than before";
  halt = true;
  angreifer.join();
  EXPECT_TRUE(wieGemeint);
}

// Sends `zeile` on a new connection from `von`, block by block, until halt.
void sendeZeile(quint16 port, const char* von, std::string_view zeile, const std::atomic<bool>& halt) {
  const int fd = verbinden(port, true, von);
  for (std::size_t n = 0; fd >= 0 && n < zeile.size() && !halt; n += 1 << 20)
    if (send(fd, zeile.data() + n, std::min<std::size_t>(1 << 20, zeile.size() - n), MSG_NOSIGNAL) <= 0) break;
  close(fd);
}

// A picture line at the line limit: a 4096 x 2047 BMP of 32-bit pixels in hex.
const std::string& bildzeileAmLimit() {
  static const std::string zeile = "Befehl\x1b" "BildAnzeigen\x1b" "a.bmp\x1b-1\x1b" "0\x1b"
      "424D36C0FF0100000000360000002800000000100000FF070000010020000000000000C0FF01130B0000130B00000000000000000000" +
      std::string(std::size_t(4096) * 2047 * 8, '7') + "\r\n";
  return zeile;
}

INSTANTIATE_TEST_SUITE_P(
    Angriffe, Feindlich,
    ::testing::Values(
        Angriff{"LineThatNeverEnds",  // 100 MB without CR LF: closed at the line limit
                [](quint16 port, int, const std::atomic<bool>& halt) {
                  sendeZeile(port, nullptr, std::string(100 << 20, 'A'), halt);
                  return true;
                },
                400},
        // 300 MB of lines to forward, every byte taken, while the peer
        // answers Client3's probe on each connection and then hangs.
        Angriff{"HungPeerBehindClient3",
                [](quint16 port, int haengt, const std::atomic<bool>& halt) {
                  std::atomic<bool> gesendet{false};
                  std::vector<int> gehalten;
                  std::thread gegenstelle([&] {
                    for (pollfd p{haengt, POLLIN, 0}; !gesendet && !halt;)
                      if (poll(&p, 1, 100) > 0) {
                        const int fd = accept(haengt, nullptr, nullptr);
                        timeval zeit{2, 0};
                        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &zeit, sizeof zeit);
                        for (char c = 0; c != '\n' && recv(fd, &c, 1, 0) == 1;) {
                        }
                        send(fd, "OK\r\n", 4, MSG_NOSIGNAL);
                        gehalten.push_back(fd);
                      }
                  });
                  const std::string zeile = "Weiter " + std::string(64000, 'x') + "\r\n";
                  const int fd = verbinden(port);
                  long n = 0;
                  while (n < 300'000'000 && !halt && send(fd, zeile.data(), zeile.size(), MSG_NOSIGNAL) == long(zeile.size()))
                    n += long(zeile.size());
                  close(fd);
                  gesendet = true;
                  gegenstelle.join();
                  for (int g : gehalten) close(g);
                  return n >= 300'000'000;
                },
                128, true},  // the send queue's 64 MiB and the lines on their way
        Angriff{"SixtyFourMaximumLines",  // 16 connections from each of four addresses
                [](quint16 port, int, const std::atomic<bool>& halt) {
                  std::vector<std::thread> viele;
                  for (int i = 0; i < 64; ++i)
                    viele.emplace_back([&, von = "127.0.0." + std::to_string(3 + i / 16)] {
                      sendeZeile(port, von.c_str(), bildzeileAmLimit(), halt);
                    });
                  for (auto& t : viele) t.join();
                  return true;
                },
                512}),  // the line budget's 336 MiB and the board's pictures
    [](const auto& info) { return std::string(info.param.name); });

// The example client of docs/network.md drives a receiver it knows only by
// its port.
TEST(PythonBeispiel, DrivesABoardAndSendsAPictureInTheLine) {
  const std::string praefix = "t_relay_" + std::to_string(getpid()) + "_py_";
  const quint16 port = freierPort();
  Empfaenger e(praefix, startwerte(port, false, true));
  e.starten();
  ASSERT_TRUE(serverAntwortet(port));
  auto python = [&](const std::string& args) {
    const int st = std::system(("python3 '" VRD4_SOURCE_DIR "/examples/vrd4tcp.py' 127.0.0.1 " + std::to_string(port) +
                                " " + args).c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  };
  EXPECT_EQ(python("Hintergrundfarbe 16711680"), 0);
  EXPECT_TRUE(e.zeigt(QColor(0, 0, 255)));
  EXPECT_EQ(python("Cls"), 0);
  EXPECT_EQ(python("--bild '" VRD4_TEST_DATA_DIR "/engine/rot_4x4.bmp' BildAnzeigen x -1 0"), 0);
  EXPECT_TRUE(e.zeigt(QColor(255, 0, 0)));
  EXPECT_EQ(python("--bild /nicht/da.bmp BildAnzeigen x -1 0"), 1) << "a file it cannot read";
}

}  // namespace
}  // namespace vrd4::e2e
