// The radical table: loading over the readers, the character list of a
// radical with its variant and dictionary filters and section marks, and the
// radical list queries.
#include "engine/radical_table.h"

#include <string>

#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/table_rules.h"

namespace res_test {
namespace {

constexpr uint32_t kId = 7;

// Characters of radical 120 by stroke number: 0 糸 纟; 2 糺 纠; 3 紀 纪 约;
// 16 轡 辫 (the two extras outside the blocks). Stroke 1 has none.
db::RadicalChars Radical120() {
  db::RadicalChars r;
  r.radical = 120;
  r.sections.resize(17);
  r.sections[0] = u"\u7CF8\u7E9F";
  r.sections[2] = u"\u7CFA\u7EA0";
  r.sections[3] = u"\u7D00\u7EAA\u7EA6";
  r.sections[16] = u"\u8F61\u8FAB";
  return r;
}

// 25 stroke sections, one character each (U+4E00 + i at stroke i), and a
// 26th character in the last section.
db::RadicalChars Radical1With25Sections() {
  db::RadicalChars r;
  r.radical = 1;
  for (char16_t i = 0; i < 25; ++i) r.sections.push_back(std::u16string(1, static_cast<char16_t>(0x4E00 + i)));
  r.sections.back().push_back(u'\u4E30');
  return r;
}

db::RadicalTablesSpec RadicalSpec(std::vector<uint16_t> listA) {
  db::RadicalTablesSpec desc;
  desc.id = kId;
  desc.infoWord1 = 1;
  desc.listA = std::move(listA);
  desc.listB = {{0x7CF8, 6, 120}, {0x4E00, 1, 1}};
  desc.radicals = {Radical120(), Radical1With25Sections()};
  desc.lowestCode = 0x7CF8;
  desc.codes = {120, 120, 120};  // U+7CF8 .. U+7CFA
  desc.maxBlockRows = 1;
  return desc;
}

// A code table of the given id with the given value for every character.
db::TableSpec CodeTable(uint32_t id, uint16_t value) {
  db::RadicalTablesSpec desc = RadicalSpec({});
  desc.id = id;
  desc.codes.assign(3, value);
  db::TableSpec radicals, codes;
  std::string error;
  EXPECT_EQ(db::MakeRadicalTables(desc, &radicals, &codes, &error), 0) << error;
  return codes;
}

// The radical tables as the writer lays them out, with two code tables
// the reader must not take: one before the 0x5000 table with the same id,
// one after it with another id.
db::DataFileSpec RadicalFile(std::vector<uint16_t> listA = {0, 5, 9, 65535, 12}) {
  db::DataFileSpec f;
  f.shortName = u"Radicals";
  std::string error;
  EXPECT_EQ(db::AddRadicalTables(RadicalSpec(std::move(listA)), &f, &error), 0) << error;
  EXPECT_EQ(db::CheckDataFileRules(f, &error), 0) << error;
  f.tables.insert(f.tables.begin() + 1, CodeTable(kId + 1, 888));
  f.tables.insert(f.tables.begin(), CodeTable(kId, 999));
  return f;
}

// Only a code table in front of the radical table.
db::DataFileSpec CodeTableFirstFile() {
  db::RadicalTablesSpec desc = RadicalSpec({0});
  db::TableSpec radicals, codes;
  std::string error;
  EXPECT_EQ(db::MakeRadicalTables(desc, &radicals, &codes, &error), 0) << error;
  db::DataFileSpec f;
  f.tables = {codes, radicals};
  EXPECT_NE(db::CheckDataFileRules(f, &error), 0);  // the writer's rule the reader relies on
  return f;
}

std::u16string CharList(DictEngine* engine) {
  uint32_t n = 0;
  const WCHAR* p = GetRadicalListData(engine, 0, &n);
  return p ? std::u16string(p, n) : u"<null>";
}

std::vector<uint16_t> Sections(DictEngine* engine, int which) {
  uint16_t numbers[kMaxRadicalSections];
  uint32_t n = 99;
  EXPECT_EQ(GetRadicalSections(engine, which, numbers, &n), 0);
  return std::vector<uint16_t>(numbers, numbers + n);
}

using RadicalTableTest = ResourcesTest;

TEST_F(RadicalTableTest, Radical120ByFormWithSectionMarks) {
  ASSERT_TRUE(Add(RadicalFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_NE(GetRadicalTable(engine_), nullptr);

  struct Case {
    const char* name;
    WCHAR form;
    int useVariants;
    std::u16string list;
    std::vector<uint16_t> sections;
    std::vector<uint32_t> starts;
  } cases[] = {
      // Simplified: the traditional block and 轡 go.
      {"simplified", 0x7E9F, 1, u"\u7E9F\u2461\u7EA0\u2462\u7EAA\u7EA6\u246F\u8FAB", {0, 2, 3, 16}, {0, 2, 4, 7}},
      // Traditional: the simplified block and 辫 go.
      {"traditional", 0x7CF8, 1, u"\u7CF8\u2461\u7CFA\u2462\u7D00\u246F\u8F61", {0, 2, 3, 16}, {0, 2, 4, 6}},
      {"both", 0x7E9F, 0,
       u"\u7CF8\u7E9F\u2461\u7CFA\u7EA0\u2462\u7D00\u7EAA\u7EA6\u246F\u8F61\u8FAB", {0, 2, 3, 16}, {0, 3, 6, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(BuildRadicalCharList(engine_, 120, c.form, 1, c.useVariants), 0);
    EXPECT_EQ(CharList(engine_), c.list);
    EXPECT_EQ(Sections(engine_, 0), c.sections);
    for (uint32_t i = 0; i < c.starts.size(); ++i) EXPECT_EQ(GetRadicalSectionStart(engine_, i), c.starts[i]) << i;
    EXPECT_EQ(GetRadicalSectionStart(engine_, static_cast<uint32_t>(c.starts.size())), 0u);
  }

  // A radical without a record changes nothing.
  EXPECT_EQ(BuildRadicalCharList(engine_, 121, 0, 1, 1), 1);
  EXPECT_EQ(CharList(engine_).size(), 12u);
}

TEST_F(RadicalTableTest, FilterKeepsCharactersOfOrdinaryDictionaries) {
  ASSERT_TRUE(Add(RadicalFile()));
  // 纟, 纠 and 辫 are headwords of a dictionary; 约 only of a character
  // dictionary (flag 0x10), which does not count; 纪 only begins a word.
  ASSERT_TRUE(Add(DictFile(0x53525631, 1, 0, {u"\u7E9F", u"\u7EA0", u"\u7EAA\u5FF5", u"\u8FAB"})));
  ASSERT_TRUE(Add(DictFile(0x53525631, 2, kDictFlagCharDict, {u"\u7EA6", u"\u7EAA", u"\u7E9F"})));
  BuildSlots();
  ASSERT_EQ(GetDictCount(engine_), 2u);
  ASSERT_EQ(LoadDataResources(engine_), 0);

  ASSERT_EQ(BuildRadicalCharList(engine_, 120, 0x7E9F, 0, 1), 0);
  // Section 3 loses all its characters, so its mark goes too.
  EXPECT_EQ(CharList(engine_), u"\u7E9F\u2461\u7EA0\u246F\u8FAB");
  EXPECT_EQ(Sections(engine_, 0), (std::vector<uint16_t>{0, 2, 16}));
  EXPECT_EQ(GetRadicalSectionStart(engine_, 2), 4u);

  // Unfiltered, the same build keeps them.
  ASSERT_EQ(BuildRadicalCharList(engine_, 120, 0x7E9F, 1, 1), 0);
  EXPECT_EQ(CharList(engine_).size(), 8u);
}

TEST_F(RadicalTableTest, MoreThanTwentySectionsStopAtTwenty) {
  ASSERT_TRUE(Add(RadicalFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(BuildRadicalCharList(engine_, 1, 0, 1, 1), 0);
  std::vector<uint16_t> sections = Sections(engine_, 0);
  ASSERT_EQ(sections.size(), 20u);
  for (uint16_t i = 0; i < 20; ++i) EXPECT_EQ(sections[i], i);
  // Characters of strokes 20 and above stay in the last section, under ⑲.
  std::u16string list = CharList(engine_);
  std::u16string expected = u"\u4E00";
  for (char16_t i = 1; i < 20; ++i) {
    expected.push_back(static_cast<char16_t>(0x245F + i));
    expected.push_back(static_cast<char16_t>(0x4E00 + i));
  }
  for (char16_t i = 20; i < 25; ++i) expected.push_back(static_cast<char16_t>(0x4E00 + i));
  expected.push_back(u'\u4E30');
  EXPECT_EQ(list, expected);
}

TEST_F(RadicalTableTest, RadicalListQueries) {
  ASSERT_TRUE(Add(RadicalFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);

  // The code table is the later one with the table's id.
  EXPECT_EQ(LookupRadicalCode(engine_, 0x7CF8), 120u);
  EXPECT_EQ(LookupRadicalCode(engine_, 0x7CFA), 120u);
  EXPECT_EQ(LookupRadicalCode(engine_, 0x7CF7), 0u);
  EXPECT_EQ(LookupRadicalCode(engine_, 0x7CFB), 0u);

  EXPECT_EQ(FindRadicalIndex(engine_, 120), 0x7CF8u);
  EXPECT_EQ(FindRadicalIndex(engine_, 1), 0x4E00u);
  EXPECT_EQ(FindRadicalIndex(engine_, 99), 0u);
  uint32_t n = 0;
  const WCHAR* b = GetRadicalListData(engine_, 1, &n);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(std::u16string(b, n), (std::u16string{0x7CF8, 0x7806, 0x4E00, 0x0101}));

  // With the mode flag set, sections come from list A {0, 5, 9, 65535, 12}.
  EXPECT_EQ(Sections(engine_, 1), (std::vector<uint16_t>{1, 2, 3, 4}));
  SetRadicalTableFlag(engine_, 1);
  EXPECT_EQ(GetRadicalTableFlag(engine_), 1);
  EXPECT_EQ(GetRadicalSectionStart(engine_, 0), 5u);
  EXPECT_EQ(GetRadicalSectionStart(engine_, 2), 65535u);
  EXPECT_EQ(GetRadicalSectionStart(engine_, 3), 0u);  // item 3 is 65535
  EXPECT_EQ(GetRadicalSectionStart(engine_, 4), 0u);  // the last item has no successor
  EXPECT_EQ(GetRadicalSectionStart(engine_, 5), 0u);
}

TEST_F(RadicalTableTest, EmptyListAGivesNoSections) {
  ASSERT_TRUE(Add(RadicalFile({})));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_TRUE(Sections(engine_, 1).empty());
  SetRadicalTableFlag(engine_, 1);
  EXPECT_EQ(GetRadicalSectionStart(engine_, 0), 0u);
}

TEST_F(RadicalTableTest, AbsentWithoutTable) {
  ASSERT_TRUE(Add(DictFile(1, 1, 0, {u"\u4E00"})));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_EQ(GetRadicalTable(engine_), nullptr);
  EXPECT_EQ(BuildRadicalCharList(engine_, 120, 0, 1, 1), 1);
  uint32_t n = 7;
  EXPECT_EQ(GetRadicalListData(engine_, 0, &n), nullptr);
  EXPECT_EQ(n, 0u);
  uint16_t numbers[kMaxRadicalSections];
  EXPECT_EQ(GetRadicalSections(engine_, 0, numbers, &n), 1);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(GetRadicalTableFlag(engine_), 0);
  EXPECT_EQ(LookupRadicalCode(engine_, 0x7CF8), 0u);
  EXPECT_EQ(FindRadicalIndex(engine_, 120), 0u);
}

TEST_F(RadicalTableTest, CodeTableBeforeTheMainTableIsPassedOver) {
  // Only the early 0x5110 table: the radical table has no code table.
  ASSERT_TRUE(Add(CodeTableFirstFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_NE(GetRadicalTable(engine_), nullptr);
  EXPECT_EQ(GetRadicalTable(engine_)->codeCursor, nullptr);
  EXPECT_EQ(LookupRadicalCode(engine_, 0x7CF8), 0u);
}

}  // namespace
}  // namespace res_test
