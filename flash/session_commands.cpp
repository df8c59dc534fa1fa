#include "flash/session_commands.h"

#include <cstring>

#include "engine/sql_text.h"
#include "flash/cards.h"
#include "flash/chunked_array.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// Drops order entry i and, for the most recent cards, its undo row.
void DropOrderEntry(FlashSession* s, int32_t i) {
  std::memmove(s->order + i, s->order + i + 1, static_cast<size_t>(s->orderCount - i - 1) * sizeof(uint32_t));
  --s->orderCount;
  if (i < s->undoCount) {
    std::memmove(&s->undo[i], &s->undo[i + 1], static_cast<size_t>(s->undoCount - i - 1) * sizeof(CardScoreRecord));
    std::memmove(&s->undone[i], &s->undone[i + 1], static_cast<size_t>(s->undoCount - i - 1));
    --s->undoCount;
  }
  if (s->browsePosition > i) --s->browsePosition;
}

bool RemoveFromRing(FlashSession* s, int32_t card) {
  for (int32_t k = 0; k < s->ringCount; ++k) {
    const int32_t at = (s->ringOldest + k) % s->ringCapacity;
    if (s->ring[at].card != card) continue;
    // Later entries move one place towards the oldest, keeping their order.
    for (int32_t j = k; j + 1 < s->ringCount; ++j)
      s->ring[(s->ringOldest + j) % s->ringCapacity] = s->ring[(s->ringOldest + j + 1) % s->ringCapacity];
    --s->ringCount;
    return true;
  }
  return false;
}

void RemoveWeighted(FlashSession* s, int32_t card) {
  ChunkedArray* list = s->cards;
  for (int32_t c = 0; list && c < list->chunkCount; ++c)
    for (int32_t i = 0; i < list->chunkCounts[c]; ++i)
      if (static_cast<int32_t>(list->chunks[c][static_cast<size_t>(i) * list->width]) == card) {
        RemoveWeightedRecord(s, c, i);
        return;
      }
}

}  // namespace

int RemoveCardFromSession(FlashSession* s, int32_t card) {
  if (!s) return 1;
  if (card == s->currentCard) return 1;
  for (int32_t i = s->orderCount - 1; i >= 0; --i)
    if (static_cast<int32_t>(s->order[i] & kOrderCardMask) == card) DropOrderEntry(s, i);
  if (s->method == kSelectFrequency) {
    if (!RemoveFromRing(s, card)) RemoveWeighted(s, card);
    return 0;
  }
  const int32_t at = FindChunkedArrayItem(s->cards, static_cast<uint32_t>(card));
  if (at >= 0) {
    DeleteChunkedArrayItem(s->cards, at);
    // A card already passed must not shift the next one out of turn.
    if (at < s->nextPosition) --s->nextPosition;
    if (s->cards->mark > at) --s->cards->mark;
  }
  return 0;
}

int BuildChoicePools(FlashSession* s) {
  if (!s || !s->store || !s->store->database) return 1;
  for (ChunkedArray*& pool : s->lengthPools) {
    FreeChunkedArray(pool);
    pool = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  }
  FreeChunkedArray(s->longPool);
  FreeChunkedArray(s->choicePool);
  s->longPool = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  s->choicePool = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  if (!s->longPool || !s->choicePool || !s->lengthPools[0] || !s->lengthPools[1] || !s->lengthPools[2] ||
      !s->lengthPools[3])
    return 1;
  FlashcardStore* store = s->store;
  const int32_t from = GetSessionSettingInt(store, kProChoicesfrom);
  EngineLockGuard lock;
  SqlText text;
  SqlTextBegin(store->database, &text);
  SqlTextAppend(&text, "SELECT c.\"id\", c.\"wordlength\" FROM \"");
  SqlTextAppend(&text, kFlashCardsTable);
  SqlTextAppend(&text, "\" AS c WHERE ");
  SqlTextAppend(&text, s->language == kCardLanguageChinese ? "c.\"lang\" == 4096" : "c.\"lang\" != 4096");
  int rc = 0;
  if (from == 1 || from == 2) {
    ProfileSettingValue v{};
    if (GetProfileSetting(store, from == 1 ? kProCategories : kProChoicescustomcats, &v) == 0) {
      uint32_t count = 0;
      int32_t* ids = ParseIntList(v.text, 1, 0, &count);
      SqlTextAppend(&text, " AND ");
      rc = AppendCategorySelection(&text, store, ids, count);
      if (ids) LocalFree(ids);
      if (v.text) LocalFree(const_cast<WCHAR*>(v.text));
    }
  }
  if (rc != 0) {
    SqlTextEnd(store->database, &text);
    return 1;
  }
  sqlite3_stmt* statement = SqlTextPrepare(store->database, &text);
  if (!statement) return 1;
  return FillLengthPools(statement, s->lengthPools, s->longPool, s->choicePool, s->randomState);
}
