#pragma once
// The leading number of a channel variable that the tick looks at: read
// under the lock only when a look without it shows another text than the
// last read, so an idle tick takes no lock and allocates nothing.
#include <string>

#include "support/Numbers.h"

namespace vrd4::app {

class KanalZahl {
 public:
  // The number the variable's text begins with (as leadingNumber), as of a
  // guarded read made now or at the last change seen.
  template <class Variable>
  double lesen(const Variable& v) {
    if (!gelesen_ || !v.peekEquals(text_)) {
      text_ = v.GetMemory();
      wert_ = leadingNumber(text_);
      gelesen_ = true;
    }
    return wert_;
  }

 private:
  bool gelesen_ = false;
  std::u16string text_;
  double wert_ = 0;
};

}  // namespace vrd4::app
