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

// Names the file in progress texts and error lines: the url's last part
// after "/" or "\" (empty for a url ending in "/").
std::string DownloadDisplayName(std::string_view url);

// A tenth of the size, within 1 to 8192 bytes: a small file still moves the
// bar in about ten steps. A missing size (kUnknownSize) gives 8192.
uint32_t DownloadChunkSize(uint32_t size);

// How much one read asks for. Below 8192 bytes a read takes one chunk, so
// small files keep their ten steps; bigger downloads read several chunks at
// once, because every read costs a round through the library.
uint32_t DownloadReadSize(uint32_t size);

// The steps of the progress bar for a download of `size` read in pieces of
// `readSize`: one per piece and one for the start.
int DownloadProgressSteps(uint32_t size, uint32_t readSize);

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
