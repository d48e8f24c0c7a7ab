// The network's bounds and the forwarding client, over real loopback
// sockets in one process (the board's drawing left out: the host only
// answers, except that it decodes pictures): forwarding throughput
// pipelined vs. one line per "OK", how long picture-sized lines hold up the
// ring's poll and another connection, a burst of 300 connections, and
// memory behind a peer that stopped reading.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "net/Weiterleitung.h"
#include "net/Zeilenpuffer.h"
#include "net/clsTalkConnection.h"
#include "protocol/Hex.h"
#include "render/modPicturefromBytes.h"

namespace {

using namespace vrd4;
using net::Clients;
using net::clsSocket;
using net::Weiterleitung;

// Runs the event loop until fertig() holds or ms pass.
bool laufenBis(const std::function<bool()>& fertig, int ms = 60000) {
  QElapsedTimer uhr;
  uhr.start();
  while (!fertig()) {
    if (uhr.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

double rssMiB() {
  std::ifstream in("/proc/self/statm");
  long seiten = 0, resident = 0;
  in >> seiten >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

struct Host final : net::TalkHost {
  void statusEintrag(const QString&) override {}
  Weiterleitung* weiterleitungsClient() override { return client3; }
  void befehlAusfuehren(std::span<const std::u16string>, std::span<const uint8_t> bild,
                        const render::VorabBild* vorab) override {
    ++anzahl;
    if (bild.empty()) return;
    ++bilder;
    // The board's part of a picture command: decode (unless decoded ahead),
    // fit onto the board.
    QElapsedTimer uhr;
    uhr.start();
    if (const auto b = !zeichnen ? std::nullopt : vorab ? vorab->bild : render::modPicturefromBytes(bild)) {
      QImage tafel(768, 480, QImage::Format_RGB32);
      QPainter(&tafel).drawImage(QRect(0, 0, 768, 480), *b);
    }
    zeichnenMs = std::max(zeichnenMs, double(uhr.nsecsElapsed()) / 1e6);
  }
  void falscheAbfrage(const QString&) override {}
  bool darfAusfuehren() const override { return true; }
  long anzahl = 0, bilder = 0;
  bool zeichnen = false;
  Weiterleitung* client3 = nullptr;
  double zeichnenMs = 0;  // the longest picture command
};

// A receiver's command server on a port of its own.
struct Empfaenger {
  Empfaenger() {
    server.ConnectionRequest = [this] { clients.Server_ConnectionRequest(server); };
    server.Listen();
  }
  Host host;
  Clients clients{host, platform::steadyClock()};
  clsSocket server;
};

const std::u16string kLinie = u"Befehl\x1bLinie\x1b" u"10\x1b" u"20\x1b" u"300\x1b" u"400\x1b" u"1\x1b" u"255";

// range(0): 1 = pipelined, 0 = each line waits for its "OK" (as forwarding
// did before).
void BM_WeiterleitenKette(benchmark::State& state) {
  const bool pipeline = state.range(0) != 0;
  const int n = 20000;
  Empfaenger b;
  Weiterleitung w(QStringLiteral("Client2"), platform::steadyClock());
  long oks = 0;
  w.Antwort = [&](bool) { ++oks; };
  w.verbinden(QStringLiteral("127.0.0.1"), b.server.LocalPort);
  laufenBis([&] { return w.isOpen(); });
  for (auto _ : state) {
    oks = 0;
    if (pipeline) {
      for (int i = 0; i < n; ++i) w.senden(kLinie);
      laufenBis([&] { return oks == n; });
    } else {
      for (int i = 0; i < n; ++i) {
        w.senden(kLinie);
        laufenBis([&] { return oks == i + 1; });
      }
    }
  }
  state.counters["Linie/s"] = benchmark::Counter(double(state.iterations()) * n, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WeiterleitenKette)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A 32-bit BMP of w × h pixels (a picture file of about 4 bytes a pixel).
std::vector<uint8_t> bmp(int w, int h) {
  std::vector<uint8_t> d(54 + std::size_t(w) * std::size_t(h) * 4, 0x5A);
  auto le = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + std::size_t(i)] = uint8_t(v >> (8 * i));
  };
  d[0] = 'B', d[1] = 'M';
  le(2, uint32_t(d.size())), le(6, 0), le(10, 54), le(14, 40), le(18, uint32_t(w)), le(22, uint32_t(h));
  le(26, 1 | (32 << 16)), le(30, 0), le(34, uint32_t(d.size() - 54)), le(38, 2835), le(42, 2835), le(46, 0), le(50, 0);
  return d;
}

// A blocking loopback connection to port from 127.0.0.<von> (-1 when it
// fails).
int verbinden(int port, int von = 1) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in lokal{};
  lokal.sin_family = AF_INET;
  lokal.sin_addr.s_addr = htonl(INADDR_LOOPBACK + uint32_t(von - 1));
  ::bind(fd, reinterpret_cast<const sockaddr*>(&lokal), sizeof lokal);
  sockaddr_in ziel{};
  ziel.sin_family = AF_INET;
  ziel.sin_port = htons(quint16(port));
  ziel.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&ziel), sizeof ziel) == 0) return fd;
  ::close(fd);
  return -1;
}

// This thread's CPU time in ms.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// While range(0) peers (threads of their own, 16 from each loopback
// address; 63 and the good client fill the server) each deliver a picture line
// at the line limit (a 32 MiB BMP in hex; the host decodes and scales it as
// the board would), the GUI thread serves a 10 ms timer (the ring's poll)
// and a good client (a thread of its own) sends "Cls" and waits for its
// "OK", again and again. The GUI thread runs its event loop as the
// receiver does, asleep while nothing is due (a loop that polls would
// never sleep and queue behind every busy thread of the machine).
// range(0) = 0: the same without them, for the machine's own jitter.
// range(0) = -1: instead one peer sends 300 MB of 64 KB lines, which
// Client3 forwards to a peer that answers its probe and then never reads.
// Counters: the longest and the p99 gap between two timer turns and
// between a request and its "OK" (of the worse iteration); ring_cpu_ms,
// the GUI thread's CPU time within the longest gap (the rest of it the
// thread waited for a CPU the machine gave to others); the longest picture
// command (decode and fit, on the GUI thread); the growth of memory.
void BM_BildzeileHaeltAndereAuf(benchmark::State& state) {
  const bool haengt = state.range(0) < 0;
  const int grosse = int(std::max<std::int64_t>(state.range(0), 0)), peerzahl = haengt ? 1 : grosse;
  Host host;
  host.zeichnen = true;
  Clients clients{host, platform::steadyClock()};
  clsSocket server;
  server.ConnectionRequest = [&] { clients.Server_ConnectionRequest(server); };
  server.Listen();
  QByteArray zeile = "Befehl\x1b" "BildAnzeigen\x1b" "a.bmp\x1b-1\x1b" "0\x1b";
  zeile += QString::fromStdU16String(protocol::hexKodieren(bmp(4096, 2047))).toLatin1();
  zeile += "\r\n";
  const QByteArray weiter = "Weiter " + QByteArray(64000, 'x') + "\r\n";
  // The hung peer: answers each connection's first line, then reads nothing.
  std::atomic<bool> aus{false};
  const int hoert = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in adresse{};
  adresse.sin_family = AF_INET;
  adresse.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t laenge = sizeof adresse;
  ::bind(hoert, reinterpret_cast<const sockaddr*>(&adresse), sizeof adresse);
  ::listen(hoert, 8);
  ::getsockname(hoert, reinterpret_cast<sockaddr*>(&adresse), &laenge);
  std::thread gegenstelle([&] {
    std::vector<int> gehalten;
    for (pollfd p{hoert, POLLIN, 0}; !aus;)
      if (::poll(&p, 1, 100) > 0) {
        const int fd = ::accept(hoert, nullptr, nullptr);
        timeval zeit{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &zeit, sizeof zeit);
        for (char c = 0; c != '\n' && ::recv(fd, &c, 1, 0) == 1;) {
        }
        ::send(fd, "OK\r\n", 4, MSG_NOSIGNAL);
        gehalten.push_back(fd);
      }
    for (int fd : gehalten) ::close(fd);
  });
  Weiterleitung client3(QStringLiteral("Client3"), platform::steadyClock());
  if (haengt) {
    client3.verbinden(QStringLiteral("127.0.0.1"), ntohs(adresse.sin_port));
    laufenBis([&] { return client3.isOpen(); });
    host.client3 = &client3;
  }
  auto p99 = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return std::pair(v.back(), v[v.size() * 99 / 100]);
  };
  const double rssVorher = rssMiB();
  double rssHoechste = 0;
  for (auto _ : state) {
    const long vorher = host.bilder;
    std::atomic<bool> aufhoeren{false}, gutFertig{false};
    std::atomic<int> antworten{0};
    std::vector<double> zeiten;
    std::thread gut([&] {
      const int fd = verbinden(server.LocalPort);
      std::string rest;
      char puffer[64];
      ssize_t r = 1;
      while (fd >= 0 && r > 0 && !aufhoeren) {
        const auto start = std::chrono::steady_clock::now();
        if (::send(fd, "Befehl\x1b" "Cls\r\n", 12, 0) != 12) break;
        while (rest.find("\r\n") == std::string::npos && (r = ::recv(fd, puffer, sizeof puffer, 0)) > 0)
          rest.append(puffer, std::size_t(r));
        rest.erase(0, rest.find("\r\n") + 2);
        zeiten.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        ++antworten;
      }
      if (fd >= 0) ::close(fd);
      gutFertig = true;
    });
    laufenBis([&] { return clients.offen() == 1; });  // the good client first
    std::atomic<int> fertig{0};
    std::vector<std::thread> peers;
    for (int p = 0; p < peerzahl; ++p)
      peers.emplace_back([&, p] {
        const int fd = verbinden(server.LocalPort, 2 + p / net::Clients::kMaxProAdresse);
        for (int mal = 0; mal < (haengt ? 300'000'000 / int(weiter.size()) : 1); ++mal) {
          const QByteArray& z = haengt ? weiter : zeile;
          for (qsizetype n = 0; fd >= 0 && n < z.size();) {
            const ssize_t r = ::send(fd, z.constData() + n, std::size_t(z.size() - n), 0);
            if (r <= 0) break;
            n += r;
          }
        }
        ::shutdown(fd, SHUT_WR);
        char c;
        while (::recv(fd, &c, 1, 0) > 0) {
        }
        ::close(fd);
        ++fertig;
      });
    std::vector<double> ring;
    double ringCpu = 0, hoechsteLuecke = 0;
    QElapsedTimer seit;
    seit.start();
    double cpu = threadCpuMs();
    const double cpuAnfang = cpu;
    QEventLoop schleife;
    QTimer takt;
    takt.setTimerType(Qt::PreciseTimer);
    QObject::connect(&takt, &QTimer::timeout, [&] {
      ring.push_back(double(seit.nsecsElapsed()) / 1e6);
      seit.start();
      const double jetzt = threadCpuMs();
      if (ring.back() > hoechsteLuecke) hoechsteLuecke = ring.back(), ringCpu = jetzt - cpu;
      cpu = jetzt;
      if (ring.size() % 10 == 0) rssHoechste = std::max(rssHoechste, rssMiB() - rssVorher);
      if ((haengt ? fertig == 1 : host.bilder >= vorher + grosse) && antworten >= 3000) schleife.quit();
    });
    takt.start(10);
    schleife.exec();
    takt.stop();
    aufhoeren = true;
    laufenBis([&] { return fertig.load() == peerzahl && gutFertig; });
    gut.join();
    for (auto& t : peers) t.join();
    for (auto [name, werte] : {std::pair("ring", &ring), std::pair("client", &zeiten)}) {
      const auto [hoechste, p] = p99(*werte);  // the worst iteration counts
      state.counters[std::string(name) + "_max_ms"] = std::max(state.counters[std::string(name) + "_max_ms"].value, hoechste);
      state.counters[std::string(name) + "_p99_ms"] = std::max(state.counters[std::string(name) + "_p99_ms"].value, p);
    }
    state.counters["ring_cpu_ms"] = std::max(state.counters["ring_cpu_ms"].value, ringCpu);
    state.counters["gui_cpu_ms"] = std::max(state.counters["gui_cpu_ms"].value, cpu - cpuAnfang);
  }
  state.counters["picture_max_ms"] = host.zeichnenMs;
  state.counters["rss_growth_max_MiB"] = rssHoechste;
  if (haengt) state.counters["client3_losses"] = client3.verluste();
  host.client3 = nullptr;
  aus = true;
  gegenstelle.join();
  ::close(hoert);
}
BENCHMARK(BM_BildzeileHaeltAndereAuf)->Arg(-1)->Arg(0)->Arg(1)->Arg(8)->Arg(net::Clients::kMaxVerbindungen - 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The GUI thread's part of receiving a line at the limit: framing 64 MiB
// arriving in read blocks, 64 KiB per turn of the event loop (no sockets,
// so the machine's load does not enter). Counters: the thread's CPU time
// for the whole line and for its longest turn.
void BM_ZeileRahmen(benchmark::State& state) {
  const std::string block(std::size_t(clsSocket::kLeseblock), 'A');
  for (auto _ : state) {
    net::Zeilenpuffer puffer(clsSocket::kMaxZeilenlaenge);
    const double anfang = threadCpuMs();
    double laengste = 0;
    for (std::size_t n = 0; n < (std::size_t{64} << 20);) {
      const double runde = threadCpuMs();
      for (std::int64_t r = 0; r < clsSocket::kLesepuffer; r += clsSocket::kLeseblock, n += block.size())
        puffer.anhaengen(block);
      laengste = std::max(laengste, threadCpuMs() - runde);
    }
    puffer.anhaengen("\r\n");
    std::string_view zeile;
    puffer.naechsteZeile("\r\n", zeile);
    const std::string weg = puffer.herausnehmen(zeile);
    state.counters["line_cpu_ms"] = std::max(state.counters["line_cpu_ms"].value, threadCpuMs() - anfang);
    state.counters["turn_max_cpu_ms"] = std::max(state.counters["turn_max_cpu_ms"].value, laengste);
  }
}
BENCHMARK(BM_ZeileRahmen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

// 300 connects at once, each sending one command: time until every one has
// its "OK" or has been closed.
void BM_DreihundertAufEinmal(benchmark::State& state) {
  Empfaenger a;
  for (auto _ : state) {
    std::vector<std::unique_ptr<QTcpSocket>> viele;
    QElapsedTimer uhr;
    uhr.start();
    for (int i = 0; i < 300; ++i) {
      viele.push_back(std::make_unique<QTcpSocket>());
      viele.back()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(1 + i % 8)));
      viele.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(a.server.LocalPort));
      viele.back()->write("Befehl\x1b" "Cls\r\n");
    }
    laufenBis([&] {
      return std::all_of(viele.begin(), viele.end(), [](const auto& s) {
        return s->canReadLine() || s->state() == QAbstractSocket::UnconnectedState;
      });
    });
    state.counters["all_done_ms"] = double(uhr.nsecsElapsed()) / 1e6;
    viele.clear();
    laufenBis([&] { return a.clients.anzahl() == 0; });
  }
}
BENCHMARK(BM_DreihundertAufEinmal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// 100 MB of 2 KB lines forwarded to a peer that accepted and then stopped
// reading: the growth of our memory.
void BM_SpeicherHinterHaengenderGegenstelle(benchmark::State& state) {
  for (auto _ : state) {
    QTcpServer haengt;
    haengt.listen(QHostAddress::LocalHost);
    haengt.pauseAccepting();  // the kernel completes connections, nobody reads
    Weiterleitung w(QStringLiteral("Client3"), platform::steadyClock());
    w.verbinden(QStringLiteral("127.0.0.1"), haengt.serverPort());
    laufenBis([&] { return w.isOpen(); });
    const std::string zeile = "Befehl\x1bTextausgabe\x1b" + std::string(2000, 'x');
    const double vorher = rssMiB();
    double hoechste = 0;
    std::int64_t gesendet = 0;
    while (gesendet < 100'000'000) {
      if (w.isOpen()) w.sendenAnsi(zeile);
      gesendet += std::int64_t(zeile.size());
      if (gesendet % (4 << 20) < std::int64_t(zeile.size())) {
        QCoreApplication::processEvents();
        hoechste = std::max(hoechste, rssMiB() - vorher);
      }
    }
    state.counters["rss_growth_max_MiB"] = std::max(hoechste, rssMiB() - vorher);
    state.counters["losses"] = w.verluste();
  }
}
BENCHMARK(BM_SpeicherHinterHaengenderGegenstelle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
