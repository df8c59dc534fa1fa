// The main window tests reach the toolkit's text field through these
// functions: the field's header and the engine's formatter (which the
// dictionary fixtures include) name some constants alike, so no test file
// includes both.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Selects start..end in a SorviFieldClass field.
void ProbeSetSelection(HWND field, uint32_t start, uint32_t end);

enum ProbeGesture : int {
  kProbeTap,             // a plain tap
  kProbeHold,            // the pen held
  kProbeDrag,            // a selection dragged
  kProbeTapInSelection,  // a tap inside the kept selection
  kProbeDoubleTap,       // the field chose a word
};
// Selects start..end, then sends the field's parent the pen notification
// (0x8302) of the gesture, as the field does.
void ProbeFieldPen(HWND field, uint32_t start, uint32_t end, ProbeGesture gesture);

// A read-only field with `id` and `text` as a child of `parent` (the shape
// of the reader's and the flashcard test's fields), 300 x 200.
HWND ProbeMakeField(HWND parent, int id, const WCHAR* text);
// The gesture handler called with the field's pen notification of the
// gesture on start..end (for fields whose window does not route it yet).
void ProbeTapHold(HWND field, uint32_t start, uint32_t end, ProbeGesture gesture);
