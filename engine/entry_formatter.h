// The entry formatter: turns a built-in dictionary entry's markup into the
// display text of the definition field and the lists, with the inline style
// codes of the text service.
//
// Entry markup (UTF-16 units):
//   U+EAA0 + d (d 0-14)   opens a section at depth d
//   U+EAAF                closes the current section
//   U+EA00 + f            begins the content of field f (f below the field
//                         count; it runs to the next field or section marker)
//   U+EA91 ... U+EA92     hidden span
//   U+EA93                separates the two forms of a two-form field, or a
//                         link's hidden target from its shown text
//   U+EA95 ... U+EA96     span shown as one U+223C
//   U+E9F1                word break before the following syllable code
//   U+E000 + 5s + t       syllable code
// Text outside fields is not shown. The field and section-level descriptors
// of the dictionary's info header say how each is written.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct MemHandle;
struct TextBuffer;

// The request by which every caller fetches an entry's display text, from
// either kind of dictionary. Cleared by the caller.
struct EntryFetchRequest {
  uint32_t slot;
  uint32_t entry;           // entry number (built-in) or uid (user dictionary)
  uint32_t options;         // kFetch... bits
  uint32_t suppressStyles;  // style bits taken off every field (0x10 also: bold labels)
  uint32_t syllableFormat;  // FormatSyllableCode flags; 0 = pinyin with tone marks
  uint32_t reserved[3];
  uint32_t classMask;       // with kFetchClassMask: bits 0-5 enable classes 0-5
  uint32_t fieldIndex;      // with kFetchOneField
  uint32_t levelLimit;      // with kFetchLevelLimit: highest level shown
  uint32_t enlargedSize;    // with kFetchEnlargeChinese: pixel size
  uint16_t sectionLow[4];   // with kFetchSectionRange: bounds of the first
  uint16_t sectionHigh[4];  // four section counts, inclusive
};
static_assert(sizeof(EntryFetchRequest) == 64);

// Request option bits.
enum : uint32_t {
  kFetchClassMask = 0x1,
  kFetchSectionRange = 0x2,
  kFetchOneField = 0x4,
  kFetchLevelLimit = 0x8,
  kFetchSecondFormFirst = 0x10,
  kFetchOtherFormBracket = 0x20,
  kFetchBracketDashMain = 0x40,  // with 0x20: how "-" shows in the bracket
  kFetchEnlargeChinese = 0x80,
  kFetchEnlargeBeforeBracket = 0x100,
  kFetchDropHomographDigits = 0x200,
  kFetchHiddenReplacesLast = 0x400,
  kFetchMapCharVariants = 0x800,
  kFetchFieldNames = 0x40000,
  kFetchRawFields = 0x100000,
  kFetchRawSyllables = 0x200000,
  kFetchDictNameAfter = 0x400000,
  kFetchToneColors = 0x1000000,
  kFetchOneLine = 0x2000000,
};

// Field style flags.
enum : uint32_t {
  kFieldBold = 0x10,
  kFieldItalic = 0x20,
  kFieldUnderline = 0x40,
  kFieldColor = 0x80,
  kFieldLink = 0x100,
  kFieldNewLine = 0x1000,
  kFieldBreakAfter = 0x2000,
  kFieldGroupLines = 0x4000,
  kFieldEmptyLineBefore = 0x8000,
  kFieldBoldPrefix = 0x10000,
  kFieldBoldSuffix = 0x20000,
  kFieldBoldSeparator = 0x40000,
  kFieldUpperCase = 0x100000,
  kFieldNoSpaceBefore = 0x1000000,
  kFieldNoSpaceAfter = 0x2000000,
  kFieldNoGroupSpace = 0x4000000,
};

// Grouping flags.
enum : uint32_t {
  kFieldGrouped = 0x2,  // the fields of this class form a group
  kFieldRestartsSections = 0x4,
};

// Display kinds.
enum : uint32_t {
  kDisplayPlain = 1,
  kDisplayTwoForm = 2,
  kDisplayHiddenLink = 3,
  kDisplayLinkId = 4,
};

// Section-level descriptor flags.
enum : uint32_t {
  kSectionBreakBefore = 0x1,
  kSectionBreakAfter = 0x2,
  kSectionBreakBeforeLater = 0x4,  // when the count is not 0
  kSectionBreakAfterLater = 0x8,
  kSectionKeepNumber = 0x1000,  // the number stays when the section shows nothing
};

// Markup and style code units.
inline constexpr WCHAR kMarkField = 0xEA00;
inline constexpr WCHAR kMarkFieldLast = 0xEA8F;
inline constexpr WCHAR kMarkHiddenOpen = 0xEA91;
inline constexpr WCHAR kMarkHiddenClose = 0xEA92;
inline constexpr WCHAR kMarkFormSeparator = 0xEA93;
inline constexpr WCHAR kMarkTildeOpen = 0xEA95;
inline constexpr WCHAR kMarkTildeClose = 0xEA96;
inline constexpr WCHAR kMarkSection = 0xEAA0;
inline constexpr WCHAR kMarkSectionClose = 0xEAAF;
inline constexpr uint32_t kMaxSectionDepth = 15;

inline constexpr WCHAR kStyleBoldOn = 0xEAB2;
inline constexpr WCHAR kStyleBoldOff = 0xEAB3;
inline constexpr WCHAR kStyleItalicOn = 0xEAB4;
inline constexpr WCHAR kStyleItalicOff = 0xEAB5;
inline constexpr WCHAR kStyleUnderlineOn = 0xEAB6;
inline constexpr WCHAR kStyleUnderlineOff = 0xEAB7;
inline constexpr WCHAR kStyleLinkOn = 0xEAB8;
inline constexpr WCHAR kStyleLinkIdOn = 0xEABA;
inline constexpr WCHAR kStyleLinkOff = 0xEABB;
inline constexpr WCHAR kStyleColorOn = 0xEAC1;
inline constexpr WCHAR kStyleColorOff = 0xEAC2;
inline constexpr WCHAR kStyleSizeOn = 0xEAC5;
inline constexpr WCHAR kStyleSizeOff = 0xEAC6;
inline constexpr WCHAR kStyleTargetEnd = 0xEAD0;
inline constexpr WCHAR kStyleTargetLinkOn = 0xEAD1;
inline constexpr WCHAR kStyleTargetLinkOff = 0xEAD2;

// Formats the locked record (UTF-16 markup up to a 0 unit or the record's
// end) of the entry that `request` names into the buffer, which is reset
// first and terminated at the end. A fixed buffer that fills up ends the
// text where it filled: 0, or 1 when the text was cut.
int FormatDictEntry(DictEngine* engine, const EntryFetchRequest* request, MemHandle* record, TextBuffer* buffer);
// The same over `length` units of markup (stopping early at a 0 unit).
int FormatDictEntryText(DictEngine* engine, const EntryFetchRequest* request, const WCHAR* text, uint32_t length,
                        TextBuffer* buffer);

// Writes the number of a section at `level` whose 0-based count among its
// earlier siblings is `count`; `descriptor` is the 32-byte level descriptor.
// *pendingBreak is cleared when the number is written. 0, or the failing
// append's result.
int WriteSectionNumber(uint32_t level, const uint8_t* descriptor, uint32_t count, TextBuffer* buffer,
                       uint8_t* pendingBreak, uint32_t options);
// Opens (closing = 0) or closes the style codes of `style` in nesting order;
// the link of display kind 4 carries linkId when it is positive. 0, or the
// failing append's result.
int WriteFieldStyle(TextBuffer* buffer, uint32_t style, uint32_t displayKind, uint32_t color, uint32_t linkId,
                    int closing);
// The tones (0-4) of the first pinyin field from `text` on, up to the next
// field or section marker or `max`; 0 when a section marker comes first.
uint32_t CollectPinyinTones(DictEngine* engine, const WCHAR* text, uint32_t length, uint16_t slot, uint8_t* tones,
                            uint32_t max);
// Preference 108 for tone 0, 104-107 for tones 1-4.
uint32_t GetToneColor(DictEngine* engine, uint32_t tone);
// Syllable codes and Chinese characters (U+3400-U+D7FF) of the text; unless
// plain, what is inside () (also full-width) and [] is not counted and each
// "/" takes one off a non-zero count.
uint32_t CountKeyChars(const WCHAR* text, int plain);

// Writes a 30-bit number as the two payload units of a style code.
int AppendStylePayload(TextBuffer* buffer, uint32_t value);

// The text FormatDictEntryText writes for a request whose only option is
// kFetchRawFields (what a text search looks in), made unit by unit from
// the record's units, so that a reader may stop as soon as it has seen
// enough: the shown fields' units as they stand, a space before each
// numbered section (taken back, as the formatter does, when the section
// shows nothing and its level does not keep its number).
struct RawFieldsLayout {
  uint32_t fieldCount;
  uint32_t levelCount;
  uint32_t keepNumber;  // bit d: level d keeps its number
  uint8_t shown[kMarkFieldLast - kMarkField + 1];  // field f shown
};
// One text's state.
struct RawFieldsState {
  int32_t depth;
  int32_t opened;
  uint32_t spaces;  // written by this section's marks, not yet known to stay
  bool inMarks;     // inside a run of section marks
  bool inField;     // copying a shown field's units
  bool sectionShown;
  bool any;      // the text is not empty
  bool copying;  // inField and sectionShown: a unit goes straight out
};

// False when the slot's entries cannot be made so: a shown field that the
// formatter writes other than as it stands.
bool InitRawFieldsLayout(DictEngine* engine, uint16_t slot, RawFieldsLayout* layout);
inline void StartRawFieldsText(RawFieldsState* t) { *t = RawFieldsState{-1, -1, 0, false, false, false, false, false}; }
// The end of a section's fields: its spaces stay when it showed something
// (they went out with its first unit) or its level keeps its number.
template <typename Out>
inline void EndRawFieldsSection(const RawFieldsLayout& layout, RawFieldsState* t, Out&& out) {
  if (!t->sectionShown && t->spaces > 0 && t->opened >= 0 && ((layout.keepNumber >> t->opened) & 1)) {
    for (; t->spaces > 0; --t->spaces) out(u' ');
    t->any = true;
  }
  t->spaces = 0;
  t->sectionShown = false;
  t->copying = false;
}
// One unit of the record (the record ends at its first 0 unit, which is
// not given); out receives the text's units. After the last unit,
// EndRawFieldsSection ends the text.
template <typename Out>
[[gnu::always_inline]] inline void FeedRawFieldsText(const RawFieldsLayout& layout, RawFieldsState* t, WCHAR u, Out&& out) {
  // Field text first (most units are): other markup (U+EA90-U+EA9F)
  // counts as text too.
  if (static_cast<uint32_t>(u - kMarkField) > static_cast<uint32_t>(kMarkSectionClose - kMarkField) ||
      (u > kMarkFieldLast && u < kMarkSection)) {
    if (t->copying) {
      out(u);
      return;
    }
    if (!t->inField) {
      t->inMarks = false;  // text outside fields ends a run of marks
      return;
    }
  } else if (u >= kMarkSection) {
    if (!t->inMarks) {
      EndRawFieldsSection(layout, t, out);
      t->inMarks = true;
      t->opened = -1;
    }
    t->inField = false;
    t->copying = false;
    if (u == kMarkSectionClose) {
      if (t->depth >= 0) {
        --t->depth;
        t->opened = -1;
      }
      return;
    }
    const int32_t d = u - kMarkSection;
    t->depth = d;
    t->opened = d;
    if (static_cast<uint32_t>(d) < layout.levelCount && (t->any || t->spaces > 0)) ++t->spaces;
    return;
  } else {
    const uint32_t f = u - kMarkField;
    t->inMarks = false;
    t->inField = f < layout.fieldCount && layout.shown[f];
    t->copying = t->inField && t->sectionShown;
    return;
  }
  // The first unit the section shows (so after any run of marks).
  for (; t->spaces > 0; --t->spaces) out(u' ');
  t->sectionShown = true;
  t->any = true;
  t->copying = true;
  out(u);
}
