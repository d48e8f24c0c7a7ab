#pragma once
// Saving what the screen shows in a rectangle as a bitmap file.
#include <QImage>
#include <QRect>
#include <QString>
#include <optional>

namespace vrd4::app::modBildschirmAusschnittSpeichern {

// What the screen shows in bereich (screen pixels; nullopt: the whole primary
// screen), windows lying over it included, read back from the window system.
// A null image when the platform cannot read the screen or the area is empty.
QImage BildschirmAusschnitt(std::optional<QRect> bereich = std::nullopt);

// The snapshot to save: the screen's picture, unless there is none or it is
// all black while the board's own picture is not (XWayland and compositors
// hand out black), then the board's own.
QImage BildWaehlen(const QImage& bildschirm, const QImage& eigenes);

// Writes image as an uncompressed 24-bit BMP to datei, replacing an existing
// file only once the new one is complete. Returns the error text, or nullopt
// on success.
std::optional<QString> AlsBmpSpeichern(const QImage& image, const QString& datei);

}  // namespace vrd4::app::modBildschirmAusschnittSpeichern
