#include "mma/menu_reader.h"

#include <gtest/gtest.h>

#include "core/doc_checks.h"
#include "core/menu_bytes.h"
#include "mma/menu_ops.h"

namespace trellune {
namespace {

using test::Bytes;
using test::Cat;
using test::Frame;
using test::Hex;
using test::MenuFile;
using test::Rec;

Bytes Utf16Be(const std::u16string& s, bool terminate = true) {
  Bytes b;
  for (char16_t u : s) {
    b.push_back(std::uint8_t(u >> 8));
    b.push_back(std::uint8_t(u));
  }
  if (terminate) b.insert(b.end(), {0, 0});
  return b;
}

Bytes Ansi(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

const ItemDataBlock& BlockAt(const MenuDocument& doc, std::size_t position) {
  const auto& slot = doc.ItemData[doc.Tree.NodeAt(position)->Item.Id];
  if (!slot) throw std::runtime_error("no block");
  return *slot;
}

TEST(MenuReader, ReadsAThirtySixByteMainItemWithItsData) {
  // Record 10 as it stands in a phone's file: 00 09 0B FF 08 40, "PhoneBook", CD, 00 1C, 00 28.
  Bytes record10 =
      Cat({Hex("00 09 0B FF 08 40"), Bytes{'P', 'h', 'o', 'n', 'e', 'B', 'o', 'o', 'k'},
           Bytes(16, 0), Hex("CD 00 1C 00 28")});
  Bytes url = Frame(5, Ansi("http://wap.example.com/a"));                              // 28 bytes
  Bytes titles = Frame(0, Cat({Hex("01 01 CD 00 20"), Utf16Be(u"My phone book!!")}));  // 40 bytes
  ASSERT_EQ(url.size(), 28u);
  ASSERT_EQ(titles.size(), 40u);
  Bytes file = MenuFile(
      36, {{0, 9, 11, 255, 0, 0x41, "PhoneBook"}, {0, 9, 255, 255, 0, 0x41, "Message", 0, 28}},
      Cat({url, titles}));
  std::copy(record10.begin(), record10.end(), file.begin() + 10 + 10 * 36);

  MenuDocument doc;
  ReadMenuBytes(file, doc);
  ASSERT_EQ(doc.Tree.Count(), 11u);
  const MenuNode* item = doc.Tree.NodeAt(9);
  EXPECT_EQ(item->Text, "PhoneBook");
  EXPECT_EQ(item->Parent, doc.Tree.MenuRoot());
  EXPECT_EQ(item->Item.Flags, 0x08);
  EXPECT_EQ(item->Item.Attributes, 0x40);
  EXPECT_EQ(item->Item.Group, 0xCD);
  EXPECT_EQ(item->Item.DataOffset, 28);
  EXPECT_EQ(item->Item.DataLength, 40);
  EXPECT_FALSE(item->HasChildren());
  EXPECT_EQ(doc.Tree.NodeAt(10)->Text, "Message");
  EXPECT_EQ(BlockAt(doc, 9).Entries.at(0).Titles.at(0).Text, u"My phone book!!");
  EXPECT_EQ(BlockAt(doc, 10).Entries.at(0).Text, "http://wap.example.com/a");
  EXPECT_EQ(doc.DataItemCount, 2);
  EXPECT_EQ(doc.RecordLength, 36);
  EXPECT_EQ(StatusText(doc), "Format: 36-byte  Entries: 2");
  EXPECT_EQ(doc.Options.recordLength, 36);
  EXPECT_FALSE(doc.Options.iconMarkerEnabled);
}

TEST(MenuReader, ByteFortyOneAloneDecidesTheRecordLength) {
  Bytes thirtySix = MenuFile(36, {});
  Bytes twentyTwo = MenuFile(22, {});
  struct Case {
    Bytes file;
    int expected;
  } cases[] = {{thirtySix, 36}, {twentyTwo, 22}};
  // Header bytes 6 and 7 are not consulted.
  cases[0].file[6] = cases[0].file[7] = 0xFF;
  cases[1].file[6] = 0x15;
  cases[1].file[7] = 0x02;
  for (const Case& c : cases) {
    MenuDocument doc;
    ReadMenuBytes(c.file, doc);
    EXPECT_EQ(doc.RecordLength, c.expected);
    EXPECT_EQ(doc.Options.iconMarkerEnabled, c.expected == 22);
  }
}

TEST(MenuReader, EmptyMainMenuAndTwelveCharacterNames) {
  MenuDocument doc;
  ReadMenuBytes(MenuFile(22, {}), doc);
  EXPECT_EQ(doc.Tree.Count(), 9u);
  EXPECT_EQ(doc.Tree.NodeAt(1)->Text, "LSK: PhoneBook");
  EXPECT_EQ(doc.Tree.NodeAt(4)->Text, "Down: Multimedia");
  EXPECT_EQ(StatusText(doc), "Format: 22-byte  Entries: 0");
  EXPECT_EQ(doc.Tree.MenuRoot()->Item.ChildIndex, 0);

  // A 22-byte name field filled to the last byte has no NUL.
  ReadMenuBytes(MenuFile(22, {{0, 9, 255, 255, 0, 0x41, "MF-VoiceNote"}}), doc);
  EXPECT_EQ(doc.Tree.NodeAt(9)->Item.Name, "MF-VoiceNote");
  EXPECT_EQ(doc.Tree.NodeAt(9)->Text, "MF-VoiceNote [SC]");
}

TEST(MenuReader, C698pFixFollowsHeaderByteOneIn22ByteFilesOnly) {
  MenuDocument doc;
  ReadMenuBytes(MenuFile(22, {}, {}, 0x03), doc);
  EXPECT_TRUE(doc.Options.c698pFix);
  ReadMenuBytes(MenuFile(22, {}, {}, 0x01), doc);
  EXPECT_FALSE(doc.Options.c698pFix);
  ReadMenuBytes(MenuFile(36, {}, {}, 0x03), doc);
  EXPECT_FALSE(doc.Options.c698pFix);
  EXPECT_FALSE(doc.Options.c698pFixEnabled);
}

TEST(MenuReader, NestedRunsBuildTheTree) {
  // Root run: A (10, child run at 12), B (11); A's run: A1 (12), A2 (13).
  Bytes file = MenuFile(36, {{1, 9, 11, 12, 0, 0x41, "Games"},
                             {0, 9, 255, 255, 0, 0x41, "Tools"},
                             {0, 10, 13, 255, 0x18, 0x41, "Camera"},
                             {0, 10, 255, 255, 0x18, 0x41, "~5"}});
  MenuDocument doc;
  ReadMenuBytes(file, doc);
  const MenuNode* a = doc.Tree.NodeAt(9);
  ASSERT_EQ(a->Children.size(), 2u);
  EXPECT_EQ(a->Children[0]->Item.Flags, 0x08);  // 0x18 becomes 0x08 for kinds
  EXPECT_EQ(a->Children[1]->Item.Flags, 0x18);  // but stays for custom items
  EXPECT_EQ(a->Children[1]->Text, "~5");
  EXPECT_EQ(doc.Tree.NodeAt(12)->Text, "Tools");
  EXPECT_EQ(doc.CustomItemCount, 1);
}

TEST(MenuReader, TitleListsFramesAndUnknownFrames) {
  Bytes titles =
      Frame(0, Cat({Hex("02 01 00 00 0A 07 00 00 18"), Utf16Be(u"Menu"), Utf16Be(u"Mengde")}));
  Bytes data = Cat({titles, Frame(7, Hex("AA BB")), Frame(5, Ansi("u")), Frame(30, Hex("01")),
                    // 18 with a length field of 3: one byte is taken, parsing goes on 4 bytes on.
                    Hex("12 00 03 09"), Frame(22, Hex("01 02"))});
  Bytes file =
      MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, std::uint16_t(data.size())}}, data);
  MenuDocument doc;
  ReadMenuBytes(file, doc);
  const auto& e = BlockAt(doc, 9).Entries;
  ASSERT_EQ(e.size(), 5u);
  ASSERT_EQ(e[0].Titles.size(), 2u);
  EXPECT_EQ(e[0].Titles[0].Text, u"Menu");
  EXPECT_EQ(e[0].Titles[1].Text, u"Mengde");
  EXPECT_EQ(e[0].Titles[1].LanguageId, 7);
  EXPECT_EQ(e[1].TypeCode, kUnknownGroup);
  ASSERT_EQ(e[1].Frames.size(), 2u);
  EXPECT_EQ(e[1].Frames[1].TypeCode, 30);
  EXPECT_EQ(e[1].Length, 2 + 3 + 1 + 3);
  EXPECT_EQ(e[2].TypeCode, kUrlLink);
  EXPECT_EQ(e[3].TypeCode, kCallSendCode1);
  EXPECT_EQ(e[3].Byte, 9);
  EXPECT_EQ(e[3].Length, 1);
  EXPECT_EQ(e[4].Value, 0x0102);
}

TEST(MenuReader, IconCodeSixSetsTheMarkerEvenIn36ByteFiles) {
  Bytes data = Frame(6, Cat({Hex("03"), Utf16Be(u"/a/x.gif")}));
  Bytes file =
      MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, std::uint16_t(data.size())}}, data);
  MenuDocument doc;
  ReadMenuBytes(file, doc);
  EXPECT_EQ(doc.Options.iconMarker, IconMarker::k06);
  EXPECT_FALSE(doc.Options.iconMarkerEnabled);
  EXPECT_EQ(BlockAt(doc, 9).Entries.at(0).TypeCode, kIconFile);
  EXPECT_EQ(BlockAt(doc, 9).Entries.at(0).Path, u"/a/x.gif");
}

TEST(MenuReader, DataIsReadOnlyWhenTheFileHasADataArea) {
  Bytes file = MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, 40}});
  MenuDocument doc;
  ReadMenuBytes(file, doc);
  EXPECT_TRUE(doc.Tree.NodeAt(9)->Item.HasData);
  EXPECT_FALSE(doc.ItemData[11]);
  EXPECT_EQ(doc.DataItemCount, 0);
}

TEST(MenuReader, UnknownKindAbortsAndTheOpenFallsBackToTheBuiltInList) {
  Bytes file =
      MenuFile(36, {{0, 9, 11, 255, 0, 0x41, "~7"}, {0, 9, 255, 255, 0, 0x41, "WebAccess"}});
  MenuDocument doc;
  doc.Kinds.BuildActiveKindList({"PhoneBook", "Message", "RecentCall", "Mutilmedia", "AlarmClock",
                                 "MMRingStyle", "VoiceRecord"});
  EXPECT_THROW(ReadMenuBytes(file, doc), ProfileMismatch);
  EXPECT_TRUE(doc.Tree.Empty());

  const std::string path = testing::TempDir() + "mismatch_ucp";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  const std::uint8_t before = doc.CustomItemCount;
  auto warnings = ReadMenuWithProfileCheck(path, doc);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].text,
            "Selected profile doesn't match mma_ucp\r\n    Default profile will be applied");
  EXPECT_EQ(warnings[0].caption, "Profile error");
  EXPECT_EQ(doc.Kinds.KnownKindCount, 147);
  EXPECT_EQ(doc.Tree.Count(), 11u);
  EXPECT_GT(doc.CustomItemCount, before);

  // "~7" alone is fine with any profile.
  MenuDocument narrow;
  narrow.Kinds = doc.Kinds;
  narrow.Kinds.BuildActiveKindList({"PhoneBook", "Message", "RecentCall", "Mutilmedia",
                                    "AlarmClock", "MMRingStyle", "VoiceRecord"});
  ReadMenuBytes(MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "~7"}}), narrow);
  EXPECT_EQ(narrow.Tree.NodeAt(9)->Text, "~7");
}

struct MalformedCase {
  const char* what;
  Bytes file;
};

std::vector<MalformedCase> MalformedCases() {
  auto withData = [](const Bytes& data, std::uint16_t claimed = 0) {
    return MenuFile(
        36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, claimed ? claimed : std::uint16_t(data.size())}},
        data);
  };
  std::vector<MalformedCase> cases;
  cases.push_back({"too short", Bytes(30, 0)});
  Bytes fewRecords = MenuFile(36, {});
  fewRecords[2] = 5;
  cases.push_back({"fewer than ten records", fewRecords});
  Bytes cut = MenuFile(36, {});
  cut.resize(10 + 5 * 36);
  cases.push_back({"ends inside the softkeys", cut});
  cases.push_back({"child index outside", MenuFile(36, {{1, 9, 255, 40, 0, 0x41, "Games"}})});
  cases.push_back(
      {"child index into fixed records", MenuFile(36, {{1, 9, 255, 3, 0, 0x41, "Games"}})});
  cases.push_back({"cycle", MenuFile(36, {{1, 9, 255, 10, 0, 0x41, "Games"}})});
  cases.push_back({"data past end of file", withData(Frame(5, Ansi("abc")), 200)});
  cases.push_back({"frame past data length", withData(Hex("05 00 09 61 62 00"))});
  cases.push_back({"frame header cut", withData(Cat({Frame(5, Ansi("a")), Hex("05 00")}))});
  cases.push_back({"fixed-size frame cut", withData(Hex("17 00 19 41 42"))});
  Bytes twelve;
  for (int i = 0; i < 12; ++i) twelve = Cat({twelve, Frame(18, Hex("01"))});
  cases.push_back({"twelfth entry", withData(twelve)});
  Bytes many = Hex("1D");
  for (int i = 0; i < 29; ++i) many = Cat({many, Hex("01 00 00 02")});
  for (int i = 0; i < 29; ++i) many = Cat({many, Hex("00 00")});
  cases.push_back({"29 titles", withData(Frame(0, many))});
  cases.push_back(
      {"title over 400 units",
       withData(Frame(0, Cat({Hex("01 01 00 03 22"), Utf16Be(std::u16string(400, u'x'))})))});
  cases.push_back({"title offsets backwards",
                   withData(Frame(0, Cat({Hex("02 01 00 00 04 01 00 00 02"), Utf16Be(u"a")})))});
  cases.push_back(
      {"title past frame", withData(Frame(0, Cat({Hex("01 01 00 00 10"), Utf16Be(u"a")})))});
  cases.push_back({"title cells past frame", withData(Frame(0, Hex("05 01 00")))});
  cases.push_back({"raw frame over 2048", withData(Frame(30, Bytes(2049, 1)))});
  Bytes raw;
  for (int i = 0; i < 12; ++i) raw = Cat({raw, Frame(30, Hex("01"))});
  cases.push_back({"twelfth raw frame", withData(raw)});
  cases.push_back({"text over 255", withData(Frame(5, Ansi(std::string(256, 'a'))))});
  cases.push_back({"short DRM frame", withData(Frame(16, Hex("12 00")))});
  return cases;
}

TEST(MenuReader, RejectsMalformedFilesAndLeavesTheMenuAsItWas) {
  for (const MalformedCase& c : MalformedCases()) {
    MenuDocument doc;
    NewMenu(doc);
    doc.Options.SelectRecordLength(22);
    doc.Options.iconMarker = IconMarker::k06;
    doc.CustomItemCount = 3;
    const MenuDocument before = doc;
    try {
      ReadMenuBytes(c.file, doc);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const MalformedMenuFile& e) {
      EXPECT_NE(std::string(e.what()).find("mma_ucp is damaged"), std::string::npos) << c.what;
    }
    EXPECT_TRUE(test::SameDocument(doc, before)) << c.what;
  }
}

TEST(MenuReader, BytesPastWhatAMenuCanUseAreNotRead) {
  Bytes data = Frame(5, Ansi("abc"));
  Bytes file =
      MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, std::uint16_t(data.size())}}, data);
  file.resize(4 << 20, 0xAB);  // 4 MiB of anything after the menu
  const std::string path = testing::TempDir() + "long_ucp";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  MenuDocument doc;
  ReadMenuFile(path, doc);
  EXPECT_EQ(BlockAt(doc, 9).Entries.at(0).Text, "abc");
  std::remove(path.c_str());
}

TEST(MenuReader, TruncatedRecordArrayIsReadAsFarAsItGoesWithAWarning) {
  Bytes file =
      MenuFile(36, {{0, 9, 11, 255, 0, 0x41, "Games"}, {0, 9, 255, 255, 0, 0x41, "Tools"}});
  MenuDocument doc;
  EXPECT_TRUE(ReadMenuBytes(file, doc).empty());
  file.resize(file.size() - 10);  // record 11 is cut short
  const std::vector<UserMessage> warnings = ReadMenuBytes(file, doc);
  EXPECT_EQ(doc.Tree.Count(), 10u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].text,
            "mma_ucp ends inside its item records; the items after the last whole record are "
            "missing");
}

}  // namespace
}  // namespace trellune
