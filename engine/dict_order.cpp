#include "engine/dict_order.h"

#include <algorithm>
#include <cstring>

#include "engine/code_pages.h"
#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/string_utils.h"
#include "engine/table_cursor.h"
#include "engine/user_dict.h"
#include "engine/user_dict_import.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kDefaultIconTextColor = 0xFFFFFF;

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

DictOrderList* ListAt(DictEngine* engine, uint32_t list) {
  if (!engine || list >= engine->orderListCount || list >= 2) return nullptr;
  return engine->orderLists[list];
}

DictOrderRecord* ItemAt(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderList* l = ListAt(engine, list);
  if (!l || item >= l->count) return nullptr;
  return &l->items[item];
}

int ListIndexOfLanguage(uint32_t language) {
  if (language == kLanguageChinese) return 0;
  if (language == kLanguageEnglish) return 1;
  return -1;
}

void FreeList(DictOrderList* list) {
  if (!list) return;
  if (list->items) LocalFree(list->items);
  LocalFree(list);
}

// The saved part a newly seen dictionary starts with.
void FillDictOrderRecord(DictEngine* engine, uint16_t slot, DictOrderSaved* saved) {
  std::memset(saved, 0, sizeof *saved);
  saved->creator = GetDictCreator(engine, slot);
  saved->dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  saved->language = GetDictLanguage(engine, slot);
  saved->transLanguage = GetDictTransLanguage(engine, slot);
  saved->savedPosition = -1;
  saved->savedEntry = -1;
  uint32_t options = kDictOptionMenu | kDictOptionSearch;
  DictSlot* s = engine->slots[slot];
  if (!(s->kind == kDictKindUser && !s->indexed)) options |= kDictOptionReader;
  options |= (GetDictFlags(engine, slot) & kDictFlagCharDict) ? kDictOptionFallback : kDictOptionToolbar;
  saved->options = options;
  GetDictIconText(engine, slot, saved->iconText, kDictIconBufferUnits);
  saved->iconTextColor = kDefaultIconTextColor;
  saved->iconFillColor = GetDictIconColor(engine, slot);
  GetDictMenuName(engine, slot, saved->name, 32);
}

void SetTableMarks(DictOrderRecord* r) {
  if (r->slot == kOrderNoSlot) return;
  auto slot = static_cast<uint16_t>(r->slot);
  r->has1100 = static_cast<uint8_t>(DictHasTable1100(r->engine, slot));
  r->has1120 = static_cast<uint8_t>(DictHasTable1120(r->engine, slot));
  r->has1130 = static_cast<uint8_t>(DictHasTable1130(r->engine, slot));
}

bool IsOpenUserItem(const DictOrderRecord* r) {
  if (!r || r->slot == kOrderNoSlot) return false;
  DictEngine* engine = r->engine;
  if (r->slot >= engine->slotCount) return false;
  const DictSlot* s = engine->slots[r->slot];
  return s->kind == kDictKindUser && s->db;
}

void CopyUnits(WCHAR* dst, const WCHAR* src, uint32_t units) {
  for (uint32_t i = 0; i < units; ++i) dst[i] = src[i];
}

}  // namespace

void DecodeDictOrderSaved(const uint8_t* p, DictOrderSaved* s) {
  s->creator = LoadLe32(p);
  s->dictId = LoadLe32(p + 4);
  s->language = LoadLe32(p + 8);
  s->transLanguage = LoadLe32(p + 12);
  s->savedPosition = static_cast<int32_t>(LoadLe32(p + 16));
  s->savedEntry = static_cast<int32_t>(LoadLe32(p + 20));
  s->options = LoadLe32(p + 24);
  for (int i = 0; i < 4; ++i) s->iconText[i] = LoadLe16(p + 28 + 2 * i);
  s->iconTextColor = LoadLe32(p + 36);
  s->iconFillColor = LoadLe32(p + 40);
  for (int i = 0; i < 32; ++i) s->name[i] = LoadLe16(p + 44 + 2 * i);
  // A record from elsewhere may fill both texts; they are read as texts.
  s->iconText[3] = 0;
  s->name[31] = 0;
}

void EncodeDictOrderSaved(const DictOrderSaved* s, uint8_t* p) {
  PutLe32(p, s->creator);
  PutLe32(p + 4, s->dictId);
  PutLe32(p + 8, s->language);
  PutLe32(p + 12, s->transLanguage);
  PutLe32(p + 16, static_cast<uint32_t>(s->savedPosition));
  PutLe32(p + 20, static_cast<uint32_t>(s->savedEntry));
  PutLe32(p + 24, s->options);
  for (int i = 0; i < 4; ++i) PutLe16(p + 28 + 2 * i, s->iconText[i]);
  PutLe32(p + 36, s->iconTextColor);
  PutLe32(p + 40, s->iconFillColor);
  for (int i = 0; i < 32; ++i) PutLe16(p + 44 + 2 * i, s->name[i]);
}

int CompareDictOrderRecords(const DictOrderRecord* a, const DictOrderRecord* b) {
  if (a->slot == kOrderNoSlot || b->slot == kOrderNoSlot) return 0;
  DictEngine* engine = a->engine;
  auto sa = static_cast<uint16_t>(a->slot);
  auto sb = static_cast<uint16_t>(b->slot);
  uint32_t fa = GetDictFlags(engine, sa);
  uint32_t fb = GetDictFlags(engine, sb);
  if ((fa ^ fb) & kDictFlagCharDict) return (fa & kDictFlagCharDict) ? 1 : -1;
  bool mixedA = GetDictLanguage(engine, sa) != GetDictTransLanguage(engine, sa);
  bool mixedB = GetDictLanguage(engine, sb) != GetDictTransLanguage(engine, sb);
  if (mixedA != mixedB) return mixedA ? -1 : 1;
  if ((fa ^ fb) & kDictFlagSortLast) return (fa & kDictFlagSortLast) ? 1 : -1;
  int64_t d = int64_t{GetDictEntryCount(engine, sb)} - int64_t{GetDictEntryCount(engine, sa)};
  return d < 0 ? -1 : d > 0 ? 1 : 0;
}

int BuildDictOrderLists(DictEngine* engine, MemHandle* blob) {
  if (!engine) return 1;
  if (engine->orderListCount) FreeMemHandle(FreeDictOrderLists(engine));  // never two sets
  DictOrderList* lists[2];
  for (int i = 0; i < 2; ++i) {
    lists[i] = static_cast<DictOrderList*>(LocalAlloc(LPTR, sizeof(DictOrderList)));
    if (!lists[i]) {
      FreeList(lists[0]);
      return 1;
    }
    lists[i]->language = i == 0 ? kLanguageChinese : kLanguageEnglish;
    lists[i]->secondLanguage = 65535;
  }

  // The saved records, each waiting for its installed dictionary.
  uint32_t savedCount = 0;
  DictOrderRecord* saved = nullptr;
  if (blob && GetMemHandleSize(blob) >= kDictOrderPartSize) {
    savedCount = GetMemHandleSize(blob) / kDictOrderPartSize;
    saved = static_cast<DictOrderRecord*>(LocalAlloc(LPTR, size_t{savedCount} * sizeof(DictOrderRecord)));
    if (saved) {
      auto* data = static_cast<const uint8_t*>(LockMemHandle(blob));
      for (uint32_t i = 0; i < savedCount; ++i) {
        saved[i].slot = kOrderNoSlot;
        saved[i].engine = engine;
        DecodeDictOrderSaved(data + size_t{i} * kDictOrderPartSize, &saved[i].saved);
        saved[i].saved.options &= ~kDictOptionClearedOnLoad;
      }
      UnlockMemHandle(blob);
    } else {
      savedCount = 0;
    }
  }

  uint16_t newSlots[kMaxDictSlots];
  uint32_t newCount = 0;
  uint32_t capacity[2] = {0, 0};
  for (uint16_t s = 0; s < engine->slotCount; ++s) {
    if (GetDictFlags(engine, s) & kDictFlagNoOrderList) continue;
    uint32_t creator = GetDictCreator(engine, s);
    auto id = static_cast<uint32_t>(GetDictId(engine, s));
    DictOrderRecord* match = nullptr;
    // A saved record of no list's language claims nothing: the dictionary
    // is taken as new rather than vanishing from both lists.
    for (uint32_t i = 0; i < savedCount && !match; ++i)
      if (saved[i].saved.creator == creator && saved[i].saved.dictId == id &&
          ListIndexOfLanguage(saved[i].saved.language) >= 0)
        match = &saved[i];
    if (match) {
      if (match->slot == kOrderNoSlot) {
        match->slot = s;
        int l = ListIndexOfLanguage(match->saved.language);
        if (l >= 0) ++capacity[l];
      }
      continue;
    }
    int l = ListIndexOfLanguage(GetDictLanguage(engine, s));
    if (l < 0) continue;
    ++capacity[l];
    newSlots[newCount++] = s;
  }

  for (int l = 0; l < 2; ++l) {
    if (capacity[l] == 0) continue;
    lists[l]->items = static_cast<DictOrderRecord*>(LocalAlloc(LPTR, capacity[l] * sizeof(DictOrderRecord)));
    if (lists[l]->items) lists[l]->capacity = static_cast<uint16_t>(capacity[l]);
  }

  // Saved order first; a saved record whose dictionary is gone, a second
  // record of one dictionary and one of another language are dropped.
  for (uint32_t i = 0; i < savedCount; ++i) {
    if (saved[i].slot == kOrderNoSlot) continue;
    int l = ListIndexOfLanguage(saved[i].saved.language);
    if (l < 0 || lists[l]->count >= lists[l]->capacity) continue;
    lists[l]->items[lists[l]->count++] = saved[i];
  }
  if (saved) LocalFree(saved);

  uint16_t firstNew[2] = {lists[0]->count, lists[1]->count};
  for (uint32_t k = 0; k < newCount; ++k) {
    uint16_t s = newSlots[k];
    int l = ListIndexOfLanguage(GetDictLanguage(engine, s));
    if (lists[l]->count >= lists[l]->capacity) continue;
    DictOrderRecord& r = lists[l]->items[lists[l]->count++];
    r.slot = s;
    r.engine = engine;
    FillDictOrderRecord(engine, s, &r.saved);
  }
  for (int l = 0; l < 2; ++l) {
    DictOrderRecord* begin = lists[l]->items + firstNew[l];
    DictOrderRecord* end = lists[l]->items + lists[l]->count;
    if (end - begin > 1)
      std::stable_sort(begin, end, [](const DictOrderRecord& a, const DictOrderRecord& b) {
        return CompareDictOrderRecords(&a, &b) < 0;
      });
    for (uint16_t i = 0; i < lists[l]->count; ++i) SetTableMarks(&lists[l]->items[i]);
  }

  engine->orderLists[0] = lists[0];
  engine->orderLists[1] = lists[1];
  engine->orderListCount = 2;
  return engine->slotCount == 0 ? 1 : 0;
}

MemHandle* SaveDictOrderLists(DictEngine* engine) {
  if (!engine || engine->orderListCount < 2) return nullptr;
  uint32_t total = uint32_t{engine->orderLists[0]->count} + engine->orderLists[1]->count;
  if (total == 0) return nullptr;
  MemHandle* blob = NewMemHandle(total * kDictOrderPartSize);
  if (!blob) return nullptr;
  auto* p = static_cast<uint8_t*>(LockMemHandle(blob));
  for (int l = 0; l < 2; ++l) {
    const DictOrderList* list = engine->orderLists[l];
    for (uint16_t i = 0; i < list->count; ++i, p += kDictOrderPartSize) EncodeDictOrderSaved(&list->items[i].saved, p);
  }
  UnlockMemHandle(blob);
  return blob;
}

MemHandle* FreeDictOrderLists(DictEngine* engine) {
  if (!engine) return nullptr;
  MemHandle* blob = SaveDictOrderLists(engine);
  for (int l = 0; l < 2; ++l) {
    FreeList(engine->orderLists[l]);
    engine->orderLists[l] = nullptr;
  }
  engine->orderListCount = 0;
  return blob;
}

int RebuildDictOrderLists(DictEngine* engine) {
  MemHandle* blob = FreeDictOrderLists(engine);
  BuildDictOrderLists(engine, blob);
  FreeMemHandle(blob);
  return 0;
}

int AddDictionaries(DictEngine* engine, DbFile* const* files, uint32_t count) {
  if (!engine) return 0;
  uint16_t first = engine->readerCount;
  for (uint32_t i = 0; i < count && engine->readerCount < kMaxEngineReaders; ++i) {
    if (!files[i]) continue;
    DataFileDb* db = OpenDataFileDb(files[i], engine->cache);
    if (db) engine->readers[engine->readerCount++] = db;
  }
  if (engine->readerCount == first) return 0;
  uint16_t slotsBefore = engine->slotCount;
  BuildDictSlots(engine, engine->readers + first, engine->readerCount - first, nullptr, 0);
  if (engine->slotCount > slotsBefore) RebuildDictOrderLists(engine);
  // Rebuilt over every reader; callers fetch anything handed out before again.
  FreeCodePages(engine);
  LoadCodePages(engine, engine->readers, engine->readerCount);
  ReloadEngineResources(engine);
  return 0;
}

DictOrderRecord* FindDictOrderRecord(DictEngine* engine, uint16_t slot) {
  for (uint32_t l = 0; engine && l < engine->orderListCount; ++l) {
    DictOrderList* list = engine->orderLists[l];
    for (uint16_t i = 0; i < list->count; ++i)
      if (list->items[i].slot == slot) return &list->items[i];
  }
  return nullptr;
}

uint16_t GetDictListCount(DictEngine* engine) { return engine ? engine->orderListCount : 0; }

uint16_t GetDictListLanguage(DictEngine* engine, uint32_t list) {
  DictOrderList* l = ListAt(engine, list);
  return l ? l->language : 65534;
}

uint16_t GetDictListLength(DictEngine* engine, uint32_t list) {
  DictOrderList* l = ListAt(engine, list);
  return l ? l->count : 1;
}

int GetDictListItem(DictEngine* engine, uint32_t list, uint32_t item, DictListItemView* view) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!r || !view) return 1;
  std::memset(view, 0, sizeof *view);
  CopyUnits(view->name, r->saved.name, 31);
  view->name[31] = 0;
  CopyUnits(view->iconText, r->saved.iconText, 3);
  view->iconText[3] = 0;
  view->iconTextColor = r->saved.iconTextColor;
  view->iconFillColor = r->saved.iconFillColor;
  view->options = r->saved.options & kDictOptionUserBits;
  return 0;
}

int SetDictListItem(DictEngine* engine, uint32_t list, uint32_t item, const DictListItemView* view) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!r || !view) return 1;
  for (int i = 0; i < 3; ++i) {
    WCHAR c = view->iconText[i];
    r->saved.iconText[i] = (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c;
  }
  r->saved.iconText[3] = 0;
  r->saved.iconTextColor = view->iconTextColor;
  r->saved.iconFillColor = view->iconFillColor;
  r->saved.options = (r->saved.options & ~kDictOptionUserBits) | (view->options & kDictOptionUserBits);
  if (IsOpenUserItem(r)) {
    WCHAR text[4];
    CopyUnits(text, r->saved.iconText, 4);
    SetUserDictIcon(engine, static_cast<uint16_t>(r->slot), text, view->iconTextColor, view->iconFillColor);
  }
  return 0;
}

int ResetDictListItem(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!r || r->slot == kOrderNoSlot || r->slot >= engine->slotCount) return 1;
  auto slot = static_cast<uint16_t>(r->slot);
  if (IsOpenUserItem(r)) SetUserDictIcon(engine, slot, nullptr, 0, 0);
  DictOrderSaved defaults;
  FillDictOrderRecord(engine, slot, &defaults);
  r->saved.options = defaults.options;
  CopyUnits(r->saved.iconText, defaults.iconText, 4);
  r->saved.iconFillColor = defaults.iconFillColor;
  r->saved.iconTextColor = defaults.iconTextColor;
  return 0;
}

int RemoveDictListPlaceholder(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!r || r->slot != kOrderNoSlot) return 1;
  DictOrderList* l = engine->orderLists[list];
  std::memmove(r, r + 1, (l->count - item - 1) * sizeof(DictOrderRecord));
  --l->count;
  return 0;
}

int MoveDictListItemDown(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderList* l = ListAt(engine, list);
  if (!l || item + 1 >= l->count) return 1;
  std::swap(l->items[item], l->items[item + 1]);
  return 0;
}

int IsDictListItemDict(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  return r && r->slot != kOrderNoSlot ? 1 : 0;
}

int IsDictListItemOpen(DictEngine* engine, uint32_t list, uint32_t item) {
  return IsOpenUserItem(ItemAt(engine, list, item)) ? 1 : 0;
}

int GetDictListItemState(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!r || r->slot == kOrderNoSlot || r->slot >= engine->slotCount) return 1;
  const DictSlot* s = engine->slots[r->slot];
  return s->kind == kDictKindUser ? static_cast<int>(s->editLock & 0xFF) : 0;
}

int IsDictListItemEditable(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  return IsOpenUserItem(r) && !r->engine->slots[r->slot]->indexed ? 1 : 0;
}

int SetDictListItemText(DictEngine* engine, uint32_t list, uint32_t item, int what, const WCHAR* text) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!IsOpenUserItem(r)) return 1;
  auto slot = static_cast<uint16_t>(r->slot);
  if (what < 1 || what > 4) return 0;
  // The user-dictionary texts are numbered from 0 (short name, menu name,
  // name, copyright).
  if (SetUserDictText(engine, slot, what - 1, text) != 0) return 0;
  if (what == 1) {
    WideStrCopyN(r->saved.name, text ? text : u"", 32);
  }
  return 0;
}

int GetDictListItemIds(DictEngine* engine, uint32_t list, uint32_t item, uint32_t* creator, uint32_t* dictId) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!IsOpenUserItem(r)) return 1;
  auto slot = static_cast<uint16_t>(r->slot);
  if (creator) *creator = GetDictCreator(engine, slot);
  if (dictId) *dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  return 0;
}

int GetDictListItemIds2(DictEngine* engine, uint32_t list, uint32_t item, uint8_t* exportRecord) {
  uint32_t ids[2];
  if (!exportRecord || GetDictListItemIds(engine, list, item, &ids[0], &ids[1]) != 0) return 1;
  // Byte by byte: the record is little-endian whatever the host, and the
  // caller's buffer need not be aligned.
  uint8_t* out = exportRecord + kExportRecordCreatorOffset;
  for (uint32_t v : ids)
    for (int i = 0; i < 4; ++i) *out++ = static_cast<uint8_t>(v >> (8 * i));
  return 0;
}

int GetDictListItemImportRange(DictEngine* engine, uint32_t list, uint32_t item, uint32_t* first, uint32_t* last,
                               uint32_t* count) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!IsOpenUserItem(r)) return 1;
  return GetLastUserDictImport(engine, static_cast<uint16_t>(r->slot), first, last, count);
}

int UndoDictListItemImport(DictEngine* engine, uint32_t list, uint32_t item) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!IsOpenUserItem(r)) return 1;
  return UndoLastUserDictImport(engine, static_cast<uint16_t>(r->slot));
}

int SetDictListItemEditLock(DictEngine* engine, uint32_t list, uint32_t item, int on, UserDictProgress* progress) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!IsOpenUserItem(r)) return 1;
  return SetUserDictEditLock(engine, static_cast<uint16_t>(r->slot), on, progress);
}

int IndexDictListItem(DictEngine* engine, uint32_t list, uint32_t item, UserDictProgress* progress) {
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!IsOpenUserItem(r)) return 1;
  return BuildUserDictSearchIndex(engine, static_cast<uint16_t>(r->slot), progress);
}

int GetDictListItemText(DictEngine* engine, uint32_t list, uint32_t item, int what, WCHAR* buf, uint32_t n) {
  if (!buf || n == 0) return 1;
  buf[0] = 0;
  DictOrderRecord* r = ItemAt(engine, list, item);
  if (!r || r->slot == kOrderNoSlot || r->slot >= engine->slotCount) return 1;
  auto slot = static_cast<uint16_t>(r->slot);
  DictSlot* s = engine->slots[slot];
  bool user = s->kind == kDictKindUser;
  switch (what) {
    case 1:
      return GetDictShortName(engine, slot, buf, n);
    case 2:
      return GetDictMenuName(engine, slot, buf, n);
    case 3:
    case 4: {
      if (user) return GetUserDictTextByName(s, what == 3 ? "DictName" : "DictCopyright", buf, n);
      WCHAR* text = nullptr;
      if (what == 3) {
        GetCursorDataFileTexts(s->primary, nullptr, &text, nullptr);
      } else {
        GetCursorDataFileTexts(s->primary, nullptr, nullptr, &text);
      }
      if (!text) return 1;
      WideStrCopyN(buf, text, n);
      LocalFree(text);
      return 0;
    }
    case 5: {
      if (!user) return 1;
      WCHAR text[kSecondsTextSize];
      FormatSecondsAsText(s->fileCreated, text, true, true);
      WideStrCopyN(buf, text, n);
      return 0;
    }
    case 6: {
      if (n < 20) return 1;
      WideFromInt(buf, static_cast<int32_t>(GetDictEntryCount(engine, slot)));
      return 0;
    }
    default:
      return 1;
  }
}

DictSelection* NewDictSelection(DictEngine* engine, uint32_t language, const DictIdPair* pairs, uint32_t count) {
  auto* sel = static_cast<DictSelection*>(LocalAlloc(LPTR, sizeof(DictSelection)));
  if (!sel) return nullptr;
  sel->engine = engine;
  sel->language = language;
  DictOrderList* list = nullptr;
  for (uint32_t l = 0; engine && l < engine->orderListCount; ++l)
    if (engine->orderLists[l]->language == language) list = engine->orderLists[l];
  uint32_t size = list ? list->count : 0;
  size_t room = (size ? size : 1) * sizeof(DictIdPair);
  sel->chosen = static_cast<DictIdPair*>(LocalAlloc(LPTR, room));
  sel->others = static_cast<DictIdPair*>(LocalAlloc(LPTR, room));
  auto* taken = static_cast<uint8_t*>(LocalAlloc(LPTR, size ? size : 1));
  if (!sel->chosen || !sel->others || !taken) {
    if (taken) LocalFree(taken);
    int32_t ignored;
    LocalFree(FreeDictSelection(sel, &ignored));
    return nullptr;
  }

  auto valid = [&](const DictIdPair& p) {
    if (p.dictId == 0xFFFFFFFEu || p.dictId == 0xFFFFFFFFu) return false;
    uint16_t slot = FindDictSlot(engine, p.creator, p.dictId);
    if (slot == kNoDictSlot) return false;
    return language == 65535 || GetDictLanguage(engine, slot) == language;
  };
  uint32_t validCount = 0;
  for (uint32_t i = 0; pairs && i < count; ++i)
    if (valid(pairs[i])) ++validCount;

  if (validCount == 0) {
    for (uint32_t i = 0; i < size; ++i) {
      sel->chosen[sel->chosenCount++] = {list->items[i].saved.creator, list->items[i].saved.dictId};
      taken[i] = 1;
    }
  } else {
    for (uint32_t k = 0; k < count; ++k) {
      if (!valid(pairs[k])) continue;
      // Each list item is chosen at most once, however often it is named.
      for (uint32_t i = 0; i < size; ++i) {
        const DictOrderSaved& s = list->items[i].saved;
        if (taken[i] || s.creator != pairs[k].creator || s.dictId != pairs[k].dictId) continue;
        sel->chosen[sel->chosenCount++] = {s.creator, s.dictId};
        taken[i] = 1;
        break;
      }
    }
  }
  for (uint32_t i = 0; i < size; ++i)
    if (!taken[i]) sel->others[sel->otherCount++] = {list->items[i].saved.creator, list->items[i].saved.dictId};
  LocalFree(taken);
  return sel;
}

DictIdPair* GetDictSelectionItems(DictSelection* selection, int others) {
  if (!selection) return nullptr;
  return others ? selection->others : selection->chosen;
}

void MoveDictSelectionItem(DictSelection* sel, int op, int32_t* index) {
  if (!sel || !index || op < 0) return;
  int32_t i = *index;
  switch (op) {
    case 0:
      if (i >= 1 && i < sel->chosenCount) {
        std::swap(sel->chosen[i], sel->chosen[i - 1]);
        --*index;
      }
      break;
    case 1:
      if (i >= 0 && i + 1 < sel->chosenCount) {
        std::swap(sel->chosen[i], sel->chosen[i + 1]);
        ++*index;
      }
      break;
    case 2:
    case 3: {
      DictIdPair* from = op == 2 ? sel->others : sel->chosen;
      int32_t& fromCount = op == 2 ? sel->otherCount : sel->chosenCount;
      DictIdPair* to = op == 2 ? sel->chosen : sel->others;
      int32_t& toCount = op == 2 ? sel->chosenCount : sel->otherCount;
      if (i < 0 || i >= fromCount) break;
      DictIdPair moved = from[i];
      std::memmove(from + i, from + i + 1, size_t(fromCount - i - 1) * sizeof(DictIdPair));
      --fromCount;
      to[toCount++] = moved;
      if (*index >= fromCount) --*index;
      break;
    }
    default:
      break;
  }
}

DictIdPair* FreeDictSelection(DictSelection* selection, int32_t* count) {
  if (count) *count = 0;
  if (!selection) return nullptr;
  DictIdPair* chosen = selection->chosen;
  if (count) *count = selection->chosenCount;
  if (selection->others) LocalFree(selection->others);
  LocalFree(selection);
  return chosen;
}

int GetDictSelectionName(DictSelection* selection, int others, int32_t item, WCHAR* buf, uint32_t n) {
  if (!selection) return 1;
  int32_t count = others ? selection->otherCount : selection->chosenCount;
  if (item < 0 || item >= count) return 1;
  const DictIdPair& p = (others ? selection->others : selection->chosen)[item];
  if (p.dictId == 0xFFFFFFFFu) return 1;
  uint16_t slot = FindDictSlot(selection->engine, p.creator, p.dictId);
  if (slot == kNoDictSlot) return 1;
  GetDictMenuName(selection->engine, slot, buf, n);
  return 0;
}
