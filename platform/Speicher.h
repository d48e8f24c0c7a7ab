#pragma once
// How the process's allocator holds large blocks, and giving free memory
// back to the system.
//
// A big input (a picture line of 64 MB, a file of 32 MB, a decoded picture
// of 128 MB) must not stay resident once it is done. glibc's allocator
// raises its threshold for mapping blocks of their own after the first such
// block is freed (up to 32 MB), and from then on takes blocks of that size
// from its heaps, which keep what was freed. speicherRegeln() fixes the
// threshold at kEigeneAbbildungAb, so every larger block is mapped and
// unmapped on its own; speicherZurueckgeben() hands the free pages of the
// heaps back after a big input.
#include <cstddef>

namespace vrd4::platform {

inline constexpr std::size_t kEigeneAbbildungAb = std::size_t{4} << 20;

// Once, early in main (before threads start).
void speicherRegeln();
// Free pages of every heap go back to the system (malloc_trim). Takes up to
// a few milliseconds with large heaps: call it beside the GUI thread, or
// after something big only.
void speicherZurueckgeben();

}  // namespace vrd4::platform
