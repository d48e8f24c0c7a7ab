#pragma once
// Shows the system's message boxes as Qt dialogs with one OK button, the
// exclamation icon when the box warns. A box without a title of its own
// carries the application's name.
//
// A box that does not wait (every box but the start-up refusals) is
// non-modal: it belongs to the owner window, comes to the foreground, and
// closes itself after kSelbstSchliessenMs; show() returns at once, so the
// polling loop, the ring and every connection go on while it is open.
// A waiting box is modal and returns when confirmed.
#include <QPointer>
#include <QWidget>

#include "platform/MessageBox.h"

namespace vrd4::app {

class GuiMessageBox final : public platform::MessageBoxSink {
 public:
  static constexpr int kSelbstSchliessenMs = 30'000;

  // The window the non-modal boxes belong to (nullptr: none); its open
  // boxes go with it.
  void besitzerSetzen(QWidget* besitzer) { besitzer_ = besitzer; }
  void show(const std::u16string& text, const std::u16string& title, platform::MeldungsStil stil) override;

 private:
  QPointer<QWidget> besitzer_;
};

}  // namespace vrd4::app
