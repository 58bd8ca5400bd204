// A web installer: a stub whose package carries no files fetches the full
// setup package from a server on the loopback interface (or takes a copy
// lying beside it), checks that it carries the same download token and runs
// it. Every test builds both packages and runs the web installer as a
// separate process, answering its boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "DebugTestSupport.h"
#include "PackageBuilder.h"
#include "package/TGFileInfo.h"
#include "package/TempSpace.h"
#include "win/support/LoopbackHttpServer.h"
#include "win/support/PlantedLibraries.h"
#include "win/support/SetupFixture.h"
#include "win/support/SetupProcess.h"

namespace tarnix {
namespace {

using test::HttpResponse;
using test::kHidden;
using test::kShown;
using test::PackedStamp;
using test::PathExists;
using test::SeenBox;
using test::SetupProcess;

constexpr char kToken[] = "web-s3cret";
// The size a web installer announces when the test serves no full setup.
constexpr char kAnnouncedSize[] = "15938355";

// Answers the size question with `answer`; anything else backs out.
test::BoxAnswer AnswerQuestion(const std::string& answer) {
  return [answer](const SeenBox& box) { return box.title == "Confirm" ? answer : std::string(); };
}

class WebInstallerTest : public test::SetupFixture {
 protected:
  WebInstallerTest()
      : SetupFixture({
            {"data.bin", test::RandomBytes(40000, 11), PackedStamp(2020, 5, 6, 7, 8, 10)},
            {"readme.txt", "Installed from the full setup.\r\n", PackedStamp(2023, 1, 31, 9, 30, 0)},
        }) {}

  void SetUp() override {
    // A name of the test's own: the stub downloads into the shared temp
    // folder, and an aborted download leaves its partial file there.
    name_ = "WebFull" + std::to_string(std::random_device{}() % 1000000) + ".exe";
    SetupFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(server_.Running());
    ASSERT_TRUE(::CreateDirectoryA((dir_ / "site").c_str(), nullptr));
  }

  void TearDown() override {
    SetupFixture::TearDown();
    std::error_code ec;
    std::vector<std::filesystem::path> left{TempPackage()};
    for (const auto& entry : std::filesystem::directory_iterator(test::TempDir(), ec))
      if (entry.path().filename().string().rfind(name_ + ".", 0) == 0) left.push_back(entry.path());
    for (const auto& path : left) std::filesystem::remove(path, ec);
  }

  std::string Url() const { return server_.Url("/" + name_); }
  // Where the web installer puts what it downloads.
  std::string TempPackage() const { return test::TempDir() + name_; }

  // The full setup in `folder`, carrying the download token `token`.
  std::string BuildFull(const std::string& folder, const std::string& token, const std::string& moreArgs = "") {
    pack::PackageSpec plan = Plan(moreArgs);
    plan.download = pack::DownloadSettings{"http://127.0.0.1:9", name_, false, token, "0"};
    const std::string path = dir_ / (folder + "\\" + name_);
    std::string error;
    pack::BuildReport report;
    EXPECT_TRUE(pack::BuildPackage(plan, path, report, error)) << error;
    return path;
  }

  // Serves `full`; the web installers built afterwards announce its size.
  void Serve(const std::string& full, HttpResponse response = {}) {
    response.bodyFile = full;
    server_.Serve("/" + name_, response);
    announcedSize_ = std::to_string(std::filesystem::file_size(full));
  }

  // No files and a download block: a web installer that asks before it
  // downloads from the server.
  pack::PackageSpec WebPlan() const {
    pack::PackageSpec plan;
    plan.stubPath = stub_;
    plan.confirmDownload = true;
    plan.download = pack::DownloadSettings{server_.Url(""), name_, false, kToken, announcedSize_};
    return plan;
  }

  // The size line of the download question.
  std::string SizeLine() const { return "Size: " + MegabyteText(std::stod(announcedSize_)) + " MB"; }

  std::string BuildWeb(const pack::PackageSpec& plan) {
    const std::string path = Build(plan, "Web.exe");
    EXPECT_TRUE(TGFileInfo(path).DownloadSetup());
    return path;
  }

  // Requests for the full setup made by a download; how the downloader
  // warms up before it is its own business.
  int DownloadRequests() const {
    int count = 0;
    for (const test::HttpRequestSeen& r : server_.Requests()) {
      EXPECT_EQ(r.path, "/" + name_);
      if (r.method == "GET" && r.userAgent == "HTTP_Connect_3") ++count;
    }
    return count;
  }

  // Runs to the end and tells whether the downloaded package showed up in
  // the temp folder meanwhile: it stays there while the setup runs.
  bool FinishSeeingDownload(SetupProcess& run) { return run.FinishSeeing(TempPackage()); }

  std::string name_;
  std::string announcedSize_ = kAnnouncedSize;
  test::LoopbackHttpServer server_;
};

// The size question: asked unless the run is silent or the package does
// not ask; a yes downloads, checks and installs, a no ends the run quietly.
struct AskCase {
  const char* name;
  const char* params;
  bool confirmDownload;
  bool silentPackage;
  const char* answer;  // nullptr: no question expected
  bool installs;
  int showWindow;
};
void PrintTo(const AskCase& c, std::ostream* os) { *os << c.name; }

class SizeQuestionTest : public WebInstallerTest, public ::testing::WithParamInterface<AskCase> {};

TEST_P(SizeQuestionTest, DownloadsWhatTheAnswerAllows) {
  const AskCase& c = GetParam();
  Serve(BuildFull("site", kToken));
  pack::PackageSpec plan = WebPlan();
  plan.confirmDownload = c.confirmDownload;
  plan.silent = c.silentPackage;
  const std::string web = BuildWeb(plan);

  SetupProcess run(web, c.params, AnswerQuestion(c.answer ? c.answer : ""));
  const bool downloaded = FinishSeeingDownload(run);
  ASSERT_TRUE(run.Ended());

  if (c.answer) {
    ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
    const SeenBox& box = run.Boxes()[0];
    EXPECT_EQ(box.title, "Confirm");
    EXPECT_NE(box.text.find("INTERNET DOWNLOAD"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find(SizeLine()), std::string::npos) << box.text;
  } else {
    EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
  }

  if (!c.installs) {
    EXPECT_FALSE(downloaded);
    EXPECT_TRUE(server_.Requests().empty()) << server_.Requests().size() << " requests";
    ExpectNothingStarted(run);
    return;
  }
  EXPECT_TRUE(downloaded) << TempPackage() << " never appeared";
  EXPECT_FALSE(PathExists(TempPackage())) << "the downloaded package stays";
  EXPECT_EQ(DownloadRequests(), 1);
  ExpectCompletedRun(run, web, c.params, 6, c.showWindow);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SizeQuestionTest,
    ::testing::Values(AskCase{"YesDownloadsAndInstalls", "/ExitCode=6", true, false, "Yes", true, kShown},
                      AskCase{"NoDownloadsNothing", "/ExitCode=6", true, false, "No", false, kShown},
                      AskCase{"HideSwitchDownloadsWithoutAsking", "/hide /ExitCode=6", true, false, nullptr, true,
                              kHidden},
                      AskCase{"SilentPackageDownloadsWithoutAsking", "/ExitCode=6", true, true, nullptr, true,
                              kHidden},
                      AskCase{"PackageThatDoesNotAsk", "/ExitCode=6", false, false, nullptr, true, kShown}),
    [](const ::testing::TestParamInfo<AskCase>& info) { return std::string(info.param.name); });

// A fetched file that is not the full setup of this web installer, or no
// file at all: one error box, nothing started, nothing left in the temp
// folder.
struct RefusedCase {
  const char* name;
  const char* fullToken;  // nullptr: nothing served, the server's 404 page
  bool serverDown;
  const char* fragment;
  bool urlInText;
  // The full setup's GET claims this length and sends as much: far more
  // than the web installer announces.
  std::optional<uint64_t> getLength = std::nullopt;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedDownloadTest : public WebInstallerTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedDownloadTest, ShowsAnErrorAndStartsNothing) {
  const RefusedCase& c = GetParam();
  if (c.fullToken) Serve(BuildFull("site", c.fullToken));
  if (c.getLength) {
    // The full setup followed by filler, all of it claimed by the GET.
    std::string longer = test::ReadWholeFile(dir_ / ("site\\" + name_));
    longer.resize(static_cast<size_t>(*c.getLength), 'z');
    ASSERT_TRUE(test::WriteBytes(dir_ / "site\\longer.bin", longer));
    HttpResponse response;
    response.bodyFile = dir_ / "site\\longer.bin";
    response.getLength = c.getLength;
    server_.Serve("/" + name_, response);
  }
  pack::PackageSpec plan = WebPlan();
  plan.confirmDownload = false;
  std::string url = Url();
  if (c.serverDown) {
    // A port on which nothing listens any more.
    std::string gone;
    {
      test::LoopbackHttpServer closed;
      gone = closed.Url("");
    }
    plan.download->location = gone;
    url = gone + "/" + name_;
  }
  const std::string web = BuildWeb(plan);

  SetupProcess run(web, "/ExitCode=6");
  FinishSeeingDownload(run);
  ASSERT_TRUE(run.Ended());
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  const SeenBox& box = run.Boxes()[0];
  EXPECT_EQ(box.title, "Error");
  EXPECT_NE(box.text.find(c.fragment), std::string::npos) << box.text;
  if (c.urlInText) {
    EXPECT_NE(box.text.find(url), std::string::npos) << box.text;
  }
  EXPECT_FALSE(PathExists(TempPackage())) << "the downloaded file stays";
  ExpectNothingStarted(run);
}

INSTANTIATE_TEST_SUITE_P(
    Refused, RefusedDownloadTest,
    ::testing::Values(RefusedCase{"OtherToken", "other", false, "Bad Secret Token!", false},
                      RefusedCase{"NotFoundPage", nullptr, false, "--- Error downloading file (404 Not Found)", false},
                      RefusedCase{"LongerThanAnnounced", kToken, false, " bytes, announced are ", false, 3000000},
                      RefusedCase{"ServerDown", nullptr, true, "Unable to open Internet Connection: ", true}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

// A full setup lying beside the web installer is used as it is, unless the
// package always downloads. The exit code tells which copy ran.
struct BesideCase {
  const char* name;
  bool alwaysDownload;
};
void PrintTo(const BesideCase& c, std::ostream* os) { *os << c.name; }

class LocalCopyTest : public WebInstallerTest, public ::testing::WithParamInterface<BesideCase> {};

TEST_P(LocalCopyTest, TakesTheCopyBesideTheStubUnlessAlwaysDownloading) {
  const BesideCase& c = GetParam();
  Serve(BuildFull("site", kToken, " /ExitCode=2"));
  const std::string local = BuildFull("out", kToken, " /ExitCode=1");
  const std::string localBytes = test::ReadWholeFile(local);
  pack::PackageSpec plan = WebPlan();
  plan.download->alwaysDownload = c.alwaysDownload;
  const std::string web = BuildWeb(plan);

  SetupProcess run(web, "", AnswerQuestion("Yes"));
  const bool downloaded = FinishSeeingDownload(run);
  ASSERT_TRUE(run.Ended());
  EXPECT_EQ(downloaded, c.alwaysDownload);
  EXPECT_FALSE(PathExists(TempPackage()));
  if (c.alwaysDownload) {
    ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
    EXPECT_EQ(DownloadRequests(), 1);
    ExpectCompletedRun(run, web, "", 2, kShown, {}, " /ExitCode=2");
  } else {
    // Without a download there is no size to confirm.
    EXPECT_TRUE(run.Boxes().empty()) << test::Describe(run.Boxes());
    EXPECT_TRUE(server_.Requests().empty()) << server_.Requests().size() << " requests";
    ExpectCompletedRun(run, web, "", 1, kShown, {}, " /ExitCode=1");
  }
  // Only a downloaded package is deleted.
  ASSERT_TRUE(PathExists(local));
  EXPECT_TRUE(test::ReadWholeFile(local) == localBytes);
}

INSTANTIATE_TEST_SUITE_P(Beside, LocalCopyTest,
                         ::testing::Values(BesideCase{"LocalCopyIsUsed", false},
                                           BesideCase{"AlwaysDownloadIgnoresIt", true}),
                         [](const ::testing::TestParamInfo<BesideCase>& info) { return std::string(info.param.name); });

// The first close of the stub's window stops a download that is under way
// and leaves the window up for the error; nothing is started.
TEST_F(WebInstallerTest, ClosingTheWindowStopsTheDownload) {
  HttpResponse slow;
  slow.pieceSize = 1024;
  slow.pieceDelayMs = 50;
  Serve(BuildFull("site", kToken), slow);
  const std::string web = BuildWeb(WebPlan());

  bool windowUpAtTheError = false;
  HWND window = nullptr;
  SetupProcess run(web, "/ExitCode=6", [&](const SeenBox& box) {
    if (box.title == "Confirm") return std::string("Yes");
    windowUpAtTheError = window && ::IsWindow(window);
    return std::string();
  });
  ASSERT_TRUE(run.WaitUntil([&] { return DownloadRequests() > 0; })) << "the download did not start";
  window = ::FindWindowA(web.c_str(), nullptr);
  ASSERT_TRUE(window) << "no window of the class " << web;
  ASSERT_TRUE(::PostMessageA(window, WM_CLOSE, 0, 0));
  ASSERT_TRUE(run.Finish());

  ASSERT_EQ(run.Boxes().size(), 2u) << test::Describe(run.Boxes());
  EXPECT_EQ(run.Boxes()[1].title, "Error");
  EXPECT_NE(run.Boxes()[1].text.find("Download Aborted"), std::string::npos) << run.Boxes()[1].text;
  EXPECT_TRUE(windowUpAtTheError);
  EXPECT_FALSE(PathExists(TempPackage()));
  ExpectNothingStarted(run);
}

// The web installer's agent copy of itself, written before the download,
// reaches the setup program beside the downloaded setup's files.
TEST_F(WebInstallerTest, TheSetupProgramFindsTheAgentCopyOfTheWebInstaller) {
  Serve(BuildFull("site", kToken));
  pack::PackageSpec plan = WebPlan();
  plan.createAgent = true;
  plan.agentExeName = "Agent.exe";
  plan.updateLocation = "http://example.test/upd/";
  plan.infoFileName = "Product.info";
  const std::string web = BuildWeb(plan);

  SetupProcess run(web, "", AnswerQuestion("Yes"));
  EXPECT_TRUE(FinishSeeingDownload(run));
  ASSERT_TRUE(run.Ended());
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  ExpectCompletedRun(run, web, "", 0, kShown, {"Agent.exe"});
  if (HasFatalFailure()) return;

  const std::string agentPath = InstallDir() + "\\Agent.exe";
  const TGFileInfo agent(agentPath);
  EXPECT_TRUE(agent.IsAgent());
  EXPECT_TRUE(agent.DownloadSetup());
  EXPECT_EQ(agent.AgentExeName(), "Agent.exe");
  EXPECT_EQ(agent.DownloadToken(true), kToken);
  EXPECT_FALSE(TGFileInfo(web).IsAgent());
  std::string expected = test::ReadWholeFile(web);
  expected[expected.size() - 5] = 1;
  EXPECT_TRUE(test::ReadWholeFile(agentPath) == expected);
  EXPECT_EQ(test::PackedStampOf(agentPath), test::PackedStampOf(web));
}

// Libraries planted beside the web installer are never loaded, neither by
// the download with its size question nor by the full setup it runs.
TEST_F(WebInstallerTest, LibrariesPlantedBesideTheWebInstallerAreNotLoaded) {
  test::PlantedLibraries planted(dir_ / "marks", {"Web.exe"});
  Serve(BuildFull("site", kToken));
  const std::string web = BuildWeb(WebPlan());
  test::PlantedLibraries::PlantIn(dir_ / "out");

  SetupProcess run(web, "", AnswerQuestion("Yes"), planted.Environment());
  EXPECT_TRUE(FinishSeeingDownload(run));
  ASSERT_TRUE(run.Ended());
  EXPECT_EQ(planted.Marks(), "");
  ASSERT_EQ(run.Boxes().size(), 1u) << test::Describe(run.Boxes());
  EXPECT_EQ(DownloadRequests(), 1);
  ExpectCompletedRun(run, web, "", 0, kShown);
}

}  // namespace
}  // namespace tarnix
