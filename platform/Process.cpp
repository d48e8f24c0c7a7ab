#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "platform/Gruppe.h"

extern char** environ;

namespace vrd4::platform {
namespace {

// argv[0] of a program fits easily; a longer command line is cut, which
// only ever drops further arguments.
constexpr std::size_t kMaxCmdline = 4096;
constexpr std::size_t kMaxStat = 1024;

std::string readSmallFile(const std::string& path, std::size_t limit) {
  std::string out;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  out.resize(limit);
  std::size_t got = 0;
  while (got < limit) {
    ssize_t n = ::read(fd, out.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  out.resize(got);
  return out;
}

// /proc/<pid>/stat: "pid (comm) S ...". comm may itself hold ")" and blanks,
// so the state is the first character after the last ")".
struct StatInfo {
  std::string comm;
  char state = '?';
};
std::optional<StatInfo> readStat(pid_t pid) {
  std::string s = readSmallFile("/proc/" + std::to_string(pid) + "/stat", kMaxStat);
  auto open = s.find('(');
  auto close = s.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  StatInfo info;
  info.comm = s.substr(open + 1, close - open - 1);
  if (close + 2 < s.size()) info.state = s[close + 2];
  return info;
}

bool isDeadState(char state) { return state == 'Z' || state == 'X' || state == 'x'; }

bool allDigits(const char* s) {
  if (!*s) return false;
  for (; *s; ++s)
    if (*s < '0' || *s > '9') return false;
  return true;
}

// Name of one process, or nullopt when it is gone or already dead (a zombie
// has an empty command line and would otherwise show up under its comm).
std::optional<std::string> exeNameOf(pid_t pid) {
  std::string cmd = readSmallFile("/proc/" + std::to_string(pid) + "/cmdline", kMaxCmdline);
  auto nul = cmd.find('\0');
  if (nul != std::string::npos) cmd.resize(nul);
  if (!cmd.empty()) return exeNameFromArgv0(cmd);
  auto st = readStat(pid);
  if (!st || isDeadState(st->state)) return std::nullopt;
  return st->comm;
}

template <typename Visit>
void walkProc(Visit&& visit) {
  DIR* dir = ::opendir("/proc");
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    if (!allDigits(e->d_name)) continue;
    long v = std::strtol(e->d_name, nullptr, 10);
    if (v <= 0 || v > 0x7fffffff) continue;
    pid_t pid = static_cast<pid_t>(v);
    auto name = exeNameOf(pid);
    if (!name) continue;
    if (!visit(ProcessEntry{pid, std::move(*name)})) break;
  }
  ::closedir(dir);
}

bool isZombieOrGone(pid_t pid) {
  auto st = readStat(pid);
  return !st || isDeadState(st->state);
}

bool inGroup(const char* name, const std::vector<gid_t>& groups) {
  std::vector<char> buf(16384);
  group gr{};
  group* res = nullptr;
  if (::getgrnam_r(name, &gr, buf.data(), buf.size(), &res) != 0 || !res) return false;
  return std::find(groups.begin(), groups.end(), res->gr_gid) != groups.end();
}

}  // namespace

std::string exeNameFromArgv0(const std::string& argv0) {
  auto p = argv0.find_last_of("/\\");
  return p == std::string::npos ? argv0 : argv0.substr(p + 1);
}

bool exeNameMatches(const std::string& name, const std::string& targetUpper) {
  if (name.size() < targetUpper.size()) return false;
  for (std::size_t i = 0; i < targetUpper.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (static_cast<char>(std::toupper(c)) != targetUpper[i]) return false;
  }
  return true;
}

std::vector<ProcessEntry> processList() {
  std::vector<ProcessEntry> out;
  walkProc([&](ProcessEntry&& e) {
    out.push_back(std::move(e));
    return true;
  });
  return out;
}

std::optional<ProcessEntry> findProcess(const std::function<bool(const ProcessEntry&)>& match) {
  std::optional<ProcessEntry> found;
  walkProc([&](ProcessEntry&& e) {
    if (!match(e)) return true;
    found = std::move(e);
    return false;
  });
  return found;
}

std::optional<ProcessEntry> processEntry(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  auto name = exeNameOf(pid);
  if (!name) return std::nullopt;
  return ProcessEntry{pid, std::move(*name)};
}

bool processAlive(pid_t pid) {
  if (pid <= 0) return false;
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  return !isZombieOrGone(pid);
}

std::string programFolder() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  buf.resize(static_cast<std::size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (buf.size() > kDeleted.size() && buf.ends_with(kDeleted)) buf.resize(buf.size() - kDeleted.size());
  auto slash = buf.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  buf.resize(slash);
  return buf;
}

bool isUserAnAdmin() {
  if (::geteuid() == 0) return true;
  int n = ::getgroups(0, nullptr);
  if (n < 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(n) + 1);
  n = ::getgroups(n, groups.data());
  if (n < 0) return false;
  groups.resize(static_cast<std::size_t>(n));
  groups.push_back(::getegid());
  return inGroup(kTafelGruppe, groups);
}

namespace {

// The started program's stdout and stderr: the log file when it can be ours,
// else /dev/null. -1 only when not even /dev/null opens.
int ausgabeOeffnen(const std::string& logPath) {
  if (!logPath.empty()) {
    int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    struct stat st{};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        ::ftruncate(fd, 0) == 0)
      return fd;
    if (fd >= 0) ::close(fd);
  }
  return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
}

}  // namespace

std::vector<std::string> processArguments(pid_t pid) {
  std::vector<std::string> args;
  if (pid <= 0) return args;
  const std::string cmd = readSmallFile("/proc/" + std::to_string(pid) + "/cmdline", kMaxCmdline);
  std::size_t pos = cmd.find('\0');
  if (pos == std::string::npos) return args;
  for (++pos; pos < cmd.size();) {
    std::size_t ende = cmd.find('\0', pos);
    if (ende == std::string::npos) ende = cmd.size();
    args.push_back(cmd.substr(pos, ende - pos));
    pos = ende + 1;
  }
  return args;
}

std::optional<pid_t> startDetached(const std::string& path, const std::vector<std::string>& args,
                                   const std::string& logPath) {
  if (path.empty()) return std::nullopt;
  const int ausgabe = ausgabeOeffnen(logPath);
  struct AusgabeSchliessen {
    int fd;
    ~AusgabeSchliessen() {
      if (fd >= 0) ::close(fd);
    }
  } schliessen{ausgabe};
  // Everything the children need is prepared here: after fork only
  // async-signal-safe calls are allowed (the caller may have threads).
  std::vector<std::string> texte;
  texte.reserve(args.size() + 1);
  texte.push_back(path);
  texte.insert(texte.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& t : texte) argv.push_back(t.data());
  argv.push_back(nullptr);
  // The receiver is a process of its own, not part of the caller's service:
  // systemd's readiness and watchdog variables stay with the caller, or the
  // receiver's "ready" would reach the caller's unit.
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) {
    std::string_view v(*e);
    if (v.starts_with("NOTIFY_SOCKET=") || v.starts_with("WATCHDOG_PID=") ||
        v.starts_with("WATCHDOG_USEC=") || v.starts_with("JOURNAL_STREAM="))
      continue;
    envp.push_back(*e);
  }
  envp.push_back(nullptr);
  long maxFd = ::sysconf(_SC_OPEN_MAX);
  if (maxFd < 0 || maxFd > 65536) maxFd = 65536;

  // The pipe tells the caller the grandchild's pid (from the middle child)
  // and, if exec fails, its errno (from the grandchild); a successful exec
  // closes it (O_CLOEXEC), so EOF without an error record means "started".
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  struct Record {
    int32_t tag;  // 'P' pid, 'E' errno
    int32_t value;
  };

  pid_t middle = ::fork();
  if (middle < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return std::nullopt;
  }
  if (middle == 0) {
    ::close(fds[0]);
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::setsid();
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      struct sigaction dfl{};
      dfl.sa_handler = SIG_DFL;
      for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP) ::sigaction(s, &dfl, nullptr);
      int devnull = ::open("/dev/null", O_RDONLY);
      if (devnull >= 0) {
        ::dup2(devnull, 0);
        if (devnull != 0) ::close(devnull);
      }
      if (ausgabe >= 0) {
        ::dup2(ausgabe, 1);
        ::dup2(ausgabe, 2);
        ::fcntl(1, F_SETFD, 0);  // dup2 onto itself would keep close-on-exec
        ::fcntl(2, F_SETFD, 0);
      } else {
        ::close(1);
        ::close(2);
      }
      // No descriptor of the caller leaks into the receiver (a leaked lock
      // or socket would outlive the caller).
      if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0)
        for (int fd = 3; fd < maxFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::execve(argv[0], argv.data(), envp.data());
      Record r{'E', errno};
      ssize_t ignored = ::write(fds[1], &r, sizeof r);
      (void)ignored;
      ::_exit(127);
    }
    Record r = grandchild > 0 ? Record{'P', static_cast<int32_t>(grandchild)} : Record{'E', errno};
    ssize_t ignored = ::write(fds[1], &r, sizeof r);
    (void)ignored;
    ::_exit(0);
  }

  ::close(fds[1]);
  // The middle child ends at once; reaping it here leaves no zombie, and the
  // grandchild belongs to init (or a subreaper) from now on.
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  pid_t pid = 0;
  bool failed = false;
  for (;;) {
    Record r{};
    ssize_t n = ::read(fds[0], &r, sizeof r);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof r)) break;
    if (r.tag == 'P') pid = r.value;
    if (r.tag == 'E') failed = true;
  }
  ::close(fds[0]);
  if (failed || pid <= 0) return std::nullopt;
  return pid;
}

bool terminateProcess(pid_t pid, int graceMs) {
  // kill(0) and kill(-1) would hit whole groups; never do that.
  if (pid <= 0 || pid == ::getpid()) return false;
  auto gone = [pid] {
    int st = 0;
    // Reaps it when it is our own child; harmless (ECHILD) otherwise.
    if (::waitpid(pid, &st, WNOHANG) == pid) return true;
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    return isZombieOrGone(pid);
  };
  if (::kill(pid, SIGTERM) != 0) return errno == ESRCH;
  using namespace std::chrono;
  auto waitUntilGone = [&](int ms) {
    auto end = steady_clock::now() + milliseconds(std::max(ms, 0));
    for (;;) {
      if (gone()) return true;
      if (steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(milliseconds(5));
    }
  };
  if (waitUntilGone(graceMs)) return true;
  ::kill(pid, SIGKILL);
  return waitUntilGone(2000);
}

}  // namespace vrd4::platform
