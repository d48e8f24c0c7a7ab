// Forwarding to a further receiver and the picture file checks.
#include "EngineTestSupport.h"

namespace vrd4::engine::test {
namespace {

using ::testing::ElementsAre;

const QString kFehler = QStringLiteral("BefehlFehler");

class Weiterleitung : public EngineTest {
 protected:
  Forwarder* forwarder() override { return &client2; }
  FakeForwarder client2{clock};
};

TEST_F(Weiterleitung, SendsTheCommandTextUnchangedAndRunsItAfterTheOk) {
  client2.ackOnSend = true;
  const std::u16string text = befehl({u"IPAdresse", u"10.0.0.1"});
  ausfuehren(text);
  EXPECT_THAT(client2.sent, ElementsAre(text));
  EXPECT_THAT(events.events, ElementsAre(Ereignis{QStringLiteral("IPAdresse"), QStringLiteral("10.0.0.1")}));
}

TEST_F(Weiterleitung, WithoutOkTimesOutAfterFourSecondsThenRunsTheCommand) {
  const double start = clock.t;
  ausfuehren(befehl({u"Cls"}));
  ausfuehren(befehl({u"Hintergrundfarbe", u"255"}));
  EXPECT_THAT(events.events,
              ElementsAre(Ereignis{kFehler, QString::fromUtf8("Cls - Timeout überschritten!")},
                          Ereignis{kFehler, QString::fromUtf8("Hintergrundfarbe - Timeout überschritten!")}));
  EXPECT_GT(clock.t - start, 8.0);
  EXPECT_LT(clock.t - start, 8.1);
  EXPECT_EQ(farbeBei(0, 0), 0x0000FFu) << "executed after the time-out";
}

TEST_F(Weiterleitung, NothingIsSentWhileClientIsClosed) {
  client2.open = false;
  ausfuehren(befehl({u"Cls"}));
  EXPECT_TRUE(client2.sent.empty());
  EXPECT_EQ(client2.pumps, 0);
}

TEST_F(Weiterleitung, UnknownNameIsForwardedAndThenReported) {
  client2.ackOnSend = true;
  ausfuehren(befehl({u"Kreis"}));
  EXPECT_EQ(client2.sent.size(), 1u);
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_TRUE(events.events[0].meldung.startsWith(QStringLiteral("Falsche Abfragetext: Kreis")));
}

TEST_F(Weiterleitung, PictureGoesOutInForwardedFormWithHexContent) {
  client2.ackOnSend = true;
  const std::u16string pfad = u16(datenDatei("drei_bytes.bin"));
  ausfuehren(befehl({u"BildAnzeigen", pfad, u"-1", u"0"}));
  ASSERT_EQ(client2.sent.size(), 1u);
  const auto felder = protocol::zerlegen(client2.sent[0]);
  ASSERT_EQ(felder.size(), 14u);
  EXPECT_EQ(felder[1], u"BildAnzeigen");
  EXPECT_EQ(felder[2], pfad);
  EXPECT_EQ(felder[5], u"001FFF");
  for (std::size_t i = 6; i < 14; ++i) EXPECT_EQ(felder[i], u"") << i;
  for (const Ereignis& e : events.events)
    EXPECT_FALSE(e.meldung.contains(QStringLiteral("Timeout"))) << e.meldung.toStdString();
}

TEST_F(Weiterleitung, AcknowledgedPictureIsShownFromTheFileBytes) {
  client2.ackOnSend = true;
  ausfuehren(befehl({u"BildAnzeigen", u16(datenDatei("rot_4x4.bmp")), u"-1", u"0"}));
  EXPECT_EQ(client2.sent.size(), 1u);
  EXPECT_TRUE(events.events.empty());
  EXPECT_EQ(farbeBei(0, 0), 0x0000FFu);
  EXPECT_EQ(farbeBei(400, 300), 0x0000FFu);
}

TEST_F(Weiterleitung, MissingPictureIsReportedAndNeitherForwardedNorRun) {
  client2.ackOnSend = true;
  const std::u16string pfad = u"/nicht/da/bild.gif";
  ausfuehren(befehl({u"AniGifLadenanPosition", pfad, u"1", u"1", u"10", u"10", u"0", u"0", u""}));
  EXPECT_TRUE(client2.sent.empty());
  // A load that ran would have reported a slot number.
  EXPECT_THAT(events.events,
              ElementsAre(Ereignis{kFehler, QStringLiteral("Bild: /nicht/da/bild.gif - nicht gefunden oder sonstiger Fehler!")}));
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"");
}

TEST_F(Weiterleitung, EmptyPictureFileIsReportedBySizeAndNotRun) {
  client2.ackOnSend = true;
  const std::u16string pfad = u16(datenDatei("leer.bin"));
  ausfuehren(befehl({u"AniGifLadenanPosition", pfad, u"1", u"1", u"10", u"10", u"0", u"0"}));
  EXPECT_TRUE(client2.sent.empty());
  EXPECT_THAT(events.events,
              ElementsAre(Ereignis{kFehler, QStringLiteral("Bild: ") + QString::fromStdU16String(pfad) +
                                                QString::fromUtf8(" - Dateigröße wurde falsch eingelesen!")}));
}

TEST_F(Weiterleitung, PictureWithoutOkTimesOutUnderItsOwnName) {
  const std::u16string pfad = u16(datenDatei("drei_bytes.bin"));
  ausfuehren(befehl({u"AniGifLadenanPosition", pfad, u"1", u"1", u"10", u"10", u"0", u"0", u""}));
  EXPECT_THAT(events.events,
              ElementsAre(Ereignis{kFehler, QString::fromUtf8("AniGifLadenanPosition - Timeout überschritten!")},
                          Ereignis{QStringLiteral("AniGifNr"), QStringLiteral("0")}));
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"0");
}

TEST_F(EngineTest, EveryCommandOfTheTableHasAHandler) {
  for (const protocol::BefehlsSpec& spec : protocol::befehlstabelle()) {
    std::vector<std::u16string> felder{u"Befehl", std::u16string(spec.name)};
    for (const protocol::Parameter& p : spec.parameter)
      felder.push_back(p.typ == protocol::FeldTyp::Double ? u"0.5" : u"1");
    EXPECT_NO_THROW(EXPECT_TRUE(engine->BefehlDirektAusfuehren(felder)))
        << QString::fromStdU16String(std::u16string(spec.name)).toStdString();
  }
  EXPECT_FALSE(engine->BefehlDirektAusfuehren(std::vector<std::u16string>{u"Befehl", u"cls"}));
}

}  // namespace
}  // namespace vrd4::engine::test
