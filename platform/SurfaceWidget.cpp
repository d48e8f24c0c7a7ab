#include "platform/SurfaceWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace vrd4::platform {

namespace {
constexpr int kMaxGathered = 16;
}  // namespace

SurfaceWidget::SurfaceWidget(Surface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  // Every pixel is painted from the image; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  lastSize_ = sizeHint();
  surface_.setChangedCallback([this](const QRect& r) { surfaceChanged(r); });
}

SurfaceWidget::~SurfaceWidget() { surface_.setChangedCallback({}); }

int SurfaceWidget::frameWidthPx() const { return surface_.borderStyle() != 0 ? 1 : 0; }

QSize SurfaceWidget::sizeHint() const {
  const int f = frameWidthPx();
  return QSize(surface_.widthPx() + 2 * f, surface_.heightPx() + 2 * f);
}

void SurfaceWidget::surfaceChanged(const QRect& r) {
  const QSize now = sizeHint();
  if (now != lastSize_) {
    lastSize_ = now;
    updateGeometry();
    update();
    return;
  }
  // Coalesced by Qt: many drawings in one tick cost one paint of their union.
  const int f = frameWidthPx();
  if (held_ == 0) return update(r.translated(f, f));
  gathered_ += r.translated(f, f);
  // Many scattered drawings: their bounding box paints faster than the pieces.
  if (gathered_.rectCount() > kMaxGathered) gathered_ = gathered_.boundingRect();
}

void SurfaceWidget::holdUpdates() { ++held_; }

void SurfaceWidget::releaseUpdates() {
  if (held_ == 0 || --held_ > 0 || gathered_.isEmpty()) return;
  update(gathered_);
  gathered_ = QRegion();
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const int f = frameWidthPx();
  const QImage shown = surface_.presented();
  const QRect target(f, f, shown.width(), shown.height());
  const QRect dirty = event->rect();
  // Outside the board (a widget larger than the surface) stays the back colour.
  const QRegion outside = QRegion(rect()).subtracted(QRegion(target));
  for (const QRect& r : outside) {
    if (r.intersects(dirty)) p.fillRect(r, toQColor(surface_.backColor()));
  }
  // Only the changed parts travel to the screen. Each is clipped to itself:
  // under a clip of several rectangles (two animations changing in one tick)
  // Qt draws the image span by span on its thread pool, which costs more
  // than the copy; under one rectangle it copies the lines.
  for (const QRect& r : event->region()) {
    const QRect part = target.intersected(r);
    if (part.isEmpty()) continue;
    p.setClipRect(part);
    p.drawImage(part.topLeft(), shown, part.translated(-f, -f));
  }
  p.setClipping(false);
  if (f > 0) {
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, target.width() + 1, target.height() + 1));
  }
}

}  // namespace vrd4::platform
