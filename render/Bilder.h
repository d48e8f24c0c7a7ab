#pragma once
// Pictures on the board, from the bytes of a picture file, fitted into a
// field through two auxiliary surfaces.
#include <QString>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Surface.h"
#include "render/RenderHost.h"

namespace vrd4::render {

class Bilder {
 public:
  explicit Bilder(RenderHost& host);
  ~Bilder();
  Bilder(const Bilder&) = delete;
  Bilder& operator=(const Bilder&) = delete;

  // The whole surface as the field. Never throws.
  void BildAnzeigen(platform::Surface& pic, const QString& BildnamemitPfad, bool GroesseAnpassen,
                    bool BeiKleinerZentrieren, std::span<const uint8_t> bytes);
  // Field corners 1-based, inclusive. Never throws.
  void BildAnzeigenanPosition(platform::Surface& pic, const QString& AnzuzeigendesBild,
                              int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                              bool GroesseAnpassen, bool BeiKleinerZentrieren,
                              std::span<const uint8_t> bytes);

  platform::Surface& PicFuerGroessenanpassungQuelle();
  platform::Surface& PicFuerGroessenanpassungZwischen();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
