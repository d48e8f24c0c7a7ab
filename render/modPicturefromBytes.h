#pragma once
// Picture from the bytes of an image file, through Qt's image readers: every
// format the installed Qt reads (BMP, PNG, JPEG, GIF, ICO, PBM/PGM/PPM, XBM,
// XPM, and whatever further plugins are installed). The format is decided by
// the content, never by a file name. Of an animated GIF (or any multi-image
// file) the first image is taken. EXIF orientation is not applied: the
// picture has the size stored in the file.
//
// Limits (one reaction when exceeded: no picture, nothing allocated for it):
// - the size the file claims, checked before decoding, and the decoded size:
//   at most kMaxBildSeite pixels per side and kMaxBildPixel pixels in all;
// - the reader's allocation limit kBildAllocationLimitMB (32 megapixels at
//   4 bytes each), for readers that cannot tell their size beforehand.
// So a small file that claims 30000 x 30000 pixels is refused cleanly, and
// so is one of 8000 x 8000 (a few hundred KB that would decode to 256 MB).
// 32 megapixels hold a camera's photo and a picture of 7680 x 4320.
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <memory>
#include <span>
#include <vector>

namespace vrd4::gif {
class GifDatei;
}

namespace vrd4::render {

inline constexpr int kMaxBildSeite = 16384;
inline constexpr int64_t kMaxBildPixel = 32ll * 1024 * 1024;
inline constexpr int kBildAllocationLimitMB = 128;

// True when a picture of w x h pixels lies within the limits above (both
// sides at least 1).
bool bildGroesseErlaubt(int64_t w, int64_t h);

// The first image in bytes, or nullopt when the bytes are empty, are no
// picture the readers know, are damaged beyond what the reader decodes, or
// exceed the limits; then *grund (when given) says which, in German, and
// *ueberGrenze (when given) whether it was a limit (the size, the memory).
// A file that is cut off (a JPEG without its end marker, a short BMP or
// GIF) gives what its reader decodes of it. Never throws.
std::optional<QImage> modPicturefromBytes(std::span<const uint8_t> bytes, QString* grund = nullptr,
                                          bool* ueberGrenze = nullptr);

// The field a picture command draws into (1-based, inclusive corners), as
// the board will use it.
struct BildFeld {
  int16_t Xstart = 1, Ystart = 1, Xende = 1, YEnde = 1;
  bool GroesseAnpassen = false, BeiKleinerZentrieren = false;
  friend bool operator==(const BildFeld&, const BildFeld&) = default;
};

// A picture decoded ahead (on any thread) from the bytes of its command:
// what modPicturefromBytes gave, and its reason when that was nothing; or,
// once fitted ahead into the field it was made for (render/Bildvorbereitung.h),
// only the fitted picture and where it goes.
struct VorabBild {
  std::optional<QImage> bild;
  QString grund;
  bool ueberGrenze = false;
  // Fitted ahead for the field `fuer`: `passend` at (x, y), 0-based board
  // pixels; null when nothing is drawn there (also for no picture).
  bool eingepasst = false;
  BildFeld fuer;
  QImage passend;
  int16_t x = 0, y = 0;
  // A large file's bytes, held shared (whoever keeps them takes a reference,
  // not a copy); empty: the bytes come with the command as usual.
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  // A GIF parsed ahead from those bytes (an animation command): the slot
  // takes it over.
  std::shared_ptr<gif::GifDatei> gif;
};

}  // namespace vrd4::render
