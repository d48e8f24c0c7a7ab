#include "net/Zeilenpuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

namespace vrd4::net {

namespace {

// Lets the system back the 2 MiB-aligned inside of [p, p + n) with huge
// pages. Filling a picture-sized line page by page otherwise costs one page
// fault per 4 KiB (16384 for 64 MiB, about 200 ms of the GUI thread on a
// virtual machine); with huge pages it is 32. Without huge pages in the
// system this does nothing.
void grosseSeiten(char* p, std::size_t n) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kGross = std::uintptr_t{2} << 20;
  const std::uintptr_t anfang = (reinterpret_cast<std::uintptr_t>(p) + kGross - 1) & ~(kGross - 1);
  const std::uintptr_t ende = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kGross - 1);
  if (ende > anfang) ::madvise(reinterpret_cast<void*>(anfang), ende - anfang, MADV_HUGEPAGE);
#else
  (void)p;
  (void)n;
#endif
}

}  // namespace

void Zeilenpuffer::anhaengen(std::string_view chunk) {
  const std::size_t nul = chunk.find('\0');
  if (nul != std::string_view::npos) chunk = chunk.substr(0, nul);
  // A picture-sized line would be copied at every doubling of the buffer
  // (the last copy tens of milliseconds long): past 256 KiB the room for
  // the longest line is taken at once. Untouched pages of it cost no memory
  // (a huge page at most 2 MiB beyond what the line fills).
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  if (puffer_.size() + chunk.size() > puffer_.capacity() && puffer_.capacity() >= kMiB / 4 && max_ <= 1024 * kMiB) {
    puffer_.reserve(std::max(puffer_.size() + chunk.size(), max_ + (std::size_t{64} << 10)));
    grosseSeiten(puffer_.data(), puffer_.capacity());
  }
  puffer_.append(chunk);
}

Zeilenpuffer::Ergebnis Zeilenpuffer::naechsteZeile(std::string_view separator,
                                                   std::string_view& zeile) {
  if (separator.size() != trennerLaenge_) {
    trennerLaenge_ = separator.size();
    gesucht_ = anfang_;
  }
  const std::string_view alles(puffer_);
  const std::size_t ab = std::max(anfang_, gesucht_);
  const std::size_t pos = alles.find(separator, ab);
  if (pos != std::string_view::npos) {
    if (pos - anfang_ > max_) return Ergebnis::ZuLang;
    zeile = alles.substr(anfang_, pos - anfang_);
    anfang_ = pos + separator.size();
    gesucht_ = anfang_;
    return Ergebnis::Zeile;
  }
  // A separator may begin in the last separator.size() - 1 bytes and end
  // in the next chunk.
  const std::size_t offen = std::min(puffer_.size() - anfang_, separator.size() - 1);
  gesucht_ = puffer_.size() - offen;
  puffer_.erase(0, anfang_);
  gesucht_ -= anfang_;
  anfang_ = 0;
  // After a picture-sized line, give the memory back instead of keeping it
  // for a connection that may only send short commands from now on.
  // (A line still growing keeps its room: only a small rest is shrunk.)
  if (puffer_.capacity() > (std::size_t{1} << 20) && puffer_.size() < (std::size_t{64} << 10))
    puffer_.shrink_to_fit();
  return puffer_.size() > max_ ? Ergebnis::ZuLang : Ergebnis::KeineZeile;
}

std::string Zeilenpuffer::herausnehmen(std::string_view zeile) {
  const char* basis = puffer_.data();
  if (zeile.size() < kVerschiebenAb || zeile.data() < basis || zeile.data() >= basis + puffer_.size())
    return std::string(zeile);
  const std::size_t start = static_cast<std::size_t>(zeile.data() - basis);
  std::string rest = puffer_.substr(anfang_);
  puffer_.resize(start + zeile.size());
  puffer_.erase(0, start);
  std::string ergebnis = std::move(puffer_);
  puffer_ = std::move(rest);
  anfang_ = 0;
  gesucht_ = 0;
  return ergebnis;
}

std::string Zeilenpuffer::restNehmen() {
  std::string rest = puffer_.substr(anfang_);
  leeren();
  return rest;
}

void Zeilenpuffer::leeren() {
  puffer_.clear();
  puffer_.shrink_to_fit();
  anfang_ = 0;
  gesucht_ = 0;
}

}  // namespace vrd4::net
