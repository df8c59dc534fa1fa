// Key pairs of typed queries: the divisions of pinyin, in their order, and
// the one pair of zhuyin.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/pinyin.h"
#include "engine/syllable_keys.h"
#include "tests/engine_text/text_fixture.h"

namespace {

using textfix::Code;
using textfix::Cover;
using Pair = std::pair<std::u16string, std::u16string>;
using Pairs = std::vector<Pair>;

constexpr WCHAR kEllipsis = 0x2026;

class SyllableKeys : public textfix::TextEngine {
 protected:
  void SetUp() override { Create(); }
  void TearDown() override {
    FreeSyllableKeyList(&list_);
    TextEngine::TearDown();
  }
  // The pairs of a division; *result gets what the division returned.
  Pairs Split(const std::u16string& text, uint32_t flags, int* result = nullptr, uint32_t cap = kMaxSyllableKeyPairs) {
    FreeSyllableKeyList(&list_);
    WCHAR low[kSyllableKeyUnits], high[kSyllableKeyUnits];
    const int r = SplitPinyinSyllablesCapped(engine_, text.c_str(), flags, &list_, low, high, 0, cap);
    if (result) *result = r;
    return Items();
  }
  Pairs Items() const {
    Pairs out;
    for (uint32_t i = 0; i < list_.count; ++i) out.emplace_back(list_.items[i].low, list_.items[i].high);
    return out;
  }
  SyllableKeyList list_{};
};

// Any tone of a syllable: [code 0, code 0 + 5).
Pair Any(const char* s) { return {{Code(s, 0)}, {static_cast<WCHAR>(Code(s, 0) + 5)}}; }
// A last syllable typed as `s` that covers every syllable beginning with it.
Pair Open(const char* s) { return {{Code(s, 0)}, {Cover(s)}}; }
Pair Join(std::initializer_list<Pair> parts) {
  Pair p;
  for (const Pair& q : parts) {
    p.first += q.first;
    p.second += q.second;
  }
  return p;
}
Pair Mark(WCHAR c) { return {{c}, {c}}; }

TEST_F(SyllableKeys, DivisionsComeInOrder) {
  struct Case {
    const char* what;
    std::u16string text;
    uint32_t flags;
    Pairs expected;
  } cases[] = {
      // The single x is refused.
      {"xian", u"xian", 0,
       {Open("xian"), Join({Any("xia"), Open("n")}), Join({Any("xi"), Open("an")}),
        Join({Any("xi"), Any("a"), Open("n")})}},
      {"xian first division", u"xian", 64, {Open("xian")}},
      {"xian whole syllables", u"xian", 4,
       {Any("xian"), Join({Any("xia"), Any("n")}), Join({Any("xi"), Any("an")}),
        Join({Any("xi"), Any("a"), Any("n")})}},
      {"fangan", u"fangan", 0,
       {Join({Any("fang"), Open("an")}), Join({Any("fang"), Any("a"), Open("n")}), Join({Any("fan"), Open("gan")}),
        Join({Any("fan"), Any("ga"), Open("n")})}},
      {"fangan first", u"fangan", 64, {Join({Any("fang"), Open("an")})}},
      {"fangan before a vowel", u"fangan", 96, {Join({Any("fan"), Open("gan")})}},
      // Typed in part: zhong up to zhou.
      // zh is a syllable row too.
      {"zho", u"zho", 0, {{{Code("zhong", 0)}, {Cover("zho")}}, Join({Any("zh"), Open("o")})}},
      {"zho whole", u"zho", 4, {Any("zhong"), Join({Any("zh"), Any("o")})}},
      {"zhongg", u"zhongg", 0, {Join({Any("zhong"), Open("g")})}},
      {"erhua", u"nar", 0, {Join({Any("na"), Open("r")})}},
      {"tone digit", u"ma3", 0, {{{Code("ma", 3)}, {static_cast<WCHAR>(Code("ma", 3) + 1)}}}},
      {"neutral digit", u"ma5hao", 0,
       {Join({{{Code("ma", 0)}, {static_cast<WCHAR>(Code("ma", 0) + 1)}}, Open("hao")}),
        Join({{{Code("ma", 0)}, {static_cast<WCHAR>(Code("ma", 0) + 1)}}, Any("ha"), Open("o")})}},
      {"last ma", u"ma", 0, {Open("ma")}},
      {"ma then more", u"ma hao", 0, {Join({Any("ma"), Open("hao")}), Join({Any("ma"), Any("ha"), Open("o")})}},
      {"kept blank", u"ma hao", 16,
       {Join({Any("ma"), Mark(u' '), Open("hao")}), Join({Any("ma"), Mark(u' '), Any("ha"), Open("o")})}},
      {"underscore", u"ma_", 0, {Join({Open("ma"), Mark(kEllipsis)})}},
      {"full stops", u"...ma", 0, {Join({Mark(kEllipsis), Open("ma")})}},
      {"letters only drops the rest", u"..._ma", 2, {Open("ma")}},
      {"two full stops stay", u"..ma", 0, {Join({Mark(u'.'), Mark(u'.'), Open("ma")})}},
      {"superscripts dropped", u"ma²", 0, {Open("ma")}},
      {"capital a refused inside", u"Axian", 64, {}},
      {"empty", u"", 0, {{u"", u""}}},
  };
  for (const Case& c : cases) {
    int result = -1;
    EXPECT_EQ(Split(c.text, c.flags, &result), c.expected) << c.what;
    EXPECT_EQ(result, c.expected.empty() ? 0 : 1) << c.what;
  }
}

TEST_F(SyllableKeys, InvalidInputGivesNoPair) {
  for (const char16_t* text : {u"gn", u"ngma", u"bm", u"iz", u"vvv"}) {
    int result = -1;
    EXPECT_TRUE(Split(text, 0, &result).empty()) << std::string(text, text + std::char_traits<char16_t>::length(text));
    EXPECT_EQ(result, 0);
  }
  // A long query whose every reading fails only at its end.
  std::u16string text;
  while (text.size() < 37) text += u"an";
  text.resize(37);
  int result = -1;
  EXPECT_TRUE(Split(text + u"vz", 0, &result).empty());
  EXPECT_EQ(result, 0);
}

TEST_F(SyllableKeys, KeysStopAtThirtyNinePlaces) {
  // Other characters are copied only below place 39.
  const std::u16string text = u"ma" + std::u16string(50, u'!');
  Pairs p = Split(text, 0);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].first.size(), 39u);
  EXPECT_EQ(p[0].first, std::u16string(1, Code("ma", 0)) + std::u16string(38, u'!'));
  // So are syllables: 45 a's make 39 codes and nothing more.
  p = Split(std::u16string(45, u'a'), 64);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].first, std::u16string(39, Code("a", 0)));
}

TEST_F(SyllableKeys, LongAmbiguousQueryIsCapped) {
  std::u16string text;
  while (text.size() < 39) text += u"an";
  text.resize(39);
  int result = 0;
  const Pairs capped = Split(text, 0, &result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(capped.size(), kMaxSyllableKeyPairs);
  // The first is the division that the first-division flag gives.
  const Pairs first = Split(text, 64);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(capped[0], first[0]);
}

TEST_F(SyllableKeys, CapKeepsTheFirstDivisionsInOrder) {
  const std::u16string text = u"ananananananan";
  const Pairs all = Split(text, 0, nullptr, 0);
  ASSERT_GT(all.size(), kMaxSyllableKeyPairs);
  const Pairs capped = Split(text, 0);
  ASSERT_EQ(capped.size(), kMaxSyllableKeyPairs);
  EXPECT_EQ(capped, Pairs(all.begin(), all.begin() + kMaxSyllableKeyPairs));
  // A cap of 3 stops after the third.
  EXPECT_EQ(Split(text, 0, nullptr, 3), Pairs(all.begin(), all.begin() + 3));
}

TEST_F(SyllableKeys, QueriesOfZhuyinAndPinyin) {
  EXPECT_EQ(ParseQuerySyllables(engine_, u"ㄇㄚˇ ㄏㄠ", 0, &list_), 1);
  ASSERT_EQ(list_.count, 1u);
  EXPECT_EQ(Items()[0], Join({{{Code("ma", 3)}, {static_cast<WCHAR>(Code("ma", 3) + 1)}}, Any("hao")}));
  FreeSyllableKeyList(&list_);
  EXPECT_EQ(ParseQuerySyllables(engine_, u"ㄇㄚ", 1, &list_), 1);  // definite: first tone
  EXPECT_EQ(Items()[0], Pair({Code("ma", 1)}, {static_cast<WCHAR>(Code("ma", 1) + 1)}));
  FreeSyllableKeyList(&list_);
  EXPECT_EQ(ParseQuerySyllables(engine_, u"xian", 0, &list_), 1);
  EXPECT_EQ(list_.count, 4u);
  EXPECT_EQ(ParseQuerySimple(engine_, u"nihao"), 1);
  EXPECT_EQ(ParseQuerySimple(engine_, u"ni hao"), 1);
  EXPECT_EQ(ParseQuerySimple(engine_, u"gn"), 0);
}

TEST_F(SyllableKeys, ListGrowsAndCopiesAtMostFortyUnits) {
  const std::u16string longKey(60, u'x');
  for (int i = 0; i < 7; ++i) ASSERT_EQ(AddSyllableKeyPair(&list_, longKey.c_str(), u"h"), 0);
  EXPECT_EQ(list_.count, 7u);
  EXPECT_EQ(list_.capacity, 10u);  // 2, then 6, then 10
  EXPECT_EQ(std::u16string(list_.items[6].low), std::u16string(39, u'x'));
  EXPECT_EQ(std::u16string(list_.items[6].high), u"h");
  EXPECT_EQ(AddSyllableKeyPair(nullptr, u"a", u"b"), 0);
}

TEST_F(SyllableKeys, ParsedQueries) {
  WCHAR low[16], high[16];
  ParsePinyinQuery(engine_, u"ni3hao", low, high, 16, 0);
  EXPECT_EQ(std::u16string(low), std::u16string({Code("ni", 3), Code("hao", 0)}));
  EXPECT_EQ(std::u16string(high), std::u16string({static_cast<WCHAR>(Code("ni", 3) + 1), Cover("hao")}));
  ParsePinyinQuery(engine_, u"mahao", low, high, 16, 1);  // definite: neutral
  EXPECT_EQ(std::u16string(low), std::u16string({Code("ma", 0), Code("hao", 0)}));
  EXPECT_EQ(high[0], Code("ma", 0) + 1);
  ParsePinyinQuery(engine_, u"Ni Hao_", low, high, 16, 8);
  EXPECT_EQ(std::u16string(low),
            std::u16string({kSyllableSeparator, Code("ni", 0), kSyllableSeparator, Code("hao", 0), kEllipsis}));
  ParsePinyinQuery(engine_, u"gn", low, nullptr, 16, 2);
  EXPECT_EQ(std::u16string(low), std::u16string({kSyllableNone, Code("n", 0)}));
  ParsePinyinQuery(engine_, u"mamamama", low, high, 3, 0);
  EXPECT_EQ(std::u16string(low).size(), 2u);
}

}  // namespace
