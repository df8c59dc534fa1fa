#include "tools/databuild/radical_tables.h"

#include <algorithm>

namespace databuild {

ByteVec RadicalRecordBytes(const RadicalChars& radical) {
  ByteVec r;
  AppendU16LE(r, static_cast<std::uint16_t>(radical.sections.size()));
  std::size_t pos = 0;
  for (const std::u16string& s : radical.sections) {
    AppendU16LE(r, s.empty() ? kNoSection : static_cast<std::uint16_t>(pos));
    pos += s.size();
  }
  for (const std::u16string& s : radical.sections) AppendUtf16LE(r, s);
  return r;
}

ByteVec RadicalListBytes(const std::vector<std::uint16_t>& listA, const std::vector<RadicalListItem>& listB) {
  ByteVec r;
  AppendU16LE(r, static_cast<std::uint16_t>(listA.size()));
  for (std::uint16_t v : listA) AppendU16LE(r, v);
  for (const RadicalListItem& it : listB) {
    AppendU16LE(r, it.code);
    AppendU8(r, it.byte);
    AppendU8(r, it.key);
  }
  return r;
}

int MakeRadicalTables(const RadicalTablesSpec& desc, TableSpec* radicals, TableSpec* codes, std::string* error) {
  auto fail = [error](const std::string& msg) {
    if (error) *error = msg;
    return 1;
  };
  if (desc.listA.size() > 0xFFFF) return fail("list A has at most 65535 values");
  std::vector<RadicalChars> rads = desc.radicals;
  std::stable_sort(rads.begin(), rads.end(),
                   [](const RadicalChars& a, const RadicalChars& b) { return a.radical < b.radical; });

  TableSpec t;
  t.type = kTypeRadicals;
  t.flags = kTableKeyed | kTableSorted;
  t.maxBlockRows = desc.maxBlockRows;
  t.maxBlockBytes = kMaxBlockBytes;  // the largest radicals have thousands of characters
  const std::uint32_t highest =
      desc.codes.empty() ? 0 : desc.lowestCode + static_cast<std::uint32_t>(desc.codes.size()) - 1;
  const std::uint32_t lowest = desc.codes.empty() ? 0 : desc.lowestCode;
  AppendU32LE(t.info, desc.id);
  AppendU32LE(t.info, desc.infoWord1);
  AppendU32LE(t.info, lowest);
  AppendU32LE(t.info, highest);
  ColumnSpec col;
  col.unitSize = 2;
  for (std::size_t i = 0; i < rads.size(); ++i) {
    if (i > 0 && rads[i].radical == rads[i - 1].radical) {
      return fail("radical " + std::to_string(rads[i].radical) + " has two records");
    }
    if (rads[i].sections.size() > 0xFFFF) return fail("a radical has at most 65535 sections");
    std::size_t chars = 0;
    for (const std::u16string& s : rads[i].sections) chars += s.size();
    if (chars >= kNoSection) return fail("a radical's characters need positions below 65535");
    RowSpec row;
    row.key = rads[i].radical;
    row.bytes = RadicalRecordBytes(rads[i]);
    col.rows.push_back(std::move(row));
  }
  t.columns.push_back(std::move(col));
  t.subtables.push_back(RadicalListBytes(desc.listA, desc.listB));

  TableSpec c;
  if (!desc.codes.empty()) {
    c.type = kTypeRadicalCodes;
    AppendU32LE(c.info, desc.id);  // pairs it with its 0x5000 table
    ColumnSpec values;
    values.unitSize = 2;
    values.values.assign(desc.codes.begin(), desc.codes.end());
    c.columns.push_back(std::move(values));
  } else {
    c.type = 0;
  }
  *radicals = std::move(t);
  if (codes) *codes = std::move(c);
  return 0;
}

int AddRadicalTables(const RadicalTablesSpec& desc, DataFileSpec* file, std::string* error) {
  TableSpec radicals, codes;
  if (MakeRadicalTables(desc, &radicals, &codes, error) != 0) return 1;
  // The code table is found only behind its radical table.
  file->tables.push_back(std::move(radicals));
  if (codes.type == kTypeRadicalCodes) file->tables.push_back(std::move(codes));
  return 0;
}

}  // namespace databuild
