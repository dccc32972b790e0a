// The toolkit's language from the locale variables.
#include "shell/language.h"

namespace zelmo {

// "pl_PL.UTF-8" gives "pl"; C, POSIX and C.UTF-8 give Polish.
std::string toolkitLanguage(const char* lcAll, const char* lcMessages, const char* lang) {
    std::string locale;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            locale = value;
            break;
        }
    }
    const std::string code = locale.substr(0, locale.find_first_of("_.@"));
    if (code.empty() || code == "C" || code == "POSIX") return "pl";
    return code;
}

}  // namespace zelmo
