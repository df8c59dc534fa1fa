// The dictionary tables of a data file, described as data:
//   0x1000 entries (with the DictInfoHeader in its info area),
//   0x1010 secondary entry texts, 0x1030 entry-id map, 0x1040 character
//   variants, 0x1300 word lengths, and the single-character entry bitmap of
//   the prefix index 0x1100 (its subtable record 0).
//
// Each Make... function fills a TableSpec (table_builder.h) that goes into a
// DataFileSpec; AddDictionaryTables does a whole dictionary in one call. The
// Make functions refuse what the reader could not read; a test that needs a
// deliberately faulty table patches the TableSpec afterwards.
//
// The entry bitmap (subtable record 0 of table 0x1100), the contract between
// this writer and the dictionary set's reader:
//   bit c is set when the dictionary has an entry whose headword is exactly
//   the one character c (a BMP unit, not a surrogate); the record is 2,048
//   little-endian 32-bit words (8,192 bytes) covering U+0000-U+FFFF; bit c is
//   in word c / 32, counted from the word's most significant bit:
//   word[c / 32] & (0x80000000 >> (c % 32)).
// The radical list uses it to show only characters some dictionary has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/index_tables.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr std::uint32_t kTypeDictEntries = 0x1000;
constexpr std::uint32_t kTypeDictSecondary = 0x1010;
constexpr std::uint32_t kTypeDictIdMap = 0x1030;
constexpr std::uint32_t kTypeDictCharVariants = 0x1040;
constexpr std::uint32_t kTypeDictPrefixIndex = 0x1100;
constexpr std::uint32_t kTypeDictWordLengths = 0x1300;

constexpr std::uint32_t kLanguageEnglish = 0;
constexpr std::uint32_t kLanguageChinese = 4096;

// Dictionary flags (DictInfoHeader word at 8).
constexpr std::uint32_t kDictNotListed = 0x2;
constexpr std::uint32_t kDictNeverSearched = 0x4;
constexpr std::uint32_t kDictCharacters = 0x10;
constexpr std::uint32_t kDictHasSecondary = 0x10000;
constexpr std::uint32_t kDictSortedLast = 0x20000;
// The flags words that mark the variant and word-length tables as usable.
constexpr std::uint32_t kCharVariantsFlags = 4096;
constexpr std::uint32_t kWordLengthsFlags = 0x201050;

// Field types (descriptor word at 376).
constexpr std::uint32_t kFieldChinese = 0x1001;
constexpr std::uint32_t kFieldPinyin = 0x1101;

constexpr std::size_t kDictInfoFixedSize = 328;
constexpr std::size_t kDictFieldSize = 424;
constexpr std::size_t kDictSectionSize = 32;
constexpr std::size_t kEntryBitmapBytes = 8192;

// DictFieldDescriptor (424 bytes). Names up to 32 units (terminated when
// shorter), the three texts up to 16.
struct DictFieldSpec {
  std::u16string name;       // at 0
  std::u16string name2;      // at 64
  std::u16string prefix;     // at 272
  std::u16string suffix;     // at 304
  std::u16string separator;  // at 336
  std::uint32_t classWord = 0;  // at 372: bits 8-11 the field class
  std::uint32_t type = 0;       // at 376: kFieldChinese, kFieldPinyin or plain text
  std::uint32_t displayKind = 1;  // at 380
  std::uint32_t grouping = 0;     // at 384
  std::uint32_t level = 0;        // at 392
  std::uint32_t style = 0;        // at 408
  std::uint32_t color = 0;        // at 416
};

// Section-level descriptor (32 bytes).
struct DictSectionSpec {
  std::uint32_t flags = 0;        // at 0
  std::uint32_t limit = 0;        // at 8
  std::uint32_t style = 0;        // at 12
  char16_t prefix = 0;            // at 16
  char16_t suffix = 0;            // at 18
  std::uint32_t switchCount = 0;  // at 20
  std::uint32_t style2 = 0;       // at 24
  char16_t prefix2 = 0;           // at 28
  char16_t suffix2 = 0;           // at 30
};

// DictInfoHeader: the info area of tables 0x1000 and 0x1010 (and, with their
// own flags, of 0x1040 and 0x1300). Its size is exactly
// 328 + 424 x fields + 32 x sections.
struct DictInfoSpec {
  std::uint32_t creator = 0;     // at 0
  std::uint32_t dictId = 0;      // at 4
  std::uint32_t flags = 0;       // at 8
  std::uint32_t firstField = 0;  // at 12: in a secondary table, the first field its records hold
  std::uint32_t language = kLanguageChinese;        // at 16: headword language
  std::uint32_t transLanguage = kLanguageEnglish;   // at 20
  std::u16string iconText;       // at 32, up to 3 units (unterminated when 3)
  std::u16string iconText2;      // at 38, up to 3 units
  std::uint32_t iconFillColor = 0;  // at 44
  std::uint32_t iconTextColor = 0;  // at 48
  std::u16string menuName;       // at 52, up to 32 units
  std::u16string shortName;      // at 116, up to 32 units
  std::vector<DictFieldSpec> fields;      // count at 316, descriptors from 328
  std::vector<DictSectionSpec> sections;  // count at 320, behind the fields
};

// The DictInfoHeader bytes. Returns 0, or 1 when a text is too long.
int BuildDictInfoHeader(const DictInfoSpec& info, ByteVec* out, std::string* error);

// How entry texts are stored.
enum class EntryCoding {
  Huffman,  // Huffman-coded 16-bit text (1-byte units), the usual form
  Raw,      // UTF-16LE, 2-byte units
  Zlib,     // UTF-16LE, 2-byte units, zlib blocks
};

// One row of an entry table. Its row number is the entry number.
struct DictEntryRow {
  bool hasKey = false;
  std::uint32_t key = 0;  // the entry id (DictEntryRef); default: the row number
  std::u16string text;    // entry markup (field and section markers, syllable codes)
};

// Table 0x1000 (or 0x1010 with type = kTypeDictSecondary, whose
// info.firstField says which field its records start with). Rows keep their
// order; each carries its key (16-bit, or 32-bit when a key needs it or
// key32 is set); keys must differ, and a table whose keys ascend is marked
// sorted.
struct DictEntryTableSpec {
  std::uint32_t type = kTypeDictEntries;
  std::uint32_t version = 1;
  DictInfoSpec info;
  std::vector<DictEntryRow> entries;
  EntryCoding coding = EntryCoding::Huffman;
  bool key32 = false;
  ZlibEnd zlibEnd = ZlibEnd::Unfinished;
  std::uint32_t maxBlockRows = 0;  // 0: no limit (tests use small values)
};

int MakeDictEntryTable(const DictEntryTableSpec& desc, TableSpec* out, std::string* error);

// Table 0x1030: entry id -> row number (keyed, sorted; each row one 4-byte
// value, read by value index = row). Ids must differ; they are sorted here.
struct DictIdMapping {
  std::uint32_t id = 0;
  std::uint32_t row = 0;
};
int MakeDictIdMapTable(const std::vector<DictIdMapping>& map, TableSpec* out, std::string* error,
                       std::uint32_t maxBlockRows = 0);

// Table 0x1040: a character -> its variant forms (1 to 4 UTF-16 units; the
// reader returns the character itself when it is among them, else the
// first). Keyed by the 16-bit character, sorted here. Its info area is a
// DictInfoHeader with the dictionary's creator and id and flags 4096.
struct CharVariant {
  char16_t ch = 0;
  std::u16string forms;
};
int MakeCharVariantTable(std::uint32_t creator, std::uint32_t dictId, const std::vector<CharVariant>& variants,
                         TableSpec* out, std::string* error);

// Table 0x1300: the word length (in characters, 1 to 65,536) of each entry
// by row; stored as length - 1 in bare values (1 byte, or 2 when a length
// needs it). Its info area is a DictInfoHeader with flags 0x201050.
int MakeWordLengthTable(std::uint32_t creator, std::uint32_t dictId, const std::vector<std::uint32_t>& lengths,
                        TableSpec* out, std::string* error);

// The entry bitmap (see the top of this file).
ByteVec MakeEntryBitmap(const std::vector<char16_t>& chars);
void SetEntryBitmapBit(ByteVec& bitmap, char16_t c);  // bitmap of kEntryBitmapBytes
bool TestEntryBitmapBit(const ByteVec& bitmap, char16_t c);
// The characters that are whole headwords: each headword of exactly one BMP
// unit that is not a surrogate.
std::vector<char16_t> SingleCharHeadwords(const std::vector<std::u16string>& headwords);

// Table 0x1100 as far as this writer knows it: the entry bitmap as subtable
// record 0, and the caller's columns and flags (one empty column when none
// are given). Huffman text is refused: its code would take subtable 0.
struct PrefixIndexSpec {
  std::vector<char16_t> singleCharHeadwords;  // the bits to set
  std::uint32_t flags = 0;
  std::vector<ColumnSpec> columns;
  std::vector<ByteVec> moreSubtables;  // subtable records 1, 2, ...
};
int MakePrefixIndexTable(const PrefixIndexSpec& desc, TableSpec* out, std::string* error);

// A whole dictionary: the tables it needs, appended to the file in the order
// 0x1000, 0x1010, 0x1030, 0x1040, 0x1100, 0x1120, 0x1130, 0x1131, 0x1140,
// 0x1300.
struct DictEntrySpec {
  bool hasKey = false;
  std::uint32_t key = 0;       // default: the row number
  std::u16string text;         // primary record
  std::u16string secondary;    // record of the secondary table (when it has one)
  std::u16string headword;     // plain headword, for the entry bitmap
  std::uint32_t wordLength = 0;  // for table 0x1300 (0: the headword's length)
  // What the search indexes read (index_tables.h); without headwords the
  // entry's headword is taken.
  SearchIndexEntry index;
};

struct DictionarySpec {
  // kDictHasSecondary is set when a secondary table is written; set by the
  // caller without one, it is refused.
  DictInfoSpec info;
  std::vector<DictEntrySpec> entries;
  EntryCoding coding = EntryCoding::Huffman;
  bool key32 = false;
  std::uint32_t maxBlockRows = 0;
  // 0x1010: written when secondaryFirstField is not 0; its info header is
  // the primary's with firstField set.
  std::uint32_t secondaryFirstField = 0;
  // 0x1030: explicit pairs, or (idMapFromKeys) every entry's key -> its row.
  std::vector<DictIdMapping> idMap;
  bool idMapFromKeys = false;
  std::vector<CharVariant> charVariants;  // 0x1040 when not empty
  bool entryBitmap = true;                // 0x1100 with the bitmap of the headwords
  bool wordLengths = false;               // 0x1300
  // The search indexes (index_tables.h) of every entry's `index`, by
  // indexOptions or else the defaults of the headword language
  // (SearchIndexOptionsFor(info.language)); 0x1100 then holds the whole
  // prefix index besides the bitmap. An English-headword dictionary
  // (language 0) also gets its entry table as the headword index: entries
  // in the order of search mode 0 (stable; entry numbers and default keys
  // follow the new order; explicit idMap rows, given as positions in
  // `entries`, are moved with them) and first-key texts.
  bool searchIndexes = false;
  std::optional<SearchIndexOptions> indexOptions;
};

int MakeDictionaryTables(const DictionarySpec& desc, std::vector<TableSpec>* out, std::string* error);
// The entry order the tables get: position i of the result is the index in
// desc.entries of entry number i (the identity but for English headwords
// with search indexes).
std::vector<std::size_t> DictionaryEntryOrder(const DictionarySpec& desc);
int AddDictionaryTables(const DictionarySpec& desc, DataFileSpec* file, std::string* error);

}  // namespace databuild
