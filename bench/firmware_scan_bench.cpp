// Profile creation from a 64 MiB synthetic firmware image whose version marker and item table
// lie near its end, beside a plain sequential read of the same file in 64 KiB blocks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "io/file_io.h"
#include "profiles/firmware_scan.h"

using namespace trellune;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kImageSize = 64u << 20;

const fs::path& Image() {
  static const fs::path path = [] {
    fs::path p = fs::temp_directory_path() / "trellune_bench_firmware.bin";
    std::vector<std::uint8_t> bytes(kImageSize);
    std::mt19937 random(7);
    for (auto& b : bytes) b = std::uint8_t(random());
    // Random bytes hold "@(#)" and "2CLICK" only by a tiny chance; make sure they do not.
    for (std::size_t i = 0; i + 6 <= bytes.size(); ++i)
      if (bytes[i] == '@' || bytes[i] == '2') bytes[i] = 0x41;
    auto put = [&](std::size_t at, const char* s) {
      std::memcpy(bytes.data() + at, s, std::strlen(s));
    };
    put(kImageSize - (3u << 20), "@(#)R3443H1_G_0A.65.45R");
    const char* names[] = {"2CLICK", "AIM", "Browser", "Calculator", "Camera", "Games"};
    for (int i = 0; i < 6; ++i) {
      std::memset(bytes.data() + kImageSize - (1u << 20) + 36 * i, 0, 36);
      put(kImageSize - (1u << 20) + 36 * i, names[i]);
    }
    WriteFileAtomically(p, bytes);
    return p;
  }();
  return path;
}

void BM_PlainSequentialRead(benchmark::State& state) {
  std::vector<std::uint8_t> buffer(65536);
  for (auto _ : state) {
    std::FILE* f = std::fopen(Image().c_str(), "rb");
    std::size_t total = 0, got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) total += got;
    std::fclose(f);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kImageSize));
}

void BM_ProfileFromFirmware(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "trellune_bench_profiles";
  for (auto _ : state) {
    std::string name = CreateFirmwareProfile(Image(), dir).CreatedProfileName;
    if (name != "R3443H1") state.SkipWithError("scan failed");
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kImageSize));
  fs::remove_all(dir);
}

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileFromFirmware)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  Image();  // made before any timing starts
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove(Image());
  return 0;
}
