#include "simulated_device.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "p2k_api.h"
#include "p2k_protocol.h"

namespace trellune::phone::usb {
namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kResultFailure = 0x4;

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// 16-bit characters up to 0x0000 (or the end), as 8-bit text; 0xFFFE becomes "\n".
std::string PathOf16(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::string s;
  for (; at + 1 < b.size(); at += 2) {
    const std::uint16_t unit = GetU16(b, at);
    if (unit == 0) break;
    s.push_back(unit == 0xFFFE ? '\n' : char(unit & 0xFF));
  }
  return s;
}

}  // namespace

SimulatedPhoneDevice::SimulatedPhoneDevice(fs::path dir) : dir_(std::move(dir)) {}

bool SimulatedPhoneDevice::Start(std::string& why) {
  dir_.LoadFaults();
  if (dir_.Fault("P2K_Init")) {
    why = "USB cannot be used (injected fault)";
    return false;
  }
  return true;
}

bool SimulatedPhoneDevice::Present() {
  return !gone_ && dir_.Connected();
}

PhoneMode SimulatedPhoneDevice::Probe() {
  if (restartProbes_ > 0) {
    --restartProbes_;
    return PhoneMode::Absent;
  }
  if (!Present()) return PhoneMode::Absent;
  std::ifstream mode(dir_.Dir() / "usb-mode");
  std::string word;
  return mode >> word && word == "modem" ? PhoneMode::Modem : PhoneMode::Command;
}

std::optional<std::uint16_t> SimulatedPhoneDevice::Open(std::string& why) {
  if (Probe() != PhoneMode::Command) {
    why = "no phone in command mode is connected";
    return std::nullopt;
  }
  open_ = true;
  replies_.clear();
  return kInterface;
}

void SimulatedPhoneDevice::Close() {
  open_ = false;
  replies_.clear();
  file_.reset();
}

bool SimulatedPhoneDevice::SendModeSwitch(std::string& why) {
  if (Probe() != PhoneMode::Modem) {
    why = "no phone in modem mode is connected";
    return false;
  }
  std::error_code ec;
  fs::remove(dir_.Dir() / "usb-mode", ec);
  restartProbes_ = 1;  // it leaves the bus, then comes back with its command interface
  return true;
}

bool SimulatedPhoneDevice::Transfer() {
  if (misbehave.transfersBeforeVanishing == 0) gone_ = true;
  if (misbehave.transfersBeforeVanishing > 0) --misbehave.transfersBeforeVanishing;
  return open_ && Present();
}

int SimulatedPhoneDevice::ControlOut(const ControlRequest& r, const std::uint8_t* data,
                                     std::size_t size) {
  if (!Transfer()) return -1;
  // Anything but a well-formed command packet stalls.
  if (r.requestType != 0x41 || r.request != 0x02 || r.value != 0 || r.index != kInterface ||
      size < 8)
    return -1;
  const std::vector<std::uint8_t> packet(data, data + size);
  if (GetU16(packet, 4) != size - 8 || GetU16(packet, 6) != 0) return -1;
  commands.push_back(packet);

  const std::uint16_t id = GetU16(packet, 0);
  const std::uint16_t code = GetU16(packet, 2);
  std::uint8_t result = kResultSuccess;
  std::vector<std::uint8_t> payload =
      Answer(code, std::vector<std::uint8_t>(packet.begin() + 8, packet.end()), result);
  if (misbehave.failureReplies > 0) {
    --misbehave.failureReplies;
    result = kResultFailure;
  }

  auto encode = [code](std::uint16_t replyId, std::uint8_t replyResult,
                       const std::vector<std::uint8_t>& replyPayload) {
    std::vector<std::uint8_t> reply;
    PutU16(reply, 1);  // one packet
    PutU16(reply, 0);
    PutU16(reply, std::uint16_t(8 + replyPayload.size()));
    PutU16(reply, replyId);
    PutU8(reply, std::uint8_t(replyResult << 4 | (code >> 8 & 0x0F)));
    PutU8(reply, std::uint8_t(code));
    PutU16(reply, std::uint16_t(replyPayload.size()));
    PutU16(reply, 0);
    reply.insert(reply.end(), replyPayload.begin(), replyPayload.end());
    return reply;
  };
  // Stale replies (to the packet id before this one) say failure: taking one would show.
  for (; misbehave.wrongIdReplies > 0; --misbehave.wrongIdReplies)
    replies_.push_back(encode(std::uint16_t(((id + 0x0FFF) & 0x0FFF) | 0x8000), kResultFailure, {}));
  replies_.push_back(encode(id | 0x8000, result, payload));
  return int(size);
}

int SimulatedPhoneDevice::ControlIn(const ControlRequest& r, std::uint8_t* data,
                                    std::size_t size) {
  if (!Transfer()) return -1;
  if (r.requestType != 0xC1 || r.index != kInterface) return -1;
  if (r.request == 0x00 && r.value == 0) {
    // The poll: two zero bytes while nothing waits, else the count and the size.
    if (replies_.empty() || misbehave.neverAnswer || size < 8) {
      std::fill_n(data, std::min<std::size_t>(size, 2), 0);
      return int(std::min<std::size_t>(size, 2));
    }
    const std::vector<std::uint8_t>& next = replies_.front();
    std::uint16_t packetSize = std::uint16_t(next.size() - 6);
    if (misbehave.oversizedAnnouncements > 0) {
      --misbehave.oversizedAnnouncements;
      packetSize = 0xFFFF;
    }
    const std::uint8_t status[8] = {0, 1, std::uint8_t(packetSize >> 8), std::uint8_t(packetSize),
                                    0, 0, 0, 0};
    std::copy_n(status, 8, data);
    return 8;
  }
  if (r.request == 0x01 && r.value == 1) {
    if (replies_.empty()) return -1;
    std::vector<std::uint8_t> reply = std::move(replies_.front());
    replies_.pop_front();
    if (misbehave.shortReplies > 0) {
      --misbehave.shortReplies;
      reply.resize(std::min<std::size_t>(reply.size(), 12));
    }
    const std::size_t n = std::min(size, reply.size());
    std::copy_n(reply.begin(), n, data);
    return int(n);
  }
  return -1;
}

std::vector<std::uint8_t> SimulatedPhoneDevice::Answer(std::uint16_t code,
                                                       const std::vector<std::uint8_t>& args,
                                                       std::uint8_t& result) {
  switch (code) {
    case kSeemReadCommand: {
      const auto record = dir_.Fault("Seem_Read") || args.size() != 8
                              ? std::nullopt
                              : dir_.ReadSeem(GetU16(args, 0), GetU16(args, 2), kSeemBufferSize);
      if (!record) {
        result = kResultFailure;
        return {};
      }
      std::vector<std::uint8_t> payload{0};  // status: read
      payload.insert(payload.end(), record->begin(), record->end());
      result = kResultData;
      return payload;
    }
    case kRestartCommand:
      if (dir_.Fault("P2K_Restart")) {
        result = kResultFailure;
        return {};
      }
      dir_.CountRestart();
      open_ = false;  // it leaves the bus at once, without a reply
      restartProbes_ = 1;
      return {};
    case kFileCommand:
      return AnswerFile(args, result);
    default:
      result = kResultFailure;
      return {};
  }
}

std::vector<std::uint8_t> SimulatedPhoneDevice::AnswerFile(const std::vector<std::uint8_t>& args,
                                                           std::uint8_t& result) {
  auto fail = [&result] {
    result = kResultFailure;
    return std::vector<std::uint8_t>{};
  };
  if (args.size() < 4) return fail();
  const std::uint32_t operation = GetU32(args, 0);
  std::vector<std::uint8_t> payload;
  switch (operation) {
    case kFileVolumes: {
      if (dir_.Fault("File_VolInfo")) return fail();
      const std::vector<char> volumes = dir_.Volumes();
      for (std::size_t i = 0; i < volumes.size(); ++i) {
        if (i) PutU16(payload, 0x00FE);
        PutU16(payload, '/');
        PutU16(payload, std::uint8_t(volumes[i]));
      }
      result = kResultData;
      return payload;
    }
    case kFileCount: {
      listing_.clear();
      listAt_ = 0;
      if (dir_.Fault("File_CountEx")) return fail();
      std::string search = PathOf16(args, 4);  // "/a/" "\n" "*.gif"
      const std::size_t split = search.find('\n');
      if (split == std::string::npos) return fail();
      search.erase(split, 1);
      auto files = dir_.List(search);
      if (!files) return fail();
      listing_ = std::move(*files);
      PutU16(payload, std::uint16_t(std::min<std::size_t>(listing_.size(), 0xFFFF)));
      result = kResultData;
      return payload;
    }
    case kFileList: {
      if (dir_.Fault("File_ListEx") || args.size() != 5) return fail();
      const std::size_t n = std::min<std::size_t>(args[4], listing_.size() - listAt_);
      PutU16(payload, std::uint16_t(n));
      PutU16(payload, 0);
      for (std::size_t i = 0; i < n; ++i) {
        const ListedFile& f = listing_[listAt_++];
        std::vector<std::uint8_t> record(kListRecordSize, 0);
        std::copy_n(f.path.begin(), std::min(f.path.size(), kListRecordSize - 9), record.begin());
        record[kListRecordSize - 4] = std::uint8_t(f.size >> 24);
        record[kListRecordSize - 3] = std::uint8_t(f.size >> 16);
        record[kListRecordSize - 2] = std::uint8_t(f.size >> 8);
        record[kListRecordSize - 1] = std::uint8_t(f.size);
        payload.insert(payload.end(), record.begin(), record.end());
      }
      result = kResultData;
      return payload;
    }
    case kFileOpen: {
      if (dir_.Fault("File_Create") || args.size() < 9 || args.back() != 0) return fail();
      const std::string path(args.begin() + 8, args.end() - 1);
      const std::optional<fs::path> local = dir_.LocalPath(path);
      if (!local || !dir_.HasVolume(path[1])) return fail();
      file_ = *local;
      content_ = ReadAll(*local);
      position_ = 0;
      wrote_ = false;
      return {};
    }
    case kFileRead: {
      if (dir_.Fault("File_Read") || !file_ || args.size() != 8) return fail();
      const std::size_t want = GetU32(args, 4);
      if (want > kMaxChunk) return fail();
      const std::size_t from = std::min(position_, content_.size());
      const std::size_t n = std::min(want, content_.size() - from);
      payload.assign(content_.begin() + std::ptrdiff_t(from),
                     content_.begin() + std::ptrdiff_t(from + n));
      position_ = from + n;
      result = kResultData;
      return payload;
    }
    case kFileWrite: {
      if (dir_.Fault("File_Write") || !file_ || args.size() < 8) return fail();
      const std::size_t n = GetU32(args, 4);
      if (n > kMaxChunk || args.size() != 8 + n) return fail();
      // The first write cuts the file at the current position: a file written from its
      // start holds what was written.
      if (!wrote_) content_.resize(std::min(position_, content_.size()));
      wrote_ = true;
      if (content_.size() < position_ + n) content_.resize(position_ + n);
      std::copy(args.begin() + 8, args.end(), content_.begin() + std::ptrdiff_t(position_));
      position_ += n;
      return {};
    }
    case kFileSeek: {
      if (dir_.Fault("File_SetPointer") || !file_ || args.size() != 9) return fail();
      const std::uint32_t offset = GetU32(args, 4);
      const std::size_t base = args[8] == 0 ? 0 : args[8] == 1 ? position_ : content_.size();
      if (args[8] > 2) return fail();
      position_ = base + offset;
      return {};
    }
    case kFileClose: {
      if (dir_.Fault("File_Close")) return fail();
      if (file_ && wrote_ && !dir_.Store(*file_, content_)) return fail();
      file_.reset();
      content_.clear();
      return {};
    }
    default:
      return fail();
  }
}

}  // namespace trellune::phone::usb
