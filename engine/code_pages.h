// The GB-2312 and Big5 conversion tables (type 0x4000) that the installed
// data files carry, collected by the engine at creation and whenever data
// files are added. A table whose info area begins with the 32-bit words
// (1, id) converts Unicode to code page id, one with (id, 1) the reverse.
// Id 2 is GB-2312 (encoding 1), id 3 Big5 (encoding 2).
#pragma once

#include <cstdint>

struct DataFileDb;
struct DictEngine;
struct TableCursor;

inline constexpr uint32_t kCodePageTableType = 0x4000;
inline constexpr uint32_t kMaxCodePages = 2;
inline constexpr uint16_t kNoCodePage = 65535;

struct CodePageRecord {
  TableCursor* decoding;  // code page -> Unicode, or null
  TableCursor* encoding;  // Unicode -> code page, or null
  uint16_t encodingNumber;  // 1 GB-2312, 2 Big5
  uint32_t decodingInfo[2];  // info words 2 and 3 of each table (unused)
  uint32_t encodingInfo[2];
};

struct CodePageSet {
  CodePageRecord records[kMaxCodePages];
  uint16_t count;
};

// Keeps the code-page tables of the given readers (the first table of each
// direction per encoding wins; at most two encodings).
void LoadCodePages(DictEngine* engine, DataFileDb* const* readers, uint32_t count);
// Closes every cursor and forgets the records.
void FreeCodePages(DictEngine* engine);
CodePageRecord* FindCodePage(uint32_t encoding, DictEngine* engine);
uint16_t FindCodePageIndex(DictEngine* engine, uint32_t encoding);
