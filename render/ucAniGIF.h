#pragma once
// The animated GIF control: a child surface of the board that plays one GIF.
//
// Loading reads the GIF's block structure and shows frame 1; every frame is
// decoded when it is shown (a small GIF's shown frames are kept: Memory).
// Playing starts at once or 20 ms later (DelayAnimation bit 0) unless
// DelayAnimation bit 1 is set. Frames are composed onto a canvas of the GIF's size (with a
// mask of what no opaque pixel has covered yet, disposals 2 and 3 undone
// before the next frame) and drawn scaled, offset and mirrored into the
// control. Wherever no GIF pixel is drawn (a transparent pixel, an area a
// disposal 2 cleared, the control outside the GIF, an empty control) the
// control is see-through and its parent shows, like a logo with a
// transparent background over a coloured board; its image holds the back
// colour there and its mask picture marks what is drawn (back style 0, mask
// colour black; back style 1 while every pixel is drawn). A user that paints
// the surface itself, wholly, sets back style 1 afterwards.
//
// Timing: everything waits on the injected clock. Nothing runs by itself:
// takt() must be called often (the board's polling step, every 10 ms); it
// runs the deferred decoding and at most one animation tick when due. A
// frame stays max(its delay, MinFrameDelay) milliseconds.
//
// Large GIFs (a canvas, or a single frame, of 512 × 512 pixels or more) are
// decoded and composed on a worker thread, so that no tick stops the board:
// takt() draws such a frame once it is done (raising FrameChanged then) and
// never waits for it; every other call waits for it first, so frames keep
// their order. A frame replaced by the next before it was drawn is not
// shown. Such a GIF keeps only the canvas pixels the control shows (nearest
// neighbour reads at most one source column per control column): a changed
// size or mirroring composes the canvas anew on the worker, from frame 1
// (after a whole pass first once the animation has gone round).
//
// Never throws from loading, takt() or the properties; bad GIF bytes leave
// the control empty. Not thread-safe (GUI thread).
//
// Memory: a load keeps the GIF's bytes and one frame's indices while it
// decodes (gif/GifDatei.h), a canvas whose alpha is its mask (4 bytes a kept
// canvas pixel, with two or more frames; a large one-frame GIF keeps 1 byte
// a shown pixel) and the control's pixels four times (image, drawing
// buffer, mask, the parent's copy for composing): Speicherbedarf(), counted
// with the control's size at the load. A GIF below the large ones whose
// frames, drawn into the control, take at most 16 MB (8 bytes a control
// pixel and frame: pixels and mask) keeps them if the memory limit allows,
// so that playing it round again decodes nothing; they are counted, too,
// and made anew after a change of size, placement, mirroring or back
// colour. A GIF over the decoder's limits, a canvas over 16 megapixels, or a
// need above setSpeicherGrenze() is refused before anything is decoded, and
// Ablehnung() says why.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/Clock.h"
#include "platform/Surface.h"

namespace vrd4::gif {
class GifDatei;
}

namespace vrd4::render {

// Why a load that needs bedarf bytes of decoded memory, where frei are left,
// is refused (MB rounded up): "braucht 300 MB Speicher, frei sind 120 MB".
QString speicherAblehnung(int64_t bedarf, int64_t frei);

class ucAniGIF {
 public:
  // Upper limit for a file or a remote read; larger ones fail to load.
  static constexpr int64_t kMaxGifBytes = 64ll << 20;

  // A hidden child of parent at (0, 0), 1 × 1 pixels. clock must outlive it.
  ucAniGIF(platform::Surface& parent, const platform::Clock& clock);
  ~ucAniGIF();  // stops, releases the GIF, detaches
  ucAniGIF(const ucAniGIF&) = delete;
  ucAniGIF& operator=(const ucAniGIF&) = delete;

  platform::Surface& surface();

  // Placement in the parent's scale units (pixels on a board whose scale is
  // its pixel size), rounded to pixels. Sizes below 1 pixel count as 1; a
  // side is at most 8192 pixels, and a control above 16 megapixels is shrunk
  // to that area, keeping its shape.
  void move(double left, double top, double width, double height);
  // Hiding pauses a playing animation; showing resumes a paused one.
  void setVisible(bool on);
  bool visible() const;

  // --- properties -----------------------------------------------------------
  bool Enabled() const;
  void setEnabled(bool on);
  int32_t FrameCount() const;
  int32_t ActualWidth() const;   // the GIF's canvas (0 when empty)
  int32_t ActualHeight() const;
  // 0 unscaled and clipped, 1 uniform fit, 2 fill, 3 uniform shrink only,
  // 4 the control takes the GIF's size. Other values are ignored.
  int32_t Stretch() const;
  void setStretch(int32_t s);
  int32_t MinFrameDelay() const;  // milliseconds, 50 at first
  void setMinFrameDelay(int32_t ms);
  int32_t Loops() const;  // passes to play, 0 endless; a load sets the file's count
  void setLoops(int32_t n);  // the absolute value is stored
  void setScaleWidthSetzen(int32_t w);  // inner coordinate width (> 0)
  void setScaleHeightSetzen(int32_t h);
  int32_t ScaleWidthHolen() const;
  int32_t ScaleHeightHolen() const;
  int32_t ScaleModeHolen() const;  // 3 (pixels) or 0 (user, once a scale is set)
  void setScaleModeSetzen(int32_t m);  // 3 resets the scale to the pixel size
  int32_t LoopsRemaining() const;  // -1 empty; 0 when Loops is 0
  // Bit 0 flips horizontally, bit 1 vertically; values outside 0..3 ignored.
  int32_t Mirrored() const;
  void setMirrored(int32_t m);
  // 0 stop, 1 play, 2 pause, 3 step, 4 restart; get returns the state
  // (0 stopped, 1 playing, 2 paused). Only with a GIF loaded; 5+ ignored.
  int32_t Action() const;
  void setAction(int32_t a);
  // Bit 0: start playing 20 ms after loading; bit 1: do not start
  // playing after loading. 1 at first; values outside 0..3 ignored.
  int32_t DelayAnimation() const;
  void setDelayAnimation(int32_t m);
  int32_t OffsetX() const;  // scale units
  void setOffsetX(int32_t x);
  int32_t OffsetY() const;
  void setOffsetY(int32_t y);  // redraws

  int32_t aktuellesFrame() const;  // 1-based; 0 when empty

  // --- methods --------------------------------------------------------------
  // false when the file is missing, unreadable, larger than kMaxGifBytes or
  // no GIF; the control is then empty.
  bool LoadAnimatedGIF_File(const QString& FileName);
  bool LoadAnimatedGIF_Array(std::span<const uint8_t> bytes);
  // The same with a GIF parsed already (on another thread, from the same
  // bytes): takes over what geparst holds, which is left empty.
  bool LoadAnimatedGIF_Geparst(gif::GifDatei& geparst);
  // Decoded memory a later load may take, in bytes (see above); 0, the
  // default, sets no bound.
  void setSpeicherGrenze(int64_t bytes);
  // How many copies of the file's bytes a load counts (1 at first): a user
  // that keeps one more (the board's scene, for boards that join later)
  // says 2, so that Speicherbedarf() is what the process holds.
  void setDateiKopien(int n);
  // What the loaded GIF takes by that count; 0 when the control is empty.
  int64_t Speicherbedarf() const;
  // Why the last load refused a GIF, in words ("Frame über 64 Mpx");
  // empty after a success and for bytes that are no GIF at all.
  QString Ablehnung() const;
  // Reads a file:, http: or https: address asynchronously (needs a running
  // Qt event loop), at most kMaxGifBytes. On success RemoteLoadComplete is
  // raised and, unless its handler cancels, the bytes are loaded; fewer
  // than 15 bytes, a wrong signature, a failed transfer, another scheme or
  // too many bytes raise RemoteLoadFailure. A new read abandons a pending one.
  void LoadAnimatedGIF_Remote(const QString& RemotePath);
  void Refresh();

  // Runs what is due on the clock: the deferred start, one animation tick.
  void takt();
  // Whether takt() has anything to do, now or later, unless a call changes
  // the control first: a frame on the worker, a deferred start, a playing
  // animation. A stopped or paused GIF shows what it shows without ticks.
  bool brauchtTakt() const;

  // --- events (raised synchronously) ------------------------------------------
  std::function<void(int32_t Frame)> FrameChanged;  // after every drawing of a frame
  std::function<void()> LoopsEnded;
  std::function<void(bool& Cancel, double Width, double Height)> RemoteLoadComplete;
  std::function<void()> RemoteLoadFailure;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
