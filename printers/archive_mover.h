// Moves the archive's finished copies from a local staging folder into the archive folder on
// a thread of its own, so that an archive folder on a hung network share or a missing disk
// never holds up printing. A copy that cannot be moved stays staged and is tried again later,
// also after a restart; the staged file goes only once its copy in the archive is complete.
// The mover never follows a link out of the staging folder, never makes the archive folder (a
// share not mounted is an unavailable archive), does not publish a copy twice when a run ended
// between publishing and removing it, and removes its own partial files left by such a run.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelmo {

class WorkerThread;

// How an archive mover retries and stops.
struct ArchiveMoverOptions {
    // How long a failed move waits before it is tried again.
    std::chrono::milliseconds retry{60000};
    // How long the destructor waits for a move stuck in the file system.
    std::chrono::milliseconds exitWait{2000};
    // Called on the mover's thread before each move of a staged file (its name): a test's
    // hold on the mover.
    std::function<void(const std::string& name)> beforeMove;
    // Called on the mover's thread once a copy is whole under its hidden name in the archive,
    // before it is named: where a test stands in for a kill in mid-move.
    std::function<void(const std::string& name)> beforePublish;
};

class ArchiveMover {
  public:
    using Options = ArchiveMoverOptions;

    // Moves the PDFs of staging (a folder; created by whoever stages into it); files already
    // there from an earlier run are moved as soon as a destination is set.
    explicit ArchiveMover(std::string staging, Options options = Options());
    // Stops the thread, waiting for it no longer than exitWait.
    ~ArchiveMover();
    ArchiveMover(const ArchiveMover&) = delete;
    ArchiveMover& operator=(const ArchiveMover&) = delete;

    // The staging folder, ending with a separator.
    const std::string& staging() const;
    // The archive folder; empty: copies stay staged. Any thread.
    void setDestination(const std::string& folder);
    // A copy was staged: moves it now rather than at the next retry. Any thread.
    void wake();
    // The failures since the last call, one per outage of the archive folder; any thread.
    std::vector<std::string> takeFailures();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<WorkerThread> thread_;
};

}  // namespace zelmo
