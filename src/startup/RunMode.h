// The choice of what one start of the executable does, made from the trailer
// flags of its own package and its own file name, and the names and command
// lines that follow from that choice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

enum class RunMode { Setup, CdRelaunch, PlainAgent, XAgent };

struct RunModeFacts {
  bool isAgent;
  std::string agentExeName;
  bool cdSpanning;
};

RunMode ChooseRunMode(std::string_view params, std::string_view exePath, const RunModeFacts& facts);

// The class of the stub window; a second start of the same executable finds
// the first one's window by it.
std::string WindowClassName(bool agentMode, std::string_view exePath);

// The window class of a running X_ agent of the product.
std::string XAgentClassName(std::string_view agentExeName);

// The command line that starts the copy in the temp folder which runs a CD
// set's package while the CD drive stays free.
std::string CdRelaunchCommandLine(std::string_view copyPath, std::string_view params, std::string_view exePath);

// The command line that starts the X_ copy of the agent: the copy's path,
// then " /TRANSIENTx=" with `transient` and " /SleepX=" with `delay`, each
// only when given.
std::string XAgentCommandLine(std::string_view xPath, std::string_view transient, std::string_view delay);

// The two numbers of "/WM_MSG=" a:b; a missing or non-numeric part is 0.
struct WmMsgArgs {
  int64_t a, b;
};
WmMsgArgs ParseWmMsg(std::string_view value);

}  // namespace tarnix
