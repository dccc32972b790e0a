// Wall-clock time as the user reads it, in the machine's time zone. Linux: localtime_r
// (platform/linux/local_time.cpp); a Windows build fills it with its own conversion.
#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace zelmo {

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string localDateTime(std::chrono::system_clock::time_point when);
// "HH:MM:SS" in local time.
std::string localClockTime(std::chrono::system_clock::time_point when);
// The calendar fields of when in local time; utcOffsetMinutes, when given, receives how far
// local time is ahead of UTC.
std::tm localCalendar(std::time_t when, long* utcOffsetMinutes = nullptr);

}  // namespace zelmo
