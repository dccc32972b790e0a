// Where the outline fonts' files are: each platform finds the files Debian's font packages
// install, by their path under the system's font folder (opentype/urw-base35/..., truetype/...).
#pragma once

#include <cstddef>
#include <string>

namespace zelmo {

// A font file: a path to open, or its bytes compiled into the program.
struct FontFile {
    std::string path;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Finds the font file of that name (a path under the system's font folder); false when the
// platform has no such file.
bool findFontFile(const char* name, FontFile& out);

}  // namespace zelmo
