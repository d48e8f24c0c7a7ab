#pragma once
// Picture files for the tests, made in memory: encoded by Qt's writers, or
// crafted byte by byte where Qt cannot write the format or where the file is
// meant to lie about itself.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace vrd4::testbilder {

using Bytes = std::vector<uint8_t>;

inline QImage einfarbig(int w, int h, QRgb farbe) {
  QImage bild(w, h, QImage::Format_RGB32);
  bild.fill(farbe);
  return bild;
}

// Something a JPEG encoder has to work on (a solid picture compresses to
// almost nothing, so cutting it would not cut the scan data).
inline QImage gemustert(int w, int h) {
  QImage bild(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      bild.setPixel(x, y, qRgb((x * 7 + y) & 0xFF, (y * 5) & 0xFF, ((x ^ y) * 3) & 0xFF));
  return bild;
}

inline Bytes kodieren(const QImage& bild, const char* format, int qualitaet = -1) {
  QByteArray daten;
  QBuffer puffer(&daten);
  puffer.open(QIODevice::WriteOnly);
  if (!bild.save(&puffer, format, qualitaet)) ADD_FAILURE() << "cannot write " << format;
  return Bytes(daten.begin(), daten.end());
}

inline Bytes text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

inline uint32_t crc32(const uint8_t* p, std::size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

// A small valid PNG whose header claims w x h pixels (with a correct CRC,
// so only the size gives it away).
inline Bytes pngMitBehaupteterGroesse(uint32_t w, uint32_t h) {
  Bytes b = kodieren(einfarbig(4, 4, qRgb(1, 2, 3)), "PNG");
  auto be32 = [&b](std::size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24);
    b[at + 1] = uint8_t(v >> 16);
    b[at + 2] = uint8_t(v >> 8);
    b[at + 3] = uint8_t(v);
  };
  be32(16, w);  // IHDR data starts after signature (8), length (4), type (4)
  be32(20, h);
  be32(29, crc32(&b[12], 17));
  return b;
}

// A small BMP whose header claims w x h pixels.
inline Bytes bmpMitBehaupteterGroesse(int32_t w, int32_t h) {
  Bytes b = kodieren(einfarbig(4, 4, qRgb(1, 2, 3)), "BMP");
  auto le32 = [&b](std::size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
  };
  le32(18, w);
  le32(22, h);
  return b;
}

// A GIF with a four-colour table; one image per entry of `bilder`, each
// filled with that palette index. The LZW data starts over after every two
// pixels, so the code width stays at 3 bits and no dictionary is needed.
// logischW/logischH: the size the screen descriptor claims (0: the real one).
inline Bytes gif(int w, int h, const std::vector<int>& bilder, std::array<QRgb, 4> palette,
                 int logischW = 0, int logischH = 0) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  auto le16 = [&b](int v) {
    b.push_back(uint8_t(v & 0xFF));
    b.push_back(uint8_t((v >> 8) & 0xFF));
  };
  le16(logischW ? logischW : w);
  le16(logischH ? logischH : h);
  b.insert(b.end(), {0xF1, 0x00, 0x00});  // global table of 4 colours
  for (QRgb c : palette) b.insert(b.end(), {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))});
  for (int index : bilder) {
    b.insert(b.end(), {0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00});  // 100 ms, no transparency
    b.push_back(0x2C);
    le16(0);
    le16(0);
    le16(logischW ? logischW : w);
    le16(logischH ? logischH : h);
    b.push_back(0x00);
    b.push_back(0x02);  // LZW minimum code size
    Bytes lzw;
    uint32_t akku = 0;
    int bits = 0;
    auto code = [&](uint32_t c) {
      akku |= c << bits;
      bits += 3;
      while (bits >= 8) {
        lzw.push_back(uint8_t(akku & 0xFF));
        akku >>= 8;
        bits -= 8;
      }
    };
    const long pixel = long(w) * h;
    for (long i = 0; i < pixel; ++i) {
      if (i % 2 == 0) code(4);  // clear
      code(uint32_t(index));
    }
    code(5);  // end of information
    if (bits > 0) lzw.push_back(uint8_t(akku & 0xFF));
    for (std::size_t at = 0; at < lzw.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, lzw.size() - at);
      b.push_back(uint8_t(n));
      b.insert(b.end(), lzw.begin() + long(at), lzw.begin() + long(at + n));
    }
    b.push_back(0x00);
  }
  b.push_back(0x3B);
  return b;
}

inline bool nahe(QRgb a, QRgb b, int toleranz) {
  return std::abs(qRed(a) - qRed(b)) <= toleranz && std::abs(qGreen(a) - qGreen(b)) <= toleranz &&
         std::abs(qBlue(a) - qBlue(b)) <= toleranz;
}

// Every pixel inside r (cut to the image) is near `farbe`, every pixel
// outside is exactly `aussen`.
inline testing::AssertionResult rechteckIn(const QImage& bild, QRect r, QRgb farbe, QRgb aussen,
                                           int toleranz = 8) {
  for (int y = 0; y < bild.height(); ++y) {
    for (int x = 0; x < bild.width(); ++x) {
      const QRgb p = bild.pixel(x, y);
      const bool innen = r.contains(x, y);
      if (innen ? !nahe(p, farbe, toleranz) : (p | 0xFF000000u) != (aussen | 0xFF000000u)) {
        return testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") " << (innen ? "inside" : "outside") << " "
               << QColor(p).name().toStdString() << ", expected rectangle (" << r.x() << ","
               << r.y() << ") " << r.width() << "x" << r.height() << " in "
               << QColor(farbe).name().toStdString() << " on "
               << QColor(aussen).name().toStdString();
      }
    }
  }
  return testing::AssertionSuccess();
}

}  // namespace vrd4::testbilder
