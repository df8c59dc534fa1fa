#include "flash/card_search.h"

#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/pinyin.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "engine/user_dict_search.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// Pinyin typed into a pronunciation condition is read up to this length.
constexpr uint32_t kPronQueryMax = 41;

constexpr uint32_t kSqlOpOf[9] = {kSqlOpEqual,     kSqlOpNotEqual, kSqlOpGreater,  kSqlOpLess, kSqlOpGreaterEqual,
                                  kSqlOpLessEqual, kSqlOpEqual,    kSqlOpNotEqual, kSqlOpLike};

uint32_t MapSearchOperator(int32_t op) { return op >= 0 && op <= 8 ? kSqlOpOf[op] : kSqlOpEqual; }

bool Holds(int32_t op, int32_t a, int32_t b) {
  switch (op) {
    case kQueryOpNotEqual:
    case kQueryOpNo:
      return a != b;
    case kQueryOpGreater:
      return a > b;
    case kQueryOpLess:
      return a < b;
    case kQueryOpGreaterEqual:
      return a >= b;
    case kQueryOpLessEqual:
      return a <= b;
    default:
      return a == b;
  }
}

// Score-table column of a score condition or sort key, or -1.
int ScoreColumn(int32_t kind) {
  switch (kind) {
    case kQueryScore:
      return kScoreScore;
    case kQueryDifficulty:
      return kScoreDifficulty;
    case kQueryFirstReview:
      return kScoreFirstReviewed;
    case kQueryLastReview:
      return kScoreLastReviewed;
    case kQueryReviewed:
      return kScoreReviewed;
    case kQueryCorrect:
      return kScoreCorrect;
    case kQueryIncorrect:
      return kScoreIncorrect;
    default:
      return -1;
  }
}
int CardColumn(int32_t kind) {
  switch (kind) {
    case kQueryLength:
      return kCardWordLength;
    case kQueryCreated:
      return kCardCreated;
    case kQueryModified:
      return kCardModified;
    case kQueryHeadword:
      return kCardHw;
    case kQueryPron:
      return kCardPron;
    default:
      return -1;
  }
}
// What a card without score row counts as.
int32_t NewCardValue(int column) {
  return column == kScoreScore ? kNewCardScore : column == kScoreDifficulty ? kNewCardDifficulty : 0;
}

bool IsScoreCondition(int32_t kind) { return ScoreColumn(kind) >= 0 || kind == kQueryLastCorrect; }

SqlTerm Term(int column, uint32_t op, uint32_t connector = kSqlAnd) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.op = op;
  t.connector = connector;
  return t;
}

std::u16string Str(const WCHAR* s) { return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : u""; }

struct Builder {
  FlashcardStore* store;
  SqlText* text;
  char scores[kFlashScoresTableMax];
};

void AppendCategory(Builder& b, const FlashQueryCondition& c) {
  SqlText* t = b.text;
  if (c.value == kCategoryUncategorized) {
    SqlTextAppend(t, "c.\"id\" NOT IN (SELECT \"card\" FROM \"");
    SqlTextAppend(t, kFlashCategoryAssignsTable);
    SqlTextAppend(t, "\")");
    return;
  }
  std::vector<int32_t> ids{c.value};
  if (c.kind == kQueryCategory) {
    uint32_t n = 0;
    int32_t* all = ExpandCategoryIds(b.store, &c.value, 1, &n);
    if (all) ids.assign(all, all + n);
    if (all) LocalFree(all);
  }
  SqlTextAppend(t, "c.\"id\" IN (SELECT \"card\" FROM \"");
  SqlTextAppend(t, kFlashCategoryAssignsTable);
  SqlTextAppend(t, "\" WHERE ");
  SqlTerm term = Term(kAssignCat, kSqlOpIn);
  term.list = ids.data();
  term.listCount = static_cast<uint32_t>(ids.size());
  SqlAppendWhere(t, kFlashAssignColumns, &term, 1, nullptr);
  SqlTextAppend(t, ")");
}

void AppendTextCondition(Builder& b, const FlashQueryCondition& c) {
  const bool positive = c.op == kQueryOpEqual || c.op == kQueryOpGreaterEqual || c.op == kQueryOpLessEqual ||
                        c.op == kQueryOpYes || c.op == kQueryOpLike;
  const uint32_t op = positive ? kSqlOpLike : kSqlOpNotLike;
  DictEngine* engine = b.store->engine;
  std::u16string pattern = Str(c.text);
  if (c.kind == kQueryHeadword) {
    bool cjk = false;
    for (char16_t u : pattern) cjk = cjk || (u >= 0x3400 && u <= 0xFAFF);
    if (cjk) {
      WCHAR* key = MakeHeadwordLikePattern(engine, reinterpret_cast<const WCHAR*>(pattern.c_str()), 0, 0, 0);
      pattern = Str(key);
      if (key) LocalFree(key);
    }
    SqlTerm terms[2] = {Term(kCardHw, op, kSqlOr), Term(kCardAltHw, op)};
    terms[0].wtext = terms[1].wtext = reinterpret_cast<const WCHAR*>(pattern.c_str());
    if (positive) {
      SqlAppendWhere(b.text, kFlashCardColumns, terms, 2, "c");
      return;
    }
    // NOT LIKE on a NULL headword is NULL, not true: a card without an
    // alternative headword would never pass.
    SqlTextAppend(b.text, "(");
    SqlAppendWhere(b.text, kFlashCardColumns, &terms[0], 1, "c");
    SqlTextAppend(b.text, " OR c.\"hw\" IS NULL) AND (");
    SqlAppendWhere(b.text, kFlashCardColumns, &terms[1], 1, "c");
    SqlTextAppend(b.text, " OR c.\"althw\" IS NULL)");
    return;
  }
  WCHAR low[kPronQueryMax] = {}, high[kPronQueryMax] = {};
  ParsePinyinQuery(engine, reinterpret_cast<const WCHAR*>(pattern.c_str()), low, high, kPronQueryMax, 0);
  WCHAR* key = MakePronLikePattern(engine, low, high, 0, 0, 0);
  const std::u16string p = Str(key);
  if (key) LocalFree(key);
  SqlTerm term = Term(kCardPron, op);
  term.wtext = reinterpret_cast<const WCHAR*>(p.c_str());
  SqlAppendWhere(b.text, kFlashCardColumns, &term, 1, "c");
}

void AppendCardCondition(Builder& b, const FlashQueryCondition& c) {
  SqlText* t = b.text;
  switch (c.kind) {
    case kQueryHeadword:
    case kQueryPron:
      AppendTextCondition(b, c);
      return;
    case kQueryDictionary: {
      SqlTerm terms[2] = {Term(kCardDictCreator, MapSearchOperator(c.op)), Term(kCardDictId, MapSearchOperator(c.op))};
      terms[0].value = c.value;
      terms[1].value = c.value2;
      SqlAppendWhere(t, kFlashCardColumns, terms, 2, "c");
      return;
    }
    case kQueryLanguage: {
      SqlTerm term = Term(kCardLang, c.value == kCardLanguageChinese ? kSqlOpEqual : kSqlOpNotEqual);
      term.value = kCardLanguageChinese;
      SqlAppendWhere(t, kFlashCardColumns, &term, 1, "c");
      return;
    }
    default: {
      SqlTerm term = Term(CardColumn(c.kind), MapSearchOperator(c.op));
      term.value = c.value;
      SqlAppendWhere(t, kFlashCardColumns, &term, 1, "c");
    }
  }
}

void AppendScoreCondition(Builder& b, const FlashQueryCondition& c) {
  SqlText* t = b.text;
  if (c.kind == kQueryLastCorrect) {
    const bool no = c.op == kQueryOpNo;
    const char* digits[3] = {no ? "1" : "4", no ? "2" : "5", no ? "3" : "6"};
    SqlTerm terms[3] = {Term(kScoreHistory, kSqlOpBegins, kSqlOr), Term(kScoreHistory, kSqlOpBegins, kSqlOr),
                        Term(kScoreHistory, kSqlOpBegins)};
    for (int i = 0; i < 3; ++i) terms[i].text = digits[i];
    SqlTextAppend(t, "(");
    SqlAppendWhere(t, kFlashScoreColumns, terms, 3, "s");
    SqlTextAppend(t, ")");
    return;
  }
  SqlTerm term = Term(ScoreColumn(c.kind), MapSearchOperator(c.op));
  term.value = c.value;
  SqlAppendWhere(t, kFlashScoreColumns, &term, 1, "s");
}

bool IsScoreSort(int32_t key) { return ScoreColumn(key) >= 0; }

// One SELECT of a group of conditions [first, end).
void AppendGroup(Builder& b, const FlashQueryRecord& q, int32_t first, int32_t end, int sorting, int filter) {
  SqlText* t = b.text;
  SqlTextAppend(t, "SELECT c.\"id\"");
  if (filter)
    SqlTextAppend(t,
                  ", c.\"dictcreator\", c.\"dictid\", c.\"dictentry\", c.\"defn\", c.\"hw\", c.\"althw\", c.\"pron\"");
  if (sorting) {
    SqlTextAppend(t, ", ");
    if (IsScoreSort(q.sortKey)) {
      SqlTextAppend(t, "ifnull(");
      SqlAppendColumnRef(t, kFlashScoreColumns, ScoreColumn(q.sortKey), "s");
      SqlTextAppend(t, ", ");
      SqlTextAppendInt(t, NewCardValue(ScoreColumn(q.sortKey)));
      SqlTextAppend(t, ")");
    } else {
      SqlAppendColumnRef(t, kFlashCardColumns, CardColumn(q.sortKey), "c");
    }
    SqlTextAppend(t, " AS \"sortkey\"");
  }
  SqlTextAppend(t, " FROM \"");
  SqlTextAppend(t, kFlashCardsTable);
  SqlTextAppend(t, "\" AS c LEFT JOIN \"");
  SqlTextAppend(t, b.scores);
  SqlTextAppend(t, "\" AS s ON s.\"card\" = c.\"id\" WHERE 1");
  // Cards without a score row count as new cards: they pass when every
  // score condition of the group holds for the new-card values.
  bool anyScore = false, newPasses = true;
  for (int32_t i = first; i < end; ++i) {
    const FlashQueryCondition& c = q.conditions[i];
    if (!IsScoreCondition(c.kind)) continue;
    anyScore = true;
    if (c.kind == kQueryLastCorrect) newPasses = false;
    else if (!Holds(c.op, NewCardValue(ScoreColumn(c.kind)), c.value))
      newPasses = false;
  }
  for (int32_t i = first; i < end; ++i) {
    const FlashQueryCondition& c = q.conditions[i];
    if (c.kind == kQueryCategory || c.kind == kQueryExactCategory) {
      SqlTextAppend(t, " AND ");
      AppendCategory(b, c);
    } else if (c.kind == kQueryPriority) {
      if (c.value >= 1 && c.value <= 6) {
        const char* letters[6] = {"W", "V", "Y", "Z", "Q", "R"};
        SqlTerm term = Term(kScoreHistory, kSqlOpContains);
        term.text = letters[c.value - 1];
        SqlTextAppend(t, " AND ");
        SqlAppendWhere(t, kFlashScoreColumns, &term, 1, "s");
      }
    } else if (CardColumn(c.kind) >= 0 || c.kind == kQueryDictionary || c.kind == kQueryLanguage) {
      SqlTextAppend(t, " AND (");
      AppendCardCondition(b, c);
      SqlTextAppend(t, ")");
    }
  }
  if (anyScore) {
    SqlTextAppend(t, newPasses ? " AND (s.\"card\" IS NULL OR (1" : " AND (s.\"card\" IS NOT NULL AND (1");
    for (int32_t i = first; i < end; ++i) {
      if (!IsScoreCondition(q.conditions[i].kind)) continue;
      SqlTextAppend(t, " AND ");
      AppendScoreCondition(b, q.conditions[i]);
    }
    SqlTextAppend(t, "))");
  }
}

bool KeepFiltered(FlashcardStore* store, sqlite3_stmt* s, int filter) {
  if (filter == 1) {
    const int32_t dictId = SqlColumnInt(s, 2);
    if (dictId == -1 || dictId == 0) {
      const WCHAR* defn = SqlColumnText16(s, 4);
      return !defn || !*defn;
    }
    return !HasDictEntry(store->engine, static_cast<uint32_t>(SqlColumnInt(s, 1)), static_cast<uint32_t>(dictId),
                         SqlColumnInt(s, 3));
  }
  const std::u16string hw = Str(SqlColumnText16(s, 5)), alt = Str(SqlColumnText16(s, 6)),
                       pron = Str(SqlColumnText16(s, 7));
  auto ptr = [](const std::u16string& v) { return v.empty() ? nullptr : reinterpret_cast<const WCHAR*>(v.c_str()); };
  return FindCardsByTexts(store, ptr(hw), ptr(alt), ptr(pron), SqlColumnInt(s, 0), kFindSkipGivenCard, nullptr,
                          nullptr) >= 0;
}

}  // namespace

ChunkedArray* SearchCards(FlashcardStore* store, const FlashQueryRecord* query) {
  ChunkedArray* list = CreateChunkedArray(1, kSearchPerChunk, kSearchMaxChunks, 0);
  if (!list || !store || !store->database || !query || query->count <= 0) return list;
  EngineLockGuard lock;
  const int32_t count = query->count > static_cast<int32_t>(kQueryConditionMax) ? kQueryConditionMax : query->count;
  int filter = 0;
  for (int32_t i = 0; i < count && !filter; ++i)
    if (query->conditions[i].kind == kQueryIncomplete) filter = 1;
  for (int32_t i = 0; i < count && !filter; ++i)
    if (query->conditions[i].kind == kQueryDuplicate) filter = 2;
  const int sorting = !filter && (IsScoreSort(query->sortKey) || CardColumn(query->sortKey) >= 0);
  SqlText text;
  SqlTextBegin(store->database, &text);
  Builder b{store, &text, {}};
  FlashScoresTableName(query->scorefile, b.scores);
  int32_t first = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (query->conditions[i].connector != kQueryOr && i != count - 1) continue;
    if (first > 0) SqlTextAppend(&text, " UNION ");
    AppendGroup(b, *query, first, i + 1, sorting, filter);
    first = i + 1;
  }
  if (sorting)
    SqlTextAppend(&text, query->sortDescending == 1 ? " ORDER BY \"sortkey\" DESC" : " ORDER BY \"sortkey\"");
  sqlite3_stmt* s = SqlTextPrepare(store->database, &text);
  if (!s) return list;
  while (SqlStep(s) == SQLITE_ROW) {
    if (filter && !KeepFiltered(store, s, filter)) continue;
    if (AppendChunkedArray(list, static_cast<uint32_t>(SqlColumnInt(s, 0)), 0) != 0) break;
  }
  SqlFinalize(s);
  return list;
}

ChunkedArray* ListCategoryCards(FlashcardStore* store, int32_t category) {
  const bool none = category == kCategoryUncategorized;
  ChunkedArray* list = CreateChunkedArray(none ? 1 : 2, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  if (!list || !store || !store->database) return list;
  EngineLockGuard lock;
  SqlText text;
  SqlTextBegin(store->database, &text);
  if (none) {
    SqlTextAppend(&text, "SELECT \"id\", 0 FROM \"");
    SqlTextAppend(&text, kFlashCardsTable);
    SqlTextAppend(&text, "\" WHERE \"id\" NOT IN (SELECT \"card\" FROM \"");
    SqlTextAppend(&text, kFlashCategoryAssignsTable);
    SqlTextAppend(&text, "\")");
  } else {
    SqlTextAppend(&text, "SELECT \"card\", \"id\" FROM \"");
    SqlTextAppend(&text, kFlashCategoryAssignsTable);
    SqlTextAppend(&text, "\" WHERE \"cat\" == ");
    SqlTextAppendInt(&text, category);
    SqlTextAppend(&text, " ORDER BY \"id\"");
  }
  sqlite3_stmt* s = SqlTextPrepare(store->database, &text);
  if (!s) return list;
  while (SqlStep(s) == SQLITE_ROW)
    if (AppendChunkedArray(list, static_cast<uint32_t>(SqlColumnInt(s, 0)),
                           none ? 0 : static_cast<uint32_t>(SqlColumnInt(s, 1))) != 0)
      break;
  SqlFinalize(s);
  return list;
}

int AppendQueryResults(sqlite3_stmt* statement, ChunkedArray* list) {
  if (!statement || !list) return 1;
  for (;;) {
    const int rc = SqlStep(statement);
    if (rc == SQLITE_DONE) return 0;
    if (rc != SQLITE_ROW) return 1;
    if (AppendChunkedArray(list, static_cast<uint32_t>(SqlColumnInt(statement, 0)), 0) != 0) return 1;
  }
}

ChunkedArray* ListCardsOfCategories(FlashcardStore* store, const int32_t* ids, uint32_t count, int withSubcategories) {
  ChunkedArray* list = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  if (!list || !store || !store->database || (!ids && count)) return list;
  EngineLockGuard lock;
  std::vector<int32_t> wanted(ids, ids + count);
  if (withSubcategories && count) {
    uint32_t n = 0;
    int32_t* expanded = ExpandCategoryIds(store, ids, count, &n);
    if (!expanded) {
      FreeChunkedArray(list);
      return nullptr;
    }
    wanted.assign(expanded, expanded + n);
    LocalFree(expanded);
  }
  bool uncategorized = false;
  SqlText text;
  SqlTextBegin(store->database, &text);
  SqlTextAppend(&text, "SELECT DISTINCT \"card\" FROM \"");
  SqlTextAppend(&text, kFlashCategoryAssignsTable);
  SqlTextAppend(&text, "\" WHERE ");
  uint32_t real = 0;
  for (int32_t id : wanted) {
    if (id == kCategoryUncategorized) uncategorized = true;
    if (id < 0) continue;
    if (real++) SqlTextAppend(&text, " OR ");
    SqlTextAppend(&text, "\"cat\" == ");
    SqlTextAppendInt(&text, id);
  }
  if (real) {
    if (sqlite3_stmt* s = SqlTextPrepare(store->database, &text)) {
      AppendQueryResults(s, list);
      SqlFinalize(s);
    }
  } else {
    SqlTextEnd(store->database, &text);
  }
  // A full list takes no more rows: the second query then stops at once.
  if (uncategorized) {
    SqlTextBegin(store->database, &text);
    SqlTextAppend(&text, "SELECT \"id\" FROM \"");
    SqlTextAppend(&text, kFlashCardsTable);
    SqlTextAppend(&text, "\" WHERE \"id\" NOT IN (SELECT \"card\" FROM \"");
    SqlTextAppend(&text, kFlashCategoryAssignsTable);
    SqlTextAppend(&text, "\")");
    if (sqlite3_stmt* s = SqlTextPrepare(store->database, &text)) {
      AppendQueryResults(s, list);
      SqlFinalize(s);
    }
  }
  return list;
}

int MoveCardInCategoryOrder(FlashcardStore* store, ChunkedArray* pairs, int32_t from, int32_t to) {
  if (!store || !store->database || !pairs || pairs->width != 2) return 1;
  if (from < 0 || to < 0 || from >= pairs->count || to >= pairs->count) return 1;
  if (from == to) return 0;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  auto write = [&](int32_t position, int32_t card) {
    SqlTerm where{};
    where.column = kAssignId;
    where.value = static_cast<int32_t>(GetChunkedArrayWeight(pairs, position));
    SqlTerm set{};
    set.column = kAssignCard;
    set.value = card;
    return SqlUpdate(db, kFlashCategoryAssignsTable, kFlashAssignColumns, &where, 1, &set, 1);
  };
  std::vector<int32_t> cards;
  for (int32_t i = 0; i < pairs->count; ++i) cards.push_back(GetChunkedArrayItem(pairs, i));
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return 1;
  // The row at `from` steps aside first: (card, cat) is unique.
  rc = write(from, -cards[from]);
  const int32_t step = from < to ? -1 : 1;
  std::vector<int32_t> moved = cards;
  int32_t carried = cards[from];
  for (int32_t p = to; rc == SQLITE_OK && p != from; p += step) {
    const int32_t displaced = cards[p];
    rc = write(p, carried);
    moved[p] = carried;
    carried = displaced;
  }
  if (rc == SQLITE_OK) {
    rc = write(from, carried);
    moved[from] = carried;
  }
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return 1;
  }
  if (SqlCommit(db) != SQLITE_OK) return 1;
  for (int32_t i = 0; i < pairs->count; ++i) SetChunkedArrayItem(pairs, i, static_cast<uint32_t>(moved[i]));
  return 0;
}
