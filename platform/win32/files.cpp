// The pipeline's file operations over the wide Win32 file functions.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/wide.h"

namespace zelmo::files {
namespace {

HANDLE asHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

// Closes the handle now.
void File::close() {
    const intptr_t handle = release();
    if (handle != kInvalid) ::CloseHandle(asHandle(handle));
}

// The file's length from a seek to its end, leaving the position at the start.
int64_t File::seekLength() {
    if (!isOpen()) return -1;
    LARGE_INTEGER zero{}, end{};
    if (!::SetFilePointerEx(asHandle(handle_), zero, &end, FILE_END) ||
        !::SetFilePointerEx(asHandle(handle_), zero, nullptr, FILE_BEGIN))
        return -1;
    return static_cast<int64_t>(end.QuadPart);
}

// Reads until size bytes arrived, the file ended or a read failed; ReadFile takes 32-bit counts.
std::size_t File::read(void* buffer, std::size_t size) {
    if (!isOpen()) return 0;
    auto* at = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(asHandle(handle_), at + done, chunk, &got, nullptr) || got == 0) break;
        done += got;
    }
    return done;
}

// Share mode 0: the open fails with a sharing violation while anyone else has the file open,
// which is how the accounting program's unfinished job is told apart from a finished one.
File openExclusive(const std::string& path) {
    const HANDLE h = ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return File();
    return File(reinterpret_cast<intptr_t>(h));
}

// Whether anything exists under path.
bool exists(const std::string& path) {
    return ::GetFileAttributesW(win32::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// MoveFileW without MOVEFILE_REPLACE_EXISTING never replaces its target.
RenameResult renameNoReplace(const std::string& from, const std::string& to) {
    if (::MoveFileW(win32::widen(from).c_str(), win32::widen(to).c_str()))
        return RenameResult::Renamed;
    const DWORD error = ::GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameResult::TargetExists
                                                                       : RenameResult::Failed;
}

// Removes the file at path.
bool deleteFile(const std::string& path) {
    return ::DeleteFileW(win32::widen(path).c_str()) != 0;
}

}  // namespace zelmo::files
