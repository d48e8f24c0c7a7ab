#pragma once
// Decoding of animated GIF files (GIF87a and GIF89a), one frame at a time.
// Standard library only: no Qt, no platform services.
//
// parse() reads the block structure only: frames with position, size,
// delay, disposal, transparency and colour table, the colour tables, the
// canvas (the union of all frame rectangles from (0, 0)) and the loop count;
// it keeps the file's bytes (a frame's data sub-blocks are joined in place
// when it is first decoded, so no frame's data is ever copied).
// frameDekodieren() runs LZW on one frame when it is needed and gives its
// colour indices (interlaced rows are put in place within them). Colours
// are applied by whoever draws a frame, through the frame's colour table.
//
// Damaged input never reads or writes outside a buffer: a file that ends
// early keeps the frames found before the end; a frame whose LZW data is
// damaged keeps what decoded before the damage, the rest of it index 0.
//
// Limits (a GIF beyond them is refused as a whole: parse() returns 0 and
// grenzeUeberschritten() names the limit): canvas side at most kMaxSeite,
// a frame at most kMaxFramePixel, at most kMaxFrames frames. The length of
// an animation costs no decoded memory: the bytes plus one frame's indices
// (the caller's buffer) and, for an interlaced frame, one row and a table of
// its rows.
// Decoding a frame reads its codes once and writes each pixel once.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vrd4::gif {

inline constexpr int32_t kMaxSeite = 16384;
inline constexpr int64_t kMaxFramePixel = 64ll << 20;
inline constexpr int32_t kMaxFrames = 10000;

// The limit a refused GIF broke.
enum class Grenze { keine, Seite, Frame, Frames };

// One frame, in file order (frames()[0] is frame 1).
struct FrameInfo {
  int32_t left = 0, top = 0, width = 0, height = 0;  // image descriptor, pixels
  int32_t delay = 0;       // milliseconds: graphic-control delay × 10; 0 without one
  int32_t colorTable = 0;  // 0 the global table, n >= 1 the n-th local table of the file
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
  // before. Frames of width or height 0 count and decode to nothing.
  int parse(std::span<const uint8_t> bytes);
  // Exchanges what two objects hold (a GIF parsed on one thread handed to
  // the object that plays it on another; neither may be in use meanwhile).
  void tauschen(GifDatei& andere) noexcept;

  // Frame k's (1-based) indices into out: width × height bytes, rows top to
  // bottom (interlacing resolved). out's memory is reused from call to call.
  // false for k outside 1..frameCount() or when memory runs out (out is then
  // empty). Damaged LZW data is not a failure (see above).
  bool frameDekodieren(int k, std::vector<uint8_t>& out);

  void clear();  // back to empty
  // The limit that made the last parse() return 0; keine after a success or
  // for bytes that are no usable GIF for another reason.
  Grenze grenzeUeberschritten() const;

  int frameCount() const;
  const std::vector<FrameInfo>& frames() const;
  int64_t groessterFrame() const;  // pixels of the largest frame
  int64_t dateiBytes() const;      // the bytes kept for decoding

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

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vrd4::gif
