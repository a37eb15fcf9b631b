#include "mma/menu_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>

#include "io/file_io.h"
#include "mma/utf16be.h"

namespace trellune {
namespace {

// Header plus record 0 in its 36-byte form; a 22-byte file takes the first 10 + 22 bytes.
constexpr std::array<std::uint8_t, 46> kTemplate = {
    0x00, 0x01, 0x00, 0x01, 0xFF, 0xFF, 0x15, 0x02, 0xFF, 0xFF,  // header
    0x01, 0xFF, 0xFF, 0x01, 0x00, 0x00,                          // root record
    'R',  'o',  'o',  't',  0,    0,    0,    0,    0,    0,    0, 0, 0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0, 0,  // "Root"
    0xCC, 0x00, 0x00, 0x00, 0x00};

class Refused {
 public:
  explicit Refused(UserMessage m) : message(std::move(m)) {}
  UserMessage message;
};

UserMessage CannotSave(const std::string& text) {
  return {"The menu cannot be saved as mma_ucp: " + text, "Save error", MessageIcon::Error};
}

class Writer {
 public:
  explicit Writer(const MenuDocument& doc) : doc_(doc), o_(doc.Options), kinds_(doc.Kinds) {}

  std::vector<std::uint8_t> Write() {
    rl_ = o_.recordLength == 22 ? 22 : 36;
    nameWidth_ = rl_ == 22 ? 12 : 25;

    MenuNode* container = doc_.Tree.SoftkeyContainer();
    MenuNode* root = doc_.Tree.MenuRoot();
    if (!container || !root || doc_.Tree.TopNodes().size() != 2 || container->Children.size() != 7)
      throw Refused(
          {"The menu has no softkeys and main menu to save", "Save error", MessageIcon::Error});
    const std::size_t records = doc_.Tree.Count() + 1;
    if (records > kMaxRecords)
      throw Refused(CannotSave("it needs " + std::to_string(records) +
                               " records, and a file holds at most 255 (245 main items)"));

    // The records at their final size (zeros are the names' padding), then each item's data
    // appended as its record is written: records and data follow the same order. The data
    // area never passes 64 KiB, so the bytes never move once reserved.
    out_.reserve(10 + records * rl_ + 0xFFFF);
    out_.resize(10 + records * rl_);
    std::copy(kTemplate.begin(), kTemplate.begin() + 10 + rl_, out_.begin());
    out_[1] = o_.c698pFix ? 0x03 : 0x01;
    out_[2] = std::uint8_t(records);
    if (rl_ == 22) out_[6] = out_[7] = 0xFF;
    w_ = out_.data() + 10 + rl_;

    WriteSingleRecord(*container);
    WriteItemRun(container->Children);
    WriteSingleRecord(*root);
    if (root->HasChildren()) WriteItemRun(root->Children);
    return std::move(out_);
  }

 private:
  // Writes go through a cursor into bytes sized beforehand.
  void Put(std::uint8_t v) { *w_++ = v; }
  void Put16(std::uint32_t v) {
    w_[0] = std::uint8_t(v >> 8);
    w_[1] = std::uint8_t(v);
    w_ += 2;
  }

  void PutRecordHead(const TMMAItem& item, std::uint8_t itemType) {
    std::uint8_t* p = w_;
    w_ += 6 + std::size_t(nameWidth_) + (rl_ == 36 ? 1 : 0);
    p[0] = itemType;
    p[1] = item.ParentIndex;
    p[2] = item.NextIndex;
    p[3] = item.ChildIndex;
    p[4] = item.Flags;
    p[5] = item.Attributes;
    std::memcpy(p + 6, item.Name.data(), std::min(item.Name.size(), std::size_t(nameWidth_)));
    if (rl_ == 36) p[6 + nameWidth_] = item.Group;
  }

  void WriteSingleRecord(const MenuNode& node) {
    TMMAItem item = node.Item;
    // An empty main menu's root names no first item (a new menu holds 10 there, a record the
    // file does not have).
    if (&node == doc_.Tree.MenuRoot() && !node.HasChildren()) item.ChildIndex = kNoIndex;
    PutRecordHead(item, item.ItemType);
    Put16(item.DataOffset);
    Put16(item.DataLength);
  }

  void WriteItemRun(const NodeList& run) {
    for (const auto& node : run) {
      const TMMAItem& item = node->Item;
      if (!kinds_.IsKnownName(item.Name)) throw Refused(ProfileMismatchOnSave());
      // A cut name would no longer name its kind, and the file could not be read again.
      if (item.Name.size() > std::size_t(nameWidth_))
        throw Refused(CannotSave("\"" + item.Name + "\" is longer than the " +
                                 std::to_string(nameWidth_) + " characters of a " +
                                 std::to_string(rl_) + "-byte record; save with 36-byte records"));
      // The document keeps the type it holds, so turning "Save all data" on again brings
      // back what it leaves out.
      PutRecordHead(item, WrittenItemType(*node, o_.saveAllData));
      Put16(offset_);
      // Each entry's length once: checked, then written with its frame.
      const auto& slot = doc_.ItemData[item.Id];
      std::uint32_t length = 0;
      lengths_.clear();
      if (slot)
        for (const ItemDataEntry& e : slot->Entries) {
          const std::uint32_t entry = EncodedLength(e);
          if (entry > 0xFFFF)
            throw Refused(
                CannotSave("an entry of item \"" + item.Name + "\" holds more than 65,535 bytes"));
          if (e.TypeCode != kUnknownGroup)
            length += entry + 3;
          else if (o_.saveAllData)
            length += entry;
          lengths_.push_back(entry);
        }
      if (length > 0xFFFF)
        throw Refused(CannotSave("item \"" + item.Name + "\" has more than 65,535 bytes of data"));
      Put16(length);
      if (offset_ + length > 0xFFFF)
        throw Refused(CannotSave("the menu has more than 65,535 bytes of attached data"));
      if (length) WriteItemData(slot->Entries, length);
      offset_ += length;
    }
    for (const auto& node : run)
      if (node->HasChildren()) WriteItemRun(node->Children);
  }

  // An item's data at the end of the file, while the cursor is away from the records.
  void WriteItemData(const std::vector<ItemDataEntry>& entries, std::uint32_t length) {
    std::uint8_t* const record = w_;
    const std::size_t start = out_.size();
    out_.resize(start + length);
    w_ = out_.data() + start;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const ItemDataEntry& e = entries[i];
      const std::uint8_t* before = w_;
      WriteEntry(e, lengths_[i]);
      // The record was given the sum of these lengths; writing more would run past it.
      const std::size_t expected = e.TypeCode != kUnknownGroup ? lengths_[i] + 3
                                   : o_.saveAllData            ? lengths_[i]
                                                               : 0;
      if (std::size_t(w_ - before) != expected)
        throw std::logic_error("menu data entry written at a length other than its own");
    }
    w_ = record;
  }

  void PutUtf16(std::u16string_view s) {
    utf16be::Encode(s.data(), s.size(), w_);
    w_ += 2 * s.size();
    Put(0);  // the terminator
    Put(0);
  }

  void PutBytes(const void* data, std::size_t n) {
    if (n == 0) return;  // an empty payload may have no storage at all
    std::memcpy(w_, data, n);
    w_ += n;
  }

  void WriteEntry(const ItemDataEntry& e, std::uint32_t length) {
    if (e.TypeCode == kUnknownGroup) {
      if (!o_.saveAllData) return;
      for (const RawFrame& f : e.Frames) {
        Put(f.TypeCode);
        Put16(std::uint32_t(f.Payload.size()));
        PutBytes(f.Payload.data(), f.Payload.size());
      }
      return;
    }
    std::uint8_t code = e.TypeCode;
    if (code == kIconFile || code == kIconFileCode6)
      code = o_.iconMarker == IconMarker::k06 ? kIconFileCode6 : kIconFile;
    Put(code);
    Put16(length);
    switch (e.TypeCode) {
      case kMenuTitles:
      case kSoftkeyTitles:
      case kShowText: {
        Put(std::uint8_t(e.Titles.size()));
        std::uint32_t end = 0;
        for (const TitleCell& t : e.Titles) {
          end += 2 * std::uint32_t(t.Text.size()) + 2;
          Put(t.LanguageId);
          Put(rl_ == 36 ? 0xCD : 0x00);
          Put16(end);
        }
        for (const TitleCell& t : e.Titles) PutUtf16(t.Text);
        break;
      }
      case kUrlLink:
      case kMidletAttribute:
      case kMidletName:
      case kMidletVendor:
        PutBytes(e.Text.data(), e.Text.size());
        Put(0);  // the terminator
        break;
      case kIconFile:
      case kIconFileCode6:
        Put(e.Byte);
        PutUtf16(e.Path);
        break;
      case kIconDrmList:
      case kIconDrmStatic:
      case kIconDrmAnimated:
        Put(e.Byte);
        Put(0);
        Put16(e.Value);
        break;
      case kCallSendCode1:
      case kCallSendCode2:
      case kCallSendCode3:
        Put(e.Byte);
        break;
      case kSendEvent:
        Put16(e.Value);
        break;
      case kShortcutData:
        PutBytes(e.Shortcut.data(), e.Shortcut.size());
        break;
      default:
        break;
    }
  }

  const MenuDocument& doc_;
  const FormatOptions& o_;
  KindIndex kinds_;
  int rl_ = 36;
  int nameWidth_ = 25;
  std::uint32_t offset_ = 0;            // of the next item's data in the data area
  std::vector<std::uint32_t> lengths_;  // of the entries of the item being written
  std::vector<std::uint8_t> out_;
  std::uint8_t* w_ = nullptr;
};

}  // namespace

std::uint8_t WrittenItemType(const MenuNode& node, bool saveAllData) {
  std::uint8_t type = node.Item.ItemType;
  if (type == 1 && !node.HasChildren() && node.Item.Group != kGroupSoftkeys) type = 0;
  if ((type == 2 || type >= 10) && !saveAllData) type = 0;
  return type;
}

UserMessage ProfileMismatchOnSave() {
  return {"mma_ucp doesn't match current profile", "Profile error", MessageIcon::Error};
}

WriteOutcome SerializeMenu(const MenuDocument& doc) {
  try {
    return {Writer(doc).Write(), std::nullopt};
  } catch (const Refused& r) {
    return {{}, r.message};
  }
}

std::optional<UserMessage> WriteMenuFile(const std::filesystem::path& path, MenuDocument& doc) {
  WriteOutcome outcome = SerializeMenu(doc);
  doc.SaveFailed = !outcome.ok();
  if (!outcome.ok()) return outcome.refusal;
  try {
    WriteFileAtomically(path, outcome.bytes);
  } catch (const FileError&) {
    doc.SaveFailed = true;  // nothing may be sent to a phone after a failed save
    throw;
  }
  return std::nullopt;
}

}  // namespace trellune
