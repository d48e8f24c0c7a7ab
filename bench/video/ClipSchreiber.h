#pragma once
// Clips for the benchmarks (and once for tests/data/video), written with
// libavformat/libavcodec: an AVI file of MJPEG frames, frame i drawn by the caller.
#include <QImage>
#include <cstdint>
#include <functional>
#include <vector>

namespace vrd4::testclip {

// The bytes of an AVI clip of n frames of w x h pixels at fps frames per
// second; bild(i) gives frame i (any size; it is scaled). Empty on failure.
std::vector<uint8_t> mjpegAvi(int w, int h, int n, int fps, const std::function<QImage(int)>& bild);

// Frame i of a clip whose every frame is one colour, distinct per frame.
QRgb farbeVonBild(int i);

}  // namespace vrd4::testclip
