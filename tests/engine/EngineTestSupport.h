#pragma once
// Fakes and the fixture for the engine tests: a clock moved by hand,
// recording status view, event sink and forwarding client, and a sender
// side that writes into the real ring under this process's own channel
// names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QString>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/Interfaces.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "protocol/Befehl.h"

// Readable failure messages for the Qt texts the engine reports.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vrd4::engine::test {

namespace gv = channel::modVRD4GlobaleVariablen;

class FakeClock final : public platform::Clock {
 public:
  double t = 1000.0;
  double seconds() const override { return t; }
};

class RecordingStatus final : public StatusView {
 public:
  std::vector<QString> labels, list;
  void setLetzterBefehl(const QString& caption) override { labels.push_back(caption); }
  void addListEntry(const QString& entry) override { list.push_back(entry); }
};

struct Ereignis {
  QString art, meldung;
  bool operator==(const Ereignis&) const = default;
  friend void PrintTo(const Ereignis& e, std::ostream* os) {
    *os << "(" << e.art.toStdString() << ", " << e.meldung.toStdString() << ")";
  }
};

class RecordingEvents final : public EventSink {
 public:
  std::vector<Ereignis> events;
  void VRD4Event(const QString& art, const QString& meldung) override {
    events.push_back({art, meldung});
  }
};

// Client2 as the network relay would offer it: each pump lets 10 ms of the
// fake clock pass; the peer's "OK" comes at once when ackOnSend.
class FakeForwarder final : public Forwarder {
 public:
  explicit FakeForwarder(FakeClock& clock) : clock_(clock) {}
  bool open = true;
  bool ackOnSend = false;
  bool ack = false;
  int pumps = 0;
  std::vector<std::u16string> sent;
  bool isOpen() const override { return open; }
  void sendData(const std::u16string& line) override {
    sent.push_back(line);
    if (ackOnSend) ack = true;
  }
  void clearAcknowledgement() override { ack = false; }
  bool acknowledged() const override { return ack; }
  void pumpOnce() override {
    ++pumps;
    clock_.t += 0.01;
  }

 private:
  FakeClock& clock_;
};

inline std::u16string befehl(std::initializer_list<std::u16string> felder) {
  std::vector<std::u16string> v{u"Befehl"};
  v.insert(v.end(), felder.begin(), felder.end());
  return protocol::zusammenfuegen(v);
}

inline std::u16string u16(const std::string& s) {
  return QString::fromStdString(s).toStdU16String();
}

inline std::string datenDatei(const char* name) {
  return std::string(VRD4_TEST_DATA_DIR) + "/engine/" + name;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pic.setBackColor(0x000000);
    pic.setForeColor(0xFFFFFF);
    engine = std::make_unique<clsVRD4Empfaenger>(pic, status, events, clock, forwarder());
  }
  void TearDown() override { engine.reset(); }
  virtual Forwarder* forwarder() { return nullptr; }

  // The sending side of the ring: slot first, then the counter.
  void senden(const std::u16string& text) {
    gv::Sendetexte(schreibzeiger).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(protocol::schreibeGanzzahl(schreibzeiger));
    schreibzeiger = schreibzeiger == 99 ? 0 : schreibzeiger + 1;
  }
  void schritt(int n = 1) {
    for (int i = 0; i < n; ++i) {
      engine->Zeitschleife();
      clock.t += 0.01;
    }
  }
  void ausfuehren(const std::u16string& text) { engine->BefehlAusfuehren(text); }
  platform::Colour farbeBei(int x, int y) const {
    return platform::fromQColor(QColor(pic.image().pixel(x, y)));
  }

  platform::Surface pic{768, 480};
  RecordingStatus status;
  RecordingEvents events;
  FakeClock clock;
  std::unique_ptr<clsVRD4Empfaenger> engine;
  int schreibzeiger = 0;
};

}  // namespace vrd4::engine::test
