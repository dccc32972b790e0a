// The pipeline's file operations over the wide Win32 file functions.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/win32/wide.h"

namespace zelmo::files {
namespace {

thread_local DWORD lastError = 0;

HANDLE asHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The failure of a move as the caller can act on it; remembers the error for the message.
RenameResult moveResultOf(DWORD error) {
    lastError = error;
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return RenameResult::TargetExists;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return RenameResult::Refused;
    return RenameResult::Failed;
}

// Seconds since 1970 from a FILETIME (100 ns units since 1601).
int64_t unixSeconds(const FILETIME& time) {
    const uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
}

// A folder entry from what the system reports of it; reparse points (links) are not regular.
FileInfo describe(const std::string& name, DWORD attributes, DWORD sizeHigh, DWORD sizeLow,
                  const FILETIME& modified) {
    FileInfo info;
    info.name = name;
    info.size = (uint64_t{sizeHigh} << 32) | sizeLow;
    info.modifiedSeconds = unixSeconds(modified);
    info.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                  FILE_ATTRIBUTE_DEVICE)) == 0;
    return info;
}

// Writes all of bytes through handle; false on any failure.
bool writeAll(HANDLE handle, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// Opens path for writing as the flags say, never through a link; a closed File on failure.
File openForWriting(const std::string& path, DWORD access, DWORD disposition) {
    const HANDLE h =
        ::CreateFileW(win32::widen(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return File();
    return File(reinterpret_cast<intptr_t>(h));
}

// Whether an open handle is a plain file on a disk: not a link (opened as itself), a folder, a
// pipe or a device.
bool isRegular(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info))
        return false;
    return (info.dwFileAttributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Opens path with access as a regular file of ours (emptied when truncate) and writes text.
bool writeRegular(const std::string& path, DWORD access, const std::string& text,
                  bool truncate = false) {
    File file = openForWriting(path, access, OPEN_ALWAYS);
    if (!file.isOpen()) {
        lastError = ::GetLastError();
        return false;
    }
    const HANDLE h = asHandle(file.handle());
    if (!isRegular(h)) {
        lastError = ERROR_INVALID_FUNCTION;
        return false;
    }
    if (truncate && !::SetEndOfFile(h)) {
        lastError = ::GetLastError();
        return false;
    }
    if (writeAll(h, text)) return true;
    lastError = ::GetLastError();
    return false;
}

}  // namespace

// Releases the block: a job of hundreds of megabytes must not stay committed after it printed.
void JobBytes::reset() {
    if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
    data_ = nullptr;
    size_ = 0;
}

// Committed pages the system hands out zeroed as the read touches them, as on Linux.
uint8_t* JobBytes::allocate(std::size_t size) {
    reset();
    if (size == 0) return nullptr;
    void* block = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block) return nullptr;
    data_ = static_cast<uint8_t*>(block);
    size_ = size;
    return data_;
}

// Windows reads every job into fresh memory.
bool JobBytes::map(File&, std::size_t) {
    reset();
    return false;
}

// A block read into memory is always whole.
bool JobBytes::intact() const {
    return true;
}

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

// The link itself is opened (FILE_FLAG_OPEN_REPARSE_POINT), and then refused as not regular.
File openRegular(const std::string& path) {
    const HANDLE h = ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError = ::GetLastError();
        return File();
    }
    File file(reinterpret_cast<intptr_t>(h));
    if (isRegular(h)) return file;
    lastError = ERROR_INVALID_FUNCTION;
    return File();
}

// Opens path read-only, shared with readers and writers alike.
File openShared(const std::string& path) {
    const HANDLE h = ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? File() : File(reinterpret_cast<intptr_t>(h));
}

// Whether anything exists under path.
bool exists(const std::string& path) {
    return ::GetFileAttributesW(win32::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// MoveFileW without MOVEFILE_REPLACE_EXISTING never replaces its target.
RenameResult renameNoReplace(const std::string& from, const std::string& to) {
    if (::MoveFileW(win32::widen(from).c_str(), win32::widen(to).c_str()))
        return RenameResult::Renamed;
    return moveResultOf(::GetLastError());
}

// A hard link and a delete: the same move where a file system has links but MoveFileW fails.
RenameResult moveByLink(const std::string& from, const std::string& to) {
    if (!::CreateHardLinkW(win32::widen(to).c_str(), win32::widen(from).c_str(), nullptr))
        return moveResultOf(::GetLastError());
    if (::DeleteFileW(win32::widen(from).c_str())) return RenameResult::Renamed;
    // The job stays under its old name only; the new link goes again.
    const DWORD error = ::GetLastError();
    ::DeleteFileW(win32::widen(to).c_str());
    return moveResultOf(error);
}

// The system's text for the last failed call of this unit.
std::string lastErrorMessage() {
    const std::string message = win32::systemMessage(lastError);
    return message.empty() ? "error " + std::to_string(lastError) : message;
}

// Removes the file at path.
bool deleteFile(const std::string& path) {
    return ::DeleteFileW(win32::widen(path).c_str()) != 0;
}

// The folder's entries, "." and ".." left out.
std::vector<FileInfo> listFolder(const std::string& dir) {
    std::vector<FileInfo> entries;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(win32::widen(dir + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::string name = win32::narrow(found.cFileName);
        if (name == "." || name == "..") continue;
        entries.push_back(describe(name, found.dwFileAttributes, found.nFileSizeHigh,
                                   found.nFileSizeLow, found.ftLastWriteTime));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

// One entry, as listFolder describes it.
bool fileInfo(const std::string& path, FileInfo& info) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(win32::widen(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    info = describe(path.substr(path.find_last_of("/\\") + 1), data.dwFileAttributes,
                    data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
    return true;
}

// Temporary file, flush, then MoveFileExW over the old one: the old file or the new.
bool replaceFileAtomically(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    ::DeleteFileW(win32::widen(temporary).c_str());
    File file = openForWriting(temporary, GENERIC_WRITE, CREATE_NEW);
    if (!file.isOpen()) return false;
    const bool written =
        writeAll(asHandle(file.handle()), bytes) && ::FlushFileBuffers(asHandle(file.handle()));
    file.close();
    if (!written || !::MoveFileExW(win32::widen(temporary).c_str(), win32::widen(path).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(win32::widen(temporary).c_str());
        return false;
    }
    return true;
}

// Appends text in one write, so that two writers never interleave inside a line.
bool appendToFile(const std::string& path, const std::string& text) {
    return writeRegular(path, FILE_APPEND_DATA, text);
}

// The same open, emptying the file first.
bool rewriteFile(const std::string& path, const std::string& text) {
    return writeRegular(path, GENERIC_WRITE, text, true);
}

const char* const kTextFileStart = "\xEF\xBB\xBF";
const char* const kLineEnd = "\r\n";

// Copies in blocks, so that a large document needs no memory of its size.
bool copyToNewFile(File& from, const std::string& to) {
    File file = openForWriting(to, GENERIC_WRITE, CREATE_NEW);
    if (!file.isOpen()) {
        lastError = ::GetLastError();
        return false;
    }
    // A read that ends early is a failure, told by the length known beforehand.
    const int64_t length = from.seekLength();
    std::string block;
    int64_t total = 0;
    bool copied = length >= 0;
    for (std::size_t got = 1; copied && got > 0; total += static_cast<int64_t>(got)) {
        block.resize(1 << 16);
        got = from.read(block.data(), block.size());
        block.resize(got);
        copied = writeAll(asHandle(file.handle()), block);
    }
    copied = copied && total == length && ::FlushFileBuffers(asHandle(file.handle()));
    if (!copied) lastError = ::GetLastError();
    file.close();
    if (!copied) ::DeleteFileW(win32::widen(to).c_str());
    return copied;
}

// A folder's attributes without a reparse point (a link or junction).
bool isRealFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opening the folder itself follows links and junctions to what they lead to.
bool folderExists(const std::string& path) {
    const HANDLE h = ::CreateFileW(win32::widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError = ::GetLastError();
        return false;
    }
    File folder(reinterpret_cast<intptr_t>(h));
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    lastError = ERROR_DIRECTORY;
    return false;
}

// CreateDirectoryW; an existing folder is success.
bool makeFolder(const std::string& path) {
    const std::wstring wide = win32::widen(path);
    if (::CreateDirectoryW(wide.c_str(), nullptr)) return true;
    lastError = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return lastError == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// MoveFileExW, which replaces to.
bool renameReplacing(const std::string& from, const std::string& to) {
    if (::MoveFileExW(win32::widen(from).c_str(), win32::widen(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING))
        return true;
    lastError = ::GetLastError();
    return false;
}

// Reads path whole when it is a regular file of at most a megabyte.
bool readSmallFile(const std::string& path, std::string& out) {
    constexpr int64_t kLimit = 1 << 20;
    FileInfo info;
    if (!fileInfo(path, info) || !info.regular || info.size > kLimit) return false;
    const HANDLE h =
        ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    File file(reinterpret_cast<intptr_t>(h));
    out.assign(static_cast<std::size_t>(info.size), '\0');
    out.resize(file.read(out.data(), out.size()));
    return true;
}

}  // namespace zelmo::files
