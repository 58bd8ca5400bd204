// A folder that nobody may write while the object lives: the tests run as
// root under Wine, where permission bits stop no write, so the Linux file
// system's immutable attribute is set on the folder and everything in it
// (chattr -R +i), and taken off again at the end. Where the file system or
// the machine refuses it, Refusal() says why, for the test to skip with.
#pragma once

#include <windows.h>

#include <string>

#include "Utils/UniqueResource.h"

namespace tarnix::test {

class ImmutableFolder {
 public:
  explicit ImmutableFolder(std::string folder) : folder_(std::move(folder)) {
    unixPath_ = UnixPath(folder_);
    if (unixPath_.empty()) {
      refusal_ = "no Unix path for " + folder_ + " (not under Wine?)";
      return;
    }
    if (!Set(true)) refusal_ = "chattr +i did not make " + unixPath_ + " unwritable (file system or rights refuse it)";
  }
  // Also after a refusal: a lock that took hold too late must not outlive
  // the test.
  ~ImmutableFolder() {
    if (!unixPath_.empty()) Set(false);
  }
  ImmutableFolder(const ImmutableFolder&) = delete;
  ImmutableFolder& operator=(const ImmutableFolder&) = delete;

  const std::string& Refusal() const { return refusal_; }

  // Sets or clears the attribute; true once a write into the folder fails,
  // or succeeds, as asked.
  bool Set(bool immutable) const {
    std::string commandLine = std::string("/usr/bin/chattr -R ") + (immutable ? "+i" : "-i") + " \"" + unixPath_ + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
      return false;
    UniqueHandle thread(process.hThread), handle(process.hProcess);
    // A Unix program started from Wine gives no exit code to wait for: its
    // effect is looked for.
    for (int tries = 0; tries < 100; ++tries) {
      if (Writable() != immutable) return true;
      ::Sleep(100);
    }
    return false;
  }

  bool Writable() const {
    const std::string probe = folder_ + "\\~immutable-probe.tmp";
    UniqueFileHandle file(
        ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    file.reset();
    ::DeleteFileA(probe.c_str());
    return true;
  }

 private:
  static std::string UnixPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(const WCHAR*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    std::wstring wide(path.size() + 1, L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    if (length <= 0) return {};
    char* unixPath = toUnix(wide.c_str());
    if (!unixPath) return {};
    std::string result = unixPath;
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
  }

  std::string folder_;
  std::string unixPath_;
  std::string refusal_;
};

}  // namespace tarnix::test
