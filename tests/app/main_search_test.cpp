// Search as you type on the main window, on the virtual clock: the search
// delay and its timer, the forced and on-demand searches, full-width
// letters, the empty field, the 40-character cut, the backspace rule; and
// what the session's notices do to the list, the definition and the saved
// records.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_registry.h"
#include "app/main_actions.h"
#include "platform/registry.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

using mainfix::MainWindowTest;
using mainfix::Shows;

// Every notice the session sends passes through here first: the query it
// stood at is kept, so a test sees which searches ran and in what order.
std::vector<std::u16string>* gSeen = nullptr;
int RecordingCallback(void* context, const LookupUpdateRecord* update) {
  if (gSeen && AppContextPointer) {
    const std::u16string query(AppContextPointer->lookupSession->query);
    if (gSeen->empty() || gSeen->back() != query) gSeen->push_back(query);
  }
  return OnEngineUpdate(context, update);
}

class SearchAsYouTypeTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    LookupResetQuery(session());
    session()->callback = RecordingCallback;
    gSeen = &seen_;
  }
  void TearDown() override {
    gSeen = nullptr;
    MainWindowTest::TearDown();
  }
  // Types one unit, then lets `gap` ms pass.
  void Key(char16_t c, DWORD gap) {
    SendMessageW(input(), WM_CHAR, c, 0);
    Pump();
    Advance(gap);
  }
  // The searches seen, their empty queries (resets) left out.
  std::vector<std::u16string> Searches() const {
    std::vector<std::u16string> out;
    for (const auto& q : seen_)
      if (!q.empty()) out.push_back(q);
    return out;
  }

  std::vector<std::u16string> seen_;
};

TEST_F(SearchAsYouTypeTest, TypingNihaoShowsHelloInTheListAndTheDefinition) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"nihao");
  EXPECT_EQ(Query(), u"nihao");
  const auto rows = ListRows();
  // The list shows the word list at the match, selected.
  const uint32_t selected = ListInfo(2);
  ASSERT_LT(selected, rows.size());
  EXPECT_TRUE(Shows(rows[selected], u"你好"));
  EXPECT_TRUE(Shows(DefinitionText(), u"你好"));
  EXPECT_TRUE(Shows(DefinitionText(), u"hello"));
}

TEST_F(SearchAsYouTypeTest, WithADelayFiveKeysGiveOneSearchAfterTheLast) {
  SetPref(kPrefSearchDelay, 500);
  for (char16_t c : std::u16string(u"nihao")) Key(c, 100);
  // 100 ms after the last key: nothing yet.
  EXPECT_TRUE(Searches().empty());
  Advance(399);
  EXPECT_TRUE(Searches().empty());
  Advance(1);
  EXPECT_EQ(Searches(), std::vector<std::u16string>{u"nihao"});
  Advance(2000);
  EXPECT_EQ(Searches(), std::vector<std::u16string>{u"nihao"});
}

TEST_F(SearchAsYouTypeTest, WithoutADelayEveryKeySearches) {
  SetPref(kPrefSearchDelay, 0);
  for (char16_t c : std::u16string(u"niha")) Key(c, 0);
  EXPECT_EQ(Searches(), (std::vector<std::u16string>{u"n", u"ni", u"nih", u"niha"}));
}

TEST_F(SearchAsYouTypeTest, OnDemandOnlyActionTwelveOrAForcedStartSearches) {
  SetPref(kPrefSearchDelay, 65535);
  for (char16_t c : std::u16string(u"ni")) Key(c, 100);
  Advance(70000);
  EXPECT_TRUE(Searches().empty());
  ExecuteAction(12, -1);
  Pump();
  EXPECT_EQ(Searches(), std::vector<std::u16string>{u"ni"});
  Key(u'h', 0);
  Advance(70000);
  EXPECT_EQ(Searches(), std::vector<std::u16string>{u"ni"});
  StartSearch(input(), nullptr, false, true);
  EXPECT_EQ(Searches(), (std::vector<std::u16string>{u"ni", u"nih"}));
}

TEST_F(SearchAsYouTypeTest, FullWidthLettersAreSearchedAsAscii) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"\uFF21\uFF22\uFF23");
  EXPECT_EQ(Query(), u"ABC");
  // The field keeps what was typed.
  EXPECT_EQ(InputText(), u"\uFF21\uFF22\uFF23");
}

TEST_F(SearchAsYouTypeTest, EmptyingTheFieldResetsTheQueryWithoutASearch) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"ni");
  ASSERT_EQ(Query(), u"ni");
  seen_.clear();
  SetInputText(u"");
  Advance(1000);
  EXPECT_EQ(Query(), u"");
  EXPECT_TRUE(Searches().empty());
}

TEST_F(SearchAsYouTypeTest, FortyOfFortyFiveCharactersAreSearched) {
  SetPref(kPrefSearchDelay, 0);
  const std::u16string typed = u"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrs";  // 45
  ASSERT_EQ(typed.size(), 45u);
  // From the field and from a given text alike.
  SetInputText(typed);
  EXPECT_EQ(Query(), typed.substr(0, 40));
  LookupResetQuery(session());
  StartSearch(input(), typed.c_str(), false, true);
  EXPECT_EQ(Query(), typed.substr(0, 40));
  // Exactly 40 keep their last character.
  LookupResetQuery(session());
  SetInputText(typed.substr(0, 40));
  EXPECT_EQ(Query(), typed.substr(0, 40));
}

TEST_F(SearchAsYouTypeTest, BackspaceWithTheHoldPreferenceCancelsThePendingSearch) {
  SetPref(kPrefNoSearchOnBackspace, 1);
  SetPref(kPrefSearchDelay, 500);
  Key(u'n', 100);
  Key(u'i', 100);
  Key(u'h', 100);
  Key(8, 0);
  Advance(2000);
  EXPECT_TRUE(Searches().empty());
  EXPECT_EQ(InputText(), u"ni");
  // Without a delay the backspace does not search either; other keys do.
  SetPref(kPrefSearchDelay, 0);
  Key(u'x', 0);
  Key(8, 0);
  EXPECT_EQ(Searches(), std::vector<std::u16string>{u"nix"});
  // Without the preference a backspace searches.
  SetPref(kPrefNoSearchOnBackspace, 0);
  Key(8, 0);
  EXPECT_EQ(Searches(), (std::vector<std::u16string>{u"nix", u"n"}));
}

// ---- The session's notices ----

using SessionNoticeTest = MainWindowTest;

TEST_F(SessionNoticeTest, AShrunkenListMovesTheSelectionToItsLastRowInView) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"you");  // an English search: its results
  uint32_t rows = 0;
  LookupGetCounts(session(), &rows, nullptr);
  ASSERT_GE(rows, 1u);
  // The list still thinks it has many rows with the selection far down.
  SendMessageW(list(), kListSetInfo, 1, 50);
  SendMessageW(list(), kListSetInfo, 2, 40);
  SendMessageW(list(), kListSetInfo, 3, 35);
  LookupUpdateRecord update{};
  update.listLength = 1;
  OnEngineUpdate(nullptr, &update);
  EXPECT_EQ(ListInfo(1), rows);
  EXPECT_EQ(ListInfo(2), rows - 1);
  const uint32_t top = ListInfo(3), visible = ListInfo(4);
  EXPECT_LE(top, rows - 1);
  EXPECT_LT(rows - 1, top + std::max<uint32_t>(visible, 1));
}

TEST_F(SessionNoticeTest, AFullTextQuerySelectsItsMatchInTheDefinition) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"#person");
  const std::u16string text = DefinitionText();
  const auto selection = static_cast<uint32_t>(SendMessageW(definition(), 0x8187, 0, 0));
  ASSERT_NE(selection, 0u) << "nothing selected";
  const uint32_t start = selection >> 16, end = selection & 0xFFFF;
  ASSERT_LE(end, text.size());
  EXPECT_EQ(text.substr(start, end - start), u"person");
  EXPECT_EQ(highlightShown, 1);
}

TEST_F(SessionNoticeTest, SaveStateWritesTheFourRecords) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"nihao");
  for (const RegistryRecordName* r : {&kEngineRecord, &kDictsRecord, &kRecentQueriesRecord, &kRecentEntriesRecord})
    SaveRegistryRecord(*r, nullptr);
  LookupUpdateRecord update{};
  update.saveState = 1;
  OnEngineUpdate(nullptr, &update);
  HKEY key = nullptr;
  ASSERT_EQ(OpenAppRegistryKey(&key), 0);
  for (const RegistryRecordName* r : {&kEngineRecord, &kDictsRecord, &kRecentQueriesRecord, &kRecentEntriesRecord}) {
    MemHandle* record = LoadRegistryRecord(key, *r);
    EXPECT_NE(record, nullptr) << Utf8Of(r->name);
    FreeMemHandle(record);
  }
  RegCloseKey(key);
}

TEST_F(SessionNoticeTest, SearchAgainRunsTheFieldsTextAndNothingElse) {
  SetPref(kPrefSearchDelay, 0);
  SetInputText(u"ren");
  LookupResetQuery(session());
  LookupUpdateRecord update{};
  update.searchAgain = 1;
  OnEngineUpdate(nullptr, &update);
  EXPECT_EQ(Query(), u"ren");
}

}  // namespace
