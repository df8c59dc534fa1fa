// The soft keyboards: every key table the program has, as constant data, and
// the functions that pick one and describe it to a grid control
// (toolkit/control_grid.h) in its fixed layout. The owner fills in the font
// slot and size of the record, then hands record and table to the grid
// (kGridReconfigure); a tapped key comes back as the grid's notification with
// the key code.
//
// Key codes (one per cell, row after row): a character enters itself; 8 is
// Backspace, 10 Enter, 14 the Shift key of a plain table and 15 that of its
// shifted table (the owner switches tables on them), 32 the space bar, 0 an
// empty cell that is not a key.
//
// Result convention of the Setup functions: the record, table and count
// are always written; a choice the program does not have gives a cleared
// record, a null table and a count of 0. Tables and the spans and bitmap
// cells the record points to are static: they outlive every grid.
#pragma once

#include <cstdint>

#include "toolkit/control_grid.h"

struct DictEngine;

// The grid configuration a keyboard function fills: frame 1, spacing 0,
// fixed layout 1, columns, rows, joined keys (spans) and bitmap keys.
using KeyboardLayoutRecord = GridCreateParams;

inline constexpr uint16_t kKeyBackspace = 8;
inline constexpr uint16_t kKeyEnter = 10;
inline constexpr uint16_t kKeyShift = 14;
inline constexpr uint16_t kKeyUnshift = 15;
inline constexpr uint16_t kKeySpace = 32;

// Preference ids the keyboards read.
enum : int32_t {
  kPrefCompactKeyboardKind = 9,   // 0 letters, 1 pinyin with tones, 2 zhuyin
  kPrefLandscapeInput = 159,      // the landscape input layout is wanted
  kPrefLandscapeKeyLists = 172,   // the landscape button rows are wanted
  kPrefFirstRowInUse = 173,       // buttons in use, first row (portrait)
  kPrefSecondRowInUse = 174,      // second row (portrait)
  kPrefFirstRowInUseWide = 175,   // first row (landscape)
  kPrefSecondRowInUseWide = 176,  // second row (landscape)
};
// Preference arrays of the button rows' values.
enum : int32_t {
  kPrefArrayFirstRow = 2,
  kPrefArraySecondRow = 3,
  kPrefArrayFirstRowWide = 4,
  kPrefArraySecondRowWide = 5,
};

// The full keyboard's modes.
enum KeyboardMode : int {
  kKeyboardEnglish = 0,
  kKeyboardPinyin = 1,
  kKeyboardZhuyin = 2,  // has no shifted table: shifted gives the plain one
  kKeyboardGerman = 3,
  kKeyboardFrench = 4,
};
// The pinyin keyboard's mode that shows the tone row alone (one row of ten
// cells; the table keeps its 40 entries, the last 30 empty).
inline constexpr int kPinyinTonesOnly = 4;

// The input panel's compact keyboard of the kind in preference 9; `tall`
// when its box is taller than wide.
void SetupCompactKeyboardLayout(DictEngine* engine, KeyboardLayoutRecord* record, const uint16_t** keys,
                                uint16_t* keyCount, int tall);
// The full soft keyboard of mode 0-4, plain or shifted.
void SetupKeyboardLayout(DictEngine* engine, KeyboardLayoutRecord* record, const uint16_t** keys, uint16_t* keyCount,
                         int mode, int shifted);
// The pinyin keyboard; mode 4 gives the tone row alone.
void SetupPinyinKeyboardLayout(DictEngine* engine, KeyboardLayoutRecord* record, const uint16_t** keys,
                               uint16_t* keyCount, int mode);

// The control id of the first button, in the first row and then the second,
// whose assigned value is `value`: the row's base id (from the control table)
// plus its index; 0 when none. Only the buttons in use are searched (their
// number capped at the preference array's item count); the landscape arrays
// and counts are read when UseLandscapeKeyLists holds.
uint32_t FindKeyInKeyLists(DictEngine* engine, const uint16_t* controlTable, int32_t value);

// The last pane layout was a landscape one and preference 159 is set.
bool UseLandscapeInputLayout(DictEngine* engine);
// The last pane layout was a landscape one and preference 172 is set.
bool UseLandscapeKeyLists(DictEngine* engine);
