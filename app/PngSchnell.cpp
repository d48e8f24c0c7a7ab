#include "app/PngSchnell.h"

#include <zlib.h>

#include <QBuffer>
#include <QByteArray>
#include <array>
#include <cstring>

namespace vrd4::app {

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

}  // namespace

std::vector<uint8_t> pngSchnell(const QImage& bild) {
  if (bild.isNull()) return {};
  if (bild.hasAlphaChannel()) return mitQt(bild);
  const QImage rgb = bild.format() == QImage::Format_RGB32 ? bild : bild.convertToFormat(QImage::Format_RGB32);
  const auto w = std::size_t(rgb.width()), h = std::size_t(rgb.height());
  // Each row: filter type 1 (Sub: each byte less the same channel of the
  // pixel before), which turns a field of one colour into zeros, then run-
  // length deflate, which packs those runs at a fraction of full deflate's
  // time.
  // Row by row into the stream: no buffer of the whole picture (its fresh
  // pages would cost more than the packing).
  std::vector<uint8_t> zeile(1 + 3 * w);
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
    *b++ = 1;
    const auto* px = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(y)));
    QRgb vorher = 0;  // left of the first pixel: 0
    for (std::size_t x = 0; x < w; ++x) {
      const QRgb p = px[x];
      *b++ = uint8_t(qRed(p) - qRed(vorher));
      *b++ = uint8_t(qGreen(p) - qGreen(vorher));
      *b++ = uint8_t(qBlue(p) - qBlue(vorher));
      vorher = p;
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
  aus.reserve(aus.size() + gepackt + 64);
  std::array<uint8_t, 13> ihdr{};
  for (int i = 0; i < 4; ++i) {
    ihdr[std::size_t(i)] = uint8_t(w >> (24 - 8 * i));
    ihdr[std::size_t(4 + i)] = uint8_t(h >> (24 - 8 * i));
  }
  ihdr[8] = 8;  // bits a channel
  ihdr[9] = 2;  // RGB; compression, filter method and interlace stay 0
  chunk(aus, "IHDR", ihdr.data(), ihdr.size());
  chunk(aus, "IDAT", idat.data(), gepackt);
  chunk(aus, "IEND", nullptr, 0);
  return aus;
}

}  // namespace vrd4::app
