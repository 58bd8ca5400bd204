#include "package/VendorSignature.h"

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text without one line ending at its end.
std::string_view WithoutLastNewLine(std::string_view text) {
  if (text.ends_with("\r\n")) return text.substr(0, text.size() - 2);
  if (text.ends_with('\n')) return text.substr(0, text.size() - 1);
  return text;
}

}  // namespace

bool ParseHexExact(std::string_view hex, size_t bytes, std::string& out) {
  out.clear();
  if (hex.size() != 2 * bytes) return false;
  std::string result(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    result[i] = static_cast<char>(high * 16 + low);
  }
  out = std::move(result);
  return true;
}

std::string LowerHex(std::string_view bytes) { return LowerCase(BytesToHex(bytes, false, false)); }

SignedText SplitSignedText(std::string_view text) {
  SignedText result;
  result.body = text;
  const std::string_view content = WithoutLastNewLine(text);
  const size_t newLine = content.rfind('\n');
  const size_t lineStart = newLine == std::string_view::npos ? 0 : newLine + 1;
  const std::string_view line = content.substr(lineStart);
  if (!line.starts_with(kSignaturePrefix)) return result;
  result.body = text.substr(0, lineStart);
  result.state = ParseHexExact(line.substr(kSignaturePrefix.size()), kSignatureBytes, result.signature)
                     ? SignatureState::Signed
                     : SignatureState::Malformed;
  return result;
}

std::string AppendSignatureLine(std::string_view body, std::string_view signature, std::string_view newLine) {
  std::string text(body);
  if (!text.empty() && !text.ends_with('\n')) text += newLine;
  text += kSignaturePrefix;
  text += LowerHex(signature);
  text += newLine;
  return text;
}

std::string FirstNewLine(std::string_view text) {
  const size_t newLine = text.find('\n');
  if (newLine == std::string_view::npos) return "\r\n";
  return newLine > 0 && text[newLine - 1] == '\r' ? "\r\n" : "\n";
}

std::vector<std::string> SplitPublicKeys(std::string_view keyHex) {
  std::vector<std::string> keys;
  const size_t digits = 2 * kPublicKeyBytes;
  if (keyHex.empty() || keyHex.size() % digits != 0 || keyHex.size() / digits > kMaxPublicKeys) return keys;
  for (size_t at = 0; at < keyHex.size(); at += digits) {
    std::string key;
    if (!ParseHexExact(keyHex.substr(at, digits), kPublicKeyBytes, key)) return {};
    keys.push_back(std::move(key));
  }
  return keys;
}

std::string JoinPublicKeys(const std::vector<std::string>& keys) {
  std::string item;
  for (const std::string& key : keys) item += LowerHex(key);
  return item;
}

AnnouncementVerdict JudgeAnnouncement(std::string_view keyHex, std::string_view text, const SignatureVerifier& verify,
                                      std::string* signer) {
  if (signer) signer->clear();
  const std::vector<std::string> keys = SplitPublicKeys(keyHex);
  if (keys.empty()) return AnnouncementVerdict::NoKey;
  const SignedText signedText = SplitSignedText(text);
  if (signedText.state == SignatureState::Unsigned) return AnnouncementVerdict::NoSignature;
  if (signedText.state == SignatureState::Malformed) return AnnouncementVerdict::MalformedSignature;
  for (const std::string& key : keys) {
    switch (verify(key, signedText.body, signedText.signature)) {
      case SignatureCheck::Good:
        if (signer) *signer = key;
        return AnnouncementVerdict::Accepted;
      case SignatureCheck::Unavailable:
        return AnnouncementVerdict::NoCrypto;
      case SignatureCheck::Bad:
        break;
    }
  }
  return AnnouncementVerdict::WrongSignature;
}

FileCheck JudgeFile(std::string_view announcedSize, std::string_view announcedHash, uint64_t actualSize,
                    std::string_view digest) {
  std::string expected;
  int64_t size = 0;
  if (!ParseHexExact(Trim(announcedHash), kSha256Bytes, expected))
    return {FileVerdict::NoHash, "the signed announcement gives no SHA-256 of it"};
  if (!ParseInt64(announcedSize, size) || size < 0)
    return {FileVerdict::NoSize, "the signed announcement gives no size of it"};
  if (digest.size() != kSha256Bytes) return {FileVerdict::Unreadable, "it cannot be read"};
  if (actualSize != static_cast<uint64_t>(size))
    return {FileVerdict::SizeDiffers,
            "size " + std::to_string(actualSize) + " bytes, announced " + std::to_string(size)};
  if (digest != expected) return {FileVerdict::HashDiffers, "its SHA-256 differs from the announced one"};
  return {};
}

FileCheck NoCryptoCheck() { return {FileVerdict::NoCrypto, "bcrypt.dll is missing: files cannot be checked"}; }

std::string VerdictText(AnnouncementVerdict verdict) {
  switch (verdict) {
    case AnnouncementVerdict::Accepted:
      return "signed by the vendor";
    case AnnouncementVerdict::NoKey:
      return "the package's public key is not a P-256 key";
    case AnnouncementVerdict::NoSignature:
      return "it carries no signature";
    case AnnouncementVerdict::MalformedSignature:
      return "its signature line is malformed";
    case AnnouncementVerdict::WrongSignature:
      return "the signature does not match the vendor's key";
    case AnnouncementVerdict::NoCrypto:
      return "bcrypt.dll is missing: signatures cannot be checked";
  }
  return {};
}

}  // namespace tarnix
