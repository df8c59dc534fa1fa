// The resizer: dragged within its limits along its axis, reporting where it
// was let go; a drag past either limit stops at it (past the minimum too,
// where 16-bit arithmetic would wrap round to the far end); its dark bar and
// two light stripes.
#include <vector>

#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_resizer.h"
#include "toolkit/ui_scale.h"

namespace {

constexpr int kId = 91;

class ResizerTest : public ControlTest {
 protected:
  HWND Make(int x, int y, int w, int h) {
    bar_ = MakeControl(kResizerClassName, kId, x, y, w, h, nullptr);
    SendMessageW(bar_, kResizerSetLimits, 40, 200);
    return bar_;
  }
  RECT InParent() {
    RECT r{};
    GetWindowRect(bar_, &r);
    POINT a{r.left, r.top};
    ScreenToClient(parent_, &a);
    return RECT{a.x, a.y, a.x + r.right - r.left, a.y + r.bottom - r.top};
  }
  std::vector<std::pair<uint32_t, uint8_t>> Moves() {
    std::vector<std::pair<uint32_t, uint8_t>> out;
    for (const ControlNotify& n : notes_)
      if (n.header.code == kResizerMovedCode) out.push_back({n.payload.resizer.position, n.payload.resizer.wide});
    return out;
  }
  HWND bar_ = nullptr;
};

TEST_F(ResizerTest, DragsStopAtTheirLimits) {
  struct Case {
    bool wide;
    int start;     // the bar's left (tall) or top (wide)
    int by;        // the pen's travel along the axis
    int expected;  // the bar's edge goes to the pen, which went down 2 pixels in
    const char* why;
  } cases[] = {
      {false, 100, 30, 132, "within the limits"},
      {false, 100, 300, 200, "beyond the maximum: stops at 200"},
      {false, 100, -250, 40, "below the minimum: stays at 40, no wrap round"},
      {false, 100, -100, 40, "to exactly 0: raised to 40"},
      {true, 100, 50, 152, "a wide bar moves down"},
      {true, 100, 250, 200, "a wide bar beyond the maximum"},
      {true, 100, -150, 40, "a wide bar below the minimum"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.wide) {
      Make(0, c.start, 300, 6);
    } else {
      Make(c.start, 20, 6, 300);
    }
    notes_.clear();
    // The pen goes down on the bar, moves in steps and comes up.
    Down(bar_, 2, 2);
    int steps = 5;
    POINT downAt{2, 2};
    ClientToScreen(bar_, &downAt);
    for (int i = 1; i <= steps; ++i) {
      int travel = c.by * i / steps;
      POINT p = c.wide ? POINT{downAt.x, downAt.y + travel} : POINT{downAt.x + travel, downAt.y};
      AutoPenMove(p.x, p.y);
    }
    POINT end = c.wide ? POINT{downAt.x, downAt.y + c.by} : POINT{downAt.x + c.by, downAt.y};
    AutoPenUp(end.x, end.y);
    RECT r = InParent();
    EXPECT_EQ(c.wide ? r.top : r.left, c.expected);
    EXPECT_EQ(c.wide ? r.left : r.top, c.wide ? 0 : 20) << "the other axis is kept";
    EXPECT_EQ(Moves(), (std::vector<std::pair<uint32_t, uint8_t>>{{c.expected, c.wide ? 1 : 0}}));
    DestroyWindow(bar_);
  }
}

TEST_F(ResizerTest, ClampLowersThenRaises) {
  struct Case {
    int position;
    int expected;
  } cases[] = {{-50, 40}, {0, 40}, {40, 40}, {120, 120}, {200, 200}, {65486, 200}};
  for (const Case& c : cases) EXPECT_EQ(ClampResizerPosition(c.position, 40, 200), c.expected) << c.position;
}

TEST_F(ResizerTest, DarkBarWithTwoLightStripes) {
  const int grip = ScaleByDpi(15);  // 30 at 192 dpi
  const int half = grip / 2;
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide);
    // An odd length: the first stripe sits at length / 2 - 1 - half.
    int length = 101;
    if (wide) {
      Make(0, 100, length, 8);
    } else {
      Make(100, 20, 8, length);
    }
    UpdateWindow(parent_);
    UpdateWindow(bar_);
    uint32_t dark = AutoGetPixel(bar_, 0, 0) & 0xFFFFFF;
    int first = (length / 2 - length % 2) - half;
    int second = (length - length / 2) + half;
    std::vector<int> light;
    for (int i = 0; i < length; ++i) {
      uint32_t p = (wide ? AutoGetPixel(bar_, i, 4) : AutoGetPixel(bar_, 4, i)) & 0xFFFFFF;
      if (p != dark) light.push_back(i);
    }
    EXPECT_EQ(light, (std::vector<int>{first, first + 1, second, second + 1}));
    EXPECT_NE(dark, 0xFFFFFFu) << "the bar is dark";
    // While dragged the bar is plain.
    Down(bar_, 2, 2);
    UpdateWindow(bar_);
    int lightWhileDragged = 0;
    for (int i = 0; i < length; ++i) {
      uint32_t p = (wide ? AutoGetPixel(bar_, i, 4) : AutoGetPixel(bar_, 4, i)) & 0xFFFFFF;
      if (p != dark) ++lightWhileDragged;
    }
    EXPECT_EQ(lightWhileDragged, 0);
    Up(bar_, 2, 2);
    DestroyWindow(bar_);
  }
}

}  // namespace
