// Time: the system (UTC) and local time, file times, the time zone, short
// date/time text and the millisecond tick count. Tests can install a virtual
// clock that drives GetSystemTime, GetLocalTime, GetTickCount and Sleep.
#pragma once

#include "platform/types.h"

struct TIME_ZONE_INFORMATION {
  LONG Bias;  // minutes; UTC = local + Bias
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};

#define TIME_ZONE_ID_UNKNOWN 0u
#define TIME_ZONE_ID_STANDARD 1u
#define TIME_ZONE_ID_DAYLIGHT 2u
#define TIME_ZONE_ID_INVALID 0xFFFFFFFFu

using LCID = DWORD;
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u

#define DATE_SHORTDATE 0x00000001u
#define DATE_LONGDATE 0x00000002u
#define TIME_NOMINUTESORSECONDS 0x00000001u
#define TIME_NOSECONDS 0x00000002u
#define TIME_NOTIMEMARKER 0x00000004u
#define TIME_FORCE24HOURFORMAT 0x00000008u

void GetSystemTime(SYSTEMTIME* utc);
void GetLocalTime(SYSTEMTIME* local);
// FALSE (ERROR_INVALID_PARAMETER) for an invalid date or time; years 1601-30827.
BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* time);
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);

// From the host zone (TZ / localtime). Bias is minus the standard offset from
// UTC; DaylightBias is minus the extra daylight offset (-60 for one hour).
// Returns TIME_ZONE_ID_DAYLIGHT when daylight time is in effect now,
// TIME_ZONE_ID_STANDARD otherwise, also for a zone that has no daylight time
// (so Bias is honoured there); TIME_ZONE_ID_UNKNOWN only when the host zone
// cannot be read. StandardDate/DaylightDate are left zero.
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* info);

// One format for every locale. Without a picture: DATE_SHORTDATE gives
// "M/d/yyyy" (3/7/2024), DATE_LONGDATE "dddd, MMMM d, yyyy"; the time gives
// "h:mm:ss tt" (3:07:09 PM), "h:mm tt" with TIME_NOSECONDS, and the 24-hour
// "H:mm[:ss]" with TIME_FORCE24HOURFORMAT. Pictures may use d dd ddd dddd M MM
// MMM MMMM y yy yyyy, h hh H HH m mm s ss t tt and 'quoted' text. A null time
// means now (local). Returns characters written including the terminator,
// or, with `size` 0, the size needed; 0 on failure (ERROR_INSUFFICIENT_BUFFER
// or ERROR_INVALID_PARAMETER).
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR out, int size);
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR out, int size);

// Milliseconds since an arbitrary start; wraps after 49.7 days.
DWORD GetTickCount();
// Under the virtual clock: advances it by ms and returns at once.
void Sleep(DWORD ms);
// Called on the sleeping thread as every Sleep starts (under the virtual
// clock too): the window layer shows there what a thread that draws and
// sleeps in turn has drawn so far. One hook; null removes it.
void SetSleepHook(void (*hook)());

// --- Virtual clock (tests) ---
// From now on the system time starts at `startUtc` and the tick count at
// `startTick`; both move only through AdvanceVirtualClock and Sleep. Waits
// with timeouts keep using real time. Thread-safe.
void InstallVirtualClock(const SYSTEMTIME* startUtc, DWORD startTick);
void UninstallVirtualClock();
BOOL IsVirtualClockInstalled();
void AdvanceVirtualClock(DWORD ms);
// Hooks called (outside any clock lock, in the advancing thread) after every
// advance of the virtual clock, so timers can be checked. Several modules may
// add one; the same hook and context pair is kept once.
void AddVirtualClockAdvanceHook(void (*hook)(void* context), void* context);
void RemoveVirtualClockAdvanceHook(void (*hook)(void* context), void* context);
// Same as AddVirtualClockAdvanceHook (a null hook does nothing).
void SetVirtualClockAdvanceHook(void (*hook)(void* context), void* context);
