#include "itemdata/item_codec.h"

#include <algorithm>
#include <cstdlib>

namespace trellune {
namespace {

constexpr std::uint8_t kMarkedCustom = 0x18;  // the flags of a custom item
constexpr std::uint8_t kWithTitles = 0x08;    // the flags of an item with its own titles

// IconKind, the first byte of an icon file frame, for each slot.
constexpr std::array<std::uint8_t, 3> kIconKinds = {4, 3, 2};
// The DRM frame type of each slot.
constexpr std::array<std::uint8_t, 3> kDrmCodes = {kIconDrmAnimated, kIconDrmStatic, kIconDrmList};
constexpr std::array<const char*, 3> kIconNames = {"Animated icon", "Static icon", "List icon"};
constexpr std::array<const char*, 3> kCodeNames = {"Code 0x12 [?]", "Code 0x13 [?]",
                                                   "Code 0x14 [?]"};

IconSlot SlotOfIconKind(std::uint8_t kind) {
  return kind == 4 ? kAnimatedIcon : kind == 3 ? kStaticIcon : kListIcon;
}

std::u16string Digits(unsigned value) {
  const std::string s = std::to_string(value);
  return {s.begin(), s.end()};
}

// The place of an entry in the file's fixed order.
int Rank(const ItemDataEntry& e) {
  switch (e.TypeCode) {
    case kMenuTitles:
      return 0;
    case kSoftkeyTitles:
      return 1;
    case kShowText:
      return 2;
    case kIconFile:
      return 3 + SlotOfIconKind(e.Byte);
    case kUrlLink:
      return 6;
    case kMidletAttribute:
      return 7;
    case kMidletName:
      return 8;
    case kMidletVendor:
      return 9;
    case kIconDrmAnimated:
      return 10;
    case kIconDrmStatic:
      return 11;
    case kIconDrmList:
      return 12;
    case kSendEvent:
      return 13;
    case kShortcutData:
      return 14;
    case kCallSendCode1:
      return 15;
    case kCallSendCode2:
      return 16;
    case kCallSendCode3:
      return 17;
    case kUnknownGroup:
      return 18;
    default:
      return 19;
  }
}

bool IsFunctionCode(std::uint8_t code) {
  switch (code) {
    case kUrlLink:
    case kMidletAttribute:
    case kMidletName:
    case kMidletVendor:
    case kSendEvent:
    case kShortcutData:
    case kCallSendCode1:
    case kCallSendCode2:
    case kCallSendCode3:
    case kShowText:
      return true;
    default:
      return false;
  }
}

std::vector<TitleRow> RowsOf(const ItemDataEntry& e) {
  std::vector<TitleRow> rows;
  for (const TitleCell& c : e.Titles) rows.push_back({c.LanguageId, c.Text.str()});
  return rows;
}

ItemDataEntry TitlesOf(std::uint8_t code, const std::vector<TitleRow>& rows) {
  std::vector<TitleCell> cells;
  for (const TitleRow& r : rows) cells.push_back({r.LanguageId, r.Text});
  return MakeTitlesEntry(code, std::move(cells));
}

UserMessage FieldError(const std::string& text) {
  return {text, "Item properties", MessageIcon::Error};
}

// A decimal field: "'%s' is not a valid integer value" for what is no number, and a message
// naming the field for a number its frame cannot carry.
std::optional<UserMessage> ParseNumber(const std::string& text, long max, const char* field,
                                       long& value) {
  std::size_t i = text[0] == '+' || text[0] == '-' ? 1 : 0;
  bool digits = i < text.size() && text.size() - i <= 9;
  for (std::size_t k = i; digits && k < text.size(); ++k) digits = text[k] >= '0' && text[k] <= '9';
  if (!digits) return FieldError("'" + text + "' is not a valid integer value");
  value = std::strtol(text.c_str(), nullptr, 10);
  if (value < 0 || value > max)
    return FieldError(std::string(field) + ": " + text + " is not between 0 and " +
                      std::to_string(max));
  return std::nullopt;
}

std::optional<UserMessage> CheckText(const std::string& text, std::size_t max, const char* field) {
  if (text.size() > max)
    return FieldError(std::string(field) + ": the text holds at most " + std::to_string(max) +
                      " characters");
  return std::nullopt;
}

std::optional<UserMessage> CheckRows(const std::vector<TitleRow>& rows, const char* list) {
  for (const TitleRow& r : rows)
    if (r.Text.size() > kMaxRowUnits)
      return FieldError(std::string(list) + ": a text holds at most " +
                        std::to_string(kMaxRowUnits) + " characters");
  return std::nullopt;
}

}  // namespace

void ItemCodec::LoadItem(const std::optional<ItemDataBlock>& block, std::uint8_t itemType,
                         std::uint8_t flags, std::uint8_t attributes, bool restricted) {
  restricted_ = restricted;
  itemType_ = itemType;
  flags_ = flags;
  ClearPanel();
  // The check boxes show the item's own bits: loading is no click on them.
  attributes_ = attributes;
  if (block)
    for (const ItemDataEntry& e : block->Entries) Decode(e);
  // "Call" or "Send" follows the item's type as it was.
  if (form_.Function == ItemFunction::CallSend) form_.Send = itemType == 5;
  loadedForm_ = form_;
}

void ItemCodec::ClearPanel() {
  const bool send = itemType_ == 5;
  form_ = ItemForm{};
  form_.Send = send;
  unknown_.reset();
  loadedFunction_.clear();
  extra_.clear();
  collected_.clear();
  attributes_ &= std::uint8_t(~(kLockableBit | kProtectedBit | kNonChangeableBit));
  itemType_ = itemType_ == 1 ? 1 : 0;
  // A custom item's flags stay what they are; any other item's follow its titles.
  flags_ = flags_ == kMarkedCustom ? kMarkedCustom : 0;
  loadedForm_ = form_;
}

void ItemCodec::Decode(const ItemDataEntry& e) {
  if (IsFunctionCode(e.TypeCode)) loadedFunction_.push_back(e);
  switch (e.TypeCode) {
    case kMenuTitles:
    case kSoftkeyTitles: {
      auto& rows = e.TypeCode == kMenuTitles ? form_.MenuTitles : form_.SoftkeyTitles;
      // A second list, or one without rows, has no place in the dialog: it is kept as it is.
      if (!rows.empty() || e.Titles.empty())
        extra_.push_back(e);
      else
        rows = RowsOf(e);
      return;
    }
    case kShowText:
      if (form_.ShowText.empty()) form_.ShowText = RowsOf(e);
      form_.Function = ItemFunction::ShowText;
      return;
    case kIconFile:
    case kIconDrmList:
    case kIconDrmStatic:
    case kIconDrmAnimated: {
      if (restricted_) return;  // a softkey's icons are neither shown nor kept
      const bool file = e.TypeCode == kIconFile;
      const IconSlot slot = file                             ? SlotOfIconKind(e.Byte)
                            : e.TypeCode == kIconDrmAnimated ? kAnimatedIcon
                            : e.TypeCode == kIconDrmStatic   ? kStaticIcon
                                                             : kListIcon;
      IconField& icon = form_.Icons[slot];
      if (!icon.Path.empty()) {
        extra_.push_back(e);
        return;
      }
      icon.Source = file ? IconSource::FS : IconSource::DRM;
      icon.Path = file ? e.Path.str() : Digits(e.Value);
      icon.FromDrm = !file;
      icon.Byte = e.Byte;
      return;
    }
    case kUrlLink:
      form_.Url = e.Text;
      form_.Function = ItemFunction::UrlLink;
      return;
    case kMidletAttribute:
    case kMidletName:
    case kMidletVendor:
      (e.TypeCode == kMidletAttribute ? form_.Midlet1
       : e.TypeCode == kMidletName    ? form_.MidletName
                                      : form_.MidletVendor) = e.Text;
      form_.Function = ItemFunction::ApplicationStart;
      return;
    case kSendEvent:
      form_.ActionCode = std::to_string(e.Value);
      form_.Function = ItemFunction::SendEvent;
      return;
    case kShortcutData:
      form_.Shortcut = std::string(
          e.Shortcut.begin(), std::find(e.Shortcut.begin(), e.Shortcut.end(), std::uint8_t(0)));
      form_.Function = ItemFunction::Shortcut;
      return;
    case kCallSendCode1:
    case kCallSendCode2:
    case kCallSendCode3:
      form_.Codes[e.TypeCode - kCallSendCode1] = std::to_string(e.Byte);
      form_.Function = ItemFunction::CallSend;
      return;
    case kUnknownGroup:
      if (unknown_)
        extra_.push_back(e);
      else
        unknown_ = e;
      return;
    default:
      extra_.push_back(e);
      return;
  }
}

void ItemCodec::ChooseFunction(ItemFunction function) {
  form_.Send = itemType_ == 5;
  form_.Url.clear();
  form_.Midlet1.clear();
  form_.MidletName.clear();
  form_.MidletVendor.clear();
  form_.ActionCode.clear();
  form_.Shortcut.clear();
  form_.Codes = {};
  form_.ShowText.clear();
  loadedFunction_.clear();
  if (function == ItemFunction::None) unknown_.reset();
  form_.Function = function;
  itemType_ = itemType_ == 1 ? 1 : 0;
}

void ItemCodec::ChooseSend(bool send) {
  form_.Send = send;
  itemType_ = send ? 5 : 4;
}

void ItemCodec::SetAttribute(std::uint8_t bit, bool on) {
  attributes_ = on ? std::uint8_t(attributes_ | bit) : std::uint8_t(attributes_ & ~bit);
}

void ItemCodec::ChooseIconSource(IconSlot slot, IconSource source) {
  IconField& icon = form_.Icons[slot];
  icon.Source = source;
  icon.Path.clear();
  icon.Byte.reset();
  icon.FromDrm = false;
}

bool ItemCodec::FunctionUnchanged() const {
  const ItemForm& a = form_;
  const ItemForm& b = loadedForm_;
  return !loadedFunction_.empty() && a.Function == b.Function && a.Url == b.Url &&
         a.Midlet1 == b.Midlet1 && a.MidletName == b.MidletName &&
         a.MidletVendor == b.MidletVendor && a.ActionCode == b.ActionCode &&
         a.Shortcut == b.Shortcut && a.Send == b.Send && a.Codes == b.Codes &&
         a.ShowText == b.ShowText;
}

std::optional<UserMessage> ItemCodec::ApplyDataChange() {
  collected_.clear();
  std::vector<ItemDataEntry> out;
  if (auto e = CheckRows(form_.MenuTitles, "Menu title")) return e;
  if (auto e = CheckRows(form_.SoftkeyTitles, "Softkey title")) return e;
  if (!form_.MenuTitles.empty()) out.push_back(TitlesOf(kMenuTitles, form_.MenuTitles));
  if (!form_.SoftkeyTitles.empty()) out.push_back(TitlesOf(kSoftkeyTitles, form_.SoftkeyTitles));

  for (int slot = 0; slot < 3; ++slot) {
    const IconField& icon = form_.Icons[std::size_t(slot)];
    if (icon.Path.empty()) continue;
    if (icon.Source == IconSource::FS) {
      if (2 * icon.Path.size() + 2 > kMaxIconPathBytes)
        return FieldError(std::string(kIconNames[std::size_t(slot)]) + ": the path is too long");
      out.push_back(
          MakeIconFileEntry(icon.Byte.value_or(kIconKinds[std::size_t(slot)]), icon.Path));
      continue;
    }
    // A DRM number is decimal digits up to 65535; anything else is said, not mis-summed.
    long number = 0;
    bool digits = icon.Path.size() <= 5;
    for (char16_t c : icon.Path) {
      digits = digits && c >= u'0' && c <= u'9';
      if (digits) number = number * 10 + (c - u'0');
    }
    if (!digits || number > 0xFFFF) {
      std::string shown;
      for (char16_t c : icon.Path) shown.push_back(c < 0x80 ? char(c) : '?');
      return FieldError(std::string(kIconNames[std::size_t(slot)]) + ": '" + shown +
                        "' is not a DRM number (0 to 65535)");
    }
    out.push_back(MakeDrmEntry(kDrmCodes[std::size_t(slot)], icon.Byte.value_or(0x12),
                               std::uint16_t(number)));
  }

  if (FunctionUnchanged()) {
    out.insert(out.end(), loadedFunction_.begin(), loadedFunction_.end());
  } else {
    switch (form_.Function) {
      case ItemFunction::None:
        break;
      case ItemFunction::UrlLink:
        if (auto e = CheckText(form_.Url, kMaxAnsiChars, "URL link")) return e;
        if (!form_.Url.empty()) out.push_back(MakeTextEntry(kUrlLink, form_.Url));
        break;
      case ItemFunction::ApplicationStart: {
        const std::pair<std::uint8_t, const std::string*> fields[] = {
            {kMidletAttribute, &form_.Midlet1},
            {kMidletName, &form_.MidletName},
            {kMidletVendor, &form_.MidletVendor}};
        for (const auto& [code, text] : fields) {
          if (auto e = CheckText(*text, kMaxAnsiChars, "Application start")) return e;
          if (!text->empty()) out.push_back(MakeTextEntry(code, *text));
        }
        break;
      }
      case ItemFunction::SendEvent:
        if (!form_.ActionCode.empty()) {
          long value = 0;
          if (auto e = ParseNumber(form_.ActionCode, 0xFFFF, "Action code (dec) [?]", value))
            return e;
          out.push_back(MakeSendEventEntry(std::uint16_t(value)));
        }
        break;
      case ItemFunction::Shortcut:
        if (auto e = CheckText(form_.Shortcut, kShortcutBytes, "Shortcut data [?]")) return e;
        if (!form_.Shortcut.empty()) out.push_back(MakeShortcutEntry(form_.Shortcut));
        break;
      case ItemFunction::CallSend:
        for (int i = 0; i < 3; ++i) {
          const std::string& code = form_.Codes[std::size_t(i)];
          if (code.empty()) continue;
          long value = 0;
          if (auto e = ParseNumber(code, 0xFF, kCodeNames[std::size_t(i)], value)) return e;
          out.push_back(MakeByteEntry(std::uint8_t(kCallSendCode1 + i), std::uint8_t(value)));
        }
        break;
      case ItemFunction::ShowText:
        if (auto e = CheckRows(form_.ShowText, "Show text")) return e;
        if (!form_.ShowText.empty()) out.push_back(TitlesOf(kShowText, form_.ShowText));
        break;
    }
  }
  if (unknown_) out.push_back(*unknown_);
  out.insert(out.end(), extra_.begin(), extra_.end());
  collected_ = std::move(out);
  return std::nullopt;
}

ItemDataBlock ItemCodec::GetItemData() {
  std::stable_sort(
      collected_.begin(), collected_.end(),
      [](const ItemDataEntry& a, const ItemDataEntry& b) { return Rank(a) < Rank(b); });
  for (ItemDataEntry& e : collected_) {
    UpdateLength(e);
    // An item with a submenu stays a folder: what function frames it holds are kept, but
    // they are no function of it.
    if (itemType_ == 1 && IsFunctionCode(e.TypeCode)) continue;
    switch (e.TypeCode) {
      case kMenuTitles:
      case kSoftkeyTitles:
        if (flags_ != kMarkedCustom) flags_ = kWithTitles;
        break;
      case kUrlLink:
        itemType_ = 3, attributes_ = 0x60;
        break;
      case kMidletAttribute:
      case kMidletName:
      case kMidletVendor:
        itemType_ = 6, attributes_ = 0x60;
        break;
      case kSendEvent:
        itemType_ = 8, attributes_ = 0x60;
        break;
      case kShortcutData:
        itemType_ = 9, attributes_ = 0x60;
        break;
      case kCallSendCode1:
      case kCallSendCode2:
      case kCallSendCode3:
        itemType_ = form_.Send ? 5 : 4, attributes_ = 0x60;
        break;
      case kShowText:
        itemType_ = 7, attributes_ = 0x60;
        break;
      default:
        break;
    }
  }
  ItemDataBlock block;
  block.Entries = collected_;
  return block;
}

std::optional<UserMessage> ItemCodec::Collect(ItemProperties& out) {
  if (auto error = ApplyDataChange()) return error;
  out.data.reset();
  if (HasItemData()) out.data = GetItemData();
  out.ItemType = itemType_;
  out.Flags = flags_;
  out.Attributes = attributes_;
  return std::nullopt;
}

}  // namespace trellune
