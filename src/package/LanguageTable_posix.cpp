#include "package/LanguageTable.h"

namespace tarnix {

// Only Windows has thread locales; locale 0 is the table's English.
std::string UserLanguageName() { return UserLanguageNameFor(0); }

}  // namespace tarnix
