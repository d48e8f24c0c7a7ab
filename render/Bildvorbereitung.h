#pragma once
// A picture made ready beside the board's thread: decoded and fitted into
// its field, so that the board's thread only paints the result (a few
// milliseconds at most, whatever the file). Used for pictures that would
// take longer: a large file, a picture of many pixels.
//
// Memory: decoding takes up to the decoded size (4 bytes a pixel, at most
// kMaxBildPixel pixels); only one picture of more than kSofortPixel pixels
// is decoded at a time in the whole process, so pictures arriving together
// (the ring, several connections) never hold more than one such picture's
// pixels at once. The fitted result is at most the field's pixels.
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "render/modPicturefromBytes.h"

namespace vrd4::render {

// A picture of more pixels than this (the size its file claims) is decoded
// beside the board; a smaller one decodes in a few milliseconds.
inline constexpr int64_t kSofortPixel = int64_t{1} << 20;

// Where a picture of qw x qh pixels lands in the field (Xstart, Ystart)-(Xende,
// YEnde), 1-based and inclusive (see Bilder.h for the rules): the 0-based
// top-left corner on the board and the fitted size. nullopt when nothing is
// drawn (a field without area, a result that rounds to nothing or exceeds
// the limits). Throws OverflowError at 16-bit overflow of the arithmetic.
struct Einpassung {
  int16_t x = 0, y = 0, breite = 0, hoehe = 0;
};
std::optional<Einpassung> einpassungBerechnen(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                                              bool GroesseAnpassen, bool BeiKleinerZentrieren, int qw, int qh);

// Decodes bytes and fits the picture into feld, on any thread; never throws.
// The result is the VorabBild the board draws: `passend` holds the fitted
// picture (ARGB32, premultiplied, transparent where the picture is), or
// grund/ueberGrenze say why there is none.
VorabBild bildVorbereiten(std::span<const uint8_t> bytes, const BildFeld& feld);

// The field of a split picture command (fields 0.. as protocol::zerlegen
// gives them) as the board takes it: "BildAnzeigen" the whole board (tafel:
// its scale width and height), "BildAnzeigenanPosition" its corners; nullopt
// for another command, when a field does not convert (the command then fails
// when it runs) or the board's size is not known.
std::optional<BildFeld> bildFeldAus(std::span<const std::u16string> felder, std::optional<QSize> tafel);

// The size the bytes claim, read from the header only (cheap); nullopt
// when the reader cannot tell.
std::optional<QSize> bildGroesseLesen(std::span<const uint8_t> bytes);

}  // namespace vrd4::render
