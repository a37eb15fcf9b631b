#include "j2mest/java_slots.h"

#include <algorithm>

#include "io/file_io.h"

namespace trellune {
namespace {

struct Layout {
  std::size_t size, name, vendor, midlet;
  bool hasFlag;
};

constexpr std::array<Layout, 6> kLayouts = {{
    {652, 4, 37, 100, false},
    {660, 4, 37, 108, false},
    {708, 6, 39, 152, true},
    {712, 4, 37, 156, false},
    {1104, 6, 39, 152, true},  // 156 when the first used slot ends in FF FF FF FF
    {1112, 6, 39, 156, true},
}};

std::string Field(const std::uint8_t* slot, std::size_t from, std::size_t to) {
  const std::uint8_t* end = std::find(slot + from, slot + to, std::uint8_t(0));
  return std::string(slot + from, end);
}

}  // namespace

std::optional<std::size_t> JavaSlotSize(std::uint64_t fileSize) {
  const std::uint64_t size = fileSize / 31;
  for (const Layout& l : kLayouts)
    if (l.size == size) return l.size;
  return std::nullopt;
}

namespace {

JavaSlotsLoad Unsupported() {
  JavaSlotsLoad result;
  result.message = UserMessage{"Unsupported J2MEST format", "Error", MessageIcon::Error};
  return result;
}

// Parses the 30 slots at the start of a file of `fileSize` bytes; `bytes` holds at least them.
JavaSlotsLoad ParseSlots(std::span<const std::uint8_t> bytes, std::uint64_t fileSize) {
  JavaSlotsLoad result;
  const std::optional<std::size_t> size = JavaSlotSize(fileSize);
  if (!size) return Unsupported();
  const Layout layout = *std::find_if(kLayouts.begin(), kLayouts.end(),
                                      [&](const Layout& l) { return l.size == *size; });
  std::size_t midletAt = layout.midlet;
  bool firstUsed = true;
  for (std::size_t i = 0; i < kJavaSlotCount; ++i) {
    const std::uint8_t* slot = bytes.data() + i * layout.size;
    if (slot[layout.name] == 0) continue;
    if (layout.size == 1104 && firstUsed &&
        std::all_of(slot + 1100, slot + 1104, [](std::uint8_t b) { return b == 0xFF; }))
      midletAt = 156;
    firstUsed = false;
    TJavaSlot s;
    s.SlotName = Field(slot, layout.name, layout.vendor);
    s.SlotVendor = Field(slot, layout.vendor, midletAt);
    s.SlotMidlet1 = Field(slot, midletAt, layout.size);
    s.SlotFlag = layout.hasFlag ? (slot[0] & 1) : 0;
    result.slots[i] = std::move(s);
  }
  result.supported = true;
  return result;
}

}  // namespace

JavaSlotsLoad ParseJavaSlots(std::span<const std::uint8_t> bytes) {
  return ParseSlots(bytes, bytes.size());
}

// Only the 30 slots are read, whatever the file's size.
JavaSlotsLoad LoadJavaSlots(const std::filesystem::path& path) {
  ReadFilePrefix(path, 0);  // a file that cannot be read says so, whatever its size
  const std::uint64_t fileSize = FileSize(path);
  const std::optional<std::size_t> size = JavaSlotSize(fileSize);
  if (!size) return Unsupported();
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(path, kJavaSlotCount * *size);
  if (bytes.size() < kJavaSlotCount * *size) return Unsupported();  // it shrank meanwhile
  return ParseSlots(bytes, fileSize);
}

}  // namespace trellune
