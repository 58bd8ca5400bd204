// A user runs a setup: the stub extracts its package into the temp folder,
// asks what it must ask, starts the stand-in setup program with the run's
// switches and atom, passes its exit code on and cleans up. Every test
// builds its own package and runs it as a separate process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "DebugTestSupport.h"
#include "PackageBuilder.h"
#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"
#include "package/FileBlocks.h"
#include "package/LanguageDefaults.h"
#include "package/PackageFormat.h"
#include "package/TGFileInfo.h"
#include "win/support/PlantedLibraries.h"
#include "win/support/SetupFixture.h"
#include "win/support/SetupProcess.h"

namespace tarnix {
namespace {

using test::kAtomPrefix;
using test::kHidden;
using test::kShown;
using test::PackedStamp;
using test::PathExists;
using test::SeenBox;
using test::SetupProcess;
using test::WriteBytes;

void FlipBytes(const std::string& path, uint64_t offset, size_t count) {
  std::string bytes = test::ReadWholeFile(path);
  ASSERT_LE(offset + count, bytes.size()) << path;
  for (size_t i = 0; i < count; ++i) bytes[offset + i] = static_cast<char>(bytes[offset + i] ^ 0x5A);
  ASSERT_TRUE(WriteBytes(path, bytes)) << path;
}

// The offset of the first byte of the named file's block number `index`
// (counted from 0).
uint64_t BlockOf(const std::string& package, const std::string& name, size_t& length, int index = 0) {
  auto file = OpenInFile(package);
  TGFileInfo info(*file);
  BlockWalker walker(*file, info.FileBlocksStart(), info.PackageEndOffset(), info.Trailer().TrailerSize);
  RawBlock raw;
  while (walker.More() && walker.Next(raw)) {
    FileBlock block;
    std::string error;
    if (DecodeFileBlock(raw, block, error) && block.FileName() == name && index-- == 0) {
      length = raw.bytes.size();
      return raw.offset + 4;
    }
  }
  ADD_FAILURE() << "no block of " << name << " in " << package;
  length = 0;
  return 0;
}

// The megabyte figure of the temp-space question.
std::string Megabytes(double bytes) {
  const double mb = bytes / 1048576.0;
  char text[32];
  std::snprintf(text, sizeof text, mb > 10 ? "%.1f" : mb >= 1 ? "%.2f" : "%.3f", mb);
  return text;
}

uint32_t ClusterSizeOf(const std::string& path) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  const std::string root = path.substr(0, 3);
  if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return 0;
  return sectorsPerCluster * bytesPerSector;
}

// ForcePrompt in the stub's span-disk key for the life of the object.
class ForcePromptOn {
 public:
  ForcePromptOn() {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      ADD_FAILURE() << "cannot open " << kKey;
      return;
    }
    key_.reset(key);
    char old[64] = {};
    DWORD size = sizeof old - 1, type = 0;
    hadValue_ = ::RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
    old_ = old;
    EXPECT_EQ(::RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);
  }
  ~ForcePromptOn() {
    if (!key_) return;
    if (hadValue_)
      ::RegSetValueExA(key_.get(), kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                       static_cast<DWORD>(old_.size() + 1));
    else
      ::RegDeleteValueA(key_.get(), kValue);
  }
  ForcePromptOn(const ForcePromptOn&) = delete;
  ForcePromptOn& operator=(const ForcePromptOn&) = delete;

 private:
  static constexpr char kKey[] = "Software\\Halvorin\\Tarnix\\SpanDisk";
  static constexpr char kValue[] = "ForcePrompt";
  UniqueHKey key_;
  bool hadValue_ = false;
  std::string old_;
};

class SetupModeTest : public test::SetupFixture {
 protected:
  SetupModeTest() : SetupFixture(Inputs()) {}
  explicit SetupModeTest(std::vector<Input> inputs) : SetupFixture(std::move(inputs)) {}

  // Runs to the end and tells whether `name` appeared in the extraction
  // folder meanwhile: the stub keeps its files there for over a second.
  bool FinishSeeing(SetupProcess& run, const std::string& name) {
    return run.FinishSeeing(run.ExtractionFolder() + "\\" + name);
  }

  // Bytes that do not compress, text that does, an empty file and a name
  // with a space.
  static std::vector<Input> Inputs() {
    std::string text;
    while (text.size() < 20000) text += "Tarnix installs this line on every run. ";
    return {
        {"data.bin", test::RandomBytes(30000, 7), PackedStamp(2019, 1, 2, 3, 4, 6)},
        {"readme.txt", text, PackedStamp(2022, 12, 31, 12, 0, 0)},
        {"empty.txt", "", PackedStamp(2020, 2, 29, 23, 59, 58)},
        {"release notes.txt", "First release.\r\n", PackedStamp(2021, 6, 15, 10, 20, 30)},
    };
  }
};

// How the package lays out its files does not change what is installed.
struct Layout {
  const char* name;
  uint32_t blockSize;
  int level;
};
void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }

class SetupLayoutTest : public SetupModeTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(SetupLayoutTest, InstallsEveryFileAndPassesTheExitCodeOn) {
  pack::PackageSpec plan = Plan();
  plan.blockSize = GetParam().blockSize;
  plan.level = GetParam().level;
  const std::string package = Build(plan);
  if (GetParam().blockSize < inputs_[0].bytes.size()) {
    ASSERT_GT(report_.fileBlocks, plan.files.size());
  }

  // The stub's own parameters reach the setup program after its arguments.
  SetupProcess run(package, "/ExitCode=7");
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  ExpectCompletedRun(run, package, "/ExitCode=7", 7, kShown);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SetupLayoutTest,
                         ::testing::Values(Layout{"OneBlockPerFile", kDefaultBlockDataSize, 9},
                                           Layout{"FilesSplitOverBlocks", 4096, 9},
                                           Layout{"StoredBlocks", kDefaultBlockDataSize, 0},
                                           Layout{"StoredAndSplit", 4096, 0}),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

// The temp-space question: asked when the package says so, unless the run
// is silent; declining it extracts and starts nothing.
struct SpaceCase {
  const char* name;
  bool silentPackage;
  const char* params;
  const char* answer;  // nullptr: no question expected
  bool installs;
  int showWindow;
};
void PrintTo(const SpaceCase& c, std::ostream* os) { *os << c.name; }

class TempSpaceTest : public SetupModeTest, public ::testing::WithParamInterface<SpaceCase> {};

TEST_P(TempSpaceTest, QuestionAndAnswer) {
  const SpaceCase& c = GetParam();
  pack::PackageSpec plan = Plan();
  plan.options = kShowTempSpaceInfo;
  plan.silent = c.silentPackage;
  const std::string package = Build(plan);

  SetupProcess run(package, c.params, [&](const SeenBox&) { return std::string(c.answer ? c.answer : ""); });
  const std::string folder = run.ExtractionFolder();
  const bool extracted = FinishSeeing(run, "setup.exe");
  ASSERT_TRUE(run.Ended());
  EXPECT_EQ(extracted, c.installs);

  if (c.answer) {
    ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
    const SeenBox& box = run.Boxes()[0];
    EXPECT_EQ(box.title, "Confirm");
    const std::string drive = std::string(1, char(std::toupper(static_cast<unsigned char>(folder[0])))) + ":";
    const TGFileInfo info(package);
    const double required = info.Trailer().SpaceByCluster[SpaceIndexForCluster(ClusterSizeOf(folder))];
    const std::vector<std::string> parts = {
        "Tarnix will extract files to your Temp Drive (" + drive + ")",
        "Estimated space required on your Temp drive is:", "  " + Megabytes(required) + " MB",
        "Free space available on your Temp drive is:", "Continue with Setup?"};
    for (const std::string& part : parts) EXPECT_NE(box.text.find(part), std::string::npos) << part << "\n" << box.text;
  } else {
    EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  }

  if (c.installs) {
    ExpectCompletedRun(run, package, c.params, 0, c.showWindow);
  } else {
    ExpectNothingStarted(run);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TempSpaceTest,
    ::testing::Values(SpaceCase{"DeclinedStartsNothing", false, "", "No", false, kShown},
                      SpaceCase{"AcceptedInstalls", false, "", "Yes", true, kShown},
                      SpaceCase{"HideSwitchAsksNothingAndHidesTheSetup", false, "/hide", nullptr, true, kHidden},
                      SpaceCase{"SilentPackageAsksNothingAndHidesTheSetup", true, "", nullptr, true, kHidden}),
    [](const ::testing::TestParamInfo<SpaceCase>& info) { return std::string(info.param.name); });

// Packages spanned over disks of the stub's size and 64 KB more, with a
// file of random bytes larger than a disk: the first disk holds the stub and
// the start of the setup program, and large.bin runs over the last disks.
class SpannedPackageTest : public SetupModeTest {
 protected:
  SpannedPackageTest() : SetupModeTest(WithLargeFile()) {}

  // Builds with that disk size; no disk file may exceed it.
  std::string BuildSpanned(pack::PackageSpec plan) {
    plan.diskSize = std::filesystem::file_size(stub_) + 65536;
    const std::string package = Build(plan);
    for (const std::string& disk : report_.diskFiles)
      EXPECT_LE(std::filesystem::file_size(disk), plan.diskSize) << disk;
    return package;
  }

 private:
  // Random data for about two and a half disks after the first, whatever
  // the stub's own size, so that every case sees at least four disks.
  static std::vector<Input> WithLargeFile() {
    std::error_code error;
    const uintmax_t stubSize = std::filesystem::file_size(test::PathFromEnv("TARNIX_STUB_EXE"), error);
    const size_t large = error ? 1500000 : size_t(stubSize + 65536) * 5 / 2;
    std::vector<Input> inputs = Inputs();
    inputs.push_back({"large.bin", test::RandomBytes(large, 8), PackedStamp(2023, 4, 5, 6, 7, 8)});
    return inputs;
  }
};

// The stub reads on from the next disk file, and asks for a disk only when
// its file is missing or the registry forces the question.
struct DiskCase {
  const char* name;
  int level;
  bool removeLast;
  bool forcePrompt;
  const char* answer;
  bool installs;
};
void PrintTo(const DiskCase& c, std::ostream* os) { *os << c.name; }

class SpannedSetupTest : public SpannedPackageTest, public ::testing::WithParamInterface<DiskCase> {};

TEST_P(SpannedSetupTest, ReadsEveryDisk) {
  const DiskCase& c = GetParam();
  pack::PackageSpec plan = Plan();
  plan.level = c.level;
  const std::string package = BuildSpanned(plan);
  const std::vector<std::string> disks = report_.diskFiles;
  ASSERT_GE(disks.size(), 4u);
  const std::string last = disks.back();
  const std::string lastBytes = test::ReadWholeFile(last);
  if (c.removeLast) {
    ASSERT_TRUE(::DeleteFileA(last.c_str()));
  }

  std::vector<int> expectedPrompts;
  if (c.forcePrompt)
    for (int j = 2; j <= int(disks.size()); ++j) expectedPrompts.push_back(j);
  else if (c.removeLast)
    expectedPrompts.push_back(int(disks.size()));

  std::unique_ptr<ForcePromptOn> force;
  if (c.forcePrompt) force = std::make_unique<ForcePromptOn>();
  SetupProcess run(package, "", [&](const SeenBox&) {
    // The user inserts the disk before pressing OK.
    if (std::string(c.answer) == "OK" && !PathExists(last)) WriteBytes(last, lastBytes);
    return std::string(c.answer);
  });
  // Whatever happens to the last disk, the ones before it were read.
  EXPECT_TRUE(FinishSeeing(run, inputs_[inputs_.size() - 2].name));
  ASSERT_TRUE(run.Ended());
  force.reset();

  ASSERT_EQ(run.Boxes().size(), expectedPrompts.size()) << test::Describe(run.Boxes());
  for (size_t i = 0; i < expectedPrompts.size(); ++i) {
    const SeenBox& box = run.Boxes()[i];
    EXPECT_EQ(box.title, "Attention");
    const std::string prompt =
        "Please insert DISK #" + std::to_string(expectedPrompts[i]) + " and press OK to continue";
    EXPECT_NE(box.text.find(prompt), std::string::npos) << box.text;
  }
  if (c.installs) {
    ExpectCompletedRun(run, package, "", 0, kShown);
  } else {
    ExpectNothingStarted(run);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Disks, SpannedSetupTest,
    ::testing::Values(DiskCase{"AllPresentAsksNothing", 9, false, false, "OK", true},
                      DiskCase{"MissingDiskCancelledStartsNothing", 9, true, false, "Cancel", false},
                      DiskCase{"MissingDiskInsertedAtThePrompt", 9, true, false, "OK", true},
                      // Stored blocks: more disks, each cut exactly.
                      DiskCase{"ForcePromptAsksForEveryStoredDisk", 0, false, true, "OK", true}),
    [](const ::testing::TestParamInfo<DiskCase>& info) { return std::string(info.param.name); });

// A package that cannot be read whole: one error box, nothing started, the
// folder gone, and the stub ends on its own.
struct FaultCase {
  const char* name;
  bool spanned;
  uint32_t blockSize;
  // Damages the built package; returns extra parameters for the stub.
  std::function<std::string(const std::string& package, const std::vector<std::string>& disks,
                            const std::string& scratch)>
      damage;
  const char* fragment;       // in the box text; empty: any error box
  const char* writtenBefore;  // a file extracted before the fault; nullptr: none
  const char* neverWritten;   // a file behind the fault; nullptr: none
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class DamagedSetupTest : public SetupModeTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DamagedSetupTest, ShowsAnErrorAndStartsNothing) {
  const FaultCase& c = GetParam();
  pack::PackageSpec plan = Plan();
  if (c.spanned) {
    // The last 20 000 bytes go on a second disk, small enough to be summed.
    plan.diskSize = std::filesystem::file_size(Build(plan, "Whole.exe")) - 20000;
  }
  plan.blockSize = c.blockSize;
  const std::string package = Build(plan);
  const std::string params = c.damage(package, report_.diskFiles, dir_ / "");
  if (HasFatalFailure()) return;

  SetupProcess run(package, params);
  const std::string folder = run.ExtractionFolder() + "\\";
  const std::string written = c.writtenBefore ? c.writtenBefore : "setup.exe";
  bool writtenSeen = false, neverWrittenSeen = false;
  run.WaitUntil([&] {
    writtenSeen = writtenSeen || PathExists(folder + written);
    neverWrittenSeen = neverWrittenSeen || (c.neverWritten && PathExists(folder + c.neverWritten));
    return run.Ended();
  });
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(writtenSeen, c.writtenBefore != nullptr);
  EXPECT_FALSE(neverWrittenSeen) << c.neverWritten;
  ASSERT_GE(run.Boxes().size(), 1u) << "no error box";
  for (const SeenBox& box : run.Boxes()) EXPECT_EQ(box.title, "Error") << box.text;
  EXPECT_NE(run.Boxes()[0].text.find(c.fragment), std::string::npos) << run.Boxes()[0].text;
  ExpectNothingStarted(run);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DamagedSetupTest,
    ::testing::Values(
        // The stub alone makes a package too large to be summed, so only
        // the inflation of the damaged block can notice.
        FaultCase{"DamagedCompressedBlock", false, kDefaultBlockDataSize,
                  [](const std::string& package, const std::vector<std::string>&, const std::string&) {
                    size_t length = 0;
                    const uint64_t at = BlockOf(package, "readme.txt", length);
                    EXPECT_GT(length, 64u);
                    FlipBytes(package, at + length / 2, 16);
                    return std::string();
                  },
                  "", "setup.exe", nullptr},
        // Blocks behind the damaged one are inflating when it is reached;
        // none of them is written.
        FaultCase{"DamagedBlockAmongBlocksInFlight", false, 4096,
                  [](const std::string& package, const std::vector<std::string>&, const std::string&) {
                    size_t length = 0;
                    const uint64_t at = BlockOf(package, "data.bin", length, 3);
                    EXPECT_GT(length, 64u);
                    FlipBytes(package, at + length / 2, 16);
                    return std::string();
                  },
                  "", "data.bin", "readme.txt"},
        FaultCase{"ChecksumMismatchOnASmallDisk", true, kDefaultBlockDataSize,
                  [](const std::string&, const std::vector<std::string>& disks, const std::string&) {
                    EXPECT_LE(test::ReadWholeFile(disks[1]).size(), kChecksumMaxFileSize);
                    FlipBytes(disks[1], 100, 1);
                    return std::string();
                  },
                  "Bad CRC!", "setup.exe", nullptr},
        FaultCase{"FirstDiskMissing", false, kDefaultBlockDataSize,
                  [](const std::string&, const std::vector<std::string>&, const std::string& scratch) {
                    return "/SpanDiskFName1=" + scratch + "gone.exe.001";
                  },
                  "Bad CRC!", nullptr, nullptr}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(SetupModeTest, APackageWithoutASetupProgramStartsNothing) {
  const std::string package = Build(Plan("", false));
  SetupProcess run(package, "");
  EXPECT_TRUE(FinishSeeing(run, "readme.txt"));
  ASSERT_TRUE(run.Ended());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  ExpectNothingStarted(run);
}

TEST_F(SetupModeTest, ASecondStartWhileTheFirstRunsEndsAtOnce) {
  const std::string package = Build(Plan(" /DelayMs=8000"));
  SetupProcess first(package, "");
  // The setup program runs, and keeps its dialog up for a while.
  ASSERT_TRUE(first.WaitUntil([&] { return Recorded(); }));
  ASSERT_FALSE(first.Ended());
  // Its window, named by the executable's path, waits hidden meanwhile.
  const HWND window = ::FindWindowA(package.c_str(), nullptr);
  ASSERT_TRUE(window) << "no window of the class " << package;
  EXPECT_TRUE(test::PollUntil([&] { return !::IsWindowVisible(window); }, 5000));
  char title[128] = {};
  ::GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Tarnix Installation Suite");

  SetupProcess second(package, "");
  ASSERT_TRUE(second.Finish());
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(second.Boxes().empty()) << test::Describe(second.Boxes());
  EXPECT_FALSE(first.Ended()) << "the second start waited for the first one";

  ASSERT_TRUE(first.Finish());
  EXPECT_TRUE(first.Boxes().empty()) << test::Describe(first.Boxes());
  ExpectCompletedRun(first, package, "", 0, kShown, {}, " /DelayMs=8000");
}

// Closing the window ends the run, whether the close comes before the first
// block or while blocks are inflating ahead of the one being written.
struct CloseCase {
  const char* name;
  bool afterFirstFile;
  int smallFiles;
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class ClosingTest : public SetupModeTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingTest, ClosingTheWindowDuringExtractionEndsTheRun) {
  // Many small files make an extraction that lasts a while under Wine; large
  // ones keep blocks in flight.
  pack::PackageSpec plan = Plan();
  for (int i = 0; i < GetParam().smallFiles; ++i) {
    const std::string name = "small" + std::to_string(i) + ".txt";
    ASSERT_TRUE(test::WriteBytes(dir_ / ("in\\" + name), "piece " + std::to_string(i)));
    plan.files.push_back({name, dir_ / ("in\\" + name), 0, false, ""});
    if (GetParam().afterFirstFile && i % 200 == 0) {
      const std::string large = "large" + std::to_string(i) + ".bin";
      ASSERT_TRUE(test::WriteBytes(dir_ / ("in\\" + large), test::RandomBytes(3 << 20, i)));
      plan.files.push_back({large, dir_ / ("in\\" + large), 0, false, ""});
    }
  }
  const std::string package = Build(plan);
  SetupProcess run(package, "");
  const std::string first = run.ExtractionFolder() + "\\setup.exe";
  HWND window = nullptr;
  ASSERT_TRUE(run.WaitUntil([&] {
    window = ::FindWindowA(package.c_str(), nullptr);
    return window && ::IsWindowVisible(window) && (!GetParam().afterFirstFile || PathExists(first));
  }));
  // The first close only stops a download; the second one closes.
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.Finish());
  // Nothing is written into the removed folder, so no save failure shows.
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  ExpectNothingStarted(run);
}

INSTANTIATE_TEST_SUITE_P(Moments, ClosingTest,
                         ::testing::Values(CloseCase{"BeforeTheFirstBlock", false, 2000},
                                           CloseCase{"WithBlocksInFlight", true, 800}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST_F(SetupModeTest, RightToLeftLanguagesMirrorTheStatusLineAndTheActivityBar) {
  struct Case {
    const char* charset;
    int statusX;
    int activityX;
    bool rightToLeft;
  };
  for (const Case& c : {Case{"0", 70, 416, false}, Case{"177", 122, 70, true}}) {
    SCOPED_TRACE(c.charset);
    LanguageTexts texts = BuiltinEnglishTexts();
    for (auto& [key, value] : texts)
      if (key == "Charset") value = c.charset;
    pack::PackageSpec plan = Plan(" /DelayMs=1000");
    plan.languageRecords = {BuildLanguageRecord("English", texts)};
    const std::string package = Build(plan, std::string("Setup") + c.charset + ".exe");
    SetupProcess run(package, "");
    // While the setup program runs, the hidden window keeps its controls.
    ASSERT_TRUE(run.WaitUntil([&] { return Recorded(); }));
    const HWND window = ::FindWindowA(package.c_str(), nullptr);
    ASSERT_TRUE(window);
    const HWND status = ::FindWindowExA(window, nullptr, "Static", nullptr);
    ASSERT_TRUE(status);
    const auto position = [window](HWND child) {
      RECT rect{};
      ::GetWindowRect(child, &rect);
      POINT topLeft{rect.left, rect.top};
      ::ScreenToClient(window, &topLeft);
      return topLeft;
    };
    EXPECT_EQ(position(status).x, c.statusX);
    EXPECT_EQ(position(status).y, 20);
    // The main bar first, then the activity bar.
    const HWND mainBar = ::FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
    const HWND activityBar = ::FindWindowExA(window, mainBar, "msctls_progress32", nullptr);
    ASSERT_TRUE(mainBar && activityBar);
    EXPECT_EQ(position(mainBar).x, 70);
    EXPECT_EQ(position(mainBar).y, 38);
    EXPECT_EQ(position(activityBar).x, c.activityX);
    EXPECT_EQ(position(activityBar).y, 20);
    EXPECT_EQ((::GetWindowLongA(status, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0, c.rightToLeft);
    EXPECT_EQ((::GetWindowLongA(status, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT, c.rightToLeft);
    char text[128] = {};
    ::GetWindowTextA(status, text, sizeof text);
    EXPECT_STREQ(text, "Extracting Files...");
    ASSERT_TRUE(run.Finish());
    std::error_code ec;
    std::filesystem::remove(RecordPath(), ec);
    std::filesystem::remove_all(InstallDir(), ec);
  }
}

TEST_F(SpannedPackageTest, ACdSetRunsFromACopyInTheTempFolderThatRemovesItself) {
  pack::PackageSpec plan = Plan();
  plan.options = kCdSpanning;
  const std::string package = BuildSpanned(plan);
  ASSERT_GE(report_.diskFiles.size(), 3u);
  ASSERT_EQ(report_.diskFiles[1], package + ".001");
  // The launcher ends as soon as its copy runs; the copy does the setup.
  SetupProcess launcher(package, "/ExitCode=3");
  const std::string folder = launcher.ExtractionFolder();
  const std::string copy = folder + "\\Y_Setup.exe";
  ASSERT_TRUE(launcher.Finish());
  EXPECT_EQ(launcher.ExitCode(), 0u);
  EXPECT_TRUE(launcher.Boxes().empty()) << test::Describe(launcher.Boxes());
  ASSERT_TRUE(test::PollUntil([&] { return ReadRecord().count("Completed") > 0; }, test::kSetupTimeoutMs))
      << "the setup program did not run to its end";

  Record record = ReadRecord();
  const std::string& commandLine = record["CommandLine"];
  EXPECT_EQ(commandLine.find("/SpanDiskFName1="), std::string::npos) << commandLine;
  EXPECT_EQ(commandLine.find("/SpanCdLvl="), std::string::npos) << commandLine;
  EXPECT_NE(commandLine.find(" /ExitCode=3"), std::string::npos) << commandLine;
  // The setup program learns where the chain of copies started.
  const size_t origin = commandLine.find("/OriginExe=");
  ASSERT_NE(origin, std::string::npos) << commandLine;
  EXPECT_EQ(commandLine.find("/OriginExe=", origin + 1), std::string::npos) << commandLine;
  std::string originValue = commandLine.substr(origin + 11);
  if (!originValue.empty() && originValue[0] == '"') originValue.erase(0, 1);
  EXPECT_EQ(originValue.substr(0, package.size()), package) << commandLine;
  EXPECT_NE(originValue.substr(package.size(), 4), ".001") << commandLine;
  // The copy extracts into a folder of its own process, beside the one it
  // runs from.
  const std::string extracted = record["ExeDir"];
  EXPECT_EQ(UpperCase(extracted.substr(0, test::TempDir().size() + 6)), UpperCase(test::TempDir() + "SETUP_"))
      << extracted;
  EXPECT_STRCASENE(extracted.c_str(), folder.c_str());
  EXPECT_EQ(record["AtomFound"], "1");
  EXPECT_EQ(record["Completed"], "1");
  EXPECT_NE(commandLine.find(" /TH_ID=" + record["Token"]), std::string::npos) << commandLine;
  ExpectInstalled();

  // A batch file removes the copy and its folder once the copy has ended.
  EXPECT_TRUE(test::PollUntil([&] { return !PathExists(copy) && !PathExists(folder); }, 60000))
      << copy << (PathExists(copy) ? " stays" : " is gone but its folder stays");
  EXPECT_FALSE(PathExists(extracted)) << extracted;
  EXPECT_TRUE(test::PollUntil([&] { return test::SelfDeleteScriptsLeft(folder).empty(); }, 10000))
      << test::SelfDeleteScriptsLeft(folder);
}

TEST_F(SetupModeTest, AnInstallationThatDoesNotCompleteLeavesNoAtomBehind) {
  const std::string package = Build(Plan(" /KeepAtom /ExitCode=2"));
  SetupProcess run(package, "");
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  EXPECT_EQ(run.ExitCode(), 2u);
  Record record = ReadRecord();
  EXPECT_EQ(record["AtomFound"], "1");
  EXPECT_EQ(record["Completed"], "0");
  EXPECT_EQ(::GlobalFindAtomA((kAtomPrefix + run.Token()).c_str()), 0);
  EXPECT_FALSE(PathExists(run.ExtractionFolder()));
}

TEST_F(SetupModeTest, ASetupProgramThatCannotStartEndsTheRunWithCodeZero) {
  pack::PackageSpec plan = Plan("", false);
  for (pack::InputFile& f : plan.files) f.isSetup = f.name == "readme.txt";
  const std::string package = Build(plan);
  SetupProcess run(package, "");
  EXPECT_TRUE(FinishSeeing(run, "readme.txt"));
  ASSERT_TRUE(run.Ended());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  ExpectNothingStarted(run);
  EXPECT_EQ(::GlobalFindAtomA((kAtomPrefix + run.Token()).c_str()), 0);
}

// Two copies of one package (one stamp, as an agent and the setup that
// wrote it have) that run at the same time extract into folders of their
// own: neither deletes nor overwrites the other's running files.
TEST_F(SetupModeTest, TwoRunsAtOnceExtractIntoFoldersOfTheirOwn) {
  const std::string package = Build(Plan());
  const std::string second = dir_ / "out\\Second.exe";
  // The copy keeps the stamp.
  ASSERT_TRUE(::CopyFileA(package.c_str(), second.c_str(), FALSE));
  SetupProcess first(package, "/DelayMs=6000 /ExitCode=3");
  ASSERT_TRUE(first.WaitUntil([&] {
    return ::FindWindowA((".SDialog_Class_Name." + first.Token()).c_str(), nullptr) != nullptr;
  })) << "the first setup program did not come up";
  SetupProcess other(second, "/ExitCode=4");
  ASSERT_TRUE(other.Finish());
  ASSERT_TRUE(first.Finish());
  EXPECT_TRUE(other.Boxes().empty()) << test::Describe(other.Boxes());
  EXPECT_TRUE(first.Boxes().empty()) << test::Describe(first.Boxes());
  EXPECT_EQ(other.ExitCode(), 4u);
  EXPECT_EQ(first.ExitCode(), 3u);
  EXPECT_FALSE(PathExists(first.ExtractionFolder()));
  EXPECT_FALSE(PathExists(other.ExtractionFolder()));
}

// A setup program whose name holds a blank starts as itself, not as the
// program named by its first word that the package carries beside it.
TEST_F(SetupModeTest, ASetupNameWithABlankStartsThatProgramAndNoOther) {
  const std::string child = test::PathFromEnv("TARNIX_TEST_CHILD_EXE");
  ASSERT_FALSE(child.empty()) << "TARNIX_TEST_CHILD_EXE is not set";
  pack::PackageSpec plan = Plan("", false);
  plan.files.push_back({"Product Setup.exe", standin_, 0, true, StandinArgs() + " /ExitCode=6"});
  plan.files.push_back({"Product.exe", child, 0, false, ""});
  const std::string package = Build(plan);
  SetupProcess run(package, "");
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  EXPECT_EQ(run.ExitCode(), 6u);
  ASSERT_TRUE(Recorded()) << "the setup program did not run";
  EXPECT_EQ(ReadRecord()["CommandLine"].substr(0, 1), "\"");
}

// The agent copy among the extracted files, for the setup program to
// install: the stub and the package's header blocks, marked as an agent and
// read from its physical end, with the package's stamp.
TEST_F(SetupModeTest, ThePackageCanCarryAnAgentCopyForTheSetupToInstall) {
  pack::PackageSpec plan = Plan();
  plan.createAgent = true;
  plan.agentExeName = "Agent.exe";
  plan.updateLocation = "http://example.test/upd/";
  plan.infoFileName = "Product.info";
  const std::string package = Build(plan);
  SetupProcess run(package, "");
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  ExpectCompletedRun(run, package, "", 0, kShown, {"Agent.exe"});
  if (HasFatalFailure()) return;

  const std::string bytes = test::ReadWholeFile(package);
  const TGFileInfo info(package);
  std::string expected = bytes.substr(0, info.FileBlocksStart());
  expected.replace(252, 4, 4, '\0');
  std::string trailer = bytes.substr(bytes.size() - kTrailerSize);
  trailer[offsetof(PackageTrailer, IsAgent)] = 1;
  expected += trailer;
  const std::string agentPath = InstallDir() + "\\Agent.exe";
  EXPECT_TRUE(test::ReadWholeFile(agentPath) == expected);
  EXPECT_EQ(test::PackedStampOf(agentPath), test::PackedStampOf(package));
  const TGFileInfo agent(agentPath);
  EXPECT_TRUE(agent.IsAgent());
  EXPECT_EQ(agent.AgentExeName(), "Agent.exe");
}

// Libraries planted beside the setup, and carried in its package so that
// they also lie beside the setup program, are never loaded: a run with the
// temp-space question (which brings the message box and its rich-edit
// control up) goes as usual, and the stand-in installs the planted files
// like any other.
TEST_F(SetupModeTest, LibrariesPlantedBesideTheSetupAreNotLoaded) {
  test::PlantedLibraries planted(dir_ / "marks", {"Setup.exe"});
  pack::PackageSpec plan = Plan();
  plan.options = kShowTempSpaceInfo;
  for (const std::string& name : test::PlantedLibraryNames())
    plan.files.push_back({name, test::PlantedLibraries::MarkerLibrary(), 0, false, ""});
  const std::string package = Build(plan);
  test::PlantedLibraries::PlantIn(dir_ / "out");

  const test::BoxAnswer yes = [](const SeenBox&) { return std::string("Yes"); };
  SetupProcess run(package, "", yes, planted.Environment());
  EXPECT_TRUE(run.Finish());
  EXPECT_EQ(planted.Marks(), "");
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  EXPECT_EQ(run.Boxes()[0].title, "Confirm");
  ExpectCompletedRun(run, package, "", 0, kShown, test::PlantedLibraryNames());
}

}  // namespace
}  // namespace tarnix
