// trellune-cli end to end: runs the built program on small files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/menu_bytes.h"

namespace {

namespace fs = std::filesystem;
using trellune::test::Bytes;
using trellune::test::Cat;
using trellune::test::Frame;
using trellune::test::Hex;
using trellune::test::MenuFile;

struct Result {
  int code;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const fs::path& p, const std::string& s) {
  std::ofstream out(p, std::ios::binary);
  out << s;
}

void Spit(const fs::path& p, const Bytes& b) {
  Spit(p, std::string(b.begin(), b.end()));
}

class Cli : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("trellune_cli_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // "usb" talks to a simulated phone, unplugged unless a test plugs it in: no test touches
    // a real USB device.
    setenv("TRELLUNE_USB_SIMULATE", Path("no-usb-phone").c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // Standard output goes to a file of the test's folder, or to `stdoutTo`.
  Result Run(const std::string& args, const std::string& stdoutTo = "") const {
    const fs::path out = stdoutTo.empty() ? dir_ / "stdout" : fs::path(stdoutTo);
    const fs::path err = dir_ / "stderr";
    const std::string cmd = std::string(TRELLUNE_CLI) + " " + args + " >" + out.string() + " 2>" +
                            err.string() + " </dev/null";
    int status = std::system(cmd.c_str());
    return {WEXITSTATUS(status), stdoutTo.empty() ? Slurp(out) : "", Slurp(err)};
  }

  static std::string Demo(const char* name) {
    return std::string(TRELLUNE_SOURCE_DIR) + "/demo/menus/" + name;
  }
  static std::string Profile(const char* name) {
    return std::string(TRELLUNE_SOURCE_DIR) + "/demo/Profiles/" + name + ".prf";
  }

  fs::path dir_;
};

// A 22-byte file with icon frames of code 6, the C698p fix, unknown frames and item types.
Bytes Odd22ByteFile() {
  Bytes icon = Frame(6, Hex("03 00 2F 00 61 00 00"));
  Bytes data = Cat({Frame(0, Hex("01 01 00 00 04 00 41 00 00")), icon, Frame(44, Hex("09 09"))});
  return MenuFile(22,
                  {{1, 9, 10, 12, 0, 0x41, "Games", 0, std::uint16_t(data.size())},
                   {12, 9, 255, 255, 0, 0x41, "~2"},
                   {0, 10, 255, 255, 0x18, 0x41, "MF-Wallpaper"}},
                  data, 0x03);
}

TEST_F(Cli, ImportOfExportWritesWhatConvertWrites) {
  Spit(Path("odd22"), Odd22ByteFile());
  const std::string inputs[] = {Demo("mma_ucp_36"), Demo("mma_ucp_22"), Path("odd22").string()};
  const char* optionSets[] = {"",
                              "--save-all-data",
                              "--record-length 36",
                              "--record-length 22",
                              "--record-length 22 --icon-code 06 --c698p-fix 0",
                              "--record-length 22 --icon-code 0C --c698p-fix 1 --save-all-data"};
  const std::string profiles[] = {"", " --profile " + Profile("Narrow"),
                                  " --profile " + Profile("R364")};
  // What export prints with "Save all data" as the save will have it.
  for (const std::string& in : inputs)
    for (const std::string& profile : profiles)
      for (const char* opts : optionSets) {
        const bool all = std::string(opts).find("--save-all-data") != std::string::npos;
        Result exported = Run("export " + in + profile + (all ? " --save-all-data" : ""));
        ASSERT_EQ(exported.code, 0) << in << exported.err;
        Spit(Path("menu.json"), exported.out);
        Result c = Run("convert " + in + " " + Path("c").string() + " " + opts + profile);
        Result i =
            Run("import " + Path("menu.json").string() + " " + Path("i").string() + " " + opts);
        ASSERT_EQ(c.code, 0) << in << " " << opts << c.err;
        ASSERT_EQ(i.code, 0) << in << " " << opts << i.err;
        EXPECT_EQ(Slurp(Path("c")), Slurp(Path("i"))) << in << " [" << opts << "]";
      }
}

TEST_F(Cli, ConvertKeepsAFileAsItIsAndSwitchesDialects) {
  for (const char* name : {"mma_ucp_36", "mma_ucp_22"}) {
    ASSERT_EQ(Run("convert " + Demo(name) + " " + Path("same").string()).code, 0);
    EXPECT_EQ(Slurp(Path("same")), Slurp(Demo(name))) << name;
  }
  // 36 -> 22 -> 36 gives the original back.
  ASSERT_EQ(
      Run("convert " + Demo("mma_ucp_36") + " " + Path("t22").string() + " --record-length 22")
          .code,
      0);
  ASSERT_EQ(
      Run("convert " + Path("t22").string() + " " + Path("t36").string() + " --record-length 36")
          .code,
      0);
  EXPECT_EQ(Slurp(Path("t36")), Slurp(Demo("mma_ucp_36")));
  EXPECT_EQ(Slurp(Path("t22"))[41] == char(0xCC), false);
}

TEST_F(Cli, IconMarkerFollowsTheFileUntilTheRecordLengthChanges) {
  Spit(Path("odd22"), Odd22ByteFile());
  auto iconCodeOf = [&](const fs::path& p) {
    std::string s = Slurp(p);
    // The icon frame follows the 12-byte title frame at the start of the data area.
    const std::size_t dataArea = 10 + std::size_t(static_cast<unsigned char>(s[2])) *
                                          (static_cast<unsigned char>(s[41]) == 0xCC ? 36 : 22);
    return static_cast<unsigned char>(s.at(dataArea + 12));
  };
  ASSERT_EQ(Run("convert " + Path("odd22").string() + " " + Path("a").string()).code, 0);
  EXPECT_EQ(iconCodeOf(Path("a")), 6);
  EXPECT_EQ(Slurp(Path("a"))[1], 3);
  ASSERT_EQ(
      Run("convert " + Path("odd22").string() + " " + Path("b").string() + " --record-length 36")
          .code,
      0);
  EXPECT_EQ(iconCodeOf(Path("b")), 12);
  EXPECT_EQ(Slurp(Path("b"))[1], 1);
  // A 36-byte file whose icons use code 6 keeps code 6; asking for 36 again changes nothing.
  ASSERT_EQ(
      Run("convert " + Path("odd22").string() + " " + Path("c").string() + " --record-length 36")
          .code,
      0);
  Bytes thirtySix = MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, 10}},
                             Frame(6, Hex("03 00 2F 00 61 00 00")));
  Spit(Path("code6_36"), thirtySix);
  ASSERT_EQ(
      Run("convert " + Path("code6_36").string() + " " + Path("d").string() + " --record-length 36")
          .code,
      0);
  EXPECT_EQ(Slurp(Path("d")), Slurp(Path("code6_36")));
}

TEST_F(Cli, FailuresLeaveTheOutputAlone) {
  Spit(Path("out"), std::string("keep me"));
  Bytes broken = MenuFile(36, {{1, 9, 255, 10, 0, 0x41, "Games"}});
  Spit(Path("broken"), broken);
  Spit(Path("unknown"), MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "NotAKind"}}));
  Spit(Path("bad.json"), std::string("{ \"softkeys\": "));
  struct Case {
    std::string args;
    int code;
    std::string message;
  } cases[] = {
      {"convert " + Path("broken").string() + " " + Path("out").string(), 1,
       "Cannot open " + Path("broken").string() + ": mma_ucp is damaged"},
      {"convert " + Path("missing").string() + " " + Path("out").string(), 1, "Cannot open"},
      {"convert " + Path("unknown").string() + " " + Path("out").string(), 1, "no profile knows"},
      {"import " + Path("bad.json").string() + " " + Path("out").string(), 1,
       "Cannot read " + Path("bad.json").string() +
           ": not JSON: Parse error at line 1, column 15: syntax error"},
      {"import " + Path("missing.json").string() + " " + Path("out").string(), 1,
       "Cannot open " + Path("missing.json").string() + ": No such file or directory"},
      {"import " + Path("").string() + " " + Path("out").string(), 1, "it is a folder"},
      {"convert " + Demo("mma_ucp_36") + " " + Path("out").string() + " --icon-code 06", 2,
       "22-byte"},
      {"convert " + Demo("mma_ucp_36") + " " + Path("out").string() + " --c698p-fix 1", 2,
       "22-byte"},
      {"convert " + Demo("mma_ucp_36") + " " + Path("out").string() + " --record-length 30", 2, ""},
      {"convert " + Demo("mma_ucp_36"), 2, ""},
      {"frobnicate", 2, ""},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(Slurp(Path("out")), "keep me") << c.args;
  }
}

// Where a command used to succeed wrongly, it now fails with status 1 and says why; usage
// mistakes are named.
TEST_F(Cli, NoSilentSuccess) {
  const std::string demo = Demo("mma_ucp_36");
  Spit(Path("same.json"), Run("export " + demo).out);
  const std::string json = Slurp(Path("same.json"));
  struct Case {
    std::string args;
    int code;
    std::string err;  // the start of what stderr says
    std::string stdoutTo = "";
  } cases[] = {
      {"export " + demo, 1, "Cannot write to standard output: No space left on device",
       "/dev/full"},
      {"midlets " + std::string(TRELLUNE_SOURCE_DIR) + "/demo/phone/fs/a/mobile/kjava/J2MEST", 1,
       "Cannot write to standard output: No space left on device", "/dev/full"},
      {"import " + Path("same.json").string() + " " + Path("same.json").string(), 1,
       "Cannot write " + Path("same.json").string() + ": it is the JSON file being imported"},
      {"bogus", 2, "trellune-cli: unknown command 'bogus'"},
      {"phone --phone x bogus", 2, "trellune-cli: unknown command 'bogus'"},
      {"export ''", 2, ""},
      {"convert " + demo + " ''", 2, ""},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args, c.stdoutTo);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args;
  }
  EXPECT_EQ(Slurp(Path("same.json")), json);

  // A menu cut inside its records is read as far as it goes, but not without a word.
  const std::string whole = Slurp(demo);
  for (std::size_t cut : {334u, 600u, 873u}) {
    Spit(Path("cut"), whole.substr(0, cut));
    Result r = Run("convert " + Path("cut").string() + " " + Path("out").string());
    EXPECT_EQ(r.code, 0) << cut;
    EXPECT_EQ(r.err, "warning: " + Path("cut").string() +
                         ": mma_ucp ends inside its item records; the items after the last whole "
                         "record are missing\n")
        << cut;
  }
}

// OUT may be standard output: "-", or /dev/stdout also when it is a pipe.
TEST_F(Cli, WritesToStandardOutput) {
  const std::string demo = Demo("mma_ucp_22");
  for (const char* out : {"-", "/dev/stdout"}) {
    const std::string cmd = std::string(TRELLUNE_CLI) + " convert " + demo + " " + out +
                            " | cat >" + Path("piped").string();
    ASSERT_EQ(std::system(cmd.c_str()), 0) << out;
    EXPECT_EQ(Slurp(Path("piped")), Slurp(demo)) << out;
  }
  Result toFile = Run("convert " + demo + " /dev/stdout");
  EXPECT_EQ(toFile.code, 0);
  EXPECT_EQ(toFile.out, Slurp(demo));
}

// A JSON menu with the default softkeys and the given main items.
std::string NewMenuJsonWith(const std::string& items) {
  return R"({"softkeys":{"name":"Container","items":[{"name":"PhoneBook"},{"name":"Message"},)"
         R"({"name":"RecentCall"},{"name":"Mutilmedia"},{"name":"AlarmClock"},)"
         R"({"name":"MMRingStyle"},{"name":"VoiceRecord"}]},"menuRoot":{"name":"MenuRoot",)"
         R"("items":[)" +
         items + "]}}";
}

TEST_F(Cli, RefusalsAreFailuresWithTheirMessages) {
  std::string games;
  for (int i = 0; i < 250; ++i) games += std::string(i ? "," : "") + R"({"name":"Games"})";
  Spit(Path("big.json"), NewMenuJsonWith(games));
  Result r = Run("import " + Path("big.json").string() + " " + Path("out").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("(255 records, 245 main items)"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("out")));

  // A kind name that 22-byte records would cut: the file could not be read again.
  const std::string menu = NewMenuJsonWith(R"({"name":"ReceivedCalls"})");
  Spit(Path("long.json"), menu);
  r = Run("import " + Path("long.json").string() + " " + Path("out").string() +
          " --record-length 22");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "The menu cannot be saved as mma_ucp: \"ReceivedCalls\" is longer than the 12 "
            "characters of a 22-byte record; save with 36-byte records\n");
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(Cli, CheckProfilePrintsWarningsAndSettings) {
  Spit(Path("Odd.prf"),
       std::string(
           "[mma_ucp format]\r\n22 0C 1\r\n[mma items]\r\nPhoneBook\r\nFoo\r\nDialedCalls\r\n"));
  Result r = Run("check-profile " + Path("Odd.prf").string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "warning: " + Path("Odd.prf").string() +
                       ": Unsupported mma item(s) found and omitted: Foo\n"
                       "record-length: 22\nicon-code: 0C\nc698p-fix: 1\nkinds: 3\n"
                       "PhoneBook\nDialedCalls [SC]\nCustom item\n");

  // A profile file the user names must be there: a typing error is not the Default profile.
  Result missing = Run("check-profile " + Path("Gone.prf").string());
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err,
            "Cannot open " + Path("Gone.prf").string() + ": No such file or directory\n");

  fs::create_directory(Path("Dir.prf"));
  Result folder = Run("check-profile " + Path("Dir.prf").string());
  EXPECT_EQ(folder.code, 1);
  EXPECT_EQ(folder.err, "Cannot read " + Path("Dir.prf").string() + ": it is a folder\n");

  // A 10 MB line is named shortened.
  Spit(Path("Long.prf"),
       "[mma_ucp format]\r\n36 0C 0\r\n[mma items]\r\n" + std::string(10'000'000, 'L') + "\r\n");
  Result longLine = Run("check-profile " + Path("Long.prf").string());
  EXPECT_EQ(longLine.code, 0);
  EXPECT_LT(longLine.out.size(), 1000u);
  EXPECT_NE(longLine.out.find("omitted: LLL"), std::string::npos);
}

TEST_F(Cli, ProfileOptionWarnsAndFallsBackToTheBuiltInKinds) {
  Result r = Run("convert " + Demo("mma_ucp_36") + " " + Path("out").string() + " --profile " +
                 Profile("Narrow"));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err,
            "warning: " + Demo("mma_ucp_36") +
                ": Selected profile doesn't match mma_ucp\n    Default profile will be applied\n");
  EXPECT_EQ(Slurp(Path("out")), Slurp(Demo("mma_ucp_36")));

  // Writing with a profile that lacks the menu's kinds is refused.
  ASSERT_EQ(Run("export " + Demo("mma_ucp_36")).code, 0);
  Spit(Path("menu.json"), Run("export " + Demo("mma_ucp_36")).out);
  Result refused = Run("import " + Path("menu.json").string() + " " + Path("out2").string() +
                       " --profile " + Profile("Narrow"));
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err, "mma_ucp doesn't match current profile\n");
  EXPECT_FALSE(fs::exists(Path("out2")));

  Result missing = Run("export " + Demo("mma_ucp_22") + " --profile " + Path("Gone.prf").string());
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err,
            "Cannot open " + Path("Gone.prf").string() + ": No such file or directory\n");
  EXPECT_TRUE(missing.out.empty());
}

TEST_F(Cli, ProfileFromFirmware) {
  Bytes image(5000, 0xEE);
  const std::string marker = "@(#)R3624_X";
  std::copy(marker.begin(), marker.end(), image.begin() + 100);
  const std::string names[] = {"2CLICK", "AIM", "Browser"};
  for (int i = 0; i < 3; ++i) {
    std::fill_n(image.begin() + 2000 + 36 * i, 36, 0);
    std::copy(names[i].begin(), names[i].end(), image.begin() + 2000 + 36 * i);
  }
  Spit(Path("fw.smg"), image);
  Result r = Run("profile-from-firmware " + Path("fw.smg").string() + " --profiles-dir " +
                 Path("P").string());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, (Path("P") / "R3624.prf").string() + "\n");
  EXPECT_EQ(Slurp(Path("P") / "R3624.prf"),
            "[mma_ucp format]\r\n36 0C 1\r\n[mma items]\r\n2CLICK\r\nAIM\r\nBrowser\r\n");

  // Each failure says why before "Failed to create profile".
  Spit(Path("empty.bin"), std::string(100, 'x'));
  Spit(Path("notable.bin"), std::string("@(#)R5_X") + std::string(100, 'x'));
  const std::pair<std::string, std::string> failures[] = {
      {Path("empty.bin").string(), ": no version marker"},
      {Path("notable.bin").string(), ": no table of menu item kinds"},
      {Path("missing.bin").string(), ": No such file or directory"}};
  for (const auto& [fw, why] : failures) {
    Result failed = Run("profile-from-firmware " + fw + " --profiles-dir " + Path("Q").string());
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.err.find(fw + why), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("\nFailed to create profile\n"), std::string::npos);
    EXPECT_TRUE(failed.out.empty());
    EXPECT_FALSE(fs::exists(Path("Q")));
  }
}

TEST_F(Cli, MidletsListsUsedSlots) {
  Bytes j2mest(31 * 708, 0);
  auto put = [&](std::size_t at, const std::string& s) {
    std::copy(s.begin(), s.end(), j2mest.begin() + std::ptrdiff_t(at));
  };
  j2mest[708 * 2] = 1;
  put(708 * 2 + 6, "Snake");
  put(708 * 2 + 39, "Nokla");
  put(708 * 2 + 152, "Snake, /s.png, a.Snake");
  put(708 * 7 + 6, "Chess");
  Spit(Path("J2MEST"), j2mest);
  Result r = Run("midlets " + Path("J2MEST").string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "2\tSnake\tNokla\tSnake, /s.png, a.Snake\t1\n7\tChess\t\t\t0\n");

  // Tabs and line breaks inside a name are escaped, so each MIDlet stays one row.
  put(708 * 7 + 6, "Ch\tes\ns\\");
  Spit(Path("J2MEST"), j2mest);
  EXPECT_EQ(Run("midlets " + Path("J2MEST").string()).out,
            "2\tSnake\tNokla\tSnake, /s.png, a.Snake\t1\n7\tCh\\tes\\ns\\\\\t\t\t0\n");

  j2mest.push_back(0);
  j2mest.resize(31 * 709);
  Spit(Path("J2MEST"), j2mest);
  Result bad = Run("midlets " + Path("J2MEST").string());
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.err, Path("J2MEST").string() + ": Unsupported J2MEST format\n");
  EXPECT_EQ(Run("midlets " + Path("nothing").string()).code, 1);
}

class CliPhone : public Cli {
 protected:
  void SetUp() override {
    Cli::SetUp();
    phone_ = Path("phone");
    fs::copy(std::string(TRELLUNE_SOURCE_DIR) + "/demo/phone", phone_, fs::copy_options::recursive);
  }
  Result Phone(const std::string& args) const {
    return Run("phone --phone " + phone_.string() + " " + args);
  }
  fs::path phone_;
};

TEST_F(CliPhone, InfoIdentifiesThePhone) {
  Result r = Phone("info");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Phone: E398  [R3443H1_G_0A.65.45R] \nfirmware: R3443H1\n");

  // The folder may also come from TRELLUNE_PHONE; without either, the phone is on USB.
  Result env = Run("phone info");
  EXPECT_EQ(env.code, 1);
  EXPECT_EQ(env.err, "No phone connected\n(no Motorola phone, vendor id 22b8, was found on USB)\n");
  const std::string cmd = "TRELLUNE_PHONE=" + phone_.string() + " " + TRELLUNE_CLI +
                          " phone info >" + Path("envout").string() + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(Slurp(Path("envout")), r.out);

  fs::rename(phone_ / "seem", phone_ / "unplugged");
  Result none = Phone("info");
  EXPECT_EQ(none.code, 1);
  EXPECT_EQ(none.err, "No phone connected\n");
  EXPECT_EQ(Run("phone --phone " + Path("nowhere").string() + " info").code, 1);
}

// The same commands over USB, through the whole protocol stack, to a simulated phone that
// answers from the phone folder.
TEST_F(CliPhone, UsbPhoneThroughTheProtocol) {
  setenv("TRELLUNE_USB_SIMULATE", phone_.c_str(), 1);
  const std::string usb = "phone --phone usb --usb-trace " + Path("trace").string() + " ";
  Result info = Run(usb + "info");
  EXPECT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(info.out, "Phone: E398  [R3443H1_G_0A.65.45R] \nfirmware: R3443H1\n");
  const std::string trace = Slurp(Path("trace"));
  EXPECT_NE(trace.find("OPEN interface 8\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find("OUT 41 02 0000 0008 len=16 ok=16 | 00 00 00 20 00 08 00 00 01 17 00 01"),
            std::string::npos)
      << trace;

  Result pull = Run(usb + "pull " + Path("work").string());
  EXPECT_EQ(pull.code, 0) << pull.err;
  EXPECT_EQ(Slurp(Path("work") / "mma_temp"), Slurp(Demo("mma_ucp_36")));
  ASSERT_EQ(Run("convert " + (Path("work") / "mma_temp").string() + " " + Path("m22").string() +
                " --record-length 22")
                .code,
            0);
  Result push = Run(usb + "push " + Path("m22").string());
  EXPECT_EQ(push.code, 0) << push.err;
  EXPECT_EQ(Slurp(phone_ / "fs/a/mobile/system/mma_ucp"), Slurp(Path("m22")));
  EXPECT_EQ(Run(usb + "restart").code, 0);
  EXPECT_EQ(Slurp(phone_ / "restarts"), "1\n");

  // A phone that is still a modem is switched when a command asks for it.
  Spit(phone_ / "usb-mode", std::string("modem\n"));
  Result modem = Run(usb + "info");
  EXPECT_EQ(modem.code, 0) << modem.err;
  EXPECT_NE(modem.err.find("Switching the phone to command mode\n"), std::string::npos)
      << modem.err;
  EXPECT_FALSE(fs::exists(phone_ / "usb-mode"));

  Result badTrace = Run("phone --phone usb --usb-trace " + Path("no/such/dir/t").string() + " info");
  EXPECT_EQ(badTrace.code, 1);
  EXPECT_NE(badTrace.err.find("Cannot write the USB trace"), std::string::npos) << badTrace.err;
}

TEST_F(CliPhone, PullPushRestartAndPictures) {
  Result pull = Phone("pull " + Path("work").string());
  EXPECT_EQ(pull.code, 0) << pull.err;
  EXPECT_EQ(Slurp(Path("work") / "mma_temp"), Slurp(Demo("mma_ucp_36")));
  EXPECT_EQ(Slurp(Path("work") / "j2mest_temp"), Slurp(phone_ / "fs/a/mobile/kjava/J2MEST"));
  EXPECT_NE(pull.err.find("Retrieving file list from /a/\n"), std::string::npos);
  EXPECT_NE(pull.err.find("Reading mma_ucp\n"), std::string::npos);

  Result midlets = Run("midlets " + (Path("work") / "j2mest_temp").string());
  EXPECT_EQ(midlets.out.substr(0, 8), "0\tSnake\t");

  ASSERT_EQ(Run("convert " + (Path("work") / "mma_temp").string() + " " + Path("m22").string() +
                " --record-length 22")
                .code,
            0);
  Result push = Phone("push " + Path("m22").string());
  EXPECT_EQ(push.code, 0) << push.err;
  EXPECT_EQ(Slurp(phone_ / "fs/a/mobile/system/mma_ucp"), Slurp(Path("m22")));

  EXPECT_EQ(Phone("restart").code, 0);
  EXPECT_EQ(Phone("restart").code, 0);
  EXPECT_EQ(Slurp(phone_ / "restarts"), "2\n");

  Result pictures = Phone("pictures");
  EXPECT_EQ(pictures.code, 0);
  EXPECT_EQ(pictures.out,
            "43\t/a/mobile/picture/Games.GIF\n43\t/a/mobile/picture/weather.gif\n"
            "43\t/c/pictures/icons/star.gif\n43\t/c/pictures/sunset.gif\n");
}

// Only a whole menu in the phone's dialect goes to the phone; anything else is refused and
// the phone keeps its menu.
TEST_F(CliPhone, PushSendsOnlyAMenuThePhoneCanRead) {
  const std::string phoneMenu = Slurp(phone_ / "fs/a/mobile/system/mma_ucp");
  Spit(Path("menu.json"), Run("export " + Demo("mma_ucp_36")).out);
  Spit(Path("empty"), std::string());
  Spit(Path("cut"), Slurp(Demo("mma_ucp_36")).substr(0, 600));
  fs::create_directories(Path("narrow"));
  Spit(Path("narrow") / "R3443H1.prf",
       std::string("[mma_ucp format]\r\n36 0C 0\r\n[mma items]\r\nPhoneBook\r\n"));
  const std::string demoProfiles = std::string(TRELLUNE_SOURCE_DIR) + "/demo/Profiles";
  struct Case {
    std::string args;
    std::string err;
  } cases[] = {
      {"push " + Path("menu.json").string(),
       Path("menu.json").string() + " holds item kinds that no profile knows"},
      {"push " + Path("empty").string(),
       "Cannot open " + Path("empty").string() + ": mma_ucp is damaged"},
      {"push " + Path("cut").string(),
       Path("cut").string() + ": mma_ucp ends inside its item records"},
      {"push " + Path("missing").string(),
       "Cannot open " + Path("missing").string() + ": No such file or directory"},
      {"--profiles-dir " + demoProfiles + " push " + Demo("mma_ucp_22"),
       Demo("mma_ucp_22") +
           " has 22-byte records, but the phone's profile R3443H1 has 36-byte records"},
      {"--profiles-dir " + Path("narrow").string() + " push " + Demo("mma_ucp_36"),
       Demo("mma_ucp_36") + " holds item kinds that the phone's profile R3443H1 does not know"},
  };
  for (const Case& c : cases) {
    Result r = Phone(c.args);
    EXPECT_EQ(r.code, 1) << c.args;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find("; nothing was sent to the phone\n"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(phone_ / "fs/a/mobile/system/mma_ucp"), phoneMenu) << c.args;
  }
  Result ok = Phone("--profiles-dir " + demoProfiles + " push " + Demo("mma_ucp_36"));
  EXPECT_EQ(ok.code, 0) << ok.err;
}

TEST_F(CliPhone, FailuresAreReportedWithTheirMessages) {
  Spit(phone_ / "faults", std::string("File_ListEx always\n"));
  Result pull = Phone("pull " + Path("work").string());
  EXPECT_EQ(pull.code, 1);
  EXPECT_NE(pull.err.find("\nError getting file list\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("work") / "mma_temp"));

  // A J2MEST failure after the menu was copied is only a warning.
  Spit(phone_ / "faults", std::string("File_Read 0\n"));
  Spit(phone_ / "fs/a/mobile/kjava/J2MEST", std::string(70000, 'x'));
  Result partial = Phone("pull " + Path("work").string());
  EXPECT_EQ(partial.code, 0);
  EXPECT_NE(partial.err.find("warning: J2MEST on the phone is 70000 bytes long"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(Path("work") / "mma_temp"));

  Spit(phone_ / "faults", std::string("File_Write always\n"));
  Result push = Phone("push " + Demo("mma_ucp_22"));
  EXPECT_EQ(push.code, 1);
  EXPECT_EQ(push.err, "Error writing file\n");
  EXPECT_EQ(Slurp(phone_ / "fs/a/mobile/system/mma_ucp"), Slurp(Demo("mma_ucp_36")));
}

}  // namespace
