// An item's attached data as the item properties dialog edits it: its entries decoded into
// fields (titles, icons, the one function) and encoded back in the file's fixed order, with
// the item's type, flags and attribute bytes following what the data holds.
//
// The codec keeps what the dialog does not edit: the frames of unknown types, the bytes of an
// icon or DRM frame beside its path or number, and, while the user leaves the function as it
// was loaded, every function frame exactly as loaded (an item read with the frames of two
// functions keeps them all). Opening an item and closing with OK changes nothing but what the
// encoding rules say.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "messages.h"
#include "mma/item_data.h"

namespace trellune {

enum class ItemFunction {
  None,
  UrlLink,
  ApplicationStart,
  SendEvent,
  Shortcut,
  CallSend,
  ShowText
};
inline constexpr std::array<std::string_view, 7> kItemFunctionTexts = {
    "[None]", "URL link", "Application start", "Send event", "Shortcut", "Call/Send", "Show text"};

enum IconSlot { kAnimatedIcon = 0, kStaticIcon = 1, kListIcon = 2 };
enum class IconSource { FS, DRM };

// Record bytes of the "Item attributes" check boxes.
constexpr std::uint8_t kLockableBit = 0x01;
constexpr std::uint8_t kProtectedBit = 0x20;
constexpr std::uint8_t kNonChangeableBit = 0x04;

// The longest text of a title or "Show text" row: 400 UTF-16 units with the terminator.
constexpr std::size_t kMaxRowUnits = kMaxTitleUnits - 1;
constexpr std::size_t kMaxListRows = 12;  // rows the dialog lets a list grow to

struct TitleRow {
  std::uint8_t LanguageId = 1;  // kept as read, even outside 1..47
  std::u16string Text;
  bool operator==(const TitleRow&) const = default;
};

struct IconField {
  IconSource Source = IconSource::FS;
  std::u16string Path;               // the phone path, or the DRM number's decimal digits
  bool FromDrm = false;              // loaded from a DRM frame (its browse button stays off)
  std::optional<std::uint8_t> Byte;  // the frame's first byte as loaded (IconKind or 0x12)
  bool operator==(const IconField&) const = default;
};

// The fields of the dialog. 8-bit texts hold bytes (Latin-1 for display).
struct ItemForm {
  std::vector<TitleRow> MenuTitles, SoftkeyTitles, ShowText;
  std::array<IconField, 3> Icons;  // by IconSlot
  ItemFunction Function = ItemFunction::None;
  std::string Url, Midlet1, MidletName, MidletVendor;
  std::string ActionCode;  // decimal text
  std::string Shortcut;
  bool Send = false;                 // "Send" chosen rather than "Call"
  std::array<std::string, 3> Codes;  // "Code 0x12 [?]" .. "Code 0x14 [?]", decimal text
  bool operator==(const ItemForm&) const = default;
};

class ItemCodec {
 public:
  // Decodes an item: its block (or none) and its three record bytes. `restricted`: the
  // item is "Softkeys" or a softkey, whose icons are neither shown nor kept.
  void LoadItem(const std::optional<ItemDataBlock>& block, std::uint8_t itemType,
                std::uint8_t flags, std::uint8_t attributes, bool restricted);

  ItemForm& Form() { return form_; }
  const ItemForm& Form() const { return form_; }
  bool Restricted() const { return restricted_; }
  // An item with a submenu (type 1) has no function.
  bool HasSubmenu() const { return itemType_ == 1; }

  // "Reset All Data": every field and every kept frame goes.
  void ClearPanel();
  // A function chosen in "Item function:": the function fields are emptied and the frames of
  // the function as loaded dropped; "[None]" also drops the unknown frames.
  void ChooseFunction(ItemFunction function);
  // The "Call"/"Send" choice: the type becomes 5 for Send, 4 for Call.
  void ChooseSend(bool send);
  // A check box of "Item attributes".
  void SetAttribute(std::uint8_t bit, bool on);
  bool Attribute(std::uint8_t bit) const { return (attributes_ & bit) != 0; }
  // A "Source" choice: the icon's path is emptied.
  void ChooseIconSource(IconSlot slot, IconSource source);

  // Collects the fields into frames. A field that does not hold what its frame can carry
  // (an action code that is not a number up to 65535, a code above 255, a DRM number with
  // other characters than digits) is refused with a message naming it; nothing is collected.
  std::optional<UserMessage> ApplyDataChange();
  // After ApplyDataChange: whether there is any frame to store.
  bool HasItemData() const { return !collected_.empty(); }
  // The collected frames as a block, in the file's fixed order; updates the three bytes.
  ItemDataBlock GetItemData();
  std::uint8_t GetItemType() const { return itemType_; }
  std::uint8_t GetFlags() const { return flags_; }
  std::uint8_t GetAttributes() const { return attributes_; }

  // ApplyDataChange, HasItemData, GetItemData and the bytes in one: what the caller stores
  // on OK, or the message that stops it.
  std::optional<UserMessage> Collect(ItemProperties& out);

 private:
  void Decode(const ItemDataEntry& e);
  bool FunctionUnchanged() const;

  ItemForm form_;
  bool restricted_ = false;
  std::uint8_t itemType_ = 0, flags_ = 0, attributes_ = 0;
  std::optional<ItemDataEntry> unknown_;       // the unknown frames, a place of their own
  std::vector<ItemDataEntry> loadedFunction_;  // every function frame as loaded
  ItemForm loadedForm_;                        // the fields as loaded, to see a change
  std::vector<ItemDataEntry> extra_;           // entries no place took (a second title list)
  std::vector<ItemDataEntry> collected_;
};

}  // namespace trellune
