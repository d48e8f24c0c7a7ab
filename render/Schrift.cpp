#include "render/Schrift.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/CtlLTundBK.h"
#include "support/Numbers.h"

namespace vrd4::render {

const QString& Messtext() {
  static const QString text = QString::fromUtf8("AyjgÜÀ");
  return text;
}

bool SchriftVorhanden(const QString& name) {
  static const QSet<QString> namen = [] {
    QSet<QString> s;
    for (const QString& n : platform::screenFontNames()) s.insert(n.toUpper());
    return s;
  }();
  return namen.contains(name.toUpper());
}

namespace {

// A 0.05-point step moves the size in force (whole pixels, Surface.h) by at
// most one pixel, so stepping visits every pixel height between where it
// starts and where it stops, and the height measured depends only on the
// pixel height. Stepping is therefore a walk over pixel heights; where the
// measured height grows with the size, the pixel height at which the walk
// stops is found by galloping out from a guess and halving the bracket.
double punkteVon(int px) { return px * 72.0 / platform::Surface::kDpi; }
int pixelVon(double punkte) { return int(std::lround(punkte * platform::Surface::kDpi / 72.0)); }

// The smallest x in (lo, hi] for which ok(x) holds, or hi + 1 when ok(hi)
// does not; ok must stay true once it holds. Starts at guess.
template <typename Ok>
int ersteWahre(int lo, int hi, int guess, Ok ok) {
  if (hi <= lo) return hi + 1;
  int x = std::clamp(guess, lo + 1, hi);
  if (ok(x)) {
    for (int weite = 1; x > lo + 1; weite *= 2) {
      const int y = std::max(lo + 1, x - weite);
      if (!ok(y)) {
        lo = y;
        break;
      }
      x = y;
    }
    if (x == lo + 1) return x;
  } else {
    lo = x;
    for (int weite = 1;; weite *= 2) {
      if (lo >= hi) return hi + 1;
      const int y = std::min(hi, lo + weite);
      if (ok(y)) {
        x = y;
        break;
      }
      lo = y;
    }
  }
  // ok(x) holds, ok(lo) does not.
  while (x - lo > 1) {
    const int mitte = lo + (x - lo) / 2;
    (ok(mitte) ? x : lo) = mitte;
  }
  return x;
}

}  // namespace

double SchriftgroesseAnpassen(platform::Surface& s, int h) {
  const double ziel = std::max(h, kKleinsteSchrifthoehe);
  const double s0 = s.fontSize();
  const int px0 = pixelVon(s0);
  const double t0 = s.textHeight(Messtext());
  if (t0 == ziel) return s0;

  auto hoehe = [&](int px) {
    s.setFontSize(punkteVon(px));
    return s.textHeight(Messtext());
  };
  // Line heights are close to proportional to the size.
  const double schaetzung = t0 > 0 ? px0 * ziel / t0 : px0;
  const int geschaetzt = int(std::clamp(std::lround(schaetzung), 1L, long(platform::Surface::kMaxFontPx)));
  double ergebnis = 0;
  if (t0 > ziel) {
    // Downwards the steps stop at the first size whose height is no longer
    // above the wanted one, or at the smallest size.
    const int ersteZuHohe =
        ersteWahre(0, px0, geschaetzt + 1, [&](int px) { return hoehe(px) > ziel; });
    ergebnis = punkteVon(std::max(1, ersteZuHohe - 1));
  } else {
    // Upwards they stop at the first size whose height reaches the wanted
    // one: that size when equal, else the one before; or at the largest size.
    const int groesstes = platform::Surface::kMaxFontPx;
    const int px = ersteWahre(px0, groesstes, geschaetzt, [&](int p) { return hoehe(p) >= ziel; });
    if (px > groesstes) {
      ergebnis = punkteVon(std::max(px0, groesstes));
    } else {
      ergebnis = punkteVon(hoehe(px) == ziel ? px : px - 1);
    }
  }
  s.setFontSize(s0);
  return ergebnis;
}

double SchriftgroessenSpeicher::anpassen(platform::Surface& s, int h) {
  h = std::max(h, kKleinsteSchrifthoehe);
  // The start size belongs to the key: where a height is reached by several
  // sizes, the search stops at the first one it meets, and that depends on
  // the side it comes from.
  Schluessel k{s.fontName(),  s.fontBold(),      s.fontItalic(),     s.fontUnderline(),
               s.fontStrikethru(), h, s.heightPx(), s.scaleHeight(), s.fontSize()};
  if (auto it = groessen_.find(k); it != groessen_.end()) return it->second;
  const double groesse = SchriftgroesseAnpassen(s, h);
  if (groessen_.size() >= kMaxEintraege) groessen_.clear();
  groessen_.emplace(std::move(k), groesse);
  return groesse;
}

void SchriftGanzzahligAnpassen(CtlLTundBK& ctl) {
  // Rounded to whole points, 0.05-point steps visit every whole point on
  // their way, so the walk is one over whole points (see above).
  const int32_t ziel = ctl.FontSize();
  const int32_t t = ctl.TextHeight(Messtext());
  auto hoehe = [&](int punkte) {
    ctl.setFontSize(punkte);
    return ctl.TextHeight(Messtext());
  };
  const int groesste = int(punkteVon(platform::Surface::kMaxFontPx));
  const int geschaetzt =
      t > 0 ? int(std::clamp<int64_t>(int64_t(ziel) * ziel / t, 1, groesste)) : ziel;
  if (t < ziel) {
    // Upwards to the first size that reaches the height, without stepping back.
    const int n = ersteWahre(ziel, groesste, geschaetzt, [&](int p) { return hoehe(p) >= ziel; });
    ctl.setFontSize(std::min(n, std::max(ziel, groesste)));
  } else if (t > ziel) {
    // Downwards to the first size whose height falls to it, or the smallest.
    const int n = ersteWahre(0, ziel, geschaetzt + 1, [&](int p) { return hoehe(p) > ziel; });
    ctl.setFontSize(std::max(1, n - 1));
  }
}

}  // namespace vrd4::render
