#include "app/modBildschirmAusschnittSpeichern.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>

namespace vrd4::app::modBildschirmAusschnittSpeichern {

QImage BildschirmAusschnitt(std::optional<QRect> bereich) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  const QRect r = bereich ? *bereich : screen->geometry();
  if (r.width() < 1 || r.height() < 1) return {};
  // Window 0 is the root: the grab shows whatever lies on top in that area.
  return screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
}

namespace {
bool ganzSchwarz(const QImage& bild) {
  const QImage rgb = bild.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* zeile = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if ((zeile[x] & 0xFFFFFFu) != 0) return false;
  }
  return true;
}
}  // namespace

QImage BildWaehlen(const QImage& bildschirm, const QImage& eigenes) {
  if (bildschirm.isNull()) return eigenes;
  if (ganzSchwarz(bildschirm) && !eigenes.isNull() && !ganzSchwarz(eigenes)) return eigenes;
  return bildschirm;
}

std::optional<QString> AlsBmpSpeichern(const QImage& image, const QString& datei) {
  if (image.isNull()) return QStringLiteral("kein Bild");
  // Readers of the snapshot expect 24 bits per pixel, whatever the screen's
  // depth; RGB888 is what the BMP writer stores as 24-bit.
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  QSaveFile file(datei);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  QImageWriter writer(&file, "BMP");
  if (!writer.write(rgb)) {
    file.cancelWriting();
    return writer.errorString();
  }
  if (!file.commit()) return file.errorString();
  return std::nullopt;
}

}  // namespace vrd4::app::modBildschirmAusschnittSpeichern
