// Drawing of the GIF control: the composition canvas and its mask, the
// disposals, and the frame or canvas scaled, offset and mirrored into the
// control's pixels.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <system_error>

#include "render/ucAniGIFPrivate.h"

namespace vrd4::render {

namespace {

QRgb farbe(uint32_t rgb) { return 0xFF000000u | (rgb & 0x00FFFFFFu); }

// Scale units to pixels, clamped far beyond any surface so that a nonsense
// offset cannot overflow.
int zuPixel(double einheiten, double faktor) {
  return int(std::lround(std::clamp(einheiten * faktor, -1e6, 1e6)));
}

// Draws a srcW × srcH source into the rectangle (x0, y0, w, h) of ziel
// (pixels, clipped), nearest neighbour like a colour-on-colour stretch;
// quelle(v) gives the source row v as a function (u, out) that yields the
// pixel, or false where it is transparent. Every pixel drawn turns white in
// deckung (ziel's size); returns how many were drawn.
template <class Quelle>
int64_t skaliertZeichnen(QImage& ziel, QImage& deckung, int x0, int y0, int w, int h, int srcW,
                         int srcH, int mirror, Quelle&& quelle) {
  if (w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0) return 0;
  const int xa = std::max(0, x0), xb = std::min(ziel.width(), x0 + w);
  const int ya = std::max(0, y0), yb = std::min(ziel.height(), y0 + h);
  if (xa >= xb || ya >= yb) return 0;
  int64_t gezeichnet = 0;
  std::vector<int> spalte(size_t(xb - xa));
  for (int x = xa; x < xb; ++x) {
    int u = int(int64_t(x - x0) * srcW / w);
    if (mirror & 1) u = srcW - 1 - u;
    spalte[size_t(x - xa)] = u;
  }
  for (int y = ya; y < yb; ++y) {
    int v = int(int64_t(y - y0) * srcH / h);
    if (mirror & 2) v = srcH - 1 - v;
    QRgb* z = reinterpret_cast<QRgb*>(ziel.scanLine(y));
    QRgb* dz = reinterpret_cast<QRgb*>(deckung.scanLine(y));
    const auto zeile = quelle(v);
    const int* sp = spalte.data() - xa;
    for (int x = xa; x < xb; ++x) {
      QRgb p;
      if (zeile(sp[x], p)) {
        z[x] = p;
        dz[x] = 0xFFFFFFFFu;
        ++gezeichnet;
      }
    }
  }
  return gezeichnet;
}

}  // namespace

void ucAniGIF::Impl::layoutBerechnen() {
  if (!geladen) return;
  const double w = surface.scaleWidth(), h = surface.scaleHeight();
  const double cw = gif.canvasWidth(), ch = gif.canvasHeight();
  switch (stretch) {
    case 0:
      sx = sy = 1;
      dw = std::min(w, cw);
      dh = std::min(h, ch);
      break;
    case 1:
      sx = sy = std::min(w / cw, h / ch);
      dw = std::round(cw * sx);
      dh = std::round(ch * sy);
      break;
    case 2:
      sx = w / cw;
      sy = h / ch;
      dw = w;
      dh = h;
      break;
    case 3:
      if (w / cw > 1 && h / ch > 1) {
        sx = sy = 1;
      } else {
        sx = sy = std::min(w / cw, h / ch);
      }
      dw = std::round(cw * sx);
      dh = std::round(ch * sy);
      break;
    case 4: {
      // The control takes the GIF's size, in its own units.
      const double fx = surface.widthPx() / w, fy = surface.heightPx() / h;
      const QSize g = controlGroesse(zuPixel(cw, fx), zuPixel(ch, fy));
      surface.resize(g.width(), g.height());
      surface.setScale(cw, ch);
      sx = sy = 1;
      dw = cw;
      dh = ch;
      break;
    }
    default: break;
  }
}

void ucAniGIF::Impl::canvasAnlegen() {
  const auto& f = gif.frames();
  mitCanvas = f.size() >= 2;
  mitMaske = false;
  schwer = false;
  canvas = QImage();
  offen = Entsorgung{};
  if (!mitCanvas) return;
  const int cw = gif.canvasWidth(), ch = gif.canvasHeight();
  const gif::FrameInfo& erstes = f.front();
  mitMaske = gif.anyDisposal2or3() || gif.allDisposal2() || erstes.transparencyFlag == 1 ||
             (gif.anyTransparent() && (erstes.width != cw || erstes.height != ch));
  // Alpha 0 marks what no opaque pixel has covered yet. A large canvas is
  // made by the worker with its first frame.
  schwer = int64_t(cw) * ch >= kSchwerPixel;
  if (!schwer) leinwandMachen();
}

void ucAniGIF::Impl::leinwandMachen() {
  canvas = QImage(gif.canvasWidth(), gif.canvasHeight(), QImage::Format_ARGB32);
  canvas.fill(0u);
}

void ucAniGIF::Impl::entsorgen() {
  const QRect r = offen.r.intersected(canvas.rect());
  if (offen.art == 2 && !r.isEmpty()) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      QRgb* z = reinterpret_cast<QRgb*>(canvas.scanLine(y));
      std::fill(z + r.left(), z + r.right() + 1, 0u);
    }
  } else if (offen.art == 3 && !r.isEmpty() && !offen.bild.isNull()) {
    for (int y = 0; y < r.height(); ++y) {
      std::memcpy(reinterpret_cast<QRgb*>(canvas.scanLine(r.top() + y)) + r.left(),
                  offen.bild.constScanLine(y), size_t(r.width()) * 4);
    }
  }
  offen = Entsorgung{};
}

void ucAniGIF::Impl::komponieren(int32_t k) {
  entsorgen();
  const gif::FrameInfo& f = gif.frames()[size_t(k - 1)];
  const QRect r = QRect(f.left, f.top, f.width, f.height).intersected(canvas.rect());
  if (f.disposal == 3 && !r.isEmpty()) offen.bild = canvas.copy(r);
  offen.art = f.disposal;
  offen.r = r;
  if (r.isEmpty() || !gif.frameDekodieren(k, indizes)) return;
  const gif::ColourTable& t = gif.colourTable(f.colorTable);
  const bool transparent = f.transparencyFlag == 1;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const uint8_t* s = indizes.data() + size_t(y - f.top) * size_t(f.width);
    QRgb* z = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    for (int x = r.left(); x <= r.right(); ++x) {
      const uint8_t i = s[x - f.left];
      if (transparent && i == f.transparentIndex) continue;
      z[x] = farbe(t[i]);
    }
  }
}

void ucAniGIF::Impl::warten() {
  if (!arbeit.valid()) return;
  try {
    arbeit.get();
  } catch (...) {
    // A frame that could not be composed shows what the canvas holds.
  }
}

void ucAniGIF::Impl::zeichnen(bool neuesFrame) {
  // The frames keep their order: a frame still on the worker comes first.
  warten();
  if (neuesFrame && schwer && mitCanvas && geladen && frame >= 1) {
    const int32_t k = frame;
    try {
      arbeit = std::async(std::launch::async, [this, k] {
        if (canvas.isNull()) leinwandMachen();
        komponieren(k);
      });
      return;  // takt() draws it when it is done
    } catch (const std::system_error&) {
      // No thread to be had: composed here, as a small canvas is.
      if (canvas.isNull()) leinwandMachen();
      komponieren(k);
      neuesFrame = false;
    }
  }
  const int W = surface.widthPx(), H = surface.heightPx();
  if (anzeige.size() != QSize(W, H)) anzeige = QImage(W, H, QImage::Format_RGB32);
  anzeige.fill(platform::toQColor(surface.backColor()));
  // A fresh mask each time: the surface may still hold the last one.
  QImage deckung(W, H, QImage::Format_RGB32);
  deckung.fill(0xFF000000u);
  int64_t gezeichnet = 0;
  if (geladen && frame >= 1) {
    const double fx = W / surface.scaleWidth(), fy = H / surface.scaleHeight();
    if (mitCanvas) {
      if (neuesFrame) komponieren(frame);
      const int srcW = std::min(canvas.width(), int(std::lround(dw / sx)));
      const int srcH = std::min(canvas.height(), int(std::lround(dh / sy)));
      const bool maskiert = mitMaske;
      gezeichnet = skaliertZeichnen(
          anzeige, deckung, zuPixel(offX, fx), zuPixel(offY, fy), zuPixel(dw, fx), zuPixel(dh, fy),
          srcW, srcH, mirror, [&](int v) {
            const QRgb* c = reinterpret_cast<const QRgb*>(canvas.constScanLine(v));
            return [c, maskiert](int u, QRgb& p) {
              if (maskiert && qAlpha(c[u]) == 0) return false;
              p = c[u] | 0xFF000000u;
              return true;
            };
          });
    } else {
      const gif::FrameInfo& f = gif.frames()[size_t(frame - 1)];
      const gif::ColourTable& t = gif.colourTable(f.colorTable);
      const size_t sw = size_t(f.width);
      // The frame's colours once per drawing; ti -1: no transparent index.
      std::array<QRgb, 256> farben;
      for (size_t i = 0; i < 256; ++i) farben[i] = farbe(t[i]);
      const int ti = f.transparencyFlag == 1 ? f.transparentIndex : -1;
      gezeichnet = skaliertZeichnen(
          anzeige, deckung, zuPixel((f.left + offX) * sx, fx), zuPixel((f.top + offY) * sy, fy),
          zuPixel(f.width * sx, fx), zuPixel(f.height * sy, fy), f.width, f.height, mirror,
          [&](int v) {
            const uint8_t* z = indizes.data() + size_t(v) * sw;
            return [z, ti, &farben](int u, QRgb& p) {
              const uint8_t i = z[u];
              if (i == ti) return false;
              p = farben[i];
              return true;
            };
          });
    }
  }
  // What no GIF pixel covers shows the parent beneath; a wholly covered
  // control is composed without the mask.
  if (gezeichnet == int64_t(W) * H) {
    surface.setBackStyle(1);
  } else {
    surface.setMaskPicture(deckung);
    surface.setBackStyle(0);
  }
  surface.paintPicture(anzeige, 0, 0, surface.scaleWidth(), surface.scaleHeight());
  if (geladen && q.FrameChanged) q.FrameChanged(frame);
}

}  // namespace vrd4::render
