#pragma once
// CPU time of another process, for the benchmarks that start the real
// receiver and report its share of a core.
#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace vrd4::bench {

// utime + stime of process pid in seconds, from /proc/<pid>/stat; -1 when
// the process is gone. nurHauptthread: only its main (the GUI) thread's.
inline double cpuSekunden(pid_t pid, bool nurHauptthread = false) {
  const std::string ordner = "/proc/" + std::to_string(pid);
  std::ifstream in(nurHauptthread ? ordner + "/task/" + std::to_string(pid) + "/stat" : ordner + "/stat");
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold blanks; the fields count from after it.
  const auto zu = s.rfind(')');
  if (zu == std::string::npos) return -1;
  std::istringstream rest(s.substr(zu + 2));
  std::string feld;
  unsigned long long utime = 0, stime = 0;
  for (int nr = 3; nr <= 15 && rest >> feld; ++nr) {
    if (nr == 14) utime = std::stoull(feld);
    if (nr == 15) stime = std::stoull(feld);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace vrd4::bench
