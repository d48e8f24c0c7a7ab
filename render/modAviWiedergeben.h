#pragma once
// Video clips in an animation slot. A clip arrives as the bytes of an AVI
// file; it is written to a temporary file and played from there into the
// slot's control surface, through media command strings (platform/Mci.h):
//
//   open    "open <file> type <type> alias <a>", "set <a> time format
//           milliseconds", "window <a> handle <h>" (only for a video type)
//   start   "play <a> from 0 repeat", "put <a> destination"
//   stop    "stop <a>"
//   delete  "stop <a>", "close <a>", then the temporary file is deleted
//
// The alias of slot n is n + "AviTmp". A clip is silent: its sound is never
// played.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/Mci.h"
#include "platform/Surface.h"
#include "render/Animationen.h"

namespace vrd4::render {

// Opens the clip in bytes for animation slot `slot` (1..10; its alias is
// slot + "AviTmp") and plays it, once started, scaled into `ziel` (the slot's
// control surface, already sized and placed; it must outlive the medium).
// nullptr when the bytes are no clip that can be played; nothing is left
// behind then (no temporary file, no open device). Never throws.
std::unique_ptr<AnimationsMedium> aviOeffnen(int slot, platform::Surface& ziel,
                                             std::span<const uint8_t> bytes);
// The same through the media layer mci (which must outlive the medium).
std::unique_ptr<AnimationsMedium> aviOeffnen(int slot, platform::Surface& ziel,
                                             std::span<const uint8_t> bytes, platform::Mci& mci);

// --- the pieces, for the tests --------------------------------------------

// Device type by file extension (the text after the last ".", in any
// letter case): e.g. "avi" -> ("AVIVideo", video), "wav" -> ("waveaudio",
// no video), unknown -> ("MPEGVideo", no video); no "." -> ("", no video).
struct AviGeraetetyp {
  std::string typ;
  bool video = false;
};
AviGeraetetyp aviGeraetetyp(const std::string& datei);

// A new, empty file in the system's temporary folder ($TMPDIR, else /tmp)
// named prefix + six random characters + ".tmp"; its path, or "" when none
// could be made (also when the folder's path has 512 characters or more).
std::string aviTempDateiname(const std::string& prefix);

// Open(alias, bytes, file, handle): with an empty file the bytes go to a new
// temporary file (aviTempDateiname(alias) with ".tmp" replaced by ".avi" in
// its name) and that is opened. The opened file's path, or "" when the open
// or the time format failed; then nothing is left open and a temporary file
// is deleted again. The window command's result is not checked.
std::string aviOpen(platform::Mci& mci, const std::string& alias, std::span<const uint8_t> bytes,
                    const std::string& datei, uint64_t fensterHandle);
void aviPlay(platform::Mci& mci, const std::string& alias, int64_t vonMs);
void aviStop(platform::Mci& mci, const std::string& alias);
// Closes the device and deletes datei when it is not empty and exists.
void aviClose(platform::Mci& mci, const std::string& alias, const std::string& datei);

}  // namespace vrd4::render
