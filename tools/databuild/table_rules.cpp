#include "tools/databuild/table_rules.h"

#include "tools/databuild/audio_tables.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/row_sort.h"
#include "tools/databuild/stroke_tables.h"
#include "tools/databuild/table_groups.h"

namespace databuild {

namespace {

std::uint32_t InfoWord(const TableSpec& t, std::size_t i) {
  return t.info.size() >= 4 * i + 4 ? GetU32LE(&t.info[4 * i]) : 0;
}

int Fail(std::string* error, std::size_t table, const std::string& msg) {
  if (error) *error = "table " + std::to_string(table) + ": " + msg;
  return 1;
}

int CheckSyllableIndex(const TableSpec& t, std::size_t i, std::string* error) {
  if (t.info.size() < kClipListDescriptorOffset) return Fail(error, i, "the syllable index's info area is too short");
  if (InfoWord(t, 4) != kSyllableIndexMarker) return Fail(error, i, "the syllable index's info word 4 is not 512");
  const std::size_t lists = GetU16LE(&t.info[4]);
  if (t.info.size() < kClipListDescriptorOffset + kClipListDescriptorSize * lists) {
    return Fail(error, i, "the syllable index's info area lacks clip-list descriptors");
  }
  if (!(t.flags & kTableTextIndex) || t.indexTextSkip != 2) {
    return Fail(error, i, "the syllable index's first-key texts must leave out words A and B");
  }
  for (const ColumnSpec& c : t.columns) {
    for (const RowSpec& r : c.rows) {
      if (!r.indexText.empty() && r.indexText != RowCompareText(r, false, 2)) {
        return Fail(error, i, "a syllable index first-key text differs from its key text");
      }
      if (r.bytes.size() < 6 || r.bytes.size() > 4 + 2 * kSyllableKeyMaxUnits) {
        return Fail(error, i, "a syllable index key text has 1 to 19 units");
      }
    }
  }
  return 0;
}

int CheckInfoHeader(const TableSpec& t, std::size_t i, std::string* error) {
  if (t.info.size() < kDictInfoFixedSize) return Fail(error, i, "the entry table's info header is too short");
  const std::uint64_t need = kDictInfoFixedSize + std::uint64_t{kDictFieldSize} * InfoWord(t, 79) +
                             std::uint64_t{kDictSectionSize} * InfoWord(t, 80);
  if (t.info.size() < need) return Fail(error, i, "the entry table's info header is shorter than its counts");
  return 0;
}

std::size_t FirstOfType(const DataFileSpec& desc, std::uint32_t type) {
  for (std::size_t i = 0; i < desc.tables.size(); ++i) {
    if (desc.tables[i].type == type) return i;
  }
  return desc.tables.size();
}

// Group tables are gathered only around a 0x2000 table the reader accepts.
int CheckTableGroup(const DataFileSpec& desc, std::string* error) {
  std::size_t count = 0;
  std::size_t main = desc.tables.size();
  for (std::size_t i = 0; i < desc.tables.size(); ++i) {
    const TableSpec& t = desc.tables[i];
    if (t.type < kTypeGroupMain || t.type > kTypeGroupLast) continue;
    ++count;
    if (t.type == kTypeGroupMain && t.version < 2 && main == desc.tables.size()) main = i;
  }
  if (count == 0) return 0;
  if (count > kMaxGroupTables) return Fail(error, desc.tables.size() - 1, "a file holds at most 31 group tables");
  if (main == desc.tables.size()) {
    if (error) *error = "group tables without a 0x2000 table of version below 2";
    return 1;
  }
  if (desc.tables[main].info.size() < 4 * kGroupMainInfoWords) {
    return Fail(error, main, "the 0x2000 table's info area has fewer than 5 words");
  }
  return 0;
}

}  // namespace

int CheckDataFileRules(const DataFileSpec& desc, std::string* error) {
  for (std::size_t i = 0; i < desc.tables.size(); ++i) {
    const TableSpec& t = desc.tables[i];
    switch (t.type) {
      case kTypeSyllableIndex:
      case kTypeStrokeIndex:
        if (i != 0) return Fail(error, i, "a syllable or stroke index is read only as table 0 of its file");
        if (t.type == kTypeSyllableIndex && CheckSyllableIndex(t, i, error) != 0) return 1;
        if (t.type == kTypeStrokeIndex) {
          if (InfoWord(t, 1) != 1) return Fail(error, i, "the stroke index's info word 1 is not 1");
          if (InfoWord(t, 2) == 0 || InfoWord(t, 3) == 0) {
            return Fail(error, i, "the stroke index's design width and height must not be 0");
          }
        }
        break;
      case kTypeRadicalCodes: {
        // A 0x5000 table of the same id later in the file hides this one.
        for (std::size_t j = i + 1; j < desc.tables.size(); ++j) {
          if (desc.tables[j].type == kTypeRadicals && InfoWord(desc.tables[j], 0) == InfoWord(t, 0)) {
            return Fail(error, i, "a radical code table comes before its radical table");
          }
        }
        break;
      }
      case kTypeDictPrefixIndex:
        if (t.flags & kTableHuffmanText) return Fail(error, i, "the prefix index's subtable 0 is the entry bitmap");
        if (t.subtables.empty() || t.subtables[0].size() != kEntryBitmapBytes) {
          return Fail(error, i, "the prefix index's subtable 0 is not an 8192-byte entry bitmap");
        }
        break;
      case kTypeDictEntries:
        if (CheckInfoHeader(t, i, error) != 0) return 1;
        // The first entry table's flags say whether a secondary table is read.
        if (i == FirstOfType(desc, kTypeDictEntries) && (InfoWord(t, 2) & kDictHasSecondary)) {
          const std::size_t s = FirstOfType(desc, kTypeDictSecondary);
          if (s == desc.tables.size()) return Fail(error, i, "the dictionary flags a secondary table it lacks");
          if (CheckInfoHeader(desc.tables[s], s, error) != 0) return 1;
        }
        break;
      default:
        break;
    }
  }
  return CheckTableGroup(desc, error);
}

}  // namespace databuild
