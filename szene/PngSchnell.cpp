#include "szene/PngSchnell.h"

#include <zlib.h>

#include <QBuffer>
#include <QByteArray>
#include <array>
#include <cstring>

namespace vrd4::szene {

namespace {

void be32(std::vector<uint8_t>& aus, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) aus.push_back(uint8_t(v >> s));
}

// Length, type, data, CRC over type and data.
void chunk(std::vector<uint8_t>& aus, const char (&typ)[5], const uint8_t* daten, std::size_t n) {
  be32(aus, uint32_t(n));
  const std::size_t anfang = aus.size();
  aus.insert(aus.end(), typ, typ + 4);
  aus.insert(aus.end(), daten, daten + n);
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), aus.data() + anfang, uInt(aus.size() - anfang));
  be32(aus, uint32_t(crc));
}

std::vector<uint8_t> mitQt(const QImage& bild) {
  QByteArray daten;
  QBuffer puffer(&daten);
  puffer.open(QIODevice::WriteOnly);
  bild.save(&puffer, "PNG");
  return {daten.begin(), daten.end()};
}

// The colours of a picture with at most 256 of them, each with its index
// in order of appearance. Open addressing; runs of one colour ask once.
class Palette {
 public:
  static constexpr int kMax = 256;
  // Index of c (0x00RRGGBB), taken in when new; -1 past kMax colours.
  int index(uint32_t c) {
    if (c == letzte_) return letzterIndex_;
    std::size_t i = (c * 0x9E3779B1u) >> 23;  // 9 bits: 512 places
    for (;; i = (i + 1) & 511) {
      if (platz_[i] == 0) {
        if (anzahl_ == kMax) return -1;
        platz_[i] = c | 0x1000000u;
        nr_[i] = uint8_t(anzahl_);
        farben_.push_back(c);
        ++anzahl_;
        break;
      }
      if (platz_[i] == (c | 0x1000000u)) break;
    }
    letzte_ = c;
    letzterIndex_ = nr_[i];
    return letzterIndex_;
  }
  const std::vector<uint32_t>& farben() const { return farben_; }

 private:
  std::array<uint32_t, 512> platz_{};  // 0: free, else colour | 0x1000000
  std::array<uint8_t, 512> nr_{};
  std::vector<uint32_t> farben_;
  int anzahl_ = 0;
  uint32_t letzte_ = 0xFFFFFFFFu;
  int letzterIndex_ = 0;
};

}  // namespace

std::vector<uint8_t> pngSchnell(const QImage& bild) {
  if (bild.isNull()) return {};
  if (bild.hasAlphaChannel()) return mitQt(bild);
  const QImage rgb = bild.format() == QImage::Format_RGB32 ? bild : bild.convertToFormat(QImage::Format_RGB32);
  const auto w = std::size_t(rgb.width()), h = std::size_t(rgb.height());
  auto pixel = [&](std::size_t y) { return reinterpret_cast<const QRgb*>(rgb.constScanLine(int(y))); };
  // A board of lines, fields and text has few colours: one byte a pixel
  // (an index into a palette) is a third of the data to pack. Else RGB.
  Palette palette;
  bool indiziert = true;
  for (std::size_t y = 0; y < h && indiziert; ++y)
    for (std::size_t x = 0; x < w && indiziert; ++x) indiziert = palette.index(pixel(y)[x] & 0xFFFFFFu) >= 0;

  // Rows: indices unfiltered (a field of one colour is a run already), or
  // RGB with filter type 1 (Sub: each byte less the same channel of the
  // pixel before), which turns a field of one colour into zeros. Then
  // run-length deflate, which packs runs at a fraction of full deflate's
  // time. Row by row into the stream: no buffer of the whole picture (its
  // fresh pages would cost more than the packing).
  std::vector<uint8_t> zeile(1 + (indiziert ? 1 : 3) * w);
  std::vector<uint8_t> idat(std::size_t{64} << 10);
  z_stream z{};
  // Runs reach back one byte: a 4 KiB window keeps zlib's tables below the
  // size that malloc maps afresh (and faults in) on every call, and is still
  // slid seldom enough (a 512-byte one made packing three times slower).
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 12, 8, Z_RLE) != Z_OK) return mitQt(bild);
  z.next_out = idat.data();
  z.avail_out = uInt(idat.size());
  int ergebnis = Z_OK;
  for (std::size_t y = 0; y < h && ergebnis == Z_OK; ++y) {
    uint8_t* b = zeile.data();
    const QRgb* px = pixel(y);
    if (indiziert) {
      *b++ = 0;
      for (std::size_t x = 0; x < w; ++x) *b++ = uint8_t(palette.index(px[x] & 0xFFFFFFu));
    } else {
      *b++ = 1;
      QRgb vorher = 0;  // left of the first pixel: 0
      for (std::size_t x = 0; x < w; ++x) {
        const QRgb p = px[x];
        *b++ = uint8_t(qRed(p) - qRed(vorher));
        *b++ = uint8_t(qGreen(p) - qGreen(vorher));
        *b++ = uint8_t(qBlue(p) - qBlue(vorher));
        vorher = p;
      }
    }
    z.next_in = zeile.data();
    z.avail_in = uInt(zeile.size());
    const int flush = y + 1 == h ? Z_FINISH : Z_NO_FLUSH;
    do {
      if (z.avail_out == 0) {
        const std::size_t voll = idat.size();
        idat.resize(2 * voll);
        z.next_out = idat.data() + voll;
        z.avail_out = uInt(idat.size() - voll);
      }
      ergebnis = deflate(&z, flush);
    } while (ergebnis == Z_OK && (z.avail_in > 0 || z.avail_out == 0 || flush == Z_FINISH));
  }
  const std::size_t gepackt = z.total_out;
  deflateEnd(&z);
  if (ergebnis != Z_STREAM_END) return mitQt(bild);

  std::vector<uint8_t> aus = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  aus.reserve(aus.size() + gepackt + 3 * 256 + 64);
  std::array<uint8_t, 13> ihdr{};
  for (int i = 0; i < 4; ++i) {
    ihdr[std::size_t(i)] = uint8_t(w >> (24 - 8 * i));
    ihdr[std::size_t(4 + i)] = uint8_t(h >> (24 - 8 * i));
  }
  ihdr[8] = 8;                  // bits a sample
  ihdr[9] = indiziert ? 3 : 2;  // palette or RGB; compression, filter method and interlace stay 0
  chunk(aus, "IHDR", ihdr.data(), ihdr.size());
  if (indiziert) {
    std::vector<uint8_t> plte;
    for (const uint32_t c : palette.farben()) plte.insert(plte.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    chunk(aus, "PLTE", plte.data(), plte.size());
  }
  chunk(aus, "IDAT", idat.data(), gepackt);
  chunk(aus, "IEND", nullptr, 0);
  return aus;
}

}  // namespace vrd4::szene
