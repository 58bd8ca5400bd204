// Runs a setup built from the stub the way a user does: starts it, answers
// the message boxes it shows (remembering what they said) and waits for it
// while this thread keeps pumping. Also names the extraction folder the
// stub will use for a package file.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Utils/UniqueResource.h"
#include "win/DebugTestSupport.h"
#include "win/support/MsgBoxDriver.h"

namespace tarnix::test {

// Wine is slow and the stub pauses about a second at several steps.
inline constexpr DWORD kSetupTimeoutMs = 90000;

struct SeenBox {
  std::string title;
  std::string text;
  std::vector<std::string> captions;
  std::string pressed;
};

// The caption to press for a box. An empty answer backs out: "Cancel", else
// "No", else the first button.
using BoxAnswer = std::function<std::string(const SeenBox&)>;

inline bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the file's text holds `text`, in any case.
inline bool FileMentions(const std::string& path, std::string text) {
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (std::string* s : {&content, &text})
    for (char& c : *s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return content.find(text) != std::string::npos;
}

// The self-deletion scripts of ended copies still in the temp folder, by
// name; empty when every one has deleted itself. With `mentioning`, only
// those whose text names it: a test that runs beside the agents' tests
// asks for its own, while their copies come and go.
inline std::string SelfDeleteScriptsLeft(const std::string& mentioning = "") {
  std::string names;
  WIN32_FIND_DATAA found{};
  UniqueFindHandle find(::FindFirstFileA((TempDir() + "_DEL_ME_*.BAT").c_str(), &found));
  if (!find) return names;
  do {
    if (mentioning.empty() || FileMentions(TempDir() + found.cFileName, mentioning))
      names += std::string(found.cFileName) + " ";
  } while (::FindNextFileA(find.get(), &found));
  return names;
}

// Polls without pumping: for files that programs other than the test change.
inline bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (done()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(200);
  }
}

// The file's packed local modification stamp (date high, time low); 0
// when the file cannot be read.
inline uint32_t PackedStampOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  WORD date = 0, time = 0;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      !::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToDosDateTime(&local, &date, &time))
    return 0;
  return uint32_t(date) << 16 | time;
}

// A started stub; ended, if still running, with the object.
class SetupProcess {
 public:
  // `environment`: a block as EnvironmentWith gives; empty for this
  // process's own.
  SetupProcess(const std::string& exe, const std::string& parameters, BoxAnswer answer = {},
               const std::string& environment = {})
      : answer_(std::move(answer)) {
    commandLine_ = "\"" + exe + "\"";
    if (!parameters.empty()) commandLine_ += " " + parameters;
    StartedProcess started = StartProcess(exe, commandLine_, environment);
    process_ = std::move(started.process);
    pid_ = started.processId;
    threadId_ = started.threadId;
  }
  ~SetupProcess() {
    if (process_ && !Ended()) {
      ::TerminateProcess(process_.get(), 1);
      ::WaitForSingleObject(process_.get(), 10000);
    }
  }
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  const std::string& CommandLine() const { return commandLine_; }
  DWORD Pid() const { return pid_; }
  // Where the stub extracts: a folder of its process's own.
  std::string ExtractionFolder() const { return TempDir() + "SETUP_" + std::to_string(pid_); }
  // The stub has one thread; its id makes the run token.
  DWORD ThreadId() const { return threadId_; }
  std::string Token() const { return "_" + std::to_string(threadId_); }
  bool Ended() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) ::GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  const std::vector<SeenBox>& Boxes() const { return boxes_; }

  // Answers boxes until `done` holds, the process ends or the time is up.
  // True when `done` held.
  bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kSetupTimeoutMs) {
    if (!process_) return false;
    const DWORD start = ::GetTickCount();
    for (;;) {
      AnswerBox();
      if (done()) return true;
      if (Ended() || ::GetTickCount() - start >= timeoutMs) return done();
      Pump(100);
    }
  }

  // Answers boxes until the process ends; false, and the process is ended,
  // when it is still running after `timeoutMs`.
  bool Finish(DWORD timeoutMs = kSetupTimeoutMs) {
    if (!WaitUntil([this] { return Ended(); }, timeoutMs)) {
      if (process_) ::TerminateProcess(process_.get(), 1);
      ADD_FAILURE() << commandLine_ << " did not end within " << timeoutMs << " ms";
      return false;
    }
    return true;
  }

  // Runs to the end as Finish does, and tells whether `path` existed at some
  // moment meanwhile.
  bool FinishSeeing(const std::string& path) {
    bool seen = false;
    WaitUntil([&] {
      seen = seen || PathExists(path);
      return Ended();
    });
    EXPECT_TRUE(Finish());
    return seen;
  }

 private:
  static std::string Plain(std::string_view caption) {
    std::string r;
    for (char c : caption)
      if (c != '&') r += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
  }

  std::string BackOut(const SeenBox& box) const {
    for (const char* wanted : {"CANCEL", "NO"})
      for (const std::string& caption : box.captions)
        if (Plain(caption) == wanted) return caption;
    return box.captions.empty() ? std::string() : box.captions.front();
  }

  void AnswerBox() {
    auto box = MsgBoxDriver::WaitFor(pid_, 0);
    if (!box) return;
    SeenBox seen{box->Title(), box->Text(), box->ButtonCaptions(), {}};
    seen.pressed = answer_ ? answer_(seen) : std::string();
    if (seen.pressed.empty()) seen.pressed = BackOut(seen);
    if (!box->PressButton(seen.pressed)) {
      ADD_FAILURE() << "no button \"" << seen.pressed << "\" in the box \"" << seen.title << "\": " << seen.text;
      box->PressKey(VK_ESCAPE);
    }
    if (!box->WaitUntilClosed(10000)) ADD_FAILURE() << "the box \"" << seen.title << "\" stayed";
    boxes_.push_back(std::move(seen));
  }

  // Keeps this thread's windows answering while it waits.
  void Pump(DWORD waitMs) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    const HANDLE handle = process_.get();
    ::MsgWaitForMultipleObjects(1, &handle, FALSE, waitMs, QS_ALLINPUT);
  }

  BoxAnswer answer_;
  std::string commandLine_;
  UniqueHandle process_;
  DWORD pid_ = 0;
  DWORD threadId_ = 0;
  std::vector<SeenBox> boxes_;
};

// Lists boxes for a failure message.
inline std::string Describe(const std::vector<SeenBox>& boxes) {
  std::string all;
  for (const SeenBox& b : boxes) all += "[" + b.title + "] " + b.text + " -> " + b.pressed + "\n";
  return all;
}

}  // namespace tarnix::test
