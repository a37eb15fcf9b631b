// The folder a simulated phone lives in (docs/virtual-phone.md): its seems, its volumes and
// files, its restart count and the faults it is told to make. The virtual phone answers the
// phone-access operations from it, and the simulated USB device answers the protocol from it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trellune::phone {

struct ListedFile {
  std::string path;  // "/a/mobile/system/mma_ucp"
  std::uint32_t size = 0;
  bool operator<(const ListedFile& o) const { return path < o.path; }
};

class PhoneDirectory {
 public:
  explicit PhoneDirectory(std::filesystem::path dir);

  const std::filesystem::path& Dir() const { return dir_; }
  // The phone is plugged in while DIR/seem exists.
  bool Connected() const;

  // Reads DIR/faults again: "OPERATION COUNT" or "OPERATION always" per line.
  void LoadFaults();
  // Whether this call of `operation` is to fail; counts one failure off.
  bool Fault(const std::string& operation);

  // Record `record` of seem `seem` (at most `limit` bytes); nullopt when there is none.
  std::optional<std::vector<std::uint8_t>> ReadSeem(int seem, int record,
                                                    std::size_t limit) const;
  // The volume letters, in order.
  std::vector<char> Volumes() const;
  bool HasVolume(char volume) const;
  // The local file of a phone path "/L/rest"; nullopt for a path outside the volumes.
  std::optional<std::filesystem::path> LocalPath(const std::string& phonePath) const;
  // The files "/L/*" or "/L/*SUFFIX" (suffix in any letter case) matches, in path order;
  // nullopt for another pattern.
  std::optional<std::vector<ListedFile>> List(const std::string& pattern) const;
  // Replaces a file's content (creating its folders); false when it cannot.
  bool Store(const std::filesystem::path& local, const std::vector<std::uint8_t>& bytes) const;
  // Counts one restart up in DIR/restarts.
  void CountRestart() const;

 private:
  std::filesystem::path dir_;
  std::map<std::string, long> faults_;  // remaining failures; -1 = always
};

}  // namespace trellune::phone
