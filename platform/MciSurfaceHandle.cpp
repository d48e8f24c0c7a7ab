#include <map>

#include "platform/Mci.h"

namespace vrd4::platform {

namespace {
// Handle -> surface; GUI thread only, like the surfaces themselves.
std::map<uint64_t, Surface*>& tabelle() {
  static std::map<uint64_t, Surface*> t;
  return t;
}
}  // namespace

SurfaceHandle::SurfaceHandle(Surface& surface) {
  auto& t = tabelle();
  // The lowest free number: a slot that is loaded again gets the handle it
  // had before, and handles stay small.
  uint64_t h = 1;
  for (const auto& [wert, s] : t) {
    if (wert != h) break;
    ++h;
  }
  t.emplace(h, &surface);
  wert_ = h;
}

SurfaceHandle::~SurfaceHandle() { tabelle().erase(wert_); }

Surface* surfaceZuHandle(uint64_t h) {
  const auto& t = tabelle();
  const auto it = t.find(h);
  return it == t.end() ? nullptr : it->second;
}

}  // namespace vrd4::platform
