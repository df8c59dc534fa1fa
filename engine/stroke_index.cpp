#include "engine/stroke_index.h"

#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/table_cursor.h"
#include "platform/heap.h"

namespace {

AuxIndex* IndexOf(DictEngine* engine) {
  DataResources* res = GetDataResources(engine, false);
  return res ? res->auxIndex : nullptr;
}

void FreeIndex(AuxIndex* index) {
  if (!index) return;
  if (index->cursor) FreeTableCursor(index->cursor);
  LocalFree(index);
}

// Null when the table is not a usable index or the heap is exhausted.
AuxIndex* NewIndex(DataTable* table) {
  if (!table->infoArea || table->infoAreaSize < 16) return nullptr;
  const uint8_t* info = table->infoArea;
  // Scaling divides by the design size.
  if (LoadLe32(info + 4) != 1 || LoadLe32(info + 8) == 0 || LoadLe32(info + 12) == 0) return nullptr;
  auto* index = static_cast<AuxIndex*>(LocalAlloc(LPTR, sizeof(AuxIndex)));
  if (!index) return nullptr;
  index->cursor = NewTableCursor(table);
  if (!index->cursor) {
    LocalFree(index);
    return nullptr;
  }
  index->version = LoadLe32(info);
  index->designWidth = LoadLe32(info + 8);
  index->designHeight = LoadLe32(info + 12);
  return index;
}

uint16_t Scale(uint32_t item, uint32_t size, uint32_t design) {
  uint64_t v = uint64_t{item} * size / design;
  return static_cast<uint16_t>(v < kAuxIndexSeparator ? v : kAuxIndexSeparator - 1);
}

}  // namespace

void LoadAuxIndex(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  FreeAuxIndex(engine);
  DataResources* res = GetDataResources(engine, true);
  if (!res) return;
  for (uint32_t r = 0; r < count; ++r) {
    if (!readers[r] || GetTableCount(readers[r]) == 0) continue;
    DataTable* table = GetTableByIndex(readers[r], 0);
    if (!table || GetTableProperty(table, 1) != kAuxIndexTableType) continue;
    AuxIndex* index = NewIndex(table);
    if (!index) continue;
    if (res->auxIndex && res->auxIndex->version >= index->version) {
      FreeIndex(index);
    } else {
      FreeIndex(res->auxIndex);
      res->auxIndex = index;
    }
  }
}

void FreeAuxIndex(DictEngine* engine) {
  DataResources* res = GetDataResources(engine, false);
  if (!res) return;
  FreeIndex(res->auxIndex);
  res->auxIndex = nullptr;
}

int IsAuxIndexPresent(DictEngine* engine) {
  AuxIndex* index = IndexOf(engine);
  return index && index->cursor ? 1 : 0;
}

int IsCodeMissingFromAuxIndex(DictEngine* engine, uint32_t code) {
  AuxIndex* index = IndexOf(engine);
  if (!index) return 1;
  int64_t row = FindRowByKey(index->cursor, 0, code, 1, 0);
  ResetCursor(index->cursor);
  return row < 0 ? 1 : 0;
}

int LoadAuxIndexRecord(DictEngine* engine, uint32_t code, uint32_t width, uint32_t height) {
  AuxIndex* index = IndexOf(engine);
  if (!index) return 1;
  int64_t row = FindRowByKey(index->cursor, 0, code, 1, 0);
  if (row < 0) {
    ResetCursor(index->cursor);
    return 1;
  }
  uint8_t raw[kAuxIndexBufferBytes];
  uint32_t bytes = 0;
  int status = ReadTableRecord(index->cursor, 0, static_cast<uint32_t>(row), nullptr, raw, kAuxIndexBufferBytes, &bytes);
  ResetCursor(index->cursor);
  if (status != kReadRecordOk || bytes < 2) {
    index->itemCount = 0;
    return 1;
  }
  const uint32_t count = bytes / 2;
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t item = LoadLe16(raw + 2 * i);
    if (item != kAuxIndexSeparator)
      item = (i % 2 == 0) ? Scale(item, width, index->designWidth) : Scale(item, height, index->designHeight);
    index->items[i] = item;
  }
  index->itemCount = count;
  return 0;
}

const uint16_t* GetAuxIndexRecord(DictEngine* engine, uint32_t* count) {
  AuxIndex* index = IndexOf(engine);
  if (count) *count = index ? index->itemCount : 0;
  return index ? index->items : nullptr;
}
