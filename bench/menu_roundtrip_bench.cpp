// Read + renumber + write of a menu. The headline is BM_RoundTripFull: a full-size menu (255
// records, about 69 KB), in memory, the document built and destroyed each time as a program
// opening and saving it does. Beside it a typical menu (40 items) and the full one through
// files. The in-memory cases also count the heap allocations of one round trip, a figure that
// does not move with the load on a shared machine.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "io/file_io.h"
#include "mma/menu_editor.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"
#include "mma/menu_writer.h"

using namespace trellune;

// Heap allocations so far (allocation_count.cpp).
extern std::size_t g_allocations;

namespace {

// A menu of `folders` folders with `perFolder` items each; every item carries titles in
// three languages, an icon and a URL, about `dataBytes` bytes in all.
std::vector<std::uint8_t> MakeMenu(int folders, int perFolder, int extra, std::size_t urlLength) {
  MenuEditor editor;
  editor.NewMenu();
  const MenuNode* root = editor.Tree().MenuRoot();
  auto give = [&](const MenuNode* node, int i) {
    ItemProperties props;
    props.data.emplace();
    props.data->Entries.push_back(MakeTitlesEntry(
        kMenuTitles, {{1, u"Menu item " + std::u16string(1, char16_t(u'A' + i % 26))},
                      {7, u"Menüpunkt"},
                      {6, u"Élément de menu"}}));
    props.data->Entries.push_back(MakeIconFileEntry(3, u"/a/mobile/picture/icon.gif"));
    props.data->Entries.push_back(MakeTextEntry(kUrlLink, "http://" + std::string(urlLength, 'x')));
    props.ItemType = node->Item.ItemType;
    props.Attributes = node->Item.Attributes;
    if (!editor.ApplyItemProperties(node, std::move(props))) throw std::runtime_error("refused");
  };
  const int games = editor.Document().Kinds.FindKindIndex("Games");
  const int camera = editor.Document().Kinds.FindKindIndex("Camera");
  int n = 0;
  for (int f = 0; f < folders; ++f) {
    const MenuNode* folder = editor.Add(root, AddPlacement::SubitemLast, games).node;
    give(folder, n++);
    for (int i = 0; i < perFolder; ++i)
      give(editor.Add(folder, AddPlacement::SubitemLast, camera).node, n++);
  }
  for (int i = 0; i < extra; ++i)
    give(editor.Add(root, AddPlacement::SubitemLast, camera).node, n++);
  WriteOutcome out = editor.Serialize();
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
  std::size_t allocations = 0;
  for (auto _ : state) {
    const std::size_t before = g_allocations;
    MenuDocument doc;
    ReadMenuBytes(file, doc);
    RenumberItems(doc);
    WriteOutcome out = SerializeMenu(doc);
    benchmark::DoNotOptimize(out.bytes.data());
    allocations = g_allocations - before;
  }
  state.counters["file_bytes"] = double(file.size());
  state.counters["records"] = file[2];
  state.counters["allocations"] = double(allocations);
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
