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
// pixel, or false where it is transparent. With an Abtastung `a` (not null)
// the source keeps only its pixels: u and v are then kept indices. Every
// pixel drawn turns white in deckung (ziel's size); returns how many were
// drawn.
template <class Quelle>
int64_t skaliertZeichnen(QImage& ziel, QImage& deckung, int x0, int y0, int w, int h, int srcW,
                         int srcH, int mirror, const Abtastung* a, Quelle&& quelle) {
  if (w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0) return 0;
  const int xa = std::max(0, x0), xb = std::min(ziel.width(), x0 + w);
  const int ya = std::max(0, y0), yb = std::min(ziel.height(), y0 + h);
  if (xa >= xb || ya >= yb) return 0;
  int64_t gezeichnet = 0;
  std::vector<int> spalte(size_t(xb - xa));
  for (int x = xa; x < xb; ++x) {
    int u = int(int64_t(x - x0) * srcW / w);
    if (mirror & 1) u = srcW - 1 - u;
    spalte[size_t(x - xa)] = a ? a->spalteVon[size_t(u)] : u;
  }
  for (int y = ya; y < yb; ++y) {
    int v = int(int64_t(y - y0) * srcH / h);
    if (mirror & 2) v = srcH - 1 - v;
    QRgb* z = reinterpret_cast<QRgb*>(ziel.scanLine(y));
    QRgb* dz = reinterpret_cast<QRgb*>(deckung.scanLine(y));
    const auto zeile = quelle(a ? a->zeileVon[size_t(v)] : v);
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

// The kept positions of one axis: n source positions, of which the first
// src are drawn into aus pixels.
void achseAbtasten(int n, int src, int aus, bool gespiegelt, std::vector<int32_t>& liste,
                   std::vector<int32_t>& von) {
  von.assign(size_t(std::max(n, 0)), -1);
  liste.clear();
  if (src <= 0 || aus <= 0 || src > n) return;
  for (int x = 0; x < aus; ++x) {
    const int u = int(int64_t(x) * src / aus);
    von[size_t(gespiegelt ? src - 1 - u : u)] = 0;
  }
  for (int u = 0; u < n; ++u) {
    if (von[size_t(u)] < 0) continue;
    von[size_t(u)] = int32_t(liste.size());
    liste.push_back(u);
  }
}

}  // namespace

Abtastung alleAbtasten(int breite, int hoehe) {
  Abtastung a;
  achseAbtasten(breite, breite, breite, false, a.spalten, a.spalteVon);
  achseAbtasten(hoehe, hoehe, hoehe, false, a.zeilen, a.zeileVon);
  return a;
}

Abtastung abtasten(int breite, int hoehe, int srcW, int srcH, int w, int h, int mirror) {
  Abtastung a;
  achseAbtasten(breite, srcW, w, mirror & 1, a.spalten, a.spalteVon);
  achseAbtasten(hoehe, srcH, h, mirror & 2, a.zeilen, a.zeileVon);
  return a;
}

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
  canvas = QImage();
  abtastung = {};
  umlauf = bestimmt = nachzuholen = false;
  zuletzt = folge = 0;
  offen = Entsorgung{};
  bilder.clear();
  const gif::FrameInfo& erstes = f.front();
  if (!mitCanvas) {
    schwer = int64_t(erstes.width) * erstes.height >= kSchwerPixel;
    return;
  }
  const int cw = gif.canvasWidth(), ch = gif.canvasHeight();
  mitMaske = gif.anyDisposal2or3() || gif.allDisposal2() || erstes.transparencyFlag == 1 ||
             (gif.anyTransparent() && (erstes.width != cw || erstes.height != ch));
  // Alpha 0 marks what no opaque pixel has covered yet. A large canvas is
  // made by the worker with its first frame, with the pixels shown only.
  schwer = int64_t(cw) * ch >= kSchwerPixel;
  if (schwer) return;
  abtastung = alleAbtasten(cw, ch);
  leinwandMachen();
}

void ucAniGIF::Impl::leinwandMachen() {
  canvas = QImage(std::max<int>(1, int(abtastung.spalten.size())),
                  std::max<int>(1, int(abtastung.zeilen.size())), QImage::Format_ARGB32);
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

void ucAniGIF::Impl::fortschreiben(int32_t k, bool setztAlles) {
  const int32_t n = gif.frameCount();
  const bool weiter = zuletzt != 0 && k == zuletzt % n + 1;
  folge = weiter ? std::min(folge + 1, n) : 1;
  bestimmt = (weiter && bestimmt) || folge >= n || setztAlles;
  umlauf = umlauf || k <= zuletzt;
  zuletzt = k;
}

bool ucAniGIF::Impl::zeigtAllesDeckend(int32_t k) const {
  const gif::FrameInfo& f = gif.frames()[size_t(k - 1)];
  return f.left == 0 && f.top == 0 && f.width >= gif.canvasWidth() && f.height >= gif.canvasHeight() &&
         f.transparencyFlag != 1;
}

bool ucAniGIF::Impl::komponieren(int32_t k) {
  entsorgen();
  const gif::FrameInfo& f = gif.frames()[size_t(k - 1)];
  // The frame's rectangle in kept columns and rows of the canvas.
  const auto kept = [](const std::vector<int32_t>& v, int32_t a, int32_t b) {
    return std::pair{int(std::lower_bound(v.begin(), v.end(), a) - v.begin()),
                     int(std::lower_bound(v.begin(), v.end(), b) - v.begin())};
  };
  const auto [ia, ib] = kept(abtastung.spalten, f.left, f.left + f.width);
  const auto [ja, jb] = kept(abtastung.zeilen, f.top, f.top + f.height);
  const QRect r = QRect(ia, ja, ib - ia, jb - ja).intersected(canvas.rect());
  if (f.disposal == 3 && !r.isEmpty()) offen.bild = canvas.copy(r);
  offen.art = f.disposal;
  offen.r = r;
  const bool gemalt = !r.isEmpty() && gif.frameDekodieren(k, indizes);
  fortschreiben(k, gemalt && zeigtAllesDeckend(k) && f.disposal != 3);
  if (!gemalt) return false;
  const gif::ColourTable& t = gif.colourTable(f.colorTable);
  const bool transparent = f.transparencyFlag == 1;
  // All columns kept (a small canvas): column x is kept index x.
  const bool alle = abtastung.spalten.size() == size_t(gif.canvasWidth());
  const int32_t* sp = abtastung.spalten.data();
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const uint8_t* s = indizes.data() + size_t(abtastung.zeilen[size_t(y)] - f.top) * size_t(f.width);
    QRgb* z = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    for (int x = r.left(); x <= r.right(); ++x) {
      const uint8_t i = s[(alle ? x : sp[x]) - f.left];
      if (transparent && i == f.transparentIndex) continue;
      z[x] = farbe(t[i]);
    }
  }
  return true;
}

ucAniGIF::Impl::Ziel ucAniGIF::Impl::ziel() const {
  const double fx = surface.widthPx() / surface.scaleWidth();
  const double fy = surface.heightPx() / surface.scaleHeight();
  Ziel z;
  if (mitCanvas) {
    z.x0 = zuPixel(offX, fx);
    z.y0 = zuPixel(offY, fy);
    z.w = zuPixel(dw, fx);
    z.h = zuPixel(dh, fy);
    z.srcW = std::min(gif.canvasWidth(), int(std::lround(dw / sx)));
    z.srcH = std::min(gif.canvasHeight(), int(std::lround(dh / sy)));
  } else {
    const gif::FrameInfo& f = gif.frames().front();
    z.x0 = zuPixel((f.left + offX) * sx, fx);
    z.y0 = zuPixel((f.top + offY) * sy, fy);
    z.w = zuPixel(f.width * sx, fx);
    z.h = zuPixel(f.height * sy, fy);
    z.srcW = f.width;
    z.srcH = f.height;
  }
  return z;
}

Abtastung ucAniGIF::Impl::noetigeAbtastung() const {
  const Ziel z = ziel();
  const gif::FrameInfo& f = gif.frames().front();
  return mitCanvas ? abtasten(gif.canvasWidth(), gif.canvasHeight(), z.srcW, z.srcH, z.w, z.h, mirror)
                   : abtasten(f.width, f.height, z.srcW, z.srcH, z.w, z.h, mirror);
}

void ucAniGIF::Impl::aufbauen(Abtastung neu, int32_t k, bool alles) {
  if (!mitCanvas) {
    // The only frame, decoded whole once, keeps the pixels shown.
    abtastung = std::move(neu);
    std::vector<uint8_t> ganz;
    indizes = {};
    const size_t b = abtastung.spalten.size(), h = abtastung.zeilen.size();
    if (b == 0 || h == 0 || !gif.frameDekodieren(1, ganz)) return;
    const size_t fw = size_t(gif.frames().front().width);
    indizes.resize(b * h);
    for (size_t j = 0; j < h; ++j) {
      const uint8_t* s = ganz.data() + size_t(abtastung.zeilen[j]) * fw;
      for (size_t i = 0; i < b; ++i) indizes[j * b + i] = s[abtastung.spalten[i]];
    }
    return;
  }
  if (alles) {
    // The kept pixels changed: the canvas is composed anew up to frame k,
    // after a whole pass first if the animation went round before.
    const bool rund = umlauf;
    abtastung = std::move(neu);
    leinwandMachen();
    offen = Entsorgung{};
    umlauf = false;
    zuletzt = 0;
    if (rund)
      for (int32_t j = 1; j <= gif.frameCount(); ++j) komponieren(j);
    for (int32_t j = 1; j < k; ++j) komponieren(j);
  }
  // The indices' buffer stays for the next frame: fresh memory costs a page
  // fault per 4 kB, which for a 16 MB frame takes longer than decoding it.
  komponieren(k);
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
  if (schwer && geladen && frame >= 1) {
    // A large GIF is decoded and composed on the worker, with the pixels
    // shown only: anew when those changed (a resized control).
    Abtastung neu = noetigeAbtastung();
    const bool alles = neu != abtastung || (mitCanvas && canvas.isNull());
    if (alles || (neuesFrame && mitCanvas)) {
      const int32_t k = frame;
      const auto job = [this, k, alles, neu = std::move(neu)] { aufbauen(neu, k, alles); };
      try {
        arbeit = std::async(std::launch::async, job);
        return;  // takt() draws it when it is done
      } catch (const std::system_error&) {
        job();  // no thread to be had: done here, as for a small GIF
      }
    }
    neuesFrame = false;
  }
  const int W = surface.widthPx(), H = surface.heightPx();
  // Whether the frame drawn here is kept, and how.
  bool merken = false;
  GezeigtesBild neu;
  if (geladen && frame >= 1 && mitCanvas && !schwer) {
    const Ziel z = ziel();
    const BildSchluessel s{W, H, z.x0, z.y0, z.w, z.h, z.srcW, z.srcH, mirror, surface.backColor()};
    if (s != bilderFuer) {
      bilder.clear();
      bilderFuer = s;
    }
    if (neuesFrame) {
      const int32_t n = gif.frameCount();
      const bool weiter = zuletzt != 0 && frame == zuletzt % n + 1;
      const bool stetig = weiter && bestimmt;
      const GezeigtesBild* b = gemerkt(frame);
      // Shown from what was kept when it shows the same and the canvas
      // after it can be made again.
      if (b && (stetig || b->eigen) && (stetig || b->setztAlles || (weiter && folge + 1 >= n))) {
        fortschreiben(frame, b->setztAlles);
        nachzuholen = true;
        zeigen(b->bild, b->maske);
        return;
      }
      if (nachzuholen) nachholen();
      const bool gemalt = komponieren(frame);
      neu.eigen = gemalt && zeigtAllesDeckend(frame);
      neu.setztAlles = neu.eigen && gif.frames()[size_t(frame - 1)].disposal != 3;
      merken = (stetig || neu.eigen) && int64_t(n) * W * H * 8 <= bildspeicher;
    } else if (nachzuholen) {
      // Nothing but the kept frames changed since the canvas lagged behind.
      if (const GezeigtesBild* b = gemerkt(zuletzt)) {
        zeigen(b->bild, b->maske);
        return;
      }
      nachholen();
    }
  }
  // A kept drawing still holds the last pixels: draw into fresh ones.
  if (anzeige.size() != QSize(W, H) || !anzeige.isDetached()) anzeige = QImage(W, H, QImage::Format_RGB32);
  anzeige.fill(platform::toQColor(surface.backColor()));
  // A fresh mask each time: the surface may still hold the last one.
  QImage deckung(W, H, QImage::Format_RGB32);
  deckung.fill(0xFF000000u);
  int64_t gezeichnet = 0;
  if (geladen && frame >= 1) {
    const Ziel z = ziel();
    if (mitCanvas) {
      const bool maskiert = mitMaske;
      gezeichnet = skaliertZeichnen(
          anzeige, deckung, z.x0, z.y0, z.w, z.h, z.srcW, z.srcH, mirror, &abtastung, [&](int v) {
            const QRgb* c = reinterpret_cast<const QRgb*>(canvas.constScanLine(v));
            return [c, maskiert](int u, QRgb& p) {
              if (maskiert && qAlpha(c[u]) == 0) return false;
              p = c[u] | 0xFF000000u;
              return true;
            };
          });
    } else {
      const gif::FrameInfo& f = gif.frames().front();
      const gif::ColourTable& t = gif.colourTable(f.colorTable);
      // A large frame keeps the pixels shown only.
      const size_t sw = schwer ? abtastung.spalten.size() : size_t(f.width);
      const size_t sh = schwer ? abtastung.zeilen.size() : size_t(f.height);
      // The frame's colours once per drawing; ti -1: no transparent index.
      std::array<QRgb, 256> farben;
      for (size_t i = 0; i < 256; ++i) farben[i] = farbe(t[i]);
      const int ti = f.transparencyFlag == 1 ? f.transparentIndex : -1;
      if (indizes.size() >= sw * sh)
        gezeichnet = skaliertZeichnen(
            anzeige, deckung, z.x0, z.y0, z.w, z.h, z.srcW, z.srcH, mirror,
            schwer ? &abtastung : nullptr, [&](int v) {
              const uint8_t* zeile = indizes.data() + size_t(v) * sw;
              return [zeile, ti, &farben](int u, QRgb& p) {
                const uint8_t i = zeile[u];
                if (i == ti) return false;
                p = farben[i];
                return true;
              };
            });
    }
  }
  if (gezeichnet == int64_t(W) * H) deckung = QImage();
  if (merken) {
    bilder.resize(size_t(gif.frameCount()));
    neu.bild = anzeige;
    neu.maske = deckung;
    bilder[size_t(frame - 1)] = std::move(neu);
  }
  zeigen(anzeige, deckung);
}

void ucAniGIF::Impl::zeigen(const QImage& bild, const QImage& maske) {
  // What no GIF pixel covers shows the parent beneath; a wholly covered
  // control is composed without the mask.
  if (maske.isNull()) {
    surface.setBackStyle(1);
  } else {
    surface.setMaskPicture(maske);
    surface.setBackStyle(0);
  }
  surface.paintPicture(bild, 0, 0, surface.scaleWidth(), surface.scaleHeight());
  if (geladen && q.FrameChanged) q.FrameChanged(frame);
}

int64_t ucAniGIF::Impl::bildspeicherWahl() const {
  const int64_t n = gif.frameCount();
  const int64_t bytes = n * surface.widthPx() * surface.heightPx() * 8;
  if (n < 2 || schwer || bytes > kBildspeicherMax) return 0;
  if (speicherGrenze > 0 && speicherbedarf() + bytes > speicherGrenze) return 0;
  return bytes;
}

const ucAniGIF::Impl::GezeigtesBild* ucAniGIF::Impl::gemerkt(int32_t k) const {
  if (k < 1 || size_t(k) > bilder.size() || bilder[size_t(k - 1)].bild.isNull()) return nullptr;
  return &bilder[size_t(k - 1)];
}

void ucAniGIF::Impl::nachholen() {
  // The canvas as playing in order leaves it after `zuletzt`: one pass in
  // order ending there, onto a cleared canvas.
  nachzuholen = false;
  const int32_t n = gif.frameCount(), z = zuletzt;
  const bool rund = umlauf;
  canvas.fill(0u);
  offen = Entsorgung{};
  zuletzt = folge = 0;
  bestimmt = false;
  for (int32_t j = 1; j <= n; ++j) komponieren((z + j - 1) % n + 1);
  umlauf = rund;
}

}  // namespace vrd4::render
