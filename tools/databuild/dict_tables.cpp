#include "tools/databuild/dict_tables.h"

#include <algorithm>

#include "engine/latin_fold.h"
#include "engine/text_compare.h"
#include "tools/databuild/row_sort.h"

namespace databuild {

namespace {

bool Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return false;
}

bool CheckText(std::u16string_view text, std::size_t maxUnits, const char* what, std::string* error) {
  if (text.size() > maxUnits) {
    return Fail(error, std::string(what) + " has " + std::to_string(text.size()) + " units; at most " +
                           std::to_string(maxUnits));
  }
  return true;
}

bool FieldBytes(const DictFieldSpec& f, ByteVec& out, std::size_t at, std::string* error) {
  if (!CheckText(f.name, 32, "a field name", error) || !CheckText(f.name2, 32, "a second field name", error) ||
      !CheckText(f.prefix, 16, "a field prefix", error) || !CheckText(f.suffix, 16, "a field suffix", error) ||
      !CheckText(f.separator, 16, "a field separator", error)) {
    return false;
  }
  PutUtf16LE(out, at + 0, f.name, 32);
  PutUtf16LE(out, at + 64, f.name2, 32);
  PutUtf16LE(out, at + 272, f.prefix, 16);
  PutUtf16LE(out, at + 304, f.suffix, 16);
  PutUtf16LE(out, at + 336, f.separator, 16);
  PutU32LE(out, at + 372, f.classWord);
  PutU32LE(out, at + 376, f.type);
  PutU32LE(out, at + 380, f.displayKind);
  PutU32LE(out, at + 384, f.grouping);
  PutU32LE(out, at + 392, f.level);
  PutU32LE(out, at + 408, f.style);
  PutU32LE(out, at + 416, f.color);
  return true;
}

void SectionBytes(const DictSectionSpec& s, ByteVec& out, std::size_t at) {
  PutU32LE(out, at + 0, s.flags);
  PutU32LE(out, at + 8, s.limit);
  PutU32LE(out, at + 12, s.style);
  PutU16LE(out, at + 16, s.prefix);
  PutU16LE(out, at + 18, s.suffix);
  PutU32LE(out, at + 20, s.switchCount);
  PutU32LE(out, at + 24, s.style2);
  PutU16LE(out, at + 28, s.prefix2);
  PutU16LE(out, at + 30, s.suffix2);
}

// A DictInfoHeader without fields, for the tables that only carry flags.
int SmallInfoHeader(std::uint32_t creator, std::uint32_t dictId, std::uint32_t flags, ByteVec* out,
                    std::string* error) {
  DictInfoSpec info;
  info.creator = creator;
  info.dictId = dictId;
  info.flags = flags;
  return BuildDictInfoHeader(info, out, error);
}

}  // namespace

int BuildDictInfoHeader(const DictInfoSpec& info, ByteVec* out, std::string* error) {
  if (!CheckText(info.iconText, 3, "the icon text", error) ||
      !CheckText(info.iconText2, 3, "the second icon text", error) ||
      !CheckText(info.menuName, 32, "the menu name", error) ||
      !CheckText(info.shortName, 32, "the short name", error)) {
    return 1;
  }
  const std::size_t size =
      kDictInfoFixedSize + kDictFieldSize * info.fields.size() + kDictSectionSize * info.sections.size();
  ByteVec h(size, 0);
  PutU32LE(h, 0, info.creator);
  PutU32LE(h, 4, info.dictId);
  PutU32LE(h, 8, info.flags);
  PutU32LE(h, 12, info.firstField);
  PutU32LE(h, 16, info.language);
  PutU32LE(h, 20, info.transLanguage);
  PutUtf16LE(h, 32, info.iconText, 3);
  PutUtf16LE(h, 38, info.iconText2, 3);
  PutU32LE(h, 44, info.iconFillColor);
  PutU32LE(h, 48, info.iconTextColor);
  PutUtf16LE(h, 52, info.menuName, 32);
  PutUtf16LE(h, 116, info.shortName, 32);
  PutU32LE(h, 316, static_cast<std::uint32_t>(info.fields.size()));
  PutU32LE(h, 320, static_cast<std::uint32_t>(info.sections.size()));
  std::size_t at = kDictInfoFixedSize;
  for (std::size_t i = 0; i < info.fields.size(); ++i, at += kDictFieldSize) {
    if (!FieldBytes(info.fields[i], h, at, error)) {
      if (error) error->insert(0, "field " + std::to_string(i) + ": ");
      return 1;
    }
  }
  for (const DictSectionSpec& s : info.sections) {
    SectionBytes(s, h, at);
    at += kDictSectionSize;
  }
  *out = std::move(h);
  return 0;
}

int MakeDictEntryTable(const DictEntryTableSpec& desc, TableSpec* out, std::string* error) {
  if (desc.type != kTypeDictEntries && desc.type != kTypeDictSecondary) {
    Fail(error, "an entry table is of type 0x1000 or 0x1010");
    return 1;
  }
  TableSpec t;
  t.type = desc.type;
  t.version = desc.version;
  if (BuildDictInfoHeader(desc.info, &t.info, error) != 0) return 1;

  ColumnSpec col;
  bool need32 = desc.key32;
  bool ascending = true;
  std::vector<std::uint32_t> keys;
  for (std::size_t r = 0; r < desc.entries.size(); ++r) {
    const DictEntryRow& e = desc.entries[r];
    const std::uint32_t key = e.hasKey ? e.key : static_cast<std::uint32_t>(r);
    if (key > 0xFFFF) need32 = true;
    if (r > 0 && key <= keys.back()) ascending = false;
    keys.push_back(key);
    RowSpec row = desc.coding == EntryCoding::Huffman ? MakeHuffmanRow(key, e.text) : MakeTextRow(key, e.text);
    col.rows.push_back(std::move(row));
  }
  std::vector<std::uint32_t> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
    Fail(error, "two entries have the same key");
    return 1;
  }
  t.flags = kTableKeyed | (need32 ? kTableKey32 : 0) | (ascending ? kTableSorted : 0);
  switch (desc.coding) {
    case EntryCoding::Huffman:
      t.flags |= kTableHuffmanText;
      col.unitSize = 1;
      break;
    case EntryCoding::Raw:
      col.unitSize = 2;
      break;
    case EntryCoding::Zlib:
      t.flags |= kTableZlib;
      t.zlibEnd = desc.zlibEnd;
      col.unitSize = 2;
      break;
  }
  t.maxBlockRows = desc.maxBlockRows;
  // A compressed block is inflated whole for each entry read from it, so
  // those stay small; a long entry gets a block of its own (a coded unit
  // takes at most 3 bytes). Other blocks are read in place, so their size
  // costs a read nothing, and large ones make few: a text check walks its
  // candidates in entry order across the table, and a table of few blocks
  // (about 125 for CC-CEDICT) nearly fits the shared record cache, where a
  // table of 8 KB blocks had every block of such a walk evicted again.
  if (desc.coding != EntryCoding::Zlib) t.maxBlockBytes = kMaxBlockBytes;
  std::size_t longest = 0;
  for (const DictEntryRow& e : desc.entries) longest = std::max(longest, 3 * e.text.size());
  t.maxBlockBytes = static_cast<std::uint32_t>(
      std::clamp<std::size_t>(longest, t.maxBlockBytes, kMaxBlockBytes));
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

int MakeDictIdMapTable(const std::vector<DictIdMapping>& map, TableSpec* out, std::string* error,
                       std::uint32_t maxBlockRows) {
  std::vector<DictIdMapping> m = map;
  std::stable_sort(m.begin(), m.end(), [](const DictIdMapping& a, const DictIdMapping& b) { return a.id < b.id; });
  TableSpec t;
  t.type = kTypeDictIdMap;
  // Each row's record is one 4-byte unit, so value index = row number and
  // ReadSingleValue at the row found by key gives the mapped row.
  t.flags = kTableKeyed | kTableSorted | kTableFixedLength;
  t.fixedLength = 1;
  t.maxBlockRows = maxBlockRows;
  ColumnSpec col;
  col.unitSize = 4;
  for (std::size_t i = 0; i < m.size(); ++i) {
    if (i > 0 && m[i].id == m[i - 1].id) {
      Fail(error, "id " + std::to_string(m[i].id) + " is mapped twice");
      return 1;
    }
    if (m[i].id > 0xFFFF) t.flags |= kTableKey32;
    RowSpec row;
    row.key = m[i].id;
    AppendU32LE(row.bytes, m[i].row);
    col.rows.push_back(std::move(row));
  }
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

int MakeCharVariantTable(std::uint32_t creator, std::uint32_t dictId, const std::vector<CharVariant>& variants,
                         TableSpec* out, std::string* error) {
  std::vector<CharVariant> v = variants;
  std::stable_sort(v.begin(), v.end(), [](const CharVariant& a, const CharVariant& b) { return a.ch < b.ch; });
  TableSpec t;
  t.type = kTypeDictCharVariants;
  t.flags = kTableKeyed | kTableSorted;
  if (SmallInfoHeader(creator, dictId, kCharVariantsFlags, &t.info, error) != 0) return 1;
  ColumnSpec col;
  col.unitSize = 2;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i > 0 && v[i].ch == v[i - 1].ch) {
      Fail(error, "a character has two variant rows");
      return 1;
    }
    if (v[i].forms.empty() || v[i].forms.size() > 4) {
      Fail(error, "a character has 1 to 4 variant forms");
      return 1;
    }
    col.rows.push_back(MakeTextRow(v[i].ch, v[i].forms));
  }
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

int MakeWordLengthTable(std::uint32_t creator, std::uint32_t dictId, const std::vector<std::uint32_t>& lengths,
                        TableSpec* out, std::string* error) {
  TableSpec t;
  t.type = kTypeDictWordLengths;
  if (SmallInfoHeader(creator, dictId, kWordLengthsFlags, &t.info, error) != 0) return 1;
  ColumnSpec col;
  col.unitSize = 1;
  for (std::uint32_t len : lengths) {
    if (len == 0 || len > 65536) {
      Fail(error, "a word length is 1 to 65536");
      return 1;
    }
    if (len - 1 > 0xFF) col.unitSize = 2;
    col.values.push_back(len - 1);  // the reader adds 1
  }
  t.columns.push_back(std::move(col));
  *out = std::move(t);
  return 0;
}

void SetEntryBitmapBit(ByteVec& bitmap, char16_t c) {
  if (bitmap.size() < kEntryBitmapBytes) bitmap.resize(kEntryBitmapBytes, 0);
  const std::size_t at = 4 * (c / 32u);
  PutU32LE(bitmap, at, GetU32LE(&bitmap[at]) | (0x80000000u >> (c % 32u)));
}

bool TestEntryBitmapBit(const ByteVec& bitmap, char16_t c) {
  const std::size_t at = 4 * (c / 32u);
  if (at + 4 > bitmap.size()) return false;
  return (GetU32LE(&bitmap[at]) & (0x80000000u >> (c % 32u))) != 0;
}

ByteVec MakeEntryBitmap(const std::vector<char16_t>& chars) {
  ByteVec b(kEntryBitmapBytes, 0);
  for (char16_t c : chars) SetEntryBitmapBit(b, c);
  return b;
}

std::vector<char16_t> SingleCharHeadwords(const std::vector<std::u16string>& headwords) {
  std::vector<char16_t> out;
  for (const std::u16string& h : headwords) {
    if (h.size() == 1 && (h[0] < 0xD800 || h[0] > 0xDFFF)) out.push_back(h[0]);
  }
  return out;
}

int MakePrefixIndexTable(const PrefixIndexSpec& desc, TableSpec* out, std::string* error) {
  if (desc.flags & kTableHuffmanText) {
    Fail(error, "a prefix index holds no Huffman text: subtable record 0 is the entry bitmap");
    return 1;
  }
  TableSpec t;
  t.type = kTypeDictPrefixIndex;
  t.flags = desc.flags;
  t.columns = desc.columns;
  if (t.columns.empty()) t.columns.emplace_back();
  t.subtables.push_back(MakeEntryBitmap(desc.singleCharHeadwords));
  for (const ByteVec& s : desc.moreSubtables) t.subtables.push_back(s);
  *out = std::move(t);
  return 0;
}

namespace {

SearchIndexOptions IndexOptionsOf(const DictionarySpec& desc) {
  SearchIndexOptions o = desc.indexOptions ? *desc.indexOptions : SearchIndexOptionsFor(desc.info.language);
  if (o.maxBlockRows == 0) o.maxBlockRows = desc.maxBlockRows;
  return o;
}

bool EnglishHeadwordIndex(const DictionarySpec& desc) {
  return desc.searchIndexes && IndexOptionsOf(desc).englishHeadwords;
}

}  // namespace

std::vector<std::size_t> DictionaryEntryOrder(const DictionarySpec& desc) {
  std::vector<std::size_t> order(desc.entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (EnglishHeadwordIndex(desc)) {
    // The entry table is the English headword index: rows in the order its
    // search compares them (the letter key of the record text).
    std::stable_sort(order.begin(), order.end(), [&desc](std::size_t a, std::size_t b) {
      return CompareTableText(0, desc.entries[a].text.c_str(), desc.entries[b].text.c_str()) < 0;
    });
  }
  return order;
}

int MakeDictionaryTables(const DictionarySpec& given, std::vector<TableSpec>* out, std::string* error) {
  // Entries in the order the tables get (entry numbers follow it).
  DictionarySpec desc = given;
  {
    const std::vector<std::size_t> order = DictionaryEntryOrder(given);
    std::vector<std::uint32_t> newRow(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      desc.entries[i] = given.entries[order[i]];
      newRow[order[i]] = static_cast<std::uint32_t>(i);
    }
    // Explicit id pairs name entries by their given position.
    for (DictIdMapping& m : desc.idMap) {
      if (m.row < newRow.size()) m.row = newRow[m.row];
    }
  }
  std::vector<TableSpec> tables;
  const bool secondary = desc.secondaryFirstField != 0;
  if (!secondary && (desc.info.flags & kDictHasSecondary)) {
    Fail(error, "the flags announce a secondary table but none is described (secondaryFirstField)");
    return 1;
  }

  DictEntryTableSpec primary;
  primary.info = desc.info;
  if (secondary) primary.info.flags |= kDictHasSecondary;
  primary.coding = desc.coding;
  primary.key32 = desc.key32;
  primary.maxBlockRows = desc.maxBlockRows;
  for (const DictEntrySpec& e : desc.entries) primary.entries.push_back({e.hasKey, e.key, e.text});
  TableSpec t;
  if (MakeDictEntryTable(primary, &t, error) != 0) return 1;
  if (EnglishHeadwordIndex(desc)) {
    // Searched by text: first-key texts, each the row's letter key (what
    // the search folds the record text to anyway).
    t.flags |= kTableTextIndex;
    for (RowSpec& row : t.columns[0].rows) {
      const std::u16string text = RowCompareText(row, (t.flags & kTableHuffmanText) != 0, 0);
      std::u16string key(kFoldKeyMaxUnits + 1, u'\0');
      key.resize(FoldToKeyCopy(key.data(), kFoldKeyMaxUnits + 1, text.c_str(), false));
      row.indexText = key;
    }
  }
  tables.push_back(std::move(t));

  if (secondary) {
    // Same rows (same entry numbers and keys), its own texts.
    DictEntryTableSpec sec = primary;
    sec.type = kTypeDictSecondary;
    sec.info.firstField = desc.secondaryFirstField;
    for (std::size_t i = 0; i < desc.entries.size(); ++i) sec.entries[i].text = desc.entries[i].secondary;
    if (MakeDictEntryTable(sec, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }

  if (!desc.idMap.empty() || desc.idMapFromKeys) {
    std::vector<DictIdMapping> map = desc.idMap;
    if (desc.idMapFromKeys) {
      for (std::size_t r = 0; r < desc.entries.size(); ++r) {
        const DictEntrySpec& e = desc.entries[r];
        map.push_back({e.hasKey ? e.key : static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(r)});
      }
    }
    if (MakeDictIdMapTable(map, &t, error, desc.maxBlockRows) != 0) return 1;
    tables.push_back(std::move(t));
  }

  if (!desc.charVariants.empty()) {
    if (MakeCharVariantTable(desc.info.creator, desc.info.dictId, desc.charVariants, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }

  std::vector<TableSpec> indexes;
  if (desc.searchIndexes) {
    DictionaryEntries entries;
    for (const DictEntrySpec& e : desc.entries) {
      entries.push_back(e.index);
      if (entries.back().headwords.empty() && !e.headword.empty()) entries.back().headwords.push_back(e.headword);
    }
    if (MakeSearchIndexTables(entries, IndexOptionsOf(desc), &indexes, error) != 0) return 1;
  }
  const bool fullPrefixIndex = !indexes.empty() && indexes[0].type == kTypeDictPrefixIndex;
  if (desc.entryBitmap && !fullPrefixIndex) {
    std::vector<std::u16string> heads;
    for (const DictEntrySpec& e : desc.entries) heads.push_back(e.headword);
    PrefixIndexSpec p;
    p.singleCharHeadwords = SingleCharHeadwords(heads);
    if (MakePrefixIndexTable(p, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  for (TableSpec& index : indexes) tables.push_back(std::move(index));

  if (desc.wordLengths) {
    std::vector<std::uint32_t> lengths;
    for (const DictEntrySpec& e : desc.entries) {
      lengths.push_back(e.wordLength != 0 ? e.wordLength : static_cast<std::uint32_t>(e.headword.size()));
    }
    if (MakeWordLengthTable(desc.info.creator, desc.info.dictId, lengths, &t, error) != 0) return 1;
    tables.push_back(std::move(t));
  }
  *out = std::move(tables);
  return 0;
}

int AddDictionaryTables(const DictionarySpec& desc, DataFileSpec* file, std::string* error) {
  std::vector<TableSpec> tables;
  if (MakeDictionaryTables(desc, &tables, error) != 0) return 1;
  for (TableSpec& t : tables) file->tables.push_back(std::move(t));
  return 0;
}

}  // namespace databuild
