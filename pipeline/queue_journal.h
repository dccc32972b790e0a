// The journal of the queue: which queue files wait, which one was printing and which are set
// aside, so that a later run resumes what this one could not finish. One line per file:
//   waiting Zelmo3.Prn
//   printing Zelmo2.Prn
//   aside Zelmo1.Prn nothing-printed
// Lines that do not read so, or name anything but a queue file of the folder, are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/job_events.h"

namespace zelmo {

struct JournalEntry {
    enum class State { Waiting, Printing, Aside };
    State state = State::Waiting;
    std::string name;  // a queue file name, never a path
    SetAsideReason reason = SetAsideReason::None;
};

// The number N of a file name "Zelmo" + N + ".Prn" (N positive, no leading zeros), or 0.
int32_t queueFileNumber(const std::string& name);

std::string formatJournal(const std::vector<JournalEntry>& entries);
std::vector<JournalEntry> parseJournal(const std::string& text);

}  // namespace zelmo
