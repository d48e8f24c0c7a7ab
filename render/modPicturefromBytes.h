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
// - the reader's allocation limit kBildAllocationLimitMB (64 megapixels at
//   4 bytes each), for readers that cannot tell their size beforehand.
// So a small file that claims 30000 x 30000 pixels is refused cleanly.
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace vrd4::render {

inline constexpr int kMaxBildSeite = 16384;
inline constexpr int64_t kMaxBildPixel = 64ll * 1024 * 1024;
inline constexpr int kBildAllocationLimitMB = 256;

// True when a picture of w x h pixels lies within the limits above (both
// sides at least 1).
bool bildGroesseErlaubt(int64_t w, int64_t h);

// The first image in bytes, or nullopt when the bytes are empty, are no
// picture the readers know, are damaged beyond what the reader decodes, or
// exceed the limits; then *grund (when given) says which, in German. A file
// that is cut off (a JPEG without its end marker, a short BMP or GIF) gives
// what its reader decodes of it. Never throws.
std::optional<QImage> modPicturefromBytes(std::span<const uint8_t> bytes, QString* grund = nullptr);

// A picture decoded ahead (on any thread) from the bytes of its command:
// what modPicturefromBytes gave, and its reason when that was nothing.
struct VorabBild {
  std::optional<QImage> bild;
  QString grund;
};

}  // namespace vrd4::render
