// What the print system says about the jobs in its queue: a job it keeps from the printer is
// the printer's wait, told once each way; a job the last run left there is asked about again.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "pipeline/queue_journal.h"
#include "pipeline_fixture.h"

namespace zelmo::pipeline_test {
namespace {

// A document in a print system's queue whose state and hold-up the test sets.
class HeldDocument : public SubmittedDocument {
  public:
    explicit HeldDocument(int64_t id, SubmittedState state = SubmittedState::Queued)
        : id_(id), state_(state) {}
    SubmittedState state() const override { return state_.load(); }
    HoldUp holdUp() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return hold_;
    }
    int64_t systemJob() const override { return id_; }
    void set(SubmittedState state) { state_.store(state); }
    void hold(HoldUp hold) {
        std::lock_guard<std::mutex> guard(lock_);
        hold_ = std::move(hold);
    }

  private:
    const int64_t id_;
    std::atomic<SubmittedState> state_;
    mutable std::mutex lock_;
    HoldUp hold_;
};

// A printer whose every ended document goes into a print system's queue as job 41, 42, ...
class HoldingPrinter : public SimulatedPrinter {
  public:
    HoldingPrinter() : SimulatedPrinter(test::smallSheet()) {}
    std::shared_ptr<SubmittedDocument> takeSubmitted() override {
        std::lock_guard<std::mutex> guard(lock_);
        documents.push_back(std::make_shared<HeldDocument>(41 + documents.size()));
        return documents.back();
    }
    std::shared_ptr<HeldDocument> document(size_t n) {
        std::lock_guard<std::mutex> guard(lock_);
        return n < documents.size() ? documents[n] : nullptr;
    }

  private:
    std::mutex lock_;
    std::vector<std::shared_ptr<HeldDocument>> documents;
};

// How many events of kind were told.
size_t count(const RecordingSink& sink, JobEventKind kind) {
    return static_cast<size_t>(std::count_if(sink.events.begin(), sink.events.end(),
                                             [&](const JobEvent& e) { return e.kind == kind; }));
}

// Held up in the print system's queue, a job makes the printer's wait: told once with the
// system's words, not ended by the next job reaching the queue, ended once when it moves on.
// The journal meanwhile names the job's number in the print system and its printer.
TEST(PipelineSent, AJobThePrintSystemHoldsUpIsToldOnceAsItBeginsAndOnceAsItEnds) {
    TempDir dir;
    HoldingPrinter printer;
    DeviceMetrics metrics;
    HandOver state;
    RecordingDisplay display;
    RecordingSink events;
    PrintRequest settings;
    SpoolMonitor monitor(dir.path(), state, printer, metrics);
    monitor.setEventSink(events);
    PrintWorker worker(state, printer, metrics, display);
    const auto tickUntil = [&](const std::function<bool()>& done) {
        return eventually([&] {
            monitor.tick(settings, display);
            return done();
        });
    };
    const auto sent = [&](int n) {
        writeFile(monitor.monitoredFile(), numberedJob(n));
        return tickUntil([&] { return monitor.inPrinterQueue() == n && state.workerIdle(); });
    };

    ASSERT_TRUE(sent(1));
    const auto submitted = std::find_if(events.events.begin(), events.events.end(),
                                        [](auto& e) { return e.kind == JobEventKind::Submitted; });
    ASSERT_NE(submitted, events.events.end());
    EXPECT_EQ(submitted->job, 1);
    EXPECT_NE(readText(dir.path() + kJournalName).find(" 41 1 Zelmo Simulated Printer\n"),
              std::string::npos)
        << readText(dir.path() + kJournalName);
    printer.document(0)->hold({PrintTrouble::Stopped, "Off-1 processing-stopped"});
    ASSERT_TRUE(tickUntil([&] { return count(events, JobEventKind::PrinterWaiting) == 1; }));
    const JobEvent& waiting = events.events.back();
    EXPECT_EQ(waiting.message, "Off-1 processing-stopped");
    EXPECT_EQ(waiting.trouble, PrintTrouble::Stopped);
    ASSERT_TRUE(sent(2));
    for (int i = 0; i < 5; ++i)
        monitor.tick(settings, display);
    EXPECT_EQ(count(events, JobEventKind::PrinterWaiting), 1u);
    EXPECT_EQ(count(events, JobEventKind::PrinterBack), 0u);
    printer.document(0)->hold({});
    monitor.tick(settings, display);
    EXPECT_EQ(count(events, JobEventKind::PrinterBack), 1u);
    printer.document(0)->set(SubmittedState::Completed);
    printer.document(1)->set(SubmittedState::Completed);
    monitor.tick(settings, display);
    EXPECT_EQ(count(events, JobEventKind::Printed), 2u);
    EXPECT_EQ(count(events, JobEventKind::PrinterBack), 1u);
    worker.terminate();
    state.WorkEvent.set();
    worker.waitFor();
}

// A job the print system gives up comes back into the queue with the attempts it used: each
// give-up counts one more, so that one the print system keeps refusing is set aside in the end.
TEST(PipelineSent, AJobThePrintSystemGivesBackKeepsCountingItsAttempts) {
    TempDir dir;
    HoldingPrinter printer;
    DeviceMetrics metrics;
    HandOver state;
    RecordingDisplay display;
    RecordingSink events;
    PrintRequest settings;
    SpoolMonitor monitor(dir.path(), state, printer, metrics);
    monitor.setEventSink(events);
    PrintWorker worker(state, printer, metrics, display);
    const auto tickUntil = [&](const std::function<bool()>& done) {
        return eventually([&] {
            monitor.tick(settings, display);
            return done();
        });
    };
    writeFile(monitor.monitoredFile(), numberedJob(1));
    std::vector<int> attempts;
    for (size_t n = 0; n < 3; ++n) {
        ASSERT_TRUE(
            tickUntil([&] { return printer.document(n) != nullptr && state.workerIdle(); }));
        ASSERT_TRUE(tickUntil([&] { return monitor.inPrinterQueue() == 1; }));
        printer.document(n)->set(SubmittedState::Failed);
        ASSERT_TRUE(tickUntil([&] { return count(events, JobEventKind::Failed) == n + 1; }));
        const auto failed =
            std::find_if(events.events.rbegin(), events.events.rend(),
                         [](const JobEvent& e) { return e.kind == JobEventKind::Failed; });
        attempts.push_back(failed->attempt);
    }
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3}));
    worker.terminate();
    state.WorkEvent.set();
    worker.waitFor();
}

// A job the last run left in the print system's queue is asked about by its number there:
// printed means printed (history, file gone); given up means tried again; only a job the
// print system cannot account for, or cannot be asked about, is set aside, and that is told.
TEST(PipelineJournal, AJobLeftInThePrintSystemsQueueIsAskedAboutAtTheNextStart) {
    struct Case {
        const char* name;
        bool lookup;
        SubmittedState answer;
        std::vector<std::string> told;  // after resume and a tick
        bool fileKept;
    };
    const Case cases[] = {
        {"printed", true, SubmittedState::Completed, {"Printed Zelmo1.Prn"}, false},
        {"unknown", true, SubmittedState::Unknown, {"SetAside Zelmo1.Prn"}, true},
        {"no lookup", false, SubmittedState::Unknown, {"SetAside Zelmo1.Prn"}, true},
        {"still queued", true, SubmittedState::Queued, {}, true},
        {"failed", true, SubmittedState::Failed, {"Failed Zelmo1.Prn"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        writeFile(rig.path("Zelmo1.Prn"), numberedJob(1));
        writeFile(
            rig.path(kJournalName),
            {std::begin("next 5\naside Zelmo1.Prn interrupted 4 1765123000 42 2 Biuro 2\n"),
             std::end("next 5\naside Zelmo1.Prn interrupted 4 1765123000 42 2 Biuro 2\n") - 1});
        std::string askedPrinter;
        int64_t askedJob = 0;
        if (c.lookup)
            rig.monitor.setSubmittedLookup([&](const std::string& printer, int64_t job) {
                askedPrinter = printer;
                askedJob = job;
                return std::make_shared<HeldDocument>(job, c.answer);
            });
        rig.monitor.resume();
        rig.monitor.followSubmitted();
        std::vector<std::string> told = rig.events.lines();
        told.erase(std::remove_if(told.begin(), told.end(),
                                  [](const std::string& line) {
                                      return line.rfind("Printed", 0) != 0 &&
                                             line.rfind("SetAside", 0) != 0 &&
                                             line.rfind("Failed", 0) != 0;
                                  }),
                   told.end());
        EXPECT_EQ(told, c.told);
        if (c.lookup) {
            EXPECT_EQ(askedPrinter, "Biuro 2");
            EXPECT_EQ(askedJob, 42);
        }
        EXPECT_EQ(std::filesystem::exists(rig.path("Zelmo1.Prn")), c.fileKept);
        const bool inHistory =
            readText(rig.path(kHistoryName)).find("Zelmo1.Prn") != std::string::npos;
        EXPECT_EQ(inHistory, c.answer == SubmittedState::Completed && c.lookup);
        rig.shutdown();
    }
}

}  // namespace
}  // namespace zelmo::pipeline_test
