// A stand-in for a product's setup program, with which the stub's setup
// mode runs end to end: the stub packs it, starts it with the run token and
// waits for it. It installs the files that were packed beside it.
//
//   Setup.exe [/InstallDir=PATH] [/ExitCode=N] [/DelayMs=N] [/KeepAtom]
//             [/NoCopy] [/Record=PATH] [/TH_ID=TOKEN /OriginExe="PATH"
//             [/AutoUpdateProg]]
//
// /InstallDir  where it installs; default: Program Files\Tarnix Sample Product
// /ExitCode    its exit code (default 0; 255 when it fails unexpectedly)
// /DelayMs     keeps the dialog up this long after copying
// /KeepAtom    ends as an installation that did not complete
// /NoCopy      copies nothing
// /Record      writes the run record (Record.h)
//
// While its dialog is up it owns a top-level window of class
// ".SDialog_Class_Name." + token; a completed installation deletes the
// global atom "AutoUpdateAtomTokenByTarnix" + token, which is how the stub
// tells a finished setup from an abandoned one.
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "Install.h"
#include "Options.h"
#include "Record.h"
#include "SetupDialog.h"
#include "Utils/DebugChannel.h"
#include "Utils/MessagePump.h"
#include "Utils/StrUtils.h"
#include "Utils/Trace.h"

namespace tarnix::standin {

namespace {

constexpr int kUnexpectedFailureExitCode = 255;

void DeleteRunAtom(const std::string& token) {
  if (const ATOM atom = ::GlobalFindAtomA(RunAtomName(token).c_str())) ::GlobalDeleteAtom(atom);
}

uint32_t Run(int showCommand) {
  const char* commandLine = ::GetCommandLineA();
  const Options options = ReadOptions(commandLine ? commandLine : "");
  const bool atomFound = ::GlobalFindAtomA(RunAtomName(options.token).c_str()) != 0;
  RecordStart(options.recordPath, options.token, atomFound);
  Trace("%lu ==== Setup stand-in, token \"%s\", atom found: %s", ::GetCurrentProcessId(), options.token.c_str(),
        BoolText(atomFound));

  bool completed = !options.keepAtom;
  int copied = 0;
  {
    SetupDialog dialog(DialogClassName(options.token), showCommand);
    if (!options.noCopy) {
      const std::string installDir = options.installDir.empty() ? DefaultInstallDir() : options.installDir;
      const std::vector<std::string> names = FilesBesideProgram();
      dialog.SetText("Installing into " + installDir);
      dialog.SetProgress(0, static_cast<int>(names.size()));
      copied = InstallFiles(names, installDir, [&](int done, const std::string& name) {
        dialog.SetText("Copied " + name);
        dialog.SetProgress(done, static_cast<int>(names.size()));
        YieldX(0);
      });
      completed = completed && copied == static_cast<int>(names.size());
      Trace("%lu ==== Copied %d of %u files into %s", ::GetCurrentProcessId(), copied,
            static_cast<unsigned>(names.size()), installDir.c_str());
    }
    dialog.SetText(completed ? "Installation complete." : "Installation not completed.");
    if (options.delayMs > 0) DelayPump(0, options.delayMs);
    if (completed) DeleteRunAtom(options.token);
  }
  RecordEnd(options.recordPath, completed, copied);
  return options.exitCode;
}

}  // namespace

}  // namespace tarnix::standin

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  tarnix::InstallDebugOutput();
  try {
    return static_cast<int>(tarnix::standin::Run(showCommand));
  } catch (const std::exception& e) {
    tarnix::ReportException(e, "StandinSetup.Run()", "");
    return tarnix::standin::kUnexpectedFailureExitCode;
  }
}
