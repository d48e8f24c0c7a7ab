// The main window's network relay with real sockets on loopback: the
// command interpreter drawing on the real board, the server and client
// buttons, Client2 forwarding ring commands and catching its peer up, and
// the settings file.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "AppTestUmgebung.h"
#include "app/GuiMessageBox.h"
#include "app/Startwerte.h"
#include "core/Befehlsserver.h"
#include "core/Relais.h"
#include "tests/net/Loopback.h"

namespace vrd4::app::test {
namespace {

using namespace Qt::StringLiterals;

using net::test::freierPort;
using net::test::warteBis;


class Netz : public FensterTest {
 protected:
  // Client2's connection at the test's peer, its probe answered.
  static std::unique_ptr<QTcpSocket> angenommen(QTcpServer& gegenueber) {
    EXPECT_TRUE(warteBis([&] { return gegenueber.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> b(gegenueber.nextPendingConnection());
    EXPECT_EQ(zeilen(*b, 1), QList<QByteArray>{"Befehl\x1bPauseAnzeigeZiel\x1b" "0"});
    b->write("OK\r\n");
    return b;
  }
  static QList<QByteArray> zeilen(QTcpSocket& s, int n, int ms = 5000) {
    QList<QByteArray> a;
    warteBis([&] {
      while (s.canReadLine()) a.push_back(s.readLine().chopped(2));
      return a.size() >= n;
    }, ms);
    return a;
  }
  net::Weiterleitung::Zustand client2() { return frm->empfaenger().relais().Client2().zustand(); }
  MeldungsRecorder meldungen;
};

// A flood of unknown commands: one warning that counts them, not one each
// (the board under thousands of boxes, the X server's memory), that waits
// for nobody, and the next command is answered at once.
TEST_F(Netz, UnknownNamesOpenOneWarningThatCountsThemWaitsForNobodyAndGetNoReply) {
  GuiMessageBox echt;
  echt.besitzerSetzen(frm.get());
  platform::setMessageBoxSink(&echt);
  // A box that waited would hold everything below: it is closed after 3 s.
  QTimer notbremse;
  notbremse.setSingleShot(true);
  QObject::connect(&notbremse, &QTimer::timeout, [] {
    if (auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) b->done(0);
  });
  notbremse.start(3000);
  const quint16 port = freierPort();
  ctl<QLineEdit>("txtT_Port1")->setText(QString::number(port));
  frm->cmdServerStarten_Click();
  QTcpSocket a;
  a.connectToHost(u"127.0.0.1"_s, port);
  // Lower case is no command name.
  QByteArray flut;
  for (int i = 0; i < 2000; ++i) flut += "Befehl\x1b" "cls\r\n";
  flut += "Befehl\x1bHintergrundfarbe\x1b" "255\r\n";
  QElapsedTimer uhr;
  uhr.start();
  a.write(flut);
  EXPECT_EQ(zeilen(a, 1, 30000), QList<QByteArray>{"OK"});
  RecordProperty("msBisZumOK", std::to_string(uhr.elapsed()));
  QCoreApplication::processEvents();
  const QList<QMessageBox*> boxen = frm->findChildren<QMessageBox*>(u"Meldung"_s);
  ASSERT_EQ(boxen.size(), 1);
  EXPECT_TRUE(boxen[0]->isVisible() && !boxen[0]->isModal()) << "still open, and the next line was answered";
  EXPECT_EQ(boxen[0]->text(), u"Falsche Abfragetext: cls\noder VRD4-Modul noch nicht geöffnet! (2000-mal)"_s);
  EXPECT_EQ(boxen[0]->windowTitle(), u"VRD4-Empfangsmodul"_s);
  EXPECT_EQ(boxen[0]->icon(), QMessageBox::Warning);
  EXPECT_EQ(GuiMessageBox::gezaehlt(u"x"_s, 1), u"x"_s) << "a single one is not counted";
  EXPECT_TRUE(zeilen(a, 1, 200).isEmpty()) << "the unknown lines get no reply";
  platform::setMessageBoxSink(&meldungen);
}

TEST_F(Netz, IsValidIPWantsFourDottedNumbersTheFirstFromTen) {
  for (const auto& [ip, gueltig] :
       {std::pair{u"127.0.0.1"_s, true}, {u"10.0.0.0"_s, true}, {u"255.255.255.255"_s, true},
        {u"9.0.0.1"_s, false}, {u"1.2.3"_s, false}, {u"1.2.3.4.5"_s, false}, {u"10.256.0.1"_s, false},
        {u"10.0.0.0001"_s, false}, {u""_s, false}, {u"10.a.0.1"_s, false}, {u"10..0.1"_s, false}}) {
    EXPECT_EQ(core::Relais::IsValidIP(ip), gueltig) << ip.toStdString();
  }
}

TEST_F(Netz, Client2PipelinesCatchesUpItsPeerAfterEachOutageAndRepeatedEventsActOnlyAfterAChange) {
  using Z = net::Weiterleitung::Zustand;
  QTcpServer gegenueber;
  ASSERT_TRUE(gegenueber.listen(QHostAddress::LocalHost));
  frm->empfaenger().VRD4Event(u"IPAdresse"_s, u"127.0.0.1"_s);
  frm->empfaenger().VRD4Event(u"Port"_s, QString::number(gegenueber.serverPort()));
  frm->empfaenger().VRD4Event(u"Client verbinden"_s, {});
  auto b = angenommen(gegenueber);
  const QByteArray cls = "Befehl\x1b" "Cls", blau = "Befehl\x1bHintergrundfarbe\x1b" "16711680";
  EXPECT_EQ(zeilen(*b, 1), QList<QByteArray>{cls}) << "a peer that joins is brought level too";
  auto* knopf = ctl<QPushButton>("cmdClient2Connect");
  // Three ring commands run in one tick, none waiting for the peer's "OK".
  for (const char16_t* farbe : {u"255", u"65280", u"16711680"}) senden(befehl({u"Hintergrundfarbe", farbe}));
  tick();
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(0, 0, 255));
  EXPECT_EQ(zeilen(*b, 3).size(), 3);

  // The clock stands still, so Client2 does not reconnect by itself: a new
  // connection comes only from the repeated event, and only after an outage.
  const QString verlust = u"BefehlFehler;Client2: Verbindung zu 127.0.0.1:"_s +
                          QString::number(gegenueber.serverPort()) + u" verloren (Gegenstelle hat getrennt)"_s;
  for (int ausfall = 1; ausfall <= 2; ++ausfall) {
    SCOPED_TRACE(ausfall);
    b->abort();
    ASSERT_TRUE(warteBis([&] { return client2() == Z::Wartet; }));
    EXPECT_EQ(knopf->text(), u"Trennen"_s) << "still active: it reconnects";
    EXPECT_EQ(QString::fromStdU16String(event()), verlust);
    frm->empfaenger().VRD4Event(u"Client verbinden"_s, {});
    b = angenommen(gegenueber);
    EXPECT_EQ(zeilen(*b, 2), (QList<QByteArray>{cls, blau})) << "the scene: only the last colour";
    ASSERT_TRUE(warteBis([&] { return client2() == Z::Verbunden; }));
    frm->empfaenger().VRD4Event(u"Client verbinden"_s, {});
    EXPECT_FALSE(warteBis([&] { return gegenueber.hasPendingConnections(); }, 200)) << "nothing changed since";
  }
  frm->cmdClient2Connect_Click();
  EXPECT_EQ(knopf->text(), u"Verbinden"_s);

  // A peer nobody listens at: the ring goes on, the button shows the
  // attempts, lblConnectFehler the failure.
  const quint16 tot = freierPort();
  frm->empfaenger().VRD4Event(u"Port"_s, QString::number(tot));
  frm->empfaenger().VRD4Event(u"Client verbinden"_s, {});
  EXPECT_EQ(ctl<QProgressBar>("ctlProgressbar1")->text().toStdString(), "Verbinde mit 127.0.0.1:" + std::to_string(tot) + " - 0%");
  senden(befehl({u"Hintergrundfarbe", u"255"}));
  tick();
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(255, 0, 0));
  ASSERT_TRUE(warteBis([&] { return client2() == Z::Wartet; }));
  EXPECT_EQ(knopf->text(), u"Trennen"_s);
  EXPECT_EQ(QString::fromStdU16String(event()), u"BefehlFehler;Client2: Verbindung zu 127.0.0.1:"_s +
                                                   QString::number(tot) + u" nicht möglich (Connection refused.)"_s);
  EXPECT_TRUE(ctl<QLabel>("lblConnectFehler")->text().startsWith(u"Client2: Konnte nicht mit Server:127.0.0.1"_s));

  // "Server starten" twice in a row acts once; again once the operator has stopped the server.
  for (const bool gestoppt : {false, false, true}) {
    if (gestoppt) frm->cmdServerStarten_Click();
    frm->empfaenger().VRD4Event(u"Server starten"_s, {});
    EXPECT_EQ(frm->empfaenger().server().Server().State(), net::clsSocket::sckListening) << gestoppt;
  }
}

// --- settings file ------------------------------------------------------------------

class Einstellungen : public Netz {
 protected:
  void datei(const QByteArray& inhalt) {
    QFile f(QString::fromStdString(frm->startwertePfad()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(inhalt);
  }
};

TEST_F(Einstellungen, TheFlagLinesConnectTheClientOrStartTheServerAndBothStartOnlyTheServer) {
  QTcpServer gegenueber;
  ASSERT_TRUE(gegenueber.listen(QHostAddress::LocalHost));
  for (const auto& [client, server, verbunden, lauscht] :
       {std::tuple{"1", "0", true, false}, {"0", "1", false, true}, {"1", "1", false, true}}) {
    SCOPED_TRACE(std::string(client) + server);
    laden(ordner.path().toStdString());
    const quint16 port = lauscht ? freierPort() : gegenueber.serverPort();
    datei("127.0.0.1\r\n" + QByteArray::number(port) + "\r\n" + client + "\r\n" + server + "\r\n 0 \r\n 0 \r\n");
    frm->StartwerteLesen();
    EXPECT_EQ(frm->empfaenger().relais().Client2().aktiv(), verbunden);
    EXPECT_EQ(frm->empfaenger().server().Server().State() == net::clsSocket::sckListening, lauscht);
    if (lauscht) {
      EXPECT_EQ(frm->empfaenger().server().Server().LocalPort, port);
    }
    EXPECT_EQ(ctl<QCheckBox>("chkClientAutomatischVerbinden")->isChecked(), verbunden);
  }
}

TEST_F(Einstellungen, WritingThenReadingGivesTheSameSixLinesByteForByte) {
  const QByteArray inhalt = "10.1.2.3\r\n4711\r\n0\r\n1\r\n 1440 \r\n 2880 \r\n";
  datei(inhalt);
  frm->StartwerteLesen();
  frm->empfaenger().server().Server().Disconnect();
  EXPECT_EQ(frm->pos(), QPoint(96, 192)) << "twips at 96 dpi";
  datei("");
  frm->cmdParameterSpeichern_Click();
  QFile f(QString::fromStdString(frm->startwertePfad()));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == inhalt);
  // The number format: a space before a number that is not negative, one after.
  Startwerte w{u"ä€"_s, u"1"_s, u"0"_s, u"0"_s, -15, 0};
  EXPECT_EQ(startwerteText(w), QByteArray("\xE4\x80\r\n1\r\n0\r\n0\r\n-15 \r\n 0 \r\n"));
  Startwerte zurueck;
  startwerteAusText(startwerteText(w), zurueck);
  EXPECT_EQ(zurueck, w);
}

TEST(StartwerteOrt, InstalledGoesToXdgARelativeXdgFolderIsIgnoredAndShortOrHostileFilesGiveWhatIsThere) {
  const std::string name = startwerteDateiname();
  EXPECT_EQ(startwertePfad("/nicht/da", false, "relativ", "/home/h"), "/home/h/.config/vrd4/" + name);
  // Installed: nothing beside the executable, for root as for anyone.
  EXPECT_EQ(startwertePfad("/usr/bin", true, "", "/root"), "/root/.config/vrd4/" + name);
  EXPECT_EQ(schnappschussOrdner("/usr/bin", "", "/root"), "/root/.local/state/vrd4");
  EXPECT_EQ(schnappschussOrdner("/tmp/portabel", "/s", "/h"), "/tmp/portabel") << "a build or portable folder keeps its snapshots";
  Startwerte w;
  startwerteAusText("\"x y\"  \n 12abc\n", w);
  EXPECT_EQ(w.adresse + u"|"_s + w.port, u"x y|12abc"_s);
  startwerteAusText(QByteArray(200000, '7'), w);
  EXPECT_EQ(w.adresse.size(), kStartwerteMaxBytes);
}

}  // namespace
}  // namespace vrd4::app::test
