#include "package/Cng.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "Utils/SystemLibrary.h"
#include "Utils/UniqueResource.h"

namespace tarnix {

namespace {

using OpenProviderFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using CloseProviderFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using GetPropertyFn = NTSTATUS(WINAPI*)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using CreateHashFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using HashDataFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHashFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using DestroyFn = NTSTATUS(WINAPI*)(void*);
using ImportKeyPairFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE, LPCWSTR, BCRYPT_KEY_HANDLE*, PUCHAR,
                                          ULONG, ULONG);
using VerifySignatureFn = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, void*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);

constexpr NTSTATUS kSuccess = 0;
constexpr size_t kHashPiece = 1 << 20;

// A CNG handle with the call that releases it, which comes from the
// library loaded at run time.
template <typename Release>
struct CngHandle {
  void* handle = nullptr;
  Release release = nullptr;
  bool operator==(const CngHandle&) const = default;
};

void Release(CngHandle<CloseProviderFn> h) { h.release(h.handle, 0); }
void Release(CngHandle<DestroyFn> h) { h.release(h.handle); }

template <typename ReleaseFn>
struct CngTraits {
  using Type = CngHandle<ReleaseFn>;
  static Type Invalid() { return {}; }
  static void Close(Type h) { Release(h); }
};

using UniqueProvider = UniqueResource<CngTraits<CloseProviderFn>>;
using UniqueCngObject = UniqueResource<CngTraits<DestroyFn>>;

// The entry points of one use of the library.
class Cng {
 public:
  Cng() : library_(LoadSystemLibrary("bcrypt.dll")) {
    if (!library_) return;
    Bind(openProvider_, "BCryptOpenAlgorithmProvider");
    Bind(closeProvider_, "BCryptCloseAlgorithmProvider");
    Bind(getProperty_, "BCryptGetProperty");
    Bind(createHash_, "BCryptCreateHash");
    Bind(hashData_, "BCryptHashData");
    Bind(finishHash_, "BCryptFinishHash");
    Bind(destroyHash_, "BCryptDestroyHash");
    Bind(importKeyPair_, "BCryptImportKeyPair");
    Bind(destroyKey_, "BCryptDestroyKey");
    Bind(verifySignature_, "BCryptVerifySignature");
  }

  bool Loaded() const {
    return openProvider_ && closeProvider_ && getProperty_ && createHash_ && hashData_ && finishHash_ &&
           destroyHash_ && importKeyPair_ && destroyKey_ && verifySignature_;
  }

  UniqueProvider Open(LPCWSTR algorithm) const {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (openProvider_(&handle, algorithm, nullptr, 0) != kSuccess) return {};
    return UniqueProvider({handle, closeProvider_});
  }

  // A SHA-256 hash in progress; its object buffer must outlive it.
  UniqueCngObject CreateHash(const UniqueProvider& sha256, std::vector<UCHAR>& object) const {
    DWORD length = 0;
    ULONG got = 0;
    if (getProperty_(sha256.get().handle, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length,
                     &got, 0) != kSuccess)
      return {};
    object.assign(length, 0);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (createHash_(sha256.get().handle, &hash, object.data(), length, nullptr, 0, 0) != kSuccess) return {};
    return UniqueCngObject({hash, destroyHash_});
  }

  bool HashData(const UniqueCngObject& hash, std::string_view data) const {
    return hashData_(hash.get().handle, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), ULONG(data.size()),
                     0) == kSuccess;
  }

  bool FinishHash(const UniqueCngObject& hash, std::string& digest) const {
    std::string out(kSha256Bytes, '\0');
    if (finishHash_(hash.get().handle, reinterpret_cast<PUCHAR>(out.data()), ULONG(out.size()), 0) != kSuccess)
      return false;
    digest = std::move(out);
    return true;
  }

  UniqueCngObject ImportPublicKey(const UniqueProvider& ecdsa, std::string_view point) const {
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + point.size());
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = ULONG(point.size() / 2);
    std::copy(point.begin(), point.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));
    BCRYPT_KEY_HANDLE key = nullptr;
    if (importKeyPair_(ecdsa.get().handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob.data(), ULONG(blob.size()), 0) !=
        kSuccess)
      return {};
    return UniqueCngObject({key, destroyKey_});
  }

  bool Verify(const UniqueCngObject& key, std::string digest, std::string signature) const {
    return verifySignature_(key.get().handle, nullptr, reinterpret_cast<PUCHAR>(digest.data()), ULONG(digest.size()),
                            reinterpret_cast<PUCHAR>(signature.data()), ULONG(signature.size()), 0) == kSuccess;
  }

 private:
  template <typename Fn>
  void Bind(Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library_.get(), name)));
  }

  UniqueModule library_;
  OpenProviderFn openProvider_ = nullptr;
  CloseProviderFn closeProvider_ = nullptr;
  GetPropertyFn getProperty_ = nullptr;
  CreateHashFn createHash_ = nullptr;
  HashDataFn hashData_ = nullptr;
  FinishHashFn finishHash_ = nullptr;
  DestroyFn destroyHash_ = nullptr;
  ImportKeyPairFn importKeyPair_ = nullptr;
  DestroyFn destroyKey_ = nullptr;
  VerifySignatureFn verifySignature_ = nullptr;
};

}  // namespace

SignatureCheck VerifyP256Signature(std::string_view point, std::string_view data, std::string_view signature) {
  const Cng cng;
  if (!cng.Loaded()) return SignatureCheck::Unavailable;
  const UniqueProvider sha256 = cng.Open(BCRYPT_SHA256_ALGORITHM);
  const UniqueProvider ecdsa = cng.Open(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!sha256 || !ecdsa) return SignatureCheck::Unavailable;
  if (point.size() != kPublicKeyBytes || signature.size() != kSignatureBytes) return SignatureCheck::Bad;
  std::vector<UCHAR> object;
  std::string digest;
  const UniqueCngObject hash = cng.CreateHash(sha256, object);
  if (!hash || !cng.HashData(hash, data) || !cng.FinishHash(hash, digest)) return SignatureCheck::Unavailable;
  // A point that is not on the curve imports as no key: nothing it could
  // have signed.
  const UniqueCngObject key = cng.ImportPublicKey(ecdsa, point);
  if (!key) return SignatureCheck::Bad;
  return cng.Verify(key, digest, std::string(signature)) ? SignatureCheck::Good : SignatureCheck::Bad;
}

HashResult Sha256OfFile(const std::string& path, std::string& digest, uint64_t& size,
                        const std::function<void()>& betweenPieces) {
  digest.clear();
  size = 0;
  const Cng cng;
  if (!cng.Loaded()) return HashResult::Unavailable;
  const UniqueProvider sha256 = cng.Open(BCRYPT_SHA256_ALGORITHM);
  if (!sha256) return HashResult::Unavailable;
  std::vector<UCHAR> object;
  const UniqueCngObject hash = cng.CreateHash(sha256, object);
  if (!hash) return HashResult::Unavailable;
  // Nobody may write to the file while it is hashed.
  UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return HashResult::Unreadable;
  std::string buffer(kHashPiece, '\0');
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) return HashResult::Unreadable;
    if (got == 0) break;
    if (!cng.HashData(hash, std::string_view(buffer.data(), got))) return HashResult::Unavailable;
    size += got;
    if (betweenPieces) betweenPieces();
  }
  return cng.FinishHash(hash, digest) ? HashResult::Done : HashResult::Unavailable;
}

}  // namespace tarnix
