// The text and picture commands through the engine: every field, changed
// alone, has the effect of the parameter of its name (so no two fields are
// swapped between the command text and the operation).
#include <QFile>
#include <functional>

#include "EngineTestSupport.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"

namespace vrd4::engine::test {
namespace {

enum class Art { Textausgabe, Blinktext, Lauftext, Bild };

// Everything the four commands carry, by name.
struct Werte {
  render::TextParameter p{.Xstart = 11, .Ystart = 21, .Xende = 210, .YEnde = 60,
                          .Ausgabetext = QStringLiteral("Anpfiff"), .FeldHintergrundfarbe = 0x800000};
  bool LauftextbeiBedarf = false;
  double Geschwindigkeit = 0.04, Startverzoegerung = 0, Intervall = 0.1;
  int16_t bx0 = 1, by0 = 1, bx1 = 100, by1 = 50;  // the picture's field
  bool GroesseAnpassen = true, BeiKleinerZentrieren = false;
};

std::u16string z(int64_t v) { return protocol::schreibeGanzzahl(v); }
std::u16string b(bool v) { return v ? u"-1" : u"0"; }
std::u16string d(double v) { return QString::number(v, 'g', 17).toStdU16String(); }
std::u16string s(const QString& v) { return v.toStdU16String(); }

// The command text, fields in the order of the command table.
std::vector<std::u16string> felder(Art art, const Werte& w) {
  const render::TextParameter& p = w.p;
  std::vector<std::u16string> f{z(p.Xstart), z(p.Ystart), z(p.Xende), z(p.YEnde), s(p.Ausgabetext)};
  auto schrift = [&] {
    for (auto x : {s(p.Schriftart), z(p.SchriftgroesseinPixel), b(p.Fett), b(p.Kursiv), b(p.Unterstrichen),
                   b(p.Durchgestrichen), b(p.Transparent), z(p.FeldVordergrundfarbe), z(p.FeldHintergrundfarbe)})
      f.push_back(x);
  };
  switch (art) {
    case Art::Textausgabe:
      f.insert(f.begin(), u"Textausgabe");
      f.push_back(z(p.Ausrichtung));
      schrift();
      for (auto x : {b(w.LauftextbeiBedarf), d(w.Geschwindigkeit), d(w.Startverzoegerung)}) f.push_back(x);
      break;
    case Art::Blinktext:
      f.insert(f.begin(), u"Blinktext");
      f.push_back(z(p.Ausrichtung));
      schrift();
      f.push_back(d(w.Intervall));
      break;
    case Art::Lauftext:
      f.insert(f.begin(), u"Lauftext");
      schrift();
      for (auto x : {d(w.Geschwindigkeit), d(w.Startverzoegerung)}) f.push_back(x);
      break;
    case Art::Bild:
      f = {u"BildAnzeigenanPosition", datenDatei("rot_4x4.bmp"), z(w.bx0), z(w.by0), z(w.bx1), z(w.by1),
           b(w.GroesseAnpassen), b(w.BeiKleinerZentrieren)};
      break;
  }
  return f;
}

struct Zeile {
  const char* name;
  Art art;
  std::function<void(Werte&)> aendern;
};

using Film = std::vector<size_t>;  // what the board shows, tick by tick

class Textfelder : public EngineTest {
 protected:
  // The board over 1.2 s of polling steps after run(); then Cls.
  Film filmen(const std::function<void()>& run) {
    t = 1000.0;
    run();
    Film film;
    for (int i = 0; i < 13; ++i, t += 0.1) {
      engine->Zeitschleife();
      const QImage bild = pic.presented();
      film.push_back(qHashBits(bild.constBits(), size_t(bild.sizeInBytes())));
    }
    engine->Cls();
    return film;
  }
  // Through the command text, as a sender writes it.
  void ausfuehrenAls(Art art, const Werte& w) {
    std::vector<std::u16string> f = felder(art, w);
    f.insert(f.begin(), u"Befehl");
    engine->BefehlAusfuehren(protocol::zusammenfuegen(f));
  }
  Film perBefehl(Art art, const Werte& w) {
    return filmen([&] { ausfuehrenAls(art, w); });
  }
  // Straight into the engine's operation, by parameter name.
  Film perName(Art art, const Werte& w) {
    return filmen([&] {
      switch (art) {
        case Art::Textausgabe:
          engine->TextAusgabe(w.p, w.LauftextbeiBedarf, w.Geschwindigkeit, w.Startverzoegerung);
          break;
        case Art::Blinktext: engine->BKNeu(w.p, w.Intervall); break;
        case Art::Lauftext: engine->LTNeu(w.p, w.Geschwindigkeit, w.Startverzoegerung); break;
        case Art::Bild: {
          QFile datei(QString::fromStdU16String(datenDatei("rot_4x4.bmp")));
          EXPECT_TRUE(datei.open(QIODevice::ReadOnly));
          const QByteArray bytes = datei.readAll();
          engine->BildAnzeigenanPosition(QStringLiteral("bild"), w.bx0, w.by0, w.bx1, w.by1, w.GroesseAnpassen,
                                         w.BeiKleinerZentrieren,
                                         std::span(reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())));
          break;
        }
      }
    });
  }
};

// A text too wide for its field, to be scrolled.
void lang(Werte& w) {
  w.p.Ausgabetext = QStringLiteral("Ein Text, der nicht in sein Feld passt");
  w.LauftextbeiBedarf = true;
}

const std::vector<Zeile> kZeilen = [] {
  std::vector<Zeile> z;
  // The fields the three text commands share.
  for (Art a : {Art::Textausgabe, Art::Blinktext, Art::Lauftext}) {
    const std::vector<std::pair<const char*, std::function<void(Werte&)>>> gemeinsam = {
        {"Xstart", [](Werte& w) { w.p.Xstart = 31; }},
        {"Ystart", [](Werte& w) { w.p.Ystart = 5; }},
        {"Xende", [](Werte& w) { w.p.Xende = 120; }},
        {"YEnde", [](Werte& w) { w.p.YEnde = 90; }},
        {"Ausgabetext", [](Werte& w) { w.p.Ausgabetext = QStringLiteral("Tor!"); }},
        {"Schriftart", [](Werte& w) { w.p.Schriftart = QStringLiteral("Courier New"); }},
        {"SchriftgroesseinPixel", [](Werte& w) { w.p.SchriftgroesseinPixel = 33; }},
        {"Fett", [](Werte& w) { w.p.Fett = true; }},
        {"Kursiv", [](Werte& w) { w.p.Kursiv = true; }},
        {"Unterstrichen", [](Werte& w) { w.p.Unterstrichen = true; }},
        {"Durchgestrichen", [](Werte& w) { w.p.Durchgestrichen = true; }},
        {"Transparent", [](Werte& w) { w.p.Transparent = true; }},
        {"FeldVordergrundfarbe", [](Werte& w) { w.p.FeldVordergrundfarbe = 0x00FFFF; }},
        {"FeldHintergrundfarbe", [](Werte& w) { w.p.FeldHintergrundfarbe = 0x008000; }},
    };
    for (const auto& [name, f] : gemeinsam) z.push_back({name, a, f});
  }
  z.insert(z.end(), {
      {"Ausrichtung", Art::Textausgabe, [](Werte& w) { w.p.Ausrichtung = 8; }},
      {"Ausrichtung", Art::Blinktext, [](Werte& w) { w.p.Ausrichtung = 8; }},
      {"LauftextbeiBedarf", Art::Textausgabe, lang},
      {"Geschwindigkeit", Art::Textausgabe, [](Werte& w) { lang(w), w.Geschwindigkeit = 0.3; }},
      {"Startverzoegerung", Art::Textausgabe, [](Werte& w) { lang(w), w.Startverzoegerung = 0.3; }},
      {"Intervall", Art::Blinktext, [](Werte& w) { w.Intervall = 0.3; }},
      {"Geschwindigkeit", Art::Lauftext, [](Werte& w) { w.Geschwindigkeit = 0.3; }},
      {"Startverzoegerung", Art::Lauftext, [](Werte& w) { w.Startverzoegerung = 0.3; }},
      {"Xstart", Art::Bild, [](Werte& w) { w.bx0 = 11; }},
      {"Ystart", Art::Bild, [](Werte& w) { w.by0 = 7; }},
      {"Xende", Art::Bild, [](Werte& w) { w.bx1 = 40; }},
      {"YEnde", Art::Bild, [](Werte& w) { w.by1 = 30; }},
      {"GroesseAnpassen", Art::Bild, [](Werte& w) { w.GroesseAnpassen = false; }},
      {"BeiKleinerZentrieren", Art::Bild, [](Werte& w) { w.BeiKleinerZentrieren = true; }},
  });
  return z;
}();

const char* const kArtName[] = {"Textausgabe", "Blinktext", "Lauftext", "BildAnzeigenanPosition"};

TEST_F(Textfelder, EveryFieldActsAsTheParameterOfItsName) {
  for (const Zeile& zeile : kZeilen) {
    Werte w;
    const Film ohne = perName(zeile.art, w);
    zeile.aendern(w);
    const Film mit = perName(zeile.art, w);
    EXPECT_NE(mit, ohne) << kArtName[int(zeile.art)] << " " << zeile.name << ": the change shows";
    EXPECT_EQ(perBefehl(zeile.art, w), mit) << kArtName[int(zeile.art)] << " " << zeile.name;
  }
}

}  // namespace
}  // namespace vrd4::engine::test
