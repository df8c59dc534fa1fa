// Building a session from the current profile: settings read as the
// settings pages show them, the filters of the card query, categories,
// card counts, the reference time, field sets and the profile stamp.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/engine_time.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/profile_lists.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "platform/random.h"
#include "session_fixture.h"

namespace {

class SessionBuildTest : public SessionTest {};

TEST_F(SessionBuildTest, FreshSimpleProfileAsksTheChineseCards) {
  // The new profile stores no score, review or category filter: they are
  // off, as the settings pages show them, not on with -1 parameters.
  Cards(1, 20, 4096);
  Cards(101, 5, 0);
  const std::set<int32_t> ids = Selected();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(ids.size(), 20u);
  EXPECT_EQ(*ids.rbegin(), 20);
  EXPECT_EQ(session->cardsToAsk, 20);  // no-repeat with fewer than 100 cards
  EXPECT_EQ(session->state, kSessionBrowsing);
  EXPECT_EQ(session->questionIndex, -1);
  EXPECT_EQ(session->currentCard, -1);
  EXPECT_EQ(session->dictRef.slot, kSessionDictSlotNone);
  EXPECT_EQ(session->scoring.kind, kScoringAutomatic);
  EXPECT_EQ(session->display.buttonCategoryId, -1);
  EXPECT_EQ(session->display.buttonCategoryExists, 0);
  // English cards with language 0.
  Set(kProLanguage, 0);
  EXPECT_EQ(Selected(), (std::set<int32_t>{101, 102, 103, 104, 105}));
}

TEST_F(SessionBuildTest, SpacedRepetitionAsksCardsStillBeingLearned) {
  ASSERT_EQ(ResetProfileToPreset(store, GetCurrentProfileId(store), 1), 0);
  Cards(1, 3);
  Score(1, 300, "2", now - 30 * 86400);   // reviewed, below the learned score
  Score(2, 900, "55", now - 90 * 86400);  // learned
  const std::set<int32_t> ids = Selected();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(ids, (std::set<int32_t>{1, 2, 3}));
  EXPECT_EQ(session->method, kSelectRepetitionSpaced);
  EXPECT_EQ(session->unlimited, 1);
}

TEST_F(SessionBuildTest, CardCountKeepsASurplusAndAsksTheCount) {
  Set(kProLimitunlearned, 0);
  Set(kProUnlearnedratio, 0);
  Set(kProCardcount, 100);
  Cards(1, 1000);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->cards->count, 300);
  EXPECT_EQ(session->cardsToAsk, 100);
  EXPECT_EQ(session->unlimited, 0);

  OnStore("DELETE FROM sorvi_flash_cards WHERE id > 40");
  Set(kProSelectionnorepeat, 1);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->cardsToAsk, 40);
  Set(kProSelectionnorepeat, 0);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->cardsToAsk, 100);
  EXPECT_EQ(session->cards->count, 40);
}

TEST_F(SessionBuildTest, CategoriesAdmitExactlyTheChosenAssignments) {
  Plain();
  Cards(1, 4);
  const int32_t a = Category(u"A"), b = Category(u"B"), c = Category(u"C"), d = Category(u"D");
  AssignCard(store, 1, a);
  AssignCard(store, 2, a);
  AssignCard(store, 2, d);
  AssignCard(store, 4, d);  // card 3 has no category
  const std::string abc = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + ",";
  struct Case {
    std::string list;
    std::set<int32_t> expected;
    const char* why;
  } cases[] = {
      // Three of four categories chosen: a card also in an unchosen one
      // stays, and uncategorized cards are not added.
      {abc, {1, 2}, "more than half chosen"},
      {abc + "-3,", {1, 2, 3}, "with the uncategorized cards"},
      {abc + std::to_string(d) + ",-3,", {1, 2, 3, 4}, "all on"},
      {std::to_string(d) + ",", {2, 4}, "one category"},
      {"", {}, "a present empty list chooses nothing"},
  };
  for (const Case& k : cases) {
    SetText(kProCategories, U(k.list));
    EXPECT_EQ(Selected(), k.expected) << k.why;
  }
}

TEST_F(SessionBuildTest, ParentCategoryBringsItsSubcategoriesUnlessAlone) {
  Plain();
  Cards(1, 3);
  const int32_t parent = Category(u"P");
  const int32_t child = Category(u"Q", parent);
  AssignCard(store, 1, parent);
  AssignCard(store, 2, child);
  SetText(kProCategories, U(std::to_string(parent) + ","));
  EXPECT_EQ(Selected(), (std::set<int32_t>{1, 2}));
  SetText(kProCategories, U(std::to_string(parent | (1 << 29)) + ","));
  EXPECT_EQ(Selected(), (std::set<int32_t>{1}));
}

TEST_F(SessionBuildTest, LimitCategoriesRequireAndExclude) {
  Plain();
  Cards(1, 4);
  const int32_t a = Category(u"A"), b = Category(u"B");
  AssignCard(store, 1, a);
  AssignCard(store, 2, a);
  AssignCard(store, 2, b);
  AssignCard(store, 3, b);
  SetText(kProLimitcategories, U("+" + std::to_string(a) + ",~" + std::to_string(b) + ","));
  EXPECT_EQ(Selected(), (std::set<int32_t>{1}));
}

TEST_F(SessionBuildTest, ScoreRangeDecidesOnNewCards) {
  Plain();
  Cards(1, 3);
  Score(2, 300, "5", now);
  Score(3, 600, "5", now);
  Set(kProLimitscore, 1);
  Set(kProLimitscorestart, 200);
  Set(kProLimitscoreend, 400);
  EXPECT_EQ(Selected(), (std::set<int32_t>{2}));
  Set(kProLimitscorestart, 0);
  Set(kProLimitscoreend, 500);
  EXPECT_EQ(Selected(), (std::set<int32_t>{1, 2}));
}

TEST_F(SessionBuildTest, ReviewedFilterAndNewCards) {
  // The stated rule, kept as it stands: with count 0 "<" admits cards that
  // were never reviewed though 0 < 0 does not hold, and a negative count
  // admits none though 0 > -1 holds.
  struct Case {
    int32_t compare, count, admits;
  } cases[] = {
      {0, 3, 0}, {1, 3, 1}, {2, 3, 0}, {3, 3, 1}, {4, 3, 0},  {5, 3, 1},  {0, 0, 1},  {1, 0, 0},
      {2, 0, 0}, {3, 0, 1}, {4, 0, 1}, {5, 0, 1}, {1, -1, 0}, {2, -1, 0}, {4, -1, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReviewedFilterAdmitsNewCards(c.compare, c.count), c.admits) << c.compare << " " << c.count;

  Plain();
  Cards(1, 3);
  Score(2, 300, "5", now, 2);
  Score(3, 300, "55", now, 5);
  Set(kProLimitreviewed, 1);
  Set(kProLimitreviewedtype, 8);
  Set(kProLimitreviewedcompare, 3);  // fewer than 3 reviews
  Set(kProLimitreviewedcount, 3);
  EXPECT_EQ(Selected(), (std::set<int32_t>{1, 2}));
  Set(kProLimitreviewedcompare, 4);  // at least 3
  EXPECT_EQ(Selected(), (std::set<int32_t>{3}));
}

TEST_F(SessionBuildTest, TimeFilterUnitsAreTheProfilesCodes) {
  Plain();
  Cards(1, 1, 4096, 1, now - 86400);
  Cards(2, 1, 4096, 1, now - 3 * 86400);
  Cards(3, 1, 4096, 1, now - 3600);
  Set(kProLimittime, 1);
  Set(kProLimittimemode, 0);     // created
  Set(kProLimittimecompare, 2);  // at or after now minus the amount
  Set(kProLimittimetime, 2);
  Set(kProLimittimeunits, 3);  // days
  EXPECT_EQ(Selected(), (std::set<int32_t>{1, 3}));
  Set(kProLimittimeunits, 2);  // hours
  EXPECT_EQ(Selected(), (std::set<int32_t>{3}));
  Set(kProLimittimeunits, 19);  // days from the start of today
  Set(kProLimittimetime, 1);
  EXPECT_EQ(Selected(), (std::set<int32_t>{3}));
  // Comparison 0: at or before the stored time itself.
  Set(kProLimittimecompare, 0);
  Set(kProLimittimetime, static_cast<int32_t>(now - 2 * 86400));
  EXPECT_EQ(Selected(), (std::set<int32_t>{2}));
}

TEST_F(SessionBuildTest, WordLengthFollowsTheTestType) {
  Plain();
  Cards(1, 1, 4096, 1);
  Cards(2, 1, 4096, 3);
  Cards(3, 1, 4096, 6);
  Set(kProType, kTestStrokeOrder);
  EXPECT_EQ(Selected(), (std::set<int32_t>{1}));
  Set(kProType, kTestFreeAnswer);
  EXPECT_EQ(Selected(), (std::set<int32_t>{1, 2}));
  Set(kProLimitlength, 1);
  Set(kProLimitlengthstart, 2);
  Set(kProLimitlengthend, 9);
  EXPECT_EQ(Selected(), (std::set<int32_t>{2}));
}

TEST_F(SessionBuildTest, NoMatchingCardGivesNoSession) {
  Cards(1, 3, 0);
  Build();
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(status, 1);
  // Nothing was stamped on the profile.
  EXPECT_EQ(Query(kDefaultKvb, "SELECT ifnull(laststart, 0) FROM sorvi_flash_profiles"), "0");
}

TEST_F(SessionBuildTest, SpacedRepetitionWithOnlyNotDueCards) {
  ASSERT_EQ(ResetProfileToPreset(store, GetCurrentProfileId(store), 1), 0);
  Cards(1, 3);
  for (int32_t id = 1; id <= 3; ++id) Score(id, 5000, "55", now);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->cards->count, 3);
  EXPECT_EQ(session->dueToAsk, 0);
  EXPECT_EQ(session->dueCount, 0);
}

TEST_F(SessionBuildTest, ReferenceTimeIsTheNextStudyDayBoundary) {
  // The test clock stands at 12:00 UTC (TZ=UTC in tests).
  Plain();
  Cards(1, 1);
  const uint32_t midnight = now - 12 * 3600;
  Set(kProCarddaytype, 1);
  Set(kProCarddaystarttime, 4 * 3600);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->referenceTime, midnight + 86400 + 4 * 3600);
  Set(kProCarddaystarttime, 14 * 3600);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->referenceTime, midnight + 14 * 3600);
  Set(kProCarddaytype, 0);
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->referenceTime, now);
}

TEST_F(SessionBuildTest, FrequencyRingHoldsOneCardInTen) {
  Set(kProCardselection, kSelectFrequency);
  Set(kProLimitunlearned, 0);
  Set(kProCardcount, -1);
  struct Case {
    int32_t cards, capacity;
  } cases[] = {{5, 1}, {25, 2}, {200, 8}};
  int32_t next = 1;
  for (const Case& c : cases) {
    OnStore("DELETE FROM sorvi_flash_cards");
    Cards(next, c.cards);
    next += c.cards;
    Build();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->ringCapacity, c.capacity) << c.cards;
    EXPECT_EQ(session->totalWeight, 2048u * c.cards);
    EXPECT_EQ(session->noRepeat, 1);  // unlimited count
  }
}

TEST_F(SessionBuildTest, ScoreBandsCoverEveryScore) {
  Plain();
  Cards(1, 1);
  Set(kProType, kTestMultipleChoice);
  Set(kProFieldselection, 2);
  SetText(kProScorefilterMultiStarts, u"400,100,200,");
  SetText(kProScorefilterMultiShows, u"2,0,1,");
  SetText(kProScorefilterMultiAsks, u"1,4,2,");
  Build();
  ASSERT_NE(session, nullptr);
  ASSERT_EQ(session->fieldSetCount, 3);
  EXPECT_EQ(session->fieldChoice, kFieldChoiceByScore);
  EXPECT_EQ(session->fieldSets[0].scoreFrom, 100);  // sorted by start
  EXPECT_EQ(session->fieldSets[0].asked[0], kFieldDefinition);
  struct Case {
    int32_t score, set;
  } cases[] = {{10, 0}, {99, 0}, {100, 0}, {199, 0}, {200, 1}, {399, 1}, {400, 2}, {204800, 2}, {300000, 2}};
  for (const Case& c : cases) EXPECT_EQ(FindFieldSetForScore(session, c.score), c.set) << c.score;
}

TEST_F(SessionBuildTest, FieldSetsNeverShowAnAskedField) {
  Plain();
  Cards(1, 1);
  Set(kProType, kTestSelfScored);
  Set(kProFieldselection, 0);
  Set(kProSimpleSelfshow, 4);  // headword and pronunciation
  Build();
  ASSERT_NE(session, nullptr);
  ASSERT_EQ(session->fieldSetCount, 1);
  const SessionFieldSet& set = session->fieldSets[0];
  EXPECT_EQ(set.shownCount, 2);
  ASSERT_EQ(set.askedCount, 1);
  EXPECT_EQ(set.asked[0], kFieldDefinition);
  EXPECT_EQ(set.displayCount, 3);

  Set(kProType, kTestMultipleChoice);
  Set(kProSimpleMultishow, 4);
  Set(kProSimpleMultiask, 5);  // headword and pronunciation are asked
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->fieldSets[0].shownCount, 0);
  EXPECT_EQ(session->fieldSets[0].askedCount, 2);
  EXPECT_NE(session->choicePool, nullptr);
  EXPECT_EQ(session->choicePool->count, 1);
}

TEST_F(SessionBuildTest, FreeStampsTheProfileThatBuiltTheSession) {
  Cards(1, 2);
  const int32_t first = GetCurrentProfileId(store);
  Build();
  ASSERT_NE(session, nullptr);
  const int32_t second = CreateProfile(store, W(u"Other"), -1);
  ASSERT_GT(second, 0);
  ASSERT_EQ(SelectFlashProfile(store, second), 0);
  AdvanceVirtualClock(90 * 1000);
  FreeFlashSession(session);
  session = nullptr;
  const std::string of = " FROM sorvi_flash_profiles WHERE id = ";
  EXPECT_EQ(Query(kDefaultKvb, "SELECT laststart" + of + std::to_string(first)), std::to_string(now));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT lastend" + of + std::to_string(first)), std::to_string(now + 90));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT ifnull(laststart, 0)" + of + std::to_string(second)), "0");
}

TEST_F(SessionBuildTest, ForcedDictionariesNotOpenFallBack) {
  Cards(1, 1);
  Set(kProForcedicts, 1);
  SetText(kProForcedictsorder, u"1234:5678,");
  Build();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->forceDictsMode, 0);
  EXPECT_EQ(session->forceDictCount, 0);
}

}  // namespace
