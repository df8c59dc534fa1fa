#include "flash/session_file.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "engine/stream_file.h"
#include "flash/chunked_array.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kHeadWords = 6;
constexpr uint32_t kHeadBytes = kHeadWords * 4;
constexpr uint32_t kChunkHeadWords = 4;
constexpr uint32_t kArrayHeadWords = 10;
constexpr uint32_t kListHeadWords = 6;
// Bounds a damaged file cannot exceed: the largest lists a session makes.
constexpr uint32_t kMaxChunksLimit = 512;
constexpr uint32_t kPerChunkLimit = 4096;
constexpr uint32_t kIntChunkLimit = 1u << 20;
constexpr uint32_t kRingEntryWords = 3;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Writes or reads the record, one field after another, every number as
// little-endian words; the same walk serves both directions so the layout
// cannot drift between them.
struct Codec {
  bool writing;
  std::vector<uint8_t>* out = nullptr;
  const uint8_t* in = nullptr;
  size_t size = 0;
  size_t pos = 0;
  bool failed = false;

  void U32(uint32_t& v) {
    if (writing) {
      PutU32(*out, v);
    } else if (pos + 4 <= size) {
      v = GetU32(in + pos);
      pos += 4;
    } else {
      failed = true;
    }
  }
  void I32(int32_t& v) {
    uint32_t u = static_cast<uint32_t>(v);
    U32(u);
    v = static_cast<int32_t>(u);
  }
  void I64(int64_t& v) {
    uint32_t lo = static_cast<uint32_t>(static_cast<uint64_t>(v)),
             hi = static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32);
    U32(lo);
    U32(hi);
    v = static_cast<int64_t>(static_cast<uint64_t>(hi) << 32 | lo);
  }
  void U64(uint64_t& v) {
    int64_t s = static_cast<int64_t>(v);
    I64(s);
    v = static_cast<uint64_t>(s);
  }
  void U8(uint8_t& v) {
    uint32_t u = v;
    U32(u);
    v = static_cast<uint8_t>(u);
  }
  void Bytes(uint8_t* p, size_t n) {
    if (writing) {
      out->insert(out->end(), p, p + n);
    } else if (pos + n <= size) {
      std::memcpy(p, in + pos, n);
      pos += n;
    } else {
      failed = true;
    }
  }
  // A block made only of int32 members, each encoded on its own.
  template <class T>
  void Ints(T& block) {
    static_assert(sizeof(T) % sizeof(int32_t) == 0);
    int32_t v[sizeof(T) / sizeof(int32_t)];
    std::memcpy(v, &block, sizeof v);
    for (int32_t& x : v) I32(x);
    std::memcpy(&block, v, sizeof v);
  }
};

void WalkScore(Codec& c, CardScoreRecord& r) {
  c.I32(r.score);
  c.I32(r.difficulty);
  c.Bytes(r.history, sizeof r.history);
  c.I32(r.correct);
  c.I32(r.incorrect);
  c.I32(r.reviewed);
  c.I32(r.sinceLastChange);
  c.I32(r.firstReviewedTime);
  c.I32(r.lastReviewedTime);
  c.I32(r.scoreIncTime);
  c.I32(r.scoreDecTime);
  c.I32(r.priority);
  c.I32(r.poolMark);
}

void WalkFieldSet(Codec& c, SessionFieldSet& f) {
  for (uint32_t& v : f.shown) c.U32(v);
  c.I32(f.shownCount);
  for (uint32_t& v : f.asked) c.U32(v);
  c.I32(f.askedCount);
  for (uint32_t& v : f.display) c.U32(v);
  c.I32(f.displayCount);
  c.I32(f.scoreFrom);
  c.I32(f.scoreTo);
}

// Every field but the owner's pointers, the lists (chunks follow the
// record) and the tick marks (the head holds them as elapsed times).
void WalkRecord(Codec& c, FlashSession& s) {
  c.I32(s.profile);
  c.I32(s.method);
  c.U64(s.totalWeight);
  c.I32(s.cardsToAsk);
  c.I32(s.dueToAsk);
  c.I32(s.dueCount);
  c.U8(s.unlimited);
  c.U8(s.noRepeat);
  c.U8(s.allowInvalid);
  c.I32(s.forceDictsMode);
  c.I32(s.questionIndex);
  c.I32(s.nextPosition);
  c.I32(s.currentCard);
  c.I32(s.currentChunk);
  c.I32(s.currentFieldSet);
  c.U32(s.dictRef.slot);
  c.I32(s.dictRef.entry);
  c.U32(s.savedDictRef.slot);
  c.I32(s.savedDictRef.entry);
  c.I32(s.correctAnswers);
  c.I32(s.incorrectAnswers);
  c.I64(s.scoreSum);
  c.I64(s.difficultySum);
  c.I32(s.browsePosition);
  for (CardScoreRecord& r : s.undo) WalkScore(c, r);
  c.Bytes(s.undone, sizeof s.undone);
  c.I32(s.undoCount);
  for (SessionFieldSet& f : s.fieldSets) WalkFieldSet(c, f);
  c.I32(s.fieldSetCount);
  c.I32(s.fieldChoice);
  c.I32(s.numChoices);
  for (int32_t& v : s.choiceIds) c.I32(v);
  for (int32_t& v : s.poolCursor) c.I32(v);
  c.I32(s.choiceCount);
  c.U32(s.comparedField);
  c.I32(s.correctChoice);
  c.I32(s.chosenIndex);
  c.Bytes(s.marks, sizeof s.marks);
  c.I32(s.markCount);
  c.I32(s.replaysUsed);
  c.I32(s.state);
  c.I32(s.savedState);
  c.I32(s.language);
  c.I32(s.testType);
  c.I32(s.learnedCount);
  c.I32(s.learnedMode);
  c.I32(s.maxReplays);
  c.U8(s.answerOverridden);
  c.U8(s.cardLeaving);
  c.I32(s.ignoreTones);
  c.I32(s.requireFilled);
  c.I32(s.repeatIncorrect);
  c.I32(s.repeatIncorrectLoop);
  c.I32(s.repeatIncorrectShuffle);
  c.U8(s.retestPass);
  c.U8(s.retestAnnounced);
  c.U8(s.dueNoticeGiven);
  c.I32(s.savePromptType);
  c.I32(s.revealSeparately);
  c.I32(s.scoreImmediately);
  c.I32(s.drawBoxHeight);
  c.U32(s.startTime);
  c.U32(s.referenceTime);
  c.Bytes(s.randomState, sizeof s.randomState);
  c.Ints(s.scoring);
  c.Ints(s.display);
}

uint32_t DatabaseId(FlashcardStore* store) {
  if (!store || !store->properties || kFpFileId >= store->properties->count) return 0;
  return static_cast<uint32_t>(store->properties->entries[kFpFileId].value);
}

bool ScoreTableExists(FlashcardStore* store, int32_t scorefile) {
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  EngineLockGuard lock;
  SqlText text;
  SqlTextBegin(store->database, &text);
  SqlTextAppend(&text, "SELECT 1 FROM sqlite_master WHERE type == 'table' AND name == ");
  SqlTextAppendLiteral(&text, table);
  sqlite3_stmt* s = SqlTextPrepare(store->database, &text);
  if (!s) return false;
  const bool found = SqlStep(s) == SQLITE_ROW;
  SqlFinalize(s);
  return found;
}

int WriteWords(AppStreamFile* file, const std::vector<uint8_t>& bytes) {
  const uint32_t before = TellAppStreamFile(file);
  if (!bytes.empty() && WriteAppStreamFile(bytes.data(), 1, bytes.size(), file) != 0) return 1;
  return TellAppStreamFile(file) - before == bytes.size() ? 0 : 1;
}

// Reads the chunk's head words (common and type-specific); false when they
// cannot be read or the type differs.
bool ReadHead(AppStreamFile* file, uint32_t type, uint32_t words, uint32_t* head) {
  uint8_t raw[kArrayHeadWords * 4];
  if (ReadAppStreamFile(raw, 4, words, file) != 0) return false;
  for (uint32_t i = 0; i < words; ++i) head[i] = GetU32(raw + 4 * i);
  return head[1] == type;
}

bool ReadWords(AppStreamFile* file, uint32_t* out, uint32_t count) {
  std::vector<uint8_t> raw(static_cast<size_t>(count) * 4);
  if (count && ReadAppStreamFile(raw.data(), 4, count, file) != 0) return false;
  for (uint32_t i = 0; i < count; ++i) out[i] = GetU32(raw.data() + 4 * i);
  return true;
}

void FreeLists(FlashSession* s) {
  FreeChunkedArray(s->cards);
  for (ChunkedArray* pool : s->lengthPools) FreeChunkedArray(pool);
  FreeChunkedArray(s->longPool);
  FreeChunkedArray(s->choicePool);
  if (s->ring) LocalFree(s->ring);
  if (s->order) LocalFree(s->order);
  if (s->fieldSequence) LocalFree(s->fieldSequence);
  if (s->forceDictSlots) LocalFree(s->forceDictSlots);
}

bool InRange(int64_t v, int64_t low, int64_t high) { return v >= low && v <= high; }

// Every index the record holds against the lists read.
bool RecordIsSound(const FlashSession& s) {
  if (!s.cards || !s.order) return false;
  bool ok = InRange(s.state, kSessionBrowsing, kSessionAfterIncorrect) &&
            InRange(s.savedState, kSessionBrowsing, kSessionAfterIncorrect) &&
            InRange(s.testType, kTestReviewOnly, kTestTonePractice) && InRange(s.method, kSelectRandom, kSelectFixed) &&
            InRange(s.fieldSetCount, 0, kFieldSetMax) && InRange(s.currentFieldSet, -1, s.fieldSetCount - 1) &&
            InRange(s.fieldChoice, kFieldChoiceRotate, kFieldChoiceByScore) &&
            InRange(s.undoCount, 0, kSessionUndoMax) && InRange(s.markCount, 0, static_cast<int64_t>(sizeof s.marks)) &&
            InRange(s.choiceCount, 0, kChoiceMax) && InRange(s.numChoices, 0, kChoiceMax) &&
            InRange(s.browsePosition, -1, s.orderCount - 1) && s.questionIndex >= -1 && s.correctAnswers >= 0 &&
            s.incorrectAnswers >= 0 && InRange(s.nextPosition, 0, s.cards->count) && s.dueCount >= 0 &&
            InRange(s.currentChunk, -1, s.cards->chunkCount - 1) && InRange(s.orderCount, 0, s.orderCapacity) &&
            InRange(s.orderCapacity, 1, kSessionOrderCapacity) && InRange(s.ringCount, 0, s.ringCapacity) &&
            InRange(s.ringCapacity, 0, 8);
  for (int32_t i = 0; ok && i < s.fieldSetCount; ++i) {
    const SessionFieldSet& f = s.fieldSets[i];
    ok = InRange(f.shownCount, 0, 4) && InRange(f.askedCount, 0, 3) && InRange(f.displayCount, 0, 5);
  }
  if (ok && s.method == kSelectFrequency) ok = s.cards->weightSums != nullptr && s.cards->width >= 2;
  if (ok && s.state == kSessionBrowsing) ok = s.browsePosition >= 0;
  return ok;
}

}  // namespace

uint32_t SavedSessionRecordSize() {
  static const uint32_t size = [] {
    std::vector<uint8_t> bytes;
    Codec c{true, &bytes};
    FlashSession* s = static_cast<FlashSession*>(LocalAlloc(LPTR, sizeof(FlashSession)));
    if (!s) return 0u;
    std::memset(s, 0, sizeof *s);
    WalkRecord(c, *s);
    LocalFree(s);
    return static_cast<uint32_t>(bytes.size());
  }();
  return size;
}

int WriteChunkedArrayChunk(AppStreamFile* file, const ChunkedArray* a, uint32_t role, uint32_t index) {
  if (!a) return 0;
  const bool weights = a->weightSums != nullptr;
  const uint32_t chunks = static_cast<uint32_t>(a->chunkCount);
  const uint32_t size =
      (chunks + static_cast<uint32_t>(a->count) * a->width + kArrayHeadWords) * 4 + (weights ? (chunks + 1) * 4 : 0);
  std::vector<uint8_t> bytes;
  for (uint32_t v : std::initializer_list<uint32_t>{
           size, kChunkArray, role, index, static_cast<uint32_t>(a->count), chunks, static_cast<uint32_t>(a->width),
           static_cast<uint32_t>(a->perChunk), static_cast<uint32_t>(a->maxChunks), weights ? 1u : 0u})
    PutU32(bytes, v);
  for (uint32_t c = 0; c < chunks; ++c) PutU32(bytes, static_cast<uint32_t>(a->chunkCounts[c]));
  if (weights)
    for (uint32_t c = 0; c <= chunks; ++c) PutU32(bytes, a->weightSums[c]);
  for (uint32_t c = 0; c < chunks; ++c)
    for (int32_t i = 0; i < a->chunkCounts[c] * a->width; ++i) PutU32(bytes, a->chunks[c][i]);
  return WriteWords(file, bytes);
}

int WriteIntChunk(AppStreamFile* file, const uint32_t* values, uint32_t count, uint32_t capacity, uint32_t role,
                  uint32_t index) {
  if (!values) return 0;
  std::vector<uint8_t> bytes;
  for (uint32_t v :
       std::initializer_list<uint32_t>{(count + kListHeadWords) * 4, kChunkInts, role, index, count, capacity})
    PutU32(bytes, v);
  for (uint32_t i = 0; i < count; ++i) PutU32(bytes, values[i]);
  return WriteWords(file, bytes);
}

int WriteByteChunk(AppStreamFile* file, const uint8_t* values, uint32_t count, uint32_t capacity, uint32_t role,
                   uint32_t index) {
  if (!values) return 0;
  std::vector<uint8_t> bytes;
  for (uint32_t v :
       std::initializer_list<uint32_t>{count + kListHeadWords * 4, kChunkBytes, role, index, count, capacity})
    PutU32(bytes, v);
  bytes.insert(bytes.end(), values, values + count);
  return WriteWords(file, bytes);
}

int PeekChunkHead(AppStreamFile* file, uint32_t head[4]) {
  const uint32_t at = TellAppStreamFile(file);
  uint8_t raw[16];
  if (ReadAppStreamFile(raw, 4, kChunkHeadWords, file) != 0) return 1;
  for (uint32_t i = 0; i < kChunkHeadWords; ++i) head[i] = GetU32(raw + 4 * i);
  return SeekAppStreamFile(file, at);
}

ChunkedArray* ReadChunkedArrayChunk(AppStreamFile* file, uint32_t* role, uint32_t* index) {
  uint32_t h[kArrayHeadWords];
  if (!ReadHead(file, kChunkArray, kArrayHeadWords, h)) return nullptr;
  const uint32_t size = h[0], count = h[4], chunks = h[5], width = h[6], perChunk = h[7], maxChunks = h[8],
                 weights = h[9];
  if (role) *role = h[2];
  if (index) *index = h[3];
  if (width < 1 || width > 2 || weights > 1 || perChunk < 1 || perChunk > kPerChunkLimit ||
      maxChunks > kMaxChunksLimit || chunks < 1 || chunks > maxChunks || count > chunks * perChunk)
    return nullptr;
  const uint64_t expected =
      (uint64_t{chunks} + uint64_t{count} * width + kArrayHeadWords) * 4 + (weights ? (uint64_t{chunks} + 1) * 4 : 0);
  if (size != expected) return nullptr;
  std::vector<uint32_t> counts(chunks), sums(weights ? chunks + 1 : 0);
  if (!ReadWords(file, counts.data(), chunks) || (weights && !ReadWords(file, sums.data(), chunks + 1))) return nullptr;
  uint64_t total = 0;
  for (uint32_t c = 0; c < chunks; ++c) {
    if (counts[c] > perChunk) return nullptr;
    // Without weights every chunk but the last is full: the list's index
    // arithmetic depends on it.
    if (!weights && c + 1 < chunks && counts[c] != perChunk) return nullptr;
    total += counts[c];
  }
  if (total != count) return nullptr;
  ChunkedArray* a = CreateChunkedArray(static_cast<int32_t>(width), static_cast<int32_t>(perChunk),
                                       static_cast<int32_t>(maxChunks), static_cast<int>(weights));
  if (!a) return nullptr;
  for (uint32_t c = 0; c < chunks; ++c) {
    if (c > 0) {
      a->chunks[c] = static_cast<uint32_t*>(MemAlloc(static_cast<size_t>(perChunk) * width * sizeof(uint32_t)));
      a->chunkCount = static_cast<int32_t>(c + 1);
      if (!a->chunks[c]) {
        FreeChunkedArray(a);
        return nullptr;
      }
    }
    a->chunkCounts[c] = static_cast<int32_t>(counts[c]);
    if (!ReadWords(file, a->chunks[c], counts[c] * width)) {
      FreeChunkedArray(a);
      return nullptr;
    }
  }
  if (weights)
    for (uint32_t c = 0; c <= chunks; ++c) a->weightSums[c] = sums[c];
  a->count = static_cast<int32_t>(count);
  return a;
}

uint32_t* ReadIntChunk(AppStreamFile* file, uint32_t* count, uint32_t* capacity, uint32_t* role, uint32_t* index) {
  uint32_t h[kListHeadWords];
  if (!ReadHead(file, kChunkInts, kListHeadWords, h)) return nullptr;
  if (h[4] > h[5] || h[5] > kIntChunkLimit || h[0] != (h[4] + kListHeadWords) * 4) return nullptr;
  auto* values = static_cast<uint32_t*>(LocalAlloc(LPTR, (h[5] ? h[5] : 1) * sizeof(uint32_t)));
  if (!values || !ReadWords(file, values, h[4])) {
    if (values) LocalFree(values);
    return nullptr;
  }
  if (count) *count = h[4];
  if (capacity) *capacity = h[5];
  if (role) *role = h[2];
  if (index) *index = h[3];
  return values;
}

uint8_t* ReadByteChunk(AppStreamFile* file, uint32_t* count, uint32_t* capacity, uint32_t* role, uint32_t* index) {
  uint32_t h[kListHeadWords];
  if (!ReadHead(file, kChunkBytes, kListHeadWords, h)) return nullptr;
  if (h[4] > h[5] || h[5] > kIntChunkLimit || h[0] != h[4] + kListHeadWords * 4) return nullptr;
  auto* values = static_cast<uint8_t*>(LocalAlloc(LPTR, h[5] ? h[5] : 1));
  if (!values || (h[4] && ReadAppStreamFile(values, 1, h[4], file) != 0)) {
    if (values) LocalFree(values);
    return nullptr;
  }
  if (count) *count = h[4];
  if (capacity) *capacity = h[5];
  if (role) *role = h[2];
  if (index) *index = h[3];
  return values;
}

int SaveFlashSession(const FlashSession* session) {
  if (!session || !session->store) return 1;
  FlashSession& s = const_cast<FlashSession&>(*session);
  std::vector<uint8_t> bytes;
  const uint32_t now = GetTicks();
  for (uint32_t v : std::initializer_list<uint32_t>{kSavedSessionVersion, kHeadBytes + SavedSessionRecordSize(),
                                                    DatabaseId(s.store), now - s.startTicks, now - s.shownTicks,
                                                    s.answerTicks ? now - s.answerTicks : 0u})
    PutU32(bytes, v);
  Codec c{true, &bytes};
  WalkRecord(c, s);
  AppStreamFile* file = OpenAppStreamFile(kStreamSavedFlashSession, 1, 0);
  if (!file) return 1;
  int failed = SeekAppStreamFile(file, 0) | WriteWords(file, bytes);
  failed |= WriteChunkedArrayChunk(file, s.cards, kRoleCards, 0);
  failed |= WriteIntChunk(file, s.order, static_cast<uint32_t>(s.orderCount), static_cast<uint32_t>(s.orderCapacity),
                          kRoleOrder, 0);
  if (s.ring) {
    // Oldest entry first; the ring starts over at 0 when read back.
    std::vector<uint32_t> ring;
    for (int32_t k = 0; k < s.ringCount; ++k) {
      const WeightRingEntry& e = s.ring[(s.ringOldest + k) % s.ringCapacity];
      ring.insert(ring.end(), {static_cast<uint32_t>(e.card), e.weight, static_cast<uint32_t>(e.chunk)});
    }
    ring.push_back(0);  // a valid pointer for an empty ring
    failed |= WriteIntChunk(file, ring.data(), kRingEntryWords * static_cast<uint32_t>(s.ringCount),
                            kRingEntryWords * static_cast<uint32_t>(s.ringCapacity), kRoleRing, 0);
  }
  if (s.forceDictSlots && s.forceDictCount > 0) {
    std::vector<uint32_t> slots(s.forceDictSlots, s.forceDictSlots + s.forceDictCount);
    failed |= WriteIntChunk(file, slots.data(), static_cast<uint32_t>(slots.size()),
                            static_cast<uint32_t>(slots.size()), kRoleDictSlots, 0);
  }
  for (uint32_t i = 0; i < 4; ++i) failed |= WriteChunkedArrayChunk(file, s.lengthPools[i], kRoleLengthPool, i);
  failed |= WriteChunkedArrayChunk(file, s.longPool, kRoleLongPool, 0);
  failed |= WriteChunkedArrayChunk(file, s.choicePool, kRoleChoicePool, 0);
  failed |= WriteByteChunk(file, s.fieldSequence, static_cast<uint32_t>(s.fieldSequenceLength),
                           static_cast<uint32_t>(s.fieldSequenceLength), kRoleFieldSequence, 0);
  CloseAppStreamFile(file);
  if (failed) {
    DeleteAppStreamFile(kStreamSavedFlashSession);
    return 1;
  }
  return 0;
}

FlashSession* ResumeFlashSession(FlashcardStore* store, SessionEventCallback onEvent, SessionTextCallback onText,
                                 void* userData) {
  if (!store || !store->database) return nullptr;
  AppStreamFile* file = OpenAppStreamFile(kStreamSavedFlashSession, 0, 1);
  if (!file) return nullptr;
  const uint32_t recordSize = SavedSessionRecordSize();
  std::vector<uint8_t> block(kHeadBytes + recordSize);
  FlashSession* s = nullptr;
  bool ok = ReadAppStreamFile(block.data(), 1, block.size(), file) == 0;
  uint32_t head[kHeadWords] = {};
  for (uint32_t i = 0; ok && i < kHeadWords; ++i) head[i] = GetU32(block.data() + 4 * i);
  ok = ok && head[0] == kSavedSessionVersion && head[1] == kHeadBytes + recordSize && head[2] == DatabaseId(store);
  if (ok) {
    s = static_cast<FlashSession*>(LocalAlloc(LPTR, sizeof(FlashSession)));
    ok = s != nullptr;
  }
  if (ok) {
    std::memset(s, 0, sizeof *s);
    Codec c{false};
    c.in = block.data() + kHeadBytes;
    c.size = recordSize;
    WalkRecord(c, *s);
    ok = !c.failed;
  }
  bool readAny = false;
  while (ok) {
    if (IsAppStreamFileAtEnd(file)) break;
    uint32_t chunk[4];
    const uint32_t start = TellAppStreamFile(file);
    if (PeekChunkHead(file, chunk) != 0 || chunk[0] < kChunkHeadWords * 4) {
      ok = false;
      break;
    }
    uint32_t role = 0, index = 0, count = 0, capacity = 0;
    const uint32_t type = chunk[1];
    if (type == kChunkArray && (chunk[2] == kRoleCards || chunk[2] == kRoleLengthPool || chunk[2] == kRoleLongPool ||
                                chunk[2] == kRoleChoicePool)) {
      ChunkedArray* a = ReadChunkedArrayChunk(file, &role, &index);
      ChunkedArray** slot = role == kRoleCards        ? &s->cards
                            : role == kRoleLongPool   ? &s->longPool
                            : role == kRoleChoicePool ? &s->choicePool
                            : index < 4               ? &s->lengthPools[index]
                                                      : nullptr;
      // A list given twice, or a pool index out of range, is damage.
      if (!a || !slot || *slot) {
        FreeChunkedArray(a);
        ok = false;
        break;
      }
      *slot = a;
    } else if (type == kChunkInts && (chunk[2] == kRoleOrder || chunk[2] == kRoleRing || chunk[2] == kRoleDictSlots)) {
      uint32_t* values = ReadIntChunk(file, &count, &capacity, &role, &index);
      if (!values) {
        ok = false;
        break;
      }
      if (role == kRoleOrder && !s->order && capacity >= 1 && capacity <= kSessionOrderCapacity) {
        s->order = values;
        s->orderCount = static_cast<int32_t>(count);
        s->orderCapacity = static_cast<int32_t>(capacity);
      } else if (role == kRoleRing && !s->ring && count % kRingEntryWords == 0 && capacity % kRingEntryWords == 0 &&
                 capacity >= kRingEntryWords && capacity <= 8 * kRingEntryWords) {
        s->ringCapacity = static_cast<int32_t>(capacity / kRingEntryWords);
        s->ringCount = static_cast<int32_t>(count / kRingEntryWords);
        s->ring = static_cast<WeightRingEntry*>(LocalAlloc(LPTR, s->ringCapacity * sizeof(WeightRingEntry)));
        for (int32_t k = 0; s->ring && k < s->ringCount; ++k)
          s->ring[k] = WeightRingEntry{static_cast<int32_t>(values[3 * k]), values[3 * k + 1],
                                       static_cast<int32_t>(values[3 * k + 2])};
        ok = s->ring != nullptr;
        LocalFree(values);
      } else if (role == kRoleDictSlots && !s->forceDictSlots && count > 0 && count <= 0xFFFF) {
        s->forceDictSlots = static_cast<uint16_t*>(LocalAlloc(LPTR, count * sizeof(uint16_t)));
        for (uint32_t i = 0; s->forceDictSlots && i < count; ++i)
          s->forceDictSlots[i] = static_cast<uint16_t>(values[i]);
        s->forceDictCount = static_cast<int32_t>(count);
        ok = s->forceDictSlots != nullptr;
        LocalFree(values);
      } else {
        LocalFree(values);
        ok = false;
      }
    } else if (type == kChunkBytes && chunk[2] == kRoleFieldSequence && !s->fieldSequence) {
      s->fieldSequence = ReadByteChunk(file, &count, &capacity, &role, &index);
      s->fieldSequenceLength = static_cast<int32_t>(count);
      ok = s->fieldSequence != nullptr;
    }
    // Any other chunk is passed over; every chunk ends where its size says.
    const uint64_t end = uint64_t{start} + chunk[0];
    if (ok && (end > 0xFFFFFFFFull || SeekAppStreamFile(file, static_cast<uint32_t>(end)) != 0)) ok = false;
    readAny = true;
  }
  ok = ok && readAny && RecordIsSound(*s) && s->scoring.scorefile > 0 && ScoreTableExists(store, s->scoring.scorefile);
  CloseAppStreamFile(file);
  DeleteAppStreamFile(kStreamSavedFlashSession);
  if (!ok) {
    if (s) {
      FreeLists(s);
      LocalFree(s);
    }
    return nullptr;
  }
  s->store = store;
  s->onEvent = onEvent;
  s->onText = onText;
  s->userData = userData;
  s->ringOldest = 0;
  const uint32_t now = GetTicks();
  s->startTicks = now - head[3];
  s->shownTicks = now - head[4];
  // 0 is "the answer was not shown yet", not a tick mark.
  s->answerTicks = head[5] ? std::max(now - head[5], 1u) : 0;
  s->resumed = 1;
  return s;
}

int HasSavedFlashSession() {
  AppStreamFile* file = OpenAppStreamFile(kStreamSavedFlashSession, 0, 1);
  if (!file) return 0;
  CloseAppStreamFile(file);
  return 1;
}

void DeleteSavedFlashSession() { DeleteAppStreamFile(kStreamSavedFlashSession); }
