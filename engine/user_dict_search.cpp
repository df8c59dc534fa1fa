#include "engine/user_dict_search.h"
#include "engine/user_dict_posdex_search.h"

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

using userdict::IsAsciiLetter;
using userdict::IsCjk;
using userdict::IsSyllableCode;
using userdict::SyllableText;

namespace {

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

uint32_t userdict::SyllableText(DictEngine* engine, WCHAR code, WCHAR* out, uint32_t size) {
  TextBuffer tb{out, size, nullptr, 0};
  FormatSyllableCode(engine, kSyllablePinyin | 0x100 | kSyllableToneDigits, code, &tb);
  TextBufFinish(&tb);
  return tb.length;
}

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
  if (!s) return kSearchPartial;  // not a user dictionary: as without a database
  if (!query || !list) return kSearchNothing;
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
  if (n == 0) return kSearchNothing;
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
    if (!stmt) return kSearchNothing;
    const bool hit = SqlIsRow(SqlStep(stmt));
    const int32_t uid = hit ? SqlColumnInt(stmt, 0) : -1;
    SqlFinalize(stmt);
    if (hit) {
      AddResultListItem(list, slot, static_cast<uint32_t>(uid));
      list->bestMatch = len;
      return len == n ? kSearchExact : kSearchPartial;
    }
  }
  return kSearchNothing;
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
  if (!s) return kSearchPartial;  // not a user dictionary: as without a database
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
    if (chinese && ((!prefix && !shorten) || (queryLength == 1 && GetPref(engine, kPrefSingleCharRanges)))) {
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


int SearchUserDict(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return kSearchPartial;  // not a user dictionary: as without a database
  if (!method) return kSearchNothing;
  const bool chineseKind = method->kind == kSearchChineseHeadword || method->kind == kSearchChineseWildcard;
  const bool englishKind = method->kind == kSearchEnglishHeadword || method->kind == kSearchEnglishWildcard;
  const bool chineseDict = UserDictHeadwordLanguage(s) == kLanguageChinese;
  if (s->indexed && chineseKind && chineseDict) return SearchUserDictSyllables(engine, method, slot, list);
  if (s->indexed && englishKind && !chineseDict) return SearchUserDictAlphadex(engine, slot, method->query, list);
  return SearchUserDictTable(engine, method, slot, list);
}
