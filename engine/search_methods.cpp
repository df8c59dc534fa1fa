#include "engine/search_methods.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/index_search.h"
#include "engine/latin_fold.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "engine/table_cursor.h"
#include "engine/text_buffer.h"
#include "engine/text_compare.h"

namespace {

constexpr WCHAR kErhuaSimplified = 0x513F;    // 儿
constexpr WCHAR kErhuaTraditional = 0x5152;   // 兒
constexpr WCHAR kErhuaSyllable = 0xE5B9;      // r, neutral tone
constexpr uint32_t kHeadwordUnits = 30;

WCHAR PrefChar(DictEngine* engine, int32_t id) { return static_cast<WCHAR>(GetPref(engine, id) & 0xFFFF); }

bool IsSyllableCode(WCHAR c) { return c >= kSyllableFirst && c <= kSyllableMarkLast; }
bool IsHanzi(WCHAR c) { return c >= 0x3400 && c <= 0xD7FF; }
bool IsBlank(WCHAR c) { return c == ' ' || c == '\t' || c == 0x3000 || c == 0xA0; }

uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Keeps, of the items from `from` on, those whose entry's headword is at
// most maxLength long; the number kept.
// A key that ends in a wildcard also needs that many characters.
uint32_t KeepShortEntries(DictEngine* engine, SearchResultList* list, uint32_t from, uint32_t maxLength,
                          uint32_t minLength) {
  if (from >= list->count) return 0;
  std::vector<uint16_t> lengths(list->count - from);
  GetEntryWordLengths(engine, list->items + from, list->count - from, 0xFFFFFFFF, lengths.data());
  uint32_t out = from;
  for (uint32_t i = from; i < list->count; ++i) {
    SearchResultItem item = list->items[i];
    uint32_t length = lengths[i - from];
    if (length <= maxLength && length >= minLength)
      list->items[out++] = item;
  }
  uint32_t kept = out - from;
  list->count = out;
  return kept;
}

bool HasEntryOfLength(DictEngine* engine, const SearchResultList* list, uint32_t from, uint32_t length) {
  if (from >= list->count) return false;
  std::vector<uint16_t> lengths(list->count - from);
  GetEntryWordLengths(engine, list->items + from, list->count - from, 0xFFFFFFFF, lengths.data());
  return std::find(lengths.begin(), lengths.end(), length) != lengths.end();
}

void DropFrom(SearchResultList* list, uint32_t from) {
  if (list->count > from) DropResultListTail(list, list->count - from);
}

// The entry's text (raw fields) into a growable buffer; false when it has none.
bool FetchText(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t options, uint32_t classMask,
               TextBuffer* tb) {
  EntryFetchRequest req{};
  req.slot = slot;
  req.entry = entry;
  req.options = options;
  req.classMask = classMask;
  int r = FetchDictEntryText(engine, &req, tb);
  return r == 0 || r == kFetchSecondaryMissing;
}

// The headword of an entry into a fixed buffer of 30 units.
void FetchHeadword(DictEngine* engine, uint16_t slot, uint32_t entry, WCHAR* out) {
  out[0] = 0;
  TextBuffer tb{};
  tb.data = out;
  tb.capacity = kHeadwordUnits;
  TextBufInit(&tb);
  EntryFetchRequest req{};
  req.slot = slot;
  req.entry = entry;
  req.options = kFetchClassMask;
  req.classMask = 1;
  FetchDictEntryText(engine, &req, &tb);
  TextBufFinish(&tb);
  out[kHeadwordUnits - 1] = 0;
}

void FreeTextBuffer(TextBuffer* tb) {
  if (tb->handle) {
    if (GetMemHandleLockCount(tb->handle) > 0) UnlockMemHandle(tb->handle);
    FreeMemHandle(tb->handle);
  }
  *tb = TextBuffer{};
}

// Finds the pattern in a fetched text (the fetch leaves it terminated and
// its handle unlocked): FindText, or the accent-blind word find.
bool TerminatedFind(TextBuffer* tb, const WCHAR* pattern, bool folded) {
  if (!tb->handle) return false;
  const auto* text = static_cast<const WCHAR*>(LockMemHandle(tb->handle));
  bool found = false;
  if (text && GetMemHandleSize(tb->handle) / 2 > tb->length && text[tb->length] == 0)
    found = folded ? FindFolded(text, pattern, nullptr, true) != nullptr : FindText(text, pattern, nullptr) != nullptr;
  UnlockMemHandle(tb->handle);
  return found;
}

// Method flags of the first key pair.
uint32_t KeyFlags(DictEngine* engine, const SyllableKeyList& keys) {
  uint32_t flags = 0;
  const SyllableKeyItem& first = keys.items[0];
  WCHAR one = PrefChar(engine, kPrefSingleWildcard), many = PrefChar(engine, kPrefAnyWildcard);
  uint32_t n = WideStrLen(first.low);
  if (n > 0 && ((one && first.low[0] == one) || (many && first.low[0] == many))) flags |= kMethodLeadingWildcard;
  if (n > 0 && IsSyllableCode(first.low[n - 1])) flags |= kMethodEndsWithSyllable;
  bool noTones = n > 0;
  for (uint32_t i = 0; i < n && noTones; ++i) {
    WCHAR lo = first.low[i], hi = first.high[i];
    if (IsHanzi(lo) || !IsSyllableCode(lo) || (lo - kSyllableFirst) % 5 != 0 || hi < kSyllableFirst ||
        (hi - kSyllableFirst) % 5 != 0)
      noTones = false;
  }
  if (noTones) flags |= kMethodNoTones;
  if (GetPref(engine, kPrefSingleCharRanges)) {
    uint32_t single = 0;
    for (uint32_t k = 0; k < keys.count; ++k)
      if (WideStrLen(keys.items[k].low) == 1) ++single;
    if (single == keys.count) flags |= kMethodAllSingle;
    else if (single > 0) flags |= kMethodSomeSingle;
  }
  return flags;
}

bool MakeCharPairs(SearchMethod* m) {
  uint32_t n = WideStrLen(m->query);
  m->pairs = static_cast<uint32_t*>(std::calloc(n > 1 ? n : 1, sizeof(uint32_t)));
  if (!m->pairs) return false;
  if (n == 1) {
    m->pairs[m->pairCount++] = uint32_t{m->query[0]} << 16;
    return true;
  }
  for (uint32_t i = 0; i + 1 < n; ++i) {
    WCHAR a = m->query[i], b = m->query[i + 1];
    if (IsBlank(a) || IsBlank(b)) continue;
    m->pairs[m->pairCount++] = uint32_t{a} << 16 | b;
  }
  return true;
}

// The triple index is lower-cased, Latin-1 capitals included.
uint8_t LowerByte(WCHAR c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<WCHAR>(c + 32);
  return static_cast<uint8_t>(c & 0xFF);
}

// Letter-triple keys of a wildcard query; false when none can be made.
bool MakeTriples(DictEngine* engine, SearchMethod* m) {
  WCHAR one = PrefChar(engine, kPrefSingleWildcard), many = PrefChar(engine, kPrefAnyWildcard);
  auto isWild = [&](WCHAR c) { return (one && c == one) || (many && c == many); };
  uint32_t n = WideStrLen(m->query);
  uint32_t cap = 2 * n + 4;
  m->tripleLows = static_cast<uint32_t*>(std::calloc(cap, sizeof(uint32_t)));
  m->tripleHighs = static_cast<uint32_t*>(std::calloc(cap, sizeof(uint32_t)));
  if (!m->tripleLows || !m->tripleHighs) return false;
  auto add = [&](uint32_t b0, uint32_t b1, uint32_t b2, uint32_t high) {
    if (m->tripleCount >= cap) return;
    uint32_t key = b0 << 16 | b1 << 8 | b2;
    m->tripleLows[m->tripleCount] = key;
    m->tripleHighs[m->tripleCount] = high ? high : key;
    ++m->tripleCount;
  };
  const WCHAR* q = m->query;
  bool startsWild = n > 0 && isWild(q[0]);
  bool endsWild = n > 0 && isWild(q[n - 1]);
  uint32_t i = 0;
  while (i < n) {
    while (i < n && isWild(q[i])) ++i;
    uint32_t s = i;
    while (i < n && !isWild(q[i])) ++i;
    uint32_t len = i - s;
    if (len < 2) continue;
    const WCHAR* g = q + s;
    bool first = s == 0, last = i == n;
    if (first && !startsWild) add(1, LowerByte(g[0]), LowerByte(g[1]), 0);
    for (uint32_t k = 0; len >= 3 && k + 2 < len; ++k) add(LowerByte(g[k]), LowerByte(g[k + 1]), LowerByte(g[k + 2]), 0);
    if (len == 2 && !first && !last)
      add(LowerByte(g[0]), LowerByte(g[1]), 0, uint32_t{LowerByte(g[0])} << 16 | uint32_t{LowerByte(g[1])} << 8 | 255);
    if (last && !endsWild) add(LowerByte(g[len - 2]), LowerByte(g[len - 1]), 1, 0);
  }
  return m->tripleCount > 0;
}

// How CreateSearchMethod parses a query into syllable keys.
uint32_t SyllableParseFlags(DictEngine* engine, const SearchRequest* request) {
  return (GetPref(engine, kPrefSplitBeforeVowel) == 1 ? uint32_t{kParseSplitBeforeVowel | kParseFirstDivision} : 0u) |
         (request->wholeSyllables ? uint32_t{kParseWholeSyllables} : 0u);
}

}  // namespace

int QueryIsShortenedToParse(DictEngine* engine, const SearchRequest* request) {
  const WCHAR* query = request->query ? request->query : u"";
  if (!query[0]) return 0;
  SyllableKeyList keys{};
  ParseQuerySyllables(engine, query, SyllableParseFlags(engine, request), &keys);
  const bool whole = keys.count > 0;
  FreeSyllableKeyList(&keys);
  return whole ? 0 : 1;
}

SearchMethod* CreateSearchMethod(DictEngine* engine, const SearchRequest* request, int32_t kind, uint32_t* flags) {
  if (flags) *flags = 0;
  if (kind < kSearchChineseHeadword || kind > kSearchEnglishText) return nullptr;
  auto* m = static_cast<SearchMethod*>(std::calloc(1, sizeof(SearchMethod)));
  if (!m) return nullptr;
  m->query = request->query ? request->query : u"";
  m->kind = kind;
  m->keepPartial = request->keepPartial;
  m->wholeKey = request->wholeKey;
  m->exactLength = request->exactLength;
  m->strictExact = request->strictExact;
  switch (kind) {
    case kSearchChineseHeadword:
    case kSearchChineseWildcard:
    case kSearchChineseText: {
      const uint32_t parse = SyllableParseFlags(engine, request);
      ParseQuerySyllables(engine, m->query, parse, &m->keys);
      if (m->keys.count == 0 && m->query[0]) {
        m->parseWord |= 1;
        WCHAR copy[kMethodKeyUnits];
        WideStrCopyN(copy, m->query, kMethodKeyUnits);
        copy[kMethodKeyUnits - 1] = 0;
        for (uint32_t len = WideStrLen(copy); len > 1 && m->keys.count == 0;) {
          copy[--len] = 0;
          ParseQuerySyllables(engine, copy, parse, &m->keys);
        }
      }
      if (m->keys.count > 0 && flags) *flags = KeyFlags(engine, m->keys);
      if (!MakeCharPairs(m)) {
        FreeSearchMethod(m);
        return nullptr;
      }
      m->method = kind == kSearchChineseText ? SearchChineseText : SearchChineseHeadword;
      return m;
    }
    case kSearchEnglishWildcard:
      if (!MakeTriples(engine, m)) {
        FreeSearchMethod(m);
        return nullptr;
      }
      m->method = SearchEnglishWildcard;
      return m;
    default:  // kSearchEnglishHeadword and kSearchEnglishText
      FoldToKeyCopy(m->key, kMethodKeyUnits, m->query, false);
      FoldToKeyCopy(m->spacedKey, kMethodKeyUnits, m->query, true);
      m->method = kind == kSearchEnglishHeadword ? SearchEnglishHeadword : SearchEnglishWords;
      return m;
  }
}

void FreeSearchMethod(SearchMethod* m) {
  if (!m) return;
  FreeSyllableKeyList(&m->keys);
  std::free(m->pairs);
  std::free(m->tripleLows);
  std::free(m->tripleHighs);
  std::free(m);
}

int SearchSyllableKey(DictEngine* engine, SearchMethod* m, uint16_t slot, SearchResultList* list, uint32_t keyIndex) {
  if (keyIndex >= m->keys.count) return kSearchNothing;
  const WCHAR* low = m->keys.items[keyIndex].low;
  const WCHAR* high = m->keys.items[keyIndex].high;
  uint32_t n = WideStrLen(low);
  int p = GetPref(engine, kPrefSingleCharRanges) ? 1 : 0;
  WCHAR one = PrefChar(engine, kPrefSingleWildcard), many = PrefChar(engine, kPrefAnyWildcard);
  uint32_t before = list->count;
  uint32_t t = 0;
  TableCursor* cursor = FindDictTableCursor(engine, slot, kDictPrefixIndexType);
  bool done = !cursor || n == 0;
  if (!done && n == 1 && p) {
    SearchSingleCharacter(cursor, slot, low[0], high[0], list);
    if (list->count > before) {
      t = 1;
      list->bestMatch = 1;
      done = true;
    }
  }
  bool fullSeen = false;
  if (!done && many) {
    uint32_t w = n;
    for (uint32_t i = 0; i < n; ++i)
      if (low[i] == many) {
        w = i;
        break;
      }
    if (w < n) {
      WCHAR lo[kSyllableKeyUnits + 4] = {}, hi[kSyllableKeyUnits + 4] = {};
      uint32_t mlen = 0;
      for (uint32_t i = 0; i < n && mlen < kSyllableKeyUnits; ++i)
        if (low[i] != many) {
          lo[mlen] = low[i];
          hi[mlen] = high[i];
          ++mlen;
        }
      bool partSeen = false;
      uint32_t best = 0;
      for (int round = 0; round < 4; ++round) {
        uint32_t c0 = list->count;
        uint32_t got = SearchPrefixIndex(cursor, slot, lo, hi, list, m->keepPartial ? 0 : mlen, one, 0);
        // The index walk does not look past the key's last character: an
        // entry that goes on is no match, one that ends at a trailing
        // wildcard neither.
        if (got >= mlen && list->count > c0) {
          uint32_t minLength = (one && lo[mlen - 1] == one) ? mlen : 0;
          if (KeepShortEntries(engine, list, c0, mlen, minLength) == 0) got = mlen - 1;
        }
        if (got >= mlen) {
          if (!fullSeen) RemoveResultListRange(list, before, c0);
          fullSeen = true;
          best = mlen;
        } else if (got > 0) {
          if (fullSeen) DropFrom(list, c0);
          else {
            partSeen = true;
            if (got > best) best = got;
          }
        }
        if (round < 3 && mlen + 1 < kSyllableKeyUnits + 4) {
          for (uint32_t k = mlen + 1; k > w; --k) {
            lo[k] = lo[k - 1];
            hi[k] = hi[k - 1];
          }
          lo[w] = one ? one : many;
          hi[w] = lo[w];
          ++mlen;
        }
      }
      ResetCursor(cursor);
      if (list->count > before) list->bestMatch = best;
      return fullSeen ? kSearchExact : partSeen ? kSearchPartial : kSearchNothing;
    }
  }
  if (!done) {
    if (m->wholeKey) {
      t = SearchPrefixIndex(cursor, slot, low, high, list, m->keepPartial ? 0 : n, one, p ? uint32_t{kPrefixSingleColumn0} : 0u);
    } else {
      WCHAR work[kSyllableKeyUnits];
      WideStrCopyN(work, low, kSyllableKeyUnits);
      work[kSyllableKeyUnits - 1] = 0;
      t = 0;
      for (uint32_t k = n; k > 0; --k) {
        work[k] = 0;
        uint32_t c0 = list->count;
        if (k == 1) {
          SearchSingleCharacter(cursor, slot, work[0], high[0], list);
          t = list->count > c0 ? 1 : 0;
          break;
        }
        uint32_t got = SearchPrefixIndex(cursor, slot, work, high, list, k, one, p ? uint32_t{kPrefixSingleColumn0} : 0u);
        if (got == 0) {
          t = 0;
          break;
        }
        uint32_t limit = got < k ? got : k;
        uint32_t minLength = (one && work[k - 1] == one) ? k : 0;
        if (KeepShortEntries(engine, list, c0, limit, minLength) > 0) {
          t = got < n ? got : n;
          break;
        }
      }
    }
    if (list->count > before) list->bestMatch = t;
  }
  if (cursor) ResetCursor(cursor);
  // A key with ranges (a syllable typed without its tone covers the codes
  // of its five tones) is read row by row, so its entries would come tone by
  // tone; the dictionary orders the entries of the same letters as a
  // learner wants them (commoner first, then by tone), and that order is
  // the one kept: the key's results by entry number. The keys keep their
  // own order.
  // Only such tone ranges: other ranges (wildcards, partial syllables)
  // keep the index's order.
  bool toneRanges = false;
  for (uint32_t i = 0; i < n; ++i) {
    if (low[i] == high[i]) continue;
    toneRanges = IsSyllableCode(low[i]) && (low[i] - kSyllableFirst) % 5 == 0 && high[i] >= low[i] &&
                 high[i] - low[i] <= 5;
    if (!toneRanges) break;
  }
  auto byEntry = [](const SearchResultItem& a, const SearchResultItem& b) { return a.entry < b.entry; };
  if (toneRanges && list->count - before > 1 &&
      !std::is_sorted(list->items + before, list->items + list->count, byEntry))
    std::stable_sort(list->items + before, list->items + list->count, byEntry);
  if (t < n) {
    if (t == 0) return kSearchNothing;
    WCHAR last = low[n - 1];
    if (t == n - 1 && (last == kErhuaTraditional || last == kErhuaSimplified || last == kErhuaSyllable))
      return kSearchExactButErhua;
    return kSearchPartial;
  }
  if (m->exactLength) return HasEntryOfLength(engine, list, before, n) ? kSearchExact : kSearchPartial;
  return kSearchExact;
}

int ChineseHeadwordMayBeExact(DictEngine* engine, SearchMethod* m, uint16_t slot) {
  if (GetDictKind(engine, slot) != kDictKindBuiltIn || GetDictLanguage(engine, slot) != kLanguageChinese) return 1;
  if (m->parseWord & 1) return 0;  // an exact outcome is made partial
  if (!m->wholeKey || m->exactLength) return 1;
  const WCHAR one = PrefChar(engine, kPrefSingleWildcard), many = PrefChar(engine, kPrefAnyWildcard);
  const bool p = GetPref(engine, kPrefSingleCharRanges) != 0;
  TableCursor* cursor = FindDictTableCursor(engine, slot, kDictPrefixIndexType);
  int may = 0;
  // As SearchSyllableKey takes each key whole: exact when every character
  // matched, or all but a last erhua.
  for (uint32_t k = 0; k < m->keys.count && !may; ++k) {
    const WCHAR* low = m->keys.items[k].low;
    const WCHAR* high = m->keys.items[k].high;
    const uint32_t n = WideStrLen(low);
    if (n == 0) {
      may = 1;  // an empty key counts as exact
      break;
    }
    if (!cursor) continue;
    for (uint32_t i = 0; i < n && !may; ++i)
      if ((many && low[i] == many) || (one && low[i] == one)) may = 1;
    if (may) break;
    if (n == 1 && p) {
      RowRange r{};
      if (FindKeyRowRange(cursor, 0, low[0], high[0], &r) && r.end > r.first) {
        may = 1;
        break;
      }
    }
    const uint32_t t = SearchPrefixIndex(cursor, slot, low, high, nullptr, n, one,
                                         kPrefixMatchOnly | (p ? uint32_t{kPrefixSingleColumn0} : 0u));
    const WCHAR last = low[n - 1];
    if (t >= n || (t + 1 == n && (last == kErhuaTraditional || last == kErhuaSimplified || last == kErhuaSyllable)))
      may = 1;
  }
  if (cursor) ResetCursor(cursor);
  return may;
}

int SearchChineseHeadword(DictEngine* engine, SearchMethod* m, uint16_t slot, SearchResultList* list) {
  if (GetDictLanguage(engine, slot) != kLanguageChinese) return SearchChineseText(engine, m, slot, list);
  int state = kSearchNothing;
  uint32_t remainder = 0;
  uint32_t base = list->count;
  for (uint32_t idx = m->keys.count; idx-- > 0;) {
    uint32_t c0 = list->count;
    uint32_t savedBest = list->bestMatch;
    int r = SearchSyllableKey(engine, m, slot, list, idx);
    uint32_t len = WideStrLen(m->keys.items[idx].low);
    uint32_t rem = len > list->bestMatch ? len - list->bestMatch : 0;
    if (r == kSearchNothing) continue;
    if (r == state) {
      if (state == kSearchPartial && rem < remainder) {
        RemoveResultListRange(list, base, c0);
        remainder = rem;
      }
    } else if (r == kSearchExact || (r == kSearchExactButErhua && state != kSearchExact) ||
               (r == kSearchPartial && state == kSearchNothing)) {
      RemoveResultListRange(list, base, c0);
      state = r;
      if (r == kSearchPartial) remainder = rem;
    } else {
      DropFrom(list, c0);
      list->bestMatch = savedBest;
    }
  }
  if (state == kSearchExactButErhua) state = kSearchExact;
  if (state == kSearchExact && (m->parseWord & 1)) state = kSearchPartial;
  return state;
}

int SearchChineseText(DictEngine* engine, SearchMethod* m, uint16_t slot, SearchResultList* list) {
  TableCursor* cursor = FindDictTableCursor(engine, slot, kCharPairIndexType);
  if (!cursor || m->pairCount == 0) return kSearchNothing;
  // One Chinese character: every key from c << 16 to (c << 16) | 0xFFFF,
  // the pairs that begin with it and the character's own key (written for
  // the entries where it begins no pair), one entry under several keys
  // once. Other single characters have no key of their own.
  const bool oneChar = m->pairCount == 1 && (m->pairs[0] & 0xFFFF) == 0;
  if (oneChar && !IsHanzi(static_cast<WCHAR>(m->pairs[0] >> 16))) return kSearchNothing;
  const uint32_t oneCharHigh = m->pairs[0] | 0xFFFF;
  uint32_t count = 0;
  MemHandle* cands =
      IntersectPostingRanges(cursor, 0, m->pairs, oneChar ? &oneCharHigh : nullptr, m->pairCount, &count, 0xFFFFFFFF);
  ResetCursor(cursor);
  if (!cands) return kSearchNothing;
  uint32_t before = list->count;
  auto* values = static_cast<uint32_t*>(LockMemHandle(cands));
  if (values && oneChar) count = static_cast<uint32_t>(std::unique(values, values + count) - values);
  if (values && m->pairCount == 1) ReserveResultListItems(list, count);
  TextBuffer tb{};  // one text block for all candidates
  for (uint32_t i = 0; values && i < count; ++i) {
    if (m->pairCount > 1 &&
        !(FetchText(engine, slot, values[i], kFetchRawFields, 0, &tb) && TerminatedFind(&tb, m->query, false)))
      continue;
    if (AddResultListItem(list, slot, values[i]) != 0) break;
  }
  FreeTextBuffer(&tb);
  if (values) UnlockMemHandle(cands);
  FreeMemHandle(cands);
  return list->count > before ? kSearchExact : kSearchNothing;
}

int SearchEnglishHeadword(DictEngine* engine, SearchMethod* m, uint16_t slot, SearchResultList* list) {
  if (GetDictLanguage(engine, slot) == kLanguageChinese) return SearchEnglishWords(engine, m, slot, list);
  TableCursor* cursor = FindDictTableCursor(engine, slot, kDictEntryTableType);
  // An empty letter key would "match" whatever row is nearest.
  if (!cursor || m->key[0] == 0) return kSearchNothing;
  int64_t row = FindRowByText(cursor, 0, m->key, 0);
  ResetCursor(cursor);
  if (row < 0) return kSearchNothing;
  WCHAR head[kHeadwordUnits];
  FetchHeadword(engine, slot, static_cast<uint32_t>(row), head);
  WCHAR headKey[kHeadwordUnits];
  FoldToKeyCopy(headKey, kHeadwordUnits, head, false);
  uint32_t keyLength = WideStrLen(m->key);
  if (keyLength < kHeadwordUnits) headKey[keyLength] = 0;
  AddResultListItem(list, slot, static_cast<uint32_t>(row));
  if (EnglishKeyCmp(headKey, m->key) == 0) {
    list->bestMatch = keyLength;
    return kSearchExact;
  }
  list->bestMatch = EnglishKeyCommonLength(headKey, m->key);
  return kSearchPartial;
}

int SearchEnglishWildcard(DictEngine* engine, SearchMethod* m, uint16_t slot, SearchResultList* list) {
  TableCursor* cursor = FindDictTableCursor(engine, slot, kTripleIndexType);
  if (!cursor) return kSearchNothing;
  uint32_t count = 0;
  MemHandle* cands = IntersectPostingRanges(cursor, 0, m->tripleLows, m->tripleHighs, m->tripleCount, &count,
                                            0xFFFFFFFF);
  ResetCursor(cursor);
  if (!cands) return kSearchNothing;
  WCHAR one = PrefChar(engine, kPrefSingleWildcard), many = PrefChar(engine, kPrefAnyWildcard);
  uint32_t before = list->count;
  auto* values = static_cast<uint32_t*>(LockMemHandle(cands));
  for (uint32_t i = 0; values && i < count; ++i) {
    WCHAR head[kHeadwordUnits];
    FetchHeadword(engine, slot, values[i], head);
    for (WCHAR* q = head; *q; ++q)
      if (*q == 0xEAB3) {
        *q = 0;
        break;
      }
    StripHighUnits(head);
    if (MatchWildcardText(head, m->query, one, many) && AddResultListItem(list, slot, values[i]) != 0) break;
  }
  if (values) UnlockMemHandle(cands);
  FreeMemHandle(cands);
  return list->count > before ? kSearchExact : kSearchNothing;
}

// The general sort was much of a common query's time: postings come
// ranked, not in entry order. A long list is ordered by a stable counting
// pass on each half of the entry's bits instead.
std::vector<uint32_t> OrderCandidatesByEntry(const uint32_t* values, uint32_t n, uint32_t mask, uint32_t bits) {
  std::vector<uint32_t> order(n);
  constexpr uint32_t kCountingFrom = 256;  // below this the general sort is quicker
  constexpr uint32_t kMaxDigitBits = 12;
  if (n < kCountingFrom || bits > 2 * kMaxDigitBits) {
    std::vector<uint64_t> keys(n);
    for (uint32_t i = 0; i < n; ++i) keys[i] = uint64_t{values[i] & mask} << 32 | i;
    std::sort(keys.begin(), keys.end());
    for (uint32_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(keys[i]);
    return order;
  }
  const uint32_t lowBits = (bits + 1) / 2;
  const uint32_t highBits = bits - lowBits;
  const uint32_t lowMask = (1u << lowBits) - 1;
  std::vector<uint32_t> start((1u << lowBits) + 1);
  std::vector<uint32_t> low(n);
  for (uint32_t i = 0; i < n; ++i) ++start[(values[i] & lowMask) + 1];
  for (uint32_t d = 0; d < (1u << lowBits); ++d) start[d + 1] += start[d];
  for (uint32_t i = 0; i < n; ++i) low[start[values[i] & lowMask]++] = i;
  // The high digit, stably: the low digit's order stays within each.
  start.assign((1u << highBits) + 1, 0);
  for (uint32_t i = 0; i < n; ++i) ++start[((values[i] & mask) >> lowBits) + 1];
  for (uint32_t d = 0; d < (1u << highBits); ++d) start[d + 1] += start[d];
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t i = low[k];
    order[start[(values[i] & mask) >> lowBits]++] = i;
  }
  return order;
}

int SearchEnglishWords(DictEngine* engine, SearchMethod* m, uint16_t slot, SearchResultList* list) {
  if (m->spacedKey[0] == 0) return kSearchNothing;
  TableCursor* cursor = FindDictTableCursor(engine, slot, kRankedWordIndexType);
  bool ranked = cursor != nullptr;
  if (!cursor) cursor = FindDictTableCursor(engine, slot, kWordIndexType);
  if (!cursor) return kSearchNothing;
  const uint8_t* info = GetTableInfoArea(cursor);
  if (!info || GetTableInfoAreaSize(cursor) < 36) return kSearchNothing;
  uint32_t w = LoadLe32(info + 28);
  if (w == 0 || w > 32) return kSearchNothing;
  uint32_t x = ranked ? (LoadLe32(info + 32) & 0xFF) : 0;
  uint32_t bits = x < w ? w - x : 0;
  uint32_t mask = bits >= 32 ? 0xFFFFFFFF : (1u << bits) - 1;

  MemHandle* cands = NewMemHandle(64);
  MemHandle* more = NewMemHandle(64);
  uint32_t n = 0, words = 0;
  bool started = false, tooCommon = false, nothing = false;
  const WCHAR* s = m->spacedKey;
  while (*s && !nothing && cands && more) {
    while (*s == ' ') ++s;
    if (!*s) break;
    WCHAR word[kMethodKeyUnits];
    uint32_t len = 0;
    while (s[len] && s[len] != ' ' && len + 1 < kMethodKeyUnits) {
      word[len] = s[len];
      ++len;
    }
    word[len] = 0;
    s += len;
    while (*s && *s != ' ') ++s;
    const WCHAR* rest = s;
    while (*rest == ' ') ++rest;
    bool last = *rest == 0;
    ++words;
    int64_t row = FindRowByText(cursor, 0, word, last ? 6 : 5);
    if (row < 0) {
      nothing = true;
      break;
    }
    if (!started) {
      int32_t got = ReadWordPostings(cursor, 0, static_cast<uint32_t>(row), w, cands, word, last ? 1 : 0);
      if (got == -1) {
        tooCommon = true;
        continue;
      }
      if (got == 0) {
        nothing = true;
        break;
      }
      started = true;
      n = static_cast<uint32_t>(got);
    } else {
      int32_t got = ReadWordPostings(cursor, 0, static_cast<uint32_t>(row), w, more, word, last ? 1 : 0);
      if (got == -1) {
        tooCommon = true;
        continue;
      }
      if (got == 0) {
        nothing = true;
        break;
      }
      n = IntersectSortedWords(cands, n, more, static_cast<uint32_t>(got), mask);
      if (n == 0) nothing = true;
    }
  }
  ResetCursor(cursor);
  FreeMemHandle(more);
  if (nothing || !started || n == 0) {
    FreeMemHandle(cands);
    return tooCommon ? kSearchTooCommon : kSearchNothing;
  }
  uint32_t before = list->count;
  auto* values = static_cast<uint32_t*>(LockMemHandle(cands));
  // The words together: each candidate's text is searched for them, the
  // candidates visited in entry order (the postings come by relevance) so
  // that each block of entry text is read and decoded once a search rather
  // than once for every candidate in it that the record cache has let go.
  std::vector<uint8_t> found;
  if (values && words > 1) {
    // Candidates of the same entry meet; their order among themselves does
    // not matter, they share one answer.
    const std::vector<uint32_t> order = OrderCandidatesByEntry(values, n, mask, bits);
    found.assign(n, 0);
    // The candidates' entries in that order, each once.
    std::vector<uint32_t> entries;
    entries.reserve(n);
    for (uint32_t k = 0; k < n; ++k)
      if (k == 0 || (values[order[k - 1]] & mask) != (values[order[k]] & mask)) entries.push_back(values[order[k]] & mask);
    // Where the dictionary allows, each record is decoded only as far as the
    // words' first place in its text, and the formatted text is never made;
    // else (and for any entry that way cannot tell) the text is fetched
    // whole and searched.
    std::vector<uint8_t> inRecord(entries.size(), kRawFieldsUntold);
    RawFieldsLayout layout;
    FoldedPattern pattern;
    if (InitRawFieldsLayout(engine, slot, &layout) && InitFoldedPattern(&pattern, m->spacedKey))
      FindFoldedInRawFields(engine, slot, entries.data(), static_cast<uint32_t>(entries.size()), layout, pattern,
                            inRecord.data());
    TextBuffer tb{};
    for (uint32_t k = 0, e = 0; k < n; ++k) {
      const uint32_t i = order[k];
      if (k > 0 && (values[order[k - 1]] & mask) == (values[i] & mask)) {
        found[i] = found[order[k - 1]];
        continue;
      }
      const uint8_t told = inRecord[e++];
      if (told != kRawFieldsUntold) {
        found[i] = told;
        continue;
      }
      // One text block for all candidates: each fetch starts it afresh.
      found[i] = FetchText(engine, slot, values[i] & mask, kFetchRawFields, 0, &tb) &&
                 TerminatedFind(&tb, m->spacedKey, true);
    }
    FreeTextBuffer(&tb);
  }
  if (values && words == 1) ReserveResultListItems(list, n);
  if (values && words > 1) ReserveResultListItems(list, static_cast<uint32_t>(std::count(found.begin(), found.end(), 1)));
  for (uint32_t i = 0; values && i < n; ++i) {
    if (words > 1 && !found[i]) continue;
    if (AddResultListItem(list, slot, values[i]) != 0) break;
  }
  if (values) UnlockMemHandle(cands);
  FreeMemHandle(cands);
  // Candidates whose text lacks the words together: plain nothing.
  return list->count > before ? kSearchExact : kSearchNothing;
}

namespace {

// The next significant character of a wildcard text: letters (folded to
// lower case, accented a and e as their base), the wildcards, or 0 at the
// end. *s moves past it.
WCHAR NextSignificant(const WCHAR** s, WCHAR one, WCHAR many) {
  const WCHAR* p = *s;
  for (;;) {
    WCHAR c = *p;
    if (c == 0) {
      *s = p;
      return 0;
    }
    ++p;
    if (c == '(') {
      while (*p && *p != ')') ++p;
      if (*p) ++p;
      continue;
    }
    if ((one && c == one) || (many && c == many)) {
      *s = p;
      return c;
    }
    uint32_t lowByte = c & 0xFF;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) lowByte += 0x20;  // case does not count
    if (lowByte == 0xE8 || lowByte == 0xE9 || lowByte == 0xEA) c = 'e';
    else if (lowByte == 0xE0 || lowByte == 0xE1 || lowByte == 0xE2) c = 'a';
    if (c >= 'A' && c <= 'Z') c = static_cast<WCHAR>(c + 32);
    if (c >= 'a' && c <= 'z') {
      *s = p;
      return c;
    }
  }
}

int MatchWild(const WCHAR* a, const WCHAR* b, WCHAR one, WCHAR many, uint32_t depth) {
  if (depth > 64) return 0;
  for (;;) {
    const WCHAR* aStart = a;
    const WCHAR* bStart = b;
    WCHAR x = NextSignificant(&a, one, many);
    WCHAR y = NextSignificant(&b, one, many);
    bool xWild = x && ((one && x == one) || (many && x == many));
    bool yWild = y && ((one && y == one) || (many && y == many));
    if (x && y && !xWild && !yWild) {
      if (x != y) return 0;
      continue;
    }
    if (!x && !y) return 1;
    if (yWild) {
      const WCHAR* after = b;
      if (NextSignificant(&after, one, many) == 0) return 1;
      if (y == one) {
        if (!x) return 0;
        continue;
      }
      for (const WCHAR* from = aStart;; ++from) {
        if (MatchWild(from, b, one, many, depth + 1)) return 1;
        if (!*from) return 0;
      }
    }
    // A wildcard on a's side only: the same rules with the roles exchanged.
    if (xWild) return MatchWild(bStart, aStart, one, many, depth + 1);
    return 0;
  }
}

}  // namespace

int MatchWildcardText(const WCHAR* a, const WCHAR* b, WCHAR one, WCHAR many) {
  if (!a || !b) return 0;
  return MatchWild(a, b, one, many, 0);
}
