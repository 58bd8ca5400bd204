#include <windows.h>

#include "Utils/ExePath.h"

namespace tarnix {

std::string GetExeFileName(bool baseNameOnly) {
  std::string path(MAX_PATH + 1, '\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    // A full buffer means the path was cut; try again with room to spare.
    if (n < path.size() - 1 || path.size() >= 32768) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  if (baseNameOnly) {
    size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos) path.erase(0, cut + 1);
  }
  return path;
}

}  // namespace tarnix
