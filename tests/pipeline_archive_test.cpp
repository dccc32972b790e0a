// The archive through the whole pipeline: a printout is archived once, however many attempts
// it took, and a job printed again on request is archived again, labelled so.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "pipeline_fixture.h"
#include "platform/errors.h"
#include "printers/archive_mover.h"
#include "printers/archiving_printer.h"

namespace zelmo::pipeline_test {
namespace {

// The archive's PDFs once the mover has emptied the staging folder.
std::vector<std::string> archivedWhenMoved(const TempDir& staging, const TempDir& archive) {
    const auto staged = [&] {
        for (const std::string& name : listDir(staging.path()))
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0) return true;
        return false;
    };
    eventually([&] { return !staged(); });
    std::vector<std::string> pdfs;
    for (const std::string& name : listDir(archive.path()))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0) pdfs.push_back(name);
    return pdfs;
}

TEST(PipelineArchive, APrintoutIsArchivedOnceAndAgainOnlyWhenPrintedAgain) {
    TempDir dir, staging, archive;
    SimulatedPrinter real(test::smallSheet());
    // Single mode, two pages: the second document fails at the first two attempts, after the
    // first one (and its archive copy) went through.
    real.setStartDocHook([calls = 0](int) mutable {
        ++calls;
        if (calls == 2 || calls == 4) throw PrinterError("Create-Job: Invalid argument");
    });
    ArchiveMover mover(staging.path());
    std::vector<DocumentLabel> labels;
    int made = 0;
    std::unique_ptr<ArchivingPrinter> printer;
    printer = std::make_unique<ArchivingPrinter>(
        real,
        [&](const std::string& folder, const PrinterCanvas&) {
            // A finished file, as the PDF folder printer leaves one.
            writeFile(folder + std::to_string(++made) + ".pdf", {'%'});
            labels.push_back(printer->documentLabel());
            return std::unique_ptr<Printer>(std::make_unique<SimulatedPrinter>(test::smallSheet()));
        },
        mover);
    printer->setFolder(archive.path());
    HandOver state;
    DeviceMetrics metrics;
    RecordingDisplay display;
    PrintRequest settings;
    settings.singleMode = 1;
    SpoolMonitor monitor(dir.path(), state, *printer, metrics);
    WallTime now = WallTime{} + std::chrono::hours(24 * 365 * 57);
    monitor.setClock([&] { return now; });
    PrintWorker worker(state, *printer, metrics, display);
    const auto printAll = [&] {
        return eventually([&] {
            now += std::chrono::minutes(1);  // past every retry pause
            monitor.tick(settings, display);
            return monitor.queue().pendingCount == 0 && state.workerIdle();
        });
    };

    writeFile(monitor.monitoredFile(), numberedJob(1, 2));
    ASSERT_TRUE(printAll());
    EXPECT_EQ(made, 4);  // a copy per document begun: 1 + 1 + 2
    EXPECT_EQ(archivedWhenMoved(staging, archive).size(), 2u);

    writeFile(dir.path() + "Zelmo7.Prn", numberedJob(7));
    ASSERT_TRUE(monitor.printAgain("Zelmo7.Prn"));
    ASSERT_TRUE(printAll());
    EXPECT_EQ(archivedWhenMoved(staging, archive).size(), 3u);
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_FALSE(labels[3].again);
    EXPECT_EQ(labels[3].job, 1);
    EXPECT_TRUE(labels[4].again);
    EXPECT_EQ(labels[4].job, 2);
    worker.terminate();
    state.WorkEvent.set();
    worker.waitFor();
}

// A document in a print system's queue whose state the test sets.
class QueuedDocument : public SubmittedDocument {
  public:
    SubmittedState state() const override { return state_.load(); }
    std::atomic<SubmittedState> state_{SubmittedState::Queued};
};

// A printer whose every ended document goes into a print system's queue.
class QueueingPrinter : public SimulatedPrinter {
  public:
    QueueingPrinter() : SimulatedPrinter(test::smallSheet()) {}
    std::shared_ptr<SubmittedDocument> takeSubmitted() override {
        if (memory().documents.empty() || !memory().documents.back().ended ||
            memory().documents.size() == taken_)
            return nullptr;
        taken_ = memory().documents.size();
        documents.push_back(std::make_shared<QueuedDocument>());
        return documents.back();
    }
    std::vector<std::shared_ptr<QueuedDocument>> documents;  // worker thread, then the test's

  private:
    size_t taken_ = 0;
};

// A job the print system aborts once and prints at the second attempt is archived once, when
// the print system says it printed; one it only ever aborts is never archived.
TEST(PipelineArchive, AJobInThePrintersQueueIsArchivedOnlyOnceItPrinted) {
    TempDir dir, staging, archive;
    QueueingPrinter real;
    ArchiveMover mover(staging.path());
    ArchivingPrinter printer(
        real,
        [&](const std::string& folder, const PrinterCanvas&) {
            static int made = 0;
            writeFile(folder + std::to_string(++made) + ".pdf", {'%'});
            return std::unique_ptr<Printer>(std::make_unique<SimulatedPrinter>(test::smallSheet()));
        },
        mover);
    printer.setFolder(archive.path());
    HandOver state;
    DeviceMetrics metrics;
    RecordingDisplay display;
    PrintRequest settings;
    SpoolMonitor monitor(dir.path(), state, printer, metrics);
    WallTime now = WallTime{} + std::chrono::hours(24 * 365 * 57);
    monitor.setClock([&] { return now; });
    PrintWorker worker(state, printer, metrics, display);
    // Ticks until the n-th document is in the print system's queue and the worker is idle.
    const auto sent = [&](size_t n) {
        return eventually([&] {
            now += std::chrono::minutes(1);  // past every retry pause
            monitor.tick(settings, display);
            return state.workerIdle() && real.documents.size() == n &&
                   monitor.inPrinterQueue() == 1;
        });
    };
    const auto tellAndTick = [&](size_t n, SubmittedState word) {
        real.documents[n]->state_.store(word);
        monitor.tick(settings, display);
    };

    writeFile(monitor.monitoredFile(), numberedJob(1));
    ASSERT_TRUE(sent(1));
    EXPECT_TRUE(archivedWhenMoved(staging, archive).empty());  // not printed yet
    tellAndTick(0, SubmittedState::Failed);
    ASSERT_TRUE(sent(2));
    EXPECT_TRUE(archivedWhenMoved(staging, archive).empty());
    tellAndTick(1, SubmittedState::Completed);
    EXPECT_EQ(monitor.inPrinterQueue(), 0);
    EXPECT_EQ(archivedWhenMoved(staging, archive).size(), 1u);
    EXPECT_TRUE(listDir(staging.path() + ".w-kolejce/").empty());  // the aborted one's dropped

    // Sent where no one can say whether it printed: archived as handed over.
    writeFile(monitor.monitoredFile(), numberedJob(2));
    ASSERT_TRUE(sent(3));
    tellAndTick(2, SubmittedState::Unknown);
    EXPECT_EQ(archivedWhenMoved(staging, archive).size(), 2u);
    worker.terminate();
    state.WorkEvent.set();
    worker.waitFor();
}

// A stop while a job waited in the print system's queue: at the next start its copy is
// archived as handed over (its fate can no longer be told), not dropped.
TEST(PipelineArchive, ACopyHeldAtTheStopIsArchivedAtTheNextStart) {
    TempDir staging;
    std::filesystem::create_directory(staging.path() + ".w-kolejce");
    writeFile(staging.path() + ".w-kolejce/3-Zelmo7.pdf", {'%'});
    SimulatedPrinter real(test::smallSheet());
    ArchiveMover mover(staging.path());
    ArchivingPrinter printer(
        real, [](const std::string&, const PrinterCanvas&) { return std::unique_ptr<Printer>(); },
        mover);
    EXPECT_EQ(listDir(staging.path() + ".w-kolejce/"), std::vector<std::string>{});
    const std::vector<std::string> staged = listDir(staging.path());
    EXPECT_NE(std::find(staged.begin(), staged.end(), "Zelmo7.pdf"), staged.end());
}

}  // namespace
}  // namespace zelmo::pipeline_test
