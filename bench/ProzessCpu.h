#pragma once
// CPU time of another process, for the benchmarks that start the real
// receiver and report its share of a core.
#include <sys/types.h>
#include <time.h>

namespace vrd4::bench {

// CPU time of process pid in seconds, all its threads (ended ones too), to
// the nanosecond from the kernel's clock for the process (utime + stime in
// /proc/<pid>/stat count only 10 ms ticks); -1 when the process is gone.
inline double cpuSekunden(pid_t pid) {
  clockid_t uhr{};
  timespec ts{};
  if (clock_getcpuclockid(pid, &uhr) != 0 || clock_gettime(uhr, &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace vrd4::bench
