// The phone-access operations, one virtual method each, with the arguments and results of the
// P2K phone library: -1 means failure. The library has one current file at a time and reports
// a phone's arrival (non-zero) and removal (0) through the state callback, which Poll()
// delivers on the caller's thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "sleeper.h"

namespace trellune::phone {

constexpr int kFailure = -1;
constexpr std::size_t kSeemBufferSize = 10000;  // Seem_Read fills at most this many bytes
constexpr std::size_t kVolInfoBufferSize = 255;
constexpr int kMaxTransfer = 65535;  // one File_Read or File_Write at most

// One entry of a file list, 512 bytes as the phone library fills it: little-endian size and
// attribute halves, then the full path ("/a/mobile/system/mma_ucp"), zero-terminated.
struct P2kFileEntry {
  std::uint32_t FileSize = 0;
  std::uint16_t AttrHigh = 0;
  std::uint16_t AttrLow = 0;
  char FilePath[504] = {};

  std::uint32_t Attributes() const { return std::uint32_t(AttrHigh) << 16 | AttrLow; }
  std::string Path() const { return std::string(FilePath, strnlen(FilePath, sizeof FilePath)); }
};
static_assert(sizeof(P2kFileEntry) == 512);

using PhoneStateCallback = std::function<void(int connected)>;
// Called while a list is filled: (ignored, done, total).
using ListProgressCallback = std::function<void(int, int done, int total)>;

class P2kApi {
 public:
  virtual ~P2kApi() = default;

  virtual int P2K_Init(PhoneStateCallback onState) = 0;
  virtual int P2K_Restart() = 0;
  // Reads record `record` of seem `seem` into `buffer` (kSeemBufferSize bytes).
  virtual int Seem_Read(int seem, int record, int offset, int length, std::uint8_t* buffer) = 0;
  // The volume list: groups "/", letter, separator (0xFE: more follow, 0x00: last).
  virtual int File_VolInfo(std::uint8_t* buffer, int size) = 0;
  // The number of files matching "/L/*" (all files of volume L) or "/L/*.gif".
  virtual int File_CountEx(const char* pattern) = 0;
  // Fills `count` entries of the files the last File_CountEx matched.
  virtual int File_ListEx(P2kFileEntry* entries, int count,
                          const ListProgressCallback& progress) = 0;
  // Opens the file as the current file, for reading or for writing; 0 = opened.
  virtual int File_Create(const char* path, std::uint32_t attributes) = 0;
  virtual int File_SetPointer(int offset, int origin) = 0;
  // Reads at most `size` bytes of the current file; the number read, or -1.
  virtual int File_Read(std::uint8_t* buffer, int size, int attemptsLeft) = 0;
  // Sends `size` bytes; after File_Close the phone file holds exactly what was sent.
  virtual int File_Write(const std::uint8_t* buffer, int size) = 0;
  virtual int File_Close() = 0;

  // Looks for a phone arriving or leaving and reports it through the state callback.
  virtual void Poll() {}
};

// The progress window as the transfers drive it.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void Show() = 0;
  virtual void Close() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetPercent(int percent) = 0;
};

// A message for the user: phone errors have an error icon and OK.
struct PhoneMessage {
  std::string text;
  std::string caption;
  bool operator==(const PhoneMessage&) const = default;
};

}  // namespace trellune::phone
