#pragma once
// Pictures on the board, from the bytes of a picture file, fitted into a
// field through two auxiliary surfaces.
//
// Fitting keeps the aspect ratio: without GroesseAnpassen a picture smaller
// than the field keeps its size, a larger one shrinks to fit; with it the
// picture grows or shrinks until it touches the field's sides or its top and
// bottom. It never leaves its field. BeiKleinerZentrieren centres it (half
// pixels rounded to even), otherwise it sits in the top-left corner.
// Transparent parts of a picture show the board's back colour.
//
// Bytes that give no picture (empty, unknown format, damaged, over the
// limits of modPicturefromBytes.h) draw nothing and raise no event; the
// status list gets "Bild: " + name + " nicht angezeigt - " + the reason.
// A board scale beyond 16 bits raises ("BefehlFehler", "Bild: " + name +
// " konnte nicht geladen werden!").
// A field without area, 16-bit overflow of the field's arithmetic, or a
// result that rounds to nothing or exceeds a surface's size end silently
// without drawing. Otherwise the drawing becomes the board's background
// picture.
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Surface.h"
#include "render/RenderHost.h"
#include "render/modPicturefromBytes.h"

namespace vrd4::render {

class Bilder {
 public:
  explicit Bilder(RenderHost& host);
  ~Bilder();
  Bilder(const Bilder&) = delete;
  Bilder& operator=(const Bilder&) = delete;

  // The whole surface as the field. Never throws. vorab (when given) is
  // bytes already decoded: then they are not decoded again.
  void BildAnzeigen(platform::Surface& pic, const QString& BildnamemitPfad, bool GroesseAnpassen,
                    bool BeiKleinerZentrieren, std::span<const uint8_t> bytes,
                    const VorabBild* vorab = nullptr);
  // Field corners 1-based, inclusive. Never throws.
  void BildAnzeigenanPosition(platform::Surface& pic, const QString& AnzuzeigendesBild,
                              int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                              bool GroesseAnpassen, bool BeiKleinerZentrieren,
                              std::span<const uint8_t> bytes, const VorabBild* vorab = nullptr);

  // BildAnzeigenanPosition with the picture already decoded: a null picture
  // counts as bytes that do not decode. Never throws.
  void BildAnzeigenanPositionVonBild(platform::Surface& pic, const QString& AnzuzeigendesBild,
                                     int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                     bool GroesseAnpassen, bool BeiKleinerZentrieren,
                                     const QImage& bild);

  platform::Surface& PicFuerGroessenanpassungQuelle();
  platform::Surface& PicFuerGroessenanpassungZwischen();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
