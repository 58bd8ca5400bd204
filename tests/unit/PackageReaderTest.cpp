// The package reader against packages assembled byte by byte here, so every
// field and every damaged length is under the test's control.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <string>

#include "Utils/InFile.h"
#include "package/FileBlocks.h"
#include "package/TGFileInfo.h"
#include "package/Token.h"

namespace tarnix {
namespace {

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  StoreU32(reinterpret_cast<unsigned char*>(s.data()), v);
  return s;
}

std::string FakeStub(size_t size = 1024) {
  std::string s(size, '\0');
  s[0] = 'M';
  s[1] = 'Z';
  s[256] = 'P';
  s[257] = 'E';
  return s;
}

std::string Zlib(std::string_view plain) {
  uLongf n = compressBound(static_cast<uLong>(plain.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(plain.data()),
            static_cast<uLong>(plain.size()), 6);
  out.resize(n);
  return out;
}

std::string CompressedBlock(std::string_view plain) {
  std::string z = Zlib(plain);
  return U32(static_cast<uint32_t>(z.size())) + z;
}

std::string StoredBlock(std::string_view plain) {
  return U32(static_cast<uint32_t>(-static_cast<int32_t>(plain.size()))) + std::string(plain);
}

std::string Header(std::string_view b) { return U32(static_cast<uint32_t>(b.size())) + std::string(b); }

struct Built {
  std::string bytes;
  uint64_t fileBlocksAt = 0;
};

// A stub with the package appended; the end-of-package field is set when
// asked, as the builder does.
Built BuildPackage(const std::vector<std::string>& headers, const std::vector<std::string>& blocks,
                   PackageTrailer t, bool setEndField = true, std::string prefix = FakeStub()) {
  Built b;
  b.bytes = std::move(prefix);
  t.PackageStart = static_cast<uint32_t>(b.bytes.size());
  t.Magic = kPackageMagic;
  t.TrailerSize = kTrailerSize;
  t.FileBlockCount = static_cast<uint32_t>(blocks.size());
  for (const auto& h : headers) b.bytes += Header(h);
  b.fileBlocksAt = b.bytes.size();
  for (const auto& blk : blocks) b.bytes += blk;
  auto raw = EncodeTrailer(t);
  b.bytes.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  if (setEndField && b.bytes.size() > 256) {
    std::string end = U32(0) + U32(static_cast<uint32_t>(b.bytes.size()));
    b.bytes.replace(kEndOfPackageFieldOffset, 8, end);
  }
  return b;
}

const std::string kSettings = "|http://example.test/upd|C:\\dir\\Product.v2.info|Agent.exe|" + ScrambleToken("secret", 7) + "|1|";
const std::string kDownload = "|http://example.test/dl|Full.exe|1|" + ScrambleToken("dl-token", 9) + "|123456|";

TEST(TrailerTest, LayoutRoundTrips) {
  PackageTrailer t{};
  t.HeaderBlockCount = 3;
  t.PackageStart = 0x01020304;
  t.Checksum = 0xA1B2C3D4;
  t.SpaceByCluster[8] = 99;
  t.Options = kAgentLog | kMoreDisks;
  t.IsAgent = 1;
  t.TrailerSize = 74;
  auto raw = EncodeTrailer(t);
  EXPECT_EQ(raw[4], 0x04);  // little-endian on every host
  EXPECT_EQ(raw[7], 0x01);
  EXPECT_EQ(raw[65], kAgentLog | kMoreDisks);
  EXPECT_EQ(raw[69], 1);
  PackageTrailer back{};
  DecodeTrailer(raw.data(), raw.size(), back);
  EXPECT_EQ(0, std::memcmp(&back, &t, sizeof t));
}

TEST(TrailerTest, SpaceIndexFollowsClusterSize) {
  struct Case {
    uint32_t cluster;
    size_t index;
  } cases[] = {{0, 0}, {128, 0}, {256, 0}, {511, 0}, {512, 1}, {4096, 4}, {65536, 8}, {131072, 8}};
  for (const auto& c : cases) EXPECT_EQ(SpaceIndexForCluster(c.cluster), c.index) << c.cluster;
}

TEST(ReaderTest, ReadsHeaderBlocksFlagsAndItems) {
  PackageTrailer t{};
  t.HeaderBlockCount = 3;
  t.Options = kShowTempSpaceInfo | kCdSpanning | kShowActivityBar | kAgentLog;
  t.DownloadSetup = 1;
  t.ConfirmDownload = 1;
  t.CreateAgent = 1;
  t.IsAgent = 1;
  for (size_t i = 0; i < kClusterSizeCount; ++i) t.SpaceByCluster[i] = 1000 * uint32_t(i + 1);
  auto pkg = BuildPackage({"\x02\x01" "English\x01s0=Hi\x01\x02", kSettings, kDownload}, {StoredBlock("|a|1|")}, t);
  auto file = MemoryInFile(pkg.bytes);
  TGFileInfo r(*file);

  ASSERT_TRUE(r.HasPackage());
  EXPECT_TRUE(r.Fault().empty());
  EXPECT_EQ(r.FileBlocksStart(), pkg.fileBlocksAt);
  EXPECT_EQ(uint32_t{r.Trailer().PackageStart}, pkg.fileBlocksAt);
  EXPECT_TRUE(r.ShowTempSpaceInfo() && r.CdSpanning() && r.ShowActivityBar() && r.AgentLog());
  EXPECT_FALSE(r.MoreDisks());
  EXPECT_TRUE(r.DownloadSetup() && r.ConfirmDownload() && r.CreateAgent() && r.IsAgent());
  EXPECT_EQ(r.UpdateLocation(), "http://example.test/upd");
  EXPECT_EQ(r.InfoFileName(), "Product.v2.info");
  EXPECT_EQ(r.OriginalFileName(), "Product.original");
  EXPECT_EQ(r.AgentExeName(), "Agent.exe");
  EXPECT_EQ(r.SettingsToken(true), "secret");
  EXPECT_NE(r.SettingsToken(false), "secret");
  EXPECT_TRUE(r.Silent());
  EXPECT_EQ(r.DownloadLocation(), "http://example.test/dl");
  EXPECT_EQ(r.DownloadFileName(), "Full.exe");
  EXPECT_TRUE(r.AlwaysDownload());
  EXPECT_EQ(r.DownloadToken(true), "dl-token");
  EXPECT_EQ(r.DownloadSize(), "123456");
  EXPECT_EQ(r.SpaceRequired("x", [](const std::string&) { return 4096u; }), 5000.0);
  EXPECT_EQ(r.SpaceRequired("x", [](const std::string&) { return 0u; }), 1000.0);
}

TEST(ReaderTest, HeaderBlockCountZeroReadsTwoBlocks) {
  PackageTrailer t{};
  t.HeaderBlockCount = 0;
  auto pkg = BuildPackage({"\x02\x01" "English\x01\x02", kSettings}, {StoredBlock("|a|1|")}, t);
  auto file = MemoryInFile(pkg.bytes);
  TGFileInfo r(*file);
  EXPECT_EQ(r.Trailer().HeaderBlockCount, 2);
  EXPECT_EQ(r.AgentExeName(), "Agent.exe");
  EXPECT_TRUE(r.DownloadBlock().empty());
  EXPECT_EQ(r.FileBlocksStart(), pkg.fileBlocksAt);
}

TEST(ReaderTest, SignatureAfterEndOfPackageIsIgnored) {
  auto pkg = BuildPackage({"\x02\x02", kSettings}, {StoredBlock("|a|1|x")}, PackageTrailer{});
  std::string signedBytes = pkg.bytes + std::string(2048, '\x5A');
  auto plain = MemoryInFile(pkg.bytes);
  auto signedFile = MemoryInFile(signedBytes);
  TGFileInfo a(*plain), b(*signedFile);
  ASSERT_TRUE(b.HasPackage());
  EXPECT_EQ(0, std::memcmp(&a.Trailer(), &b.Trailer(), sizeof(PackageTrailer)));
  EXPECT_EQ(a.SettingsBlock(), b.SettingsBlock());
  EXPECT_EQ(b.PackageEndOffset(), pkg.bytes.size());

  // Without the field, the signature's last bytes are taken as the trailer
  // size and no package is found.
  std::string unmarked = signedBytes;
  unmarked.replace(kEndOfPackageFieldOffset, 8, std::string(8, '\0'));
  auto f = MemoryInFile(unmarked);
  EXPECT_FALSE(TGFileInfo(*f).HasPackage());
}

TEST(ReaderTest, SecondDiskIsReadFromItsPhysicalEnd) {
  // No image: bytes 248..255 are block data that happen to be non-zero.
  std::string blockData(300, '\x7F');
  auto pkg = BuildPackage({}, {StoredBlock("|big|1|" + std::string(1, '\0') + blockData)}, PackageTrailer{}, false,
                          std::string());
  auto file = MemoryInFile(pkg.bytes);
  PackageTrailer t;
  ASSERT_TRUE(ReadTrailer(*file, t));
  EXPECT_EQ(uint32_t{t.Magic}, kPackageMagic);
  EXPECT_EQ(PackageEnd(*file), pkg.bytes.size());
}

TEST(ReaderTest, TrailerSizeVariants) {
  auto pkg = BuildPackage({"\x02\x02", kSettings}, {}, PackageTrailer{}, false);
  // A smaller trailer size reads S - 4 bytes and leaves the rest zero: with
  // S = 16 only reserved bytes, PackageStart and FileBlockCount are read.
  std::string small = pkg.bytes.substr(0, pkg.bytes.size() - kTrailerSize);
  auto raw = pkg.bytes.substr(pkg.bytes.size() - kTrailerSize, 12);
  small += raw + U32(16);
  auto f = MemoryInFile(small);
  PackageTrailer t;
  ASSERT_TRUE(ReadTrailer(*f, t));
  EXPECT_EQ(uint32_t{t.TrailerSize}, 16u);
  EXPECT_EQ(uint32_t{t.Magic}, 0u);
  EXPECT_EQ(t.HeaderBlockCount, 2);
}

// Damaged packages: every variant must give an empty reader or a fault,
// never a read past the data or a huge allocation.
TEST(ReaderTest, DamagedPackagesAreRejected) {
  auto pkg = BuildPackage({"\x02\x02", kSettings}, {StoredBlock("|a|1|")}, PackageTrailer{});
  const size_t trailerAt = pkg.bytes.size() - kTrailerSize;
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"trailer size beyond file", [&](std::string& s) { s.replace(s.size() - 4, 4, U32(0x7FFFFFFF)); }},
      {"trailer size below 4", [&](std::string& s) { s.replace(s.size() - 4, 4, U32(2)); }},
      {"end field past file", [&](std::string& s) { s.replace(252, 4, U32(uint32_t(s.size() + 100))); }},
      {"end field tiny", [&](std::string& s) { s.replace(252, 4, U32(3)); }},
      {"end field high half", [&](std::string& s) { s.replace(248, 4, U32(1)); }},
      {"PackageStart past end", [&](std::string& s) { s.replace(trailerAt + 4, 4, U32(0xFFFFFFF0)); }},
      {"header length huge", [&](std::string& s) { s.replace(1024, 4, U32(0xFFFFFFFF)); }},
      {"header length into trailer", [&](std::string& s) { s.replace(1024, 4, U32(uint32_t(s.size() - 1028 - 10))); }},
      {"truncated", [&](std::string& s) { s.resize(s.size() / 2); }},
      {"empty", [&](std::string& s) { s.clear(); }},
      {"three bytes", [&](std::string& s) { s = "MZ\x01"; }},
  };
  for (const auto& c : cases) {
    std::string bytes = pkg.bytes;
    c.damage(bytes);
    auto f = MemoryInFile(bytes);
    TGFileInfo r(*f);
    EXPECT_TRUE(!r.HasPackage() || !r.Fault().empty()) << c.what;
    EXPECT_TRUE(r.SettingsBlock().empty()) << c.what;
  }
}

TEST(ReaderTest, FileWithoutPackageHasNoFlags) {
  // A bare stub whose last four bytes happen to read as a small trailer size:
  // the bytes before them form a "trailer" with every flag byte set.
  std::string bytes = FakeStub(2048);
  std::string fake(kTrailerSize, '\xFF');
  fake.replace(kTrailerSize - 4, 4, U32(kTrailerSize));
  bytes.replace(bytes.size() - kTrailerSize, kTrailerSize, fake);
  auto file = MemoryInFile(bytes);
  TGFileInfo r(*file);
  ASSERT_FALSE(r.HasPackage());
  EXPECT_EQ(r.Trailer().IsAgent, 0xFF);  // read as found
  EXPECT_FALSE(r.IsAgent() || r.AgentLog() || r.CdSpanning() || r.MoreDisks() || r.ShowTempSpaceInfo() ||
               r.ShowActivityBar() || r.DownloadSetup() || r.ConfirmDownload() || r.CreateAgent());
}

TEST(ReaderTest, MissingFileGivesEmptyReader) {
  TGFileInfo r("/nonexistent/dir/setup.exe");
  EXPECT_FALSE(r.HasPackage());
  EXPECT_FALSE(r.IsAgent());
  EXPECT_EQ(r.AgentExeName(), "");
  EXPECT_EQ(r.SpaceRequired("x", [](const std::string&) { return 4096u; }), 0.0);
}

TEST(BlockWalkerTest, WalksCompressedStoredAndEmptyBlocks) {
  std::string data(100000, 'q');
  std::vector<std::string> blocks = {CompressedBlock("|big.bin|12345|" + std::string(1, '\0') + data),
                                     StoredBlock("|setup.exe* /x|7|" + std::string(1, '\0') + "MZ"),
                                     StoredBlock(""), StoredBlock("no separator")};
  auto pkg = BuildPackage({"\x02\x02", kSettings}, blocks, PackageTrailer{});
  auto file = MemoryInFile(pkg.bytes);
  TGFileInfo r(*file);
  BlockWalker walker(*file, r.FileBlocksStart(), r.PackageEndOffset(), r.Trailer().TrailerSize);
  std::vector<FileBlock> decoded;
  RawBlock raw;
  while (walker.More()) {
    ASSERT_TRUE(walker.Next(raw)) << walker.Fault();
    FileBlock fb;
    std::string error;
    ASSERT_TRUE(DecodeFileBlock(raw, fb, error)) << error;
    decoded.push_back(std::move(fb));
  }
  ASSERT_EQ(decoded.size(), 4u);
  EXPECT_EQ(decoded[0].name, "big.bin");
  EXPECT_EQ(decoded[0].stamp, 12345u);
  EXPECT_EQ(decoded[0].data(), data);
  EXPECT_TRUE(decoded[1].IsSetupEntry());
  EXPECT_EQ(decoded[1].FileName(), "setup.exe");
  EXPECT_EQ(decoded[1].data(), "MZ");
  EXPECT_TRUE(decoded[2].header.empty());
  EXPECT_TRUE(decoded[3].header.empty());
}

TEST(BlockWalkerTest, DamagedBlocksFaultWithoutReadingPastTheDisk) {
  struct Case {
    const char* what;
    std::string block;
    bool walkFails;
  } cases[] = {
      {"length past end", U32(0x00FFFFFF) + "abc", true},
      {"negative length past end", U32(0x80000000) + "abc", true},
      {"corrupt zlib", U32(6) + "\x78\x9c\xff\xff\xff\xff", false},
      {"truncated zlib", [] { std::string z = Zlib("|a|1|" + std::string(1, '\0') + std::string(5000, 'x'));
                              z.resize(z.size() / 2); return U32(uint32_t(z.size())) + z; }(), false},
  };
  for (const auto& c : cases) {
    auto pkg = BuildPackage({"\x02\x02", kSettings}, {c.block}, PackageTrailer{});
    auto file = MemoryInFile(pkg.bytes);
    TGFileInfo r(*file);
    BlockWalker walker(*file, r.FileBlocksStart(), r.PackageEndOffset(), r.Trailer().TrailerSize);
    ASSERT_TRUE(walker.More()) << c.what;
    RawBlock raw;
    bool read = walker.Next(raw);
    EXPECT_EQ(read, !c.walkFails) << c.what;
    if (!read) {
      EXPECT_FALSE(walker.Fault().empty());
      EXPECT_FALSE(walker.More());
      continue;
    }
    FileBlock fb;
    std::string error;
    EXPECT_FALSE(DecodeFileBlock(raw, fb, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(InflateTest, OutputIsBounded) {
  std::string bomb = Zlib(std::string(1 << 20, '\0'));
  std::string out, error;
  ASSERT_TRUE(Inflate(bomb, out, error));
  EXPECT_EQ(out.size(), size_t(1) << 20);
  EXPECT_FALSE(Inflate(bomb, out, error, {}, 1000));
  EXPECT_EQ(error, "block larger than 1000 bytes");
}

TEST(ChecksumTest, SmallDiskIsSummedLargeIsNot) {
  auto pkg = BuildPackage({"\x02\x02", kSettings}, {StoredBlock("|a|1|" + std::string(1, '\0') + "data")},
                          PackageTrailer{}, false, std::string());
  auto file = MemoryInFile(pkg.bytes);
  uint32_t sum = PackageChecksum(*file, kTrailerSize);
  EXPECT_NE(sum, kUncheckedChecksum);

  // Flipping a byte inside the summed range changes the sum.
  std::string changed = pkg.bytes;
  changed[10] ^= 0x40;
  auto f2 = MemoryInFile(changed);
  EXPECT_NE(PackageChecksum(*f2, kTrailerSize), sum);

  auto big = MemoryInFile(std::string(kChecksumMaxFileSize + 1, 'x'));
  EXPECT_EQ(PackageChecksum(*big, kTrailerSize), kUncheckedChecksum);

  EXPECT_TRUE(ChecksumAccepted(5, 5));
  EXPECT_TRUE(ChecksumAccepted(kUncheckedChecksum, 5));
  EXPECT_TRUE(ChecksumAccepted(5, kUncheckedChecksum));
  EXPECT_FALSE(ChecksumAccepted(5, 6));
}

TEST(ChecksumTest, SumFollowsTheWordRule) {
  // Words 1..4 then a 4-byte "trailer": R starts at 16 and drops by 4 before
  // each word is looked at, so only words 1 and 2 (R = 12, 8) are added; R
  // is no longer above 4 after the read, so no 1234 is added either.
  std::string bytes = U32(1) + U32(2) + U32(3) + U32(4) + U32(4);
  auto f = MemoryInFile(bytes);
  EXPECT_EQ(PackageChecksum(*f, 4), 1u + 2u);
}

TEST(TokenTest, ScrambledTokensRoundTrip) {
  for (const std::string& clear : std::vector<std::string>{"", "a", "secret", std::string(200, 'z'), std::string("\x01\xff|x", 4)}) {
    for (uint32_t seed : {1u, 2u, 99u}) {
      std::string stored = ScrambleToken(clear, seed);
      EXPECT_EQ(Descramble(stored), clear) << seed;
    }
  }
}

// The builder sizes its disks with this bound before it scrambles.
TEST(TokenTest, NoScrambledTokenIsLongerThanTheBound) {
  for (const size_t clearSize : {size_t{0}, size_t{6}, size_t{200}}) {
    const std::string clear(clearSize, 'k');
    size_t longest = 0;
    for (uint32_t seed = 1; seed <= 2000; ++seed) longest = std::max(longest, ScrambleToken(clear, seed).size());
    EXPECT_EQ(longest, MaxScrambledTokenSize(clearSize)) << clearSize;
  }
}

TEST(TokenTest, DamagedTokensNeverMatch) {
  std::string stored = ScrambleToken("secret", 5);
  std::string damaged = stored;
  damaged[6] = damaged[6] == 'b' ? 'c' : 'b';
  for (std::string_view bad : {std::string_view(damaged), std::string_view("bbbb"), std::string_view(""),
                               std::string_view("zzzzzzzzzzzz"), std::string_view(stored).substr(0, 10)}) {
    std::string a = Descramble(bad);
    EXPECT_NE(a, "secret");
    EXPECT_LE(std::stoll(a), 99998);
  }
}

TEST(TokenTest, SameDownloadTokenComparesClearTexts) {
  auto make = [](const std::string& token, uint32_t seed) {
    PackageTrailer t{};
    t.HeaderBlockCount = 3;
    return BuildPackage({"\x02\x02", kSettings, "|l|f|0|" + ScrambleToken(token, seed) + "|1|"}, {}, t).bytes;
  };
  auto a = MemoryInFile(make("tok", 1)), b = MemoryInFile(make("tok", 2)), c = MemoryInFile(make("other", 1));
  TGFileInfo ra(*a), rb(*b), rc(*c);
  EXPECT_TRUE(ra.SameDownloadToken(rb));
  EXPECT_FALSE(ra.SameDownloadToken(rc));
}

TEST(FileNameTest, OnlyPlainNamesArePlain) {
  struct Case {
    const char* name;
    bool plain;
  } cases[] = {{"setup.exe", true},   {"00012#data.bin", true}, {"a b.txt", true},  {"..", false},
               {".", false},          {"..\\x", false},         {"a/b", false},     {"C:x", false},
               {"CON", false},        {"nul.txt", false},       {"com1", false},    {"lpt9.dat", false},
               {"console.txt", true}, {"", false},              {"x.", false},      {"tab\there", false},
               {"what?", false},      {"a*b", false}};
  for (const auto& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
}

}  // namespace
}  // namespace tarnix
