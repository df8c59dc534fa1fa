// The date and time picker (class "SysDateTimePick32"): shows a SYSTEMTIME
// as a short date ("M/d/yyyy", DTS_SHORTDATEFORMAT) or a time ("h:mm:ss tt",
// DTS_TIMEFORMAT). The user picks a field by tapping it (or Left/Right) and
// steps it with Up/Down or the spin buttons of a time picker; a date
// picker's arrow drops a month calendar whose day taps set the date. Every
// change by the user sends DTN_DATETIMECHANGE to the parent; setting the
// time by message does not.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define WC_DATETIMEPICKW u"SysDateTimePick32"

// Registers the class (the dialog manager's control registration also does).
void RegisterDateTimeClass();

#define DTS_UPDOWN 0x0001u
#define DTS_SHOWNONE 0x0002u
#define DTS_SHORTDATEFORMAT 0x0000u
#define DTS_LONGDATEFORMAT 0x0004u
#define DTS_TIMEFORMAT 0x0009u
#define DTS_APPCANPARSE 0x0010u
#define DTS_RIGHTALIGN 0x0020u

#define GDT_ERROR (-1)
#define GDT_VALID 0
#define GDT_NONE 1

#define DTM_FIRST 0x1000u
// lParam = SYSTEMTIME*; returns GDT_VALID, or GDT_NONE when a DTS_SHOWNONE
// picker holds no value (the record is then left alone).
#define DTM_GETSYSTEMTIME (DTM_FIRST + 1)
// wParam = GDT_VALID (lParam = SYSTEMTIME*, FALSE when invalid) or GDT_NONE
// (DTS_SHOWNONE only).
#define DTM_SETSYSTEMTIME (DTM_FIRST + 2)

#define DTN_FIRST (0u - 760u)
#define DTN_DATETIMECHANGE (DTN_FIRST + 1u)  // NMDATETIMECHANGE
#define DTN_DROPDOWN (DTN_FIRST + 6u)        // NMHDR: the month calendar opened
#define DTN_CLOSEUP (DTN_FIRST + 7u)         // NMHDR: it closed

struct NMDATETIMECHANGE {
  NMHDR nmhdr;
  DWORD dwFlags;  // GDT_VALID or GDT_NONE
  SYSTEMTIME st;
};

// Tests: the month calendar a date picker dropped (null when none).
HWND GetDateTimeCalendar(HWND picker);
