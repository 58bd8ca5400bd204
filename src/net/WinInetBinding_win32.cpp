#include "net/WinInetBinding_win32.h"

#include "Utils/SystemLibrary.h"
#include "net/HttpDownload.h"

namespace tarnix {

namespace {

enum Entry {
  kGetConnectedState,
  kCloseHandle,
  kOpen,
  kOpenUrl,
  kQueryInfo,
  kReadFile,
  kConnect,
  kOpenRequest,
  kSendRequest,
  kSetOption,
  kGetLastResponseInfo,
  kEntryCount
};

constexpr const char* kEntryNames[kEntryCount] = {
    "InternetGetConnectedState", "InternetCloseHandle", "InternetOpenA",      "InternetOpenUrlA",
    "HttpQueryInfoA",            "InternetReadFile",    "InternetConnectA",   "HttpOpenRequestA",
    "HttpSendRequestA",          "InternetSetOptionA",  "InternetGetLastResponseInfoA"};

UniqueModule g_library;
FARPROC g_entries[kEntryCount] = {};

template <typename Fn>
Fn Lookup(Entry entry) {
  if (!g_entries[entry]) {
    if (!g_library) g_library.reset(LoadSystemLibrary("WinINet.dll"));
    if (!g_library) return nullptr;
    g_entries[entry] = ::GetProcAddress(g_library.get(), kEntryNames[entry]);
  }
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(g_entries[entry]));
}

}  // namespace

BOOL WinInetGetConnectedState(DWORD* flags, DWORD reserved) {
  const auto fn = Lookup<BOOL(WINAPI*)(DWORD*, DWORD)>(kGetConnectedState);
  return fn ? fn(flags, reserved) : FALSE;
}

BOOL WinInetCloseHandle(HINTERNET handle) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET)>(kCloseHandle);
  return fn ? fn(handle) : FALSE;
}

HINTERNET WinInetOpen(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD flags) {
  const auto fn = Lookup<HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD)>(kOpen);
  return fn ? fn(agent, accessType, proxy, proxyBypass, flags) : nullptr;
}

HINTERNET WinInetOpenUrl(HINTERNET session, const char* url, const char* headers, DWORD headersLength, DWORD flags,
                         DWORD_PTR context) {
  const auto fn = Lookup<HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR)>(kOpenUrl);
  return fn ? fn(session, url, headers, headersLength, flags, context) : nullptr;
}

BOOL WinInetQueryInfo(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD)>(kQueryInfo);
  return fn ? fn(request, infoLevel, buffer, bufferLength, index) : FALSE;
}

BOOL WinInetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD)>(kReadFile);
  return fn ? fn(file, buffer, bytesToRead, bytesRead) : FALSE;
}

HINTERNET WinInetConnect(HINTERNET session, const char* host, INTERNET_PORT port, const char* user,
                         const char* password, DWORD service, DWORD flags, DWORD_PTR context) {
  const auto fn =
      Lookup<HINTERNET(WINAPI*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR)>(kConnect);
  return fn ? fn(session, host, port, user, password, service, flags, context) : nullptr;
}

HINTERNET WinInetOpenRequest(HINTERNET connection, const char* verb, const char* object, const char* version,
                             const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context) {
  const auto fn =
      Lookup<HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR)>(kOpenRequest);
  return fn ? fn(connection, verb, object, version, referrer, acceptTypes, flags, context) : nullptr;
}

BOOL WinInetSendRequest(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                        DWORD optionalLength) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD)>(kSendRequest);
  return fn ? fn(request, headers, headersLength, optional, optionalLength) : FALSE;
}

BOOL WinInetSetOption(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength) {
  const auto fn = Lookup<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD)>(kSetOption);
  return fn ? fn(handle, option, buffer, bufferLength) : FALSE;
}

BOOL WinInetGetLastResponseInfo(DWORD* error, char* buffer, DWORD* bufferLength) {
  const auto fn = Lookup<BOOL(WINAPI*)(LPDWORD, LPSTR, LPDWORD)>(kGetLastResponseInfo);
  return fn ? fn(error, buffer, bufferLength) : FALSE;
}

void UnloadWinINet() {
  for (FARPROC& entry : g_entries) entry = nullptr;
  g_library.reset();
}

}  // namespace tarnix
