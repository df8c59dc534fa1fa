#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/builtin_tables.h"
#include "platform/device_paths.h"
#include "resources/resources.h"
#include "resources/syllables.h"

namespace {

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

std::string Trimmed(const char* p, size_t n) {
  std::string s(p, n);
  return s.substr(0, s.find(' '));
}

char16_t Le16(const unsigned char* p) { return static_cast<char16_t>(p[0] | p[1] << 8); }
char16_t Be16(const unsigned char* p) { return static_cast<char16_t>(p[0] << 8 | p[1]); }

TEST(Syllables, FixedRowsAndCounts) {
  EXPECT_EQ(kSyllableCount, 450);
  const std::pair<int, const char*> fixed[] = {{0, "a"}, {5, "b"}, {6, "ba"}, {261, "pa"}, {293, "r"}, {449, "zuo"}};
  for (const auto& [n, spelling] : fixed) {
    EXPECT_EQ(SyllableSpelling(n), spelling) << n;
    EXPECT_EQ(FindSyllable(spelling), n);
  }
  // The codes the engine names: U+E5B9 is r in the neutral tone, U+E8C9 the
  // last code (zuo, tone 4).
  EXPECT_EQ(SyllableSpelling((0xE5B9 - 0xE000) / 5), "r");
  EXPECT_EQ((0xE5B9 - 0xE000) % 5, 0);
  EXPECT_EQ((0xE8C9 - 0xE000) / 5, kSyllableCount - 1);
  EXPECT_EQ(SyllableSpelling(-1), "");
  EXPECT_EQ(SyllableSpelling(450), "");
  EXPECT_EQ(FindSyllable("lü"), -1);
  EXPECT_GE(FindSyllable("lv"), 0);

  int withZhuyin = 0;
  for (int n = 0; n < kSyllableCount; ++n) {
    if (!SyllableZhuyin(n).empty()) ++withZhuyin;
    if (n > 0) {
      EXPECT_LT(SyllableSpelling(n - 1), SyllableSpelling(n));
    }
  }
  EXPECT_EQ(withZhuyin, kZhuyinSyllableCount);
  EXPECT_EQ(U8(SyllableZhuyin(6)), "\u3105\u311A");  // ba
  EXPECT_EQ(U8(SyllableZhuyin(5)), "");              // b alone has none
}

TEST(Syllables, ResourceTablesMatchTheList) {
  auto spelling = PinyinSpellingTableBytes();
  auto zhuyin = ZhuyinSpellingTableBytes();
  auto index = ZhuyinIndexTableBytes();
  ASSERT_EQ(spelling.size(), 2700u);
  ASSERT_EQ(zhuyin.size(), 2700u);
  ASSERT_EQ(index.size(), 5064u);
  ASSERT_EQ(PinyinFinalsTableBytes().size(), 188u);

  EXPECT_EQ(std::string(reinterpret_cast<const char*>(spelling.data()), 6), "a     ");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(spelling.data()) + 449 * 6, 6), "zuo   ");
  for (int n = 0; n < kSyllableCount; ++n) {
    EXPECT_EQ(Trimmed(reinterpret_cast<const char*>(spelling.data()) + n * 6, 6), SyllableSpelling(n));
    std::u16string z;
    for (int k = 0; k < 3; ++k) z += Le16(zhuyin.data() + (n * 3 + k) * 2);
    std::u16string expected(SyllableZhuyin(n));
    expected.resize(3, u' ');
    EXPECT_EQ(U8(z), U8(expected)) << n;
  }

  // Index: sorted by zhuyin, each record naming the row with that zhuyin.
  std::u16string previous;
  for (int r = 0; r < kZhuyinSyllableCount; ++r) {
    std::u16string key, digits;
    for (int k = 0; k < 3; ++k) key += Le16(index.data() + (r * 6 + k) * 2);
    for (int k = 3; k < 6; ++k) digits += Le16(index.data() + (r * 6 + k) * 2);
    EXPECT_LT(U8(previous), U8(key));
    previous = key;
    std::string number;
    for (char16_t c : digits) number += static_cast<char>(c);
    int n = std::stoi(number);
    std::u16string expected(SyllableZhuyin(n));
    expected.resize(3, u' ');
    EXPECT_EQ(U8(key), U8(expected)) << r;
  }
  // "ㄅㄚ 6  " and "ㄆㄚ 261" as the engine's zhuyin search expects them.
  auto record = [&](int r) {
    std::u16string s;
    for (int k = 0; k < 6; ++k) s += Le16(index.data() + (r * 6 + k) * 2);
    return s;
  };
  bool sawBa = false, sawPa = false;
  for (int r = 0; r < kZhuyinSyllableCount; ++r) {
    sawBa |= record(r) == u"\u3105\u311A 6  ";
    sawPa |= record(r) == u"\u3106\u311A 261";
  }
  EXPECT_TRUE(sawBa);
  EXPECT_TRUE(sawPa);
}

TEST(Syllables, FinalsTableIsBigEndian) {
  auto finals = PinyinFinalsTableBytes();
  auto final = [&](int i) {
    std::u16string s;
    for (int k = 0; k < 3; ++k) s += Be16(finals.data() + (i * 3 + k) * 2);
    return s;
  };
  EXPECT_EQ(U8(final(0)), "ang");
  EXPECT_EQ(U8(final(1)), "Ang");
  EXPECT_EQ(U8(final(6)), "an ");
  EXPECT_EQ(U8(final(27)), "O  ");
  EXPECT_EQ(U8(final(30)), "u  ");
  EXPECT_EQ(static_cast<int>(Be16(finals.data() + 186)), 0);
}

TEST(Syllables, LoadersHandOutTheRegisteredResources) {
  RegisterSorviResources();
  struct Case {
    MemHandle* (*load)();
    std::span<const unsigned char> bytes;
  };
  const Case cases[] = {{LoadPinyinSpellingTable, PinyinSpellingTableBytes()},
                        {LoadZhuyinSpellingTable, ZhuyinSpellingTableBytes()},
                        {LoadZhuyinIndexTable, ZhuyinIndexTableBytes()},
                        {LoadPinyinFinalsTable, PinyinFinalsTableBytes()}};
  for (const Case& c : cases) {
    MemHandle* h = c.load();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetMemHandleSize(h), c.bytes.size());
    EXPECT_EQ(h->data, c.bytes.data());  // borrowed, not copied
    EXPECT_EQ(h->MemHandleBorrowed, 1);
    EXPECT_EQ(h->MemHandleFromStore, 1);
    FreeTableHandle(h);
  }
}

}  // namespace
