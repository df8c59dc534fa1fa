#include "tools/firstgen/database_writer.h"

#include <cstdio>
#include <map>

#include "tools/firstgen/huffman_code.h"

namespace firstgen {

namespace {

Bytes BeChars(const std::u16string& text) {
  Bytes b;
  for (char16_t c : text) AppendBe(&b, 2, c);
  return b;
}

bool RowBytes(const TableSpec& t, const HuffmanCode* code, const Row& row, Bytes* out) {
  if (t.flags & kFixedRows) {
    *out = row.bytes;
    out->resize(t.fixedRowSize, 0);
    return true;
  }
  if (row.text.empty()) {
    *out = row.bytes;
    return true;
  }
  if (code) return EncodeHuffmanText(*code, row.text, out);
  *out = BeChars(row.text);
  return true;
}

Bytes BlockRecord(const TableSpec& t, const std::vector<Bytes>& rows, const std::vector<uint32_t>& keys) {
  Bytes data;
  std::vector<uint32_t> starts;
  for (const Bytes& r : rows) {
    starts.push_back((t.flags & kFixedRows) ? static_cast<uint32_t>(data.size() / t.fixedRowSize)
                                            : static_cast<uint32_t>(data.size()));
    data.insert(data.end(), r.begin(), r.end());
  }
  const uint32_t length =
      (t.flags & kFixedRows) ? static_cast<uint32_t>(data.size() / t.fixedRowSize) : static_cast<uint32_t>(data.size());
  Bytes b;
  AppendBe(&b, 2, static_cast<uint32_t>(2 + data.size()));
  b.insert(b.end(), data.begin(), data.end());
  AppendBe(&b, 2, static_cast<uint32_t>(rows.size()));
  AppendBe(&b, 2, length);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (t.flags & kKeys32) {
      AppendBe(&b, 4, keys[i]);
    } else if (t.flags & kKeys16) {
      AppendBe(&b, 2, keys[i]);
    }
    AppendBe(&b, 2, starts[i]);
  }
  return b;
}

struct BlockInfo {
  uint32_t firstRow;
  uint32_t firstKey;
};

}  // namespace

bool BuildDatabaseRecords(const DatabaseSpec& spec, std::vector<Bytes>* records, DatabaseLayout* layout,
                          std::string* error) {
  records->assign(1, Bytes{});
  *layout = DatabaseLayout{};
  Bytes header = spec.header;
  for (size_t i = 0; i < spec.tables.size(); ++i) {
    const TableSpec& t = spec.tables[i];
    if (t.kind) PutBe(&header, 90 + 2 * i, 2, t.kind);

    HuffmanCode code;
    const bool coded = t.huffman && (t.flags & kTextRows);
    if (coded) {
      std::map<uint16_t, uint64_t> freq{{0, 1}};
      for (const auto& sub : t.subTables) {
        for (const Row& r : sub) {
          for (char16_t c : r.text) ++freq[c];
        }
      }
      if (!BuildHuffmanCode(freq, t.singleLengthCode, &code)) {
        *error = "table " + std::to_string(i) + ": no Huffman code";
        return false;
      }
      layout->codeRecords.push_back(static_cast<int64_t>(records->size()));
      records->push_back(WriteHuffmanCodeRecord(code));
    } else {
      layout->codeRecords.push_back(-1);
    }

    // Blocks, sub-table by sub-table.
    std::vector<Bytes> blocks;
    std::vector<BlockInfo> info;
    std::vector<uint32_t> subFirst;
    for (const auto& sub : t.subTables) {
      subFirst.push_back(static_cast<uint32_t>(blocks.size()));
      for (size_t at = 0; at < sub.size(); at += t.rowsPerBlock) {
        std::vector<Bytes> rows;
        std::vector<uint32_t> keys;
        for (size_t r = at; r < sub.size() && r < at + t.rowsPerBlock; ++r) {
          Bytes b;
          if (!RowBytes(t, coded ? &code : nullptr, sub[r], &b)) {
            *error = "table " + std::to_string(i) + ": a char without a code";
            return false;
          }
          rows.push_back(b);
          keys.push_back(sub[r].key);
        }
        info.push_back({static_cast<uint32_t>(at), keys.front()});
        blocks.push_back(BlockRecord(t, rows, keys));
      }
    }

    Bytes rec;
    PutBe(&rec, 0, 2, t.flags);
    PutBe(&rec, 2, 2, t.fixedRowSize);
    PutBe(&rec, 4, 2, static_cast<uint32_t>(blocks.size()));
    PutBe(&rec, 6, 2, static_cast<uint32_t>(t.subTables.size() + 1));
    PutBe(&rec, 8, 4,
          t.rowCount >= 0 ? static_cast<uint32_t>(t.rowCount) : static_cast<uint32_t>(t.subTables[0].size()));
    PutBe(&rec, 12, 2, t.rowsPerBlock);
    PutBe(&rec, 14, 2, coded ? 1 : 0);
    PutBe(&rec, 20, 2, static_cast<uint32_t>(t.name.size()));
    PutBe(&rec, 22, 2, t.defaultMarker);
    PutText(&rec, 44, t.name);
    rec.resize(44 + t.name.size());
    for (uint32_t f : subFirst) AppendBe(&rec, 2, f);
    if (!(t.flags & kNoIndex)) {
      const uint32_t words = 3 + ((t.flags & kIndexExtra) ? 2 : 0) + ((t.flags & kIndexKeys32) ? 1 : 0);
      const bool hasOffsets = !(t.flags & kIndexPacked);
      // With offsets in use the elements are written last block first, so
      // a reader that ignored the offsets would read the wrong blocks.
      const bool reversed = hasOffsets && !(t.flags & kIndexKeys32);
      const size_t n = blocks.size();
      if (hasOffsets) {
        for (size_t k = 0; k < n; ++k) AppendBe(&rec, 2, static_cast<uint32_t>(2 * words * (reversed ? n - 1 - k : k)));
      }
      for (size_t e = 0; e < n; ++e) {
        const BlockInfo& b = info[reversed ? n - 1 - e : e];
        AppendBe(&rec, 4, b.firstRow);
        if (t.flags & kIndexExtra) AppendBe(&rec, 4, t.indexExtraWord);
        AppendBe(&rec, (t.flags & kIndexKeys32) ? 4 : 2, b.firstKey);
      }
    }
    layout->tableRecords.push_back(static_cast<uint32_t>(records->size()));
    records->push_back(rec);
    for (Bytes& b : blocks) records->push_back(std::move(b));
  }

  Bytes dir;
  AppendBe(&dir, 2, static_cast<uint32_t>(spec.tables.size()));
  for (uint32_t r : layout->tableRecords) AppendBe(&dir, 2, r);
  dir.insert(dir.end(), header.begin(), header.end());
  (*records)[0] = dir;
  return true;
}

Bytes WriteContainer(const std::vector<Bytes>& records, std::vector<uint32_t>* offsets) {
  Bytes b(78, 0);
  PutText(&b, 0, "Sorvi first-generation");
  PutText(&b, 60, "SRDB");
  PutText(&b, 64, "SRDE");
  PutBe(&b, 76, 2, static_cast<uint32_t>(records.size()));
  uint32_t at = static_cast<uint32_t>(78 + 8 * records.size());
  if (offsets) offsets->clear();
  for (const Bytes& r : records) {
    AppendBe(&b, 4, at);
    AppendBe(&b, 4, 0);
    if (offsets) offsets->push_back(at);
    at += static_cast<uint32_t>(r.size());
  }
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  return b;
}

Bytes WriteBundle(const std::vector<Bytes>& records, const BundleOptions& options, std::vector<uint32_t>* offsets) {
  Bytes b;
  PutText(&b, 0, "KVE!KVE@$KVE%KVE");
  PutLe(&b, 16, 4, options.version);
  PutLe(&b, 20, 4, 0);
  const uint32_t entries = static_cast<uint32_t>(records.size()) + options.extraEntries;
  PutLe(&b, 24, 4,
        options.memberCount >= 0 ? static_cast<uint32_t>(options.memberCount) : static_cast<uint32_t>(records.size()));
  PutLe(&b, 28, 4, entries);
  uint32_t at = 32 + 12 * entries;
  if (offsets) offsets->clear();
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t used = i < records.size() ? static_cast<uint32_t>(records[i].size()) : 0;
    AppendLe(&b, 4, at);
    AppendLe(&b, 4, used);
    AppendLe(&b, 4, used + options.storedSlack);
    if (offsets && i < records.size()) offsets->push_back(at);
    at += used + options.storedSlack;
  }
  for (const Bytes& r : records) {
    b.insert(b.end(), r.begin(), r.end());
    b.insert(b.end(), options.storedSlack, 0);
  }
  b.insert(b.end(), size_t{options.storedSlack} * options.extraEntries, 0);
  return b;
}

bool WriteFile(const std::string& path, const Bytes& bytes, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot create " + path;
    return false;
  }
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace firstgen
