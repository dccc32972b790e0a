// Writing and reading the queue's journal.
#include "pipeline/queue_journal.h"

#include <charconv>
#include <sstream>

namespace zelmo {
namespace {

constexpr const char* kStateWords[] = {"waiting", "printing", "aside"};

// The reasons as the journal spells them, indexed by SetAsideReason.
constexpr const char* kReasonWords[] = {
    "none", "failed", "nothing-printed", "unreadable", "interrupted", "past-limits", "not-text"};

// The reason spelt word, or None.
SetAsideReason reasonOf(const std::string& word) {
    for (std::size_t i = 0; i < std::size(kReasonWords); ++i)
        if (word == kReasonWords[i]) return static_cast<SetAsideReason>(i);
    return SetAsideReason::None;
}

}  // namespace

// N of "Zelmo" + N + ".Prn", or 0 when name is anything else.
int32_t queueFileNumber(const std::string& name) {
    constexpr std::size_t prefix = 5;  // "Zelmo"
    constexpr std::size_t suffix = 4;  // ".Prn"
    if (name.size() <= prefix + suffix || name.compare(0, prefix, "Zelmo") != 0 ||
        name.compare(name.size() - suffix, suffix, ".Prn") != 0)
        return 0;
    const char* first = name.data() + prefix;
    const char* last = name.data() + name.size() - suffix;
    if (*first == '0') return 0;
    int32_t number = 0;
    const auto result = std::from_chars(first, last, number);
    if (result.ec != std::errc() || result.ptr != last || number <= 0) return 0;
    return number;
}

// One line per entry, in order.
std::string formatJournal(const std::vector<JournalEntry>& entries) {
    std::string text;
    for (const JournalEntry& entry : entries) {
        text += kStateWords[static_cast<int>(entry.state)];
        text += ' ';
        text += entry.name;
        if (entry.state == JournalEntry::State::Aside) {
            text += ' ';
            text += kReasonWords[static_cast<int>(entry.reason)];
        }
        text += '\n';
    }
    return text;
}

// The entries of a journal; what does not read as one is skipped.
std::vector<JournalEntry> parseJournal(const std::string& text) {
    std::vector<JournalEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string state;
        JournalEntry entry;
        std::string reason;
        if (!(words >> state >> entry.name) || queueFileNumber(entry.name) == 0) continue;
        words >> reason;
        if (state == kStateWords[0]) {
            entry.state = JournalEntry::State::Waiting;
        } else if (state == kStateWords[1]) {
            entry.state = JournalEntry::State::Printing;
        } else if (state == kStateWords[2]) {
            entry.state = JournalEntry::State::Aside;
            entry.reason = reasonOf(reason);
        } else {
            continue;
        }
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace zelmo
