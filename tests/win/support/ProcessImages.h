// The running processes whose program lies at a path that begins with a
// given text: those a test started from its installation folder, told from
// every other test's by the folder rather than by the file's name.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Utils/UniqueResource.h"

namespace tarnix::test {

struct ProcessImage {
  DWORD pid;
  std::string path;
};

// Matched without regard to case, as Windows compares paths.
inline std::vector<ProcessImage> ProcessesStartingWith(const std::string& prefix) {
  std::vector<ProcessImage> found;
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) continue;
    char image[MAX_PATH * 2] = {};
    DWORD length = sizeof image;
    if (!::QueryFullProcessImageNameA(process.get(), 0, image, &length)) continue;
    const std::string start(image, std::min<size_t>(length, prefix.size()));
    if (::lstrcmpiA(start.c_str(), prefix.c_str()) == 0) found.push_back({entry.th32ProcessID, std::string(image, length)});
  }
  return found;
}

}  // namespace tarnix::test
