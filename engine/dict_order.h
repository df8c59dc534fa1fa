// The user's order of the dictionaries: one list for Chinese headwords (list
// 0) and one for English headwords (list 1), with each dictionary's display
// options and the lookup session's saved place in it. Saved as the "Dicts"
// record: the 108-byte saved parts of list 0 and then of list 1, back to
// back. Dictionaries installed since the last save are appended, sorted
// among themselves.
//
// Saved part, little-endian: 0 creator, 4 dictionary id, 8 list language,
// 12 translation language, 16 saved position, 20 saved entry, 24 option
// bits, 28 icon text (4 units), 36 icon text colour, 40 icon fill colour,
// 44 name (32 units).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DbFile;
struct DictEngine;
struct MemHandle;
struct UserDictProgress;

inline constexpr uint32_t kDictOrderPartSize = 108;
inline constexpr uint16_t kOrderNoSlot = 65535;

// Option bits.
enum : uint32_t {
  kDictOptionMenu = 0x1,
  kDictOptionToolbar = 0x2,
  kDictOptionSearch = 0x4,
  kDictOptionReader = 0x8,
  kDictOptionFallback = 0x10,
  kDictOptionUserBits = 0x1F,
  kDictOptionClearedOnLoad = 0xF000,
};

struct DictOrderSaved {
  uint32_t creator;
  uint32_t dictId;
  uint32_t language;
  uint32_t transLanguage;
  int32_t savedPosition;
  int32_t savedEntry;
  uint32_t options;
  WCHAR iconText[4];
  uint32_t iconTextColor;
  uint32_t iconFillColor;
  WCHAR name[32];
};

void DecodeDictOrderSaved(const uint8_t* part, DictOrderSaved* saved);
void EncodeDictOrderSaved(const DictOrderSaved* saved, uint8_t* part);

struct DictOrderRecord {
  uint32_t slot;  // 65535: saved, not installed
  DictOrderSaved saved;
  DictEngine* engine;
  uint8_t has1100;
  uint8_t has1120;
  uint8_t has1130;
};

struct DictOrderList {
  uint16_t language;        // 4096 list 0, 0 list 1
  uint16_t secondLanguage;  // 65535
  DictOrderRecord* items;
  uint16_t count;
  uint16_t capacity;
};

// The caller's copy of one item.
struct DictListItemView {
  WCHAR name[32];
  WCHAR iconText[4];
  uint32_t iconTextColor;
  uint32_t iconFillColor;
  uint32_t options;  // bits 0-4
};

// Engine level.
// 1 when the engine has no slot, else 0. `blob` may be null.
int BuildDictOrderLists(DictEngine* engine, MemHandle* blob);
int CompareDictOrderRecords(const DictOrderRecord* a, const DictOrderRecord* b);
// The "Dicts" record, or null when the lists hold no item.
MemHandle* SaveDictOrderLists(DictEngine* engine);
// As SaveDictOrderLists, then frees the lists (list count 0).
MemHandle* FreeDictOrderLists(DictEngine* engine);
int RebuildDictOrderLists(DictEngine* engine);
// Opens readers over more data files (the DbFiles stay the caller's) and
// takes their dictionaries and resources in. 0.
int AddDictionaries(DictEngine* engine, DbFile* const* files, uint32_t count);
// The order record of a slot (its position in its list), or null.
DictOrderRecord* FindDictOrderRecord(DictEngine* engine, uint16_t slot);

// Item level (a list or item out of range gives the bracketed value).
uint16_t GetDictListCount(DictEngine* engine);
uint16_t GetDictListLanguage(DictEngine* engine, uint32_t list);  // [65534]
uint16_t GetDictListLength(DictEngine* engine, uint32_t list);    // [1]
int GetDictListItem(DictEngine* engine, uint32_t list, uint32_t item, DictListItemView* view);  // [1]
int SetDictListItem(DictEngine* engine, uint32_t list, uint32_t item, const DictListItemView* view);
int ResetDictListItem(DictEngine* engine, uint32_t list, uint32_t item);
int RemoveDictListPlaceholder(DictEngine* engine, uint32_t list, uint32_t item);
int MoveDictListItemDown(DictEngine* engine, uint32_t list, uint32_t item);
int IsDictListItemDict(DictEngine* engine, uint32_t list, uint32_t item);
int IsDictListItemOpen(DictEngine* engine, uint32_t list, uint32_t item);
// The user dictionary's state byte (0 for a built-in one) [1].
int GetDictListItemState(DictEngine* engine, uint32_t list, uint32_t item);
// An open user dictionary without its search index [0].
int IsDictListItemEditable(DictEngine* engine, uint32_t list, uint32_t item);
// Open user dictionaries only [1]: what 1 short name (also the item's name),
// 2 menu name, 3 name, 4 copyright; other values change nothing.
int SetDictListItemText(DictEngine* engine, uint32_t list, uint32_t item, int what, const WCHAR* text);
// The rest concern open user dictionaries only; anything else gives 1.
// The creator and id (FileCreator, FileID) of the item's dictionary into the
// caller's import or export record: 0.
int GetDictListItemIds(DictEngine* engine, uint32_t list, uint32_t item, uint32_t* creator, uint32_t* dictId);
// The same two numbers written into an export settings record (1096 bytes,
// little-endian), where the creator is at byte kExportRecordCreatorOffset
// and the id follows it; nothing else of the record changes. 0 [1, the record
// untouched; also for a null record].
constexpr uint32_t kExportRecordCreatorOffset = 56;
constexpr uint32_t kExportRecordBytes = 1096;
int GetDictListItemIds2(DictEngine* engine, uint32_t list, uint32_t item, uint8_t* exportRecord);
// The dictionary's last import (times and entry count), and its undo.
int GetDictListItemImportRange(DictEngine* engine, uint32_t list, uint32_t item, uint32_t* first, uint32_t* last,
                               uint32_t* count);
int UndoDictListItemImport(DictEngine* engine, uint32_t list, uint32_t item);
int SetDictListItemEditLock(DictEngine* engine, uint32_t list, uint32_t item, int on, UserDictProgress* progress);
int IndexDictListItem(DictEngine* engine, uint32_t list, uint32_t item, UserDictProgress* progress);
// what 1 short name, 2 menu name, 3 long name, 4 copyright, 5 creation time
// (user dictionaries), 6 entry count (n >= 20) [1, also when unavailable].
int GetDictListItemText(DictEngine* engine, uint32_t list, uint32_t item, int what, WCHAR* buf, uint32_t n);

// Dictionary selections.
struct DictIdPair {
  uint32_t creator;
  uint32_t dictId;  // 0xFFFFFFFF absent, 0xFFFFFFFE "not given"
};

struct DictSelection {
  DictEngine* engine;
  uint32_t language;
  DictIdPair* chosen;
  DictIdPair* others;
  int32_t chosenCount;
  int32_t otherCount;
};

DictSelection* NewDictSelection(DictEngine* engine, uint32_t language, const DictIdPair* pairs, uint32_t count);
DictIdPair* GetDictSelectionItems(DictSelection* selection, int others);
// op 0 up, 1 down (chosen), 2 other -> end of chosen, 3 chosen -> end of others.
void MoveDictSelectionItem(DictSelection* selection, int op, int32_t* index);
// The chosen array (LocalFree it) and its count; the selection is freed.
DictIdPair* FreeDictSelection(DictSelection* selection, int32_t* count);
int GetDictSelectionName(DictSelection* selection, int others, int32_t item, WCHAR* buf, uint32_t n);
