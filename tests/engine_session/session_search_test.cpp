// Typing into the session: results and definition, the single result shown
// in the full word list, homograph marks, a query without matches, repeats,
// full-text highlights and the recent queries.
#include "tests/engine_session/session_fixture.h"

using namespace sessionfix;
using lookupfix::kCedict;
using lookupfix::kEnglish;
using lookupfix::kMini;

namespace {

TEST_F(SessionTest, TypedQueryShowsResultsAndDefinition) {
  BuildStandard();
  Open();
  Search(u"hao");
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLSE"});
  ASSERT_TRUE(LookupIsShowingResults(session_));
  ASSERT_EQ(Rows(), 2u);
  const uint32_t hao3 = EntryOf(cedict_, u"好", 0);
  const uint32_t hao4 = EntryOf(cedict_, u"好", 1);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kCedict}, hao3));
  EXPECT_EQ(session_->currentIndex, 0u);
  EXPECT_EQ(session_->currentPosition, 0xFFFFFFFFu);
  EXPECT_NE(Plain(Definition()).find(u"appropriate; proper"), std::u16string::npos);
  // The rows are one-line texts of the two readings.
  EXPECT_NE(Plain(RowText(0)).find(u"good"), std::u16string::npos);
  EXPECT_NE(Plain(RowText(1)).find(u"to be fond of"), std::u16string::npos);
  EXPECT_EQ(RowText(0).find(u'\n'), std::u16string::npos);
  uint16_t slot = 0;
  uint32_t entry = 0;
  EXPECT_EQ(GetLookupDisplayItem(session_, 1, &slot, &entry), 0);
  EXPECT_EQ(std::make_pair(slot, entry), std::make_pair(uint16_t{kCedict}, hao4));
  EXPECT_EQ(GetLookupDisplayItem(session_, 2, &slot, &entry), 1);
  EXPECT_EQ(entry, 0xFFFFFFFFu);
  WCHAR past[8] = u"x";
  EXPECT_EQ(FormatLookupEntryToBuffer(session_, 2, past, 8), 1);
  EXPECT_EQ(past[0], 0);
  // The search went into the history and the recent queries.
  EXPECT_EQ(History()[0], std::make_pair(uint16_t{kCedict}, hao3));
  EXPECT_EQ(LookupGetRecentQueryCount(session_), 1u);
  EXPECT_EQ(RecentText(0), u"hao");
  EXPECT_EQ(session_->queries[0].creator, GetDictCreator(engine_, kCedict));

  // Selecting a row shows its entry and records it.
  EXPECT_EQ(LookupShowEntryAt(session_, 1), 0);
  EXPECT_EQ(Taken(), std::vector<std::string>{"D"});
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kCedict}, hao4));
  EXPECT_NE(Plain(Definition()).find(u"to be fond of"), std::u16string::npos);
  EXPECT_EQ(History()[0], std::make_pair(uint16_t{kCedict}, hao4));
  EXPECT_EQ(History()[1], std::make_pair(uint16_t{kCedict}, hao3));
  // A row past the list changes nothing.
  EXPECT_EQ(LookupShowEntryAt(session_, 5), 1);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SessionTest, SingleResultIsShownInTheFullWordList) {
  BuildStandard();
  Open();
  Search(u"天");
  ASSERT_EQ(GetResultListCount(session_->results), 1u);
  const uint32_t tian = EntryOf(cedict_, u"天");
  const auto position = static_cast<uint32_t>(GetDictPositionOfEntry(engine_, kCedict, static_cast<int32_t>(tian)));
  EXPECT_FALSE(LookupIsShowingResults(session_));
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kCedict}, tian));
  EXPECT_EQ(session_->currentPosition, position);
  EXPECT_EQ(session_->currentIndex, position);
  EXPECT_EQ(Rows(), GetDictEntryCount(engine_, kCedict));
  uint16_t slot = 0;
  uint32_t entry = 0;
  EXPECT_EQ(GetLookupDisplayItem(session_, position, &slot, &entry), 0);
  EXPECT_EQ(entry, tian);

  // With preference 138 a single Chinese result stays in a result list.
  SetPref(engine_, 138, 1);
  Search(u"天天");
  ASSERT_EQ(GetResultListCount(session_->results), 1u);
  EXPECT_TRUE(LookupIsShowingResults(session_));
  EXPECT_EQ(Rows(), 1u);
}

TEST_F(SessionTest, HomographMarkSelectsTheNumberedReading) {
  BuildStandard();
  Open();
  LookupSetDictionary(session_, kMini, 0);
  struct Case {
    std::u16string query;
    uint32_t entry;
  } cases[] = {
      {u"\u00B2hao", 3},  // superscript two: the second reading
      {u"\u00B9hao", 2},
      {u"hao", 2},        // no mark: the first row
      {u"Ming", 5},       // a capital picks the capitalised reading
  };
  for (const Case& c : cases) {
    Search(c.query);
    ASSERT_EQ(GetResultListCount(session_->results), 2u);
    EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, c.entry));
    EXPECT_EQ(session_->currentIndex, c.entry == 3 ? 1u : 0u);
  }
}

TEST_F(SessionTest, QueryWithoutMatchesKeepsTheQueryAndShowsNoEntry) {
  BuildStandard();
  Open();
  Search(u"hao");
  Taken();
  Search(u"qqqxxx");
  EXPECT_EQ(Taken(), std::vector<std::string>{"DLS"});
  EXPECT_EQ(session_->displayState, kLookupStateNoMatches);
  EXPECT_EQ(session_->currentEntry, 0xFFFFFFFFu);
  EXPECT_EQ(session_->results, nullptr);
  EXPECT_EQ(Rows(), 0u);
  EXPECT_EQ(std::u16string(session_->query), u"qqqxxx");
  uint16_t slot = 0;
  uint32_t entry = 0;
  EXPECT_EQ(GetLookupDisplayItem(session_, 0, &slot, &entry), 1);
  EXPECT_NE(Definition().find(u"No matches (exact or approximate)"), std::u16string::npos);
  // Nothing new in the history or the recent queries.
  EXPECT_EQ(session_->historyCount, 2u);
  EXPECT_EQ(LookupGetRecentQueryCount(session_), 1u);
}

TEST_F(SessionTest, SameQueryWithoutForceDoesNothingAndWithForceRunsNoSearch) {
  BuildStandard();
  Open();
  Search(u"hao");
  Taken();
  SearchResultList* list = session_->results;
  LookupShowEntryAt(session_, 1);
  Taken();
  Search(u"hao");
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(session_->results, list);
  EXPECT_EQ(session_->currentIndex, 1u);
  // With force: a repeat, the same list and place, and a notice.
  Search(u"hao", 1);
  EXPECT_EQ(Taken(), std::vector<std::string>{"DLS"});
  EXPECT_EQ(session_->results, list);
  EXPECT_EQ(session_->currentIndex, 1u);
  EXPECT_EQ(session_->displayState, kLookupStateNormal);
  // After a reset the same text is searched again.
  LookupResetQuery(session_);
  Search(u"hao");
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLSE"});
  EXPECT_EQ(session_->currentIndex, 0u);
  // Empty text searches nothing and keeps the list.
  list = session_->results;
  Search(u"");
  EXPECT_EQ(session_->results, list);
  EXPECT_EQ(session_->displayState, kLookupStateNormal);
  Search(u"#");  // the full-text prefix alone
  EXPECT_EQ(session_->results, list);
  EXPECT_EQ(session_->displayState, kLookupStateNormal);
}

TEST_F(SessionTest, FullTextResultsCarryTheHighlight) {
  BuildStandard();
  Open();
  Command(kLookupEnglish);
  ASSERT_EQ(session_->currentSlot, kEnglish);
  Taken();
  Search(u"#pupil");
  ASSERT_NE(session_->results, nullptr);
  EXPECT_TRUE(session_->results->flags & kResultFullText);
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDHLSE"});
  EXPECT_EQ(session_->fullText, 1u);
  EXPECT_EQ(std::u16string(session_->highlight), u"pupil");
  EXPECT_TRUE(LookupIsShowingResults(session_));
  const std::u16string text = Definition();
  uint32_t start = 0;
  uint32_t end = 0;
  ASSERT_EQ(FindQueryInEntryText(session_, text.c_str(), &start, &end), 0);
  EXPECT_EQ(text.substr(start, end - start), u"pupil");
  EXPECT_EQ(FindQueryInEntryText(session_, u"no such word", &start, &end), 1);
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
  LookupButtonInfo info{};
  LookupGetNavState(session_, 2, &info);
  EXPECT_EQ(info.code, 7u);
  // Showing the row again keeps the highlight while results are shown.
  LookupShowEntryAt(session_, 0);
  EXPECT_EQ(Last(), "DH");
  // An ordinary search clears it.
  Search(u"good");
  EXPECT_EQ(session_->fullText, 0u);
  EXPECT_EQ(session_->highlight[0], 0);
  LookupGetNavState(session_, 2, &info);
  EXPECT_EQ(info.code, 5u);
}

TEST_F(SessionTest, TypingLetterByLetterLeavesOneRecentQuery) {
  BuildStandard();
  Open();
  Command(kLookupEnglish);
  for (const char16_t* q : {u"s", u"st", u"stu"}) {
    Search(q);
    ASSERT_NE(session_->results, nullptr) << "no results for a prefix";
  }
  ASSERT_EQ(LookupGetRecentQueryCount(session_), 1u);
  EXPECT_EQ(RecentText(0), u"stu");
  // Deleting back keeps the longest form and only refreshes its dictionary.
  session_->queries[0].creator = 0;
  session_->queries[0].dictId = 0;
  Search(u"st");
  ASSERT_EQ(LookupGetRecentQueryCount(session_), 1u);
  EXPECT_EQ(RecentText(0), u"stu");
  EXPECT_EQ(session_->queries[0].creator, GetDictCreator(engine_, kEnglish));
  EXPECT_EQ(session_->queries[0].dictId, static_cast<uint32_t>(GetDictId(engine_, kEnglish)));
  // Another word is a new, newest record.
  Search(u"good");
  ASSERT_EQ(LookupGetRecentQueryCount(session_), 2u);
  EXPECT_EQ(RecentText(0), u"good");
  EXPECT_EQ(RecentText(1), u"stu");
  EXPECT_EQ(RecentText(3), u"stu");  // n is taken modulo the count
  // A longer form of an older query moves that record to the top.
  Search(u"stud");
  ASSERT_EQ(LookupGetRecentQueryCount(session_), 2u);
  EXPECT_EQ(RecentText(0), u"stud");
  EXPECT_EQ(RecentText(1), u"good");
  WCHAR small[3];
  EXPECT_EQ(LookupGetRecentQueryText(session_, 0, small, 3), 0);
  EXPECT_EQ(std::u16string(small), u"st");
}

TEST_F(SessionTest, LongQueryIsRecordedCutTo29Characters) {
  BuildStandard();
  Open();
  std::u16string query;
  for (int i = 0; i < 17; ++i) query += u"中国";
  Search(query);
  ASSERT_NE(session_->results, nullptr);
  EXPECT_EQ(std::u16string(session_->query), query);  // 34 of the session's 40
  ASSERT_EQ(LookupGetRecentQueryCount(session_), 1u);
  EXPECT_EQ(RecentText(0), query.substr(0, 29));
}

TEST_F(SessionTest, SelectingARecentQuery) {
  BuildStandard();
  Open();
  // Empty list: nothing, and no notice.
  EXPECT_EQ(LookupSelectRecentQuery(session_, 3), 0);
  EXPECT_TRUE(notices_.empty());
  WCHAR text[8] = u"x";
  EXPECT_EQ(LookupGetRecentQueryText(session_, 0, text, 8), 1);

  LookupSetDictionary(session_, kMini, 0);
  Search(u"hao");
  Command(kLookupEnglish);
  Search(u"#pupil");
  ASSERT_EQ(LookupGetRecentQueryCount(session_), 2u);
  Taken();
  // Record 1 ("hao" in Mini) brings its dictionary back and asks for a
  // repeat search.
  EXPECT_EQ(LookupSelectRecentQuery(session_, 1), 0);
  EXPECT_EQ(session_->currentSlot, kMini);
  EXPECT_EQ(session_->dictChosen, 1);
  EXPECT_EQ(session_->repeat, 1);
  EXPECT_EQ(Taken(), std::vector<std::string>{"TA"});
  // A full-text query is not a repeat.
  session_->repeat = 0;
  LookupSelectRecentQuery(session_, 0);
  EXPECT_EQ(session_->currentSlot, kEnglish);
  EXPECT_EQ(session_->repeat, 0);
  // A record whose dictionary is gone switches to its language instead.
  session_->queries[1].creator = 0x12345678;
  LookupSelectRecentQuery(session_, 1);
  EXPECT_EQ(session_->language, kLanguageChinese);
  EXPECT_NE(GetDictLanguage(engine_, session_->currentSlot), kLanguageEnglish);
  EXPECT_EQ(Last(), "TA");
}

}  // namespace
