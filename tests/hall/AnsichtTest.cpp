// What a board shows the hall's overview: its thumbnail and its last status
// lines, read back with the overview's own checks (uebersicht/Nutzlast.h),
// and when they are published (halle::Ansicht, its clock moved by hand;
// the worker thread is real).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QPainter>
#include <atomic>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/TestHilfe.h"
#include "hall/Ansicht.h"
#include "hall/Meldungen.h"
#include "hall/Vorschau.h"
#include "uebersicht/Nutzlast.h"

namespace {

using namespace vrd4;
using halle::Ansicht;

QImage ausPng(const std::string& png) {
  return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()), "PNG");
}

QImage rauschen(int b, int h, unsigned saat) {
  QImage bild(b, h, QImage::Format_RGB32);
  std::mt19937 zufall(saat);
  for (int y = 0; y < h; ++y) {
    auto* zeile = reinterpret_cast<QRgb*>(bild.scanLine(y));
    for (int x = 0; x < b; ++x) zeile[x] = zufall() | 0xff000000u;
  }
  return bild;
}

QImage flaeche(int b, int h, QColor farbe, QImage::Format format = QImage::Format_RGB32) {
  QImage bild(b, h, format);
  bild.fill(farbe);
  return bild;
}

TEST(Vorschau, IsAbout320WideAtTheBoardsAspectNeverEnlargedNeverOverItsBoundAndReadsAsThePng) {
  struct Zeile {
    const char* name;
    QImage tafel;
    QSize erwartet;  // empty: whatever fits
  };
  const QColor rot(200, 30, 40);
  const std::vector<Zeile> zeilen{
      {"start size", flaeche(768, 480, rot), {320, 200}},
      {"full HD", flaeche(1920, 1080, rot), {320, 180}},
      {"small board kept", flaeche(200, 100, rot), {200, 100}},
      {"tall board narrower", flaeche(768, 8192, rot), {96, 1024}},
      {"one pixel", flaeche(1, 1, rot), {1, 1}},
      {"alpha dropped", flaeche(800, 600, Qt::blue, QImage::Format_ARGB32_Premultiplied), {320, 240}},
      {"noise", rauschen(1920, 1080, 1), {}},
      {"tall noise", rauschen(320, 1024, 2), {}},
  };
  for (const auto& z : zeilen) {
    SCOPED_TRACE(z.name);
    const std::string png = halle::vorschauPng(z.tafel);
    ASSERT_FALSE(png.empty());
    EXPECT_LE(png.size(), halle::kVorschauMaxBytes);
    const auto mass = uebersicht::pngPruefen(png);
    ASSERT_TRUE(mass) << "the overview refuses it";
    const QImage zurueck = ausPng(png);
    ASSERT_FALSE(zurueck.isNull());
    EXPECT_EQ(zurueck.size(), QSize(mass->breite, mass->hoehe));
    EXPECT_LE(zurueck.width(), halle::kVorschauBreite);
    EXPECT_LE(zurueck.height(), halle::kVorschauMaxSeite);
    if (z.erwartet.isEmpty()) continue;
    EXPECT_EQ(zurueck.size(), z.erwartet);
    EXPECT_EQ(zurueck.size(), halle::vorschauMass(z.tafel.width(), z.tafel.height()));
    EXPECT_EQ(zurueck.pixelColor(zurueck.width() / 2, zurueck.height() / 2).rgb(),
              z.tafel.pixelColor(z.tafel.width() / 2, z.tafel.height() / 2).rgb());
  }
  // A thin line on a large board still shows (smooth scaling, not every
  // sixth pixel).
  QImage linie(1920, 1080, QImage::Format_RGB32);
  linie.fill(Qt::black);
  {
    QPainter p(&linie);
    p.setPen(Qt::white);
    p.drawLine(0, 541, 1919, 541);
  }
  const QImage klein = ausPng(halle::vorschauPng(linie));
  int hellste = 0;
  for (int y = 85; y < 96; ++y) hellste = std::max(hellste, qGray(klein.pixel(160, y)));
  EXPECT_GT(hellste, 20);
  EXPECT_TRUE(halle::vorschauPng(QImage()).empty());
  EXPECT_TRUE(halle::vorschauMass(0, 10).isEmpty());
}

// Sets TZ for a scope and puts the one before back.
struct Zeitzone {
  explicit Zeitzone(const char* tz) {
    if (const char* v = std::getenv("TZ")) vorher = v;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~Zeitzone() {
    if (vorher) setenv("TZ", vorher->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  std::optional<std::string> vorher;
};

TEST(Meldungen, KeepTheLastTwentyWithLocalTimesAsJsonThatTheOverviewReadsAndThatStaysInItsBound) {
  {
    const Zeitzone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(halle::ortszeitText(1796634902125), "2026-12-07T10:15:02.125+01:00");  // 09:15:02.125Z
    EXPECT_EQ(halle::ortszeitText(1783413302007), "2026-07-07T10:35:02.007+02:00");
  }
  {
    const Zeitzone tz("EST5");
    EXPECT_EQ(halle::ortszeitText(1796634902125), "2026-12-07T04:15:02.125-05:00");
    EXPECT_EQ(halle::ortszeitText(-1), "1969-12-31T18:59:59.999-05:00");
  }
  {
    const Zeitzone tz("IST-5:30");
    EXPECT_EQ(halle::ortszeitText(0), "1970-01-01T05:30:00.000+05:30");
  }

  halle::Meldungsverlauf v;
  int geaendert = 0;
  v.geaendert = [&] { ++geaendert; };
  for (int i = 0; i < 22; ++i) v.eintragen(QStringLiteral("Zeile %1").arg(i), 1000 * i);
  v.eintragen(QStringLiteral("Befehl\x1bLinie\x1b") + QString(100000, QChar('7')), 30000);  // a command with hex bytes
  v.eintragen(QStringLiteral("<script>alert(\"x\")</script> \\ \x7f"), 31000);
  v.eintragen(QStringLiteral("Tor \U0001F600 ") + QChar(0xD800) + QStringLiteral(" ende"), 32000);
  EXPECT_EQ(geaendert, 25);
  ASSERT_EQ(v.zeilen().size(), halle::Meldungsverlauf::kZeilen);

  const std::string json = halle::meldungenSchreiben(v.zeilen());
  EXPECT_LE(json.size(), halle::kMaxMeldungenBytes);
  const auto gelesen = uebersicht::meldungenLesen(json);
  ASSERT_TRUE(gelesen) << json.substr(0, 400);
  ASSERT_EQ(gelesen->size(), 20u);
  EXPECT_EQ((*gelesen)[0].text, "Zeile 5");  // oldest first
  EXPECT_EQ((*gelesen)[16].text, "Zeile 21");
  const std::string& lang = (*gelesen)[17].text;
  EXPECT_TRUE(lang.starts_with("Befehl\u241bLinie\u241b777")) << lang.substr(0, 40);
  EXPECT_TRUE(lang.ends_with("7\u2026"));
  EXPECT_LE(QString::fromStdString(lang).size(), halle::Meldungsverlauf::kMaxZeichen + 1);
  EXPECT_EQ((*gelesen)[18].text, "<script>alert(\"x\")</script> \\ \u2421");
  EXPECT_EQ((*gelesen)[19].text, "Tor \U0001F600 \uFFFD ende");
  EXPECT_EQ((*gelesen)[19].zeit, halle::ortszeitText(32000));

  // Twenty of the longest lines, all quotes, still fit.
  halle::Meldungsverlauf voll;
  for (int i = 0; i < 25; ++i) voll.eintragen(QString(5000, QChar(i % 2 ? u'"' : u'\u20ac')), 0);
  const std::string vollJson = halle::meldungenSchreiben(voll.zeilen());
  EXPECT_LE(vollJson.size(), halle::kMaxMeldungenBytes);
  ASSERT_TRUE(uebersicht::meldungenLesen(vollJson));
  EXPECT_EQ(uebersicht::meldungenLesen(vollJson)->size(), 20u);
  EXPECT_EQ(halle::meldungenSchreiben({}), R"({"zeilen":[]})");
}

// An Ansicht over a board the test paints, with what it publishes recorded.
struct Stand {
  QImage tafel{768, 480, QImage::Format_RGB32};
  halle::Meldungsverlauf verlauf;
  struct Gesendet {
    std::string topic, payload;
    int mid;
  };
  std::vector<Gesendet> gesendet;
  bool annehmen = true;
  int mid = 0;
  std::atomic<int> geweckt{0};
  std::unique_ptr<Ansicht> ansicht;

  Stand() {
    tafel.fill(Qt::darkBlue);
    ansicht = std::make_unique<Ansicht>(
        "b", "m", Ansicht::Quellen{[this] { return tafel; }, &verlauf},
        [this](const std::string& t, std::string_view p) -> std::optional<int> {
          if (!annehmen) return std::nullopt;
          gesendet.push_back({t, std::string(p), ++mid});
          return mid;
        },
        [this] { ++geweckt; });
  }
  std::vector<Gesendet> auf(const std::string& topic) const {
    std::vector<Gesendet> r;
    for (const auto& g : gesendet)
      if (g.topic == topic) r.push_back(g);
    return r;
  }
};

// Runs takt at `jetzt`, and again each time the worker is done (it wakes
// the owner), until nothing runs.
void bisFertig(Stand& s, double jetzt) {
  for (int runde = 0; runde < 8; ++runde) {
    const int vorher = s.geweckt;
    s.ansicht->takt(jetzt);
    if (!s.ansicht->arbeitet()) return;
    ASSERT_TRUE(test::warteBis([&] { return s.geweckt > vorher; }, 10));
  }
  FAIL() << "the worker keeps running";
}

TEST(Ansicht, PublishesThePictureAtMostEveryTwoSecondsAfterAChangeAndTheLinesAtMostOnceASecond) {
  Stand s;
  s.verlauf.eintragen(QStringLiteral("erste"), 0);
  // Nothing while not connected, and nothing due by the clock.
  s.ansicht->takt(0);
  EXPECT_TRUE(s.gesendet.empty());
  EXPECT_EQ(s.ansicht->frist(), Ansicht::kNie);

  // Connected: the lines at once, the picture once encoded (its buffer is
  // made ready on the worker first).
  s.ansicht->verbunden();
  bisFertig(s, 10.0);
  ASSERT_EQ(s.auf("m").size(), 1u);
  ASSERT_EQ(s.auf("b").size(), 1u);
  EXPECT_EQ(uebersicht::meldungenLesen(s.auf("m")[0].payload)->at(0).text, "erste");
  const QImage erstes = ausPng(s.auf("b")[0].payload);
  EXPECT_EQ(erstes.size(), QSize(320, 200));
  EXPECT_EQ(erstes.pixelColor(160, 100), QColor(Qt::darkBlue));

  // Unacknowledged: nothing more goes out, however much changes.
  s.ansicht->tafelGeaendert(10.1);
  s.verlauf.eintragen(QStringLiteral("zweite"), 10100);
  s.ansicht->meldungenGeaendert();
  EXPECT_EQ(s.ansicht->frist(), Ansicht::kNie);
  bisFertig(s, 20.0);
  EXPECT_EQ(s.gesendet.size(), 2u);

  // Acknowledged: the lines a second after the last, the picture two
  // seconds after the last; a change is pictured kBildRuhe after it came.
  for (const auto& g : s.gesendet) s.ansicht->bestaetigt(g.mid);
  s.tafel.fill(Qt::red);
  EXPECT_DOUBLE_EQ(s.ansicht->frist(), 11.0);  // the lines
  bisFertig(s, 11.0);
  ASSERT_EQ(s.auf("m").size(), 2u);
  EXPECT_EQ(uebersicht::meldungenLesen(s.auf("m")[1].payload)->size(), 2u);
  EXPECT_DOUBLE_EQ(s.ansicht->frist(), 12.0);  // the picture
  bisFertig(s, 11.9);
  EXPECT_EQ(s.auf("b").size(), 1u);
  bisFertig(s, 12.0);
  ASSERT_EQ(s.auf("b").size(), 2u);
  EXPECT_EQ(ausPng(s.auf("b")[1].payload).pixelColor(160, 100), QColor(Qt::red));
  for (const auto& g : s.gesendet) s.ansicht->bestaetigt(g.mid);

  // Quiet: nothing is due, the owner is never woken.
  EXPECT_EQ(s.ansicht->frist(), Ansicht::kNie);

  // A change right after: due two seconds after the last picture; one
  // long after the last: kBildRuhe after it came.
  s.ansicht->tafelGeaendert(12.5);
  EXPECT_DOUBLE_EQ(s.ansicht->frist(), 14.0);
  s.tafel.fill(Qt::green);
  bisFertig(s, 14.0);
  ASSERT_EQ(s.auf("b").size(), 3u);
  s.ansicht->bestaetigt(s.gesendet.back().mid);
  s.ansicht->tafelGeaendert(100.0);
  EXPECT_DOUBLE_EQ(s.ansicht->frist(), 100.0 + Ansicht::kBildRuhe);

  // A command that left the pixels as they were: encoded, not sent.
  const uint64_t kodiert = s.ansicht->bilderKodiert();
  bisFertig(s, 100.2);
  EXPECT_EQ(s.ansicht->bilderKodiert(), kodiert + 1);
  EXPECT_EQ(s.auf("b").size(), 3u);
  EXPECT_EQ(s.ansicht->frist(), Ansicht::kNie);

  // Lines that did not change are not sent again either.
  s.ansicht->meldungenGeaendert();
  bisFertig(s, 101.0);
  EXPECT_EQ(s.auf("m").size(), 2u);
}

TEST(Ansicht, SendsBothAgainAfterAReconnectFollowsTheBoardsSizeAndRetriesWhatWasRefusedWithoutSpinning) {
  Stand s;
  s.verlauf.eintragen(QStringLiteral("eins"), 0);
  s.ansicht->verbunden();
  bisFertig(s, 0.0);
  ASSERT_EQ(s.gesendet.size(), 2u);

  // Gone: what is unacknowledged is forgotten, nothing is due.
  s.ansicht->getrennt();
  s.ansicht->tafelGeaendert(1.0);
  EXPECT_EQ(s.ansicht->frist(), Ansicht::kNie);
  // Back: the same picture and lines once more (a broker that restarted
  // lost them), the picture two seconds after the last.
  s.ansicht->verbunden();
  bisFertig(s, 1.5);
  ASSERT_EQ(s.auf("m").size(), 2u);
  EXPECT_EQ(s.auf("m")[1].payload, s.auf("m")[0].payload);
  bisFertig(s, 2.0);
  ASSERT_EQ(s.auf("b").size(), 2u);
  EXPECT_EQ(s.auf("b")[1].payload, s.auf("b")[0].payload);
  for (const auto& g : s.gesendet) s.ansicht->bestaetigt(g.mid);

  // Full screen: another size, a new buffer, the thumbnail at its aspect.
  s.tafel = QImage(1920, 1080, QImage::Format_RGB32);
  s.tafel.fill(Qt::yellow);
  s.ansicht->tafelGeaendert(3.0);
  bisFertig(s, 4.0);
  ASSERT_EQ(s.auf("b").size(), 3u);
  EXPECT_EQ(ausPng(s.auf("b")[2].payload).size(), QSize(320, 180));
  s.ansicht->bestaetigt(s.gesendet.back().mid);

  // Refused by the client: tried again after the interval, not at once.
  s.annehmen = false;
  s.tafel.fill(Qt::cyan);
  s.ansicht->tafelGeaendert(10.0);
  bisFertig(s, 10.2);
  EXPECT_EQ(s.auf("b").size(), 3u);
  EXPECT_GE(s.ansicht->frist(), 12.2);
  s.annehmen = true;
  bisFertig(s, 12.2);
  ASSERT_EQ(s.auf("b").size(), 4u);
  EXPECT_EQ(ausPng(s.auf("b")[3].payload).pixelColor(10, 10), QColor(Qt::cyan));

  // A board with no picture publishes none; after beenden nothing at all.
  s.tafel = QImage();
  s.ansicht->bestaetigt(s.gesendet.back().mid);
  s.ansicht->tafelGeaendert(20.0);
  bisFertig(s, 30.0);
  EXPECT_EQ(s.auf("b").size(), 4u);
  s.ansicht->beenden();
  s.verlauf.eintragen(QStringLiteral("zu spät"), 0);
  s.ansicht->meldungenGeaendert();
  s.ansicht->takt(40.0);
  EXPECT_EQ(s.auf("m").size(), 2u);
  EXPECT_EQ(s.ansicht->frist(), Ansicht::kNie);
}

}  // namespace
