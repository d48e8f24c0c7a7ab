#pragma once
// What /proc tells of a process beyond the list (Process.h): when it
// started, to tell the older of two, and whether its main thread waits in
// an event loop.
#include <sys/types.h>

#include <optional>

namespace vrd4::platform {

// nullopt when the process is gone or its stat cannot be read.
std::optional<unsigned long long> prozessStart(pid_t pid);

// Whether process a started before process b (the same tick: the lower pid).
// A process whose start cannot be read counts as the younger.
bool aelter(pid_t a, pid_t b);

// Whether the process's main thread sleeps in poll() or epoll_wait() now
// (/proc/<pid>/wchan), as an event loop between two rounds does. nullopt
// when that cannot be told (another user's process, a kernel that hides
// it).
std::optional<bool> wartetInPoll(pid_t pid);

}  // namespace vrd4::platform
