// Damaged and hostile packages: verify names every fault, extract stops
// where the stub stops and never writes outside its folder.
#include <gtest/gtest.h>

#include <ostream>

#include <zlib.h>

#include <functional>

#include "Fixtures.h"
#include "package/PackageFormat.h"
#include "package/TGFileInfo.h"
#include "package/Token.h"

namespace tarnix::pack::test {
namespace {

void FlipByte(const std::string& path, uint64_t offset) {
  std::string bytes = ReadFile(path);
  ASSERT_LT(offset, bytes.size());
  bytes[offset] = static_cast<char>(bytes[offset] ^ 0x5A);
  WriteFile(path, bytes);
}

void Truncate(const std::string& path, size_t bytes) {
  std::string content = ReadFile(path);
  ASSERT_GT(content.size(), bytes);
  content.resize(content.size() - bytes);
  WriteFile(path, content);
}

// The first file block of a disk that starts with one.
uint64_t FirstBlockOnDisk(const std::string& path) {
  PackageTrailer t;
  EXPECT_TRUE(ReadTrailer(path, t));
  return t.PackageStart;
}

struct Damage {
  const char* name;
  const char* packageLines;
  std::function<void(const std::string& package)> apply;
  const char* fragment;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const Damage& c, std::ostream* os) { *os << c.name; }

class DamageTest : public PackageTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamageTest, VerifyAndExtractReportIt) {
  const Damage& d = GetParam();
  ASSERT_EQ(Build(d.packageLines).code, 0);
  d.apply(Package());

  CliResult verify = RunCli({"verify", Package()});
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.out.find(d.fragment), std::string::npos) << verify.out;
  EXPECT_EQ(verify.out.find("sound"), std::string::npos);

  CliResult extract = RunCli({"extract", Package(), "-C", dir / "x"});
  EXPECT_EQ(extract.code, 1);
  EXPECT_NE(extract.err.find(d.fragment), std::string::npos) << extract.err;
}

constexpr const char* kSpanned = "BlockSize = 8192\nDiskSize = 16384";

INSTANTIATE_TEST_SUITE_P(
    Damages, DamageTest,
    ::testing::Values(
        // Small disks carry a real checksum.
        Damage{"ByteInSmallDisk", kSpanned,
               [](const std::string& p) {
                 const std::string disk = DiskFileName(p, 2);
                 FlipByte(disk, FirstBlockOnDisk(disk) + 100);
               },
               ".002: checksum"},
        // A large disk is not summed, so the block itself must fail.
        Damage{"ByteInLargeDisk", "BlockSize = 8192",
               [](const std::string& p) {
                 TGFileInfo info(p);
                 FlipByte(p, info.FileBlocksStart() + 4 + 500);
               },
               "does not inflate"},
        Damage{"BlockLengthPastTheEnd", "BlockSize = 8192",
               [](const std::string& p) {
                 TGFileInfo info(p);
                 std::string bytes = ReadFile(p);
                 StoreU32(reinterpret_cast<unsigned char*>(bytes.data() + info.FileBlocksStart()), 0x7FFFFFF0);
                 WriteFile(p, bytes);
               },
               "past the end of the disk"},
        Damage{"TruncatedDisk", kSpanned, [](const std::string& p) { Truncate(DiskFileName(p, 2), 30); },
               ".002: holds no package"},
        Damage{"TruncatedFirstDisk", "BlockSize = 8192", [](const std::string& p) { Truncate(p, 10); },
               "holds no package"},
        Damage{"MissingDisk", kSpanned, [](const std::string& p) { fs::remove(DiskFileName(p, 3)); },
               ".003: missing (disk 3)"},
        Damage{"MissingCdDiskOne", "CdSpanning = 1", [](const std::string& p) { fs::remove(p + ".001"); },
               ".001: missing (disk 1)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageTest, ExtractStopsAtTheDamagedDisk) {
  ASSERT_EQ(Build(kSpanned).code, 0);
  fs::remove(DiskFileName(Package(), 3));
  CliResult r = RunCli({"extract", Package(), "-C", dir / "x"});
  EXPECT_EQ(r.code, 1);
  // What came before the gap is written, as the stub leaves it.
  EXPECT_TRUE(fs::exists(dir.Path() / "x" / "data.bin"));
  EXPECT_FALSE(fs::exists(dir.Path() / "x" / "setup.exe"));
}

TEST_F(PackageTest, NoPackageAtAll) {
  for (const std::string& path : {dir / "stub.exe", dir / "nothing.exe"}) {
    CliResult inspect = RunCli({"inspect", path});
    EXPECT_EQ(inspect.code, 1);
    EXPECT_NE(inspect.err.find(path), std::string::npos) << inspect.err;
    EXPECT_EQ(RunCli({"verify", path}).code, 1);
    EXPECT_EQ(RunCli({"extract", path, "-C", dir / "x"}).code, 1);
  }
}

// A package assembled here byte by byte, since the builder refuses such
// names: blocks that would land outside the target folder.
class HostileNameTest : public ::testing::Test {
 protected:
  static std::string U32(uint32_t v) {
    std::string s(4, '\0');
    StoreU32(reinterpret_cast<unsigned char*>(s.data()), v);
    return s;
  }
  static std::string Stored(std::string_view plain) {
    return U32(static_cast<uint32_t>(-static_cast<int32_t>(plain.size()))) + std::string(plain);
  }
  static std::string Compressed(std::string_view plain) {
    uLongf n = compressBound(static_cast<uLong>(plain.size()));
    std::string z(n, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(plain.data()),
              static_cast<uLong>(plain.size()), 9);
    z.resize(n);
    return U32(static_cast<uint32_t>(n)) + z;
  }
  static std::string Block(std::string_view name, std::string_view data) {
    std::string block = "|";
    block += name;
    block += "|0|";
    block += '\0';
    block += data;
    return block;
  }

  void SetUp() override {
    const std::vector<std::string> blocks = {
        Stored(Block("good.txt", "fine")),         Stored(Block("..\\evil.txt", "bad")),
        Compressed(Block("..\\evil.txt", "bad")),  Compressed(Block("C:x", "bad")),
        Stored(Block("sub/dir.txt", "bad")),       Stored(Block("setup.exe* /s", "MZ")),
    };
    std::string bytes = FakeStubBytes();
    const std::string headers[] = {"\x02\x01" "English\x01s0=Hi\x01\x02",
                                   "||||" + ScrambleToken("t", 1) + "|0|"};
    PackageTrailer t{};
    t.Reserved0 = 1;
    t.HeaderBlockCount = 2;
    t.PackageStart = static_cast<uint32_t>(bytes.size());
    t.Magic = kPackageMagic;
    t.Checksum = kUncheckedChecksum;
    t.TrailerSize = kTrailerSize;
    t.FileBlockCount = static_cast<uint32_t>(blocks.size());
    for (const auto& h : headers) bytes += U32(static_cast<uint32_t>(h.size())) + h;
    for (const auto& b : blocks) bytes += b;
    auto raw = EncodeTrailer(t);
    bytes.append(reinterpret_cast<const char*>(raw.data()), raw.size());
    bytes.replace(kEndOfPackageFieldOffset, 8, U32(0) + U32(static_cast<uint32_t>(bytes.size())));
    WriteFile(dir.Path() / "hostile.exe", bytes);
  }

  TempDir dir;
};

TEST_F(HostileNameTest, ExtractRefusesNamesThatLeaveTheFolder) {
  const fs::path target = dir.Path() / "deep" / "target";
  CliResult r = RunCli({"extract", dir / "hostile.exe", "-C", target.string()});
  EXPECT_EQ(r.code, 1);
  for (const char* name : {"..\\evil.txt", "C:x", "sub/dir.txt"}) {
    const std::string quoted = std::string(1, '"').append(name).append(1, '"');
    const size_t first = r.err.find(quoted);
    EXPECT_NE(first, std::string::npos) << name << "\n" << r.err;
    EXPECT_EQ(r.err.find(quoted, first + 1), std::string::npos) << name << " reported twice\n" << r.err;
  }
  // Everything harmless is still written; nothing lands beside the folder.
  EXPECT_EQ(ReadFile(target / "good.txt"), "fine");
  EXPECT_EQ(ReadFile(target / "setup.exe"), "MZ");
  EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()), 1);
  EXPECT_NE(r.out.find("setup entry: setup.exe* /s"), std::string::npos) << r.out;
}

TEST_F(HostileNameTest, VerifyAndInspectNameThem) {
  CliResult verify = RunCli({"verify", dir / "hostile.exe"});
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.out.find("\"..\\evil.txt\" is not a plain file name"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("\"C:x\" is not a plain file name"), std::string::npos) << verify.out;
  EXPECT_EQ(verify.out.find("good.txt"), std::string::npos) << verify.out;

  CliResult inspect = RunCli({"inspect", dir / "hostile.exe", "--json"});
  EXPECT_EQ(inspect.code, 0) << inspect.err;
  EXPECT_TRUE(JsonHas(inspect.out, "name", "\"..\\\\evil.txt\""));
  EXPECT_EQ(JsonNumber(inspect.out, "blocks", inspect.out.find("\"name\": \"..\\\\evil.txt\"")), 2);
}

}  // namespace
}  // namespace tarnix::pack::test
