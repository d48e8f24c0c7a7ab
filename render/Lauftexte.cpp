#include "render/Lauftexte.h"

#include "render/TextEffektTabelle.h"
#include "render/TextSteuerelement.h"
#include "support/Numbers.h"

namespace vrd4::render {

namespace {

constexpr double kKuerzesterSchritt = 0.04;

// The scroll step of one slot.
struct LauftextEintrag {
  double letzterSchritt = 0;  // 0: the wait for the next step has not begun
  bool ersteAnzeige = false;
  int16_t x = 0;
  QString text;  // always whole
  double schritt = kKuerzesterSchritt;
  double startverzoegerung = 0;
  double startzeit = 0;
  int16_t feldbreite = 0;
  int16_t textY = 0;
};

// One frame at x; then x moves one pixel left, and a text that has left
// the field at the left comes back just outside its right edge.
void zeichnen(CtlLTundBK& c, LauftextEintrag& e) {
  SteuerelementTextZeigen(c, e.x, e.textY, e.text);
  const int32_t tw = c.TextWidth(e.text);
  if (e.x == -tw) {
    e.x = e.feldbreite;
  } else {
    e.x = sub16(e.x, 1);
  }
}

}  // namespace

struct Lauftexte::Impl {
  std::array<LauftextEintrag, kAnzahl> eintraege;
};

Lauftexte::Lauftexte(RenderHost& host, platform::Surface& board, TextRenderer& text)
    : host_(host),
      tabelle_(host, board, text,
               {QStringLiteral("Lauftexte"), QStringLiteral("Lauftextnummer: "),
                Antwort::LauftextNr, QStringLiteral("LauftextNr")}),
      d(std::make_unique<Impl>()) {}

Lauftexte::~Lauftexte() = default;

uint8_t Lauftexte::LTNeu(const TextParameter& p, double Geschwindigkeit,
                         double Startverzoegerung) {
  // Also catches NaN.
  const double schritt =
      Geschwindigkeit >= kKuerzesterSchritt ? Geschwindigkeit : kKuerzesterSchritt;
  try {
    // The layout fixes only the field and the line's height in it: the text
    // scrolls whole.
    return uint8_t(tabelle_.neu(p, 3, [&](int n, const TextFeld& f) {
      LauftextEintrag& e = d->eintraege[size_t(n - 1)];
      e.feldbreite = f.FeldBreite;
      e.ersteAnzeige = true;
      e.x = 0;
      e.text = p.Ausgabetext;
      e.schritt = schritt;
      e.startverzoegerung = Startverzoegerung;
      e.letzterSchritt = 0;
      e.textY = f.yPosinUserControlfuerLauftext;
    }));
  } catch (...) {
    host_.VRD4Event(QStringLiteral("Fehler"),
                       QString::fromUtf8("Fehler beim Anlegen einer neuen Form für die Laufschrift!"));
    tabelle_.melden(0);
    return 0;
  }
}

void Lauftexte::LauftexteTakten() {
  try {
    const TextUhr::Zeit z = tabelle_.uhrLesen();
    if (z.verschiebung != 0) {
      for (LauftextEintrag& e : d->eintraege) {
        e.startzeit -= z.verschiebung;
        if (e.letzterSchritt != 0) e.letzterSchritt -= z.verschiebung;
      }
    }
    const double jetzt = z.jetzt;
    for (int i = 1; i <= kAnzahl; ++i) {
      if (!tabelle_.belegt(i)) continue;
      LauftextEintrag& e = d->eintraege[size_t(i - 1)];
      CtlLTundBK& ctl = tabelle_.ctl(i);
      if (e.ersteAnzeige) {
        zeichnen(ctl, e);
        e.ersteAnzeige = false;
        e.startzeit = jetzt;
        return;  // one first display per tick; the others wait for the next
      }
      if (TextUhr::frueher(e.startverzoegerung + e.startzeit, jetzt)) {
        if (e.letzterSchritt == 0) e.letzterSchritt = jetzt;
        if (TextUhr::frueher(e.schritt + e.letzterSchritt, jetzt)) {
          zeichnen(ctl, e);
          e.letzterSchritt = 0;
        }
      }
    }
  } catch (...) {
    // The slots after a failing one are served on the next tick.
  }
}

}  // namespace vrd4::render
