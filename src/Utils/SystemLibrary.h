// Windows only. Libraries loaded at run time come from the system folder and
// from nowhere else. Windows looks for a library in the program's own folder
// before the system folder, and a setup is started from a download folder
// where any web page can drop a file named like a system library; that file
// would run with the user's rights, with the administrator's when the setup
// is elevated.
//
// The programs therefore import only known DLLs, which Windows always takes
// from the system folder: kernel32, user32, gdi32, advapi32 and shell32 are
// known DLLs on Windows XP, 7 and 10/11, msvcrt from Windows 7 on (ole32,
// oleaut32 and comdlg32 would be as safe). version, wininet, comctl32,
// riched32, shfolder, psapi, bcrypt and every other library are not known
// DLLs on all of them (comctl32 on none), so they are loaded through here.
#pragma once

#include <windows.h>

#include <string>

namespace tarnix {

// `name`, a bare file name such as "version.dll", loaded from the system
// folder, with the libraries it imports taken from there too; null when it
// is not there, refuses to load or `name` holds a path. A library that is
// loaded already gains a reference; FreeLibrary gives it back.
HMODULE LoadSystemLibrary(const char* name);

// A function of kernel32, which every process has loaded, so that asking
// costs no load; null where this system lacks it. The second form gives it
// as a pointer of the function's own type.
FARPROC KernelProc(const char* name);
template <typename Fn>
Fn KernelProcAs(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(KernelProc(name)));
}

// Narrows the process's own library search to the system folder and takes
// the current folder out of it, where the system has the calls for that
// (looked up by name: older systems lack them). Called first thing in every
// program, before anything loads a library.
void RestrictLibrarySearch();

// For tests only, which play a system whose library is missing or broken:
// LoadSystemLibrary takes its files from `folder` instead; empty gives the
// system folder back.
void SetSystemLibraryFolder(const std::string& folder);

}  // namespace tarnix
