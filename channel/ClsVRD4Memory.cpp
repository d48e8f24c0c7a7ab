#include "channel/ClsVRD4Memory.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstring>
#include <limits>

#include "channel/modVRD4Mutex.h"
#include "platform/Ansi.h"
#include "platform/MessageBox.h"

namespace vrd4::channel {
namespace {

std::string& prefixStorage() {
  static std::string* prefix = new std::string;
  return *prefix;
}

using Clock = std::chrono::steady_clock;
constexpr auto kAccessLimit = std::chrono::milliseconds(200);

void pauseShortly() {
  timespec ts{0, 1'000'000};
  ::nanosleep(&ts, nullptr);
}

// Up to 0.2 s of attempts of 100 ms each; the time test comes first, so there
// is always one attempt. An attempt that fails at once (the lock file is not
// open) would otherwise turn the wait into a busy loop.
bool acquire() {
  const auto start = Clock::now();
  for (auto now = start; now - start <= kAccessLimit; now = Clock::now()) {
    if (modVRD4Mutex::MutexWarten(100)) return true;
    if (Clock::now() - now < std::chrono::milliseconds(1)) pauseShortly();
  }
  return false;
}

void release() {
  const auto start = Clock::now();
  while (!modVRD4Mutex::MutexFreigeben() && Clock::now() - start <= kAccessLimit) pauseShortly();
}

// The mapping is little-endian whatever the host; memcpy keeps the access
// free of alignment and aliasing questions.
void storeUnits(unsigned char* dst, const char16_t* src, std::size_t count) {
  if (count == 0) return;  // an empty view may have no data at all
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(dst, src, count * 2);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      dst[2 * i] = static_cast<unsigned char>(src[i] & 0xFF);
      dst[2 * i + 1] = static_cast<unsigned char>(src[i] >> 8);
    }
  }
}

void loadUnits(char16_t* dst, const unsigned char* src, std::size_t count) {
  if (count == 0) return;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(dst, src, count * 2);
  } else {
    for (std::size_t i = 0; i < count; ++i)
      dst[i] = static_cast<char16_t>(src[2 * i] | (src[2 * i + 1] << 8));
  }
}

void fillSpaces(unsigned char* dst, std::size_t count) {
  // U+0020 little-endian is the byte pair 20 00.
  static constexpr std::size_t kChunk = 512;
  static const auto chunk = [] {
    std::array<unsigned char, kChunk * 2> c{};
    for (std::size_t i = 0; i < kChunk; ++i) c[2 * i] = 0x20;
    return c;
  }();
  while (count > 0) {
    const std::size_t n = std::min(count, kChunk);
    std::memcpy(dst, chunk.data(), n * 2);
    dst += n * 2;
    count -= n;
  }
}

void storeInt32(unsigned char* dst, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) dst[i] = static_cast<unsigned char>(u >> (8 * i));
}

int32_t loadInt32(const unsigned char* src) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t(src[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

void setChannelNamePrefix(const std::string& prefix) { prefixStorage() = prefix; }
const std::string& channelNamePrefix() { return prefixStorage(); }

bool isValidChannelNamePrefix(std::string_view prefix) {
  if (prefix.size() > 64) return false;
  for (char c : prefix) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

template <int TextUnits>
BasicVRD4Memory<TextUnits>::BasicVRD4Memory() {
  modVRD4Mutex::MutexAnlegen();
}

template <int TextUnits>
BasicVRD4Memory<TextUnits>::BasicVRD4Memory(UnmappedTag) : usesMutex_(false) {}

template <int TextUnits>
BasicVRD4Memory<TextUnits>::~BasicVRD4Memory() {
  if (usesMutex_) modVRD4Mutex::MutexSchliessen();
  memory_.close();
  view_ = nullptr;
  fd_ = -1;
}

template <int TextUnits>
BasicVRD4Memory<TextUnits>& BasicVRD4Memory<TextUnits>::unmapped() {
  static BasicVRD4Memory instance{UnmappedTag{}};
  return instance;
}

template <int TextUnits>
void BasicVRD4Memory<TextUnits>::Initialize(const std::string& name) {
  if (!usesMutex_) return;
  name_ = name;
  view_ = nullptr;
  fd_ = -1;
  const std::string fullName = channelNamePrefix() + name;
  if (!memory_.open(fullName, kMappingSize)) {
    // The title names the object and the system's reason; the text is the
    // one the other side's operators know.
    const std::u16string title = platform::fromUtf8("/" + fullName) + u": " +
                                 modVRD4Mutex::SystemFehlertext(memory_.error());
    if (memory_.failedStep() == platform::SharedMemory::Step::Map)
      platform::showMessageBox(u"MapViewofFile konnte nicht gestartet werden!", title, {.warnung = true});
    else
      platform::showMessageBox(u"CreateFileMapping konnte nicht gestartet werden!", title, {.warnung = true});
    return;
  }
  view_ = memory_.data();
  fd_ = memory_.fd();
}

template <int TextUnits>
void BasicVRD4Memory<TextUnits>::SetMemory(std::u16string_view text) {
  // Without a mapping there is nothing to guard: no 0.2 s wait either.
  if (!view_) return;
  auto* base = static_cast<unsigned char*>(view_);
  const std::size_t stored = std::min<std::size_t>(text.size(), kTextUnits);
  const auto length = static_cast<int32_t>(
      std::min<std::size_t>(text.size(), std::numeric_limits<int32_t>::max()));

  const bool obtained = acquire();
  storeUnits(base, text.data(), stored);
  fillSpaces(base + stored * 2, kTextUnits - stored);
  storeInt32(base + kTextBytes, length);
  if (obtained) release();
}

template <int TextUnits>
std::u16string BasicVRD4Memory<TextUnits>::GetMemory() const {
  if (!view_) return {};
  const auto* base = static_cast<const unsigned char*>(view_);
  std::u16string text;
  const bool obtained = acquire();
  // A foreign writer may leave any length: negative reads as nothing, more
  // than the field as the whole field. Only the stored units are copied.
  const int32_t length = std::clamp<int32_t>(loadInt32(base + kTextBytes), 0, kTextUnits);
  text.resize(static_cast<std::size_t>(length));
  loadUnits(text.data(), base, text.size());
  if (obtained) release();
  return text;
}

// The other process writes these bytes meanwhile; single relaxed loads keep
// the unguarded look free of torn values within one unit.
template <int TextUnits>
int32_t BasicVRD4Memory<TextUnits>::peekLength() const {
  if (!view_) return 0;
  auto* base = static_cast<unsigned char*>(view_);
  unsigned char b[4];
  for (int i = 0; i < 4; ++i) b[i] = __atomic_load_n(base + kTextBytes + i, __ATOMIC_RELAXED);
  return loadInt32(b);
}

template <int TextUnits>
bool BasicVRD4Memory<TextUnits>::peekEquals(std::u16string_view text) const {
  if (!view_) return text.empty();
  if (text.size() > kTextUnits || peekLength() != static_cast<int32_t>(text.size())) return false;
  auto* base = static_cast<unsigned char*>(view_);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned lo = __atomic_load_n(base + 2 * i, __ATOMIC_RELAXED);
    const unsigned hi = __atomic_load_n(base + 2 * i + 1, __ATOMIC_RELAXED);
    if (static_cast<char16_t>(lo | (hi << 8)) != text[i]) return false;
  }
  return true;
}

template <int TextUnits>
void BasicVRD4Memory<TextUnits>::clearToZero() {
  if (view_) std::memset(view_, 0, kMappingSize);
}

template class BasicVRD4Memory<32100>;
template class BasicVRD4Memory<32752>;

}  // namespace vrd4::channel
