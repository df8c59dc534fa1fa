// Invalidation and painting, window pixels and PNG capture, scroll bars as
// non-client area, and the caret.
#include <cstdio>
#include <unistd.h>

#include "tests/platform/window_test_util.h"
#include "tests/support/temp_device_root.h"

using namespace wintest;

namespace {

using PaintTest = WindowTest;

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// Paints the whole client area in a colour chosen per window.
struct Painter {
  std::vector<std::pair<HWND, COLORREF>> colours;
  std::vector<HWND> order;
  std::optional<LRESULT> operator()(HWND hwnd, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_PAINT) return std::nullopt;
    for (auto& [h, c] : colours) {
      if (h != hwnd) continue;
      order.push_back(hwnd);
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH b = CreateSolidBrush(c);
      FillRect(dc, &r, b);
      DeleteObject(b);
      EndPaint(hwnd, &ps);
      return 0;
    }
    return std::nullopt;
  }
};

TEST_F(PaintTest, EraseWithClassBrushComesBeforePaint) {
  HWND top = Top(0, 52, 100, 100);
  PumpPendingMessages();
  HDC dc = GetDC(top);
  RECT all{0, 0, 100, 100};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  DeleteObject(red);
  ReleaseDC(top, dc);
  EXPECT_EQ(AutoGetPixel(top, 50, 50), kRed);  // drawn at once
  TheLog().Clear();
  InvalidateRect(top, nullptr, TRUE);
  UpdateWindow(top);
  EXPECT_EQ(TheLog().Msgs(top, {WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
  EXPECT_EQ(AutoGetPixel(top, 50, 50), ColorRefToXrgb(GetSysColor(COLOR_WINDOW)));
  // Without erase: WM_PAINT only, and nothing once validated.
  TheLog().Clear();
  InvalidateRect(top, nullptr, FALSE);
  PumpPendingMessages();
  EXPECT_EQ(TheLog().Msgs(top, {WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT}));
  TheLog().Clear();
  PumpPendingMessages();
  EXPECT_TRUE(TheLog().Of(WM_PAINT).empty());
}

TEST_F(PaintTest, ChildrenRepaintAfterTheirParentAndClipToThemselves) {
  HWND top = Top(0, 52, 200, 200);
  HWND child = Child(top, 1, 50, 50, 40, 40);
  Painter painter;
  painter.colours = {{top, RGB(0, 0, 255)}, {child, RGB(0, 255, 0)}};
  TheHook() = std::ref(painter);
  InvalidateRect(top, nullptr, TRUE);
  PumpPendingMessages();
  EXPECT_EQ(painter.order, (std::vector<HWND>{top, child}));
  EXPECT_EQ(AutoGetPixel(top, 10, 10), kBlue);
  EXPECT_EQ(AutoGetPixel(top, 60, 60), kGreen);
  // A child's DC does not reach outside the child.
  HDC dc = GetDC(child);
  RECT huge{-100, -100, 300, 300};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &huge, red);
  DeleteObject(red);
  ReleaseDC(child, dc);
  EXPECT_EQ(AutoGetPixel(top, 49, 60), kBlue);
  EXPECT_EQ(AutoGetPixel(top, 50, 60), kRed);
  EXPECT_EQ(AutoGetPixel(top, 90, 60), kBlue);
  // Hiding the child uncovers the parent, which repaints there.
  painter.order.clear();
  ShowWindow(child, SW_HIDE);
  PumpPendingMessages();
  EXPECT_EQ(painter.order, (std::vector<HWND>{top}));
  EXPECT_EQ(AutoGetPixel(top, 60, 60), kBlue);
}

TEST_F(PaintTest, WindowCaptureAndPng) {
  HWND top = Top(20, 80, 64, 48);
  HWND child = Child(top, 1, 8, 8, 16, 16);
  Painter painter;
  painter.colours = {{top, RGB(255, 255, 255)}, {child, RGB(255, 0, 0)}};
  TheHook() = std::ref(painter);
  InvalidateRect(top, nullptr, TRUE);
  std::vector<std::uint32_t> pixels;
  int w = 0, h = 0;
  ASSERT_TRUE(AutoCaptureWindow(top, &pixels, &w, &h));
  ASSERT_EQ(w, 64);
  ASSERT_EQ(h, 48);
  EXPECT_EQ(pixels[0], kWhite);
  EXPECT_EQ(pixels[10 * 64 + 10], kRed);
  TempDeviceRoot temp;
  const std::string dir = temp.host();
  std::string path = std::string(dir) + "/child.png";
  ASSERT_TRUE(AutoSaveWindowPng(child, path.c_str()));
  Surface* png = LoadSurfacePng(path.c_str());
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->width, 16);
  EXPECT_EQ(png->height, 16);
  EXPECT_EQ(SurfaceRow(png, 15)[15], kRed);
  DestroySurface(png);
  // The screen: the window sits at its place over the desktop.
  std::string screen = std::string(dir) + "/screen.png";
  ASSERT_TRUE(AutoSaveWindowPng(nullptr, screen.c_str()));
  png = LoadSurfacePng(screen.c_str());
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->width, 480);
  EXPECT_EQ(png->height, 640);
  EXPECT_EQ(SurfaceRow(png, 80 + 8)[20 + 8], kRed);
  EXPECT_EQ(SurfaceRow(png, 80)[20], kWhite);
  DestroySurface(png);
}

class ScrollBarTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    top_ = Top(0, 52, 480, 536);
    list_ = Child(top_, 1, 0, 0, 200, 300, WS_VISIBLE | WS_VSCROLL);
    SCROLLINFO none{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 0};
    SetScrollInfo(list_, SB_VERT, &none, TRUE);
    PumpPendingMessages();
    TheLog().Clear();
  }
  int ClientWidth() {
    RECT r;
    GetClientRect(list_, &r);
    return r.right;
  }
  HWND top_ = nullptr, list_ = nullptr;
};

TEST_F(ScrollBarTest, ShowingAndHidingResizesTheClientArea) {
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(bar, 26);  // 13 at 96 dpi
  EXPECT_EQ(ClientWidth(), 200);
  struct Case {
    UINT mask;
    int min, max;
    UINT page;
    int pos;
    int expectedWidth;
    int expectedPos;
    bool sizeSent;
  } cases[] = {
      {SIF_RANGE | SIF_PAGE | SIF_POS, 0, 19, 5, 3, 200 - bar, 3, true},  // range exceeds the page: shown
      {SIF_POS, 0, 0, 0, 99, 200 - bar, 15, false},                       // position kept in range
      {SIF_PAGE, 0, 0, 20, 0, 200, 0, true},                               // the page covers it: hidden
      {SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 9, 10, 0, 200 - bar, 0, true},  // kept, disabled
      {SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 200, 0, true},  // the field's "hide"
  };
  for (const Case& k : cases) {
    TheLog().Clear();
    SCROLLINFO si{sizeof(SCROLLINFO), k.mask, k.min, k.max, k.page, k.pos, 0};
    EXPECT_EQ(SetScrollInfo(list_, SB_VERT, &si, TRUE), k.expectedPos);
    EXPECT_EQ(ClientWidth(), k.expectedWidth) << k.mask << " page " << k.page;
    auto sizes = TheLog().Of(WM_SIZE, list_);
    EXPECT_EQ(sizes.size(), k.sizeSent ? 1u : 0u);
    if (!sizes.empty()) {
      EXPECT_EQ(LOWORD(sizes[0].lParam), k.expectedWidth);
    }
  }
}

TEST_F(ScrollBarTest, StylusOnTheBarSendsScrollCodes) {
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0, 0};
  SetScrollInfo(list_, SB_VERT, &si, TRUE);
  RECT wr;
  GetWindowRect(list_, &wr);
  int x = wr.right - bar / 2;
  std::vector<std::pair<WORD, WORD>> codes;
  std::vector<int> trackSeen;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (hwnd != list_ || msg != WM_VSCROLL) return std::nullopt;
    codes.emplace_back(LOWORD(wParam), HIWORD(wParam));
    if (LOWORD(wParam) == SB_THUMBTRACK) {
      SCROLLINFO t{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd, SB_VERT, &t);
      trackSeen.push_back(t.nTrackPos);
    }
    return 0;
  };
  AutoTap(x, wr.bottom - 3);  // down arrow
  EXPECT_EQ(codes, (std::vector<std::pair<WORD, WORD>>{{SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}));
  codes.clear();
  AutoTap(x, wr.top + 3);  // up arrow
  EXPECT_EQ(codes.front().first, SB_LINEUP);
  codes.clear();
  AutoTap(x, wr.bottom - bar - 5);  // track below the thumb
  EXPECT_EQ(codes.front().first, SB_PAGEDOWN);
  codes.clear();
  // Drag the thumb (at the top, position 0) down by half the track.
  int track = (wr.bottom - wr.top) - 2 * bar;
  int thumbY = wr.top + bar + 2;
  AutoPenDown(x, thumbY);
  AutoPenMove(x, thumbY + track / 4);
  AutoPenMove(x + 200, thumbY + track / 2);  // sideways too: tracking continues
  AutoPenUp(x + 200, thumbY + track / 2);
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes[0].first, SB_THUMBTRACK);
  EXPECT_EQ(codes[codes.size() - 2].first, SB_THUMBPOSITION);
  EXPECT_EQ(codes.back().first, SB_ENDSCROLL);
  int last = codes[codes.size() - 2].second;
  EXPECT_NEAR(last, 50, 6);
  EXPECT_EQ(trackSeen.back(), last);
  EXPECT_EQ(GetScrollPos(list_, SB_VERT), 0);  // the window sets the position itself
  EXPECT_TRUE(TheLog().Of(WM_LBUTTONDOWN, list_).empty());
}

TEST_F(ScrollBarTest, HeldArrowRepeatsWhileTheStylusStaysOnIt) {
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0, 0};
  SetScrollInfo(list_, SB_VERT, &si, TRUE);
  RECT wr;
  GetWindowRect(list_, &wr);
  int x = wr.right - bar / 2;
  std::vector<WORD> codes;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == list_ && msg == WM_VSCROLL) codes.push_back(LOWORD(wParam));
    if (hwnd == list_ && msg == WM_TIMER) ADD_FAILURE() << "the control saw the repeat timer";
    return std::nullopt;
  };
  AutoPenDown(x, wr.bottom - 3);
  EXPECT_EQ(codes, (std::vector<WORD>{SB_LINEDOWN}));
  AutoAdvanceClock(399);
  EXPECT_EQ(codes.size(), 1u);
  AutoAdvanceClock(1);
  EXPECT_EQ(codes.size(), 2u);
  AutoAdvanceClock(200);
  EXPECT_EQ(codes.size(), 4u);
  // Off the arrow: no more steps, but still tracking.
  AutoPenMove(x, wr.top + bar * 3);
  AutoAdvanceClock(300);
  EXPECT_EQ(codes.size(), 4u);
  AutoPenUp(x, wr.top + bar * 3);
  EXPECT_EQ(codes.back(), SB_ENDSCROLL);
  size_t total = codes.size();
  AutoAdvanceClock(1000);
  EXPECT_EQ(codes.size(), total);
  for (size_t i = 0; i + 1 < codes.size(); ++i) EXPECT_EQ(codes[i], SB_LINEDOWN);
}

TEST_F(PaintTest, ZeroWidthCaretIsDrawnOnePixelWideAndHides) {
  HWND top = Top(0, 52, 100, 100);
  Painter painter;
  painter.colours = {{top, RGB(255, 255, 255)}};
  TheHook() = std::ref(painter);
  InvalidateRect(top, nullptr, TRUE);
  PumpPendingMessages();
  ASSERT_TRUE(CreateCaret(top, nullptr, 0, 20));
  SetCaretPos(10, 5);
  EXPECT_EQ(AutoGetPixel(top, 10, 5), kWhite);  // created hidden
  ShowCaret(top);
  EXPECT_EQ(AutoGetPixel(top, 10, 5), 0u);
  EXPECT_EQ(AutoGetPixel(top, 10, 24), 0u);
  EXPECT_EQ(AutoGetPixel(top, 11, 5), kWhite);
  EXPECT_EQ(AutoGetPixel(top, 10, 25), kWhite);
  // Steady under the virtual clock; painting does not leave traces.
  AutoAdvanceClock(2000);
  EXPECT_EQ(AutoGetPixel(top, 10, 5), 0u);
  InvalidateRect(top, nullptr, TRUE);
  PumpPendingMessages();
  EXPECT_EQ(AutoGetPixel(top, 10, 5), 0u);
  SetCaretPos(30, 5);
  EXPECT_EQ(AutoGetPixel(top, 10, 5), kWhite);
  EXPECT_EQ(AutoGetPixel(top, 30, 5), 0u);
  HideCaret(top);
  EXPECT_EQ(AutoGetPixel(top, 30, 5), kWhite);
  HWND owner;
  RECT r;
  BOOL shown;
  ASSERT_TRUE(GetCaretStateForTest(&owner, &r, &shown));
  EXPECT_EQ(owner, top);
  EXPECT_EQ(r.right - r.left, 1);
  EXPECT_FALSE(shown);
  EXPECT_TRUE(DestroyCaret());
  EXPECT_FALSE(GetCaretStateForTest(nullptr, nullptr, nullptr));
}

}  // namespace

namespace {

// Pixels of the caption bar (below the frame line) in the caption text's
// colour, over a full capture of the window.
int CaptionTextPixels(HWND hwnd) {
  std::vector<std::uint32_t> pixels;
  int width = 0, height = 0;
  if (!AutoCaptureWindow(hwnd, &pixels, &width, &height)) return -1;
  const std::uint32_t text = ColorRefToXrgb(GetSysColor(COLOR_CAPTIONTEXT));
  const int bar = std::min(height, 1 + GetSystemMetrics(SM_CYCAPTION));
  int n = 0;
  for (int y = 1; y < bar; ++y)
    for (int x = 1; x + 1 < width; ++x) n += pixels[static_cast<size_t>(y * width + x)] == text;
  return n;
}

TEST_F(PaintTest, CaptionShowsTheTitleAndFollowsItsChanges) {
  // A message box's title ("Error", "Export Completed") is what tells the
  // user what the box is about: the caption bar carries it.
  HWND box = CreateWindowExW(0, kClass, u"Export Completed", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 60, 300, 120,
                             nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(box, nullptr);
  PumpPendingMessages();
  const int titled = CaptionTextPixels(box);
  EXPECT_GT(titled, 20);
  SetWindowTextW(box, u"");
  PumpPendingMessages();
  EXPECT_EQ(CaptionTextPixels(box), 0);
  // A title longer than the bar is cut, never drawn past the frame.
  SetWindowTextW(box, u"A title far too long for a caption bar of three hundred pixels, cut with dots");
  PumpPendingMessages();
  std::vector<std::uint32_t> pixels;
  int width = 0, height = 0;
  ASSERT_TRUE(AutoCaptureWindow(box, &pixels, &width, &height));
  const std::uint32_t frame = ColorRefToXrgb(GetSysColor(COLOR_WINDOWFRAME));
  for (int y = 0; y < std::min(height, GetSystemMetrics(SM_CYCAPTION)); ++y)
    EXPECT_EQ(pixels[static_cast<size_t>(y * width + width - 1)], frame) << "row " << y;
  EXPECT_GT(CaptionTextPixels(box), titled);
  DestroyWindow(box);
}

}  // namespace
