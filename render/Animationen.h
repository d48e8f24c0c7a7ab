#pragma once
// Up to ten animation slots (animated GIFs or video clips) over the board.
//
// The slot table, its numbering, the reports and the time limit live here;
// what a slot actually plays comes from an AnimationsLader. Without a loader
// (the state until GIF and clip playback exist) no file can be loaded: a
// load reports slot "0" the way an unknown file kind does, and every other
// operation finds its slot free.
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/Surface.h"
#include "render/RenderHost.h"

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
};

// Turns the bytes of a file into a playing medium for slot 1..10.
class AnimationsLader {
 public:
  virtual ~AnimationsLader() = default;
  // art: the upper-cased last three characters of the file name ("GIF",
  // "AVI", anything else). nullptr when the kind is unknown or the file
  // cannot be opened; the slot then stays free. Must not throw.
  virtual std::unique_ptr<AnimationsMedium> laden(int slot, const QString& art,
                                                  const AnimationsFeld& feld,
                                                  std::span<const uint8_t> bytes) = 0;
};

class Animationen {
 public:
  static constexpr int kAnzahl = 10;
  // lader may be nullptr (nothing can be loaded); not owned.
  Animationen(RenderHost& host, platform::Surface& board, AnimationsLader* lader = nullptr);
  ~Animationen();  // releases every loaded medium
  Animationen(const Animationen&) = delete;
  Animationen& operator=(const Animationen&) = delete;

  void setLader(AnimationsLader* lader);

  // Takes the lowest free slot, reports its number (clsVRD4AniGifNr and the
  // "AniGifNr" event) and returns it; 0 when nothing was loaded or all slots
  // are in use. GroesseAnpassen and BeiKleinerZentrieren are accepted and
  // not used (animations are always fitted). Throws OverflowError when the
  // field size leaves 16 bits.
  uint8_t AniGifLadenanPosition(const QString& BildnamemitPfad, int16_t Xstart, int16_t Ystart,
                                int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                                bool BeiKleinerZentrieren, std::span<const uint8_t> bytes);
  // AnzeigeDauer in seconds; 0 or less: no time limit.
  void AniGifStarten(uint8_t AniGifNr, double AnzeigeDauer);
  void AniGifStoppen(uint8_t AniGifNr);
  // In range and free: nothing. Outside 1..10 (also for Starten/Stoppen):
  // ("BefehlFehler", "AniGif-Nummer: " + n + " gibt es nicht!").
  void AniGifLoeschen(uint8_t AniGifNr);

  // The expiry step: deletes every running slot whose display time is over.
  void AnimationenTakten();

  bool belegt(int n) const;

 private:
  struct Slot {
    bool belegt = false;
    QString dateiname;
    AnimationsFeld feld;
    std::optional<double> startzeit;  // set while playing on a time limit
    double anzeigedauer = 0.0;
    std::unique_ptr<AnimationsMedium> medium;
  };
  bool nummerGueltig(uint8_t n);
  void bildFestlegen();

  RenderHost& host_;
  platform::Surface& board_;
  AnimationsLader* lader_;
  std::array<Slot, kAnzahl> slots_;
};

}  // namespace vrd4::render
