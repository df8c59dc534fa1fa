// The main window itself: its children and menu bars, activation with the
// clipboard and the application keys, turning the screen, the bring-forward
// messages, the arrow and bound keys, the row-text requests, the
// preferences' change and the look-up message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_registry.h"
#include "app/main_actions.h"
#include "engine/dict_set.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/heap.h"
#include "platform/menu.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/utf16_print.h"
#include "toolkit/ui_dialog.h"

namespace {

using mainfix::MainWindowTest;
using mainfix::Shows;

std::u16string ClassOf(HWND window) {
  WCHAR name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

TEST_F(MainWindowTest, ChildrenHaveTheirIdsClassesAndStyles) {
  struct Child {
    int first, last;
    const char16_t* className;
    DWORD style;  // beyond WS_CHILD
  };
  const Child children[] = {
      {1002, 1002, u"SorviFieldClass", WS_BORDER | WS_TABSTOP},
      // The field and the grid show their bar (and its style bit) only when
      // there is something to scroll.
      {1030, 1030, u"SorviFieldClass", 0},
      {1004, 1029, u"SorviTapholdClass", 0},
      {1034, 1039, u"SorviTapholdClass", 0},
      {1032, 1033, u"SorviResizerClass", 0},
      {1041, 1041, u"SorviGridClass", 0},
      {1044, 1044, u"SorviGridClass", 0},
      {1045, 1047, u"BUTTON", 0},
      {1040, 1040, u"SorviCaptureboxClass", 0},
      {1042, 1042, u"SorviSelectorClass", 0},
      {1043, 1043, u"COMBOBOX", WS_VSCROLL | CBS_DROPDOWNLIST},
      {1031, 1031, u"SorviListClass", WS_VSCROLL},
  };
  for (const Child& c : children) {
    for (int id = c.first; id <= c.last; ++id) {
      SCOPED_TRACE(id);
      HWND child = GetDlgItem(main_, id);
      ASSERT_NE(child, nullptr);
      EXPECT_EQ(ClassOf(child), std::u16string(c.className));
      const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
      EXPECT_EQ(style & (WS_CHILD | c.style), WS_CHILD | c.style);
    }
  }
  // The keyboard-layout buttons never take activation.
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(main_, 1045), GWL_EXSTYLE) & WS_EX_NOACTIVATE);
  // The three captions.
  EXPECT_EQ(AutoGetWindowText(GetDlgItem(main_, 1046)), u"P");
  EXPECT_EQ(GetFocus(), input());
}

TEST_F(MainWindowTest, TheWindowEndsAtTheMenuBarWhichRemembersItsHeight) {
  ASSERT_NE(MainWindow.menuBar, nullptr);
  RECT bar{}, own{};
  GetWindowRect(MainWindow.menuBar, &bar);
  GetWindowRect(main_, &own);
  EXPECT_EQ(own.bottom, bar.top);
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(MainWindow.menuBar, u"SorviOldMenuHeightProp")), bar.bottom - bar.top);
  EXPECT_EQ(AutoMenuBarKeys(main_), (std::vector<std::u16string>{u"Dict", u"&Modules"}));
}

std::u16string Digits(UINT n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

// Every item of a menu resource as "text=id", pop-ups as "text[...]".
std::u16string Describe(HMENU menu) {
  std::u16string out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (i) out += u"|";
    WCHAR text[80] = {};
    GetMenuStringW(menu, i, text, 80, MF_BYPOSITION);
    if (HMENU sub = GetSubMenu(menu, i)) {
      out += std::u16string(text) + u"[" + Describe(sub) + u"]";
    } else if (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) {
      out += u"-";
    } else {
      out += std::u16string(text) + u"=" + Digits(GetMenuItemID(menu, i));
    }
  }
  return out;
}

TEST_F(MainWindowTest, BothMenuBarsHoldEveryItemWithItsText) {
  const std::u16string dict =
      u"Switch &Language=12801|Switch &Dictionary=12802|To&ggle Dict/Results List=12804|"
      u"Toggle &Simp/Trad Chars=12805|&Full-text Search=12811|-|&Back=12806|For&ward=12807";
  const std::u16string edit =
      u"C&ut=12820|&Copy=12821|&Paste=12822|Clea&r=12823|-|&Input Text...=12824|Copy to Input &Field=12825|"
      u"Pla&y Audio=12826";
  const std::u16string modules =
      u"&Modules[&Open Flashcards...=12840|Add To &Flashcards=12841|-|Open &Reader...=12842|"
      u"&Send Entry To Reader...=12827|-|&Character Info...=12843|&Pop-up Definition...=12844|"
      u"&Add/Edit Custom Entry...=12845|&Delete Custom Entry=12846]";
  HMENU old = LoadMenuW(AppInstance, MAKEINTRESOURCEW(102));
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(Describe(old), u"&Dict[" + dict +
                               u"|-|&Preference&s...=12808|&Manage Dicts...=12809|-|&About...=12862|&Quit=12810]|"
                               u"&Edit[" +
                               edit + u"]|" + modules);
  DestroyMenu(old);
  HMENU now = LoadMenuW(AppInstance, MAKEINTRESOURCEW(104));
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(Describe(now), u"Dict[&Dict[" + dict + u"]|&Edit[" + edit +
                               u"]|-|&Preferences...=12808|&Manage Dicts...=12809|&About...=12862|&Quit=12810]|" +
                               modules);
  DestroyMenu(now);
}

// ---- Activation ----

void PutOnClipboard(const std::u16string& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  auto* copy = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(WCHAR)));
  std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  SetClipboardData(CF_UNICODETEXT, copy);
  CloseClipboard();
}

class ActivationTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    SetPref(kPrefSearchDelay, 0);
    // The start's own activation is behind us.
    skipRescanOnce = 0;
    iaActivated = 0;
    AppSeams.openReaderOnText = [](HWND, const WCHAR* text, uint32_t bytes) {
      readerTexts.push_back(std::u16string(text));
      readerBytes = bytes;
    };
    readerTexts.clear();
  }
  // The launcher's notice, then an activation of the window.
  void ActivateFromLauncher() {
    SendMessageW(main_, kMainAvizodActivated, 0, 0);
    Activate();
  }
  void Activate() {
    SendMessageW(main_, WM_ACTIVATE, WA_ACTIVE, 0);
    Pump();
  }
  void Deactivate() {
    SendMessageW(main_, WM_ACTIVATE, WA_INACTIVE, 0);
    Pump();
  }
  static inline std::vector<std::u16string> readerTexts;
  static inline uint32_t readerBytes = 0;
};

TEST_F(ActivationTest, TheSameClipboardTextFillsTheFieldOnce) {
  SetPref(kPrefClipboardOnActivate, 1);
  PutOnClipboard(u"中国");
  ActivateFromLauncher();
  EXPECT_EQ(InputText(), u"中国");
  EXPECT_EQ(Query(), u"中国");
  EXPECT_EQ(iaActivated, 0);
  SetInputText(u"ren");
  ActivateFromLauncher();
  EXPECT_EQ(InputText(), u"ren");
  // A new text is taken again.
  PutOnClipboard(u"你好");
  ActivateFromLauncher();
  EXPECT_EQ(InputText(), u"你好");
}

TEST_F(ActivationTest, WithoutTheLaunchersNoticeTheClipboardIsLeftAlone) {
  SetPref(kPrefClipboardOnActivate, 1);
  PutOnClipboard(u"中国");
  Activate();
  EXPECT_EQ(InputText(), u"");
  // Nor without the preference.
  SetPref(kPrefClipboardOnActivate, 0);
  ActivateFromLauncher();
  EXPECT_EQ(InputText(), u"");
}

TEST_F(ActivationTest, ChineseLongerThanTheLimitGoesToTheReader) {
  SetPref(kPrefClipboardOnActivate, 1);
  SetPref(kPrefClipboardReaderLimit, 4);
  struct Case {
    std::u16string text;
    bool reader;
  };
  const Case cases[] = {
      {u"中国人好", false},    // exactly the limit: the input field
      {u"中国人好文", true},   // one more: the reader
      {u"abcdefghij", false},  // long but without Chinese
      {u"ab中defghij", true},  // long with one Chinese character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8Of(c.text));
    SetInputText(u"");
    readerTexts.clear();
    PutOnClipboard(c.text);
    ActivateFromLauncher();
    if (c.reader) {
      EXPECT_EQ(readerTexts, std::vector<std::u16string>{c.text});
      EXPECT_EQ(readerBytes, (c.text.size() + 1) * 2);
      EXPECT_EQ(InputText(), u"");
    } else {
      EXPECT_TRUE(readerTexts.empty());
      EXPECT_EQ(InputText(), c.text);
    }
  }
  // Without the reader nothing happens and nothing breaks.
  AppSeams.openReaderOnText = nullptr;
  PutOnClipboard(u"中国人好文字");
  ActivateFromLauncher();
  EXPECT_EQ(InputText(), u"");
}

TEST_F(ActivationTest, ApplicationKeysAreClaimedWhileActiveAndRecordsSavedOnLeaving) {
  const int32_t pairs[] = {0xC1, 7, 0xC3, 6, 'A', 12};
  SetPrefArray(engine(), kPrefArrayActionKeys, pairs, 6);
  Activate();
  EXPECT_EQ(GetAppKeyWindow(0xC1), main_);
  EXPECT_EQ(GetAppKeyWindow(0xC3), main_);
  EXPECT_EQ(GetAppKeyWindow(0xC2), nullptr);
  SaveRegistryRecord(kEngineRecord, nullptr);
  Deactivate();
  EXPECT_EQ(GetAppKeyWindow(0xC1), nullptr);
  EXPECT_EQ(GetAppKeyWindow(0xC3), nullptr);
  HKEY key = nullptr;
  ASSERT_EQ(OpenAppRegistryKey(&key), 0);
  MemHandle* saved = LoadRegistryRecord(key, kEngineRecord);
  EXPECT_NE(saved, nullptr);
  FreeMemHandle(saved);
  RegCloseKey(key);
}

TEST_F(ActivationTest, TurningTheScreenTakesTheFullScreenChoiceOfTheNewOrientation) {
  AppContextPointer->fullScreenPortrait = 0;
  AppContextPointer->fullScreenLandscape = 1;
  SetScreenProfile(640, 480, 192);
  SendMessageW(main_, WM_SETTINGCHANGE, 0x3002, 0);
  Pump();
  EXPECT_EQ(AppContextPointer->fullScreen, 1);
  EXPECT_TRUE(IsMenuBarHidden(main_));
  SetScreenProfile(480, 640, 192);
  SendMessageW(main_, WM_SETTINGCHANGE, 0x3002, 0);
  Pump();
  EXPECT_EQ(AppContextPointer->fullScreen, 0);
  EXPECT_FALSE(IsMenuBarHidden(main_));
  // Other settings leave full screen alone.
  SetScreenProfile(640, 480, 192);
  SendMessageW(main_, WM_SETTINGCHANGE, 0x1234, 0);
  EXPECT_EQ(AppContextPointer->fullScreen, 0);
}

// ---- Bring forward ----

class BringForwardTest : public ActivationTest {
 protected:
  void SetUp() override {
    ActivationTest::SetUp();
    if (HasFatalFailure()) return;
    SetPref(kPrefLookupOnActivate, 0);
  }
  void TearDown() override {
    for (HWND w : others_)
      if (IsWindow(w)) DestroyWindow(w);
    ActivationTest::TearDown();
  }
  HWND Other() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"OtherScreen";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, u"OtherScreen", u"", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    others_.push_back(w);
    return w;
  }
  std::vector<HWND> others_;
};

TEST_F(BringForwardTest, TheTestWindowElseTheReaderElseTheMainWindow) {
  HWND test = Other(), reader = Other(), elsewhere = Other();
  struct Case {
    HWND testWindow, readerWindow, expected;
  };
  const Case cases[] = {{test, reader, test}, {nullptr, reader, reader}, {nullptr, nullptr, main_}};
  for (const Case& c : cases) {
    SetForegroundWindow(elsewhere);
    AppTestWindow = c.testWindow;
    AppReaderWindow = c.readerWindow;
    iaActivated = 0;
    SendMessageW(main_, kAppActivate, 0, 0);
    Pump();
    EXPECT_EQ(GetForegroundWindow(), c.expected);
    EXPECT_EQ(iaActivated, c.expected == main_ ? 0 : 1) << "the main window's activation takes it at once";
  }
  AppTestWindow = nullptr;
  AppReaderWindow = nullptr;
}

TEST_F(BringForwardTest, TheNoticeOnlySetsTheByte) {
  HWND elsewhere = Other();
  SetForegroundWindow(elsewhere);
  iaActivated = 0;
  SendMessageW(main_, kMainAvizodActivated, 0, 0);
  EXPECT_EQ(iaActivated, 1);
  EXPECT_EQ(GetForegroundWindow(), elsewhere);
}

TEST_F(BringForwardTest, TheFirstActivationSkipsTheRescanALaterOneRescans) {
  SetPref(kPrefRescanOnActivate, 1);
  skipRescanOnce = 1;
  const uint32_t before = GetDictCount(engine());
  tree_.Write("Program Files/Sorvi/more.pdb", mainfix::FixtureDictionary(2, u"More"));
  HWND elsewhere = Other();
  SetForegroundWindow(elsewhere);
  SendMessageW(main_, kAppActivate, 0, 0);
  Pump();
  EXPECT_EQ(skipRescanOnce, 0);
  EXPECT_EQ(iaActivated, 0);
  EXPECT_EQ(GetDictCount(engine()), before);
  SetForegroundWindow(elsewhere);
  SendMessageW(main_, kAppActivate, 0, 0);
  Pump();
  EXPECT_EQ(GetDictCount(engine()), before + 1);
}

TEST_F(BringForwardTest, WithTheLookupPreferenceTheSystemWideLookupRuns) {
  static int calls;
  calls = 0;
  AppSeams.zuzezurAvizodLookup = [](int) {
    ++calls;
    return 0;
  };
  SetPref(kPrefLookupOnActivate, 1);
  HWND elsewhere = Other();
  SetForegroundWindow(elsewhere);
  iaActivated = 0;
  SendMessageW(main_, kAppActivate, 0, 0);
  Pump();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(GetForegroundWindow(), elsewhere);
  // Unset, it is inert.
  AppSeams.zuzezurAvizodLookup = nullptr;
  SendMessageW(main_, kAppActivate, 0, 0);
  EXPECT_EQ(GetForegroundWindow(), elsewhere);
}

}  // namespace

namespace {

// ---- Keys ----

class KeysTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    SetPref(kPrefSearchDelay, 0);
    Type(u"zhong");
  }
  uint32_t Index() const {
    uint32_t rows = 0, index = 0;
    LookupGetCounts(session(), &rows, &index);
    return index;
  }
  void Key(WPARAM key, bool repeat = false) {
    SendMessageW(main_, WM_KEYDOWN, key, repeat ? 0x40000001 : 1);
    Pump();
  }
  uint32_t Caret() const { return static_cast<uint32_t>(SendMessageW(input(), 0x8182, 0, 0)); }
};

TEST_F(KeysTest, ArrowPreferencesTable) {
  struct Case {
    int32_t value;
    int indexStep;  // how far the forward key moves the current entry
    int caretStep;  // how far the forward key moves the input caret
    bool pagesList;
  };
  const Case cases[] = {
      {1, 1, 0, false},  // the session's next and previous entry
      {2, 1, 0, false},  // scroll the definition; a short one cannot, so the entry moves
      {3, 0, 1, false},  // the input field's caret
      {4, 0, 0, false},  // scroll the definition only
      {5, 0, 0, true},   // page the results list
      {0, 0, 0, false},  // nothing
  };
  for (const bool vertical : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << (vertical ? "up/down " : "left/right ") << c.value);
      SetPref(vertical ? kPrefArrowUpDown : kPrefArrowLeftRight, c.value);
      SetPref(vertical ? kPrefArrowLeftRight : kPrefArrowUpDown, 0);
      SendMessageW(list(), kListSetInfo, 3, 0);
      SendMessageW(input(), 0x8183, 2, 0);
      const uint32_t index = Index(), caret = Caret();
      Key(vertical ? VK_DOWN : VK_RIGHT);
      EXPECT_EQ(Index(), index + c.indexStep);
      EXPECT_EQ(Caret(), caret + c.caretStep);
      if (c.pagesList) {
        EXPECT_GT(ListInfo(3), 0u);
      }
      Key(vertical ? VK_UP : VK_LEFT);
      EXPECT_EQ(Index(), index);
      EXPECT_EQ(Caret(), caret);
      EXPECT_EQ(ListInfo(3), 0u);
    }
  }
}

TEST_F(KeysTest, ABoundKeyRunsOnItsFirstPressOnlyWhileAHeldArrowRepeats) {
  const int32_t pairs[] = {VK_F1, 7};  // F1: the next entry
  SetPrefArray(engine(), kPrefArrayActionKeys, pairs, 2);
  const uint32_t index = Index();
  Key(VK_F1);
  EXPECT_EQ(Index(), index + 1);
  Key(VK_F1, true);
  Key(VK_F1, true);
  EXPECT_EQ(Index(), index + 1);
  SetPref(kPrefArrowUpDown, 1);
  Key(VK_DOWN);
  Key(VK_DOWN, true);
  Key(VK_DOWN, true);
  EXPECT_EQ(Index(), index + 4);
}

TEST_F(KeysTest, EnterRunsItsPreferenceUnlessAKeyListBindsIt) {
  SetPref(kPrefEnterAction, 7);
  const uint32_t index = Index();
  Key(VK_RETURN);
  EXPECT_EQ(Index(), index + 1);
  const int32_t pairs[] = {VK_RETURN, 6};  // bound: the previous entry
  SetPrefArray(engine(), kPrefArrayActionKeys, pairs, 2);
  Key(VK_RETURN);
  EXPECT_EQ(Index(), index);
  // Unbound and no preference: nothing.
  SetPrefArray(engine(), kPrefArrayActionKeys, nullptr, 0);
  SetPref(kPrefEnterAction, 0);
  Key(VK_RETURN);
  EXPECT_EQ(Index(), index);
}

// ---- Messages ----

TEST_F(MainWindowTest, RowTextRequestsOfTheResultsAndTheRecentQueries) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"zhong");
  const uint32_t selected = ListInfo(2);
  EXPECT_TRUE(Shows(RowText(kMainResultsList, selected), u"中"));
  ASSERT_GT(LookupGetRecentQueryCount(session()), 0u);
  WCHAR recent[41] = {};
  LookupGetRecentQueryText(session(), 0, recent, 41);
  EXPECT_EQ(RowText(kMainRecentList, 0), std::u16string(recent));
  // Other ids are left alone.
  EXPECT_EQ(RowText(1044, 0), u"");
}

TEST_F(MainWindowTest, PreferencesChangedRelaysOutSavesAndSearchesAtOnce) {
  SetPref(kPrefSearchDelay, 500);
  SetInputText(u"ren");
  LookupResetQuery(session());
  SaveRegistryRecord(kEngineRecord, nullptr);
  MainWindow.lastClient = RECT{};
  SendMessageW(main_, kMainPrefsChanged, 0, 0);
  EXPECT_EQ(Query(), u"ren");
  RECT client{};
  GetClientRect(main_, &client);
  EXPECT_EQ(MainWindow.lastClient.bottom, client.bottom);
  HKEY key = nullptr;
  ASSERT_EQ(OpenAppRegistryKey(&key), 0);
  MemHandle* saved = LoadRegistryRecord(key, kEngineRecord);
  EXPECT_NE(saved, nullptr);
  FreeMemHandle(saved);
  RegCloseKey(key);
}

TEST_F(MainWindowTest, LookupMessageHandsItsTextToThePopUpAndFreesIt) {
  static std::u16string shown;
  static int lookups;
  shown.clear();
  lookups = 0;
  AppSeams.showPopupDefinition = [](HWND, const WCHAR* text, int openInMain, int plainMode, int32_t option) {
    shown = text;
    EXPECT_EQ(openInMain, 1);
    EXPECT_EQ(plainMode, 0);
    EXPECT_EQ(option, -1);
  };
  AppSeams.zuzezurAvizodLookup = [](int) {
    ++lookups;
    return 0;
  };
  auto* text = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, 3 * sizeof(WCHAR)));
  std::memcpy(text, u"中国", 3 * sizeof(WCHAR));
  iaActivated = 1;
  SendMessageW(main_, kAppLookupSelection, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(shown, u"中国");
  EXPECT_EQ(iaActivated, 0);
  SendMessageW(main_, kAppLookupSelection, 0, 0);
  EXPECT_EQ(lookups, 1);
  // Without the pop-up the text is still freed (the ASan build checks).
  AppSeams.showPopupDefinition = nullptr;
  text = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, 3 * sizeof(WCHAR)));
  std::memcpy(text, u"中国", 3 * sizeof(WCHAR));
  SendMessageW(main_, kAppLookupSelection, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

namespace {

TEST_F(MainWindowTest, TheTrayIconsTapRunsTheSystemWideLookupWhenAllowed) {
  static int lookups;
  lookups = 0;
  AppSeams.zuzezurAvizodLookup = [](int) {
    ++lookups;
    return 0;
  };
  struct Case {
    int32_t y;
    uint8_t newShell;
    int lookups;
  };
  const Case cases[] = {{-1, 0, 1}, {5, 0, 0}, {5, 1, 1}, {-1, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.y << " " << int{c.newShell});
    lookups = 0;
    AppContextPointer->osAtLeast5_2_20480 = c.newShell;
    NMSHN record{};
    record.hdr.hwndFrom = nullptr;
    record.hdr.code = static_cast<UINT>(SHNN_SHOW);
    record.pt.y = c.y;
    SendMessageW(main_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&record));
    EXPECT_EQ(lookups, c.lookups);
  }
}

}  // namespace

namespace {

// The window's own background, as the screen shows it (0x00RRGGBB).
uint32_t BackgroundPixel() {
  const COLORREF c = GetSysColor(16);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

TEST_F(MainWindowTest, ASearchRightAfterARelayoutLeavesTheListDrawn) {
  SetPref(kPrefSearchDelay, 0);
  SetPref(kPrefListSide, 0);
  SetPref(kPrefInputKind, 0);
  SetPref(kPrefInputSide, 0);
  // The relayout asks the window to paint; the search draws the list before
  // that paint has run.
  SendMessageW(main_, kMainPrefsChanged, 0, 0);
  Type(u"zhongwen");
  ASSERT_TRUE(IsWindowVisible(list()));
  // The first row's margin, left of its text.
  EXPECT_NE(AutoGetPixel(list(), 2, 4), BackgroundPixel());
}

}  // namespace

namespace {

TEST_F(MainWindowTest, TheTrayIconIsPutBackOnPreferencesChangedAndRemovedAtTheEnd) {
  static std::vector<char> calls;
  calls.clear();
  AppSeams.addTrayIcon = [](HWND) { calls.push_back('+'); };
  AppSeams.removeTrayIcon = [](HWND) { calls.push_back('-'); };
  SendMessageW(main_, kMainPrefsChanged, 0, 0);
  EXPECT_EQ(calls, (std::vector<char>{'-', '+'}));
  // Leaving the window saves without touching the icon.
  SendMessageW(main_, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(calls.size(), 2u);
  DestroyWindow(main_);
  main_ = nullptr;
  EXPECT_EQ(calls, (std::vector<char>{'-', '+', '-'}));
}

}  // namespace

namespace {

// An older shell: the three-menu bar.
class OldShellTest : public MainWindowTest {
 protected:
  void BeforeStart() override { SetOsVersion(4, 21, 1000); }
  void TearDown() override {
    MainWindowTest::TearDown();
    SetOsVersion(5, 2, 21000);
  }
};

TEST_F(OldShellTest, TheMenuBarHasThreeMenus) {
  ASSERT_EQ(AppContextPointer->osAtLeast5, 0);
  EXPECT_EQ(AutoMenuBarKeys(main_), (std::vector<std::u16string>{u"&Dict", u"&Edit", u"&Modules"}));
}

}  // namespace
