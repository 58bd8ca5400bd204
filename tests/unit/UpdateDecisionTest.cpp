// The update decision: the status chain with its texts, the re-ask rule, the
// valid-versions list and the size of the announced file, learnt from a
// local folder or the web server (here a table of sizes).
#include "autoupdate/UpdateDecision.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarnix {
namespace {

constexpr int64_t kNow = 4'000'000'000;
constexpr char kLocation[] = "http://updates.example/product";
constexpr char kHttpSetup[] = "http://updates.example/product/Setup.exe";

// Local files and server sizes by path, and what was asked of them.
class FakeSizes : public FileSizeSource {
 public:
  bool LocalFileSize(const std::string& path, int64_t& size) override {
    asked.push_back("file " + path);
    const auto found = files.find(path);
    if (found == files.end()) return false;
    size = found->second;
    return true;
  }
  bool InternetConnected() override { return connected; }
  int32_t HttpFileSize(const std::string& url) override {
    asked.push_back("http " + url);
    const auto found = server.find(url);
    return found == server.end() ? -1 : found->second;
  }

  std::map<std::string, int64_t> files;
  std::map<std::string, int32_t> server;
  bool connected = true;
  std::vector<std::string> asked;
};

// An announcement that passes every test: version 5 installed, 6 offered,
// a Stamp not yet acted on, the setup on the server at its announced size.
struct World {
  bool infoDownloaded = true;
  DecisionSettings settings;
  DecisionState state;
  FakeSizes sizes;

  World() {
    settings.versionOriginal = 5;
    settings.originalStamp = 100;
    settings.versionNew = 6;
    settings.newStamp = 101;
    settings.downloadUrlUpdate = kLocation;
    settings.nameOfUpdateFile = "Setup.exe";
    settings.nameOfInformFile = "Inform.txt";
    settings.sizeOfUpdateFile = 1000;
    settings.sizeOfInformFile = 300;
    state.now = kNow;
    sizes.server[kHttpSetup] = 1000;
  }
};

struct DecisionCase {
  const char* name;
  std::function<void(World&)> change;
  int status;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const DecisionCase& c, std::ostream* os) { *os << c.name; }

class GetOkToPerformAUTest : public testing::TestWithParam<DecisionCase> {};

TEST_P(GetOkToPerformAUTest, StopsAtTheFirstFailedTest) {
  World w;
  GetParam().change(w);
  const UpdateDecision d = DecideUpdate(w.infoDownloaded, w.settings, w.state, w.sizes);
  EXPECT_EQ(d.status, GetParam().status);
  EXPECT_EQ(d.text, DecisionText(GetParam().status));
  EXPECT_EQ(d.Ok(), GetParam().status == 6);
  // The size is learnt only when every other test passed.
  EXPECT_EQ(d.size.has_value(), GetParam().status >= 5);
  if (GetParam().status < 5) {
    EXPECT_TRUE(w.sizes.asked.empty());
  }
}

void SameStamp(World& w) { w.settings.newStamp = w.settings.originalStamp; }

INSTANTIATE_TEST_SUITE_P(
    Chain, GetOkToPerformAUTest,
    testing::Values(
        DecisionCase{"AllPass", [](World&) {}, 6},
        DecisionCase{"InfoNotDownloaded", [](World& w) { w.infoDownloaded = false; }, 0},
        DecisionCase{"NoInstalledVersion", [](World& w) { w.settings.versionOriginal = 0; }, 1},
        DecisionCase{"NegativeInstalledVersion", [](World& w) { w.settings.versionOriginal = -3; }, 1},
        DecisionCase{"SameStampReAskOff", SameStamp, 2},
        DecisionCase{"SameStampReAskNegative",
                     [](World& w) {
                       SameStamp(w);
                       w.settings.reAskSecondsInterval = -10;
                       w.settings.reAskSecondsLast = kNow - 1000;
                     },
                     2},
        DecisionCase{"SameStampReAskDue",
                     [](World& w) {
                       SameStamp(w);
                       w.settings.reAskSecondsInterval = 3600;
                       w.settings.reAskSecondsLast = kNow - 3601;
                     },
                     6},
        DecisionCase{"SameStampReAskExactlyAtTheInterval",
                     [](World& w) {
                       SameStamp(w);
                       w.settings.reAskSecondsInterval = 3600;
                       w.settings.reAskSecondsLast = kNow - 3600;
                     },
                     2},
        DecisionCase{"SameStampOnDemand",
                     [](World& w) {
                       SameStamp(w);
                       w.state.onDemand = true;
                     },
                     6},
        // A last time far in the future must not wrap round into the past.
        DecisionCase{"SameStampHugeLastTime",
                     [](World& w) {
                       SameStamp(w);
                       w.settings.reAskSecondsInterval = 1;
                       w.settings.reAskSecondsLast = INT64_MAX;
                     },
                     2},
        DecisionCase{"SameStampHugeInterval",
                     [](World& w) {
                       SameStamp(w);
                       w.settings.reAskSecondsInterval = INT64_MAX;
                       w.settings.reAskSecondsLast = kNow;
                     },
                     2},
        DecisionCase{"SameVersionNewStamp", [](World& w) { w.settings.versionNew = 5; }, 3},
        DecisionCase{"SameVersionSameStamp",
                     [](World& w) {
                       w.settings.versionNew = 5;
                       SameStamp(w);
                     },
                     2},
        DecisionCase{"OlderVersion", [](World& w) { w.settings.versionNew = 4; }, 3},
        DecisionCase{"ValidForThisVersion", [](World& w) { w.settings.validVersions = "4,5"; }, 6},
        DecisionCase{"ValidListWithABlank", [](World& w) { w.settings.validVersions = "4, 5"; }, 4},
        DecisionCase{"ValidForFifteenNotFive", [](World& w) { w.settings.validVersions = "15"; }, 4},
        DecisionCase{"ValidForFiftyOneNotFive", [](World& w) { w.settings.validVersions = "51,52"; }, 4},
        DecisionCase{"ServerSize99Above", [](World& w) { w.sizes.server[kHttpSetup] = 1099; }, 6},
        DecisionCase{"ServerSize100Above", [](World& w) { w.sizes.server[kHttpSetup] = 1100; }, 5},
        DecisionCase{"ServerSize99Below", [](World& w) { w.sizes.server[kHttpSetup] = 901; }, 6},
        DecisionCase{"ServerSize100Below", [](World& w) { w.sizes.server[kHttpSetup] = 900; }, 5},
        DecisionCase{"ServerGivesNoSize", [](World& w) { w.sizes.server.erase(kHttpSetup); }, 5},
        DecisionCase{"UnknownSizeAnnounced50",
                     [](World& w) {
                       w.sizes.connected = false;
                       w.settings.sizeOfUpdateFile = 50;
                     },
                     6},
        DecisionCase{"UnknownSizeAnnounced99",
                     [](World& w) {
                       w.sizes.connected = false;
                       w.settings.sizeOfUpdateFile = 99;
                     },
                     5},
        DecisionCase{"InformModeTakesTheInformFile",
                     [](World& w) {
                       w.settings.autoInform = true;
                       w.sizes.server["http://updates.example/product/Inform.txt"] = 300;
                     },
                     6},
        DecisionCase{"InformModeDoesNotTakeTheSetup", [](World& w) { w.settings.autoInform = true; }, 5}),
    [](const testing::TestParamInfo<DecisionCase>& info) { return std::string(info.param.name); });

// An announcement from a web server may send the agent to web addresses
// only: a folder or a share it names is never touched, not even for the
// size of the file.
TEST(UpdateLocationTest, AnAnnouncementFromAWebServerNamesWebAddressesOnly) {
  const struct {
    const char* location;
    bool overHttp;
    bool allowed;
  } cases[] = {
      {"http://updates.example/p", true, true},       {"HTTPS://updates.example/p", true, true},
      {"\\\\fileserver\\share\\updates", true, false}, {"C:\\Updates", true, false},
      {"updates.example/p", true, false},              {"ftp://updates.example/p", true, false},
      {"file:///C:/Updates", true, false},             {"", true, false},
      {"\\\\fileserver\\share\\updates", false, true}, {"C:\\Updates", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.location) + (c.overHttp ? " over http" : " from a folder"));
    EXPECT_EQ(UpdateLocationAllowed(c.location, c.overHttp), c.allowed);
    World w;
    w.settings.downloadUrlUpdate = c.location;
    w.settings.sizeOfUpdateFile = 50;
    w.sizes.connected = false;
    w.state.infoOverHttp = c.overHttp;
    const UpdateDecision d = DecideUpdate(true, w.settings, w.state, w.sizes);
    EXPECT_EQ(d.locationRefused, !c.allowed);
    EXPECT_EQ(d.status, c.allowed ? 6 : 5);
    EXPECT_EQ(w.sizes.asked.empty(), !c.allowed);
  }
  // The test location replaces the announcement's in test mode.
  World w;
  w.settings.downloadUrlUpdate = "\\\\fileserver\\share";
  w.state.infoOverHttp = true;
  w.state.testMode = true;
  w.state.testModeURL = "C:\\Test";
  w.sizes.files["C:\\Test\\Setup.exe"] = 1000;
  EXPECT_EQ(DecideUpdate(true, w.settings, w.state, w.sizes).status, 6);
}

// The decision's log line names why it stopped when its text does not say
// it all: why the announcement did not come, what the size check found.
TEST(DecisionReasonTest, TheLogLineNamesWhyTheChainStopped) {
  struct Case {
    const char* name;
    std::function<void(World&)> change;
    const char* line;
  };
  const Case cases[] = {
      {"InfoNotDownloaded", [](World& w) { w.infoDownloaded = false; },
       "GetOkToPerformAU = 0 - Error downloading .INFO file: no data from the server for 30 seconds"},
      {"SameVersion", [](World& w) { w.settings.versionNew = 5; },
       "GetOkToPerformAU = 3 - New version is not higher then old version"},
      {"ServerSizeOff", [](World& w) { w.sizes.server[kHttpSetup] = 1100; },
       "GetOkToPerformAU = 5 - Download file size error: http://updates.example/product/Setup.exe has 1100 "
       "bytes, announced are 1000"},
      {"ServerGivesNoSize", [](World& w) { w.sizes.server.erase(kHttpSetup); },
       "GetOkToPerformAU = 5 - Download file size error: the size of http://updates.example/product/Setup.exe "
       "could not be learnt"},
      {"ShareFromAWebServer",
       [](World& w) {
         w.settings.downloadUrlUpdate = "\\\\fileserver\\share";
         w.state.infoOverHttp = true;
       },
       "GetOkToPerformAU = 5 - Download file size error: the announcement came from a web server and names no "
       "web address"},
      {"AllPass", [](World&) {}, "GetOkToPerformAU = 6 - OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    c.change(w);
    const UpdateDecision d = DecideUpdate(w.infoDownloaded, w.settings, w.state, w.sizes);
    EXPECT_EQ(DecisionLogLine(d.status, d.text, DecisionReason(d, "no data from the server for 30 seconds")),
              c.line);
  }
  // An announcement that did not come for no known reason: the text alone.
  EXPECT_EQ(DecisionLogLine(0, DecisionText(0), ""), "GetOkToPerformAU = 0 - Error downloading .INFO file");
}

TEST(DecisionTextTest, EveryStatusHasItsText) {
  const char* const texts[] = {"Error downloading .INFO file",
                               "Error reading .ORIGINAL file",
                               "Too early for retesting",
                               "New version is not higher then old version",
                               "\"Valid for version\" mismatch",
                               "Download file size error",
                               "OK"};
  for (int status = 0; status <= 6; ++status) EXPECT_EQ(DecisionText(status), texts[status]) << status;
}

TEST(ReAskDueTest, NeedsAPositiveIntervalAndATimePastIt) {
  struct Case {
    int64_t now, last, interval;
    bool due;
  } cases[] = {
      {100, 0, 50, true},          {100, 50, 50, false},        {100, 49, 50, true},
      {100, 0, 0, false},          {100, 0, -1, false},         {100, INT64_MAX, 1, false},
      {100, 1, INT64_MAX, false},  {INT64_MAX, INT64_MIN, 1, true}, {0, -100, 50, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReAskDue(c.now, c.last, c.interval), c.due) << c.now << " " << c.last << " " << c.interval;
}

TEST(ValidVersionOkTest, MatchesWholeEntriesOnly) {
  struct Case {
    const char* list;
    int32_t version;
    bool ok;
  } cases[] = {
      {"", 5, true},         {"5", 5, true},       {"4,5", 5, true},      {"5,6", 5, true},
      {"4, 5", 5, false},    {"15", 5, false},     {"51", 5, false},      {"4,15,25", 5, false},
      {" 5", 5, false},      {",5,", 5, true},     {"-5", -5, true},      {"5", -5, false},
      {"2147483647", 2147483647, true},
  };
  for (const Case& c : cases) EXPECT_EQ(ValidVersionOk(c.list, c.version), c.ok) << c.list << " / " << c.version;
}

TEST(CheckUpdateSizeTest, LooksInTheFolderFirstThenAsksTheServer) {
  World w;
  w.settings.downloadUrlUpdate = "C:\\Updates";
  w.sizes.files["C:\\Updates\\Setup.exe"] = 1050;
  SizeCheck check = CheckUpdateSize(w.settings, w.state, "C:\\Updates", "Setup.exe", "Inform.txt", w.sizes);
  EXPECT_TRUE(check.matches);
  EXPECT_EQ(check.actual, 1050);
  EXPECT_EQ(check.path, "C:\\Updates\\Setup.exe");
  EXPECT_EQ(w.sizes.asked, std::vector<std::string>{"file C:\\Updates\\Setup.exe"});

  w.sizes.asked.clear();
  check = CheckUpdateSize(w.settings, w.state, kLocation, "Setup.exe", "Inform.txt", w.sizes);
  EXPECT_TRUE(check.matches);
  EXPECT_EQ(check.path, kHttpSetup);
  const std::vector<std::string> asked = {"file http://updates.example/product\\Setup.exe",
                                          std::string("http ") + kHttpSetup};
  EXPECT_EQ(w.sizes.asked, asked);
}

TEST(CheckUpdateSizeTest, TakesTheFileNamePartOfTheName) {
  World w;
  const SizeCheck check =
      CheckUpdateSize(w.settings, w.state, kLocation, "C:\\Build\\out/Setup.exe", "", w.sizes);
  EXPECT_TRUE(check.matches);
  EXPECT_EQ(check.path, kHttpSetup);
}

TEST(CheckUpdateSizeTest, TestModeTakesOnlyALocalFileAtTheTestLocation) {
  World w;
  w.state.testMode = true;
  w.state.testModeURL = "D:\\TestUpdates";
  w.sizes.files["D:\\TestUpdates\\Setup.exe"] = 1000;
  SizeCheck check = CheckUpdateSize(w.settings, w.state, kLocation, "Setup.exe", "Inform.txt", w.sizes);
  EXPECT_TRUE(check.matches);
  EXPECT_EQ(check.path, "D:\\TestUpdates\\Setup.exe");

  // A test location on a web server is never asked: the size stays unknown.
  w.state.testModeURL = kLocation;
  w.sizes.asked.clear();
  check = CheckUpdateSize(w.settings, w.state, "C:\\elsewhere", "Setup.exe", "Inform.txt", w.sizes);
  EXPECT_FALSE(check.matches);
  EXPECT_EQ(check.actual, -1);
  EXPECT_EQ(w.sizes.asked, std::vector<std::string>{"file http://updates.example/product\\Setup.exe"});
}

TEST(CheckUpdateSizeTest, LocalFilesCountIn32Bits) {
  World w;
  // 4 GiB + 1000 bytes reads as 1000, as the server's 32-bit size would.
  w.sizes.files["C:\\Updates\\Setup.exe"] = (int64_t{1} << 32) + 1000;
  const SizeCheck check = CheckUpdateSize(w.settings, w.state, "C:\\Updates", "Setup.exe", "", w.sizes);
  EXPECT_EQ(check.actual, 1000);
  EXPECT_TRUE(check.matches);
}

TEST(CheckUpdateSizeTest, AFailedCheckNamesBothSizesAndWhereItLooked) {
  World w;
  w.sizes.server[kHttpSetup] = 1234;
  const SizeCheck check = CheckUpdateSize(w.settings, w.state, kLocation, "Setup.exe", "", w.sizes);
  EXPECT_FALSE(check.matches);
  EXPECT_EQ(SizeMismatchLines(check),
            (std::vector<std::string>{"  InfoSize=1000", "  HttpSize=1234", std::string("  URL=") + kHttpSetup}));
}

TEST(CheckUpdateSizeTest, ExtremeSizesDoNotOverflow) {
  World w;
  w.settings.sizeOfUpdateFile = INT32_MIN;
  w.sizes.server[kHttpSetup] = INT32_MAX;
  EXPECT_FALSE(CheckUpdateSize(w.settings, w.state, kLocation, "Setup.exe", "", w.sizes).matches);
}

}  // namespace
}  // namespace tarnix
