// Helpers of the process tests: copies of the test child program under
// names of their own in a scratch folder, which also holds the child as the
// tasklist.exe that the finders start, and running children that end with
// the test.
#pragma once

#include <windows.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>

#include "DebugTestSupport.h"
#include "Utils/UniqueResource.h"

namespace tarnix::test {

inline constexpr char kChildWindowClass[] = "TarnixTestChildWindow";

// A started test child; it is ended, if still running, with the object.
class Child {
 public:
  Child() = default;
  Child(const std::string& exe, const std::string& arguments) {
    StartedProcess started = StartProcess(exe, "\"" + exe + "\" " + arguments);
    process_ = std::move(started.process);
    pid_ = started.processId;
  }
  ~Child() { End(); }
  Child(Child&&) = default;
  Child& operator=(Child&&) = default;

  DWORD Pid() const { return pid_; }
  HANDLE Handle() const { return process_.get(); }
  // Until its message loop waits for input (its windows exist).
  bool WaitIdle() const { return process_ && ::WaitForInputIdle(process_.get(), 20000) == 0; }
  bool Ended(DWORD timeoutMs = 0) const {
    return process_ && ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  void End() {
    if (process_ && !Ended()) {
      ::TerminateProcess(process_.get(), 1);
      ::WaitForSingleObject(process_.get(), 10000);
    }
  }

 private:
  UniqueHandle process_;
  DWORD pid_ = 0;
};

// The scratch folder for a suite, the current folder while the suite runs.
// The child stands in for the system's tasklist.exe while the suite runs
// (Wine's lists nothing; the system's own comes back afterwards), and a
// copy planted in the current folder would list a process of its own.
class ChildFolder {
 public:
  ChildFolder() {
    child_ = PathFromEnv("TARNIX_TEST_CHILD_EXE");
    dir_ = TempDir() + "tarnix-proc-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(std::random_device{}() % 100000);
    std::filesystem::create_directories(dir_);
    char current[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryA(sizeof current, current);
    previous_ = current;
    if (!child_.empty()) {
      Copy("tasklist.exe");
      StandInForSystemTasklist();
    }
    ::SetCurrentDirectoryA(dir_.c_str());
  }
  ~ChildFolder() {
    ::SetCurrentDirectoryA(previous_.c_str());
    if (!systemSaved_.empty()) {
      ForgetOverride();
      ::MoveFileExA(systemSaved_.c_str(), SystemTasklist().c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ChildFolder(const ChildFolder&) = delete;
  ChildFolder& operator=(const ChildFolder&) = delete;

  bool HasChild() const { return !child_.empty(); }
  const std::string& ChildExe() const { return child_; }
  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  // The child copied under `name`; its full path.
  std::string Copy(const std::string& name) const {
    const std::string target = Path(name);
    ::CopyFileA(child_.c_str(), target.c_str(), FALSE);
    return target;
  }

 private:
  static std::string SystemTasklist() {
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\tasklist.exe";
  }

  // Wine starts its own build of a program of the system folder unless its
  // overrides tell it to take the file there.
  void StandInForSystemTasklist() {
    const std::string saved = Path("system-tasklist.exe");
    if (!::CopyFileA(SystemTasklist().c_str(), saved.c_str(), FALSE) ||
        !::CopyFileA(child_.c_str(), SystemTasklist().c_str(), FALSE))
      return;
    systemSaved_ = saved;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    UniqueHKey owned(key);
    ::RegSetValueExA(key, "tasklist.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
  }

  static void ForgetOverride() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    UniqueHKey owned(key);
    ::RegDeleteValueA(key, "tasklist.exe");
  }

  static constexpr char kWineOverrides[] = "Software\\Wine\\DllOverrides";

  std::string child_, dir_, previous_, systemSaved_;
};

}  // namespace tarnix::test
