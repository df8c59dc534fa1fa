#include "flash/card_info.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/sql_query.h"
#include "engine/text_buffer.h"
#include "flash/card_content.h"
#include "flash/card_scores.h"
#include "flash/categories.h"
#include "flash/flash_sql.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session_queries.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// Writes text into the caller's buffer, cut to length - 1 units.
void Put(const std::u16string& text, WCHAR* buffer, uint32_t length) {
  if (!buffer || length == 0) return;
  const size_t n = text.size() < length - 1 ? text.size() : length - 1;
  std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
}

std::u16string Dec(int64_t value) {
  const std::string s = std::to_string(value);
  return std::u16string(s.begin(), s.end());
}

std::u16string Str(const WCHAR* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// A stored UTC time as the device shows it: local date and/or time.
std::u16string LocalTime(int32_t utc, bool withTime) {
  WCHAR out[kSecondsTextSize] = {};
  FormatSecondsAsText(UtcToLocalSeconds(static_cast<uint32_t>(utc)), out, true, withTime);
  return Str(out);
}
std::u16string ReviewTime(int32_t utc, bool withTime) { return utc == 0 ? u"Never" : LocalTime(utc, withTime); }

int32_t PriorityRank(int32_t priority) {
  switch (priority) {
    case kPriorityVeryHigh:
      return 1;
    case kPriorityHigh:
      return 2;
    case kPriorityLow:
      return 4;
    case kPriorityVeryLow:
      return 5;
    default:
      return 3;
  }
}

std::u16string ScoreFieldText(const CardScoreRecord& r, uint32_t kind, bool* known) {
  *known = true;
  switch (kind) {
    case kInfoScore:
      return Dec(r.score);
    case kInfoDifficulty:
      return Dec(r.difficulty);
    case kInfoReviewed:
      return Dec(r.reviewed);
    case kInfoCorrect:
      return Dec(r.correct);
    case kInfoIncorrect:
      return Dec(r.incorrect);
    case kInfoPercentCorrect: {
      // Counts may disagree with a cut or damaged history: only the
      // results the history holds are counted, over n all the same.
      int64_t n = static_cast<int64_t>(r.correct) + r.incorrect;
      if (n > kPercentCorrectWindow) n = kPercentCorrectWindow;
      if (n <= 0) return u"0%";
      int64_t good = 0;
      for (int64_t i = 0; i < n && r.history[i]; ++i) good += r.history[i] >= 4 ? 1 : 0;
      return Dec(good * 100 / n) + u"%";
    }
    case kInfoCorrectIncorrect:
      return Dec(r.correct) + u"-" + Dec(r.incorrect);
    case kInfoCorrectIncorrectReviewed:
      return Dec(r.correct) + u"-" + Dec(r.incorrect) + u"/" + Dec(r.reviewed);
    case kInfoFirstReviewed:
      return ReviewTime(r.firstReviewedTime, true);
    case kInfoLastReviewed:
      return ReviewTime(r.lastReviewedTime, true);
    case kInfoLastReviewedDate:
      return ReviewTime(r.lastReviewedTime, false);
    case kInfoPriorityRank:
      return Dec(PriorityRank(r.priority));
    case kInfoPriorityLabel: {
      static const char16_t* const kLabels[] = {u"1 (very high)", u"2 (high)", u"3 (normal)", u"4 (low)",
                                                u"5 (very low)"};
      return kLabels[PriorityRank(r.priority) - 1];
    }
    case kInfoHistory: {
      std::u16string digits;
      for (uint32_t i = 0; i < kScoreHistoryMax && r.history[i]; ++i)
        digits.push_back(static_cast<char16_t>(u'0' + r.history[i]));
      return digits;
    }
    default:
      *known = false;
      return {};
  }
}

// The card row's columns the field texts need; false for a missing card.
struct CardRow {
  int32_t creator = -1, dictId = -1, created = 0, modified = 0;
};
bool ReadCardRow(FlashcardStore* store, int32_t card, CardRow* row) {
  static constexpr uint32_t kColumns[] = {kCardDictCreator, kCardDictId, kCardCreated, kCardModified};
  EngineLockGuard lock;
  sqlite3_stmt* stmt = QueryCardColumns(store, card, kColumns, 4);
  if (!stmt) return false;
  const bool found = SqlStep(stmt) == SQLITE_ROW;
  if (found) {
    row->creator = SqlColumnInt(stmt, 0);
    row->dictId = SqlColumnInt(stmt, 1);
    row->created = SqlColumnInt(stmt, 2);
    row->modified = SqlColumnInt(stmt, 3);
  }
  SqlFinalize(stmt);
  return found;
}

// The syllable form of preference 91. Its first value names no syllable
// table of its own: the pinyin table is meant, with the tone style it
// gives (FormatSyllableText would write no syllable at all under it).
uint32_t SyllableFormat(DictEngine* engine) {
  uint32_t format = GetCharsetModeCode(engine);
  const uint32_t table = format & kSyllableTableMask;
  if (table != kSyllablePinyin && table != kSyllableZhuyin) format = (format & ~kSyllableTableMask) | kSyllablePinyin;
  return format;
}

// Room for a headword read for the headword field.
constexpr uint32_t kHeadwordFieldMax = 256;

int CardTextField(FlashcardStore* store, int32_t card, uint32_t kind, WCHAR* buffer, uint32_t length) {
  const bool altFirst = CardAltHeadwordFirst(store) != 0;
  if (kind == kInfoHeadword) {
    WCHAR hw[kHeadwordFieldMax], alt[kHeadwordFieldMax];
    if (ReadCardTexts(store, card, hw, alt, nullptr, kHeadwordFieldMax, 0) != 0) return 1;
    const WCHAR* first = altFirst ? alt : hw;
    Put(Str(first[0] ? first : (altFirst ? hw : alt)), buffer, length);
    return 0;
  }
  if (kind == kInfoPron) {
    WCHAR codes[kPronFieldSyllables + 1];
    if (ReadCardTexts(store, card, nullptr, nullptr, codes, kPronFieldSyllables + 1, 0) != 0) return 1;
    EngineLockGuard lock;
    TextBuffer tb{buffer, length, nullptr, 0};
    FormatSyllableText(store->engine, SyllableFormat(store->engine), codes, &tb);
    TextBufFinish(&tb);
    return 0;
  }
  // Definition or the whole card, as the exchange files give them.
  CardContentRecord content{};
  content.store = store;
  content.card = card;
  content.fields =
      (kind == kInfoDefinition ? kExportDefinitionMask : kExportFullCardMask) | (altFirst ? kContentAltFirst : 0u);
  content.text = NewMemHandle(2);
  if (!content.text) return 1;
  const int rc = BuildCardContent(nullptr, &content);
  if (rc == 0) Put(Str(static_cast<const WCHAR*>(content.text->data)), buffer, length);
  FreeMemHandle(content.text);
  return rc;
}

}  // namespace

int FormatScoreField(const CardScoreRecord* record, uint32_t kind, WCHAR* buffer, uint32_t length) {
  Put(u"", buffer, length);
  if (!record) return 1;
  bool known = false;
  const std::u16string text = ScoreFieldText(*record, kind, &known);
  Put(text, buffer, length);
  return known ? 0 : 1;
}

int FormatCardInfo(FlashcardStore* store, int32_t scorefile, int32_t card, uint32_t kind, WCHAR* buffer,
                   uint32_t length) {
  Put(u"", buffer, length);
  if (!store || !store->database) return 1;
  CardRow row;
  if (!ReadCardRow(store, card, &row)) return 1;
  switch (kind) {
    case kInfoCreated:
      Put(LocalTime(row.created, true), buffer, length);
      return 0;
    case kInfoModified:
      Put(LocalTime(row.modified, true), buffer, length);
      return 0;
    case kInfoDictionary: {
      std::u16string name = u"None";
      if (row.creator != -1 && row.dictId != -1 && row.dictId != 0) {
        EngineLockGuard lock;
        const uint16_t slot =
            FindDictSlot(store->engine, static_cast<uint32_t>(row.creator), static_cast<uint32_t>(row.dictId));
        WCHAR shortName[64] = {};
        if (slot < GetDictCount(store->engine) && GetDictShortName(store->engine, slot, shortName, 64) == 0)
          name = Str(shortName);
      }
      Put(name, buffer, length);
      return 0;
    }
    case kInfoHeadword:
    case kInfoPron:
    case kInfoDefinition:
    case kInfoFullCard:
      return CardTextField(store, card, kind, buffer, length);
    default:
      break;
  }
  if (scorefile == -1 || scorefile == -2) scorefile = GetProfileScorefileId(store);
  CardScoreRecord r;
  const int rc = ReadCardScore(store, scorefile, card, &r, 1);
  if (rc == 1) {
    // No row: the new-card record, but one that was never reviewed. Its
    // first-review stamp ("now", for a record about to be written) would
    // show a review that never happened.
    r.firstReviewedTime = 0;
  } else if (rc != 0) {
    return 1;
  }
  FormatScoreField(&r, kind, buffer, length);
  return 0;
}

int FormatCardCategories(FlashcardStore* store, int32_t card, TextBuffer* text) {
  if (!store || !store->database || !text) return 1;
  std::vector<int32_t> ids;
  if (SelectFlashInts(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, kAssignColumnCount, kAssignCard,
                      card, kAssignCat, &ids) != 0)
    return 1;
  TextBufAlloc(text);
  int rc = 0;
  bool first = true;
  for (int32_t id : ids) {
    if (!CategoryExists(store, id)) continue;
    WCHAR path[kCategoryPathMax + 1] = {};
    if (GetCategoryPath(store, id, path, kCategoryPathMax + 1) != 0) continue;
    if (!first) rc |= TextBufAppendWide(text, reinterpret_cast<const WCHAR*>(u", "), 0);
    rc |= TextBufAppendWide(text, path, 0);
    first = false;
  }
  TextBufFinish(text);
  return rc ? 1 : 0;
}

// --- Statistics -----------------------------------------------------------

namespace {

// Bounds of the score ranges: range i holds the scores above bound i up to
// bound i + 1; the last range holds every score above the last bound.
constexpr int32_t kRangeBounds[] = {0, 100, 200, 400, 800, 1600, 3200, 6400, 12800, 25600, 51200, 102400, 204800};
constexpr uint32_t kRangeCount = sizeof kRangeBounds / sizeof kRangeBounds[0];

// Aggregate columns: the row count, the learned count, one count per range,
// then the five sums.
enum : uint32_t { kAggRows, kAggLearned, kAggFirstRange };
constexpr uint32_t kAggConditions = kAggFirstRange + kRangeCount;
enum : uint32_t { kSumScore, kSumDifficulty, kSumReviewed, kSumCorrect, kSumIncorrect, kSumCount };

SqlTerm Score(uint32_t op, int32_t value, uint32_t connector = kSqlAnd) {
  SqlTerm t = FlashIntTerm(kScoreScore, value, connector);
  t.op = op;
  return t;
}

int32_t Setting(FlashcardStore* store, uint32_t id) {
  ProfileSettingValue v{};
  if (GetProfileSetting(store, id, &v) != 0) return 0;
  if (v.text) LocalFree(const_cast<WCHAR*>(v.text));
  return v.value;
}

void Append(TextBuffer* tb, const std::u16string& text, int* rc) {
  *rc |= TextBufAppendWide(tb, reinterpret_cast<const WCHAR*>(text.c_str()), static_cast<uint32_t>(text.size()));
}

}  // namespace

int FormatCategoryStatistics(FlashcardStore* store, int32_t category, TextBuffer* text) {
  if (!store || !store->database || !text) return 1;
  EngineLockGuard lock;
  TextBufAlloc(text);
  int rc = 0;
  auto noCards = [&]() {
    Append(text, kNoCardsFound, &rc);
    TextBufFinish(text);
    return rc ? 1 : 0;
  };
  if (LoadCurrentProfileSettings(store) != 0) return noCards();
  const int32_t scorefile = Setting(store, kProScorefile);
  if (scorefile <= 0) return noCards();
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  SqlDb* db = store->database;

  // Total and days; for a category the set of its cards.
  int64_t total = 0;
  int64_t days = 0;
  std::vector<int32_t> categories;
  const SqlTerm selectCard = FlashIntTerm(kAssignCard, 0);
  SqlTerm inCategories{};
  SqlQuery assigned{};
  if (category < 0) {
    total = SqlCount(db, kFlashCardsTable, nullptr);
    SqlTerm oldest = FlashIntTerm(kScoreFirstReviewed, 0);
    oldest.aggregate = kSqlAggMin;
    SqlQuery q{};
    q.table = table;
    q.columns = kFlashScoreColumns;
    q.columnCount = kScoreColumnCount;
    q.select = &oldest;
    q.selectCount = 1;
    sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
    if (!stmt) return 1;
    const int step = SqlStep(stmt);
    const int64_t first = step == SQLITE_ROW ? SqlColumnInt64(stmt, 0) : 0;
    SqlFinalize(stmt);
    if (step != SQLITE_ROW) return step;
    days = (static_cast<int64_t>(FlashNow()) - first + 86399) / 86400;
  } else {
    uint32_t n = 0;
    int32_t* all = ExpandCategoryIds(store, &category, 1, &n);
    if (!all) return 1;
    categories.assign(all, all + n);
    LocalFree(all);
    inCategories = FlashIntTerm(kAssignCat, 0);
    inCategories.op = kSqlOpIn;
    inCategories.list = categories.data();
    inCategories.listCount = static_cast<uint32_t>(categories.size());
    assigned.table = kFlashCategoryAssignsTable;
    assigned.columns = kFlashAssignColumns;
    assigned.columnCount = kAssignColumnCount;
    assigned.where = &inCategories;
    assigned.whereCount = 1;
    assigned.select = &selectCard;
    assigned.selectCount = 1;
    assigned.distinct = 1;
    total = SqlCount(db, kFlashCategoryAssignsTable, &assigned);
  }
  if (total < 0) return 1;
  if (total == 0) return noCards();

  // The learned rule of the profile.
  const int32_t mode = Setting(store, kProLearnedselmode);
  int32_t count = Setting(store, kProLearnedselcount);
  std::string pattern;
  SqlTerm learned{};
  if (mode == 0) {
    if (count > kLearnedCountMax) count = kLearnedCountMax;
    if (count < 0) count = 0;
    for (int32_t i = 0; i < count; ++i) pattern += "[456]";
    pattern += "*";
    learned = FlashIntTerm(kScoreHistory, 0);
    learned.op = kSqlOpGlob;
    learned.text = pattern.c_str();
  } else {
    learned = FlashIntTerm(mode == 4 ? kScoreCorrect : kScoreScore, count);
    learned.op = kSqlOpGreaterEqual;
  }

  // One aggregate query over the score rows (of the category's cards).
  SqlTerm ranges[kRangeCount][2];
  const SqlTerm* conditions[kAggConditions] = {};
  uint32_t conditionCounts[kAggConditions] = {};
  conditions[kAggLearned] = &learned;
  conditionCounts[kAggLearned] = 1;
  for (uint32_t i = 0; i < kRangeCount; ++i) {
    uint32_t n = 0;
    if (i > 0) ranges[i][n++] = Score(kSqlOpGreater, kRangeBounds[i]);
    if (i + 1 < kRangeCount) ranges[i][n++] = Score(kSqlOpLessEqual, kRangeBounds[i + 1]);
    conditions[kAggFirstRange + i] = ranges[i];
    conditionCounts[kAggFirstRange + i] = n;
  }
  const SqlTerm sums[kSumCount] = {FlashIntTerm(kScoreScore, 0), FlashIntTerm(kScoreDifficulty, 0),
                                   FlashIntTerm(kScoreReviewed, 0), FlashIntTerm(kScoreCorrect, 0),
                                   FlashIntTerm(kScoreIncorrect, 0)};
  SqlQuery cardsOf = assigned;
  cardsOf.inColumn = kScoreCard;
  cardsOf.distinct = 0;
  int64_t agg[kAggConditions + kSumCount] = {};
  const int aggregated = SqlSelectAggregates(db, table, kFlashScoreColumns, conditions, conditionCounts, kAggConditions,
                                             sums, kSumCount, category < 0 ? nullptr : &cardsOf, agg);
  if (aggregated != 0) return aggregated;
  const int64_t rows = agg[kAggRows];
  const int64_t* sum = agg + kAggConditions;
  const int64_t missing = total - rows > 0 ? total - rows : 0;

  Append(text, u"Total Cards: " + Dec(total), &rc);
  Append(text, u"\n\nAverage Score: " + Dec((sum[kSumScore] + missing * kNewCardScore) / total), &rc);
  Append(text, u"\nAverage Difficulty: " + Dec((sum[kSumDifficulty] + missing * kNewCardDifficulty) / total), &rc);
  Append(text, u"\n\nTotal Repetitions: " + Dec(sum[kSumReviewed]), &rc);
  if (rows > 0) {
    Append(text, u"\nAverage Repetitions Per Card: " + Dec(sum[kSumReviewed] / rows), &rc);
    if (days > 0) Append(text, u"\n  Per Day: " + Dec(sum[kSumReviewed] / days), &rc);
    const int64_t answered = sum[kSumCorrect] + sum[kSumIncorrect];
    if (sum[kSumCorrect] != 0 || sum[kSumIncorrect] != 0)
      Append(text, u"\nAverage Correct %: " + (answered ? Dec(sum[kSumCorrect] * 100 / answered) : u"0"), &rc);
    Append(text, u"\nCards Learned: " + Dec(agg[kAggLearned]), &rc);
    if (days > 0) Append(text, u"\n  Per Day: " + Dec(agg[kAggLearned] / days), &rc);
    // The label names the rule that was applied: every mode but 0 and 4
    // compares the score.
    std::u16string rule;
    if (mode == 0) rule = u"last " + Dec(count) + u" answers correct";
    else if (mode == 4)
      rule = u"times correct >= " + Dec(count);
    else
      rule = u"score >= " + Dec(count);
    Append(text, u"\n(learned: " + rule + u")", &rc);
  }
  Append(text, u"\n\nScore Ranges:", &rc);
  for (uint32_t i = 0; i < kRangeCount; ++i) {
    const int64_t n = agg[kAggFirstRange + i] + (i == 0 ? missing : 0);
    if (n == 0) continue;
    const std::u16string lo = Dec(i == 0 ? 0 : kRangeBounds[i] + 1);
    const std::u16string range = i + 1 < kRangeCount ? lo + u"-" + Dec(kRangeBounds[i + 1]) : lo + u"+";
    Append(text, u"\n" + range + u": " + Dec(n), &rc);
  }
  TextBufFinish(text);
  return rc ? 1 : 0;
}
