#include "engine/search_results.h"

#include <algorithm>
#include <cstring>

#include "engine/mem_handle.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kItemBytes = sizeof(SearchResultItem);
static_assert(kItemBytes == 8);
static_assert(sizeof(RowRange) == 8);

// Resizes a locked handle: unlocked for the resize and locked again into
// *data whatever the outcome. Returns the resize result.
int ResizeLocked(MemHandle* handle, uint32_t bytes, void** data) {
  UnlockMemHandle(handle);
  int rc = ResizeMemHandle(handle, bytes);
  *data = LockMemHandle(handle);
  return rc;
}

}  // namespace

SearchResultList* NewResultList(uint32_t n) {
  auto* list = static_cast<SearchResultList*>(LocalAlloc(LPTR, sizeof(SearchResultList)));
  if (!list) return nullptr;
  if (n > 0) {
    // Asking for more than the limit would only waste memory: no list grows past it.
    if (n >= kResultListLimit) n = kResultListLimit - 1;
    list->storage = NewMemHandle(n * kItemBytes);
    if (!list->storage) {
      LocalFree(list);
      return nullptr;
    }
    list->items = static_cast<SearchResultItem*>(LockMemHandle(list->storage));
    list->capacity = n;
  }
  return list;
}

int FreeResultList(SearchResultList* list) {
  if (!list) return 0;
  if (list->storage) {
    UnlockMemHandle(list->storage);
    FreeMemHandle(list->storage);
  }
  LocalFree(list);
  return 0;
}

int ClearResultList(SearchResultList* list) {
  if (list) list->count = 0;
  return 0;
}

SearchResultList* CopyResultList(const SearchResultList* list) {
  if (!list) return nullptr;
  SearchResultList* copy = NewResultList(list->storage ? list->capacity : 0);
  if (!copy) return nullptr;
  if (list->count > 0 && copy->items) std::memcpy(copy->items, list->items, list->count * kItemBytes);
  copy->count = list->count;
  copy->bestMatch = list->bestMatch;
  copy->language = list->language;
  copy->flags = list->flags;
  return copy;
}

uint32_t GetResultListCount(const SearchResultList* list) { return list ? list->count : 0; }

int32_t FindResultListItem(const SearchResultList* list, uint32_t first, uint32_t entry) {
  if (!list || !list->items) return -1;
  for (uint32_t i = 0; i < list->count; ++i) {
    if (list->items[i].first == first && list->items[i].entry == entry) return static_cast<int32_t>(i);
  }
  return -1;
}

int AddResultListItem(SearchResultList* list, uint32_t first, uint32_t entry) {
  if (!list) return 1;
  if (list->capacity == 0 || !list->storage) {
    MemHandle* storage = NewMemHandle(kResultListGrowItems * kItemBytes);
    if (!storage) return 1;
    if (list->storage) FreeMemHandle(list->storage);
    list->storage = storage;
    list->items = static_cast<SearchResultItem*>(LockMemHandle(storage));
    list->capacity = kResultListGrowItems;
    list->count = 0;
  } else if (list->count >= list->capacity) {
    uint32_t grown = list->capacity + kResultListGrowItems;
    if (grown >= kResultListLimit) return 1;
    void* data = nullptr;
    int rc = ResizeLocked(list->storage, grown * kItemBytes, &data);
    list->items = static_cast<SearchResultItem*>(data);
    if (rc != 0) return rc;
    list->capacity = grown;
  }
  list->items[list->count].first = first;
  list->items[list->count].entry = entry;
  ++list->count;
  return 0;
}

int ReserveResultListItems(SearchResultList* list, uint32_t n) {
  if (!list || !list->storage || list->capacity == 0 || n == 0) return 0;
  const uint64_t need = uint64_t{list->count} + n;
  if (need <= list->capacity) return 0;
  uint64_t steps = (need - list->capacity + kResultListGrowItems - 1) / kResultListGrowItems;
  // The last capacity that growing by 32 reaches below the limit.
  const uint64_t room = list->capacity < kResultListLimit ? kResultListLimit - 1 - list->capacity : 0;
  steps = std::min<uint64_t>(steps, room / kResultListGrowItems);
  if (steps == 0) return 0;
  const uint32_t grown = static_cast<uint32_t>(list->capacity + steps * kResultListGrowItems);
  void* data = nullptr;
  int rc = ResizeLocked(list->storage, grown * kItemBytes, &data);
  list->items = static_cast<SearchResultItem*>(data);
  if (rc != 0) return rc;
  list->capacity = grown;
  return 0;
}

int DropResultListTail(SearchResultList* list, uint32_t n) {
  if (!list) return 0;
  list->count = n >= list->count ? 0 : list->count - n;
  return 0;
}

int RemoveResultListRange(SearchResultList* list, uint32_t from, uint32_t to) {
  if (!list) return 1;
  uint32_t end = to < list->count ? to : list->count;
  if (from >= end) return 1;
  std::memmove(list->items + from, list->items + end, (list->count - end) * kItemBytes);
  list->count -= end - from;
  return 0;
}

int GetResultListItem(DictEngine* /*engine*/, const SearchResultList* list, uint32_t i, SearchResultItem* item) {
  if (!list || i >= list->count || !item) return 1;
  *item = list->items[i];
  return 0;
}

uint32_t GetResultListBestMatch(const SearchResultList* list) { return list ? list->bestMatch : 0; }

int GrowRangeList(RangeList* list) {
  if (!list) return 1;
  if (list->storage && list->count < list->capacity) return 0;
  if (!list->storage) {
    // Failure here is one of the reader's silent consistency checks: the
    // range is simply not added.
    MemHandle* storage = NewMemHandle(kRangeListGrowItems * sizeof(RowRange));
    if (!storage) return 1;
    list->storage = storage;
    list->ranges = static_cast<RowRange*>(LockMemHandle(storage));
    list->capacity = kRangeListGrowItems;
    if (list->count > list->capacity) list->count = 0;
    return 0;
  }
  uint64_t grown = uint64_t{list->capacity} + kRangeListGrowItems;
  if (grown * sizeof(RowRange) > UINT32_MAX) return 1;
  void* data = nullptr;
  int rc = ResizeLocked(list->storage, static_cast<uint32_t>(grown * sizeof(RowRange)), &data);
  list->ranges = static_cast<RowRange*>(data);
  if (rc != 0) return 1;
  list->capacity = static_cast<uint32_t>(grown);
  return 0;
}

int AddRangeListItem(RangeList* list, uint32_t first, uint32_t end) {
  if (GrowRangeList(list) != 0) return 1;
  list->ranges[list->count].first = first;
  list->ranges[list->count].end = end;
  ++list->count;
  return 0;
}

void FreeRangeList(RangeList* list) {
  if (!list) return;
  if (list->storage) {
    UnlockMemHandle(list->storage);
    FreeMemHandle(list->storage);
  }
  *list = RangeList{};
}
