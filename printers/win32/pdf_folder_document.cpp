// The PDF folder's documents on Windows: a hidden partial file of the folder, given its name
// through its own open handle when complete, a rename that never replaces an existing file.
#include <windows.h>
// After windows.h: the C runtime's descriptors over a handle.
#include <fcntl.h>
#include <io.h>

#include <random>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/win32/wide.h"
#include "printers/pdf/folder_document.h"

namespace zelmo {
namespace {

constexpr int kMaxSameName = 10000;
// Hidden partial documents start with this; one open for writing is being written right now.
constexpr const wchar_t kPartialPrefix[] = L".zelmo-";

// The failed call's message, with what the error code means for the user.
[[noreturn]] void throwFailure(const std::string& what, const std::string& path) {
    const DWORD error = ::GetLastError();
    const std::string detail = win32::systemMessage(error);
    throw PrinterError(what + " " + path + (detail.empty() ? "" : ": " + detail),
                       troubleOfWindowsError(error));
}

// The folder itself with a trailing separator, never a link to one; created when missing.
std::wstring folderPath(const std::string& folder, bool create) {
    std::wstring path = win32::widen(folder);
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && create) {
        if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            throwFailure("Cannot create", folder);
        attributes = ::GetFileAttributesW(path.c_str());
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (create) throwFailure("Cannot open", folder);
        return {};
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        throw PrinterError("Cannot use " + folder + ": not a folder but a link or a file");
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path;
}

// A document being written into a hidden file of the folder. The file is shared for reading
// only, so that no one deletes it under the writer and a later start knows it is not stale.
class FolderDocument : public DocumentFile {
  public:
    FolderDocument(const std::string& folder, std::string name)
        : folder_(folder), name_(std::move(name)), dir_(folderPath(folder, true)) {
        std::random_device random;
        HANDLE handle = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
            temp_ = dir_ + kPartialPrefix + std::to_wstring(random()) + L".pdf.part";
            handle =
                ::CreateFileW(temp_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
            if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
                throwFailure("Cannot create a file in", folder_);
        }
        if (handle == INVALID_HANDLE_VALUE) throwFailure("Cannot create a file in", folder_);
        fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
        if (fd_ < 0) {
            discard(handle);
            ::CloseHandle(handle);
            throw PrinterError("Cannot create a file in " + folder_);
        }
        handle_ = handle;
    }
    // An unpublished document goes; closing the descriptor closes the handle.
    ~FolderDocument() override {
        if (!published_) discard(handle_);
        ::_close(fd_);
    }
    FolderDocument(const FolderDocument&) = delete;
    FolderDocument& operator=(const FolderDocument&) = delete;

    int fd() const override { return fd_; }

    // On disk before it has its name: a document appears whole or not at all.
    void deliver() override {
        if (!::FlushFileBuffers(handle_)) throwFailure("Cannot write", folder_);
        for (int n = 1; n <= kMaxSameName; ++n) {
            const std::string name =
                name_ + (n == 1 ? "" : " (" + std::to_string(n) + ")") + ".pdf";
            if (publish(dir_ + win32::widen(name))) {
                published_ = true;
                publishedPath_ = folder_ + "\\" + name;
                // Seen as any saved document is.
                FILE_BASIC_INFO basic{};
                basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
                ::SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic);
                return;
            }
        }
        throw PrinterError("No free file name in " + folder_);
    }

    std::string published() const override { return publishedPath_; }

  private:
    // Marks the open file for deletion when its last handle closes.
    static void discard(HANDLE handle) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    }

    // Gives the document its name; false when the name is taken.
    bool publish(const std::wstring& target) {
        const size_t bytes = target.size() * sizeof(wchar_t);
        std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(bytes);
        target.copy(rename->FileName, target.size());
        if (::SetFileInformationByHandle(handle_, FileRenameInfo, rename,
                                         static_cast<DWORD>(buffer.size())))
            return true;
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
        throwFailure("Cannot create", folder_ + "\\" + win32::narrow(target));
    }

    std::string folder_;
    std::string name_;
    std::wstring dir_;
    std::wstring temp_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    int fd_ = -1;
    bool published_ = false;
    std::string publishedPath_;
};

}  // namespace

// A partial file that no process has open is stale: only then can it be opened for deletion.
void removeStalePartials(const std::string& folder) {
    const std::wstring dir = folderPath(folder, false);
    if (dir.empty()) return;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((dir + kPartialPrefix + L"*.pdf.part").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        HANDLE file = ::CreateFileW((dir + found.cFileName).c_str(), DELETE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// A hidden file in the folder, named when the document is complete.
std::unique_ptr<DocumentFile> createFolderDocument(const std::string& folder,
                                                   const std::string& name) {
    return std::make_unique<FolderDocument>(folder, name);
}

}  // namespace zelmo
