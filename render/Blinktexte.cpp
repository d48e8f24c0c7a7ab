#include "render/Blinktexte.h"

#include <stdexcept>

#include "render/Schrift.h"
#include "render/TextSteuerelement.h"
#include "render/TextUhr.h"
#include "support/Numbers.h"

namespace vrd4::render {

namespace {

constexpr double kKuerzestesIntervall = 0.04;

struct BlinktextEintrag {
  bool belegt = false;
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
  Impl(RenderHost& h, platform::Surface& board, TextRenderer& t) : host(h), text(t), uhr(h) {
    for (auto& c : ctl) c = std::make_unique<CtlLTundBK>(board);
  }
  RenderHost& host;
  TextRenderer& text;
  TextUhr uhr;
  std::array<std::unique_ptr<CtlLTundBK>, kAnzahl> ctl;
  std::array<BlinktextEintrag, kAnzahl> eintraege;

  void melden(int n) {
    const QString nr = QString::number(n);
    host.writeReply(Antwort::BlinktextNr, nr);
    host.VRD4Event(QStringLiteral("BlinktextNr"), nr);
  }
};

Blinktexte::Blinktexte(RenderHost& host, platform::Surface& board, TextRenderer& text)
    : d(std::make_unique<Impl>(host, board, text)) {}

Blinktexte::~Blinktexte() = default;

CtlLTundBK& Blinktexte::CtlBlinktext(int n) {
  if (!SlotnummerGueltig(n)) throw std::out_of_range("CtlBlinktext");
  return *d->ctl[size_t(n - 1)];
}

bool Blinktexte::belegt(int n) const {
  return SlotnummerGueltig(n) && d->eintraege[size_t(n - 1)].belegt;
}

uint8_t Blinktexte::BKNeu(const TextParameter& p, double Intervall) {
  int n = 0;
  for (int i = 1; i <= kAnzahl && n == 0; ++i) {
    if (!d->eintraege[size_t(i - 1)].belegt) n = i;
  }
  if (n == 0) {
    d->host.VRD4Event(QStringLiteral("BefehlFehler"),
                       QStringLiteral("max. ") + QString::number(kAnzahl) +
                           QStringLiteral(" Blinktexte bereits belegt!"));
    d->melden(0);
    return 0;
  }
  // Also catches NaN.
  const double intervall = Intervall >= kKuerzestesIntervall ? Intervall : kKuerzestesIntervall;
  const int16_t groesse =
      p.SchriftgroesseinPixel < kKleinsteSchrifthoehe ? int16_t(kKleinsteSchrifthoehe)
                                                      : p.SchriftgroesseinPixel;
  CtlLTundBK& ctl = CtlBlinktext(n);
  try {
    const int16_t w = add16(sub16(p.Xende, p.Xstart), 1);
    const int16_t h = add16(sub16(p.YEnde, p.Ystart), 1);
    const QString schriftart = d->text.SchriftartPruefen(p.Schriftart);
    SteuerelementEinrichten(ctl, p, schriftart, w, h, groesse);

    TextFeld f = TextFeldAus(p);
    BKNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t(n), f, p.Ausrichtung);
    SteuerelementPlatzieren(ctl, f, p.Transparent, p.FeldHintergrundfarbe);

    BlinktextEintrag& e = d->eintraege[size_t(n - 1)];
    e.ersteAnzeige = true;
    e.text = f.Ausgabetext;
    e.intervall = intervall;
    e.textY = f.yPosinUserControlfuerLauftext;
    e.textX = f.xPosinUserControlfuerLauftext;

    // A new blinking text replaces any other on exactly the same rectangle.
    BKNeuGleicheStelleLoeschen(f.OriginalXstart, f.OriginalYStart, f.FeldBreite, f.FeldHoehe);
    e.belegt = true;
  } catch (...) {
    // The slot stays free, and a free slot's control stays out of sight.
    ctl.setVisible(false);
    ctl.Cls();
    throw;
  }
  d->melden(n);
  return uint8_t(n);
}

void Blinktexte::BKNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t Index, TextFeld& f,
                                                             int16_t Ausrichtung) {
  TextFeldAusgabeBerechnenfuerUserControl(f, Ausrichtung, TextMassVon(CtlBlinktext(Index)),
                                          d->host);
}

void Blinktexte::BKNeuLoeschen(uint8_t index) {
  SlotLoeschen(d->host, QStringLiteral("Blinktextnummer: "), d->eintraege, index,
               [this](int n) -> CtlLTundBK& { return CtlBlinktext(n); });
}

void Blinktexte::BKNeuGleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe) {
  GleicheStelleLoeschen(
      d->eintraege, x, y, breite, hoehe, [this](int n) -> CtlLTundBK& { return CtlBlinktext(n); },
      [this](uint8_t n) { BKNeuLoeschen(n); });
}

void Blinktexte::BlinktexteTakten() {
  try {
    const TextUhr::Zeit z = d->uhr.lesen();
    if (z.verschiebung != 0) {
      for (BlinktextEintrag& e : d->eintraege) e.letzterWechsel -= z.verschiebung;
    }
    const double jetzt = z.jetzt;
    for (int i = 1; i <= kAnzahl; ++i) {
      BlinktextEintrag& e = d->eintraege[size_t(i - 1)];
      if (!e.belegt) continue;
      CtlLTundBK& ctl = CtlBlinktext(i);
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
    // The eintraege after a failing one are served on the next tick.
  }
}

}  // namespace vrd4::render
