// Helpers of the debug channel and stub log tests: a receiver that collects
// what the channel sends, scratch folders, and starting programs, also
// while the test's own windows keep answering.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "DebugReceiver.h"
#include "Utils/UniqueResource.h"

namespace tarnix::test {

// A path that the test run passes in an environment variable, with forward
// slashes as the build system writes it; empty when unset.
inline std::string PathFromEnv(const char* name) {
  const char* value = std::getenv(name);
  std::string path = value ? value : "";
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Splits at CR LF; a text ending in CR LF gives no empty last item.
inline std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

struct Piece {
  uint16_t channel;
  std::string text;
};

// The test's own viewer window; it collects every piece sent to it.
class PieceCollector {
 public:
  PieceCollector() : receiver_([this](uint16_t channel, const std::string& text) { pieces_.push_back({channel, text}); }) {}

  HWND Window() const { return receiver_.Window(); }
  const std::vector<Piece>& Pieces() const { return pieces_; }
  std::string Joined() const {
    std::string all;
    for (const Piece& p : pieces_) all += p.text;
    return all;
  }

 private:
  std::vector<Piece> pieces_;
  DebugReceiver receiver_;
};

// The temp folder, with its trailing backslash.
inline std::string TempDir() {
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(sizeof temp, temp);
  return temp;
}

// A folder of the test's own in the temp folder, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() {
    path_ = TempDir() + "tarnix-log-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(std::random_device{}());
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// A program as StartProcess left it; no process handle when it did not
// start.
struct StartedProcess {
  UniqueHandle process;
  DWORD processId = 0;
  DWORD threadId = 0;
};

// This process's environment with each of `values` (NAME, VALUE) set, as a
// block for CreateProcess: NAME=VALUE strings, each ending in a NUL, then one
// more NUL.
inline std::string EnvironmentWith(const std::vector<std::pair<std::string, std::string>>& values) {
  const auto isSet = [&](const char* entry) {
    for (const auto& [name, value] : values) {
      const std::string prefix = name + "=";
      if (::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, entry, int(std::min(prefix.size(), std::strlen(entry))),
                           prefix.c_str(), int(prefix.size())) == CSTR_EQUAL)
        return true;
    }
    return false;
  };
  std::string block;
  if (char* strings = ::GetEnvironmentStringsA()) {
    for (const char* entry = strings; *entry; entry += std::strlen(entry) + 1)
      if (!isSet(entry)) block.append(entry, std::strlen(entry) + 1);
    ::FreeEnvironmentStringsA(strings);
  }
  for (const auto& [name, value] : values) block.append(name + "=" + value).push_back('\0');
  block.push_back('\0');
  return block;
}

// Wine takes its own build of a library it has over any file of that name,
// unless its settings for the program say otherwise. For the life of the
// object it loads `libraries` (names without ".dll") in the programs of the
// file names `programs` in `order`: "native" for the file only,
// "native,builtin" for Windows' choice. Windows has no such settings and
// ignores them. The settings are the test's own and go whole at the end.
class WineLibraryOrder {
 public:
  WineLibraryOrder(std::vector<std::string> programs, const std::vector<std::string>& libraries, const char* order)
      : programs_(std::move(programs)) {
    for (const std::string& program : programs_) Set(program, libraries, order);
  }
  ~WineLibraryOrder() {
    for (const std::string& program : programs_) ::RegDeleteKeyA(HKEY_CURRENT_USER, Key(program).c_str());
  }
  WineLibraryOrder(const WineLibraryOrder&) = delete;
  WineLibraryOrder& operator=(const WineLibraryOrder&) = delete;

 private:
  static void Set(const std::string& program, const std::vector<std::string>& libraries, const char* order) {
    HKEY raw = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, Key(program).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                                nullptr),
              ERROR_SUCCESS);
    const UniqueHKey key(raw);
    for (const std::string& library : libraries)
      ASSERT_EQ(::RegSetValueExA(key.get(), library.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                                 static_cast<DWORD>(std::strlen(order) + 1)),
                ERROR_SUCCESS);
  }

  static std::string Key(const std::string& program) {
    return "Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides";
  }

  std::vector<std::string> programs_;
};

// Starts `exePath` with the whole `commandLine`, the program's own name
// first, and `environment` (a block as EnvironmentWith gives) when not empty;
// a program that does not start fails the test.
inline StartedProcess StartProcess(const std::string& exePath, std::string commandLine,
                                   const std::string& environment = {}) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  void* block = environment.empty() ? nullptr : const_cast<char*>(environment.data());
  if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, block, nullptr, &startup,
                        &started)) {
    ADD_FAILURE() << "CreateProcessA " << exePath << " failed with " << ::GetLastError();
    return {};
  }
  UniqueHandle thread(started.hThread);
  return {UniqueHandle(started.hProcess), started.dwProcessId, started.dwThreadId};
}

struct ProcessRun {
  bool ended = false;
  DWORD exitCode = 0;
  DWORD processId = 0;
  DWORD threadId = 0;
};

// Starts `exePath` with `commandLine` (and `environment`, as StartProcess)
// and pumps this thread's messages until it ends, so that windows of this
// thread answer the program's sends.
inline ProcessRun RunPumping(const std::string& exePath, std::string commandLine, DWORD timeoutMs = 60000,
                             const std::string& environment = {}) {
  ProcessRun run;
  const StartedProcess started = StartProcess(exePath, std::move(commandLine), environment);
  if (!started.process) return run;
  const UniqueHandle& process = started.process;
  run.processId = started.processId;
  run.threadId = started.threadId;
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs) break;
    const HANDLE handle = process.get();
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) {
      run.ended = true;
      break;
    }
  }
  if (!run.ended) {
    ::TerminateProcess(process.get(), 1);
    ADD_FAILURE() << exePath << " did not end within " << timeoutMs << " ms";
    return run;
  }
  ::GetExitCodeProcess(process.get(), &run.exitCode);
  return run;
}

}  // namespace tarnix::test
