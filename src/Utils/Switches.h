// Command-line switches. The parameter text is the command line without the
// program's own path. A switch is "/" + name; a valued switch is "/" + name +
// "=" + value, its value running to the next blank followed by "/" (or the
// end), trimmed, with every double quote removed. Names compare ignoring case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// Switches this program reads.
inline constexpr std::string_view kSwitchHide = "/hide";
inline constexpr std::string_view kSwitchSpanDiskFName1 = "/SpanDiskFName1=";
inline constexpr std::string_view kSwitchSpanCdLvl = "/SpanCdLvl=";
inline constexpr std::string_view kSwitchOriginExe = "/OriginExe=";
inline constexpr std::string_view kSwitchSleepX = "/SleepX=";
inline constexpr std::string_view kSwitchZZ = "/_ZZ=";
inline constexpr std::string_view kSwitchWait = "/WAIT=";
inline constexpr std::string_view kSwitchTransient = "/TRANSIENT=";
inline constexpr std::string_view kSwitchDelay = "/DELAY=";
inline constexpr std::string_view kSwitchStop = "/STOP=";
inline constexpr std::string_view kSwitchWmMsg = "/WM_MSG=";
inline constexpr std::string_view kSwitchTest = "/TEST=";
inline constexpr std::string_view kSwitchTransientX = "/TRANSIENTx=";

// Switches written only for the programs this one starts (the relaunched
// copies also get kSwitchSpanCdLvl, kSwitchSpanDiskFName1 and kSwitchOriginExe).
inline constexpr std::string_view kSwitchThId = "/TH_ID=";
inline constexpr std::string_view kSwitchAutoUpdateProg = "/AutoUpdateProg";
inline constexpr std::string_view kSwitchOriginalInfoFile = "/OriginalInfoFile=";

// The file name of a path: the part after its last backslash or slash.
std::string_view ExeFileName(std::string_view exePath);

// The parameter text of `commandLine`, the raw command line of the program
// whose full path is `exePath`.
std::string CommandLineParams(std::string_view commandLine, std::string_view exePath);

// Whether `sw` occurs as a whole word; a valued switch is not found this way.
bool HasSwitchIn(std::string_view params, std::string_view sw);

// The value of switch `name` ("/Name", "/Name=", or "-Name" for switches
// written with "-"): `def` when absent, the empty text when given empty.
std::string SwitchValueIn(std::string_view params, std::string_view name, std::string_view def);

// The value as a decimal integer; `def` when absent, empty or not a number.
int64_t SwitchIntIn(std::string_view params, std::string_view name, int64_t def);

}  // namespace tarnix
