#pragma once
// Reading surfaces back by pixels.
#include <QImage>

#include "platform/Surface.h"

namespace vrd4::platform::test {

inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kGreen = 0x00FF00;
inline constexpr Colour kBlue = 0xFF0000;

inline Colour at(const QImage& img, int x, int y) { return fromQColor(img.pixelColor(x, y)); }
inline Colour at(const Surface& s, int x, int y) { return at(s.image(), x, y); }

// How many pixels of the image have colour c.
inline int countOf(const QImage& img, Colour c) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += at(img, x, y) == c;
  return n;
}
inline int countOf(const Surface& s, Colour c) { return countOf(s.image(), c); }

// How many pixels differ from c.
inline int countOther(const QImage& img, Colour c) {
  return img.width() * img.height() - countOf(img, c);
}

}  // namespace vrd4::platform::test
