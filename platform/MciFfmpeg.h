#pragma once
// The media layer on FFmpeg. It understands the command strings the receiver
// sends for its clips, and nothing more:
//
//   open <file> type AVIVideo alias <a>   the file is read as AVI (MciVideo.h)
//   set <a> time format milliseconds      ("ms" too; the only time format)
//   window <a> handle <h>                 frames fill the surface with handle h
//   play <a> [from <ms>] [repeat]
//   put <a> destination                   frames fill the whole surface again
//   stop <a>                              the last frame stays
//   close <a>
//
// Keywords in any letter case, aliases compared without regard to case; a
// file name may contain blanks. Other device types cannot play here
// (kMciTypNichtVorhanden); a device that has no window shows nothing. Sound
// is never played. Command strings longer than kMaxBefehl are refused.
#include <map>
#include <memory>
#include <string>

#include "platform/Mci.h"
#include "platform/MciVideo.h"

namespace vrd4::platform {

class MciFfmpeg final : public Mci {
 public:
  static constexpr size_t kMaxBefehl = 1024;

  MciFfmpeg();
  ~MciFfmpeg() override;  // closes every device
  MciFfmpeg(const MciFfmpeg&) = delete;
  MciFfmpeg& operator=(const MciFfmpeg&) = delete;

  uint32_t sendString(const std::string& befehl) override;
  void takt(const std::string& alias, double sekunden) override;

  // The device opened under alias, nullptr when none (tests and benchmarks).
  MciVideo* geraet(const std::string& alias);

 private:
  std::map<std::string, std::unique_ptr<MciVideo>> geraete_;  // by lower-case alias
};

}  // namespace vrd4::platform
