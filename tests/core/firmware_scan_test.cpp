#include "profiles/firmware_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "io/file_io.h"

namespace trellune {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A synthetic firmware image: filler bytes (0xEE: no marker, not a name start) with pieces
// placed at chosen offsets.
struct Image {
  Bytes bytes;
  explicit Image(std::size_t size = 4096) : bytes(size, 0xEE) {}
  Image& At(std::size_t offset, const std::string& s) {
    return At(offset, Bytes(s.begin(), s.end()));
  }
  Image& At(std::size_t offset, const Bytes& b) {
    if (bytes.size() < offset + b.size()) bytes.resize(offset + b.size(), 0xEE);
    std::copy(b.begin(), b.end(), bytes.begin() + std::ptrdiff_t(offset));
    return *this;
  }
  // Name records of `size` bytes, zero-padded; 20-byte records carry a non-zero last byte as
  // the firmware's do, so that only 36-byte tables have a zero at offset 19.
  Image& Table(std::size_t offset, std::size_t size, const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      Bytes rec(size, 0);
      std::copy(names[i].begin(), names[i].end(), rec.begin());
      if (size == 20) rec[19] = 0x01;
      At(offset + i * size, rec);
    }
    return *this;
  }
  // Scans the bytes in place and through the streaming buffer; both must agree.
  std::optional<FirmwareProfile> Scan(const ScanProgress& progress = {}) const {
    MemorySource inPlace(bytes.data(), bytes.size());
    std::optional<FirmwareProfile> direct = ScanFirmware(inPlace, progress);
    Streamed streamed(bytes);
    std::optional<FirmwareProfile> buffered = ScanFirmware(streamed);
    EXPECT_EQ(direct.has_value(), buffered.has_value());
    if (direct && buffered) {
      EXPECT_EQ(direct->name, buffered->name);
      EXPECT_EQ(direct->text, buffered->text);
    }
    return direct;
  }
  // The same bytes offered only through ReadAt, as a source that cannot be mapped.
  struct Streamed : MemorySource {
    explicit Streamed(const Bytes& b) : MemorySource(b.data(), b.size()) {}
    const std::uint8_t* Contiguous() const override { return nullptr; }
  };
};

const Bytes kEndMarker = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

std::string Text(const std::string& format, const std::vector<std::string>& names) {
  std::string t = "[mma_ucp format]\r\n" + format + "\r\n[mma items]\r\n";
  for (const std::string& n : names) t += n + "\r\n";
  return t;
}

TEST(FirmwareScan, IdentifierDecidesNameIconCodeAndFix) {
  struct Case {
    std::string marker;
    const char* name;
    const char* format;
  } cases[] = {
      {"@(#)R123_X", "R123", "22 0C 0"},
      {"@(#)TRIPLETS_X", "TRIPLETS", "22 06 0"},
      {"@(#)R364_A", "R364", "22 06 0"},
      {"@(#)R474_A", "R474", "22 06 0"},
      {"@(#)R3624_B", "R3624", "22 0C 1"},
      {"@(#)R12AB", "R12AB", "22 0C 0"},    // no "_": ends at the zero after it
      {"@(#)R9../x_1", "R9..", "22 0C 0"},  // a path separator ends it too
  };
  for (const Case& c : cases) {
    Image image;
    image.At(100, c.marker).At(100 + c.marker.size(), Bytes{0}).Table(1000, 20, {"2CLICK", "AIM"});
    auto profile = image.Scan();
    ASSERT_TRUE(profile) << c.marker;
    EXPECT_EQ(profile->name, c.name);
    EXPECT_EQ(profile->text, Text(c.format, {"2CLICK", "AIM"})) << c.marker;
  }
}

TEST(FirmwareScan, FindsTheFirstRealMarkerAnywhere) {
  Image image(70000);
  image.At(50, "@(#)Rx_NOT").At(65533, "@(#)T1_Y").Table(69000, 20, {"2CLICK"});
  auto profile = image.Scan();
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->name, "T1");  // spans the first and second 64 KiB blocks

  Image noMarker;
  noMarker.Table(1000, 20, {"2CLICK"});
  EXPECT_FALSE(noMarker.Scan());
  Image noTable;
  noTable.At(10, "@(#)R1_");
  EXPECT_FALSE(noTable.Scan());
}

TEST(FirmwareScan, FindsMarkersAtEveryAlignmentBehindNearMisses) {
  // Near misses packed before the real markers: pairs the fast filter passes and the full
  // checks refuse. The real ones land on every offset within the filter's 32-byte steps, on
  // the block boundary, and at the very end of the file.
  const std::string decoys = "@(#X2CLIC@(2C@@((22CC@(#)r2CLICk";
  for (std::size_t offset : {0u, 1u, 15u, 16u, 17u, 30u, 31u, 32u, 33u, 47u, 63u, 65529u, 65530u,
                             65531u, 65532u}) {
    Image image(0);
    for (std::size_t at = 0; at < offset; at += decoys.size()) image.At(at, decoys);
    image.bytes.resize(offset);
    image.Table(offset, 20, {"2CLICK"});
    image.At(offset + 20, "@(#)T9");
    auto profile = image.Scan();
    ASSERT_TRUE(profile) << offset;
    EXPECT_EQ(profile->name, "T9") << offset;
    EXPECT_EQ(profile->text, Text("22 0C 0", {"2CLICK"})) << offset;
  }
}

TEST(FirmwareScan, RecordSizeAndTheFirstTable) {
  Image longRecords;
  longRecords.At(0, "@(#)R1_").Table(500, 36, {"2CLICK", "Browser", "3D", "lower", "Games"});
  EXPECT_EQ(longRecords.Scan()->text, Text("36 0C 0", {"2CLICK", "Browser", "3D"}));

  // A name that fills its record has no zero: it ends at the record's end.
  Image full;
  full.At(0, "@(#)R1_").Table(500, 20, {"2CLICK"}).At(520, std::string(20, 'N'));
  EXPECT_EQ(full.Scan()->text, Text("22 0C 0", {"2CLICK", std::string(20, 'N')}));

  // The walk stops at the end of the file, even inside a record.
  Image atEnd;
  atEnd.At(0, "@(#)R1_").Table(500, 20, {"2CLICK"}).At(520, "TAIL");
  atEnd.bytes.resize(524);
  EXPECT_EQ(atEnd.Scan()->text, Text("22 0C 0", {"2CLICK", "TAIL"}));
}

TEST(FirmwareScan, SecondTableWithEitherGapIsReadBackwards) {
  // After the first table: 52-byte name records, then the gap, then 00 FF FF FF FF FF FF. The
  // five bytes before the marker pick the gap: 12 for 00 x 00 ? x, else 10.
  struct Case {
    std::size_t gap;
    Bytes between;  // bytes between the last record and the marker
  } cases[] = {{10, {0x11, 0x22, 0x33}}, {12, {0x00, 0x42, 0x00, 0x17, 0x42}}};
  for (const Case& c : cases) {
    Image image;
    image.At(0, "@(#)R1_").Table(500, 20, {"2CLICK"});
    const std::size_t s = 700;
    image.Table(s, 52, {"ZETA", "BETA", "ALPHA"});
    image.At(s + 156, c.between).At(s + 156 + c.between.size(), kEndMarker);
    ASSERT_EQ(s + 156 + c.between.size() + 7 - c.gap - 52, s + 104);
    EXPECT_EQ(image.Scan()->text, Text("22 0C 0", {"2CLICK", "ALPHA", "BETA", "ZETA"})) << c.gap;
  }
}

TEST(FirmwareScan, ThirdTableWhenTheSecondIsEmpty) {
  Image image;
  image.At(0, "@(#)R1_").Table(500, 20, {"2CLICK"});
  const std::size_t marker = 800;
  image.At(marker, kEndMarker);
  image.Table(marker + 7 + 6, 44, {"DialedCalls", "Headlines", "x"});
  EXPECT_EQ(image.Scan()->text, Text("22 0C 0", {"2CLICK", "DialedCalls", "Headlines"}));

  // "Dialed" at an odd offset is not seen.
  Image odd;
  odd.At(0, "@(#)R1_")
      .Table(500, 20, {"2CLICK"})
      .At(marker, kEndMarker)
      .Table(marker + 7 + 5, 44, {"DialedCalls"});
  EXPECT_EQ(odd.Scan()->text, Text("22 0C 0", {"2CLICK"}));
}

TEST(FirmwareScan, BackwardWalkStopsAtTheStartOfTheFile) {
  // Second-table records at 0, 52 and 104, all starting with a capital; the item table hides
  // in the padding of the first one (its record has a zero at offset 19: 36-byte records).
  Image image(0);
  image.Table(0, 52, {"AAA", "BBB", "CCC"}).At(30, "2CLICK");
  image.At(156, Bytes{0x11, 0x22, 0x33}).At(159, kEndMarker).At(300, "@(#)R1_");
  EXPECT_EQ(image.Scan()->text, Text("36 0C 0", {"2CLICK", "CCC", "BBB", "AAA"}));
}

TEST(FirmwareScan, ReportsProgressAndWritesTheProfile) {
  const fs::path dir = fs::path(testing::TempDir()) / "trellune_fw";
  fs::remove_all(dir);
  fs::create_directories(dir);
  Image image(200000);
  image.At(150000, "@(#)R364_Q").Table(190000, 20, {"2CLICK", "AIM"});
  WriteFileAtomically(dir / "fw.bin", image.bytes);

  std::vector<std::string> events;
  ScanProgress progress{[&](const std::string& c) { events.push_back("show " + c); },
                        [&](int p) { events.push_back(std::to_string(p)); },
                        [&] { events.push_back("close"); }};
  EXPECT_EQ(CreateFirmwareProfile(dir / "fw.bin", dir / "Profiles", progress).CreatedProfileName,
            "R364");
  EXPECT_EQ(events, (std::vector<std::string>{"show Scanning CG1", "0", "33", "close"}));
  const auto text = ReadWholeFile(dir / "Profiles" / "R364.prf");
  EXPECT_EQ(std::string(text.begin(), text.end()), Text("22 06 0", {"2CLICK", "AIM"}));

  // A second scan of the same firmware replaces the profile.
  image.Table(190000, 20, {"2CLICK", "BROWSER"});
  WriteFileAtomically(dir / "fw.bin", image.bytes);
  const ProfileCreation again = CreateFirmwareProfile(dir / "fw.bin", dir / "Profiles");
  EXPECT_EQ(again.CreatedProfileName, "R364");
  EXPECT_EQ(again.path, dir / "Profiles" / "R364.prf");
  EXPECT_EQ(ReadWholeFile(dir / "Profiles" / "R364.prf").size(),
            Text("22 06 0", {"2CLICK", "BROWSER"}).size());

  // No item table: "Fail", and nothing is written.
  WriteFileAtomically(dir / "bad.bin", Image().At(0, "@(#)R5_").bytes);
  const ProfileCreation bad = CreateFirmwareProfile(dir / "bad.bin", dir / "Other");
  EXPECT_EQ(bad.CreatedProfileName, "Fail");
  EXPECT_NE(bad.failure.find("no table of menu item kinds"), std::string::npos) << bad.failure;
  EXPECT_FALSE(fs::exists(dir / "Other"));
  EXPECT_THROW(CreateFirmwareProfile(dir / "missing.bin", dir / "Other"), FileError);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace trellune
