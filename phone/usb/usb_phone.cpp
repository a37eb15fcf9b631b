#include "usb_phone.h"

#include <algorithm>
#include <cstring>

namespace trellune::phone::usb {
namespace {

constexpr int kListBatch = 8;          // file list records asked for at once
constexpr int kSwitchWaitPolls = 20;   // 500 ms apart: the ten seconds a switch may take
constexpr int kRestartGracePolls = 20; // polls a restarting phone is given to leave

// A phone path as the protocol's 16-bit characters, high byte first.
void PutUtf16(std::vector<std::uint8_t>& out, const std::string& s) {
  for (char c : s) PutU16(out, std::uint8_t(c));
}

}  // namespace

UsbPhone::UsbPhone(std::unique_ptr<UsbTransport> transport, Sleeper& sleeper)
    : transport_(std::move(transport)), sleeper_(sleeper), protocol_(*transport_, sleeper) {}

UsbPhone::~UsbPhone() {
  if (open_) transport_->Close();
}

int UsbPhone::Fail(const std::string& why) {
  lastError_ = why;
  return kFailure;
}

int UsbPhone::P2K_Init(PhoneStateCallback onState) {
  if (!started_) {
    std::string why;
    if (!transport_->Start(why)) return Fail(why);
    started_ = true;
  }
  onState_ = std::move(onState);
  reported_ = false;
  return 0;
}

void UsbPhone::Disconnect() {
  if (open_) transport_->Close();
  open_ = false;
  fileOpen_ = false;
  listed_ = 0;
}

void UsbPhone::Poll() {
  if (!started_) return;
  const PhoneMode mode = transport_->Probe();
  lastMode_ = mode;
  if (open_ && (mode != PhoneMode::Command || protocol_.TransferFailed())) Disconnect();
  if (restartPolls_ > 0) {
    // A restarting phone may still be on the bus for a moment: wait until it has left.
    restartPolls_ = mode == PhoneMode::Absent ? 0 : restartPolls_ - 1;
  } else if (!open_ && mode == PhoneMode::Command) {
    std::string why;
    if (const std::optional<std::uint16_t> number = transport_->Open(why)) {
      protocol_.SetInterface(*number);
      protocol_.ResetTransferFailed();
      open_ = true;
    } else {
      lastError_ = why;
    }
  }
  if (open_ != reported_) {
    reported_ = open_;
    if (onState_) onState_(open_ ? 1 : 0);
  }
}

bool UsbPhone::SwitchToCommandMode(const std::function<void(const std::string&)>& caption) {
  if (!started_) {
    lastError_ = "USB is not started";
    return false;
  }
  if (transport_->Probe() != PhoneMode::Modem) {
    lastError_ = "no phone in modem mode is connected";
    return false;
  }
  if (caption) caption("Switching the phone to command mode");
  std::string why;
  if (!transport_->SendModeSwitch(why)) {
    lastError_ = "the phone did not take the switch to command mode: " + why;
    return false;
  }
  if (caption) caption("Waiting for the phone to come back in command mode");
  for (int i = 0; i < kSwitchWaitPolls; ++i) {
    sleeper_.Sleep(500);
    if (transport_->Probe() == PhoneMode::Command) return true;
  }
  lastError_ = "the phone did not come back in command mode within ten seconds";
  return false;
}

std::optional<Reply> UsbPhone::File(FileOperation operation,
                                    const std::vector<std::uint8_t>& args, const char* what) {
  if (!Connected()) {
    lastError_ = "no phone is connected";
    return std::nullopt;
  }
  std::vector<std::uint8_t> command;
  command.reserve(4 + args.size());
  PutU32(command, operation);
  command.insert(command.end(), args.begin(), args.end());
  std::optional<Reply> reply = protocol_.Command(kFileCommand, command);
  if (!reply) {
    lastError_ = std::string(what) + ": " + protocol_.LastError();
    return std::nullopt;
  }
  if (!reply->Succeeded()) {
    lastError_ = std::string(what) + ": the phone reported a failure (result " +
                 std::to_string(reply->result) + ")";
    return std::nullopt;
  }
  return reply;
}

int UsbPhone::P2K_Restart() {
  if (!Connected()) return Fail("no phone is connected");
  const std::optional<Reply> reply = protocol_.Command(kRestartCommand, {});
  // A phone that restarts at once may leave before it answers: taking the command is enough.
  if (reply ? !reply->Succeeded() : !protocol_.CommandTaken())
    return Fail("restart: " + (reply ? std::string("the phone reported a failure")
                                     : protocol_.LastError()));
  Disconnect();
  restartPolls_ = kRestartGracePolls;
  return 0;
}

int UsbPhone::Seem_Read(int seem, int record, int offset, int length, std::uint8_t* buffer) {
  if (!Connected()) return Fail("no phone is connected");
  if (seem < 0 || seem > 0xFFFF || record < 0 || record > 0xFFFF) return Fail("no such seem");
  std::vector<std::uint8_t> args;
  PutU16(args, std::uint16_t(seem));
  PutU16(args, std::uint16_t(record));
  PutU16(args, std::uint16_t(offset));
  PutU16(args, std::uint16_t(length));
  const std::optional<Reply> reply = protocol_.Command(kSeemReadCommand, args);
  if (!reply) return Fail("seem read: " + protocol_.LastError());
  // A status byte (0: read), then the record's bytes.
  if (!reply->Succeeded() || reply->payload.empty() || reply->payload[0] != 0)
    return Fail("seem read: the phone has no such seem record");
  const std::size_t n = std::min(reply->payload.size() - 1, kSeemBufferSize);
  std::copy_n(reply->payload.begin() + 1, n, buffer);
  return int(n);
}

int UsbPhone::File_VolInfo(std::uint8_t* buffer, int size) {
  if (size < 1) return Fail("no room for the volume list");
  const std::optional<Reply> reply = File(kFileVolumes, {}, "volume list");
  if (!reply) return kFailure;
  // 16-bit characters "/a" 0xFE "/b" ...: their low bytes make the library's 8-bit list.
  std::vector<std::uint8_t> list;
  for (std::size_t i = 0; i + 1 < reply->payload.size(); i += 2) {
    const std::uint16_t unit = GetU16(reply->payload, i);
    if (unit == 0) break;
    list.push_back((unit & 0xFF) == 0xFE ? 0xFE : std::uint8_t(unit));
  }
  while (!list.empty() && list.back() == 0xFE) list.pop_back();
  std::fill_n(buffer, size, 0);
  std::copy_n(list.begin(), std::min(list.size(), std::size_t(size - 1)), buffer);
  return 0;
}

int UsbPhone::File_CountEx(const char* pattern) {
  listed_ = 0;
  // "/a/*.gif": the folder "/a/", 0xFFFE, the pattern "*.gif".
  const std::string p = pattern ? pattern : "";
  const std::size_t slash = p.rfind('/');
  if (p.empty() || p[0] != '/' || slash == std::string::npos) return Fail("no such file pattern");
  std::vector<std::uint8_t> args;
  PutUtf16(args, p.substr(0, slash + 1));
  PutU16(args, 0xFFFE);
  PutUtf16(args, p.substr(slash + 1));
  PutU16(args, 0);
  const std::optional<Reply> reply = File(kFileCount, args, "file count");
  if (!reply) return kFailure;
  if (reply->payload.size() < 2) return Fail("file count: the phone's reply holds no count");
  listed_ = GetU16(reply->payload, 0);
  return listed_;
}

int UsbPhone::File_ListEx(P2kFileEntry* entries, int count, const ListProgressCallback& progress) {
  if (count < 0) return Fail("no such list");
  int filled = 0;
  while (filled < count) {
    const int want = std::min(kListBatch, count - filled);
    const std::optional<Reply> reply = File(kFileList, {std::uint8_t(want)}, "file list");
    if (!reply) return kFailure;
    const std::span<const std::uint8_t> payload = reply->payload;
    const int n = GetU16(payload, 0);
    if (n > want || payload.size() < 4 + std::size_t(n) * kListRecordSize)
      return Fail("file list: the phone's reply does not hold the records it announces");
    if (n == 0) break;  // the list ended early: the rest stay empty
    for (int i = 0; i < n; ++i) {
      const std::span<const std::uint8_t> record =
          payload.subspan(4 + std::size_t(i) * kListRecordSize, kListRecordSize);
      P2kFileEntry entry;
      const std::size_t pathLength =
          std::min(std::size_t(std::find(record.begin(), record.end() - 8, 0) - record.begin()),
                   sizeof entry.FilePath - 1);
      std::copy_n(record.begin(), pathLength, entry.FilePath);
      // The last 8 bytes: attribute u16, owner u16, size u32. The attribute is what a
      // file of the list is opened with.
      entry.AttrLow = GetU16(record, kListRecordSize - 8);
      entry.FileSize = GetU32(record, kListRecordSize - 4);
      entries[filled++] = entry;
      if (progress) progress(0, filled, count);
    }
  }
  for (int i = filled; i < count; ++i) {
    entries[i] = P2kFileEntry{};
    if (progress) progress(0, i + 1, count);
  }
  return 0;
}

int UsbPhone::File_Create(const char* path, std::uint32_t attributes) {
  const std::string p = path ? path : "";
  if (p.empty() || p.size() > 255) return Fail("no such file: " + p);
  if (fileOpen_) File_Close();  // one file is open at a time
  std::vector<std::uint8_t> args;
  PutU32(args, attributes);
  args.insert(args.end(), p.begin(), p.end());
  args.push_back(0);
  if (!File(kFileOpen, args, "open")) return kFailure;
  fileOpen_ = true;
  written_ = 0;
  return 0;
}

int UsbPhone::File_SetPointer(int offset, int origin) {
  if (!fileOpen_) return Fail("no file is open");
  if (offset < 0 || origin < 0 || origin > 2) return Fail("no such file position");
  std::vector<std::uint8_t> args;
  PutU32(args, std::uint32_t(offset));
  PutU8(args, std::uint8_t(origin));
  return File(kFileSeek, args, "seek") ? 0 : kFailure;
}

int UsbPhone::File_Read(std::uint8_t* buffer, int size, int) {
  if (!fileOpen_) return Fail("no file is open");
  if (size < 0 || size > kMaxTransfer) return Fail("a read carries at most 65,535 bytes");
  // The file is read to its end (up to one byte past the most one transfer carries), so a
  // file too large for the interface fails whatever `size` asks for.
  std::size_t total = 0;
  for (;;) {
    const std::size_t want = total < std::size_t(size)
                                 ? std::min(kMaxChunk, std::size_t(size) - total)
                                 : std::min(kMaxChunk, std::size_t(kMaxTransfer) + 1 - total);
    std::vector<std::uint8_t> args;
    PutU32(args, std::uint32_t(want));
    const std::optional<Reply> reply = File(kFileRead, args, "read");
    if (!reply) return kFailure;
    const std::size_t got = reply->payload.size();
    if (got > want) return Fail("read: the phone sent more than was asked for");
    if (total < std::size_t(size)) std::copy_n(reply->payload.begin(), got, buffer + total);
    total += got;
    if (total > std::size_t(kMaxTransfer))
      return Fail("the file is larger than the 65,535 bytes one transfer carries");
    if (got < want) break;  // the end of the file
  }
  return int(std::min(total, std::size_t(size)));
}

int UsbPhone::File_Write(const std::uint8_t* buffer, int size) {
  if (!fileOpen_) return Fail("no file is open");
  if (size < 0 || written_ + std::size_t(size) > std::size_t(kMaxTransfer))
    return Fail("more than the 65,535 bytes one transfer carries");
  for (std::size_t at = 0; at < std::size_t(size);) {
    const std::size_t n = std::min(kMaxChunk, std::size_t(size) - at);
    std::vector<std::uint8_t> args;
    PutU32(args, std::uint32_t(n));
    args.insert(args.end(), buffer + at, buffer + at + n);
    if (!File(kFileWrite, args, "write")) return kFailure;
    at += n;
  }
  written_ += std::size_t(size);
  return size;
}

int UsbPhone::File_Close() {
  if (!fileOpen_) return 0;
  fileOpen_ = false;
  return File(kFileClose, {}, "close") ? 0 : kFailure;
}

}  // namespace trellune::phone::usb
