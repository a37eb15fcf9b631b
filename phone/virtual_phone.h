// A phone simulated by a folder (docs/virtual-phone.md):
//   DIR/seem/SSSS_RRRR.bin  record RRRR of seem SSSS (upper-case hex); the phone is connected
//                           while DIR/seem exists
//   DIR/fs/L/...            the files of volume L ("/a/mobile/system/mma_ucp" is
//                           DIR/fs/a/mobile/system/mma_ucp)
//   DIR/restarts            how many times the phone was restarted
//   DIR/faults              optional: "OPERATION COUNT" or "OPERATION always" per line makes
//                           the next COUNT (or every) calls of that operation fail
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "p2k_api.h"
#include "phone_directory.h"

namespace trellune::phone {

class VirtualPhone : public P2kApi {
 public:
  explicit VirtualPhone(std::filesystem::path dir);

  int P2K_Init(PhoneStateCallback onState) override;
  int P2K_Restart() override;
  int Seem_Read(int seem, int record, int offset, int length, std::uint8_t* buffer) override;
  int File_VolInfo(std::uint8_t* buffer, int size) override;
  int File_CountEx(const char* pattern) override;
  int File_ListEx(P2kFileEntry* entries, int count, const ListProgressCallback& progress) override;
  int File_Create(const char* path, std::uint32_t attributes) override;
  int File_SetPointer(int offset, int origin) override;
  int File_Read(std::uint8_t* buffer, int size, int attemptsLeft) override;
  int File_Write(const std::uint8_t* buffer, int size) override;
  int File_Close() override;
  void Poll() override;

  bool Connected() const { return dir_.Connected(); }
  // Why the last call failed, when the virtual phone itself refused it.
  const std::string& LastError() const { return lastError_; }

 private:
  bool Fault(const char* operation);

  PhoneDirectory dir_;
  PhoneStateCallback onState_;
  bool reported_ = false;          // what the callback was last told
  int restartPolls_ = 0;           // polls left in which a restarting phone is reported gone
  std::vector<ListedFile> listed_;  // last File_CountEx matches
  std::optional<std::filesystem::path> current_;
  std::vector<std::uint8_t> written_;
  bool writing_ = false;
  std::string lastError_;
};

}  // namespace trellune::phone
