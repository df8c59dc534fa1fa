#include "engine/latin_fold.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/utf16_print.h"

namespace {

TEST(FoldLatinLetter, BaseLettersAndLigatures) {
  const struct {
    char16_t unit;
    char16_t base;
    char16_t second;  // 0: none
  } cases[] = {
      {0x01DA, u'u', 0},     // ǚ
      {0x01CD, u'A', 0},     // Ǎ
      {0x01DC, u'u', 0},     // ǜ, the last folded unit
      {0x00C0, u'A', 0},     // À, the first
      {0x00D7, 0x00D7, 0},   // × stays
      {0x00F7, 0x00F7, 0},   // ÷ stays
      {0x00DF, u's', u's'},  // ß
      {0x00C6, u'A', u'E'},  // Æ
      {0x00E6, u'a', u'e'},  // æ
      {0x0153, u'o', u'e'},  // œ
      {0x0132, u'I', u'J'},  // Ĳ
      {0x00FE, u't', u'h'},  // þ
      {0x00D0, u'D', 0},     // Ð
      {0x0111, u'd', 0},     // đ
      {0x00F8, u'o', 0},     // ø
      {0x0131, u'i', 0},     // ı
      {0x0141, u'L', 0},     // Ł
      {0x0138, u'q', 0},     // ĸ
      {0x0149, u'n', 0},     // ŉ
      {0x014A, u'N', 0},     // Ŋ
      {0x017F, u's', 0},     // ſ
      {0x0174, u'W', 0},     // Ŵ
      {0x0180, 0x0180, 0},   // U+0180-U+01CC unchanged
      {0x01CC, 0x01CC, 0},
      {0x01DD, 0x01DD, 0},   // past the range
      {u'A', u'A', 0},
      {0x4E2D, 0x4E2D, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.unit));
    WCHAR second = 0x1234;  // left as it was when there is no second letter
    EXPECT_EQ(FoldLatinLetter(c.unit, &second), c.base);
    EXPECT_EQ(second, c.second ? c.second : 0x1234);
  }
  EXPECT_EQ(FoldLatinLetter(0x00E6, nullptr), u'a');
}

TEST(FoldTextN, FoldsWithinTheSize) {
  WCHAR dst[16];
  FoldTextN(dst, u"\u00C6ble \u00E0 1", 16);
  EXPECT_EQ(std::u16string(dst), u"AEble a 1");
  FoldTextN(dst, u"\u00C6x", 2);  // room for one unit: the ligature's second letter does not fit
  EXPECT_EQ(std::u16string(dst), u"A");
  dst[0] = u'#';
  FoldTextN(dst, u"abc", 0);
  EXPECT_EQ(dst[0], u'#');
}

TEST(FoldToKey, MakesTheLetterKey) {
  const struct {
    std::u16string text;
    bool keepSpaces;
    uint32_t size;
    std::u16string expected;
  } cases[] = {
      {u"B\u00E4r (noun)", false, 40, u"bar"},
      {u"B\u00E4r (noun)", true, 40, u"bar "},
      {u"Encyclop\u00E6dia", false, 40, u"encyclopaedia"},
      {u"STRA\u00DFE", false, 40, u"strasse"},
      {u"ab (unclosed cd", false, 40, u"ab"},
      {u"to (be) or not", true, 40, u"to  or not"},
      {u"a-1 b", false, 40, u"ab"},
      {u"a\uEA10b", false, 40, u"a"},   // markup after the first unit ends the key
      {u"\uEA10ab", false, 40, u"ab"},  // as the first unit it is only dropped
      {u"abcdef", false, 3, u"ab"},
      {u"\u01DAn", false, 40, u"un"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowUtf16(c.text));
    std::u16string buf = c.text;
    buf.resize(std::max<size_t>(buf.size() + 1, c.size), 0);
    FoldToKey(buf.data(), c.size, c.keepSpaces);
    EXPECT_EQ(std::u16string(buf.c_str()), c.expected);
    if (c.size == 40) {
      EXPECT_EQ(FoldedKeyLength(c.text.c_str(), c.keepSpaces), c.expected.size());
    }
  }
}

TEST(FoldToKey, KeyIsAtMost256Units) {
  std::u16string text(300, u'a');
  std::vector<WCHAR> key(400, 0xBEEF);
  EXPECT_EQ(FoldToKeyCopy(key.data(), 400, text.c_str(), false), kFoldKeyMaxUnits);
  EXPECT_EQ(key[256], 0);
  EXPECT_EQ(key[257], 0xBEEF);
  EXPECT_EQ(FoldedKeyLength(text.c_str(), false), kFoldKeyMaxUnits);
  // A ligature at the limit gives only the letters that fit.
  std::u16string lig = std::u16string(255, u'a') + u"\u00E6";
  EXPECT_EQ(FoldToKeyCopy(key.data(), 400, lig.c_str(), false), kFoldKeyMaxUnits);
  EXPECT_EQ(key[255], u'a');
}

TEST(FindFolded, FindsAtWordStartsIgnoringAccentsAndCase) {
  const char16_t* text = u"Un CAF\u00C9 noir";
  uint32_t length = 0;
  const WCHAR* at = FindFolded(text, u"cafe", &length, false);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(at - text, 3);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(FindFolded(text, u"afe", &length, false), nullptr);
  at = FindFolded(text, u"NOIR", &length, false);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(at - text, 8);

  const struct {
    const char16_t* text;
    const char16_t* pattern;
    bool anywhere;
    int at;  // -1: no match
    uint32_t length;
  } cases[] = {
      {u"CAF\u00C9S", u"cafe", false, -1, 0},      // the word goes on
      {u"CAF\u00C9S", u"cafe", true, 0, 4},
      {u"caf\u00E9", u"caf", false, -1, 0},        // an accented letter continues the word too
      {u"caf\u00E9", u"caf", true, 0, 3},
      {u"Encyclop\u00E6dia", u"encyclopaedia", false, 0, 12},
      {u"aerial", u"\u00E6rial", false, 0, 6},      // a pattern ligature against two text letters
      {u"\u00E6", u"a", false, -1, 0},             // half a ligature is no word end
      {u"\u00E6", u"a", true, 0, 1},
      {u"cab cafe", u"cafe", false, 4, 4},
      {u"well-being", u"wellbeing", false, 0, 10},  // non-letters passed over on both sides
      {u"Un caf\u00E9", u"ca-fe", false, 3, 4},
      {u"abc", u"", false, -1, 0},                 // nothing to find
      {u"abc", u"--", false, -1, 0},
      {u"", u"a", false, -1, 0},
      {u"...", u"a", true, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowUtf16(c.text) + " / " + ShowUtf16(c.pattern));
    uint32_t len = 99;
    const WCHAR* found = FindFolded(c.text, c.pattern, &len, c.anywhere);
    if (c.at < 0) {
      EXPECT_EQ(found, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found - c.text, c.at);
      EXPECT_EQ(len, c.length);
    }
  }
}


// The unit-by-unit finder answers FindFolded's question (anywhere) for
// every text and pattern, and knows the answer at the unit that decides it.
TEST(FoldedMatch, AnswersAsFindFoldedAnywhere) {
  const struct {
    const char16_t* text;
    const char16_t* pattern;
    bool found;
  } cases[] = {
      {u"a variant of x", u"variant of", true},
      {u"variant-of", u"variant of", true},          // non-letters between the words
      {u"variantof", u"variant of", true},
      {u"vari\u00E0nt \u4E2D of", u"variant of", true},  // an accent, a character between
      {u"a covariant of", u"variant of", false},      // inside a word
      {u"VARIANT OFTEN", u"variant of", true},        // the last word may go on
      {u"variant, not of", u"variant of", false},
      {u"the the one", u"the one", true},             // a failed start, then a match
      {u"thethe one", u"the one", false},
      {u"Encyclop\u00E6dia", u"encyclopaedia", true},  // a ligature's two letters
      {u"\u00E6rial", u"aerial", true},
      {u"p\u00E6", u"pa", true},                       // the pattern ends inside a ligature
      {u"\u00E6ther", u"ether", false},                // no start inside a ligature
      {u"a\uEA02b c", u"ab", true},                    // markup is no letter
      {u"ab\u00D7cd", u"abcd", true},                  // nor is the multiplication sign
      {u"x\u01D6y", u"xuy", true},                     // pinyin letters with marks
      {u"x\u0180y", u"xy", true},                      // a unit past the folded ranges
      {u"", u"a", false},
      {u"abc", u"", false},
      {u"abc", u"--", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowUtf16(c.text) + " / " + ShowUtf16(c.pattern));
    const bool expected = FindFolded(c.text, c.pattern, nullptr, true) != nullptr;
    EXPECT_EQ(expected, c.found);
    FoldedPattern pattern;
    if (!InitFoldedPattern(&pattern, c.pattern)) {
      EXPECT_FALSE(c.found);  // a pattern without letters finds nothing
      continue;
    }
    FoldedMatch match;
    StartFoldedMatch(&match);
    // The unit after which FindFolded's match is complete: the finder says
    // so there and not before.
    const std::u16string text = c.text;
    bool found = false;
    for (size_t i = 0; i < text.size() && !found; ++i) {
      found = FeedFoldedMatch(pattern, &match, text[i]);
      if (found) {
        uint32_t length = 0;
        const WCHAR* at = FindFolded(c.text, c.pattern, &length, true);
        ASSERT_NE(at, nullptr);
        EXPECT_LE(static_cast<size_t>(at - c.text) + length, i + 1);
        EXPECT_EQ(FindFolded(text.substr(0, i).c_str(), c.pattern, nullptr, true), nullptr);
      }
    }
    EXPECT_EQ(found, c.found);
  }
  // Up to 64 letters can be matched together; more are FindFolded's alone.
  FoldedPattern pattern;
  EXPECT_TRUE(InitFoldedPattern(&pattern, std::u16string(64, u'a').c_str()));
  EXPECT_FALSE(InitFoldedPattern(&pattern, std::u16string(65, u'a').c_str()));
  EXPECT_FALSE(InitFoldedPattern(&pattern, nullptr));
}

}  // namespace
