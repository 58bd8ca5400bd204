// The box tests' program that shows one box in a process of its own
// (msgbox-show.exe, beside the test program): starting it, its exit code,
// and a copy of it that takes its libraries from a folder of the test's own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"
#include "win/DebugTestSupport.h"

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

// `environment`: a block as EnvironmentWith gives; empty for this process's
// own.
inline ShownProcess StartShowProgram(const std::string& arguments, const std::string& program = ShowProgram(),
                                     const std::string& environment = {}) {
  std::string commandLine = Quote(program);
  commandLine += ' ';
  commandLine += arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ShownProcess shown;
  void* block = environment.empty() ? nullptr : const_cast<char*>(environment.data());
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, block, nullptr, &si, &pi)) {
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

// A copy of the show program named `copyName` that takes its libraries
// from the folder where the build puts a RICHED32.DLL that refuses to load
// (msgbox-show reads the folder from TARNIX_SYSTEM_FOLDER), so that the copy
// runs as on a system whose rich-edit library is broken.
class ShowProgramWithoutRichEdit {
 public:
  explicit ShowProgramWithoutRichEdit(const std::string& copyName)
      : folder_(FolderOf(ShowProgram()) + "refusing-richedit"),
        copy_(folder_ + "\\" + copyName),
        fileOnly_({copyName}, {"riched32"}, "native") {
    if (!::CopyFileA(ShowProgram().c_str(), copy_.c_str(), FALSE)) ADD_FAILURE() << "cannot copy " << ShowProgram();
  }

  ShownProcess Start(const std::string& arguments) const {
    return StartShowProgram(arguments, copy_, EnvironmentWith({{"TARNIX_SYSTEM_FOLDER", folder_}}));
  }

 private:
  static std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

  std::string folder_;
  std::string copy_;
  WineLibraryOrder fileOnly_;
};

}  // namespace tarnix::test
