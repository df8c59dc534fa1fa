#include "tools/databuild/table_builder.h"

#include <algorithm>

#include "tools/databuild/bit_writer.h"
#include "tools/databuild/huffman_coder.h"
#include "tools/databuild/row_sort.h"

namespace databuild {

RowSpec MakeTextRow(std::uint32_t key, std::u16string_view text) {
  RowSpec r;
  r.key = key;
  AppendUtf16LE(r.bytes, text);
  return r;
}

RowSpec MakeHuffmanRow(std::uint32_t key, std::u16string_view text) {
  RowSpec r;
  r.key = key;
  r.text = std::u16string(text);
  return r;
}

RowSpec MakeValuesRow(std::uint32_t key, std::vector<std::uint32_t> values) {
  RowSpec r;
  r.key = key;
  r.values = std::move(values);
  return r;
}

namespace {

// One row made ready for blocking: its record data before compression.
struct EncodedRow {
  std::uint32_t key = 0;
  ByteVec bytes;                      // byte columns
  std::vector<std::uint32_t> values;  // bit-packed columns
  std::uint32_t units = 0;
  std::u16string indexText;
};

struct Ctx {
  const TableSpec& desc;
  std::string* error;
  bool bits;
};

bool Fail(Ctx& c, const std::string& msg) {
  if (c.error) *c.error = msg;
  return false;
}

std::uint32_t DataBytesFor(const Ctx& c, const ColumnSpec& col, std::uint64_t units) {
  if (c.bits) return static_cast<std::uint32_t>((units * col.unitSize + 31) / 32 * 4);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(units * col.unitSize, 0xFFFFFFFFu));
}

bool CheckSpec(Ctx& c) {
  const TableSpec& s = c.desc;
  if (s.columns.empty()) return Fail(c, "a table needs at least one column");
  if ((s.flags & kTableKey32) && !(s.flags & kTableKeyed)) return Fail(c, "32-bit keys need the key flag");
  if ((s.flags & kTableFixedLength) && s.fixedLength == 0) return Fail(c, "fixed-length records need a length");
  if ((s.flags & kTableHuffmanText) && (s.flags & kTableBitPacked)) {
    return Fail(c, "a table is either Huffman text or bit-packed");
  }
  if ((s.flags & kTableBitPacked) && (s.flags & kTableZlib)) {
    // The compressed length is stored in units, which are not bytes here.
    return Fail(c, "bit-packed tables are not compressed");
  }
  if (s.name1.size() > 31 || s.name2.size() > 39) return Fail(c, "table name too long");
  for (std::size_t ci = 0; ci < s.columns.size(); ++ci) {
    const ColumnSpec& col = s.columns[ci];
    const std::string where = "column " + std::to_string(ci) + ": ";
    if (col.unitSize == 0) return Fail(c, where + "unit size 0");
    if (c.bits && col.unitSize > 32) return Fail(c, where + "bit-packed values have at most 32 bits");
    if ((s.flags & kTableHuffmanText) && col.unitSize != 1) {
      // Coded records are byte-aligned; wider units would pad with more
      // zero bits than the shortest-possible longest code covers.
      return Fail(c, where + "Huffman-coded records need 1-byte units");
    }
    if ((s.flags & kTableZlib) && col.lengthsMeasured) {
      return Fail(c, where + "record lengths are measured, so the table cannot be compressed");
    }
    if (col.rows.empty() && !col.values.empty() && !c.bits && col.unitSize > 4) {
      return Fail(c, where + "bare values are at most 4 bytes wide");
    }
    if ((s.flags & kTableSorted) && (s.flags & kTableKeyed)) {
      for (std::size_t r = 1; r < col.rows.size(); ++r) {
        if (col.rows[r].key < col.rows[r - 1].key) return Fail(c, where + "keys are not sorted");
      }
    }
    if ((s.flags & kTableKeyed) && !(s.flags & kTableKey32)) {
      for (const RowSpec& row : col.rows) {
        if (row.key > 0xFFFF) return Fail(c, where + "key " + std::to_string(row.key) + " needs 32-bit keys");
      }
    }
  }
  return true;
}

bool EncodeRows(Ctx& c, const ColumnSpec& col, const HuffmanCode* huffman, std::vector<EncodedRow>* out) {
  const TableSpec& s = c.desc;
  out->clear();
  if (col.rows.empty()) {
    // Bare values: each value is one row-less unit.
    for (std::uint32_t v : col.values) {
      EncodedRow e;
      e.units = 1;
      if (c.bits) {
        if (col.unitSize < 32 && v >> col.unitSize) return Fail(c, "value " + std::to_string(v) + " too wide");
        e.values.push_back(v);
      } else {
        for (std::uint32_t i = 0; i < col.unitSize; ++i) e.bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        if (col.unitSize < 4 && v >> (8 * col.unitSize)) return Fail(c, "value " + std::to_string(v) + " too wide");
      }
      out->push_back(std::move(e));
    }
    return true;
  }
  for (const RowSpec& row : col.rows) {
    // A row carries the one kind of record its table holds.
    const bool wrongKind = (s.flags & kTableHuffmanText)
                               ? !row.bytes.empty() || !row.values.empty()
                               : c.bits ? !row.bytes.empty() || !row.text.empty()
                                        : !row.values.empty() || !row.text.empty();
    if (wrongKind) {
      return Fail(c, (s.flags & kTableHuffmanText) ? "rows of a Huffman table hold text"
                     : c.bits                      ? "rows of a bit-packed table hold values"
                                                   : "rows of a byte table hold bytes");
    }
    EncodedRow e;
    e.key = row.key;
    if (s.flags & kTableHuffmanText) {
      if (!HuffmanEncode(*huffman, row.text, &e.bytes)) return Fail(c, "text without a code");
      e.units = static_cast<std::uint32_t>(e.bytes.size());
    } else if (c.bits) {
      for (std::uint32_t v : row.values) {
        if (col.unitSize < 32 && v >> col.unitSize) return Fail(c, "value " + std::to_string(v) + " too wide");
      }
      e.values = row.values;
      e.units = static_cast<std::uint32_t>(row.values.size());
    } else {
      if (row.bytes.size() % col.unitSize != 0) {
        return Fail(c, "a record of " + std::to_string(row.bytes.size()) + " bytes is not a whole number of units");
      }
      e.bytes = row.bytes;
      e.units = static_cast<std::uint32_t>(row.bytes.size() / col.unitSize);
    }
    if (s.flags & kTableTextIndex) {
      e.indexText = !row.indexText.empty()
                        ? row.indexText
                        : RowCompareText(row, s.flags & kTableHuffmanText, s.indexTextSkip);
    }
    if ((s.flags & kTableFixedLength) && e.units != s.fixedLength) {
      return Fail(c, "a record of " + std::to_string(e.units) + " units in a table of fixed length " +
                         std::to_string(s.fixedLength));
    }
    out->push_back(std::move(e));
  }
  return true;
}

struct BlockPlan {
  std::size_t first = 0;
  std::size_t count = 0;
  std::uint32_t units = 0;
};

// Splits a column's rows into blocks: a row never crosses a block, and rows
// of one key stay together when the block can hold them.
bool PlanBlocks(Ctx& c, const ColumnSpec& col, const std::vector<EncodedRow>& rows, std::vector<BlockPlan>* plan) {
  const TableSpec& s = c.desc;
  const bool rowless = col.rows.empty();
  const std::uint32_t byteLimit = std::min(s.maxBlockBytes == 0 ? kMaxBlockBytes : s.maxBlockBytes, kMaxBlockBytes);
  plan->clear();
  BlockPlan cur;
  std::size_t i = 0;
  while (i < rows.size()) {
    const EncodedRow& r = rows[i];
    const std::uint64_t newUnits = static_cast<std::uint64_t>(cur.units) + r.units;
    // Row offsets are 16-bit unit counts.
    bool fits = newUnits <= kMaxBlockUnits && DataBytesFor(c, col, newUnits) <= byteLimit;
    // A block closes on the row limit only once it holds a unit: values are
    // found by their index (the first unit of each block), so two blocks of
    // a column never start at the same unit.
    if (!rowless && s.maxBlockRows != 0 && cur.count + 1 > s.maxBlockRows && cur.units > 0) fits = false;
    if (fits) {
      cur.units = static_cast<std::uint32_t>(newUnits);
      ++cur.count;
      ++i;
      continue;
    }
    if (cur.count == 0) {
      return Fail(c, "record of row " + std::to_string(i) + " (" + std::to_string(r.units) +
                         " units) does not fit in a block");
    }
    std::size_t end = i;
    if ((s.flags & kTableKeyed) && !rowless) {
      std::size_t back = i;
      std::uint32_t unitsBefore = cur.units;
      while (back > cur.first && rows[back - 1].key == r.key) unitsBefore -= rows[--back].units;
      if (back > cur.first && unitsBefore > 0) end = back;
    }
    cur.count = end - cur.first;
    cur.units = 0;
    for (std::size_t k = cur.first; k < end; ++k) cur.units += rows[k].units;
    plan->push_back(cur);
    cur = BlockPlan{};
    cur.first = end;
    i = end;
  }
  // Every column owns a block, even an empty one.
  if (cur.count > 0 || plan->empty()) plan->push_back(cur);
  return true;
}

bool BuildBlock(Ctx& c, const ColumnSpec& col, const std::vector<EncodedRow>& rows, const BlockPlan& b,
                ByteVec* record, BlockLayout* lay) {
  const TableSpec& s = c.desc;
  const bool rowless = col.rows.empty();
  ByteVec data;
  if (c.bits) {
    BitWriter w;
    for (std::size_t k = b.first; k < b.first + b.count; ++k) {
      for (std::uint32_t v : rows[k].values) WriteBits(w, v, col.unitSize);
    }
    AlignBits(w, 32);
    data = std::move(w.bytes);
  } else {
    for (std::size_t k = b.first; k < b.first + b.count; ++k) AppendBytes(data, rows[k].bytes);
  }
  lay->dataBytes = static_cast<std::uint32_t>(data.size());

  const std::uint32_t blockRows = rowless ? 0 : static_cast<std::uint32_t>(b.count);
  ByteVec rec;
  AppendU32LE(rec, blockRows);
  AppendU32LE(rec, 0);  // units, below
  std::uint32_t offset = 0;
  std::size_t words = 0;
  for (std::size_t k = b.first; k < b.first + blockRows; ++k) {
    if (s.flags & kTableKeyed) {
      AppendU16LE(rec, static_cast<std::uint16_t>(rows[k].key));
      ++words;
      if (s.flags & kTableKey32) {
        AppendU16LE(rec, static_cast<std::uint16_t>(rows[k].key >> 16));
        ++words;
      }
    }
    if (!(s.flags & kTableFixedLength)) {
      AppendU16LE(rec, static_cast<std::uint16_t>(offset));
      ++words;
    }
    offset += rows[k].units;
  }
  if (words % 2 != 0) AppendU16LE(rec, 0);

  std::uint32_t unitsWord = b.units;
  if (s.flags & kTableZlib) {
    // The inflated data is exactly the records, so the last row of a block
    // ends at the inflated size.
    ByteVec z;
    if (DeflateBlock(data, s.zlibEnd, &z) != 0) return Fail(c, "zlib failed");
    PadTo(z, col.unitSize);
    unitsWord = static_cast<std::uint32_t>(z.size() / col.unitSize);
    AppendBytes(rec, z);
  } else {
    AppendBytes(rec, data);
  }
  // Readers fetch whole 32-bit words.
  PadTo(rec, 4);
  PutU32LE(rec, 4, unitsWord);
  *record = std::move(rec);
  lay->rows = blockRows;
  lay->units = b.units;
  if (blockRows > 0) {
    lay->firstKey = rows[b.first].key;
    lay->firstText = rows[b.first].indexText;
  }
  return true;
}

// Block-index records: n, n entries of three words, and with first-key texts
// n 16-bit byte offsets and the text area (each text ends with a 0 inside
// its span; zero padding after the last).
bool BuildIndexRecords(Ctx& c, const std::vector<const BlockLayout*>& blocks, std::vector<ByteVec>* out) {
  const TableSpec& s = c.desc;
  const bool texts = s.flags & kTableTextIndex;
  out->clear();
  std::size_t i = 0;
  while (i < blocks.size()) {
    // Take as many entries as fit.
    std::size_t n = 0;
    std::size_t textBytes = 0;
    while (i + n < blocks.size()) {
      if (s.maxIndexEntries != 0 && n >= s.maxIndexEntries) break;
      const std::size_t t = texts ? 2 * (blocks[i + n]->firstText.size() + 1) : 0;
      const std::size_t size = 4 + 12 * (n + 1) + (texts ? 2 * (n + 1) + textBytes + t : 0);
      if (texts && textBytes > 0xFFFF) break;  // this entry's offset would not fit
      if (size + 3 > 0xFFFF) break;  // with the padding to 4 bytes
      textBytes += t;
      ++n;
    }
    if (n == 0) return Fail(c, "a first-key text is too long for the block index");
    ByteVec rec;
    AppendU32LE(rec, static_cast<std::uint32_t>(n));
    for (std::size_t k = i; k < i + n; ++k) {
      AppendU32LE(rec, blocks[k]->firstRow);
      AppendU32LE(rec, blocks[k]->firstUnit);
      AppendU32LE(rec, blocks[k]->firstKey);
    }
    if (texts) {
      std::uint32_t off = 0;
      for (std::size_t k = i; k < i + n; ++k) {
        AppendU16LE(rec, static_cast<std::uint16_t>(off));
        off += static_cast<std::uint32_t>(2 * (blocks[k]->firstText.size() + 1));
      }
      for (std::size_t k = i; k < i + n; ++k) {
        AppendUtf16LE(rec, blocks[k]->firstText);
        AppendU16LE(rec, 0);
      }
    }
    PadTo(rec, 4);
    out->push_back(std::move(rec));
    i += n;
  }
  return true;
}

}  // namespace

int BuildTableRecords(const TableSpec& desc, std::vector<ByteVec>* records, TableLayout* layout,
                      std::string* error) {
  Ctx c{desc, error, (desc.flags & kTableBitPacked) != 0};
  if (!CheckSpec(c)) return 1;

  std::vector<ByteVec> subtables;
  HuffmanCode huffman;
  if (desc.flags & kTableHuffmanText) {
    HuffmanCounts counts;
    for (const ColumnSpec& col : desc.columns) {
      for (const RowSpec& row : col.rows) CountHuffmanSymbols(counts, row.text);
    }
    BuildHuffmanCode(counts, kHuffmanMaxLength, &huffman);
    subtables.push_back(HuffmanTableBytes(huffman));
  }
  for (const ByteVec& st : desc.subtables) subtables.push_back(st);

  TableLayout lay;
  lay.subtableRecords = static_cast<std::uint32_t>(subtables.size());
  std::vector<std::vector<ByteVec>> blockRecords(desc.columns.size());
  lay.blocks.resize(desc.columns.size());
  std::uint32_t firstColumnCount = 0;
  for (std::size_t ci = 0; ci < desc.columns.size(); ++ci) {
    const ColumnSpec& col = desc.columns[ci];
    std::vector<EncodedRow> rows;
    std::vector<BlockPlan> plan;
    if (!EncodeRows(c, col, &huffman, &rows) || !PlanBlocks(c, col, rows, &plan)) {
      if (error) error->insert(0, "column " + std::to_string(ci) + ": ");
      return 1;
    }
    if (ci == 0) firstColumnCount = static_cast<std::uint32_t>(rows.size());
    std::uint32_t firstRow = 0;
    std::uint32_t firstUnit = 0;
    for (const BlockPlan& b : plan) {
      BlockLayout bl;
      bl.firstRow = col.rows.empty() ? 0 : firstRow;
      bl.firstUnit = firstUnit;
      ByteVec rec;
      if (!BuildBlock(c, col, rows, b, &rec, &bl)) return 1;
      blockRecords[ci].push_back(std::move(rec));
      lay.blocks[ci].push_back(bl);
      firstRow += bl.rows;
      firstUnit += bl.units;
    }
  }

  std::vector<const BlockLayout*> allBlocks;
  for (const auto& col : lay.blocks) {
    for (const BlockLayout& b : col) allBlocks.push_back(&b);
  }
  std::vector<ByteVec> indexRecords;
  if (!BuildIndexRecords(c, allBlocks, &indexRecords)) return 1;
  lay.indexRecords = static_cast<std::uint32_t>(indexRecords.size());

  std::uint32_t next = 1 + lay.indexRecords + lay.subtableRecords;
  for (std::size_t ci = 0; ci < desc.columns.size(); ++ci) {
    lay.firstBlock.push_back(next);
    for (BlockLayout& b : lay.blocks[ci]) b.blockNumber = next++;
  }
  lay.blockEnd = next;
  if (lay.blockEnd > 0xFFFF) {
    if (error) *error = "the table has " + std::to_string(lay.blockEnd) + " records; block numbers are 16-bit";
    return 1;
  }

  ByteVec header(kTableHeaderFixedSize, 0);
  PutU32LE(header, 0, desc.type);
  PutU32LE(header, 4, desc.version);
  PutU32LE(header, 8, desc.flags);
  PutU32LE(header, 16, lay.blockEnd);
  PutU32LE(header, 20, lay.indexRecords);
  PutU32LE(header, 24, lay.subtableRecords);
  PutU32LE(header, 28, static_cast<std::uint32_t>(desc.info.size()));
  PutU32LE(header, 32, static_cast<std::uint32_t>(desc.columns.size()));
  PutU32LE(header, 36, desc.hasEntryCount ? desc.entryCount : firstColumnCount);
  PutU32LE(header, 40, desc.fixedLength);
  std::uint32_t textKind = desc.textKind;
  if (textKind == 0 && (desc.flags & kTableHuffmanText)) textKind = kTextKindHuffman;
  PutU32LE(header, 56, textKind);
  PutUtf16LE(header, 112, desc.name1, 31);
  PutUtf16LE(header, 176, desc.name2, 39);
  AppendBytes(header, desc.info);
  for (std::size_t ci = 0; ci < desc.columns.size(); ++ci) {
    AppendU32LE(header, lay.firstBlock[ci]);
    AppendU32LE(header, desc.columns[ci].unitSize);
  }

  records->clear();
  records->push_back(std::move(header));
  for (ByteVec& r : indexRecords) records->push_back(std::move(r));
  for (ByteVec& r : subtables) records->push_back(std::move(r));
  for (auto& col : blockRecords) {
    for (ByteVec& r : col) records->push_back(std::move(r));
  }
  if (layout) *layout = std::move(lay);
  return 0;
}

}  // namespace databuild
