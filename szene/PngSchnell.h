#pragma once
// A picture of the board as PNG bytes, made fast: a palette when the picture
// has at most 256 colours, one cheap row filter else, and run-length
// deflate. The pixels read back are exactly the picture's;
// the file is larger than a carefully compressed one (a board of lines and
// fields: some tens of KiB) and takes a few milliseconds instead of tens.
// For the scene's snapshot, which a flood of commands asks for every few
// thousand commands.
#include <QImage>
#include <cstdint>
#include <vector>

namespace vrd4::szene {

// 8-bit palette or RGB, 8 bits a channel. A picture with an alpha channel
// goes through Qt's own PNG writer (RGBA). Empty for a null picture.
std::vector<uint8_t> pngSchnell(const QImage& bild);

}  // namespace vrd4::szene
