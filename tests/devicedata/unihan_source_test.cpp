// Reading Unihan: the property values the character reference parses
// (tone-marked readings, radical-stroke values, variants) and the source
// files, including the committed excerpt.
#include "tools/devicedata/unihan_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/syllables.h"

namespace devicedata {
namespace {

const std::string kExcerpts = SORVI_DEVICEDATA_EXCERPTS;

char16_t Code(const char* spelling, int tone) {
  const int s = FindSyllable(spelling);
  EXPECT_GE(s, 0) << spelling;
  return static_cast<char16_t>(0xE000 + 5 * s + tone);
}

TEST(UnihanValues, ToneMarkedSyllables) {
  struct Case {
    const char* text;
    const char* spelling;  // null: no syllable
    int tone;
  } cases[] = {
      {"hǎo", "hao", 3},
      {"zhōng", "zhong", 1},
      {"qián", "qian", 2},
      {"lüè", "lve", 4},       // ü with a tone mark on the next vowel
      {"nǚ", "nv", 3},         // the mark on ü itself
      {"shui", "shui", 0},     // no mark: the neutral tone
      {"m\u0304", "m", 1},     // a combining macron
      {"ê\u0304", "eh", 1},    // ê alone is the syllable eh
      {"ế", "eh", 2},
      {"ń", "n", 2},
      {"ǹg", "ng", 4},
      {"Hǎo", "hao", 3},       // a capital first letter
      {"hǎǒ", nullptr, 0},     // two tones
      {"xyz", nullptr, 0},     // no syllable of the table
      {"hao3", nullptr, 0},    // tone numbers are not this notation
      {"", nullptr, 0},
  };
  for (const Case& c : cases) {
    const char16_t want = c.spelling ? Code(c.spelling, c.tone) : 0;
    EXPECT_EQ(ToneMarkedSyllableCode(c.text), want) << c.text;
  }
}

TEST(UnihanValues, ReadingListsOfEachProperty) {
  struct Case {
    const char* value;
    std::vector<std::string> readings;
  } cases[] = {
      {"qián gān", {"qián", "gān"}},                                  // kMandarin
      {"hǎo(6060) hāo(142) hào(115)", {"hǎo", "hāo", "hào"}},         // kHanyuPinlu
      {"20811.060:háng,xìng,xíng", {"háng", "xìng", "xíng"}},         // kHanyuPinyin
      {"10019.020:tiàn 10020.040:tiàn,tiǎn", {"tiàn", "tiǎn"}},       // several groups, repeats once
      {"0352.091:gān 0913.050:qián", {"gān", "qián"}},                // kXHC1983
      {"105.130,105.140:gān 107.050:gàn", {"gān", "gàn"}},            // kTGHZ2013: several locations
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitReadings(c.value), c.readings) << c.value;
}

TEST(UnihanValues, RadicalStrokeValues) {
  struct Case {
    const char* value;
    bool ok;
    std::vector<RadicalStroke> want;
  } cases[] = {
      {"38.3", true, {{38, false, 3}}},
      {"149'.7", true, {{149, true, 7}}},      // the simplified form of radical 149
      {"213''.5", true, {{213, true, 5}}},     // a second apostrophe: another non-traditional form
      {"35.6 66.6", true, {{35, false, 6}, {66, false, 6}}},
      {"120.-1", true, {{120, false, -1}}},
      {"", false, {}},
      {"38", false, {}},
      {"215.1", false, {}},
      {"0.1", false, {}},
      {"38.x", false, {}},
      {"a.1", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<RadicalStroke> got;
    ASSERT_EQ(ParseRadicalStrokes(c.value, &got), c.ok) << c.value;
    if (!c.ok) continue;
    ASSERT_EQ(got.size(), c.want.size()) << c.value;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].radical, c.want[i].radical) << c.value;
      EXPECT_EQ(got[i].simplified, c.want[i].simplified) << c.value;
      EXPECT_EQ(got[i].residual, c.want[i].residual) << c.value;
    }
  }
}

TEST(UnihanValues, VariantsLoseTheirSourceTags) {
  struct Case {
    const char* value;
    bool ok;
    std::vector<char32_t> want;
  } cases[] = {
      {"U+4E7E U+5E72", true, {0x4E7E, 0x5E72}},
      {"U+4E79<kMorohashi:T U+4E81<kMorohashi:T", true, {0x4E79, 0x4E81}},
      {"U+585A<kFenn U+585A<kMatthews", true, {0x585A}},  // the same code from two sources once
      {"U+20000<kFenn", true, {0x20000}},                 // beyond the BMP
      {"4E7E", false, {}},
      {"U+XYZ", false, {}},
      {"U+110000", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<char32_t> got;
    ASSERT_EQ(ParseVariantCodes(c.value, &got), c.ok) << c.value;
    if (c.ok) {
      EXPECT_EQ(got, c.want) << c.value;
    }
  }
  EXPECT_EQ(ParseTotalStrokes("9 10"), 9);  // zh-Hans first
  EXPECT_EQ(ParseTotalStrokes("14"), 14);
  EXPECT_EQ(ParseTotalStrokes(""), 0);
}

TEST(UnihanText, LinesCharactersAndTheVersion) {
  const std::string text =
      "# Unicode version: 15.0.0\n"
      "U+597D\tkMandarin\thǎo\r\n"
      "U+597D\tkDefinition\tgood, excellent, fine; well\n"
      "U+597D\tkIRG_GSource\tG0-3A43\n"  // a property the reference does not show
      "\n"
      "U+20000\tkRSUnicode\t1.1\n"       // beyond the BMP: counted, left out
      "U+20000\tkMandarin\thē\n";
  UnihanData data;
  std::string error;
  ASSERT_EQ(ReadUnihanText(text, "Unihan_Readings.txt", &data, &error), 0) << error;
  EXPECT_EQ(data.version, "15.0.0");
  EXPECT_EQ(data.outsideBmp, 1u);
  ASSERT_EQ(data.chars.size(), 1u);
  const UnihanChar* c = FindUnihanChar(data, u'好');
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Get("kMandarin"), "hǎo");  // the carriage return is gone
  EXPECT_EQ(c->Get("kDefinition"), "good, excellent, fine; well");
  EXPECT_EQ(c->Get("kIRG_GSource"), "");
}

TEST(UnihanText, MalformedLinesFailWithFileAndLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"# c\nU+597D kMandarin hǎo\n", "Unihan_X.txt: line 2: not"},  // blanks, not tabs
      {"U+59ZD\tkMandarin\thǎo\n", "line 1: bad code point"},
      {"597D\tkMandarin\thǎo\n", "line 1: bad code point"},
      {"U+D800\tkMandarin\thǎo\n", "a surrogate"},
  };
  for (const Case& c : cases) {
    UnihanData data;
    std::string error;
    EXPECT_EQ(ReadUnihanText(c.text, "Unihan_X.txt", &data, &error), 1) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  std::vector<UnihanRadical> radicals;
  std::string error;
  EXPECT_EQ(ReadCjkRadicals("120'; 2EB0\n", &radicals, &error), 1);
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

TEST(UnihanText, TheExcerptFolder) {
  UnihanData data;
  std::string error;
  ASSERT_EQ(ReadUnihanFolder(kExcerpts + "/unihan", &data, &error), 0) << error;
  EXPECT_EQ(data.version, "15.0.0");
  EXPECT_EQ(data.chars.size(), 21u);  // 22 characters, one beyond U+FFFF
  EXPECT_EQ(data.outsideBmp, 1u);
  ASSERT_NE(FindUnihanChar(data, u'乾'), nullptr);
  EXPECT_EQ(FindUnihanChar(data, u'乾')->Get("kSimplifiedVariant"), "U+4E7E U+5E72");
  EXPECT_EQ(FindUnihanChar(data, u'乾')->Get("kRSUnicode"), "5.10");
  // Every radical once in its traditional form, 26 simplified forms besides.
  size_t traditional = 0, simplified = 0;
  for (const UnihanRadical& r : data.radicals) (r.simplified ? simplified : traditional) += 1;
  EXPECT_EQ(traditional, 214u);
  EXPECT_EQ(simplified, 26u);
  const auto silk = std::find_if(data.radicals.begin(), data.radicals.end(),
                                 [](const UnihanRadical& r) { return r.number == 120 && r.simplified; });
  ASSERT_NE(silk, data.radicals.end());
  EXPECT_EQ(silk->ideograph, u'纟');

  UnihanData none;
  EXPECT_EQ(ReadUnihanFolder(kExcerpts + "/hanzi-writer-data", &none, &error), 1);
  EXPECT_NE(error.find("no Unihan*.txt"), std::string::npos) << error;
}

}  // namespace
}  // namespace devicedata
