// The folder watch over a change notification handle, which the window's message loop waits on
// beside its messages.
#include "platform/folder_watch.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace zelmo {
namespace {

class ChangeNotification : public FolderWatch {
  public:
    explicit ChangeNotification(HANDLE handle) : handle_(handle) {}
    ~ChangeNotification() override { ::FindCloseChangeNotification(handle_); }

    intptr_t handle() const override { return reinterpret_cast<intptr_t>(handle_); }

    // The notification tells that the folder changed, not which name: any change counts, and a
    // capture that finds nothing to take costs one look at the folder.
    bool takeEvents() override {
        if (::WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0) return false;
        ::FindNextChangeNotification(handle_);
        return true;
    }

  private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<FolderWatch> watchFolder(const std::string& dir, const std::string&) {
    const HANDLE handle = ::FindFirstChangeNotificationW(
        win32::widen(dir).c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<ChangeNotification>(handle);
}

}  // namespace zelmo
