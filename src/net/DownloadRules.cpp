#include "net/DownloadRules.h"

#include <algorithm>

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr uint32_t kMaxChunk = 8192;
constexpr uint32_t kLargeRead = 1048576;
constexpr uint32_t kMaxSteps = 1000;
constexpr uint32_t kQuickReadMs = 50;
constexpr uint32_t kSlowReadMs = 200;
constexpr size_t kPageHead = 1000;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

uint64_t CeilDiv(uint64_t a, uint64_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// Length of the scheme at the start of the url, "://" not counted; 0 when
// there is none.
size_t SchemeLength(std::string_view url) {
  const size_t sep = url.find("://");
  if (sep == std::string_view::npos || sep == 0 || !IsAsciiLetter(url[0])) return 0;
  for (size_t i = 1; i < sep; ++i) {
    const char c = url[i];
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return sep;
}

}  // namespace

SizeRange AnnouncedSizeRange(int64_t announced, bool exact) {
  const int64_t spread = exact ? 0 : kSizeTolerance;
  if (announced < -spread) return SizeRange{1, 0};
  const uint64_t most = announced > INT64_MAX - spread ? UINT64_MAX : static_cast<uint64_t>(announced + spread);
  return SizeRange{static_cast<uint64_t>(std::max<int64_t>(announced - spread, 0)), most};
}

std::string SizeRangeText(const SizeRange& range) {
  if (range.least == range.most) return std::to_string(range.least) + " bytes";
  return std::to_string(range.least) + " to " + std::to_string(range.most) + " bytes";
}

bool IsFileStatus(uint32_t status) { return status == 0 || (status >= 200 && status <= 299); }

std::string StatusReason(uint32_t status) {
  struct Known {
    uint32_t status;
    const char* reason;
  };
  static constexpr Known kKnown[] = {
      {400, "Bad Request"}, {401, "Unauthorized"},          {403, "Forbidden"},         {404, "Not Found"},
      {407, "Proxy Authentication Required"},               {410, "Gone"},              {429, "Too Many Requests"},
      {500, "Internal Server Error"},                       {502, "Bad Gateway"},       {503, "Service Unavailable"},
      {504, "Gateway Timeout"},
  };
  for (const Known& k : kKnown)
    if (k.status == status) return std::to_string(status) + " " + k.reason;
  const char* kind = status >= 500 && status <= 599   ? "Server Error"
                     : status >= 400 && status <= 499 ? "Refused"
                     : status >= 300 && status <= 399 ? "Redirection"
                                                      : "Unexpected Answer";
  return std::to_string(status) + " " + kind;
}

std::string DownloadDisplayName(std::string_view url) {
  const std::string path = ReplaceChar(url, '/', '\\');
  const size_t last = path.rfind('\\');
  return last == std::string::npos ? path : path.substr(last + 1);
}

uint32_t DownloadChunkSize(uint32_t size) { return std::clamp<uint32_t>(size / 10, 1, kMaxChunk); }

uint32_t DownloadReadSize(uint32_t size) {
  const uint32_t chunk = DownloadChunkSize(size);
  return chunk < kMaxChunk ? chunk : kLargeRead;
}

uint32_t NextReadSize(uint32_t asked, uint32_t got, uint32_t tookMs, uint32_t smallest, uint32_t largest) {
  if (tookMs > kSlowReadMs) return std::max(asked / 2, smallest);
  if (got >= asked && tookMs < kQuickReadMs) return std::min(asked * 2, largest);
  return std::clamp(asked, smallest, largest);
}

uint32_t DownloadStepSize(uint32_t size) { return std::max(DownloadChunkSize(size), size / kMaxSteps); }

int DownloadProgressSteps(uint32_t size, uint32_t stepSize) {
  return static_cast<int>(CeilDiv(size, std::max<uint32_t>(stepSize, 1)) + 1);
}

int DownloadPieceSteps(uint64_t received, uint32_t piece, uint32_t stepSize) {
  const uint64_t unit = std::max<uint32_t>(stepSize, 1);
  const uint64_t before = received >= piece ? received - piece : 0;
  return static_cast<int>(CeilDiv(received, unit) - CeilDiv(before, unit));
}

std::string DownloadTempName(std::string_view target, uint32_t size, uint32_t date) {
  return std::string(target) + "." + std::to_string(static_cast<uint32_t>(size + date));
}

bool IsDownloadTempName(std::string_view targetName, std::string_view fileName) {
  if (targetName.empty() || fileName.size() <= targetName.size() + 1) return false;
  if (!SameText(fileName.substr(0, targetName.size()), targetName) || fileName[targetName.size()] != '.') {
    return false;
  }
  const std::string_view number = fileName.substr(targetName.size() + 1);
  // The number is a 32-bit value, so never longer than ten digits.
  return number.size() <= 10 && std::all_of(number.begin(), number.end(), IsAsciiDigit);
}

bool HasUrlScheme(std::string_view url) { return SchemeLength(url) > 0; }

bool IsHttpUrl(std::string_view url) {
  const std::string_view scheme = url.substr(0, SchemeLength(url));
  return SameText(scheme, "http") || SameText(scheme, "https");
}

std::string UrlWithScheme(std::string_view url) {
  return HasUrlScheme(url) ? std::string(url) : "http://" + std::string(url);
}

HttpUrlParts SplitHttpUrl(std::string_view url) {
  HttpUrlParts parts;
  const size_t scheme = SchemeLength(url);
  if (scheme > 0) {
    parts.secure = SameText(url.substr(0, scheme), "https");
    url.remove_prefix(scheme + 3);
  }
  parts.port = parts.secure ? 443 : 80;
  const size_t slash = url.find('/');
  std::string_view host = url.substr(0, slash);
  if (slash != std::string_view::npos) parts.object = "/" + std::string(url.substr(slash + 1));
  const size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) {
    int64_t port = 0;
    const std::string_view digits = host.substr(colon + 1);
    if (!digits.empty() && std::all_of(digits.begin(), digits.end(), IsAsciiDigit) && ParseInt64(digits, port) &&
        port > 0 && port <= 65535) {
      parts.port = static_cast<uint16_t>(port);
      host = host.substr(0, colon);
    }
  }
  parts.host = std::string(host);
  return parts;
}

bool IsHtmlErrorPage(std::string_view content) {
  const std::string_view head = content.substr(0, std::min(content.size(), kPageHead));
  const size_t title = PosCI("<TITLE", head);
  const size_t titleEnd = PosCI("</TITLE>", head);
  const size_t code = PosCI("404", head);
  if (title > 0 && title < code && code < titleEnd) return true;
  const size_t html = PosCI("<HTML>", head);
  const size_t headTag = PosCI("<HEAD>", head);
  const size_t titleTag = PosCI("<TITLE>", head);
  return html > 0 && html < headTag && headTag < titleTag && titleTag < titleEnd;
}

std::string HtmlNotFoundMessage(std::string_view url, bool iisHint) {
  std::string message = "<B>404 File Not Found...</B><P><P>URL:  " + std::string(url) + "." +
                        "<P><P>Please make sure the file is available and access is allowed to this file.";
  if (iisHint) message += "<P><P>If you are using an IIS webserver you must define appropriate MIME-Types.";
  return message;
}

std::string HtmlErrorMessage(std::string_view content, std::string_view url, std::string_view def, bool iisHint) {
  if (!IsHtmlErrorPage(content)) return std::string(def);
  return HtmlNotFoundMessage(url, iisHint && PosCI("IIS", content) > 0);
}

}  // namespace tarnix
