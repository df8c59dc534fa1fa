// Syllable index groups: how pronunciation clips are found.
//
// A group is an index table of type 0x7010 (table 0 of its data file) with
// the clip tables (type 0x7000, in any file) that it names.
//
// Index table info area (little-endian): word 0 id, bytes 4-5 clip list
// count, bytes 8-9 kind, word 3 flags (bits 0 and 1: which of two kinds of
// sets; groups sharing a bit compete and the higher id stays), word 4 the
// format marker 512, then from byte 84 one 72-byte descriptor per clip list
// whose first 16-bit value is its number of clip tables.
// Index record (column 0, searched by text in mode 7): word A (0x1000: the
// clip belongs to 一 or 不 only; bits 8-11 clip list; bits 0-7 clip table),
// word B (the row of the clip table), then the key text: syllable codes
// U+E000 + syllable × 5 + tone of one syllable or a whole word, at most 19
// units.
// Clip table info area: word 0 the id of its group, bytes 4-5 its clip list,
// bytes 8-9 its place in that list. The clip is column 0 of row B.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DataFileDb;
struct DictEngine;
struct MemHandle;
struct TableCursor;

inline constexpr uint32_t kSyllableIndexTableType = 0x7010;
inline constexpr uint32_t kClipTableType = 0x7000;
inline constexpr uint32_t kSyllableIndexFormat = 512;
inline constexpr uint32_t kClipListDescriptorsAt = 84;
inline constexpr uint32_t kClipListDescriptorSize = 72;
// Word A can name no more than these.
inline constexpr uint32_t kMaxClipLists = 16;
inline constexpr uint32_t kMaxClipTablesPerList = 256;
// Whole-word and syllable clips handed back by LookupSyllableRecord.
inline constexpr uint32_t kMaxSyllableClips = 8;
inline constexpr uint16_t kNoSyllableIndexGroup = 65535;

// Result codes.
enum : int {
  kClipFound = 0,
  kClipNoGroup = 28673,      // 0x7001
  kClipNoRecord = 28674,     // 0x7002: no record, or one for 一/不 only
  kClipNoList = 28675,       // 0x7003
  kClipNoTable = 28676,      // 0x7004: no such table in the list, or its slot is empty
  kClipEmpty = 28677,        // 0x7005
};

struct ClipList {
  uint16_t tableCount;
  TableCursor** tables;  // tableCount slots, null when empty
};

struct SyllableIndexGroup {
  TableCursor* indexCursor;
  uint32_t id;
  uint32_t flags;
  uint16_t listCount;
  uint16_t kind;
  ClipList* lists;
};

// Replaces the engine's groups with those of the readers (see the top).
void LoadSyllableIndexGroups(DictEngine* engine, DataFileDb* const* readers, uint32_t count);
void FreeSyllableIndexGroups(DictEngine* engine);

uint32_t GetSyllableIndexGroupCount(DictEngine* engine);
// 1 when n is below the group count.
int EnsureSyllableIndexGroup(DictEngine* engine, uint32_t n);
int IsSyllableIndexGroupUsable(DictEngine* engine, uint32_t n);
// 1 when every clip slot of group n holds a table.
int IsSyllableIndexGroupComplete(DictEngine* engine, uint32_t n);
// 65535 without groups; else the first group with flag bit 0 (which 0) or
// bit 1 (which 1), 0 when none has it.
uint16_t FindSyllableIndexGroup(DictEngine* engine, int which);
uint16_t GetSyllableIndexGroupKind(DictEngine* engine, uint32_t n);  // 0 for no group

// The clip of one key in group n. `characters` (optional) are the text's
// characters: a record for 一/不 only needs them to begin with one of the
// two. Without a handle only the record is checked. With one, the clip is
// read into it (grown as needed) and *size (optional) is its byte count.
int LookupSyllableClip(DictEngine* engine, uint32_t n, const WCHAR* key, const WCHAR* characters, MemHandle* handle,
                       uint32_t* size);

// The clips of a pronunciation: the whole text as one key first, else each
// syllable in turn with the tone changes of spoken Mandarin (unless
// preference 235 is 0): 3 before 3 becomes 2; 不 (4) before 4 becomes 2;
// 一 (1) becomes 2 before 4 and 4 before any other tone. A non-zero
// toneOverrides[i] (1-4; one byte per unit of `syllables`) sets syllable
// i's tone instead. A neutral syllable
// without a clip is tried as tone 1. Clips fill handles[0..7] and sizes[0..7]
// (both optional) in order. 0 when any clip was found, else the whole-text
// result; with wholeWordOnly only the whole text is tried.
int LookupSyllableRecord(DictEngine* engine, uint32_t n, const WCHAR* syllables, const WCHAR* characters,
                         const uint8_t* toneOverrides, MemHandle* const* handles, uint32_t* sizes, int wholeWordOnly);
