// The outline fonts of Linux are the files of Debian's font packages, where they install them.
#include <unistd.h>

#include "platform/font_files.h"

namespace zelmo {

bool findFontFile(const char* name, FontFile& out) {
    out = FontFile{};
    out.path = std::string("/usr/share/fonts/") + name;
    return access(out.path.c_str(), R_OK) == 0;
}

}  // namespace zelmo
