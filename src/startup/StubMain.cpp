#include "startup/StubMain.h"

#include "Utils/CommandLine.h"
#include "Utils/ExePath.h"
#include "startup/RunMode.h"
#include "startup/StubState.h"

namespace tarnix {

namespace {

// The work of each mode arrives with the window, the extraction and the
// agent; until then every mode ends at once.
void DoRunStubWin(RunMode mode) {
  switch (mode) {
    case RunMode::Setup:
    case RunMode::CdRelaunch:
    case RunMode::PlainAgent:
    case RunMode::XAgent:
      break;
  }
}

}  // namespace

int StubMain() {
  const std::string exePath = GetExeFileName();
  SetStubPackage(TGFileInfo(exePath));
  const TGFileInfo& package = StubPackage();
  RunModeFacts facts{package.IsAgent(), package.AgentExeName(), package.CdSpanning()};
  DoRunStubWin(ChooseRunMode(GetCommandLineParams(), exePath, facts));
  SetStubPackage(TGFileInfo());
  return static_cast<int>(ExitCode());
}

}  // namespace tarnix
