// The rules of the HTTP downloader that need no network: the names it gives
// things, how it sizes its reads, how it completes urls and recognises an
// HTML page that a web server sent in place of the wanted file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// What the server's Content-Length reads as when the header is missing.
inline constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

// An in-memory download (the agent's small information files) never holds
// more than this; a larger body is refused with an error.
inline constexpr uint64_t kMaxMemoryDownload = 64 * 1048576;

// An announcement (.info) is a few hundred bytes: one longer than this is
// refused before any of it is read or parsed.
inline constexpr uint64_t kMaxInfoBytes = 64 * 1024;

// Every wait on the network ends with an error when the server has sent
// nothing for this long: a server that accepts a request and then stalls
// must not hold a download, and with it the agent, for good.
inline constexpr uint32_t kNetworkStallMs = 30000;

// The most bytes by which a file may differ from the size an announcement
// without the vendor's signature gives: the update decision's tolerance.
inline constexpr int64_t kSizeTolerance = 99;

// The lengths a download may have; it never grows past `most`.
struct SizeRange {
  uint64_t least = 0;
  uint64_t most = UINT64_MAX;

  bool Holds(uint64_t size) const { return size >= least && size <= most; }
};

// For a file announced as `announced` bytes: exactly that when `exact` (the
// vendor signed the size), else within kSizeTolerance of it (never below
// 0); an announcement so far below 0 that nothing is within it holds none.
SizeRange AnnouncedSizeRange(int64_t announced, bool exact);

// "1000 bytes" or "901 to 1099 bytes", for error lines.
std::string SizeRangeText(const SizeRange& range);

// Whether a response with this status carries the file: a success (2xx),
// or 0 from a protocol without status codes. Any other final answer (a 404
// page, an object store's XML error, a server failure) is the server's
// excuse, never the file.
bool IsFileStatus(uint32_t status);

// The status code and a short reason of our own, such as "404 Not Found",
// for error lines: the server's reason phrase may say anything and is never
// shown to the user.
std::string StatusReason(uint32_t status);

// Names the file in progress texts and error lines: the url's last part
// after "/" or "\" (empty for a url ending in "/").
std::string DownloadDisplayName(std::string_view url);

// A tenth of the size, within 1 to 8192 bytes: a small file still moves the
// bar in about ten steps. A missing size (kUnknownSize) gives 8192.
uint32_t DownloadChunkSize(uint32_t size);

// The most one read asks for: a chunk while that is below 8192 bytes, so a
// small file still arrives in about ten pieces; bigger downloads may ask for
// much more at once, because every round through the library costs.
uint32_t DownloadReadSize(uint32_t size);

// A read returns only when it has all it asked for (or the body ended), and
// the windows wait for it. So reads start at a chunk and grow while they come
// back full and quickly; one that took long shrinks the next. The size after
// a read that asked `asked` and got `got` in `tookMs`: doubled (up to
// `largest`) after a full read under 50 ms, halved (down to `smallest`) after
// one over 200 ms.
uint32_t NextReadSize(uint32_t asked, uint32_t got, uint32_t tookMs, uint32_t smallest, uint32_t largest);

// The bytes one step of the progress bar stands for: a chunk, or for big
// files a thousandth of the size, so a bar never has more than about a
// thousand steps to show.
uint32_t DownloadStepSize(uint32_t size);

// The bar's steps: one per `stepSize` bytes of `size` and one for the start.
int DownloadProgressSteps(uint32_t size, uint32_t stepSize);

// The steps a piece of `piece` bytes earns, `received` counting it: the step
// boundaries it crosses, so the bar ends full however the pieces fall.
int DownloadPieceSteps(uint64_t received, uint32_t piece, uint32_t stepSize);

// target + "." + the decimal 32-bit sum of size and date, so that a download
// of another version of the file never continues an old temporary file.
std::string DownloadTempName(std::string_view target, uint32_t size, uint32_t date);

// Whether `fileName` is one of the temporary files the downloader leaves
// beside `targetName` (both names without folder): the target's name, ".",
// and a decimal number, compared ignoring case. Other files that share the
// target's name as a prefix (setup.exe.config, setup.exe.log) are not.
bool IsDownloadTempName(std::string_view targetName, std::string_view fileName);

// Whether the url starts with a scheme and "://" (http://, https://,
// ftp://...).
bool HasUrlScheme(std::string_view url);
// Whether the url's scheme is http or https.
bool IsHttpUrl(std::string_view url);
// The url as given when it has a scheme, else with "http://" in front.
std::string UrlWithScheme(std::string_view url);

// An http or https url taken apart for a connection of its own.
struct HttpUrlParts {
  bool secure = false;
  std::string host;
  uint16_t port = 80;
  // "/" and what followed the host.
  std::string object = "/";
};
HttpUrlParts SplitHttpUrl(std::string_view url);

// Whether the first 1000 characters of a response look like an HTML error
// page: a title with 404 in it, or the opening tags of an ordinary page (any
// HTML document in place of a file is taken for an error).
bool IsHtmlErrorPage(std::string_view content);

// The message for a missing file at `url`; with `iisHint`, the hint on the
// MIME types of an IIS server follows.
std::string HtmlNotFoundMessage(std::string_view url, bool iisHint);

// `def` when `content` is no error page, else HtmlNotFoundMessage, with the
// IIS hint when asked and the content names IIS.
std::string HtmlErrorMessage(std::string_view content, std::string_view url, std::string_view def, bool iisHint);

}  // namespace tarnix
