// Adding the current entry to the flashcards (commands 6, 21 and 22) with
// the test flashcard store.
#include "tests/engine_session/session_fixture.h"

using namespace sessionfix;
using lookupfix::kCedict;

namespace {

class CardTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    AddCedict();
    databuild::DictionarySpec noCards =
        searchfix::ChineseDict({lookupfix::Row(u"好", u"好", "hao3", {u"good"})}, 9, u"NoCards");
    noCards.info.flags |= 0x100;
    AddDict(noCards);
    Build(true);
    ASSERT_NE(GetFlashcardStore(engine_), nullptr);
    Open();
    LookupShowEntry(session_, kCedict, 5);
    Taken();
  }
};

TEST_F(CardTest, ResultsAndRecords) {
  struct Case {
    const char* name;
    uint32_t command;
    int32_t argument;
    int32_t mode;      // preference 201
    int32_t report;    // preference 202
    int32_t fallback;  // preference 83
    bool existed, filed, fails;
    // Expected:
    uint32_t duplicateMode;
    std::vector<int32_t> categories;
    int32_t result;  // -1: no notice
    int32_t cardArgument;
  } cases[] = {
      {"new card", 6, 5, 1, 1, -3, false, false, false, 1, {5}, 1, 5},
      {"no category", 6, -3, 1, 1, 7, false, false, false, 1, {}, 1, -3},
      {"default category", 6, -1, 1, 1, 7, false, false, false, 1, {7}, 1, 7},
      {"default is none", 6, -2, 1, 1, -3, false, false, false, 1, {}, 1, -3},
      {"existed", 6, 5, 0, 1, -3, true, false, false, 0, {5}, 4, 5},
      {"existed, filed", 6, 5, 1, 1, -3, true, true, false, 1, {5}, 5, 5},
      {"ask", 6, -1, 4, 1, 7, true, false, false, 4, {7}, 6, -1},
      {"failed", 6, 5, 1, 1, -3, false, false, true, 1, {5}, 2, 5},
      {"quiet success", 6, 5, 1, 0, -3, false, false, false, 1, {5}, -1, 0},
      {"quiet failure", 6, 5, 1, 0, -3, false, false, true, 1, {5}, 2, 5},
      {"add anyway", 21, 5, 4, 1, -3, false, false, false, 3, {5}, 1, 5},
      {"use existing", 22, 5, 4, 1, -3, true, true, false, 1, {5}, -1, 0},
      {"use existing, failed", 22, 5, 4, 1, -3, false, false, true, 1, {5}, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host_.ResetCards();
    host_.cardExisted = c.existed;
    host_.cardFiled = c.filed;
    host_.saveFails = c.fails;
    SetPref(engine_, 201, c.mode);
    SetPref(engine_, 202, c.report);
    SetPref(engine_, 83, c.fallback);
    notices_.clear();
    EXPECT_EQ(Command(c.command, c.argument), 0);
    ASSERT_EQ(host_.saveCalls, 1);
    EXPECT_EQ(host_.lastCardId, -1);
    EXPECT_EQ(host_.lastCard.scorefile, -1);
    EXPECT_EQ(host_.lastCard.linked, 1u);
    EXPECT_EQ(host_.lastCard.dictSlot, kCedict);
    EXPECT_EQ(host_.lastCard.entry, 5u);
    EXPECT_EQ(host_.lastCard.duplicateMode, c.duplicateMode);
    EXPECT_EQ(host_.lastCategories, c.categories);
    if (c.result < 0) {
      EXPECT_TRUE(notices_.empty());
      continue;
    }
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(Flags(notices_[0]), "");
    EXPECT_EQ(notices_[0].cardResult, static_cast<uint32_t>(c.result));
    EXPECT_EQ(notices_[0].cardArgument, c.cardArgument);
  }
}

TEST_F(CardTest, NothingToAddOrADictionaryWithoutCards) {
  // No entry shown (a search without matches).
  Search(u"qqqxxx");
  notices_.clear();
  EXPECT_EQ(Command(kLookupAddCard, 5), 0);
  EXPECT_EQ(host_.saveCalls, 0);
  EXPECT_TRUE(notices_.empty());

  // A dictionary whose entries cannot be cards: kind 3, the store untouched.
  LookupShowEntry(session_, 1, 0);
  notices_.clear();
  EXPECT_EQ(Command(kLookupAddCard, 5), 0);
  EXPECT_EQ(host_.saveCalls, 0);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].cardResult, kCardResultDictCannot);
  EXPECT_EQ(notices_[0].cardArgument, 0);
}

TEST_F(SessionTest, CardWithoutAFlashcardStoreFails) {
  BuildStandard();
  ASSERT_EQ(GetFlashcardStore(engine_), nullptr);
  Open();
  LookupShowEntry(session_, kCedict, 5);
  notices_.clear();
  Command(kLookupAddCard, -3);
  EXPECT_EQ(host_.saveCalls, 0);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].cardResult, kCardResultFailed);
}

}  // namespace
