// The soak run, by hand (not part of the test command):
//
//   bench_dauerlauf [--minuten N] [--neustart S]      (default: 60 minutes, 180 s)
//
// Mixed load on a relay chain of real receivers on loopback:
//   ring -> A -(Client2)-> B -(Client3)-> C,  two TCP peers -> B.
// A's ring gets about 20 commands a second (cells, lines, texts, blinking
// and scrolling texts replaced in turn, ten GIF animations reloaded in
// turn); each peer sends 5 a second to B and reads its "OK"s. C is killed
// every S seconds and started again 10 s later (B's Client3 reconnects and
// catches it up). Once a minute the resident memory of A, B and C is
// printed. At the end every effect is deleted and B's and C's boards must
// be pixel-identical. Exit code 0 when they are.
#include <QCoreApplication>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "bench/relay/RelayHilfe.h"
#include "protocol/Befehl.h"

namespace {

using namespace vrd4::bench;
using vrd4::protocol::Befehlsbauer;
using Uhr = std::chrono::steady_clock;

std::string ansi(const std::u16string& s) { return QString::fromStdU16String(s).toLatin1().toStdString(); }

Befehlsbauer& schrift(Befehlsbauer& b, int farbe) {
  return b.text(u"Arial").ganz(18).janein(false).janein(false).janein(false).janein(false).janein(false).ganz(farbe).ganz(0);
}
Befehlsbauer& feld(Befehlsbauer& b, int x, int y, int w, int h) { return b.ganz(x).ganz(y).ganz(x + w - 1).ganz(y + h - 1); }

std::string zelle(long i, const char* name = "Rechteck") {
  const int x = int(i % 40) * 19 + 1, y = int(i / 40 % 20) * 19 + 1;
  Befehlsbauer b(QString::fromLatin1(name).toStdU16String());
  feld(b, x, y, 18, 18).ganz(1).ganz(long(i * 2654435761u & 0xFFFFFF));
  if (std::strcmp(name, "Rechteck") == 0) b.janein(true);
  return ansi(b.text());
}
std::string text(long i, int x, int y) {
  Befehlsbauer b(u"Textausgabe");
  feld(b, x, y, 180, 24).text(u"Zeile " + QString::number(i).toStdU16String()).ganz(0);
  return ansi(schrift(b, 0xFFFFFF).janein(false).zahl(1).zahl(0).text());
}
std::string blink(long i) {
  Befehlsbauer b(u"Blinktext");
  feld(b, 1 + int(i % 5) * 150, 400, 140, 24).text(u"Blink " + QString::number(i).toStdU16String()).ganz(0);
  return ansi(schrift(b, 0x00FFFF).zahl(0.5).text());
}
std::string lauf(long i) {
  Befehlsbauer b(u"Lauftext");
  feld(b, 1 + int(i % 5) * 150, 430, 140, 24).text(u"Lauftext Nummer " + QString::number(i).toStdU16String());
  return ansi(schrift(b, 0xFF00FF).zahl(2).zahl(0).text());
}
std::string nr(const char16_t* name, long n) { return ansi(Befehlsbauer(name).ganz(n).text()); }
std::string gif(int slot) {
  Befehlsbauer b(u"AniGifLadenanPosition");
  b.text(QString::fromLatin1(VRD4_TEST_DATA_DIR "/engine/zwei_frames.gif").toStdU16String());
  return ansi(feld(b, 1 + (slot - 1) * 76, 455, 20, 20).janein(true).janein(false).text());
}

// A TCP peer of B: one line, then its "OK", at `proSekunde`.
void peer(uint16_t port, int art, const std::atomic<bool>& halt, std::atomic<long>& ok) {
  int fd = -1;
  for (long i = 0; !halt; ++i) {
    if (fd < 0) fd = verbinden(port);
    timeval zeit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &zeit, sizeof zeit);
    const std::string zeile = (art == 0 ? text(i, 560, 1 + int(i % 15) * 24) : zelle(i * 7 + 3, "Linie")) + "\r\n";
    if (fd < 0 || !allesSenden(fd, zeile) || !okLesen(fd, 1)) {
      if (fd >= 0) close(fd);
      fd = -1;
    } else {
      ++ok;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (fd >= 0) close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  double minuten = 60, neustart = 180;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--minuten") == 0) minuten = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--neustart") == 0) neustart = std::atof(argv[++i]);
  }
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  const uint16_t portB = freierPort(), portC = freierPort();
  Empfaenger c("dauer_C_", startwerte(portC, false, true));
  if (const int fd = warteAufServer(portC); fd >= 0) close(fd);
  Empfaenger b("dauer_B_", startwerte(portB, false, true), {"--weiterleiten", "127.0.0.1:" + std::to_string(portC)});
  if (const int fd = warteAufServer(portB); fd >= 0) close(fd);
  Ring ring("dauer_A_");
  Empfaenger a("dauer_A_", startwerte(portB, true, false));
  if (!ring.gestartet()) return std::puts("A startet nicht"), 2;
  std::this_thread::sleep_for(std::chrono::seconds(2));

  std::atomic<bool> halt{false};
  std::atomic<long> peerOk{0};
  std::thread p1(peer, portB, 0, std::cref(halt), std::ref(peerOk));
  std::thread p2(peer, portB, 1, std::cref(halt), std::ref(peerOk));

  auto starten = [](int slot) { return ansi(Befehlsbauer(u"AniGifStarten").ganz(slot).zahl(0).text()); };
  for (int s = 1; s <= 10; ++s) ring.senden(gif(s)), ring.senden(starten(s));
  const auto start = Uhr::now();
  auto sekunden = [&] { return std::chrono::duration<double>(Uhr::now() - start).count(); };
  std::printf("Minute  A MiB  B MiB  C MiB  Neustarts von C  Ringbefehle  Peer-OKs\n");
  int neustarts = 0, minute = 0;
  double cTot = -1, naechsterKill = neustart;
  long n = 0;
  bool ringOk = true;
  while (sekunden() < minuten * 60 && ringOk) {
    // About 20 ring commands a second.
    const long schritt = n++;
    std::string zeile;
    switch (schritt % 10) {
      case 3: zeile = text(schritt, 1 + int(schritt / 10 % 3) * 190, 390); break;
      case 5: zeile = schritt / 10 % 2 ? nr(u"BlinktextLoeschen", 1 + schritt / 20 % 5) : blink(schritt / 20); break;
      case 7: zeile = schritt / 10 % 2 ? nr(u"LauftextLoeschen", 1 + schritt / 20 % 5) : lauf(schritt / 20); break;
      case 9:
        if (schritt % 600 == 9) {  // every half minute one animation anew
          const int slot = int(schritt / 600 % 10) + 1;
          ringOk = ring.senden(nr(u"AniGifLoeschen", slot)) && ring.senden(gif(slot));
          zeile = starten(slot);
        } else {
          zeile = zelle(schritt * 13, "Linie");
        }
        break;
      default: zeile = zelle(schritt);
    }
    ringOk = ringOk && ring.senden(zeile);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    if (cTot < 0 && sekunden() >= naechsterKill) {
      c.beenden(SIGKILL);
      cTot = sekunden();
    }
    if (cTot >= 0 && sekunden() - cTot >= 10) {
      c.starten();
      ++neustarts;
      cTot = -1;
      naechsterKill = sekunden() + neustart;
    }
    for (auto* e : {&a, &b}) {
      if (const std::string wie = e->ende(); !wie.empty()) {
        std::printf("%s endete nach %.0f s: %s; Verlauf in %s\n", e == &a ? "A" : "B", sekunden(), wie.c_str(),
                    e->ordner().c_str());
        Empfaenger::behalten = true;
        ringOk = false;
      }
    }
    if (sekunden() >= 60.0 * (minute + 1)) {
      ++minute;
      std::printf("%6d %6.1f %6.1f %6.1f %16d %12ld %9ld\n", minute, rssKiB(a.pid()) / 1024.0, rssKiB(b.pid()) / 1024.0,
                  cTot >= 0 ? 0.0 : rssKiB(c.pid()) / 1024.0, neustarts, ring.naechster, peerOk.load());
      std::fflush(stdout);
    }
  }
  if (!ringOk && a.pid() > 0)
    std::printf("Der Ring nahm nach %.0f s nichts mehr an, A läuft noch; Verlauf in %s\n", sekunden(), a.ordner().c_str());
  halt = true;
  p1.join(), p2.join();
  if (cTot >= 0) c.starten(), ++neustarts;
  // Blinking phases, scrolling positions and animation frames differ by
  // nature: the comparison is of the board beneath them.
  for (int s = 1; s <= 10; ++s)
    ringOk = ringOk && ring.senden(nr(u"BlinktextLoeschen", s)) && ring.senden(nr(u"LauftextLoeschen", s)) &&
             ring.senden(nr(u"AniGifLoeschen", s));
  ring.leer();
  bool gleich = false;
  const auto ende = Uhr::now() + std::chrono::seconds(60);
  while (!gleich && Uhr::now() < ende) {
    const QImage bildB = b.schnappschuss(), bildC = c.schnappschuss();
    gleich = !bildB.isNull() && bildB == bildC;
    if (!gleich) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  std::printf("Ring lief durch: %s; %d Neustarts von C überstanden; B und C pixelgleich: %s\n", ringOk ? "ja" : "nein",
              neustarts, gleich ? "ja" : "nein");
  if (!(ringOk && gleich)) Empfaenger::behalten = true;
  return ringOk && gleich ? 0 : 1;
}
