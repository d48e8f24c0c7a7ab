#include "hall/Vorschau.h"

#include <QBuffer>
#include <QByteArray>
#include <algorithm>
#include <cmath>

namespace vrd4::halle {

QSize vorschauMass(int breite, int hoehe) {
  if (breite <= 0 || hoehe <= 0) return {};
  double b = std::min(breite, kVorschauBreite);
  double h = b * hoehe / breite;
  if (h > kVorschauMaxSeite) {
    h = kVorschauMaxSeite;
    b = h * breite / hoehe;
  }
  return {std::max(1, int(std::lround(b))), std::max(1, int(std::lround(h)))};
}

namespace {

std::string png(const QImage& bild) {
  QByteArray bytes;
  QBuffer puffer(&bytes);
  puffer.open(QIODevice::WriteOnly);
  if (!bild.save(&puffer, "PNG")) return {};
  return bytes.toStdString();
}

}  // namespace

std::string vorschauPng(const QImage& tafel) {
  QSize mass = vorschauMass(tafel.width(), tafel.height());
  if (mass.isEmpty()) return {};
  // No alpha: the board is opaque, and a premultiplied format would only
  // cost the writer a conversion.
  // (A reference, not a copy: the caller's buffer is shared with no one.)
  QImage ohneAlpha;
  if (tafel.hasAlphaChannel()) ohneAlpha = tafel.convertToFormat(QImage::Format_RGB32);
  const QImage& quelle = tafel.hasAlphaChannel() ? ohneAlpha : tafel;
  for (;;) {
    const QImage klein =
        mass == quelle.size() ? quelle : quelle.scaled(mass, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::string p = png(klein);
    if (!p.empty() && p.size() <= kVorschauMaxBytes) return p;
    p = png(klein.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither));
    if (!p.empty() && p.size() <= kVorschauMaxBytes) return p;
    if (mass.width() == 1 && mass.height() == 1) return {};
    mass = QSize(std::max(1, mass.width() / 2), std::max(1, mass.height() / 2));
  }
}

}  // namespace vrd4::halle
