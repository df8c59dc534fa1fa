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
#include "engine/user_dict_search.h"
#include "engine/utf8.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

using userdict::IsAsciiLetter;
using userdict::IsCjk;
using userdict::IsSyllableCode;
using userdict::SyllableText;
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
  if (!s) return kSearchPartial;  // not a user dictionary: as without a database
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
  ss.singlePref = GetPref(engine, kPrefSingleCharRanges) != 0;

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
