#include <windows.h>

#include "package/LanguageTable.h"

namespace tarnix {

std::string UserLanguageName() { return UserLanguageNameFor(static_cast<uint32_t>(::GetThreadLocale())); }

}  // namespace tarnix
