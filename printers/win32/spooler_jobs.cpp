// The spooler's job status through OpenPrinter and GetJob (JOB_INFO_1).
#include "printers/win32/spooler_jobs.h"

#include <winspool.h>

#include <vector>

#include "platform/win32/wide.h"

namespace zelmo {
namespace {

// The states in which the printer, not the job's turn, keeps the job waiting.
constexpr DWORD kHeldUp = JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT |
                          JOB_STATUS_BLOCKED_DEVQ | JOB_STATUS_USER_INTERVENTION;

// One spooled document of a printer's queue.
class SpoolerJob : public FollowedJob {
  public:
    SpoolerJob(std::wstring printer, DWORD id)
        : FollowedJob(kSpoolerSilentLimit), printer_(std::move(printer)), id_(id) {}
    void poll() override;
    int64_t systemJob() const override { return id_; }

  private:
    // The job's words for its state: the driver's text when it gives one.
    std::string describe(const JOB_INFO_1W& info) const;

    const std::wstring printer_;
    const DWORD id_;
};

// A spooler that cannot be opened may be restarting: no answer. A job it no longer lists was
// printed and removed, as the spooler does unless told to keep printed documents.
void SpoolerJob::poll() {
    HANDLE handle = nullptr;
    std::wstring name = printer_;
    if (!::OpenPrinterW(name.data(), &handle, nullptr)) return observe(JobSighting::NoAnswer);
    DWORD needed = 0;
    ::GetJobW(handle, id_, 1, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    const bool read =
        needed >= sizeof(JOB_INFO_1W) && ::GetJobW(handle, id_, 1, buffer.data(), needed, &needed);
    ::ClosePrinter(handle);
    if (!read) return observe(JobSighting::Gone);
    const auto& info = *reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    observe(sightingOfSpoolerStatus(info.Status), describe(info),
            troubleOfSpoolerStatus(info.Status));
}

std::string SpoolerJob::describe(const JOB_INFO_1W& info) const {
    std::string text = "spooler job " + std::to_string(id_);
    if (info.pStatus && *info.pStatus) text += ": " + win32::narrow(info.pStatus);
    if (info.Status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED)) text += " (deleted)";
    return text;
}

}  // namespace

// Printed first: a printed job may be on its way out of the queue as well. A printer in
// trouble holds the job in its queue, where it prints once the trouble is over.
JobSighting sightingOfSpoolerStatus(DWORD status) {
    if (status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE)) return JobSighting::Printed;
    if (status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED)) return JobSighting::Failed;
    if (status & kHeldUp) return JobSighting::HeldUp;
    return JobSighting::Queued;
}

// An offline printer does not answer; one out of paper or waiting for a hand is stopped.
PrintTrouble troubleOfSpoolerStatus(DWORD status) {
    if (status & JOB_STATUS_OFFLINE) return PrintTrouble::Unreachable;
    if (status & (JOB_STATUS_PAPEROUT | JOB_STATUS_USER_INTERVENTION)) return PrintTrouble::Stopped;
    return PrintTrouble::General;
}

std::shared_ptr<SubmittedDocument> followSpoolerJob(const std::wstring& printer, DWORD jobId) {
    auto job = std::make_shared<SpoolerJob>(printer, jobId);
    followJob(job);
    return job;
}

}  // namespace zelmo
