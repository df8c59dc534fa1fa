#include "engine/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/heap.h"

namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  uint32_t limit;  // 0: up to the terminator
  std::u16string expected;
  uint32_t consumed;
};

TEST(Utf8ToWide, DecodesAsTheTableSays) {
  const DecodeCase cases[] = {
      {"two-byte then ASCII", "\xC3\xA9\x41", 0, u"\u00E9A", 3},
      {"three-byte", "\xE4\xB8\xAD", 0, u"\u4E2D", 3},
      {"incomplete tail within the limit is not consumed", "\xE4\xB8", 2, u"", 0},
      {"incomplete tail before the terminator", "A\xE4\xB8", 0, u"A", 1},
      {"limit cuts a sequence", "AB\xE4\xB8\xAD", 4, u"AB", 2},
      {"stray continuation bytes are passed over, ASCII after them kept", "\x80\x31\x32\x41", 0, u"12A", 4},
      {"a run of stray bytes", "a\x80\xBF\x80z", 0, u"az", 5},
      {"lead bytes F8-FF start nothing", "\xFF\x41\xF8", 0, u"A", 3},
      {"4-byte sequence gives a surrogate pair", "\xF0\x9F\x98\x80", 0, u"\U0001F600", 4},
      {"old 3-byte-per-surrogate form still reads", "\xED\xA0\xBD\xED\xB8\x80", 0, u"\U0001F600", 6},
      {"incomplete 4-byte tail", "x\xF0\x9F\x98", 0, u"x", 1},
      {"4-byte beyond U+10FFFF", "\xF4\x90\x80\x80", 0, u"\uFFFD", 4},
      {"overlong 4-byte", "\xF0\x80\x80\x41", 0, u"\uFFFD", 4},
      {"limit stops at a 0 byte", std::string("ab\0cd", 5), 5, u"ab", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WCHAR dst[32];
    uint32_t limit = c.limit;
    uint32_t bytesOut = 99;
    const uint32_t n = Utf8ToWide(c.bytes.c_str(), dst, 32, &limit, &bytesOut);
    EXPECT_EQ(std::u16string(dst), c.expected);
    EXPECT_EQ(n, c.expected.size());
    EXPECT_EQ(limit, c.consumed);
    EXPECT_EQ(bytesOut, 2 * c.expected.size());
    EXPECT_EQ(Utf8CharCount(c.bytes.c_str(), c.limit), c.expected.size());
  }
}

TEST(Utf8ToWide, RespectsTheDestinationCapacityAndAlwaysTerminates) {
  struct Case {
    const char* bytes;
    uint32_t capacity;
    std::u16string expected;
    uint32_t consumed;
  } const cases[] = {
      {"abc", 3, u"ab", 2},
      {"abc", 1, u"", 0},
      {"a\xF0\x9F\x98\x80", 3, u"a", 1},  // the pair needs two units and the terminator
      {"a\xF0\x9F\x98\x80", 4, u"a\U0001F600", 5},
      {"\xE4\xB8\xAD\xE6\x96\x87", 2, u"\u4E2D", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::vector<WCHAR> dst(c.capacity + 4, 0xBEEF);
    uint32_t limit = 0;
    Utf8ToWide(c.bytes, dst.data(), c.capacity, &limit, nullptr);
    EXPECT_EQ(std::u16string(dst.data()), c.expected);
    EXPECT_EQ(limit, c.consumed);
    for (size_t i = c.capacity; i < dst.size(); ++i) EXPECT_EQ(dst[i], 0xBEEF) << "wrote past capacity at " << i;
  }
  WCHAR untouched = 0xBEEF;
  uint32_t limit = 0;
  EXPECT_EQ(Utf8ToWide("abc", &untouched, 0, &limit, nullptr), 0u);
  EXPECT_EQ(untouched, 0xBEEF);
  EXPECT_EQ(limit, 0u);
}

TEST(Utf8ToWide, BlockReaderCarriesTheIncompleteTailOver) {
  const std::string text = "caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 end";
  WCHAR whole[64];
  Utf8ToWide(text.c_str(), whole, 64, nullptr, nullptr);
  for (size_t blockSize = 1; blockSize <= 5; ++blockSize) {
    SCOPED_TRACE(blockSize);
    std::u16string out;
    std::string pending;
    for (size_t at = 0; at < text.size(); at += blockSize) {
      pending += text.substr(at, blockSize);
      WCHAR dst[64];
      uint32_t limit = static_cast<uint32_t>(pending.size());
      Utf8ToWide(pending.c_str(), dst, 64, &limit, nullptr);
      out += dst;
      pending.erase(0, limit);
    }
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(out, std::u16string(whole));
  }
}

TEST(CountUtf8TrailBytes, LooksAtNoMoreThanFourBytes) {
  EXPECT_EQ(CountUtf8TrailBytes("\x80\x80\x80\x80\x80", 5), 4u);
  EXPECT_EQ(CountUtf8TrailBytes("\x80\xBF\x41", 3), 2u);
  EXPECT_EQ(CountUtf8TrailBytes("\x80\x80", 1), 1u);
  EXPECT_EQ(CountUtf8TrailBytes("\xC3\x80", 2), 0u);
  EXPECT_EQ(Utf8CharCount(nullptr, 0), 0u);
}

struct EncodeCase {
  const char* name;
  std::u16string text;
  uint32_t maxUnits;
  bool quote;
  std::string expected;
};

TEST(WideToUtf8, EncodesAsTheTableSays) {
  const EncodeCase cases[] = {
      {"quote doubling", u"it's", 0, true, "it''s"},
      {"no quote doubling", u"it's", 0, false, "it's"},
      {"two and three bytes", u"\u00E9\u4E2D", 0, false, "\xC3\xA9\xE4\xB8\xAD"},
      {"edge of two bytes", u"\u007F\u0080\u07FF\u0800", 0, false, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
      {"pair as four bytes", u"a\U0001F600b", 0, false, "a\xF0\x9F\x98\x80"
                                                         "b"},
      {"lone high surrogate", u"\xD83D" u"a", 0, false, "\xED\xA0\xBD" "a"},
      {"lone low surrogate", u"\xDE00", 0, false, "\xED\xB8\x80"},
      {"maxUnits", u"abcdef", 3, false, "abc"},
      {"maxUnits cutting a pair", u"\U0001F600", 1, false, "\xED\xA0\xBD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char dst[32];
    uint32_t length = 99;
    WideToUtf8(c.text.c_str(), dst, sizeof dst, c.maxUnits, &length, c.quote);
    EXPECT_EQ(std::string(dst), c.expected);
    EXPECT_EQ(length, c.expected.size());
    EXPECT_EQ(Utf8Length(c.text.c_str(), c.maxUnits, c.quote), c.expected.size());
  }
  EXPECT_EQ(Utf8Length(nullptr, 0, false), 0u);
  EXPECT_EQ(Utf8Length(u"", 0, false), 0u);
}

TEST(WideToUtf8, NeverSplitsACharacterAndAlwaysTerminates) {
  struct Case {
    std::u16string text;
    bool quote;
    uint32_t capacity;
    std::string expected;
    uint32_t consumed;
  } const cases[] = {
      {u"\u4E2D\u6587", false, 5, "\xE4\xB8\xAD", 1},
      {u"\u4E2D\u6587", false, 3, "", 0},
      {u"a'", true, 3, "a", 1},  // the doubled quote goes whole or not at all
      {u"a\U0001F600", false, 5, "a", 1},
      {u"a\U0001F600", false, 6, "a\xF0\x9F\x98\x80", 3},
  };
  for (const auto& c : cases) {
    std::vector<char> dst(c.capacity + 4, '#');
    uint32_t length = 0;
    EXPECT_EQ(WideToUtf8(c.text.c_str(), dst.data(), c.capacity, 0, &length, c.quote), c.consumed);
    EXPECT_EQ(std::string(dst.data()), c.expected);
    EXPECT_EQ(length, c.expected.size());
    for (size_t i = c.capacity; i < dst.size(); ++i) EXPECT_EQ(dst[i], '#') << "wrote past capacity at " << i;
  }
}

TEST(Utf8, RoundTripsTextWithSupplementaryCharacters) {
  const std::u16string text = u"Zürich \u4E2D\u6587 \U0001F600\U00020000 \uFFFD end";
  char* utf8 = Utf8DupFromWide(text.c_str(), 0, false);
  ASSERT_NE(utf8, nullptr);
  WCHAR* back = WideDupFromUtf8(utf8, 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::u16string(back), text);
  LocalFree(back);
  LocalFree(utf8);
  EXPECT_EQ(Utf8DupFromWide(nullptr, 0, false), nullptr);
  EXPECT_EQ(WideDupFromUtf8(nullptr, 0), nullptr);
}

}  // namespace
