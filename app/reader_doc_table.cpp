#include "app/reader_doc_table.h"

#include <algorithm>
#include <cstring>

#include "engine/mem_handle.h"
#include "engine/table_cursor.h"
#include "engine/table_groups.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

const TableGroup* Group(DictEngine* engine, uint32_t i) {
  const TableGroup* g = engine ? GetTableGroup(engine, i) : nullptr;
  return g && g->valid ? g : nullptr;
}

TableCursor* TextCursor(const TableGroup* g) {
  return g->mainPosition >= 0 && static_cast<uint32_t>(g->mainPosition) < g->count ? g->cursors[g->mainPosition]
                                                                                   : nullptr;
}
TableCursor* SectionCursor(const TableGroup* g) {
  return g->secondPosition >= 0 && static_cast<uint32_t>(g->secondPosition) < g->count ? g->cursors[g->secondPosition]
                                                                                       : nullptr;
}

uint32_t InfoWord(const TableGroup* g, uint32_t w) {
  return g->info && g->infoSize >= 4 * w + 4 ? Le32(g->info + 4 * w) : 0;
}

uint32_t Levels(const TableGroup* g) {
  TableCursor* c = SectionCursor(g);
  return c ? std::min(GetTableColumnCount(c), kMaxSectionLevels) : 0;
}

}  // namespace

uint32_t GetDocumentCount(DictEngine* engine) { return engine ? GetTableGroupCount(engine) : 0; }

int GetDocumentTitle(DictEngine* engine, uint32_t i, WCHAR* buffer, uint32_t n) {
  if (n) buffer[0] = 0;
  const TableGroup* g = Group(engine, i);
  if (!g || !n) return 1;
  uint32_t k = 0;
  for (; k + 1 < n && k < kDocumentTitleChars && g->info && 24 + 2 * k + 2 <= g->infoSize; ++k) {
    const WCHAR c = static_cast<WCHAR>(g->info[24 + 2 * k] | g->info[25 + 2 * k] << 8);
    if (!c) break;
    buffer[k] = c;
  }
  buffer[k] = 0;
  return 0;
}

int DocumentHasSections(DictEngine* engine, uint32_t i) {
  const TableGroup* g = Group(engine, i);
  return !g || SectionCursor(g) ? 1 : 0;
}

uint32_t GetDocumentSectionLevels(DictEngine* engine, uint32_t i) {
  const TableGroup* g = Group(engine, i);
  return g ? Levels(g) : 0;
}

int GetDocumentIds(DictEngine* engine, uint32_t i, uint32_t* first, uint32_t* second) {
  const TableGroup* g = Group(engine, i);
  if (!g) return 1;
  *first = InfoWord(g, 0);
  *second = InfoWord(g, 1);
  return 0;
}

uint16_t FindDocumentByIds(DictEngine* engine, uint32_t first, uint32_t second) {
  const uint32_t n = std::min<uint32_t>(GetDocumentCount(engine), kNoDocument);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t a = 0, b = 0;
    if (GetDocumentIds(engine, i, &a, &b) == 0 && a == first && b == second) return static_cast<uint16_t>(i);
  }
  return kNoDocument;
}

int GetDocumentLayout(DictEngine* engine, uint32_t i, uint32_t* length, uint32_t* blockSize, uint32_t* fileTime) {
  const TableGroup* g = Group(engine, i);
  if (!g || !TextCursor(g) || g->infoSize < kDocumentInfoBytes) return 1;
  *blockSize = InfoWord(g, 4);
  *length = InfoWord(g, 5);
  *fileTime = g->writeStamp;
  return 0;
}

int ReadDocumentText(DictEngine* engine, uint32_t i, uint32_t from, uint32_t count, void* buffer, uint32_t* copied) {
  if (copied) *copied = 0;
  uint32_t length = 0, blockSize = 0, stamp = 0;
  if (GetDocumentLayout(engine, i, &length, &blockSize, &stamp) != 0 || blockSize == 0) return 1;
  TableCursor* cursor = TextCursor(Group(engine, i));
  MemHandle* scratch = NewMemHandle(blockSize);
  if (!scratch) return 1;
  auto* out = static_cast<uint8_t*>(buffer);
  int result = 0;
  while (count > 0) {
    const uint32_t block = from / blockSize;
    const uint32_t within = from % blockSize;
    uint32_t got = 0;
    if (ReadTableRecord(cursor, 0, block, scratch, nullptr, blockSize, &got) != kReadRecordOk || got <= within) {
      result = 1;
      break;
    }
    const uint32_t take = std::min(count, got - within);
    const auto* data = static_cast<const uint8_t*>(LockMemHandle(scratch));
    std::memcpy(out, data + within, take);
    UnlockMemHandle(scratch);
    out += take;
    if (copied) *copied += take;
    from += take;
    count -= take;
  }
  FreeMemHandle(scratch);
  return result;
}

uint32_t GetSectionCount(DictEngine* engine, uint32_t i, uint32_t level, uint32_t parent) {
  const TableGroup* g = Group(engine, i);
  TableCursor* c = g ? SectionCursor(g) : nullptr;
  if (!c || level >= Levels(g)) return 0;
  const uint32_t rows = GetColumnRowCount(c, level);
  if (level == 0) return rows;
  const uint32_t parents = GetColumnRowCount(c, level - 1);
  if (parent >= parents) return 0;
  uint32_t start = 0, first = 0, next = 0;
  uint32_t none = 0;
  if (GetSectionRecord(engine, i, level - 1, parent, nullptr, &none, &start, &first) != 0) return 0;
  if (parent + 1 < parents) {
    if (GetSectionRecord(engine, i, level - 1, parent + 1, nullptr, &none, &start, &next) != 0) return 0;
  } else {
    next = rows;
  }
  // Children run from the parent's first child to the next parent's; a
  // count the level cannot hold is no count.
  if (next < first || next > rows) return 0;
  return next - first;
}

int GetSectionRecord(DictEngine* engine, uint32_t i, uint32_t level, uint32_t n, WCHAR* name, uint32_t* nameLength,
                     uint32_t* start, uint32_t* firstChild) {
  const TableGroup* g = Group(engine, i);
  TableCursor* c = g ? SectionCursor(g) : nullptr;
  const uint32_t levels = g ? Levels(g) : 0;
  if (!c || level >= levels || n >= GetColumnRowCount(c, level)) return 1;
  uint8_t record[4 + 4 + 2 * 256];
  uint32_t got = 0;
  if (ReadTableRecord(c, level, n, nullptr, record, sizeof record, &got) != kReadRecordOk) return 1;
  const bool last = level + 1 == levels;
  const uint32_t head = last ? 4 : 8;
  if (got < head) return 1;
  *start = Le32(record);
  *firstChild = last ? 0 : Le32(record + 4);
  const uint32_t units = (got - head) / 2;
  uint32_t k = 0;
  if (name && *nameLength) {
    for (; k + 1 < *nameLength && k < units; ++k) {
      const WCHAR ch = static_cast<WCHAR>(record[head + 2 * k] | record[head + 2 * k + 1] << 8);
      if (!ch) break;
      name[k] = ch;
    }
    name[k] = 0;
  }
  *nameLength = k;
  return 0;
}

void ResetDocumentCursors(DictEngine* engine, uint32_t i) {
  const TableGroup* g = Group(engine, i);
  for (uint32_t k = 0; g && k < g->count; ++k)
    if (g->cursors[k]) ResetCursor(g->cursors[k]);
}
