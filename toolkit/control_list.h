// SorviListClass: a vertical list whose row texts it never stores. For each
// row it draws it asks its parent (0x82E0, a ListItemTextRequest); it keeps
// the count, the selection, the first shown item and the rows that fit,
// scrolls with a vertical bar, selects by tap, reports a choice (0x8311) and
// a double tap on the selected row (0x8312), and can run as a pop-up chooser
// that closes itself after one choice.
//
// Unsigned 32-bit values; 0xFFFFFFFF stands for "none" (no selection, no
// value to set, every row to draw).
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/control_frame.h"
#include "toolkit/draw_context.h"

struct DictEngine;

inline constexpr uint32_t kListNone = 0xFFFFFFFF;
// Characters of each buffer of a row-text request; the list terminates both
// at this capacity after the parent's answer.
inline constexpr uint16_t kListTextCapacity = 100;
inline constexpr uint32_t kListDoubleTapDefault = 500;  // ms
inline constexpr uint16_t kListFontSizeDefault = 14;

// Messages (wParam / lParam as the window procedure documents).
inline constexpr UINT kListGetInfo = 0x8211;  // wParam 1 count, 2 selection, 3 top, 4 rows
inline constexpr UINT kListSetInfo = 0x8212;  // wParam 1 count, 2 selection, 3 top; lParam the value
inline constexpr UINT kListSetFont = 0x8213;  // wParam slot, lParam size
inline constexpr UINT kListSelectUp = 0x8214;
inline constexpr UINT kListSelectDown = 0x8215;
inline constexpr UINT kListPageUp = 0x8216;
inline constexpr UINT kListPageDown = 0x8217;
inline constexpr UINT kListReinitialise = 0x8218;  // lParam ListCreateParams* (null: nothing)
inline constexpr UINT kListSetFocusOnTap = 0x8219;
inline constexpr UINT kListShowSelection = 0x821A;
// Notification codes (ControlNotify payload: the selection).
inline constexpr UINT kListChooseCode = 0x8311;
inline constexpr UINT kListActivateCode = 0x8312;

// lParam of 0x82E0 (zero-filled). Both buffers hold an empty string when it
// is sent; the parent writes the row's text and optionally a second text.
struct ListItemTextRequest {
  uint32_t controlId;  // GWL_ID: a parent tells its lists apart by it
  uint32_t index;
  WCHAR* text;
  WCHAR* second;
  uint16_t capacity;  // characters of each buffer
};

struct ListCreateParams {
  HWND window;     // filled by the window
  ShortRect rect;  // filled by the window: the client rectangle
  uint32_t itemCount;
  DrawContext* drawContext;  // filled by the window
  uint16_t fontSlot;
  uint16_t fontSize;
  ListItemTextCallback itemText;  // filled by the window: RequestListItemText
  uint8_t border;                 // 1: a one-pixel frame, rows inset by one pixel
  uint8_t popup;
  uint32_t doubleTapTime;  // filled by the window (ms)
};

struct ListState {
  HWND window;
  DictEngine* engine;
  DrawContext* drawContext;
  ListItemTextCallback itemText;
  uint32_t itemCount;
  uint32_t selection;  // kListNone = none
  uint32_t top;        // the first shown item
  uint32_t visibleRows;
  uint16_t fontSlot;
  uint16_t fontSize;
  ShortRect rect;
  uint8_t border;
  uint8_t popup;
  uint8_t focusOnTap;
  uint8_t ink;  // the embedded capture box is on
  // The embedded box hid the scroll bar for writing: it stays hidden until
  // the box asks for it again or ink goes off.
  uint8_t inkBarHidden;
  uint8_t penDown;
  uint8_t pressedShown;
  uint32_t pressedRow;   // counted from top
  uint32_t lastRelease;  // ms
  uint32_t doubleTapTime;
  ShortRect pressedRect;
};

// The pop-up list that is open (null window when none) and its screen
// rectangle; the message loop routes keys to it and closes it (0x82A2) on a
// tap outside.
struct PopupListRecord {
  HWND window;
  RECT screenRect;
};
extern PopupListRecord PopupListWindow;

// Null when the heap is exhausted. The state owns the record's draw context.
ListState* NewListState(DictEngine* engine, const ListCreateParams* params);
void FreeControlState(ListState* state);
// Each value may be kListNone to leave it. A selection is limited to
// count - 1 (none when the list is empty); a top so that the last page is
// full, 0 when everything fits.
void SetListState(ListState* state, uint32_t count, uint32_t selection, uint32_t top);
void GetListState(const ListState* state, uint32_t* count, uint32_t* selection, uint32_t* top, uint32_t* rows);
void SetListRect(ListState* state, const ShortRect& rect);
void SetListFont(ListState* state, uint16_t slot, uint16_t size);
// Scrolls so that a selection below the count is shown.
void ShowListSelection(ListState* state);
// Draws one item's row (when shown) or, with kListNone, the whole list.
void DrawList(ListState* state, uint32_t item);
// The row under y, counted from top, with its top and height; the row is
// the number of shown rows when y lies below the last one.
uint32_t ListRowAtY(const ListState* state, int y, int* rowTop, int* rowHeight);
// 0 nothing, 1 taken, 2 choose, 3 activate.
int ListPenEvent(ListState* state, int event, int x, int y);
void ListSelectStep(ListState* state, int down);
bool IsPopupList(const ListState* state);
bool IsListInkEnabled(const ListState* state);
void SetListInkEnabled(ListState* state, bool on);
bool IsListFocusOnTap(const ListState* state);
void SetListFocusOnTap(ListState* state, bool on);

// The window side.
void UpdateListScrollBar(ListState* state);
LRESULT ListWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
