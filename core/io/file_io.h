// Whole-file reads and safe writes of local files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <vector>

namespace trellune {

// A local file could not be read or written; what() names the file and the reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);

// The first `maxBytes` bytes of a file (all of it when shorter), for formats that can use no
// more than that: a huge file is never loaded whole.
std::vector<std::uint8_t> ReadFilePrefix(const std::filesystem::path& path, std::size_t maxBytes);

// The size of a file; FileError when it cannot be found.
std::uint64_t FileSize(const std::filesystem::path& path);

// Writes to a temporary file beside the target and renames it over the target only when
// every byte was written, so a failed write never leaves a damaged file behind.
void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace trellune
