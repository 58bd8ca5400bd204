// The command line itself: usage errors, help, tokens, the default stub and
// the JSON text.
#include <gtest/gtest.h>

#include "Fixtures.h"
#include "Json.h"

namespace tarnix::pack::test {
namespace {

TEST(CliTest, UsageErrorsExitWithTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* fragment;
  } cases[] = {
      {{}, "Usage: tarnix-pack"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{"build", "m.ini"}, "-o OUT.exe is required"},
      {{"build", "m.ini", "-o"}, "-o needs a value"},
      {{"build", "m.ini", "-o", "a.exe", "-o", "b.exe"}, "-o given twice"},
      {{"inspect"}, "missing argument"},
      {{"inspect", "a", "b"}, "too many arguments"},
      {{"inspect", "a", "--json=yes"}, "--json takes no value"},
      {{"verify", "--bogus", "x"}, "unknown option --bogus"},
      {{"extract", "p"}, "-C DIR is required"},
      {{"token"}, "missing argument"},
      {{"info"}, "missing argument"},
      {{"info", "a.info"}, "nothing to write"},
      {{"info", "a.info", "--version", "0"}, "--version must be a whole number from 1 to 2147483647"},
      {{"info", "a.info", "--stamp", "2147483648"}, "--stamp must be a whole number from 0 to 2147483647"},
      {{"info", "a.info", "--stamp", "0x10"}, "--stamp must be"},
      {{"info", "a.info", "--rollout", "101"}, "--rollout must be a whole number from 0 to 100"},
      {{"info", "a.info", "--rollout", "-1"}, "--rollout must be a whole number from 0 to 100"},
      {{"info", "a.info", "--check", "k.pem", "--rollout", "1"}, "--check takes no --rollout"},
      {{"info", "a.info", "--update="}, "--update needs a file"},
      {{"info", "a.info", "--sign="}, "--sign needs a file"},
      {{"info", "a.info", "--check", "k.pem", "--stamp", "1"}, "--check takes no --stamp"},
      {{"keygen", "a.pem"}, "missing argument"},
      {{"keygen", "a.pem", "a.pem"}, "the two keys need two files"},
  };
  for (const auto& c : cases) {
    CliResult r = RunCli(c.args);
    EXPECT_EQ(r.code, 2) << c.fragment;
    EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
  }
}

TEST(CliTest, EveryCommandHasHelp) {
  CliResult main = RunCli({"--help"});
  EXPECT_EQ(main.code, 0);
  for (const char* command : {"build", "inspect", "verify", "extract", "token", "info", "keygen"}) {
    EXPECT_NE(main.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    CliResult r = RunCli({command, "--help"});
    EXPECT_EQ(r.code, 0) << command;
    EXPECT_NE(r.out.find(std::string("Usage: tarnix-pack ") + command), std::string::npos) << r.out;
  }
}

TEST(CliTest, TokensRoundTrip) {
  for (const std::string clear : {"secret", "with spaces and | bars", ""}) {
    CliResult a = RunCli({"token", "--", clear});
    ASSERT_EQ(a.code, 0) << a.err;
    ASSERT_FALSE(a.out.empty());
    const std::string scrambled = a.out.substr(0, a.out.size() - 1);
    EXPECT_EQ(scrambled.find('|'), std::string::npos);
    CliResult b = RunCli({"token", "--decode", scrambled});
    ASSERT_EQ(b.code, 0);
    EXPECT_EQ(b.out, clear + "\n");
  }
  CliResult bad = RunCli({"token", "--decode", "not-a-token"});
  EXPECT_EQ(bad.code, 0);
  EXPECT_NE(bad.out, "not-a-token\n");
}

TEST_F(PackageTest, BuildWithoutStubBesideTheToolAsksForOne) {
  WriteFile(dir.Path() / "manifest.ini", "[Files]\nsetup.exe = in/setup.exe\n");
  CliResult r = RunCli({"build", dir / "manifest.ini", "-o", dir / "OUT.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("pass --stub"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.Path() / "OUT.exe"));
}

TEST_F(PackageTest, BuildReportsManifestAndStubFaults) {
  WriteFile(dir.Path() / "manifest.ini", "[Package]\nLevel = 10\n[Files]\nsetup.exe = in/setup.exe\n");
  CliResult r = RunCli({"build", dir / "manifest.ini", "-o", dir / "OUT.exe", "--stub", dir / "stub.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("manifest.ini: [Package] Level: must be 0 to 9"), std::string::npos) << r.err;

  WriteFile(dir.Path() / "manifest.ini", "[Files]\nsetup.exe = in/setup.exe\n");
  WriteFile(dir.Path() / "notastub.exe", std::string(4096, 'x'));
  r = RunCli({"build", dir / "manifest.ini", "-o", dir / "OUT.exe", "--stub", dir / "notastub.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("not a stub"), std::string::npos) << r.err;

  // Writing over an input would read and write the same file at once.
  r = RunCli({"build", dir / "manifest.ini", "-o", dir / "in/setup.exe", "--stub", dir / "stub.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir.Path() / "in" / "setup.exe"), inputs[0].bytes);
}

// A package whose agent would update without the vendor's key gets a
// warning: its token is no secret.
TEST_F(PackageTest, BuildWarnsAboutAnAgentWithoutAKey) {
  struct Case {
    const char* name;
    std::string settings;
    bool warns;
  };
  const Case cases[] = {
      {"update location", "[Settings]\nUpdateLocation = http://example.test/upd/\nToken = s3cret\n", true},
      {"agent", "[Package]\nIsAgent = 1\n[Settings]\nAgentExeName = Agent.exe\n", true},
      {"agent written by the setup", "[Package]\nCreateAgent = 1\n[Settings]\nAgentExeName = Agent.exe\n", true},
      {"plain setup", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir.Path() / "manifest.ini", c.settings + "[Files]\nsetup.exe = in/setup.exe\n");
    CliResult r = RunCli({"build", dir / "manifest.ini", "-o", dir / "OUT.exe", "--stub", dir / "stub.exe"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("warning: no PublicKey") != std::string::npos, c.warns) << r.err;
  }
}

// A web installer caps its download at the size it carries; one built
// without a size would take whatever the server sends.
TEST_F(PackageTest, BuildWarnsAboutAWebInstallerWithoutASize) {
  struct Case {
    const char* name;
    std::string download;
    bool warns;
  };
  WriteFile(dir.Path() / "Beside.exe", std::string(1000, 's'));
  const Case cases[] = {
      {"size given", "Size = 1000\nFileName = Far.exe\n", false},
      {"size of the file beside the manifest", "FileName = Beside.exe\n", false},
      {"no size and no file", "FileName = Far.exe\n", true},
      {"size 0", "Size = 0\nFileName = Far.exe\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir.Path() / "manifest.ini",
              "[Download]\nLocation = http://example.test/dl\n" + c.download + "[Files]\n");
    CliResult r = RunCli({"build", dir / "manifest.ini", "-o", dir / "OUT.exe", "--stub", dir / "stub.exe"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("warning: no [Download] Size") != std::string::npos, c.warns) << r.err;
  }
}

TEST(JsonTest, EscapesEverythingButPrintableAscii) {
  struct Case {
    std::string text;
    std::string json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {std::string("\x01\n\x1f", 3), "\"\\u0001\\u000A\\u001F\""},
      {"caf\xE9 \x80\xFF\x7F", "\"caf\\u00E9 \\u0080\\u00FF\\u007F\""},
      {std::string("nul\0end", 7), "\"nul\\u0000end\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuote(c.text), c.json);
}

TEST(JsonTest, NestsWithCommas) {
  std::ostringstream out;
  JsonWriter j(out);
  j.BeginObject();
  j.Field("a", 1u);
  j.Key("b");
  j.BeginArray();
  j.String("x");
  j.Bool(true);
  j.Null();
  j.EndArray();
  j.Key("c");
  j.BeginObject();
  j.EndObject();
  j.EndObject();
  EXPECT_EQ(out.str(), "{\n  \"a\": 1,\n  \"b\": [\n    \"x\",\n    true,\n    null\n  ],\n  \"c\": {}\n}\n");
}

}  // namespace
}  // namespace tarnix::pack::test
