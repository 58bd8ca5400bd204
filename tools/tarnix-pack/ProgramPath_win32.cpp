#include <windows.h>

#include "ProgramPath.h"

namespace tarnix::pack {

std::string ProgramPath(const char* argv0) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::string(path, n);
  return argv0 ? argv0 : "";
}

}  // namespace tarnix::pack
