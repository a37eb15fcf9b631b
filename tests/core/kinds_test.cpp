#include "mma/kinds.h"

#include <gtest/gtest.h>

namespace trellune {
namespace {

TEST(BuiltinKinds, RowsKeepTheirOddSpellingsAndDisplayNames) {
  struct Row {
    int row;
    const char* plain;
    const char* display;
  } rows[] = {
      {0, "2CLICK", "2CLICK"},
      {5, "AirplaneMod", "AirplnMode [A630]"},
      {6, "AlarmClcok", "AlarmClock [old]"},
      {65, "Mutilmedia", "Multimedia"},
      {94, "SIMApp", "SIMApp"},
      {95, "RingStyle", "RingStyle"},
      {108, "Text Msg", "Text Msg"},
      {124, "WorldTime", "WorldTime"},
      {125, "DialedCalls", "DialedCalls [SC]"},
      {132, "MF-Music", "MF-Music [SC]"},
      {145, "WallPaper", "WallPaper [SC]"},
      {146, "Custom item", "Custom item"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(BuiltinKindRow(r.row).plain, r.plain) << r.row;
    EXPECT_EQ(BuiltinKindRow(r.row).display, r.display) << r.row;
    EXPECT_EQ(FindBuiltinKindIndex(r.plain), r.row);
  }
  EXPECT_EQ(FindBuiltinKindIndex("text msg"), kKindNotFound);
  EXPECT_EQ(FindBuiltinKindIndex("Multimedia"), kKindNotFound);
}

TEST(KindList, StartsAsTheBuiltInList) {
  KindList kinds;
  EXPECT_EQ(kinds.KnownKindCount, 147);
  EXPECT_EQ(kinds.FindKindIndex("Text Msg"), 108);
  EXPECT_EQ(kinds.FindKindIndex("TEXT MSG"), kKindNotFound);
  EXPECT_EQ(kinds.AvailableItems().back(), "Custom item");
}

TEST(KindList, ProfileListKeepsSupportedNamesAndReportsTheOthers) {
  KindList kinds;
  auto unsupported = kinds.BuildActiveKindList({"PhoneBook", "NoSuchKind", "DialedCalls"});
  EXPECT_EQ(kinds.KnownKindCount, 3);
  EXPECT_EQ(kinds.AvailableItems(),
            (std::vector<std::string>{"PhoneBook", "DialedCalls [SC]", "Custom item"}));
  EXPECT_EQ(unsupported, std::vector<std::string>{"NoSuchKind"});

  EXPECT_TRUE(kinds.IsKnownName("~12"));
  EXPECT_TRUE(kinds.IsKnownName("DialedCalls"));
  EXPECT_FALSE(kinds.IsKnownName("WebAccess"));
  // Names left in slots past the count from the earlier list are not known.
  EXPECT_GE(kinds.FindKindIndex("WebAccess"), kinds.KnownKindCount);
}

TEST(KindList, OverlongProfileListKeepsRoomForCustomItem) {
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) names.emplace_back(BuiltinKindRow(i % 146).plain);
  KindList kinds;
  kinds.BuildActiveKindList(names);
  EXPECT_EQ(kinds.KnownKindCount, 147);
  EXPECT_EQ(kinds.KindDisplayNames[146], "Custom item");
}

TEST(KindList, DisplayTextsAndShortcutKinds) {
  KindList kinds;
  EXPECT_EQ(kinds.KindDisplayText(5, 9), "AirplnMode [A630]");
  EXPECT_EQ(kinds.KindDisplayText(65, 4), "Down: Multimedia");
  EXPECT_EQ(NodeTextFor(kinds, "~3", 7), "Smart: ~3");
  EXPECT_EQ(NodeTextFor(kinds, "~3", 12), "~3");
  EXPECT_TRUE(IsShortcutKind("MF-Music [SC]"));
  EXPECT_FALSE(IsShortcutKind("Music"));
  EXPECT_FALSE(IsShortcutKind("SC]"));
}

TEST(KindIndex, AnswersAsTheListItIndexes) {
  // The built-in list, a short profile list (stale names stay in the slots past its end),
  // and a list whose slots were emptied or repeated by hand.
  KindList builtin;
  KindList profile;
  profile.BuildActiveKindList({"Games", "Camera", "Browser"});
  KindList odd;
  odd.KindNames[3] = "";
  odd.KindNames[7] = "Games";
  odd.KindNames[9] = "A-Twenty-Five-Letter-Name";  // longer than any built-in name
  odd.KnownKindCount = 40;
  std::vector<std::string> names = {"", "~5", "~", "Nothing", "games", "Custom item"};
  std::vector<std::string> plain = {std::string(odd.KindNames[9])};
  for (int i = 0; i < kBuiltinKindCount; ++i) plain.emplace_back(BuiltinKindRow(i).plain);
  for (const std::string& name : plain) {
    names.push_back(name);
    // Near misses: one character changed at each place, one more, one less.
    for (std::size_t at = 0; at < name.size(); ++at) {
      std::string near = name;
      near[at] = char(near[at] ^ 0x01);
      names.push_back(near);
    }
    names.push_back(name + "s");
    names.push_back(name.substr(0, name.size() - 1));
  }
  for (const KindList* kinds : {&builtin, &profile, &odd}) {
    const KindIndex index(*kinds);
    for (const std::string& name : names) {
      EXPECT_EQ(index.FindKindIndex(name), kinds->FindKindIndex(name)) << name;
      EXPECT_EQ(index.IsKnownName(name), kinds->IsKnownName(name)) << name;
    }
  }
}

}  // namespace
}  // namespace trellune
