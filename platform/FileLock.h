#pragma once
// RAII wrapper of one open file description used as a flock() lock. flock
// locks belong to the open file description, so two FileLock objects on the
// same file conflict with each other even inside one process, while asking
// the same object twice just converts its lock. The kernel drops the lock
// when the description is closed, also when its process is killed.
#include <string>

namespace vrd4::platform {

class FileLock {
 public:
  FileLock() = default;
  // Takes ownership of fd (may be -1: not open).
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens the file at path, creating it for the group vrd4 (Gruppe.h: 0660, else 0600)
  // when missing; close-on-exec. Whatever was open before is closed first.
  // false on failure, error() holds the errno value.
  bool open(const std::string& path);
  // Closes the description, which also releases any lock held through it.
  void close();

  // One attempt each, never blocking. false when not open, when another
  // description holds a conflicting lock (error() EWOULDBLOCK) or on failure.
  // A conversion (shared <-> exclusive) is not atomic: the old lock is gone
  // first, also when the attempt fails.
  bool tryLockExclusive();
  bool tryLockShared();
  bool unlock();

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // true when the last open() created the file.
  bool created() const { return created_; }
  int error() const { return error_; }

 private:
  bool flockOnce(int operation);

  int fd_ = -1;
  bool created_ = false;
  int error_ = 0;
};

}  // namespace vrd4::platform
