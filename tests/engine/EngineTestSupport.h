#pragma once
// The engine tests' set-up: one GUI application (fonts need it) and one
// channel name prefix per test process, so that parallel test binaries and a
// running receiver never meet; a fixture that is the window side and records;
// a sender side that writes into the real ring.
#include <gmock/gmock.h>

#include <QGuiApplication>
#include <ostream>

#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "protocol/Befehl.h"
#include "render/Animationen.h"
#include "render/ucAniGIF.h"
#include "tests/TestHilfe.h"
#include "tests/gif/GifSchreiber.h"

// Readable failure messages for the Qt texts the engine reports.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vrd4::engine::test {

namespace gv = channel::modVRD4GlobaleVariablen;
using ::testing::ElementsAre;
using Ereignis = std::pair<QString, QString>;  // kind and message of a raised event

inline auto* const umgebung = ::testing::AddGlobalTestEnvironment(new vrd4::test::AnwendungMitKanal<QGuiApplication>("t_engine_"));

using vrd4::test::befehl;

inline std::u16string datenDatei(const char* name) {
  return QString::fromStdString(std::string(VRD4_TEST_DATA_DIR) + "/engine/" + name).toStdU16String();
}

// A GIF of `frames` frames of w × h, parsed but never decoded: one index of
// frame data is enough.
inline std::vector<uint8_t> grossesGif(int w, int h, int frames) {
  gif::test::GifSchreiber g(w, h, gif::test::Farben{0xFF0000, 0x00FF00});
  for (int k = 0; k < frames; ++k) g.bild(gif::test::Bild{.width = w, .height = h, .indizes = {0}, .codeGroesse = 2});
  return g.fertig();
}

// The window side of the engine: a clock moved by hand, and a status view
// and event sink that record.
class EngineTest : public ::testing::Test, public platform::Clock, public Statusausgabe, public Ereignisziel {
 protected:
  void SetUp() override { engine = std::make_unique<clsVRD4Empfaenger>(pic, *this, *this, *this, weitergabe()); }
  void TearDown() override { engine.reset(); }
  virtual Weitergabe* weitergabe() { return nullptr; }
  double seconds() const override { return t; }
  void letzterBefehl(const QString& caption) override { labels.push_back(caption); }
  void statusEintrag(const QString& entry) override { list.push_back(entry); }
  void VRD4Event(const QString& art, const QString& meldung) override { events.emplace_back(art, meldung); }

  // The sending side of the ring: slot first, then the counter.
  void senden(const std::u16string& text) {
    gv::Sendetexte(schreibzeiger).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(protocol::schreibeGanzzahl(schreibzeiger));
    schreibzeiger = (schreibzeiger + 1) % 100;
  }
  void schritt(int n = 1) {
    for (int i = 0; i < n; ++i, t += 0.01) engine->Zeitschleife();
  }
  void ausfuehren(std::initializer_list<std::u16string> felder) { engine->BefehlAusfuehren(befehl(felder)); }
  platform::Colour farbeBei(int x, int y) const { return platform::fromQColor(QColor(pic.image().pixel(x, y))); }
  bool ganzIn(platform::Colour c) const {
    QImage soll = pic.image();
    soll.fill(platform::toQColor(c));
    return pic.image() == soll;
  }

  platform::Surface pic{768, 480};  // black with a white pen
  double t = 1000.0;
  std::vector<QString> labels, list;
  std::vector<Ereignis> events;
  std::unique_ptr<clsVRD4Empfaenger> engine;
  int schreibzeiger = 0;
};

}  // namespace vrd4::engine::test
