// The agent copy of the stub that a setup hands to its setup program to
// install: the stub with its settings, marked as an agent, without the files.
#pragma once

#include <cstdint>
#include <string>

#include "package/PackageFormat.h"

namespace tarnix {

// From a package disk: `image` holds the file from offset 0 to the end of
// its header blocks. The end-of-package field's low half is cleared (the
// agent is read from its physical end) and the trailer follows, with
// IsAgent set and the standard trailer size.
std::string AgentFromPackageImage(std::string image, PackageTrailer trailer);

// From the running stub of a download setup, which carries no files: a
// signature of less than 10,000 bytes after the package's end is cut off
// (an end field of 0 means the file's end),
// and the trailer's IsAgent byte is set.
std::string AgentFromRunningStub(std::string exe, uint64_t endOfPackage);

}  // namespace tarnix
