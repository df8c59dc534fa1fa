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
#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/registry.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/utf16_print.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_resizer.h"
#include "toolkit/control_taphold.h"
#include "toolkit/pane_layout.h"

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

namespace {

std::u16string Utf16Of(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// The input field's button notice.
constexpr UINT kMainFieldButton = 0x8305;

// ---- Child notifications ----

class NotifyTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    SetPref(kPrefSearchDelay, 0);
  }
  uint32_t Index() const {
    uint32_t rows = 0, index = 0;
    LookupGetCounts(session(), &rows, &index);
    return index;
  }
  int32_t ListSide() const {
    int32_t side = 0;
    GetListPaneLayout(engine(), &side, nullptr);
    return side;
  }
  void ListTap(HWND from, UINT code, uint32_t row) {
    SendMessageW(from, kListSetInfo, 2, static_cast<LPARAM>(row));
    ControlNotify n{};
    n.payload.index = row;
    Notify(from, code, &n.header);
    Pump();
  }
  void GridCell(int id, uint16_t character, uint16_t second = 0) {
    ControlNotify n{};
    n.payload.grid.value1 = character;
    n.payload.grid.value2 = second;
    Notify(GetDlgItem(main_, id), kGridChosenCode, &n.header);
    Pump();
  }
};

TEST_F(NotifyTest, ResultTapsFollowTheListTapPreferences) {
  struct Case {
    int32_t action;      // 190
    int32_t doubleOnly;  // 191
    UINT code;
    bool opens;      // leaves the results for the word list at the entry
    bool movesList;  // runs the list pane action
  };
  const Case cases[] = {
      {0, 0, kListChooseCode, false, false},                                         // only select
      {1, 0, kListChooseCode, true, false},                                          // list mode at once
      {1, 1, kListChooseCode, false, false},                                         // a tap only selects
      {1, 1, kListActivateCode, true, false},                                        // a double tap opens
      {2, 0, kListChooseCode, false, true},                                          // hide the list
      {2, 1, kListChooseCode, false, false},  {3, 0, kListChooseCode, true, false},  // results shown: as 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.action << "/" << c.doubleOnly << "/" << std::hex << c.code);
    SetPref(kPrefListSide, 0);
    SetPref(kPrefListTapAction, c.action);
    SetPref(kPrefListTapDoubleOnly, c.doubleOnly);
    SetInputText(u"");
    SetInputText(u"you");  // English: results
    ASSERT_TRUE(LookupIsShowingResults(session()));
    uint32_t rows = 0;
    LookupGetCounts(session(), &rows, nullptr);
    ASSERT_GE(rows, 2u);
    ListTap(list(), c.code, 1);
    EXPECT_EQ(LookupIsShowingResults(session()) == 0, c.opens);
    if (!c.opens) {
      EXPECT_EQ(Index(), 1u);
    }
    EXPECT_EQ(ListSide() != 0, c.movesList);
  }
}

TEST_F(NotifyTest, TheRecentQueriesDropDownFillsTheFieldAndSearches) {
  SetPref(kPrefExtraButton, 1);
  SendMessageW(main_, kMainPrefsChanged, 0, 0);
  Type(u"ren");
  SetInputText(u"zhongwen");
  SetInputText(u"");
  const uint32_t count = LookupGetRecentQueryCount(session());
  ASSERT_GE(count, 2u);
  // The field's button record (its header, then the value).
  struct {
    NMHDR header;
    uint32_t value;
  } button{};
  Notify(input(), kMainFieldButton, &button.header);
  HWND drop = GetDlgItem(main_, kMainRecentList);
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(SendMessageW(drop, kListGetInfo, 1, 0), static_cast<LRESULT>(count));
  WCHAR second[41] = {};
  LookupGetRecentQueryText(session(), 1, second, 41);
  ListTap(drop, kListChooseCode, 1);
  EXPECT_EQ(InputText(), std::u16string(second));
  EXPECT_EQ(Query(), std::u16string(second));
  EXPECT_EQ(GetDlgItem(main_, kMainRecentList), nullptr);
  // The button opens and closes it.
  Notify(input(), kMainFieldButton, &button.header);
  ASSERT_NE(GetDlgItem(main_, kMainRecentList), nullptr);
  Notify(input(), kMainFieldButton, &button.header);
  EXPECT_EQ(GetDlgItem(main_, kMainRecentList), nullptr);
}

TEST_F(NotifyTest, GridCellsGoIntoTheInputFieldAndTheKeyboardsBackspaceDeletes) {
  SetPref(kPrefInputKind, 2);
  GridCell(kMainKeyboardGrid, u'n');
  GridCell(kMainKeyboardGrid, u'i');
  EXPECT_EQ(InputText(), u"ni");
  GridCell(kMainKeyboardGrid, 8);
  EXPECT_EQ(InputText(), u"n");
  GridCell(kMainKeyboardGrid, 0);  // an empty cell does nothing
  EXPECT_EQ(InputText(), u"n");
  SetPref(kPrefInputKind, 0);
  SetPref(kPrefAutoEnterCandidate, 0);
  GridCell(kMainCandidateGrid, u'中');
  EXPECT_EQ(InputText(), u"n中");
  EXPECT_EQ(Query(), u"n中");
}

TEST_F(NotifyTest, AnAutoEnteredCandidateReplacesTheOneBefore) {
  SetPref(kPrefInputKind, 0);
  SetPref(kPrefAutoEnterCandidate, 1);
  SetPref(kPrefAutoRecognize, 500);
  SetInputText(u"中");
  GridCell(kMainCandidateGrid, u'人');
  EXPECT_EQ(InputText(), u"人");
}

TEST_F(NotifyTest, DividerDragsStoreThePaneSizeAndRelayOut) {
  SetPref(kPrefListSide, 0);
  SendMessageW(main_, kMainPrefsChanged, 0, 0);
  HWND divider = GetDlgItem(main_, kMainListDivider);
  ASSERT_TRUE(IsWindowVisible(divider));
  RECT client{};
  GetClientRect(main_, &client);
  const int32_t factor = AppContextPointer->dpiFactor;
  // Let go at 30 units from the left: the list on the right is the rest.
  ControlNotify n{};
  n.payload.resizer.position = static_cast<uint32_t>(client.right - 30 * factor);
  Notify(divider, kResizerMovedCode, &n.header);
  int32_t size = 0;
  GetListPaneLayout(engine(), nullptr, &size);
  EXPECT_EQ(size, 30);
  RECT listRect{};
  GetWindowRect(list(), &listRect);
  EXPECT_NEAR(listRect.right - listRect.left, 30 * factor, 2 * factor);
}

TEST_F(NotifyTest, TheInputModeButtonsHoldMenuSetsTheMode) {
  struct Case {
    const char16_t* item;
    int32_t mode, full;
  };
  const Case cases[] = {{u"Radical", 1, 0}, {u"Keyboard", 2, 0}, {u"Fullscreen HWR", 0, 1}, {u"Palette HWR", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8Of(c.item));
    AutoMenuClearHistory();
    AutoMenuScriptChooseText(c.item);
    ShowToolButtonMenu(main_, GetDlgItem(main_, kMainInputModeButton), kMainInputModeButton);
    EXPECT_EQ(Pref(kPrefInputKind), c.mode);
    EXPECT_EQ(GetLayoutSetting10(engine()), c.full);
    const auto history = AutoMenuHistory();
    ASSERT_EQ(history.size(), 1u);
    ASSERT_EQ(history[0].items.size(), 4u);
  }
  // The current mode is the checked one.
  AutoMenuClearHistory();
  AutoMenuScriptDismiss();
  ShowToolButtonMenu(main_, GetDlgItem(main_, kMainInputModeButton), kMainInputModeButton);
  const auto items = AutoMenuHistory().at(0).items;
  EXPECT_TRUE(items[0].flags & MF_CHECKED);
  EXPECT_FALSE(items[2].flags & MF_CHECKED);
}

TEST_F(NotifyTest, TheVolumeMenuChecksTheVolumeAndSetsIt) {
  const int32_t row[] = {13, 27, 26};
  SetPrefArray(engine(), 2, row, 3);
  SetPref(kPrefAudioVolume, 6);
  AutoMenuClearHistory();
  AutoMenuScriptDismiss();
  ControlNotify n{};
  Notify(GetDlgItem(main_, 1004), kTapholdHoldCode, &n.header);
  Pump();
  auto history = AutoMenuHistory();
  ASSERT_EQ(history.size(), 1u);
  ASSERT_EQ(history[0].items.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(history[0].items[i].text, Utf16Of(std::to_string(i + 1)));
    EXPECT_EQ((history[0].items[i].flags & MF_CHECKED) != 0, i + 1 == 6) << i;
  }
  EXPECT_EQ(Pref(kPrefAudioVolume), 6);
  // "4": the volume becomes 4 (the fixture has no sound, so playing says so).
  AutoExpectMessageBox(u"", u"", IDOK);
  AutoMenuScriptChooseText(u"4");
  Notify(GetDlgItem(main_, 1004), kTapholdHoldCode, &n.header);
  Pump();
  EXPECT_EQ(Pref(kPrefAudioVolume), 4);
}

TEST_F(NotifyTest, TheSideMenusCheckTheCurrentSideAndMoveThePane) {
  const int32_t row[] = {13, 27, 26};
  SetPrefArray(engine(), 2, row, 3);
  SetPref(kPrefInputSide, 2);
  AutoMenuClearHistory();
  AutoMenuScriptChooseText(u"Left");
  ControlNotify n{};
  Notify(GetDlgItem(main_, 1005), kTapholdHoldCode, &n.header);
  Pump();
  auto history = AutoMenuHistory();
  ASSERT_EQ(history.size(), 1u);
  std::vector<std::u16string> texts;
  for (const auto& item : history[0].items) texts.push_back(item.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Right", u"Left", u"Bottom", u"Full"}));
  EXPECT_TRUE(history[0].items[2].flags & MF_CHECKED);
  EXPECT_FALSE(history[0].items[1].flags & MF_CHECKED);
  EXPECT_EQ(Pref(kPrefInputSide), 1);
  // The list pane's menu checks the list's side.
  SetPref(kPrefListSide, 2);
  AutoMenuClearHistory();
  AutoMenuScriptChooseText(u"Right");
  Notify(GetDlgItem(main_, 1006), kTapholdHoldCode, &n.header);
  Pump();
  history = AutoMenuHistory();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_TRUE(history[0].items[2].flags & MF_CHECKED);
  EXPECT_EQ(Pref(kPrefListSide), 0);
}

}  // namespace

namespace {

// ---- Card results through the flashcard store start-up opened ----

class CardResultTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    SetPref(kPrefSearchDelay, 0);
    Type(u"nihao");
  }
  // The text of the toast now shown, or "".
  std::u16string Toast() const {
    HWND toast = AutoFindWindow(nullptr, u"SorviFlashTextClass", -1);
    return toast && IsWindowVisible(toast) ? AutoGetWindowText(toast) : u"";
  }
  void CloseToasts() {
    while (HWND toast = AutoFindWindow(nullptr, u"SorviFlashTextClass", -1)) DestroyWindow(toast);
  }
};

TEST_F(CardResultTest, AnAddedCardIsReportedAndADuplicateAnsweredAddsOrFiles) {
  ASSERT_NE(AppContextPointer->flashcardStore, nullptr);
  LookupHandleCommand(session(), kLookupAddCard, -1);
  Pump();
  EXPECT_EQ(Toast(), u"Card Added");
  CloseToasts();
  // Asked about the duplicate: Yes makes a new card (command 21, reported
  // as added); No files the existing one (command 22; it is already in the
  // category, so nothing is reported); Cancel leaves it.
  SetPref(kPrefCardMode, 4);
  struct Case {
    int answer;
    const char16_t* toast;
  };
  const Case cases[] = {{IDYES, u"Card Added"}, {IDNO, u""}, {IDCANCEL, u""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    AutoResetDialogScripts();
    AutoExpectMessageBox(
        u"Another card already exists with this same headword and pronunciation - would you like to create a new "
        u"card anyway (Yes), add the existing card to the selected category (No), or leave it unchanged (Cancel)?",
        u"Duplicate Card", c.answer);
    LookupHandleCommand(session(), kLookupAddCard, -1);
    Pump();
    EXPECT_EQ(AutoMessageBoxLog().size(), 1u);
    EXPECT_TRUE(AutoScriptFailures().empty());
    EXPECT_EQ(Toast(), std::u16string(c.toast));
    CloseToasts();
  }
}

}  // namespace

namespace {

// The field's link record: its header, then the word's two texts.
struct LinkRecord {
  NMHDR header;
  WCHAR* text;
  WCHAR* target;
  int32_t id;
};
constexpr UINT kLinkPicked = 0x8303;

class WordPickedTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    SetPref(kPrefSearchDelay, 0);
    Type(u"ren");
    AppSeams.showPopupDefinition = [](HWND, const WCHAR* text, int openInMain, int plainMode, int32_t option) {
      popups.push_back({text, openInMain, plainMode, option});
    };
    popups.clear();
  }
  void Pick(const std::u16string& text, const std::u16string& target) {
    std::u16string a = text, b = target;
    LinkRecord record{};
    record.text = a.empty() ? nullptr : a.data();
    record.target = b.empty() ? nullptr : b.data();
    Notify(definition(), kLinkPicked, &record.header);
    Pump();
  }
  struct Popup {
    std::u16string text;
    int openInMain, plainMode;
    int32_t option;
  };
  static inline std::vector<Popup> popups;
};

TEST_F(WordPickedTest, ToTheInputFieldWithToneDigitsTrimmed) {
  SetPref(kPrefLinkTapAction, 1);
  Pick(u" n\u01D0h\u01CEo ", u"");
  EXPECT_EQ(InputText(), u"ni3hao3");
  EXPECT_EQ(GetFocus(), input());
  // The second text when there is no first; nothing when neither or blank.
  Pick(u"", u"zhong1");
  EXPECT_EQ(InputText(), u"zhong1");
  Pick(u"", u"");
  Pick(u"   ", u"");
  EXPECT_EQ(InputText(), u"zhong1");
  EXPECT_TRUE(popups.empty());
}

TEST_F(WordPickedTest, ToThePopUpDefinitionInPlainModeOverAChineseDictionary) {
  SetPref(kPrefLinkTapAction, 2);
  Pick(u"中国", u"");
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(popups[0].text, u"中国");
  EXPECT_EQ(popups[0].openInMain, 0);
  // The fixture's headwords are Chinese: the word is looked up as it stands
  // in the current dictionary.
  EXPECT_EQ(popups[0].plainMode, 1);
  EXPECT_EQ(popups[0].option, static_cast<int32_t>(LookupGetCurrentDict(session())));
  EXPECT_EQ(InputText(), u"ren");
  // Other values do nothing.
  SetPref(kPrefLinkTapAction, 0);
  Pick(u"中国", u"");
  EXPECT_EQ(popups.size(), 1u);
}

}  // namespace

namespace {

using NoticeToastTest = MainWindowTest;

TEST_F(NoticeToastTest, TheDictionaryNoticeShowsTheShortNameAsAToast) {
  LookupUpdateRecord update{};
  update.dictNotice = 1;
  OnEngineUpdate(nullptr, &update);
  Pump();
  HWND toast = AutoFindWindow(nullptr, u"SorviFlashTextClass", -1);
  ASSERT_NE(toast, nullptr);
  EXPECT_EQ(AutoGetWindowText(toast), u"Words");
}

TEST_F(NoticeToastTest, AChosenEntryOpensAHiddenListWithThePreference) {
  struct Case {
    int32_t open;
    bool shown;
  };
  for (const Case c : {Case{0, false}, Case{1, true}}) {
    SCOPED_TRACE(c.open);
    SetPref(kPrefListSideSaved, 0);
    SetPref(kPrefListSide, 4);
    SetPref(kPrefOpenListOnSearch, c.open);
    LookupUpdateRecord update{};
    update.entryChosen = 1;
    OnEngineUpdate(nullptr, &update);
    int32_t side = 0;
    GetListPaneLayout(engine(), &side, nullptr);
    EXPECT_EQ(side != 4, c.shown);
  }
}

}  // namespace

namespace {

class HoldMenuTest : public NotifyTest {
 protected:
  void Hold(int32_t action) {
    const int32_t row[] = {action};
    SetPrefArray(engine(), 2, row, 1);
    ControlNotify n{};
    Notify(GetDlgItem(main_, 1004), kTapholdHoldCode, &n.header);
    Pump();
  }
};

TEST_F(HoldMenuTest, TheCategoryMenuMapsTheChoiceThroughItsValues) {
  static int32_t parentAsked;
  parentAsked = -100;
  AppSeams.appendCategoryMenuItems = [](HMENU menu, UINT firstId, int32_t parent, int32_t* values, int maxValues) {
    parentAsked = parent;
    const int32_t ids[] = {17, 42};
    for (int i = 0; i < 2 && i < maxValues; ++i) {
      AppendMenuW(menu, MF_STRING, firstId + i, i ? u"Verbs" : u"Nouns");
      values[i] = ids[i];
    }
    return 2;
  };
  SetPref(kPrefDefaultCategory, 5);
  AutoMenuClearHistory();
  AutoMenuScriptChooseText(u"Verbs");
  Hold(16);
  EXPECT_EQ(parentAsked, 5);
  ASSERT_EQ(AutoMenuHistory().size(), 1u);
  EXPECT_EQ(AutoMenuHistory()[0].chosen, 40101u);
  // Without the category lists the button has no menu.
  AppSeams.appendCategoryMenuItems = nullptr;
  AutoMenuClearHistory();
  Hold(16);
  EXPECT_TRUE(AutoMenuHistory().empty());
}

TEST_F(HoldMenuTest, TheDictionaryMenuListsTheCycleAndDismissingDoesNothing) {
  // The fixture's one dictionary is the whole cycle.
  ASSERT_EQ(LookupCountCycleDicts(session(), 3), 1u);
  AutoMenuClearHistory();
  AutoMenuScriptDismiss();
  const uint16_t before = LookupGetCurrentDict(session());
  Hold(2);
  ASSERT_EQ(AutoMenuHistory().size(), 1u);
  ASSERT_EQ(AutoMenuHistory()[0].items.size(), 1u);
  EXPECT_EQ(AutoMenuHistory()[0].items[0].text, u"Words");
  EXPECT_EQ(LookupGetCurrentDict(session()), before);
}

}  // namespace
