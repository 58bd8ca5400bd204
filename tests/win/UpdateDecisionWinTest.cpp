// The update decision of the running agent: its settings files beside the
// executable, the size of the announced file from a local folder or from a
// loopback web server (asked with HEAD, never with a GET that brings the
// body), test mode, and the lines it leaves in the stub log and on the
// debug channel.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/UpdateDecision.h"
#include "support/LoopbackHttpServer.h"
#include "win/support/AgentFilesFixture.h"

namespace tarnix {
namespace {

using test::HttpResponse;

std::string g_standardOutput;
void CollectStandardOutput(std::string_view text) { g_standardOutput += text; }

class UpdateDecisionWinTest : public test::AgentFilesFixture {
 protected:
  void SetUp() override {
    AgentFilesFixture::SetUp();
    ASSERT_TRUE(server_.Running());
    HttpResponse setup;
    setup.body = std::string(5000, 's');
    server_.Serve("/product/Setup.exe", setup);
    HttpResponse inform;
    inform.body = std::string(300, 'i');
    server_.Serve("/product/News.txt", inform);
    folder_ = dir_ / "updates";
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(folder_ + "\\Setup.exe", std::string(7000, 'f')));

    logExisted_ = ::GetFileAttributesA(LogFileName().c_str()) != INVALID_FILE_ATTRIBUTES;
    logBefore_ = test::ReadWholeFile(LogFileName());
    SetLogEnabled(true);
    g_standardOutput.clear();
    previousOutput_ = SetStandardOutput(CollectStandardOutput);
  }

  void TearDown() override {
    SetStandardOutput(previousOutput_);
    SetLogEnabled(false);
    if (!logExisted_) ::DeleteFileA(LogFileName().c_str());
    AgentFilesFixture::TearDown();
  }

  // The messages of the stub-log lines written since the test began.
  std::vector<std::string> NewLogMessages() const {
    std::vector<std::string> messages;
    const std::string added = test::ReadWholeFile(LogFileName()).substr(logBefore_.size());
    // The timestamp, a blank, this thread's id in at least 5 places, the tag.
    const size_t idLength = std::max<size_t>(5, std::to_string(::GetCurrentThreadId()).size());
    const size_t prefix = LogTimestamp(kDateNow).size() + 1 + idLength + LogTag().size();
    for (const std::string& line : test::CrLfLines(added))
      messages.push_back(line.substr(std::min(prefix, line.size())));
    return messages;
  }

  std::vector<std::string> Methods() const {
    std::vector<std::string> methods;
    for (const test::HttpRequestSeen& r : server_.Requests()) methods.push_back(r.method + " " + r.path);
    return methods;
  }

  std::string Location() const { return server_.Url("/product"); }

  void WriteAnnouncement(const std::string& location, int size, const std::string& extra = "") {
    WriteOriginal("[OriginalSetup]\r\nVersionOriginal=5\r\nStamp=1\r\n");
    WriteInfo("[NewSetup]\r\nVersionNew=6\r\nStamp=2\r\nDownloadURL_UPDATE=" + location +
              "\r\nNameOfUpdateFile=Setup.exe\r\nSizeOfUpdateFile=" + std::to_string(size) + "\r\n" + extra);
  }

  test::LoopbackHttpServer server_;
  std::string folder_;
  bool logExisted_ = false;
  std::string logBefore_;
  TextSink previousOutput_ = nullptr;
};

TEST_F(UpdateDecisionWinTest, ServerSizeIsAskedWithHeadOnly) {
  struct Case {
    int announced;
    bool matches;
  } cases[] = {{5000, true}, {5099, true}, {4901, true}, {5100, false}, {4900, false}};
  for (const Case& c : cases) {
    WriteAnnouncement(Location(), c.announced);
    server_.ClearRequests();
    EXPECT_EQ(UpdateSizeMatches(Location(), "Setup.exe", "News.txt"), c.matches) << c.announced;
    const std::vector<std::string> methods = Methods();
    EXPECT_FALSE(methods.empty()) << c.announced;
    for (const std::string& m : methods) EXPECT_EQ(m, "HEAD /product/Setup.exe") << c.announced;
  }
}

TEST_F(UpdateDecisionWinTest, AFailedSizeCheckLogsBothSizesAndTheUrl) {
  WriteAnnouncement(Location(), 6000);
  EXPECT_FALSE(UpdateSizeMatches(Location(), "Setup.exe", "News.txt"));
  EXPECT_EQ(NewLogMessages(), (std::vector<std::string>{"  InfoSize=6000", "  HttpSize=5000",
                                                        "  URL=" + Location() + "/Setup.exe"}));
}

TEST_F(UpdateDecisionWinTest, InformModeChecksTheInformFile) {
  WriteAnnouncement(Location(), 1, "[General]\r\nAutoInform=1\r\n[AutoInform]\r\nSizeOfInformFile=300\r\n");
  EXPECT_TRUE(UpdateSizeMatches(Location(), "Setup.exe", "News.txt"));
  for (const std::string& m : Methods()) EXPECT_EQ(m, "HEAD /product/News.txt");
}

TEST_F(UpdateDecisionWinTest, AFolderLocationIsReadWithoutTheServer) {
  WriteAnnouncement(folder_, 7000);
  EXPECT_TRUE(UpdateSizeMatches(folder_, "Setup.exe", "News.txt"));
  WriteAnnouncement(folder_, 5000);
  EXPECT_FALSE(UpdateSizeMatches(folder_, "Setup.exe", "News.txt"));
  EXPECT_EQ(NewLogMessages(), (std::vector<std::string>{"  InfoSize=5000", "  HttpSize=7000",
                                                        "  URL=" + folder_ + "\\Setup.exe"}));
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(UpdateDecisionWinTest, TestModeTakesOnlyAFileAtTheTestLocation) {
  WriteAnnouncement(Location(), 7000);
  Agent().TestMode = true;
  Agent().TestModeURL = folder_;
  EXPECT_TRUE(UpdateSizeMatches(Location(), "Setup.exe", "News.txt"));

  // A test location on a web server gives no size at all.
  Agent().TestModeURL = Location();
  WriteAnnouncement(Location(), 5000);
  EXPECT_FALSE(UpdateSizeMatches(Location(), "Setup.exe", "News.txt"));
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(UpdateDecisionWinTest, DecisionReadsTheFilesAndReportsItsStatus) {
  struct Case {
    const char* name;
    bool infoDownloaded;
    std::string infoExtra;
    int status;
    const char* text;
    // Why the announcement did not come, and the log line's end.
    std::string why = "";
    std::string lineEnd = "";
  } cases[] = {
      {"ok", true, "", 6, "OK"},
      {"not downloaded", false, "", 0, "Error downloading .INFO file"},
      {"not downloaded, and why", false, "", 0, "Error downloading .INFO file", "503 Service Unavailable",
       ": 503 Service Unavailable"},
      {"not valid for 5", true, "ValidVersions=4, 5\r\n", 4, "\"Valid for version\" mismatch"},
  };
  for (const Case& c : cases) {
    WriteAnnouncement(Location(), 5000, c.infoExtra);
    g_standardOutput.clear();
    const size_t logged = NewLogMessages().size();
    int status = -1;
    std::string text, reason;
    EXPECT_EQ(GetOkToPerformAU(c.infoDownloaded, status, text, c.why, &reason), c.status == 6) << c.name;
    EXPECT_EQ(reason, c.why) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
    const std::vector<std::string> messages = NewLogMessages();
    ASSERT_EQ(messages.size(), logged + 1) << c.name;
    EXPECT_EQ(messages.back(), "GetOkToPerformAU = " + std::to_string(c.status) + " - " + c.text + c.lineEnd)
        << c.name;
    const std::string line = std::to_string(::GetCurrentProcessId()) + " GetOkToPerformAU=" + std::to_string(c.status);
    EXPECT_NE(g_standardOutput.find(line), std::string::npos) << c.name << ": " << g_standardOutput;
  }
}

TEST_F(UpdateDecisionWinTest, MissingOriginalFileStopsAtStatus1) {
  WriteInfo("[NewSetup]\r\nVersionNew=6\r\n");
  int status = -1;
  std::string text;
  EXPECT_FALSE(GetOkToPerformAU(true, status, text));
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text, "Error reading .ORIGINAL file");
}

TEST_F(UpdateDecisionWinTest, SameStampCountsAgainWhenReAskingIsDueOrOnDemand) {
  WriteOriginal("[OriginalSetup]\r\nVersionOriginal=5\r\nStamp=2\r\n");
  WriteInfo("[NewSetup]\r\nVersionNew=6\r\nStamp=2\r\nDownloadURL_UPDATE=" + folder_ +
            "\r\nNameOfUpdateFile=Setup.exe\r\nSizeOfUpdateFile=7000\r\n");
  int status = -1;
  std::string text;
  EXPECT_FALSE(ReAskDue());
  EXPECT_FALSE(GetOkToPerformAU(true, status, text));
  EXPECT_EQ(status, 2);

  Agent().OnDemand = 1;
  EXPECT_TRUE(GetOkToPerformAU(true, status, text));
  Agent().OnDemand = 0;

  ASSERT_TRUE(SetReAskSecondsInterval(60));
  ASSERT_TRUE(SetReAskSecondsLast(NowSeconds() - 61));
  EXPECT_TRUE(ReAskDue());
  EXPECT_TRUE(GetOkToPerformAU(true, status, text));
  ASSERT_TRUE(SetReAskSecondsLast(NowSeconds() + 3600));
  EXPECT_FALSE(ReAskDue());
  EXPECT_FALSE(GetOkToPerformAU(true, status, text));
  EXPECT_EQ(status, 2);
}

TEST_F(UpdateDecisionWinTest, ValidVersionsComeFromTheInfoFile) {
  WriteOriginal("[OriginalSetup]\r\nVersionOriginal=5\r\n");
  struct Case {
    const char* list;
    bool ok;
  } cases[] = {{"", true}, {"4,5", true}, {"4, 5", false}, {"15", false}};
  for (const Case& c : cases) {
    WriteInfo(std::string("[NewSetup]\r\nValidVersions=") + c.list + "\r\n");
    EXPECT_EQ(ValidVersionOk(), c.ok) << c.list;
  }
}

}  // namespace
}  // namespace tarnix
