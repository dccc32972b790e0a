// The control command: a running monitor answers "zelmo --status", "--pause", "--resume",
// "--print-again N" and "--delete N" over its folder's control channel, and a second start on
// the folder asks it to show its window. Toolkit-neutral: both faces and the tests share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/job_queue.h"
#include "shell/command_line.h"

namespace zelmo {

class MainForm;

// The monitor's side: one request line in, one answer out, carried out through the form exactly
// as the window's items and the queue window do it. Runs on the window thread.
class ControlService {
  public:
    explicit ControlService(MainForm& form) : form_(form) {}
    std::string answer(const std::string& request);

  private:
    std::string dispatch(const std::string& request);
    std::string status() const;
    std::string pause(bool paused);
    std::string printAgain(const std::string& job);
    std::string printAgainFinished(int64_t job, const std::string& asked);
    std::string remove(const std::string& job);

    MainForm& form_;
};

// What the control command prints and the status it exits with.
struct ControlOutcome {
    int exitCode = 0;  // 0 done, 1 no monitor on the folder, 3 the monitor refused, 4 no answer
    std::string out;   // for standard output
    std::string err;   // for standard error, one line
};
// Sends the command of line to the monitor of folder (ending with a separator) and reads its
// answer.
ControlOutcome runControlCommand(const std::string& folder, const CommandLine& line);
// Asks the monitor of folder to bring its window to the front; false when it could not be asked.
bool askToShow(const std::string& folder);

// One row as the queue window shows it, its cells apart by tabs: number, file, time, size (or
// pages), state.
std::string rowText(const std::vector<std::string>& cells);
// The row of job number job; a file left from an earlier run has no job number and is named
// by the number of its file name. Null when there is none.
const QueueFileInfo* findJob(const std::vector<QueueFileInfo>& rows, int64_t job);

}  // namespace zelmo
