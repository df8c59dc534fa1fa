// The data resources: what the data files carry besides dictionaries, found
// by table type and gathered over all readers of the engine (radical table,
// table groups, syllable index groups with their clip tables, the stroke
// index), and the credits text of the About screen.
//
// The engine keeps them behind one opaque pointer. LoadDataResources builds
// them from scratch over the engine's current readers and frees any earlier
// set first, so adding dictionaries rebuilds them without a second copy;
// pointers handed out before (GetRadicalListData, GetAuxIndexRecord) are then
// stale and callers fetch them again.
#pragma once

#include <cstdint>

struct AuxIndex;
struct DictEngine;
struct MemHandle;
struct RadicalTable;
struct SyllableIndexGroup;
struct TableGroup;

inline constexpr uint32_t kMaxTableGroups = 128;
inline constexpr uint32_t kMaxSyllableIndexGroups = 4;

struct DataResources {
  RadicalTable* radical;  // or null
  TableGroup* tableGroups[kMaxTableGroups];
  uint32_t tableGroupCount;
  SyllableIndexGroup* syllableGroups[kMaxSyllableIndexGroups];
  uint32_t syllableGroupCount;
  AuxIndex* auxIndex;  // or null
};

// Frees what the engine holds, then loads the syllable index groups and,
// unless the engine is data only, the table groups, the stroke index and the
// radical table, over engine->readers. 0, or 1 when the heap is exhausted
// (the engine then has no resources; every query answers "absent").
int LoadDataResources(DictEngine* engine);
// Frees every resource and the holder; engine->resources becomes null.
void FreeDataResources(DictEngine* engine);

// The engine's holder, made on first use when `create` is set (null when it
// is missing and not made).
DataResources* GetDataResources(DictEngine* engine, bool create);

// The About text into `handle` (grown as needed, terminated): the
// handwriting recogniser's line, the notice text of each data file, then the
// notices of the libraries the program uses. 0, or 1 without a handle or
// when the handle cannot grow (what fitted is kept).
int BuildCreditsText(DictEngine* engine, MemHandle* handle);
