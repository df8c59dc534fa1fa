// The character reference built from the committed Unihan excerpt and read
// through the engine: the entries as the character sheet and the
// definition pane format them, the reading a cross reference is matched by,
// search by character and by each common reading, and the radical input's
// tables; and the tool's own check catching a file that reads back wrong.
#include "tools/devicedata/unihan_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/radical_table.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "resources/syllables.h"
#include "tests/engine_fetch/fetch_fixture.h"
#include "tools/databuild/entry_markup.h"
#include "tools/databuild/markup_index.h"
#include "tools/databuild/table_rules.h"
#include "tools/devicedata/unihan_check.h"

namespace devicedata {
namespace {

namespace db = databuild;
namespace fs = std::filesystem;

const std::string kExcerpts = SORVI_DEVICEDATA_EXCERPTS;

char16_t Code(const char* spelling, int tone) {
  const int s = FindSyllable(spelling);
  EXPECT_GE(s, 0) << spelling;
  return static_cast<char16_t>(0xE000 + 5 * s + tone);
}

std::u16string Mark(uint32_t f) { return std::u16string(1, static_cast<char16_t>(0xEA00 + f)); }

UnihanData Excerpt() {
  UnihanData data;
  std::string error;
  EXPECT_EQ(ReadUnihanFolder(kExcerpts + "/unihan", &data, &error), 0) << error;
  return data;
}

// The content of field f in an entry text, or "<none>".
std::u16string FieldText(const std::u16string& text, uint32_t f) {
  const size_t at = text.find(Mark(f));
  if (at == std::u16string::npos) return u"<none>";
  size_t end = at + 1;
  while (end < text.size() && !(text[end] >= 0xEA00 && text[end] < 0xEA00 + kUnihanFieldCount)) ++end;
  return text.substr(at + 1, end - at - 1);
}

TEST(UnihanEntries, FieldsFromTheSource) {
  const UnihanData data = Excerpt();
  struct Case {
    char16_t ch;
    uint32_t field;
    std::u16string content;  // u"<none>": the field is not written
  } cases[] = {
      // The character first, then the main reading: kMandarin's first.
      {u'好', kUnihanCharacter, u"好"},
      {u'好', kUnihanMainReading, {Code("hao", 3)}},
      // Common readings: kMandarin, then the frequency corpus, the modern dictionaries.
      {u'好', kUnihanPinyin, {Code("hao", 3), u',', u' ', Code("hao", 1), u',', u' ', Code("hao", 4)}},
      {u'乾', kUnihanPinyin, {Code("qian", 2), u',', u' ', Code("gan", 1)}},
      {u'妈', kUnihanPinyin, {Code("ma", 1), u',', u' ', Code("ma", 0)}},
      // The historical dictionary's further readings are rare.
      {u'干', kUnihanRareReadings, {Code("an", 4)}},
      {u'好', kUnihanRareReadings, u"<none>"},
      {u'好', kUnihanDefinition, u"good, excellent, fine; well"},
      {u'好', kUnihanStrokes, u"6"},
      {u'好', kUnihanRadical, u"女 38.3"},
      {u'说', kUnihanRadical, u"讠 149'.7"},  // the simplified form of the radical
      {u'紅', kUnihanRadical, u"糸 120.3"},
      // Variants: the character alone as its own variant says nothing.
      {u'乾', kUnihanSimplified, u"乾 干"},
      {u'乾', kUnihanTraditional, u"<none>"},
      {u'说', kUnihanTraditional, u"說"},
      {u'說', kUnihanSimplified, u"说"},
      {u'㐀', kUnihanSemantic, u"丘"},
      {u'\uF900', kUnihanCompatibility, u"\u8C48"},  // 豈 U+F900 is 豈 U+8C48
      {u'好', kUnihanFrequency, u"1"},
      {u'好', kUnihanCantonese, u"hou2"},
      {u'好', kUnihanCode, u"U+597D"},
      {u'五', kUnihanNumeric, u"5"},
  };
  for (const Case& c : cases) {
    const UnihanChar* uc = FindUnihanChar(data, c.ch);
    ASSERT_NE(uc, nullptr) << static_cast<int>(c.ch);
    UnihanEntry e;
    std::string error;
    ASSERT_EQ(MakeUnihanEntry(*uc, data.radicals, &e, &error), 0) << error;
    EXPECT_TRUE(FieldText(e.entry.text, c.field) == c.content)
        << "U+" << std::hex << static_cast<int>(c.ch) << " field " << std::dec << c.field;
    EXPECT_EQ(e.entry.text.substr(0, 2), Mark(kUnihanCharacter) + std::u16string(1, c.ch));
  }
}

TEST(UnihanEntries, ValuesThatWouldBreakTheMarkupFail) {
  UnihanChar c;
  c.code = u'好';
  c.props["kDefinition"] = "good \xEE\xA8\x81 well";  // U+EA01, a field mark
  UnihanEntry e;
  std::string error;
  EXPECT_EQ(MakeUnihanEntry(c, {}, &e, &error), 1);
  EXPECT_NE(error.find("U+597D: kDefinition"), std::string::npos) << error;
  c.props.clear();
  c.props["kRSUnicode"] = "38";
  EXPECT_EQ(MakeUnihanEntry(c, {}, &e, &error), 1);
  EXPECT_NE(error.find("kRSUnicode"), std::string::npos) << error;
  c.props.clear();
  c.props["kSimplifiedVariant"] = "4E7E";
  EXPECT_EQ(MakeUnihanEntry(c, {}, &e, &error), 1);
  EXPECT_NE(error.find("kSimplifiedVariant"), std::string::npos) << error;
}

TEST(UnihanRadicals, TablesFromTheExcerpt) {
  const UnihanData data = Excerpt();
  db::RadicalTablesSpec desc;
  std::string error;
  ASSERT_EQ(MakeUnihanRadicalTables(data, &desc, &error), 0) << error;
  // 240 forms, each with its stroke count: 糸 6, 纟 3 (from its own
  // kTotalStrokes), before it in stroke order.
  ASSERT_EQ(desc.listB.size(), 240u);
  ASSERT_EQ(desc.listA.size(), 18u);  // 17 stroke counts and item 0
  for (int s = 1; s <= 17; ++s) EXPECT_LE(desc.listA[s - 1], desc.listA[s]) << s;
  EXPECT_EQ(desc.listA[1], 0u);
  EXPECT_EQ(desc.listA[2], 6u);  // radicals 1-6 have one stroke
  for (size_t i = 0; i < desc.listB.size(); ++i) {
    const db::RadicalListItem& it = desc.listB[i];
    ASSERT_GE(it.byte, 1);
    EXPECT_GE(i, desc.listA[it.byte]) << i;
    if (it.byte < 17) {
      EXPECT_LT(i, desc.listA[it.byte + 1]) << i;
    }
    if (it.code == u'糸' || it.code == u'纟') {
      EXPECT_EQ(it.byte, it.code == u'糸' ? 6 : 3);
      EXPECT_EQ(it.key, 120);
    }
  }
}

TEST(UnihanRadicals, KangxiStrokeCounts) {
  struct Case {
    int number, strokes;
  } cases[] = {{1, 1}, {6, 1}, {7, 2}, {29, 2}, {30, 3}, {85, 4}, {120, 6}, {149, 7}, {212, 16}, {213, 16},
               {214, 17}, {0, 0}, {215, 0}};
  for (const Case& c : cases) EXPECT_EQ(KangxiRadicalStrokes(c.number), c.strokes) << c.number;
}

// The file of the excerpt, opened by an engine with a small word
// dictionary beside it.
class UnihanFileTest : public fetchfix::EngineFixture {
 protected:
  void SetUp() override {
    data_ = Excerpt();
    std::string error;
    ASSERT_EQ(BuildUnihanFile(data_, UnihanNotice(data_.version), &file_, &contents_, &stats_, &error), 0) << error;
    ASSERT_EQ(db::CheckDataFileRules(file_, &error), 0) << error;
  }
  // The words dictionary: two entries for 好 (hào first) and 女.
  void AddWords() {
    db::DictionarySpec dict;
    dict.info.creator = 0x574F5244;
    dict.info.dictId = 9;
    dict.info.shortName = u"Words";
    db::SetEntryMarkupFields(&dict.info);
    dict.searchIndexes = true;
    const struct {
      const char16_t* head;
      const char* pinyin;
      const char16_t* sense;
    } rows[] = {{u"好", "hao4", u"to be fond of"}, {u"好", "hao3", u"good"}, {u"女", "nu:3", u"woman"}};
    for (const auto& r : rows) {
      db::PlainEntry e;
      e.simplified = r.head;
      e.pinyin = r.pinyin;
      e.senses.push_back({r.sense, {}});
      db::DictEntrySpec entry;
      std::string error;
      ASSERT_EQ(db::MakeIndexedMarkupEntry(e, &entry, &error), 0) << error;
      dict.entries.push_back(entry);
    }
    AddDict(dict);
  }
  uint32_t EntryOf(char16_t ch) {
    for (uint32_t i = 0; i < contents_.chars.size(); ++i)
      if (contents_.chars[i] == ch) return i;
    ADD_FAILURE() << "no entry for " << static_cast<int>(ch);
    return 0;
  }
  std::u16string Fetch(uint16_t slot, uint32_t entry, uint32_t options, uint32_t classMask = 0, uint32_t level = 0,
                       uint32_t field = 0) {
    EntryFetchRequest r{};
    r.slot = slot;
    r.entry = entry;
    r.options = options;
    r.classMask = classMask;
    r.levelLimit = level;
    r.fieldIndex = field;
    int rc = -1;
    std::u16string text = EngineFixture::Fetch(r, &rc);
    EXPECT_EQ(rc, 0);
    return text;
  }
  // (slot, entry) of every result of a Chinese query.
  std::vector<std::pair<uint16_t, uint32_t>> Find(const std::u16string& query) {
    SearchRequest r{};
    r.query = reinterpret_cast<const WCHAR*>(query.c_str());
    r.language = kLanguageChinese;
    r.currentSlot = 65535;
    r.sortMode = kSortByRank;
    std::vector<std::pair<uint16_t, uint32_t>> out;
    SearchResultList* list = Search(engine_, &r);
    for (uint32_t i = 0; list && i < list->count; ++i) {
      out.push_back({static_cast<uint16_t>(list->items[i].first & 0xFFF), list->items[i].entry});
    }
    FreeResultList(list);
    return out;
  }
  static bool Has(const std::u16string& text, const std::u16string& part) {
    return text.find(part) != std::u16string::npos;
  }

  UnihanData data_;
  db::DataFileSpec file_;
  UnihanContents contents_;
  UnihanBuildStats stats_;
};

TEST_F(UnihanFileTest, CountsOfTheBuild) {
  EXPECT_EQ(stats_.entries, 21u);
  EXPECT_EQ(stats_.outsideBmp, 1u);
  EXPECT_EQ(stats_.version, "15.0.0");
  EXPECT_EQ(stats_.withDefinition, 21u);
  // 豈 (U+F900) has no Mandarin reading; 氵 reads "shui" (neutral tone).
  EXPECT_EQ(stats_.withReading, 20u);
  // Radicals 1, 2, 5, 7, 38, 51, 85, 120, 144, 149, 168: the compatibility
  // ideograph of radical 151 is in no list.
  EXPECT_EQ(stats_.radicals, 11u);
  EXPECT_EQ(stats_.radicalChars, 20u);
}

TEST_F(UnihanFileTest, TheCharacterSheetAndThePane) {
  files_.Add(file_);
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(GetDictCount(engine_), 1);
  EXPECT_EQ(GetDictFlags(engine_, 0) & 0x10, 0x10u);
  const uint32_t hao = EntryOf(u'好');

  // "All details" at the normal level and with "Rare" checked.
  const std::u16string normal = Fetch(0, hao, kFetchFieldNames | kFetchLevelLimit, 0, 2);
  const std::u16string rare = Fetch(0, hao, kFetchFieldNames | kFetchLevelLimit, 0, 5);
  for (const std::u16string& text : {normal, rare}) {
    for (const char16_t* part : {u"Character:", u"Pinyin:", u"hǎo, hāo, hào", u"Definition:",
                                 u"good, excellent, fine; well", u"Radical:", u"女 38.3", u"Strokes:", u"6 strokes",
                                 u"Frequency:"}) {
      EXPECT_TRUE(Has(text, part)) << "missing a part";
    }
    EXPECT_FALSE(Has(text, u"Main reading")) << "the main reading is no detail";
  }
  for (const char16_t* part : {u"Cantonese:", u"hou2", u"Japanese kun:", u"KONOMU", u"Unicode:", u"U+597D"}) {
    EXPECT_TRUE(Has(rare, part));
    EXPECT_FALSE(Has(normal, part)) << "a rare field at the normal level";
  }

  // A list row and the head of the definition pane: the character and its
  // main reading (classes 0 and 1); then the pane's body (class 3) without
  // the sheet-only details.
  EXPECT_EQ(Utf16ToUtf8(Fetch(0, hao, kFetchClassMask | kFetchOneLine, 3)), "好 hǎo");
  const std::u16string body = Fetch(0, hao, kFetchClassMask, 8);
  EXPECT_TRUE(Has(body, u"good, excellent, fine; well"));
  EXPECT_TRUE(Has(body, u"6 strokes"));
  EXPECT_FALSE(Has(body, u"hou2"));
  EXPECT_TRUE(Fetch(0, EntryOf(u'说'), kFetchClassMask, 8).find(u"trad. 說") != std::u16string::npos);

  // What the reading match and the word length read.
  EXPECT_TRUE(Fetch(0, hao, kFetchOneField | kFetchRawSyllables, 0, 0, 0x21) == std::u16string(1, Code("hao", 3)));
  EXPECT_EQ(GetEntryWordLength(engine_, 0, hao), 1);
  uint16_t slot = 65535;
  int32_t entry = -1;
  FindEntryInFlaggedDicts(engine_, u'好', &slot, &entry);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(entry, static_cast<int32_t>(hao));
}

TEST_F(UnihanFileTest, FoundByCharacterAndEachCommonReading) {
  files_.Add(file_);
  ASSERT_NE(Create(), nullptr);
  struct Case {
    const char16_t* query;
    char16_t ch;
    bool found;
  } cases[] = {
      {u"好", u'好', true},  {u"hao3", u'好', true}, {u"hao4", u'好', true},   // a further common reading
      {u"hao1", u'好', true}, {u"hao2", u'好', false}, {u"gan1", u'乾', true},  // 乾's second reading
      {u"qian2", u'乾', true}, {u"an4", u'干', false},                         // a rare reading is not a key
      {u"㐀", u'㐀', true},   {u"xing2", u'行', true}, {u"heng2", u'行', true},
      {u"hao", u'好', true},  {u"shui", u'氵', true}, {u"ma", u'妈', true},      // toneless; neutral tone
  };
  for (const Case& c : cases) {
    const auto found = Find(c.query);
    const bool has = std::find(found.begin(), found.end(), std::make_pair(uint16_t{0}, EntryOf(c.ch))) != found.end();
    EXPECT_EQ(has, c.found) << Utf16ToUtf8(c.query);
  }
}

TEST_F(UnihanFileTest, CrossReferencesPickTheWordOfTheMainReading) {
  AddWords();
  files_.Add(file_);
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(GetDictCount(engine_), 2);
  SearchRequest r{};
  r.query = reinterpret_cast<const WCHAR*>(u"好");
  r.language = kLanguageChinese;
  r.currentSlot = 65535;
  r.sortMode = kSortByRank;
  SearchResultList* list = Search(engine_, &r);
  ASSERT_NE(list, nullptr);
  ASSERT_GE(list->count, 2u);
  ASSERT_EQ(list->items[0].first & 0xFFF, 0u);  // the words first, hào before hǎo
  ASSERT_EQ(list->items[0].entry, 0u);
  // The character reference's main reading of 好 is hǎo: the second word.
  EXPECT_EQ(PickResultByCharReading(engine_, list, reinterpret_cast<const WCHAR*>(u"好")), 1u);
  FreeResultList(list);
}

TEST_F(UnihanFileTest, TheRadicalInput) {
  AddWords();
  files_.Add(file_);
  ASSERT_NE(Create(), nullptr);
  ASSERT_NE(GetRadicalTable(engine_), nullptr);
  auto list = [&](uint32_t radical, WCHAR form, int unfiltered, int useVariants) -> std::u16string {
    if (BuildRadicalCharList(engine_, radical, form, unfiltered, useVariants) != 0) return u"<none>";
    uint32_t n = 0;
    const WCHAR* p = GetRadicalListData(engine_, 0, &n);
    return std::u16string(reinterpret_cast<const char16_t*>(p), n);
  };
  struct Case {
    uint32_t radical;
    WCHAR form;
    int unfiltered, useVariants;
    std::u16string chars;
  } cases[] = {
      // Sections by residual strokes with their marks (③ = 3 further strokes).
      {38, 0, 1, 0, u"女③好妈⑩媽"},
      {120, 0, 1, 0, u"糸纟③紅红"},
      {120, u'纟', 1, 1, u"纟③红"},  // the simplified form leaves the traditional block out
      {120, u'糸', 1, 1, u"糸③紅"},
      {1, 0, 1, 0, u"一④㐀"},       // the common block, then extension A; 𠀀 (U+20000) left out
      {2, 0, 1, 0, u"③中"},
      {149, 0, 1, 0, u"⑦說说"},
      {168, 0, 1, 0, u"長长"},
      {38, 0, 0, 0, u"女③好"},      // only characters the word dictionary has
      {151, 0, 1, 0, u"<none>"},    // 豈 is a compatibility ideograph: no record
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(list(c.radical, c.form, c.unfiltered, c.useVariants) == c.chars) << c.radical;
  }

  struct Code {
    char16_t ch;
    uint32_t radical;
  } codes[] = {{u'好', 38}, {u'说', 149}, {u'㐀', 1}, {u'长', 168}, {u'\uF900', 0}, {u'a', 0}};
  for (const Code& c : codes) EXPECT_EQ(LookupRadicalCode(engine_, c.ch), c.radical) << static_cast<int>(c.ch);
  EXPECT_EQ(FindRadicalIndex(engine_, 38), u'女');
  EXPECT_EQ(FindRadicalIndex(engine_, 120), u'纟');  // the first form in stroke order

  // The radical list: 240 cells of (radical, strokes | number << 8),
  // sectioned by stroke count 1-17.
  uint32_t n = 0;
  const WCHAR* items = GetRadicalListData(engine_, 1, &n);
  ASSERT_EQ(n, 480u);
  EXPECT_EQ(items[0], u'一');
  EXPECT_EQ(items[1], 1 | 1 << 8);
  uint16_t numbers[kMaxRadicalSections];
  uint32_t count = 0;
  ASSERT_EQ(GetRadicalSections(engine_, 1, numbers, &count), 0);
  ASSERT_EQ(count, 17u);
  EXPECT_EQ(numbers[16], 17);
  SetRadicalTableFlag(engine_, 1);
  EXPECT_EQ(GetRadicalSectionStart(engine_, 0), 0u);  // one stroke
  EXPECT_EQ(GetRadicalSectionStart(engine_, 1), 6u);  // two strokes: after radicals 1-6
  const uint32_t sixth = GetRadicalSectionStart(engine_, 5);
  EXPECT_EQ(items[2 * sixth + 1] & 0xFF, 6);  // the first radical of six strokes
}

TEST_F(UnihanFileTest, TheToolsCheckPassesAndCatchesWrongReadings) {
  const fs::path dir = fs::temp_directory_path() / ("sorvi-unihan-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "s2unihan.pdb").string();
  std::string error;
  ASSERT_EQ(db::WriteDataFile(file_, path, &error), 0) << error;
  EXPECT_EQ(CheckUnihanFile(path, contents_, &error), 0) << error;

  UnihanContents wrong = contents_;
  wrong.mainReadings[EntryOf(u'好')] = Code("hao", 4);
  EXPECT_EQ(CheckUnihanFile(path, wrong, &error), 1);
  EXPECT_NE(error.find("U+597D: field 0x21"), std::string::npos) << error;

  wrong = contents_;
  wrong.radicals.radicals[0].sections[0] += u"丁";
  EXPECT_EQ(CheckUnihanFile(path, wrong, &error), 1);
  EXPECT_NE(error.find("lists other characters"), std::string::npos) << error;

  wrong = contents_;
  wrong.readings[EntryOf(u'好')].push_back(Code("hao", 2));
  EXPECT_EQ(CheckUnihanFile(path, wrong, &error), 1);
  EXPECT_NE(error.find("hao2 misses U+597D"), std::string::npos) << error;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace devicedata
