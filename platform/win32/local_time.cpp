// Wall-clock time in the machine's time zone, through the system's own conversion.
#include "platform/local_time.h"

#include <windows.h>

#include <cstdio>

namespace zelmo {
namespace {

// The local SYSTEMTIME of a time point.
SYSTEMTIME localTime(std::chrono::system_clock::time_point when) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ULL) * 10000000ULL;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    FILETIME local{};
    SYSTEMTIME out{};
    ::FileTimeToLocalFileTime(&utc, &local);
    ::FileTimeToSystemTime(&local, &out);
    return out;
}

}  // namespace

// The system's conversion, its offset the distance between the local and the UTC file times.
std::tm localCalendar(std::time_t when, long* utcOffsetMinutes) {
    const SYSTEMTIME t = localTime(std::chrono::system_clock::from_time_t(when));
    std::tm local{};
    local.tm_year = t.wYear - 1900;
    local.tm_mon = t.wMonth - 1;
    local.tm_mday = t.wDay;
    local.tm_hour = t.wHour;
    local.tm_min = t.wMinute;
    local.tm_sec = t.wSecond;
    local.tm_wday = t.wDayOfWeek;
    if (utcOffsetMinutes) {
        const int64_t ticks = (static_cast<int64_t>(when) + 11644473600LL) * 10000000LL;
        FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        FILETIME shifted{};
        ::FileTimeToLocalFileTime(&utc, &shifted);
        const auto value = [](const FILETIME& f) {
            return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) |
                                        f.dwLowDateTime);
        };
        *utcOffsetMinutes = static_cast<long>((value(shifted) - value(utc)) / 600000000LL);
    }
    return local;
}

std::string localDateTime(std::chrono::system_clock::time_point when) {
    const SYSTEMTIME t = localTime(when);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::string localClockTime(std::chrono::system_clock::time_point when) {
    const SYSTEMTIME t = localTime(when);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
    return text;
}

}  // namespace zelmo
