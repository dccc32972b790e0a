// Following a document a print system keeps in its queue, for print systems whose answers
// are read by polling (the Windows spooler): what each look found, turned into where the
// document stands, and one thread per process that looks at every job still queued, so that
// neither the window's tick nor the print worker ever waits on the print system.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/printer.h"

namespace zelmo {

// What one look at the print system's queue found for the job.
enum class JobSighting {
    Queued,    // still in the queue: spooling, printing, waiting its turn, paused by a user
    HeldUp,    // still in the queue, kept from the printer: the printer in error, offline, out of
               // paper or not answering, the job stopped or held by the print system
    Printed,   // the print system says it printed
    Failed,    // deleted or given up by the print system: the job is ours again
    Gone,      // no longer in the queue after it was spooled: printed, as far as anyone can tell
    NoAnswer,  // the print system could not be asked
};

// The print system's words for a job it holds up are carried to the user: a job waiting for
// minutes with no word looks lost.

// A followed job. Settled for good once the print system has had its last word, or once it
// has not answered for silentLimit looks in a row (then no one can say: told as sent).
class FollowedJob : public SubmittedDocument {
  public:
    explicit FollowedJob(int silentLimit) : silentLimit_(silentLimit) {}
    SubmittedState state() const override;
    std::string message() const override;
    HoldUp holdUp() const override;
    // Takes one look's finding and the print system's words for it; any thread. A look that
    // finds the job held up, or gets no answer with a message, makes that message the job's
    // hold-up until a look finds it moving again.
    void observe(JobSighting sighting, const std::string& message = {},
                 PrintTrouble trouble = PrintTrouble::Unreachable);
    // Looks at the print system once and observes what it found; the watcher's thread.
    virtual void poll() = 0;

  private:
    const int silentLimit_;
    mutable std::mutex lock_;
    SubmittedState state_ = SubmittedState::Queued;
    int silent_ = 0;
    std::string message_;
    HoldUp holdUp_;
};

// Polls job every interval on the process's watcher thread until it is settled or nobody
// holds it any more. The first call fixes the interval for the life of the process.
void followJob(const std::shared_ptr<FollowedJob>& job,
               std::chrono::milliseconds interval = std::chrono::seconds(1));
// Set once the watcher is told to stop (the program ends): a poll waiting on the print system
// gives up then.
const std::atomic<bool>& followingStops();

}  // namespace zelmo
