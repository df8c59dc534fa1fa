// Search result lists: what every search hands back, a growable array of
// (dictionary slot, entry id) items with the words that describe the search
// that filled it. Beside it the RangeList, the list of row ranges that the
// index search narrows level by level.
#pragma once

#include <cstdint>

struct DictEngine;
struct MemHandle;

// Low 12 bits of an item's first word: the dictionary slot. The search uses
// the other bits while it ranks; they are 0 in a returned list.
inline constexpr uint32_t kResultSlotMask = 0xFFF;
// A list stops growing before its capacity would reach this many items.
inline constexpr uint32_t kResultListLimit = 1000000;
inline constexpr uint32_t kResultListGrowItems = 32;

// Result flags.
enum : uint32_t {
  kResultFullText = 0x1,
  kResultLanguageUnsearchable = 0x2,  // with 0x1: a headword language had no searchable dictionary
  kResultNoTones = 0x4,               // the query's syllables carried no tones
  kResultSearchWork1 = 0x8,           // used while a search runs
  kResultSearchWork2 = 0x10,
};

struct SearchResultItem {
  uint32_t first;  // slot in the low 12 bits
  uint32_t entry;  // entry number of a built-in dictionary, uid of a user dictionary
};

struct SearchResultList {
  MemHandle* storage;       // none until the first item when made with room for 0
  SearchResultItem* items;  // the locked data of the storage
  uint32_t count;
  uint32_t capacity;
  uint32_t bestMatch;  // how many query characters the kept results matched
  uint32_t language;   // 4096 Chinese-headword results, 0 English
  uint32_t flags;
};

// A cleared list; with n > 0 its storage for n items is made and locked.
// Null when the heap is exhausted.
SearchResultList* NewResultList(uint32_t n);
int FreeResultList(SearchResultList* list);   // null is ignored; 0
int ClearResultList(SearchResultList* list);  // count = 0, storage kept; 0
// New storage of the same capacity with the items in use and every word
// copied; null when the heap is exhausted.
SearchResultList* CopyResultList(const SearchResultList* list);
uint32_t GetResultListCount(const SearchResultList* list);  // 0 for none
// The first item with both words equal; -1 when none (or no list).
int32_t FindResultListItem(const SearchResultList* list, uint32_t first, uint32_t entry);
// 0 appended; 1 when the list is at its limit (nothing added); otherwise the
// storage layer's code of a failed resize (the list keeps its old items).
int AddResultListItem(SearchResultList* list, uint32_t first, uint32_t entry);
// Room for n more items made in one step, to the capacity that adding them
// one by one would grow the list to (steps of 32 from its capacity, never
// to the limit), so that a search about to add many items does not move
// the storage at every 32nd. 0 when done; nothing changes when the storage
// cannot grow (the adds then fail where they would have).
int ReserveResultListItems(SearchResultList* list, uint32_t n);
// Removes the last n items (all when n is not below the count); 0.
int DropResultListTail(SearchResultList* list, uint32_t n);
// Removes the items from `from` up to min(to, count), later items moving
// down; 1 when that range is empty (nothing removed).
int RemoveResultListRange(SearchResultList* list, uint32_t from, uint32_t to);
// Copies item i; 1 (output untouched) when there is no list or no item i.
int GetResultListItem(DictEngine* engine, const SearchResultList* list, uint32_t i, SearchResultItem* item);
uint32_t GetResultListBestMatch(const SearchResultList* list);

// One row range of an index: rows first up to end, end excluded.
struct RowRange {
  uint32_t first;
  uint32_t end;
};

// Cleared by its user. Counts are 32-bit: a level of an index can hold more
// ranges than 16 bits count.
struct RangeList {
  uint32_t count;
  uint32_t capacity;
  MemHandle* storage;
  RowRange* ranges;  // the locked storage
};

inline constexpr uint32_t kRangeListGrowItems = 8;

// Makes room for one more range (the caller writes ranges[count] and adds 1
// to count): 0, or 1 when the storage cannot be made or grown (the list
// stays as it was).
int GrowRangeList(RangeList* list);
// Appends one range, growing the list: 0 or 1 as GrowRangeList.
int AddRangeListItem(RangeList* list, uint32_t first, uint32_t end);
// Frees the storage and clears the list.
void FreeRangeList(RangeList* list);
