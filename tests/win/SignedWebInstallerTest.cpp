// A web installer whose package carries the vendor's key and the full
// setup's SHA-256 in its download block: it runs the full setup only when
// the file it fetched, or found beside itself, has exactly the size and
// hash it carries. Any other file is refused with an error box naming the
// check, a downloaded one is deleted, and nothing starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <random>
#include <string>

#include "PackageBuilder.h"
#include "win/support/LoopbackHttpServer.h"
#include "win/support/SetupFixture.h"
#include "win/support/SetupProcess.h"
#include "win/support/TestSigner.h"

namespace tarnix {
namespace {

using test::kShown;
using test::PathExists;
using test::SetupProcess;

constexpr char kToken[] = "web-signed";
constexpr char kRefused[] = "The setup file is not the one the vendor signed.";

class SignedWebInstallerTest : public test::SetupFixture {
 protected:
  SignedWebInstallerTest() : SetupFixture({{"data.bin", test::RandomBytes(30000, 21), 0x58A34C21}}) {}

  void SetUp() override {
    name_ = "SignedFull" + std::to_string(std::random_device{}() % 1000000) + ".exe";
    SetupFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(server_.Running());
    ASSERT_TRUE(::CreateDirectoryA((dir_ / "site").c_str(), nullptr));
    full_ = BuildFull("site");
  }

  void TearDown() override {
    SetupFixture::TearDown();
    std::error_code ec;
    std::filesystem::remove(TempPackage(), ec);
  }

  std::string TempPackage() const { return test::TempDir() + name_; }

  std::string BuildFull(const std::string& folder) {
    pack::PackageSpec plan = Plan();
    plan.download = pack::DownloadSettings{"http://127.0.0.1:9", name_, false, kToken, "0"};
    const std::string path = dir_ / (folder + "\\" + name_);
    std::string error;
    pack::BuildReport report;
    EXPECT_TRUE(pack::BuildPackage(plan, path, report, error)) << error;
    return path;
  }

  // A web installer that downloads without asking and checks the full
  // setup's size and hash with the vendor's key; `withHash` false leaves
  // the hash out of its download block.
  std::string BuildWeb(bool withHash = true) {
    pack::PackageSpec plan;
    plan.stubPath = stub_;
    plan.publicKey = signer_.PublicKeyHex();
    plan.download = pack::DownloadSettings{server_.Url(""), name_, false, kToken,
                                           std::to_string(std::filesystem::file_size(full_))};
    if (withHash) plan.download->sha256 = test::TestSigner::Sha256HexOfFile(full_);
    return Build(plan, "Web.exe");
  }

  // `full_` changed by `edit`, written to `path`.
  template <typename Edit>
  std::string Altered(const std::string& path, Edit edit) const {
    std::string bytes = test::ReadWholeFile(full_);
    edit(bytes);
    EXPECT_TRUE(test::WriteBytes(path, bytes));
    return path;
  }

  void Serve(const std::string& path) {
    test::HttpResponse response;
    response.bodyFile = path;
    server_.Serve("/" + name_, response);
  }

  test::TestSigner signer_;
  std::string name_, full_;
  test::LoopbackHttpServer server_;
};

TEST_F(SignedWebInstallerTest, TheSignedFullSetupIsDownloadedAndInstalled) {
  Serve(full_);
  const std::string web = BuildWeb();
  SetupProcess run(web, "");
  EXPECT_TRUE(run.FinishSeeing(TempPackage()));
  ASSERT_TRUE(run.Ended());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  EXPECT_FALSE(PathExists(TempPackage()));
  ExpectCompletedRun(run, web, "", 0, kShown);
}

enum class Where { Downloaded, Beside };

struct RefusalCase {
  const char* name;
  Where where;
  size_t cut;  // bytes cut off the end; 0: one byte changed instead
  const char* reason;
  // Refused by the download itself, for a length other than the signed
  // size, before anything is written.
  bool byDownload = false;
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class SignedWebInstallerRefusalTest : public SignedWebInstallerTest,
                                      public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SignedWebInstallerRefusalTest, ShowsTheCheckThatFailedAndStartsNothing) {
  const RefusalCase& c = GetParam();
  const auto edit = [&](std::string& bytes) {
    if (c.cut > 0) {
      bytes.resize(bytes.size() - c.cut);
    } else {
      bytes[bytes.size() / 3] ^= 0x01;
    }
  };
  const std::string beside = dir_ / ("out\\" + name_);
  if (c.where == Where::Downloaded) {
    Serve(Altered(dir_ / "site\\altered.exe", edit));
  } else {
    Altered(beside, edit);
    Serve(full_);
  }
  const std::string web = BuildWeb();
  const std::string besideBytes = test::ReadWholeFile(beside);

  SetupProcess run(web, "");
  ASSERT_TRUE(run.Finish());
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  EXPECT_EQ(run.Boxes()[0].title, "Error");
  EXPECT_NE(run.Boxes()[0].text.find(c.byDownload ? "--- Error downloading file" : kRefused), std::string::npos)
      << run.Boxes()[0].text;
  EXPECT_NE(run.Boxes()[0].text.find(c.reason), std::string::npos) << run.Boxes()[0].text;
  EXPECT_FALSE(PathExists(TempPackage())) << "the refused download stays";
  if (c.where == Where::Beside) {
    EXPECT_TRUE(server_.Requests().empty()) << "the copy beside it is used, checked and refused";
    EXPECT_TRUE(test::ReadWholeFile(beside) == besideBytes) << "a file the user put there is the user's";
  }
  ExpectNothingStarted(run);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SignedWebInstallerRefusalTest,
    ::testing::Values(RefusalCase{"OneByteChanged", Where::Downloaded, 0, "its SHA-256 differs from the announced one"},
                      RefusalCase{"Truncated", Where::Downloaded, 100, " bytes, announced are ", true},
                      RefusalCase{"ChangedCopyBesideIt", Where::Beside, 0, "its SHA-256 differs"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// A missing file is told by the server's status, never taken for the file.
TEST_F(SignedWebInstallerTest, AMissingFileIsToldAsNotFound) {
  const std::string web = BuildWeb();
  SetupProcess run(web, "");
  ASSERT_TRUE(run.Finish());
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  EXPECT_NE(run.Boxes()[0].text.find("--- Error downloading file (404 Not Found)"), std::string::npos)
      << run.Boxes()[0].text;
  ExpectNothingStarted(run);
}

// A package with the key but no hash in its download block checks only the
// token, as a web installer always did.
TEST_F(SignedWebInstallerTest, WithoutAHashOnlyTheTokenIsChecked) {
  // A byte of the stub's DOS message, which nothing reads.
  Serve(Altered(dir_ / "site\\altered.exe", [](std::string& bytes) { bytes[100] ^= 0x01; }));
  const std::string web = BuildWeb(false);
  SetupProcess run(web, "");
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  EXPECT_TRUE(test::PathExists(RecordPath())) << "the setup did not run";
}

}  // namespace
}  // namespace tarnix
