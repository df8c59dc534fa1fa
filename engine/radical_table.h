// The radical table: characters looked up by radical and stroke count.
//
// A table of type 0x5000 (the first one over the readers) holds one record
// per radical, keyed by radical code: a 16-bit section count k, k section
// starts (the position in the character sequence where the characters of
// stroke number i begin; 65535 = none), then the characters. Its info area:
// word 0 the id, word 1, word 2 the lowest and word 3 the highest character
// code of the code table. Its subtable record 0 holds the radical list: a
// count n, n 16-bit values (list A), then list B, 4-byte items (radical
// character, a byte, the radical number).
//
// A later table of type 0x5110 whose info word 0 equals that id maps a
// character to its radical: column 0, row code - lowest.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DataFileDb;
struct DictEngine;
struct MemHandle;
struct TableCursor;

inline constexpr uint32_t kRadicalTableType = 0x5000;
inline constexpr uint32_t kRadicalCodeTableType = 0x5110;
inline constexpr uint32_t kMaxRadicalSections = 20;
inline constexpr uint16_t kNoRadicalSection = 65535;
// ① is this + 1.
inline constexpr WCHAR kRadicalSectionMarkBase = 0x245F;

struct RadicalTable {
  uint32_t id;
  TableCursor* mainCursor;
  TableCursor* codeCursor;  // or null
  uint32_t infoWord1;
  uint32_t lowestCode;
  uint32_t highestCode;
  uint8_t modeFlag;
  // The radical list, decoded from subtable record 0.
  WCHAR* listA;
  uint32_t listACount;
  WCHAR* listB;
  uint32_t listBCount;  // 16-bit values
  // Sections of the character list last built.
  uint32_t sectionCount;
  uint16_t sectionStarts[kMaxRadicalSections];   // positions in the character list
  uint16_t sectionNumbers[kMaxRadicalSections];  // stroke numbers
  MemHandle* record;    // the radical's record as read
  MemHandle* charList;  // the characters with section marks
  uint32_t charListLength;
};

// Over the readers in order and their tables in order (see the top). 0, or
// 1 when no radical table was made.
int LoadRadicalTable(DictEngine* engine, DataFileDb* const* readers, uint32_t count);
void FreeRadicalTable(DictEngine* engine);
// The engine's radical table, or null.
RadicalTable* GetRadicalTable(DictEngine* engine);

void SetRadicalTableFlag(DictEngine* engine, uint8_t flag);
uint8_t GetRadicalTableFlag(DictEngine* engine);  // 0 without a table

// The radical number of a character: 0 without a code table or outside
// [lowest, highest].
uint32_t LookupRadicalCode(DictEngine* engine, uint32_t code);
// The radical character of list B's first item whose number is `value`; 0
// when none.
uint32_t FindRadicalIndex(DictEngine* engine, uint32_t value);

// Builds the character list of `radical`, sectioned by stroke number with
// the marks ① to ⑳. With useVariants and a radical of the variants table,
// the block of the other form is left out: the traditional one when `form`
// is the simplified radical, else the simplified one. Unless `unfiltered`,
// only characters that some dictionary without flag 0x10 has an entry for
// are kept (DictSetHasCharEntry). 0 when built; 1 without a table or a
// record for the radical (nothing changes) or when the record cannot be read
// (the list is then empty).
int BuildRadicalCharList(DictEngine* engine, uint32_t radical, WCHAR form, int unfiltered, int useVariants);

// which != 0: list B (count in 16-bit values); 0: the character list built
// last. Null (count 0) without a table. The pointer lasts until the next
// BuildRadicalCharList or until the resources are rebuilt.
const WCHAR* GetRadicalListData(DictEngine* engine, int which, uint32_t* count);
// which != 0: the numbers 1 .. min(n - 1, 20) (none when n is 0); 0: the
// stroke numbers of the sections built last. `numbers` has room for 20.
// 0, or 1 without a table (count 0).
int GetRadicalSections(DictEngine* engine, int which, uint16_t* numbers, uint32_t* count);
// Mode flag 0: where section i starts in the character list (0 past the
// sections). Mode flag set: list A item i + 1 when item i is below 65535 and
// item i + 1 exists; else 0.
uint32_t GetRadicalSectionStart(DictEngine* engine, uint32_t i);
