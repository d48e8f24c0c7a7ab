#include "render/Blinktexte.h"

#include "render/TextEffektTabelle.h"
#include "render/TextSteuerelement.h"

namespace vrd4::render {

namespace {

constexpr double kKuerzestesIntervall = 0.04;

// The blink phase of one slot.
struct BlinktextEintrag {
  bool angezeigt = false;
  double letzterWechsel = 0;
  bool ersteAnzeige = false;
  QString text;  // as it fits the field
  double intervall = kKuerzestesIntervall;
  int16_t textY = 0;
  int16_t textX = 0;
};

}  // namespace

struct Blinktexte::Impl {
  std::array<BlinktextEintrag, kAnzahl> eintraege;
};

Blinktexte::Blinktexte(RenderHost& host, platform::Surface& board, TextRenderer& text)
    : tabelle_(host, board, text,
               {QStringLiteral("Blinktexte"), QStringLiteral("Blinktextnummer: "),
                Antwort::BlinktextNr, QStringLiteral("BlinktextNr")}),
      d(std::make_unique<Impl>()) {}

Blinktexte::~Blinktexte() = default;

uint8_t Blinktexte::BKNeu(const TextParameter& p, double Intervall) {
  // Also catches NaN.
  const double intervall = Intervall >= kKuerzestesIntervall ? Intervall : kKuerzestesIntervall;
  return uint8_t(tabelle_.neu(p, p.Ausrichtung, [&](int n, const TextFeld& f) {
    BlinktextEintrag& e = d->eintraege[size_t(n - 1)];
    e.ersteAnzeige = true;
    e.text = f.Ausgabetext;
    e.intervall = intervall;
    e.textY = f.yPosinUserControlfuerLauftext;
    e.textX = f.xPosinUserControlfuerLauftext;
  }));
}

void Blinktexte::BlinktexteTakten() {
  try {
    const TextUhr::Zeit z = tabelle_.uhrLesen();
    if (z.verschiebung != 0) {
      for (BlinktextEintrag& e : d->eintraege) e.letzterWechsel -= z.verschiebung;
    }
    const double jetzt = z.jetzt;
    for (int i = 1; i <= kAnzahl; ++i) {
      if (!tabelle_.belegt(i)) continue;
      BlinktextEintrag& e = d->eintraege[size_t(i - 1)];
      CtlLTundBK& ctl = tabelle_.ctl(i);
      if (e.ersteAnzeige) {
        SteuerelementTextZeigen(ctl, e.textX, e.textY, e.text);
        e.ersteAnzeige = false;
        e.angezeigt = true;
        e.letzterWechsel = jetzt;
      } else if (TextUhr::frueher(e.intervall + e.letzterWechsel, jetzt)) {
        e.letzterWechsel = jetzt;
        if (e.angezeigt) {
          SteuerelementLeeren(ctl);
          e.angezeigt = false;
        } else {
          SteuerelementTextZeigen(ctl, e.textX, e.textY, e.text);
          e.angezeigt = true;
        }
      }
    }
  } catch (...) {
    // The slots after a failing one are served on the next tick.
  }
}

}  // namespace vrd4::render
