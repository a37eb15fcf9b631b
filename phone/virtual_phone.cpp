#include "virtual_phone.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace trellune::phone {
namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWithIgnoringCase(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == Lower(suffix);
}

}  // namespace

VirtualPhone::VirtualPhone(fs::path dir) : dir_(std::move(dir)) {
  LoadFaults();
}

bool VirtualPhone::Connected() const {
  std::error_code ec;
  return fs::is_directory(dir_ / "seem", ec);
}

void VirtualPhone::LoadFaults() {
  faults_.clear();
  std::ifstream in(dir_ / "faults");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string op, count;
    if (!(words >> op >> count)) continue;
    if (count == "always") {
      faults_[op] = -1;
    } else {
      try {
        faults_[op] = std::max(0L, std::stol(count));
      } catch (const std::exception&) {
      }
    }
  }
}

bool VirtualPhone::Fault(const char* operation) {
  auto it = faults_.find(operation);
  if (it == faults_.end() || it->second == 0) return false;
  if (it->second > 0) --it->second;
  lastError_ = std::string(operation) + " failed (injected fault)";
  return true;
}

int VirtualPhone::P2K_Init(PhoneStateCallback onState) {
  LoadFaults();
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
  long restarts = 0;
  {
    std::ifstream in(dir_ / "restarts");
    in >> restarts;
  }
  std::ofstream(dir_ / "restarts", std::ios::trunc) << restarts + 1 << '\n';
  restartPolls_ = 1;
  return 0;
}

int VirtualPhone::Seem_Read(int seem, int record, int, int, std::uint8_t* buffer) {
  if (Fault("Seem_Read") || !Connected() || seem < 0 || seem > 0xFFFF || record < 0 ||
      record > 0xFFFF)
    return kFailure;
  char name[32];
  std::snprintf(name, sizeof name, "%04X_%04X.bin", seem, record);
  std::ifstream in(dir_ / "seem" / name, std::ios::binary);
  if (!in) {
    lastError_ = std::string("no seem record ") + name;
    return kFailure;
  }
  in.read(reinterpret_cast<char*>(buffer), std::streamsize(kSeemBufferSize));
  return int(in.gcount());
}

std::vector<char> VirtualPhone::Volumes() const {
  std::vector<char> volumes;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir_ / "fs", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 1 && std::islower(static_cast<unsigned char>(name[0])) &&
        entry.is_directory())
      volumes.push_back(name[0]);
  }
  std::sort(volumes.begin(), volumes.end());
  return volumes;
}

int VirtualPhone::File_VolInfo(std::uint8_t* buffer, int size) {
  if (Fault("File_VolInfo") || !Connected() || size < 1) return kFailure;
  std::fill_n(buffer, size, 0);
  const std::vector<char> volumes = Volumes();
  int at = 0;
  for (std::size_t i = 0; i < volumes.size() && at + 3 <= size; ++i) {
    const bool more = i + 1 < volumes.size() && at + 6 <= size;
    buffer[at++] = '/';
    buffer[at++] = std::uint8_t(volumes[i]);
    buffer[at++] = more ? 0xFE : 0x00;
  }
  return 0;
}

std::optional<fs::path> VirtualPhone::LocalPath(const std::string& phonePath) const {
  // "/L/rest": a volume letter and a path that stays inside that volume.
  if (phonePath.size() < 3 || phonePath[0] != '/' || phonePath[2] != '/' ||
      !std::islower(static_cast<unsigned char>(phonePath[1])))
    return std::nullopt;
  const fs::path rest = fs::path(phonePath.substr(3)).lexically_normal();
  if (rest.empty() || rest.is_absolute() || *rest.begin() == "..") return std::nullopt;
  return dir_ / "fs" / std::string(1, phonePath[1]) / rest;
}

int VirtualPhone::File_CountEx(const char* pattern) {
  listed_.clear();
  if (Fault("File_CountEx") || !Connected()) return kFailure;
  const std::string p = pattern ? pattern : "";
  // "/L/*" or "/L/*SUFFIX" (the suffix compared without regard to case).
  if (p.size() < 4 || p[0] != '/' || p[2] != '/' || p[3] != '*') return kFailure;
  const char volume = p[1];
  const std::string suffix = p.substr(4);
  const fs::path root = dir_ / "fs" / std::string(1, volume);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return 0;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string relative = fs::relative(it->path(), root).generic_string();
    const std::string phonePath = std::string("/") + volume + "/" + relative;
    if (!suffix.empty() && !EndsWithIgnoringCase(phonePath, suffix)) continue;
    listed_.emplace_back(phonePath,
                         std::uint32_t(std::min<std::uintmax_t>(it->file_size(), 0xFFFFFFFFu)));
  }
  std::sort(listed_.begin(), listed_.end());
  return int(listed_.size());
}

int VirtualPhone::File_ListEx(P2kFileEntry* entries, int count,
                              const ListProgressCallback& progress) {
  if (Fault("File_ListEx") || !Connected() || count < 0) return kFailure;
  for (int i = 0; i < count; ++i) {
    P2kFileEntry entry;
    if (std::size_t(i) < listed_.size()) {
      entry.FileSize = listed_[i].second;
      std::strncpy(entry.FilePath, listed_[i].first.c_str(), sizeof entry.FilePath - 1);
    }
    entries[i] = entry;
    if (progress) progress(0, i + 1, count);
  }
  return 0;
}

int VirtualPhone::File_Create(const char* path, std::uint32_t) {
  if (Fault("File_Create") || !Connected()) return kFailure;
  const std::optional<fs::path> local = LocalPath(path ? path : "");
  std::error_code ec;
  if (!local || !fs::is_directory(dir_ / "fs" / std::string(1, path[1]), ec)) {
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
  if (current_ && writing_) {
    std::error_code ec;
    fs::create_directories(current_->parent_path(), ec);
    const fs::path temp = current_->parent_path() / ("." + current_->filename().string() + ".part");
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(written_.data()), std::streamsize(written_.size()));
    }
    fs::rename(temp, *current_, ec);
  }
  current_.reset();
  written_.clear();
  writing_ = false;
  return 0;
}

}  // namespace trellune::phone
