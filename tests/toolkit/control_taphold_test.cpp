// The tap-and-hold button: taps and holds on the virtual clock, Enter, the
// hold timer's life, a new record during a press, and the label's letters
// placed and copied from the letter strips.
#include <vector>

#include "platform/core.h"
#include "resources/resources.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_taphold.h"

namespace {

constexpr int kId = 95;

class TapholdTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    RegisterSorviResources();
  }
  HWND Make(const TapholdButtonInfo* info, int w = 40, int h = 30) {
    button_ = MakeControl(kTapholdClassName, kId, 20, 20, w, h, const_cast<TapholdButtonInfo*>(info));
    UpdateWindow(parent_);
    UpdateWindow(button_);
    return button_;
  }
  std::vector<UINT> Codes() {
    std::vector<UINT> out;
    for (const ControlNotify& n : notes_) out.push_back(n.header.code);
    return out;
  }
  void Wait(DWORD ms) {
    AdvanceVirtualClock(ms);
    PumpPendingMessages();
  }
  uint32_t Px(int x, int y) { return AutoGetPixel(button_, x, y) & 0xFFFFFF; }
  HWND button_ = nullptr;
};

TEST_F(TapholdTest, TapsAndHolds) {
  struct Case {
    bool holdEnabled;
    bool tapReportsHold;
    DWORD heldFor;
    bool releaseInside;
    std::vector<UINT> codes;
    const char* why;
  } cases[] = {
      {true, false, 499, true, {kTapholdTapCode}, "released before 500 ms: a tap"},
      {true, false, 500, true, {kTapholdHoldCode}, "held 500 ms: one hold, a silent release"},
      {true, false, 2000, true, {kTapholdHoldCode}, "held longer: still one hold"},
      {false, false, 800, true, {kTapholdTapCode}, "hold disabled: the release taps"},
      {true, true, 100, true, {kTapholdHoldCode}, "tap reports hold"},
      {true, false, 100, false, {}, "released outside: nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TapholdButtonInfo info{};
    info.holdEnabled = c.holdEnabled;
    info.tapReportsHold = c.tapReportsHold;
    Make(&info);
    notes_.clear();
    Down(button_, 10, 10);
    Wait(c.heldFor);
    if (c.releaseInside) {
      Up(button_, 10, 10);
    } else {
      Move(button_, 200, 200);
      Up(button_, 200, 200);
    }
    Wait(1000);
    EXPECT_EQ(Codes(), c.codes);
    DestroyWindow(button_);
  }
}

TEST_F(TapholdTest, LeavingStopsTheHoldAndComingBackRestartsIt) {
  TapholdButtonInfo info{};
  info.holdEnabled = 1;
  Make(&info);
  Down(button_, 10, 10);
  Wait(400);
  Move(button_, 100, 100);  // off the button: the timer stops
  Wait(400);
  EXPECT_TRUE(notes_.empty());
  Move(button_, 10, 10);  // back: 500 ms anew
  Wait(499);
  EXPECT_TRUE(notes_.empty());
  Wait(1);
  EXPECT_EQ(Codes(), std::vector<UINT>{kTapholdHoldCode});
}

TEST_F(TapholdTest, EnterTapsAndOtherKeysDoNothing) {
  for (bool tapReportsHold : {false, true}) {
    TapholdButtonInfo info{};
    info.tapReportsHold = tapReportsHold;
    Make(&info);
    notes_.clear();
    SendMessageW(button_, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(button_, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(Codes(), std::vector<UINT>{tapReportsHold ? kTapholdHoldCode : kTapholdTapCode});
    EXPECT_EQ(SendMessageW(button_, WM_GETDLGCODE, 0, 0), DLGC_BUTTON);
    DestroyWindow(button_);
  }
}

TEST_F(TapholdTest, LosingTheCaptureKillsTheHoldTimer) {
  TapholdButtonInfo info{};
  info.holdEnabled = 1;
  Make(&info);
  Down(button_, 10, 10);
  SendMessageW(button_, WM_CAPTURECHANGED, 0, 0);
  Wait(1000);
  EXPECT_TRUE(notes_.empty()) << "no hold after the timer was killed";
}

TEST_F(TapholdTest, NewRecordEndsAPressAndKeepsTheImageList) {
  HIMAGELIST list = ImageList_Create(8, 8, 0, 1, 1);
  TapholdButtonInfo info{};
  info.imageList = list;
  info.holdEnabled = 1;
  Make(&info);
  Down(button_, 10, 10);
  TapholdButtonInfo plain{};
  plain.imageIndex = 2;
  SendMessageW(button_, kTapholdSetInfo, 0, reinterpret_cast<LPARAM>(&plain));
  EXPECT_NE(GetCapture(), button_) << "the press ended";
  Up(button_, 10, 10);
  EXPECT_TRUE(notes_.empty()) << "the release finds no press";
  auto* s = static_cast<TapholdState*>(GetPropW(button_, u"SorviTapholdInfo"));
  EXPECT_EQ(s->info.imageList, list) << "neither list nor label: the old list stays";
  EXPECT_EQ(s->info.imageIndex, 2);
  TapholdButtonInfo label{};
  label.textLabel = 1;
  SendMessageW(button_, kTapholdSetInfo, 0, reinterpret_cast<LPARAM>(&label));
  EXPECT_EQ(s->info.imageList, nullptr) << "a label record replaces it";
  DestroyWindow(button_);
  ImageList_Destroy(list);
}

TEST_F(TapholdTest, ImageIsDrawnCentredAndFocusFramesTheButton) {
  // One 8 x 8 image: red with a white (transparent) corner pixel.
  HIMAGELIST list = ImageList_Create(8, 8, ILC_MASK, 1, 1);
  HDC screen = GetDC(nullptr);
  HBITMAP image = CreateCompatibleBitmap(screen, 8, 8);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, image);
  RECT all{0, 0, 8, 8};
  HBRUSH red = CreateSolidBrush(RGB(0xFF, 0, 0));
  FillRect(memory, &all, red);
  DeleteObject(red);
  SetPixel(memory, 0, 0, RGB(0xFF, 0xFF, 0xFF));
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(ImageList_AddMasked(list, image, RGB(0xFF, 0xFF, 0xFF)), 0);
  DeleteObject(image);

  TapholdButtonInfo info{};
  info.imageList = list;
  Make(&info, 40, 30);
  uint32_t face = SwapRgbBytes(GetSysColor(COLOR_BTNFACE)) & 0xFFFFFF;
  // Centred: (40 - 8) / 2 = 16, (30 - 8) / 2 = 11.
  EXPECT_EQ(Px(16 + 4, 11 + 4), 0xFF0000u);
  EXPECT_EQ(Px(16, 11), face) << "the masked pixel shows the button behind";
  EXPECT_EQ(Px(15, 15), face);
  EXPECT_EQ(Px(0, 0), face) << "no frame without the focus";
  SetFocus(button_);
  UpdateWindow(button_);
  EXPECT_NE(Px(0, 0), face) << "the focused button is framed";
  // A negative index draws no image.
  info.imageIndex = -1;
  SendMessageW(button_, kTapholdSetInfo, 0, reinterpret_cast<LPARAM>(&info));
  UpdateWindow(button_);
  EXPECT_EQ(Px(20, 15), face);
  DestroyWindow(button_);
  ImageList_Destroy(list);
}

TEST_F(TapholdTest, LetterPositionsAndGlyphs) {
  struct Case {
    int width, glyph, n;
    std::vector<int> xs;
    const char* why;
  } cases[] = {
      {30, 4, 2, {7, 19}, "d 22, gap 7, r 1 odd with two letters: lead 0, r after each"},
      {30, 4, 3, {5, 13, 21}, "d 18, gap 4, r 2: lead 1"},
      {30, 4, 1, {13}, "d 26, gap 13, r 0"},
      {31, 4, 2, {8, 19}, "d 23, gap 7, r 2 even: lead 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    int xs[3] = {};
    TapholdLetterPositions(0, c.width, c.glyph, c.n, xs);
    EXPECT_EQ(std::vector<int>(xs, xs + c.n), c.xs);
  }
  const std::pair<char, int> glyphs[] = {{'A', 0}, {'z', 25}, {'0', 26}, {'9', 35}, {'-', 36}, {'?', 37}, {' ', 37}};
  for (const auto& [c, g] : glyphs) EXPECT_EQ(LetterGlyphIndex(c), g) << c;
  const std::pair<int16_t, uint16_t> strips[] = {{16, 4211}, {22, 5501}, {32, 4212}, {0, 4211}};
  for (const auto& [metric, id] : strips) EXPECT_EQ(LetterStripForMetric(metric).resource, id) << metric;
  // The box: narrowed to the maximum and centred; 0 sets no limit.
  ShortRect client{0, 0, 50, 40};
  ShortRect box = TapholdLabelBox(client, 30);
  EXPECT_EQ(box.x, 10);
  EXPECT_EQ(box.y, 5);
  EXPECT_EQ(box.width, 30);
  EXPECT_EQ(box.height, 30);
  box = TapholdLabelBox(client, 0);
  EXPECT_EQ(box.width, 50);
  EXPECT_EQ(box.height, 40);
}

TEST_F(TapholdTest, LabelLettersAreOredOrCopiedInverted) {
  app_->context().iconSize = 16;  // the 4 x 10 strip
  // The strip's own pixels, to compare with.
  HBITMAP strip = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(4211));
  ASSERT_NE(strip, nullptr);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, strip);
  auto glyphPixel = [&](int glyph, int x, int y) { return (GetPixel(memory, glyph * 4 + x, y) & 0xFFFFFF) != 0; };
  const uint32_t colour = 0x204080;
  for (bool inverted : {false, true}) {
    SCOPED_TRACE(inverted);
    TapholdButtonInfo info{};
    info.textLabel = 1;
    info.inverted = inverted;
    info.maxSize = 30;
    info.color = colour;
    info.label[0] = 'K';
    info.label[1] = '7';
    Make(&info, 30, 30);
    uint32_t paper = inverted ? 0xFFFFFF : colour;
    int y0 = (30 - 10) / 2;
    int lit = 0;
    const std::pair<int, int> letters[] = {{7, LetterGlyphIndex('K')}, {19, LetterGlyphIndex('7')}};
    for (const auto& [left, glyph] : letters) {
      for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 4; ++x) {
          bool on = glyphPixel(glyph, x, y);
          lit += on ? 1 : 0;
          // OR: white where the glyph is, the colour elsewhere. Inverted:
          // the glyph's white copied as black, its black as white.
          uint32_t want = inverted ? (on ? 0x000000 : 0xFFFFFF) : (on ? 0xFFFFFF : paper);
          ASSERT_EQ(Px(left + x, y0 + y), want) << "letter at " << left << ", pixel " << x << "," << y;
        }
      }
    }
    EXPECT_GT(lit, 10) << "the glyphs have ink";
    EXPECT_EQ(Px(3, 15), paper) << "the box's inside between frame and first letter";
    EXPECT_EQ(Px(15, 15), paper) << "between the letters";
    EXPECT_NE(Px(0, 0), paper) << "the frame";
    DestroyWindow(button_);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(strip);
}

}  // namespace
