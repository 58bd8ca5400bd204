// The agent where real machines and networks put it: a server that stalls,
// announcements and answers that are not what they should be, an update
// location that does not exist, a new setup killed half way, and an update
// download broken off that the next probe continues. Each fault ends the
// cycle as documented, keeps the installed version, leaves the product
// running and nothing behind, and the next probe works.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "PackageBuilder.h"
#include "win/support/LeftoverFiles.h"
#include "win/support/OwnTempAgentFixture.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::Entries;
using test::HttpRequestSeen;
using test::HttpResponse;
using test::Joined;
using test::UpdateFixture;

constexpr int64_t kDay = 86400;

// `size` bytes that no compressor shrinks, the same for the same seed.
void WriteNoise(const std::string& path, uint64_t size, uint64_t seed) {
  std::ofstream out(path, std::ios::binary);
  std::vector<uint64_t> block(131072);
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (uint64_t written = 0; written < size;) {
    for (uint64_t& word : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      word = x;
    }
    const uint64_t n = std::min<uint64_t>(size - written, block.size() * sizeof block[0]);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    written += n;
  }
}

// Ends the setup program that the process `parent` runs; true when there
// was one.
bool KillSetupOf(DWORD parent) {
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != parent || ::lstrcmpiA(entry.szExeFile, "setup.exe") != 0) continue;
    UniqueHandle setup(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!setup || !::TerminateProcess(setup.get(), 1)) return false;
    ::WaitForSingleObject(setup.get(), 10000);
    return true;
  }
  return false;
}

class AgentFaultTest : public test::OwnTempAgentFixture {
 protected:
  AgentFaultTest() : OwnTempAgentFixture("FaultAgent.exe") {}

  DWORD XAgentPid() const {
    DWORD pid = 0;
    if (HWND window = XAgentWindow()) ::GetWindowThreadProcessId(window, &pid);
    return pid;
  }

  // What lies beside an installed agent that has probed: the agent, its
  // copy, its settings, its log; with the product, the product's files.
  std::vector<std::string> OwnFiles(bool withProduct) const {
    std::vector<std::string> names = {agentName_, "X_" + agentName_, test::kOriginalName, test::kInfoName,
                                      "X_" + AgentStem() + ".log"};
    if (withProduct) names.insert(names.end(), {"SampleApp.exe", "SampleApp.ini"});
    std::sort(names.begin(), names.end());
    return names;
  }

  // An agent that ended has a moment to delete its copy through a script
  // in the temporary folder.
  void ExpectTempFolderEmpty() {
    WaitUntil([&] { return Entries(agentTemp_).empty(); }, 20000);
    EXPECT_EQ(Joined(Entries(agentTemp_)), "") << "in the agent's temporary folder";
  }

  void ExpectNothingLeftOver(bool withProduct) {
    EXPECT_EQ(Joined(Entries(installDir_)), Joined(OwnFiles(withProduct)));
    ExpectTempFolderEmpty();
  }

  // Version 2 with a data file of `dataSize` bytes made from `seed`, stored
  // rather than compressed (noise does not compress); its path. The data
  // file's path in `dataPath`.
  std::string BuildBigVersion2(uint64_t dataSize, uint64_t seed, std::string& dataPath) {
    const std::string folder = dir_ / ("big-" + std::to_string(seed));
    ::CreateDirectoryA(folder.c_str(), nullptr);
    dataPath = folder + "\\data.bin";
    WriteNoise(dataPath, dataSize, seed);
    pack::PackageSpec plan = AgentPlan(ServerLocation());
    plan.isAgent = false;
    plan.createAgent = true;
    plan.level = 0;
    plan.files.push_back({"setup.exe", standin_, 0, true, "/InstallDir=" + installDir_ + " /Record=" +
                                                              SetupRecordPath()});
    plan.files.push_back({"SampleApp.exe", appV2_, 0, false, ""});
    plan.files.push_back({"data.bin", dataPath, 0, false, ""});
    const std::string path = folder + "\\" + test::kUpdateName;
    std::string error;
    pack::BuildReport report;
    EXPECT_TRUE(pack::BuildPackage(plan, path, report, error)) << error;
    return path;
  }

  // The GETs of the update file, in order.
  std::vector<HttpRequestSeen> UpdateGets() const {
    std::vector<HttpRequestSeen> gets;
    for (const HttpRequestSeen& r : server_.Requests())
      if (r.method == "GET" && r.path == "/updates/" + std::string(test::kUpdateName)) gets.push_back(r);
    return gets;
  }

  // An update hands over from the agent that ran it (`oldAgent`, its
  // window) to a fresh one; that one is ended here, so that it outlives
  // no test.
  void StopFreshAgent(HWND oldAgent) {
    EXPECT_TRUE(WaitUntil([&] { return XAgentWindow() != nullptr && XAgentWindow() != oldAgent; }, 60000))
        << "no fresh agent after the update\n" << Log();
    StopXAgent();
  }

  // Waits for the probe after the `seen`th and, when the announcement is
  // acted on, for the end of its cycle.
  bool WaitForProbe(int seen, DWORD timeoutMs = 120000) {
    return WaitUntil([&] { return LogCount("GetOkToPerformAU = ") > seen; }, timeoutMs);
  }

  DWORD firstProductPid_ = 0;
};

TEST_F(AgentFaultTest, AStalledServerNeverFreezesTheAgentAndTheWindowStillCloses) {
  InstallAgent();
  WriteOriginal(1, kDay, 0);
  // The head, then nothing: the agent waits inside the download's read.
  HttpResponse stalled;
  stalled.body = "[NewSetup]\r\nVersionNew=1\r\n";
  stalled.stallAfter = 0;
  server_.Serve("/updates/" + std::string(test::kInfoName), stalled);
  ASSERT_EQ(StartPlainAgent(), 0u);
  const HWND agent = WaitForXAgent();
  ASSERT_TRUE(agent);
  ASSERT_TRUE(WaitUntil([&] { return InfoRequests() >= 1; }, 30000));
  WaitUntil([] { return false; }, 1000);

  // The window answers while the download waits.
  const DWORD asked = ::GetTickCount();
  EXPECT_EQ(Request(7), 1) << "the announcement's download runs";
  const DWORD answerMs = ::GetTickCount() - asked;
  EXPECT_LT(answerMs, 5000u);

  UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, XAgentPid()));
  ASSERT_TRUE(process);
  const DWORD closed = ::GetTickCount();
  ::PostMessageA(agent, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return Logged("Download END:"); }, 60000)) << Log();
  const DWORD downloadEnded = ::GetTickCount();
  // The first close stops the download, the second closes the window.
  ::PostMessageA(agent, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 60000));
  const DWORD ended = ::GetTickCount();
  std::printf("[ figure ] stalled server: request answered in %lu ms; close to the download's end %lu ms, to the "
              "agent's end %lu ms\n",
              static_cast<unsigned long>(answerMs), static_cast<unsigned long>(downloadEnded - closed),
              static_cast<unsigned long>(ended - closed));
  EXPECT_LT(downloadEnded - closed, 10000u);
  EXPECT_LT(ended - closed, 10000u);
  EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(XAgentPath()); }, 20000)) << "the copy stays";
}

TEST_F(AgentFaultTest, AnAnnouncementLocationThatDoesNotResolveIsReportedOnEveryCheck) {
  InstallAgent(AgentPlan("http://updates.invalid/product"));
  WriteOriginal(1, -1, 0);
  SetCheckQuestion("Check now?");
  answer_ = AnswerYes;
  const std::string error = "Unable to open Internet Connection: http://updates.invalid/product/" +
                            std::string(test::kInfoName);
  for (int check = 1; check <= 2; ++check) {
    SCOPED_TRACE(check);
    ASSERT_EQ(StartPlainAgent("/TEST=2"), 0u);
    ASSERT_TRUE(WaitUntil([&] { return boxes_.size() >= size_t(2 * check); }, 60000)) << test::Describe(boxes_);
    EXPECT_EQ(boxes_[2 * check - 2].text, "Check now?");
    EXPECT_EQ(boxes_[2 * check - 1].title, "Error");
    EXPECT_NE(boxes_[2 * check - 1].text.find(error), std::string::npos) << boxes_[2 * check - 1].text;
    ExpectNothingLeftOver(false);
  }
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

// One agent probing every two seconds meets one fault after the other,
// then an update that works.
TEST_F(AgentFaultTest, FaultsEndTheCycleKeepTheVersionAndTheProductAndTheNextProbeWorks) {
  InstallVersion1("close", 2);
  std::string busyPage = "<html><body>Busy</body></html>";
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i * 7);
  // A setup that copies nothing and stays up long enough to be killed,
  // moved aside from where the good one is built.
  const std::string killed = dir_ / "killed";
  ::CreateDirectoryA(killed.c_str(), nullptr);
  const std::string killedSetup = killed + "\\" + test::kUpdateName;
  ASSERT_TRUE(::MoveFileA(BuildVersion2(test::kProductToken, " /NoCopy /DelayMs=120000").c_str(), killedSetup.c_str()));
  const std::string good = BuildVersion2();
  answer_ = AnswerYes;
  ServeInfo("[NewSetup]\r\nVersionNew=1\r\nStamp=1\r\n");
  firstProductPid_ = StartProduct();
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitForProbe(0)) << Log();

  struct Case {
    const char* name;
    // Sets the server up for the probe.
    std::function<void()> serve;
    // The announcement is acted on: the update cycle runs.
    bool cycle;
    // The box the user sees (a part of its text); none when empty.
    std::string box;
    // The download failed, so the next probe offers the same announcement
    // again; the user declines it then, which settles it.
    bool retried = false;
  };
  int stamp = 10;
  // Version 2 offered with `keys`, a new announcement each time.
  const auto offer = [&](const std::string& setup, std::map<std::string, std::string> keys) {
    keys["Stamp"] = std::to_string(++stamp);
    keys["RequestConfirmationBeforeInstall"] = "0";
    keys["InformFinish"] = "0";
    ServeInfo(Announcement(setup, keys));
  };
  const auto info = [&](HttpResponse response) {
    server_.Serve("/updates/" + std::string(test::kInfoName), response);
  };
  const Case cases[] = {
      {"binary announcement",
       [&] {
         HttpResponse r;
         r.body = binary;
         info(r);
       },
       false, ""},
      {"empty announcement", [&] { info(HttpResponse()); }, false, ""},
      {"announcement of 10 MB",
       [&] {
         HttpResponse r;
         r.body = "[NewSetup]\r\nVersionNew=2\r\n" + std::string(10 * 1048576, 'x');
         info(r);
       },
       false, ""},
      {"HTML page as announcement",
       [&] {
         HttpResponse r;
         r.contentType = "text/html";
         r.body = "<HTML><HEAD><TITLE>Welcome</TITLE></HEAD><BODY>[NewSetup] VersionNew=2</BODY></HTML>";
         info(r);
       },
       false, ""},
      {"server failure for the announcement",
       [&] {
         HttpResponse r;
         r.status = "503 Service Unavailable";
         r.body = "[NewSetup]\r\nVersionNew=2\r\n";
         info(r);
       },
       false, ""},
      {"server failure for the update",
       [&] {
         HttpResponse r;
         r.status = "503 Service Unavailable";
         r.contentType = "text/html";
         r.body = busyPage;
         server_.Serve("/updates/" + std::string(test::kUpdateName), r);
         // The size test learns the busy page's length from the head.
         offer(good, {{"SizeOfUpdateFile", std::to_string(busyPage.size())}});
       },
       true, "/" + std::string(test::kUpdateName) + "\r\n\r\nUnable to Download File!", true},
      {"update location that does not resolve",
       [&] {
         // No size can be learnt there; one below 99 bytes passes the test.
         offer(good, {{"DownloadURL_UPDATE", "http://updates.invalid/product"}, {"SizeOfUpdateFile", "50"}});
       },
       true, "http://updates.invalid/product/" + std::string(test::kUpdateName) + "\r\n\r\nUnable to Download File!",
       true},
      {"new setup killed half way",
       [&] {
         ServeUpdate(killedSetup);
         offer(killedSetup, {{"RequestConfirmationBeforeDownload", "0"}});
       },
       true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    // Each fault meets the agent afresh, not backed off by the ones before.
    SetOriginal("OriginalSetup", "ProbeFailures", "0");
    SetOriginal("OriginalSetup", "ProbeSecondsNext", "0");
    int questions = 0;
    answer_ = [&](const test::SeenBox& box) {
      if (box.title != "Confirm") return AnswerYes(box);
      return std::string(++questions == 2 ? "&No" : "&Yes");
    };
    const int probes = LogCount("GetOkToPerformAU = ");
    const int cycles = LogCount("PerformAutoUpdate() - END");
    const DWORD productBefore = ProductPid();
    c.serve();
    bool setupKilled = false;
    const DWORD agentPid = XAgentPid();
    ASSERT_TRUE(WaitForProbe(probes)) << Log();
    if (c.cycle) {
      ASSERT_TRUE(WaitUntil(
          [&] {
            if (!setupKilled) setupKilled = KillSetupOf(agentPid);
            return LogCount("PerformAutoUpdate() - END") > cycles + (c.retried ? 1 : 0);
          },
          120000))
          << Log();
      EXPECT_EQ(LogCount("PerformAutoUpdate() - END    Result=FALSE"), cycles + (c.retried ? 2 : 1));
    } else {
      // Acting on it would have begun before the next probe.
      ASSERT_TRUE(WaitForProbe(probes + 1)) << Log();
      EXPECT_EQ(LogCount("PerformAutoUpdate() - START"), cycles);
    }
    EXPECT_EQ(setupKilled, std::string(c.name) == "new setup killed half way");
    EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
    // A product stopped for a setup that failed runs again.
    EXPECT_TRUE(WaitUntil([&] { return ProductPid() != 0; }, 30000)) << "the product does not run";
    if (!setupKilled) {
      EXPECT_EQ(ProductPid(), productBefore) << "the product was stopped";
    }
    if (c.box.empty()) {
      EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
    } else {
      ASSERT_EQ(boxes_.size(), c.retried ? 3u : 2u) << test::Describe(boxes_);
      EXPECT_EQ(boxes_[1].title, "Attention");
      EXPECT_NE(boxes_[1].text.find(c.box), std::string::npos) << boxes_[1].text;
      if (c.retried) {
        EXPECT_EQ(boxes_[2].text, boxes_[0].text) << "the same question again";
      }
    }
    ExpectNothingLeftOver(true);
  }

  // The next announcement installs.
  answer_ = AnswerYes;
  const HWND oldAgent = XAgentWindow();
  const int cycles = LogCount("PerformAutoUpdate() - END");
  ServeUpdate(good);
  offer(good, {{"RequestConfirmationBeforeDownload", "0"}});
  ASSERT_TRUE(WaitUntil([&] { return LogCount("PerformAutoUpdate() - END") > cycles; }, 120000)) << Log();
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_TRUE(InstalledVersion2());
  StopFreshAgent(oldAgent);
}

// A server whose HEAD gives the announced size and whose GET claims and
// sends three times as much: the download is refused before anything is
// written, instead of filling the disk and handing the result to the
// token check.
TEST_F(AgentFaultTest, AnUpdateLongerThanAnnouncedIsRefusedBeforeItIsWritten) {
  InstallVersion1("close", 0);
  const std::string good = BuildVersion2();
  const uint64_t size = std::filesystem::file_size(good);
  std::string longer = test::ReadWholeFile(good);
  longer.resize(static_cast<size_t>(size * 3), 'z');
  const std::string longerPath = dir_ / "out\\longer.bin";
  ASSERT_TRUE(test::WriteBytes(longerPath, longer));
  HttpResponse update;
  update.bodyFile = longerPath;
  update.announcedLength = size;
  update.getLength = size * 3;
  server_.Serve("/updates/" + std::string(test::kUpdateName), update);
  ServeInfo(Announcement(good, {{"RequestConfirmationBeforeDownload", "0"}}));
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 120000)) << Log();
  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=FALSE")) << Log();
  EXPECT_TRUE(Logged("(the server sends " + std::to_string(size * 3) + " bytes, announced are " +
                     std::to_string(size - 99) + " to " + std::to_string(size + 99) + " bytes)"))
      << Log();
  EXPECT_FALSE(Logged("Bad Secret Token")) << Log();
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  ExpectNothingLeftOver(true);
}

// An announcement from a web server may not send an agent without a key to
// a folder or a share for its setup (a share's server would learn the
// user's network credentials): nothing there is touched or run.
TEST_F(AgentFaultTest, AnAnnouncementFromAWebServerCannotSendTheAgentToAFolder) {
  InstallVersion1("close", 0);
  const std::string good = BuildVersion2();
  const std::string folder = dir_ / "share";
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(::CopyFileA(good.c_str(), (folder + "\\" + test::kUpdateName).c_str(), FALSE));
  ServeInfo(Announcement(good, {{"DownloadURL_UPDATE", folder}, {"RequestConfirmationBeforeDownload", "0"}}));
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitForProbe(0)) << Log();
  EXPECT_TRUE(Logged("GetOkToPerformAU = 5")) << Log();
  EXPECT_TRUE(Logged("ERROR: DownloadURL_UPDATE refused: " + folder + " is no http:// or https:// address")) << Log();
  EXPECT_FALSE(Logged("PerformAutoUpdate() - START")) << Log();
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  ExpectNothingLeftOver(true);
}

// The short 8.3 alias of the agent's own file names that file as its long
// name does: an update may not be written over it under either.
TEST_F(AgentFaultTest, AnUpdateNamedByTheShortAliasOfTheAgentIsRefused) {
  InstallVersion1("close", 0);
  char alias[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameA(AgentPath().c_str(), alias, MAX_PATH), 0u);
  const std::string shortName = std::string(alias).substr(std::string(alias).rfind('\\') + 1);
  ASSERT_STRCASENE(shortName.c_str(), agentName_.c_str()) << "no alias";
  const std::string agentBytes = test::ReadWholeFile(AgentPath());
  const std::string good = BuildVersion2();
  HttpResponse update;
  update.bodyFile = good;
  server_.Serve("/updates/" + shortName, update);
  ServeInfo(Announcement(good, {{"NameOfUpdateFile", shortName}, {"RequestConfirmationBeforeDownload", "0"}}));
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 120000)) << Log();
  EXPECT_TRUE(Logged("\"" + shortName + "\" --- not a file name the agent may write")) << Log();
  EXPECT_TRUE(test::ReadWholeFile(AgentPath()) == agentBytes) << "the agent was overwritten";
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

// With the shipped settings (no re-asking), an update the user declined
// is not offered again while the announcement stays the same.
TEST_F(AgentFaultTest, AnUpdateTheUserDeclinedIsNotOfferedAgain) {
  InstallVersion1("close", 2);
  const std::string good = BuildVersion2();
  ServeUpdate(good);
  ServeInfo(Announcement(good));
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitForProbe(0)) << Log();
  ASSERT_TRUE(WaitForProbe(2)) << Log();
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_EQ(boxes_[0].pressed, "&No");
  EXPECT_EQ(LogCount("PerformAutoUpdate() - START"), 1);
  EXPECT_EQ(LogCount("GetOkToPerformAU = 2 - Too early for retesting"), 2) << Log();
  EXPECT_EQ(UpdateRequests(), 0);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  EXPECT_EQ(Original("OriginalSetup", "Stamp"), "7");
}

// A 50 MB update broken off at 60 %, the agent ended, and started again:
// its probe asks for the rest only, or, when the file changed meanwhile,
// gets the whole new file. Either way the installed result is the server's
// last file.
struct ResumeCase {
  const char* name;
  bool changed;
};

class UpdateResumeTest : public AgentFaultTest, public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(UpdateResumeTest, AnUpdateBrokenOffContinuesOnTheNextProbe) {
  constexpr uint64_t kData = 50 * 1048576;
  // Shipped settings: a probe once per start, no re-asking. The broken-off
  // announcement was never settled, so the next start's probe takes it up.
  InstallVersion1("close", 0);
  std::string firstData;
  const std::string first = BuildBigVersion2(kData, 1, firstData);
  const uint64_t size = std::filesystem::file_size(first);
  const uint64_t cut = size * 6 / 10;
  HttpResponse update;
  update.bodyFile = first;
  update.etag = "\"v2-first\"";
  update.honourRanges = true;
  update.dropAfter = cut;
  server_.Serve("/updates/" + std::string(test::kUpdateName), update);
  const std::map<std::string, std::string> keys = {
      {"RequestConfirmationBeforeDownload", "0"}, {"RequestConfirmationBeforeInstall", "0"}, {"InformFinish", "0"}};
  ServeInfo(Announcement(first, keys));
  firstProductPid_ = StartProduct();
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END    Result=FALSE"); }, 120000)) << Log();
  StopXAgent();
  const std::vector<std::string> kept = Entries(installDir_);
  EXPECT_EQ(std::count_if(kept.begin(), kept.end(),
                          [](const std::string& n) { return n.rfind(test::kUpdateName + std::string("."), 0) == 0; }),
            2)
      << "the partial file and its record stay for the next probe: " << Joined(kept);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  EXPECT_EQ(ProductPid(), firstProductPid_);

  std::string lastData = firstData;
  if (GetParam().changed) {
    update.bodyFile = BuildBigVersion2(kData, 2, lastData);
    update.etag = "\"v2-second\"";
    // The announcement names the new file's size, which may differ by a
    // few bytes; the partial file is still that of the first.
    ServeInfo(Announcement(update.bodyFile, keys));
  }
  const uint64_t lastSize = std::filesystem::file_size(update.bodyFile);
  update.dropAfter.reset();
  server_.Serve("/updates/" + std::string(test::kUpdateName), update);
  ASSERT_EQ(StartPlainAgent(), 0u);
  const HWND oldAgent = WaitForXAgent();
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END    Result=TRUE"); }, 180000)) << Log();
  StopFreshAgent(oldAgent);

  const std::vector<HttpRequestSeen> gets = UpdateGets();
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_EQ(gets[0].bodySent, cut);
  EXPECT_EQ(gets[1].range, "bytes=" + std::to_string(cut) + "-");
  EXPECT_EQ(gets[1].ifRange, "\"v2-first\"");
  if (GetParam().changed) {
    EXPECT_EQ(gets[1].status, 200);
    EXPECT_EQ(gets[1].bodySent, lastSize);
  } else {
    EXPECT_EQ(gets[1].status, 206);
    EXPECT_EQ(gets[1].bodySent, size - cut);
  }
  std::printf("[ figure ] %s: first request %llu of %llu bytes (cut), second request %llu of %llu bytes "
              "(status %d)\n",
              GetParam().name, static_cast<unsigned long long>(gets[0].bodySent), static_cast<unsigned long long>(size),
              static_cast<unsigned long long>(gets[1].bodySent), static_cast<unsigned long long>(lastSize),
              gets[1].status);

  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_TRUE(InstalledVersion2());
  EXPECT_TRUE(test::ReadWholeFile(installDir_ + "\\data.bin") == test::ReadWholeFile(lastData))
      << "the installed data is not the server's last file";
  for (const std::string& name : Entries(installDir_))
    EXPECT_NE(name.rfind(test::kUpdateName, 0), 0u) << name << " stays";
  ExpectTempFolderEmpty();
}

INSTANTIATE_TEST_SUITE_P(Files, UpdateResumeTest,
                         ::testing::Values(ResumeCase{"SameFile", false}, ResumeCase{"ChangedFile", true}),
                         [](const ::testing::TestParamInfo<ResumeCase>& info) { return std::string(info.param.name); });

void PrintTo(const ResumeCase& c, std::ostream* os) { *os << c.name; }

}  // namespace
}  // namespace tarnix
