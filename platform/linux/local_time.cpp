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

// localtime_r, and its own offset from UTC.
std::tm localCalendar(std::time_t when, long* utcOffsetMinutes) {
    struct tm local {};
    ::localtime_r(&when, &local);
    if (utcOffsetMinutes) *utcOffsetMinutes = local.tm_gmtoff / 60;
    return local;
}

// The date and the time of day.
std::string localDateTime(std::chrono::system_clock::time_point when) {
    return formatLocal(when, "%Y-%m-%d %H:%M:%S");
}

// The time of day.
std::string localClockTime(std::chrono::system_clock::time_point when) {
    return formatLocal(when, "%H:%M:%S");
}

}  // namespace zelmo
