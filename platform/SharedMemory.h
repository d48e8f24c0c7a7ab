#pragma once
// A named POSIX shared-memory object ("/" + name, i.e. /dev/shm/<name>),
// mapped shared read-write. Thin RAII wrapper: one object owns one descriptor
// and one mapping; moving transfers them, copying is not possible.
//
// Contract of every object we create: mode 0660 and group vrd4 when that
// group exists and we may hand it over, else 0600 (see Gruppe.h), whatever
// the umask; every
// descriptor close-on-exec (a program we start never inherits it), and an
// existing object of another size is brought to the requested size before it
// is mapped, so that touching the mapping never raises SIGBUS.
#include <cstddef>
#include <string>

namespace vrd4::platform {

class SharedMemory {
 public:
  // Where open() stopped. Open and Size are failures of creating the object,
  // Map of mapping it.
  enum class Step { None, Open, Size, Map };

  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(SharedMemory&& other) noexcept;
  SharedMemory& operator=(SharedMemory&& other) noexcept;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Opens or creates "/" + name, makes it exactly `size` bytes and maps all
  // of it. Whatever was open before is closed first. On failure nothing stays
  // open and failedStep()/error() (an errno value) say where and why. The
  // content of an existing object is left as it is; a new one is all zero.
  bool open(const std::string& name, std::size_t size);
  void close();

  bool isOpen() const { return data_ != nullptr; }
  unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  int fd() const { return fd_; }
  Step failedStep() const { return step_; }
  int error() const { return error_; }

  // A descriptor of its own (a new open file description, close-on-exec) for
  // "/" + name, created empty (mode as above) when missing (unless create is
  // false); the caller owns it. -1 on failure with the errno value in *error.
  static int openDescriptor(const std::string& name, int* error, bool create = true);

  // Removes the name (shm_unlink); mappings that are open stay valid. False
  // when there was nothing to remove or it failed.
  static bool remove(const std::string& name);

 private:
  int fd_ = -1;
  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  Step step_ = Step::None;
  int error_ = 0;
};

}  // namespace vrd4::platform
