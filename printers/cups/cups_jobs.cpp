// The CUPS job watcher: Get-Job-Attributes for each job still queued, on the watcher's thread.
#include "printers/cups/cups_jobs.h"

#include <chrono>
#include <cstring>
#include <string>

#include "printers/cups/cups_connection.h"
#include "printers/followed_job.h"

namespace zelmo {
namespace {

// A printer that says the same words this long while it should be printing our job is taken
// as stuck: a backend that cannot reach its device repeats its complaint, and the job stays
// "processing" for as long as it takes.
constexpr auto kStuckAfter = std::chrono::seconds(30);

// The reason cupsd gives for the job's state, the one about the job itself ("job-canceled-by-
// user", "job-aborted-by-system") ahead of those about the printer; empty when it gives none.
std::string jobReason(ipp_t* response) {
    ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD);
    std::string first;
    for (int i = 0; reasons && i < ippGetCount(reasons); ++i) {
        const char* reason = ippGetString(reasons, i, nullptr);
        if (!reason) continue;
        if (std::strncmp(reason, "job-", 4) == 0) return reason;
        if (first.empty()) first = reason;
    }
    return first;
}

// The printer's own words while it has our job (its backend's last complaint, say).
std::string printerMessage(ipp_t* response) {
    ipp_attribute_t* attr = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT);
    const char* text = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return text ? text : "";
}

// One job submitted to the CUPS server in use.
class CupsJob : public FollowedJob {
  public:
    // A CUPS job is waited for as long as it takes: the server keeps it whatever we do.
    explicit CupsJob(int id) : FollowedJob(0x7fffffff), id_(id) {}
    int64_t systemJob() const override { return id_; }
    void poll() override;

  private:
    ipp_t* ask(CupsConnection& connection);
    // What the state, its reasons and the printer's words mean for the job.
    void read(ipp_t* response, CupsConnection& connection);
    std::string printerStopped(ipp_t* job, CupsConnection& connection);
    // Whether the printer has said the same words since kStuckAfter while the job printed.
    bool stuck(const std::string& message);

    const int id_;
    std::string lastWords_;
    std::chrono::steady_clock::time_point wordsSince_{};
};

// Get-Job-Attributes for the job; null when the server did not answer.
ipp_t* CupsJob::ask(CupsConnection& connection) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(id_);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const kWanted[] = {"job-state", "job-state-reasons",
                                          "job-printer-state-message", "job-printer-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  kWanted);
    return cupsDoRequest(connection.get(), request, "/");
}

// Asks cupsd where the job stands. A server that cannot be reached or does not answer holds
// the job up; one that no longer knows the job cannot say what became of it.
void CupsJob::poll() {
    // The watcher's thread alone asks, one job after another.
    thread_local CupsConnection connection(&followingStops());
    if (!connection.get())
        return observe(JobSighting::NoAnswer, std::string("CUPS: ") + cupsLastErrorString(),
                       PrintTrouble::NoService);
    ipp_t* response = ask(connection);
    if (connection.silent()) {
        ippDelete(response);
        return observe(JobSighting::NoAnswer,
                       "CUPS: no answer in " + std::to_string(kCupsPatienceSeconds) + " s",
                       PrintTrouble::Unreachable);
    }
    // A job cupsd no longer knows (its history purged) may well have printed: it cannot say.
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) observe(JobSighting::Gone);
    if (!response) return;
    read(response, connection);
    ippDelete(response);
}

// Why the job's printer is stopped (disabled, paused): its message and reasons; empty while it
// is not stopped or cannot be asked.
std::string CupsJob::printerStopped(ipp_t* job, CupsConnection& connection) {
    ipp_attribute_t* uri = ippFindAttribute(job, "job-printer-uri", IPP_TAG_URI);
    if (!uri || !ippGetString(uri, 0, nullptr)) return {};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 ippGetString(uri, 0, nullptr));
    static const char* const kWanted[] = {"printer-state", "printer-state-reasons",
                                          "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                  kWanted);
    ipp_t* response = cupsDoRequest(connection.get(), request, "/");
    if (!response) return {};
    std::string why;
    ipp_attribute_t* state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
    if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED) {
        ipp_attribute_t* message =
            ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT);
        const char* text = message ? ippGetString(message, 0, nullptr) : nullptr;
        char reasons[256] = "";
        if (ipp_attribute_t* r =
                ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD))
            ippAttributeString(r, reasons, sizeof reasons);
        why = std::string(text && *text ? std::string(text) + " " : "") + "(printer-stopped, " +
              reasons + ")";
    }
    ippDelete(response);
    return why;
}

void CupsJob::read(ipp_t* response, CupsConnection& connection) {
    ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
    if (!state) return;
    const int value = ippGetInteger(state, 0);
    // The state's own name first: a reason alone may speak of the printer, not the job.
    std::string message =
        "CUPS job " + std::to_string(id_) + " " + ippEnumString("job-state", value);
    const std::string reason = jobReason(response);
    if (!reason.empty()) message += " (" + reason + ")";
    const std::string words = printerMessage(response);
    if (!words.empty()) message = words + " [" + message + "]";
    switch (value) {
        case IPP_JSTATE_COMPLETED:
            return observe(JobSighting::Printed, message);
        case IPP_JSTATE_CANCELED:
        case IPP_JSTATE_ABORTED:
            return observe(JobSighting::Failed, message);
        case IPP_JSTATE_HELD:
        case IPP_JSTATE_STOPPED:
            return observe(JobSighting::HeldUp, message, PrintTrouble::Stopped);
        case IPP_JSTATE_PENDING:
            if (const std::string why = printerStopped(response, connection); !why.empty())
                return observe(JobSighting::HeldUp, why + " [" + message + "]",
                               PrintTrouble::Stopped);
            break;
        case IPP_JSTATE_PROCESSING:
            if (stuck(words)) return observe(JobSighting::HeldUp, message);
            break;
        default:
            break;
    }
    observe(JobSighting::Queued, message);
}

bool CupsJob::stuck(const std::string& message) {
    const auto now = std::chrono::steady_clock::now();
    if (message != lastWords_ || wordsSince_ == std::chrono::steady_clock::time_point{}) {
        lastWords_ = message;
        wordsSince_ = now;
    }
    return !message.empty() && now - wordsSince_ >= kStuckAfter;
}

}  // namespace

// Registers the job with the process's watcher.
std::shared_ptr<SubmittedDocument> followCupsJob(int jobId) {
    auto job = std::make_shared<CupsJob>(jobId);
    followJob(job);
    return job;
}

}  // namespace zelmo
