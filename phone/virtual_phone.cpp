#include "virtual_phone.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace trellune::phone {
namespace fs = std::filesystem;

VirtualPhone::VirtualPhone(fs::path dir) : dir_(std::move(dir)) {}

bool VirtualPhone::Fault(const char* operation) {
  if (!dir_.Fault(operation)) return false;
  lastError_ = std::string(operation) + " failed (injected fault)";
  return true;
}

int VirtualPhone::P2K_Init(PhoneStateCallback onState) {
  dir_.LoadFaults();
  if (Fault("P2K_Init")) return kFailure;
  onState_ = std::move(onState);
  reported_ = false;
  return 0;
}

void VirtualPhone::Poll() {
  bool now = Connected();
  if (restartPolls_ > 0) {
    --restartPolls_;
    now = false;
  }
  if (now != reported_) {
    reported_ = now;
    if (!now) {
      current_.reset();
      listed_.clear();
    }
    if (onState_) onState_(now ? 1 : 0);
  }
}

int VirtualPhone::P2K_Restart() {
  if (Fault("P2K_Restart") || !Connected()) return kFailure;
  dir_.CountRestart();
  restartPolls_ = 1;
  return 0;
}

int VirtualPhone::Seem_Read(int seem, int record, int, int, std::uint8_t* buffer) {
  if (Fault("Seem_Read") || !Connected()) return kFailure;
  const auto bytes = dir_.ReadSeem(seem, record, kSeemBufferSize);
  if (!bytes) {
    char name[32];
    std::snprintf(name, sizeof name, "%04X_%04X.bin", seem & 0xFFFF, record & 0xFFFF);
    lastError_ = std::string("no seem record ") + name;
    return kFailure;
  }
  std::copy(bytes->begin(), bytes->end(), buffer);
  return int(bytes->size());
}

int VirtualPhone::File_VolInfo(std::uint8_t* buffer, int size) {
  if (Fault("File_VolInfo") || !Connected() || size < 1) return kFailure;
  std::fill_n(buffer, size, 0);
  const std::vector<char> volumes = dir_.Volumes();
  int at = 0;
  for (std::size_t i = 0; i < volumes.size() && at + 3 <= size; ++i) {
    const bool more = i + 1 < volumes.size() && at + 6 <= size;
    buffer[at++] = '/';
    buffer[at++] = std::uint8_t(volumes[i]);
    buffer[at++] = more ? 0xFE : 0x00;
  }
  return 0;
}

int VirtualPhone::File_CountEx(const char* pattern) {
  listed_.clear();
  if (Fault("File_CountEx") || !Connected()) return kFailure;
  auto files = dir_.List(pattern ? pattern : "");
  if (!files) return kFailure;
  listed_ = std::move(*files);
  return int(listed_.size());
}

int VirtualPhone::File_ListEx(P2kFileEntry* entries, int count,
                              const ListProgressCallback& progress) {
  if (Fault("File_ListEx") || !Connected() || count < 0) return kFailure;
  for (int i = 0; i < count; ++i) {
    P2kFileEntry entry;
    if (std::size_t(i) < listed_.size()) {
      entry.FileSize = listed_[i].size;
      std::strncpy(entry.FilePath, listed_[i].path.c_str(), sizeof entry.FilePath - 1);
    }
    entries[i] = entry;
    if (progress) progress(0, i + 1, count);
  }
  return 0;
}

int VirtualPhone::File_Create(const char* path, std::uint32_t) {
  if (Fault("File_Create") || !Connected()) return kFailure;
  const std::optional<fs::path> local = dir_.LocalPath(path ? path : "");
  if (!local || !dir_.HasVolume(path[1])) {
    lastError_ = std::string("no such volume or path: ") + (path ? path : "");
    return kFailure;
  }
  current_ = *local;
  written_.clear();
  writing_ = false;
  return 0;
}

int VirtualPhone::File_SetPointer(int, int) {
  if (Fault("File_SetPointer")) return kFailure;
  return current_ ? 0 : kFailure;
}

int VirtualPhone::File_Read(std::uint8_t* buffer, int size, int) {
  if (Fault("File_Read") || !Connected() || !current_ || size < 0) return kFailure;
  std::error_code ec;
  const std::uintmax_t length = fs::file_size(*current_, ec);
  if (ec) {
    lastError_ = "the file does not exist on the phone";
    return kFailure;
  }
  if (length > std::uintmax_t(kMaxTransfer)) {
    lastError_ = "the file is larger than the 65,535 bytes one transfer carries";
    return kFailure;
  }
  std::ifstream in(*current_, std::ios::binary);
  in.read(reinterpret_cast<char*>(buffer),
          std::min<std::streamsize>(size, std::streamsize(length)));
  return int(in.gcount());
}

int VirtualPhone::File_Write(const std::uint8_t* buffer, int size) {
  if (Fault("File_Write") || !Connected() || !current_ || size < 0) return kFailure;
  if (written_.size() + std::size_t(size) > std::size_t(kMaxTransfer)) {
    lastError_ = "more than the 65,535 bytes one transfer carries";
    return kFailure;
  }
  written_.insert(written_.end(), buffer, buffer + size);
  writing_ = true;
  return size;
}

int VirtualPhone::File_Close() {
  if (Fault("File_Close")) return kFailure;
  if (current_ && writing_) dir_.Store(*current_, written_);
  current_.reset();
  written_.clear();
  writing_ = false;
  return 0;
}

}  // namespace trellune::phone
