#include "engine/dict_set.h"

#include <cstring>

#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/table_cursor.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"
#include "platform/heap.h"

namespace {

// Info header offsets.
constexpr uint32_t kHdrCreator = 0;
constexpr uint32_t kHdrDictId = 4;
constexpr uint32_t kHdrFlags = 8;
constexpr uint32_t kHdrLanguage = 16;
constexpr uint32_t kHdrTransLanguage = 20;
constexpr uint32_t kHdrIconText = 32;
constexpr uint32_t kHdrIconColor = 44;
constexpr uint32_t kHdrMenuName = 52;
constexpr uint32_t kHdrShortName = 116;
constexpr uint32_t kHdrFieldCount = 316;
constexpr uint32_t kHdrLevelCount = 320;
constexpr uint32_t kFieldName = 0;
constexpr uint32_t kFieldName2 = 64;
constexpr uint32_t kFieldLevel = 392;

constexpr uint32_t kBitmapBytesMax = 0x10000 / 8;

DictSlot* SlotAt(DictEngine* engine, uint16_t slot) {
  if (!engine || slot >= engine->slotCount) return nullptr;
  return engine->slots[slot];
}

DictSlot* BuiltIn(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  return s && s->kind == kDictKindBuiltIn ? s : nullptr;
}

uint32_t HeaderWord(const DictSlot* s, uint32_t offset) { return LoadLe32(s->header + offset); }

// The counts of a header must leave its descriptors inside the info area.
bool InfoHeaderFits(const uint8_t* info, uint32_t size) {
  if (!info || size < kDictInfoHeaderSize) return false;
  uint64_t fields = LoadLe32(info + kHdrFieldCount);
  uint64_t levels = LoadLe32(info + kHdrLevelCount);
  return kDictInfoHeaderSize + fields * kDictFieldDescriptorSize + levels * kDictLevelDescriptorSize <= size;
}

// Copies a fixed field of `units` little-endian units: at most n - 1 units,
// up to the field's own terminator, then a terminator.
void CopyFieldText(const uint8_t* field, uint32_t units, WCHAR* buf, uint32_t n) {
  if (!buf || n == 0) return;
  uint32_t k = 0;
  for (; k + 1 < n && k < units; ++k) {
    WCHAR c = LoadLe16(field + 2 * k);
    if (c == 0) break;
    buf[k] = c;
  }
  buf[k] = 0;
}

void EmptyText(WCHAR* buf, uint32_t n) {
  if (buf && n) buf[0] = 0;
}

uint32_t UserLanguage(const DictSlot* s, const char* property) {
  WCHAR text[21];
  if (GetUserDictTextByName(s, property, text, 21) != 0) return 65535;
  static const struct {
    const char16_t* name;
    uint32_t language;
  } kNames[] = {{u"English", kLanguageEnglish}, {u"Chinese", kLanguageChinese}};
  for (const auto& n : kNames) {
    uint32_t i = 0;
    while (n.name[i] && text[i] == n.name[i]) ++i;
    if (n.name[i] == 0 && text[i] == 0) return n.language;
  }
  return 65535;
}

uint32_t UserNumber(const DictSlot* s, const char* property, uint32_t missing) {
  uint32_t v = 0;
  return GetUserDictNumberByName(s, property, &v) == 0 ? v : missing;
}

}  // namespace

void BuildDictSlots(DictEngine* engine, DataFileDb* const* readers, uint32_t readerCount, SqlDb* const* userDbs,
                    uint32_t userDbCount) {
  if (!engine) return;
  for (uint32_t r = 0; r < readerCount && engine->slotCount < kMaxDictSlots; ++r) {
    DataFileDb* db = readers[r];
    if (!db) continue;
    DataTable* taken[kDictTablesPerFile];
    uint32_t n = 0;
    uint32_t tables = GetTableCount(db);
    for (uint32_t t = 0; t < tables && n < kDictTablesPerFile; ++t) {
      uint32_t type = GetTablePropertyByIndex(db, t, 1);
      if (type < kDictTableTypeFirst || type > kDictTableTypeLast) continue;
      DataTable* table = GetTableByIndex(db, t);
      if (table) taken[n++] = table;
    }
    if (n) AddDataFileSlot(engine, taken, n);
  }
  for (uint32_t u = 0; u < userDbCount && engine->slotCount < kMaxDictSlots; ++u)
    if (userDbs[u]) OpenUserDict(engine, userDbs[u]);
}

int AddDataFileSlot(DictEngine* engine, DataTable* const* tables, uint32_t count) {
  if (!engine || engine->slotCount >= kMaxDictSlots || count == 0) return 1;
  auto* slot = static_cast<DictSlot*>(LocalAlloc(LPTR, sizeof(DictSlot)));
  if (!slot) return 1;
  slot->kind = kDictKindBuiltIn;
  slot->cursors = static_cast<TableCursor**>(LocalAlloc(LPTR, (size_t{count} + 1) * sizeof(TableCursor*)));
  slot->tableTypes = static_cast<uint32_t*>(LocalAlloc(LPTR, (size_t{count} + 1) * sizeof(uint32_t)));
  if (!slot->cursors || !slot->tableTypes) {
    FreeDictSlot(slot);
    return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    DataTable* table = tables[i];
    if (!table || GetTableProperty(table, 2) >= 3) continue;  // a format this reader does not know
    TableCursor* cursor = NewTableCursor(table);
    if (!cursor) continue;
    uint32_t type = GetTableProperty(table, 1);
    slot->cursors[slot->cursorCount] = cursor;
    slot->tableTypes[slot->cursorCount] = type;
    ++slot->cursorCount;
    if (type == kDictEntryTableType && !slot->primary) slot->primary = cursor;
    if (type == kDictSecondaryTableType && !slot->secondary) slot->secondary = cursor;
  }
  if (!slot->primary) {
    FreeDictSlot(slot);
    return 1;
  }
  slot->header = GetTableInfoArea(slot->primary);
  slot->headerSize = GetTableInfoAreaSize(slot->primary);
  if (!InfoHeaderFits(slot->header, slot->headerSize)) {
    FreeDictSlot(slot);
    return 1;
  }
  if (slot->secondary) {
    const uint8_t* info = GetTableInfoArea(slot->secondary);
    uint32_t size = GetTableInfoAreaSize(slot->secondary);
    if ((HeaderWord(slot, kHdrFlags) & kDictFlagSecondary) && InfoHeaderFits(info, size)) {
      slot->secondaryHeader = info;
      slot->secondaryHeaderSize = size;
    } else {
      slot->secondary = nullptr;  // its cursor stays in the list
    }
  }
  engine->slots[engine->slotCount++] = slot;
  return 0;
}

int AddDictSlot(DictEngine* engine, DictSlot* slot) {
  if (!engine || !slot || engine->slotCount >= kMaxDictSlots) return 1;
  engine->slots[engine->slotCount++] = slot;
  return 0;
}

void FreeDictSlot(DictSlot* slot) {
  if (!slot) return;
  if (slot->cursors)
    for (uint32_t i = 0; i < slot->cursorCount; ++i) FreeTableCursor(slot->cursors[i]);
  if (slot->cursors) LocalFree(slot->cursors);
  if (slot->tableTypes) LocalFree(slot->tableTypes);
  if (slot->kind == kDictKindUser) FreeUserDictSlot(slot);
  LocalFree(slot);
}

void FreeDictSlots(DictEngine* engine) {
  if (!engine) return;
  for (uint32_t i = 0; i < engine->slotCount; ++i) {
    FreeDictSlot(engine->slots[i]);
    engine->slots[i] = nullptr;
  }
  engine->slotCount = 0;
}

uint16_t GetDictCount(DictEngine* engine) { return engine ? engine->slotCount : 0; }

uint8_t GetDictKind(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  return s ? s->kind : uint8_t{kDictKindBuiltIn};
}

uint32_t GetDictCreator(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return 0;
  return s->kind == kDictKindBuiltIn ? HeaderWord(s, kHdrCreator) : UserNumber(s, "FileCreator", 0);
}

int32_t GetDictId(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return -1;
  return static_cast<int32_t>(s->kind == kDictKindBuiltIn ? HeaderWord(s, kHdrDictId)
                                                          : UserNumber(s, "FileID", 0xFFFFFFFFu));
}

uint32_t GetDictLanguage(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return 65535;
  if (s->kind == kDictKindUser) return UserLanguage(s, "DictLang");
  return HeaderWord(s, kHdrLanguage);
}

uint32_t GetDictTransLanguage(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return 65535;
  if (s->kind == kDictKindUser) return UserLanguage(s, "TransLang");
  return HeaderWord(s, kHdrTransLanguage);
}

uint32_t GetDictFlags(DictEngine* engine, uint16_t slot) {
  DictSlot* s = BuiltIn(engine, slot);
  return s ? HeaderWord(s, kHdrFlags) : 0;
}

uint32_t GetDictEntryCount(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return 0;
  if (s->kind == kDictKindUser) return s->entryCount > 0 ? static_cast<uint32_t>(s->entryCount) : 0;
  return GetTableEntryCount(s->primary);
}

int DictHasEntries(DictEngine* engine, uint16_t slot) { return GetDictEntryCount(engine, slot) > 0 ? 1 : 0; }

int GetDictName(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n, int menu) {
  EmptyText(buf, n);
  DictSlot* s = SlotAt(engine, slot);
  if (!s || !buf || n == 0) return 1;
  if (s->kind == kDictKindUser) return GetUserDictTextByName(s, menu ? "DictMenuName" : "DictShortName", buf, n);
  CopyFieldText(s->header + (menu ? kHdrMenuName : kHdrShortName), kDictNameUnits, buf, n);
  return 0;
}

int GetDictShortName(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n) {
  return GetDictName(engine, slot, buf, n, 0);
}

int GetDictMenuName(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n) {
  return GetDictName(engine, slot, buf, n, 1);
}

int GetDictIconText(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n) {
  EmptyText(buf, n);
  DictSlot* s = SlotAt(engine, slot);
  if (!s || !buf || n == 0) return 1;
  if (s->kind == kDictKindUser) return GetUserDictTextByName(s, "DictIconName", buf, n);
  // Three units, unterminated when all three are used: the terminator goes
  // only where the caller left room for it.
  uint32_t k = 0;
  for (; k < kDictIconUnits && k < n; ++k) {
    WCHAR c = LoadLe16(s->header + kHdrIconText + 2 * k);
    if (c == 0) break;
    buf[k] = c;
  }
  if (k < n) buf[k] = 0;
  return 0;
}

uint32_t GetDictIconColor(DictEngine* engine, uint16_t slot) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return 0;
  return s->kind == kDictKindBuiltIn ? HeaderWord(s, kHdrIconColor) : UserNumber(s, "DictIconFillColor", 0);
}

uint32_t GetDictFieldCount(DictEngine* engine, uint16_t slot) {
  DictSlot* s = BuiltIn(engine, slot);
  return s ? HeaderWord(s, kHdrFieldCount) : 0;
}

const uint8_t* GetDictFieldDescriptor(DictEngine* engine, uint16_t slot, uint32_t field) {
  DictSlot* s = BuiltIn(engine, slot);
  if (!s || field >= HeaderWord(s, kHdrFieldCount)) return nullptr;
  return s->header + kDictInfoHeaderSize + size_t{field} * kDictFieldDescriptorSize;
}

int GetDictFieldInfo(DictEngine* engine, uint16_t slot, uint32_t field, uint32_t* level, WCHAR* name, uint32_t n,
                     WCHAR* name2, uint32_t n2) {
  if (!SlotAt(engine, slot)) return 1;
  const uint8_t* d = GetDictFieldDescriptor(engine, slot, field);
  if (!d) return 0;
  CopyFieldText(d + kFieldName, kDictNameUnits, name, n);
  CopyFieldText(d + kFieldName2, kDictNameUnits, name2, n2);
  if (level) *level = LoadLe32(d + kFieldLevel);
  return 0;
}

TableCursor* FindDictTableCursor(DictEngine* engine, uint16_t slot, uint32_t type) {
  DictSlot* s = BuiltIn(engine, slot);
  if (!s) return nullptr;
  for (uint32_t i = 0; i < s->cursorCount; ++i)
    if (s->tableTypes[i] == type) return s->cursors[i];
  return nullptr;
}

int DictHasTable1100(DictEngine* engine, uint16_t slot) {
  return FindDictTableCursor(engine, slot, kDictPrefixIndexType) ? 1 : 0;
}

int DictHasTable1120(DictEngine* engine, uint16_t slot) { return FindDictTableCursor(engine, slot, 0x1120) ? 1 : 0; }

int DictHasTable1130(DictEngine* engine, uint16_t slot) {
  return FindDictTableCursor(engine, slot, 0x1131) || FindDictTableCursor(engine, slot, 0x1130) ? 1 : 0;
}

int TestDictEntryBit(DictEngine* engine, uint16_t slot, uint32_t entry) {
  TableCursor* c = FindDictTableCursor(engine, slot, kDictPrefixIndexType);
  if (!c) return 0;
  uint32_t size = 0;
  const uint8_t* bitmap = GetSubtableRecord(c, 0, &size);
  if (!bitmap) return 0;
  uint64_t at = uint64_t{entry / 32} * 4;
  if (at + 4 > size || at + 4 > kBitmapBytesMax) return 0;
  return (LoadLe32(bitmap + at) >> (31 - entry % 32)) & 1;
}

int DictSetHasCharEntry(DictEngine* engine, WCHAR ch) {
  if (!engine) return 0;
  for (uint16_t s = 0; s < engine->slotCount; ++s) {
    if (GetDictFlags(engine, s) & kDictFlagCharDict) continue;
    if (TestDictEntryBit(engine, s, ch)) return 1;
  }
  return 0;
}

int64_t GetDictEntryKey(DictEngine* engine, uint16_t slot, uint32_t row) {
  DictSlot* s = SlotAt(engine, slot);
  if (!s) return -1;
  if (s->kind == kDictKindUser) return row;
  return GetRowKeyByRow(s->primary, 0, row);
}

int32_t MapDictEntryId(DictEngine* engine, uint16_t slot, int32_t id) {
  TableCursor* c = FindDictTableCursor(engine, slot, kDictEntryIdMapType);
  if (!c) return id;
  int64_t row = FindRowByKey(c, 0, static_cast<uint32_t>(id), 1, 0);
  if (row < 0) {
    ResetCursor(c);
    return -1;
  }
  uint32_t entry = ReadSingleValue(c, 0, static_cast<uint32_t>(row));
  ResetCursor(c);
  return static_cast<int32_t>(entry);
}

int32_t GetDictEntryAtPosition(DictEngine* engine, uint16_t slot, int32_t position) {
  DictSlot* s = SlotAt(engine, slot);
  if (s && s->kind == kDictKindUser) return GetUserDictEntryAtLine(engine, slot, position);
  return position;
}

int32_t GetDictPositionOfEntry(DictEngine* engine, uint16_t slot, int32_t entry) {
  DictSlot* s = SlotAt(engine, slot);
  if (s && s->kind == kDictKindUser) return GetUserDictLineOfEntry(engine, slot, entry);
  return entry;
}

int64_t FollowIndexLevels(TableCursor* cursor, uint32_t row, int16_t top, int16_t bottom) {
  if (top == -1 && bottom == 0) return ReadSingleValue(cursor, 0, row);
  if (top == 4096 && bottom == 0) return row;
  for (int16_t c = static_cast<int16_t>(top + 1); c >= bottom + 1; --c) {
    if (c < 0) break;
    row = ReadSingleValue(cursor, static_cast<uint32_t>(c), row);
  }
  return row;
}

WCHAR MapCharVariant(DictEngine* engine, uint16_t slot, WCHAR ch) {
  TableCursor* c = FindDictTableCursor(engine, slot, kDictCharVariantType);
  if (!c) return ch;
  const uint8_t* info = GetTableInfoArea(c);
  if (!info || GetTableInfoAreaSize(c) < 12 || !(LoadLe32(info + kHdrFlags) & kLanguageChinese)) return ch;
  int64_t row = FindRowByKey(c, 0, ch, 1, 0);
  WCHAR forms[4] = {};
  uint32_t bytes = 0;
  if (row >= 0) ReadTableRecord(c, 0, static_cast<uint32_t>(row), nullptr, forms, sizeof forms, &bytes);
  ResetCursor(c);
  uint32_t units = bytes / 2;
  if (units == 0) return ch;
  for (uint32_t i = 0; i < units; ++i)
    if (forms[i] == ch) return ch;
  return forms[0];
}

uint16_t FindDictSlot(DictEngine* engine, uint32_t creator, uint32_t id) {
  if (!engine) return kNoDictSlot;
  for (uint16_t s = 0; s < engine->slotCount; ++s)
    if (static_cast<uint32_t>(GetDictId(engine, s)) == id && GetDictCreator(engine, s) == creator) return s;
  return kNoDictSlot;
}

int HasDictEntry(DictEngine* engine, uint32_t creator, uint32_t id, int32_t entry) {
  uint16_t slot = FindDictSlot(engine, creator, id);
  if (slot == kNoDictSlot) return 0;
  int32_t mapped = MapDictEntryId(engine, slot, entry);
  if (mapped == -1) return 0;
  if (GetDictKind(engine, slot) == kDictKindBuiltIn) return 1;
  // A query that fails cannot confirm the entry.
  return HasUserDictEntry(engine, slot, mapped) == 1 ? 1 : 0;
}

namespace {

// The one-character Chinese headword ch in that slot alone: 0 and the first
// hit's entry, or 1 when nothing was found.
int FindCharEntryInSlot(DictEngine* engine, uint16_t slot, WCHAR ch, int32_t* entry) {
  if (entry) *entry = -1;
  const WCHAR headword[2] = {ch, 0};
  const uint32_t slots[1] = {slot};
  SearchResultList* list =
      FindEntriesByHeadword(engine, slots, 1, headword, nullptr, nullptr, kLanguageChinese, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/1, /*stopAtFirstHit=*/1, /*unique=*/0);
  if (!list) return 1;
  if (entry) *entry = static_cast<int32_t>(list->items[0].entry);
  FreeResultList(list);
  return 0;
}

}  // namespace

int FindEntryInFlaggedDicts(DictEngine* engine, WCHAR ch, uint16_t* slot, int32_t* entry) {
  uint16_t first = kNoDictSlot;
  for (uint16_t s = 0; engine && s < engine->slotCount; ++s) {
    if (!(GetDictFlags(engine, s) & kDictFlagCharDict)) continue;
    if (first == kNoDictSlot) first = s;
    int32_t found = -1;
    if (FindCharEntryInSlot(engine, s, ch, &found) == 0) {
      if (slot) *slot = s;
      if (entry) *entry = found;
      return 0;
    }
  }
  if (slot) *slot = first;
  if (entry) *entry = -1;
  return 0;
}

int CreateUserDict(DictEngine* engine, uint32_t language, const WCHAR* name) {
  return CreateUserDictFileNamed(engine, language, 65535, name);
}
