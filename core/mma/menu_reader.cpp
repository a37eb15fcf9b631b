#include "mma/menu_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "io/file_io.h"
#include "mma/menu_ops.h"
#include "mma/utf16be.h"

namespace trellune {
namespace {

std::uint16_t Be16(const std::uint8_t* p) {
  return std::uint16_t(p[0] << 8 | p[1]);
}

[[noreturn]] void Malformed(const std::string& what) {
  throw MalformedMenuFile("mma_ucp is damaged: " + what);
}

// A UTF-16 big-endian string from a byte range, up to its 0x0000 unit (or the range's end),
// decoded straight into `out`.
template <typename Text>
void Utf16Until0(const std::uint8_t* p, std::size_t bytes, Text& out) {
  const std::size_t units = utf16be::LengthUntil0(p, bytes / 2);
  utf16be::Decode(p, units, out.ResizeForOverwrite(units));
}

// What a read builds: the parts of a document a file gives. The document takes them over
// only when the whole file was read.
struct ReadMenu {
  MenuTree Tree;
  ItemDataTable ItemData;
  std::uint8_t DataItemCount = 0;
  std::uint8_t CustomItemCount = 0;
  int RecordLength = 0;
  std::size_t DataAreaOffset = 0;
  FormatOptions Options;
};

// Bytes a frame takes, header included. Types 18..20, 22 and 23 have a fixed size whatever
// their length field says.
std::size_t FrameSize(std::uint8_t code, std::size_t lengthField) {
  switch (code) {
    case kCallSendCode1:
    case kCallSendCode2:
    case kCallSendCode3:
      return 4;
    case kSendEvent:
      return 5;
    case kShortcutData:
      return 3 + kShortcutBytes;
    default:
      return 3 + lengthField;
  }
}

// The entries an item's data makes (each known frame, and one for all unknown ones), capped
// at what an item holds: the capacity to reserve before parsing them.
std::size_t CountEntries(const std::uint8_t* d, std::size_t len) {
  std::size_t entries = 0, pos = 0;
  bool unknown = false;
  while (pos + 3 <= len && entries < kMaxEntries + 1) {
    const std::uint8_t code = d[pos];
    if (IsKnownFrameCode(code))
      ++entries;
    else if (!unknown)
      unknown = true, ++entries;
    pos += FrameSize(code, Be16(d + pos + 1));
  }
  return std::min(entries, kMaxEntries);
}

class Reader {
 public:
  // Reads into `doc`, checking kind names against `kinds`.
  Reader(std::span<const std::uint8_t> bytes, ReadMenu& doc, const KindList& kinds)
      : b_(bytes), doc_(doc), kinds_(kinds), index_(kinds) {}

  std::vector<UserMessage> warnings;

  void Read() {
    // Records 0..8 must be there: the softkeys are read whatever N says.
    if (b_.size() < 42) Malformed("the file is too short to hold a menu");
    doc_.DataItemCount = 0;

    rl_ = b_[41] == 0xCC ? 36 : 22;
    nameWidth_ = rl_ == 36 ? 25 : 12;
    doc_.RecordLength = rl_;
    doc_.Options.SetFromFileRecordLength(rl_);
    if (doc_.Options.c698pFixEnabled) doc_.Options.c698pFix = b_[1] == 3;

    n_ = b_[2];
    if (n_ < 10)
      Malformed("the header announces " + std::to_string(n_) +
                " records, fewer than the 10 fixed records of every menu");
    if (b_.size() < std::size_t(10 + 9 * rl_))
      Malformed("the file ends inside the softkey records");
    doc_.DataAreaOffset = std::size_t(n_) * rl_ + 10;
    // Stored files may be cut short; what they hold is read, but not without a word.
    if (b_.size() < doc_.DataAreaOffset) warnings.push_back(TruncatedRecordsWarning());
    visited_.fill(false);
    for (int r = 0; r < 10; ++r) visited_[r] = true;

    doc_.Tree.Reserve(std::size_t(n_) - 1);  // a node for every record but the file's root
    ReadSoftkeys();
    MenuNode* rootNode =
        doc_.Tree.Append(nullptr, "Menu Root", MenuRootItem(RootOrigin::ReadFromFile));
    ReadItemRun(kGroupMain, 10, rootNode);
    RenumberTree(doc_.Tree);  // the data is read into the slots of the final numbers
    if (b_.size() > doc_.DataAreaOffset) {
      ReadItemData(*doc_.Tree.SoftkeyContainer());
      ReadItemData(*rootNode);
    }
  }

 private:
  const std::uint8_t* Record(int r) const { return b_.data() + 10 + std::size_t(r) * rl_; }

  // The record's fields into an item built in place (a node of the tree).
  void ReadRecord(const std::uint8_t* rec, TMMAItem& item) const {
    item.ItemType = rec[0];
    item.ParentIndex = rec[1];
    item.NextIndex = rec[2];
    item.ChildIndex = rec[3];
    item.Flags = rec[4];
    item.Attributes = rec[5];
    const void* nul = std::memchr(rec + 6, 0, std::size_t(nameWidth_));
    const std::size_t n = nul ? std::size_t(static_cast<const std::uint8_t*>(nul) - (rec + 6))
                              : std::size_t(nameWidth_);
    item.Name.assign(reinterpret_cast<const char*>(rec + 6), n);
    item.DataOffset = Be16(rec + rl_ - 4);
    item.DataLength = Be16(rec + rl_ - 2);
    item.HasData = item.DataLength != 0;
  }

  static bool IsCustom(const std::string& name) { return !name.empty() && name[0] == '~'; }

  // Kind lookup of a non-custom item: 0x18 flags become 0x08, and a name the active kind
  // list does not know stops the read.
  std::uint8_t CheckKind(TMMAItem& item) {
    std::uint8_t k = index_.FindKindIndex(item.Name);
    if (item.Flags == 0x18) item.Flags = 0x08;
    if (k >= kinds_.KnownKindCount) throw ProfileMismatch();
    return k;
  }

  void ReadSoftkeys() {
    MenuNode* softkeys = doc_.Tree.Append(nullptr, "Softkeys", SoftkeyContainerItem());
    for (int k = 0; k < 7; ++k) {
      MenuNode* node = doc_.Tree.Append(softkeys);
      TMMAItem& item = node->Item;
      ReadRecord(Record(k + 2), item);
      item.Id = std::uint8_t(k + 3);
      item.Group = kGroupSoftkeys;
      item.AllowSubitems = 0;
      node->Text = SoftkeyPrefix(k);
      if (IsCustom(item.Name)) {
        ++doc_.CustomItemCount;
        node->Text += item.Name;
      } else {
        node->Text += kinds_.KindDisplayNames[CheckKind(item)];
      }
    }
  }

  // Records of the run starting at r: those that follow it with the same parent index.
  std::size_t RunLength(int r) const {
    std::size_t length = 0;
    for (int i = r; i < n_ && 10 + std::size_t(i + 1) * rl_ <= b_.size(); ++i, ++length)
      if (Record(i)[1] != Record(r)[1]) break;
    return length;
  }

  // One sibling run, depth first. The run's first record fixes its parent index; a record
  // with another parent index ends it.
  void ReadItemRun(std::uint8_t group, int r, MenuNode* parent) {
    parent->Children.reserve(parent->Children.size() + RunLength(r));
    bool first = true;
    std::uint8_t runParent = 0;
    for (; r < n_ && 10 + std::size_t(r + 1) * rl_ <= b_.size(); ++r) {
      const std::uint8_t* rec = Record(r);
      if (first) {
        runParent = rec[1];
        first = false;
      } else if (rec[1] != runParent) {
        break;
      }
      if (visited_[r])
        Malformed("record " + std::to_string(r) + " is reached twice; the links form a cycle");
      visited_[r] = true;

      MenuNode* node = doc_.Tree.Append(parent);
      TMMAItem& item = node->Item;
      ReadRecord(rec, item);
      item.Group = group;
      if (IsCustom(item.Name)) {
        ++doc_.CustomItemCount;
        item.AllowSubitems = 1;
        node->Text = item.Name;
      } else {
        const std::uint8_t k = CheckKind(item);
        item.AllowSubitems = kinds_.FlagOf(k);
        node->Text = kinds_.KindDisplayNames[k];
      }
      const std::uint8_t child = item.ChildIndex;
      if (child != kNoIndex) {
        if (child >= n_ || child < 10)
          Malformed("record " + std::to_string(r) + " names record " + std::to_string(child) +
                    " as its first subitem, outside the " + std::to_string(n_ - 10) +
                    " item records of the file");
        ReadItemRun(group, child, node);
      }
    }
  }

  void ReadItemData(MenuNode& node) {
    const TMMAItem& item = node.Item;
    if (item.HasData) {
      const std::size_t start = doc_.DataAreaOffset + item.DataOffset;
      if (start + item.DataLength > b_.size())
        Malformed("the data of item \"" + item.Name + "\" runs past the end of the file");
      ItemDataBlock block = ParseFrames(b_.data() + start, item.DataLength, item);
      if (!block.Entries.empty()) {
        ++doc_.DataItemCount;
        block.OwnerId = item.Id;
        doc_.ItemData[item.Id] = std::move(block);
      }
    }
    for (const auto& child : node.Children) ReadItemData(*child);
  }

  ItemDataBlock ParseFrames(const std::uint8_t* d, std::size_t len, const TMMAItem& item) {
    // The message names the item only when a check fails.
    auto fail = [&item](const std::string& what) {
      Malformed("the data of item \"" + item.Name + "\" " + what);
    };
    ItemDataBlock block;
    block.Entries.reserve(CountEntries(d, len));
    int unknownAt = -1;
    auto roomForEntry = [&] {
      if (block.Entries.size() >= kMaxEntries)
        fail("has more than " + std::to_string(kMaxEntries) + " entries");
    };

    std::size_t pos = 0;
    while (pos < len) {
      if (pos + 3 > len) fail("ends inside a frame header");
      const std::uint8_t code = d[pos];
      const std::size_t flen = Be16(d + pos + 1);
      const std::uint8_t* p = d + pos + 3;
      const std::size_t consumed = FrameSize(code, flen);
      if (pos + consumed > len)
        fail("has a frame of type " + std::to_string(code) + " that runs past its end");

      if (!IsKnownFrameCode(code)) {
        if (flen > kMaxRawFrameBytes)
          fail("has a frame of unknown type " + std::to_string(code) + " longer than " +
               std::to_string(kMaxRawFrameBytes) + " bytes");
        if (unknownAt < 0) {
          roomForEntry();
          block.Entries.emplace_back().TypeCode = kUnknownGroup;
          unknownAt = int(block.Entries.size()) - 1;
        }
        ItemDataEntry& group = block.Entries[std::size_t(unknownAt)];
        if (group.Frames.size() >= kMaxRawFrames)
          fail("has more than " + std::to_string(kMaxRawFrames) + " frames of unknown types");
        group.Frames.push_back(RawFrame{code, std::vector<std::uint8_t>(p, p + flen)});
        UpdateLength(group);
        pos += consumed;
        continue;
      }
      roomForEntry();
      // Built where it is kept: an entry is a large value, not worth a move.
      ItemDataEntry& e = block.Entries.emplace_back();
      e.TypeCode = code;
      switch (code) {
        case kMenuTitles:
        case kSoftkeyTitles:
        case kShowText:
          e.Titles = ParseTitles(p, flen, fail);
          break;
        case kUrlLink:
        case kMidletAttribute:
        case kMidletName:
        case kMidletVendor:
          if (const void* nul = std::memchr(p, 0, flen))
            e.Text.assign(reinterpret_cast<const char*>(p),
                          static_cast<const std::uint8_t*>(nul) - p);
          else
            e.Text.assign(reinterpret_cast<const char*>(p), flen);
          if (e.Text.size() > kMaxAnsiChars)
            fail("has a text longer than " + std::to_string(kMaxAnsiChars) + " characters");
          break;
        case kIconFileCode6:
        case kIconFile:
          if (flen < 1) fail("has an empty icon frame");
          if (flen - 1 > kMaxIconPathBytes) fail("has an icon path that is too long");
          e.TypeCode = kIconFile;
          e.Byte = p[0];
          Utf16Until0(p + 1, flen - 1, e.Path);
          doc_.Options.iconMarker = code == kIconFileCode6 ? IconMarker::k06 : IconMarker::k0C;
          break;
        case kIconDrmList:
        case kIconDrmStatic:
        case kIconDrmAnimated:
          if (flen < 4) fail("has a DRM icon frame shorter than 4 bytes");
          e.Byte = p[0];
          e.Value = Be16(p + 2);
          break;
        case kCallSendCode1:
        case kCallSendCode2:
        case kCallSendCode3:
          e.Byte = p[0];
          break;
        case kSendEvent:
          e.Value = Be16(p);
          break;
        case kShortcutData:
          std::copy_n(p, kShortcutBytes, e.Shortcut.begin());
          break;
        default:
          break;  // unknown codes were kept above
      }
      UpdateLength(e);
      pos += consumed;
    }
    return block;
  }

  // Title list: count n, n cells of (language, marker, u16 end offset), then the strings.
  // String k spans the string area from end offset k-1 (0 for the first) to end offset k.
  template <typename Fail>
  std::vector<TitleCell> ParseTitles(const std::uint8_t* p, std::size_t flen, Fail&& fail) {
    if (flen < 1) fail("has an empty title list");
    const std::size_t n = p[0];
    if (n > kMaxTitles)
      fail("has a title list of more than " + std::to_string(kMaxTitles) + " titles");
    if (1 + 4 * n > flen) fail("has a title list whose cells run past its frame");
    const std::uint8_t* area = p + 1 + 4 * n;
    const std::size_t areaLen = flen - 1 - 4 * n;
    std::vector<TitleCell> titles;
    titles.reserve(n);
    std::size_t prev = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint8_t* cell = p + 1 + 4 * k;
      const std::size_t end = Be16(cell + 2);
      if (end < prev) fail("has title end offsets that go backwards");
      if (end > areaLen) fail("has a title that runs past its frame");
      if (end - prev > 2 * kMaxTitleUnits)
        fail("has a title longer than " + std::to_string(kMaxTitleUnits) + " UTF-16 units");
      TitleCell& title = titles.emplace_back();
      title.LanguageId = cell[0];
      Utf16Until0(area + prev, end - prev, title.Text);
      prev = end;
    }
    return titles;
  }

  std::span<const std::uint8_t> b_;
  ReadMenu& doc_;
  const KindList& kinds_;
  KindIndex index_;
  int rl_ = 36;
  int nameWidth_ = 25;
  int n_ = 0;
  std::array<bool, 256> visited_{};
};

}  // namespace

UserMessage TruncatedRecordsWarning() {
  return {"mma_ucp ends inside its item records; the items after the last whole record are missing",
          "Warning", MessageIcon::Warning};
}

std::vector<UserMessage> ReadMenuBytes(std::span<const std::uint8_t> bytes, MenuDocument& doc) {
  // Read into a document of its own and take it over only when the whole file was read, so
  // a file that fails leaves the open menu as it was.
  ReadMenu read;
  read.Options = doc.Options;
  read.CustomItemCount = doc.CustomItemCount;
  Reader reader(bytes, read, doc.Kinds);
  reader.Read();
  doc.Tree = std::move(read.Tree);
  doc.ItemData = std::move(read.ItemData);
  doc.DataItemCount = read.DataItemCount;
  doc.CustomItemCount = read.CustomItemCount;
  doc.RecordLength = read.RecordLength;
  doc.DataAreaOffset = read.DataAreaOffset;
  doc.Options = read.Options;
  return std::move(reader.warnings);
}

namespace {

// A damaged file's message names the file.
[[noreturn]] void RethrowNamed(const std::filesystem::path& path, const MalformedMenuFile& e) {
  throw MalformedMenuFile("Cannot open " + path.string() + ": " + e.what());
}

}  // namespace

// No menu file can use more: 255 records of 36 bytes, then data at 16-bit offsets with
// 16-bit lengths. Bytes past it are never looked at, so they are not read.
constexpr std::size_t kMenuReadLimit = 10 + 255 * 36 + 0xFFFF + 0xFFFF + 1;

std::vector<UserMessage> ReadMenuFile(const std::filesystem::path& path, MenuDocument& doc) {
  std::vector<std::uint8_t> bytes = ReadFilePrefix(path, kMenuReadLimit);
  try {
    return ReadMenuBytes(bytes, doc);
  } catch (const MalformedMenuFile& e) {
    RethrowNamed(path, e);
  }
}

UserMessage ProfileMismatchWarning() {
  return {"Selected profile doesn't match mma_ucp\r\n    Default profile will be applied",
          "Profile error", MessageIcon::Warning};
}

std::vector<UserMessage> ReadMenuWithProfileCheck(const std::filesystem::path& path,
                                                  MenuDocument& doc) {
  std::vector<std::uint8_t> bytes = ReadFilePrefix(path, kMenuReadLimit);
  try {
    return ReadMenuBytes(bytes, doc);
  } catch (const ProfileMismatch&) {
  } catch (const MalformedMenuFile& e) {
    RethrowNamed(path, e);
  }
  KindList profileKinds = doc.Kinds;
  doc.Kinds.UseBuiltinKindList();
  std::vector<UserMessage> warnings{ProfileMismatchWarning()};
  try {
    for (UserMessage& w : ReadMenuBytes(bytes, doc)) warnings.push_back(std::move(w));
  } catch (const MalformedMenuFile& e) {
    doc.Kinds = std::move(profileKinds);
    RethrowNamed(path, e);
  } catch (...) {
    doc.Kinds = std::move(profileKinds);
    throw;
  }
  return warnings;
}

}  // namespace trellune
