#include "render/Bildvorbereitung.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>
#include <exception>
#include <mutex>

#include "platform/Speicher.h"
#include "protocol/Befehl.h"
#include "support/Numbers.h"

namespace vrd4::render {

std::optional<Einpassung> einpassungBerechnen(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                              bool GroesseAnpassen, bool BeiKleinerZentrieren, int qwInt,
                                              int qhInt) {
  const int16_t x0 = sub16(Xstart, 1), y0 = sub16(Ystart, 1);
  const int16_t x1 = sub16(Xende, 1), y1 = sub16(YEnde, 1);
  const int16_t FeldBreite = add16(sub16(x1, x0), 1);
  const int16_t FeldHoehe = add16(sub16(y1, y0), 1);
  if (FeldBreite < 1 || FeldHoehe < 1) return std::nullopt;
  const double qw = roundHalfEven(qwInt);
  const double qh = roundHalfEven(qhInt);
  if (qw < 1 || qh < 1) return std::nullopt;
  const double r = qw / qh;

  // A picture wider than the field starts from the field's width whether
  // or not it is to be fitted, so it never leaves the field.
  double w = FeldBreite >= qw ? (GroesseAnpassen ? FeldBreite : qw) : FeldBreite;
  // Compared before narrowing: a tall picture fitted to the width would
  // overflow 16 bits although the height limit brings it back.
  double h = roundHalfEven(w / r);
  if (h >= FeldHoehe) {
    h = FeldHoehe;
    w = roundHalfEven(h * r);
  }
  const int16_t bw = to16(static_cast<int64_t>(w));
  const int16_t bh = to16(static_cast<int64_t>(h));
  if (!bildGroesseErlaubt(bw, bh)) return std::nullopt;  // nothing left, or more than any picture may be

  int16_t dx = 0, dy = 0;
  if (BeiKleinerZentrieren) {
    dx = to16(roundToInt32((FeldBreite - bw) / 2.0));
    dy = to16(roundToInt32((FeldHoehe - bh) / 2.0));
  }
  return Einpassung{add16(x0, dx), add16(y0, dy), bw, bh};
}

std::optional<BildFeld> bildFeldAus(std::span<const std::u16string> f, std::optional<QSize> tafel) {
  try {
    if (f.size() > 1 && f[1] == u"BildAnzeigen") {
      if (!tafel || f.size() < 5) return std::nullopt;
      return BildFeld{1, 1, to16(tafel->width()), to16(tafel->height()), protocol::leseBool(f[3]),
                      protocol::leseBool(f[4])};
    }
    if (f.size() < 9 || f[1] != u"BildAnzeigenanPosition") return std::nullopt;
    return BildFeld{protocol::leseInt16(f[3]), protocol::leseInt16(f[4]), protocol::leseInt16(f[5]),
                    protocol::leseInt16(f[6]), protocol::leseBool(f[7]), protocol::leseBool(f[8])};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<QSize> bildGroesseLesen(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  try {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize s = reader.size();
    if (!s.isValid()) return std::nullopt;
    return s;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

namespace {

// Large pictures are decoded one at a time (see the header).
std::mutex& grossesBild() {
  static std::mutex m;
  return m;
}

}  // namespace

VorabBild bildVorbereiten(std::span<const uint8_t> bytes, const BildFeld& feld) {
  VorabBild v;
  v.eingepasst = true;
  v.fuer = feld;
  const std::optional<QSize> behauptet = bildGroesseLesen(bytes);
  const bool gross = !behauptet || int64_t(behauptet->width()) * behauptet->height() > kSofortPixel;
  std::unique_lock<std::mutex> einzeln(grossesBild(), std::defer_lock);
  if (gross) einzeln.lock();
  try {
    std::optional<QImage> bild = modPicturefromBytes(bytes, &v.grund, &v.ueberGrenze);
    if (!bild) {
      v.bild = std::nullopt;
      return v;
    }
    // The decoded picture itself is not kept: only what the field shows.
    v.bild = QImage();
    const std::optional<Einpassung> e = einpassungBerechnen(feld.Xstart, feld.Ystart, feld.Xende, feld.YEnde,
                                                            feld.GroesseAnpassen, feld.BeiKleinerZentrieren,
                                                            bild->width(), bild->height());
    if (!e) return v;
    QImage passend(e->breite, e->hoehe, QImage::Format_ARGB32_Premultiplied);
    if (passend.isNull()) return v;
    passend.fill(Qt::transparent);
    {
      // As the board's intermediate surface paints it (Surface::paintPicture).
      QPainter p(&passend);
      p.setRenderHint(QPainter::SmoothPixmapTransform, true);
      if (passend.size() == bild->size())
        p.drawImage(QPoint(0, 0), *bild);
      else
        p.drawImage(passend.rect(), *bild);
    }
    v.x = e->x;
    v.y = e->y;
    v.passend = std::move(passend);
  } catch (const std::exception&) {
    // An overflow of the field's arithmetic or no memory: nothing to draw.
    v.passend = QImage();
  }
  if (gross) {
    // The decoded pixels of a large picture are given back to the system
    // now, not kept by the allocator for later.
    einzeln.unlock();
    platform::speicherZurueckgeben();
  }
  return v;
}

}  // namespace vrd4::render
