// Writing and reading the queue's journal.
#include "pipeline/queue_journal.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <istream>
#include <sstream>
#include <vector>

namespace zelmo {
namespace {

constexpr const char* kStateWords[] = {"waiting", "printing", "aside"};
constexpr const char* kNextWord = "next";
// The pause outlives the run: what the user held back must not print at the next start.
constexpr const char* kHeldWord = "held";

// The reasons as the journal spells them, indexed by SetAsideReason.
constexpr const char* kReasonWords[] = {"none",       "failed",      "nothing-printed",
                                        "unreadable", "interrupted", "past-limits",
                                        "not-text",   "broke-worker"};

// The reason spelt word, or None.
SetAsideReason reasonOf(const std::string& word) {
    for (std::size_t i = 0; i < std::size(kReasonWords); ++i)
        if (word == kReasonWords[i]) return static_cast<SetAsideReason>(i);
    return SetAsideReason::None;
}

// A non-negative decimal number, or 0.
int64_t numberOf(const std::string& word) {
    int64_t value = 0;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    if (result.ec != std::errc() || result.ptr != word.data() + word.size() || value < 0) return 0;
    return value;
}

// One word for the line: '%', white space and control bytes as %XX, and a leading digit too, so
// that the word is never taken for the job number that may stand in its place.
std::string escaped(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        const bool leadingDigit = out.empty() && c >= '0' && c <= '9';
        if (c == '%' || c <= ' ' || c == 0x7F || leadingDigit) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The text of an escaped word; a '%' without two hex digits stays as it is.
std::string unescaped(const std::string& word) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        unsigned value = 0;
        const bool code =
            word[i] == '%' && i + 2 < word.size() &&
            std::from_chars(word.data() + i + 1, word.data() + i + 3, value, 16).ptr ==
                word.data() + i + 3;
        if (!code) {
            out += word[i];
            continue;
        }
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

// The state word's index, or -1.
int stateOf(const std::string& word) {
    for (std::size_t i = 0; i < std::size(kStateWords); ++i)
        if (word == kStateWords[i]) return static_cast<int>(i);
    return -1;
}

// A printer's name kept on one line of the journal.
std::string oneLine(std::string name) {
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return name;
}

// The print system's job number, pages and printer (the rest of the line, spaces and all).
void readSystemJob(std::istream& words, JournalEntry& entry) {
    std::string system, pages;
    if (!(words >> system >> pages)) return;
    entry.systemJob = numberOf(system);
    entry.pages = static_cast<int32_t>(std::min<int64_t>(numberOf(pages), INT32_MAX));
    std::getline(words >> std::ws, entry.printer);
    if (entry.printer.empty()) entry.systemJob = 0;
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

// The next number first, then one line per entry, in order.
std::string formatJournal(const Journal& journal) {
    std::string text = std::string(kNextWord) + " " + std::to_string(journal.nextJob) + "\n";
    if (journal.held) text += std::string(kHeldWord) + "\n";
    for (const JournalEntry& entry : journal.entries) {
        text += kStateWords[static_cast<int>(entry.state)];
        text += ' ';
        text += entry.name;
        if (entry.state == JournalEntry::State::Aside) {
            text += ' ';
            text += kReasonWords[static_cast<int>(entry.reason)];
            if (!entry.message.empty()) text += ' ' + escaped(entry.message);
        }
        text += ' ' + std::to_string(entry.job) + ' ' + std::to_string(entry.captured);
        if (entry.state == JournalEntry::State::Aside) {
            if (entry.systemJob > 0)
                text += ' ' + std::to_string(entry.systemJob) + ' ' + std::to_string(entry.pages) +
                        ' ' + oneLine(entry.printer);
        } else if (entry.breaks > 0) {
            // Written only when there is one: most jobs never end an attempt unreported.
            text += ' ' + std::to_string(entry.breaks);
        }
        text += '\n';
    }
    return text;
}

// The journal's contents; what does not read as an entry is skipped.
Journal parseJournal(const std::string& text) {
    Journal journal;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string state, job, captured, breaks;
        JournalEntry entry;
        if (line == kHeldWord) {
            journal.held = true;
            continue;
        }
        if (!(words >> state >> entry.name)) continue;
        if (state == kNextWord) {
            journal.nextJob = std::max(journal.nextJob, numberOf(entry.name));
            continue;
        }
        const int index = stateOf(state);
        if (index < 0 || queueFileNumber(entry.name) == 0) continue;
        entry.state = static_cast<JournalEntry::State>(index);
        if (entry.state == JournalEntry::State::Aside) {
            std::string reason;
            words >> reason;
            entry.reason = reasonOf(reason);
        }
        words >> job;
        // An aside job's message, when it has one, stands before the number: a word that does not
        // begin with a digit.
        if (entry.state == JournalEntry::State::Aside && !job.empty() &&
            (job[0] < '0' || job[0] > '9')) {
            entry.message = unescaped(job);
            words >> job;
        }
        words >> captured;
        entry.job = numberOf(job);
        entry.captured = numberOf(captured);
        // An aside line may go on with the job's place in the print system's queue, a waiting or
        // printing line with its attempts that never reported.
        if (entry.state == JournalEntry::State::Aside) {
            readSystemJob(words, entry);
        } else {
            words >> breaks;
            entry.breaks = static_cast<int>(std::min<int64_t>(numberOf(breaks), 1000));
        }
        journal.entries.push_back(entry);
    }
    return journal;
}

// The one line of the submission record.
std::string formatSubmitted(const std::string& queueName, int64_t job) {
    return queueName + " " + std::to_string(job) + "\n";
}

// The record a journal line stands for.
Job journaledJob(const JournalEntry& entry, const std::string& dir) {
    Job job;
    job.number = entry.job;
    job.file = dir + entry.name;
    job.captured = WallTime{} + std::chrono::seconds(entry.captured);
    return job;
}

// A job as the journal writes it: whole seconds, the name only.
JournalEntry journalLine(JournalEntry::State state, const Job& job, const std::string& dir) {
    JournalEntry line;
    line.state = state;
    line.name = job.file.substr(dir.size());
    line.job = job.number;
    line.captured =
        std::chrono::duration_cast<std::chrono::seconds>(job.captured.time_since_epoch()).count();
    if (state != JournalEntry::State::Aside) line.breaks = job.breaks;
    return line;
}

}  // namespace zelmo
