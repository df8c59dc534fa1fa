#include "tests/databuild/file_decoder.h"

#include <zlib.h>

namespace dectest {

using databuild::GetU16LE;
using databuild::GetU32BE;
using databuild::GetU32LE;

std::vector<Span> ContainerRecords(const ByteVec& file) {
  std::vector<Span> out;
  if (file.size() < 78) return out;
  const std::uint32_t n = databuild::GetU16BE(&file[76]);
  if (file.size() < 78 + 8ull * n) return out;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t off = GetU32BE(&file[78 + 8 * i]);
    const std::uint32_t end = i + 1 < n ? GetU32BE(&file[78 + 8 * (i + 1)]) : static_cast<std::uint32_t>(file.size());
    if (off > end || end > file.size()) return {};
    out.push_back({off, end - off});
  }
  return out;
}

ByteVec RecordBytes(const ByteVec& file, std::uint32_t index) {
  const std::vector<Span> recs = ContainerRecords(file);
  if (index >= recs.size()) return {};
  return ByteVec(file.begin() + recs[index].offset, file.begin() + recs[index].offset + recs[index].size);
}

static std::u16string Utf16Z(const std::uint8_t* p, std::size_t maxUnits) {
  std::u16string s;
  for (std::size_t i = 0; i < maxUnits; ++i) {
    const char16_t u = GetU16LE(p + 2 * i);
    if (u == 0) break;
    s.push_back(u);
  }
  return s;
}

std::uint32_t Table::BlockCount(std::uint32_t column) const {
  const std::uint32_t next = column + 1 < columnCount ? firstBlock[column + 1] : blockEnd;
  return next - firstBlock[column];
}

std::uint32_t Table::WordsPerRow() const {
  return ((flags & 0x008) ? 0 : 1) + ((flags & 0x010) ? 1 : 0) + ((flags & 0x020) ? 1 : 0);
}

Table DecodeTable(const ByteVec& file, std::uint32_t h) {
  Table t;
  t.h = h;
  const ByteVec r = RecordBytes(file, h);
  if (r.size() < 256) return t;
  t.type = GetU32LE(&r[0]);
  t.version = GetU32LE(&r[4]);
  t.flags = GetU32LE(&r[8]);
  t.blockEnd = GetU32LE(&r[16]);
  t.indexCount = GetU32LE(&r[20]);
  t.subtableCount = GetU32LE(&r[24]);
  t.infoSize = GetU32LE(&r[28]);
  t.columnCount = GetU32LE(&r[32]);
  t.entryCount = GetU32LE(&r[36]);
  t.fixedLength = GetU32LE(&r[40]);
  t.textKind = GetU32LE(&r[56]);
  t.name1 = Utf16Z(&r[112], 32);
  t.name2 = Utf16Z(&r[176], 40);
  if (r.size() < 256 + t.infoSize + 8ull * t.columnCount) return t;
  t.info.assign(r.begin() + 256, r.begin() + 256 + t.infoSize);
  for (std::uint32_t c = 0; c < t.columnCount; ++c) {
    t.firstBlock.push_back(GetU32LE(&r[256 + t.infoSize + 8 * c]));
    t.unitSize.push_back(GetU32LE(&r[256 + t.infoSize + 8 * c + 4]));
  }
  for (std::uint32_t i = 0; i < t.indexCount; ++i) {
    ByteVec ir = RecordBytes(file, h + 1 + i);
    const std::uint32_t n = GetU32LE(&ir[0]);
    for (std::uint32_t e = 0; e < n; ++e) {
      t.entries.push_back({GetU32LE(&ir[4 + 12 * e]), GetU32LE(&ir[8 + 12 * e]), GetU32LE(&ir[12 + 12 * e])});
    }
    if (t.flags & 0x100) {
      const std::size_t offs = 4 + 12 * n;
      const std::size_t area = offs + 2 * n;
      for (std::uint32_t e = 0; e < n; ++e) {
        const std::size_t from = area + GetU16LE(&ir[offs + 2 * e]);
        const std::size_t to = e + 1 < n ? area + GetU16LE(&ir[offs + 2 * (e + 1)]) : ir.size();
        t.texts.push_back(Utf16Z(&ir[from], (to - from) / 2));
      }
    }
    t.indexRecords.push_back(std::move(ir));
  }
  return t;
}

Block DecodeBlock(const ByteVec& file, const Table& t, std::uint32_t column, std::uint32_t j) {
  Block b;
  const ByteVec r = RecordBytes(file, t.h + t.firstBlock[column] + j);
  b.rows = GetU32LE(&r[0]);
  b.units = GetU32LE(&r[4]);
  const std::uint32_t words = b.rows * t.WordsPerRow();
  b.rowTableWords = words + (words % 2);
  for (std::uint32_t w = 0; w < b.rowTableWords; ++w) b.rowTable.push_back(GetU16LE(&r[8 + 2 * w]));
  const std::size_t dataAt = 8 + 2 * b.rowTableWords;
  b.stored.assign(r.begin() + dataAt, r.end());
  if (!(t.flags & 0x200)) {
    b.data = b.stored;
    return b;
  }
  z_stream s{};
  b.data.assign(49152, 0);
  s.next_in = const_cast<Bytef*>(b.stored.data());
  s.avail_in = t.unitSize[column] * b.units;
  s.next_out = b.data.data();
  s.avail_out = 49152;
  inflateInit2(&s, 14);
  b.inflateResult = inflate(&s, Z_PARTIAL_FLUSH);
  b.data.resize(49152 - s.avail_out);
  inflateEnd(&s);
  return b;
}

std::uint32_t ReadBits(const ByteVec& data, std::uint64_t pos, unsigned n) {
  std::uint32_t v = 0;
  for (unsigned i = 0; i < n; ++i, ++pos) {
    const std::uint64_t byte = pos / 8;
    const unsigned bit = byte < data.size() ? (data[byte] >> (7 - pos % 8)) & 1 : 0;
    v = (v << 1) | bit;
  }
  return v;
}

Huffman DecodeHuffmanTable(const ByteVec& st) {
  Huffman h;
  h.L = GetU32LE(&st[0]);
  h.m = GetU32LE(&st[4]);
  const std::uint32_t k = (h.L - h.m + 1) % 256;
  std::size_t total = 0;
  for (std::uint32_t i = 0; i < k; ++i) {
    h.counts.push_back(GetU32LE(&st[8 + 4 * i]));
    total += h.counts.back();
  }
  for (std::size_t i = 0; i < total; ++i) h.symbols.push_back(GetU16LE(&st[8 + 4 * k + 2 * i]));
  return h;
}

std::int64_t HuffmanKraftSlack(const Huffman& h) {
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < h.counts.size(); ++i) sum += static_cast<std::int64_t>(h.counts[i]) << i;
  return (std::int64_t{1} << h.L) - sum;
}

std::u16string HuffmanDecode(const Huffman& h, const ByteVec& data, std::uint64_t begin, std::uint64_t end) {
  const std::uint32_t k = static_cast<std::uint32_t>(h.counts.size());
  std::vector<std::uint64_t> first(k);
  std::vector<std::size_t> listStart(k);
  std::uint64_t f = 0;
  std::size_t start = 0;
  for (std::uint32_t i = 0; i < k; ++i) {
    if (i > 0) {
      f = (f + h.counts[i - 1]) / 2;
      start += h.counts[i - 1];
    }
    first[i] = f << i;
    listStart[i] = start;
  }
  std::u16string out;
  std::uint64_t pos = begin;
  while (pos < end) {
    const std::uint32_t v = ReadBits(data, pos, h.L);
    std::uint32_t lo = 0, hi = k;
    while (hi - lo > 1) {
      const std::uint32_t mid = (lo + hi) / 2;
      if (v < first[mid]) {
        hi = mid;
      } else {
        lo = mid;
      }
    }
    pos += h.L - lo;
    if (pos > end) break;
    out.push_back(static_cast<char16_t>(h.symbols[listStart[lo] + ((v - first[lo]) >> lo)]));
  }
  return out;
}

}  // namespace dectest
