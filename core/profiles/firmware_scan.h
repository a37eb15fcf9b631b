// Creating a profile from a firmware image ("CG1", *.bin or *.smg): the version identifier
// after "@(#)R<digit>" or "@(#)T" names the profile and decides the icon code and the C698p
// fix; the kind name table starting at "2CLICK" decides the record length (36-byte records
// have a zero at offset 19 of the first one, 20-byte records do not) and gives the item list,
// with the names of two further tables behind it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace trellune {

inline constexpr std::string_view kScanFailed = "Fail";

// Random access to the image; reads never go past its end.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Copies up to n bytes from offset; returns how many were available.
  virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
  // The whole image in memory, when the source holds it so; the scan then reads it in place.
  virtual const std::uint8_t* Contiguous() const { return nullptr; }
};

// The "Scanning CG1" progress window, as the scan drives it.
struct ScanProgress {
  std::function<void(const std::string& caption)> show;
  std::function<void(int percent)> setPercent;
  std::function<void()> close;
};

struct FirmwareProfile {
  std::string name;  // the firmware identifier
  std::string text;  // the profile file, lines ending in CR LF
};

// Scans the image in 65,536-byte blocks, through one buffer unless the source is in memory. nullopt when there is no version marker or
// no item table; `why`, when given, then says which in the user's words.
std::optional<FirmwareProfile> ScanFirmware(ByteSource& image, const ScanProgress& progress = {},
                                            std::string* why = nullptr);

struct ProfileCreation {
  std::string CreatedProfileName;  // the profile's name, or "Fail" when none was written
  std::filesystem::path path;      // the profile file written
  std::string failure;             // why none was written
};

// The whole creation: scans the file and writes PROFILES_DIR/NAME.prf (creating the folder,
// replacing an existing profile of that name). FileError when the image cannot be read or the
// profile cannot be written.
ProfileCreation CreateFirmwareProfile(const std::filesystem::path& firmware,
                                      const std::filesystem::path& profilesDir,
                                      const ScanProgress& progress = {});

// A ByteSource over a local file.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
  const std::uint8_t* Contiguous() const override { return map_; }

 private:
  int fd_ = -1;
  std::uint8_t* map_ = nullptr;
  std::uint64_t size_ = 0;
  std::filesystem::path path_;
};

// A ByteSource over bytes in memory (tests, fuzzing).
class MemorySource : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
  const std::uint8_t* Contiguous() const override { return data_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace trellune
