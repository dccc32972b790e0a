// The filter's printer: a PDF document printer writing its one document into a file it is
// lent. It cannot copy, so a job's own copies command prints each page that many times, as on
// the PDF folder printer; the copies of the CUPS job are CUPS's.
#include "filter/filter_job.h"

#include <atomic>
#include <exception>
#include <memory>
#include <new>

#include "output/device_metrics.h"
#include "output/print_request.h"
#include "pcl/interpreter.h"
#include "platform/errors.h"

namespace zelmo {
namespace {

// The lent file; delivering it is the filter's business once the outcome is known.
class LentFile : public DocumentFile {
  public:
    explicit LentFile(int fd) : fd_(fd) {}
    int fd() const override { return fd_; }
    void deliver() override {}

  private:
    int fd_;
};

class FilterPrinter : public PdfDocumentPrinter {
  public:
    FilterPrinter(const PrinterGeometry& geometry, int fd)
        : PdfDocumentPrinter(geometry), fd_(fd) {}
    bool canCopy() const override { return false; }
    std::string printerName() override { return "zelmo-cups-filter"; }

  protected:
    void applyCopies(short) override {}
    // One document per job: a second would be written over the first in the same file.
    std::unique_ptr<DocumentFile> createDocumentFile(const DocumentFacts&) override {
        if (used_) throw PrinterError("a second document in one job");
        used_ = true;
        return std::make_unique<LentFile>(fd_);
    }

  private:
    int fd_;
    bool used_ = false;
};

// The outcome of an interpreted job, from the interpreter's state and the printer.
FilterOutcome judge(bool done, const PclState& state, const Printer& printer) {
    FilterOutcome outcome;
    outcome.pages = state.pagesPrinted;
    outcome.content = state.content;
    if (!state.content.isText())
        outcome.kind = FilterOutcome::Kind::NotPrintout;
    else if (!done || printer.aborted())
        outcome.kind = FilterOutcome::Kind::Stopped;
    else if (state.pagesPrinted <= 0)
        outcome.kind = FilterOutcome::Kind::NoPage;
    else
        outcome.kind = FilterOutcome::Kind::Printed;
    return outcome;
}

}  // namespace

// Runs the job as the monitor's worker does.
FilterOutcome printFilterJob(const uint8_t* job, std::size_t size, const PrinterGeometry& geometry,
                             const std::string& title, const PrintRequest& request, int fd) {
    FilterPrinter printer(geometry, fd);
    printer.setTitle(title);
    DeviceMetrics metrics;
    queryDeviceMetrics(metrics, printer);
    std::atomic<TestPage> testMode{TestPage::None};
    const std::atomic<bool> terminated{false};
    auto state = std::make_unique<PclState>();
    const JobEnv env{printer, metrics, request, testMode, terminated, job, size};
    try {
        const bool done = runJob(*state, env);
        return judge(done, *state, printer);
    } catch (const std::bad_alloc&) {
        return {FilterOutcome::Kind::Failed, 0, {}, "out of memory"};
    } catch (const std::exception& error) {
        return {FilterOutcome::Kind::Failed, 0, {}, error.what()};
    }
}

}  // namespace zelmo
