// The batch script that deletes an executable once its process has ended
// (a running program cannot delete itself), and with it, when asked, the
// folder it ran from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// Lines end in CR LF: the script retries the deletion once a second (a
// ping of the loopback address is the pause every Windows has) until the
// process has gone, removes the folder when asked, then deletes itself. The
// paths are
// quoted with "%" doubled; the caller writes them in the code page cmd.exe
// reads the script in.
// The script's file name for the process `processId`. Each process gets a
// name of its own: two copies ending at the same moment (an agent and a
// relaunched setup, or the agents of two products) would otherwise
// overwrite each other's script, and one copy would never be deleted.
std::string SelfDeleteBatchName(uint32_t processId);

// The name an ending executable takes for its last moments: its path, "."
// + the process id + ".old", beside it.
std::string ParkedExeName(std::string_view exePath, uint32_t processId);

std::string SelfDeleteScript(std::string_view exePath, std::string_view folder, std::string_view batchPath,
                             bool removeFolder);

}  // namespace tarnix
