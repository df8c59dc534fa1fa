// The list control through a test parent that answers its row-text requests:
// class defaults, re-initialisation, row layout and drawing, selection and
// scrolling messages, taps and double taps on the virtual clock, the pop-up
// form and its registration, keys.
#include <algorithm>
#include <vector>

#include "tests/toolkit/control_fixture.h"

namespace {

constexpr int kId = 41;

// Messages seen by the spy class that wraps the list procedure.
std::vector<UINT>& SpyLog() {
  static std::vector<UINT> log;
  return log;
}
LRESULT SpyListProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  SpyLog().push_back(msg);
  return ListWndProc(h, msg, w, l);
}

class ListTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    line_ = GetLineHeight(app_->engine(), 0, kListFontSizeDefault);
    ASSERT_GT(line_, 0);
  }
  // A list with a border whose usable height holds `rows` lines and `spare`
  // pixels more.
  HWND MakeList(uint32_t count, int rows, int spare = 0, uint8_t popup = 0, int width = 200) {
    ListCreateParams p{};
    p.itemCount = count;
    p.fontSize = kListFontSizeDefault;
    p.border = 1;
    p.popup = popup;
    for (uint32_t i = 0; i < count; ++i) rows_[i] = {u"Row " + std::u16string(1, u'A' + (i % 26)), u""};
    list_ = MakeControl(kListClassName, kId, 10, 10, width, 2 + rows * line_ + spare, &p);
    UpdateWindow(list_);
    return list_;
  }
  ListState* State() { return static_cast<ListState*>(GetPropW(list_, u"SorviListInfo")); }
  LRESULT Get(int what) { return SendMessageW(list_, kListGetInfo, what, 0); }
  // Client y of the middle of row i (unspread rows).
  int RowY(int i) { return 1 + i * line_ + line_ / 2; }
  // Height of the run of `colour` pixels in column x that starts at or after y0.
  int RunHeight(int x, uint32_t colour) {
    int n = 0;
    RECT r{};
    GetClientRect(list_, &r);
    for (int y = 0; y < r.bottom; ++y)
      if ((AutoGetPixel(list_, x, y) & 0xFFFFFF) == colour) ++n;
    return n;
  }
  void Redraw() {
    InvalidateRect(list_, nullptr, TRUE);
    UpdateWindow(list_);
  }
  uint32_t Selected() { return ResolveColorWord(kColorSelected, kRoleBackground); }
  uint32_t RowBackground() { return ResolveColorWord(kColorStaticText, kRoleBackground); }

  HWND list_ = nullptr;
  int line_ = 0;
};

TEST_F(ListTest, WithoutCreateRecordTakesTheClassDefaults) {
  list_ = MakeControl(kListClassName, kId, 0, 0, 150, 100, nullptr);
  ASSERT_NE(list_, nullptr);
  ListState* s = State();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->fontSize, 14);
  EXPECT_EQ(s->border, 1);
  EXPECT_EQ(s->doubleTapTime, 500u);
  EXPECT_EQ(s->popup, 0);
  EXPECT_EQ(s->itemCount, 0u);
  EXPECT_EQ(Get(4), static_cast<LRESULT>((100 - 2) / line_));
  // It works: items given later are drawn and chosen.
  rows_[0] = {u"one", u""};
  rows_[1] = {u"two", u""};
  SendMessageW(list_, kListSetInfo, 1, 2);
  Redraw();
  Tap(list_, 20, RowY(1));
  EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kListChooseCode, 1}}));
}

TEST_F(ListTest, ReinitialiseWithNullChangesNothingAndWithARecordTakesNoDefaults) {
  MakeList(5, 4);
  SendMessageW(list_, kListSetInfo, 2, 3);
  Redraw();
  ListState before = *State();
  std::vector<uint32_t> pixels = ClientPixels(list_);
  EXPECT_EQ(SendMessageW(list_, kListReinitialise, 0, 0), 1);
  Redraw();
  EXPECT_EQ(State()->selection, before.selection);
  EXPECT_EQ(State()->itemCount, before.itemCount);
  EXPECT_EQ(State()->drawContext, before.drawContext);
  EXPECT_EQ(ClientPixels(list_), pixels);

  ListCreateParams fresh{};
  fresh.itemCount = 2;
  fresh.fontSize = 20;  // border 0 stays 0: no class defaults on re-initialisation
  SendMessageW(list_, kListReinitialise, 0, reinterpret_cast<LPARAM>(&fresh));
  ListState* s = State();
  EXPECT_EQ(s->itemCount, 2u);
  EXPECT_EQ(s->border, 0);
  EXPECT_EQ(s->fontSize, 20);
  EXPECT_EQ(s->selection, 0u);
  EXPECT_EQ(s->doubleTapTime, 500u);
  EXPECT_EQ(s->window, list_);
}

TEST_F(ListTest, AsksOncePerVisibleRowWithEmptyBuffersOfCapacity100) {
  MakeList(30, 6);
  requests_.clear();
  Redraw();
  ASSERT_EQ(requests_.size(), 6u);
  for (uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(requests_[i].index, i);
    EXPECT_EQ(requests_[i].controlId, static_cast<uint32_t>(kId));
    EXPECT_EQ(requests_[i].capacity, 100);
    EXPECT_TRUE(requests_[i].buffersEmpty);
  }
  SendMessageW(list_, kListSetInfo, 3, 10);
  requests_.clear();
  Redraw();
  ASSERT_EQ(requests_.size(), 6u);
  EXPECT_EQ(requests_.front().index, 10u);
}

TEST_F(ListTest, TwoTextsSplitTheWidthInHalves) {
  const int width = 300;
  MakeList(3, 3, 0, 0, width);
  rows_[0] = {u"", u"W"};
  rows_[1] = {u"W", u"W"};
  SendMessageW(list_, kListSetInfo, 2, 2);  // keep rows 0 and 1 in the row colour
  Redraw();
  auto inkColumns = [&](int row) {
    std::vector<int> xs;
    for (int x = 0; x < width; ++x)
      for (int y = 1 + row * line_; y < 1 + (row + 1) * line_; ++y)
        if ((AutoGetPixel(list_, x, y) & 0xFFFFFF) != RowBackground() && x > 1 && x < width - 2) {
          xs.push_back(x);
          break;
        }
    return xs;
  };
  std::vector<int> alone = inkColumns(0);
  std::vector<int> both = inkColumns(1);
  ASSERT_FALSE(alone.empty());
  ASSERT_FALSE(both.empty());
  const int half = (width - 2 - 2) / 2;
  // A lone second text starts at the text origin; beside a main text it
  // starts half the width further on.
  EXPECT_LT(alone.front(), 3 + half / 2);
  EXPECT_LT(both.front(), 3 + half / 2);
  EXPECT_GE(both.back(), 3 + half);
  EXPECT_EQ(both.back() - alone.back(), half);
}

TEST_F(ListTest, FewItemsLeaveTheStaticBackgroundBelowAndDoNotScroll) {
  MakeList(3, 10);
  requests_.clear();
  Redraw();
  EXPECT_EQ(requests_.size(), 3u);
  // Paint the list red, then draw it without the class background's erase:
  // every pixel below the rows must be the static background again.
  ShortRect all = State()->rect;
  FillShortRect(State()->drawContext, all, 0xFF0000);
  DrawList(State(), kListNone);
  uint32_t background = ResolveColorWord(kColorStatic, kRoleBackground);
  EXPECT_NE(AutoGetPixel(list_, 2, RowY(0) - line_ / 2) & 0xFFFFFF, background);  // the selected row 0
  for (int row = 3; row < 10; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(AutoGetPixel(list_, 1, RowY(row)) & 0xFFFFFF, background);
    EXPECT_EQ(AutoGetPixel(list_, 150, RowY(row)) & 0xFFFFFF, background);
  }
  for (WPARAM code : {SB_LINEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_BOTTOM}) {
    SendMessageW(list_, WM_VSCROLL, code, 0);
    EXPECT_EQ(Get(3), 0) << "code " << code;
  }
}

TEST_F(ListTest, SparePixelsMakeTheFirstRowsOnePixelTaller) {
  MakeList(10, 10, 7);
  ASSERT_EQ(Get(4), 10);
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    SendMessageW(list_, kListSetInfo, 2, i);
    Redraw();
    EXPECT_EQ(RunHeight(1, Selected()), i < 7 ? line_ + 1 : line_);
  }
}

TEST_F(ListTest, SelectionMessages) {
  struct Case {
    uint32_t count;
    uint32_t selection;  // before
    UINT msg;
    WPARAM w;
    LPARAM l;
    uint32_t want;
    const char* why;
  } cases[] = {
      {5, 4, kListSelectDown, 0, 0, 4, "down on the last row does nothing"},
      {5, 2, kListSelectDown, 0, 0, 3, "down moves by one"},
      {5, 0, kListSelectUp, 0, 0, 0, "up on the first row does nothing"},
      {5, kListNone, kListSelectUp, 0, 0, 4, "up with no selection selects the last item"},
      {5, kListNone, kListSelectDown, 0, 0, kListNone, "down with no selection does nothing"},
      {3, 0, kListSetInfo, 2, 7, 2, "a selection past the count stores count - 1"},
      {3, 1, kListSetInfo, 2, static_cast<LPARAM>(kListNone), 1, "none as a value leaves it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeList(c.count, 4);
    State()->selection = c.selection;
    EXPECT_EQ(SendMessageW(list_, c.msg, c.w, c.l), 1);
    EXPECT_EQ(State()->selection, c.want);
    DestroyWindow(list_);
  }
}

TEST_F(ListTest, SelectingOutsideTheShownRowsScrolls) {
  MakeList(20, 5);
  SendMessageW(list_, kListSetInfo, 2, 4);
  SendMessageW(list_, kListSelectDown, 0, 0);
  EXPECT_EQ(Get(2), 5);
  EXPECT_EQ(Get(3), 5);
  SendMessageW(list_, kListSelectUp, 0, 0);
  EXPECT_EQ(Get(3), 4);
  SendMessageW(list_, kListSetInfo, 2, 19);
  SendMessageW(list_, kListShowSelection, 0, 0);
  EXPECT_EQ(Get(3), 15);
}

TEST_F(ListTest, ScrollBarFollowsCountRowsAndTop) {
  MakeList(20, 5);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  auto bar = [&] {
    GetScrollInfo(list_, SB_VERT, &info);
    return std::vector<int>{info.nMin, info.nMax, static_cast<int>(info.nPage), info.nPos};
  };
  SendMessageW(list_, kListSetInfo, 0, 0);  // refresh only
  EXPECT_EQ(bar(), (std::vector<int>{0, 19, 5, 0}));
  SendMessageW(list_, kListPageDown, 0, 0);
  EXPECT_EQ(Get(3), 5);
  EXPECT_EQ(bar(), (std::vector<int>{0, 19, 5, 5}));
  struct Step {
    WPARAM code;
    int top;
  } steps[] = {{SB_LINEDOWN, 6}, {SB_PAGEDOWN, 10}, {SB_PAGEDOWN, 14}, {SB_PAGEDOWN, 15}, {SB_LINEUP, 14},
               {SB_PAGEUP, 10},  {SB_PAGEUP, 6},    {SB_PAGEUP, 2},    {SB_PAGEUP, 0}};
  for (const Step& s : steps) {
    SendMessageW(list_, WM_VSCROLL, s.code, 0);
    EXPECT_EQ(Get(3), s.top) << "code " << s.code;
    EXPECT_EQ(bar()[3], s.top);
  }
  SendMessageW(list_, kListPageUp, 0, 0);
  EXPECT_EQ(Get(3), 0);
  // An empty list: range 0 to 0 (the platform trims the page to the range).
  SendMessageW(list_, kListSetInfo, 1, 0);
  std::vector<int> empty = bar();
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(empty[1], 0);
  EXPECT_EQ(empty[3], 0);
}

TEST_F(ListTest, TapThenQuickTapActivatesThroughTheDoubleClickSynthesis) {
  WNDCLASSW wc{};
  wc.style = kControlStyleA;
  wc.lpfnWndProc = &SpyListProc;
  wc.lpszClassName = u"TestListSpyClass";
  ASSERT_NE(RegisterClassW(&wc), 0);
  ListCreateParams p{};
  p.itemCount = 6;
  p.fontSize = 14;
  p.border = 1;
  list_ = MakeControl(u"TestListSpyClass", kId, 10, 10, 200, 2 + 6 * line_, &p);
  UpdateWindow(list_);
  SpyLog().clear();
  Tap(list_, 30, RowY(2));
  AutoAdvanceClock(100);
  Tap(list_, 30, RowY(2));
  EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kListChooseCode, 2}, {kListActivateCode, 2}}));
  EXPECT_EQ(std::count(SpyLog().begin(), SpyLog().end(), WM_LBUTTONDBLCLK), 1);

  notes_.clear();
  AutoAdvanceClock(1000);
  Tap(list_, 30, RowY(3));
  AutoAdvanceClock(501);
  Tap(list_, 30, RowY(3));
  EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kListChooseCode, 3}, {kListChooseCode, 3}}));
  DestroyWindow(list_);
  UnregisterClassW(u"TestListSpyClass", nullptr);
}

TEST_F(ListTest, DragMovesThePressedRowAndReleasingOutsideDoesNothing) {
  MakeList(6, 6);
  SendMessageW(list_, kListSetInfo, 2, 5);
  Redraw();
  std::vector<uint32_t> before = ClientPixels(list_);
  uint32_t row0 = AutoGetPixel(list_, 1, RowY(0)) & 0xFFFFFF;
  Down(list_, 30, RowY(0));
  EXPECT_NE(AutoGetPixel(list_, 1, RowY(0)) & 0xFFFFFF, row0);
  Move(list_, 30, RowY(2));
  EXPECT_EQ(AutoGetPixel(list_, 1, RowY(0)) & 0xFFFFFF, row0);
  EXPECT_NE(AutoGetPixel(list_, 1, RowY(2)) & 0xFFFFFF, row0);
  EXPECT_EQ(State()->pressedRow, 2u);
  Move(list_, 250, RowY(2));  // out of the list: un-inverted
  EXPECT_EQ(ClientPixels(list_), before);
  Up(list_, 250, RowY(2));
  EXPECT_EQ(Get(2), 5);
  EXPECT_TRUE(notes_.empty());
  EXPECT_EQ(ClientPixels(list_), before);
  // Dragged back in, the release chooses the row under the pen.
  Down(list_, 30, RowY(0));
  Move(list_, 250, RowY(1));
  Move(list_, 30, RowY(1));
  Up(list_, 30, RowY(1));
  EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kListChooseCode, 1}}));
}

TEST_F(ListTest, TapBelowTheLastRowSelectsNothing) {
  MakeList(3, 10);
  SendMessageW(list_, kListSetInfo, 2, 1);
  Redraw();
  std::vector<uint32_t> before = ClientPixels(list_);
  Tap(list_, 30, RowY(6));
  EXPECT_EQ(Get(2), 1);
  EXPECT_TRUE(notes_.empty());
  EXPECT_EQ(ClientPixels(list_), before);
}

TEST_F(ListTest, PopupClosesAfterOneChoiceAndClearsItsRecord) {
  enum Close { kRelease, kEnter, kCloseMessage };
  for (Close how : {kRelease, kEnter, kCloseMessage}) {
    SCOPED_TRACE(how);
    notes_.clear();
    MakeList(5, 5, 0, 1);
    ASSERT_EQ(PopupListWindow.window, list_);
    RECT r{};
    GetWindowRect(list_, &r);
    EXPECT_TRUE(EqualRect(&r, &PopupListWindow.screenRect));
    SendMessageW(list_, kListSelectDown, 0, 0);
    if (how == kRelease) Tap(list_, 30, RowY(3));
    if (how == kEnter) SendMessageW(list_, WM_KEYDOWN, VK_RETURN, 0);
    if (how == kCloseMessage) {
      EXPECT_EQ(SendMessageW(list_, kControlCloseMessage, 0, 0), 1);
    }
    EXPECT_FALSE(IsWindow(list_));
    EXPECT_EQ(PopupListWindow.window, nullptr);
    std::vector<std::pair<UINT, uint32_t>> want;
    if (how == kRelease) want = {{kListChooseCode, 3}};
    if (how == kEnter) want = {{kListChooseCode, 1}};
    EXPECT_EQ(ListNotes(), want);
  }
}

TEST_F(ListTest, PopupKeysMoveTheSelectionOthersPage) {
  MakeList(20, 5, 0, 1);
  SendMessageW(list_, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(Get(2), 1);
  EXPECT_EQ(Get(3), 0);
  DestroyWindow(list_);
  MakeList(20, 5);
  SendMessageW(list_, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(Get(2), 0);
  EXPECT_EQ(Get(3), 5);
  EXPECT_EQ(SendMessageW(list_, WM_KEYDOWN, VK_RETURN, 0), 1);
  EXPECT_TRUE(IsWindow(list_));
  EXPECT_TRUE(notes_.empty());
}

// A new list starts with selection 0 even when it is empty; Enter must not
// report an index into an empty list.
TEST_F(ListTest, EnterOnAnEmptyPopupClosesWithoutAChoice) {
  MakeList(0, 5, 0, 1);
  SendMessageW(list_, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_FALSE(IsWindow(list_));
  EXPECT_EQ(PopupListWindow.window, nullptr);
  EXPECT_TRUE(notes_.empty());
}

TEST_F(ListTest, DialogCodeRefusesOnlyLeftAndRight) {
  MakeList(3, 3);
  struct Case {
    UINT message;
    WPARAM key;
    LRESULT want;
  } cases[] = {{WM_KEYDOWN, VK_LEFT, 0},   {WM_KEYDOWN, VK_RIGHT, 0}, {WM_KEYDOWN, VK_UP, 1},
               {WM_KEYDOWN, VK_RETURN, 1}, {WM_CHAR, VK_LEFT, 1},     {WM_KEYUP, VK_LEFT, 1}};
  for (const Case& c : cases) {
    MSG m{list_, c.message, c.key, 0, 0, {0, 0}};
    EXPECT_EQ(SendMessageW(list_, WM_GETDLGCODE, c.key, reinterpret_cast<LPARAM>(&m)), c.want)
        << c.message << " " << c.key;
  }
  EXPECT_EQ(SendMessageW(list_, WM_GETDLGCODE, 0, 0), 1);
}

TEST_F(ListTest, ReadMessagesAnswerOneForAnUnknownField) {
  MakeList(12, 4);
  SendMessageW(list_, kListSetInfo, 3, 50);
  EXPECT_EQ(Get(1), 12);
  EXPECT_EQ(Get(2), 0);
  EXPECT_EQ(Get(3), 8);
  EXPECT_EQ(Get(4), 4);
  EXPECT_EQ(Get(9), 1);
  // A bigger font fits fewer rows.
  EXPECT_EQ(SendMessageW(list_, kListSetFont, 0, 2 * kListFontSizeDefault), 1);
  EXPECT_EQ(Get(4), static_cast<LRESULT>((4 * line_) / GetLineHeight(app_->engine(), 0, 2 * kListFontSizeDefault)));
  EXPECT_LT(Get(4), 4);
}

TEST_F(ListTest, TakesTheFocusOnTapOnlyWhenAsked) {
  MakeList(5, 5);
  SetFocus(parent_);
  Tap(list_, 30, RowY(1));
  EXPECT_NE(GetFocus(), list_);
  EXPECT_EQ(SendMessageW(list_, kListSetFocusOnTap, 1, 0), 1);
  Tap(list_, 30, RowY(2));
  EXPECT_EQ(GetFocus(), list_);
}

}  // namespace
