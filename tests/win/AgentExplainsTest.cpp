// An agent that explains itself: its questions in English when the vendor's
// .original file gives none of its texts, and the reason of a probe that
// failed in its log and in its .original file, where a support desk reads
// it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "win/support/LoopbackTlsRelay.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::HttpResponse;
using test::LoopbackTlsRelay;

// The .original file as a vendor writes it who copied only the keys it
// knew: versions and probe settings, an [AutoUpdate] section without a key.
void WithoutTexts(const std::string& original) {
  const std::string text = test::ReadWholeFile(original);
  ASSERT_TRUE(test::WriteBytes(original, text + "[AutoUpdate]\r\n"));
}

struct QuestionCase {
  const char* name;
  // A check the user asked for (its question first); else a probe whose
  // announcement asks before the download.
  bool userCheck;
  std::string title;
  std::string text;
};

void PrintTo(const QuestionCase& c, std::ostream* os) { *os << c.name; }

class AgentQuestionTextTest : public test::UpdateFixture, public testing::WithParamInterface<QuestionCase> {};

TEST_P(AgentQuestionTextTest, AnAgentWithoutTextsAsksInEnglish) {
  const QuestionCase& c = GetParam();
  InstallAgent();
  WriteOriginal(1, c.userCheck ? -1 : 0, 0);
  WithoutTexts(OriginalPath());
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  ServeInfo(Announcement(setup));
  // Backs out: no check, no download.
  ASSERT_EQ(StartPlainAgent(c.userCheck ? "/TEST=2" : ""), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return !boxes_.empty(); }, 60000)) << Log();
  EXPECT_EQ(boxes_[0].title, c.title);
  EXPECT_EQ(boxes_[0].text, c.text);
  EXPECT_EQ(UpdateRequests(), 0);
  StopXAgent();
  EXPECT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
}

INSTANTIATE_TEST_SUITE_P(
    Questions, AgentQuestionTextTest,
    testing::Values(QuestionCase{"BeforeTheDownload", false, "Confirm",
                                 "CONFIRM\r\n\r\nA new version of Sample App is available.\r\nDownload it now?\r\n"},
                    QuestionCase{"BeforeACheckTheUserAskedFor", true, "Confirm",
                                 "Look for a new version of Sample Product now?\r\n\r\nPlease make sure that you are "
                                 "connected to the Internet.\r\nPress Yes to look now."}),
    [](const testing::TestParamInfo<QuestionCase>& info) { return std::string(info.param.name); });

// What goes wrong with the announcement's download, as the downloader's own
// tests make it go wrong.
enum class Fault { Stall, UntrustedCertificate, NotFound, Unavailable, UnknownHost, CutConnection };

struct ReasonCase {
  const char* name;
  Fault fault;
  // The reason as the log line and the .original file give it (the line
  // may go on after it, as the certificate's does).
  std::string reason;
  // The number the log line ends with; empty: none.
  std::string number;
};

void PrintTo(const ReasonCase& c, std::ostream* os) { *os << c.name; }

class ProbeFailureReasonTest : public test::AgentFixture, public testing::WithParamInterface<ReasonCase> {
 protected:
  // The agent's log line that begins with `prefix`; empty when none.
  std::string LogLine(const std::string& prefix) const {
    const std::string log = Log();
    const size_t at = log.find(prefix);
    if (at == std::string::npos) return {};
    return log.substr(at, log.find("\r\n", at) - at);
  }

  std::optional<LoopbackTlsRelay> relay_;
};

// The announcement is asked for once per agent start (an interval of 0), as
// the shipped settings do. The stall waits the 30 seconds a vendor's agent
// waits: the limit is the downloader's own, with no setting to shorten it.
TEST_P(ProbeFailureReasonTest, TheLogAndTheOriginalFileNameWhyTheAnnouncementDidNotCome) {
  const ReasonCase& c = GetParam();
  std::string location = ServerLocation();
  HttpResponse info;
  info.body = "[NewSetup]\r\nVersionNew=1\r\nStamp=5\r\n";
  info.contentType = "text/plain";
  switch (c.fault) {
    case Fault::Stall:
      info.stallAfter = 0;
      break;
    case Fault::UntrustedCertificate:
      if (const std::string why = LoopbackTlsRelay::Unavailable(); !why.empty()) GTEST_SKIP() << why;
      relay_.emplace(server_.Port(), LoopbackTlsRelay::kUntrusted);
      ASSERT_TRUE(relay_->Running()) << "the TLS relay did not start";
      httpsBase_ = relay_->Url("");
      location = ServerLocation();
      break;
    case Fault::NotFound:
      break;
    case Fault::Unavailable:
      info.status = "503 Service Unavailable";
      break;
    case Fault::UnknownHost:
      location = "http://updates.invalid/product";
      break;
    case Fault::CutConnection:
      info.body += std::string(2000, ';');
      info.dropAfter = 500;
      break;
  }
  if (c.fault != Fault::NotFound) server_.Serve("/updates/" + std::string(test::kInfoName), info);
  InstallAgent(AgentPlan(location));
  WriteOriginal(1, 0, 0);
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("ProbeResult="); }, 90000)) << Log();

  const std::string decision = LogLine("GetOkToPerformAU = ");
  EXPECT_EQ(decision.rfind("GetOkToPerformAU = 0 - Error downloading .INFO file: " + c.reason, 0), 0u) << Log();
  const std::string failure = LogLine("Download ERROR: ");
  std::printf("[ figure ] %s:\n  %s\n  %s\n", c.name, failure.c_str(), decision.c_str());
  EXPECT_NE(failure.find(c.reason), std::string::npos) << Log();
  if (c.number.empty()) {
    EXPECT_EQ(failure.find(" ["), std::string::npos) << failure;
  } else {
    EXPECT_NE(failure.find(c.number), std::string::npos) << failure;
  }
  EXPECT_EQ(LogLine("ProbeResult=").rfind("ProbeResult=0 - Error downloading .INFO file  ProbeReason=" + c.reason, 0),
            0u)
      << Log();
  EXPECT_EQ(Original("OriginalSetup", "ProbeResult"), "0 - Error downloading .INFO file");
  EXPECT_EQ(Original("OriginalSetup", "ProbeReason").rfind(c.reason, 0), 0u)
      << Original("OriginalSetup", "ProbeReason");
  StopXAgent();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProbeFailureReasonTest,
    testing::Values(ReasonCase{"Stall", Fault::Stall, "no data from the server for 30 seconds", ""},
                    ReasonCase{"UntrustedCertificate", Fault::UntrustedCertificate,
                               "secure connection refused: the server's certificate", " [system error 120"},
                    ReasonCase{"NotFound", Fault::NotFound, "404 Not Found", " [HTTP status 404]"},
                    ReasonCase{"Unavailable", Fault::Unavailable, "503 Service Unavailable", " [HTTP status 503]"},
                    ReasonCase{"UnknownHost", Fault::UnknownHost, "the server's name could not be resolved",
                               " [system error 12007]"},
                    ReasonCase{"CutConnection", Fault::CutConnection, "received 500 of ", ""}),
    [](const testing::TestParamInfo<ReasonCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnix
