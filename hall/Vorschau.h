#pragma once
// A board's thumbnail for the hall's overview (vrd4/HALLE[/tafel/NAME]/bild,
// docs/hall.md): a PNG about kVorschauBreite pixels wide at the board's
// aspect ratio, never more than kVorschauMaxBytes. Reentrant (QImage and
// Qt's PNG writer): it runs on a worker thread, never the board's.
#include <QImage>
#include <QSize>
#include <cstddef>
#include <string>

namespace vrd4::halle {

inline constexpr int kVorschauBreite = 320;
inline constexpr int kVorschauMaxSeite = 1024;  // a reader refuses larger
inline constexpr std::size_t kVorschauMaxBytes = std::size_t{64} << 10;

// The thumbnail's size for a board of breite x hoehe pixels: kVorschauBreite
// wide, never enlarged, at most kVorschauMaxSeite high (a tall board comes
// out narrower), at least 1 x 1. Empty for an empty board.
QSize vorschauMass(int breite, int hoehe);

// The board `tafel` (as the screen shows it) smoothly scaled to
// vorschauMass, as PNG. One that comes out over kVorschauMaxBytes (a
// picture of noise) is made again with at most 256 colours, then at half
// the size each time, until it fits. Empty for a null picture.
std::string vorschauPng(const QImage& tafel);

}  // namespace vrd4::halle
