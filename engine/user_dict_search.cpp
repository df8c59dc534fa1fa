#include "engine/user_dict_search.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_formatter.h"
#include "engine/latin_fold.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search_methods.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/string_utils.h"
#include "engine/syllable_keys.h"
#include "engine/text_buffer.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/utf8.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

bool IsCjk(WCHAR c) { return (c >= 0x3400 && c <= 0xFAFF) || (c >= 0xD800 && c <= 0xDBFF); }
bool IsSyllableCode(WCHAR c) { return c >= kSyllableFirst && c <= kSyllableLastArea; }
bool IsAsciiLetter(WCHAR c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Characters of a headword the matcher compares: CJK characters, ASCII
// letters, digits and U+2026.
uint32_t KeepMatchChars(const WCHAR* text, WCHAR* out) {
  uint32_t n = 0;
  for (const WCHAR* p = text; p && *p && n < kMatchTextMax; ++p) {
    const WCHAR c = *p;
    if (IsCjk(c) || (c >= 0xDC00 && c <= 0xDFFF) || IsAsciiLetter(c) || (c >= u'0' && c <= u'9') ||
        c == kTypedEllipsis)
      out[n++] = c;
  }
  out[n] = 0;
  return n;
}

struct MatchState {
  const WCHAR* query;
  const WCHAR* bounds;
  uint32_t queryLength;
  WCHAR single;
  WCHAR any;
  const WCHAR* texts[3];  // word, altword, pron codes; null when not compared
  uint32_t lengths[3];
  uint32_t longest;
  bool whole;
  // Results of walks from (query position, entry position) after an
  // any-run wildcard: -1 not known yet. Without it several any-runs take
  // exponential time.
  int32_t* memo;
};

bool AnyTextEndsAt(const MatchState& m, uint32_t e) {
  for (int k = 0; k < 3; ++k)
    if (m.texts[k] && e >= m.lengths[k]) return true;
  return false;
}

bool EveryTextEndsAt(const MatchState& m, uint32_t e) {
  for (int k = 0; k < 3; ++k)
    if (m.texts[k] && e != m.lengths[k]) return false;
  return true;
}

WCHAR TextAt(const MatchState& m, int k, uint32_t e) {
  return m.texts[k] && e < m.lengths[k] ? m.texts[k][e] : 0;
}

// Query positions matched walking from query position q and entry
// position e.
uint32_t Walk(MatchState& m, uint32_t q, uint32_t e) {
  uint32_t walked = 0;
  for (;;) {
    if (q == m.queryLength) return !m.whole || EveryTextEndsAt(m, e) ? walked : 0;
    if (!m.whole) {
      bool allEnded = true;
      for (int k = 0; k < 3; ++k)
        if (m.texts[k] && e < m.lengths[k]) allEnded = false;
      if (allEnded) return walked;
    }
    const WCHAR c = m.query[q];
    if (c == m.single) {
      if (AnyTextEndsAt(m, e)) return walked;
    } else if (c == m.any) {
      // A trailing any-run takes the rest of the entry and counts nothing.
      if (q + 1 == m.queryLength) return walked;
      for (uint32_t j = e; j <= m.longest; ++j) {
        // Without whole-match the walk may end with the entry; with it the
        // rest of the query must still match there.
        if (!m.whole && AnyTextEndsAt(m, j)) return walked;
        const uint32_t slot = (q + 1) * (kMatchTextMax + 1) + j;
        int32_t r = m.memo[slot];
        if (r < 0) {
          r = static_cast<int32_t>(Walk(m, q + 1, j));
          m.memo[slot] = r;
        }
        if (r > 0) return walked + 1 + static_cast<uint32_t>(r);
      }
      return m.whole ? 0 : walked;
    } else if (IsSyllableCode(c)) {
      const WCHAR high = m.bounds && m.bounds[q] > c ? m.bounds[q] : static_cast<WCHAR>(c + 1);
      const WCHAR p = TextAt(m, 2, e);
      if (!(p >= c && p < high)) return !m.whole || (m.texts[2] && e == m.lengths[2]) ? walked : 0;
    } else if (IsCjk(c)) {
      if (TextAt(m, 0, e) != c && TextAt(m, 1, e) != c) {
        if (!m.whole) return walked;
        const bool ends = (m.texts[0] && e == m.lengths[0]) || (m.texts[1] && e == m.lengths[1]);
        return ends ? walked : 0;
      }
    } else if (TextAt(m, 0, e) != c && TextAt(m, 1, e) != c && TextAt(m, 2, e) != c) {
      return m.whole ? 0 : walked;
    }
    // A surrogate pair is one character of the match.
    if (!(c >= 0xDC00 && c <= 0xDFFF)) ++walked;
    ++q;
    ++e;
  }
}

void AppendAscii(TextBuffer* tb, const char* s) {
  for (; *s; ++s) TextBufAppendChar(tb, static_cast<WCHAR>(*s));
}

// The pinyin of one code with its tone digit.
uint32_t SyllableText(DictEngine* engine, WCHAR code, WCHAR* out, uint32_t size) {
  TextBuffer tb{out, size, nullptr, 0};
  FormatSyllableCode(engine, kSyllablePinyin | 0x100 | kSyllableToneDigits, code, &tb);
  TextBufFinish(&tb);
  return tb.length;
}

WCHAR* FinishPattern(TextBuffer* tb) {
  TextBufFinish(tb);
  if (!tb->handle) return nullptr;
  const uint32_t n = tb->length;
  auto* out = static_cast<WCHAR*>(LocalAlloc(LPTR, (n + 1) * sizeof(WCHAR)));
  if (out) std::memcpy(out, tb->handle->data, n * sizeof(WCHAR));
  FreeMemHandle(tb->handle);
  return out;
}

}  // namespace

uint32_t MatchUserDictEntry(DictEngine* engine, WCHAR singleWildcard, WCHAR anyWildcard, const WCHAR* query,
                            const WCHAR* bounds, const WCHAR* word, const WCHAR* altword, const WCHAR* pron,
                            int wholeMatch) {
  const uint32_t queryLength = WideStrLen(query);
  if (queryLength == 0 || queryLength > kMatchTextMax) return 0;
  bool hasCjk = false;
  bool hasSyllable = false;
  bool hasOther = false;
  for (uint32_t i = 0; i < queryLength; ++i) {
    const WCHAR c = query[i];
    if (c == singleWildcard || c == anyWildcard) continue;
    if (IsSyllableCode(c)) hasSyllable = true;
    else if (IsCjk(c)) hasCjk = true;
    else hasOther = true;
  }
  WCHAR w[kMatchTextMax + 1], a[kMatchTextMax + 1], p[kMatchTextMax + 1];
  MatchState m{};
  m.query = query;
  m.bounds = bounds;
  m.queryLength = queryLength;
  m.single = singleWildcard;
  m.any = anyWildcard;
  m.whole = wholeMatch != 0;
  if (hasCjk || hasOther) {
    if (word && word[0]) {
      m.lengths[0] = KeepMatchChars(word, w);
      m.texts[0] = w;
    }
    if (altword && altword[0]) {
      m.lengths[1] = KeepMatchChars(altword, a);
      m.texts[1] = a;
    }
  }
  if (hasSyllable && pron && pron[0]) {
    ParsePinyinQuery(engine, pron, p, nullptr, kMatchTextMax + 1,
                     kParseDefiniteTone | kParseLettersOnly | kParseWholeSyllables);
    m.lengths[2] = WideStrLen(p);
    m.texts[2] = p;
  }
  if (!m.texts[0] && !m.texts[1] && !m.texts[2]) return 0;
  for (uint32_t k : m.lengths) m.longest = k > m.longest ? k : m.longest;
  const uint32_t cells = (kMatchTextMax + 2) * (kMatchTextMax + 1);
  m.memo = static_cast<int32_t*>(LocalAlloc(LMEM_FIXED, cells * sizeof(int32_t)));
  if (!m.memo) return 0;
  std::memset(m.memo, 0xFF, cells * sizeof(int32_t));
  const uint32_t matched = Walk(m, 0, 0);
  LocalFree(m.memo);
  return matched;
}

WCHAR* MakeHeadwordLikePattern(DictEngine* engine, const WCHAR* text, uint32_t length, int trailingAny,
                               int markers) {
  if (!text) return nullptr;
  if (length == 0) length = WideStrLen(text);
  const auto single = static_cast<WCHAR>(GetPref(engine, kPrefSingleWildcard));
  const auto any = static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard));
  TextBuffer tb{};
  TextBufInit(&tb);
  for (uint32_t i = 0; i < length && text[i]; ++i) {
    const WCHAR c = text[i];
    if (IsSyllableCode(c) || (c == single && single)) {
      // One character of any kind; a leading one is the first character,
      // which has no '@' before it.
      AppendAscii(&tb, i == 0 ? "_" : "%@_");
    } else if (c == any && any) {
      AppendAscii(&tb, "%");
    } else if (IsCjk(c)) {
      if (i > 0) AppendAscii(&tb, "%@");
      TextBufAppendChar(&tb, c);
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1]) TextBufAppendChar(&tb, text[++i]);
    } else if (c != u'%' && c != u'_' && c != u'\\') {
      // A typed LIKE metacharacter would act as a wildcard; key forms never
      // hold one, so it is left out.
      TextBufAppendChar(&tb, c);
    }
    if (markers && i + 1 < length && text[i + 1]) TextBufAppendChar(&tb, kPatternMarker);
  }
  if (trailingAny) AppendAscii(&tb, "%");
  return FinishPattern(&tb);
}

WCHAR* MakePronLikePattern(DictEngine* engine, const WCHAR* text, const WCHAR* bounds, uint32_t length,
                           int trailingAny, int markers) {
  if (!text) return nullptr;
  if (length == 0) length = WideStrLen(text);
  const auto single = static_cast<WCHAR>(GetPref(engine, kPrefSingleWildcard));
  const auto any = static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard));
  TextBuffer tb{};
  TextBufInit(&tb);
  for (uint32_t i = 0; i < length && text[i]; ++i) {
    const WCHAR c = text[i];
    if (IsSyllableCode(c)) {
      if (i > 0) AppendAscii(&tb, "%@");
      const WCHAR bound = bounds && bounds[i] > c ? bounds[i] : static_cast<WCHAR>(c + 1);
      WCHAR low[12], high[12];
      const uint32_t n = SyllableText(engine, c, low, 12);
      if (bound - 1 <= c) {
        TextBufAppendWide(&tb, low, n);
      } else {
        SyllableText(engine, static_cast<WCHAR>(bound - 1), high, 12);
        uint32_t k = 0;
        while (low[k] && low[k] == high[k] && !(low[k] >= u'0' && low[k] <= u'9')) ++k;
        TextBufAppendWide(&tb, low, k);
        AppendAscii(&tb, "_");
        if (bound - c >= 6) AppendAscii(&tb, "%");
      }
    } else if (IsCjk(c)) {
      AppendAscii(&tb, i == 0 ? "_" : "%@_");
    } else if (c == single && single) {
      AppendAscii(&tb, "_%@");
    } else if (c == any && any) {
      AppendAscii(&tb, "%");
    } else if (c != u'%' && c != u'_' && c != u'\\') {
      // A typed LIKE metacharacter would act as a wildcard; key forms never
      // hold one, so it is left out.
      TextBufAppendChar(&tb, c);
    }
    if (markers && i + 1 < length && text[i + 1]) TextBufAppendChar(&tb, kPatternMarker);
  }
  if (trailingAny) AppendAscii(&tb, "%");
  return FinishPattern(&tb);
}

int SearchUserDictAlphadex(DictEngine* engine, uint16_t slot, const WCHAR* query, SearchResultList* list) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  if (!query || !list) return 2;
  const auto single = static_cast<WCHAR>(GetPref(engine, kPrefSingleWildcard));
  const auto any = static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard));
  // The stored words hold letters only; so does the pattern, beside the
  // wildcards. A typed '%' or '_' therefore never acts as a wildcard.
  WCHAR pattern[kFoldKeyMaxUnits + 2];
  uint32_t n = 0;
  for (const WCHAR* p = query; *p && n < kFoldKeyMaxUnits; ++p) {
    if (*p == single && single) {
      pattern[n++] = u'_';
    } else if (*p == any && any) {
      pattern[n++] = u'%';
    } else {
      WCHAR one[2] = {*p, 0};
      WCHAR key[4];
      const uint32_t k = FoldToKeyCopy(key, 4, one, false);
      for (uint32_t i = 0; i < k && n < kFoldKeyMaxUnits; ++i) pattern[n++] = key[i];
    }
  }
  if (n == 0) return 2;
  EngineLockGuard lock;
  for (uint32_t len = n; len >= 1; --len) {
    pattern[len] = u'%';
    pattern[len + 1] = 0;
    SqlTerm where{};
    where.column = 0;
    where.op = kSqlOpLike;
    where.wtext = pattern;
    SqlTerm select{};
    select.column = 1;
    SqlTerm order{};
    order.column = 0;
    SqlQuery q{};
    q.table = kUserDictAlphadexTable;
    q.columns = kAlphadexColumns;
    q.columnCount = 2;
    q.where = &where;
    q.whereCount = 1;
    q.select = &select;
    q.selectCount = 1;
    q.order = &order;
    q.orderCount = 1;
    q.limit = 1;
    sqlite3_stmt* stmt = SqlPrepareSelect(s->db, &q);
    if (!stmt) return 2;
    const bool hit = SqlIsRow(SqlStep(stmt));
    const int32_t uid = hit ? SqlColumnInt(stmt, 0) : -1;
    SqlFinalize(stmt);
    if (hit) {
      AddResultListItem(list, slot, static_cast<uint32_t>(uid));
      list->bestMatch = len;
      return len == n ? 0 : 1;
    }
  }
  return 2;
}

namespace {

constexpr WCHAR kBoldOn = 0xEAB2;
constexpr WCHAR kBoldOff = 0xEAB3;
constexpr WCHAR kColorOn = 0xEAC1;
constexpr WCHAR kColorOff = 0xEAC2;
constexpr WCHAR kLinkOn = 0xEAC5;
constexpr WCHAR kLinkOff = 0xEAC6;
constexpr uint32_t kFormText = 256;

// A style code with its 30-bit argument in two units, high half first.
void AppendStyle(TextBuffer* tb, WCHAR code, uint32_t value) {
  TextBufAppendChar(tb, code);
  TextBufAppendChar(tb, static_cast<WCHAR>((value >> 15) | 0x8000));
  TextBufAppendChar(tb, static_cast<WCHAR>((value & 0x7FFF) | 0x8000));
}

bool IsDisplayCjk(WCHAR c) { return (c >= 0x3400 && c <= 0xFAFF) || (c >= 0xEE00 && c <= 0xEFFF) || (c >= 0xD800 && c <= 0xDBFF); }

// Stored UTF-8 to UTF-16 with the key marks removed; empty for NULL.
void DecodeStored(const char* utf8, WCHAR* out, uint32_t units, bool strip) {
  out[0] = 0;
  if (utf8) Utf8ToWide(utf8, out, units, nullptr, nullptr);
  if (strip) StripKeyMarks(out);
}

uint32_t CountCjk(const WCHAR* s) {
  uint32_t n = 0;
  for (; *s; ++s)
    if (IsDisplayCjk(*s)) ++n;
  return n;
}

bool Equal(const WCHAR* a, const WCHAR* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

int FormatUserDictEntry(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* tb, const char* word,
                        const char* altword, const char* pron, const char* defn) {
  if (!request || !tb) return 0;
  const uint32_t options = request->options;
  if (options & kFetchClassMask) {
    if (!(request->classMask & 1)) word = altword = nullptr;
    if (!(request->classMask & 2)) pron = nullptr;
    if (!(request->classMask & 8)) defn = nullptr;
  }
  WCHAR w[kFormText], a[kFormText], p[kFormText], codes[kFormText];
  DecodeStored(word, w, kFormText, true);
  DecodeStored(altword, a, kFormText, true);
  DecodeStored(pron, p, kFormText, true);
  if (a[0] && Equal(a, w)) a[0] = 0;
  codes[0] = 0;
  if (p[0]) {
    ParsePinyinQuery(engine, p, codes, nullptr, kFormText,
                     kParseDefiniteTone | kParseCapitalWords | kParseKeepSeparators);
    StripKeyMarks(codes);
  }
  const bool plain = (options & kFetchRawFields) || request->suppressStyles == 0xFFFFFFFFu;
  const bool hasDefn = defn && defn[0];

  if (!a[0] && !p[0] && CountCjk(w) == 0) {
    TextBufAppendChar(tb, kBoldOn);
    TextBufAppendWide(tb, w, 0);
    TextBufAppendChar(tb, kBoldOff);
    if (hasDefn) {
      TextBufAppendChar(tb, u' ');
      TextBufAppendUtf8(tb, defn, 0);
    }
    return 0;
  }
  const WCHAR separator = GetPref(engine, 109) && !(options & kFetchOneLine) ? u'\n' : u' ';

  // The headword forms.
  uint32_t tones[kFormText];
  uint32_t toneCount = 0;
  if ((options & kFetchToneColors) && !plain)
    for (const WCHAR* c = codes; *c && toneCount < kFormText; ++c)
      if (IsSyllableCode(*c)) tones[toneCount++] = (*c - kSyllableFirst) % 5;
  uint32_t formCount = 0;
  const WCHAR* order[2] = {};
  if ((options & kFetchSecondFormFirst) && a[0]) {
    order[formCount++] = a;
    if ((options & kFetchOtherFormBracket) && w[0]) order[formCount++] = w;
  } else {
    if (w[0]) order[formCount++] = w;
    if (a[0] && ((options & kFetchOtherFormBracket) || !w[0])) order[formCount++] = a;
  }
  const int32_t limit = GetPref(engine, 110);
  const uint32_t linkValue = request->enlargedSize;
  bool linkOpen = false;
  if ((options & 0x80) && linkValue && !plain && formCount &&
      (limit <= 0 || CountCjk(order[0]) <= static_cast<uint32_t>(limit))) {
    AppendStyle(tb, kLinkOn, linkValue);
    linkOpen = true;
  }
  for (uint32_t f = 0; f < formCount; ++f) {
    const WCHAR* form = order[f];
    if (f > 0) {
      if (linkOpen && (options & 0x100)) {
        TextBufAppendChar(tb, kLinkOff);
        linkOpen = false;
      }
      TextBufAppendChar(tb, u'[');
    }
    uint32_t syllable = 0;
    for (uint32_t i = 0; form[i]; ++i) {
      WCHAR c = form[i];
      if (f > 0 && (options & kFetchBracketDashMain) && IsDisplayCjk(c) && i < WideStrLen(order[0]) &&
          order[0][i] == c)
        c = u'-';
      const bool colored = IsDisplayCjk(c) && syllable < toneCount;
      if (colored) AppendStyle(tb, kColorOn, GetToneColor(engine, tones[syllable]));
      TextBufAppendChar(tb, c);
      if (c >= 0xD800 && c <= 0xDBFF && form[i + 1] >= 0xDC00 && form[i + 1] <= 0xDFFF) {
        TextBufAppendChar(tb, form[++i]);
      }
      if (c == u'/') {
        if (syllable > 0) --syllable;
      } else if (IsDisplayCjk(c) || IsAsciiLetter(c) || c == u'-') {
        ++syllable;
        if (colored) TextBufAppendChar(tb, kColorOff);
      }
    }
    if (f > 0) TextBufAppendChar(tb, u']');
  }
  if (linkOpen) TextBufAppendChar(tb, kLinkOff);
  if (p[0] || hasDefn) TextBufAppendChar(tb, separator);

  if (p[0]) {
    if (!plain) TextBufAppendChar(tb, kBoldOn);
    if (options & kFetchRawSyllables) {
      TextBufAppendWide(tb, p, 0);
    } else {
      FormatSyllableText(engine, request->syllableFormat ? request->syllableFormat : 4097, codes, tb);
    }
    if (!plain) TextBufAppendChar(tb, kBoldOff);
    if (hasDefn) TextBufAppendChar(tb, separator);
  }
  if (hasDefn) TextBufAppendUtf8(tb, defn, 0);
  return 0;
}

int LoadUserDictEntryText(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer) {
  if (!request || !buffer) return 0;
  DictSlot* s = GetUserDictSlot(engine, static_cast<uint16_t>(request->slot));
  if (!s) return 0;
  EngineLockGuard lock;
  sqlite3_stmt* stmt = SelectUserDictEntry(s->db, static_cast<int32_t>(request->entry));
  if (!stmt) return 1;
  if (!SqlIsRow(SqlStep(stmt))) {
    SqlFinalize(stmt);
    return kUserDictNoEntry;
  }
  FormatUserDictEntry(engine, request, buffer, SqlColumnText(stmt, 0), SqlColumnText(stmt, 1),
                      SqlColumnText(stmt, 2), SqlColumnText(stmt, 3));
  SqlFinalize(stmt);
  if (request->options & kFetchDictNameAfter) {
    WCHAR name[kDictNameUnits + 1];
    GetDictShortName(engine, static_cast<uint16_t>(request->slot), name, kDictNameUnits + 1);
    TextBufAppendChar(buffer, u'\n');
    TextBufAppendChar(buffer, u'[');
    TextBufAppendWide(buffer, name, 0);
    TextBufAppendChar(buffer, u']');
  }
  return 0;
}

namespace {

constexpr uint32_t kScanRounds = 16;

// Cuts a pattern back by one piece: at its last marker, or by its last
// character while more than `keep` remain. false when nothing was cut.
bool ShortenPattern(WCHAR* pattern, uint32_t keep) {
  if (!pattern) return false;
  uint32_t n = WideStrLen(pattern);
  for (uint32_t i = n; i > 0; --i)
    if (pattern[i - 1] == kPatternMarker) {
      pattern[i - 1] = 0;
      return true;
    }
  if (n <= keep) return false;
  pattern[n - 1] = 0;
  return true;
}

// The pattern as sent: markers removed.
void PatternText(const WCHAR* pattern, WCHAR* out, uint32_t size) {
  uint32_t n = 0;
  for (const WCHAR* p = pattern; p && *p && n + 1 < size; ++p)
    if (*p != kPatternMarker) out[n++] = *p;
  out[n] = 0;
}

SqlTerm LikeTerm(uint32_t column, const WCHAR* pattern) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.op = kSqlOpLike;
  t.wtext = pattern;
  return t;
}

}  // namespace

int SearchUserDictTable(DictEngine* engine, const SearchMethod* method, uint16_t slot, SearchResultList* list) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  if (!method || !method->query || !list) return kSearchNothing;
  const auto single = static_cast<WCHAR>(GetPref(engine, kPrefSingleWildcard));
  const auto any = static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard));
  const bool prefix = method->wholeKey != 0;
  const bool shorten = method->keepPartial != 0;
  const bool chinese = method->kind == kSearchChineseHeadword || method->kind == kSearchChineseWildcard;
  if (!chinese && method->kind != kSearchEnglishHeadword && method->kind != kSearchEnglishWildcard)
    return kSearchNothing;

  WCHAR low[kMatchTextMax + 1], high[kMatchTextMax + 1];
  low[0] = high[0] = 0;
  uint32_t queryLength = 0;
  bool hasCjk = false, hasSyllable = false;
  WCHAR* word = nullptr;
  WCHAR* pron = nullptr;
  if (chinese) {
    ParsePinyinQuery(engine, method->query, low, high, kMatchTextMax + 1, 0);
    // In characters: a surrogate pair counts once, as in the stored length.
    for (uint32_t i = 0; low[i]; ++i) {
      if (IsSyllableCode(low[i])) hasSyllable = true;
      else if (IsCjk(low[i])) hasCjk = true;
      if (!(low[i] >= 0xDC00 && low[i] <= 0xDFFF)) ++queryLength;
    }
    const bool cut = shorten && !prefix && !hasSyllable;
    if (hasCjk || !hasSyllable) word = MakeHeadwordLikePattern(engine, low, 0, prefix && !cut, 1);
    if (hasSyllable) pron = MakePronLikePattern(engine, low, high, 0, prefix, 1);
    if (cut && word) {
      // Only the first unit, then anything.
      for (WCHAR* p = word; *p; ++p)
        if (*p == kPatternMarker) {
          p[0] = u'%';
          p[1] = 0;
          break;
        }
    }
  } else {
    // English: letters of the query, wildcards as LIKE wildcards.
    queryLength = WideStrLen(method->query);
    word = static_cast<WCHAR*>(LocalAlloc(LPTR, (queryLength + 2) * sizeof(WCHAR)));
    if (!word) return kSearchNothing;
    uint32_t n = 0;
    for (const WCHAR* p = method->query; *p; ++p) {
      WCHAR c = *p;
      if (method->kind == kSearchEnglishWildcard && c == single) c = u'_';
      else if (method->kind == kSearchEnglishWildcard && c == any) c = u'%';
      else if (c == u'%' || c == u'_' || c == u'\\') continue;
      word[n++] = c;
    }
    if (prefix) word[n++] = u'%';
    word[n] = 0;
  }

  EngineLockGuard lock;
  const uint32_t before = list->count;
  uint32_t best = 0;
  uint32_t shortest = 0xFFFFFFFF;
  bool any_hit = false;
  for (uint32_t round = 0; round < kScanRounds && !any_hit; ++round) {
    WCHAR wordText[512], pronText[512];
    PatternText(word, wordText, 512);
    PatternText(pron, pronText, 512);
    SqlTerm where[3];
    uint32_t whereCount = 0;
    if (word) where[whereCount++] = LikeTerm(kUdWord, wordText);
    if (pron) where[whereCount++] = LikeTerm(kUdPron, pronText);
    if (chinese && ((!prefix && !shorten) || (queryLength == 1 && GetPref(engine, 135)))) {
      SqlTerm t{};
      t.column = kUdLength;
      t.value = static_cast<int32_t>(queryLength);
      where[whereCount++] = t;
    }
    const bool patterns = chinese;
    SqlTerm select[5];
    const uint32_t columns[5] = {kUdUid, kUdLength, kUdWord, kUdAltWord, kUdPron};
    for (int i = 0; i < 5; ++i) {
      select[i] = SqlTerm{};
      select[i].column = static_cast<int16_t>(columns[i]);
    }
    SqlQuery q[2] = {};
    for (SqlQuery& one : q) {
      one.table = kUserDictEntriesTable;
      one.columns = kUserDictEntryColumns;
      one.columnCount = kUdEntryColumnCount;
      one.select = select;
      one.selectCount = patterns ? 5 : 2;
      one.distinct = 1;
    }
    q[0].where = where;
    q[0].whereCount = whereCount;
    SqlTerm altWhere[3];
    for (uint32_t i = 0; i < whereCount; ++i) altWhere[i] = where[i];
    altWhere[0].column = kUdAltWord;
    q[1].where = altWhere;
    q[1].whereCount = whereCount;
    sqlite3_stmt* stmt = nullptr;
    if (chinese && word) {
      const uint32_t unionAt[1] = {1};
      stmt = SqlPrepareCompound(s->db, q, 2, unionAt, 1, kSqlNoJoin);
    } else {
      stmt = SqlPrepareSelect(s->db, &q[0]);
    }
    if (!stmt) break;
    while (SqlIsRow(SqlStep(stmt))) {
      const int32_t uid = SqlColumnInt(stmt, 0);
      const auto rowLength = static_cast<uint32_t>(SqlColumnInt(stmt, 1));
      uint32_t matched = 0;
      if (patterns) {
        WCHAR* w = WideStrDup(SqlColumnText16(stmt, 2));
        WCHAR* a = WideStrDup(SqlColumnText16(stmt, 3));
        WCHAR* p = WideStrDup(SqlColumnText16(stmt, 4));
        matched = MatchUserDictEntry(engine, single, any, low, high, w, a, p, !prefix);
        if (w) LocalFree(w);
        if (a) LocalFree(a);
        if (p) LocalFree(p);
        if (matched == 0) continue;
        if (matched > best && list->count > before) DropResultListTail(list, list->count - before);
        if (matched < best) continue;
        best = matched;
      }
      if (!prefix && rowLength > matched && patterns) continue;
      const uint32_t kept = patterns ? (matched < rowLength ? matched : rowLength) : rowLength;
      if (!patterns && kept > best) best = kept;
      if (kept < shortest) shortest = kept;
      AddResultListItem(list, slot, static_cast<uint32_t>(uid));
      any_hit = true;
    }
    SqlFinalize(stmt);
    if (any_hit || !shorten) break;
    const bool cutWord = word && ShortenPattern(word, 2);
    const bool cutPron = pron && ShortenPattern(pron, 1);
    if (!cutWord && !cutPron) break;
  }
  if (word) LocalFree(word);
  if (pron) LocalFree(pron);
  if (list->count == before) return kSearchNothing;
  if (!chinese) best = queryLength;
  if (best < queryLength) {
    list->bestMatch = best;
    return kSearchPartial;
  }
  list->bestMatch = queryLength;
  return method->strictExact && shortest > queryLength ? kSearchPartial : kSearchExact;
}

namespace {

// One place of a reading that the position tables answer: a character (a
// pair outside the basic plane) or a syllable code with the end of its
// range.
struct PlaceUnit {
  uint32_t place;
  bool syllable;
  WCHAR text[3];
  WCHAR code;
  WCHAR bound;
};

// A reading of the query as the position tables see it.
struct ReadingPlan {
  PlaceUnit units[kPosdexTables];
  uint32_t unitCount;
  uint32_t queryLength;  // characters; a trailing any-run is not counted
  bool confirm;          // wildcards or more places than the tables hold: entries are read and matched
  bool answerable;
  // The reading without a trailing any-run, for the matcher.
  WCHAR text[kSyllableKeyUnits + 1];
  WCHAR bounds[kSyllableKeyUnits + 1];
};

// Places are known only up to the first inner any-run; the characters
// after it may stand anywhere in an entry. A reading without a character
// or syllable at a known place among the first four, or with characters
// the tables do not hold (letters, a typed ellipsis), cannot be answered
// from them.
ReadingPlan PlanReading(const WCHAR* low, const WCHAR* high, WCHAR single, WCHAR any) {
  ReadingPlan plan{};
  plan.answerable = true;
  uint32_t n = 0;
  while (n < kSyllableKeyUnits && low[n]) ++n;
  if (n > 0 && any && low[n - 1] == any) --n;
  uint32_t place = 0;
  bool afterAny = false;
  for (uint32_t i = 0; i < n; ++i) {
    const WCHAR c = low[i];
    plan.text[i] = c;
    plan.bounds[i] = high ? high[i] : c;
    if (c >= 0xDC00 && c <= 0xDFFF) continue;
    ++plan.queryLength;
    if (any && c == any) {
      afterAny = true;
      plan.confirm = true;
      continue;
    }
    if (single && c == single) {
      plan.confirm = true;
    } else if (IsCjk(c) || IsSyllableCode(c)) {
      if (!afterAny && place < kPosdexTables) {
        PlaceUnit& u = plan.units[plan.unitCount++];
        u.place = place;
        u.syllable = IsSyllableCode(c);
        u.text[0] = c;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && low[i + 1] >= 0xDC00 && low[i + 1] <= 0xDFFF)
          u.text[1] = low[i + 1];
        u.code = c;
        u.bound = high && high[i] > c ? high[i] : static_cast<WCHAR>(c + 1);
      }
    } else {
      plan.answerable = false;
    }
    if (!afterAny) ++place;
  }
  plan.text[n] = 0;
  plan.bounds[n] = 0;
  if (place > kPosdexTables) plan.confirm = true;
  if (plan.unitCount == 0) plan.answerable = false;
  return plan;
}

// The readings of a method: its key pairs, or the query read as pinyin
// when it has none.
struct Readings {
  const SyllableKeyItem* items;
  uint32_t count;
  SyllableKeyItem own;
};

void GetReadings(DictEngine* engine, const SearchMethod* method, Readings* r) {
  if (method->keys.count > 0) {
    r->items = method->keys.items;
    r->count = method->keys.count;
    return;
  }
  ParsePinyinQuery(engine, method->query, r->own.low, r->own.high, kSyllableKeyUnits, 0);
  r->items = &r->own;
  r->count = r->own.low[0] ? 1 : 0;
}

// A candidate entry: its uid, its length (known from the first table
// only) and its row's place in the answer of the deepest unit so far.
struct PlaceHit {
  int32_t uid;
  uint32_t length;
  uint32_t sequence;
};
constexpr uint32_t kLengthUnknown = 0xFFFFFFFF;

std::string LowerUtf8(const char* s) {
  std::string out = s ? s : "";
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Rows of a unit's table in syllable order. A syllable range is asked as
// a text range over the texts it covers and the rows are checked against
// those texts. In single-character mode, once an entry of length 1 comes,
// only entries of length 1 are kept. false when the query fails.
bool QueryPlace(DictEngine* engine, SqlDb* db, const PlaceUnit& u, bool singleMode, std::vector<PlaceHit>* hits) {
  char table[32];
  PosdexTableName(u.place, u.syllable ? 1 : 0, table);
  const bool first = u.place == 0;
  std::vector<std::string> covered;
  WCHAR lowText[kSyllableKeyUnits] = {};
  WCHAR highText[kSyllableKeyUnits] = {};
  SqlTerm where[2] = {};
  uint32_t whereCount = 1;
  where[0].column = 0;
  if (!u.syllable) {
    where[0].wtext = u.text;
  } else {
    for (uint32_t c = u.code; c < u.bound; ++c) {
      WCHAR text[kSyllableKeyUnits];
      if (SyllableText(engine, static_cast<WCHAR>(c), text, kSyllableKeyUnits) == 0) continue;
      std::string utf8(4 * kSyllableKeyUnits, '\0');
      WideToUtf8(text, utf8.data(), static_cast<uint32_t>(utf8.size()), 0, nullptr, false);
      covered.push_back(LowerUtf8(utf8.c_str()));
    }
    if (covered.empty()) return true;
    std::sort(covered.begin(), covered.end());
    covered.erase(std::unique(covered.begin(), covered.end()), covered.end());
    Utf8ToWide(covered.front().c_str(), lowText, kSyllableKeyUnits, nullptr, nullptr);
    Utf8ToWide(covered.back().c_str(), highText, kSyllableKeyUnits, nullptr, nullptr);
    where[0].wtext = lowText;
    if (covered.size() > 1) {
      where[0].op = kSqlOpGreaterEqual;
      where[1].column = 0;
      where[1].op = kSqlOpLessEqual;
      where[1].wtext = highText;
      whereCount = 2;
    }
  }
  SqlTerm select[3] = {};
  for (int16_t i = 0; i < 3; ++i) select[i].column = i;
  SqlTerm order{};
  SqlQuery q{};
  q.table = table;
  q.columns = kPosdexColumns;
  q.columnCount = first ? 3 : 2;
  q.where = where;
  q.whereCount = whereCount;
  q.select = select;
  q.selectCount = first ? 3 : 2;
  q.order = &order;
  q.orderCount = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
  if (!stmt) return false;
  bool singleSeen = false;
  uint32_t sequence = 0;
  int step;
  while (SqlIsRow(step = SqlStep(stmt))) {
    if (covered.size() > 1 && !std::binary_search(covered.begin(), covered.end(), LowerUtf8(SqlColumnText(stmt, 0))))
      continue;
    PlaceHit hit{SqlColumnInt(stmt, 1), first ? static_cast<uint32_t>(SqlColumnInt(stmt, 2)) : kLengthUnknown,
                 sequence++};
    if (singleMode) {
      if (hit.length == 1 && !singleSeen) {
        hits->clear();
        singleSeen = true;
      } else if (singleSeen && hit.length != 1) {
        continue;
      }
    }
    hits->push_back(hit);
  }
  SqlFinalize(stmt);
  if (step != SQLITE_DONE) return false;
  // By uid, each uid once (its first row).
  std::sort(hits->begin(), hits->end(), [](const PlaceHit& a, const PlaceHit& b) {
    return a.uid != b.uid ? a.uid < b.uid : a.sequence < b.sequence;
  });
  hits->erase(std::unique(hits->begin(), hits->end(),
                          [](const PlaceHit& a, const PlaceHit& b) { return a.uid == b.uid; }),
              hits->end());
  return true;
}

// Uids in both (both sorted by uid): the earlier hit's length, the later
// one's row order.
std::vector<PlaceHit> Intersect(const std::vector<PlaceHit>& earlier, const std::vector<PlaceHit>& later) {
  std::vector<PlaceHit> out;
  size_t i = 0, j = 0;
  while (i < earlier.size() && j < later.size()) {
    if (earlier[i].uid < later[j].uid) {
      ++i;
    } else if (later[j].uid < earlier[i].uid) {
      ++j;
    } else {
      out.push_back({earlier[i].uid, earlier[i].length, later[j].sequence});
      ++i;
      ++j;
    }
  }
  return out;
}

struct EntryKeys {
  uint32_t length;
  std::u16string word, altword, pron;
  bool wordNull, altNull, pronNull;
};

// The stored length and key texts of the candidates, read in batches.
constexpr uint32_t kEntryBatch = 256;
bool ReadCandidates(SqlDb* db, const std::vector<PlaceHit>& hits, std::unordered_map<int32_t, EntryKeys>* out) {
  for (size_t from = 0; from < hits.size(); from += kEntryBatch) {
    const size_t n = std::min<size_t>(kEntryBatch, hits.size() - from);
    std::vector<int32_t> uids(n);
    for (size_t i = 0; i < n; ++i) uids[i] = hits[from + i].uid;
    SqlTerm where{};
    where.column = kUdUid;
    where.op = kSqlOpIn;
    where.list = uids.data();
    where.listCount = static_cast<uint32_t>(n);
    SqlTerm select[5] = {};
    const uint32_t columns[5] = {kUdUid, kUdLength, kUdWord, kUdAltWord, kUdPron};
    for (int i = 0; i < 5; ++i) select[i].column = static_cast<int16_t>(columns[i]);
    SqlQuery q{};
    q.table = kUserDictEntriesTable;
    q.columns = kUserDictEntryColumns;
    q.columnCount = kUdEntryColumnCount;
    q.where = &where;
    q.whereCount = 1;
    q.select = select;
    q.selectCount = 5;
    sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
    if (!stmt) return false;
    int step;
    while (SqlIsRow(step = SqlStep(stmt))) {
      EntryKeys& e = (*out)[SqlColumnInt(stmt, 0)];
      e.length = static_cast<uint32_t>(SqlColumnInt(stmt, 1));
      const WCHAR* texts[3] = {SqlColumnText16(stmt, 2), SqlColumnText16(stmt, 3), SqlColumnText16(stmt, 4)};
      e.wordNull = !texts[0];
      e.altNull = !texts[1];
      e.pronNull = !texts[2];
      if (texts[0]) e.word = texts[0];
      if (texts[1]) e.altword = texts[1];
      if (texts[2]) e.pron = texts[2];
    }
    SqlFinalize(stmt);
    if (step != SQLITE_DONE) return false;
  }
  return true;
}

struct SyllableSearch {
  DictEngine* engine;
  SqlDb* db;
  uint16_t slot;
  SearchResultList* list;
  WCHAR single;
  WCHAR any;
  bool prefix;
  bool shorten;
  bool strict;
  bool singlePref;
};

// Candidates (in the order of the deepest unit's rows) checked against
// their entries as the entries-table search checks its rows. The status.
int ConfirmCandidates(SyllableSearch& ss, const ReadingPlan& plan, const std::vector<PlaceHit>& hits) {
  std::unordered_map<int32_t, EntryKeys> entries;
  if (!ReadCandidates(ss.db, hits, &entries)) return kSearchNothing;
  const bool lengthTerm = (!ss.prefix && !ss.shorten) || (plan.queryLength == 1 && ss.singlePref);
  const uint32_t before = ss.list->count;
  uint32_t best = 0;
  uint32_t shortest = 0xFFFFFFFF;
  for (const PlaceHit& h : hits) {
    auto it = entries.find(h.uid);
    if (it == entries.end()) continue;
    const EntryKeys& e = it->second;
    if (lengthTerm && e.length != plan.queryLength) continue;
    const uint32_t matched =
        MatchUserDictEntry(ss.engine, ss.single, ss.any, plan.text, plan.bounds, e.wordNull ? nullptr : e.word.c_str(),
                           e.altNull ? nullptr : e.altword.c_str(), e.pronNull ? nullptr : e.pron.c_str(), !ss.prefix);
    if (matched == 0) continue;
    if (matched > best && ss.list->count > before) DropResultListTail(ss.list, ss.list->count - before);
    if (matched < best) continue;
    best = matched;
    if (!ss.prefix && e.length > matched) continue;
    const uint32_t kept = std::min(matched, e.length);
    shortest = std::min(shortest, kept);
    if (AddResultListItem(ss.list, ss.slot, static_cast<uint32_t>(h.uid)) != 0) break;
  }
  if (ss.list->count == before) return kSearchNothing;
  if (best < plan.queryLength) {
    ss.list->bestMatch = best;
    return kSearchPartial;
  }
  ss.list->bestMatch = plan.queryLength;
  return ss.strict && shortest > plan.queryLength ? kSearchPartial : kSearchExact;
}

// The candidates of the first `places` places as results: every one under
// the prefix flag, else those no longer than the places matched.
int TakeCandidates(SyllableSearch& ss, const ReadingPlan& plan, const std::vector<PlaceHit>& hits, uint32_t places) {
  const uint32_t before = ss.list->count;
  bool exactLength = false;
  for (const PlaceHit& h : hits) {
    if (!ss.prefix && h.length > places) continue;
    if (h.length == plan.queryLength) exactLength = true;
    if (AddResultListItem(ss.list, ss.slot, static_cast<uint32_t>(h.uid)) != 0) break;
  }
  if (ss.list->count == before) return kSearchNothing;
  ss.list->bestMatch = places;
  if (places < plan.queryLength) return kSearchPartial;
  return ss.prefix && ss.strict && !exactLength ? kSearchPartial : kSearchExact;
}

// One reading: each unit's rows cut down the candidates of the units
// before it; the deepest unit that kept candidates gives the results,
// shallower ones only under the shorten flag, when a deeper one gives
// none.
int SearchReading(SyllableSearch& ss, const ReadingPlan& plan) {
  const bool singleMode = plan.unitCount == 1 && !plan.confirm && plan.queryLength == 1 && ss.singlePref;
  std::vector<std::vector<PlaceHit>> levels;
  for (uint32_t i = 0; i < plan.unitCount; ++i) {
    std::vector<PlaceHit> rows;
    if (!QueryPlace(ss.engine, ss.db, plan.units[i], singleMode, &rows)) return kSearchNothing;
    std::vector<PlaceHit> level = levels.empty() ? std::move(rows) : Intersect(levels.back(), rows);
    if (level.empty()) break;
    levels.push_back(std::move(level));
  }
  if (levels.empty() || (!ss.shorten && levels.size() < plan.unitCount)) return kSearchNothing;
  for (size_t d = levels.size(); d-- > 0;) {
    std::vector<PlaceHit>& hits = levels[d];
    std::sort(hits.begin(), hits.end(), [](const PlaceHit& a, const PlaceHit& b) { return a.sequence < b.sequence; });
    const int status = plan.confirm ? ConfirmCandidates(ss, plan, hits)
                                    : TakeCandidates(ss, plan, hits, plan.units[d].place + 1);
    if (status != kSearchNothing || !ss.shorten) return status;
  }
  return kSearchNothing;
}

// Removes the later copies of items that two readings both found.
void DropRepeatedItems(SearchResultList* list, uint32_t from) {
  if (list->count - from < 2) return;
  std::vector<uint32_t> order(list->count - from);
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = from + i;
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return list->items[a].entry < list->items[b].entry; });
  std::vector<bool> repeated(list->count, false);
  for (size_t i = 1; i < order.size(); ++i)
    if (list->items[order[i]].entry == list->items[order[i - 1]].entry) repeated[order[i]] = true;
  uint32_t out = from;
  for (uint32_t i = from; i < list->count; ++i)
    if (!repeated[i]) list->items[out++] = list->items[i];
  list->count = out;
}

}  // namespace

int SearchUserDictSyllables(DictEngine* engine, const SearchMethod* method, uint16_t slot, SearchResultList* list) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  if (!method || !method->query || !list) return kSearchNothing;
  if (method->kind != kSearchChineseHeadword && method->kind != kSearchChineseWildcard) return kSearchNothing;
  SyllableSearch ss{};
  ss.engine = engine;
  ss.db = s->db;
  ss.slot = slot;
  ss.list = list;
  ss.single = static_cast<WCHAR>(GetPref(engine, kPrefSingleWildcard));
  ss.any = static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard));
  ss.prefix = method->wholeKey != 0;
  ss.shorten = method->keepPartial != 0;
  ss.strict = method->strictExact != 0;
  ss.singlePref = GetPref(engine, 135) != 0;

  Readings readings{};
  GetReadings(engine, method, &readings);
  if (readings.count == 0) return kSearchNothing;
  std::vector<ReadingPlan> plans(readings.count);
  for (uint32_t i = 0; i < readings.count; ++i) {
    plans[i] = PlanReading(readings.items[i].low, readings.items[i].high, ss.single, ss.any);
    if (!plans[i].answerable) return SearchUserDictTable(engine, method, slot, list);
  }

  EngineLockGuard lock;
  // The readings from the last to the first: a better status replaces
  // what earlier ones found, a worse one is dropped; of two partial ones
  // the one that leaves fewer characters unmatched stays.
  int state = kSearchNothing;
  uint32_t remainder = 0;
  const uint32_t base = list->count;
  for (uint32_t i = readings.count; i-- > 0;) {
    const uint32_t c0 = list->count;
    const uint32_t savedBest = list->bestMatch;
    const int r = SearchReading(ss, plans[i]);
    const uint32_t length = plans[i].queryLength;
    const uint32_t rem = length > list->bestMatch ? length - list->bestMatch : 0;
    if (r == kSearchNothing) {
      list->bestMatch = savedBest;
      continue;
    }
    if (r == state) {
      if (state == kSearchPartial) {
        if (rem < remainder) {
          RemoveResultListRange(list, base, c0);
          remainder = rem;
        } else if (rem > remainder) {
          DropResultListTail(list, list->count - c0);
          list->bestMatch = savedBest;
        }
      }
    } else if (r < state) {
      RemoveResultListRange(list, base, c0);
      state = r;
      remainder = rem;
    } else {
      DropResultListTail(list, list->count - c0);
      list->bestMatch = savedBest;
    }
  }
  DropRepeatedItems(list, base);
  // A query that had to be cut before it read as pinyin matched only in
  // part.
  if (state == kSearchExact && (method->parseWord & 1)) state = kSearchPartial;
  return state;
}

int SearchUserDict(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  if (!method) return kSearchNothing;
  const bool chineseKind = method->kind == kSearchChineseHeadword || method->kind == kSearchChineseWildcard;
  const bool englishKind = method->kind == kSearchEnglishHeadword || method->kind == kSearchEnglishWildcard;
  const bool chineseDict = UserDictHeadwordLanguage(s) == kLanguageChinese;
  if (s->indexed && chineseKind && chineseDict) return SearchUserDictSyllables(engine, method, slot, list);
  if (s->indexed && englishKind && !chineseDict) return SearchUserDictAlphadex(engine, slot, method->query, list);
  return SearchUserDictTable(engine, method, slot, list);
}
