// Windows only. The vendor's side of signed updates, for tests: a fresh
// ECDSA P-256 key pair made with the platform's CNG, announcements signed
// with it the way `tarnix-pack info --sign` signs them, and the SHA-256 of
// files. The builder signs with OpenSSL, which the Windows test build does
// not have; both write the same signature line.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/UniqueResource.h"
#include "package/VendorSignature.h"
#include "win/DebugTestSupport.h"

namespace tarnix::test {

inline void CloseCngProvider(BCRYPT_ALG_HANDLE provider) { ::BCryptCloseAlgorithmProvider(provider, 0); }
using UniqueCngProvider = UniqueResource<SimpleTraits<BCRYPT_ALG_HANDLE, &CloseCngProvider>>;
using UniqueCngKey = UniqueResource<SimpleTraits<BCRYPT_KEY_HANDLE, &::BCryptDestroyKey>>;
using UniqueCngHash = UniqueResource<SimpleTraits<BCRYPT_HASH_HANDLE, &::BCryptDestroyHash>>;

inline UniqueCngProvider OpenCngProvider(LPCWSTR algorithm) {
  BCRYPT_ALG_HANDLE provider = nullptr;
  EXPECT_EQ(::BCryptOpenAlgorithmProvider(&provider, algorithm, nullptr, 0), 0);
  return UniqueCngProvider(provider);
}

class TestSigner {
 public:
  TestSigner() : ecdsa_(OpenCngProvider(BCRYPT_ECDSA_P256_ALGORITHM)) {
    BCRYPT_KEY_HANDLE key = nullptr;
    EXPECT_EQ(::BCryptGenerateKeyPair(ecdsa_.get(), &key, 256, 0), 0);
    key_.reset(key);
    EXPECT_EQ(::BCryptFinalizeKeyPair(key_.get(), 0), 0);
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + kPublicKeyBytes);
    ULONG length = 0;
    EXPECT_EQ(
        ::BCryptExportKey(key_.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, blob.data(), ULONG(blob.size()), &length, 0), 0);
    point_.assign(reinterpret_cast<const char*>(blob.data()) + sizeof(BCRYPT_ECCKEY_BLOB), kPublicKeyBytes);
  }

  // What a package carries: the point X||Y as hex digits.
  std::string PublicKeyHex() const { return LowerHex(point_); }

  // r||s over `data`.
  std::string Sign(std::string_view data) const {
    std::string digest = Sha256(data);
    std::string signature(kSignatureBytes, '\0');
    ULONG length = 0;
    EXPECT_EQ(::BCryptSignHash(key_.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()), ULONG(digest.size()),
                               reinterpret_cast<PUCHAR>(signature.data()), ULONG(signature.size()), &length, 0),
              0);
    return signature;
  }

  // The announcement with its signature line.
  std::string Signed(const std::string& body) const { return AppendSignatureLine(body, Sign(body), "\r\n"); }

  static std::string Sha256(std::string_view data) {
    const UniqueCngProvider sha = OpenCngProvider(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE raw = nullptr;
    EXPECT_EQ(::BCryptCreateHash(sha.get(), &raw, nullptr, 0, nullptr, 0, 0), 0);
    const UniqueCngHash hash(raw);
    std::string digest(kSha256Bytes, '\0');
    ::BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), ULONG(data.size()), 0);
    ::BCryptFinishHash(hash.get(), reinterpret_cast<PUCHAR>(digest.data()), ULONG(digest.size()), 0);
    return digest;
  }
  static std::string Sha256HexOfFile(const std::string& path) { return LowerHex(Sha256(ReadWholeFile(path))); }

 private:
  UniqueCngProvider ecdsa_;
  UniqueCngKey key_;
  std::string point_;
};

}  // namespace tarnix::test
