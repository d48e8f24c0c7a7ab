#pragma once
// CPU time of another process, for the benchmarks that start the real
// receiver and report its share of a core.
#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace vrd4::bench {

// utime + stime in clock ticks from a stat file of /proc (a process's or
// one thread's); -1 when it cannot be read.
inline long long statTicks(const std::string& datei) {
  std::ifstream in(datei);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold blanks; the fields count from after it.
  const auto zu = s.rfind(')');
  if (zu == std::string::npos) return -1;
  std::istringstream rest(s.substr(zu + 2));
  std::string feld;
  long long utime = 0, stime = 0;
  for (int nr = 3; nr <= 15 && rest >> feld; ++nr) {
    if (nr == 14) utime = std::stoll(feld);
    if (nr == 15) stime = std::stoll(feld);
  }
  return utime + stime;
}

// CPU time of process pid in seconds; -1 when the process is gone. The
// threads that run are counted to the nanosecond (the scheduler's run time,
// /proc/<pid>/task/*/schedstat): utime + stime count whole clock ticks
// (10 ms), too coarse for a share of a few percent. Threads that ended are
// counted in ticks (what the process's total holds beyond its live threads).
inline double cpuSekunden(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  const long long gesamt = statTicks(proc + "/stat");
  DIR* dir = opendir((proc + "/task").c_str());
  if (gesamt < 0 || !dir) {
    if (dir) closedir(dir);
    return -1;
  }
  long long lebendeTicks = 0;
  unsigned long long ns = 0;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string t = proc + "/task/" + e->d_name;
    std::ifstream in(t + "/schedstat");
    unsigned long long laufzeit = 0;
    const long long ticks = statTicks(t + "/stat");
    if (!(in >> laufzeit) || ticks < 0) continue;  // ended meanwhile: counted in ticks
    ns += laufzeit;
    lebendeTicks += ticks;
  }
  closedir(dir);
  return double(ns) / 1e9 + double(std::max(gesamt - lebendeTicks, 0LL)) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace vrd4::bench
