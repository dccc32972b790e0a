// The history of finished jobs, kept beside the journal in "Zelmo.history" so that it survives
// restarts: the last 200, oldest first. One line per job, fields separated by tabs:
//   job  captured  finished  pages  outcome  queue-name  where  pdf-path
// (times in seconds since the epoch; where: the printer's name; pdf-path empty when the job
// made no PDF). Lines that do not read so are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "pipeline/job.h"
#include "pipeline/job_events.h"

namespace zelmo {

constexpr const char* kHistoryName = "Zelmo.history";
constexpr std::size_t kHistoryLength = 200;

struct HistoryEntry {
    // Sent: the print system took it and could not tell whether it printed.
    enum class Outcome { Printed, Empty, Deleted, Sent };
    int64_t job = 0;
    WallTime captured{};
    WallTime finished{};
    int32_t pages = 0;
    Outcome outcome = Outcome::Printed;
    std::string queueName;  // the file name the job had, "Zelmo3.Prn"
    std::string printer;    // where it went
    std::string pdf;        // the PDF's path, when the job made one
};

// A finishing job's line: its number, capture time and file name (without the folder dir);
// the rest is the caller's to fill in.
HistoryEntry historyEntry(const Job& job, const std::string& dir);

std::string formatHistory(const std::deque<HistoryEntry>& history);
std::deque<HistoryEntry> parseHistory(const std::string& text);

}  // namespace zelmo
