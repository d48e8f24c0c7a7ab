// Finding, ending and starting the receiver process.
//
// A built sending program never runs inside a development environment, so
// the checks of the receiver's start mark that only such a run makes are
// left out: the process list alone decides whether the receiver runs.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Process.h"
#include "protocol/Befehl.h"
#include "sender/SenderImpl.h"
#include "support/Numbers.h"
#include "vrd4/clsVRD4Sender.h"

#ifndef VRD4_INSTALL_BINDIR
#define VRD4_INSTALL_BINDIR "/usr/local/bin"
#endif

namespace vrd4::sender {
namespace gv = channel::modVRD4GlobaleVariablen;
namespace {

// How the receiver's executable was named on its home system; a process of
// that name (a receiver under a compatibility layer) counts too.
constexpr const char* kExeNameGross = "VRD4EMPFAENGER.EXE";
constexpr std::string_view kNameGross = "VRD4EMPFAENGER";
// Wait for the start mark when the program has switched the reply limit off.
constexpr double kStartwarteGrenze = 10.0;

// The test for the receiver's executable: it exists and is not a folder.
bool dateiDa(const std::string& pfad) {
  struct stat st{};
  return !pfad.empty() && ::stat(pfad.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The channel name prefix a receiver was started with ("--prefix P" or
// "--prefix=P"; none: the default names).
std::string praefixVon(pid_t pid) {
  const std::vector<std::string> args = platform::processArguments(pid);
  std::string praefix;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--prefix" && i + 1 < args.size()) praefix = args[++i];
    else if (args[i].rfind("--prefix=", 0) == 0) praefix = args[i].substr(9);
  }
  return praefix;
}

// The receiver found last is looked at first: while it runs, one read of its
// command line answers the question instead of a walk over every process.
pid_t g_zuletztGefunden = 0;

std::optional<platform::ProcessEntry> laufenderEmpfaenger() {
  const pid_t selbst = ::getpid();
  // Receivers on other channels (another --prefix) are not ours: several
  // boards can run on one PC.
  auto istEmpfaenger = [selbst](const platform::ProcessEntry& e) {
    return e.pid != selbst && clsVRD4Sender::IstEmpfaengerName(e.exeName) &&
           praefixVon(e.pid) == channel::channelNamePrefix();
  };
  if (auto e = platform::processEntry(g_zuletztGefunden); e && istEmpfaenger(*e)) return e;
  auto e = platform::findProcess(istEmpfaenger);
  g_zuletztGefunden = e ? e->pid : 0;
  return e;
}

bool istGestartetMarke(std::u16string_view v) {
  if (v.empty()) return false;
  double n = leadingNumber(v);
  return n == -1 || n == -2;
}

void fensterSchreiben(int64_t aufruf, int64_t event) {
  gv::clsVRD4AufrufFensterhandle().SetMemory(protocol::schreibeGanzzahl(aufruf));
  gv::clsVRD4EventFensterHandle().SetMemory(protocol::schreibeGanzzahl(event));
}

}  // namespace

bool clsVRD4Sender::IstEmpfaengerName(std::string_view exeName) {
  if (exeName.size() == kNameGross.size()) {
    for (std::size_t i = 0; i < exeName.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(exeName[i])) != kNameGross[i]) return false;
    return true;
  }
  return platform::exeNameMatches(std::string(exeName), kExeNameGross);
}

std::string clsVRD4Sender::EmpfaengerLogDatei() {
  return "/tmp/VRD4Empfaenger-" + std::to_string(::geteuid()) + ".log";
}

std::string clsVRD4Sender::EmpfaengerPfad() const {
  if (!d_->empfaengerPfad.empty()) return d_->empfaengerPfad;
  std::string nebenan = platform::programFolder() + "/" + kEmpfaengerDatei;
  if (dateiDa(nebenan)) return nebenan;
  std::string installiert = std::string(VRD4_INSTALL_BINDIR) + "/" + kEmpfaengerDatei;
  if (dateiDa(installiert)) return installiert;
  return nebenan;
}

bool clsVRD4Sender::EmpfaengerLaeuft() {
  if (d_->laeuftPruefung) return d_->laeuftPruefung();
  return laufenderEmpfaenger().has_value();
}

void clsVRD4Sender::VRD4EmpfaengerAktivPruefen() {
  auto alt = laufenderEmpfaenger();
  if (!alt) return;
  d_->meldung(u"VRD4Empfaenger.exe bereits geladen!\r\nVRD4Empfaenger.Exe wird beendet", u"VRD4 Fehler");
  // SIGTERM lets it run its teardown (stop mark, settings file).
  platform::terminateProcess(alt->pid, 2000);
}

int32_t clsVRD4Sender::Initialisieren(int64_t AufrufFensterHwnd, int64_t EventFensterHwnd) {
  const std::string pfad = EmpfaengerPfad();
  if (!dateiDa(pfad)) {
    d_->meldung(u"VRD4Empfaenger.exe fehlt!");
    return 0;
  }
  VRD4EmpfaengerAktivPruefen();
  // Cancelled meanwhile: no new receiver is started for a program that is
  // about to end.
  if (abgebrochen()) return 0;
  fensterSchreiben(AufrufFensterHwnd, EventFensterHwnd);

  // The receiver's engine writes its start mark after it has created its
  // variable set, which empties the ring. Until then a command would be
  // wiped, so wait for the mark (at most the reply time limit).
  gv::clsVRD4EmpfaengerGestartet().SetMemory(u"");
  // The new receiver starts reading at slot 0. Counters left by an earlier
  // pair would make it walk the ring towards them while we fill slot 0
  // onwards, and it would take our commands out of order.
  gv::clsVRD4LetzteGesendete().SetMemory(u"0");
  gv::clsVRD4LetzteGelesene().SetMemory(u"0");
  d_->Schreibzeiger = 0;
  std::vector<std::string> args;
  if (!channel::channelNamePrefix().empty()) args = {"--prefix", channel::channelNamePrefix()};
  auto pid = platform::startDetached(pfad, args, EmpfaengerLogDatei());
  if (!pid) {
    d_->meldung(u"VRD4-Farbe Empfangsprogramm konnte nicht gestartet werden!");
    return 0;
  }
  const double start = d_->jetzt();
  const double grenze = d_->antwortZeitlimit > 0 ? d_->antwortZeitlimit : kStartwarteGrenze;
  while (!istGestartetMarke(gv::clsVRD4EmpfaengerGestartet().GetMemory()) && platform::processAlive(*pid)) {
    if (d_->jetzt() - start > grenze || abgebrochen()) break;
    d_->schleifeEinmal(start);
  }
  // The receiver brings its own window to the front when the window manager
  // maps it; we do not know its window id here.
  return 1;
}

int32_t clsVRD4Sender::Verbinden(int64_t AufrufFensterHwnd, int64_t EventFensterHwnd) {
  if (!EmpfaengerLaeuft()) return Initialisieren(AufrufFensterHwnd, EventFensterHwnd);
  fensterSchreiben(AufrufFensterHwnd, EventFensterHwnd);
  // The running receiver stands at the slot written last; going on from
  // there keeps our commands in order (slot 0 would be taken only after it
  // has walked the rest of the ring, and later slots before it).
  const int32_t letzte = leadingInt(gv::clsVRD4LetzteGesendete().GetMemory());
  if (letzte >= 0 && letzte < gv::kAnzahlSendetexte) d_->Schreibzeiger = (letzte + 1) % gv::kAnzahlSendetexte;
  // A sender that died after writing that slot but before the counter left
  // a command the receiver takes (or has taken) all the same; the counter
  // would then never name the slot the receiver took last, and our wait for
  // it would never end. So when the slot still holds text, or is the one the
  // receiver took last, we begin one further on: the receiver waits there.
  const int32_t s = d_->Schreibzeiger;
  if (!gv::Sendetexte(s).GetMemory().empty() || leadingInt(gv::clsVRD4LetzteGelesene().GetMemory()) == s)
    d_->Schreibzeiger = (s + 1) % gv::kAnzahlSendetexte;
  return 1;
}

}  // namespace vrd4::sender
