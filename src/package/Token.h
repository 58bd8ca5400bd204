// Tokens stored in package blocks. A stored token is the hex text of a byte
// string (random padding, the clear text, a check byte, an XOR key) with 50
// added to every character. A token that fails its checks reads as a random
// number, so it never equals another one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

std::string Descramble(std::string_view token);

// The builder's side: a stored token whose Descramble is `clear`. `seed`
// picks padding and key, so equal seeds give equal tokens.
std::string ScrambleToken(std::string_view clear, uint32_t seed);

// Each of the two paddings holds 1 to this many bytes.
inline constexpr size_t kMaxTokenPadding = 8;

// The longest stored token for a clear text of this size: a builder that
// must know its header blocks' size before it scrambles plans with this.
constexpr size_t MaxScrambledTokenSize(size_t clearSize) { return 2 * (clearSize + 2 * kMaxTokenPadding + 4); }

struct ScrambledRecord {
  std::string first;  // descrambled first field
  std::string rest;
};
ScrambledRecord ReadScrambledRecord(std::string_view text);

}  // namespace tarnix
