// The hall's client against a real mosquitto on loopback, with its clock
// moved by hand: the attempts come when the back-off says and not before,
// each cause is said once, a broker killed twice is found again, and the
// subscriptions and the retained flag come through.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "MosquittoBroker.h"
#include "hall/MqttKlient.h"

namespace vrd4::halle {
namespace {

using A = MqttKlient::Ereignis::Art;

// Collects the client's events at the (hand-moved) time `jetzt` for up to
// ten real seconds, until one of `art` came; its line, or "(keins)".
struct Sammler {
  MqttKlient& k;
  std::vector<MqttKlient::Ereignis> alle;
  std::string bis(double jetzt, A art, double sekunden = 10) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
    while (std::chrono::steady_clock::now() < ende) {
      for (auto& e : k.abholen(jetzt)) {
        alle.push_back(e);
        if (e.art == art) return e.meldung;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return "(keins)";
  }
};

TEST(MqttKlient, TriesAgainOnlyWhenTheBackOffSaysAndComesBackAfterTheBrokerWasKilled) {
  if (test::mosquittoProgramm().empty()) GTEST_SKIP() << "mosquitto is not installed";
  test::MosquittoBroker broker;  // not running yet
  MqttEinstellungen e;
  e.adresse = std::get<HallenAdresse>(adresseLesen(broker.url("H"), false));
  e.clientId = "klient-test";
  MqttKlient k(e);
  k.abonnieren("vrd4/H/t");
  Sammler s{k, {}};
  std::string fehler;
  ASSERT_TRUE(k.starten(fehler, 0)) << fehler;
  EXPECT_EQ(s.bis(0, A::Getrennt), "Verbindung zum Broker: Verbindung abgelehnt (kein Broker an der Adresse?)");
  EXPECT_EQ(k.frist(), 1);
  k.takt(0.99);
  EXPECT_EQ(s.bis(0.99, A::Getrennt, 0.5), "(keins)") << "no attempt before its time";
  k.takt(1);
  EXPECT_EQ(s.bis(1, A::Getrennt), "") << "the same cause is not said again";
  EXPECT_EQ(k.frist(), 3) << "then 2 s";
  ASSERT_TRUE(broker.starten());
  k.takt(2);
  EXPECT_EQ(s.bis(2, A::Verbunden, 0.5), "(keins)");
  k.takt(3);
  EXPECT_EQ(s.bis(3, A::Verbunden), "mit dem Broker verbunden");
  EXPECT_EQ(k.frist(), 3 + MqttKlient::kHaengtSekunden) << "connected: only the look at the thread is due";
  EXPECT_TRUE(k.gesund());

  // Messages flow, and a retained one says so.
  {
    MqttEinstellungen e2 = e;
    e2.clientId = "klient-test-2";
    MqttKlient sender(e2);
    ASSERT_TRUE(sender.starten(fehler, 0));
    Sammler s2{sender, {}};
    ASSERT_EQ(s2.bis(0, A::Verbunden), "mit dem Broker verbunden");
    ASSERT_TRUE(sender.senden("vrd4/H/t", "live", false));
    ASSERT_TRUE(sender.senden("vrd4/H/behalten", "alt", true));
    EXPECT_EQ(s2.bis(0, A::Bestaetigt), "");
    sender.beenden(std::nullopt, std::chrono::milliseconds(0));
  }
  s.bis(3, A::Nachricht);
  ASSERT_FALSE(s.alle.empty());
  EXPECT_EQ(s.alle.back().payload, "live");
  EXPECT_FALSE(s.alle.back().behalten);

  // Killed after it held for a while: the loss is said, and the next
  // attempt comes after a second again.
  broker.stoppen(SIGKILL);
  EXPECT_EQ(s.bis(20, A::Getrennt), "Verbindung zum Broker: Verbindung verloren");
  EXPECT_EQ(k.frist(), 21);
  ASSERT_TRUE(broker.starten());
  k.takt(21);
  EXPECT_EQ(s.bis(21, A::Verbunden), "mit dem Broker verbunden");
  // Dropped again at once: said no more, and the back-off goes on.
  broker.stoppen(SIGKILL);
  EXPECT_EQ(s.bis(22, A::Getrennt), "");
  EXPECT_EQ(k.frist(), 24);
  ASSERT_TRUE(broker.starten());
  k.takt(24);
  EXPECT_EQ(s.bis(24, A::Verbunden), "") << "connected again, said already";
  EXPECT_TRUE(k.verbunden());
  k.beenden(std::nullopt, std::chrono::milliseconds(0));
}

// A name that does not resolve is a cause like any other: said, tried again.
TEST(MqttKlient, SaysWhenTheBrokersNameDoesNotResolve) {
  MqttEinstellungen e;
  e.adresse = std::get<HallenAdresse>(adresseLesen("mqtt://vrd4-test.invalid:1883/H", false));
  e.clientId = "klient-test-dns";
  MqttKlient k(e);
  Sammler s{k, {}};
  std::string fehler;
  ASSERT_TRUE(k.starten(fehler, 0)) << fehler;
  EXPECT_EQ(s.bis(0, A::Getrennt, 60), "Verbindung zum Broker: Rechnername nicht auflösbar");
  EXPECT_EQ(k.frist(), 1);
  k.beenden(std::nullopt, std::chrono::milliseconds(0));
}

}  // namespace
}  // namespace vrd4::halle
