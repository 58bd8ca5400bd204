// The update as a vendor ships it: version 1 of the sample product runs
// with its agent; version 2 and its announcement lie on the update
// location; the agent asks, downloads, checks the token, stops the
// product, installs version 2, records it, restarts the product and
// replaces itself.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"
#include "win/support/ImmutableFolder.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::UpdateFixture;

class UpdateCycleTest : public UpdateFixture {
 protected:
  // Installs version 1, starts the product and the agent, and waits until
  // the agent's update cycle has ended.
  void RunUpdate(const std::string& info, const std::string& productClose = "close") {
    InstallVersion1(productClose);
    ServeInfo(info);
    StartAndWaitForTheCycle();
  }

  // As RunUpdate, with the announcement in a folder, the agent's update
  // location: only such an announcement may send the agent to a folder.
  void RunUpdateFromFolder(const std::string& info) {
    InstallVersion1();
    ASSERT_TRUE(std::filesystem::create_directories(InfoFolder()));
    InstallAgent(AgentPlan(InfoFolder()));
    WriteInfoToFolder(info);
    StartAndWaitForTheCycle();
  }
  std::string InfoFolder() const { return dir_ / "announcements"; }
  void WriteInfoToFolder(const std::string& info) {
    ASSERT_TRUE(test::WriteBytes(InfoFolder() + "\\" + test::kInfoName, info));
  }

  void StartAndWaitForTheCycle() {
    firstProductPid_ = StartProduct();
    ASSERT_EQ(StartPlainAgent(), 0u);
    ASSERT_TRUE(WaitForXAgent());
    ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
    // The probe goes on after the cycle: it records the announcement as
    // seen and, after an update, starts the fresh agent.
    ASSERT_TRUE(WaitUntil(
        [&] { return LogCount("ProbeResult=6 - OK - ") >= LogCount("PerformAutoUpdate() - END"); }, 20000))
        << Log();
  }

  DWORD firstProductPid_ = 0;
};

TEST_F(UpdateCycleTest, TheWholeUpdateAsksInstallsRestartsTheProductAndReplacesTheAgent) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  answer_ = AnswerYes;
  RunUpdate(Announcement(setup));
  HWND oldAgent = XAgentWindow();

  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_TRUE(Logged("ProbeResult=6 - OK - update installed\r\n")) << Log();
  ASSERT_EQ(boxes_.size(), 3u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find("A new version of Sample App is available.\r\nDownload it now?"), std::string::npos)
      << boxes_[0].text;
  EXPECT_NE(boxes_[1].text.find("Install Sample App now?"), std::string::npos) << boxes_[1].text;
  EXPECT_EQ(boxes_[2].text, "Sample App has been updated.\r\nStart it again?");
  EXPECT_EQ(UpdateRequests(), 1);

  // Version 2 installed by its setup, with the agent's switches; the log
  // names every step, so that a vendor can follow an update afterwards.
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_TRUE(Logged("RunPackage() - END    Finished=TRUE")) << Log();
  EXPECT_TRUE(Logged("VersionOriginal=2\r\n")) << Log();
  EXPECT_TRUE(Logged("Restart Process - WinExec \"" + ProductPath() + "\"")) << Log();
  EXPECT_TRUE(InstalledVersion2());
  auto record = SetupRecord();
  EXPECT_EQ(record["Completed"], "1");
  EXPECT_NE(record["CommandLine"].find("/OriginalInfoFile=\"" + InfoPath() + "\""), std::string::npos)
      << record["CommandLine"];
  EXPECT_NE(record["CommandLine"].find("/AutoUpdateProg"), std::string::npos) << record["CommandLine"];
  EXPECT_FALSE(test::PathExists(installDir_ + "\\" + test::kUpdateName)) << "the downloaded setup stays";

  // The product was closed and runs again, as version 2.
  const std::string appRecord = test::ReadWholeFile(ProductRecordPath());
  EXPECT_NE(appRecord.find("Ended=WM_CLOSE"), std::string::npos) << appRecord;
  ASSERT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000));
  EXPECT_NE(test::ReadWholeFile(ProductRecordPath()).find("Started=2"), std::string::npos);

  // A fresh agent takes over once this one has gone.
  EXPECT_TRUE(Logged(".. WinExec - \"" + AgentPath() + "\" /_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|255|255|255|255|"))
      << Log();
  ASSERT_TRUE(WaitUntil([&] { return XAgentWindow() != oldAgent || !XAgentWindow(); }, 20000));
  ASSERT_TRUE(WaitUntil([&] { return XAgentWindow() != nullptr && XAgentWindow() != oldAgent; }, 40000))
      << "no fresh agent after the update\n" << Log();
  EXPECT_TRUE(test::PathExists(XAgentPath()));
  StopXAgent();
}

TEST_F(UpdateCycleTest, ADeclinedDownloadFetchesAndStopsNothing) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  RunUpdate(Announcement(setup));  // every question answered No
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=FALSE"));
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_EQ(UpdateRequests(), 0);
  EXPECT_EQ(ProductPid(), firstProductPid_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  EXPECT_EQ(Original("OriginalSetup", "Stamp"), "7") << "the announcement counts as seen";
  EXPECT_EQ(Original("OriginalSetup", "ProbeResult"), "6 - OK - declined by the user");
}

TEST_F(UpdateCycleTest, ADeclinedInstallKeepsTheDownloadedSetupAndStopsNothing) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  answer_ = [](const test::SeenBox& box) {
    return box.text.find("Install") != std::string::npos ? std::string("&No") : std::string("&Yes");
  };
  RunUpdate(Announcement(setup));
  ASSERT_EQ(boxes_.size(), 2u) << test::Describe(boxes_);
  EXPECT_EQ(UpdateRequests(), 1);
  EXPECT_TRUE(test::PathExists(installDir_ + "\\" + test::kUpdateName));
  EXPECT_EQ(ProductPid(), firstProductPid_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

TEST_F(UpdateCycleTest, ASetupOfAnotherProductIsDeletedAndNeverRuns) {
  const std::string setup = BuildVersion2("another-product");
  ServeUpdate(setup);
  answer_ = AnswerYes;
  RunUpdate(Announcement(setup));
  ASSERT_EQ(boxes_.size(), 2u) << test::Describe(boxes_);
  EXPECT_EQ(boxes_[1].title, "Error");
  EXPECT_NE(boxes_[1].text.find("Bad Secret Token!"), std::string::npos) << boxes_[1].text;
  EXPECT_TRUE(Logged("ERROR: Bad Secret Token!"));
  EXPECT_FALSE(test::PathExists(installDir_ + "\\" + test::kUpdateName));
  EXPECT_FALSE(test::PathExists(SetupRecordPath())) << "the setup ran";
  EXPECT_EQ(ProductPid(), firstProductPid_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

TEST_F(UpdateCycleTest, AFailedDownloadIsReportedOnlyWithConfirmationOn) {
  const std::string setup = BuildVersion2();
  for (const bool confirm : {true, false}) {
    SCOPED_TRACE(confirm ? "confirmation on" : "confirmation off");
    boxes_.clear();
    // The server knows the size but breaks the body off.
    test::HttpResponse broken;
    broken.bodyFile = setup;
    broken.dropAfter = 1000;
    server_.Serve("/updates/" + std::string(test::kUpdateName), broken);
    answer_ = AnswerYes;
    if (confirm) {
      RunUpdate(Announcement(setup));
    } else {
      SetOriginal("OriginalSetup", "ProbeSecondsLast", "0");
      ServeInfo(Announcement(setup, {{"RequestConfirmationBeforeDownload", "0"}, {"Stamp", "8"}}));
      ASSERT_EQ(StartPlainAgent(), 0u);
      ASSERT_TRUE(WaitForXAgent());
      ASSERT_TRUE(WaitUntil([&] { return LogCount("PerformAutoUpdate() - END") == 2; }, 90000)) << Log();
    }
    if (confirm) {
      ASSERT_EQ(boxes_.size(), 2u) << test::Describe(boxes_);
      EXPECT_EQ(boxes_[1].title, "Attention");
      EXPECT_NE(boxes_[1].text.find(ServerLocation() + "/" + test::kUpdateName +
                                    "\r\n\r\nUnable to Download File!\r\n\r\n(received "),
                std::string::npos)
          << boxes_[1].text;
      EXPECT_TRUE(Logged("ProbeResult=6 - OK - update not fetched  ProbeReason=received ")) << Log();
    } else {
      EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
    }
    EXPECT_FALSE(test::PathExists(installDir_ + "\\" + test::kUpdateName));
    EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
    EXPECT_EQ(ProductPid(), firstProductPid_);
    StopXAgent();
  }
}

TEST_F(UpdateCycleTest, AFolderLocationIsCopiedWithoutAServer) {
  const std::string folder = dir_ / "release folder";
  std::filesystem::create_directories(folder);
  const std::string setup = BuildVersion2();
  ASSERT_TRUE(::CopyFileA(setup.c_str(), (folder + "\\" + test::kUpdateName).c_str(), FALSE));
  answer_ = AnswerYes;
  RunUpdateFromFolder(Announcement(setup, {{"DownloadURL_UPDATE", folder}, {"RequestConfirmationBeforeInstall", "0"},
                                           {"InformFinish", "0"}}));
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log() << test::Describe(boxes_);
  EXPECT_EQ(UpdateRequests(), 0);
  EXPECT_TRUE(InstalledVersion2());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
}

TEST_F(UpdateCycleTest, AMissingFileAtAFolderLocationIsNotFound) {
  const std::string setup = BuildVersion2();
  struct Case {
    const char* name;
    std::string location;
  } cases[] = {
      {"drive form", dir_ / "empty folder"},
      {"network form", "\\\\?\\" + (dir_ / "empty folder")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    answer_ = AnswerYes;
    // The announced size is not learnt at a folder either; a small one
    // passes the size test, so the download itself must fail.
    const std::string info = Announcement(setup, {{"DownloadURL_UPDATE", c.location}, {"SizeOfUpdateFile", "50"}});
    if (c.location == cases[0].location) {
      RunUpdateFromFolder(info);
    } else {
      // The first agent ends after its probe; its deletion script must be
      // done before the next copy is written under the same name.
      ASSERT_TRUE(WaitUntil([&] {
        return !XAgentWindow() && !test::PathExists(XAgentPath()) && test::SelfDeleteScriptsLeft().empty();
      }, 30000));
      SetOriginal("OriginalSetup", "Stamp", "0");
      WriteInfoToFolder(info);
      ASSERT_EQ(StartPlainAgent(), 0u);
      ASSERT_TRUE(WaitForXAgent());
      ASSERT_TRUE(WaitUntil([&] { return LogCount("PerformAutoUpdate() - END") == 2; }, 90000)) << Log();
    }
    ASSERT_EQ(boxes_.size(), 2u) << test::Describe(boxes_);
    EXPECT_NE(boxes_[1].text.find("File not Found!"), std::string::npos) << boxes_[1].text;
    EXPECT_EQ(boxes_[1].text.find("Bad Secret Token"), std::string::npos);
    EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
    StopXAgent();
  }
}

TEST_F(UpdateCycleTest, AFailingSetupKeepsTheVersionAndRestartsTheStoppedProduct) {
  const std::string setup = BuildVersion2(test::kProductToken, " /KeepAtom /ExitCode=3");
  ServeUpdate(setup);
  answer_ = AnswerYes;
  RunUpdate(Announcement(setup));
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=FALSE")) << Log();
  EXPECT_TRUE(Logged("RunPackage() - END    Finished=FALSE")) << Log();
  EXPECT_FALSE(Logged("VersionOriginal=")) << Log();
  ASSERT_EQ(boxes_.size(), 2u) << "no finish message: " << test::Describe(boxes_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  EXPECT_FALSE(test::PathExists(installDir_ + "\\" + test::kUpdateName));
  ASSERT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000))
      << "the stopped product was not started again";
  EXPECT_TRUE(XAgentWindow()) << "the agent stays after a failed update";
}

// A file of the new setup that cannot be written stops the run, as a full
// temp drive would (here the name is too long for the extraction folder):
// the setup never runs on what was written, nothing is recorded, and the
// announcement stays open for the next probe.
TEST_F(UpdateCycleTest, AFileThatCannotBeWrittenStopsTheUpdateAndRecordsNothing) {
  pack::PackageSpec plan = AgentPlan(ServerLocation());
  plan.isAgent = false;
  plan.createAgent = true;
  plan.files.push_back({"setup.exe", standin_, 0, true, "/InstallDir=" + installDir_ + " /Record=" + SetupRecordPath()});
  plan.files.push_back({std::string(230, 'n') + ".dat", appV2_, 0, false, ""});
  plan.files.push_back({"SampleApp.exe", appV2_, 0, false, ""});
  const std::string setup = dir_ / ("out\\" + std::string(test::kUpdateName));
  std::string error;
  pack::BuildReport report;
  ASSERT_TRUE(pack::BuildPackage(plan, setup, report, error)) << error;
  ServeUpdate(setup);
  RunUpdate(Announcement(setup, {{"BackgroundUpdate", "1"},
                                 {"RequestConfirmationBeforeDownload", "0"},
                                 {"RequestConfirmationBeforeInstall", "0"},
                                 {"InformFinish", "0"}}));
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=FALSE")) << Log();
  EXPECT_TRUE(Logged("RunPackage() - END    Finished=FALSE")) << Log();
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find("Unable to save Extracted File!"), std::string::npos) << boxes_[0].text;
  EXPECT_FALSE(test::PathExists(SetupRecordPath())) << "the setup ran";
  EXPECT_FALSE(InstalledVersion2());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  EXPECT_EQ(Original("OriginalSetup", "Stamp"), "") << "the announcement counts as seen";
  EXPECT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000))
      << "the stopped product was not started again";
}

TEST_F(UpdateCycleTest, ABackgroundUpdateRunsTheSetupHidden) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  RunUpdate(Announcement(setup, {{"BackgroundUpdate", "1"},
                                 {"RequestConfirmationBeforeDownload", "0"},
                                 {"RequestConfirmationBeforeInstall", "0"},
                                 {"InformFinish", "0"}}));
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_EQ(SetupRecord()["ShowWindow"], std::to_string(SW_HIDE));
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000));
}

TEST_F(UpdateCycleTest, ACheckTheUserAskedForSkipsTheQuestionsButAlwaysReports) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  InstallVersion1("close", -1);
  SetCheckQuestion("Check now?");
  ServeInfo(Announcement(setup, {{"InformFinish", "0"}, {"RestartProcess", "0"}}));
  firstProductPid_ = StartProduct();
  answer_ = AnswerYes;
  ASSERT_EQ(StartPlainAgent("/TEST=2"), 0u);
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  ASSERT_TRUE(WaitUntil([&] { return boxes_.size() == 2; }, 10000)) << test::Describe(boxes_);
  EXPECT_EQ(boxes_[0].text, "Check now?");
  EXPECT_EQ(boxes_[1].text, "Sample App has been updated.") << "not restarted: no question to restart";
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_EQ(ProductPid(), 0u) << "a product not to be restarted stays stopped";
  EXPECT_FALSE(Logged("Restart Process")) << Log();
}

TEST_F(UpdateCycleTest, TestModeTakesTheUpdateFromTheTestFolderOnly) {
  const std::string folder = dir_ / "test release";
  std::filesystem::create_directories(folder);
  const std::string setup = BuildVersion2();
  ASSERT_TRUE(::CopyFileA(setup.c_str(), (folder + "\\" + test::kUpdateName).c_str(), FALSE));
  ASSERT_TRUE(test::WriteBytes(folder + "\\" + test::kInfoName,
                               Announcement(setup, {{"RequestConfirmationBeforeInstall", "0"}, {"InformFinish", "0"}})));
  SetTestMode("1", DateText(LocalNow()), folder);
  ServeUpdate(setup);
  answer_ = AnswerYes;
  RunUpdate("[NewSetup]\r\nVersionNew=9\r\n");
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_EQ(InfoRequests(), 0);
  EXPECT_EQ(UpdateRequests(), 0);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
}

// Each way of stopping the product, with a product that closes when asked,
// asks its user first, or ignores the request.
struct ShutDownCase {
  const char* name;
  const char* method;
  const char* productClose;
  bool stopped;
};

class ShutDownMethodTest : public UpdateCycleTest, public ::testing::WithParamInterface<ShutDownCase> {};

TEST_P(ShutDownMethodTest, StopsAndRestartsOnlyAStoppedProduct) {
  const ShutDownCase& c = GetParam();
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  RunUpdate(Announcement(setup, {{"ShutDownMethod", c.method},
                                 {"RequestConfirmationBeforeDownload", "0"},
                                 {"RequestConfirmationBeforeInstall", "0"},
                                 {"InformFinish", "0"}}),
            c.productClose);
  EXPECT_TRUE(Logged(std::string("Method: ") + c.method)) << Log();
  if (c.stopped) {
    EXPECT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000))
        << "a stopped product is started again";
  } else {
    EXPECT_EQ(ProductPid(), firstProductPid_) << "a product that kept running is neither stopped nor restarted";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Methods, ShutDownMethodTest,
    ::testing::Values(ShutDownCase{"WmClose", "Using WM_CLOSE", "close", true},
                      ShutDownCase{"WmQuit", "Using WM_QUIT", "ignore", true},
                      ShutDownCase{"Terminate", "Using Terminate Process", "ignore", true},
                      ShutDownCase{"WmCloseToAProductThatIgnoresIt", "Using WM_CLOSE", "ignore", false},
                      ShutDownCase{"MethodInAnotherCase", "using wm_close", "close", false},
                      ShutDownCase{"DontShutDown", "Don't Shut Down", "close", false}),
    [](const ::testing::TestParamInfo<ShutDownCase>& info) { return std::string(info.param.name); });

void PrintTo(const ShutDownCase& c, std::ostream* os) { *os << c.name; }

TEST_F(UpdateCycleTest, AProductThatAsksFirstStaysRunningAndIsNotRestarted) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  RunUpdate(Announcement(setup, {{"RequestConfirmationBeforeDownload", "0"},
                                 {"RequestConfirmationBeforeInstall", "0"},
                                 {"InformFinish", "0"}}),
            "ask");
  EXPECT_NE(test::ReadWholeFile(ProductRecordPath()).find("Close=asked"), std::string::npos);
  EXPECT_EQ(ProductPid(), firstProductPid_);
}

TEST_F(UpdateCycleTest, AMessageBoxAsksUntilTheUserHasClosedTheProduct) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  InstallVersion1();
  SetOriginal("AutoUpdate", "s15", "Please close PROG_NAME.");
  ServeInfo(Announcement(setup, {{"ShutDownMethod", "Issue a Message Box"},
                                 {"RequestConfirmationBeforeDownload", "0"},
                                 {"RequestConfirmationBeforeInstall", "0"},
                                 {"InformFinish", "0"}}));
  firstProductPid_ = StartProduct();
  int asked = 0;
  // The first answer leaves the product running; the second closes it.
  answer_ = [&](const test::SeenBox&) {
    if (++asked == 2) ::PostMessageA(::FindWindowA(test::kProductClass, nullptr), WM_CLOSE, 0, 0);
    return std::string();
  };
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  ASSERT_GE(boxes_.size(), 2u);
  EXPECT_NE(boxes_[0].text.find("Please close SampleApp.exe."), std::string::npos) << boxes_[0].text;
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000));
}

TEST_F(UpdateCycleTest, AMessageBoxIsNotShownWhenTheProductDoesNotRun) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  InstallVersion1();
  ServeInfo(Announcement(setup, {{"ShutDownMethod", "Issue a Message Box"},
                                 {"RequestConfirmationBeforeDownload", "0"},
                                 {"RequestConfirmationBeforeInstall", "0"},
                                 {"InformFinish", "0"}}));
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_EQ(ProductPid(), 0u) << "a product that did not run is never started";
}

// A product installed per machine, whose folder its users cannot write (a
// standard user's Program Files): the agent works from its folder per user.
// The product's setup asks for elevation on Windows and then may write the
// installation folder; here the folder opens while the setup runs.
class PerUserAgentTest : public UpdateCycleTest {
 protected:
  void SetUp() override {
    UpdateCycleTest::SetUp();
    char local[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
    workDir_ = std::string(local) + "\\Halvorin\\Tarnix\\" + agentName_;
    std::error_code ignored;
    std::filesystem::remove_all(workDir_, ignored);
  }

  void TearDown() override {
    // The fixture's clean-up deletes the installation folder.
    locked_.reset();
    UpdateCycleTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(workDir_, ignored);
  }

  // The installation folder and its files turn unwritable; empty, or why
  // they cannot.
  std::string Lock() {
    locked_ = std::make_unique<test::ImmutableFolder>(installDir_);
    return locked_->Refusal();
  }

  // What the agent recorded per user.
  std::string State(const char* key) const {
    char value[256] = {};
    ::GetPrivateProfileStringA("OriginalSetup", key, "", value, sizeof value,
                               (workDir_ + "\\" + test::kOriginalName).c_str());
    return value;
  }

  bool InInstallFolder(const std::string& name) const { return test::PathExists(installDir_ + "\\" + name); }

  std::unique_ptr<test::ImmutableFolder> locked_;
};

TEST_F(PerUserAgentTest, TheWholeUpdateRunsFromThePerUserFolder) {
  InstallVersion1();
  // The new version's setup installs the product's facts with it.
  const std::string original2 = dir_ / ("out\\" + std::string(test::kOriginalName));
  ASSERT_TRUE(::CopyFileA(OriginalPath().c_str(), original2.c_str(), FALSE));
  ASSERT_TRUE(::WritePrivateProfileStringA("OriginalSetup", "VersionOriginal", "2", original2.c_str()));
  const std::string setup = BuildVersion2(test::kProductToken, "", original2);
  ServeUpdate(setup);
  ServeInfo(Announcement(setup));
  answer_ = AnswerYes;
  if (const std::string refusal = Lock(); !refusal.empty()) GTEST_SKIP() << refusal;

  firstProductPid_ = StartProduct();
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("RunPackage() - START"); }, 90000)) << Log();
  ASSERT_TRUE(locked_->Set(false));
  ASSERT_TRUE(WaitUntil([&] { return Logged("RunPackage() - END"); }, 90000)) << Log();
  ASSERT_TRUE(locked_->Set(true));
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  HWND oldAgent = XAgentWindow();

  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_TRUE(InstalledVersion2());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  // The agent's own records went per user; the installed file holds the
  // setup's facts only, and the version is never kept per user.
  EXPECT_EQ(State("Stamp"), "7");
  EXPECT_NE(State("ReAskSecondsLast"), "");
  EXPECT_NE(State("ProbeSecondsLast"), "");
  EXPECT_EQ(State("VersionOriginal"), "");
  EXPECT_EQ(Original("OriginalSetup", "Stamp"), "");
  EXPECT_EQ(Original("OriginalSetup", "ProbeSecondsLast"), "0");
  EXPECT_TRUE(test::PathExists(InfoPath()));
  for (const std::string& name : {"X_" + agentName_, std::string(test::kInfoName), "X_" + AgentStem() + ".log",
                                  std::string(test::kUpdateName)})
    EXPECT_FALSE(InInstallFolder(name)) << name;

  ASSERT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000))
      << "the product was not started again";
  EXPECT_NE(test::ReadWholeFile(ProductRecordPath()).find("Started=2"), std::string::npos);
  // The fresh agent, started from the installed file, works per user too.
  ASSERT_TRUE(WaitUntil([&] { return XAgentWindow() != nullptr && XAgentWindow() != oldAgent; }, 40000))
      << "no fresh agent after the update\n"
      << Log();
  EXPECT_TRUE(test::PathExists(XAgentPath()));
  EXPECT_FALSE(InInstallFolder("X_" + agentName_));
  StopXAgent();
}

TEST_F(PerUserAgentTest, AVersionWrittenIntoTheInstalledFileIsSeen) {
  InstallVersion1();
  ServeInfo("");
  if (const std::string refusal = Lock(); !refusal.empty()) GTEST_SKIP() << refusal;

  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  EXPECT_TRUE(test::PathExists(XAgentPath()));
  EXPECT_FALSE(InInstallFolder("X_" + agentName_));
  ASSERT_TRUE(WaitUntil([&] { return !State("ProbeSecondsLast").empty(); }, 30000)) << "no probe recorded\n"
                                                                                     << Log();
  EXPECT_EQ(Original("OriginalSetup", "ProbeSecondsLast"), "0");
  EXPECT_EQ(Request(kRequestVersionOriginal), 1);

  // A support desk's report finds the records per user, by the installed
  // file's path and by the name of the agent that runs per user.
  ASSERT_TRUE(WaitUntil([&] { return Logged("ProbeResult="); }, 30000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", "ProbeResult"), "");
  const std::string result = State("ProbeResult");
  EXPECT_NE(result, "");
  for (const std::string& arguments : {"\"" + AgentPath() + "\" report", agentName_ + " report"}) {
    SCOPED_TRACE(arguments);
    DWORD code = 99;
    const std::string report = Control(arguments, dir_ / "report.txt", code);
    EXPECT_EQ(code, 0u);
    for (const std::string& line :
         {"Agent               " + AgentPath() + "\r\n", std::string("Installed version   1\r\n"),
          "Last probe          " + SecondsText(StrToInt64Def(State("ProbeSecondsLast"), 0)) + ": " + result,
          "Log                 X_" + AgentStem() + ".log, last 20 lines:\r\n"})
      EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    EXPECT_NE(report.find("GetOkToPerformAU = "), std::string::npos) << "the log's last lines\n" << report;
  }

  // A repair or a setup run by hand writes another version.
  ASSERT_TRUE(locked_->Set(false));
  SetOriginal("OriginalSetup", "VersionOriginal", "5");
  ASSERT_TRUE(locked_->Set(true));
  EXPECT_EQ(Request(kRequestVersionOriginal), 5);
  StopXAgent();
}

}  // namespace
}  // namespace tarnix
