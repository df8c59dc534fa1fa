#include "engine/entry_formatter.h"

#include <cstring>

#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/text_buffer.h"

namespace {

// Field descriptor offsets.
constexpr uint32_t kDescName = 0;
constexpr uint32_t kDescPrefix = 272;
constexpr uint32_t kDescSuffix = 304;
constexpr uint32_t kDescSeparator = 336;
constexpr uint32_t kDescTextUnits = 16;
constexpr uint32_t kDescClass = 372;
constexpr uint32_t kDescType = 376;
constexpr uint32_t kDescKind = 380;
constexpr uint32_t kDescGrouping = 384;
constexpr uint32_t kDescLevel = 392;
constexpr uint32_t kDescStyle = 408;
constexpr uint32_t kDescColor = 416;
// Info header offsets.
constexpr uint32_t kHeaderFieldCount = 316;
constexpr uint32_t kHeaderLevelCount = 320;
// Section-level descriptor offsets.
constexpr uint32_t kLevelFlags = 0;
constexpr uint32_t kLevelLimit = 8;
constexpr uint32_t kLevelStyle = 12;
constexpr uint32_t kLevelPrefix = 16;
constexpr uint32_t kLevelSuffix = 18;
constexpr uint32_t kLevelSwitch = 20;
constexpr uint32_t kLevelStyle2 = 24;
constexpr uint32_t kLevelPrefix2 = 28;
constexpr uint32_t kLevelSuffix2 = 30;

constexpr uint32_t kFieldTypeChinese = 0x1001;
constexpr uint32_t kFieldTypePinyin = 0x1101;
constexpr uint32_t kTwoFormClass = 0x10;  // bits 8-15 of the class word
constexpr uint32_t kClassCount = 16;
constexpr uint32_t kGroupMax = 16;  // fields of a class that form its group
constexpr uint32_t kMaxTones = 64;
constexpr uint32_t kDefaultSyllableFormat = 4097;

enum : uint8_t { kPendingNone = 0, kPendingSpace = 1, kPendingBreak = 2 };

bool IsSectionMark(WCHAR u) { return u >= kMarkSection && u <= kMarkSectionClose; }
bool IsFieldMark(WCHAR u) { return u >= kMarkField && u <= kMarkFieldLast; }
bool IsMarker(WCHAR u) { return IsSectionMark(u) || IsFieldMark(u); }
bool IsMarkup(WCHAR u) { return u >= 0xEA00 && u <= 0xEAFF; }
bool IsSyllable(WCHAR u) { return u >= kSyllableFirst && u <= kSyllableLastArea; }
bool IsSyllableArea(WCHAR u) { return u >= kSyllableFirst && u <= kSyllableMarkLast; }
bool IsChinese(WCHAR u) { return u >= 0x3400 && u <= 0xD7FF; }
bool IsDigit(WCHAR u) { return u >= '0' && u <= '9'; }
bool IsLatin(WCHAR u) { return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'); }
bool IsHighSurrogate(WCHAR u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(WCHAR u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsPrivateUse(WCHAR u) { return u >= 0xE000 && u <= 0xF8FF; }
// Characters that take a tone colour in the main form of a two-form field.
bool IsToneChar(WCHAR u) { return IsChinese(u) || (u >= 0xEE00 && u <= 0xEFFF); }
// ... and in its bracketed form.
bool IsBracketToneChar(WCHAR u) { return u >= 0x3400 && u <= 0xFAFF; }

// Superscript homograph digits: 1-3 live in Latin-1, the rest at U+2070.
WCHAR SuperscriptDigit(WCHAR d) {
  switch (d) {
    case '1':
      return 0x00B9;
    case '2':
      return 0x00B2;
    case '3':
      return 0x00B3;
    default:
      return static_cast<WCHAR>(0x2070 + (d - '0'));
  }
}

struct FieldDesc {
  const uint8_t* raw = nullptr;
  uint32_t fieldClass = 0;
  uint32_t classHigh = 0;  // bits 8-15
  uint32_t type = 0;
  uint32_t kind = kDisplayPlain;
  uint32_t grouping = 0;
  uint32_t level = 0;
  uint32_t style = 0;  // less the request's suppressed bits
  uint32_t color = 0;
};

struct Formatter {
  DictEngine* engine = nullptr;
  const EntryFetchRequest* request = nullptr;
  TextBuffer* tb = nullptr;
  uint16_t slot = kNoDictSlot;
  uint32_t options = 0;
  uint32_t suppress = 0;
  const uint8_t* header = nullptr;
  uint32_t headerSize = 0;
  uint32_t fieldCount = 0;
  uint32_t levelCount = 0;
  bool classOn[kClassCount] = {};
  bool numbering = false;
  bool spaceMode = false;
  bool oneLine = false;
  bool boldLabels = true;
  uint32_t syllableBase = kDefaultSyllableFormat;
  const WCHAR* text = nullptr;
  uint32_t length = 0;
  // State carried from field to field and section to section.
  uint8_t pending = kPendingNone;
  bool atStart = true;
  bool restart = false;
  bool failed = false;

  bool Put(WCHAR c) {
    if (failed) return false;
    if (TextBufAppendChar(tb, c) != 0) failed = true;
    return !failed;
  }
  bool PutPayload(uint32_t value) {
    if (failed) return false;
    if (AppendStylePayload(tb, value) != 0) failed = true;
    return !failed;
  }
  bool Break() { return Put(oneLine ? u' ' : u'\n'); }
  // A descriptor text of up to `units` units, stopping at a 0.
  void PutDescText(const uint8_t* p, uint32_t units) {
    for (uint32_t i = 0; i < units; ++i) {
      WCHAR c = LoadLe16(p + 2 * i);
      if (!c) break;
      Put(c);
    }
  }
  void PutBoldText(const uint8_t* p, bool bold) {
    if (LoadLe16(p) == 0) return;
    if (bold) Put(kStyleBoldOn);
    PutDescText(p, kDescTextUnits);
    if (bold) Put(kStyleBoldOff);
  }
  void Style(const FieldDesc& d, uint32_t kind, uint32_t linkId, int closing) {
    if (failed) return;
    if (WriteFieldStyle(tb, d.style, kind, d.color, linkId, closing) != 0) failed = true;
  }

  FieldDesc Desc(uint32_t f) const {
    FieldDesc d;
    if (f >= fieldCount) return d;
    const uint8_t* p = header + kDictInfoHeaderSize + size_t{f} * kDictFieldDescriptorSize;
    d.raw = p;
    uint32_t cls = LoadLe32(p + kDescClass);
    d.fieldClass = (cls >> 8) & 0xF;
    d.classHigh = (cls >> 8) & 0xFF;
    d.type = LoadLe32(p + kDescType);
    d.kind = LoadLe32(p + kDescKind);
    d.grouping = LoadLe32(p + kDescGrouping);
    d.level = LoadLe32(p + kDescLevel);
    d.style = LoadLe32(p + kDescStyle) & ~suppress;
    d.color = LoadLe32(p + kDescColor);
    return d;
  }
  const uint8_t* LevelDesc(uint32_t d) const {
    if (d >= levelCount) return nullptr;
    size_t at =
        kDictInfoHeaderSize + size_t{fieldCount} * kDictFieldDescriptorSize + size_t{d} * kDictLevelDescriptorSize;
    if (at + kDictLevelDescriptorSize > headerSize) return nullptr;
    return header + at;
  }
  // Fields of class `cls` among the first 16 of that class, in field order.
  bool InGroup(uint32_t cls, uint32_t g) const {
    uint32_t rank = 0;
    for (uint32_t f = 0; f < fieldCount && rank < kGroupMax; ++f) {
      if (Desc(f).fieldClass != cls) continue;
      if (f == g) return true;
      ++rank;
    }
    return false;
  }
  uint32_t GroupSize(uint32_t cls) const {
    uint32_t n = 0;
    for (uint32_t f = 0; f < fieldCount && n < kGroupMax; ++f)
      if (Desc(f).fieldClass == cls) ++n;
    return n;
  }
  bool Passes(uint32_t f, const FieldDesc& d) const {
    if ((options & kFetchOneField) && f != request->fieldIndex) return false;
    if ((options & kFetchLevelLimit) && d.level > request->levelLimit) return false;
    return d.fieldClass < kClassCount && classOn[d.fieldClass];
  }
  uint32_t NextMarker(uint32_t p) const {
    while (p < length && !IsMarker(text[p])) ++p;
    return p;
  }

  uint32_t Fields(uint32_t p);
  uint32_t Field(uint32_t f, uint32_t p);
  uint32_t TwoForm(uint32_t p, bool enlarged, bool* enlargedEnded);
  void TonedUnit(WCHAR w, const uint8_t* tones, uint32_t toneCount, uint32_t* next, bool bracket);
  void RenderSyllable(WCHAR code, uint32_t caseFlag, bool afterSyllable);
};

// Fields from p up to the next section marker or the end; the position
// reached.
uint32_t Formatter::Fields(uint32_t p) {
  while (p < length && !failed) {
    WCHAR u = text[p];
    if (IsSectionMark(u)) break;
    // Text outside fields, and markers of fields the header lacks, are not shown.
    if (!IsFieldMark(u) || static_cast<uint32_t>(u - kMarkField) >= fieldCount) {
      ++p;
      continue;
    }
    uint32_t f = u - kMarkField;
    FieldDesc d = Desc(f);
    if (!Passes(f, d)) {
      p = NextMarker(p + 1);
      continue;
    }
    p = Field(f, p + 1);
  }
  return p;
}

void Formatter::RenderSyllable(WCHAR code, uint32_t caseFlag, bool afterSyllable) {
  uint32_t flags =
      (syllableBase & ~uint32_t{kSyllableCaseMask | kSyllableJoinMask}) | caseFlag | (afterSyllable ? 0x200u : 0x100u);
  FormatSyllableCode(engine, flags, code, tb);
  // A fixed buffer that filled up inside the syllable: stop there.
  if (!tb->handle && tb->length + 1 >= tb->capacity) failed = true;
}

// One unit of a two-form field with tone colours while tones remain.
void Formatter::TonedUnit(WCHAR w, const uint8_t* tones, uint32_t toneCount, uint32_t* next, bool bracket) {
  if (*next >= toneCount) {
    Put(w);
    return;
  }
  bool isChar = bracket ? IsBracketToneChar(w) : IsToneChar(w);
  if (isChar) {
    Put(kStyleColorOn);
    PutPayload(GetToneColor(engine, tones[*next]));
    Put(w);
    Put(kStyleColorOff);
    ++*next;
  } else if (IsLatin(w)) {
    Put(w);
    Put(kStyleColorOff);
    ++*next;
  } else if (w == '-') {
    Put(w);
    ++*next;
  } else {
    Put(w);
  }
}

uint32_t Formatter::TwoForm(uint32_t p, bool enlarged, bool* enlargedEnded) {
  const uint32_t end = NextMarker(p);
  uint32_t sep = p;
  while (sep < end && text[sep] != kMarkFormSeparator) ++sep;
  const WCHAR* first = text + p;
  uint32_t firstLen = sep - p;
  const WCHAR* second = sep < end ? text + sep + 1 : nullptr;
  uint32_t secondLen = sep < end ? end - sep - 1 : 0;
  const bool hasSecond = secondLen > 0;
  const bool swap = (options & kFetchSecondFormFirst) && hasSecond;
  const WCHAR* main = swap ? second : first;
  const uint32_t mainLen = swap ? secondLen : firstLen;
  const WCHAR* other = swap ? first : second;
  const uint32_t otherLen = hasSecond ? (swap ? firstLen : secondLen) : 0;

  uint8_t tones[kMaxTones];
  uint32_t toneCount = 0;
  if (options & kFetchToneColors)
    toneCount = CollectPinyinTones(engine, text + end, length - end, slot, tones, kMaxTones);

  // Main form, with the other form read in step.
  uint32_t nextTone = 0;
  uint32_t j = 0;
  for (uint32_t i = 0; i < mainLen && !failed; ++i) {
    WCHAR m = main[i];
    bool haveOther = j < otherLen;
    WCHAR o = haveOther ? other[j] : 0;
    if (IsHighSurrogate(m) && i + 1 < mainLen && IsLowSurrogate(main[i + 1])) {
      if (nextTone < toneCount) {
        Put(kStyleColorOn);
        PutPayload(GetToneColor(engine, tones[nextTone++]));
        Put(m);
        Put(main[i + 1]);
        Put(kStyleColorOff);
      } else {
        Put(m);
        Put(main[i + 1]);
      }
      ++i;
      j += 2;
      continue;
    }
    WCHAR w = m;
    if (m == '-' && haveOther) {
      w = o;
    } else if (IsPrivateUse(m) && haveOther && !IsPrivateUse(o) && !(options & kFetchOtherFormBracket)) {
      w = o;
    } else if (m == '/') {
      Put(m);
      if (nextTone > 0) --nextTone;
      // An alternative in the main form alone: the other form stays where it is.
      if (!(haveOther && o == '/')) continue;
      ++j;
      continue;
    }
    TonedUnit(w, tones, toneCount, &nextTone, false);
    ++j;
  }

  if ((options & kFetchOtherFormBracket) && hasSecond && !failed) {
    if (enlarged && (options & kFetchEnlargeBeforeBracket)) {
      Put(kStyleSizeOff);
      *enlargedEnded = true;
    }
    Put('[');
    const bool showMain = ((options & kFetchBracketDashMain) && (options & kFetchSecondFormFirst)) ||
                          !(options & (kFetchBracketDashMain | kFetchSecondFormFirst));
    uint32_t mi = 0;
    nextTone = 0;
    for (uint32_t k = 0; k < otherLen && !failed; ++k) {
      WCHAR b = other[k];
      WCHAR m = mi < mainLen ? main[mi] : 0;
      if (b == '/' && m != '/') {
        // An alternative in the bracket alone: the main form stays where it is.
        Put(b);
        if (nextTone > 0) --nextTone;
        continue;
      }
      if (m == '/' && b != '/' && b != '-') {
        mi += 2;
        m = mi < mainLen ? main[mi] : 0;
      }
      WCHAR shown = b;
      if ((b == '-' || m == '-') && showMain && m) shown = m;
      if (shown == '/') {
        Put(shown);
        if (nextTone > 0) --nextTone;
      } else if (IsHighSurrogate(shown) && k + 1 < otherLen && IsLowSurrogate(other[k + 1]) && shown == b) {
        const bool colour = nextTone < toneCount;
        if (colour) {
          Put(kStyleColorOn);
          PutPayload(GetToneColor(engine, tones[nextTone++]));
        }
        Put(b);
        Put(other[k + 1]);
        if (colour) Put(kStyleColorOff);
        ++k;
        ++mi;
      } else {
        bool takes = (b != '-' && m != '-') || IsBracketToneChar(b) || IsBracketToneChar(m);
        if (takes) {
          TonedUnit(shown, tones, toneCount, &nextTone, true);
        } else {
          Put(shown);
        }
      }
      ++mi;
    }
    Put(']');
  }
  return end;
}

// Field f whose content starts at p; the position after it.
uint32_t Formatter::Field(uint32_t f, uint32_t p) {
  FieldDesc d = Desc(f);
  uint32_t kind = d.kind;
  if (kind == kDisplayTwoForm && d.classHigh != kTwoFormClass) kind = kDisplayPlain;

  if ((options & kFetchRawFields) && kind >= 1 && kind <= 15) {
    uint32_t end = NextMarker(p);
    // Where the buffer already has room for the whole field, one copy: the
    // same units as appending them one by one (a text search fetches every
    // candidate's fields this way).
    if (!failed && end > p && tb->data && uint64_t{tb->length} + (end - p) < tb->capacity) {
      std::memcpy(tb->data + tb->length, text + p, (end - p) * sizeof(WCHAR));
      tb->length += end - p;
      return end;
    }
    for (; p < end && !failed; ++p) Put(text[p]);
    return end;
  }

  // Separator.
  if (options & kFetchFieldNames) {
    if (!atStart) Break();
    if (boldLabels) Put(kStyleBoldOn);
    PutDescText(d.raw + kDescName, kDictNameUnits);
    Put(':');
    if (boldLabels) Put(kStyleBoldOff);
    Put(' ');
  } else if (!atStart) {
    if ((d.style & kFieldNewLine) || pending == kPendingBreak) {
      if (oneLine) {
        Put(' ');
      } else {
        Put('\n');
        if ((d.style & kFieldNewLine) && (d.style & kFieldEmptyLineBefore)) Put('\n');
      }
    } else if (pending == kPendingSpace && !(d.style & kFieldNoSpaceBefore)) {
      Put(' ');
    }
  }
  atStart = false;
  pending = kPendingNone;

  // Enlarged Chinese text, when the field is short enough.
  bool enlarged = false;
  if (d.type == kFieldTypeChinese && (options & kFetchEnlargeChinese) && request->enlargedSize != 0) {
    int32_t limit = GetPref(engine, kPrefEnlargeLimit);
    bool fits = limit <= 0;
    if (!fits) {
      uint32_t n = 0;
      for (uint32_t q = p; q < length && !IsMarker(text[q]) && text[q] != kMarkFormSeparator; ++q) {
        if (IsChinese(text[q]) || IsHighSurrogate(text[q])) ++n;
      }
      fits = n <= static_cast<uint32_t>(limit);
    }
    if (fits) {
      Put(kStyleSizeOn);
      PutPayload(request->enlargedSize);
      enlarged = true;
    }
  }

  PutBoldText(d.raw + kDescPrefix, (d.style & kFieldBoldPrefix) && boldLabels);

  // A link id in the first three units; the top bits do not fit a payload.
  uint32_t linkId = 0;
  if (kind == kDisplayLinkId && p + 3 <= length && !IsMarkup(text[p]) && !IsMarkup(text[p + 1]) &&
      !IsMarkup(text[p + 2])) {
    linkId = ((uint32_t{text[p]} << 30) | (uint32_t{text[p + 1]} & 0x7FFF) << 15 | (uint32_t{text[p + 2]} & 0x7FFF)) &
             0x3FFFFFFF;
    p += 3;
  }

  FieldDesc cur = d;
  Style(cur, kind, linkId, 0);

  bool enlargedEnded = false;
  if (kind == kDisplayTwoForm) {
    p = TwoForm(p, enlarged, &enlargedEnded);
  } else {
    const bool grouped = (d.grouping & kFieldGrouped) && GroupSize(d.fieldClass) >= 2;
    bool renderSyllables = !(options & kFetchRawSyllables) && kind != kDisplayHiddenLink;
    bool afterSyllable = false;
    bool prevDigitPlain = false;
    WCHAR prev = 0;
    while (p < length && !failed) {
      WCHAR u = text[p];
      if (IsSectionMark(u)) break;
      if (IsFieldMark(u)) {
        uint32_t g = u - kMarkField;
        if (!grouped || g >= fieldCount || !InGroup(d.fieldClass, g)) break;
        // Another field of the group continues the text.
        Style(cur, kind, linkId, 1);
        cur = Desc(g);
        if (cur.style & kFieldGroupLines) {
          Break();
        } else if (!(cur.style & kFieldNoGroupSpace)) {
          Put(' ');
        }
        PutBoldText(cur.raw + kDescSeparator, (cur.style & kFieldBoldSeparator) && boldLabels);
        Style(cur, kind, linkId, 0);
        prev = 0;
        prevDigitPlain = false;
        afterSyllable = false;
        ++p;
        continue;
      }
      if (u == kMarkFormSeparator) {
        if (kind == kDisplayHiddenLink) {
          Put(kStyleTargetEnd);
          renderSyllables = !(options & kFetchRawSyllables);
        }
        prev = u;
        ++p;
        continue;
      }
      if (u == kMarkHiddenOpen) {
        ++p;
        if ((options & kFetchHiddenReplacesLast) && p < length && !IsMarkup(text[p]) && tb->length > 0)
          TextBufReplaceLast(tb, text[p]);
        while (p < length && text[p] != kMarkHiddenClose && !IsMarker(text[p])) ++p;
        if (p < length && text[p] == kMarkHiddenClose) ++p;
        continue;
      }
      if (u == kMarkTildeOpen) {
        Put(0x223C);
        ++p;
        while (p < length && text[p] != kMarkTildeClose && !IsMarker(text[p])) ++p;
        if (p < length && text[p] == kMarkTildeClose) ++p;
        prev = 0x223C;
        prevDigitPlain = false;
        afterSyllable = false;
        continue;
      }
      if (IsDigit(u) && !IsLatin(prev) && !prevDigitPlain) {
        WCHAR n1 = p + 1 < length ? text[p + 1] : 0;
        WCHAR n2 = p + 2 < length ? text[p + 2] : 0;
        auto syllableNext = [](WCHAR c) { return IsSyllable(c) || c == kSyllableSeparator; };
        if (syllableNext(n1) || (IsDigit(n1) && syllableNext(n2))) {
          // A homograph number before a reading.
          if (!((options & kFetchDropHomographDigits) && !(cur.style & kFieldLink))) Put(SuperscriptDigit(u));
          prev = u;
          prevDigitPlain = false;
          afterSyllable = false;
          ++p;
          continue;
        }
      }
      if (IsSyllableArea(u) && renderSyllables) {
        if (u == kSyllableSeparator) {
          // Only a syllable that follows is taken: the mark never shows.
          if (p + 1 < length && IsSyllable(text[p + 1])) {
            RenderSyllable(text[p + 1], kSyllableCapital, afterSyllable);
            afterSyllable = true;
            prev = text[p + 1];
            p += 2;
          } else {
            ++p;
          }
          prevDigitPlain = false;
          continue;
        }
        if (IsSyllable(u)) {
          RenderSyllable(u, 0x10, afterSyllable);
          afterSyllable = true;
        }
        prev = u;
        prevDigitPlain = false;
        ++p;
        continue;
      }
      WCHAR c = u;
      if ((options & kFetchMapCharVariants) && c >= 0x3400 && c <= 0x9FAF) c = MapCharVariant(engine, slot, c);
      if (c == 0xFF0C) {
        Put(',');
        Put(' ');
      } else if ((cur.style & kFieldUpperCase) && c >= 'a' && c <= 'z') {
        Put(static_cast<WCHAR>(c - 'a' + 'A'));
      } else if (c >= 0xEA90 && c <= 0xEA9F) {
        // A stray mark of the formatter's own: nothing to show.
      } else {
        Put(c);
      }
      prevDigitPlain = IsDigit(u);
      afterSyllable = false;
      prev = u;
      ++p;
    }
  }

  Style(cur, kind, linkId, 1);
  PutBoldText(cur.raw + kDescSuffix, (cur.style & kFieldBoldSuffix) && boldLabels);
  if (enlarged && !enlargedEnded) Put(kStyleSizeOff);

  if (cur.style & kFieldBreakAfter) {
    pending = kPendingBreak;
  } else if (GetPref(engine, kPrefChineseOwnLine) != 0 &&
             (cur.type == kFieldTypeChinese || cur.type == kFieldTypePinyin)) {
    pending = kPendingBreak;
  } else if (!(cur.style & kFieldNoSpaceAfter)) {
    pending = kPendingSpace;
  }
  if (d.grouping & kFieldRestartsSections) restart = true;
  return p;
}

bool SectionInRange(const EntryFetchRequest* request, const uint16_t* counts, int depth) {
  int n = depth + 1 < 4 ? depth + 1 : 4;
  for (int i = 0; i < n; ++i) {
    if (counts[i] < request->sectionLow[i] || counts[i] > request->sectionHigh[i]) return false;
  }
  return true;
}

// The slot's field and level descriptors (none for a slot that is not a
// built-in dictionary or whose header does not hold them).
void ReadFormatHeader(DictEngine* engine, uint16_t slot, Formatter* st) {
  if (slot >= engine->slotCount || !engine->slots[slot] || engine->slots[slot]->kind != kDictKindBuiltIn) return;
  const DictSlot* s = engine->slots[slot];
  st->header = s->header;
  st->headerSize = s->headerSize;
  if (!st->header || st->headerSize < kDictInfoHeaderSize) return;
  uint64_t fields = LoadLe32(st->header + kHeaderFieldCount);
  uint64_t levels = LoadLe32(st->header + kHeaderLevelCount);
  // The slot was made only when both fit; check again rather than trust.
  if (kDictInfoHeaderSize + fields * kDictFieldDescriptorSize <= st->headerSize) {
    st->fieldCount = static_cast<uint32_t>(fields);
    uint64_t room =
        (st->headerSize - kDictInfoHeaderSize - fields * kDictFieldDescriptorSize) / kDictLevelDescriptorSize;
    st->levelCount = static_cast<uint32_t>(levels < room ? levels : room);
  }
}

}  // namespace

int AppendStylePayload(TextBuffer* buffer, uint32_t value) {
  int rc = TextBufAppendChar(buffer, static_cast<WCHAR>(((value >> 15) & 0x7FFF) | 0x8000));
  if (rc != 0) return rc;
  return TextBufAppendChar(buffer, static_cast<WCHAR>((value & 0x7FFF) | 0x8000));
}

int WriteFieldStyle(TextBuffer* buffer, uint32_t style, uint32_t displayKind, uint32_t color, uint32_t linkId,
                    int closing) {
  int rc = 0;
  auto put = [&](WCHAR c) {
    if (rc == 0) rc = TextBufAppendChar(buffer, c);
  };
  const bool idLink = displayKind == kDisplayLinkId && linkId > 0;
  if (!closing) {
    if (style & kFieldBold) put(kStyleBoldOn);
    if (style & kFieldItalic) put(kStyleItalicOn);
    if (style & kFieldUnderline) put(kStyleUnderlineOn);
    if (style & kFieldColor) {
      put(kStyleColorOn);
      if (rc == 0) rc = AppendStylePayload(buffer, color);
    }
    if (style & kFieldLink) {
      if (displayKind == kDisplayHiddenLink) {
        put(kStyleTargetLinkOn);
      } else if (idLink) {
        put(kStyleLinkIdOn);
        if (rc == 0) rc = AppendStylePayload(buffer, linkId);
      } else {
        put(kStyleLinkOn);
      }
    }
  } else {
    if (style & kFieldLink) put(displayKind == kDisplayHiddenLink ? kStyleTargetLinkOff : kStyleLinkOff);
    if (style & kFieldColor) put(kStyleColorOff);
    if (style & kFieldUnderline) put(kStyleUnderlineOff);
    if (style & kFieldItalic) put(kStyleItalicOff);
    if (style & kFieldBold) put(kStyleBoldOff);
  }
  return rc;
}

int WriteSectionNumber(uint32_t /*level*/, const uint8_t* descriptor, uint32_t count, TextBuffer* buffer,
                       uint8_t* pendingBreak, uint32_t options) {
  if (!descriptor) return 0;
  const uint32_t flags = LoadLe32(descriptor + kLevelFlags);
  if (count >= LoadLe32(descriptor + kLevelLimit)) return 0;
  const uint32_t switchCount = LoadLe32(descriptor + kLevelSwitch);
  const bool second = switchCount != 0 && count >= switchCount;
  const uint32_t style = LoadLe32(descriptor + (second ? kLevelStyle2 : kLevelStyle));
  const WCHAR prefix = LoadLe16(descriptor + (second ? kLevelPrefix2 : kLevelPrefix));
  const WCHAR suffix = LoadLe16(descriptor + (second ? kLevelSuffix2 : kLevelSuffix));
  const bool oneLine = options & kFetchOneLine;

  int rc = 0;
  auto put = [&](WCHAR c) {
    if (rc == 0) rc = TextBufAppendChar(buffer, c);
  };
  auto lineBreak = [&] { put(oneLine ? u' ' : u'\n'); };
  auto endsWithSpace = [&] { return buffer->length > 0 && buffer->data[buffer->length - 1] == ' '; };

  if (buffer->length > 0 && !TextBufEndsWithNewline(buffer)) {
    if ((pendingBreak && *pendingBreak == kPendingBreak) || (flags & kSectionBreakBefore) ||
        ((flags & kSectionBreakBeforeLater) && count != 0)) {
      lineBreak();
    } else if (!(style == 2 && count == 0) && !endsWithSpace()) {
      put(' ');
    }
  }
  if (pendingBreak) *pendingBreak = kPendingNone;

  switch (style) {
    case 1:
    case 2:
      if (style == 2 && count == 0) break;
      if (prefix) put(prefix);
      if (suffix) put(suffix);
      break;
    case 3:
      put(static_cast<WCHAR>(prefix + (second ? count - switchCount : count)));
      if (suffix) put(suffix);
      break;
    case 4: {
      if (prefix) put(prefix);
      uint32_t v = count + 1;
      if (v >= 100) {
        uint32_t h = v / 100;
        put(h > 9 ? u'X' : static_cast<WCHAR>('0' + h));
        put(static_cast<WCHAR>('0' + v / 10 % 10));
      } else if (v >= 10) {
        put(static_cast<WCHAR>('0' + v / 10));
      }
      put(static_cast<WCHAR>('0' + v % 10));
      if (suffix) put(suffix);
      break;
    }
    case 5:
    case 6:
      if (prefix) put(prefix);
      put(static_cast<WCHAR>((style == 5 ? 'a' : 'A') + (count < 25 ? count : 25)));
      if (suffix) put(suffix);
      break;
    default:
      break;
  }
  if ((flags & kSectionBreakAfter) || ((flags & kSectionBreakAfterLater) && count != 0)) lineBreak();
  if (buffer->length > 0 && !TextBufEndsWithNewline(buffer) && !endsWithSpace()) put(' ');
  return rc;
}

uint32_t GetToneColor(DictEngine* engine, uint32_t tone) {
  if (tone >= 1 && tone <= 4)
    return static_cast<uint32_t>(GetPref(engine, kPrefToneColor1 + static_cast<int32_t>(tone) - 1));
  return static_cast<uint32_t>(GetPref(engine, kPrefToneColor0));
}

uint32_t CollectPinyinTones(DictEngine* engine, const WCHAR* text, uint32_t length, uint16_t slot, uint8_t* tones,
                            uint32_t max) {
  if (!text) return 0;
  uint32_t fieldCount = GetDictFieldCount(engine, slot);
  uint32_t p = 0;
  for (;; ++p) {
    if (p >= length || text[p] == 0 || IsSectionMark(text[p])) return 0;
    if (!IsFieldMark(text[p])) continue;
    uint32_t f = text[p] - kMarkField;
    const uint8_t* d = f < fieldCount ? GetDictFieldDescriptor(engine, slot, f) : nullptr;
    if (d && LoadLe32(d + kDescType) == kFieldTypePinyin) break;
  }
  uint32_t n = 0;
  for (++p; p < length && n < max && text[p] != 0 && !IsMarker(text[p]); ++p) {
    if (IsSyllable(text[p])) tones[n++] = static_cast<uint8_t>((text[p] - kSyllableFirst) % 5);
  }
  return n;
}

uint32_t CountKeyChars(const WCHAR* text, int plain) {
  if (!text) return 0;
  uint32_t count = 0;
  uint32_t depth = 0;
  for (; *text; ++text) {
    WCHAR u = *text;
    if (!plain) {
      if (u == '(' || u == 0xFF08 || u == '[') {
        ++depth;
        continue;
      }
      if (u == ')' || u == 0xFF09 || u == ']') {
        if (depth > 0) --depth;
        continue;
      }
      if (depth > 0) continue;
      if (u == '/') {
        if (count > 0) --count;
        continue;
      }
    }
    if (IsSyllable(u) || IsChinese(u)) ++count;
  }
  return count;
}

int FormatDictEntryText(DictEngine* engine, const EntryFetchRequest* request, const WCHAR* text, uint32_t length,
                        TextBuffer* buffer) {
  if (!buffer) return 1;
  TextBufInit(buffer);
  Formatter st;
  st.engine = engine;
  st.request = request;
  st.tb = buffer;
  if (!engine || !request || !text) {
    TextBufFinish(buffer);
    return 0;
  }
  uint32_t n = 0;
  while (n < length && text[n] != 0) ++n;
  st.text = text;
  st.length = n;
  st.slot = request->slot < kNoDictSlot ? static_cast<uint16_t>(request->slot) : kNoDictSlot;
  st.options = request->options;
  st.suppress = request->suppressStyles;
  st.boldLabels = !(st.suppress & kFieldBold);
  st.oneLine = st.options & kFetchOneLine;
  st.syllableBase = request->syllableFormat ? request->syllableFormat : kDefaultSyllableFormat;
  ReadFormatHeader(engine, st.slot, &st);
  if (st.options & kFetchClassMask) {
    for (uint32_t c = 0; c < 6; ++c) st.classOn[c] = (request->classMask >> c) & 1;
    st.numbering = request->classMask & 0x8;
  } else {
    for (uint32_t c = 0; c <= 6; ++c) st.classOn[c] = true;
    st.numbering = !(st.options & kFetchOneField);
    st.spaceMode = st.options & kFetchRawFields;
  }

  uint16_t counts[kMaxSectionDepth] = {};
  int depth = -1;
  uint32_t p = 0;
  while (p < st.length && !st.failed) {
    const uint32_t mark = buffer->length;
    const uint8_t pendingBefore = st.pending;
    const bool atStartBefore = st.atStart;
    bool closed = false;
    int opened = -1;
    while (p < st.length && IsSectionMark(st.text[p]) && !st.failed) {
      WCHAR u = st.text[p++];
      if (u == kMarkSectionClose) {
        // A closer with no open section is ignored.
        if (depth < 0) continue;
        counts[depth] = 0;
        --depth;
        closed = true;
        opened = -1;
        continue;
      }
      int d = u - kMarkSection;
      for (int k = d + 1; k <= depth; ++k) counts[k] = 0;
      depth = d;
      if (st.numbering && static_cast<uint32_t>(d) < st.levelCount) {
        if (st.spaceMode) {
          if (buffer->length > 0) st.Put(' ');
        } else if (WriteSectionNumber(d, st.LevelDesc(d), counts[d], buffer, &st.pending, st.options) != 0) {
          st.failed = true;
        }
      }
      ++counts[d];
      opened = d;
      closed = false;
    }
    if (st.failed) break;
    if ((st.options & kFetchSectionRange) && depth >= 0 && !SectionInRange(request, counts, depth)) {
      while (p < st.length && !IsSectionMark(st.text[p])) ++p;
      buffer->length = mark;
      st.pending = pendingBefore;
      st.atStart = atStartBefore;
      continue;
    }
    // Text after a closed section stands apart from it: a space unless the
    // field asks for a line or no space.
    if (closed && buffer->length > 0 && st.pending == kPendingNone) st.pending = kPendingSpace;
    const uint32_t before = buffer->length;
    const uint32_t from = p;
    p = st.Fields(p);
    if (st.failed) break;
    if (buffer->length == before) {
      const uint8_t* level = opened >= 0 ? st.LevelDesc(static_cast<uint32_t>(opened)) : nullptr;
      if (!level || !(LoadLe32(level + kLevelFlags) & kSectionKeepNumber)) {
        buffer->length = mark;
        st.pending = pendingBefore;
        st.atStart = atStartBefore;
      }
    }
    if (st.restart) {
      for (uint16_t& c : counts) c = 0;
      st.restart = false;
    }
    if (st.oneLine && st.pending == kPendingBreak) st.pending = kPendingSpace;
    if (p == from && p < st.length && !IsSectionMark(st.text[p])) ++p;  // never stand still
  }

  if ((st.options & kFetchDictNameAfter) && !st.failed) {
    WCHAR name[kDictNameUnits];
    GetDictShortName(engine, st.slot, name, kDictNameUnits);
    st.Break();
    st.Put('[');
    for (uint32_t i = 0; i < kDictNameUnits && name[i]; ++i) st.Put(name[i]);
    st.Put(']');
  }
  TextBufFinish(buffer);
  return st.failed ? 1 : 0;
}

int FormatDictEntry(DictEngine* engine, const EntryFetchRequest* request, MemHandle* record, TextBuffer* buffer) {
  if (!record) return FormatDictEntryText(engine, request, nullptr, 0, buffer);
  const auto* text = static_cast<const WCHAR*>(record->data);
  return FormatDictEntryText(engine, request, text, GetMemHandleSize(record) / sizeof(WCHAR), buffer);
}

bool InitRawFieldsLayout(DictEngine* engine, uint16_t slot, RawFieldsLayout* layout) {
  *layout = RawFieldsLayout{};
  if (!engine) return false;
  // The formatter's view of a request with kFetchRawFields alone: every
  // class up to 6 shown, sections numbered (as spaces).
  Formatter st;
  st.engine = engine;
  ReadFormatHeader(engine, slot, &st);
  for (uint32_t c = 0; c <= 6; ++c) st.classOn[c] = true;
  constexpr uint32_t kMarks = kMarkFieldLast - kMarkField + 1;
  layout->fieldCount = st.fieldCount < kMarks ? st.fieldCount : kMarks;
  layout->levelCount = st.levelCount;
  for (uint32_t d = 0; d < st.levelCount && d < 32; ++d) {
    const uint8_t* level = st.LevelDesc(d);
    if (level && (LoadLe32(level + kLevelFlags) & kSectionKeepNumber)) layout->keepNumber |= 1u << d;
  }
  for (uint32_t f = 0; f < layout->fieldCount; ++f) {
    const FieldDesc d = st.Desc(f);
    if (!(d.fieldClass < kClassCount && st.classOn[d.fieldClass])) continue;
    if (d.kind < 1 || d.kind > 15) return false;  // written with styles and rendered syllables
    layout->shown[f] = 1;
  }
  return true;
}
