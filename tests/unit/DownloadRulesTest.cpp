// The downloader's naming, sizing, url and error-page rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Utils/Failure.h"
#include "net/DownloadRules.h"
#include "net/SecureConnection.h"

namespace tarnix {
namespace {

struct TextCase {
  const char* in;
  const char* out;
};

TEST(DownloadRulesTest, DisplayNameIsTheUrlsLastPart) {
  const TextCase cases[] = {
      {"http://host/dir/setup.exe", "setup.exe"},
      {"http://host/dir/", ""},
      {"setup.exe", "setup.exe"},
      {"http://host/dir\\sub\\file.info", "file.info"},
      {"http://host/get?file=a/b.zip", "b.zip"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(DownloadDisplayName(c.in), c.out) << c.in;
}

struct SizeCase {
  uint32_t size;
  uint32_t chunk;
  uint32_t largestRead;
  uint32_t stepSize;
  int barSteps;
};

TEST(DownloadRulesTest, ChunkReadSizeAndBarSteps) {
  const SizeCase cases[] = {
      {0, 1, 1, 1, 1},
      {1, 1, 1, 1, 2},
      {9, 1, 1, 1, 10},
      {19, 1, 1, 1, 20},
      {20000, 2000, 2000, 2000, 11},
      {20001, 2000, 2000, 2000, 12},
      {81919, 8191, 8191, 8191, 12},
      {81920, 8192, 1048576, 8192, 11},
      {8192000, 8192, 1048576, 8192, 1001},
      {100 * 1048576, 8192, 1048576, 104857, 1002},
      {kUnknownSize, 8192, 1048576, 4294967, 1002},
  };
  for (const SizeCase& c : cases) {
    EXPECT_EQ(DownloadChunkSize(c.size), c.chunk) << c.size;
    EXPECT_EQ(DownloadReadSize(c.size), c.largestRead) << c.size;
    EXPECT_EQ(DownloadStepSize(c.size), c.stepSize) << c.size;
    EXPECT_EQ(DownloadProgressSteps(c.size, c.stepSize), c.barSteps) << c.size;
  }
}

TEST(DownloadRulesTest, ReadsGrowWhileQuickAndFullAndShrinkWhenSlow) {
  struct Case {
    uint32_t asked, got, tookMs, smallest, largest, next;
  };
  const uint32_t M = 1048576;
  const Case cases[] = {
      {8192, 8192, 0, 8192, M, 16384},    {8192, 8192, 49, 8192, M, 16384}, {8192, 8192, 50, 8192, M, 8192},
      {8192, 4000, 0, 8192, M, 8192},     {M, M, 0, 8192, M, M},             {65536, 65536, 201, 8192, M, 32768},
      {65536, 65536, 200, 8192, M, 65536}, {8192, 8192, 500, 8192, M, 8192}, {65536, 100, 900, 8192, M, 32768},
      {1, 1, 0, 1, 1, 1},                 {2000, 2000, 900, 2000, 2000, 2000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NextReadSize(c.asked, c.got, c.tookMs, c.smallest, c.largest), c.next)
        << c.asked << " " << c.got << " " << c.tookMs;
  }
}

TEST(DownloadRulesTest, PieceStepsCountTheBoundariesCrossed) {
  struct Case {
    uint64_t received;
    uint32_t piece, stepSize;
    int steps;
  };
  const Case cases[] = {
      {1, 1, 1, 1},        {2000, 2000, 2000, 1}, {20000, 2000, 2000, 1}, {1000, 1000, 2000, 1},
      {2000, 1000, 2000, 0}, {3000, 1000, 2000, 1}, {262144, 262144, 8192, 32}, {100, 0, 10, 0},
      {200000, 77120, 8192, 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadPieceSteps(c.received, c.piece, c.stepSize), c.steps) << c.received << " " << c.piece;
  }
}

TEST(DownloadRulesTest, TempNameAddsSizeAndDateModulo32Bits) {
  EXPECT_EQ(DownloadTempName("C:\\d\\setup.exe", 1000, 0x5A2B6000), "C:\\d\\setup.exe.1512793064");
  EXPECT_EQ(DownloadTempName("setup.exe", 9, 0), "setup.exe.9");
  EXPECT_EQ(DownloadTempName("setup.exe", kUnknownSize, 2), "setup.exe.1");
  EXPECT_EQ(DownloadTempName("setup.exe", kUnknownSize, 0), "setup.exe.4294967295");
}

TEST(DownloadRulesTest, OnlyTheDownloadersTempFilesAreItsOwn) {
  struct Case {
    const char* name;
    bool own;
  };
  const Case cases[] = {
      {"setup.exe.123", true},       {"SETUP.EXE.4294967295", true}, {"setup.exe.0", true},
      {"setup.exe.config", false},   {"setup.exe.log", false},       {"setup.exe.", false},
      {"setup.exe", false},          {"setup.exe.12a", false},       {"setup.exe.12345678901", false},
      {"setup.exe.123.bak", false},  {"setup.exe.-1", false},        {"other.exe.123", false},
      {"setup.exe123", false},       {"setup.exe..123", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsDownloadTempName("setup.exe", c.name), c.own) << c.name;
  EXPECT_FALSE(IsDownloadTempName("", ".123"));
}

TEST(DownloadRulesTest, OnlyASuccessCarriesTheFile) {
  struct Case {
    uint32_t status;
    bool file;
  };
  // A refusal's body (a 404 page, an object store's XML error) is never
  // taken for the file, whatever it looks like.
  const Case cases[] = {{0, true},    {200, true},  {204, true},  {206, true},  {299, true},
                        {100, false}, {301, false}, {304, false}, {400, false}, {403, false},
                        {404, false}, {410, false}, {499, false}, {500, false}, {503, false},
                        {599, false}, {600, false}};
  for (const Case& c : cases) EXPECT_EQ(IsFileStatus(c.status), c.file) << c.status;
}

TEST(DownloadRulesTest, AStatusIsToldWithAReasonOfOurOwn) {
  const struct {
    uint32_t status;
    const char* text;
  } cases[] = {
      {404, "404 Not Found"},          {403, "403 Forbidden"},    {503, "503 Service Unavailable"},
      {500, "500 Internal Server Error"}, {418, "418 Refused"},   {599, "599 Server Error"},
      {302, "302 Redirection"},        {600, "600 Unexpected Answer"}, {100, "100 Unexpected Answer"},
  };
  for (const auto& c : cases) EXPECT_EQ(StatusReason(c.status), c.text);
}

TEST(DownloadRulesTest, OnlyAUrlWithoutSchemeGetsHttp) {
  const TextCase cases[] = {
      {"example.com/file.exe", "http://example.com/file.exe"},
      {"http://example.com/a", "http://example.com/a"},
      {"HTTP://example.com/a", "HTTP://example.com/a"},
      {"https://example.com/a", "https://example.com/a"},
      {"ftp://example.com/a", "ftp://example.com/a"},
      {"svn+ssh://example.com/a", "svn+ssh://example.com/a"},
      {"127.0.0.1:8080/a", "http://127.0.0.1:8080/a"},
      {"example.com/go?to=https://other/a", "http://example.com/go?to=https://other/a"},
      {"://example.com", "http://://example.com"},
      {"", "http://"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(UrlWithScheme(c.in), c.out) << c.in;
}

TEST(DownloadRulesTest, SplitHttpUrlForAConnectionOfItsOwn) {
  struct Case {
    const char* url;
    bool secure;
    const char* host;
    uint16_t port;
    const char* object;
  };
  const Case cases[] = {
      {"http://host/dir/file.exe", false, "host", 80, "/dir/file.exe"},
      {"https://host/file.exe", true, "host", 443, "/file.exe"},
      {"HTTPS://host:8443/f", true, "host", 8443, "/f"},
      {"host:8080/a/b?c=d", false, "host", 8080, "/a/b?c=d"},
      {"http://host", false, "host", 80, "/"},
      {"http://host/", false, "host", 80, "/"},
      {"http://host:99999/x", false, "host:99999", 80, "/x"},
      {"http://host:/x", false, "host:", 80, "/x"},
  };
  for (const Case& c : cases) {
    const HttpUrlParts parts = SplitHttpUrl(c.url);
    EXPECT_EQ(parts.secure, c.secure) << c.url;
    EXPECT_EQ(parts.host, c.host) << c.url;
    EXPECT_EQ(parts.port, c.port) << c.url;
    EXPECT_EQ(parts.object, c.object) << c.url;
  }
}

TEST(DownloadRulesTest, HtmlErrorPages) {
  struct Case {
    std::string content;
    bool errorPage;
  };
  const Case cases[] = {
      {"<html><head><title>404 Not Found</title></head><body></body></html>", true},
      {"<HTML><HEAD><TITLE>Welcome to our site</TITLE></HEAD>", true},
      {"<Html><Head><Title>Welcome</tItle></head>", true},
      {"<title lang=en>Error 404</title>", true},
      {"<html lang=\"en\"><head><title>Welcome</title></head>", false},
      {"<html><head><title>Welcome</title></head><body><p>404</p></body>", true},
      {"<title>Welcome</title><p>404</p>", false},
      {"404 <title>Welcome</title>", false},
      {"<title>404", false},
      {"<html><title>Welcome</title><head></head>", false},
      {"MZ\x90\x00 binary 404", false},
      {std::string(990, ' ') + "<title>404</title>", false},
      {std::string(980, ' ') + "<title>404</title>", true},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsHtmlErrorPage(c.content), c.errorPage) << c.content;
}

TEST(DownloadRulesTest, HtmlErrorMessageTexts) {
  const std::string page = "<title>404 - IIS 6</title>";
  const std::string url = "http://host/setup.exe";
  const std::string base =
      "<B>404 File Not Found...</B><P><P>URL:  http://host/setup.exe.<P><P>Please make sure the file is available "
      "and access is allowed to this file.";
  const std::string hint = "<P><P>If you are using an IIS webserver you must define appropriate MIME-Types.";
  EXPECT_EQ(HtmlErrorMessage("plain text", url, "default", true), "default");
  EXPECT_EQ(HtmlErrorMessage(page, url, "default", false), base);
  EXPECT_EQ(HtmlErrorMessage(page, url, "default", true), base + hint);
  EXPECT_EQ(HtmlErrorMessage("<title>404 Not Found</title>", url, "default", true), base);
  EXPECT_EQ(HtmlErrorMessage("<title>404</title><p>Microsoft-iis/10</p>", url, "", true), base + hint);
}

// The library's connection errors in words: a refused certificate says so,
// the common failures of a connection are named, others stay to their
// number.
TEST(DownloadRulesTest, ConnectionFailuresInWords) {
  const struct {
    unsigned long error;
    const char* reason;
  } cases[] = {
      {12007, "the server's name could not be resolved"},
      {12029, "no connection could be made to the server"},
      {12030, "the connection to the server was cut"},
      {12045, "secure connection refused: the server's certificate was not issued by a trusted authority"},
      {12038, "secure connection refused: the server's certificate was issued for another host name"},
      {12999, ""},
      {0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ConnectionFailureReason(c.error), c.reason) << c.error;
}

TEST(DownloadRulesTest, AFailureLineCarriesItsNumbers) {
  EXPECT_EQ(FailureLine("setup.exe --- Error downloading file (404 Not Found)", {"404 Not Found", 404, 0}),
            "setup.exe --- Error downloading file (404 Not Found) [HTTP status 404]");
  EXPECT_EQ(FailureLine("x", {"the server's name could not be resolved", 0, 12007}), "x [system error 12007]");
  EXPECT_EQ(FailureLine("x", {"both", 500, 5}), "x [HTTP status 500] [system error 5]");
  EXPECT_EQ(FailureLine("x", {"no data from the server for 30 seconds", 0, 0}), "x");
  EXPECT_FALSE(Failure().Failed());
}

}  // namespace
}  // namespace tarnix
