// Import of cards from tab-separated text: marks and encodings, blocks of
// any size, lines, category lines, the duplicate and missing-entry
// policies through a scripted callback, chunked commits and cancels, the
// import log and its undo, and the stored settings record.
#include "flash/exchange_import.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash_fixture.h"
#include "platform/files.h"
#include "resources/resources.h"
#include "tests/engine_text/text_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

// Answers the import's questions and records them.
struct Script {
  std::vector<uint32_t> duplicateAnswers;  // one per question, then the last again
  uint32_t encodingAnswer = 0;
  uint32_t cancelAtCount = 0;  // progress answers 1 at this count (0 never)
  uint32_t lastCount = 0;
  std::vector<uint32_t> kinds;
  std::u16string sample;
  std::vector<std::u16string> duplicateTexts;
};

uint32_t Answer(uint32_t kind, const void* argument, const void*, uint32_t count, uint32_t defaultIndex, void* data) {
  auto* s = static_cast<Script*>(data);
  s->kinds.push_back(kind);
  switch (kind) {
    case kImportAskProgress:
      s->lastCount = count;
      return s->cancelAtCount && count == s->cancelAtCount ? 1 : 0;
    case kImportAskEncoding:
      s->sample = static_cast<const char16_t*>(argument);
      return s->encodingAnswer;
    case kImportAskDuplicate: {
      const auto* q = static_cast<const ImportDuplicateQuestion*>(argument);
      s->duplicateTexts.push_back(std::u16string(q->imported) + u"|" + q->existing);
      const size_t asked = s->duplicateTexts.size() - 1;
      if (s->duplicateAnswers.empty()) return 0;
      return s->duplicateAnswers[asked < s->duplicateAnswers.size() ? asked : s->duplicateAnswers.size() - 1];
    }
    default:
      return defaultIndex;
  }
}

std::string Utf8ToUtf16Be(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) {
    out.push_back(static_cast<char>(u >> 8));
    out.push_back(static_cast<char>(u & 0xFF));
  }
  return out;
}
std::string Utf16Le(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

class ImportTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    RegisterSorviResources();
    ASSERT_NE(Open(), nullptr);
    InitImportSettings(&settings);
    settings.format = kImportFormatText;
    settings.run.callback = Answer;
    settings.run.data = &script;
  }

  // Imports `bytes` in blocks of `blockSize` (0: one block), carrying the
  // unconsumed tail as the import thread does. The final result.
  int Import(const std::string& bytes, uint32_t blockSize = 0) {
    FlashImport* im = CreateFlashImport(engine, &settings, kImportDefaultLineLimit);
    if (!im) return -1;
    std::string pending;
    size_t at = 0;
    const size_t step = blockSize ? blockSize : bytes.size() + 1;
    for (;;) {
      const size_t n = std::min(step, bytes.size() - at);
      pending.append(bytes, at, n);
      at += n;
      const int final = at >= bytes.size() ? 1 : 0;
      uint32_t length = static_cast<uint32_t>(pending.size());
      const int rc = ImportDataBlock(im, reinterpret_cast<const uint8_t*>(pending.data()), &length, final);
      if (rc != 0 || final) return rc;
      pending.erase(0, length);
    }
  }

  std::string Db() { return kDefaultKvb; }
  // A new engine over a new, empty flashcard database.
  void Fresh() {
    Destroy();
    std::filesystem::remove(HostOf(Db()));
    ASSERT_NE(Open(), nullptr);
  }
  int64_t Count(const std::string& sql) { return std::stoll(Query(Db(), sql)); }
  int64_t Cards() { return Count("SELECT count(*) FROM sorvi_flash_cards"); }

  // A card's four texts as the store gives them, joined by "|".
  std::u16string Texts(int32_t card) {
    MemHandle* h = NewMemHandle(2);
    std::u16string out;
    for (uint32_t f = 0; f < 4; ++f) {
      if (f) out += u"|";
      if (GetCardFieldText(store, card, f, h) == 0) out += static_cast<const char16_t*>(h->data);
    }
    FreeMemHandle(h);
    return out;
  }
  int32_t CardId(int n) {
    return static_cast<int32_t>(
        std::stoll(Query(Db(), "SELECT id FROM sorvi_flash_cards ORDER BY id LIMIT 1 OFFSET " + std::to_string(n))));
  }
  // Every table except the sequence and the import log, row by row.
  std::string Dump() {
    std::string out;
    sqlite3* c = nullptr;
    EXPECT_EQ(sqlite3_open_v2(HostOf(Db()).c_str(), &c, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    std::vector<std::string> tables;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(c,
                       "SELECT name FROM sqlite_master WHERE type='table' AND name NOT IN "
                       "('sqlite_sequence','sorvi_flash_imports') ORDER BY name",
                       -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) tables.push_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    for (const std::string& t : tables) {
      out += "[" + t + "]\n";
      sqlite3_prepare_v2(c, ("SELECT * FROM \"" + t + "\" ORDER BY 1").c_str(), -1, &s, nullptr);
      while (sqlite3_step(s) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
          const unsigned char* v = sqlite3_column_text(s, i);
          out += (v ? reinterpret_cast<const char*>(v) : "NULL") + std::string("\t");
        }
        out += "\n";
      }
      sqlite3_finalize(s);
    }
    sqlite3_close(c);
    return out;
  }
  int32_t Category(const std::u16string& name, int32_t parent = kCategoryRoot) {
    return FindCategoryByName(store, reinterpret_cast<const WCHAR*>(name.c_str()), parent, 0);
  }

  // A new engine over the store and a data file with the GB-2312 code page.
  void OpenWithCodePages() {
    Destroy();
    const databuild::DataFileSpec desc = textfix::CodePageFile({&textfix::CodePage(databuild::kCodePageGb2312)});
    databuild::ByteVec bytes;
    std::string error;
    ASSERT_EQ(databuild::BuildDataFile(desc, &bytes, nullptr, &error), 0) << error;
    std::ofstream(root.Host("pages.pdb"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    HANDLE h = CreateFileW(u"\\pages.pdb", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int kind = 0;
    pages = OpenDbFile(h, u"\\pages.pdb", &kind);
    ASSERT_NE(pages, nullptr);
    const char* kvb = kDefaultKvb;
    EngineParams p{};
    p.userDbNames = &kvb;
    p.userDbCount = 1;
    p.noFonts = 1;
    p.flashcardArg = const_cast<char*>(kDefaultKvb);
    p.host = &host;
    engine = CreateEngine(&pages, 1, &p);
    ASSERT_NE(engine, nullptr);
    store = GetFlashcardStore(engine);
    ASSERT_NE(store, nullptr);
  }
  void TearDown() override {
    FlashTest::TearDown();
    if (pages) CloseDbFile(pages);
  }

  ImportSettingsRecord settings{};
  Script script;
  DbFile* pages = nullptr;
};

TEST_F(ImportTest, ChineseEnglishLineGivesHeadwordsPronunciationAndDefinition) {
  settings.definitionSource = kDefnFileOnly;
  ASSERT_EQ(Import("\xE4\xB8\xAD\xE5\x9B\xBD[\xE4\xB8\xAD\xE5\x9C\x8B]\tzhong1 guo2\tChina\tthe country\r\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"中国|中國|zhong1 guo2|China\tthe country"));
  EXPECT_EQ(Query(Db(), "SELECT lang FROM sorvi_flash_cards"), "4096");
  EXPECT_EQ(script.lastCount, 1u);
}

TEST_F(ImportTest, EnglishChineseLineKeepsBracketsAndTakesDefinitionAfterFirstTab) {
  settings.language = kImportEnglishChinese;
  settings.definitionSource = kDefnFileOnly;
  // Kept as designed: the pronunciation after a blank stays in the
  // definition on re-import.
  ASSERT_EQ(Import("tea[cup]\tCHA2 cha\tmore\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"tea[cup]|||CHA2 cha\tmore"));
  EXPECT_EQ(Query(Db(), "SELECT lang FROM sorvi_flash_cards"), "0");
}

TEST_F(ImportTest, MarkOverridesChosenEncodingAndBlocksOfAnySizeGiveTheSameCards) {
  settings.definitionSource = kDefnFileOnly;
  const std::u16string text = u"\uFEFF一\tyi1\tone\n二\ter4\ttwo\n三\tsan1\tthree";
  struct Case {
    const char* what;
    uint32_t chosen;
    std::string bytes;
  } cases[] = {
      // The mark wins over a wrong choice.
      {"UTF-16BE mark", kImportGb2312, Utf8ToUtf16Be(text)},
      {"UTF-16LE mark", kImportUtf8, Utf16Le(text)},
      {"UTF-8 mark", kImportUtf16Be,
       "\xEF\xBB\xBF\xE4\xB8\x80\tyi1\tone\n\xE4\xBA\x8C\ter4\ttwo\n\xE4\xB8\x89\tsan1\tthree"},
      // No mark: read in the chosen encoding.
      {"UTF-16LE chosen", kImportUtf16Le, Utf16Le(text.substr(1))},
  };
  for (const Case& c : cases) {
    for (uint32_t block : {0u, 1u, 3u, 7u}) {
      SCOPED_TRACE(std::string(c.what) + " block " + std::to_string(block));
      Fresh();
      OnStore("DELETE FROM sorvi_flash_cards");
      settings.encoding = c.chosen;
      ASSERT_EQ(Import(c.bytes, block), 0);
      ASSERT_EQ(Cards(), 3);
      EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"一||yi1|one"));
      EXPECT_EQ(ShowUtf16(Texts(CardId(2))), ShowUtf16(u"三||san1|three"));
    }
  }
}

TEST_F(ImportTest, EncodingCheckSeesTheSampleAndItsNoStopsEverything) {
  settings.definitionSource = kDefnFileOnly;
  script.encodingAnswer = 1;
  EXPECT_NE(Import("a\tb\tc\n"), 0);
  EXPECT_EQ(Cards(), 0);
  EXPECT_EQ(ShowUtf16(script.sample), ShowUtf16(u"a\tb\tc\n"));
  int32_t start = 0, end = 0, count = 0;
  EXPECT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 1);
}

TEST_F(ImportTest, CategoryLinesFileTheFollowingCards) {
  settings.definitionSource = kDefnFileOnly;
  const std::u16string forty(40, u'x');
  std::string fortyUtf8(40, 'x');
  ASSERT_EQ(Import("a\t\tbefore\n"
                   "// Books/Lesson 1\n"
                   "b\t\tin lesson\n"
                   "//\n"
                   "c\t\tstill in lesson\n"
                   "//One/Two/Three/Four\n"
                   "d\t\tdeep\n"
                   "//" +
                   fortyUtf8 +
                   "\n"
                   "e\t\tlong one\n"
                   "//" +
                   fortyUtf8 +
                   "\n"
                   "f\t\tlong again\n"),
            0);
  ASSERT_EQ(Cards(), 6);
  const int32_t books = Category(u"Books");
  ASSERT_GE(books, 0);
  const int32_t lesson = Category(u"Lesson 1", books);
  ASSERT_GE(lesson, 0);
  // Four levels fold into three: the cards go to the third.
  const int32_t three = Category(u"Three", Category(u"Two", Category(u"One")));
  ASSERT_GE(three, 0);
  EXPECT_LT(Category(u"Four", three), 0);
  // A 40-unit name is held as 39 units and found again for later lines.
  const int32_t cut = Category(forty.substr(0, 39));
  ASSERT_GE(cut, 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categories WHERE name LIKE 'xxx%'"), 1);
  auto categoryOf = [&](int n) {
    return Query(Db(), "SELECT cat FROM sorvi_flash_categoryassigns WHERE card=" + std::to_string(CardId(n)));
  };
  EXPECT_EQ(categoryOf(0), "<none>");
  EXPECT_EQ(categoryOf(1), std::to_string(lesson));
  EXPECT_EQ(categoryOf(2), std::to_string(lesson));
  EXPECT_EQ(categoryOf(3), std::to_string(three));
  EXPECT_EQ(categoryOf(4), std::to_string(cut));
  EXPECT_EQ(categoryOf(5), std::to_string(cut));
}

TEST_F(ImportTest, LongLineImportsAndOverlongLineFails) {
  settings.definitionSource = kDefnFileOnly;
  const std::string defn(5000, 'd');
  ASSERT_EQ(Import("w\t\t" + defn + "\n", 1000), 0);
  EXPECT_EQ(Count("SELECT length(defn) FROM sorvi_flash_cards"), 5000);
  Fresh();
  EXPECT_NE(Import("w\t\t" + std::string(kImportLineMax + 10, 'd') + "\n", 65536), 0);
  EXPECT_EQ(Cards(), 0);
}

TEST_F(ImportTest, DuplicatePoliciesAndAnswers) {
  settings.definitionSource = kDefnFileOnly;
  // One stored card, then a file holding the same card twice: the first
  // question gets the answer under test, a second one (asked only while
  // the policy is still Prompt) is answered skip.
  struct Case {
    const char* what;
    uint32_t policy;
    uint32_t answer;
    int64_t cards;         // afterwards
    int64_t oldCardStays;  // the stored card's row is still there
    int64_t oldCardFiled;  // ... and filed in the file's category
    size_t questions;
    bool cancelled;
  } cases[] = {
      {"skip", kDuplicateSkip, 0, 1, 1, 0, 0, false},
      {"merge", kDuplicateMerge, 0, 1, 1, 1, 0, false},
      {"replace", kDuplicateReplace, 0, 1, 0, 0, 0, false},
      {"allow", kDuplicateAllow, 0, 3, 1, 0, 0, false},
      {"ask: skip", kDuplicatePrompt, 0, 1, 1, 0, 2, false},
      {"ask: merge", kDuplicatePrompt, 1, 1, 1, 1, 2, false},
      {"ask: replace", kDuplicatePrompt, 2, 1, 0, 0, 2, false},
      {"ask: allow", kDuplicatePrompt, 3, 2, 1, 0, 2, false},
      {"ask: skip, policy Skip", kDuplicatePrompt, 4, 1, 1, 0, 1, false},
      {"ask: replace, policy Replace", kDuplicatePrompt, 5, 1, 0, 0, 1, false},
      {"ask: allow, policy Allow", kDuplicatePrompt, 6, 3, 1, 0, 1, false},
      {"ask: cancel", kDuplicatePrompt, 7, 1, 1, 0, 1, true},
      {"ask: any other value allows", kDuplicatePrompt, 99, 2, 1, 0, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    OnStore("DELETE FROM sorvi_flash_cards; DELETE FROM sorvi_flash_categoryassigns");
    settings.duplicates = kDuplicateAllow;
    ASSERT_EQ(Import("\xE5\xA5\xBD\thao3\tgood\n"), 0);
    const int32_t old = CardId(0);
    settings.duplicates = c.policy;
    script = Script{};
    script.duplicateAnswers = {c.answer, 0};
    const int rc = Import("// Later\n\xE5\xA5\xBD\thao3\tgood\n\xE5\xA5\xBD\thao3\tgood\n");
    EXPECT_EQ(rc != 0, c.cancelled);
    EXPECT_EQ(Cards(), c.cards);
    const std::string id = std::to_string(old);
    EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_cards WHERE id=" + id), c.oldCardStays);
    EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns WHERE card=" + id), c.oldCardFiled);
    ASSERT_EQ(script.duplicateTexts.size(), c.questions);
    if (c.questions) {
      // The new card's fields as read, then the stored card as a card list
      // shows it: one line per field.
      EXPECT_EQ(ShowUtf16(script.duplicateTexts[0]), ShowUtf16(u"好 hao3 good |好\nhao3\ngood"));
    }
  }
}

TEST_F(ImportTest, TwoIdenticalCardsUnderSkipAddOneAndCountTwo) {
  settings.definitionSource = kDefnFileOnly;
  settings.duplicates = kDuplicateSkip;
  ASSERT_EQ(Import("\xE5\xA5\xBD\thao3\tgood\n\xE5\xA5\xBD\thao3\tgood\n"), 0);
  EXPECT_EQ(Cards(), 1);
  EXPECT_EQ(script.lastCount, 2u);
}

TEST_F(ImportTest, DuplicatesComparePronunciationsAsSyllables) {
  // The duplicate check compares pronunciations as syllables: the case of
  // their letters is no part of a syllable, its tone is.
  settings.definitionSource = kDefnFileOnly;
  settings.duplicates = kDuplicateSkip;
  struct Case {
    const char* what;
    const char* pron;
    int64_t cards;
  } cases[] = {
      {"a capital is the same syllable", "Bai2", 1},
      {"all capitals too", "BAI2", 1},
      {"another tone is another reading", "bai3", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    OnStore("DELETE FROM sorvi_flash_cards");
    ASSERT_EQ(Import("\xE7\x99\xBD\tbai2\twhite\n\xE7\x99\xBD\t" + std::string(c.pron) + "\tsurname\n"), 0);
    EXPECT_EQ(Cards(), c.cards);
  }
}

TEST_F(ImportTest, DuplicatesNeedTheHeadwordAndTheAlternative) {
  // Many cards sharing one alternative headword: only the card with the
  // same headword as well is the duplicate.
  settings.definitionSource = kDefnFileOnly;
  settings.duplicates = kDuplicateSkip;
  std::string lines;
  for (int i = 0; i < 30; ++i) lines += "w" + std::to_string(i) + "[\xE5\x90\x8C]\tzhong1\td\n";
  struct Case {
    const char* what;
    std::string line;
    int64_t cards;
  } cases[] = {
      {"the same headword and alternative", "w7[\xE5\x90\x8C]\tzhong1\tagain\n", 30},
      {"the alternative alone", "v7[\xE5\x90\x8C]\tzhong1\tagain\n", 31},
      {"the headword with another alternative", "w7[x]\tzhong1\tagain\n", 31},
      {"the headword in another case", "W7[\xE5\x90\x8C]\tzhong1\tagain\n", 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    OnStore("DELETE FROM sorvi_flash_cards");
    ASSERT_EQ(Import(lines + c.line), 0);
    EXPECT_EQ(Cards(), c.cards);
  }
}

TEST_F(ImportTest, MissingEntryPolicy) {
  // No dictionary is open: nothing is found for any card.
  settings.definitionSource = kDefnPreferDicts;
  settings.missing = kMissingSkip;
  ASSERT_EQ(Import("x\tx1\n"
                   "y\ty1\twith definition\n"),
            0);
  EXPECT_EQ(Cards(), 1);
  settings.missing = kMissingCreateBlank;
  ASSERT_EQ(Import("z\tz1\n"), 0);
  EXPECT_EQ(Cards(), 2);
}

TEST_F(ImportTest, DictsOnlyDropsTheFilesDefinition) {
  settings.definitionSource = kDefnDictsOnly;
  ASSERT_EQ(Import("q\tq1\tfrom the file\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(Query(Db(), "SELECT defn FROM sorvi_flash_cards"), "<null>");
}

TEST_F(ImportTest, ToneMarksBecomeDigits) {
  settings.definitionSource = kDefnFileOnly;
  ASSERT_EQ(Import("\xE4\xBD\xA0\xE5\xA5\xBD\tn\xC7\x90h\xC7\x8Eo\thello\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"你好||ni3hao3|hello"));
}

// 450 lines with a category line at 420: the progress callback cancels at
// card 430, inside the third chunk.
std::string ManyLines(int n, int categoryAt) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (i == categoryAt) out += "// Phantom/Child\n";
    out += "w" + std::to_string(i) + "\t\tdefinition " + std::to_string(i) + "\n";
  }
  return out;
}

TEST_F(ImportTest, CancelRollsBackTheOpenChunkAndTheListsFollow) {
  settings.definitionSource = kDefnFileOnly;
  script.cancelAtCount = 430;
  EXPECT_NE(Import(ManyLines(450, 420)), 0);
  // Two chunks of 200 lines were committed; the third went.
  EXPECT_EQ(Cards(), 400);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categories"), 0);
  // The category made in the rolled-back chunk is gone from memory too.
  EXPECT_LT(Category(u"Phantom"), 0);
  EXPECT_EQ(GetCategoryCount(store), 0);
  const int32_t fresh = CreateCategory(store, u"Fresh", -1, kCategoryRoot, -1);
  ASSERT_GE(fresh, 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categories"), 1);
  // The committed chunks are covered by the log row.
  int32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 0);
  EXPECT_EQ(count, 400);
}

TEST_F(ImportTest, UndoRestoresTheDatabaseAlsoAfterEditsToImportedCards) {
  settings.definitionSource = kDefnFileOnly;
  const int32_t scorefile = GetScorefileIdByIndex(store, 0);
  ASSERT_GE(scorefile, 0);
  const int32_t before = CreateCategory(store, u"Before", -1, kCategoryRoot, -1);
  ASSERT_GE(before, 0);
  ASSERT_EQ(Import("old\t\tkept\n"), 0);
  // That import is taken back too, so the reference point is the
  // database with one earlier import undone: import again on top.
  ASSERT_EQ(UndoLastFlashImport(store), 0);
  const std::string reference = Dump();
  ASSERT_EQ(Import("// Topic/Sub\n" + ManyLines(250, -1)), 0);
  int32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 0);
  EXPECT_EQ(count, 250);
  EXPECT_LE(start, end);
  // User edits to imported cards: another category, a score row.
  const int32_t card = CardId(3);
  ASSERT_GE(AssignCard(store, card, before), 0);
  CardScoreRecord score;
  InitCardScoreRecord(&score);
  score.score = 42;
  ASSERT_EQ(WriteCardScore(store, scorefile, card, &score), 0);
  ASSERT_EQ(UndoLastFlashImport(store), 0);
  EXPECT_EQ(Dump(), reference);
  EXPECT_LT(Category(u"Topic"), 0);
  // The log table stays; only its rows went.
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_imports"), 0);
  EXPECT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 1);
  EXPECT_NE(UndoLastFlashImport(store), 0);
}

TEST_F(ImportTest, CreationRefusesBadTargetsAndXmlForUserDictionaries) {
  ImportSettingsRecord s = settings;
  s.target = 3;
  EXPECT_EQ(CreateFlashImport(engine, &s, 2048), nullptr);
  s.target = kImportTargetUserDict;
  s.format = kImportFormatXml;
  EXPECT_EQ(CreateFlashImport(engine, &s, 2048), nullptr);
  s.format = kImportFormatText;
  s.dictCreator = 0x12345678;  // no such dictionary is open
  EXPECT_EQ(CreateFlashImport(engine, &s, 2048), nullptr);
}

// --- XML ------------------------------------------------------------------

std::string XmlCard(const std::string& hw, const std::string& inner,
                    const std::string& attrs = "language=\"chinese\"") {
  return "<card " + attrs + "><entry><headword charset=\"sc\">" + hw +
         "</headword><pron tones=\"numbers\">hao3</pron><defn>good</defn></entry>" + inner + "</card>";
}
std::string XmlDoc(const std::string& cards, const std::string& root = "sorviflash",
                   const std::string& decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") {
  return decl + "<" + root + " formatversion=\"2\"><cards>" + cards + "</cards></" + root + ">";
}

class XmlImportTest : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    settings.format = kImportFormatXml;
    settings.definitionSource = kDefnFileOnly;
    settings.duplicates = kDuplicateAllow;
  }
  int64_t ScoreRows(int32_t scorefile) {
    return Count("SELECT count(*) FROM sorvi_flash_scores_" + std::to_string(scorefile));
  }
};

TEST_F(XmlImportTest, CardWithHeadwordsScoresCategoriesAndReferences) {
  const std::string inner =
      "<dictref dictcreator=\"5\" dictid=\"ABCD\" entryid=\"17\"/>"
      "<dictref dictid=\"12345\" entryid=\"3\"/>"
      "<scoreinfo scorefile=\"Mine\" score=\"250\" difficulty=\"80\" history=\"1122\" correct=\"3\" "
      "incorrect=\"1\" reviewed=\"4\" sincelast=\"2\" firstreviewedtime=\"1000\" lastreviewedtime=\"2000\" "
      "priority=\"high\" forcepool=\"exclude\"/>"
      "<scoreinfo scorefile=\"Capital\" score=\"150\" priority=\"High\"/>"
      "<catassign category=\"Books/Lesson 1\"/>";
  const std::string doc = XmlDoc(
      "<card language=\"chinese\" created=\"123456\"><entry><headword charset=\"sc\">\xE5\xA5\xBD</headword>"
      "<headword charset=\"tc\">\xE5\xA5\xBD\xE5\x97\x8E</headword><pron tones=\"numbers\">hao3</pron>"
      "<defn>good\nline</defn></entry>" +
      inner + "</card>");
  for (uint32_t block : {0u, 1u, 5u}) {
    SCOPED_TRACE(block);
    Fresh();
    OnStore("DELETE FROM sorvi_flash_cards");
    ASSERT_EQ(Import(doc, block), 0);
    ASSERT_EQ(Cards(), 1);
    const int32_t card = CardId(0);
    EXPECT_EQ(ShowUtf16(Texts(card)), ShowUtf16(u"好|好嗎|hao3|goodline"));
    EXPECT_EQ(Query(Db(), "SELECT created FROM sorvi_flash_cards"), "123456");
    // Neither reference is open: both are kept aside.
    EXPECT_EQ(Query(Db(), "SELECT altdictrefs FROM sorvi_flash_cards"), "5:1094861636:17,0:12345:3,");
    const int32_t mine = FindScorefileByName(store, u"Mine", 0);
    ASSERT_GE(mine, 0);
    CardScoreRecord r;
    ASSERT_EQ(ReadCardScore(store, mine, card, &r, 1), 0);
    EXPECT_EQ(r.score, 250);
    EXPECT_EQ(r.difficulty, 80);
    EXPECT_EQ(r.correct, 3);
    EXPECT_EQ(r.lastReviewedTime, 2000);
    EXPECT_EQ(r.priority, kPriorityHigh);
    EXPECT_EQ(r.poolMark, kPoolExclude);
    // A capital first letter is no priority name.
    const int32_t capital = FindScorefileByName(store, u"Capital", 0);
    ASSERT_EQ(ReadCardScore(store, capital, card, &r, 1), 0);
    EXPECT_EQ(r.priority, kPriorityNormal);
    const int32_t lesson = Category(u"Lesson 1", Category(u"Books"));
    ASSERT_GE(lesson, 0);
    EXPECT_EQ(Query(Db(), "SELECT cat FROM sorvi_flash_categoryassigns"), std::to_string(lesson));
  }
}

TEST_F(XmlImportTest, SuperscriptToneDigitsAreTones) {
  // Pronunciations marked as tone marks may carry their tones as
  // superscript digits; readings that differ only in tone stay two cards
  // under the default duplicate policy.
  settings.duplicates = kDuplicateMerge;
  const auto card = [](const std::string& pron) {
    return "<card language=\"chinese\"><entry><headword>\xE5\xA5\xBD</headword><pron type=\"hypy\" "
           "tones=\"marks\">" +
           pron + "</pron><defn>d</defn></entry></card>";
  };
  // U+00B9, U+00B2, U+00B3, U+2074 and U+2075 against an accented reading.
  ASSERT_EQ(Import(XmlDoc(card("h\xC7\x8Eo") + card("hao\xC2\xB9") + card("hao\xC2\xB2") + card("hao\xC2\xB3") +
                          card("hao\xE2\x81\xB4") + card("Zhong\xC2\xB9 guo\xE2\x81\xB5"))),
            0);
  EXPECT_EQ(Query(Db(), "SELECT group_concat(pron, ',') FROM (SELECT pron FROM sorvi_flash_cards ORDER BY id)"),
            "hao3,hao1,hao2,hao4,Zhong1 @guo5");
}

TEST_F(XmlImportTest, LowestScoreKeepsItsRowAtTen) {
  // The converter writes 1 for a rank score that computes as 0; the row
  // must come in (raised to the store's lowest score), not be dropped.
  ASSERT_EQ(Import(XmlDoc(XmlCard("\xE4\xB8\x80", "<scoreinfo score=\"1\" reviewed=\"3\"/>"))), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(Query(Db(), "SELECT score || ' ' || reviewed FROM sorvi_flash_scores_" +
                            std::to_string(GetScorefileIdByIndex(store, 0))),
            "10 3");
}

TEST_F(XmlImportTest, PerCardLimitsKeepTheFirstOnes) {
  std::string inner;
  for (int i = 0; i < 40; ++i)
    inner +=
        "<dictref dictcreator=\"1\" dictid=\"" + std::to_string(100 + i) + "\" entryid=\"" + std::to_string(i) + "\"/>";
  // A score below 1 does not count; 16 are kept of the rest.
  inner += "<scoreinfo scorefile=\"zero\" score=\"0\"/>";
  for (int i = 0; i < 20; ++i) inner += "<scoreinfo scorefile=\"s" + std::to_string(i) + "\" score=\"120\"/>";
  for (int i = 0; i < 70; ++i) inner += "<catassign category=\"c" + std::to_string(i) + "\"/>";
  ASSERT_EQ(Import(XmlDoc(XmlCard("\xE5\xA5\xBD", inner))), 0);
  ASSERT_EQ(Cards(), 1);
  const std::string refs = Query(Db(), "SELECT altdictrefs FROM sorvi_flash_cards");
  EXPECT_EQ(std::count(refs.begin(), refs.end(), ','), 32);
  EXPECT_NE(refs.find("1:131:31,"), std::string::npos);
  EXPECT_EQ(refs.find(":132:"), std::string::npos);
  const int32_t card = CardId(0);
  CardScoreRecord r;
  EXPECT_EQ(ReadCardScore(store, FindScorefileByName(store, u"s15", 0), card, &r, 1), 0);
  EXPECT_LT(FindScorefileByName(store, u"s16", 0), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 64);
  EXPECT_LT(Category(u"c64"), 0);
}

TEST_F(XmlImportTest, HistoryTakesGradesAndTheOlderLettersOnly) {
  struct Case {
    const char* what;
    std::string history;
    std::vector<uint8_t> grades;
  } cases[] = {
      {"C is correct (6), I incorrect (2)", "CIC", {6, 2, 6}},
      {"in either case", "cIi", {6, 2, 2}},
      {"other characters are ignored", " 1-2x3\xE4\xB8\x80", {1, 2, 3}},
      {"7 to 9 and 0 are no grades", "70893", {3}},
      // The attributes hold priority and pool; the stored form's letters
      // mean nothing here.
      {"no trailing priority letter", "12W", {1, 2}},
      {"no trailing pool letter", "45Q", {4, 5}},
      {"ignored characters take no grade's place", std::string(300, 'x') + "65", {6, 5}},
      {"at most 256 grades", std::string(300, '4'), std::vector<uint8_t>(kScoreHistoryMax, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    OnStore("DELETE FROM sorvi_flash_cards");
    ASSERT_EQ(Import(XmlDoc(XmlCard("\xE4\xB8\x80", "<scoreinfo scorefile=\"H\" score=\"200\" history=\"" + c.history +
                                                        "\" forcepool=\"include\"/>"))),
              0);
    ASSERT_EQ(Cards(), 1);
    CardScoreRecord r;
    ASSERT_EQ(ReadCardScore(store, FindScorefileByName(store, u"H", 0), CardId(0), &r, 1), 0);
    std::vector<uint8_t> grades;
    for (uint32_t i = 0; i < kScoreHistoryMax && r.history[i]; ++i) grades.push_back(r.history[i]);
    EXPECT_EQ(grades, c.grades);
    EXPECT_EQ(r.priority, kPriorityNormal);
    EXPECT_EQ(r.poolMark, kPoolForceAdd);
  }
}

TEST_F(XmlImportTest, Gb2312BytesWithoutAMarkAreReadAsUtf8) {
  // The engine can decode GB-2312: a text import chosen as GB-2312 reads
  // D6 D0 B9 FA as 中国.
  OpenWithCodePages();
  settings.format = kImportFormatText;
  settings.encoding = kImportGb2312;
  OnStore("DELETE FROM sorvi_flash_cards");
  ASSERT_EQ(Import("\xD6\xD0\xB9\xFA\tzhong1 guo2\tChina\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"中国||zhong1 guo2|China"));
  // The same bytes in an XML file that declares GB2312, with GB-2312
  // chosen, and no mark: read as UTF-8. As UTF-8, D6 D0 is one
  // two-byte character (U+0590); B9 and FA begin none and are passed over.
  settings.format = kImportFormatXml;
  OnStore("DELETE FROM sorvi_flash_cards");
  const std::string doc =
      XmlDoc(XmlCard("\xD6\xD0\xB9\xFA", ""), "sorviflash", "<?xml version=\"1.0\" encoding=\"GB2312\"?>");
  for (uint32_t block : {0u, 1u, 3u}) {
    SCOPED_TRACE(block);
    OnStore("DELETE FROM sorvi_flash_cards");
    ASSERT_EQ(Import(doc, block), 0);
    ASSERT_EQ(Cards(), 1);
    EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"\u0590||hao3|good"));
  }
}

TEST_F(XmlImportTest, CancelRollsBackTheOpenChunkAndTheScorefileListFollows) {
  // Blocks of 64 bytes: a chunk of 16 blocks holds a few cards. The
  // scorefile "Phantom" and category "Ghost" come with card 20, and the
  // progress callback cancels there, chunks after the first commit.
  std::string cards;
  for (int i = 0; i < 24; ++i) {
    const std::string name = i == 20 ? "Phantom" : "Kept";
    cards += XmlCard(
        "w" + std::to_string(i),
        "<scoreinfo scorefile=\"" + name + "\" score=\"150\"/>" + (i == 20 ? "<catassign category=\"Ghost\"/>" : ""),
        "language=\"english\"");
  }
  OnStore("DELETE FROM sorvi_flash_cards");
  const int64_t scorefilesBefore = Count("SELECT count(*) FROM sorvi_flash_scorefiles");
  script.cancelAtCount = 21;
  EXPECT_NE(Import(XmlDoc(cards), 64), 0);
  const int64_t kept = Cards();
  EXPECT_GT(kept, 0);   // a chunk was committed...
  EXPECT_LT(kept, 20);  // ... and the open one rolled back
  EXPECT_GE(FindScorefileByName(store, u"Kept", 0), 0);
  EXPECT_LT(FindScorefileByName(store, u"Phantom", 0), 0);
  EXPECT_LT(Category(u"Ghost"), 0);
  // The lists hold what the database holds, and a scorefile made now takes
  // an id the database agrees with.
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_scorefiles"), scorefilesBefore + 1);
  EXPECT_EQ(GetScorefileCount(store), scorefilesBefore + 1);
  EXPECT_EQ(GetCategoryCount(store), Count("SELECT count(*) FROM sorvi_flash_categories"));
  const int32_t fresh = CreateScorefile(store, u"Fresh", -1);
  ASSERT_GE(fresh, 0);
  EXPECT_EQ(Query(Db(), "SELECT name FROM sorvi_flash_scorefiles WHERE id=" + std::to_string(fresh)), "Fresh");
  EXPECT_EQ(GetScorefileCount(store), Count("SELECT count(*) FROM sorvi_flash_scorefiles"));
  EXPECT_EQ(Count("SELECT count(*) FROM sqlite_master WHERE name LIKE 'sorvi_flash_scores_%'"),
            GetScorefileCount(store));
  // The committed chunks are covered by the log row.
  int32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 0);
  EXPECT_EQ(count, kept);
}

TEST_F(XmlImportTest, FortyUnitNamesAreFoundAgainUnderTheirCutNames) {
  const std::string forty(40, 'n');
  const std::string inner =
      "<scoreinfo scorefile=\"" + forty + "\" score=\"200\"/><catassign category=\"" + forty + "\"/>";
  ASSERT_EQ(
      Import(XmlDoc(XmlCard("\xE4\xB8\x80", inner) + XmlCard("\xE4\xBA\x8C", inner) + XmlCard("\xE4\xB8\x89", inner))),
      0);
  ASSERT_EQ(Cards(), 3);
  const std::u16string cut(39, u'n');
  const int32_t scorefile = FindScorefileByName(store, reinterpret_cast<const WCHAR*>(cut.c_str()), 0);
  ASSERT_GE(scorefile, 0);
  EXPECT_EQ(ScoreRows(scorefile), 3);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_scorefiles WHERE name LIKE 'nnn%'"), 1);
  EXPECT_EQ(Count("SELECT count(DISTINCT cat) FROM sorvi_flash_categoryassigns"), 1);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 3);
}

TEST_F(XmlImportTest, EncodingsMarksAndRootNames) {
  const std::string card = XmlCard("\xE4\xB8\xAD", "");
  std::u16string wide;
  const std::string plain = XmlDoc(card, "sorviflash", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
  // The test text is ASCII but for the headword, 中 (U+4E2D).
  for (size_t i = 0; i < plain.size(); ++i) {
    if (plain.compare(i, 3, "\xE4\xB8\xAD") == 0) {
      wide.push_back(u'中');
      i += 2;
    } else {
      wide.push_back(static_cast<char16_t>(plain[i]));
    }
  }
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-16LE with mark", "\xFF\xFE" + Utf16Le(wide)},
      {"UTF-16BE with mark", "\xFE\xFF" + Utf8ToUtf16Be(wide)},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + XmlDoc(card)},
      // Without a mark it is UTF-8 whatever the declaration says.
      {"declared GB2312", XmlDoc(card, "sorviflash", "<?xml version=\"1.0\" encoding=\"GB2312\"?>")},
      {"another root", XmlDoc(card, "somethingelse")},
  };
  for (const Case& c : cases) {
    for (uint32_t block : {0u, 1u, 7u}) {
      SCOPED_TRACE(std::string(c.what) + " block " + std::to_string(block));
      Fresh();
      OnStore("DELETE FROM sorvi_flash_cards");
      settings.encoding = kImportGb2312;  // ignored for XML
      ASSERT_EQ(Import(c.bytes, block), 0);
      ASSERT_EQ(Cards(), 1);
      EXPECT_EQ(ShowUtf16(Texts(CardId(0))), ShowUtf16(u"中||hao3|good"));
    }
  }
}

TEST_F(XmlImportTest, TruncatedOrMalformedFileFailsAndRollsBackItsOpenChunk) {
  const std::string whole =
      XmlDoc(XmlCard("\xE4\xB8\x80", "<catassign category=\"Cut\"/>") + XmlCard("\xE4\xBA\x8C", ""));
  const std::string cases[] = {
      whole.substr(0, whole.size() - 30),  // cut inside the second card
      whole.substr(0, whole.find("</cards>")),
      whole + "<extra",
      "<sorviflash><cards><card><entry></card></cards></sorviflash>",
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes);
    Fresh();
    EXPECT_NE(Import(bytes), 0);
    EXPECT_EQ(Cards(), 0);
    EXPECT_EQ(GetCategoryCount(store), 0);
    EXPECT_LT(Category(u"Cut"), 0);
    int32_t start = 0, end = 0, count = 0;
    EXPECT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 1);
  }
}

TEST_F(XmlImportTest, ScoresOfDuplicatesFillOnlyMissingRows) {
  const std::string first =
      XmlDoc(XmlCard("\xE5\xA5\xBD", "<scoreinfo scorefile=\"A\" score=\"300\" lastreviewedtime=\"10\"/>"));
  ASSERT_EQ(Import(first), 0);
  settings.duplicates = kDuplicateSkip;
  const std::string again = XmlDoc(XmlCard("\xE5\xA5\xBD",
                                           "<scoreinfo scorefile=\"A\" score=\"500\" lastreviewedtime=\"20\"/>"
                                           "<scoreinfo scorefile=\"B\" score=\"400\"/>"));
  ASSERT_EQ(Import(again), 0);
  EXPECT_EQ(Cards(), 1);
  CardScoreRecord r;
  ASSERT_EQ(ReadCardScore(store, FindScorefileByName(store, u"A", 0), CardId(0), &r, 1), 0);
  EXPECT_EQ(r.score, 300);  // stored before this import: kept
  ASSERT_EQ(ReadCardScore(store, FindScorefileByName(store, u"B", 0), CardId(0), &r, 1), 0);
  EXPECT_EQ(r.score, 400);  // missing: added
  // Within one import a later review wins.
  Fresh();
  OnStore("DELETE FROM sorvi_flash_cards");
  const std::string both =
      XmlDoc(XmlCard("\xE4\xB8\x80", "<scoreinfo scorefile=\"A\" score=\"300\" lastreviewedtime=\"10\"/>") +
             XmlCard("\xE4\xB8\x80", "<scoreinfo scorefile=\"A\" score=\"700\" lastreviewedtime=\"99\"/>"));
  ASSERT_EQ(Import(both), 0);
  ASSERT_EQ(Cards(), 1);
  ASSERT_EQ(ReadCardScore(store, FindScorefileByName(store, u"A", 0), CardId(0), &r, 1), 0);
  EXPECT_EQ(r.score, 700);
}

TEST_F(XmlImportTest, UndoTakesBackCardsScoresScorefilesAndCategories) {
  const std::string reference = Dump();
  std::string cards;
  for (int i = 0; i < 40; ++i)
    cards +=
        XmlCard("w" + std::to_string(i), "<scoreinfo scorefile=\"New\" score=\"150\"/><catassign category=\"X/Y\"/>",
                "language=\"english\"");
  ASSERT_EQ(Import(XmlDoc(cards), 64), 0);
  EXPECT_EQ(Cards(), 40);
  ASSERT_GE(FindScorefileByName(store, u"New", 0), 0);
  ASSERT_EQ(UndoLastFlashImport(store), 0);
  EXPECT_EQ(Dump(), reference);
  EXPECT_LT(FindScorefileByName(store, u"New", 0), 0);
  EXPECT_LT(Category(u"X"), 0);
}

TEST_F(XmlImportTest, UnnamedScoresGoToTheDefaultScorefileOnlyWhenThereIsOne) {
  const std::string doc = XmlDoc(XmlCard("\xE4\xB8\x80", "<scoreinfo score=\"300\"/><scoreinfo score=\"400\"/>"));
  const int32_t scorefile = GetProfileScorefileId(store);
  ASSERT_GT(scorefile, 0);
  ASSERT_EQ(Import(doc), 0);
  CardScoreRecord r;
  ASSERT_EQ(ReadCardScore(store, scorefile, CardId(0), &r, 1), 0);
  EXPECT_EQ(r.score, 300);  // the first; the second is dropped
  // Without a default scorefile the row is dropped, not written to a
  // table of scorefile -1.
  Fresh();
  const ProfileSettingValue none{-1, nullptr};
  ASSERT_EQ(SetProfileSetting(store, kSetScorefile, &none), 0);
  ASSERT_EQ(GetProfileScorefileId(store), -1);
  ASSERT_EQ(Import(doc), 0);
  EXPECT_EQ(Cards(), 1);
  EXPECT_EQ(Count("SELECT count(*) FROM sqlite_master WHERE name='sorvi_flash_scores_-1'"), 0);
}

TEST_F(ImportTest, KilledImportLeavesCommittedChunksUnderTheLogRow) {
  settings.definitionSource = kDefnFileOnly;
  Destroy();
  ASSERT_NE(Open({kDefaultKvb}), nullptr);
  const std::string before = Dump();
  Destroy();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child imports 5,000 cards and dies at card 450, in the third
    // chunk.
    Open({kDefaultKvb});
    settings.run.callback = [](uint32_t kind, const void*, const void*, uint32_t count, uint32_t, void*) -> uint32_t {
      if (kind == kImportAskProgress && count == 450) raise(SIGKILL);
      return 0;
    };
    Import(ManyLines(5000, -1));
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  EXPECT_EQ(Query(Db(), "PRAGMA integrity_check"), "ok");
  ASSERT_NE(Open({kDefaultKvb}), nullptr);
  EXPECT_EQ(Cards(), 400);
  int32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(ReadFlashImportRecord(store, &start, &end, &count), 0);
  EXPECT_EQ(count, 400);
  ASSERT_EQ(UndoLastFlashImport(store), 0);
  EXPECT_EQ(Dump(), before);
}

// --- Dictionaries: ambiguity, references, stored definitions, target 2 -----

class DictImportTest : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    ASSERT_EQ(CreateUserDictFileNamed(engine, kCardLanguageChinese, 0, u"Mine"), 0);
    slot = FindDictByLanguages(engine, kCardLanguageChinese, 65535);
    ASSERT_NE(slot, 65535);
    first = AddUserDictEntry(engine, slot, u"猫", nullptr, u"mao1", u"cat");
    second = AddUserDictEntry(engine, slot, u"猫", nullptr, u"mao1", u"kitty");
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    settings.definitionSource = kDefnPreferDicts;
  }
  std::string KeyOf(int32_t uid) {
    return std::to_string(GetDictEntryKey(engine, slot, static_cast<uint32_t>(MapDictEntryId(engine, slot, uid))));
  }
  uint16_t slot = 65535;
  int32_t first = -1, second = -1;
};

uint32_t AnswerAmbiguous(uint32_t kind, const void*, const void*, uint32_t count, uint32_t defaultIndex, void* data) {
  auto* s = static_cast<Script*>(data);
  s->kinds.push_back(kind);
  if (kind != kImportAskAmbiguous) return 0;
  s->lastCount = count;
  (void)defaultIndex;
  return s->duplicateAnswers.empty() ? 0 : s->duplicateAnswers.front();
}

TEST_F(DictImportTest, AmbiguousPoliciesAndAnswers) {
  struct Case {
    const char* what;
    uint32_t policy;
    uint32_t answer;
    int64_t cards;  // of two lines of the same ambiguous card
    size_t questions;
    int entry;  // of the first card: 0 or 1, -1 none
    bool cancelled;
  } cases[] = {
      {"use first", kAmbiguousUseFirst, 0, 2, 0, 0, false},
      {"skip", kAmbiguousSkip, 0, 0, 0, -1, false},
      {"ask: entry 1", kAmbiguousPrompt, 1, 2, 2, 1, false},
      {"ask: skip card", kAmbiguousPrompt, kAnswerSkipCard, 0, 2, -1, false},
      {"ask: skip all", kAmbiguousPrompt, kAnswerSkipAll, 0, 1, -1, false},
      {"ask: first, policy Use First", kAmbiguousPrompt, kAnswerUseFirstAll, 2, 1, 0, false},
      {"ask: cancel", kAmbiguousPrompt, kAnswerCancel, 0, 1, -1, true},
      {"ask: out of range", kAmbiguousPrompt, 7, 2, 2, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OnStore("DELETE FROM sorvi_flash_cards");
    settings.ambiguous = c.policy;
    settings.duplicates = kDuplicateAllow;
    settings.run.callback = AnswerAmbiguous;
    script = Script{};
    script.duplicateAnswers = {c.answer};
    const int rc = Import("\xE7\x8C\xAB\tmao1\n\xE7\x8C\xAB\tmao1\n");
    EXPECT_EQ(rc != 0, c.cancelled);
    EXPECT_EQ(Cards(), c.cards);
    EXPECT_EQ(static_cast<size_t>(std::count(script.kinds.begin(), script.kinds.end(), kImportAskAmbiguous)),
              c.questions);
    if (c.entry >= 0) {
      EXPECT_EQ(Query(Db(), "SELECT dictentry FROM sorvi_flash_cards ORDER BY id LIMIT 1"),
                KeyOf(c.entry == 0 ? first : second));
      EXPECT_EQ(Query(Db(), "SELECT defn FROM sorvi_flash_cards ORDER BY id LIMIT 1"), "<null>");
    }
    if (c.questions) {
      EXPECT_EQ(script.lastCount, 2u);
    }
  }
}

TEST_F(DictImportTest, DefinitionSourceDecidesTheLookUp) {
  AddUserDictEntry(engine, slot, u"狗", nullptr, u"gou3", u"dog");
  struct Case {
    const char* what;
    uint32_t source;
    const char* line;
    bool linked;
    const char* defn;
  } cases[] = {
      {"file only", kDefnFileOnly, "\xE7\x8B\x97\tgou3\tmine\n", false, "mine"},
      {"prefer file, with one", kDefnPreferFile, "\xE7\x8B\x97\tgou3\tmine\n", false, "mine"},
      {"prefer file, without", kDefnPreferFile, "\xE7\x8B\x97\tgou3\n", true, "<null>"},
      {"prefer dicts", kDefnPreferDicts, "\xE7\x8B\x97\tgou3\tmine\n", true, "mine"},
      {"dicts only", kDefnDictsOnly, "\xE7\x8B\x97\tgou3\tmine\n", true, "<null>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OnStore("DELETE FROM sorvi_flash_cards");
    settings.definitionSource = c.source;
    ASSERT_EQ(Import(c.line), 0);
    ASSERT_EQ(Cards(), 1);
    EXPECT_EQ(Query(Db(), "SELECT dictid != -1 FROM sorvi_flash_cards"), c.linked ? "1" : "0");
    EXPECT_EQ(Query(Db(), "SELECT defn FROM sorvi_flash_cards"), c.defn);
  }
}

TEST_F(DictImportTest, DefinitionsStoredInAUserDictionary) {
  settings.definitionSource = kDefnFileOnly;
  settings.storeDefinitions = 1;
  const uint32_t creator = GetDictCreator(engine, slot);
  const int32_t id = GetDictId(engine, slot);
  ImportDictRow row{creator, static_cast<uint32_t>(id)};
  settings.run.rows = &row;
  settings.dictRowCount = 1;
  ASSERT_EQ(Import("\xE9\xB8\x9F\tniao3\tbird\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(Query(Db(), "SELECT defn FROM sorvi_flash_cards"), "<null>");
  EXPECT_EQ(Query(Db(), "SELECT dictid FROM sorvi_flash_cards"), std::to_string(id));
  // The definition now comes from the entry, as the entry formats it.
  const std::u16string texts = Texts(CardId(0));
  EXPECT_EQ(ShowUtf16(texts.substr(0, 9)), ShowUtf16(u"鸟||niao3|"));
  EXPECT_EQ(ShowUtf16(texts.substr(texts.size() - 4)), ShowUtf16(u"bird"));
  uint32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(GetLastUserDictImport(engine, slot, &start, &end, &count), 0);
  EXPECT_EQ(count, 1u);
}

TEST_F(DictImportTest, EntriesIntoAUserDictionaryWithItsOwnLogAndUndo) {
  settings.target = kImportTargetUserDict;
  settings.dictCreator = GetDictCreator(engine, slot);
  settings.dictId = static_cast<uint32_t>(GetDictId(engine, slot));
  settings.language = kImportEnglishChinese;  // the dictionary's own language wins
  ASSERT_EQ(Import("\xE9\xB1\xBC\ty\xC3\xBA\tfish\n\xE9\xA9\xAC\tma3\thorse\n"), 0);
  EXPECT_EQ(Cards(), 0);
  EXPECT_EQ(script.lastCount, 2u);
  uint32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(GetLastUserDictImport(engine, slot, &start, &end, &count), 0);
  EXPECT_EQ(count, 2u);
  // The tone mark became a digit, the fields landed where they belong.
  settings.target = kImportTargetCards;
  settings.language = kImportChineseEnglish;
  settings.definitionSource = kDefnDictsOnly;
  settings.duplicates = kDuplicateAllow;
  ASSERT_EQ(Import("\xE9\xB1\xBC\tyu2\n"), 0);
  ASSERT_EQ(Cards(), 1);
  EXPECT_EQ(Query(Db(), "SELECT dictid FROM sorvi_flash_cards"), std::to_string(GetDictId(engine, slot)));
  ASSERT_EQ(UndoLastUserDictImport(engine, slot), 0);
  EXPECT_NE(GetLastUserDictImport(engine, slot, &start, &end, &count), 0);
}

// --- The stored settings record ---------------------------------------------

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

TEST(ImportSettingsRecordTest, DefaultsAndFixedOffsets) {
  ImportSettingsRecord s;
  InitImportSettings(&s);
  uint8_t image[kImportSettingsSize];
  EncodeImportSettings(&s, image);
  EXPECT_EQ(Le32(image + 0), 1u);
  EXPECT_EQ(Le32(image + 4), 3u);
  EXPECT_EQ(Le32(image + 8), 49u);
  EXPECT_EQ(Le32(image + 12), 0x1000u);
  EXPECT_EQ(Le32(image + 24), 0u);
  EXPECT_EQ(Le32(image + 28), 0u);
  EXPECT_EQ(Le32(image + 36), 0u);
  EXPECT_EQ(Le32(image + 52), 1u);
  EXPECT_EQ(Le32(image + 68), 1u);
  EXPECT_EQ(Le32(image + 72), 0u);
  EXPECT_EQ(Le32(image + 76), 0u);
  const std::u16string path = u"\\My Documents\\flash.txt";
  for (size_t i = 0; i <= path.size(); ++i)
    EXPECT_EQ(image[92 + 2 * i] | (image[93 + 2 * i] << 8), i < path.size() ? path[i] : 0) << i;
}

TEST(ImportSettingsRecordTest, RoundTripWithRowsAndRunTimeWordsStoredAsZero) {
  ImportSettingsRecord s;
  InitImportSettings(&s);
  const ImportDictRow rows[2] = {{0x11223344, 7}, {0x55667788, 0x41424344}};
  s.target = kImportTargetUserDict;
  s.encoding = kImportUtf16Be;
  s.format = kImportFormatText;
  s.language = kImportEnglishChinese;
  s.missing = kMissingSkip;
  s.ambiguous = kAmbiguousPrompt;
  s.duplicates = kDuplicatePrompt;
  s.definitionSource = kDefnDictsOnly;
  s.storeDefinitions = 1;
  s.unsafeMode = 1;
  s.dictCreator = 0xABCD;
  s.dictId = 99;
  s.dictRowCount = 2;
  s.run.rows = rows;
  s.run.callback = Answer;
  s.run.data = &s;
  std::vector<uint8_t> image(kImportSettingsSize + 2 * kImportDictRowSize);
  EncodeImportSettings(&s, image.data());
  EncodeImportDictRows(&s, image.data() + kImportSettingsSize);
  EXPECT_EQ(Le32(&image[16]), 0u);
  EXPECT_EQ(Le32(&image[20]), 0u);
  EXPECT_EQ(Le32(&image[32]), 0u);
  EXPECT_EQ(Le32(&image[kImportSettingsSize + 12]), 0x41424344u);
  ImportSettingsRecord back;
  ImportDictRow read[4] = {};
  ASSERT_EQ(DecodeImportSettings(image.data(), static_cast<uint32_t>(image.size()), &back, read, 4), 0);
  EXPECT_EQ(back.target, s.target);
  EXPECT_EQ(back.encoding, s.encoding);
  EXPECT_EQ(back.format, s.format);
  EXPECT_EQ(back.language, s.language);
  EXPECT_EQ(back.missing, s.missing);
  EXPECT_EQ(back.ambiguous, s.ambiguous);
  EXPECT_EQ(back.duplicates, s.duplicates);
  EXPECT_EQ(back.definitionSource, s.definitionSource);
  EXPECT_EQ(back.storeDefinitions, 1u);
  EXPECT_EQ(back.unsafeMode, 1u);
  EXPECT_EQ(back.dictCreator, 0xABCDu);
  EXPECT_EQ(back.dictId, 99u);
  ASSERT_EQ(back.dictRowCount, 2u);
  EXPECT_EQ(back.run.rows, read);
  EXPECT_EQ(read[1].dictId, 0x41424344u);
  EXPECT_EQ(back.run.callback, nullptr);
  EXPECT_EQ(back.run.data, nullptr);
  EXPECT_EQ(AreImportSettingsValid(&back), 1);
}

TEST(ImportSettingsRecordTest, DamagedImageIsBoundedAndChecked) {
  std::vector<uint8_t> image(kImportSettingsSize + kImportDictRowSize, 0xFF);
  // Every enumeration out of range, the path without a terminator, a row
  // count far beyond the one row present.
  ImportSettingsRecord s;
  ImportDictRow rows[4] = {};
  ASSERT_EQ(DecodeImportSettings(image.data(), static_cast<uint32_t>(image.size()), &s, rows, 4), 0);
  ImportSettingsRecord d;
  InitImportSettings(&d);
  EXPECT_EQ(s.target, d.target);
  EXPECT_EQ(s.encoding, d.encoding);
  EXPECT_EQ(s.format, d.format);
  EXPECT_EQ(s.language, d.language);
  EXPECT_EQ(s.missing, d.missing);
  EXPECT_EQ(s.ambiguous, d.ambiguous);
  EXPECT_EQ(s.duplicates, d.duplicates);
  EXPECT_EQ(s.definitionSource, d.definitionSource);
  EXPECT_EQ(s.storeDefinitions, 1u);
  EXPECT_EQ(s.dictRowCount, 1u);
  EXPECT_EQ(s.filePath[kImportPathMax - 2], 0xFFFF);
  EXPECT_EQ(s.filePath[kImportPathMax - 1], 0);
  EXPECT_EQ(AreImportSettingsValid(&s), 1);
  // The caller's capacity bounds the rows too.
  std::vector<uint8_t> many(kImportSettingsSize + 100 * kImportDictRowSize, 0);
  many[36] = 100;
  ASSERT_EQ(DecodeImportSettings(many.data(), static_cast<uint32_t>(many.size()), &s, rows, 4), 0);
  EXPECT_EQ(s.dictRowCount, 4u);
  // Too short: the defaults, no rows.
  EXPECT_EQ(DecodeImportSettings(image.data(), kImportSettingsSize - 1, &s, rows, 4), 1);
  EXPECT_EQ(s.dictRowCount, 0u);
  EXPECT_EQ(s.duplicates, d.duplicates);
}

}  // namespace
