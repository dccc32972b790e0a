// The queue window as data: one row per queue file with its cells as the user reads them, what
// each button may do with a row, and the delete flow with its question and its failure. The Qt
// and Win32 windows only draw the rows and hand back the row the user acted on.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/job_history.h"
#include "pipeline/job_queue.h"

namespace zelmo {

class MainForm;

enum QueueColumn : int { ColNumber, ColName, ColTime, ColSize, ColState, ColCount };

struct QueueRow {
    std::string name;  // the queue file's name, which the actions take; empty for a finished job
    int64_t job = 0;   // a finished job's number, which "Drukuj ponownie" takes
    std::string key;   // what the selection follows across refreshes: unique among the rows
    std::array<std::string, ColCount> cells;
    std::string pdf;             // a finished job's PDF, when it made one
    bool canPrintAgain = false;  // a queued or printing file cannot be queued again
    bool canDelete = false;      // one being printed cannot be deleted
    bool canOpenPdf = false;     // a finished job whose PDF is still where it was written

    bool operator==(const QueueRow& other) const {
        return name == other.name && job == other.job && key == other.key && cells == other.cells &&
               pdf == other.pdf && canPrintAgain == other.canPrintAgain &&
               canDelete == other.canDelete && canOpenPdf == other.canOpenPdf;
    }
};

// Numbers and sizes line up on the right.
bool rightAligned(int column);

// The queue window's row of a queue file.
QueueRow queueRow(const QueueFileInfo& file, char decimalSeparator);
// The queue window's row of a finished job; it may open the job's PDF while that still exists,
// and be printed again while its file is kept.
QueueRow historyRow(const HistoryEntry& entry, bool kept = false);

// The questions and warnings of the queue window, in a box of its own.
class QueueDialogs {
  public:
    virtual ~QueueDialogs() = default;
    // A question with Yes and No, No the default; true for Yes.
    virtual bool confirm(const std::string& text, const std::string& caption) = 0;
    virtual void warn(const std::string& text, const std::string& caption) = 0;
    // Opens a PDF in the system's viewer; false when none would take it.
    virtual bool openDocument(const std::string& path) = 0;
};

// Why a finished job could not be queued again, in a sentence.
std::string printAgainRefusal(int64_t job, SpoolMonitor::AgainResult result);

class QueueView {
  public:
    QueueView(MainForm& form, char decimalSeparator) : form_(form), separator_(decimalSeparator) {}

    // Reads the folder again: one row per queue file, in print order, then the others by
    // number, then the history of finished jobs, newest first (rows without a name, which no
    // button acts on). False when every row is as it was.
    bool refresh();
    const std::vector<QueueRow>& rows() const { return rows_; }
    // The row of the named file, or -1.
    int find(const std::string& name) const;

    // Queues the row's file again, at the end of the queue; a finished job whose file is no
    // longer kept is said so.
    void printAgain(int row, QueueDialogs* dialogs = nullptr);
    // Deletes the row's file once the user has confirmed it (confirmed: already asked); a file
    // that cannot be deleted is said so.
    void remove(int row, QueueDialogs& dialogs, bool confirmed = false);
    // Opens the row's PDF; one gone since the row was read, or that no viewer takes, is said so.
    void openPdf(int row, QueueDialogs& dialogs);

  private:
    const QueueRow* at(int row) const;

    MainForm& form_;
    char separator_;
    std::vector<QueueRow> rows_;
};

}  // namespace zelmo
