// The file operations of the job pipeline. The portable build (platform/portable/files.cpp) is
// for Linux; a Windows build fills the same declarations with CreateFile, MoveFile and friends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelmo::files {

// An open file, closed by its destructor. Move-only.
class File {
  public:
    File() = default;
    explicit File(intptr_t handle) : handle_(handle) {}
    ~File();
    File(File&& other) noexcept : handle_(other.release()) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return handle_ != kInvalid; }
    intptr_t handle() const { return handle_; }
    intptr_t release();
    void close();

    // Length in bytes, learnt by seeking to the end and back to the start; -1 on failure.
    int64_t seekLength();
    // Reads up to size bytes at the current position, retrying short reads; returns the bytes
    // read (fewer only at the end of the file or on an error).
    std::size_t read(void* buffer, std::size_t size);

    static constexpr intptr_t kInvalid = -1;

  private:
    intptr_t handle_ = kInvalid;
};

// Opens path read-only with exclusive sharing: fails (returns a closed File) while any process,
// this one included, has the file open for writing, or when it cannot be opened at all.
File openExclusive(const std::string& path);

bool exists(const std::string& path);

enum class RenameResult {
    Renamed,
    TargetExists,  // nothing was moved
    Failed,        // any other reason: the source vanished, no permission, ...
};
// Moves from to to; never replaces an existing to.
RenameResult renameNoReplace(const std::string& from, const std::string& to);

// Deletes path; false when it could not be deleted (or was not there).
bool deleteFile(const std::string& path);

// Reads the whole of an exclusively opened path into out (replacing it); false when the file
// cannot be opened or not all of it could be read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);

enum class ReadResult {
    Read,
    Missing,   // nothing exists under the path
    Unusable,  // not a regular file (a FIFO, a device, a folder), too large, or unreadable
};
// Reads path whole into out when it is a regular file of at most maxBytes. Never waits: a FIFO
// or a device is refused without being read.
ReadResult readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out);

// Replaces the contents of path in one step: written to a new file beside it, flushed to the
// disk and renamed over it, so a reader finds the old contents or the new, never a part. The
// old file's permissions are kept; a symbolic link is followed to the file it names. False, with
// path untouched and nothing left behind, when any step fails (errno tells why).
bool replaceFile(const std::string& path, const std::string& contents);

}  // namespace zelmo::files
