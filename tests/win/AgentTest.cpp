// The resident agent as a product's vendor uses it: the installed agent
// file starts its X_ copy and forwards its switches; the copy probes on
// its schedule, answers requests, posts notifications, ends on request and
// deletes itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PackageBuilder.h"
#include "Utils/DateUtils.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"
#include "Utils/VersionInfo.h"
#include "net/DownloadRules.h"
#include "net/ResumeRules.h"
#include "startup/AgentMessages.h"
#include "win/support/AgentFixture.h"
#include "win/support/PlantedLibraries.h"
#include "win/support/ProcessImages.h"

namespace tarnix {
namespace {

using test::AgentFixture;
using test::ProcessesStartingWith;
using test::StartAgentControl;

constexpr int64_t kDay = 86400;

// A valid announcement that the decision turns down (not newer), so probes
// end after the decision.
std::string OldInfo() { return "[NewSetup]\r\nVersionNew=1\r\nStamp=5\r\n"; }

class AgentTest : public AgentFixture {
 protected:
  void SetUp() override {
    AgentFixture::SetUp();
    ListenToDebugChannel();
  }

  // Installs the agent, writes version 1 with the probe settings, serves
  // an announcement and starts the plain agent; the X_ agent's window.
  HWND StartAgent(int64_t probeInterval, int64_t probeLast, const std::string& parameters = "") {
    InstallAgent();
    WriteOriginal(1, probeInterval, probeLast);
    ServeInfo(OldInfo());
    EXPECT_EQ(StartPlainAgent(parameters), 0u);
    return WaitForXAgent();
  }

  // Keeps pumping for `ms` (the agent ticks once a second).
  void Wait(DWORD ms) {
    WaitUntil([] { return false; }, ms);
  }

  int64_t ProbeSecondsLastOnFile() const { return StrToInt64Def(Original("OriginalSetup", "ProbeSecondsLast"), 0); }
};

TEST_F(AgentTest, ThePlainAgentStartsItsCopyUnderAFolderWithBlanksAndTheCopyDeletesItself) {
  ASSERT_TRUE(StartAgent(-1, 0));
  EXPECT_TRUE(test::PathExists(XAgentPath()));
  EXPECT_TRUE(Logged("CreateAndRun_X_Exe() --- Start"));
  EXPECT_TRUE(Logged("Create X_ File "));
  EXPECT_TRUE(Logged("WinExec: \"" + XAgentPath() + "\"")) << Log();
  EXPECT_TRUE(Logged("ThisIs_X_AutoUpdate_Exe=TRUE"));
  StopXAgent();
  EXPECT_TRUE(test::PathExists(AgentPath())) << "the installed agent stays";
  EXPECT_TRUE(Logged("DeleteMySelf"));
}

// The deletion script reaches the copy under a folder whose name has a
// letter beyond ASCII and a per cent sign, which cmd.exe reads otherwise
// than the program writes them.
TEST_F(AgentTest, TheCopyDeletesItselfUnderAFolderWithAnUmlautAndAPercentSign) {
  installDir_ = dir_ / "J\xFCrgen";
  ASSERT_TRUE(::CreateDirectoryA(installDir_.c_str(), nullptr));
  installDir_ += "\\100%";
  ASSERT_TRUE(::CreateDirectoryA(installDir_.c_str(), nullptr));
  ASSERT_TRUE(StartAgent(-1, 0));
  EXPECT_TRUE(test::PathExists(XAgentPath()));
  StopXAgent();
  EXPECT_TRUE(test::PathExists(AgentPath()));
}

// A new agent started while the X_ agent before it is still ending (the
// restart after an update, or a start by the product's shortcut at that
// moment) copies itself once the old one has moved its file away, and
// every time exactly one agent of the new image runs afterwards. The
// restart's wait of ten seconds ends as soon as the old agent has gone.
TEST_F(AgentTest, AnAgentStartedWhileTheLastOneEndsAlwaysLeavesOneAgentOfTheNewImage) {
  WriteOriginal(1, -1, 0);
  ServeInfo(OldInfo());
  pack::PackageSpec images[2] = {AgentPlan(ServerLocation()), AgentPlan(ServerLocation())};
  images[1].silent = true;
  InstallAgent(images[0]);
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  const std::string xPrefix = installDir_ + "\\X_" + agentName_;
  for (int round = 1; round <= 6; ++round) {
    SCOPED_TRACE(round);
    InstallAgent(images[round % 2]);
    const std::string image = test::ReadWholeFile(AgentPath());
    DWORD oldPid = 0;
    ::GetWindowThreadProcessId(XAgentWindow(), &oldPid);
    UniqueHandle old(::OpenProcess(SYNCHRONIZE, FALSE, oldPid));
    ASSERT_TRUE(old);
    ::PostMessageA(XAgentWindow(), wm_ShutDown, 0, 0);
    ASSERT_EQ(StartPlainAgent(round % 2 ? "/_ZZ=99 /WAIT=10" : "/_ZZ=99"), 0u);
    ASSERT_TRUE(WaitUntil([&] { return ::WaitForSingleObject(old.get(), 0) == WAIT_OBJECT_0; }, 20000));
    ASSERT_TRUE(WaitUntil([&] { return XAgentWindow() != nullptr; }, 20000)) << "no agent runs\n" << Log();
    Wait(2000);
    // Also an old copy that has moved its file aside while it ends.
    EXPECT_EQ(ProcessesStartingWith(xPrefix).size(), 1u) << Log();
    EXPECT_TRUE(test::ReadWholeFile(XAgentPath()) == image) << "the agent runs the old image";
  }
  EXPECT_EQ(LogCount("Wait ended: the X_ agent before has gone"), 3) << Log();
  StopXAgent();
}

TEST_F(AgentTest, ASecondStartMakesNoSecondCopyButForwardsItsSwitches) {
  HWND agent = StartAgent(-1, 0);
  ASSERT_TRUE(agent);
  DWORD firstPid = 0;
  ::GetWindowThreadProcessId(agent, &firstPid);
  test::NotificationCollector controller;
  const std::string wmMsg = std::to_string(reinterpret_cast<uintptr_t>(controller.Window())) + ":" +
                            std::to_string(test::NotificationCollector::kMessage);
  EXPECT_EQ(StartPlainAgent("/WM_MSG=" + wmMsg), 0u);
  EXPECT_EQ(LogCount("Create X_ File "), 1) << Log();
  EXPECT_TRUE(Logged("PostProcessMessage(wm_LocalMsg) to: " + XAgentPath() + " - :" + wmMsg + ":")) << Log();
  ASSERT_TRUE(WaitUntil([&] { return controller.Has(kNotifyAgentMessage, wm_AgentMsg); }, 15000))
      << controller.Describe();
  EXPECT_EQ(controller.Received().front(), std::make_pair(WPARAM(kNotifyAgentWindow), LPARAM(agent)));

  // "/_ZZ=99" makes a new copy even so; its start finds the running agent
  // and leaves it alone.
  EXPECT_EQ(StartPlainAgent("/_ZZ=99"), 0u);
  EXPECT_EQ(LogCount("Create X_ File "), 2) << Log();
  EXPECT_EQ(XAgentWindow(), agent);

  // "/STOP=3" reaches the same agent, which ends some ticks later.
  EXPECT_EQ(StartPlainAgent("/STOP=3"), 0u);
  EXPECT_EQ(LogCount("Create X_ File "), 2);
  EXPECT_TRUE(WaitUntil([&] { return !XAgentWindow(); }, 20000)) << "the stop did not end the agent";
  EXPECT_TRUE(WaitUntil([&] { return controller.Has(kNotifyLoopEnded, 0); }, 5000)) << controller.Describe();
  EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(XAgentPath()); }, 20000));
}

TEST_F(AgentTest, WaitTransientAndDelayReachTheCopyInOrder) {
  InstallAgent();
  WriteOriginal(1, -1, 0);
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(StartPlainAgent("/WAIT=2 /TRANSIENT=|1|0| /DELAY=7"), 0u);
  EXPECT_GE(::GetTickCount() - start, 2000u) << "the copy was made without the wait";
  ASSERT_TRUE(WaitForXAgent());
  EXPECT_TRUE(Logged("Wait 2 SEC"));
  EXPECT_TRUE(Logged("CommandLine=\"" + XAgentPath() + "\" /TRANSIENTx=|1|0| /SleepX=7")) << Log();
  // The copy starts its count at -7.
  EXPECT_TRUE(WaitUntil([&] { return DebugCount(" AutoUpdateTimerCount=") > 0; }, 10000));
  EXPECT_EQ(DebugCount(" AutoUpdateTimerCount=-7"), 0);
  EXPECT_GT(DebugCount(" AutoUpdateTimerCount=-6"), 0) << debug_->Joined();
  StopXAgent();
}

TEST_F(AgentTest, ADailyProbeFiresWithTheFourthTickAndNotAgain) {
  const int64_t now = NowSeconds();
  ASSERT_TRUE(StartAgent(kDay, now - kDay - 10));
  ASSERT_TRUE(WaitUntil([&] { return InfoRequests() > 0; }, 15000));
  Wait(4000);
  EXPECT_EQ(InfoRequests(), 1);
  EXPECT_EQ(DebugCount(" Fire  "), 1) << debug_->Joined();
  const int64_t written = std::stoll(Original("OriginalSetup", "ProbeSecondsLast"));
  EXPECT_NEAR(double(written), double(now), 30.0);
  EXPECT_NE(Original("OriginalSetup", "__ProbeSecondsLast"), "");
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), OldInfo()) << "the announcement is kept beside the agent";
  EXPECT_TRUE(Logged("GetOkToPerformAU = 3 - New version is not higher then old version")) << Log();
  StopXAgent();
}

TEST_F(AgentTest, AnIntervalOfZeroProbesOncePerStartEvenRightAfterAProbe) {
  ASSERT_TRUE(StartAgent(0, NowSeconds() - 1));
  ASSERT_TRUE(WaitUntil([&] { return InfoRequests() > 0; }, 15000));
  Wait(4000);
  EXPECT_EQ(InfoRequests(), 1);
  StopXAgent();
}

TEST_F(AgentTest, AnIntervalOfMinusOneProbesOnlyOnRequest) {
  ASSERT_TRUE(StartAgent(-1, 0));
  Wait(6000);
  EXPECT_EQ(InfoRequests(), 0);
  EXPECT_EQ(StartPlainAgent("/TEST=1"), 0u);
  EXPECT_TRUE(Logged("AU_PerformUpdateCycle (1)"));
  EXPECT_TRUE(WaitUntil([&] { return InfoRequests() == 1; }, 15000));
  EXPECT_TRUE(XAgentWindow()) << "a check in a running agent does not end it";
  StopXAgent();
}

TEST_F(AgentTest, ARequestedCheckWithoutARunningAgentEndsTheAgentStartedForIt) {
  InstallAgent();
  WriteOriginal(1, -1, 0);
  ServeInfo(OldInfo());
  EXPECT_EQ(StartPlainAgent("/TEST=1"), 0u);
  EXPECT_TRUE(WaitUntil([&] { return InfoRequests() == 1; }, 20000));
  EXPECT_TRUE(WaitUntil([&] { return !XAgentWindow(); }, 20000)) << "the one-off agent stays";
  EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(XAgentPath()); }, 20000));
}

TEST_F(AgentTest, RequestsReadAndWriteTheSettingsAndUnknownOnesAnswerZero) {
  ASSERT_TRUE(StartAgent(-1, 0));
  SetOriginal("OriginalSetup", "ReAskSecondsInterval", "600");
  EXPECT_EQ(Request(kRequestVersionOriginal), 1);
  EXPECT_EQ(Request(kRequestProbeSecondsInterval), -1);
  EXPECT_EQ(Request(kRequestReAskSecondsInterval), 600);
  EXPECT_EQ(Request(kRequestAgentStatus), 0);
  EXPECT_EQ(Request(kRequestSetProbeSecondsInterval, 3600), 0);
  EXPECT_EQ(Original("OriginalSetup", "ProbeSecondsInterval"), "3600");
  // Agent times are above 2^31: they travel as unsigned 32-bit numbers.
  const int64_t now = NowSeconds();
  EXPECT_EQ(Request(kRequestSetReAskSecondsLast, LPARAM(uint32_t(now))), 0);
  EXPECT_EQ(Original("OriginalSetup", "ReAskSecondsLast"), std::to_string(now));
  EXPECT_EQ(uint32_t(Request(kRequestReAskSecondsLast)), uint32_t(now));
  EXPECT_NE(Original("OriginalSetup", "__ReAskSecondsLast"), "");
  // Whatever the widths of the agent and of the program that asks, values
  // travel in 32 bits: a 32-bit program's argument reaches a 64-bit agent
  // sign-extended, and a 64-bit program sees the answer as a 32-bit agent's.
  EXPECT_EQ(Request(kRequestSetReAskSecondsLast, LPARAM(int32_t(uint32_t(now)))), 0);
  EXPECT_EQ(Original("OriginalSetup", "ReAskSecondsLast"), std::to_string(now));
  EXPECT_EQ(Request(kRequestReAskSecondsLast), LRESULT(int32_t(uint32_t(now))));
  EXPECT_EQ(Request(kRequestSetProbeSecondsInterval, LPARAM(uint64_t(1) << 32 | 7200)), 0);
  EXPECT_EQ(Original("OriginalSetup", "ProbeSecondsInterval"), "7200");
  for (int32_t unknown : {0, 1, 6, 16, 26, 33, 1000, -5}) EXPECT_EQ(Request(unknown, 77), 0) << unknown;
  EXPECT_EQ(InfoRequests(), 0) << "no request starts a probe by accident";
  StopXAgent();
}

TEST_F(AgentTest, AStopDuringAProbeTakesEffectAfterIt) {
  ASSERT_TRUE(StartAgent(-1, 0));
  test::HttpResponse slow;
  slow.body = OldInfo();
  slow.pieceSize = 4;
  slow.pieceDelayMs = 200;
  server_.Serve("/updates/" + std::string(test::kInfoName), slow);
  Request(kRequestCheck, 1);
  ASSERT_TRUE(WaitUntil([&] { return Logged("Download START: "); }, 15000));
  ::PostMessageA(XAgentWindow(), wm_ShutDown, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !XAgentWindow(); }, 30000));
  // The probe ran to its end before the agent went.
  EXPECT_TRUE(Logged("GetOkToPerformAU = 3")) << Log();
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), OldInfo());
  EXPECT_EQ(LogCount("Download START: "), 1) << "a tick re-entered the probe";
}

TEST_F(AgentTest, RefreshingTheAnnouncementWritesNoProbeTime) {
  ASSERT_TRUE(StartAgent(-1, 12345));
  Request(kRequestRefreshInfo);
  ASSERT_TRUE(WaitUntil([&] { return test::ReadWholeFile(InfoPath()) == OldInfo(); }, 10000));
  EXPECT_EQ(Original("OriginalSetup", "ProbeSecondsLast"), "12345");
  EXPECT_FALSE(Logged("GetOkToPerformAU")) << "no decision after a refresh";
  StopXAgent();
}

TEST_F(AgentTest, NotificationsOfAProbeArriveInOrder) {
  ASSERT_TRUE(StartAgent(-1, 0));
  test::NotificationCollector controller;
  ::PostMessageA(XAgentWindow(), wm_LocalMsg, reinterpret_cast<WPARAM>(controller.Window()),
                 test::NotificationCollector::kMessage);
  ASSERT_TRUE(WaitUntil([&] { return controller.Received().size() >= 2; }, 10000));
  Request(kRequestCheck, 1);
  ASSERT_TRUE(WaitUntil([&] { return controller.Has(kNotifyInfoDownload, 2); }, 15000)) << controller.Describe();
  StopXAgent();
  ASSERT_TRUE(WaitUntil([&] { return controller.Has(kNotifyLoopEnded, 0); }, 5000));
  const std::vector<std::pair<WPARAM, LPARAM>> expected = {
      {kNotifyAgentWindow, 0}, {kNotifyAgentMessage, wm_AgentMsg}, {kNotifyInfoDownload, 1},
      {kNotifyInfoDownload, 2}, {kNotifyLoopEnded, 0}};
  std::vector<std::pair<WPARAM, LPARAM>> received = controller.Received();
  ASSERT_EQ(received.size(), expected.size()) << controller.Describe();
  received[0].second = 0;  // the agent's window handle
  EXPECT_EQ(received, expected);
}

TEST_F(AgentTest, TestModeHoldsOnlyOnItsDayAndTakesTheTestFolder) {
  const std::string folder = dir_ / "test updates";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(test::WriteBytes(folder + "\\" + test::kInfoName, "[NewSetup]\r\nVersionNew=1\r\nStamp=9\r\n"));
  const std::string yesterday = DateText(LocalNow() - 1);
  const std::string today = DateText(LocalNow());

  SetTestMode("1", yesterday, folder);
  ASSERT_TRUE(StartAgent(0, 0));
  ASSERT_TRUE(WaitUntil([&] { return InfoRequests() == 1; }, 15000)) << "yesterday's test mode is not test mode";
  StopXAgent();

  SetTestMode("1", today, folder);
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("TestMode=TRUE"); }, 15000)) << Log();
  EXPECT_TRUE(WaitUntil([&] { return test::ReadWholeFile(InfoPath()).find("Stamp=9") != std::string::npos; }));
  EXPECT_EQ(InfoRequests(), 1) << "test mode never fetches over HTTP";
  StopXAgent();
}

TEST_F(AgentTest, ACheckTheUserAskedForAsksShowsTheWindowAndAnswers) {
  ASSERT_TRUE(StartAgent(-1, 0));
  SetCheckQuestion("Check PROG_NAME for a new version now?");
  SetOriginal("AutoUpdate", "s21", "No new version of PROG_NAME is available.");
  // A slow announcement keeps the download going long enough to see the
  // window.
  test::HttpResponse slow;
  slow.body = OldInfo();
  slow.pieceSize = 4;
  slow.pieceDelayMs = 150;
  server_.Serve("/updates/" + std::string(test::kInfoName), slow);
  bool shownDuringDownload = false;
  answer_ = [](const test::SeenBox& box) { return box.captions.size() > 1 ? std::string("&Yes") : std::string(); };
  EXPECT_EQ(StartPlainAgent("/TEST=2"), 0u);
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (InfoRequests() > 0 && ::IsWindowVisible(XAgentWindow())) shownDuringDownload = true;
        return boxes_.size() >= 2;
      },
      30000))
      << test::Describe(boxes_);
  EXPECT_EQ(boxes_[0].text, "Check Sample Product for a new version now?");
  EXPECT_EQ(boxes_[1].text, "No new version of Sample Product is available.");
  EXPECT_TRUE(shownDuringDownload);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(XAgentWindow()); }, 5000));
  StopXAgent();
}

// Libraries planted beside the installed agent are never loaded by the
// agent, its copy or its probe (which brings WinINet up).
TEST_F(AgentTest, LibrariesPlantedBesideTheAgentAreNotLoaded) {
  test::PlantedLibraries planted(dir_ / "marks", {test::kAgentName, std::string("X_") + test::kAgentName});
  InstallAgent();
  WriteOriginal(1, 0, 0);
  ServeInfo(OldInfo());
  test::PlantedLibraries::PlantIn(installDir_);
  EXPECT_EQ(StartPlainAgent("", planted.Environment()), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("GetOkToPerformAU = "); }, 20000)) << Log();
  EXPECT_EQ(Request(kRequestVersionOriginal), 1);
  StopXAgent();
  EXPECT_EQ(planted.Marks(), "");
}

TEST_F(AgentTest, AgentControlSteersTheRunningAgent) {
  HWND agent = StartAgent(-1, 0);
  ASSERT_TRUE(agent);
  struct Case {
    const char* arguments;
    DWORD exitCode;
    std::string output;
  } cases[] = {
      {"SampleAgent.exe find", 0, std::to_string(reinterpret_cast<uintptr_t>(agent)) + "\r\n"},
      {"SampleAgent.exe status", 0, "0\r\n"},
      {"SampleAgent.exe request 4", 0, "1\r\n"},
      {"SampleAgent.exe request 8", 0, "-1\r\n"},
      {"SampleAgent.exe request 99 5", 0, "0\r\n"},
      {"OtherAgent.exe status", 1, "agent-control: no agent of OtherAgent.exe is running\r\n"},
      {"SampleAgent.exe request", 2, ""},
      {"SampleAgent.exe check x", 2, ""},
  };
  const std::string out = dir_ / "agent-control.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    UniqueHandle process = StartAgentControl(c.arguments, out);
    ASSERT_TRUE(process);
    ASSERT_TRUE(WaitUntil([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 30000));
    DWORD code = 99;
    ::GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, c.exitCode);
    const std::string printed = test::ReadWholeFile(out);
    if (c.exitCode == 2)
      EXPECT_NE(printed.find("usage: agent-control"), std::string::npos) << printed;
    else
      EXPECT_EQ(printed, c.output);
  }

  // A watch prints the notifications until the agent has ended.
  const std::string watchOut = dir_ / "watch.txt";
  UniqueHandle watch = StartAgentControl("SampleAgent.exe watch --seconds 60", watchOut);
  ASSERT_TRUE(WaitUntil([&] { return test::ReadWholeFile(watchOut).find("51 ") != std::string::npos; }, 20000));
  UniqueHandle check = StartAgentControl("SampleAgent.exe check", dir_ / "check.txt");
  ASSERT_TRUE(WaitUntil([&] { return InfoRequests() == 1; }, 20000));
  UniqueHandle stop = StartAgentControl("SampleAgent.exe stop", dir_ / "stop.txt");
  ASSERT_TRUE(WaitUntil([&] { return ::WaitForSingleObject(watch.get(), 0) == WAIT_OBJECT_0; }, 30000))
      << test::ReadWholeFile(watchOut) << "|" << test::ReadWholeFile(dir_ / "stop.txt") << "|" << Log();
  DWORD code = 99;
  ::GetExitCodeProcess(watch.get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(test::ReadWholeFile(watchOut), "50 " + std::to_string(reinterpret_cast<uintptr_t>(agent)) +
                                              "\r\n51 1125\r\n40 1\r\n40 2\r\n43 0\r\n");
  EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(XAgentPath()); }, 20000));
}

// The processor the test programs, and the stub with them, are built for.
constexpr const char* kArchitecture = sizeof(void*) == 8 ? "x64 (64-bit)" : "x86 (32-bit)";

// What a support desk asks first, from a running agent and, once it has
// ended, from its files alone; by the agent's name (the running agent's
// folder) and by its path.
TEST_F(AgentTest, TheReportTellsTheStateOfARunningAgentAndOfOneThatDoesNotRun) {
  HWND agent = StartAgent(0, 0);
  ASSERT_TRUE(agent);
  ASSERT_TRUE(WaitUntil([&] { return Logged("ProbeResult="); }, 20000)) << Log();
  DWORD pid = 0;
  ::GetWindowThreadProcessId(agent, &pid);
  const std::string byPath = "\"" + AgentPath() + "\" report";
  const std::string out = dir_ / "report.txt";
  const std::string lastProbe = "Last probe          " + SecondsText(ProbeSecondsLastOnFile()) +
                                ": 3 - New version is not higher then old version\r\n";
  for (const std::string& arguments : {std::string("SampleAgent.exe report"), byPath}) {
    SCOPED_TRACE(arguments);
    DWORD code = 0;
    const std::string report = Control(arguments, out, code);
    EXPECT_EQ(code, 0u);
    for (const std::string& line : {
             "Agent               " + AgentPath() + "\r\n",
             "Agent version       " + GetExeVersion(stub_, 1, 4) + ", " + kArchitecture + "\r\n",
             "Running             yes, process " + std::to_string(pid) + ": idle\r\n",
             std::string("Installed version   1\r\n"),
             "Update location     " + ServerLocation() + "\r\n",
             std::string("Vendor key          no\r\n"),
             lastProbe,
             std::string("Next probe          once at every start of the agent (ProbeSecondsInterval=0)\r\n"),
             std::string("Partial download    none\r\n"),
             std::string("Log                 X_SampleAgent.log, last 20 lines:\r\n"),
         })
      EXPECT_NE(report.find(line), std::string::npos) << line << report;
    EXPECT_NE(report.find("GetOkToPerformAU = 3 - New version is not higher then old version\r\n"),
              std::string::npos)
        << "the log's last lines\n"
        << report;
  }

  DWORD code = 0;
  const std::string json = Control("SampleAgent.exe report --json --lines 3", out, code);
  EXPECT_EQ(code, 0u);
  for (const std::string& field : {
           std::string("\"running\": true,"), "\"process_id\": " + std::to_string(pid) + ",",
           std::string("\"agent_status\": 0,"),
           std::string("\"installed_version\": 1,"),
           std::string("\"status\": 3, \"result\": \"3 - New version is not higher then old version\", "
                       "\"reason\": \"\"}"),
           std::string("\"partial_downloads\": [],"),
       })
    EXPECT_NE(json.find(field), std::string::npos) << field << "\n" << json;
  const size_t tail = json.find("\"log_tail\": [");
  ASSERT_NE(tail, std::string::npos) << json;
  EXPECT_EQ(std::count(json.begin() + tail, json.end(), '"'), 2 + 3 * 2) << "three lines of the log\n" << json;

  StopXAgent();
  const std::string idle = Control(byPath, out, code);
  EXPECT_EQ(code, 0u);
  for (const std::string& line : {std::string("Running             no\r\n"), std::string("Installed version   1\r\n"),
                                  lastProbe})
    EXPECT_NE(idle.find(line), std::string::npos) << line << idle;

  const std::string nowhere = Control("\"" + (dir_ / "nowhere\\SampleAgent.exe") + "\" report", out, code);
  EXPECT_EQ(code, 1u);
  EXPECT_NE(nowhere.find("agent-control: no agent package at "), std::string::npos) << nowhere;
}

// A download that broke off and waits for the next probe, as the
// downloader leaves it: the partial file and its record beside the agent.
TEST_F(AgentTest, TheReportShowsADownloadThatWaitsToContinue) {
  InstallAgent();
  WriteOriginal(1, 3600, NowSeconds() - 7200);
  const std::string target = installDir_ + "\\SampleSetup2.exe";
  const std::string partial = DownloadTempName(target, 50000, 77);
  ASSERT_TRUE(test::WriteBytes(partial, std::string(12345, 'x')));
  ASSERT_TRUE(test::WriteBytes(ResumeRecordName(partial),
                               FormatResumeRecord({ServerLocation() + "/SampleSetup2.exe", 50000, "\"v2\"", 12288})));
  const std::string out = dir_ / "report.txt";
  DWORD code = 0;
  const std::string report = Control("\"" + AgentPath() + "\" report", out, code);
  EXPECT_EQ(code, 0u);
  const std::string name = FileNamePart(partial);
  for (const std::string& line : {
           "Partial download    SampleSetup2.exe: 12345 of 50000 bytes (" + name + ")\r\n",
           std::string("Running             no\r\n"),
           std::string("Last probe          ") + SecondsText(ProbeSecondsLastOnFile()) + "\r\n",
           std::string("Next probe          at the agent's next start (every 3600 seconds)\r\n"),
       })
    EXPECT_NE(report.find(line), std::string::npos) << line << report;
  const std::string json = Control("\"" + AgentPath() + "\" report --json", out, code);
  EXPECT_NE(json.find("\"partial_downloads\": [{\"target\": \"SampleSetup2.exe\", \"file\": \"" + name +
                      "\", \"url\": \"" + ServerLocation() + "/SampleSetup2.exe\", \"bytes\": 12345, \"size\": 50000}],"),
            std::string::npos)
      << json;
}

}  // namespace
}  // namespace tarnix
