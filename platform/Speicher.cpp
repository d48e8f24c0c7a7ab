#include "platform/Speicher.h"

#include <malloc.h>

namespace vrd4::platform {

void speicherRegeln() {
  // Fixing the threshold also stops glibc from raising its trim threshold:
  // free memory at the top of a heap goes back at once, too.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kEigeneAbbildungAb));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kEigeneAbbildungAb));
}

void speicherZurueckgeben() { malloc_trim(0); }

}  // namespace vrd4::platform
