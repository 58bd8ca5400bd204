// Windows only. The WinINet functions the downloader calls, each looked up in
// "WinINet.dll" on first use, through one library handle that UnloadWinINet
// (HttpDownload.h) frees. The library is loaded from the system folder only
// (Utils/SystemLibrary.h), never by import, so that a file of its name beside
// the stub is not loaded. When the library or a function cannot be found, the
// call does nothing and returns 0 or a null handle, which every caller takes
// for a failure.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "Utils/UniqueResource.h"

namespace tarnix {

BOOL WinInetGetConnectedState(DWORD* flags, DWORD reserved);
BOOL WinInetCloseHandle(HINTERNET handle);
HINTERNET WinInetOpen(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD flags);
HINTERNET WinInetOpenUrl(HINTERNET session, const char* url, const char* headers, DWORD headersLength, DWORD flags,
                         DWORD_PTR context);
BOOL WinInetQueryInfo(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
BOOL WinInetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
HINTERNET WinInetConnect(HINTERNET session, const char* host, INTERNET_PORT port, const char* user,
                         const char* password, DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET WinInetOpenRequest(HINTERNET connection, const char* verb, const char* object, const char* version,
                             const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context);
BOOL WinInetSendRequest(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                        DWORD optionalLength);
BOOL WinInetSetOption(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength);
BOOL WinInetGetLastResponseInfo(DWORD* error, char* buffer, DWORD* bufferLength);

using UniqueInternetHandle = UniqueResource<SimpleTraits<HINTERNET, &WinInetCloseHandle>>;

}  // namespace tarnix
