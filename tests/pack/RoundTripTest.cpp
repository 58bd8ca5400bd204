// Packages built by the command line, read back through inspect, verify and
// extract in every layout the builder writes.
#include <gtest/gtest.h>

#include <ostream>

#include "Fixtures.h"
#include "Json.h"
#include "Utils/InFile.h"
#include "package/FileStamp.h"
#include "package/PackageFormat.h"
#include "package/TGFileInfo.h"

namespace tarnix::pack::test {
namespace {

struct Layout {
  const char* name;
  const char* packageLines;
  bool cd;
  bool spanned;
  size_t minDisks;  // disk files, the CD's executable included
  size_t maxDisks;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }

class LayoutTest : public PackageTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(LayoutTest, BuildInspectVerifyExtract) {
  const Layout& layout = GetParam();
  CliResult built = Build(layout.packageLines);
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_NE(built.out.find(" MB/s"), std::string::npos) << built.out;

  // OUT.exe, then (CD) OUT.exe.001, then .002, .003 ... without gaps.
  auto disks = DiskFiles();
  ASSERT_GE(disks.size(), layout.minDisks);
  ASSERT_LE(disks.size(), layout.maxDisks);
  EXPECT_EQ(disks[0], "OUT.exe");
  for (size_t i = 1; i < disks.size(); ++i) {
    const int number = static_cast<int>(layout.cd ? i : i + 1);
    EXPECT_EQ(disks[i], fs::path(DiskFileName("OUT.exe", number)).filename().string());
  }
  EXPECT_NE(built.out.find(std::to_string(disks.size()) + " disk file"), std::string::npos) << built.out;

  CliResult inspect = RunCli({"inspect", Package(), "--json"});
  ASSERT_EQ(inspect.code, 0) << inspect.err << inspect.out;
  const std::string& json = inspect.out;
  EXPECT_EQ(JsonNumber(json, "Magic"), static_cast<long long>(kPackageMagic));
  EXPECT_EQ(JsonNumber(json, "HeaderBlockCount"), 2);
  EXPECT_EQ(JsonNumber(json, "PackageStart"), 4096);
  EXPECT_EQ(JsonNumber(json, "TrailerSize"), 74);
  EXPECT_EQ(JsonNumber(json, "IsAgent"), 0);
  EXPECT_EQ(JsonNumber(json, "DownloadSetup"), 0);
  EXPECT_EQ((JsonNumber(json, "Options") & kCdSpanning) != 0, layout.cd);
  EXPECT_EQ((JsonNumber(json, "Options") & kMoreDisks) != 0, !layout.cd && disks.size() > 1);
  EXPECT_TRUE(JsonHas(json, "setup_entry", "\"setup.exe* /quiet\""));
  EXPECT_TRUE(JsonHas(json, "SettingsTokenClear", "\"s3cret\""));
  EXPECT_TRUE(JsonHas(json, "UpdateLocation", "\"http://example.test/upd/\""));
  EXPECT_TRUE(JsonHas(json, "name", "\"English\""));

  size_t listed = 0;
  for (size_t at = json.find("\"path\": "); at != std::string::npos; at = json.find("\"path\": ", at + 1)) ++listed;
  EXPECT_EQ(listed, disks.size());

  for (const auto& in : inputs) {
    SCOPED_TRACE(in.name);
    size_t at = json.find("\"name\": \"" + in.name + "\"");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(JsonNumber(json, "size", at), static_cast<long long>(in.bytes.size()));
    EXPECT_EQ(JsonNumber(json, "stamp", at), static_cast<long long>(DosStampFromTime(in.time)));
    const long long blocks = in.bytes.empty() ? 1 : (in.bytes.size() + kBlockSize - 1) / kBlockSize;
    // A disk that ends inside a block cuts it in two.
    if (layout.spanned) {
      EXPECT_GE(JsonNumber(json, "blocks", at), blocks);
    } else {
      EXPECT_EQ(JsonNumber(json, "blocks", at), blocks);
    }
  }

  CliResult text = RunCli({"inspect", Package()});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("Setup entry: setup.exe* /quiet"), std::string::npos);
  EXPECT_NE(text.out.find("HeaderBlockCount"), std::string::npos);

  CliResult verify = RunCli({"verify", Package()});
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_NE(verify.out.find("sound (" + std::to_string(disks.size()) + " disk"), std::string::npos) << verify.out;

  ExpectExtractsInputs();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LayoutTest,
    ::testing::Values(Layout{"Single", "BlockSize = 8192", false, false, 1, 1},
                      Layout{"Stored", "BlockSize = 8192\nLevel = 0", false, false, 1, 1},
                      Layout{"Spanned", "BlockSize = 8192\nDiskSize = 16384", false, true, 3, 20},
                      Layout{"StoredSpanned", "BlockSize = 8192\nDiskSize = 16384\nLevel = 0", false, true, 3, 20},
                      Layout{"CdSpanned", "BlockSize = 8192\nDiskSize = 16384\nCdSpanning = 1", true, true, 4, 20},
                      Layout{"CdSingle", "BlockSize = 8192\nCdSpanning = 1", true, false, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageTest, StoredPackageHoldsTheBytesAsTheyAre) {
  ASSERT_EQ(Build("Level = 0").code, 0);
  const std::string package = ReadFile(Package());
  for (const auto& in : inputs) {
    if (!in.bytes.empty()) {
      EXPECT_NE(package.find(in.bytes), std::string::npos) << in.name;
    }
  }
}

// A signature appended after the package end changes nothing for readers:
// the end-of-package field marks where the package stops, and the small
// package's real checksum still matches.
TEST_F(PackageTest, SignatureAfterThePackageReadsTheSame) {
  ASSERT_EQ(Build("", {"setup.exe", "readme.txt", "empty.txt"}).code, 0);
  CliResult before = RunCli({"inspect", Package(), "--json"});
  ASSERT_EQ(before.code, 0) << before.err;
  const long long checksum = JsonNumber(before.out, "Checksum");
  EXPECT_NE(checksum, static_cast<long long>(kUncheckedChecksum));
  EXPECT_GT(checksum, 0);

  std::string bytes = ReadFile(Package());
  const size_t packageEnd = bytes.size();
  ASSERT_LE(packageEnd + 2048, kChecksumMaxFileSize);
  WriteFile(Package(), bytes + RandomBytes(2048, 99));
  auto file = OpenInFile(Package());
  ASSERT_TRUE(file);
  EXPECT_EQ(PackageEnd(*file), static_cast<uint64_t>(packageEnd));

  CliResult after = RunCli({"inspect", Package(), "--json"});
  ASSERT_EQ(after.code, 0) << after.err;
  // The disk's file size is all that differs.
  auto takeDiskSize = [](std::string& json) {
    const size_t at = json.find("\"size\": ", json.find("\"disks\""));
    const long long size = JsonNumber(json, "size", at);
    json.replace(at, json.find(',', at) - at, "size");
    return size;
  };
  EXPECT_EQ(takeDiskSize(before.out), static_cast<long long>(packageEnd));
  EXPECT_EQ(takeDiskSize(after.out), static_cast<long long>(packageEnd + 2048));
  EXPECT_EQ(after.out, before.out);
  CliResult verify = RunCli({"verify", Package()});
  EXPECT_EQ(verify.code, 0) << verify.out;
  ExpectExtractsInputs({"setup.exe", "readme.txt", "empty.txt"});
}

TEST_F(PackageTest, AFullSetupWithADownloadBlockCarriesItsFiles) {
  WriteFile(dir.Path() / "manifest.ini",
            "[Setup]\nProgram = setup.exe\nArguments = /quiet\n"
            "[Download]\nLocation = http://d/\nFileName = Full.exe\nToken = dl-token\n"
            "[Files]\nsetup.exe = in/setup.exe\n");
  fs::create_directories(dir.Path() / "out");
  CliResult built = RunCli({"build", dir / "manifest.ini", "-o", Package(), "--stub", dir / "stub.exe"});
  ASSERT_EQ(built.code, 0) << built.err;
  TGFileInfo reader(Package());
  EXPECT_EQ(reader.Trailer().HeaderBlockCount, 3);
  EXPECT_FALSE(reader.DownloadSetup());
  EXPECT_EQ(reader.DownloadToken(true), "dl-token");
  ExpectExtractsInputs({"setup.exe"});
}

TEST_F(PackageTest, HeaderBlocksShowInInspect) {
  WriteFile(dir.Path() / "French.ini", "[Texts]\ns0 = Installation \xE9tendue\n");
  WriteFile(dir.Path() / "manifest.ini",
            "[Package]\nConfirmDownload = 1\nIsAgent = 1\nAgentLog = 1\nShowActivityBar = 1\n"
            "[Settings]\nUpdateLocation = http://u/\nInfoFileName = P.info\nAgentExeName = A.exe\nToken = tk\n"
            "Silent = 1\n"
            "[Download]\nLocation = http://d/\nFileName = Full.exe\nAlwaysDownload = 1\nToken = dl-token\nSize = 777\n"
            "[Languages]\nEnglish = builtin\nFrancais = French.ini\n");
  fs::create_directories(dir.Path() / "out");
  CliResult built = RunCli({"build", dir / "manifest.ini", "-o", Package(), "--stub", dir / "stub.exe"});
  ASSERT_EQ(built.code, 0) << built.err;
  CliResult r = RunCli({"inspect", Package(), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string& json = r.out;
  EXPECT_EQ(JsonNumber(json, "HeaderBlockCount"), 3);
  EXPECT_EQ(JsonNumber(json, "DownloadSetup"), 1);
  EXPECT_EQ(JsonNumber(json, "ConfirmDownload"), 1);
  EXPECT_EQ(JsonNumber(json, "IsAgent"), 1);
  EXPECT_EQ(JsonNumber(json, "CreateAgent"), 0);
  EXPECT_EQ(JsonNumber(json, "Options"), kAgentLog | kShowActivityBar);
  EXPECT_TRUE(JsonHas(json, "DownloadTokenClear", "\"dl-token\""));
  EXPECT_TRUE(JsonHas(json, "DownloadSize", "\"777\""));
  EXPECT_TRUE(JsonHas(json, "AlwaysDownload", "\"1\""));
  EXPECT_TRUE(JsonHas(json, "Silent", "\"1\""));
  EXPECT_TRUE(JsonHas(json, "SettingsTokenClear", "\"tk\""));
  // The scrambled form is what the package stores.
  TGFileInfo reader(Package());
  EXPECT_TRUE(JsonHas(json, "DownloadToken", JsonQuote(reader.DownloadToken(false))));
  EXPECT_TRUE(JsonHas(json, "s0", "\"Installation \\u00E9tendue\""));
  // Records in manifest order, keys in record order.
  const size_t english = json.find("\"name\": \"English\""), french = json.find("\"name\": \"Francais\"");
  ASSERT_NE(english, std::string::npos);
  ASSERT_NE(french, std::string::npos);
  EXPECT_LT(english, french);
  EXPECT_LT(json.find("\"Charset\"", french), json.find("\"s10\"", french));
  EXPECT_LT(json.find("\"s12\"", french), json.find("\"s0\"", french));
  EXPECT_TRUE(JsonHas(json, "files", "[]"));
  EXPECT_TRUE(JsonHas(json, "setup_entry", "\"\""));
}

}  // namespace
}  // namespace tarnix::pack::test
