#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/Gruppe.h"

namespace vrd4::platform {

SharedMemory::~SharedMemory() { close(); }

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      step_(other.step_),
      error_(other.error_) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    step_ = other.step_;
    error_ = other.error_;
  }
  return *this;
}

int SharedMemory::openDescriptor(const std::string& name, int* error, bool create) {
  const std::string path = "/" + name;
  // Create exclusively first so that only the creator sets the mode; an
  // object removed between the two calls is simply tried again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (create) {
      int fd = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        fuerTafelGruppe(fd);  // the umask must not widen or narrow it
        return fd;
      }
      if (errno != EEXIST) break;
    }
    int fd = ::shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd >= 0) return fd;
    if (errno != ENOENT || !create) break;
  }
  if (error) *error = errno;
  return -1;
}

bool SharedMemory::open(const std::string& name, std::size_t size) {
  close();
  step_ = Step::None;
  error_ = 0;
  auto fail = [this](Step step, int error, int fd) {
    if (fd >= 0) ::close(fd);
    step_ = step;
    error_ = error;
    return false;
  };

  int error = 0;
  const int fd = openDescriptor(name, &error);
  if (fd < 0) return fail(Step::Open, error, -1);

  struct stat st {};
  if (::fstat(fd, &st) != 0) return fail(Step::Size, errno, fd);
  // A leftover or foreign object of another size would fault (SIGBUS) beyond
  // its end; fix the size before anyone touches the mapping.
  if (st.st_size < 0 || static_cast<std::size_t>(st.st_size) != size) {
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) return fail(Step::Size, errno, fd);
  }
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return fail(Step::Map, errno, fd);

  fd_ = fd;
  data_ = static_cast<unsigned char*>(p);
  size_ = size;
  return true;
}

void SharedMemory::close() {
  if (data_) ::munmap(data_, size_);
  if (fd_ >= 0) ::close(fd_);
  data_ = nullptr;
  size_ = 0;
  fd_ = -1;
}

bool SharedMemory::remove(const std::string& name) {
  const std::string path = "/" + name;
  return ::shm_unlink(path.c_str()) == 0;
}

}  // namespace vrd4::platform
