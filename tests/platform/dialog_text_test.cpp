// The label font: measuring, wrapping, alignment and the DC's colours.
#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

using DialogTextTest = DialogTest;

TEST_F(DialogTextTest, MeasuresAndWrapsLines) {
  int lh = DialogFontLineHeight();
  EXPECT_GT(lh, 20);  // 11 px at 96 dpi on a 192 dpi screen
  SIZE one{}, two{};
  ASSERT_TRUE(GetTextExtentPoint32W(nullptr, u"word", 4, &one));
  ASSERT_TRUE(GetTextExtentPoint32W(nullptr, u"word word", 9, &two));
  EXPECT_EQ(one.cy, lh);
  EXPECT_GT(two.cx, 2 * one.cx);
  EXPECT_EQ(DialogTextWidth(u"word", -1), one.cx);
  EXPECT_FALSE(GetTextExtentPoint32W(nullptr, u"x", -1, &one));
  // Hit testing rounds to the nearest boundary.
  EXPECT_EQ(DialogTextHitTest(u"word", 4, 0), 0);
  EXPECT_EQ(DialogTextHitTest(u"word", 4, one.cx + 50), 4);
  struct Case {
    const char16_t* text;
    UINT format;
    int width;
    int lines;
  };
  const Case cases[] = {
      {u"one two three four", DT_WORDBREAK, 10000, 1},
      {u"one two three four", DT_WORDBREAK, DialogTextWidth(u"one two", -1) + 1, 3},
      {u"one\r\ntwo\nthree", 0, 10000, 3},
      {u"one\r\ntwo\nthree", DT_SINGLELINE, 10000, 1},
      {u"", 0, 100, 1},
      {u"abcdefghijklmnop", DT_WORDBREAK, DialogTextWidth(u"abcd", -1), 4},  // no space: broken inside
  };
  for (const Case& c : cases) {
    RECT r{0, 0, c.width, 0};
    EXPECT_EQ(DrawTextW(nullptr, c.text, -1, &r, c.format | DT_CALCRECT), c.lines * lh) << c.width;
    EXPECT_EQ(r.bottom, c.lines * lh);
    EXPECT_LE(r.right, c.width);
  }
}

TEST_F(DialogTextTest, DrawsInTheTextColourWithinTheRectangle) {
  if (!DialogFontAvailable()) GTEST_SKIP() << "no font file";
  HWND w = CreateWindowExW(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 60, 200, 100, nullptr, nullptr, nullptr, nullptr);
  PumpPendingMessages();
  HDC dc = GetDC(w);
  RECT all{0, 0, 200, 100};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  RECT r{10, 10, 60, 40};
  DrawTextW(dc, u"MMMMMMMMMMMMMMMM", -1, &r, DT_SINGLELINE);  // clipped at the right edge
  // Opaque mode fills the line's box with the background colour.
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(0, 255, 0));
  RECT r2{10, 50, 190, 90};
  DrawTextW(dc, u"i", -1, &r2, DT_SINGLELINE | DT_RIGHT);
  ReleaseDC(w, dc);
  int red = 0, outside = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      std::uint32_t p = AutoGetPixel(w, x, y);
      if (p == 0xFF0000u && y < 45) {
        ++red;
        if (x >= 60 || y >= 40 || x < 10 || y < 10) ++outside;
      }
    }
  EXPECT_GT(red, 50);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(AutoGetPixel(w, 188, 51), 0x00FF00u);  // right-aligned box
  EXPECT_EQ(AutoGetPixel(w, 12, 51), 0xFFFFFFu);
}

}  // namespace
