#include "engine/audio_index.h"

#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/string_utils.h"
#include "engine/table_cursor.h"
#include "engine/text_compare.h"
#include "platform/heap.h"

namespace {

constexpr WCHAR kCharYi = 0x4E00;  // 一
constexpr WCHAR kCharBu = 0x4E0D;  // 不
constexpr WCHAR kSyllableFirst = 0xE000;
constexpr WCHAR kSyllableLast = 0xE9EF;
constexpr uint16_t kOnlyYiBu = 0x1000;
// Two words and 19 key units.
constexpr uint32_t kIndexRecordMax = 42;

DataResources* Resources(DictEngine* engine) { return GetDataResources(engine, false); }

SyllableIndexGroup* GroupAt(DictEngine* engine, uint32_t n) {
  DataResources* res = Resources(engine);
  return res && n < res->syllableGroupCount ? res->syllableGroups[n] : nullptr;
}

void FreeGroup(SyllableIndexGroup* g) {
  if (!g) return;
  if (g->lists) {
    for (uint32_t l = 0; l < g->listCount; ++l) {
      ClipList& list = g->lists[l];
      if (!list.tables) continue;
      for (uint32_t t = 0; t < list.tableCount; ++t)
        if (list.tables[t]) FreeTableCursor(list.tables[t]);
      LocalFree(list.tables);
    }
    LocalFree(g->lists);
  }
  if (g->indexCursor) FreeTableCursor(g->indexCursor);
  LocalFree(g);
}

// A group over an index table, its clip slots empty; null when the table is
// not a usable index (wrong marker, an info area too short for its lists)
// or the heap is exhausted.
SyllableIndexGroup* NewGroup(DataTable* table) {
  const uint8_t* info = table->infoArea;
  const uint32_t infoSize = table->infoArea ? table->infoAreaSize : 0;
  if (infoSize < 20 || LoadLe32(info + 16) != kSyllableIndexFormat) return nullptr;
  uint32_t listCount = LoadLe16(info + 4);
  if (kClipListDescriptorsAt + uint64_t{kClipListDescriptorSize} * listCount > infoSize) return nullptr;
  if (listCount > kMaxClipLists) listCount = kMaxClipLists;

  auto* g = static_cast<SyllableIndexGroup*>(LocalAlloc(LPTR, sizeof(SyllableIndexGroup)));
  if (!g) return nullptr;
  g->id = LoadLe32(info);
  g->kind = LoadLe16(info + 8);
  g->flags = LoadLe32(info + 12);
  g->indexCursor = NewTableCursor(table);
  if (!g->indexCursor) {
    FreeGroup(g);
    return nullptr;
  }
  if (listCount) {
    g->lists = static_cast<ClipList*>(LocalAlloc(LPTR, listCount * sizeof(ClipList)));
    if (!g->lists) {
      FreeGroup(g);
      return nullptr;
    }
    g->listCount = static_cast<uint16_t>(listCount);
  }
  for (uint32_t l = 0; l < listCount; ++l) {
    uint32_t tables = LoadLe16(info + kClipListDescriptorsAt + kClipListDescriptorSize * l);
    if (tables > kMaxClipTablesPerList) tables = kMaxClipTablesPerList;
    if (tables == 0) continue;
    g->lists[l].tables = static_cast<TableCursor**>(LocalAlloc(LPTR, tables * sizeof(TableCursor*)));
    if (!g->lists[l].tables) {
      FreeGroup(g);
      return nullptr;
    }
    g->lists[l].tableCount = static_cast<uint16_t>(tables);
  }
  return g;
}

// Puts a new group among the engine's: a group sharing a set bit competes
// with it (the higher id stays, in the place of the old one).
void AddGroup(DataResources* res, SyllableIndexGroup* g) {
  for (uint32_t i = 0; i < res->syllableGroupCount; ++i) {
    SyllableIndexGroup* old = res->syllableGroups[i];
    if (!(old->flags & g->flags & 3)) continue;
    if (old->id < g->id) {
      FreeGroup(old);
      res->syllableGroups[i] = g;
    } else {
      FreeGroup(g);
    }
    return;
  }
  res->syllableGroups[res->syllableGroupCount++] = g;
}

// Places a clip table in its group's slot; false when it has none.
bool PlaceClipTable(DataResources* res, DataTable* table) {
  if (!table->infoArea || table->infoAreaSize < 10) return false;
  const uint32_t id = LoadLe32(table->infoArea);
  const uint32_t list = LoadLe16(table->infoArea + 4);
  const uint32_t place = LoadLe16(table->infoArea + 8);
  for (uint32_t i = 0; i < res->syllableGroupCount; ++i) {
    SyllableIndexGroup* g = res->syllableGroups[i];
    if (g->id != id) continue;
    if (list >= g->listCount || place >= g->lists[list].tableCount) return false;
    // The first table for a slot keeps it.
    if (g->lists[list].tables[place]) return false;
    g->lists[list].tables[place] = NewTableCursor(table);
    return g->lists[list].tables[place] != nullptr;
  }
  return false;
}

bool IsSyllable(WCHAR c) { return c >= kSyllableFirst && c <= kSyllableLast; }
uint32_t ToneOf(WCHAR c) { return (c - kSyllableFirst) % 5; }

}  // namespace

void LoadSyllableIndexGroups(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  FreeSyllableIndexGroups(engine);
  DataResources* res = GetDataResources(engine, true);
  if (!res) return;
  for (uint32_t r = 0; r < count && res->syllableGroupCount < kMaxSyllableIndexGroups; ++r) {
    if (!readers[r] || GetTableCount(readers[r]) == 0) continue;
    DataTable* table = GetTableByIndex(readers[r], 0);
    if (!table || GetTableProperty(table, 1) != kSyllableIndexTableType) continue;
    if (SyllableIndexGroup* g = NewGroup(table)) AddGroup(res, g);
  }
  if (res->syllableGroupCount == 0) return;
  for (uint32_t r = 0; r < count; ++r) {
    if (!readers[r]) continue;
    for (uint32_t i = 0; i < GetTableCount(readers[r]); ++i) {
      DataTable* table = GetTableByIndex(readers[r], i);
      if (table && GetTableProperty(table, 1) == kClipTableType) PlaceClipTable(res, table);
    }
  }
}

void FreeSyllableIndexGroups(DictEngine* engine) {
  DataResources* res = Resources(engine);
  if (!res) return;
  for (uint32_t i = 0; i < res->syllableGroupCount; ++i) {
    FreeGroup(res->syllableGroups[i]);
    res->syllableGroups[i] = nullptr;
  }
  res->syllableGroupCount = 0;
}

uint32_t GetSyllableIndexGroupCount(DictEngine* engine) {
  DataResources* res = Resources(engine);
  return res ? res->syllableGroupCount : 0;
}

int EnsureSyllableIndexGroup(DictEngine* engine, uint32_t n) { return GroupAt(engine, n) ? 1 : 0; }
int IsSyllableIndexGroupUsable(DictEngine* engine, uint32_t n) { return GroupAt(engine, n) ? 1 : 0; }

int IsSyllableIndexGroupComplete(DictEngine* engine, uint32_t n) {
  SyllableIndexGroup* g = GroupAt(engine, n);
  if (!g) return 0;
  for (uint32_t l = 0; l < g->listCount; ++l)
    for (uint32_t t = 0; t < g->lists[l].tableCount; ++t)
      if (!g->lists[l].tables[t]) return 0;
  return 1;
}

uint16_t FindSyllableIndexGroup(DictEngine* engine, int which) {
  DataResources* res = Resources(engine);
  if (!res || res->syllableGroupCount == 0) return kNoSyllableIndexGroup;
  const uint32_t bit = which ? 2 : 1;
  for (uint32_t i = 0; i < res->syllableGroupCount; ++i)
    if (res->syllableGroups[i]->flags & bit) return static_cast<uint16_t>(i);
  return 0;
}

uint16_t GetSyllableIndexGroupKind(DictEngine* engine, uint32_t n) {
  SyllableIndexGroup* g = GroupAt(engine, n);
  return g ? g->kind : 0;
}

int LookupSyllableClip(DictEngine* engine, uint32_t n, const WCHAR* key, const WCHAR* characters, MemHandle* handle,
                       uint32_t* size) {
  SyllableIndexGroup* g = GroupAt(engine, n);
  if (!g) return kClipNoGroup;
  if (!key) return kClipNoRecord;
  int64_t row = FindRowByText(g->indexCursor, 0, key, 7);
  if (row < 0) {
    ResetCursor(g->indexCursor);
    return kClipNoRecord;
  }
  uint8_t record[kIndexRecordMax + 2];
  uint32_t bytes = 0;
  int status = ReadTableRecord(g->indexCursor, 0, static_cast<uint32_t>(row), nullptr, record, kIndexRecordMax, &bytes);
  ResetCursor(g->indexCursor);
  if (status != kReadRecordOk || bytes < 6) return kClipNoRecord;

  // The key text ends at the record's end when it fills the record.
  WCHAR text[kIndexRecordMax / 2 - 1];
  const uint32_t textUnits = bytes / 2 - 2;
  for (uint32_t i = 0; i < textUnits; ++i) text[i] = LoadLe16(record + 4 + 2 * i);
  text[textUnits < kIndexRecordMax / 2 - 2 ? textUnits : kIndexRecordMax / 2 - 2] = 0;
  if (WideStrCmp(text, key) != 0) return kClipNoRecord;

  const uint16_t wordA = LoadLe16(record);
  const uint16_t wordB = LoadLe16(record + 2);
  if ((wordA & kOnlyYiBu) && characters && characters[0] && characters[0] != kCharYi && characters[0] != kCharBu)
    return kClipNoRecord;
  const uint32_t list = (wordA >> 8) & 0xF;
  const uint32_t place = wordA & 0xFF;
  if (list >= g->listCount) return kClipNoList;
  if (place >= g->lists[list].tableCount || !g->lists[list].tables[place]) return kClipNoTable;
  if (!handle) return kClipFound;

  TableCursor* clips = g->lists[list].tables[place];
  uint32_t clipBytes = 0;
  status = ReadTableRecord(clips, 0, wordB, handle, nullptr, 0, &clipBytes);
  ResetCursor(clips);
  if (status != kReadRecordOk || clipBytes == 0) return kClipEmpty;
  if (size) *size = clipBytes;
  return kClipFound;
}

int LookupSyllableRecord(DictEngine* engine, uint32_t n, const WCHAR* syllables, const WCHAR* characters,
                         const uint8_t* toneOverrides, MemHandle* const* handles, uint32_t* sizes, int wholeWordOnly) {
  if (sizes)
    for (uint32_t k = 0; k < kMaxSyllableClips; ++k) sizes[k] = 0;
  const int whole =
      LookupSyllableClip(engine, n, syllables, characters, handles ? handles[0] : nullptr, sizes ? &sizes[0] : nullptr);
  if (whole != kClipNoRecord && whole != kClipNoList && whole != kClipNoTable) return whole;
  if (wholeWordOnly) return whole;

  const bool toneChanges = GetPref(engine, kPrefToneChanges) != 0;
  const uint32_t length = WideStrLen(syllables);
  const uint32_t charCount = WideStrLen(characters);
  uint32_t k = 0;
  for (uint32_t i = 0; i < length && k < kMaxSyllableClips; ++i) {
    WCHAR code = syllables[i];
    if (!IsSyllable(code)) continue;
    const uint32_t t = ToneOf(code);
    const bool hasNext = i + 1 < length && IsSyllable(syllables[i + 1]);
    const uint32_t nextTone = hasNext ? ToneOf(syllables[i + 1]) : 0;
    const uint8_t override = toneOverrides ? toneOverrides[i] : 0;
    if (override >= 1 && override <= 4) {
      code = static_cast<WCHAR>(code - t + override);
    } else if (!toneChanges) {
      // as it is
    } else if (t == 3 && hasNext && nextTone == 3) {
      code = static_cast<WCHAR>(code - 1);
    } else if (i < charCount && hasNext) {
      if (characters[i] == kCharBu && t == 4 && nextTone == 4)
        code = static_cast<WCHAR>(code - 2);
      else if (characters[i] == kCharYi && t == 1)
        code = static_cast<WCHAR>(nextTone == 4 ? code + 1 : code + 3);
    }

    WCHAR key[2] = {code, 0};
    MemHandle* handle = handles ? handles[k] : nullptr;
    uint32_t* size = sizes ? &sizes[k] : nullptr;
    int result = LookupSyllableClip(engine, n, key, nullptr, handle, size);
    if (result == kClipNoRecord && ToneOf(code) == 0) {
      key[0] = static_cast<WCHAR>(code + 1);
      result = LookupSyllableClip(engine, n, key, nullptr, handle, size);
    }
    if (result == kClipFound) ++k;
  }
  return k > 0 ? kClipFound : whole;
}
