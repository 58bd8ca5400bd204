// Linked into the stub only: its standard output is the debug channel from
// before the main routine on. Tests link the channel without this file and
// keep their console.
#include "Utils/DebugChannel.h"

namespace tarnix {
namespace {

struct DebugOutputInstaller {
  DebugOutputInstaller() { InstallDebugOutput(); }
} g_debugOutputInstaller;

}  // namespace
}  // namespace tarnix
