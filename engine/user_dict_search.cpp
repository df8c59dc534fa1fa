#include "engine/user_dict_search.h"

#include <sqlite3.h>

#include <cstring>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/latin_fold.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/string_utils.h"
#include "engine/text_buffer.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
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
    ++q;
    ++e;
    ++walked;
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
    if (IsSyllableCode(c)) {
      AppendAscii(&tb, i == 0 ? "_" : "%@_");
    } else if (c == single && single) {
      AppendAscii(&tb, "%@_");
    } else if (c == any && any) {
      AppendAscii(&tb, "%");
    } else if (IsCjk(c)) {
      if (i > 0) AppendAscii(&tb, "%@");
      TextBufAppendChar(&tb, c);
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1]) TextBufAppendChar(&tb, text[++i]);
    } else {
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
    } else {
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
