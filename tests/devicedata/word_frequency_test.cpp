// Word frequencies and the order they give: dict.txt and kHanyuPinlu read
// (faults named by line), a row's frequency from the two, the frequency
// bands of the English word index, and a dictionary built from the
// committed excerpt (CC-CEDICT rows with the matching lines of dict.txt and
// kHanyuPinlu) searched through the engine as a learner would.
#include "tools/devicedata/word_frequency.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/search.h"
#include "engine/search_results.h"
#include "tests/devicedata/result_headwords.h"
#include "tests/engine_fetch/fetch_fixture.h"
#include "tools/databuild/index_tables.h"
#include "tools/devicedata/cedict_file.h"

namespace devicedata {
namespace {

namespace db = databuild;

const std::string kExcerpt = std::string(SORVI_DEVICEDATA_EXCERPTS) + "/frequency";

db::CedictRow Row(const char16_t* traditional, const char16_t* simplified, const char* pinyin) {
  db::CedictRow r;
  r.traditional = traditional;
  r.simplified = simplified;
  r.pinyin = pinyin;
  r.definitions = {u"x"};
  return r;
}

TEST(JiebaDict, LinesAndTheirFaults) {
  WordCounts counts;
  std::string error;
  ASSERT_EQ(ReadJiebaDict("\xEF\xBB\xBF的 318825 uj\r\n你好 725 l\n\n了 883634\n你好 700 l\n", &counts, &error), 0)
      << error;
  EXPECT_EQ(counts.words.size(), 3u);
  EXPECT_EQ(counts.words[u"的"], 318825u);  // after a byte-order mark
  EXPECT_EQ(counts.words[u"了"], 883634u);  // no tag
  EXPECT_EQ(counts.words[u"你好"], 725u);   // listed twice: the larger count

  const struct {
    const char* text;
    const char* why;  // what the message names
  } bad[] = {
      {"好 1 a\n 好 3 a\n", "line 2: no word"},              // a leading blank
      {"好 1 a\n\n你好\n", "line 3: no count"},              // the word alone
      {"好 many a\n", "line 1: the count"},                  // not a number
      {"好 -3 a\n", "line 1: the count"},                    // no sign
      {"好 99999999999999999999 a\n", "line 1: the count"},  // too large
      {"\xFF\xFE 3 a\n", "line 1: the word is not UTF-8"},
  };
  for (const auto& c : bad) {
    WordCounts w;
    EXPECT_EQ(ReadJiebaDict(c.text, &w, &error), 1) << c.text;
    EXPECT_NE(error.find(c.why), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(HanyuPinlu, ReadingsWithCountsAndFaults) {
  UnihanData data;
  std::string error;
  ASSERT_EQ(ReadUnihanText("U+7684\tkHanyuPinlu\tde(75596) dì(157) dí(84)\n"
                           "U+4E86\tkHanyuPinlu\tle(30101) liǎo(654) liào(19)\n",
                           "test", &data, &error),
            0)
      << error;
  WordCounts counts;
  ASSERT_EQ(AddHanyuPinlu(data, &counts, &error), 0) << error;
  ASSERT_EQ(counts.readings[u'的'].size(), 3u);
  EXPECT_EQ(counts.readings[u'的'][0].syllable, ToneMarkedSyllableCode("de"));
  EXPECT_EQ(counts.readings[u'的'][0].count, 75596u);
  EXPECT_EQ(counts.readings[u'的'][2].syllable, ToneMarkedSyllableCode("dí"));
  EXPECT_EQ(CharacterFrequency(counts, u'了'), 30101u + 654u + 19u);

  for (const char* value : {"de(75596", "de(many)", "de(-1)"}) {
    UnihanData d;
    ASSERT_EQ(ReadUnihanText(std::string("U+7684\tkHanyuPinlu\t") + value + "\n", "test", &d, &error), 0);
    WordCounts w;
    EXPECT_EQ(AddHanyuPinlu(d, &w, &error), 1) << value;
    EXPECT_NE(error.find("U+7684"), std::string::npos) << error;
  }
}

TEST(RowFrequency, WordsShareOutByReadingsAndFallBack) {
  WordCounts counts;
  std::string error;
  ASSERT_EQ(ReadJiebaDict("的 318825\n好 92543\n你好 725\n說 50\n", &counts, &error), 0);
  UnihanData data;
  ASSERT_EQ(ReadUnihanText("U+7684\tkHanyuPinlu\tde(75596) dì(157) dí(84)\n"
                           "U+597D\tkHanyuPinlu\thǎo(6060) hāo(142) hào(115)\n"
                           "U+5582\tkHanyuPinlu\twèi(151)\n",
                           "test", &data, &error),
            0);
  ASSERT_EQ(AddHanyuPinlu(data, &counts, &error), 0);
  const struct {
    db::CedictRow row;
    std::uint64_t count;
    FrequencySource source;
    const char* why;
  } cases[] = {
      {Row(u"你好", u"你好", "ni3 hao3"), 725, FrequencySource::Words, "a word: its dict.txt count"},
      {Row(u"的", u"的", "de5"), 317812, FrequencySource::Words, "the reading's share"},
      {Row(u"的", u"的", "di4"), 660, FrequencySource::Words, "a rare reading's share (318825 x 157 / 75837, rounded)"},
      {Row(u"的", u"的", "de2"), 0, FrequencySource::Words, "a reading kHanyuPinlu never met"},
      {Row(u"好", u"好", "Hao3"), 88778, FrequencySource::Words, "a capital reads as its syllable"},
      {Row(u"說", u"说", "shuo1"), 50, FrequencySource::Words, "the traditional form when the simplified is missing"},
      {Row(u"喂", u"喂", "wei4"), 151, FrequencySource::Readings, "kHanyuPinlu alone"},
      {Row(u"喂", u"喂", "wei2"), 0, FrequencySource::None, "kHanyuPinlu alone, another reading"},
      {Row(u"你們", u"你们", "ni3 men5"), 0, FrequencySource::None, "in neither"},
      {Row(u"好好", u"好好", "hao3 hao3"), 0, FrequencySource::None, "no share for a word of two"},
  };
  for (const auto& c : cases) {
    const Frequency f = CedictRowFrequency(counts, c.row);
    EXPECT_EQ(f.count, c.count) << c.why;
    EXPECT_EQ(f.source, c.source) << c.why;
  }
}

TEST(FrequencyBand, EightBandsOnABaseEightScale) {
  const struct {
    std::uint64_t frequency;
    std::uint32_t band;
  } cases[] = {
      {0, 7},                                                 // unknown: last
      {1, 6},     {7, 6},                                     // below 8
      {8, 5},     {63, 5},                                    // one power of 8 up
      {725, 3},   {4095, 3},                                  // 你好
      {32768, 1}, {262143, 1}, {262144, 0}, {1ull << 40, 0},  // the commonest words share band 0
  };
  for (const auto& c : cases) EXPECT_EQ(db::FrequencyBand(c.frequency, 3), c.band) << c.frequency;
  EXPECT_EQ(db::FrequencyBand(0, 1), 1u);
  EXPECT_EQ(db::FrequencyBand(1u << 30, 1), 0u);
}

// ---- the excerpt through the engine ----

class FrequencyDictTest : public fetchfix::EngineFixture {
 protected:
  void SetUp() override {
    std::ifstream in(kExcerpt + "/cedict.tsv", std::ios::binary);
    rows_ = db::ReadCedictTsv(in);
    ASSERT_GT(rows_.size(), 150u);
    std::string error;
    ASSERT_EQ(ReadWordCountFiles(kExcerpt + "/dict.txt", kExcerpt + "/Unihan_Readings.txt", &counts_, &error), 0)
        << error;
    ASSERT_EQ(BuildCedictData(rows_, u"", &file_, &expected_, &stats_, &error, &counts_), 0) << error;
    files_.Add(file_);
    ASSERT_NE(Create(), nullptr);
  }

  std::vector<std::u16string> Heads(const char16_t* query, uint16_t language = 4096) {
    return ResultHeadwords(engine_, expected_.headwords, query, language);
  }

  std::vector<db::CedictRow> rows_;
  WordCounts counts_;
  db::DataFileSpec file_;
  CedictExpected expected_;
  CedictBuildStats stats_;
};

TEST_F(FrequencyDictTest, TheCommonWordComesFirst) {
  const struct {
    const char16_t* query;
    uint16_t language;
    std::vector<std::u16string> wanted;  // one of them
    std::size_t within;                  // among the first this many
  } cases[] = {
      {u"hao", 4096, {u"好"}, 1},               // not 蒿 (hao1) nor 号 (hao2)
      {u"de", 4096, {u"的"}, 1},                // not 嘚 (de1)
      {u"yi", 4096, {u"一"}, 1},                // not 〡 (U+3021)
      {u"lü", 4096, {u"绿", u"旅", u"律"}, 3},  // not 榈, 藘, 闾 (lv2)
      {u"lv", 4096, {u"绿", u"旅", u"律"}, 3},  // ü typed as v
      {u"hello", 0, {u"你好"}, 1},              // before the loanwords 哈喽, 哈啰, 哈罗
  };
  for (const auto& c : cases) {
    const std::vector<std::u16string> heads = Heads(c.query, c.language);
    ASSERT_GE(heads.size(), c.within) << db::Utf16ToUtf8(c.query);
    bool found = false;
    for (std::size_t i = 0; i < c.within; ++i)
      found = found || std::find(c.wanted.begin(), c.wanted.end(), heads[i]) != c.wanted.end();
    EXPECT_TRUE(found) << db::Utf16ToUtf8(c.query) << " gives " << db::Utf16ToUtf8(heads[0]) << " first";
  }
}

TEST_F(FrequencyDictTest, RelevanceStillComesBeforeFrequency) {
  // 好 (92543) has "hello" only as a later sense: after every entry whose
  // first sense is "hello", however rare (哈喽 is in neither source).
  const std::vector<std::u16string> heads = Heads(u"hello", 0);
  const auto at = [&heads](const char16_t* h) { return std::find(heads.begin(), heads.end(), h) - heads.begin(); };
  ASSERT_LT(at(u"好"), static_cast<std::ptrdiff_t>(heads.size()));
  for (const char16_t* first : {u"你好", u"您好", u"哈喽", u"哈啰", u"哈罗"}) EXPECT_LT(at(first), at(u"好"));
  // Within the first relevance by frequency band: 你好 725, 您好 112, 哈罗 49.
  EXPECT_LT(at(u"你好"), at(u"您好"));
  EXPECT_LT(at(u"您好"), at(u"哈罗"));
  EXPECT_LT(at(u"哈罗"), at(u"哈喽"));
}

TEST_F(FrequencyDictTest, ToneLessGroupsStayTogetherInTheirOrder) {
  // The groups (syllable letters) in the order of a build without
  // frequencies; each group's entries contiguous; inside a group the
  // commoner first.
  db::DataFileSpec plainFile;
  CedictExpected plain;
  std::string error;
  ASSERT_EQ(BuildCedictData(rows_, u"", &plainFile, &plain, nullptr, &error), 0) << error;
  // Each entry's group and frequency, found by its record text.
  auto letters = [](const db::CedictRow& r) {
    std::string s;
    for (char ch : r.pinyin)
      if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == ' ' || ch == ':')
        s.push_back(static_cast<char>(ch | 0x20));
    return s;
  };
  std::map<std::u16string, std::string> groupOfText;
  std::map<std::u16string, std::uint64_t> freqOfText;
  for (const db::CedictRow& r : rows_) {
    db::DictEntrySpec e;
    std::string why;
    ASSERT_EQ(db::MakeCedictEntry(r, &e, &why), 0) << why;
    groupOfText[e.text] = letters(r);
    freqOfText[e.text] = CedictRowFrequency(counts_, r).count;
  }
  auto groups = [&groupOfText](const CedictExpected& ex) {
    std::vector<std::string> seq;
    for (const std::u16string& t : ex.texts) {
      const std::string& g = groupOfText[t];
      if (seq.empty() || seq.back() != g) seq.push_back(g);
    }
    return seq;
  };
  const std::vector<std::string> before = groups(plain), after = groups(expected_);
  EXPECT_EQ(after, before);  // same groups, same order, each once (contiguous)
  std::vector<std::string> distinct = before;
  std::sort(distinct.begin(), distinct.end());
  EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << "a group met twice";

  // Inside a group, frequencies never rise.
  for (std::size_t i = 1; i < expected_.texts.size(); ++i) {
    if (groupOfText[expected_.texts[i]] != groupOfText[expected_.texts[i - 1]]) continue;
    EXPECT_LE(freqOfText[expected_.texts[i]], freqOfText[expected_.texts[i - 1]])
        << db::Utf16ToUtf8(expected_.headwords[i - 1]) << " then " << db::Utf16ToUtf8(expected_.headwords[i]);
  }
  // The progress counts add up.
  EXPECT_EQ(stats_.fromWords + stats_.fromReadings + stats_.withoutFrequency, stats_.entries);
  EXPECT_GT(stats_.fromWords, 0u);
}

}  // namespace
}  // namespace devicedata
