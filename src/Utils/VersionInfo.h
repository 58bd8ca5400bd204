// Version numbers of executables, read from their version resources, and the
// text form in which versions are compared: components of equal width,
// zero-padded, so that versions compare correctly as texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

// "," counts as "."; every other character that is neither a digit nor "."
// is dropped. Each of the first `count` components becomes a decimal number
// left-padded with "0" to `width` digits (0 when missing, empty or out of
// the 32-bit range); the components are joined by ".". So "1, 2, 3" with
// width 1 and count 4 gives "1.2.3.0".
std::string NormalizeVersion(std::string_view text, int width, int count);

// The first `count` components of `text` as NormalizeVersion reads them.
std::vector<uint32_t> VersionComponents(std::string_view text, int count);

// Windows only. The file version of `file` (empty = the running executable)
// as "a.b.c.d", normalised when `width` is above 1 or `count` below 4; empty
// when the file has no version resource.
std::string GetExeVersion(const std::string& file, int width, int count);

// Windows only. The string `name` of the first translation in the version
// resource of `file` (empty = the running executable), with "," replaced by
// "." and normalised when `width` is above 1 or `count` below 4; empty when
// missing. Every answer is traced on standard output.
std::string QueryValue(const std::string& file, const std::string& name, int width = 1, int count = 4);

// Windows only. The "ProductVersion" string of `file`, as QueryValue gives it.
std::string GetProductVersion(const std::string& file, int width, int count);

// Windows only. The product version of the system folder's kernel32.dll,
// width 1, four components.
std::string GetKernel32Version();

}  // namespace tarnix
