// Windows only. The extraction engine: turns a setup package, over one or
// more disk files, into files in a folder, asking for further disks, and on
// request writes the agent copy of the stub beside them.
#pragma once

#include <functional>
#include <string>

#include "ui/ProgBar.h"

namespace tarnix {

// The box that asks for the next disk; `text` holds "<DISK_NUM>".
struct DiskPrompt {
  int charset = 0;
  std::string captions;
  std::string title;
  std::string text;
};

struct ExtractResult {
  // The setup entry ("prog.exe* args"); empty when no block marks one or the
  // user gave up at a disk prompt.
  std::string setupEntry;
  // Every disk passed its checksum and every block could be read and
  // inflated. False also when the first disk file is missing.
  bool checksumOk = false;
  // A file could not be written whole: the extraction stopped there, and
  // no setup entry is returned.
  bool writeFailed = false;
  // Why the extraction stopped early; empty when it did not.
  std::string fault;
};

// `packagePath` is the first disk: the executable or a file ending in
// ".001". `agentName` (its file-name part) names the agent copy; empty for
// none. `forcePrompt` asks for every further disk even when it is present.
// `progress` gets action 0 with the number of file blocks, then a step per
// new file and per disk. `stopped` is asked between blocks: once it answers
// true (the window that shows the run was closed), nothing more is written
// and no setup entry is returned.
ExtractResult ExtractPackage(const std::string& packagePath, const std::string& target, const std::string& agentName,
                             bool forcePrompt, const DiskPrompt& prompt, ProgressSink progress,
                             const std::function<bool()>& stopped = {});

}  // namespace tarnix
