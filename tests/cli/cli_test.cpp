// trellune-cli end to end: runs the built program on small files.
#include <gtest/gtest.h>

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

void Spit(const fs::path& p, const Bytes& b) { Spit(p, std::string(b.begin(), b.end())); }

class Cli : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("trellune_cli_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  Result Run(const std::string& args) const {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string cmd = std::string(TRELLUNE_CLI) + " " + args + " >" + out.string() + " 2>" +
                            err.string() + " </dev/null";
    int status = std::system(cmd.c_str());
    return {WEXITSTATUS(status), Slurp(out), Slurp(err)};
  }

  static std::string Demo(const char* name) {
    return std::string(TRELLUNE_SOURCE_DIR) + "/demo/menus/" + name;
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
  for (const std::string& in : inputs) {
    Result exported = Run("export " + in);
    ASSERT_EQ(exported.code, 0) << in << exported.err;
    Spit(Path("menu.json"), exported.out);
    for (const char* opts : optionSets) {
      Result c = Run("convert " + in + " " + Path("c").string() + " " + opts);
      Result i = Run("import " + Path("menu.json").string() + " " + Path("i").string() + " " + opts);
      ASSERT_EQ(c.code, 0) << in << " " << opts << c.err;
      ASSERT_EQ(i.code, 0) << in << " " << opts << i.err;
      EXPECT_EQ(Slurp(Path("c")), Slurp(Path("i"))) << in << " [" << opts << "]";
    }
  }
}

TEST_F(Cli, ConvertKeepsAFileAsItIsAndSwitchesDialects) {
  for (const char* name : {"mma_ucp_36", "mma_ucp_22"}) {
    ASSERT_EQ(Run("convert " + Demo(name) + " " + Path("same").string()).code, 0);
    EXPECT_EQ(Slurp(Path("same")), Slurp(Demo(name))) << name;
  }
  // 36 -> 22 -> 36 gives the original back.
  ASSERT_EQ(Run("convert " + Demo("mma_ucp_36") + " " + Path("t22").string() + " --record-length 22").code, 0);
  ASSERT_EQ(Run("convert " + Path("t22").string() + " " + Path("t36").string() + " --record-length 36").code, 0);
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
  ASSERT_EQ(Run("convert " + Path("odd22").string() + " " + Path("b").string() + " --record-length 36").code, 0);
  EXPECT_EQ(iconCodeOf(Path("b")), 12);
  EXPECT_EQ(Slurp(Path("b"))[1], 1);
  // A 36-byte file whose icons use code 6 keeps code 6; asking for 36 again changes nothing.
  ASSERT_EQ(Run("convert " + Path("odd22").string() + " " + Path("c").string() + " --record-length 36").code, 0);
  Bytes thirtySix = MenuFile(36, {{0, 9, 255, 255, 0, 0x41, "Games", 0, 10}},
                             Frame(6, Hex("03 00 2F 00 61 00 00")));
  Spit(Path("code6_36"), thirtySix);
  ASSERT_EQ(Run("convert " + Path("code6_36").string() + " " + Path("d").string() + " --record-length 36").code, 0);
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
    const char* message;
  } cases[] = {
      {"convert " + Path("broken").string() + " " + Path("out").string(), 1, "mma_ucp is damaged"},
      {"convert " + Path("missing").string() + " " + Path("out").string(), 1, "Cannot open"},
      {"convert " + Path("unknown").string() + " " + Path("out").string(), 1, "no profile knows"},
      {"import " + Path("bad.json").string() + " " + Path("out").string(), 1, "Cannot read"},
      {"convert " + Demo("mma_ucp_36") + " " + Path("out").string() + " --icon-code 06", 2, "22-byte"},
      {"convert " + Demo("mma_ucp_36") + " " + Path("out").string() + " --c698p-fix 1", 2, "22-byte"},
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

TEST_F(Cli, WriterRefusalIsAFailureWithItsMessage) {
  std::ostringstream json;
  json << R"({"softkeys":{"name":"Container","items":[{"name":"PhoneBook"},{"name":"Message"},)"
       << R"({"name":"RecentCall"},{"name":"Mutilmedia"},{"name":"AlarmClock"},{"name":"MMRingStyle"},)"
       << R"({"name":"VoiceRecord"}]},"menuRoot":{"name":"MenuRoot","items":[)";
  for (int i = 0; i < 250; ++i) json << (i ? "," : "") << R"({"name":"Games"})";
  json << "]}}";
  Spit(Path("big.json"), json.str());
  Result r = Run("import " + Path("big.json").string() + " " + Path("out").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("at most 255"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("out")));
}

}  // namespace
