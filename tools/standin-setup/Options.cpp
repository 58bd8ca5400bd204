#include "Options.h"

#include <cstdint>

#include "Utils/Switches.h"

namespace tarnix::standin {

namespace {

constexpr std::string_view kSwitchInstallDir = "/InstallDir=";
constexpr std::string_view kSwitchExitCode = "/ExitCode=";
constexpr std::string_view kSwitchDelayMs = "/DelayMs=";
constexpr std::string_view kSwitchKeepAtom = "/KeepAtom";
constexpr std::string_view kSwitchNoCopy = "/NoCopy";
constexpr std::string_view kSwitchRecord = "/Record=";

// A test that keeps the dialog up longer than this has lost its way; the
// stub would wait for it without end.
constexpr int64_t kLongestDelayMs = 10 * 60 * 1000;

// The command line after the program's path, which is taken the way the C
// runtime takes it: up to the closing quote when quoted, else up to the
// first blank. Searching for the program's file name instead would stop at
// the stub's quoted /OriginExe= path whenever that ends with the same name,
// as SampleSetup.exe ends with Setup.exe.
std::string_view ParamsAfterProgram(std::string_view commandLine) {
  size_t end = 0;
  if (!commandLine.empty() && commandLine.front() == '"') {
    end = commandLine.find('"', 1);
    end = end == std::string_view::npos ? commandLine.size() : end + 1;
  } else {
    end = commandLine.find_first_of(" \t");
    if (end == std::string_view::npos) end = commandLine.size();
  }
  return commandLine.substr(end);
}

}  // namespace

Options ReadOptions(std::string_view commandLine) {
  const std::string_view params = ParamsAfterProgram(commandLine);
  Options options;
  options.token = SwitchValueIn(params, kSwitchThId, "");
  options.installDir = SwitchValueIn(params, kSwitchInstallDir, "");
  // Negative codes are accepted as the 32-bit values a process exit code
  // holds; anything wider is no exit code at all.
  const int64_t exitCode = SwitchIntIn(params, kSwitchExitCode, 0);
  if (exitCode >= INT32_MIN && exitCode <= UINT32_MAX) options.exitCode = static_cast<uint32_t>(exitCode);
  const int64_t delayMs = SwitchIntIn(params, kSwitchDelayMs, 0);
  if (delayMs > 0) options.delayMs = static_cast<uint32_t>(delayMs < kLongestDelayMs ? delayMs : kLongestDelayMs);
  options.keepAtom = HasSwitchIn(params, kSwitchKeepAtom);
  options.noCopy = HasSwitchIn(params, kSwitchNoCopy);
  options.recordPath = SwitchValueIn(params, kSwitchRecord, "");
  return options;
}

std::string DialogClassName(std::string_view token) { return ".SDialog_Class_Name." + std::string(token); }

std::string RunAtomName(std::string_view token) { return "AutoUpdateAtomTokenByTarnix" + std::string(token); }

}  // namespace tarnix::standin
