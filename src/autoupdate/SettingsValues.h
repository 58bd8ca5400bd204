// How the values of the agent's settings files read, whatever reads the
// files: switches are on only as exactly "1", integers are decimal (see
// StrToInt64Def), versions, stamps and sizes keep the low 32 bits, and each
// stored time has a readable companion key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "autoupdate/TransientOverrides.h"

namespace tarnix {

// "1" only: yes, 01, true or " 1" are off.
inline bool IsSwitchOn(std::string_view text) { return text == "1"; }

// Versions, stamps and sizes are kept as 32-bit numbers: the low half of
// what the file holds.
inline int32_t LowInt32(int64_t value) { return static_cast<int32_t>(value); }

// The key beside a stored time that holds the same moment readable.
inline std::string CompanionKey(std::string_view key) { return "__" + std::string(key); }

// Written after every probe into [OriginalSetup] of the .original file, for
// a support desk: what the probe came to ("0 - Error downloading .INFO
// file", "6 - OK - update installed") and why, in a few words.
inline constexpr char kProbeResultKey[] = "ProbeResult";
inline constexpr char kProbeReasonKey[] = "ProbeReason";

// A switch of the announcement under its override slot: what the slot
// forces, else the file's text, which `readText` fetches only then.
template <typename ReadText>
bool EffectiveSwitch(int slot, ReadText readText) {
  if (const std::optional<bool> forced = SwitchOverride(slot)) return *forced;
  return IsSwitchOn(readText());
}

}  // namespace tarnix
