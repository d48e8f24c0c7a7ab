#pragma once
// CPU time of another process, for the benchmarks that start the real
// receiver and report its share of a core.
#include <sys/types.h>
#include <time.h>

#include <fstream>
#include <string>

namespace vrd4::bench {

// CPU time of process pid in seconds, to the nanosecond (utime + stime in
// /proc/<pid>/stat count only 10 ms ticks); -1 when the process is gone.
// All its threads, ended ones too, from the kernel's clock for the process;
// nurHauptthread: only its main (the GUI) thread's, from its schedstat.
inline double cpuSekunden(pid_t pid, bool nurHauptthread = false) {
  if (nurHauptthread) {
    const std::string p = std::to_string(pid);
    std::ifstream in("/proc/" + p + "/task/" + p + "/schedstat");
    unsigned long long ns = 0;
    return in >> ns ? static_cast<double>(ns) * 1e-9 : -1;
  }
  clockid_t uhr{};
  timespec ts{};
  if (clock_getcpuclockid(pid, &uhr) != 0 || clock_gettime(uhr, &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace vrd4::bench
