#include "transfers.h"

#include <gtest/gtest.h>

#include "phone/phone_fixture.h"
#include "virtual_phone.h"

namespace trellune::phone {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PhoneFolder;
using test::ReadFile;
using test::RecordingProgress;
using test::RecordingSleeper;

// A VirtualPhone whose chosen operations misbehave for one path.
class Faulty : public VirtualPhone {
 public:
  using VirtualPhone::VirtualPhone;
  std::string failOpenOf;  // File_Create of this path fails
  int shortBy = 0;         // File_Read returns this many bytes fewer (more when negative)
  bool zeroVolumeReply = false;
  int File_Create(const char* path, std::uint32_t a) override {
    if (path == failOpenOf) return kFailure;
    return VirtualPhone::File_Create(path, a);
  }
  int File_Read(std::uint8_t* b, int size, int left) override {
    attemptsLeft.push_back(left);
    const int got = VirtualPhone::File_Read(b, size, left);
    if (got == kFailure) return got;
    if (shortBy < 0) std::fill_n(b + got, -shortBy, std::uint8_t('+'));
    return std::max(0, got - shortBy);
  }
  int File_VolInfo(std::uint8_t* b, int size) override {
    const int r = VirtualPhone::File_VolInfo(b, size);
    if (zeroVolumeReply) b[0] = 0;
    return r;
  }
  std::vector<int> attemptsLeft;
};

struct Harness {
  explicit Harness(const PhoneFolder& folder)
      : api(folder.Dir()),
        link(api, sleeper, {nullptr, nullptr, nullptr, nullptr}),
        transfers(api, link.Session(), sleeper, progress,
                  [this](const PhoneMessage& m) { messages.push_back(m.text); }),
        work(folder.Dir().parent_path() / (folder.Dir().filename().string() + "_work")) {
    fs::remove_all(work);
    fs::create_directories(work);
    link.ConnectPhone();
    api.Poll();
  }
  ~Harness() { fs::remove_all(work); }
  fs::path Pull() { return transfers.ReadPhoneFiles(work / "mma_temp", work / "j2mest_temp"); }

  Faulty api;
  RecordingSleeper sleeper;
  RecordingProgress progress;
  PhoneLink link;
  std::vector<std::string> messages;
  PhoneTransfers transfers;
  fs::path work;
};

TEST(ReadPhoneFiles, CopiesTheMenuAndTheMidletList) {
  PhoneFolder folder("xfer_read");
  Harness h(folder);
  EXPECT_EQ(h.Pull(), h.work / "mma_temp");
  EXPECT_EQ(ReadFile(h.work / "mma_temp"), Bytes("menu bytes"));
  EXPECT_EQ(ReadFile(h.work / "j2mest_temp"), Bytes("midlets"));
  EXPECT_TRUE(h.messages.empty());
  EXPECT_EQ(h.link.Session().PhoneFileList.size(), 3u);
  EXPECT_EQ(h.link.Session().PhoneVolumes, (std::vector<char>{'a', 'b', 'c'}));
  EXPECT_EQ(h.progress.events,
            (std::vector<std::string>{
                "Retrieving file list from /a/", "show", "Retrieving file list from /a/ 33%",
                "Retrieving file list from /a/ 67%", "Retrieving file list from /a/ 100%",
                "Reading mma_ucp", "Reading J2MEST", "close"}));
  EXPECT_EQ(h.api.attemptsLeft, (std::vector<int>{9, 9}));  // one open attempt used for each
}

TEST(ReadPhoneFiles, J2mestInTheInstalledFolderAndStaleCopies) {
  PhoneFolder folder("xfer_installed");
  fs::remove(folder.Local("/a/mobile/kjava/J2MEST"));
  folder.File("/a/mobile/kjava/installed/J2MEST", Bytes("installed list"));
  Harness h(folder);
  ASSERT_FALSE(h.Pull().empty());
  EXPECT_EQ(ReadFile(h.work / "j2mest_temp"), Bytes("installed list"));

  // A phone without any J2MEST: the copy from the earlier phone is gone, the menu is there.
  fs::remove(folder.Local("/a/mobile/kjava/installed/J2MEST"));
  EXPECT_FALSE(h.Pull().empty());
  EXPECT_FALSE(fs::exists(h.work / "j2mest_temp"));
  EXPECT_TRUE(h.messages.empty());
  EXPECT_FALSE(h.progress.shown);
}

TEST(ReadPhoneFiles, TheCopyHoldsWhatThePhoneReturned) {
  PhoneFolder folder("xfer_grown");
  Harness h(folder);
  h.api.shortBy = -2;  // the file grew after it was listed
  ASSERT_FALSE(h.Pull().empty());
  EXPECT_EQ(ReadFile(h.work / "mma_temp"), Bytes("menu bytes++"));
}

TEST(ReadPhoneFiles, CountIsRetried300MsApart) {
  PhoneFolder folder("xfer_count");
  folder.Faults("File_CountEx 3\n");
  Harness h(folder);
  ASSERT_FALSE(h.Pull().empty());
  EXPECT_EQ(h.sleeper.pauses, (std::vector<int>{300, 300, 300}));
  EXPECT_EQ(h.link.Session().PhoneFileList.size(), 3u);
}

TEST(ReadPhoneFiles, OpensAreRetriedAndTheAttemptsLeftArePassedOn) {
  PhoneFolder folder("xfer_open");
  folder.Faults("File_Create 4\n");
  Harness h(folder);
  ASSERT_FALSE(h.Pull().empty());
  EXPECT_EQ(h.sleeper.pauses, std::vector<int>(4, 300));
  EXPECT_EQ(h.api.attemptsLeft, (std::vector<int>{5, 9}));
}

TEST(ReadPhoneFiles, EachFailureHasItsMessage) {
  struct Case {
    const char* what;
    std::string faults;
    std::function<void(const PhoneFolder&, Faulty&)> setup;
    const char* message;
    bool menuCopied;
    std::size_t pauses;
  } cases[] = {
      {"volumes", "File_VolInfo 1\n", nullptr, "Error getting volume info", false, 0},
      {"count", "File_CountEx always\n", nullptr, "Error getting file count", false, 10},
      {"list", "File_ListEx 1\n", nullptr, "Error getting file list", false, 0},
      {"open menu", "File_Create always\n", nullptr, "Error opening mma_ucp", false, 10},
      {"read menu", "File_Read 1\n", nullptr, "Error reading mma_ucp", false, 0},
      {"no menu on the phone", "",
       [](const PhoneFolder& f, Faulty&) { fs::remove(f.Local("/a/mobile/system/mma_ucp")); },
       "Error opening mma_ucp", false, 0},
      {"short read", "", [](const PhoneFolder&, Faulty& api) { api.shortBy = 1; },
       "Error reading mma_ucp", false, 0},
      {"menu too large", "",
       [](const PhoneFolder& f, Faulty&) {
         f.File("/a/mobile/system/mma_ucp", std::vector<std::uint8_t>(70000, 1));
       },
       "mma_ucp on the phone is 70000 bytes long; a transfer carries at most 65,535 bytes", false,
       0},
      {"open J2MEST", "",
       [](const PhoneFolder&, Faulty& api) { api.failOpenOf = "/a/mobile/kjava/J2MEST"; },
       "Error opening J2MEST", true, 10},
      {"read J2MEST", "File_Read 0\n",
       [](const PhoneFolder& f, Faulty&) {
         f.File("/a/mobile/kjava/J2MEST", std::vector<std::uint8_t>(66000, 1));
       },
       "J2MEST on the phone is 66000 bytes long; a transfer carries at most 65,535 bytes", true, 0},
  };
  for (const Case& c : cases) {
    PhoneFolder folder("xfer_fail");
    folder.Faults(c.faults);
    Harness h(folder);
    if (c.setup) c.setup(folder, h.api);
    test::WriteFile(h.work / "j2mest_temp", Bytes("old phone's list"));
    const fs::path got = h.Pull();
    EXPECT_EQ(h.messages, std::vector<std::string>{c.message}) << c.what;
    EXPECT_EQ(!got.empty(), c.menuCopied) << c.what;
    EXPECT_EQ(fs::exists(h.work / "mma_temp"), c.menuCopied) << c.what;
    EXPECT_FALSE(fs::exists(h.work / "j2mest_temp")) << c.what;
    EXPECT_FALSE(h.progress.shown) << c.what;
    EXPECT_EQ(h.sleeper.pauses.size(), c.pauses) << c.what;
  }
}

// The local copies: a menu copy that cannot be written ends the read with the system's reason;
// a MIDlet list copy that cannot be written leaves the menu copy whole and usable. The
// progress window is closed either way and nothing is thrown.
TEST(ReadPhoneFiles, LocalCopiesThatCannotBeWrittenAreReported) {
  PhoneFolder folder("xfer_local");
  {
    Harness h(folder);
    const fs::path menu = h.work / "no such folder" / "mma_temp";
    EXPECT_TRUE(h.transfers.ReadPhoneFiles(menu, h.work / "j2mest_temp").empty());
    EXPECT_EQ(h.messages, std::vector<std::string>{"Cannot write the copy of mma_ucp to " +
                                                   menu.string() + ": No such file or directory"});
    EXPECT_FALSE(h.progress.shown);
  }
  {
    Harness h(folder);
    const fs::path list = h.work / "j2mest_temp";
    fs::create_directories(list);  // a folder where the copy should go
    EXPECT_EQ(h.transfers.ReadPhoneFiles(h.work / "mma_temp", list), h.work / "mma_temp");
    EXPECT_EQ(ReadFile(h.work / "mma_temp"), Bytes("menu bytes"));
    EXPECT_EQ(h.messages, std::vector<std::string>{"Cannot write the copy of J2MEST to " +
                                                   list.string() + ": Is a directory"});
    EXPECT_FALSE(h.progress.shown);
    EXPECT_TRUE(fs::is_directory(list));  // never removed: it is not a copy
  }
}

TEST(WritePhoneMenu, SendsTheWholeFileOrSaysWhy) {
  PhoneFolder folder("xfer_write");
  Harness h(folder);
  std::vector<std::uint8_t> menu(kMaxTransfer);
  for (std::size_t i = 0; i < menu.size(); ++i) menu[i] = std::uint8_t(i);
  test::WriteFile(h.work / "mma_temp", menu);
  EXPECT_TRUE(h.transfers.WritePhoneMenu(h.work / "mma_temp"));
  EXPECT_EQ(ReadFile(folder.Local("/a/mobile/system/mma_ucp")), menu);
  EXPECT_TRUE(h.link.Session().SavedToPhone);

  h.transfers.RestartPhone();
  EXPECT_FALSE(h.link.Session().SavedToPhone);
  EXPECT_EQ(ReadFile(folder.Dir() / "restarts"), Bytes("1\n"));

  menu.push_back(0);
  test::WriteFile(h.work / "mma_temp", menu);
  EXPECT_FALSE(h.transfers.WritePhoneMenu(h.work / "mma_temp"));
  EXPECT_EQ(h.messages.back(),
            "The menu file is larger than the 65,535 bytes a transfer carries; it was not sent");
  EXPECT_EQ(ReadFile(folder.Local("/a/mobile/system/mma_ucp")).size(), std::size_t(kMaxTransfer));

  EXPECT_FALSE(h.transfers.WritePhoneMenu(h.work / "missing"));
  EXPECT_EQ(h.messages.back(),
            "Cannot read " + (h.work / "missing").string() + ": No such file or directory");

  test::WriteFile(h.work / "mma_temp", Bytes("small"));
  for (auto [faults, message] : {std::pair{"File_Create always\n", "Error creating file"},
                                 std::pair{"File_Write 1\n", "Error writing file"}}) {
    folder.Faults(faults);
    Harness f(folder);
    test::WriteFile(f.work / "mma_temp", Bytes("small"));
    EXPECT_FALSE(f.transfers.WritePhoneMenu(f.work / "mma_temp"));
    EXPECT_EQ(f.messages, std::vector<std::string>{message});
    EXPECT_FALSE(f.link.Session().SavedToPhone);
  }
}

TEST(RetrievePictureList, ListsGifsOfEveryVolumeButB) {
  PhoneFolder folder("xfer_pictures");
  Harness h(folder);
  h.transfers.RetrievePictureList();
  const auto& list = h.link.Session().PictureList;
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Path(), "/a/mobile/picture/one.gif");
  EXPECT_EQ(list[1].Path(), "/c/pic/Three.GIF");
  EXPECT_EQ(list[1].FileSize, 9u);
  EXPECT_EQ(h.progress.events.front(), "show");
  EXPECT_EQ(h.progress.events[1], "Retrieving picture list from volume a");
  EXPECT_EQ(h.progress.events.back(), "close");

  Harness zero(folder);
  zero.api.zeroVolumeReply = true;
  zero.transfers.RetrievePictureList();
  EXPECT_TRUE(zero.link.Session().PictureList.empty());

  fs::rename(folder.Dir() / "seem", folder.Dir() / "gone");
  h.api.Poll();
  h.transfers.RetrievePictureList();
  EXPECT_TRUE(h.link.Session().PictureList.empty());
  fs::rename(folder.Dir() / "gone", folder.Dir() / "seem");
}

TEST(PhoneTransfers, VolumeReplies) {
  struct Case {
    std::vector<std::uint8_t> reply;
    std::vector<char> volumes;
  } cases[] = {
      {{'/', 'a', 0xFE, '/', 'b', 0xFE, '/', 'c', 0x00, '/', 'd'}, {'a', 'b', 'c'}},
      {{0, 'a', 0xFE}, {}},
      {{'/', 'a', 0xFE, 'x', 'b', 0xFE}, {'a'}},
      {{'/', 'a', 0xFE, 0, 'b'}, {'a'}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PhoneTransfers::ParseVolumes(c.reply.data(), c.reply.size()), c.volumes);
}

TEST(PhoneTransfers, ListProgressCaption) {
  PhoneFolder folder("xfer_progress");
  Harness h(folder);
  h.Pull();
  h.progress.events.clear();
  h.progress.caption = "Retrieving file list from /a/";
  // The caption of the running operation is the one ReadPhoneFiles set last.
  h.transfers.OnListProgress(0, 2, 5);
  EXPECT_EQ(h.progress.caption, "Reading J2MEST 40%");
  EXPECT_EQ(h.progress.percent, 40);
  h.transfers.OnListProgress(0, 2, 5);
  EXPECT_EQ(h.progress.events.size(), 1u);  // set only when it changes
}

}  // namespace
}  // namespace trellune::phone
