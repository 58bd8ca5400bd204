// Windows only. What the sample product does when asked to close, and where
// it records its runs: from its command line, else from the settings file
// beside it, so that a copy that is started without arguments (as a restart
// after an update is) can still be told what to do.
//
//   SampleApp.exe [/OnClose=close|ask|ignore] [/Record=PATH]
//
// Settings file: the executable's path with ".ini" in place of ".exe",
// section [SampleApp], keys OnClose and Record.
#pragma once

#include <string>

namespace tarnix::sample {

enum class CloseBehaviour {
  // A close request ends the program.
  Close,
  // A close request asks the user first; only a yes ends the program.
  Ask,
  // A close request changes nothing.
  Ignore,
};

struct Options {
  CloseBehaviour onClose = CloseBehaviour::Close;
  // Empty: no record is written.
  std::string recordPath;
};

Options ReadOptions();

// "close", "ask" or "ignore": the word the options are written with.
const char* BehaviourName(CloseBehaviour behaviour);

}  // namespace tarnix::sample
