#include "tools/databuild/stroke_tables.h"

#include <algorithm>

#include "tools/databuild/audio_tables.h"

namespace databuild {

namespace {

int Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return 1;
}

}  // namespace

int MakeStrokeIndexTable(const StrokeIndexSpec& desc, TableSpec* out, std::string* error) {
  // The reader scales by these: a zero would divide by zero.
  if (desc.designWidth == 0 || desc.designHeight == 0) return Fail(error, "the design width and height are not 0");
  std::vector<StrokeRecord> recs = desc.records;
  std::stable_sort(recs.begin(), recs.end(),
                   [](const StrokeRecord& a, const StrokeRecord& b) { return a.code < b.code; });
  TableSpec t;
  t.type = kTypeStrokeIndex;
  t.flags = kTableKeyed | kTableSorted;
  t.maxBlockRows = desc.maxBlockRows;
  t.maxBlockBytes = kMaxBlockBytes;  // a record runs to 20,000 bytes
  AppendU32LE(t.info, desc.version);
  AppendU32LE(t.info, 1);  // the reader accepts only 1 here
  AppendU32LE(t.info, desc.designWidth);
  AppendU32LE(t.info, desc.designHeight);
  ColumnSpec col;
  col.unitSize = 2;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    if (i > 0 && recs[i].code == recs[i - 1].code) {
      return Fail(error, "character " + std::to_string(recs[i].code) + " has two stroke records");
    }
    if (recs[i].items.size() > kStrokeRecordMaxItems) return Fail(error, "a stroke record has at most 10000 items");
    if (recs[i].code > 0xFFFF) t.flags |= kTableKey32;
    RowSpec row;
    row.key = recs[i].code;
    for (std::uint16_t v : recs[i].items) AppendU16LE(row.bytes, v);
    col.rows.push_back(std::move(row));
  }
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

int AddStrokeIndexTable(const StrokeIndexSpec& desc, DataFileSpec* file, std::string* error) {
  if (!file->tables.empty() &&
      (file->tables[0].type == kTypeStrokeIndex || file->tables[0].type == kTypeSyllableIndex)) {
    return Fail(error, "table 0 of the file is already a syllable or stroke index");
  }
  TableSpec t;
  if (MakeStrokeIndexTable(desc, &t, error) != 0) return 1;
  // The reader looks for the index only as table 0.
  file->tables.insert(file->tables.begin(), std::move(t));
  return 0;
}

}  // namespace databuild
