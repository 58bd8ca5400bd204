#include <windows.h>

#include "package/TGFileInfo.h"

namespace tarnix {

uint32_t ClusterSize(const std::string& path) {
  std::string root = path.substr(0, 3);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
    return 0;
  return sectorsPerCluster * bytesPerSector;
}

}  // namespace tarnix
