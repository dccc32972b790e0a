// Windows has none of Debian's font packages: the same font files ship in the folder fonts
// beside the program (unchanged, each under its own licence), so that its sheets are drawn with
// the very glyphs the Linux build draws. They are read with the wide file calls (the folder's
// path may hold Polish letters, which FreeType's own fopen would not open) and kept for the
// process's life, as FreeType reads a face's bytes for as long as the face is open.
#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/font_files.h"
#include "platform/win32/wide.h"

namespace zelmo {
namespace {

// The folder fonts beside the running program, with a trailing backslash.
std::string fontFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "fonts\\";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return win32::narrow(path) + "fonts\\";
}

}  // namespace

bool findFontFile(const char* name, FontFile& out) {
    static std::mutex mutex;
    static std::map<std::string, files::JobBytes> loaded;
    std::lock_guard<std::mutex> lock(mutex);
    out = FontFile{};
    const std::string path(name);
    auto found = loaded.find(path);
    if (found == loaded.end()) {
        files::JobBytes bytes;
        files::File file =
            files::openShared(fontFolder() + path.substr(path.find_last_of('/') + 1));
        if (!file.isOpen() || !files::readWhole(file, bytes)) bytes.reset();
        found = loaded.emplace(path, std::move(bytes)).first;
    }
    if (found->second.empty()) return false;
    out.data = found->second.data();
    out.size = found->second.size();
    return true;
}

}  // namespace zelmo
