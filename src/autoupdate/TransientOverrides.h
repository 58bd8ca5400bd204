// The transient overrides: eight small numbers, one set per agent process,
// that can force some switches of the announcement on or off for as long as
// the agent runs. A controlling program sets them through agent commands;
// the agent hands them on to the next agent process as text when it
// restarts itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

// The slots, in the fixed order of the transient text.
enum OverrideSlot : int {
  kSlotAskBeforeCheck = 0,
  kSlotConfirmDownload = 1,
  kSlotConfirmInstall = 2,
  kSlotBackgroundUpdate = 3,
  kSlotInformFinish = 4,
  kSlotRestartProcess = 5,
  kSlotConfirmDownloadForce = 6,
  kSlotConfirmInstallForce = 7,
};
inline constexpr int kOverrideSlotCount = 8;
// The slots that agent commands may set (0 to 5).
inline constexpr int kCommandSlotCount = 6;
// A slot holding this overrides nothing.
inline constexpr uint8_t kNoOverride = 255;

// kNoOverride for a slot outside 0 to 7.
uint8_t OverrideValue(int slot);
// What the slot forces: on when it holds 1, off for any other value; none
// while it holds kNoOverride.
std::optional<bool> SwitchOverride(int slot);

// Whether to ask the user before every automatic check: slot 0 holds 1.
// No settings file has a key for it.
bool AskBeforeCheck();

// Stores the low byte of `value` in a slot 0 to 5; other slots are left
// alone and give false.
bool SetOverride(int slot, int64_t value);

// "|" + each slot in decimal + "|" ..., as in |255|255|255|255|255|255|255|255|.
std::string TransientText();
// Reads `text` as a self-delimited list (its first character is the
// delimiter) and sets slot k to the low byte of item k. A slot keeps its
// value when its item is missing, empty or not a decimal number. A last
// item without its closing delimiter still counts, so |1|0 sets slots 0
// and 1.
void ApplyTransientText(std::string_view text);

}  // namespace tarnix
