// The command table against the documented command list: names, dispatch
// order, parameter names and types, and that every command survives being
// built by a sender and converted by a receiver.
#include <gtest/gtest.h>

#include "Texte.h"

namespace vrd4::protocol {
namespace {

using test::utf8;

TEST(Befehlstabelle, NamesComeInDispatchOrder) {
  const std::vector<std::u16string> erwartet = {
      u"Textausgabe", u"Cls", u"Linie", u"Rechteck", u"Blinktext", u"BlinktextLoeschen",
      u"Lauftext", u"LauftextLoeschen", u"Tafelgroesse", u"BildAnzeigen",
      u"BildAnzeigenanPosition", u"AniGifLadenanPosition", u"AniGifStarten", u"AniGifStoppen",
      u"AniGifLoeschen", u"Hintergrundfarbe", u"Vordergrundfarbe", u"IPAdresse", u"Port",
      u"PauseAnzeigeZiel", u"Server starten", u"Client verbinden"};
  std::vector<std::u16string> namen;
  for (const auto& spec : befehlstabelle()) namen.emplace_back(spec.name);
  EXPECT_EQ(namen, erwartet);
}

// Parameters as "Name:t" with t = s Int16, l Int32, y Byte, b Bool, d Double, x Text.
struct Zeile {
  std::u16string name;
  std::string parameter;
  int feldanzahl;
};

char kuerzel(FeldTyp t) {
  switch (t) {
    case FeldTyp::Int16: return 's';
    case FeldTyp::Int32: return 'l';
    case FeldTyp::Byte: return 'y';
    case FeldTyp::Bool: return 'b';
    case FeldTyp::Double: return 'd';
    case FeldTyp::Text: return 'x';
  }
  return '?';
}

const std::string kFeld = "Xstart:s Ystart:s Xende:s YEnde:s";
const std::string kStil =
    "Fett:b Kursiv:b Unterstrichen:b Durchgestrichen:b Transparent:b FeldVordergrundfarbe:l "
    "FeldHintergrundfarbe:l";
const std::string kBild = "BildnamemitPfad:x " + kFeld + " GroesseAnpassen:b BeiKleinerZentrieren:b";

const Zeile kZeilen[] = {
    {u"Textausgabe",
     kFeld + " Ausgabetext:x Ausrichtung:s Schriftart:x SchriftgroesseinPixel:s " + kStil +
         " LauftextbeiBedarf:b Geschwindigkeit:d Startverzoegerung:d",
     20},
    {u"Cls", "", 2},
    {u"Linie", kFeld + " Linienbreite:s Farbe:l", 8},
    {u"Rechteck", kFeld + " Linienbreite:s Farbe:l Fuellen:b", 9},
    {u"Blinktext",
     kFeld + " Ausgabetext:x Ausrichtung:s Schriftart:x SchriftgroesseinPixel:s " + kStil +
         " Intervall:d",
     18},
    {u"BlinktextLoeschen", "BlinkNr:y", 3},
    {u"Lauftext",
     kFeld + " Ausgabetext:x Schriftart:x SchriftgroesseinPixel:s " + kStil +
         " Geschwindigkeit:d Startverzoegerung:d",
     18},
    {u"LauftextLoeschen", "LauftextNr:y", 3},
    {u"Tafelgroesse", "Breite:s Hoehe:s", 4},
    {u"BildAnzeigen", "BildnamemitPfad:x GroesseAnpassen:b BeiKleinerZentrieren:b", 5},
    {u"BildAnzeigenanPosition", kBild, 9},
    {u"AniGifLadenanPosition", kBild, 10},
    {u"AniGifStarten", "AniGifNr:y AnzeigeDauer:d", 4},
    {u"AniGifStoppen", "AniGifNr:y", 3},
    {u"AniGifLoeschen", "AniGifNr:y", 3},
    {u"Hintergrundfarbe", "Farbe:l", 3},
    {u"Vordergrundfarbe", "Farbe:l", 3},
    {u"IPAdresse", "Adresse:x", 3},
    {u"Port", "Port:x", 3},
    {u"PauseAnzeigeZiel", "strHundertstelSek:x", 3},
    {u"Server starten", "", 2},
    {u"Client verbinden", "", 2},
};

class BefehlsZeile : public ::testing::TestWithParam<Zeile> {
 protected:
  const BefehlsSpec& spec() const {
    const BefehlsSpec* s = findeBefehl(GetParam().name);
    if (s == nullptr) throw std::logic_error("not in the table: " + utf8(GetParam().name));
    return *s;
  }

  // A value of the parameter's type that differs from field to field.
  static Wert beispiel(FeldTyp typ, int i) {
    switch (typ) {
      case FeldTyp::Int16: return static_cast<int16_t>(i % 2 ? -32768 + i : 32767 - i);
      case FeldTyp::Int32: return static_cast<int32_t>(16777215 - i);
      case FeldTyp::Byte: return static_cast<uint8_t>(250 + i % 6);
      case FeldTyp::Bool: return i % 2 == 0;
      case FeldTyp::Double: return 0.04 * i - 1.5;
      case FeldTyp::Text: return std::u16string(u"Größe € ") + static_cast<char16_t>(u'A' + i);
    }
    return {};
  }
};

TEST_P(BefehlsZeile, HasTheDocumentedParametersAndFieldCount) {
  std::string parameter;
  for (const auto& p : spec().parameter) {
    if (!parameter.empty()) parameter += ' ';
    parameter += utf8(p.name) + ':' + kuerzel(p.typ);
  }
  EXPECT_EQ(parameter, GetParam().parameter);
  EXPECT_EQ(spec().feldanzahl(), GetParam().feldanzahl);
}

TEST_P(BefehlsZeile, BuildsAndConvertsBackToTheSameValues) {
  std::vector<Wert> werte;
  for (std::size_t i = 0; i < spec().parameter.size(); ++i)
    werte.push_back(beispiel(spec().parameter[i].typ, static_cast<int>(i)));

  const std::u16string text = bauen(GetParam().name, werte);
  ASSERT_TRUE(istBefehl(text));
  const auto felder = zerlegen(text);
  ASSERT_EQ(static_cast<int>(felder.size()), GetParam().feldanzahl);
  EXPECT_EQ(felder[0], u"Befehl");
  EXPECT_EQ(findeBefehl(felder[1]), &spec());

  const Befehl b = konvertieren(spec(), felder);
  EXPECT_EQ(b.spec, &spec());
  EXPECT_EQ(b.werte, werte);
}

INSTANTIATE_TEST_SUITE_P(AlleBefehle, BefehlsZeile, ::testing::ValuesIn(kZeilen),
                         [](const auto& info) { return test::bezeichner(info.param.name); });

}  // namespace
}  // namespace vrd4::protocol
