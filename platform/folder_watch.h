// Watching the program's folder for a finished job file, so that it is captured at once rather
// than at the next tick. Linux: inotify (platform/linux/folder_watch.cpp); a Windows build
// fills the same interface with ReadDirectoryChangesW. The tick stays as the fallback, so a
// watch that cannot be had only costs speed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zelmo {

class FolderWatch {
  public:
    virtual ~FolderWatch() = default;
    // A handle the window's event loop can wait on for readability (a file descriptor on
    // Linux); kNoHandle when the watch is served otherwise.
    virtual intptr_t handle() const = 0;
    // Drains what the system reported; true when the watched name was closed after writing
    // or moved into the folder since the last call. Never blocks.
    virtual bool takeEvents() = 0;

    static constexpr intptr_t kNoHandle = -1;
};

// Watches dir (ending with a separator) for fileName; null when the system refuses a watch.
std::unique_ptr<FolderWatch> watchFolder(const std::string& dir, const std::string& fileName);

}  // namespace zelmo
