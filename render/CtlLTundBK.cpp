#include "render/CtlLTundBK.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "support/Numbers.h"

namespace vrd4::render {

namespace {

// Twenty controls live at once; one of this size holds a full-screen 4K
// field, and a nonsense size cannot take the memory of the others.
constexpr double kMaxPixel = 4096.0 * 4096.0;
constexpr int kMaxSeite = 8192;

[[noreturn]] void ungueltigesArgument() {
  throw std::invalid_argument("Ungültiger Prozeduraufruf oder ungültiges Argument");
}
[[noreturn]] void ungueltigerWert() { throw std::invalid_argument("Ungültiger Eigenschaftswert"); }

// Placement is in the parent's scale units, as for any child of a picture
// box; on a board whose scale equals its pixel size these are its pixels.
double pixelJeEinheitX(const platform::Surface& s) {
  const platform::Surface* p = s.parentSurface();
  return p ? p->widthPx() / p->scaleWidth() : 1.0;
}
double pixelJeEinheitY(const platform::Surface& s) {
  const platform::Surface* p = s.parentSurface();
  return p ? p->heightPx() / p->scaleHeight() : 1.0;
}

int zuPixel(double einheiten, double faktor) {
  constexpr double grenze = std::numeric_limits<int>::max() / 2;
  return int(std::nearbyint(std::clamp(einheiten * faktor, -grenze, grenze)));
}


}  // namespace

CtlLTundBK::CtlLTundBK(platform::Surface& parent) : surface_(1, 1) {
  surface_.setVisible(false);
  surface_.setParentSurface(&parent);
}

CtlLTundBK::~CtlLTundBK() {
  surface_.clearPicture();
  surface_.cls();
  surface_.setParentSurface(nullptr);
}

platform::Surface& CtlLTundBK::surface() { return surface_; }

void CtlLTundBK::move(int left, int top, int width, int height) {
  if (width < 0 || height < 0) ungueltigesArgument();
  const double fx = pixelJeEinheitX(surface_);
  const double fy = pixelJeEinheitY(surface_);
  const int wPx = zuPixel(width, fx);
  const int hPx = zuPixel(height, fy);
  if (wPx > kMaxSeite || hPx > kMaxSeite || double(wPx) * double(hPx) > kMaxPixel) {
    throw std::length_error("Nicht genügend Speicher");
  }
  surface_.resize(wPx, hPx);
  surface_.move(zuPixel(left, fx), zuPixel(top, fy));
  platz_ = {left, top, width, height};
}

int CtlLTundBK::left() const { return platz_.left; }
int CtlLTundBK::top() const { return platz_.top; }
int CtlLTundBK::width() const { return platz_.width; }
int CtlLTundBK::height() const { return platz_.height; }
void CtlLTundBK::setVisible(bool on) { surface_.setVisible(on); }
bool CtlLTundBK::visible() const { return surface_.visible(); }

platform::Colour CtlLTundBK::BackColor() const { return surface_.backColor(); }
void CtlLTundBK::setBackColor(platform::Colour c) { surface_.setBackColor(c); }
int CtlLTundBK::BackStyle() const { return surface_.backStyle(); }
void CtlLTundBK::setBackStyle(int s) { surface_.setBackStyle(s); }
int CtlLTundBK::BorderStyle() const { return surface_.borderStyle(); }
void CtlLTundBK::setBorderStyle(int s) { surface_.setBorderStyle(s); }
int32_t CtlLTundBK::CurrentX() const { return roundToInt32(surface_.currentX()); }
void CtlLTundBK::setCurrentX(int32_t x) { surface_.setCurrentX(x); }
int32_t CtlLTundBK::CurrentY() const { return roundToInt32(surface_.currentY()); }
void CtlLTundBK::setCurrentY(int32_t y) { surface_.setCurrentY(y); }
platform::Colour CtlLTundBK::Fillcolor() const { return surface_.fillColor(); }
void CtlLTundBK::setFillcolor(platform::Colour c) { surface_.setFillColor(c); }
QString CtlLTundBK::Font() const { return surface_.fontName(); }
void CtlLTundBK::setFont(const QString& name) { surface_.setFontName(name); }
bool CtlLTundBK::Fontbold() const { return surface_.fontBold(); }
void CtlLTundBK::setFontbold(bool on) { surface_.setFontBold(on); }
bool CtlLTundBK::FontItalic() const { return surface_.fontItalic(); }
void CtlLTundBK::setFontItalic(bool on) { surface_.setFontItalic(on); }
QString CtlLTundBK::FontName() const { return surface_.fontName(); }
void CtlLTundBK::setFontName(const QString& name) { surface_.setFontName(name); }
int32_t CtlLTundBK::FontSize() const { return roundToInt32(surface_.fontSize()); }
void CtlLTundBK::setFontSize(int32_t points) { surface_.setFontSize(points); }
bool CtlLTundBK::FontStrikethru() const { return surface_.fontStrikethru(); }
void CtlLTundBK::setFontStrikethru(bool on) { surface_.setFontStrikethru(on); }
bool CtlLTundBK::FontTransparent() const { return surface_.fontTransparent(); }
void CtlLTundBK::setFontTransparent(bool on) { surface_.setFontTransparent(on); }
bool CtlLTundBK::FontUnderline() const { return surface_.fontUnderline(); }
void CtlLTundBK::setFontUnderline(bool on) { surface_.setFontUnderline(on); }
platform::Colour CtlLTundBK::ForeColor() const { return surface_.foreColor(); }
void CtlLTundBK::setForeColor(platform::Colour c) { surface_.setForeColor(c); }
int32_t CtlLTundBK::Height() const { return height(); }
void CtlLTundBK::setHeight(int32_t h) { move(left(), top(), width(), h); }
platform::Colour CtlLTundBK::MaskColor() const { return surface_.maskColor(); }
void CtlLTundBK::setMaskColor(platform::Colour c) { surface_.setMaskColor(c); }
int32_t CtlLTundBK::ScaleHeight() const { return roundToInt32(surface_.scaleHeight()); }
void CtlLTundBK::setScaleHeight(int32_t h) {
  if (h <= 0) ungueltigerWert();
  surface_.setScale(surface_.scaleWidth(), h);
}
int32_t CtlLTundBK::ScaleWidth() const { return roundToInt32(surface_.scaleWidth()); }
void CtlLTundBK::setScaleWidth(int32_t w) {
  if (w <= 0) ungueltigerWert();
  surface_.setScale(w, surface_.scaleHeight());
}
int32_t CtlLTundBK::TextHeight(const QString& text) const {
  return roundToInt32(surface_.textHeight(text));
}
int32_t CtlLTundBK::TextWidth(const QString& text) const {
  return roundToInt32(surface_.textWidth(text));
}
int32_t CtlLTundBK::Width() const { return width(); }
void CtlLTundBK::setWidth(int32_t w) { move(left(), top(), w, height()); }

void CtlLTundBK::PrintText(const QString& text) { surface_.print(text); }

void CtlLTundBK::Cls() {
  surface_.clearPicture();
  surface_.cls();
}

void CtlLTundBK::SetzeMaskPicture() { surface_.makeImageMaskPicture(); }

}  // namespace vrd4::render
