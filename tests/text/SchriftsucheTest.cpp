// Fitting a font to a pixel height finds exactly the size that walking the
// 0.05-point steps one by one finds, from the same start, in the fonts boards
// are designed with.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "platform/Surface.h"
#include "render/CtlLTundBK.h"
#include "render/Schrift.h"

namespace vrd4::render {
namespace {

// Heights are measured once per size in force: the walk below then costs
// what it costs to step, not what it costs to measure.
class Messung {
 public:
  double operator()(const platform::Surface& s) {
    auto [it, neu] = hoehen_.try_emplace(s.fontSize(), 0.0);
    if (neu) it->second = s.textHeight(Messtext());
    return it->second;
  }

 private:
  std::map<double, double> hoehen_;
};

// The walk as the board has always done it: from the size in force, down
// while too high, or up until the height is reached (then the last size
// still below it, unless equal). It ends at the smallest or largest size.
double schrittweise(platform::Surface& s, int h, Messung& hoehe) {
  const double ziel = std::max(h, kKleinsteSchrifthoehe), s0 = s.fontSize();
  double c = s0, t = hoehe(s), ergebnis = s0;
  auto amRand = [&] { return s.fontSize() == 0.75 || s.fontSize() == 0.75 * platform::Surface::kMaxFontPx; };
  if (t > ziel) {
    do {
      c -= 0.05, s.setFontSize(c), t = hoehe(s);
    } while (t > ziel && !(amRand() && c < -1));
    ergebnis = s.fontSize();
  } else if (t < ziel) {
    for (;;) {
      const double p = s.fontSize();
      c += 0.05, s.setFontSize(c), t = hoehe(s);
      if (t == ziel) { ergebnis = s.fontSize(); break; }
      if (t > ziel) { ergebnis = p; break; }
      if (amRand() && c > 4000) { ergebnis = s.fontSize(); break; }
    }
  }
  s.setFontSize(s0);
  return ergebnis;
}

// Every height up to 100, then every 37th to 1000; from the start size the
// board has, from the last result (a few steps), and from far above.
std::vector<std::pair<int, double>> faelle() {
  std::vector<std::pair<int, double>> f;
  for (int h = 3; h <= 1000; h += h < 100 ? 1 : 37) {
    f.emplace_back(h, 8.25);
    f.emplace_back(h, -1);  // -1: start from the previous result
  }
  for (int h : {1000, 5, 640, 7, 240}) f.emplace_back(h, 600);
  return f;
}

TEST(Schriftsuche, FindsTheSizeTheStepsFindInArialTimesAndCourierBoldOrNot) {
  const char* const namen[] = {"Arial", "Times New Roman", "Courier New"};
  for (int i = 0; i < 6; ++i) {
    platform::Surface s;
    s.setFontName(QString::fromUtf8(namen[i / 2]));
    s.setFontBold(i % 2);
    Messung messung;
    double vorige = 8.25;
    for (auto [h, start] : faelle()) {
      s.setFontSize(start < 0 ? vorige : start);
      const double soll = schrittweise(s, h, messung);
      ASSERT_EQ(SchriftgroesseAnpassen(s, h), soll) << namen[i / 2] << " bold " << i % 2 << " h " << h
                                                    << " from " << s.fontSize();
      vorige = soll;
    }
  }
}

// The text-effect controls fit in whole points: the same walk, rounded.
int32_t ganzzahligSchrittweise(CtlLTundBK& ctl) {
  const int32_t ziel = ctl.FontSize();
  double c = ziel;
  int32_t t = ctl.TextHeight(Messtext());
  const auto grenze = [&] { return std::abs(c - ziel) > 3100; };
  while (t < ziel && !grenze()) c += 0.05, ctl.setFontSize(int32_t(std::nearbyint(c))), t = ctl.TextHeight(Messtext());
  while (t > ziel && !grenze()) c -= 0.05, ctl.setFontSize(int32_t(std::nearbyint(c))), t = ctl.TextHeight(Messtext());
  return ctl.FontSize();
}

TEST(Schriftsuche, WholePointFittingOfTheControlsFindsWhatTheStepsFind) {
  platform::Surface board;
  CtlLTundBK ctl(board);
  for (const char* name : {"Arial", "Times New Roman", "Courier New"}) {
    ctl.setFontName(QString::fromUtf8(name));
    for (int h : {5, 6, 9, 13, 20, 31, 48, 75, 120, 333}) {
      ctl.setFontSize(h);
      const int32_t soll = ganzzahligSchrittweise(ctl);
      ctl.setFontSize(h);
      SchriftGanzzahligAnpassen(ctl);
      EXPECT_EQ(ctl.FontSize(), soll) << name << " " << h;
    }
  }
}

}  // namespace
}  // namespace vrd4::render
