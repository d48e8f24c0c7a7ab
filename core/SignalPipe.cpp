#include "core/SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <stdexcept>

namespace vrd4::core {
namespace {

volatile sig_atomic_t g_writeFd = -1;

extern "C" void onSignal(int signo) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signo);
  // A full pipe drops the byte: enough of them are already waiting.
  if (g_writeFd >= 0) (void)!write(g_writeFd, &byte, 1);
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe(const std::vector<int>& signale, Handler handler)
    : handler_(std::move(handler)) {
  if (g_writeFd >= 0) throw std::runtime_error("SignalPipe: es gibt schon eine");
  if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("SignalPipe: pipe2");
  g_writeFd = fds_[1];
  notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
  for (int signo : signale) {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    struct sigaction old {};
    if (sigaction(signo, &sa, &old) != 0) {
      restore();
      throw std::runtime_error("SignalPipe: sigaction");
    }
    previous_.emplace_back(signo, old);
  }
}

SignalPipe::~SignalPipe() { restore(); }

void SignalPipe::restore() {
  for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) sigaction(it->first, &it->second, nullptr);
  previous_.clear();
  notifier_.reset();
  g_writeFd = -1;
  for (int& fd : fds_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void SignalPipe::drain() {
  unsigned char buf[64];
  for (;;) {
    const ssize_t n = read(fds_[0], buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (handler_) handler_(buf[i]);
    }
  }
}

}  // namespace vrd4::core
