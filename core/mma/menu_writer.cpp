#include "mma/menu_writer.h"

#include <array>
#include <string>

#include "io/file_io.h"

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
  explicit Writer(const MenuDocument& doc) : doc_(doc), o_(doc.Options) {}

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

    std::size_t dataBytes = 0;
    doc_.Tree.ForEach([&](MenuNode& node) {
      dataBytes += ComputeDataLength(doc_.ItemData[node.Item.Id], o_.saveAllData);
    });
    out_.reserve(10 + records * rl_ + dataBytes);
    out_.assign(kTemplate.begin(), kTemplate.begin() + 10 + rl_);
    out_[1] = o_.c698pFix ? 0x03 : 0x01;
    out_[2] = std::uint8_t(records);
    if (rl_ == 22) out_[6] = out_[7] = 0xFF;

    WriteSingleRecord(*container);
    WriteItemRun(container->Children);
    WriteSingleRecord(*root);
    if (root->HasChildren()) WriteItemRun(root->Children);
    WriteItemData();
    return std::move(out_);
  }

 private:
  void Put16(std::uint32_t v) {
    out_.push_back(std::uint8_t(v >> 8));
    out_.push_back(std::uint8_t(v));
  }

  void PutRecordHead(const TMMAItem& item, std::uint8_t itemType) {
    out_.insert(out_.end(), {itemType, item.ParentIndex, item.NextIndex, item.ChildIndex,
                             item.Flags, item.Attributes});
    for (int i = 0; i < nameWidth_; ++i)
      out_.push_back(i < int(item.Name.size()) ? std::uint8_t(item.Name[i]) : 0);
    if (rl_ == 36) out_.push_back(item.Group);
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
      if (!doc_.Kinds.IsKnownName(item.Name)) throw Refused(ProfileMismatchOnSave());
      // A cut name would no longer name its kind, and the file could not be read again.
      if (item.Name.size() > std::size_t(nameWidth_))
        throw Refused(CannotSave("\"" + item.Name + "\" is longer than the " +
                                 std::to_string(nameWidth_) + " characters of a " +
                                 std::to_string(rl_) + "-byte record; save with 36-byte records"));
      // The document keeps the type it holds, so turning "Save all data" on again brings
      // back what it leaves out.
      PutRecordHead(item, WrittenItemType(*node, o_.saveAllData));
      Put16(offset_);
      const auto& slot = doc_.ItemData[item.Id];
      if (slot)
        for (const ItemDataEntry& e : slot->Entries)
          if (EncodedLength(e) > 0xFFFF)
            throw Refused(
                CannotSave("an entry of item \"" + item.Name + "\" holds more than 65,535 bytes"));
      const std::uint32_t length = ComputeDataLength(slot, o_.saveAllData);
      if (length > 0xFFFF)
        throw Refused(CannotSave("item \"" + item.Name + "\" has more than 65,535 bytes of data"));
      Put16(length);
      if (length) dataIds_.push_back(item.Id);
      offset_ += length;
      if (offset_ > 0xFFFF)
        throw Refused(CannotSave("the menu has more than 65,535 bytes of attached data"));
    }
    for (const auto& node : run)
      if (node->HasChildren()) WriteItemRun(node->Children);
  }

  void PutUtf16(const std::u16string& s) {
    const std::size_t at = out_.size();
    out_.resize(at + 2 * s.size() + 2);
    std::uint8_t* p = out_.data() + at;
    for (char16_t u : s) {
      *p++ = std::uint8_t(u >> 8);
      *p++ = std::uint8_t(u);
    }
    p[0] = p[1] = 0;
  }

  // Data of every item that got a DataLength, in record order, so the data always matches
  // the offsets in the records.
  void WriteItemData() {
    for (std::uint8_t id : dataIds_) {
      const auto& slot = doc_.ItemData[id];
      if (!slot) continue;
      for (const ItemDataEntry& e : slot->Entries) WriteEntry(e);
    }
  }

  void WriteEntry(const ItemDataEntry& e) {
    if (e.TypeCode == kUnknownGroup) {
      if (!o_.saveAllData) return;
      for (const RawFrame& f : e.Frames) {
        out_.push_back(f.TypeCode);
        Put16(std::uint32_t(f.Payload.size()));
        out_.insert(out_.end(), f.Payload.begin(), f.Payload.end());
      }
      return;
    }
    std::uint8_t code = e.TypeCode;
    if (code == kIconFile && o_.iconMarker == IconMarker::k06) code = kIconFileCode6;
    out_.push_back(code);
    Put16(EncodedLength(e));
    switch (e.TypeCode) {
      case kMenuTitles:
      case kSoftkeyTitles:
      case kShowText: {
        out_.push_back(std::uint8_t(e.Titles.size()));
        std::uint32_t end = 0;
        for (const TitleCell& t : e.Titles) {
          end += 2 * std::uint32_t(t.Text.size()) + 2;
          out_.push_back(t.LanguageId);
          out_.push_back(rl_ == 36 ? 0xCD : 0x00);
          Put16(end);
        }
        for (const TitleCell& t : e.Titles) PutUtf16(t.Text);
        break;
      }
      case kUrlLink:
      case kMidletAttribute:
      case kMidletName:
      case kMidletVendor:
        out_.insert(out_.end(), e.Text.begin(), e.Text.end());
        out_.push_back(0);
        break;
      case kIconFile:
        out_.push_back(e.Byte);
        PutUtf16(e.Path);
        break;
      case kIconDrmList:
      case kIconDrmStatic:
      case kIconDrmAnimated:
        out_.push_back(e.Byte);
        out_.push_back(0);
        Put16(e.Value);
        break;
      case kCallSendCode1:
      case kCallSendCode2:
      case kCallSendCode3:
        out_.push_back(e.Byte);
        break;
      case kSendEvent:
        Put16(e.Value);
        break;
      case kShortcutData:
        out_.insert(out_.end(), e.Shortcut.begin(), e.Shortcut.end());
        break;
      default:
        break;
    }
  }

  const MenuDocument& doc_;
  const FormatOptions& o_;
  int rl_ = 36;
  int nameWidth_ = 25;
  std::uint32_t offset_ = 0;
  std::vector<std::uint8_t> dataIds_;
  std::vector<std::uint8_t> out_;
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
