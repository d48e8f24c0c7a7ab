// The hall's overview page in a real browser: a real mosquitto on loopback,
// a publishing receiver fed through its ring, three boards (offscreen),
// vrd4halle, and headless Chromium through chromedriver. The page shows
// the boards by name with their states, each board's own thumbnail as the
// board shows it, a command on every tile within 3 s without a reload, a
// killed board offline, status lines of markup as text, hostile payloads
// refused, a restarted broker, and a phone's width. Screenshots of the page
// go to the test's output folder.
#include <QDir>
#include <fstream>
#include <QJsonArray>
#include <QJsonObject>
#include <chrono>
#include <cmath>
#include <thread>

#include "HalleHilfe.h"
#include "Vrd4halle.h"
#include "WebDriver.h"

namespace vrd4::e2e {
namespace {

using Uhr = std::chrono::steady_clock;

// What the page shows, read in the browser: per tile its name, state,
// command number, status lines and the size the thumbnail is drawn at.
const char* const kKacheln = R"(
  return [...document.querySelectorAll("article.tafel")].map(k => {
    const img = k.querySelector("img.bild"), r = img.getBoundingClientRect();
    return { name: k.dataset.name, zustand: k.querySelector(".zustand").textContent,
             befehl: k.querySelector('[data-feld="befehl"]').textContent,
             rueckstand: k.querySelector('[data-feld="rueckstand"]').textContent,
             verworfen: k.querySelector('[data-feld="verworfen"]').textContent,
             meldungen: [...k.querySelectorAll("li[data-meldung]")].map(li => li.lastChild.textContent),
             markup: k.querySelectorAll(".meldungen script, .meldungen img, .meldungen b").length,
             bild: !img.hidden && img.complete && img.naturalWidth > 0 ? img.getAttribute("src") : "",
             breite: r.width, hoehe: r.height };
  });)";

// The thumbnail of tile `name` (the publisher's in the header for an empty
// name) as the browser decoded it, as a PNG data URL.
const char* const kBildDaten = R"(
  const img = arguments[0] === "" ? document.getElementById("quellbild")
                                  : document.querySelector('article.tafel[data-name="' + arguments[0] + '"] img.bild');
  if (!img || img.hidden || !img.complete || !img.naturalWidth) return "";
  const c = document.createElement("canvas");
  c.width = img.naturalWidth;
  c.height = img.naturalHeight;
  c.getContext("2d").drawImage(img, 0, 0);
  return c.toDataURL("image/png");)";

// The board's snapshot as the overview should show it: 320 px wide at the
// board's aspect ratio, smoothly scaled.
QImage vorschau(const QImage& tafel) {
  return tafel.convertToFormat(QImage::Format_RGB32).scaledToWidth(320, Qt::SmoothTransformation);
}

// A thumbnail the browser shows, from kBildDaten's data URL.
QImage ausDatenUrl(const std::string& url) {
  return QImage::fromData(QByteArray::fromBase64(QByteArray::fromStdString(url.substr(url.find(',') + 1))), "PNG");
}

// Mean and largest difference of two pictures of one size, per channel.
std::pair<double, int> abstand(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  double summe = 0;
  int groesste = 0;
  for (int j = 0; j < x.height(); ++j)
    for (int i = 0; i < x.width(); ++i) {
      const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
      for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
        summe += std::abs(d);
        groesste = std::max(groesste, std::abs(d));
      }
    }
  return {summe / (3.0 * x.width() * x.height()), groesste};
}

class Uebersicht : public Halle {
 protected:
  void TearDown() override {
    for (auto& t : tafeln) t.reset();
    Halle::TearDown();
  }
  std::vector<QJsonObject> kacheln(test::Browser& b) {
    std::vector<QJsonObject> r;
    for (const auto& v : b.skript(kKacheln).toArray()) r.push_back(v.toObject());
    return r;
  }
  // Every tile satisfies `f` within the time (three tiles at least).
  template <typename F>
  bool alleKacheln(test::Browser& b, F f, double sekunden) {
    return warteBis([&] {
      const auto k = kacheln(b);
      if (k.size() != 3) return false;
      for (const auto& t : k)
        if (!f(t)) return false;
      return true;
    }, sekunden);
  }
  QJsonObject kachel(test::Browser& b, const std::string& name) {
    for (const auto& k : kacheln(b))
      if (k.value("name").toString().toStdString() == name) return k;
    return {};
  }
  std::string beschreibung(test::Browser& b) {
    std::string z;
    for (const auto& k : kacheln(b))
      z += QJsonDocument(k).toJson(QJsonDocument::Compact).toStdString() + "\n";
    return z;
  }

  const std::string praefix = "t_uebersicht_" + std::to_string(getpid()) + "_";
  std::unique_ptr<Empfaenger> tafeln[3];
  const std::string namen[3] = {"Nord", "Sued", "Tribuene-2"};
};

TEST_F(Uebersicht, ThePageFollowsThreeBoardsTheirPicturesACommandAKilledBoardAndShowsMarkupAsText) {
  Vrd4halle server({"--halle", halleUrl});
  ASSERT_FALSE(server.url().empty()) << "vrd4halle did not start";
  test::Browser browser(1200, 900);
  if (!browser.ok()) GTEST_SKIP() << browser.fehler();

  // The boards come first: the page shows them waiting for a publisher.
  // The last is driven through a ring of its own too, with texts of markup:
  // what it ran is in its status list, which the page shows as text.
  for (int i = 0; i < 3; ++i) {
    tafeln[i] = std::make_unique<Empfaenger>(praefix + "T" + std::to_string(i) + "_");
    if (i == 2) {
      channel::setChannelNamePrefix(praefix + "T2_");
      ringFrischAnlegen();
    }
    tafeln[i]->starten({"--tafel", halleUrl + "/" + namen[i]});
  }
  ASSERT_TRUE(gestartet());
  {
    Ring ring;
    for (const auto& text : {u"<script>window.gehackt=1</script>", u"<img src=x onerror=\"window.gehackt=2\"><b>fett</b>"})
      ASSERT_TRUE(gelesen(ring.senden(befehl({u"Textausgabe", u"1", u"10", u"700", u"60", text, u"1", u"Liberation Sans",
                                               u"12", u"-1", u"0", u"0", u"0", u"-1", u"16777215", u"0", u"0", u"0", u"0"}))));
  }
  gv::SpeichervariablenFreigeben();
  ASSERT_TRUE(browser.oeffnen(server.url())) << browser.letzteAntwort();
  browser.skript("window.ohneNeuladen = 42;");
  EXPECT_TRUE(alleKacheln(browser, [](const QJsonObject& k) { return k.value("zustand").toString() == "keine Szene"; },
                          kStartSekunden))
      << beschreibung(browser);
  {
    const auto k = kacheln(browser);
    ASSERT_EQ(k.size(), 3u) << beschreibung(browser);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(k[i].value("name").toString().toStdString(), namen[i]) << "by name";
  }

  // The publisher, and a board of its own drawing through the ring.
  channel::setChannelNamePrefix(praefix + "Q_");
  ringFrischAnlegen();
  quelle = std::make_unique<Empfaenger>(praefix + "Q_");
  quelle->starten({"--halle", halleUrl});
  ASSERT_TRUE(gestartet());
  for (const auto& b : {befehl({u"Cls"}), befehl({u"Hintergrundfarbe", u"4210752"}),
                        befehl({u"Rechteck", u"40", u"40", u"300", u"200", u"1", u"65280", u"-1"}),
                        befehl({u"Linie", u"0", u"479", u"767", u"0", u"8", u"16776960"}),
                        befehl({u"Textausgabe", u"1", u"250", u"768", u"330", u"Finale  3 : 2", u"1", u"Liberation Sans",
                                u"64", u"-1", u"0", u"0", u"0", u"-1", u"16777215", u"0", u"0", u"0", u"0"})})
    ASSERT_TRUE(gelesen(Ring::senden(b)));
  EXPECT_TRUE(alleKacheln(browser, [](const QJsonObject& k) {
    return k.value("zustand").toString() == "online" && k.value("befehl").toString() == "5" &&
           k.value("rueckstand").toString() == "0 Befehle";
  }, kStartSekunden)) << beschreibung(browser);

  // Thumbnails: each tile shows the picture its board published, which is
  // the board's own snapshot scaled down, at the board's aspect ratio. (The
  // tile may show the one before for up to two seconds.)
  EXPECT_TRUE(alleKacheln(browser, [](const QJsonObject& k) { return !k.value("bild").toString().isEmpty(); },
                          kSekunden))
      << beschreibung(browser);
  for (int i = 0; i < 4; ++i) {
    // The three boards, then the publisher's own in the header.
    const std::string name = i < 3 ? namen[i] : "";
    Empfaenger& empfaenger = i < 3 ? *tafeln[i] : *quelle;
    QImage gezeigt, erwartet;
    std::pair<double, int> unterschied{255, 255};
    warteBis([&] {
      gezeigt = ausDatenUrl(browser.skript(kBildDaten, QJsonArray{QString::fromStdString(name)}).toString().toStdString());
      erwartet = vorschau(empfaenger.schnappschuss());
      if (gezeigt.isNull() || gezeigt.size() != erwartet.size()) return false;
      unterschied = abstand(gezeigt, erwartet);
      return unterschied.first < 2.0 && unterschied.second < 40;
    }, kSekunden);
    if (i < 3) {
      const QJsonObject k = kachel(browser, name);
      EXPECT_NEAR(k.value("breite").toDouble() / k.value("hoehe").toDouble(), 768.0 / 480.0, 0.02) << name;
    }
    ASSERT_FALSE(gezeigt.isNull()) << name;
    EXPECT_EQ(gezeigt.size(), QSize(320, 200)) << name;
    ASSERT_EQ(gezeigt.size(), erwartet.size()) << name;
    EXPECT_LT(unterschied.first, 2.0) << name;
    EXPECT_LT(unterschied.second, 40) << name;
    std::printf("%s: thumbnail against the board's snapshot: mean %.2f, largest %d of 255\n",
                i < 3 ? name.c_str() : "publisher", unterschied.first, unterschied.second);
  }

  // The status lines the boards published: the markup the last one ran
  // shows as text, and nothing of it runs.
  const auto hat = [&](const std::string& name, const QString& teil) {
    for (const auto& m : kachel(browser, name).value("meldungen").toArray())
      if (m.toString().contains(teil)) return true;
    return false;
  };
  EXPECT_TRUE(warteBis([&] {
    return hat(namen[2], QStringLiteral("<script>window.gehackt=1</script>")) &&
           hat(namen[2], QStringLiteral(R"(<img src=x onerror="window.gehackt=2"><b>fett</b>)"));
  }, kSekunden)) << beschreibung(browser);
  EXPECT_TRUE(hat(namen[0], QStringLiteral("Halle: mit dem Broker verbunden"))) << beschreibung(browser);
  EXPECT_EQ(kachel(browser, namen[2]).value("markup").toInt(), 0);
  EXPECT_TRUE(browser.skript("return window.gehackt === undefined;").toBool()) << "nothing a board sent ran";

  // The screenshot, for the test's output and the README.
  const QImage bildschirm = browser.bildschirm();
  EXPECT_FALSE(bildschirm.isNull());
  QDir().mkpath(VRD4_TEST_AUSGABE);
  EXPECT_TRUE(bildschirm.save(VRD4_TEST_AUSGABE "/halle-uebersicht.png"));

  // A 64 MiB "PNG" and a picture that is HTML: refused, counted on the
  // tile; its picture stays, and the server's memory stays bounded.
  const QString bildVorher = kachel(browser, namen[0]).value("bild").toString();
  {
    TestKlient fremder(halleUrl, "vrd4-test-fremder");
    const std::string topic = "vrd4/H/tafel/" + namen[0] + "/bild";
    ASSERT_TRUE(fremder.senden({{topic, "\x89PNG\r\n\x1a\n" + std::string(64 << 20, 'x')}}, true));
    ASSERT_TRUE(fremder.senden({{topic, "<html><script>window.gehackt=3</script></html>"}}, true));
  }
  EXPECT_TRUE(warteBis([&] { return kachel(browser, namen[0]).value("verworfen").toString() == "2"; }, kSekunden))
      << beschreibung(browser);
  EXPECT_EQ(kachel(browser, namen[0]).value("bild").toString(), bildVorher);
  const double spitzeMb = procKiB(server.pid(), "VmHWM:") / 1024.0;
  std::printf("vrd4halle's peak memory after a 64 MiB payload: %.0f MB\n", spitzeMb);
  EXPECT_LT(spitzeMb, 200);

  // At a phone's width: one column, nothing wider than the screen.
  ASSERT_TRUE(browser.fenster(390, 844)) << browser.letzteAntwort();
  EXPECT_TRUE(warteBis([&] {
    const auto k = kacheln(browser);
    return browser.skript("return window.innerWidth;").toInt() <= 400 && k.size() == 3 &&
           k[0].value("breite").toDouble() > 300 &&
           browser.skript("return document.documentElement.scrollWidth <= window.innerWidth;").toBool() &&
           browser.skript(R"(const t = [...document.querySelectorAll("article.tafel")];
                             return t[0].getBoundingClientRect().left === t[1].getBoundingClientRect().left;)").toBool();
  }, kSekunden)) << beschreibung(browser);
  browser.bildschirm().save(VRD4_TEST_AUSGABE "/halle-uebersicht-telefon.png");
  ASSERT_TRUE(browser.fenster(1200, 900));

  // A command to the publisher: on every tile, its number and its picture,
  // within 3 s and without a reload.
  const auto gesendet = Uhr::now();
  ASSERT_TRUE(gelesen(Ring::senden(befehl({u"Cls"}))));
  ASSERT_TRUE(gelesen(Ring::senden(befehl({u"Hintergrundfarbe", u"255"}))));
  std::string farben;
  const auto rot = [&](const std::string& name) {
    const QImage b = ausDatenUrl(browser.skript(kBildDaten, QJsonArray{QString::fromStdString(name)}).toString().toStdString());
    farben = name + ": " + (b.isNull() ? std::string("no picture") : b.pixelColor(b.width() / 2, b.height() / 2).name().toStdString());
    return !b.isNull() && b.pixelColor(b.width() / 2, b.height() / 2) == QColor(255, 0, 0);
  };
  double nummerSekunden = -1, bildSekunden = -1;
  const bool nummer = alleKacheln(browser, [](const QJsonObject& k) { return k.value("befehl").toString() == "7"; }, 10);
  nummerSekunden = std::chrono::duration<double>(Uhr::now() - gesendet).count();
  const bool bild = warteBis([&] { return rot(namen[0]) && rot(namen[1]) && rot(namen[2]); }, 10);
  bildSekunden = std::chrono::duration<double>(Uhr::now() - gesendet).count();
  std::printf("command -> number on every tile %.2f s, picture on every tile %.2f s\n", nummerSekunden, bildSekunden);
  EXPECT_TRUE(nummer && nummerSekunden <= 3.0) << nummerSekunden << " s\n" << beschreibung(browser);
  EXPECT_TRUE(bild && bildSekunden <= 3.0) << bildSekunden << " s; " << farben;
  EXPECT_EQ(browser.skript("return window.ohneNeuladen;").toInt(), 42) << "the page was not reloaded";

  // A killed board: the broker's last will turns its tile offline.
  ::kill(tafeln[1]->pid(), SIGKILL);
  tafeln[1]->warteAufEnde(kSekunden);
  EXPECT_TRUE(warteBis([&] {
    return kachel(browser, namen[1]).value("zustand").toString().startsWith("offline seit");
  }, 40)) << beschreibung(browser);
  EXPECT_EQ(kachel(browser, namen[0]).value("zustand").toString(), "online");

  // The broker dies and comes back without its retained messages: the page
  // says so, vrd4halle connects again by itself, and the page stays
  // current, the dead board's tile included.
  broker->stoppen(SIGKILL);
  const auto verbunden = [&] { return browser.skript("return document.getElementById('broker').dataset.verbunden;").toString(); };
  EXPECT_TRUE(warteBis([&] { return verbunden() == "nein"; }, kSekunden));
  ASSERT_TRUE(broker->starten());
  EXPECT_TRUE(warteBis([&] { return verbunden() == "ja"; }, 30));
  ASSERT_TRUE(gelesen(Ring::senden(befehl({u"Linie", u"1", u"1", u"700", u"400", u"3", u"0"}))));
  EXPECT_TRUE(warteBis([&] {
    return kachel(browser, namen[0]).value("befehl").toString() == "8" &&
           kachel(browser, namen[2]).value("befehl").toString() == "8";
  }, 30)) << beschreibung(browser);
  EXPECT_TRUE(kachel(browser, namen[1]).value("zustand").toString().startsWith("offline seit"));
  EXPECT_EQ(kacheln(browser).size(), 3u);
  EXPECT_EQ(browser.skript("return window.ohneNeuladen;").toInt(), 42) << "never reloaded";
}

}  // namespace
}  // namespace vrd4::e2e
