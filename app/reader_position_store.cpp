#include "app/reader_position_store.h"

#include <cstring>

#include "engine/dict_engine.h"
#include "engine/engine_time.h"
#include "engine/stream_file.h"
#include "platform/heap.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Offsets in a record head.
enum : uint32_t {
  kHeadKind = 128,
  kHeadSecondId = 132,
  kHeadFirstId = 136,
  kHeadCreated = 140,
  kHeadSaved = 144,
  kHeadUsed = 148,
  kHeadInUse = 152,
  kHeadCapacity = 156,
};

struct StoreHeader {
  uint32_t version;
  uint32_t count;
  uint32_t stride;
};

bool ReadAt(AppStreamFile* file, uint32_t at, void* buffer, uint32_t bytes) {
  return SeekAppStreamFile(file, at) == 0 && ReadAppStreamFile(buffer, 1, bytes, file) == 0;
}
bool WriteAt(AppStreamFile* file, uint32_t at, const void* buffer, uint32_t bytes) {
  return SeekAppStreamFile(file, at) == 0 && WriteAppStreamFile(buffer, 1, bytes, file) == 0;
}

uint32_t FileSize(AppStreamFile* file) {
  if (SeekAppStreamFileToEnd(file) != 0) return 0;
  return TellAppStreamFile(file);
}

// The header of a store this code can use; false for any other (the file is
// then left alone).
bool ReadHeader(AppStreamFile* file, StoreHeader* header) {
  uint8_t b[kPositionStoreHeaderBytes];
  if (!ReadAt(file, 0, b, sizeof b)) return false;
  header->version = Le32(b);
  header->count = Le32(b + 4);
  header->stride = Le32(b + 8);
  return header->version == kPositionStoreVersion && header->count <= kPositionStoreMaxRecords &&
         header->stride == kPositionStride;
}

bool WriteHeader(AppStreamFile* file, uint32_t count) {
  uint8_t b[kPositionStoreHeaderBytes];
  PutLe32(b, kPositionStoreVersion);
  PutLe32(b + 4, count);
  PutLe32(b + 8, kPositionStride);
  return WriteAt(file, 0, b, sizeof b);
}

uint32_t RecordOffset(uint32_t i) { return kPositionStoreHeaderBytes + i * kPositionStride; }

// Reads record i's head when the file holds the whole record; false
// otherwise, so that a cut record is neither matched nor reused.
bool ReadHead(AppStreamFile* file, uint32_t fileSize, uint32_t i, uint8_t head[kPositionHeadBytes]) {
  if (RecordOffset(i) + kPositionStride > fileSize) return false;
  return ReadAt(file, RecordOffset(i), head, kPositionHeadBytes);
}

void KeyToBytes(const DocumentKey* key, uint8_t* out) {
  for (uint32_t i = 0; i < kDocumentKeyNameChars; ++i) {
    out[2 * i] = static_cast<uint8_t>(key->name[i]);
    out[2 * i + 1] = static_cast<uint8_t>(key->name[i] >> 8);
  }
  PutLe32(out + kHeadKind, key->kind);
  PutLe32(out + kHeadSecondId, key->secondId);
  PutLe32(out + kHeadFirstId, key->firstId);
}

void KeyFromBytes(const uint8_t* in, DocumentKey* key) {
  for (uint32_t i = 0; i < kDocumentKeyNameChars; ++i)
    key->name[i] = static_cast<WCHAR>(in[2 * i] | in[2 * i + 1] << 8);
  key->name[kDocumentKeyNameChars - 1] = 0;  // a full name in the file has no terminator
  key->kind = Le32(in + kHeadKind);
  key->secondId = Le32(in + kHeadSecondId);
  key->firstId = Le32(in + kHeadFirstId);
}

void SlotToBytes(const Bookmark& slot, uint8_t* out) {
  for (uint32_t i = 0; i < kBookmarkNameChars; ++i) {
    out[2 * i] = static_cast<uint8_t>(slot.name[i]);
    out[2 * i + 1] = static_cast<uint8_t>(slot.name[i] >> 8);
  }
  PutLe32(out + 2 * kBookmarkNameChars, slot.position);
}

void SlotFromBytes(const uint8_t* in, Bookmark* slot) {
  for (uint32_t i = 0; i < kBookmarkNameChars; ++i) slot->name[i] = static_cast<WCHAR>(in[2 * i] | in[2 * i + 1] << 8);
  slot->name[kBookmarkNameChars - 1] = 0;
  slot->position = Le32(in + 2 * kBookmarkNameChars);
}

bool IsStoredKey(const DocumentKey* key) { return key && key->kind != kKeyMemoryText; }

// The store's file with its header, or null when there is none to use.
AppStreamFile* Store(DictEngine* engine, StoreHeader* header) {
  if (!engine || !engine->readerPositionStore) return nullptr;
  return ReadHeader(engine->readerPositionStore, header) ? engine->readerPositionStore : nullptr;
}

struct RecordSearch {
  int32_t match = -1;
  int32_t oldest = -1;  // least recently used whole record
};

RecordSearch Walk(AppStreamFile* file, const StoreHeader& header, const DocumentKey* key) {
  RecordSearch found;
  const uint32_t size = FileSize(file);
  uint32_t oldestTime = 0;
  for (uint32_t i = 0; i < header.count; ++i) {
    uint8_t head[kPositionHeadBytes];
    if (!ReadHead(file, size, i, head)) continue;
    DocumentKey stored;
    KeyFromBytes(head, &stored);
    if (DocumentKeysMatch(&stored, key)) {
      found.match = static_cast<int32_t>(i);
      return found;
    }
    const uint32_t used = Le32(head + kHeadUsed);
    if (found.oldest < 0 || used < oldestTime) {
      found.oldest = static_cast<int32_t>(i);
      oldestTime = used;
    }
  }
  return found;
}

}  // namespace

bool DocumentKeysMatch(const DocumentKey* a, const DocumentKey* b) {
  if (a->kind != b->kind) return false;
  if (a->kind == kKeyDatabaseDocument) return a->firstId == b->firstId && a->secondId == b->secondId;
  for (uint32_t i = 0; i < kDocumentKeyNameChars; ++i) {
    if (a->name[i] != b->name[i]) return false;
    if (!a->name[i]) return true;
  }
  return true;
}

int OpenReaderPositionStore(DictEngine* engine) {
  if (!engine) return 1;
  if (engine->readerPositionStore) return 0;
  AppStreamFile* file = OpenAppStreamFile(kStreamReaderBookmarks, 0, 1);
  if (file) {
    StoreHeader header;
    if (ReadHeader(file, &header)) {
      engine->readerPositionStore = file;
      return 0;
    }
    // An empty file is a store whose creation was cut short; anything else
    // belongs to some other version and stays as it is.
    const bool empty = FileSize(file) == 0;
    if (!empty || !WriteHeader(file, 0)) {
      CloseAppStreamFile(file);
      return 1;
    }
    engine->readerPositionStore = file;
    return 0;
  }
  file = OpenAppStreamFile(kStreamReaderBookmarks, 1, 0);
  if (!file) return 1;
  if (!WriteHeader(file, 0)) {
    CloseAppStreamFile(file);
    return 1;
  }
  engine->readerPositionStore = file;
  return 0;
}

int32_t FindPositionRecord(DictEngine* engine, const DocumentKey* key) {
  StoreHeader header;
  AppStreamFile* file = IsStoredKey(key) ? Store(engine, &header) : nullptr;
  if (!file) return -1;
  return Walk(file, header, key).match;
}

int32_t FindOrAddPositionRecord(DictEngine* engine, const DocumentKey* key, int* isNew) {
  if (isNew) *isNew = 0;
  StoreHeader header;
  AppStreamFile* file = IsStoredKey(key) ? Store(engine, &header) : nullptr;
  if (!file) return -1;
  const RecordSearch found = Walk(file, header, key);
  if (found.match >= 0) return found.match;
  if (isNew) *isNew = 1;
  if (header.count < kPositionStoreMaxRecords) return static_cast<int32_t>(header.count);
  if (found.oldest < 0 && isNew) *isNew = 0;
  return found.oldest;
}

int32_t LoadDocumentBookmarks(DictEngine* engine, const DocumentKey* key, Bookmark** slots, int32_t* capacity) {
  *capacity = kBookmarkCapacity;
  *slots = static_cast<Bookmark*>(LocalAlloc(LPTR, kBookmarkCapacity * sizeof(Bookmark)));
  if (!*slots) return 0;
  const int32_t index = FindPositionRecord(engine, key);
  if (index < 0) return 0;
  AppStreamFile* file = engine->readerPositionStore;
  uint8_t head[kPositionHeadBytes];
  if (!ReadAt(file, RecordOffset(index), head, sizeof head)) return 0;
  // The count is the file's word: never more than a record has room for.
  const uint32_t n = Le32(head + kHeadInUse) < kBookmarkCapacity ? Le32(head + kHeadInUse) : kBookmarkCapacity;
  uint8_t bytes[kBookmarkCapacity * kBookmarkSlotBytes];
  if (n && !ReadAt(file, RecordOffset(index) + kPositionHeadBytes, bytes, n * kBookmarkSlotBytes)) return 0;
  for (uint32_t i = 0; i < n; ++i) SlotFromBytes(bytes + i * kBookmarkSlotBytes, &(*slots)[i]);
  PutLe32(head + kHeadUsed, GetUtcSeconds());
  WriteAt(file, RecordOffset(index), head, sizeof head);  // a lost refresh only ages the record
  return static_cast<int32_t>(n);
}

int SaveDocumentBookmarks(DictEngine* engine, const DocumentKey* key, const Bookmark* slots, int32_t inUse) {
  if (key && key->kind == kKeyMemoryText) return 0;
  int isNew = 0;
  const int32_t index = FindOrAddPositionRecord(engine, key, &isNew);
  if (index < 0) return 1;
  AppStreamFile* file = engine->readerPositionStore;
  StoreHeader header;
  if (!ReadHeader(file, &header)) return 1;
  const uint32_t now = GetUtcSeconds();
  uint8_t head[kPositionHeadBytes] = {};
  if (isNew) {
    KeyToBytes(key, head);
    PutLe32(head + kHeadCreated, now);
  } else if (!ReadAt(file, RecordOffset(index), head, sizeof head)) {
    return 1;
  }
  PutLe32(head + kHeadCapacity, kBookmarkCapacity);
  PutLe32(head + kHeadSaved, now);
  PutLe32(head + kHeadUsed, now);
  const uint32_t n = inUse < 0 ? 0 : inUse > static_cast<int32_t>(kBookmarkCapacity) ? kBookmarkCapacity : inUse;
  PutLe32(head + kHeadInUse, n);
  // The whole record in one write: head, the slots in use, zeros to the
  // capacity, never past the record's own stride.
  static_assert(kPositionStride == kPositionHeadBytes + kBookmarkCapacity * kBookmarkSlotBytes);
  uint8_t record[kPositionStride] = {};
  std::memcpy(record, head, sizeof head);
  for (uint32_t i = 0; i < n; ++i) SlotToBytes(slots[i], record + kPositionHeadBytes + i * kBookmarkSlotBytes);
  if (!WriteAt(file, RecordOffset(index), record, sizeof record)) return 1;
  if (isNew && static_cast<uint32_t>(index) == header.count && !WriteHeader(file, header.count + 1)) return 1;
  return 0;
}
