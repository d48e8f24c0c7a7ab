// Line framing of received chunks, byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/Zeilenpuffer.h"

namespace vrd4::net {
namespace {

using namespace std::string_literals;

struct Fall {
  const char* name;
  std::vector<std::string> stuecke;  // arrivals, in order
  std::string trenner;
  std::vector<std::string> zeilen;   // lines taken after each arrival
  std::string rest;                  // what waits (the last line on close)
  std::size_t max = 100;
  bool zuLang = false;               // refused, after zeilen
};

// A picture-sized line in 2000-byte arrivals, its separator split between
// two of them.
std::vector<std::string> bildzeile() {
  std::vector<std::string> v(4000, std::string(2000, 'A'));
  v.insert(v.end(), {"\r", "\nB"});
  return v;
}

TEST(Zeilenpuffer, FramesArrivalsIntoLinesKeepsTheRestAndRefusesALineOverTheLimit) {
  const Fall faelle[] = {
      {"ThreeArrivalsGiveTwoLinesAndARest", {"AB", "C\r\nDE\r", "\nF"}, "\r\n", {"ABC", "DE"}, "F"},
      {"ManyLinesInOneArrival", {"a\r\nb\r\n\r\nc\r\n"}, "\r\n", {"a", "b", "", "c"}, ""},
      {"NulDropsTheRestOfItsArrivalOnly", {"AB\0CD\r\n"s, "E\r\n"}, "\r\n", {"ABE"}, ""},
      {"NulAtTheStartDropsTheWholeArrival", {"X", "\0Y\r\n"s, "Z\r\n"}, "\r\n", {"XZ"}, ""},
      {"LoneLfIsNoSeparator", {"a\nb\r\n"}, "\r\n", {"a\nb"}, ""},
      {"CrCrLfEndsWithACr", {"a\r\r\n"}, "\r\n", {"a\r"}, ""},
      {"OwnSeparatorSplitAcrossArrivals", {"eins|", "|zwei||", "d"}, "||", {"eins", "zwei"}, "d"},
      {"LineOfExactlyTheLimit", {std::string(10, 'x') + "\r\n"}, "\r\n", {std::string(10, 'x')}, "", 10},
      {"PictureSizedLineInSmallArrivals", bildzeile(), "\r\n", {std::string(8'000'000, 'A')}, "B", 8 << 20},
      {"LongLineMovedOutAfterAShortOneTheNextStillFramed",
       {"ok\r\n" + std::string(70000, 'z') + "\r\nn\r\nR"}, "\r\n", {"ok", std::string(70000, 'z'), "n"}, "R", 1 << 20},
      {"CompleteLineOneOver", {std::string(11, 'x') + "\r\n"}, "\r\n", {}, "", 10, true},
      {"RestWithoutSeparatorGrowsOver", {"12345", "67890", "1"}, "\r\n", {}, "", 10, true},
      {"ShortLinesBeforeTheLongOneArrive", {"ok\r\n", std::string(20, 'y')}, "\r\n", {"ok"}, "", 10, true},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    Zeilenpuffer p(f.max);
    std::vector<std::string> zeilen;
    bool zuLang = false;
    // Takes the lines after each arrival, as the socket does.
    for (const std::string& s : f.stuecke) {
      p.anhaengen(s);
      std::string_view z;
      Zeilenpuffer::Ergebnis e;
      while (!zuLang && (e = p.naechsteZeile(f.trenner, z)) != Zeilenpuffer::Ergebnis::KeineZeile) {
        if (e == Zeilenpuffer::Ergebnis::ZuLang) zuLang = true;
        else zeilen.push_back(p.herausnehmen(z));
      }
      if (zuLang) break;
    }
    EXPECT_EQ(zeilen, f.zeilen);
    EXPECT_EQ(zuLang, f.zuLang);
    if (f.zuLang) continue;
    EXPECT_EQ(p.restNehmen(), f.rest);
    EXPECT_TRUE(p.leer());
  }
}

}  // namespace
}  // namespace vrd4::net
