// The fixture of the tests that run whole setups: input files in a scratch
// folder, packages of the stub with the stand-in as their setup program,
// whose runs each extract into a folder of their own, and what the stand-in
// records and installs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "PackageBuilder.h"
#include "win/DebugTestSupport.h"
#include "win/support/SetupProcess.h"

namespace tarnix::test {

inline constexpr char kAtomPrefix[] = "AutoUpdateAtomTokenByTarnix";
inline constexpr int kShown = SW_SHOW;
inline constexpr int kHidden = SW_HIDE;

constexpr uint32_t PackedStamp(int year, int month, int day, int hour, int minute, int second) {
  return uint32_t((year - 1980) << 9 | month << 5 | day) << 16 | uint32_t(hour << 11 | minute << 5 | second / 2);
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

class SetupFixture : public ::testing::Test {
 protected:
  struct Input {
    std::string name;
    std::string bytes;
    uint32_t stamp;
  };

  using Record = std::map<std::string, std::string>;

  explicit SetupFixture(std::vector<Input> inputs) : inputs_(std::move(inputs)) {}

  // The inputs go to in\, the packages to out\.
  void SetUp() override {
    stub_ = PathFromEnv("TARNIX_STUB_EXE");
    ASSERT_FALSE(stub_.empty()) << "TARNIX_STUB_EXE is not set";
    standin_ = PathFromEnv("TARNIX_STANDIN_EXE");
    ASSERT_FALSE(standin_.empty()) << "TARNIX_STANDIN_EXE is not set";
    for (const char* folder : {"in", "out"}) ASSERT_TRUE(::CreateDirectoryA((dir_ / folder).c_str(), nullptr));
    for (const Input& in : inputs_) ASSERT_TRUE(WriteBytes(dir_ / ("in\\" + in.name), in.bytes)) << in.name;
  }

  std::string InstallDir() const { return dir_ / "installed"; }
  std::string RecordPath() const { return dir_ / "record.txt"; }
  std::string StandinArgs() const { return "/InstallDir=" + InstallDir() + " /Record=" + RecordPath(); }

  // The stand-in as setup.exe with its arguments and `moreArgs`, marked as
  // the setup program unless told not to, then the inputs.
  pack::PackageSpec Plan(const std::string& moreArgs = "", bool markSetup = true) const {
    pack::PackageSpec plan;
    plan.stubPath = stub_;
    plan.files.push_back({"setup.exe", standin_, 0, markSetup, StandinArgs() + moreArgs});
    for (const Input& in : inputs_) plan.files.push_back({in.name, dir_ / ("in\\" + in.name), in.stamp, false, ""});
    return plan;
  }

  // Builds out\NAME.
  std::string Build(const pack::PackageSpec& plan, const std::string& name = "Setup.exe") {
    const std::string path = dir_ / ("out\\" + name);
    std::string error;
    EXPECT_TRUE(pack::BuildPackage(plan, path, report_, error)) << error;
    return path;
  }

  Record ReadRecord() const {
    Record record;
    for (const std::string& line : CrLfLines(ReadWholeFile(RecordPath()))) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return record;
  }

  bool Recorded() const { return PathExists(RecordPath()); }

  // Every input installed byte for byte with its stamp, and nothing else
  // but `extra`.
  void ExpectInstalled(const std::vector<std::string>& extra = {}) const {
    for (const Input& in : inputs_) {
      SCOPED_TRACE(in.name);
      const std::string path = InstallDir() + "\\" + in.name;
      ASSERT_TRUE(PathExists(path));
      EXPECT_TRUE(ReadWholeFile(path) == in.bytes);
      EXPECT_EQ(PackedStampOf(path), in.stamp);
    }
    const auto count =
        std::distance(std::filesystem::directory_iterator(InstallDir()), std::filesystem::directory_iterator());
    EXPECT_EQ(static_cast<size_t>(count), inputs_.size() + extra.size());
    for (const std::string& name : extra) EXPECT_TRUE(PathExists(InstallDir() + "\\" + name)) << name;
  }

  // The run ended with code 0 and left nothing: no setup program ran,
  // nothing was installed, the extraction folder is gone.
  void ExpectNothingStarted(const SetupProcess& run) const {
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_FALSE(Recorded()) << ReadWholeFile(RecordPath());
    EXPECT_FALSE(PathExists(InstallDir()));
    const std::string folder = run.ExtractionFolder();
    EXPECT_FALSE(PathExists(folder)) << folder;
  }

  // What a completed run shows: the stand-in ran from the run's extraction
  // folder with its arguments and `moreArgs`, the stub's parameters
  // and the run's switches, found the run's atom and completed; the stub
  // passed its exit code on and removed its folder and the atom.
  void ExpectCompletedRun(const SetupProcess& run, const std::string& package, const std::string& params,
                          DWORD exitCode, int showWindow, const std::vector<std::string>& extra = {},
                          const std::string& moreArgs = "") const {
    const std::string folder = run.ExtractionFolder();
    EXPECT_EQ(run.ExitCode(), exitCode);
    ASSERT_TRUE(Recorded()) << "the setup program did not run";
    Record record = ReadRecord();
    std::string expected = "\"" + folder + "\\setup.exe\" " + StandinArgs() + moreArgs;
    if (!params.empty()) expected += " " + params;
    expected += " /TH_ID=" + run.Token() + " /OriginExe=\"" + package + "\"";
    EXPECT_EQ(record["CommandLine"], expected);
    EXPECT_STRCASEEQ(record["ExeDir"].c_str(), folder.c_str());
    EXPECT_EQ(record["Token"], run.Token());
    EXPECT_EQ(record["AtomFound"], "1");
    EXPECT_EQ(record["ShowWindow"], std::to_string(showWindow));
    EXPECT_EQ(record["Completed"], "1");
    EXPECT_EQ(record["Copied"], std::to_string(inputs_.size() + extra.size()));
    ExpectInstalled(extra);
    EXPECT_FALSE(PathExists(folder)) << folder;
    EXPECT_EQ(::GlobalFindAtomA((kAtomPrefix + run.Token()).c_str()), 0);
  }

  std::string stub_, standin_;
  ScratchDir dir_;
  std::vector<Input> inputs_;
  pack::BuildReport report_;
};

}  // namespace tarnix::test
