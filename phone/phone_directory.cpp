#include "phone_directory.h"

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

PhoneDirectory::PhoneDirectory(fs::path dir) : dir_(std::move(dir)) {
  LoadFaults();
}

bool PhoneDirectory::Connected() const {
  std::error_code ec;
  return fs::is_directory(dir_ / "seem", ec);
}

void PhoneDirectory::LoadFaults() {
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

bool PhoneDirectory::Fault(const std::string& operation) {
  auto it = faults_.find(operation);
  if (it == faults_.end() || it->second == 0) return false;
  if (it->second > 0) --it->second;
  return true;
}

std::optional<std::vector<std::uint8_t>> PhoneDirectory::ReadSeem(int seem, int record,
                                                                  std::size_t limit) const {
  if (seem < 0 || seem > 0xFFFF || record < 0 || record > 0xFFFF) return std::nullopt;
  char name[32];
  std::snprintf(name, sizeof name, "%04X_%04X.bin", seem, record);
  std::ifstream in(dir_ / "seem" / name, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes(limit);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(limit));
  bytes.resize(std::size_t(in.gcount()));
  return bytes;
}

std::vector<char> PhoneDirectory::Volumes() const {
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

bool PhoneDirectory::HasVolume(char volume) const {
  std::error_code ec;
  return std::islower(static_cast<unsigned char>(volume)) &&
         fs::is_directory(dir_ / "fs" / std::string(1, volume), ec);
}

std::optional<fs::path> PhoneDirectory::LocalPath(const std::string& phonePath) const {
  // "/L/rest": a volume letter and a path that stays inside that volume.
  if (phonePath.size() < 3 || phonePath[0] != '/' || phonePath[2] != '/' ||
      !std::islower(static_cast<unsigned char>(phonePath[1])))
    return std::nullopt;
  const fs::path rest = fs::path(phonePath.substr(3)).lexically_normal();
  if (rest.empty() || rest.is_absolute() || *rest.begin() == "..") return std::nullopt;
  return dir_ / "fs" / std::string(1, phonePath[1]) / rest;
}

std::optional<std::vector<ListedFile>> PhoneDirectory::List(const std::string& p) const {
  if (p.size() < 4 || p[0] != '/' || p[2] != '/' || p[3] != '*') return std::nullopt;
  const char volume = p[1];
  const std::string suffix = p.substr(4);
  std::vector<ListedFile> files;
  if (!HasVolume(volume)) return files;
  const fs::path root = dir_ / "fs" / std::string(1, volume);
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string relative = fs::relative(it->path(), root).generic_string();
    const std::string phonePath = std::string("/") + volume + "/" + relative;
    if (!suffix.empty() && !EndsWithIgnoringCase(phonePath, suffix)) continue;
    files.push_back(
        {phonePath, std::uint32_t(std::min<std::uintmax_t>(it->file_size(), 0xFFFFFFFFu))});
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool PhoneDirectory::Store(const fs::path& local, const std::vector<std::uint8_t>& bytes) const {
  std::error_code ec;
  fs::create_directories(local.parent_path(), ec);
  const fs::path temp = local.parent_path() / ("." + local.filename().string() + ".part");
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) return false;
  }
  fs::rename(temp, local, ec);
  return !ec;
}

void PhoneDirectory::CountRestart() const {
  long restarts = 0;
  {
    std::ifstream in(dir_ / "restarts");
    in >> restarts;
  }
  std::ofstream(dir_ / "restarts", std::ios::trunc) << restarts + 1 << '\n';
}

}  // namespace trellune::phone
