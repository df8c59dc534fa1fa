// The preference block: 256 numbered values, 20 integer arrays and 20
// strings, read and written by number from every subsystem, and its saved
// form, the "Engine" record.
//
// "Engine" record, little-endian: 0 version (1), 4 value count (256),
// 8 array count (20), 12 string count (20), 16 the values, 1040 the array
// item counts, 1120 the string lengths in units with their terminators,
// 1200 the arrays' items (array 0 first), then the strings with their
// terminators (a missing string is a lone 0).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct MemHandle;

inline constexpr int32_t kPrefCount = 256;
inline constexpr int32_t kPrefArrayCount = 20;
inline constexpr int32_t kPrefStringCount = 20;
// An array never grows beyond this many items (a wild index would ask for
// gigabytes).
inline constexpr uint32_t kPrefArrayMaxItems = 65536;
inline constexpr uint32_t kEngineBlobVersion = 1;
inline constexpr uint32_t kEngineBlobFixedSize = 1200;

struct PreferenceBlock {
  int32_t values[kPrefCount];
  int32_t* arrays[kPrefArrayCount];  // local heap blocks, null when empty
  uint32_t arrayCounts[kPrefArrayCount];
  WCHAR* strings[kPrefStringCount];  // local heap copies, null when missing
};

// Preference ids the engine itself reads.
enum : int32_t {
  kPrefCurrentLanguage = 39,
  kPrefChineseCreator = 40,
  kPrefChineseDictId = 41,
  kPrefEnglishCreator = 42,
  kPrefEnglishDictId = 43,
  // The pop-up lookup's dictionary and entry, kept from one use to the next.
  kPrefPopupDictId = 44,
  kPrefPopupEntry = 45,
  kPrefPopupCreator = 46,
  kPrefDisplayMode = 50,
  kPrefEnlargeWithOwnSize = 52,
  kPrefCompoundsCreator = 76,
  kPrefCompoundsDictId = 77,
  kPrefCurrentProfile = 82,  // id of the flashcard profile in use
  kPrefDefaultCategory = 83,
  kPrefOtherFormBracket = 90,
  kPrefCharsetMode = 91,
  kPrefChineseSize = 92,
  kPrefEnlargedSize = 94,
  kPrefChineseOwnSize = 96,
  kPrefDictNameAfter = 98,
  kPrefDictNotice = 99,
  kPrefToneColors = 102,
  kPrefRowToneColors = 103,
  kPrefToneColor1 = 104,
  kPrefToneColor0 = 108,
  kPrefChineseOwnLine = 109,
  kPrefEnlargeLimit = 110,
  kPrefKindMode = 115,
  kPrefWholeSyllables = 117,
  kPrefSingleWildcard = 120,
  kPrefAnyWildcard = 121,
  kPrefFullTextPrefix = 122,
  kPrefPartialIsExact = 124,
  kPrefSearchDelay = 130,
  kPrefSortMode = 131,
  kPrefSearchScope = 132,
  // A single character is searched through the first-character ranges of
  // the prefix index.
  kPrefSingleCharRanges = 135,
  kPrefExactLength = 137,
  kPrefKeepSingleResult = 138,
  // Ranked entry ids are masked before the sort, not after it.
  kPrefMaskRanksEarly = 140,
  // Typed pinyin is divided at the first division only, splitting before
  // a, e and o.
  kPrefSplitBeforeVowel = 141,
  kPrefEnglishAllLists = 142,
  kPrefChineseAllLists = 143,
  // Writing in a field or list hides its scroll bar while ink is on, so that
  // the whole control takes the pen.
  kPrefInkHidesScrollBar = 153,
  kPrefCardMode = 201,
  kPrefReportCards = 202,
  // Category choice lists offer the top-level categories only.
  kPrefTopCategoriesOnly = 205,
  kPrefAudioFileSet = 210,
  kPrefWholeWordAudio = 211,
  // Pronunciation volume: 1..10 a level of the device volume, above 10 the
  // full level with a stronger digital gain, 0 the full level.
  kPrefAudioVolume = 213,
  // Glyph rendering of the font slots: 1 monochrome, 2 light, 3 wider
  // advances, 4 default hinting, else (0) light for CJK only.
  kPrefFontRenderMode = 218,
  kPrefToneChanges = 235,
};

// Preference ids of the main window's pane layout: portrait id, then the
// landscape id used while the landscape input layout is on.
enum : int32_t {
  kPrefInputSide = 3,  // 0 right, 1 left, 2 bottom, 3 and 4 none
  kPrefInputSideWide = 14,
  kPrefListSide = 4,  // 0 right, 1 left, 2 bottom, 3 fills the content, 4 hidden
  kPrefListSideWide = 15,
  kPrefInputSideSaved = 5,
  kPrefInputSideSavedWide = 16,
  kPrefListSideSaved = 6,
  kPrefListSideSavedWide = 17,
  kPrefListSize = 7,  // 8-60 units
  kPrefListSizeWide = 18,
  kPrefInputKind = 8,       // 0 handwriting, 1 radical, 2 keyboard
  kPrefCompactHandwriting = 10,  // write in the input field itself
  kPrefHandwritingSize = 11,
  kPrefHandwritingSizeWide = 20,
  kPrefRadicalSize = 12,
  kPrefRadicalSizeWide = 21,
  kPrefKeyboardSize = 13,
  kPrefKeyboardSizeWide = 22,
  kPrefTopBarFromRight = 156,
  kPrefMirrorInputSection = 157,
  kPrefSmallWindowGivesWay = 160,  // 1 (not compact) or 3 the section, 2 the list
  kPrefSmallWindowGivesWayWide = 161,
  kPrefExtraButton = 171,  // 0 none, 1 beside the field, 2 at the outer edge
  kPrefSecondInputField = 216,
};

// Preference ids of the main window: its search, its keys and buttons, the
// input section, the gestures on its text and its activation.
enum : int32_t {
  kPrefRadicalChar = 28,     // the radical chosen on the radical page
  kPrefRadicalStrokes = 29,  // that radical's extra byte (its stroke count)
  kPrefWritingBoxOption = 36,  // the embedded writing box's option (button 1035)
  kPrefListOwnSizeOn = 53,     // the results list uses its own size (97), not 93
  kPrefInputKindWide = 56,     // input mode in landscape: 0 handwriting, 1 radical, 2 keyboard
  kPrefRadicalCharsetFilter = 66,
  kPrefClipboardSum = 84,      // SumWideChars of the clipboard text taken last
  kPrefListFontSize = 93,      // the results list's font size
  kPrefListOwnSize = 97,
  kPrefClearOnLanguageSwitch = 116,
  kPrefNoSearchOnBackspace = 118,
  kPrefLockFullTextPrefix = 123,  // clearing keeps the full-text prefix
  kPrefOpenListOnSearch = 136,
  kPrefClearBeforeInput = 145,
  // Handwriting auto-recognition: 0 never, -1 at every stroke, else the ms
  // after the pen lifts.
  kPrefAutoRecognize = 146,
  kPrefAutoEnterCandidate = 147,
  kPrefLeaveFullScreenAfterInput = 149,
  kPrefLatinIcons = 170,        // tool images without Chinese characters
  kPrefArrowLeftRight = 182,    // 1-5: what the left and right keys do
  kPrefArrowUpDown = 183,       // 1-5: what the up and down keys do
  kPrefEnterAction = 184,       // the action of Enter when no key list binds it
  kPrefListTapAction = 190,     // 0 select, 1 list mode, 2 hide list, 3 either
  kPrefListTapDoubleOnly = 191,
  kPrefTapCharAction = 192,
  kPrefHoldSelectionAction = 193,
  kPrefDoubleTapAction = 194,
  kPrefTapSelectionAction = 195,
  kPrefLinkTapAction = 196,     // 0 none, 1 copy to the input field, 2 pop-up definition
  kPrefClipboardOnActivate = 217,
  kPrefLookupOnActivate = 220,  // bring-forward runs the system-wide lookup
  // Clipboard texts longer than this many characters that hold Chinese go
  // to the reader rather than the input field.
  kPrefClipboardReaderLimit = 224,
  kPrefRescanOnActivate = 226,
  // Preference array 6: (key, action) pairs of the hardware and application
  // keys.
  kPrefArrayActionKeys = 6,
};

// Null when the heap is exhausted.
PreferenceBlock* NewDefaultPreferences();
// Null when the record is not one this engine wrote: shorter than the fixed
// part, version other than 1, more than 20 arrays or strings, or arrays and
// strings that run past its end. Values beyond 256 are skipped. Every string
// read is terminated.
PreferenceBlock* ReadEngineBlob(const uint8_t* data, uint32_t size);
// A new unlocked handle holding the record; null when the heap is exhausted.
MemHandle* MakeEngineBlob(const PreferenceBlock* preferences);
void FreePreferenceBlock(PreferenceBlock* preferences);

// Ids outside 0-255 (negative ones too) read 0 and are not written.
int32_t GetPref(DictEngine* engine, int32_t id);
void SetPref(DictEngine* engine, int32_t id, int32_t value);

// Array ids outside 0-19 read 0 / count 0 and are not written.
int32_t GetPrefArrayItem(DictEngine* engine, int32_t array, uint32_t i);
uint32_t GetPrefArrayCount(DictEngine* engine, int32_t array);
// Past the count the array grows to i + 1 items (zeros between).
void SetPrefArrayItem(DictEngine* engine, int32_t array, uint32_t i, int32_t value);
// n above the count: a new block of n items with `data` (or, without data,
// the old items and zeros); else the count becomes n and `data`, when given,
// is copied over the first n items.
void SetPrefArray(DictEngine* engine, int32_t array, const int32_t* data, uint32_t n);
// The value of the first (key, value) pair of the array whose key matches;
// -1 when none or the array id is outside 0-19.
int32_t LookupPrefPair(DictEngine* engine, int32_t array, int32_t key);

// String ids outside 0-19 read null and are not written. The string stays
// the block's; SetPrefString keeps a copy (null or "" removes it).
const WCHAR* GetPrefString(DictEngine* engine, int32_t id);
void SetPrefString(DictEngine* engine, int32_t id, const WCHAR* text);
