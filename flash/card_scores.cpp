#include "flash/card_scores.h"

#include <sqlite3.h>

#include <cstring>

#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"

namespace {

SqlTerm Term(uint32_t column, int32_t value) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.value = value;
  return t;
}

char PriorityLetter(int32_t priority) {
  switch (priority) {
    case kPriorityHigh:
      return 'W';
    case kPriorityVeryHigh:
      return 'V';
    case kPriorityLow:
      return 'Y';
    case kPriorityVeryLow:
      return 'Z';
    default:
      return 0;
  }
}

bool IsNew(const CardScoreRecord& r) { return r.history[0] == 0 || r.reviewed == 0; }

}  // namespace

void InitCardScoreRecord(CardScoreRecord* record) {
  if (!record) return;
  *record = CardScoreRecord{};
  record->score = kNewCardScore;
  record->difficulty = kNewCardDifficulty;
  record->firstReviewedTime = FlashNow();
}

void EncodeScoreHistory(const CardScoreRecord* r, char out[kHistoryTextMax]) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < kScoreHistoryMax && r->history[i]; ++i) out[n++] = static_cast<char>('0' + r->history[i]);
  if (r->poolMark == kPoolExclude) out[n++] = 'R';
  // A reviewed card is no longer new: its force-add mark means nothing.
  else if (r->poolMark == kPoolForceAdd && IsNew(*r))
    out[n++] = 'Q';
  if (const char letter = PriorityLetter(r->priority)) out[n++] = letter;
  out[n] = 0;
}

void DecodeScoreHistory(const char* text, CardScoreRecord* r) {
  std::memset(r->history, 0, sizeof r->history);
  r->priority = kPriorityNormal;
  r->poolMark = kPoolNone;
  if (!text) return;
  size_t end = std::strlen(text);
  if (end > 0) {
    switch (text[end - 1]) {
      case 'V':
        r->priority = kPriorityVeryHigh;
        --end;
        break;
      case 'W':
        r->priority = kPriorityHigh;
        --end;
        break;
      case 'X':
        r->priority = kPriorityNormal;
        --end;
        break;
      case 'Y':
        r->priority = kPriorityLow;
        --end;
        break;
      case 'Z':
        r->priority = kPriorityVeryLow;
        --end;
        break;
      default:
        break;
    }
  }
  if (end > 0 && text[end - 1] == 'Q') r->poolMark = kPoolForceAdd;
  else if (end > 0 && text[end - 1] == 'R')
    r->poolMark = kPoolExclude;
  uint32_t n = 0;
  for (size_t i = 0; i < end && n < kScoreHistoryMax; ++i) {
    const char c = text[i];
    if (c >= '1' && c <= '6') r->history[n++] = static_cast<uint8_t>(c - '0');
    else if (c == 'C' || c == 'c')
      r->history[n++] = 6;  // older data: correct
    else if (c == 'I' || c == 'i')
      r->history[n++] = 2;  // older data: incorrect
  }
}

int ReadCardScore(FlashcardStore* store, int32_t scorefile, int32_t card, CardScoreRecord* record, int mustExist) {
  if (!store || !record) return SQLITE_MISUSE;
  EngineLockGuard lock;
  InitCardScoreRecord(record);
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  SqlTerm select[kScoreColumnCount - 1];
  for (uint32_t i = 1; i < kScoreColumnCount; ++i) select[i - 1] = Term(i, 0);
  const SqlTerm where = Term(kScoreCard, card);
  SqlQuery q{};
  q.table = table;
  q.columns = kFlashScoreColumns;
  q.columnCount = kScoreColumnCount;
  q.where = &where;
  q.whereCount = 1;
  q.select = select;
  q.selectCount = kScoreColumnCount - 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(store->database, &q);
  if (!stmt) {
    // A statement that fails is no missing row: a caller that took the
    // new-card record would store it over the card's history.
    const int rc = sqlite3_errcode(store->database->conn);
    return rc != SQLITE_OK ? rc : SQLITE_ERROR;
  }
  const int step = SqlStep(stmt);
  int rc = SQLITE_OK;
  if (step == SQLITE_ROW) {
    record->score = SqlColumnInt(stmt, 0);
    record->difficulty = SqlColumnInt(stmt, 1);
    DecodeScoreHistory(SqlColumnText(stmt, 2), record);
    record->correct = SqlColumnInt(stmt, 3);
    record->incorrect = SqlColumnInt(stmt, 4);
    record->reviewed = SqlColumnInt(stmt, 5);
    record->sinceLastChange = SqlColumnInt(stmt, 6);
    record->firstReviewedTime = SqlColumnInt(stmt, 7);
    record->lastReviewedTime = SqlColumnInt(stmt, 8);
    record->scoreIncTime = SqlColumnInt(stmt, 9);
    record->scoreDecTime = SqlColumnInt(stmt, 10);
  } else if (step == SQLITE_DONE) {
    rc = mustExist ? 1 : SQLITE_OK;
  } else {
    rc = step;
  }
  SqlFinalize(stmt);
  return rc;
}

int WriteCardScore(FlashcardStore* store, int32_t scorefile, int32_t card, CardScoreRecord* r) {
  if (!store || !r) return SQLITE_MISUSE;
  if (r->score < kScoreMin) r->score = kScoreMin;
  if (r->difficulty < kDifficultyMin) r->difficulty = kDifficultyMin;
  char history[kHistoryTextMax];
  EncodeScoreHistory(r, history);
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  SqlTerm terms[kScoreColumnCount] = {
      Term(kScoreCard, card),
      Term(kScoreScore, r->score),
      Term(kScoreDifficulty, r->difficulty),
      Term(kScoreHistory, 0),
      Term(kScoreCorrect, r->correct),
      Term(kScoreIncorrect, r->incorrect),
      Term(kScoreReviewed, r->reviewed),
      Term(kScoreSinceLastChange, r->sinceLastChange),
      Term(kScoreFirstReviewed, r->firstReviewedTime),
      Term(kScoreLastReviewed, r->lastReviewedTime),
      Term(kScoreIncTime, r->scoreIncTime),
      Term(kScoreDecTime, r->scoreDecTime),
  };
  terms[kScoreHistory].text = history;
  return SqlInsert(store->database, table, kFlashScoreColumns, terms, kScoreColumnCount, nullptr, 1);
}

int ApplyCardPriorityCode(FlashcardStore* store, int32_t scorefile, int32_t card, int32_t code) {
  CardScoreRecord r;
  EngineLockGuard lock;
  int rc = ReadCardScore(store, scorefile, card, &r, 0);
  if (rc != SQLITE_OK) return rc;
  switch (code) {
    case kCodeVeryHigh:
    case kCodeHigh:
    case kCodeNormal:
    case kCodeLow:
    case kCodeVeryLow:
      r.priority = code;
      break;
    case kCodeForceAdd:
      r.poolMark = kPoolForceAdd;
      break;
    case kCodeForceExclude:
      r.poolMark = kPoolExclude;
      break;
    case kCodeUnsetAdd:
      if (r.poolMark == kPoolForceAdd) r.poolMark = kPoolNone;
      break;
    case kCodeUnsetExclude:
      if (r.poolMark == kPoolExclude) r.poolMark = kPoolNone;
      break;
    default:
      break;
  }
  return WriteCardScore(store, scorefile, card, &r);
}

int32_t GetCardPriority(FlashcardStore* store, int32_t scorefile, int32_t card) {
  CardScoreRecord r;
  return ReadCardScore(store, scorefile, card, &r, 1) == SQLITE_OK ? r.priority : kPriorityNormal;
}

int32_t GetCardForcePool(FlashcardStore* store, int32_t scorefile, int32_t card) {
  CardScoreRecord r;
  return ReadCardScore(store, scorefile, card, &r, 1) == SQLITE_OK ? r.poolMark : kPoolNone;
}

int IsCardNewInScorefile(FlashcardStore* store, int32_t scorefile, int32_t card) {
  CardScoreRecord r;
  if (ReadCardScore(store, scorefile, card, &r, 1) != SQLITE_OK) return 1;
  return IsNew(r) ? 1 : 0;
}

int DeleteCardScores(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t firstPosition,
                     int32_t scorefile, TransferCallback progress, void* context) {
  if (!store) return SQLITE_MISUSE;
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  if (!cards) return SqlDelete(store->database, table, kFlashScoreColumns, nullptr, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const SqlTerm where = Term(kScoreCard, cards[i]);
    const int rc = SqlDelete(store->database, table, kFlashScoreColumns, &where, 1);
    if (rc != SQLITE_OK) return rc;
    if (progress) progress(0, 0, 0, firstPosition + i, context);
  }
  return SQLITE_OK;
}

int ResetCardScore(FlashcardStore* store, int32_t scorefile, int32_t card) {
  return DeleteCardScores(store, &card, 1, 0, scorefile, nullptr, nullptr);
}
