// The file operations every platform shares: ownership of a handle and reading a whole job.
#include "platform/files.h"

#include <new>
#include <stdexcept>

namespace zelmo::files {

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

// Opens path exclusively and reads all of it into a block of exactly its length.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    File file = openExclusive(path);
    if (!file.isOpen()) return false;
    const int64_t length = file.seekLength();
    if (length < 0) return false;
    try {
        // The previous block goes first, as the job it held is finished.
        std::vector<uint8_t>().swap(out);
        out.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return file.read(out.data(), out.size()) == out.size();
}

}  // namespace zelmo::files
