// A vendor's signature over what the agent and the web installer download.
//
// A package that opts in carries the vendor's ECDSA P-256 public key as the
// sixth item of its settings block: the point X||Y, 64 bytes as 128 hex
// digits. Readers that know only five items never look at it. For a key
// rotation the item may hold two keys, 256 hex digits: the current key's
// point, then the next key's; a signature by either is good. A stub built
// before two keys existed finds no key it can read in such a package; a
// package with one key reads the same as ever.
//
// A signed announcement (.info) ends with one line
//
//   ;Signature=<128 hex digits: r||s, each 32 bytes, big-endian>
//
// over every byte before that line (SHA-256, then ECDSA). To an INI reader
// the line is a comment, and a file without it, or with anything after it,
// is unsigned. The announcement names the files it offers by their exact
// size and SHA-256 ([NewSetup] SizeOfUpdateFile and SHA256OfUpdateFile,
// [AutoInform] SizeOfInformFile and SHA256OfInformFile); a web installer's
// download block carries the full setup's SHA-256 as its sixth item, beside
// the size in its fifth.
//
// Everything here is format and judgement; the hashing and the signature
// check itself are the platform's (Cng.h in the stub, OpenSSL in the
// builder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <functional>
#include <string_view>
#include <vector>

namespace tarnix {

inline constexpr size_t kPublicKeyBytes = 64;
// The most keys a package's key item holds: the current and the next.
inline constexpr size_t kMaxPublicKeys = 2;
inline constexpr size_t kSignatureBytes = 64;
inline constexpr size_t kSha256Bytes = 32;
inline constexpr std::string_view kSignaturePrefix = ";Signature=";

inline constexpr char kUpdateHashKey[] = "SHA256OfUpdateFile";
inline constexpr char kInformHashKey[] = "SHA256OfInformFile";

// Exactly 2 * `bytes` hex digits, either case, and nothing else: the bytes.
// False (and `out` empty) for any other text.
bool ParseHexExact(std::string_view hex, size_t bytes, std::string& out);
// Lower-case hex digits of `bytes`.
std::string LowerHex(std::string_view bytes);

enum class SignatureState {
  Unsigned,   // the last line is not a signature line
  Malformed,  // a signature line whose value is not 128 hex digits
  Signed,
};

struct SignedText {
  SignatureState state = SignatureState::Unsigned;
  // The signed bytes: everything before the signature line. The whole text
  // when it is unsigned.
  std::string_view body;
  // The 64 bytes of r||s when signed.
  std::string signature;
};

// The last line of `text` (one line ending after it is allowed) decides.
SignedText SplitSignedText(std::string_view text);

// `body` with the signature line appended: the body gets `newLine` first
// when it does not end with a line ending, and the signature line ends
// with `newLine` too.
std::string AppendSignatureLine(std::string_view body, std::string_view signature, std::string_view newLine);

// The line ending a text uses first, CR LF when it has none.
std::string FirstNewLine(std::string_view text);

// Why the agent refuses an announcement.
enum class AnnouncementVerdict {
  Accepted,
  NoKey,             // the package's key item is not a P-256 point
  NoSignature,       // the last line is no signature line
  MalformedSignature,
  WrongSignature,    // altered, or signed with another key
  NoCrypto,          // the system cannot check signatures
};

// Why a downloaded file (update, inform file, full setup) is refused.
enum class FileVerdict {
  Accepted,
  NoHash,       // no announced SHA-256, or not 64 hex digits
  NoSize,       // no announced size, or not a size
  Unreadable,   // the file could not be hashed
  SizeDiffers,
  HashDiffers,
  NoCrypto,
};

struct FileCheck {
  FileVerdict verdict = FileVerdict::Accepted;
  // What failed, for the log: "size 1000 bytes, announced 1010".
  std::string reason;

  bool Accepted() const { return verdict == FileVerdict::Accepted; }
};

// The file's size and SHA-256 (`digest`, 32 bytes; empty when the file
// could not be read) against the announced ones: `announcedSize` a decimal
// byte count, `announcedHash` 64 hex digits, both as the vendor wrote them.
FileCheck JudgeFile(std::string_view announcedSize, std::string_view announcedHash, uint64_t actualSize,
                    std::string_view digest);
FileCheck NoCryptoCheck();

enum class SignatureCheck { Good, Bad, Unavailable };
// Checks `signature` (r||s) over `data` with `key` (X||Y).
using SignatureVerifier =
    std::function<SignatureCheck(std::string_view key, std::string_view data, std::string_view signature)>;

// The keys (64 bytes each) of a package's key item: one or kMaxPublicKeys
// points, as 128 hex digits each, one after the other; none for any other
// text.
std::vector<std::string> SplitPublicKeys(std::string_view keyHex);
// The key item of `keys`: their hex digits one after the other.
std::string JoinPublicKeys(const std::vector<std::string>& keys);

// An announcement `text` as downloaded, against the package's key item
// `keyHex`: accepted when any of its keys made the signature; `signer`
// (may be null) then receives that key.
AnnouncementVerdict JudgeAnnouncement(std::string_view keyHex, std::string_view text, const SignatureVerifier& verify,
                                      std::string* signer = nullptr);

// What failed, for the log, such as "the signature does not match the
// vendor's key".
std::string VerdictText(AnnouncementVerdict verdict);

}  // namespace tarnix
