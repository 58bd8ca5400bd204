#include "Signing.h"

namespace tarnix::pack {

bool SigningAvailable() { return false; }

bool GenerateKeyPair(const std::string&, const std::string&, std::string& error) {
  error = kNoSigning;
  return false;
}

bool ReadPublicKey(const std::string&, std::string&, std::string& error) {
  error = kNoSigning;
  return false;
}

bool SignData(const std::string&, std::string_view, std::string&, std::string& error) {
  error = kNoSigning;
  return false;
}

bool VerifyData(std::string_view, std::string_view, std::string_view) { return false; }

bool Sha256OfFile(const std::string&, std::string&, std::string& error) {
  error = kNoSigning;
  return false;
}

bool RawSignatureFromDer(std::string_view, std::string&) { return false; }
bool DerSignatureFromRaw(std::string_view, std::string&) { return false; }

}  // namespace tarnix::pack
