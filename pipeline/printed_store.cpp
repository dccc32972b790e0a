// The bounded store of printed jobs' files.
#include "pipeline/printed_store.h"

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace zelmo {
namespace {

constexpr const char* kKeptExtension = ".prn";

// The job number a kept file's name carries, or 0 for any other name.
int64_t keptJob(const std::string& name) {
    const std::string extension = kKeptExtension;
    if (name.size() <= extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return 0;
    const char* end = name.data() + name.size() - extension.size();
    int64_t job = 0;
    const auto result = std::from_chars(name.data(), end, job);
    return result.ec == std::errc() && result.ptr == end && job > 0 && name[0] != '0' ? job : 0;
}

}  // namespace

// The store's folder sits in the program's, with the same separator.
PrintedStore::PrintedStore(std::string programDir)
    : folder_(programDir + kPrintedStoreName +
              (programDir.empty() ? std::string(1, '/') : std::string(1, programDir.back()))) {}

// "18.prn" in the store.
std::string PrintedStore::pathOf(int64_t job) const {
    return folder_ + std::to_string(job) + kKeptExtension;
}

// Moved in under its number; the same job printed again keeps only its newest copy.
void PrintedStore::keep(const std::string& path, int64_t job) {
    const std::string folder = folder_.substr(0, folder_.size() - 1);
    const bool placed = job > 0 && files::makeFolder(folder) && files::isRealFolder(folder) &&
                        files::renameReplacing(path, pathOf(job));
    if (!placed) files::deleteFile(path);
    if (placed) trim();
}

// Only a regular file counts: a link or folder put in its place is no job of ours.
std::string PrintedStore::fileOf(int64_t job) const {
    files::FileInfo info;
    const std::string path = pathOf(job);
    return job > 0 && files::fileInfo(path, info) && info.regular ? path : std::string();
}

std::set<int64_t> PrintedStore::jobs() const {
    std::set<int64_t> kept;
    for (const files::FileInfo& entry : files::listFolder(folder_))
        if (const int64_t job = keptJob(entry.name); job > 0 && entry.regular) kept.insert(job);
    return kept;
}

// Newest first, counting jobs and bytes; everything from the first one past a limit goes.
void PrintedStore::trim() {
    std::vector<std::pair<int64_t, uint64_t>> kept;
    for (const files::FileInfo& entry : files::listFolder(folder_))
        if (const int64_t job = keptJob(entry.name); job > 0 && entry.regular)
            kept.emplace_back(job, entry.size);
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a > b; });
    uint64_t bytes = 0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        bytes += kept[i].second;
        if (i >= limits_.jobs || bytes > limits_.bytes) files::deleteFile(pathOf(kept[i].first));
    }
}

}  // namespace zelmo
