// Every table form the writer knows reads back unchanged, from a container
// and from a bundle: rows found by row number and by key, text decoded or
// copied, fixed rows copied byte for byte.
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;
using firstgen::TableSpec;

struct FormCase {
  const char* what;
  uint16_t flags;
  bool huffman;
  bool singleLength;
  uint16_t fixedRowSize;
  uint32_t rowsPerBlock;
  uint32_t subTables;
};

const FormCase kForms[] = {
    // Huffman text, 3-word index elements placed through the per-block array.
    {"huffman, 3 words with array", firstgen::kTextRows, true, false, 0, 4, 1},
    // Plain 16-bit text, 3-word elements one after another.
    {"plain, 3 words packed", firstgen::kTextRows | firstgen::kIndexPacked, false, false, 0, 5, 1},
    // 16-bit row keys as entry numbers; 4-word elements (32-bit first key), array present but not used.
    {"16-bit keys, 4 words", firstgen::kTextRows | firstgen::kKeys16 | firstgen::kKeyedEntries | firstgen::kIndexKeys32,
     true, false, 0, 3, 1},
    // 5-word elements (extra word) through the array, plain text, 16-bit keys.
    {"5 words with array", firstgen::kTextRows | firstgen::kIndexExtra | firstgen::kKeys16, false, false, 0, 6, 1},
    // 32-bit keys, 6-word elements packed.
    {"32-bit keys, 6 words packed",
     firstgen::kTextRows | firstgen::kKeys32 | firstgen::kKeyedEntries | firstgen::kIndexKeys32 |
         firstgen::kIndexExtra | firstgen::kIndexPacked,
     true, false, 0, 4, 1},
    // 32-bit keys, 6-word elements with the (unused) array.
    {"32-bit keys, 6 words with array",
     firstgen::kTextRows | firstgen::kKeys32 | firstgen::kIndexKeys32 | firstgen::kIndexExtra, false, false, 0, 7, 1},
    // Every code of one length.
    {"single-length code", firstgen::kTextRows, true, true, 0, 4, 1},
    // No block index: fixed rows per block (0x100).
    {"0x100 text", firstgen::kTextRows | firstgen::kNoIndex, true, false, 0, 5, 1},
    {"0x100 fixed rows", firstgen::kFixedRows | firstgen::kNoIndex, false, false, 32, 5, 1},
    // Fixed rows through a block index, of an odd size.
    {"fixed rows with index", firstgen::kFixedRows | firstgen::kIndexPacked, false, false, 31, 4, 1},
    // Rows numbered through an index of keys (0x200) in three sub-tables.
    {"0x200, three sub-tables", firstgen::kTextRows | firstgen::kKeys16 | firstgen::kKeyedEntries, true, false, 0, 3,
     3},
    {"three sub-tables, 0x100", firstgen::kTextRows | firstgen::kNoIndex, false, false, 0, 2, 3},
};

uint32_t KeyOf(const FormCase& f, uint32_t c, uint32_t i) {
  if (f.flags & firstgen::kKeys32) return 0x10000u * (i + 1) + 5 + c;
  return 7 + 3 * i + 1000 * c;
}

firstgen::Bytes FixedBytes(uint32_t c, uint32_t i, uint16_t size) {
  firstgen::Bytes b(size);
  for (uint16_t k = 0; k < size; ++k) b[k] = static_cast<uint8_t>(31 * i + 7 * k + c);
  return b;
}

TableSpec MakeTable(const FormCase& f) {
  TableSpec t;
  t.flags = f.flags;
  t.huffman = f.huffman;
  t.singleLengthCode = f.singleLength;
  t.fixedRowSize = f.fixedRowSize;
  t.rowsPerBlock = f.rowsPerBlock;
  t.kind = firstgen::kKindEntryTable;
  t.name = "Forms";
  t.subTables.assign(f.subTables, {});
  const auto rows = FirstRows(40);
  for (uint32_t c = 0; c < f.subTables; ++c) {
    for (uint32_t i = 0; i < 17 + 4 * c; ++i) {
      firstgen::Row row;
      row.key = KeyOf(f, c, i);
      if (f.flags & firstgen::kFixedRows) {
        row.bytes = FixedBytes(c, i, f.fixedRowSize);
      } else {
        row.text = firstgen::EntryMarkup(rows[(i + 5 * c) % rows.size()], true);
      }
      t.subTables[c].push_back(row);
    }
  }
  return t;
}

class TableFormsTest : public ReaderTest {};

TEST_F(TableFormsTest, EveryFormReadsBackFromContainerAndBundle) {
  for (const FormCase& f : kForms) {
    for (bool bundle : {false, true}) {
      SCOPED_TRACE(std::string(f.what) + (bundle ? " (bundle)" : " (container)"));
      firstgen::DatabaseSpec spec;
      firstgen::DictHeaderSpec header;
      spec.header = firstgen::DictionaryHeader(header);
      spec.tables = {MakeTable(f)};
      const std::string name = std::string("forms") + (bundle ? ".kve" : ".pdb");
      const std::u16string path = bundle ? PutBundle(name, spec) : PutContainer(name, spec);
      FirstGenDb* db = OpenDb(path, bundle);
      ASSERT_NE(db, nullptr);
      ASSERT_EQ(db->tables.size(), 1u);
      FirstGenTable* t = db->tables[0];
      EXPECT_EQ(t->hasCode, f.huffman);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->name.data), t->name.size), "Forms");
      ASSERT_EQ(GetSubTableCount(t), f.subTables);
      EXPECT_EQ(t->rowCount, spec.tables[0].subTables[0].size());
      OwnedText text;
      for (uint32_t c = 0; c < f.subTables; ++c) {
        const auto& rows = spec.tables[0].subTables[c];
        for (uint32_t n = 0; n < rows.size(); ++n) {
          SCOPED_TRACE("sub-table " + std::to_string(c) + " row " + std::to_string(n));
          uint32_t block = 0, row = 0;
          ASSERT_EQ(FindBlockOfRow(t, c, n, &block, &row), 0);
          EXPECT_EQ(GetBlockFirstRow(t, c, block) + row, n);
          if (f.flags & firstgen::kFixedRows) {
            ASSERT_EQ(LoadFirstGenBlock(t, c, block), 0);
            ByteView got = GetBlockRow(t, row);
            EXPECT_EQ(firstgen::Bytes(got.data, got.data + got.size), rows[n].bytes);
          } else {
            EXPECT_EQ(ReadFirstGenEntry(t, c, block, row, &text.tb, nullptr, 0, nullptr), rows[n].text.size());
            EXPECT_EQ(ShowUtf16(text.Text()), ShowUtf16(rows[n].text));
          }
          if (f.flags & (firstgen::kKeys16 | firstgen::kKeys32)) {
            uint32_t kb = 0, kr = 0, index = 0;
            ASSERT_EQ(FindRowByKey(t, c, rows[n].key, &kb, &kr, &index), 0);
            EXPECT_EQ(kb, block);
            EXPECT_EQ(kr, row);
            EXPECT_EQ(index, n);
            EXPECT_EQ(GetBlockRowKey(t, kr), rows[n].key);
            // A key between two rows' keys is not found.
            EXPECT_NE(FindRowByKey(t, c, rows[n].key + 1, &kb, &kr, &index), 0);
          }
          if (f.flags & firstgen::kKeyedEntries) {
            uint32_t eb = 0, er = 0;
            ASSERT_EQ(LocateFirstGenEntry(t, c, rows[n].key, &eb, &er), 0);
            EXPECT_EQ(eb, block);
            EXPECT_EQ(er, row);
          }
        }
        // Past the last row there is nothing.
        uint32_t block = 0, row = 0;
        if (FindBlockOfRow(t, c, static_cast<uint32_t>(rows.size()), &block, &row) == 0) {
          EXPECT_EQ(ReadFirstGenEntry(t, c, block, row, &text.tb, nullptr, 0, nullptr), 0u);
        }
      }
      CloseFirstGenDb(db);
    }
  }
}

}  // namespace
}  // namespace reader_test
