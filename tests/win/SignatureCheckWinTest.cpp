// The platform's checks behind signed updates, in this process: ECDSA P-256
// signatures made by another party (here CNG itself, playing the vendor),
// SHA-256 of files in pieces, and a system without bcrypt.dll, which must
// answer that it cannot check rather than that all is well.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Utils/SystemLibrary.h"
#include "package/Cng.h"
#include "win/support/SetupFixture.h"
#include "win/support/TestSigner.h"

namespace tarnix {
namespace {

TEST(SignatureCheckWinTest, OnlyTheSignatureOfTheKeyOverTheSameBytesIsGood) {
  const test::TestSigner vendor, other;
  std::string point;
  ASSERT_TRUE(ParseHexExact(vendor.PublicKeyHex(), kPublicKeyBytes, point));
  const std::string data = "[NewSetup]\r\nVersionNew=2\r\n";
  const std::string signature = vendor.Sign(data);
  std::string flippedSignature = signature;
  flippedSignature[40] ^= 1;
  std::string offCurve = point;
  offCurve[63] ^= 1;
  struct Case {
    const char* name;
    std::string point;
    std::string data;
    std::string signature;
    SignatureCheck expected;
  } cases[] = {
      {"the vendor's signature", point, data, signature, SignatureCheck::Good},
      {"one byte of the data changed", point, "[NewSetup]\r\nVersionNew=3\r\n", signature, SignatureCheck::Bad},
      {"one bit of the signature changed", point, data, flippedSignature, SignatureCheck::Bad},
      {"another key's signature", point, data, other.Sign(data), SignatureCheck::Bad},
      {"a point off the curve", offCurve, data, signature, SignatureCheck::Bad},
      {"a short signature", point, data, signature.substr(1), SignatureCheck::Bad},
      {"an empty signature", point, data, "", SignatureCheck::Bad},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VerifyP256Signature(c.point, c.data, c.signature), c.expected);
  }
}

TEST(SignatureCheckWinTest, FilesAreHashedInPiecesWithTheirSize) {
  const test::ScratchDir dir;
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"three bytes", "abc"},
      {"several pieces", test::RandomBytes(3 * 1048576 + 17, 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "file.bin";
    ASSERT_TRUE(test::WriteBytes(path, c.bytes));
    std::string digest;
    uint64_t size = 0;
    int pieces = 0;
    ASSERT_EQ(Sha256OfFile(path, digest, size, [&] { ++pieces; }), HashResult::Done);
    EXPECT_EQ(digest, test::TestSigner::Sha256(c.bytes));
    EXPECT_EQ(size, c.bytes.size());
    EXPECT_EQ(pieces, static_cast<int>((c.bytes.size() + 1048575) / 1048576));
  }
  EXPECT_EQ(LowerHex(test::TestSigner::Sha256("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::string digest = "stale";
  uint64_t size = 0;
  EXPECT_EQ(Sha256OfFile(dir / "missing.bin", digest, size, nullptr), HashResult::Unreadable);
  EXPECT_EQ(digest, "");
}

// A system folder without bcrypt.dll, as on Windows before Vista.
TEST(SignatureCheckWinTest, WithoutTheLibraryNothingCountsAsChecked) {
  const test::ScratchDir dir;
  const test::TestSigner vendor;
  std::string point;
  ASSERT_TRUE(ParseHexExact(vendor.PublicKeyHex(), kPublicKeyBytes, point));
  const std::string path = dir / "file.bin";
  ASSERT_TRUE(test::WriteBytes(path, "abc"));
  SetSystemLibraryFolder(dir / "no libraries");
  const SignatureCheck check = VerifyP256Signature(point, "data", vendor.Sign("data"));
  std::string digest;
  uint64_t size = 0;
  const HashResult hashed = Sha256OfFile(path, digest, size, nullptr);
  SetSystemLibraryFolder("");
  EXPECT_EQ(check, SignatureCheck::Unavailable);
  EXPECT_EQ(hashed, HashResult::Unavailable);
  EXPECT_EQ(VerifyP256Signature(point, "data", vendor.Sign("data")), SignatureCheck::Good) << "the library is back";
}

}  // namespace
}  // namespace tarnix
