// Spanned packages keep every disk file within DiskSize: files larger than
// a disk are cut into blocks that fill each disk, stored or compressed, and
// still extract byte for byte. A disk size that cannot hold the first disk
// is refused with the smallest one that can.
#include <gtest/gtest.h>

#include <ostream>

#include "Fixtures.h"
#include "package/PackageFormat.h"
#include "package/TGFileInfo.h"

namespace tarnix::pack::test {
namespace {

// Text with the redundancy of prose, so that it compresses about 3:1.
std::string ProseText(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the",   "setup", "copies", "every", "file", "of",     "product",
                                       "into",  "its",   "folder", "and",   "then", "starts", "program",
                                       "after", "disk",  "asks",   "for",   "next", "user",   "a"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < size) {
    text += kWords[rng() % std::size(kWords)];
    text += rng() % 12 == 0 ? ".\n" : " ";
  }
  text.resize(size);
  return text;
}

// The smallest workable size that a refused DiskSize names.
uint64_t NamedSmallest(const std::string& error) {
  const std::string before = "need at least ";
  const size_t at = error.find(before);
  return at == std::string::npos ? 0 : std::stoull(error.substr(at + before.size()));
}

class SpannedPackageTest : public PackageTest {
 protected:
  void AddInput(const std::string& name, std::string bytes) {
    inputs.push_back({name, std::move(bytes), LocalTime(2023, 4, 5, 6, 7, 8)});
    WriteFile(dir.Path() / "in" / name, inputs.back().bytes);
    SetFileTime(dir.Path() / "in" / name, inputs.back().time);
  }

  // Every disk file at most `diskSize` bytes; all but the last one (and a CD
  // set's executable) filled to within `slack` bytes.
  void ExpectDisksWithin(uint64_t diskSize, uint64_t slack, bool cd) const {
    const auto disks = DiskFiles();
    for (size_t i = 0; i < disks.size(); ++i) {
      SCOPED_TRACE(disks[i]);
      const uint64_t size = fs::file_size(dir.Path() / "out" / disks[i]);
      EXPECT_LE(size, diskSize);
      const bool launcher = cd && i == 0;
      if (!launcher && i + 1 < disks.size()) {
        EXPECT_GE(size + slack, diskSize);
      }
    }
  }

  void ExpectSound() const {
    CliResult verify = RunCli({"verify", Package()});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_NE(verify.out.find("sound (" + std::to_string(DiskFiles().size()) + " disks"), std::string::npos)
        << verify.out;
  }
};

struct SpanCase {
  const char* name;
  int level;
  bool cd;
  uint64_t diskSize;
  const char* moreLines;
};
void PrintTo(const SpanCase& c, std::ostream* os) { *os << c.name; }

class DiskSizeTest : public SpannedPackageTest, public ::testing::WithParamInterface<SpanCase> {
 protected:
  void SetUp() override {
    SpannedPackageTest::SetUp();
    // Both larger than every disk below, the text even once compressed.
    AddInput("random.bin", RandomBytes(300000, 3));
    AddInput("text.txt", ProseText(900000, 4));
  }
};

TEST_P(DiskSizeTest, EveryDiskFitsAndTheFilesComeBackWhole) {
  const SpanCase& c = GetParam();
  const std::string lines = "Level = " + std::to_string(c.level) + "\nDiskSize = " + std::to_string(c.diskSize) +
                            "\nCdSpanning = " + (c.cd ? "1" : "0") + "\n" + c.moreLines;
  CliResult built = Build(lines);
  ASSERT_EQ(built.code, 0) << built.err;
  // A cut leaves at most 1/256 of the room unused, a file that cannot start
  // on the rest of a disk a few dozen bytes.
  ExpectDisksWithin(c.diskSize, std::max<uint64_t>(c.diskSize / 256, 64) + 64, c.cd);
  ASSERT_GE(DiskFiles().size(), 300000 / c.diskSize + (c.cd ? 2 : 1));
  ExpectSound();
  ExpectExtractsInputs();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DiskSizeTest,
    ::testing::Values(SpanCase{"StoredPlain", 0, false, 65536, ""},
                      SpanCase{"CompressedPlain", 9, false, 65536, ""},
                      SpanCase{"StoredCd", 0, true, 65536, ""},
                      SpanCase{"CompressedCd", 9, true, 65536, ""},
                      // Disks smaller than the blocks the builder plans for
                      // spanned packages: each block is cut more than once.
                      SpanCase{"FastLevelOnSmallDisks", 1, false, 20000, ""},
                      // Small blocks asked for: they stay that small.
                      SpanCase{"SmallBlocksAskedFor", 9, true, 65536, "BlockSize = 5000\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SmallestCase {
  const char* name;
  const char* packageLines;
  std::vector<std::string> files;  // packed in this order; empty: all
};
void PrintTo(const SmallestCase& c, std::ostream* os) { *os << c.name; }

class SmallestDiskSizeTest : public SpannedPackageTest, public ::testing::WithParamInterface<SmallestCase> {};

// The size named in the error is refused one byte smaller and builds a
// sound package as it stands, whatever the first file.
TEST_P(SmallestDiskSizeTest, TheNamedSizeIsTheSmallestThatBuilds) {
  const SmallestCase& c = GetParam();
  CliResult refused = Build(std::string(c.packageLines) + "\nDiskSize = 100", c.files);
  ASSERT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err.rfind(dir / "manifest.ini" + ": [Package] DiskSize: too small", 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << "one line: " << refused.err;
  EXPECT_TRUE(DiskFiles().empty());
  const uint64_t smallest = NamedSmallest(refused.err);
  ASSERT_GT(smallest, FakeStubBytes().size());

  CliResult below = Build(std::string(c.packageLines) + "\nDiskSize = " + std::to_string(smallest - 1), c.files);
  EXPECT_EQ(below.code, 1);
  EXPECT_EQ(NamedSmallest(below.err), smallest) << below.err;

  CliResult built = Build(std::string(c.packageLines) + "\nDiskSize = " + std::to_string(smallest), c.files);
  ASSERT_EQ(built.code, 0) << built.err;
  // The first disk takes a piece of the first file however large it is; a
  // later disk may end a few dozen bytes early when the next file's block
  // header does not fit.
  const bool cd = std::string(c.packageLines).find("CdSpanning = 1") != std::string::npos;
  ExpectDisksWithin(smallest, 100, cd);
  PackageTrailer first;
  ASSERT_TRUE(ReadTrailer(cd ? Package() + ".001" : Package(), first));
  EXPECT_GE(first.FileBlockCount, 1u);
  ExpectSound();
  ExpectExtractsInputs(c.files);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, SmallestDiskSizeTest,
    ::testing::Values(SmallestCase{"Stored", "Level = 0", {"setup.exe", "readme.txt", "empty.txt"}},
                      SmallestCase{"Compressed", "Level = 9", {"setup.exe", "readme.txt", "empty.txt"}},
                      SmallestCase{"EmptyFirstFile", "Level = 9", {"empty.txt", "setup.exe"}},
                      SmallestCase{"CdSet", "Level = 9\nCdSpanning = 1", {"setup.exe", "readme.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Disk numbers have three digits: a package that would need a thousandth
// disk file is refused, and nothing of it stays behind.
TEST_F(SpannedPackageTest, MoreThan999DisksAreRefused) {
  WriteFile(dir.Path() / "stub.exe", FakeStubBytes().substr(0, 512));
  CliResult probe = Build("Level = 0\nDiskSize = 100", {"setup.exe", "data.bin"});
  const uint64_t smallest = NamedSmallest(probe.err);
  ASSERT_GT(smallest, 0u) << probe.err;
  // No disk holds `smallest` bytes of data, so 999 disks cannot hold this.
  WriteFile(dir.Path() / "in" / "data.bin", RandomBytes(smallest * kMaxDiskNumber, 5));

  CliResult built = Build("Level = 0\nDiskSize = " + std::to_string(smallest), {"setup.exe", "data.bin"});
  EXPECT_EQ(built.code, 1);
  EXPECT_NE(built.err.find("[Package] DiskSize: the package needs more than 999 disk files"), std::string::npos)
      << built.err;
  EXPECT_TRUE(DiskFiles().empty());
}

}  // namespace
}  // namespace tarnix::pack::test
