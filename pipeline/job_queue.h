// The spool monitor and job queue, run on the window thread by its 500 ms timer. Each tick
// captures a finished "Wydruk.prn" into a numbered queue file, shows the printer's name once,
// retires the job the worker has finished and hands it the next job or a requested test page.
// Toolkit-neutral: the window calls tick() from TimerTimer and shutdown() from FormDestroy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/device_metrics.h"
#include "pcl/print_request.h"
#include "pipeline/handover.h"

namespace zelmo {

class Printer;
class TPrintThread;

constexpr const char* kMonitoredName = "Wydruk.prn";
// A queue file whose load keeps failing is given up after this many tries, so that one bad
// file never blocks the queue; its file stays on disk.
constexpr int kMaxLoadTries = 8;

// The captured queue files. Retired entries become empty strings so positions stay stable.
struct JobQueue {
    std::vector<std::string> entries;
    int32_t pendingCount = 0;   // captured and not retired, the one the worker holds included
    int32_t currentIndex = -1;  // the entry handed over most recently; -1 when none
    // What the worker made of the current entry, and how often it could not be loaded.
    JobOutcome currentOutcome = JobOutcome::NotStarted;
    int currentLoadTries = 0;
};

// Where the printer's name is shown (Label_Printer), once per run.
class PrinterNameDisplay {
  public:
    virtual ~PrinterNameDisplay() = default;
    virtual void showPrinterName(const std::string& name) = 0;
};

class SpoolMonitor {
  public:
    // programDir ends with a path separator.
    SpoolMonitor(std::string programDir, HandOver& state, Printer& printer, DeviceMetrics& metrics);

    // One TimerTimer tick: capture, printer name, hand-over with the window's current settings.
    void tick(const PrintRequest& settings, PrinterNameDisplay& display);

    // Step 1: moves a finished MonitoredFile to the first free queue name; true when captured.
    bool capture();
    // Step 2: shows the printer's name once the worker is idle and the metrics are known.
    void showPrinter(PrinterNameDisplay& display);
    // Step 3: hands the next job or a pending test page to an idle worker; true when handed.
    bool handOver(const PrintRequest& settings);
    // Retires the current job (its file deleted only when it printed) and selects the next,
    // or keeps the current one when it must be handed over again. False when none is left.
    bool advanceQueue();
    // FormDestroy's part: terminate the worker, wake it, wait for it, then advanceQueue once.
    void shutdown(TPrintThread& worker);

    const JobQueue& queue() const { return queue_; }
    const std::string& monitoredFile() const { return monitoredFile_; }
    bool printerShown() const { return printerShown_; }
    // The queue file name for number n: programDir + "Zelmo" + n + ".Prn".
    std::string queueFileName(int32_t n) const;

  private:
    // Takes the worker's report on the last job handed over; the worker must be idle or ended.
    void collectOutcome();
    void retireCurrent(bool deleteFile);
    bool inQueue(const std::string& path) const;

    std::string programDir_;
    std::string monitoredFile_;
    HandOver& state_;
    Printer& printer_;
    DeviceMetrics& metrics_;
    JobQueue queue_;
    bool printerShown_ = false;
    bool jobAwaitingReport_ = false;  // a job (not a test page) was handed over, unreported
};

}  // namespace zelmo
