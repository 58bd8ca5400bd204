// Shared helpers of the builder's tests: a fake stub, scratch folders, file
// bytes and stamps, and a way to run the command line in-process.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"

namespace tarnix::pack::test {

namespace fs = std::filesystem;

// What the builder needs of a stub: "MZ" at 0 and "PE\0\0" at 256.
inline std::string FakeStubBytes() {
  std::string s(4096, '\0');
  s[0] = 'M';
  s[1] = 'Z';
  s.replace(256, 4, std::string("PE\0\0", 4));
  return s;
}

inline void WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(f.good()) << path;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// A local time on an even second, which a packed stamp holds exactly.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

inline void SetFileTime(const fs::path& path, std::time_t t) {
  auto when = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t));
  fs::last_write_time(path, std::chrono::time_point_cast<fs::file_time_type::duration>(when));
}

inline std::time_t FileTime(const fs::path& path) {
  auto sys = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
}

// A scratch folder of the test's own, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "tarnix-pack-";
    if (info) name += std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
    path_ = fs::temp_directory_path() / (name + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

struct CliResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline CliResult RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), "tarnix-pack");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::ostringstream out, err;
  CliResult r;
  r.code = RunTarnixPack(static_cast<int>(args.size()), argv.data(), out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// Loose reading of the inspect JSON: the number after the first `"key": `
// at or after `from`; -1 when absent.
inline long long JsonNumber(const std::string& json, std::string_view key, size_t from = 0) {
  const std::string needle = std::string(1, '"').append(key).append("\": ");
  size_t at = json.find(needle, from);
  if (at == std::string::npos) return -1;
  return std::stoll(json.substr(at + needle.size(), 24));
}

inline bool JsonHas(const std::string& json, std::string_view key, std::string_view quotedValue) {
  return json.find(std::string(1, '"').append(key).append("\": ").append(quotedValue)) != std::string::npos;
}

// Input files with known bytes and stamps, a fake stub, and the command
// line that builds, inspects, verifies and extracts their package.
class PackageTest : public ::testing::Test {
 protected:
  struct Input {
    std::string name;
    std::string bytes;
    std::time_t time;
  };

  static constexpr uint32_t kBlockSize = 8192;

  void SetUp() override {
    WriteFile(dir.Path() / "stub.exe", FakeStubBytes());
    std::string text;
    while (text.size() < 5000) text += "Tarnix packs this line again and again. ";
    inputs = {
        {"setup.exe", RandomBytes(3000, 1), LocalTime(2021, 6, 15, 10, 20, 30)},
        {"data.bin", RandomBytes(60000, 2), LocalTime(2019, 1, 2, 3, 4, 6)},
        {"empty.txt", "", LocalTime(2020, 2, 29, 23, 59, 58)},
        {"readme.txt", text, LocalTime(2022, 12, 31, 12, 0, 0)},
    };
    for (const auto& in : inputs) {
      WriteFile(dir.Path() / "in" / in.name, in.bytes);
      SetFileTime(dir.Path() / "in" / in.name, in.time);
    }
  }

  // Builds OUT.exe from the inputs named in `files` (all when empty) with
  // the given [Package] lines.
  CliResult Build(const std::string& packageLines, const std::vector<std::string>& files = {}) {
    std::string manifest = "[Package]\n" + packageLines + "\n[Setup]\nProgram = setup.exe\nArguments = /quiet\n" +
                           "[Settings]\nUpdateLocation = http://example.test/upd/\nInfoFileName = Product.info\n" +
                           "AgentExeName = Agent.exe\nToken = s3cret\n[Files]\n";
    if (files.empty()) manifest += "Folder = in\n";
    for (const auto& f : files) manifest += f + " = in/" + f + "\n";
    WriteFile(dir.Path() / "manifest.ini", manifest);
    fs::create_directories(dir.Path() / "out");
    return RunCli({"build", dir / "manifest.ini", "-o", Package(), "--stub", dir / "stub.exe"});
  }

  std::string Package() const { return (dir.Path() / "out" / "OUT.exe").string(); }

  // The disk files written, sorted by name: OUT.exe, OUT.exe.001 ...
  std::vector<std::string> DiskFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path() / "out")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Extracts into a new folder and compares every input byte for byte and
  // stamp for stamp.
  void ExpectExtractsInputs(const std::vector<std::string>& only = {}) {
    // Appended rather than "x" + ...: GCC 12 warns falsely about that form
    // once it is inlined.
    std::string folder = "x";
    folder += std::to_string(++extractions_);
    const fs::path target = dir.Path() / folder;
    CliResult r = RunCli({"extract", Package(), "-C", target.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("setup entry: setup.exe* /quiet"), std::string::npos) << r.out;
    size_t expected = 0;
    for (const auto& in : inputs) {
      if (!only.empty() && std::find(only.begin(), only.end(), in.name) == only.end()) continue;
      ++expected;
      SCOPED_TRACE(in.name);
      ASSERT_TRUE(fs::is_regular_file(target / in.name));
      EXPECT_TRUE(ReadFile(target / in.name) == in.bytes);
      EXPECT_EQ(FileTime(target / in.name), in.time);
    }
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(target), fs::directory_iterator())), expected);
  }

  TempDir dir;
  std::vector<Input> inputs;

 private:
  int extractions_ = 0;
};

}  // namespace tarnix::pack::test
