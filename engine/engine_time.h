// Time in the engine: seconds since 1970-01-01 00:00:00 held in 32 bits,
// converted through the platform's file times and time zone.
#pragma once

#include <cstdint>

#include "platform/types.h"

uint32_t SystemTimeToSeconds(const SYSTEMTIME& time);
// Returns the platform conversion's result (non-zero on success).
BOOL SecondsToSystemTime(uint32_t seconds, SYSTEMTIME* time);
uint32_t GetUtcSeconds();
uint32_t GetLocalSeconds();
// Shift by the zone's bias (standard or daylight, whichever is in effect
// now); unchanged when the zone is unknown.
uint32_t LocalToUtcSeconds(uint32_t t);
uint32_t UtcToLocalSeconds(uint32_t t);

enum SecondsAgoUnit : int {
  kAgoSeconds = 1,
  kAgoMinutes = 2,
  kAgoHours = 3,
  kAgoDays = 4,
  kAgoWeeks = 5,
  kAgoMonths = 6,
};
// UTC seconds of the moment n units before the local now. With align, days,
// weeks and months first go back to the start of the current day, week
// (Sunday) or month, and n counts one less (so n = 1 means "since the start
// of this day/week/month"). Months keep the day of the month, clamped to the
// target month's last day.
uint32_t GetSecondsAgo(int unit, uint32_t n, bool align);

// Writes the short date and/or the time without seconds (a blank between
// them when both are asked for) of `seconds`, without any zone conversion,
// into `out` (room for kSecondsTextSize characters, always terminated).
inline constexpr int kSecondsTextSize = 100;
void FormatSecondsAsText(uint32_t seconds, WCHAR* out, bool withDate, bool withTime);

uint32_t GetTicks();
uint32_t GetTicksPerSecond();
void SleepMilliseconds(uint32_t ms);
