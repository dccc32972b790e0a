// The spool monitor's tick, the job queue and its retirement rules.
#include "pipeline/job_queue.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "pipeline/Thread.h"
#include "platform/files.h"
#include "platform/printer.h"

namespace zelmo {

// Binds the monitor to the program's directory and the shared state.
SpoolMonitor::SpoolMonitor(std::string programDir, HandOver& state, Printer& printer,
                           DeviceMetrics& metrics)
    : programDir_(std::move(programDir)),
      monitoredFile_(programDir_ + kMonitoredName),
      state_(state),
      printer_(printer),
      metrics_(metrics) {}

// "Zelmo" + n + ".Prn" in the program's directory.
std::string SpoolMonitor::queueFileName(int32_t n) const {
    return programDir_ + "Zelmo" + std::to_string(n) + ".Prn";
}

// TimerTimer: the three steps, in this order, every tick.
void SpoolMonitor::tick(const PrintRequest& settings, PrinterNameDisplay& display) {
    capture();
    showPrinter(display);
    handOver(settings);
}

// Whether path names a queue entry not yet retired.
bool SpoolMonitor::inQueue(const std::string& path) const {
    return std::find(queue_.entries.begin(), queue_.entries.end(), path) != queue_.entries.end();
}

// Captures MonitoredFile once its writer has closed it; at most one file per tick.
bool SpoolMonitor::capture() {
    if (!files::exists(monitoredFile_)) return false;
    if (!files::openExclusive(monitoredFile_).isOpen()) return false;  // closed at once
    for (int32_t n = 1; n < std::numeric_limits<int32_t>::max(); ++n) {
        const std::string name = queueFileName(n);
        // A queued name is taken even if its file vanished: deleting it later must not hit
        // the file captured now.
        if (inQueue(name)) continue;
        switch (files::renameNoReplace(monitoredFile_, name)) {
            case files::RenameResult::Renamed:
                queue_.entries.push_back(name);
                ++queue_.pendingCount;
                return true;
            case files::RenameResult::TargetExists:
                continue;
            case files::RenameResult::Failed:
                // Vanished, reopened or unwritable: no later number would fare better.
                return false;
        }
    }
    return false;
}

// Shows the printer's name once, when the worker is idle and the metrics can be had.
void SpoolMonitor::showPrinter(PrinterNameDisplay& display) {
    if (printerShown_ || !state_.workerIdle()) return;
    if (!queryDeviceMetrics(metrics_, printer_)) return;
    display.showPrinterName(printer_.printerName());
    printerShown_ = true;
}

// Hands a pending test page, or else the next job, to an idle worker.
bool SpoolMonitor::handOver(const PrintRequest& settings) {
    if (state_.TestMode.load() <= 0 && queue_.pendingCount <= 0) return false;
    if (!state_.workerIdle()) return false;
    collectOutcome();
    // A pending test page goes first and leaves the queue untouched.
    if (state_.TestMode.load() <= 0) {
        if (!advanceQueue()) return false;
        jobAwaitingReport_ = true;
    }
    state_.PrintRequest = settings;
    state_.Outcome = JobOutcome::NotStarted;
    state_.setWorkerIdle(false);
    state_.WorkEvent.set();
    return true;
}

// Moves the worker's report on the last job handed over into the queue.
void SpoolMonitor::collectOutcome() {
    if (!jobAwaitingReport_) return;
    jobAwaitingReport_ = false;
    // A test page printed in the job's place leaves the job itself still to print.
    const JobOutcome outcome = state_.Outcome;
    queue_.currentOutcome = outcome == JobOutcome::TestPage ? JobOutcome::NotRun : outcome;
}

// Retires the current entry, deleting its file only when asked.
void SpoolMonitor::retireCurrent(bool deleteFile) {
    std::string& entry = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    if (deleteFile) files::deleteFile(entry);
    entry.clear();
    --queue_.pendingCount;
}

// Judges the current job by its own outcome, then selects the next job.
bool SpoolMonitor::advanceQueue() {
    if (queue_.currentIndex >= 0) {
        bool retire = false;
        bool deleteFile = false;
        switch (queue_.currentOutcome) {
            case JobOutcome::Printed:
                retire = deleteFile = true;
                break;
            case JobOutcome::Failed:
                retire = true;
                break;
            case JobOutcome::Unreadable:
                retire = ++queue_.currentLoadTries >= kMaxLoadTries;
                break;
            case JobOutcome::NoPrinter:
            case JobOutcome::NotRun:
            case JobOutcome::TestPage:
            case JobOutcome::NotStarted:
                break;
        }
        if (!retire) {
            // Not printed and not given up: the same job is handed over again.
            state_.CurrentJobFile = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
            return true;
        }
        retireCurrent(deleteFile);
    }
    if (queue_.pendingCount <= 0) {
        queue_.entries.clear();
        queue_.currentIndex = -1;
        return false;
    }
    ++queue_.currentIndex;
    state_.CurrentJobFile = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    queue_.currentOutcome = JobOutcome::NotStarted;
    queue_.currentLoadTries = 0;
    return true;
}

// FormDestroy's pipeline part: the worker ends first, then the last job handed over is judged.
void SpoolMonitor::shutdown(TPrintThread& worker) {
    worker.terminate();
    state_.WorkEvent.set();
    worker.waitFor();
    collectOutcome();
    advanceQueue();
}

}  // namespace zelmo
