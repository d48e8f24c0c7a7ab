#pragma once
// Message boxes of the channel, the start-up and the sender go through this
// one interface: the receiver's window shows them as dialogs, command-line
// tools print them, tests record them. Default (no sink set): the text is
// printed as UTF-8 to standard error, prefixed with its title.
#include <string>

namespace vrd4::platform {

class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;
  // Blocks until the user has confirmed (one OK button).
  virtual void show(const std::u16string& text, const std::u16string& title) = 0;
};

// Not owned; nullptr restores the default. Process-wide, not thread-safe: set
// it once at start-up (or in a test's set-up) from the main thread.
void setMessageBoxSink(MessageBoxSink* sink);
MessageBoxSink* messageBoxSink();

void showMessageBox(const std::u16string& text, const std::u16string& title = {});

}  // namespace vrd4::platform
