#pragma once
// Shows a Surface on screen: paints surface.presented() 1:1 at the top-left
// (inside a 1-pixel frame when the surface's border style is not 0) and
// repaints the rectangle the surface reports changed (all of it when its
// size changed).
//
// The widget takes the surface's changed callback for itself and gives it
// back (empty) when destroyed. It does not own the surface, which must
// outlive it.
#include <QWidget>

#include "platform/Surface.h"

namespace vrd4::platform {

class SurfaceWidget : public QWidget {
  Q_OBJECT
 public:
  explicit SurfaceWidget(Surface& surface, QWidget* parent = nullptr);
  ~SurfaceWidget() override;
  SurfaceWidget(const SurfaceWidget&) = delete;
  SurfaceWidget& operator=(const SurfaceWidget&) = delete;

  Surface& surface() const { return surface_; }
  // Width of the frame in pixels: 1 when the border style is not 0.
  int frameWidthPx() const;
  // The surface's pixel size plus the frame.
  QSize sizeHint() const override;

  // Between holdUpdates and releaseUpdates (nested pairs count as one) the
  // changed rectangles are gathered and asked to be repainted at the
  // outermost release: a round of many drawings paints once.
  void holdUpdates();
  void releaseUpdates();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void surfaceChanged(const QRect& r);

  Surface& surface_;
  QSize lastSize_;
  int held_ = 0;
  QRegion gathered_;
};

}  // namespace vrd4::platform
