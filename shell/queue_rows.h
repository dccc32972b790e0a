// The queue window's rows as text, free of any toolkit: the windows show these cells and the
// control command prints them, so both tell the same.
#pragma once

#include <string>
#include <vector>

#include "pipeline/job_history.h"
#include "pipeline/job_queue.h"

namespace zelmo {

// A row's cells in the order of texts::kQueueColumns: number, file, time, size, state.
using RowCells = std::vector<std::string>;

// A file in the folder: waiting, printing, set aside or left over. separator: the decimal one.
RowCells queueRowCells(const QueueFileInfo& file, char separator);
// A finished job of the history.
RowCells historyRowCells(const HistoryEntry& entry);
// One row a line, cells separated by " | ".
std::string plainRows(const std::vector<RowCells>& rows);
// The files as the window lists them, then the history, the newest job first: what a status
// command prints.
std::vector<RowCells> queueRows(const std::vector<QueueFileInfo>& files,
                                const std::deque<HistoryEntry>& history, char separator);

}  // namespace zelmo
