// The entry formatter through FetchDictEntryText: (record, request) -> the
// exact sequence of text and style codes.
#include "engine/entry_formatter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/entry_fetch.h"
#include "engine/text_buffer.h"
#include "tests/engine_fetch/fetch_fixture.h"

using namespace fetchfix;

namespace {

const std::u16string kBoldOn = u"\uEAB2";
const std::u16string kBoldOff = u"\uEAB3";
const std::u16string kColorOff = u"\uEAC2";
std::u16string Color(uint32_t c) { return u"\uEAC1" + Payload(c); }

struct Case {
  const char* name;
  std::u16string record;
  std::u16string expected;
  uint32_t options = 0;
  uint32_t suppress = 0;
  uint32_t classMask = 0;
  uint32_t fieldIndex = 0;
  uint32_t enlargedSize = 0;
  int32_t pref110 = 0;
  std::vector<uint16_t> low = {};
  std::vector<uint16_t> high = {};
  uint32_t syllableFormat = 0;
  uint32_t levelLimit = 0;
};

std::vector<Case> Cases() {
  const std::u16string hao3 = Syl("hao", 3);
  const std::u16string styledOpen = u"\uEAB2\uEAB4\uEAB6" + Color(kStyledColor) + u"\uEAB8";
  const std::u16string styledClose = u"\uEABB\uEAC2\uEAB7\uEAB5\uEAB3";
  const std::u16string xueSheng = Field(kHead) + u"学生" + kSep + u"學-";
  const std::u16string sections = Sec(0) + Field(kSense) + u"a" + Sec(0) + Field(kSense) + u"b" + Sec(1) +
                                  Field(kSense) + u"c" + Sec(1) + Field(kSense) + u"d" + Sec(2) + Field(kSense) + u"e";
  const std::u16string filtered =
      Sec(0) + Field(kSense) + u"a" + Sec(0) + Field(kSynA) + u"x" + Sec(0) + Field(kSense) + u"c";
  const uint32_t tone1 = 0xFF0000, tone2 = 0x00FF00;  // preferences 104 and 105
  const uint32_t classesAndNumbers = 0x4 | 0x8;       // class 2 with section numbers

  return {
      // Styles open in the order bold, italic, underline, colour, link and close in reverse.
      {"style nesting", Field(kStyled) + u"word", styledOpen + u"word" + styledClose},
      {"suppressed styles", Field(kStyled) + u"word", u"\uEAB2\uEAB6" + Color(kStyledColor) + u"word\uEAC2\uEAB7\uEAB3",
       0, kFieldItalic | kFieldLink},
      // A hidden-target link: the target keeps its raw reading, the shown text is rendered.
      {"hidden link target", Field(kSee) + u"好" + hao3 + kSep + hao3 + u" good",
       u"\uEAD1好" + hao3 + u"\uEAD0hǎo good\uEAD2"},
      {"link target shows without the link style", Field(kSee) + u"好" + hao3 + kSep + hao3,
       u"好" + hao3 + u"\uEAD0hǎo", 0, kFieldLink},
      {"link id", Field(kRef) + u"\u0001\u8001\u8002see", u"\uEABA" + Payload(0x8002) + u"see\uEABB"},
      {"link id masked to 30 bits", Field(kRef) + u"\u0003\uFFFF\uFFFFx", u"\uEABA\uFFFF\uFFFFx\uEABB"},
      {"link id needs three units", Field(kRef) + u"ab", u"\uEAB8ab\uEABB"},
      {"link id stops at a marker", Field(kRef) + u"ab" + Field(kSense) + u"c", u"\uEAB8ab\uEABB c"},
      {"tilde span", Field(kSense) + u"a \uEA95word\uEA96 b", u"a \u223C b"},
      {"full-width comma", Field(kSense) + u"x\uFF0Cy", u"x, y"},
      {"capitalised word", Field(kPinyin) + kWordBreak + Syl("bei", 3) + Syl("jing", 1), u"Běijīng"},
      {"apostrophe between syllables", Field(kPinyin) + Syl("xi", 1) + Syl("an", 1), u"xī'ān"},
      {"word break at the end", Field(kPinyin) + Syl("ni", 3) + kWordBreak, u"nǐ"},
      {"word break before text", Field(kPinyin) + kWordBreak + u"x", u"x"},
      {"syllables kept raw", Field(kPinyin) + hao3, hao3, kFetchRawSyllables},
      {.name = "tone digits",
       .record = Field(kPinyin) + hao3,
       .expected = u"hao3",
       .syllableFormat = kSyllablePinyin | kSyllableToneDigits},
      {"capitals", Field(kUpper) + u"abc1", u"ABC1"},
      {"bold prefix", Field(kNote) + u"lit.", kBoldOn + u"(" + kBoldOff + u"lit.)"},
      {"bold suppressed", Field(kNote) + u"lit.", u"(lit.)", 0, kFieldBold},
      // Enlarged Chinese text within preference 110's limit (0: any length).
      {"enlarged", Field(kHead) + u"你好", u"\uEAC5" + Payload(40) + u"你好\uEAC6", kFetchEnlargeChinese, 0, 0, 0, 40},
      {"enlarged within the limit", Field(kHead) + u"你好", u"\uEAC5" + Payload(40) + u"你好\uEAC6",
       kFetchEnlargeChinese, 0, 0, 0, 40, 2},
      {"too long to enlarge", Field(kHead) + u"你好", u"你好", kFetchEnlargeChinese, 0, 0, 0, 40, 1},
      {"enlarged ends before the bracket", xueSheng, u"\uEAC5" + Payload(40) + u"学生\uEAC6[學生]",
       kFetchEnlargeChinese | kFetchOtherFormBracket | kFetchEnlargeBeforeBracket, 0, 0, 0, 40},
      {"enlarged bracket", xueSheng, u"\uEAC5" + Payload(40) + u"学生[學生]\uEAC6",
       kFetchEnlargeChinese | kFetchOtherFormBracket, 0, 0, 0, 40},
      // Sections in each numbering style.
      {"sections", sections, u"1. a 2. b a) c b) d \u2460 e"},
      {"filtered section leaves no number", filtered, u"1. a 3. c", kFetchClassMask, 0, classesAndNumbers},
      {"no numbers without mask bit 3", filtered, u"a c", kFetchClassMask, 0, 0x4},
      {"no numbers for one field", filtered, u"a c", kFetchOneField, 0, 0, kSense},
      {"empty section keeps its number", Sec(0) + Field(kSense) + u"a" + Sec(2) + Field(kSynA) + u"x", u"1. a \u2460 ",
       kFetchClassMask, 0, classesAndNumbers},
      {"stray closers ignored", kClose + kClose + Sec(0) + Field(kSense) + u"a" + Sec(0) + Field(kSense) + u"b",
       u"1. a 2. b"},
      {"text after a closed section", Sec(0) + Sec(1) + Field(kSense) + u"a" + kClose + Field(kSense) + u"b",
       u"1. a) a b"},
      {"section range",
       Sec(0) + Field(kSense) + u"a" + Sec(0) + Field(kSense) + u"b" + Sec(1) + Field(kSense) + u"c" + Sec(0) +
           Field(kSense) + u"d",
       u"2. b a) c",
       kFetchSectionRange,
       0,
       0,
       0,
       0,
       0,
       {2, 0, 0, 0},
       {2, 0xFFFF, 0xFFFF, 0xFFFF}},
      {"numbering restarts", Sec(0) + Field(kRestart) + u"r" + Sec(0) + Field(kSense) + u"a", u"1. r 1. a"},
      {"space mode", Sec(0) + Field(kSense) + u"a" + Sec(0) + Field(kSense) + u"b", u"a b", kFetchRawFields},
      // Groups, line breaks and one-line text.
      {"grouped fields", Field(kSynA) + u"quick" + Field(kSynB) + u"fast",
       u"quick " + kBoldOn + u"or " + kBoldOff + u"fast"},
      {"ungrouped fields", Field(kSynB) + u"fast" + Field(kSynA) + u"quick", u"fast quick"},
      {"empty line before", Field(kSense) + u"a" + Field(kMeasure) + u"m", u"a\n\nm"},
      {"one line", Field(kSense) + u"a" + Field(kMeasure) + u"m", u"a m", kFetchOneLine},
      {"Chinese and pinyin on lines of their own",
       Field(kHead) + u"好" + Field(kPinyin) + hao3 + Field(kSense) + u"good", u"好\nhǎo\ngood"},
      {"one line entry", Sec(0) + Field(kHead) + u"好" + Field(kPinyin) + hao3 + Sec(0) + Field(kSense) + u"good",
       u"1. 好 hǎo 2. good", kFetchOneLine},
      // Two-form fields.
      {"main form", xueSheng, u"学生"},
      {"second form first", xueSheng, u"學生", kFetchSecondFormFirst},
      {"bracket", xueSheng, u"学生[學生]", kFetchOtherFormBracket},
      {"second first with bracket", xueSheng, u"學生[学生]", kFetchSecondFormFirst | kFetchOtherFormBracket},
      {"bracket keeps the main dash", xueSheng, u"學生[学-]",
       kFetchSecondFormFirst | kFetchOtherFormBracket | kFetchBracketDashMain},
      {"bracket keeps its own dash", xueSheng, u"学生[學-]", kFetchOtherFormBracket | kFetchBracketDashMain},
      {"dash takes the other form", Field(kHead) + u"-好" + kSep + u"你好", u"你好"},
      {"dash with bracket", Field(kHead) + u"-好" + kSep + u"你好", u"你好[-好]", kFetchOtherFormBracket},
      {"slash first in the bracket", Field(kHead) + u"好" + kSep + u"/好", u"好[/好]", kFetchOtherFormBracket},
      {"slash alternatives", Field(kHead) + u"台/臺" + kSep + u"台", u"台/臺[台]", kFetchOtherFormBracket},
      {"private-use unit takes the other form", Field(kHead) + u"\uEE01好" + kSep + u"你好", u"你好"},
      {"private-use unit kept with bracket", Field(kHead) + u"\uEE01好" + kSep + u"你好", u"\uEE01好[你好]",
       kFetchOtherFormBracket},
      // Tone colours from the pinyin field.
      {"tone colours", Field(kHead) + u"中文" + Field(kPinyin) + Syl("zhong", 1) + Syl("wen", 2),
       Color(tone1) + u"中" + kColorOff + Color(tone2) + u"文" + kColorOff + u"\nzhōngwén", kFetchToneColors},
      {"tone colours in the bracket", xueSheng + Field(kPinyin) + Syl("xue", 2) + Syl("sheng", 1),
       Color(tone2) + u"学" + kColorOff + Color(tone1) + u"生" + kColorOff + u"[" + Color(tone2) + u"學" + kColorOff +
           Color(tone1) + u"生" + kColorOff + u"]\nxuéshēng",
       kFetchToneColors | kFetchOtherFormBracket},
      {"no tone colours without a pinyin field", Field(kHead) + u"中文" + Sec(0) + Field(kPinyin) + Syl("zhong", 1),
       u"中文\n1. zhōng", kFetchToneColors},
      // Homograph numbers before a reading become superscripts.
      {"superscript one", Field(kSense) + u"好1" + hao3, u"好\u00B9hǎo"},
      {"superscript two", Field(kSense) + u"好2" + hao3, u"好\u00B2hǎo"},
      {"superscript three", Field(kSense) + u"好3" + hao3, u"好\u00B3hǎo"},
      {"superscript four", Field(kSense) + u"好4" + hao3, u"好\u2074hǎo"},
      {"two-digit superscript", Field(kSense) + u"好12" + hao3, u"好\u00B9\u00B2hǎo"},
      {"digit after a letter", Field(kSense) + u"a2" + hao3, u"a2hǎo"},
      {"digits after a plain digit", Field(kSense) + u"123" + hao3, u"123hǎo"},
      {"superscript dropped", Field(kSense) + u"好2" + hao3, u"好hǎo", kFetchDropHomographDigits},
      {"superscript kept in a link", Field(kStyled) + u"好2" + hao3, styledOpen + u"好\u00B2hǎo" + styledClose,
       kFetchDropHomographDigits},
      // Hidden spans, field names, the dictionary's name, variants.
      {"hidden span", Field(kSense) + u"ab\uEA91X\uEA92c", u"abc"},
      {"hidden span replaces the last unit", Field(kSense) + u"ab\uEA91X\uEA92c", u"aXc", kFetchHiddenReplacesLast},
      {"field names", Field(kSense) + u"a" + Field(kNote) + u"b",
       kBoldOn + u"Sense:" + kBoldOff + u" a\n" + kBoldOn + u"Note:" + kBoldOff + u" " + kBoldOn + u"(" + kBoldOff +
           u"b)",
       kFetchFieldNames},
      {"dictionary name", Field(kSense) + u"a", u"a\n[RichDict]", kFetchDictNameAfter},
      {"raw fields", Field(kSense) + u"a" + hao3 + Field(kPinyin) + hao3, u"a" + hao3 + hao3, kFetchRawFields},
      {"character variants", Field(kSense) + u"发", u"發", kFetchMapCharVariants},
      {"classes 6 and up are off with a mask", Field(kSense) + u"a" + Field(kSynA) + u"b", u"a", kFetchClassMask, 0,
       0xFF},
      {.name = "level limit",
       .record = Field(kSense) + u"a" + Field(kNote) + u"b",
       .expected = u"a",
       .options = kFetchLevelLimit,
       .levelLimit = 2},
      {.name = "within the level limit",
       .record = Field(kSense) + u"a" + Field(kNote) + u"b",
       .expected = u"a " + kBoldOn + u"(" + kBoldOff + u"b)",
       .options = kFetchLevelLimit,
       .levelLimit = 3},
      {"class 6 is on without a mask", Field(kSense) + u"a" + Field(kSynA) + u"b", u"a b"},
      {"text outside fields", u"junk" + Field(kSense) + u"a" + u"\uEA7Fnot a field", u"a"},
  };
}

class EntryFormatter : public EngineFixture {};

TEST_F(EntryFormatter, RecordAndRequestGiveTheCodeSequence) {
  std::vector<Case> cases = Cases();
  std::vector<std::u16string> records;
  for (const Case& c : cases) records.push_back(c.record);
  db::DictionarySpec draft = DictOf(RichInfo(), records);
  draft.charVariants = {{u'发', u"發髮"}};
  AddDict(draft);
  ASSERT_NE(Create(), nullptr);

  for (uint32_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SetPref(engine_, 110, c.pref110);
    EntryFetchRequest request{};
    request.slot = 0;
    request.entry = i;
    request.options = c.options;
    request.suppressStyles = c.suppress;
    request.classMask = c.classMask;
    request.fieldIndex = c.fieldIndex;
    request.enlargedSize = c.enlargedSize;
    request.syllableFormat = c.syllableFormat;
    request.levelLimit = c.levelLimit;
    for (size_t k = 0; k < c.low.size() && k < 4; ++k) request.sectionLow[k] = c.low[k];
    for (size_t k = 0; k < c.high.size() && k < 4; ++k) request.sectionHigh[k] = c.high[k];
    int rc = -1;
    std::u16string text = Fetch(request, &rc);
    EXPECT_EQ(rc, 0) << c.name;
    EXPECT_EQ(text, c.expected) << c.name;
  }
}

// A fixed buffer that fills ends the text where it filled, terminated.
TEST_F(EntryFormatter, FixedBufferCutsTheText) {
  AddDict(DictOf(RichInfo(), {Field(kStyled) + u"a long definition"}));
  ASSERT_NE(Create(), nullptr);
  WCHAR text[10];
  TextBuffer tb{text, 10, nullptr, 0};
  EntryFetchRequest request{};
  EXPECT_EQ(FetchDictEntryText(engine_, &request, &tb), 0);
  EXPECT_EQ(tb.length, 9u);
  EXPECT_EQ(text[9], 0);
  std::u16string expected = u"\uEAB2\uEAB4\uEAB6" + Color(kStyledColor) + u"\uEAB8a ";
  EXPECT_EQ(std::u16string(text), expected.substr(0, 9));
}

// A record handle: the text ends at a 0 unit, or at the handle's end when
// it holds none.
TEST_F(EntryFormatter, FormatsARecordHandle) {
  AddDict(DictOf(RichInfo(), {Field(kSense) + u"x"}));
  ASSERT_NE(Create(), nullptr);
  const std::u16string records[] = {Field(kSense) + u"ab" + std::u16string(1, 0) + u"cd", Field(kSense) + u"abcd"};
  const std::u16string expected[] = {u"ab", u"abcd"};
  for (int i = 0; i < 2; ++i) {
    MemHandle* record = NewMemHandleFromCopy(records[i].data(), static_cast<uint32_t>(records[i].size() * 2));
    ASSERT_NE(record, nullptr);
    LockMemHandle(record);
    WCHAR text[16];
    TextBuffer tb{text, 16, nullptr, 0};
    EntryFetchRequest request{};
    EXPECT_EQ(FormatDictEntry(engine_, &request, record, &tb), 0);
    EXPECT_EQ(std::u16string(text), expected[i]);
    UnlockMemHandle(record);
    FreeMemHandle(record);
  }
}

TEST(SectionNumber, EachStyleAndItsLimits) {
  struct Case {
    uint32_t style;
    char16_t prefix, suffix;
    uint32_t count;
    std::u16string expected;
    uint32_t switchCount = 0;
    uint32_t style2 = 0;
    char16_t prefix2 = 0;
  };
  const Case cases[] = {
      {4, 0, u'.', 0, u"x 1. "},
      {4, 0, u'.', 249, u"x 250. "},
      {4, 0, u'.', 1233, u"x X34. "},
      {4, u'(', u')', 9, u"x (10) "},
      {5, 0, u')', 0, u"x a) "},
      {5, 0, u')', 26, u"x z) "},
      {5, 0, u')', 300, u"x z) "},
      {6, 0, 0, 1, u"x B "},
      {1, u'\u25C6', 0, 3, u"x \u25C6 "},
      {2, u'/', 0, 0, u"x "},
      {2, u'/', 0, 1, u"x / "},
      {3, u'\u2460', 0, 2, u"x \u2462 "},
      {3, u'\u2460', 0, 4, u"x b "},  // the second style from the switch count on
      {0, 0, 0, 5, u"x "},
      {4, 0, u'.', 5000, u"x"},  // at the limit: nothing
  };
  for (const Case& c : cases) {
    uint8_t desc[32] = {};
    auto put32 = [&](int at, uint32_t v) {
      for (int i = 0; i < 4; ++i) desc[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](int at, char16_t v) {
      desc[at] = static_cast<uint8_t>(v);
      desc[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put32(8, 5000);
    put32(12, c.style);
    put16(16, c.prefix);
    put16(18, c.suffix);
    if (c.style == 3) {
      put32(20, 3);
      put32(24, 3);
      put16(28, u'a');
    }
    WCHAR text[32];
    TextBuffer tb{text, 32, nullptr, 0};
    TextBufInit(&tb);
    TextBufAppendWide(&tb, u"x", 0);
    uint8_t pending = 1;
    EXPECT_EQ(WriteSectionNumber(0, desc, c.count, &tb, &pending, 0), 0);
    TextBufFinish(&tb);
    EXPECT_EQ(std::u16string(text), c.expected) << "style " << c.style << " count " << c.count;
  }
}

TEST(SectionNumber, LineBreaksAroundTheNumber) {
  uint8_t desc[32] = {};
  desc[0] = kSectionBreakBeforeLater | kSectionBreakAfter;
  desc[8] = 100;
  desc[12] = 4;
  struct Case {
    uint32_t count;
    uint8_t pending;
    uint32_t options;
    const char16_t* before;
    std::u16string expected;
  };
  const Case cases[] = {
      {0, 0, 0, u"x", u"x 1\n"},
      {1, 0, 0, u"x", u"x\n2\n"},
      {0, 2, 0, u"x", u"x\n1\n"},            // a pending line break
      {1, 0, kFetchOneLine, u"x", u"x 2 "},  // one line: spaces
      {0, 0, 0, u"", u"1\n"},                // nothing before an empty buffer
      {1, 0, 0, u"x\n", u"x\n2\n"},          // already on a new line
  };
  for (const Case& c : cases) {
    WCHAR text[32];
    TextBuffer tb{text, 32, nullptr, 0};
    TextBufInit(&tb);
    TextBufAppendWide(&tb, c.before, 0);
    uint8_t pending = c.pending;
    WriteSectionNumber(0, desc, c.count, &tb, &pending, c.options);
    TextBufFinish(&tb);
    EXPECT_EQ(std::u16string(text), c.expected) << c.count << " " << int{c.pending};
    EXPECT_EQ(pending, 0);
  }
}

TEST(CountKeyChars, SkipsBracketsAndSlashes) {
  const char16_t ma = static_cast<char16_t>(0xE000 + 5 * FindSyllable("ma") + 3);
  const std::u16string withCode = std::u16string(u"a") + ma + ma;
  struct Case {
    std::u16string text;
    int plain;
    uint32_t count;
  };
  const Case cases[] = {
      {u"你好", 0, 2},  {u"你好(ni hao)", 0, 2}, {u"你(好)", 1, 2}, {u"你（好）[呀]", 0, 1},
      {u"台/臺", 0, 1}, {u"/台", 0, 1},          {withCode, 0, 2},  {u"abc", 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CountKeyChars(reinterpret_cast<const WCHAR*>(c.text.c_str()), c.plain), c.count);
  EXPECT_EQ(CountKeyChars(nullptr, 0), 0u);
}

}  // namespace
