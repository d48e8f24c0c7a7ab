// Whole command texts: the command table (every command builds and converts
// back), documented examples and edge cases, hostile fields, building errors,
// and the form in which picture commands are passed on.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Ansi.h"
#include "protocol/Befehl.h"

namespace vrd4::protocol {
namespace {

// u"Befehl|Cls" -> u"Befehl\x1bCls".
std::u16string esc(std::u16string s) {
  std::replace(s.begin(), s.end(), u'|', ESC);
  return s;
}

Befehl parse(std::u16string_view t) {
  const auto f = zerlegen(t);
  return konvertieren(*findeBefehl(f.at(1)), f);
}

// Each command in dispatch order with the fields after its name, one letter
// each: s Int16, l Int32, y Byte, b Bool, d Double, x Text, _ an empty end field;
// upper case where the field has a role (the Xstart of a rectangle, the
// picture's path, an effect slot's number).
const std::pair<std::u16string, std::string> kZeilen[] = {
    {u"Textausgabe", "Ssssxsxsbbbbbllbdd"}, {u"Cls", ""}, {u"Linie", "Sssssl"}, {u"Rechteck", "Ssssslb"},
    {u"Blinktext", "Ssssxsxsbbbbblld"}, {u"BlinktextLoeschen", "Y"}, {u"Lauftext", "Ssssxxsbbbbblldd"},
    {u"LauftextLoeschen", "Y"}, {u"Tafelgroesse", "ss"}, {u"BildAnzeigen", "Xbb"},
    {u"BildAnzeigenanPosition", "XSsssbb"}, {u"AniGifLadenanPosition", "XSsssbb_"}, {u"AniGifStarten", "Yd"},
    {u"AniGifStoppen", "Y"}, {u"AniGifLoeschen", "Y"}, {u"Hintergrundfarbe", "l"}, {u"Vordergrundfarbe", "l"},
    {u"IPAdresse", "x"}, {u"Port", "x"}, {u"PauseAnzeigeZiel", "x"}, {u"Server starten", ""},
    {u"Client verbinden", ""}};

// Every command has its fields, and a text built from values near each type's
// limits has that many fields and converts back to the same values.
TEST(Befehlstabelle, EveryCommandBuildsAndConvertsBack) {
  ASSERT_EQ(befehlstabelle().size(), std::size(kZeilen));
  for (std::size_t z = 0; z < std::size(kZeilen); ++z) {
    const auto& [name, erwartet] = kZeilen[z];
    SCOPED_TRACE(platform::toUtf8(name));
    const BefehlsSpec& spec = befehlstabelle()[z];
    ASSERT_EQ(spec.name, name);
    std::string typen;
    std::vector<Wert> werte;
    for (const auto& p : spec.parameter) {
      const int i = static_cast<int>(werte.size());
      typen += (p.rolle == Rolle::Wert ? "slybdx" : "SLYBDX")[static_cast<int>(p.typ)];
      const Wert beispiele[] = {int16_t(i % 2 ? -32768 + i : 32767 - i), int32_t{16777215 - i}, uint8_t(250 + i % 6),
                                i % 2 == 0, 0.04 * i - 1.5, u"Größe € " + std::u16string(1, u'A' + i)};
      werte.push_back(beispiele[static_cast<int>(p.typ)]);
    }
    EXPECT_EQ(typen + (spec.leeresEndfeld ? "_" : ""), erwartet);
    EXPECT_EQ(spec.feldanzahl(), static_cast<int>(2 + erwartet.size()));
    const auto felder = zerlegen(bauen(name, werte));
    ASSERT_EQ(felder.size(), 2 + erwartet.size());
    EXPECT_EQ(findeBefehl(felder[1]), &spec);
    EXPECT_EQ(konvertieren(spec, felder).werte, werte);
  }
}

// Only the first six characters must be "Befehl"; names are case-sensitive;
// fields beyond the row (and AniGifLadenanPosition's empty end field) are
// ignored; splitting keeps empty fields and joining undoes it.
TEST(Befehlstext, HeadNamesExtraFieldsAndEmptyFields) {
  EXPECT_EQ(parse(esc(u"Befehlxyz|Cls")).spec->name, u"Cls");
  EXPECT_FALSE(istBefehl(u"Befeh") || istBefehl(esc(u"befehl|Cls")));
  EXPECT_EQ(findeBefehl(u"cls"), nullptr);
  EXPECT_EQ(parse(esc(u"Befehl|Tafelgroesse|768|480|x||Rest")).werte, (std::vector<Wert>{int16_t{768}, int16_t{480}}));
  EXPECT_EQ(parse(esc(u"Befehl|AniGifLadenanPosition|/a.gif|1|2|3|4|-1|0|")).werte,
            parse(esc(u"Befehl|AniGifLadenanPosition|/a.gif|1|2|3|4|-1|0")).werte);
  EXPECT_EQ(zerlegen(u""), std::vector<std::u16string>{u""});
  const std::u16string t = esc(u"Befehl|Cls||");
  EXPECT_EQ(zerlegen(t), (std::vector<std::u16string>{u"Befehl", u"Cls", u"", u""}));
  EXPECT_EQ(zusammenfuegen(zerlegen(t)), t);
}

// The error a receiver gets for a command text: command, position, message.
std::string fehler(const std::u16string& text) {
  try {
    parse(esc(text));
  } catch (const FeldFehler& e) {
    return platform::toUtf8(e.befehl()) + " " + std::to_string(e.position()) + " " + e.what();
  }
  return "accepted";
}

TEST(Befehlstext, HostileFieldsGiveFeldFehlerWithCommandPositionAndText) {
  EXPECT_EQ(fehler(u"Befehl|Linie|Größe|1|10|1|1|0"),
            "Linie 2 Befehl \"Linie\": Feld 2 (Xstart) ist keine Zahl von -32768 bis 32767: 'Größe'");
  EXPECT_EQ(fehler(u"Befehl|BildAnzeigen|/b.png|ja|0"),
            "BildAnzeigen 3 Befehl \"BildAnzeigen\": Feld 3 (GroesseAnpassen) ist kein Wahrheitswert "
            "(Zahl, True oder False): 'ja'");
  EXPECT_EQ(fehler(u"Befehl|Linie|1|1|10|1|1"), "Linie 7 Befehl \"Linie\": Feld 7 (Farbe) fehlt");
  EXPECT_EQ(fehler(u"Befehl|AniGifStarten|1"), "AniGifStarten 3 Befehl \"AniGifStarten\": Feld 3 (AnzeigeDauer) fehlt");
  EXPECT_EQ(fehler(u"Befehl|IPAdresse"), "IPAdresse 2 Befehl \"IPAdresse\": Feld 2 (Adresse) fehlt");
}

TEST(Bauen, WritesTrueAsMinusOneAndRefusesWhatTheRowDoesNotDescribe) {
  const std::vector<Wert> gefuellt = {int16_t{1}, int16_t{2}, int16_t{30}, int16_t{40}, int16_t{1}, int32_t{0}, true};
  EXPECT_EQ(bauen(u"Rechteck", gefuellt), esc(u"Befehl|Rechteck|1|2|30|40|1|0|-1"));
  EXPECT_THROW(bauen(u"Gibtsnicht", {}), std::invalid_argument);
  EXPECT_THROW(bauen(u"Cls", std::vector<Wert>{int32_t{1}}), std::invalid_argument);
  EXPECT_THROW(bauen(u"Hintergrundfarbe", {}), std::invalid_argument);
  EXPECT_THROW(bauen(u"Hintergrundfarbe", std::vector<Wert>{int16_t{255}}), std::invalid_argument);
  // ESC inside a text would shift every later field.
  EXPECT_THROW(bauen(u"IPAdresse", std::vector<Wert>{esc(u"10.0.0.1|Cls")}), std::invalid_argument);
}

std::u16string weiter(const std::u16string& empfangen, const std::vector<uint8_t>& datei) {
  return weiterleitungsform(zerlegen(esc(empfangen)), datei);
}

TEST(Bildweiterleitung, CarriesTheFileAsHexPaddedTo14Fields) {
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigen|C:\\b.bmp|-1|0", {0x00, 0x1F, 0xFF}),
            esc(u"Befehl|BildAnzeigen|C:\\b.bmp|-1|0|001FFF||||||||"));
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigenanPosition|/b|1|2|3|4|0|-1", {0xAB}),
            esc(u"Befehl|BildAnzeigenanPosition|/b|1|2|3|4|0|-1|AB||||"));
  // The empty end field of AniGifLadenanPosition is where the hex goes.
  EXPECT_EQ(weiter(u"Befehl|AniGifLadenanPosition|/a|1|2|3|4|0|0|", {0x47}),
            esc(u"Befehl|AniGifLadenanPosition|/a|1|2|3|4|0|0|47||||"));
  // Missing fields become empty, extra fields are dropped.
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigen|/b", {}), esc(u"Befehl|BildAnzeigen|/b|||||||||||"));
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigen|/b|0|0|alt|x", {0xAB}), esc(u"Befehl|BildAnzeigen|/b|0|0|AB||||||||"));
  EXPECT_THROW(weiter(u"Befehl|Cls", {1}), std::invalid_argument);
  EXPECT_THROW(weiter(u"Befehl", {1}), std::invalid_argument);
}

}  // namespace
}  // namespace vrd4::protocol
