// The control command, on both of its sides.
#include "shell/control.h"

#include <algorithm>
#include <charconv>

#include "platform/control_channel.h"
#include "shell/feedback.h"
#include "shell/main_form.h"
#include "shell/queue_rows.h"
#include "shell/queue_view.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

constexpr const char* kOk = "OK\n";
constexpr const char* kRefused = "ERR\n";
// Exit statuses of the control command besides 0 (done) and 2 (bad use, decided before). A
// monitor that is there but did not answer is not "no monitor": a script must not start another.
constexpr int kExitNoMonitor = 1;
constexpr int kExitRefused = 3;
constexpr int kExitNoAnswer = 4;

// The request line for a command.
std::string requestOf(const CommandLine& line) {
    switch (line.command) {
        case CommandLine::Command::Status:
            return "status";
        case CommandLine::Command::Pause:
            return "pause";
        case CommandLine::Command::Resume:
            return "resume";
        case CommandLine::Command::PrintAgain:
            return "print-again " + std::to_string(line.job);
        case CommandLine::Command::Delete:
            return "delete " + std::to_string(line.job);
        case CommandLine::Command::None:
            break;
    }
    return {};
}

// Whether monitoring stands paused, as the "Wstrzymaj" item shows it.
bool monitoringPaused(const MainForm& form) {
    return form.paused();
}

// A job number as the request carries it; 0 when it is not one.
int64_t jobOf(const std::string& text) {
    int64_t job = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), job);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() ? job : 0;
}

// A refusal with its reason.
std::string refused(const std::string& why) {
    return kRefused + why + "\n";
}

}  // namespace

// The job's cells, tab-separated: a script cuts them apart, a person reads them in columns.
std::string rowText(const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i)
        text += (i == 0 ? "" : "\t") + cells[i];
    return text;
}

// The one place a job number is looked up.
const QueueFileInfo* findJob(const std::vector<QueueFileInfo>& rows, int64_t job) {
    if (job <= 0) return nullptr;
    for (const QueueFileInfo& row : rows)
        if (row.job.number == job) return &row;
    for (const QueueFileInfo& row : rows)
        if (row.job.number == 0 && row.number == job) return &row;
    return nullptr;
}

// Carries the request out; what fails on the way is the client's to hear of, never the window's.
std::string ControlService::answer(const std::string& request) {
    try {
        return dispatch(request);
    } catch (const std::exception& error) {
        return refused(exceptionMessage(error.what()));
    }
}

// Dispatches the request; a request of no known form is refused, never guessed at.
std::string ControlService::dispatch(const std::string& request) {
    const std::size_t space = request.find(' ');
    const std::string verb = request.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : request.substr(space + 1);
    const bool bare = space == std::string::npos;
    if (verb == "status" && bare) return status();
    if ((verb == "pause" || verb == "resume") && bare) return pause(verb == "pause");
    if (verb == "print-again" && !bare) return printAgain(argument);
    if (verb == "delete" && !bare) return remove(argument);
    if (verb == "show" && bare) {
        form_.SettingsItemClick();
        return kOk;
    }
    return refused(texts::kUnknownRequest + request.substr(0, 64));
}

// The state of monitoring and the folder, then one job a line.
std::string ControlService::status() const {
    std::string text = kOk;
    text += std::string(monitoringPaused(form_) ? texts::kHintPaused : texts::kHintMonitoring) +
            "\n" + texts::kHintFolder + form_.programDir() + "\n";
    for (const RowCells& row : queueRows(form_.queueSnapshot(), form_.history(), '.'))
        text += rowText(row) + "\n";
    return text;
}

// Pauses or resumes as the menu item does; asking for the state already in force is no error.
std::string ControlService::pause(bool paused) {
    if (monitoringPaused(form_) != paused) form_.PauseItemClick();
    return kOk;
}

// "Drukuj ponownie" for job number job.
std::string ControlService::printAgain(const std::string& job) {
    const std::vector<QueueFileInfo> rows = form_.queueSnapshot();
    const QueueFileInfo* row = findJob(rows, jobOf(job));
    if (!row) return printAgainFinished(jobOf(job), job);
    if (!form_.printAgain(row->name)) return refused(texts::kCannotPrintAgain + row->name);
    return kOk;
}

// A job of the history, from the store of printed jobs.
std::string ControlService::printAgainFinished(int64_t job, const std::string& asked) {
    const std::deque<HistoryEntry> history = form_.history();
    const bool known = job > 0 && std::any_of(history.begin(), history.end(),
                                              [&](const HistoryEntry& e) { return e.job == job; });
    if (!known) return refused(texts::kNoSuchJob + asked);
    const SpoolMonitor::AgainResult result = form_.printAgainFinished(job);
    if (result == SpoolMonitor::AgainResult::Queued) return kOk;
    return refused(printAgainRefusal(job, result));
}

// "Usuń" for job number job: the command line is its own confirmation.
std::string ControlService::remove(const std::string& job) {
    const std::vector<QueueFileInfo> rows = form_.queueSnapshot();
    const QueueFileInfo* row = findJob(rows, jobOf(job));
    if (!row) return refused(texts::kNoSuchJob + job);
    if (!form_.deleteQueueFile(row->name)) return refused(texts::kCannotDelete + row->name);
    return kOk;
}

// Sends the request and turns the answer into output and an exit status.
ControlOutcome runControlCommand(const std::string& folder, const CommandLine& line) {
    ControlOutcome outcome;
    std::string answer;
    const ControlReach reach = sendControlRequest(folder, requestOf(line), answer);
    const std::string ok = kOk;
    const std::string no = kRefused;
    if (reach == ControlReach::Answered && answer.compare(0, ok.size(), ok) == 0) {
        outcome.out = answer.substr(ok.size());
    } else if (reach == ControlReach::Answered && answer.compare(0, no.size(), no) == 0) {
        outcome.exitCode = kExitRefused;
        outcome.err = answer.substr(no.size());
    } else {
        outcome.exitCode = reach == ControlReach::NoMonitor ? kExitNoMonitor : kExitNoAnswer;
        outcome.err =
            (reach == ControlReach::NoMonitor ? texts::kNoMonitor : texts::kControlFailed) +
            folder + (reach == ControlReach::Failed ? " (" + answer + ")" : "") + "\n";
    }
    return outcome;
}

// The window comes up; the caller says so when it could not.
bool askToShow(const std::string& folder) {
    std::string answer;
    return sendControlRequest(folder, "show", answer) == ControlReach::Answered && answer == kOk;
}

}  // namespace zelmo
