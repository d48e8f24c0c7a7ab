#pragma once
// Shared pieces of the channel tests: a fixture with a name prefix of its own
// per test (so tests never meet each other or a running receiver), a recorder
// for message boxes, and a child process driven line by line over pipes.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace vrd4::channel::test {

class RecordingMessageBoxes : public platform::MessageBoxSink {
 public:
  void show(const std::u16string& text, const std::u16string&) override { texts.push_back(text); }
  std::vector<std::u16string> texts;
};

// Every test gets the prefix "t_channel_<pid>_<n>_" and leaves nothing behind:
// the set is released, the lock file closed and all objects removed.
class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  const std::string& prefix() const { return prefix_; }

  RecordingMessageBoxes boxes;

 private:
  std::string prefix_;
};

// A child process started from build/bin with stdin/stdout on pipes. The
// destructor kills it (SIGKILL) if it still runs and reaps it.
class Child {
 public:
  Child(const std::string& program, const std::vector<std::string>& args);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // One line to its stdin; the next line from its stdout (without the line
  // end), "<timeout>" after 10 s or "<eof>".
  void send(const std::string& line);
  std::string readLine();
  std::string ask(const std::string& line) {
    send(line);
    return readLine();
  }
  // SIGKILL and wait until it is gone.
  void kill();
  // Closes its stdin and waits for its exit code (-1 when killed).
  int finish();

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// Runs a program to its end: exit code and everything it wrote to stdout.
struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
RunResult run(const std::string& program, const std::vector<std::string>& args);

std::string binPath(const std::string& name);

// The channel_helper process for this test's prefix.
std::vector<std::string> helperArgs(const std::string& prefix);

}  // namespace vrd4::channel::test
