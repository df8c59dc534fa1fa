// Entry fetch: the one way every caller gets an entry's display text, from a
// built-in dictionary (its primary and secondary records, formatted) or a
// user dictionary; and the look-ups that compare entries across
// dictionaries through it. Every call holds the engine lock: the engine's
// two record buffers and the slots' cursors are shared with worker threads.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct EntryFetchRequest;
struct FoldedPattern;
struct RawFieldsLayout;
struct SearchResultList;
struct SearchResultItem;
struct TextBuffer;

// Results of FetchDictEntryText besides 0 and 1 (slot out of range).
inline constexpr int kFetchSecondaryMissing = 65521;  // formatted without the secondary fields
inline constexpr int kFetchNoEntry = 65532;           // entry past the table's end: empty text
inline constexpr int kFetchUnreadable = 65534;        // the entry's record cannot be read: empty text
// Results from here to 65534 mean "no text" to the look-ups.
inline constexpr int kFetchNoTextFirst = 65528;
inline constexpr int kFetchNoTextLast = 65534;

// Fills the buffer with the entry's display text. On every result but 0 and
// 65521 the buffer holds an empty, terminated text.
int FetchDictEntryText(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer);

// Whether FindFolded(text, pattern, nullptr, true) finds the pattern in
// the text that FetchDictEntryText gives for a built-in entry with
// kFetchRawFields as the only option (`layout` made for the slot), for
// each of entries[0..count): results[i] 1 or 0, each record read only as
// far as the first match and never formatted; kRawFieldsUntold where it
// cannot be told so (a dictionary with secondary records, a user
// dictionary, an entry or record that cannot be read, a record buffer in
// use): fetch those texts. Entries in ascending order find each block once.
inline constexpr uint8_t kRawFieldsUntold = 2;
void FindFoldedInRawFields(DictEngine* engine, uint16_t slot, const uint32_t* entries, uint32_t count,
                           const RawFieldsLayout& layout, const FoldedPattern& pattern, uint8_t* results);

// Characters or syllables of the entry's headword: a user dictionary's
// stored length, table 0x1300 when the dictionary has it, else counted in
// the formatted headword (parentheses and brackets skipped). 0 when unknown.
uint16_t GetEntryWordLength(DictEngine* engine, uint16_t slot, uint32_t entry);
// The same for `count` result items at once (each item's entry taken
// through entryMask), into out[0..count): one lock for all, and each
// dictionary's length table block stays loaded between reads, so a search
// that ranks hundreds of results does not find the block again for each.
void GetEntryWordLengths(DictEngine* engine, const SearchResultItem* items, uint32_t count, uint32_t entryMask,
                         uint16_t* out);

// Among the first 32 results, the one whose first reading is that of the
// first Chinese character of the query in a character dictionary; 0 when
// the first result is it, none is, or the query cannot tell.
uint32_t PickResultByCharReading(DictEngine* engine, const SearchResultList* list, const WCHAR* query);
// The second half of it: among the first 32 results, the one whose first
// reading is the first reading of the given entry (field 0x21 of a
// character dictionary, else its class-1 field); 0 as above.
uint32_t PickResultByEntryReading(DictEngine* engine, const SearchResultList* list, uint16_t slot, uint32_t entry);
// Among the first 32 results, the one whose readings equal the syllable codes
// of `text`; 0 as above.
uint32_t PickResultBySyllables(DictEngine* engine, const SearchResultList* list, const WCHAR* text);
