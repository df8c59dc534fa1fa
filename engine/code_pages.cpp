#include "engine/code_pages.h"

#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/table_cursor.h"
#include "platform/heap.h"

namespace {

uint32_t InfoWord(const uint8_t* info, uint32_t size, uint32_t i) {
  return info && size >= 4 * (i + 1) ? LoadLe32(info + 4 * i) : 0;
}

// Offers one cursor to the set; it is kept or freed.
void OfferCursor(CodePageSet* set, TableCursor* cursor) {
  const uint8_t* info = GetTableInfoArea(cursor);
  const uint32_t size = GetTableInfoAreaSize(cursor);
  const uint32_t w0 = InfoWord(info, size, 0);
  const uint32_t w1 = InfoWord(info, size, 1);
  bool encodes;
  uint32_t id;
  if (w0 == 1) {
    encodes = true;
    id = w1;
  } else if (w1 == 1) {
    encodes = false;
    id = w0;
  } else {
    FreeTableCursor(cursor);
    return;
  }
  const uint16_t encoding = id == 2 ? 1 : id == 3 ? 2 : 0;
  if (encoding == 0) {
    FreeTableCursor(cursor);
    return;
  }
  CodePageRecord* record = nullptr;
  for (uint16_t i = 0; i < set->count; ++i) {
    if (set->records[i].encodingNumber == encoding) record = &set->records[i];
  }
  if (!record) {
    if (set->count >= kMaxCodePages) {
      FreeTableCursor(cursor);
      return;
    }
    record = &set->records[set->count++];
    *record = CodePageRecord{};
    record->encodingNumber = encoding;
  }
  TableCursor*& place = encodes ? record->encoding : record->decoding;
  if (place) {
    FreeTableCursor(cursor);
    return;
  }
  place = cursor;
  uint32_t* words = encodes ? record->encodingInfo : record->decodingInfo;
  words[0] = InfoWord(info, size, 2);
  words[1] = InfoWord(info, size, 3);
}

}  // namespace

void LoadCodePages(DictEngine* engine, DataFileDb* const* readers, uint32_t count) {
  if (!engine || !readers) return;
  if (!engine->codePages) {
    engine->codePages = static_cast<CodePageSet*>(LocalAlloc(LPTR, sizeof(CodePageSet)));
    if (!engine->codePages) return;
  }
  for (uint32_t r = 0; r < count; ++r) {
    DataFileDb* db = readers[r];
    if (!db) continue;
    const uint32_t tables = GetTableCount(db);
    for (uint32_t i = 0; i < tables; ++i) {
      if (GetTablePropertyByIndex(db, i, 1) != kCodePageTableType) continue;
      TableCursor* cursor = NewTableCursor(GetTableByIndex(db, i));
      if (cursor) OfferCursor(engine->codePages, cursor);
    }
  }
}

void FreeCodePages(DictEngine* engine) {
  if (!engine || !engine->codePages) return;
  CodePageSet* set = engine->codePages;
  for (uint16_t i = 0; i < set->count; ++i) {
    FreeTableCursor(set->records[i].decoding);
    FreeTableCursor(set->records[i].encoding);
  }
  LocalFree(set);
  engine->codePages = nullptr;
}

uint16_t FindCodePageIndex(DictEngine* engine, uint32_t encoding) {
  if (!engine || !engine->codePages) return kNoCodePage;
  const CodePageSet* set = engine->codePages;
  for (uint16_t i = 0; i < set->count && i < kMaxCodePages; ++i) {
    if (set->records[i].encodingNumber == encoding) return i;
  }
  return kNoCodePage;
}

CodePageRecord* FindCodePage(uint32_t encoding, DictEngine* engine) {
  const uint16_t i = FindCodePageIndex(engine, encoding);
  return i == kNoCodePage ? nullptr : &engine->codePages->records[i];
}
