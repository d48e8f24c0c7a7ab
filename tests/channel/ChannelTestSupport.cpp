#include "ChannelTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "channel/modVRD4Mutex.h"

namespace vrd4::channel::test {
namespace {

constexpr int kReadTimeoutMs = 10000;

pid_t spawn(const std::string& program, const std::vector<std::string>& args, int in[2],
            int out[2], int err[2]) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    if (err) ::dup2(err[1], 2);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

}  // namespace

void ChannelTest::SetUp() {
  static int counter = 0;
  prefix_ = "t_channel_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_";
  setChannelNamePrefix(prefix_);
  platform::setMessageBoxSink(&boxes);
}

void ChannelTest::TearDown() {
  modVRD4GlobaleVariablen::SpeichervariablenFreigeben();
  modVRD4Mutex::MutexSchliessen();
  modVRD4GlobaleVariablen::removeChannelObjects();
  // and whatever single objects the test made under its prefix
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
    if (e.path().filename().string().rfind(prefix_, 0) == 0) std::filesystem::remove(e.path(), ec);
  platform::setMessageBoxSink(nullptr);
}

std::string binPath(const std::string& name) { return std::string(VRD4_BIN_DIR) + "/" + name; }

std::vector<std::string> helperArgs(const std::string& prefix) { return {"--prefix", prefix}; }

Child::Child(const std::string& program, const std::vector<std::string>& args) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  pid_ = spawn(program, args, in, out, nullptr);
  ::close(in[0]);
  ::close(out[1]);
  in_ = in[1];
  out_ = out[0];
}

Child::~Child() {
  kill();
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

void Child::send(const std::string& line) {
  const std::string l = line + "\n";
  std::size_t done = 0;
  while (done < l.size()) {
    const ssize_t n = ::write(in_, l.data() + done, l.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += std::size_t(n);
  }
}

std::string Child::readLine() {
  for (;;) {
    const auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    pollfd p{out_, POLLIN, 0};
    const int r = ::poll(&p, 1, kReadTimeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) return "<timeout>";
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "<eof>";
    buffer_.append(buf, std::size_t(n));
  }
}

void Child::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

int Child::finish() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
  if (pid_ <= 0) return -1;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunResult run(const std::string& program, const std::vector<std::string>& args) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
      ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  const pid_t pid = spawn(program, args, in, out, err);
  ::close(in[0]);
  ::close(in[1]);
  ::close(out[1]);
  ::close(err[1]);
  RunResult r;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open = 2;
  while (open > 0) {
    const int n = ::poll(fds, 2, kReadTimeoutMs);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::kill(pid, SIGKILL);  // stuck: do not hang the test run
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, std::size_t(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace vrd4::channel::test
