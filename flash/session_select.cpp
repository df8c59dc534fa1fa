#include "flash/session_select.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "engine/sql_query.h"
#include "engine/system_services.h"
#include "flash/card_scores.h"
#include "flash/chunked_array.h"
#include "flash/session.h"
#include "flash/session_scoring.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// A never-reviewed or never-scored card counts as this in the weights and
// keys (the score every new card starts with).
constexpr int64_t kUnscoredValue = kNewCardScore;
// Never-studied cards in a priority pool are asked oldest day first when
// the pool's setting is 2: the cards created within this span of the
// oldest are shuffled among themselves.
constexpr uint32_t kPoolDaySpan = 86400;
// Where the rank sits in a Repetition-spaced sort value.
constexpr uint32_t kRankShift = 29;

uint32_t* RecordOf(ChunkedArray* a, int32_t chunk, int32_t position) {
  return a->chunks[chunk] + static_cast<size_t>(position) * a->width;
}

// Appends with word 1 written even when it is 0 (AppendChunkedArray leaves
// word 1 of a zero weight as it was).
int AppendKeyed(ChunkedArray* list, uint32_t id, uint32_t key) {
  if (AppendChunkedArray(list, id, key) != 0) return 1;
  if (list->width > 1 && key == 0) {
    const int32_t last = list->chunkCount - 1;
    RecordOf(list, last, list->chunkCounts[last] - 1)[1] = 0;
  }
  return 0;
}

int32_t RankOfPriority(int32_t priority) {
  switch (priority) {
    case kPriorityVeryHigh:
      return kRankVeryHigh;
    case kPriorityHigh:
      return kRankHigh;
    case kPriorityLow:
      return kRankLow;
    case kPriorityVeryLow:
      return kRankVeryLow;
    default:
      return kRankNormal;
  }
}

// ((time + jitter) >> 3) with the rank on top. Times beyond the 29 bits
// (far future due times) saturate, so such a card sorts last in its rank
// instead of wrapping to the front.
uint32_t SpacedValue(int64_t time, uint32_t jitter, int32_t rank) {
  int64_t v = (time + static_cast<int64_t>(jitter)) >> 3;
  v = std::clamp<int64_t>(v, 0, kSortTimeMax);
  return static_cast<uint32_t>(v) | (static_cast<uint32_t>(rank) << kRankShift);
}

struct Selection {
  const SelectionParameters& p;
  ChunkedArray* main;
  ChunkedArray* notDue = nullptr;
  ChunkedArray* ratio = nullptr;
  ChunkedArray* pools[kRankCount] = {};
  int32_t unlearned = 0;
  bool pooled = false;

  ~Selection() {
    FreeChunkedArray(notDue);
    FreeChunkedArray(ratio);
    for (ChunkedArray* pool : pools) FreeChunkedArray(pool);
  }

  ChunkedArray* Pool(int32_t rank) {
    if (!pools[rank]) {
      const int keyed = p.limitUnlearnedPriority != 0;
      pools[rank] = CreateChunkedArray(keyed ? 2 : 1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, keyed);
    }
    return pools[rank];
  }

  // The value a never-reviewed card carries in the main list.
  uint32_t NewCardValue(int32_t rank) const {
    switch (p.method) {
      case kSelectFrequency:
        return static_cast<uint32_t>(kWeightScale / kUnscoredValue);
      case kSelectRepetitionSpaced: {
        const uint32_t r = GetRandom32();
        return p.randomDue ? r : SpacedValue(static_cast<int64_t>(p.referenceTime) + 86400, r % kDueJitterRange, rank);
      }
      default:
        return 0;
    }
  }

  // Step 3: the card by method. 1 when the main list is full.
  int Place(int32_t id, int32_t rank, bool scoreNull, int64_t score, int64_t column3) {
    switch (p.method) {
      case kSelectFixed: {
        if (p.fixedSortField != 1 && p.fixedSortField != 2) return AppendKeyed(main, id, 0);
        int64_t key = p.fixedSortField == 1 ? score : column3;
        if (scoreNull || key == 0) key = kUnscoredValue;
        return AppendKeyed(main, id, static_cast<uint32_t>(key));
      }
      case kSelectFrequency: {
        int64_t s = scoreNull || score == 0 ? kUnscoredValue : score;
        const uint32_t weight = s <= 1 ? kWeightScale : static_cast<uint32_t>(kWeightScale / s);
        return AppendKeyed(main, id, weight);
      }
      case kSelectRepetitionSpaced: {
        const uint32_t r = GetRandom32();
        const uint32_t jitter = r % kDueJitterRange;
        if (scoreNull)
          return AppendKeyed(
              main, id, p.randomDue ? r : SpacedValue(static_cast<int64_t>(p.referenceTime) + 86400, jitter, rank));
        const int64_t due = column3 + ScoreIntervalSeconds(score, p.dayType, p.pointsPerDay);
        if (due > static_cast<int64_t>(p.referenceTime)) {
          // A full not-due list loses the card, not the session.
          if (notDue) AppendKeyed(notDue, id, p.randomNotDue ? r : SpacedValue(due, jitter, kRankNormal));
          return 0;
        }
        return AppendKeyed(main, id, p.randomDue ? r : SpacedValue(due, jitter, rank));
      }
      default:
        return AppendKeyed(main, id, 0);
    }
  }

  // Step 4: never-studied cards from their pools, highest rank first,
  // while the unlearned count stays below the limit.
  void DrainPools() {
    if (!p.limitUnlearned || !pooled || unlearned >= p.limitUnlearnedMax) return;
    for (int32_t rank = 0; rank < kRankCount && unlearned < p.limitUnlearnedMax; ++rank) {
      ChunkedArray* pool = pools[rank];
      if (!pool || pool->count == 0) continue;
      const int32_t take = std::min(pool->count, p.limitUnlearnedMax - unlearned);
      if (p.limitUnlearnedPriority == 0) {
        ShuffleChunkedArray(pool, nullptr);
      } else {
        SortChunkedArray(pool, 0, pool->count, 1, 0);
        if (p.limitUnlearnedPriority == 2) {
          const uint32_t first = GetChunkedArrayWeight(pool, 0);
          int32_t sameDay = 0;
          while (sameDay < pool->count && GetChunkedArrayWeight(pool, sameDay) - first < kPoolDaySpan) ++sameDay;
          if (sameDay > take) {
            TruncateChunkedArray(pool, sameDay);
            ShuffleChunkedArray(pool, nullptr);
          }
        }
      }
      ChunkedArray* target = ratio ? ratio : main;
      for (int32_t i = 0; i < take; ++i) {
        const uint32_t id = static_cast<uint32_t>(GetChunkedArrayItem(pool, i));
        if (AppendKeyed(target, id, target == main ? NewCardValue(rank) : 0) != 0) break;
      }
      unlearned += take;
    }
  }

  // Step 5: L learned and U unlearned cards mixed at random first, then
  // the surplus unlearned, then the surplus learned.
  void MixRatio() {
    const int64_t learned = main->count, unlearnedCards = ratio->count;
    const int64_t r = p.ratioAmount;
    const int64_t n = learned + unlearnedCards;
    int64_t u = n * r / 10000, l = n - u;
    if (unlearnedCards < u && r != 0) {
      u = unlearnedCards;
      l = std::min(unlearnedCards * 10000 / r - unlearnedCards, learned);
    } else if (learned < l && r < 10000) {
      l = learned;
      u = std::min(learned * 10000 / (10000 - r) - learned, unlearnedCards);
    }
    u = std::clamp<int64_t>(u, 0, unlearnedCards);
    l = std::clamp<int64_t>(l, 0, learned);
    if (ratio->count > u) ShuffleChunkedArray(ratio, nullptr);
    ChunkedArray* spare = nullptr;
    if (main->count > l) {
      ShuffleChunkedArray(main, nullptr);
      spare = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
      for (int32_t i = static_cast<int32_t>(l); spare && i < main->count; ++i)
        if (AppendChunkedArray(spare, static_cast<uint32_t>(GetChunkedArrayItem(main, i)), 0) != 0) break;
      // Without a spare list the surplus learned cards stay where they are.
      if (spare) TruncateChunkedArray(main, static_cast<int32_t>(l));
    }
    int32_t i = 0;
    for (; i < u; ++i) AppendKeyed(main, static_cast<uint32_t>(GetChunkedArrayItem(ratio, i)), 0);
    ShuffleChunkedArray(main, nullptr);
    for (; i < ratio->count; ++i) AppendKeyed(main, static_cast<uint32_t>(GetChunkedArrayItem(ratio, i)), 0);
    for (int32_t k = 0; spare && k < spare->count; ++k)
      AppendKeyed(main, static_cast<uint32_t>(GetChunkedArrayItem(spare, k)), 0);
    FreeChunkedArray(spare);
  }
};

// Frequency adjust: word 1 becomes the weight before the record in its
// chunk, weightSums[c] the weight before chunk c, weightSums[chunkCount]
// the total.
void MakeRunningSums(ChunkedArray* list) {
  uint32_t before = 0;
  for (int32_t c = 0; c < list->chunkCount; ++c) {
    list->weightSums[c] = before;
    uint32_t inChunk = 0;
    for (int32_t i = 0; i < list->chunkCounts[c]; ++i) {
      uint32_t* r = RecordOf(list, c, i);
      const uint32_t weight = r[1];
      r[1] = inChunk;
      inChunk += weight;
    }
    before += inChunk;
  }
  list->weightSums[list->chunkCount] = before;
}

uint32_t ChunkTotal(const ChunkedArray* list, int32_t chunk) {
  return list->weightSums[chunk + 1] - list->weightSums[chunk];
}

}  // namespace

int64_t ScoreIntervalSeconds(int64_t score, int32_t dayType, int32_t pointsPerDay) {
  const int64_t perDay = pointsPerDay < kPointsPerDayFloor + 1 ? kPointsPerDayFloor : pointsPerDay;
  return dayType == 1 ? score / perDay * 86400 : score * 1440 / perDay * 60;
}

int32_t HistoryPriorityRank(const char* history, char* poolLetter) {
  CardScoreRecord r;
  DecodeScoreHistory(history, &r);
  if (poolLetter) *poolLetter = r.poolMark == kPoolForceAdd ? 'Q' : r.poolMark == kPoolExclude ? 'R' : 0;
  return RankOfPriority(r.priority);
}

int SelectSessionCards(sqlite3_stmt* statement, ChunkedArray* list, const SelectionParameters* parameters,
                       uint32_t size, void*) {
  if (!statement || !list || !parameters || size < sizeof(SelectionParameters) || list->width < 2) {
    if (statement) SqlFinalize(statement);
    return 1;
  }
  EngineLockGuard lock;
  const SelectionParameters& p = *parameters;
  Selection s{p, list};
  if (p.method == kSelectRepetitionSpaced)
    s.notDue = CreateChunkedArray(2, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 1);
  if (p.ratioOn && p.method == kSelectRandom)
    s.ratio = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  const int keyColumn = p.limitUnlearned ? 1 : -1;
  const int scoreColumn = p.limitUnlearned ? 2 : 1;
  const int timeColumn = scoreColumn + 1, historyColumn = scoreColumn + 2;
  const bool judge = p.limitUnlearned || s.ratio || p.rowLimitOn;
  CardScoreRecord grades;
  while (SqlStep(statement) == SQLITE_ROW) {
    const int32_t id = SqlColumnInt(statement, 0);
    DecodeScoreHistory(SqlColumnText(statement, historyColumn), &grades);
    if (grades.poolMark == kPoolExclude) continue;
    const int32_t rank = RankOfPriority(grades.priority);
    const bool scoreNull = SqlColumnIsNull(statement, scoreColumn) != 0;
    const int64_t score = scoreNull ? 0 : SqlColumnInt64(statement, scoreColumn);
    const int64_t column3 = SqlColumnInt64(statement, timeColumn);
    if (judge) {
      const int32_t judged = static_cast<int32_t>(std::clamp<int64_t>(score, INT32_MIN, INT32_MAX));
      if (p.rowLimitOn &&
          HistoryMeetsCondition(judged, grades.history, kHistoryWindowAll, p.rowLimitCorrect,
                                std::min(p.rowLimitAmount, kRowLimitMax), kHistoryInRow, 256) == p.rowLimitExclude)
        continue;
      if ((p.limitUnlearned || s.ratio) &&
          !HistoryMeetsCondition(judged, grades.history, kHistoryWindowAll, 1, p.learnedCount, p.learnedMode, 256)) {
        const bool neverStudied = score == 0 || grades.history[0] == 0;
        if (neverStudied && grades.poolMark != kPoolForceAdd && p.limitUnlearned) {
          ChunkedArray* pool = s.Pool(rank);
          const uint32_t key = keyColumn >= 0 ? static_cast<uint32_t>(SqlColumnInt(statement, keyColumn)) : 0;
          if (pool && AppendKeyed(pool, static_cast<uint32_t>(id), key) == 0) s.pooled = true;
          continue;
        }
        // Every other unlearned card counts against the limit and is
        // asked: into the ratio list when there is one, else by method.
        ++s.unlearned;
        if (s.ratio) {
          AppendKeyed(s.ratio, static_cast<uint32_t>(id), 0);
          continue;
        }
      }
    }
    if (s.Place(id, rank, scoreNull, score, column3) != 0) break;
  }
  SqlFinalize(statement);
  s.DrainPools();
  const bool ratioOrdered = s.ratio != nullptr;
  if (s.ratio) s.MixRatio();
  if (p.method == kSelectRepetitionSpaced) {
    SortChunkedArray(list, 0, list->count, 1, 0);
    list->mark = list->count;
    if (s.notDue) {
      SortChunkedArray(s.notDue, 0, s.notDue->count, 1, 0);
      for (int32_t i = 0; i < s.notDue->count; ++i)
        if (AppendKeyed(list, static_cast<uint32_t>(GetChunkedArrayItem(s.notDue, i)),
                        GetChunkedArrayWeight(s.notDue, i)) != 0)
          break;
    }
  }
  if (list->count == 0) return 1;
  switch (p.method) {
    case kSelectFrequency:
      if (list->weightSums) MakeRunningSums(list);
      break;
    case kSelectFixed:
      // Without a sort field the query's order stands.
      if (p.fixedSortField == 1 || p.fixedSortField == 2)
        SortChunkedArray(list, 0, list->count, 1, p.fixedSortOrder == 1);
      break;
    case kSelectRandom:
      if (!ratioOrdered) ShuffleChunkedArray(list, nullptr);
      break;
    default:
      break;
  }
  return 0;
}

uint32_t RemoveWeightedRecord(FlashSession* session, int32_t chunk, int32_t position) {
  ChunkedArray* list = session ? session->cards : nullptr;
  if (!list || !list->weightSums || chunk < 0 || chunk >= list->chunkCount || position < 0 ||
      position >= list->chunkCounts[chunk])
    return 0;
  const int32_t n = list->chunkCounts[chunk];
  const uint32_t start = RecordOf(list, chunk, position)[1];
  const uint32_t end = position + 1 < n ? RecordOf(list, chunk, position + 1)[1] : ChunkTotal(list, chunk);
  const uint32_t weight = end - start;
  uint32_t* base = list->chunks[chunk];
  std::memmove(base + static_cast<size_t>(position) * list->width,
               base + static_cast<size_t>(position + 1) * list->width,
               static_cast<size_t>(n - position - 1) * list->width * sizeof(uint32_t));
  --list->chunkCounts[chunk];
  --list->count;
  for (int32_t i = position; i < list->chunkCounts[chunk]; ++i) RecordOf(list, chunk, i)[1] -= weight;
  for (int32_t c = chunk + 1; c <= list->chunkCount; ++c) list->weightSums[c] -= weight;
  session->totalWeight -= std::min<uint64_t>(weight, session->totalWeight);
  return weight;
}

int ReinsertWeightedCard(FlashSession* session, int32_t card, uint32_t weight, int32_t chunk) {
  ChunkedArray* list = session ? session->cards : nullptr;
  if (!list || !list->weightSums || chunk < 0 || chunk >= list->chunkCount || !list->chunks[chunk] ||
      list->chunkCounts[chunk] >= list->perChunk)
    return 1;
  uint32_t* r = RecordOf(list, chunk, list->chunkCounts[chunk]);
  r[0] = static_cast<uint32_t>(card);
  r[1] = ChunkTotal(list, chunk);
  ++list->chunkCounts[chunk];
  ++list->count;
  for (int32_t c = chunk + 1; c <= list->chunkCount; ++c) list->weightSums[c] += weight;
  session->totalWeight += weight;
  return 0;
}

void QueueWeightUpdate(FlashSession* session, int32_t card, uint32_t weight, int32_t chunk) {
  if (!session || !session->ring || session->ringCapacity <= 0) return;
  const WeightRingEntry entry{card, weight, chunk};
  if (session->ringCount < session->ringCapacity) {
    session->ring[(session->ringOldest + session->ringCount) % session->ringCapacity] = entry;
    ++session->ringCount;
    return;
  }
  const WeightRingEntry replaced = session->ring[session->ringOldest];
  session->ring[session->ringOldest] = entry;
  session->ringOldest = (session->ringOldest + 1) % session->ringCapacity;
  ReinsertWeightedCard(session, replaced.card, replaced.weight, replaced.chunk);
}

int32_t PickWeightedCard(FlashSession* session) {
  ChunkedArray* list = session ? session->cards : nullptr;
  if (!list || !list->weightSums) return -1;
  if (session->totalWeight == 0 || list->count == 0) {
    for (int32_t k = 0; k < session->ringCount; ++k) {
      const WeightRingEntry& e = session->ring[(session->ringOldest + k) % session->ringCapacity];
      ReinsertWeightedCard(session, e.card, e.weight, e.chunk);
    }
    session->ringCount = 0;
    session->ringOldest = 0;
  }
  if (session->totalWeight == 0 || list->count == 0) return -1;
  const uint32_t r = static_cast<uint32_t>(GetRandom32() % session->totalWeight);
  // The last chunk whose sum before it is <= r: a chunk without weight has
  // an empty range and is passed over.
  int32_t lo = 0, hi = list->chunkCount - 1;
  while (lo < hi) {
    const int32_t mid = (lo + hi + 1) / 2;
    if (list->weightSums[mid] <= r) lo = mid;
    else
      hi = mid - 1;
  }
  int32_t c = lo;
  while (c < list->chunkCount && list->chunkCounts[c] == 0) ++c;
  if (c >= list->chunkCount) return -1;
  const uint32_t within = r - list->weightSums[c];
  int32_t a = 0, b = list->chunkCounts[c] - 1;
  while (a < b) {
    const int32_t mid = (a + b + 1) / 2;
    if (RecordOf(list, c, mid)[1] <= within) a = mid;
    else
      b = mid - 1;
  }
  const int32_t card = static_cast<int32_t>(RecordOf(list, c, a)[0]);
  RemoveWeightedRecord(session, c, a);
  session->currentChunk = c;
  return card;
}

int FillLengthPools(sqlite3_stmt* statement, ChunkedArray* const lengthLists[4], ChunkedArray* longList,
                    ChunkedArray* allList, void*) {
  if (!statement) return 1;
  int rc = 0;
  {
    EngineLockGuard lock;
    while (rc == 0 && SqlStep(statement) == SQLITE_ROW) {
      const uint32_t id = static_cast<uint32_t>(SqlColumnInt(statement, 0));
      const int32_t length = SqlColumnInt(statement, 1);
      if (allList && AppendChunkedArray(allList, id, 0) != 0) rc = 1;
      if (length >= 1 && length <= 4) {
        if (lengthLists && lengthLists[length - 1] && AppendChunkedArray(lengthLists[length - 1], id, 0) != 0) rc = 1;
      } else if (length >= 5 && longList) {
        // The length shares the word with the id: ids stay below 2^24 here.
        const uint32_t packed = (id & 0xFFFFFFu) | (static_cast<uint32_t>(std::min(length, 255)) << 24);
        if (AppendChunkedArray(longList, packed, 0) != 0) rc = 1;
      }
    }
    SqlFinalize(statement);
  }
  for (int i = 0; i < 4; ++i)
    if (lengthLists && lengthLists[i]) ShuffleChunkedArray(lengthLists[i], nullptr);
  if (longList) ShuffleChunkedArray(longList, nullptr);
  if (allList) ShuffleChunkedArray(allList, nullptr);
  return rc;
}
