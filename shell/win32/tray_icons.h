// The tray icon's paused and error variants, drawn from the program's own icon.
#pragma once

#include <windows.h>

#include "shell/main_form.h"

namespace zelmo::win32 {

// A copy of icon with the variant's mark over its lower right part: two amber bars for
// Paused, a red disc with an exclamation mark for Error (Monitoring: a plain copy). Null when
// the icon cannot be read; the caller destroys the result.
HICON makeTrayIcon(HICON icon, TrayIconKind kind);

}  // namespace zelmo::win32
