#include "net/WinInetBinding_win32.h"

#include <utility>

#include "Utils/SystemLibrary.h"
#include "net/HttpDownload.h"

namespace tarnix {

namespace {

constexpr const char* kEntryNames[] = {
    "InternetGetConnectedState", "InternetCloseHandle", "InternetOpenA",     "InternetOpenUrlA",
    "HttpQueryInfoA",            "InternetQueryDataAvailable", "InternetReadFile", "InternetReadFileExA", "InternetConnectA",
    "HttpOpenRequestA",          "HttpSendRequestA",    "InternetSetOptionA", "InternetGetLastResponseInfoA"};

WinInetApi g_processApi;

}  // namespace

WinInetApi::WinInetApi(UniqueModule library) : library_(std::move(library)), loadsItself_(false) {}

template <typename Fn>
Fn WinInetApi::Lookup(Entry entry) {
  static_assert(sizeof kEntryNames / sizeof kEntryNames[0] == kEntryCount);
  if (!entries_[entry]) {
    if (!library_ && loadsItself_) library_.reset(LoadSystemLibrary("WinINet.dll"));
    if (!library_) return nullptr;
    entries_[entry] = ::GetProcAddress(library_.get(), kEntryNames[entry]);
  }
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entries_[entry]));
}

BOOL WinInetApi::GetConnectedState(DWORD* flags, DWORD reserved) {
  const auto fn = Lookup<BOOL(WINAPI*)(DWORD*, DWORD)>(kGetConnectedState);
  return fn ? fn(flags, reserved) : FALSE;
}

BOOL WinInetApi::CloseHandle(HINTERNET handle) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET)>(kCloseHandle);
  return fn ? fn(handle) : FALSE;
}

HINTERNET WinInetApi::Open(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass,
                           DWORD flags) {
  const auto fn = Lookup<HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD)>(kOpen);
  return fn ? fn(agent, accessType, proxy, proxyBypass, flags) : nullptr;
}

HINTERNET WinInetApi::OpenUrl(HINTERNET session, const char* url, const char* headers, DWORD headersLength,
                              DWORD flags, DWORD_PTR context) {
  const auto fn = Lookup<HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR)>(kOpenUrl);
  return fn ? fn(session, url, headers, headersLength, flags, context) : nullptr;
}

BOOL WinInetApi::QueryInfo(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD)>(kQueryInfo);
  return fn ? fn(request, infoLevel, buffer, bufferLength, index) : FALSE;
}

BOOL WinInetApi::QueryDataAvailable(HINTERNET file, DWORD* available, DWORD flags, DWORD_PTR context) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, LPDWORD, DWORD, DWORD_PTR)>(kQueryDataAvailable);
  return fn ? fn(file, available, flags, context) : FALSE;
}

BOOL WinInetApi::ReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD)>(kReadFile);
  return fn ? fn(file, buffer, bytesToRead, bytesRead) : FALSE;
}

BOOL WinInetApi::ReadFileEx(HINTERNET file, INTERNET_BUFFERSA* buffers, DWORD flags, DWORD_PTR context) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, LPINTERNET_BUFFERSA, DWORD, DWORD_PTR)>(kReadFileEx);
  if (!fn) ::SetLastError(ERROR_PROC_NOT_FOUND);
  return fn ? fn(file, buffers, flags, context) : FALSE;
}

HINTERNET WinInetApi::Connect(HINTERNET session, const char* host, INTERNET_PORT port, const char* user,
                              const char* password, DWORD service, DWORD flags, DWORD_PTR context) {
  const auto fn =
      Lookup<HINTERNET(WINAPI*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR)>(kConnect);
  return fn ? fn(session, host, port, user, password, service, flags, context) : nullptr;
}

HINTERNET WinInetApi::OpenRequest(HINTERNET connection, const char* verb, const char* object, const char* version,
                                  const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context) {
  const auto fn =
      Lookup<HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR)>(kOpenRequest);
  return fn ? fn(connection, verb, object, version, referrer, acceptTypes, flags, context) : nullptr;
}

BOOL WinInetApi::SendRequest(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                             DWORD optionalLength) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD)>(kSendRequest);
  return fn ? fn(request, headers, headersLength, optional, optionalLength) : FALSE;
}

BOOL WinInetApi::SetOption(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD)>(kSetOption);
  return fn ? fn(handle, option, buffer, bufferLength) : FALSE;
}

BOOL WinInetApi::GetLastResponseInfo(DWORD* error, char* buffer, DWORD* bufferLength) {
  const auto fn = Lookup<BOOL(WINAPI*)(LPDWORD, LPSTR, LPDWORD)>(kGetLastResponseInfo);
  return fn ? fn(error, buffer, bufferLength) : FALSE;
}

void WinInetApi::Unload() {
  for (FARPROC& entry : entries_) entry = nullptr;
  library_.reset();
}

WinInetApi& ProcessWinInet() { return g_processApi; }

void UnloadWinINet() { ProcessWinInet().Unload(); }

}  // namespace tarnix
