#include <random>

#include "Utils/RandomSeed.h"
#include "Utils/StrUtils.h"
#include "package/Token.h"

namespace tarnix {

namespace {

constexpr unsigned char kShift = 50;

unsigned char CheckByte(const std::string& d) {
  unsigned sum = 0;
  for (size_t i = 0; i < d.size(); ++i)
    if (i != d.size() - 2) sum += static_cast<unsigned char>(d[i]);
  return static_cast<unsigned char>(sum);
}

}  // namespace

std::string Descramble(std::string_view token) {
  std::mt19937 rng(static_cast<uint32_t>(RandomSeed()));
  std::string result = std::to_string(std::uniform_int_distribution<int>(0, 99998)(rng));

  std::string hex(token);
  for (char& c : hex) c = static_cast<char>(static_cast<unsigned char>(c) - kShift);
  std::string d = HexToBytes(hex);
  const size_t n = d.size();
  if (n <= 4) return result;
  if (static_cast<unsigned char>(d[n - 2]) != CheckByte(d)) return result;

  const unsigned char key = static_cast<unsigned char>(d[0] ^ d[n - 1]);
  for (size_t i = 1; i <= n - 2; ++i) d[i] = static_cast<char>(d[i] ^ key);
  const size_t p = static_cast<unsigned char>(d[1]);
  const size_t q = static_cast<unsigned char>(d[2]);
  // Padding sizes that do not fit the token make it invalid, not a read past
  // its end.
  if (p + q + 4 > n) return result;
  return d.substr(p + 3, n - p - q - 4);
}

std::string ScrambleToken(std::string_view clear, uint32_t seed) {
  std::mt19937 rng(seed);
  auto byte = [&] { return static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng)); };
  const size_t p = std::uniform_int_distribution<size_t>(1, kMaxTokenPadding)(rng);
  const size_t q = std::uniform_int_distribution<size_t>(1, kMaxTokenPadding)(rng);

  // Layout before the XOR: key-half, p, q, p padding bytes, clear text,
  // q - 1 padding bytes, check byte, key-half.
  std::string d;
  d += byte();
  d += static_cast<char>(p);
  d += static_cast<char>(q);
  for (size_t i = 0; i < p; ++i) d += byte();
  d.append(clear);
  for (size_t i = 1; i < q; ++i) d += byte();
  d += '\0';
  d += byte();

  const unsigned char key = static_cast<unsigned char>(d.front() ^ d.back());
  for (size_t i = 1; i <= d.size() - 2; ++i) d[i] = static_cast<char>(d[i] ^ key);
  d[d.size() - 2] = static_cast<char>(CheckByte(d));

  std::string hex = BytesToHex(d, false, false);
  for (char& c : hex) c = static_cast<char>(static_cast<unsigned char>(c) + kShift);
  return hex;
}

ScrambledRecord ReadScrambledRecord(std::string_view text) {
  std::string t = ScrambleText(text, false, false);
  size_t bar = t.find('|');
  if (bar == std::string::npos) return {Descramble({}), {}};
  t.erase(0, bar + 1);
  std::string fields[4];
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    size_t next = t.find('|', pos);
    if (next == std::string::npos) {
      fields[i] = t.substr(pos);
      pos = t.size();
      break;
    }
    fields[i] = t.substr(pos, next - pos);
    pos = next + 1;
  }
  return {Descramble(fields[0]), pos < t.size() ? t.substr(pos) : std::string()};
}

}  // namespace tarnix
