// The overview server vrd4halle as a process of the test: started on a free
// port it picks itself (--http 0, read from its first line of output),
// ended with the object.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace vrd4::e2e {

class Vrd4halle {
 public:
  explicit Vrd4halle(std::vector<std::string> args) {
    args.insert(args.begin(), VRD4_BIN_DIR "/vrd4halle");
    args.insert(args.end(), {"--http", "0"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rohr[2];
    if (::pipe(rohr) != 0) return;
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_adddup2(&aktionen, rohr[1], 1);
    posix_spawn_file_actions_addclose(&aktionen, rohr[0]);
    const int rc = ::posix_spawn(&pid_, argv[0], &aktionen, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&aktionen);
    ::close(rohr[1]);
    if (rc != 0) {
      ::close(rohr[0]);
      pid_ = -1;
      return;
    }
    // "vrd4halle: Halle H auf http://127.0.0.1:PORT/"
    std::FILE* aus = ::fdopen(rohr[0], "r");
    char zeile[256] = {};
    if (std::fgets(zeile, sizeof zeile, aus)) {
      const std::string z = zeile;
      const auto a = z.find("http://");
      if (a != std::string::npos) url_ = z.substr(a, z.find('/', a + 7) + 1 - a);
    }
    std::fclose(aus);
  }
  ~Vrd4halle() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Vrd4halle(const Vrd4halle&) = delete;
  Vrd4halle& operator=(const Vrd4halle&) = delete;

  // http://127.0.0.1:PORT/, empty when it did not come up.
  const std::string& url() const { return url_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string url_;
};

}  // namespace vrd4::e2e
