// The phone's command protocol over control transfers.
//
// A command goes out as control OUT (bmRequestType 0x41, bRequest 0x02, wValue 0, wIndex the
// command interface) carrying a packet, big-endian:
//   0-1 packet id (a 12-bit counter)   2-3 command code   4-5 argument length   6-7 zero
//   8.. the arguments
// Its reply is polled with control IN (0xC1, bRequest 0x00, wValue 0, 8 bytes) until more
// than 2 bytes come back: 0-1 the number of packets waiting, 2-3 their size. They are then
// read with control IN (0xC1, bRequest 0x01, wValue 1, 2 x count + size + 4 bytes), where
// the first packet starts after a header of 2 x count + 4 bytes; for one packet:
//   6-7 the command's packet id with bit 15 set   8 the result in its high nibble
//   (0x8 data follows, 0x6 success, anything else a failure)   10-11 the payload length
//   14.. the payload
// Only the command codes of kAllowedCommands are ever sent: the codes that would flash the
// phone, write seems or touch memory are refused before anything reaches the cable.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sleeper.h"
#include "usb_transport.h"

namespace trellune::phone::usb {

constexpr std::uint16_t kSeemReadCommand = 0x0020;
constexpr std::uint16_t kRestartCommand = 0x0022;
constexpr std::uint16_t kFileCommand = 0x004A;
inline constexpr std::array<std::uint16_t, 3> kAllowedCommands = {kSeemReadCommand,
                                                                  kRestartCommand, kFileCommand};
bool IsAllowedCommand(std::uint16_t code);

// File access sub-commands: the first argument (u32) of kFileCommand.
enum FileOperation : std::uint32_t {
  kFileOpen = 0x00,     // attribute u32, the 8-bit path
  kFileRead = 0x01,     // length u32 (at most kMaxChunk); the data is the payload
  kFileWrite = 0x02,    // length u32 (at most kMaxChunk), the data
  kFileSeek = 0x03,     // offset u32, whence u8 (0: from the start)
  kFileClose = 0x04,    //
  kFileCount = 0x07,    // a 16-bit path, 0xFFFE between folder and pattern; u16 count
  kFileList = 0x08,     // how many u8; u16 count, then the records from payload byte 4
  kFileVolumes = 0x0A,  // the volume letters as 16-bit characters, 0xFE between them
};

constexpr std::size_t kMaxChunk = 0x400;        // one file read or write
constexpr std::size_t kListRecordSize = 268;    // one record of a file list
constexpr std::size_t kReplyPayloadAt = 14;     // in the reply of one packet
constexpr std::size_t kMaxReplyPacket = 0x4000; // a larger announced reply is refused
constexpr int kReplyTimeLimitMs = 5000;
constexpr int kReplyPollPauseMs = 5;

constexpr std::uint8_t kResultData = 0x8;
constexpr std::uint8_t kResultSuccess = 0x6;

struct Reply {
  std::uint16_t id = 0;      // with bit 15 set
  std::uint8_t result = 0;   // the high nibble of byte 8
  std::vector<std::uint8_t> payload;
  bool Succeeded() const { return result == kResultData || result == kResultSuccess; }
};

// The packet of one command.
std::vector<std::uint8_t> EncodeCommand(std::uint16_t id, std::uint16_t code,
                                        std::span<const std::uint8_t> args);

// Decodes what the reply read returned, `packets` being the count the poll announced.
// nullopt, with the reason, for a reply too short for its header or its payload.
std::optional<Reply> DecodeReply(std::span<const std::uint8_t> bytes, std::uint16_t packets,
                                 std::string& why);

class P2kProtocol {
 public:
  P2kProtocol(UsbTransport& transport, Sleeper& sleeper);

  // The command interface the requests address (wIndex).
  void SetInterface(std::uint16_t number) { interface_ = number; }

  // Sends one command and waits for its reply, at most kReplyTimeLimitMs. nullopt, with
  // LastError(), when the code is not allowed, a transfer failed, or no well-formed reply
  // to this command came in time. Replies to earlier commands (whose caller gave up) are
  // passed over. A reply with a failure result is returned like any other.
  std::optional<Reply> Command(std::uint16_t code, std::span<const std::uint8_t> args);

  const std::string& LastError() const { return lastError_; }
  // Whether the phone took the last command's packet (its reply may still have failed).
  bool CommandTaken() const { return commandTaken_; }
  // A transfer failed: the phone is most likely gone.
  bool TransferFailed() const { return transferFailed_; }
  void ResetTransferFailed() { transferFailed_ = false; }

  std::uint16_t NextId() const { return nextId_; }
  void SetNextId(std::uint16_t id) { nextId_ = id & 0x0FFF; }

 private:
  std::optional<Reply> Fail(std::string why);

  UsbTransport& transport_;
  Sleeper& sleeper_;
  std::uint16_t interface_ = 8;
  std::uint16_t nextId_ = 0;
  std::string lastError_;
  bool transferFailed_ = false;
  bool commandTaken_ = false;
};

// Argument builders, big-endian.
void PutU8(std::vector<std::uint8_t>& out, std::uint8_t v);
void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v);
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v);
std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at);

}  // namespace trellune::phone::usb
