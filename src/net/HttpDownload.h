// Windows only. Fetching one file over HTTP with the platform's WinINet
// library, into a file or into memory, with a progress bar and the transfer
// rate; plus the Internet connection test and the size of a remote file.
// Every operation is called on the user-interface thread and pumps its
// messages while it waits for the server (the network calls themselves run
// on a thread of their own, InternetThread_win32.h), so the stub window
// stays responsive whatever the server does, and can stop a download
// through the abort flag (DownloadAbort.h). A server that sends nothing for
// kNetworkStallMs ends the operation with an error.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "Utils/Failure.h"
#include "net/DownloadRules.h"
#include "ui/ProgBar.h"

namespace tarnix {

// True when the system reports a connection; `error` then is empty, else it
// holds the system's text for the failure.
bool InternetConnected(std::string& error);
bool InternetConnected();

// Content-Length of the url, -1 when it cannot be opened or has none. An
// http url is asked with HEAD, so no body travels; with GET only when the
// server refuses HEAD.
int32_t HTTP_GetFileSize(std::string_view url);

// The conditional request of an announcement and what its response said
// besides the body (ProbePacing.h).
struct HttpExchange {
  // Sent with the request (each line ending in CR LF): If-None-Match,
  // If-Modified-Since.
  std::string requestHeaders;
  // The response's status, 0 when none came; `notModified` for a 304 to a
  // conditional request, which then counts as success with no data.
  uint32_t status = 0;
  bool notModified = false;
  std::string etag;
  std::string lastModified;
  std::string retryAfter;
  std::string date;
};

// Downloads `url` into `targetFile`, or into `data` when the target is empty.
// `window` (when above 10) is shown, `progress` (may be null) is driven.
// `error` is empty on success, else one line saying what failed; `why`
// (may be null) then holds its reason in a few words, with the server's
// status or the system's error number when there is one.
// With `exchange` (may be null), its headers go with the request and the
// response's head comes back in it.
void HTTP_DownloadFile(HWND window, std::string_view url, std::string_view targetFile, std::string& data,
                       TProgBar* progress, std::string& error, Failure* why = nullptr,
                       HttpExchange* exchange = nullptr);
void HTTP_DownloadFile_Incremental(HWND window, std::string_view url, std::string_view targetFile,
                                   std::string_view user, std::string_view password, std::string& data,
                                   TProgBar* progress, std::string& error, Failure* why = nullptr);

// As HTTP_DownloadFile into `data`, for a small file of at most `most`
// bytes: a response whose length is larger is refused before its body is
// read, and one without a length is never read beyond `most` bytes (it
// fails there, `data` empty). With `exchange`, a conditional request.
void HTTP_DownloadSmallFile(HWND window, std::string_view url, uint64_t most, std::string& data, TProgBar* progress,
                            std::string& error, Failure* why = nullptr, HttpExchange* exchange = nullptr);

// As HTTP_DownloadFile into `targetFile`, for a file whose length the
// caller knows: a response whose length lies outside `expected` is refused
// before anything is written, and no more than `expected.most` bytes are
// ever written (a response without a length fails there).
void HTTP_DownloadFileOfSize(HWND window, std::string_view url, std::string_view targetFile,
                             const SizeRange& expected, TProgBar* progress, std::string& error,
                             Failure* why = nullptr);

// As HTTP_DownloadFileOfSize, but a download that breaks off
// may continue on the next call for the same url and target: the partial
// file stays with a record beside it (ResumeRules.h) when the server names
// the file's version (a strong ETag or Last-Modified), and the next call asks
// for the rest with a range request guarded by If-Range. A server that
// ignores ranges or has another file by then sends the whole file, which
// replaces the partial one. A download that cannot continue leaves nothing
// behind. Any other temporary file of the target is removed, as a fresh
// download does.
void HTTP_DownloadFileResuming(HWND window, std::string_view url, std::string_view targetFile,
                               const SizeRange& expected, TProgBar* progress, std::string& error,
                               Failure* why = nullptr);

// Removes the partial files that resuming downloads left in `folder`, and
// their records, except those of the target named `keepTarget`: what was
// kept for a file nobody asks for any more.
void DeleteResumeFilesExcept(std::string_view folder, std::string_view keepTarget);

// Frees the library; the next operation loads it again.
void UnloadWinINet();

// IsHtmlErrorPage and HtmlErrorMessage of DownloadRules.h on the first 1000
// bytes of `fileName` when that file exists, else on `content`; the IIS hint
// always looks at `content`.
bool IsHtmlErrorPage(std::string_view fileName, std::string_view content);
std::string HtmlErrorMessage(std::string_view fileName, std::string_view content, std::string_view url,
                             std::string_view def, bool iisHint);

}  // namespace tarnix
