#include "itemdata/item_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/menu_bytes.h"
#include "itemdata/language_table.h"
#include "mma/menu_editor.h"
#include "mma/menu_reader.h"

namespace trellune {
namespace {

using test::ToHex;

// The frames one item's data writes to, in a 36-byte menu of its own.
std::string WrittenData(const ItemProperties& props, int recordLength = 36) {
  MenuEditor e;
  e.NewMenu();
  e.SelectRecordLength(recordLength);
  const MenuNode* item = e.Add(e.Tree().MenuRoot(), AddPlacement::SubitemLast,
                               e.Document().Kinds.FindKindIndex("Games"))
                             .node;
  EXPECT_TRUE(e.ApplyItemProperties(item, props));
  const WriteOutcome out = e.Serialize();
  EXPECT_TRUE(out.ok());
  const std::size_t area = 10 + std::size_t(out.bytes[2]) * std::size_t(recordLength);
  return ToHex(test::Bytes(out.bytes.begin() + std::ptrdiff_t(area), out.bytes.end()));
}

ItemProperties Collected(ItemCodec& codec) {
  ItemProperties props;
  EXPECT_FALSE(codec.Collect(props).has_value());
  return props;
}

TEST(LanguageTable, IdTextsAndLookups) {
  EXPECT_EQ(LanguageTable()[9].idText, "0A");
  EXPECT_EQ(LanguageTable()[6].name, "German");
  EXPECT_EQ(LanguageTable()[46].name, "Bahasa Malay");
  EXPECT_EQ(LanguageIdText(10), "0A");
  EXPECT_EQ(LanguageIdText(0x30), "30");  // outside the table: shown as its digits
  EXPECT_EQ(LanguagePosition("0A"), 9u);
  EXPECT_EQ(LanguagePosition("30"), 47u);
  EXPECT_EQ(LanguagePosition("0a"), 47u);  // compared exactly
}

// The byte examples: each field, collected and written.
TEST(ItemCodec, FieldsBecomeTheirFrames) {
  struct Case {
    const char* what;
    std::function<void(ItemCodec&)> fill;
    const char* bytes;
    std::uint8_t itemType;
  } cases[] = {
      {"title",
       [](ItemCodec& c) {
         c.Form().MenuTitles = {{1, u"Hi"}};
       },
       "00 00 0B 01 01 CD 00 06 00 48 00 69 00 00", 0},
      {"URL",
       [](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::UrlLink);
         c.Form().Url = "abc";
       },
       "05 00 04 61 62 63 00", 3},
      {"DRM static icon",
       [](ItemCodec& c) {
         c.ChooseIconSource(kStaticIcon, IconSource::DRM);
         c.Form().Icons[kStaticIcon].Path = u"300";
       },
       "10 00 04 12 00 01 2C", 0},
      {"shortcut of 25 characters",
       [](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::Shortcut);
         c.Form().Shortcut = std::string(25, 'S');
       },
       "17 00 19 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53 53", 9},
      {"call code 0x13 alone",
       [](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::CallSend);
         c.Form().Codes[1] = "7";
       },
       "13 00 01 07", 4},
      {"send event",
       [](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::SendEvent);
         c.Form().ActionCode = "513";
       },
       "16 00 02 02 01", 8},
  };
  for (const Case& c : cases) {
    ItemCodec codec;
    codec.LoadItem(std::nullopt, 0, 0, 0x41, false);
    c.fill(codec);
    const ItemProperties props = Collected(codec);
    EXPECT_EQ(WrittenData(props), c.bytes) << c.what;
    EXPECT_EQ(props.ItemType, c.itemType) << c.what;
    EXPECT_EQ(props.Attributes, c.itemType ? 0x60 : 0x41) << c.what;
  }
}

// Every frame type decodes and encodes back to the same entry; the order is the fixed one.
TEST(ItemCodec, EveryFrameTypeSurvivesOpenAndOk) {
  ItemDataEntry unknown;
  unknown.TypeCode = kUnknownGroup;
  unknown.Frames = {RawFrame{7, {1, 2}}, RawFrame{30, {3}}};
  UpdateLength(unknown);
  ItemDataEntry shortcut = MakeShortcutEntry("AB");
  shortcut.Shortcut[3] = 'x';  // bytes after the NUL
  const std::vector<ItemDataEntry> entries = {
      MakeTitlesEntry(kMenuTitles, {{1, u"Menu"}, {0x30, u"odd language"}}),
      MakeTitlesEntry(kSoftkeyTitles, {{7, u"Taste"}}),
      MakeIconFileEntry(4, u"/a/anim.gif"),
      MakeIconFileEntry(3, u"/a/static.gif"),
      MakeIconFileEntry(9, u"/a/list.gif"),  // any other IconKind is the list icon, kept
      MakeTextEntry(kUrlLink, "http://x"),
      MakeTextEntry(kMidletAttribute, "m1"),
      MakeTextEntry(kMidletName, "name"),
      MakeTextEntry(kMidletVendor, "vendor"),
      MakeDrmEntry(kIconDrmAnimated, 0x12, 1),
      MakeDrmEntry(kIconDrmStatic, 0x13, 65535),
      MakeSendEventEntry(9),
      shortcut,
      MakeByteEntry(kCallSendCode1, 1),
      MakeByteEntry(kCallSendCode2, 2),
      MakeByteEntry(kCallSendCode3, 255),
      MakeTitlesEntry(kShowText, {{1, u"text"}}),
      unknown,
  };
  ItemDataBlock block;
  block.Entries = entries;
  ItemCodec codec;
  codec.LoadItem(block, 5, 0x18, 0x45, false);
  EXPECT_TRUE(codec.Form().Send);
  const ItemProperties props = Collected(codec);
  ASSERT_TRUE(props.data);
  auto sorted = [](std::vector<ItemDataEntry> v) {
    std::sort(v.begin(), v.end(), [](const ItemDataEntry& a, const ItemDataEntry& b) {
      return std::tie(a.TypeCode, a.Byte, a.Text, a.Path) <
             std::tie(b.TypeCode, b.Byte, b.Text, b.Path);
    });
    return v;
  };
  EXPECT_EQ(sorted(props.data->Entries), sorted(entries));
  std::vector<int> order;
  for (const ItemDataEntry& e : props.data->Entries) order.push_back(e.TypeCode);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 21, 12, 12, 12, 5, 9, 10, 11, 17, 16, 22, 23, 18, 19, 20,
                                     254}));
  EXPECT_EQ(props.Flags, 0x18);  // a custom item stays one
  EXPECT_EQ(props.ItemType, 5);  // the last function frame: Send
  EXPECT_EQ(props.Attributes, 0x60);

  // A softkey's icons are neither shown nor kept.
  codec.LoadItem(block, 0, 0, 0x41, true);
  const ItemProperties softkey = Collected(codec);
  for (const ItemDataEntry& e : softkey.data->Entries)
    EXPECT_TRUE(e.TypeCode != kIconFile && (e.TypeCode < 15 || e.TypeCode > 17)) << int(e.TypeCode);
}

// Opening and closing with OK keeps every entry of every item of the demo menus and of
// random menus written by the project's writer.
TEST(ItemCodec, OpenAndOkKeepsEveryEntry) {
  std::vector<std::vector<std::uint8_t>> files;
  for (const char* name : {"/demo/menus/mma_ucp_36", "/demo/menus/mma_ucp_22"}) {
    std::FILE* f = std::fopen((std::string(TRELLUNE_SOURCE_DIR) + name).c_str(), "rb");
    ASSERT_TRUE(f);
    std::vector<std::uint8_t> bytes(70000);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    files.push_back(bytes);
  }
  std::mt19937 rng(5);
  auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
  const std::uint8_t codes[] = {0, 1, 5, 9, 10, 11, 12, 15, 16, 17, 18, 19, 20, 21, 22, 23, 44};
  for (int menu = 0; menu < 20; ++menu) {
    MenuEditor e;
    e.NewMenu();
    for (int i = 0; i < 15; ++i) {
      const MenuNode* node = e.Add(e.Tree().MenuRoot(), AddPlacement::SubitemLast, pick(146)).node;
      if (!node) continue;
      ItemProperties props;
      props.data.emplace();
      for (std::uint8_t code : codes) {
        if (pick(3)) continue;
        ItemDataEntry entry;
        if (code == 0 || code == 1 || code == 21)
          entry = MakeTitlesEntry(
              code, {{std::uint8_t(pick(60)), u"t" + std::u16string(std::size_t(pick(5)), u'x')}});
        else if (code >= 5 && code <= 11)
          entry = MakeTextEntry(code, std::string(std::size_t(pick(30)), 'a'));
        else if (code == 12)
          entry = MakeIconFileEntry(std::uint8_t(pick(6)), u"/a/i.gif");
        else if (code >= 15 && code <= 17)
          entry = MakeDrmEntry(code, std::uint8_t(pick(256)), std::uint16_t(pick(65536)));
        else if (code >= 18 && code <= 20)
          entry = MakeByteEntry(code, std::uint8_t(pick(256)));
        else if (code == 22)
          entry = MakeSendEventEntry(std::uint16_t(pick(65536)));
        else if (code == 23)
          entry = MakeShortcutEntry("Camera");
        else {
          entry.TypeCode = kUnknownGroup;
          entry.Frames = {RawFrame{code, {1, 2, 3}}};
          UpdateLength(entry);
        }
        if (code == 12 && std::any_of(props.data->Entries.begin(), props.data->Entries.end(),
                                      [](const ItemDataEntry& x) { return x.TypeCode == 12; }))
          continue;
        props.data->Entries.push_back(entry);
      }
      props.ItemType = 0;
      e.ApplyItemProperties(node, props);
    }
    e.SetSaveAllData(true);
    files.push_back(e.Serialize().bytes);
  }

  int items = 0;
  for (const auto& file : files) {
    MenuDocument doc;
    doc.Options.saveAllData = true;
    ReadMenuBytes(file, doc);
    std::size_t position = 0;
    doc.Tree.ForEach([&](MenuNode& node) {
      const std::size_t p = position++;
      const auto& block = doc.ItemData[node.Item.Id];
      if (p == 0 || p == kMenuRootPosition || !block) return;
      ItemCodec codec;
      const bool restricted = p < 8;
      codec.LoadItem(block, node.Item.ItemType, node.Item.Flags, node.Item.Attributes, restricted);
      ItemProperties props;
      ASSERT_FALSE(codec.Collect(props).has_value());
      std::vector<ItemDataEntry> expected;
      for (const ItemDataEntry& x : block->Entries) {
        const bool icon = x.TypeCode == kIconFile || (x.TypeCode >= 15 && x.TypeCode <= 17);
        if (!(restricted && icon)) expected.push_back(x);
      }
      std::vector<ItemDataEntry> got =
          props.data ? props.data->Entries : std::vector<ItemDataEntry>{};
      auto key = [](const ItemDataEntry& x) {
        return std::tie(x.TypeCode, x.Byte, x.Value, x.Text);
      };
      auto less = [&](const ItemDataEntry& a, const ItemDataEntry& b) { return key(a) < key(b); };
      std::sort(expected.begin(), expected.end(), less);
      std::sort(got.begin(), got.end(), less);
      EXPECT_EQ(got, expected) << "item " << node.Text;
      ++items;
    });
  }
  EXPECT_GT(items, 100);
}

TEST(ItemCodec, FieldsThatCannotBeWrittenAreRefused) {
  struct Case {
    std::function<void(ItemCodec&)> fill;
    const char* message;
  } cases[] = {
      {[](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::SendEvent);
         c.Form().ActionCode = "12a";
       },
       "'12a' is not a valid integer value"},
      {[](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::SendEvent);
         c.Form().ActionCode = "70000";
       },
       "Action code (dec) [?]: 70000 is not between 0 and 65535"},
      {[](ItemCodec& c) {
         c.ChooseFunction(ItemFunction::CallSend);
         c.Form().Codes[0] = "300";
       },
       "Code 0x12 [?]: 300 is not between 0 and 255"},
      {[](ItemCodec& c) {
         c.ChooseIconSource(kStaticIcon, IconSource::DRM);
         c.Form().Icons[kStaticIcon].Path = u"12a";
       },
       "Static icon: '12a' is not a DRM number (0 to 65535)"},
      {[](ItemCodec& c) {
         c.Form().MenuTitles = {{1, std::u16string(400, u'x')}};
       },
       "Menu title: a text holds at most 399 characters"},
  };
  for (const Case& c : cases) {
    ItemCodec codec;
    codec.LoadItem(std::nullopt, 0, 0, 0, false);
    c.fill(codec);
    ItemProperties props;
    const auto error = codec.Collect(props);
    ASSERT_TRUE(error) << c.message;
    EXPECT_EQ(error->text, c.message);
  }
}

TEST(ItemCodec, TheDialogsRulesOnTheBytes) {
  ItemCodec codec;
  // Without function data the attributes stay; titles give the flags 8 (custom: 0x18).
  codec.LoadItem(std::nullopt, 0, 0x01, 0x45, false);
  EXPECT_TRUE(codec.Attribute(kLockableBit) && codec.Attribute(kNonChangeableBit));
  codec.Form().MenuTitles = {{1, u"a"}};
  ItemProperties props = Collected(codec);
  EXPECT_EQ(props.Attributes, 0x45);
  EXPECT_EQ(props.Flags, 0x08);
  codec.LoadItem(std::nullopt, 0, 0x05, 0x45, false);
  EXPECT_EQ(Collected(codec).Flags, 0);  // no titles: no flags
  codec.SetAttribute(kProtectedBit, true);
  EXPECT_EQ(Collected(codec).Attributes, 0x65);

  // An item with a submenu keeps type 1.
  codec.LoadItem(std::nullopt, 1, 0, 0, false);
  EXPECT_TRUE(codec.HasSubmenu());
  EXPECT_EQ(Collected(codec).ItemType, 1);

  // Changing "URL link" to "Shortcut" and back empties the URL.
  ItemDataBlock url;
  url.Entries = {MakeTextEntry(kUrlLink, "http://x")};
  codec.LoadItem(url, 3, 0, 0x60, false);
  EXPECT_EQ(codec.Form().Function, ItemFunction::UrlLink);
  codec.ChooseFunction(ItemFunction::Shortcut);
  codec.ChooseFunction(ItemFunction::UrlLink);
  EXPECT_TRUE(codec.Form().Url.empty());
  props = Collected(codec);
  EXPECT_FALSE(props.data);
  EXPECT_EQ(props.ItemType, 0);

  // The unknown frames stay through OK and a function choice; "[None]" and a reset drop them.
  ItemDataEntry unknown;
  unknown.TypeCode = kUnknownGroup;
  unknown.Frames = {RawFrame{40, {1}}};
  UpdateLength(unknown);
  ItemDataBlock withUnknown;
  withUnknown.Entries = {MakeTextEntry(kUrlLink, "u"), unknown};
  codec.LoadItem(withUnknown, 3, 0, 0x60, false);
  codec.ChooseFunction(ItemFunction::Shortcut);
  EXPECT_EQ(Collected(codec).data->Entries, std::vector<ItemDataEntry>{unknown});
  codec.ChooseFunction(ItemFunction::None);
  EXPECT_FALSE(Collected(codec).data);
  codec.LoadItem(withUnknown, 3, 0, 0x60, false);
  codec.ClearPanel();
  EXPECT_FALSE(Collected(codec).data);

  // "Send" chosen: type 5; the frames of a Call/Send item follow the choice.
  codec.LoadItem(std::nullopt, 0, 0, 0, false);
  codec.ChooseFunction(ItemFunction::CallSend);
  codec.ChooseSend(true);
  EXPECT_EQ(codec.GetItemType(), 5);
  codec.Form().Codes[2] = "9";
  props = Collected(codec);
  EXPECT_EQ(props.ItemType, 5);
  EXPECT_EQ(props.data->Entries.at(0).TypeCode, kCallSendCode3);
}

}  // namespace
}  // namespace trellune
