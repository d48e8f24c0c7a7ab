// Commands, the ring write, reply waits and events of clsVRD4Sender.
#include "vrd4/clsVRD4Sender.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/X11Window.h"
#include "protocol/Befehl.h"
#include "sender/SenderImpl.h"
#include "support/Numbers.h"

namespace vrd4::sender {
namespace gv = channel::modVRD4GlobaleVariablen;
namespace {

// A ring slot holds this many UTF-16 code units; a longer command is refused.
constexpr std::size_t kMaxBefehlLaenge = protocol::kMaxBefehlstextZeichen;
// After this many seconds a wait looks less often (see schleifeEinmal).
constexpr double kLangeWarteSekunden = 0.1;

// How many sender objects of this process hold the channel's variables.
int g_senderAnzahl = 0;

// Fields of one command, checked against the command table as they are written.
class Bauer : public protocol::Befehlsbauer {
 public:
  using Befehlsbauer::Befehlsbauer;
  Bauer& z(int64_t v) { return static_cast<Bauer&>(ganz(v)); }
  Bauer& b(bool v) { return static_cast<Bauer&>(janein(v)); }
  Bauer& d(double v) { return static_cast<Bauer&>(zahl(v)); }
  Bauer& t(std::u16string_view v) { return static_cast<Bauer&>(Befehlsbauer::text(v)); }
  std::u16string text() const { return Befehlsbauer::text(); }
};

bool istKomFehler() { return leadingNumber(gv::clsVRD4KomFehler().GetMemory()) == -1; }

// A value read from the channel as a window handle; 0 when it names none.
platform::x11::WindowId alsFenster(std::u16string_view text) {
  double v = leadingNumber(text);
  if (!(v >= 1) || v > 4294967295.0) return 0;
  return static_cast<platform::x11::WindowId>(v);
}

// The receiver's reply as a slot number; a value a byte cannot hold is no
// slot (0).
uint8_t alsSlot(std::u16string_view text) {
  double v = roundHalfEven(leadingNumber(text));
  if (!(v >= 0 && v <= 255)) return 0;
  return static_cast<uint8_t>(v);
}

std::vector<std::u16string> beiSemikolon(std::u16string_view s) {
  std::vector<std::u16string> teile;
  std::size_t anfang = 0;
  for (;;) {
    auto pos = s.find(u';', anfang);
    if (pos == std::u16string_view::npos) {
      teile.emplace_back(s.substr(anfang));
      return teile;
    }
    teile.emplace_back(s.substr(anfang, pos - anfang));
    anfang = pos + 1;
  }
}

std::string utf8(std::u16string_view s) { return platform::toUtf8(s); }

// The receiver opens a picture against its own folder; a relative path means
// the file in our working directory, so it leaves here as an absolute one.
std::u16string absolut(std::u16string_view pfad) {
  if (pfad.empty() || pfad.front() == u'/') return std::u16string(pfad);
  std::error_code fehler;
  const std::filesystem::path hier = std::filesystem::current_path(fehler);
  if (fehler) return std::u16string(pfad);
  std::u16string ergebnis = platform::fromUtf8(hier.string());
  if (!ergebnis.ends_with(u'/')) ergebnis += u'/';
  return ergebnis + std::u16string(pfad);
}

// A "\.BMP" path is a picture field left without a file name; it is dropped.
bool istNamenloseBmp(std::u16string_view pfad) {
  return pfad.ends_with(u"\\.BMP") || pfad.ends_with(u"/.BMP");
}

}  // namespace

double clsVRD4Sender::Impl::jetzt() const { return uhr ? uhr() : platform::steadyClock().seconds(); }

void clsVRD4Sender::Impl::meldung(const std::u16string& text, const std::u16string& titel) const {
  if (messageBox)
    messageBox(text, titel);
  else
    platform::showMessageBox(text, titel);
}

void clsVRD4Sender::Impl::schleifeEinmal(double start) const {
  if (nachrichtenschleife) {
    nachrichtenschleife();
    return;
  }
  // A reply comes within a tick or two; a wait that lasts longer (a pause, a
  // full ring, a receiver that does not answer) need not look every
  // millisecond.
  const bool lang = jetzt() - start > kLangeWarteSekunden;
  std::this_thread::sleep_for(std::chrono::milliseconds(lang ? 10 : 1));
}

bool clsVRD4Sender::Impl::lebt() {
  if (stillstandGrenze <= 0) return true;
  const double t = jetzt();
  if (leben.geschaut >= 0 && t - leben.geschaut < kLebenszeichenBlick) return true;
  leben.geschaut = t;
  std::u16string wert = gv::clsVRD4LaufvariableNr().GetMemory();
  // A receiver that gives no sign of life at all is not judged by it.
  if (wert.empty()) return true;
  if (leben.seit < 0 || wert != leben.wert) {
    leben.wert = std::move(wert);
    leben.seit = t;
    return true;
  }
  return t - leben.seit <= stillstandGrenze;
}

clsVRD4Sender::clsVRD4Sender() : d_(std::make_unique<Impl>()) {
  // Creating the set empties the ring and writes the start values; a second
  // object of the same process shares the set that is already there.
  gv::SpeichervariablenAnlegen();
  ++g_senderAnzahl;
  d_->Schreibzeiger = 0;
}

clsVRD4Sender::~clsVRD4Sender() {
  try {
    if (!d_->weiterlaufen) gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    if (--g_senderAnzahl == 0) gv::SpeichervariablenFreigeben();
  } catch (...) {
    // Nothing can be reported from here; the receiver then keeps running.
  }
}

// --- Settings ---------------------------------------------------------------

void clsVRD4Sender::setMessageBox(MessageBoxFn fn) { d_->messageBox = std::move(fn); }
void clsVRD4Sender::setNachrichtenschleife(std::function<void()> fn) { d_->nachrichtenschleife = std::move(fn); }
void clsVRD4Sender::setEreignis(EreignisFn fn) { d_->ereignis = std::move(fn); }
void clsVRD4Sender::setAntwortZeitlimit(double sekunden) { d_->antwortZeitlimit = sekunden; }
double clsVRD4Sender::antwortZeitlimit() const { return d_->antwortZeitlimit; }
void clsVRD4Sender::setStillstandGrenze(double sekunden) { d_->stillstandGrenze = sekunden > 0 ? sekunden : 0; }
double clsVRD4Sender::stillstandGrenze() const { return d_->stillstandGrenze; }
void clsVRD4Sender::Abbrechen() noexcept { d_->abbruch.store(true, std::memory_order_relaxed); }
void clsVRD4Sender::AbbruchAufheben() noexcept { d_->abbruch.store(false, std::memory_order_relaxed); }
bool clsVRD4Sender::abgebrochen() const noexcept { return d_->abbruch.load(std::memory_order_relaxed); }
void clsVRD4Sender::setEmpfaengerPfad(std::string pfad) { d_->empfaengerPfad = std::move(pfad); }
void clsVRD4Sender::setEmpfaengerWeiterlaufen(bool w) { d_->weiterlaufen = w; }
void clsVRD4Sender::setLaeuftPruefung(std::function<bool()> fn) { d_->laeuftPruefung = std::move(fn); }
void clsVRD4Sender::setUhr(std::function<double()> fn) { d_->uhr = std::move(fn); }
void clsVRD4Sender::setKanalPrefix(const std::string& prefix) { channel::setChannelNamePrefix(prefix); }

// --- Ring, events, waits ----------------------------------------------------

bool clsVRD4Sender::BefehlSenden(std::u16string_view text) {
  if (!EmpfaengerLaeuft()) {
    Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung nicht geladen!");
    return false;
  }
  if (istKomFehler()) return false;
  if (text.size() > kMaxBefehlLaenge) {
    Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Puffer zu klein!");
    return false;
  }
  if (!slotFreiAbwarten()) return false;
  // The slot text must be in place before the counter names it.
  gv::Sendetexte(d_->Schreibzeiger).SetMemory(text);
  gv::clsVRD4LetzteGesendete().SetMemory(protocol::schreibeGanzzahl(d_->Schreibzeiger));
  d_->Schreibzeiger = d_->Schreibzeiger >= gv::kAnzahlSendetexte - 1 ? 0 : d_->Schreibzeiger + 1;
  return true;
}

// A command still in our next slot has not been taken yet; overwriting it
// would lose it. Neither do we fill the slot the receiver took last while
// the ring holds everything we wrote since: a receiver that stays on the
// slot it took last (earlier versions) would take the new command before
// the older ones. The present receiver keeps the order without that.
bool clsVRD4Sender::slotFreiAbwarten() {
  const int32_t s = d_->Schreibzeiger;
  auto frei = [s] {
    if (!gv::Sendetexte(s).GetMemory().empty()) return false;
    if (leadingNumber(gv::clsVRD4LetzteGelesene().GetMemory()) != s) return true;
    return leadingNumber(gv::clsVRD4LetzteGesendete().GetMemory()) == s;
  };
  const double start = d_->jetzt();
  d_->leben = {};
  while (!frei()) {
    if (!EmpfaengerLaeuft()) {
      Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung nicht geladen!");
      return false;
    }
    if (istKomFehler()) return false;
    if (d_->antwortZeitlimit > 0 && d_->jetzt() - start > d_->antwortZeitlimit) {
      Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung: keine Antwort!");
      return false;
    }
    if (!weiterWarten(start)) return false;
  }
  return true;
}

bool clsVRD4Sender::weiterWarten(double start) {
  if (abgebrochen()) {
    Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Warten abgebrochen!");
    return false;
  }
  if (!d_->lebt()) {
    Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Empfänger reagiert nicht!");
    return false;
  }
  d_->schleifeEinmal(start);
  // Cancelled during the message loop: ends now, not after the next reads
  // (each of which may wait 0.2 s for the lock of a stopped receiver).
  if (abgebrochen()) {
    Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Warten abgebrochen!");
    return false;
  }
  return true;
}

void clsVRD4Sender::WartenbisPufferleer(double Wartezeit) {
  const double gesendet = leadingNumber(gv::clsVRD4LetzteGesendete().GetMemory());
  double gelesen = leadingNumber(gv::clsVRD4LetzteGelesene().GetMemory());
  const double start = d_->jetzt();
  while (gelesen != gesendet && d_->jetzt() - start <= Wartezeit && !abgebrochen()) {
    // No sleep: the receiver takes a command within a tick, and the caller
    // wants to go on at once. Yielding keeps a busy machine usable.
    std::this_thread::yield();
    gelesen = leadingNumber(gv::clsVRD4LetzteGelesene().GetMemory());
  }
}

void clsVRD4Sender::Event_Ausloesen(std::u16string_view Art, std::u16string_view Meldung) {
  std::u16string s(Art);
  s += u';';
  s += Meldung;
  platform::x11::WindowId fenster = 0;
  std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  if (!handle.empty()) fenster = alsFenster(handle);
  gv::clsVRD4Event().SetMemory(s);
  // The handle is read again: the receiver may have cleared it meanwhile.
  if (!gv::clsVRD4EventFensterHandle().GetMemory().empty() && fenster != 0)
    platform::x11::setWindowText(fenster, s);
  if (d_->ereignis) d_->ereignis(std::u16string(Art), std::u16string(Meldung));
}

std::u16string clsVRD4Sender::EreignisAbholen() {
  std::u16string s = gv::clsVRD4Event().GetMemory();
  if (!s.empty()) gv::clsVRD4Event().SetMemory(u"");
  return s;
}

// Sends a command that creates a slot and waits for the slot's number.
uint8_t clsVRD4Sender::mitAntwort(std::u16string_view text) {
  clsVRD4Sender& s = *this;
  const Impl& d = *d_;
  // The reply variable is the one the table names for the command in field 1.
  const std::u16string_view nachBefehl = text.substr(protocol::kBefehl.size() + 1);
  channel::ClsVRD4Memory& r =
      gv::variable(protocol::findeBefehl(nachBefehl.substr(0, nachBefehl.find(protocol::ESC)))->antwort);
  uint8_t ergebnis = 0;
  r.SetMemory(u"");
  gv::clsVRD4Event().SetMemory(u"");
  // A command that was not sent gets no answer; waiting for one would only
  // end in the time limit.
  if (!s.BefehlSenden(text)) return 0;
  // The number counts only once the receiver has taken this very command:
  // it empties the reply variable when it takes a reply command, so what it
  // holds from then on is this command's number, never the late one of an
  // earlier command that gave up waiting.
  const int32_t eigenerSlot = (d.Schreibzeiger + gv::kAnzahlSendetexte - 1) % gv::kAnzahlSendetexte;
  bool genommen = false;
  std::u16string antwort;
  const double start = d.jetzt();
  d_->leben = {};
  while (antwort.empty() && s.EmpfaengerLaeuft() && !istKomFehler()) {
    if (d.antwortZeitlimit > 0 && d.jetzt() - start > d.antwortZeitlimit) {
      s.Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung: keine Antwort!");
      return 0;
    }
    if (!genommen) genommen = gv::Sendetexte(eigenerSlot).GetMemory().empty();
    if (genommen) antwort = r.GetMemory();
    if (!s.EmpfaengerLaeuft()) {
      s.Event_Ausloesen(u"BefehlFehler", u"VRD4Empfaenger_Steuerung nicht geladen!");
      break;
    }
    auto teile = beiSemikolon(gv::clsVRD4Event().GetMemory());
    if (teile.size() >= 2) {
      s.Event_Ausloesen(teile[0], teile[1]);
      gv::clsVRD4Event().SetMemory(u"");
    }
    ergebnis = alsSlot(antwort);
    if (!antwort.empty()) {
      d.schleifeEinmal(start);
      break;
    }
    // The message loop, unless the wait is to end (cancelled, no sign of life).
    if (!s.weiterWarten(start)) return 0;
  }
  return ergebnis;
}

// --- Commands -----------------------------------------------------------------

void clsVRD4Sender::Cls() { BefehlSenden(Bauer(u"Cls").text()); }

void clsVRD4Sender::Hintergrundfarbe(int32_t farbe) { BefehlSenden(Bauer(u"Hintergrundfarbe").z(farbe).text()); }

void clsVRD4Sender::Vordergrundfarbe(int32_t farbe) { BefehlSenden(Bauer(u"Vordergrundfarbe").z(farbe).text()); }

void clsVRD4Sender::Tafelgroesse(int16_t Breite, int16_t Hoehe) {
  BefehlSenden(Bauer(u"Tafelgroesse").z(Breite).z(Hoehe).text());
}

void clsVRD4Sender::TextAusgabe(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                std::u16string_view Ausgabetext, int32_t Ausrichtung,
                                std::u16string_view Schriftart, int16_t SchriftgroesseinPixel, bool Fett,
                                bool Kursiv, bool Unterstrichen, bool Durchgestrichen, bool Transparent,
                                int32_t FeldVordergrundfarbe, int32_t FeldHintergrundfarbe,
                                bool LauftextbeiBedarf, double Geschwindigkeit, double Startverzoegerung) {
  BefehlSenden(Bauer(u"Textausgabe")
                   .z(Xstart).z(Ystart).z(Xende).z(YEnde)
                   .t(Ausgabetext).z(Ausrichtung).t(Schriftart).z(SchriftgroesseinPixel)
                   .b(Fett).b(Kursiv).b(Unterstrichen).b(Durchgestrichen).b(Transparent)
                   .z(FeldVordergrundfarbe).z(FeldHintergrundfarbe)
                   .b(LauftextbeiBedarf).d(Geschwindigkeit).d(Startverzoegerung)
                   .text());
}

void clsVRD4Sender::Linie(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde, int16_t Linienbreite,
                          int32_t Farbe) {
  BefehlSenden(Bauer(u"Linie").z(Xstart).z(Ystart).z(Xende).z(YEnde).z(Linienbreite).z(Farbe).text());
}

void clsVRD4Sender::Rechteck(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                             int16_t Linienbreite, int32_t Farbe, bool Fuellen) {
  BefehlSenden(
      Bauer(u"Rechteck").z(Xstart).z(Ystart).z(Xende).z(YEnde).z(Linienbreite).z(Farbe).b(Fuellen).text());
}

uint8_t clsVRD4Sender::BlinkText(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                 std::u16string_view Ausgabetext, int32_t Ausrichtung,
                                 std::u16string_view Schriftart, int16_t SchriftgroesseinPixel, bool Fett,
                                 bool Kursiv, bool Unterstrichen, bool Durchgestrichen, bool Transparent,
                                 int32_t FeldVordergrundfarbe, int32_t FeldHintergrundfarbe,
                                 double Intervall) {
  return mitAntwort(Bauer(u"Blinktext")
                        .z(Xstart).z(Ystart).z(Xende).z(YEnde)
                        .t(Ausgabetext).z(Ausrichtung).t(Schriftart).z(SchriftgroesseinPixel)
                        .b(Fett).b(Kursiv).b(Unterstrichen).b(Durchgestrichen).b(Transparent)
                        .z(FeldVordergrundfarbe).z(FeldHintergrundfarbe).d(Intervall)
                        .text());
}

void clsVRD4Sender::BlinkTextLoeschen(uint8_t BlinkNr) { BefehlSenden(Bauer(u"BlinktextLoeschen").z(BlinkNr).text()); }

uint8_t clsVRD4Sender::Lauftext(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                std::u16string_view Ausgabetext, std::u16string_view Schriftart,
                                int16_t SchriftgroesseinPixel, bool Fett, bool Kursiv, bool Unterstrichen,
                                bool Durchgestrichen, bool Transparent, int32_t FeldVordergrundfarbe,
                                int32_t FeldHintergrundfarbe, double Geschwindigkeit,
                                double Startverzoegerung) {
  return mitAntwort(Bauer(u"Lauftext")
                        .z(Xstart).z(Ystart).z(Xende).z(YEnde)
                        .t(Ausgabetext).t(Schriftart).z(SchriftgroesseinPixel)
                        .b(Fett).b(Kursiv).b(Unterstrichen).b(Durchgestrichen).b(Transparent)
                        .z(FeldVordergrundfarbe).z(FeldHintergrundfarbe)
                        .d(Geschwindigkeit).d(Startverzoegerung)
                        .text());
}

void clsVRD4Sender::LauftextLoeschen(uint8_t LauftextNr) {
  BefehlSenden(Bauer(u"LauftextLoeschen").z(LauftextNr).text());
}

void clsVRD4Sender::IPAdresse(std::u16string_view Adresse) { BefehlSenden(Bauer(u"IPAdresse").t(Adresse).text()); }

void clsVRD4Sender::Port(std::u16string_view Port) { BefehlSenden(Bauer(u"Port").t(Port).text()); }

void clsVRD4Sender::PauseAnzeigeZiel(std::u16string_view strHundertstelSek) {
  BefehlSenden(Bauer(u"PauseAnzeigeZiel").t(strHundertstelSek).text());
}

void clsVRD4Sender::ServerStarten() { BefehlSenden(Bauer(u"Server starten").text()); }

void clsVRD4Sender::ClientVerbinden() { BefehlSenden(Bauer(u"Client verbinden").text()); }

bool clsVRD4Sender::fileExists(std::string_view sFile) const { return platform::fileExists(std::string(sFile)); }

void clsVRD4Sender::BildAnzeigen(std::u16string_view relativerPfad, bool GroesseAnpassen,
                                 bool BeiKleinerZentrieren) {
  try {
    const std::u16string pfad = absolut(relativerPfad);
    if (!fileExists(utf8(pfad))) {
      Event_Ausloesen(u"BefehlFehler", u"Bild: " + std::u16string(pfad) + u" konnte nicht geladen werden!");
      return;
    }
    BefehlSenden(Bauer(u"BildAnzeigen").t(pfad).b(GroesseAnpassen).b(BeiKleinerZentrieren).text());
  } catch (...) {
  }
}

void clsVRD4Sender::BildAnzeigenanPosition(std::u16string_view relativerPfad, int16_t Xstart, int16_t Ystart,
                                           int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                                           bool BeiKleinerZentrieren) {
  try {
    const std::u16string pfad = absolut(relativerPfad);
    if (!fileExists(utf8(pfad))) {
      if (!istNamenloseBmp(pfad))
        Event_Ausloesen(u"BefehlFehler", u"Bild: " + std::u16string(pfad) + u" konnte nicht geladen werden!");
      return;
    }
    BefehlSenden(Bauer(u"BildAnzeigenanPosition")
                     .t(pfad).z(Xstart).z(Ystart).z(Xende).z(YEnde)
                     .b(GroesseAnpassen).b(BeiKleinerZentrieren)
                     .text());
  } catch (...) {
  }
}

uint8_t clsVRD4Sender::AniGifLadenanPosition(std::u16string_view relativerPfad, int16_t Xstart, int16_t Ystart,
                                             int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                                             bool BeiKleinerZentrieren) {
  try {
    const std::u16string pfad = absolut(relativerPfad);
    if (!fileExists(utf8(pfad))) {
      Event_Ausloesen(u"BefehlFehler", u"Bild: " + std::u16string(pfad) + u" konnte nicht geladen werden!");
      return 0;
    }
    return mitAntwort(Bauer(u"AniGifLadenanPosition")
                          .t(pfad).z(Xstart).z(Ystart).z(Xende).z(YEnde)
                          .b(GroesseAnpassen).b(BeiKleinerZentrieren)
                          .text());
  } catch (...) {
    return 0;
  }
}

void clsVRD4Sender::AniGifStarten(uint8_t AniGifNr, double AnzeigeDauer) {
  BefehlSenden(Bauer(u"AniGifStarten").z(AniGifNr).d(AnzeigeDauer).text());
}

void clsVRD4Sender::AniGifStoppen(uint8_t AniGifNr) { BefehlSenden(Bauer(u"AniGifStoppen").z(AniGifNr).text()); }

void clsVRD4Sender::AniGifLoeschen(uint8_t AniGifNr) { BefehlSenden(Bauer(u"AniGifLoeschen").z(AniGifNr).text()); }

}  // namespace vrd4::sender
