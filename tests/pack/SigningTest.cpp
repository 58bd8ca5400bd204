// The vendor's keys and signatures in the builder: `keygen`, the public key
// embedded by `build`, the full setup's hash in a web installer, and `info
// --sign` / `--check`, each checked against OpenSSL's command line as an
// independent party. A build without libcrypto (the Windows one) must say
// so instead.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "Signing.h"
#include "Utils/SUB.h"
#include "autoupdate/AnnouncementFreshness.h"
#include "package/TGFileInfo.h"
#include "package/VendorSignature.h"

namespace tarnix::pack::test {
namespace {

#ifndef _WIN32
// Runs a shell command; its exit code, with its standard output in `out`.
int Shell(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }
#endif

class SigningTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "the openssl command line is only at hand natively";
#else
    if (!SigningAvailable()) GTEST_SKIP() << kNoSigning;
    if (Shell("openssl version") != 0) GTEST_SKIP() << "no openssl command line";
    ASSERT_EQ(RunCli({"keygen", Private(), Public()}).code, 0);
    WriteFile(dir.Path() / "stub.exe", FakeStubBytes());
    WriteFile(dir.Path() / "Setup.exe", RandomBytes(70000, 3));
    WriteFile(dir.Path() / "Inform.txt", "|token|x|y|The new version.");
#endif
  }

  std::string Private() const { return dir / "vendor.pem"; }
  std::string Public() const { return dir / "vendor.pub.pem"; }
  std::string Info() const { return dir / "Product.info"; }

#ifndef _WIN32
  // The point X||Y as OpenSSL reads it from the public key file: the last
  // 64 bytes of its DER form.
  std::string OpensslPoint(const std::string& publicPem) {
    std::string der;
    EXPECT_EQ(Shell("openssl pkey -pubin -in " + Quoted(publicPem) + " -outform DER", &der), 0);
    return der.size() >= kPublicKeyBytes ? der.substr(der.size() - kPublicKeyBytes) : std::string();
  }

  std::string OpensslSha256(const std::string& path) {
    std::string out;
    EXPECT_EQ(Shell("openssl dgst -sha256 -r " + Quoted(path), &out), 0);
    return out.substr(0, 2 * kSha256Bytes);
  }
#endif

  // An agent package unless `more` says otherwise.
  CliResult BuildWith(const std::string& settingsLines, const std::string& more = "[Package]\nIsAgent = 1\n") {
    WriteFile(dir.Path() / "manifest.ini", "[Settings]\nUpdateLocation = https://example.test/upd/\n"
                                           "InfoFileName = Product.info\nAgentExeName = Agent.exe\nToken = s3cret\n" +
                                               settingsLines + more);
    return RunCli({"build", dir / "manifest.ini", "-o", dir / "OUT.exe", "--stub", dir / "stub.exe"});
  }

  CliResult Check(const std::string& key) { return RunCli({"info", Info(), "--check", key}); }

  TempDir dir;
};

#ifndef _WIN32

TEST_F(SigningTest, KeygenWritesAP256PairThatOpensslReadsAndNeverOverwritesIt) {
  std::string text;
  ASSERT_EQ(Shell("openssl pkey -in " + Quoted(Private()) + " -noout -text", &text), 0);
  EXPECT_NE(text.find("prime256v1"), std::string::npos) << text;
  EXPECT_EQ(OpensslPoint(Public()).size(), kPublicKeyBytes);
  struct stat info {};
  ASSERT_EQ(::stat(Private().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "the private key is readable by others";

  const std::string before = ReadFile(Private());
  const CliResult again = RunCli({"keygen", Private(), dir / "other.pub.pem"});
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(Private()), before);
  EXPECT_FALSE(fs::exists(dir / "other.pub.pem"));
}

TEST_F(SigningTest, BuildEmbedsThePublicPointAsASixthSettingsItem) {
  const CliResult built = BuildWith("PublicKey = vendor.pub.pem\n");
  ASSERT_EQ(built.code, 0) << built.err;
  const TGFileInfo withKey(dir / "OUT.exe");
  EXPECT_EQ(withKey.PublicKey(), LowerHex(OpensslPoint(Public())));
  EXPECT_EQ(SUB::Count(withKey.SettingsBlock()), 6);
  // Readers that know five items read the same five.
  EXPECT_EQ(withKey.UpdateLocation(), "https://example.test/upd/");
  EXPECT_TRUE(withKey.Silent() == false && withKey.SettingsToken(true) == "s3cret");
  const CliResult inspect = RunCli({"inspect", dir / "OUT.exe", "--json"});
  EXPECT_TRUE(JsonHas(inspect.out, "PublicKey", "\"" + withKey.PublicKey() + "\"")) << inspect.out;

  // The private key holds the public one: the same point either way.
  ASSERT_EQ(BuildWith("PublicKey = vendor.pem\n").code, 0);
  EXPECT_EQ(TGFileInfo(dir / "OUT.exe").PublicKey(), withKey.PublicKey());

  ASSERT_EQ(BuildWith("").code, 0);
  EXPECT_EQ(SUB::Count(TGFileInfo(dir / "OUT.exe").SettingsBlock()), 5) << "a package without a key changed";
}

TEST_F(SigningTest, AKeyThatIsNoP256KeyIsRefusedByName) {
  ASSERT_EQ(Shell("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out " + Quoted(dir / "rsa.pem")), 0);
  ASSERT_EQ(Shell("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out " + Quoted(dir / "p384.pem")),
            0);
  WriteFile(dir.Path() / "junk.pem", "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n");
  struct Case {
    const char* name;
    const char* line;
    const char* fragment;
  } cases[] = {
      {"missing file", "PublicKey = none.pem\n", "cannot be read"},
      {"no value", "PublicKey =\n", "needs a PEM file"},
      {"not a key", "PublicKey = junk.pem\n", "not a PEM key"},
      {"an RSA key", "PublicKey = rsa.pem\n", "not an ECDSA P-256 key"},
      {"another curve", "PublicKey = p384.pem\n", "not an ECDSA P-256 key"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliResult r = BuildWith(c.line);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("[Settings] PublicKey: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "OUT.exe"));
  }
}

TEST_F(SigningTest, AWebInstallerWithAKeyCarriesTheFullSetupsHash) {
  const std::string download = "[Download]\nLocation = https://example.test/dl\nFileName = Setup.exe\nToken = t\n";
  ASSERT_EQ(BuildWith("PublicKey = vendor.pub.pem\n", download).code, 0);
  TGFileInfo web(dir / "OUT.exe");
  EXPECT_TRUE(web.DownloadSetup());
  EXPECT_EQ(web.DownloadSize(), "70000");
  EXPECT_EQ(web.DownloadSha256(), OpensslSha256(dir / "Setup.exe"));

  struct Case {
    const char* name;
    std::string settings;
    std::string more;
    int code;
    const char* fragment;  // the error, or nullptr for a build without the hash
  } cases[] = {
      {"no key: no hash", "", download, 0, nullptr},
      {"the full setup itself carries none", "PublicKey = vendor.pub.pem\n",
       download + "[Setup]\nProgram = Setup.exe\n[Files]\nSetup.exe = Setup.exe\n", 0, nullptr},
      {"a size that is not the file's", "PublicKey = vendor.pub.pem\n", download + "Size = 69999\n", 1,
       "[Download] Size: 69999 differs"},
      {"no file beside the manifest", "PublicKey = vendor.pub.pem\n",
       "[Download]\nLocation = https://example.test/dl\nFileName = Gone.exe\nSize = 10\n", 1,
       "[Download] FileName: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir / "OUT.exe");
    const CliResult r = BuildWith(c.settings, c.more);
    ASSERT_EQ(r.code, c.code) << r.err;
    if (c.fragment) {
      EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(TGFileInfo(dir / "OUT.exe").DownloadSha256(), "");
      EXPECT_EQ(SUB::Count(TGFileInfo(dir / "OUT.exe").DownloadBlock()), 5);
    }
  }
}

TEST_F(SigningTest, InfoSignWritesTheHashesAndASignatureThatChecksWithEveryFormOfTheKey) {
  WriteFile(Info(), "; release notes stay\r\n[NewSetup]\r\nDownloadURL_UPDATE=https://example.test/upd\r\n");
  const CliResult r = RunCli({"info", Info(), "--update", dir / "Setup.exe", "--inform", dir / "Inform.txt",
                              "--version", "2", "--stamp", "7", "--sign", Private()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("signed with"), std::string::npos) << r.out;
  const std::string text = ReadFile(Info());
  EXPECT_NE(text.find("SHA256OfUpdateFile=" + OpensslSha256(dir / "Setup.exe") + "\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("SHA256OfInformFile=" + OpensslSha256(dir / "Inform.txt") + "\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.starts_with("; release notes stay\r\n[NewSetup]\r\nDownloadURL_UPDATE=https://example.test/upd\r\n"));
  const SignedText split = SplitSignedText(text);
  ASSERT_EQ(split.state, SignatureState::Signed);
  EXPECT_TRUE(text.ends_with("\r\n"));

  ASSERT_EQ(BuildWith("PublicKey = vendor.pub.pem\n").code, 0);
  for (const std::string& key : {Public(), Private(), dir / "OUT.exe"}) {
    const CliResult c = Check(key);
    EXPECT_EQ(c.code, 0) << key << ": " << c.err;
  }

  // Signed again: one signature line, the new one.
  ASSERT_EQ(RunCli({"info", Info(), "--stamp", "8", "--sign", Private()}).code, 0);
  const std::string resigned = ReadFile(Info());
  EXPECT_EQ(resigned.find(";Signature="), resigned.rfind(";Signature=")) << resigned;
  EXPECT_EQ(Check(Public()).code, 0);
}

// Signing writes [Signature] Serial inside the signed bytes, one more each
// time or the one given, and Expires when asked, as a UTC date and time.
TEST_F(SigningTest, InfoSignWritesASerialAndAnExpiryInsideTheSignedBytes) {
  ASSERT_EQ(RunCli({"info", Info(), "--update", dir / "Setup.exe", "--sign", Private()}).code, 0);
  Freshness f = ReadFreshness(SplitSignedText(ReadFile(Info())).body);
  ASSERT_TRUE(f.serial);
  EXPECT_EQ(*f.serial, 1);
  EXPECT_FALSE(f.expires);
  ASSERT_EQ(RunCli({"info", Info(), "--sign", Private()}).code, 0);
  EXPECT_EQ(ReadFreshness(SplitSignedText(ReadFile(Info())).body).serial.value_or(0), 2);
  const CliResult given = RunCli({"info", Info(), "--sign", Private(), "--serial", "40", "--expires", "30"});
  ASSERT_EQ(given.code, 0) << given.err;
  EXPECT_NE(given.out.find("[Signature] Serial=40 (was 2)"), std::string::npos) << given.out;
  const std::string signedText = ReadFile(Info());
  const SignedText split = SplitSignedText(signedText);
  ASSERT_EQ(split.state, SignatureState::Signed);
  f = ReadFreshness(split.body);
  EXPECT_EQ(f.serial.value_or(0), 40);
  ASSERT_TRUE(f.expires);
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  EXPECT_NEAR(static_cast<double>(*f.expires), static_cast<double>(now + 30 * 86400), 120.0);
  EXPECT_EQ(Check(Public()).code, 0);

  EXPECT_EQ(RunCli({"info", Info(), "--serial", "41"}).code, 2) << "a serial without --sign";
  EXPECT_EQ(RunCli({"info", Info(), "--sign", Private(), "--serial", "0"}).code, 2);
  EXPECT_EQ(RunCli({"info", Info(), "--sign", Private(), "--expires", "0"}).code, 2);
  EXPECT_EQ(RunCli({"info", Info(), "--sign", Private(), "--expires", "9999"}).code, 2);
  EXPECT_EQ(ReadFreshness(SplitSignedText(ReadFile(Info())).body).serial.value_or(0), 40) << "a refused edit wrote";
}

// The agent refuses announcements above 64 KB: the builder never signs one.
TEST_F(SigningTest, AnAnnouncementTooLargeForTheAgentIsNotSigned) {
  WriteFile(Info(), "; " + std::string(70000, 'x') + "\r\n[NewSetup]\r\nVersionNew=2\r\n");
  const std::string before = ReadFile(Info());
  const CliResult r = RunCli({"info", Info(), "--sign", Private()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("agents refuse announcements above 65536"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(Info()), before);
}

// A manifest may name two public keys, the current and the next: the
// package carries both, and a signature by either checks with it.
TEST_F(SigningTest, APackageCarriesTwoKeysForARotation) {
  ASSERT_EQ(RunCli({"keygen", dir / "next.pem", dir / "next.pub.pem"}).code, 0);
  ASSERT_EQ(RunCli({"keygen", dir / "third.pem", dir / "third.pub.pem"}).code, 0);
  const CliResult built = BuildWith("PublicKey = vendor.pub.pem, next.pub.pem\n");
  ASSERT_EQ(built.code, 0) << built.err;
  const std::string item = TGFileInfo(dir / "OUT.exe").PublicKey();
  EXPECT_EQ(item, LowerHex(OpensslPoint(Public())) + LowerHex(OpensslPoint(dir / "next.pub.pem")));
  EXPECT_EQ(SplitPublicKeys(item).size(), 2u);

  for (const char* key : {"vendor.pem", "next.pem"}) {
    SCOPED_TRACE(key);
    ASSERT_EQ(RunCli({"info", Info(), "--version", "2", "--sign", dir / key}).code, 0);
    EXPECT_EQ(Check(dir / "OUT.exe").code, 0) << Check(dir / "OUT.exe").err;
  }
  ASSERT_EQ(RunCli({"info", Info(), "--sign", dir / "third.pem"}).code, 0);
  const CliResult third = Check(dir / "OUT.exe");
  EXPECT_EQ(third.code, 1);
  EXPECT_NE(third.err.find("does not match"), std::string::npos) << third.err;

  const CliResult three = BuildWith("PublicKey = vendor.pub.pem, next.pub.pem, third.pub.pem\n");
  EXPECT_NE(three.code, 0);
  EXPECT_NE(three.err.find("at most 2 keys"), std::string::npos) << three.err;
  const CliResult twice = BuildWith("PublicKey = vendor.pub.pem, vendor.pem\n");
  EXPECT_NE(twice.code, 0);
  EXPECT_NE(twice.err.find("the same key twice"), std::string::npos) << twice.err;
}

TEST_F(SigningTest, AnEditWithoutTheKeyRemovesOnlyASignatureThatNoLongerFits) {
  ASSERT_EQ(RunCli({"info", Info(), "--update", dir / "Setup.exe", "--stamp", "7", "--sign", Private()}).code, 0);
  const std::string signedText = ReadFile(Info());

  const CliResult same = RunCli({"info", Info(), "--stamp", "7"});
  ASSERT_EQ(same.code, 0) << same.err;
  EXPECT_EQ(ReadFile(Info()), signedText);

  const CliResult changed = RunCli({"info", Info(), "--stamp", "8"});
  ASSERT_EQ(changed.code, 0) << changed.err;
  EXPECT_NE(changed.out.find("signature no longer fits"), std::string::npos) << changed.out;
  EXPECT_EQ(SplitSignedText(ReadFile(Info())).state, SignatureState::Unsigned);
  EXPECT_EQ(Check(Public()).code, 1);
}

TEST_F(SigningTest, TheCheckRefusesEveryAlteredAnnouncement) {
  ASSERT_EQ(RunCli({"keygen", dir / "other.pem", dir / "other.pub.pem"}).code, 0);
  ASSERT_EQ(RunCli({"info", Info(), "--update", dir / "Setup.exe", "--version", "2", "--sign", Private()}).code, 0);
  const std::string good = ReadFile(Info());
  const SignedText split = SplitSignedText(good);
  const std::string body(split.body);
  std::string flipped = good;
  flipped[body.find("VersionNew=2") + 11] = '3';
  std::string otherSigned;
  {
    WriteFile(Info(), body);
    ASSERT_EQ(RunCli({"info", Info(), "--sign", dir / "other.pem"}).code, 0);
    otherSigned = ReadFile(Info());
  }
  struct Case {
    const char* name;
    std::string text;
    const char* fragment;
  } cases[] = {
      {"one byte changed", flipped, "does not match"},
      {"no signature", body, "carries no signature"},
      {"signed by another key", otherSigned, "does not match"},
      {"a line after the signature", good + "Stamp=9\r\n", "carries no signature"},
      {"a cut signature", good.substr(0, good.size() - 10) + "\r\n", "malformed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Info(), c.text);
    const CliResult r = Check(Public());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
  }
  WriteFile(Info(), good);
  const CliResult wrongKey = Check(dir / "other.pub.pem");
  EXPECT_EQ(wrongKey.code, 1);
}

TEST_F(SigningTest, OpensslVerifiesTheBuildersSignature) {
  ASSERT_EQ(RunCli({"info", Info(), "--update", dir / "Setup.exe", "--version", "2", "--sign", Private()}).code, 0);
  const std::string text = ReadFile(Info());
  const SignedText split = SplitSignedText(text);
  ASSERT_EQ(split.state, SignatureState::Signed);
  std::string der;
  ASSERT_TRUE(DerSignatureFromRaw(split.signature, der));
  WriteFile(dir.Path() / "sig.der", der);
  WriteFile(dir.Path() / "body.bin", split.body);
  std::string out;
  const std::string verify =
      "openssl dgst -sha256 -verify " + Quoted(Public()) + " -signature " + Quoted(dir / "sig.der") + " ";
  EXPECT_EQ(Shell(verify + Quoted(dir / "body.bin"), &out), 0) << out;
  EXPECT_NE(out.find("Verified OK"), std::string::npos) << out;
  // The same signature over other bytes fails: openssl does check.
  WriteFile(dir.Path() / "other.bin", std::string(split.body) + " ");
  EXPECT_NE(Shell(verify + Quoted(dir / "other.bin")), 0);
}

TEST_F(SigningTest, TheBuildersCheckAcceptsASignatureMadeByOpenssl) {
  const std::string body = "[NewSetup]\r\nNameOfUpdateFile=Setup.exe\r\nVersionNew=3\r\n";
  WriteFile(dir.Path() / "body.bin", body);
  ASSERT_EQ(Shell("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " + Quoted(dir / "o.pem")), 0);
  struct Case {
    const char* name;
    std::string signer;
    int code;
  } cases[] = {
      {"the vendor's key", Private(), 0},
      {"a key of openssl's own", dir / "o.pem", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Shell("openssl dgst -sha256 -sign " + Quoted(c.signer) + " -out " + Quoted(dir / "sig.der") + " " +
                    Quoted(dir / "body.bin")),
              0);
    std::string raw;
    ASSERT_TRUE(RawSignatureFromDer(ReadFile(dir / "sig.der"), raw));
    WriteFile(Info(), AppendSignatureLine(body, raw, "\r\n"));
    const CliResult r = Check(Public());
    EXPECT_EQ(r.code, c.code) << r.err;
  }
}

TEST(SignatureFormTest, DerAndRawFormsConvertBothWays) {
  if (!SigningAvailable()) GTEST_SKIP() << kNoSigning;
  // r with a leading zero byte, s with its top bit set: DER pads one and
  // not the other.
  std::string raw(kSignatureBytes, '\x01');
  raw[0] = '\0';
  raw[32] = '\x80';
  std::string der, back;
  ASSERT_TRUE(DerSignatureFromRaw(raw, der));
  ASSERT_TRUE(RawSignatureFromDer(der, back));
  EXPECT_EQ(back, raw);
  EXPECT_FALSE(RawSignatureFromDer(der + "x", back)) << "bytes after the sequence";
  EXPECT_FALSE(RawSignatureFromDer("0", back));
  EXPECT_FALSE(DerSignatureFromRaw(raw.substr(1), der));
}

#endif

TEST(NoLibcryptoTest, EverySigningCommandSaysWhatItLacks) {
  if (SigningAvailable()) GTEST_SKIP() << "this build signs";
  TempDir dir;
  WriteFile(dir.Path() / "stub.exe", FakeStubBytes());
  WriteFile(dir.Path() / "key.pem", "-----BEGIN PUBLIC KEY-----\n-----END PUBLIC KEY-----\n");
  WriteFile(dir.Path() / "manifest.ini",
            "[Settings]\nUpdateLocation = http://x/\nInfoFileName = P.info\nPublicKey = key.pem\n[Package]\nIsAgent = 1\n");
  const std::vector<std::vector<std::string>> commands = {
      {"keygen", dir / "a.pem", dir / "b.pem"},
      {"info", dir / "P.info", "--stamp", "1", "--sign", dir / "key.pem"},
      {"info", dir / "P.info", "--check", dir / "key.pem"},
      {"build", dir / "manifest.ini", "-o", dir / "OUT.exe", "--stub", dir / "stub.exe"},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0]);
    const CliResult r = RunCli(command);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no OpenSSL"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "P.info"));
}

}  // namespace
}  // namespace tarnix::pack::test
