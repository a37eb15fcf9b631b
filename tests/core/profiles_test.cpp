#include "profiles/profiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace trellune {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEntries = {"Default", "Narrow", "R364", "Create new..."};

std::string Profile(const std::string& format,
                    const std::vector<std::string>& items = {"PhoneBook"},
                    const std::string& itemsHeader = "[mma items]") {
  std::string text = "[mma_ucp format]\r\n" + format + "\r\n" + itemsHeader + "\r\n";
  for (const std::string& i : items) text += i + "\r\n";
  return text;
}

// A state that differs from the defaults everywhere, to see what a load changes.
MenuDocument Before22() {
  MenuDocument doc;
  doc.Options.SelectRecordLength(22);
  doc.Options.iconMarker = IconMarker::k06;
  doc.Options.c698pFix = true;
  doc.Kinds.BuildActiveKindList({"Browser", "Calculator"});
  return doc;
}

struct LoadCase {
  const char* what;
  bool startIn22;
  std::string text;
  const char* message;  // "" for none
  int recordLength;
  IconMarker marker;
  bool markerEnabled;
  bool fix;
  bool fixEnabled;
  std::uint16_t kinds;
};

TEST(LoadProfile, AppliesSettingsInOrderAndStopsAtTheFirstProblem) {
  const LoadCase cases[] = {
      {"36 06 1 keeps 0C and checks the disabled fix", false, Profile("36 06 1"), "", 36,
       IconMarker::k0C, false, true, false, 2},
      {"22 from 36 enables marker and fix", false, Profile("22 06 0", {"PhoneBook", "Message"}), "",
       22, IconMarker::k06, true, false, true, 3},
      {"several spaces between tokens", false, Profile("22   06   1"), "", 22, IconMarker::k06,
       true, true, true, 2},
      {"lower-case marker", true, Profile("22 0c 0"), "Invalid user icon marker (0C assumed)", 22,
       IconMarker::k0C, true, true, true, 3},
      {"record length not a number", true, Profile("abc 06 0"),
       "Invalid mma record length (36 byte assumed)", 36, IconMarker::k0C, false, false, false, 3},
      {"record length 20", false, Profile("20 06 0"), "Invalid mma record length (36 byte assumed)",
       36, IconMarker::k0C, false, false, false, 147},
      {"bad fix", true, Profile("22 0C 2"), "C698p fix can be either 1 (ON) or 0 (OFF - assumed)",
       22, IconMarker::k0C, true, false, true, 3},
      {"bad first line", true, "[mma_ucp]\r\n36 0C 0\r\n[mma items]\r\nPhoneBook\r\n",
       "Invalid profile formatting", 22, IconMarker::k06, true, true, true, 3},
      {"bad third line keeps the kinds", true, Profile("22 0C 0", {"PhoneBook"}, "[items]"),
       "Invalid profile formatting", 22, IconMarker::k0C, true, false, true, 3},
      {"no items", false, Profile("36 0C 0", {}), "", 36, IconMarker::k0C, false, false, false, 1},
      {"bare LF line ends", false, "[mma_ucp format]\n22 06 0\n[mma items]\nPhoneBook\nMessage", "",
       22, IconMarker::k06, true, false, true, 3},
      {"two unsupported lines name the later one", false,
       Profile("36 0C 0", {"Nope", "PhoneBook", "Also nope"}),
       "Unsupported mma item(s) found and omitted: Also nope", 36, IconMarker::k0C, false, false,
       false, 2},
      {"an unsupported line met again is still the last", false,
       Profile("36 0C 0", {"Custom", "MF-Music [SC]", "Custom", "PhoneBook", "PhoneBook"}),
       "Unsupported mma item(s) found and omitted: Custom", 36, IconMarker::k0C, false, false,
       false, 2},
      {"trailing space and empty line are unsupported", false,
       Profile("36 0C 0", {"PhoneBook ", ""}), "Unsupported mma item(s) found and omitted: ", 36,
       IconMarker::k0C, false, false, false, 1},
      {"empty file", true, "", "Invalid profile formatting", 22, IconMarker::k06, true, true, true,
       3},
  };
  for (const LoadCase& c : cases) {
    MenuDocument doc = c.startIn22 ? Before22() : MenuDocument();
    ProfileLoad load = ApplyProfileText(doc, "Narrow", c.text, kEntries);
    if (std::string(c.message).empty()) {
      EXPECT_TRUE(load.messages.empty()) << c.what << ": " << load.messages[0].text;
      EXPECT_EQ(load.selectorIndex, 1u) << c.what;
    } else {
      ASSERT_EQ(load.messages.size(), 1u) << c.what;
      EXPECT_EQ(load.messages[0], (UserMessage{c.message, "Profile error", MessageIcon::Warning}))
          << c.what;
      EXPECT_EQ(load.selectorIndex, 0u) << c.what;
    }
    const FormatOptions& o = doc.Options;
    EXPECT_EQ(o.recordLength, c.recordLength) << c.what;
    EXPECT_EQ(o.iconMarker, c.marker) << c.what;
    EXPECT_EQ(o.iconMarkerEnabled, c.markerEnabled) << c.what;
    EXPECT_EQ(o.c698pFix, c.fix) << c.what;
    EXPECT_EQ(o.c698pFixEnabled, c.fixEnabled) << c.what;
    EXPECT_EQ(doc.Kinds.KnownKindCount, c.kinds) << c.what;
    EXPECT_EQ(doc.Kinds.KindDisplayNames[c.kinds - 1], "Custom item") << c.what;
  }
}

TEST(LoadProfile, DuplicatesAndListedCustomItemAreKeptOnce) {
  MenuDocument doc;
  ApplyProfileText(
      doc, "x", Profile("36 0C 0", {"PhoneBook", "Custom item", "PhoneBook", "Message"}), kEntries);
  EXPECT_EQ(doc.Kinds.AvailableItems(),
            (std::vector<std::string>{"PhoneBook", "Message", "Custom item"}));
}

TEST(LoadProfile, SelectorFollowsTheName) {
  MenuDocument doc;
  EXPECT_EQ(ApplyProfileText(doc, "R364", Profile("22 06 0"), kEntries).selectorIndex, 2u);
  EXPECT_FALSE(ApplyProfileText(doc, "Unlisted", Profile("22 06 0"), kEntries).selectorIndex);
  // "Default" and "Create new..." are not profile entries even when a file has their name.
  EXPECT_FALSE(ApplyProfileText(doc, "Default", Profile("22 06 0"), kEntries).selectorIndex);
}

class ProfileFolder : public testing::Test {
 protected:
  void SetUp() override {
    app_ = fs::path(testing::TempDir()) /
           ("trellune_profiles_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(app_);
    fs::create_directories(app_ / "Profiles");
  }
  void TearDown() override { fs::remove_all(app_); }
  void Write(const std::string& file, const std::string& text) {
    std::ofstream(app_ / "Profiles" / file, std::ios::binary) << text;
  }
  fs::path app_;
};

TEST_F(ProfileFolder, ScanListsRegularProfileFilesSortedIgnoringCase) {
  EXPECT_TRUE(ScanProfiles(app_ / "nowhere").empty());
  EXPECT_TRUE(ScanProfiles(app_).empty());
  EXPECT_EQ(SelectorEntries({}), (std::vector<std::string>{"Default", "Create new..."}));
  for (const char* f : {"zeta.prf", "Alpha.prf", "beta.prf", ".hidden.prf", "notes.txt", "x.PRF"})
    Write(f, "");
  fs::create_directory(app_ / "Profiles" / "folder.prf");
  EXPECT_EQ(ScanProfiles(app_), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
}

TEST_F(ProfileFolder, MissingOrUnsafeNamesGiveTheDefaultProfile) {
  Write("R364.prf", Profile("22 06 0"));
  const std::vector<std::string> entries = SelectorEntries(ScanProfiles(app_));
  for (const char* name : {"Gone", "../Profiles/R364", ""}) {
    MenuDocument doc = Before22();
    ProfileLoad load = LoadProfile(doc, app_, name, entries);
    ASSERT_EQ(load.messages.size(), 1u) << name;
    EXPECT_EQ(load.messages[0], (UserMessage{"Profile not found. Default profile will be applied",
                                             "Missing profile", MessageIcon::Warning}));
    EXPECT_EQ(load.selectorIndex, 0u);
    EXPECT_EQ(doc.Options.recordLength, 36);
    EXPECT_FALSE(doc.Options.c698pFix);
    EXPECT_EQ(doc.Kinds.KnownKindCount, 147);
  }
  MenuDocument doc;
  ProfileLoad load = LoadProfile(doc, app_, "R364", entries);
  EXPECT_TRUE(load.messages.empty());
  EXPECT_EQ(load.selectorIndex, 1u);
  EXPECT_EQ(doc.Options.iconMarker, IconMarker::k06);
}

TEST(ProfileSelector, EntriesAndActions) {
  EXPECT_EQ(ActionForSelectorEntry(0, 4), SelectorAction::ApplyDefault);
  EXPECT_EQ(ActionForSelectorEntry(2, 4), SelectorAction::LoadProfile);
  EXPECT_EQ(ActionForSelectorEntry(3, 4), SelectorAction::CreateNew);
  MenuDocument doc = Before22();
  ApplyDefaultProfile(doc);
  EXPECT_EQ(doc.Options, FormatOptions{});
  EXPECT_EQ(doc.Kinds.KnownKindCount, 147);
}

}  // namespace
}  // namespace trellune
