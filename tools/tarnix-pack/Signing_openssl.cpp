#include "Signing.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "package/VendorSignature.h"

namespace tarnix::pack {

namespace {

constexpr size_t kCoordinateBytes = kPublicKeyBytes / 2;
constexpr char kCurve[] = SN_X9_62_prime256v1;

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* p) const {
    Free(p);
  }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<&EVP_PKEY_free>>;
using Bio = std::unique_ptr<BIO, Deleter<&BIO_free_all>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<&EVP_MD_CTX_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<&EVP_PKEY_CTX_free>>;
using Number = std::unique_ptr<BIGNUM, Deleter<&BN_free>>;
using EcdsaSig = std::unique_ptr<ECDSA_SIG, Deleter<&ECDSA_SIG_free>>;
using ParamBuilder = std::unique_ptr<OSSL_PARAM_BLD, Deleter<&OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<&OSSL_PARAM_free>>;

// The library's own reason for the last failure, for the error line.
std::string LibraryError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// Keys are only ever read from PEM files without a passphrase: a prompt
// would stop a build script.
int NoPassphrase(char*, int, int, void*) { return -1; }

bool IsP256(const EVP_PKEY* key) {
  char group[64] = {};
  size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") &&
         EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &length) &&
         std::string(group, length) == kCurve;
}

Key ReadKey(const std::string& path, bool wantPrivate, std::string& error) {
  Bio file(BIO_new_file(path.c_str(), "rb"));
  if (!file) {
    error = path + ": cannot be read";
    return nullptr;
  }
  Key key(wantPrivate ? PEM_read_bio_PrivateKey(file.get(), nullptr, NoPassphrase, nullptr) : nullptr);
  if (!key && !wantPrivate) {
    // A public key file, or the private key, which holds the public one.
    key.reset(PEM_read_bio_PUBKEY(file.get(), nullptr, NoPassphrase, nullptr));
    if (!key) {
      BIO_reset(file.get());
      key.reset(PEM_read_bio_PrivateKey(file.get(), nullptr, NoPassphrase, nullptr));
    }
  }
  ERR_clear_error();
  if (!key) {
    error = path + (wantPrivate ? ": not a PEM private key without a passphrase" : ": not a PEM key");
    return nullptr;
  }
  if (!IsP256(key.get())) {
    error = path + ": not an ECDSA P-256 key";
    return nullptr;
  }
  return key;
}

bool PublicPoint(const EVP_PKEY* key, std::string& point) {
  BIGNUM* rawX = nullptr;
  BIGNUM* rawY = nullptr;
  const bool got = EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_EC_PUB_X, &rawX) &&
                   EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_EC_PUB_Y, &rawY);
  Number x(rawX), y(rawY);
  if (!got) return false;
  point.assign(kPublicKeyBytes, '\0');
  auto* out = reinterpret_cast<unsigned char*>(point.data());
  return BN_bn2binpad(x.get(), out, kCoordinateBytes) == int(kCoordinateBytes) &&
         BN_bn2binpad(y.get(), out + kCoordinateBytes, kCoordinateBytes) == int(kCoordinateBytes);
}

Key KeyFromPoint(std::string_view point) {
  if (point.size() != kPublicKeyBytes) return nullptr;
  std::string encoded = "\x04" + std::string(point);
  ParamBuilder builder(OSSL_PARAM_BLD_new());
  if (!builder || !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) ||
      !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded.data(), encoded.size()))
    return nullptr;
  Params params(OSSL_PARAM_BLD_to_param(builder.get()));
  KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) <= 0 ||
      EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0) {
    ERR_clear_error();
    return nullptr;
  }
  return Key(key);
}

// Creates `path` for writing with the given permissions; fails when it
// exists.
Bio CreateExclusive(const std::string& path, mode_t mode, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (fd < 0) {
    error = path + (errno == EEXIST ? ": exists already; a key is never overwritten" : ": cannot be created");
    return nullptr;
  }
  FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    ::close(fd);
    error = path + ": cannot be created";
    return nullptr;
  }
  return Bio(BIO_new_fp(file, BIO_CLOSE));
}

bool WriteKeyFile(const std::string& path, mode_t mode, const EVP_PKEY* key, bool privatePart, std::string& error) {
  Bio file = CreateExclusive(path, mode, error);
  if (!file) return false;
  const int written = privatePart ? PEM_write_bio_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr)
                                  : PEM_write_bio_PUBKEY(file.get(), key);
  if (written != 1 || BIO_flush(file.get()) != 1) {
    error = path + ": cannot be written (" + LibraryError() + ")";
    file.reset();
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool SigningAvailable() { return true; }

bool GenerateKeyPair(const std::string& privatePath, const std::string& publicPath, std::string& error) {
  Key key(EVP_EC_gen(kCurve));
  if (!key) {
    error = "cannot generate a key (" + LibraryError() + ")";
    return false;
  }
  if (!WriteKeyFile(privatePath, 0600, key.get(), true, error)) return false;
  if (!WriteKeyFile(publicPath, 0644, key.get(), false, error)) {
    std::remove(privatePath.c_str());
    return false;
  }
  return true;
}

bool ReadPublicKey(const std::string& pemPath, std::string& point, std::string& error) {
  Key key = ReadKey(pemPath, false, error);
  if (!key) return false;
  if (!PublicPoint(key.get(), point)) {
    error = pemPath + ": the public point cannot be read";
    return false;
  }
  return true;
}

bool SignData(const std::string& privatePemPath, std::string_view data, std::string& signature, std::string& error) {
  Key key = ReadKey(privatePemPath, true, error);
  if (!key) return false;
  DigestContext context(EVP_MD_CTX_new());
  size_t length = 0;
  std::vector<unsigned char> der;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &length, bytes, data.size()) != 1 ||
      (der.resize(length), EVP_DigestSign(context.get(), der.data(), &length, bytes, data.size()) != 1) ||
      !RawSignatureFromDer(std::string_view(reinterpret_cast<const char*>(der.data()), length), signature)) {
    error = privatePemPath + ": cannot sign (" + LibraryError() + ")";
    return false;
  }
  return true;
}

bool VerifyData(std::string_view point, std::string_view data, std::string_view signature) {
  Key key = KeyFromPoint(point);
  std::string der;
  if (!key || !DerSignatureFromRaw(signature, der)) return false;
  DigestContext context(EVP_MD_CTX_new());
  const bool good = context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
                    EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
  ERR_clear_error();
  return good;
}

bool Sha256OfFile(const std::string& path, std::string& digest, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  DigestContext context(EVP_MD_CTX_new());
  if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    error = path + ": cannot be read";
    return false;
  }
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.gcount() > 0) EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(in.gcount()));
  }
  if (!in.eof()) {
    error = path + ": cannot be read";
    return false;
  }
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), out, &length);
  digest.assign(reinterpret_cast<const char*>(out), length);
  return true;
}

bool RawSignatureFromDer(std::string_view der, std::string& raw) {
  const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
  EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der.size())));
  ERR_clear_error();
  // Trailing bytes after the sequence are not a signature either.
  if (!sig || cursor != reinterpret_cast<const unsigned char*>(der.data()) + der.size()) return false;
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  ECDSA_SIG_get0(sig.get(), &r, &s);
  std::string out(kSignatureBytes, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(out.data());
  if (BN_bn2binpad(r, bytes, kCoordinateBytes) != int(kCoordinateBytes) ||
      BN_bn2binpad(s, bytes + kCoordinateBytes, kCoordinateBytes) != int(kCoordinateBytes))
    return false;
  raw = std::move(out);
  return true;
}

bool DerSignatureFromRaw(std::string_view raw, std::string& der) {
  if (raw.size() != kSignatureBytes) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
  Number r(BN_bin2bn(bytes, kCoordinateBytes, nullptr));
  Number s(BN_bin2bn(bytes + kCoordinateBytes, kCoordinateBytes, nullptr));
  EcdsaSig sig(ECDSA_SIG_new());
  if (!r || !s || !sig || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) return false;
  // The signature owns both numbers now.
  r.release();
  s.release();
  unsigned char* out = nullptr;
  const int length = i2d_ECDSA_SIG(sig.get(), &out);
  if (length <= 0) return false;
  der.assign(reinterpret_cast<const char*>(out), static_cast<size_t>(length));
  OPENSSL_free(out);
  return true;
}

}  // namespace tarnix::pack
