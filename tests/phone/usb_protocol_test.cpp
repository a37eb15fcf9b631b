// The USB backend's protocol layer, through the simulated device: the bytes of the packets,
// packet ids, chunking, and what happens when the phone misbehaves or leaves.
#include <gtest/gtest.h>

#include <numeric>

#include "phone/phone_fixture.h"
#include "simulated_device.h"
#include "usb_phone.h"

namespace trellune::phone::usb {
namespace {

using test::Bytes;
using test::PhoneFolder;

class CountingSleeper : public Sleeper {
 public:
  void Sleep(int ms) override { slept += ms; }
  long slept = 0;
};

class UsbProtocol : public testing::Test {
 protected:
  void SetUp() override {
    auto device = std::make_unique<SimulatedPhoneDevice>(folder_.Dir());
    device_ = device.get();
    phone_ = std::make_unique<UsbPhone>(std::move(device), sleeper_);
    ASSERT_EQ(phone_->P2K_Init([this](int c) { states_.push_back(c); }), 0);
    phone_->Poll();
  }
  // The commands the device took since the last call.
  std::vector<std::vector<std::uint8_t>> Taken() {
    auto taken = std::move(device_->commands);
    device_->commands.clear();
    return taken;
  }
  std::vector<std::uint8_t> ReadWhole(const char* path) {
    std::vector<std::uint8_t> buffer(kMaxTransfer);
    if (phone_->File_Create(path, 0) != 0) return {};
    const int n = phone_->File_Read(buffer.data(), kMaxTransfer, 0);
    phone_->File_Close();
    if (n < 0) return {};
    buffer.resize(std::size_t(n));
    return buffer;
  }

  PhoneFolder folder_{"usb_protocol"};
  CountingSleeper sleeper_;
  SimulatedPhoneDevice* device_ = nullptr;
  std::unique_ptr<UsbPhone> phone_;
  std::vector<int> states_;
};

TEST_F(UsbProtocol, PacketsCarryIdCodeLengthAndArguments) {
  std::vector<std::uint8_t> seem(kSeemBufferSize);
  ASSERT_GT(phone_->Seem_Read(0x0117, 1, 0, 0, seem.data()), 0);
  ASSERT_EQ(phone_->File_Create("/a/x", 0x01020304), 0);
  const auto taken = Taken();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0], (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x20, 0x00, 0x08, 0x00, 0x00,
                                                 0x01, 0x17, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(taken[1], (std::vector<std::uint8_t>{0x00, 0x01, 0x00, 0x4A, 0x00, 0x0D, 0x00, 0x00,
                                                 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04,
                                                 '/', 'a', '/', 'x', 0x00}));
  // The search path: 16-bit characters, 0xFFFE between folder and pattern.
  ASSERT_EQ(phone_->File_CountEx("/c/*.gif"), 1);
  const std::vector<std::uint8_t> search = {0x00, 0x00, 0x00, 0x07, 0, '/', 0, 'c', 0, '/',
                                            0xFF, 0xFE, 0, '*', 0, '.', 0, 'g', 0, 'i',
                                            0, 'f', 0x00, 0x00};
  const auto count = Taken();
  ASSERT_EQ(count.size(), 1u);
  EXPECT_EQ(std::vector<std::uint8_t>(count[0].begin() + 8, count[0].end()), search);
}

TEST_F(UsbProtocol, PacketIdsWrapAfterTwelveBits) {
  phone_->Protocol().SetNextId(0x0FFE);
  std::vector<std::uint8_t> seem(kSeemBufferSize);
  for (int i = 0; i < 3; ++i) ASSERT_GT(phone_->Seem_Read(0x0117, 1, 0, 0, seem.data()), 0);
  std::vector<std::uint16_t> ids;
  for (const auto& packet : Taken()) ids.push_back(std::uint16_t(packet[0] << 8 | packet[1]));
  EXPECT_EQ(ids, (std::vector<std::uint16_t>{0x0FFE, 0x0FFF, 0x0000}));
}

TEST_F(UsbProtocol, FilesTravelIn1KiBPieces) {
  std::vector<std::uint8_t> data(2500);
  std::iota(data.begin(), data.end(), std::uint8_t(0));
  ASSERT_EQ(phone_->File_Create("/a/mobile/system/mma_ucp", 0), 0);
  ASSERT_EQ(phone_->File_Write(data.data(), int(data.size())), 2500);
  ASSERT_EQ(phone_->File_Close(), 0);
  std::vector<std::uint32_t> writes;
  for (const auto& p : Taken())
    if (p.size() > 12 && p[11] == kFileWrite) writes.push_back(GetU32(p, 12));
  EXPECT_EQ(writes, (std::vector<std::uint32_t>{0x400, 0x400, 0x1C4}));
  EXPECT_EQ(test::ReadFile(folder_.Dir() / "fs/a/mobile/system/mma_ucp"), data);

  EXPECT_EQ(ReadWhole("/a/mobile/system/mma_ucp"), data);
  std::vector<std::uint32_t> reads;
  for (const auto& p : Taken())
    if (p.size() > 12 && p[11] == kFileRead) reads.push_back(GetU32(p, 12));
  EXPECT_EQ(reads, (std::vector<std::uint32_t>{0x400, 0x400, 0x400}));  // the last one ends short
}

TEST_F(UsbProtocol, MisbehavingRepliesFailTheOperation) {
  struct Case {
    const char* name;
    DeviceMisbehaviour misbehave;
    const char* message;
  } cases[] = {
      {"failure result", {.failureReplies = 1}, "reported a failure"},
      {"short reply", {.shortReplies = 1}, "too short"},
      {"oversized reply", {.oversizedAnnouncements = 1}, "cannot be right"},
  };
  for (const Case& c : cases) {
    device_->misbehave = c.misbehave;
    EXPECT_EQ(phone_->File_CountEx("/a/*"), kFailure) << c.name;
    EXPECT_NE(phone_->LastError().find(c.message), std::string::npos)
        << c.name << ": " << phone_->LastError();
    device_->misbehave = {};
    phone_->Poll();  // a left-over reply must not confuse the next command
    EXPECT_EQ(phone_->File_CountEx("/a/*"), 3) << c.name;
  }
  // Replies to another packet id are passed over: the right one still comes.
  device_->misbehave.wrongIdReplies = 2;
  EXPECT_EQ(phone_->File_CountEx("/a/*"), 3);
}

TEST_F(UsbProtocol, ASilentPhoneTimesOut) {
  device_->misbehave.neverAnswer = true;
  EXPECT_EQ(phone_->File_CountEx("/a/*"), kFailure);
  EXPECT_NE(phone_->LastError().find("no answer"), std::string::npos) << phone_->LastError();
  EXPECT_EQ(sleeper_.slept, kReplyTimeLimitMs);
}

TEST_F(UsbProtocol, APhoneLeavingMidTransferIsReportedGone) {
  folder_.File("/a/big", std::vector<std::uint8_t>(5000, 7));
  ASSERT_EQ(phone_->File_Create("/a/big", 0), 0);
  // Two reads of three transfers each, then the third read's command: gone while it runs.
  device_->misbehave.transfersBeforeVanishing = 7;
  std::vector<std::uint8_t> buffer(kMaxTransfer);
  EXPECT_EQ(phone_->File_Read(buffer.data(), kMaxTransfer, 0), kFailure);
  EXPECT_NE(phone_->LastError().find("stopped answering"), std::string::npos)
      << phone_->LastError();
  phone_->Poll();
  EXPECT_EQ(states_, (std::vector<int>{1, 0}));
}

TEST_F(UsbProtocol, OnlyAllowedCommandCodesReachTheCable) {
  SimulatedPhoneDevice device(folder_.Dir());
  std::string why;
  ASSERT_TRUE(device.Open(why));
  P2kProtocol protocol(device, sleeper_);
  int refused = 0;
  for (int code = 0; code <= 0xFFFF; ++code) {
    if (IsAllowedCommand(std::uint16_t(code))) continue;
    EXPECT_FALSE(protocol.Command(std::uint16_t(code), {})) << code;
    ++refused;
  }
  EXPECT_EQ(refused, 0x10000 - 3);
  EXPECT_TRUE(device.commands.empty());
  EXPECT_NE(protocol.LastError().find("not one this program sends"), std::string::npos);
  for (std::uint16_t code : {0x000D, 0x002F}) EXPECT_FALSE(IsAllowedCommand(code));
}

TEST_F(UsbProtocol, RestartLeavesAndComesBack) {
  ASSERT_EQ(phone_->P2K_Restart(), 0);
  phone_->Poll();  // off the bus
  phone_->Poll();  // back
  EXPECT_EQ(states_, (std::vector<int>{1, 0, 1}));
  EXPECT_EQ(test::ReadFile(folder_.Dir() / "restarts"), Bytes("1\n"));
}

TEST(UsbModemMode, SwitchedOnlyWhenAskedThenConnects) {
  PhoneFolder folder("usb_modem");
  test::WriteFile(folder.Dir() / "usb-mode", Bytes("modem\n"));
  CountingSleeper sleeper;
  UsbPhone phone(std::make_unique<SimulatedPhoneDevice>(folder.Dir()), sleeper);
  std::vector<int> states;
  ASSERT_EQ(phone.P2K_Init([&](int c) { states.push_back(c); }), 0);
  phone.Poll();
  phone.Poll();
  EXPECT_TRUE(states.empty());  // a modem is not a connected phone
  EXPECT_TRUE(phone.ModemPhonePresent());

  std::vector<std::string> captions;
  ASSERT_TRUE(phone.SwitchToCommandMode([&](const std::string& c) { captions.push_back(c); }))
      << phone.LastError();
  EXPECT_EQ(captions.front(), "Switching the phone to command mode");
  phone.Poll();
  EXPECT_EQ(states, std::vector<int>{1});
  EXPECT_FALSE(phone.SwitchToCommandMode(nullptr));  // nothing left to switch
}

TEST(UsbReplyDecoding, HeaderAndPayloadBounds) {
  std::string why;
  // count 1, size; id 0x8005; result 8; payload length 2; payload "hi".
  const std::vector<std::uint8_t> good = {0, 1, 0, 0, 0, 10, 0x80, 0x05, 0x80, 0x4A,
                                          0, 2, 0, 0, 'h', 'i'};
  const auto reply = DecodeReply(good, 1, why);
  ASSERT_TRUE(reply) << why;
  EXPECT_EQ(reply->id, 0x8005);
  EXPECT_TRUE(reply->Succeeded());
  EXPECT_EQ(reply->payload, Bytes("hi"));

  std::vector<std::uint8_t> cut(good.begin(), good.end() - 1);  // one payload byte missing
  EXPECT_FALSE(DecodeReply(cut, 1, why));
  EXPECT_NE(why.find("announces 2 bytes"), std::string::npos) << why;
  EXPECT_FALSE(DecodeReply(std::vector<std::uint8_t>(good.begin(), good.begin() + 13), 1, why));
  EXPECT_FALSE(DecodeReply(good, 0, why));
  std::vector<std::uint8_t> failed = good;
  failed[8] = 0x40;
  EXPECT_FALSE(DecodeReply(failed, 1, why)->Succeeded());
}

}  // namespace
}  // namespace trellune::phone::usb
