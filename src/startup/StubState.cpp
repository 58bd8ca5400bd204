#include "startup/StubState.h"

#include <utility>

#include "package/LanguageDefaults.h"

namespace tarnix {

namespace {

TGFileInfo& Package() {
  static TGFileInfo package;
  return package;
}

uint32_t g_exitCode = 0;

}  // namespace

const TGFileInfo& StubPackage() { return Package(); }
void SetStubPackage(TGFileInfo reader) { Package() = std::move(reader); }

std::string StubText(std::string_view key) { return Package().LangString(key, DefaultLanguageText(key)); }

uint32_t ExitCode() { return g_exitCode; }
void SetExitCode(uint32_t code) { g_exitCode = code; }

}  // namespace tarnix
