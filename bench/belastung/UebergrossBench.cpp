// Oversize inputs against a real receiver program (offscreen, its own
// channel, its TCP server on loopback): huge text lines, picture bombs,
// picture lines at the budget, GIFs at each limit, a flood of unknown
// commands, over TCP and through the ring. For each input:
//  - Ring: the longest wait of a probe command (one every 5 ms through the
//    ring) from its write to its taking; for a ring input the probe waits
//    behind it by design (the ring keeps its order), so "Ring" there is the
//    time until the input ran and the next command was taken.
//  - TCP: the longest wait for the "OK" of a probe command on a second
//    connection (one every 5 ms).
//  - Wachhund: the longest gap between two WATCHDOG=1 of the receiver, with
//    a watchdog of 1 s (it pings every third of that).
//  - Spitze / danach: peak resident memory over idle while the input ran
//    (VmHWM after clear_refs), and what stays 1.5 s after it.
// Run by hand: build/bin/bench_uebergross [--schnell] [--nur TEXT]
// (--schnell leaves out the 60-million-character line and the eight 32 MB
// picture lines; --nur runs only the inputs whose name holds TEXT).
#include <sys/un.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <random>

#include "bench/relay/RelayHilfe.h"
#include "protocol/Hex.h"

namespace vrd4::bench {
namespace {

using Uhr = std::chrono::steady_clock;
double msSeit(Uhr::time_point t) { return std::chrono::duration<double, std::milli>(Uhr::now() - t).count(); }

std::vector<uint8_t> alsBytes(const QByteArray& b) { return {b.begin(), b.end()}; }

QByteArray png(const QImage& bild) {
  QByteArray bytes;
  QBuffer puffer(&bytes);
  puffer.open(QIODevice::WriteOnly);
  bild.save(&puffer, "PNG");
  return bytes;
}

// 8000 x 8000 (64 million pixels) of one colour: a few hundred KB.
QByteArray pngBombe() {
  QImage bild(8000, 8000, QImage::Format_Mono);
  bild.fill(1);
  return png(bild);
}

// 5000 x 5000 (25 million pixels, under the limit), a gradient.
QByteArray pngGross() {
  QImage bild(5000, 5000, QImage::Format_RGB32);
  QPainter p(&bild);
  QLinearGradient g(0, 0, 5000, 5000);
  g.setColorAt(0, Qt::red);
  g.setColorAt(1, Qt::blue);
  p.fillRect(bild.rect(), g);
  p.end();
  return png(bild);
}

// A BMP of just under 32 MB.
QByteArray bmp32MB() {
  QImage bild(3264, 3264, QImage::Format_RGB888);
  for (int y = 0; y < bild.height(); ++y)
    for (int x = 0; x < bild.width(); ++x) bild.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
  QByteArray bytes;
  QBuffer puffer(&bytes);
  puffer.open(QIODevice::WriteOnly);
  bild.save(&puffer, "BMP");
  return bytes;
}

// A GIF of noise frames, w x h each, until it is at least `bytes` long:
// every pixel a literal code of 9 bits (a clear code every 250), as an
// encoder that finds nothing to compress writes it.
std::vector<uint8_t> rauschGif(int w, int h, std::size_t bytes) {
  std::vector<uint8_t> g{'G', 'I', 'F', '8', '9', 'a'};
  auto wort = [&](int v) { g.push_back(uint8_t(v)), g.push_back(uint8_t(v >> 8)); };
  wort(w), wort(h);
  g.insert(g.end(), {0xF7, 0, 0});
  for (int i = 0; i < 256; ++i) g.insert(g.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
  std::mt19937 zufall(42);
  while (g.size() < bytes) {
    g.insert(g.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C, 0, 0, 0, 0});
    wort(w), wort(h);
    g.insert(g.end(), {0, 8});
    std::vector<uint8_t> daten;
    uint64_t akku = 0;
    int bits = 0;
    auto code = [&](uint32_t c) {
      akku |= uint64_t(c) << bits;
      for (bits += 9; bits >= 8; bits -= 8, akku >>= 8) daten.push_back(uint8_t(akku));
    };
    const long n = long(w) * h;
    for (long i = 0; i < n; ++i) {
      if (i % 250 == 0) code(256);
      code(zufall() & 255);
    }
    code(257);
    if (bits > 0) daten.push_back(uint8_t(akku));
    for (std::size_t i = 0; i < daten.size(); i += 255) {
      const std::size_t m = std::min<std::size_t>(255, daten.size() - i);
      g.push_back(uint8_t(m));
      g.insert(g.end(), daten.begin() + long(i), daten.begin() + long(i + m));
    }
    g.push_back(0);
  }
  g.push_back(0x3B);
  return g;
}

// A GIF whose one frame is 8192 x 8200 (over the 64-megapixel limit).
std::vector<uint8_t> frameZuGross() {
  std::vector<uint8_t> g{'G', 'I', 'F', '8', '9', 'a', 0, 0x20, 0x08, 0x20, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  g.insert(g.end(), {0x2C, 0, 0, 0, 0, 0, 0x20, 0x08, 0x20, 0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  return g;
}

std::string hex(const std::vector<uint8_t>& b) {
  return QString::fromStdU16String(protocol::hexKodieren(b)).toStdString();
}

// The receiver's watchdog pings, on a notification socket of ours.
class Wachhund {
 public:
  Wachhund() {
    pfad_ = (std::filesystem::temp_directory_path() / ("bench_wachhund_" + std::to_string(getpid()))).string();
    unlink(pfad_.c_str());
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    pfad_.copy(a.sun_path, sizeof a.sun_path - 1);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    timeval warte{0, 100000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &warte, sizeof warte);
    faden_ = std::thread([this] {
      char puffer[256];
      while (!ende_) {
        const ssize_t n = recv(fd_, puffer, sizeof puffer, 0);
        if (n <= 0 || std::string(puffer, size_t(n)).find("WATCHDOG=1") == std::string::npos) continue;
        const auto jetzt = Uhr::now();
        std::lock_guard l(m_);
        if (letzter_) luecke_ = std::max(luecke_, std::chrono::duration<double, std::milli>(jetzt - *letzter_).count());
        letzter_ = jetzt;
      }
    });
  }
  ~Wachhund() {
    ende_ = true;
    faden_.join();
    close(fd_);
    unlink(pfad_.c_str());
  }
  const std::string& pfad() const { return pfad_; }
  double neu() {
    std::lock_guard l(m_);
    return std::exchange(luecke_, 0.0);
  }

 private:
  std::string pfad_;
  int fd_ = -1;
  std::thread faden_;
  std::atomic<bool> ende_{false};
  std::mutex m_;
  std::optional<Uhr::time_point> letzter_;
  double luecke_ = 0;
};

// Probes: one command every 5 ms through the ring and over a TCP connection
// of their own; the longest wait of each since the last neu().
class Proben {
 public:
  Proben(Ring& ring, std::mutex& ringSperre, uint16_t port) : ring_(ring), sperre_(ringSperre) {
    tcp_ = verbinden(port);
    faden_ = std::thread([this] { laufen(); });
  }
  ~Proben() {
    ende_ = true;
    faden_.join();
    close(tcp_);
  }
  std::pair<double, double> neu() {
    std::lock_guard l(m_);
    return {std::exchange(ringMax_, 0.0), std::exchange(tcpMax_, 0.0)};
  }

 private:
  void laufen() {
    const std::string probe = befehl({"Tafelgroesse", "768", "480"});
    while (!ende_) {
      const auto t0 = Uhr::now();
      int slot = -1;
      {
        std::lock_guard l(sperre_);
        slot = int(ring_.naechster % 100);
        ring_.senden(probe, 60);
      }
      allesSenden(tcp_, probe + "\r\n");
      bool ringDa = false, tcpDa = false;
      while (!(ringDa && tcpDa) && !ende_) {
        if (!ringDa && gv::Sendetexte(slot).GetMemory().empty()) {
          ringDa = true;
          std::lock_guard l(m_);
          ringMax_ = std::max(ringMax_, msSeit(t0));
        }
        if (!tcpDa) {
          char puffer[64];
          const ssize_t n = recv(tcp_, puffer, sizeof puffer, MSG_DONTWAIT);
          if (n > 0) {
            tcpDa = true;
            std::lock_guard l(m_);
            tcpMax_ = std::max(tcpMax_, msSeit(t0));
          }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  Ring& ring_;
  std::mutex& sperre_;
  int tcp_ = -1;
  std::thread faden_;
  std::atomic<bool> ende_{false};
  std::mutex m_;
  double ringMax_ = 0, tcpMax_ = 0;
};

long kiB(pid_t pid, const char* feld) { return rssKiB(pid, feld); }

void spitzeZuruecksetzen(pid_t pid) { std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5"; }

struct Zeile {
  std::string was;
  double ring = 0, tcp = 0, wachhund = 0, dauer = 0;
  long spitzeMB = 0, danachMB = 0;
  std::string ergebnis;
};

}  // namespace
}  // namespace vrd4::bench

int main(int argc, char** argv) {
  using namespace vrd4::bench;
  // --schnell: without the two longest inputs; --nur TEXT: only the inputs
  // whose name holds TEXT (and the idle row).
  bool schnell = false;
  std::string nur;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--schnell") schnell = true;
    else if (std::string(argv[i]) == "--nur" && i + 1 < argc) nur = argv[++i];
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);

  // VRD4_BEHALTEN=1 keeps the receiver's folder (its history, and its
  // program for a profiler's symbols).
  Empfaenger::behalten = std::getenv("VRD4_BEHALTEN") != nullptr;
  Wachhund wachhund;
  setenv("NOTIFY_SOCKET", wachhund.pfad().c_str(), 1);
  setenv("WATCHDOG_USEC", "1000000", 1);
  const std::string praefix = "bench_ueber_" + std::to_string(getpid()) + "_";
  const uint16_t port = freierPort();
  Ring ring(praefix);
  Empfaenger empfaenger(praefix, startwerte(port, false, true));
  unsetenv("NOTIFY_SOCKET");
  if (!ring.gestartet()) {
    std::fprintf(stderr, "der Empfänger startet nicht\n");
    return 1;
  }
  const int erste = warteAufServer(port);
  if (erste < 0) return 1;
  close(erste);
  std::mutex ringSperre;
  Proben proben(ring, ringSperre, port);
  const std::filesystem::path ordner = empfaenger.ordner();
  auto datei = [&](const char* name, const std::vector<uint8_t>& b) {
    const std::string pfad = (ordner / name).string();
    std::ofstream(pfad, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return pfad;
  };

  std::fprintf(stderr, "Dateien ...\n");
  const std::vector<uint8_t> bombe = alsBytes(pngBombe()), gross = alsBytes(pngGross()), bmp = alsBytes(bmp32MB());
  const std::vector<uint8_t> gif32 = rauschGif(1280, 720, (32u << 20) - (1u << 20));
  const std::string bombeDatei = datei("bombe.png", bombe), grossDatei = datei("gross.png", gross),
                    gif32Datei = datei("rauschen.gif", gif32), frameDatei = datei("frame.gif", frameZuGross());
  const std::string riesigDatei = (ordner / "riesig.gif").string();
  { std::ofstream(riesigDatei) << "GIF89a"; }
  std::filesystem::resize_file(riesigDatei, 45u << 20);

  std::vector<Zeile> tabelle;
  const auto messen = [&](const std::string& was, const std::function<std::string()>& eingabe) {
    if (!nur.empty() && was != "Leerlauf" && was.find(nur) == std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long ruhe = kiB(empfaenger.pid(), "VmRSS:");
    spitzeZuruecksetzen(empfaenger.pid());
    proben.neu();
    wachhund.neu();
    Zeile z;
    z.was = was;
    const auto t0 = Uhr::now();
    z.ergebnis = eingabe();
    z.dauer = msSeit(t0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::tie(z.ring, z.tcp) = proben.neu();
    z.wachhund = wachhund.neu();
    z.spitzeMB = (kiB(empfaenger.pid(), "VmHWM:") - ruhe) / 1024;
    z.danachMB = (kiB(empfaenger.pid(), "VmRSS:") - ruhe) / 1024;
    tabelle.push_back(z);
    std::fprintf(stderr, "%-44s %s\n", was.c_str(), z.ergebnis.c_str());
  };
  // A line over TCP; waits for its "OK" (or the connection's end).
  const auto tcp = [&](const std::string& zeile) {
    const int fd = verbinden(port);
    allesSenden(fd, zeile + "\r\n");
    char puffer[16];
    const ssize_t n = recv(fd, puffer, sizeof puffer, 0);
    close(fd);
    return n > 0 ? std::string("OK") : std::string("Verbindung getrennt");
  };
  // A command through the ring; waits until it and the probe after it ran,
  // and says what the receiver answered or reported.
  const auto durchRing = [&](const std::string& text) {
    gv::clsVRD4Event().SetMemory(u"");
    gv::clsVRD4AniGifNr().SetMemory(u"");
    long slot = 0;
    {
      std::lock_guard l(ringSperre);
      slot = ring.naechster % 100;
      ring.senden(text, 60);
    }
    // Done once a later command (a probe) was taken: the ring waits behind
    // a command until it has run.
    const std::u16string eigener = QString::number(slot).toStdU16String();
    const auto ende = Uhr::now() + std::chrono::seconds(120);
    while (Uhr::now() < ende && (!gv::Sendetexte(int(slot)).GetMemory().empty() ||
                                 gv::clsVRD4LetzteGelesene().GetMemory() == eigener))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::u16string nr = gv::clsVRD4AniGifNr().GetMemory();
    return (nr.empty() ? std::string() : "Nr " + QString::fromStdU16String(nr).toStdString() + ", ") +
           QString::fromStdU16String(gv::clsVRD4Event().GetMemory()).left(70).toStdString();
  };
  const std::string text = "1\x1b" "1\x1b" "768\x1b" "60\x1b";
  const std::string schrift = "\x1b" "4\x1b" "Arial\x1b" "30\x1b" "0\x1b" "0\x1b" "0\x1b" "0\x1b" "0\x1b" "255\x1b" "0\x1b" "0\x1b" "1\x1b" "0";

  messen("Leerlauf", [] { return std::string("-"); });
  if (!schnell)
    messen("TCP Textausgabe, 60 Mio. Zeichen", [&] {
      return tcp("Befehl\x1bTextausgabe\x1b" + text + std::string(60'000'000, 'x') + schrift);
    });
  messen("TCP Lauftext, 10 Mio. Zeichen", [&] {
    return tcp("Befehl\x1bLauftext\x1b" + text + std::string(10'000'000, 'x') +
               "\x1b" "Arial\x1b" "30\x1b" "0\x1b" "0\x1b" "0\x1b" "0\x1b" "0\x1b" "255\x1b" "0\x1b" "1\x1b" "0");
  });
  messen("TCP Textausgabe, 32000 Zeichen", [&] {
    return tcp("Befehl\x1bTextausgabe\x1b" + text + std::string(31900, 'x') + schrift);
  });
  messen("TCP BildAnzeigen 8000x8000 PNG (" + std::to_string(bombe.size() / 1024) + " KB)", [&] {
    return tcp("Befehl\x1b" "BildAnzeigen\x1b" "b.png\x1b-1\x1b" "0\x1b" + hex(bombe));
  });
  messen("TCP BildAnzeigen 5000x5000 PNG (" + std::to_string(gross.size() / 1024) + " KB)", [&] {
    return tcp("Befehl\x1b" "BildAnzeigen\x1b" "g.png\x1b-1\x1b" "0\x1b" + hex(gross));
  });
  if (!schnell)
    messen("TCP 8 x BildAnzeigen 32 MB BMP, 4 Verbindungen", [&] {
      const std::string zeile = "Befehl\x1b" "BildAnzeigenanPosition\x1b" "b.bmp\x1b" "1\x1b" "1\x1b" "400\x1b" "300\x1b" "0\x1b" "0\x1b" + hex(bmp) + "\r\n";
      std::vector<std::thread> faeden;
      std::atomic<int> ok{0};
      for (int v = 0; v < 4; ++v)
        faeden.emplace_back([&] {
          const int fd = verbinden(port);
          allesSenden(fd, zeile + zeile);
          if (okLesen(fd, 2)) ok += 2;
          close(fd);
        });
      for (auto& f : faeden) f.join();
      return std::to_string(ok.load()) + " OK";
    });
  messen("TCP AniGifLadenanPosition 31 MB GIF", [&] {
    const std::string r =
        tcp("Befehl\x1b" "AniGifLadenanPosition\x1b" "r.gif\x1b" "1\x1b" "1\x1b" "400\x1b" "300\x1b" "0\x1b" "0\x1b" + hex(gif32));
    tcp("Befehl\x1b" "Cls");
    return r;
  });
  messen("TCP 2000 unbekannte Befehle, dann Cls", [&] {
    const int fd = verbinden(port);
    std::string flut;
    for (int i = 0; i < 2000; ++i) flut += "Befehl\x1b" "cls\r\n";
    const auto t0 = Uhr::now();
    allesSenden(fd, flut + "Befehl\x1b" "Cls\r\n");
    const bool ok = okLesen(fd, 1);
    const double ms = msSeit(t0);
    close(fd);
    char zahl[64];
    std::snprintf(zahl, sizeof zahl, "%s nach %.0f ms", ok ? "OK" : "kein OK", ms);
    return std::string(zahl);
  });
  messen("Ring BildAnzeigen 8000x8000 PNG", [&] {
    return durchRing("Befehl\x1b" "BildAnzeigen\x1b" + bombeDatei + "\x1b-1\x1b" "0");
  });
  messen("Ring BildAnzeigen 5000x5000 PNG", [&] {
    return durchRing("Befehl\x1b" "BildAnzeigen\x1b" + grossDatei + "\x1b-1\x1b" "0");
  });
  const std::string feld = "\x1b" "1\x1b" "1\x1b" "400\x1b" "300\x1b" "0\x1b" "0\x1b";
  messen("Ring AniGif 45 MB (über der Dateigrenze)", [&] {
    return durchRing("Befehl\x1b" "AniGifLadenanPosition\x1b" + riesigDatei + feld);
  });
  messen("Ring AniGif Frame 8192x8200 (über der Grenze)", [&] {
    return durchRing("Befehl\x1b" "AniGifLadenanPosition\x1b" + frameDatei + feld);
  });
  messen("Ring AniGif 31 MB GIF", [&] {
    return durchRing("Befehl\x1b" "AniGifLadenanPosition\x1b" + gif32Datei + feld);
  });
  messen("Ring 4 x AniGif 31 MB GIF, dann Cls", [&] {
    std::string r;
    for (int i = 0; i < 4; ++i) r = durchRing("Befehl\x1b" "AniGifLadenanPosition\x1b" + gif32Datei + feld);
    durchRing("Befehl\x1b" "Cls");
    return r;
  });

  std::printf("%-46s %9s %9s %9s %9s %9s %9s  %s\n", "Eingabe", "Ring ms", "TCP ms", "Wachh. ms", "Dauer ms",
              "Spitze MB", "danach MB", "Ergebnis");
  for (const Zeile& z : tabelle)
    std::printf("%-46s %9.0f %9.0f %9.0f %9.0f %9ld %9ld  %s\n", z.was.c_str(), z.ring, z.tcp, z.wachhund, z.dauer,
                z.spitzeMB, z.danachMB, z.ergebnis.c_str());
  return 0;
}
