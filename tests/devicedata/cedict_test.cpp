// The CC-CEDICT dictionary: the pinyin quirks, definitions split into text,
// links and classifiers, the index view that ranks English words, the
// reading of all.js with its faults named by row, and a dictionary built
// from the committed excerpt searched and formatted through the engine.
#include "tools/devicedata/cedict_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/search.h"
#include "engine/search_results.h"
#include "resources/syllables.h"
#include "tests/devicedata/result_headwords.h"
#include "tests/engine_fetch/fetch_fixture.h"
#include "tools/databuild/cedict_entry.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/index_tables.h"

namespace devicedata {
namespace {

namespace fs = std::filesystem;
namespace db = databuild;

const std::string kCedictExcerpt = std::string(SORVI_DEVICEDATA_EXCERPTS) + "/cc-cedict/all.js";

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::u16string S(const char* spelling, int tone) {
  const int s = FindSyllable(spelling);
  EXPECT_GE(s, 0) << spelling;
  return std::u16string(1, static_cast<char16_t>(0xE000 + 5 * s + tone));
}
const std::u16string kCap = u"\uE9F1";

// ---- pinyin ----

TEST(CedictPinyin, QuirksBecomeCodesOrText) {
  struct Case {
    const char* pinyin;
    std::u16string codes;
    std::size_t latin, unknown;
  };
  const Case cases[] = {
      {"ni3 hao3", S("ni", 3) + S("hao", 3), 0, 0},
      {"dai4 fu5", S("dai", 4) + S("fu", 0), 0, 0},                             // 5: the neutral tone
      {"Bei3 jing1", kCap + S("bei", 3) + S("jing", 1), 0, 0},                  // a capital starts a word
      {"Shi2 yi1 Qu1", kCap + S("shi", 2) + S("yi", 1) + kCap + S("qu", 1), 0, 0},
      {"nu:3", S("nv", 3), 0, 0},                                               // u: is ü
      {"fa3 lu:4", S("fa", 3) + S("lv", 4), 0, 0},
      {"r5", S("r", 0), 0, 0},                                                  // the erhua r
      {"yi1 xia4 r5", S("yi", 1) + S("xia", 4) + S("r", 0), 0, 0},
      {"pa1", S("pa", 1), 0, 0},                                                // "%": one syllable, no character
      {"san1 C", S("san", 1) + u" C", 1, 0},                                    // Latin letters kept as text
      {"A quan1 r5", u"A " + S("quan", 1) + S("r", 0), 1, 0},
      {"4S dian4", u"4S " + S("dian", 4), 1, 0},
      {"w o r d", u"w o r d", 4, 0},  // letters without tones are no syllables, "o" and "r" neither
      {"yi1 bu4 zuo4 , er4 bu4 xiu1",
       S("yi", 1) + S("bu", 4) + S("zuo", 4) + u" , " + S("er", 4) + S("bu", 4) + S("xiu", 1), 1, 0},
      {"Ya4 li4 shan1 da4 · Du4 bu4", kCap + S("ya", 4) + S("li", 4) + S("shan", 1) + S("da", 4) + u" · " + kCap +
                                          S("du", 4) + S("bu", 4), 1, 0},
      {"xx5", u"xx5", 0, 1},  // a toned token that is no syllable
      {"", u"", 0, 0},
  };
  for (const Case& c : cases) {
    db::CedictCounts counts;
    EXPECT_EQ(db::CedictPinyinCodes(c.pinyin, &counts), c.codes) << c.pinyin;
    EXPECT_EQ(counts.latinTokens, c.latin) << c.pinyin;
    EXPECT_EQ(counts.unknownSyllables, c.unknown) << c.pinyin;
  }
}

// ---- definitions ----

struct LinkWant {
  std::u16string simplified, traditional;
  std::string pinyin;
};

void ExpectLinks(const std::vector<db::MarkupLink>& got, const std::vector<LinkWant>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].simplified, want[i].simplified) << what << " #" << i;
    EXPECT_EQ(got[i].traditional, want[i].traditional) << what << " #" << i;
    EXPECT_EQ(got[i].pinyin, want[i].pinyin) << what << " #" << i;
  }
}

TEST(CedictDefinition, EndingReferencesBecomeLinksAndClassifierListsComeOut) {
  struct Case {
    std::u16string definition;
    std::u16string text;
    std::vector<LinkWant> links;
    std::vector<LinkWant> classifiers;
  };
  const Case cases[] = {
      {u"see 大夫[dai4 fu5]", u"see", {{u"大夫", u"", "dai4 fu5"}}, {}},
      {u"variant of 豐|丰[feng1]", u"variant of", {{u"丰", u"豐", "feng1"}}, {}},
      {u"used in 㘓哰|𪢌哰[lan2 lao2]", u"used in", {{u"𪢌哰", u"㘓哰", "lan2 lao2"}}, {}},
      {u"erhua form of 一下[yi1 xia4]", u"erhua form of", {{u"一下", u"", "yi1 xia4"}}, {}},
      // Several references at the end, joined by a comma or "or".
      {u"see also 白髮|白发[bai2 fa4], 白毛[bai2 mao2]", u"see also",
       {{u"白发", u"白髮", "bai2 fa4"}, {u"白毛", u"", "bai2 mao2"}}, {}},
      {u"same as 甲[jia3] or 乙[yi3]", u"same as", {{u"甲", u"", "jia3"}, {u"乙", u"", "yi3"}}, {}},
      // A reference inside the text stays text.
      {u"(Internet slang) bye-bye (alternative for 拜拜[bai2 bai2])",
       u"(Internet slang) bye-bye (alternative for 拜拜[bai2 bai2])", {}, {}},
      {u"Mao: The Unknown Story by Jung Chang 張戎|张戎[Zhang1 Rong2] and Jon Halliday",
       u"Mao: The Unknown Story by Jung Chang 張戎|张戎[Zhang1 Rong2] and Jon Halliday", {}, {}},
      // Brackets that hold no reference.
      {u"percent [%]", u"percent [%]", {}, {}},
      {u"3C[san1 C]", u"3C[san1 C]", {}, {}},
      // Classifier lists: a whole definition, or a note inside one.
      {u"CL:尊[zun1], 張|张[zhang1]", u"", {}, {{u"尊", u"", "zun1"}, {u"张", u"張", "zhang1"}}},
      {u"legume; pulse; bean; pea (CL:顆|颗[ke1],粒[li4]) (variant of 豆[dou4])",
       u"legume; pulse; bean; pea (variant of 豆[dou4])", {}, {{u"颗", u"顆", "ke1"}, {u"粒", u"", "li4"}}},
      {u"classroom (CL:間|间[jian1]); class session", u"classroom; class session", {},
       {{u"间", u"間", "jian1"}}},
      {u"knife; blade; CL:把[ba3]", u"knife; blade", {}, {{u"把", u"", "ba3"}}},
      {u"CL:個|个[ge4]; thing", u"thing", {}, {{u"个", u"個", "ge4"}}},
      // "CL:" that is no classifier list stays.
      {u"CL: not a list", u"CL: not a list", {}, {}},
  };
  for (const Case& c : cases) {
    const std::string what = db::Utf16ToUtf8(c.definition);
    const db::CedictSense s = db::SplitCedictDefinition(c.definition);
    EXPECT_EQ(s.text, c.text) << what;
    ExpectLinks(s.links, c.links, what + " links");
    ExpectLinks(s.classifiers, c.classifiers, what + " classifiers");
  }
}

db::CedictRow Row(std::u16string trad, std::u16string simp, std::string pinyin, std::vector<std::u16string> defs) {
  return db::CedictRow{std::move(trad), std::move(simp), std::move(pinyin), std::move(defs), {}};
}

TEST(CedictEntry, IndexViewRanksTheEntryWhoseFirstSenseIsTheWord) {
  struct Case {
    db::CedictRow row;
    std::uint32_t hello;  // relevance of "hello"
  };
  const Case cases[] = {
      {Row(u"你好", u"你好", "ni3 hao3", {u"hello; hi"}), db::kRelevanceFirstIsWord},
      {Row(u"哈嘍", u"哈喽", "ha1 lou2", {u"hello (loanword)"}), db::kRelevanceFirstIsWord},
      {Row(u"喂", u"喂", "wei2", {u"hello (when answering the phone)"}), db::kRelevanceFirstIsWord},
      {Row(u"好", u"好", "hao3", {u"good", u"(after a personal pronoun) hello"}), db::kRelevanceLaterIsWord},
      {Row(u"問好", u"问好", "wen4 hao3", {u"to say hello to", u"to send one's regards to"}), db::kRelevanceInFirst},
      {Row(u"招呼", u"招呼", "zhao1 hu5", {u"to call out to", u"to say hello to"}), db::kRelevanceInLater},
      {Row(u"吃", u"吃", "chi1", {u"to eat"}), 4},
  };
  for (const Case& c : cases) {
    db::SearchIndexEntry index;
    std::string error;
    ASSERT_EQ(db::CedictToPlainEntry(c.row, nullptr, &index, &error), 0) << error;
    EXPECT_EQ(db::EntryWordRelevance(index, u"hello", false), c.hello) << db::Utf16ToUtf8(c.row.simplified);
  }

  // What the index view holds: both forms once, the codes, the pieces, the
  // notes last, no pinyin of references as words.
  db::SearchIndexEntry index;
  db::PlainEntry plain;
  std::string error;
  db::CedictRow row = Row(u"荳", u"豆", "dou4",
                          {u"legume; pulse (CL:顆|颗[ke1]) (variant of 豆[dou4])", u"see 大豆[da4 dou4]"});
  // The package's own classifier refs give both forms even when they are one.
  row.classifiers = {{u"颗", u"顆", "ke1"}, {u"粒", u"粒", "li4"}};
  ASSERT_EQ(db::CedictToPlainEntry(row, &plain, &index, &error), 0) << error;
  EXPECT_EQ(index.headwords, (std::vector<std::u16string>{u"豆", u"荳"}));
  EXPECT_EQ(index.pinyin, S("dou", 4));
  EXPECT_EQ(index.senses, (std::vector<std::u16string>{u"legume", u"pulse", u"see 大豆", u"variant of 豆"}));
  EXPECT_EQ(index.moreTexts, (std::vector<std::u16string>{u"大豆", u"颗", u"顆", u"粒"}));
  ASSERT_EQ(plain.senses.size(), 2u);
  EXPECT_EQ(plain.senses[0].text, u"legume; pulse (variant of 豆[dou4])");
  EXPECT_EQ(plain.senses[1].text, u"see");
  ExpectLinks(plain.classifiers, {{u"颗", u"顆", "ke1"}, {u"粒", u"", "li4"}}, "classifiers once each");
}

TEST(CedictEntry, MarkupHoldsTheCedictPinyinAndRefusesReservedUnits) {
  db::DictEntrySpec e;
  std::string error;
  ASSERT_EQ(db::MakeCedictEntry(Row(u"3C", u"3C", "san1 C", {u"computers"}), &e, &error), 0) << error;
  // Headword field, then the pinyin field with the Latin letter kept.
  EXPECT_EQ(e.text.substr(0, 8), u"\uEA003C\uEA01" + S("san", 1) + u" C\uEA02");
  EXPECT_EQ(e.index.pinyin, S("san", 1) + u" C");
  EXPECT_EQ(e.wordLength, 2u);

  ASSERT_EQ(db::MakeCedictEntry(Row(u"電腦", u"电脑", "dian4 nao3", {u"computer"}), &e, &error), 0) << error;
  EXPECT_EQ(e.text, u"\uEA00电脑\uEA93電腦\uEA01" + S("dian", 4) + S("nao", 3) + u"\uEA02computer");

  // A row without definitions keeps its headword and pinyin.
  db::CedictCounts counts;
  ASSERT_EQ(db::MakeCedictEntry(Row(u"上同調", u"上同调", "shang4 tong2 diao4", {}), &e, &error, &counts), 0);
  EXPECT_EQ(counts.noDefinition, 1u);
  EXPECT_EQ(e.text.back(), S("diao", 4)[0]);

  EXPECT_EQ(db::MakeCedictEntry(Row(u"", u"", "a1", {u"x"}), &e, &error), 1);
  EXPECT_NE(error.find("empty headword"), std::string::npos) << error;
  EXPECT_EQ(db::MakeCedictEntry(Row(u"甲", u"甲", "jia3", {u"private \uE123 use"}), &e, &error), 1);
  EXPECT_NE(error.find("U+E000-U+EAFF"), std::string::npos) << error;
  EXPECT_EQ(db::MakeCedictEntry(Row(u"甲", u"甲", "jia3 \xEE\x84\xA3", {u"first"}), &e, &error), 1);
  EXPECT_NE(error.find("pinyin"), std::string::npos) << error;
  EXPECT_EQ(db::MakeCedictEntry(Row(u"甲\uEA02", u"甲", "jia3", {u"first"}), &e, &error), 1);
}

// ---- all.js ----

TEST(CedictSource, TheExcerptReadsWithItsReferences) {
  std::vector<db::CedictRow> rows;
  std::string error;
  ASSERT_EQ(ReadCedictAllJs(ReadAll(kCedictExcerpt), &rows, &error), 0) << error;
  ASSERT_EQ(rows.size(), 43u);
  auto find = [&](const std::u16string& trad) -> const db::CedictRow* {
    for (const auto& r : rows)
      if (r.traditional == trad) return &r;
    return nullptr;
  };
  const db::CedictRow* cl = find(u"上衣");
  ASSERT_NE(cl, nullptr);
  ASSERT_EQ(cl->classifiers.size(), 1u);
  EXPECT_EQ(cl->classifiers[0].simplified, u"件");
  EXPECT_EQ(cl->classifiers[0].pinyin, "jian4");
  const db::CedictRow* list = find(u"3C");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->definitions.size(), 2u);  // a list of definitions
  EXPECT_EQ(list->pinyin, "san1 C");
  const db::CedictRow* none = find(u"上同調");
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->definitions.empty());
  const db::CedictRow* astral = find(u"㘓");
  ASSERT_NE(astral, nullptr);
  EXPECT_EQ(astral->simplified, u"𪢌");
}

TEST(CedictSource, BadInputIsNamedByRow) {
  struct Case {
    std::string text;
    std::string message;  // part of the error
  };
  const Case cases[] = {
      {R"({"all":[]})", "export default"},
      {R"(export default {"all":[)", "not JSON"},
      {R"(export default [])", "not an object"},
      {R"(export default {"rows":[]})", "\"all\""},
      {R"(export default {"all":[["甲","甲","jia3","a",[],[]],["乙","乙"]]})", "row 2 (乙): not [traditional"},
      {R"(export default {"all":[["甲","甲","jia3",7,[],[]]]})", "row 1 (甲): the definitions"},
      {R"(export default {"all":[["甲","甲","jia3",["a",1],[],[]]]})", "row 1 (甲): a definition"},
      {R"(export default {"all":[["甲","甲",3,"a",[],[]]]})", "row 1 (甲): the pinyin"},
      {R"(export default {"all":[["甲","甲","jia3","a",[0],[]]],"variantLookup":[]})", "row 1 (甲): variants"},
      {R"(export default {"all":[["甲","甲","jia3","a",[],[1]]],"classifierLookup":[["個","个","ge4"]]})",
       "row 1 (甲): classifiers: a reference out of range"},
      {R"(export default {"all":[["甲","甲","jia3","a",[],[0.5]]],"classifierLookup":[["個","个","ge4"]]})",
       "row 1 (甲): classifiers"},
      {R"(export default {"all":[],"classifierLookup":[["個","个"]]})", "classifierLookup item 0"},
  };
  for (const Case& c : cases) {
    std::vector<db::CedictRow> rows;
    std::string error;
    EXPECT_EQ(ReadCedictAllJs(c.text, &rows, &error), 1) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
  }
  // A well-formed module with a trailing semicolon and blank lines.
  std::vector<db::CedictRow> rows;
  std::string error;
  EXPECT_EQ(ReadCedictAllJs("export default {\"all\":[[\"甲\",\"甲\",\"jia3\",\"first\",[],[]]]};\n\n", &rows, &error),
            0)
      << error;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].definitions, std::vector<std::u16string>{u"first"});
}

TEST(CedictSource, RowsThatMakeNoEntryStopTheBuildWithTheirRow) {
  std::vector<db::CedictRow> rows = {Row(u"甲", u"甲", "jia3", {u"first"}), Row(u"乙", u"乙", "yi3", {u"bad \uEA00"})};
  db::DataFileSpec file;
  std::string error;
  EXPECT_EQ(BuildCedictData(rows, u"", &file, nullptr, nullptr, &error), 1);
  EXPECT_NE(error.find("row 2 (乙)"), std::string::npos) << error;
  // An exact repeat is skipped and counted.
  rows[1] = rows[0];
  CedictBuildStats st;
  CedictExpected expected;
  ASSERT_EQ(BuildCedictData(rows, u"", &file, &expected, &st, &error), 0) << error;
  EXPECT_EQ(st.rows, 2u);
  EXPECT_EQ(st.entries, 1u);
  EXPECT_EQ(st.duplicates, 1u);
  EXPECT_EQ(expected.texts.size(), 1u);
  EXPECT_EQ(BuildCedictData({}, u"", &file, nullptr, nullptr, &error), 1);
}

TEST(CedictSource, TsvExcerptRowsSkipCommentsAndShortLines) {
  std::istringstream in(
      "# traditional\tsimplified\tpinyin\tdefinitions\n"
      "\n"
      "你好\t你好\tni3 hao3\t/hello/hi/\n"
      "only\tthree\tcolumns\n"
      "女兒\t女儿\tnu:3 er2\t/daughter/\n");
  const std::vector<db::CedictRow> rows = db::ReadCedictTsv(in);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].simplified, u"你好");
  EXPECT_EQ(rows[0].pinyin, "ni3 hao3");
  EXPECT_EQ(rows[0].definitions, (std::vector<std::u16string>{u"hello", u"hi"}));
  EXPECT_EQ(rows[1].traditional, u"女兒");
  EXPECT_EQ(rows[1].definitions, std::vector<std::u16string>{u"daughter"});
}

TEST(CedictOrder, WordListRunsByReadingThenTonesThenCase) {
  // In the order the word list shows them: "nu:" reads as "nv", after
  // "nu"; "san1 C" is a longer reading than "san1".
  const struct {
    const char16_t* simplified;
    const char* pinyin;
  } rows[] = {
      {u"尼", "ni2"},        {u"倪", "Ni2"},       {u"你", "ni3"},  {u"呢", "ni5"},
      {u"你好", "ni3 hao3"}, {u"你们", "ni3 men5"}, {u"年", "nian2"}, {u"努", "nu3"},
      {u"女", "nu:3"},       {u"女儿", "nu:3 er2"}, {u"三", "san1"},  {u"三C", "san1 C"},
  };
  std::vector<db::CedictRow> given;
  for (const auto& r : rows) {
    db::CedictRow row;
    row.simplified = row.traditional = r.simplified;
    row.pinyin = r.pinyin;
    row.definitions = {u"x"};
    given.push_back(row);
  }
  std::vector<db::CedictRow> sorted = given;
  std::reverse(sorted.begin(), sorted.end());
  std::stable_sort(sorted.begin(), sorted.end(), CedictReadingBefore);
  for (std::size_t i = 0; i < given.size(); ++i)
    EXPECT_EQ(db::Utf16ToUtf8(sorted[i].simplified), db::Utf16ToUtf8(given[i].simplified)) << "row " << i;

  // The built dictionary numbers its entries in that order.
  db::DataFileSpec file;
  CedictExpected expected;
  std::string error;
  ASSERT_EQ(BuildCedictData(std::vector<db::CedictRow>(given.rbegin(), given.rend()), u"", &file, &expected,
                            nullptr, &error),
            0)
      << error;
  ASSERT_EQ(expected.headwords.size(), given.size());
  for (std::size_t i = 0; i < given.size(); ++i) EXPECT_EQ(expected.headwords[i], given[i].simplified) << i;
}

// ---- the dictionary through the engine ----

class CedictDictTest : public fetchfix::EngineFixture {
 protected:
  void SetUp() override {
    std::vector<db::CedictRow> rows;
    std::string error;
    ASSERT_EQ(ReadCedictAllJs(ReadAll(kCedictExcerpt), &rows, &error), 0) << error;
    ASSERT_EQ(BuildCedictData(rows, u"Test notice", &file_, &expected_, &stats_, &error), 0) << error;
    files_.Add(file_);
    ASSERT_NE(Create(), nullptr);
  }

  // Simplified headwords of the results, in order.
  std::vector<std::u16string> Heads(const char16_t* query, uint16_t language = 4096) {
    return ResultHeadwords(engine_, expected_.headwords, query, language);
  }
  std::u16string Formatted(const std::u16string& head, const std::u16string& text = u"") {
    for (uint32_t e = 0; e < expected_.headwords.size(); ++e) {
      if (expected_.headwords[e] != head || expected_.texts[e].find(text) == std::u16string::npos) continue;
      EntryFetchRequest r{};
      r.slot = 0;
      r.entry = e;
      return Fetch(r);
    }
    ADD_FAILURE() << "no entry " << db::Utf16ToUtf8(head);
    return {};
  }

  db::DataFileSpec file_;
  CedictExpected expected_;
  CedictBuildStats stats_;
};

TEST_F(CedictDictTest, CountsOfTheExcerpt) {
  EXPECT_EQ(stats_.rows, 43u);
  EXPECT_EQ(stats_.entries, 43u);
  EXPECT_EQ(stats_.duplicates, 0u);
  EXPECT_EQ(stats_.counts.noDefinition, 1u);     // 上同調
  EXPECT_EQ(stats_.counts.unknownSyllables, 1u);  // xx5
  EXPECT_EQ(stats_.counts.links, 6u);  // 丰 two, 㘓, 一下兒, 大, 龶
  EXPECT_EQ(file_.notice, u"Test notice");
  EXPECT_EQ(GetDictEntryCount(engine_, 0), 43u);
}

TEST_F(CedictDictTest, CharactersAndPinyinFindTheirEntries) {
  struct Case {
    const char16_t* query;
    std::u16string head;
  };
  const Case cases[] = {
      {u"电脑", u"电脑"},       {u"電腦", u"电脑"},           // simplified and traditional
      {u"dian4 nao3", u"电脑"}, {u"diannao", u"电脑"},        // with and without tones
      {u"dian4nao3", u"电脑"},  {u"ni3 hao3", u"你好"},
      {u"nihao", u"你好"},      {u"你好", u"你好"},
      {u"Bei3jing1", u"北京"},  {u"beijing", u"北京"},
      {u"nv3", u"女"},          {u"fa3 lv4", u"法律"},         // ü typed as v
      {u"一下儿", u"一下儿"},   {u"yixiar", u"一下儿"},        // the erhua entry is kept
      {u"𪢌哰", u"𪢌哰"},       {u"pa1", u"%"},
  };
  for (const Case& c : cases) {
    const std::vector<std::u16string> heads = Heads(c.query);
    EXPECT_NE(std::find(heads.begin(), heads.end(), c.head), heads.end())
        << db::Utf16ToUtf8(c.query) << " -> " << heads.size() << " results";
  }
}

TEST_F(CedictDictTest, EnglishWordsRankFirstSensesFirst) {
  const std::vector<std::u16string> heads = Heads(u"hello", 0);
  ASSERT_GE(heads.size(), 7u);
  // The entries whose first sense is "hello", then 好 (a later sense is
  // "hello"), then those that only hold the word.
  EXPECT_EQ(std::set<std::u16string>(heads.begin(), heads.begin() + 4),
            (std::set<std::u16string>{u"你好", u"哈喽", u"喂", u"您好"}));
  EXPECT_EQ(heads[4], u"好");
  EXPECT_EQ(std::set<std::u16string>(heads.begin() + 5, heads.begin() + 7),
            (std::set<std::u16string>{u"问好", u"招呼"}));

  const std::vector<std::u16string> eat = Heads(u"eat", 0);
  ASSERT_FALSE(eat.empty());
  EXPECT_EQ(eat[0], u"吃");
  // A word too common to list alone finds nothing, but narrows a phrase.
  EXPECT_TRUE(Heads(u"to", 0).empty());
  EXPECT_EQ(Heads(u"to eat", 0), std::vector<std::u16string>{u"吃"});
}

TEST_F(CedictDictTest, FormattedEntriesShowLinksClassifiersAndQuirks) {
  // "see 大夫[dai4 fu5]": a hidden-target link to 大夫 after "see".
  const std::u16string see = Formatted(u"大", u"see");
  const std::size_t link = see.find(u'\uEAD1');
  ASSERT_NE(link, std::u16string::npos) << db::Utf16ToUtf8(see);
  EXPECT_LT(see.find(u"see"), link);
  EXPECT_NE(see.find(u"大夫", link), std::u16string::npos);
  EXPECT_NE(see.find(u'\uEAD2', link), std::u16string::npos);
  // Classifiers after the senses.
  const std::u16string cl = Formatted(u"佛像");
  EXPECT_NE(cl.find(u"CL: "), std::u16string::npos) << db::Utf16ToUtf8(cl);
  EXPECT_NE(cl.find(u"尊"), std::u16string::npos);
  EXPECT_NE(cl.find(u"张|張"), std::u16string::npos);
  // Pinyin with its Latin letter, the syllable in tone marks.
  const std::u16string latin = Formatted(u"3C");
  EXPECT_NE(latin.find(u"sān"), std::u16string::npos) << db::Utf16ToUtf8(latin);
  EXPECT_NE(latin.find(u"C"), std::u16string::npos);
}

TEST(CedictFile, TheFileChecksAndTheCheckCatchesFaults) {
  std::vector<db::CedictRow> rows;
  std::string error;
  ASSERT_EQ(ReadCedictAllJs(ReadAll(kCedictExcerpt), &rows, &error), 0) << error;
  db::DataFileSpec file;
  CedictExpected expected;
  ASSERT_EQ(BuildCedictData(rows, u"", &file, &expected, nullptr, &error), 0) << error;
  const fs::path dir = fs::temp_directory_path() / ("sorvi-cedict-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "s2cedict.pdb").string();
  ASSERT_EQ(db::WriteDataFile(file, path, &error), 0) << error;
  EXPECT_EQ(CheckCedictFile(path, expected, CedictStandardProbes(), &error), 0) << error;

  CedictExpected other = expected;
  other.texts[5].back() ^= 1;
  EXPECT_EQ(CheckCedictFile(path, other, {}, &error), 1);
  EXPECT_NE(error.find("entry 5"), std::string::npos) << error;
  other = expected;
  other.texts.pop_back();
  EXPECT_EQ(CheckCedictFile(path, other, {}, &error), 1);
  EXPECT_NE(error.find("entries"), std::string::npos) << error;
  EXPECT_EQ(CheckCedictFile(path, expected, {{u"qwertyuiop", 0, u"你好", 10}}, &error), 1);
  EXPECT_NE(error.find("qwertyuiop"), std::string::npos) << error;
  EXPECT_EQ(CheckCedictFile(path, expected, {{u"你好", 4096, u"北京", 10}}, &error), 1);
  EXPECT_NE(error.find("北京"), std::string::npos) << error;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace devicedata
