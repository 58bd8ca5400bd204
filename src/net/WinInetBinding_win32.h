// Windows only. The WinINet functions the downloader calls, each looked up in
// "WinINet.dll" on first use. The library is loaded from the system folder
// only (Utils/SystemLibrary.h), never by import, so that a file of its name
// beside the stub is not loaded. When the library or a function cannot be
// found, the call does nothing and returns 0 or a null handle, which every
// caller takes for a failure.
//
// A WinInetApi belongs to one thread. The process-wide one serves the
// windows' thread, which frees it with UnloadWinINet (HttpDownload.h). Each
// network thread (InternetThread_win32.h) has one of its own, with a
// reference to the library of its own: it may still be inside a call when
// the windows' thread has given up on it and unloaded its reference.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "Utils/UniqueResource.h"

namespace tarnix {

class WinInetApi {
 public:
  // Loads the library on the first call.
  WinInetApi() = default;
  // Calls into this reference of the library and never loads another.
  explicit WinInetApi(UniqueModule library);
  WinInetApi(const WinInetApi&) = delete;
  WinInetApi& operator=(const WinInetApi&) = delete;

  BOOL GetConnectedState(DWORD* flags, DWORD reserved);
  BOOL CloseHandle(HINTERNET handle);
  HINTERNET Open(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD flags);
  HINTERNET OpenUrl(HINTERNET session, const char* url, const char* headers, DWORD headersLength, DWORD flags,
                    DWORD_PTR context);
  BOOL QueryInfo(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
  BOOL QueryDataAvailable(HINTERNET file, DWORD* available, DWORD flags, DWORD_PTR context);
  BOOL ReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
  // False with ERROR_PROC_NOT_FOUND when the library lacks it.
  BOOL ReadFileEx(HINTERNET file, INTERNET_BUFFERSA* buffers, DWORD flags, DWORD_PTR context);
  HINTERNET Connect(HINTERNET session, const char* host, INTERNET_PORT port, const char* user, const char* password,
                    DWORD service, DWORD flags, DWORD_PTR context);
  HINTERNET OpenRequest(HINTERNET connection, const char* verb, const char* object, const char* version,
                        const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context);
  BOOL SendRequest(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                   DWORD optionalLength);
  BOOL SetOption(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength);
  BOOL GetLastResponseInfo(DWORD* error, char* buffer, DWORD* bufferLength);

  // Frees the library and forgets every function; with the default
  // constructor the next call loads it again.
  void Unload();

 private:
  enum Entry {
    kGetConnectedState,
    kCloseHandle,
    kOpen,
    kOpenUrl,
    kQueryInfo,
    kQueryDataAvailable,
    kReadFile,
    kReadFileEx,
    kConnect,
    kOpenRequest,
    kSendRequest,
    kSetOption,
    kGetLastResponseInfo,
    kEntryCount
  };

  template <typename Fn>
  Fn Lookup(Entry entry);

  UniqueModule library_;
  bool loadsItself_ = true;
  FARPROC entries_[kEntryCount] = {};
};

// The windows' thread's WinInetApi.
WinInetApi& ProcessWinInet();

}  // namespace tarnix
