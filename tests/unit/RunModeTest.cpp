// The run-mode choice and the names and command lines that follow from it.
#include <gtest/gtest.h>

#include <string>

#include "Utils/Switches.h"
#include "startup/RunMode.h"

namespace tarnix {
namespace {

const char* Name(RunMode m) {
  switch (m) {
    case RunMode::Setup: return "Setup";
    case RunMode::CdRelaunch: return "CdRelaunch";
    case RunMode::PlainAgent: return "PlainAgent";
    case RunMode::XAgent: return "XAgent";
  }
  return "?";
}

TEST(RunModeTest, ChosenFromTheAgentFlagTheFileNameAndTheCdLevel) {
  const std::string setup = R"(D:\setup.exe)";
  const RunModeFacts plain{false, "", false}, cd{false, "", true};
  const RunModeFacts agent{true, "Agent.exe", false}, agentOnCd{true, "Agent.exe", true};
  struct Case {
    std::string params, exePath;
    RunModeFacts facts;
    RunMode expected;
  } cases[] = {
      {"", setup, plain, RunMode::Setup},
      {"/SpanCdLvl=1", setup, plain, RunMode::Setup},
      {"", setup, cd, RunMode::CdRelaunch},
      {"/hide /SpanCdLvl=1", setup, cd, RunMode::CdRelaunch},
      {"/SpanCdLvl=2", setup, cd, RunMode::Setup},
      {"/spancdlvl=2", setup, cd, RunMode::Setup},
      {"/SpanCdLvl=abc", setup, cd, RunMode::CdRelaunch},
      {"", R"(C:\P\Agent.exe)", agent, RunMode::PlainAgent},
      {"", R"(C:\P\aGENT.EXE)", agent, RunMode::PlainAgent},
      {"", R"(C:\P\x_AGENT.exe)", agent, RunMode::XAgent},
      {"", R"(C:\P\X_Agent.exe)", {true, " agent.exe ", false}, RunMode::XAgent},
      {"", R"(C:\P\Agent.exe)", agentOnCd, RunMode::PlainAgent},
      {"", R"(C:\P\Y_X_Agent.exe)", agent, RunMode::Setup},
      {"", R"(C:\P\Other.exe)", agent, RunMode::Setup},
      {"", R"(C:\P\Other.exe)", agentOnCd, RunMode::CdRelaunch},
      {"", R"(C:\P\Agent.exe)", {false, "Agent.exe", false}, RunMode::Setup},
      {"", R"(C:\P\X_)", {true, "", false}, RunMode::Setup},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(Name(ChooseRunMode(c.params, c.exePath, c.facts)), Name(c.expected)) << c.exePath << " " << c.params;
}

TEST(RunModeTest, WindowClassNames) {
  EXPECT_EQ(WindowClassName(true, R"(C:\P\X_Agent.exe)"), ".AutoUpdate.X_Agent");
  EXPECT_EQ(WindowClassName(true, R"(C:\P.d\Agent.v2.exe)"), ".AutoUpdate.Agent.v2");
  EXPECT_EQ(WindowClassName(true, R"(C:\P.d\Agent)"), ".AutoUpdate.Agent");
  EXPECT_EQ(WindowClassName(false, R"(C:\P\setup.exe)"), R"(C:\P\setup.exe)");
  EXPECT_EQ(XAgentClassName("Agent.exe"), ".AutoUpdate.X_Agent");
  EXPECT_EQ(XAgentClassName("Agent"), ".AutoUpdate.X_Agent");
}

TEST(RunModeTest, XAgentWindowIsFoundByTheNameThePlainAgentLooksFor) {
  for (const std::string agentName : {"Agent.exe", "My.Agent.exe", "agent"})
    EXPECT_EQ(WindowClassName(true, R"(C:\Program Files\P\X_)" + agentName), XAgentClassName(agentName)) << agentName;
}

TEST(RunModeTest, CdRelaunchCommandLine) {
  EXPECT_EQ(CdRelaunchCommandLine(R"(C:\T\SETUP_\Y_setup.exe)", "/hide", R"(D:\setup.exe)"),
            R"("C:\T\SETUP_\Y_setup.exe" /SpanCdLvl=2 /hide /SpanDiskFName1="D:\setup.exe.001" /OriginExe="D:\setup.exe")");
  EXPECT_EQ(CdRelaunchCommandLine(R"(C:\T\SETUP_\Y_setup.exe)", "", R"(D:\setup.exe)"),
            R"("C:\T\SETUP_\Y_setup.exe" /SpanCdLvl=2 /SpanDiskFName1="D:\setup.exe.001" /OriginExe="D:\setup.exe")");
}

TEST(RunModeTest, XAgentCommandLineQuotesThePathAndKeepsTheSwitchOrder) {
  const std::string x = R"(C:\Program Files\P\X_Agent.exe)";
  struct Case {
    const char *transient, *delay, *expected;
  } cases[] = {
      {"", "", R"("C:\Program Files\P\X_Agent.exe")"},
      {"|1|0|", "", R"("C:\Program Files\P\X_Agent.exe" /TRANSIENTx=|1|0|)"},
      {"", "7", R"("C:\Program Files\P\X_Agent.exe" /SleepX=7)"},
      {"|1|", "7", R"("C:\Program Files\P\X_Agent.exe" /TRANSIENTx=|1| /SleepX=7)"},
  };
  for (const auto& c : cases) {
    const std::string line = XAgentCommandLine(x, c.transient, c.delay);
    EXPECT_EQ(line, c.expected);
    // What the copy reads back from its own command line.
    const std::string params = CommandLineParams(line, x);
    EXPECT_EQ(SwitchValueIn(params, kSwitchTransientX, ""), c.transient);
    EXPECT_EQ(SwitchIntIn(params, kSwitchSleepX, -1), *c.delay ? std::stoi(c.delay) : -1);
  }
}

TEST(RunModeTest, RelaunchedCopyRunsSetupOnTheFirstDiskFile) {
  const std::string copy = R"(C:\Documents and Settings\u\Temp\SETUP_\Y_setup.exe)";
  const std::string exe = R"(E:\My CD\setup.exe)";
  const RunModeFacts cd{false, "", true};
  // A level of 1 passed on must not make the copy relaunch itself again.
  for (const std::string params : {"", "/hide", "/SpanCdLvl=1", "/SpanCdLvl=x /hide"}) {
    const std::string copyParams = CommandLineParams(CdRelaunchCommandLine(copy, params, exe), copy);
    EXPECT_EQ(ChooseRunMode(copyParams, copy, cd), RunMode::Setup) << params;
    EXPECT_EQ(SwitchIntIn(copyParams, kSwitchSpanCdLvl, 1), 2) << params;
    EXPECT_EQ(SwitchValueIn(copyParams, kSwitchSpanDiskFName1, ""), exe + ".001") << params;
    EXPECT_EQ(SwitchValueIn(copyParams, kSwitchOriginExe, ""), exe) << params;
    EXPECT_EQ(HasSwitchIn(copyParams, kSwitchHide), params.find("/hide") != std::string::npos) << params;
  }
}

TEST(RunModeTest, WmMsgSplitsAtTheColon) {
  struct Case {
    std::string value;
    int64_t a, b;
  } cases[] = {
      {"5", 5, 0},       {"5:7", 5, 7},    {"", 0, 0},         {"abc:4", 0, 4},
      {" 12 : 34 ", 12, 34}, {"1:2:3", 1, 2}, {":9", 0, 9}, {"-1:-2", -1, -2},
  };
  for (const auto& c : cases) {
    const WmMsgArgs args = ParseWmMsg(c.value);
    EXPECT_EQ(args.a, c.a) << c.value;
    EXPECT_EQ(args.b, c.b) << c.value;
  }
}

}  // namespace
}  // namespace tarnix
