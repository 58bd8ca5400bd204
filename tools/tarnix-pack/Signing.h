// The vendor's keys, file hashes and signatures, through OpenSSL's
// libcrypto: ECDSA over P-256 with SHA-256, keys as standard PEM files
// (PKCS#8 for the private key, SubjectPublicKeyInfo for the public one).
// Signatures leave here as r||s, 64 bytes, which is what the stub's check
// takes (package/VendorSignature.h).
//
// A build without libcrypto (the Windows build: MinGW has none) has every
// call fail with kNoSigning.
#pragma once

#include <string>
#include <string_view>

namespace tarnix::pack {

inline constexpr char kNoSigning[] =
    "this build of tarnix-pack has no OpenSSL (libcrypto); keys, hashes and signatures need the native build";

bool SigningAvailable();

// A new key pair. Neither file may exist yet: a key that signed releases
// must never be replaced by accident, or installed agents would refuse every
// later update. The private key file is readable by its owner only.
bool GenerateKeyPair(const std::string& privatePath, const std::string& publicPath, std::string& error);

// The public point X||Y (64 bytes) of a PEM file that holds a P-256 public
// key or private key.
bool ReadPublicKey(const std::string& pemPath, std::string& point, std::string& error);

// The signature r||s of `data` with the private key in `privatePemPath`.
bool SignData(const std::string& privatePemPath, std::string_view data, std::string& signature, std::string& error);

// Whether `signature` (r||s) over `data` is good for the point X||Y.
bool VerifyData(std::string_view point, std::string_view data, std::string_view signature);

// The SHA-256 (32 bytes) of a file's contents.
bool Sha256OfFile(const std::string& path, std::string& digest, std::string& error);

// A signature as DER (ECDSA-Sig-Value, what `openssl dgst -sign` writes) and
// as r||s.
bool RawSignatureFromDer(std::string_view der, std::string& raw);
bool DerSignatureFromRaw(std::string_view raw, std::string& der);

}  // namespace tarnix::pack
