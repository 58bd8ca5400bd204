#include "Cli.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Extract.h"
#include "InfoFile.h"
#include "Inspect.h"
#include "Manifest.h"
#include "PackageBuilder.h"
#include "ProgramPath.h"
#include "Signing.h"
#include "Utils/StrUtils.h"
#include "Verify.h"
#include "package/Token.h"

namespace tarnix::pack {

namespace {

namespace fs = std::filesystem;

constexpr const char* kMainHelp =
    "Usage: tarnix-pack COMMAND [ARGUMENTS]\n"
    "\n"
    "Builds, inspects, verifies and extracts Tarnix setup packages, and writes\n"
    "the announcement (.info) files of their updates.\n"
    "\n"
    "Commands:\n"
    "  build MANIFEST.ini -o OUT.exe [--stub STUB.exe]   append a package to the stub\n"
    "  inspect PACKAGE [--json]                          show trailer, header blocks, disks and files\n"
    "  verify PACKAGE                                    check every disk, block and name\n"
    "  extract PACKAGE -C DIR                            write the files into DIR\n"
    "  token TEXT                                        print TEXT as a scrambled token\n"
    "  token --decode SCRAMBLED                          print a scrambled token in clear\n"
    "  info FILE.info [--update SETUP.exe] [--inform INFORM] [--version N] [--stamp N] [--rollout N]\n"
    "                 [--sign KEY] [--serial N] [--expires DAYS]\n"
    "                                                    write an update's sizes into its .info file\n"
    "  info FILE.info --check KEY                        check the .info file's signature\n"
    "  keygen PRIVATE.pem PUBLIC.pem                     make the vendor's signing key pair\n"
    "\n"
    "'tarnix-pack COMMAND --help' describes a command.\n"
    "Exit codes: 0 done, 1 fault, 2 usage error.\n";

constexpr const char* kBuildHelp =
    "Usage: tarnix-pack build MANIFEST.ini -o OUT.exe [--stub STUB.exe]\n"
    "\n"
    "Writes the stub with the package described by MANIFEST.ini appended. A\n"
    "DiskSize in the manifest spans the package over OUT.exe, OUT.exe.002 ...,\n"
    "none of them larger than DiskSize; CdSpanning writes OUT.exe with the\n"
    "header blocks only and the files in OUT.exe.001, OUT.exe.002 ...\n"
    "\n"
    "  -o, --output OUT.exe   the package to write\n"
    "  --stub STUB.exe        the stub executable (default: stub.exe beside tarnix-pack)\n";

constexpr const char* kInspectHelp =
    "Usage: tarnix-pack inspect PACKAGE [--json]\n"
    "\n"
    "Shows the trailer of the first disk, the language records, the settings\n"
    "and download items (tokens scrambled and in clear), every disk and every\n"
    "file with its size, stamp and number of blocks, and the setup entry.\n"
    "\n"
    "  --json   write the same as JSON\n";

constexpr const char* kVerifyHelp =
    "Usage: tarnix-pack verify PACKAGE\n"
    "\n"
    "Checks every disk of the package: present, with a trailer, checksum\n"
    "accepted, every block framed and inflating, every name a plain file name.\n"
    "Prints one line per fault and exits with 1, or exits with 0 when sound.\n";

constexpr const char* kExtractHelp =
    "Usage: tarnix-pack extract PACKAGE -C DIR\n"
    "\n"
    "Writes the package's files into DIR as the stub does, with their stamps.\n"
    "Names that would leave DIR are refused and reported; the exit code is 1.\n"
    "\n"
    "  -C, --directory DIR   the folder to write into (created when missing)\n";

constexpr const char* kTokenHelp =
    "Usage: tarnix-pack token TEXT\n"
    "       tarnix-pack token --decode SCRAMBLED\n"
    "\n"
    "Prints TEXT as a scrambled token (a new one each time), or the clear text\n"
    "of a scrambled token. A token that fails its checks reads as a random\n"
    "number.\n";

constexpr const char* kInfoHelp =
    "Usage: tarnix-pack info FILE.info [--update SETUP.exe] [--inform INFORM]\n"
    "                       [--version N] [--stamp N] [--rollout N] [--sign PRIVATE.pem]\n"
    "                       [--serial N] [--expires DAYS]\n"
    "       tarnix-pack info FILE.info --check KEY\n"
    "\n"
    "Writes into the announcement file of an update what the agent compares\n"
    "with the files on the update location, taken from the built files. The\n"
    "file is created when missing; every other section, key, comment and line\n"
    "ending stays as it is. Sizes are byte counts of at most 2147483647.\n"
    "\n"
    "  --update SETUP.exe   [NewSetup] SizeOfUpdateFile, and NameOfUpdateFile\n"
    "                       when the file has none\n"
    "  --inform INFORM      [AutoInform] SizeOfInformFile, and NameOfInformFile\n"
    "                       when the file has none\n"
    "  --version N          [NewSetup] VersionNew, 1 to 2147483647\n"
    "  --stamp N            [NewSetup] Stamp, 0 to 2147483647\n"
    "  --rollout N          [NewSetup] RolloutPercent, 0 to 100: only installations\n"
    "                       whose bucket (0-99, drawn once) is below N are offered\n"
    "                       the release; a check the user asks for ignores it\n"
    "  --sign PRIVATE.pem   also [NewSetup] SHA256OfUpdateFile and [AutoInform]\n"
    "                       SHA256OfInformFile of the files given, then signs the\n"
    "                       file with the vendor's key: its last line becomes\n"
    "                       ;Signature=... over every byte before it. An edit\n"
    "                       without --sign removes a signature that no longer fits.\n"
    "                       Signing also writes [Signature] Serial, one more than\n"
    "                       the file's: an agent that accepted a serial refuses a\n"
    "                       lower one (an old announcement replayed) and, once it\n"
    "                       accepted one, any announcement without a serial.\n"
    "  --serial N           with --sign: [Signature] Serial N, 1 to 2147483647, in\n"
    "                       place of the file's plus one\n"
    "  --expires DAYS       with --sign: [Signature] Expires, DAYS (1 to 3650) from\n"
    "                       now as a UTC date and time; agents refuse the file once\n"
    "                       it has passed by more than a day, so sign it anew\n"
    "                       before then: a server that keeps serving an old file\n"
    "                       cannot hide a new release for longer\n"
    "  --check KEY          only checks the signature with KEY: a PEM file with the\n"
    "                       public or private key, or a package that carries the key\n";

constexpr const char* kKeygenHelp =
    "Usage: tarnix-pack keygen PRIVATE.pem PUBLIC.pem\n"
    "\n"
    "Makes the vendor's ECDSA P-256 key pair as PEM files: the private key\n"
    "(PKCS#8, readable by its owner only) signs the .info files of releases\n"
    "(info --sign), the public key goes into every package (PublicKey in the\n"
    "manifest's [Settings]). Neither file may exist yet. Keep the private key\n"
    "off the update server: whoever holds it can sign updates.\n"
    "\n"
    "Rotating the key: make the next pair with keygen, then ship one release\n"
    "whose packages carry both public keys (PublicKey=current.pem, next.pem),\n"
    "its announcement signed with the current key. Agents of that release\n"
    "accept either key; sign the releases after it with the next key and\n"
    "drop the old one from the manifest (or put the one after next in its\n"
    "place). Keep the next private key offline until then.\n"
    "\n"
    "After a key leaked: make a new pair at once and ship a release whose\n"
    "packages carry only keys the thief does not have, its announcement\n"
    "signed with a key the installed agents accept (the next key when they\n"
    "carry one, else the leaked one) and a serial above any you used. An\n"
    "agent forgets the serials of keys its package no longer carries. Until\n"
    "your users have that release, the thief can sign what their agents\n"
    "accept: short --expires periods limit how long a signed file lives.\n";

struct OptionSpec {
  const char* shortName;  // null when none
  const char* longName;
  bool takesValue;
};

struct Parsed {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // by long name
  bool help = false;
};

bool ParseArgs(const std::vector<std::string>& args, std::initializer_list<OptionSpec> specs, Parsed& p,
               std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      p.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "-h" || a == "--help") {
      p.help = true;
      continue;
    }
    std::string name = a, value;
    bool inlineValue = false;
    if (size_t eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    const OptionSpec* plan = nullptr;
    for (const auto& s : specs)
      if ((s.shortName && name == s.shortName) || name == s.longName) plan = &s;
    if (!plan) {
      error = "unknown option " + name;
      return false;
    }
    if (plan->takesValue && !inlineValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
    } else if (!plan->takesValue && inlineValue) {
      error = name + " takes no value";
      return false;
    }
    if (p.options.count(plan->longName)) {
      error = name + " given twice";
      return false;
    }
    p.options[plan->longName] = value;
  }
  return true;
}

class Command {
 public:
  Command(const char* name, const char* help, std::ostream& out, std::ostream& err)
      : name_(name), help_(help), out_(out), err_(err) {}

  // Parses; false with the exit code set when the command is done already
  // (help shown or a usage error).
  bool Parse(const std::vector<std::string>& args, std::initializer_list<OptionSpec> specs, size_t positional,
             int& exitCode) {
    std::string error;
    if (!ParseArgs(args, specs, p_, error)) {
      exitCode = Usage(error);
      return false;
    }
    if (p_.help) {
      out_ << help_;
      exitCode = kExitOk;
      return false;
    }
    if (p_.positional.size() != positional) {
      exitCode = Usage(p_.positional.size() < positional ? "missing argument" : "too many arguments");
      return false;
    }
    return true;
  }

  int Usage(const std::string& error) {
    err_ << "tarnix-pack " << name_ << ": " << error << "\nRun 'tarnix-pack " << name_ << " --help' for usage.\n";
    return kExitUsage;
  }

  const std::string& Arg(size_t i) const { return p_.positional[i]; }
  bool Has(const std::string& option) const { return p_.options.count(option) > 0; }
  const std::string& Option(const std::string& option) const { return p_.options.at(option); }

 private:
  const char* name_;
  const char* help_;
  std::ostream& out_;
  std::ostream& err_;
  Parsed p_;
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f MB", bytes / 1048576.0);
  return text;
}

int Build(const std::vector<std::string>& args, const char* argv0, std::ostream& out, std::ostream& err) {
  Command c("build", kBuildHelp, out, err);
  int code;
  if (!c.Parse(args, {{"-o", "--output", true}, {nullptr, "--stub", true}}, 1, code)) return code;
  if (!c.Has("--output")) return c.Usage("-o OUT.exe is required");
  const std::string& outPath = c.Option("--output");

  PackageSpec plan;
  std::string error;
  if (!ReadManifest(c.Arg(0), plan, error)) {
    err << error << '\n';
    return kExitFault;
  }
  if (c.Has("--stub")) {
    plan.stubPath = c.Option("--stub");
  } else {
    const std::string self = ProgramPath(argv0);
    const fs::path folder = fs::path(self).parent_path();
    plan.stubPath = (folder / "stub.exe").string();
    if (self.empty() || !fs::is_regular_file(plan.stubPath)) {
      err << "tarnix-pack build: no stub.exe beside tarnix-pack (" << (folder.empty() ? "?" : folder.string())
          << "); pass --stub STUB.exe\n";
      return kExitFault;
    }
  }
  if (SameFile(outPath, plan.stubPath)) {
    err << outPath << ": is the stub itself; choose another output\n";
    return kExitFault;
  }
  for (const auto& f : plan.files)
    if (SameFile(outPath, f.sourcePath)) {
      err << outPath << ": is the input file \"" << f.name << "\"; choose another output\n";
      return kExitFault;
    }

  const auto start = std::chrono::steady_clock::now();
  BuildReport report;
  if (!BuildPackage(plan, outPath, report, error)) {
    err << error << '\n';
    return kExitFault;
  }
  const double seconds =
      std::max(1e-3, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  char line[256];
  std::snprintf(line, sizeof line, "%zu disk file%s, %s in, %s out, %.2f s, %.2f MB/s", report.diskFiles.size(),
                report.diskFiles.size() == 1 ? "" : "s", Megabytes(report.inputBytes).c_str(),
                Megabytes(report.outputBytes).c_str(), seconds, report.inputBytes / 1048576.0 / seconds);
  out << outPath << ": " << line << '\n';
  // The token is in every copy and reads back in clear: without a key the
  // agent installs whatever answers its update requests.
  if (plan.publicKey.empty() && (plan.isAgent || plan.createAgent || !plan.updateLocation.empty()))
    err << outPath << ": warning: no PublicKey in [Settings]; its agent will run any setup that carries the "
        << "token, which anybody can read from the package, from whoever answers its update requests\n";
  // Without a size the web installer cannot cap the download: a server
  // that sends more fills the temp drive.
  int64_t downloadSize = 0;
  if (plan.download && plan.files.empty() && (!ParseInt64(plan.download->size, downloadSize) || downloadSize <= 0))
    err << outPath << ": warning: no [Download] Size and no file \"" << plan.download->fileName
        << "\" beside the manifest; the web installer takes a download of any size\n";
  return kExitOk;
}

int Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command c("inspect", kInspectHelp, out, err);
  int code;
  if (!c.Parse(args, {{nullptr, "--json", false}}, 1, code)) return code;
  PackageSummary s = InspectPackage(c.Arg(0));
  if (s.disks.empty()) {
    for (const auto& f : s.faults) err << f << '\n';
    return kExitFault;
  }
  if (c.Has("--json")) {
    WriteSummaryJson(s, out);
  } else {
    WriteSummaryText(s, out);
    for (const auto& f : s.faults) err << f << '\n';
  }
  return s.faults.empty() ? kExitOk : kExitFault;
}

int Verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command c("verify", kVerifyHelp, out, err);
  int code;
  if (!c.Parse(args, {}, 1, code)) return code;
  VerifyResult r = VerifyPackage(c.Arg(0));
  for (const auto& f : r.faults) out << f << '\n';
  if (!r.faults.empty()) return kExitFault;
  out << c.Arg(0) << ": sound (" << r.disks << (r.disks == 1 ? " disk, " : " disks, ") << r.blocks
      << (r.blocks == 1 ? " block)\n" : " blocks)\n");
  return kExitOk;
}

int Extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command c("extract", kExtractHelp, out, err);
  int code;
  if (!c.Parse(args, {{"-C", "--directory", true}}, 1, code)) return code;
  if (!c.Has("--directory")) return c.Usage("-C DIR is required");
  ExtractResult r = ExtractPackage(c.Arg(0), c.Option("--directory"));
  for (const auto& f : r.faults) err << f << '\n';
  out << r.files.size() << (r.files.size() == 1 ? " file, " : " files, ") << r.bytes << " bytes written to "
      << c.Option("--directory") << "; setup entry: " << (r.setupEntry.empty() ? "none" : r.setupEntry) << '\n';
  return r.faults.empty() ? kExitOk : kExitFault;
}

int Token(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command c("token", kTokenHelp, out, err);
  int code;
  if (!c.Parse(args, {{nullptr, "--decode", false}}, 1, code)) return code;
  if (c.Has("--decode"))
    out << Descramble(c.Arg(0)) << '\n';
  else
    out << ScrambleToken(c.Arg(0), std::random_device{}()) << '\n';
  return kExitOk;
}

// A whole number within the range the agent keeps; nothing otherwise.
constexpr int64_t kLongestExpiry = 3650;

std::optional<int64_t> InfoNumber(const std::string& text, int64_t lowest) {
  int64_t value = 0;
  if (!ParseInt64(text, value) || value < lowest || value > kLargestInfoNumber) return std::nullopt;
  return value;
}

int CheckInfo(const Command& c, std::ostream& out, std::ostream& err) {
  std::string error;
  if (!CheckInfoSignature(c.Arg(0), c.Option("--check"), error)) {
    err << error << '\n';
    return kExitFault;
  }
  out << c.Arg(0) << ": signed by the key of " << c.Option("--check") << '\n';
  return kExitOk;
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command c("info", kInfoHelp, out, err);
  int code;
  if (!c.Parse(args,
               {{nullptr, "--update", true}, {nullptr, "--inform", true}, {nullptr, "--version", true},
                {nullptr, "--stamp", true}, {nullptr, "--rollout", true}, {nullptr, "--sign", true},
                {nullptr, "--check", true}, {nullptr, "--serial", true}, {nullptr, "--expires", true}},
               1, code))
    return code;
  if (c.Has("--check")) {
    for (const char* option :
         {"--update", "--inform", "--version", "--stamp", "--rollout", "--sign", "--serial", "--expires"})
      if (c.Has(option)) return c.Usage(std::string("--check takes no ") + option);
    return CheckInfo(c, out, err);
  }
  InfoRequest request;
  request.infoPath = c.Arg(0);
  if (c.Has("--update")) request.updatePath = c.Option("--update");
  if (c.Has("--inform")) request.informPath = c.Option("--inform");
  if (c.Has("--sign")) request.signKey = c.Option("--sign");
  auto number = [&](const char* option, int64_t lowest, std::optional<int64_t>& into) {
    if (c.Has(option)) into = InfoNumber(c.Option(option), lowest);
    return !c.Has(option) || into.has_value();
  };
  if (!number("--version", 1, request.versionNew))
    return c.Usage("--version must be a whole number from 1 to " + std::to_string(kLargestInfoNumber));
  if (!number("--stamp", 0, request.stamp))
    return c.Usage("--stamp must be a whole number from 0 to " + std::to_string(kLargestInfoNumber));
  if (!number("--rollout", 0, request.rolloutPercent) || (request.rolloutPercent && *request.rolloutPercent > 100))
    return c.Usage("--rollout must be a whole number from 0 to 100");
  if (!number("--serial", 1, request.serial))
    return c.Usage("--serial must be a whole number from 1 to " + std::to_string(kLargestInfoNumber));
  if (!number("--expires", 1, request.expiresDays) || (request.expiresDays && *request.expiresDays > kLongestExpiry))
    return c.Usage("--expires must be a whole number of days from 1 to " + std::to_string(kLongestExpiry));
  for (const char* option : {"--serial", "--expires"})
    if (c.Has(option) && !c.Has("--sign")) return c.Usage(std::string(option) + " needs --sign");
  for (const char* option : {"--update", "--inform", "--sign"})
    if (c.Has(option) && c.Option(option).empty()) return c.Usage(std::string(option) + " needs a file");
  if (request.updatePath.empty() && request.informPath.empty() && !request.versionNew && !request.stamp &&
      !request.rolloutPercent && request.signKey.empty())
    return c.Usage("nothing to write: give --update, --inform, --version, --stamp, --rollout or --sign");

  InfoResult result;
  std::string error;
  if (!UpdateInfoFile(request, result, error)) {
    err << error << '\n';
    return kExitFault;
  }
  if (result.created) out << request.infoPath << ": created\n";
  for (const InfoChange& change : result.changes) {
    out << request.infoPath << ": [" << change.section << "] " << change.key << "=" << change.after;
    if (!change.before)
      out << " (new)\n";
    else if (*change.before == change.after)
      out << " (unchanged)\n";
    else
      out << " (was " << *change.before << ")\n";
  }
  for (const std::string& note : result.notes) out << request.infoPath << ": " << note << '\n';
  if (result.signedFile) out << request.infoPath << ": signed with " << request.signKey << '\n';
  return kExitOk;
}

int Keygen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command c("keygen", kKeygenHelp, out, err);
  int code;
  if (!c.Parse(args, {}, 2, code)) return code;
  if (SameFile(c.Arg(0), c.Arg(1)) || c.Arg(0) == c.Arg(1)) return c.Usage("the two keys need two files");
  std::string error;
  if (!GenerateKeyPair(c.Arg(0), c.Arg(1), error)) {
    err << "tarnix-pack keygen: " << error << '\n';
    return kExitFault;
  }
  out << c.Arg(0) << ": private key (keep it secret)\n" << c.Arg(1) << ": public key (PublicKey in [Settings])\n"
      << "To rotate to this key later, or after a key leaked: tarnix-pack keygen --help\n";
  return kExitOk;
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  if (args.empty()) {
    err << kMainHelp;
    return kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    out << kMainHelp;
    return kExitOk;
  }
  if (command == "build") return Build(args, argc > 0 ? argv[0] : nullptr, out, err);
  if (command == "inspect") return Inspect(args, out, err);
  if (command == "verify") return Verify(args, out, err);
  if (command == "extract") return Extract(args, out, err);
  if (command == "token") return Token(args, out, err);
  if (command == "info") return Info(args, out, err);
  if (command == "keygen") return Keygen(args, out, err);
  err << "tarnix-pack: unknown command \"" << command << "\"\nRun 'tarnix-pack --help' for usage.\n";
  return kExitUsage;
}

}  // namespace

int RunTarnixPack(int argc, char** argv, std::ostream& out, std::ostream& err) {
  try {
    return Run(argc, argv, out, err);
  } catch (const std::exception& e) {
    err << "tarnix-pack: " << e.what() << '\n';
  } catch (...) {
    err << "tarnix-pack: unexpected error\n";
  }
  return kExitFault;
}

int RunTarnixPack(int argc, char** argv) { return RunTarnixPack(argc, argv, std::cout, std::cerr); }

}  // namespace tarnix::pack
