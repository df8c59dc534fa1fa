// Rendering syllable codes as pinyin and zhuyin.
#include <gtest/gtest.h>

#include <string>

#include "engine/pinyin.h"
#include "engine/text_buffer.h"
#include "tests/engine_text/text_fixture.h"

namespace {

using textfix::Code;

class SyllableFormat : public textfix::TextEngine {
 protected:
  void SetUp() override { Create(); }
  std::u16string Format(uint32_t flags, WCHAR code, uint32_t* count = nullptr) {
    WCHAR out[32];
    TextBuffer tb{out, 32, nullptr, 0};
    const uint32_t n = FormatSyllableCode(engine_, flags, code, &tb);
    if (count) *count = n;
    TextBufFinish(&tb);
    return out;
  }
  std::u16string FormatText(uint32_t flags, const std::u16string& text) {
    WCHAR out[64];
    TextBuffer tb{out, 64, nullptr, 0};
    const uint32_t n = FormatSyllableText(engine_, flags, text.c_str(), &tb);
    TextBufFinish(&tb);
    EXPECT_EQ(n, tb.length);
    return out;
  }
};

TEST_F(SyllableFormat, PinyinToneStylesCapitalsAndMarkPlacement) {
  struct Case {
    uint32_t flags;
    const char* spelling;
    uint32_t tone;
    std::u16string expected;
  } cases[] = {
      {0x1000, "hao", 3, u"hǎo"},
      {0x1002, "hao", 3, u"hao3"},
      {0x1020, "hao", 3, u"Hǎo"},
      {0x1022, "hao", 3, u"Hao3"},
      {0x1000, "hao", 0, u"hao"},
      {0x1002, "hao", 0, u"hao5"},
      {0x1003, "hao", 4, u"hao"},
      {0x1000, "liu", 2, u"liú"},    // the last of i and u
      {0x1000, "gou", 3, u"gǒu"},    // o before u
      {0x1000, "gui", 4, u"guì"},
      {0x1000, "xue", 2, u"xué"},    // e before the last vowel
      {0x1000, "lv", 4, u"lǜ"},      // v is written ü
      {0x1002, "nv", 3, u"nü3"},
      {0x1020, "ou", 1, u"Ōu"},
      {0x1020, "e", 2, u"É"},
      {0x1000, "n", 2, u"ń"},        // no vowel: the first letter
      {0x1000, "an", 1, u"ān"},
      {0x1200, "an", 1, u"'ān"},     // after another syllable
      {0x1200, "ou", 0, u"'ou"},
      {0x1202, "an", 1, u"an1"},     // the apostrophe only with tone marks
      {0x1200, "ma", 1, u"mā"},
  };
  for (const Case& c : cases) {
    uint32_t n = 0;
    EXPECT_EQ(Format(c.flags, Code(c.spelling, c.tone), &n), c.expected) << c.spelling << c.tone << " flags " << c.flags;
    EXPECT_EQ(n, c.expected.size()) << c.spelling;
  }
}

TEST_F(SyllableFormat, ZhuyinMarksAndDigits) {
  struct Case {
    uint32_t flags;
    uint32_t tone;
    std::u16string expected;
  } cases[] = {
      {0x3000, 1, u"ㄇㄚ "},  // tone 1 ends in a blank
      {0x3000, 2, u"ㄇㄚˊ"},
      {0x3000, 3, u"ㄇㄚˇ"},
      {0x3000, 4, u"ㄇㄚˋ"},
      {0x3000, 0, u"ㄇㄚ˙"},  // the neutral tone
      {0x3002, 3, u"ㄇㄚ3"},
      {0x3002, 0, u"ㄇㄚ"},
      {0x3003, 3, u"ㄇㄚ"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.flags, Code("ma", c.tone)), c.expected) << c.flags << " " << c.tone;
}

TEST_F(SyllableFormat, CodesOutsideTheTablesRenderAsNothing) {
  uint32_t n = 9;
  EXPECT_EQ(Format(0x2000, Code("ma", 1), &n), u"");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Format(0x1000, SyllableCode(450, 1), &n), u"");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Format(0x3000, kSyllableNone, &n), u"");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Format(0x1000, u'a', &n), u"");
}

TEST_F(SyllableFormat, ToneMarkedLetters) {
  EXPECT_EQ(ToneMarkedLetter(engine_, u'a', 1), u'ā');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'v', 3), u'ǚ');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'ü', 4), u'ǜ');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'O', 2), u'Ó');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'n', 1), u'n');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'n', 3), u'ň');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'b', 2), u'b');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'I', 2), u'I');
  EXPECT_EQ(ToneMarkedLetter(engine_, u'v', 0), u'ü');  // no tone: only v changes
  EXPECT_EQ(ToneMarkedLetter(engine_, u'a', 5), u'a');
}

TEST_F(SyllableFormat, TextsOfSyllables) {
  const std::u16string xian = {Code("xi", 1), Code("an", 1)};
  EXPECT_EQ(FormatText(0x1000, xian), u"xī'ān");  // the xi'an apostrophe
  EXPECT_EQ(FormatText(0x1100, xian), u"xīān");   // 0x100: never joined
  EXPECT_EQ(FormatText(0x1002, xian), u"xi1an1");
  EXPECT_EQ(FormatText(0x1402, xian), u"xi1@an1");
  const std::u16string words = {kSyllableSeparator, Code("zhong", 1), Code("guo", 2), u' ', Code("ai", 4), 0xE9F5};
  EXPECT_EQ(FormatText(0x1000, words), u"Zhōngguó ài");  // a blank breaks the join; marks are not shown
  EXPECT_EQ(FormatText(0x3000, {Code("ni", 3), Code("hao", 3)}), u"ㄋㄧˇㄏㄠˇ");
}

}  // namespace
