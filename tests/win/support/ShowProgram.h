// The box tests' program that shows one box in a process of its own
// (msgbox-show.exe, beside the test program): starting it, its exit code,
// and a copy of it that finds a library of the test's own beside it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"

namespace tarnix::test {

inline constexpr DWORD kShowProgramWaitMs = 10000;

inline std::string ShowProgram() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of('\\') + 1) + "msgbox-show.exe";
}

struct ShownProcess {
  UniqueHandle process;
  DWORD pid = 0;
};

inline ShownProcess StartShowProgram(const std::string& arguments, const std::string& program = ShowProgram()) {
  std::string commandLine = Quote(program);
  commandLine += ' ';
  commandLine += arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ShownProcess shown;
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return shown;
  }
  ::CloseHandle(pi.hThread);
  shown.process.reset(pi.hProcess);
  shown.pid = pi.dwProcessId;
  return shown;
}

inline DWORD ExitCodeOf(const ShownProcess& shown) {
  DWORD code = 0xFFFF;
  if (::WaitForSingleObject(shown.process.get(), kShowProgramWaitMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(shown.process.get(), 99);
    ADD_FAILURE() << "the box program did not end";
  }
  ::GetExitCodeProcess(shown.process.get(), &code);
  return code;
}

// Wine loads its own build of a library it has, even when the program has
// one beside it, unless told otherwise for that program.
inline void PreferLibraryBesideProgram(const std::string& programName, const char* library) {
  const std::string path = "Software\\Wine\\AppDefaults\\" + programName + "\\DllOverrides";
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  const UniqueHKey key(raw);
  static const char kNative[] = "native";
  ASSERT_EQ(::RegSetValueExA(key.get(), library, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNative), sizeof(kNative)),
            ERROR_SUCCESS);
}

// A copy of the show program named `copyName` in the folder where the build
// puts the RICHED32.DLL that refuses to load, so that the copy runs as on a
// system without the rich-edit library. Its full path.
inline std::string ShowProgramWithoutRichEdit(const std::string& copyName) {
  const std::string program = ShowProgram();
  const std::string copy = program.substr(0, program.find_last_of('\\') + 1) + "refusing-richedit\\" + copyName;
  if (!::CopyFileA(program.c_str(), copy.c_str(), FALSE)) ADD_FAILURE() << "cannot copy " << program;
  PreferLibraryBesideProgram(copyName, "riched32");
  return copy;
}

}  // namespace tarnix::test
