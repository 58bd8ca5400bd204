// The formats of a vendor's signature: strict hex, the signature line that
// ends a signed announcement, and the judgement of announcements and
// downloaded files. The signature check itself is a stand-in here that
// accepts exactly one (key, data, signature) triple.
#include "package/VendorSignature.h"

#include "Utils/StrUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnix {
namespace {

const std::string kKey(kPublicKeyBytes, '\x11');
const std::string kKeyHex(2 * kPublicKeyBytes, '1');
const std::string kSignature(kSignatureBytes, '\xAB');
const std::string kSignatureHex = LowerHex(kSignature);
const std::string kBody = "[NewSetup]\r\nVersionNew=2\r\n";

// Good for the signature over kBody with kKey, bad for anything else.
SignatureCheck Verify(std::string_view key, std::string_view data, std::string_view signature) {
  return key == kKey && data == kBody && signature == kSignature ? SignatureCheck::Good : SignatureCheck::Bad;
}

TEST(VendorSignatureTest, HexIsParsedOnlyWhenItIsExactlyTheLengthAsked) {
  struct Case {
    const char* name;
    std::string hex;
    size_t bytes;
    bool ok;
    std::string expected;
  } cases[] = {
      {"lower case", "00ff7a", 3, true, std::string("\x00\xff\x7a", 3)},
      {"upper case", "00FF7A", 3, true, std::string("\x00\xff\x7a", 3)},
      {"one digit short", "00ff7", 3, false, ""},
      {"one digit over", "00ff7a0", 3, false, ""},
      {"a blank inside", "00 ff7a", 3, false, ""},
      {"a blank after", "00ff7a ", 3, false, ""},
      {"a non-hex letter", "00fg7a", 3, false, ""},
      {"a sign", "+0ff7a", 3, false, ""},
      {"nothing for nothing", "", 0, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = "stale";
    EXPECT_EQ(ParseHexExact(c.hex, c.bytes, out), c.ok);
    EXPECT_EQ(out, c.expected);
  }
  EXPECT_EQ(LowerHex(std::string("\x00\xff\x7a", 3)), "00ff7a");
}

TEST(VendorSignatureTest, TheLastLineDecidesWhetherATextIsSigned) {
  const std::string line = ";Signature=" + kSignatureHex;
  struct Case {
    const char* name;
    std::string text;
    SignatureState state;
    std::string body;
  } cases[] = {
      {"CR LF after the line", kBody + line + "\r\n", SignatureState::Signed, kBody},
      {"LF after the line", "[A]\nk=v\n" + line + "\n", SignatureState::Signed, "[A]\nk=v\n"},
      {"nothing after the line", kBody + line, SignatureState::Signed, kBody},
      {"the line alone", line, SignatureState::Signed, ""},
      {"upper-case digits", kBody + ";Signature=" + BytesToHex(kSignature, false, false), SignatureState::Signed, kBody},
      {"no line", kBody, SignatureState::Unsigned, kBody},
      {"an empty text", "", SignatureState::Unsigned, ""},
      {"a blank line after it", kBody + line + "\r\n\r\n", SignatureState::Unsigned, kBody + line + "\r\n\r\n"},
      {"a key after it", kBody + line + "\r\nStamp=9\r\n", SignatureState::Unsigned, kBody + line + "\r\nStamp=9\r\n"},
      {"the line not last", line + "\r\n" + kBody, SignatureState::Unsigned, line + "\r\n" + kBody},
      {"another case of the name", kBody + ";signature=" + kSignatureHex, SignatureState::Unsigned,
       kBody + ";signature=" + kSignatureHex},
      {"a blank before the line", kBody + " " + line, SignatureState::Unsigned, kBody + " " + line},
      {"a short value", kBody + ";Signature=abcd\r\n", SignatureState::Malformed, kBody},
      {"a blank after the value", kBody + line + " \r\n", SignatureState::Malformed, kBody},
      {"no value", kBody + ";Signature=", SignatureState::Malformed, kBody},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SignedText split = SplitSignedText(c.text);
    EXPECT_EQ(split.state, c.state);
    EXPECT_EQ(split.body, c.body);
    EXPECT_EQ(split.signature, c.state == SignatureState::Signed ? kSignature : "");
  }
}

TEST(VendorSignatureTest, AnAppendedLineSplitsOffAgainIntoTheSameBodyAndSignature) {
  struct Case {
    const char* name;
    std::string body;
    const char* newLine;
    std::string signedBody;
  } cases[] = {
      {"CR LF file", kBody, "\r\n", kBody},
      {"LF file", "[A]\nk=v\n", "\n", "[A]\nk=v\n"},
      {"no line end at the end", "[A]\r\nk=v", "\r\n", "[A]\r\nk=v\r\n"},
      {"an empty body", "", "\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = AppendSignatureLine(c.body, kSignature, c.newLine);
    EXPECT_TRUE(text.ends_with(std::string(c.newLine)));
    const SignedText split = SplitSignedText(text);
    EXPECT_EQ(split.state, SignatureState::Signed);
    EXPECT_EQ(split.body, c.signedBody);
    EXPECT_EQ(split.signature, kSignature);
  }
  EXPECT_EQ(FirstNewLine("a\nb\r\n"), "\n");
  EXPECT_EQ(FirstNewLine("a\r\nb\n"), "\r\n");
  EXPECT_EQ(FirstNewLine("a"), "\r\n");
}

TEST(VendorSignatureTest, AnAnnouncementIsAcceptedOnlyWithAGoodSignatureByThePackagesKey) {
  const std::string line = ";Signature=" + LowerHex(kSignature) + "\r\n";
  std::string flipped = kBody + line;
  flipped[3] ^= 1;
  struct Case {
    const char* name;
    std::string keyHex;
    std::string text;
    AnnouncementVerdict verdict;
  } cases[] = {
      {"signed", kKeyHex, kBody + line, AnnouncementVerdict::Accepted},
      {"one byte of the body changed", kKeyHex, flipped, AnnouncementVerdict::WrongSignature},
      {"a line added before the signature", kKeyHex, kBody + "Stamp=9\r\n" + line, AnnouncementVerdict::WrongSignature},
      {"another key's signature", kKeyHex,
       kBody + ";Signature=" + std::string(2 * kSignatureBytes, 'b') + "\r\n", AnnouncementVerdict::WrongSignature},
      {"no signature", kKeyHex, kBody, AnnouncementVerdict::NoSignature},
      {"a cut signature", kKeyHex, kBody + ";Signature=abab\r\n", AnnouncementVerdict::MalformedSignature},
      {"a key item that is no key", "1234", kBody + line, AnnouncementVerdict::NoKey},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JudgeAnnouncement(c.keyHex, c.text, Verify), c.verdict);
    EXPECT_FALSE(VerdictText(c.verdict).empty());
  }
  const auto unavailable = [](std::string_view, std::string_view, std::string_view) {
    return SignatureCheck::Unavailable;
  };
  EXPECT_EQ(JudgeAnnouncement(kKeyHex, kBody + line, unavailable), AnnouncementVerdict::NoCrypto);
}

// A key item with two keys (current, next): a signature by either is good
// and names its signer; a third key's is not; a key item of anything but one
// or two keys is none.
TEST(VendorSignatureTest, EitherKeyOfAPairSigns) {
  const std::string line = std::string(kSignaturePrefix) + kSignatureHex + "\r\n";
  const std::string other(kPublicKeyBytes, '\x22'), third(kPublicKeyBytes, '\x33');
  std::string signer;
  EXPECT_EQ(JudgeAnnouncement(LowerHex(other) + kKeyHex, kBody + line, Verify, &signer), AnnouncementVerdict::Accepted);
  EXPECT_EQ(signer, kKey) << "the next key signed";
  EXPECT_EQ(JudgeAnnouncement(kKeyHex + LowerHex(other), kBody + line, Verify, &signer), AnnouncementVerdict::Accepted);
  EXPECT_EQ(signer, kKey) << "the current key signed";
  EXPECT_EQ(JudgeAnnouncement(LowerHex(other) + LowerHex(third), kBody + line, Verify, &signer),
            AnnouncementVerdict::WrongSignature);
  EXPECT_EQ(signer, "");
  EXPECT_EQ(JudgeAnnouncement(kKeyHex + LowerHex(other) + LowerHex(third), kBody + line, Verify),
            AnnouncementVerdict::NoKey)
      << "three keys";
  EXPECT_EQ(JudgeAnnouncement(kKeyHex + "00", kBody + line, Verify), AnnouncementVerdict::NoKey);
}

TEST(VendorSignatureTest, AFileMustHaveTheAnnouncedSizeAndHash) {
  const std::string digest(kSha256Bytes, '\x5c');
  const std::string hash = LowerHex(digest);
  std::string otherDigest = digest;
  otherDigest[31] ^= 1;
  struct Case {
    const char* name;
    std::string size;
    std::string hash;
    uint64_t actualSize;
    std::string digest;
    FileVerdict verdict;
  } cases[] = {
      {"as announced", "1000", hash, 1000, digest, FileVerdict::Accepted},
      {"the hash in upper case with blanks around", "1000", "  " + BytesToHex(digest, false, false) + " ", 1000, digest,
       FileVerdict::Accepted},
      {"one byte changed", "1000", hash, 1000, otherDigest, FileVerdict::HashDiffers},
      {"cut short", "1000", hash, 990, otherDigest, FileVerdict::SizeDiffers},
      {"one byte longer", "1000", hash, 1001, otherDigest, FileVerdict::SizeDiffers},
      {"no hash announced", "1000", "", 1000, digest, FileVerdict::NoHash},
      {"a hash too short", "1000", hash.substr(2), 1000, digest, FileVerdict::NoHash},
      {"no size announced", "", hash, 1000, digest, FileVerdict::NoSize},
      {"a negative size", "-1", hash, 1000, digest, FileVerdict::NoSize},
      {"a file that could not be read", "1000", hash, 0, "", FileVerdict::Unreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FileCheck check = JudgeFile(c.size, c.hash, c.actualSize, c.digest);
    EXPECT_EQ(check.verdict, c.verdict);
    EXPECT_EQ(check.Accepted(), c.verdict == FileVerdict::Accepted);
    EXPECT_EQ(check.reason.empty(), check.Accepted()) << check.reason;
  }
  EXPECT_EQ(JudgeFile("1000", hash, 990, otherDigest).reason, "size 990 bytes, announced 1000");
  EXPECT_EQ(NoCryptoCheck().verdict, FileVerdict::NoCrypto);
}

}  // namespace
}  // namespace tarnix
