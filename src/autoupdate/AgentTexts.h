// The agent's texts, [AutoUpdate] of the .original file, each with a built-in
// English default: a vendor's file gives only the texts it changes, as a
// language file does for the stub's own texts. PROG_NAME in a text, a
// default too, is replaced by the caller with the product's name.
#pragma once

#include <array>
#include <string_view>

namespace tarnix {

struct AgentTextKey {
  std::string_view key;
  std::string_view englishDefault;
};

// Every text the agent shows, in the order of its keys.
extern const std::array<AgentTextKey, 27> kAgentTexts;

// The built-in English text of `key` (compared ignoring case); empty for a
// key the agent does not use.
std::string_view AgentTextDefault(std::string_view key);

}  // namespace tarnix
