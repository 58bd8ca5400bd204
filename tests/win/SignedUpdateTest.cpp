// Signed updates through the resident agent: the product's packages carry
// the vendor's key, the announcement ends with the vendor's signature and
// gives the exact size and SHA-256 of the files it offers. A signed update
// installs; every forged or altered announcement or file is refused with an
// error box and a log line naming the check, before anything runs, and
// leaves nothing behind. An agent without a key updates as it always did.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "package/TGFileInfo.h"
#include "package/Token.h"
#include "win/support/TestSigner.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::UpdateFixture;

constexpr char kInformName[] = "News.txt";
constexpr char kAnnouncementRefused[] = "The update announcement is not signed by the vendor and was refused.";
constexpr char kFileRefused[] = "The downloaded file is not the one the vendor signed and was deleted.";

class SignedUpdateTest : public UpdateFixture {
 protected:
  void SetUp() override {
    UpdateFixture::SetUp();
    publicKey_ = signer_.PublicKeyHex();
  }

  // The announcement of an update that asks nothing, with the setup's hash.
  std::string Body(const std::string& setup, std::map<std::string, std::string> keys = {}) const {
    keys.emplace(kUpdateHashKey, test::TestSigner::Sha256HexOfFile(setup));
    keys.emplace("RequestConfirmationBeforeDownload", "0");
    keys.emplace("RequestConfirmationBeforeInstall", "0");
    keys.emplace("InformFinish", "0");
    return Announcement(setup, keys);
  }

  // Version 1 installed and running, `info` served, the agent started.
  void StartWith(const std::string& info) {
    InstallVersion1();
    ServeInfo(info);
    firstProductPid_ = StartProduct();
    ASSERT_EQ(StartPlainAgent(), 0u);
    xAgent_ = WaitForXAgent();
    ASSERT_TRUE(xAgent_);
  }

  // A copy of `path` with `edit` applied, served at the update location
  // under the update's name.
  template <typename Edit>
  void ServeAltered(const std::string& path, Edit edit) {
    std::string bytes = test::ReadWholeFile(path);
    edit(bytes);
    const std::string altered = dir_ / "out\\altered.exe";
    ASSERT_TRUE(test::WriteBytes(altered, bytes));
    ServeUpdate(altered);
  }

  // The first log line that holds `text`, from there to its end.
  std::string LogLine(const std::string& text) const {
    const std::string log = Log();
    const size_t at = log.find(text);
    return at == std::string::npos ? std::string() : log.substr(at, log.find("\r\n", at) - at);
  }

  void ExpectNothingInstalled() {
    EXPECT_FALSE(test::PathExists(installDir_ + "\\" + test::kUpdateName)) << "the refused file stays";
    EXPECT_FALSE(test::PathExists(SetupRecordPath())) << "the setup ran";
    EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
    EXPECT_EQ(ProductPid(), firstProductPid_) << "the product was stopped";
  }

  test::TestSigner signer_;
  DWORD firstProductPid_ = 0;
  HWND xAgent_ = nullptr;
};

TEST_F(SignedUpdateTest, ASignedUpdateInstallsAndTheNewAgentKeepsTheKey) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  StartWith(signer_.Signed(Body(setup)));
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  EXPECT_TRUE(Logged("Announcement: signed by the vendor")) << Log();
  EXPECT_TRUE(Logged(std::string("Update file ") + test::kUpdateName + ": size and SHA-256 as signed")) << Log();
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_TRUE(InstalledVersion2());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  // The agent the update installed checks the next one with the same key.
  EXPECT_EQ(TGFileInfo(AgentPath()).PublicKey(), signer_.PublicKeyHex());
  ASSERT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000));
  StopFreshAgent(xAgent_);
}

enum class Fault {
  OneByteOfTheAnnouncement,
  NoSignature,
  AnotherKeysSignature,
  CutSignature,
  OneByteOfTheUpdate,
  TruncatedUpdate,
  NoHashAnnounced,
};

// Where the fault is caught.
enum class Refusal {
  Announcement,
  // The downloaded update file, with an error box.
  File,
  // The download itself, before anything is written: the server's length is
  // not the signed size.
  Download,
};

struct RefusalCase {
  const char* name;
  Fault fault;
  Refusal at;
  const char* reason;  // in the log line, and the box when there is one
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class SignedUpdateRefusalTest : public SignedUpdateTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SignedUpdateRefusalTest, RefusesWithABoxAndALogLineAndRunsNothing) {
  const RefusalCase& c = GetParam();
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  std::string body = Body(setup);
  std::string info = signer_.Signed(body);
  switch (c.fault) {
    case Fault::OneByteOfTheAnnouncement:
      info[info.find("Sample App")] = 's';
      break;
    case Fault::NoSignature:
      info = body;
      break;
    case Fault::AnotherKeysSignature:
      info = test::TestSigner().Signed(body);
      break;
    case Fault::CutSignature:
      info = info.substr(0, info.size() - 12) + "\r\n";
      break;
    case Fault::OneByteOfTheUpdate:
      ServeAltered(setup, [](std::string& bytes) { bytes[bytes.size() / 2] ^= 0x20; });
      break;
    case Fault::TruncatedUpdate:
      // Within the size the decision tolerates: only the signed size sees it.
      ServeAltered(setup, [](std::string& bytes) { bytes.resize(bytes.size() - 50); });
      break;
    case Fault::NoHashAnnounced:
      info = signer_.Signed(Announcement(setup, {{"RequestConfirmationBeforeDownload", "0"},
                                                 {"RequestConfirmationBeforeInstall", "0"}}));
      break;
  }
  StartWith(info);
  if (c.at == Refusal::Download) {
    ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
    EXPECT_NE(LogLine("Download ERROR: ").find(c.reason), std::string::npos) << Log();
    EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=FALSE")) << Log();
    EXPECT_EQ(UpdateRequests(), 1);
    EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
    ExpectNothingInstalled();
    return;
  }
  const bool announcement = c.at == Refusal::Announcement;
  if (announcement) {
    ASSERT_TRUE(WaitUntil([&] { return Logged("GetOkToPerformAU = 0") && boxes_.size() == 1; }, 90000))
        << Log() << test::Describe(boxes_);
    EXPECT_NE(LogLine("ERROR: Announcement refused: ").find(c.reason), std::string::npos) << Log();
    EXPECT_FALSE(Logged("PerformAutoUpdate() - START"));
    EXPECT_EQ(UpdateRequests(), 0);
    EXPECT_EQ(test::ReadWholeFile(InfoPath()), "") << "the refused announcement is kept";
  } else {
    ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
    EXPECT_NE(LogLine(std::string("ERROR: Update file ") + test::kUpdateName + " refused: ").find(c.reason),
              std::string::npos)
        << Log();
    EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=FALSE")) << Log();
    EXPECT_FALSE(Logged("Bad Secret Token")) << "the token check opened the refused file";
    EXPECT_EQ(UpdateRequests(), 1);
  }
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_EQ(boxes_[0].title, "Error");
  EXPECT_NE(boxes_[0].text.find(announcement ? kAnnouncementRefused : kFileRefused), std::string::npos)
      << boxes_[0].text;
  EXPECT_NE(boxes_[0].text.find(c.reason), std::string::npos) << boxes_[0].text;
  ExpectNothingInstalled();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SignedUpdateRefusalTest,
    ::testing::Values(
        RefusalCase{"OneByteOfTheAnnouncement", Fault::OneByteOfTheAnnouncement, Refusal::Announcement,
                    "the signature does not match the vendor's key"},
        RefusalCase{"NoSignature", Fault::NoSignature, Refusal::Announcement, "it carries no signature"},
        RefusalCase{"AnotherKeysSignature", Fault::AnotherKeysSignature, Refusal::Announcement,
                    "the signature does not match the vendor's key"},
        RefusalCase{"CutSignature", Fault::CutSignature, Refusal::Announcement, "its signature line is malformed"},
        RefusalCase{"OneByteOfTheUpdate", Fault::OneByteOfTheUpdate, Refusal::File,
                    "its SHA-256 differs from the announced one"},
        RefusalCase{"TruncatedUpdate", Fault::TruncatedUpdate, Refusal::Download, " bytes, announced are "},
        RefusalCase{"NoHashAnnounced", Fault::NoHashAnnounced, Refusal::File, "the signed announcement gives no SHA-256"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// A tampered download refused for its hash does not block the release: with
// the shipped settings (no re-asking) the next probe fetches it again, and
// once the server has the signed file, it installs.
TEST_F(SignedUpdateTest, AnUpdateRefusedForItsHashIsTriedAgainOnTheNextProbe) {
  const std::string setup = BuildVersion2();
  ServeAltered(setup, [](std::string& bytes) { bytes[bytes.size() / 2] ^= 0x20; });
  InstallVersion1("close", 2);
  ServeInfo(signer_.Signed(Body(setup)));
  // While the refusal is shown, the server gets the signed file.
  answer_ = [&](const test::SeenBox&) {
    ServeUpdate(setup);
    return std::string();
  };
  firstProductPid_ = StartProduct();
  ASSERT_EQ(StartPlainAgent(), 0u);
  xAgent_ = WaitForXAgent();
  ASSERT_TRUE(xAgent_);
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END    Result=FALSE"); }, 90000)) << Log();
  ExpectNothingInstalled();
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END    Result=TRUE"); }, 90000)) << Log();
  EXPECT_EQ(UpdateRequests(), 2);
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find(kFileRefused), std::string::npos) << boxes_[0].text;
  EXPECT_TRUE(InstalledVersion2());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  StopFreshAgent(xAgent_);
}

// An announcement missing on the server is answered with a page or an
// object store's XML error: that is no file, so a keyed agent reports no
// forgery, only a failed download.
TEST_F(SignedUpdateTest, AMissingAnnouncementIsNoForgery) {
  struct Case {
    const char* status;
    const char* contentType;
    const char* body;
  };
  const Case cases[] = {
      {"404 Not Found", "application/xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>NoSuchKey</Code></Error>"},
      {"404 Not Found", "text/html", "<!doctype html><main><h1>Nothing here</h1></main>"},
      {"403 Forbidden", "application/xml", "<Error><Code>AccessDenied</Code></Error>"},
  };
  InstallVersion1("close", 2);
  ASSERT_EQ(StartPlainAgent(), 0u);
  xAgent_ = WaitForXAgent();
  ASSERT_TRUE(xAgent_);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.status) + " " + c.contentType);
    test::HttpResponse missing;
    missing.status = c.status;
    missing.contentType = c.contentType;
    missing.body = c.body;
    server_.Serve("/updates/" + std::string(test::kInfoName), missing);
    // Each case starts afresh, without the back-off of the failures before.
    SetOriginal("OriginalSetup", "ProbeFailures", "0");
    SetOriginal("OriginalSetup", "ProbeSecondsNext", "0");
    const int probes = LogCount("GetOkToPerformAU = ");
    ASSERT_TRUE(WaitUntil([&] { return LogCount("GetOkToPerformAU = ") >= probes + 2; }, 60000)) << Log();
    EXPECT_EQ(LogCount("GetOkToPerformAU = 0"), LogCount("GetOkToPerformAU = ")) << Log();
  }
  EXPECT_FALSE(Logged("Announcement refused")) << Log();
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
}

// A signed announcement of a version that is not above the installed one,
// replayed from an earlier release, is never acted on: neither by the
// agent's own probe nor by a check the user asks for.
TEST_F(SignedUpdateTest, AReplayedOlderAnnouncementIsNeverInstalled) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  for (const bool onDemand : {false, true}) {
    SCOPED_TRACE(onDemand ? "a check the user asked for" : "the agent's probe");
    boxes_.clear();
    InstallVersion1("close", onDemand ? -1 : 0);
    SetOriginal("OriginalSetup", "VersionOriginal", "3");
    SetCheckQuestion("Check now?");
    SetOriginal("AutoUpdate", "s21", "No new version.");
    ServeInfo(signer_.Signed(Body(setup, {{"Stamp", onDemand ? "9" : "8"}})));
    answer_ = AnswerYes;
    ASSERT_EQ(StartPlainAgent(onDemand ? "/TEST=2" : ""), 0u);
    ASSERT_TRUE(WaitForXAgent());
    ASSERT_TRUE(WaitUntil([&] { return LogCount("GetOkToPerformAU = 3") == (onDemand ? 2 : 1); }, 90000)) << Log();
    if (onDemand) {
      ASSERT_TRUE(WaitUntil([&] { return boxes_.size() == 2; }, 20000)) << test::Describe(boxes_);
      EXPECT_EQ(boxes_[1].text, "No new version.");
    } else {
      EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
    }
    EXPECT_EQ(LogCount("Announcement: signed by the vendor"), onDemand ? 2 : 1) << "it was the signed one";
    EXPECT_FALSE(Logged("PerformAutoUpdate() - START"));
    EXPECT_EQ(UpdateRequests(), 0);
    EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "3");
    EXPECT_FALSE(test::PathExists(SetupRecordPath()));
    StopXAgent();
  }
}

// An agent without a key reads neither the signature line nor the hashes:
// a wrong hash and a signature by nobody change nothing.
TEST_F(SignedUpdateTest, AnAgentWithoutAKeyUpdatesAsItAlwaysDid) {
  publicKey_.clear();
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  StartWith(AppendSignatureLine(Body(setup, {{kUpdateHashKey, std::string(64, '0')}}), std::string(64, '\x01'),
                                "\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_FALSE(Logged("signed")) << Log();
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  StopFreshAgent(xAgent_);
}

// The inform file of a signed announcement is checked the same way: one
// changed byte and the news are not shown.
TEST_F(SignedUpdateTest, AnInformFileThatIsNotTheSignedOneIsRefused) {
  const std::string inform = "news|" + ScrambleToken(test::kProductToken, 99) + "|x|y|Version 2 is out.";
  std::string served = inform;
  served[served.size() - 2] = '!';
  test::HttpResponse response;
  response.body = served;
  server_.Serve("/updates/" + std::string(kInformName), response);
  const std::string info = "[General]\r\nAutoInform=1\r\n[NewSetup]\r\nDownloadURL_UPDATE=" + ServerLocation() +
                           "\r\nVersionNew=2\r\nStamp=11\r\n[AutoInform]\r\nNameOfInformFile=" + kInformName +
                           "\r\nSizeOfInformFile=" + std::to_string(inform.size()) + "\r\n" + kInformHashKey + "=" +
                           LowerHex(test::TestSigner::Sha256(inform)) + "\r\n";
  StartWith(signer_.Signed(info));
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoInform() - END"); }, 90000)) << Log();
  EXPECT_TRUE(Logged(std::string("ERROR: Inform file ") + kInformName +
                     " refused: its SHA-256 differs from the announced one"))
      << Log();
  EXPECT_TRUE(Logged("PerformAutoInform() - END FALSE")) << Log();
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find(kFileRefused), std::string::npos) << boxes_[0].text;
  EXPECT_FALSE(test::PathExists(installDir_ + "\\" + kInformName));
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

}  // namespace
}  // namespace tarnix
