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

// A canvas above this many pixels is refused: ten controls of this size
// still fit in memory (4 bytes a pixel, the mask in the alpha channel).
inline constexpr int64_t kMaxCanvasPixel = 16ll << 20;
// From this canvas size on, decoding and composing a frame takes longer than
// a tick may: it runs on a worker thread.
inline constexpr int64_t kSchwerPixel = 1ll << 20;
// Ten controls live at once, each with its pixels twice (surface and the
// drawing buffer): a larger control is shrunk to this area, keeping its shape.
inline constexpr int kMaxSeitePx = 8192;
inline constexpr double kMaxControlPixel = 4096.0 * 4096.0;
// A control's pixel size within those limits.
QSize controlGroesse(long wPx, long hPx);

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
  QString ablehnung;           // why the last load refused a GIF
  std::optional<double> faellig;       // clock seconds of the next tick while playing
  std::optional<double> dekodierenUm;  // clock seconds of the deferred decoding

  // Layout (scale units of the control): scale factors and drawn size.
  double sx = 1, sy = 1, dw = 0, dh = 0;

  // Composition canvas (two or more frames): what the frames composed so
  // far show, and per pixel whether no opaque pixel has covered it yet.
  bool mitCanvas = false, mitMaske = false;
  QImage canvas;  // ARGB32, canvas size; alpha 0 where nothing covered it yet
  // The disposal of the frame shown last, applied before the next frame is
  // composed (so that the canvas always holds what is shown).
  struct Entsorgung {
    int art = 0;
    QRect r;
    QImage bild;
  } offen;

  // A large canvas's next frame being composed on a worker (schwer): while
  // `arbeit` runs, the canvas, `offen`, `indizes` and the GIF's decoding
  // belong to it; takt() draws the frame when it is done, every other
  // caller waits for it first (warten), so the frames keep their order.
  bool schwer = false;
  std::future<void> arbeit;
  void warten();

  QImage anzeige;  // the control's pixels, rebuilt on every drawing
  // The indices of the frame composed last (of the only frame, for good,
  // in a one-frame GIF).
  std::vector<uint8_t> indizes;

  // Remote reading.
  std::unique_ptr<QNetworkAccessManager> netz;
  QPointer<QNetworkReply> antwort;
  QByteArray empfangen;

  // --- helpers (ucAniGIF.cpp) ---
  void leeren();
  bool laden(std::span<const uint8_t> bytes);
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
  void zeichnen(bool neuesFrame);
  void komponieren(int32_t k);
  void entsorgen();
};

}  // namespace vrd4::render
