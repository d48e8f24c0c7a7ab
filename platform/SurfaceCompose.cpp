// Child surfaces lying over their parent, and what the screen shows.
#include "platform/SurfacePrivate.h"

#include <QPainter>

#include <algorithm>

namespace vrd4::platform {

void Surface::Impl::notifyChanged() {
  // Walk up by hand: a deep chain of children must not recurse deeply.
  Impl* at = this;
  while (at) {
    at->composedValid = false;
    at->overlayValid = false;
    if (at->changed) at->changed();
    Impl* up = at->parent ? at->parent->d : nullptr;
    if (up && !at->visible) break;
    at = up;
  }
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
    if (d->visible) old->d->notifyChanged();
  }
  if (parent) {
    parent->d->children.push_back(this);
    d->parent = parent;
    if (d->visible) parent->d->notifyChanged();
  }
}

Surface* Surface::parentSurface() const { return d->parent; }
const std::vector<Surface*>& Surface::children() const { return d->children; }
int Surface::left() const { return d->left; }
int Surface::top() const { return d->top; }

void Surface::move(int leftPx, int topPx) {
  if (leftPx == d->left && topPx == d->top) return;
  d->left = leftPx;
  d->top = topPx;
  if (d->visible && d->parent) d->parent->d->notifyChanged();
}

bool Surface::visible() const { return d->visible; }
void Surface::setVisible(bool on) {
  if (on == d->visible) return;
  d->visible = on;
  if (d->parent) d->parent->d->notifyChanged();
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

void Surface::setChangedCallback(std::function<void()> cb) { d->changed = std::move(cb); }

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

}  // namespace

QImage Surface::presented() const {
  if (d->composedValid) return d->composed;
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
    return d->image;
  }
  {
    QImage out = d->image.copy();
    QPainter p(&out);
    for (const Surface* c : d->children) {
      const Impl& k = *c->d;
      if (!k.visible) continue;
      if (!k.overlayValid) {
        k.overlay = k.backStyle == 1 ? c->presented() : maskedOverlay(c->presented(), k.mask, k.maskColor);
        k.overlayValid = true;
      }
      p.drawImage(k.left, k.top, k.overlay);
    }
    p.end();
    d->composed = std::move(out);
  }
  d->composedValid = true;
  return d->composed;
}

}  // namespace vrd4::platform
