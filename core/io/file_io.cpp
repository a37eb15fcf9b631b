#include "io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

[[noreturn]] void WriteFailed(const std::filesystem::path& path, int error) {
  throw FileError("Cannot write " + path.string() + ": " + std::strerror(error ? error : EIO));
}

// Writes every byte to an open descriptor; 0, or the errno of the failure.
int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  const std::uint8_t* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= std::size_t(n);
  }
  return 0;
}

// Devices and pipes (/dev/stdout, a FIFO) cannot be replaced by renaming: they are written
// in place, through the path as given so that /dev/stdout reaches the pipe it stands for.
void WriteDirectly(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_APPEND);
  if (fd < 0) WriteFailed(path, errno);
  const int error = WriteAll(fd, bytes);
  ::close(fd);
  if (error) WriteFailed(path, error);
}

// The file a path names once its links are followed; a link whose target does not exist yet
// names that target, so the file is made where the link points and the link stays.
std::filesystem::path FollowLinks(const std::filesystem::path& target) {
  std::error_code ec;
  std::filesystem::path path = target;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(path, ec); ++hops) {
    std::filesystem::path next = std::filesystem::read_symlink(path, ec);
    if (ec) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

// The permission bits a new file gets: 0666 less the process's umask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  std::error_code ec;
  const auto shown = std::filesystem::status(target, ec);
  if (std::filesystem::is_directory(shown))
    throw FileError("Cannot write " + target.string() + ": it is a folder");
  // The names of an open descriptor (standard output) are written in place even when the
  // descriptor is a regular file: the file the shell opened must receive the bytes.
  const std::string given = target.string();
  const bool descriptor = given == "/dev/stdout" || given == "/dev/stderr" ||
                          given.starts_with("/dev/fd/") || given.starts_with("/proc/self/fd/");
  if (descriptor || (std::filesystem::exists(shown) && !std::filesystem::is_regular_file(shown)))
    return WriteDirectly(target, bytes);

  const std::filesystem::path path = FollowLinks(target);
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  // The temporary file is made exclusively under a fresh short name, so no planted file or
  // link is ever written through, and a long target name never makes a too-long one.
  std::string name = (dir / ".trellune-XXXXXX").string();
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) WriteFailed(path, errno);
  const std::filesystem::path temp = name;
  auto fail = [&](int error) {
    ::close(fd);
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    WriteFailed(path, error);
  };
  // A replaced file keeps its permission bits (and its owner, where that is allowed).
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) {
    if (::fchmod(fd, old.st_mode & 07777) != 0) fail(errno);
    [[maybe_unused]] int ignored = ::fchown(fd, old.st_uid, old.st_gid);
  } else if (::fchmod(fd, NewFileMode()) != 0) {
    fail(errno);
  }
  if (const int error = WriteAll(fd, bytes)) fail(error);
  // The data is on the disk before the name points at it.
  if (::fsync(fd) != 0) fail(errno);
  if (::close(fd) != 0) {
    const int error = errno;
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    WriteFailed(path, error);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    WriteFailed(path, error);
  }
  // And so is the new name.
  if (const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace trellune
