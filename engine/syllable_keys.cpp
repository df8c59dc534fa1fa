#include "engine/syllable_keys.h"

#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/pinyin_table.h"
#include "engine/string_utils.h"
#include "engine/text_compare.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kLastKeyPlace = kSyllableKeyUnits - 1;  // 39: the terminator's place

bool IsAsciiLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool IsSuperscriptDigit(WCHAR c) { return (c >= 0x2070 && c <= 0x2079) || c == 0xB2 || c == 0xB3 || c == 0xB9; }
bool IsZhuyinLetter(WCHAR c) { return c >= 0x3105 && c <= 0x3129; }

struct SplitContext {
  DictEngine* engine;
  uint32_t flags;
  SyllableKeyList* list;
  WCHAR* low;
  WCHAR* high;
  const WCHAR* base;     // the text of the outermost call
  uint64_t* failed;      // per text offset: bit p set when dividing from there at position p failed
  uint32_t textLength;
  uint32_t pairs;
  uint32_t maxPairs;     // 0: no cap
};

bool Full(const SplitContext& ctx) { return ctx.maxPairs != 0 && ctx.pairs >= ctx.maxPairs; }

// Whether the text from `from` on holds no letter (A-Z, a-z, ü, Ü) and no
// CJK character: a syllable ending there is the last of the query.
bool NothingToDivideAfter(const WCHAR* from) {
  for (const WCHAR* p = from; *p; ++p) {
    const WCHAR c = *p;
    if (IsAsciiLetter(c) || c == 0xDC || c == 0xFC || (c >= 0x3400 && c <= 0xD7FF)) return false;
  }
  return true;
}

uint32_t CommonLength(const DictEngine* engine, const WCHAR* text, uint32_t r, char* row) {
  if (!PinyinRow(engine, r, row)) return 0;
  const uint32_t n = PinyinWordCommonLengthNarrow(text, row);
  return n < kSpellingWidth ? n : kSpellingWidth;
}

int Divide(SplitContext& ctx, const WCHAR* text, uint32_t position);

// One candidate of L letters: finds its row (walking down from *row),
// writes its codes and divides the rest. 1 when a division was complete.
int TryCandidate(SplitContext& ctx, const WCHAR* text, uint32_t L, bool last, uint32_t start, uint32_t* row,
                 uint32_t position) {
  if (L == 0) return 0;
  char spelling[kSpellingWidth + 1];
  int32_t syllable = -1;
  for (uint32_t r = *row;; --r) {
    const uint32_t m = CommonLength(ctx.engine, text, r, spelling);
    if (m == L && (m == kSpellingWidth || spelling[m] == ' ')) {
      syllable = static_cast<int32_t>(r);
      *row = r;
      break;
    }
    if (m < L) {
      // Resume the next (shorter) candidate here: the rows passed share more.
      *row = r;
      if (last) syllable = static_cast<int32_t>(start);  // typed in part
      break;
    }
    if (r == 0) {
      *row = 0;
      break;
    }
  }
  if (syllable < 0) return 0;
  // A lone consonant or "ng" cannot stand inside a query.
  if (!last && ((L == 1 && text[0] != u'a' && text[0] != u'e' && text[0] != u'o' && text[0] != u'r') ||
                (L == 2 && text[0] == u'n' && text[1] == u'g'))) {
    return 0;
  }
  WCHAR lowCode = SyllableCode(static_cast<uint32_t>(syllable), 0);
  WCHAR highCode;
  const WCHAR* rest = text + L;
  if (*rest >= u'0' && *rest <= u'5') {
    lowCode = static_cast<WCHAR>(lowCode + (*rest == u'5' ? 0 : *rest - u'0'));
    highCode = static_cast<WCHAR>(lowCode + 1);
    ++rest;
  } else if (last && !(ctx.flags & kParseWholeSyllables)) {
    highCode = SyllableCode(LastPinyinRowWithPrefix(ctx.engine, text, L, start), 5);
  } else {
    highCode = static_cast<WCHAR>(lowCode + 5);
  }
  ctx.low[position] = lowCode;
  ctx.high[position] = highCode;
  return Divide(ctx, rest, position + 1);
}

int DivideLetters(SplitContext& ctx, const WCHAR* text, uint32_t position) {
  const uint32_t count = PinyinRowCount(ctx.engine);
  if (count == 0) return 0;
  char row[kSpellingWidth + 1];
  const uint32_t found = FindPinyinRow(ctx.engine, text, kSpellingWidth);
  uint32_t start;
  if (found >= count) {
    start = count - 1;
  } else if (found > 0 && CommonLength(ctx.engine, text, found - 1, row) >= CommonLength(ctx.engine, text, found, row)) {
    start = found - 1;
  } else {
    start = found;
  }
  const uint32_t k = CommonLength(ctx.engine, text, start, row);
  if (k == 0) return 0;

  const bool splitBeforeVowel = ctx.flags & kParseSplitBeforeVowel;
  int result = 0;
  bool shortened = false;
  bool first = true;
  uint32_t walkFrom = start;
  for (int32_t L = static_cast<int32_t>(k); L >= 1;) {
    uint32_t tried = static_cast<uint32_t>(L);
    if (splitBeforeVowel && (text[tried] == u'a' || text[tried] == u'e' || text[tried] == u'o')) {
      --tried;
      shortened = true;
    }
    const bool last = first && NothingToDivideAfter(text + tried);
    first = false;
    if (TryCandidate(ctx, text, tried, last, start, &walkFrom, position) == 1) {
      result = 1;
      if ((ctx.flags & kParseFirstDivision) || Full(ctx)) return 1;
    }
    L = static_cast<int32_t>(tried) - 1;
  }
  if (shortened) {
    // The letter before a vowel went to the next syllable first; now the
    // longest reading.
    uint32_t from = start;
    if (TryCandidate(ctx, text, k, NothingToDivideAfter(text + k), start, &from, position) == 1) result = 1;
  }
  return result;
}

int Divide(SplitContext& ctx, const WCHAR* text, uint32_t position) {
  // Other characters up to the next letter.
  while (*text && !IsAsciiLetter(*text) && position < kLastKeyPlace) {
    const WCHAR c = *text;
    WCHAR put = c;
    ++text;
    if (IsSuperscriptDigit(c) || (ctx.flags & kParseLettersOnly)) continue;
    if ((c == u' ' || c == u'\'' || c == u'-') && !(ctx.flags & kParseKeepSeparators)) continue;
    if (c == u'_') {
      put = kTypedEllipsis;
    } else if (c == u'.' && text[0] == u'.' && text[1] == u'.') {
      put = kTypedEllipsis;
      text += 2;
    }
    ctx.low[position] = put;
    ctx.high[position] = put;
    ++position;
  }
  // The end of the text, or of the keys: what is left is dropped.
  if (!*text || position >= kLastKeyPlace) {
    ctx.low[position] = 0;
    ctx.high[position] = 0;
    AddSyllableKeyPair(ctx.list, ctx.low, ctx.high);
    ++ctx.pairs;
    return 1;
  }
  const uint32_t offset = static_cast<uint32_t>(text - ctx.base);
  const uint64_t bit = uint64_t{1} << position;
  if (ctx.failed && offset <= ctx.textLength && (ctx.failed[offset] & bit)) return 0;
  const int result = DivideLetters(ctx, text, position);
  if (result == 0 && ctx.failed && offset <= ctx.textLength) ctx.failed[offset] |= bit;
  return result;
}

}  // namespace

int AddSyllableKeyPair(SyllableKeyList* list, const WCHAR* low, const WCHAR* high) {
  if (!list) return 0;
  if (list->count >= list->capacity) {
    const uint32_t capacity = list->storage ? list->capacity + 4 : 2;
    const uint32_t bytes = capacity * static_cast<uint32_t>(sizeof(SyllableKeyItem));
    if (!list->storage) {
      list->storage = NewMemHandle(bytes);
      if (!list->storage) return 1;
    } else {
      UnlockMemHandle(list->storage);
      if (ResizeMemHandle(list->storage, bytes) != 0) {
        list->items = static_cast<SyllableKeyItem*>(LockMemHandle(list->storage));
        return 1;
      }
    }
    list->items = static_cast<SyllableKeyItem*>(LockMemHandle(list->storage));
    list->capacity = capacity;
  }
  SyllableKeyItem& item = list->items[list->count++];
  WideStrCopyN(item.low, low ? low : u"", kSyllableKeyUnits);
  WideStrCopyN(item.high, high ? high : u"", kSyllableKeyUnits);
  return 0;
}

void FreeSyllableKeyList(SyllableKeyList* list) {
  if (!list) return;
  if (list->storage) {
    UnlockMemHandle(list->storage);
    FreeMemHandle(list->storage);
  }
  *list = SyllableKeyList{};
}

int SplitPinyinSyllablesCapped(DictEngine* engine, const WCHAR* text, uint32_t flags, SyllableKeyList* list,
                               WCHAR* low, WCHAR* high, uint32_t position, uint32_t maxPairs) {
  if (!text || !low || !high || position >= kSyllableKeyUnits) return 0;
  SplitContext ctx{};
  ctx.engine = engine;
  ctx.flags = flags;
  ctx.list = list;
  ctx.low = low;
  ctx.high = high;
  ctx.base = text;
  ctx.maxPairs = maxPairs;
  ctx.textLength = WideStrLen(text);
  // Without the record of failed places a query that cannot be divided
  // would be tried every way; it is only an optimisation, so a failed
  // allocation just goes without it.
  ctx.failed = static_cast<uint64_t*>(LocalAlloc(LPTR, (size_t{ctx.textLength} + 1) * sizeof(uint64_t)));
  const int result = Divide(ctx, text, position);
  LocalFree(ctx.failed);
  return result;
}

int SplitPinyinSyllables(DictEngine* engine, const WCHAR* text, uint32_t flags, SyllableKeyList* list, WCHAR* low,
                         WCHAR* high, uint32_t position) {
  return SplitPinyinSyllablesCapped(engine, text, flags, list, low, high, position, kMaxSyllableKeyPairs);
}

int ParseQuerySyllables(DictEngine* engine, const WCHAR* text, uint32_t flags, SyllableKeyList* list) {
  if (!text) text = u"";
  WCHAR low[kSyllableKeyUnits];
  WCHAR high[kSyllableKeyUnits];
  bool zhuyin = false;
  for (uint32_t i = 0; i < kSyllableKeyUnits && text[i]; ++i) zhuyin = zhuyin || IsZhuyinLetter(text[i]);
  if (zhuyin) {
    ParsePinyinQuery(engine, text, low, high, kSyllableKeyUnits, flags);
    AddSyllableKeyPair(list, low, high);
    return 1;
  }
  return SplitPinyinSyllables(engine, text, flags, list, low, high, 0);
}

int ParseQuerySimple(DictEngine* engine, const WCHAR* text) {
  return ParseQuerySyllables(engine, text, kParseLettersOnly | kParseWholeSyllables | kParseFirstDivision, nullptr);
}
