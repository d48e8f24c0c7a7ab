#pragma once
// The media control interface: devices opened, played and closed by command
// strings ("open <file> type AVIVideo alias 1AviTmp", "play 1AviTmp from 0
// repeat", …), the way the receiver drives its video clips.
//
// Window handles: a clip is shown on a display surface, not in a native
// window. A surface that should show clips is given a handle by
// SurfaceHandle (small numbers from 1, the lowest free one first); the
// string "window <alias> handle <h>" names the surface by that number.
//
// GUI thread only, except where noted.
#include <cstdint>
#include <memory>
#include <string>

namespace vrd4::platform {

class Surface;

// Results of sendString. 0 is success; every failure has its own number.
enum MciFehler : uint32_t {
  kMciOk = 0,
  kMciUnbekannterBefehl = 261,   // a command or keyword this layer does not know
  kMciUnbekanntesGeraet = 263,   // no device under this alias
  kMciTypNichtVorhanden = 266,   // a device type that cannot play here
  kMciParameterFehlt = 273,      // a keyword without its value, or a bad number
  kMciDateiFehlt = 275,          // the file cannot be read
  kMciAliasBelegt = 289,         // open with an alias already in use
  kMciDateiUngueltig = 296,      // the file is no clip this layer can play
  kMciKeinFenster = 300,         // a window handle that names no surface
};

class Mci {
 public:
  virtual ~Mci() = default;
  // Executes one command string; 0 on success, else an MciFehler.
  virtual uint32_t sendString(const std::string& befehl) = 0;
  // Called on every polling step with the monotonic clock's seconds: the
  // device under alias shows the frame due now. Unknown aliases are ignored.
  virtual void takt(const std::string& alias, double sekunden) = 0;
};

// The process's media layer (clips played with FFmpeg). Lives until exit.
Mci& systemMci();

// A surface's handle for "window <alias> handle <h>" while this object
// lives. The surface must outlive it. Not copyable.
class SurfaceHandle {
 public:
  explicit SurfaceHandle(Surface& surface);
  ~SurfaceHandle();
  SurfaceHandle(const SurfaceHandle&) = delete;
  SurfaceHandle& operator=(const SurfaceHandle&) = delete;
  uint64_t wert() const { return wert_; }

 private:
  uint64_t wert_;
};

// The surface registered under handle h, or nullptr.
Surface* surfaceZuHandle(uint64_t h);

}  // namespace vrd4::platform
