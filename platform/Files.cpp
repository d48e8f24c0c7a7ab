#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vrd4::platform {

bool fileExists(const std::string& path) {
  struct stat st{};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  return !S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> regularFileSize(const std::string& path) {
  struct stat st{};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, std::uint64_t maxBytes,
                                                  Lesefehler* fehler) {
  const auto zuGross = [fehler](std::uint64_t groesse) {
    if (fehler) *fehler = {true, groesse};
  };
  // Without O_NONBLOCK a FIFO would wait here for a writer, and the polling
  // loop with it.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > maxBytes) zuGross(std::uint64_t(st.st_size));
    ::close(fd);
    return std::nullopt;
  }
  std::vector<uint8_t> out;
  out.reserve(static_cast<std::size_t>(st.st_size));
  uint8_t buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    if (out.size() + static_cast<std::size_t>(n) > maxBytes) {  // grew while we read
      zuGross(out.size() + static_cast<std::size_t>(n));
      ::close(fd);
      return std::nullopt;
    }
    out.insert(out.end(), buf, buf + n);
  }
  ::close(fd);
  return out;
}

}  // namespace vrd4::platform
