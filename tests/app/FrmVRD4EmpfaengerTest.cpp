// The main window with the real engine over a channel of its own, a desktop
// fake and a clock moved by hand, offscreen: event handler, tick, activation,
// settings, full screen, synchronisation with the player.
#include <gmock/gmock.h>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QElapsedTimer>
#include <QTimer>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "AppTestUmgebung.h"
#include "core/Taktschleife.h"
#include "app/modBildschirmAusschnittSpeichern.h"
#include "channel/ClsVRD4Memory.h"
#include "platform/Systemd.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::app::test {
namespace {

using ::testing::ElementsAre;
using namespace Qt::StringLiterals;

// --- event handler --------------------------------------------------------------

TEST_F(FensterTest, PassedOnEventsAreWrittenAndSentToAValidWindowButIdenticalOnesOnlyOnce) {
  for (const char16_t* h : {u"", u"0", u"abc", u"4294967296"}) {  // no window to send to
    gv::clsVRD4EventFensterHandle().SetMemory(h);
    frm->empfaenger().VRD4Event(u"Fehler"_s, QString::fromStdU16String(h));
    EXPECT_EQ(event(), u"Fehler;" + std::u16string(h));
  }
  gv::clsVRD4EventFensterHandle().SetMemory(u"4242");
  frm->empfaenger().VRD4Event(u"BlinktextNr"_s, u"3"_s);
  gv::clsVRD4Event().SetMemory(u"");
  frm->empfaenger().VRD4Event(u"BlinktextNr"_s, u"3"_s);
  EXPECT_EQ(event(), u"") << "the repeated event is not written again";
  frm->empfaenger().VRD4Event(u"BlinktextNr"_s, u"4"_s);
  EXPECT_EQ(event(), u"BlinktextNr;4") << "same kind, other message: handled";
  EXPECT_THAT(desktop.titel, ElementsAre(std::pair(4242ul, std::u16string(u"BlinktextNr;3")),
                                         std::pair(4242ul, std::u16string(u"BlinktextNr;4"))));
}

// --- tick -------------------------------------------------------------------------

TEST_F(FensterTest, ErrorInsideTheTickBecomesACommandErrorAndTheNextTickWorks) {
  senden(befehl({u"Linie", u"x", u"1", u"10", u"1", u"1", u"255"}));
  tick();
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"0");
  EXPECT_TRUE(event().starts_with(u"BefehlFehler;Fehler in Linie: "));
  senden(befehl({u"Rechteck", u"1", u"1", u"10", u"10", u"1", u"65280", u"-1"}));
  tick();
  tick();
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"1");
  EXPECT_EQ(board().image().pixelColor(5, 5), QColor(0, 255, 0));
  EXPECT_TRUE(ctl<QLabel>("Label99Wert")->text().startsWith(u"Befehl"_s));
}

TEST_F(FensterTest, ListRuleHoldsInsideATickWhoseEntriesGoInTogether) {
  // Each unknown command adds its entry, then its error event applies the
  // rule: the seventh entry empties the list, the eighth stays alone.
  for (int i = 0; i < 8; ++i) senden(befehl({u"Unbekannt" + QString::number(i).toStdU16String()}));
  tick();
  auto* liste = ctl<QListWidget>("List1");
  ASSERT_EQ(liste->count(), 1);
  EXPECT_EQ(liste->item(0)->text(), QString::fromStdU16String(befehl({u"Unbekannt7"})) + u" - 7"_s);
}

// Activation runs once and ticks until the end request "-1" (no other value)
// unloads the window and releases the engine.
TEST_F(FensterTest, ActivationRunsOnceAndTicksUntilTheEndRequestMinusOne) {
  for (const char16_t* keinEnde : {u"", u"1", u"-2"}) {
    gv::clsVRD4ProgrammBeenden().SetMemory(keinEnde);
    tick();
    ASSERT_FALSE(frm->entladen());
  }
  gv::clsVRD4EventFensterHandle().SetMemory(u"123456");
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();  // returns once the first tick has unloaded the window
  frm->Form_Activate();
  EXPECT_TRUE(frm->entladen());
  EXPECT_EQ(frm->empfaenger().engine(), nullptr) << "the engine is released";
  EXPECT_THAT(schlaefe, ElementsAre(10));
  EXPECT_THAT(ctl<QListWidget>("List1")->findItems(u"EventFensterHwnd aus Sender: 123456"_s, Qt::MatchExactly),
              testing::SizeIs(1));
  tick();  // a late tick finds nothing to do
}

// The real loop: once a tick leaves nothing to do, the watch looks in its
// place, and a command or the end request wakes the loop within a beat.
TEST_F(FensterTest, IdleLoopRestsOnTheWatchAndACommandOrTheEndRequestWakesIt) {
  frm.reset();
  frm = std::make_unique<FrmVRD4Empfaenger>(Umgebung{&uhr, &desktop, ordner.path().toStdString(), {}});
  frm->Form_Load();
  std::vector<bool> ruhte;
  std::u16string gelesen;
  QString gezeigt;
  const std::u16string tcp = befehl({u"Rechteck", u"20", u"1", u"30", u"10", u"1", u"255", u"-1"});
  const auto um = [&](int ms, std::function<void()> was) {
    QTimer::singleShot(ms, frm.get(), [&, was] { ruhte.push_back(frm->empfaenger().schleife().ruht()), was(); });
  };
  // The steps begin once the loop rests (a slow start-up may take a while).
  QTimer warten;
  QElapsedTimer seit;
  seit.start();
  QObject::connect(&warten, &QTimer::timeout, frm.get(), [&] {
    if (!frm->empfaenger().schleife().ruht() && seit.elapsed() < 10000) return;
    warten.stop();
    um(0, [&] { senden(befehl({u"Rechteck", u"1", u"1", u"10", u"10", u"1", u"65280", u"-1"})); });
    // Long before the loop's own tick of the rest would come.
    um(200, [&] { gelesen = gv::clsVRD4LetzteGelesene().GetMemory(), uhr.t += core::Taktschleife::kNachlaufSekunden; });
    um(500, [&] { frm->empfaenger().engine()->BefehlAusfuehren(tcp); });  // as a TCP line runs, from an event
    um(600, [&] { gezeigt = ctl<QLabel>("Label99Wert")->text(), gv::clsVRD4ProgrammBeenden().SetMemory(u"-1"); });
  });
  warten.start(5);
  QTimer::singleShot(20000, frm.get(), [&] { frm->empfaenger().schleife().anhalten(); });  // fails rather than hangs
  frm->Form_Activate();
  EXPECT_THAT(ruhte, ElementsAre(true, false, true, true)) << "after a command the beat goes on for a while";
  EXPECT_EQ(gelesen, u"0") << "the watch woke the loop for the command";
  EXPECT_TRUE(gezeigt.startsWith(QString::fromStdU16String(tcp))) << "what an event does at rest shows at once";
  EXPECT_EQ(board().image().pixelColor(5, 5), QColor(0, 255, 0));
  EXPECT_TRUE(frm->entladen());
}

// --- placement ------------------------------------------------------------------------

TEST_F(FensterTest, SyncNeedsThePlayerAndEntersTheDisplayWindowFoundAndTheBoardComesBackWhenItEnds) {
  MeldungsRecorder meldungen;
  auto* liste = ctl<QListWidget>("List1");
  const QPoint platz = frm->tafel().widget()->pos();
  frm->cmdFensterSyncronisieren_Click();
  EXPECT_THAT(meldungen.texte, ElementsAre(u"Pelmor Player läuft nicht!"));
  desktop.player = true;
  frm->cmdFensterSyncronisieren_Click();  // no display window: none to enter
  EXPECT_EQ(liste->findItems(u"Tafel bleibt im Empfängerfenster"_s, Qt::MatchContains).size(), 1);
  EXPECT_FALSE(frm->tafel().tafelImPlayer());
  desktop.anzeige = x11::FoundWindow{77, {0, 0, 1024, 768}};
  frm->cmdFensterSyncronisieren_Click();
  EXPECT_EQ(meldungen.texte.size(), 1u);
  EXPECT_THAT(desktop.umgehaengt, ElementsAre(0u, 77u));
  EXPECT_THAT(desktop.aktiviert, ElementsAre(77u)) << "the player's window comes over ours";
  EXPECT_EQ(frm->windowTitle(), u"VRD4-LCD - Anzeigeempfänger - Breite: 768x Höhe: 480"_s);

  // The player's window ends, and our board's window with it.
  liste->clear();
  desktop.lebt = false;
  tick();
  EXPECT_TRUE(frm->tafel().tafelImPlayer()) << "looked at only twice a second";
  uhr.t += Anzeigetafel::kPruefSekunden;
  tick();
  EXPECT_FALSE(frm->tafel().tafelImPlayer());
  EXPECT_EQ(frm->tafel().widget()->parentWidget(), frm.get());
  EXPECT_EQ(frm->tafel().widget()->pos(), platz);
  EXPECT_EQ(liste->findItems(u"Anzeigefenster des Players beendet: Tafel zurück im Empfängerfenster"_s,
                             Qt::MatchExactly).size(), 1);
}

TEST_F(FensterTest, SnapshotIsA24BitBmpInTheProgramFolderOrAReportWhyNot) {
  frm->cmdBoxSpeichern_Click();
  // A board of a channel of its own (--prefix P) saves P + "Picture.bmp".
  QFile f(ordner.path() + u"/"_s + QString::fromStdString(channel::channelNamePrefix()) + u"Picture.bmp"_s);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray kopf = f.read(34);
  EXPECT_TRUE(kopf.startsWith("BM"));
  EXPECT_EQ(kopf.mid(28, 6), QByteArray("\x18\0\0\0\0\0", 6)) << "24 bits per pixel, uncompressed";
  EXPECT_EQ(QImage(f.fileName()).size(), QSize(768, 480));

  // A screen that reads back black (XWayland) or not at all gives the board's
  // own picture; a screen picture with anything on it is what was asked for.
  QImage schwarz(4, 4, QImage::Format_RGB32), rot = schwarz, blau = schwarz;
  schwarz.fill(Qt::black), rot.fill(Qt::red), blau.fill(Qt::blue);
  for (const auto& [schirm, eigenes, erwartet] : {std::tuple{QImage(), rot, rot}, {schwarz, rot, rot},
                                                  {schwarz, schwarz, schwarz}, {blau, rot, blau}})
    EXPECT_EQ(modBildschirmAusschnittSpeichern::BildWaehlen(schirm, eigenes), erwartet);

  laden(ordner.path().toStdString() + "/gibt/es/nicht");
  frm->cmdBoxSpeichern_Click();
  EXPECT_EQ(ctl<QListWidget>("List1")->findItems(u"Picture.bmp nicht gespeichert"_s, Qt::MatchContains).size(), 1);
}

// A board at rest ticks once a second; a watchdog of a second or less must
// hear from it twice per interval all the same. The pings a resting loop
// sends, on a notification socket of the test's own.
TEST(Wachhund, ARestingLoopPingsAtLeastTwicePerWatchdogIntervalWhateverItIs) {
  const std::string pfad = ::testing::TempDir() + "wachhund_" + std::to_string(::getpid());
  ::unlink(pfad.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  pfad.copy(a.sun_path, sizeof a.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::setenv("NOTIFY_SOCKET", pfad.c_str(), 1);
  ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
  for (const double intervall : {0.3, 1.0, 10.0, 60.0}) {
    SCOPED_TRACE(intervall);
    ::setenv("WATCHDOG_USEC", std::to_string(int64_t(intervall * 1e6)).c_str(), 1);
    platform::systemd::Lebenszeichen l;
    std::vector<double> pings;
    double t = 100.0;
    l.takt(t);  // ready
    const double schritt = core::Taktschleife::ruheMs(l.abstand()) / 1000.0;
    EXPECT_LE(schritt, core::Taktschleife::kRuheMs / 1000.0);
    char puffer[64];
    for (; t < 100.0 + 5 * intervall + 5; t += schritt) {
      l.takt(t);
      for (ssize_t n; (n = ::recv(fd, puffer, sizeof puffer, 0)) > 0;)
        if (std::string(puffer, size_t(n)) == "WATCHDOG=1") pings.push_back(t);
    }
    ASSERT_GE(pings.size(), 2u);
    for (std::size_t i = 1; i < pings.size(); ++i) EXPECT_LE(pings[i] - pings[i - 1], intervall / 2 + 1e-9);
  }
  ::unsetenv("WATCHDOG_USEC");
  ::unsetenv("NOTIFY_SOCKET");
  ::close(fd);
  ::unlink(pfad.c_str());
}

}  // namespace
}  // namespace vrd4::app::test
