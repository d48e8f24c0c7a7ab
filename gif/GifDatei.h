#pragma once
// Decoding of animated GIF files (GIF87a and GIF89a) into a frame table and
// one 8-bit index strip. Standard library only: no Qt, no platform services.
//
// parse() reads the block structure: frames with position, size, delay,
// disposal, transparency and colour table, the colour tables, the canvas
// (the union of all frame rectangles from (0, 0)) and the loop count.
// decode() runs LZW on each frame and writes its colour indices into the
// strip: frame k occupies the columns [frames()[k-1].offset,
// offset + width) and the rows [0, height) of the strip; rows below a
// shorter frame keep index 0. Colours are applied by whoever draws a frame,
// through the frame's colour table.
//
// Damaged input never reads or writes outside a buffer: a file that ends
// early keeps the frames found before the end; a frame whose LZW data is
// damaged keeps what decoded before the damage, the rest of it index 0.
//
// Limits (a GIF beyond them is refused as a whole: parse() returns 0 and
// grenzeUeberschritten() names the limit): canvas side at most kMaxSeite,
// strip (sum of frame widths × largest frame height) at most
// kMaxStreifenPixel, at most kMaxFrames frames. Decoding
// work is bounded by the file and strip sizes (each code read once, each
// pixel written once); memory by the strip plus one frame's scratch copy.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vrd4::gif {

inline constexpr int32_t kMaxSeite = 16384;
inline constexpr int64_t kMaxStreifenPixel = 64ll << 20;
inline constexpr int32_t kMaxFrames = 10000;

// The limit a refused GIF broke.
enum class Grenze { keine, Seite, Streifen, Frames };

// One frame, in file order (frames()[0] is frame 1).
struct FrameInfo {
  int32_t left = 0, top = 0, width = 0, height = 0;  // image descriptor, pixels
  int32_t delay = 0;       // milliseconds: graphic-control delay × 10; 0 without one
  int32_t colorTable = 0;  // 0 the global table, n >= 1 the n-th local table of the file
  int32_t offset = 0;      // x offset of the frame in the index strip (set by parse())
  uint8_t transparentIndex = 0;
  uint8_t transparencyFlag = 0;  // 1 when transparentIndex is transparent
  uint8_t disposal = 0;          // 0..3; 3 on the first frame is stored as 0
};

// 256 colours 0x00RRGGBB, then [256] = the number of colours, 2^(size+1).
using ColourTable = std::array<uint32_t, 257>;

class GifDatei {
 public:
  GifDatei();
  ~GifDatei();
  GifDatei(const GifDatei&) = delete;
  GifDatei& operator=(const GifDatei&) = delete;

  // Parses bytes (copied; positions in messages are 1-based like the file's
  // bytes). Returns the frame count; 0 = not a usable GIF (wrong signature,
  // an image without any colour table, no frame, an empty canvas, a limit
  // exceeded), and the object is then empty. Replaces whatever was loaded
  // before. Frames of width or height 0 count but occupy no strip columns.
  int parse(std::span<const uint8_t> bytes);

  // first = true: creates the strip (all index 0) and decodes frame 1.
  // first = false: decodes frames 2..frameCount(). Returns false when
  // nothing is parsed or the strip cannot be made. Decoding damaged LZW data
  // is not a failure (see above). After all frames are decoded the file's
  // bytes are released. A phase already done is not repeated (returns true),
  // so frames flipped in the strip stay flipped.
  bool decode(bool first);

  void clear();  // back to empty
  // The limit that made the last parse() return 0; keine after a success or
  // for bytes that are no usable GIF for another reason.
  Grenze grenzeUeberschritten() const;

  int frameCount() const;
  const std::vector<FrameInfo>& frames() const;
  bool frameDecoded(int k) const;  // k 1-based

  int32_t canvasWidth() const;   // largest left + width
  int32_t canvasHeight() const;  // largest top + height
  int32_t logicalWidth() const;  // header bytes 7-8 (not used for the canvas)
  int32_t logicalHeight() const; // header bytes 9-10
  // The looping extension's count ("NETSCAPE2.0"); empty when the file has none.
  std::optional<int32_t> loopCount() const;

  bool hasGlobalTable() const;
  int localTableCount() const;
  // t: 0 the global table, 1..localTableCount() the local ones.
  const ColourTable& colourTable(int t) const;

  // Survey of all frames (valid after parse()).
  bool anyTransparent() const;
  bool anyDisposal2or3() const;
  bool allDisposal2() const;

  // The index strip: row-major, stripWidth() bytes per row.
  int32_t stripWidth() const;   // sum of all frame widths
  int32_t stripHeight() const;  // largest frame height
  const uint8_t* strip() const;  // nullptr until decode(true)
  uint8_t* strip();  // for flipping frames in place (mirroring)

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vrd4::gif
