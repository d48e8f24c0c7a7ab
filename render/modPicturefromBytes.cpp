#include "render/modPicturefromBytes.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <exception>

namespace vrd4::render {

using namespace Qt::StringLiterals;

namespace {

void setzen(QString* grund, const QString& text) {
  if (grund) *grund = text;
}

QString groesse(QSize s) { return QString::number(s.width()) + u" x "_s + QString::number(s.height()); }

std::optional<QImage> decode(std::span<const uint8_t> bytes, QString* grund, bool* ueberGrenze) {
  const auto grenze = [&](const QString& text) {
    setzen(grund, text);
    if (ueberGrenze) *ueberGrenze = true;
  };
  if (bytes.empty()) {
    setzen(grund, u"leer"_s);
    return std::nullopt;
  }
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;

  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(false);
  reader.setAllocationLimit(kBildAllocationLimitMB);
  if (!reader.canRead()) {
    setzen(grund, u"kein bekanntes Bildformat"_s);
    return std::nullopt;
  }

  // A picture bomb is refused by the size it claims, before anything is
  // decoded or allocated.
  const QSize claimed = reader.size();
  if (claimed.isValid() && !bildGroesseErlaubt(claimed.width(), claimed.height())) {
    grenze(u"zu groß ("_s + groesse(claimed) + u" Pixel)"_s);
    return std::nullopt;
  }

  // A cut-off JPEG, BMP or GIF gives what its reader can decode, as image
  // viewers show it: the missing part stays grey or blank.
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    setzen(grund, u"beschädigt ("_s + reader.errorString() + u")"_s);
    return std::nullopt;
  }
  if (!bildGroesseErlaubt(image.width(), image.height())) {
    grenze(u"zu groß ("_s + groesse(image.size()) + u" Pixel)"_s);
    return std::nullopt;
  }
  return image;
}

}  // namespace

bool bildGroesseErlaubt(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= kMaxBildSeite && h <= kMaxBildSeite && w * h <= kMaxBildPixel;
}

std::optional<QImage> modPicturefromBytes(std::span<const uint8_t> bytes, QString* grund, bool* ueberGrenze) {
  if (ueberGrenze) *ueberGrenze = false;
  try {
    return decode(bytes, grund, ueberGrenze);
  } catch (const std::exception&) {
    setzen(grund, u"nicht genügend Speicher"_s);
    if (ueberGrenze) *ueberGrenze = true;
    return std::nullopt;  // out of memory inside a reader, or the like
  }
}

}  // namespace vrd4::render
