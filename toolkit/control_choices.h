// SorviChoicesClass: up to eight choices as a column of buttons, each with a
// text of at most 79 units and a kind that decides its look and whether a
// tap counts (kind 1 only). A tapped choice is reported to the parent
// (0x8331, the index); a choice whose text does not fit its button (or any,
// with expand-all) opens first: its whole text over the control with
// "Confirm" and "Cancel" below.
//
// The control holds eight choices: every count, row count and shown count
// is clamped to eight wherever it is set, because the count comes from the
// flashcard database's profile settings, which a damaged or edited file can
// set to anything.
//
// Messages 0x8231-0x8233 do not repaint; the owner invalidates the control.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/control_frame.h"
#include "toolkit/draw_context.h"

struct DictEngine;

inline constexpr const WCHAR* kChoicesClassName = u"SorviChoicesClass";
inline constexpr int kMaxChoices = 8;
inline constexpr int kChoiceTextUnits = 80;  // 79 and a terminator

enum ChoicesMessage : UINT {
  kChoicesSetText = 0x8231,   // wParam index, lParam text or null
  kChoicesSetKind = 0x8232,   // wParam index, lParam kind
  kChoicesSetShown = 0x8233,  // wParam count
  kChoicesGetCount = 0x8234,
  kChoicesLayout = 0x8235,     // wParam count; the rows shown
  kChoicesExpandAll = 0x8236,  // wParam flag
};
inline constexpr UINT kChoicesChosenCode = 0x8331;

// Choice kinds (any other value: the text only, not tappable).
enum ChoiceKind : int32_t {
  kChoiceEmpty = 0,    // nothing drawn
  kChoiceActive = 1,   // its number in bold, then the text; tappable
  kChoiceCorrect = 3,  // light green with the correct bitmap
  kChoiceWrong = 4,    // light red with the wrong bitmap
};

using ChoicesNotifyCallback = void (*)(HWND window, uint32_t index);

// Fields the window fills: window, rect, drawContext, callback and the four
// scaled sizes (15, 3, 150 and 20 at 96 dpi).
struct ChoicesCreateParams {
  HWND window;
  ShortRect rect;
  DrawContext* drawContext;
  uint16_t fontSlot;
  uint16_t fontSize;
  ChoicesNotifyCallback callback;
  uint16_t count;
  uint32_t correctBitmap;  // bitmap word drawn on kind 3, 0 for none
  uint32_t wrongBitmap;    // on kind 4
  uint16_t iconSize;
  uint16_t inset;
  uint16_t fourthSize;  // kept, not used
  uint16_t rowHeight;
};

struct ChoicesState {
  HWND window;
  DictEngine* engine;
  DrawContext* drawContext;
  ShortRect rect;
  uint16_t fontSlot;
  uint16_t fontSize;
  ChoicesNotifyCallback callback;
  WCHAR texts[kMaxChoices][kChoiceTextUnits];
  int32_t kinds[kMaxChoices];
  uint8_t expandable[kMaxChoices];
  uint16_t shownCount;
  uint16_t count;
  uint16_t columns;  // 1 once laid out
  uint16_t rows;
  uint16_t columnPitch;
  uint16_t rowPitch;
  uint32_t correctBitmap;
  uint32_t wrongBitmap;
  uint16_t iconSize;
  uint16_t inset;
  uint16_t fourthSize;
  uint16_t rowHeight;
  int16_t expanded;      // -1: the list view
  uint8_t bottomButton;  // 0 the left button or the text, 1 the right button
  uint8_t expandAll;
  PressedArea pressed;
  uint16_t pressedIndex;
};

// Copies the record (the state owns its draw context), no choice expanded,
// laid out for the record's count. Null when the heap is exhausted.
ChoicesState* NewChoicesState(DictEngine* engine, const ChoicesCreateParams* params);
void FreeChoicesState(ChoicesState* state);
// Rows for `count` choices (clamped to 8) in the rectangle; 0 and nothing
// stored for an empty rectangle or when no row fits.
uint16_t LayoutChoices(ChoicesState* state, uint16_t count);
void SetChoicesRect(ChoicesState* state, const ShortRect& rect);
void SetChoiceText(ChoicesState* state, uint32_t index, const WCHAR* text);
void SetChoiceKind(ChoicesState* state, uint32_t index, int32_t kind);
void SetShownChoices(ChoicesState* state, uint16_t count);
void DrawChoices(ChoicesState* state);
// 1 when the event was taken (down on an active place, released inside).
int ChoicesPenEvent(ChoicesState* state, int event, int x, int y);

LRESULT ChoicesWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
