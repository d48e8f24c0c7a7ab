#pragma once
// One clip of the media layer, played with FFmpeg: an AVI file decoded on a
// worker thread into a small queue of frames already scaled to the target
// surface; the GUI thread shows the frame due now on every takt(). A frame of
// the surface's size becomes the surface's image without a copy, and the
// image it replaces is filled with a later frame.
//
// Only the local file is read, and only as AVI: the demuxer is AVI (no
// probing of other formats), the only protocol is "file", and every attempt
// of the demuxer to open a second resource is refused. The audio track is
// never decoded: a board is silent.
//
// Limits (one reaction when exceeded: the clip does not open, or the worker
// ends and the last frame stays): frames of at most kMaxSeite pixels a side
// and kMaxPixel pixels in all; at most kMaxWarteschlange decoded frames and
// kMaxWarteschlangeBytes bytes of them wait at a time; a clip that yields no
// frame in kMaxPaketeOhneBild packets does not open, and one that yields no
// frame in a whole pass ends instead of looping.
//
// All methods on the GUI thread; the decoder runs only between abspielen()
// and anhalten() (or the destructor), which join it.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Mci.h"

namespace vrd4::platform {

struct ClipStatistik {
  uint64_t gezeigt = 0;    // frames shown
  uint64_t verworfen = 0;  // frames decoded but overtaken by a later one before they were due
};

class MciVideo {
 public:
  static constexpr int kMaxSeite = 8192;
  static constexpr int64_t kMaxPixel = 4096ll * 4096;
  static constexpr int kMaxWarteschlange = 4;
  static constexpr int64_t kMaxWarteschlangeBytes = 64ll << 20;
  static constexpr int kMaxPaketeOhneBild = 256;

  // Opens the AVI file at pfad and decodes its first frame as a check.
  // nullptr and fehler set (kMciDateiFehlt, kMciDateiUngueltig) on failure.
  static std::unique_ptr<MciVideo> oeffnen(const std::string& pfad, uint32_t& fehler);
  ~MciVideo();  // stops the decoder
  MciVideo(const MciVideo&) = delete;
  MciVideo& operator=(const MciVideo&) = delete;

  // The surface frames are shown on (nullptr: none; nothing is decoded then).
  // Must outlive this clip or be replaced before it ends.
  void setZiel(Surface* ziel);
  Surface* ziel() const;
  // Frames fill the whole target surface from now on.
  void zielGanz();
  // Plays from vonMs milliseconds of the clip; with wiederholen from the
  // clip's beginning again after its end. Restarts when already playing.
  void abspielen(int64_t vonMs, bool wiederholen);
  // Stops and joins the decoder; the frame shown last stays on the surface.
  void anhalten();
  bool spielt() const;
  // Shows the newest frame whose time has come. The clip's time starts with
  // the first takt that finds a decoded frame.
  void takt(double sekunden);

  int breite() const;
  int hoehe() const;
  double bildDauer() const;  // seconds per frame
  ClipStatistik statistik() const;
  // Waits at most max until the decoder has filled its queue or ended (for
  // tests and benchmarks: what takt() finds next is then fixed). True when
  // it got there in time.
  bool warteBisDekodiert(std::chrono::milliseconds max);

 private:
  MciVideo();
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::platform
