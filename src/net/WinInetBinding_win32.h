// Windows only. The WinINet functions the downloader calls. Six of them are
// looked up in "WinINet.dll" on first use, through one library handle that
// UnloadWinINet (HttpDownload.h) frees; when the library or a function cannot
// be found, the call does nothing and returns 0 or a null handle, which every
// caller takes for a failure. The others are bound at load time and called
// directly.
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

using UniqueInternetHandle = UniqueResource<SimpleTraits<HINTERNET, &WinInetCloseHandle>>;

}  // namespace tarnix
