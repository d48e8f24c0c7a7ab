#include "render/TextFeld.h"

#include <vector>

#include "render/CtlLTundBK.h"
#include "support/Numbers.h"

namespace vrd4::render {

TextMass TextMassVon(const platform::Surface& s) {
  return {[&s](const QString& t) { return s.textWidth(t); },
          [&s](const QString& t) { return s.textHeight(t); }};
}

TextMass TextMassVon(const CtlLTundBK& ctl) {
  return {[&ctl](const QString& t) { return double(ctl.TextWidth(t)); },
          [&ctl](const QString& t) { return double(ctl.TextHeight(t)); }};
}

namespace {

int16_t ganz(double v) { return to16(roundToInt32(v)); }

// The field from its corners and the text's size, up to the alignment.
void feldBestimmen(TextFeld& f, const TextMass& mass) {
  f.Xstart = sub16(f.Xstart, 1);
  f.Ystart = sub16(f.Ystart, 1);
  f.Xende = sub16(f.Xende, 1);
  f.YEnde = sub16(f.YEnde, 1);
  if (f.Xende < f.Xstart) f.Xende = f.Xstart;
  if (f.YEnde < f.Ystart) f.YEnde = f.Ystart;
  f.FeldBreite = add16(sub16(f.Xende, f.Xstart), 1);
  f.FeldHoehe = add16(sub16(f.YEnde, f.Ystart), 1);
  f.Mindestfeldhoehe = ganz(mass.hoehe(f.Ausgabetext));
  f.Mindestfeldbreite = ganz(mass.breite(f.Ausgabetext));
  if (f.FeldHoehe < f.Mindestfeldhoehe) {
    // A field lower than the text grows downwards.
    f.FeldHoehe = f.Mindestfeldhoehe;
    f.YEnde = add16(f.Ystart, f.Mindestfeldhoehe);
  }
  f.OriginalXstart = f.Xstart;
  f.OriginalYStart = f.Ystart;
  f.OriginalXEnde = f.Xende;
  f.OriginalYEnde = f.YEnde;
  f.yPosinPicfuerLauftext =
      f.FeldHoehe > f.Mindestfeldhoehe ? int16_t(sub16(f.FeldHoehe, f.Mindestfeldhoehe) / 2) : 0;
}

// How many characters are dropped one by one before the rest is cut by
// halving. Each measurement costs the length of the text, so dropping one at
// a time through a long text in a narrow field would take seconds; dropping
// a character never widens a text, so halving finds the same cut.
constexpr std::size_t kEinzelnKuerzen = 64;

// Drops whole characters (a surrogate pair counts as one) until the text fits.
void kuerzen(TextFeld& f, bool vomAnfang, const TextMass& mass) {
  const QString ganzerText = f.Ausgabetext;
  if (!(f.Mindestfeldbreite > f.FeldBreite && f.Mindestfeldbreite > 0) || ganzerText.isEmpty()) {
    return;
  }
  // schnitte[k]: where the text is cut with k characters dropped (the length
  // kept when dropping from the end, the start kept when dropping from the start).
  const qsizetype n = ganzerText.size();
  std::vector<qsizetype> schnitte{vomAnfang ? 0 : n};
  for (qsizetype i = 0; i < n;) {
    const qsizetype at = vomAnfang ? i : n - 1 - i;
    const bool paar = vomAnfang ? at + 1 < n && ganzerText[at].isHighSurrogate() &&
                                      ganzerText[at + 1].isLowSurrogate()
                                : at >= 1 && ganzerText[at].isLowSurrogate() &&
                                      ganzerText[at - 1].isHighSurrogate();
    i += paar ? 2 : 1;
    schnitte.push_back(vomAnfang ? i : n - i);
  }
  const std::size_t alle = schnitte.size() - 1;  // the empty text
  auto rest = [&](std::size_t k) {
    return vomAnfang ? ganzerText.mid(schnitte[k]) : ganzerText.left(schnitte[k]);
  };
  auto passt = [&](std::size_t k, int16_t& w) {
    w = ganz(mass.breite(rest(k)));
    return !(w > f.FeldBreite && w > 0) || k == alle;
  };
  int16_t w = 0;
  std::size_t k = 1;
  for (; k <= alle && k <= kEinzelnKuerzen; ++k) {
    if (passt(k, w)) break;
  }
  if (k > alle || k > kEinzelnKuerzen) {
    std::size_t zuBreit = k - 1, genug = alle;
    int16_t wGenug = 0;
    passt(genug, wGenug);
    while (genug - zuBreit > 1) {
      const std::size_t mitte = zuBreit + (genug - zuBreit) / 2;
      if (passt(mitte, w)) {
        genug = mitte;
        wGenug = w;
      } else {
        zuBreit = mitte;
      }
    }
    k = genug;
    w = wGenug;
  }
  f.Ausgabetext = rest(k);
  f.Mindestfeldbreite = w;
}

struct Versatz {
  int16_t x = 0, y = 0;
};

// Shortens the text for the alignment and returns the text's offset from
// the field's top-left corner.
Versatz ausrichten(TextFeld& f, int16_t Ausrichtung, const TextMass& mass) {
  const int zeile = Ausrichtung / 3;
  const int spalte = Ausrichtung % 3;
  kuerzen(f, spalte == 2, mass);
  Versatz v;
  const int16_t w = f.Mindestfeldbreite;
  if (f.FeldBreite != w) {
    const int16_t frei = sub16(f.FeldBreite, w);
    if (spalte == 1) v.x = int16_t(frei / 2);
    if (spalte == 2) v.x = frei;
  }
  if (f.FeldHoehe > f.Mindestfeldhoehe) {
    const int16_t frei = sub16(f.FeldHoehe, f.Mindestfeldhoehe);
    if (zeile == 1) v.y = int16_t(frei / 2);
    if (zeile == 2) v.y = frei;
  }
  return v;
}

bool gueltig(int16_t Ausrichtung) { return Ausrichtung >= 0 && Ausrichtung <= 8; }

void ausrichtungFalsch(RenderHost& host) {
  host.VRD4Event(QStringLiteral("BefehlFehler"),
                  QStringLiteral("Parameter   'Ausrichtung'   nicht zwischen 0 und 8!"));
}

}  // namespace

void TextFeldAusgabeBerechnen(TextFeld& f, int16_t Ausrichtung, const TextMass& mass,
                              RenderHost& host) {
  feldBestimmen(f, mass);
  if (!gueltig(Ausrichtung)) {
    ausrichtungFalsch(host);
    return;
  }
  const Versatz v = ausrichten(f, Ausrichtung, mass);
  f.Xstart = add16(f.Xstart, v.x);
  f.Ystart = add16(f.Ystart, v.y);
}

void TextFeldAusgabeBerechnenfuerUserControl(TextFeld& f, int16_t Ausrichtung,
                                             const TextMass& mass, RenderHost& host) {
  feldBestimmen(f, mass);
  f.xPosinUserControlfuerLauftext = 0;
  f.yPosinUserControlfuerLauftext = 0;
  if (!gueltig(Ausrichtung)) {
    ausrichtungFalsch(host);
    return;
  }
  const Versatz v = ausrichten(f, Ausrichtung, mass);
  f.xPosinUserControlfuerLauftext = v.x;
  f.yPosinUserControlfuerLauftext = v.y;
}

}  // namespace vrd4::render
