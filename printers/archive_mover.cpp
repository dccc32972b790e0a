// The archive mover: staged copies copied into the archive folder under a hidden name, flushed,
// then named without replacing anything, and only then removed from the staging folder.
#include "printers/archive_mover.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>
#include <utility>

#include "platform/files.h"
#include "platform/shown_texts.h"
#include "platform/sync.h"

namespace zelmo {
namespace {

constexpr int kMaxSameName = 10000;
constexpr const char kPdf[] = ".pdf";
// Hidden, and apart from the folder printer's ".zelmo-" partials, which it removes.
constexpr const char kMarkName[] = ".staging-mark";
constexpr const char kPartPrefix[] = ".zelmo-";
constexpr const char kPartSuffix[] = ".part";

// folder with a separator at its end, ready for a name.
std::string withSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder;
}

// The copies waiting in staging, oldest name first: a staged file's name begins with its time.
// Hidden files are the folder printer's documents still being written.
std::vector<std::string> stagedCopies(const std::string& staging) {
    std::vector<std::string> names;
    for (const files::FileInfo& entry : files::listFolder(staging)) {
        const std::string& name = entry.name;
        const size_t ext = sizeof kPdf - 1;
        if (entry.regular && name[0] != '.' && name.size() > ext &&
            name.compare(name.size() - ext, ext, kPdf) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// name, or with " (n)" before its extension.
std::string numbered(const std::string& name, int n) {
    if (n == 1) return name;
    const size_t stem = name.size() - (sizeof kPdf - 1);
    return name.substr(0, stem) + " (" + std::to_string(n) + ")" + name.substr(stem);
}

// 16 hexadecimal digits from the system's randomness and the clock: a name no other mover has.
std::string randomToken() {
    std::random_device device;
    uint64_t value = (uint64_t{device()} << 32) ^ device();
    value ^= static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Whether text is a token as randomToken makes them.
bool isToken(const std::string& text) {
    return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Whether name begins with head and ends with tail.
bool framed(const std::string& name, const std::string& head, const std::string& tail) {
    return name.size() >= head.size() + tail.size() && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether a and b, both read from where they stand, hold the same bytes to their ends.
bool sameBytes(files::File& a, files::File& b) {
    std::string blockA(1 << 16, '\0'), blockB(1 << 16, '\0');
    for (;;) {
        const size_t gotA = a.read(blockA.data(), blockA.size());
        const size_t gotB = b.read(blockB.data(), blockB.size());
        if (gotA != gotB || blockA.compare(0, gotA, blockB, 0, gotB) != 0) return false;
        if (gotA < blockA.size()) return true;
    }
}

}  // namespace

struct ArchiveMover::State {
    std::string staging;
    Options options;
    std::atomic<bool> stop{false};
    ManualResetEvent wake;  // a copy was staged, the destination changed, or stop
    ManualResetEvent done;  // the thread's body has returned
    std::mutex lock;        // guards destination, failures and outage
    std::string destination;
    std::vector<std::string> failures;
    bool outage = false;
    // The staging folder's token, kept in its mark file across runs; it also names the partial
    // files this mover leaves in an archive folder.
    std::string mark;
    const std::string run = randomToken();  // tells this run's partial files from earlier ones'
    std::string cleaned;                    // the archive folder rid of earlier runs' partial files

    void loop();
    std::string stagingFolder() const { return staging.substr(0, staging.size() - 1); }
    bool ensureMark();
    bool isStaging(const std::string& folder);
    std::string hiddenName() const;
    void removeStalePartials(const std::string& folder);
    bool moveAll();
    bool moveOne(const std::string& name, const std::string& folder, std::string& error);
    bool publishedBefore(files::File& from, const std::string& name, const std::string& folder);
    bool removeStaged(const std::string& name, std::string& error);
    void failed(const std::string& message);
};

// Moves what is staged, then sleeps until woken or until the retry is due.
void ArchiveMover::State::loop() {
    while (!stop.load()) {
        // Reset before the pass: a copy staged during it wakes the next one.
        wake.reset();
        const bool clear = moveAll();
        if (stop.load()) break;
        if (clear)
            wake.wait();
        else
            wake.wait(options.retry);
    }
    done.set();
}

// Reads or makes the staging folder's mark; never through a link, which would put it into the
// link's target. False when there is no mark to be had.
bool ArchiveMover::State::ensureMark() {
    if (!mark.empty()) return true;
    const std::string bare = stagingFolder();
    if (!files::isRealFolder(bare) && (files::exists(bare) || !files::makeFolder(bare)))
        return false;
    std::string found;
    if (files::readSmallFile(staging + kMarkName, found) && isToken(found)) {
        mark = found;
        return true;
    }
    const std::string token = randomToken();
    if (files::replaceFileAtomically(staging + kMarkName, token)) mark = token;
    return !mark.empty();
}

// Whether folder is the staging folder under another path: it holds this mover's mark. A mark
// file, not a path comparison: links, mounts and Windows' short names defeat the latter.
bool ArchiveMover::State::isStaging(const std::string& folder) {
    std::string found;
    return ensureMark() && files::readSmallFile(folder + kMarkName, found) && found == mark;
}

// A hidden name in the archive folder: this staging folder's, this run's, unique within it.
std::string ArchiveMover::State::hiddenName() const {
    static std::atomic<unsigned> count{0};
    return kPartPrefix + mark + "." + run + "-" + std::to_string(++count) + kPartSuffix;
}

// Removes the partial files that earlier runs of this mover left in folder when they ended in
// mid-copy; those of other movers (another computer's) are not ours to judge. Once per folder.
void ArchiveMover::State::removeStalePartials(const std::string& folder) {
    if (mark.empty() || cleaned == folder || !files::folderExists(folder)) return;
    const std::string ours = kPartPrefix + mark + ".";
    const std::string current = ours + run + "-";
    for (const files::FileInfo& entry : files::listFolder(folder))
        if (entry.regular && framed(entry.name, ours, kPartSuffix) &&
            !framed(entry.name, current, kPartSuffix))
            files::deleteFile(folder + entry.name);
    cleaned = folder;
}

// Moves every staged copy in order; false when one failed (the rest wait with it).
bool ArchiveMover::State::moveAll() {
    std::string folder;
    {
        std::lock_guard<std::mutex> hold(lock);
        folder = destination;
    }
    if (folder.empty()) return true;
    folder = withSeparator(folder);
    // A link in the staging folder's place would move its target's files and delete them.
    if (files::exists(stagingFolder()) && !files::isRealFolder(stagingFolder())) {
        failed(stagingFolder() + ": " + shownTexts().stagingIsLink);
        return false;
    }
    // Moved into the folder it came from, a copy would be renamed " (2)", " (3)", ... for ever.
    if (isStaging(folder)) {
        failed(folder + ": " + shownTexts().archiveIsStaging);
        return false;
    }
    removeStalePartials(folder);
    for (const std::string& name : stagedCopies(staging)) {
        if (stop.load()) return true;
        if (options.beforeMove) options.beforeMove(name);
        if (stop.load()) return true;
        std::string error;
        if (!moveOne(name, folder, error)) {
            failed(folder + ": " + error);
            return false;
        }
    }
    std::lock_guard<std::mutex> hold(lock);
    outage = false;
    return true;
}

// Copies name into folder under a hidden name, publishes it under a free name, and removes the
// staged file; every failure leaves the staged file as it was.
bool ArchiveMover::State::moveOne(const std::string& name, const std::string& folder,
                                  std::string& error) {
    files::File from = files::openRegular(staging + name);
    // Gone meanwhile (removed by hand): nothing to move.
    if (!from.isOpen()) {
        error = files::lastErrorMessage();
        return !files::exists(staging + name);
    }
    // An archive share that is not mounted leaves a bare mount point: a folder made there would
    // take the copies onto the local disk, as if archived.
    if (!files::folderExists(folder)) {
        error = shownTexts().archiveMissing + files::lastErrorMessage() + ")";
        return false;
    }
    if (publishedBefore(from, name, folder)) return removeStaged(name, error);
    const std::string hidden = folder + hiddenName();
    if (!files::copyToNewFile(from, hidden)) {
        error = files::lastErrorMessage();
        return false;
    }
    from.close();
    if (options.beforePublish) options.beforePublish(name);
    for (int n = 1; n <= kMaxSameName; ++n) {
        const files::RenameResult moved =
            files::renameNoReplace(hidden, folder + numbered(name, n));
        if (moved == files::RenameResult::TargetExists) continue;
        if (moved != files::RenameResult::Renamed) break;
        return removeStaged(name, error);
    }
    error = files::lastErrorMessage();
    files::deleteFile(hidden);
    return false;
}

// Whether a run that ended between publishing the copy and removing it from staging left it in
// folder already: publishing takes the first free of the name and its numbered names, so the
// names are looked at in order up to the first free one, for the same bytes. from is left at its
// start.
bool ArchiveMover::State::publishedBefore(files::File& from, const std::string& name,
                                          const std::string& folder) {
    const int64_t length = from.seekLength();
    for (int n = 1; n <= kMaxSameName && length >= 0; ++n) {
        files::FileInfo info;
        if (!files::fileInfo(folder + numbered(name, n), info)) return false;
        if (!info.regular || static_cast<int64_t>(info.size) != length) continue;
        files::File there = files::openRegular(folder + numbered(name, n));
        const bool same = there.isOpen() && sameBytes(from, there);
        if (from.seekLength() != length) return false;
        if (same) return true;
    }
    return false;
}

// Removes the staged copy once it is in the archive. Were that to fail, the next pass would find
// the copy published and try again.
bool ArchiveMover::State::removeStaged(const std::string& name, std::string& error) {
    if (files::deleteFile(staging + name)) return true;
    error = "cannot remove " + staging + name + ": " + files::lastErrorMessage();
    return false;
}

// Keeps message when it opens an outage; the same outage is not reported again.
void ArchiveMover::State::failed(const std::string& message) {
    std::lock_guard<std::mutex> hold(lock);
    if (!outage) failures.push_back(message);
    outage = true;
}

// Starts the thread at once: copies left by an earlier run wait only for a destination.
ArchiveMover::ArchiveMover(std::string staging, Options options)
    : state_(std::make_shared<State>()) {
    state_->staging = withSeparator(std::move(staging));
    state_->options = std::move(options);
    // The body holds the state itself, not this mover: it may outlive the mover (see below).
    thread_ = std::make_unique<WorkerThread>([state = state_] { state->loop(); });
}

// A move stuck in a hung network file system can last for minutes; the exit does not wait
// for it. The thread is then abandoned: it owns its state, and the only thing it writes is
// the archive folder's hidden file. The staged copy stays in place and is moved by the next
// run, so nothing is lost when the process ends under it.
ArchiveMover::~ArchiveMover() {
    state_->stop.store(true);
    state_->wake.set();
    if (state_->done.wait(state_->options.exitWait)) return;  // thread_ joins at once
    // Kept where nothing ever destroys it: destroying it would join the stuck thread.
    static auto* abandoned = new std::vector<std::unique_ptr<WorkerThread>>();
    static auto* abandonedLock = new std::mutex();
    std::lock_guard<std::mutex> hold(*abandonedLock);
    abandoned->push_back(std::move(thread_));
}

const std::string& ArchiveMover::staging() const {
    return state_->staging;
}

void ArchiveMover::setDestination(const std::string& folder) {
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        if (state_->destination != folder) state_->outage = false;
        state_->destination = folder;
    }
    state_->wake.set();
}

void ArchiveMover::wake() {
    state_->wake.set();
}

std::vector<std::string> ArchiveMover::takeFailures() {
    std::lock_guard<std::mutex> hold(state_->lock);
    return std::exchange(state_->failures, {});
}

}  // namespace zelmo
