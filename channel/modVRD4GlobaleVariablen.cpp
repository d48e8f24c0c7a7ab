#include "channel/modVRD4GlobaleVariablen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "channel/modVRD4Mutex.h"
#include "platform/Ansi.h"
#include "platform/FileLock.h"
#include "platform/Gruppe.h"
#include "platform/MessageBox.h"

namespace vrd4::channel::modVRD4GlobaleVariablen {
namespace {

// The variables after the ring, in the order the set creates them.
enum Weitere {
  kEmpfaengerGestartet,
  kEvent,
  kComport,
  kAktiv,
  kAktivXVers,
  kBlinktextNr,
  kLauftextNr,
  kAniGifNr,
  kLaufvariableNr,
  kKomFehler,
  kSoftwareVersion,
  kWriteSpeicher,
  kReadSpeicher,
  kMemorySpeicher,  // the one ClsVRD4MemorySpeich, kept apart
  kProgrammBeenden,
  kAufrufFensterhandle,
  kLetzteGesendete,
  kLetzteGelesene,
  kEventFensterHandle,
  kAnzahlWeitere
};

constexpr std::array<const char*, kAnzahlWeitere> kWeitereNamen = {
    "clsVRD4EmpfaengerGestartet", "clsVRD4Event",           "clsVRD4Comport",
    "clsVRD4Aktiv",               "clsVRD4AktivXVers",      "clsVRD4BlinktextNr",
    "clsVRD4LauftextNr",          "clsVRD4AniGifNr",        "clsVRD4LaufvariableNr",
    "clsVRD4KomFehler",           "clsVRD4SoftwareVersion", "clsVRD4WriteSpeicher",
    "clsVRD4ReadSpeicher",        kSpeicherName,            "clsVRD4ProgrammBeenden",
    "clsVRD4AufrufFensterhandle", "clsVRD4LetzteGesendete", "clsVRD4LetzteGelesene",
    "clsVRD4EventFensterHandle"};

constexpr const char* kLebensdauerObjekt = "VRD4Sendetexte0";

struct Satz {
  platform::FileLock lebensdauer;
  std::array<std::unique_ptr<ClsVRD4Memory>, kAnzahlSendetexte> sendetexte;
  std::array<std::unique_ptr<ClsVRD4Memory>, kAnzahlWeitere> weitere;  // kMemorySpeicher unused
  std::unique_ptr<ClsVRD4MemorySpeich> speicher;
};

// Deliberately never destroyed at exit: a process that ends without
// SpeichervariablenFreigeben leaves the cleanup to the kernel, like a kill.
Satz* g_satz = nullptr;

using Clock = std::chrono::steady_clock;
// A creator holds the exclusive lifetime lock only while it clears; a tool's
// probe only for one attempt. Longer means something is stuck.
constexpr auto kLebensdauerGeduld = std::chrono::seconds(3);

void pauseShortly() {
  timespec ts{0, 1'000'000};
  ::nanosleep(&ts, nullptr);
}

enum class Halter { Allein, Geteilt, Keiner };

// Exclusive first: whoever gets it is the only holder. Otherwise a shared
// lock, which fails only while someone holds the exclusive one (a creator
// that is clearing, or a probe) - then wait and decide again, since that
// someone may have been the last other holder.
Halter lebensdauerNehmen(platform::FileLock& lock) {
  if (!lock.isOpen()) return Halter::Keiner;
  const auto start = Clock::now();
  do {
    if (lock.tryLockExclusive()) return Halter::Allein;
    if (lock.tryLockShared()) return Halter::Geteilt;
    pauseShortly();
  } while (Clock::now() - start < kLebensdauerGeduld);
  return Halter::Keiner;
}

// Going down from exclusive to shared is not atomic with flock: another
// creator may get the exclusive lock in between, finds itself alone and
// clears once more. That only repeats what we did, and we wait for it.
void aufGeteiltWechseln(platform::FileLock& lock) {
  const auto start = Clock::now();
  while (!lock.tryLockShared()) {
    if (Clock::now() - start >= kLebensdauerGeduld) {
      lock.close();  // not a holder then; better than blocking for ever
      return;
    }
    pauseShortly();
  }
}

template <class T>
std::unique_ptr<T> anlegen(const std::string& name, bool leeren) {
  auto v = std::make_unique<T>();
  v->Initialize(name);
  if (leeren) v->clearToZero();
  return v;
}

ClsVRD4Memory& weitere(Weitere w) {
  if (g_satz && g_satz->weitere[w]) return *g_satz->weitere[w];
  return ClsVRD4Memory::unmapped();
}

std::string slotName(int i) { return "VRD4Sendetexte" + std::to_string(i); }

// Every file of the channel under the current prefix: the objects, then the lock file.
std::vector<std::string> kanalDateien();

// Why a file of the channel is there but not ours to open (an errno value),
// 0 when it opens or is missing (it is created later).
int sperrgrund(const std::string& pfad) {
  const int fd = ::open(pfad.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0) {
    ::close(fd);
    return 0;
  }
  return errno == ENOENT ? 0 : errno;
}
bool gesperrt(const std::string& pfad) { return sperrgrund(pfad) != 0; }

}  // namespace

void SpeichervariablenAnlegen() {
  if (g_satz) return;
  // One message for the whole channel rather than one per object.
  if (const std::string pfad = gesperrtesObjekt(); !pfad.empty()) {
    platform::showMessageBox(gesperrtMeldung(pfad));
    return;
  }
  auto satz = std::make_unique<Satz>();

  int error = 0;
  satz->lebensdauer =
      platform::FileLock(platform::SharedMemory::openDescriptor(
          channelNamePrefix() + kLebensdauerObjekt, &error));
  const Halter halter = lebensdauerNehmen(satz->lebensdauer);
  // Alone means every earlier holder has ended: what the objects still hold
  // is left over and must read as never written.
  const bool leeren = halter == Halter::Allein;

  for (int i = 0; i < kAnzahlSendetexte; ++i) {
    satz->sendetexte[i] = anlegen<ClsVRD4Memory>(slotName(i), leeren);
    satz->sendetexte[i]->SetMemory(u"");
  }
  for (int w = 0; w < kAnzahlWeitere; ++w) {
    if (w == kMemorySpeicher)
      satz->speicher = anlegen<ClsVRD4MemorySpeich>(kWeitereNamen[w], leeren);
    else
      satz->weitere[w] = anlegen<ClsVRD4Memory>(kWeitereNamen[w], leeren);
  }
  g_satz = satz.release();

  clsVRD4Aktiv().SetMemory(u"0");
  clsVRD4AktivXVers().SetMemory(u"1.0.0");
  clsVRD4KomFehler().SetMemory(u"0");
  clsVRD4ProgrammBeenden().SetMemory(u"0");
  clsVRD4AufrufFensterhandle().SetMemory(u"");

  if (halter == Halter::Allein) aufGeteiltWechseln(g_satz->lebensdauer);
}

void SpeichervariablenFreigeben() {
  if (!g_satz) return;
  std::unique_ptr<Satz> satz(g_satz);
  g_satz = nullptr;
  satz->weitere[kEmpfaengerGestartet].reset();
  satz->weitere[kEvent].reset();
  for (auto& s : satz->sendetexte) s.reset();
  for (int w = 0; w < kAnzahlWeitere; ++w) {
    if (w == kMemorySpeicher)
      satz->speicher.reset();
    else
      satz->weitere[w].reset();
  }
  satz->lebensdauer.close();
}

bool angelegt() { return g_satz != nullptr; }

ClsVRD4Memory& Sendetexte(int index) {
  if (g_satz && index >= 0 && index < kAnzahlSendetexte && g_satz->sendetexte[index])
    return *g_satz->sendetexte[index];
  return ClsVRD4Memory::unmapped();
}

ClsVRD4Memory& clsVRD4EmpfaengerGestartet() { return weitere(kEmpfaengerGestartet); }
ClsVRD4Memory& clsVRD4Event() { return weitere(kEvent); }
ClsVRD4Memory& clsVRD4Comport() { return weitere(kComport); }
ClsVRD4Memory& clsVRD4Aktiv() { return weitere(kAktiv); }
ClsVRD4Memory& clsVRD4AktivXVers() { return weitere(kAktivXVers); }
ClsVRD4Memory& clsVRD4BlinktextNr() { return weitere(kBlinktextNr); }
ClsVRD4Memory& clsVRD4LauftextNr() { return weitere(kLauftextNr); }
ClsVRD4Memory& clsVRD4AniGifNr() { return weitere(kAniGifNr); }
ClsVRD4Memory& clsVRD4LaufvariableNr() { return weitere(kLaufvariableNr); }
ClsVRD4Memory& clsVRD4KomFehler() { return weitere(kKomFehler); }
ClsVRD4Memory& clsVRD4SoftwareVersion() { return weitere(kSoftwareVersion); }
ClsVRD4Memory& clsVRD4WriteSpeicher() { return weitere(kWriteSpeicher); }
ClsVRD4Memory& clsVRD4ReadSpeicher() { return weitere(kReadSpeicher); }
ClsVRD4MemorySpeich& clsVRD4MemorySpeicher() {
  if (g_satz && g_satz->speicher) return *g_satz->speicher;
  return ClsVRD4MemorySpeich::unmapped();
}
ClsVRD4Memory& clsVRD4ProgrammBeenden() { return weitere(kProgrammBeenden); }
ClsVRD4Memory& clsVRD4AufrufFensterhandle() { return weitere(kAufrufFensterhandle); }
ClsVRD4Memory& clsVRD4LetzteGesendete() { return weitere(kLetzteGesendete); }
ClsVRD4Memory& clsVRD4LetzteGelesene() { return weitere(kLetzteGelesene); }
ClsVRD4Memory& clsVRD4EventFensterHandle() { return weitere(kEventFensterHandle); }

ClsVRD4Memory& variable(std::string_view name) {
  for (std::size_t w = 0; w < kWeitereNamen.size(); ++w)
    if (name == kWeitereNamen[w]) return weitere(static_cast<Weitere>(w));
  return ClsVRD4Memory::unmapped();
}

const std::vector<std::string>& variableNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (int i = 0; i < kAnzahlSendetexte; ++i) n.push_back(slotName(i));
    for (const char* w : kWeitereNamen) n.emplace_back(w);
    return n;
  }();
  return names;
}

std::optional<bool> setIsHeld() {
  int error = 0;
  platform::FileLock probe(platform::SharedMemory::openDescriptor(
      channelNamePrefix() + kLebensdauerObjekt, &error, /*create=*/false));
  if (!probe.isOpen()) return error == ENOENT ? std::optional<bool>(false) : std::nullopt;
  if (probe.tryLockExclusive()) {
    probe.unlock();
    return false;
  }
  if (probe.error() == EWOULDBLOCK) return true;
  return std::nullopt;
}

namespace {
std::vector<std::string> kanalDateien() {
  std::vector<std::string> pfade;
  for (const std::string& name : variableNames()) pfade.push_back("/dev/shm/" + channelNamePrefix() + name);
  pfade.push_back(modVRD4Mutex::lockFilePath());
  return pfade;
}
}  // namespace

std::string gesperrtesObjekt() {
  for (const std::string& pfad : kanalDateien())
    if (gesperrt(pfad)) return pfad;
  return {};
}

bool gesperrteObjekteErsetzen() {
  bool alle = true;
  for (const std::string& pfad : kanalDateien())
    if (gesperrt(pfad) && ::unlink(pfad.c_str()) != 0) alle = false;
  return alle;
}

std::u16string gesperrtMeldung(const std::string& pfad) {
  const std::string p = "/dev/shm/" + channelNamePrefix();
  const int grund = sperrgrund(pfad);
  const std::u16string kopf =
      platform::fromUtf8(pfad + " lässt sich nicht öffnen: " + std::strerror(grund == 0 ? EACCES : grund));
  // A file shared with the group: what is missing is the membership.
  struct stat st {};
  const auto gruppe = platform::tafelGruppe();
  if (grund == EACCES && ::geteuid() != 0 && gruppe && ::stat(pfad.c_str(), &st) == 0 && st.st_gid == *gruppe &&
      (st.st_mode & 0060) == 0060 && !platform::inTafelGruppe())
    return kopf + u"\r\nDer Kanal gehört der Gruppe vrd4: " + platform::fromUtf8(platform::gruppenAbhilfe());
  return kopf + u"\r\nDer Kanal gehört einem anderen Benutzer. Abhilfe: dessen Tafel beenden und als root" +
         platform::fromUtf8(" 'rm " + p + "VRD4* " + p + "clsVRD4*'") +
         u" ausführen (oder den Rechner neu starten). Danach teilen sich alle Mitglieder der Gruppe vrd4 "
         u"den Kanal.";
}

void removeChannelObjects() {
  for (const std::string& name : variableNames())
    platform::SharedMemory::remove(channelNamePrefix() + name);
  ::unlink(modVRD4Mutex::lockFilePath().c_str());
}

}  // namespace vrd4::channel::modVRD4GlobaleVariablen
