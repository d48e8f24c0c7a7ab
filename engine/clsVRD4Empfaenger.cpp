#include "engine/clsVRD4Empfaenger.h"

#include <QThreadPool>
#include <cmath>
#include <string_view>
#include <utility>
#include <optional>
#include <vector>

#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/EmpfaengerImpl.h"
#include "platform/Speicher.h"
#include "protocol/Befehl.h"
#include "render/Board.h"
#include "support/Numbers.h"

namespace vrd4::engine {

namespace gv = channel::modVRD4GlobaleVariablen;

namespace {

const QString kBefehlFehler = QStringLiteral("BefehlFehler");

std::u16string zahlText(int64_t v) { return protocol::schreibeGanzzahl(v); }

}  // namespace

clsVRD4Empfaenger::clsVRD4Empfaenger(platform::Surface& picVRD4Empfang, Statusausgabe& status,
                                     Ereignisziel& events, platform::Clock& clock,
                                     Weitergabe* client2) {
  gv::SpeichervariablenAnlegen();
  gv::clsVRD4EmpfaengerGestartet().SetMemory(u"-1");
  d = std::make_unique<Impl>(picVRD4Empfang, status, events, clock, client2);
  // Every slot starts free.
  d->renderAnlegen(*this);
}

clsVRD4Empfaenger::~clsVRD4Empfaenger() {
  // An ending engine reports nothing; the sender only looks at the marks.
  try {
    if (leadingInt(gv::clsVRD4Comport().GetMemory()) > 0) VRD4Close();
    gv::clsVRD4EmpfaengerGestartet().SetMemory(u"0");
    gv::SpeichervariablenFreigeben();
  } catch (...) {
  }
  d->renderAbbauen();
}

// --- polling step and dispatcher ------------------------------------------

void clsVRD4Empfaenger::AnzeigeTakten() {
  d->lauf->LauftexteTakten();
  d->blink->BlinktexteTakten();
  d->ani->AnimationenTakten();
}

bool clsVRD4Empfaenger::befehlLaeuft() const { return d->befehlTiefe.aktiv(); }

bool clsVRD4Empfaenger::darfRuhen() const {
  static_assert(render::Lauftexte::kAnzahl == render::Blinktexte::kAnzahl);
  if (befehlLaeuft() || d->wartend || d->pauseBisZeit > std::llround(d->clock.seconds() * 100.0) ||
      d->ani->brauchtTakt())
    return false;
  for (int n = 1; n <= render::Lauftexte::kAnzahl; ++n) {
    if (d->lauf->belegt(n) || d->blink->belegt(n)) return false;
  }
  return true;
}

std::function<bool()> clsVRD4Empfaenger::ruheBlick() const {
  std::optional<channel::RingLeser::Stand> stand = d->ring.wartestand();
  if (!stand || !darfRuhen()) return {};
  return [s = std::move(*stand)] { return channel::RingLeser::unveraendert(s); };
}

void clsVRD4Empfaenger::Zeitschleife() {
  // A sign of life for senders that wait for this receiver: the polling
  // step runs (a stopped or hung receiver writes none).
  if (const double t = d->clock.seconds(); t >= d->lebenszeichenUm) {
    d->lebenszeichenUm = t + kLebenszeichenSekunden;
    gv::clsVRD4LaufvariableNr().SetMemory(zahlText(++d->lebenszeichen));
  }
  AnzeigeTakten();
  // Entered from inside a command (an event handler that runs the event
  // loop): the display goes on, the ring waits until that command has
  // finished.
  if (befehlLaeuft()) return;
  // A picture command made ready beside this thread runs first, once it is
  // ready; until then the ring waits behind it.
  if (d->wartend) {
    if (!d->wartend->fertig.load(std::memory_order_acquire)) return;
    // Its memory (the file's bytes, the picture) goes back beside this
    // thread once it has run, however it ends.
    struct Abgeben {
      std::shared_ptr<Bildbefehl> b;
      ~Abgeben() {
        QThreadPool::globalInstance()->start([b = std::move(b)]() mutable {
          b.reset();
          platform::speicherZurueckgeben();
        });
      }
    } abgeben{std::move(d->wartend)};
    const LaufenderBefehl laeuft(d->befehlTiefe);
    bildbefehlVollenden(*abgeben.b);
  }

  // A new board of a few hundred commands must not build up line by line:
  // while the ring holds the next command, take it in the same step, as long
  // as the step's budget lasts (the blinking and scrolling steps and the
  // repaint keep their rhythm). A lap of the ring at most, commands and
  // empty slots walked over together; one command at least.
  const double start = d->clock.seconds();
  for (int n = 0; n < gv::kAnzahlSendetexte; ++n) {
    const int64_t jetzt = std::llround(d->clock.seconds() * 100.0);
    if (d->pauseBisZeit > jetzt) return;
    // Only a command is taken in the same step as another one; a foreign
    // text waits for a step of its own, where it is shown.
    channel::RingLeser::Fund fund = d->ring.naechster(n > 0);
    if (fund.art == channel::RingLeser::Art::Warten) return;
    if (fund.art == channel::RingLeser::Art::Leer) continue;
    // Shows the text; runs a command and empties its slot. A command that
    // fails passes out of the step; the index is already past its slot.
    d->lesezeiger = fund.slot;
    befehlNehmen(fund.text, true);
    if (fund.art == channel::RingLeser::Art::Fremdtext || d->wartend) return;
    if (d->clock.seconds() - start >= BefehlsBudgetSekunden) return;
  }
}

const QString& clsVRD4Empfaenger::befehlsname() const { return d->befehlsname; }

int32_t clsVRD4Empfaenger::Lesezeiger() const { return d->ring.Lesezeiger(); }

std::optional<QSize> clsVRD4Empfaenger::tafelSkala() const {
  try {
    return QSize(to16(roundToInt32(d->pic.scaleWidth())), to16(roundToInt32(d->pic.scaleHeight())));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void clsVRD4Empfaenger::BefehlAusfuehren(const std::u16string& befehl) { befehlNehmen(befehl, false); }

void clsVRD4Empfaenger::befehlNehmen(const std::u16string& befehl, bool nebenbei) {
  const LaufenderBefehl laeuft(d->befehlTiefe);
  d->befehl = befehl;
  if (befehl.empty()) return;

  const QString anzeige = QString::fromStdU16String(befehl);
  const QString nr = QString::number(d->lesezeiger);
  d->status.letzterBefehl(anzeige + QStringLiteral(" * ") + nr);
  d->status.statusEintrag(anzeige + QStringLiteral(" - ") + nr);
  // Not a command: shown on every step while we stand on it, never run,
  // and the slot keeps its text.
  if (!protocol::istBefehl(befehl)) return;

  std::vector<std::u16string> felder = protocol::zerlegen(befehl);
  const std::u16string name = felder.size() > 1 ? felder[1] : std::u16string();
  d->befehlsname = QString::fromStdU16String(name);
  const protocol::BefehlsSpec* spec = protocol::findeBefehl(name);

  // A command that answers with a slot number empties its reply variable
  // before it counts as taken: a sender that waits for this command's
  // number then never reads the late number of an earlier one.
  if (spec && spec->antwortetMitNummer()) gv::variable(spec->antwort).SetMemory(u"");
  gv::Sendetexte(d->lesezeiger).SetMemory(u"");
  gv::clsVRD4LetzteGelesene().SetMemory(zahlText(d->lesezeiger));

  if (spec && spec->istBildbefehl()) {
    bildbefehlNehmen(std::move(felder), *spec, nebenbei);
    return;
  }
  // And it answers, whatever ends it ("0" when nothing else did).
  antwortBeginnen(spec);
  const AntwortNachholen nachholen{*this};
  // Passed on before it runs here, without waiting: the peer's "OK"s are
  // the forwarding client's business.
  if (d->client2.offen()) d->client2.senden(befehl);

  if (!spec) {
    VRD4Event(kBefehlFehler, QStringLiteral("Falsche Abfragetext: ") + d->befehlsname +
                                 QStringLiteral("\r\noder VRD4-Modul noch nicht geöffnet!"));
    return;
  }
  antwortendLaufen(*spec, felder, {});
}

void clsVRD4Empfaenger::antwortendLaufen(const protocol::BefehlsSpec& spec, std::span<const std::u16string> felder,
                                         std::span<const uint8_t> bild,
                                         const std::shared_ptr<const std::vector<uint8_t>>& geteilt) {
  try {
    laufenLassen(protocol::konvertieren(spec, felder), bild, geteilt);
  } catch (const std::exception& e) {
    fehlerVorDerAntwort(e.what());
    throw;
  } catch (...) {
    fehlerVorDerAntwort("unbekannter Fehler");
    throw;
  }
}

// --- replies ------------------------------------------------------------------

void clsVRD4Empfaenger::antwortBeginnen(const protocol::BefehlsSpec* spec) {
  d->antwortNr.reset();
  d->fehlerGemeldet = false;
  d->offeneAntwort = spec && spec->antwortetMitNummer() ? spec : nullptr;
}

void clsVRD4Empfaenger::antwortNachholen() noexcept {
  const protocol::BefehlsSpec* spec = std::exchange(d->offeneAntwort, nullptr);
  if (!spec || d->antwortNr) return;
  try {
    // Without a reply event: the event that said why (raised before) stays
    // the last one, which a sender reads along with the "0".
    gv::variable(spec->antwort).SetMemory(u"0");
    d->antwortNr = 0;
  } catch (...) {
    // A sender that waits runs into its own limits then.
  }
}

void clsVRD4Empfaenger::fehlerVorDerAntwort(const char* beschreibung) {
  // The error goes out before the "0" that ends a sender's wait, so that the
  // sender still sees it; the caller is not to report it again.
  if (!d->offeneAntwort || d->antwortNr) return;
  befehlsfehlerMelden(beschreibung);
  d->fehlerGemeldet = true;
}

void clsVRD4Empfaenger::befehlsfehlerMelden(const char* beschreibung) {
  if (std::exchange(d->fehlerGemeldet, false)) return;
  VRD4Event(kBefehlFehler,
            QStringLiteral("Fehler in ") + d->befehlsname + QStringLiteral(": ") + QString::fromUtf8(beschreibung));
}

void clsVRD4Empfaenger::VRD4Event(const QString& art, const QString& meldung) {
  d->events.VRD4Event(art, meldung);
}

// --- render host ------------------------------------------------------------

void clsVRD4Empfaenger::statusEintrag(const QString& entry) { d->status.statusEintrag(entry); }

void clsVRD4Empfaenger::writeReply(render::Antwort which, const QString& value) {
  const std::u16string text = value.toStdU16String();
  d->antwortNr = static_cast<uint8_t>(value.toUInt());
  switch (which) {
    case render::Antwort::BlinktextNr: gv::clsVRD4BlinktextNr().SetMemory(text); break;
    case render::Antwort::LauftextNr: gv::clsVRD4LauftextNr().SetMemory(text); break;
    case render::Antwort::AniGifNr: gv::clsVRD4AniGifNr().SetMemory(text); break;
  }
}

double clsVRD4Empfaenger::now() const { return d->clock.seconds(); }

// --- board --------------------------------------------------------------------

void clsVRD4Empfaenger::Cls() {
  for (uint8_t i = 1; i <= 10; ++i) d->blink->BKNeuLoeschen(i);
  for (uint8_t i = 1; i <= 10; ++i) d->lauf->LTNeuLoeschen(i);
  for (uint8_t i = 1; i <= 10; ++i) d->ani->AniGifLoeschen(i);
  d->pic.clearPicture();
  d->pic.cls();
  d->pic.setBackColor(StartHintergrundfarbe);
  d->pic.setForeColor(StartVordergrundfarbe);
}

void clsVRD4Empfaenger::Hintergrundfarbe(platform::Colour farbe) { render::Hintergrundfarbe(d->pic, farbe); }
void clsVRD4Empfaenger::Vordergrundfarbe(platform::Colour farbe) { render::Vordergrundfarbe(d->pic, farbe); }
void clsVRD4Empfaenger::Fuellfarbe(platform::Colour farbe) { render::Fuellfarbe(d->pic, farbe); }
void clsVRD4Empfaenger::Fuellstyle(uint8_t muster) { render::Fuellstyle(d->pic, muster); }
void clsVRD4Empfaenger::Linienstil(uint8_t stil) { render::Linienstil(d->pic, stil); }
void clsVRD4Empfaenger::Rahmenart(uint8_t art) { render::Rahmenart(d->pic, art); }

void clsVRD4Empfaenger::Linie(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                              int16_t Linienbreite, platform::Colour Farbe) {
  render::Linie(d->pic, Xstart, Ystart, Xende, YEnde, Linienbreite, Farbe);
}

void clsVRD4Empfaenger::Rechteck(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                 int16_t Linienbreite, platform::Colour Farbe, bool Fuellen) {
  render::Rechteck(d->pic, Xstart, Ystart, Xende, YEnde, Linienbreite, Farbe, Fuellen);
}

void clsVRD4Empfaenger::Tafelgroesse(int16_t Breite, int16_t Hoehe) {
  render::Tafelgroesse(d->pic, Breite, Hoehe);
}

// --- texts, pictures, animations ---------------------------------------------

void clsVRD4Empfaenger::TextAusgabe(const render::TextParameter& p, bool LauftextbeiBedarf,
                                    double Geschwindigkeit, double Startverzoegerung) {
  d->text->TextAusgabe(d->pic, p, LauftextbeiBedarf, Geschwindigkeit, Startverzoegerung);
}

uint8_t clsVRD4Empfaenger::BKNeu(const render::TextParameter& p, double Intervall) {
  return d->blink->BKNeu(p, Intervall);
}
void clsVRD4Empfaenger::BKNeuLoeschen(uint8_t index) { d->blink->BKNeuLoeschen(index); }

uint8_t clsVRD4Empfaenger::LTNeu(const render::TextParameter& p, double Geschwindigkeit,
                                 double Startverzoegerung) {
  return d->lauf->LTNeu(p, Geschwindigkeit, Startverzoegerung);
}
void clsVRD4Empfaenger::LTNeuLoeschen(uint8_t index) { d->lauf->LTNeuLoeschen(index); }

void clsVRD4Empfaenger::BildAnzeigen(const QString& BildnamemitPfad, bool GroesseAnpassen,
                                     bool BeiKleinerZentrieren, std::span<const uint8_t> bytes) {
  d->bilder->BildAnzeigen(d->pic, BildnamemitPfad, GroesseAnpassen, BeiKleinerZentrieren, bytes,
                          d->vorabBild);
}

void clsVRD4Empfaenger::BildAnzeigenanPosition(const QString& BildnamemitPfad, int16_t Xstart,
                                               int16_t Ystart, int16_t Xende, int16_t YEnde,
                                               bool GroesseAnpassen, bool BeiKleinerZentrieren,
                                               std::span<const uint8_t> bytes) {
  d->bilder->BildAnzeigenanPosition(d->pic, BildnamemitPfad, Xstart, Ystart, Xende, YEnde,
                                   GroesseAnpassen, BeiKleinerZentrieren, bytes, d->vorabBild);
}

uint8_t clsVRD4Empfaenger::AniGifLadenanPosition(const QString& BildnamemitPfad, int16_t Xstart,
                                                 int16_t Ystart, int16_t Xende, int16_t YEnde,
                                                 bool GroesseAnpassen, bool BeiKleinerZentrieren,
                                                 std::span<const uint8_t> bytes) {
  return d->ani->AniGifLadenanPosition(BildnamemitPfad, Xstart, Ystart, Xende, YEnde,
                                      GroesseAnpassen, BeiKleinerZentrieren, bytes, d->vorabGif);
}
void clsVRD4Empfaenger::AniGifStarten(uint8_t index, double AnzeigeDauer) {
  d->ani->AniGifStarten(index, AnzeigeDauer);
}
void clsVRD4Empfaenger::AniGifStoppen(uint8_t index) { d->ani->AniGifStoppen(index); }
void clsVRD4Empfaenger::AniGifLoeschen(uint8_t index) { d->ani->AniGifLoeschen(index); }

render::TextRenderer& clsVRD4Empfaenger::textRenderer() { return *d->text; }
render::Blinktexte& clsVRD4Empfaenger::blinktexte() { return *d->blink; }
render::Lauftexte& clsVRD4Empfaenger::lauftexte() { return *d->lauf; }
render::Bilder& clsVRD4Empfaenger::bilder() { return *d->bilder; }
render::Animationen& clsVRD4Empfaenger::animationen() { return *d->ani; }

// --- small operations -------------------------------------------------------

void clsVRD4Empfaenger::IPAdresse(const QString& adresse) { VRD4Event(QStringLiteral("IPAdresse"), adresse); }
void clsVRD4Empfaenger::Port(const QString& port) { VRD4Event(QStringLiteral("Port"), port); }
void clsVRD4Empfaenger::ServerStarten() { VRD4Event(QStringLiteral("Server starten"), QString()); }
void clsVRD4Empfaenger::ClientVerbinden() { VRD4Event(QStringLiteral("Client verbinden"), QString()); }

void clsVRD4Empfaenger::PauseAnzeigeZiel(const QString& strHundertstelSek) {
  // A text that is no number fails like any other field of the command.
  const int32_t dauer =
      protocol::leseInt32(strHundertstelSek.toStdU16String(), u"PauseAnzeigeZiel", 2);
  d->pauseBisZeit = std::llround(d->clock.seconds() * 100.0) + dauer;
}

bool clsVRD4Empfaenger::VRD4Close() {
  try {
    if (leadingInt(gv::clsVRD4Comport().GetMemory()) > 0) {
      gv::clsVRD4Comport().SetMemory(u"0");
      gv::clsVRD4KomFehler().SetMemory(u"0");
      return true;
    }
  } catch (...) {
  }
  return false;
}

}  // namespace vrd4::engine
