// Code-page tables (type 0x4000): the GB-2312 and Big5 conversions of the
// engine, one table per direction, generated from the system's iconv.
//
// Info area: four 32-bit words. (1, id, 0, 0) converts Unicode to code page
// id; (id, 1, 0, 0) converts code page id to Unicode. Column 0 holds one
// 16-bit value per position:
//   Unicode -> code page: position c - 0x4E00 for c in U+4E00..U+9FAF, the
//     character's grid index, 65535 when the code page lacks it;
//   code page -> Unicode: position = grid index, the character (U+FFFD for
//     an unassigned code).
// Grid index: GB-2312 (lead - 0xA1) * 94 + (trail - 0xA1); Big5
// (lead - 0xA1) * 157 + (trail - 0x40) for trails 0x40-0x7E, and
// (lead - 0xA1) * 157 + (trail - 0x62) for trails 0xA1-0xFE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"

namespace databuild {

constexpr std::uint32_t kCodePageTableType = 0x4000;
constexpr std::uint32_t kCodePageGb2312 = 2;
constexpr std::uint32_t kCodePageBig5 = 3;
constexpr std::uint32_t kCodePageUnicode = 1;

constexpr char16_t kCodePageFirstHan = 0x4E00;
constexpr char16_t kCodePageLastHan = 0x9FAF;
constexpr std::uint16_t kCodePageMissing = 65535;
constexpr char16_t kCodePageUnassigned = 0xFFFD;

// Both directions of one code page as plain arrays.
struct CodePageData {
  std::uint32_t id = 0;
  std::vector<std::uint16_t> toCodePage;  // 0x9FAF - 0x4E00 + 1 grid indexes
  std::vector<char16_t> toUnicode;        // one character per grid index
};

// Grid geometry: GB-2312 rows 0xA1-0xF7 of 94, Big5 rows 0xA1-0xF9 of 157.
std::uint32_t CodePageGridSize(std::uint32_t id);
// Grid index of a two-byte code, or -1 when the pair is outside the grid.
std::int32_t CodePageGridIndex(std::uint32_t id, std::uint8_t lead, std::uint8_t trail);

// Fills `out` for id 2 or 3 through iconv ("GB2312", "BIG5"). Returns 0, or
// 1 with a message when the id is unknown or iconv lacks the code page.
int GenerateCodePage(std::uint32_t id, CodePageData* out, std::string* error);

// The two tables of a code page: the encoding table (Unicode -> code page)
// first, then the decoding table.
void MakeCodePageTables(const CodePageData& data, TableSpec* encode, TableSpec* decode);

// Generates a code page and appends its two tables to the file. 0 or 1.
int AddCodePageTables(std::uint32_t id, DataFileSpec* file, std::string* error);

}  // namespace databuild
