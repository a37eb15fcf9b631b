// Moving files between the phone and the local disk: the menu file and the installed-MIDlet
// list to local working files, the menu back to the phone, the picture list, the restart.
// Every phone file moves in one File_Read or File_Write of at most 65,535 bytes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "phone_link.h"

namespace trellune::phone {

inline constexpr const char* kMenuPath = "/a/mobile/system/mma_ucp";
inline constexpr const char* kJ2mestPaths[] = {"/a/mobile/kjava/J2MEST",
                                               "/a/mobile/kjava/installed/J2MEST"};
constexpr int kOpenAttempts = 10;  // File_Create and File_CountEx tries
constexpr int kRetryPauseMs = 300;
constexpr int kMaxListEntries = 100000;  // a larger count is taken for a failure

// The phone's menu file read into memory (for a backup, or to check what was written).
struct PhoneMenuRead {
  enum Status { Failed, Missing, Read } status = Failed;  // Failed was reported
  std::vector<std::uint8_t> bytes;
};

class PhoneTransfers {
 public:
  PhoneTransfers(P2kApi& api, PhoneSession& session, Sleeper& sleeper, Progress& progress,
                 std::function<void(const PhoneMessage&)> report);

  // Copies the phone's menu file to menuTempFile and its J2MEST to midletTempFile (an earlier
  // copy of which is removed first). Returns menuTempFile once the menu was copied, else an
  // empty path. Every failure, a local copy that cannot be written included, is reported
  // once, with the progress window closed; a failure after the menu was copied still
  // returns menuTempFile, whose copy is whole.
  std::filesystem::path ReadPhoneFiles(const std::filesystem::path& menuTempFile,
                                       const std::filesystem::path& midletTempFile);

  // Reads any phone file quietly, with one open attempt: for previews, which show a
  // placeholder instead when it fails. Files of the picture list open with their attributes.
  std::optional<std::vector<std::uint8_t>> ReadFileQuietly(const std::string& path);

  // Reads the phone's menu file as it is now; Missing when the phone has none.
  PhoneMenuRead ReadPhoneMenu();

  // Sends menuTempFile to the phone's menu file; sets SavedToPhone on success. A local file
  // that cannot be read is reported like the phone's failures.
  bool WritePhoneMenu(const std::filesystem::path& menuTempFile);

  void RestartPhone();

  // Fills the session's PictureList with the GIF files of every volume but "b".
  void RetrievePictureList();

  // The File_ListEx progress callback: caption and bar follow the percentage.
  void OnListProgress(int ignored, int done, int total);

  // The volume letters of a File_VolInfo reply.
  static std::vector<char> ParseVolumes(const std::uint8_t* reply, std::size_t size);

 private:
  // Opens a phone file, trying up to ten times 300 ms apart; the attempts made, or 0.
  int OpenPhoneFile(const char* path, std::uint32_t attributes);
  // A list's file count, trying up to ten times 300 ms apart.
  int CountFiles(const char* pattern);
  bool ReadVolumes();
  // Lists every file of volume "a" with the progress window shown; false after a reported
  // failure.
  bool ListVolumeA(std::vector<P2kFileEntry>& list);
  // Reads a listed file into buffer_ ("mma_ucp" or "J2MEST" names it in messages): the bytes
  // read, or nullopt after a reported failure.
  std::optional<std::size_t> ReadListedFile(const P2kFileEntry& entry, const std::string& label);
  void Fail(const std::string& text);
  void SetCaption(const std::string& caption);
  // Reads the open file into buffer_: the bytes the phone returned, or -1.
  int ReadOpenFile(int attemptsMade);

  P2kApi& api_;
  PhoneSession& session_;
  Sleeper& sleeper_;
  Progress& progress_;
  std::function<void(const PhoneMessage&)> report_;
  std::string caption_;               // the caption the running operation set last
  std::vector<std::uint8_t> buffer_;  // the one transfer buffer
};

}  // namespace trellune::phone
