#include "autoupdate/AgentState.h"

namespace tarnix {

AgentState& Agent() {
  static AgentState state;
  return state;
}

bool IsOnDemandCheck() { return Agent().OnDemand == 1; }

}  // namespace tarnix
