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

// The size of a regular file; nullopt for anything else or when it cannot
// be asked (never opens the file).
std::optional<std::uint64_t> regularFileSize(const std::string& path);

// Why readWholeFile gave nothing: zuGross with the file's size when it is
// larger than maxBytes; otherwise it could not be opened or read.
struct Lesefehler {
  bool zuGross = false;
  std::uint64_t groesse = 0;
};

// The whole file, or nullopt when it cannot be opened or read, is no regular
// file (a folder, FIFO, device or socket: refused at once, never waited
// for), or is larger than maxBytes (then nothing is read); *fehler (when
// given) says which.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path,
                                                  std::uint64_t maxBytes = 256ull << 20,
                                                  Lesefehler* fehler = nullptr);

}  // namespace vrd4::platform
