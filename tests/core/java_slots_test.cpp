#include "j2mest/java_slots.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace trellune {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, const std::string& s) {
  std::copy(s.begin(), s.end(), b.begin() + std::ptrdiff_t(at));
}

TEST(JavaSlots, OneMidletInSlotZero) {
  Bytes file(31 * 660, 0);
  Put(file, 4, "Game");
  Put(file, 37, "Vendor");
  Put(file, 108, "Game, /g.png, com.x.Game");
  JavaSlotsLoad load = ParseJavaSlots(file);
  ASSERT_TRUE(load.supported);
  ASSERT_TRUE(load.slots[0]);
  EXPECT_EQ(*load.slots[0], (TJavaSlot{"Game", "Vendor", "Game, /g.png, com.x.Game", 0}));
  for (std::size_t i = 1; i < kJavaSlotCount; ++i) EXPECT_FALSE(load.slots[i]) << i;
}

TEST(JavaSlots, SlotSizeFromTheFileSize) {
  EXPECT_EQ(JavaSlotSize(31 * 660 + 30), 660u);
  EXPECT_FALSE(JavaSlotSize(31 * 660 + 31));
  // A 16-bit slot size would wrap to 660 here.
  EXPECT_FALSE(JavaSlotSize(31ull * (65536 + 660)));
  for (std::size_t size : {652, 660, 708, 712, 1104, 1112})
    EXPECT_EQ(JavaSlotSize(31 * size), size);

  JavaSlotsLoad load = ParseJavaSlots(Bytes(31 * 661, 0));
  EXPECT_FALSE(load.supported);
  EXPECT_EQ(load.message, (UserMessage{"Unsupported J2MEST format", "Error", MessageIcon::Error}));
}

TEST(JavaSlots, FieldsEndAtTheNextFieldAndFlagsByLayout) {
  struct Case {
    std::size_t size, name, vendor, midlet;
    std::uint8_t flag;
  } cases[] = {
      {652, 4, 37, 100, 0}, {708, 6, 39, 152, 1}, {712, 4, 37, 156, 0}, {1112, 6, 39, 156, 1}};
  for (const Case& c : cases) {
    Bytes file(31 * c.size, 0);
    const std::size_t slot = 3 * c.size;
    file[slot] = 0x03;  // bit 0 set
    Put(file, slot + c.name, std::string(c.vendor - c.name, 'N') + "VENDOR");
    Put(file, slot + c.midlet, std::string(c.size - c.midlet, 'M'));
    JavaSlotsLoad load = ParseJavaSlots(file);
    ASSERT_TRUE(load.slots[3]) << c.size;
    EXPECT_EQ(load.slots[3]->SlotName, std::string(33, 'N')) << c.size;
    EXPECT_EQ(load.slots[3]->SlotVendor.substr(0, 6), "VENDOR") << c.size;
    EXPECT_EQ(load.slots[3]->SlotMidlet1.size(), c.size - c.midlet) << c.size;
    EXPECT_EQ(load.slots[3]->SlotFlag, c.flag) << c.size;
  }
}

TEST(JavaSlots, Layout1104TakesTheMidletOffsetFromTheFirstUsedSlot) {
  for (bool ffTail : {true, false}) {
    Bytes file(31 * 1104, 0);
    for (std::size_t s : {2, 5}) {
      const std::size_t slot = s * 1104;
      Put(file, slot + 6, "Name" + std::to_string(s));
      Put(file, slot + 152, "abcd");
      Put(file, slot + 156, "efgh");
    }
    if (ffTail)
      for (int i = 1100; i < 1104; ++i) file[2 * 1104 + i] = 0xFF;  // only the first used slot
    JavaSlotsLoad load = ParseJavaSlots(file);
    EXPECT_EQ(load.slots[2]->SlotMidlet1, ffTail ? "efgh" : "abcdefgh");
    EXPECT_EQ(load.slots[5]->SlotMidlet1, ffTail ? "efgh" : "abcdefgh");
  }
}

TEST(JavaSlots, LoadsOnlyTheSlotsOfAFileOnDisk) {
  const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "trellune_j2mest";
  Bytes file(31 * 660 + 30, 0);
  Put(file, 4, "Game");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  JavaSlotsLoad load = LoadJavaSlots(path);
  ASSERT_TRUE(load.supported);
  EXPECT_EQ(load.slots[0]->SlotName, "Game");

  // 31 x (65536 + 660) bytes: a 16-bit slot size would take it for 660.
  std::filesystem::resize_file(path, 31ull * (65536 + 660));
  EXPECT_FALSE(LoadJavaSlots(path).supported);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace trellune
