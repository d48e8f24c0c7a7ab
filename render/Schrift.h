#pragma once
// Fonts for the texts on the board: the screen-font check, and fitting a
// font to a line height in pixels (0.05-point steps on a surface, whole
// points on a text-effect control).
//
// Heights are compared in the measuring surface's scale units, so a board
// enlarged to full screen fits its fonts to the enlarged size. The sizes are
// those that walking the steps one by one finds, but they are found by
// galloping out from a proportional guess and halving, with a few dozen
// measurements at most for any height (exactly the walk's result wherever
// the measured height grows with the size).
#include <QString>
#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>

#include "platform/Surface.h"

namespace vrd4::render {

class CtlLTundBK;

// "AyjgÜÀ": every fitting measures the height of this text.
const QString& Messtext();

// The smallest pixel height that is fitted; smaller wishes get this.
inline constexpr int kKleinsteSchrifthoehe = 5;

// True when name equals a screen font name in any letter case.
bool SchriftVorhanden(const QString& name);

// The point size whose line height on s comes closest to h pixels from
// below (or equals it), as 0.05-point steps from the surface's current size
// find it: downwards to the first size no higher than h, or upwards to the
// last size below h (or one equal to it). The surface's font name and attributes must be set; its
// size is the same afterwards as before. h below 5 counts as 5.
double SchriftgroesseAnpassen(platform::Surface& s, int h);

// SchriftgroesseAnpassen with a memory of earlier results. The result of the
// search depends on the font (name, bold, italic, underline, strikethrough),
// h, the surface's pixel-to-unit ratio and the size the search starts from;
// with all of them equal the remembered size is returned without measuring.
class SchriftgroessenSpeicher {
 public:
  // At most this many sizes are remembered; one more forgets them all.
  static constexpr std::size_t kMaxEintraege = 4096;

  double anpassen(platform::Surface& s, int h);
  std::size_t eintraege() const { return groessen_.size(); }
  void leeren() { groessen_.clear(); }

 private:
  using Schluessel = std::tuple<QString, bool, bool, bool, bool, int, int, double, double>;
  std::map<Schluessel, double> groessen_;
};

// The control's font fitted in whole points: its FontSize, read back, is the
// wanted height in pixels. Steps of 0.05 rounded to whole points, upwards
// until the height reaches the target, or downwards until it falls to it.
void SchriftGanzzahligAnpassen(CtlLTundBK& ctl);

}  // namespace vrd4::render
