#pragma once
// Processes: the process list (/proc), the program folder, rights, start and
// end of a process.
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vrd4::platform {

struct ProcessEntry {
  pid_t pid = 0;
  // The executable name: the last component of argv[0], "/" or "\" as
  // separator (programs under a Windows compatibility layer count).
  std::string exeName;
};

// All processes the caller can see. Empty when /proc cannot be read.
std::vector<ProcessEntry> processList();

// The first process (in /proc order) for which match is true; stops there.
// Dead processes (zombies) are never offered.
std::optional<ProcessEntry> findProcess(const std::function<bool(const ProcessEntry&)>& match);

// The entry of one process; nullopt when it is gone or has ended.
std::optional<ProcessEntry> processEntry(pid_t pid);

// True while pid names a process that has not ended (a zombie has ended).
bool processAlive(pid_t pid);

// Last component of an argv[0]-like text, "/" and "\" as separators.
std::string exeNameFromArgv0(const std::string& argv0);

// True when name, cut to the length of target and upper-cased, equals target
// (upper case). So "VRD4Empfaenger" and "VRD4EMPFAENGER.EXE" match
// "VRD4EMPFAENGER" … as the running-receiver test wants.
bool exeNameMatches(const std::string& name, const std::string& targetUpper);

// The folder of /proc/self/exe, without trailing "/".
std::string programFolder();

// Effective user id 0, or member of the operators' group "vrd4" (Gruppe.h);
// a board account needs no sudo.
bool isUserAnAdmin();

// Starts path detached, with the caller's environment and the given
// arguments (after argv[0] = path): in a session of its own (a Ctrl-C in the
// caller's terminal does not reach it), not our child, and with no
// descriptor of ours - stdin from /dev/null, stdout and stderr into logPath
// (created 0600 or emptied; a symlink or a file of another user is not used)
// or /dev/null when that fails or logPath is empty, so that a caller's pipe
// or $(...) ends when the caller ends. Returns the pid, or nullopt.
std::optional<pid_t> startDetached(const std::string& path, const std::vector<std::string>& args = {},
                                   const std::string& logPath = {});
// The command-line arguments of a process after argv[0] (from the first
// 4 KiB of its command line); empty when it is gone or has none.
std::vector<std::string> processArguments(pid_t pid);

// SIGTERM, then SIGKILL when the process has not ended after graceMs.
// True when it is gone.
bool terminateProcess(pid_t pid, int graceMs = 2000);

}  // namespace vrd4::platform
