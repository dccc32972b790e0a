// The queue window's rows and actions, written once for both windows.
#include "shell/queue_view.h"

#include <set>

#include "platform/files.h"
#include "shell/feedback.h"
#include "shell/main_form.h"
#include "shell/queue_rows.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

// format with its "%1" replaced by name.
std::string withName(const char* format, const std::string& name) {
    std::string text = format;
    const size_t at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, name);
    return text;
}

}  // namespace

std::string printAgainRefusal(int64_t job, SpoolMonitor::AgainResult result) {
    std::string text = withName(
        result == SpoolMonitor::AgainResult::NotKept ? texts::kNotKept : texts::kAgainFailed,
        std::to_string(job));
    for (const auto& [mark, value] :
         {std::pair<const char*, uint64_t>{"%2", kPrintedStoreJobs}, {"%3", kPrintedStoreMiB}})
        if (const size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, 2, std::to_string(value));
    return text;
}

bool rightAligned(int column) {
    return column == ColNumber || column == ColSize;
}

QueueRow queueRow(const QueueFileInfo& file, char decimalSeparator) {
    QueueRow row;
    row.name = file.name;
    const RowCells cells = queueRowCells(file, decimalSeparator);
    for (size_t i = 0; i < row.cells.size() && i < cells.size(); ++i)
        row.cells[i] = cells[i];
    row.canPrintAgain =
        file.state == QueueFileState::SetAside || file.state == QueueFileState::Leftover;
    row.canDelete = file.state != QueueFileState::Printing;
    row.key = file.name;
    return row;
}

// The PDF counts only while a regular file stands at its path: a moved or deleted one cannot
// be opened, and a folder or link put there in its place is not the job's PDF.
QueueRow historyRow(const HistoryEntry& entry, bool kept) {
    QueueRow row;
    row.job = entry.job;
    row.canPrintAgain = kept;
    const RowCells cells = historyRowCells(entry);
    for (size_t i = 0; i < row.cells.size() && i < cells.size(); ++i)
        row.cells[i] = cells[i];
    // File names start with a letter, so a key that starts with '#' is never a file's.
    row.key = "#" + std::to_string(entry.job) + "@" +
              std::to_string(entry.finished.time_since_epoch().count());
    row.pdf = entry.pdf;
    files::FileInfo info;
    row.canOpenPdf = !entry.pdf.empty() && files::fileInfo(entry.pdf, info) && info.regular;
    return row;
}

bool QueueView::refresh() {
    std::vector<QueueRow> rows;
    for (const QueueFileInfo& file : form_.queueSnapshot())
        rows.push_back(queueRow(file, separator_));
    // The finished jobs below them, the newest first: their PDF can be opened, and their file
    // printed again while the store keeps it.
    const std::deque<HistoryEntry> history = form_.history();
    const std::set<int64_t> kept = form_.keptJobs();
    for (auto entry = history.rbegin(); entry != history.rend(); ++entry)
        rows.push_back(historyRow(*entry, kept.count(entry->job) > 0));
    if (rows == rows_) return false;
    rows_ = std::move(rows);
    return true;
}

int QueueView::find(const std::string& name) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (!name.empty() && rows_[i].name == name) return static_cast<int>(i);
    return -1;
}

const QueueRow* QueueView::at(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &rows_[row] : nullptr;
}

// The store may have dropped a finished job's file since the last refresh.
void QueueView::printAgain(int row, QueueDialogs* dialogs) {
    const QueueRow* file = at(row);
    if (!file) return;
    if (!file->name.empty()) {
        form_.printAgain(file->name);
        return;
    }
    if (file->job <= 0 || !file->canPrintAgain) return;
    const SpoolMonitor::AgainResult result = form_.printAgainFinished(file->job);
    if (result != SpoolMonitor::AgainResult::Queued && dialogs)
        dialogs->warn(printAgainRefusal(file->job, result), texts::kQueueTitle);
}

void QueueView::remove(int row, QueueDialogs& dialogs, bool confirmed) {
    const QueueRow* file = at(row);
    if (!file) return;
    const std::string name = file->name;
    if (!confirmed && !dialogs.confirm(withName(texts::kConfirmDelete, name), texts::kQueueTitle))
        return;
    if (!form_.deleteQueueFile(name))
        dialogs.warn(withName(texts::kDeleteFailed, name), texts::kQueueTitle);
}

// Looked at again on the click: the PDF may have gone since the last refresh.
void QueueView::openPdf(int row, QueueDialogs& dialogs) {
    const QueueRow* job = at(row);
    if (!job || job->pdf.empty()) return;
    files::FileInfo info;
    if (!files::fileInfo(job->pdf, info) || !info.regular) {
        dialogs.warn(withName(texts::kPdfGone, job->pdf), texts::kQueueTitle);
        return;
    }
    if (!dialogs.openDocument(job->pdf))
        dialogs.warn(withName(texts::kPdfOpenFailed, job->pdf), texts::kQueueTitle);
}

}  // namespace zelmo
