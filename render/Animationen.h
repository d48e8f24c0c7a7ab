#pragma once
// Up to ten animation slots (animated GIFs or video clips) over the board,
// each shown by its control ucAniGIFFeld(n), a child surface of the board.
//
// The kind comes from the file name's last three characters in any letter
// case: "GIF" plays in the control itself, "AVI" is opened by aviOeffnen
// into the control's surface; any other kind loads nothing. The control is
// placed at (Xstart, Ystart), one pixel right of and below a picture given
// the same field, and sized to the natural size (GIF: logical screen, header
// bytes 7-10; AVI: main header bytes 65/66 and 69/70) fitted uniformly into
// the field, never centred. A GIF slot counts as loaded even when its bytes
// are no GIF (its control then stays empty and see-through); a clip that does
// not open leaves the slot free.
//
// Memory: the ten slots share kSpeicherBudget bytes of decoded memory. A GIF
// is counted as ucAniGIF::Speicherbedarf() gives it, with its file's bytes
// twice (the board's scene keeps a copy for boards that join later), a
// clip by its natural
// size (frames waiting in its decoder plus its control's pixels). A GIF or
// clip that needs more than is left, or breaks a limit of its decoder
// (gif/GifDatei.h, the control's 16 megapixels, a clip frame over 8192
// pixels a side or 16 megapixels), takes no slot: ("BefehlFehler", "AniGif:
// <name> nicht geladen - <why>"), the same line in the status list, and the
// reply "0" without the "AniGifNr" event (the reason stays the last event).
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/Surface.h"
#include "render/RenderHost.h"
#include "render/ucAniGIF.h"

namespace vrd4::render {

// The field of a load command: the corners as given (1-based, inclusive)
// and the size computed from them.
struct AnimationsFeld {
  int16_t Xstart = 1, Ystart = 1, Xende = 1, YEnde = 1;
  int16_t Breite = 1, Hoehe = 1;
};

// One loaded animation. Owned by its slot; loeschen() is called exactly once
// before it is destroyed.
class AnimationsMedium {
 public:
  virtual ~AnimationsMedium() = default;
  // Plays: a GIF goes on from its current frame, a clip from its beginning.
  virtual void starten() = 0;
  virtual void stoppen() = 0;   // pauses; stays visible
  virtual void loeschen() = 0;  // stops and releases (a clip's temporary file too)
  virtual void setVisible(bool on) = 0;
  // Called on every polling step with the clock's seconds (monotonic), on the
  // GUI thread: a medium that shows frames by the clock presents the frame
  // due now. Does nothing by default.
  virtual void takt(double sekunden) { (void)sekunden; }
  // Whether takt() has anything to do, now or later, without another call.
  virtual bool brauchtTakt() const { return true; }
};

class Animationen {
 public:
  static constexpr int kAnzahl = 10;
  // Decoded memory of all ten slots together, bytes.
  static constexpr int64_t kSpeicherBudget = 256ll << 20;
  // The ten controls are made here, hidden; GIFs in them play on host.now().
  Animationen(RenderHost& host, platform::Surface& board);
  ~Animationen();  // releases every loaded medium
  Animationen(const Animationen&) = delete;
  Animationen& operator=(const Animationen&) = delete;

  // Takes the lowest free slot, reports its number (clsVRD4AniGifNr and the
  // "AniGifNr" event) and returns it; 0 when nothing was loaded or all slots
  // are in use. GroesseAnpassen and BeiKleinerZentrieren are accepted and
  // not used (animations are always fitted). Throws OverflowError when the
  // field size leaves 16 bits.
  // geparst (when given) is a GIF parsed from bytes already (on another
  // thread): a GIF slot takes it over instead of parsing bytes again.
  uint8_t AniGifLadenanPosition(const QString& BildnamemitPfad, int16_t Xstart, int16_t Ystart,
                                int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                                bool BeiKleinerZentrieren, std::span<const uint8_t> bytes,
                                gif::GifDatei* geparst = nullptr);
  // AnzeigeDauer in seconds; 0 or less: no time limit.
  void AniGifStarten(uint8_t AniGifNr, double AnzeigeDauer);
  void AniGifStoppen(uint8_t AniGifNr);
  // In range and free: nothing. Outside 1..10 (also for Starten/Stoppen):
  // ("BefehlFehler", "AniGif-Nummer: " + n + " gibt es nicht!").
  void AniGifLoeschen(uint8_t AniGifNr);

  // The polling step: deletes every running slot whose display time is
  // over, then lets every loaded slot show the frame due now.
  void AnimationenTakten();

  bool belegt(int n) const;
  // Whether a slot needs the polling step: one playing on a time limit, or
  // one whose medium brauchtTakt().
  bool brauchtTakt() const;
  ucAniGIF& ucAniGIFFeld(int n);  // 1..10; std::out_of_range otherwise

 private:
  struct Slot {
    bool belegt = false;
    QString dateiname;
    AnimationsFeld feld;
    std::optional<double> startzeit;  // set while playing on a time limit
    double anzeigedauer = 0.0;
    int64_t speicher = 0;  // decoded bytes counted against kSpeicherBudget
    std::unique_ptr<AnimationsMedium> medium;
  };
  struct HostUhr final : platform::Clock {
    explicit HostUhr(const RenderHost& h) : host(h) {}
    double seconds() const override { return host.now(); }
    const RenderHost& host;
  };
  bool nummerGueltig(uint8_t n);
  void bildFestlegen();
  // The medium for slot n, nullptr when nothing loads; ablehnung says why a
  // GIF or clip was refused (empty when the kind alone gave nothing).
  std::unique_ptr<AnimationsMedium> laden(int n, const QString& art, const AnimationsFeld& feld,
                                          std::span<const uint8_t> bytes, gif::GifDatei* geparst,
                                          QString& ablehnung);

  RenderHost& host_;
  platform::Surface& board_;
  HostUhr uhr_;
  std::array<std::unique_ptr<ucAniGIF>, kAnzahl> ctl_;
  std::array<Slot, kAnzahl> slots_;
};

}  // namespace vrd4::render
