#include "engine/entry_fetch.h"

#include <cstring>

#include "engine/data_file_db.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/entry_formatter.h"
#include "engine/latin_fold.h"
#include "engine/mem_handle.h"
#include "engine/search_results.h"
#include "engine/table_cursor.h"
#include "engine/text_buffer.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_display.h"
#include "platform/engine_lock.h"

namespace {

constexpr uint32_t kRecordBufferBytes = 64;
constexpr uint32_t kSecondaryFirstField = 12;  // in the secondary table's info header
constexpr uint32_t kFieldClassWord = 372;
constexpr uint32_t kWordLengthFlags = 0x201050;
constexpr uint32_t kWordLengthTable = 0x1300;
constexpr uint32_t kTableFlagsWord = 8;
// Long enough for the longest query (39 characters) and its terminator:
// a smaller buffer would cap the length it counts.
constexpr uint32_t kWordLengthUnits = 48;
constexpr uint32_t kPickUnits = 40;
constexpr uint32_t kPickMaxResults = 32;
constexpr uint32_t kPickMaxSyllables = 39;
constexpr uint32_t kCharReadingField = 0x21;
constexpr uint32_t kPickReadingOptions = kFetchRawSyllables | kFetchOneField;
constexpr uint32_t kPickSyllableOptions = kFetchRawSyllables | kFetchSecondFormFirst | kFetchClassMask;
constexpr uint32_t kPickSyllableClasses = 0x2;  // class 1, the readings

bool IsSyllableCode(WCHAR u) { return u >= 0xE000 && u <= 0xE9EF; }
bool IsNoText(int rc) { return rc == 1 || (rc >= kFetchNoTextFirst && rc <= kFetchNoTextLast); }

void EmptyText(TextBuffer* buffer) {
  TextBufInit(buffer);
  TextBufFinish(buffer);
}

// One record buffer with the cursor that fills it: the engine's own when
// free, else (a fetch inside a fetch) a buffer and cursor of this call's.
// A locked engine buffer is the in-use mark.
struct RecordBuffer {
  MemHandle* handle = nullptr;
  TableCursor* cursor = nullptr;
  bool ownHandle = false;
  bool ownCursor = false;

  bool Take(DictEngine* engine, int which, TableCursor* shared) {
    MemHandle*& kept = engine->entryText[which];
    if (!kept) kept = NewMemHandle(kRecordBufferBytes);
    if (kept && GetMemHandleLockCount(kept) == 0) {
      handle = kept;
      cursor = shared;
    } else {
      handle = NewMemHandle(kRecordBufferBytes);
      cursor = CloneTableCursor(shared);
      ownHandle = true;
      ownCursor = true;
      if (!handle || !cursor) return false;
    }
    LockMemHandle(handle);
    return true;
  }
  void Release() {
    if (handle) {
      if (GetMemHandleLockCount(handle) > 0) UnlockMemHandle(handle);
      if (ownHandle) FreeMemHandle(handle);
    }
    if (ownCursor) FreeTableCursor(cursor);
    *this = RecordBuffer{};
  }
  // The entry's record into the buffer: its length in bytes (whole units).
  bool Read(uint32_t entry, uint32_t* bytes) {
    *bytes = 0;
    if (ReadTableRecord(cursor, 0, entry, handle, nullptr, 0, bytes) != kReadRecordOk) return false;
    *bytes &= ~1u;
    return true;
  }
};

// Whether the request needs fields that only the secondary record holds.
bool NeedsSecondary(DictEngine* engine, uint16_t slot, const DictSlot* s, const EntryFetchRequest* request) {
  if (!(request->options & kFetchClassMask)) return true;
  if (!s->secondaryHeader || s->secondaryHeaderSize < kSecondaryFirstField + 4) return true;
  const uint32_t firstField = LoadLe32(s->secondaryHeader + kSecondaryFirstField);
  const uint32_t fields = GetDictFieldCount(engine, slot);
  int64_t last = -1;
  for (uint32_t f = 0; f < fields; ++f) {
    const uint8_t* d = GetDictFieldDescriptor(engine, slot, f);
    if (!d) continue;
    uint32_t cls = (LoadLe32(d + kFieldClassWord) >> 8) & 0xF;
    if (cls < 6 && ((request->classMask >> cls) & 1)) last = f;
  }
  return last < 0 || static_cast<uint32_t>(last) >= firstField;
}

int FetchBuiltIn(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer) {
  const uint16_t slot = static_cast<uint16_t>(request->slot);
  DictSlot* s = engine->slots[slot];
  if (!s->primary) {
    EmptyText(buffer);
    return kFetchUnreadable;
  }
  if (request->entry >= GetTableEntryCount(s->primary)) {
    EmptyText(buffer);
    return kFetchNoEntry;
  }

  int result = 0;
  RecordBuffer primary;
  uint32_t primaryBytes = 0;
  if (!primary.Take(engine, 0, s->primary) || !primary.Read(request->entry, &primaryBytes)) {
    primary.Release();
    EmptyText(buffer);
    return kFetchUnreadable;
  }

  RecordBuffer secondary;
  uint32_t secondaryBytes = 0;
  if (s->secondary && NeedsSecondary(engine, slot, s, request)) {
    if (request->entry >= GetTableEntryCount(s->secondary) || !secondary.Take(engine, 1, s->secondary) ||
        !secondary.Read(request->entry, &secondaryBytes)) {
      result = kFetchSecondaryMissing;
      secondaryBytes = 0;
    }
  }

  // The secondary text follows the primary text, and a 0 unit ends both.
  const uint32_t need = primaryBytes + secondaryBytes + 2;
  bool joined = true;
  if (GetMemHandleSize(primary.handle) < need) {
    UnlockMemHandle(primary.handle);
    joined = ResizeMemHandle(primary.handle, need) == 0;
    LockMemHandle(primary.handle);
  }
  if (!joined) {
    secondary.Release();
    primary.Release();
    EmptyText(buffer);
    return kFetchUnreadable;
  }
  auto* data = static_cast<uint8_t*>(primary.handle->data);
  if (secondaryBytes) std::memcpy(data + primaryBytes, secondary.handle->data, secondaryBytes);
  data[primaryBytes + secondaryBytes] = 0;
  data[primaryBytes + secondaryBytes + 1] = 0;

  if (primaryBytes > 0) {
    FormatDictEntryText(engine, request, reinterpret_cast<const WCHAR*>(data), (primaryBytes + secondaryBytes) / 2,
                        buffer);
  } else {
    EmptyText(buffer);
  }
  secondary.Release();
  primary.Release();
  return result;
}

// The first syllable code of an entry fetched with these options; 0 when it
// has none. *rc receives the fetch result.
WCHAR FirstSyllable(DictEngine* engine, uint32_t slot, uint32_t entry, uint32_t options, uint32_t classMask,
                    uint32_t field, int* rc) {
  WCHAR text[kPickUnits];
  TextBuffer tb{text, kPickUnits, nullptr, 0};
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = options;
  request.classMask = classMask;
  request.fieldIndex = field;
  *rc = FetchDictEntryText(engine, &request, &tb);
  if (IsNoText(*rc)) return 0;
  for (uint32_t i = 0; i < tb.length; ++i)
    if (IsSyllableCode(text[i])) return text[i];
  return 0;
}

uint32_t CollectSyllables(const WCHAR* text, uint32_t length, WCHAR* out) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < length && text[i] && n < kPickMaxSyllables; ++i)
    if (IsSyllableCode(text[i])) out[n++] = text[i];
  return n;
}

// The dictionary's word-length table (0x1300 with its flags), or null.
TableCursor* WordLengthTable(DictEngine* engine, uint16_t slot) {
  TableCursor* lengths = FindDictTableCursor(engine, slot, kWordLengthTable);
  if (!lengths) return nullptr;
  const uint8_t* info = GetTableInfoArea(lengths);
  if (!info || GetTableInfoAreaSize(lengths) < kTableFlagsWord + 4 || LoadLe32(info + kTableFlagsWord) != kWordLengthFlags)
    return nullptr;
  return lengths;
}

// A built-in entry's length counted in its formatted headword.
uint16_t CountedWordLength(DictEngine* engine, uint16_t slot, uint32_t entry);

}  // namespace

int FetchDictEntryText(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer) {
  if (!buffer) return 1;
  EngineLockGuard lock;
  if (!engine || !request || request->slot >= engine->slotCount || !engine->slots[request->slot]) {
    EmptyText(buffer);
    return 1;
  }
  if (engine->slots[request->slot]->kind == kDictKindUser) {
    // Reset and terminated either way, as for a built-in entry.
    TextBufInit(buffer);
    const int result = LoadUserDictEntryText(engine, request, buffer);
    TextBufFinish(buffer);
    return result;
  }
  return FetchBuiltIn(engine, request, buffer);
}

void FindFoldedInRawFields(DictEngine* engine, uint16_t slot, const uint32_t* entries, uint32_t count,
                           const RawFieldsLayout& layout, const FoldedPattern& pattern, uint8_t* results) {
  EngineLockGuard lock;
  std::memset(results, kRawFieldsUntold, count);
  if (!engine || slot >= engine->slotCount || !engine->slots[slot]) return;
  DictSlot* s = engine->slots[slot];
  if (s->kind != kDictKindBuiltIn || !s->primary || s->secondary) return;
  // A fetch in progress owns the shared cursor.
  if (engine->entryText[0] && GetMemHandleLockCount(engine->entryText[0]) != 0) return;
  TableCursor* cursor = s->primary;
  const uint32_t entryCount = GetTableEntryCount(cursor);
  RecordUnitStream stream{};  // the table's codes found once for all
  for (uint32_t i = 0; i < count; ++i) {
    // The records a little ahead, while this one is read: the row entry of
    // one, then (its entry in the cache by then) the record's first bytes.
    if (i + 2 < count) PrefetchTableRecord(cursor, 0, entries[i + 2], false);
    if (i + 5 < count) PrefetchTableRecord(cursor, 0, entries[i + 5], true);
    if (entries[i] >= entryCount || OpenRecordUnitStream(cursor, 0, entries[i], &stream) != kReadRecordOk) continue;
    RawFieldsState text;
    FoldedMatch match;
    StartRawFieldsText(&text);
    StartFoldedMatch(&match);
    // Inlined whole: the loop keeps the state of both in registers.
    auto out = [&](WCHAR c) __attribute__((always_inline)) { FeedFoldedMatch(pattern, &match, c); };
    VisitRecordUnits(&stream, [&](WCHAR u) __attribute__((always_inline)) {
      if (u == 0) return false;  // the text ends at its first 0 unit
      FeedRawFieldsText(layout, &text, u, out);
      return !match.found;
    });
    EndRecordUnitStream(cursor);
    results[i] = match.found ? 1 : 0;
  }
}

uint16_t GetEntryWordLength(DictEngine* engine, uint16_t slot, uint32_t entry) {
  EngineLockGuard lock;
  if (!engine || slot >= engine->slotCount || !engine->slots[slot]) return 0;
  if (engine->slots[slot]->kind == kDictKindUser) return GetUserDictEntryLength(engine, slot, static_cast<int32_t>(entry));

  if (TableCursor* lengths = WordLengthTable(engine, slot); lengths && entry < GetTableEntryCount(lengths)) {
    uint32_t stored = ReadSingleValue(lengths, 0, entry);
    ResetCursor(lengths);
    return static_cast<uint16_t>(stored + 1);
  }
  return CountedWordLength(engine, slot, entry);
}

void GetEntryWordLengths(DictEngine* engine, const SearchResultItem* items, uint32_t count, uint32_t entryMask,
                         uint16_t* out) {
  EngineLockGuard lock;
  // The table of the slot last seen; its cursor is reset when the slot
  // changes and at the end, so no block stays locked after the call.
  uint32_t lastSlot = 0xFFFFFFFF;
  TableCursor* lengths = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t slot = items[i].first & kResultSlotMask;
    const uint32_t entry = items[i].entry & entryMask;
    if (slot != lastSlot) {
      if (lengths) ResetCursor(lengths);
      lengths = nullptr;
      lastSlot = slot;
      if (engine && slot < engine->slotCount && engine->slots[slot] && engine->slots[slot]->kind != kDictKindUser)
        lengths = WordLengthTable(engine, static_cast<uint16_t>(slot));
    }
    if (lengths && entry < GetTableEntryCount(lengths))
      out[i] = static_cast<uint16_t>(ReadSingleValue(lengths, 0, entry) + 1);
    else
      out[i] = GetEntryWordLength(engine, static_cast<uint16_t>(slot), entry);
  }
  if (lengths) ResetCursor(lengths);
}

namespace {

uint16_t CountedWordLength(DictEngine* engine, uint16_t slot, uint32_t entry) {
  WCHAR text[kWordLengthUnits];
  TextBuffer tb{text, kWordLengthUnits, nullptr, 0};
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = kFetchClassMask;
  request.classMask = 0x1;  // the headword, class 0
  request.suppressStyles = 0xFFFFFFFFu;
  int rc = FetchDictEntryText(engine, &request, &tb);
  if (IsNoText(rc)) return 0;
  return static_cast<uint16_t>(CountKeyChars(text, 0));
}

}  // namespace

uint32_t PickResultByCharReading(DictEngine* engine, const SearchResultList* list, const WCHAR* query) {
  EngineLockGuard lock;
  if (!engine || !list || list->count < 2 || list->bestMatch > 1 || !query) return 0;
  WCHAR ch = 0;
  for (const WCHAR* q = query; *q; ++q) {
    WCHAR u = *q;
    if (u >= 0x3400 && u <= 0xD7FF) {
      ch = u;
      break;
    }
    // A reading typed before the character: the query is not about it.
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= 0x3105 && u <= 0x3129)) return 0;
  }
  if (!ch) return 0;

  uint16_t charSlot = kNoDictSlot;
  int32_t charEntry = -1;
  FindEntryInFlaggedDicts(engine, ch, &charSlot, &charEntry);
  if (charSlot == kNoDictSlot || charEntry < 0) return 0;
  return PickResultByEntryReading(engine, list, charSlot, static_cast<uint32_t>(charEntry));
}

uint32_t PickResultByEntryReading(DictEngine* engine, const SearchResultList* list, uint16_t slot, uint32_t entry) {
  EngineLockGuard lock;
  if (!engine || !list || list->count < 2) return 0;
  int rc = 0;
  WCHAR reading = FirstSyllable(engine, slot, entry, kPickReadingOptions, 0, kCharReadingField, &rc);
  if (!reading) reading = FirstSyllable(engine, slot, entry, kPickSyllableOptions, kPickSyllableClasses, 0, &rc);
  if (!reading) return 0;

  const uint32_t n = list->count < kPickMaxResults ? list->count : kPickMaxResults;
  for (uint32_t i = 0; i < n; ++i) {
    const SearchResultItem& item = list->items[i];
    WCHAR code = FirstSyllable(engine, item.first & kResultSlotMask, item.entry, kPickSyllableOptions,
                               kPickSyllableClasses, 0, &rc);
    if (IsNoText(rc)) return 0;
    if (code == reading) return i;
  }
  return 0;
}

uint32_t PickResultBySyllables(DictEngine* engine, const SearchResultList* list, const WCHAR* text) {
  EngineLockGuard lock;
  if (!engine || !list || list->count < 2 || !text || !*text) return 0;
  WCHAR wanted[kPickMaxSyllables];
  uint32_t wantedCount = 0;
  for (const WCHAR* t = text; *t && wantedCount < kPickMaxSyllables; ++t)
    if (IsSyllableCode(*t)) wanted[wantedCount++] = *t;
  if (wantedCount == 0) return 0;

  const uint32_t n = list->count < kPickMaxResults ? list->count : kPickMaxResults;
  for (uint32_t i = 0; i < n; ++i) {
    const SearchResultItem& item = list->items[i];
    WCHAR buf[kPickUnits];
    TextBuffer tb{buf, kPickUnits, nullptr, 0};
    EntryFetchRequest request{};
    request.slot = item.first & kResultSlotMask;
    request.entry = item.entry;
    request.options = kPickSyllableOptions;
    request.classMask = kPickSyllableClasses;
    if (IsNoText(FetchDictEntryText(engine, &request, &tb))) continue;
    WCHAR codes[kPickMaxSyllables];
    uint32_t count = CollectSyllables(buf, tb.length, codes);
    if (count == wantedCount && std::memcmp(codes, wanted, count * sizeof(WCHAR)) == 0) return i;
  }
  return 0;
}
