// The file operations every platform shares: owning a handle or a job's block, and reading a
// whole job.
#include <cstdint>
#include <utility>

#include "platform/files.h"

namespace zelmo::files {

// Takes over other's bytes.
JobBytes::JobBytes(JobBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

// Takes over other's bytes, freeing the ones held before.
JobBytes& JobBytes::operator=(JobBytes&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

// Closes the file if it is open.
File::~File() {
    close();
}

// Takes over other's handle, closing the one held before.
File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.release();
    }
    return *this;
}

// Gives up ownership of the handle without closing it.
intptr_t File::release() {
    intptr_t handle = handle_;
    handle_ = kInvalid;
    return handle;
}

// Reads the file from its start into a block of exactly its length; a file that shrank meanwhile
// leaves nothing behind.
bool readWhole(File& file, JobBytes& out) {
    // The previous block goes first, as the job it held is finished.
    out.reset();
    const int64_t length = file.seekLength();
    if (length < 0 || static_cast<uint64_t>(length) > SIZE_MAX) return false;
    const auto size = static_cast<std::size_t>(length);
    if (out.map(file, size)) return true;
    uint8_t* block = out.allocate(size);
    if (size > 0 && !block) return false;
    if (file.read(block, size) == size) return true;
    out.reset();
    return false;
}

// Opens path exclusively and reads all of it.
bool readWholeFile(const std::string& path, JobBytes& out) {
    File file = openExclusive(path);
    if (!file.isOpen()) {
        out.reset();
        return false;
    }
    return readWhole(file, out);
}

}  // namespace zelmo::files
