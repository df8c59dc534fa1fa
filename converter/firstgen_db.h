// One first-generation database, from a container file or from a bundle
// (record k of a bundle database is member k).
//
// Record 0 is the directory: u16 table count t, t u16 table record numbers,
// then the database header. Header fields are big-endian: u16 at 2 is the
// kind (0 dictionary, 0xA000 user data file). The user data file keeps its
// own fields little-endian (firstgen_user_data.h).
#pragma once

#include <cstdint>
#include <vector>

#include "converter/firstgen_bytes.h"
#include "converter/firstgen_file.h"
#include "converter/firstgen_record_cache.h"
#include "converter/firstgen_table.h"

namespace converter {

inline constexpr uint16_t kFirstGenKindDictionary = 0;
inline constexpr uint16_t kFirstGenKindUserData = 0xA000;

struct FirstGenDb {
  FirstGenDatabaseFile* file;  // one of file and bundle
  FirstGenBundle* bundle;
  RecordCache* cache;  // container databases only
  uint32_t recordCount;
  FirstGenRecord* directory;
  uint16_t kind;
  ByteView header;  // inside the directory record
  std::vector<FirstGenTable*> tables;
};

// Take over the file (closed on failure too). Null when the directory
// cannot be read, its table list runs past it, or a table is refused.
FirstGenDb* OpenFirstGenDbFromFile(FirstGenDatabaseFile* file, RecordCache* cache);
FirstGenDb* OpenFirstGenDbFromBundle(FirstGenBundle* bundle);
// Closes the tables, frees the directory and closes the file.
void CloseFirstGenDb(FirstGenDb* db);

// The length of a record (a bundle member's used length) without reading
// it; 0 for a record that is not there.
uint32_t GetFirstGenDbRecordLength(const FirstGenDb* db, uint32_t index);
// A record of its own (not cached); null when it cannot be read.
FirstGenRecord* ReadFirstGenDbRecord(FirstGenDb* db, uint32_t index);
// A block record: through the cache for containers (under `key`), read
// directly for bundles. Give it back with ReleaseFirstGenBlock.
FirstGenRecord* AcquireFirstGenBlock(FirstGenDb* db, uint32_t index, uint32_t key);
void ReleaseFirstGenBlock(FirstGenDb* db, uint32_t key, FirstGenRecord* record);

}  // namespace converter
