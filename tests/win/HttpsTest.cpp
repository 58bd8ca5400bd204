// Downloads over https with the platform's certificate checks on: the
// agent's whole signed update and the web installer's download from a
// loopback TLS server whose certificate the test CA issued, trusted in the
// test's own prefix while the test runs; and the refusal, with a clear
// error, of a server whose certificate nobody trusts.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "PackageBuilder.h"
#include "package/TGFileInfo.h"
#include "win/support/LoopbackTlsRelay.h"
#include "win/support/SetupFixture.h"
#include "win/support/TestSigner.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::LoopbackTlsRelay;

constexpr char kCertificateRefused[] = "(secure connection refused: the server's certificate";

class HttpsUpdateTest : public test::UpdateFixture {
 protected:
  void SetUp() override {
    if (const std::string why = LoopbackTlsRelay::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    UpdateFixture::SetUp();
    publicKey_ = signer_.PublicKeyHex();
  }

  // Serves the loopback server through a TLS front with `certificate`.
  void ServeOverHttps(LoopbackTlsRelay::Certificate certificate) {
    relay_.emplace(server_.Port(), certificate);
    ASSERT_TRUE(relay_->Running()) << "the TLS relay did not start";
    httpsBase_ = relay_->Url("");
  }

  test::TestSigner signer_;
  std::optional<LoopbackTlsRelay> relay_;
};

TEST_F(HttpsUpdateTest, TheSignedUpdateRunsOverHttpsWithACertificateOfATrustedAuthority) {
  test::TrustedTestCa trust;
  ASSERT_TRUE(trust.Trusted());
  ServeOverHttps(LoopbackTlsRelay::kTrusted);
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  InstallVersion1();
  ASSERT_EQ(TGFileInfo(AgentPath()).UpdateLocation().rfind("https://localhost:", 0), 0u);
  ServeInfo(signer_.Signed(Announcement(setup, {{kUpdateHashKey, test::TestSigner::Sha256HexOfFile(setup)},
                                                {"RequestConfirmationBeforeDownload", "0"},
                                                {"RequestConfirmationBeforeInstall", "0"},
                                                {"InformFinish", "0"}})));
  const DWORD firstProduct = StartProduct();
  ASSERT_EQ(StartPlainAgent(), 0u);
  HWND agent = WaitForXAgent();
  ASSERT_TRUE(agent);
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 120000)) << Log();
  EXPECT_TRUE(Logged("Announcement: signed by the vendor")) << Log();
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_GE(InfoRequests(), 1);
  EXPECT_EQ(UpdateRequests(), 1);
  EXPECT_TRUE(InstalledVersion2());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  ASSERT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProduct; }, 20000));
  StopFreshAgent(agent);
}

// A check the user asks for answers with the reason; nothing reaches the
// server, since the connection ends before any request.
TEST_F(HttpsUpdateTest, AServerWhoseCertificateNobodyTrustsIsRefusedWithAClearError) {
  ServeOverHttps(LoopbackTlsRelay::kUntrusted);
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  InstallVersion1("close", -1);
  SetCheckQuestion("Check now?");
  ServeInfo(signer_.Signed(Announcement(setup, {{kUpdateHashKey, test::TestSigner::Sha256HexOfFile(setup)}})));
  answer_ = AnswerYes;
  ASSERT_EQ(StartPlainAgent("/TEST=2"), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return boxes_.size() == 2; }, 120000)) << test::Describe(boxes_) << Log();
  EXPECT_EQ(boxes_[0].text, "Check now?");
  EXPECT_EQ(boxes_[1].title, "Error");
  EXPECT_NE(boxes_[1].text.find("Unable to open Internet Connection: " + ServerLocation() + "/" + test::kInfoName),
            std::string::npos)
      << boxes_[1].text;
  EXPECT_NE(boxes_[1].text.find(kCertificateRefused), std::string::npos) << boxes_[1].text;
  EXPECT_TRUE(server_.Requests().empty()) << server_.Requests().size() << " requests came through";
  EXPECT_FALSE(Logged("PerformAutoUpdate() - START"));
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

class HttpsWebInstallerTest : public test::SetupFixture {
 protected:
  HttpsWebInstallerTest() : SetupFixture({{"data.bin", test::RandomBytes(20000, 31), 0x58A34C21}}) {}

  void SetUp() override {
    if (const std::string why = LoopbackTlsRelay::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    name_ = "HttpsFull" + std::to_string(std::random_device{}() % 1000000) + ".exe";
    SetupFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(server_.Running());
    ASSERT_TRUE(::CreateDirectoryA((dir_ / "site").c_str(), nullptr));
    pack::PackageSpec full = Plan();
    full.download = pack::DownloadSettings{"https://localhost", name_, false, "web-https", "0"};
    std::string error;
    pack::BuildReport report;
    const std::string path = dir_ / ("site\\" + name_);
    ASSERT_TRUE(pack::BuildPackage(full, path, report, error)) << error;
    test::HttpResponse response;
    response.bodyFile = path;
    server_.Serve("/" + name_, response);
  }

  void TearDown() override {
    SetupFixture::TearDown();
    std::error_code ec;
    std::filesystem::remove(test::TempDir() + name_, ec);
  }

  std::string BuildWeb(const LoopbackTlsRelay& relay) {
    pack::PackageSpec plan;
    plan.stubPath = stub_;
    // The download is held to the size the web installer announces.
    const std::string size = std::to_string(std::filesystem::file_size(dir_ / ("site\\" + name_)));
    plan.download = pack::DownloadSettings{relay.Url(""), name_, false, "web-https", size};
    return Build(plan, "Web.exe");
  }

  std::string name_;
  test::LoopbackHttpServer server_;
};

TEST_F(HttpsWebInstallerTest, TheFullSetupIsDownloadedOverHttps) {
  test::TrustedTestCa trust;
  ASSERT_TRUE(trust.Trusted());
  LoopbackTlsRelay relay(server_.Port(), LoopbackTlsRelay::kTrusted);
  ASSERT_TRUE(relay.Running());
  const std::string web = BuildWeb(relay);
  test::SetupProcess run(web, "");
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  EXPECT_FALSE(server_.Requests().empty());
  ExpectCompletedRun(run, web, "", 0, test::kShown);
}

TEST_F(HttpsWebInstallerTest, AServerWhoseCertificateNobodyTrustsIsRefused) {
  LoopbackTlsRelay relay(server_.Port(), LoopbackTlsRelay::kUntrusted);
  ASSERT_TRUE(relay.Running());
  const std::string web = BuildWeb(relay);
  test::SetupProcess run(web, "");
  ASSERT_TRUE(run.Finish());
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  EXPECT_EQ(run.Boxes()[0].title, "Error");
  EXPECT_NE(run.Boxes()[0].text.find("Unable to open Internet Connection: " + relay.Url("/" + name_)),
            std::string::npos)
      << run.Boxes()[0].text;
  EXPECT_NE(run.Boxes()[0].text.find(kCertificateRefused), std::string::npos) << run.Boxes()[0].text;
  EXPECT_TRUE(server_.Requests().empty());
  ExpectNothingStarted(run);
}

}  // namespace
}  // namespace tarnix
