// Attached data of menu items: the entries an item carries (titles, icon, function data) and
// the 256-slot table that holds one block per item, indexed by the item's record number.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mma/inline_string.h"

namespace trellune {

// Frame type codes of the data area.
enum TypeCode : std::uint8_t {
  kMenuTitles = 0,
  kSoftkeyTitles = 1,
  kUrlLink = 5,
  kIconFileCode6 = 6,  // a custom icon as some firmwares mark it; held as kIconFile
  kMidletAttribute = 9,
  kMidletName = 10,
  kMidletVendor = 11,
  kIconFile = 12,
  kIconDrmList = 15,
  kIconDrmStatic = 16,
  kIconDrmAnimated = 17,
  kCallSendCode1 = 18,
  kCallSendCode2 = 19,
  kCallSendCode3 = 20,
  kShowText = 21,
  kSendEvent = 22,
  kShortcutData = 23,
  kUnknownGroup = 254,  // in memory only: all frames of an item whose type is not known
};

// Capacities of one item's data.
constexpr std::size_t kMaxEntries = 11;
constexpr std::size_t kMaxTitles = 28;
constexpr std::size_t kMaxTitleUnits = 400;       // UTF-16 units of one title, terminator included
constexpr std::size_t kMaxAnsiChars = 255;        // without the terminating NUL
constexpr std::size_t kMaxIconPathBytes = 22572;  // UTF-16 path, terminator included
constexpr std::size_t kMaxRawFrames = 11;
constexpr std::size_t kMaxRawFrameBytes = 2048;
constexpr std::size_t kShortcutBytes = 25;

// Most titles, icon paths and 8-bit texts fit inline (a menu title shows about 20
// characters; a path such as "/a/mobile/picture/weather.gif" is about 30 units; a URL or a
// MIDlet's name, vendor or attribute line rarely passes 100 characters), so a menu is read
// without an allocation per text.
using TitleText = InlineString<char16_t, 28>;
using IconPath = InlineString<char16_t, 44>;
using EntryText = InlineString<char, 104>;

struct TitleCell {
  std::uint8_t LanguageId = 1;
  TitleText Text;  // without the terminating 0x0000
  bool operator==(const TitleCell&) const = default;
};

struct RawFrame {
  std::uint8_t TypeCode = 0;
  std::vector<std::uint8_t> Payload;  // its length is the frame's length field
  bool operator==(const RawFrame&) const = default;
};

// One entry of an item's data. Which payload fields are used depends on TypeCode:
//   0, 1, 21     Titles
//   5, 9, 10, 11 Text (8-bit, without its NUL)
//   12           Byte (IconKind) and Path (UTF-16, without its terminator)
//   15, 16, 17   Byte and Value (DRM number)
//   18, 19, 20   Byte
//   22           Value
//   23           Shortcut (25 bytes, NUL-padded 8-bit kind name)
//   254          Frames
struct ItemDataEntry {
  // User-provided, so that a new entry is built from the initializers below rather than
  // zero-filled first: reading a menu makes hundreds of them.
  ItemDataEntry() noexcept {}

  // The small fields first, so that they pack without padding.
  std::uint8_t TypeCode = 0;
  std::uint8_t Byte = 0;
  std::uint16_t Length = 0;  // payload bytes of the entry's frame(s); kept by UpdateLength
  std::uint16_t Value = 0;
  std::array<std::uint8_t, kShortcutBytes> Shortcut{};
  std::vector<TitleCell> Titles;
  EntryText Text;
  IconPath Path;
  std::vector<RawFrame> Frames;

  bool operator==(const ItemDataEntry&) const = default;
};

// The number of payload bytes the entry encodes to (for 254: the sum of 3 + frame length
// over its frames). Computed in 32 bits so that an oversized entry can be refused.
std::uint32_t EncodedLength(const ItemDataEntry& entry);

// Sets Length from the payload. Entries built in memory or read from a file always go
// through this, so a held Length never disagrees with what the writer emits.
void UpdateLength(ItemDataEntry& entry);

// Entry builders for the known frame types.
ItemDataEntry MakeTitlesEntry(std::uint8_t typeCode, std::vector<TitleCell> titles);
ItemDataEntry MakeTextEntry(std::uint8_t typeCode, std::string text);
ItemDataEntry MakeIconFileEntry(std::uint8_t iconKind, std::u16string_view path);
ItemDataEntry MakeDrmEntry(std::uint8_t typeCode, std::uint8_t byte, std::uint16_t number);
ItemDataEntry MakeByteEntry(std::uint8_t typeCode, std::uint8_t value);
ItemDataEntry MakeSendEventEntry(std::uint16_t value);
ItemDataEntry MakeShortcutEntry(std::string_view kindName);

struct ItemDataBlock {
  std::uint8_t OwnerId = 0;
  std::vector<ItemDataEntry> Entries;  // at most kMaxEntries, in file order

  std::uint8_t EntryCount() const { return static_cast<std::uint8_t>(Entries.size()); }
  bool operator==(const ItemDataBlock&) const = default;
};

// What the item properties dialog hands back on OK: the item's data (nullopt: the item keeps
// none) and its three record bytes.
struct ItemProperties {
  std::optional<ItemDataBlock> data;
  std::uint8_t ItemType = 0;
  std::uint8_t Flags = 0;
  std::uint8_t Attributes = 0;
};

// 256 slots indexed by item Id; a slot is empty or holds one block.
struct ItemDataTable {
  std::array<std::optional<ItemDataBlock>, 256> Slots;

  std::optional<ItemDataBlock>& operator[](std::uint8_t id) { return Slots[id]; }
  const std::optional<ItemDataBlock>& operator[](std::uint8_t id) const { return Slots[id]; }
};

// Whether a frame of this type code is read into an entry of its own (every other code goes
// into the unknown-frames entry). 6 and 12 are both custom icons.
bool IsKnownFrameCode(std::uint8_t code);

// What keeps the block from being written and read back as it is, in the user's words:
// more entries, titles or frames than an item holds, an over-long text, a NUL inside a text,
// an entry type the file does not know, a second unknown-frames entry. nullopt when none.
std::optional<std::string> CheckItemDataBlock(const ItemDataBlock& block);

// Releases every block and empties all 256 slots.
void ClearDataTable(ItemDataTable& table);

// Bytes the block occupies in the data area (0 for no block): 3 + length for each entry but
// the unknown-frames entry, whose length counts only when "Save all data" is on. Lengths are
// those the entries encode to (EncodedLength), so they always agree with what is written.
// Computed in 32 bits; the writer refuses what does not fit the file's 16-bit field.
std::uint32_t ComputeDataLength(const std::optional<ItemDataBlock>& block, bool saveAllData);

}  // namespace trellune
