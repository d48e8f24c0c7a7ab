#pragma once
// File tests and reading, for picture files and the receiver's executable.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrd4::platform {

// True when the size of the file at path can be read without error and it
// is not a folder (the public test for picture files).
bool fileExists(const std::string& path);

// The whole file, or nullopt when it cannot be opened or read, is no regular
// file (a folder, FIFO, device or socket: refused at once, never waited
// for), or is larger than maxBytes (then nothing is read).
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path,
                                                  std::uint64_t maxBytes = 256ull << 20);

}  // namespace vrd4::platform
