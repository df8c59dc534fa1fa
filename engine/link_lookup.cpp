#include "engine/link_lookup.h"

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/engine_host.h"
#include "engine/lookup_services.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kNoEntry = 0xFFFFFFFFu;

bool IsMarkup(WCHAR u) { return u >= 0xEA00 && u <= 0xEAFF; }

// The units after `mark` up to the next markup unit, at most 39.
void CopyLinkPart(const WCHAR* text, WCHAR mark, WCHAR* out) {
  out[0] = 0;
  const WCHAR* p = text;
  while (*p && *p != mark) ++p;
  if (!*p) return;
  ++p;
  uint32_t n = 0;
  for (; p[n] && !IsMarkup(p[n]) && n < kLinkTextUnits - 1; ++n) out[n] = p[n];
  out[n] = 0;
}

bool Contains(const WCHAR* text, WCHAR u) {
  for (; *text; ++text)
    if (*text == u) return true;
  return false;
}

void RefreshAudioSet(LinkLookup* lookup) {
  lookup->audioSet = static_cast<uint8_t>(ApplyAudioFileSetPref(lookup->engine, lookup->audioSet));
}

void SetCurrentSlot(LinkLookup* lookup, uint16_t slot) {
  lookup->slot = slot;
  lookup->language = GetDictLanguage(lookup->engine, slot);
}

void DropResults(LinkLookup* lookup) {
  FreeResultList(lookup->results);
  lookup->results = nullptr;
  lookup->row = 0;
}

// With the follow flag, the two texts become the new entry's.
void FollowEntry(LinkLookup* lookup) {
  if (!lookup->follow) return;
  LinkLookupFetchEntry(lookup, lookup->headword, kLinkTextUnits + 1, 0);
  LinkLookupFetchPron(lookup, lookup->secondText, kLinkTextUnits + 1);
}

int StepEntry(LinkLookup* lookup, bool forward) {
  const uint32_t count = GetResultListCount(lookup->results);
  if (count > 0) {
    if (forward ? lookup->row + 1 >= count : lookup->row == 0) return 0;
    const uint32_t row = forward ? lookup->row + 1 : lookup->row - 1;
    SearchResultItem item;
    if (GetResultListItem(lookup->engine, lookup->results, row, &item) != 0) return 0;
    lookup->row = row;
    SetCurrentSlot(lookup, static_cast<uint16_t>(item.first & kResultSlotMask));
    lookup->entry = item.entry;
  } else {
    const int32_t position = GetDictPositionOfEntry(lookup->engine, lookup->slot, static_cast<int32_t>(lookup->entry));
    if (position < 0) return 0;
    const int64_t next = forward ? int64_t{position} + 1 : int64_t{position} - 1;
    if (next < 0 || next >= GetDictEntryCount(lookup->engine, lookup->slot)) return 0;
    const int32_t entry = GetDictEntryAtPosition(lookup->engine, lookup->slot, static_cast<int32_t>(next));
    if (entry < 0) return 0;
    lookup->entry = static_cast<uint32_t>(entry);
  }
  RefreshAudioSet(lookup);
  FollowEntry(lookup);
  return 0;
}

int AddCard(LinkLookup* lookup, uint32_t command, int32_t argument) {
  DictEngine* engine = lookup->engine;
  if (lookup->entry == kNoEntry) return kLinkCardNothing;
  if (GetDictFlags(engine, lookup->slot) & kDictFlagNoCards) return kLinkCardNotAllowed;
  CardEditRecord record;
  int32_t category;
  FillLookupCardRecord(engine, lookup->slot, lookup->entry, command, argument, &record, &category);
  const int32_t card = HostSaveCard(engine, &record, -1);
  if (card != -1 && !GetPref(engine, kPrefReportCards)) return kLinkCardNothing;
  return static_cast<int>(LookupCardResult(card, &record));
}

}  // namespace

LinkLookup* NewLinkLookup(DictEngine* engine, const LinkLookupStart* start) {
  auto* lookup = static_cast<LinkLookup*>(LocalAlloc(LPTR, sizeof(LinkLookup)));
  if (!lookup) return nullptr;
  lookup->engine = engine;
  lookup->displayMode = GetPref(engine, kPrefDisplayMode) ? 1 : 0;
  lookup->audioSet = static_cast<uint8_t>(ApplyAudioFileSetPref(engine, 0));
  if (start) {
    const uint16_t slot = FindDictSlot(engine, start->creator, start->dictId);
    if (slot != kNoDictSlot) {
      lookup->slot = slot;
      lookup->entry = static_cast<uint32_t>(MapDictEntryId(engine, slot, static_cast<int32_t>(start->entryKey)));
    }
    lookup->readerList = static_cast<uint8_t>(start->readerList & 0xFF);
  }
  lookup->language = GetDictLanguage(engine, lookup->slot);
  return lookup;
}

void DestroyLinkLookup(LinkLookup* lookup, DictEntryRef* reference) {
  if (!lookup) return;
  if (reference) {
    reference->creator = GetDictCreator(lookup->engine, lookup->slot);
    reference->dictId = static_cast<uint32_t>(GetDictId(lookup->engine, lookup->slot));
    reference->entry = static_cast<uint32_t>(GetDictEntryKey(lookup->engine, lookup->slot, lookup->entry));
  }
  FreeResultList(lookup->results);
  LocalFree(lookup);
}

int LinkLookupSetTerms(LinkLookup* lookup, const WCHAR* headword, const WCHAR* secondText, int follow) {
  if (!lookup || !headword) return 0;
  WideStrCopyN(lookup->headword, headword, kLinkTextUnits);
  lookup->follow = follow ? 1 : 0;
  if (secondText && secondText[0]) {
    WideStrCopyN(lookup->secondText, secondText, kLinkTextUnits + 1);
  } else {
    lookup->secondText[0] = 0;
  }
  return 0;
}

int LinkLookupSetQuery(LinkLookup* lookup, const WCHAR* text, int plain, int exactLink, uint16_t slot) {
  if (!lookup) return 1;
  DictEngine* engine = lookup->engine;
  DropResults(lookup);
  lookup->follow = 0;

  const WCHAR* query = lookup->headword;
  bool headwordSearched = true;
  if (text) {
    if (Contains(text, kLinkHeadwordMark) && Contains(text, kLinkReadingMark)) {
      CopyLinkPart(text, kLinkHeadwordMark, lookup->headword);
      CopyLinkPart(text, kLinkReadingMark, lookup->secondText);
    } else {
      WideStrCopyN(lookup->headword, text, kLinkTextUnits + 1);
      lookup->secondText[0] = 0;
      query = text;
      headwordSearched = false;
    }
  } else if (!lookup->headword[0]) {
    return 1;
  }

  SearchResultList* list = nullptr;
  uint32_t row = 0;
  if (exactLink) {
    uint16_t number = 0;
    uint8_t capitalised = 0;
    ReadHomographMark(query, &number, &capitalised);
    list = RunLookupSearch(engine, query, kNoDictSlot, slot != kNoDictSlot ? slot : lookup->slot,
                           kLookupAnyLanguageStart | kLookupExact | kLookupReaderList);
    if (GetResultListCount(list) > 1) row = PickHomographResult(engine, list, number, capitalised);
  } else {
    uint32_t options = plain ? 0u : uint32_t{kLookupExact};
    if (lookup->dictChosen) options |= kLookupAnyLanguageStart;
    if (lookup->readerList) options |= kLookupReaderList;
    list = RunLookupSearch(engine, query, kNoDictSlot, lookup->slot, options);
  }
  if (row == 0 && headwordSearched && lookup->secondText[0] && GetResultListCount(list) > 1)
    row = PickResultBySyllables(engine, list, lookup->secondText);

  if (GetResultListCount(list) == 0) {
    FreeResultList(list);
    return 0;
  }
  lookup->results = list;
  lookup->row = row;
  SearchResultItem item;
  if (GetResultListItem(engine, list, row, &item) != 0) return 0;
  RefreshAudioSet(lookup);
  LinkLookupSetDict(lookup, static_cast<uint16_t>(item.first & kResultSlotMask), 1);
  lookup->entry = item.entry;
  return 0;
}

int LinkLookupSetDict(LinkLookup* lookup, uint16_t slot, int keepEntry) {
  if (!lookup) return 1;
  if (!keepEntry && !lookup->headword[0]) return 1;
  SetCurrentSlot(lookup, slot);
  if (keepEntry) {
    // A saved entry of -1 means none was shown: the first entry then.
    const DictOrderSaved* saved = FindDictOrderPosition(lookup->engine, slot);
    lookup->entry = saved && saved->savedEntry >= 0 ? static_cast<uint32_t>(saved->savedEntry) : 0;
    return 0;
  }
  lookup->dictChosen = 1;
  return LinkLookupSetQuery(lookup, nullptr, 0, 0, kNoDictSlot);
}

int LinkLookupSetResults(LinkLookup* lookup, const SearchResultList* list, uint32_t row) {
  if (!lookup || GetResultListCount(list) == 0) return 0;
  SearchResultList* copy = CopyResultList(list);
  if (!copy) return 0;
  DropResults(lookup);
  lookup->results = copy;
  lookup->row = row < copy->count ? row : 0;
  SearchResultItem item;
  GetResultListItem(lookup->engine, copy, lookup->row, &item);
  RefreshAudioSet(lookup);
  LinkLookupSetDict(lookup, static_cast<uint16_t>(item.first & kResultSlotMask), 1);
  lookup->entry = item.entry;
  return 0;
}

int LinkLookupReset(LinkLookup* lookup, uint16_t slot, uint32_t entry) {
  if (!lookup) return 0;
  DropResults(lookup);
  RefreshAudioSet(lookup);
  LinkLookupSetDict(lookup, slot, 1);
  lookup->entry = entry;
  return 0;
}

int LinkLookupCommand(LinkLookup* lookup, uint32_t command, int32_t argument) {
  if (!lookup) return 0;
  DictEngine* engine = lookup->engine;
  const uint32_t cycle = lookup->readerList ? uint32_t{kCycleReaderList} : 0u;
  switch (command) {
    case 2: {
      if (!lookup->headword[0]) return 1;
      const uint32_t target = lookup->language == kLanguageChinese ? kLanguageEnglish : kLanguageChinese;
      for (uint32_t l = 0; l < engine->orderListCount; ++l) {
        const DictOrderList* list = engine->orderLists[l];
        if (!list || list->language != target || list->count == 0) continue;
        // The first qualifying dictionary of that list: the walk starts
        // outside every list, so the last item is a candidate too.
        const uint16_t slot = FindNextDictionary(engine, target, kNoDictSlot, -1, cycle);
        if (slot != kNoDictSlot) LinkLookupSetDict(lookup, slot, 0);
        break;
      }
      return 0;
    }
    case 3: {
      if (!lookup->headword[0]) return 1;
      const uint16_t slot = FindNextDictionary(engine, lookup->language, lookup->slot, argument, cycle);
      if (slot != kNoDictSlot) LinkLookupSetDict(lookup, slot, 0);
      return 0;
    }
    case 4:
      lookup->displayMode = argument ? 1 : 0;
      return 0;
    case 6:
    case 21:
    case 22:
      return AddCard(lookup, command, argument);
    case 7:
    case 8:
      return StepEntry(lookup, command == 7);
    default:
      return 0;
  }
}

int LinkLookupGetEntry(const LinkLookup* lookup, uint16_t* slot, uint32_t* entry) {
  if (slot) *slot = lookup ? lookup->slot : kNoDictSlot;
  if (entry) *entry = lookup ? lookup->entry : kNoEntry;
  return 0;
}

uint32_t LinkLookupGetDictLanguage(const LinkLookup* lookup) { return lookup ? lookup->language : 65535; }

void LinkLookupClearDictChosen(LinkLookup* lookup) {
  if (lookup) lookup->dictChosen = 0;
}

int LinkLookupGetPosition(const LinkLookup* lookup, uint32_t* row, uint32_t* count) {
  if (!lookup) return 0;
  const uint32_t n = GetResultListCount(lookup->results);
  if (n > 0) {
    if (row) *row = lookup->row;
    if (count) *count = n;
  } else {
    if (row)
      *row = static_cast<uint32_t>(
          GetDictPositionOfEntry(lookup->engine, lookup->slot, static_cast<int32_t>(lookup->entry)));
    if (count) *count = GetDictEntryCount(lookup->engine, lookup->slot);
  }
  return 0;
}

int LinkLookupGetDictInfo(const LinkLookup* lookup, LookupButtonInfo* info) {
  if (!lookup) return 0;
  return GetDictDisplayInfo(lookup->engine, lookup->slot, info);
}

int LinkLookupFormatEntry(const LinkLookup* lookup, MemHandle* handle, uint32_t flags) {
  if (!lookup) return 0;
  const uint32_t mode = lookup->displayMode ? 0x1000000u : 0u;
  return FormatEntryText(lookup->engine, handle, lookup->slot, lookup->entry, lookup->message,
                         (flags & 0xFFFFFF) + mode);
}

int LinkLookupFetchEntry(const LinkLookup* lookup, WCHAR* buffer, uint32_t size, int pronunciation) {
  if (!lookup) return 1;
  return FetchEntryPart(lookup->engine, lookup->slot, lookup->entry, buffer, size, pronunciation, 0);
}

int LinkLookupFetchPron(const LinkLookup* lookup, WCHAR* buffer, uint32_t size) {
  if (!lookup || !buffer || size == 0) return 1;
  if (lookup->language != kLanguageChinese) {
    buffer[0] = 0;
    return 0;
  }
  return FetchEntryPart(lookup->engine, lookup->slot, lookup->entry, buffer, size, 1, 1);
}

int GetLinkLookupEntryAudio(LinkLookup* lookup, MemHandle* const* clips, uint32_t* sizes, uint16_t* kind) {
  if (!lookup) return kAudioNoGroup;
  return CollectEntryAudioAlternating(lookup->engine, &lookup->audioSet, lookup->slot, lookup->entry, clips, sizes,
                                      kind);
}
