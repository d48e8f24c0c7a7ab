// What boards publish for the overview, read as an untrusted reader must:
// the JSON reader and writer, the thumbnail's header check, the status lines.
#include <gtest/gtest.h>

#include <string>

#include "PngMacher.h"
#include "uebersicht/Json.h"
#include "uebersicht/Nutzlast.h"

namespace vrd4::uebersicht {
namespace {

TEST(Json, ReadsStrictJsonAndRefusesTheRest) {
  struct Zeile {
    const char* name;
    std::string text;
    bool liest;
  };
  const Zeile zeilen[] = {
      {"object with all kinds", R"({"a":1,"b":-2.5e3,"c":"x","d":[true,false,null],"e":{}})", true},
      {"blanks around", " \n{ } \t", true},
      {"surrogate pair", R"(["\ud83d\ude00"])", true},
      {"trailing comma", R"({"a":1,})", false},
      {"leading zero", "[01]", false},
      {"bare word", "[nul]", false},
      {"two values", "{} {}", false},
      {"lone low surrogate", R"(["\udc00"])", false},
      {"high surrogate without low", R"(["\ud800x"])", false},
      {"control character in string", "[\"a\x01\"]", false},
      {"invalid UTF-8 in string", "[\"\xff\"]", false},
      {"overlong UTF-8", "[\"\xc0\xaf\"]", false},
      {"nested too deep", "[[[[[[[[[1]]]]]]]]]", false},
      {"nested at the bound", "[[[[[[[[1]]]]]]]]", true},
      {"unterminated", R"({"a":"x)", false},
      {"number overflow", "[1e400]", false},
      {"empty", "", false},
  };
  for (const auto& z : zeilen) EXPECT_EQ(jsonLesen(z.text).has_value(), z.liest) << z.name;
  const auto w = jsonLesen(R"({"t":"\u00e4\n\"\/","t":"zweiter"})");
  ASSERT_TRUE(w);
  EXPECT_EQ(*w->feld("t")->text(), "zweiter") << "a repeated name counts last";
  EXPECT_EQ(*jsonLesen(R"(["\u00e4\ud83d\ude00"])")->liste()->at(0).text(), "\xc3\xa4\xf0\x9f\x98\x80");
}

TEST(Json, WritesTextThatCannotEndAScriptOrBreakTheJson) {
  struct Zeile {
    const char* name;
    std::string ein, aus;
  };
  const Zeile zeilen[] = {
      {"markup", "<script>alert(1)</script>", R"("\u003cscript\u003ealert(1)\u003c/script\u003e")"},
      {"quotes and backslash", "a\"b\\c", R"("a\"b\\c")"},
      {"control characters", std::string("a\nb\x01", 4), R"("a\u000ab\u0001")"},
      {"umlauts stay", "Größe", "\"Größe\""},
      {"bytes that are not UTF-8", "a\xff\xc3", R"("a\ufffd\ufffd")"},
      {"line separator", "a\xe2\x80\xa8" "b", R"("a\u2028b")"},
      {"ampersand", "a&b", R"("a\u0026b")"},
  };
  for (const auto& z : zeilen) {
    std::string j;
    jsonText(j, z.ein);
    EXPECT_EQ(j, z.aus) << z.name;
    EXPECT_TRUE(jsonLesen(j)) << z.name << ": what is written reads";
  }
  EXPECT_EQ(utf8Kuerzen("aä", 2), "a") << "never splits a character";
}

TEST(PngKopf, TakesAWellFormedHeaderWithinItsBoundsOnly) {
  const std::string gut = test::pngKopf(320, 200);
  ASSERT_TRUE(pngPruefen(gut));
  EXPECT_EQ(pngPruefen(gut)->breite, 320);
  EXPECT_EQ(pngPruefen(gut)->hoehe, 200);
  std::string falscheCrc = gut;
  falscheCrc[29] ^= 1;
  std::string falscheTiefe = test::pngKopf(10, 10, 3, 2);  // RGB needs 8 or 16 bits
  std::string zuGross = gut + std::string(kMaxBildBytes, '\0');
  struct Zeile {
    const char* name;
    std::string png;
  };
  const Zeile schlecht[] = {
      {"empty", ""},
      {"HTML", "<html><script>alert(1)</script></html>"},
      {"signature only", gut.substr(0, 8)},
      {"cut in the header", gut.substr(0, 30)},
      {"header CRC wrong", falscheCrc},
      {"width 0", test::pngKopf(0, 10)},
      {"height past 1024", test::pngKopf(10, 1025)},
      {"width 2^31", test::pngKopf(0x80000000u, 10)},
      {"bit depth not for the colour type", falscheTiefe},
      {"over 64 KiB", zuGross},
  };
  for (const auto& z : schlecht) EXPECT_FALSE(pngPruefen(z.png)) << z.name;
  EXPECT_TRUE(pngPruefen(test::pngKopf(1024, 1))) << "the bound itself";
}

TEST(Meldungen, ReadsTheLastTwentyLinesAndRefusesWhatIsNotTheObject) {
  const auto m = meldungenLesen(R"({"zeilen":[{"zeit":"2026-12-07T10:15:02.125+01:00","text":"<b>Befehl</b>"},)"
                                R"({"text":"ohne Zeit","mehr":[1,2]}],"neu":true})");
  ASSERT_TRUE(m);
  ASSERT_EQ(m->size(), 2u);
  EXPECT_EQ((*m)[0].text, "<b>Befehl</b>") << "kept as text; the writer escapes it";
  EXPECT_EQ((*m)[0].zeit, "2026-12-07T10:15:02.125+01:00");
  EXPECT_EQ((*m)[1].zeit, "");

  std::string viele = R"({"zeilen":[)";
  for (int i = 0; i < 30; ++i) viele += std::string(i ? "," : "") + R"({"zeit":"t","text":"Zeile )" + std::to_string(i) + "\"}";
  viele += "]}";
  const auto v = meldungenLesen(viele);
  ASSERT_TRUE(v);
  ASSERT_EQ(v->size(), kMaxZeilen);
  EXPECT_EQ(v->front().text, "Zeile 10");
  EXPECT_EQ(v->back().text, "Zeile 29");

  const char* schlecht[] = {"", "[]", R"({"zeilen":{}})", R"({"zeilen":[{"zeit":"t"}]})",
                            R"({"zeilen":[{"text":5}]})", R"({"zeilen":[1]})", "{\"zeilen\":[]"};
  for (const char* s : schlecht) EXPECT_FALSE(meldungenLesen(s)) << s;
  EXPECT_TRUE(meldungenLesen(R"({"zeilen":[]})"));
  std::string lang = R"({"zeilen":[{"text":")" + std::string(kMaxMeldungenBytes, 'x') + "\"}]}";
  EXPECT_FALSE(meldungenLesen(lang)) << "over 16 KiB";
}

}  // namespace
}  // namespace vrd4::uebersicht
