#include "io/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trellune {
namespace {

namespace fs = std::filesystem;

TEST(WriteFileAtomically, ReplacesFilesFollowsLinksAndLeavesDevicesInPlace) {
  const fs::path dir = fs::path(testing::TempDir()) / "trellune_file_io";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::vector<std::uint8_t> bytes = {1, 2, 3};

  WriteFileAtomically(dir / "plain", bytes);
  EXPECT_EQ(ReadWholeFile(dir / "plain"), bytes);

  fs::create_symlink("target", dir / "link");
  WriteFileAtomically(dir / "link", bytes);
  EXPECT_TRUE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(ReadWholeFile(dir / "target"), bytes);

  EXPECT_THROW(WriteFileAtomically(dir, bytes), FileError);
  EXPECT_THROW(WriteFileAtomically(dir / "missing" / "file", bytes), FileError);
  EXPECT_THROW(ReadWholeFile(dir / "missing"), FileError);

  WriteFileAtomically("/dev/null", bytes);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  // No temporary file is left behind.
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir))
    files += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 0u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace trellune
