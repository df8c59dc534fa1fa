#include "engine/pinyin.h"

#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/text_buffer.h"
#include "engine/text_compare.h"
#include "engine/pinyin_table.h"

namespace {

bool IsAsciiLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
WCHAR Lower(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c; }
bool IsZhuyinLetter(WCHAR c) { return c >= 0x3105 && c <= 0x3129; }
bool IsZhuyinToneMark(WCHAR c) { return c == 0x02C7 || c == 0x02CA || c == 0x02CB || c == 0x02D9; }
bool IsSuperscriptDigit(WCHAR c) { return (c >= 0x2070 && c <= 0x2079) || c == 0xB2 || c == 0xB3 || c == 0xB9; }

// ---- Zhuyin tables: 3 UTF-16 units a spelling record, 6 an index record.

WCHAR ZhuyinUnit(const EngineBuiltinTable& t, uint32_t record, uint32_t width, uint32_t k) {
  return LoadLe16(t.data + 2 * (record * width + k));
}

// Leading characters of text equal to the index record's zhuyin (a blank
// ends the record).
uint32_t ZhuyinCommon(const EngineBuiltinTable& t, uint32_t record, const WCHAR* text) {
  uint32_t k = 0;
  while (k < 3) {
    const WCHAR r = ZhuyinUnit(t, record, 6, k);
    if (r == u' ' || text[k] == 0 || Lower(text[k]) != r) break;
    ++k;
  }
  return k;
}

int ZhuyinCompare(const EngineBuiltinTable& t, uint32_t record, const WCHAR* text) {
  for (uint32_t k = 0; k < 3; ++k) {
    const WCHAR c = text[k] == 0 ? 0 : Lower(text[k]);
    const WCHAR r = ZhuyinUnit(t, record, 6, k);
    if (r == u' ' && c == 0) return 0;
    if (c != r) return static_cast<int>(c) - static_cast<int>(r);
    if (c == 0) return 0;
  }
  return 0;
}

uint32_t ZhuyinRecordNumber(const EngineBuiltinTable& t, uint32_t record) {
  uint32_t n = 0;
  for (uint32_t k = 3; k < 6; ++k) {
    const WCHAR d = ZhuyinUnit(t, record, 6, k);
    if (d < u'0' || d > u'9') break;
    n = n * 10 + (d - u'0');
  }
  return n;
}

}  // namespace

WCHAR ToneMarkedLetter(DictEngine* engine, WCHAR letter, uint32_t tone) {
  if (tone < 1 || tone > 4) return letter == u'v' ? WCHAR{0xFC} : letter;
  int row;
  switch (letter) {
    case u'a': row = 0; break;
    case u'e': row = 1; break;
    case u'i': row = 2; break;
    case u'o': row = 3; break;
    case u'u': row = 4; break;
    case u'v':
    case 0xFC: row = 5; break;
    case u'A': row = 6; break;
    case u'E': row = 7; break;
    case u'O': row = 8; break;
    case u'n': row = 9; break;
    default: return letter;
  }
  if (!engine || !engine->toneVowels) return letter;
  return engine->toneVowels[4 * row + (tone - 1)];
}

uint32_t FormatSyllableCode(DictEngine* engine, uint32_t flags, WCHAR code, TextBuffer* buffer) {
  if (!engine || code < kSyllableFirst) return 0;
  const uint32_t s = (code - kSyllableFirst) / 5;
  const uint32_t t = (code - kSyllableFirst) % 5;
  const uint32_t toneStyle = flags & kSyllableToneMask;
  switch (flags & kSyllableTableMask) {
    case kSyllablePinyin: {
      char row[kSpellingWidth + 1];
      if (!PinyinRow(engine, s, row)) return 0;
      WCHAR letters[kSpellingWidth];
      uint32_t n = 0;
      while (n < kSpellingWidth && row[n] >= 'a' && row[n] <= 'z') {
        letters[n] = row[n] == 'v' ? WCHAR{0xFC} : static_cast<WCHAR>(row[n]);
        ++n;
      }
      if (n == 0) return 0;
      const bool marks = toneStyle != kSyllableToneDigits && toneStyle != kSyllableNoTone;
      uint32_t written = 0;
      if (marks && (flags & kSyllableJoinMask) == kSyllableFollows &&
          (letters[0] == u'a' || letters[0] == u'e' || letters[0] == u'o')) {
        TextBufAppendChar(buffer, u'\'');
        ++written;
      }
      if ((flags & kSyllableCaseMask) == kSyllableCapital && letters[0] >= u'a' && letters[0] <= u'z')
        letters[0] = static_cast<WCHAR>(letters[0] - 32);
      if (marks && t != 0) {
        // The mark goes on the first a or e; else on o before u; else on the
        // last of i, o, u, ü; else on the first letter.
        int at = -1;
        for (uint32_t k = 0; k < n && at < 0; ++k)
          if (Lower(letters[k]) == u'a' || Lower(letters[k]) == u'e') at = static_cast<int>(k);
        for (uint32_t k = 0; k + 1 < n && at < 0; ++k)
          if (Lower(letters[k]) == u'o' && letters[k + 1] == u'u') at = static_cast<int>(k);
        for (uint32_t k = n; k > 0 && at < 0; --k) {
          const WCHAR c = Lower(letters[k - 1]);
          if (c == u'i' || c == u'o' || c == u'u' || c == 0xFC) at = static_cast<int>(k - 1);
        }
        if (at < 0) at = 0;
        letters[at] = ToneMarkedLetter(engine, letters[at], t);
      }
      for (uint32_t k = 0; k < n; ++k) TextBufAppendChar(buffer, letters[k]);
      written += n;
      if (toneStyle == kSyllableToneDigits) {
        TextBufAppendChar(buffer, static_cast<WCHAR>(t == 0 ? u'5' : u'0' + t));
        ++written;
      }
      return written;
    }
    case kSyllableZhuyin: {
      const EngineBuiltinTable& z = engine->zhuyinSpelling;
      if (!z.data || s >= z.count) return 0;
      uint32_t written = 0;
      for (uint32_t k = 0; k < 3; ++k) {
        const WCHAR c = ZhuyinUnit(z, s, 3, k);
        if (c == u' ') break;
        TextBufAppendChar(buffer, c);
        ++written;
      }
      if (written == 0) return 0;  // the syllable has no zhuyin spelling
      WCHAR mark = 0;
      if (toneStyle == kSyllableToneDigits) {
        if (t != 0) mark = static_cast<WCHAR>(u'0' + t);
      } else if (toneStyle != kSyllableNoTone) {
        static constexpr WCHAR kMarks[5] = {0x02D9, u' ', 0x02CA, 0x02C7, 0x02CB};
        mark = kMarks[t];
      }
      if (mark) {
        TextBufAppendChar(buffer, mark);
        ++written;
      }
      return written;
    }
    default:
      return 0;
  }
}

uint32_t FormatSyllableText(DictEngine* engine, uint32_t flags, const WCHAR* text, TextBuffer* buffer) {
  if (!text) return 0;
  uint32_t written = 0;
  bool afterSyllable = false;
  bool capitalNext = false;
  bool anySyllable = false;
  for (; *text; ++text) {
    const WCHAR c = *text;
    if (c >= kSyllableFirst && c <= kSyllableLastArea) {
      if (anySyllable && (flags & kSyllableAtSigns)) {
        TextBufAppendChar(buffer, u'@');
        ++written;
      }
      uint32_t f = (flags & ~kSyllableCaseMask) | (capitalNext ? 0x20u : 0x10u);
      const bool follows = afterSyllable && (flags & kSyllableJoinMask) != 0x100;
      f = (f & ~kSyllableJoinMask) | (follows ? 0x200u : 0x100u);
      written += FormatSyllableCode(engine, f, c, buffer);
      afterSyllable = true;
      anySyllable = true;
      capitalNext = false;
    } else if (c == kSyllableSeparator) {
      capitalNext = true;
    } else if (c >= kSyllableMarkFirst && c <= kSyllableMarkLast) {
      // reserved marks are never shown
    } else {
      TextBufAppendChar(buffer, c);
      ++written;
      afterSyllable = false;
    }
  }
  return written;
}

WCHAR MatchPinyinSyllable(const WCHAR** textp, DictEngine* engine, WCHAR* high, bool definiteTone, bool lettersOnly,
                          bool wholeSyllable) {
  const WCHAR* text = *textp;
  const uint32_t count = PinyinRowCount(engine);
  if (!text || !text[0]) {
    if (high) *high = kSyllableNone;
    return kSyllableNone;
  }
  // The longest spelling the text begins with; walking down from the
  // search's place, a lower row wins a tie (it is the shorter spelling).
  if (count == 0) {
    *textp = text + 1;
    if (high) *high = kSyllableNone;
    return kSyllableNone;
  }
  const uint32_t found = FindPinyinRow(engine, text, kSpellingWidth);
  const uint32_t start = found < count ? found : count - 1;
  uint32_t best = 0;
  uint32_t bestRow = 0;
  for (uint32_t r = start + 1; r-- > 0;) {
    char row[kSpellingWidth + 1];
    if (!PinyinRow(engine, r, row)) continue;
    uint32_t n = PinyinCommonLengthNarrow(text, row);
    if (n > kSpellingWidth) n = kSpellingWidth;
    while (n > 0 && text[n - 1] == u' ') --n;
    if (n == 0) {
      if (r < start) break;  // rows below no longer share the first letter
      continue;
    }
    const WCHAR next = Lower(text[n]);
    const bool vowelNext = next == u'a' || next == u'e' || next == u'i' || next == u'o' || next == u'u' || next == u'v';
    if (vowelNext && n >= 3 && Lower(text[n - 2]) == u'n' && Lower(text[n - 1]) == u'g') {
      n -= 2;
    } else if (vowelNext && n >= 2 && Lower(text[n - 1]) == u'n') {
      n -= 1;
    }
    if (n >= best) {
      best = n;
      bestRow = r;
    }
  }
  const WCHAR first = Lower(text[0]);
  if (best == 0 ||
      (lettersOnly && best == 1 && first != u'a' && first != u'e' && first != u'o' && first != u'r')) {
    *textp = text + 1;
    if (high) *high = kSyllableNone;
    return kSyllableNone;
  }
  WCHAR code = SyllableCode(bestRow, 0);
  text += best;
  WCHAR h;
  if (*text >= u'0' && *text <= u'5') {
    code = static_cast<WCHAR>(code + (*text == u'5' ? 0 : *text - u'0'));
    h = static_cast<WCHAR>(code + 1);
    ++text;
  } else if (definiteTone) {
    h = static_cast<WCHAR>(code + 1);
  } else if (*text == 0 && !wholeSyllable) {
    h = SyllableCode(LastPinyinRowWithPrefix(engine, *textp, best, bestRow), 5);
  } else {
    h = static_cast<WCHAR>(code + 5);
  }
  if (high) *high = h;
  *textp = text;
  return code;
}

WCHAR MatchZhuyinSyllable(const WCHAR** textp, DictEngine* engine, WCHAR* high, bool definiteTone) {
  const WCHAR* text = *textp;
  const EngineBuiltinTable& z = engine ? engine->zhuyinIndex : EngineBuiltinTable{};
  if (!text || !text[0] || !z.data || z.count == 0) {
    if (text && text[0]) *textp = text + 1;
    if (high) *high = kSyllableNone;
    return kSyllableNone;
  }
  uint32_t lo = 0, hi = z.count;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (ZhuyinCompare(z, mid, text) > 0) lo = mid + 1;
    else hi = mid;
  }
  const uint32_t start = lo < z.count ? lo : z.count - 1;
  uint32_t best = 0, bestRecord = 0;
  for (uint32_t r = start + 1; r-- > 0;) {
    const uint32_t n = ZhuyinCommon(z, r, text);
    if (n == 0 && r < start) break;
    if (n > 0 && n >= best) {
      best = n;
      bestRecord = r;
    }
  }
  if (best == 0) {
    *textp = text + 1;
    if (high) *high = kSyllableNone;
    return kSyllableNone;
  }
  WCHAR code = SyllableCode(ZhuyinRecordNumber(z, bestRecord), 0);
  text += best;
  WCHAR h;
  int tone = -1;
  if (*text >= u'0' && *text <= u'5') tone = *text == u'5' ? 0 : *text - u'0';
  else if (*text == 0x02CA) tone = 2;
  else if (*text == 0x02C7) tone = 3;
  else if (*text == 0x02CB) tone = 4;
  else if (*text == 0x02D9) tone = 0;
  if (tone >= 0) {
    code = static_cast<WCHAR>(code + tone);
    h = static_cast<WCHAR>(code + 1);
    ++text;
  } else if (definiteTone) {
    code = static_cast<WCHAR>(code + 1);
    h = static_cast<WCHAR>(code + 1);
  } else {
    h = static_cast<WCHAR>(code + 5);
  }
  if (high) *high = h;
  *textp = text;
  return code;
}

void ParsePinyinQuery(DictEngine* engine, const WCHAR* text, WCHAR* low, WCHAR* high, uint32_t size, uint32_t flags) {
  if (size == 0 || !low) return;
  uint32_t n = 0;
  auto put = [&](WCHAR l, WCHAR h) {
    low[n] = l;
    if (high) high[n] = h;
    ++n;
  };
  bool zhuyin = false;
  for (const WCHAR* p = text; p && *p; ++p) zhuyin = zhuyin || IsZhuyinLetter(*p);
  while (text && *text && n + 1 < size) {
    const WCHAR c = *text;
    if (zhuyin ? (IsZhuyinLetter(c) || IsZhuyinToneMark(c)) : IsAsciiLetter(c)) {
      if (!zhuyin && (flags & kParseCapitalWords) && c >= u'A' && c <= u'Z') {
        if (size - n < 3) break;
        put(kSyllableSeparator, kSyllableSeparator);
      }
      WCHAR h = 0;
      const WCHAR code =
          zhuyin ? MatchZhuyinSyllable(&text, engine, &h, flags & kParseDefiniteTone)
                 // A single letter may end the text (typed in part), so
                 // letters only holds while more text follows.
                 : MatchPinyinSyllable(&text, engine, &h, flags & kParseDefiniteTone,
                                       (flags & kParseLettersOnly) && text[1] != 0, flags & kParseWholeSyllables);
      put(code, h);
      continue;
    }
    ++text;
    if (flags & kParseLettersOnly) continue;
    if ((c == u' ' || c == u'\'' || c == u'-') && (zhuyin || !(flags & kParseKeepSeparators))) continue;
    if (IsSuperscriptDigit(c)) continue;
    if (c == u'_') {
      put(kTypedEllipsis, kTypedEllipsis);
    } else if (c == u'.' && text[0] == u'.' && text[1] == u'.') {
      text += 2;
      put(kTypedEllipsis, kTypedEllipsis);
    } else {
      put(c, c);
    }
  }
  low[n] = 0;
  if (high) high[n] = 0;
}
