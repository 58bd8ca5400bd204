#include "autoupdate/AutoInform.h"

#include "Utils/StubLog.h"

namespace tarnix {

bool PerformAutoInform() {
  WriteLog("PerformAutoInform() - START ");
  WriteLog("PerformAutoInform() - END FALSE");
  return false;
}

}  // namespace tarnix
