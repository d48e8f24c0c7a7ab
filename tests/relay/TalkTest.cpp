// The command server's connections over real sockets on loopback, with a
// host that records what the window would do and a clock moved by the
// commands themselves: the interpreter, waiting lines, the bounds. Floods and
// hostile peers meet the real receiver in the end-to-end tests.
#include <gtest/gtest.h>

#include <QTcpSocket>

#include <sys/socket.h>

#include "protocol/Befehl.h"
#include "protocol/Hex.h"

#include "net/Weiterleitung.h"
#include "net/clsTalkConnection.h"
#include "tests/net/NetTestUmgebung.h"

namespace vrd4::net::test {
namespace {

using namespace Qt::StringLiterals;

QByteArray zeile(std::initializer_list<std::u16string> felder) {
  return QString::fromStdU16String(vrd4::test::befehl(felder)).toLatin1() + "\r\n";
}

// The window as the connections see it. Every command costs `kosten`
// seconds of the clock; a field "x" fails the command.
class Host : public TalkHost, public platform::Clock {
 public:
  void statusEintrag(const QString& e) override {
    if (liste.size() < 10000) liste.push_back(e);
  }
  Weiterleitung* weiterleitungsClient() override { return client3; }
  void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild,
                        const render::VorabBild* vorab) override {
    t += kosten;
    ++anzahl;
    if (protokoll) {
      QString s = QString::fromStdU16String(felder[1]);
      if (!bild.empty()) s += u" "_s + QByteArray(reinterpret_cast<const char*>(bild.data()), bild.size());
      if (vorab) s += u" ["_s + vorab->grund + u"]"_s;
      ausgefuehrt.push_back(s);
    }
    for (const auto& f : felder)
      if (f == u"x") throw std::runtime_error("Feld 2 von Linie ist keine Zahl");
  }
  void falscheAbfrage(const QString&) override {}  // the box: NetzFensterTest
  bool darfAusfuehren() const override { return darf; }
  double seconds() const override { return t; }
  bool eingetragen(const QString& teil) const { return std::ranges::any_of(liste, [&](const QString& e) { return e.contains(teil); }); }

  std::vector<QString> liste, ausgefuehrt;
  Weiterleitung* client3 = nullptr;
  bool darf = true, protokoll = true;
  double t = 100.0, kosten = 0.0;
  long anzahl = 0;
};

class Talk : public ::testing::Test {
 protected:
  void SetUp() override {
    server.ConnectionRequest = [this] { clients.Server_ConnectionRequest(server); };
    server.Listen();
    ASSERT_EQ(server.State(), clsSocket::sckListening);
    port = quint16(server.LocalPort);
  }
  // A connection from `von` (any 127.x.y.z address is loopback).
  std::unique_ptr<QTcpSocket> verbinden(const char* von = "127.0.0.1") {
    auto s = std::make_unique<QTcpSocket>();
    s->bind(QHostAddress(QString::fromLatin1(von)));
    s->connectToHost(QStringLiteral("127.0.0.1"), port);
    return s;
  }
  // A peer connected and taken into Clients.
  std::unique_ptr<QTcpSocket> peer(const char* von = "127.0.0.1") {
    const int vorher = angenommen();
    auto s = verbinden(von);
    EXPECT_TRUE(warteBis([&] { return angenommen() > vorher; }));
    return s;
  }
  int angenommen() const { return int(std::ranges::count_if(host.liste, [](const QString& l) { return l.endsWith(u" (Verbindung hergestellt)"); })); }
  // The reply lines as they came, each with its end.
  static QList<QByteArray> antworten(QTcpSocket& s, int n, int ms = 5000) {
    QList<QByteArray> a;
    warteBis([&] {
      while (s.canReadLine()) a.push_back(s.readLine());
      return a.size() >= n;
    }, ms);
    return a;
  }

  Host host;
  Clients clients{host, host};
  clsSocket server;
  quint16 port = 0;
};

TEST_F(Talk, InterpreterRunsAnswersLogsAndForwardsEachLineAsTheTableSays) {
  QTcpServer weiter;  // the receiver behind Client3
  ASSERT_TRUE(weiter.listen(QHostAddress::LocalHost));
  Weiterleitung client3(u"Client3"_s, host);
  client3.verbinden(QStringLiteral("127.0.0.1"), weiter.serverPort());
  ASSERT_TRUE(warteBis([&] { return client3.isOpen() && weiter.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> hinten(weiter.nextPendingConnection());
  host.client3 = &client3;

  struct Fall {
    const char* name;
    QByteArray zeile;
    const char* ausgefuehrt;  // "" none
    bool antwort;
    int fehlereintraege;
  };
  const Fall faelle[] = {
      {"Cls runs and is answered", zeile({u"Cls"}), "Cls", true, 0},
      {"plain text: logged and forwarded only", "Hallo Tafel\r\n", "", false, 0},
      {"field that does not convert: logged, answered", zeile({u"Linie", u"x"}), "Linie", true, 2},
      {"acting names are only answered", zeile({u"PauseAnzeigeZiel", u"500"}), "", true, 0},
      {"picture content from field 5", zeile({u"BildAnzeigen", u"/nicht/hier.bmp", u"-1", u"0", u"414243"}),
       "BildAnzeigen ABC", true, 0},
      {"picture content from field 9",
       zeile({u"AniGifLadenanPosition", u"a.gif", u"1", u"1", u"9", u"9", u"0", u"0", u"44454647"}),
       "AniGifLadenanPosition DEFG", true, 0},
      {"missing content field fails before running", zeile({u"BildAnzeigen", u"a.bmp", u"-1"}), "", true, 2},
      {"bad hex fails before running", zeile({u"BildAnzeigen", u"a.bmp", u"-1", u"0", u"4G"}), "", true, 2},
  };
  auto s = peer();
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    host.liste.clear(), host.ausgefuehrt.clear();
    s->write(f.zeile);
    // Each line goes on to Client3 unchanged, run or not.
    ASSERT_TRUE(warteBis([&] { return hinten->canReadLine(); }));
    EXPECT_EQ(hinten->readLine(), f.zeile);
    ASSERT_TRUE(warteBis([&] { return clients.liste().front()->wartendeZeilen() == 0 && !host.liste.empty(); }));
    const QList<QByteArray> a = antworten(*s, 1, f.antwort ? 5000 : 100);
    EXPECT_EQ(a, f.antwort ? QList<QByteArray>{"OK\r\n"} : QList<QByteArray>{});
    EXPECT_EQ(host.ausgefuehrt, *f.ausgefuehrt ? std::vector<QString>{QString::fromUtf8(f.ausgefuehrt)}
                                               : std::vector<QString>{});
    ASSERT_EQ(host.liste.size(), 1u + f.fehlereintraege);
    EXPECT_EQ(host.liste[0], u"TCP 127.0.0.1:"_s + QString::number(s->localPort()) + u"> "_s +
                                 QString::fromLatin1(f.zeile.chopped(2)));
  }
}

TEST_F(Talk, APeerFasterThanWeRunIsHeldUpByTcpAndLosesNothing) {
  host.darf = false;
  host.protokoll = false;
  auto s = peer();
  const QByteArray eine = zeile({u"Linie", u"1", u"1", u"2", u"2", u"1", u"255"});
  s->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16384);
  const int n = 150000;  // about 4 MB: more than the kernel buffers on the way
  QByteArray alle;
  for (int i = 0; i < n; ++i) alle += eine;
  s->write(alle);
  const auto& c = *clients.liste().front();
  // Nothing runs: the queue fills to its bound and the rest stays with TCP.
  laufen(300);
  EXPECT_LE(c.wartendeZeilen(), Clients::kMaxWartendeZeilen);
  EXPECT_TRUE(const_cast<clsTalkConnection&>(c).Sck().readingPaused());
  EXPECT_GT(s->bytesToWrite() + 0, 0) << "the peer is held up";

  host.darf = true;
  clients.anstossen();
  EXPECT_TRUE(warteBis([&] { return host.anzahl == n; }, 60000));
  EXPECT_EQ(antworten(*s, n, 60000).size(), n);
}

TEST_F(Talk, BeyondTheLimitsPerAddressAndInAllOnlyAConnectionWithoutACommandForAMinuteGivesWay) {
  const char* adressen[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
  std::vector<std::unique_ptr<QTcpSocket>> peers;
  for (const char* von : adressen)
    for (int i = 0; i < Clients::kMaxProAdresse; ++i) peers.push_back(peer(von));
  ASSERT_EQ(clients.offen(), Clients::kMaxVerbindungen);
  for (const auto& [von, eintrag] : {std::pair{"127.0.0.1", " (Verbindung abgewiesen: schon 16 Verbindungen von 127.0.0.1)"},
                                     std::pair{"127.0.0.5", " (Verbindung abgewiesen: schon 64 Verbindungen)"}}) {
    auto zuviel = verbinden(von);
    EXPECT_TRUE(warteBis([&] { return zuviel->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(host.liste.back().endsWith(QString::fromUtf8(eintrag))) << host.liste.back().toStdString();
  }
  EXPECT_EQ(clients.anzahl(), Clients::kMaxVerbindungen);

  // Quiet for a minute, a newcomer takes the place of the one quiet the
  // longest; one that sent a command just now stays. Lines that are no
  // command, and unknown names, keep no place.
  peers[0]->write(zeile({u"Cls"}));
  ASSERT_TRUE(warteBis([&] { return host.anzahl == 1; }));
  host.t += Clients::kVerdraengenSekunden;
  const auto gelaufen = [&] { return std::ranges::count_if(host.liste, [](const QString& l) { return l.startsWith(u"TCP "_s); }); };
  const auto vorher = gelaufen();
  for (std::size_t i = 0; i < peers.size(); ++i) peers[i]->write(i == 0 ? zeile({u"Cls"}) : i % 2 ? "Hallo Tafel\r\n" : zeile({u"cls"}));
  ASSERT_TRUE(warteBis([&] { return host.anzahl == 2 && gelaufen() == vorher + std::ssize(peers); }));
  auto neu = peer("127.0.0.5");
  EXPECT_TRUE(warteBis([&] { return peers[1]->state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(peers[0]->state(), QAbstractSocket::ConnectedState) << "it sent a line just now";
  EXPECT_EQ(clients.offen(), Clients::kMaxVerbindungen);
  EXPECT_TRUE(host.eingetragen(u" s keine Zeile, Platz für eine neue)"_s));
  host.anzahl = 0;

  host.darf = false;
  peers[2]->write(zeile({u"Cls"}) + zeile({u"Cls"}));
  peers[2]->disconnectFromHost();
  ASSERT_TRUE(warteBis([&] { return clients.offen() == Clients::kMaxVerbindungen - 1; }));
  EXPECT_EQ(clients.anzahl(), Clients::kMaxVerbindungen) << "its lines still wait";
  host.darf = true;
  clients.anstossen();
  EXPECT_TRUE(warteBis([&] { return clients.anzahl() == Clients::kMaxVerbindungen - 1; }));
  EXPECT_EQ(host.anzahl, 2);
  EXPECT_TRUE(host.eingetragen(u" (Verbindung getrennt)"_s));
}

// --- hostile peers (each bounded in time; a well-behaved connection is served throughout)

using Feindlich = Talk;

TEST_F(Feindlich, ThreeHundredConnectionsAtOnceAreEachServedOrClosedNoneLeftHanging) {
  std::vector<std::unique_ptr<QTcpSocket>> viele;
  std::vector<QByteArray> antwort(300);
  for (int i = 0; i < 300; ++i) {
    viele.push_back(verbinden(i % 2 ? "127.0.0.1" : "127.0.0.2"));
    viele.back()->write(zeile({u"Cls"}));
  }
  // Far less than a retransmitted SYN would take (1 s, then 3 s, ...).
  EXPECT_TRUE(warteBis([&] {
    for (int i = 0; i < 300; ++i) {
      if (viele[i]->canReadLine()) antwort[i] = viele[i]->readLine();
      if (antwort[i].isEmpty() && viele[i]->state() != QAbstractSocket::UnconnectedState) return false;
    }
    return true;
  }, 3000));
  EXPECT_EQ(std::count(antwort.begin(), antwort.end(), QByteArray("OK\r\n")), 2 * Clients::kMaxProAdresse);
  EXPECT_LE(clients.anzahl(), Clients::kMaxVerbindungen);
}

TEST_F(Feindlich, SlowPeersFromOneAddressNeverCrowdOutAClientOfAnotherSendingEveryThreeSeconds) {
  std::vector<std::unique_ptr<QTcpSocket>> langsam;
  for (int i = 0; i < 64; ++i) langsam.push_back(verbinden("127.0.0.1"));
  laufen(50);
  auto gut = peer("127.0.0.2");
  const QByteArray text = zeile({u"Cls"});
  for (int runde = 0; runde < 40; ++runde) {  // two minutes of the clock
    for (auto& s : langsam) {
      if (s->state() == QAbstractSocket::UnconnectedState) s = verbinden("127.0.0.1");  // and again
      s->write(text.mid(runde % 3, 1));
    }
    host.t += 3;
    gut->write(text);
    EXPECT_EQ(antworten(*gut, 1, 10000), QList<QByteArray>{"OK\r\n"});
    ASSERT_EQ(gut->state(), QAbstractSocket::ConnectedState) << "round " << runde;
  }
  EXPECT_FALSE(host.eingetragen(u"127.0.0.2:"_s + QString::number(gut->localPort()) + u" (Verbindung getrennt"_s));
}

// No command holds the board longer than a ring command could: a command
// text longer than a ring slot holds (all but a picture's content) closes
// its connection as an over-long line does, before it takes more memory.
// (A line that is no command is only logged and passed on: the line limit
// bounds it, see the interpreter's test.)
TEST_F(Feindlich, ACommandTextLongerThanARingSlotIsRefusedAsAnOverlongLine) {
  const std::u16string langerText(40000, u'x');
  struct Fall {
    const char* name;
    QByteArray zeile;
    bool laeuft;
  } faelle[] = {
      {"a text that fits a slot", zeile({u"Textausgabe", std::u16string(protocol::kMaxBefehlstextZeichen - 19, u'x')}), true},
      {"a text of 40000 characters", zeile({u"Textausgabe", langerText}), false},
      {"a text of 3 million characters", zeile({u"Lauftext", std::u16string(3'000'000, u'x')}), false},
      {"a command name longer than a slot", "Befehl" + QByteArray(40000, 'y') + "\r\n", false},
      {"a picture's path of 40000 characters", zeile({u"BildAnzeigen", langerText, u"0", u"0", u"41"}), false},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    host.liste.clear(), host.anzahl = 0;
    auto s = peer();
    s->write(f.zeile);
    if (f.laeuft) {
      EXPECT_TRUE(warteBis([&] { return host.anzahl == 1; }));
      EXPECT_EQ(antworten(*s, 1), QList<QByteArray>{"OK\r\n"});
      continue;
    }
    EXPECT_TRUE(warteBis([&] { return s->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(host.anzahl, 0);
    EXPECT_TRUE(host.eingetragen(u" Zeichen, Verbindung wird getrennt)"_s));
  }
}

// A peer that reset its connection (a forwarding receiver that gave this one
// up while it hung) left lines here; they wait a moment for its newer
// connection, whose first line drops them, and run only when none comes.
// The history names the peer's address even when the reset came before the
// connection was taken.
TEST_F(Feindlich, AResetPeersLinesWaitForItsNewerConnectionAndTheHistoryKeepsItsAddress) {
  host.darf = false;
  auto alt = peer();
  alt->write(zeile({u"Cls"}) + zeile({u"Cls"}) + zeile({u"Cls"}));
  ASSERT_TRUE(warteBis([&] { return clients.liste().front()->wartendeZeilen() == 3; }));
  alt->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  const qintptr fd = alt->socketDescriptor();
  const linger sofort{1, 0};
  ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &sofort, sizeof sofort);
  alt->abort();  // a reset
  host.darf = true;
  clients.anstossen();
  laufen(100);
  EXPECT_EQ(host.anzahl, 0) << "held back while the clock stands";
  auto neu = peer();
  neu->write(zeile({u"Hintergrundfarbe", u"255"}));
  EXPECT_EQ(antworten(*neu, 1), QList<QByteArray>{"OK\r\n"});
  EXPECT_EQ(host.ausgefuehrt, std::vector<QString>{u"Hintergrundfarbe"_s});
  EXPECT_TRUE(host.eingetragen(u" (Verbindung zurückgesetzt, 3 Zeilen verworfen)"_s));

  // Reset before it was taken: the address accept() gave.
  server.ConnectionRequest = [] {};
  QTcpSocket frueh;
  frueh.bind(QHostAddress(u"127.0.0.3"_s));
  frueh.connectToHost(u"127.0.0.1"_s, port);
  ASSERT_TRUE(warteBis([&] { return frueh.state() == QAbstractSocket::ConnectedState; }));
  ::setsockopt(int(frueh.socketDescriptor()), SOL_SOCKET, SO_LINGER, &sofort, sizeof sofort);
  frueh.abort();
  laufen(100);
  host.liste.clear();
  clients.Server_ConnectionRequest(server);
  for (const QString& l : host.liste) EXPECT_FALSE(l.startsWith(u":0"_s)) << l.toStdString();
  EXPECT_TRUE(host.eingetragen(u"127.0.0.3:"_s)) << "the peer's address in the history";
}

// Lines with pictures reserve their share of a common budget; beyond it
// a connection waits, and every line runs in the end.
TEST_F(Talk, PictureLinesBeyondTheBudgetWaitForTheirTurnAndAllRun) {
  host.darf = false;
  const QByteArray inhalt(300 << 10, 'B');
  const QByteArray hex = QString::fromStdU16String(protocol::hexKodieren(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(inhalt.data()), inhalt.size()))).toLatin1();
  std::vector<std::unique_ptr<QTcpSocket>> peers;
  for (int i = 0; i < 4; ++i) {
    peers.push_back(peer());
    peers.back()->write("Befehl\x1b" "BildAnzeigen\x1b" "a.bmp\x1b-1\x1b" "0\x1b" + hex + "\r\n");
  }
  // Room for two reservations: two lines arrive, two connections wait.
  const auto zaehlen = [&](auto bedingung) { return std::ranges::count_if(clients.liste(), [&](const auto& c) { return bedingung(*c); }); };
  EXPECT_TRUE(warteBis([&] {
    return zaehlen([](const clsTalkConnection& c) { return c.wartendeZeilen() == 1; }) == 2 &&
           zaehlen([](clsTalkConnection& c) { return c.Sck().readingPaused() && !c.reserviert(); }) == 2;
  }));
  laufen(50);
  EXPECT_EQ(zaehlen([](const clsTalkConnection& c) { return c.reserviert(); }), 2);
  EXPECT_GE(clients.budgetFrei(), 0);

  host.darf = true;
  clients.anstossen();
  EXPECT_TRUE(warteBis([&] { return host.anzahl == 4; }));
  // Decoded beside the GUI thread already (here: into no picture, and why).
  for (const QString& a : host.ausgefuehrt)
    EXPECT_TRUE(a == u"BildAnzeigen "_s + QString::fromLatin1(inhalt) + u" [kein bekanntes Bildformat]"_s);
  EXPECT_TRUE(warteBis([&] {
    return clients.budgetFrei() == std::int64_t(Clients::kZeilenbudget - 4 * Clients::kAnteil);
  })) << "every reservation is given back";
  EXPECT_EQ(zaehlen([](const clsTalkConnection& c) { return !c.bildinhalt().empty(); }), 0) << "kept beside the budget";
}

}  // namespace
}  // namespace vrd4::net::test
