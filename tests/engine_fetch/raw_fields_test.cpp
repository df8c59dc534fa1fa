// The raw-fields text made unit by unit from a record, and the text check
// of the word search built on it: each must give what the formatter and
// FindFolded give over the fetched text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/latin_fold.h"
#include "engine/table_cursor.h"
#include "tests/engine_fetch/fetch_fixture.h"
#include "tests/support/utf16_print.h"

using namespace fetchfix;

namespace {

// Records over the rich dictionary's fields: sections of the three levels
// (the third keeps its number when empty), fields shown and not, text
// outside fields, stray closers, other markup, a 0 unit.
std::vector<std::u16string> Records() {
  const std::u16string hao3 = Syl("hao", 3);
  const std::u16string zero(1, u'\0');
  return {
      Field(kHead) + u"好" + kSep + u"好" + Field(kPinyin) + hao3 + Field(kSense) + u"good; well",
      Sec(0) + Field(kSense) + u"variant of" + Sec(0) + Field(kSense) + u"the one",
      Sec(0) + Field(kSense) + u"a" + Sec(1) + Field(kSense) + u"b" + Sec(1) + Sec(2) + Field(kSense) + u"c",
      // A section that shows nothing takes its space back, unless its level keeps its number.
      Sec(0) + Field(kSense) + u"ab" + Sec(1) + Field(kSense) + Sec(1) + Field(kSense) + u"cd",
      Field(kSense) + u"ab" + Sec(0) + Sec(1) + Field(kSense) + u"cd",
      Field(kSense) + u"ab" + Sec(2) + Field(kSense) + Field(kSense) + u"cd",
      Field(kSense) + u"ab" + Sec(2) + Sec(0) + Field(kSense) + u"cd",
      Sec(2) + Field(kSense) + Sec(0) + Field(kSense) + u"x",
      // Stray and real closers.
      kClose + kClose + Sec(0) + Field(kSense) + u"a" + kClose + Field(kSense) + u"b" + kClose + Sec(1) + u"c",
      Sec(0) + Sec(1) + kClose + Field(kSense) + u"a" + Sec(2) + kClose + Field(kSense) + u"b",
      // Text outside fields, a mark past the dictionary's fields, other markup.
      u"junk" + Field(kSense) + u"a" + u"\uEA7Fnot a field" + Field(kSense) + u"b",
      Sec(0) + u"outside" + Sec(0) + Field(kSense) + u"in",
      Field(kSense) + u"ab\uEA91X\uEA92c" + Field(kSee) + u"好" + hao3 + kSep + hao3 + u" see",
      Field(kSynA) + u"quick" + Field(kSynB) + u"fast" + Field(kNote) + u"lit." + Field(kUpper) + u"up",
      Field(kSense) + u"end" + zero + Field(kSense) + u"after the end",
      Field(kSense) + u"Encyclop\u00E6dia caf\u00E9 well-being",
      u"",
  };
}

class RawFields : public EngineFixture {
 protected:
  // The record's units as stored.
  std::u16string Record(uint32_t entry) {
    RecordUnitStream stream{};
    TableCursor* cursor = engine_->slots[0]->primary;
    EXPECT_EQ(OpenRecordUnitStream(cursor, 0, entry, &stream), kReadRecordOk);
    std::u16string units;
    VisitRecordUnits(&stream, [&](WCHAR u) {
      units.push_back(u);
      return true;
    });
    EndRecordUnitStream(cursor);
    return units;
  }
  std::u16string Formatted(uint32_t entry) {
    EntryFetchRequest request{};
    request.entry = entry;
    request.options = kFetchRawFields;
    return Fetch(request);
  }
};

TEST_F(RawFields, TheStreamedTextIsTheFormattersText) {
  const std::vector<std::u16string> records = Records();
  AddDict(DictOf(RichInfo(), records));
  ASSERT_NE(Create(), nullptr);
  RawFieldsLayout layout;
  ASSERT_TRUE(InitRawFieldsLayout(engine_, 0, &layout));
  for (uint32_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(ShowUtf16(records[i]));
    RawFieldsState state;
    StartRawFieldsText(&state);
    std::u16string text;
    auto out = [&](WCHAR c) { text.push_back(c); };
    for (WCHAR u : Record(i)) {
      if (u == 0) break;
      FeedRawFieldsText(layout, &state, u, out);
    }
    EndRawFieldsSection(layout, &state, out);
    EXPECT_EQ(text, Formatted(i));
  }
}

TEST_F(RawFields, TheCheckAnswersAsTheFetchedTextDoes) {
  const std::vector<std::u16string> records = Records();
  AddDict(DictOf(RichInfo(), records));
  ASSERT_NE(Create(), nullptr);
  RawFieldsLayout layout;
  ASSERT_TRUE(InitRawFieldsLayout(engine_, 0, &layout));
  std::vector<uint32_t> entries;
  for (uint32_t i = 0; i < records.size(); ++i) entries.push_back(i);
  const char16_t* patterns[] = {u"variant of", u"the one", u"good well", u"ab cd", u"a b", u"bc", u"ac",
                                u"in", u"outside", u"quick fast", u"lit up", u"see", u"after", u"end after",
                                u"encyclopaedia cafe well being", u"x", u"hao"};
  for (const char16_t* p : patterns) {
    SCOPED_TRACE(ShowUtf16(p));
    FoldedPattern pattern;
    ASSERT_TRUE(InitFoldedPattern(&pattern, p));
    std::vector<uint8_t> results(entries.size(), 9);
    FindFoldedInRawFields(engine_, 0, entries.data(), static_cast<uint32_t>(entries.size()), layout, pattern,
                          results.data());
    for (uint32_t i = 0; i < records.size(); ++i) {
      const std::u16string text = Formatted(i);
      EXPECT_EQ(results[i], FindFolded(text.c_str(), p, nullptr, true) != nullptr ? 1 : 0) << ShowUtf16(text);
    }
  }
  // Every record found at least once above is no proof by itself: these
  // answers are known.
  FoldedPattern pattern;
  ASSERT_TRUE(InitFoldedPattern(&pattern, u"variant of"));
  uint8_t answer[2] = {9, 9};
  const uint32_t pair[2] = {0, 1};
  FindFoldedInRawFields(engine_, 0, pair, 2, layout, pattern, answer);
  EXPECT_EQ(answer[0], 0);
  EXPECT_EQ(answer[1], 1);
  // An entry past the table's end is left to the fetch.
  const uint32_t past = static_cast<uint32_t>(records.size());
  FindFoldedInRawFields(engine_, 0, &past, 1, layout, pattern, answer);
  EXPECT_EQ(answer[0], kRawFieldsUntold);
}

// A dictionary with secondary records, and one with a field the formatter
// renders, are left to the fetch.
TEST_F(RawFields, WhatTheStreamCannotMakeIsLeftToTheFetch) {
  db::DictionarySpec withSecondary = DictOf(RichInfo(), {Field(kSense) + u"a b"});
  withSecondary.entries[0].secondary = Field(kMeasure) + u"m";
  withSecondary.secondaryFirstField = kMeasure;
  AddDict(withSecondary);
  db::DictInfoSpec rendered = RichInfo();
  rendered.shortName = u"Rendered";
  rendered.dictId = 8;
  rendered.fields[kSense].displayKind = 16;
  AddDict(DictOf(rendered, {Field(kSense) + u"a b"}));
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(GetDictCount(engine_), 2);
  uint16_t secondarySlot = engine_->slots[0]->secondary ? 0 : 1;
  ASSERT_NE(engine_->slots[secondarySlot]->secondary, nullptr);
  RawFieldsLayout layout;
  ASSERT_TRUE(InitRawFieldsLayout(engine_, secondarySlot, &layout));
  FoldedPattern pattern;
  ASSERT_TRUE(InitFoldedPattern(&pattern, u"a b"));
  const uint32_t entry = 0;
  uint8_t answer = 9;
  FindFoldedInRawFields(engine_, secondarySlot, &entry, 1, layout, pattern, &answer);
  EXPECT_EQ(answer, kRawFieldsUntold);
  EXPECT_FALSE(InitRawFieldsLayout(engine_, static_cast<uint16_t>(1 - secondarySlot), &layout));
}

}  // namespace
