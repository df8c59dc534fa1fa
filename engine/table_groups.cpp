#include "engine/table_groups.h"

#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/table_cursor.h"
#include "platform/heap.h"

namespace {

void FreeGroup(TableGroup* g) {
  for (uint32_t i = 0; i < g->count; ++i)
    if (g->cursors[i]) FreeTableCursor(g->cursors[i]);
  LocalFree(g);
}

}  // namespace

int BuildTableGroup(DictEngine* engine, DataTable* const* tables, uint32_t count) {
  DataResources* res = GetDataResources(engine, true);
  if (!res || res->tableGroupCount >= kMaxTableGroups) return 1;
  auto* g = static_cast<TableGroup*>(LocalAlloc(LPTR, sizeof(TableGroup)));
  if (!g) return 1;
  g->mainPosition = -1;
  g->secondPosition = -1;
  DataTable* main = nullptr;
  for (uint32_t i = 0; i < count && g->count < kMaxTableGroupTables; ++i) {
    DataTable* t = tables[i];
    if (!t || GetTableProperty(t, 2) >= kTableGroupVersionLimit) continue;
    TableCursor* c = NewTableCursor(t);
    if (!c) {
      FreeGroup(g);
      return 1;
    }
    const uint32_t type = GetTableProperty(t, 1);
    if (type == kTableGroupMainType && g->mainPosition < 0) {
      g->mainPosition = static_cast<int32_t>(g->count);
      main = t;
    } else if (type == kTableGroupSecondType && g->secondPosition < 0) {
      g->secondPosition = static_cast<int32_t>(g->count);
    }
    g->cursors[g->count] = c;
    g->types[g->count] = type;
    ++g->count;
  }
  if (!main) {
    FreeGroup(g);
    return 1;
  }
  g->writeStamp = GetTableProperty(main, 6);
  g->info = main->infoArea;
  g->infoSize = main->infoArea ? main->infoAreaSize : 0;
  g->infoWord4 = g->infoSize >= 20 ? LoadLe32(g->info + 16) : 0;
  g->valid = 1;
  res->tableGroups[res->tableGroupCount++] = g;
  return 0;
}

void LoadTableGroups(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  FreeTableGroups(engine);
  for (uint32_t r = 0; r < count; ++r) {
    if (!readers[r]) continue;
    DataTable* tables[kMaxTableGroupTables];
    uint32_t n = 0;
    for (uint32_t i = 0; i < GetTableCount(readers[r]) && n < kMaxTableGroupTables; ++i) {
      DataTable* t = GetTableByIndex(readers[r], i);
      if (!t) continue;
      const uint32_t type = GetTableProperty(t, 1);
      if (type >= kTableGroupFirstType && type <= kTableGroupLastType) tables[n++] = t;
    }
    if (n) BuildTableGroup(engine, tables, n);
  }
}

void FreeTableGroups(DictEngine* engine) {
  DataResources* res = GetDataResources(engine, false);
  if (!res) return;
  for (uint32_t i = 0; i < res->tableGroupCount; ++i) {
    FreeGroup(res->tableGroups[i]);
    res->tableGroups[i] = nullptr;
  }
  res->tableGroupCount = 0;
}

uint32_t GetTableGroupCount(DictEngine* engine) {
  DataResources* res = GetDataResources(engine, false);
  return res ? res->tableGroupCount : 0;
}

const TableGroup* GetTableGroup(DictEngine* engine, uint32_t i) {
  DataResources* res = GetDataResources(engine, false);
  return res && i < res->tableGroupCount ? res->tableGroups[i] : nullptr;
}
