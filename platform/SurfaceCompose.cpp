// Child surfaces lying over their parent, and what the screen shows.
#include "platform/SurfacePrivate.h"

#include <QPainter>
#include <QtGlobal>

#include <algorithm>
#include <functional>
#include <span>

namespace vrd4::platform {

void Surface::Impl::notifyChanged() { notifyChanged(QRect(0, 0, w, h)); }

namespace {
// VRD4_GANZ_NEU_ZEICHNEN=1 turns the damage tracking off: every change
// recomposes and repaints whole surfaces, so that a benchmark can show what
// the tracking saves.
bool ganzNeu() {
  static const bool an = qEnvironmentVariableIntValue("VRD4_GANZ_NEU_ZEICHNEN") == 1;
  return an;
}
}  // namespace

void Surface::Impl::notifyChanged(QRect r) {
  // Walk up by hand: a deep chain of children must not recurse deeply.
  const Impl* at = this;
  r = r.intersected(QRect(0, 0, w, h));
  while (at) {
    at->overlayValid = false;
    if (r.isEmpty()) break;
    if (ganzNeu()) {
      r = QRect(0, 0, at->w, at->h);
      at->composedValid = false;
    }
    at->addDamage(r);
    if (at->changed) at->changed(r);
    const Impl* up = at->parent ? at->parent->d : nullptr;
    if (!up || !at->visible) break;
    r = r.translated(at->left, at->top).intersected(QRect(0, 0, up->w, up->h));
    at = up;
  }
}

void Surface::Impl::addDamage(const QRect& r) const {
  if (!composedValid) return;  // all is recomposed anyway
  // Few rectangles, each recomposed once: a rectangle inside another is
  // dropped, and past a handful they merge into their bounding box.
  constexpr std::size_t kMaxRects = 16;
  for (QRect& d : damage) {
    if (d.contains(r)) return;
    if (r.contains(d)) {
      d = r;
      return;
    }
  }
  if (damage.size() < kMaxRects) {
    damage.push_back(r);
    return;
  }
  QRect all = r;
  for (const QRect& d : damage) all = all.united(d);
  damage.assign(1, all);
}

void Surface::setParentSurface(Surface* parent) {
  if (parent == d->parent || parent == this) return;
  // Refuse cycles: a surface cannot lie over one of its own descendants.
  for (Surface* up = parent; up; up = up->d->parent) {
    if (up == this) return;
  }
  if (Surface* old = d->parent) {
    auto& siblings = old->d->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    d->parent = nullptr;
    if (d->visible) old->d->notifyChanged(d->rectInParent());
  }
  if (parent) {
    parent->d->children.push_back(this);
    d->parent = parent;
    d->overlayValid = false;
    if (d->visible) parent->d->notifyChanged(d->rectInParent());
  }
}

Surface* Surface::parentSurface() const { return d->parent; }
const std::vector<Surface*>& Surface::children() const { return d->children; }
int Surface::left() const { return d->left; }
int Surface::top() const { return d->top; }

void Surface::move(int leftPx, int topPx) {
  if (leftPx == d->left && topPx == d->top) return;
  const QRect vorher = d->rectInParent();
  d->left = leftPx;
  d->top = topPx;
  if (d->visible && d->parent) {
    d->parent->d->notifyChanged(vorher);
    d->parent->d->notifyChanged(d->rectInParent());
  }
}

bool Surface::visible() const { return d->visible; }
void Surface::setVisible(bool on) {
  if (on == d->visible) return;
  d->visible = on;
  d->overlayValid = false;
  if (d->parent) d->parent->d->notifyChanged(d->rectInParent());
}

int Surface::backStyle() const { return d->backStyle; }
void Surface::setBackStyle(int style) {
  if ((style != 0 && style != 1) || style == d->backStyle) return;
  d->backStyle = style;
  d->notifyChanged();
}

Colour Surface::maskColor() const { return d->maskColor; }
void Surface::setMaskColor(Colour c) {
  if (c == d->maskColor) return;
  d->maskColor = c;
  if (d->backStyle == 0) d->notifyChanged();
}

void Surface::setMaskPicture(const QImage& mask) {
  d->mask = mask.isNull() || mask.format() == QImage::Format_RGB32
                ? mask
                : mask.convertToFormat(QImage::Format_RGB32);
  if (d->backStyle == 0) d->notifyChanged();
}

void Surface::makeImageMaskPicture() { setMaskPicture(d->image); }

void Surface::setChangedCallback(std::function<void(const QRect&)> cb) { d->changed = std::move(cb); }

namespace {

// The pixels of a see-through child that show: opaque where the mask differs
// from the mask colour, fully transparent elsewhere and outside the mask.
QImage maskedOverlay(const QImage& shown, const QImage& mask, Colour maskColor) {
  QImage out(shown.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  if (mask.isNull()) return out;
  const QRgb key = toPixel(maskColor) & 0x00FFFFFFu;
  const int w = std::min(shown.width(), mask.width());
  const int h = std::min(shown.height(), mask.height());
  for (int y = 0; y < h; ++y) {
    const QRgb* m = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
    const QRgb* s = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
    QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      if ((m[x] & 0x00FFFFFFu) != key) o[x] = s[x] | 0xFF000000u;
    }
  }
  return out;
}

// Draws the visible children of `p`'s surface over its pixels inside r.
void drawChildren(QPainter& p, std::span<Surface* const> children, const QRect& r,
                  const std::function<QImage(const Surface*)>& shown) {
  for (const Surface* c : children) {
    if (!c->visible()) continue;
    const QRect bereich = QRect(c->left(), c->top(), c->widthPx(), c->heightPx()).intersected(r);
    if (bereich.isEmpty()) continue;
    const QImage bild = shown(c);
    p.drawImage(bereich.topLeft(), bild, bereich.translated(-c->left(), -c->top()));
  }
}

}  // namespace

QImage Surface::presented() const {
  bool any = false;
  for (const Surface* c : d->children) {
    if (c->d->visible) {
      any = true;
      break;
    }
  }
  if (!any) {
    // Not cached: a second reference would make the next drawing copy the
    // whole image.
    d->composed = QImage();
    d->composedValid = false;
    d->damage.clear();
    return d->image;
  }
  if (d->composedValid && d->damage.empty()) return d->composed;
  // An opaque child shows its presented() as it is (shared, not copied); a
  // see-through one its masked overlay, made again only after it changed.
  const auto shown = [](const Surface* c) -> QImage {
    const Impl& k = *c->d;
    if (k.backStyle == 1) return c->presented();
    if (!k.overlayValid) {
      k.overlay = maskedOverlay(c->presented(), k.mask, k.maskColor);
      k.overlayValid = true;
    }
    return k.overlay;
  };
  if (!d->composedValid || d->composed.size() != d->image.size()) {
    d->composed = d->image.copy();
    QPainter p(&d->composed);
    drawChildren(p, d->children, d->composed.rect(), shown);
  } else {
    // An opaque child over all of a rectangle hides the image and the
    // children beneath it there (an animation's frame).
    const auto verdeckt = [&](const QRect& r) {
      std::size_t ab = 0;
      for (std::size_t i = 0; i < d->children.size(); ++i) {
        const Impl& k = *d->children[i]->d;
        if (k.visible && k.backStyle == 1 && k.rectInParent().contains(r)) ab = i + 1;
      }
      return ab;
    };
    QPainter p(&d->composed);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : d->damage)
      if (verdeckt(r) == 0) p.drawImage(r.topLeft(), d->image, r);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QRect& r : d->damage) {
      const std::size_t ab = verdeckt(r);
      drawChildren(p, std::span(d->children).subspan(ab == 0 ? 0 : ab - 1), r, shown);
    }
  }
  d->damage.clear();
  d->composedValid = true;
  return d->composed;
}

QImage composedFromScratch(const Surface& s) {
  QImage out = s.image().copy();
  QPainter p(&out);
  drawChildren(p, s.children(), out.rect(), [](const Surface* c) {
    const QImage bild = composedFromScratch(*c);
    return c->backStyle() == 1 ? bild : maskedOverlay(bild, c->d->mask, c->maskColor());
  });
  return out;
}

}  // namespace vrd4::platform
