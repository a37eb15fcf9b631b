#include "mma/menu_json.h"

#include <gtest/gtest.h>

#include "core/doc_checks.h"
#include "core/menu_bytes.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"
#include "mma/menu_writer.h"

namespace trellune {
namespace {

using test::Bytes;
using test::Cat;
using test::Frame;
using test::Hex;
using test::MenuFile;

// Export then import gives a document that writes the same bytes, including texts JSON cannot
// carry as they are (a lone UTF-16 surrogate, a shortcut with bytes after its NUL).
TEST(MenuJson, ExportThenImportWritesTheSameBytes) {
  Bytes titles = Frame(
      0, Cat({Hex("02 01 00 00 04 2A 00 00 0A"), Hex("D8 00 00 00"), Hex("00 E9 00 4B 00 00")}));
  Bytes shortcut = Frame(23, Cat({Hex("41 42 00 43"), Bytes(21, 0)}));
  Bytes url = Frame(5, Hex("63 61 66 E9 00"));  // "café" in an 8-bit text
  Bytes unknown = Frame(99, Hex("01 02 03"));
  Bytes data = Cat({titles, shortcut, url, unknown});
  Bytes file = MenuFile(22,
                        {{1, 9, 255, 11, 0, 0x41, "Games", 0, std::uint16_t(data.size())},
                         {12, 10, 255, 255, 0x18, 0x41, "~3"}},
                        data, 0x03);
  for (bool saveAll : {false, true}) {
    MenuDocument read;
    ReadMenuBytes(file, read);
    read.Options.saveAllData = saveAll;
    const Json json = MenuToJson(read);
    MenuDocument imported;
    MenuFromJson(Json::parse(json.dump()), imported);
    EXPECT_EQ(imported.Options, read.Options);
    EXPECT_EQ(imported.CustomItemCount, read.CustomItemCount);
    WriteOutcome a = SerializeMenu(read);
    WriteOutcome b = SerializeMenu(imported);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(test::ToHex(a.bytes), test::ToHex(b.bytes)) << saveAll;
    EXPECT_EQ(imported.Tree.NodeAt(9)->Text, "Games");
  }
  MenuDocument read;
  ReadMenuBytes(file, read);
  const Json json = MenuToJson(read);
  const Json& data0 = json["menuRoot"]["items"][0]["data"];
  EXPECT_EQ(data0[0]["titles"][0]["utf16"], "d800");
  EXPECT_EQ(data0[0]["titles"][1]["text"], "\xC3\xA9K");
  EXPECT_EQ(data0[0]["titles"][1]["language"], 0x2A);
  EXPECT_EQ(data0[1]["hex"], "41420043" + std::string(42, '0'));
  EXPECT_EQ(data0[2]["text"], "caf\xC3\xA9");
  EXPECT_EQ(data0[3]["frames"][0]["code"], 99);
  EXPECT_EQ(json["options"]["c698pFix"], true);
}

TEST(MenuJson, ImportRejectsWhatIsNotAMenu) {
  const Json base = [] {
    MenuDocument doc;
    NewMenu(doc);
    return MenuToJson(doc);
  }();
  struct Case {
    const char* what;
    std::function<void(Json&)> edit;
    const char* message;
  } cases[] = {
      {"no softkeys", [](Json& j) { j.erase("softkeys"); }, "softkeys: missing"},
      {"six softkeys", [](Json& j) { j["softkeys"]["items"].erase(0); }, "exactly 7 softkeys"},
      {"bad record length", [](Json& j) { j["options"]["recordLength"] = 30; }, "22 or 36"},
      {"fix in 36-byte mode", [](Json& j) { j["options"]["c698pFix"] = true; }, "22-byte"},
      {"unknown entry type",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::parse(R"([{"name":"Games","data":[{"type":"Nope"}]}])");
       },
       "unknown entry type"},
      {"raw frame with a known code",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::parse(
             R"([{"name":"Games","data":[{"type":"Unknown","frames":[{"code":5,"hex":"00"}]}]}])");
       },
       "known entry type"},
      {"character beyond 8 bits",
       [](Json& j) { j["menuRoot"]["items"] = Json::parse(R"([{"name":"G\u0100"}])"); }, "8-bit"},
      {"byte out of range",
       [](Json& j) { j["menuRoot"]["items"] = Json::parse(R"([{"name":"Games","flags":256}])"); },
       "between 0 and 255"},
      {"data on the main menu root",
       [](Json& j) {
         j["menuRoot"].erase("hasData");
         j["menuRoot"]["data"] = Json::parse(R"([{"type":"UrlLink","text":"x"}])");
       },
       "menuRoot.data: \"Softkeys\" and \"Menu Root\" cannot carry attached data"},
      {"data on the softkey container",
       [](Json& j) {
         j["softkeys"].erase("hasData");
         j["softkeys"]["data"] = Json::parse(R"([{"type":"SendEvent","value":1}])");
       },
       "softkeys.data: \"Softkeys\""},
      {"root claims data", [](Json& j) { j["menuRoot"]["hasData"] = true; }, "menuRoot.hasData"},
      {"misspelt key", [](Json& j) { j["menuRoot"]["itms"] = Json::array(); },
       "menuRoot.itms: is not a key here"},
      {"misspelt option", [](Json& j) { j["options"]["recordLenght"] = 22; },
       "options.recordLenght: is not a key here"},
      {"options null", [](Json& j) { j["options"] = nullptr; }, "options: must be an object"},
      {"record a string",
       [](Json& j) { j["menuRoot"]["items"] = Json::parse(R"([{"name":"Games","record":"x"}])"); },
       "menuRoot.items[0].record: must be an object"},
      {"text and utf16",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::parse(
             R"([{"name":"Games","data":[{"type":"MenuTitles","titles":[{"text":"a","utf16":"0041"}]}]}])");
       },
       "give \"text\" or \"utf16\", not both"},
      {"wrong format", [](Json& j) { j["format"] = "something else"; }, "format: must be"},
      {"name longer than a 36-byte record holds",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::array({Json{{"name", std::string(26, 'N')}}});
       },
       "is longer than the 25 characters a 36-byte record holds"},
      {"name longer than a 22-byte record holds",
       [](Json& j) {
         j["options"]["recordLength"] = 22;
         j["menuRoot"]["items"] = Json::array({Json{{"name", "ReceivedCalls"}}});
       },
       "menuRoot.items[0].name: \"ReceivedCalls\" is longer than the 12 characters"},
      {"empty name",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::array({Json{{"name", ""}}});
       },
       "must name a kind"},
      {"container renamed", [](Json& j) { j["softkeys"]["name"] = "Box"; },
       "softkeys.name: must be \"Container\""},
      {"type 12 without saveAllData",
       [](Json& j) {
         j["options"]["saveAllData"] = false;
         j["menuRoot"]["items"] = Json::array({Json{{"name", "Games"}, {"itemType", 12}}});
       },
       "type 12 is kept only with \"saveAllData\": true"},
      {"folder type without items",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::array({Json{{"name", "Games"}, {"itemType", 1}}});
       },
       "menuRoot.items[0].itemType: type 1 (folder) needs \"items\""},
      {"fixed field of the container", [](Json& j) { j["softkeys"]["flags"] = 1; },
       "softkeys.flags: is fixed for this node: 0"},
      {"fixed link of the root", [](Json& j) { j["menuRoot"]["record"]["next"] = 3; },
       "menuRoot.record.next: is fixed for this node: 255"},
      {"softkey on the main side", [](Json& j) { j["softkeys"]["items"][0]["group"] = 205; },
       "softkeys.items[0].group: is 204 on this side of the menu"},
      {"custom flags on a kind",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::array({Json{{"name", "Games"}, {"flags", 24}}});
       },
       "menuRoot.items[0].flags: 24 (0x18) marks a custom item"},
      {"hasData without data",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::array({Json{{"name", "Games"}, {"hasData", true}}});
       },
       "is true, but the item has no \"data\""},
      {"more items than 255 records hold",
       [](Json& j) {
         j["menuRoot"]["items"] = Json::array();
         for (int i = 0; i < 246; ++i) j["menuRoot"]["items"].push_back(Json{{"name", "Games"}});
       },
       "more items than an mma_ucp file holds"},
      {"twelve entries",
       [](Json& j) {
         Json data = Json::array();
         for (int i = 0; i < 12; ++i)
           data.push_back(Json::parse(R"({"type":"SendEvent","value":1})"));
         j["menuRoot"]["items"] = Json::array({Json{{"name", "Games"}, {"data", data}}});
       },
       "at most 11 entries"},
  };
  // A refused form changes nothing: not the open menu, its options or its custom counter.
  MenuDocument open;
  NewMenu(open);
  open.Options.SelectRecordLength(22);
  open.Options.iconMarker = IconMarker::k06;
  open.CustomItemCount = 7;
  for (const Case& c : cases) {
    Json j = base;
    j["customItemCount"] = 1;
    j["options"]["saveAllData"] = true;
    c.edit(j);
    MenuDocument doc = open;
    try {
      MenuFromJson(j, doc);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const MenuJsonError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
    }
    EXPECT_TRUE(test::SameDocument(doc, open)) << c.what;
  }
  // The largest menu a file holds is accepted.
  Json full = base;
  for (int i = 0; i < 245; ++i) full["menuRoot"]["items"].push_back(Json{{"name", "Games"}});
  MenuDocument doc;
  MenuFromJson(full, doc);
  EXPECT_EQ(doc.Tree.Count() + 1, kMaxRecords);
}

// Syntax errors read as sentences with their line and column; a number no double holds is
// bad JSON too; a key given twice is named with its path; a form larger than any menu is
// refused before it is parsed.
TEST(MenuJson, ParseErrorsSayWhere) {
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"{\n  \"softkeys\": ,\n}", "not JSON: Parse error at line 2, column 15: syntax error"},
      {R"({"version": 1e99999})", "not JSON: Number overflow parsing '1e99999'"},
      {R"({"softkeys": {"items": [{"name": "A"}, {"name": "B", "name": "C"}]}})",
       "softkeys.items[1].name: the key is given twice"},
      {R"({"version": 1, "version": 1})", "version: the key is given twice"},
      {std::string(kMaxMenuJsonBytes + 1, ' '), "more than any menu needs"},
  };
  for (const Case& c : cases) {
    try {
      ParseMenuJson(c.text);
      ADD_FAILURE() << c.message << ": accepted";
    } catch (const MenuJsonError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("[json.exception"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ParseMenuJson(R"({"a": [1, {"b": 2}]})")["a"][1]["b"], 2);

  // A place 5,000 levels deep is named shortened.
  const std::string deep = std::string(5000, '[') + R"({"k": 1, "k": 2})" + std::string(5000, ']');
  try {
    ParseMenuJson(deep);
    ADD_FAILURE() << "accepted";
  } catch (const MenuJsonError& e) {
    EXPECT_LT(std::string(e.what()).size(), 200u);
    EXPECT_NE(std::string(e.what()).find("[0].k: the key is given twice"), std::string::npos)
        << e.what();
  }
}

TEST(MenuJson, HandWrittenMenuGetsIdsAndTextsFromItsShape) {
  const Json j = Json::parse(R"({
    "softkeys": {"name": "Container", "items": [
      {"name": "PhoneBook"}, {"name": "Message"}, {"name": "RecentCall"}, {"name": "Mutilmedia"},
      {"name": "AlarmClock"}, {"name": "MMRingStyle"}, {"name": "~4"}]},
    "menuRoot": {"name": "MenuRoot", "itemType": 1, "items": [
      {"name": "Games", "items": [{"name": "Camera",
         "data": [{"type": "UrlLink", "text": "x"}]}]},
      {"name": "DialedCalls"}]}
  })");
  MenuDocument doc;
  MenuFromJson(j, doc);
  EXPECT_EQ(doc.Tree.NodeAt(4)->Text, "Down: Multimedia");
  EXPECT_EQ(doc.Tree.NodeAt(7)->Text, "Smart: ~4");
  EXPECT_EQ(doc.Tree.NodeAt(11)->Text, "DialedCalls [SC]");
  const MenuNode* camera = doc.Tree.NodeAt(10);
  EXPECT_EQ(camera->Item.Id, 13);
  ASSERT_TRUE(doc.ItemData[13]);
  EXPECT_EQ(doc.ItemData[13]->Entries[0].Length, 2);
  EXPECT_EQ(doc.Tree.NodeAt(7)->Item.Id, 9);
  EXPECT_EQ(doc.Tree.NodeAt(1)->Item.Attributes, 0x41);
  EXPECT_EQ(doc.Tree.NodeAt(1)->Item.AllowSubitems, 0);
  // The fixed nodes are written as a file read from a phone has them.
  WriteOutcome out = SerializeMenu(doc);
  ASSERT_TRUE(out.ok());
  MenuDocument read;
  ReadMenuBytes(out.bytes, read);
  EXPECT_EQ(read.Tree.SoftkeyContainer()->Item, doc.Tree.SoftkeyContainer()->Item);
  EXPECT_EQ(
      test::ToHex(Bytes(out.bytes.begin() + 10 + 9 * 36, out.bytes.begin() + 10 + 9 * 36 + 6)),
      "01 FF FF 0A 00 00");  // the main menu root: a folder whose first item is record 10
}

TEST(MenuJson, DeeplyNestedInputIsRefusedWithoutExhaustingTheStack) {
  std::string deep = R"({"name":"Games")";
  std::string tail = "}";
  for (int i = 0; i < 100000; ++i) {
    deep += R"(,"items":[{"name":"Games")";
    tail += "]}";
  }
  Json j = Json::parse(
      R"({"softkeys":{"name":"Container","items":[{"name":"PhoneBook"},{"name":"Message"},)"
      R"({"name":"RecentCall"},{"name":"Mutilmedia"},{"name":"AlarmClock"},)"
      R"({"name":"MMRingStyle"},{"name":"VoiceRecord"}]},"menuRoot":{"name":"MenuRoot","items":[)" +
      deep + tail + "]}}");
  MenuDocument doc;
  EXPECT_THROW(MenuFromJson(j, doc), MenuJsonError);
  EXPECT_TRUE(doc.Tree.Empty());
}

}  // namespace
}  // namespace trellune
