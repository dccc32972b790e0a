// The file operations of the job pipeline. The Linux build (platform/linux/files.cpp) is
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

// The bytes of one whole job file: a large one mapped from the page cache, a small one read
// into fresh memory; freed by reset() and by the destructor. Move-only.
class JobBytes {
  public:
    JobBytes() = default;
    ~JobBytes() { reset(); }
    JobBytes(JobBytes&& other) noexcept;
    JobBytes& operator=(JobBytes&& other) noexcept;
    JobBytes(const JobBytes&) = delete;
    JobBytes& operator=(const JobBytes&) = delete;

    const uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Gives the memory back to the system.
    void reset();
    // Replaces the contents with size bytes of undefined value; null (and empty) when the
    // memory cannot be had. A size of 0 succeeds with no memory at all.
    uint8_t* allocate(std::size_t size);
    // Replaces the contents with the first size bytes of file, mapped where that saves the
    // copy (a large regular file); false, empty, where the caller must read them instead.
    bool map(File& file, std::size_t size);
    // False once the file lost bytes under its mapping (truncated, or an I/O error): they then
    // read as zeros, and whatever was made of them is not the job.
    bool intact() const;

  private:
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Opens path read-only with exclusive sharing: fails (returns a closed File) while any process,
// this one included, has the file open for writing, or when it cannot be opened at all.
File openExclusive(const std::string& path);

// Opens path read-only, shared with anyone: for tools that read a job the queue does not own.
File openShared(const std::string& path);
// Opens path read-only, shared, only as a regular file: never through a link, never waiting on
// a FIFO; a closed File otherwise.
File openRegular(const std::string& path);

bool exists(const std::string& path);

enum class RenameResult {
    Renamed,
    TargetExists,  // nothing was moved
    Refused,       // the folder cannot be written (read-only, no permission): nothing will do
    Failed,        // any other reason: the source vanished, was reopened, ...
};
// Moves from to to; never replaces an existing to. Where the system has no such rename (some
// FUSE and network file systems) a link and an unlink do the same.
RenameResult renameNoReplace(const std::string& from, const std::string& to);
// The same move as a hard link and an unlink, for file systems that have no no-replace rename;
// renameNoReplace falls back to it by itself.
RenameResult moveByLink(const std::string& from, const std::string& to);
// The system's message for the last failed call of this unit, in its own words.
std::string lastErrorMessage();

// Deletes path; false when it could not be deleted (or was not there).
bool deleteFile(const std::string& path);

// Reads all of an open file into out (replacing it); false, with out empty, when not all of it
// could be read.
bool readWhole(File& file, JobBytes& out);

// Reads the whole of an exclusively opened path into out (replacing it); false when the file
// cannot be opened or not all of it could be read.
bool readWholeFile(const std::string& path, JobBytes& out);

// What a folder entry is, without following a link.
struct FileInfo {
    std::string name;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // since the epoch
    bool regular = false;         // a regular file, not a link, folder or device
};
// The entries of dir (ending with a separator); empty when it cannot be read.
std::vector<FileInfo> listFolder(const std::string& dir);
// One entry; false when there is none.
bool fileInfo(const std::string& path, FileInfo& info);

// Replaces path with bytes as one step: written to a temporary file beside it, flushed, then
// renamed over it, so a reader sees the old or the new whole file, never a part. False (and
// the old file intact) when any step fails.
bool replaceFileAtomically(const std::string& path, const std::string& bytes);
// Appends text to path, creating it; only a regular file of ours is written, never one reached
// through a link, a FIFO or a device, and opening never waits. False when it cannot.
bool appendToFile(const std::string& path, const std::string& text);
// Empties path (a regular file, as appendToFile takes it, created when missing) and writes text.
bool rewriteFile(const std::string& path, const std::string& text);
// Renames from to to, replacing to; false when it cannot.
bool renameReplacing(const std::string& from, const std::string& to);
// What a text file of ours begins with and ends its lines with on this system: Notepad before
// Windows 10 1903 reads UTF-8 only after a byte-order mark and breaks lines only at CR LF.
extern const char* const kTextFileStart;
extern const char* const kLineEnd;
// Copies all of from into a new file to (never replacing one, never through a link) and
// flushes it to the disk; false, with no file left at to, when any step fails.
bool copyToNewFile(File& from, const std::string& to);
// Whether path is a folder itself, not a link to one.
bool isRealFolder(const std::string& path);
// Whether path leads to a folder, through links or not.
bool folderExists(const std::string& path);
// Makes the folder path (its parent must exist); true when it is there, made or not.
bool makeFolder(const std::string& path);
// Reads a small regular file whole; false when it is missing, not regular or unreadable.
bool readSmallFile(const std::string& path, std::string& out);

}  // namespace zelmo::files
