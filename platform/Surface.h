#pragma once
// A picture box: the display surface `picVRD4Empfang`, the text-effect
// controls' own surfaces and the auxiliary picture boxes are all Surfaces.
//
// A Surface draws into a QImage (its persistent image) and needs no display
// (works under QT_QPA_PLATFORM=offscreen). A SurfaceWidget shows it on
// screen. Coordinates passed to drawing and text operations are in scale
// units: by default the scale equals the pixel size (one unit = one pixel);
// setScale() over a larger pixel size enlarges every later drawing (full
// screen). Positions are 0-based. Lines and boxes are drawn without
// anti-aliasing, pixel-exact: a line from (x1,y1) to (x2,y2) includes both
// ends, a box covers both corners.
//
// Colours are 0x00BBGGRR (red in the low byte).
//
// Child surfaces (the text-effect and animation controls) lie over their
// parent at (left, top) pixels when visible. A child with back style 1 shows
// its whole image; with back style 0 only the pixels whose place in its mask
// picture differs from its mask colour; elsewhere the parent shows through.
// presented() composes the parent's image with its visible children: what
// the screen shows. Every change records the rectangle it touched; the next
// presented() recomposes only those rectangles (the pixels are the same as a
// full composition) and the changed callback names them, so that a widget
// repaints only what changed.
//
// Not thread-safe; used from the GUI thread only. Operations never throw
// except where noted. Text operations need a QGuiApplication.
//
// Scale units to pixels: a position x lies at pixel round(x × widthPx /
// scaleWidth) (likewise vertically); line ends are such positions, while a
// box spans its corner units' whole cells, so boxes tile an enlarged board.
// Sizes are clamped to 1..8192 pixels a side and font sizes to 4096 pixels;
// non-finite coordinates draw nothing.
//
// A new surface: back colour black, fore colour white, fill colour black,
// fill pattern 1, line pattern 0, pen width 1, border 0, font "Arial" 8.25
// points, transparent font, visible, back style 1, mask colour black, no
// mask picture, no background picture. A child's border style is not drawn
// when it is composed over its parent.
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vrd4::platform {

using Colour = uint32_t;  // 0x00BBGGRR
QColor toQColor(Colour c);
Colour fromQColor(const QColor& c);

class Surface {
 public:
  // Logical DPI of every surface: font sizes are points at this DPI.
  static constexpr double kDpi = 96.0;
  // The largest font in pixels; larger sizes are realised as this one.
  static constexpr int kMaxFontPx = 4096;

  explicit Surface(int widthPx = 768, int heightPx = 480);
  ~Surface();  // detaches from parent and children
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // --- size and scale ---------------------------------------------------
  // Resizes the persistent image; what was drawn stays at the top-left, new
  // area takes the background colour. The scale follows the new pixel size
  // unless a scale was set explicitly with setScale (then it is kept).
  void resize(int widthPx, int heightPx);
  int widthPx() const;
  int heightPx() const;
  // Scale width/height in units over the pixel size (> 0; others ignored).
  void setScale(double scaleWidth, double scaleHeight);
  void resetScale();  // scale := pixel size
  double scaleWidth() const;
  double scaleHeight() const;

  // --- colours, pens, patterns --------------------------------------------
  Colour backColor() const;
  // Clears the persistent image to c and draws the background picture (if
  // any) over it at the top-left.
  void setBackColor(Colour c);
  Colour foreColor() const;
  void setForeColor(Colour c);
  Colour fillColor() const;
  void setFillColor(Colour c);
  // 0 solid, 1 transparent (default), 2 horizontal, 3 vertical, 4 upward
  // diagonal, 5 downward diagonal, 6 cross, 7 diagonal cross. Others ignored.
  int fillStyle() const;
  void setFillStyle(int style);
  // 0 solid (default), 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot,
  // 5 transparent, 6 inside solid. Others ignored.
  int drawStyle() const;
  void setDrawStyle(int style);
  // Pen width in pixels; values below 1 draw as 1.
  int drawWidth() const;
  void setDrawWidth(int width);
  // 0 none, 1 fixed single (a 1-pixel frame the widget paints around the
  // image); other values are kept but draw as 1.
  int borderStyle() const;
  void setBorderStyle(int style);

  // --- persistent image and background picture -----------------------------
  // Persistent image := background colour with the background picture drawn
  // over it at the top-left; text position := (0, 0).
  void cls();
  void setPicture(const QImage& picture);  // the background picture
  void clearPicture();                      // no background picture
  bool hasPicture() const;
  QImage picture() const;  // null when none
  const QImage& image() const;  // the persistent image (pixels)
  // Background picture := persistent image ("what was drawn survives").
  void makeImagePicture();
  // Announces that makeImagePicture follows the drawings made from now on
  // before anything else reads or uses the picture: they then skip keeping
  // the picture as it was (most of a short line's cost). Ends with
  // makeImagePicture.
  void pictureFollowsDrawing();

  // --- drawing (scale units, colour given) ----------------------------------
  void line(double x1, double y1, double x2, double y2, Colour c);
  // Outline in c with the pen width and line pattern; inside filled with the
  // fill colour in the fill pattern (nothing under pattern 1).
  void box(double x1, double y1, double x2, double y2, Colour c);
  // Wholly in c, both corners included.
  void filledBox(double x1, double y1, double x2, double y2, Colour c);
  // Paints picture scaled into the rectangle (x, y, w, h) (scale units).
  void paintPicture(const QImage& picture, double x, double y, double w, double h);
  // Shows picture as the whole image, as paintPicture over the whole surface
  // would, by exchanging the pixels instead of copying them: picture then
  // holds the former image. Only for a Format_RGB32 picture of the surface's
  // pixel size; false and nothing changed otherwise.
  bool swapImage(QImage& picture);

  // --- text -----------------------------------------------------------------
  QString fontName() const;
  void setFontName(const QString& name);
  // Points at kDpi. The size in force is the requested size realised on the
  // pixel grid: pixel height = round(points × kDpi / 72), at least 1; the
  // size read back is that pixel height × 72 / kDpi.
  double fontSize() const;
  void setFontSize(double points);
  bool fontBold() const;
  void setFontBold(bool on);
  bool fontItalic() const;
  void setFontItalic(bool on);
  bool fontUnderline() const;
  void setFontUnderline(bool on);
  bool fontStrikethru() const;
  void setFontStrikethru(bool on);
  // Transparent: print draws only the glyphs; opaque also fills the text's
  // cell with the background colour.
  bool fontTransparent() const;
  void setFontTransparent(bool on);
  QFont font() const;  // the realised font

  double currentX() const;
  double currentY() const;
  void setCurrentX(double x);
  void setCurrentY(double y);
  // Prints text as one line with its cell's top-left at the current position
  // in the foreground colour; afterwards CurrentX is at the text's end.
  void print(const QString& text);
  // Width and height of text in the current font, in scale units (height is
  // the font's line height: ascent + descent).
  double textWidth(const QString& text) const;
  double textHeight(const QString& text) const;

  // --- presentation as a child of another surface ------------------------
  void setParentSurface(Surface* parent);  // nullptr: no parent
  Surface* parentSurface() const;
  const std::vector<Surface*>& children() const;
  int left() const;
  int top() const;
  void move(int leftPx, int topPx);
  bool visible() const;
  void setVisible(bool on);
  int backStyle() const;  // 0 transparent, 1 opaque (default)
  void setBackStyle(int style);
  Colour maskColor() const;
  void setMaskColor(Colour c);
  void setMaskPicture(const QImage& mask);
  // Mask picture := persistent image.
  void makeImageMaskPicture();

  // The image with every visible child composed over it (recursively), at
  // this surface's pixel size: what the screen shows. Shares its pixels with
  // the surface: a caller that keeps the result makes the next change copy
  // the whole board, so let it go after use.
  QImage presented() const;

  // Called after anything that changes what presented() returns (on this
  // surface or a child) with the changed rectangle in this surface's pixels
  // (possibly larger than what changed, never smaller); the widget repaints
  // that. Empty by default.
  void setChangedCallback(std::function<void(const QRect&)> cb);

 private:
  friend QImage composedFromScratch(const Surface& s);
  struct Impl;
  Impl* d;
};

// Names of the screen fonts (families fontconfig knows), plus "Arial",
// "Times New Roman" and "Courier New" when fontconfig maps them to an
// installed metric-compatible face. Computed once.
const std::vector<QString>& screenFontNames();

}  // namespace vrd4::platform
