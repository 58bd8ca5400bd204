#include <filesystem>

#include "ProgramPath.h"

namespace tarnix::pack {

std::string ProgramPath(const char* argv0) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.string();
  return argv0 ? argv0 : "";
}

}  // namespace tarnix::pack
