#include "phone_link.h"

#include <gtest/gtest.h>

#include "phone/phone_fixture.h"
#include "virtual_phone.h"

namespace trellune::phone {
namespace {

namespace fs = std::filesystem;
using test::PhoneFolder;
using test::RecordingSleeper;

struct Harness {
  explicit Harness(const PhoneFolder& folder, bool menu = false)
      : api(folder.Dir()),
        hasMenu(menu),
        link(api, sleeper,
             {[this](const std::string& id) { profiles.push_back(id); }, [this] { return hasMenu; },
              [this](const PhoneMessage& m) { messages.push_back(m); }, nullptr}) {}
  VirtualPhone api;
  RecordingSleeper sleeper;
  bool hasMenu;
  std::vector<std::string> profiles;
  std::vector<PhoneMessage> messages;
  PhoneLink link;
};

TEST(PhoneLink, IdentifiesTheArrivingPhoneAndAppliesItsProfile) {
  PhoneFolder folder("link_identify");
  Harness h(folder, true);
  ASSERT_TRUE(h.link.ConnectPhone());
  EXPECT_EQ(h.link.Indicators().StatusText, "Phone: None ");
  h.api.Poll();
  const PhoneIndicators& ind = h.link.Indicators();
  EXPECT_EQ(ind.StatusText, "Phone: ABC  [X1_Y2] ");
  EXPECT_TRUE(ind.IndicatorGreen);
  EXPECT_TRUE(ind.OpenEnabled && ind.SaveEnabled && ind.RestartEnabled);
  EXPECT_EQ(h.link.PhoneFirmwareId(), "X1");
  EXPECT_EQ(h.profiles, std::vector<std::string>{"X1"});
  EXPECT_TRUE(h.sleeper.pauses.empty());
  EXPECT_TRUE(h.messages.empty());
}

TEST(PhoneLink, StatusTextAndFirmwareIdFromTheSeems) {
  struct Case {
    std::string model, version, status, id;
  } cases[] = {
      {"ABC", "X1_Y2", "Phone: ABC  [X1_Y2] ", "X1"},
      {"ABC", "NOUNDERSCORE", "Phone: ABC  [NOUNDERSCORE] ", "NOUNDERSCORE"},
      {"ABC", "", "Phone: ABC  [] ", ""},
      {"", "R1_2", "Phone:   [R1_2] ", "R1"},
  };
  for (const Case& c : cases) {
    PhoneFolder folder("link_texts");
    test::WriteFile(folder.Dir() / "seem" / "0117_0001.bin", test::ModelSeem(c.model));
    test::WriteFile(folder.Dir() / "seem" / "02D2_0001.bin", test::VersionSeem(c.version));
    Harness h(folder);
    h.link.ConnectPhone();
    h.api.Poll();
    EXPECT_EQ(h.link.Indicators().StatusText, c.status);
    EXPECT_EQ(h.link.PhoneFirmwareId(), c.id);
    EXPECT_EQ(h.profiles.size(), c.id.empty() ? 0u : 1u) << c.version;
  }
  // Records without their terminator are read no further than the buffer.
  std::vector<std::uint8_t> full(kSeemBufferSize, 'Z');
  EXPECT_EQ(PhoneLink::ModelName(full.data(), full.size()), std::string(5000, 'Z'));
  EXPECT_EQ(PhoneLink::FirmwareVersion(full.data(), full.size()), std::string(9996, 'Z'));
}

TEST(PhoneLink, RetriesSeemReadsEvery500MsAndGivesUp) {
  PhoneFolder folder("link_retry");
  folder.Faults("Seem_Read 3\n");
  Harness retried(folder);
  retried.link.ConnectPhone();
  retried.api.Poll();
  // Attempt 1: model fails; 2: model fails; 3: model fails; 4: both read.
  EXPECT_EQ(retried.sleeper.pauses, (std::vector<int>{500, 500, 500}));
  EXPECT_EQ(retried.link.PhoneFirmwareId(), "X1");

  folder.Faults("Seem_Read always\n");
  Harness failed(folder);
  failed.link.ConnectPhone();
  failed.api.Poll();
  EXPECT_EQ(failed.sleeper.pauses, std::vector<int>(kIdentifyAttempts - 1, 500));
  EXPECT_EQ(failed.messages, (std::vector<PhoneMessage>{{"Error getting phone model", ""}}));
  EXPECT_EQ(failed.link.Indicators().StatusText, "Phone: None ");
  EXPECT_TRUE(failed.link.Session().PhoneConnected);
  EXPECT_TRUE(failed.link.Indicators().OpenEnabled);
  EXPECT_TRUE(failed.profiles.empty());
}

TEST(PhoneLink, UnplugAndReplugFollowTheFolder) {
  PhoneFolder folder("link_plug");
  Harness h(folder);  // no menu loaded
  h.link.ConnectPhone();
  h.api.Poll();
  EXPECT_FALSE(h.link.Indicators().SaveEnabled);
  h.link.Session().PictureList.resize(3);
  h.link.Session().PhoneVolumes = {'a'};

  fs::rename(folder.Dir() / "seem", folder.Dir() / "seem.away");
  h.api.Poll();
  EXPECT_FALSE(h.link.Session().PhoneConnected);
  EXPECT_EQ(h.link.Indicators().StatusText, "Phone: None ");
  EXPECT_FALSE(h.link.Indicators().IndicatorGreen || h.link.Indicators().OpenEnabled ||
               h.link.Indicators().RestartEnabled);
  EXPECT_TRUE(h.link.Session().PictureList.empty());
  EXPECT_TRUE(h.link.Session().PhoneVolumes.empty());
  EXPECT_EQ(h.link.PhoneFirmwareId(), "");

  fs::rename(folder.Dir() / "seem.away", folder.Dir() / "seem");
  h.api.Poll();
  EXPECT_TRUE(h.link.Session().PhoneConnected);
  EXPECT_FALSE(h.link.Indicators().SaveEnabled);  // still no menu in the tree
  EXPECT_EQ(h.profiles.size(), 2u);
}

TEST(PhoneLink, RestartedPhoneGoesAwayAndComesBack) {
  PhoneFolder folder("link_restart");
  Harness h(folder);
  h.link.ConnectPhone();
  h.api.Poll();
  ASSERT_EQ(h.api.P2K_Restart(), 0);
  ASSERT_EQ(h.api.P2K_Restart(), 0);
  EXPECT_EQ(test::ReadFile(folder.Dir() / "restarts"), test::Bytes("2\n"));
  h.api.Poll();
  EXPECT_FALSE(h.link.Session().PhoneConnected);
  h.api.Poll();
  EXPECT_TRUE(h.link.Session().PhoneConnected);
}

TEST(PhoneLink, LibraryThatCannotStart) {
  PhoneFolder folder("link_init");
  folder.Faults("P2K_Init 1\n");
  Harness h(folder);
  EXPECT_FALSE(h.link.ConnectPhone());
  EXPECT_EQ(h.messages, (std::vector<PhoneMessage>{{"Error initializing P2KAPI library", ""}}));
}

}  // namespace
}  // namespace trellune::phone
