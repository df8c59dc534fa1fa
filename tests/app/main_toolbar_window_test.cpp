// The tool bar, the input section and the gestures on the definition, on the
// headless main window: which buttons get which images, the input mode
// button, recognition with the real recogniser, the radical page and its
// stroke-count list, and the tap, hold and word menu on the definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_handwriting.h"
#include "app/main_actions.h"
#include "app/main_toolbar.h"
#include "app/text_gesture.h"
#include "engine/lookup_services.h"
#include "engine/radical_table.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "tests/app/field_probe.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/utf16_print.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_flashtext.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_selector.h"
#include "toolkit/control_taphold.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"
#include "tools/databuild/radical_tables.h"

namespace {

using mainfix::MainWindowTest;

constexpr int32_t kPrefRadicalsOutsideDicts = 62;

const TapholdState* Button(HWND parent, int id) {
  return static_cast<const TapholdState*>(GetControlState(GetDlgItem(parent, id), u"SorviTapholdInfo"));
}
const GridState* Grid(HWND parent, int id) {
  return static_cast<const GridState*>(GetControlState(GetDlgItem(parent, id), u"SorviGridInfo"));
}
std::u16string GridText(const GridState* g) {
  std::u16string s;
  for (uint16_t i = 0; g && g->items && i < g->itemCount; ++i) s.push_back(static_cast<char16_t>(g->items[i]));
  return s;
}

class ToolBarTest : public MainWindowTest {
 protected:
  void Bind(std::vector<int32_t> first, std::vector<int32_t> second) {
    SetPrefArray(engine(), kPrefArrayFirstRow, first.data(), static_cast<uint32_t>(first.size()));
    SetPrefArray(engine(), kPrefArraySecondRow, second.data(), static_cast<uint32_t>(second.size()));
    SetPref(kPrefFirstRowInUse, static_cast<int32_t>(first.size()));
    SetPref(kPrefSecondRowInUse, static_cast<int32_t>(second.size()));
    LayoutMainWindow(main_, false);
    Pump();
  }
  int Image(int id) const { return Button(main_, id)->info.imageIndex; }
};

// A window with room for twelve buttons: eight in the first row and the
// second row's four.
class NarrowToolBarTest : public ToolBarTest {
 protected:
  NarrowToolBarTest() { width_ = 400; }
};

TEST_F(NarrowToolBarTest, OnlyTheButtonsThatFitShowTheirActionsRowByRow) {
  // Twenty bound actions, sixteen and four.
  Bind({6, 7, 8, 9, 10, 11, 12, 13, 17, 19, 20, 21, 22, 23, 24, 25}, {36, 38, 39, 40});
  uint16_t fit1 = 0, fit2 = 0;
  GetButtonRowCounts(&fit1, &fit2);
  ASSERT_EQ(fit1, 8) << "eight buttons of 8 units fit 400 pixels at 192 dpi";
  ASSERT_EQ(fit1 + fit2, 12);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    const int id = kMainFirstToolButton + i;
    EXPECT_EQ(IsWindowVisible(GetDlgItem(main_, id)) != 0, i < fit1);
    EXPECT_EQ(Image(id), i < fit1 ? ActionImage(ToolActionOfButton(id)) : -1);
  }
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const int id = kMainSecondToolButton + i;
    EXPECT_EQ(IsWindowVisible(GetDlgItem(main_, id)) != 0, i < fit2);
    EXPECT_EQ(Image(id), i < fit2 ? ActionImage(ToolActionOfButton(id)) : -1);
  }
  EXPECT_EQ(Image(kMainFirstToolButton), 92);                                              // action 6
  EXPECT_EQ(Button(main_, kMainFirstToolButton + 7)->info.holdEnabled, fit1 > 7 ? 1 : 0);  // action 13
}

TEST_F(ToolBarTest, ImagesFollowTheSessionsNavigationStates) {
  SetPref(kPrefLatinIcons, 0);
  SetPref(kPrefDisplayMode, 0);
  SetPref(kPrefSearchDelay, 0);
  SetInputText(u"hao");  // results to toggle to and from
  Bind({4, 14, 3, 2, 13}, {});
  EXPECT_EQ(Image(kMainFirstToolButton), 36);      // back, no history yet
  EXPECT_EQ(Image(kMainFirstToolButton + 1), 87);  // display mode 0
  const int listImage = Image(kMainFirstToolButton + 2);
  EXPECT_TRUE(listImage == 14 || listImage == 76) << listImage;
  EXPECT_EQ(Image(kMainFirstToolButton + 4), 2);  // play
  EXPECT_EQ(Button(main_, kMainFirstToolButton + 4)->info.holdEnabled, 1);
  // The display mode switched: the session asks for a tool-bar refresh.
  ExecuteAction(14, -1);
  Pump();
  EXPECT_EQ(Image(kMainFirstToolButton + 1), 90);
  ExecuteAction(3, -1);
  Pump();
  EXPECT_EQ(Image(kMainFirstToolButton + 2), listImage == 14 ? 76 : 14);
  // Latin icons.
  SetPref(kPrefLatinIcons, 1);
  RefreshToolBar();
  EXPECT_EQ(Image(kMainFirstToolButton + 2), listImage == 14 ? 56 : 43);
}

TEST_F(ToolBarTest, TheDictionaryButtonShowsTheCurrentDictionarysNameInItsColours) {
  Bind({6, 2}, {});
  const TapholdState* b = Button(main_, kMainFirstToolButton + 1);
  LookupButtonInfo info{};
  GetDictDisplayInfo(engine(), LookupGetCurrentDict(session()), &info);
  EXPECT_EQ(b->info.textLabel, 1);
  EXPECT_EQ(b->info.holdEnabled, 1);
  EXPECT_EQ(std::string(b->info.label), "WD");
  EXPECT_EQ(b->info.color, SwapRgbBytes(info.iconFillColor & 0xFFFFFF));
  EXPECT_LT(b->info.imageIndex, 0);
}

TEST_F(ToolBarTest, TheModeButtonCyclesTheInputModes) {
  SetPref(kPrefInputKind, 0);
  SetLayoutSetting10(engine(), 0);
  const int32_t expected[][2] = {{0, 1}, {1, 1}, {2, 1}, {0, 0}, {0, 1}};
  for (const auto& e : expected) {
    RunToolButton(kMainInputModeButton, -1);
    Pump();
    EXPECT_EQ(Pref(kPrefInputKind), e[0]);
    EXPECT_EQ(GetLayoutSetting10(engine()), e[1]);
  }
}

TEST_F(ToolBarTest, KeyboardLayoutButtonsRefillTheKeyboard) {
  SetPref(kPrefInputKind, 2);
  LayoutMainWindow(main_, false);
  for (int id : {kMainKeyboardP, kMainKeyboardZ, kMainKeyboardE}) {
    SCOPED_TRACE(id);
    SendMessageW(main_, WM_COMMAND, id, 0);
    Pump();
    EXPECT_EQ(Pref(kPrefCompactKeyboardKind), id - kMainKeyboardE);
    KeyboardLayoutRecord record{};
    const uint16_t* keys = nullptr;
    uint16_t count = 0;
    RECT r{};
    GetClientRect(GetDlgItem(main_, kMainKeyboardGrid), &r);
    SetupCompactKeyboardLayout(engine(), &record, &keys, &count, r.bottom - r.top > r.right - r.left);
    const GridState* g = Grid(main_, kMainKeyboardGrid);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->items, keys);
    EXPECT_EQ(g->itemCount, count);
  }
}

// Handwriting in the palette box 1040 with the real recogniser.
class HandwritingSectionTest : public MainWindowTest {
 protected:
  HandwritingSectionTest() { withRecognizer_ = true; }
  void SetUp() override {
    MainWindowTest::SetUp();
    SetPref(kPrefSearchDelay, 0);
    SetPref(kPrefInputKind, 0);
    SetLayoutSetting10(engine(), 0);
    SetPref(kPrefInputSide, 2);
    SetPref(kPrefAutoRecognize, 0);
    SetPref(kPrefAutoEnterCandidate, 0);
    LayoutMainWindow(main_, false);
    Pump();
    box_ = GetDlgItem(main_, kMainWritingBox);
  }
  // One horizontal stroke across the box at `height` (a fraction of it):
  // 一 in the middle.
  void DrawHorizontal(double height = 0.5) {
    RECT r{};
    GetClientRect(box_, &r);
    ASSERT_GT(r.right, 40);
    const int y = static_cast<int>(r.bottom * height);
    SendMessageW(box_, WM_LBUTTONDOWN, 0, MAKELPARAM(r.right / 10, y));
    for (int x = r.right / 10; x <= r.right * 9 / 10; x += 4) SendMessageW(box_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(r.right * 9 / 10, y));
    Pump();
  }
  std::u16string Candidates() const { return GridText(Grid(main_, kMainCandidateGrid)); }
  uint16_t InkPairs() const { return GetCaptureboxState(box_)->count; }
  HWND box_ = nullptr;
};

TEST_F(HandwritingSectionTest, ADrawnOneIsAmongTheCandidatesAndEntersWithPreference147) {
  for (int32_t enter : {0, 1}) {
    SCOPED_TRACE(enter);
    SetPref(kPrefAutoEnterCandidate, enter);
    SetInputText(u"");
    DrawHorizontal();
    RunToolButton(kMainRecognizeButton, -1);
    Pump();
    EXPECT_NE(Candidates().find(u'一'), std::u16string::npos);
    EXPECT_EQ(InkPairs(), 0) << "a recognition on demand clears the box";
    EXPECT_EQ(InputText(), enter ? u"一" : u"");
  }
}

// The candidates are drawn at once; a paint the window still owes (after a
// relayout) must not cover them afterwards.
TEST_F(HandwritingSectionTest, CandidatesDrawnWhileTheWindowOwesAPaintStayVisible) {
  DrawHorizontal();
  RunToolButton(kMainRecognizeButton, -1);
  Pump();
  ASSERT_NE(Candidates().find(u'一'), std::u16string::npos);
  HWND grid = GetDlgItem(main_, kMainCandidateGrid);
  std::vector<uint32_t> before, after;
  int w = 0, h = 0;
  ASSERT_TRUE(AutoCaptureWindow(grid, &before, &w, &h));
  InvalidateRect(main_, nullptr, TRUE);
  ShowCandidates();
  ASSERT_TRUE(AutoCaptureWindow(grid, &after, &w, &h));
  EXPECT_TRUE(before == after) << "the window's background covered the candidates";
}

TEST_F(HandwritingSectionTest, AtEveryStrokeTheCandidatesFollowAndTheInkStays) {
  SetPref(kPrefAutoRecognize, -1);
  SetPref(kPrefAutoEnterCandidate, 1);
  DrawHorizontal(0.3);
  EXPECT_NE(Candidates().find(u'一'), std::u16string::npos);
  const uint16_t oneStroke = InkPairs();
  EXPECT_GT(oneStroke, 1);
  // A second, lower stroke: 二, with both strokes still in the box.
  DrawHorizontal(0.7);
  EXPECT_NE(Candidates().find(u'二'), std::u16string::npos);
  EXPECT_GT(InkPairs(), oneStroke);
  EXPECT_EQ(InputText(), u"") << "nothing is entered automatically";
}

TEST_F(HandwritingSectionTest, WithADelayTheCandidatesComeWhenThePenRestsLongEnough) {
  SetPref(kPrefAutoRecognize, 500);
  DrawHorizontal();
  EXPECT_EQ(Candidates().find(u'一'), std::u16string::npos);
  Advance(499);
  EXPECT_EQ(Candidates().find(u'一'), std::u16string::npos);
  EXPECT_GT(InkPairs(), 1);
  Advance(1);
  EXPECT_NE(Candidates().find(u'一'), std::u16string::npos);
  EXPECT_EQ(InkPairs(), 0);
}

// Writing in the window itself: the definition hosts the box.
TEST_F(HandwritingSectionTest, TheEmbeddedBoxFollowsItsOptionAndUndoesStrokes) {
  SetLayoutSetting10(engine(), 1);
  SetPref(kPrefWritingBoxOption, 0);
  LayoutMainWindow(main_, false);
  Pump();
  ASSERT_EQ(WritingBoxWindow(), definition());
  SetPref(kPrefListSide, 3);
  EXPECT_EQ(WritingBoxWindow(), list()) << "the list fills the content area";
  SetPref(kPrefListSide, 0);
  RunToolButton(kMainBoxOptionButton, -1);
  EXPECT_EQ(Pref(kPrefWritingBoxOption), 1);
  EXPECT_EQ(Button(main_, kMainBoxOptionButton)->info.imageIndex, 29);
  ASSERT_NE(GetCaptureboxState(definition()), nullptr);
  EXPECT_EQ(SendMessageW(definition(), kHasInkMessage, 0, 0), 0);
  // Two strokes, then undo them one by one.
  box_ = definition();
  DrawHorizontal(0.3);
  DrawHorizontal(0.6);
  EXPECT_EQ(GetInkStrokeCount(GetCaptureboxState(definition())), 2);
  RunToolButton(kMainUndoStrokeButton, -1);
  EXPECT_EQ(GetInkStrokeCount(GetCaptureboxState(definition())), 1);
  RunToolButton(kMainClearInkButton, -1);
  EXPECT_EQ(GetInkStrokeCount(GetCaptureboxState(definition())), 0);
  // The option off again: the ink goes.
  RunToolButton(kMainBoxOptionButton, -1);
  EXPECT_EQ(Pref(kPrefWritingBoxOption), 0);
  EXPECT_EQ(Button(main_, kMainBoxOptionButton)->info.imageIndex, 28);
}

TEST_F(HandwritingSectionTest, ButtonsOnAHostWithoutABoxDoNothing) {
  // The box in the window chosen, but its option never turned on: the
  // definition has no box to read, undo or clear.
  SetLayoutSetting10(engine(), 1);
  SetPref(kPrefWritingBoxOption, 0);
  SetPref(kPrefAutoRecognize, -1);
  LayoutMainWindow(main_, false);
  Pump();
  ASSERT_EQ(WritingBoxWindow(), definition());
  ASSERT_EQ(GetCaptureboxState(definition()), nullptr);
  const std::u16string text = DefinitionText();
  for (int id : {kMainUndoStrokeButton, kMainRecognizeButton, kMainClearInkButton}) {
    SCOPED_TRACE(id);
    RunToolButton(id, -1);
    Pump();
    EXPECT_EQ(Candidates(), u"");
    EXPECT_EQ(DefinitionText(), text);
  }
}

class NoRecognizerTest : public MainWindowTest {};

TEST_F(NoRecognizerTest, RecognisingShowsTheMessage) {
  ASSERT_EQ(AppContextPointer->hwrEngine, nullptr);
  AutoExpectMessageBox(
      u"Cannot access the handwriting recognition engine; please make sure that you've installed the file "
      u"\"Quillet.dll\" to your handheld's internal memory (the installer should have put it there by default).",
      u"No Handwriting Recognizer", IDOK);
  RunToolButton(kMainRecognizeButton, -1);
  Pump();
  EXPECT_TRUE(AutoScriptFailures().empty());
  EXPECT_EQ(AutoMessageBoxLog().size(), 1u);
}

// The radical page over a radical table: 一 (1 stroke, radical 1), 人 (2, 9)
// and 口 (3, 30); 人's characters in five stroke sections of 30 each.
class RadicalPageTest : public MainWindowTest {
 protected:
  void BeforeStart() override {
    databuild::RadicalTablesSpec desc;
    desc.id = 1;
    desc.listB = {{0x4E00, 1, 1}, {0x4EBA, 2, 9}, {0x53E3, 3, 30}};
    desc.listA = {0, 0, 1, 2};
    databuild::RadicalChars person;
    person.radical = 9;
    for (int s = 0; s < 5; ++s) {
      std::u16string section;
      for (int i = 0; i < 30; ++i) section.push_back(static_cast<char16_t>(0x4EBA + 1 + s * 30 + i));
      person.sections.push_back(section);
    }
    databuild::RadicalChars one;
    one.radical = 1;
    one.sections = {u"\u4E00", u"\u4E01\u4E03"};
    desc.radicals = {one, person};
    databuild::DataFileSpec file;
    file.shortName = u"Radicals";
    std::string error;
    ASSERT_EQ(databuild::AddRadicalTables(desc, &file, &error), 0) << error;
    databuild::ByteVec bytes;
    ASSERT_EQ(databuild::BuildDataFile(file, &bytes, nullptr, &error), 0) << error;
    tree_.Write("Program Files/Sorvi/radicals.pdb", bytes);
  }
  void SetUp() override {
    MainWindowTest::SetUp();
    SetPref(kPrefRadicalsOutsideDicts, 1);
    SetPref(kPrefInputKind, 1);
    SetPref(kPrefInputSide, 2);
    LayoutMainWindow(main_, false);
    Pump();
  }
  std::vector<std::u16string> StrokeCounts() const {
    HWND combo = GetDlgItem(main_, kMainStrokeCombo);
    std::vector<std::u16string> out;
    const auto n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      WCHAR text[16] = {};
      SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.push_back(text);
    }
    return out;
  }
  void PickStrokeCount(int item) {
    HWND combo = GetDlgItem(main_, kMainStrokeCombo);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageW(main_, WM_COMMAND, MAKEWPARAM(kMainStrokeCombo, CBN_CLOSEUP), reinterpret_cast<LPARAM>(combo));
    Pump();
  }
};

TEST_F(RadicalPageTest, APickedRadicalListsItsCharactersAndAStrokeCountScrollsToItsSection) {
  const GridState* grid = Grid(main_, kMainCandidateGrid);
  ASSERT_NE(grid, nullptr);
  // At first the default radical 一's characters.
  EXPECT_EQ(grid->pairs, 0);
  EXPECT_EQ(GridText(grid), std::u16string(u"\u4E00\u2460\u4E01\u4E03"));
  EXPECT_EQ(StrokeCounts(), (std::vector<std::u16string>{u"0", u"1"}));
  // The selector opens the radical table: the radicals, two values each.
  ControlNotify open{};
  open.payload.selector.mode = 3;
  Notify(GetDlgItem(main_, kMainRadicalSelector), kSelectorModeCode, &open.header);
  Pump();
  EXPECT_EQ(grid->pairs, 1);
  EXPECT_EQ(GridText(grid), std::u16string(u"\u4E00\u0101\u4EBA\u0902\u53E3\u1E03"));
  EXPECT_EQ(StrokeCounts(), (std::vector<std::u16string>{u"1", u"2", u"3"}));
  // 人 picked: its characters, sectioned by stroke count.
  ControlNotify n{};
  n.payload.grid.value1 = 0x4EBA;
  n.payload.grid.value2 = 0x0902;
  Notify(GetDlgItem(main_, kMainCandidateGrid), kGridChosenCode, &n.header);
  Pump();
  EXPECT_EQ(grid->pairs, 0);
  const std::u16string chars = GridText(grid);
  EXPECT_EQ(chars.size(), 150u + 4u);  // the characters and the marks of sections 1-4
  EXPECT_NE(chars.find(u'\u4EBB'), std::u16string::npos);
  EXPECT_EQ(StrokeCounts(), (std::vector<std::u16string>{u"0", u"1", u"2", u"3", u"4"}));
  const uint16_t columns = grid->columns;
  ASSERT_GT(columns, 0);
  for (int item : {3, 1, 0, 4}) {
    SCOPED_TRACE(item);
    PickStrokeCount(item);
    const uint32_t start = GetRadicalSectionStart(engine(), static_cast<uint32_t>(item));
    const uint32_t lines = (grid->itemCount + columns - 1) / columns;
    EXPECT_EQ(grid->first, columns * std::min<uint32_t>(start / columns, lines - 1));
    if (item == 0) {
      EXPECT_EQ(grid->first, 0);
    }
  }
}

TEST_F(RadicalPageTest, AGridWithoutColumnsIsNotScrolled) {
  // The section hidden: the grid was never laid out.
  SetPref(kPrefInputSide, 4);
  LayoutMainWindow(main_, false);
  HWND gridWindow = GetDlgItem(main_, kMainCandidateGrid);
  SetWindowPos(gridWindow, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE);
  Pump();
  const GridState* grid = Grid(main_, kMainCandidateGrid);
  if (grid->columns != 0) GTEST_SKIP() << "the grid keeps columns at no size";
  for (int item : {0, 1, 2}) {
    ScrollRadicalGrid(item);
    EXPECT_EQ(grid->first, 0);
  }
}

// Gestures on the definition of 你好.
std::vector<std::string> gSheets;

class GestureTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetPref(kPrefSearchDelay, 0);
    ShowHello();
    gSheets.clear();
  }
  // 你好's entry in the definition, "nihao" in the input field.
  void ShowHello() {
    SetInputText(u"nihao");
    for (uint32_t i = 0; i < 12 && !mainfix::Shows(DefinitionText(), u"hello"); ++i) {
      LookupShowEntryAt(session(), i);
      Pump();
    }
    ASSERT_TRUE(mainfix::Shows(DefinitionText(), u"hello"));
  }
  void TearDown() override {
    if (HWND toast = FindWindowW(kFlashTextClassName, nullptr)) DestroyWindow(toast);
    MainWindowTest::TearDown();
  }
  void WithSheets() {
    AppSeams.showCharInfo = [](HWND, WCHAR c, int) { gSheets.push_back("charinfo " + Utf8Of(std::u16string(1, c))); };
    AppSeams.showPopupDefinition = [](HWND, const WCHAR* t, int, int, int32_t) {
      gSheets.push_back("popup " + Utf8Of(t));
    };
  }
  void Pen(uint32_t start, uint32_t end, ProbeGesture gesture) {
    ProbeFieldPen(definition(), start, end, gesture);
    Pump();
  }
  uint32_t Offset(const std::u16string& text) {
    const size_t at = DefinitionText().find(text);
    EXPECT_NE(at, std::u16string::npos);
    return static_cast<uint32_t>(at);
  }
  std::u16string Toast() const {
    HWND toast = FindWindowW(kFlashTextClassName, nullptr);
    return toast ? AutoGetWindowText(toast) : u"";
  }
};

TEST_F(GestureTest, ATapOnACharacterDoesWhatPreference192Says) {
  const struct {
    int32_t pref;
    bool sheets;         // the sheets' entry points are filled
    const char16_t* on;  // the text tapped (its first character)
    std::u16string toast, input;
    std::vector<std::string> calls;
  } cases[] = {
      {1, false, u"你", u"你", u"nihao", {}},  // magnify
      {3, false, u"你", u"", u"你", {}},       // copy to the input field
      {2, false, u"你", u"", u"nihao", {}},    // character information, not built
      {4, false, u"你", u"", u"nihao", {}},    // pop-up definition, not built
      {2, true, u"你", u"", u"nihao", {"charinfo 你"}},
      {4, true, u"你", u"", u"nihao", {"popup 你"}},
      {4, true, u"hello", u"", u"nihao", {}},  // a Latin letter
      {1, true, u"hello", u"", u"nihao", {}},
      {0, true, u"你", u"", u"nihao", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pref << " " << c.sheets << " " << Utf8Of(c.on));
    AppSeams = MainSeams{};
    if (c.sheets) WithSheets();
    gSheets.clear();
    ShowHello();
    if (HWND toast = FindWindowW(kFlashTextClassName, nullptr)) DestroyWindow(toast);
    SetPref(kPrefTapCharAction, c.pref);
    const uint32_t at = Offset(c.on);
    Pen(at, at, kProbeTap);
    EXPECT_EQ(Toast().substr(0, c.toast.size()), c.toast);
    if (c.toast.empty()) {
      EXPECT_EQ(FindWindowW(kFlashTextClassName, nullptr), nullptr);
    }
    EXPECT_EQ(InputText(), c.input);
    EXPECT_EQ(gSheets, c.calls);
  }
  EXPECT_TRUE(AutoMessageBoxLog().empty());
}

TEST_F(GestureTest, HoldDragAndTapInSelectionReadTheirPreferences) {
  WithSheets();
  const struct {
    ProbeGesture gesture;
    int32_t pref, value;  // the preference the gesture reads
    const char16_t* on;   // the text selected (hold: its first character)
    std::vector<std::string> calls;
    std::u16string toast, input;
  } cases[] = {
      {kProbeHold, kPrefDoubleTapAction, 1, u"你", {}, u"", u"你"},  // a hold selects the character
      {kProbeHold, kPrefDoubleTapAction, 2, u"你", {"popup 你"}, u"", u"nihao"},
      {kProbeHold, kPrefDoubleTapAction, 5, u"你", {"charinfo 你"}, u"", u"nihao"},
      {kProbeHold, kPrefDoubleTapAction, 6, u"你", {}, u"你", u"nihao"},
      {kProbeDrag, kPrefHoldSelectionAction, 1, u"hello", {}, u"", u"hello"},
      {kProbeDrag, kPrefHoldSelectionAction, 3, u"hello", {"popup hello"}, u"", u"nihao"},
      {kProbeDrag, kPrefHoldSelectionAction, 3, u"你", {"charinfo 你"}, u"", u"nihao"},
      {kProbeDrag, kPrefHoldSelectionAction, 6, u"你好", {}, u"你好", u"nihao"},
      {kProbeTapInSelection, kPrefTapSelectionAction, 2, u"hello", {"popup hello"}, u"", u"nihao"},
      {kProbeTapInSelection, kPrefTapSelectionAction, 4, u"你好", {"charinfo 你"}, u"", u"nihao"},
      {kProbeTapInSelection, kPrefTapSelectionAction, 0, u"你好", {}, u"", u"nihao"},
      {kProbeDoubleTap, kPrefDoubleTapAction, 6, u"hello", {}, u"", u"nihao"},  // the word is only chosen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.gesture << " " << c.pref << "=" << c.value << " " << Utf8Of(c.on));
    ShowHello();
    gSheets.clear();
    if (HWND toast = FindWindowW(kFlashTextClassName, nullptr)) DestroyWindow(toast);
    for (int32_t id : {kPrefHoldSelectionAction, kPrefDoubleTapAction, kPrefTapSelectionAction}) SetPref(id, 0);
    SetPref(c.pref, c.value);
    const uint32_t at = Offset(c.on);
    const auto length = static_cast<uint32_t>(std::u16string(c.on).size());
    Pen(at, c.gesture == kProbeHold ? at : at + length, c.gesture);
    EXPECT_EQ(gSheets, c.calls);
    EXPECT_EQ(Toast(), c.toast);
    EXPECT_EQ(InputText(), c.input);
  }
}

bool gTestSessionOver = true;

TEST_F(GestureTest, TheReaderAndTestFieldsShareTheGesturesButNotCopyToInput) {
  WithSheets();
  TestFieldSheetsAllowed = [] { return gTestSessionOver; };
  HWND host =
      CreateWindowExW(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr, AppInstance, nullptr);
  ASSERT_NE(host, nullptr);
  const struct {
    int id;
    int32_t tap;  // preference 192
    bool over;    // the flashcard session is over
    std::vector<std::string> calls;
    std::u16string toast;
  } cases[] = {
      {kGestureReaderPage, 4, false, {"popup 好"}, u""},
      {kGestureReaderDialog, 2, false, {"charinfo 好"}, u""},
      {kGestureReaderPage, 1, false, {}, u"好"},
      {kGestureReaderPage, 3, true, {}, u""},   // copying to the input field: the main definition's only
      {kGestureTestAnswer, 4, false, {}, u""},  // not while the flashcard session goes on
      {kGestureTestAnswer, 2, false, {}, u""},
      {kGestureTestAnswer, 1, false, {}, u"好"},  // magnifying reveals nothing new
      {kGestureTestAnswer, 4, true, {"popup 好"}, u""},
      {1107, 4, true, {}, u""},  // a field no gesture serves
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " " << c.tap << " " << c.over);
    gSheets.clear();
    gTestSessionOver = c.over;
    SetPref(kPrefTapCharAction, c.tap);
    if (HWND old = FindWindowW(kFlashTextClassName, nullptr)) DestroyWindow(old);
    HWND field = ProbeMakeField(host, c.id, u"好人 good");
    ASSERT_NE(field, nullptr);
    ProbeTapHold(field, 0, 0, kProbeTap);
    Pump();
    EXPECT_EQ(gSheets, c.calls);
    EXPECT_EQ(Toast(), c.toast);
    EXPECT_EQ(InputText(), u"nihao");
    DestroyWindow(field);
  }
  if (HWND old = FindWindowW(kFlashTextClassName, nullptr)) DestroyWindow(old);
  DestroyWindow(host);
  TestFieldSheetsAllowed = nullptr;
}

TEST_F(GestureTest, TheWordMenuOffersWhatIsAllowed) {
  WithSheets();
  const uint32_t h = Offset(u"hello");
  // A hold with preference 194 = 3 on the main definition: everything.
  SetPref(kPrefDoubleTapAction, 3);
  AutoMenuScriptChooseText(u"Copy to Input");
  Pen(h, h + 5, kProbeHold);
  auto history = AutoMenuHistory();
  ASSERT_EQ(history.size(), 1u);
  std::vector<std::u16string> texts;
  for (const auto& item : history[0].items) texts.push_back(item.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Copy", u"Copy to Input", u"Magnify", u"Char Info", u"Popup Defn"}));
  EXPECT_EQ(InputText(), u"hello");
  // Another field's menu without the copy and without the sheets.
  AutoMenuClearHistory();
  AutoMenuScriptDismiss();
  ShowWordMenu(nullptr, false, false, false, definition(), main_, nullptr);
  history = AutoMenuHistory();
  ASSERT_EQ(history.size(), 1u);
  texts.clear();
  for (const auto& item : history[0].items) texts.push_back(item.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Copy", u"Magnify"}));
  // The menu's pop-up definition.
  ShowHello();
  const uint32_t again = Offset(u"hello");
  AutoMenuScriptChooseText(u"Popup Defn");
  SetPref(kPrefTapSelectionAction, 7);
  Pen(again, again + 5, kProbeTapInSelection);
  EXPECT_EQ(gSheets, std::vector<std::string>{"popup hello"});
}

}  // namespace
