#include <sys/statvfs.h>

#include "package/TGFileInfo.h"

namespace tarnix {

uint32_t ClusterSize(const std::string& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) return 0;
  return static_cast<uint32_t>(st.f_bsize);
}

}  // namespace tarnix
