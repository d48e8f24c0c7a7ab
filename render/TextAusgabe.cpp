#include "render/TextAusgabe.h"

#include <exception>

#include "render/Lauftexte.h"
#include "render/Schrift.h"
#include "render/TextFeld.h"
#include "support/Numbers.h"

namespace vrd4::render {

namespace {

// The one saved font state of the renderer: saving overwrites it.
struct Schriftzustand {
  bool bold = false, italic = false;
  QString name;
  float size = 0;  // points, kept as a 32-bit float like the saved copy always was
  bool strikethru = false, transparent = false, underline = false;
  platform::Colour fore = 0;
};

}  // namespace

struct TextRenderer::Impl {
  explicit Impl(RenderHost& h) : host(h) {}
  RenderHost& host;
  Lauftexte* lauftexte = nullptr;
  Schriftzustand gemerkt;
  SchriftgroessenSpeicher groessen;

  void merken(const platform::Surface& s) {
    gemerkt = {s.fontBold(),       s.fontItalic(),      s.fontName(),       float(s.fontSize()),
               s.fontStrikethru(), s.fontTransparent(), s.fontUnderline(), s.foreColor()};
  }
  void zurueck(platform::Surface& s) const {
    s.setFontBold(gemerkt.bold);
    s.setFontItalic(gemerkt.italic);
    s.setFontName(gemerkt.name);
    s.setFontSize(gemerkt.size);
    s.setFontStrikethru(gemerkt.strikethru);
    s.setFontTransparent(gemerkt.transparent);
    s.setFontUnderline(gemerkt.underline);
    s.setForeColor(gemerkt.fore);
  }
};

TextRenderer::TextRenderer(RenderHost& host) : d(new Impl(host)) {}
TextRenderer::~TextRenderer() { delete d; }

void TextRenderer::setLauftexte(Lauftexte* lauftexte) { d->lauftexte = lauftexte; }

QString TextRenderer::SchriftartPruefen(const QString& name) {
  if (SchriftVorhanden(name)) return name;
  d->host.VRD4Event(QStringLiteral("BefehlFehler"),
                     QStringLiteral("Schrift: ") + name +
                         QString::fromUtf8(" nicht vorhanden. - Arial wird gesetzt!"));
  return QStringLiteral("Arial");
}

void TextRenderer::TextAusgabe(platform::Surface& pic, const TextParameter& p,
                               bool LauftextbeiBedarf, double Geschwindigkeit,
                               double Startverzoegerung) {
  try {
    d->merken(pic);
    const QString schriftart = SchriftartPruefen(p.Schriftart);
    pic.setFontBold(p.Fett);
    pic.setFontItalic(p.Kursiv);
    pic.setFontName(schriftart);
    pic.setFontStrikethru(p.Durchgestrichen);
    pic.setFontTransparent(p.Transparent);
    pic.setFontUnderline(p.Unterstrichen);
    pic.setForeColor(p.FeldVordergrundfarbe);
    pic.setFontSize(d->groessen.anpassen(pic, p.SchriftgroesseinPixel));

    TextFeld f = TextFeldAus(p);
    TextFeldAusgabeBerechnen(f, p.Ausrichtung, TextMassVon(pic), d->host);

    if (LauftextbeiBedarf && p.Ausgabetext.size() > f.Ausgabetext.size()) {
      // Too wide: it scrolls through the field instead of being cut.
      TextParameter lauf = p;
      lauf.Xstart = add16(f.Xstart, 1);
      lauf.Ystart = add16(f.Ystart, 1);
      lauf.Xende = add16(f.Xende, 1);
      lauf.YEnde = add16(f.YEnde, 1);
      lauf.Schriftart = schriftart;
      if (d->lauftexte) d->lauftexte->LTNeu(lauf, Geschwindigkeit, Startverzoegerung);
      d->zurueck(pic);
      return;
    }

    if (!p.Transparent) {
      pic.filledBox(f.OriginalXstart, f.OriginalYStart, f.OriginalXEnde, f.OriginalYEnde,
                    p.FeldHintergrundfarbe);
    }
    pic.makeImagePicture();
    // Only the glyphs are drawn: the field, when wanted, is already filled.
    pic.setFontTransparent(true);
    pic.setCurrentX(f.Xstart);
    pic.setCurrentY(f.Ystart);
    pic.print(f.Ausgabetext);
    pic.setFontTransparent(false);
    pic.makeImagePicture();
    d->zurueck(pic);
  } catch (const std::exception& e) {
    d->host.statusEintrag(QStringLiteral("Fehler in Textausgabe") + QString::fromUtf8(e.what()));
  } catch (...) {
    d->host.statusEintrag(QStringLiteral("Fehler in Textausgabe") +
                      QString::fromUtf8("Anwendungs- oder objektdefinierter Fehler"));
  }
}

}  // namespace vrd4::render
