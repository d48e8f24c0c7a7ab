#include "render/modPicturefromBytes.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <exception>

namespace vrd4::render {

namespace {

// Some readers decode a cut-off file "successfully": libjpeg fills the
// missing rows with grey, the BMP and GIF readers leave them blank. On a
// board half a picture is worse than none, so for these formats the file's
// own structure must show that it is whole.

// The scan data starts after the first SOS segment; the image is whole only
// when an end marker follows (scan data cannot contain FF D9: a data byte FF
// is always followed by 00).
bool jpegVollstaendig(std::span<const uint8_t> b) {
  const std::size_t n = b.size();
  if (n < 4 || b[0] != 0xFF || b[1] != 0xD8) return false;
  std::size_t i = 2;
  for (;;) {
    while (i < n && b[i] != 0xFF) ++i;  // the decoder skips stray bytes as well
    while (i < n && b[i] == 0xFF) ++i;
    if (i >= n) return false;
    const uint8_t marker = b[i++];
    if (marker == 0xD9) return false;  // ends before any scan
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (i + 2 > n) return false;
    const std::size_t len = (std::size_t{b[i]} << 8) | b[i + 1];
    if (len < 2 || i + len > n) return false;
    i += len;
    if (marker == 0xDA) break;
  }
  for (; i + 1 < n; ++i)
    if (b[i] == 0xFF && b[i + 1] == 0xD9) return true;
  return false;
}

uint32_t le(std::span<const uint8_t> b, std::size_t at, int bytes) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | b[at + std::size_t(k)];
  return v;
}

// The pixel rows the header promises must all be there.
bool bmpVollstaendig(std::span<const uint8_t> b) {
  const std::size_t n = b.size();
  if (n < 26) return false;
  const uint64_t daten = le(b, 10, 4);
  const uint32_t kopf = le(b, 14, 4);
  int64_t breite = 0, hoehe = 0;
  uint32_t bits = 0, kompression = 0, bildBytes = 0;
  if (kopf == 12) {  // OS/2 core header
    breite = le(b, 18, 2);
    hoehe = le(b, 20, 2);
    bits = le(b, 24, 2);
  } else {
    if (n < 38) return false;
    breite = int32_t(le(b, 18, 4));
    hoehe = int32_t(le(b, 22, 4));
    bits = le(b, 28, 2);
    kompression = le(b, 30, 4);
    bildBytes = le(b, 34, 4);
  }
  if (hoehe < 0) hoehe = -hoehe;  // rows stored top-down
  uint64_t noetig = daten;
  if (kompression == 0 || kompression == 3 || kompression == 6) {
    if (breite < 0) return false;
    noetig += ((uint64_t(bits) * uint64_t(breite) + 31) / 32) * 4 * uint64_t(hoehe);
  } else {
    noetig += bildBytes;  // run-length coded: the stored size
  }
  return n >= noetig;
}

// The first image's data blocks must end with their terminator.
bool gifErstesBildVollstaendig(std::span<const uint8_t> b) {
  const std::size_t n = b.size();
  if (n < 13) return false;
  std::size_t i = 13;
  if (b[10] & 0x80) i += 3u << ((b[10] & 7) + 1);  // global colour table
  auto bloeckeUeberspringen = [&]() {
    while (i < n) {
      const uint8_t len = b[i++];
      if (len == 0) return true;
      i += len;
    }
    return false;
  };
  while (i < n) {
    const uint8_t art = b[i++];
    if (art == 0x21) {  // extension: label, then data blocks
      ++i;
      if (!bloeckeUeberspringen()) return false;
    } else if (art == 0x2C) {  // image descriptor
      if (i + 9 > n) return false;
      const uint8_t flags = b[i + 8];
      i += 9;
      if (flags & 0x80) i += 3u << ((flags & 7) + 1);  // local colour table
      ++i;  // LZW minimum code size
      return bloeckeUeberspringen();
    } else {
      return false;  // trailer or junk before any image
    }
  }
  return false;
}

bool vollstaendig(const QByteArray& format, std::span<const uint8_t> bytes) {
  if (format == "jpeg") return jpegVollstaendig(bytes);
  if (format == "bmp") return bmpVollstaendig(bytes);
  if (format == "gif") return gifErstesBildVollstaendig(bytes);
  return true;  // the other readers refuse damaged data themselves
}

std::optional<QImage> decode(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;

  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(false);
  reader.setAllocationLimit(kBildAllocationLimitMB);
  if (!reader.canRead()) return std::nullopt;

  const QSize claimed = reader.size();
  if (claimed.isValid() && !bildGroesseErlaubt(claimed.width(), claimed.height()))
    return std::nullopt;
  if (!vollstaendig(reader.format(), bytes)) return std::nullopt;

  QImage image;
  if (!reader.read(&image) || image.isNull()) return std::nullopt;
  if (!bildGroesseErlaubt(image.width(), image.height())) return std::nullopt;
  return image;
}

}  // namespace

bool bildGroesseErlaubt(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= kMaxBildSeite && h <= kMaxBildSeite && w * h <= kMaxBildPixel;
}

std::optional<QImage> modPicturefromBytes(std::span<const uint8_t> bytes) {
  try {
    return decode(bytes);
  } catch (const std::exception&) {
    return std::nullopt;  // out of memory inside a reader, or the like
  }
}

}  // namespace vrd4::render
