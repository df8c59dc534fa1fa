// The main screen's numbered commands on the lookup session and the entry
// editor's operations on the session's editor target.

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/lookup_services.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "platform/engine_lock.h"

namespace {

constexpr uint32_t kNone = static_cast<uint32_t>(-1);

bool IsInstalled(DictEngine* engine, uint16_t slot) { return slot < GetDictCount(engine); }

// An open user dictionary whose state byte is 0: one the editor may write.
bool IsWritableUserDict(DictEngine* engine, uint16_t slot) {
  return IsDictSlotOpen(engine, slot) && (GetUserDictEditLock(engine, slot) & 0xFF) == 0;
}

bool AllListsFor(DictEngine* engine, uint32_t language) {
  return (language == kLanguageEnglish && GetPref(engine, kPrefEnglishAllLists)) ||
         (language == kLanguageChinese && GetPref(engine, kPrefChineseAllLists));
}

const DictOrderList* OrderListOf(DictEngine* engine, uint32_t language) {
  for (uint32_t l = 0; l < engine->orderListCount; ++l)
    if (engine->orderLists[l] && engine->orderLists[l]->language == language) return engine->orderLists[l];
  return nullptr;
}

// Commands 0 and 1: shows the history record at the history index.
void ShowHistoryRecord(LookupSession* s) {
  DictEngine* engine = s->engine;
  const RecentEntryRecord record = s->history[s->historyIndex];
  LookupUpdateRecord u{};
  const uint16_t slot = FindDictSlot(engine, record.creator, record.dictId);
  if (!IsInstalled(engine, slot)) {
    s->displayState = kLookupStateDictionaryGone;
    s->currentEntry = kNone;
    s->currentPosition = kNone;
    LookupNotify(s, &u);
    return;
  }
  const auto entry = static_cast<uint32_t>(MapDictEntryId(engine, slot, static_cast<int32_t>(record.entryKey)));
  u.definition = 1;
  if (slot != s->currentSlot) {
    u.toolBar = 1;
    LookupSetDictionary(s, slot, 0);
    if (GetPref(engine, kPrefDictNotice)) u.dictNotice = 1;
  }
  s->currentEntry = entry;
  s->currentPosition = static_cast<uint32_t>(GetDictPositionOfEntry(engine, slot, static_cast<int32_t>(entry)));
  s->currentIndex = s->currentPosition;
  u.listLength = u.listSelection = 1;
  s->displayState = kLookupStateNormal;
  s->showingResults = 0;
  LookupSaveCheck(s, &u);
  LookupNotify(s, &u);
}

// Commands 2, 11, 12 and 13.
void SwitchLanguage(LookupSession* s, uint32_t target, bool setRepeat) {
  DictEngine* engine = s->engine;
  if (target == s->language) return;
  const uint32_t oldFullText = s->fullText;
  s->fullText = 0;
  uint16_t slot = kNoDictSlot;
  bool throughOther = false;
  const DictOrderList* list = OrderListOf(engine, target);
  if (list && list->count > 0) {
    for (uint32_t i = 0; i < s->languageRecordCount; ++i) {
      const LanguageDictRecord& r = s->languageRecords[i];
      if (r.language != target) continue;
      slot = FindDictSlot(engine, r.creator, r.dictId);
      break;
    }
    if (!IsInstalled(engine, slot)) {
      slot = kNoDictSlot;
      for (uint32_t i = 0; i < list->count; ++i) {
        if (list->items[i].slot == kOrderNoSlot) continue;
        slot = static_cast<uint16_t>(list->items[i].slot);
        break;
      }
    }
  } else {
    // No dictionary of that language: search it through the full text of a
    // dictionary of the other one.
    s->fullText = 1;
    throughOther = true;
    for (uint32_t l = 0; l < engine->orderListCount && slot == kNoDictSlot; ++l) {
      const DictOrderList* other = engine->orderLists[l];
      if (!other || other->count == 0) continue;
      for (uint32_t i = 0; i < other->count; ++i) {
        const DictOrderRecord& item = other->items[i];
        if (item.slot == kOrderNoSlot || !(item.saved.options & kDictOptionSearch)) continue;
        slot = static_cast<uint16_t>(item.slot);
        break;
      }
      break;  // only the first list that has items
    }
  }
  if (slot == kNoDictSlot) {
    s->fullText = oldFullText;
    return;
  }
  LookupSetDictionary(s, slot, kSetDictTakeLanguage);
  if (throughOther) s->language = target;
  LookupNotifyDictChanged(s);
  s->dictChosen = 1;
  LookupUpdateRecord u{};
  u.searchAgain = u.toolBar = u.listLength = u.listSelection = 1;
  LookupSaveCheck(s, &u);
  if (setRepeat) s->repeat = 1;
  LookupNotify(s, &u);
}

void NextDictionary(LookupSession* s, int32_t argument) {
  DictEngine* engine = s->engine;
  uint32_t options = 0;
  if (s->fullText) options |= kCycleFullText;
  const bool allLists = AllListsFor(engine, s->language);
  if (allLists) options |= kCycleAllListsToo;
  const uint16_t slot = FindNextDictionary(engine, s->language, s->currentSlot, argument < 0 ? -1 : argument, options);
  if (slot == kNoDictSlot) return;
  uint32_t setOptions = allLists ? static_cast<uint32_t>(kSetDictKeepLanguage) : 0u;
  if (IsDictSlotOpen(engine, slot)) setOptions |= kSetDictKeepResults;
  LookupSetDictionary(s, slot, setOptions);
  LookupNotifyDictChanged(s);
  s->dictChosen = 1;
  s->repeat = 1;
  LookupUpdateRecord u{};
  u.searchAgain = u.toolBar = u.listLength = u.listSelection = 1;
  LookupSaveCheck(s, &u);
  LookupNotify(s, &u);
}

void ToFullList(LookupSession* s) {
  s->showingResults = 0;
  const auto index = static_cast<uint32_t>(
      GetDictPositionOfEntry(s->engine, s->currentSlot, static_cast<int32_t>(s->currentEntry)));
  LookupShowIndex(s, index, 1, 1);
}

void ToResults(LookupSession* s) {
  s->showingResults = 1;
  const int32_t row = FindResultListItem(s->results, s->currentSlot, s->currentEntry);
  LookupShowIndex(s, row < 0 ? 0 : static_cast<uint32_t>(row), 1, 1);
}

void SwitchLists(LookupSession* s, uint32_t command) {
  const bool haveResults = GetResultListCount(s->results) > 0;
  if (command == kLookupToFullList) {
    if (s->showingResults) ToFullList(s);
    return;
  }
  if (command == kLookupToggleList) {
    if (s->showingResults) {
      ToFullList(s);
    } else if (haveResults) {
      ToResults(s);
    }
    return;
  }
  if (s->showingResults || !haveResults) return;
  if (s->results->count == 1 &&
      (!GetPref(s->engine, kPrefKeepSingleResult) || s->language != kLanguageChinese)) {
    // One result is shown where it stands in the full word list.
    const SearchResultItem item = s->results->items[0];
    const int32_t position = GetDictPositionOfEntry(s->engine, static_cast<uint16_t>(item.first & kResultSlotMask),
                                                    static_cast<int32_t>(item.entry));
    LookupShowIndex(s, static_cast<uint32_t>(position), 1, 1);
    return;
  }
  ToResults(s);
}

void AddCard(LookupSession* s, uint32_t command, int32_t argument) {
  DictEngine* engine = s->engine;
  if (s->currentEntry == kNone) return;
  CardEditRecord record;
  int32_t category;
  FillLookupCardRecord(engine, s->currentSlot, s->currentEntry, command, argument, &record, &category);
  LookupUpdateRecord u{};
  u.cardArgument = category >= 0 ? category : kCardNoCategory;
  if (GetDictFlags(engine, s->currentSlot) & kDictFlagNoCards) {
    u.cardResult = kCardResultDictCannot;
    u.cardArgument = 0;
    LookupNotify(s, &u);
    return;
  }
  const int32_t card = HostSaveCard(engine, &record, -1);
  if (command == kLookupAddCardExisting) return;
  if (card != -1 && !GetPref(engine, kPrefReportCards)) return;
  u.cardResult = LookupCardResult(card, &record);
  if (u.cardResult == kCardResultAsk) u.cardArgument = argument;
  LookupNotify(s, &u);
}

// After the current entry was deleted: the entry now at its position, or
// the one before, or the first one.
void StepPastDeletedEntry(LookupSession* s) {
  DictEngine* engine = s->engine;
  const uint16_t slot = s->currentSlot;
  auto position = static_cast<int32_t>(s->currentPosition);
  int32_t entry = GetDictEntryAtPosition(engine, slot, position);
  if (entry == -1) {
    position -= 1;
    entry = GetDictEntryAtPosition(engine, slot, position);
  }
  if (entry == -1) {
    position = 0;
    entry = GetDictEntryAtPosition(engine, slot, 0);
    if (entry == -1) position = -1;
  }
  s->currentPosition = static_cast<uint32_t>(position);
  s->currentEntry = static_cast<uint32_t>(entry);
  if (!s->showingResults) s->currentIndex = s->currentPosition;
}

void NotifyAfterDelete(LookupSession* s) {
  LookupUpdateRecord u{};
  u.definition = u.listRedraw = u.listLength = u.listSelection = 1;
  LookupSaveCheck(s, &u);
  LookupNotify(s, &u);
}

// The editor no longer targets an entry that is gone.
void ForgetDeletedEditEntry(LookupSession* s, uint16_t slot, uint32_t entry) {
  if (s->editSlot != slot) return;
  if (s->editEntry == entry) s->editEntry = kNone;
  if (s->editReplaced == entry) s->editReplaced = kNone;
}

int DeleteCurrentEntry(LookupSession* s) {
  DictEngine* engine = s->engine;
  if (!IsDictSlotOpen(engine, s->currentSlot)) return 0;
  if (s->currentPosition == kNone)
    s->currentPosition = static_cast<uint32_t>(
        GetDictPositionOfEntry(engine, s->currentSlot, static_cast<int32_t>(s->currentEntry)));
  const uint32_t deleted = s->currentEntry;
  const int rc = DeleteUserDictEntry(engine, s->currentSlot, static_cast<int32_t>(deleted));
  if (rc != 0) return rc & 0xFFFF;
  ForgetDeletedEditEntry(s, s->currentSlot, deleted);
  StepPastDeletedEntry(s);
  NotifyAfterDelete(s);
  return 0;
}

// The entry editor's delete removes the entry it edits, which need not be
// the one shown.
int DeleteEditEntry(LookupSession* s) {
  DictEngine* engine = s->engine;
  if (s->editSlot == kNoDictSlot || s->editEntry == kNone) return 0;
  const uint16_t slot = s->editSlot;
  const uint32_t deleted = s->editEntry;
  const bool isCurrent = slot == s->currentSlot && deleted == s->currentEntry;
  if (isCurrent && s->currentPosition == kNone)
    s->currentPosition = static_cast<uint32_t>(GetDictPositionOfEntry(engine, slot, static_cast<int32_t>(deleted)));
  const int rc = DeleteUserDictEntry(engine, slot, static_cast<int32_t>(deleted));
  if (rc != 0) return rc & 0xFFFF;
  ForgetDeletedEditEntry(s, slot, deleted);
  if (isCurrent) {
    StepPastDeletedEntry(s);
  } else if (slot == s->currentSlot && s->currentPosition != kNone) {
    // Another entry of the shown dictionary went: the shown one may have moved up.
    s->currentPosition = static_cast<uint32_t>(
        GetDictPositionOfEntry(engine, slot, static_cast<int32_t>(s->currentEntry)));
    if (!s->showingResults) s->currentIndex = s->currentPosition;
  }
  NotifyAfterDelete(s);
  return 0;
}

void PrepareEditor(LookupSession* s, int32_t argument) {
  DictEngine* engine = s->engine;
  if (IsWritableUserDict(engine, s->currentSlot)) {
    s->editSlot = s->currentSlot;
    s->editLanguage = GetDictLanguage(engine, s->currentSlot);
    s->editEntry = argument == 0 ? s->currentEntry : kNone;
  } else {
    s->editSlot = FindDictByLanguages(engine, s->language, 65535);
    s->editEntry = kNone;
    s->editLanguage = s->language;
  }
  s->editReplaced = kNone;
}

// Replaces the entry `old` by a new one in one transaction: when the add
// fails the deletion is rolled back and the old entry stays (the entry
// functions bring the slot's count back in step with the file). The new
// uid, or -1 with *failure set.
int32_t ReplaceUserEntry(DictEngine* engine, uint16_t slot, uint32_t old, const WCHAR* word, const WCHAR* altword,
                         const WCHAR* pron, const WCHAR* defn, int* failure) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  *failure = 1;
  if (!s) return -1;
  EngineLockGuard lock;
  if (SqlBegin(s->db) != 0) return -1;
  const int deleted = DeleteUserDictEntry(engine, slot, static_cast<int32_t>(old));
  // An entry that is gone already leaves nothing to replace.
  if (deleted != 0 && deleted != kUserDictNoEntry) {
    SqlRollback(s->db);
    *failure = deleted & 0xFFFF;
    return -1;
  }
  const int32_t uid = AddUserDictEntry(engine, slot, word, altword, pron, defn);
  if (uid == -1) {
    SqlRollback(s->db);
    return -1;
  }
  if (SqlCommit(s->db) != 0) {
    if (SqlTransactionDepth(s->db) > 0) SqlRollback(s->db);
    return -1;
  }
  return uid;
}

}  // namespace

int LookupHandleCommand(LookupSession* s, uint32_t command, int32_t argument) {
  DictEngine* engine = s->engine;
  LookupRefreshAudioSet(s);
  switch (command) {
    case kLookupBack:
      if (s->historyCount == 0 || s->historyIndex + 1u >= s->historyCount) return 0;
      if (s->displayState != kLookupStateNormal) {
        s->historyIndex = 0;
        s->displayState = kLookupStateNormal;
      } else {
        ++s->historyIndex;
      }
      ShowHistoryRecord(s);
      return 0;
    case kLookupForward:
      if (s->historyCount == 0 || s->historyIndex == 0) return 0;
      --s->historyIndex;
      ShowHistoryRecord(s);
      return 0;
    case kLookupOtherLanguage:
    case kLookupOtherLanguageQuiet:
      SwitchLanguage(s, s->language == kLanguageChinese ? kLanguageEnglish : kLanguageChinese,
                     command == kLookupOtherLanguage);
      return 0;
    case kLookupChinese:
      SwitchLanguage(s, kLanguageChinese, true);
      return 0;
    case kLookupEnglish:
      SwitchLanguage(s, kLanguageEnglish, true);
      return 0;
    case kLookupNextDict:
      NextDictionary(s, argument);
      return 0;
    case kLookupDisplayMode: {
      SetPref(engine, kPrefDisplayMode, GetPref(engine, kPrefDisplayMode) ? 0 : 1);
      LookupUpdateRecord u{};
      u.definition = u.listRedraw = u.toolBar = 1;
      LookupSaveCheck(s, &u);
      LookupNotify(s, &u);
      return 0;
    }
    case kLookupToggleList:
    case kLookupToFullList:
    case kLookupToResults:
      SwitchLists(s, command);
      return 0;
    case kLookupAddCard:
    case kLookupAddCardAnyway:
    case kLookupAddCardExisting:
      AddCard(s, command, argument);
      return 0;
    case kLookupNextEntry: {
      uint32_t rows = 0;
      uint32_t index = 0;
      LookupGetCounts(s, &rows, &index);
      if (index + 1 < rows) ++index;
      LookupShowIndex(s, index, 1, 0);
      return 0;
    }
    case kLookupPreviousEntry: {
      uint32_t index = 0;
      LookupGetCounts(s, nullptr, &index);
      if (index > 0) --index;
      LookupShowIndex(s, index, 1, 0);
      return 0;
    }
    case kLookupTop: {
      FreeResultList(s->results);
      s->results = nullptr;
      s->currentEntry = 0;
      s->currentIndex = 0;
      s->currentPosition = kNone;
      s->displayState = kLookupStateNormal;
      LookupUpdateRecord u{};
      u.searchAgain = 1;
      LookupNotify(s, &u);
      return 0;
    }
    case kLookupEditPrepare:
      PrepareEditor(s, argument);
      return 0;
    case kLookupDeleteCurrent:
      return DeleteCurrentEntry(s);
    case kLookupEditDelete:
      return DeleteEditEntry(s);
    case kLookupEditLanguage: {
      const uint32_t language = s->editLanguage == kLanguageChinese ? kLanguageEnglish : kLanguageChinese;
      s->editLanguage = language;
      s->editEntry = kNone;
      s->editSlot = FindDictByLanguages(engine, language, 65535);
      s->editReplaced = kNone;
      return 0;
    }
    case kLookupEditShow:
      if (s->editSlot != kNoDictSlot && IsInstalled(engine, s->editSlot) && s->editEntry != kNone)
        LookupShowEntry(s, s->editSlot, s->editEntry);
      return 0;
    case kLookupEditReplace:
      if (s->editEntry != kNone) s->editReplaced = s->editEntry;
      return 0;
    default:
      return 0;
  }
}

int LookupIsCurrentDictUsable(LookupSession* s) {
  return IsDictSlotOpen(s->engine, s->currentSlot) && GetUserDictEditLock(s->engine, s->currentSlot) == 0 ? 1 : 0;
}

int LookupGetEditTarget(LookupSession* s, uint32_t* language, uint16_t* slot, uint32_t* entry, uint32_t* replaced) {
  if (language) *language = s->editLanguage;
  if (slot) *slot = s->editSlot;
  if (entry) *entry = s->editEntry;
  if (replaced) *replaced = s->editReplaced;
  return 0;
}

int LookupSetEditDict(LookupSession* s, uint16_t slot) {
  if (slot == kNoDictSlot || !IsWritableUserDict(s->engine, slot)) return 1;
  s->editSlot = slot;
  return 0;
}

int LookupReadEditEntry(LookupSession* s, MemHandle** word, MemHandle** altword, MemHandle** pron,
                        MemHandle** defn) {
  *word = nullptr;
  *altword = nullptr;
  *pron = nullptr;
  *defn = nullptr;
  if (s->editEntry == kNone || !IsDictSlotOpen(s->engine, s->editSlot)) return 0;
  return ReadUserDictEntry(s->engine, s->editSlot, static_cast<int32_t>(s->editEntry), word, altword, pron, defn);
}

int LookupSaveEditEntry(LookupSession* s, const WCHAR* word, const WCHAR* altword, const WCHAR* pron,
                        const WCHAR* defn) {
  DictEngine* engine = s->engine;
  if (s->editSlot != kNoDictSlot && !IsDictSlotOpen(engine, s->editSlot))
    s->editSlot = FindDictByLanguages(engine, s->editLanguage, 65535);
  if (s->editSlot == kNoDictSlot) {
    const int rc = CreateUserDictFileNamed(engine, s->editLanguage, 65535, nullptr);
    if (rc & 0xFFFF) return rc & 0xFFFF;
    s->editSlot = FindDictByLanguages(engine, s->editLanguage, 65535);
    if (s->editSlot == kNoDictSlot) return 1;
  }
  const uint16_t slot = s->editSlot;
  if (GetDictLanguage(engine, slot) == kLanguageEnglish) {
    altword = nullptr;
    pron = nullptr;
  }
  if (s->editEntry != kNone && s->editReplaced == kNone) {
    const auto uid = static_cast<int32_t>(s->editEntry);
    const int rc = !HostIsFlashcardIndexCurrent(engine)
                       ? TouchUserDictEntry(engine, slot, uid, defn)
                       : UpdateUserDictEntry(engine, slot, uid, word, altword, pron, defn);
    if (rc != 0) {
      s->editEntry = kNone;
      return 1;
    }
    return 0;
  }
  if (s->editReplaced != kNone) {
    int failure = 0;
    const int32_t uid = ReplaceUserEntry(engine, slot, s->editReplaced, word, altword, pron, defn, &failure);
    // A failed replacement leaves the old entry and the editor's target.
    if (uid == -1) return failure;
    s->editReplaced = kNone;
    s->editEntry = static_cast<uint32_t>(uid);
    return 0;
  }
  const int32_t uid = AddUserDictEntry(engine, slot, word, altword, pron, defn);
  s->editEntry = static_cast<uint32_t>(uid);
  return uid == -1 ? 1 : 0;
}
