#include "transfers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace trellune::phone {
namespace fs = std::filesystem;

namespace {

// Writes a local copy; empty on success, else the system's reason ("No space left on
// device").
std::string WriteLocal(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return std::strerror(errno ? errno : EIO);
  int error = 0;
  if (std::fwrite(data, 1, size, f) != size) error = errno ? errno : EIO;
  if (std::fflush(f) != 0 && !error) error = errno ? errno : EIO;
  if (std::fclose(f) != 0 && !error) error = errno ? errno : EIO;
  return error ? std::strerror(error) : std::string();
}

// Removes a stale or partial local copy. Only files and links: a copy path that names a
// device or a folder is never removed.
void RemoveCopy(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(path, ec);
  if (!ec && (fs::is_regular_file(st) || fs::is_symlink(st))) fs::remove(path, ec);
}

const P2kFileEntry* FindEntry(const std::vector<P2kFileEntry>& list,
                              std::initializer_list<const char*> paths) {
  for (const P2kFileEntry& e : list)
    for (const char* p : paths)
      if (e.Path() == p) return &e;
  return nullptr;
}

}  // namespace

PhoneTransfers::PhoneTransfers(P2kApi& api, PhoneSession& session, Sleeper& sleeper,
                               Progress& progress, std::function<void(const PhoneMessage&)> report)
    : api_(api),
      session_(session),
      sleeper_(sleeper),
      progress_(progress),
      report_(std::move(report)),
      buffer_(65536) {}

void PhoneTransfers::Fail(const std::string& text) {
  progress_.Close();
  if (report_) report_({text, ""});
}

void PhoneTransfers::SetCaption(const std::string& caption) {
  caption_ = caption;
  progress_.SetCaption(caption);
}

std::vector<char> PhoneTransfers::ParseVolumes(const std::uint8_t* reply, std::size_t size) {
  std::vector<char> volumes;
  for (std::size_t at = 0; at + 1 < size && volumes.size() < 255; at += 3) {
    if (reply[at] == 0 || reply[at] != '/') break;
    volumes.push_back(char(reply[at + 1]));
    if (at + 2 >= size || reply[at + 2] == 0x00) break;
  }
  return volumes;
}

bool PhoneTransfers::ReadVolumes() {
  std::uint8_t reply[kVolInfoBufferSize] = {};
  if (api_.File_VolInfo(reply, int(sizeof reply)) == kFailure) {
    Fail("Error getting volume info");
    return false;
  }
  session_.PhoneVolumes = ParseVolumes(reply, sizeof reply);
  return true;
}

int PhoneTransfers::OpenPhoneFile(const char* path, std::uint32_t attributes) {
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    if (api_.File_Create(path, attributes) != kFailure) return attempt;
    sleeper_.Sleep(kRetryPauseMs);
  }
  return 0;
}

int PhoneTransfers::CountFiles(const char* pattern) {
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    const int count = api_.File_CountEx(pattern);
    if (count != kFailure) return count;
    sleeper_.Sleep(kRetryPauseMs);
  }
  return kFailure;
}

int PhoneTransfers::ReadOpenFile(int attemptsMade) {
  api_.File_SetPointer(0, 0);
  return api_.File_Read(buffer_.data(), kMaxTransfer, kOpenAttempts - attemptsMade);
}

void PhoneTransfers::OnListProgress(int, int done, int total) {
  const int percent = total > 0 ? int(std::lround(double(done) / double(total) * 100.0)) : 0;
  const std::string caption = caption_ + " " + std::to_string(percent) + "%";
  if (progress_.Caption() != caption) progress_.SetCaption(caption);
  progress_.SetPercent(percent);
}

bool PhoneTransfers::ListVolumeA(std::vector<P2kFileEntry>& list) {
  list.clear();
  const int count = CountFiles("/a/*");
  if (count == kFailure || count > kMaxListEntries) {
    Fail("Error getting file count");
    return false;
  }
  list.assign(std::size_t(count), P2kFileEntry{});
  progress_.SetPercent(0);
  SetCaption("Retrieving file list from /a/");
  progress_.Show();
  auto onProgress = [this](int a, int done, int total) { OnListProgress(a, done, total); };
  if (api_.File_ListEx(list.data(), count, onProgress) == kFailure) {
    Fail("Error getting file list");
    return false;
  }
  return true;
}

std::optional<std::size_t> PhoneTransfers::ReadListedFile(const P2kFileEntry& entry,
                                                          const std::string& label) {
  const std::string path = entry.Path();
  if (entry.FileSize > std::uint32_t(kMaxTransfer)) {
    Fail(label + " on the phone is " + std::to_string(entry.FileSize) +
         " bytes long; a transfer carries at most 65,535 bytes");
    return std::nullopt;
  }
  const int attempts = OpenPhoneFile(path.c_str(), entry.Attributes());
  if (!attempts) {
    Fail("Error opening " + label);
    return std::nullopt;
  }
  SetCaption("Reading " + label);
  const int got = ReadOpenFile(attempts);
  if (got == kFailure || std::uint32_t(got) < entry.FileSize) {
    Fail("Error reading " + label);
    return std::nullopt;
  }
  api_.File_Close();
  return std::size_t(got);
}

fs::path PhoneTransfers::ReadPhoneFiles(const fs::path& menuTempFile,
                                        const fs::path& midletTempFile) {
  session_.PhoneFileList.clear();
  // A list left by an earlier phone must never pass for this phone's.
  RemoveCopy(midletTempFile);

  if (!ReadVolumes()) return {};
  if (!ListVolumeA(session_.PhoneFileList)) return {};

  // The menu: its list entry gives its size and attributes; without one there is no menu.
  const P2kFileEntry* menu = FindEntry(session_.PhoneFileList, {kMenuPath});
  if (!menu) {
    Fail("Error opening mma_ucp");
    return {};
  }
  const std::optional<std::size_t> got = ReadListedFile(*menu, "mma_ucp");
  if (!got) return {};
  if (const std::string why = WriteLocal(menuTempFile, buffer_.data(), *got); !why.empty()) {
    RemoveCopy(menuTempFile);  // a partial copy must not pass for the phone's menu
    Fail("Cannot write the copy of mma_ucp to " + menuTempFile.string() + ": " + why);
    return {};
  }

  // The installed-MIDlet list, at either of its two places; a phone without one has no list.
  const P2kFileEntry* j2mest =
      FindEntry(session_.PhoneFileList, {kJ2mestPaths[0], kJ2mestPaths[1]});
  if (!j2mest) {
    progress_.Close();
    return menuTempFile;
  }
  const std::optional<std::size_t> gotList = ReadListedFile(*j2mest, "J2MEST");
  if (!gotList) return menuTempFile;
  progress_.Close();
  // The menu is copied already and stays usable; only the list is missing.
  if (const std::string why = WriteLocal(midletTempFile, buffer_.data(), *gotList); !why.empty()) {
    RemoveCopy(midletTempFile);
    Fail("Cannot write the copy of J2MEST to " + midletTempFile.string() + ": " + why);
  }
  return menuTempFile;
}

std::optional<std::vector<std::uint8_t>> PhoneTransfers::ReadFileQuietly(const std::string& path) {
  if (!session_.PhoneConnected) return std::nullopt;
  std::uint32_t attributes = 0;
  for (const P2kFileEntry& e : session_.PictureList)
    if (e.Path() == path) attributes = e.Attributes();
  if (api_.File_Create(path.c_str(), attributes) == kFailure) return std::nullopt;
  api_.File_SetPointer(0, 0);
  const int got = api_.File_Read(buffer_.data(), kMaxTransfer, 0);
  api_.File_Close();
  if (got == kFailure) return std::nullopt;
  return std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + got);
}

PhoneMenuRead PhoneTransfers::ReadPhoneMenu() {
  PhoneMenuRead result;
  std::vector<P2kFileEntry> list;
  if (!ListVolumeA(list)) return result;
  const P2kFileEntry* menu = FindEntry(list, {kMenuPath});
  if (!menu) {
    progress_.Close();
    result.status = PhoneMenuRead::Missing;
    return result;
  }
  const std::optional<std::size_t> got = ReadListedFile(*menu, "mma_ucp");
  if (!got) return result;
  progress_.Close();
  result.status = PhoneMenuRead::Read;
  result.bytes.assign(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(*got));
  return result;
}

bool PhoneTransfers::WritePhoneMenu(const fs::path& menuTempFile) {
  session_.SavedToPhone = false;
  errno = 0;
  std::ifstream in(menuTempFile, std::ios::binary);
  if (in) in.read(reinterpret_cast<char*>(buffer_.data()), std::streamsize(buffer_.size()));
  if (!in && !in.eof()) {
    Fail("Cannot read " + menuTempFile.string() + ": " + std::strerror(errno ? errno : EIO));
    return false;
  }
  const std::size_t length = std::size_t(in.gcount());
  if (length > std::size_t(kMaxTransfer)) {
    Fail("The menu file is larger than the 65,535 bytes a transfer carries; it was not sent");
    return false;
  }
  if (!OpenPhoneFile(kMenuPath, 0)) {
    Fail("Error creating file");
    return false;
  }
  if (api_.File_Write(buffer_.data(), int(length)) == kFailure) {
    Fail("Error writing file");
    return false;
  }
  api_.File_Close();
  session_.SavedToPhone = true;
  return true;
}

void PhoneTransfers::RestartPhone() {
  api_.P2K_Restart();
  session_.SavedToPhone = false;
}

void PhoneTransfers::RetrievePictureList() {
  session_.PictureList.clear();
  if (!session_.PhoneConnected) return;
  if (session_.PhoneVolumes.empty() && !ReadVolumes()) return;
  progress_.Show();
  auto onProgress = [this](int a, int done, int total) { OnListProgress(a, done, total); };
  for (char volume : session_.PhoneVolumes) {
    if (volume == 'b') continue;
    const std::string pattern = std::string("/") + volume + "/*.gif";
    const int count = api_.File_CountEx(pattern.c_str());
    if (count < 1 || count > kMaxListEntries) continue;
    const std::size_t from = session_.PictureList.size();
    session_.PictureList.resize(from + std::size_t(count));
    progress_.SetPercent(0);
    SetCaption(std::string("Retrieving picture list from volume ") + volume);
    if (api_.File_ListEx(session_.PictureList.data() + from, count, onProgress) == kFailure)
      session_.PictureList.resize(from);
  }
  progress_.Close();
}

}  // namespace trellune::phone
