// vrd4send: the command-line sender. Reads operations line by line and sends
// them through clsVRD4Sender to the receiver on this computer.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "Nachlauf.h"
#include "Operationen.h"
#include "Skript.h"
#include "Tafeln.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"
#include "platform/Process.h"
#include "support/Numbers.h"
#include "vrd4/clsVRD4Sender.h"

namespace {

using namespace vrd4::vrd4send;
using vrd4::platform::toUtf8;
namespace gv = vrd4::channel::modVRD4GlobaleVariablen;

// Exit codes (the manual page lists them); the highest that applies counts.
enum Rueckgabe : int {
  kAllesGesendet = 0,
  kFehlerhafteZeilen = 1,  // lines that could not be read or converted, skipped
  kAufruffehler = 2,       // options, input file
  kNichtGesendet = 3,      // no receiver reached, or lines it did not get
  kKanalGesperrt = 4,      // the channel's files may not be opened
};

// The sender object while one lives, for the signal handler: a wait inside
// the library ends when it is cancelled.
std::atomic<vrd4::sender::clsVRD4Sender*> g_sender{nullptr};
static_assert(std::atomic<vrd4::sender::clsVRD4Sender*>::is_always_lock_free);

// A receiver that gives no sign of life this long counts as not answering
// (see --stillstand).
constexpr double kStillstandVorgabe = 10.0;

void beiSignal(int) {
  abbruch() = true;
  if (vrd4::sender::clsVRD4Sender* s = g_sender.load()) s->Abbrechen();
}

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
  bool hilfe = false, version = false, weiterlaufen = false, verbinden = false;
  double antwortzeit = 0;  // none: as long as the receiver runs
  double stillstand = kStillstandVorgabe;  // 0: as long as the process runs
  std::string datei;  // empty or "-": standard input
  bool tafeln = false;  // --tafeln: list the boards of --halle instead of sending
  std::string entfernen;  // --tafel-entfernen NAME: retire board NAME of --halle
  HallenZugang halle;
};

bool optionenLesen(int argc, char** argv, Optionen& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      o.hilfe = true;
    } else if (a == "--version") {
      o.version = true;
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
    } else if (a == "--tafeln") {
      o.tafeln = true;
    } else if (a == "--tafel-entfernen" && i + 1 < argc) {
      o.entfernen = argv[++i];
    } else if (a == "--halle" && i + 1 < argc) {
      o.halle.url = argv[++i];
    } else if (a == "--halle-ca" && i + 1 < argc) {
      o.halle.caDatei = argv[++i];
    } else if (a == "--halle-zugang" && i + 1 < argc) {
      o.halle.zugangsDatei = argv[++i];
    } else if (a == "--antwortzeit" && i + 1 < argc) {
      std::string fehler;
      auto v = wertLesen(argv[++i], Typ::Double, fehler);
      if (!v) {
        std::fprintf(stderr, "vrd4send: --antwortzeit: %s\n", fehler.c_str());
        return false;
      }
      o.antwortzeit = std::get<double>(*v);
    } else if (a == "--stillstand" && i + 1 < argc) {
      std::string fehler;
      auto v = wertLesen(argv[++i], Typ::Double, fehler);
      if (!v || !(std::get<double>(*v) >= 0)) {
        std::fprintf(stderr, "vrd4send: --stillstand: %s\n", v ? "keine Zahl ab 0" : fehler.c_str());
        return false;
      }
      o.stillstand = std::get<double>(*v);
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

// The receiver on our channel (the same --prefix), if one runs.
std::optional<pid_t> empfaengerAufUnseremKanal() {
  auto e = vrd4::platform::findProcess([](const vrd4::platform::ProcessEntry& p) {
    if (!vrd4::sender::clsVRD4Sender::IstEmpfaengerName(p.exeName)) return false;
    const auto args = vrd4::platform::processArguments(p.pid);
    std::string praefix;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--prefix" && i + 1 < args.size()) praefix = args[++i];
      else if (args[i].rfind("--prefix=", 0) == 0) praefix = args[i].substr(9);
    }
    return praefix == vrd4::channel::channelNamePrefix();
  });
  return e ? std::optional(e->pid) : std::nullopt;
}

// After the stop request: a receiver that does not end by itself (stuck in a
// message box, never started properly) is ended. After a signal vrd4send
// itself must end at once: the receiver gets a short while and then SIGTERM,
// which it runs its normal teardown on (a stopped one when it is continued).
void empfaengerBeenden(bool eilig) {
  for (int i = 0; i < (eilig ? 30 : 300); ++i) {
    if (!empfaengerAufUnseremKanal()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (auto pid = empfaengerAufUnseremKanal()) {
    if (eilig)
      ::kill(*pid, SIGTERM);
    else
      vrd4::platform::terminateProcess(*pid, 2000);
  }
}

bool gestartetMarke() {
  const std::u16string v = gv::clsVRD4EmpfaengerGestartet().GetMemory();
  const double n = vrd4::leadingNumber(v);
  return !v.empty() && (n == -1 || n == -2);
}

// Whether the receiver has written its start mark. Initialisieren waits up
// to 10 s (or --antwortzeit); a receiver that still starts on a busy machine
// gets 20 s more unless --antwortzeit was given.
bool startAbwarten(vrd4::sender::clsVRD4Sender& sender, double antwortzeit) {
  const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(antwortzeit > 0 ? 0 : 20);
  while (!gestartetMarke()) {
    if (!sender.EmpfaengerLaeuft() || abbruch() || std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Optionen o;
  if (!optionenLesen(argc, argv, o)) return kAufruffehler;
  if (o.hilfe) {
    std::fputs(hilfe().c_str(), stdout);
    return 0;
  }
  if (o.version) {
    std::printf("vrd4send %s\n", VRD4_VERSION);
    return 0;
  }
  if (o.tafeln || !o.entfernen.empty() || !o.halle.url.empty()) {
    if (o.tafeln == !o.entfernen.empty() || o.halle.url.empty()) {
      std::fprintf(stderr,
                   "vrd4send: --halle URL gehört zu genau einem von --tafeln und --tafel-entfernen NAME (siehe --help)\n");
      return kAufruffehler;
    }
    return o.tafeln ? tafelnAuflisten(o.halle, stdout) : tafelEntfernen(o.halle, o.entfernen, stdout);
  }
  std::FILE* ein = stdin;
  if (!o.datei.empty() && o.datei != "-") {
    ein = std::fopen(o.datei.c_str(), "rb");
    if (!ein) {
      std::fprintf(stderr, "vrd4send: %s: %s\n", o.datei.c_str(), std::strerror(errno));
      return kAufruffehler;
    }
  }
  // A channel left by another user: one line that says what to do, instead
  // of a message for each of its objects.
  if (const std::string pfad = gv::gesperrtesObjekt(); !pfad.empty()) {
    std::string text;
    for (const char c : toUtf8(gv::gesperrtMeldung(pfad)))
      if (c != '\r') text += c == '\n' ? ' ' : c;
    std::fprintf(stderr, "vrd4send: %s\n", text.c_str());
    if (ein != stdin) std::fclose(ein);
    return kKanalGesperrt;
  }
  signaleAbfangen();

  int rueckgabe = kAllesGesendet;
  auto mindestens = [&rueckgabe](int r) { rueckgabe = std::max(rueckgabe, r); };
  bool beenden = !o.weiterlaufen;
  bool stillstand = false;  // the receiver gave no sign of life for --stillstand
  {
    vrd4::sender::clsVRD4Sender sender;
    g_sender = &sender;
    if (abbruch()) sender.Abbrechen();  // a signal before the object was there
    sender.setAntwortZeitlimit(o.antwortzeit);
    sender.setStillstandGrenze(o.stillstand);
    std::u16string gemeldet;  // the event the callback printed last
    // The sender's own errors mean a command did not reach the receiver;
    // each cause is printed once, and the count at the end.
    std::set<std::u16string> ursachen;
    int nichtGesendet = 0;
    sender.setEreignis([&](const std::u16string& art, const std::u16string& meldung) {
      gemeldet = art + u";" + meldung;
      if (meldung == u"VRD4Empfaenger_Steuerung: Empfänger reagiert nicht!") stillstand = true;
      if (art == u"BefehlFehler") {
        ++nichtGesendet;
        if (!ursachen.insert(meldung).second) return;
      }
      std::fprintf(stderr, "%s\n", toUtf8(gemeldet).c_str());
    });
    // Events the receiver wrote that did not pass through our callback.
    auto neueEreignisse = [&] {
      std::u16string e = sender.EreignisAbholen();
      if (!e.empty() && e != gemeldet) std::fprintf(stderr, "%s\n", toUtf8(e).c_str());
      gemeldet.clear();
    };

    // A receiver that ran before us is not ours to end after a signal.
    const bool fremderEmpfaenger = o.verbinden && sender.EmpfaengerLaeuft();
    const int32_t gestartet =
        abbruch() ? 0 : o.verbinden ? sender.Verbinden(0, 0) : sender.Initialisieren(0, 0);
    if (gestartet != 1) {
      // Nothing was started, so nothing is ours to stop.
      sender.setEmpfaengerWeiterlaufen(true);
      beenden = false;
      mindestens(kNichtGesendet);
    } else if (!startAbwarten(sender, o.antwortzeit)) {
      if (!abbruch())
        std::fprintf(stderr, "vrd4send: der Empfänger hat sich nicht gemeldet (seine Ausgabe: %s)\n",
                     vrd4::sender::clsVRD4Sender::EmpfaengerLogDatei().c_str());
      // A receiver that started but does not answer is ended all the same.
      sender.setEmpfaengerWeiterlaufen(o.weiterlaufen);
      mindestens(kNichtGesendet);
    } else {
      sender.setEmpfaengerWeiterlaufen(o.weiterlaufen);
      std::string zeile;
      int nummer = 0;
      for (Gelesen g; !abbruch() && !stillstand && (g = zeileHolen(ein, zeile)) != Gelesen::Ende;) {
        ++nummer;
        if (g == Gelesen::ZuLang) {
          std::fprintf(stderr, "Zeile %d: länger als %zu Zeichen, übersprungen\n", nummer, kMaxZeilenlaenge);
          mindestens(kFehlerhafteZeilen);
          continue;
        }
        auto gelesen = zeileLesen(zeile);
        if (auto* fehler = std::get_if<std::string>(&gelesen)) {
          std::fprintf(stderr, "Zeile %d: %s\n", nummer, fehler->c_str());
          mindestens(kFehlerhafteZeilen);
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
      // The receiver reports what a command did only once it has run it:
      // the event of the last one comes after its slot was taken.
      if (!abbruch() && !stillstand) Nachlauf{empfaengerAufUnseremKanal, o.antwortzeit}.abwarten(beenden);
      neueEreignisse();
      if (stillstand)
        std::fprintf(stderr, "vrd4send: der Empfänger gibt seit %g s kein Lebenszeichen (angehalten oder "
                             "hängt); die übrigen Zeilen werden nicht gesendet\n", o.stillstand);
      if (nichtGesendet > 0) {
        std::fprintf(stderr, "vrd4send: %d Befehle nicht gesendet\n", nichtGesendet);
        mindestens(kNichtGesendet);
      }
    }
    if (abbruch()) {
      std::fprintf(stderr, "vrd4send: abgebrochen\n");
      mindestens(kNichtGesendet);
    }
    if (stillstand) mindestens(kNichtGesendet);
    // A receiver that ran before us keeps running after a signal or when
    // it hangs: another program may be its sender.
    if ((abbruch() || stillstand) && fremderEmpfaenger) {
      sender.setEmpfaengerWeiterlaufen(true);
      beenden = false;
    }
    g_sender = nullptr;
  }  // the sender object ends here, and with it the receiver
  if (beenden) empfaengerBeenden(abbruch());
  if (ein != stdin) std::fclose(ein);
  return rueckgabe;
}
