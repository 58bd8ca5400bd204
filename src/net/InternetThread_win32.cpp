#include "net/InternetThread_win32.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "Utils/MessagePump.h"
#include "Utils/SysInfo.h"
#include "Utils/SystemLibrary.h"
#include "Utils/UniqueResource.h"
#include "net/DownloadAbort.h"
#include "net/ResumeRules.h"
#include "net/SecureConnection.h"
#include "net/WinInetBinding_win32.h"

namespace tarnix {

namespace {

// The agent names travel as the User-Agent header, so a server's log tells
// the probes from the downloads.
constexpr char kProbeAgent[] = "HTTP_Connect_2";
constexpr char kDownloadAgent[] = "HTTP_Connect_3";

// The library gives up a little after the windows' thread has: a call given
// up on ends soon after, and the thread with it.
constexpr DWORD kLibraryTimeoutMs = kNetworkStallMs + 5000;
// How often a wait looks at the abort flag and the clock besides the
// messages that wake it.
constexpr DWORD kWaitSliceMs = 50;
// A read gathers what arrives until it has what it asked for, or this long
// has passed: every handoff between the threads costs, and the library
// hands over only small pieces at a time.
constexpr DWORD kReadGatherMs = 100;

// Nothing the stub fetches is wanted again from the browser's cache, and a
// setup file kept there would take its size a second time on the disk.
constexpr DWORD kNoCache = INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kReload = INTERNET_FLAG_RELOAD | kNoCache;

// The handles of one request, closed in reverse order of opening through
// the thread's own library reference.
struct RequestHandles {
  explicit RequestHandles(WinInetApi& library) : api(library) {}
  ~RequestHandles() { Close(); }
  RequestHandles(const RequestHandles&) = delete;
  RequestHandles& operator=(const RequestHandles&) = delete;

  // The request and its connection; the session stays for another one.
  void CloseRequest() {
    for (HINTERNET* handle : {&request, &connection}) {
      if (*handle) api.CloseHandle(std::exchange(*handle, nullptr));
    }
  }
  void Close() {
    CloseRequest();
    if (session) api.CloseHandle(std::exchange(session, nullptr));
  }

  WinInetApi& api;
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
};

bool OpenSession(RequestHandles& handles, const char* agent) {
  handles.session = handles.api.Open(agent, INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0);
  if (!handles.session) return false;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT}) {
    DWORD value = kLibraryTimeoutMs;
    handles.api.SetOption(handles.session, option, &value, sizeof value);
  }
  return true;
}

// A request through a connection of its own, which carries the credentials
// when there are any.
bool SendRequest(RequestHandles& handles, const std::string& url, const char* verb, const std::string& user,
                 const std::string& password, const std::string& headers) {
  const HttpUrlParts parts = SplitHttpUrl(url);
  handles.connection = handles.api.Connect(handles.session, parts.host.c_str(), parts.port,
                                           user.empty() ? nullptr : user.c_str(),
                                           user.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
  if (!handles.connection) return false;
  const DWORD flags = kReload | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  handles.request =
      handles.api.OpenRequest(handles.connection, verb, parts.object.c_str(), nullptr, nullptr, nullptr, flags, 0);
  if (handles.request && handles.api.SendRequest(handles.request, headers.empty() ? nullptr : headers.c_str(),
                                                 static_cast<DWORD>(headers.size()), nullptr, 0)) {
    return true;
  }
  // The caller reports why the request failed, which closing may overwrite.
  const DWORD error = ::GetLastError();
  handles.CloseRequest();
  ::SetLastError(error);
  return false;
}

bool OpenUrl(RequestHandles& handles, const std::string& url, DWORD flags, const std::string& headers) {
  handles.request = handles.api.OpenUrl(handles.session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                        static_cast<DWORD>(headers.size()), flags, 0);
  return handles.request != nullptr;
}

DWORD QueryNumber(WinInetApi& api, HINTERNET request, DWORD query, DWORD missing) {
  DWORD value = missing;
  DWORD length = sizeof value;
  DWORD index = 0;
  api.QueryInfo(request, query | HTTP_QUERY_FLAG_NUMBER, &value, &length, &index);
  return value;
}

// The header's value as sent; empty when missing or unreasonably long.
std::string QueryText(WinInetApi& api, HINTERNET request, DWORD query) {
  char text[2048] = {};
  DWORD length = sizeof text - 1;
  DWORD index = 0;
  if (!api.QueryInfo(request, query, text, &length, &index)) return {};
  return std::string(text, std::min<size_t>(length, sizeof text - 1));
}

// A date header as a file time, taken as the server gave it; false when it
// is missing or no date.
bool QueryTime(WinInetApi& api, HINTERNET request, DWORD query, FILETIME& fileTime) {
  SYSTEMTIME time = {};
  DWORD length = sizeof time;
  DWORD index = 0;
  return api.QueryInfo(request, query | HTTP_QUERY_FLAG_SYSTEMTIME, &time, &length, &index) &&
         ::SystemTimeToFileTime(&time, &fileTime);
}

int64_t Seconds(const FILETIME& time) {
  constexpr uint64_t kTicksPerSecond = 10000000;
  return static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime) / kTicksPerSecond);
}

void ReadHead(WinInetApi& api, HINTERNET request, NetResponseHead& head) {
  head.status = QueryNumber(api, request, HTTP_QUERY_STATUS_CODE, 0);
  head.length = QueryNumber(api, request, HTTP_QUERY_CONTENT_LENGTH, kUnknownSize);
  head.lastModified = QueryText(api, request, HTTP_QUERY_LAST_MODIFIED);
  head.etag = QueryText(api, request, HTTP_QUERY_ETAG);
  head.contentRange = QueryText(api, request, HTTP_QUERY_CONTENT_RANGE);
  head.retryAfter = QueryText(api, request, HTTP_QUERY_RETRY_AFTER);
  head.date = QueryText(api, request, HTTP_QUERY_DATE);
  FILETIME modified;
  WORD dosDate = 0, dosTime = 0;
  if (!QueryTime(api, request, HTTP_QUERY_LAST_MODIFIED, modified)) return;
  if (::FileTimeToDosDateTime(&modified, &dosDate, &dosTime)) head.lastModifiedStamp = uint32_t{dosDate} << 16 | dosTime;
  FILETIME date;
  head.lastModifiedStrong = QueryTime(api, request, HTTP_QUERY_DATE, date) &&
                            DateVouchesForLastModified(Seconds(modified), Seconds(date));
}

std::string LastResponseInfo(WinInetApi& api) {
  char text[1024] = {};
  DWORD code = 0;
  DWORD length = sizeof text;
  if (!api.GetLastResponseInfo(&code, text, &length)) return {};
  return std::string(text, std::min<size_t>(length, sizeof text));
}

// Servers that do not answer HEAD say so with one of these.
bool RefusesHead(DWORD statusCode) {
  return statusCode == HTTP_STATUS_BAD_METHOD || statusCode == HTTP_STATUS_NOT_SUPPORTED;
}

}  // namespace

enum class NetCall : int { WarmUp, QuerySize, Open, Read };

// The handoff. The caller writes `call` and its inputs, then signals `go`;
// the thread writes the outputs, then signals `done`. The events order
// every access, so no field but the interlocked `lastArrival` is ever
// touched by both threads at once. Both
// threads hold a reference; the last one to let go frees the block.
struct NetHandoff {
  explicit NetHandoff(UniqueModule library) : api(std::move(library)), download(api) {}

  UniqueHandle go{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle done{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  LONG references = 2;
  LONG quit = 0;
  // The tick count when the last bytes arrived during a read: the one
  // field both threads use while a call runs, hence interlocked. A read
  // that gathers a trickle is no stall.
  LONG lastArrival = 0;

  NetCall call = NetCall::WarmUp;
  std::string url;
  NetRequest request;
  uint32_t want = 0;

  bool ok = false;
  // The system's error number when Open failed.
  DWORD openError = 0;
  uint32_t size = kUnknownSize;
  NetResponseHead head;
  std::vector<char> buffer;
  uint32_t got = 0;
  std::string error;
  DWORD readError = 0;

  // The thread's own: the library reference and the download's request.
  WinInetApi api;
  RequestHandles download;
};

namespace {

void WarmUpCall(NetHandoff& h) {
  RequestHandles handles(h.api);
  if (!OpenSession(handles, kProbeAgent)) return;
  h.ok = IsHttpUrl(h.url) ? SendRequest(handles, h.url, "HEAD", "", "", "") : OpenUrl(handles, h.url, kNoCache, "");
}

void QuerySizeCall(NetHandoff& h) {
  h.size = kUnknownSize;
  RequestHandles handles(h.api);
  if (!OpenSession(handles, kProbeAgent)) return;
  // A GET would bring the whole body, however big: only a server that
  // refuses HEAD is asked with it.
  bool get = !IsHttpUrl(h.url);
  if (!get) {
    if (!SendRequest(handles, h.url, "HEAD", "", "", "")) return;
    get = RefusesHead(QueryNumber(h.api, handles.request, HTTP_QUERY_STATUS_CODE, 0));
    if (get) handles.CloseRequest();
  }
  if (get && !OpenUrl(handles, h.url, kNoCache, "")) return;
  h.size = QueryNumber(h.api, handles.request, HTTP_QUERY_CONTENT_LENGTH, kUnknownSize);
  h.ok = true;
}

void OpenCall(NetHandoff& h) {
  h.download.Close();
  h.head = NetResponseHead();
  if (!OpenSession(h.download, kDownloadAgent)) return;
  const NetRequest& r = h.request;
  h.ok = r.user.empty() ? OpenUrl(h.download, r.url, kReload, r.headers)
                        : SendRequest(h.download, r.url, "GET", r.user, r.password, r.headers);
  if (!h.ok) h.openError = ::GetLastError();
  if (h.ok) ReadHead(h.api, h.download.request, h.head);
}

// Takes up to `want` bytes of what has arrived, without waiting for more:
// all there is with InternetReadFileEx, else what `available` announced
// (less what is read). `read` 0 when nothing is at hand; false only when a
// read failed.
bool ReadArrived(NetHandoff& h, DWORD want, DWORD& available, DWORD& read) {
  read = 0;
  char* into = h.buffer.data() + h.got;
  INTERNET_BUFFERSA buffers = {};
  buffers.dwStructSize = sizeof buffers;
  buffers.lpvBuffer = into;
  buffers.dwBufferLength = want;
  if (h.api.ReadFileEx(h.download.request, &buffers, IRF_NO_WAIT, 0)) {
    read = std::min(buffers.dwBufferLength, want);
    if (read > 0 || available == 0) return true;
  }
  // A library without the call, or one that would not read without
  // waiting: the bytes announced are there for an ordinary read.
  if (available == 0) return true;
  const bool ok = h.api.ReadFile(h.download.request, into, std::min(available, want), &read);
  read = std::min(read, want);
  available -= std::min(available, read);
  return ok;
}

// Takes what has arrived and waits only when there is nothing (which
// InternetQueryDataAvailable does until the first byte or the end): a read
// of a given size would wait until all of it is there, however slowly it
// trickles in. Goes on while there is room and time.
void ReadCall(NetHandoff& h) {
  h.got = 0;
  if (h.buffer.size() < h.want) h.buffer.resize(h.want);
  const DWORD started = ::GetTickCount();
  DWORD available = 0;
  while (h.got < h.want) {
    DWORD read = 0;
    bool ok = ReadArrived(h, h.want - h.got, available, read);
    if (ok && read == 0) {
      ok = h.api.QueryDataAvailable(h.download.request, &available, 0, 0);
      if (ok && available == 0) break;
      if (ok) ok = ReadArrived(h, h.want - h.got, available, read);
    }
    if (!ok) {
      // What arrived before counts; the next read meets the failure again.
      if (h.got > 0) break;
      h.readError = ::GetLastError();
      h.error = SysErrorMessage(h.readError);
      if (h.error.empty()) h.error = ConnectionFailureReason(h.readError);
      if (h.error.empty()) h.error = LastResponseInfo(h.api);
      return;
    }
    if (read == 0) break;
    h.got += read;
    ::InterlockedExchange(&h.lastArrival, static_cast<LONG>(::GetTickCount()));
    if (::GetTickCount() - started >= kReadGatherMs) break;
  }
  h.ok = true;
}

void RunCall(NetHandoff& h) {
  h.ok = false;
  h.openError = 0;
  h.readError = 0;
  h.error.clear();
  switch (h.call) {
    case NetCall::WarmUp:
      return WarmUpCall(h);
    case NetCall::QuerySize:
      return QuerySizeCall(h);
    case NetCall::Open:
      return OpenCall(h);
    case NetCall::Read:
      return ReadCall(h);
  }
}

void Release(NetHandoff* handoff) {
  if (::InterlockedDecrement(&handoff->references) == 0) delete handoff;
}

DWORD WINAPI InternetThreadMain(void* parameter) {
  auto* handoff = static_cast<NetHandoff*>(parameter);
  for (;;) {
    ::WaitForSingleObject(handoff->go.get(), INFINITE);
    if (::InterlockedCompareExchange(&handoff->quit, 0, 0) != 0) break;
    try {
      RunCall(*handoff);
    } catch (...) {
      handoff->ok = false;
    }
    ::SetEvent(handoff->done.get());
  }
  handoff->download.Close();
  Release(handoff);
  return 0;
}

}  // namespace

InternetThread::~InternetThread() { LetGo(); }

bool InternetThread::Start() {
  UniqueModule library(LoadSystemLibrary("WinINet.dll"));
  if (!library) return false;
  auto* handoff = new NetHandoff(std::move(library));
  DWORD id = 0;
  UniqueHandle thread;
  if (handoff->go && handoff->done) thread.reset(::CreateThread(nullptr, 0, InternetThreadMain, handoff, 0, &id));
  if (!thread) {
    delete handoff;
    return false;
  }
  handoff_ = handoff;
  return true;
}

void InternetThread::LetGo() {
  if (!handoff_) return;
  ::InterlockedExchange(&handoff_->quit, 1);
  ::SetEvent(handoff_->go.get());
  Release(std::exchange(handoff_, nullptr));
}

NetWait InternetThread::Run(NetCall call) {
  if (!handoff_) return ended_;
  handoff_->call = call;
  const DWORD started = ::GetTickCount();
  ::InterlockedExchange(&handoff_->lastArrival, static_cast<LONG>(started));
  ::SetEvent(handoff_->go.get());
  HANDLE done = handoff_->done.get();
  for (;;) {
    if (::MsgWaitForMultipleObjects(1, &done, FALSE, kWaitSliceMs, QS_ALLINPUT) == WAIT_OBJECT_0) return NetWait::Done;
    PumpMessages();
    const DWORD lastArrival = static_cast<DWORD>(::InterlockedCompareExchange(&handoff_->lastArrival, 0, 0));
    if (DownloadAborted()) {
      ended_ = NetWait::Aborted;
    } else if (::GetTickCount() - lastArrival >= kNetworkStallMs) {
      ended_ = NetWait::Stalled;
    } else {
      continue;
    }
    LetGo();
    return ended_;
  }
}

NetWait InternetThread::WarmUp(const std::string& url) {
  if (handoff_) handoff_->url = url;
  return Run(NetCall::WarmUp);
}

NetWait InternetThread::QuerySize(const std::string& url, bool& opened, uint32_t& size) {
  opened = false;
  size = kUnknownSize;
  if (handoff_) handoff_->url = url;
  const NetWait end = Run(NetCall::QuerySize);
  if (end == NetWait::Done) {
    opened = handoff_->ok;
    size = handoff_->size;
  }
  return end;
}

NetWait InternetThread::Open(const NetRequest& request, bool& opened, NetResponseHead& head, unsigned long& error) {
  opened = false;
  head = NetResponseHead();
  error = 0;
  if (handoff_) handoff_->request = request;
  const NetWait end = Run(NetCall::Open);
  if (end == NetWait::Done) {
    opened = handoff_->ok;
    head = handoff_->head;
    error = handoff_->openError;
  }
  return end;
}

NetWait InternetThread::Read(char* buffer, uint32_t want, uint32_t& got, bool& ok, std::string& error,
                             unsigned long& errorNumber) {
  got = 0;
  ok = false;
  errorNumber = 0;
  if (handoff_) handoff_->want = want;
  const NetWait end = Run(NetCall::Read);
  if (end == NetWait::Done) {
    ok = handoff_->ok;
    got = std::min(handoff_->got, want);
    std::copy(handoff_->buffer.data(), handoff_->buffer.data() + got, buffer);
    error = handoff_->error;
    errorNumber = handoff_->readError;
  }
  return end;
}

}  // namespace tarnix
