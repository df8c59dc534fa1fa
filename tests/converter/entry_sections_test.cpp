// ReadFirstGenEntry's section filter: wanted markers, the table's default
// marker, where reading stops, and the appended text.
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

struct SectionCase {
  const char* what;
  std::u16string row;
  uint16_t defaultMarker;
  std::vector<uint16_t> wanted;
  const char16_t* append;
  std::u16string expected;
};

const std::u16string kFull = u"\uEA01中国[-國]\uEA02Zhong\u2071 guo\u2072\uEA03China\uEAB1PRC\uEA05note";
// The same entry whose headword section is the table's default (no leading marker).
const std::u16string kBare = u"中国[-國]\uEA02Zhong\u2071 guo\u2072\uEA03China\uEA05note";

const SectionCase kCases[] = {
    // No list: every char, markers and formatting marks included.
    {"no list", kFull, 0, {}, nullptr, kFull},
    // One wanted section: kept with its marker; reading stops at the next marker.
    {"pinyin only", kFull, 0, {0xEA02}, nullptr, u"\uEA02Zhong\u2071 guo\u2072"},
    // Two wanted sections; the one between them is dropped; stops before U+EA05.
    {"headword and definition", kFull, 0, {0xEA01, 0xEA03}, nullptr, u"\uEA01中国[-國]\uEA03China\uEAB1PRC"},
    // The default marker not wanted: the leading text is dropped.
    {"default not wanted", kBare, 0xEA01, {0xEA03}, nullptr, u"\uEA03China"},
    // The default marker wanted: the leading text is kept and not counted.
    {"default wanted", kBare, 0xEA01, {0xEA01}, nullptr, u"中国[-國]"},
    // Nothing wanted is present: empty, which reads as unreadable.
    {"absent section", kFull, 0, {0xEA09}, nullptr, u""},
    // The optional text ends the entry.
    {"appended", kFull, 0, {0xEA02}, u"|end", u"\uEA02Zhong\u2071 guo\u2072|end"},
};

TEST_F(ReaderTest, SectionsAreFilteredByWantedAndDefaultMarkers) {
  for (bool huffman : {false, true}) {
    for (const SectionCase& c : kCases) {
      SCOPED_TRACE(std::string(c.what) + (huffman ? " (huffman)" : " (plain)"));
      firstgen::DatabaseSpec spec;
      spec.header = firstgen::DictionaryHeader({});
      firstgen::TableSpec t;
      t.huffman = huffman;
      t.defaultMarker = c.defaultMarker;
      t.kind = firstgen::kKindEntryTable;
      t.subTables[0] = {{c.row, {}, 0}, {u"second", {}, 0}};
      spec.tables = {t};
      FirstGenDb* db = OpenContainerDb(PutContainer("sections.pdb", spec));
      ASSERT_NE(db, nullptr);
      OwnedText text;
      const uint32_t n =
          ReadFirstGenEntry(db->tables[0], 0, 0, 0, &text.tb, c.wanted.empty() ? nullptr : c.wanted.data(),
                            static_cast<uint32_t>(c.wanted.size()), c.append);
      EXPECT_EQ(ShowUtf16(text.Text()), ShowUtf16(c.expected));
      EXPECT_EQ(n, c.expected.size());
      // The text is terminated.
      if (text.tb.data) {
        EXPECT_EQ(text.tb.data[text.tb.length], 0);
      }
      // The row after is read on its own, from an emptied buffer.
      EXPECT_EQ(ReadFirstGenEntry(db->tables[0], 0, 0, 1, &text.tb, nullptr, 0, nullptr), 6u);
      EXPECT_EQ(text.Text(), u"second");
      CloseFirstGenDb(db);
    }
  }
}

}  // namespace
}  // namespace reader_test
