#include "engine/engine_time.h"

#include <algorithm>

#include "platform/clock.h"

namespace {

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t kEpochIntervals = 116444736000000000ull;
constexpr uint64_t kIntervalsPerSecond = 10000000ull;

uint32_t ClampSeconds(int64_t t) {
  return static_cast<uint32_t>(std::clamp<int64_t>(t, 0, UINT32_MAX));
}

// Bias in seconds (UTC = local + bias), or false when the zone is unknown.
bool ZoneBiasSeconds(int64_t* bias) {
  TIME_ZONE_INFORMATION zone;
  DWORD answer = GetTimeZoneInformation(&zone);
  if (answer == TIME_ZONE_ID_UNKNOWN || answer == TIME_ZONE_ID_INVALID) return false;
  LONG minutes = zone.Bias + (answer == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  *bias = static_cast<int64_t>(minutes) * 60;
  return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

uint32_t SystemTimeToSeconds(const SYSTEMTIME& time) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft)) return 0;
  uint64_t intervals = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  // Before 1970 there is nothing to count; past 2106 the count saturates.
  if (intervals < kEpochIntervals) return 0;
  return ClampSeconds(static_cast<int64_t>((intervals - kEpochIntervals) / kIntervalsPerSecond));
}

BOOL SecondsToSystemTime(uint32_t seconds, SYSTEMTIME* time) {
  uint64_t intervals = seconds * kIntervalsPerSecond + kEpochIntervals;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(intervals);
  ft.dwHighDateTime = static_cast<DWORD>(intervals >> 32);
  return FileTimeToSystemTime(&ft, time);
}

uint32_t GetUtcSeconds() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return SystemTimeToSeconds(now);
}

uint32_t GetLocalSeconds() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return SystemTimeToSeconds(now);
}

uint32_t LocalToUtcSeconds(uint32_t t) {
  int64_t bias;
  if (!ZoneBiasSeconds(&bias)) return t;
  return ClampSeconds(static_cast<int64_t>(t) + bias);
}

uint32_t UtcToLocalSeconds(uint32_t t) {
  int64_t bias;
  if (!ZoneBiasSeconds(&bias)) return t;
  return ClampSeconds(static_cast<int64_t>(t) - bias);
}

uint32_t GetSecondsAgo(int unit, uint32_t n, bool align) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  int64_t t = SystemTimeToSeconds(now);
  const int64_t sinceMidnight = (now.wHour * 60 + now.wMinute) * 60 + now.wSecond;
  // With align, "1 day ago" means the start of today: n counts one less.
  const uint32_t alignedN = align && n > 0 ? n - 1 : n;
  switch (unit) {
    case kAgoSeconds:
      t -= n;
      break;
    case kAgoMinutes:
      t -= 60 * static_cast<int64_t>(n);
      break;
    case kAgoHours:
      t -= 3600 * static_cast<int64_t>(n);
      break;
    case kAgoDays:
      if (align) t -= sinceMidnight;
      t -= 86400 * static_cast<int64_t>(alignedN);
      break;
    case kAgoWeeks:
      if (align) t -= now.wDayOfWeek * 86400 + sinceMidnight;
      t -= 604800 * static_cast<int64_t>(alignedN);
      break;
    case kAgoMonths: {
      SYSTEMTIME target = now;
      if (align) {
        target.wDay = 1;
        target.wHour = target.wMinute = target.wSecond = 0;
      }
      target.wMilliseconds = 0;
      int year = target.wYear - static_cast<int>(alignedN / 12);
      int month = target.wMonth;
      const int back = static_cast<int>(alignedN % 12);
      if (back >= month) {
        year -= 1;
        month = month + 12 - back;
      } else {
        month -= back;
      }
      if (year < 1601) return 0;
      target.wYear = static_cast<WORD>(year);
      target.wMonth = static_cast<WORD>(month);
      // 31 March minus one month is 28 or 29 February, not an invalid date.
      target.wDay = static_cast<WORD>(std::min<int>(target.wDay, DaysInMonth(year, month)));
      t = SystemTimeToSeconds(target);
      break;
    }
    default:
      break;
  }
  return LocalToUtcSeconds(ClampSeconds(t));
}

void FormatSecondsAsText(uint32_t seconds, WCHAR* out, bool withDate, bool withTime) {
  WCHAR text[kSecondsTextSize] = {};
  SYSTEMTIME time;
  if (SecondsToSystemTime(seconds, &time)) {
    int used = 0;  // characters written, without the terminator
    if (withDate) {
      int n = GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, kSecondsTextSize);
      used = n > 0 ? n - 1 : 0;
    }
    if (withTime) {
      const int dateEnd = used;
      if (used > 0 && used < kSecondsTextSize - 1) text[used++] = u' ';
      int n = GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, &time, nullptr, text + used, kSecondsTextSize - used);
      if (n <= 0) text[dateEnd] = 0;
    }
    text[kSecondsTextSize - 1] = 0;
  }
  std::copy(text, text + kSecondsTextSize, out);
}

uint32_t GetTicks() { return GetTickCount(); }

uint32_t GetTicksPerSecond() { return 1000; }

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }
