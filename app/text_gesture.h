// Pen gestures on the characters of a read-only text field: the main
// window's definition, the flashcard test's answer, the reader's page and the
// reader dialog's field. The field reports a tap, a hold or a drag with its
// selection and flags (toolkit/control_field.h, 0x8302); what each gesture
// does is the user's choice in four preferences. The decision is a pure
// function so that every branch can be checked without a window; the
// handler then carries it out on the field.
//
// The field's flags (toolkit/field_pen.h): 1 the pen dragged a selection,
// 2 double tap, 4 a tap inside the kept selection, 8 the pen was held,
// 16 the right half of the character, 32 below the last line. So:
// - a plain tap (empty selection, none of 4, 8, 32) acts on the character
//   under the pen (preference 192, Chinese characters only);
// - a hold, neither in a selection nor after a drag (flag 8): preference 194;
// - a selection made by dragging (flag 1): preference 193, and a tap inside
//   the kept selection (flag 4): preference 195.
// A double tap (the field selected a word) does nothing here. (The ids in
// engine/preferences.h carry older names: 193 "hold selection", 194 "double
// tap"; the preferences screen calls them "Sel text" and "Tap-hold".)
//
// UI thread only.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FieldNotify;

// The fields whose gestures this module serves; other ids are ignored.
enum : int {
  kGestureMainDefinition = 1030,
  kGestureTestAnswer = 1105,
  kGestureReaderPage = 1225,
  kGestureReaderDialog = 1846,
};

enum TextGestureAction : int {
  kGestureNothing = 0,
  kGestureMagnify,      // the selection's first Chinese character as a large toast
  kGestureCharInfo,     // character information of the selection's first character
  kGestureCopyToInput,  // the main window's "Copy to Input Field"
  kGesturePopup,        // pop-up definition of the selection
  kGestureWordMenu,     // the word menu (ShowWordMenu)
  kGestureCopy,         // WM_COPY to the field
};

// What the field reported and what the caller allows.
struct TextGestureInput {
  const WCHAR* text;  // the field's text, terminated
  uint32_t start;     // the selection
  uint32_t end;
  uint32_t flags;
  bool mainDefinition;  // copying to the input field is possible
  bool sheetsAllowed;   // the pop-up definition and character information may open
};

struct TextGesturePrefs {
  int32_t tap;           // 192 kPrefTapCharAction
  int32_t dragged;       // 193 kPrefHoldSelectionAction
  int32_t hold;          // 194 kPrefDoubleTapAction
  int32_t tapSelection;  // 195 kPrefTapSelectionAction
};

struct TextGesture {
  TextGestureAction action;
  bool select;        // select position .. position + 1 before acting
  uint32_t position;  // the character under the pen
};

// The character a gesture acts on: the start, one back when the pen was on
// the right half of the character before it.
uint32_t GestureCharPosition(uint32_t start, uint32_t flags);
// U+3400..U+9FAF: the characters a tap acts on.
bool IsGestureChineseChar(WCHAR c);

TextGesture DecideTextGesture(const TextGestureInput& input, const TextGesturePrefs& prefs);

// The gesture preferences of the running engine.
TextGesturePrefs ReadTextGesturePrefs();
