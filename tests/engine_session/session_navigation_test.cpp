// Moving around: rows, the history with back and forward, the dictionary
// cycle, the list modes, the search language, the display mode and the
// save flag on the virtual clock.
#include <set>

#include "engine/dict_order.h"
#include "tests/engine_session/session_fixture.h"

using namespace sessionfix;
using lookupfix::kCedict;
using lookupfix::kChars;
using lookupfix::kEnglish;
using lookupfix::kMini;

namespace {

uint32_t EntryAt(DictEngine* engine, uint16_t slot, int32_t position) {
  return static_cast<uint32_t>(GetDictEntryAtPosition(engine, slot, position));
}

TEST_F(SessionTest, NextAndPreviousStopAtTheEnds) {
  BuildStandard();
  Open();
  LookupSetDictionary(session_, kMini, 0);
  Search(u"hao");
  ASSERT_EQ(Rows(), 2u);
  Taken();
  Command(kLookupNextEntry);
  EXPECT_EQ(session_->currentIndex, 1u);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 3u));
  EXPECT_EQ(Taken(), std::vector<std::string>{"DLS"});
  Command(kLookupNextEntry);  // last row: stays
  EXPECT_EQ(session_->currentIndex, 1u);
  Command(kLookupPreviousEntry);
  EXPECT_EQ(session_->currentIndex, 0u);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 2u));
  Command(kLookupPreviousEntry);  // first row: stays
  EXPECT_EQ(session_->currentIndex, 0u);
  // In the full word list the rows are the dictionary's positions.
  Command(kLookupToFullList);
  const uint32_t at = session_->currentIndex;
  Command(kLookupNextEntry);
  EXPECT_EQ(session_->currentIndex, at + 1);
  EXPECT_EQ(session_->currentPosition, at + 1);
  EXPECT_EQ(session_->currentEntry, EntryAt(engine_, kMini, static_cast<int32_t>(at + 1)));
}

TEST_F(SessionTest, HistoryKeeps200AndGoingBackThenShowingDropsTheNewer) {
  BuildStandard();
  Open();
  ASSERT_GT(GetDictEntryCount(engine_, kCedict), 215u);
  ASSERT_EQ(session_->historyCount, 1u);  // the start record
  for (uint32_t i = 1; i <= 210; ++i) LookupShowEntryAt(session_, i);
  ASSERT_EQ(session_->historyCount, kHistoryMax);
  EXPECT_EQ(History()[0].second, EntryAt(engine_, kCedict, 210));
  EXPECT_EQ(History()[199].second, EntryAt(engine_, kCedict, 11));  // the oldest fell off
  // Showing the entry already at the current place adds nothing.
  LookupShowEntryAt(session_, 210);
  EXPECT_EQ(session_->historyCount, kHistoryMax);

  LookupButtonInfo info{};
  LookupGetNavState(session_, 0, &info);
  EXPECT_EQ(info.code, 2u);  // nothing newer
  Taken();
  for (int i = 0; i < 3; ++i) Command(kLookupBack);
  EXPECT_EQ(session_->historyIndex, 3u);
  EXPECT_EQ(session_->currentEntry, EntryAt(engine_, kCedict, 207));
  EXPECT_EQ(session_->currentIndex, 207u);
  EXPECT_EQ(Taken(), (std::vector<std::string>{"DLS", "DLS", "DLS"}));
  EXPECT_EQ(session_->historyCount, kHistoryMax);  // going back changes no record
  LookupGetNavState(session_, 0, &info);
  EXPECT_EQ(info.code, 1u);
  Command(kLookupForward);
  EXPECT_EQ(session_->historyIndex, 2u);
  EXPECT_EQ(session_->currentEntry, EntryAt(engine_, kCedict, 208));
  Command(kLookupBack);
  // A new entry: the three newer records go, the one gone back to stays
  // below the new one.
  LookupShowEntryAt(session_, 5);
  EXPECT_EQ(session_->historyIndex, 0u);
  ASSERT_EQ(session_->historyCount, kHistoryMax - 2);
  EXPECT_EQ(History()[0].second, EntryAt(engine_, kCedict, 5));
  EXPECT_EQ(History()[1].second, EntryAt(engine_, kCedict, 207));
  EXPECT_EQ(History()[2].second, EntryAt(engine_, kCedict, 206));
  Taken();
  Command(kLookupForward);  // nothing newer
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SessionTest, HistoryBackReturnsToTheRecordsDictionary) {
  BuildStandard();
  Open();
  LookupShowEntry(session_, kMini, 4);
  LookupShowEntry(session_, kEnglish, 1);
  Taken();
  Command(kLookupBack);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 4u));
  EXPECT_EQ(session_->language, kLanguageChinese);
  EXPECT_FALSE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentPosition,
            static_cast<uint32_t>(GetDictPositionOfEntry(engine_, kMini, 4)));
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLS"});
  // The dictionary notice follows preference 99.
  SetPref(engine_, 99, 1);
  Command(kLookupForward);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kEnglish}, 1u));
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLSN"});
}

TEST_F(SessionTest, HistoryBackFromNoMatchesGoesToTheNewestRecord) {
  BuildStandard();
  Open();
  // One record: nothing, also after a search without matches.
  Command(kLookupBack);
  Search(u"qqqxxx");
  Taken();
  Command(kLookupBack);
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(session_->displayState, kLookupStateNoMatches);

  LookupShowEntry(session_, kCedict, 3);
  LookupShowEntry(session_, kCedict, 4);
  Search(u"qqqxxy");
  ASSERT_EQ(session_->displayState, kLookupStateNoMatches);
  Command(kLookupBack);
  EXPECT_EQ(session_->displayState, kLookupStateNormal);
  EXPECT_EQ(session_->historyIndex, 0u);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kCedict}, 4u));
}

TEST_F(SessionTest, HistoryRecordOfAMissingDictionary) {
  BuildStandard();
  std::vector<RecentEntryRecord> records = {
      {GetDictCreator(engine_, kMini), static_cast<uint32_t>(GetDictId(engine_, kMini)),
       static_cast<uint32_t>(GetDictEntryKey(engine_, kMini, 5))},
      {0x0BADBEEF, 77, 3},
  };
  MemHandle* blob = NewMemHandle(2 * kRecentEntryRecordSize);
  auto* bytes = static_cast<uint8_t*>(LockMemHandle(blob));
  for (size_t i = 0; i < records.size(); ++i) EncodeRecentEntryRecord(&records[i], bytes + i * 12);
  UnlockMemHandle(blob);
  Open(nullptr, blob);
  ASSERT_EQ(session_->historyCount, 2u);
  Command(kLookupBack);
  EXPECT_EQ(session_->displayState, kLookupStateDictionaryGone);
  EXPECT_EQ(session_->currentEntry, 0xFFFFFFFFu);
  EXPECT_EQ(Taken(), std::vector<std::string>{""});
  EXPECT_NE(Definition().find(u"no longer appears to be available"), std::u16string::npos);
  Command(kLookupForward);
  EXPECT_EQ(session_->displayState, kLookupStateNormal);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 5u));
}

TEST_F(SessionTest, NextDictionaryCyclesThroughTheToolbarDictionaries) {
  BuildStandard();
  Open();
  ASSERT_EQ(session_->currentSlot, kCedict);
  Search(u"hao");
  Taken();
  Command(kLookupNextDict, -1);
  EXPECT_EQ(session_->currentSlot, kMini);
  EXPECT_EQ(Taken(), (std::vector<std::string>{"T", "TLSA"}));
  EXPECT_EQ(session_->dictChosen, 1);
  EXPECT_EQ(session_->repeat, 1);
  EXPECT_EQ(session_->query[0], 0);
  EXPECT_EQ(session_->results, nullptr);  // a built-in dictionary drops the results
  EXPECT_FALSE(LookupIsShowingResults(session_));
  // The character dictionary is in the menu but not on the tool bar: the
  // button goes round to the first dictionary.
  Command(kLookupNextDict, -1);
  EXPECT_EQ(session_->currentSlot, kCedict);
  EXPECT_EQ(LookupCountCycleDicts(session_, 3), 3u);
  EXPECT_EQ(LookupCountCycleDicts(session_, 2), 0u);
  std::set<std::u16string> names;
  for (uint32_t n = 0; n < 3; ++n) {
    WCHAR name[40];
    LookupGetCycleDictMenuName(session_, 3, n, name, 40);
    names.insert(name);
  }
  EXPECT_EQ(names, (std::set<std::u16string>{u"CEDICT", u"Mini", u"Characters"}));
  WCHAR name[40] = u"x";
  LookupGetCycleDictMenuName(session_, 3, 9, name, 40);
  EXPECT_EQ(name[0], 0);
  // A picked dictionary of the cycle.
  for (uint32_t n = 0; n < 3; ++n) {
    WCHAR wanted[40];
    LookupGetCycleDictMenuName(session_, 3, n, wanted, 40);
    Command(kLookupNextDict, static_cast<int32_t>(n));
    WCHAR shown[40];
    LookupGetDictMenuName(session_, shown, 40);
    EXPECT_EQ(std::u16string(shown), std::u16string(wanted));
  }
  // With the current dictionary the only one of its language there is no
  // next one.
  LookupSetDictionary(session_, kEnglish, 0);
  Taken();
  Command(kLookupNextDict, -1);
  EXPECT_EQ(session_->currentSlot, kEnglish);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SessionTest, ListModesSwitchBetweenResultsAndTheFullWordList) {
  BuildStandard();
  Open();
  LookupSetDictionary(session_, kMini, 0);
  Search(u"hao");
  LookupShowEntryAt(session_, 1);  // Mini entry 3
  Taken();
  const auto position = static_cast<uint32_t>(GetDictPositionOfEntry(engine_, kMini, 3));
  Command(kLookupToResults);  // results shown already: nothing
  EXPECT_TRUE(notices_.empty());
  Command(kLookupToFullList);
  EXPECT_FALSE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentIndex, position);
  EXPECT_EQ(Rows(), GetDictEntryCount(engine_, kMini));
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLS"});
  Command(kLookupToFullList);  // full list shown already: nothing
  EXPECT_TRUE(notices_.empty());
  Command(kLookupToResults);
  EXPECT_TRUE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentIndex, 1u);
  EXPECT_EQ(Current(), std::make_pair(uint16_t{kMini}, 3u));
  Command(kLookupToggleList);
  EXPECT_FALSE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentIndex, position);
  // Moving in the full list to an entry the results lack: back in the
  // results the first row is selected.
  LookupShowEntryAt(session_, 0);
  Command(kLookupToggleList);
  EXPECT_TRUE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentIndex, 0u);
  LookupButtonInfo info{};
  LookupGetNavState(session_, 5, &info);
  EXPECT_EQ(info.code, 12u);

  // One result: command 10 shows it in the full word list.
  Search(u"天");
  ASSERT_EQ(GetResultListCount(session_->results), 1u);
  ASSERT_FALSE(LookupIsShowingResults(session_));
  const SearchResultItem item = session_->results->items[0];
  LookupShowEntryAt(session_, 0);
  Taken();
  Command(kLookupToResults);
  EXPECT_FALSE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentEntry, item.entry);
  EXPECT_EQ(session_->currentIndex,
            static_cast<uint32_t>(GetDictPositionOfEntry(engine_, session_->currentSlot, item.entry)));
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLS"});
  LookupGetNavState(session_, 5, &info);
  EXPECT_EQ(info.code, 11u);

  // Command 14: back to the top, results dropped.
  Command(kLookupTop);
  EXPECT_EQ(session_->results, nullptr);
  EXPECT_EQ(session_->currentIndex, 0u);
  EXPECT_EQ(session_->currentEntry, 0u);
  EXPECT_EQ(Taken(), std::vector<std::string>{"A"});
  Command(kLookupToggleList);  // no results: nothing
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SessionTest, LanguageSwitchUsesTheLanguagesLastDictionary) {
  BuildStandard();
  Open();
  LookupSetDictionary(session_, kMini, 0);
  Command(kLookupChinese);  // already Chinese: nothing
  EXPECT_TRUE(notices_.empty());
  Command(kLookupOtherLanguage);
  EXPECT_EQ(session_->currentSlot, kEnglish);
  EXPECT_EQ(session_->language, kLanguageEnglish);
  EXPECT_EQ(session_->dictChosen, 1);
  EXPECT_EQ(session_->repeat, 1);
  EXPECT_EQ(Taken(), (std::vector<std::string>{"T", "TLSA"}));
  session_->repeat = 0;
  Command(kLookupOtherLanguageQuiet);
  EXPECT_EQ(session_->currentSlot, kMini);  // the Chinese record remembers Mini
  EXPECT_EQ(session_->language, kLanguageChinese);
  EXPECT_EQ(session_->repeat, 0);
  LookupButtonInfo info{};
  LookupGetNavState(session_, 2, &info);
  EXPECT_EQ(info.code, 6u);
  // The record's dictionary is gone: the first of the list.
  session_->languageRecords[1].creator = 0x0BADBEEF;
  Command(kLookupEnglish);
  EXPECT_EQ(session_->currentSlot, kEnglish);
}

TEST_F(SessionTest, EnglishWithoutAnEnglishDictionarySearchesFullText) {
  AddCedict();
  AddMini();
  Build();
  // The first Chinese dictionary is not searched: the one after it is used.
  DictListItemView view{};
  ASSERT_EQ(GetDictListItem(engine_, 0, 0, &view), 0);
  view.options &= ~kDictOptionSearch;
  ASSERT_EQ(SetDictListItem(engine_, 0, 0, &view), 0);
  const uint16_t second = static_cast<uint16_t>(engine_->orderLists[0]->items[1].slot);
  ASSERT_EQ(GetDictListLength(engine_, 1), 0);
  Open();
  Command(kLookupEnglish);
  EXPECT_EQ(session_->fullText, 1u);
  EXPECT_EQ(session_->language, kLanguageEnglish);
  EXPECT_EQ(session_->currentSlot, second);
  EXPECT_EQ(session_->repeat, 1);
  EXPECT_EQ(Last(), "TLSA");
  LookupButtonInfo info{};
  LookupGetNavState(session_, 2, &info);
  EXPECT_EQ(info.code, 7u);
  // Back to Chinese clears it.
  Command(kLookupChinese);
  EXPECT_EQ(session_->fullText, 0u);
  EXPECT_EQ(session_->language, kLanguageChinese);
}

TEST_F(SessionTest, EnglishWithNoSearchableDictionaryDoesNothing) {
  AddMini();
  Build();
  DictListItemView view{};
  ASSERT_EQ(GetDictListItem(engine_, 0, 0, &view), 0);
  view.options &= ~kDictOptionSearch;
  ASSERT_EQ(SetDictListItem(engine_, 0, 0, &view), 0);
  Open();
  Command(kLookupEnglish);
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(session_->fullText, 0u);
  EXPECT_EQ(session_->language, kLanguageChinese);
}

TEST_F(SessionTest, DisplayModeToggle) {
  BuildStandard();
  Open();
  const int32_t before = GetPref(engine_, 50);
  Command(kLookupDisplayMode);
  EXPECT_EQ(GetPref(engine_, 50), before ? 0 : 1);
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDR"});
  LookupButtonInfo info{};
  LookupGetNavState(session_, 4, &info);
  EXPECT_EQ(info.code, before ? 9u : 10u);
  Command(kLookupDisplayMode);
  EXPECT_EQ(GetPref(engine_, 50), before);
}

TEST_F(SessionTest, SaveFlagAfter30SecondsOnTheVirtualClock) {
  BuildStandard();
  Open();
  LookupShowEntryAt(session_, 1);
  EXPECT_EQ(Last(), "D");
  AdvanceVirtualClock(29000);
  LookupShowEntryAt(session_, 2);
  EXPECT_EQ(Last(), "D");
  AdvanceVirtualClock(1000);
  LookupShowEntryAt(session_, 3);
  EXPECT_EQ(Last(), "DV");
  LookupShowEntryAt(session_, 4);  // the time was taken: not again at once
  EXPECT_EQ(Last(), "D");
  AdvanceVirtualClock(45000);
  Search(u"hao");
  EXPECT_EQ(Last(), "TDLSEV");
}

}  // namespace
