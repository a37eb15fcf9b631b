// Read + renumber + write of a full menu (255 records, about 60 KB of data) and of a typical
// one (40 items), in memory and through files.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "io/file_io.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"
#include "mma/menu_writer.h"

using namespace trellune;

namespace {

// A menu of `folders` folders with `perFolder` items each; every item carries titles in
// three languages, an icon and a URL, about `dataBytes` bytes in all.
std::vector<std::uint8_t> MakeMenu(int folders, int perFolder, int extra, std::size_t urlLength) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  auto give = [&](MenuNode* node, int i) {
    ItemDataBlock block;
    block.Entries.push_back(MakeTitlesEntry(
        kMenuTitles, {{1, u"Menu item " + std::u16string(1, char16_t(u'A' + i % 26))},
                      {7, u"Menüpunkt"},
                      {6, u"Élément de menu"}}));
    block.Entries.push_back(MakeIconFileEntry(3, u"/a/mobile/picture/icon.gif"));
    block.Entries.push_back(MakeTextEntry(kUrlLink, "http://" + std::string(urlLength, 'x')));
    doc.ItemData[node->Item.Id] = std::move(block);
    ++doc.DataItemCount;
    AttachData(doc, *node);
  };
  const std::uint8_t games = doc.Kinds.FindKindIndex("Games");
  const std::uint8_t camera = doc.Kinds.FindKindIndex("Camera");
  int n = 0;
  for (int f = 0; f < folders; ++f) {
    MenuNode* folder = AddItemFromList(doc, *root, games, AddPlacement::SubitemLast).node;
    give(folder, n++);
    for (int i = 0; i < perFolder; ++i)
      give(AddItemFromList(doc, *folder, camera, AddPlacement::SubitemLast).node, n++);
  }
  for (int i = 0; i < extra; ++i)
    give(AddItemFromList(doc, *root, camera, AddPlacement::SubitemLast).node, n++);
  WriteOutcome out = SerializeMenu(doc);
  if (!out.ok()) throw std::runtime_error(out.refusal->text);
  return out.bytes;
}

const std::vector<std::uint8_t>& FullMenu() {
  static const auto bytes = MakeMenu(15, 15, 5, 90);  // 245 main items, 255 records
  return bytes;
}

const std::vector<std::uint8_t>& TypicalMenu() {
  static const auto bytes = MakeMenu(5, 6, 5, 24);  // 40 main items
  return bytes;
}

void RoundTrip(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  for (auto _ : state) {
    MenuDocument doc;
    ReadMenuBytes(file, doc);
    RenumberItems(doc);
    WriteOutcome out = SerializeMenu(doc);
    benchmark::DoNotOptimize(out.bytes.data());
  }
  state.counters["file_bytes"] = double(file.size());
  state.counters["records"] = file[2];
}

void BM_RoundTripFull(benchmark::State& state) {
  RoundTrip(state, FullMenu());
}
void BM_RoundTripTypical(benchmark::State& state) {
  RoundTrip(state, TypicalMenu());
}

void BM_RoundTripFullThroughFiles(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path();
  const auto in = dir / "trellune_bench_in";
  const auto out = dir / "trellune_bench_out";
  WriteFileAtomically(in, FullMenu());
  for (auto _ : state) {
    MenuDocument doc;
    ReadMenuFile(in, doc);
    RenumberItems(doc);
    WriteMenuFile(out, doc);
  }
  std::filesystem::remove(in);
  std::filesystem::remove(out);
}

BENCHMARK(BM_RoundTripFull)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTripTypical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTripFullThroughFiles)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
