// The prefix index 0x1100, the keys of every index, and the whole set of
// search indexes of a dictionary. The posting tables are in
// posting_tables.cpp.
#include "tools/databuild/index_tables.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <set>

#include "tools/databuild/dict_tables.h"
#include "tools/databuild/index_internal.h"

namespace databuild {

namespace {

bool IsPrivateUse(char16_t u) { return u >= 0xE000 && u <= 0xF8FF; }
bool IsSyllableCode(char16_t u) { return u >= 0xE000 && u <= 0xE9EF; }

std::u16string HeadwordKey(std::u16string_view headword) {
  std::u16string key;
  for (char16_t u : WithoutParentheses(headword)) {
    if (IsIndexBlank(u) || u == 0x00B7 || IsPrivateUse(u)) continue;
    key.push_back(u);
  }
  return key;
}

std::u16string PronunciationKey(std::u16string_view pinyin) {
  std::u16string key;
  for (char16_t u : WithoutParentheses(pinyin)) {
    if (IsSyllableCode(u)) key.push_back(u);
  }
  return key;
}

}  // namespace

bool IsIndexBlank(char16_t u) { return u == u' ' || u == 0x3000; }

std::u16string WithoutParentheses(std::u16string_view text) {
  std::u16string out;
  int depth = 0;
  for (char16_t u : text) {
    if (u == u'(' || u == 0xFF08) {
      ++depth;
    } else if ((u == u')' || u == 0xFF09) && depth > 0) {
      --depth;
    } else if (depth == 0) {
      out.push_back(u);
    }
  }
  return out;
}

std::uint32_t BitsFor(std::uint64_t value) {
  std::uint32_t bits = 1;
  while (bits < 64 && (value >> bits) != 0) ++bits;
  return bits;
}

std::uint32_t MaxValuesPerRecord(std::uint32_t bits) {
  // A row's record never crosses a block: the block's limits in values
  // (16-bit unit offsets) and in bytes of whole 32-bit words.
  const std::uint64_t byBytes = static_cast<std::uint64_t>(kMaxBlockBytes) * 8 / bits;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(byBytes, kMaxBlockUnits));
}

std::uint32_t BitPackedBlockBytes(const ColumnSpec& column) {
  std::uint64_t largest = 0;
  for (const RowSpec& r : column.rows) largest = std::max<std::uint64_t>(largest, r.values.size());
  const std::uint64_t bytes = (largest * column.unitSize + 31) / 32 * 4;
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(bytes, 8192, kMaxBlockBytes));
}

SearchIndexOptions SearchIndexOptionsFor(std::uint32_t language) {
  SearchIndexOptions o;
  if (language == kLanguageEnglish) {
    o.englishHeadwords = true;
    o.prefixIndex = false;
    o.triples = true;
  }
  return o;
}

std::vector<std::u16string> PrefixIndexKeys(const SearchIndexEntry& entry) {
  std::vector<std::u16string> keys;
  auto add = [&keys](std::u16string k) {
    if (!k.empty() && std::find(keys.begin(), keys.end(), k) == keys.end()) keys.push_back(std::move(k));
  };
  for (const std::u16string& h : entry.headwords) add(HeadwordKey(h));
  add(PronunciationKey(entry.pinyin));
  return keys;
}

namespace {

struct KeyNode {
  std::u16string key;
  std::uint32_t entry = 0;
};

// Rows of one column from (character, value) nodes already in order.
ColumnSpec ColumnFromNodes(const std::vector<std::pair<char16_t, std::uint32_t>>& nodes, std::uint32_t bits) {
  ColumnSpec col;
  col.unitSize = bits;
  for (const auto& [ch, value] : nodes) {
    if (col.rows.empty() || col.rows.back().key != ch) col.rows.push_back(MakeValuesRow(ch, {}));
    col.rows.back().values.push_back(value);
  }
  return col;
}

bool CheckRecords(const ColumnSpec& col, const char* what, std::string* error) {
  const std::uint32_t limit = MaxValuesPerRecord(col.unitSize);
  for (const RowSpec& r : col.rows) {
    if (r.values.size() > limit) {
      if (error) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(r.key));
        *error = std::string(what) + ": character U+" + hex + " has " +
                 std::to_string(r.values.size()) + " nodes; a record holds at most " + std::to_string(limit);
      }
      return false;
    }
  }
  return true;
}

}  // namespace

int MakeSearchPrefixIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options,
                               const std::vector<char16_t>& bitmapChars, TableSpec* out, std::string* error) {
  std::vector<KeyNode> keys;
  std::size_t longest = 0;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    for (std::u16string& k : PrefixIndexKeys(entries[e])) {
      longest = std::max(longest, k.size());
      keys.push_back({std::move(k), static_cast<std::uint32_t>(e)});
    }
  }
  const std::uint32_t entryBits = BitsFor(entries.empty() ? 0 : entries.size() - 1);

  PrefixIndexSpec p;
  p.singleCharHeadwords = bitmapChars;
  p.flags = kTableBitPacked | kTableKeyed | kTableSorted;

  // Column 0: the entries whose whole key is one character.
  std::map<char16_t, std::set<std::uint32_t>> single;
  for (const KeyNode& k : keys) {
    if (k.key.size() == 1) single[k.key[0]].insert(k.entry);
  }
  std::vector<std::pair<char16_t, std::uint32_t>> nodes;
  for (const auto& [ch, ids] : single) {
    for (std::uint32_t id : ids) nodes.emplace_back(ch, id);
  }
  p.columns.push_back(ColumnFromNodes(nodes, entryBits));
  if (!CheckRecords(p.columns.back(), "prefix index column 0", error)) return 1;

  // Columns 1..depth: one node per key and depth. `position` holds each
  // key's node position in the column before.
  const std::size_t depth = std::min<std::size_t>(longest, options.maxKeyDepth);
  std::vector<std::uint32_t> position(keys.size(), 0);
  for (std::size_t c = 1; c <= depth; ++c) {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (keys[k].key.size() >= c) order.push_back(k);
    }
    auto value = [&](std::size_t k) { return c == 1 ? keys[k].entry : position[k]; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      const char16_t ca = keys[a].key[c - 1], cb = keys[b].key[c - 1];
      if (ca != cb) return ca < cb;
      return value(a) < value(b);
    });
    nodes.clear();
    std::uint32_t widest = 0;
    for (std::size_t k : order) {
      nodes.emplace_back(keys[k].key[c - 1], value(k));
      widest = std::max(widest, value(k));
    }
    for (std::size_t i = 0; i < order.size(); ++i) position[order[i]] = static_cast<std::uint32_t>(i);
    p.columns.push_back(ColumnFromNodes(nodes, c == 1 ? entryBits : BitsFor(widest)));
    const std::string what = "prefix index column " + std::to_string(c);
    if (!CheckRecords(p.columns.back(), what.c_str(), error)) return 1;
  }

  if (MakePrefixIndexTable(p, out, error) != 0) return 1;
  std::uint32_t blockBytes = 8192;
  for (const ColumnSpec& col : out->columns) blockBytes = std::max(blockBytes, BitPackedBlockBytes(col));
  out->maxBlockBytes = blockBytes;
  out->maxBlockRows = options.maxBlockRows;
  out->hasEntryCount = true;
  out->entryCount = static_cast<std::uint32_t>(entries.size());
  return 0;
}

int MakeSearchIndexTables(const DictionaryEntries& entries, const SearchIndexOptions& options,
                          std::vector<TableSpec>* out, std::string* error) {
  std::vector<TableSpec> tables;
  TableSpec t;
  if (options.prefixIndex) {
    std::vector<std::u16string> heads;
    for (const SearchIndexEntry& e : entries) heads.insert(heads.end(), e.headwords.begin(), e.headwords.end());
    if (MakeSearchPrefixIndexTable(entries, options, SingleCharHeadwords(heads), &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  if (options.charPairs) {
    if (MakeCharPairIndexTable(entries, options, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  if (options.words == WordIndexKind::Plain || options.words == WordIndexKind::Both) {
    if (MakeWordIndexTable(entries, options, false, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  if (options.words == WordIndexKind::Ranked || options.words == WordIndexKind::Both) {
    if (MakeWordIndexTable(entries, options, true, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  if (options.triples) {
    if (MakeTripleIndexTable(entries, options, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  *out = std::move(tables);
  return 0;
}

int AddSearchIndexes(DataFileSpec& file, const DictionaryEntries& entries, const SearchIndexOptions& options,
                     std::string* error) {
  std::vector<TableSpec> tables;
  if (MakeSearchIndexTables(entries, options, &tables, error) != 0) return 1;
  for (TableSpec& t : tables) {
    auto existing = std::find_if(file.tables.begin(), file.tables.end(),
                                 [](const TableSpec& f) { return f.type == kTypeDictPrefixIndex; });
    if (t.type == kTypeDictPrefixIndex && existing != file.tables.end()) {
      // Keep the bitmap (and any further subtables) the file already has.
      std::vector<ByteVec> subtables = std::move(existing->subtables);
      *existing = std::move(t);
      existing->subtables = std::move(subtables);
      continue;
    }
    file.tables.push_back(std::move(t));
  }
  return 0;
}

}  // namespace databuild
