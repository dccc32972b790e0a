// Writing and reading the history of finished jobs.
#include "pipeline/job_history.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <iterator>
#include <sstream>
#include <vector>

namespace zelmo {
namespace {

constexpr const char* kOutcomeWords[] = {"printed", "empty", "deleted", "sent"};
constexpr std::size_t kFields = 8;

// Seconds since the epoch.
int64_t secondsOf(WallTime when) {
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

// A decimal number, or false.
bool readNumber(const std::string& text, int64_t& value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// A field may hold no tab or line end: a printer's name could.
std::string field(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

// The line's tab-separated fields.
std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// One entry from its fields, or false.
bool entryOf(const std::vector<std::string>& f, HistoryEntry& entry) {
    int64_t captured = 0, finished = 0, pages = 0;
    if (f.size() != kFields || !readNumber(f[0], entry.job) || entry.job <= 0 ||
        !readNumber(f[1], captured) || !readNumber(f[2], finished) || !readNumber(f[3], pages) ||
        pages < 0 || pages > INT32_MAX)
        return false;
    const auto outcome = std::find(std::begin(kOutcomeWords), std::end(kOutcomeWords), f[4]);
    if (outcome == std::end(kOutcomeWords)) return false;
    entry.outcome = static_cast<HistoryEntry::Outcome>(outcome - std::begin(kOutcomeWords));
    entry.captured = WallTime{} + std::chrono::seconds(captured);
    entry.finished = WallTime{} + std::chrono::seconds(finished);
    entry.pages = static_cast<int32_t>(pages);
    entry.queueName = f[5];
    entry.printer = f[6];
    entry.pdf = f[7];
    return true;
}

}  // namespace

// The job's own facts, as the history keeps them.
HistoryEntry historyEntry(const Job& job, const std::string& dir) {
    HistoryEntry entry;
    entry.job = job.number;
    entry.captured = job.captured;
    entry.queueName = job.file.substr(dir.size());
    return entry;
}

// One line per entry, oldest first.
std::string formatHistory(const std::deque<HistoryEntry>& history) {
    std::string text;
    for (const HistoryEntry& e : history) {
        text += std::to_string(e.job) + '\t' + std::to_string(secondsOf(e.captured)) + '\t' +
                std::to_string(secondsOf(e.finished)) + '\t' + std::to_string(e.pages) + '\t' +
                kOutcomeWords[static_cast<int>(e.outcome)] + '\t' + field(e.queueName) + '\t' +
                field(e.printer) + '\t' + field(e.pdf) + '\n';
    }
    return text;
}

// The entries that read whole, the last kHistoryLength of them.
std::deque<HistoryEntry> parseHistory(const std::string& text) {
    std::deque<HistoryEntry> history;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        HistoryEntry entry;
        if (!entryOf(fieldsOf(line), entry)) continue;
        history.push_back(std::move(entry));
        if (history.size() > kHistoryLength) history.pop_front();
    }
    return history;
}

}  // namespace zelmo
