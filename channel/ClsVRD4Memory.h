#pragma once
// One named shared-memory text variable of the channel between a sending
// program and the receiver.
//
// Layout of the POSIX shared-memory object "/" + prefix + name (see
// docs/channel.md), all integers little-endian:
//   offset 0       kTextUnits UTF-16LE code units, text left-aligned, the rest
//                  U+0020 after a write (zero bytes if never written)
//   offset kLen    int32 length of the stored text in code units
// Every single read or write takes the process-wide lock "VRD4Mutex"
// (modVRD4Mutex); if the lock is not had within 0.2 s the access goes ahead
// unguarded, as the other side expects.
//
// A read copies only the stored units; a write rewrites the whole field.
//
// The lock file is one per process: the first construction opens it, and the
// destruction of ANY variable closes it (the next construction opens it
// again). Variables that outlive another one take the 0.2 s unguarded path on
// every access until then, so create and destroy variables together.
//
// Failure: if the object cannot be created or mapped, a message box says so
// ("CreateFileMapping konnte nicht gestartet werden!" / "MapViewofFile konnte
// nicht gestartet werden!") and the variable stays unmapped: it reads as the
// empty text and ignores writes, without waiting for the lock.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SharedMemory.h"

namespace vrd4::channel {

template <int TextUnits>
class BasicVRD4Memory {
 public:
  static constexpr int kTextUnits = TextUnits;
  static constexpr std::size_t kTextBytes = std::size_t(TextUnits) * 2;
  static constexpr std::size_t kMappingSize = kTextBytes + 4;

  BasicVRD4Memory();  // opens the process's VRD4Mutex (MutexAnlegen)
  ~BasicVRD4Memory();  // MutexSchliessen, unmaps, closes
  BasicVRD4Memory(const BasicVRD4Memory&) = delete;
  BasicVRD4Memory& operator=(const BasicVRD4Memory&) = delete;

  // Creates or opens the object for `name` (the channel name prefix is put in
  // front, see channelNamePrefix) and maps it. Call once.
  void Initialize(const std::string& name);

  // Stores text: cut to kTextUnits, padded with U+0020; the length field gets
  // the full length of `text`.
  void SetMemory(std::u16string_view text);
  // The first `length` code units (the whole field if length exceeds it; a
  // negative foreign length reads as 0). Never changes the stored value.
  std::u16string GetMemory() const;

  // Looks without the lock: the stored length (0 when unmapped), and whether
  // the stored text equals `text`. A write in progress may give either the
  // old or the new answer, so these only tell a poller that nothing changed
  // since its last guarded read; act on a guarded GetMemory.
  int32_t peekLength() const;
  bool peekEquals(std::u16string_view text) const;

  bool mapped() const { return view_ != nullptr; }
  const std::string& name() const { return name_; }

  // Sets every byte of the mapping to 0, as in an object nobody has written
  // yet. Unguarded; for the creator of the set when no other process holds it.
  void clearToZero();

  // One process-wide variable without a mapping: reads as the empty text and
  // ignores writes and Initialize. It never opens or closes the lock.
  static BasicVRD4Memory& unmapped();

 private:
  struct UnmappedTag {};
  explicit BasicVRD4Memory(UnmappedTag);

  std::string name_;
  int fd_ = -1;
  void* view_ = nullptr;
  platform::SharedMemory memory_;
  bool usesMutex_ = true;
};

using ClsVRD4Memory = BasicVRD4Memory<32100>;       // 64204 bytes
using ClsVRD4MemorySpeich = BasicVRD4Memory<32752>;  // 65508 bytes

// Process-wide prefix put in front of every shared-memory and lock name
// (empty in production). Tests set their own prefix so that they never touch
// a running receiver's channel. Set it before the first variable is created.
void setChannelNamePrefix(const std::string& prefix);
// What a prefix given on a command line may be: at most 64 characters of
// A-Z a-z 0-9 "_" "-" "." (it becomes part of file and object names).
bool isValidChannelNamePrefix(std::string_view prefix);
const std::string& channelNamePrefix();

}  // namespace vrd4::channel
