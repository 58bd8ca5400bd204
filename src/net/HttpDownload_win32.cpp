#include "net/HttpDownload.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "net/DownloadAbort.h"
#include "net/DownloadLoop.h"
#include "net/DownloadRules.h"
#include "net/SecureConnection.h"
#include "net/WinInetBinding_win32.h"

namespace tarnix {

namespace {

// The agent names travel as the User-Agent header, so a server's log tells
// the probes from the downloads.
constexpr char kProbeAgent[] = "HTTP_Connect_2";
constexpr char kDownloadAgent[] = "HTTP_Connect_3";

constexpr DWORD kDownloadTimeoutMs = 180000;
// Nothing the stub fetches is wanted again from the browser's cache, and a
// setup file kept there would take its size a second time on the disk.
constexpr DWORD kNoCache = INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kContentLengthNumber = HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER;
constexpr DWORD kLastModifiedTime = HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME;

bool IsLead(unsigned char c) { return IsLeadByte(c); }

UniqueInternetHandle OpenSession(const char* agent) {
  return UniqueInternetHandle(WinInetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0));
}

// A request through a connection of its own, which carries the credentials
// when there are any; `connection` keeps it until the request is done.
UniqueInternetHandle SendRequest(HINTERNET session, std::string_view url, const char* verb, std::string_view user,
                                 std::string_view password, UniqueInternetHandle& connection) {
  const HttpUrlParts parts = SplitHttpUrl(url);
  const std::string userText(user), passwordText(password);
  connection.reset(WinInetConnect(session, parts.host.c_str(), parts.port,
                                  userText.empty() ? nullptr : userText.c_str(),
                                  userText.empty() ? nullptr : passwordText.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};
  const DWORD flags = INTERNET_FLAG_RELOAD | kNoCache | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  UniqueInternetHandle request(
      WinInetOpenRequest(connection.get(), verb, parts.object.c_str(), nullptr, nullptr, nullptr, flags, 0));
  if (!request || !WinInetSendRequest(request.get(), nullptr, 0, nullptr, 0)) return {};
  return request;
}

// Touches the url once before the real request and reads nothing. Only the
// headers are asked for: the library may read an unread body to its end when
// the request is closed, which on a fast link costs a whole transfer.
void HTTP_WarmUp(const std::string& url) {
  UniqueInternetHandle session = OpenSession(kProbeAgent);
  if (!session) return;
  UniqueInternetHandle connection;
  UniqueInternetHandle request;
  if (IsHttpUrl(url)) {
    request = SendRequest(session.get(), url, "HEAD", "", "", connection);
  } else {
    request.reset(WinInetOpenUrl(session.get(), url.c_str(), nullptr, 0, kNoCache, 0));
  }
}

UniqueInternetHandle OpenHttpRequest(HINTERNET session, std::string_view url, std::string_view user,
                                     std::string_view password, UniqueInternetHandle& connection) {
  if (!user.empty()) return SendRequest(session, url, "GET", user, password, connection);
  const std::string full = UrlWithScheme(url);
  return UniqueInternetHandle(WinInetOpenUrl(session, full.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | kNoCache, 0));
}

void SetTimeouts(HINTERNET session, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT}) {
    DWORD value = ms;
    WinInetSetOption(session, option, &value, sizeof value);
  }
}

// 0 when the response carries none.
DWORD QueryStatusCode(HINTERNET request) {
  DWORD code = 0;
  DWORD length = sizeof code;
  DWORD index = 0;
  WinInetQueryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &length, &index);
  return code;
}

// Servers that do not answer HEAD say so with one of these.
bool RefusesHead(DWORD statusCode) {
  return statusCode == HTTP_STATUS_BAD_METHOD || statusCode == HTTP_STATUS_NOT_SUPPORTED;
}

// kUnknownSize when the response has no length.
uint32_t QueryContentLength(HINTERNET request) {
  DWORD size = kUnknownSize;
  DWORD length = sizeof size;
  DWORD index = 0;
  WinInetQueryInfo(request, kContentLengthNumber, &size, &length, &index);
  return size;
}

// The Last-Modified time packed as a DOS date and time, taken as the server
// gave it; 0 when it is missing or cannot be packed.
uint32_t QueryLastModified(HINTERNET request) {
  SYSTEMTIME time = {};
  DWORD length = sizeof time;
  DWORD index = 0;
  WinInetQueryInfo(request, kLastModifiedTime, &time, &length, &index);
  FILETIME fileTime;
  WORD dosDate = 0, dosTime = 0;
  if (!::SystemTimeToFileTime(&time, &fileTime) || !::FileTimeToDosDateTime(&fileTime, &dosDate, &dosTime)) return 0;
  return uint32_t{dosDate} << 16 | dosTime;
}

std::string LastResponseInfo() {
  char text[1024] = {};
  DWORD code = 0;
  DWORD length = sizeof text;
  if (!WinInetGetLastResponseInfo(&code, text, &length)) return {};
  return std::string(text, std::min<size_t>(length, sizeof text));
}

std::string DownloadFailure(const std::string& displayName, const std::string& detail) {
  std::string error = displayName + " --- Error downloading file";
  if (!detail.empty()) error += " (" + detail + ")";
  return error;
}

// Removes what earlier downloads of `target` left behind; every other file
// beside it stays, whatever its name.
void DeleteDownloadTempFiles(const std::string& target) {
  const std::string name = FileNamePart(target, IsLead);
  const std::string folder = target.substr(0, target.size() - name.size());
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((target + ".*").c_str(), &entry));
  if (!find) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsDownloadTempName(name, entry.cFileName)) {
      ::DeleteFileA((folder + entry.cFileName).c_str());
    }
  } while (::FindNextFileA(find.get(), &entry));
}

// The temporary file of a download, opened on the first piece and kept open
// until the download ends; every piece is written through at once, so what
// arrived stays in the file whatever ends the download.
class TempFile {
 public:
  explicit TempFile(std::string name) : name_(std::move(name)) {}

  bool Append(std::string_view piece) {
    if (!file_) {
      file_.reset(::CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file_ || SeekFile64(file_.get(), 2, 0) < 0) return Failed();
    }
    while (!piece.empty()) {
      DWORD written = 0;
      if (!::WriteFile(file_.get(), piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) ||
          written == 0) {
        return Failed();
      }
      piece.remove_prefix(written);
    }
    return true;
  }

  void Close() { file_.reset(); }
  const std::string& Error() const { return error_; }

 private:
  bool Failed() {
    error_ = LastErrorText();
    file_.reset();
    return false;
  }

  std::string name_;
  UniqueFileHandle file_;
  std::string error_;
};

// The download itself; the error text, empty on success.
std::string Download(HWND window, std::string_view url, std::string_view targetFile, std::string_view user,
                     std::string_view password, std::string& data, TProgBar* progress,
                     const std::string& displayName) {
  HTTP_WarmUp(UrlWithScheme(url));
  UniqueInternetHandle session = OpenSession(kDownloadAgent);
  if (!session) return "Unable to initialize \"WinINet.dll\"";
  SetTimeouts(session.get(), kDownloadTimeoutMs);
  UniqueInternetHandle connection;
  UniqueInternetHandle request = OpenHttpRequest(session.get(), url, user, password, connection);
  if (!request) {
    const DWORD openError = ::GetLastError();
    return "Unable to open Internet Connection: " + std::string(url) + SecureConnectionDetail(openError);
  }
  const uint32_t size = QueryContentLength(request.get());
  const uint32_t date = QueryLastModified(request.get());
  if (size == 0) return std::string(url) + " --- File Not Found !";

  if (reinterpret_cast<uintptr_t>(window) > 10) ::ShowWindow(window, SW_SHOW);
  const std::string target(targetFile);
  const bool toFile = !target.empty();
  const std::string tempName = toFile ? DownloadTempName(target, size, date) : std::string();
  TempFile temp(tempName);
  if (toFile) DeleteDownloadTempFiles(target);
  if (!toFile && size != kUnknownSize && size <= kMaxMemoryDownload) data.reserve(size);

  std::string readError;
  DownloadLoopIo io;
  io.read = [&](char* buffer, uint32_t want, uint32_t& got) {
    DWORD n = 0;
    if (WinInetReadFile(request.get(), buffer, want, &n)) {
      got = n;
      return true;
    }
    readError = LastErrorText();
    if (readError.empty()) readError = LastResponseInfo();
    return false;
  };
  io.keep = [&](std::string_view piece) {
    if (toFile) return temp.Append(piece);
    data.append(piece);
    return true;
  };
  io.pump = [] { YieldX(0); };
  const uint64_t limit = toFile ? uint64_t{size} : std::min<uint64_t>(size, kMaxMemoryDownload);
  const DownloadLoopResult result = RunDownloadLoop(size, limit, displayName, progress, io);
  temp.Close();

  std::string error;
  if (result.stop == DownloadStop::ReadFailed) {
    error = DownloadFailure(displayName, readError);
  } else if (result.stop == DownloadStop::KeepFailed) {
    error = DownloadFailure(displayName, temp.Error());
  } else if (result.stop == DownloadStop::OverLimit && !toFile && result.received > kMaxMemoryDownload) {
    data.clear();
    error = DownloadFailure(displayName, "more than " + std::to_string(kMaxMemoryDownload) + " bytes for memory");
  }
  if (DownloadAborted()) error = "Download Aborted";
  if (toFile) {
    const int64_t received = GetFileSizeByName(tempName);
    if (received == int64_t{size}) {
      ::DeleteFileA(target.c_str());
      if (!::MoveFileA(tempName.c_str(), target.c_str())) error = DownloadFailure(displayName, LastErrorText());
    } else if (error.empty()) {
      // The target stays as it was; the caller must not take it for the file.
      error = DownloadFailure(displayName, size == kUnknownSize ? "the server announced no size"
                                                                : "received " + std::to_string(received) + " of " +
                                                                      std::to_string(size) + " bytes");
    }
  }
  return error;
}

// The request whose headers tell the size. Over http it is a HEAD request:
// the library reads an unread body to its end when a GET is closed, which
// for a big setup file costs a whole download. Only a server that refuses
// HEAD is asked with GET.
UniqueInternetHandle OpenSizeRequest(HINTERNET session, const std::string& url, UniqueInternetHandle& connection) {
  if (IsHttpUrl(url)) {
    UniqueInternetHandle head = SendRequest(session, url, "HEAD", "", "", connection);
    if (!head || !RefusesHead(QueryStatusCode(head.get()))) return head;
  }
  return UniqueInternetHandle(WinInetOpenUrl(session, url.c_str(), nullptr, 0, kNoCache, 0));
}

}  // namespace

bool InternetConnected(std::string& error) {
  DWORD flags = 0;
  const bool connected = WinInetGetConnectedState(&flags, 0) != 0;
  error = connected ? std::string() : LastErrorText();
  return connected;
}

bool InternetConnected() {
  std::string error;
  return InternetConnected(error);
}

int32_t HTTP_GetFileSize(std::string_view url) {
  try {
    const std::string full = UrlWithScheme(url);
    HTTP_WarmUp(full);
    UniqueInternetHandle session = OpenSession(kProbeAgent);
    if (!session) return -1;
    UniqueInternetHandle connection;
    UniqueInternetHandle request = OpenSizeRequest(session.get(), full, connection);
    if (!request) return -1;
    const int32_t size = static_cast<int32_t>(QueryContentLength(request.get()));
    Trace("HTTP_GetFileSize=%d  %s", size, full.c_str());
    return size;
  } catch (const std::exception& e) {
    ReportException(e, "HTTP_GetFileSize", url);
  } catch (...) {
    ReportException(std::bad_exception(), "HTTP_GetFileSize", url);
  }
  return -1;
}

void HTTP_DownloadFile(HWND window, std::string_view url, std::string_view targetFile, std::string& data,
                       TProgBar* progress, std::string& error) {
  HTTP_DownloadFile_Incremental(window, url, targetFile, "", "", data, progress, error);
}

void HTTP_DownloadFile_Incremental(HWND window, std::string_view url, std::string_view targetFile,
                                   std::string_view user, std::string_view password, std::string& data,
                                   TProgBar* progress, std::string& error) {
  error.clear();
  data.clear();
  std::string displayName;
  try {
    displayName = DownloadDisplayName(url);
    error = Download(window, url, targetFile, user, password, data, progress, displayName);
  } catch (const std::exception& e) {
    ReportException(e, "HTTP_DownloadFile_Incremental", url);
    error = DownloadFailure(displayName, e.what());
  } catch (...) {
    ReportException(std::bad_exception(), "HTTP_DownloadFile_Incremental", url);
    error = DownloadFailure(displayName, "");
  }
  if (!error.empty()) Trace("%lu HTTP_DownloadFile_Incremental: %s", ::GetCurrentProcessId(), error.c_str());
}

bool IsHtmlErrorPage(std::string_view fileName, std::string_view content) {
  if (!fileName.empty()) {
    const DWORD attr = ::GetFileAttributesA(std::string(fileName).c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      std::string head;
      ReadFilePart(fileName, 1000, head);
      return IsHtmlErrorPage(head);
    }
  }
  return IsHtmlErrorPage(content);
}

std::string HtmlErrorMessage(std::string_view fileName, std::string_view content, std::string_view url,
                             std::string_view def, bool iisHint) {
  if (!IsHtmlErrorPage(fileName, content)) return std::string(def);
  return HtmlNotFoundMessage(url, iisHint && PosCI("IIS", content) > 0);
}

}  // namespace tarnix
