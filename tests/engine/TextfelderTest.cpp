// The text and picture commands through the engine: every field, changed
// alone, has the effect of the parameter of its name (so no two fields are
// swapped between the command text and the operation).
#include <QFile>
#include <functional>
#include <map>

#include "EngineTestSupport.h"

namespace vrd4::engine::test {
namespace {

// Field name -> its text in the command; the fields of each command in the
// order a sender writes them.
using Werte = std::map<std::u16string, std::u16string>;
const std::vector<std::u16string> kSchrift = {u"Schriftart", u"SchriftgroesseinPixel", u"Fett", u"Kursiv",
    u"Unterstrichen", u"Durchgestrichen", u"Transparent", u"FeldVordergrundfarbe", u"FeldHintergrundfarbe"};
std::vector<std::u16string> reihe(std::vector<std::u16string> a, const std::vector<std::u16string>& mitte,
                                  std::vector<std::u16string> b) {
  a.insert(a.end(), mitte.begin(), mitte.end());
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const std::vector<std::u16string> kFeld = {u"Xstart", u"Ystart", u"Xende", u"YEnde", u"Ausgabetext"};
const std::map<std::u16string, std::vector<std::u16string>> kOrdnung = {
    {u"Textausgabe", reihe(reihe(kFeld, {u"Ausrichtung"}, {}), kSchrift,
                           {u"LauftextbeiBedarf", u"Geschwindigkeit", u"Startverzoegerung"})},
    {u"Blinktext", reihe(reihe(kFeld, {u"Ausrichtung"}, {}), kSchrift, {u"Intervall"})},
    {u"Lauftext", reihe(kFeld, kSchrift, {u"Geschwindigkeit", u"Startverzoegerung"})},
    {u"BildAnzeigenanPosition", {u"Pfad", u"Xstart", u"Ystart", u"Xende", u"YEnde", u"GroesseAnpassen",
                                 u"BeiKleinerZentrieren"}}};
const Werte kGrund = {
    {u"Xstart", u"11"}, {u"Ystart", u"21"}, {u"Xende", u"210"}, {u"YEnde", u"60"}, {u"Ausgabetext", u"Anpfiff"},
    {u"Ausrichtung", u"0"}, {u"Schriftart", u"Arial"}, {u"SchriftgroesseinPixel", u"20"}, {u"Fett", u"0"},
    {u"Kursiv", u"0"}, {u"Unterstrichen", u"0"}, {u"Durchgestrichen", u"0"}, {u"Transparent", u"0"},
    {u"FeldVordergrundfarbe", u"16777215"}, {u"FeldHintergrundfarbe", u"128"}, {u"LauftextbeiBedarf", u"0"},
    {u"Geschwindigkeit", u"0.04"}, {u"Startverzoegerung", u"0"}, {u"Intervall", u"0.1"},
    {u"Pfad", datenDatei("rot_4x4.bmp")}, {u"GroesseAnpassen", u"-1"}, {u"BeiKleinerZentrieren", u"0"}};

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
  Film perBefehl(const std::u16string& art, const Werte& w) {
    std::vector<std::u16string> f{u"Befehl", art};
    for (const auto& name : kOrdnung.at(art)) f.push_back(w.at(name));
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
      QFile datei(s(u"Pfad"));
      EXPECT_TRUE(datei.open(QIODevice::ReadOnly));
      const QByteArray b = datei.readAll();
      engine->BildAnzeigenanPosition(s(u"Pfad"), z(u"Xstart"), z(u"Ystart"), z(u"Xende"), z(u"YEnde"),
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
    EXPECT_EQ(perBefehl(z.art, w), mit);
  }
}

}  // namespace
}  // namespace vrd4::engine::test
