#include "net/WinInetBinding_win32.h"

#include "net/HttpDownload.h"

namespace tarnix {

namespace {

enum Entry { kGetConnectedState, kCloseHandle, kOpen, kOpenUrl, kQueryInfo, kReadFile, kEntryCount };

constexpr const char* kEntryNames[kEntryCount] = {"InternetGetConnectedState", "InternetCloseHandle",
                                                  "InternetOpenA",             "InternetOpenUrlA",
                                                  "HttpQueryInfoA",            "InternetReadFile"};

UniqueModule g_library;
FARPROC g_entries[kEntryCount] = {};

template <typename Fn>
Fn Lookup(Entry entry) {
  if (!g_entries[entry]) {
    if (!g_library) g_library.reset(::LoadLibraryA("WinINet.dll"));
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

void UnloadWinINet() {
  for (FARPROC& entry : g_entries) entry = nullptr;
  g_library.reset();
}

}  // namespace tarnix
