// SorviSelectorClass: a one-line box of at most 19 characters in one of ten
// modes. The mode decides the look (blank, plain, grey, focused with a
// double frame, green, red), what a tap does (modes 2/3 toggle, 4 and 6 take
// the focus as 5 and 7), and what a typed character does: modes 2, 4 and 5
// append it, the tone modes 6 and 7 take the digits 0-5 behind the text
// (a digit replaces a digit), the others only pass it on. Every key is
// reported after the box applied it (0x8342: mode, character, 1 for a
// backspace on an empty box); a tap that changes the mode is reported too
// (0x8341).
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/control_frame.h"
#include "toolkit/draw_context.h"

struct DictEngine;

inline constexpr const WCHAR* kSelectorClassName = u"SorviSelectorClass";
inline constexpr int kSelectorMaxChars = 19;
inline constexpr uint16_t kSelectorDefaultFontSize = 18;

enum SelectorMessage : UINT {
  kSelectorSetMode = 0x8241,  // wParam mode; no redraw
  kSelectorInput = 0x8242,    // wParam character
  kSelectorBackspace = 0x8243,
  kSelectorFocusMode = 0x8244,  // the caret destroyed, the focused form of the mode
};
enum SelectorNotifyCode : UINT {
  kSelectorModeCode = 0x8341,  // payload: the new mode
  kSelectorKeyCode = 0x8342,   // payload: mode, character, flag
};

using SelectorModeCallback = void (*)(HWND window, uint32_t mode);
using SelectorKeyCallback = void (*)(HWND window, uint32_t mode, uint32_t character, uint32_t flag);

// The window fills window, rect, drawContext and both callbacks; without a
// record the font is the application's interface slot at size 18.
struct SelectorCreateParams {
  HWND window;
  ShortRect rect;
  DrawContext* drawContext;
  uint16_t fontSlot;
  uint16_t fontSize;
  SelectorModeCallback modeCallback;
  SelectorKeyCallback keyCallback;
};

struct SelectorState {
  HWND window;
  DictEngine* engine;
  DrawContext* drawContext;
  ShortRect rect;
  uint16_t fontSlot;
  uint16_t fontSize;
  SelectorModeCallback modeCallback;
  SelectorKeyCallback keyCallback;
  WCHAR text[kSelectorMaxChars + 1];
  int32_t mode;
  PressedArea pressed;  // the whole rectangle while the pen is down
};

// Zero-filled, empty text, mode 0; the state owns the draw context. Null
// when the heap is exhausted.
SelectorState* NewSelectorState(DictEngine* engine, const SelectorCreateParams* params);
void FreeSelectorState(SelectorState* state);
void SetSelectorMode(SelectorState* state, int32_t mode);
// 4 -> 5 and 6 -> 7 (gaining the focus), 5 -> 4 and 7 -> 6 (losing it); both
// redraw.
void FocusSelectorMode(SelectorState* state);
void UnfocusSelectorMode(SelectorState* state);
void SelectorInputChar(SelectorState* state, WCHAR c);
void SelectorBackspace(SelectorState* state);
// At most 19 characters kept; null empties the text. Redrawn.
void SetSelectorText(SelectorState* state, const WCHAR* text);
// At most capacity - 1 characters and a terminator; nothing at all for a
// capacity of 0 (there is no room even for the terminator).
void GetSelectorText(const SelectorState* state, WCHAR* buffer, uint16_t capacity);
void ClearSelectorText(SelectorState* state);
void DrawSelector(SelectorState* state);
// 0 nothing, 1 taken (or a tap that toggled 2/3), 2 a tap that asks for the
// keyboard focus.
int SelectorPenEvent(SelectorState* state, int event, int x, int y);

LRESULT SelectorWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
