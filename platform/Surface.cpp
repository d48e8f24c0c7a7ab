// Size, scale, colours, the persistent image with its background picture,
// lines and boxes.
#include "platform/SurfacePrivate.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace vrd4::platform {

QColor toQColor(Colour c) {
  return QColor(int(c & 0xFFu), int((c >> 8) & 0xFFu), int((c >> 16) & 0xFFu));
}

Colour fromQColor(const QColor& c) {
  const QColor rgb = c.toRgb();
  return Colour(rgb.red()) | (Colour(rgb.green()) << 8) | (Colour(rgb.blue()) << 16);
}

namespace {

int clampSide(int v) { return std::clamp(v, 1, kMaxSidePx); }

// Pixel coordinates stay far inside 64-bit arithmetic whatever the scale.
constexpr double kFar = double(1 << 28);

bool finite(double a, double b, double c, double d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// A position on the pixel grid: the pixel whose left edge is nearest.
qint64 toGrid(double units, double ratio) {
  return qint64(std::nearbyint(std::clamp(units * ratio, -kFar, kFar)));
}

// Cosmetic pen dashes in pixels: on, off, on, off ...
struct Dashes {
  std::array<int, 6> runs{};
  int count = 0;
  int period = 0;
  bool on(qint64 step) const {
    if (count == 0) return true;
    qint64 at = step % period;
    for (int i = 0; i < count; ++i) {
      if (at < runs[size_t(i)]) return i % 2 == 0;
      at -= runs[size_t(i)];
    }
    return false;
  }
};

Dashes dashesFor(int drawStyle) {
  Dashes d;
  auto set = [&d](std::initializer_list<int> r) {
    for (int v : r) {
      d.runs[size_t(d.count++)] = v;
      d.period += v;
    }
  };
  switch (drawStyle) {
    case 1: set({18, 6}); break;
    case 2: set({3, 3}); break;
    case 3: set({9, 6, 3, 6}); break;
    case 4: set({9, 3, 3, 3, 3, 3}); break;
    default: break;
  }
  return d;
}

// A one-pixel line with both ends, drawn straight into the image. Only the
// steps whose major coordinate lies inside the image are visited, so a line
// to a far-away point costs no more than one across the image.
void thinLine(QImage& img, qint64 x0, qint64 y0, qint64 x1, qint64 y1, QRgb px,
              const Dashes& dashes) {
  const qint64 w = img.width(), h = img.height();
  const bool xMajor = std::llabs(x1 - x0) >= std::llabs(y1 - y0);
  // Always walk from the smaller major coordinate, so that a line and its
  // reverse colour the same pixels; the dash phase still starts at (x0,y0).
  bool reversed = xMajor ? x1 < x0 : y1 < y0;
  if (reversed) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const qint64 n = xMajor ? x1 - x0 : y1 - y0;  // >= 0
  const qint64 minorDelta = xMajor ? y1 - y0 : x1 - x0;
  const qint64 minorSign = minorDelta < 0 ? -1 : 1;
  const qint64 minorAbs = std::llabs(minorDelta);
  const qint64 majorStart = xMajor ? x0 : y0;
  const qint64 minorStart = xMajor ? y0 : x0;
  const qint64 majorLimit = xMajor ? w : h;
  const qint64 minorLimit = xMajor ? h : w;
  const qint64 first = std::max<qint64>(0, -majorStart);
  const qint64 last = std::min<qint64>(n, majorLimit - 1 - majorStart);
  if (first > last) return;
  // Step i lies at minor offset round(i * minorAbs / n), halves rounded up:
  // (2 i minorAbs + n) / 2n, kept as quotient and remainder from step to
  // step (minorAbs <= n, so the remainder passes 2n at most once a step).
  const qint64 zweiN = 2 * n;
  qint64 q = 0, r = 0;
  if (n > 0) {
    const qint64 num = 2 * first * minorAbs + n;
    q = num / zweiN;
    r = num % zweiN;
  }
  uchar* const bits = img.bits();  // one detach for the whole line
  const qsizetype bpl = img.bytesPerLine();
  const bool solid = dashes.count == 0;
  for (qint64 i = first; i <= last; ++i) {
    const qint64 minor = minorStart + minorSign * q;
    r += 2 * minorAbs;
    if (r >= zweiN && n > 0) {
      r -= zweiN;
      ++q;
    }
    if (!solid && !dashes.on(reversed ? n - i : i)) continue;
    if (minor < 0 || minor >= minorLimit) continue;
    const qint64 major = majorStart + i;
    const qint64 x = xMajor ? major : minor;
    const qint64 y = xMajor ? minor : major;
    reinterpret_cast<QRgb*>(bits + qsizetype(y) * bpl)[x] = px;
  }
}

void solidRect(QImage& img, QRect r, QRgb px) {
  r = r.intersected(img.rect());
  if (r.isEmpty()) return;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    std::fill(line + r.left(), line + r.right() + 1, px);
  }
}

Qt::BrushStyle brushFor(int fillStyle) {
  switch (fillStyle) {
    case 0: return Qt::SolidPattern;
    case 2: return Qt::HorPattern;
    case 3: return Qt::VerPattern;
    case 4: return Qt::BDiagPattern;
    case 5: return Qt::FDiagPattern;
    case 6: return Qt::CrossPattern;
    case 7: return Qt::DiagCrossPattern;
    default: return Qt::NoBrush;
  }
}

// Rectangle from two corners given in any order, in 64-bit pixels, cut to
// what can matter for an image of kMaxSidePx.
QRect rectFrom(qint64 l, qint64 t, qint64 r, qint64 b) {
  constexpr qint64 lim = 4 * qint64(kMaxSidePx);
  l = std::clamp(l, -lim, lim);
  t = std::clamp(t, -lim, lim);
  r = std::clamp(r, -lim, lim);
  b = std::clamp(b, -lim, lim);
  return QRect(QPoint(int(l), int(t)), QPoint(int(r), int(b)));
}

}  // namespace

// --- Impl ----------------------------------------------------------------

void Surface::Impl::aboutToDraw(QRect r) {
  if (!tracking || follows) return;
  r = r.intersected(image.rect());
  if (r.isEmpty()) return;
  const qint64 area = qint64(r.width()) * r.height();
  if (savedArea + area > qint64(w) * h / 2) {
    // Saving more than half the image is no cheaper than copying it.
    materializePicture();
    return;
  }
  saved.emplace_back(r, image.copy(r));
  savedArea += area;
}

void Surface::Impl::materializePicture() {
  if (!tracking) return;
  QImage p = image.copy();
  for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
    const QRect& r = it->first;
    for (int y = 0; y < r.height(); ++y) {
      const QRgb* src = reinterpret_cast<const QRgb*>(it->second.constScanLine(y));
      QRgb* dst = reinterpret_cast<QRgb*>(p.scanLine(r.top() + y)) + r.left();
      std::copy(src, src + r.width(), dst);
    }
  }
  picture = std::move(p);
  tracking = false;
  saved.clear();
  savedArea = 0;
}

void Surface::Impl::repaintFromPicture() {
  if (tracking && saved.empty() && picture.isNull()) {
    // The picture is the image itself and covers it: clearing and drawing
    // the picture again gives the same pixels.
    return;
  }
  materializePicture();
  if (!image.isDetached()) image = QImage(w, h, QImage::Format_RGB32);
  image.fill(toPixel(back));
  if (!picture.isNull()) {
    QPainter p(&image);
    p.drawImage(0, 0, picture);
  }
}

// --- size and scale --------------------------------------------------------

Surface::Surface(int widthPx, int heightPx) : d(new Impl(this)) {
  d->w = clampSide(widthPx);
  d->h = clampSide(heightPx);
  d->sw = d->w;
  d->sh = d->h;
  d->image = QImage(d->w, d->h, QImage::Format_RGB32);
  d->image.fill(toPixel(d->back));
}

Surface::~Surface() {
  setParentSurface(nullptr);
  for (Surface* c : d->children) {
    c->d->parent = nullptr;
  }
  delete d;
}

void Surface::resize(int widthPx, int heightPx) {
  widthPx = clampSide(widthPx);
  heightPx = clampSide(heightPx);
  if (widthPx == d->w && heightPx == d->h) return;
  // Where it lay before shows the parent again.
  if (d->parent && d->visible) d->parent->d->notifyChanged(d->rectInParent());
  d->materializePicture();
  QImage next(widthPx, heightPx, QImage::Format_RGB32);
  next.fill(toPixel(d->back));
  {
    QPainter p(&next);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, d->image);
  }
  d->image = std::move(next);
  d->w = widthPx;
  d->h = heightPx;
  if (!d->scaleSet) {
    d->sw = widthPx;
    d->sh = heightPx;
  }
  d->overlayValid = false;
  d->composedValid = false;
  d->notifyChanged();
}

int Surface::widthPx() const { return d->w; }
int Surface::heightPx() const { return d->h; }

void Surface::setScale(double scaleWidth, double scaleHeight) {
  if (!(scaleWidth > 0) || !(scaleHeight > 0) || !std::isfinite(scaleWidth) ||
      !std::isfinite(scaleHeight)) {
    return;
  }
  d->sw = scaleWidth;
  d->sh = scaleHeight;
  d->scaleSet = true;
}

void Surface::resetScale() {
  d->sw = d->w;
  d->sh = d->h;
  d->scaleSet = false;
}

double Surface::scaleWidth() const { return d->sw; }
double Surface::scaleHeight() const { return d->sh; }

// --- colours, pens, patterns ---------------------------------------------------

Colour Surface::backColor() const { return d->back; }
void Surface::setBackColor(Colour c) {
  d->back = c;
  d->repaintFromPicture();
  d->notifyChanged();
}
Colour Surface::foreColor() const { return d->fore; }
void Surface::setForeColor(Colour c) { d->fore = c; }
Colour Surface::fillColor() const { return d->fill; }
void Surface::setFillColor(Colour c) { d->fill = c; }
int Surface::fillStyle() const { return d->fillStyle; }
void Surface::setFillStyle(int style) {
  if (style >= 0 && style <= 7) d->fillStyle = style;
}
int Surface::drawStyle() const { return d->drawStyle; }
void Surface::setDrawStyle(int style) {
  if (style >= 0 && style <= 6) d->drawStyle = style;
}
int Surface::drawWidth() const { return d->drawWidth; }
void Surface::setDrawWidth(int width) { d->drawWidth = width; }
int Surface::borderStyle() const { return d->borderStyle; }
void Surface::setBorderStyle(int style) {
  if (style == d->borderStyle) return;
  d->borderStyle = style;
  d->notifyChanged();
}

// --- persistent image and background picture ----------------------------------

void Surface::cls() {
  d->repaintFromPicture();
  d->cx = 0;
  d->cy = 0;
  d->notifyChanged();
}

void Surface::setPicture(const QImage& picture) {
  d->follows = false;
  d->tracking = false;
  d->saved.clear();
  d->savedArea = 0;
  d->picture = picture;
}

void Surface::clearPicture() { setPicture(QImage()); }

bool Surface::hasPicture() const { return d->tracking || !d->picture.isNull(); }

QImage Surface::picture() const {
  d->materializePicture();
  return d->picture;
}

const QImage& Surface::image() const { return d->image; }

void Surface::pictureFollowsDrawing() { d->follows = true; }

void Surface::makeImagePicture() {
  d->follows = false;
  d->picture = QImage();
  d->tracking = true;
  d->saved.clear();
  d->savedArea = 0;
}

// --- drawing ---------------------------------------------------------------

// Saves what a line will cover piece by piece: the bounding box of a long
// diagonal would be most of the image. Only the part of the line near the
// image is walked, so a far-away end costs nothing extra.
void Surface::Impl::saveAlongLine(qint64 x0, qint64 y0, qint64 x1, qint64 y1, qint64 reach) {
  if (!tracking || follows) return;
  const double dx = double(x1 - x0), dy = double(y1 - y0);
  double t0 = 0, t1 = 1;
  auto clip = [&](double p, double q) {  // Liang-Barsky: keep p*t <= q
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      t0 = std::max(t0, r);
    } else {
      t1 = std::min(t1, r);
    }
    return t0 <= t1;
  };
  const double lo = -double(reach), hiX = double(w + reach), hiY = double(h + reach);
  if (!clip(-dx, double(x0) - lo) || !clip(dx, hiX - double(x0)) || !clip(-dy, double(y0) - lo) ||
      !clip(dy, hiY - double(y0))) {
    return;
  }
  constexpr double kPiece = 48;
  const double n = std::max({std::abs(dx), std::abs(dy), 1.0});
  const double step = kPiece / n;
  for (double a = t0; a <= t1 && tracking; a += step) {
    const double b = std::min(t1, a + step);
    const double xa = double(x0) + dx * a, xb = double(x0) + dx * b;
    const double ya = double(y0) + dy * a, yb = double(y0) + dy * b;
    aboutToDraw(rectFrom(qint64(std::floor(std::min(xa, xb))) - reach,
                         qint64(std::floor(std::min(ya, yb))) - reach,
                         qint64(std::ceil(std::max(xa, xb))) + reach,
                         qint64(std::ceil(std::max(ya, yb))) + reach));
    if (b >= t1) break;
  }
}

void Surface::line(double x1, double y1, double x2, double y2, Colour c) {
  if (!finite(x1, y1, x2, y2) || d->drawStyle == 5) return;
  const qint64 px0 = toGrid(x1, d->rx()), py0 = toGrid(y1, d->ry());
  const qint64 px1 = toGrid(x2, d->rx()), py1 = toGrid(y2, d->ry());
  const int width = std::clamp(d->drawWidth, 1, 2 * kMaxSidePx);
  d->saveAlongLine(px0, py0, px1, py1, width / 2 + 1);
  if (width == 1) {
    thinLine(d->image, px0, py0, px1, py1, toPixel(c), dashesFor(d->drawStyle));
  } else {
    // Wide pens draw solid whatever the pattern, with round ends.
    QPainter p(&d->image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(toQColor(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (px0 == px1 && py0 == py1) {
      p.setPen(Qt::NoPen);
      p.setBrush(toQColor(c));
      // A wide dot: Qt draws nothing for a zero-length line.
      p.drawEllipse(QRect(int(px0) - width / 2, int(py0) - width / 2, width, width));
    } else {
      p.drawLine(QPointF(double(px0), double(py0)), QPointF(double(px1), double(py1)));
    }
  }
  const qint64 reach = width / 2 + 2;
  d->notifyChanged(rectFrom(std::min(px0, px1) - reach, std::min(py0, py1) - reach,
                            std::max(px0, px1) + reach, std::max(py0, py1) + reach));
}

namespace {

// Pixel rectangle of a box: the first corner's cell start to the last
// corner's cell end, so that boxes on an enlarged board still tile.
QRect boxPixels(double x1, double y1, double x2, double y2, double rx, double ry) {
  const qint64 l = toGrid(std::min(x1, x2), rx), t = toGrid(std::min(y1, y2), ry);
  const qint64 r = std::max(l, toGrid(std::max(x1, x2) + 1, rx) - 1);
  const qint64 b = std::max(t, toGrid(std::max(y1, y2) + 1, ry) - 1);
  return rectFrom(l, t, r, b);
}

}  // namespace

void Surface::box(double x1, double y1, double x2, double y2, Colour c) {
  if (!finite(x1, y1, x2, y2)) return;
  const QRect r = boxPixels(x1, y1, x2, y2, d->rx(), d->ry());
  const int width = std::clamp(d->drawWidth, 1, 2 * kMaxSidePx);
  const bool outlined = d->drawStyle != 5;
  // A centred pen reaches out by half its width; an inside pen stays in.
  const int outward = (!outlined || d->drawStyle == 6) ? 0 : width / 2;
  const int inward = outlined ? width - outward : 0;
  const QRect outer = r.adjusted(-outward, -outward, outward, outward);
  d->aboutToDraw(outer);

  const QRect inner = r.adjusted(inward, inward, -inward, -inward);
  if (d->fillStyle == 0) {
    solidRect(d->image, inner, toPixel(d->fill));
  } else if (d->fillStyle != 1 && !inner.isEmpty()) {
    QPainter p(&d->image);
    p.setBackgroundMode(Qt::TransparentMode);
    p.fillRect(inner, QBrush(toQColor(d->fill), brushFor(d->fillStyle)));
  }

  if (outlined) {
    const QRgb px = toPixel(c);
    if (width == 1) {
      const Dashes dashes = dashesFor(d->drawStyle);
      QImage& img = d->image;
      thinLine(img, r.left(), r.top(), r.right(), r.top(), px, dashes);
      thinLine(img, r.right(), r.top(), r.right(), r.bottom(), px, dashes);
      thinLine(img, r.right(), r.bottom(), r.left(), r.bottom(), px, dashes);
      thinLine(img, r.left(), r.bottom(), r.left(), r.top(), px, dashes);
    } else if (outer.width() <= 2 * width || outer.height() <= 2 * width) {
      solidRect(d->image, outer, px);
    } else {
      solidRect(d->image, QRect(outer.left(), outer.top(), outer.width(), width), px);
      solidRect(d->image, QRect(outer.left(), outer.bottom() - width + 1, outer.width(), width), px);
      solidRect(d->image, QRect(outer.left(), outer.top(), width, outer.height()), px);
      solidRect(d->image, QRect(outer.right() - width + 1, outer.top(), width, outer.height()), px);
    }
  }
  d->notifyChanged(outer);
}

void Surface::filledBox(double x1, double y1, double x2, double y2, Colour c) {
  if (!finite(x1, y1, x2, y2)) return;
  const QRect r = boxPixels(x1, y1, x2, y2, d->rx(), d->ry());
  d->aboutToDraw(r);
  solidRect(d->image, r, toPixel(c));
  d->notifyChanged(r);
}

void Surface::paintPicture(const QImage& picture, double x, double y, double w, double h) {
  if (picture.isNull() || !finite(x, y, w, h)) return;
  const qint64 l = toGrid(x, d->rx()), t = toGrid(y, d->ry());
  const qint64 pw = toGrid(w, d->rx()), ph = toGrid(h, d->ry());
  if (pw < 1 || ph < 1) return;
  const QRect target = rectFrom(l, t, l + pw - 1, t + ph - 1);
  if (!target.intersects(d->image.rect())) return;
  d->aboutToDraw(target);
  if (target.size() == picture.size() && picture.format() == QImage::Format_RGB32) {
    // Opaque pixels of the image's own format are copied line by line (what
    // a painter does, without its setting up: a GIF frame each tick).
    const QRect r = target.intersected(d->image.rect());
    for (int zeile = r.top(); zeile <= r.bottom(); ++zeile) {
      const auto* von = reinterpret_cast<const QRgb*>(picture.constScanLine(zeile - target.top())) + (r.left() - target.left());
      std::copy(von, von + r.width(), reinterpret_cast<QRgb*>(d->image.scanLine(zeile)) + r.left());
    }
  } else {
    QPainter p(&d->image);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (target.size() == picture.size()) {
      p.drawImage(target.topLeft(), picture);
    } else {
      p.drawImage(target, picture);
    }
  }
  d->notifyChanged(target);
}

bool Surface::swapImage(QImage& picture) {
  if (picture.size() != d->image.size() || picture.format() != QImage::Format_RGB32) return false;
  const QRect alles = d->image.rect();
  d->aboutToDraw(alles);
  d->image.swap(picture);
  d->notifyChanged(alles);
  return true;
}

}  // namespace vrd4::platform
