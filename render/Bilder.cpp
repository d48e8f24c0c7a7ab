#include "render/Bilder.h"

#include <exception>

#include "render/modPicturefromBytes.h"
#include "support/Numbers.h"

namespace vrd4::render {

struct Bilder::Impl {
  explicit Impl(RenderHost& h) : host(h) {}

  RenderHost& host;
  // Never shown; they only carry the picture through the fitting.
  platform::Surface quelle{1, 1};
  platform::Surface zwischen{1, 1};

  void nichtGeladen(const QString& name) {
    host.VRD4Event(QStringLiteral("BefehlFehler"),
                    QStringLiteral("Bild: ") + name + QStringLiteral(" konnte nicht geladen werden!"));
  }

  // The source sizes itself to its picture. Returns false when there is none.
  bool quelleSetzen(const QImage& bild) {
    quelle.clearPicture();
    if (bild.isNull()) {
      quelle.cls();
      return false;
    }
    // Shrink first so that the old persistent image is not copied over.
    quelle.resize(1, 1);
    quelle.resize(bild.width(), bild.height());
    quelle.setPicture(bild);
    return true;
  }

  // Fits the source into the field and paints it; throws OverflowError (or
  // bad_alloc) at 16-bit overflow, returns quietly where nothing can be drawn.
  void einpassen(platform::Surface& pic, int16_t Xstart, int16_t Ystart, int16_t Xende,
                 int16_t YEnde, bool GroesseAnpassen, bool BeiKleinerZentrieren) {
    const int16_t x0 = sub16(Xstart, 1), y0 = sub16(Ystart, 1);
    const int16_t x1 = sub16(Xende, 1), y1 = sub16(YEnde, 1);
    const int16_t FeldBreite = add16(sub16(x1, x0), 1);
    const int16_t FeldHoehe = add16(sub16(y1, y0), 1);
    if (FeldBreite < 1 || FeldHoehe < 1) return;

    // The intermediate gets its pixels once, at the fitted size below:
    // sizing it to the field first would allocate (up to a whole surface)
    // what is thrown away a moment later.
    zwischen.clearPicture();
    zwischen.setBackColor(pic.backColor());  // transparent parts show the board's colour
    zwischen.cls();
    zwischen.setBorderStyle(0);

    // The picture's own size: the source surface may be capped smaller.
    const QImage bild = quelle.picture();
    if (bild.isNull()) return;
    const double qw = roundHalfEven(bild.width());
    const double qh = roundHalfEven(bild.height());
    if (qw < 1 || qh < 1) return;
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
    if (!bildGroesseErlaubt(bw, bh)) return;  // nothing left, or more than any picture may be

    zwischen.resize(bw, bh);
    if (zwischen.widthPx() != bw || zwischen.heightPx() != bh) return;  // beyond a surface's size
    zwischen.resetScale();
    zwischen.paintPicture(bild, 0, 0, bw, bh);

    int16_t dx = 0, dy = 0;
    if (BeiKleinerZentrieren) {
      dx = to16(roundToInt32((FeldBreite - bw) / 2.0));
      dy = to16(roundToInt32((FeldHoehe - bh) / 2.0));
    }
    pic.paintPicture(zwischen.image(), add16(x0, dx), add16(y0, dy), bw, bh);
    pic.makeImagePicture();
  }

  void anzeigen(platform::Surface& pic, const QString& name, int16_t Xstart, int16_t Ystart,
                int16_t Xende, int16_t YEnde, bool GroesseAnpassen, bool BeiKleinerZentrieren,
                const QImage& bild, const QString& grund) {
    try {
      if (!quelleSetzen(bild)) {
        // Bytes that give no picture draw nothing and raise nothing; the
        // status list tells the operator why the board stays as it is.
        host.statusEintrag(QStringLiteral("Bild: ") + name + QStringLiteral(" nicht angezeigt - ") +
                       (grund.isEmpty() ? QStringLiteral("kein Bild") : grund));
        return;
      }
    } catch (const std::exception&) {
      nichtGeladen(name);
      return;
    }
    try {
      einpassen(pic, Xstart, Ystart, Xende, YEnde, GroesseAnpassen, BeiKleinerZentrieren);
    } catch (const std::exception&) {
      // The fitting gives up silently; what reached the intermediate stays there.
    }
  }
};

Bilder::Bilder(RenderHost& host) : d(std::make_unique<Impl>(host)) {}
Bilder::~Bilder() = default;

void Bilder::BildAnzeigen(platform::Surface& pic, const QString& BildnamemitPfad,
                          bool GroesseAnpassen, bool BeiKleinerZentrieren,
                          std::span<const uint8_t> bytes, const VorabBild* vorab) {
  int16_t W = 0, H = 0;
  try {
    W = to16(roundToInt32(pic.scaleWidth()));
    H = to16(roundToInt32(pic.scaleHeight()));
  } catch (const std::exception&) {
    d->nichtGeladen(BildnamemitPfad);
    return;
  }
  BildAnzeigenanPosition(pic, BildnamemitPfad, 1, 1, W, H, GroesseAnpassen, BeiKleinerZentrieren,
                         bytes, vorab);
}

void Bilder::BildAnzeigenanPosition(platform::Surface& pic, const QString& AnzuzeigendesBild,
                                    int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                    bool GroesseAnpassen, bool BeiKleinerZentrieren,
                                    std::span<const uint8_t> bytes, const VorabBild* vorab) {
  if (vorab) {
    d->anzeigen(pic, AnzuzeigendesBild, Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
                BeiKleinerZentrieren, vorab->bild ? *vorab->bild : QImage(), vorab->grund);
    return;
  }
  QString grund;
  const std::optional<QImage> bild = modPicturefromBytes(bytes, &grund);
  d->anzeigen(pic, AnzuzeigendesBild, Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
              BeiKleinerZentrieren, bild ? *bild : QImage(), grund);
}

void Bilder::BildAnzeigenanPositionVonBild(platform::Surface& pic,
                                           const QString& AnzuzeigendesBild, int16_t Xstart,
                                           int16_t Ystart, int16_t Xende, int16_t YEnde,
                                           bool GroesseAnpassen, bool BeiKleinerZentrieren,
                                           const QImage& bild) {
  d->anzeigen(pic, AnzuzeigendesBild, Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
              BeiKleinerZentrieren, bild, QString());
}

platform::Surface& Bilder::PicFuerGroessenanpassungQuelle() { return d->quelle; }
platform::Surface& Bilder::PicFuerGroessenanpassungZwischen() { return d->zwischen; }

}  // namespace vrd4::render
