// The report of agent-control: the processor a program is built for, when
// the next probe comes, the log's last lines, and the two forms of the
// report for a support desk and for scripts.
#include "Report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Utils/DateUtils.h"

namespace tarnix::control {
namespace {

// The first bytes of a program: "MZ", the PE header's offset at 0x3C, and
// "PE\0\0" with the machine there.
std::string ProgramHead(uint32_t peOffset, uint16_t machine) {
  std::string head(peOffset + 24, '\0');
  head[0] = 'M';
  head[1] = 'Z';
  for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<char>(peOffset >> (8 * i));
  head.replace(peOffset, 4, std::string("PE\0\0", 4));
  head[peOffset + 4] = static_cast<char>(machine & 0xFF);
  head[peOffset + 5] = static_cast<char>(machine >> 8);
  return head;
}

TEST(AgentReportTest, ArchitectureFromTheProgramsHeader) {
  EXPECT_EQ(ArchitectureName(ProgramHead(0x80, 0x014C)), "x86 (32-bit)");
  // The stub's header lies at 256, past the usual place.
  EXPECT_EQ(ArchitectureName(ProgramHead(256, 0x8664)), "x64 (64-bit)");
  EXPECT_EQ(ArchitectureName(ProgramHead(0x80, 0x01C4)), "unknown");
  std::string beyond = ProgramHead(0x80, 0x014C);
  beyond[0x3D] = 0x10;
  EXPECT_EQ(ArchitectureName(beyond), "unknown") << "a header offset past the bytes read";
  EXPECT_EQ(ArchitectureName(ProgramHead(0x80, 0x014C).substr(0, 0x85)), "unknown") << "cut inside the header";
  EXPECT_EQ(ArchitectureName("[NewSetup]\r\n"), "unknown");
  EXPECT_EQ(ArchitectureName(""), "unknown");
}

constexpr int64_t kNow = 3'990'000'000;

struct NextCase {
  const char* name;
  int64_t interval;
  int64_t last;
  bool running;
  bool testMode;
  int64_t time;
  std::string text;
};

TEST(AgentReportTest, NextProbeFollowsTheIntervalAndTheLastProbe) {
  const NextCase cases[] = {
      {"Never", -1, kNow - 10, true, false, 0, "only when asked (ProbeSecondsInterval=-1)"},
      {"OncePerStart", 0, kNow - 10, true, false, 0, "once at every start of the agent (ProbeSecondsInterval=0)"},
      {"Later", 3600, kNow - 600, false, false, kNow + 3000,
       SecondsText(kNow + 3000) + " (every 3600 seconds)"},
      {"DueWhileRunning", 60, kNow - 600, true, false, kNow, "now (every 60 seconds)"},
      {"DueNotRunning", 60, kNow - 600, false, false, 0, "at the agent's next start (every 60 seconds)"},
      {"NeverProbed", 60, 0, true, false, kNow, "now (every 60 seconds)"},
      {"TestMode", 86400, kNow - 2, true, true, kNow + 3, SecondsText(kNow + 3) + " (every 5 seconds, test mode)"},
      {"HugeInterval", INT64_MAX, kNow, true, false, INT64_MAX, SecondsText(INT64_MAX) + " (every " +
                                                                     std::to_string(INT64_MAX) + " seconds)"},
  };
  for (const NextCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReportFacts facts;
    facts.now = kNow;
    facts.probeInterval = c.interval;
    facts.lastProbe = c.last;
    facts.running = c.running;
    facts.testMode = c.testMode;
    const NextProbe next = NextProbeTime(facts);
    EXPECT_EQ(next.time, c.time);
    EXPECT_EQ(next.text, c.text);
  }
}

// The plan the last probe made (spread, back-off, Retry-After) moves the
// next probe, never before the interval.
TEST(AgentReportTest, NextProbeFollowsThePlannedTime) {
  ReportFacts facts;
  facts.now = kNow;
  facts.probeInterval = 3600;
  facts.lastProbe = kNow - 600;
  facts.plannedProbe = kNow + 5000;
  facts.running = true;
  EXPECT_EQ(NextProbeTime(facts).time, kNow + 5000);
  facts.plannedProbe = kNow + 10;
  EXPECT_EQ(NextProbeTime(facts).time, kNow + 3000);
  facts.testMode = true;
  facts.plannedProbe = kNow + 5000;
  EXPECT_EQ(NextProbeTime(facts).time, kNow);
}

TEST(AgentReportTest, LastLinesOfTheLog) {
  const struct {
    const char* text;
    size_t count;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\r\nb\r\nc\r\n", 2, {"b", "c"}},
      {"a\r\nb\r\nc\r\n", 5, {"a", "b", "c"}},
      {"a\nb\nc", 2, {"b", "c"}},
      {"a\r\n\r\nc\r\n", 2, {"", "c"}},
      {"", 3, {}},
      {"a\r\n", 0, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(LastLines(c.text, c.count), c.lines) << c.text << " / " << c.count;
}

TEST(AgentReportTest, ProbeStatusIsTheResultsLeadingNumber) {
  EXPECT_EQ(ProbeStatus("0 - Error downloading .INFO file"), 0);
  EXPECT_EQ(ProbeStatus("6 - OK - update installed"), 6);
  EXPECT_EQ(ProbeStatus(""), -1);
  EXPECT_EQ(ProbeStatus("OK"), -1);
  EXPECT_EQ(ProbeStatus("123 - x"), -1);
}

ReportFacts Facts() {
  ReportFacts f;
  f.agentPath = "C:\\Program Files\\Sample\\SampleAgent.exe";
  f.packageFound = true;
  f.agentVersion = "1.4.0.0";
  f.architecture = "x64 (64-bit)";
  f.running = true;
  f.processId = 4711;
  f.agentStatus = 0;
  f.originalFound = true;
  f.installedVersion = 3;
  f.updateLocation = "http://updates.example/sample";
  f.now = kNow;
  f.probeInterval = 3600;
  f.lastProbe = kNow - 60;
  f.probeResult = "0 - Error downloading .INFO file";
  f.probeReason = "no data from the server for 30 seconds";
  f.logName = "X_SampleAgent.log";
  f.logTail = {"line one", "line \"two\""};
  return f;
}

TEST(AgentReportTest, TheTextNamesWhatASupportDeskAsksFirst) {
  ReportFacts f = Facts();
  f.partials.push_back({"SampleSetup2.exe", "SampleSetup2.exe.123", "http://u/SampleSetup2.exe", 3145728, 5242880});
  const std::string text = ReportText(f);
  for (const std::string& line : {
           std::string("Agent               C:\\Program Files\\Sample\\SampleAgent.exe\n"),
           std::string("Agent version       1.4.0.0, x64 (64-bit)\n"),
           std::string("Running             yes, process 4711: idle\n"),
           std::string("Installed version   3\n"),
           std::string("Update location     http://updates.example/sample\n"),
           std::string("Vendor key          no\n"),
           "Last probe          " + SecondsText(kNow - 60) + ": 0 - Error downloading .INFO file\n",
           std::string("Reason              no data from the server for 30 seconds\n"),
           "Next probe          " + SecondsText(kNow + 3540) + " (every 3600 seconds)\n",
           std::string("Partial download    SampleSetup2.exe: 3145728 of 5242880 bytes (SampleSetup2.exe.123)\n"),
           std::string("Log                 X_SampleAgent.log, last 2 lines:\n  line one\n  line \"two\"\n"),
       })
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  f = Facts();
  f.running = false;
  f.originalFound = false;
  f.lastProbe = 0;
  f.probeResult.clear();
  f.probeReason.clear();
  f.logTail.clear();
  const std::string idle = ReportText(f);
  for (const char* line : {"Running             no\n", "Installed version   unknown (no .original file)\n",
                           "Last probe          never\n", "Partial download    none\n",
                           "Log                 X_SampleAgent.log: none\n"})
    EXPECT_NE(idle.find(line), std::string::npos) << line << "\n" << idle;
  EXPECT_EQ(idle.find("Reason"), std::string::npos) << idle;
}

TEST(AgentReportTest, TheJsonCarriesTheSameForScripts) {
  ReportFacts f = Facts();
  f.agentPath = "C:\\Pr\xF6gramme\\SampleAgent.exe";
  f.partials.push_back({"S.exe", "S.exe.9", "http://u/S.exe", 10, 20});
  const std::string json = ReportJson(f);
  for (const std::string& field : {
           std::string("\"agent\": \"C:\\\\Pr\\u00F6gramme\\\\SampleAgent.exe\",\n"),
           std::string("\"running\": true,\n"),
           std::string("\"process_id\": 4711,\n"),
           std::string("\"agent_status\": 0,\n"),
           std::string("\"installed_version\": 3,\n"),
           std::string("\"vendor_key\": false,\n"),
           "\"last_probe\": {\"time\": {\"seconds\": " + std::to_string(kNow - 60) + ", \"text\": \"" +
               SecondsText(kNow - 60) +
               "\"}, \"status\": 0, \"result\": \"0 - Error downloading .INFO file\", \"reason\": \"no data from "
               "the server for 30 seconds\"},\n",
           std::string("\"partial_downloads\": [{\"target\": \"S.exe\", \"file\": \"S.exe.9\", \"url\": "
                       "\"http://u/S.exe\", \"bytes\": 10, \"size\": 20}],\n"),
           std::string("\"log_tail\": [\"line one\", \"line \\\"two\\\"\"]\n}\n"),
       })
    EXPECT_NE(json.find(field), std::string::npos) << field << "\n" << json;

  f.running = false;
  f.lastProbe = 0;
  f.probeResult.clear();
  const std::string idle = ReportJson(f);
  for (const char* field : {"\"process_id\": null,\n", "\"agent_status\": null,\n",
                            "\"last_probe\": {\"time\": null, \"status\": null, \"result\": \"\""})
    EXPECT_NE(idle.find(field), std::string::npos) << field << "\n" << idle;
}

}  // namespace
}  // namespace tarnix::control
