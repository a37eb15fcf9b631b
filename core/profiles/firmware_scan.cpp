#include "profiles/firmware_scan.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/file_io.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trellune {
namespace {

constexpr std::size_t kBlock = 65536;
constexpr std::size_t kNameRecord2 = 52;  // records of the second name table
constexpr std::size_t kNameRecord3 = 44;  // records of the third name table

bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}
bool IsUpper(std::uint8_t c) {
  return c >= 'A' && c <= 'Z';
}

bool VersionMarkerAt(const std::uint8_t* p) {
  return std::memcmp(p, "@(#)", 4) == 0 && (p[4] == 'T' || (p[4] == 'R' && IsDigit(p[5])));
}

bool ItemTableAt(const std::uint8_t* p) {
  return std::memcmp(p, "2CLICK", 6) == 0;
}

// Calls `at(p)` for each p below `limit`, in order, where "@(" or "2C" starts, until it
// returns true. The two-byte filter passes about one position in 32,768 of a firmware image,
// so the full checks hardly ever run. data[limit] must be readable.
template <typename At>
void ForEachPairStart(const std::uint8_t* data, std::size_t limit, At at) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i at1 = _mm_set1_epi8('@'), paren = _mm_set1_epi8('(');
  const __m128i two = _mm_set1_epi8('2'), c = _mm_set1_epi8('C');
  auto pairs = [&](const std::uint8_t* p) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    return _mm_or_si128(
        _mm_and_si128(_mm_cmpeq_epi8(first, at1), _mm_cmpeq_epi8(second, paren)),
        _mm_and_si128(_mm_cmpeq_epi8(first, two), _mm_cmpeq_epi8(second, c)));
  };
  for (; i + 32 <= limit; i += 32) {
    const __m128i low = pairs(data + i), high = pairs(data + i + 16);
    if (_mm_movemask_epi8(_mm_or_si128(low, high)) == 0) continue;
    std::uint32_t bits = std::uint32_t(_mm_movemask_epi8(low)) |
                         std::uint32_t(_mm_movemask_epi8(high)) << 16;
    for (; bits; bits &= bits - 1)
      if (at(i + std::size_t(std::countr_zero(bits)))) return;
  }
#endif
  for (; i < limit; ++i)
    if (((data[i] == '@' && data[i + 1] == '(') || (data[i] == '2' && data[i + 1] == 'C')) && at(i))
      return;
}

class Scanner {
 public:
  Scanner(ByteSource& image, const ScanProgress& progress)
      : image_(image), progress_(progress), buffer_(kBlock) {}

  std::string why;

  std::optional<FirmwareProfile> Scan() {
    // One pass finds both the version marker and the first item table, wherever each lies, so
    // the image is read once even when the table comes after the marker.
    if (progress_.show) progress_.show("Scanning CG1");
    bool closed = false;
    std::optional<std::uint64_t> marker, table;
    Stream([&](const std::uint8_t* data, std::size_t limit, std::uint64_t start) {
      const bool hadMarker = marker.has_value();
      ForEachPairStart(data, limit, [&](std::size_t p) {
        if (!marker && data[p] == '@' && VersionMarkerAt(data + p)) marker = start + p;
        if (!table && data[p] == '2' && ItemTableAt(data + p)) table = start + p;
        return marker && table;
      });
      if (!hadMarker) {
        if (marker) {
          if (progress_.close) progress_.close();
          closed = true;
        } else if (progress_.setPercent && image_.Size()) {
          progress_.setPercent(int(std::lround(double(start) / double(image_.Size()) * 100.0)));
        }
      }
      return marker && table;
    });
    if (!closed && progress_.close) progress_.close();
    if (!marker) {
      why = "no version marker (\"@(#)R\" and a digit, or \"@(#)T\") was found in the image";
      return std::nullopt;
    }
    if (!table) {
      why = "no table of menu item kinds (starting at \"2CLICK\") was found in the image";
      return std::nullopt;
    }

    FirmwareProfile profile;
    profile.name = Identifier(*marker + 4);
    if (profile.name.empty()) {
      why = "the version marker is followed by no firmware identifier";
      return std::nullopt;
    }

    std::uint8_t head[20] = {};
    const bool longRecords = image_.ReadAt(*table, head, 20) == 20 && head[19] == 0;
    const std::size_t recordSize = longRecords ? 36 : 20;
    const std::string& id = profile.name;
    const bool code06 = id == "TRIPLETS" || id == "R364" || id == "R372" || id == "R474";
    text_ = "[mma_ucp format]\r\n";
    text_ += std::string(longRecords ? "36" : "22") + " " + (code06 ? "06 " : "0C ") +
             (id == "R3624" ? "1" : "0") + "\r\n";
    text_ += "[mma items]\r\n";

    // First table: records from "2CLICK" while they start with a digit or capital letter.
    const std::uint64_t end = WalkForward(*table, recordSize, IsDigitOrUpper);
    SecondAndThirdTables(end);
    profile.text = std::move(text_);
    return profile;
  }

 private:
  static bool IsDigitOrUpper(std::uint8_t c) { return IsDigit(c) || IsUpper(c); }

  // Streams the image block by block through the one buffer, handing each block to `onBlock`
  // with the number of positions that have the 6 bytes a pattern needs, until it returns true.
  // Each block after the first starts with the last 5 bytes of the one before, so a pattern
  // that spans two blocks is seen too.
  // An image held in memory is walked in place with the same steps, without copying.
  template <typename OnBlock>
  void Stream(OnBlock onBlock) {
    constexpr std::size_t kKeep = 5;
    const std::uint64_t size = image_.Size();
    if (const std::uint8_t* data = image_.Contiguous()) {
      if (size < 6) return;
      for (std::uint64_t start = 0; start + kKeep < size; start += kBlock - kKeep) {
        const std::size_t limit = std::size_t(std::min<std::uint64_t>(kBlock, size - start)) - kKeep;
        if (onBlock(data + start, limit, start)) return;
      }
      return;
    }
    std::uint64_t bufferStart = 0;  // file offset of buffer_[0]
    std::size_t held = 0;
    for (;;) {
      const std::size_t got =
          image_.ReadAt(bufferStart + held, buffer_.data() + held, kBlock - held);
      const std::size_t n = held + got;
      if (got == 0 || n < 6) return;
      if (onBlock(buffer_.data(), n - kKeep, bufferStart)) return;
      if (bufferStart + n >= size) return;
      std::memmove(buffer_.data(), buffer_.data() + n - kKeep, kKeep);
      bufferStart += n - kKeep;
      held = kKeep;
    }
  }

  // The identifier after "@(#)": up to the first "_", or, failing that within the 100 bytes
  // read, the first zero or unprintable byte. It becomes a file name, so a path separator
  // ends it as well.
  std::string Identifier(std::uint64_t offset) {
    std::uint8_t bytes[100];
    const std::size_t got = image_.ReadAt(offset, bytes, sizeof bytes);
    std::string id;
    for (std::size_t i = 0; i < got; ++i) {
      const std::uint8_t c = bytes[i];
      if (c == '_' || c < 0x20 || c >= 0x7F || c == '/' || c == '\\') break;
      id.push_back(char(c));
    }
    return id;
  }

  // Writes the record's bytes up to its first zero (or its end) as one line.
  void WriteName(const std::uint8_t* record, std::size_t length) {
    std::size_t n = 0;
    while (n < length && record[n]) ++n;
    text_.append(reinterpret_cast<const char*>(record), n);
    text_ += "\r\n";
  }

  // Names in records of `size` bytes from `offset` on while their first byte passes `starts`;
  // returns the offset after the last one. Stops at the end of the file.
  template <typename Starts>
  std::uint64_t WalkForward(std::uint64_t offset, std::size_t size, Starts starts) {
    std::vector<std::uint8_t> record(size);
    for (;;) {
      const std::size_t got = image_.ReadAt(offset, record.data(), size);
      if (got == 0 || !starts(record[0])) return offset;
      WriteName(record.data(), got);
      offset += size;
      if (got < size) return offset;
    }
  }

  void SecondAndThirdTables(std::uint64_t e) {
    static constexpr std::uint8_t kEndMarker[7] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::size_t got = image_.ReadAt(e, buffer_.data(), kBlock);
    std::size_t p = 0;
    while (p + 7 <= got && std::memcmp(buffer_.data() + p, kEndMarker, 7) != 0) ++p;
    if (p + 7 > got) return;  // no end marker: the second and third tables are skipped

    // The five bytes before the marker decide the gap between the table and the marker.
    std::uint8_t b[5] = {};
    const std::uint64_t markerAt = e + p;
    if (markerAt >= 5) image_.ReadAt(markerAt - 5, b, 5);
    const std::uint64_t gap = (b[0] == 0 && b[2] == 0 && b[1] == b[4]) ? 12 : 10;
    const std::uint64_t after = markerAt + 7;

    // Second table: 52-byte records walked backwards from just before the gap.
    bool wrote = false;
    std::uint8_t record[kNameRecord2];
    if (after >= gap + kNameRecord2) {
      for (std::uint64_t at = after - gap - kNameRecord2;; at -= kNameRecord2) {
        if (image_.ReadAt(at, record, kNameRecord2) == 0 || !IsUpper(record[0])) break;
        WriteName(record, kNameRecord2);
        wrote = true;
        if (at < kNameRecord2) break;  // the walk stops at the start of the file
      }
    }
    if (wrote) return;

    // Third table: 44-byte records from "Dialed", found at an even offset within 512 bytes.
    std::uint8_t window[512];
    const std::size_t seen = image_.ReadAt(after, window, sizeof window);
    for (std::size_t q = 0; q < 506 && q + 6 <= seen; q += 2)
      if (std::memcmp(window + q, "Dialed", 6) == 0) {
        WalkForward(after + q, kNameRecord3, IsDigitOrUpper);
        return;
      }
  }

  ByteSource& image_;
  const ScanProgress& progress_;
  std::vector<std::uint8_t> buffer_;
  std::string text_;
};

}  // namespace

std::optional<FirmwareProfile> ScanFirmware(ByteSource& image, const ScanProgress& progress,
                                            std::string* why) {
  Scanner scanner(image, progress);
  std::optional<FirmwareProfile> profile = scanner.Scan();
  if (why) *why = scanner.why;
  return profile;
}

ProfileCreation CreateFirmwareProfile(const std::filesystem::path& firmware,
                                      const std::filesystem::path& profilesDir,
                                      const ScanProgress& progress) {
  FileSource image(firmware);
  ProfileCreation result;
  std::optional<FirmwareProfile> profile = ScanFirmware(image, progress, &result.failure);
  if (!profile) {
    result.CreatedProfileName = std::string(kScanFailed);
    return result;
  }
  std::error_code ec;
  std::filesystem::create_directories(profilesDir, ec);
  if (ec) throw FileError("Cannot create " + profilesDir.string() + ": " + ec.message());
  result.path = profilesDir / (profile->name + ".prf");
  WriteFileAtomically(result.path, {reinterpret_cast<const std::uint8_t*>(profile->text.data()),
                                    profile->text.size()});
  result.CreatedProfileName = profile->name;
  return result;
}

FileSource::FileSource(const std::filesystem::path& path) : path_(path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw FileError("Cannot read " + path.string() + ": it is a folder");
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw FileError("Cannot open " + path.string() + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && st.st_size > 0) size_ = std::uint64_t(st.st_size);
  // Mapped, the scan reads the page cache in place instead of copying it block by block.
  // Populating the whole mapping at once costs far less than faulting it in page by page;
  // files much larger than any firmware image are left to fault in as the scan goes. A file
  // that cannot be mapped (a pipe, a device) is read through pread.
  if (size_ && size_ <= SIZE_MAX) {
    constexpr std::uint64_t kPopulateUpTo = 512u << 20;
    const int flags = MAP_PRIVATE | (size_ <= kPopulateUpTo ? MAP_POPULATE : 0);
    void* m = ::mmap(nullptr, std::size_t(size_), PROT_READ, flags, fd_, 0);
    if (m != MAP_FAILED) map_ = static_cast<std::uint8_t*>(m);
  }
}

FileSource::~FileSource() {
  if (map_) ::munmap(map_, std::size_t(size_));
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset >= size_) return 0;
  if (map_) {
    const std::size_t got = std::size_t(std::min<std::uint64_t>(n, size_ - offset));
    std::memcpy(out, map_ + offset, got);
    return got;
  }
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd_, out + got, n - got, off_t(offset + got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw FileError("Cannot read " + path_.string() + ": " + std::strerror(errno));
    if (r == 0) break;
    got += std::size_t(r);
  }
  return got;
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset >= size_) return 0;
  const std::size_t got = std::min<std::uint64_t>(n, size_ - offset);
  std::memcpy(out, data_ + offset, got);
  return got;
}

}  // namespace trellune
