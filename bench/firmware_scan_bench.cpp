// Profile creation from a 64 MiB firmware image, beside a plain sequential read of the same
// file in the same run.
//
// The image keeps the byte statistics of a real one: random bytes, so that every byte value,
// "@" and "2" included, occurs about every 256 bytes and the pairs "@(" and "2C" about every
// 64 KiB. Only whole occurrences of "@(#)" and "2CLICK" are broken, and a few SCCS-style
// "@(#)" strings that are not version markers are sprinkled in. The version marker and the
// item table lie near the end, so the whole image is searched.
//
// Each iteration times a plain read and the scan one after the other, so that the ratio
// (plain read time / scan time; 1.0 means as fast as a plain read) compares like with like on
// a shared machine. BM_ProfileFromFirmwareCommand does the same with processes: the
// trellune-cli command against this program started as a plain reader.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "profiles/firmware_scan.h"

extern char** environ;

using namespace trellune;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kImageSize = 64u << 20;
std::string g_self;  // this program, started as the plain reader

const fs::path& Image() {
  static const fs::path path = [] {
    fs::path p = fs::temp_directory_path() / "trellune_bench_firmware.bin";
    std::vector<std::uint8_t> bytes(kImageSize);
    std::mt19937_64 random(7);
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
      const std::uint64_t r = random();
      std::memcpy(bytes.data() + i, &r, 8);
    }
    auto put = [&](std::size_t at, const char* s) {
      std::memcpy(bytes.data() + at, s, std::strlen(s));
    };
    // Break whole markers only: their last byte changes, the pairs stay.
    for (std::size_t i = 0; i + 6 <= bytes.size(); ++i) {
      if (std::memcmp(bytes.data() + i, "@(#)", 4) == 0) bytes[i + 3] = '!';
      if (std::memcmp(bytes.data() + i, "2CLICK", 6) == 0) bytes[i + 5] = 'X';
    }
    for (std::size_t at = 1u << 20; at < kImageSize - (4u << 20); at += 4u << 20)
      put(at, "@(#)hal_init.c 1.7");
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

// A plain sequential read of the whole file in 64 KiB blocks.
std::size_t PlainRead(const char* path) {
  static std::vector<std::uint8_t> buffer(65536);
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return 0;
  std::size_t total = 0, got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) total += got;
  std::fclose(f);
  return total;
}

struct Times {
  double wall = 0, cpu = 0;
};

template <typename F>
Times Measure(F f) {
  timespec c0{}, c1{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
  const auto w0 = std::chrono::steady_clock::now();
  f();
  const auto w1 = std::chrono::steady_clock::now();
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
  return {std::chrono::duration<double>(w1 - w0).count(),
          double(c1.tv_sec - c0.tv_sec) + double(c1.tv_nsec - c0.tv_nsec) * 1e-9};
}

// Runs a process to its end; its wall time and its CPU time (user and system).
Times RunProcess(const std::vector<std::string>& argv, bool* ok) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto w0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  rusage usage{};
  *ok = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0 &&
        wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
        WEXITSTATUS(status) == 0;
  const auto w1 = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return {std::chrono::duration<double>(w1 - w0).count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

void Report(benchmark::State& state, const Times& plain, const Times& scan) {
  state.counters["plain_read_ms"] = plain.wall * 1e3 / double(state.iterations());
  state.counters["ratio_wall"] = plain.wall / scan.wall;
  state.counters["ratio_cpu"] = plain.cpu / scan.cpu;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kImageSize));
}

void BM_PlainSequentialRead(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(PlainRead(Image().c_str()));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kImageSize));
}

void BM_ProfileFromFirmware(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "trellune_bench_profiles";
  Times plain, scan;
  for (auto _ : state) {
    state.PauseTiming();
    const Times p = Measure([] { benchmark::DoNotOptimize(PlainRead(Image().c_str())); });
    plain.wall += p.wall, plain.cpu += p.cpu;
    state.ResumeTiming();
    std::string name;
    const Times s = Measure([&] { name = CreateFirmwareProfile(Image(), dir).CreatedProfileName; });
    scan.wall += s.wall, scan.cpu += s.cpu;
    if (name != "R3443H1") state.SkipWithError("scan failed");
  }
  Report(state, plain, scan);
  fs::remove_all(dir);
}

void BM_ProfileFromFirmwareCommand(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "trellune_bench_profiles_cli";
  const std::vector<std::string> command = {TRELLUNE_CLI, "profile-from-firmware",
                                            Image().string(), "--profiles-dir", dir.string()};
  const std::vector<std::string> reader = {g_self, "--plain-read", Image().string()};
  Times plain, scan;
  for (auto _ : state) {
    state.PauseTiming();
    bool ok = false;
    const Times p = RunProcess(reader, &ok);
    plain.wall += p.wall, plain.cpu += p.cpu;
    state.ResumeTiming();
    const Times s = RunProcess(command, &ok);
    scan.wall += s.wall, scan.cpu += s.cpu;
    if (!ok || !fs::exists(dir / "R3443H1.prf")) state.SkipWithError("command failed");
  }
  Report(state, plain, scan);
  fs::remove_all(dir);
}

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileFromFirmware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileFromFirmwareCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--plain-read") == 0)
    return PlainRead(argv[2]) > 0 ? 0 : 1;
  g_self = fs::canonical("/proc/self/exe").string();
  Image();  // made before any timing starts
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove(Image());
  return 0;
}
