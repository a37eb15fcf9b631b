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

ItemDataEntry MakeIconFileEntry(std::uint8_t iconKind, std::u16string_view path) {
  ItemDataEntry e;
  e.TypeCode = kIconFile;
  e.Byte = iconKind;
  e.Path = path;
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

bool IsKnownFrameCode(std::uint8_t code) {
  switch (code) {
    case kMenuTitles:
    case kSoftkeyTitles:
    case kUrlLink:
    case kIconFileCode6:
    case kMidletAttribute:
    case kMidletName:
    case kMidletVendor:
    case kIconFile:
    case kIconDrmList:
    case kIconDrmStatic:
    case kIconDrmAnimated:
    case kCallSendCode1:
    case kCallSendCode2:
    case kCallSendCode3:
    case kShowText:
    case kSendEvent:
    case kShortcutData:
      return true;
    default:
      return false;
  }
}

namespace {

std::optional<std::string> CheckEntry(const ItemDataEntry& e) {
  const std::string type = "an entry of type " + std::to_string(e.TypeCode);
  // A custom icon is held as 12 whatever code the file used.
  if (e.TypeCode != kUnknownGroup &&
      (!IsKnownFrameCode(e.TypeCode) || e.TypeCode == kIconFileCode6))
    return type + " cannot be held";
  switch (e.TypeCode) {
    case kMenuTitles:
    case kSoftkeyTitles:
    case kShowText:
      if (e.Titles.size() > kMaxTitles)
        return "a title list holds at most " + std::to_string(kMaxTitles) + " titles";
      for (const TitleCell& t : e.Titles) {
        if (t.Text.size() + 1 > kMaxTitleUnits)
          return "a title holds at most " + std::to_string(kMaxTitleUnits - 1) + " characters";
        if (t.Text.find(u'\0') != std::u16string::npos) return "a title holds a NUL character";
      }
      break;
    case kUrlLink:
    case kMidletAttribute:
    case kMidletName:
    case kMidletVendor:
      if (e.Text.size() > kMaxAnsiChars)
        return "a text holds at most " + std::to_string(kMaxAnsiChars) + " characters";
      if (e.Text.find('\0') != std::string::npos) return "a text holds a NUL character";
      break;
    case kIconFile:
      if (2 * e.Path.size() + 2 > kMaxIconPathBytes) return "an icon path is too long";
      if (e.Path.find(u'\0') != std::u16string::npos) return "an icon path holds a NUL character";
      break;
    case kUnknownGroup:
      if (e.Frames.empty() || e.Frames.size() > kMaxRawFrames)
        return "the unknown frames of an item number 1 to " + std::to_string(kMaxRawFrames);
      for (const RawFrame& f : e.Frames) {
        if (IsKnownFrameCode(f.TypeCode))
          return "a frame of known type " + std::to_string(f.TypeCode) +
                 " is kept among the unknown ones";
        if (f.Payload.size() > kMaxRawFrameBytes)
          return "an unknown frame holds at most " + std::to_string(kMaxRawFrameBytes) + " bytes";
      }
      break;
    default:  // fixed-size entries
      break;
  }
  if (EncodedLength(e) > 0xFFFF) return type + " holds more than 65,535 bytes";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckItemDataBlock(const ItemDataBlock& block) {
  if (block.Entries.size() > kMaxEntries)
    return "The item holds more than " + std::to_string(kMaxEntries) + " data entries";
  int unknownGroups = 0;
  for (const ItemDataEntry& e : block.Entries) {
    if (e.TypeCode == kUnknownGroup && ++unknownGroups > 1)
      return std::string("The item holds its unknown frames in more than one entry");
    if (auto problem = CheckEntry(e)) return "The item's data cannot be written: " + *problem;
  }
  return std::nullopt;
}

void ClearDataTable(ItemDataTable& table) {
  for (auto& slot : table.Slots) slot.reset();
}

std::uint32_t ComputeDataLength(const std::optional<ItemDataBlock>& block, bool saveAllData) {
  if (!block) return 0;
  std::uint32_t n = 0;
  for (const ItemDataEntry& e : block->Entries) {
    if (e.TypeCode != kUnknownGroup)
      n += EncodedLength(e) + 3u;
    else if (saveAllData)
      n += EncodedLength(e);
  }
  return n;
}

}  // namespace trellune
