// The main window's network relay with real sockets on loopback: the
// command interpreter drawing on the real board, the server and client
// buttons, the forwarding of ring commands through Client2 with its wait,
// and the settings file.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "AppTestUmgebung.h"
#include "app/GuiMessageBox.h"
#include "app/Startwerte.h"
#include "platform/MessageBox.h"
#include "protocol/Hex.h"
#include "tests/net/Loopback.h"

namespace vrd4::app::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using namespace Qt::StringLiterals;

using net::test::freierPort;
using net::test::warteBis;

QByteArray ansiZeile(const std::u16string& text) { return QString::fromStdU16String(text).toLatin1() + "\r\n"; }

class Meldungen final : public platform::MessageBoxSink {
 public:
  Meldungen() { platform::setMessageBoxSink(this); }
  ~Meldungen() override { platform::setMessageBoxSink(nullptr); }
  void show(const std::u16string& text, const std::u16string& title, platform::MeldungsStil) override { boxen.emplace_back(text, title); }
  std::vector<std::pair<std::u16string, std::u16string>> boxen;
};

class Netz : public FensterTest {
 protected:
  QStringList liste() {
    QStringList l;
    auto* w = ctl<QListWidget>("List1");
    for (int i = 0; i < w->count(); ++i) l << w->item(i)->text();
    return l;
  }
  QString text(const char* name) {
    if (auto* b = frm->findChild<QPushButton*>(QString::fromLatin1(name))) return b->text();
    if (auto* e = frm->findChild<QLineEdit*>(QString::fromLatin1(name))) return e->text();
    return ctl<QLabel>(name)->text();
  }
  bool aktiv(const char* name) { return ctl<QWidget>(name)->isEnabled(); }
  // The server listening on a port of its own.
  quint16 serverStarten() {
    const quint16 port = freierPort();
    ctl<QLineEdit>("txtT_Port1")->setText(QString::number(port));
    frm->cmdServerStarten_Click();
    EXPECT_EQ(frm->Server().State(), net::clsSocket::sckListening);
    return port;
  }
  std::unique_ptr<QTcpSocket> peer(quint16 port) {
    auto s = std::make_unique<QTcpSocket>();
    const int vorher = frm->Clients().anzahl();
    s->connectToHost(u"127.0.0.1"_s, port);
    EXPECT_TRUE(warteBis([&] { return frm->Clients().anzahl() > vorher; }));
    return s;
  }
  static QByteArray antwort(QTcpSocket& s, int ms = 5000) {
    QByteArray a;
    warteBis([&] { return s.canReadLine() && !(a = s.readLine().trimmed()).isNull(); }, ms);
    return a;
  }
  // Client2 connected to a peer of the test.
  std::unique_ptr<QTcpSocket> client2Verbinden(QTcpServer& gegenueber) {
    EXPECT_TRUE(gegenueber.listen(QHostAddress::LocalHost));
    frm->VRD4Event(u"IPAdresse"_s, u"127.0.0.1"_s);
    frm->VRD4Event(u"Port"_s, QString::number(gegenueber.serverPort()));
    frm->cmdClient2Connect_Click();
    EXPECT_TRUE(warteBis([&] { return gegenueber.hasPendingConnections(); }));
    return std::unique_ptr<QTcpSocket>(gegenueber.nextPendingConnection());
  }
  Meldungen meldungen;
};

TEST_F(Netz, InterpreterDrawsOnTheBoardBeforeItAnswersOnEveryConnection) {
  const quint16 port = serverStarten();
  EXPECT_EQ(text("cmdServerStarten"), u"Server stoppen"_s);
  EXPECT_FALSE(aktiv("txtT_Port1"));
  auto a = peer(port), b = peer(port);
  EXPECT_THAT(liste(), Contains(u"127.0.0.1:"_s + QString::number(a->localPort()) + u" (Verbindung hergestellt)"_s));

  a->write(ansiZeile(befehl({u"Hintergrundfarbe", u"255"})));
  EXPECT_EQ(antwort(*a), "OK");
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(255, 0, 0)) << "drawn before the OK";
  a->write(ansiZeile(befehl({u"Cls"})));
  EXPECT_EQ(antwort(*a), "OK");
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(0, 0, 0));

  // A picture travels inside the line: the file need not exist here.
  QFile bmp(QStringLiteral(VRD4_TEST_DATA_DIR "/engine/rot_4x4.bmp"));
  ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
  const QByteArray bytes = bmp.readAll();
  const std::u16string hex =
      protocol::hexKodieren(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), std::size_t(bytes.size())));
  b->write(ansiZeile(befehl({u"BildAnzeigen", u"/gibt/es/hier/nicht.bmp", u"-1", u"0", hex})));
  EXPECT_EQ(antwort(*b), "OK");
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(255, 0, 0));

  // A field that does not convert: the status list, and "OK" all the same.
  ctl<QListWidget>("List1")->clear();
  const std::u16string linie = befehl({u"Linie", u"x"});
  a->write(ansiZeile(linie));
  EXPECT_EQ(antwort(*a), "OK");
  const QStringList l = liste();
  ASSERT_EQ(l.size(), 3);
  EXPECT_EQ(l[2], QString::fromStdU16String(linie));
}

TEST_F(Netz, UnknownNameOpensAWarningThatWaitsForNobodyAndGetsNoReply) {
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
  auto a = peer(serverStarten());
  // Lower case is no command name; the line after it is answered at once.
  a->write(ansiZeile(befehl({u"cls"})) + ansiZeile(befehl({u"Hintergrundfarbe", u"255"})));
  EXPECT_EQ(antwort(*a), "OK");
  auto* box = frm->findChild<QMessageBox*>(u"Meldung"_s);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible() && !box->isModal()) << "still open, and the next line was answered";
  EXPECT_EQ(box->text(), u"Falsche Abfragetext: cls\noder VRD4-Modul noch nicht geöffnet!"_s);
  EXPECT_EQ(box->windowTitle(), u"VRD4-Empfangsmodul"_s);
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(antwort(*a, 200), QByteArray()) << "the unknown line gets no reply";
  platform::setMessageBoxSink(&meldungen);
}

TEST_F(Netz, ButtonsSwitchCaptionsStopEachOtherAndShowTheExactFailureTexts) {
  frm->show();  // the progress bar's width comes from the laid-out panel
  serverStarten();
  // Client2 first stops the server.
  QTcpServer gegenueber;
  auto p = client2Verbinden(gegenueber);
  EXPECT_EQ(text("cmdServerStarten"), u"Server starten"_s);
  EXPECT_TRUE(aktiv("txtT_Port1"));
  EXPECT_EQ(frm->Server().State(), net::clsSocket::sckClosed);
  EXPECT_EQ(text("cmdClient2Connect"), u"Trennen"_s);
  EXPECT_FALSE(aktiv("txtIPAdresse1"));
  EXPECT_TRUE(aktiv("cmdClient2Connect"));
  EXPECT_TRUE(frm->netz().weiterleitung().Weiterleitungsquittung);
  EXPECT_TRUE(ctl<QLabel>("lblConnectFehler")->isHidden());
  EXPECT_TRUE(ctl<QProgressBar>("ctlProgressbar1")->isHidden());
  EXPECT_TRUE(frm->isEnabled());
  EXPECT_TRUE(frm->fortschrittText().startsWith(u"Verbinde mit 127.0.0.1:"_s + QString::number(gegenueber.serverPort()) +
                                                u" - "_s))
      << frm->fortschrittText().toStdString();
  auto* balken = ctl<QProgressBar>("ctlProgressbar1");
  EXPECT_GE(balken->width(), balken->fontMetrics().horizontalAdvance(frm->fortschrittText()))
      << "the whole caption fits";

  // The server button disconnects Client2 (and Client3).
  frm->cmdServerStarten_Click();
  EXPECT_EQ(frm->Client2().State(), net::clsSocket::sckClosed);
  EXPECT_EQ(text("cmdClient2Connect"), u"Verbinden"_s);
  EXPECT_TRUE(aktiv("txtIPAdresse1"));
  EXPECT_EQ(text("cmdServerStarten"), u"Server stoppen"_s);
  frm->cmdServerStarten_Click();
  EXPECT_EQ(text("cmdServerStarten"), u"Server starten"_s);

  // Refused connections.
  const quint16 zu = freierPort();
  frm->VRD4Event(u"Port"_s, QString::number(zu));
  frm->cmdClient2Connect_Click();
  EXPECT_EQ(text("lblConnectFehler"),
            u"Client2: Konnte nicht mit Server:127.0.0.1\r\nPort: "_s + QString::number(zu) + u"\r\nverbinden!"_s);
  EXPECT_FALSE(ctl<QLabel>("lblConnectFehler")->isHidden());
  EXPECT_EQ(text("cmdClient2Connect"), u"Verbinden"_s);

  ctl<QLineEdit>("txtIPAdresse2")->setText(u"9.0.0.1"_s);
  frm->cmdClient3Connect_Click();
  EXPECT_THAT(meldungen.boxen, ElementsAre(std::pair{std::u16string(u"IP-Adresse ist ungültig!"), std::u16string()}));
  ctl<QLineEdit>("txtIPAdresse2")->setText(u"127.0.0.1"_s);
  ctl<QLineEdit>("txtT_Port2")->setText(QString::number(zu));
  frm->cmdClient3Connect_Click();
  EXPECT_EQ(text("lblConnectFehler"),
            u"Client3: Konnte nicht mit Server:\r\n127.0.0.1\r\nPort: "_s + QString::number(zu) + u"\r\nverbinden!"_s);
}

TEST_F(Netz, IsValidIPWantsFourDottedNumbersTheFirstFromTen) {
  for (const auto& [ip, gueltig] :
       {std::pair{u"127.0.0.1"_s, true}, {u"10.0.0.0"_s, true}, {u"255.255.255.255"_s, true},
        {u"9.0.0.1"_s, false}, {u"1.2.3"_s, false}, {u"1.2.3.4.5"_s, false}, {u"10.256.0.1"_s, false},
        {u"10.0.0.0001"_s, false}, {u""_s, false}, {u"10.a.0.1"_s, false}, {u"10..0.1"_s, false}}) {
    EXPECT_EQ(Weiterleitung::IsValidIP(ip), gueltig) << ip.toStdString();
  }
}

TEST_F(Netz, RingCommandGoesToClient2AndNoSecondCommandRunsUntilItsOkArrived) {
  const quint16 port = serverStarten();
  auto talk = peer(port);  // stays open when Client2 stops the server
  QTcpServer gegenueber;
  auto b = client2Verbinden(gegenueber);
  ASSERT_EQ(frm->Client2().State(), net::clsSocket::sckConnected);
  ctl<QListWidget>("List1")->clear();

  // The peer behind Client2 answers only once a network line and a second
  // ring command have arrived here during the wait.
  QByteArray empfangen;
  bool erstes = true;
  QObject::connect(b.get(), &QTcpSocket::readyRead, b.get(), [&] {
    empfangen += b->readAll();
    if (!erstes) {
      b->write("OK\r\n");
      return;
    }
    erstes = false;
    talk->write(ansiZeile(befehl({u"Hintergrundfarbe", u"65280"})));
    senden(befehl({u"Hintergrundfarbe", u"16711680"}));
    QTimer::singleShot(50, b.get(), [&] { b->write("OK\r\n"); });
  });
  senden(befehl({u"Hintergrundfarbe", u"255"}));
  tick();
  EXPECT_EQ(empfangen, ansiZeile(befehl({u"Hintergrundfarbe", u"255"})));
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(255, 0, 0)) << "neither the line nor the ring ran in the wait";
  EXPECT_EQ(gv::Sendetexte(1).GetMemory(), befehl({u"Hintergrundfarbe", u"16711680"}));
  EXPECT_THAT(liste(), Contains(u"Client2: Befehl empfangen"_s));
  EXPECT_EQ(frm->Clients().liste().front()->wartendeZeilen(), 1u);
  // Afterwards the line runs, then the next ring command.
  EXPECT_EQ(antwort(*talk), "OK");
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(0, 255, 0));
  tick(), tick();  // the empty slot 0, then slot 1
  EXPECT_EQ(board().image().pixelColor(400, 300), QColor(0, 0, 255));
  EXPECT_EQ(empfangen.count("\r\n"), 2);

  // Replies: exactly "OK" acknowledges.
  for (const auto& [zeile, quittiert, eintrag] :
       {std::tuple{"ok", false, u"Client2: Übertragungsfehler"_s}, {"OK", true, u"Client2: Befehl empfangen"_s}}) {
    b->write(QByteArray(zeile) + "\r\n");
    EXPECT_TRUE(warteBis([&, q = quittiert] { return frm->netz().weiterleitung().Weiterleitungsquittung == q; }));
    EXPECT_EQ(liste().back(), eintrag);
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
  QByteArray gelesen() {
    QFile f(QString::fromStdString(frm->startwertePfad()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(Einstellungen, WithoutAFileTheDefaultsShowAndNothingStarts) {
  const QPoint vorher = frm->pos();
  frm->StartwerteLesen();
  EXPECT_EQ(text("txtIPAdresse1"), u"Localhost"_s);
  EXPECT_EQ(text("txtT_Port1"), u"3000"_s);
  EXPECT_FALSE(ctl<QCheckBox>("chkClientAutomatischVerbinden")->isChecked());
  EXPECT_FALSE(ctl<QCheckBox>("chkServerAutomatischStarten")->isChecked());
  EXPECT_EQ(frm->Server().State(), net::clsSocket::sckClosed);
  EXPECT_EQ(frm->Client2().State(), net::clsSocket::sckClosed);
  EXPECT_EQ(frm->pos(), vorher);
}

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
    EXPECT_EQ(frm->Client2().State() == net::clsSocket::sckConnected, verbunden);
    EXPECT_EQ(frm->Server().State() == net::clsSocket::sckListening, lauscht);
    if (lauscht) {
      EXPECT_EQ(frm->Server().LocalPort, port);
    }
    EXPECT_EQ(ctl<QCheckBox>("chkClientAutomatischVerbinden")->isChecked(), verbunden);
  }
}

TEST_F(Einstellungen, WritingThenReadingGivesTheSameSixLinesByteForByte) {
  const QByteArray inhalt = "10.1.2.3\r\n4711\r\n0\r\n1\r\n 1440 \r\n 2880 \r\n";
  datei(inhalt);
  frm->StartwerteLesen();
  frm->Server().Disconnect();
  EXPECT_EQ(frm->pos(), QPoint(96, 192)) << "twips at 96 dpi";
  datei("");
  frm->cmdParameterSpeichern_Click();
  EXPECT_EQ(gelesen(), inhalt);
  // The number format: a space before a number that is not negative, one after.
  Startwerte w{u"ä€"_s, u"1"_s, u"0"_s, u"0"_s, -15, 0};
  EXPECT_EQ(startwerteText(w), QByteArray("\xE4\x80\r\n1\r\n0\r\n0\r\n-15 \r\n 0 \r\n"));
  Startwerte zurueck;
  startwerteAusText(startwerteText(w), zurueck);
  EXPECT_EQ(zurueck, w);
}

TEST(StartwerteOrt, BesideTheExecutableUnlessThatFolderIsNotWritableOrInstalledThenXdg) {
  QTemporaryDir ordner;
  const std::string o = ordner.path().toStdString();
  const std::string name = startwerteDateiname();
  EXPECT_EQ(startwertePfad(o, true, "/x", "/home/h"), o + "/" + name);
  EXPECT_EQ(startwertePfad(o, false, "/x", "/home/h"), "/x/vrd4/" + name);
  EXPECT_EQ(startwertePfad(o, false, "", "/home/h"), "/home/h/.config/vrd4/" + name);
  EXPECT_EQ(startwertePfad(o, false, "relativ", "/home/h"), "/home/h/.config/vrd4/" + name);
  QFile(QString::fromStdString(o + "/" + name)).open(QIODevice::WriteOnly);
  EXPECT_EQ(startwertePfad(o, false, "/x", "/home/h"), o + "/" + name) << "an existing file there wins";
  // Installed: nothing beside the executable, for root as for anyone.
  EXPECT_EQ(startwertePfad("/usr/bin", true, "", "/root"), "/root/.config/vrd4/" + name);
  EXPECT_EQ(startwertePfad("/tmp/wurzel/usr/bin", true, "/x", "/h"), "/x/vrd4/" + name);
  EXPECT_EQ(schnappschussOrdner("/usr/bin", "", "/root"), "/root/.local/state/vrd4");
  EXPECT_EQ(schnappschussOrdner("/usr/local/bin", "/s", "/h"), "/s/vrd4");
  EXPECT_EQ(schnappschussOrdner(o, "/s", "/h"), o) << "a build or portable folder keeps its snapshots";
  // Short, odd and hostile files: what is there is taken, the rest stays.
  Startwerte w;
  startwerteAusText("a,b\r\n", w);
  EXPECT_EQ(w.adresse + u"|"_s + w.port, u"a|b"_s);
  startwerteAusText("\"x y\"  \n 12abc\n", w);
  EXPECT_EQ(w.adresse + u"|"_s + w.port, u"x y|12abc"_s);
  startwerteAusText(QByteArray(200000, '7'), w);
  EXPECT_EQ(w.adresse.size(), kStartwerteMaxBytes);
}

}  // namespace
}  // namespace vrd4::app::test
