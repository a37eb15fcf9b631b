#include "io/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>

namespace trellune {
namespace {

std::string Reason() {
  return errno ? std::strerror(errno) : "unknown error";
}

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  return ReadFilePrefix(path, std::numeric_limits<std::size_t>::max());
}

std::vector<std::uint8_t> ReadFilePrefix(const std::filesystem::path& path, std::size_t maxBytes) {
  errno = 0;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw FileError("Cannot read " + path.string() + ": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("Cannot open " + path.string() + ": " + Reason());
  std::vector<std::uint8_t> bytes;
  char chunk[65536];
  while (bytes.size() < maxBytes && in) {
    in.read(chunk, std::streamsize(std::min<std::size_t>(sizeof chunk, maxBytes - bytes.size())));
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
  }
  if (in.bad()) throw FileError("Cannot read " + path.string() + ": " + Reason());
  return bytes;
}

std::uint64_t FileSize(const std::filesystem::path& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw FileError("Cannot open " + path.string() + ": " + ec.message());
  return size;
}

namespace {

void WriteDirectly(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  errno = 0;
  std::ofstream out(path, std::ios::binary);
  if (!out) throw FileError("Cannot write " + path.string() + ": " + Reason());
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.flush();
  if (!out) throw FileError("Cannot write " + path.string() + ": " + Reason());
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  // A link is followed, so the file it names is replaced and the link stays.
  std::filesystem::path path = target;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(path, ec); ++hops) {
    std::filesystem::path next = std::filesystem::read_symlink(path, ec);
    if (ec) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  const auto status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status))
    throw FileError("Cannot write " + target.string() + ": it is a folder");
  // Devices and pipes (/dev/stdout, a FIFO) cannot be replaced by renaming; write to them.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return WriteDirectly(path, bytes);
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  const std::filesystem::path temp =
      dir / ("." + path.filename().string() + ".tmp" + std::to_string(counter++));
  errno = 0;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw FileError("Cannot write " + path.string() + ": " + Reason());
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.flush();
    if (!out) {
      std::string reason = Reason();
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw FileError("Cannot write " + path.string() + ": " + reason);
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw FileError("Cannot write " + path.string() + ": " + ec.message());
  }
}

}  // namespace trellune
