#include "platform/MessageBox.h"

#include <cstdio>

#include "platform/Ansi.h"

namespace vrd4::platform {
namespace {
MessageBoxSink* g_sink = nullptr;
}

void setMessageBoxSink(MessageBoxSink* sink) { g_sink = sink; }
MessageBoxSink* messageBoxSink() { return g_sink; }

void showMessageBox(const std::u16string& text, const std::u16string& title, MeldungsStil stil) {
  if (g_sink) {
    g_sink->show(text, title, stil);
    return;
  }
  std::string line = title.empty() ? toUtf8(text) : toUtf8(title) + ": " + toUtf8(text);
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace vrd4::platform
