// Search as you type on the main window, the lookup session's notices, and
// the notifications of the main window's children. UI thread only.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct NMHDR;
struct LookupUpdateRecord;

// At most this many characters of a query are searched (the session keeps
// no more).
inline constexpr int kSearchTextMax = 40;

// Searches the input field's text, or `text` when given, after the delay of
// the search-delay preference unless `immediate`. An empty text clears the
// query unless `searchEvenIfEmpty`. Full-width ASCII is searched as ASCII.
void StartSearch(HWND field, const WCHAR* text, bool searchEvenIfEmpty, bool immediate);

// The lookup session's callback (registered at start-up): applies what the
// record says changed to the list, the definition, the tool bar and the
// toasts. Always 0.
int OnEngineUpdate(void* context, const LookupUpdateRecord* update);

// Every WM_NOTIFY of the main window's children. Always 1.
// The header leads the control's own record (toolkit/control_frame.h,
// toolkit/control_field.h).
LRESULT HandleMainNotify(HWND window, const NMHDR* notify);

// The hold menu of a tool button (1004-1029 by their action, or 1034):
// tracked at the button's rectangle; the choice runs the action.
void ShowToolButtonMenu(HWND window, HWND button, int id);
