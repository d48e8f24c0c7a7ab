#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/Gruppe.h"

namespace vrd4::platform {

FileLock::~FileLock() { close(); }

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), created_(other.created_), error_(other.error_) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    created_ = other.created_;
    error_ = other.error_;
  }
  return *this;
}

bool FileLock::open(const std::string& path) {
  close();
  created_ = false;
  error_ = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    // O_EXCL also refuses to follow a symlink planted under the name.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fuerTafelGruppe(fd);
      fd_ = fd;
      created_ = true;
      return true;
    }
    if (errno != EEXIST) break;
    // flock needs no write access, so a file that is only readable will do.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
      fd_ = fd;
      return true;
    }
    if (errno != ENOENT) break;
  }
  error_ = errno;
  return false;
}

void FileLock::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FileLock::flockOnce(int operation) {
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  for (;;) {
    if (::flock(fd_, operation) == 0) return true;
    if (errno != EINTR) break;
  }
  error_ = errno;
  return false;
}

bool FileLock::tryLockExclusive() { return flockOnce(LOCK_EX | LOCK_NB); }
bool FileLock::tryLockShared() { return flockOnce(LOCK_SH | LOCK_NB); }
bool FileLock::unlock() { return flockOnce(LOCK_UN); }

}  // namespace vrd4::platform
