#pragma once
// Common ground of the sender tests: a channel of their own (name prefix per
// process, removed at exit), a sender whose receiver "runs" without a
// process, and a wait for what another process does.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"
#include "platform/Process.h"
#include "vrd4/clsVRD4Sender.h"
#include "tests/TestHilfe.h"

namespace vrd4::sender::test {

namespace gv = channel::modVRD4GlobaleVariablen;

inline std::string testPrefix() { return "t_sender_" + std::to_string(::getpid()) + "_"; }

// Register once per test program that does not use the real channel.
struct EigenerKanal : ::testing::Environment {
  void SetUp() override { clsVRD4Sender::setKanalPrefix(testPrefix()); }
  // The channel leaves its objects in /dev/shm for the next process; ours has none.
  void TearDown() override { vrd4::test::kanalDateienEntfernen(testPrefix()); }
};

inline std::string lesen(const std::filesystem::path& datei) {
  std::stringstream s;
  s << std::ifstream(datei).rdbuf();
  return s.str();
}

// "Befehl" and the fields of felder, which separates them with "|".
inline std::u16string befehl(std::u16string felder) {
  std::replace(felder.begin(), felder.end(), u'|', u'\x1b');
  return u"Befehl\x1b" + felder;
}

using Ereignis = std::pair<std::u16string, std::u16string>;  // type and text, or title and text
using Ereignisse = std::vector<Ereignis>;
inline const Ereignis kNichtGeladen{u"BefehlFehler", u"VRD4Empfaenger_Steuerung nicht geladen!"};
inline const Ereignis kKeineAntwort{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: keine Antwort!"};

using vrd4::test::warteBis;

// Message boxes and events of s go into the lists.
inline void mitschreiben(clsVRD4Sender& s, Ereignisse& meldungen, Ereignisse& ereignisse) {
  s.setMessageBox([&](auto& text, auto& titel) { meldungen.push_back({titel, text}); });
  s.setEreignis([&](auto& art, auto& text) { ereignisse.push_back({art, text}); });
}

class SenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mitschreiben(*sender, meldungen, ereignisse);
    sender->setLaeuftPruefung([this] { return empfaengerLaeuft; });
    // A clock that moves only when the sender waits: no test depends on speed.
    sender->setUhr([this] { return uhr; });
    sender->setNachrichtenschleife([this] {
      uhr += 0.25;
      if (++durchlaeufe == antwortenBeiDurchlauf) antworten();
    });
  }
  static std::u16string slot(int i) { return gv::Sendetexte(i).GetMemory(); }

  std::unique_ptr<clsVRD4Sender> sender = std::make_unique<clsVRD4Sender>();
  Ereignisse meldungen, ereignisse;  // meldungen: {title, text}
  bool empfaengerLaeuft = true;
  double uhr = 100.0;
  // Reply simulation: on this pass of the reply wait, antworten() runs.
  int antwortenBeiDurchlauf = 0;
  int durchlaeufe = 0;
  std::function<void()> antworten = [] {};
};

}  // namespace vrd4::sender::test
