#include "io/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

  // A replaced file keeps its permission bits; a new one gets the umask's.
  fs::permissions(dir / "plain", fs::perms::owner_read | fs::perms::owner_write);
  WriteFileAtomically(dir / "plain", bytes);
  EXPECT_EQ(fs::status(dir / "plain").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  const mode_t mask = ::umask(022);
  WriteFileAtomically(dir / "fresh", bytes);
  ::umask(mask);
  EXPECT_EQ(fs::status(dir / "fresh").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);

  // A name as long as the file system allows is written; the temporary name stays short.
  const fs::path longName = dir / std::string(255, 'n');
  WriteFileAtomically(longName, bytes);
  EXPECT_EQ(ReadWholeFile(longName), bytes);

  // Links planted where an older version put its temporary file are never written through.
  fs::create_symlink(dir / "victim", dir / ".plain.tmp0");
  WriteFileAtomically(dir / "plain", bytes);
  EXPECT_FALSE(fs::exists(dir / "victim"));
  fs::remove(dir / ".plain.tmp0");

  // No temporary file is left behind, also after a failure.
  EXPECT_THROW(WriteFileAtomically(dir / "missing" / "file", bytes), FileError);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir))
    files += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 0u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace trellune
