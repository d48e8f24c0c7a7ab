#include "render/Schrift.h"

#include <QSet>

#include <algorithm>

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

// Ends a fitting loop once the surface's size in force has stopped changing:
// a 0.05-point step moves it to the next pixel within 15 steps (a whole
// point within 21), so 60 unchanged steps mean the surface has reached its
// smallest or largest font and the height cannot change any more.
class Schrittwaechter {
 public:
  explicit Schrittwaechter(const platform::Surface& s) : s_(s), zuletzt_(s.fontSize()) {}
  bool weiter() {
    if (++schritte_ > kMaxSchritte) return false;
    const double jetzt = s_.fontSize();
    if (jetzt != zuletzt_) {
      zuletzt_ = jetzt;
      still_ = 0;
      return true;
    }
    return ++still_ < kStillstand;
  }

 private:
  static constexpr int kStillstand = 60;
  static constexpr long kMaxSchritte = 400000;
  const platform::Surface& s_;
  double zuletzt_;
  int still_ = 0;
  long schritte_ = 0;
};

// More points than any surface realises: it gives its largest font.
constexpr double kRiesig = 1e6;

// True when h lies far beyond the height of the surface's largest font, so
// that stepping up would only end when the sizes stop growing. Line heights
// grow with the size; a quarter of margin covers their small wobbles. Only
// asked for heights far above the current one, as the probe costs a font.
bool jenseitsDerGroesstenSchrift(platform::Surface& s, double h, double t) {
  if (h < 256 || h < 4 * t) return false;
  const double vorher = s.fontSize();
  s.setFontSize(kRiesig);
  const double groesste = s.textHeight(Messtext());
  s.setFontSize(vorher);
  return h > 1.25 * groesste;
}

}  // namespace

double SchriftgroesseAnpassen(platform::Surface& s, int h) {
  const double ziel = std::max(h, kKleinsteSchrifthoehe);
  const QString& m = Messtext();
  const double s0 = s.fontSize();
  double c = s0;
  double t = s.textHeight(m);
  double ergebnis = s0;
  Schrittwaechter waechter(s);
  if (t == ziel) {
    ergebnis = s.fontSize();
  } else if (t > ziel) {
    do {
      c -= 0.05;
      s.setFontSize(c);
      t = s.textHeight(m);
    } while (t > ziel && waechter.weiter());
    ergebnis = s.fontSize();
  } else if (jenseitsDerGroesstenSchrift(s, ziel, t)) {
    s.setFontSize(kRiesig);
    ergebnis = s.fontSize();  // where the steps would end, thousands of them later
  } else {
    for (;;) {
      const double p = s.fontSize();
      c += 0.05;
      s.setFontSize(c);
      t = s.textHeight(m);
      if (t == ziel) {
        ergebnis = s.fontSize();
        break;
      }
      if (t > ziel) {
        ergebnis = p;  // the last size still below the wanted height
        break;
      }
      if (!waechter.weiter()) {
        ergebnis = s.fontSize();
        break;
      }
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
  const QString& m = Messtext();
  const int32_t ziel = ctl.FontSize();
  double c = ziel;
  int32_t t = ctl.TextHeight(m);
  Schrittwaechter waechter(ctl.surface());
  if (t < ziel) {
    do {
      c += 0.05;
      ctl.setFontSize(roundToInt32(c));
      t = ctl.TextHeight(m);
    } while (t < ziel && waechter.weiter());
  } else if (t > ziel) {
    do {
      c -= 0.05;
      ctl.setFontSize(roundToInt32(c));
      t = ctl.TextHeight(m);
    } while (t > ziel && waechter.weiter());
  }
}

}  // namespace vrd4::render
