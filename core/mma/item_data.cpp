#include "mma/item_data.h"

#include <algorithm>

namespace trellune {

std::uint32_t EncodedLength(const ItemDataEntry& e) {
  switch (e.TypeCode) {
    case kMenuTitles:
    case kSoftkeyTitles:
    case kShowText: {
      std::uint32_t n = 1 + 4 * std::uint32_t(e.Titles.size());
      for (const TitleCell& t : e.Titles) n += 2 * std::uint32_t(t.Text.size()) + 2;
      return n;
    }
    case kUrlLink:
    case kMidletAttribute:
    case kMidletName:
    case kMidletVendor:
      return std::uint32_t(e.Text.size()) + 1;
    case kIconFile:
    case kIconFileCode6:
      return 1 + 2 * std::uint32_t(e.Path.size()) + 2;
    case kIconDrmList:
    case kIconDrmStatic:
    case kIconDrmAnimated:
      return 4;
    case kCallSendCode1:
    case kCallSendCode2:
    case kCallSendCode3:
      return 1;
    case kSendEvent:
      return 2;
    case kShortcutData:
      return kShortcutBytes;
    case kUnknownGroup: {
      std::uint32_t n = 0;
      for (const RawFrame& f : e.Frames) n += 3 + std::uint32_t(f.Payload.size());
      return n;
    }
    default:
      return 0;
  }
}

void UpdateLength(ItemDataEntry& entry) {
  entry.Length = static_cast<std::uint16_t>(std::min<std::uint32_t>(EncodedLength(entry), 0xFFFF));
}

namespace {
ItemDataEntry Finish(ItemDataEntry e) {
  UpdateLength(e);
  return e;
}
}  // namespace

ItemDataEntry MakeTitlesEntry(std::uint8_t typeCode, std::vector<TitleCell> titles) {
  ItemDataEntry e;
  e.TypeCode = typeCode;
  e.Titles = std::move(titles);
  return Finish(std::move(e));
}

ItemDataEntry MakeTextEntry(std::uint8_t typeCode, std::string text) {
  ItemDataEntry e;
  e.TypeCode = typeCode;
  e.Text = std::move(text);
  return Finish(std::move(e));
}

ItemDataEntry MakeIconFileEntry(std::uint8_t iconKind, std::u16string path) {
  ItemDataEntry e;
  e.TypeCode = kIconFile;
  e.Byte = iconKind;
  e.Path = std::move(path);
  return Finish(std::move(e));
}

ItemDataEntry MakeDrmEntry(std::uint8_t typeCode, std::uint8_t byte, std::uint16_t number) {
  ItemDataEntry e;
  e.TypeCode = typeCode;
  e.Byte = byte;
  e.Value = number;
  return Finish(std::move(e));
}

ItemDataEntry MakeByteEntry(std::uint8_t typeCode, std::uint8_t value) {
  ItemDataEntry e;
  e.TypeCode = typeCode;
  e.Byte = value;
  return Finish(std::move(e));
}

ItemDataEntry MakeSendEventEntry(std::uint16_t value) {
  ItemDataEntry e;
  e.TypeCode = kSendEvent;
  e.Value = value;
  return Finish(std::move(e));
}

ItemDataEntry MakeShortcutEntry(std::string_view kindName) {
  ItemDataEntry e;
  e.TypeCode = kShortcutData;
  std::copy_n(kindName.begin(), std::min(kindName.size(), kShortcutBytes), e.Shortcut.begin());
  return Finish(std::move(e));
}

void ClearDataTable(ItemDataTable& table) {
  for (auto& slot : table.Slots) slot.reset();
}

std::uint32_t ComputeDataLength(const std::optional<ItemDataBlock>& block, bool saveAllData) {
  if (!block) return 0;
  std::uint32_t n = 0;
  for (const ItemDataEntry& e : block->Entries) {
    if (e.TypeCode != kUnknownGroup)
      n += e.Length + 3u;
    else if (saveAllData)
      n += e.Length;
  }
  return n;
}

}  // namespace trellune
