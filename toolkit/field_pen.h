// The field's pen gestures: hit testing, word expansion, tap, double tap,
// drag, hold, link taps and the drop-down button. Reports go through the
// state's callbacks. A link's target block lives from pen down to the end of
// the gesture, however it ends (up, hold, lost capture or destruction).
#pragma once

#include <cstdint>

#include "toolkit/field_layout.h"

enum FieldPenEvent : int { kFieldPenDown = 0, kFieldPenMove = 1, kFieldPenUp = 2, kFieldPenHold = 3 };
// Flags of the pen report.
inline constexpr uint32_t kFieldPenDragged = 1;
inline constexpr uint32_t kFieldPenDoubleTap = 2;
inline constexpr uint32_t kFieldPenInSelection = 4;
inline constexpr uint32_t kFieldPenHeld = 8;
inline constexpr uint32_t kFieldPenRightHalf = 16;
inline constexpr uint32_t kFieldPenBelowLast = 32;

struct FieldHit {
  uint16_t line;  // visible line
  uint16_t column;
  uint8_t rightHalf;
  uint8_t belowLast;
  TextStyleState style;  // in effect at the point
};
FieldHit HitTestField(const FieldState* state, int x, int y);
uint16_t FieldOffsetOf(const FieldState* state, uint16_t column, uint16_t line);
// The visible line holding `offset` (the last visible line when none before
// it does) and the offset's column on it.
void FieldLineOf(const FieldState* state, uint16_t offset, uint16_t* column, uint16_t* line);
// The box a tap at (column, visible line) owns: from the middle of the unit
// before it to the middle of the unit at it.
ShortRect GetFieldCharRect(const FieldState* state, uint16_t column, uint16_t line);
// The word around an offset for a double tap (start = end on a separator);
// the offset itself for a single tap.
void ExpandFieldSelection(const FieldState* state, uint16_t offset, int tapCount, uint16_t* start, uint16_t* end);
// 1 when the event was used.
int HandleFieldPen(FieldState* state, int event, int x, int y, int tapCount);
// Ends a gesture without reports (lost capture, destruction).
void EndFieldPen(FieldState* state);
