// Writes a seed corpus for fuzz_data_file: small well-formed data files of
// every kind of table the reader knows (raw, keyed, compressed, Huffman
// text, first-key texts, bit-packed values). Usage: fuzz_data_file_seeds DIR
#include <cstdio>
#include <string>

#include "tests/engine/data_file_fixture.h"

using namespace fixture;

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Table Raw(uint32_t flags, uint32_t blocks, uint32_t rows, uint32_t unitSize = 1) {
  Table t;
  t.flags = flags;
  Column c;
  c.unitSize = unitSize;
  uint32_t row = 0;
  for (uint32_t b = 0; b < blocks; ++b) {
    std::vector<Bytes> recs;
    std::vector<uint32_t> keys;
    for (uint32_t i = 0; i < rows; ++i, ++row) {
      Bytes r = Text("row" + std::to_string(row));
      while (r.size() % unitSize) r.push_back('.');
      recs.push_back(r);
      keys.push_back(100 + 3 * row + ((flags & 0x020) ? 0x10000 * row : 0));
    }
    Block blk = RecordsBlock(recs, flags, unitSize, keys);
    blk.word0 = row - rows;
    blk.word1 = row - rows;
    if (flags & 0x200) CompressBlock(blk, unitSize, b % 2 == 0);
    c.blocks.push_back(blk);
  }
  t.columns.push_back(c);
  return t;
}

Table Words() {
  Table t;
  t.flags = 0x100;
  Column c;
  c.unitSize = 2;
  const char16_t* words[] = {u"apple", u"bank", u"cat", u"dog", u"east", u"fig", u"gate", u"mid", u"zoo"};
  for (size_t first = 0; first < 9; first += 3) {
    std::vector<Bytes> recs;
    for (size_t i = first; i < first + 3; ++i) recs.push_back(TextBytes(words[i], true));
    Block b = RecordsBlock(recs, t.flags, 2);
    b.word0 = static_cast<uint32_t>(first);
    b.firstText = words[first];
    c.blocks.push_back(b);
  }
  t.columns.push_back(c);
  return t;
}

Table Huffman() {
  std::vector<std::pair<char16_t, uint32_t>> lengths;
  std::u16string alphabet = u" etaoinshrdlcumwfgypbvkjxqzETAOINSHRDLCUMW.,";
  for (size_t i = 0; i < 46; ++i)
    lengths.push_back({i < alphabet.size() ? alphabet[i] : static_cast<char16_t>(0x4E00 + i),
                       i < 2 ? 2u : i < 6 ? 4u : i < 14 ? 6u : 8u});
  CanonicalCode code = MakeCanonicalCode(lengths);
  Table t;
  t.flags = 0x002;
  t.textKind = 4096;
  t.subtables.push_back(HuffmanSubtable(code));
  Column c;
  std::vector<Bytes> recs = {HuffmanEncode(code, u"the cat"), HuffmanEncode(code, u"a dog, two"),
                             HuffmanEncode(code, u"Mountain.")};
  c.blocks.push_back(RecordsBlock(recs, t.flags, 1));
  t.columns.push_back(c);
  return t;
}

Table Packed() {
  Table t;
  t.flags = 0x004;
  Column c;
  c.unitSize = 13;
  Block b;
  b.data = PackBits({1, 8191, 4096, 77, 5, 6}, 13);
  b.units = 6;
  c.blocks.push_back(b);
  t.columns.push_back(c);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  std::vector<std::pair<std::string, DataFile>> seeds;
  auto add = [&](const std::string& name, std::vector<Table> tables) {
    DataFile f;
    f.longName = u"Seed file";
    f.notice = u"Notice";
    f.tables = std::move(tables);
    seeds.push_back({name, f});
  };
  add("raw", {Raw(0, 3, 4)});
  add("keyed16", {Raw(0x050, 3, 4)});
  add("keyed32", {Raw(0x070, 2, 3)});
  add("fixed", {[] {
        Table t = Raw(0x008, 1, 1);
        t.fixedLength = 4;
        return t;
      }()});
  add("zlib", {Raw(0x200, 3, 5, 2)});
  add("words", {Words()});
  add("huffman", {Huffman()});
  add("packed", {Packed()});
  add("several", {Raw(0x850, 2, 2), Words(), Packed()});
  for (auto& [name, f] : seeds) {
    Bytes bytes = BuildContainer(BuildRecords(f));
    std::string path = std::string(argv[1]) + "/" + name + ".pdb";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  return 0;
}
