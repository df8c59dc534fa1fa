#include "flash/card_batch.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/entry_fetch.h"
#include "engine/mem_handle.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/system_services.h"
#include "engine/user_dict_entries.h"
#include "flash/card_content.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/chunked_array.h"
#include "flash/exchange_import.h"
#include "flash/flash_sql.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash/session_queries.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// --- The common pattern ---------------------------------------------------

// One chunk of the cards a command runs over: count ids `stride` words
// apart.
struct CardChunk {
  const int32_t* cards;
  uint32_t count;
  uint32_t stride;
};

// The chunks of a list, or of every card in id order.
class CardChunks {
 public:
  // False when the ids of every card cannot be read.
  bool Load(FlashcardStore* store, const ChunkedArray* list) {
    if (list) {
      for (int32_t c = 0; c < list->chunkCount; ++c) {
        if (list->chunkCounts[c] <= 0) continue;
        chunks_.push_back({reinterpret_cast<const int32_t*>(list->chunks[c]),
                           static_cast<uint32_t>(list->chunkCounts[c]),
                           static_cast<uint32_t>(list->width > 0 ? list->width : 1)});
      }
      return true;
    }
    {
      EngineLockGuard lock;
      sqlite3_stmt* stmt = QueryCardsWhere(store, nullptr, 0);
      if (!stmt) return false;
      int step;
      while ((step = SqlStep(stmt)) == SQLITE_ROW) all_.push_back(SqlColumnInt(stmt, 0));
      SqlFinalize(stmt);
      if (step != SQLITE_DONE) return false;
    }
    for (size_t at = 0; at < all_.size(); at += kBatchChunkCards) {
      const size_t n = all_.size() - at < kBatchChunkCards ? all_.size() - at : kBatchChunkCards;
      chunks_.push_back({all_.data() + at, static_cast<uint32_t>(n), 1});
    }
    return true;
  }
  const std::vector<CardChunk>& chunks() const { return chunks_; }

 private:
  std::vector<int32_t> all_;
  std::vector<CardChunk> chunks_;
};

// What a step of a command tells the pattern.
enum class Step { Next, EndCommand };

void Report(ImportTransferCallback callback, void* context, uint32_t position) {
  if (!callback) return;
  // The callback reaches the UI thread; the engine stays free meanwhile.
  EngineLockReleaser release;
  callback(kImportAskProgress, nullptr, nullptr, position, 0, context);
}

// Runs `chunkStep` over each chunk inside the chunk's transaction. The step
// sets *failure and answers EndCommand to stop after its chunk is
// committed. The result: a failed BEGIN or COMMIT, else *failure.
template <typename ChunkStep>
int RunChunked(FlashcardStore* store, const CardChunks& chunks, ChunkStep chunkStep) {
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  int failure = 0;
  bool first = true;
  for (const CardChunk& chunk : chunks.chunks()) {
    if (!first) {
      rc = SqlCommit(db);
      if (rc == SQLITE_OK) rc = SqlBegin(db);
      if (rc != SQLITE_OK) return rc;
    }
    first = false;
    if (chunkStep(chunk, &failure) == Step::EndCommand) break;
  }
  rc = SqlCommit(db);
  return rc != SQLITE_OK ? rc : failure;
}

// The pattern with one call per card; positions from firstPosition on.
template <typename CardStep>
int RunPerCard(FlashcardStore* store, const ChunkedArray* list, uint32_t firstPosition, ImportTransferCallback callback,
               void* context, CardStep cardStep) {
  if (!store || !store->database) return 1;
  CardChunks chunks;
  if (!chunks.Load(store, list)) return 1;
  uint32_t position = firstPosition;
  return RunChunked(store, chunks, [&](const CardChunk& chunk, int* failure) {
    for (uint32_t i = 0; i < chunk.count; ++i) {
      const int32_t card = chunk.cards[i * chunk.stride];
      const int rc = cardStep(card);
      if (rc != 0) {
        *failure = rc;
        return Step::EndCommand;
      }
      Report(callback, context, position++);
    }
    return Step::Next;
  });
}

// One statement in its own transaction (the commands' "without a list"
// forms).
int RunInTransaction(FlashcardStore* store, int (*work)(FlashcardStore*, int32_t), int32_t argument) {
  if (!store || !store->database) return 1;
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  rc = work(store, argument);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

int32_t ResolveScorefile(FlashcardStore* store, int32_t scorefile) {
  return scorefile == -1 || scorefile == -2 ? GetProfileScorefileId(store) : scorefile;
}

}  // namespace

int AddCardListToCategory(FlashcardStore* store, const ChunkedArray* list, int32_t category,
                          ImportTransferCallback callback, void* context) {
  return RunPerCard(store, list, 1, callback, context, [&](int32_t card) {
    AddCardsToCategory(store, &card, 1, 1, category);  // a card already filed there is no failure
    return 0;
  });
}

int RemoveCardListFromCategory(FlashcardStore* store, const ChunkedArray* list, int32_t category,
                               ImportTransferCallback callback, void* context) {
  if (!list)
    return RunInTransaction(
        store, [](FlashcardStore* s, int32_t c) { return RemoveCardsFromCategory(s, nullptr, 0, 0, c); }, category);
  return RunPerCard(store, list, 1, callback, context, [&](int32_t card) {
    RemoveCardsFromCategory(store, &card, 1, 1, category);
    return 0;
  });
}

int RemoveCardListFromAllCategories(FlashcardStore* store, const ChunkedArray* list, ImportTransferCallback callback,
                                    void* context) {
  if (!list)
    return RunInTransaction(
        store,
        [](FlashcardStore* s, int32_t) {
          return SqlDelete(s->database, kFlashCategoryAssignsTable, kFlashAssignColumns, nullptr, 0);
        },
        0);
  return RunPerCard(store, list, 1, callback, context, [&](int32_t card) {
    if (RemoveCardFromAllCategories(store, card) == SQLITE_OK) TouchCard(store, card);
    return 0;
  });
}

int ApplyCardPriorityCodeToList(FlashcardStore* store, const ChunkedArray* list, int32_t scorefile, int32_t code,
                                ImportTransferCallback callback, void* context) {
  scorefile = ResolveScorefile(store, scorefile);
  return RunPerCard(store, list, 0, callback, context, [&](int32_t card) {
    ApplyCardPriorityCode(store, scorefile, card, code);
    return 0;
  });
}

int ResetCardScoresOfList(FlashcardStore* store, const ChunkedArray* list, int32_t scorefile,
                          ImportTransferCallback callback, void* context) {
  scorefile = ResolveScorefile(store, scorefile);
  if (!list)
    return RunInTransaction(
        store,
        [](FlashcardStore* s, int32_t file) { return DeleteCardScores(s, nullptr, 0, 0, file, nullptr, nullptr); },
        scorefile);
  return RunPerCard(store, list, 1, callback, context, [&](int32_t card) {
    DeleteCardScores(store, &card, 1, 0, scorefile, nullptr, nullptr);
    return 0;
  });
}

int32_t ApplyScoreOperation(int32_t score, int32_t operation, int32_t amount, uint32_t random) {
  const int64_t a = std::llabs(static_cast<int64_t>(amount));
  const int64_t s = score;
  // R = floor((A + 1) y) with y = random / 2^32, never above A.
  auto draw = [&]() {
    const double y = static_cast<double>(random) / 4294967296.0;
    const int64_t r = static_cast<int64_t>(std::floor(static_cast<double>(a + 1) * y));
    return r > a ? a : r;
  };
  int64_t out = s;
  switch (operation) {
    case kBatchScoreSet:
      out = a;
      break;
    case kBatchScoreAdd:
      out = s + a;
      break;
    case kBatchScoreAddPercent:
      out = s + s * a / 100;
      break;
    case kBatchScoreAddRandom:
      out = s + draw();
      break;
    case kBatchScoreSubtract:
      out = s - a;
      break;
    case kBatchScoreSubtractPercent:
      out = s - s * a / 100;
      break;
    case kBatchScoreSubtractRandom:
      out = s - draw();
      break;
    default:
      break;
  }
  if (out > INT32_MAX) out = INT32_MAX;
  if (out < INT32_MIN) out = INT32_MIN;
  return static_cast<int32_t>(out);
}

int ApplyBatchScoreOperation(FlashcardStore* store, const ChunkedArray* list, int32_t scorefile, int32_t operation,
                             int32_t amount, ImportTransferCallback callback, void* context) {
  if (operation < kBatchScoreSet || operation > kBatchScoreResetDifficulty) return 1;
  scorefile = ResolveScorefile(store, scorefile);
  const bool random = operation == kBatchScoreAddRandom || operation == kBatchScoreSubtractRandom;
  return RunPerCard(store, list, 1, callback, context, [&](int32_t card) {
    EngineLockGuard lock;
    CardScoreRecord r;
    int rc = ReadCardScore(store, scorefile, card, &r, 0);
    if (rc != SQLITE_OK) return rc;
    if (operation == kBatchScoreResetDifficulty) {
      r.difficulty = kNewCardDifficulty;
    } else {
      r.score = ApplyScoreOperation(r.score, operation, amount, random ? GetRandom32() : 0);
      if (operation == kBatchScoreSet) r.scoreIncTime = r.scoreDecTime = 0;
    }
    return WriteCardScore(store, scorefile, card, &r);
  });
}

namespace {

// Every row of every score table, of the assignments and of the cards.
int DeleteEveryCard(FlashcardStore* store, int32_t) {
  int rc = SQLITE_OK;
  const int32_t n = GetScorefileCount(store);
  for (int32_t i = 0; rc == SQLITE_OK && i < n; ++i)
    rc = DeleteCardScores(store, nullptr, 0, 0, GetScorefileIdByIndex(store, i), nullptr, nullptr);
  if (rc == SQLITE_OK) rc = SqlDelete(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, nullptr, 0);
  if (rc == SQLITE_OK) rc = SqlDelete(store->database, kFlashCardsTable, kFlashCardColumns, nullptr, 0);
  return rc;
}

}  // namespace

int DeleteCards(FlashcardStore* store, const ChunkedArray* list, ImportTransferCallback callback, void* context) {
  // Without a list the three deletes go together or not at all: cards
  // left without their scores and categories, reported as deleted, would
  // be worse than no change.
  if (!list) return RunInTransaction(store, DeleteEveryCard, 0);
  return RunPerCard(store, list, 1, callback, context, [&](int32_t card) {
    DeleteCard(store, card);
    return 0;
  });
}

int ConvertCustomCardsToUserDict(FlashcardStore* store, const ChunkedArray* list, ImportTransferCallback callback,
                                 void* context) {
  if (!store || !store->database) return 1;
  CardChunks chunks;
  if (!chunks.Load(store, list)) return 1;
  uint32_t position = 1;
  for (const CardChunk& chunk : chunks.chunks())
    for (uint32_t i = 0; i < chunk.count; ++i) {
      ConvertCardToUserDictEntry(store, chunk.cards[i * chunk.stride]);
      Report(callback, context, position++);
    }
  return 0;
}

// --- Relinking ------------------------------------------------------------

namespace {

// Saves the card from (slot, entry): texts and reference replaced, no
// score rows. 0, or 1 when the card could not be saved.
int SaveFromEntry(FlashcardStore* store, int32_t card, uint16_t slot, uint32_t entry) {
  CardEditRecord r{};
  r.scorefile = -1;
  r.linked = 1;
  r.duplicateMode = kDuplicateAllow;
  r.dictSlot = slot;
  r.entry = entry;
  return SaveCard(store, &r, card) == card ? 0 : 1;
}

// SaveCard refuses an entry it cannot make a card of, and its refusal
// rolls back a nesting level, which fails the whole open chunk: every card
// of the chunk would lose its change for one card. Inside a chunk the
// refusals that depend on the entry alone are checked first, so that such
// a card is passed over like the other per-card failures.
bool EntryMakesCard(FlashcardStore* store, uint16_t slot, uint32_t entry) {
  EngineLockGuard lock;
  DictEngine* engine = store->engine;
  if (slot >= GetDictCount(engine)) return false;
  const uint32_t flags = GetDictFlags(engine, slot);
  if (flags & kDictFlagNoCards) return false;
  WCHAR *hw = nullptr, *althw = nullptr, *pron = nullptr;
  GetCardEntryTexts(store, slot, entry, &hw, &althw, &pron);
  const bool texts = hw || althw || pron;
  for (WCHAR* text : {hw, althw, pron})
    if (text) LocalFree(text);
  if (!texts) return false;
  if (!(flags & kDictFlagLendsText)) return true;
  WCHAR* definition = GetEntryDefinitionText(store, slot, entry);
  if (!definition) return false;
  LocalFree(definition);
  return true;
}

// 0 saved or nothing to do; 1 the card could not be saved. With
// inChunk, an entry that makes no card is passed over (0).
int RefreshCard(FlashcardStore* store, int32_t card, bool inChunk) {
  uint16_t slot = kNoCardSlot;
  int32_t entry = -1;
  if (ResolveCardEntry(store, card, &slot, &entry) != 0 || entry < 0) return 0;
  if (inChunk && !EntryMakesCard(store, slot, static_cast<uint32_t>(entry))) return 0;
  return SaveFromEntry(store, card, slot, static_cast<uint32_t>(entry));
}

std::u16string Key(const WCHAR* text) {
  std::u16string out = text ? reinterpret_cast<const char16_t*>(text) : u"";
  if (!out.empty()) {
    StripKeyMarks(reinterpret_cast<WCHAR*>(out.data()));
    out.resize(std::char_traits<char16_t>::length(out.c_str()));
  }
  return out;
}
const WCHAR* W(const std::u16string& s) { return s.empty() ? nullptr : reinterpret_cast<const WCHAR*>(s.c_str()); }

struct RemapCard {
  std::u16string hw, althw, pron;
  int32_t creator = -1, dictId = -1;
  uint32_t language = 0;
};

bool ReadRemapCard(FlashcardStore* store, int32_t card, RemapCard* c) {
  static constexpr uint32_t kColumns[] = {kCardHw, kCardAltHw, kCardPron, kCardDictCreator, kCardDictId, kCardLang};
  EngineLockGuard lock;
  sqlite3_stmt* stmt = QueryCardColumns(store, card, kColumns, 6);
  if (!stmt) return false;
  const bool found = SqlStep(stmt) == SQLITE_ROW;
  if (found) {
    c->hw = Key(SqlColumnText16(stmt, 0));
    c->althw = Key(SqlColumnText16(stmt, 1));
    c->pron = Key(SqlColumnText16(stmt, 2));
    c->creator = SqlColumnInt(stmt, 3);
    c->dictId = SqlColumnInt(stmt, 4);
    c->language = static_cast<uint32_t>(SqlColumnInt(stmt, 5));
  }
  SqlFinalize(stmt);
  return found;
}

// The card's text shown with the ambiguity question.
std::u16string QuestionText(FlashcardStore* store, int32_t card) {
  CardContentRecord content{};
  content.store = store;
  content.card = card;
  content.fields = CardAltHeadwordFirst(store) ? kRelinkQuestionAltFirstMask : kRelinkQuestionMask;
  content.text = NewMemHandle(2);
  std::u16string out;
  if (content.text && BuildCardContent(nullptr, &content) == 0) out = static_cast<const char16_t*>(content.text->data);
  FreeMemHandle(content.text);
  return out;
}

enum class Remap { Done, Stop };

Remap RemapOne(FlashcardStore* store, int32_t card, uint16_t target, uint32_t* mode, ImportTransferCallback callback,
               void* context) {
  DictEngine* engine = store->engine;
  RemapCard c;
  if (!ReadRemapCard(store, card, &c)) return Remap::Done;
  uint32_t language, creator;
  int32_t dictId;
  {
    EngineLockGuard lock;
    language = GetDictLanguage(engine, target);
    creator = GetDictCreator(engine, target);
    dictId = GetDictId(engine, target);
  }
  if (c.language != language) return Remap::Done;
  if (c.creator == static_cast<int32_t>(creator) && c.dictId == dictId) return Remap::Done;
  uint32_t slots[1] = {target};
  SearchResultList* list;
  {
    EngineLockGuard lock;
    list = FindEntriesByHeadword(engine, slots, 1, W(c.hw), W(c.althw), W(c.pron), c.language, 65535, 0, 0, 0, 0);
  }
  if (!list || list->count == 0) {
    FreeResultList(list);
    return Remap::Done;
  }
  uint32_t pick = 0;
  if (list->count > 1) {
    if (!c.hw.empty() || !c.althw.empty()) {
      EngineLockGuard lock;
      pick = PickResultByCharReading(engine, list, W(c.hw.empty() ? c.althw : c.hw));
      if (pick >= list->count) pick = 0;
    }
    if (*mode == kRelinkSkip) {
      FreeResultList(list);
      return Remap::Done;
    }
    if (*mode == kRelinkAsk && callback) {
      const std::u16string text = QuestionText(store, card);
      uint32_t answer;
      {
        EngineLockReleaser release;
        answer = callback(kImportAskAmbiguous, text.c_str(), list, list->count, pick, context);
      }
      if (answer == kAnswerCancel) {
        FreeResultList(list);
        return Remap::Stop;
      }
      if (answer == kAnswerSkipCard || answer == kAnswerSkipAll) {
        if (answer == kAnswerSkipAll) *mode = kRelinkSkip;
        FreeResultList(list);
        return Remap::Done;
      }
      if (answer == kAnswerUseFirstAll) *mode = kRelinkUseBest;
      pick = answer < list->count ? answer : 0;
    }
  }
  const uint16_t slot = static_cast<uint16_t>(list->items[pick].first & kResultSlotMask);
  int32_t entry = static_cast<int32_t>(list->items[pick].entry);
  FreeResultList(list);
  if (slot != target) return Remap::Done;
  {
    EngineLockGuard lock;
    if (GetDictKind(engine, slot) == kDictKindUser) entry = MapDictEntryId(engine, slot, entry);
  }
  if (entry >= 0 && EntryMakesCard(store, slot, static_cast<uint32_t>(entry)))
    SaveFromEntry(store, card, slot, static_cast<uint32_t>(entry));
  return Remap::Done;
}

}  // namespace

int RemapCardsToDictionary(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride, uint16_t slot,
                           uint32_t* mode, uint32_t firstPosition, ImportTransferCallback callback, void* context) {
  if (!store || !store->engine || !mode) return 1;
  {
    EngineLockGuard lock;
    if (slot >= GetDictCount(store->engine) || (GetDictFlags(store->engine, slot) & kDictFlagNoCards)) return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (RemapOne(store, cards[i * (stride ? stride : 1)], slot, mode, callback, context) == Remap::Stop)
      return kRelinkStopped;
    Report(callback, context, firstPosition + i);
  }
  return 0;
}

int RefreshLinkedCards(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride,
                       uint32_t firstPosition, ImportTransferCallback callback, void* context) {
  if (!store) return 1;
  for (uint32_t i = 0; i < count; ++i) {
    RefreshCard(store, cards[i * (stride ? stride : 1)], true);
    Report(callback, context, firstPosition + i);
  }
  return 0;
}

int RelinkCardsToDictionary(FlashcardStore* store, const ChunkedArray* list, uint16_t slot,
                            ImportTransferCallback callback, void* context) {
  if (!store || !store->database || !store->engine) return 1;
  if (slot != kRelinkOwnDictionary) {
    EngineLockGuard lock;
    if (slot >= GetDictCount(store->engine) || (GetDictFlags(store->engine, slot) & kDictFlagNoCards)) return 1;
  }
  CardChunks chunks;
  if (!chunks.Load(store, list)) return 1;
  uint32_t mode = callback ? kRelinkAsk : kRelinkUseBest;
  uint32_t position = 1;
  return RunChunked(store, chunks, [&](const CardChunk& chunk, int*) {
    const uint32_t first = position;
    position += chunk.count;
    if (slot == kRelinkOwnDictionary) {
      RefreshLinkedCards(store, chunk.cards, chunk.count, chunk.stride, first, callback, context);
      return Step::Next;
    }
    const int rc =
        RemapCardsToDictionary(store, chunk.cards, chunk.count, chunk.stride, slot, &mode, first, callback, context);
    return rc == kRelinkStopped ? Step::EndCommand : Step::Next;
  });
}

int RelinkCardsOfUserEntry(FlashcardStore* store, uint32_t creator, uint32_t dictId, int32_t uid) {
  if (!store || !store->database) return 1;
  if (NeedsFlashcardIndexUpgrade(store)) return 1;
  std::vector<int32_t> cards;
  {
    EngineLockGuard lock;
    const SqlTerm where[3] = {FlashIntTerm(kCardDictEntry, uid),
                              FlashIntTerm(kCardDictId, static_cast<int32_t>(dictId)),
                              FlashIntTerm(kCardDictCreator, static_cast<int32_t>(creator))};
    sqlite3_stmt* stmt = QueryCardsWhere(store, where, 3);
    if (!stmt) return 0;
    while (SqlStep(stmt) == SQLITE_ROW) cards.push_back(SqlColumnInt(stmt, 0));
    SqlFinalize(stmt);
  }
  for (int32_t card : cards) {
    const int rc = RefreshCard(store, card, false);
    if (rc != 0) return rc;
  }
  return 0;
}
