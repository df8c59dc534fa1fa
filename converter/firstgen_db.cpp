#include "converter/firstgen_db.h"

#include <new>

namespace converter {

namespace {

FirstGenDb* OpenDb(FirstGenDb* db) {
  db->directory = ReadFirstGenDbRecord(db, 0);
  if (!db->directory) {
    CloseFirstGenDb(db);
    return nullptr;
  }
  ByteView dir{db->directory->data, db->directory->size};
  const uint32_t t = ViewBe16(dir, 0);
  const uint64_t headerAt = 2 + 2ull * t;
  if (!ViewHas(dir, 0, headerAt)) {
    CloseFirstGenDb(db);
    return nullptr;
  }
  db->header = {dir.data + headerAt, static_cast<uint32_t>(dir.size - headerAt)};
  db->kind = ViewBe16(db->header, 2);
  for (uint32_t i = 0; i < t; ++i) {
    FirstGenTable* table = OpenFirstGenTable(db, ViewBe16(dir, 2 + 2ull * i));
    if (!table) {
      CloseFirstGenDb(db);
      return nullptr;
    }
    db->tables.push_back(table);
  }
  return db;
}

}  // namespace

FirstGenDb* OpenFirstGenDbFromFile(FirstGenDatabaseFile* file, RecordCache* cache) {
  auto* db = new (std::nothrow) FirstGenDb{};
  if (!db) {
    CloseFirstGenDatabaseFile(file);
    return nullptr;
  }
  db->file = file;
  db->cache = cache;
  db->recordCount = file->recordCount;
  return OpenDb(db);
}

FirstGenDb* OpenFirstGenDbFromBundle(FirstGenBundle* bundle) {
  auto* db = new (std::nothrow) FirstGenDb{};
  if (!db) {
    CloseFirstGenBundle(bundle);
    return nullptr;
  }
  db->bundle = bundle;
  db->recordCount = bundle->memberCount;
  return OpenDb(db);
}

void CloseFirstGenDb(FirstGenDb* db) {
  if (!db) return;
  for (FirstGenTable* table : db->tables) CloseFirstGenTable(table);
  FreeFirstGenRecord(db->directory);
  CloseFirstGenDatabaseFile(db->file);
  CloseFirstGenBundle(db->bundle);
  delete db;
}

uint32_t GetFirstGenDbRecordLength(const FirstGenDb* db, uint32_t index) {
  if (db->file) return GetFirstGenRecordLength(db->file, index);
  if (!db->bundle || index >= db->bundle->memberCount) return 0;
  return db->bundle->members[index].usedLength;
}

FirstGenRecord* ReadFirstGenDbRecord(FirstGenDb* db, uint32_t index) {
  return db->file ? ReadFirstGenFileRecord(db->file, index) : ReadFirstGenBundleMember(db->bundle, index);
}

FirstGenRecord* AcquireFirstGenBlock(FirstGenDb* db, uint32_t index, uint32_t key) {
  if (db->file && db->cache) return GetCachedRecord(db->cache, db->file, index, key);
  return ReadFirstGenDbRecord(db, index);
}

void ReleaseFirstGenBlock(FirstGenDb* db, uint32_t key, FirstGenRecord* record) {
  if (db->file && db->cache) {
    ReleaseCachedRecord(db->cache, key, record);
  } else {
    FreeFirstGenRecord(record);
  }
}

}  // namespace converter
