// Untrusted texts (list blocks, tokens, command lines) through the text
// routines that parse them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Utils/StrUtils.h"
#include "Utils/SUB.h"
#include "Utils/Switches.h"
#include "autoupdate/TransientOverrides.h"
#include "autoupdate/UpdateDecision.h"
#include "package/Token.h"

using namespace tarnix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  (void)Descramble(text);
  (void)ReadScrambledRecord(text);
  (void)ScrambleText(text, false, true);
  (void)SUB::Count(text);
  (void)SUB::Item(text, -1);
  (void)SUB::Value(text, "Key", "e", "m");
  (void)SUB::Distinct(text);
  (void)SUB::Redelimit(text);
  (void)SUB::SetItem(text, 5, "v|w");
  std::string params = CommandLineParams(text, "C:\\dir\\stub.exe");
  (void)HasSwitchIn(params, "/hide");
  (void)SwitchValueIn(params, "/SpanDiskFName1", "");
  (void)SwitchIntIn(params, "/SpanCdLvl", 1);
  ApplyTransientText(text);
  (void)TransientText();
  (void)ValidVersionOk(text, 5);
  return 0;
}
