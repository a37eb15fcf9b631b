#include "io/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace trellune {
namespace {

std::string Reason() { return errno ? std::strerror(errno) : "unknown error"; }

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  errno = 0;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw FileError("Cannot read " + path.string() + ": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("Cannot open " + path.string() + ": " + Reason());
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError("Cannot read " + path.string() + ": " + Reason());
  return bytes;
}

void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  static std::atomic<unsigned> counter{0};
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
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw FileError("Cannot write " + path.string() + ": " + ec.message());
  }
}

}  // namespace trellune
