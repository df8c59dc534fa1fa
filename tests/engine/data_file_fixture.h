// A tiny writer of data files for the reader's tests: it lays out exactly
// the records a test describes (so a test can also describe a malformed
// file), with explicit little/big-endian encoders. The full writer lives in
// tools/databuild; this one is deliberately separate and small.
#pragma once

#include <stdlib.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "platform/device_paths.h"
#include "platform/files.h"

namespace fixture {

using Bytes = std::vector<uint8_t>;

inline void PutLe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutLe32(Bytes& b, uint32_t v) {
  PutLe16(b, v & 0xFFFF);
  PutLe16(b, v >> 16);
}
inline void PutBe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
inline void PutBe32(Bytes& b, uint32_t v) {
  PutBe16(b, v >> 16);
  PutBe16(b, v & 0xFFFF);
}
inline void SetLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void SetLe16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutText(Bytes& b, std::u16string_view text) {
  for (char16_t c : text) PutLe16(b, c);
}
inline Bytes TextBytes(std::u16string_view text, bool terminate = false) {
  Bytes b;
  PutText(b, text);
  if (terminate) PutLe16(b, 0);
  return b;
}

// One block of a column, as stored.
struct Block {
  uint32_t rows = 0;
  std::vector<uint16_t> rowWords;  // rows x words per row (padding added when written)
  uint32_t units = 0;              // the block's data-length word
  Bytes data;                      // record data as stored (compressed when the table is)
  uint32_t word0 = 0, word1 = 0, word2 = 0;  // block-index entry
  std::u16string firstText;                  // with flag 0x100
};

struct Column {
  uint32_t unitSize = 1;
  std::vector<Block> blocks;
};

struct Table {
  uint32_t type = 0x1000;
  uint32_t version = 1;
  uint32_t flags = 0;
  uint32_t textKind = 0;
  uint32_t fixedLength = 0;
  uint32_t entryCount = 0;
  std::u16string name1, name2;
  Bytes info;
  std::vector<Column> columns;
  std::vector<Bytes> subtables;
  uint32_t entriesPerIndexRecord = 0;  // 0: one index record for all blocks
};

struct DataFile {
  std::vector<Table> tables;
  std::u16string shortName = u"Test", longName, notice;
  uint32_t version = 8;
  std::vector<uint32_t> directoryTypes;  // overrides the directory's type ids when given
};

inline uint32_t WordsPerRow(uint32_t flags) {
  return ((flags & 0x008) ? 0 : 1) + ((flags & 0x010) ? 1 : 0) + ((flags & 0x020) ? 1 : 0);
}

// Records of a data file: record 0 is the database header (its size fields
// are filled by BuildContainer), then each table's header, index records,
// subtables and blocks.
inline std::vector<Bytes> BuildRecords(const DataFile& f) {
  std::vector<Bytes> records(1);
  std::vector<uint32_t> headerIndex;
  for (const Table& t : f.tables) {
    uint32_t h = static_cast<uint32_t>(records.size());
    headerIndex.push_back(h);
    std::vector<const Block*> all;
    for (const Column& c : t.columns)
      for (const Block& b : c.blocks) all.push_back(&b);
    uint32_t perRecord = t.entriesPerIndexRecord ? t.entriesPerIndexRecord : static_cast<uint32_t>(all.size());
    uint32_t indexRecords = all.empty() ? 1 : static_cast<uint32_t>((all.size() + perRecord - 1) / perRecord);
    uint32_t leading = 1 + indexRecords + static_cast<uint32_t>(t.subtables.size());

    Bytes hdr(256, 0);
    SetLe32(hdr, 0, t.type);
    SetLe32(hdr, 4, t.version);
    SetLe32(hdr, 8, t.flags);
    SetLe32(hdr, 16, leading + static_cast<uint32_t>(all.size()));
    SetLe32(hdr, 20, indexRecords);
    SetLe32(hdr, 24, static_cast<uint32_t>(t.subtables.size()));
    SetLe32(hdr, 28, static_cast<uint32_t>(t.info.size()));
    SetLe32(hdr, 32, static_cast<uint32_t>(t.columns.size()));
    SetLe32(hdr, 36, t.entryCount);
    SetLe32(hdr, 40, t.fixedLength);
    SetLe32(hdr, 56, t.textKind);
    for (size_t i = 0; i < t.name1.size() && i < 31; ++i) SetLe16(hdr, 112 + 2 * i, t.name1[i]);
    for (size_t i = 0; i < t.name2.size() && i < 39; ++i) SetLe16(hdr, 176 + 2 * i, t.name2[i]);
    hdr.insert(hdr.end(), t.info.begin(), t.info.end());
    uint32_t block = leading;
    for (const Column& c : t.columns) {
      PutLe32(hdr, block);
      PutLe32(hdr, c.unitSize);
      block += static_cast<uint32_t>(c.blocks.size());
    }
    records.push_back(hdr);

    for (uint32_t r = 0; r < indexRecords; ++r) {
      size_t from = size_t{r} * perRecord;
      size_t to = std::min(all.size(), from + perRecord);
      Bytes idx;
      PutLe32(idx, static_cast<uint32_t>(to - from));
      for (size_t k = from; k < to; ++k) {
        PutLe32(idx, all[k]->word0);
        PutLe32(idx, all[k]->word1);
        PutLe32(idx, all[k]->word2);
      }
      if (t.flags & 0x100) {
        Bytes texts;
        for (size_t k = from; k < to; ++k) {
          PutLe16(idx, static_cast<uint32_t>(texts.size()));
          PutText(texts, all[k]->firstText);
          PutLe16(texts, 0);
        }
        idx.insert(idx.end(), texts.begin(), texts.end());
      }
      records.push_back(idx);
    }
    for (const Bytes& s : t.subtables) records.push_back(s);
    uint32_t wpr = WordsPerRow(t.flags);
    for (const Block* b : all) {
      Bytes rec;
      PutLe32(rec, b->rows);
      PutLe32(rec, b->units);
      for (uint16_t w : b->rowWords) PutLe16(rec, w);
      if ((b->rows * wpr) % 2) PutLe16(rec, 0);
      rec.insert(rec.end(), b->data.begin(), b->data.end());
      records.push_back(rec);
    }
  }

  Bytes& db = records[0];
  db.assign(132, 0);
  std::memcpy(db.data(), "SORVIsorviDB", 12);
  SetLe32(db, 12, 0xC8D32E17u);
  SetLe32(db, 16, f.version);
  SetLe32(db, 40, static_cast<uint32_t>(f.tables.size()));
  for (size_t i = 0; i < f.shortName.size() && i < 31; ++i) SetLe16(db, 44 + 2 * i, f.shortName[i]);
  SetLe32(db, 108, static_cast<uint32_t>(f.longName.size()));
  SetLe32(db, 112, static_cast<uint32_t>(f.notice.size()));
  for (size_t i = 0; i < f.tables.size(); ++i) {
    PutLe32(db, headerIndex[i]);
    PutLe32(db, i < f.directoryTypes.size() ? f.directoryTypes[i] : f.tables[i].type);
  }
  PutText(db, f.longName);
  PutText(db, f.notice);
  return records;
}

// The container: 78-byte big-endian header, record list, records. With
// `patchHeader` the database header's record count, file size and data size
// are filled in (plus `sizeDelta` on the file size).
inline Bytes BuildContainer(std::vector<Bytes> records, bool patchHeader = true, int32_t sizeDelta = 0,
                            const char* type = "SXDB", const char* creator = "SRVN") {
  size_t offset = 78 + 8 * records.size();
  std::vector<uint32_t> offsets;
  for (const Bytes& r : records) {
    offsets.push_back(static_cast<uint32_t>(offset));
    offset += r.size();
  }
  if (patchHeader && !records.empty() && records[0].size() >= 40) {
    SetLe32(records[0], 28, static_cast<uint32_t>(records.size()));
    SetLe32(records[0], 32, static_cast<uint32_t>(offset + sizeDelta));
    SetLe32(records[0], 36, static_cast<uint32_t>(offset - offsets[0]));
  }
  Bytes out(60, 0);
  std::memcpy(out.data(), "fixture", 7);
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), creator, creator + 4);
  out.resize(76, 0);
  PutBe16(out, static_cast<uint32_t>(records.size()));
  for (size_t i = 0; i < records.size(); ++i) {
    PutBe32(out, offsets[i]);
    PutBe32(out, static_cast<uint32_t>(i));
  }
  for (const Bytes& r : records) out.insert(out.end(), r.begin(), r.end());
  return out;
}

// A block of whole records of a byte-unit column. Keys are written when the
// flags ask for them; offsets count units.
inline Block RecordsBlock(const std::vector<Bytes>& recs, uint32_t flags, uint32_t unitSize,
                          const std::vector<uint32_t>& keys = {}) {
  Block b;
  b.rows = static_cast<uint32_t>(recs.size());
  uint32_t offset = 0;
  for (size_t i = 0; i < recs.size(); ++i) {
    if (flags & 0x010) {
      uint32_t key = i < keys.size() ? keys[i] : 0;
      b.rowWords.push_back(static_cast<uint16_t>(key));
      if (flags & 0x020) b.rowWords.push_back(static_cast<uint16_t>(key >> 16));
    }
    if (!(flags & 0x008)) b.rowWords.push_back(static_cast<uint16_t>(offset));
    b.data.insert(b.data.end(), recs[i].begin(), recs[i].end());
    offset += static_cast<uint32_t>(recs[i].size() / unitSize);
  }
  b.units = offset;
  if (!keys.empty()) b.word2 = keys[0];
  return b;
}

// zlib stream with a 2^14 window; finished (Z_FINISH) or only sync-flushed.
inline Bytes Deflate(const Bytes& data, bool finished) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, 14, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&zs, data.size()) + 64);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, finished ? Z_FINISH : Z_SYNC_FLUSH);
  out.resize(out.size() - zs.avail_out);
  deflateEnd(&zs);
  return out;
}

// Compresses a block's data in place; units become the compressed length
// in units (padded to whole units).
inline void CompressBlock(Block& b, uint32_t unitSize, bool finished) {
  Bytes z = Deflate(b.data, finished);
  while (z.size() % unitSize) z.push_back(0);
  b.units = static_cast<uint32_t>(z.size() / unitSize);
  b.data = z;
}

// Bit-packed values, most significant bit first, padded to 32-bit words.
inline Bytes PackBits(const std::vector<uint32_t>& values, uint32_t width) {
  Bytes out;
  uint64_t bit = 0;
  for (uint32_t v : values) {
    for (int i = static_cast<int>(width) - 1; i >= 0; --i, ++bit) {
      if (out.size() <= bit / 8) out.push_back(0);
      if ((v >> i) & 1) out[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
    }
  }
  while (out.size() % 4) out.push_back(0);
  return out;
}

// A canonical Huffman code given each symbol's code length: longer codes
// take the small values, each shorter length continues above them.
struct CanonicalCode {
  uint32_t longest = 0, shortest = 0;
  std::map<uint32_t, std::vector<char16_t>> byLength;  // in symbol-list order
  std::map<char16_t, std::pair<uint32_t, uint32_t>> codes;  // symbol -> (value, length)
};

inline CanonicalCode MakeCanonicalCode(const std::vector<std::pair<char16_t, uint32_t>>& lengths) {
  CanonicalCode h;
  h.shortest = 32;
  for (auto& [s, len] : lengths) {
    h.byLength[len].push_back(s);
    h.longest = std::max(h.longest, len);
    h.shortest = std::min(h.shortest, len);
  }
  uint64_t first = 0, prevCount = 0;
  for (uint32_t len = h.longest; len >= h.shortest && len > 0; --len) {
    if (len != h.longest) first = (first + prevCount) / 2;
    const auto& syms = h.byLength[len];
    for (size_t i = 0; i < syms.size(); ++i) h.codes[syms[i]] = {static_cast<uint32_t>(first + i), len};
    prevCount = syms.size();
  }
  return h;
}

inline Bytes HuffmanSubtable(const CanonicalCode& h) {
  Bytes b;
  PutLe32(b, h.longest);
  PutLe32(b, h.shortest);
  for (uint32_t len = h.longest; len >= h.shortest && len > 0; --len) {
    auto it = h.byLength.find(len);
    PutLe32(b, it == h.byLength.end() ? 0 : static_cast<uint32_t>(it->second.size()));
  }
  for (uint32_t len = h.longest; len >= h.shortest && len > 0; --len) {
    auto it = h.byLength.find(len);
    if (it != h.byLength.end())
      for (char16_t s : it->second) PutLe16(b, s);
  }
  return b;
}

// A text coded MSB-first, zero-padded to a whole byte.
inline Bytes HuffmanEncode(const CanonicalCode& h, std::u16string_view text) {
  Bytes out;
  uint64_t bit = 0;
  for (char16_t c : text) {
    auto [value, len] = h.codes.at(c);
    for (int i = static_cast<int>(len) - 1; i >= 0; --i, ++bit) {
      if (out.size() <= bit / 8) out.push_back(0);
      if ((value >> i) & 1) out[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
    }
  }
  return out;
}

// Writes `bytes` as a device file "\\<name>" under a device root of this
// test process and opens it as a DbFile (null when refused).
inline std::string& FixtureRoot() {
  static std::string root;
  return root;
}

inline DbFile* WriteAndOpen(const Bytes& bytes, const std::string& name) {
  std::string& root = FixtureRoot();
  if (root.empty()) {
    std::string templ = (std::filesystem::temp_directory_path() / "sorvi-reader-test-XXXXXX").string();
    root = mkdtemp(templ.data()) ? templ : std::string();
    std::atexit([] { std::filesystem::remove_all(FixtureRoot()); });
  }
  // Other tests in the process may have moved the device root.
  SetDeviceRoot(root.c_str());
  {
    std::ofstream out(root + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::u16string path = u"\\" + Utf8ToUtf16(name);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  int kind = 0;
  return OpenDbFile(h, path.c_str(), &kind);
}

}  // namespace fixture
