// The auxiliary index: stroke data per character, from table 0 of a data
// file when its type is 0x9010 (the highest version over the readers wins).
//
// Info area: word 0 version, word 1 format (must be 1), word 2 design width,
// word 3 design height (both non-zero). Records are keyed by character code
// (column 0, sorted numeric keys) and hold 16-bit items: x at even places,
// y at odd places, 65535 a separator that keeps its place.
#pragma once

#include <cstdint>

struct DataFileDb;
struct DictEngine;
struct TableCursor;

inline constexpr uint32_t kAuxIndexTableType = 0x9010;
inline constexpr uint32_t kAuxIndexBufferBytes = 20000;
inline constexpr uint32_t kAuxIndexBufferItems = kAuxIndexBufferBytes / 2;
inline constexpr uint16_t kAuxIndexSeparator = 65535;

struct AuxIndex {
  TableCursor* cursor;
  uint32_t version;
  uint32_t designWidth;
  uint32_t designHeight;
  uint16_t items[kAuxIndexBufferItems];  // the record loaded last
  uint32_t itemCount;
};

void LoadAuxIndex(DictEngine* engine, DataFileDb* const* readers, uint32_t count);
void FreeAuxIndex(DictEngine* engine);

int IsAuxIndexPresent(DictEngine* engine);
// 1 without an index or when the code has no record; else 0.
int IsCodeMissingFromAuxIndex(DictEngine* engine, uint32_t code);
// Loads the record of `code` scaled from the design size to width × height
// (truncating; a scaled item never reaches the separator). 0, or 1 without
// an index, without a record or when it cannot be read (nothing loaded).
int LoadAuxIndexRecord(DictEngine* engine, uint32_t code, uint32_t width, uint32_t height);
// The items of the record loaded last, or null (count 0) without an index.
// The pointer lasts until the resources are rebuilt.
const uint16_t* GetAuxIndexRecord(DictEngine* engine, uint32_t* count);
