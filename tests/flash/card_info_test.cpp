// The texts of the card lists and the information sheet: one text per
// display field, a card's category paths, and the statistics report of a
// category or of all cards.
#include "flash/card_info.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/text_buffer.h"
#include "flash/card_scores.h"
#include "resources/resources.h"
#include "session_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

// TZ pinned for the test's life: the device shows local times.
class PinnedZone {
 public:
  explicit PinnedZone(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    old_ = old ? old : "";
    setenv("TZ", zone, 1);
    tzset();
  }
  ~PinnedZone() {
    if (had_) setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

// 2024-03-07 14:07 UTC: 3:07 PM in Central Europe (standard time).
constexpr uint32_t kMarch7 = 1709820420;
// 2024-01-15 08:00 UTC: 9:00 AM there.
constexpr uint32_t kJan15 = 1705305600;

class CardInfoTest : public SessionTest {
 protected:
  void SetUp() override {
    RegisterSorviResources();  // the syllable tables of the pronunciation field
    SessionTest::SetUp();
    zone = new PinnedZone("CET-1CEST,M3.5.0,M10.5.0/3");
  }
  void TearDown() override {
    SessionTest::TearDown();
    delete zone;
  }
  // A card with the given columns.
  void Card(int32_t id, const std::string& hw, const std::string& althw, const std::string& pron,
            const std::string& defn, int64_t created = 0, int64_t modified = 0, int32_t creator = -1,
            int32_t dictId = -1, int32_t entry = -1) {
    auto q = [](const std::string& s) { return s.empty() ? std::string("NULL") : "'" + s + "'"; };
    OnStore(
        "INSERT INTO sorvi_flash_cards (id, lang, hw, althw, pron, defn, dictcreator, dictid, dictentry, "
        "wordlength, created, modified) VALUES (" +
        std::to_string(id) + ", 4096, " + q(hw) + ", " + q(althw) + ", " + q(pron) + ", " + q(defn) + ", " +
        std::to_string(creator) + ", " + std::to_string(dictId) + ", " + std::to_string(entry) + ", 1, " +
        std::to_string(created) + ", " + std::to_string(modified) + ")");
  }
  void Row(int32_t card, int32_t score, int32_t difficulty, const std::string& history, int32_t correct,
           int32_t incorrect, int32_t reviewed, int64_t first, int64_t last, int32_t file = 0) {
    OnStore("INSERT OR REPLACE INTO sorvi_flash_scores_" + std::to_string(file ? file : scorefile) +
            " (card, score, difficulty, history, correct, incorrect, reviewed, sincelastchange, firstreviewedtime, "
            "lastreviewedtime, scoreinctime, scoredectime) VALUES (" +
            std::to_string(card) + ", " + std::to_string(score) + ", " + std::to_string(difficulty) + ", '" + history +
            "', " + std::to_string(correct) + ", " + std::to_string(incorrect) + ", " + std::to_string(reviewed) +
            ", 0, " + std::to_string(first) + ", " + std::to_string(last) + ", 0, 0)");
  }
  std::u16string Info(int32_t card, uint32_t kind, int32_t file = -1, int* result = nullptr) {
    WCHAR buffer[256];
    buffer[0] = u'?';
    const int rc = FormatCardInfo(store, file, card, kind, buffer, 256);
    if (result) *result = rc;
    else
      EXPECT_EQ(rc, 0) << "kind " << kind;
    return buffer;
  }
  std::u16string Statistics(int32_t category, int* result = nullptr) {
    TextBuffer tb{};
    TextBufInit(&tb);
    const int rc = FormatCategoryStatistics(store, category, &tb);
    if (result) *result = rc;
    else
      EXPECT_EQ(rc, 0);
    std::u16string out = tb.handle ? static_cast<const char16_t*>(LockMemHandle(tb.handle)) : u"";
    if (tb.handle) {
      UnlockMemHandle(tb.handle);
      FreeMemHandle(tb.handle);
    }
    return out;
  }
  std::u16string Categories(int32_t card) {
    TextBuffer tb{};
    TextBufInit(&tb);
    EXPECT_EQ(FormatCardCategories(store, card, &tb), 0);
    std::u16string out = tb.handle ? static_cast<const char16_t*>(LockMemHandle(tb.handle)) : u"";
    if (tb.handle) {
      UnlockMemHandle(tb.handle);
      FreeMemHandle(tb.handle);
    }
    return out;
  }

  PinnedZone* zone = nullptr;
};

TEST_F(CardInfoTest, FieldTextsOfAReviewedCardAndOfANewOne) {
  Card(1, "hw1", "", "ni3hao3", "hello", kMarch7, kJan15);
  Card(2, "hw2", "", "", "");
  Row(1, 300, 120, "65142W", 3, 2, 5, kMarch7, kJan15);
  struct Case {
    int32_t card;
    uint32_t kind;
    std::u16string text;
    const char* why;
  };
  const Case cases[] = {
      {1, kInfoScore, u"300", "score"},
      {1, kInfoDifficulty, u"120", "difficulty"},
      {1, kInfoReviewed, u"5", "reviewed count"},
      {1, kInfoCorrect, u"3", "correct count"},
      {1, kInfoIncorrect, u"2", "incorrect count"},
      {1, kInfoPercentCorrect, u"60%", "6, 5, 4 correct among the last five"},
      {1, kInfoCorrectIncorrect, u"3-2", "correct-incorrect"},
      {1, kInfoCorrectIncorrectReviewed, u"3-2/5", "with the reviewed count"},
      {1, kInfoHistory, u"65142", "history digits without the priority letter"},
      {1, kInfoPriorityRank, u"2", "W is high priority"},
      {1, kInfoPriorityLabel, u"2 (high)", "its label"},
      {1, kInfoCreated, u"3/7/2024 3:07 PM", "created, local standard time"},
      {1, kInfoModified, u"1/15/2024 9:00 AM", "modified"},
      {1, kInfoFirstReviewed, u"3/7/2024 3:07 PM", "first review"},
      {1, kInfoLastReviewed, u"1/15/2024 9:00 AM", "last review"},
      {1, kInfoLastReviewedDate, u"1/15/2024", "last review, date only"},
      {1, kInfoDictionary, u"None", "a custom card has no dictionary"},
      {2, kInfoScore, u"100", "a card without a row reads as new"},
      {2, kInfoDifficulty, u"100", "new difficulty"},
      {2, kInfoPercentCorrect, u"0%", "no answers"},
      {2, kInfoFirstReviewed, u"Never", "never reviewed: no first review either"},
      {2, kInfoLastReviewed, u"Never", "never reviewed"},
      {2, kInfoLastReviewedDate, u"Never", "never reviewed, date form"},
      {2, kInfoHistory, u"", "no history"},
      {2, kInfoPriorityLabel, u"3 (normal)", "normal priority"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShowUtf16(Info(c.card, c.kind)), ShowUtf16(c.text)) << c.why;
}

TEST_F(CardInfoTest, PercentCorrectLooksAtTheLastTenResultsAtMost) {
  struct Case {
    int32_t correct, incorrect;
    const char* history;
    const char16_t* text;
    const char* why;
  };
  const Case cases[] = {
      {3, 2, "65142", u"60%", "n = 5"},
      {0, 0, "", u"0%", "n = 0"},
      {20, 0, "666666666611111", u"100%", "only the last ten count"},
      {5, 5, "1111166666", u"50%", "the most recent come first"},
      {4, 0, "66", u"50%", "a history shorter than the counts still divides by n"},
  };
  for (const Case& c : cases) {
    CardScoreRecord r;
    InitCardScoreRecord(&r);
    r.correct = c.correct;
    r.incorrect = c.incorrect;
    DecodeScoreHistory(c.history, &r);
    WCHAR out[16];
    EXPECT_EQ(FormatScoreField(&r, kInfoPercentCorrect, out, 16), 0);
    EXPECT_EQ(ShowUtf16(out), ShowUtf16(c.text)) << c.why;
  }
}

TEST_F(CardInfoTest, PriorityFieldsForEachPriority) {
  struct Case {
    int32_t priority;
    const char16_t* rank;
    const char16_t* label;
  };
  const Case cases[] = {
      {kPriorityVeryHigh, u"1", u"1 (very high)"}, {kPriorityHigh, u"2", u"2 (high)"},
      {kPriorityNormal, u"3", u"3 (normal)"},      {kPriorityLow, u"4", u"4 (low)"},
      {kPriorityVeryLow, u"5", u"5 (very low)"},
  };
  for (const Case& c : cases) {
    CardScoreRecord r;
    InitCardScoreRecord(&r);
    r.priority = c.priority;
    WCHAR out[32];
    EXPECT_EQ(FormatScoreField(&r, kInfoPriorityRank, out, 32), 0);
    EXPECT_EQ(ShowUtf16(out), ShowUtf16(c.rank));
    EXPECT_EQ(FormatScoreField(&r, kInfoPriorityLabel, out, 32), 0);
    EXPECT_EQ(ShowUtf16(out), ShowUtf16(c.label));
  }
  // Through the card, from the stored letter.
  Card(1, "hw", "", "", "");
  Row(1, 100, 100, "6Z", 1, 0, 1, kMarch7, kMarch7);
  EXPECT_EQ(ShowUtf16(Info(1, kInfoPriorityLabel)), "5 (very low)");
}

TEST_F(CardInfoTest, TextsAreCutToTheBufferAndUnknownKindsAreEmpty) {
  CardScoreRecord r;
  InitCardScoreRecord(&r);
  r.priority = kPriorityVeryHigh;
  WCHAR out[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(FormatScoreField(&r, kInfoPriorityLabel, out, 5), 0);
  EXPECT_EQ(ShowUtf16(out), "1 (v");
  EXPECT_EQ(FormatScoreField(&r, 99, out, 5), 1);
  EXPECT_EQ(out[0], 0);
}

TEST_F(CardInfoTest, AMissingCardGivesOne) {
  int rc = 0;
  for (uint32_t kind : {kInfoScore, kInfoCreated, kInfoHeadword, kInfoDictionary, kInfoFullCard}) {
    EXPECT_EQ(ShowUtf16(Info(42, kind, -1, &rc)), "");
    EXPECT_EQ(rc, 1) << kind;
  }
}

TEST_F(CardInfoTest, HeadwordFollowsTheDisplayPreference) {
  Card(1, "simple", "complex", "", "");
  Card(2, "onlyhw", "", "", "");
  Card(3, "", "onlyalt", "", "");
  struct Case {
    int32_t display;
    int32_t card;
    const char* text;
  };
  const Case cases[] = {
      {0, 1, "simple"}, {0, 2, "onlyhw"}, {0, 3, "onlyalt"}, {1, 1, "complex"}, {1, 2, "onlyhw"}, {1, 3, "onlyalt"},
  };
  for (const Case& c : cases) {
    SetPref(engine, kPrefDisplayMode, c.display);
    EXPECT_EQ(ShowUtf16(Info(c.card, kInfoHeadword)), c.text) << c.display << " " << c.card;
  }
}

TEST_F(CardInfoTest, PronunciationIsReadableInEachCharsetMode) {
  Card(1, "hw", "", "ni3@hao3", "");
  struct Case {
    int32_t mode;
    std::u16string text;
  };
  const Case cases[] = {
      {0, u"nihao"},                                 // pinyin without tones
      {1, u"n\u01d0h\u01ceo"},                       // tone marks
      {2, u"ni3hao3"},                               // tone digits
      {3, u"\u310b\u3127\u02c7\u310f\u3120\u02c7"},  // zhuyin
  };
  for (const Case& c : cases) {
    SetPref(engine, kPrefCharsetMode, c.mode);
    EXPECT_EQ(ShowUtf16(Info(1, kInfoPron)), ShowUtf16(c.text)) << c.mode;
  }
}

TEST_F(CardInfoTest, DefinitionAndFullCardComeFromTheCardContent) {
  Card(1, "hw", "alt", "ni3", "the meaning");
  struct Case {
    int32_t display;
    uint32_t kind;
    std::u16string text;
  };
  const Case cases[] = {
      {0, kInfoDefinition, u"the meaning"},
      {0, kInfoFullCard, u"hw [alt] ni3 the meaning"},  // the whole card on one line
      {1, kInfoFullCard, u"alt [hw] ni3 the meaning"},
  };
  for (const Case& c : cases) {
    SetPref(engine, kPrefDisplayMode, c.display);
    EXPECT_EQ(ShowUtf16(Info(1, c.kind)), ShowUtf16(c.text)) << c.display << " " << c.kind;
  }
}

TEST_F(CardInfoTest, ScorefileMinusOneAndMinusTwoMeanTheCurrentProfilesScorefile) {
  Card(1, "hw", "", "", "");
  const int32_t other = CreateScorefile(store, W(u"Other"), -1);
  ASSERT_GT(other, 0);
  Row(1, 300, 100, "6", 1, 0, 1, kMarch7, kMarch7);
  Row(1, 700, 100, "6", 1, 0, 1, kMarch7, kMarch7, other);
  EXPECT_EQ(ShowUtf16(Info(1, kInfoScore, -1)), "300");
  EXPECT_EQ(ShowUtf16(Info(1, kInfoScore, -2)), "300");
  EXPECT_EQ(ShowUtf16(Info(1, kInfoScore, other)), "700");
}

TEST_F(CardInfoTest, CategoriesAreJoinedPathsOfExistingCategories) {
  Card(1, "hw", "", "", "");
  const int32_t a = Category(u"A");
  const int32_t b = Category(u"B", a);
  const int32_t c = Category(u"C");
  OnStore("INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (1, " + std::to_string(b) + "), (1, 9999), (1, " +
          std::to_string(c) + ")");
  EXPECT_EQ(ShowUtf16(Categories(1)), "A/B, C");
  EXPECT_EQ(ShowUtf16(Categories(2)), "");
}

// --- Statistics -------------------------------------------------------------

class StatisticsTest : public CardInfoTest {
 protected:
  // Four cards in category "Cat"; card 1 with a score row.
  int32_t FourCards() {
    Cards(1, 4);
    const int32_t cat = Category(u"Cat");
    for (int32_t card = 1; card <= 4; ++card)
      OnStore("INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (" + std::to_string(card) + ", " +
              std::to_string(cat) + ")");
    Row(1, 300, 100, "62", 1, 1, 2, now - 3600, now - 60);
    return cat;
  }
};

TEST_F(StatisticsTest, ACategoryOfFourCardsUnderPresetZero) {
  const int32_t cat = FourCards();
  EXPECT_EQ(ShowUtf16(Statistics(cat)),
            ShowUtf16(u"Total Cards: 4\n\nAverage Score: 150\nAverage Difficulty: 100\n\nTotal Repetitions: 2\n"
                      u"Average Repetitions Per Card: 2\nAverage Correct %: 50\nCards Learned: 1\n"
                      u"(learned: score >= 200)\n\nScore Ranges:\n0-100: 3\n201-400: 1"));
}

TEST_F(StatisticsTest, SubcategoriesCountOnceAndCardsOutsideAreLeftOut) {
  const int32_t cat = FourCards();
  const int32_t sub = Category(u"Sub", cat);
  Cards(5, 2);
  Row(6, 900, 100, "6", 1, 0, 1, now - 60, now - 60);  // outside: not counted
  // Card 1 also in the subcategory: still one card.
  OnStore("INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (1, " + std::to_string(sub) + "), (5, " +
          std::to_string(sub) + ")");
  const std::u16string text = Statistics(cat);
  EXPECT_EQ(text.substr(0, 31), u"Total Cards: 5\n\nAverage Score: ") << ShowUtf16(text);
  EXPECT_NE(text.find(u"\n0-100: 4\n201-400: 1"), std::u16string::npos) << ShowUtf16(text);
  EXPECT_EQ(text.find(u"801-1600"), std::u16string::npos) << ShowUtf16(text);
}

TEST_F(StatisticsTest, AllCardsAddPerDayLinesOverWholeDaysRoundedUp) {
  Cards(1, 3);
  // The oldest first review 9 days and 1 hour ago: 10 days.
  Row(1, 2000, 150, "666", 3, 0, 20, now - 9 * 86400 - 3600, now - 60);
  Row(2, 250000, 100, "111", 0, 5, 10, now - 86400, now - 60);
  EXPECT_EQ(ShowUtf16(Statistics(-1)),
            ShowUtf16(u"Total Cards: 3\n\nAverage Score: 84033\nAverage Difficulty: 116\n\nTotal Repetitions: 30\n"
                      u"Average Repetitions Per Card: 15\n  Per Day: 3\nAverage Correct %: 37\nCards Learned: 2\n"
                      u"  Per Day: 0\n(learned: score >= 200)\n\nScore Ranges:\n0-100: 1\n1601-3200: 1\n204801+: 1"));
}

TEST_F(StatisticsTest, NoCardsFound) {
  const int32_t empty = Category(u"Empty");
  EXPECT_EQ(ShowUtf16(Statistics(empty)), "No Cards Found!");
  EXPECT_EQ(ShowUtf16(Statistics(-1)), "No Cards Found!");  // no card at all
  const int32_t cat = FourCards();
  Set(kProScorefile, 0);
  EXPECT_EQ(ShowUtf16(Statistics(cat)), "No Cards Found!");
}

TEST_F(StatisticsTest, LearnedModesAndTheirLabels) {
  const int32_t cat = FourCards();
  Row(2, 100, 100, "5546", 4, 0, 4, now - 60, now - 60);
  struct Case {
    int32_t mode, count;
    const char16_t* lines;
  };
  const Case cases[] = {
      {0, 1, u"Cards Learned: 2\n(learned: last 1 answers correct)"},  // "62" and "5546" begin correct
      {0, 2, u"Cards Learned: 1\n(learned: last 2 answers correct)"},  // "62" fails
      {0, 4, u"Cards Learned: 1\n(learned: last 4 answers correct)"},
      {0, 5, u"Cards Learned: 0\n(learned: last 5 answers correct)"},  // longer than every history
      {4, 1, u"Cards Learned: 2\n(learned: times correct >= 1)"},
      {4, 4, u"Cards Learned: 1\n(learned: times correct >= 4)"},
      {3, 300, u"Cards Learned: 1\n(learned: score >= 300)"},
      // Any other mode compares the score, and says so.
      {1, 100, u"Cards Learned: 2\n(learned: score >= 100)"},
  };
  for (const Case& c : cases) {
    Set(kProLearnedselmode, c.mode);
    Set(kProLearnedselcount, c.count);
    const std::u16string text = Statistics(cat);
    EXPECT_NE(text.find(c.lines), std::u16string::npos) << c.mode << " " << c.count << ": " << ShowUtf16(text);
  }
}

// The statements the store's connection prepares, by length.
int Trace(unsigned, void* context, void* statement, void*) {
  const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
  auto* longest = static_cast<size_t*>(context);
  if (sql && std::strlen(sql) > *longest) *longest = std::strlen(sql);
  return 0;
}

TEST_F(StatisticsTest, AHugeLearnedCountStaysASmallStatementAndMeansAWholeHistory) {
  const int32_t cat = FourCards();
  // 256 correct answers in a row: a full history.
  Row(2, 100, 100, std::string(256, '5'), 256, 0, 256, now - 60, now - 60);
  Row(3, 100, 100, std::string(255, '5') + "1", 255, 1, 256, now - 60, now - 60);
  Set(kProLearnedselmode, 0);
  for (int32_t count : {256, 1000000}) {
    Set(kProLearnedselcount, count);
    size_t longest = 0;
    sqlite3_trace_v2(store->database->conn, SQLITE_TRACE_STMT, Trace, &longest);
    const std::u16string text = Statistics(cat);
    sqlite3_trace_v2(store->database->conn, 0, nullptr, nullptr);
    EXPECT_LT(longest, 4096u) << count;
    EXPECT_NE(text.find(u"Cards Learned: 1\n(learned: last 256 answers correct)"), std::u16string::npos)
        << count << ": " << ShowUtf16(text);
  }
}

}  // namespace
