#include <windows.h>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/StubLog.h"
#include "Utils/UniqueResource.h"

namespace tarnix {

namespace {

// Moving to the end and writing are two calls, so two processes appending at
// once could both write at the same old end. A lock on one byte far beyond
// any log's size serialises the appenders without touching the text; a lock
// held longer than a line takes is not waited for.
constexpr DWORD kAppendLockOffset = 0xFFFFFFFF;
constexpr int kAppendLockTries = 200;

class AppendLock {
 public:
  explicit AppendLock(HANDLE file) : file_(file) {
    for (int i = 0; i < kAppendLockTries && !locked_; ++i) {
      locked_ = ::LockFile(file_, kAppendLockOffset, 0, 1, 0) != 0;
      if (!locked_) ::Sleep(1);
    }
  }
  ~AppendLock() {
    if (locked_) ::UnlockFile(file_, kAppendLockOffset, 0, 1, 0);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  HANDLE file_;
  bool locked_ = false;
};

}  // namespace

bool AppendSharedText(const std::string& fileName, std::string_view text) {
  UniqueFileHandle file(::CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  AppendLock lock(file.get());
  if (SeekFile64(file.get(), 2, 0) < 0) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

const std::string& LogFileName() {
  static const std::string name = GetExeDir(true) + StubLogName(GetExeFileName(true));
  return name;
}

void WriteLog(std::string_view message) {
  if (!LogEnabled()) return;
  try {
    AppendSharedText(LogFileName(),
                     FormatLogLine(LogTimestamp(kDateNow), ::GetCurrentThreadId(), LogTag(), message));
  } catch (...) {
  }
}

}  // namespace tarnix
