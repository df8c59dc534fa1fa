// The dictionary set: every open dictionary of the engine in one array of
// slots (built-in dictionaries from the dictionary tables of a data file,
// user dictionaries from SQLite databases), addressed by a 16-bit slot
// number (65535 = none) that stays fixed while the engine lives. Every
// per-dictionary question is answered here the same way for both kinds.
//
// Dictionary info header (the info area of a dictionary table's header,
// little-endian): 0 creator id, 4 dictionary id, 8 flags, 12 (secondary
// table) first field its records hold, 16 headword language, 20 translation
// language, 32 icon text (3 units, unterminated when 3 long), 38 second icon
// text, 44 icon fill colour, 48 icon text colour, 52 menu name (32 units),
// 116 short name (32 units), 316 field count n, 320 section level count m,
// 328 n field descriptors of 424 bytes, then m level descriptors of 32 bytes.
// A header whose counts do not fit its info area makes no slot.
//
// Entry bitmap (record 0 of the subtable list of a table of type 0x1100):
// bit c is set when the dictionary has an entry whose headword is exactly
// the one character c. Bits run from the most significant bit of each
// little-endian 32-bit word; word c / 32 holds bit c. The bitmap covers the
// BMP (8,192 bytes) or stops earlier (missing words read as 0).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DataFileDb;
struct DataTable;
struct DictEngine;
struct SqlDb;
struct SqlPropertyList;
struct TableCursor;

inline constexpr uint32_t kDictTableTypeFirst = 0x1000;
inline constexpr uint32_t kDictTableTypeLast = 0x1400;
inline constexpr uint32_t kDictTablesPerFile = 19;
inline constexpr uint32_t kDictEntryTableType = 0x1000;
inline constexpr uint32_t kDictSecondaryTableType = 0x1010;
inline constexpr uint32_t kDictEntryIdMapType = 0x1030;
inline constexpr uint32_t kDictCharVariantType = 0x1040;
inline constexpr uint32_t kDictPrefixIndexType = 0x1100;

inline constexpr uint32_t kDictInfoHeaderSize = 328;
inline constexpr uint32_t kDictFieldDescriptorSize = 424;
inline constexpr uint32_t kDictLevelDescriptorSize = 32;
inline constexpr uint32_t kDictNameUnits = 32;
inline constexpr uint32_t kDictIconUnits = 3;

// Dictionary flags.
enum : uint32_t {
  kDictFlagNoOrderList = 0x2,
  kDictFlagNeverSearched = 0x4,
  kDictFlagCharDict = 0x10,
  kDictFlagNoCards = 0x100,    // its entries never become flashcards
  kDictFlagLendsText = 0x200,  // a card takes its text, not a link to it
  kDictFlagSecondary = 0x10000,
  kDictFlagSortLast = 0x20000,
};

inline constexpr uint32_t kLanguageEnglish = 0;
inline constexpr uint32_t kLanguageChinese = 4096;

enum : uint8_t { kDictKindBuiltIn = 0, kDictKindUser = 1 };

struct DictSlot {
  uint8_t kind;
  // Built-in dictionaries.
  TableCursor** cursors;  // one per accepted table
  uint32_t* tableTypes;
  uint32_t cursorCount;
  const uint8_t* header;  // info area of the primary table (the reader's)
  uint32_t headerSize;
  const uint8_t* secondaryHeader;  // or null
  uint32_t secondaryHeaderSize;
  TableCursor* primary;    // first table of type 0x1000
  TableCursor* secondary;  // first table of type 0x1010, with flag 0x10000
  // User dictionaries (filled by the user-dictionary opener).
  SqlDb* db;
  SqlPropertyList* properties;
  int32_t entryCount;
  uint8_t indexed;
  uint32_t editLock;
  uint8_t lineIndex;
  int32_t cachedLine;
  int32_t cachedUid;
  uint32_t noSortKey;
  uint32_t sortMethod;
  uint8_t importing;
  int32_t importId;
  uint32_t fileCreated;
};

// Lasting reference to one entry: a built-in entry's key or a user uid.
struct DictEntryRef {
  uint32_t creator;
  uint32_t dictId;
  uint32_t entry;
};

// Building and freeing. Slots beyond 64 are not made.
void BuildDictSlots(DictEngine* engine, DataFileDb* const* readers, uint32_t readerCount, SqlDb* const* userDbs,
                    uint32_t userDbCount);
// 0, or 1 when no slot was made (no usable entry table, a header that does
// not fit its info area, or the slot array is full).
int AddDataFileSlot(DictEngine* engine, DataTable* const* tables, uint32_t count);
// 0, or 1 when the slot array is full (the slot stays the caller's).
int AddDictSlot(DictEngine* engine, DictSlot* slot);
void FreeDictSlots(DictEngine* engine);
void FreeDictSlot(DictSlot* slot);

// Queries. A slot at or past the count gives the neutral value (0, -1,
// 65535, an empty text or result 1).
uint16_t GetDictCount(DictEngine* engine);
uint8_t GetDictKind(DictEngine* engine, uint16_t slot);
uint32_t GetDictCreator(DictEngine* engine, uint16_t slot);
int32_t GetDictId(DictEngine* engine, uint16_t slot);
uint32_t GetDictLanguage(DictEngine* engine, uint16_t slot);       // 65535 unknown
uint32_t GetDictTransLanguage(DictEngine* engine, uint16_t slot);  // 65535 unknown
uint32_t GetDictFlags(DictEngine* engine, uint16_t slot);
uint32_t GetDictEntryCount(DictEngine* engine, uint16_t slot);
int DictHasEntries(DictEngine* engine, uint16_t slot);
// Names: at most n - 1 units and a terminator (n = 0 writes nothing);
// 1 when the name is unavailable (the buffer is then empty).
int GetDictName(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n, int menu);
int GetDictShortName(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n);
int GetDictMenuName(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n);
// Icon text: up to 3 units and, when there is room, a terminator; callers
// pass 4-unit buffers. 1 when unavailable (empty buffer).
inline constexpr uint32_t kDictIconBufferUnits = 4;
int GetDictIconText(DictEngine* engine, uint16_t slot, WCHAR* buf, uint32_t n);
uint32_t GetDictIconColor(DictEngine* engine, uint16_t slot);
uint32_t GetDictFieldCount(DictEngine* engine, uint16_t slot);
// 424 bytes of field `field`, or null (a user dictionary or no such field).
const uint8_t* GetDictFieldDescriptor(DictEngine* engine, uint16_t slot, uint32_t field);
int GetDictFieldInfo(DictEngine* engine, uint16_t slot, uint32_t field, uint32_t* level, WCHAR* name, uint32_t n,
                     WCHAR* name2, uint32_t n2);
int DictHasTable1100(DictEngine* engine, uint16_t slot);
int DictHasTable1120(DictEngine* engine, uint16_t slot);
int DictHasTable1130(DictEngine* engine, uint16_t slot);
// The first cursor of the slot over a table of that type, or null.
TableCursor* FindDictTableCursor(DictEngine* engine, uint16_t slot, uint32_t type);
// Bit `entry` of the entry bitmap (see the top of this file); 0 when the
// table, the record or the word is missing.
int TestDictEntryBit(DictEngine* engine, uint16_t slot, uint32_t entry);
// 1 when some dictionary without flag 0x10 has an entry whose headword is
// exactly ch (by its entry bitmap): the filter of the radical list.
int DictSetHasCharEntry(DictEngine* engine, WCHAR ch);

// Entry numbering.
int64_t GetDictEntryKey(DictEngine* engine, uint16_t slot, uint32_t row);
int32_t MapDictEntryId(DictEngine* engine, uint16_t slot, int32_t id);
int32_t GetDictEntryAtPosition(DictEngine* engine, uint16_t slot, int32_t position);
int32_t GetDictPositionOfEntry(DictEngine* engine, uint16_t slot, int32_t entry);
int64_t FollowIndexLevels(TableCursor* cursor, uint32_t row, int16_t top, int16_t bottom);
WCHAR MapCharVariant(DictEngine* engine, uint16_t slot, WCHAR ch);

// Look-ups across the set.
uint16_t FindDictSlot(DictEngine* engine, uint32_t creator, uint32_t id);
int HasDictEntry(DictEngine* engine, uint32_t creator, uint32_t id, int32_t entry);
int FindEntryInFlaggedDicts(DictEngine* engine, WCHAR ch, uint16_t* slot, int32_t* entry);
int CreateUserDict(DictEngine* engine, uint32_t language, const WCHAR* name);
