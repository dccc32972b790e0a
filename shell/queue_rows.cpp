// The queue window's cells for waiting files and for finished jobs.
#include "shell/queue_rows.h"

#include "shell/feedback.h"
#include "shell/number_text.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

constexpr const char* kTimeFormat = "%Y-%m-%d %H:%M:%S";

// The job's number, or a dash for a file without one.
std::string numberText(int64_t job) {
    return job > 0 ? std::to_string(job) : "—";
}

// What became of a finished job, and where.
std::string outcomeText(const HistoryEntry& entry) {
    switch (entry.outcome) {
        case HistoryEntry::Outcome::Printed:
            // The PDF folder printer saves, it prints nothing.
            if (!entry.pdf.empty()) return texts::kHistorySavedPdf + std::string(" ") + entry.pdf;
            return texts::kHistoryPrinted + std::string(" ") + entry.printer;
        case HistoryEntry::Outcome::Sent:
            return texts::kHistorySent + std::string(" ") + entry.printer;
        case HistoryEntry::Outcome::Empty:
            return texts::kHistoryEmpty;
        case HistoryEntry::Outcome::Deleted:
            return texts::kHistoryDeleted;
    }
    return {};
}

}  // namespace

// The capture time where the monitor knows it, else the file's own.
RowCells queueRowCells(const QueueFileInfo& file, char separator) {
    const WallTime when = file.job.captured != WallTime{} ? file.job.captured : file.modified;
    // A file left from an earlier run has no job number: it goes by its file name's, as the
    // control command addresses it.
    return {numberText(file.job.number > 0 ? file.job.number : file.number), file.name,
            localTimeText(when, kTimeFormat), sizeText(file.size, separator), queueStateText(file)};
}

// The finish time; the size column counts pages.
RowCells historyRowCells(const HistoryEntry& entry) {
    return {numberText(entry.job), entry.queueName, localTimeText(entry.finished, kTimeFormat),
            std::to_string(entry.pages) + texts::kHistoryPages, outcomeText(entry)};
}

// Waiting and kept files first, finished jobs after them.
std::vector<RowCells> queueRows(const std::vector<QueueFileInfo>& files,
                                const std::deque<HistoryEntry>& history, char separator) {
    std::vector<RowCells> rows;
    rows.reserve(files.size() + history.size());
    for (const QueueFileInfo& file : files)
        rows.push_back(queueRowCells(file, separator));
    for (auto entry = history.rbegin(); entry != history.rend(); ++entry)
        rows.push_back(historyRowCells(*entry));
    return rows;
}

// Plain text, for a console or a script.
std::string plainRows(const std::vector<RowCells>& rows) {
    std::string text;
    for (const RowCells& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            text += (i ? " | " : "") + row[i];
        text += '\n';
    }
    return text;
}

}  // namespace zelmo
