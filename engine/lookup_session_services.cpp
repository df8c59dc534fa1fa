// The lookup services that work on the main screen's session: dictionary
// notices and the dictionary cycle, the definition and list-row texts, the
// highlight in a definition, the entry's pronunciation clips and the
// tool-bar button states.
#include <cstring>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/latin_fold.h"
#include "engine/lookup_services.h"
#include "engine/lookup_session.h"
#include "engine/preferences.h"
#include "engine/string_utils.h"
#include "engine/text_buffer.h"

namespace {

int AllLists(LookupSession* s) {
  DictEngine* engine = s->engine;
  return (s->language == kLanguageEnglish && GetPref(engine, kPrefEnglishAllLists)) ||
                 (s->language == kLanguageChinese && GetPref(engine, kPrefChineseAllLists))
             ? 1
             : 0;
}

}  // namespace

int LookupNotifyDictChanged(LookupSession* s) {
  LookupUpdateRecord u{};
  u.toolBar = 1;
  if (GetPref(s->engine, kPrefDictNotice)) u.dictNotice = 1;
  s->query[0] = 0;
  s->dictChosen = 0;
  return LookupNotify(s, &u);
}

uint32_t LookupCountCycleDicts(LookupSession* s, uint32_t buttonKind) {
  if (buttonKind != 3) return 0;
  return CountCycleDictionaries(s->engine, s->language, s->fullText ? 1 : 0, AllLists(s), 0, 0);
}

int LookupGetCycleDictMenuName(LookupSession* s, uint32_t buttonKind, uint32_t n, WCHAR* buffer, uint32_t size) {
  if (size == 0) return 0;
  buffer[0] = 0;
  if (buttonKind != 3) return 0;
  const uint32_t slot = CountCycleDictionaries(s->engine, s->language, s->fullText ? 1 : 0, AllLists(s), 1, n);
  if (slot < GetDictCount(s->engine)) GetDictMenuName(s->engine, static_cast<uint16_t>(slot), buffer, size);
  return 0;
}

int LookupGetDictMenuName(LookupSession* s, WCHAR* buffer, uint32_t size) {
  if (size == 0) return 0;
  buffer[0] = 0;
  GetDictMenuName(s->engine, s->currentSlot, buffer, size);
  return 0;
}

int LookupFormatCurrentEntry(LookupSession* s, MemHandle* handle, uint32_t flags) {
  uint32_t f = flags & 0xFFFFFF;
  if (GetPref(s->engine, kPrefDisplayMode)) f += 0x1000000;
  return FormatEntryText(s->engine, handle, s->currentSlot, s->currentEntry, s->displayState, f);
}

int LookupFetchEntry(LookupSession* s, WCHAR* buffer, uint32_t size, int pronunciation) {
  return FetchEntryPart(s->engine, s->currentSlot, s->currentEntry, buffer, size, pronunciation, 0);
}

int FormatLookupEntryToBuffer(LookupSession* s, uint32_t row, WCHAR* buffer, uint32_t size) {
  if (!buffer || size == 0) return 1;
  buffer[0] = 0;
  DictEngine* engine = s->engine;
  uint16_t slot = kNoDictSlot;
  uint32_t entry = static_cast<uint32_t>(-1);
  if (GetLookupDisplayItem(s, row, &slot, &entry) != 0) return 1;
  if (entry == static_cast<uint32_t>(-1)) return 0;
  EntryFetchRequest request;
  std::memset(&request, 0, sizeof request);
  request.slot = slot;
  request.entry = entry;
  request.options = kFetchOneLine;
  request.syllableFormat = GetCharsetModeCode(engine);
  if (GetPref(engine, kPrefDisplayMode))
    request.options |= kFetchSecondFormFirst | kFetchHiddenReplacesLast | kFetchMapCharVariants;
  if (GetPref(engine, kPrefRowToneColors)) request.options |= kFetchToneColors;
  if (GetDictFlags(engine, slot) & kDictFlagCharDict) {
    request.options |= kFetchClassMask;
    request.classMask = 3;
  }
  TextBuffer tb{};
  tb.data = buffer;
  tb.capacity = size;
  TextBufInit(&tb);
  FetchDictEntryText(engine, &request, &tb);
  TextBufFinish(&tb);
  return 0;
}

int FindQueryInEntryText(LookupSession* s, const WCHAR* text, uint32_t* start, uint32_t* end) {
  *start = 0;
  *end = 0;
  if (!text || s->highlight[0] == 0) return 1;
  uint32_t length = 0;
  const WCHAR* at = s->language == kLanguageChinese ? FindText(text, s->highlight, &length)
                                                    : FindFolded(text, s->highlight, &length, true);
  if (!at) return 1;
  *start = static_cast<uint32_t>(at - text);
  *end = *start + length;
  return 0;
}

int GetLookupEntryAudio(LookupSession* s, MemHandle* const* clips, uint32_t* sizes, uint16_t* kind) {
  return CollectEntryAudioAlternating(s->engine, &s->audioSet, s->currentSlot, s->currentEntry, clips, sizes, kind);
}

int LookupGetNavState(LookupSession* s, uint32_t which, LookupButtonInfo* info) {
  info->code = 0;
  switch (which) {
    case 0:
      info->code = s->historyCount > 0 && s->historyIndex > 0 ? 1 : 2;
      break;
    case 1:
      info->code = s->historyIndex + 1u < s->historyCount ? 3 : 4;
      break;
    case 2:
      if (s->language == kLanguageEnglish) info->code = s->fullText ? 7 : 5;
      if (s->language == kLanguageChinese) info->code = s->fullText ? 8 : 6;
      break;
    case 3:
      GetDictDisplayInfo(s->engine, s->currentSlot, info);
      break;
    case 4:
      info->code = GetPref(s->engine, kPrefDisplayMode) ? 10 : 9;
      break;
    case 5:
      info->code = s->showingResults ? 12 : 11;
      break;
    case 6:
      info->code = 13;
      break;
    default:
      break;
  }
  return 0;
}
