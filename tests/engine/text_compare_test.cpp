#include "engine/text_compare.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>
#include <utility>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/utf16_print.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

struct CmpCase {
  const char16_t* a;
  const char16_t* b;
  int sign;
};

TEST(WideStrPrefixCmp, TieRule) {
  const CmpCase cases[] = {
      {u"hello", u"hel", 0},   // b is a prefix of a
      {u"hel", u"hello", -1},  // a ends first: exactly -1
      {u"abc", u"abc", 0},
      {u"a", u"", 0},
      {u"", u"", 0},
      {u"", u"a", -1},
      {u"abd", u"abc", 1},
      {u"abc", u"abd", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowUtf16(c.a) + " / " + ShowUtf16(c.b));
    EXPECT_EQ(Sign(WideStrPrefixCmp(c.a, c.b)), c.sign);
  }
  EXPECT_EQ(WideStrPrefixCmp(u"hel", u"hello"), -1);  // exactly -1, not a difference
  EXPECT_EQ(WideStrPrefixCmp(u"", u"z"), -1);
}

TEST(WideStrCmp, PlainAndNarrowAndWildcard) {
  EXPECT_EQ(WideStrCmp(u"abc", u"abc"), 0);
  EXPECT_EQ(WideStrCmp(u"ab", u"abc"), -'c');
  EXPECT_GT(WideStrCmp(u"\uFF00", u"a"), 0);  // units compare unsigned
  EXPECT_EQ(NarrowWideCmp("\x80", u"\uFF80"), 0);  // bytes sign-extended
  EXPECT_LT(NarrowWideCmp("a", u"b"), 0);
  EXPECT_EQ(NarrowWideCmp("", u""), 0);

  const CmpCase wild[] = {
      {u"ab_", u"abc", 0},
      {u"abc", u"a_c", 0},
      {u"ab", u"ab_", 0},   // a ends where b holds the wildcard
      {u"ab", u"abc", -1},
      {u"abd", u"abc", 1},
      {u"a_", u"a", 1},     // a wildcard matches one unit, never b's end
      {u"a_c", u"a", 1},
  };
  for (const auto& c : wild) {
    SCOPED_TRACE(ShowUtf16(c.a) + " / " + ShowUtf16(c.b));
    EXPECT_EQ(Sign(WideStrCmpWildcard(c.a, c.b, u'_')), c.sign);
  }
  EXPECT_NE(WideStrCmpWildcard(u"a_", u"ab", 0), 0);  // 0 is no wildcard
}

TEST(EnglishKeyCmp, ComparesLettersOnly) {
  const CmpCase cases[] = {
      {u"caf\u00E9 (a note)", u"CAFE", 0},
      {u"Apple!", u"apple", 0},
      {u"(to) run", u"run", 0},
      {u"a(b", u"a", 0},                 // an unclosed "(" skips the rest
      {u"r\u00E2le", u"rale", 0},         // â as a
      {u"\u00EAtre", u"etre", 0},         // ê as e
      {u"ab", u"abc", -1},
      {u"abd", u"ABC", 1},
      {u"x\u4EE9", u"x", 0},              // a CJK unit whose low byte is E9 is no letter
      {u"well-being", u"wellbeing", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowUtf16(c.a) + " / " + ShowUtf16(c.b));
    EXPECT_EQ(Sign(EnglishKeyCmp(c.a, c.b)), c.sign);
    EXPECT_EQ(Sign(EnglishKeyCmp(c.b, c.a)), -c.sign);
    // The one-walk form gives both answers exactly, either way round.
    for (const auto& [a, b] : {std::pair{c.a, c.b}, std::pair{c.b, c.a}}) {
      uint32_t common = 99;
      EXPECT_EQ(EnglishKeyCmpCommon(a, b, &common), EnglishKeyCmp(a, b));
      EXPECT_EQ(common, EnglishKeyCommonLength(a, b));
    }
  }
  EXPECT_EQ(EnglishKeyCommonLength(u"cafe", u"CAF\u00C9 (x)"), 3u);  // É is no key letter
  EXPECT_EQ(EnglishKeyCommonLength(u"cafe", u"caf\u00E9 (x)"), 5u);       // equal: the end counts
  EXPECT_EQ(EnglishKeyCommonLength(u"cafe", u"cab"), 2u);
  EXPECT_EQ(EnglishKeyCommonLength(u"", u""), 1u);
}

TEST(CommonPrefixLength, CountsAgreeingPlaces) {
  EXPECT_EQ(CommonPrefixLength(u"Abc", u"abd"), 2u);
  EXPECT_EQ(CommonPrefixLength(u"abc", u"ABC"), 4u);  // equal: terminator counts
  EXPECT_EQ(CommonPrefixLength(u"", u"a"), 0u);
  EXPECT_EQ(CommonPrefixLengthNarrow(u"\uFF80x", "\x80y"), 1u);
  EXPECT_EQ(CommonPrefixLengthNarrow(u"ZHONG", "zhong"), 6u);
  EXPECT_EQ(PinyinCommonLengthNarrow(u"l\u00FC", "lv"), 3u);
  EXPECT_EQ(PinyinCommonLengthNarrow(u"L\u00DCe", "lvan"), 2u);
  EXPECT_EQ(CommonPrefixLengthNarrow(u"l\u00FC", "lv"), 1u);
  EXPECT_EQ(PinyinWordCommonLengthNarrow(u"l\u00FC xx", "lv xx"), 2u);  // the space ends the count
  EXPECT_EQ(PinyinWordCommonLengthNarrow(u"ni", "ni"), 3u);
}

TEST(NarrowWordComparisons, WordPrefixAndPinyinWord) {
  EXPECT_EQ(WordPrefixCmpNarrow(u"abc", "ABC", 3), 0);
  EXPECT_EQ(WordPrefixCmpNarrow(u"ab", "ab ", 3), 1);   // a's end against b's space
  EXPECT_GT(WordPrefixCmpNarrow(u"abd", "abc", 3), 0);
  EXPECT_EQ(WordPrefixCmpNarrow(u"abz", "aby", 2), 0);  // only n places
  EXPECT_EQ(WordPrefixCmpNarrow(u"ab cd", "ab cx", 9), 0);  // a's space ends it
  EXPECT_LT(WordPrefixCmpNarrow(u"a", "ab", 3), 0);

  struct Case {
    const char16_t* a;
    const char* b;
    int sign;
  } const cases[] = {
      {u"zh", "zha   ", 0},     // a ends: no difference within a's word
      {u"zhu", "zha   ", 1},
      {u"zha", "zhu   ", -1},
      {u"L\u00FC", "lv    ", 0},
      {u"ai", "a     ", 1},     // a letter against a blank
      {u"a1", "ab    ", -1},    // no letter against a letter
      {u"a1", "a     ", 0},     // neither has a letter
      {u"ni hao", "ni    ", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.b);
    EXPECT_EQ(Sign(PinyinWordCmpNarrow(c.a, c.b, 6)), c.sign);
  }
  EXPECT_EQ(PinyinWordCmpNarrow(u"abcdefz", "abcdefa", 6), 0);
}

TEST(MatchCharsByPosition, AlternativesShareAPlace) {
  const char16_t* a = u"\u4E2D/\u4EF2\u6587";  // X/Y Z
  EXPECT_EQ(MatchCharsByPosition(a, u"\u4E2D\u6587"), 0);
  EXPECT_EQ(MatchCharsByPosition(a, u"\u4EF2\u6587"), 0);
  EXPECT_EQ(MatchCharsByPosition(a, u"\u6587"), 1);  // Z is not at place 0
  EXPECT_EQ(MatchCharsByPosition(a, u"ab"), 0);      // no CJK in b
  EXPECT_EQ(MatchCharsByPosition(u"\u4E2D", u"\u4E2D\u6587"), 1);
}

TEST(EntryTextsMatch, ComparesSyllablesIgnoringTones) {
  // Syllable s with tone t is U+E000 + 5 s + t.
  const std::u16string ni3 = {static_cast<char16_t>(0xE000 + 5 * 300 + 3)};
  const std::u16string ni2 = {static_cast<char16_t>(0xE000 + 5 * 300 + 2)};
  const std::u16string hao = {static_cast<char16_t>(0xE000 + 5 * 120 + 3)};
  EXPECT_EQ(EntryTextsMatch((ni3 + u" " + hao).c_str(), (ni2 + hao + u"!").c_str()), 1);
  EXPECT_EQ(EntryTextsMatch((ni3 + hao).c_str(), (ni3 + u"(" + hao + u")").c_str()), 0);
  EXPECT_EQ(EntryTextsMatch((ni3 + u"(" + hao + u")").c_str(), ni2.c_str()), 1);
  EXPECT_EQ(EntryTextsMatch(hao.c_str(), ni3.c_str()), 0);
  EXPECT_EQ(EntryTextsMatch(u"abc", u"xyz"), 1);
}

TEST(CompareNatural, DigitRunsCompareAsNumbers) {
  const CmpCase cases[] = {
      {u"a9", u"a10", -1},
      {u"a10", u"a9", 1},
      {u"a10", u"a10", 0},
      {u"a007", u"a7", 0},
      {u"a2b", u"a2c", -1},
      {u"a", u"a1", -1},
      {u"abc", u"abd", -1},
      {u"x123456789012345678901", u"x123456789012345678902", -1},
      {u"x99999999999999999999", u"x100000000000000000000", -1},
      {u"v2.10", u"v2.9", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowUtf16(c.a) + " / " + ShowUtf16(c.b));
    EXPECT_EQ(Sign(CompareNatural(c.a, c.b)), c.sign);
    EXPECT_EQ(Sign(CompareNatural(c.b, c.a)), -c.sign);
  }
}

TEST(TrimCompareText, CutsAtTheFirstStop) {
  const struct {
    const char16_t* text;
    const char16_t* expected;
  } cases[] = {
      {u"abc def.", u"abc"},            // second word ends in a full stop
      {u"etc. and more", u"etc. and more"},  // full stop before any blank
      {u"a b c.", u"a b"},
      {u"one, two", u"one"},
      {u"a=b", u"a"},
      {u"go \u53BB", u"go "},
      {u"word", u"word"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    std::u16string buf = c.text;
    TrimCompareText(buf.data());
    EXPECT_EQ(std::u16string(buf.c_str()), c.expected);
    EXPECT_EQ(TrimCompareLength(c.text), std::u16string(c.expected).size());
  }
}

TEST(CompareTableText, OrderOfEachSearchMode) {
  EXPECT_EQ(CompareTableText(0, u"B\u00E4r (noun)", u"bar"), 0);
  EXPECT_LT(CompareTableText(0, u"apple", u"B\u00E4r"), 0);
  EXPECT_EQ(CompareTableText(5, u"apple, fruit", u"Apple"), 0);
  EXPECT_EQ(CompareTableText(6, u"run (v.) fast.", u"RUN"), 0);
  EXPECT_LT(CompareTableText(7, u"Zoo", u"apple"), 0);  // plain unit order
  EXPECT_EQ(CompareTableText(3, u"a", u"b"), 0);

  // Rows sorted the way the data-file writer sorts them for modes 5 and 6.
  std::vector<std::u16string> rows = {u"zebra", u"Apple pie.", u"cat", u"b\u00E9ta", u"dog, canine", u"Eel"};
  std::sort(rows.begin(), rows.end(),
            [](const auto& x, const auto& y) { return CompareTableText(6, x.c_str(), y.c_str()) < 0; });
  const std::vector<std::u16string> expected = {u"Apple pie.", u"b\u00E9ta", u"cat", u"dog, canine", u"Eel",
                                                u"zebra"};
  EXPECT_EQ(rows, expected);
}

}  // namespace
