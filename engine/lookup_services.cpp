#include "engine/lookup_services.h"

#include <cstring>

#include "engine/audio_index.h"
#include "engine/builtin_tables.h"
#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/engine_host.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/string_utils.h"
#include "engine/text_buffer.h"
#include "engine/text_compare.h"

namespace {

// The fetch of the homograph and marked-result checks: the pronunciation
// fields, raw, without styles.
constexpr uint32_t kPronFetchOptions = kFetchRawSyllables | kFetchSecondFormFirst | kFetchClassMask;
constexpr uint32_t kPickFetchUnits = 40;
constexpr uint32_t kHomographScanLimit = 64;
constexpr uint32_t kAudioTextUnits = 40;

constexpr WCHAR kCapitalMark = 0xE9F1;
constexpr WCHAR kEllipsis = 0x2026;

// The card commands and the duplicate modes they give.
constexpr uint32_t kCardCommandAddAnyway = 21;
constexpr uint32_t kCardCommandUseExisting = 22;
constexpr uint32_t kCardModeAddAnyway = 3;
constexpr uint32_t kCardModeUseExisting = 1;
constexpr uint32_t kCardModeAsk = 4;
constexpr int32_t kCardNoneCategory = -3;

bool IsFieldMark(WCHAR u) { return u >= kMarkField && u <= kMarkFieldLast; }
bool IsNoText(int rc) { return rc >= kFetchNoTextFirst && rc <= kFetchNoTextLast; }
bool IsOpenParen(WCHAR u) { return u == u'(' || u == 0xFF08; }
bool IsCloseParen(WCHAR u) { return u == u')' || u == 0xFF09; }

// Value of a superscript digit, or -1.
int SuperscriptValue(WCHAR c) {
  if (c >= 0x2070 && c <= 0x2079) return c - 0x2070;
  if (c == 0x00B9) return 1;
  if (c == 0x00B2) return 2;
  if (c == 0x00B3) return 3;
  return -1;
}

// The table mark a dictionary of the cycle must carry for a language.
bool HasLanguageMark(const DictOrderRecord* r, uint32_t language) {
  if (language == kLanguageChinese) return r->has1120 != 0;
  if (language == kLanguageEnglish) return r->has1130 != 0;
  return false;
}

int ListOfLanguage(DictEngine* engine, uint32_t language) {
  for (uint32_t l = 0; l < engine->orderListCount; ++l)
    if (engine->orderLists[l] && engine->orderLists[l]->language == language) return static_cast<int>(l);
  return -1;
}

// The pronunciation text of a result's entry in a 40-unit buffer; false
// when the fetch found no text.
bool FetchPronText(DictEngine* engine, uint16_t slot, uint32_t entry, WCHAR* out) {
  TextBuffer tb{out, kPickFetchUnits, nullptr, 0};
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = kPronFetchOptions;
  request.suppressStyles = 0xFFFFFFFFu;
  request.classMask = 0x2;
  out[0] = 0;
  return !IsNoText(FetchDictEntryText(engine, &request, &tb));
}

// Appends a built-in message (without its terminator).
int AppendMessage(TextBuffer* tb, uint32_t n) {
  MemHandle* m = GetMessageText(static_cast<int>(n));
  if (!m) return 1;
  const auto* text = static_cast<const WCHAR*>(LockMemHandle(m));
  int rc = TextBufAppendWide(tb, text, 0);
  UnlockMemHandle(m);
  FreeTableHandle(m);
  return rc;
}

bool IsChineseUnit(WCHAR u) { return u >= 0x3400 && u <= 0xD7FF; }
bool IsSyllableUnit(WCHAR u) { return u >= 0xE000 && u <= 0xE9EF; }

void SetCompoundsDict(DictEngine* engine, uint16_t slot) {
  SetPref(engine, kPrefCompoundsCreator, static_cast<int32_t>(GetDictCreator(engine, slot)));
  SetPref(engine, kPrefCompoundsDictId, GetDictId(engine, slot));
}

}  // namespace

// ---- search ----

void BuildLookupSearchRequest(DictEngine* engine, const WCHAR* text, uint32_t language, uint16_t slot,
                              uint32_t options, SearchRequest* request) {
  std::memset(request, 0, sizeof *request);
  const bool exact = options & kLookupExact;
  const bool reader = options & kLookupReaderList;
  const bool anyStart = options & kLookupAnyLanguageStart;
  request->query = text;
  request->language =
      static_cast<uint16_t>(anyStart && exact ? GetDictLanguage(engine, slot) : language);
  request->currentSlot = slot;
  request->anyLanguageStart = anyStart ? 1 : 0;
  const int32_t sort = GetPref(engine, kPrefSortMode);
  request->sortMode = (sort == 1 || sort == 2) ? static_cast<uint32_t>(sort) : 0;
  request->wholeSyllables = static_cast<uint8_t>(GetPref(engine, kPrefWholeSyllables));
  request->keepPartial = 1;
  request->wholeKey = 1;
  const int32_t exactLength = GetPref(engine, kPrefExactLength);
  request->exactLength = exactLength != 0 ? 1 : 0;
  request->strictExact = (exactLength != 0 && exactLength != 1) ? 1 : 0;
  request->partialIsExact = static_cast<uint8_t>(GetPref(engine, kPrefPartialIsExact));
  request->currentOnly =
      ((options & kLookupCurrentOnly) || (!exact && !reader && GetPref(engine, kPrefSearchScope) == 2)) ? 1 : 0;
  request->searchListOnly = reader ? 0 : 1;
  request->readerListOnly = reader ? 1 : 0;
  if (exact && reader) {
    request->kindMode = anyStart ? kKindModeByLanguage : kKindModeEnglishFirst;
  } else if (options & kLookupRepeat) {
    request->kindMode = kKindModeByLanguage;
  } else {
    switch (GetPref(engine, kPrefKindMode) & 0xFF) {
      case 1:
        request->kindMode = kKindModeBoth;
        break;
      case 2:
        request->kindMode = kKindModeBothNoPinyinTest;
        break;
      default:
        request->kindMode = kKindModeByLanguage;
        break;
    }
  }
  request->allLanguagesFirst = (options & kLookupAllLanguagesFirst) ? 1 : 0;
}

SearchResultList* RunLookupSearch(DictEngine* engine, const WCHAR* text, uint32_t language, uint16_t slot,
                                  uint32_t options) {
  if (!engine) return nullptr;
  SearchRequest request;
  BuildLookupSearchRequest(engine, text, language, slot, options, &request);
  return Search(engine, &request);
}

uint32_t ReadHomographMark(const WCHAR* text, uint16_t* number, uint8_t* capitalised) {
  uint32_t n = 0, value = 0;
  if (text) {
    for (int v; (v = SuperscriptValue(text[n])) >= 0; ++n) value = value * 10 + static_cast<uint32_t>(v);
  }
  if (number) *number = static_cast<uint16_t>(value);
  if (capitalised) *capitalised = (text && text[n] >= u'A' && text[n] <= u'Z') ? 1 : 0;
  return n;
}

uint32_t PickHomographResult(DictEngine* engine, const SearchResultList* list, uint16_t number, uint8_t capitalised) {
  const uint32_t count = GetResultListCount(list);
  const uint32_t limit = count < kHomographScanLimit ? count : kHomographScanLimit;
  for (uint32_t i = 0; i < limit; ++i) {
    SearchResultItem item;
    if (GetResultListItem(engine, list, i, &item) != 0) return 0;
    WCHAR text[kPickFetchUnits];
    if (!FetchPronText(engine, static_cast<uint16_t>(item.first & kResultSlotMask), item.entry, text)) continue;
    uint16_t found = 0;
    const uint32_t digits = ReadHomographMark(text, &found, nullptr);
    const bool capital = text[digits] == kCapitalMark;
    if ((number == 0 || found == number) && capital == (capitalised != 0)) return i;
  }
  return 0;
}

uint32_t PickMarkedResult(DictEngine* engine, const SearchResultList* list) {
  const uint32_t count = GetResultListCount(list);
  const int32_t wholeSyllables = GetPref(engine, kPrefWholeSyllables);
  const bool byRank = GetPref(engine, kPrefSortMode) == 2;
  WCHAR first[kPickFetchUnits] = {};
  bool haveFirst = false;
  for (uint32_t i = 0; i < count; ++i) {
    SearchResultItem item;
    if (GetResultListItem(engine, list, i, &item) != 0) break;
    const auto slot = static_cast<uint16_t>(item.first & kResultSlotMask);
    if (GetDictKind(engine, slot) != kDictKindBuiltIn ||
        static_cast<uint32_t>(GetDictId(engine, slot)) != kMarkedResultDictId)
      break;
    const uint32_t length = GetEntryWordLength(engine, slot, item.entry);
    if (length != list->bestMatch) {
      if (byRank && length > list->bestMatch) break;
      continue;
    }
    WCHAR text[kPickFetchUnits];
    if (!FetchPronText(engine, slot, item.entry, text)) continue;
    if (wholeSyllables == 0) {
      if (!haveFirst) {
        WideStrCopyN(first, text, kPickFetchUnits);
        haveFirst = true;
      } else if (!EntryTextsMatch(first, text)) {
        break;
      }
    }
    const uint32_t n = WideStrLen(text);
    if (n > 0 && text[n - 1] == u'*') return i;
  }
  return 0;
}

// ---- dictionary cycle ----

DictOrderSaved* FindDictOrderPosition(DictEngine* engine, uint16_t slot) {
  if (!engine) return nullptr;
  DictOrderRecord* r = FindDictOrderRecord(engine, slot);
  return r ? &r->saved : nullptr;
}

uint32_t CountCycleDictionaries(DictEngine* engine, uint32_t language, int fullText, int allLists, int pick,
                                uint32_t n) {
  const uint32_t none = pick ? kNoDictSlot : 0;
  if (!engine || engine->orderListCount == 0) return none;
  const int own = ListOfLanguage(engine, language);
  uint32_t seen = 0;
  auto visit = [&](const DictOrderList* list, bool everyItem, uint32_t* slot) {
    for (uint32_t i = 0; list && i < list->count; ++i) {
      const DictOrderRecord* r = &list->items[i];
      if (r->slot == kOrderNoSlot || !(r->saved.options & kDictOptionMenu)) continue;
      if (!everyItem && !HasLanguageMark(r, language)) continue;
      if (pick && seen == n) {
        *slot = r->slot;
        return true;
      }
      ++seen;
    }
    return false;
  };
  uint32_t slot = kNoDictSlot;
  if (!fullText && !allLists) {
    if (own < 0) return none;
    if (visit(engine->orderLists[own], true, &slot)) return slot;
    return pick ? kNoDictSlot : seen;
  }
  const uint32_t start = allLists && own >= 0 ? static_cast<uint32_t>(own) : 0;
  for (uint32_t k = 0; k < engine->orderListCount; ++k) {
    const DictOrderList* list = engine->orderLists[(start + k) % engine->orderListCount];
    if (visit(list, allLists && k == 0, &slot)) return slot;
  }
  return pick ? kNoDictSlot : seen;
}

uint16_t FindNextDictionary(DictEngine* engine, uint32_t language, uint16_t current, int32_t n, uint32_t options) {
  if (!engine) return kNoDictSlot;
  if (n >= 0)
    return static_cast<uint16_t>(CountCycleDictionaries(engine, language, (options & kCycleFullText) ? 1 : 0,
                                                        (options & kCycleAllListsToo) ? 1 : 0, 1,
                                                        static_cast<uint32_t>(n)));
  const uint32_t listCount = engine->orderListCount;
  if (listCount == 0) return kNoDictSlot;

  // Where the walk starts: just after the current dictionary's item.
  uint32_t startList = 0;
  int32_t currentItem = -1;
  for (uint32_t l = 0; l < listCount && currentItem < 0; ++l) {
    const DictOrderList* list = engine->orderLists[l];
    for (uint32_t i = 0; list && i < list->count; ++i) {
      if (current != kNoDictSlot && list->items[i].slot == current) {
        startList = l;
        currentItem = static_cast<int32_t>(i);
        break;
      }
    }
  }
  if (currentItem < 0) {
    const int own = ListOfLanguage(engine, language);
    startList = own >= 0 ? static_cast<uint32_t>(own) : 0;
  }

  auto qualifies = [&](const DictOrderRecord* r) {
    if (r->slot == kOrderNoSlot || r->slot == current) return false;
    if (!(r->saved.options & kDictOptionToolbar)) return false;
    if ((options & kCycleReaderList) && !(r->saved.options & kDictOptionReader)) return false;
    if ((options & kCycleSkipCharacterDicts) &&
        (GetDictFlags(engine, static_cast<uint16_t>(r->slot)) & kDictFlagCharDict))
      return false;
    if ((options & kCycleFullText) && !HasLanguageMark(r, language)) return false;
    return true;
  };
  // Items [from, to) of a list; the first that qualifies.
  auto walk = [&](uint32_t l, uint32_t from, uint32_t to, uint16_t* slot) {
    const DictOrderList* list = engine->orderLists[l];
    if (!list) return false;
    if (to > list->count) to = list->count;
    for (uint32_t i = from; i < to; ++i) {
      if (qualifies(&list->items[i])) {
        *slot = static_cast<uint16_t>(list->items[i].slot);
        return true;
      }
    }
    return false;
  };

  const bool every = options & (kCycleFullText | kCycleAllLists | kCycleAllListsToo);
  const uint32_t after = currentItem >= 0 ? static_cast<uint32_t>(currentItem) + 1 : 0;
  const uint32_t before = currentItem >= 0 ? static_cast<uint32_t>(currentItem) : 0;
  uint16_t slot = kNoDictSlot;
  if (!every) {
    if (walk(startList, after, UINT32_MAX, &slot)) return slot;
    if (walk(startList, 0, before, &slot)) return slot;
    return kNoDictSlot;
  }
  for (uint32_t k = 0; k <= listCount; ++k) {
    const uint32_t l = (startList + k) % listCount;
    const uint32_t from = k == 0 ? after : 0;
    const uint32_t to = k == listCount ? before : UINT32_MAX;
    if (walk(l, from, to, &slot)) return slot;
  }
  return kNoDictSlot;
}

// ---- entry text ----

int LoadBuiltinMessage(uint32_t n, MemHandle* handle) {
  if (!handle) return 1;
  MemHandle* m = GetMessageText(static_cast<int>(n));
  if (!m) return 1;
  const auto* text = static_cast<const WCHAR*>(LockMemHandle(m));
  const uint32_t bytes = (WideStrLen(text) + 1) * sizeof(WCHAR);
  int rc = 0;
  if (GetMemHandleSize(handle) < bytes && ResizeMemHandle(handle, bytes) != 0) {
    rc = 1;
  } else {
    std::memcpy(LockMemHandle(handle), text, bytes);
    UnlockMemHandle(handle);
  }
  UnlockMemHandle(m);
  FreeTableHandle(m);
  return rc;
}

void BuildEntryTextRequest(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t flags,
                           EntryFetchRequest* request) {
  std::memset(request, 0, sizeof *request);
  request->slot = slot;
  request->entry = entry;
  request->syllableFormat = GetCharsetModeCode(engine);
  if (flags & 0x2) {
    request->options |= kFetchOneLine;
  } else if (GetDictLanguage(engine, slot) == kLanguageChinese) {
    const int32_t enlarged = GetPref(engine, kPrefEnlargedSize);
    const int32_t normal = GetPref(engine, GetPref(engine, kPrefEnlargeWithOwnSize) ? kPrefChineseOwnSize
                                                                                      : kPrefChineseSize);
    if (enlarged > normal) {
      request->enlargedSize = static_cast<uint32_t>(enlarged);
      request->options |= kFetchEnlargeChinese;
    }
  }
  if (GetPref(engine, kPrefToneColors)) request->options |= kFetchToneColors;

  if (GetDictFlags(engine, slot) & kDictFlagCharDict) {
    // Headword and readings first; the main reading is fetched after them.
    request->options |= kFetchClassMask;
    request->classMask = 0x3;
    return;
  }
  const bool secondMode = ((flags & 0x1000000) != 0) != ((flags & 0x8) != 0);
  if (secondMode) request->options |= kFetchHiddenReplacesLast | kFetchMapCharVariants | kFetchSecondFormFirst;
  if (flags & 0x1) {
    request->classMask = 47;
    request->options |= kFetchDropHomographDigits | kFetchClassMask;
  }
  if (GetPref(engine, kPrefDictNameAfter)) request->options |= kFetchDictNameAfter;
  switch (GetPref(engine, kPrefOtherFormBracket)) {
    case 1:
      request->options |= kFetchOtherFormBracket | kFetchBracketDashMain;
      break;
    case 2:
      request->options |= kFetchOtherFormBracket;
      break;
    case 3:
      request->options |= kFetchOtherFormBracket | kFetchBracketDashMain | kFetchEnlargeBeforeBracket;
      break;
    case 4:
      request->options |= kFetchOtherFormBracket | kFetchEnlargeBeforeBracket;
      break;
    default:
      break;
  }
}

int FormatEntryText(DictEngine* engine, MemHandle* handle, uint16_t slot, uint32_t entry, uint32_t message,
                    uint32_t flags) {
  if (!handle) return 0;
  if (entry == 0xFFFFFFFFu) {
    LoadBuiltinMessage(message ? message : kMessageEntryDeleted, handle);
    return 0;
  }
  EntryFetchRequest request;
  BuildEntryTextRequest(engine, slot, entry, flags, &request);
  TextBuffer tb{};
  tb.handle = handle;
  if (!(GetDictFlags(engine, slot) & kDictFlagCharDict)) {
    if (FetchDictEntryText(engine, &request, &tb) == kFetchNoEntry) LoadBuiltinMessage(kMessageEntryDeleted, handle);
    return 0;
  }

  // A character dictionary: headword and readings, a space, then the main
  // reading, or the "no definition" message when it has none.
  MemHandle* part = NewMemHandle(64);
  if (!part) return 0;
  TextBuffer head{};
  head.handle = part;
  FetchDictEntryText(engine, &request, &head);
  TextBufInit(&tb);
  const auto* headText = static_cast<const WCHAR*>(LockMemHandle(part));
  TextBufAppendWide(&tb, headText, head.length);
  UnlockMemHandle(part);
  TextBufAppendChar(&tb, u' ');

  request.classMask = 0x8;
  if (GetPref(engine, kPrefDictNameAfter)) request.options |= kFetchDictNameAfter;
  TextBuffer reading{};
  reading.handle = part;
  FetchDictEntryText(engine, &request, &reading);
  if (reading.length < 2) {
    AppendMessage(&tb, kMessageNoDefinition);
  } else {
    const auto* readingText = static_cast<const WCHAR*>(LockMemHandle(part));
    TextBufAppendWide(&tb, readingText, reading.length);
    UnlockMemHandle(part);
  }
  FreeMemHandle(part);
  TextBufFinish(&tb);
  return 0;
}

int FetchEntryPart(DictEngine* engine, uint16_t slot, uint32_t entry, WCHAR* buffer, uint32_t size, int pronunciation,
                   int rawSyllables) {
  if (!buffer || size == 0) return 1;
  buffer[0] = 0;
  if (pronunciation && GetDictLanguage(engine, slot) != kLanguageChinese) return 0;
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = kFetchOneLine | kFetchClassMask;
  request.suppressStyles = 0xFFFFFFFFu;
  if (pronunciation) {
    request.syllableFormat = 4098;
    request.classMask = 0x2;
    if (rawSyllables) request.options |= kFetchRawSyllables;
  } else {
    request.classMask = 0x1;
    if (GetPref(engine, kPrefDisplayMode)) request.options |= kFetchHiddenReplacesLast | kFetchSecondFormFirst;
  }
  TextBuffer tb{buffer, size, nullptr, 0};
  return FetchDictEntryText(engine, &request, &tb);
}

// ---- audio ----

int CollectEntryAudioClips(DictEngine* engine, int fileSet, uint16_t slot, uint32_t entry, MemHandle* const* clips,
                           uint32_t* sizes, uint16_t* kind) {
  const uint16_t group = FindSyllableIndexGroup(engine, fileSet);
  if (group == kNoSyllableIndexGroup) return kAudioNoGroup;

  // The headword's characters outside parentheses.
  WCHAR text[kAudioTextUnits];
  WCHAR characters[kAudioTextUnits] = {};
  FetchEntryPart(engine, slot, entry, text, kAudioTextUnits, 0, 0);
  uint32_t p = IsFieldMark(text[0]) ? 1 : 0, n = 0, depth = 0;
  for (; text[p] && !IsFieldMark(text[p]); ++p) {
    const WCHAR u = text[p];
    if (IsOpenParen(u)) {
      ++depth;
    } else if (IsCloseParen(u)) {
      if (depth) --depth;
    } else if (depth == 0 && (IsChineseUnit(u) || u == kEllipsis) && n + 1 < kAudioTextUnits) {
      characters[n++] = u;
    }
  }

  // The syllables, with the tones that the entry sets for them.
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = kFetchRawSyllables | kFetchClassMask;
  request.classMask = 0x2;
  TextBuffer tb{text, kAudioTextUnits, nullptr, 0};
  text[0] = 0;
  FetchDictEntryText(engine, &request, &tb);
  WCHAR syllables[kAudioTextUnits] = {};
  uint8_t tones[kAudioTextUnits] = {};
  bool marked = false;
  p = IsFieldMark(text[0]) ? 1 : 0;
  n = 0;
  depth = 0;
  for (; text[p] && !IsFieldMark(text[p]); ++p) {
    const WCHAR u = text[p];
    if (IsOpenParen(u)) {
      ++depth;
    } else if (IsCloseParen(u)) {
      if (depth) --depth;
    } else if (depth == 0 && u >= 0xE9F3 && u <= 0xE9F7) {
      if (n < kAudioTextUnits) tones[n] = static_cast<uint8_t>(u - 0xE9F3);
      marked = true;
    } else if (depth == 0 && (IsSyllableUnit(u) || u == kEllipsis) && n + 1 < kAudioTextUnits) {
      syllables[n++] = u;
    }
  }

  if (kind) *kind = GetSyllableIndexGroupKind(engine, group);
  return LookupSyllableRecord(engine, group, syllables, characters, marked ? tones : nullptr, clips, sizes,
                              GetPref(engine, kPrefWholeWordAudio));
}

int UseAltAudioFileSet(DictEngine* engine, int flag) {
  switch (GetPref(engine, kPrefAudioFileSet)) {
    case 1:
      return 0;
    case 2:
      return 1;
    default:
      return flag == 0 ? 1 : 0;
  }
}

int ApplyAudioFileSetPref(DictEngine* engine, int defaultValue) {
  switch (GetPref(engine, kPrefAudioFileSet)) {
    case 3:
      return 1;
    case 4:
      return 0;
    default:
      return defaultValue;
  }
}

int CollectEntryAudioAlternating(DictEngine* engine, uint8_t* audioSet, uint16_t slot, uint32_t entry,
                                 MemHandle* const* clips, uint32_t* sizes, uint16_t* kind) {
  const int set = UseAltAudioFileSet(engine, audioSet ? *audioSet : 0);
  if (audioSet) *audioSet = static_cast<uint8_t>(set);
  const int rc = CollectEntryAudioClips(engine, set, slot, entry, clips, sizes, kind);
  // Any miss sends the player to the other set: the audio index reports a
  // missing record as 28674, not only as "no group".
  if (rc == kClipFound) return rc;
  return CollectEntryAudioClips(engine, set ? 0 : 1, slot, entry, clips, sizes, kind);
}

// ---- buttons ----

int GetDictDisplayInfo(DictEngine* engine, uint16_t slot, LookupButtonInfo* info) {
  if (!info) return 0;
  std::memset(info, 0, sizeof *info);
  info->code = 14;
  info->reserved = -1;
  if (const DictOrderSaved* saved = FindDictOrderPosition(engine, slot)) {
    for (uint32_t i = 0; i < 3; ++i) info->iconText[i] = saved->iconText[i];
    info->iconText[3] = 0;
    info->iconFillColor = saved->iconFillColor;
    info->iconTextColor = saved->iconTextColor;
  } else {
    GetDictIconText(engine, slot, info->iconText, kDictIconBufferUnits);
    info->iconFillColor = GetDictIconColor(engine, slot);
    info->iconTextColor = 0xFFFFFFFFu;
  }
  return 0;
}

// ---- compounds ----

uint16_t GetCompoundsDict(DictEngine* engine) {
  if (!engine) return kNoDictSlot;
  const uint16_t slot = FindDictSlot(engine, static_cast<uint32_t>(GetPref(engine, kPrefCompoundsCreator)),
                                     static_cast<uint32_t>(GetPref(engine, kPrefCompoundsDictId)));
  if (slot != kNoDictSlot && slot < GetDictCount(engine) && GetDictLanguage(engine, slot) == kLanguageChinese)
    return slot;
  const uint16_t next =
      FindNextDictionary(engine, kLanguageChinese, kNoDictSlot, -1, kCycleReaderList | kCycleSkipCharacterDicts);
  if (next != kNoDictSlot) SetCompoundsDict(engine, next);
  return next;
}

int SwitchCompoundsDict(DictEngine* engine) {
  const uint16_t current = GetCompoundsDict(engine);
  const uint16_t next =
      FindNextDictionary(engine, kLanguageChinese, current, -1, kCycleReaderList | kCycleSkipCharacterDicts);
  if (next == kNoDictSlot || next == current) return 0;
  SetCompoundsDict(engine, next);
  return 1;
}

int GetCompoundsDictInfo(DictEngine* engine, LookupButtonInfo* info) {
  if (!info) return 0;
  const uint16_t slot = GetCompoundsDict(engine);
  if (slot == kNoDictSlot) {
    std::memset(info, 0, sizeof *info);
    return 0;
  }
  return GetDictDisplayInfo(engine, slot, info);
}

SearchResultList* SearchCompoundsDict(DictEngine* engine, const WCHAR* query, uint32_t flags) {
  const uint16_t slot = GetCompoundsDict(engine);
  if (slot == kNoDictSlot) return nullptr;
  SearchResultList* list =
      RunLookupSearch(engine, query, kLanguageChinese, slot, (flags & 0x1) ? 0u : uint32_t{kLookupCurrentOnly});
  if ((flags & 0x1) && GetResultListCount(list) > 0) {
    const auto found = static_cast<uint16_t>(list->items[0].first & kResultSlotMask);
    if (found != slot) SetCompoundsDict(engine, found);
  }
  return list;
}

SearchResultList* FindCompoundsStartingWith(DictEngine* engine, WCHAR character, uint32_t flags) {
  const WCHAR query[3] = {character, static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard)), 0};
  return SearchCompoundsDict(engine, query, flags);
}

SearchResultList* FindCompoundsEndingWith(DictEngine* engine, WCHAR character, uint32_t flags) {
  const WCHAR query[4] = {static_cast<WCHAR>(GetPref(engine, kPrefSingleWildcard)),
                          static_cast<WCHAR>(GetPref(engine, kPrefAnyWildcard)), character, 0};
  return SearchCompoundsDict(engine, query, flags);
}

void FillLookupCardRecord(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t command, int32_t argument,
                          CardEditRecord* record, int32_t* category) {
  std::memset(record, 0, sizeof *record);
  record->scorefile = -1;
  record->linked = 1;
  record->dictSlot = slot;
  record->entry = entry;
  record->duplicateMode = command == kCardCommandAddAnyway     ? kCardModeAddAnyway
                          : command == kCardCommandUseExisting ? kCardModeUseExisting
                                                               : static_cast<uint32_t>(GetPref(engine, kPrefCardMode));
  *category = argument;
  if (*category < 0 && *category != kCardNoneCategory) *category = GetPref(engine, kPrefDefaultCategory);
  if (*category >= 0) {
    record->categories = category;
    record->categoryCount = 1;
  }
}

uint32_t LookupCardResult(int32_t card, const CardEditRecord* record) {
  if (card == -1) return 2;
  if (!record->usedExisting) return 1;
  if (record->duplicateMode == kCardModeAsk) return 6;
  if (record->filed) return 5;
  return 4;
}
