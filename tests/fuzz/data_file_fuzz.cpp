// Feeds arbitrary bytes to the data-file reader as a device file: open the
// container, open the data file, and read every table through a cursor.
// Nothing a file holds may make the reader read out of bounds, loop
// forever or leak.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/data_file_db.h"
#include "engine/db_file.h"
#include "engine/mem_handle.h"
#include "engine/record_cache.h"
#include "engine/table_cursor.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/heap.h"

namespace {

std::string g_hostFile;
const char16_t kDevicePath[] = u"\\fuzz.pdb";

void ReadRow(TableCursor* cursor, uint32_t column, uint32_t r) {
  uint8_t buffer[96];
  uint32_t bytes = 0;
  ReadTableRecord(cursor, column, r, nullptr, buffer, sizeof buffer, &bytes);
  if (MemHandle* handle = NewMemHandle(4)) {
    ReadTableRecord(cursor, column, r, handle, nullptr, 0, &bytes);
    FreeMemHandle(handle);
  }
  int64_t key = GetRowKeyByRow(cursor, column, r);
  GetRowRecordOffset(cursor, column, r);
  GetRowRecordLength(cursor, column, r);
  ReadSingleValue(cursor, column, r);
  if (key >= 0) {
    FindRowByKey(cursor, column, static_cast<uint32_t>(key), 1, 0);
    FindRowByKey(cursor, column, static_cast<uint32_t>(key) + 1, 0, 1);
  }
}

void ReadTable(DataTable* table) {
  TableCursor* cursor = NewTableCursor(table);
  if (!cursor) return;
  uint32_t size = 0;
  GetTableInfoArea(cursor);
  for (uint32_t i = 0; i < 3; ++i) GetSubtableRecord(cursor, i, &size);
  WCHAR* name = nullptr;
  if (GetTableName(table, 0, &name) == 0 && name) LocalFree(name);
  const uint32_t columns = GetTableColumnCount(cursor) < 4 ? GetTableColumnCount(cursor) : 4;
  for (uint32_t c = 0; c < columns; ++c) {
    uint32_t rows = GetColumnRowCount(cursor, c);
    const uint32_t sample[] = {0, 1, rows / 2, rows ? rows - 1 : 0, rows, rows + 1};
    for (uint32_t r : sample) ReadRow(cursor, c, r);
    // The first rows in order, as a formatter would read them.
    for (uint32_t r = 2; r < rows && r < 24; ++r) ReadRow(cursor, c, r);
    for (int mode : {0, 3, 5, 6, 7}) FindRowByText(cursor, c, u"mid", mode);
    const uint8_t* text;
    uint32_t bytes;
    if (GetBlockFirstKeyText(table, c, 0, &text, &bytes) == 0) FindRowByText(cursor, c, u"a", 0);
  }
  TableCursor* clone = CloneTableCursor(cursor);
  if (clone) {
    ReadRow(clone, 0, 0);
    FreeTableCursor(clone);
  }
  FreeTableCursor(cursor);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The fuzz build's own folder, removed when the run ends.
  static std::string root = std::string(SORVI_FUZZ_TMP) + "/root-" + std::to_string(getpid());
  mkdir(SORVI_FUZZ_TMP, 0700);
  mkdir(root.c_str(), 0700);
  std::atexit([] { std::filesystem::remove_all(root); });
  SetDeviceRoot(root.c_str());
  g_hostFile = root + "/fuzz.pdb";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* out = std::fopen(g_hostFile.c_str(), "wb");
  if (!out) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);

  HANDLE h = CreateFileW(kDevicePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int kind = 0;
  DbFile* file = OpenDbFile(h, kDevicePath, &kind);
  if (!file) return 0;
  // A small cache, so reads evict each other's blocks.
  RecordCache* cache = NewRecordCache(kRecordCacheMode32);
  if (DataFileDb* db = OpenDataFileDb(file, cache)) {
    WCHAR *shortName = nullptr, *longName = nullptr, *notice = nullptr;
    GetDataFileTexts(db, &shortName, &longName, &notice);
    LocalFree(shortName);
    LocalFree(longName);
    LocalFree(notice);
    const uint32_t tables = GetTableCount(db) < 8 ? GetTableCount(db) : 8;
    for (uint32_t i = 0; i < tables; ++i) ReadTable(GetTableByIndex(db, i));
    GetTablePropertyByIndex(db, 0, 6);
    CloseDataFileDb(db);
  }
  FreeRecordCache(cache);
  CloseDbFile(file);
  return 0;
}
