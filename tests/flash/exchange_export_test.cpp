// Export of cards and user-dictionary entries: the XML document, text in
// five encodings, the choice of what is written, definitions from the
// dictionaries, the block handling and the stored settings record.
#include "flash/exchange_export.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_set.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/exchange_import.h"
#include "flash/profile_lists.h"
#include "flash_fixture.h"
#include "platform/files.h"
#include "resources/resources.h"
#include "tests/engine_text/text_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

// What the write callback was handed, and how it answers.
struct Sink {
  std::string bytes;
  std::vector<uint32_t> blocks;  // length of each call
  int failAtCall = -1;           // 0-based call that fails; -1 never
  int failWith = 0;
  bool failLast = false;  // fail the call that ends the export (checked after)
  std::vector<std::pair<uint32_t, uint32_t>> progress;
};

int WriteToSink(ExportSettingsRecord* s, const uint8_t* bytes, uint32_t length) {
  auto* sink = static_cast<Sink*>(s->run.user);
  const int call = static_cast<int>(sink->blocks.size());
  sink->blocks.push_back(length);
  if (call == sink->failAtCall) return sink->failWith;
  sink->bytes.append(reinterpret_cast<const char*>(bytes), length);
  return 0;
}
void ProgressToSink(ExportSettingsRecord* s, uint32_t written, uint32_t total) {
  static_cast<Sink*>(s->run.user)->progress.push_back({written, total});
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ExportTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    RegisterSorviResources();
    OpenExport(false);
  }
  void TearDown() override {
    FlashTest::TearDown();
    for (DbFile* f : dataFiles) CloseDbFile(f);
  }
  // The engine over the store, the user folder and, when asked for, a data
  // file with the GB-2312 and Big5 code pages.
  void OpenExport(bool codePages) {
    Destroy();
    if (codePages && dataFiles.empty()) {
      const databuild::DataFileSpec desc = textfix::CodePageFile(
          {&textfix::CodePage(databuild::kCodePageGb2312), &textfix::CodePage(databuild::kCodePageBig5)});
      databuild::ByteVec bytes;
      std::string error;
      ASSERT_EQ(databuild::BuildDataFile(desc, &bytes, nullptr, &error), 0) << error;
      std::ofstream(root.Host("pages.pdb"), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      HANDLE h = CreateFileW(u"\\pages.pdb", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      int kind = 0;
      DbFile* f = OpenDbFile(h, u"\\pages.pdb", &kind);
      ASSERT_NE(f, nullptr);
      dataFiles.push_back(f);
    }
    EngineParams p{};
    // The store's file once it exists, or it would be made anew.
    const char* kvb = kDefaultKvb;
    if (std::filesystem::exists(HostOf(kDefaultKvb))) {
      p.userDbNames = &kvb;
      p.userDbCount = 1;
    }
    p.noFonts = 1;
    p.flashcardArg = const_cast<char*>(kDefaultKvb);
    p.host = &host;
    p.userFolder = "\\My Documents\\";
    p.userExtension = ".kvb";
    engine = CreateEngine(dataFiles.data(), static_cast<uint32_t>(dataFiles.size()), &p);
    ASSERT_NE(engine, nullptr);
    store = GetFlashcardStore(engine);
    ASSERT_NE(store, nullptr);
  }

  int32_t AddCard(const char16_t* hw, const char16_t* althw, const char16_t* pron, const char16_t* defn,
                  uint32_t language = kCardLanguageChinese, std::vector<int32_t> categories = {}) {
    CardEditRecord r{};
    r.scorefile = -1;
    r.language = language;
    r.headword = hw;
    r.altHeadword = althw;
    r.pronunciation = pron;
    r.definition = defn;
    r.duplicateMode = kDuplicateAllow;
    r.categories = categories.data();
    r.categoryCount = static_cast<uint32_t>(categories.size());
    const int32_t id = SaveCard(store, &r, -1);
    EXPECT_GT(id, 0);
    return id;
  }
  int32_t Category(const char16_t* name, int32_t parent = kCategoryRoot) {
    const int32_t id = CreateCategory(store, name, kCategoryNone, parent, kCategoryNone);
    EXPECT_GT(id, 0);
    return id;
  }
  void Card(int32_t id, const std::string& set) {
    OnStore("UPDATE sorvi_flash_cards SET " + set + " WHERE id = " + std::to_string(id));
  }

  ExportSettingsRecord Settings(uint32_t format = kExportFormatXml, uint32_t encoding = kExportUtf8) {
    ExportSettingsRecord s;
    InitExportSettings(&s);
    s.format = format;
    s.encoding = encoding;
    s.run.write = WriteToSink;
    s.run.progress = ProgressToSink;
    s.run.user = &sink;
    return s;
  }
  std::string Export(ExportSettingsRecord s, int expected = 0) {
    sink = Sink{};
    s.run.user = &sink;
    EXPECT_EQ(ExportFlashcards(engine, &s), expected);
    return sink.bytes;
  }
  std::string Text(uint32_t language = kExportChineseEnglish, uint32_t charset = kExportCharsetBoth) {
    ExportSettingsRecord s = Settings(kExportFormatText);
    s.language = language;
    s.charset = charset;
    const std::string out = Export(s);
    EXPECT_EQ(out.substr(0, 3), "\xEF\xBB\xBF");
    return out.size() >= 3 ? out.substr(3) : out;
  }
  // The cards part of an XML export.
  std::string Cards(ExportSettingsRecord s) {
    const std::string out = Export(s);
    const size_t from = out.find("<cards>"), to = out.rfind("</cards>");
    EXPECT_NE(from, std::string::npos);
    EXPECT_NE(to, std::string::npos);
    return from == std::string::npos || to == std::string::npos ? out : out.substr(from + 7, to - from - 7);
  }
  int32_t FirstScorefile() { return GetScorefileIdByIndex(store, 0); }

  Sink sink;
  std::vector<DbFile*> dataFiles;
};

// The virtual clock's now: 2026-12-10 12:00 UTC.
constexpr char kNow[] = "1796904000";

TEST_F(ExportTest, TwoCardDocumentEqualsTheGoldenLine) {
  const int32_t top = Category(u"Top");
  const int32_t mid = Category(u"A", top);
  const int32_t chinese = AddCard(u"中国", u"中國", u"zhong1guo2", u"China <&\"> @home", kCardLanguageChinese, {mid});
  AddCard(u"cat", nullptr, nullptr, u"猫", kCardLanguageEnglish);
  CardScoreRecord score;
  InitCardScoreRecord(&score);
  score.score = 250;
  score.history[0] = 6;
  score.history[1] = 2;
  score.correct = 1;
  score.incorrect = 1;
  score.reviewed = 2;
  ASSERT_EQ(WriteCardScore(store, FirstScorefile(), chinese, &score), 0);
  ExportSettingsRecord s = Settings();
  std::memcpy(s.documentName, u"flash.xml", sizeof(u"flash.xml"));
  const std::string golden =
      std::string(
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
          "<sorviflash formatversion=\"2\" name=\"flash.xml\" generator=\"Sorvi 2.0 Flashcard "
          "Exporter\" platform=\"Windows Mobile\" created=\"") +
      kNow +
      "\"><categories><category name=\"Top\"/><category name=\"Top/A\"/></categories>"
      "<cards><card language=\"chinese\" created=\"" +
      kNow + "\" modified=\"" + kNow +
      "\"><entry><headword charset=\"sc\">中国</headword><headword charset=\"tc\">中國</headword>"
      "<pron type=\"hypy\" tones=\"numbers\">zhong1guo2</pron>"
      "<defn>China &lt;&amp;&quot;&gt; @home</defn></entry>"
      "<catassign category=\"Top/A\"/>"
      "<scoreinfo scorefile=\"Default\" score=\"250\" difficulty=\"100\" history=\"62\" "
      "correct=\"1\" incorrect=\"1\" reviewed=\"2\" sincelast=\"0\" firstreviewedtime=\"" +
      kNow +
      "\" lastreviewedtime=\"0\"/></card>"
      "<card language=\"english\" created=\"" +
      kNow + "\" modified=\"" + kNow +
      "\"><entry><headword>cat</headword><defn>猫</defn></entry></card>"
      "</cards></sorviflash>";
  EXPECT_EQ(Export(s), golden);
}

TEST_F(ExportTest, ScoreInfoHasTenAttributesWithoutPriorityOrPool) {
  const int32_t card = AddCard(u"好", nullptr, u"hao3", nullptr);
  CardScoreRecord score;
  InitCardScoreRecord(&score);
  ASSERT_EQ(WriteCardScore(store, FirstScorefile(), card, &score), 0);
  std::string xml = Cards(Settings());
  const size_t at = xml.find("<scoreinfo ");
  ASSERT_NE(at, std::string::npos);
  const std::string tag = xml.substr(at, xml.find("/>", at) - at);
  EXPECT_EQ(Count(tag, "=\""), 10u) << tag;
  // Priority and pool go last, in that order, by name.
  score.priority = kPriorityVeryHigh;
  score.poolMark = kPoolForceAdd;
  ASSERT_EQ(WriteCardScore(store, FirstScorefile(), card, &score), 0);
  xml = Cards(Settings());
  EXPECT_NE(xml.find("lastreviewedtime=\"0\" priority=\"veryhigh\" forcepool=\"include\"/>"), std::string::npos) << xml;
  // A second scorefile with a row gives a second element; "Statistics" off
  // gives none.
  const int32_t second = CreateScorefile(store, u"Second", -1);
  ASSERT_GT(second, 0);
  ASSERT_EQ(WriteCardScore(store, second, card, &score), 0);
  EXPECT_EQ(Count(Cards(Settings()), "<scoreinfo "), 2u);
  ExportSettingsRecord s = Settings();
  s.statistics = 0;
  EXPECT_EQ(Count(Cards(s), "<scoreinfo "), 0u);
}

TEST_F(ExportTest, HeadwordsPronunciationAndDates) {
  AddCard(nullptr, u"國", u"guo2", nullptr);
  ExportSettingsRecord s = Settings();
  s.dates = 0;
  // An alternative headword alone is "tc"; the key form's '@' is not written.
  EXPECT_EQ(Cards(s),
            "<card language=\"chinese\"><entry><headword charset=\"tc\">國</headword>"
            "<pron type=\"hypy\" tones=\"numbers\">guo2</pron></entry></card>");
}

TEST_F(ExportTest, DictionaryReferencesOwnThenAlternativesAtMost32) {
  const int32_t card = AddCard(u"好", nullptr, u"hao3", nullptr);
  // Own reference, then triples: a zero creator (omitted), a -1 entry (not
  // written), then enough to pass 32 in all.
  std::string alt = "0:12345:3,5:6:-1,";
  for (int i = 0; i < 40; ++i) alt += std::to_string(i + 1) + ":7:" + std::to_string(i) + ",";
  Card(card,
       "dictcreator = 77, dictid = " + std::to_string(0x41424344) + ", dictentry = 9, altdictrefs = '" + alt + "'");
  const std::string xml = Cards(Settings());
  EXPECT_NE(
      xml.find("</entry><dictref dictcreator=\"77\" dictid=\"ABCD\" entryid=\"9\"/>"
               "<dictref dictid=\"12345\" entryid=\"3\"/><dictref dictcreator=\"1\" dictid=\"7\" entryid=\"0\"/>"),
      std::string::npos)
      << xml;
  // 32 references are read; the one with entry -1 is among them, unwritten.
  EXPECT_EQ(Count(xml, "<dictref "), 31u);
  EXPECT_EQ(xml.find("dictid=\"6\""), std::string::npos);
}

TEST_F(ExportTest, CategoryBlockOnlyForAllCards) {
  const int32_t a = Category(u"L1");
  const int32_t b = Category(u"L2", a);
  const int32_t c = Category(u"L3", b);
  const int32_t card = AddCard(u"好", nullptr, u"hao3", nullptr, kCardLanguageChinese, {c, a});
  std::string out = Export(Settings());
  EXPECT_NE(out.find("<categories><category name=\"L1\"/><category name=\"L1/L2\"/><category name=\"L1/L2/L3\"/>"
                     "</categories>"),
            std::string::npos)
      << out;
  EXPECT_EQ(Count(out, "<catassign "), 2u);
  // Chosen categories: their cards only, no category block.
  AddCard(u"猫", nullptr, u"mao1", nullptr);
  ExportSettingsRecord s = Settings();
  s.scope = kExportScopeCategories;
  s.run.categoryIds = &b;  // with its subcategory
  s.run.categoryCount = 1;
  out = Export(s);
  EXPECT_EQ(out.find("<categories>"), std::string::npos);
  EXPECT_EQ(Count(out, "<card "), 1u);
  EXPECT_NE(out.find("好"), std::string::npos);
  (void)card;
}

TEST_F(ExportTest, XmlIsUtf8WhateverEncodingIsChosen) {
  OpenExport(true);
  AddCard(u"中", nullptr, u"zhong1", nullptr);
  for (uint32_t encoding : {kExportGb2312, kExportBig5, kExportUtf16Le, kExportUtf16Be}) {
    const std::string out = Export(Settings(kExportFormatXml, encoding));
    EXPECT_EQ(out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sorviflash ", 0), 0u) << encoding;
    EXPECT_NE(out.find("\xE4\xB8\xAD"), std::string::npos) << encoding;
  }
}

TEST_F(ExportTest, TextEncodingsAndTheirMarks) {
  OpenExport(true);
  AddCard(u"中", nullptr, u"zhong1", u"middle");
  struct Case {
    uint32_t encoding;
    std::string expected;
  } cases[] = {
      {kExportUtf8, "\xEF\xBB\xBF\xE4\xB8\xAD\tzhong1\tmiddle\r\n"},
      {kExportUtf16Le, std::string("\xFF\xFE\x2D\x4E\t\0z\0", 8)},
      {kExportUtf16Be, std::string("\xFE\xFF\x4E\x2D\0\t\0z", 8)},
      {kExportGb2312, "\xD6\xD0\tzhong1\tmiddle\r\n"},  // no mark
      {kExportBig5, "\xA4\xA4\tzhong1\tmiddle\r\n"},
  };
  for (const Case& c : cases) {
    const std::string out = Export(Settings(kExportFormatText, c.encoding));
    EXPECT_EQ(out.substr(0, c.expected.size()), c.expected) << c.encoding;
  }
  const std::string be = Export(Settings(kExportFormatText, kExportUtf16Be));
  EXPECT_EQ(be.substr(be.size() - 4), std::string("\0\r\0\n", 4));
  const std::string le = Export(Settings(kExportFormatText, kExportUtf16Le));
  EXPECT_EQ(le.substr(le.size() - 4), std::string("\r\0\n\0", 4));
}

TEST_F(ExportTest, AnEncodingWithoutItsCodePageFails) {
  AddCard(u"中", nullptr, u"zhong1", u"middle");
  Export(Settings(kExportFormatText, kExportGb2312), 1);
}

TEST_F(ExportTest, TextByCategoryUncategorizedFirstAndCardsUnderEachCategory) {
  const int32_t a = Category(u"A");
  const int32_t b = Category(u"B", a);
  Category(u"Empty");
  AddCard(u"一", nullptr, u"yi1", nullptr, kCardLanguageChinese, {a, b});
  AddCard(u"二", nullptr, u"er4", nullptr);
  EXPECT_EQ(Text(), "二\ter4\r\n// A\r\n一\tyi1\r\n// A/B\r\n一\tyi1\r\n");
  // The chosen categories with the categories flag: expanded, -3 first.
  ExportSettingsRecord s = Settings(kExportFormatText);
  const int32_t chosen[] = {b, kCategoryUncategorized};
  s.scope = kExportScopeCategories;
  s.run.categoryIds = chosen;
  s.run.categoryCount = 2;
  EXPECT_EQ(Export(s), "\xEF\xBB\xBF二\ter4\r\n// A/B\r\n一\tyi1\r\n");
  // Without it: one list, each card once, no headers.
  s.categories = 0;
  const int32_t top[] = {a};
  s.run.categoryIds = top;
  s.run.categoryCount = 1;
  EXPECT_EQ(Export(s), "\xEF\xBB\xBF一\tyi1\r\n");
}

TEST_F(ExportTest, TextLineByCharsetAndLayout) {
  struct Case {
    const char* what;
    const char16_t *hw, *althw, *pron, *defn;
    uint32_t language, layout, charset;
    const char* expected;
  } cases[] = {
      {"both forms", u"中国", u"中國", u"zhong1guo2", u"China", kCardLanguageChinese, kExportChineseEnglish,
       kExportCharsetBoth, "中国[中國]\tzhong1guo2\tChina\r\n"},
      {"simplified", u"中国", u"中國", nullptr, nullptr, kCardLanguageChinese, kExportChineseEnglish,
       kExportCharsetSimp, "中国\r\n"},
      {"traditional", u"中国", u"中國", nullptr, nullptr, kCardLanguageChinese, kExportChineseEnglish,
       kExportCharsetTrad, "中國\r\n"},
      {"traditional of a headword alone", u"中", nullptr, nullptr, nullptr, kCardLanguageChinese, kExportChineseEnglish,
       kExportCharsetTrad, "中\r\n"},
      {"simplified of an alternative alone", nullptr, u"國", nullptr, nullptr, kCardLanguageChinese,
       kExportChineseEnglish, kExportCharsetSimp, "國\r\n"},
      {"both of an alternative alone: no brackets", nullptr, u"國", nullptr, nullptr, kCardLanguageChinese,
       kExportChineseEnglish, kExportCharsetBoth, "國\r\n"},
      {"definition without pronunciation", u"中", nullptr, nullptr, u"middle", kCardLanguageChinese,
       kExportChineseEnglish, kExportCharsetBoth, "中\t\tmiddle\r\n"},
      {"TAB dropped, line breaks become blanks", u"中", nullptr, u"zhong1", u"a\tb\r\nc", kCardLanguageChinese,
       kExportChineseEnglish, kExportCharsetBoth, "中\tzhong1\tab  c\r\n"},
      {"English-Chinese: blank between pronunciation and definition", u"cat", nullptr, u"kat", u"猫",
       kCardLanguageEnglish, kExportEnglishChinese, kExportCharsetBoth, "cat\tkat 猫\r\n"},
      // A pronunciation without definition keeps its TAB: "catkat" would
      // read back as another headword.
      {"English-Chinese: pronunciation alone", u"cat", nullptr, u"kat", nullptr, kCardLanguageEnglish,
       kExportEnglishChinese, kExportCharsetBoth, "cat\tkat\r\n"},
      {"English-Chinese: definition alone", u"cat", nullptr, nullptr, u"猫", kCardLanguageEnglish,
       kExportEnglishChinese, kExportCharsetBoth, "cat\t猫\r\n"},
  };
  for (const Case& c : cases) {
    const int32_t id = AddCard(c.hw, c.althw, c.pron, c.defn, c.language);
    EXPECT_EQ(Text(c.layout, c.charset), c.expected) << c.what;
    ASSERT_EQ(DeleteCard(store, id), 0);
  }
}

TEST_F(ExportTest, LanguageFilterOfTextButNotOfXml) {
  AddCard(u"中", nullptr, u"zhong1", nullptr);
  AddCard(u"cat", nullptr, nullptr, u"猫", kCardLanguageEnglish);
  EXPECT_EQ(Text(kExportEnglishChinese), "cat\t猫\r\n");
  EXPECT_EQ(Text(kExportChineseEnglish), "中\tzhong1\r\n");
  EXPECT_EQ(Count(Cards(Settings()), "<card "), 2u);
}

TEST_F(ExportTest, DefinitionsFromTheCardOrFromTheDictionaries) {
  ASSERT_EQ(CreateUserDictFileNamed(engine, kCardLanguageChinese, 0, u"Mine"), 0);
  const uint16_t slot = FindDictByLanguages(engine, kCardLanguageChinese, 65535);
  ASSERT_NE(slot, 65535);
  const int32_t uid = AddUserDictEntry(engine, slot, u"猫", nullptr, u"mao1", u"cat (animal)");
  ASSERT_GE(uid, 0);
  // A card linked to the entry, and a custom card with the same texts and
  // no definition, which only a search by headword ties to the entry.
  CardEditRecord r{};
  r.scorefile = -1;
  r.linked = 1;
  r.dictSlot = slot;
  r.entry = static_cast<uint32_t>(MapDictEntryId(engine, slot, uid));
  r.duplicateMode = kDuplicateAllow;
  const int32_t linked = SaveCard(store, &r, -1);
  ASSERT_GT(linked, 0);
  const int32_t custom = AddCard(u"猫", nullptr, u"mao1", nullptr);
  const int32_t typed = AddCard(u"狗", nullptr, u"gou3", u"dog (typed)");
  struct Case {
    const char* what;
    uint8_t card, dict, remap;
    size_t fromDict;
    bool typedShown;
  } cases[] = {
      {"card definitions only", 1, 0, 0, 0, true},
      {"dictionary fills the linked card", 1, 1, 0, 1, true},
      {"remap fills the custom card too", 1, 1, 1, 2, true},
      {"dictionaries only", 0, 1, 1, 2, false},
  };
  for (const Case& c : cases) {
    ExportSettingsRecord s = Settings(kExportFormatText);
    s.cardDefinitions = c.card;
    s.dictDefinitions = c.dict;
    s.remap = c.remap;
    const std::string out = Export(s);
    EXPECT_EQ(Count(out, "cat (animal)"), c.fromDict) << c.what << "\n" << out;
    EXPECT_EQ(Count(out, "dog (typed)"), c.typedShown ? 1u : 0u) << c.what;
  }
  (void)linked, (void)custom, (void)typed;
}

TEST_F(ExportTest, ResultListSkipsVanishedCardsAndReportsItsSize) {
  const int32_t a = AddCard(u"一", nullptr, u"yi1", nullptr);
  const int32_t b = AddCard(u"二", nullptr, u"er4", nullptr);
  ChunkedArray* list = CreateChunkedArray(1, 2048, 32, 0);
  for (int32_t id : {b, 999999, a}) AppendChunkedArray(list, static_cast<uint32_t>(id), 0);
  ExportSettingsRecord s = Settings(kExportFormatText);
  s.scope = kExportScopeResults;
  s.run.resultCards = list;
  EXPECT_EQ(Export(s), "\xEF\xBB\xBF二\ter4\r\n一\tyi1\r\n");
  EXPECT_EQ(sink.progress, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 3}, {2, 3}}));
  FreeChunkedArray(list);
}

TEST_F(ExportTest, BlocksOfAFixedSizeAndOneCardLargerThanABlock) {
  const std::u16string big(9000, u'长');  // 27,000 bytes of UTF-8
  AddCard(u"一", nullptr, u"yi1", big.c_str());
  const std::u16string definition(1000, u'x');
  for (int i = 0; i < 30; ++i) AddCard(u"二", nullptr, u"er4", definition.c_str());
  const std::string out = Export(Settings(kExportFormatText));
  // The mark alone (the big card does not fit behind it), the big card from
  // an allocation of its own, then blocks of whole lines.
  constexpr uint32_t kBigLine = 3 + 1 + 3 + 1 + 27000 + 2, kLine = 3 + 1 + 3 + 1 + 1000 + 2;
  ASSERT_EQ(sink.blocks.size(), 4u);
  EXPECT_EQ(sink.blocks[0], 3u);
  EXPECT_EQ(sink.blocks[1], kBigLine);
  EXPECT_EQ(sink.blocks[2], 16u * kLine);  // a 17th line would reach the block size
  EXPECT_EQ(sink.blocks[3], 14u * kLine);
  EXPECT_EQ(out.size(), 3u + kBigLine + 30u * kLine);
  EXPECT_EQ(Count(out, "\r\n"), 31u);
}

TEST_F(ExportTest, AFailingWriteEndsTheExportWithItsResult) {
  const std::u16string definition(1000, u'x');
  for (int i = 0; i < 40; ++i) AddCard(u"二", nullptr, u"er4", definition.c_str());
  ExportSettingsRecord s = Settings(kExportFormatText);
  sink = Sink{};
  sink.failAtCall = 0;
  sink.failWith = 7;
  s.run.user = &sink;
  EXPECT_EQ(ExportFlashcards(engine, &s), 7);
  EXPECT_EQ(sink.blocks.size(), 1u);
  // The last, partly filled block: its failure is the export's result too.
  sink = Sink{};
  ASSERT_EQ(ExportFlashcards(engine, &s), 0);
  const int calls = static_cast<int>(sink.blocks.size());
  ASSERT_EQ(calls, 3);
  sink = Sink{};
  sink.failAtCall = calls - 1;
  sink.failWith = 28;  // no space left
  EXPECT_EQ(ExportFlashcards(engine, &s), 28);
  EXPECT_EQ(static_cast<int>(sink.blocks.size()), calls);
}

TEST_F(ExportTest, EntriesOfOneUserDictionary) {
  ASSERT_EQ(CreateUserDictFileNamed(engine, kCardLanguageChinese, 0, u"Mine"), 0);
  const uint16_t slot = FindDictByLanguages(engine, kCardLanguageChinese, 65535);
  ASSERT_NE(slot, 65535);
  ASSERT_GE(AddUserDictEntry(engine, slot, u"猫", u"貓", u"mao1", u"cat"), 0);
  ASSERT_GE(AddUserDictEntry(engine, slot, u"狗", nullptr, u"gou3", u"dog"), 0);
  AddCard(u"一", nullptr, u"yi1", nullptr);  // a card is not an entry
  ExportSettingsRecord s = Settings(kExportFormatXml);
  s.target = kExportTargetUserDict;
  s.dictCreator = GetDictCreator(engine, slot);
  s.dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  const std::string xml = Cards(s);
  EXPECT_EQ(Count(xml, "<card "), 2u) << xml;
  EXPECT_NE(xml.find("<headword charset=\"sc\">猫</headword><headword charset=\"tc\">貓</headword>"),
            std::string::npos);
  EXPECT_EQ(xml.find("<dictref"), std::string::npos);
  EXPECT_EQ(xml.find("一"), std::string::npos);
  // Text in the dictionary's layout, whatever the record's language says.
  s.format = kExportFormatText;
  s.language = kExportEnglishChinese;
  const std::string text = Export(s);
  EXPECT_EQ(Count(text, "\r\n"), 2u);
  EXPECT_NE(text.find("猫[貓]\tmao1\tcat\r\n"), std::string::npos) << text;
  // A dictionary that is not open.
  s.dictId += 1000;
  Export(s, 1);
  EXPECT_TRUE(sink.blocks.empty());
}

TEST_F(ExportTest, ARecordWithAValueOutsideItsEnumerationIsRefused) {
  AddCard(u"一", nullptr, u"yi1", nullptr);
  for (auto damage :
       {+[](ExportSettingsRecord* s) { s->encoding = 9; }, +[](ExportSettingsRecord* s) { s->format = 33; },
        +[](ExportSettingsRecord* s) { s->target = 0; }, +[](ExportSettingsRecord* s) { s->charset = 3; },
        +[](ExportSettingsRecord* s) { s->scope = 3; }, +[](ExportSettingsRecord* s) { s->language = 1; }}) {
    ExportSettingsRecord s = Settings();
    damage(&s);
    Export(s, 1);
    EXPECT_TRUE(sink.blocks.empty());
  }
}

// --- The stored record ------------------------------------------------------

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

TEST(ExportSettings, DefaultsAndTheStoredImage) {
  ExportSettingsRecord s;
  InitExportSettings(&s);
  s.run.write = WriteToSink;
  s.run.categoryCount = 5;
  s.dictCreator = 0x53525655;
  std::memcpy(s.documentName, u"名", sizeof(u"名"));
  uint8_t image[kExportSettingsSize];
  EncodeExportSettings(&s, image);
  struct Field {
    uint32_t offset, value;
  } fields[] = {{0, 1},  {4, 3},    {8, 49},          {12, 0x1000},     {16, 0},         {20, 0},
                {24, 0}, {28, 0},   {32, 0},          {36, 0},          {40, 0},         {44, 0},
                {64, 0}, {1092, 0}, {56, 0x53525655}, {48, 0x01010100}, {52, 0x00010000}};
  for (const Field& f : fields) EXPECT_EQ(Le32(image + f.offset), f.value) << f.offset;
  EXPECT_EQ(image[68], '\\');
  EXPECT_EQ(image[70], 'M');
  EXPECT_EQ(image[580] | image[581] << 8, 0x540D);
  EXPECT_EQ(image[582] | image[583] << 8, 0);
  ExportSettingsRecord back;
  ASSERT_EQ(DecodeExportSettings(image, kExportSettingsSize, &back), 0);
  EXPECT_EQ(back.run.write, nullptr);
  EXPECT_EQ(back.run.categoryCount, 0u);
  EXPECT_EQ(back.dictCreator, s.dictCreator);
  EXPECT_EQ(std::u16string(back.filePath), u"\\My Documents\\flash.txt");
  EXPECT_EQ(std::u16string(back.documentName), u"名");
  EXPECT_EQ(back.statistics + back.categories + back.cardDefinitions + back.dates, 4);
  EXPECT_EQ(back.dictDefinitions + back.remap, 0);
}

TEST(ExportSettings, ADamagedImageIsBoundedAndChecked) {
  uint8_t image[kExportSettingsSize + 8];
  std::memset(image, 0xEE, sizeof(image));  // no terminator anywhere, every value out of range
  ExportSettingsRecord s;
  ASSERT_EQ(DecodeExportSettings(image, sizeof(image), &s), 0);
  EXPECT_EQ(AreExportSettingsValid(&s), 1);
  EXPECT_EQ(s.encoding, static_cast<uint32_t>(kExportUtf8));
  EXPECT_EQ(s.format, static_cast<uint32_t>(kExportFormatXml));
  EXPECT_EQ(s.target, static_cast<uint32_t>(kExportTargetCards));
  EXPECT_EQ(s.charset, 0u);
  EXPECT_EQ(s.scope, 0u);
  EXPECT_EQ(s.language, static_cast<uint32_t>(kExportChineseEnglish));
  EXPECT_EQ(s.remap, 1);
  EXPECT_EQ(std::u16string(s.filePath).size(), kExportTextMax - 1);
  EXPECT_EQ(s.filePath[kExportTextMax - 1], 0);
  EXPECT_EQ(std::u16string(s.documentName).size(), kExportTextMax - 1);
  EXPECT_EQ(s.run.resultCards, nullptr);
  // Text after a terminator is cleared, not kept behind it.
  EncodeExportSettings(&s, image);
  image[68] = 'x';
  image[69] = 0;
  image[70] = 0;
  image[71] = 0;
  ASSERT_EQ(DecodeExportSettings(image, kExportSettingsSize, &s), 0);
  EXPECT_EQ(std::u16string(s.filePath), u"x");
  EXPECT_EQ(s.filePath[2], 0);
  // Too short: the defaults and 1.
  EXPECT_EQ(DecodeExportSettings(image, kExportSettingsSize - 1, &s), 1);
  EXPECT_EQ(std::u16string(s.filePath), u"\\My Documents\\flash.txt");
}

}  // namespace

// --- Export, then import into an empty database -----------------------------

class ExportImportTest : public ExportTest {
 protected:
  // What the database holds, independent of row ids: cards with their
  // texts and references, category paths, assignments by path and score
  // rows by scorefile name. A card's own reference and its alternatives
  // form one list: with no dictionary open the import links no card and
  // keeps every reference as an alternative, in the same order.
  std::string Snapshot() {
    const std::string card =
        "k.lang || '|' || coalesce(k.hw, '') || '|' || coalesce(k.althw, '') || '|' || "
        "coalesce(k.pron, '') || '|' || coalesce(k.defn, '') || '|' || CASE WHEN k.dictid = -1 THEN '' ELSE "
        "k.dictcreator || ':' || k.dictid || ':' || k.dictentry || ',' END || coalesce(k.altdictrefs, '')";
    const std::string path =
        "(SELECT coalesce((SELECT coalesce((SELECT g.name || '/' FROM sorvi_flash_categories g WHERE g.id = "
        "p.parent), '') || p.name || '/' FROM sorvi_flash_categories p WHERE p.id = c.parent), '') || c.name)";
    std::string out = "cards:\n" + Query(kDefaultKvb, "SELECT group_concat(t, char(10)) FROM (SELECT " + card +
                                                          " AS t FROM sorvi_flash_cards k ORDER BY t)");
    out += "\ncategories:\n" + Query(kDefaultKvb, "SELECT group_concat(t, char(10)) FROM (SELECT " + path +
                                                      " AS t FROM sorvi_flash_categories c ORDER BY t)");
    out += "\nassignments:\n" +
           Query(kDefaultKvb, "SELECT group_concat(t, char(10)) FROM (SELECT " + card + " || ' in ' || " + path +
                                  " AS t FROM sorvi_flash_categoryassigns a JOIN sorvi_flash_cards k ON k.id = a.card "
                                  "JOIN sorvi_flash_categories c ON c.id = a.cat ORDER BY t)");
    for (int32_t i = 0; i < GetScorefileCount(store); ++i) {
      const int32_t id = GetScorefileIdByIndex(store, i);
      out += "\nscores of " +
             Query(kDefaultKvb, "SELECT name FROM sorvi_flash_scorefiles WHERE id = " + std::to_string(id)) + ":\n" +
             Query(kDefaultKvb,
                   "SELECT group_concat(t, char(10)) FROM (SELECT k.hw || ' ' || s.score || ' ' || "
                   "hex(s.history) || ' ' || s.correct || ' ' || s.incorrect || ' ' || s.reviewed || ' ' || "
                   "s.firstreviewedtime || ' ' || s.lastreviewedtime AS t FROM sorvi_flash_scores_" +
                       std::to_string(id) + " s JOIN sorvi_flash_cards k ON k.id = s.card ORDER BY t)");
    }
    return out;
  }
  int Import(const std::string& bytes) {
    ImportSettingsRecord s;
    InitImportSettings(&s);
    s.format = kImportFormatXml;
    s.definitionSource = kDefnFileOnly;
    FlashImport* im = CreateFlashImport(engine, &s, kImportDefaultLineLimit);
    if (!im) return -1;
    uint32_t length = static_cast<uint32_t>(bytes.size());
    return ImportDataBlock(im, reinterpret_cast<const uint8_t*>(bytes.data()), &length, 1);
  }
};

TEST_F(ExportImportTest, CardsCategoriesReferencesAndScoresComeBack) {
  const int32_t top = Category(u"Top");
  const int32_t mid = Category(u"Mid", top);
  const int32_t low = Category(u"Low", mid);
  const int32_t other = Category(u"Other");
  const int32_t china =
      AddCard(u"中国", u"中國", u"zhong1guo2", u"China <&\"> @home", kCardLanguageChinese, {low, top});
  const int32_t cat = AddCard(u"cat", nullptr, nullptr, u"猫", kCardLanguageEnglish, {other});
  // A character outside the basic plane, a surrogate pair in UTF-16.
  const int32_t rare = AddCard(u"\U00020000", nullptr, u"qiu1", u"rare \U00020001 sign", kCardLanguageChinese, {mid});
  // References: a four-letter and a decimal dictionary id, alternatives.
  Card(china, "dictcreator = 77, dictid = " + std::to_string(0x41424344) +
                  ", dictentry = 9, altdictrefs = '0:12345:3,1:7:0,'");
  Card(rare, "dictcreator = 0, dictid = 12345, dictentry = 4");
  const int32_t second = CreateScorefile(store, u"Second", -1);
  ASSERT_GT(second, 0);
  CardScoreRecord score;
  InitCardScoreRecord(&score);
  score.score = 250;
  score.history[0] = 6;
  score.history[1] = 2;
  score.correct = 1;
  score.incorrect = 1;
  score.reviewed = 2;
  score.firstReviewedTime = 1700000000;
  score.lastReviewedTime = 1700086400;
  ASSERT_EQ(WriteCardScore(store, FirstScorefile(), china, &score), 0);
  score.score = 700;
  // A priority and a pool mark, kept in the history text.
  score.priority = kPriorityVeryHigh;
  score.poolMark = kPoolForceAdd;
  ASSERT_EQ(WriteCardScore(store, second, china, &score), 0);
  score.priority = 0;
  score.poolMark = 0;
  ASSERT_EQ(WriteCardScore(store, second, rare, &score), 0);
  score.score = 40;
  ASSERT_EQ(WriteCardScore(store, FirstScorefile(), cat, &score), 0);
  const std::string before = Snapshot();
  ASSERT_NE(before.find("Top/Mid/Low"), std::string::npos) << before;
  // The priority and pool letters make the history text differ.
  const auto history = [&](int32_t card) {
    return Query(kDefaultKvb, "SELECT hex(history) FROM sorvi_flash_scores_" + std::to_string(second) +
                                  " WHERE card = " + std::to_string(card));
  };
  ASSERT_NE(history(china), history(rare));
  ASSERT_NE(before.find("\xF0\xA0\x80\x80"), std::string::npos) << before;

  const std::string xml = Export(Settings());
  ASSERT_NE(xml.find("\xF0\xA0\x80\x80"), std::string::npos);
  Destroy();
  std::filesystem::remove(HostOf(kDefaultKvb));
  OpenExport(false);
  ASSERT_EQ(Import(xml), 0);
  EXPECT_EQ(Snapshot(), before);
}
