// Windows only. The platform's hashing and signature checks (CNG, from
// bcrypt.dll): SHA-256 and ECDSA over P-256. The library comes from the
// system folder when asked for and is let go again; systems before Vista
// have none, and every call then answers that it is unavailable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "package/VendorSignature.h"

namespace tarnix {

// Whether `signature` (r||s) over `data` is good for the P-256 point X||Y.
SignatureCheck VerifyP256Signature(std::string_view point, std::string_view data, std::string_view signature);

enum class HashResult { Done, Unreadable, Unavailable };

// The SHA-256 of a file's bytes (32 bytes) and how many there were;
// `betweenPieces` runs after every piece read, so that a large file does
// not stop the windows.
HashResult Sha256OfFile(const std::string& path, std::string& digest, uint64_t& size,
                        const std::function<void()>& betweenPieces);

}  // namespace tarnix
