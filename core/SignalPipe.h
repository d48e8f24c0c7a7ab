#pragma once
// Turns POSIX signals into calls on the GUI thread. The signal handler only
// writes the signal number into a pipe; a socket notifier reads it whenever
// Qt events are processed (the timer loop processes them every tick), so the
// reaction runs in ordinary code, never inside the handler.
//
// One instance per process at a time (the handler needs a process-wide pipe).
// Needs a QCoreApplication. The previous dispositions come back on destruction.
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace vrd4::core {

class SignalPipe {
 public:
  using Handler = std::function<void(int signo)>;
  // Throws std::runtime_error when the pipe or a handler cannot be set up or
  // another instance exists.
  SignalPipe(const std::vector<int>& signale, Handler handler);
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

 private:
  void drain();
  void restore();

  int fds_[2] = {-1, -1};
  std::vector<std::pair<int, struct sigaction>> previous_;
  std::unique_ptr<QSocketNotifier> notifier_;
  Handler handler_;
};

}  // namespace vrd4::core
