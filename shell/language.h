// Which language the toolkit's own dialogs speak. Zelmo's texts are Polish whatever the
// locale; the toolkit's (file dialog, standard buttons) follow the user's locale, and an unset
// locale (C or POSIX, as services and bare desktops start programs) counts as Polish, the
// language of the offices Zelmo is made for.
#pragma once

#include <string>

namespace zelmo {

// The language code ("pl", "de") of the first set of LC_ALL, LC_MESSAGES and LANG, as POSIX
// orders them; "pl" when none is set or the locale is C or POSIX.
std::string toolkitLanguage(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace zelmo
