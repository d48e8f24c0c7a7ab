#pragma once
// The state behind a Surface, shared by the Surface*.cpp files only.
#include "platform/Surface.h"

#include <QFontMetricsF>
#include <QRect>

#include <optional>
#include <utility>

namespace vrd4::platform {

// Largest side of a surface in pixels: an 8K board fits, a bad size cannot
// eat the memory.
inline constexpr int kMaxSidePx = 8192;
// Largest font in pixels; beyond that glyph rendering gets slow and huge.
inline constexpr int kMaxFontPx = Surface::kMaxFontPx;

inline QRgb toPixel(Colour c) {
  return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// The screen-font names for a font database that lists these families:
// each family, its plain name where it is listed with a foundry
// ("Nimbus Sans [urw]" also gives "Nimbus Sans"), and the Windows names that
// fontconfig maps to a metric-compatible face.
std::vector<QString> screenFontNamesFrom(const QStringList& families);

// What s shows composed from scratch, ignoring every cached part: the
// reference the damage-tracked presented() must equal.
QImage composedFromScratch(const Surface& s);

struct Surface::Impl {
  explicit Impl(Surface* owner) : q(owner) {}

  Surface* q;
  int w = 1, h = 1;
  bool scaleSet = false;
  double sw = 1, sh = 1;

  Colour back = 0x000000, fore = 0xFFFFFF, fill = 0x000000;
  int fillStyle = 1, drawStyle = 0, drawWidth = 1, borderStyle = 0;

  QImage image;  // Format_RGB32, always w x h

  // Background picture. Every drawing ends with "the image becomes the
  // picture", so copying the image each time would dominate drawing. Instead
  // `tracking` says the picture is the image as it was then; before a later
  // drawing touches the image, the touched rectangles are saved in `saved`,
  // from which the real picture can be rebuilt when someone needs it.
  QImage picture;  // an explicit picture (when !tracking); null: none
  bool tracking = false;
  bool follows = false;  // pictureFollowsDrawing: nothing to save until makeImagePicture
  std::vector<std::pair<QRect, QImage>> saved;
  qint64 savedArea = 0;

  // Text state.
  QString fontName = QStringLiteral("Arial");
  int fontPx = 11;  // 8.25 points
  bool bold = false, italic = false, underline = false, strike = false;
  bool fontTransparent = true;
  double cx = 0, cy = 0;
  mutable std::optional<QFont> qfont;
  mutable std::optional<QFontMetricsF> fm;

  // Presentation.
  Surface* parent = nullptr;
  std::vector<Surface*> children;
  int left = 0, top = 0;
  bool visible = true;
  int backStyle = 1;
  Colour maskColor = 0;
  QImage mask;  // RGB32; null: none
  std::function<void(const QRect&)> changed;
  // The image with the children over it. Kept between presentations: what
  // changed since the last one is listed in `damage` (pixels of this
  // surface) and recomposed alone; composedValid false recomposes all.
  mutable QImage composed;
  mutable bool composedValid = false;
  mutable std::vector<QRect> damage;
  // What a see-through child (back style 0) shows over its parent; an opaque
  // child is drawn from its presented() directly.
  mutable QImage overlay;
  mutable bool overlayValid = false;

  // --- helpers ---------------------------------------------------------
  double rx() const { return w / sw; }
  double ry() const { return h / sh; }
  // Before pixels inside r change: keeps the background picture exact.
  void aboutToDraw(QRect r);
  // The same for the pixels a line with pen reach `reach` may cover.
  void saveAlongLine(qint64 x0, qint64 y0, qint64 x1, qint64 y1, qint64 reach);
  // Turns a tracked picture into a real one.
  void materializePicture();
  // Clears the image to the back colour and draws the picture over it.
  void repaintFromPicture();
  // After what presented() shows has changed inside r (pixels of this
  // surface; the whole surface without r): the parents learn it too.
  void notifyChanged();
  void notifyChanged(QRect r);
  // r (pixels of this surface) needs recomposing.
  void addDamage(const QRect& r) const;
  // Where this surface lies on its parent.
  QRect rectInParent() const { return QRect(left, top, w, h); }
  void invalidateFont() {
    qfont.reset();
    fm.reset();
  }
  const QFont& realisedFont() const;
  const QFontMetricsF& metrics() const;
};

}  // namespace vrd4::platform
