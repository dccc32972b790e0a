// The archive mover: staged copies copied into the archive folder under a hidden name, flushed,
// then named without replacing anything, and only then removed from the staging folder.
#include "platform/archive_mover.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
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

// A hidden name in the archive folder, unique within this run.
std::string hiddenName() {
    static std::atomic<unsigned> count{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    return ".zelmo-" + std::to_string(now) + "-" + std::to_string(++count) + ".part";
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
    std::string mark;  // what this mover's mark file in staging holds, once it is written

    void run();
    bool isStaging(const std::string& folder);
    bool moveAll();
    bool moveOne(const std::string& name, const std::string& folder, std::string& error);
    void failed(const std::string& message);
};

// Moves what is staged, then sleeps until woken or until the retry is due.
void ArchiveMover::State::run() {
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

// Whether folder is the staging folder under another path: it holds this mover's mark. A mark
// file, not a path comparison: links, mounts and Windows' short names defeat the latter.
bool ArchiveMover::State::isStaging(const std::string& folder) {
    if (mark.empty() && files::makeFolder(staging)) {
        const std::string token =
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + " " +
            std::to_string(reinterpret_cast<uintptr_t>(this));
        if (files::replaceFileAtomically(staging + kMarkName, token)) mark = token;
    }
    std::string found;
    return !mark.empty() && files::readSmallFile(folder + kMarkName, found) && found == mark;
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
    // Moved into the folder it came from, a copy would be renamed " (2)", " (3)", ... for ever.
    if (isStaging(folder)) {
        failed(folder + ": " + shownTexts().archiveIsStaging);
        return false;
    }
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
    files::File from = files::openShared(staging + name);
    // Gone meanwhile (removed by hand): nothing to move.
    if (!from.isOpen()) return !files::exists(staging + name);
    const std::string hidden = folder + hiddenName();
    if (!files::makeFolder(folder) || !files::copyToNewFile(from, hidden)) {
        error = files::lastErrorMessage();
        return false;
    }
    from.close();
    for (int n = 1; n <= kMaxSameName; ++n) {
        const files::RenameResult moved =
            files::renameNoReplace(hidden, folder + numbered(name, n));
        if (moved == files::RenameResult::TargetExists) continue;
        if (moved != files::RenameResult::Renamed) break;
        // Were the delete to fail, the copy would come again under a " (n)" name: said.
        if (files::deleteFile(staging + name)) return true;
        error = "cannot remove " + staging + name + ": " + files::lastErrorMessage();
        return false;
    }
    error = files::lastErrorMessage();
    files::deleteFile(hidden);
    return false;
}

// Keeps message when it opens an outage; the same outage is not reported again.
void ArchiveMover::State::failed(const std::string& message) {
    std::lock_guard<std::mutex> hold(lock);
    if (!outage)
        failures.push_back(message + shownTexts().archiveCopiesWait + staging +
                           shownTexts().archiveCopiesWaitEnd);
    outage = true;
}

// Starts the thread at once: copies left by an earlier run wait only for a destination.
ArchiveMover::ArchiveMover(std::string staging, Options options)
    : state_(std::make_shared<State>()) {
    state_->staging = withSeparator(std::move(staging));
    state_->options = std::move(options);
    // The body holds the state itself, not this mover: it may outlive the mover (see below).
    thread_ = std::make_unique<WorkerThread>([state = state_] { state->run(); });
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
