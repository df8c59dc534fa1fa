// The text field's state and its layout: wrapping the text into FieldLine
// records, choosing the visible lines, scrolling them, and drawing lines,
// ranges, ruled lines and the drop-down button.
//
// Everything here works on a FieldState the caller owns (the window
// procedure keeps one per field); nothing here sends a message, so the
// layout can be driven and tested without a window procedure. UI thread
// only. Offsets and line indexes are 16-bit: a text is bounded to
// kFieldMaxUnits units.
#pragma once

#include <cstdint>

#include "engine/mem_handle.h"
#include "toolkit/draw_context.h"
#include "toolkit/text_style.h"

struct DictEngine;

// 16-bit offsets, and the growth rule 2 x (length + 1) bytes must stay
// below 65,536: 32,766 units is the largest text that keeps both.
inline constexpr uint16_t kFieldMaxUnits = 32766;
// The line array grows and shrinks in steps of this many records.
inline constexpr uint16_t kFieldLineStep = 32;
// No line is lower than this, so an empty font still advances.
inline constexpr uint16_t kFieldMinLineHeight = 6;

// Colour words of the field.
inline constexpr ColorWord kFieldEditableColor = 0x4B000000;
inline constexpr ColorWord kFieldReadOnlyColor = 0x43000000;
inline constexpr ColorWord kFieldEditableSelected = 0x4F000000;
inline constexpr ColorWord kFieldReadOnlySelected = 0x47000000;
inline constexpr uint32_t kFieldButtonImage = 0x8C000007;

struct FieldLine {
  uint16_t start;
  uint16_t length;  // the ending line break included
  uint16_t height;
  int16_t indent;  // centring
  TextStyleState startStyle;
};

// Read and written whole by the option messages.
struct FieldOptions {
  uint8_t caretActive;
  uint8_t editable;
  uint8_t singleLine;
  uint8_t caretShown;
  uint8_t centred;
  uint8_t characterSelection;
  uint8_t selectionFramed;
  uint8_t fixed;
  uint8_t buttonRegion;
  uint8_t buttonLeft;
  uint16_t ruled;  // 0 none, 1 ruled
};

// The senders of the pen (0x8302), link (0x8303) and button (0x8305)
// notifications; the link blocks stay the field's.
using FieldPenCallback = void (*)(HWND window, const WCHAR* text, uint32_t start, uint32_t end, uint32_t flags,
                                  int16_t x, int16_t y);
using FieldLinkCallback = void (*)(HWND window, WCHAR* text, WCHAR* target, int32_t id);
using FieldButtonCallback = void (*)(HWND window, uint32_t value);

// One pen gesture, from down to up or hold.
struct FieldPen {
  uint8_t down;
  uint8_t tapCount;
  uint8_t buttonPressed;
  uint8_t linkPressed;
  uint8_t dragged;
  uint8_t rightHalf;
  uint8_t belowLast;
  uint8_t insideSelection;  // a read-only field's kept selection was tapped
  uint8_t selectionByPress;
  uint8_t highlightShown;  // the rectangles below are inverted now
  uint8_t highlightCount;
  ShortRect highlight[3];  // the pressed link's lines or the button
  int16_t x, y;
  uint16_t anchorStart, pressOffset, anchorEnd;
  ShortRect charBox;
  uint16_t savedStart, savedEnd;
  uint16_t linkStart, linkEnd;
  WCHAR* linkTarget;  // LocalAlloc, freed wherever a gesture ends
  int32_t linkId;
};

struct FieldState {
  HWND window;
  ShortRect textRect;
  ShortRect clientRect;
  FieldOptions options;
  uint16_t margin;
  uint16_t textWidth;

  MemHandle* lineHandle;
  FieldLine* lines;
  uint16_t lineCapacity;
  uint16_t lineCount;
  uint16_t greatestTop;
  uint16_t minLineHeight;

  FieldLine* topLineRecord;
  uint16_t visibleCount;  // a partly visible last line included
  uint16_t topLine;
  uint8_t lastPartlyVisible;
  uint8_t endsWithBreak;
  int16_t singleIndent;

  MemHandle* textHandle;
  WCHAR* text;            // 0-terminated
  uint16_t textCapacity;  // bytes
  uint16_t length;        // units
  uint16_t firstUnit;     // text before it is not laid out

  uint16_t selStart;
  uint16_t selEnd;
  uint16_t caretColumn;
  int16_t caretLine;  // relative to the top line
  uint16_t caretX, caretY, caretHeight;

  uint16_t fontSlot;
  uint16_t fontSize;
  DictEngine* engine;
  uint8_t captureBoxOn;
  // The embedded box hid the scroll bar for writing: the bar stays hidden,
  // whatever resizes the field, until the box asks for it again or ink goes
  // off.
  uint8_t inkBarHidden;
  uint32_t value;
  uint16_t buttonWidth;

  DrawContext* draw;
  uint32_t userValue;

  FieldPenCallback penCallback;
  FieldLinkCallback linkCallback;
  FieldButtonCallback buttonCallback;
  FieldPen pen;
};

// Allocates the line array (kFieldLineStep records) and an empty text.
// 0 on success, 1 when the heap is exhausted (nothing is left allocated).
int InitFieldStorage(FieldState* state);
void FreeFieldStorage(FieldState* state);
// Replaces the text with `count` units of `text` (cut to kFieldMaxUnits, never
// inside a surrogate pair or a style code's payload) without laying it out.
// 0 on success, 1 when the heap is exhausted (the old text stays).
int StoreFieldText(FieldState* state, const WCHAR* text, uint32_t count);

void ComputeFieldTextRect(FieldState* state);
void LayoutField(FieldState* state);
// Lines that fit from `first`; `partly` gets whether the last one counted is
// only partly visible.
uint16_t CountFittingLines(const FieldState* state, uint16_t first, uint8_t* partly);
void SetFieldTopLine(FieldState* state, uint16_t line);
int ScrollFieldByLine(FieldState* state, int up, int redraw);
void ScrollFieldBy(FieldState* state, uint16_t lines, int up);
int ScrollFieldToShow(FieldState* state, uint16_t a, uint16_t b, int allowDown);
void ScrollFieldRedraw(FieldState* state, uint16_t oldTop, uint16_t oldCount);

int DrawFieldLine(FieldState* state, uint16_t visibleLine, int rangeMode, uint16_t from, uint16_t to, int selected);
void DrawFieldRange(FieldState* state, uint16_t from, uint16_t to, int selected);
void DrawFieldLines(FieldState* state);
void RedrawField(FieldState* state);
void SetFieldFont(FieldState* state, uint16_t slot, uint16_t size, int redraw);
void ResizeField(FieldState* state, const ShortRect& client, int redraw);

// Fully visible lines (a partly visible last line not counted).
uint16_t FullyVisibleLines(const FieldState* state);

struct FieldScrollParams {
  uint16_t position;
  uint16_t page;
  uint16_t maximum;
};
FieldScrollParams GetFieldScrollParams(const FieldState* state);

// Puts the caret at a column of a visible line and returns the width of the
// units before it. A line above the top or past the visible lines scrolls
// one line (redrawn) and the caret goes to the nearest visible line; a column
// after a line's ending break moves back before it.
int PlaceFieldCaret(FieldState* state, uint16_t column, int line);
// Puts the caret at a text offset: its line (relative to the top line),
// column and pixel position. The caret is shown only when the offset lies on
// a visible line and there is no selection.
void SetFieldCaretOffset(FieldState* state, uint16_t offset);
// The caret's text offset; 0 when its line is beyond the visible lines.
uint16_t GetFieldCaretOffset(const FieldState* state);

// Paging the shown window of text (the reader). Flags: 1 backward, 2 by one
// line, 4 re-align on the current line; other bits have no effect. 1 when
// the first laid-out unit moved (the field is then laid out and drawn).
inline constexpr uint32_t kFieldPageBack = 1;
inline constexpr uint32_t kFieldPageLine = 2;
inline constexpr uint32_t kFieldPageAlign = 4;
int PageField(FieldState* state, uint32_t flags);
// The first unit of the page that ends with the line holding `offset`, or
// with `startsOnly` the start of that line.
uint16_t FindFieldPageStart(const FieldState* state, uint16_t offset, int startsOnly);
