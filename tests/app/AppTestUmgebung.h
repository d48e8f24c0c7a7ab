#pragma once
// Shared pieces of the window tests: a QApplication per binary, a desktop
// fake, a clock moved by hand and a loaded window over a channel of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <stdexcept>

#include "core/Desktop.h"
#include "app/FrmVRD4Empfaenger.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Surface.h"
#include "tests/TestHilfe.h"

namespace vrd4::app::test {

namespace x11 = platform::x11;
namespace gv = channel::modVRD4GlobaleVariablen;

// For each test binary: a channel of its own and the QApplication.
inline auto* const g_umgebung = ::testing::AddGlobalTestEnvironment(new vrd4::test::AnwendungMitKanal<QApplication>("t_app_"));

class HandUhr final : public platform::Clock {
 public:
  double seconds() const override { return t; }
  double t = 1000.0;
};

// Records what the window asks of the desktop.
class FakeDesktop final : public core::Desktop {
 public:
  bool setWindowText(x11::WindowId w, const std::u16string& t) override { titel.emplace_back(w, t); return true; }
  bool activateWindow(x11::WindowId w) override { aktiviert.push_back(w); return true; }
  std::optional<x11::FoundWindow> findDisplayWindow() override { return anzeige; }
  bool reparent(x11::WindowId, x11::WindowId parent) override { return umgehaengt.push_back(parent), parent != 0; }
  bool pelmorPlayerAktiv() override { return player; }
  std::optional<x11::Rect> windowRect(x11::WindowId) override { return std::nullopt; }
  bool fensterLebt(x11::WindowId) override { return lebt; }
  bool fenstermanagerKannVollbild() override { return false; }
  bool bildschirmLesbar() override { return true; }

  std::vector<std::pair<x11::WindowId, std::u16string>> titel;
  std::vector<x11::WindowId> aktiviert, umgehaengt;
  bool player = false, lebt = true;
  std::optional<x11::FoundWindow> anzeige;
};

// Catches the message boxes while it lives.
class MeldungsRecorder final : public platform::MessageBoxSink {
 public:
  MeldungsRecorder() { platform::setMessageBoxSink(this); }
  ~MeldungsRecorder() override { platform::setMessageBoxSink(nullptr); }
  void show(const std::u16string& text, const std::u16string&, platform::MeldungsStil) override { texte.push_back(text); }
  std::vector<std::u16string> texte;
};

using vrd4::test::befehl;

// A loaded window in a fresh program folder, on the fake desktop.
class FensterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    laden(ordner.path().toStdString());
  }
  // (Re)creates and loads the window.
  void laden(std::string programmOrdner) {
    frm.reset();
    Umgebung u{&uhr, &desktop, std::move(programmOrdner),
               [this](int32_t ms) {
                 // A tick loop that does not end fails the test instead of hanging it.
                 if (schlaefe.push_back(ms); schlaefe.size() > 1000) throw std::runtime_error("the tick loop does not end");
               }};
    frm = std::make_unique<FrmVRD4Empfaenger>(u);
    frm->Form_Load();
  }
  template <typename T>
  T* ctl(const char* name) {
    T* w = frm->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void tick() { frm->TimerVRD4Empfang_Timer(); }
  platform::Surface& board() { return frm->tafel().surface(); }
  static std::u16string event() { return gv::clsVRD4Event().GetMemory(); }
  // As a sending program writes: the slot, then the counter.
  void senden(const std::u16string& text) {
    gv::Sendetexte(gesendet).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(QString::number(gesendet++).toStdU16String());
  }

  QTemporaryDir ordner;
  HandUhr uhr;
  FakeDesktop desktop;
  std::vector<int32_t> schlaefe;
  int gesendet = 0;
  std::unique_ptr<FrmVRD4Empfaenger> frm;
};

}  // namespace vrd4::app::test
