#include "channel/modVRD4Mutex.h"

#include <sys/file.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "channel/ClsVRD4Memory.h"
#include "platform/Ansi.h"
#include "platform/FileLock.h"

namespace vrd4::channel::modVRD4Mutex {
namespace {

struct LockState {
  platform::FileLock file;
  bool held = false;
};

// Never destroyed: variables may still be released by static destructors of
// other files when the process ends, and the kernel closes the file anyway.
LockState& state() {
  static LockState* s = new LockState;
  return *s;
}

// GNU and XSI strerror_r differ in their result; both end up here.
[[maybe_unused]] const char* strerrorResult(char* result, const char*) { return result; }
[[maybe_unused]] const char* strerrorResult(int rc, const char* buffer) {
  return rc == 0 ? buffer : nullptr;
}

bool isKnownError(int code) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
  return code == 0 || ::strerrorname_np(code) != nullptr;
#else
  return code >= 0 && code < 4096;
#endif
}

void pause(std::chrono::nanoseconds d) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(d.count() / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(d.count() % 1'000'000'000);
  ::nanosleep(&ts, nullptr);
}

}  // namespace

std::string lockFilePath() { return "/dev/shm/" + channelNamePrefix() + "VRD4Mutex"; }

std::u16string MutexAnlegen() {
  LockState& s = state();
  if (s.file.isOpen()) return u"VRD4Mutex existiert bereits!";
  s.held = false;
  if (!s.file.open(lockFilePath()))
    return u"Mutex mit Name: \r\nVRD4Mutex\r\n konnte nicht initialisiert werden.";
  const int e = s.file.created() ? 0 : EEXIST;
  std::u16string text = platform::fromUtf8(std::to_string(e)) + u"\r\n" + SystemFehlertext(e) +
                        u"\r\n";
  return text + (e == EEXIST ? u"VRD4Mutex existiert!" : u"VRD4Mutex neu angelegt!");
}

bool MutexWarten(int32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  LockState& s = state();
  if (!s.file.isOpen()) return false;
  if (timeoutMs < -1) timeoutMs = 0;
  const bool unlimited = timeoutMs == -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : timeoutMs);
  // Polling rather than a blocking flock: a blocking call could not be given
  // a time limit without signals.
  constexpr auto kStep = std::chrono::microseconds(500);
  for (;;) {
    if (s.file.tryLockExclusive()) {
      s.held = true;
      return true;
    }
    if (s.file.error() != EWOULDBLOCK) return false;
    const auto now = Clock::now();
    if (!unlimited && now >= deadline) return false;
    pause(unlimited ? kStep : std::min<Clock::duration>(kStep, deadline - now));
  }
}

bool MutexFreigeben() {
  LockState& s = state();
  if (!s.file.isOpen() || !s.held) return false;
  if (!s.file.unlock()) return false;
  s.held = false;
  return true;
}

void MutexSchliessen() {
  LockState& s = state();
  s.file.close();
  s.held = false;
}

std::u16string SystemFehlertext(int errorCode) {
  if (isKnownError(errorCode)) {
    char buffer[1024] = {};
    if (const char* text = strerrorResult(::strerror_r(errorCode, buffer, sizeof buffer), buffer))
      return platform::fromUtf8(text);
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(errorCode));
  return u"Unbekannter Fehler: &H" + platform::fromUtf8(hex);
}

}  // namespace vrd4::channel::modVRD4Mutex
