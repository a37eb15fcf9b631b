#include "mma/menu_json.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <string>

#include "mma/menu_ops.h"
#include "mma/menu_writer.h"

namespace trellune {
namespace {

constexpr int kJsonVersion = 1;
constexpr const char* kFormatName = "trellune mma_ucp menu";

struct FrameName {
  std::uint8_t code;
  const char* name;
};
constexpr std::array<FrameName, 17> kFrameNames = {{
    {kMenuTitles, "MenuTitles"},
    {kSoftkeyTitles, "SoftkeyTitles"},
    {kUrlLink, "UrlLink"},
    {kMidletAttribute, "MidletAttribute"},
    {kMidletName, "MidletName"},
    {kMidletVendor, "MidletVendor"},
    {kIconFile, "IconFile"},
    {kIconDrmList, "IconDrmList"},
    {kIconDrmStatic, "IconDrmStatic"},
    {kIconDrmAnimated, "IconDrmAnimated"},
    {kCallSendCode1, "CallSendCode1"},
    {kCallSendCode2, "CallSendCode2"},
    {kCallSendCode3, "CallSendCode3"},
    {kShowText, "ShowText"},
    {kSendEvent, "SendEvent"},
    {kShortcutData, "ShortcutData"},
    {kUnknownGroup, "Unknown"},
}};

const char* NameOfCode(std::uint8_t code) {
  for (const auto& f : kFrameNames)
    if (f.code == code) return f.name;
  return "Unknown";
}

// --- text conversions ---

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    out.push_back(char(0xC0 | (c >> 6)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(char(0xE0 | (c >> 12)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (c >> 18)));
    out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

// JSON strings are UTF-8 (nlohmann has already checked that they are valid).
std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) c = (c << 6) | (s[i + k] & 0x3F);
    out.push_back(c);
    i += 1 + extra;
  }
  return out;
}

// 8-bit texts of the file are shown as Latin-1, which maps every byte to one character.
std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  for (char ch : s) AppendUtf8(out, static_cast<unsigned char>(ch));
  return out;
}

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(digits[p[i] >> 4]);
    out.push_back(digits[p[i] & 15]);
  }
  return out;
}

// UTF-16 text as UTF-8, or nothing when it holds a lone surrogate (then it goes out as hex).
std::optional<std::string> Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf16Hex(std::u16string_view s) {
  std::vector<std::uint8_t> bytes;
  for (char16_t u : s) {
    bytes.push_back(std::uint8_t(u >> 8));
    bytes.push_back(std::uint8_t(u));
  }
  return Hex(bytes.data(), bytes.size());
}

// --- export ---

Json TextOrHex16(std::u16string_view s) {
  Json j = Json::object();
  if (auto text = Utf16ToUtf8(s))
    j["text"] = *text;
  else
    j["utf16"] = Utf16Hex(s);
  return j;
}

Json EntryToJson(const ItemDataEntry& e) {
  Json j;
  j["type"] = NameOfCode(e.TypeCode);
  switch (e.TypeCode) {
    case kMenuTitles:
    case kSoftkeyTitles:
    case kShowText: {
      Json titles = Json::array();
      for (const TitleCell& t : e.Titles) {
        Json cell;
        cell["language"] = t.LanguageId;
        cell.update(TextOrHex16(t.Text));
        titles.push_back(cell);
      }
      j["titles"] = titles;
      break;
    }
    case kUrlLink:
    case kMidletAttribute:
    case kMidletName:
    case kMidletVendor:
      j["text"] = Latin1ToUtf8(e.Text);
      break;
    case kIconFile: {
      j["iconKind"] = e.Byte;
      Json path = TextOrHex16(e.Path);
      if (path.contains("text"))
        j["path"] = path["text"];
      else
        j["pathUtf16"] = path["utf16"];
      break;
    }
    case kIconDrmList:
    case kIconDrmStatic:
    case kIconDrmAnimated:
      j["byte"] = e.Byte;
      j["number"] = e.Value;
      break;
    case kCallSendCode1:
    case kCallSendCode2:
    case kCallSendCode3:
      j["value"] = e.Byte;
      break;
    case kSendEvent:
      j["value"] = e.Value;
      break;
    case kShortcutData: {
      std::size_t len = 0;
      while (len < kShortcutBytes && e.Shortcut[len]) ++len;
      bool zeroTail = true;
      for (std::size_t i = len; i < kShortcutBytes; ++i) zeroTail = zeroTail && !e.Shortcut[i];
      if (zeroTail)
        j["text"] = Latin1ToUtf8(std::string(e.Shortcut.begin(), e.Shortcut.begin() + len));
      else
        j["hex"] = Hex(e.Shortcut.data(), kShortcutBytes);
      break;
    }
    case kUnknownGroup: {
      Json frames = Json::array();
      for (const RawFrame& f : e.Frames)
        frames.push_back(
            Json{{"code", f.TypeCode}, {"hex", Hex(f.Payload.data(), f.Payload.size())}});
      j["frames"] = frames;
      break;
    }
    default:
      break;
  }
  return j;
}

// `fixed`: the container or the main menu root, whose records are written as they are held.
Json NodeToJson(const MenuDocument& doc, const MenuNode& node, bool fixed) {
  const TMMAItem& item = node.Item;
  Json j;
  j["text"] = Latin1ToUtf8(node.Text);
  j["name"] = Latin1ToUtf8(item.Name);
  // The type the file gets, so that what is exported imports and writes the same bytes.
  j["itemType"] = fixed ? item.ItemType : WrittenItemType(node, doc.Options.saveAllData);
  j["flags"] = item.Flags;
  j["attributes"] = item.Attributes;
  j["group"] = item.Group;
  j["allowSubitems"] = item.AllowSubitems;
  j["record"] = Json{{"id", item.Id},
                     {"parent", item.ParentIndex},
                     {"next", item.NextIndex},
                     {"child", item.ChildIndex}};
  const auto& slot = doc.ItemData[item.Id];
  j["hasData"] = item.HasData && slot.has_value();
  if (item.HasData && slot) {
    Json data = Json::array();
    for (const ItemDataEntry& e : slot->Entries) data.push_back(EntryToJson(e));
    j["data"] = data;
  }
  if (node.HasChildren()) {
    Json items = Json::array();
    for (const auto& child : node.Children) items.push_back(NodeToJson(doc, *child, false));
    j["items"] = items;
  }
  return j;
}

// --- import ---

// Builds the menu of a JSON form into `doc`, a document of its own, naming node texts from
// `kinds`.
class Importer {
 public:
  Importer(MenuDocument& doc, const KindList& kinds) : doc_(doc), kinds_(kinds) {}

  void Import(const Json& j) {
    if (!j.is_object()) Fail("", "the menu must be a JSON object");
    OnlyKeys(j, "", {"format", "version", "options", "customItemCount", "softkeys", "menuRoot"});
    if (j.contains("format") && j["format"] != kFormatName)
      Fail("format", std::string("must be \"") + kFormatName + "\"");
    if (j.contains("version") && j["version"] != kJsonVersion)
      Fail("version", "only version " + std::to_string(kJsonVersion) + " is understood");
    ReadOptions(j.contains("options") ? j["options"] : Json::object());
    if (j.contains("customItemCount"))
      doc_.CustomItemCount = Int<std::uint8_t>(j["customItemCount"], "customItemCount");

    const Json& softkeys = Member(j, "softkeys", "");
    const Json& root = Member(j, "menuRoot", "");
    MenuNode* container = ReadNode(softkeys, nullptr, "softkeys", Role::Container);
    if (container->Children.size() != 7) Fail("softkeys.items", "a menu has exactly 7 softkeys");
    std::uint8_t id = 3;
    for (const auto& key : container->Children) {
      if (key->HasChildren()) Fail("softkeys.items", "softkeys cannot have subitems");
      key->Item.Id = id++;  // softkeys always own slots 3..9
    }
    ReadNode(root, nullptr, "menuRoot", Role::Root);
    RenumberItems(doc_);
    // Attach data where each node now lives, then derive the node texts.
    for (auto& [node, block] : pending_) {
      block.OwnerId = node->Item.Id;
      doc_.ItemData[node->Item.Id] = std::move(block);
      ++doc_.DataItemCount;
    }
    std::size_t position = 0;
    doc_.Tree.ForEach([&](MenuNode& node) {
      if (position == 0)
        node.Text = "Softkeys";
      else if (position == kMenuRootPosition)
        node.Text = "Menu Root";
      else
        node.Text = NodeTextFor(kinds_, node.Item.Name, position);
      ++position;
    });
  }

 private:
  [[noreturn]] static void Fail(const std::string& where, const std::string& what) {
    throw MenuJsonError(where.empty() ? what : ShortenForMessage(where, 120) + ": " + what);
  }

  // Every key of the object must be one of `allowed`: a misspelt key is never ignored.
  static void OnlyKeys(const Json& j, const std::string& where,
                       std::initializer_list<std::string_view> allowed) {
    for (const auto& [key, value] : j.items()) {
      if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
      std::string list;
      for (std::string_view k : allowed) list += (list.empty() ? "" : ", ") + std::string(k);
      Fail(Join(where, ShortenForMessage(key, 60)),
           "is not a key here (the keys are " + list + ")");
    }
  }

  static void Object(const Json& j, const std::string& where) {
    if (!j.is_object()) Fail(where, "must be an object");
  }

  // Of two spellings of one field, at most one.
  static void NotBoth(const Json& j, const char* a, const char* b, const std::string& where) {
    if (j.contains(a) && j.contains(b))
      Fail(where, std::string("give \"") + a + "\" or \"" + b + "\", not both");
  }

  static std::string Join(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
  }

  static const Json& Member(const Json& j, const char* key, const std::string& where) {
    if (!j.is_object() || !j.contains(key))
      Fail(where.empty() ? key : where + "." + key, "missing");
    return j[key];
  }

  template <typename T>
  static T Int(const Json& v, const std::string& where) {
    if (!v.is_number_integer()) Fail(where, "must be a whole number");
    auto n = v.get<std::int64_t>();
    if (n < 0 || n > std::int64_t(std::numeric_limits<T>::max()))
      Fail(where, "must be between 0 and " + std::to_string(std::numeric_limits<T>::max()));
    return T(n);
  }

  template <typename T>
  static T IntOr(const Json& j, const char* key, T fallback, const std::string& where) {
    return j.contains(key) ? Int<T>(j[key], where + "." + key) : fallback;
  }

  static bool Bool(const Json& v, const std::string& where) {
    if (!v.is_boolean()) Fail(where, "must be true or false");
    return v.get<bool>();
  }

  static std::string String(const Json& v, const std::string& where) {
    if (!v.is_string()) Fail(where, "must be a string");
    return v.get<std::string>();
  }

  static std::string Latin1(const Json& v, const std::string& where) {
    std::string out;
    for (char32_t c : DecodeUtf8(String(v, where))) {
      if (c == 0) Fail(where, "must not contain a NUL character");
      if (c > 0xFF) Fail(where, "holds a character that an 8-bit text cannot store");
      out.push_back(char(c));
    }
    return out;
  }

  static std::u16string Utf16(const Json& v, const std::string& where) {
    std::u16string out;
    for (char32_t c : DecodeUtf8(String(v, where))) {
      if (c == 0) Fail(where, "must not contain a NUL character");
      if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(char16_t(0xD800 + (c >> 10)));
        out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
      } else {
        out.push_back(char16_t(c));
      }
    }
    return out;
  }

  static std::vector<std::uint8_t> Bytes(const Json& v, const std::string& where) {
    std::string s = String(v, where);
    if (s.size() % 2) Fail(where, "hex needs two digits per byte");
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < s.size(); i += 2) {
      auto digit = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        Fail(where, "is not hexadecimal");
      };
      out.push_back(std::uint8_t(digit(s[i]) * 16 + digit(s[i + 1])));
    }
    return out;
  }

  static std::u16string Utf16FromHex(const Json& v, const std::string& where) {
    std::vector<std::uint8_t> b = Bytes(v, where);
    if (b.size() % 2) Fail(where, "UTF-16 needs two bytes per unit");
    std::u16string out;
    for (std::size_t i = 0; i < b.size(); i += 2) {
      char16_t u = char16_t(b[i] << 8 | b[i + 1]);
      if (u == 0) Fail(where, "must not contain a NUL unit");
      out.push_back(u);
    }
    return out;
  }

  void ReadOptions(const Json& o) {
    Object(o, "options");
    OnlyKeys(o, "options", {"recordLength", "iconCode", "c698pFix", "saveAllData"});
    FormatOptions& opt = doc_.Options;
    const int length = IntOr<int>(o, "recordLength", 36, "options");
    if (length != 22 && length != 36) Fail("options.recordLength", "must be 22 or 36");
    opt.SetFromFileRecordLength(length);
    doc_.RecordLength = length;
    if (o.contains("iconCode")) {
      std::string code = String(o["iconCode"], "options.iconCode");
      if (code != "06" && code != "0C") Fail("options.iconCode", "must be \"06\" or \"0C\"");
      opt.iconMarker = code == "06" ? IconMarker::k06 : IconMarker::k0C;
    }
    if (o.contains("c698pFix")) {
      bool fix = Bool(o["c698pFix"], "options.c698pFix");
      if (fix && length == 36) Fail("options.c698pFix", "the C698p fix needs 22-byte records");
      opt.c698pFix = fix;
    }
    if (o.contains("saveAllData")) opt.saveAllData = Bool(o["saveAllData"], "options.saveAllData");
  }

  enum class Role { Container, Softkey, Root, Main };

  // Names are written to a field of 12 (22-byte) or 25 (36-byte) characters; a longer one
  // would be cut and no longer name its kind.
  void CheckName(const std::string& name, Role role, const std::string& where) const {
    if (role == Role::Container && name != "Container") Fail(where, "must be \"Container\"");
    if (role == Role::Root && name != "MenuRoot") Fail(where, "must be \"MenuRoot\"");
    if (name.empty()) Fail(where, "must name a kind or a custom item");
    const std::size_t width = doc_.Options.recordLength == 22 ? 12 : 25;
    if (name.size() > width)
      Fail(where, "\"" + ShortenForMessage(name, 40) + "\" is longer than the " +
                      std::to_string(width) + " characters a " +
                      std::to_string(doc_.Options.recordLength) + "-byte record holds");
  }

  // The types the written file keeps as they are: 2 and 10 and up only with "saveAllData",
  // the folder type 1 only on a main item that has items.
  void CheckItemType(std::uint8_t type, Role role, bool hasItems, const std::string& where) const {
    if ((type == 2 || type >= 10) && !doc_.Options.saveAllData)
      Fail(where, "type " + std::to_string(type) +
                      " is kept only with \"saveAllData\": true (the file would get 0)");
    if (role == Role::Main && type == 1 && !hasItems)
      Fail(where, "type 1 (folder) needs \"items\" (the file would get 0)");
  }

  // What a file read back would not hold as given. The reader rebuilds the records of
  // "Softkeys" and "Menu Root" with their fixed values, takes an item's group from its side
  // of the menu, and reads the flags 0x18 of an item that is not custom as 0x08.
  static void CheckKept(const TMMAItem& item, Role role, const std::string& where) {
    if (role == Role::Container || role == Role::Root) {
      const TMMAItem fixed = DefaultsFor(role);
      auto same = [&](bool equal, const char* key, int value) {
        if (!equal) Fail(where + "." + key, "is fixed for this node: " + std::to_string(value));
      };
      same(item.ItemType == fixed.ItemType, "itemType", fixed.ItemType);
      same(item.Flags == fixed.Flags, "flags", fixed.Flags);
      same(item.Attributes == fixed.Attributes, "attributes", fixed.Attributes);
      same(item.Group == fixed.Group, "group", fixed.Group);
      same(item.ParentIndex == fixed.ParentIndex, "record.parent", fixed.ParentIndex);
      same(item.NextIndex == fixed.NextIndex, "record.next", fixed.NextIndex);
      if (role == Role::Container)
        same(item.ChildIndex == fixed.ChildIndex, "record.child", fixed.ChildIndex);
      return;
    }
    const std::uint8_t group = role == Role::Softkey ? kGroupSoftkeys : kGroupMain;
    if (item.Group != group)
      Fail(where + ".group", "is " + std::to_string(group) + " on this side of the menu");
    if (item.Flags == 0x18 && !IsCustomName(item.Name))
      Fail(where + ".flags", "24 (0x18) marks a custom item; a file gives this item 8");
  }

  static void CheckEntryKeys(const Json& j, std::uint8_t code, const std::string& where) {
    switch (code) {
      case kMenuTitles:
      case kSoftkeyTitles:
      case kShowText:
        return OnlyKeys(j, where, {"type", "titles"});
      case kUrlLink:
      case kMidletAttribute:
      case kMidletName:
      case kMidletVendor:
        return OnlyKeys(j, where, {"type", "text"});
      case kIconFile:
        OnlyKeys(j, where, {"type", "iconKind", "path", "pathUtf16"});
        return NotBoth(j, "path", "pathUtf16", where);
      case kIconDrmList:
      case kIconDrmStatic:
      case kIconDrmAnimated:
        return OnlyKeys(j, where, {"type", "byte", "number"});
      case kCallSendCode1:
      case kCallSendCode2:
      case kCallSendCode3:
      case kSendEvent:
        return OnlyKeys(j, where, {"type", "value"});
      case kShortcutData:
        OnlyKeys(j, where, {"type", "text", "hex"});
        return NotBoth(j, "text", "hex", where);
      default:
        return OnlyKeys(j, where, {"type", "frames"});
    }
  }

  // What a field left out of the JSON takes: the values the editor gives such a node.
  static TMMAItem DefaultsFor(Role role) {
    TMMAItem item;
    switch (role) {
      case Role::Container:
        item = SoftkeyContainerItem();
        break;
      case Role::Softkey:
        item = {0, kNoIndex, kNoIndex, kNoIndex, 0, 0, 0x41, "", kGroupSoftkeys, 0, 0, false, 0};
        break;
      case Role::Root:
        item = MenuRootItem(RootOrigin::ReadFromFile);
        break;
      case Role::Main:
        item = {0, kNoIndex, kNoIndex, kNoIndex, 0, 0, 0x41, "", kGroupMain, 0, 0, false, 1};
        break;
    }
    return item;
  }

  MenuNode* ReadNode(const Json& j, MenuNode* parent, const std::string& where, Role role) {
    Object(j, where);
    OnlyKeys(j, where,
             {"text", "name", "itemType", "flags", "attributes", "group", "allowSubitems", "record",
              "hasData", "data", "items"});
    // Counted on the way down, so a deeply nested file is refused before it recurses far.
    if (++nodes_ > kMaxNodes)
      Fail(where,
           "the menu has more items than an mma_ucp file holds (255 records, 245 main items)");
    TMMAItem item = DefaultsFor(role);
    if (j.contains("text")) String(j["text"], where + ".text");  // informational
    item.Name = Latin1(Member(j, "name", where), where + ".name");
    CheckName(item.Name, role, where + ".name");
    item.ItemType = IntOr<std::uint8_t>(j, "itemType", item.ItemType, where);
    item.Flags = IntOr<std::uint8_t>(j, "flags", item.Flags, where);
    item.Attributes = IntOr<std::uint8_t>(j, "attributes", item.Attributes, where);
    item.Group = IntOr<std::uint8_t>(j, "group", item.Group, where);
    item.AllowSubitems = IntOr<std::uint8_t>(j, "allowSubitems", item.AllowSubitems, where);
    if (j.contains("record")) {
      const Json& r = j["record"];
      const std::string rw = where + ".record";
      Object(r, rw);
      OnlyKeys(r, rw, {"id", "parent", "next", "child"});
      item.Id = IntOr<std::uint8_t>(r, "id", item.Id, rw);
      item.ParentIndex = IntOr<std::uint8_t>(r, "parent", item.ParentIndex, rw);
      item.NextIndex = IntOr<std::uint8_t>(r, "next", item.NextIndex, rw);
      item.ChildIndex = IntOr<std::uint8_t>(r, "child", item.ChildIndex, rw);
    }
    const bool hasBlock = j.contains("data");
    item.HasData = hasBlock;
    if (j.contains("hasData") && Bool(j["hasData"], where + ".hasData") != hasBlock)
      Fail(where + ".hasData", hasBlock ? "is false, but the item has \"data\""
                                        : "is true, but the item has no \"data\"");
    // The records of "Softkeys" and "Menu Root" have no data of their own in a menu file.
    if (item.HasData && (role == Role::Container || role == Role::Root))
      Fail(where + ".data", "\"Softkeys\" and \"Menu Root\" cannot carry attached data");
    const bool hasItems = j.contains("items") && j["items"].is_array() && !j["items"].empty();
    CheckItemType(item.ItemType, role, hasItems, where + ".itemType");
    CheckKept(item, role, where);

    MenuNode* node = doc_.Tree.Append(parent, "", item);
    if (hasBlock) pending_.emplace_back(node, ReadBlock(j["data"], where + ".data"));
    if (j.contains("items")) {
      const Json& items = j["items"];
      if (!items.is_array()) Fail(where + ".items", "must be an array");
      const Role childRole = role == Role::Container ? Role::Softkey : Role::Main;
      for (std::size_t i = 0; i < items.size(); ++i)
        ReadNode(items[i], node, where + ".items[" + std::to_string(i) + "]", childRole);
    }
    return node;
  }

  ItemDataBlock ReadBlock(const Json& data, const std::string& where) {
    if (!data.is_array()) Fail(where, "must be an array");
    if (data.size() > kMaxEntries)
      Fail(where, "an item holds at most " + std::to_string(kMaxEntries) + " entries");
    ItemDataBlock block;
    bool unknownSeen = false;
    for (std::size_t i = 0; i < data.size(); ++i) {
      const std::string w = where + "[" + std::to_string(i) + "]";
      ItemDataEntry e = ReadEntry(data[i], w);
      if (e.TypeCode == kUnknownGroup) {
        if (unknownSeen) Fail(w, "an item has at most one \"Unknown\" entry");
        unknownSeen = true;
      }
      block.Entries.push_back(std::move(e));
    }
    if (auto problem = CheckItemDataBlock(block)) Fail(where, *problem);
    return block;
  }

  static std::uint8_t CodeOfName(const std::string& name, const std::string& where) {
    for (const auto& f : kFrameNames)
      if (name == f.name) return f.code;
    Fail(where, "unknown entry type \"" + name + "\"");
  }

  std::vector<TitleCell> ReadTitles(const Json& j, const std::string& where) {
    const Json& titles = Member(j, "titles", where);
    if (!titles.is_array()) Fail(where + ".titles", "must be an array");
    if (titles.size() > kMaxTitles)
      Fail(where + ".titles", "a list holds at most " + std::to_string(kMaxTitles) + " titles");
    std::vector<TitleCell> out;
    for (std::size_t i = 0; i < titles.size(); ++i) {
      const std::string w = where + ".titles[" + std::to_string(i) + "]";
      const Json& t = titles[i];
      Object(t, w);
      OnlyKeys(t, w, {"language", "text", "utf16"});
      NotBoth(t, "text", "utf16", w);
      TitleCell cell;
      cell.LanguageId = IntOr<std::uint8_t>(t, "language", 1, w);
      if (t.contains("utf16"))
        cell.Text = Utf16FromHex(t["utf16"], w + ".utf16");
      else
        cell.Text = Utf16(Member(t, "text", w), w + ".text");
      if (cell.Text.size() + 1 > kMaxTitleUnits)
        Fail(w, "a title holds at most " + std::to_string(kMaxTitleUnits - 1) + " UTF-16 units");
      out.push_back(std::move(cell));
    }
    return out;
  }

  ItemDataEntry ReadEntry(const Json& j, const std::string& where) {
    Object(j, where);
    const std::uint8_t code = CodeOfName(String(Member(j, "type", where), where + ".type"), where);
    CheckEntryKeys(j, code, where);
    switch (code) {
      case kMenuTitles:
      case kSoftkeyTitles:
      case kShowText:
        return MakeTitlesEntry(code, ReadTitles(j, where));
      case kUrlLink:
      case kMidletAttribute:
      case kMidletName:
      case kMidletVendor: {
        std::string text = Latin1(Member(j, "text", where), where + ".text");
        if (text.size() > kMaxAnsiChars)
          Fail(where + ".text", "holds at most " + std::to_string(kMaxAnsiChars) + " characters");
        return MakeTextEntry(code, std::move(text));
      }
      case kIconFile: {
        std::u16string path = j.contains("pathUtf16")
                                  ? Utf16FromHex(j["pathUtf16"], where + ".pathUtf16")
                                  : Utf16(Member(j, "path", where), where + ".path");
        if (2 * path.size() + 2 > kMaxIconPathBytes) Fail(where + ".path", "is too long");
        return MakeIconFileEntry(IntOr<std::uint8_t>(j, "iconKind", 3, where), std::move(path));
      }
      case kIconDrmList:
      case kIconDrmStatic:
      case kIconDrmAnimated:
        return MakeDrmEntry(code, IntOr<std::uint8_t>(j, "byte", 0x12, where),
                            Int<std::uint16_t>(Member(j, "number", where), where + ".number"));
      case kCallSendCode1:
      case kCallSendCode2:
      case kCallSendCode3:
        return MakeByteEntry(code, Int<std::uint8_t>(Member(j, "value", where), where + ".value"));
      case kSendEvent:
        return MakeSendEventEntry(Int<std::uint16_t>(Member(j, "value", where), where + ".value"));
      case kShortcutData: {
        ItemDataEntry e = MakeShortcutEntry("");
        if (j.contains("hex")) {
          std::vector<std::uint8_t> b = Bytes(j["hex"], where + ".hex");
          if (b.size() != kShortcutBytes) Fail(where + ".hex", "must be exactly 25 bytes");
          std::copy(b.begin(), b.end(), e.Shortcut.begin());
        } else {
          std::string text = Latin1(Member(j, "text", where), where + ".text");
          if (text.size() > kShortcutBytes) Fail(where + ".text", "holds at most 25 characters");
          std::copy(text.begin(), text.end(), e.Shortcut.begin());
        }
        return e;
      }
      default: {
        const Json& frames = Member(j, "frames", where);
        if (!frames.is_array()) Fail(where + ".frames", "must be an array");
        if (frames.empty() || frames.size() > kMaxRawFrames)
          Fail(where + ".frames", "holds 1 to " + std::to_string(kMaxRawFrames) + " frames");
        ItemDataEntry e;
        e.TypeCode = kUnknownGroup;
        for (std::size_t i = 0; i < frames.size(); ++i) {
          const std::string w = where + ".frames[" + std::to_string(i) + "]";
          RawFrame f;
          Object(frames[i], w);
          OnlyKeys(frames[i], w, {"code", "hex"});
          f.TypeCode = Int<std::uint8_t>(Member(frames[i], "code", w), w + ".code");
          if (IsKnownFrameCode(f.TypeCode))
            Fail(w + ".code",
                 "type " + std::to_string(f.TypeCode) + " is a known entry type; write it as such");
          f.Payload = Bytes(Member(frames[i], "hex", w), w + ".hex");
          if (f.Payload.size() > kMaxRawFrameBytes)
            Fail(w + ".hex",
                 "a frame holds at most " + std::to_string(kMaxRawFrameBytes) + " bytes");
          e.Frames.push_back(std::move(f));
        }
        UpdateLength(e);
        return e;
      }
    }
  }

  // Every node is a record, and record 0 is the file's fixed root record.
  static constexpr std::size_t kMaxNodes = kMaxRecords - 1;

  MenuDocument& doc_;
  const KindList& kinds_;
  std::size_t nodes_ = 0;
  std::vector<std::pair<MenuNode*, ItemDataBlock>> pending_;
};

}  // namespace

Json MenuToJson(const MenuDocument& doc) {
  Json j;
  j["format"] = kFormatName;
  j["version"] = kJsonVersion;
  j["options"] = Json{{"recordLength", doc.Options.recordLength},
                      {"iconCode", std::string(IconMarkerText(doc.Options.iconMarker))},
                      {"c698pFix", doc.Options.c698pFix},
                      {"saveAllData", doc.Options.saveAllData}};
  j["customItemCount"] = doc.CustomItemCount;
  if (MenuNode* container = doc.Tree.SoftkeyContainer())
    j["softkeys"] = NodeToJson(doc, *container, true);
  if (MenuNode* root = doc.Tree.MenuRoot()) j["menuRoot"] = NodeToJson(doc, *root, true);
  return j;
}

namespace {

// Follows the parser's events to know where it is, and refuses a key given twice in one
// object (the parser would silently keep the last).
class KeyTracker {
 public:
  bool operator()(int, nlohmann::detail::parse_event_t event, Json& parsed) {
    using Event = nlohmann::detail::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start:
        StartValue();
        frames_.push_back({event == Event::array_start, {}, 0, {}});
        break;
      case Event::object_end:
      case Event::array_end:
        frames_.pop_back();
        break;
      case Event::key: {
        Frame& f = frames_.back();
        f.key = parsed.get<std::string>();
        if (!f.keys.insert(f.key).second)
          throw MenuJsonError(ShortenForMessage(Path(), 120) + ": the key is given twice");
        break;
      }
      case Event::value:
        StartValue();
        break;
    }
    return true;
  }

 private:
  struct Frame {
    bool isArray;
    std::string key;
    std::size_t elements;
    std::set<std::string> keys;
  };
  void StartValue() {
    if (!frames_.empty() && frames_.back().isArray) ++frames_.back().elements;
  }
  std::string Path() const {
    std::string path;
    for (const Frame& f : frames_) {
      if (f.isArray)
        path += "[" + std::to_string(f.elements - 1) + "]";
      else
        path += (path.empty() ? "" : ".") + f.key;
    }
    return path;
  }
  std::vector<Frame> frames_;
};

}  // namespace

Json ParseMenuJson(std::string_view text) {
  if (text.size() > kMaxMenuJsonBytes)
    throw MenuJsonError("the JSON is " + std::to_string(text.size()) +
                        " bytes long, more than any menu needs (at most 16 MiB are read)");
  try {
    return Json::parse(text, KeyTracker());
  } catch (const Json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 3, column 7: ..." without the tag.
    // A number too large for a double is the parser's out_of_range.406, and is bad JSON too.
    std::string what = e.what();
    if (const std::size_t tag = what.find("] ");
        what.starts_with("[json.exception") && tag != std::string::npos)
      what.erase(0, tag + 2);
    if (!what.empty()) what[0] = char(std::toupper(static_cast<unsigned char>(what[0])));
    throw MenuJsonError("not JSON: " + ShortenForMessage(what, 300));
  }
}

void MenuFromJson(const Json& json, MenuDocument& doc) {
  // Built aside and taken over whole, so a refused form changes nothing: not the menu, not
  // the options, not the custom counter.
  MenuDocument imported;
  imported.Options = doc.Options;
  imported.CustomItemCount = doc.CustomItemCount;
  imported.SaveFailed = doc.SaveFailed;
  Importer(imported, doc.Kinds).Import(json);
  imported.Kinds = std::move(doc.Kinds);
  doc = std::move(imported);
}

}  // namespace trellune
