// Tokens stored in package blocks. A stored token is the hex text of a byte
// string (random padding, the clear text, a check byte, an XOR key) with 50
// added to every character. A token that fails its checks reads as a random
// number, so it never equals another one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

std::string Descramble(std::string_view token);

// The builder's side: a stored token whose Descramble is `clear`. `seed`
// picks padding and key, so equal seeds give equal tokens.
std::string ScrambleToken(std::string_view clear, uint32_t seed);

struct ScrambledRecord {
  std::string first;  // descrambled first field
  std::string rest;
};
ScrambledRecord ReadScrambledRecord(std::string_view text);

}  // namespace tarnix
