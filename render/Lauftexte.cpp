#include "render/Lauftexte.h"

#include <stdexcept>

#include "render/Schrift.h"
#include "render/TextSteuerelement.h"
#include "render/TextUhr.h"
#include "support/Numbers.h"

namespace vrd4::render {

namespace {

constexpr double kKuerzesterSchritt = 0.04;

struct LauftextEintrag {
  bool belegt = false;
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

}  // namespace

struct Lauftexte::Impl {
  Impl(RenderHost& h, platform::Surface& board, TextRenderer& t) : host(h), text(t), uhr(h) {
    for (auto& c : ctl) c = std::make_unique<CtlLTundBK>(board);
  }
  RenderHost& host;
  TextRenderer& text;
  TextUhr uhr;
  std::array<std::unique_ptr<CtlLTundBK>, kAnzahl> ctl;
  std::array<LauftextEintrag, kAnzahl> eintraege;

  void melden(int n) {
    const QString nr = QString::number(n);
    host.writeReply(Antwort::LauftextNr, nr);
    host.VRD4Event(QStringLiteral("LauftextNr"), nr);
  }

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
};

Lauftexte::Lauftexte(RenderHost& host, platform::Surface& board, TextRenderer& text)
    : d(std::make_unique<Impl>(host, board, text)) {}

Lauftexte::~Lauftexte() = default;

CtlLTundBK& Lauftexte::CtlLaufschrift(int n) {
  if (!SlotnummerGueltig(n)) throw std::out_of_range("CtlLaufschrift");
  return *d->ctl[size_t(n - 1)];
}

bool Lauftexte::belegt(int n) const {
  return SlotnummerGueltig(n) && d->eintraege[size_t(n - 1)].belegt;
}

uint8_t Lauftexte::LTNeu(const TextParameter& p, double Geschwindigkeit,
                         double Startverzoegerung) {
  int n = 0;
  for (int i = 1; i <= kAnzahl && n == 0; ++i) {
    if (!d->eintraege[size_t(i - 1)].belegt) n = i;
  }
  if (n == 0) {
    d->host.VRD4Event(QStringLiteral("BefehlFehler"),
                       QStringLiteral("max. ") + QString::number(kAnzahl) +
                           QStringLiteral(" Lauftexte bereits belegt!"));
    d->melden(0);
    return 0;
  }
  CtlLTundBK& ctl = CtlLaufschrift(n);
  try {
    // Also catches NaN.
    const double schritt =
        Geschwindigkeit >= kKuerzesterSchritt ? Geschwindigkeit : kKuerzesterSchritt;
    const int16_t groesse =
        p.SchriftgroesseinPixel < kKleinsteSchrifthoehe ? int16_t(kKleinsteSchrifthoehe)
                                                        : p.SchriftgroesseinPixel;
    const int16_t w = add16(sub16(p.Xende, p.Xstart), 1);
    const int16_t h = add16(sub16(p.YEnde, p.Ystart), 1);
    const QString schriftart = d->text.SchriftartPruefen(p.Schriftart);
    SteuerelementEinrichten(ctl, p, schriftart, w, h, groesse);

    // The layout fixes only the field and the line's height in it: the text
    // scrolls whole.
    TextFeld f = TextFeldAus(p);
    LTNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t(n), f, 3);
    SteuerelementPlatzieren(ctl, f, p.Transparent, p.FeldHintergrundfarbe);

    LauftextEintrag& e = d->eintraege[size_t(n - 1)];
    e.feldbreite = f.FeldBreite;
    e.ersteAnzeige = true;
    e.x = 0;
    e.text = p.Ausgabetext;
    e.schritt = schritt;
    e.startverzoegerung = Startverzoegerung;
    e.letzterSchritt = 0;
    e.textY = f.yPosinUserControlfuerLauftext;

    LTNeuGleicheStelleLoeschen(f.OriginalXstart, f.OriginalYStart, f.FeldBreite, f.FeldHoehe);
    e.belegt = true;
  } catch (...) {
    ctl.setVisible(false);
    ctl.Cls();
    d->host.VRD4Event(QStringLiteral("Fehler"),
                       QString::fromUtf8("Fehler beim Anlegen einer neuen Form für die Laufschrift!"));
    d->melden(0);
    return 0;
  }
  d->melden(n);
  return uint8_t(n);
}

void Lauftexte::LTNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t Index, TextFeld& f,
                                                            int16_t Ausrichtung) {
  TextFeldAusgabeBerechnenfuerUserControl(f, Ausrichtung, TextMassVon(CtlLaufschrift(Index)),
                                          d->host);
}

void Lauftexte::LTNeuLoeschen(uint8_t index) {
  SlotLoeschen(d->host, QStringLiteral("Lauftextnummer: "), d->eintraege, index,
               [this](int n) -> CtlLTundBK& { return CtlLaufschrift(n); });
}

void Lauftexte::LTNeuGleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe) {
  GleicheStelleLoeschen(
      d->eintraege, x, y, breite, hoehe, [this](int n) -> CtlLTundBK& { return CtlLaufschrift(n); },
      [this](uint8_t n) { LTNeuLoeschen(n); });
}

void Lauftexte::LauftexteTakten() {
  try {
    const TextUhr::Zeit z = d->uhr.lesen();
    if (z.verschiebung != 0) {
      for (LauftextEintrag& e : d->eintraege) {
        e.startzeit -= z.verschiebung;
        if (e.letzterSchritt != 0) e.letzterSchritt -= z.verschiebung;
      }
    }
    const double jetzt = z.jetzt;
    for (int i = 1; i <= kAnzahl; ++i) {
      LauftextEintrag& e = d->eintraege[size_t(i - 1)];
      if (!e.belegt) continue;
      CtlLTundBK& ctl = CtlLaufschrift(i);
      if (e.ersteAnzeige) {
        d->zeichnen(ctl, e);
        e.ersteAnzeige = false;
        e.startzeit = jetzt;
        return;  // one first display per tick; the others wait for the next
      }
      if (TextUhr::frueher(e.startverzoegerung + e.startzeit, jetzt)) {
        if (e.letzterSchritt == 0) e.letzterSchritt = jetzt;
        if (TextUhr::frueher(e.schritt + e.letzterSchritt, jetzt)) {
          d->zeichnen(ctl, e);
          e.letzterSchritt = 0;
        }
      }
    }
  } catch (...) {
    // The eintraege after a failing one are served on the next tick.
  }
}

}  // namespace vrd4::render
