// Registry values addressed by one full path such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion". Splitting
// the path and turning a value's bytes into text are plain rules; only the
// read itself needs the platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// The registry view that every registry read of the program passes.
inline constexpr bool Use64BitRegistryView = false;

// The predefined root keys, with the platform's numbers for them.
enum class RegRoot : uint32_t {
  ClassesRoot = 0x80000000,
  CurrentUser = 0x80000001,
  LocalMachine = 0x80000002,
  Users = 0x80000003,
  CurrentConfig = 0x80000005,
  DynData = 0x80000006,
};

// "HKEY_CLASSES_ROOT" or "HKCR" and so on, in any case; any other text
// names HKEY_CURRENT_USER.
RegRoot RootKeyFromName(std::string_view name);

struct RegPath {
  RegRoot root = RegRoot::CurrentUser;
  std::string subKey;
};

// The trimmed path is read under HKEY_CURRENT_USER unless it begins with
// "HK": then the text before the first backslash (or the whole path, when it
// has none) names the root and the rest is the sub-key.
RegPath SplitRegPath(std::string_view path);

// Value types as the platform numbers them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

// The text of a value of `type` whose bytes are `data`: a 4-byte REG_DWORD
// in decimal; a REG_MULTI_SZ of more than 2 bytes without its trailing zero
// bytes and with every other zero byte written as "<0>"; anything else up to
// its first zero byte or its end.
std::string RegValueText(uint32_t type, std::string_view data);

// Values longer than this are not read.
inline constexpr size_t kMaxRegValueBytes = 1 << 20;

// Windows only. The text of value `name` (empty = the key's default value)
// under `path`, or `def` when the key or value cannot be read. `view64`
// reads the 64-bit registry view.
std::string ReadRegValue(std::string_view path, std::string_view name, std::string_view def, bool view64);

}  // namespace tarnix
