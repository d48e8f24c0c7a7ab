#pragma once
// The receiver's command engine: takes commands from the shared-memory ring
// in slot order (channel/RingLeser.h), shows each one, forwards it to a
// further receiver when one is connected, runs it on the display surface and
// reports through VRD4Event.
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/Interfaces.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "render/RenderHost.h"
#include "render/TextParameter.h"

namespace vrd4::render {
class TextRenderer;
class Blinktexte;
class Lauftexte;
class Bilder;
class Animationen;
struct VorabBild;
}  // namespace vrd4::render

namespace vrd4::protocol {
struct Befehl;
struct BefehlsSpec;
}

namespace vrd4::engine {

struct Bildbefehl;

class clsVRD4Empfaenger final : private render::RenderHost {
 public:
  // Opens the whole channel variable set (SpeichervariablenAnlegen, which
  // resets the ring) and writes the start mark "-1". All references must
  // outlive the engine. client2 may be nullptr (not connected).
  clsVRD4Empfaenger(platform::Surface& picVRD4Empfang, Statusausgabe& status, Ereignisziel& events,
                    platform::Clock& clock, Weitergabe* client2 = nullptr);
  // Writes the stop mark "0" and releases the variable set.
  ~clsVRD4Empfaenger();
  clsVRD4Empfaenger(const clsVRD4Empfaenger&) = delete;
  clsVRD4Empfaenger& operator=(const clsVRD4Empfaenger&) = delete;

  // The polling step: advance scrolling texts, blinking texts and animation
  // expiries; then, unless paused, take the next command from the ring and
  // run it, and go on with the one after it while the ring holds one, no
  // pause is set and BefehlsBudgetSekunden (of the clock) have not passed
  // since the step began: one command at least, a lap of the ring at most.
  // An error inside a command (a field that does not convert, a 16-bit
  // overflow) ends the step and passes out to the caller; befehlsname() then
  // names the command. The slot has already been emptied and the read index
  // moved past it by then.
  //
  // Re-entrancy: nothing in a command waits for a peer (forwarding hands
  // the line to Client2 and goes on). Should an event handler run the event
  // loop while a command runs (befehlLaeuft()), the polling step only
  // advances the display and takes nothing from the ring; the callers keep
  // everything else from starting a second command.
  // The rules for all waits are written down in core/Taktschleife.h.
  void Zeitschleife();
  // The display part of the polling step alone: scrolling texts, blinking
  // texts, animation expiries. Never takes a command.
  void AnzeigeTakten();
  // True from the start of a command (ring or network) until it has run.
  bool befehlLaeuft() const;
  // Whether the polling step has nothing of its own to do: no command runs,
  // no pause is pending, no blinking or scrolling text holds a slot, no
  // animation plays or waits for its worker or its time limit. The ring is
  // not looked at.
  bool darfRuhen() const;
  // When darfRuhen() and the ring waits (as decided by the last polling step): a
  // look without the lock, callable from any thread while this engine lives,
  // that stays true while the ring is unchanged. Otherwise empty.
  std::function<bool()> ruheBlick() const;
  // Time a polling step may spend on commands before it leaves the rest to
  // the next step; 0: one command per step.
  double BefehlsBudgetSekunden = 0.008;
  // Name (field 1) of the command being or last run; empty before any.
  const QString& befehlsname() const;
  // For the caller of Zeitschleife that caught an error of a command:
  // raises ("BefehlFehler", "Fehler in " + befehlsname() + ": " +
  // beschreibung), unless the engine has reported that error already (a
  // command that replies with a slot number reports its error itself,
  // before its "0").
  void befehlsfehlerMelden(const char* beschreibung);
  // The polling step writes a sign of life, a number counting up, into
  // clsVRD4LaufvariableNr at most this often (clock seconds): a waiting
  // sender tells a working receiver from a stopped or hung one by it.
  static constexpr double kLebenszeichenSekunden = 1.0;

  // Runs one command text as the dispatcher does: passes it to Client2
  // first (in its forwarded form, without waiting), runs it, tells the
  // observers.
  // Used by Zeitschleife and by the TCP interpreter. Throws like Zeitschleife.
  // Like the polling step it shows the text and empties the slot of the
  // command taken last from the ring;
  // a caller outside the ring wants BefehlDirektAusfuehren.
  void BefehlAusfuehren(const std::u16string& befehl);

  // Runs an already split command (fields 0.. as from protocol::zerlegen)
  // by name: no display, no ring, no forwarding, no file access; the picture
  // commands draw from bildbytes (their picture field may be empty). The
  // observers are told, as by the overload below. Returns false for a name that is no
  // command (nothing is raised then). Throws protocol::FeldFehler and
  // OverflowError like Zeitschleife. vorab (when given) is bildbytes
  // already decoded by BildAnzeigen or BildAnzeigenanPosition's caller
  // (render::modPicturefromBytes), so that the board only fits and draws it.
  bool BefehlDirektAusfuehren(std::span<const std::u16string> felder,
                              std::span<const uint8_t> bildbytes = {},
                              const render::VorabBild* vorab = nullptr);
  // The dispatch alone: runs an already converted command
  // (protocol::konvertieren) with the handler of its table row. Throws
  // OverflowError like Zeitschleife.
  void BefehlDirektAusfuehren(const protocol::Befehl& befehl, std::span<const uint8_t> bildbytes = {});

  // Every command that runs on the board from here on (ring or network)
  // reaches b once, after it ran; several observers are told in the order
  // they were added. b must outlive the engine (or the commands it runs).
  void beobachterHinzufuegen(BefehlsBeobachter& b);

  // Upper limit for a picture file read by a picture command; a larger
  // file counts as not found.
  static constexpr std::uint64_t kMaxBilddateiBytes = 32ull << 20;

  // The colours Cls restores (the main window sets them when it is
  // activated).
  platform::Colour StartVordergrundfarbe = 0xFFFFFF;
  platform::Colour StartHintergrundfarbe = 0x000000;

  // Raises VRD4Event(art, meldung) on the event sink (also the render
  // objects' event).
  void VRD4Event(const QString& art, const QString& meldung) override;

  // --- board (every drawing ends by making the image the background picture)
  void Cls();
  void Hintergrundfarbe(platform::Colour farbe);
  void Vordergrundfarbe(platform::Colour farbe);
  void Fuellfarbe(platform::Colour farbe);
  void Fuellstyle(uint8_t muster);   // above 7 -> 0
  void Linienstil(uint8_t stil);     // above 6 -> 0
  void Rahmenart(uint8_t art);       // above 5 -> 0
  void Linie(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde, int16_t Linienbreite,
             platform::Colour Farbe);  // throws OverflowError at -32768
  void Rechteck(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde, int16_t Linienbreite,
                platform::Colour Farbe, bool Fuellen);
  void Tafelgroesse(int16_t Breite, int16_t Hoehe);  // accepted, no effect

  // --- texts, pictures
  void TextAusgabe(const render::TextParameter& p, bool LauftextbeiBedarf, double Geschwindigkeit,
                   double Startverzoegerung);
  uint8_t BKNeu(const render::TextParameter& p, double Intervall);
  void BKNeuLoeschen(uint8_t index);
  uint8_t LTNeu(const render::TextParameter& p, double Geschwindigkeit, double Startverzoegerung);
  void LTNeuLoeschen(uint8_t index);
  void BildAnzeigen(const QString& BildnamemitPfad, bool GroesseAnpassen, bool BeiKleinerZentrieren,
                    std::span<const uint8_t> bytes);
  void BildAnzeigenanPosition(const QString& BildnamemitPfad, int16_t Xstart, int16_t Ystart,
                              int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                              bool BeiKleinerZentrieren, std::span<const uint8_t> bytes);
  // Animation slots 1..10 (render/Animationen.h). Deleting a free slot in
  // range does nothing.
  void AniGifLoeschen(uint8_t index);
  // Reports the slot number (clsVRD4AniGifNr, "AniGifNr"); "0" when nothing
  // was loaded.
  uint8_t AniGifLadenanPosition(const QString& BildnamemitPfad, int16_t Xstart, int16_t Ystart,
                                int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                                bool BeiKleinerZentrieren, std::span<const uint8_t> bytes);
  void AniGifStarten(uint8_t index, double AnzeigeDauer);
  void AniGifStoppen(uint8_t index);

  // --- small operations
  void IPAdresse(const QString& adresse);  // raises ("IPAdresse", adresse)
  void Port(const QString& port);          // raises ("Port", port)
  void ServerStarten();                    // raises ("Server starten", "")
  void ClientVerbinden();                  // raises ("Client verbinden", "")
  // Holds back commands for the given hundredths of a second (clock time);
  // a new pause replaces the previous one.
  void PauseAnzeigeZiel(const QString& strHundertstelSek);
  bool VRD4Close();
  static bool VRD4PelmorPlayerAktiv();

  // The field "BildAnzeigen" fills: the board's scale width and height,
  // rounded; nullopt when they leave 16 bits.
  std::optional<QSize> tafelSkala() const;

  double FontGroessenFaktor = 0.75;
  // The ring slot read next (0..99).
  int32_t Lesezeiger() const;

  render::TextRenderer& textRenderer();
  render::Blinktexte& blinktexte();
  render::Lauftexte& lauftexte();
  render::Bilder& bilder();
  render::Animationen& animationen();

 private:
  // render::RenderHost
  void statusEintrag(const QString& entry) override;
  void writeReply(render::Antwort which, const QString& value) override;
  double now() const override;

  // Runs a converted command and tells the observers.
  // geteilt: the same bytes held shared, for the observers (no copy).
  void laufenLassen(const protocol::Befehl& befehl, std::span<const uint8_t> bildbytes,
                    const std::shared_ptr<const std::vector<uint8_t>>& geteilt = {});
  // Every command that replies with a slot number answers, whatever ends
  // it: what has not answered when it ends (a refused file, an error, an
  // early end) leaves "0" in its reply variable, after the "BefehlFehler"
  // event that says why and without a reply event of its own, so that the
  // reason is the last event a sender reads with the "0".
  void antwortBeginnen(const protocol::BefehlsSpec* spec);
  void antwortNachholen() noexcept;
  void fehlerVorDerAntwort(const char* beschreibung);
  // Converts and runs a command taken from the ring; an error of a reply
  // command is reported before its "0" (then passes on).
  void antwortendLaufen(const protocol::BefehlsSpec& spec, std::span<const std::u16string> felder,
                        std::span<const uint8_t> bild,
                        const std::shared_ptr<const std::vector<uint8_t>>& geteilt = {});
  // Takes a command text: shows it, empties its slot, runs it. A large
  // picture command from the ring (nebenbei) is made ready beside the GUI
  // thread and runs on a later polling step (Bildbefehl.cpp).
  void befehlNehmen(const std::u16string& befehl, bool nebenbei);
  void bildbefehlNehmen(std::vector<std::u16string> felder, const protocol::BefehlsSpec& spec, bool nebenbei);
  void bildbefehlVollenden(Bildbefehl& b);
  struct AntwortNachholen {
    clsVRD4Empfaenger& e;
    ~AntwortNachholen() { e.antwortNachholen(); }
  };
  struct Impl;
  class VorabGesetzt;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::engine
