// Documents kept in the data files, as the reader sees them. Each table
// group of the engine (engine/table_groups.h) is one document:
// - the group's write stamp is the document's file time;
// - the 0x2000 table is the text: row k of column 0 holds bytes
//   [k x block size, (k + 1) x block size) of the UTF-16LE text;
// - the 0x2000 info area: word 0 first id, word 1 second id, words 2-3
//   further, word 4 the block size, word 5 the text length in bytes, then
//   the title in 32 UTF-16 units (bytes 24-87, zero-padded);
// - the first 0x2010 table, when there is one, holds the sections: one
//   column per level (at most 3), each row a u32 start byte, a u32 first
//   child index (not on the last level), then the UTF-16 name.
// tools/databuild writes such groups (reader_documents.h there).
//
// Results: 0 done, 1 failure or out of range, as each function says.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;

inline constexpr uint32_t kDocumentTitleChars = 32;
inline constexpr uint32_t kDocumentInfoBytes = 88;  // words 0-5 and the title
inline constexpr uint16_t kNoDocument = 65535;
inline constexpr uint32_t kMaxSectionLevels = 3;

uint32_t GetDocumentCount(DictEngine* engine);
// At most min(n - 1, 32) units and a terminator; 1 and an empty buffer when
// i is out of range.
int GetDocumentTitle(DictEngine* engine, uint32_t i, WCHAR* buffer, uint32_t n);
// 1 when the document has a section table, and for an index out of range.
int DocumentHasSections(DictEngine* engine, uint32_t i);
// Section levels: the section table's column count (at most 3), 0 without.
uint32_t GetDocumentSectionLevels(DictEngine* engine, uint32_t i);
int GetDocumentIds(DictEngine* engine, uint32_t i, uint32_t* first, uint32_t* second);
// The document's index, kNoDocument when none.
uint16_t FindDocumentByIds(DictEngine* engine, uint32_t first, uint32_t second);
// Length in bytes, block size and file time; 1 when out of range or when the
// info area is shorter than the layout (the document cannot be read).
int GetDocumentLayout(DictEngine* engine, uint32_t i, uint32_t* length, uint32_t* blockSize, uint32_t* fileTime);
// Copies [from, from + count) block by block; 1 when a block cannot be read,
// its record is shorter than the range needs, or the block size is 0 (the
// bytes copied so far stay in the buffer; *copied, when given, counts them).
int ReadDocumentText(DictEngine* engine, uint32_t i, uint32_t from, uint32_t count, void* buffer,
                     uint32_t* copied = nullptr);
// Sections under `parent` at `level` (level 0: all rows of column 0).
uint32_t GetSectionCount(DictEngine* engine, uint32_t i, uint32_t level, uint32_t parent);
// Row n of level `level`: start byte, first child (0 on the last level) and
// the name cut to *nameLength - 1 units (*nameLength then holds its length).
// 1 when the row cannot be read.
int GetSectionRecord(DictEngine* engine, uint32_t i, uint32_t level, uint32_t n, WCHAR* name, uint32_t* nameLength,
                     uint32_t* start, uint32_t* firstChild);
// Releases the blocks the document's cursors hold.
void ResetDocumentCursors(DictEngine* engine, uint32_t i);
