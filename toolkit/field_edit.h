// The field's selection and editing over a FieldState: the selection with a
// redraw of only its difference, replacing, typing, deleting, clearing,
// copying and whole new texts.
//
// Every edit keeps the text within kFieldMaxUnits: an edit whose result
// would pass it is refused like an exhausted heap (the text is unchanged and
// the failure result returned). UI thread only.
#pragma once

#include <cstdint>

#include "toolkit/field_layout.h"

// With the character-selection option an empty selection grows to one unit.
void SetFieldSelection(FieldState* state, uint16_t start, uint16_t end);
// 1 on success; 0 for a read-only field, past the bound or when memory runs
// out (nothing changed).
int ReplaceFieldSelection(FieldState* state, const WCHAR* units, uint32_t count);
int InsertFieldText(FieldState* state, const WCHAR* text);
void DeleteFieldRange(FieldState* state, uint16_t start, uint16_t end);
// 1 when handled (an editable field).
int TypeFieldChar(FieldState* state, WCHAR character);
void ClearField(FieldState* state);
// A new LocalAlloc block with the selected units, 0-terminated; null without
// a selection. The caller frees it.
WCHAR* CopyFieldSelection(const FieldState* state);
WCHAR* CutFieldSelection(FieldState* state);
// 0, or 1 when memory runs out (the old text stays). A null text empties
// the field.
int SetFieldText(FieldState* state, const WCHAR* text);
// 0, or 1 without text or when memory runs out.
int SetFieldTextAt(FieldState* state, const WCHAR* text, uint16_t first);

enum FieldDirection : int { kFieldUp = 0, kFieldDown = 1, kFieldLeft = 2, kFieldRight = 3 };
// Moves the caret one step (a read-only field pages up and down instead);
// 1 when the caret or the view moved.
int MoveFieldCaret(FieldState* state, int direction);
// Fully visible lines less one (the count itself below 2): a page's step.
uint16_t FieldPageStep(const FieldState* state);
