#pragma once
// The state behind a ucAniGIF, shared by its source files only.
#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "gif/GifDatei.h"
#include "render/ucAniGIF.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace vrd4::render {

// A GIF canvas above this many pixels is refused.
inline constexpr int64_t kMaxCanvasPixel = 16ll << 20;
// From this canvas (or, with one frame, frame) size on, decoding and
// composing a frame takes longer than a tick may: it runs on a worker
// thread, and only the pixels the control shows are kept (Abtastung).
inline constexpr int64_t kSchwerPixel = 1ll << 18;
// Ten controls live at once, each with its pixels twice (surface and the
// drawing buffer): a larger control is shrunk to this area, keeping its shape.
inline constexpr int kMaxSeitePx = 8192;
inline constexpr double kMaxControlPixel = 4096.0 * 4096.0;
// A small GIF's shown frames are kept (see Impl::bilder) while the whole
// loop takes at most this many bytes.
inline constexpr int64_t kBildspeicherMax = 16ll << 20;
// A control's pixel size within those limits.
QSize controlGroesse(long wPx, long hPx);

// The source pixels a drawing reads. Drawn nearest-neighbour into w × h
// pixels, a source of srcW × srcH reads at most w of its columns and h of
// its rows, whatever the offset clips. Composition works pixel by pixel, so
// keeping only those columns and rows gives the shown pixels exactly: a
// 4096 × 4096 canvas in a 480 × 480 control keeps 480 × 480.
struct Abtastung {
  std::vector<int32_t> spalten, zeilen;      // kept source columns and rows, ascending
  std::vector<int32_t> spalteVon, zeileVon;  // source column / row -> kept index, -1 if not kept
  bool operator==(const Abtastung&) const = default;
};
// All breite × hoehe source pixels.
Abtastung alleAbtasten(int breite, int hoehe);
// What drawing the top-left srcW × srcH of a breite × hoehe source into
// w × h pixels reads (mirror bit 0 flips columns, bit 1 rows).
Abtastung abtasten(int breite, int hoehe, int srcW, int srcH, int w, int h, int mirror);

struct ucAniGIF::Impl {
  Impl(ucAniGIF& q, platform::Surface& parent, const platform::Clock& clock);
  ~Impl();

  ucAniGIF& q;
  platform::Surface surface{1, 1};
  const platform::Clock& clock;
  gif::GifDatei gif;

  // Animation state.
  bool geladen = false;
  bool alleDekodiert = false;
  int32_t frame = 0;  // 1-based; 0 empty
  int32_t zustand = 0;  // 0 stopped, 1 playing, 2 paused
  int32_t loopsDone = 0;
  int32_t loops = 0;
  int32_t minDelay = 50;
  int32_t stretch = 1;
  int32_t delayMode = 1;
  int32_t mirror = 0;
  int32_t offX = 0, offY = 0;
  bool enabled = true;
  bool skalaGesetzt = false;
  int64_t speicherGrenze = 0;  // 0: none
  int dateiKopien = 1;  // copies of the file's bytes counted
  QString ablehnung;           // why the last load refused a GIF
  std::optional<double> faellig;       // clock seconds of the next tick while playing
  std::optional<double> dekodierenUm;  // clock seconds of the deferred decoding

  // Layout (scale units of the control): scale factors and drawn size.
  double sx = 1, sy = 1, dw = 0, dh = 0;

  // Composition canvas (two or more frames): what the frames composed so
  // far show, and per pixel whether no opaque pixel has covered it yet.
  bool mitCanvas = false, mitMaske = false;
  // ARGB32, the kept pixels of the canvas (`abtastung`: all of a small
  // canvas); alpha 0 where nothing covered it yet.
  QImage canvas;
  Abtastung abtastung;  // of the canvas, or of the kept indices of a large one-frame GIF
  int32_t zuletzt = 0;  // the frame composed last
  bool umlauf = false;  // a frame came after a later one: the animation went round
  // What the canvas went through. Per pixel a frame either sets it (an
  // opaque pixel, disposal 2) or leaves it as it was (a transparent pixel,
  // disposal 3 when it ends), so after the frames of one whole pass in order
  // the canvas is the same whatever came before, and so is it after a frame
  // that covers it all opaquely and is not restored.
  int32_t folge = 0;      // frames composed in order up to `zuletzt`, at most the frame count
  bool bestimmt = false;  // the canvas is what playing in order leaves after `zuletzt`
  void fortschreiben(int32_t k, bool setztAlles);
  // The disposal of the frame shown last, applied before the next frame is
  // composed (so that the canvas always holds what is shown).
  struct Entsorgung {
    int art = 0;
    QRect r;
    QImage bild;
  } offen;

  // A large canvas's next frame being composed on a worker (schwer): while
  // `arbeit` runs, the canvas, `abtastung`, `umlauf`, `zuletzt`, `offen`, `indizes` and
  // the GIF's decoding belong to it; takt() draws the frame when it is done,
  // every other caller waits for it first (warten), so the frames keep their
  // order. A large one-frame GIF is decoded there, too.
  bool schwer = false;
  std::future<void> arbeit;
  void warten();

  QImage anzeige;  // the control's pixels, rebuilt on every drawing
  // The indices of the frame being composed; in a one-frame GIF those of the
  // only frame, for good (of a large one only the kept pixels, `abtastung`).
  std::vector<uint8_t> indizes;

  // Remote reading.
  std::unique_ptr<QNetworkAccessManager> netz;
  QPointer<QNetworkReply> antwort;
  QByteArray empfangen;

  // --- helpers (ucAniGIF.cpp) ---
  void leeren();
  bool laden(std::span<const uint8_t> bytes);
  bool laden(gif::GifDatei& geparst);  // takes what geparst holds
  bool geparst(int frames);  // the rest of a load, once gif holds the file
  int64_t speicherbedarf() const;  // of the parsed GIF in the control's size
  QString grenzePruefen(int frames) const;  // why a parse is refused; empty: it is not
  void restDekodieren();
  int32_t frameDelayMs(int32_t k) const;
  void timerStarten();
  void timerStoppen();
  void tick();
  // --- drawing (ucAniGIFZeichnen.cpp) ---
  void layoutBerechnen();
  void canvasAnlegen();
  void leinwandMachen();  // the canvas itself, uncovered
  // Where the canvas, or the only frame, is drawn in the control's pixels
  // and how much of it (srcW × srcH from its top-left).
  struct Ziel {
    int x0 = 0, y0 = 0, w = 0, h = 0, srcW = 0, srcH = 0;
  };
  Ziel ziel() const;

  // The shown frames of a small GIF with two or more frames, kept so that a
  // looping animation decodes and composes each frame once: a frame is kept
  // when what it shows does not depend on where playing started (the canvas
  // before it `bestimmt`, or the frame covers it opaquely), and shown again
  // from here when it comes in order. Such steps do not compose the canvas
  // (`nachzuholen`); it is made (nachholen: one pass composed onto a cleared
  // canvas, which gives the same) before anything else draws from it. All
  // kept frames go when what shapes the drawing changes (`bilderFuer`).
  // Kept only while the frame count times 8 bytes a control pixel fits in
  // `bildspeicher`, reserved at the load within kBildspeicherMax and the
  // memory limit.
  struct GezeigtesBild {
    QImage bild, maske;  // the control's pixels, and the mask unless all are drawn
    bool eigen = false;    // shows the same whatever came before
    bool setztAlles = false;  // leaves the canvas the same whatever came before
  };
  struct BildSchluessel {
    int breite = 0, hoehe = 0, x0 = 0, y0 = 0, w = 0, h = 0, srcW = 0, srcH = 0, mirror = 0;
    uint32_t back = 0;
    bool operator==(const BildSchluessel&) const = default;
  };
  std::vector<GezeigtesBild> bilder;  // by frame; a null bild: not kept
  BildSchluessel bilderFuer;
  int64_t bildspeicher = 0;
  bool nachzuholen = false;
  int64_t bildspeicherWahl() const;
  const GezeigtesBild* gemerkt(int32_t k) const;
  bool zeigtAllesDeckend(int32_t k) const;  // frame k covers the canvas opaquely
  void nachholen();
  // Shows bild with maske (null: all pixels drawn) and reports the frame.
  void zeigen(const QImage& bild, const QImage& maske);

  Abtastung noetigeAbtastung() const;  // what ziel() reads of a large source
  // Runs on the worker for a large GIF: the canvas made anew for `neu` and
  // frames composed up to frame k, or (alles false) just frame k.
  void aufbauen(Abtastung neu, int32_t k, bool alles);
  void zeichnen(bool neuesFrame);
  bool komponieren(int32_t k);  // false when frame k drew no pixel (outside, undecodable)
  void entsorgen();
};

}  // namespace vrd4::render
