// The screen-font check and fitting a font to a pixel height.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Schrift.h"
#include "render/TextAusgabe.h"

namespace vrd4::render {
namespace {

using test::Ereignis;
using test::FakeHost;

double hoeheBei(platform::Surface& s, double groesse) {
  const double vorher = s.fontSize();
  s.setFontSize(groesse);
  const double t = s.textHeight(Messtext());
  s.setFontSize(vorher);
  return t;
}

// The next size in force above `groesse` that 0.05-point steps reach.
double naechsteGroesse(platform::Surface& s, double groesse) {
  const double vorher = s.fontSize();
  s.setFontSize(groesse);
  double c = s.fontSize();
  double naechste = c;
  for (int i = 0; i < 100 && naechste == s.fontSize(); ++i) {
    c += 0.05;
    s.setFontSize(c);
  }
  naechste = s.fontSize();
  s.setFontSize(vorher);
  return naechste;
}

struct Schriftbild {
  const char* name;
  bool fett, kursiv;
};

class Anpassung : public testing::TestWithParam<Schriftbild> {};

TEST_P(Anpassung, FittedHeightNeverExceedsWantedAndTheNextStepWould) {
  platform::Surface s;
  s.setFontName(QString::fromUtf8(GetParam().name));
  s.setFontBold(GetParam().fett);
  s.setFontItalic(GetParam().kursiv);
  for (int h : {5, 9, 14, 20, 33, 40, 64, 100}) {
    SCOPED_TRACE(h);
    const double g = SchriftgroesseAnpassen(s, h);
    const double t = hoeheBei(s, g);
    EXPECT_LE(t, h);
    if (t < h) {
      EXPECT_GT(hoeheBei(s, naechsteGroesse(s, g)), h);
    }
    EXPECT_EQ(s.fontSize(), 8.25) << "the surface keeps its size";
  }
}

INSTANTIATE_TEST_SUITE_P(Schrift, Anpassung,
                         testing::Values(Schriftbild{"Arial", false, false},
                                         Schriftbild{"Arial", true, true},
                                         Schriftbild{"Times New Roman", false, false},
                                         Schriftbild{"Courier New", true, false},
                                         Schriftbild{"DejaVu Sans", false, true}),
                         [](const testing::TestParamInfo<Schriftbild>& i) {
                           std::string n = i.param.name;
                           std::erase(n, ' ');
                           return n + (i.param.fett ? "Bold" : "") + (i.param.kursiv ? "Italic" : "");
                         });

TEST(Schrift, HeightBelowFiveFitsToFive) {
  platform::Surface s;
  EXPECT_EQ(SchriftgroesseAnpassen(s, 3), SchriftgroesseAnpassen(s, 5));
  EXPECT_EQ(SchriftgroesseAnpassen(s, -200), SchriftgroesseAnpassen(s, 5));
  EXPECT_LE(hoeheBei(s, SchriftgroesseAnpassen(s, 3)), 5);
}

TEST(Schrift, EndsForHeightsNoFontReaches) {
  platform::Surface s;
  const double riesig = SchriftgroesseAnpassen(s, 32767);
  EXPECT_GE(riesig, 1000.0);  // the largest font the surface has
  s.setScale(768, 480 * 1000.0);  // one pixel is a thousand units high
  EXPECT_GT(SchriftgroesseAnpassen(s, 5), 0.0);
}

TEST(Schrift, HeightIsMeasuredInScaleUnits) {
  platform::Surface s(768, 480);
  s.setScale(384, 240);  // two pixels per unit
  const double g = SchriftgroesseAnpassen(s, 20);
  EXPECT_LE(hoeheBei(s, g), 20);
  EXPECT_GT(hoeheBei(s, g), 17);
  EXPECT_GE(g * platform::Surface::kDpi / 72, 30) << "the font is twice as many pixels high";
}

TEST(Schrift, RememberedSizeIsTheSizeTheSearchFinds) {
  SchriftgroessenSpeicher speicher;
  for (const char* name : {"Arial", "Courier New", "DejaVu Serif"}) {
    for (double start : {8.25, 30.0, 72.0}) {
      for (bool fett : {false, true}) {
        for (int h = 3; h <= 80; h += 7) {
          platform::Surface s;
          s.setFontName(QString::fromUtf8(name));
          s.setFontBold(fett);
          s.setFontSize(start);
          const double inKraft = s.fontSize();
          const double ohne = SchriftgroesseAnpassen(s, h);
          EXPECT_EQ(speicher.anpassen(s, h), ohne) << name << " " << start << " " << h;
          const std::size_t n = speicher.eintraege();
          EXPECT_EQ(speicher.anpassen(s, h), ohne);
          EXPECT_EQ(speicher.eintraege(), n) << "the second time is remembered";
          EXPECT_EQ(s.fontSize(), inKraft);
        }
      }
    }
  }
}

TEST(Schrift, RememberedSizesKeepStartSizeAndScaleApart) {
  SchriftgroessenSpeicher speicher;
  platform::Surface s;
  speicher.anpassen(s, 20);
  s.setFontSize(40);
  speicher.anpassen(s, 20);
  EXPECT_EQ(speicher.eintraege(), 2u);
  s.setScale(384, 240);
  EXPECT_EQ(speicher.anpassen(s, 20), SchriftgroesseAnpassen(s, 20));
  EXPECT_EQ(speicher.eintraege(), 3u);
}

TEST(Schrift, CheckAcceptsScreenFontInAnyLetterCase) {
  FakeHost host;
  TextRenderer r(host);
  EXPECT_EQ(r.SchriftartPruefen(QStringLiteral("aRiAl")), QStringLiteral("aRiAl"));
  EXPECT_EQ(r.SchriftartPruefen(QStringLiteral("LIBERATION SANS")), QStringLiteral("LIBERATION SANS"));
  EXPECT_EQ(r.SchriftartPruefen(QStringLiteral("courier new")), QStringLiteral("courier new"));
  EXPECT_TRUE(host.ereignisse.empty());
}

TEST(Schrift, CheckReplacesUnknownFontByArialWithItsEvent) {
  FakeHost host;
  TextRenderer r(host);
  EXPECT_EQ(r.SchriftartPruefen(QStringLiteral("Gibtsnicht Grotesk")), QStringLiteral("Arial"));
  EXPECT_EQ(host.ereignisse,
            (std::vector<Ereignis>{{QStringLiteral("BefehlFehler"),
                                    QString::fromUtf8("Schrift: Gibtsnicht Grotesk nicht vorhanden. "
                                                      "- Arial wird gesetzt!")}}));
}

}  // namespace
}  // namespace vrd4::render
