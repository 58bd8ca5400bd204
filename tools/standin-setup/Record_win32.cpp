#include "Record.h"

#include <windows.h>

#include <string>

#include "Utils/FileUtils.h"
#include "Utils/StrUtils.h"

namespace tarnix::standin {

namespace {

std::string CurrentDirectory() {
  std::string folder(::GetCurrentDirectoryA(0, nullptr), '\0');
  const DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
  folder.resize(length < folder.size() ? length : 0);
  return folder;
}

int StartShowCommand() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
}

std::string Line(std::string_view name, std::string_view value) {
  return std::string(name) + "=" + std::string(value) + "\r\n";
}

}  // namespace

void RecordStart(std::string_view path, std::string_view token, bool atomFound) {
  if (path.empty()) return;
  const char* commandLine = ::GetCommandLineA();
  WriteFileText(path, Line("CommandLine", commandLine ? commandLine : "") + Line("WorkingDir", CurrentDirectory()) +
                          Line("ExeDir", GetExeDir(false)) +
                          Line("ShowWindow", std::to_string(StartShowCommand())) + Line("Token", token) +
                          Line("AtomFound", std::string(1, BoolDigit(atomFound))));
}

void RecordEnd(std::string_view path, bool completed, int copied) {
  if (path.empty()) return;
  AppendFileText(path, Line("Completed", std::string(1, BoolDigit(completed))) +
                           Line("Copied", std::to_string(copied)));
}

}  // namespace tarnix::standin
