#pragma once
// Shows the system's message boxes as modal Qt dialogs with one OK button.
// A box without a title of its own carries the application's name.
#include "platform/MessageBox.h"

namespace vrd4::app {

class GuiMessageBox final : public platform::MessageBoxSink {
 public:
  void show(const std::u16string& text, const std::u16string& title) override;
};

}  // namespace vrd4::app
