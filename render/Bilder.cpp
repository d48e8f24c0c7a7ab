#include "render/Bilder.h"

#include <exception>

#include "render/Bildvorbereitung.h"
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
    // The picture's own size: the source surface may be capped smaller.
    const QImage bild = quelle.picture();
    if (bild.isNull()) return;
    const std::optional<Einpassung> e = einpassungBerechnen(Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
                                                            BeiKleinerZentrieren, bild.width(), bild.height());
    if (!e) return;
    zeichnen(pic, bild, *e);
  }

  // Paints the picture, scaled to e's size, through the intermediate onto
  // the board at e's place.
  void zeichnen(platform::Surface& pic, const QImage& bild, const Einpassung& e) {
    // The intermediate gets its pixels once, at the fitted size: sizing it
    // to the field first would allocate (up to a whole surface) what is
    // thrown away a moment later.
    zwischen.clearPicture();
    zwischen.setBackColor(pic.backColor());  // transparent parts show the board's colour
    zwischen.cls();
    zwischen.setBorderStyle(0);
    zwischen.resize(e.breite, e.hoehe);
    if (zwischen.widthPx() != e.breite || zwischen.heightPx() != e.hoehe) return;  // beyond a surface's size
    zwischen.resetScale();
    zwischen.paintPicture(bild, 0, 0, e.breite, e.hoehe);
    pic.paintPicture(zwischen.image(), e.x, e.y, e.breite, e.hoehe);
    pic.makeImagePicture();
  }

  // A picture fitted ahead (Bildvorbereitung.h) for this very field: only
  // painted. False when it was made for another field.
  bool vorbereitetZeichnen(platform::Surface& pic, const QString& name, const BildFeld& feld, const VorabBild& v) {
    if (!v.eingepasst || !(v.fuer == feld)) return false;
    if (!v.bild) {
      melden(name, v.grund, v.ueberGrenze);
      return true;
    }
    if (v.passend.isNull()) return true;  // nothing to draw in this field
    try {
      zeichnen(pic, v.passend, Einpassung{v.x, v.y, int16_t(v.passend.width()), int16_t(v.passend.height())});
    } catch (const std::exception&) {
    }
    return true;
  }

  // Bytes that give no picture draw nothing and raise nothing; the status
  // list tells the operator why the board stays as it is. A picture over a
  // limit is the sender's to know, too.
  void melden(const QString& name, const QString& grund, bool ueberGrenze) {
    const QString text = QStringLiteral("Bild: ") + name + QStringLiteral(" nicht angezeigt - ") +
                         (grund.isEmpty() ? QStringLiteral("kein Bild") : grund);
    if (ueberGrenze) host.VRD4Event(QStringLiteral("BefehlFehler"), text);
    host.statusEintrag(text);
  }

  void anzeigen(platform::Surface& pic, const QString& name, int16_t Xstart, int16_t Ystart,
                int16_t Xende, int16_t YEnde, bool GroesseAnpassen, bool BeiKleinerZentrieren,
                const QImage& bild, const QString& grund, bool ueberGrenze) {
    try {
      if (!quelleSetzen(bild)) {
        melden(name, grund, ueberGrenze);
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
  if (vorab && d->vorbereitetZeichnen(pic, AnzuzeigendesBild,
                                      BildFeld{Xstart, Ystart, Xende, YEnde, GroesseAnpassen, BeiKleinerZentrieren},
                                      *vorab))
    return;
  if (vorab && !vorab->eingepasst) {
    d->anzeigen(pic, AnzuzeigendesBild, Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
                BeiKleinerZentrieren, vorab->bild ? *vorab->bild : QImage(), vorab->grund, vorab->ueberGrenze);
    return;
  }
  QString grund;
  bool ueberGrenze = false;
  const std::optional<QImage> bild = modPicturefromBytes(bytes, &grund, &ueberGrenze);
  d->anzeigen(pic, AnzuzeigendesBild, Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
              BeiKleinerZentrieren, bild ? *bild : QImage(), grund, ueberGrenze);
}

void Bilder::BildAnzeigenanPositionVonBild(platform::Surface& pic,
                                           const QString& AnzuzeigendesBild, int16_t Xstart,
                                           int16_t Ystart, int16_t Xende, int16_t YEnde,
                                           bool GroesseAnpassen, bool BeiKleinerZentrieren,
                                           const QImage& bild) {
  d->anzeigen(pic, AnzuzeigendesBild, Xstart, Ystart, Xende, YEnde, GroesseAnpassen,
              BeiKleinerZentrieren, bild, QString(), false);
}

platform::Surface& Bilder::PicFuerGroessenanpassungQuelle() { return d->quelle; }
platform::Surface& Bilder::PicFuerGroessenanpassungZwischen() { return d->zwischen; }

}  // namespace vrd4::render
