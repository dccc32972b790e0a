// The archive through the whole pipeline: a printout is archived once, however many attempts
// it took, and a job printed again on request is archived again, labelled so.
#include <gtest/gtest.h>

#include "pipeline_fixture.h"
#include "platform/archive_mover.h"
#include "platform/archiving_printer.h"
#include "platform/errors.h"

namespace zelmo::pipeline_test {
namespace {

// The archive's PDFs once the mover has emptied the staging folder.
std::vector<std::string> archivedWhenMoved(const TempDir& staging, const TempDir& archive) {
    const auto staged = [&] {
        for (const std::string& name : listDir(staging.path()))
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0) return true;
        return false;
    };
    waitUntil([&] { return !staged(); });
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
    TPrintThread worker(state, *printer, metrics, display);
    const auto printAll = [&] {
        return waitUntil([&] {
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

}  // namespace
}  // namespace zelmo::pipeline_test
