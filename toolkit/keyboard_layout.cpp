#include "toolkit/keyboard_layout.h"

#include <algorithm>

#include "engine/preferences.h"
#include "toolkit/draw_context.h"
#include "toolkit/pane_layout.h"

namespace {

// The key tables, row after row, written once; each layout below takes its
// key count from its table's size.
// clang-format off
// Compact, wide box, preference 9 = 0.
const uint16_t kCompactWide0[] = {
    u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9', u'0',
    u'q', u'w', u'e', u'r', u't', u'y', u'u', u'i', u'o', u'p',
    u'a', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', kKeyBackspace,
    u'z', u'x', u'c', u'v', u'b', u'n', u'm', u'\'', u'-', kKeySpace
};

// Compact, wide box, preference 9 = 1.
const uint16_t kCompactWide1[] = {
    u'1', u'ˉ', u'2', u'ˊ', u'3', u'ˇ', u'4', u'ˋ', u'5', 0,
    u'q', u'w', u'e', u'r', u't', u'y', u'u', u'i', u'o', u'p',
    u'a', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', kKeyBackspace,
    u'z', u'x', u'c', u'ü', u'b', u'n', u'm', u'\'', u'@', kKeySpace
};

// Compact, wide box, preference 9 = 2.
const uint16_t kCompactWide2[] = {
    u'ㄅ', u'ㄉ', u'ˇ', u'ˋ', u'ㄓ', u'ˊ', u'˙', u'ㄚ', u'ㄞ', u'ㄢ', u'ㄦ',
    u'ㄆ', u'ㄊ', u'ㄍ', u'ㄐ', u'ㄔ', u'ㄗ', u'ㄧ', u'ㄛ', u'ㄟ', u'ㄣ', kKeyBackspace,
    u'ㄇ', u'ㄋ', u'ㄎ', u'ㄑ', u'ㄕ', u'ㄘ', u'ㄨ', u'ㄜ', u'ㄠ', u'ㄤ', u'@',
    u'ㄈ', u'ㄌ', u'ㄏ', u'ㄒ', u'ㄖ', u'ㄙ', u'ㄩ', u'ㄝ', u'ㄡ', u'ㄥ', kKeySpace
};

// Compact, tall box, preference 9 = 0.
const uint16_t kCompactTall0[] = {
    u'a', u'b', u'c', u'd', u'e',
    u'f', u'g', u'h', u'i', u'j',
    u'k', u'l', u'm', u'n', u'o',
    u'p', u'q', u'r', u's', u't',
    u'u', u'v', u'w', u'x', u'y',
    u'z', kKeySpace, u'-', u'\'', kKeyBackspace,
    u'1', u'2', u'3', u'4', u'5',
    u'6', u'7', u'8', u'9', u'0'
};

// Compact, tall box, preference 9 = 1.
const uint16_t kCompactTall1[] = {
    u'a', u'b', u'c', u'd', u'e',
    u'f', u'g', u'h', u'i', u'j',
    u'k', u'l', u'm', u'n', u'o',
    u'p', u'q', u'r', u's', u't',
    u'u', u'ü', u'w', u'x', u'y',
    u'z', u'@', kKeySpace, u'1', u'ˉ',
    kKeyBackspace, u'2', u'ˊ', u'3', u'ˇ',
    u'\'', u'4', u'ˋ', u'5', 0
};

// Compact, tall box, preference 9 = 2.
const uint16_t kCompactTall2[] = {
    u'˙', u'ˊ', u'ˇ', u'ˋ', u'@',
    u'ㄅ', u'ㄆ', u'ㄇ', u'ㄈ', u'ㄉ',
    u'ㄊ', u'ㄋ', u'ㄌ', u'ㄍ', u'ㄎ',
    u'ㄏ', u'ㄐ', u'ㄑ', u'ㄒ', u'ㄓ',
    u'ㄔ', u'ㄕ', u'ㄖ', u'ㄗ', u'ㄘ',
    u'ㄙ', u'ㄚ', u'ㄛ', u'ㄜ', u'ㄝ',
    u'ㄞ', u'ㄟ', u'ㄠ', u'ㄡ', u'ㄢ',
    u'ㄣ', u'ㄤ', u'ㄥ', u'ㄦ', u'ㄧ',
    u'ㄨ', u'ㄩ', u'\'', kKeySpace, kKeyBackspace
};

// Full, mode 0.
const uint16_t kFullEnglish[] = {
    u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9', u'0', kKeyBackspace,
    u'q', u'w', u'e', u'r', u't', u'y', u'u', u'i', u'o', u'p', u'`',
    u'a', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', u';', u'\'',
    u'z', u'x', u'c', u'v', u'b', u'n', u'm', u',', u'.', kKeyEnter, 0,
    kKeyShift, 0, kKeySpace, 0, 0, 0, 0, 0, u'…', u'-', u'/'
};

// Full, mode 0, shifted.
const uint16_t kFullEnglishShifted[] = {
    u'!', u'@', u'#', u'$', u'%', u'^', u'&', u'*', u'(', u')', kKeyBackspace,
    u'Q', u'W', u'E', u'R', u'T', u'Y', u'U', u'I', u'O', u'P', u'~',
    u'A', u'S', u'D', u'F', u'G', u'H', u'J', u'K', u'L', u':', u'"',
    u'Z', u'X', u'C', u'V', u'B', u'N', u'M', u'<', u'>', kKeyEnter, 0,
    kKeyUnshift, 0, kKeySpace, 0, 0, 0, 0, 0, u'\\', u'_', u'?'
};

// Full, mode 1.
const uint16_t kFullPinyin[] = {
    u'1', u'ˉ', u'2', u'ˊ', u'3', u'ˇ', u'4', u'ˋ', u'5', 0, kKeyBackspace,
    u'q', u'w', u'e', u'r', u't', u'y', u'u', u'i', u'o', u'p', u'@',
    u'a', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', u';', u'\'',
    u'z', u'x', u'c', u'ü', u'b', u'n', u'm', u',', u'.', kKeyEnter, 0,
    kKeyShift, 0, kKeySpace, 0, 0, 0, 0, 0, u'…', u'-', u'/'
};

// Full, mode 1, shifted.
const uint16_t kFullPinyinShifted[] = {
    u'1', u'ˉ', u'2', u'ˊ', u'3', u'ˇ', u'4', u'ˋ', u'5', 0, kKeyBackspace,
    u'Q', u'W', u'E', u'R', u'T', u'Y', u'U', u'I', u'O', u'P', u'$',
    u'A', u'S', u'D', u'F', u'G', u'H', u'J', u'K', u'L', u':', u'"',
    u'Z', u'X', u'C', u'Ü', u'B', u'N', u'M', u',', u'.', kKeyEnter, 0,
    kKeyUnshift, 0, kKeySpace, 0, 0, 0, 0, 0, u'…', u'-', u'/'
};

// Full, mode 2.
const uint16_t kFullZhuyin[] = {
    u'ㄅ', u'ㄉ', u'ˇ', u'ˋ', u'ㄓ', u'ˊ', u'˙', u'ㄚ', u'ㄞ', u'ㄢ', u'ㄦ',
    u'ㄆ', u'ㄊ', u'ㄍ', u'ㄐ', u'ㄔ', u'ㄗ', u'ㄧ', u'ㄛ', u'ㄟ', u'ㄣ', kKeyBackspace,
    u'ㄇ', u'ㄋ', u'ㄎ', u'ㄑ', u'ㄕ', u'ㄘ', u'ㄨ', u'ㄜ', u'ㄠ', u'ㄤ', kKeyEnter,
    u'ㄈ', u'ㄌ', u'ㄏ', u'ㄒ', u'ㄖ', u'ㄙ', u'ㄩ', u'ㄝ', u'ㄡ', u'ㄥ', u'\'',
    u'@', u'$', kKeySpace, 0, 0, 0, 0, 0, 0, u',', u'.'
};

// Full, mode 3.
const uint16_t kFullGerman[] = {
    u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9', u'0', u'ß', kKeyBackspace,
    u'q', u'w', u'e', u'r', u't', u'z', u'u', u'i', u'o', u'p', u'ü', u'+',
    u'a', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', u'ö', u'ä', u'#',
    u'<', u'y', u'x', u'c', u'v', u'b', u'n', u'm', u',', u'.', kKeyEnter, 0,
    kKeyShift, 0, kKeySpace, 0, 0, 0, 0, 0, u'~', u'…', u'-', u'@'
};

// Full, mode 3, shifted.
const uint16_t kFullGermanShifted[] = {
    u'!', u'"', u'§', u'$', u'%', u'&', u'/', u'(', u')', u'=', u'?', kKeyBackspace,
    u'Q', u'W', u'E', u'R', u'T', u'Z', u'U', u'I', u'O', u'P', u'Ü', u'*',
    u'A', u'S', u'D', u'F', u'G', u'H', u'J', u'K', u'L', u'Ö', u'Ä', u'\'',
    u'>', u'Y', u'X', u'C', u'V', u'B', u'N', u'M', u';', u':', kKeyEnter, 0,
    kKeyUnshift, 0, kKeySpace, 0, 0, 0, 0, 0, u'`', u'\\', u'_', u'^'
};

// Full, mode 4.
const uint16_t kFullFrench[] = {
    u'&', u'é', u'"', u'\'', u'(', u'-', u'è', u'_', u'ç', u'à', u')', kKeyBackspace,
    u'a', u'z', u'e', u'r', u't', u'y', u'u', u'i', u'o', u'p', u'^', u'$',
    u'q', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', u'm', u'ù', u'*',
    u'<', u'w', u'x', u'c', u'v', u'b', u'n', u',', u';', u':', u'!', kKeyEnter,
    kKeyShift, 0, kKeySpace, 0, 0, 0, 0, 0, u'~', u'…', u'=', u'@'
};

// Full, mode 4, shifted.
const uint16_t kFullFrenchShifted[] = {
    u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9', u'0', u'°', kKeyBackspace,
    u'A', u'Z', u'E', u'R', u'T', u'Y', u'U', u'I', u'O', u'P', u'¨', u'£',
    u'Q', u'S', u'D', u'F', u'G', u'H', u'J', u'K', u'L', u'M', u'%', u'µ',
    u'>', u'W', u'X', u'C', u'V', u'B', u'N', u'?', u'.', u'/', u'§', kKeyEnter,
    kKeyUnshift, 0, kKeySpace, 0, 0, 0, 0, 0, u'`', u'\\', u'+', u'²'
};

// Pinyin.
const uint16_t kPinyin[] = {
    u'1', u'ˉ', u'2', u'ˊ', u'3', u'ˇ', u'4', u'ˋ', u'5', 0,
    u'q', u'w', u'e', u'r', u't', u'y', u'u', u'i', u'o', u'p',
    u'a', u's', u'd', u'f', u'g', u'h', u'j', u'k', u'l', kKeyBackspace,
    u'z', u'x', u'c', u'ü', u'b', u'n', u'm', u'\'', u'-', kKeySpace
};

// Pinyin, tones only.
const uint16_t kPinyinTones[] = {
    u'1', u'ˉ', u'2', u'ˊ', u'3', u'ˇ', u'4', u'ˋ', u'5', 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0
};
// clang-format on

// Joined keys (row, first column, last column).
const GridSpan kToneSpans[] = {{0, 0, 1}, {0, 2, 3}, {0, 4, 5}, {0, 6, 7}, {0, 8, 9}};
const GridSpan kTallToneSpans[] = {{5, 3, 4}, {6, 1, 2}, {6, 3, 4}, {7, 1, 2}, {7, 3, 4}};
const GridSpan kFullEnglishSpans[] = {{3, 9, 10}, {4, 0, 1}, {4, 2, 7}};
const GridSpan kFullPinyinSpans[] = {{0, 0, 1}, {0, 2, 3},  {0, 4, 5}, {0, 6, 7},
                                     {0, 8, 9}, {3, 9, 10}, {4, 0, 1}, {4, 2, 7}};
const GridSpan kFullZhuyinSpans[] = {{4, 2, 8}};
const GridSpan kFullGermanSpans[] = {{3, 10, 11}, {4, 0, 1}, {4, 2, 7}};
const GridSpan kFullFrenchSpans[] = {{4, 0, 1}, {4, 2, 7}};

// Bitmap keys (bitmap word, cell over the whole table).
const GridBitmapCell kBackspace21[] = {{kBitmapBackspace, 21}};
const GridBitmapCell kBackspace29[] = {{kBitmapBackspace, 29}};
const GridBitmapCell kBackspace30[] = {{kBitmapBackspace, 30}};
const GridBitmapCell kBackspace44[] = {{kBitmapBackspace, 44}};
const GridBitmapCell kFullKeys11[] = {{kBitmapBackspace, 10}, {kBitmapEnter, 43}, {kBitmapShift, 44}};
const GridBitmapCell kFullKeys12[] = {{kBitmapBackspace, 11}, {kBitmapEnter, 47}, {kBitmapShift, 48}};
const GridBitmapCell kZhuyinKeys[] = {{kBitmapBackspace, 21}, {kBitmapEnter, 32}};

struct Layout {
  const uint16_t* keys;
  uint16_t keyCount;
  uint16_t columns;
  uint16_t rows;
  const GridSpan* spans;
  uint16_t spanCount;
  const GridBitmapCell* bitmaps;
  uint16_t bitmapCount;
};

template <size_t K, size_t S, size_t B>
constexpr Layout Make(const uint16_t (&keys)[K], uint16_t columns, uint16_t rows, const GridSpan (&spans)[S],
                      const GridBitmapCell (&bitmaps)[B]) {
  return Layout{keys, K, columns, rows, spans, S, bitmaps, B};
}
template <size_t K, size_t B>
constexpr Layout Make(const uint16_t (&keys)[K], uint16_t columns, uint16_t rows, const GridBitmapCell (&bitmaps)[B]) {
  return Layout{keys, K, columns, rows, nullptr, 0, bitmaps, B};
}

// Compact keyboards by [tall][kind].
const Layout kCompact[2][3] = {
    {Make(kCompactWide0, 10, 4, kBackspace29), Make(kCompactWide1, 10, 4, kToneSpans, kBackspace29),
     Make(kCompactWide2, 11, 4, kBackspace21)},
    {Make(kCompactTall0, 5, 8, kBackspace29), Make(kCompactTall1, 5, 8, kTallToneSpans, kBackspace30),
     Make(kCompactTall2, 5, 9, kBackspace44)},
};
// Full keyboards by [mode][shifted]; zhuyin has no shifted table.
const Layout kFull[5][2] = {
    {Make(kFullEnglish, 11, 5, kFullEnglishSpans, kFullKeys11),
     Make(kFullEnglishShifted, 11, 5, kFullEnglishSpans, kFullKeys11)},
    {Make(kFullPinyin, 11, 5, kFullPinyinSpans, kFullKeys11),
     Make(kFullPinyinShifted, 11, 5, kFullPinyinSpans, kFullKeys11)},
    {Make(kFullZhuyin, 11, 5, kFullZhuyinSpans, kZhuyinKeys), Make(kFullZhuyin, 11, 5, kFullZhuyinSpans, kZhuyinKeys)},
    {Make(kFullGerman, 12, 5, kFullGermanSpans, kFullKeys12),
     Make(kFullGermanShifted, 12, 5, kFullGermanSpans, kFullKeys12)},
    {Make(kFullFrench, 12, 5, kFullFrenchSpans, kFullKeys12),
     Make(kFullFrenchShifted, 12, 5, kFullFrenchSpans, kFullKeys12)},
};
const Layout kPinyinLayout = Make(kPinyin, 10, 4, kToneSpans, kBackspace29);
// One row of ten cells over a 40-entry table: the grid shows only the row.
const Layout kPinyinTonesLayout{kPinyinTones, 40, 10, 1, kToneSpans, 5, nullptr, 0};

void Apply(const Layout* layout, KeyboardLayoutRecord* record, const uint16_t** keys, uint16_t* keyCount) {
  *record = KeyboardLayoutRecord{};
  *keys = nullptr;
  *keyCount = 0;
  if (!layout) return;
  record->frame = 1;
  record->cellSpacing = 0;
  record->fixedLayout = 1;
  record->fixedColumns = layout->columns;
  record->fixedRows = layout->rows;
  record->spans = layout->spans;
  record->spanCount = layout->spanCount;
  record->bitmapCells = layout->bitmaps;
  record->bitmapCellCount = layout->bitmapCount;
  *keys = layout->keys;
  *keyCount = layout->keyCount;
}

// The first button of a row whose value matches: its index, or -1.
int FindInRow(DictEngine* engine, int32_t array, int32_t inUsePref, int32_t value) {
  uint32_t inUse = static_cast<uint32_t>(std::max<int32_t>(0, GetPref(engine, inUsePref)));
  inUse = std::min(inUse, GetPrefArrayCount(engine, array));
  for (uint32_t i = 0; i < inUse; ++i)
    if (GetPrefArrayItem(engine, array, i) == value) return static_cast<int>(i);
  return -1;
}

}  // namespace

void SetupCompactKeyboardLayout(DictEngine* engine, KeyboardLayoutRecord* record, const uint16_t** keys,
                                uint16_t* keyCount, int tall) {
  int32_t kind = GetPref(engine, kPrefCompactKeyboardKind);
  Apply(kind >= 0 && kind <= 2 ? &kCompact[tall ? 1 : 0][kind] : nullptr, record, keys, keyCount);
}

void SetupKeyboardLayout(DictEngine*, KeyboardLayoutRecord* record, const uint16_t** keys, uint16_t* keyCount, int mode,
                         int shifted) {
  Apply(mode >= 0 && mode <= 4 ? &kFull[mode][shifted ? 1 : 0] : nullptr, record, keys, keyCount);
}

void SetupPinyinKeyboardLayout(DictEngine*, KeyboardLayoutRecord* record, const uint16_t** keys, uint16_t* keyCount,
                               int mode) {
  Apply(mode == kPinyinTonesOnly ? &kPinyinTonesLayout : &kPinyinLayout, record, keys, keyCount);
}

uint32_t FindKeyInKeyLists(DictEngine* engine, const uint16_t* controlTable, int32_t value) {
  if (!controlTable) return 0;
  bool wide = UseLandscapeKeyLists(engine);
  int index = FindInRow(engine, wide ? kPrefArrayFirstRowWide : kPrefArrayFirstRow,
                        wide ? kPrefFirstRowInUseWide : kPrefFirstRowInUse, value);
  if (index >= 0) return controlTable[kPaneFirstButtonRow] + static_cast<uint32_t>(index);
  index = FindInRow(engine, wide ? kPrefArraySecondRowWide : kPrefArraySecondRow,
                    wide ? kPrefSecondRowInUseWide : kPrefSecondRowInUse, value);
  if (index >= 0) return controlTable[kPaneSecondButtonRow] + static_cast<uint32_t>(index);
  return 0;
}

bool UseLandscapeInputLayout(DictEngine* engine) {
  return GetPaneLayoutBlock()->landscape && GetPref(engine, kPrefLandscapeInput) != 0;
}

bool UseLandscapeKeyLists(DictEngine* engine) {
  return GetPaneLayoutBlock()->landscape && GetPref(engine, kPrefLandscapeKeyLists) != 0;
}
