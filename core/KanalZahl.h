#pragma once
// The leading number of a channel variable that the tick looks at: read
// under the lock only when a look without it shows another text than the
// last read, so an idle tick takes no lock and allocates nothing.
#include <functional>
#include <string>

#include "support/Numbers.h"

namespace vrd4::core {

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

  // A look without the lock, for another thread while v lives: true while v
  // holds the text of the last read (never before the first).
  template <class Variable>
  std::function<bool()> unveraendert(const Variable& v) const {
    return [&v, text = text_, gelesen = gelesen_] { return gelesen && v.peekEquals(text); };
  }

 private:
  bool gelesen_ = false;
  std::u16string text_;
  double wert_ = 0;
};

}  // namespace vrd4::core
