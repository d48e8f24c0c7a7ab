#pragma once
// Message boxes of the channel, the start-up and the sender go through this
// one interface: the receiver's window shows them as dialogs, command-line
// tools print them, tests record them. Default (no sink set): the text is
// printed as UTF-8 to standard error, prefixed with its title.
#include <cstdint>
#include <string>

namespace vrd4::platform {

// How a box is shown.
struct MeldungsStil {
  bool warnung = false;  // it warns: exclamation icon
  // Returns only when confirmed. Only for the start-up refusals that end the
  // program: every other box returns at once and holds up nothing.
  bool wartet = false;
  // The X11 window the box belongs to (a sending program's window); 0: the
  // receiver's main window.
  std::uint32_t besitzer = 0;
};

class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;
  // Shows a box with one OK button; returns at once unless stil.wartet.
  virtual void show(const std::u16string& text, const std::u16string& title, MeldungsStil stil) = 0;
};

// Not owned; nullptr restores the default. Process-wide, not thread-safe: set
// it once at start-up (or in a test's set-up) from the main thread.
void setMessageBoxSink(MessageBoxSink* sink);
MessageBoxSink* messageBoxSink();

void showMessageBox(const std::u16string& text, const std::u16string& title = {}, MeldungsStil stil = {});

}  // namespace vrd4::platform
