// What every P2kApi backend must do, as the phone link relies on it. The suite runs against
// each backend listed in Backends(); a backend is made over a phone that holds the files of
// PhoneFolder.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "phone/phone_fixture.h"
#include "simulated_device.h"
#include "usb_phone.h"
#include "virtual_phone.h"

namespace trellune::phone {
namespace {

using test::Bytes;
using test::PhoneFolder;

struct Backend {
  const char* name;
  std::function<std::unique_ptr<P2kApi>(const PhoneFolder&)> make;
};

// Test names show the backend's name, not its bytes.
void PrintTo(const Backend& backend, std::ostream* out) {
  *out << backend.name;
}

// The USB backend's waits between reply polls cost no time here.
class NoSleep : public Sleeper {
 public:
  void Sleep(int) override {}
};

std::vector<Backend> Backends() {
  static NoSleep noSleep;
  return {{"VirtualPhone",
           [](const PhoneFolder& f) { return std::make_unique<VirtualPhone>(f.Dir()); }},
          {"UsbOnSimulatedDevice", [](const PhoneFolder& f) {
             return std::make_unique<usb::UsbPhone>(
                 std::make_unique<usb::SimulatedPhoneDevice>(f.Dir()), noSleep);
           }}};
}

class P2kApiContract : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    api_ = GetParam().make(folder_);
    ASSERT_NE(api_->P2K_Init([this](int c) { states_.push_back(c); }), kFailure);
    api_->Poll();
  }
  PhoneFolder folder_{"p2k_contract"};
  std::unique_ptr<P2kApi> api_;
  std::vector<int> states_;
};

TEST_P(P2kApiContract, ReportsTheConnectedPhone) {
  EXPECT_EQ(states_, std::vector<int>{1});
}

TEST_P(P2kApiContract, ReadsSeemRecords) {
  std::vector<std::uint8_t> buffer(kSeemBufferSize, 0);
  ASSERT_NE(api_->Seem_Read(0x0117, 1, 0, 0, buffer.data()), kFailure);
  EXPECT_EQ(buffer[1], 'A');
  EXPECT_EQ(api_->Seem_Read(0x0999, 1, 0, 0, buffer.data()), kFailure);
}

TEST_P(P2kApiContract, ListsVolumes) {
  std::uint8_t reply[kVolInfoBufferSize];
  ASSERT_NE(api_->File_VolInfo(reply, int(sizeof reply)), kFailure);
  const std::vector<std::uint8_t> expected = {'/', 'a', 0xFE, '/', 'b', 0xFE, '/', 'c', 0x00};
  EXPECT_EQ(std::vector<std::uint8_t>(reply, reply + 9), expected);
}

TEST_P(P2kApiContract, CountsAndListsFilesInPathOrder) {
  ASSERT_EQ(api_->File_CountEx("/a/*"), 3);
  std::vector<P2kFileEntry> list(3);
  int calls = 0;
  ASSERT_NE(api_->File_ListEx(list.data(), 3,
                              [&](int, int done, int total) {
                                ++calls;
                                EXPECT_LE(done, total);
                              }),
            kFailure);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(list[0].Path(), "/a/mobile/kjava/J2MEST");
  EXPECT_EQ(list[1].Path(), "/a/mobile/picture/one.gif");
  EXPECT_EQ(list[2].Path(), "/a/mobile/system/mma_ucp");
  EXPECT_EQ(list[2].FileSize, 10u);
  EXPECT_EQ(api_->File_CountEx("/c/*.gif"), 1);  // "Three.GIF": any letter case
  EXPECT_EQ(api_->File_CountEx("/a/*.gif"), 1);
}

TEST_P(P2kApiContract, WritesAndReadsBackWholeFilesUpTo65535Bytes) {
  std::vector<std::uint8_t> data(kMaxTransfer);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 7);
  ASSERT_EQ(api_->File_Create("/a/mobile/system/mma_ucp", 0), 0);
  ASSERT_NE(api_->File_Write(data.data(), int(data.size())), kFailure);
  api_->File_Close();

  std::vector<std::uint8_t> back(65536);
  ASSERT_EQ(api_->File_Create("/a/mobile/system/mma_ucp", 0), 0);
  api_->File_SetPointer(0, 0);
  ASSERT_EQ(api_->File_Read(back.data(), kMaxTransfer, 9), kMaxTransfer);
  api_->File_Close();
  back.resize(kMaxTransfer);
  EXPECT_EQ(back, data);

  // A shorter write replaces the whole content.
  ASSERT_EQ(api_->File_Create("/a/mobile/system/mma_ucp", 0), 0);
  ASSERT_NE(api_->File_Write(data.data(), 5), kFailure);
  api_->File_Close();
  ASSERT_EQ(api_->File_Create("/a/mobile/system/mma_ucp", 0), 0);
  EXPECT_EQ(api_->File_Read(back.data(), kMaxTransfer, 9), 5);
  api_->File_Close();
}

TEST_P(P2kApiContract, RefusesWhatOneTransferCannotCarry) {
  std::vector<std::uint8_t> data(kMaxTransfer + 1, 1);
  folder_.File("/a/big", data);
  std::vector<std::uint8_t> buffer(70000);
  ASSERT_EQ(api_->File_Create("/a/big", 0), 0);
  EXPECT_EQ(api_->File_Read(buffer.data(), kMaxTransfer, 9), kFailure);
  api_->File_Close();
  ASSERT_EQ(api_->File_Create("/a/new", 0), 0);
  EXPECT_EQ(api_->File_Write(data.data(), int(data.size())), kFailure);
}

TEST_P(P2kApiContract, RefusesPathsOutsideTheVolumes) {
  EXPECT_EQ(api_->File_Create("/z/file", 0), kFailure);
  EXPECT_EQ(api_->File_Create("/a/../../seem/0117_0001.bin", 0), kFailure);
  EXPECT_EQ(api_->File_Create("mma_ucp", 0), kFailure);
}

INSTANTIATE_TEST_SUITE_P(Backends, P2kApiContract, testing::ValuesIn(Backends()),
                         [](const testing::TestParamInfo<Backend>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace trellune::phone
