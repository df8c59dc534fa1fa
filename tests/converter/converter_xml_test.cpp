// The converter's XML: the sample against its golden document, the
// options, the entry markup, rank scores and failed writes.
#include "converter/converter_xml.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/converter/reader_fixture.h"
#include "tests/support/virtual_clock.h"

namespace reader_test {
namespace {

using namespace converter;

struct Out {
  std::string bytes;
  std::vector<uint32_t> blocks;
  int failAt = -1;  // 0-based write that fails
  std::vector<uint32_t> progress;
};
int WriteOut(void* user, const uint8_t* bytes, uint32_t length) {
  auto* out = static_cast<Out*>(user);
  const int call = static_cast<int>(out->blocks.size());
  out->blocks.push_back(length);
  if (call == out->failAt) return 1;
  out->bytes.append(reinterpret_cast<const char*>(bytes), length);
  return 0;
}
void ProgressOut(void* user, uint32_t written) { static_cast<Out*>(user)->progress.push_back(written); }

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The options the dialog starts with, for the sample's study mode 3.
const std::vector<uint32_t> kDefaults = {kOptionFreeDefinitions, kOptionUserDefinitions, kOptionUncarded,
                                         kOptionRankSpaced, kOptionFlagCategories};

// The test clock's now (2026-12-10 12:00 UTC) as local seconds eight hours
// east of UTC.
uint32_t GetLocalSecondsAt8h() { return 1796904000u + 8 * 3600; }

class ConverterXmlTest : public ReaderTest {
 protected:
  void SetUp() override { InstallTestClock(); }
  void Offer(const std::string& name, bool bundle) {
    const std::u16string path = u"\\" + firstgen::Utf16(name);
    if (bundle) {
      EXPECT_EQ(OfferFirstGenBundle(&set_, path.c_str()), kFirstGenAdded) << name;
    } else {
      EXPECT_EQ(OfferFirstGenContainer(&set_, path.c_str(), cache_), kFirstGenAdded) << name;
    }
  }
  void Sample() {
    std::string error;
    ASSERT_TRUE(firstgen::WriteSample(root_.host(), CedictRows(), &error)) << error;
    Offer("My Documents\\cedict.pdb", false);
    Offer("My Documents\\headwords.pdb", false);
    Offer("My Documents\\mywords.kve", true);
    Offer("Program Files\\Old Sorvi Data\\userdata.pdb", false);
    ASSERT_NE(set_.userData, nullptr);
  }
  // A user file of one list of cards, with the rank table and settings.
  void UserFile(const firstgen::UserFileSpec& spec) {
    Put("user.pdb", firstgen::WriteContainer(Records(firstgen::UserFile(spec))));
    Offer("user.pdb", false);
  }
  void Dictionary(const firstgen::DatabaseSpec& spec, const std::string& name) {
    Put(name, firstgen::WriteContainer(Records(spec)));
    Offer(name, false);
  }
  std::string Convert(const std::vector<uint32_t>& options, const char16_t* name = u"out.xml", int expected = 0) {
    ExportOptions o{};
    for (uint32_t i : options) o.bytes[i] = 1;
    out = Out{};
    const ConverterOutput output{WriteOut, ProgressOut, &out};
    cards = 0;
    EXPECT_EQ(WriteConverterXml(&set_, &o, name, &output, &cards), expected);
    return out.bytes;
  }
  std::string CardsOf(const std::string& xml) {
    const size_t from = xml.find("<cards>");
    return from == std::string::npos ? xml : xml.substr(from);
  }

  Out out;
  uint32_t cards = 0;
};

TEST_F(ConverterXmlTest, SampleWithDefaultsEqualsTheGoldenDocument) {
  Sample();
  const std::string xml = Convert(kDefaults, u"sample.xml");
  // SORVI_UPDATE_GOLDEN=1 writes the document as the new golden file.
  if (std::getenv("SORVI_UPDATE_GOLDEN")) std::ofstream(SORVI_CONVERTER_GOLDEN, std::ios::binary) << xml;
  std::ifstream golden(SORVI_CONVERTER_GOLDEN, std::ios::binary);
  ASSERT_TRUE(golden.good()) << SORVI_CONVERTER_GOLDEN;
  std::stringstream expected;
  expected << golden.rdbuf();
  EXPECT_EQ(xml, expected.str());
  // The count is the number of card elements; progress counts up before each.
  EXPECT_EQ(cards, Count(xml, "<card "));
  ASSERT_EQ(out.progress.size(), cards);
  for (uint32_t i = 0; i < cards; ++i) EXPECT_EQ(out.progress[i], i);
}

TEST_F(ConverterXmlTest, RootCategoriesAndSkippedCards) {
  Sample();
  std::string xml = Convert(kDefaults, u"");
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sorviflash formatversion=\"2\" name=\"Untitled\" "
                      "generator=\"Sorvi v1-v2 Converter\" created=\"",
                      0),
            0u);
  // Flag names and list names with '/' become '\'; "Verbs" is one category
  // holding both lists' cards.
  EXPECT_NE(xml.find("<category name=\"Flags/a\\b\"/>"), std::string::npos);
  EXPECT_EQ(Count(xml, "<category name=\"Verbs\"/>"), 1u);
  EXPECT_NE(xml.find("<category name=\"A\\B\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<category name=\"" + std::string(140, 'L') + "\"/>"), std::string::npos);
  EXPECT_EQ(Count(xml, "<catassign category=\"Verbs\"/>"), 1u);  // the other two cards are skipped
  EXPECT_EQ(cards, Count(xml, "<card "));
  EXPECT_EQ(xml.find("<category name=\"Ranks/"), std::string::npos);
}

TEST_F(ConverterXmlTest, ScoresHistoryAndTimes) {
  Sample();
  std::string xml = CardsOf(Convert(kDefaults));
  // "Lesson 1": the card never reviewed has no scoreinfo; the reviewed one
  // (rank 2, repetition-spaced: row 2 word 1 x 100) has 32 letters of 35
  // reviews, and its times turned from local 1904 seconds into UTC.
  EXPECT_NE(xml.find("<scoreinfo score=\"400\" history=\"ICICICICICICICICICICICICICICICII\" correct=\"20\" "
                     "incorrect=\"15\" reviewed=\"35\" sincelast=\"7\" firstreviewedtime=\"1700000000\" "
                     "lastreviewedtime=\"1702592000\"/>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<card language=\"chinese\" created=\"1700000000\">"), std::string::npos);
  EXPECT_NE(xml.find("<card language=\"chinese\" created=\"0\">"), std::string::npos);
  // No score type: no scoreinfo at all.
  EXPECT_EQ(Convert({kOptionFreeDefinitions}).find("<scoreinfo"), std::string::npos);
}

TEST_F(ConverterXmlTest, TheRootKeepsLocalTimeWhileCardTimesBecomeUtc) {
  // Eight hours east of UTC: the root's created is the local clock as it
  // stands (uncorrected); a card's local 1904-based times become UTC.
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  setenv("TZ", "CST-8", 1);
  tzset();
  Sample();
  const std::string xml = Convert(kDefaults);
  if (saved) setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  EXPECT_NE(xml.find("generator=\"Sorvi v1-v2 Converter\" created=\"" + std::to_string(GetLocalSecondsAt8h()) + "\""),
            std::string::npos)
      << xml.substr(0, 200);
  EXPECT_NE(xml.find("<card language=\"chinese\" created=\"1699971200\">"), std::string::npos);
  EXPECT_NE(xml.find("firstreviewedtime=\"1699971200\" lastreviewedtime=\"1702563200\""), std::string::npos);
}

TEST_F(ConverterXmlTest, RankCategoriesTakeTheLastRankPastTheCount) {
  Sample();
  const std::string xml = Convert({kOptionRankCategories});
  for (int n = 1; n <= 5; ++n)
    EXPECT_NE(xml.find("<category name=\"Ranks/Rank" + std::to_string(n) + "\"/>"), std::string::npos);
  EXPECT_EQ(xml.find("Rank6"), std::string::npos);
  EXPECT_NE(xml.find("<catassign category=\"Ranks/Rank5\"/>"), std::string::npos);  // rank 9
  EXPECT_NE(xml.find("<catassign category=\"Ranks/Rank3\"/>"), std::string::npos);  // rank 2
}

TEST_F(ConverterXmlTest, UserEntriesOnlyOrUncardedOnce) {
  Sample();
  // ONLY: no lists, every entry of the user dictionary under its category.
  std::string xml = Convert({kOptionEntriesOnly});
  EXPECT_EQ(cards, 12u);  // the sample's user dictionary holds twelve rows
  EXPECT_EQ(Count(xml, "<catassign category=\"User Dict Entries\"/>"), 12u);
  EXPECT_EQ(xml.find("Lesson 1"), std::string::npos);
  // The user card's entry is written once, with or without 1002.
  for (bool userDefinitions : {true, false}) {
    std::vector<uint32_t> options = {kOptionUncarded};
    if (userDefinitions) options.push_back(kOptionUserDefinitions);
    xml = Convert(options);
    EXPECT_EQ(Count(xml, "<catassign category=\"User Dict Entries\"/>"), 11u) << userDefinitions;
  }
}

TEST_F(ConverterXmlTest, EntryMarkupBecomesHeadwordsPronunciationAndDefinition) {
  struct Case {
    const char* what;
    std::u16string row;
    uint16_t flags;
    const char* expected;
  } cases[] = {
      {"traditional with '-'", u"\uEA01中国[-國]\uEA02zho\u2071ng guo\u2072 \uEA03China\uEAB1PRC\uEA05n", 0x0002,
       "<headword charset=\"sc\">中国</headword><headword charset=\"tc\">中國</headword>"
       "<pron type=\"hypy\" tones=\"marks\">zho¹ng guo²</pron><defn>China PRC</defn>"},
      {"'-' past the simplified text stays", u"\uEA01中[--]", 0x0002,
       "<headword charset=\"sc\">中</headword><headword charset=\"tc\">中-</headword>"},
      {"'/' runs go with as many chars after them", u"\uEA01a/xb//yzc///", 0x0002, "<headword>abc</headword>"},
      {"a user dictionary keeps '/'", u"\uEA01a/xb \uEA03d", 0x0006, "<headword>a/xb</headword><defn>d</defn>"},
      {"no definition without flag 2", u"\uEA01字\uEA03d", 0x0000, "<headword>字</headword>"},
  };
  for (const Case& c : cases) {
    set_ = {};
    firstgen::DatabaseSpec spec;
    firstgen::DictHeaderSpec h;
    h.id = 0x4444;
    h.flags = c.flags;
    h.name = "Test";
    spec.header = firstgen::DictionaryHeader(h);
    firstgen::TableSpec t;
    t.flags = firstgen::kTextRows | firstgen::kEntryTable;
    t.kind = firstgen::kKindEntryTable;
    t.subTables[0] = {{c.row, {}, 0}};
    spec.tables = {t};
    Dictionary(spec, "d.pdb");
    firstgen::UserFileSpec u;
    firstgen::CardSpec card;
    card.dictionaryId = 0x4444;
    u.lists = {{"L", {card}}};
    UserFile(u);
    const std::string xml = Convert({kOptionFreeDefinitions, kOptionUserDefinitions});
    EXPECT_NE(xml.find(std::string("<entry>") + c.expected + "</entry>"), std::string::npos) << c.what << "\n" << xml;
    CloseFirstGenDictSet(&set_);
  }
}

TEST_F(ConverterXmlTest, RankScores) {
  struct Case {
    const char* what;
    uint16_t divisor, tableSwitch;
    std::vector<std::array<uint16_t, 7>> rows;
    uint32_t rank;
    bool spaced;
    int32_t expected;
  } cases[] = {
      {"spaced: row r word 1 x 100", 200, 1, {{{100, 1}}, {{90, 2}}, {{80, 4}}, {{50, 8}}}, 3, true, 800},
      {"spaced: past the count takes the last row", 200, 1, {{{100, 1}}, {{90, 2}}}, 9, true, 200},
      {"frequency, table: rank 0 is 100", 200, 1, {{{100, 1}}, {{50, 2}}}, 0, false, 100},
      {"frequency, table: row 0 / row r", 200, 1, {{{100, 1}}, {{40, 2}}}, 1, false, 250},
      {"frequency, divisor: twice", 200, 0, {{{100, 1}}}, 2, false, 25},
      {"frequency, divisor: 0 is written as 1", 200, 0, {{{100, 1}}}, 7, false, 1},
      {"divisor 0", 0, 0, {{{100, 1}}}, 3, false, 100},
      {"a zero word", 200, 1, {{{100, 0}}, {{0, 0}}}, 1, false, 100},
      {"a zero word, spaced", 200, 1, {{{100, 0}}}, 0, true, 100},
      {"no rows", 200, 1, {}, 4, true, 100},
  };
  for (const Case& c : cases) {
    set_ = {};
    firstgen::UserFileSpec u;
    u.rankDivisor = c.divisor;
    u.rankTableSwitch = c.tableSwitch;
    u.rankRows = c.rows;
    UserFile(u);
    EXPECT_EQ(ComputeRankScore(set_.userData, c.rank, c.spaced), c.expected) << c.what;
    CloseFirstGenDictSet(&set_);
  }
}

TEST_F(ConverterXmlTest, AFailedWriteFailsTheConversion) {
  // Every row of the excerpt as a user dictionary's entries: several blocks.
  Put("all.kve", firstgen::WriteBundle(Records(firstgen::UserDictionary(CedictRows()))));
  Offer("all.kve", true);
  const std::string whole = Convert(kDefaults);
  const size_t writes = out.blocks.size();
  ASSERT_GE(writes, 2u);
  for (size_t failing : {size_t{1}, writes - 1}) {
    ExportOptions o{};
    for (uint32_t i : kDefaults) o.bytes[i] = 1;
    out = Out{};
    out.failAt = static_cast<int>(failing);
    const ConverterOutput output{WriteOut, nullptr, &out};
    EXPECT_EQ(WriteConverterXml(&set_, &o, u"x", &output, &cards), 1) << failing;
    EXPECT_EQ(out.blocks.size(), failing + 1);  // nothing is written after it
  }
  EXPECT_GT(whole.size(), kConverterBlockSize);
}

TEST_F(ConverterXmlTest, ManyListsConvertPastTheCacheSize) {
  // Every list's table keeps its block in the record cache (127 entries):
  // 130 lists fill it, and the conversion must still go through.
  std::string error;
  ASSERT_TRUE(firstgen::WriteSample(root_.host(), CedictRows(), &error)) << error;
  Offer("My Documents\\cedict.pdb", false);
  firstgen::UserFileSpec u;
  firstgen::CardSpec card;
  card.entryNumber = firstgen::CedictEntryNumber(3);
  for (int i = 0; i < 130; ++i) u.lists.push_back({"List " + std::to_string(i), {card}});
  UserFile(u);
  const std::string xml = Convert({kOptionFreeDefinitions});
  EXPECT_EQ(cards, 130u);
  EXPECT_NE(xml.find("<category name=\"List 129\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<catassign category=\"List 129\"/>"), std::string::npos);
}

TEST_F(ConverterXmlTest, TheUsersFilesKeepTheirBytesAndTimes) {
  std::string error;
  ASSERT_TRUE(firstgen::WriteSample(root_.host(), CedictRows(), &error)) << error;
  const std::vector<std::string> files = {"My Documents/cedict.pdb", "My Documents/mywords.kve",
                                          "Program Files/Old Sorvi Data/userdata.pdb"};
  std::vector<std::string> before;
  std::vector<std::filesystem::file_time_type> times;
  for (const std::string& f : files) {
    std::ifstream in(root_.Host(f), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    before.push_back(s.str());
    times.push_back(std::filesystem::last_write_time(root_.Host(f)));
  }
  Offer("My Documents\\cedict.pdb", false);
  Offer("My Documents\\mywords.kve", true);
  Offer("Program Files\\Old Sorvi Data\\userdata.pdb", false);
  Convert(kDefaults);
  CloseFirstGenDictSet(&set_);
  set_ = {};
  for (size_t i = 0; i < files.size(); ++i) {
    std::ifstream in(root_.Host(files[i]), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), before[i]) << files[i];
    EXPECT_EQ(std::filesystem::last_write_time(root_.Host(files[i])), times[i]) << files[i];
  }
}

TEST_F(ConverterXmlTest, WithoutUserFileTheDictionariesStillConvert) {
  std::string error;
  ASSERT_TRUE(firstgen::WriteSample(root_.host(), CedictRows(), &error)) << error;
  Offer("My Documents\\mywords.kve", true);
  ASSERT_EQ(set_.userData, nullptr);
  const std::string xml = Convert(kDefaults);
  EXPECT_EQ(cards, 12u);
  EXPECT_NE(xml.find("</cards></sorviflash>"), std::string::npos);
}

}  // namespace
}  // namespace reader_test
