#include "mma/menu_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/menu_bytes.h"
#include "io/file_io.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"

namespace trellune {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::ToHex;

// Builds menus with the model operations directly: the writer must also refuse what the
// editing layer would never let grow (more than 255 records).
MenuNode* AddMain(MenuDocument& doc, MenuNode& parent, const char* kind) {
  const bool custom = std::string_view(kind) == kCustomItemName;
  TMMAItem item;
  item.Name = custom ? "~" + std::to_string(++doc.CustomItemCount) : std::string(kind);
  item.AllowSubitems = 1;
  MenuNode* node = doc.Tree.Append(&parent, NodeTextFor(doc.Kinds, item.Name, 0), item);
  InsertItem(doc, custom, *node, true);
  if (IsShortcutKind(node->Text)) MakeShortcutData(doc, *node, kind);
  return node;
}

void Give(MenuDocument& doc, MenuNode& node, std::vector<ItemDataEntry> entries) {
  ItemDataBlock b;
  b.Entries = std::move(entries);
  doc.ItemData[node.Item.Id] = std::move(b);
  ++doc.DataItemCount;
  AttachData(doc, node);
}

Bytes Serialize(MenuDocument& doc) {
  WriteOutcome out = SerializeMenu(doc);
  EXPECT_TRUE(out.ok()) << (out.refusal ? out.refusal->text : "");
  return out.bytes;
}

Bytes RecordAt(const Bytes& file, int rl, int index) {
  auto start = file.begin() + 10 + index * rl;
  return Bytes(start, start + rl);
}

// Data area of a file written in 36-byte mode with n records.
Bytes DataArea(const Bytes& file, int rl) {
  return Bytes(file.begin() + 10 + file[2] * rl, file.end());
}

TEST(MenuWriter, NewMenuWithOneItemInBothDialects) {
  MenuDocument doc;
  NewMenu(doc);
  AddMain(doc, *doc.Tree.MenuRoot(), "Games");

  Bytes file = Serialize(doc);
  ASSERT_EQ(file.size(), 406u);
  EXPECT_EQ(ToHex(Bytes(file.begin(), file.begin() + 10)), "00 01 0B 01 FF FF 15 02 FF FF");
  Bytes expected = Cat({Hex("00 09 FF FF 00 41"), Bytes{'G', 'a', 'm', 'e', 's'}, Bytes(20, 0),
                        Hex("CD 00 00 00 00")});
  EXPECT_EQ(ToHex(RecordAt(file, 36, 10)), ToHex(expected));
  EXPECT_EQ(ToHex(RecordAt(file, 36, 0)),
            ToHex(Cat({Hex("01 FF FF 01 00 00"), Bytes{'R', 'o', 'o', 't'}, Bytes(21, 0),
                       Hex("CC 00 00 00 00")})));

  doc.Options.SelectRecordLength(22);
  doc.Options.c698pFix = true;
  file = Serialize(doc);
  ASSERT_EQ(file.size(), 252u);
  EXPECT_EQ(ToHex(Bytes(file.begin(), file.begin() + 10)), "00 03 0B 01 FF FF FF FF FF FF");
  EXPECT_EQ(ToHex(RecordAt(file, 22, 0)),
            ToHex(Cat({Hex("01 FF FF 01 00 00"), Bytes{'R', 'o', 'o', 't'}, Bytes(12, 0)})));
  doc.Options.c698pFix = false;
  EXPECT_EQ(Serialize(doc)[1], 0x01);
  doc.Options.SelectRecordLength(36);
  file = Serialize(doc);
  EXPECT_EQ(file[6], 0x15);
  EXPECT_EQ(file[7], 0x02);
}

TEST(MenuWriter, FolderWithoutChildrenIsWrittenAsAnItem) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* folder = AddMain(doc, *doc.Tree.MenuRoot(), "Games");
  AddMain(doc, *folder, "Camera");
  folder->Children.clear();  // as if the tree lost the child without a renumbering
  Bytes rec = RecordAt(Serialize(doc), 36, 10);
  EXPECT_EQ(rec[0], 0);
}

TEST(MenuWriter, ItemTypesOutsideTheKnownSetNeedSaveAllData) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* five = AddMain(doc, *doc.Tree.MenuRoot(), "Games");
  MenuNode* twelve = AddMain(doc, *doc.Tree.MenuRoot(), "Tools");
  five->Item.ItemType = 5;
  twelve->Item.ItemType = 12;
  doc.Options.saveAllData = true;
  EXPECT_EQ(RecordAt(Serialize(doc), 36, 11)[0], 12);
  doc.Options.saveAllData = false;
  Bytes file = Serialize(doc);
  EXPECT_EQ(RecordAt(file, 36, 10)[0], 5);
  EXPECT_EQ(RecordAt(file, 36, 11)[0], 0);
}

TEST(MenuWriter, UnknownFramesAreWrittenOnlyWithSaveAllData) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* item = AddMain(doc, *doc.Tree.MenuRoot(), "Games");
  ItemDataEntry unknown;
  unknown.TypeCode = kUnknownGroup;
  unknown.Frames = {{7, {0xAA, 0xBB}}, {30, {0x01}}};
  UpdateLength(unknown);
  Give(doc, *item, {unknown});

  Bytes off = Serialize(doc);
  EXPECT_EQ(off.size(), 10u + 11 * 36);
  EXPECT_EQ(ToHex(Bytes(off.end() - 4, off.end())), "00 00 00 00");

  doc.Options.saveAllData = true;
  Bytes on = Serialize(doc);
  EXPECT_EQ(ToHex(DataArea(on, 36)), "07 00 02 AA BB 1E 00 01 01");
  EXPECT_EQ(ToHex(Bytes(on.end() - 13, on.end() - 9)), "00 00 00 09");
}

TEST(MenuWriter, DataOffsetsFollowRecordOrder) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  MenuNode* first = AddMain(doc, *root, "Games");
  AddMain(doc, *root, "Tools");
  AddMain(doc, *root, "Camera");
  MenuNode* fourth = AddMain(doc, *root, "Video");
  Give(doc, *first, {MakeTextEntry(kUrlLink, std::string(24, 'u'))});   // 28 bytes
  Give(doc, *fourth, {MakeTextEntry(kUrlLink, std::string(36, 'v'))});  // 40 bytes
  Bytes file = Serialize(doc);
  const char* tails[] = {"00 00 00 1C", "00 1C 00 00", "00 1C 00 00", "00 1C 00 28"};
  for (int i = 0; i < 4; ++i) {
    Bytes rec = RecordAt(file, 36, 10 + i);
    EXPECT_EQ(ToHex(Bytes(rec.end() - 4, rec.end())), tails[i]) << i;
  }
  EXPECT_EQ(DataArea(file, 36).size(), 68u);
}

TEST(MenuWriter, FramesOfEachKnownType) {
  struct Case {
    const char* what;
    ItemDataEntry entry;
    const char* bytes;  // as written in 36-byte mode with marker 0C
  } cases[] = {
      {"title Hi", MakeTitlesEntry(kMenuTitles, {{1, u"Hi"}}),
       "00 00 0B 01 01 CD 00 06 00 48 00 69 00 00"},
      {"two titles", MakeTitlesEntry(kShowText, {{1, u"abcd"}, {2, u"abcdef"}}),
       "15 00 21 02 01 CD 00 0A 02 CD 00 18 00 61 00 62 00 63 00 64 00 00 00 61 00 62 00 63 00 64 "
       "00 65 00 66 00 00"},
      {"url abc", MakeTextEntry(kUrlLink, "abc"), "05 00 04 61 62 63 00"},
      {"drm static 300", MakeDrmEntry(kIconDrmStatic, 0x12, 300), "10 00 04 12 00 01 2C"},
      {"call/send code", MakeByteEntry(kCallSendCode2, 7), "13 00 01 07"},
      {"send event", MakeSendEventEntry(0x1234), "16 00 02 12 34"},
      {"icon", MakeIconFileEntry(4, u"/a"), "0C 00 07 04 00 2F 00 61 00 00"},
      {"shortcut", MakeShortcutEntry("Datebook"),
       "17 00 19 44 61 74 65 62 6F 6F 6B 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    MenuDocument doc;
    NewMenu(doc);
    Give(doc, *AddMain(doc, *doc.Tree.MenuRoot(), "Games"), {c.entry});
    EXPECT_EQ(ToHex(DataArea(Serialize(doc), 36)), c.bytes) << c.what;
  }
}

TEST(MenuWriter, IconCodeAndTitleMarkerFollowTheOptions) {
  MenuDocument doc;
  NewMenu(doc);
  Give(doc, *AddMain(doc, *doc.Tree.MenuRoot(), "Games"),
       {MakeTitlesEntry(kMenuTitles, {{3, u"x"}}), MakeIconFileEntry(3, u"")});
  doc.Options.SelectRecordLength(22);
  doc.Options.iconMarker = IconMarker::k06;
  EXPECT_EQ(ToHex(DataArea(Serialize(doc), 22)),
            "00 00 09 01 03 00 00 04 00 78 00 00 06 00 03 03 00 00");
  doc.Options.iconMarker = IconMarker::k0C;
  EXPECT_EQ(ToHex(DataArea(Serialize(doc), 22)),
            "00 00 09 01 03 00 00 04 00 78 00 00 0C 00 03 03 00 00");
  // The held entry keeps code 12 either way.
  EXPECT_EQ(doc.ItemData[11]->Entries[1].TypeCode, kIconFile);
  // A record length that is neither 22 nor 36 is written as 36, title markers included.
  doc.Options.recordLength = 30;
  Bytes file = Serialize(doc);
  EXPECT_EQ(file[41], 0xCC);
  EXPECT_EQ(ToHex(DataArea(file, 36)).substr(0, 26), "00 00 09 01 03 CD 00 04 00");
}

TEST(MenuWriter, EmptyMainMenuIsWrittenAsTheTenFixedRecords) {
  MenuDocument doc;
  NewMenu(doc);
  Bytes file = Serialize(doc);
  EXPECT_EQ(file.size(), 10u + 10 * 36);
  EXPECT_EQ(file[2], 10);
  const Bytes root = RecordAt(file, 36, 9);
  EXPECT_EQ(ToHex(Bytes(root.begin(), root.begin() + 4)), "01 FF FF FF");  // no first item
  MenuDocument back;
  ReadMenuBytes(file, back);
  EXPECT_EQ(back.Tree.Count(), 9u);
}

TEST(MenuWriter, RefusesWhatTheFileCannotHoldAndLeavesTheTargetAlone) {
  const std::filesystem::path target = testing::TempDir() + "refused_ucp";
  {
    std::ofstream out(target, std::ios::binary);
    out << "previous content";
  }
  auto targetContent = [&] {
    std::ifstream in(target, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };

  struct Case {
    const char* what;
    std::function<void(MenuDocument&)> make;
    const char* message;
  } cases[] = {
      {"kind unknown to the profile",
       [](MenuDocument& doc) {
         AddMain(doc, *doc.Tree.MenuRoot(), "WebAccess");
         doc.Kinds.BuildActiveKindList({"PhoneBook", "Message", "RecentCall", "Mutilmedia",
                                        "AlarmClock", "MMRingStyle", "VoiceRecord"});
       },
       "mma_ucp doesn't match current profile"},
      {"a name a 22-byte record would cut",
       [](MenuDocument& doc) {
         AddMain(doc, *doc.Tree.MenuRoot(), "ReceivedCalls");
         doc.Options.SelectRecordLength(22);
       },
       "\"ReceivedCalls\" is longer than the 12 characters of a 22-byte record"},
      {"more than 255 records",
       [](MenuDocument& doc) {
         for (int i = 0; i < 246; ++i) AddMain(doc, *doc.Tree.MenuRoot(), "Games");
       },
       "it needs 256 records"},
      {"more than 65,535 bytes of data",
       [](MenuDocument& doc) {
         for (int i = 0; i < 4; ++i) {
           MenuNode* n = AddMain(doc, *doc.Tree.MenuRoot(), "Games");
           std::vector<TitleCell> titles(28, TitleCell{1, std::u16string(300, u'x')});
           Give(doc, *n, {MakeTitlesEntry(kMenuTitles, titles)});
         }
       },
       "more than 65,535 bytes"},
  };
  for (const Case& c : cases) {
    MenuDocument doc;
    NewMenu(doc);
    c.make(doc);
    auto refusal = WriteMenuFile(target, doc);
    ASSERT_TRUE(refusal) << c.what;
    EXPECT_NE(refusal->text.find(c.message), std::string::npos) << c.what << ": " << refusal->text;
    EXPECT_TRUE(doc.SaveFailed) << c.what;
    EXPECT_EQ(targetContent(), "previous content") << c.what;
  }
  // A menu with 245 main items (255 records) still fits.
  MenuDocument full;
  NewMenu(full);
  for (int i = 0; i < 245; ++i) AddMain(full, *full.Tree.MenuRoot(), "Games");
  EXPECT_FALSE(WriteMenuFile(target, full));
  EXPECT_FALSE(full.SaveFailed);
  EXPECT_EQ(ReadWholeFile(target)[2], 255);
}

TEST(MenuWriter, ProfileMismatchMessage) {
  EXPECT_EQ(ProfileMismatchOnSave(), (UserMessage{"mma_ucp doesn't match current profile",
                                                  "Profile error", MessageIcon::Error}));
}

TEST(MenuWriter, DataIsWrittenEvenWhenTheBlockCounterWrapped) {
  MenuDocument doc;
  NewMenu(doc);
  Give(doc, *AddMain(doc, *doc.Tree.MenuRoot(), "Games"), {MakeTextEntry(kUrlLink, "abc")});
  doc.DataItemCount = 0;  // 256 blocks created over a session wrap the 8-bit counter
  EXPECT_EQ(ToHex(DataArea(Serialize(doc), 36)), "05 00 04 61 62 63 00");
}

// A damaged model where two items claim one data slot: the renumbering gives each its own
// copy of the block, owned by its new number.
TEST(RenumberItems, ItemsClaimingOneSlotEachGetACopy) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* a = AddMain(doc, *doc.Tree.MenuRoot(), "Games");
  MenuNode* b = AddMain(doc, *doc.Tree.MenuRoot(), "Camera");
  Give(doc, *b, {MakeTextEntry(kUrlLink, "shared")});
  a->Item.Id = b->Item.Id;  // both now say slot 12
  a->Item.HasData = true;
  RenumberItems(doc);
  ASSERT_TRUE(doc.ItemData[11] && doc.ItemData[12]);
  EXPECT_EQ(doc.ItemData[11]->Entries, doc.ItemData[12]->Entries);
  EXPECT_EQ(doc.ItemData[11]->Entries.at(0).Text, "shared");
  EXPECT_EQ(doc.ItemData[11]->OwnerId, 11);
  EXPECT_EQ(doc.ItemData[12]->OwnerId, 12);
}

// Files the writer made read back into the same menu and write the same bytes again, in both
// dialects, with every frame type and nesting.
TEST(MenuWriter, RoundTripsThroughTheReader) {
  for (int rl : {22, 36}) {
    MenuDocument doc;
    NewMenu(doc);
    MenuNode* root = doc.Tree.MenuRoot();
    MenuNode* a = AddMain(doc, *root, "Games");
    MenuNode* b = AddMain(doc, *root, "MF-Music");
    MenuNode* a1 = AddMain(doc, *a, "Camera");
    AddMain(doc, *a1, "Radio");
    AddMain(doc, *a, "Custom item");
    ItemDataEntry unknown;
    unknown.TypeCode = kUnknownGroup;
    unknown.Frames = {{40, {1, 2, 3}}};
    UpdateLength(unknown);
    // Titles and paths short and long enough to be held in and out of line.
    Give(doc, *a,
         {MakeTitlesEntry(kMenuTitles, {{1, u"Spiele"},
                                        {7, u""},
                                        {6, std::u16string(28, u'a')},
                                        {8, std::u16string(29, u'b')},
                                        {9, std::u16string(kMaxTitleUnits - 1, u'c')}}),
          MakeIconFileEntry(4, u"/a/anim.gif"), MakeDrmEntry(kIconDrmList, 0x12, 9)});
    Give(doc, *b, {MakeIconFileEntry(3, u"/c/" + std::u16string(300, u'p') + u".gif")});
    Give(doc, *a1,
         {MakeTextEntry(kMidletAttribute, "m1"), MakeTextEntry(kMidletName, std::string(104, 'n')),
          MakeTextEntry(kMidletVendor, std::string(105, 'v')),
          MakeTextEntry(kUrlLink, "http://" + std::string(kMaxAnsiChars - 7, 'u')), unknown});
    Give(doc, *doc.Tree.NodeAt(3), {MakeTitlesEntry(kSoftkeyTitles, {{1, u"Calls"}})});
    doc.Options.SelectRecordLength(rl);
    doc.Options.saveAllData = true;
    Bytes first = Serialize(doc);

    MenuDocument back;
    ReadMenuBytes(first, back);
    back.Options.saveAllData = true;
    EXPECT_EQ(ToHex(Serialize(back)), ToHex(first)) << rl;
    EXPECT_EQ(back.Tree.Count(), doc.Tree.Count());
    EXPECT_EQ(*back.ItemData[11], *doc.ItemData[11]);
    EXPECT_EQ(*back.ItemData[12], *doc.ItemData[12]);
    EXPECT_EQ(*back.ItemData[a1->Item.Id], *doc.ItemData[a1->Item.Id]);
  }
}

}  // namespace
}  // namespace trellune
