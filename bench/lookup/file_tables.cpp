#include "bench/lookup/file_tables.h"

#include "engine/data_file_db.h"
#include "engine/db_file.h"
#include "engine/record_cache.h"
#include "platform/device_paths.h"
#include "platform/heap.h"

namespace lookupbench {

namespace {

uint32_t RecordOffset(const DbFile* file, uint32_t i) {
  const uint8_t* p = file->recordList[i].offset;
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// What a table of a known type holds, for tables that carry no name.
const char* TableKindName(uint32_t type) {
  switch (type) {
    case 0x1000: return "entries";
    case 0x1010: return "entries, secondary fields";
    case 0x1030: return "entry ids";
    case 0x1040: return "character variants";
    case 0x1100: return "prefix index (headwords, readings)";
    case 0x1120: return "character-pair postings";
    case 0x1130:
    case 0x1131: return "English word postings";
    case 0x1140: return "letter-triple postings";
    case 0x1300: return "word lengths";
    case 0x4000: return "code page";
    case 0x5000:
    case 0x5110: return "radicals";
    case 0x7000: return "audio clips";
    case 0x7010: return "syllable index";
    case 0x9010: return "stroke order";
    default: return "";
  }
}

}  // namespace

int MeasureFileTables(DbFile* file, const std::string& fileName, FileTables* out) {
  *out = FileTables{};
  out->fileName = fileName;
  if (!file || file->recordCount == 0) return 1;
  const uint64_t fileBytes = uint64_t{RecordOffset(file, 0)} + file->dataSize;
  out->fileBytes = fileBytes;
  // Where record i ends: the next record's start, the last one at the file's end.
  auto recordEnd = [&](uint32_t i) { return i + 1 < file->recordCount ? RecordOffset(file, i + 1) : fileBytes; };

  RecordCache* cache = NewRecordCache(0);
  DataFileDb* db = cache ? OpenDataFileDb(file, cache) : nullptr;
  if (!db) {
    if (cache) FreeRecordCache(cache);
    return 1;
  }
  uint64_t tableBytes = 0;
  for (uint32_t t = 0; t < GetTableCount(db); ++t) {
    DataTable* table = GetTableByIndex(db, t);
    if (!table) continue;
    TableBytes tb;
    tb.type = table->type;
    tb.rows = table->entryCount;
    WCHAR* name = nullptr;
    if (GetTableName(table, 0, &name) == 0 && name) {
      std::u16string n;
      for (const WCHAR* p = name; *p; ++p) n.push_back(*p);
      tb.name = Utf16ToUtf8(n);
      LocalFree(name);
    }
    if (tb.name.empty()) tb.name = TableKindName(tb.type);
    const uint32_t first = table->headerRecordIndex;
    const uint32_t last = first + table->blockEnd;  // one past the table's last record
    if (last > first && last <= file->recordCount) tb.bytes = recordEnd(last - 1) - RecordOffset(file, first);
    tableBytes += tb.bytes;
    out->tables.push_back(tb);
  }
  out->otherBytes = fileBytes > tableBytes ? fileBytes - tableBytes : 0;
  CloseDataFileDb(db);
  FreeRecordCache(cache);
  return 0;
}

}  // namespace lookupbench
