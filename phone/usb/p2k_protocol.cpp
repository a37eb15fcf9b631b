#include "p2k_protocol.h"

#include <algorithm>
#include <cstdio>

namespace trellune::phone::usb {

bool IsAllowedCommand(std::uint16_t code) {
  return std::find(kAllowedCommands.begin(), kAllowedCommands.end(), code) !=
         kAllowedCommands.end();
}

void PutU8(std::vector<std::uint8_t>& out, std::uint8_t v) {
  out.push_back(v);
}
void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, std::uint16_t(v >> 16));
  PutU16(out, std::uint16_t(v));
}
std::uint16_t GetU16(std::span<const std::uint8_t> b, std::size_t at) {
  return at + 2 <= b.size() ? std::uint16_t(b[at] << 8 | b[at + 1]) : 0;
}
std::uint32_t GetU32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(GetU16(b, at)) << 16 | GetU16(b, at + 2);
}

std::vector<std::uint8_t> EncodeCommand(std::uint16_t id, std::uint16_t code,
                                        std::span<const std::uint8_t> args) {
  std::vector<std::uint8_t> packet;
  packet.reserve(8 + args.size());
  PutU16(packet, id);
  PutU16(packet, code);
  PutU16(packet, std::uint16_t(args.size()));
  PutU16(packet, 0);
  packet.insert(packet.end(), args.begin(), args.end());
  return packet;
}

std::optional<Reply> DecodeReply(std::span<const std::uint8_t> bytes, std::uint16_t packets,
                                 std::string& why) {
  // The first packet follows a header of a count and a size per packet.
  const std::size_t at = 2 * std::size_t(packets) + 4;
  if (packets == 0 || bytes.size() < at + 8) {
    why = "the phone's reply is too short (" + std::to_string(bytes.size()) + " bytes)";
    return std::nullopt;
  }
  Reply reply;
  reply.id = GetU16(bytes, at);
  reply.result = bytes[at + 2] >> 4;
  const std::size_t length = GetU16(bytes, at + 4);
  const std::size_t payloadAt = at + 8;
  if (bytes.size() < payloadAt + length) {
    why = "the phone's reply announces " + std::to_string(length) + " bytes of data but holds " +
          std::to_string(bytes.size() - payloadAt);
    return std::nullopt;
  }
  reply.payload.assign(bytes.begin() + std::ptrdiff_t(payloadAt),
                       bytes.begin() + std::ptrdiff_t(payloadAt + length));
  return reply;
}

P2kProtocol::P2kProtocol(UsbTransport& transport, Sleeper& sleeper)
    : transport_(transport), sleeper_(sleeper) {}

std::optional<Reply> P2kProtocol::Fail(std::string why) {
  lastError_ = std::move(why);
  return std::nullopt;
}

std::optional<Reply> P2kProtocol::Command(std::uint16_t code, std::span<const std::uint8_t> args) {
  commandTaken_ = false;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", code);
  if (!IsAllowedCommand(code))
    return Fail(std::string("command 0x") + hex + " is not one this program sends");
  if (args.size() > 0xFFFF) return Fail("the command's arguments are too long");

  const std::uint16_t id = nextId_;
  nextId_ = (nextId_ + 1) & 0x0FFF;
  const std::vector<std::uint8_t> packet = EncodeCommand(id, code, args);
  if (transport_.ControlOut({0x41, 0x02, 0, interface_}, packet.data(), packet.size()) !=
      int(packet.size())) {
    transferFailed_ = true;
    return Fail(std::string("the phone did not take command 0x") + hex);
  }
  commandTaken_ = true;

  for (int waited = 0;;) {
    std::uint8_t status[8] = {};
    const int got = transport_.ControlIn({0xC1, 0x00, 0, interface_}, status, sizeof status);
    if (got < 0) {
      transferFailed_ = true;
      return Fail(std::string("the phone stopped answering during command 0x") + hex);
    }
    if (got > 2) {
      const std::uint16_t count = GetU16(status, 0);
      const std::size_t size = GetU16(status, 2);
      const std::size_t length = 2 * std::size_t(count) + size + 4;
      if (count == 0 || count > 16 || size > kMaxReplyPacket)
        return Fail("the phone announced a reply of " + std::to_string(size) + " bytes in " +
                    std::to_string(count) + " packets, which cannot be right");
      std::vector<std::uint8_t> bytes(length);
      const int read = transport_.ControlIn({0xC1, 0x01, 1, interface_}, bytes.data(), length);
      if (read < 0) {
        transferFailed_ = true;
        return Fail(std::string("the phone stopped answering during command 0x") + hex);
      }
      bytes.resize(std::size_t(read));
      std::string why;
      std::optional<Reply> reply = DecodeReply(bytes, count, why);
      if (!reply) return Fail(why);
      if (reply->id == (id | 0x8000)) return reply;
      // A late reply to a command whose caller gave up: not this command's.
    }
    if (waited >= kReplyTimeLimitMs)
      return Fail(std::string("the phone gave no answer to command 0x") + hex + " within " +
                  std::to_string(kReplyTimeLimitMs / 1000) + " seconds");
    sleeper_.Sleep(kReplyPollPauseMs);
    waited += kReplyPollPauseMs;
  }
}

}  // namespace trellune::phone::usb
