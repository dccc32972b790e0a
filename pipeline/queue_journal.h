// The journal of the queue: which queue files wait, which one was printing and which are set
// aside, with each one's job number and capture time, and the next job number, so that a
// later run resumes what this one could not finish and never reuses a number. One line each:
//   next 18
//   waiting Zelmo3.Prn 17 1765123456
//   printing Zelmo2.Prn 16 1765123400 1
//   aside Zelmo1.Prn nothing-printed 15 1765123000
//   aside Zelmo4.Prn not-text plik%20PDF 19 1765123500
//   aside Zelmo5.Prn interrupted 14 1765122000 42 2 Biuro
// An aside job's message, when it has one, stands after its reason with '%', spaces, line ends
// and a leading digit escaped, so that the reason told after a restart is the one told before
// it. The last line is a job in the print system's queue at the stop: its number there (the
// CUPS or spooler job id), its pages and the printer, so that the next run can ask what became
// of it (a run that does not know the three reads it as an interrupted job set aside).
// The last number of a waiting or printing line, when there is one, counts the attempts at the
// job that never reported (the worker or the program ended during them); the current attempt
// is counted while it lasts, so a crash leaves it counted. The number and the time may be
// missing (a journal of an older run). Lines that do not read
// so, or name anything but a queue file of the folder, are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/job.h"
#include "pipeline/job_events.h"

namespace zelmo {

struct JournalEntry {
    enum class State { Waiting, Printing, Aside };
    State state = State::Waiting;
    std::string name;  // a queue file name, never a path
    SetAsideReason reason = SetAsideReason::None;
    int64_t job = 0;       // the job number; 0 when the journal had none
    int64_t captured = 0;  // seconds since the epoch; 0 when unknown
    // Of a job in the print system's queue: its number there (0: none), pages and printer.
    int64_t systemJob = 0;
    int32_t pages = 0;
    std::string printer;
    int breaks = 0;       // attempts that ended without a report: the worker or program died
    std::string message;  // an aside job's message: what it looks like, or the system's words
};

struct Journal {
    int64_t nextJob = 1;
    bool held = false;  // printing paused by the user: a line "held" after the next number
    std::vector<JournalEntry> entries;
};

// The job a line records (its number and capture time), its file in folder dir, which ends
// with a separator. Attempts that broke the worker are the caller's to take: they count only
// while the job is queued.
Job journaledJob(const JournalEntry& entry, const std::string& dir);
// The line of job in state, its file named without the folder dir; breaks written only for a
// job still to print.
JournalEntry journalLine(JournalEntry::State state, const Job& job, const std::string& dir);

// The number N of a file name "Zelmo" + N + ".Prn" (N positive, no leading zeros), or 0.
int32_t queueFileNumber(const std::string& name);

std::string formatJournal(const Journal& journal);
Journal parseJournal(const std::string& text);

// The file the print worker writes right before a job's document reaches the print system,
// naming the job: after a kill, only a job it names may have been printed in part.
constexpr const char* kSubmittedName = "Zelmo.sent";
std::string formatSubmitted(const std::string& queueName, int64_t job);

}  // namespace zelmo
