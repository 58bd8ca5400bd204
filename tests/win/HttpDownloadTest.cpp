// The HTTP downloader against a server on the loopback interface: where the
// body lands, what stays on disk when a download falls short, the error
// texts, the requests the server sees, and stopping a download from a window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "DebugTestSupport.h"
#include "Utils/UniqueResource.h"
#include "net/DownloadAbort.h"
#include "net/DownloadRules.h"
#include "net/HttpDownload.h"
#include "support/LoopbackHttpServer.h"
#include "support/SetupProcess.h"
#include "ui/ProgBar.h"

namespace tarnix {
namespace {

using test::BodyEnd;
using test::HttpResponse;
using test::ReadWholeFile;

// 15 June 2021 13:45:30 as the server sends it, and packed as a DOS stamp.
constexpr char kLastModified[] = "Tue, 15 Jun 2021 13:45:30 GMT";
constexpr uint32_t kStamp = uint32_t((2021 - 1980) << 9 | 6 << 5 | 15) << 16 | (13 << 11 | 45 << 5 | 30 / 2);

// Bytes that differ from piece to piece, so a piece written twice or
// skipped shows in the content.
std::string Pattern(size_t length) {
  std::string text(length, '\0');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 1000) % 26);
  return text;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &entry));
  if (!find) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(entry.cFileName);
  } while (::FindNextFileA(find.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

// What the progress bar was told.
struct BarLog {
  int setUps = 0;
  int range = 0;
  int steps = 0;
  std::vector<std::string> texts;
};
BarLog g_bar;

void RecordingSink(int action, uint16_t, int range, const char* text, int, int position) {
  if (action == kProgressSetUp && range > 0) {
    ++g_bar.setUps;
    g_bar.range = range;
  } else if (action == kProgressStep) {
    ++g_bar.steps;
    g_bar.texts.push_back(text ? text : "");
  }
}

void NoPump(int64_t) {}

struct Fetched {
  std::string error;
  std::string data;
  Failure why;
};

class HttpDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    SetDownloadAbort(false);
    g_bar = BarLog();
    folder_ = dir_ / "";
    folder_.pop_back();
    target_ = dir_ / "setup.exe";
  }
  void TearDown() override { SetDownloadAbort(false); }

  Fetched Fetch(const std::string& url, const std::string& target, TProgBar* bar = nullptr, HWND window = nullptr) {
    Fetched f;
    f.data = "left over";
    HTTP_DownloadFile(window, url, target, f.data, bar, f.error, &f.why);
    return f;
  }

  std::string TempOf(uint32_t size, uint32_t date) const { return DownloadTempName(target_, size, date); }

  test::LoopbackHttpServer server_;
  test::ScratchDir dir_;
  std::string folder_;
  std::string target_;
};

TEST_F(HttpDownloadTest, DownloadsIntoAFileOrIntoMemory) {
  const std::string body = Pattern(200000);
  HttpResponse response;
  response.body = body;
  response.lastModified = kLastModified;
  server_.Serve("/dir/setup.exe", response);

  const Fetched toFile = Fetch(server_.Url("/dir/setup.exe"), target_);
  EXPECT_EQ(toFile.error, "");
  EXPECT_EQ(toFile.data, "");
  EXPECT_EQ(ReadWholeFile(target_), body);
  EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"}) << "the temporary file became the target";

  const Fetched toMemory = Fetch(server_.Url("/dir/setup.exe"), "");
  EXPECT_EQ(toMemory.error, "");
  EXPECT_EQ(toMemory.data, body);
}

TEST_F(HttpDownloadTest, ReplacesAnOlderTarget) {
  WriteText(target_, "old version");
  HttpResponse response;
  response.body = Pattern(5000);
  server_.Serve("/setup.exe", response);
  EXPECT_EQ(Fetch(server_.Url("/setup.exe"), target_).error, "");
  EXPECT_EQ(ReadWholeFile(target_), response.body);
}

TEST_F(HttpDownloadTest, ServerSeesTheWarmUpThenTheDownload) {
  HttpResponse response;
  response.body = Pattern(100);
  server_.Serve("/setup.exe", response);
  ASSERT_EQ(Fetch(server_.Url("/setup.exe"), target_).error, "");
  const std::vector<test::HttpRequestSeen> seen = server_.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, "HEAD");
  EXPECT_EQ(seen[0].userAgent, "HTTP_Connect_2");
  EXPECT_EQ(seen[1].method, "GET");
  EXPECT_EQ(seen[1].userAgent, "HTTP_Connect_3");
  for (const test::HttpRequestSeen& r : seen) EXPECT_EQ(r.path, "/setup.exe");
}

TEST_F(HttpDownloadTest, AUrlWithoutSchemeIsTakenForHttp) {
  HttpResponse response;
  response.body = Pattern(300);
  server_.Serve("/setup.exe", response);
  const std::string url = server_.Url("/setup.exe").substr(7);
  const Fetched f = Fetch(url, "");
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.data, response.body);
  EXPECT_EQ(server_.RequestCount("/setup.exe"), 2);
}

TEST_F(HttpDownloadTest, WithoutContentLengthTheTargetIsLeftAlone) {
  WriteText(target_, "old version");
  HttpResponse response;
  response.body = Pattern(100000);
  response.sendLength = false;
  response.lastModified = kLastModified;
  server_.Serve("/setup.exe", response);

  TProgBar bar(RecordingSink, NoPump);
  const Fetched toFile = Fetch(server_.Url("/setup.exe"), target_, &bar);
  EXPECT_EQ(toFile.error, "setup.exe --- Error downloading file (the server announced no size)");
  EXPECT_EQ(ReadWholeFile(target_), "old version");
  EXPECT_EQ(ReadWholeFile(TempOf(kUnknownSize, kStamp)), response.body);
  // Without a size the amounts are in MB of the 4 GB that the missing
  // length reads as, and the bar moves once.
  EXPECT_EQ(g_bar.range, DownloadProgressSteps(kUnknownSize, DownloadStepSize(kUnknownSize)));
  EXPECT_EQ(g_bar.texts, std::vector<std::string>{"0.0/4,096.0 MB"});

  const Fetched toMemory = Fetch(server_.Url("/setup.exe"), "");
  EXPECT_EQ(toMemory.error, "");
  EXPECT_EQ(toMemory.data, response.body);
}

TEST_F(HttpDownloadTest, ContentLengthZeroIsFileNotFound) {
  HttpResponse empty;
  server_.Serve("/setup.exe", empty);
  const std::string url = server_.Url("/setup.exe");
  for (const std::string& target : {target_, std::string()}) {
    server_.ClearRequests();
    const Fetched f = Fetch(url, target);
    EXPECT_EQ(f.error, url + " --- File Not Found !");
    EXPECT_EQ(f.data, "");
    EXPECT_EQ(server_.Requests().size(), 2u) << "the warm-up and the download's request, nothing more";
  }
  EXPECT_TRUE(FileNames(folder_).empty());
}

TEST_F(HttpDownloadTest, NineBytesAreReadOneByOne) {
  HttpResponse response;
  response.body = "123456789";
  server_.Serve("/nine.bin", response);
  TProgBar bar(RecordingSink, NoPump);
  const Fetched f = Fetch(server_.Url("/nine.bin"), target_, &bar);
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(ReadWholeFile(target_), "123456789");
  EXPECT_EQ(g_bar.setUps, 1);
  EXPECT_EQ(g_bar.range, 10);
  EXPECT_EQ(g_bar.steps, 9);
  ASSERT_EQ(g_bar.texts.size(), 9u);
  EXPECT_EQ(g_bar.texts.front(), "1/9 BytesArr");
  EXPECT_EQ(g_bar.texts.back().substr(0, 12), "9/9 BytesArr");
}

TEST_F(HttpDownloadTest, ShortBodyStaysInTheTemporaryFileNamedBySizeAndDate) {
  WriteText(target_, "old version");
  HttpResponse response;
  response.body = Pattern(3000);
  response.announcedLength = 5000;
  response.lastModified = kLastModified;
  server_.Serve("/setup.exe", response);
  const Fetched f = Fetch(server_.Url("/setup.exe"), target_);
  EXPECT_EQ(f.error, "setup.exe --- Error downloading file (received 3000 of 5000 bytes)");
  EXPECT_EQ(ReadWholeFile(target_), "old version");
  EXPECT_EQ(ReadWholeFile(TempOf(5000, kStamp)), response.body);
}

TEST_F(HttpDownloadTest, DroppedConnectionLeavesTheTargetAlone) {
  struct Case {
    const char* name;
    bool reset;
  };
  for (const Case& c : {Case{"closed", false}, Case{"reset", true}}) {
    SCOPED_TRACE(c.name);
    WriteText(target_, "old version");
    HttpResponse response;
    response.body = Pattern(50000);
    response.dropAfter = 20000;
    response.resetOnDrop = c.reset;
    server_.Serve("/setup.exe", response);
    const Fetched f = Fetch(server_.Url("/setup.exe"), target_);
    EXPECT_EQ(f.error.substr(0, 36), "setup.exe --- Error downloading file");
    EXPECT_EQ(ReadWholeFile(target_), "old version");
    const std::string received = ReadWholeFile(TempOf(50000, 0));
    EXPECT_LE(received.size(), 20000u);
    EXPECT_EQ(received, response.body.substr(0, received.size()));
  }
}

TEST_F(HttpDownloadTest, OldTemporaryFilesGoOtherFilesStay) {
  WriteText(target_ + ".config", "config");
  WriteText(target_ + ".log", "log");
  WriteText(target_ + ".123", "old temporary");
  WriteText(target_ + ".4294967295", "old temporary");
  WriteText(dir_ / "setup.exe2.123", "other");
  HttpResponse response;
  response.body = Pattern(1000);
  server_.Serve("/setup.exe", response);
  EXPECT_EQ(Fetch(server_.Url("/setup.exe"), target_).error, "");
  EXPECT_EQ(FileNames(folder_),
            (std::vector<std::string>{"setup.exe", "setup.exe.config", "setup.exe.log", "setup.exe2.123"}));
  EXPECT_EQ(ReadWholeFile(target_ + ".config"), "config");
  EXPECT_EQ(ReadWholeFile(target_ + ".log"), "log");
}

TEST_F(HttpDownloadTest, TargetThatCannotBeWrittenIsAnError) {
  HttpResponse response;
  response.body = Pattern(1000);
  server_.Serve("/setup.exe", response);
  // No folder to hold the temporary file; a folder where the target should go.
  const std::string noFolder = dir_ / "missing\\setup.exe";
  ASSERT_TRUE(::CreateDirectoryA(target_.c_str(), nullptr));
  for (const std::string& target : {noFolder, target_}) {
    SCOPED_TRACE(target);
    const Fetched f = Fetch(server_.Url("/setup.exe"), target);
    EXPECT_EQ(f.error.substr(0, 38), "setup.exe --- Error downloading file (");
    EXPECT_GT(f.error.size(), 39u) << "the system's reason follows";
  }
  EXPECT_EQ(ReadWholeFile(TempOf(1000, 0)), response.body) << "what arrived stays";
}

TEST_F(HttpDownloadTest, UnreachableServerCannotBeOpened) {
  // A port that was just free: nothing listens there.
  std::string url;
  {
    test::LoopbackHttpServer gone;
    url = gone.Url("/setup.exe");
  }
  const Fetched f = Fetch(url, target_);
  EXPECT_EQ(f.error, "Unable to open Internet Connection: " + url + " (no connection could be made to the server)");
  EXPECT_FALSE(Exists(target_));
}

// The abort flag set the two ways the stub window sets it: from a timer, and
// when the window is asked to close. Either arrives through the messages the
// download pumps while the body trickles in.
constexpr UINT_PTR kAbortTimer = 0x7A11;

void CALLBACK AbortOnTimer(HWND, UINT, UINT_PTR, DWORD) { SetDownloadAbort(true); }

LRESULT CALLBACK AbortOnClose(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    SetDownloadAbort(true);
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(HttpDownloadTest, AbortFlagStopsTheDownload) {
  HttpResponse slow;
  slow.body = Pattern(50000);
  slow.pieceSize = 1000;
  slow.pieceDelayMs = 30;
  server_.Serve("/setup.exe", slow);

  WNDCLASSA wc = {};
  wc.lpfnWndProc = AbortOnClose;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "TarnixDownloadAbortTest";
  ::RegisterClassA(&wc);

  for (const bool byWindow : {false, true}) {
    SCOPED_TRACE(byWindow ? "window closed" : "timer");
    SetDownloadAbort(false);
    UniqueWindow window(::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window);
    UINT_PTR timer = 0;
    std::thread closer;
    if (byWindow) {
      const HWND target = window.get();
      closer = std::thread([target] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::PostMessageA(target, WM_CLOSE, 0, 0);
      });
    } else {
      timer = ::SetTimer(nullptr, kAbortTimer, 300, AbortOnTimer);
    }
    const Fetched f = Fetch(server_.Url("/setup.exe"), target_);
    if (closer.joinable()) closer.join();
    if (timer) ::KillTimer(nullptr, timer);
    EXPECT_EQ(f.error, "Download Aborted");
    EXPECT_FALSE(Exists(target_));
    EXPECT_LT(ReadWholeFile(TempOf(50000, 0)).size(), 50000u);
  }
}

// A close request while the server sends nothing: the download ends at
// once, in whichever wait it was. The window is the one of the abort test.
TEST_F(HttpDownloadTest, ClosingTheWindowDuringAStallEndsTheDownloadAtOnce) {
  struct Case {
    const char* name;
    bool beforeHead;
    std::optional<uint64_t> stallAfter;
  };
  const Case cases[] = {
      {"no answer at all", true, std::nullopt},
      {"head, then nothing", false, 0},
      {"half the body, then nothing", false, 25000},
  };
  WNDCLASSA wc = {};
  wc.lpfnWndProc = AbortOnClose;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "TarnixDownloadAbortTest";
  ::RegisterClassA(&wc);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetDownloadAbort(false);
    HttpResponse stalled;
    stalled.body = Pattern(50000);
    stalled.stallBeforeHead = c.beforeHead;
    stalled.stallAfter = c.stallAfter;
    server_.Serve("/setup.exe", stalled);
    UniqueWindow window(::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window);
    const HWND target = window.get();
    DWORD closedAt = 0;
    std::thread closer([&] {
      // Until the server has the download's request (or the warm-up's,
      // which it never answers), and a little longer.
      test::PollUntil([&] { return server_.Requests().size() >= (c.beforeHead ? 1u : 2u); }, 20000);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      closedAt = ::GetTickCount();
      ::PostMessageA(target, WM_CLOSE, 0, 0);
    });
    const Fetched f = Fetch(server_.Url("/setup.exe"), target_);
    const DWORD endedAt = ::GetTickCount();
    closer.join();
    EXPECT_EQ(f.error, "Download Aborted");
    EXPECT_FALSE(Exists(target_));
    const DWORD tookMs = endedAt - closedAt;
    std::printf("[ figure ] %s: close request to the end of the download: %lu ms\n", c.name,
                static_cast<unsigned long>(tookMs));
    EXPECT_LT(tookMs, 10000u) << "the download waited for the server";
  }
}

// A server that stalls ends the download on its own after kNetworkStallMs,
// with an error that says so; the thread's windows keep running meanwhile.
constexpr UINT_PTR kTickTimer = 0x7A12;
int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST_F(HttpDownloadTest, AStalledServerEndsTheDownloadWithAnError) {
  struct Case {
    const char* name;
    bool beforeHead;
    std::optional<uint64_t> stallAfter;
    std::string error;
  };
  const std::string url = server_.Url("/setup.exe");
  const Case cases[] = {
      {"no answer at all", true, std::nullopt,
       "Unable to open Internet Connection: " + url + " (no data from the server for 30 seconds)"},
      {"half the body, then nothing", false, 25000,
       "setup.exe --- Error downloading file (no data from the server for 30 seconds)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(target_, "old version");
    HttpResponse stalled;
    stalled.body = Pattern(50000);
    stalled.stallBeforeHead = c.beforeHead;
    stalled.stallAfter = c.stallAfter;
    server_.Serve("/setup.exe", stalled);
    g_ticks = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, kTickTimer, 100, CountTick);
    const DWORD started = ::GetTickCount();
    const Fetched f = Fetch(url, target_);
    const DWORD tookMs = ::GetTickCount() - started;
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(f.error, c.error);
    EXPECT_EQ(ReadWholeFile(target_), "old version");
    EXPECT_GE(tookMs, kNetworkStallMs - 1000);
    EXPECT_LT(tookMs, kNetworkStallMs + 20000);
    EXPECT_GT(g_ticks, 100) << "the thread's messages were not served during the wait";
  }
}

// A refusal or a failure of the server is never the file, whatever its body
// looks like, and the server's own reason phrase never reaches the error.
TEST_F(HttpDownloadTest, AnAnswerOtherThanSuccessIsNoFile) {
  struct Case {
    const char* status;
    const char* contentType;
    const char* body;
    const char* reason;
  };
  const Case cases[] = {
      {"404 Not Found", "text/html", "<!doctype html><main><h1>Page not found</h1></main>", "404 Not Found"},
      {"403 Forbidden", "application/xml",
       "<?xml version=\"1.0\"?><Error><Code>AccessDenied</Code><Message>Access Denied</Message></Error>",
       "403 Forbidden"},
      {"410 Gone", "text/plain", "[NewSetup]\r\nVersionNew=9\r\n", "410 Gone"},
      {"500 Internal Server Error", "text/html", "<html><head><title>Sorry</title></head></html>",
       "500 Internal Server Error"},
      {"503 <B>Call 0800-555 now</B> to fix your PC", "text/html", "Try later", "503 Service Unavailable"},
      {"599 Whatever", "text/plain", "x", "599 Server Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    WriteText(target_, "old version");
    HttpResponse failing;
    failing.status = c.status;
    failing.contentType = c.contentType;
    failing.body = c.body;
    failing.lastModified = kLastModified;
    server_.Serve("/setup.exe", failing);
    const Fetched toFile = Fetch(server_.Url("/setup.exe"), target_);
    EXPECT_EQ(toFile.error, std::string("setup.exe --- Error downloading file (") + c.reason + ")");
    EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"}) << "no temporary file";
    EXPECT_EQ(ReadWholeFile(target_), "old version");
    const Fetched toMemory = Fetch(server_.Url("/setup.exe"), "");
    EXPECT_EQ(toMemory.error, toFile.error);
    EXPECT_EQ(toMemory.data, "");
  }
}

// Every failure comes with its reason in a few words, the words its error
// text ends with, and the number behind it: the server's status or the
// system's error. A body cut short is a failure in memory as on disk.
TEST_F(HttpDownloadTest, AFailureNamesItsReasonAndItsNumber) {
  std::string unreachable;
  {
    test::LoopbackHttpServer gone;
    unreachable = gone.Url("/setup.exe");
  }
  HttpResponse cut;
  cut.body = Pattern(50000);
  cut.dropAfter = 20000;
  server_.Serve("/cut.bin", cut);
  HttpResponse unavailable;
  unavailable.status = "503 Service Unavailable";
  unavailable.body = "later";
  server_.Serve("/busy.bin", unavailable);
  struct Case {
    const char* name;
    std::string url;
    std::string reason;
    uint32_t httpStatus;
    uint32_t systemError;
  };
  const Case cases[] = {
      {"not found", server_.Url("/missing.bin"), "404 Not Found", 404, 0},
      {"unavailable", server_.Url("/busy.bin"), "503 Service Unavailable", 503, 0},
      {"nobody listens", unreachable, "no connection could be made to the server", 0, 12029},
      {"unknown host", "http://updates.invalid/setup.exe", "the server's name could not be resolved", 0, 12007},
      {"cut short", server_.Url("/cut.bin"), "received 20000 of 50000 bytes", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& target : {std::string(), target_}) {
      const Fetched f = Fetch(c.url, target);
      EXPECT_EQ(f.data, "");
      EXPECT_EQ(f.why.reason, c.reason);
      EXPECT_EQ(f.why.httpStatus, c.httpStatus);
      EXPECT_EQ(f.why.systemError, c.systemError);
      const std::string end = "(" + c.reason + ")";
      EXPECT_EQ(f.error.substr(f.error.size() - std::min(f.error.size(), end.size())), end) << f.error;
    }
  }
  HttpResponse whole;
  whole.body = Pattern(1000);
  server_.Serve("/whole.bin", whole);
  const Fetched fine = Fetch(server_.Url("/whole.bin"), "");
  EXPECT_EQ(fine.error, "");
  EXPECT_FALSE(fine.why.Failed());
}

// Bytes of an earlier download that could not be deleted (another program
// held the file when the download began) never precede the new download's
// own.
TEST_F(HttpDownloadTest, AFreshDownloadNeverAppendsToALeftoverTemporaryFile) {
  HttpResponse response;
  response.body = Pattern(50000);
  response.lastModified = kLastModified;
  response.pieceSize = 1000;
  response.pieceDelayMs = 20;
  server_.Serve("/setup.exe", response);
  const std::string leftover = TempOf(50000, kStamp);
  WriteText(leftover, "stale bytes of an earlier download");
  UniqueFileHandle held(::CreateFileA(leftover.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  // Let go once the body is on its way, so that the file can become the
  // target at the end.
  std::thread release([&] {
    test::PollUntil(
        [&] {
          for (const test::HttpRequestSeen& r : server_.Requests())
            if (r.method == "GET" && r.bodySent > 0) return true;
          return false;
        },
        20000);
    held.reset();
  });
  const Fetched f = Fetch(server_.Url("/setup.exe"), target_);
  release.join();
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(ReadWholeFile(target_), response.body);
}

// A download whose length the caller knows (the announced size of an
// update or a web installer's setup): a length outside it is refused before
// anything is written, and no more than its most is ever written.
struct SizedCase {
  const char* name;
  size_t body;
  std::optional<uint64_t> getLength;
  SizeRange expected;
  const char* error;  // "" for success
};
void PrintTo(const SizedCase& c, std::ostream* os) { *os << c.name; }

class SizedDownloadTest : public HttpDownloadTest, public ::testing::WithParamInterface<SizedCase> {};

TEST_P(SizedDownloadTest, TakesOnlyALengthWithinTheExpected) {
  const SizedCase& c = GetParam();
  WriteText(target_, "old version");
  HttpResponse response;
  response.body = Pattern(c.body);
  response.getLength = c.getLength;
  server_.Serve("/setup.exe", response);
  std::string error;
  HTTP_DownloadFileOfSize(nullptr, server_.Url("/setup.exe"), target_, c.expected, nullptr, error);
  EXPECT_EQ(error, c.error);
  if (*c.error == '\0') {
    EXPECT_EQ(ReadWholeFile(target_), response.body);
  } else {
    EXPECT_EQ(ReadWholeFile(target_), "old version");
  }
  EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"}) << "nothing beside the target";
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SizedDownloadTest,
    ::testing::Values(
        SizedCase{"Exact", 10000, std::nullopt, SizeRange{10000, 10000}, ""},
        SizedCase{"WithinTheTolerance", 10050, std::nullopt, AnnouncedSizeRange(10000, false), ""},
        SizedCase{"BeyondTheTolerance", 10100, std::nullopt, AnnouncedSizeRange(10000, false),
                  "setup.exe --- Error downloading file (the server sends 10100 bytes, announced are 9901 to 10099 "
                  "bytes)"},
        SizedCase{"ShortOfTheSignedSize", 9999, std::nullopt, AnnouncedSizeRange(10000, true),
                  "setup.exe --- Error downloading file (the server sends 9999 bytes, announced are 10000 bytes)"},
        SizedCase{"AHugeLength", 10000, 4000000000u, SizeRange{10000, 10000},
                  "setup.exe --- Error downloading file (the server sends 4000000000 bytes, announced are 10000 "
                  "bytes)"},
        SizedCase{"NoLengthAndALongerBody", 300000, test::kNoLength, SizeRange{10000, 10000},
                  "setup.exe --- Error downloading file (the server announced no size)"}),
    [](const ::testing::TestParamInfo<SizedCase>& info) { return std::string(info.param.name); });

// Downloads that may continue: a body broken off, then the same call again.
class ResumingDownloadTest : public HttpDownloadTest {
 protected:
  static constexpr size_t kSize = 3 * 1048576 + 12345;
  static constexpr uint64_t kCut = kSize * 6 / 10;

  // A file with an entity tag whose transfer breaks off at kCut.
  static HttpResponse BrokenOff() {
    HttpResponse response;
    response.body = Pattern(kSize);
    response.etag = "\"v2-0001\"";
    response.honourRanges = true;
    response.dropAfter = kCut;
    return response;
  }

  std::string Resume(const std::string& url, const SizeRange& expected = {}) {
    std::string error;
    HTTP_DownloadFileResuming(nullptr, url, target_, expected, nullptr, error);
    return error;
  }

  // The GETs of /setup.exe the server answered.
  std::vector<test::HttpRequestSeen> Gets() const {
    std::vector<test::HttpRequestSeen> gets;
    for (const test::HttpRequestSeen& r : server_.Requests())
      if (r.method == "GET" && r.path == "/setup.exe") gets.push_back(r);
    return gets;
  }
};

struct ValidatorCase {
  const char* name;
  const char* etag;
  const char* lastModified;
  const char* date;
  const char* ifRange;
};

TEST_F(ResumingDownloadTest, ABrokenDownloadContinuesWithTheRestOfTheSameFile) {
  const ValidatorCase cases[] = {
      {"entity tag", "\"v2-0001\"", "", "", "\"v2-0001\""},
      {"weak tag and a date", "W/\"v2\"", kLastModified, "Wed, 16 Jun 2021 08:00:00 GMT", kLastModified},
  };
  for (const ValidatorCase& c : cases) {
    SCOPED_TRACE(c.name);
    server_.ClearRequests();
    const std::string body = Pattern(kSize);
    HttpResponse response;
    response.body = body;
    response.etag = c.etag;
    response.lastModified = c.lastModified;
    response.date = c.date;
    response.honourRanges = true;
    response.dropAfter = kCut;
    server_.Serve("/setup.exe", response);
    const std::string url = server_.Url("/setup.exe");
    EXPECT_EQ(Resume(url).substr(0, 36), "setup.exe --- Error downloading file");
    EXPECT_FALSE(Exists(target_));
    ASSERT_EQ(FileNames(folder_).size(), 2u) << "the partial file and its record";

    response.dropAfter.reset();
    server_.Serve("/setup.exe", response);
    EXPECT_EQ(Resume(url), "");
    EXPECT_TRUE(ReadWholeFile(target_) == body) << "the file is whole";
    EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"});
    const std::vector<test::HttpRequestSeen> gets = Gets();
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[0].range, "");
    EXPECT_EQ(gets[1].ifRange, c.ifRange);
    ASSERT_EQ(gets[1].range.substr(0, 6), "bytes=");
    const uint64_t from = std::stoull(gets[1].range.substr(6));
    // Whatever had reached the disk when the connection dropped.
    EXPECT_LE(from, kCut);
    EXPECT_GT(from, 0u);
    EXPECT_EQ(gets[1].status, 206);
    EXPECT_EQ(gets[1].bodySent, kSize - from) << "only the rest travelled";
    std::printf("[ figure ] %s: first request %llu bytes, second request %llu of %llu bytes\n", c.name,
                static_cast<unsigned long long>(gets[0].bodySent), static_cast<unsigned long long>(gets[1].bodySent),
                static_cast<unsigned long long>(kSize));
    ::DeleteFileA(target_.c_str());
  }
}

TEST_F(ResumingDownloadTest, AChangedFileOrAServerWithoutRangesSendsTheWholeFile) {
  struct Case {
    const char* name;
    bool changed;
    bool honourRanges;
  };
  const Case cases[] = {{"changed file", true, true}, {"ranges ignored", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.ClearRequests();
    HttpResponse first = BrokenOff();
    server_.Serve("/setup.exe", first);
    const std::string url = server_.Url("/setup.exe");
    EXPECT_NE(Resume(url), "");

    HttpResponse second = first;
    second.dropAfter.reset();
    second.honourRanges = c.honourRanges;
    if (c.changed) {
      second.body = std::string(kSize, 'N');
      second.etag = "\"v2-0002\"";
    }
    server_.Serve("/setup.exe", second);
    EXPECT_EQ(Resume(url), "");
    EXPECT_TRUE(ReadWholeFile(target_) == second.body) << "the file is the server's second one, whole";
    EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"});
    const std::vector<test::HttpRequestSeen> gets = Gets();
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[1].ifRange, "\"v2-0001\"");
    EXPECT_EQ(gets[1].status, 200);
    EXPECT_EQ(gets[1].bodySent, kSize);
    ::DeleteFileA(target_.c_str());
  }
}

TEST_F(ResumingDownloadTest, WhatCannotContinueIsNotKept) {
  struct Case {
    const char* name;
    const char* etag;
    const char* lastModified;
    const char* date;
  };
  // A date the server does not vouch for may name two versions written in
  // the same second.
  const Case cases[] = {{"no validator", "", "", ""},
                        {"weak tag", "W/\"v2\"", "", ""},
                        {"date as fresh as the answer", "", kLastModified, kLastModified},
                        {"date half a minute before the answer", "", kLastModified, "Tue, 15 Jun 2021 13:46:00 GMT"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.ClearRequests();
    HttpResponse response;
    response.body = Pattern(kSize);
    response.etag = c.etag;
    response.lastModified = c.lastModified;
    response.date = c.date;
    response.honourRanges = true;
    response.dropAfter = kCut;
    server_.Serve("/setup.exe", response);
    EXPECT_NE(Resume(server_.Url("/setup.exe")), "");
    EXPECT_TRUE(FileNames(folder_).empty()) << "nothing kept beside the target";
    EXPECT_NE(Resume(server_.Url("/setup.exe")), "");
    for (const test::HttpRequestSeen& r : Gets()) EXPECT_EQ(r.range, "");
  }
}

TEST_F(ResumingDownloadTest, AnotherUrlOrAServerFailureNeverJoinsTheBytesKept) {
  HttpResponse response = BrokenOff();
  server_.Serve("/setup.exe", response);
  server_.Serve("/other/setup.exe", response);
  EXPECT_NE(Resume(server_.Url("/setup.exe")), "");

  // The server fails: the bytes kept wait for a better answer.
  HttpResponse failing;
  failing.status = "503 Service Unavailable";
  failing.body = "busy";
  server_.Serve("/setup.exe", failing);
  EXPECT_EQ(Resume(server_.Url("/setup.exe")), "setup.exe --- Error downloading file (503 Service Unavailable)");
  EXPECT_EQ(FileNames(folder_).size(), 2u);

  // Another url with the same file name starts afresh and drops them.
  response.dropAfter.reset();
  server_.Serve("/other/setup.exe", response);
  server_.ClearRequests();
  EXPECT_EQ(Resume(server_.Url("/other/setup.exe")), "");
  EXPECT_TRUE(ReadWholeFile(target_) == response.body);
  EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"});
  for (const test::HttpRequestSeen& r : server_.Requests()) EXPECT_EQ(r.range, "");
}

// Bytes kept of a file of another size than the one announced now never
// start the next download, and a length the announcement does not allow
// is refused when the rest is asked for.
TEST_F(ResumingDownloadTest, BytesKeptOfAnotherSizeThanAnnouncedAreNoStart) {
  HttpResponse response = BrokenOff();
  server_.Serve("/setup.exe", response);
  const std::string url = server_.Url("/setup.exe");
  EXPECT_NE(Resume(url, SizeRange{kSize, kSize}), "");
  ASSERT_EQ(FileNames(folder_).size(), 2u) << "the partial file and its record";

  response.dropAfter.reset();
  response.body = Pattern(kSize + 500);
  response.etag = "\"v2-0002\"";
  server_.Serve("/setup.exe", response);
  server_.ClearRequests();
  EXPECT_EQ(Resume(url, SizeRange{kSize + 500, kSize + 500}), "");
  EXPECT_TRUE(ReadWholeFile(target_) == response.body);
  EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"setup.exe"});
  for (const test::HttpRequestSeen& r : Gets()) EXPECT_EQ(r.range, "") << "asked for the rest of another file";
}

TEST_F(ResumingDownloadTest, LeftoversOfOtherTargetsGoOnRequest) {
  HttpResponse response = BrokenOff();
  server_.Serve("/setup.exe", response);
  EXPECT_NE(Resume(server_.Url("/setup.exe")), "");
  WriteText(dir_ / "setup.exe.log", "log");
  WriteText(dir_ / "notes.txt.resume", "not a record of the downloader's");
  DeleteResumeFilesExcept(folder_, "SETUP.EXE");
  EXPECT_EQ(FileNames(folder_).size(), 4u) << "the target's own stay";
  DeleteResumeFilesExcept(folder_ + "\\", "Setup3.exe");
  EXPECT_EQ(FileNames(folder_), (std::vector<std::string>{"notes.txt.resume", "setup.exe.log"}));
}

TEST_F(HttpDownloadTest, HtmlPagesInPlaceOfTheFileAreRecognised) {
  struct Case {
    const char* path;
    bool errorPage;
  };
  HttpResponse welcome;
  welcome.contentType = "text/html";
  welcome.body = "<HTML><HEAD><TITLE>Welcome to our site</TITLE></HEAD><BODY>Hello</BODY></HTML>";
  server_.Serve("/welcome.exe", welcome);
  HttpResponse binary;
  binary.body = "MZ" + Pattern(3000);
  server_.Serve("/setup.exe", binary);
  for (const Case& c : {Case{"/welcome.exe", true}, Case{"/setup.exe", false}}) {
    SCOPED_TRACE(c.path);
    const std::string url = server_.Url(c.path);
    const Fetched toFile = Fetch(url, target_);
    EXPECT_EQ(toFile.error, "");
    EXPECT_EQ(IsHtmlErrorPage(target_, ""), c.errorPage);
    EXPECT_EQ(HtmlErrorMessage(target_, "", url, "fine", false) != "fine", c.errorPage);
    const Fetched toMemory = Fetch(url, "");
    EXPECT_EQ(IsHtmlErrorPage("", toMemory.data), c.errorPage);
    ::DeleteFileA(target_.c_str());
  }
  EXPECT_FALSE(IsHtmlErrorPage(dir_ / "absent.htm", "plain"));
  EXPECT_TRUE(IsHtmlErrorPage(dir_ / "absent.htm", "<title>404</title>"));
}

TEST_F(HttpDownloadTest, NeverEndingBodies) {
  HttpResponse announced;
  announced.body = Pattern(20000);
  announced.end = BodyEnd::KeepSending;
  server_.Serve("/announced.bin", announced);
  const Fetched f = Fetch(server_.Url("/announced.bin"), target_);
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(ReadWholeFile(target_), announced.body);

  HttpResponse unannounced = announced;
  unannounced.sendLength = false;
  server_.Serve("/unannounced.bin", unannounced);
  const Fetched m = Fetch(server_.Url("/unannounced.bin"), "");
  EXPECT_EQ(m.error, "unannounced.bin --- Error downloading file (more than 67108864 bytes for memory)");
  EXPECT_EQ(m.data, "");
}

TEST_F(HttpDownloadTest, BodyLongerThanAnnouncedIsCutAtTheAnnouncedLength) {
  WriteText(target_, "old version");
  HttpResponse longer;
  longer.body = Pattern(50000);
  longer.announcedLength = 20000;
  server_.Serve("/setup.exe", longer);
  const Fetched f = Fetch(server_.Url("/setup.exe"), target_);
  EXPECT_EQ(f.error, "");
  const std::string target = ReadWholeFile(target_);
  EXPECT_TRUE(target == "old version" || target == longer.body.substr(0, 20000)) << target.size();
  EXPECT_LE(ReadWholeFile(TempOf(20000, 0)).size(), 20000u + DownloadReadSize(20000));
}

TEST_F(HttpDownloadTest, AWindowHandleAbove10IsShown) {
  UniqueWindow window(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        ::GetModuleHandleA(nullptr), nullptr));
  ASSERT_TRUE(window);
  ASSERT_FALSE(::IsWindowVisible(window.get()));
  HttpResponse response;
  response.body = Pattern(100);
  server_.Serve("/setup.exe", response);
  EXPECT_EQ(Fetch(server_.Url("/setup.exe"), "", nullptr, window.get()).error, "");
  EXPECT_TRUE(::IsWindowVisible(window.get()));
}

TEST_F(HttpDownloadTest, UserNameOpensAConnectionOfItsOwn) {
  HttpResponse response;
  response.body = Pattern(4000);
  server_.Serve("/dir/setup.exe", response);
  std::string data, error;
  HTTP_DownloadFile_Incremental(nullptr, server_.Url("/dir/setup.exe"), "", "user", "secret", data, nullptr, error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(data, response.body);
  const std::vector<test::HttpRequestSeen> seen = server_.Requests();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().path, "/dir/setup.exe");
  EXPECT_EQ(seen.back().userAgent, "HTTP_Connect_3");
}

TEST_F(HttpDownloadTest, FileSize) {
  HttpResponse sized;
  sized.body = Pattern(12345);
  server_.Serve("/sized.bin", sized);
  HttpResponse unsized = sized;
  unsized.sendLength = false;
  server_.Serve("/unsized.bin", unsized);
  std::string closedUrl;
  {
    test::LoopbackHttpServer gone;
    closedUrl = gone.Url("/sized.bin");
  }
  struct Case {
    std::string url;
    int32_t size;
  };
  const Case cases[] = {
      {server_.Url("/sized.bin"), 12345},
      {server_.Url("/sized.bin").substr(7), 12345},
      {server_.Url("/unsized.bin"), -1},
      {closedUrl, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(HTTP_GetFileSize(c.url), c.size) << c.url;
  for (const test::HttpRequestSeen& r : server_.Requests()) {
    EXPECT_EQ(r.userAgent, "HTTP_Connect_2");
    // A GET would bring the whole body, however big.
    EXPECT_EQ(r.method, "HEAD") << r.path;
  }
  EXPECT_EQ(server_.RequestCount("/sized.bin"), 4) << "a warm-up and a query for each";
}

TEST_F(HttpDownloadTest, FileSizeOfAServerThatRefusesHeadIsAskedWithGet) {
  for (const char* refusal : {"405 Method Not Allowed", "501 Not Implemented"}) {
    server_.ClearRequests();
    HttpResponse response;
    response.body = Pattern(4321);
    response.headStatus = refusal;
    server_.Serve("/refusing.bin", response);
    EXPECT_EQ(HTTP_GetFileSize(server_.Url("/refusing.bin")), 4321) << refusal;
    const std::vector<test::HttpRequestSeen> seen = server_.Requests();
    ASSERT_FALSE(seen.empty()) << refusal;
    EXPECT_EQ(seen.back().method, "GET") << refusal;
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto& r) { return r.method == "GET"; }), 1)
        << refusal;
  }
  // Other answers to HEAD are taken as they are: the size of a missing file
  // is that of the server's page, as a GET would give it.
  server_.ClearRequests();
  const int32_t missing = HTTP_GetFileSize(server_.Url("/missing.bin"));
  EXPECT_GT(missing, 0);
  for (const test::HttpRequestSeen& r : server_.Requests()) EXPECT_EQ(r.method, "HEAD");
}

TEST_F(HttpDownloadTest, ConnectedStateGivesAnErrorOnlyWhenOffline) {
  std::string error = "stale";
  const bool connected = InternetConnected(error);
  EXPECT_EQ(connected, error.empty());
  EXPECT_EQ(InternetConnected(), connected);
}

TEST_F(HttpDownloadTest, UnloadedLibraryIsLoadedAgain) {
  HttpResponse response;
  response.body = Pattern(100);
  server_.Serve("/setup.exe", response);
  UnloadWinINet();
  EXPECT_EQ(Fetch(server_.Url("/setup.exe"), "").data, response.body);
  UnloadWinINet();
  EXPECT_EQ(HTTP_GetFileSize(server_.Url("/setup.exe")), 100);
}

}  // namespace
}  // namespace tarnix
