// The virtual clock most tests run on: 2026-12-10 12:00:00 UTC, with the
// tick count at 1000, until the test advances it (platform/clock.h).
#pragma once

#include "platform/clock.h"

inline void InstallTestClock(WORD year = 2026, WORD month = 12, WORD day = 10, WORD hour = 12, DWORD ticks = 1000) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  InstallVirtualClock(&t, ticks);
}
