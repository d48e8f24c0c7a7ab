#pragma once
// The text-effect control: a child of the display surface with a surface of
// its own, shown opaque (back style 1) or with only the pixels that differ
// from the mask colour in its mask picture (back style 0). No timing of its
// own: the blinking and scrolling ticks drive it.
#include <QString>
#include <cstdint>

#include "platform/Surface.h"

namespace vrd4::render {

class CtlLTundBK {
 public:
  // A hidden child of parent at (0, 0), 1 × 1 pixels.
  explicit CtlLTundBK(platform::Surface& parent);
  ~CtlLTundBK();  // picture none, cleared, detached
  CtlLTundBK(const CtlLTundBK&) = delete;
  CtlLTundBK& operator=(const CtlLTundBK&) = delete;

  platform::Surface& surface();

  // Placement on the parent (pixels) and visibility.
  // The pixels are the parent's scale units, as for any child of a picture
  // box: equal to its pixels unless the board is enlarged (full screen).
  // move throws std::invalid_argument for a negative size and
  // std::length_error for one too large to hold. The placement reads back
  // as it was given, whatever pixels it came to: the same field is the same
  // place at every scale.
  void move(int left, int top, int width, int height);
  int left() const;
  int top() const;
  int width() const;
  int height() const;
  void setVisible(bool on);
  bool visible() const;

  // Properties of the control (each reads/writes its surface).
  // A scale width or height below 1 throws std::invalid_argument.
  bool AutoRedraw = true;
  platform::Colour BackColor() const;
  void setBackColor(platform::Colour c);
  int BackStyle() const;
  void setBackStyle(int s);
  int BorderStyle() const;
  void setBorderStyle(int s);
  int32_t CurrentX() const;  // rounded halves to even
  void setCurrentX(int32_t x);
  int32_t CurrentY() const;
  void setCurrentY(int32_t y);
  platform::Colour Fillcolor() const;
  void setFillcolor(platform::Colour c);
  QString Font() const;
  void setFont(const QString& name);
  bool Fontbold() const;
  void setFontbold(bool on);
  bool FontItalic() const;
  void setFontItalic(bool on);
  QString FontName() const;
  void setFontName(const QString& name);
  int32_t FontSize() const;  // whole points: the surface's size rounded
  void setFontSize(int32_t points);
  bool FontStrikethru() const;
  void setFontStrikethru(bool on);
  bool FontTransparent() const;
  void setFontTransparent(bool on);
  bool FontUnderline() const;
  void setFontUnderline(bool on);
  platform::Colour ForeColor() const;
  void setForeColor(platform::Colour c);
  int32_t Height() const;
  void setHeight(int32_t h);
  platform::Colour MaskColor() const;
  void setMaskColor(platform::Colour c);
  int32_t ScaleHeight() const;
  void setScaleHeight(int32_t h);
  int32_t ScaleWidth() const;
  void setScaleWidth(int32_t w);
  int32_t TextHeight(const QString& text) const;  // rounded halves to even
  int32_t TextWidth(const QString& text) const;
  int32_t Width() const;
  void setWidth(int32_t w);

  void PrintText(const QString& text);
  void Cls();               // picture none, cleared to BackColor, position (0, 0)
  void SetzeMaskPicture();  // mask picture := persistent image

 private:
  struct Platz {
    int left = 0, top = 0, width = 1, height = 1;
  };
  platform::Surface surface_;
  Platz platz_;
};

}  // namespace vrd4::render
