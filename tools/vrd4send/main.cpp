// vrd4send: the command-line sender. Reads operations line by line and sends
// them through clsVRD4Sender to the receiver on this computer.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Operationen.h"
#include "Skript.h"
#include "channel/ClsVRD4Memory.h"
#include "platform/Ansi.h"
#include "vrd4/clsVRD4Sender.h"

namespace {

using namespace vrd4::vrd4send;
using vrd4::platform::toUtf8;

void beiSignal(int) { abbruch() = true; }

// Without SA_RESTART, so that a read from a terminal returns and the sender
// object can end the receiver the normal way.
void signaleAbfangen() {
  struct sigaction sa{};
  sa.sa_handler = beiSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
}

enum class Gelesen { Zeile, ZuLang, Ende };

// One line without its end; a line over kMaxZeilenlaenge is read to its end
// and dropped.
Gelesen zeileHolen(std::FILE* f, std::string& zeile) {
  zeile.clear();
  bool zuLang = false;
  for (;;) {
    int c = std::getc(f);
    if (c == EOF) {
      if (std::ferror(f) || abbruch() || (zeile.empty() && !zuLang)) return Gelesen::Ende;
      break;
    }
    if (c == '\n') break;
    if (zeile.size() < kMaxZeilenlaenge)
      zeile.push_back(static_cast<char>(c));
    else
      zuLang = true;
  }
  return zuLang ? Gelesen::ZuLang : Gelesen::Zeile;
}

struct Optionen {
  bool hilfe = false, weiterlaufen = false, verbinden = false;
  double antwortzeit = 0;  // none: as long as the receiver runs
  std::string datei;  // empty or "-": standard input
};

bool optionenLesen(int argc, char** argv, Optionen& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      o.hilfe = true;
    } else if (a == "--weiterlaufen") {
      o.weiterlaufen = true;
    } else if (a == "--verbinden") {
      o.verbinden = true;
    } else if ((a == "--prefix" && i + 1 < argc) || a.rfind("--prefix=", 0) == 0) {
      const std::string p = a == "--prefix" ? argv[++i] : a.substr(9);
      if (!vrd4::channel::isValidChannelNamePrefix(p)) {
        std::fprintf(stderr, "vrd4send: --prefix: nur A-Z a-z 0-9 _ - . erlaubt, höchstens 64 Zeichen\n");
        return false;
      }
      vrd4::sender::clsVRD4Sender::setKanalPrefix(p);
    } else if (a == "--antwortzeit" && i + 1 < argc) {
      std::string fehler;
      auto v = wertLesen(argv[++i], Typ::Double, fehler);
      if (!v) {
        std::fprintf(stderr, "vrd4send: --antwortzeit: %s\n", fehler.c_str());
        return false;
      }
      o.antwortzeit = std::get<double>(*v);
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "vrd4send: unbekannte Option %s (siehe --help)\n", a.c_str());
      return false;
    } else if (o.datei.empty()) {
      o.datei = a;
    } else {
      std::fprintf(stderr, "vrd4send: nur eine Datei (siehe --help)\n");
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Optionen o;
  if (!optionenLesen(argc, argv, o)) return 2;
  if (o.hilfe) {
    std::fputs(hilfe().c_str(), stdout);
    return 0;
  }
  std::FILE* ein = stdin;
  if (!o.datei.empty() && o.datei != "-") {
    ein = std::fopen(o.datei.c_str(), "rb");
    if (!ein) {
      std::fprintf(stderr, "vrd4send: %s: %s\n", o.datei.c_str(), std::strerror(errno));
      return 2;
    }
  }
  signaleAbfangen();

  int rueckgabe = 0;
  {
    vrd4::sender::clsVRD4Sender sender;
    sender.setAntwortZeitlimit(o.antwortzeit);
    std::u16string gemeldet;  // the event the callback printed last
    sender.setEreignis([&](const std::u16string& art, const std::u16string& meldung) {
      gemeldet = art + u";" + meldung;
      std::fprintf(stderr, "%s\n", toUtf8(gemeldet).c_str());
    });
    // Events the receiver wrote that did not pass through our callback.
    auto neueEreignisse = [&] {
      std::u16string e = sender.EreignisAbholen();
      if (!e.empty() && e != gemeldet) std::fprintf(stderr, "%s\n", toUtf8(e).c_str());
      gemeldet.clear();
    };

    const int32_t gestartet = o.verbinden ? sender.Verbinden(0, 0) : sender.Initialisieren(0, 0);
    if (gestartet != 1) {
      // Nothing was started, so nothing is ours to stop.
      sender.setEmpfaengerWeiterlaufen(true);
      rueckgabe = 2;
    } else {
      sender.setEmpfaengerWeiterlaufen(o.weiterlaufen);
      std::string zeile;
      int nummer = 0;
      for (Gelesen g; !abbruch() && (g = zeileHolen(ein, zeile)) != Gelesen::Ende;) {
        ++nummer;
        if (g == Gelesen::ZuLang) {
          std::fprintf(stderr, "Zeile %d: länger als %zu Zeichen, übersprungen\n", nummer, kMaxZeilenlaenge);
          rueckgabe = 1;
          continue;
        }
        auto gelesen = zeileLesen(zeile);
        if (auto* fehler = std::get_if<std::string>(&gelesen)) {
          std::fprintf(stderr, "Zeile %d: %s\n", nummer, fehler->c_str());
          rueckgabe = 1;
          continue;
        }
        const Aufruf& aufruf = std::get<Aufruf>(gelesen);
        if (!aufruf.op) continue;
        neueEreignisse();
        const int nr = aufruf.op->ausfuehren(sender, aufruf.werte);
        if (aufruf.op->liefertNummer) {
          std::printf("%d\n", nr);
          std::fflush(stdout);
        }
        sender.WartenbisPufferleer(1.0);
        neueEreignisse();
      }
      // The receiver reports what a command did right after taking it.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      neueEreignisse();
    }
  }  // the sender object ends here, and with it the receiver
  if (ein != stdin) std::fclose(ein);
  return rueckgabe;
}
