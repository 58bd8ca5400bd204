// The agent on a static server shared by a fleet: conditional probes answered
// 304 decide on the kept copy (a keyed agent checks its signature again), a
// busy server's Retry-After and the exponential back-off move the next
// scheduled probe, scheduled probes are spread, a staged rollout offers the
// release only below its percentage, and a channel's announcement is
// fetched with the plain one as its fall-back.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"
#include "startup/AgentMessages.h"
#include "win/support/AgentFixture.h"
#include "win/support/TestSigner.h"

namespace tarnix {
namespace {

using test::AgentFixture;
using test::HttpResponse;

constexpr char kEtag[] = "\"5f1-abc\"";
constexpr char kLastModified[] = "Tue, 08 Dec 2026 09:00:00 GMT";

// A valid announcement that the decision turns down (not newer).
std::string OldInfo(const std::string& extra = "") { return "[NewSetup]\r\nVersionNew=1\r\nStamp=5\r\n" + extra; }

// An announcement of version 2 whose setup is not on the server: the chain
// passes the rollout and stops at the size check (status 5).
std::string NewInfo(const std::string& extra = "") {
  return "[NewSetup]\r\nVersionNew=2\r\nStamp=9\r\nDownloadURL_UPDATE=http://127.0.0.1:1/none\r\n"
         "NameOfUpdateFile=Setup2.exe\r\nSizeOfUpdateFile=5000\r\n" +
         extra;
}

class FleetProbeTest : public AgentFixture {
 protected:
  void SetUp() override {
    agentName_ = "FleetAgent.exe";
    AgentFixture::SetUp();
  }

  // The announcement as nginx serves a static file: with its validators,
  // answering conditional requests with 304.
  void ServeStatic(const std::string& body, const std::string& etag = kEtag,
                   const std::string& name = test::kInfoName) {
    HttpResponse info;
    info.body = body;
    info.contentType = "text/plain";
    info.etag = etag;
    info.lastModified = kLastModified;
    info.answerConditional = true;
    server_.Serve("/updates/" + name, info);
  }

  void ServeStatus(const std::string& status, const std::string& extraHeaders = "", const std::string& date = "") {
    HttpResponse busy;
    busy.status = status;
    busy.contentType = "text/plain";
    busy.body = "busy";
    busy.extraHeaders = extraHeaders;
    busy.date = date;
    server_.Serve("/updates/" + std::string(test::kInfoName), busy);
  }

  HWND Start(int64_t interval = -1, int64_t last = 0) {
    InstallAgent();
    WriteOriginal(1, interval, last);
    EXPECT_EQ(StartPlainAgent(), 0u);
    return WaitForXAgent();
  }

  // One probe asked for by a program (not by the user), waited for to its
  // end.
  void Probe() {
    const int before = LogCount("ProbeResult=");
    Request(kRequestCheck, 1);
    ASSERT_TRUE(WaitUntil([&] { return LogCount("ProbeResult=") > before; }, 30000)) << Log();
  }

  // The GETs of the announcement, in order.
  std::vector<test::HttpRequestSeen> InfoGets(const std::string& name = test::kInfoName) const {
    std::vector<test::HttpRequestSeen> gets;
    for (const test::HttpRequestSeen& r : server_.Requests())
      if (r.method == "GET" && r.path == "/updates/" + name) gets.push_back(r);
    return gets;
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }

  int64_t State(const char* key) const { return StrToInt64Def(Original("OriginalSetup", key), 0); }
};

TEST_F(FleetProbeTest, AProbeAnswered304DecidesOnTheKeptCopy) {
  ServeStatic(OldInfo());
  ASSERT_TRUE(Start());
  Probe();
  EXPECT_EQ(Original("OriginalSetup", "InfoETag"), std::string("<") + kEtag + ">");
  EXPECT_EQ(Original("OriginalSetup", "InfoLastModified"), kLastModified);
  Probe();
  const auto gets = InfoGets();
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_EQ(gets[0].ifNoneMatch, "") << "nothing kept before the first probe";
  EXPECT_EQ(gets[0].status, 200);
  EXPECT_EQ(gets[1].ifNoneMatch, kEtag);
  EXPECT_EQ(gets[1].ifModifiedSince, kLastModified);
  EXPECT_EQ(gets[1].status, 304);
  EXPECT_EQ(gets[1].bodySent, 0u);
  EXPECT_TRUE(Logged("304 Not Modified, the kept announcement stands")) << Log();
  EXPECT_EQ(LogCount("GetOkToPerformAU = 3 - New version is not higher then old version"), 2) << Log();
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), OldInfo());
  // A changed file comes whole again, with its new validators.
  ServeStatic(NewInfo(), "\"5f1-def\"");
  Probe();
  EXPECT_EQ(InfoGets().back().status, 200);
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), NewInfo());
  EXPECT_EQ(Original("OriginalSetup", "InfoETag"), "<\"5f1-def\">");
  EXPECT_TRUE(Logged("GetOkToPerformAU = 5")) << Log();
  StopXAgent();
}

TEST_F(FleetProbeTest, AKeyedAgentChecksTheKeptCopyAgainOn304) {
  test::TestSigner signer;
  publicKey_ = signer.PublicKeyHex();
  const std::string signedInfo = signer.Signed(OldInfo());
  ServeStatic(signedInfo);
  ASSERT_TRUE(Start());
  Probe();
  Probe();
  EXPECT_EQ(InfoGets().back().status, 304);
  EXPECT_EQ(LogCount("Announcement: signed by the vendor"), 2) << Log();
  EXPECT_EQ(LogCount("GetOkToPerformAU = 3"), 2) << Log();
  // A kept copy changed on the disk is refused, though the server says
  // nothing has changed; the next probe asks unconditionally.
  WriteFile(InfoPath(), OldInfo("ProgramName=Tampered\r\n") + signedInfo.substr(OldInfo().size()));
  answer_ = nullptr;
  Probe();
  EXPECT_EQ(InfoGets().back().status, 304);
  EXPECT_TRUE(Logged("Announcement refused")) << Log();
  EXPECT_TRUE(Logged("GetOkToPerformAU = 0")) << Log();
  EXPECT_EQ(Original("OriginalSetup", "InfoETag"), "");
  Probe();
  EXPECT_EQ(InfoGets().back().ifNoneMatch, "");
  EXPECT_EQ(InfoGets().back().status, 200);
  EXPECT_EQ(LogCount("Announcement: signed by the vendor"), 3) << Log();
  StopXAgent();
}

TEST_F(FleetProbeTest, RetryAfterInSecondsAndAsADateMovesTheNextProbe) {
  ServeStatus("503 Service Unavailable", "Retry-After: 7200\r\n");
  ASSERT_TRUE(Start(3600, NowSeconds()));
  Probe();
  int64_t last = State("ProbeSecondsLast");
  EXPECT_EQ(State("ProbeSecondsNext") - last, 7200) << Log();
  EXPECT_EQ(State("ProbeFailures"), 1);
  EXPECT_TRUE(Logged("(Retry-After: 7200 s, failed probes in a row: 1, Retry-After: 7200)")) << Log();
  // A date, read against the server's Date; beyond a day it is held to one.
  ServeStatus("429 Too Many Requests", "Retry-After: Wed, 09 Dec 2026 10:00:00 GMT\r\n",
              "Wed, 09 Dec 2026 08:00:00 GMT");
  Probe();
  last = State("ProbeSecondsLast");
  EXPECT_EQ(State("ProbeSecondsNext") - last, 7200) << Log();
  EXPECT_EQ(State("ProbeFailures"), 2);
  ServeStatus("503 Service Unavailable", "Retry-After: Fri, 11 Dec 2026 08:00:00 GMT\r\n",
              "Wed, 09 Dec 2026 08:00:00 GMT");
  Probe();
  last = State("ProbeSecondsLast");
  EXPECT_EQ(State("ProbeSecondsNext") - last, 86400) << "capped at a day";
  // Never before the interval.
  ServeStatus("503 Service Unavailable", "Retry-After: 60\r\n");
  Probe();
  last = State("ProbeSecondsLast");
  EXPECT_EQ(State("ProbeSecondsNext") - last, 3600);
  // The plan holds the scheduled probe back; no probe comes meanwhile.
  const size_t gets = InfoGets().size();
  WaitUntil([] { return false; }, 5000);
  EXPECT_EQ(InfoGets().size(), gets);
  StopXAgent();
}

TEST_F(FleetProbeTest, FailuresBackOffExponentiallyAndASuccessResets) {
  ServeStatus("500 Internal Server Error");
  ASSERT_TRUE(Start(3600, NowSeconds()));
  for (int64_t pause : {3600, 7200, 14400, 28800}) {
    SCOPED_TRACE(pause);
    Probe();
    const int64_t delay = State("ProbeSecondsNext") - State("ProbeSecondsLast");
    EXPECT_GE(delay, pause);
    EXPECT_LE(delay, pause + pause / 5);
  }
  EXPECT_EQ(State("ProbeFailures"), 4);
  EXPECT_EQ(LogCount("(back-off: "), 4) << Log();
  ServeStatic(OldInfo());
  Probe();
  EXPECT_EQ(State("ProbeFailures"), 0);
  const int64_t delay = State("ProbeSecondsNext") - State("ProbeSecondsLast");
  EXPECT_GE(delay, 3600);
  EXPECT_LE(delay, 3600 + 720);
  EXPECT_TRUE(Logged("(interval: ")) << Log();
  StopXAgent();
}

// The first probe after start keeps its few seconds; the next one is
// planned within the interval's spread.
TEST_F(FleetProbeTest, AScheduledProbeIsSpreadWithinAFifthOfTheInterval) {
  ServeStatic(OldInfo());
  const int64_t now = NowSeconds();
  ASSERT_TRUE(Start(3600, now - 3600 - 10));
  ASSERT_TRUE(WaitUntil([&] { return Logged("ProbeResult="); }, 15000)) << Log();
  const int64_t last = State("ProbeSecondsLast");
  EXPECT_NEAR(double(last), double(now), 30.0);
  const int64_t delay = State("ProbeSecondsNext") - last;
  EXPECT_GE(delay, 3600);
  EXPECT_LE(delay, 3600 + 720);
  EXPECT_NE(Original("OriginalSetup", "__ProbeSecondsNext"), "");
  StopXAgent();
}

TEST_F(FleetProbeTest, ARolloutOffersTheReleaseOnlyBelowItsPercentage) {
  ASSERT_TRUE(Start());
  struct Case {
    const char* bucket;
    const char* percent;
    bool offered;
  };
  for (const Case& c : {Case{"9", "10", true}, Case{"10", "10", false}, Case{"0", "0", false},
                        Case{"99", "100", true}, Case{"99", "", true}}) {
    SCOPED_TRACE(std::string(c.bucket) + " / " + c.percent);
    SetOriginal("OriginalSetup", "RolloutBucket", c.bucket);
    ServeStatic(NewInfo(*c.percent ? std::string("RolloutPercent=") + c.percent + "\r\n" : std::string()),
                "\"" + std::string(c.bucket) + c.percent + "\"");
    const char* kHeld = "GetOkToPerformAU = 4 - Not yet offered by the staged rollout";
    const int held = LogCount(kHeld);
    Probe();
    EXPECT_EQ(LogCount(kHeld), held + (c.offered ? 0 : 1)) << Log();
  }
  EXPECT_TRUE(Logged("GetOkToPerformAU = 4 - Not yet offered by the staged rollout: rollout bucket 10 is not below "
                     "RolloutPercent 10"))
      << Log();
  // A check the user asks for ignores the rollout.
  SetOriginal("OriginalSetup", "RolloutBucket", "50");
  ServeStatic(NewInfo("RolloutPercent=0\r\n"), "\"user\"");
  const int decided = LogCount("GetOkToPerformAU = 5");
  answer_ = [](const test::SeenBox& box) { return box.captions.size() > 1 ? std::string("&Yes") : std::string(); };
  Request(kRequestCheck, kOnDemandCheck);
  ASSERT_TRUE(WaitUntil([&] { return LogCount("GetOkToPerformAU = 5") > decided; }, 30000)) << Log();
  StopXAgent();
}

TEST_F(FleetProbeTest, ABucketIsDrawnOnceAndKept) {
  ServeStatic(NewInfo("RolloutPercent=50\r\n"));
  ASSERT_TRUE(Start());
  Probe();
  const std::string bucket = Original("OriginalSetup", "RolloutBucket");
  ASSERT_FALSE(bucket.empty()) << Log();
  EXPECT_GE(StrToInt64Def(bucket, -1), 0);
  EXPECT_LE(StrToInt64Def(bucket, 100), 99);
  Probe();
  EXPECT_EQ(Original("OriginalSetup", "RolloutBucket"), bucket);
  StopXAgent();
}

TEST_F(FleetProbeTest, AChannelsFileIsFetchedWithThePlainOneAsFallBack) {
  ServeStatic(OldInfo("ProgramName=Plain\r\n"), "\"plain\"");
  ServeStatic(OldInfo("ProgramName=Beta\r\n"), "\"beta\"", "Sample.beta.info");
  InstallAgent();
  WriteOriginal(1, -1, 0);
  SetOriginal("OriginalSetup", "Channel", "beta");
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  Probe();
  EXPECT_EQ(InfoGets("Sample.beta.info").size(), 1u);
  EXPECT_EQ(InfoGets().size(), 0u);
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), OldInfo("ProgramName=Beta\r\n"));
  EXPECT_EQ(Original("OriginalSetup", "InfoSource"), "Sample.beta.info");
  // The channel's file goes: the plain one stands in, and is asked for
  // conditionally from then on.
  HttpResponse gone;
  gone.status = "404 Not Found";
  gone.contentType = "text/html";
  gone.body = "<html><body>404 Not Found</body></html>";
  server_.Serve("/updates/Sample.beta.info", gone);
  Probe();
  EXPECT_TRUE(Logged("Channel beta: Sample.beta.info is missing, the plain Sample.info is fetched")) << Log();
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), OldInfo("ProgramName=Plain\r\n"));
  Probe();
  EXPECT_EQ(InfoGets().back().status, 304);
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), OldInfo("ProgramName=Plain\r\n"));
  EXPECT_EQ(LogCount("GetOkToPerformAU = 3"), 3) << Log();
  // Set through the agent's requests (agent-control channel NAME): none.
  Request(kRequestSetChannel, 0);
  EXPECT_EQ(Original("OriginalSetup", "Channel"), "");
  const size_t betaGets = InfoGets("Sample.beta.info").size();
  Probe();
  EXPECT_EQ(InfoGets("Sample.beta.info").size(), betaGets);
  const ATOM atom = ::GlobalAddAtomA("beta");
  Request(kRequestSetChannel, atom);
  ::GlobalDeleteAtom(atom);
  EXPECT_EQ(Original("OriginalSetup", "Channel"), "beta");
  StopXAgent();
}

}  // namespace
}  // namespace tarnix
