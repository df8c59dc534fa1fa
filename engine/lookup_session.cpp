#include "engine/lookup_session.h"

#include <cstring>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "engine/text_compare.h"
#include "engine/user_dict.h"
#include "platform/heap.h"

namespace {

uint32_t LoadLe32At(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void StoreLe32At(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Resizes a locked handle to `bytes`, locking it again into *data whatever
// the outcome. The resize result.
int ResizeLocked(MemHandle* handle, uint32_t bytes, void** data) {
  UnlockMemHandle(handle);
  const int rc = ResizeMemHandle(handle, bytes);
  *data = LockMemHandle(handle);
  return rc;
}

void FreeLocked(MemHandle** handle) {
  if (!*handle) return;
  UnlockMemHandle(*handle);
  FreeMemHandle(*handle);
  *handle = nullptr;
}

// The dictionary's saved place: the order record's saved position and entry
// (0 and 0 without a record). A missing entry is the one at the position
// (0 when that is missing too); a missing position is the entry's.
void RestoreSavedPlace(LookupSession* s, uint16_t slot, bool noRecordTakesFirstEntry) {
  DictEngine* engine = s->engine;
  const DictOrderSaved* saved = FindDictOrderPosition(engine, slot);
  int32_t position = 0;
  int32_t entry = 0;
  if (saved) {
    position = saved->savedPosition;
    entry = saved->savedEntry;
  } else if (noRecordTakesFirstEntry) {
    entry = GetDictEntryAtPosition(engine, slot, 0);
  }
  if (entry == -1) {
    if (position == -1) position = 0;
    entry = GetDictEntryAtPosition(engine, slot, position);
  } else if (position == -1) {
    position = GetDictPositionOfEntry(engine, slot, entry);
  }
  s->currentPosition = static_cast<uint32_t>(position);
  s->currentEntry = static_cast<uint32_t>(entry);
}

// The language record of a language, or null.
LanguageDictRecord* LanguageRecordOf(LookupSession* s, uint32_t language) {
  for (uint32_t i = 0; i < s->languageRecordCount; ++i)
    if (s->languageRecords[i].language == language) return &s->languageRecords[i];
  return nullptr;
}

bool IsInstalled(DictEngine* engine, uint16_t slot) { return slot < GetDictCount(engine); }

// Takes over a "RecentQueries" blob: whole records only, the newest 50, and
// every text terminated.
void AdoptRecentQueries(LookupSession* s, MemHandle* blob) {
  if (!blob) return;
  uint32_t count = GetMemHandleSize(blob) / kRecentQueryRecordSize;
  if (count > kRecentQueryMax) count = kRecentQueryMax;
  if (count > 0) {
    s->queryHandle = NewMemHandle(count * kRecentQueryRecordSize);
    if (s->queryHandle) {
      s->queries = static_cast<RecentQueryRecord*>(LockMemHandle(s->queryHandle));
      const auto* bytes = static_cast<const uint8_t*>(LockMemHandle(blob));
      for (uint32_t i = 0; i < count; ++i) DecodeRecentQueryRecord(bytes + i * kRecentQueryRecordSize, &s->queries[i]);
      UnlockMemHandle(blob);
      s->queryCount = static_cast<uint16_t>(count);
    }
  }
  FreeMemHandle(blob);
}

void AdoptRecentEntries(LookupSession* s, MemHandle* blob) {
  if (!blob) return;
  uint32_t count = GetMemHandleSize(blob) / kRecentEntryRecordSize;
  if (count > kHistoryMax) count = kHistoryMax;
  if (count > 0) {
    s->historyHandle = NewMemHandle(count * kRecentEntryRecordSize);
    if (s->historyHandle) {
      s->history = static_cast<RecentEntryRecord*>(LockMemHandle(s->historyHandle));
      const auto* bytes = static_cast<const uint8_t*>(LockMemHandle(blob));
      for (uint32_t i = 0; i < count; ++i) DecodeRecentEntryRecord(bytes + i * kRecentEntryRecordSize, &s->history[i]);
      UnlockMemHandle(blob);
      s->historyCount = static_cast<uint16_t>(count);
    }
  }
  FreeMemHandle(blob);
}

// The first slot in slot order that may be current (flag 0x2 clear), else 0.
uint16_t FirstUsableSlot(DictEngine* engine) {
  const uint16_t n = GetDictCount(engine);
  for (uint16_t i = 0; i < n; ++i)
    if (!(GetDictFlags(engine, i) & kDictFlagNoOrderList)) return i;
  return 0;
}

void StartFromSavedState(LookupSession* s) {
  DictEngine* engine = s->engine;
  uint16_t slot = FindDictSlot(engine, static_cast<uint32_t>(GetPref(engine, kPrefChineseCreator)),
                               static_cast<uint32_t>(GetPref(engine, kPrefChineseDictId)));
  if (!IsInstalled(engine, slot)) slot = FirstUsableSlot(engine);
  s->currentSlot = slot;
  s->language = GetDictLanguage(engine, slot);
  RestoreSavedPlace(s, slot, false);
  s->showingResults = 0;
  s->currentIndex = s->currentPosition;
  const uint32_t creator = GetDictCreator(engine, slot);
  const auto dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  const auto otherCreator = static_cast<uint32_t>(GetPref(engine, kPrefEnglishCreator));
  const auto otherId = static_cast<uint32_t>(GetPref(engine, kPrefEnglishDictId));
  const uint16_t other = FindDictSlot(engine, otherCreator, otherId);
  for (uint32_t i = 0; i < s->languageRecordCount; ++i) {
    LanguageDictRecord* r = &s->languageRecords[i];
    if (r->language == s->language) {
      r->creator = creator;
      r->dictId = dictId;
    } else if (IsInstalled(engine, other) && GetDictLanguage(engine, other) == r->language) {
      r->creator = otherCreator;
      r->dictId = otherId;
    }
  }
}

void StartFresh(LookupSession* s) {
  DictEngine* engine = s->engine;
  s->language = 65535;
  s->currentSlot = 0;
  bool haveLanguage = false;
  bool haveSlot = false;
  for (uint32_t l = 0; l < engine->orderListCount; ++l) {
    const DictOrderList* list = engine->orderLists[l];
    if (!list || list->count == 0) continue;
    if (!haveLanguage) {
      s->language = list->language;
      haveLanguage = true;
    }
    for (uint32_t i = 0; i < list->count && !haveSlot; ++i) {
      if (list->items[i].slot == kOrderNoSlot) continue;
      s->currentSlot = static_cast<uint16_t>(list->items[i].slot);
      haveSlot = true;
    }
  }
  s->showingResults = 0;
  s->currentIndex = 0;
  s->currentPosition = 0;
  s->currentEntry = static_cast<uint32_t>(GetDictEntryAtPosition(engine, s->currentSlot, 0));
}

}  // namespace

// ---- records ----

void DecodeRecentQueryRecord(const uint8_t* bytes, RecentQueryRecord* record) {
  for (uint32_t i = 0; i < kRecentQueryUnits; ++i)
    record->text[i] = static_cast<WCHAR>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  // A record without a terminator in its 30 units is cut, never read past.
  record->text[kRecentQueryUnits - 1] = 0;
  record->language = LoadLe32At(bytes + 60);
  record->transLanguage = LoadLe32At(bytes + 64);
  record->creator = LoadLe32At(bytes + 68);
  record->dictId = LoadLe32At(bytes + 72);
}

void EncodeRecentQueryRecord(const RecentQueryRecord* record, uint8_t* bytes) {
  for (uint32_t i = 0; i < kRecentQueryUnits; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(record->text[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(record->text[i] >> 8);
  }
  StoreLe32At(bytes + 60, record->language);
  StoreLe32At(bytes + 64, record->transLanguage);
  StoreLe32At(bytes + 68, record->creator);
  StoreLe32At(bytes + 72, record->dictId);
}

void DecodeRecentEntryRecord(const uint8_t* bytes, RecentEntryRecord* record) {
  record->creator = LoadLe32At(bytes);
  record->dictId = LoadLe32At(bytes + 4);
  record->entryKey = LoadLe32At(bytes + 8);
}

void EncodeRecentEntryRecord(const RecentEntryRecord* record, uint8_t* bytes) {
  StoreLe32At(bytes, record->creator);
  StoreLe32At(bytes + 4, record->dictId);
  StoreLe32At(bytes + 8, record->entryKey);
}

// ---- small steps ----

void LookupSaveCheck(LookupSession* s, LookupUpdateRecord* update) {
  const uint32_t now = GetUtcSeconds();
  if (now - s->lastSaveTime >= kLookupSaveSeconds) {
    update->saveState = 1;
    s->lastSaveTime = now;
  }
}

void LookupRefreshAudioSet(LookupSession* s) {
  s->audioSet = static_cast<uint8_t>(ApplyAudioFileSetPref(s->engine, s->audioSet));
}

int LookupNotify(LookupSession* s, const LookupUpdateRecord* update) {
  return s->callback ? s->callback(s->context, update) : 0;
}

void PushHistoryRecord(LookupSession* s, uint16_t slot, uint32_t entry) {
  DictEngine* engine = s->engine;
  RecentEntryRecord record;
  record.creator = GetDictCreator(engine, slot);
  record.dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  record.entryKey = static_cast<uint32_t>(GetDictEntryKey(engine, slot, entry));
  if (s->historyCount > 0) {
    const RecentEntryRecord& at = s->history[s->historyIndex];
    if (at.creator == record.creator && at.dictId == record.dictId && at.entryKey == record.entryKey) return;
  }
  const uint32_t k = s->historyIndex;
  if (k > 0) {
    // The user had gone back: the newer records go, the one gone back to
    // stays just below the new one.
    const uint32_t kept = s->historyCount - k;
    std::memmove(&s->history[1], &s->history[k], kept * sizeof(RecentEntryRecord));
    s->historyCount = static_cast<uint16_t>(kept + 1);
    s->historyIndex = 0;
  } else {
    if (!s->historyHandle) {
      s->historyHandle = NewMemHandle(kRecentEntryRecordSize);
      if (!s->historyHandle) return;
      s->history = static_cast<RecentEntryRecord*>(LockMemHandle(s->historyHandle));
      s->historyCount = 1;
    } else {
      if (s->historyCount < kHistoryMax) {
        void* data = nullptr;
        const int rc = ResizeLocked(s->historyHandle, (s->historyCount + 1u) * kRecentEntryRecordSize, &data);
        s->history = static_cast<RecentEntryRecord*>(data);
        if (rc == 0) ++s->historyCount;
      }
      std::memmove(&s->history[1], &s->history[0], (s->historyCount - 1u) * sizeof(RecentEntryRecord));
    }
  }
  s->history[0] = record;
}

void AddRecentQuery(LookupSession* s, const WCHAR* text) {
  if (!text) return;
  DictEngine* engine = s->engine;
  const uint16_t slot = s->currentSlot;
  const uint32_t language = GetDictLanguage(engine, slot);
  const uint32_t transLanguage = GetDictTransLanguage(engine, slot);
  const uint32_t creator = GetDictCreator(engine, slot);
  const auto dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  if (s->queryCount > 0 && WideStrPrefixCmp(s->queries[0].text, text) == 0) {
    // A shorter form of the newest query (deleting back): only its
    // dictionary is refreshed.
    RecentQueryRecord& first = s->queries[0];
    if (first.creator == creator && first.dictId == dictId) return;
    first.creator = creator;
    first.dictId = dictId;
    first.language = language;
    first.transLanguage = transLanguage;
    return;
  }
  int32_t found = -1;
  for (uint32_t i = 0; i < s->queryCount; ++i) {
    if (WideStrPrefixCmp(text, s->queries[i].text) == 0 && s->queries[i].language == language) {
      found = static_cast<int32_t>(i);
      break;
    }
  }
  if (found >= 0) {
    std::memmove(&s->queries[1], &s->queries[0], static_cast<uint32_t>(found) * sizeof(RecentQueryRecord));
  } else {
    if (!s->queryHandle) {
      s->queryHandle = NewMemHandle(kRecentQueryRecordSize);
      if (!s->queryHandle) return;
      s->queries = static_cast<RecentQueryRecord*>(LockMemHandle(s->queryHandle));
      s->queryCount = 1;
    } else {
      if (s->queryCount < kRecentQueryMax) {
        void* data = nullptr;
        const int rc = ResizeLocked(s->queryHandle, (s->queryCount + 1u) * kRecentQueryRecordSize, &data);
        s->queries = static_cast<RecentQueryRecord*>(data);
        if (rc == 0) ++s->queryCount;
      }
      std::memmove(&s->queries[1], &s->queries[0], (s->queryCount - 1u) * sizeof(RecentQueryRecord));
    }
  }
  RecentQueryRecord& first = s->queries[0];
  std::memset(&first, 0, sizeof first);
  WideStrCopyN(first.text, text, kRecentQueryUnits);
  first.language = language;
  first.transLanguage = transLanguage;
  first.creator = creator;
  first.dictId = dictId;
}

// ---- creation ----

LookupSession* NewLookupSession(DictEngine* engine, const LookupSessionParams* params) {
  auto* s = static_cast<LookupSession*>(LocalAlloc(LPTR, sizeof(LookupSession)));
  if (!s) return nullptr;
  s->engine = engine;
  if (params) {
    s->callback = params->callback;
    s->context = params->context;
    AdoptRecentQueries(s, params->recentQueries);
    AdoptRecentEntries(s, params->recentEntries);
  }
  s->currentEntry = static_cast<uint32_t>(-1);
  s->currentPosition = static_cast<uint32_t>(-1);
  // An empty history (no record, or one too short to hold a record) starts
  // with the first entry of the first dictionary.
  if (s->historyCount == 0) PushHistoryRecord(s, 0, 0);
  s->editSlot = kNoDictSlot;
  s->editEntry = static_cast<uint32_t>(-1);
  s->editReplaced = static_cast<uint32_t>(-1);
  s->displayState = kLookupStateNormal;
  s->lastSaveTime = GetUtcSeconds();
  const uint16_t lists = GetDictListCount(engine);
  if (lists > 0) {
    s->languageRecords = static_cast<LanguageDictRecord*>(LocalAlloc(LPTR, lists * sizeof(LanguageDictRecord)));
    if (s->languageRecords) {
      s->languageRecordCount = lists;
      for (uint32_t i = 0; i < lists; ++i) {
        s->languageRecords[i].language = engine->orderLists[i]->language;
        s->languageRecords[i].secondLanguage = engine->orderLists[i]->secondLanguage;
        s->languageRecords[i].creator = static_cast<uint32_t>(-1);
        s->languageRecords[i].dictId = static_cast<uint32_t>(-1);
      }
    }
  }
  LookupRefreshAudioSet(s);
  s->editLanguage = kLanguageChinese;
  if (params && params->freshStart) {
    StartFresh(s);
  } else {
    StartFromSavedState(s);
  }
  s->editLanguage = s->language == kLanguageEnglish ? kLanguageEnglish : kLanguageChinese;
  return s;
}

LookupHistoryBlobs BuildHistoryBlobs(LookupSession* s, int savePositions) {
  LookupHistoryBlobs blobs{};
  if (!s) return blobs;
  DictEngine* engine = s->engine;
  if (savePositions) {
    if (DictOrderSaved* saved = FindDictOrderPosition(engine, s->currentSlot)) {
      saved->savedPosition = static_cast<int32_t>(s->currentPosition);
      saved->savedEntry = static_cast<int32_t>(s->currentEntry);
    }
    bool currentDone = false;
    bool otherDone = false;
    for (uint32_t i = 0; i < s->languageRecordCount; ++i) {
      const LanguageDictRecord& r = s->languageRecords[i];
      const bool current = r.language == s->language;
      if (current ? currentDone : otherDone) continue;
      if (r.dictId == static_cast<uint32_t>(-1)) continue;
      if (current) {
        currentDone = true;
      } else {
        otherDone = true;
      }
      if (r.creator == static_cast<uint32_t>(-1)) continue;
      SetPref(engine, current ? kPrefChineseCreator : kPrefEnglishCreator, static_cast<int32_t>(r.creator));
      SetPref(engine, current ? kPrefChineseDictId : kPrefEnglishDictId, static_cast<int32_t>(r.dictId));
    }
  }
  if (s->queryCount > 0) {
    blobs.recentQueries = NewMemHandle(s->queryCount * kRecentQueryRecordSize);
    if (blobs.recentQueries) {
      auto* bytes = static_cast<uint8_t*>(LockMemHandle(blobs.recentQueries));
      for (uint32_t i = 0; i < s->queryCount; ++i)
        EncodeRecentQueryRecord(&s->queries[i], bytes + i * kRecentQueryRecordSize);
      UnlockMemHandle(blobs.recentQueries);
    }
  }
  if (s->historyCount > 0) {
    blobs.recentEntries = NewMemHandle(s->historyCount * kRecentEntryRecordSize);
    if (blobs.recentEntries) {
      auto* bytes = static_cast<uint8_t*>(LockMemHandle(blobs.recentEntries));
      for (uint32_t i = 0; i < s->historyCount; ++i)
        EncodeRecentEntryRecord(&s->history[i], bytes + i * kRecentEntryRecordSize);
      UnlockMemHandle(blobs.recentEntries);
    }
  }
  return blobs;
}

LookupHistoryBlobs DestroyLookupSession(LookupSession* s, int savePositions) {
  LookupHistoryBlobs blobs{};
  if (!s) return blobs;
  blobs = BuildHistoryBlobs(s, savePositions);
  FreeLocked(&s->queryHandle);
  FreeLocked(&s->historyHandle);
  FreeResultList(s->results);
  if (s->languageRecords) LocalFree(s->languageRecords);
  LocalFree(s);
  return blobs;
}

int LookupClearRecentData(LookupSession* s) {
  FreeLocked(&s->queryHandle);
  s->queries = nullptr;
  s->queryCount = 0;
  FreeLocked(&s->historyHandle);
  s->history = nullptr;
  s->historyCount = 0;
  s->historyIndex = 0;
  s->query[0] = 0;
  s->highlight[0] = 0;
  FreeResultList(s->results);
  s->results = nullptr;
  s->currentIndex = 0;
  return 0;
}

// ---- searching and showing ----

void LookupResetQuery(LookupSession* s) { s->query[0] = 0; }

int LookupSetDictionary(LookupSession* s, uint16_t slot, uint32_t options) {
  DictEngine* engine = s->engine;
  if (DictOrderSaved* old = FindDictOrderPosition(engine, s->currentSlot)) {
    old->savedPosition = static_cast<int32_t>(s->currentPosition);
    old->savedEntry = static_cast<int32_t>(s->currentEntry);
  }
  s->currentSlot = slot;
  const uint32_t slotLanguage = GetDictLanguage(engine, slot);
  const bool keepLanguage = (s->fullText || (options & kSetDictKeepLanguage)) && !(options & kSetDictTakeLanguage);
  if (!keepLanguage) s->language = slotLanguage;
  if (LanguageDictRecord* r = LanguageRecordOf(s, slotLanguage)) {
    r->creator = GetDictCreator(engine, slot);
    r->dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  }
  if (!(options & kSetDictKeepResults)) {
    FreeResultList(s->results);
    s->results = nullptr;
    // Also without a list: a list that shows results it no longer has
    // would show no rows beside an entry.
    s->showingResults = 0;
    RestoreSavedPlace(s, slot, true);
    s->currentIndex = s->currentPosition;
  } else {
    s->currentPosition = static_cast<uint32_t>(-1);
    s->currentEntry = 0;
  }
  s->displayState = kLookupStateNormal;
  s->query[0] = 0;
  SetPref(engine, kPrefChineseCreator, static_cast<int32_t>(GetDictCreator(engine, slot)));
  SetPref(engine, kPrefChineseDictId, GetDictId(engine, slot));
  return 0;
}

int LookupSearchFor(LookupSession* s, const WCHAR* text, int force) {
  DictEngine* engine = s->engine;
  LookupUpdateRecord u{};
  const WCHAR* t = text ? text : u"";
  bool repeat = false;
  if (WideStrCmp(t, s->query) == 0) {
    if (!force) {
      if (t[0] == 0) s->fullText = 0;
      return 0;
    }
    repeat = true;
  }
  if (!force) s->dictChosen = 0;
  s->fullText = 0;
  const auto prefix = static_cast<WCHAR>(GetPref(engine, kPrefFullTextPrefix));
  const bool prefixAlone = t[0] == prefix && t[1] == 0;
  const bool searchable = !repeat && t[0] != 0 && !prefixAlone;
  uint16_t number = 0;
  uint8_t capitalised = 0;
  SearchResultList* list = nullptr;
  if (!searchable) {
    s->repeat = 0;
  } else {
    ReadHomographMark(t, &number, &capitalised);
    uint16_t slot = s->currentSlot;
    if (!s->dictChosen) {
      const DictOrderSaved* saved = FindDictOrderPosition(engine, s->currentSlot);
      if (GetPref(engine, kPrefSearchScope) == 1 || (saved && (saved->options & kDictOptionFallback)))
        slot = kNoDictSlot;
    }
    uint32_t options = 0;
    if (s->dictChosen) options |= kLookupAnyLanguageStart;
    if (s->repeat) {
      options |= kLookupRepeat;
      s->repeat = 0;
    }
    if ((s->language == kLanguageEnglish && GetPref(engine, kPrefEnglishAllLists)) ||
        (s->language == kLanguageChinese && GetPref(engine, kPrefChineseAllLists)))
      options |= kLookupAllLanguagesFirst;
    list = RunLookupSearch(engine, t, s->language, slot, options);
    FreeResultList(s->results);
    s->results = nullptr;
    if (list && list->count == 0) {
      FreeResultList(list);
      list = nullptr;
    }
    s->results = list;
  }
  WideStrCopyN(s->query, t, kLookupQueryUnits + 1);

  if (list) {
    uint32_t row = 0;
    if ((number || capitalised) && list->count > 1) {
      row = PickHomographResult(engine, list, number, capitalised);
    } else if (list->flags & kResultNoTones) {
      row = PickMarkedResult(engine, list);
    }
    if (row >= list->count) row = 0;
    u.toolBar = u.definition = u.listLength = u.listSelection = u.entryChosen = 1;
    LookupSaveCheck(s, &u);
    if (list->flags & kResultFullText) {
      u.highlight = 1;
      s->fullText = 1;
      WideStrCopyN(s->highlight, t[0] == prefix ? t + 1 : t, kLookupQueryUnits + 1);
    } else {
      s->fullText = 0;
      s->highlight[0] = 0;
    }
    s->language = list->language;
    const SearchResultItem item = list->items[row];
    const auto itemSlot = static_cast<uint16_t>(item.first & kResultSlotMask);
    if (itemSlot != s->currentSlot) {
      u.toolBar = 1;
      LookupSetDictionary(s, itemSlot, kSetDictKeepResults);
      if (GetPref(engine, kPrefDictNotice)) u.dictNotice = 1;
    }
    s->displayState = kLookupStateNormal;
    s->currentEntry = item.entry;
    const bool keep = s->language == kLanguageChinese &&
                      (GetPref(engine, kPrefKeepSingleResult) || IsDictSlotOpen(engine, itemSlot));
    if (list->count <= 1 && !(list->flags & kResultFullText) && !keep) {
      if (s->showingResults) u.toolBar = 1;
      s->showingResults = 0;
      s->currentPosition = static_cast<uint32_t>(
          GetDictPositionOfEntry(engine, s->currentSlot, static_cast<int32_t>(s->currentEntry)));
      s->currentIndex = s->currentPosition;
    } else {
      s->currentIndex = row;
      if (!s->showingResults) u.toolBar = 1;
      s->showingResults = 1;
      s->currentPosition = static_cast<uint32_t>(-1);
    }
    AddRecentQuery(s, t);
    PushHistoryRecord(s, itemSlot, item.entry);
  } else {
    u.definition = u.listLength = u.listSelection = 1;
    if (IsDictSlotOpen(engine, s->currentSlot)) {
      // A user dictionary goes back to its full word list at its saved place.
      const DictOrderSaved* saved = FindDictOrderPosition(engine, s->currentSlot);
      if (saved && saved->savedPosition != -1 && saved->savedEntry != -1) {
        s->currentPosition = static_cast<uint32_t>(saved->savedPosition);
        s->currentEntry = static_cast<uint32_t>(saved->savedEntry);
      } else {
        s->currentPosition = 0;
        s->currentEntry = static_cast<uint32_t>(GetDictEntryAtPosition(engine, s->currentSlot, 0));
      }
      FreeResultList(s->results);
      s->results = nullptr;
      s->showingResults = 0;
      s->currentIndex = s->currentPosition;
    }
    if (force) PushHistoryRecord(s, s->currentSlot, s->currentEntry);
    if (searchable) {
      s->displayState = kLookupStateNoMatches;
      s->currentPosition = static_cast<uint32_t>(-1);
      s->currentEntry = static_cast<uint32_t>(-1);
    }
  }
  LookupRefreshAudioSet(s);
  LookupNotify(s, &u);
  return 0;
}

int LookupShowIndex(LookupSession* s, uint32_t index, int listChanged, int toolBar) {
  DictEngine* engine = s->engine;
  LookupUpdateRecord u{};
  s->currentIndex = index;
  uint16_t slot = kNoDictSlot;
  uint32_t entry = static_cast<uint32_t>(-1);
  const int rc = GetLookupDisplayItem(s, index, &slot, &entry);
  if (rc != 0) return rc;
  if (entry == static_cast<uint32_t>(-1)) return 0;
  u.definition = 1;
  LookupSaveCheck(s, &u);
  if (slot != s->currentSlot) {
    u.toolBar = 1;
    LookupSetDictionary(s, slot, kSetDictKeepResults);
    if (GetPref(engine, kPrefDictNotice)) u.dictNotice = 1;
  }
  s->currentEntry = entry;
  s->currentPosition = s->showingResults ? static_cast<uint32_t>(-1) : index;
  s->displayState = kLookupStateNormal;
  if (s->fullText) {
    if (s->showingResults) {
      u.highlight = 1;
    } else if (s->results && s->results->count == 1 && (s->results->items[0].first & kResultSlotMask) == slot &&
               s->results->items[0].entry == entry) {
      u.highlight = 1;
    }
  }
  if (listChanged) u.listLength = u.listSelection = 1;
  if (toolBar) u.toolBar = 1;
  LookupRefreshAudioSet(s);
  PushHistoryRecord(s, slot, entry);
  LookupNotify(s, &u);
  return 0;
}

int LookupShowEntryAt(LookupSession* s, uint32_t index) { return LookupShowIndex(s, index, 0, 0); }

int LookupShowEntry(LookupSession* s, uint16_t slot, uint32_t entry) {
  DictEngine* engine = s->engine;
  LookupUpdateRecord u{};
  if (slot != s->currentSlot) {
    u.toolBar = 1;
    LookupSetDictionary(s, slot, 0);
    if (GetPref(engine, kPrefDictNotice)) u.dictNotice = 1;
  }
  s->displayState = kLookupStateNormal;
  s->currentEntry = entry;
  s->currentPosition = static_cast<uint32_t>(GetDictPositionOfEntry(engine, slot, static_cast<int32_t>(entry)));
  s->currentIndex = s->currentPosition;
  s->showingResults = 0;
  u.definition = u.listLength = u.listSelection = 1;
  LookupSaveCheck(s, &u);
  LookupRefreshAudioSet(s);
  PushHistoryRecord(s, slot, entry);
  LookupNotify(s, &u);
  return 0;
}

int LookupSelectRecentQuery(LookupSession* s, uint32_t n) {
  // An empty list has no record to select (and no count to divide by).
  if (s->queryCount == 0) return 0;
  DictEngine* engine = s->engine;
  const RecentQueryRecord record = s->queries[n % s->queryCount];
  const uint16_t slot = FindDictSlot(engine, record.creator, record.dictId);
  if (IsInstalled(engine, slot)) {
    LookupSetDictionary(s, slot, 0);
  } else {
    LookupHandleCommand(s, record.language == kLanguageChinese ? kLookupChinese : kLookupEnglish, 0);
  }
  s->dictChosen = 1;
  if (record.text[0] != static_cast<WCHAR>(GetPref(engine, kPrefFullTextPrefix))) s->repeat = 1;
  LookupUpdateRecord u{};
  u.toolBar = 1;
  u.searchAgain = 1;
  LookupNotify(s, &u);
  return 0;
}

// ---- queries ----

void LookupGetCounts(LookupSession* s, uint32_t* rows, uint32_t* index) {
  if (index) *index = s->currentIndex;
  if (!rows) return;
  if (s->displayState == kLookupStateNoMatches) {
    *rows = 0;
  } else if (s->showingResults) {
    *rows = GetResultListCount(s->results);
  } else {
    *rows = GetDictEntryCount(s->engine, s->currentSlot);
  }
}

int GetLookupDisplayItem(LookupSession* s, uint32_t row, uint16_t* slot, uint32_t* entry) {
  uint16_t itemSlot = kNoDictSlot;
  uint32_t itemEntry = static_cast<uint32_t>(-1);
  int rc = 0;
  if (s->displayState == kLookupStateNoMatches) {
    rc = 1;
  } else if (s->showingResults) {
    if (s->results && row < s->results->count) {
      itemSlot = static_cast<uint16_t>(s->results->items[row].first & kResultSlotMask);
      itemEntry = s->results->items[row].entry;
    } else {
      rc = 1;
    }
  } else {
    itemSlot = s->currentSlot;
    itemEntry = static_cast<uint32_t>(GetDictEntryAtPosition(s->engine, itemSlot, static_cast<int32_t>(row)));
  }
  if (slot) *slot = itemSlot;
  if (entry) *entry = itemEntry;
  return rc;
}

uint16_t LookupGetCurrentDict(LookupSession* s) { return s->currentSlot; }

int LookupIsShowingResults(LookupSession* s) { return s->showingResults; }

uint32_t LookupGetRecentQueryCount(LookupSession* s) { return s->queryCount; }

int LookupGetRecentQueryText(LookupSession* s, uint32_t n, WCHAR* buffer, uint32_t size) {
  if (s->queryCount == 0) return 1;
  WideStrCopyN(buffer, s->queries[n % s->queryCount].text, size);
  return 0;
}
