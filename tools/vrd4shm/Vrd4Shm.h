#pragma once
// The work of vrd4shm, apart from main() so that tests can drive it.
#include <iosfwd>
#include <string>
#include <vector>

namespace vrd4::tools {

enum ExitCode { kOk = 0, kUnknownName = 1, kUsage = 2, kChannelFailure = 3 };

// Runs one command line (without the program name); output as UTF-8.
int runVrd4Shm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A text for one line of a terminal: C0 controls and DEL as their control
// pictures (ESC as U+241B), cut after maxUnits code units with a note of the
// full length.
std::u16string visible(const std::u16string& text, std::size_t maxUnits);

}  // namespace vrd4::tools
