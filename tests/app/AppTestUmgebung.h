#pragma once
// Shared pieces of the window tests: a QApplication for the whole binary, a
// channel name prefix of its own, a desktop fake, a clock moved by hand and a
// sender that writes into the ring.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Desktop.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

namespace vrd4::app::test {

namespace x11 = platform::x11;
namespace gv = channel::modVRD4GlobaleVariablen;

// Creates the QApplication and sets the channel prefix "<prefix><pid>_".
// Register once per binary with AddGlobalTestEnvironment.
class QtUmgebung : public ::testing::Environment {
 public:
  explicit QtUmgebung(std::string prefix) : prefix_(std::move(prefix)) {}
  void SetUp() override;
  void TearDown() override;

 private:
  std::string prefix_;
  std::unique_ptr<QApplication> app_;
};

class HandUhr final : public platform::Clock {
 public:
  double seconds() const override { return t; }
  double t = 1000.0;
};

class FakeDesktop final : public Desktop {
 public:
  bool setWindowText(x11::WindowId window, const std::u16string& text) override {
    titel.emplace_back(window, text);
    return true;
  }
  bool activateWindow(x11::WindowId window) override {
    aktiviert.push_back(window);
    return true;
  }
  std::optional<x11::FoundWindow> findDisplayWindow() override { return anzeige; }
  bool reparent(x11::WindowId child, x11::WindowId parent) override {
    umgehaengt.emplace_back(child, parent);
    return parent != 0;
  }
  bool pelmorPlayerAktiv() override { return player; }
  std::optional<x11::Rect> windowRect(x11::WindowId) override { return std::nullopt; }

  std::vector<std::pair<x11::WindowId, std::u16string>> titel;
  std::vector<x11::WindowId> aktiviert;
  std::vector<std::pair<x11::WindowId, x11::WindowId>> umgehaengt;
  bool player = false;
  std::optional<x11::FoundWindow> anzeige;
};

class MeldungsRecorder final : public platform::MessageBoxSink {
 public:
  MeldungsRecorder() { platform::setMessageBoxSink(this); }
  ~MeldungsRecorder() override { platform::setMessageBoxSink(nullptr); }
  MeldungsRecorder(const MeldungsRecorder&) = delete;
  MeldungsRecorder& operator=(const MeldungsRecorder&) = delete;
  void show(const std::u16string& text, const std::u16string&) override { texte.push_back(text); }
  std::vector<std::u16string> texte;
};

// Writes commands as a sending program does: slot, then the counter.
class RingSender {
 public:
  int senden(const std::u16string& befehl) {
    const int slot = schreibzeiger_;
    gv::Sendetexte(slot).SetMemory(befehl);
    gv::clsVRD4LetzteGesendete().SetMemory(u16(std::to_string(slot)));
    schreibzeiger_ = (schreibzeiger_ + 1) % gv::kAnzahlSendetexte;
    return slot;
  }
  static std::u16string u16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

 private:
  int schreibzeiger_ = 0;
};

// "Befehl" ESC name ESC fields…
std::u16string befehl(std::initializer_list<std::u16string> teile);

// A fresh empty folder under /tmp, removed with its contents on destruction.
class TempOrdner {
 public:
  TempOrdner();
  ~TempOrdner();
  TempOrdner(const TempOrdner&) = delete;
  TempOrdner& operator=(const TempOrdner&) = delete;
  const std::string& pfad() const { return pfad_; }

 private:
  std::string pfad_;
};

}  // namespace vrd4::app::test
