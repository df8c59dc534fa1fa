// The grid control: the fitted layout's cell geometry and scrolling, the
// fixed layout's separators, spans and bitmap cells, the pressed-area rule,
// pairs mode, and clipping of glyphs too big for their cells.
#include <memory>
#include <vector>

#include "resources/resources.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_grid.h"

namespace {

constexpr int kId = 52;

class GridTest : public ControlTest {
 protected:
  // Cell width and height of the test font at a size.
  std::pair<int, int> Cell(uint16_t size) {
    uint16_t m[4] = {};
    GetFontMetrics(app_->engine(), 0, size, m);
    return {m[0], m[1]};
  }
  HWND MakeGrid(GridCreateParams* p, int w, int h) {
    grid_ = MakeControl(kGridClassName, kId, 10, 10, w, h, p);
    UpdateWindow(grid_);
    return grid_;
  }
  void Lend(const uint16_t* items, uint16_t count, const uint16_t* second = nullptr) {
    GridItems g{items, second, count, 1};
    SendMessageW(grid_, kGridSetItems, 0, reinterpret_cast<LPARAM>(&g));
  }
  GridState* State() { return static_cast<GridState*>(GetPropW(grid_, u"SorviGridInfo")); }
  // Client point in the middle of cell (c, r).
  POINT Mid(int c, int r) {
    GridState* s = State();
    return POINT{GridCellX(s, c) + s->cellWidth / 2, GridCellY(s, r) + s->cellHeight / 2};
  }
  void TapCell(int c, int r) {
    POINT p = Mid(c, r);
    Tap(grid_, p.x, p.y);
  }
  std::vector<std::vector<uint32_t>> GridNotes() const {
    std::vector<std::vector<uint32_t>> out;
    for (const ControlNotify& n : notes_)
      out.push_back({n.header.code, n.payload.grid.value1, n.payload.grid.value2, n.payload.grid.value3});
    return out;
  }
  uint32_t Px(int x, int y) { return AutoGetPixel(grid_, x, y) & 0xFFFFFF; }

  HWND grid_ = nullptr;
};

TEST_F(GridTest, FittedCellsTakeTheSparePixelsFromTheLeft) {
  uint16_t size = 0;
  for (uint16_t s = 6; s < 60 && !size; ++s)
    if (Cell(s).first == 10) size = s;
  ASSERT_NE(size, 0) << "no size of the test font has a 10-pixel cell";
  int h = Cell(size).second + 4;
  GridCreateParams p{};
  p.fontSize = size;
  MakeGrid(&p, 101, h);
  EXPECT_EQ(SendMessageW(grid_, kGridGetColumns, 0, 0), 9);
  GridState* s = State();
  EXPECT_EQ(s->cellWidth, 11);
  EXPECT_EQ(s->spareWidth, 1);
  std::vector<uint16_t> spaces(9, u' ');
  Lend(spaces.data(), 9);
  // Each pressed cell inverts exactly its own columns: 12 for column 0, 11
  // for the others, starting at X(c) = 1 + 11c + min(c, 1).
  int y = GridCellY(s, 0) + 1;
  for (int c = 0; c < 9; ++c) {
    SCOPED_TRACE(c);
    POINT m = Mid(c, 0);
    Down(grid_, m.x, m.y);
    int start = -1, end = -1;
    for (int x = 0; x < 101; ++x) {
      if (Px(x, y) != 0xFFFFFF) {
        if (start < 0) start = x;
        end = x;
      }
    }
    EXPECT_EQ(start, 1 + 11 * c + std::min(c, 1));
    EXPECT_EQ(end - start + 1, c == 0 ? 12 : 11);
    Up(grid_, m.x, m.y);
  }
}

TEST_F(GridTest, ScrollsByLinesOnTheVerticalBarOrSidewaysWhenNarrow) {
  int bar = GetSystemMetrics(SM_CXVSCROLL);
  uint16_t size = 14;
  while (Cell(size).first <= bar && size < 200) ++size;
  auto [cw, ch] = Cell(size);
  GridCreateParams p{};
  p.fontSize = size;
  MakeGrid(&p, 9 * cw + 4 + bar, 2 * ch + 4);
  std::vector<uint16_t> items(25, u'x');
  Lend(items.data(), 25);
  ASSERT_EQ(SendMessageW(grid_, kGridGetColumns, 0, 0), 9);
  ASSERT_EQ(State()->rows, 2);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(grid_, SB_VERT, &info);
  EXPECT_EQ(info.nMax - info.nMin + 1, 3);
  EXPECT_EQ(info.nPage, 2u);
  SendMessageW(grid_, kGridScrollToLine, 5, 0);
  EXPECT_EQ(State()->first, 18);
  // The bar itself keeps its position within the last page (line 1).
  GetScrollInfo(grid_, SB_VERT, &info);
  EXPECT_EQ(info.nPos, 1);
  struct Step {
    WPARAM code;
    int first;
  } steps[] = {{SB_LINEUP, 9}, {SB_LINEUP, 0}, {SB_LINEUP, 0}, {SB_PAGEDOWN, 9}, {SB_LINEDOWN, 9}};
  for (const Step& st : steps) {
    SendMessageW(grid_, WM_VSCROLL, st.code, 0);
    EXPECT_EQ(State()->first, st.first) << "code " << st.code;
  }
  GetScrollInfo(grid_, SB_HORZ, &info);
  EXPECT_EQ(info.nMax, 0);
  DestroyWindow(grid_);

  // Narrower than a cell beside a vertical bar: the horizontal bar scrolls.
  MakeGrid(&p, cw + 4, 4 * ch + 4);
  std::vector<uint16_t> many(40, u'y');
  Lend(many.data(), 40);
  ASSERT_EQ(SendMessageW(grid_, kGridGetColumns, 0, 0), 1);
  GetScrollInfo(grid_, SB_VERT, &info);
  EXPECT_EQ(info.nMax, 0);
  GetScrollInfo(grid_, SB_HORZ, &info);
  EXPECT_EQ(info.nMax + 1, 40);
  EXPECT_EQ(static_cast<int>(info.nPage), State()->rows);
  SendMessageW(grid_, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(State()->first, 1);
}

class FixedGridTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    p_.fontSize = 14;
    p_.fixedLayout = 1;
    p_.fixedColumns = 4;
    p_.fixedRows = 2;
    p_.spans = spans_;
    p_.spanCount = 1;
  }
  GridCreateParams p_{};
  GridSpan spans_[1] = {{0, 1, 2}};
  uint16_t items_[8] = {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h'};
};

TEST_F(FixedGridTest, SpansJoinCellsAndPressAsTheirFirstCell) {
  MakeGrid(&p_, 4 * 40 + 1, 2 * 40 + 1);
  Lend(items_, 8);
  GridState* s = State();
  ASSERT_EQ(s->cellWidth, 40);
  uint32_t line = ResolveColorWord(kColorStatic, kRoleForeground);
  ASSERT_NE(line, 0xFFFFFFu);
  int top = GridCellY(s, 0) + 1;
  int lower = GridCellY(s, 1) + 1;
  auto separator = [&](int c, int y) { return Px(GridCellX(s, c) + s->cellWidth - 1, y) == line; };
  EXPECT_TRUE(separator(0, top));
  EXPECT_FALSE(separator(1, top)) << "inside the span";
  EXPECT_TRUE(separator(2, top));
  EXPECT_TRUE(separator(1, lower)) << "the span joins row 0 only";
  EXPECT_EQ(Px(GridCellX(s, 0) + 5, GridCellY(s, 1) - 1), line) << "the line between the rows";

  TapCell(2, 0);
  EXPECT_EQ(GridNotes(),
            (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'b', 0, 0}, {kGridChosenCode, u'b', 0, 0}}));
}

TEST_F(FixedGridTest, BitmapCellShowsTheBitmapAndStillReportsItsCharacter) {
  RegisterSorviResources();
  MakeGrid(&p_, 4 * 40 + 1, 2 * 40 + 1);
  Lend(items_, 8);
  GridState* s = State();
  auto cellPixels = [&] {
    std::vector<uint32_t> out;
    for (int y = GridCellY(s, 1); y < GridCellY(s, 1) + s->cellHeight - 1; ++y)
      for (int x = GridCellX(s, 0); x < GridCellX(s, 0) + s->cellWidth - 1; ++x) out.push_back(Px(x, y));
    return out;
  };
  std::vector<uint32_t> character = cellPixels();
  GridBitmapCell bitmap[1] = {{kBitmapEnter, 4}};
  p_.bitmapCells = bitmap;
  p_.bitmapCellCount = 1;
  GridItems g{items_, nullptr, 8, 0};
  SendMessageW(grid_, kGridReconfigure, reinterpret_cast<WPARAM>(&p_), reinterpret_cast<LPARAM>(&g));
  s = State();
  std::vector<uint32_t> drawn = cellPixels();
  EXPECT_NE(drawn, character);
  int ink = 0;
  for (uint32_t px : drawn) {
    EXPECT_NE(px, 0x00FF00u) << "green is transparent";
    if (px != 0xFFFFFF) ++ink;
  }
  EXPECT_GT(ink, 0);
  TapCell(0, 1);
  EXPECT_EQ(GridNotes(),
            (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'e', 0, 0}, {kGridChosenCode, u'e', 0, 0}}));
}

TEST_F(FixedGridTest, OversizedGlyphStaysInsideItsCell) {
  p_.fontSize = 60;
  p_.spanCount = 0;
  MakeGrid(&p_, 4 * 20 + 1, 2 * 20 + 1);
  std::vector<uint32_t> empty = ClientPixels(grid_);
  uint16_t wide[1] = {u'W'};
  Lend(wide, 1);
  GridState* s = State();
  std::vector<uint32_t> drawn = ClientPixels(grid_);
  RECT client{};
  GetClientRect(grid_, &client);
  ShortRect cell{static_cast<int16_t>(GridCellX(s, 0)), static_cast<int16_t>(GridCellY(s, 0)),
                 static_cast<uint16_t>(s->cellWidth + (s->spareWidth ? 1 : 0) - 1),
                 static_cast<uint16_t>(s->cellHeight + (s->spareHeight ? 1 : 0) - 1)};
  int inside = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      size_t i = static_cast<size_t>(y * client.right + x);
      if (ShortRectContains(cell, x, y)) {
        if (drawn[i] != empty[i]) ++inside;
      } else {
        ASSERT_EQ(drawn[i], empty[i]) << x << "," << y;
      }
    }
  }
  EXPECT_GT(inside, 0);
}

class FittedGridTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    auto [cw, ch] = Cell(14);
    GridCreateParams p{};
    p.fontSize = 14;
    MakeGrid(&p, 9 * cw + 4, 2 * ch + 4);
    ASSERT_EQ(SendMessageW(grid_, kGridGetColumns, 0, 0), 9);
  }
};

TEST_F(FittedGridTest, PressOnNothingDoesNothing) {
  uint16_t items[5] = {u'a', u'b', u'c', u'd', u'e'};
  uint16_t second[5] = {7, 0, 7, 7, 7};
  struct Case {
    const uint16_t* second;
    int column;
    const char* why;
  } cases[] = {{nullptr, 5, "the first cell past the last item"},
               {nullptr, 8, "far past the last item"},
               {second, 1, "an item whose second value is 0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Lend(items, 5, c.second);
    std::vector<uint32_t> before = ClientPixels(grid_);
    POINT m = Mid(c.column, 0);
    Down(grid_, m.x, m.y);
    EXPECT_EQ(ClientPixels(grid_), before);
    Up(grid_, m.x, m.y);
    EXPECT_TRUE(notes_.empty());
  }
  Lend(items, 5, second);
  TapCell(2, 0);
  EXPECT_EQ(GridNotes(),
            (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'c', 7, 0}, {kGridChosenCode, u'c', 7, 0}}));
}

// With every line shown there is nothing to scroll: no scroll code may
// move the first line below 0 or past the items.
TEST_F(FittedGridTest, ScrollCodesKeepAGridThatFitsAtItsFirstLine) {
  uint16_t items[12] = {};
  for (uint16_t& c : items) c = u'z';
  Lend(items, 12);
  for (WPARAM code : {SB_LINEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_PAGEUP}) {
    SendMessageW(grid_, WM_VSCROLL, code, 0);
    EXPECT_EQ(State()->first, 0) << "code " << code;
  }
}

TEST_F(FittedGridTest, PressedAreaFollowsThePen) {
  uint16_t items[3] = {u'a', u'b', u'c'};
  Lend(items, 3);
  std::vector<uint32_t> before = ClientPixels(grid_);
  POINT m = Mid(1, 0);
  Down(grid_, m.x, m.y);
  std::vector<uint32_t> pressed = ClientPixels(grid_);
  EXPECT_NE(pressed, before);
  Move(grid_, m.x, m.y + 200);  // dragged out: un-inverted
  EXPECT_EQ(ClientPixels(grid_), before);
  Up(grid_, m.x, m.y + 200);
  EXPECT_EQ(GridNotes(), (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'b', 0, 0}}));
  EXPECT_EQ(ClientPixels(grid_), before);

  notes_.clear();
  Down(grid_, m.x, m.y);
  Move(grid_, m.x, m.y + 200);
  Move(grid_, m.x, m.y);  // back in: inverted again
  EXPECT_EQ(ClientPixels(grid_), pressed);
  Up(grid_, m.x, m.y);
  EXPECT_EQ(GridNotes(),
            (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'b', 0, 0}, {kGridChosenCode, u'b', 0, 0}}));
  EXPECT_EQ(ClientPixels(grid_), before);

  // Losing the capture ends the press without a choice.
  notes_.clear();
  Down(grid_, m.x, m.y);
  ReleaseCapture();
  EXPECT_EQ(ClientPixels(grid_), before);
  Up(grid_, m.x, m.y);
  EXPECT_EQ(GridNotes(), (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'b', 0, 0}}));
  EXPECT_EQ(ClientPixels(grid_), before);
}

// In pairs mode the last cell of an odd count would read its second value
// one past the owner's array; the array is a heap block of exactly `count`
// items so that AddressSanitizer sees any such read.
TEST_F(FittedGridTest, PairsWithAnOddCountReadNothingPastTheArray) {
  std::unique_ptr<uint16_t[]> items(new uint16_t[5]{u'a', 1, u'b', 2, u'c'});
  SendMessageW(grid_, kGridSetPairs, 1, 0);
  Lend(items.get(), 5);
  InvalidateRect(grid_, nullptr, TRUE);
  UpdateWindow(grid_);
  for (int c = 0; c < 4; ++c) TapCell(c, 0);
  EXPECT_EQ(GridNotes(), (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'a', 1, 0},
                                                             {kGridChosenCode, u'a', 1, 0},
                                                             {kGridPressedCode, u'b', 2, 0},
                                                             {kGridChosenCode, u'b', 2, 0}}));
  SendMessageW(grid_, kGridScrollToLine, 3, 0);
  EXPECT_EQ(State()->first, 0) << "one line of pairs: no empty page";
}

TEST_F(GridTest, WithoutCreateRecordWaitsForAConfiguration) {
  MakeGrid(nullptr, 200, 100);
  GridState* s = State();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->params.chosen, &SendGridChosen);
  EXPECT_EQ(s->params.pressed, &SendGridPressed);
  EXPECT_EQ(s->params.fixedLayout, 0);
  GridCreateParams p{};
  p.fontSize = 14;
  uint16_t items[2] = {u'q', u'r'};
  GridItems g{items, nullptr, 2, 1};
  SendMessageW(grid_, kGridReconfigure, reinterpret_cast<WPARAM>(&p), reinterpret_cast<LPARAM>(&g));
  EXPECT_GT(SendMessageW(grid_, kGridGetColumns, 0, 0), 1);
  TapCell(1, 0);
  EXPECT_EQ(GridNotes(),
            (std::vector<std::vector<uint32_t>>{{kGridPressedCode, u'r', 0, 0}, {kGridChosenCode, u'r', 0, 0}}));
}

TEST_F(GridTest, ReinitialiseWithNullChangesNothingAndARecordDropsTheItems) {
  GridCreateParams p{};
  p.fontSize = 14;
  MakeGrid(&p, 200, 100);
  uint16_t items[3] = {u'a', u'b', u'c'};
  Lend(items, 3);
  GridState* before = State();
  GridState copy = *before;
  std::vector<uint32_t> pixels = ClientPixels(grid_);
  EXPECT_EQ(SendMessageW(grid_, kGridReinitialise, 0, 0), 1);
  EXPECT_EQ(State(), before);
  EXPECT_EQ(State()->itemCount, copy.itemCount);
  EXPECT_EQ(State()->columns, copy.columns);
  InvalidateRect(grid_, nullptr, TRUE);
  EXPECT_EQ(ClientPixels(grid_), pixels);

  GridCreateParams bigger{};
  bigger.fontSize = 28;
  SendMessageW(grid_, kGridReinitialise, 0, reinterpret_cast<LPARAM>(&bigger));
  GridState* s = State();
  EXPECT_EQ(s->itemCount, 0);
  EXPECT_EQ(s->items, nullptr);
  EXPECT_LT(s->columns, copy.columns);
  EXPECT_GT(s->columns, 0);
  EXPECT_EQ(s->params.chosen, &SendGridChosen);
  TapCell(0, 0);
  EXPECT_TRUE(notes_.empty());
}

}  // namespace
