// The tarnix-pack command line: build, inspect, verify, extract, token.
// Exit codes: 0 done, 1 a fault in the package or the inputs, 2 a usage
// error.
#pragma once

#include <ostream>

namespace tarnix::pack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFault = 1;
inline constexpr int kExitUsage = 2;

// Writes results to `out`, errors to `err`; never throws.
int RunTarnixPack(int argc, char** argv, std::ostream& out, std::ostream& err);
int RunTarnixPack(int argc, char** argv);

}  // namespace tarnix::pack
