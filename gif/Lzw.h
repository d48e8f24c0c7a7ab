#pragma once
// GIF's variable-width LZW, decoded into a flat buffer of colour indices.
// Internal to the decoder; its own header so that tests and benchmarks can
// reach it without a file around it.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vrd4::gif {

// Room the output buffer needs beyond the pixels: one longest string (4096)
// plus the 8-byte over-copy of the string copier.
inline constexpr std::size_t kLzwReserve = 4096 + 16;

// Room `daten` needs beyond its bytes (zeros): the bit reader loads 8 bytes
// at a time and may look up to 10 bytes past the last one.
inline constexpr std::size_t kLzwDatenReserve = 16;

// Decodes the joined data sub-blocks (without the code-size byte) with the
// given minimum code size into out[0, pixels). A code size outside 2..8
// decodes nothing (0 pixels). out must hold pixels + kLzwReserve bytes;
// bytes past the returned count hold garbage. daten.size() +
// kLzwDatenReserve bytes must be readable.
// Returns the number of pixels written: pixels when the frame is complete,
// fewer when the data ends early or a code is invalid (damage stops the
// frame; what came before stays). Extra codes after a full frame are ignored.
// Work: one step per code, each pixel written once.
std::size_t lzwDekodieren(int minCodeSize, std::span<const uint8_t> daten, uint8_t* out,
                          std::size_t pixels);

}  // namespace vrd4::gif
