// The folder lock as a named mutex: a kernel object that goes with the last process holding it,
// so a crashed Zelmo leaves nothing behind, and no file appears in the monitored folder.
#include "platform/folder_lock.h"

#include <windows.h>

#include <string>

#include "platform/win32/folder_key.h"

namespace zelmo {
// Makes the folder's mutex; it existed already when another Zelmo holds the folder. Another
// user's mutex cannot be opened (access denied), which says the same. A lock that cannot be made
// for any other reason does not keep the user from printing.
FolderLock::FolderLock(const std::string& folder) {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, win32::folderMutexName(folder).c_str());
    const DWORD error = ::GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return;
    }
    if (!mutex) {
        held_ = error != ERROR_ACCESS_DENIED;
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(mutex);
    held_ = true;
}

// The mutex names the path, which stays the monitor's whatever folder is made under it.
bool FolderLock::follow() {
    return true;
}

// The mutex goes with its last handle.
FolderLock::~FolderLock() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace zelmo
