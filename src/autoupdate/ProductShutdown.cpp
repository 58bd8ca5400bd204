#include "autoupdate/ProductShutdown.h"

namespace tarnix {

ShutDownMethodKind ShutDownMethodOf(std::string_view method) {
  if (method == "Issue a Message Box") return ShutDownMethodKind::AskUser;
  if (method == "Using WM_CLOSE") return ShutDownMethodKind::WmClose;
  if (method == "Using WM_QUIT") return ShutDownMethodKind::WmQuit;
  if (method == "Using Terminate Process") return ShutDownMethodKind::Terminate;
  if (method == "Don't Shut Down") return ShutDownMethodKind::DontShutDown;
  return ShutDownMethodKind::Other;
}

}  // namespace tarnix
