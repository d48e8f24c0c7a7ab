#pragma once
// Common ground of the sender's unit tests: a channel of their own (name
// prefix per process), a sender whose receiver "runs" without a process, and
// readers for what it wrote.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "channel/modVRD4GlobaleVariablen.h"
#include "vrd4/clsVRD4Sender.h"

namespace vrd4::sender::test {

namespace gv = channel::modVRD4GlobaleVariablen;

// The channel leaves its objects in /dev/shm for the next process; a test's
// own channel has no next process, so its objects go when the test ends.
inline void kanalEntfernen(const std::string& prefix) {
  std::error_code fehler;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", fehler))
    if (e.path().filename().string().starts_with(prefix)) std::filesystem::remove(e.path(), fehler);
}

inline std::string testPrefix() { return "t_sender_" + std::to_string(::getpid()) + "_"; }

inline std::u16string befehl(std::initializer_list<std::u16string_view> felder) {
  std::u16string s;
  bool erstes = true;
  for (auto f : felder) {
    if (!erstes) s += u'\x1b';
    s += f;
    erstes = false;
  }
  return s;
}

struct Ereignis {
  std::u16string art, meldung;
  bool operator==(const Ereignis&) const = default;
};

class SenderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { clsVRD4Sender::setKanalPrefix(testPrefix()); }
  void SetUp() override {
    sender = std::make_unique<clsVRD4Sender>();
    sender->setLaeuftPruefung([this] { return empfaengerLaeuft; });
    sender->setMessageBox([this](const std::u16string& t, const std::u16string& titel) {
      meldungen.push_back({titel, t});
    });
    sender->setEreignis([this](const std::u16string& a, const std::u16string& m) { ereignisse.push_back({a, m}); });
    // A clock that moves only when the sender waits: no test depends on speed.
    sender->setUhr([this] { return uhr; });
    sender->setNachrichtenschleife([this] {
      uhr += 0.25;
      if (antwortenBeiDurchlauf > 0 && ++durchlaeufe == antwortenBeiDurchlauf) antworten();
    });
  }
  void TearDown() override { sender.reset(); }

  static std::u16string slot(int i) { return gv::Sendetexte(i).GetMemory(); }
  static std::u16string letzteGesendete() { return gv::clsVRD4LetzteGesendete().GetMemory(); }

  std::unique_ptr<clsVRD4Sender> sender;
  bool empfaengerLaeuft = true;
  double uhr = 100.0;
  std::vector<Ereignis> meldungen;  // {title, text}
  std::vector<Ereignis> ereignisse;
  // Reply simulation: on this pass of the reply wait, antworten() runs.
  int antwortenBeiDurchlauf = 0;
  int durchlaeufe = 0;
  std::function<void()> antworten = [] {};
};

}  // namespace vrd4::sender::test
