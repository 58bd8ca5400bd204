#include "autoupdate/UpdateCycle.h"

#include "Utils/StubLog.h"

namespace tarnix {

bool PerformAutoUpdate() {
  WriteLog("PerformAutoUpdate() - START");
  WriteLog("PerformAutoUpdate() - END    Result=FALSE");
  return false;
}

}  // namespace tarnix
