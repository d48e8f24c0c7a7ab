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
  std::vector<std::string> zeilen;   // lines taken after the last arrival
  std::string rest;                  // what waits (the last line on close)
  std::size_t max = 100;
};

// Feeds the arrivals and takes the lines after each, as the socket does.
std::vector<std::string> rahmen(Zeilenpuffer& p, const Fall& f, bool& zuLang) {
  std::vector<std::string> zeilen;
  zuLang = false;
  for (const std::string& s : f.stuecke) {
    p.anhaengen(s);
    std::string_view z;
    for (;;) {
      const auto e = p.naechsteZeile(f.trenner, z);
      if (e == Zeilenpuffer::Ergebnis::ZuLang) {
        zuLang = true;
        return zeilen;
      }
      if (e == Zeilenpuffer::Ergebnis::KeineZeile) break;
      zeilen.emplace_back(z);
    }
  }
  return zeilen;
}

TEST(Zeilenpuffer, FramesArrivalsIntoLinesAndKeepsTheRest) {
  const Fall faelle[] = {
      {"ThreeArrivalsGiveTwoLinesAndARest", {"AB", "C\r\nDE\r", "\nF"}, "\r\n", {"ABC", "DE"}, "F"},
      {"OneByteAtATime", {"O", "K", "\r", "\n", "x"}, "\r\n", {"OK"}, "x"},
      {"ManyLinesInOneArrival", {"a\r\nb\r\n\r\nc\r\n"}, "\r\n", {"a", "b", "", "c"}, ""},
      {"NulDropsTheRestOfItsArrivalOnly", {"AB\0CD\r\n"s, "E\r\n"}, "\r\n", {"ABE"}, ""},
      {"NulAtTheStartDropsTheWholeArrival", {"X", "\0Y\r\n"s, "Z\r\n"}, "\r\n", {"XZ"}, ""},
      {"LoneLfIsNoSeparator", {"a\nb\r\n"}, "\r\n", {"a\nb"}, ""},
      {"CrCrLfEndsWithACr", {"a\r\r\n"}, "\r\n", {"a\r"}, ""},
      {"OwnSeparatorSplitAcrossArrivals", {"eins|", "|zwei||", "d"}, "||", {"eins", "zwei"}, "d"},
      {"Windows1252BytesPassUnchanged", {"Gr\xFC\xDF" "e \x80\r\n"}, "\r\n", {"Gr\xFC\xDF" "e \x80"}, ""},
      {"LineOfExactlyTheLimit", {std::string(10, 'x') + "\r\n"}, "\r\n", {std::string(10, 'x')}, "", 10},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    Zeilenpuffer p(f.max);
    bool zuLang = false;
    EXPECT_EQ(rahmen(p, f, zuLang), f.zeilen);
    EXPECT_FALSE(zuLang);
    EXPECT_EQ(p.restNehmen(), f.rest);
    EXPECT_TRUE(p.leer());
  }
}

TEST(Zeilenpuffer, ALineOrRestLongerThanTheLimitIsRefused) {
  const Fall faelle[] = {
      {"CompleteLineOneOver", {std::string(11, 'x') + "\r\n"}, "\r\n", {}, "", 10},
      {"RestWithoutSeparatorGrowsOver", {"12345", "67890", "1"}, "\r\n", {}, "", 10},
      {"ShortLinesBeforeTheLongOneArrive", {"ok\r\n", std::string(20, 'y')}, "\r\n", {"ok"}, "", 10},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    Zeilenpuffer p(f.max);
    bool zuLang = false;
    EXPECT_EQ(rahmen(p, f, zuLang), f.zeilen);
    EXPECT_TRUE(zuLang);
  }
}

// A picture-sized line in 2000-byte arrivals, its separator split between
// two of them.
TEST(Zeilenpuffer, PictureSizedLineInSmallArrivalsArrivesWhole) {
  Zeilenpuffer p(std::size_t{8} << 20);
  const std::string stueck(2000, 'A');
  std::string_view z;
  for (int i = 0; i < 4000; ++i) {
    p.anhaengen(stueck);
    ASSERT_EQ(p.naechsteZeile("\r\n", z), Zeilenpuffer::Ergebnis::KeineZeile);
  }
  p.anhaengen("\r");
  ASSERT_EQ(p.naechsteZeile("\r\n", z), Zeilenpuffer::Ergebnis::KeineZeile);
  p.anhaengen("\nB");
  ASSERT_EQ(p.naechsteZeile("\r\n", z), Zeilenpuffer::Ergebnis::Zeile);
  EXPECT_EQ(z.size(), 8'000'000u);
  EXPECT_EQ(p.naechsteZeile("\r\n", z), Zeilenpuffer::Ergebnis::KeineZeile);
  EXPECT_EQ(p.restNehmen(), "B");
}

}  // namespace
}  // namespace vrd4::net
