// Font state, measuring and printing, and the list of screen fonts.
#include "platform/SurfacePrivate.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vrd4::platform {

const QFont& Surface::Impl::realisedFont() const {
  if (!qfont) {
    QFont f(fontName);
    f.setPixelSize(fontPx);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strike);
    qfont = f;
  }
  return *qfont;
}

const QFontMetricsF& Surface::Impl::metrics() const {
  if (!fm) fm.emplace(realisedFont());
  return *fm;
}

QString Surface::fontName() const { return d->fontName; }
void Surface::setFontName(const QString& name) {
  if (name == d->fontName) return;
  d->fontName = name;
  d->invalidateFont();
}

double Surface::fontSize() const { return d->fontPx * 72.0 / kDpi; }
void Surface::setFontSize(double points) {
  if (!std::isfinite(points)) return;
  const double px = std::nearbyint(std::clamp(points * kDpi / 72.0, 1.0, double(kMaxFontPx)));
  const int pixels = std::max(1, int(px));
  if (pixels == d->fontPx) return;
  d->fontPx = pixels;
  d->invalidateFont();
}

bool Surface::fontBold() const { return d->bold; }
void Surface::setFontBold(bool on) {
  if (on == d->bold) return;
  d->bold = on;
  d->invalidateFont();
}
bool Surface::fontItalic() const { return d->italic; }
void Surface::setFontItalic(bool on) {
  if (on == d->italic) return;
  d->italic = on;
  d->invalidateFont();
}
bool Surface::fontUnderline() const { return d->underline; }
void Surface::setFontUnderline(bool on) {
  if (on == d->underline) return;
  d->underline = on;
  d->invalidateFont();
}
bool Surface::fontStrikethru() const { return d->strike; }
void Surface::setFontStrikethru(bool on) {
  if (on == d->strike) return;
  d->strike = on;
  d->invalidateFont();
}
bool Surface::fontTransparent() const { return d->fontTransparent; }
void Surface::setFontTransparent(bool on) { d->fontTransparent = on; }
QFont Surface::font() const { return d->realisedFont(); }

double Surface::currentX() const { return d->cx; }
double Surface::currentY() const { return d->cy; }
void Surface::setCurrentX(double x) {
  if (std::isfinite(x)) d->cx = x;
}
void Surface::setCurrentY(double y) {
  if (std::isfinite(y)) d->cy = y;
}

double Surface::textWidth(const QString& text) const {
  if (text.isEmpty()) return 0;
  return d->metrics().horizontalAdvance(text) / d->rx();
}

double Surface::textHeight(const QString& /*text*/) const {
  return d->metrics().height() / d->ry();
}

void Surface::print(const QString& text) {
  const QFontMetricsF& fm = d->metrics();
  const double advancePx = text.isEmpty() ? 0 : fm.horizontalAdvance(text);
  constexpr double kFar = double(1 << 24);
  const double x = std::nearbyint(std::clamp(d->cx * d->rx(), -kFar, kFar));
  const double y = std::nearbyint(std::clamp(d->cy * d->ry(), -kFar, kFar));
  // The opaque cell is whole pixels, so that it is the same on every print.
  const QRect cell(int(x), int(y), int(std::nearbyint(advancePx)), int(std::nearbyint(fm.height())));
  d->cx += advancePx / d->rx();
  if (text.isEmpty()) return;

  // Glyphs may reach out of their cell (italics, descenders of some faces):
  // what may change is the ink box and the cell with some room around.
  const QRectF ink = fm.boundingRect(text).translated(x, y + fm.ascent());
  const double margin = 2 + d->fontPx / 2;
  const QRect touched =
      QRectF(cell).united(ink).adjusted(-margin, -margin, margin, margin).toAlignedRect();
  if (!touched.intersects(d->image.rect())) return;
  d->aboutToDraw(touched);
  {
    QPainter p(&d->image);
    if (!d->fontTransparent) {
      p.fillRect(cell, toQColor(d->back));
    }
    p.setFont(d->realisedFont());
    p.setPen(toQColor(d->fore));
    p.drawText(QPointF(x, y + fm.ascent()), text);
  }
  d->notifyChanged(touched);
}

namespace {

// Windows names that boards are designed with, and the free faces with the
// same metrics that fontconfig puts in their place.
struct Substitute {
  const char* windowsName;
  const char* face;
};
constexpr Substitute kSubstitutes[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
};

}  // namespace

std::vector<QString> screenFontNamesFrom(const QStringList& families) {
  std::vector<QString> names;
  QStringList plain;
  for (const QString& f : families) {
    names.push_back(f);
    // A family that several foundries provide is listed once per foundry as
    // "Family [foundry]"; boards name it plainly.
    if (f.endsWith(QLatin1Char(']'))) {
      const qsizetype open = f.lastIndexOf(QStringLiteral(" ["));
      if (open > 0) {
        const QString name = f.left(open);
        if (!plain.contains(name, Qt::CaseInsensitive) && !families.contains(name, Qt::CaseInsensitive)) {
          plain.push_back(name);
          names.push_back(name);
        }
      }
    }
  }
  for (const Substitute& s : kSubstitutes) {
    const QString windowsName = QString::fromLatin1(s.windowsName);
    if (families.contains(windowsName, Qt::CaseInsensitive) || plain.contains(windowsName, Qt::CaseInsensitive))
      continue;
    const QString realised = QFontInfo(QFont(windowsName)).family();
    if (realised.startsWith(QString::fromLatin1(s.face), Qt::CaseInsensitive)) {
      names.push_back(windowsName);
    }
  }
  return names;
}

const std::vector<QString>& screenFontNames() {
  static const std::vector<QString> names = screenFontNamesFrom(QFontDatabase::families());
  return names;
}

}  // namespace vrd4::platform
