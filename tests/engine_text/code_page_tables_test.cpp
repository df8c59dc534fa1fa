// The code-page tables the data-file writer generates from iconv.
#include <gtest/gtest.h>

#include "tests/engine_text/text_fixture.h"
#include "tools/databuild/code_page_tables.h"

namespace {

namespace db = databuild;

TEST(CodePageTables, GridGeometry) {
  EXPECT_EQ(db::CodePageGridSize(db::kCodePageGb2312), 87u * 94u);
  EXPECT_EQ(db::CodePageGridSize(db::kCodePageBig5), 89u * 157u);
  EXPECT_EQ(db::CodePageGridSize(1), 0u);
  struct Case {
    uint32_t id;
    uint8_t lead, trail;
    int32_t index;
  } cases[] = {
      {2, 0xA1, 0xA1, 0},   {2, 0xB0, 0xA2, 15 * 94 + 1}, {2, 0xF7, 0xFE, 87 * 94 - 1},
      {2, 0xA1, 0xFF, -1},  {2, 0xF8, 0xA1, -1},          {2, 0xA1, 0x40, -1},
      {3, 0xA1, 0x40, 0},   {3, 0xA1, 0x7E, 62},           {3, 0xA1, 0xA1, 63},
      {3, 0xA2, 0xFE, 157 + 156}, {3, 0xA1, 0x7F, -1},     {3, 0xFA, 0x40, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(db::CodePageGridIndex(c.id, c.lead, c.trail), c.index) << c.id;
}

TEST(CodePageTables, GeneratedBothWays) {
  const db::CodePageData& gb = textfix::CodePage(db::kCodePageGb2312);
  const db::CodePageData& big5 = textfix::CodePage(db::kCodePageBig5);
  ASSERT_EQ(gb.toCodePage.size(), 0x9FAFu - 0x4E00u + 1);
  ASSERT_EQ(gb.toUnicode.size(), db::CodePageGridSize(2));
  ASSERT_EQ(big5.toUnicode.size(), db::CodePageGridSize(3));
  struct Case {
    const db::CodePageData* page;
    char16_t c;
    uint8_t lead, trail;
  } cases[] = {
      {&gb, u'中', 0xD6, 0xD0}, {&gb, u'啊', 0xB0, 0xA1}, {&gb, u'齄', 0xF7, 0xFE},
      {&big5, u'中', 0xA4, 0xA4}, {&big5, u'一', 0xA4, 0x40}, {&big5, u'們', 0xAD, 0xCC},
  };
  for (const Case& c : cases) {
    const int32_t index = db::CodePageGridIndex(c.page->id, c.lead, c.trail);
    ASSERT_GE(index, 0);
    EXPECT_EQ(c.page->toUnicode[static_cast<size_t>(index)], c.c);
    EXPECT_EQ(c.page->toCodePage[c.c - 0x4E00], index);
  }
  // Punctuation decodes, but only U+4E00-U+9FAF encode.
  EXPECT_EQ(gb.toUnicode[1], u'、');
  // Lacking characters and unassigned codes.
  EXPECT_EQ(gb.toCodePage[u'們' - 0x4E00], db::kCodePageMissing);
  EXPECT_EQ(gb.toUnicode[static_cast<size_t>(db::CodePageGridIndex(2, 0xAA, 0xA1))], db::kCodePageUnassigned);
  std::string error;
  db::CodePageData none;
  EXPECT_EQ(db::GenerateCodePage(4, &none, &error), 1);
  EXPECT_FALSE(error.empty());
}

TEST(CodePageTables, TablesCarryTheirDirectionInTheInfoArea) {
  db::TableSpec encode, decode;
  db::MakeCodePageTables(textfix::CodePage(db::kCodePageBig5), &encode, &decode);
  EXPECT_EQ(encode.type, 0x4000u);
  EXPECT_EQ(decode.type, 0x4000u);
  ASSERT_EQ(encode.info.size(), 16u);
  EXPECT_EQ(encode.info[0], 1);
  EXPECT_EQ(encode.info[4], 3);
  EXPECT_EQ(decode.info[0], 3);
  EXPECT_EQ(decode.info[4], 1);
  ASSERT_EQ(encode.columns.size(), 1u);
  EXPECT_EQ(encode.columns[0].unitSize, 2u);
  EXPECT_EQ(encode.columns[0].values.size(), 0x9FAFu - 0x4E00u + 1);
  EXPECT_EQ(decode.columns[0].values.size(), db::CodePageGridSize(3));
}

}  // namespace
