// The queue window's rows and actions, written once for both windows.
#include "shell/queue_view.h"

#include <cstdio>

#include "shell/Main.h"
#include "shell/feedback.h"
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

bool rightAligned(int column) {
    return column == ColNumber || column == ColSize;
}

std::string sizeText(uint64_t bytes, char decimalSeparator) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1024.0);
    std::string result = text;
    const size_t point = result.find('.');
    result[point] = decimalSeparator;
    // Thousands apart by a space, as a Polish office writes them: "176 050,2 kB".
    for (size_t at = point; at > 3; at -= 3)
        result.insert(at - 3, " ");
    return result + " kB";
}

QueueRow queueRow(const QueueFileInfo& file, char decimalSeparator) {
    QueueRow row;
    row.name = file.name;
    row.cells = {std::to_string(file.number), file.name,
                 localTimeText(file.modified, "%Y-%m-%d %H:%M:%S"),
                 sizeText(file.size, decimalSeparator), queueStateText(file)};
    row.canPrintAgain =
        file.state == QueueFileState::SetAside || file.state == QueueFileState::Leftover;
    row.canDelete = file.state != QueueFileState::Printing;
    return row;
}

bool QueueView::refresh() {
    std::vector<QueueRow> rows;
    for (const QueueFileInfo& file : form_.queueSnapshot())
        rows.push_back(queueRow(file, separator_));
    if (rows == rows_) return false;
    rows_ = std::move(rows);
    return true;
}

int QueueView::find(const std::string& name) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].name == name) return static_cast<int>(i);
    return -1;
}

const QueueRow* QueueView::at(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &rows_[row] : nullptr;
}

void QueueView::printAgain(int row) {
    if (const QueueRow* file = at(row)) form_.printAgain(file->name);
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

}  // namespace zelmo
