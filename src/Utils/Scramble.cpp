#include <random>

#include "Utils/RandomSeed.h"
#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr std::string_view kMarker = "Scrambled=01";

// XOR with the low byte of (position + key), the key changing its sign after
// every character; applying it twice with the same key restores the text.
void Transform(std::string& text, int key) {
  for (size_t i = 0; i < text.size(); ++i) {
    const int mask = static_cast<int>(i + 1) + key;
    text[i] = static_cast<char>(static_cast<unsigned char>(text[i]) ^ static_cast<unsigned char>(mask & 0xFF));
    key = -key;
  }
}

}  // namespace

std::string ScrambleTextWithKey(std::string_view text, int key, bool hex) {
  if (text.empty() || StartsWith(kMarker, text, false)) return std::string(text);
  // The key travels as one character, so only its low byte can come back.
  key &= 0xFF;
  std::string body(text);
  Transform(body, key);
  std::string result(kMarker);
  result += static_cast<char>(key);
  result += body;
  return hex ? BytesToHex(result, false, false) : result;
}

std::string ScrambleText(std::string_view text, bool scramble, bool hex) {
  if (text.empty()) return {};
  if (scramble) {
    std::minstd_rand rng(static_cast<unsigned>(RandomSeed()));
    return ScrambleTextWithKey(text, std::uniform_int_distribution<int>(0, 89)(rng) + 33, hex);
  }
  const std::string stored = hex ? HexToBytes(text) : std::string(text);
  if (!StartsWith(kMarker, stored, false)) return std::string(text);
  if (stored.size() == kMarker.size()) return {};
  const int key = static_cast<unsigned char>(stored[kMarker.size()]);
  std::string body = stored.substr(kMarker.size() + 1);
  Transform(body, key);
  return body;
}

}  // namespace tarnix
