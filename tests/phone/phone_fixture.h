// Test helpers for the phone link: a virtual phone in a temporary folder, a sleeper and a
// progress window that only record.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "p2k_api.h"

namespace trellune::phone::test {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

inline void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Seem 0117 holds the model as 16-bit characters, seem 02D2 the version from byte 4.
inline std::vector<std::uint8_t> ModelSeem(const std::string& model) {
  std::vector<std::uint8_t> b;
  for (char c : model) b.insert(b.end(), {0, std::uint8_t(c)});
  b.insert(b.end(), {0, 0});
  return b;
}

inline std::vector<std::uint8_t> VersionSeem(const std::string& version) {
  std::string s("\x00\x01\x00\x00", 4);
  s += version;
  s.push_back('\0');
  return Bytes(s);
}

// A phone folder: identified as ABC / X1_Y2, with a menu, a J2MEST and a few pictures.
class PhoneFolder {
 public:
  // Named after the running test too, so tests that run in parallel never share a folder.
  explicit PhoneFolder(const std::string& name)
      : dir_(fs::path(::testing::TempDir()) / Unique(name)) {
    fs::remove_all(dir_);
    WriteFile(dir_ / "seem" / "0117_0001.bin", ModelSeem("ABC"));
    WriteFile(dir_ / "seem" / "02D2_0001.bin", VersionSeem("X1_Y2"));
    File("/a/mobile/system/mma_ucp", Bytes("menu bytes"));
    File("/a/mobile/kjava/J2MEST", Bytes("midlets"));
    File("/a/mobile/picture/one.gif", Bytes("GIF89a-1"));
    File("/b/system/two.gif", Bytes("GIF89a-2"));
    File("/c/pic/Three.GIF", Bytes("GIF89a-33"));
  }
  ~PhoneFolder() { fs::remove_all(dir_); }

  const fs::path& Dir() const { return dir_; }
  fs::path Local(const std::string& phonePath) const { return dir_ / "fs" / phonePath.substr(1); }
  void File(const std::string& phonePath, const std::vector<std::uint8_t>& bytes) const {
    WriteFile(Local(phonePath), bytes);
  }
  void Faults(const std::string& text) const { std::ofstream(dir_ / "faults") << text; }

 private:
  static std::string Unique(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string unique = name + "_" + test->test_suite_name() + "_" + test->name();
    for (char& c : unique)
      if (c == '/') c = '_';
    return unique;
  }

  fs::path dir_;
};

class RecordingSleeper : public Sleeper {
 public:
  void Sleep(int ms) override { pauses.push_back(ms); }
  std::vector<int> pauses;
};

class RecordingProgress : public Progress {
 public:
  void Show() override {
    events.push_back("show");
    shown = true;
  }
  void Close() override {
    events.push_back("close");
    shown = false;
  }
  void SetCaption(const std::string& c) override {
    caption = c;
    events.push_back(c);
  }
  std::string Caption() const override { return caption; }
  void SetPercent(int p) override { percent = p; }
  std::vector<std::string> events;
  std::string caption;
  int percent = -1;
  bool shown = false;
};

}  // namespace trellune::phone::test
