// Every command that replies with a slot number answers, whatever ends it:
// refused files, decoder and budget limits, errors of its fields. A sender
// that waits for the number (without a time limit) must never wait forever.
#include <sys/stat.h>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <fstream>

#include "EngineTestSupport.h"

namespace vrd4::engine::test {
namespace {

using ::testing::Contains;
using ::testing::Not;

class Antwort : public EngineTest {
 protected:
  // A polling step as the receiver's loop runs it: an error that passes out
  // of the step is reported through the engine.
  void taktWieDieSchleife() {
    try {
      engine->Zeitschleife();
    } catch (const std::exception& e) {
      engine->befehlsfehlerMelden(e.what());
    }
    t += 0.01;
  }
  // Polling steps until `fertig` holds: a large file is read beside the GUI thread.
  template <typename F>
  bool taktenBis(F fertig) {
    return vrd4::test::warteBis([&] { taktWieDieSchleife(); return fertig(); }, 60);
  }
  std::string pfad(const char* name) const { return ordner.path().toStdString() + "/" + name; }
  std::u16string pfad16(const char* name) const { return QString::fromStdString(pfad(name)).toStdU16String(); }
  void schreiben(const char* name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(pfad(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      std::streamsize(bytes.size()));
  }
  static std::u16string aniGif(const std::u16string& datei, const std::u16string& xstart = u"1",
                               const std::u16string& xende = u"400") {
    return befehl({u"AniGifLadenanPosition", datei, xstart, u"1", xende, u"300", u"0", u"0", u""});
  }
  static std::u16string blinktext(const std::u16string& xstart, const std::u16string& xende) {
    return befehl({u"Blinktext", xstart, u"1", xende, u"50", u"Hallo", u"4", u"Arial", u"20", u"0", u"0",
                   u"0", u"0", u"0", u"255", u"0", u"0.5"});
  }
  static std::u16string lauftext(const std::u16string& xstart) {
    return befehl({u"Lauftext", xstart, u"1", u"300", u"50", u"Hallo", u"Arial", u"20", u"0", u"0", u"0",
                   u"0", u"0", u"255", u"0", u"1", u"0"});
  }

  QTemporaryDir ordner;
};

TEST_F(Antwort, EveryRefusedReplyCommandAnswersZeroAfterItsEventNamingFileAndReason) {
  ASSERT_TRUE(ordner.isValid());
  // Exists, but gives no bytes (a FIFO is never read; root reads any file).
  ASSERT_EQ(::mkfifo(pfad("fifo.gif").c_str(), 0600), 0);
  schreiben("frame.gif", grossesGif(8, 8, 1));
  const QString ordnerText = ordner.path();
  const auto name = [&](const char* datei) { return ordnerText + QLatin1Char('/') + QString::fromUtf8(datei); };

  // The decoders' limits and the slots' budget answer the same way (AnimationTest.cpp),
  // and so does a file over the size limit (AbbruchE2ETest.cpp).
  struct Fall {
    const char* fall;
    std::u16string befehl;
    QString fehler;  // the BefehlFehler before the "0"
    const char* antwortVariable;
  } faelle[] = {
      {"file that cannot be read", aniGif(pfad16("fifo.gif")),
       QStringLiteral("Bild: %1 - nicht gefunden oder sonstiger Fehler!").arg(name("fifo.gif")), "clsVRD4AniGifNr"},
      {"missing file", aniGif(pfad16("fehlt.gif")),
       QStringLiteral("Bild: %1 - nicht gefunden oder sonstiger Fehler!").arg(name("fehlt.gif")), "clsVRD4AniGifNr"},
      {"animation field beyond 16 bits", aniGif(pfad16("frame.gif"), u"-32768", u"32767"), QString(),
       "clsVRD4AniGifNr"},
      {"blinking text field beyond 16 bits", blinktext(u"-32768", u"32767"), QString(), "clsVRD4BlinktextNr"},
      {"blinking text field that is no number", blinktext(u"abc", u"300"), QString(), "clsVRD4BlinktextNr"},
      {"scrolling text field that is no number", lauftext(u"x"), QString(), "clsVRD4LauftextNr"},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.fall);
    events.clear();
    gv::variable(f.antwortVariable).SetMemory(u"");  // as a sender does before it sends
    senden(f.befehl);
    taktenBis([&] { return !gv::variable(f.antwortVariable).GetMemory().empty(); });
    EXPECT_EQ(gv::variable(f.antwortVariable).GetMemory(), u"0") << "a waiting sender gets its answer";
    // The reason is the one event, and so the last a sender reads with the "0".
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, QStringLiteral("BefehlFehler"));
    if (!f.fehler.isEmpty()) {
      EXPECT_EQ(events[0].second, f.fehler);
    } else {
      // An error of the command itself: named once, before the answer.
      EXPECT_TRUE(events[0].second.startsWith(QStringLiteral("Fehler in "))) << events[0].second.toStdString();
    }
    engine->Cls();
  }
  // Run directly (the TCP server, the hall), a failing reply command answers too.
  gv::clsVRD4LauftextNr().SetMemory(u"");
  const std::vector<std::u16string> felder = protocol::zerlegen(lauftext(u"x"));
  EXPECT_THROW(engine->BefehlDirektAusfuehren(felder), protocol::FeldFehler);
  EXPECT_EQ(gv::clsVRD4LauftextNr().GetMemory(), u"0");
}

// A picture of many pixels (or a large file) from the ring is read, decoded
// and fitted beside the GUI thread: the ring waits behind it (the order of
// the board's drawing holds), and the board shows exactly what a picture
// made ready on the GUI thread shows, transparent parts included.
TEST_F(Antwort, ALargePictureFromTheRingIsMadeReadyBesideAndDrawsWhatTheDirectPathDraws) {
  ASSERT_TRUE(ordner.isValid());
  QImage bild(2000, 1500, QImage::Format_ARGB32);
  for (int y = 0; y < bild.height(); ++y)
    for (int x = 0; x < bild.width(); ++x) bild.setPixel(x, y, qRgba(x & 255, y & 255, (x ^ y) & 255, (x + y) & 255));
  ASSERT_TRUE(bild.save(QString::fromStdString(pfad("gross.png")), "PNG"));
  // Over the size read on the GUI thread: a comment of 300 KB inside.
  std::vector<uint8_t> gif = grossesGif(600, 500, 2);
  std::vector<uint8_t> kommentar{0x21, 0xFE};
  for (int i = 0; i < 1200; ++i) {
    kommentar.push_back(255);
    kommentar.insert(kommentar.end(), 255, uint8_t('k'));
  }
  kommentar.push_back(0);
  gif.insert(gif.end() - 1, kommentar.begin(), kommentar.end());
  schreiben("rauschen.gif", gif);

  const std::u16string zeigen = befehl({u"BildAnzeigenanPosition", pfad16("gross.png"), u"10", u"20",
                                        u"600", u"400", u"-1", u"-1"});
  const std::u16string danach = befehl({u"Linie", u"1", u"1", u"768", u"1", u"3", u"255"});
  engine->Hintergrundfarbe(0x00FF00);
  engine->Cls();
  senden(zeigen);
  senden(danach);
  taktWieDieSchleife();
  EXPECT_FALSE(gv::Sendetexte(1).GetMemory().empty()) << "the ring waits behind the picture";
  EXPECT_FALSE(engine->darfRuhen());
  ASSERT_TRUE(taktenBis([&] { return gv::Sendetexte(1).GetMemory().empty(); }));
  const QImage nebenbei = pic.image();
  EXPECT_NE(nebenbei.pixel(300, 200), QColor(Qt::green).rgb()) << "the picture is there";

  engine->Cls();
  ausfuehren({u"BildAnzeigenanPosition", pfad16("gross.png"), u"10", u"20", u"600", u"400", u"-1", u"-1"});
  engine->BefehlAusfuehren(danach);
  EXPECT_EQ(pic.image(), nebenbei) << "the same pixels as fitted on the GUI thread";

  // A large GIF is parsed beside, and loads as it would have. A sender that
  // waits for its number never reads the late number of an earlier command:
  // taking the command empties its reply variable.
  events.clear();
  gv::clsVRD4AniGifNr().SetMemory(u"7");  // the late number of an earlier load
  senden(aniGif(pfad16("rauschen.gif")));
  taktWieDieSchleife();
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"") << "taken and not yet answered: no earlier number to read";
  ASSERT_TRUE(taktenBis([&] { return !gv::clsVRD4AniGifNr().GetMemory().empty(); }));
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"1");
  EXPECT_EQ(engine->animationen().ucAniGIFFeld(1).FrameCount(), 2);
}

TEST_F(Antwort, ThePollingStepWritesASignOfLifeOncePerSecondOfItsClock) {
  schritt();
  const std::u16string erstes = gv::clsVRD4LaufvariableNr().GetMemory();
  EXPECT_FALSE(erstes.empty());
  schritt(50);  // half a second
  EXPECT_EQ(gv::clsVRD4LaufvariableNr().GetMemory(), erstes);
  schritt(60);
  EXPECT_NE(gv::clsVRD4LaufvariableNr().GetMemory(), erstes);
}

}  // namespace
}  // namespace vrd4::engine::test
