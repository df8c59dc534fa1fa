// The pattern every custom control follows: a state record kept in a window
// property named after the class, a create record copied at WM_CREATE, pen
// input in three events, the pressed-area rule, and notifications to the
// parent as WM_NOTIFY records whose codes lie 0x100 above the class's message
// block. Also the registration of the control classes and the senders that
// build the notification records.
//
// UI thread only. Notifications are sent synchronously, so a parent may send
// messages back to the control while it handles one.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/draw_context.h"

struct DictEngine;

// ---- Class names and shared message numbers ----
inline constexpr const WCHAR* kListClassName = u"SorviListClass";
inline constexpr const WCHAR* kGridClassName = u"SorviGridClass";
inline constexpr const WCHAR* kToolBackgroundClassName = u"SorviToolBackgroundClass";

// Class style A asks for double clicks (the list's double tap); B does not.
inline constexpr UINT kControlStyleA = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_PARENTDC | CS_NOCLOSE;  // 0x28B
inline constexpr UINT kControlStyleB = CS_VREDRAW | CS_HREDRAW | CS_PARENTDC | CS_NOCLOSE;               // 0x283

// Close: a list destroys itself; the message loop sends it to a pop-up list
// tapped outside.
inline constexpr UINT kControlCloseMessage = 0x82A2;
// The list's request to its parent for the text of one row: a plain message,
// not a notification (lParam = ListItemTextRequest*).
inline constexpr UINT kListItemTextMessage = 0x82E0;

// Pen events of every control's pen handler.
enum PenEvent : int { kPenDown = 0, kPenMove = 1, kPenUp = 2 };

// The pen position of a mouse message: the signed 16-bit halves of lParam.
inline int PenX(LPARAM lParam) { return static_cast<int16_t>(static_cast<uint32_t>(lParam) & 0xFFFF); }
inline int PenY(LPARAM lParam) { return static_cast<int16_t>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFF); }

// ---- Notification record ----
// The typed header (sent with SendNotify) and one payload per code. Codes
// travel only inside WM_NOTIFY: the application's own message numbers share
// values with some of them.
struct ControlNotify {
  NMHDR header;  // the control, its GWL_ID, the code
  union {
    uint32_t index;  // list 0x8311/0x8312 (the selection), choices 0x8331
    struct {
      uint16_t value1;  // the character
      uint16_t value2;  // the second value
      uint32_t value3;
    } grid;  // grid 0x8321/0x8322
    struct {
      uint32_t mode;
      uint32_t character;
      uint32_t flag;
    } selector;  // selector 0x8341 (mode only) and 0x8342
    struct {
      uint32_t position;
      uint8_t wide;
    } resizer;       // resizer 0x8371
    uint32_t color;  // colour picker 0x8391: 0xRRGGBB
    struct {
      uint16_t shown;
      uint16_t total;
      uint8_t choosing;  // as it stands after the choice
    } strokebox;  // stroke box 0x8351
  } payload;
};

// A zero-filled record with the header filled in for `window`, sent to its
// parent; the parent's result is ignored.
void SendControlNotify(HWND window, UINT code, ControlNotify* record);

// ---- Senders (the only code that talks to the parent) ----
struct ListItemTextRequest;
using ListItemTextCallback = LRESULT (*)(HWND window, uint32_t index, WCHAR* text, WCHAR* second, uint16_t capacity);
using GridNotifyCallback = void (*)(HWND window, uint16_t value1, uint16_t value2, uint32_t value3);

// Sends 0x82E0 to the parent with a ListItemTextRequest; the parent's result.
LRESULT RequestListItemText(HWND window, uint32_t index, WCHAR* text, WCHAR* second, uint16_t capacity);
void SendGridChosen(HWND window, uint16_t value1, uint16_t value2, uint32_t value3);        // 0x8321
void SendGridPressed(HWND window, uint16_t value1, uint16_t value2, uint32_t value3);       // 0x8322
void SendChoicesNotify(HWND window, uint32_t index);                                        // 0x8331
void SendSelectorModeNotify(HWND window, uint32_t mode);                                    // 0x8341
void SendSelectorKeyNotify(HWND window, uint32_t mode, uint32_t character, uint32_t flag);  // 0x8342

// ---- State records in window properties ----
// The property name of a class holds a pointer to its state; null when the
// window has none (not yet created, or a bad window).
void* GetControlState(HWND window, const WCHAR* property);
void SetControlState(HWND window, const WCHAR* property, void* state);
void* RemoveControlState(HWND window, const WCHAR* property);

// The engine every control measures and draws with: the first field of the
// application object; null before start-up.
DictEngine* ControlEngine();

// ---- The pressed-area rule ----
// The area is inverted while the pen is down on it; `shown` says whether it
// is inverted now.
struct PressedArea {
  ShortRect rect;
  uint8_t penDown;
  uint8_t shown;
};
bool ShortRectContains(const ShortRect& r, int x, int y);
// Down on an active place: inverts the area, both flags set.
void PressAreaDown(DrawContext* context, PressedArea* area, const ShortRect& r);
// Move while pen down: inverts again when inside-ness differs from shown.
void PressAreaMove(DrawContext* context, PressedArea* area, int x, int y);
// Up while pen down: un-inverts when shown, clears both flags; true when the
// pen was released inside the area (the control acts).
bool PressAreaUp(DrawContext* context, PressedArea* area, int x, int y);
// Ends a press without acting (capture lost): un-inverted, flags cleared.
void PressAreaCancel(DrawContext* context, PressedArea* area);
