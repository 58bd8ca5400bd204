#include "autoupdate/TestMode.h"

#include <windows.h>

#include "Utils/DateUtils.h"
#include "Utils/Registry.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/Schedule.h"

namespace tarnix {

bool CheckTestMode(bool force) {
  AgentState& agent = Agent();
  const uint32_t now = ::GetTickCount();
  if (TestModeReadDue(now, agent.LastTestModeRead, force)) {
    const std::string mode = ReadRegValue(kTestModeKey, "TestMode", "0", Use64BitRegistryView);
    const std::string date = ReadRegValue(kTestModeKey, "TestModeDate", "", Use64BitRegistryView);
    agent.TestMode = TestModeOn(mode, date, DateText(kDateNow));
    agent.TestModeURL = ReadRegValue(kTestModeKey, "TestModeURL", "", Use64BitRegistryView);
  }
  agent.LastTestModeRead = now;
  return agent.TestMode;
}

}  // namespace tarnix
