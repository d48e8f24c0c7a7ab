#include "render/TextEffektTabelle.h"

#include <stdexcept>

#include "render/Schrift.h"
#include "render/TextSteuerelement.h"
#include "support/Numbers.h"

namespace vrd4::render {

struct TextEffektTabelle::Impl {
  Impl(RenderHost& h, platform::Surface& board, TextRenderer& t, Art a)
      : host(h), text(t), uhr(h), art(std::move(a)) {
    for (auto& c : ctl) c = std::make_unique<CtlLTundBK>(board);
  }
  RenderHost& host;
  TextRenderer& text;
  TextUhr uhr;
  Art art;
  std::array<std::unique_ptr<CtlLTundBK>, kAnzahl> ctl;
  std::array<bool, kAnzahl> belegt{};
};

TextEffektTabelle::TextEffektTabelle(RenderHost& host, platform::Surface& board,
                                     TextRenderer& text, Art art)
    : d(std::make_unique<Impl>(host, board, text, std::move(art))) {}

TextEffektTabelle::~TextEffektTabelle() = default;

CtlLTundBK& TextEffektTabelle::ctl(int n) {
  if (!SlotnummerGueltig(n)) throw std::out_of_range("TextEffektTabelle::ctl");
  return *d->ctl[size_t(n - 1)];
}

bool TextEffektTabelle::belegt(int n) const {
  return SlotnummerGueltig(n) && d->belegt[size_t(n - 1)];
}

TextUhr::Zeit TextEffektTabelle::uhrLesen() { return d->uhr.lesen(); }

void TextEffektTabelle::melden(int n) {
  const QString nr = QString::number(n);
  d->host.writeReply(d->art.antwort, nr);
  d->host.VRD4Event(d->art.ereignis, nr);
}

int TextEffektTabelle::neu(const TextParameter& p, int16_t ausrichtung, const Fuellen& fuellen) {
  int n = 0;
  for (int i = 1; i <= kAnzahl && n == 0; ++i) {
    if (!d->belegt[size_t(i - 1)]) n = i;
  }
  if (n == 0) {
    d->host.VRD4Event(QStringLiteral("BefehlFehler"),
                       QStringLiteral("max. ") + QString::number(kAnzahl) + QStringLiteral(" ") +
                           d->art.mehrzahl + QStringLiteral(" bereits belegt!"));
    melden(0);
    return 0;
  }
  const int16_t groesse =
      p.SchriftgroesseinPixel < kKleinsteSchrifthoehe ? int16_t(kKleinsteSchrifthoehe)
                                                      : p.SchriftgroesseinPixel;
  CtlLTundBK& c = ctl(n);
  try {
    const int16_t w = add16(sub16(p.Xende, p.Xstart), 1);
    const int16_t h = add16(sub16(p.YEnde, p.Ystart), 1);
    const QString schriftart = d->text.SchriftartPruefen(p.Schriftart);
    SteuerelementEinrichten(c, p, schriftart, w, h, groesse);

    TextFeld f = TextFeldAus(p);
    feldBerechnen(uint8_t(n), f, ausrichtung);
    SteuerelementPlatzieren(c, f, p.Transparent, p.FeldHintergrundfarbe);
    fuellen(n, f);

    // A new text replaces any other of its effect on exactly the same rectangle.
    gleicheStelleLoeschen(f.OriginalXstart, f.OriginalYStart, f.FeldBreite, f.FeldHoehe);
    d->belegt[size_t(n - 1)] = true;
  } catch (...) {
    // The slot stays free, and a free slot's control stays out of sight.
    c.setVisible(false);
    c.Cls();
    throw;
  }
  melden(n);
  return n;
}

void TextEffektTabelle::feldBerechnen(uint8_t index, TextFeld& f, int16_t ausrichtung) {
  TextFeldAusgabeBerechnenfuerUserControl(f, ausrichtung, TextMassVon(ctl(index)), d->host);
}

void TextEffektTabelle::loeschen(uint8_t index) {
  if (!SlotnummerGueltig(index)) {
    d->host.VRD4Event(QStringLiteral("BefehlFehler"), d->art.nummerText + QString::number(index) +
                                                           QStringLiteral(" gibt es nicht!"));
    return;
  }
  if (!d->belegt[size_t(index - 1)]) return;
  CtlLTundBK& c = ctl(index);
  c.setVisible(false);
  c.Cls();
  d->belegt[size_t(index - 1)] = false;
}

void TextEffektTabelle::gleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite,
                                              int16_t hoehe) {
  for (int i = 1; i <= kAnzahl; ++i) {
    if (!d->belegt[size_t(i - 1)]) continue;
    const CtlLTundBK& c = ctl(i);
    if (c.left() == x && c.width() == breite && c.top() == y && c.height() == hoehe)
      loeschen(uint8_t(i));
  }
}

}  // namespace vrd4::render
