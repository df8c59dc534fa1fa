// The stroke index of a data file (table 0x9010), described as data: per
// character (rows keyed by character code, sorted) a record of 16-bit items,
// the stroke points as x, y pairs in design units with 65535 as a marker
// (65535 items are never scaled and count for the x/y parity).
//
// Rules the reader relies on and that fail silently when broken (the Make
// and Add functions keep them; CheckDataFileRules checks a whole file):
// - the index is table 0 (the first directory entry) of its file;
// - info word 1 is 1; info words 2 and 3 (design width and height) are not 0;
// - a record has at most 10,000 items (the reader's buffer).
// Info word 0 is the version: of several files the highest version wins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr std::uint32_t kTypeStrokeIndex = 0x9010;
constexpr std::size_t kStrokeRecordMaxItems = 10000;
constexpr std::uint16_t kStrokeMark = 65535;

struct StrokeRecord {
  std::uint32_t code = 0;  // character code (32-bit keys when one needs it)
  std::vector<std::uint16_t> items;
};

struct StrokeIndexSpec {
  std::uint32_t version = 1;
  std::uint32_t designWidth = 0;
  std::uint32_t designHeight = 0;
  std::vector<StrokeRecord> records;  // sorted here; codes must differ
  std::uint32_t maxBlockRows = 0;
};

int MakeStrokeIndexTable(const StrokeIndexSpec& desc, TableSpec* out, std::string* error);
// Inserts the index as table 0 of the file; fails when table 0 is already
// one that must be first (a 0x7010 or another 0x9010).
int AddStrokeIndexTable(const StrokeIndexSpec& desc, DataFileSpec* file, std::string* error);

}  // namespace databuild
