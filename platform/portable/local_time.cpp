// Local time on Linux.
#include "platform/local_time.h"

#include <time.h>

namespace zelmo {
namespace {

// Formats when in the local time zone with an strftime pattern.
std::string formatLocal(std::chrono::system_clock::time_point when, const char* pattern) {
    const time_t seconds = std::chrono::system_clock::to_time_t(when);
    struct tm local {};
    if (!::localtime_r(&seconds, &local)) return "?";
    char text[32];
    const size_t length = ::strftime(text, sizeof text, pattern, &local);
    return std::string(text, length);
}

}  // namespace

// The date and the time of day.
std::string localDateTime(std::chrono::system_clock::time_point when) {
    return formatLocal(when, "%Y-%m-%d %H:%M:%S");
}

// The time of day.
std::string localClockTime(std::chrono::system_clock::time_point when) {
    return formatLocal(when, "%H:%M:%S");
}

}  // namespace zelmo
