#include "engine/string_utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/heap.h"

namespace {

TEST(WideStrCopy, CopyVariantsKeepTheirTruncationRules) {
  WCHAR dst[8];
  std::fill(std::begin(dst), std::end(dst), u'#');
  WideStrCopyN(dst, u"abcdef", 5);
  EXPECT_EQ(std::u16string(dst), u"abcd");
  EXPECT_EQ(dst[5], u'#');

  std::fill(std::begin(dst), std::end(dst), u'#');
  WideStrCopyN(dst, u"ab", 5);
  EXPECT_EQ(std::u16string(dst), u"ab");
  WideStrCopyN(dst, u"xyz", 0);  // n = 0 writes nothing
  EXPECT_EQ(std::u16string(dst), u"ab");

  std::fill(std::begin(dst), std::end(dst), u'#');
  WideStrCopyRawN(dst, u"abcdef", 3);  // no terminator forced
  EXPECT_EQ(std::u16string(dst, 4), u"abc#");

  std::fill(std::begin(dst), std::end(dst), u'#');
  WideStrCopySwapN(dst, u"\u4100\u0042", 8);
  EXPECT_EQ(dst[0], 0x0041);
  EXPECT_EQ(dst[1], 0x4200);
  EXPECT_EQ(dst[2], 0);

  WideStrRemoveChar(dst, u"a-b-c", u'-');
  EXPECT_EQ(std::u16string(dst), u"abc");
  WCHAR same[] = u"x_y_";
  WideStrRemoveChar(same, same, u'_');
  EXPECT_EQ(std::u16string(same), u"xy");
  WideStrRemoveChar(same, u"zzz", 0);  // c = 0: nothing happens
  EXPECT_EQ(std::u16string(same), u"xy");
}

TEST(WideStrDup, AllocatesFromTheLocalHeap) {
  EXPECT_EQ(WideStrDup(nullptr), nullptr);
  EXPECT_EQ(WideStrDup(u""), nullptr);
  WCHAR* copy = WideStrDup(u"\u4E2D\u6587");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::u16string(copy), u"\u4E2D\u6587");
  LocalFree(copy);

  EXPECT_EQ(WideDupFromNarrow(nullptr), nullptr);
  WCHAR* wide = WideDupFromNarrow("caf\xE9");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(std::u16string(wide), u"caf\u00E9");
  EXPECT_GE(LocalSize(wide), 6 * sizeof(WCHAR));  // length + 2 units
  LocalFree(wide);
}

TEST(NarrowWide, WidenAndNarrowUnitByUnit) {
  WCHAR wide[8];
  WideFromNarrowN(wide, "\xFF" "A", 8);
  EXPECT_EQ(wide[0], 0x00FF);
  EXPECT_EQ(wide[1], u'A');
  EXPECT_EQ(wide[2], 0);
  char narrow[8] = "#######";
  NarrowFromWideN(narrow, u"\u4E41bc", 2);
  EXPECT_EQ(narrow[0], 'A');  // the low byte of U+4E41
  EXPECT_EQ(narrow[1], 'b');
  EXPECT_EQ(narrow[2], '#');
}

TEST(TextCleanUp, TrimsAndStripsInPlace) {
  WCHAR trim[] = u"ab \t  ";
  WideTrimRight(trim);
  EXPECT_EQ(std::u16string(trim), u"ab \t");  // only U+0020 goes

  WCHAR high[] = u"a\u9FAE\u9FAF\uEA01\uFF21b";
  StripHighUnits(high);
  EXPECT_EQ(std::u16string(high), u"a\u9FAEb");

  struct Case {
    std::u16string text;
    std::u16string expected;
  } const cases[] = {
      {u"a\uEAC1\x8001\x8002" u"b", u"ab"},                  // code and both payload units go
      {u"a\uEABA\x8000\x8001\uEAB1" u"c", u"ac"},            // payload, then a plain code
      {u"x\uEAB0y\uEAFFz", u"xyz"},                          // codes without payload
      {u"a\uEAC3\x8001", u"a\x8001"},                        // only one payload unit: it stays
      {u"tail\uEAC5", u"tail"},
      {u"\uEAAF\uEB00", u"\uEAAF\uEB00"},                    // outside the style range
  };
  for (const auto& c : cases) {
    std::u16string buf = c.text;
    StripFormatCodes(buf.data());
    EXPECT_EQ(std::u16string(buf.c_str()), c.expected);
  }
}

TEST(TextTests, BlankTextAndFingerprint) {
  EXPECT_EQ(IsBlankText(u""), 1);
  EXPECT_EQ(IsBlankText(u" \t\r\n\u00A0\u3000"), 1);
  EXPECT_EQ(IsBlankText(u"  a "), 0);
  EXPECT_EQ(IsBlankText(u"\u2003"), 0);  // other blanks are not blank here
  EXPECT_EQ(SumWideChars(u"AB"), 0x41u + 0x42u);
  EXPECT_EQ(SumWideChars(u"\uFFFF\uFFFF"), 0x1FFFEu);  // 32-bit, no 16-bit wrap
}

TEST(Numbers, DecimalAndHexText) {
  WCHAR buf[20];
  const struct {
    int32_t value;
    const char16_t* text;
  } ints[] = {{0, u"0"}, {-123, u"-123"}, {INT32_MAX, u"2147483647"}, {INT32_MIN, u"-2147483648"}};
  for (const auto& c : ints) {
    WideFromInt(buf, c.value);
    EXPECT_EQ(std::u16string(buf), c.text);
    EXPECT_EQ(WideToInt(buf), c.value);
  }
  EXPECT_EQ(WideToInt(u"  -42abc"), -42);
  EXPECT_EQ(WideToInt(u"+7"), 7);
  EXPECT_EQ(WideToInt(u"x1"), 0);
  EXPECT_EQ(WideToInt(u""), 0);
  EXPECT_EQ(WideToInt(u"99999999999"), INT32_MAX);
  EXPECT_EQ(WideToInt(u"-99999999999"), INT32_MIN);
  EXPECT_EQ(WideToInt((std::u16string(19, u' ') + u"5").c_str()), 5);  // the 20th unit is still read
  EXPECT_EQ(WideToInt((std::u16string(20, u' ') + u"5").c_str()), 0);  // the 21st is not
  EXPECT_EQ(WideToInt(u"\u4E31"), 1);                 // low byte '1'

  char hex[9];
  FormatHex8(hex, 0x1A2B3C4Du);
  EXPECT_STREQ(hex, "1A2B3C4D");
  FormatHex8(hex, 0xFu);
  EXPECT_STREQ(hex, "0000000F");
  WCHAR whex[9];
  WideFromHex8(whex, 0xDEADBEEFu);
  EXPECT_EQ(std::u16string(whex), u"DEADBEEF");
}

TEST(FindText, PassesOverMarkupInTheText) {
  const char16_t* text = u"ab\uEA90cd\uEA9F";
  uint32_t length = 99;
  const WCHAR* at = FindText(text, u"bc", &length);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(at - text, 1);
  EXPECT_EQ(length, 3u);  // b, the markup unit, c
  at = FindText(text, u"cd", &length);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(at - text, 3);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(FindText(text, u"bd", &length), nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(FindText(u"", u"a", nullptr), nullptr);
  EXPECT_EQ(FindText(u"abc", u"abcd", nullptr), nullptr);
}

TEST(CountKeyLetters, CountsAsciiLettersAndTheFrenchAccents) {
  EXPECT_EQ(CountKeyLetters(u"Caf\u00E9 (\u00E0\u00E2)!"), 6u);
  EXPECT_EQ(CountKeyLetters(u"\u00C9\u00FC1 "), 0u);
  EXPECT_EQ(CountKeyLetters(nullptr), 0u);
}

}  // namespace
