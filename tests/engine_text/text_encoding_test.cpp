// Byte encodings of UTF-16 text: UTF-8 and UTF-16 built in, GB-2312 and
// Big5 through the code pages of a data file written by tools/databuild.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/code_pages.h"
#include "engine/table_cursor.h"
#include "engine/text_encoding.h"
#include "platform/heap.h"
#include "tests/engine_text/text_fixture.h"

namespace {

using Bytes = std::string;

class Encodings : public textfix::TextEngine {
 protected:
  void WithCodePages() {
    files_.Add(textfix::CodePageFile({&textfix::CodePage(databuild::kCodePageGb2312),
                                      &textfix::CodePage(databuild::kCodePageBig5)}));
    Create();
  }
  Bytes Encode(uint32_t e, const std::u16string& text, int* result = nullptr) {
    char out[256];
    uint32_t written = 0;
    const int r = EncodeWideText(engine_, e, text.c_str(), out, sizeof out, 2 * static_cast<uint32_t>(text.size()),
                                 &written);
    if (result) *result = r;
    EXPECT_EQ(r == 0 ? GetEncodedTextSize(engine_, e, text.c_str(), 0) : written, written) << "size of the same text";
    return Bytes(out, written);
  }
  // Decodes; *used gets the bytes used.
  std::u16string Decode(uint32_t e, const Bytes& bytes, uint32_t* used = nullptr, int* result = nullptr) {
    WCHAR out[256];
    uint32_t length = static_cast<uint32_t>(bytes.size());
    uint32_t written = 1;
    const int r = DecodeTextToWide(engine_, e, bytes.data(), out, 256, &length, &written);
    if (result) *result = r;
    if (used) *used = length;
    EXPECT_EQ(written % 2, 0u);
    if (r != 0) return u"<none>";
    uint32_t sizeLength = static_cast<uint32_t>(bytes.size());
    EXPECT_EQ(GetDecodedTextSize(engine_, e, bytes.data(), &sizeLength), written);
    EXPECT_EQ(sizeLength, length);
    return std::u16string(out, written / 2);
  }
};

TEST_F(Encodings, CodePagesOfTheDataFiles) {
  WithCodePages();
  EXPECT_EQ(FindCodePageIndex(engine_, 1), 0);
  EXPECT_EQ(FindCodePageIndex(engine_, 2), 1);
  EXPECT_EQ(FindCodePageIndex(engine_, 4), kNoCodePage);
  ASSERT_NE(FindCodePage(1, engine_), nullptr);
  EXPECT_NE(FindCodePage(1, engine_)->encoding, nullptr);
  EXPECT_NE(FindCodePage(1, engine_)->decoding, nullptr);
  EXPECT_EQ(QueryEngineCapability(engine_, 2, 2), 1);
  EXPECT_EQ(QueryEngineCapability(engine_, 2, 3), 0);
}

TEST_F(Encodings, FirstTableOfEachDirectionWins) {
  // File 1: a short GB-2312 decoding table and tables of unknown ids.
  databuild::CodePageData small = textfix::CodePage(databuild::kCodePageGb2312);
  small.toUnicode.resize(94);
  databuild::CodePageData other = small;
  other.id = 7;
  databuild::DataFileSpec first = textfix::CodePageFile({&other});
  databuild::TableSpec encode, decode;
  databuild::MakeCodePageTables(small, &encode, &decode);
  first.tables.push_back(decode);
  first.tables.push_back(decode);
  first.tables.back().info[0] = 0;  // (0, 1): no id
  files_.Add(first);
  // File 2: both code pages whole.
  files_.Add(textfix::CodePageFile({&textfix::CodePage(databuild::kCodePageGb2312),
                                    &textfix::CodePage(databuild::kCodePageBig5)}));
  Create();
  ASSERT_EQ(engine_->codePages->count, 2u);
  EXPECT_EQ(FindCodePageIndex(engine_, 1), 0);
  EXPECT_EQ(GetTableEntryCount(FindCodePage(1, engine_)->decoding), 94u);  // from the first file
  EXPECT_NE(FindCodePage(1, engine_)->encoding, nullptr);                  // from the second
  EXPECT_EQ(Decode(1, "\xD6\xD0x"), u"\u00D6\u00D0x");  // past the short table
  EXPECT_EQ(Encode(1, u"中"), "\xD6\xD0");
  EXPECT_EQ(Decode(2, "\xA4\xA4"), u"中");
}

TEST_F(Encodings, MixedTextBothWays) {
  WithCodePages();
  struct Case {
    uint32_t encoding;
    std::u16string text;
    Bytes bytes;
  } cases[] = {
      {1, u"中文 abc", "\xD6\xD0\xCE\xC4 abc"},
      {2, u"中文 abc", "\xA4\xA4\xA4\xE5 abc"},
      {2, u"一乙", "\xA4\x40\xA4\x41"},  // trails 0x40-0x7E
      {2, u"們", "\xAD\xCC"},
      {1, u"汉字", "\xBA\xBA\xD7\xD6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(c.encoding, c.text), c.bytes) << c.encoding;
    uint32_t used = 0;
    EXPECT_EQ(Decode(c.encoding, c.bytes, &used), c.text) << c.encoding;
    EXPECT_EQ(used, c.bytes.size());
  }
}

TEST_F(Encodings, WhatTheCodePagesCannotHold) {
  WithCodePages();
  struct Case {
    uint32_t encoding;
    std::u16string text;
    Bytes bytes;
  } cases[] = {
      {1, u"ni3hǎo", "ni3hao3"},               // tone marks become digits
      {1, u"Zhōngguó", "Zhong1guo2"},
      {2, u"lu:4 lǜ nü", "lv4 lv4 nv"},        // u: and ü become v
      {1, u"a∼b", "a~b"},
      {1, u"㐀中€", "\xD6\xD0"},                // outside U+4E00-U+9FAF, or not ASCII: dropped
      {1, u"們", ""},                            // lacking in the code page
  };
  for (const Case& c : cases) EXPECT_EQ(Encode(c.encoding, c.text), c.bytes) << c.encoding;
}

TEST_F(Encodings, InvalidAndCutBytes) {
  WithCodePages();
  struct Case {
    uint32_t encoding;
    Bytes bytes;
    std::u16string text;
    uint32_t used;
  } cases[] = {
      {1, "\xD6\xD0\xD6", u"中", 2},                 // a cut lead byte is left unused
      {2, "\xA4\xA4\xA4", u"中", 2},
      {1, "\xD6\xFF", u"\u00D6\u00FF", 2},           // trails stop at 0xFE
      {1, "\xD6\x41", u"\u00D6A", 2},
      {1, "\xF8\x41", u"\u00F8A", 2},                // no lead past 0xF7
      {2, "\xA4\x7F", u"\u00A4\u007F", 2},
      {2, "\xA4\xA0", u"\u00A4\u00A0", 2},
      {1, Bytes("a\0b", 3), u"a", 1},                // a 0 byte ends the input
      {1, Bytes("\xD6\0", 2), u"", 0},
  };
  for (const Case& c : cases) {
    uint32_t used = 99;
    EXPECT_EQ(Decode(c.encoding, c.bytes, &used), c.text) << c.encoding;
    EXPECT_EQ(used, c.used) << c.encoding;
  }
}

TEST_F(Encodings, GridIndexesStayInsideTheTable) {
  // A GB-2312 decoding table of two rows only.
  databuild::CodePageData small = textfix::CodePage(databuild::kCodePageGb2312);
  small.toUnicode.resize(2 * 94);
  files_.Add(textfix::CodePageFile({&small}));
  Create();
  uint32_t used = 0;
  EXPECT_EQ(Decode(1, "\xA1\xA2\xB0\xA1x", &used), u"、\u00B0\u00A1x");
  EXPECT_EQ(used, 5u);
}

TEST_F(Encodings, Utf16AndUtf8) {
  Create();
  EXPECT_EQ(Encode(4, u"a中"), Bytes("a\0\x2D\x4E", 4));
  EXPECT_EQ(Encode(5, u"a中"), Bytes("\0a\x4E\x2D", 4));
  EXPECT_EQ(Encode(0, u"a中"), "a\xE4\xB8\xAD");
  EXPECT_EQ(Encode(3, u"ǎ"), "\xC7\x8E");
  // A 0 inside the given length ends the text; only written bytes count.
  char out[16];
  uint32_t written = 0;
  EXPECT_EQ(EncodeWideText(engine_, 4, u"ab\0cd", out, sizeof out, 10, &written), 0);
  EXPECT_EQ(Bytes(out, written + 2), Bytes("a\0b\0\0\0", 6));
  EXPECT_EQ(GetEncodedTextSize(engine_, 4, u"abc", 0), 6u);
  EXPECT_EQ(GetEncodedTextSize(engine_, 5, u"abc", 2), 4u);
  EXPECT_EQ(Decode(4, Bytes("a\0\x2D\x4E", 4)), u"a中");
  EXPECT_EQ(Decode(5, Bytes("\0a\x4E\x2D", 4)), u"a中");
  EXPECT_EQ(Decode(0, "a\xE4\xB8\xAD"), u"a中");
  // An odd byte count leaves the half unit unused.
  uint32_t used = 0;
  EXPECT_EQ(Decode(4, Bytes("a\0b\0c", 5), &used), u"ab");
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(Decode(0, "a\xE4\xB8", &used), u"a");
  EXPECT_EQ(used, 1u);
}

TEST_F(Encodings, OutputsKeepToTheirCapacity) {
  WithCodePages();
  struct Case {
    uint32_t encoding;
    std::u16string text;
    uint32_t capacity;
    Bytes bytes;
  } cases[] = {
      {0, u"中文", 4, "\xE4\xB8\xAD"},
      {0, u"中文", 3, ""},
      {1, u"中文", 4, "\xD6\xD0"},
      {1, u"中文", 5, "\xD6\xD0\xCE\xC4"},
      {1, u"ǎb", 2, ""},    // a tone letter needs two bytes
      {2, u"中文", 2, ""},
      {4, u"abc", 5, Bytes("a\0", 2)},
      {5, u"abc", 8, Bytes("\0a\0b\0c", 6)},
      {4, u"abc", 1, ""},
  };
  for (const Case& c : cases) {
    char out[16];
    std::fill(std::begin(out), std::end(out), '#');
    uint32_t written = 99;
    EXPECT_EQ(EncodeWideText(engine_, c.encoding, c.text.c_str(), out, c.capacity,
                             2 * static_cast<uint32_t>(c.text.size()), &written),
              0);
    EXPECT_EQ(Bytes(out, written), c.bytes) << c.encoding << " capacity " << c.capacity;
    for (uint32_t i = c.capacity; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << c.encoding << " at " << i;
    const uint32_t zero = (c.encoding >= 4 ? 2 : 1);
    for (uint32_t k = 0; c.capacity >= zero && k < zero; ++k) {
      EXPECT_EQ(out[written + k], 0) << c.encoding;
    }
  }
  struct DecodeCase {
    uint32_t encoding;
    Bytes bytes;
    uint32_t capacity;
    std::u16string text;
    uint32_t used;
  } decodes[] = {
      {1, "\xD6\xD0\xCE\xC4", 2, u"中", 2},  // what does not fit is left for the next call
      {2, "ab", 1, u"", 0},
      {0, "a\xE4\xB8\xAD", 2, u"a", 1},
      {4, Bytes("a\0b\0c\0", 6), 3, u"ab", 4},
      {5, Bytes("\0a\0b", 4), 0, u"", 0},
  };
  for (const DecodeCase& c : decodes) {
    WCHAR out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    uint32_t length = static_cast<uint32_t>(c.bytes.size());
    uint32_t written = 99;
    EXPECT_EQ(DecodeTextToWide(engine_, c.encoding, c.bytes.data(), out, c.capacity, &length, &written), 0);
    EXPECT_EQ(std::u16string(out, written / 2), c.text) << c.encoding;
    EXPECT_EQ(length, c.used) << c.encoding;
    for (uint32_t i = c.capacity; i < 8; ++i) ASSERT_EQ(out[i], u'#') << c.encoding << " at " << i;
    if (c.capacity > 0) {
      EXPECT_EQ(out[written / 2], 0);
    }
  }
}

TEST_F(Encodings, WithoutCodePages) {
  Create();
  char out[8] = "#######";
  uint32_t written = 5;
  for (uint32_t e : {1u, 2u, 6u}) {
    EXPECT_EQ(EncodeWideText(engine_, e, u"中", out, 8, 2, &written), 1) << e;
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetEncodedTextSize(engine_, e, u"中", 0), 1u);
    WCHAR wide[4];
    uint32_t length = 2;
    EXPECT_EQ(DecodeTextToWide(engine_, e, "\xD6\xD0", wide, 4, &length, &written), 1) << e;
    length = 2;
    EXPECT_EQ(GetDecodedTextSize(engine_, e, "\xD6\xD0", &length), 0u);
  }
  EXPECT_EQ(GetEncodedTextSize(engine_, 0, nullptr, 0), 0u);
}

TEST(PinyinToneMarks, ConvertedToDigits) {
  struct Case {
    std::u16string text;
    std::u16string expected;
  } cases[] = {
      {u"Zhōngguó", u"Zhong1guo2"},
      {u"hǎo", u"hao3"},
      {u"lu:4", u"lv4"},
      {u"nü3", u"nü3"},            // a plain ü stays
      {u"ni3 hao3", u"ni3 hao3"},  // nothing to change
      {u"kěnéng", u"ke3neng2"},    // the n begins the next syllable
      {u"Hǎinán", u"Hai3nan2"},
      {u"jīnnián", u"jin1nian2"},
      {u"fāng'àn", u"fang1'an4"},
      {u"èr", u"er4"},
      {u"ńg", u"ng2"},
      {u"nǚ'ér", u"nv3'er2"},
      {u"Xī'ān", u"Xi1'an1"},
      {u"a∼b～c", u"a~b~c"},
      {u"中文\uE000\uEA91x", u"中文x"},  // U+9FB0 and up dropped
      {u"ma\u0323\u0320", u"ma"},
  };
  for (const Case& c : cases) {
    WCHAR out[64];
    ASSERT_EQ(ConvertPinyinToneMarks(c.text.c_str(), out), out);
    EXPECT_EQ(std::u16string(out), c.expected);
  }
  WCHAR out[4];
  EXPECT_EQ(ConvertPinyinToneMarks(u"", out), nullptr);
  EXPECT_EQ(ConvertPinyinToneMarks(nullptr, out), nullptr);
}

TEST(PinyinToneMarks, AllocatedOutputHoldsAnAllMarkedText) {
  // Every letter marked doubles the text: the block holds 2n + 1 units.
  const std::u16string text = u"āéǐòǖĀÉǑńǹ";
  WCHAR* out = ConvertPinyinToneMarks(text.c_str(), nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::u16string(out), u"a1e2i3o4v1A1E2O3n2n4");
  EXPECT_GE(LocalSize(out), (2 * text.size() + 1) * sizeof(WCHAR));
  LocalFree(out);
}

}  // namespace
