// What shows on the board: drawing commands through the dispatcher, checked
// by the pixels they leave, and the animation slot table.
#include <QFile>
#include <functional>
#include <map>

#include "EngineTestSupport.h"
#include "support/Numbers.h"

namespace vrd4::engine::test {
namespace {

constexpr platform::Colour kRot = 0x0000FF, kGruen = 0x00FF00, kWeiss = 0xFFFFFF, kSchwarz = 0x000000;
struct Board : EngineTest {
  // Each pixel (x, y, colour) of the list has its colour.
  void pixel(std::initializer_list<std::tuple<int, int, platform::Colour>> soll) {
    for (const auto& [x, y, c] : soll) EXPECT_EQ(farbeBei(x, y), c) << x << "," << y;
  }
};

TEST_F(Board, DrawingSurvivesTheBackgroundColourUntilClsWhichEndsBlackAndWhite) {
  ausfuehren({u"Cls"});
  ausfuehren({u"Hintergrundfarbe", u"255"});
  EXPECT_TRUE(ganzIn(kRot)) << "nothing drawn since Cls: the colour shows at once";
  pic.setDrawWidth(3);
  ausfuehren({u"Linie", u"1", u"1", u"10", u"1", u"1", u"65280"});
  pixel({{0, 0, kGruen}, {9, 0, kGruen}, {10, 0, kRot}, {0, 1, kRot}});
  EXPECT_TRUE(pic.drawWidth() == 3 && pic.foreColor() == kWeiss);
  const QImage vorher = pic.image();
  ausfuehren({u"Hintergrundfarbe", u"0"});
  EXPECT_EQ(pic.image(), vorher);
  ausfuehren({u"Vordergrundfarbe", u"255"});
  ausfuehren({u"Cls"});
  EXPECT_TRUE(ganzIn(kSchwarz));
  EXPECT_EQ(pic.foreColor(), kWeiss);
}

TEST_F(Board, BoxesCoverBothCornersTakeTheFillPatternAndPutThePenBackMinus32768DrawsNothing) {
  pic.setDrawWidth(3);
  pic.setForeColor(0x123456);
  ausfuehren({u"Rechteck", u"11", u"11", u"30", u"30", u"0", u"255", u"0"});
  pixel({{10, 10, kRot}, {29, 29, kRot}, {11, 11, kSchwarz}});  // width 0 draws one pixel wide; inside not filled
  EXPECT_TRUE(pic.drawWidth() == 3 && pic.foreColor() == 0x123456u);
  ausfuehren({u"Rechteck", u"41", u"41", u"45", u"45", u"1", u"65280", u"-1"});
  pixel({{40, 40, kGruen}, {44, 44, kGruen}, {45, 45, kSchwarz}});
  pic.setDrawStyle(2);
  engine->Linienstil(7);  // out of range: solid
  EXPECT_EQ(pic.drawStyle(), 0);
  engine->Fuellstyle(8);  // out of range: solid, so an outlined box is filled
  engine->Fuellfarbe(kRot);
  ausfuehren({u"Rechteck", u"51", u"51", u"59", u"59", u"1", u"65280", u"0"});
  pixel({{50, 50, kGruen}, {54, 54, kRot}});
  const QImage vorher = pic.image();
  EXPECT_THROW(ausfuehren({u"Linie", u"-32768", u"1", u"10", u"1", u"1", u"255"}), OverflowError);
  EXPECT_THROW(ausfuehren({u"Rechteck", u"1", u"1", u"10", u"-32768", u"1", u"255", u"-1"}), OverflowError);
  EXPECT_EQ(engine->befehlsname(), QStringLiteral("Rechteck"));
  EXPECT_EQ(pic.image(), vorher);
  EXPECT_EQ(pic.foreColor(), 0x123456u);
}

// ----------------------------------------------------------------------------
// The text and picture commands through the engine: every field of the
// command table, changed alone, has the effect of the operation's parameter of
// its name (so no handler swaps two fields).

// Field name -> its text in the command.
using Werte = std::map<std::u16string, std::u16string>;
const Werte kGrund = {
    {u"Xstart", u"11"}, {u"Ystart", u"21"}, {u"Xende", u"210"}, {u"YEnde", u"60"}, {u"Ausgabetext", u"Anpfiff"},
    {u"Ausrichtung", u"0"}, {u"Schriftart", u"Arial"}, {u"SchriftgroesseinPixel", u"20"}, {u"Fett", u"0"},
    {u"Kursiv", u"0"}, {u"Unterstrichen", u"0"}, {u"Durchgestrichen", u"0"}, {u"Transparent", u"0"},
    {u"FeldVordergrundfarbe", u"16777215"}, {u"FeldHintergrundfarbe", u"128"}, {u"LauftextbeiBedarf", u"0"},
    {u"Geschwindigkeit", u"0.04"}, {u"Startverzoegerung", u"0"}, {u"Intervall", u"0.1"},
    {u"BildnamemitPfad", datenDatei("rot_4x4.bmp")}, {u"GroesseAnpassen", u"-1"}, {u"BeiKleinerZentrieren", u"0"}};

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
    ruhigImFilm = engine->ruhig();
    engine->Cls();
    EXPECT_TRUE(engine->ruhig()) << "Cls frees every effect's slot";
    return film;
  }
  bool ruhigImFilm = false;
  // Through the command text, as a sender writes it.
  Film perBefehl(const std::u16string& art, const Werte& w) {
    std::vector<std::u16string> f{u"Befehl", art};
    for (const auto& p : protocol::findeBefehl(art)->parameter) f.push_back(w.at(std::u16string(p.name)));
    return filmen([&] { engine->BefehlAusfuehren(protocol::zusammenfuegen(f)); });
  }
  // Straight into the engine's operation, by parameter name.
  Film perName(const std::u16string& art, const Werte& w) {
    const auto z = [&](const char16_t* n) { return int16_t(QString::fromStdU16String(w.at(n)).toInt()); };
    const auto d = [&](const char16_t* n) { return QString::fromStdU16String(w.at(n)).toDouble(); };
    const auto s = [&](const char16_t* n) { return QString::fromStdU16String(w.at(n)); };
    const auto f = [&](const char16_t* n) { return platform::Colour(s(n).toUInt()); };
    const render::TextParameter p{z(u"Xstart"), z(u"Ystart"), z(u"Xende"), z(u"YEnde"), s(u"Ausgabetext"),
        z(u"Ausrichtung"), s(u"Schriftart"), z(u"SchriftgroesseinPixel"), z(u"Fett") != 0, z(u"Kursiv") != 0,
        z(u"Unterstrichen") != 0, z(u"Durchgestrichen") != 0, z(u"Transparent") != 0, f(u"FeldVordergrundfarbe"),
        f(u"FeldHintergrundfarbe")};
    return filmen([&] {
      if (art == u"Textausgabe") engine->TextAusgabe(p, z(u"LauftextbeiBedarf"), d(u"Geschwindigkeit"), d(u"Startverzoegerung"));
      if (art == u"Blinktext") engine->BKNeu(p, d(u"Intervall"));
      if (art == u"Lauftext") engine->LTNeu(p, d(u"Geschwindigkeit"), d(u"Startverzoegerung"));
      if (art != u"BildAnzeigenanPosition") return;
      QFile datei(s(u"BildnamemitPfad"));
      EXPECT_TRUE(datei.open(QIODevice::ReadOnly));
      const QByteArray b = datei.readAll();
      engine->BildAnzeigenanPosition(s(u"BildnamemitPfad"), z(u"Xstart"), z(u"Ystart"), z(u"Xende"), z(u"YEnde"),
                                     z(u"GroesseAnpassen"), z(u"BeiKleinerZentrieren"),
                                     std::span(reinterpret_cast<const uint8_t*>(b.data()), size_t(b.size())));
    });
  }
};

// A text too wide for its field, to be scrolled.
const Werte kLang = {{u"Ausgabetext", u"Ein Text, der nicht in sein Feld passt"}, {u"LauftextbeiBedarf", u"-1"}};

TEST_F(Textfelder, EveryFieldActsAsTheParameterOfItsName) {
  const Werte gemeinsam = {{u"Xstart", u"31"}, {u"Ystart", u"5"}, {u"Xende", u"120"}, {u"YEnde", u"90"},
      {u"Ausgabetext", u"Tor!"}, {u"Schriftart", u"Courier New"}, {u"SchriftgroesseinPixel", u"33"},
      {u"Fett", u"-1"}, {u"Kursiv", u"-1"}, {u"Unterstrichen", u"-1"}, {u"Durchgestrichen", u"-1"},
      {u"Transparent", u"-1"}, {u"FeldVordergrundfarbe", u"16776960"}, {u"FeldHintergrundfarbe", u"32768"}};
  struct Zeile {
    std::u16string art, name, wert;
    Werte vorher = {};  // set in both films
  };
  std::vector<Zeile> zeilen = {
      {u"Textausgabe", u"Ausrichtung", u"8"}, {u"Blinktext", u"Ausrichtung", u"8"},
      {u"Textausgabe", u"LauftextbeiBedarf", u"-1", {{u"Ausgabetext", kLang.at(u"Ausgabetext")}}},
      {u"Textausgabe", u"Geschwindigkeit", u"0.3", kLang}, {u"Textausgabe", u"Startverzoegerung", u"0.3", kLang},
      {u"Blinktext", u"Intervall", u"0.3"}, {u"Lauftext", u"Geschwindigkeit", u"0.3"},
      {u"Lauftext", u"Startverzoegerung", u"0.3"}};
  for (const char16_t* art : {u"Textausgabe", u"Blinktext", u"Lauftext"})
    for (const auto& [name, wert] : gemeinsam) zeilen.push_back({art, name, wert});
  for (const auto& [name, wert] : Werte{{u"Xstart", u"11"}, {u"Ystart", u"7"}, {u"Xende", u"40"}, {u"YEnde", u"30"},
                                        {u"GroesseAnpassen", u"0"}, {u"BeiKleinerZentrieren", u"-1"}})
    zeilen.push_back({u"BildAnzeigenanPosition", name, wert,
                      {{u"Xstart", u"1"}, {u"Ystart", u"1"}, {u"Xende", u"100"}, {u"YEnde", u"50"}}});
  for (const Zeile& z : zeilen) {
    SCOPED_TRACE(QString::fromStdU16String(z.art + u" " + z.name).toStdString());
    Werte w = kGrund;
    for (const auto& [n, v] : z.vorher) w[n] = v;
    const Film ohne = perName(z.art, w);
    w[z.name] = z.wert;
    const Film mit = perName(z.art, w);
    EXPECT_NE(mit, ohne) << "the change shows";
    EXPECT_TRUE(!ruhigImFilm || z.art == u"Textausgabe" || z.art == u"BildAnzeigenanPosition")
        << "a text effect needs the steps";
    EXPECT_EQ(perBefehl(z.art, w), mit);
  }
}

}  // namespace
}  // namespace vrd4::engine::test
