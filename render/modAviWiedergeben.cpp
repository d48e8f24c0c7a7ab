#include "render/modAviWiedergeben.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace vrd4::render {

namespace {

std::string klein(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Every occurrence, exact case, in the file's name only: a temporary folder
// such as "/var/.tmp" must stay what it is.
std::string tmpZuAvi(const std::string& pfad) {
  const size_t name = pfad.rfind('/') + 1;  // npos + 1 == 0
  std::string out = pfad.substr(0, name);
  std::string_view rest(pfad);
  rest.remove_prefix(name);
  for (size_t p; (p = rest.find(".tmp")) != std::string_view::npos;) {
    out.append(rest.substr(0, p)).append(".avi");
    rest.remove_prefix(p + 4);
  }
  return out.append(rest);
}

// Writes bytes into a file that did not exist before (never through a
// link someone placed in the temporary folder).
bool neueDateiSchreiben(const std::string& pfad, std::span<const uint8_t> bytes) {
  const int fd = ::open(pfad.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t geschrieben = 0;
  while (geschrieben < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + geschrieben, bytes.size() - geschrieben);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    geschrieben += static_cast<size_t>(n);
  }
  const bool ok = ::close(fd) == 0 && geschrieben == bytes.size();
  if (!ok) ::unlink(pfad.c_str());
  return ok;
}

void dateiLoeschen(const std::string& pfad) {
  struct stat st {};
  if (!pfad.empty() && ::lstat(pfad.c_str(), &st) == 0) ::unlink(pfad.c_str());
}

class AviMedium final : public AnimationsMedium {
 public:
  AviMedium(platform::Mci& mci, std::string alias, platform::Surface& ziel)
      : mci_(mci), alias_(std::move(alias)), ziel_(ziel), handle_(ziel) {}
  ~AviMedium() override { loeschen(); }

  bool oeffnen(std::span<const uint8_t> bytes) {
    datei_ = aviOpen(mci_, alias_, bytes, "", handle_.wert());
    return !datei_.empty();
  }
  void starten() override { aviPlay(mci_, alias_, 0); }
  void stoppen() override { aviStop(mci_, alias_); }
  void loeschen() override {
    if (datei_.empty()) return;
    aviStop(mci_, alias_);
    aviClose(mci_, alias_, datei_);
    datei_.clear();
  }
  void setVisible(bool on) override { ziel_.setVisible(on); }
  void takt(double sekunden) override { mci_.takt(alias_, sekunden); }

 private:
  platform::Mci& mci_;
  const std::string alias_;
  platform::Surface& ziel_;
  platform::SurfaceHandle handle_;
  std::string datei_;  // empty once closed
};

}  // namespace

AviGeraetetyp aviGeraetetyp(const std::string& datei) {
  const size_t punkt = datei.rfind('.');
  if (punkt == std::string::npos) return {};
  const std::string ext = klein(datei.substr(punkt + 1));
  struct Zeile {
    std::array<const char*, 6> endungen;
    const char* typ;
    bool video;
  };
  static const Zeile kTabelle[] = {
      {{"mid", "midi", "rmi"}, "Sequencer", false},
      {{"wav"}, "waveaudio", false},
      {{"cda"}, "CDAudio", false},
      {{"aif", "aifc", "aiff", "au", "mp3", "snd"}, "MPEGVideo", false},
      {{"wma"}, "MPEGVideo2", false},
      {{"mpeg", "mpg", "m1v", "mp2", "mpa", "mpe"}, "MPEGVideo", true},
      {{"avi"}, "AVIVideo", true},
      {{"wmv"}, "MPEGVideo2", true},
  };
  for (const Zeile& z : kTabelle) {
    for (const char* e : z.endungen) {
      if (e && ext == e) return {z.typ, z.video};
    }
  }
  return {"MPEGVideo", false};
}

std::string aviTempDateiname(const std::string& prefix) {
  const char* env = std::getenv("TMPDIR");
  std::string ordner = env && *env == '/' ? env : "/tmp";
  if (ordner.size() >= 512) return {};
  if (ordner.back() != '/') ordner += '/';
  std::string muster = ordner + prefix + "XXXXXX.tmp";
  std::vector<char> puffer(muster.begin(), muster.end());
  puffer.push_back('\0');
  const int fd = ::mkstemps(puffer.data(), 4);
  if (fd < 0) return {};
  ::close(fd);
  return std::string(puffer.data());
}

std::string aviOpen(platform::Mci& mci, const std::string& alias, std::span<const uint8_t> bytes,
                    const std::string& datei, uint64_t fensterHandle) {
  std::string f = datei;
  const bool temporaer = f.empty();
  if (temporaer) {
    const std::string reserviert = aviTempDateiname(alias);
    if (reserviert.empty()) return {};
    f = tmpZuAvi(reserviert);
    const bool geschrieben = f != reserviert && neueDateiSchreiben(f, bytes);
    // The ".tmp" file only reserved the name; the clip lives in the ".avi".
    ::unlink(reserviert.c_str());
    if (!geschrieben) return {};
  }
  const AviGeraetetyp typ = aviGeraetetyp(f);
  bool offen = false;
  bool ok = mci.sendString("open " + f + " type " + typ.typ + " alias " + alias) == 0;
  if (ok) {
    offen = true;
    ok = mci.sendString("set " + alias + " time format milliseconds") == 0;
  }
  if (ok) {
    if (typ.video && fensterHandle != 0)
      mci.sendString("window " + alias + " handle " + std::to_string(fensterHandle));
    return f;
  }
  // Nothing stays behind a failed open: neither the device nor the copy.
  if (offen) mci.sendString("close " + alias);
  if (temporaer) dateiLoeschen(f);
  return {};
}

void aviPlay(platform::Mci& mci, const std::string& alias, int64_t vonMs) {
  mci.sendString("play " + alias + " from " + std::to_string(vonMs) + " repeat");
  mci.sendString("put " + alias + " destination");
}

void aviStop(platform::Mci& mci, const std::string& alias) { mci.sendString("stop " + alias); }

void aviClose(platform::Mci& mci, const std::string& alias, const std::string& datei) {
  mci.sendString("close " + alias);
  dateiLoeschen(datei);
}

std::unique_ptr<AnimationsMedium> aviOeffnen(int slot, platform::Surface& ziel,
                                             std::span<const uint8_t> bytes, platform::Mci& mci) {
  try {
    auto medium = std::make_unique<AviMedium>(mci, std::to_string(slot) + "AviTmp", ziel);
    if (!medium->oeffnen(bytes)) return nullptr;
    return medium;
  } catch (...) {  // out of memory: the slot stays free
    return nullptr;
  }
}

std::unique_ptr<AnimationsMedium> aviOeffnen(int slot, platform::Surface& ziel,
                                             std::span<const uint8_t> bytes) {
  return aviOeffnen(slot, ziel, bytes, platform::systemMci());
}

}  // namespace vrd4::render
