// Drawing layer: colour words, the DC use count, glyph bitmaps, bitmap
// resources and the glyph compositor's two paths on synthetic glyphs.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "resources/resources.h"
#include "tests/toolkit/toolkit_fixture.h"

namespace {

// Distinct system colours, so that a wrong family or role shows.
constexpr COLORREF kStatic = RGB(0xE0, 0xE4, 0xE8);
constexpr COLORREF kStaticText = RGB(0x10, 0x20, 0x30);
constexpr COLORREF kWindow = RGB(0xF0, 0xF1, 0xF2);
constexpr COLORREF kWindowText = RGB(0x01, 0x02, 0x03);
constexpr COLORREF kHighlight = RGB(0x20, 0x40, 0xC0);
constexpr COLORREF kHighlightText = RGB(0xFE, 0xFD, 0xFC);

const int kTestColorIndices[] = {COLOR_STATIC,     COLOR_STATICTEXT, COLOR_WINDOW,
                                 COLOR_WINDOWTEXT, COLOR_HIGHLIGHT,  COLOR_HIGHLIGHTTEXT};

void SetTestSysColors() {
  const COLORREF colours[] = {kStatic, kStaticText, kWindow, kWindowText, kHighlight, kHighlightText};
  ASSERT_TRUE(SetSysColors(6, kTestColorIndices, colours));
}

uint32_t Rgb(COLORREF c) { return SwapRgbBytes(c); }

class DrawContextTest : public ToolkitTest {
 protected:
  // The system colours are process-wide: put them back, so that tests run
  // after these in the same process see the platform's own.
  void SetUp() override {
    ToolkitTest::SetUp();
    for (int i = 0; i < 6; ++i) saved_[i] = GetSysColor(kTestColorIndices[i]);
    SetTestSysColors();
  }
  void TearDown() override {
    SetSysColors(6, kTestColorIndices, saved_);
    ToolkitTest::TearDown();
  }
  COLORREF saved_[6] = {};
};

TEST_F(DrawContextTest, ColorWordsResolveAndFillByTheirRules) {
  struct Case {
    ColorWord word;
    int role;
    uint32_t resolved;
    uint32_t filled;  // FillShortRect (background role) / EraseShortRect (foreground role)
    const char* why;
  } cases[] = {
      {0x1000000, kRoleForeground, Rgb(kStaticText), Rgb(kStaticText), "static family, text"},
      {0x1000000, kRoleBackground, Rgb(kStatic), Rgb(kStatic), "static family, background"},
      {0x3000000, kRoleForeground, Rgb(kStaticText), Rgb(kStaticText), "bit 25 alone stays static"},
      {0x3000000, kRoleBackground, Rgb(kStatic), Rgb(kStatic), "bit 25 alone stays static"},
      {0xB000000, kRoleForeground, Rgb(kWindowText), Rgb(kWindowText), "bits 25 and 27: window family"},
      {0xB000000, kRoleBackground, Rgb(kWindow), Rgb(kWindow), "bits 25 and 27: window family"},
      {0x7000000, kRoleForeground, Rgb(kHighlightText), Rgb(kHighlightText), "highlight text"},
      {0x7000000, kRoleBackground, Rgb(kHighlight), Rgb(kHighlight), "highlight"},
      {0x21000000, kRoleForeground, Rgb(kStatic), Rgb(kStatic), "bit 29: background even as foreground"},
      // Bit 28 resolves to white, but the brush rule still takes the system
      // colour for bit 24.
      {0x13000000, kRoleForeground, 0xFFFFFF, Rgb(kStaticText), "white, brush by family"},
      {0x13000000, kRoleBackground, 0xFFFFFF, Rgb(kStatic), "white, brush by family"},
      {0xC8FFC8, kRoleForeground, 0xC8FFC8, 0xC8FFC8, "a literal colour"},
      {0xC8FFC8, kRoleBackground, 0xC8FFC8, 0xC8FFC8, "a literal colour"},
  };
  DrawContext* dc = Window(100, 40);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(ResolveColorWord(c.word, c.role), c.resolved);
    ShortRect r{10, 10, 20, 20};
    if (c.role == kRoleBackground) FillShortRect(dc, r, c.word);
    else
      EraseShortRect(dc, r, c.word);
    EXPECT_EQ(Pixel(15, 15), c.filled);
    EXPECT_EQ(Pixel(9, 9), 0xFFFFFFu) << "outside the rectangle";
  }
}

TEST_F(DrawContextTest, InvertingTwiceRestoresEveryPixel) {
  DrawContext* dc = Window(64, 32);
  FillShortRect(dc, ShortRect{0, 0, 30, 32}, 0x123456);
  FillShortRect(dc, ShortRect{30, 0, 34, 32}, 0x7000000);
  std::vector<uint32_t> before = Pixels();
  InvertShortRect(dc, ShortRect{5, 5, 50, 20});
  std::vector<uint32_t> once = Pixels();
  EXPECT_NE(once, before);
  EXPECT_EQ(Pixel(10, 10), 0xFFFFFFu ^ 0x123456u);
  InvertShortRect(dc, ShortRect{5, 5, 50, 20});
  EXPECT_EQ(Pixels(), before);
}

TEST_F(DrawContextTest, NestedAcquisitionsShareOneDeviceContext) {
  DrawContext* dc = Window(32, 32);
  HDC first = AcquireDrawDC(dc);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetDrawContextDC(dc), first);
  EXPECT_EQ(dc->useCount, 2);
  ReleaseDrawDC(dc);
  EXPECT_EQ(dc->dc, first) << "still held after the first release";
  ReleaseDrawContextDC(dc);
  EXPECT_EQ(dc->dc, nullptr);
  EXPECT_EQ(dc->useCount, 0);
  ReleaseDrawDC(dc);  // an extra release changes nothing
  EXPECT_EQ(dc->useCount, 0);
  // A count left without a DC is reset, and the next acquisition works.
  dc->useCount = 3;
  EXPECT_NE(AcquireDrawDC(dc), nullptr);
  EXPECT_EQ(dc->useCount, 1);
  ReleaseDrawDC(dc);
}

TEST_F(DrawContextTest, GlyphBitmapPaletteRunsFromBackgroundToForeground) {
  DrawContext* dc = Window(16, 4);
  uint8_t* bits = nullptr;
  uint16_t stride = 0;
  HBITMAP bitmap = CreateGlyphBitmap(nullptr, 4, -1, 8, 256, 0x102030, 0xF0E0D0, &bits, &stride);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_GE(stride, 4);
  bits[0] = 0;
  bits[1] = 255;
  bits[2] = 128;
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HDC window = AcquireDrawDC(dc);
  BitBlt(window, 0, 0, 4, 1, memory, 0, 0, SRCCOPY);
  ReleaseDrawDC(dc);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  EXPECT_EQ(Pixel(0, 0), 0xF0E0D0u);
  EXPECT_EQ(Pixel(1, 0), 0x102030u);
  // Entry 128 = (bg * 127 + fg * 128) / 255 per channel, toward zero.
  uint32_t mid = ((0xF0 * 127 + 0x10 * 128) / 255) << 16 | ((0xE0 * 127 + 0x20 * 128) / 255) << 8 |
                 ((0xD0 * 127 + 0x30 * 128) / 255);
  EXPECT_EQ(Pixel(2, 0), mid);

  EXPECT_EQ(CreateGlyphBitmap(nullptr, 4, 4, 4, 16, 0, 0xFFFFFF, &bits, &stride), nullptr);
  HBITMAP mono = CreateGlyphBitmap(nullptr, 8, 2, 1, 2, 0, 0xFFFFFF, &bits, &stride);
  EXPECT_NE(mono, nullptr);
  DeleteObject(mono);
}

// A PNG of `w` x `h` pure green with a `colour` block at (bx, by), made by
// drawing a window and saving it; kept for the program's life, as resources
// are borrowed.
const std::vector<uint8_t>& MakePng(const std::string& folder, int w, int h, COLORREF colour, int bx, int by, int bw,
                                    int bh) {
  static std::map<std::string, std::vector<uint8_t>> kept;
  HWND hwnd =
      CreateWindowExW(0, wintest::kClass, u"", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
  UpdateWindow(hwnd);
  HDC dc = GetDC(hwnd);
  RECT all{0, 0, w, h}, block{bx, by, bx + bw, by + bh};
  HBRUSH green = CreateSolidBrush(RGB(0, 0xFF, 0)), brush = CreateSolidBrush(colour);
  FillRect(dc, &all, green);
  FillRect(dc, &block, brush);
  DeleteObject(green);
  DeleteObject(brush);
  ReleaseDC(hwnd, dc);
  std::string path = folder + "/bitmap" + std::to_string(kept.size()) + ".png";
  EXPECT_TRUE(AutoSaveWindowPng(hwnd, path.c_str()));
  DestroyWindow(hwnd);
  std::ifstream in(path, std::ios::binary);
  auto& bytes = kept[path + std::to_string(colour)];
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return bytes;
}

class BitmapResourceTest : public DrawContextTest {
 protected:
  // 4591 (96 dpi): 10 x 6 with a red block; 4592 (192 dpi): with a blue one.
  void RegisterBitmaps() {
    const auto& small = MakePng(fonts_->root().host(), 10, 6, RGB(0xFF, 0, 0), 2, 1, 4, 3);
    const auto& large = MakePng(fonts_->root().host(), 10, 6, RGB(0, 0, 0xFF), 2, 1, 4, 3);
    ASSERT_FALSE(small.empty());
    RegisterResource(RT_BITMAP, 4591, small.data(), static_cast<DWORD>(small.size()));
    RegisterResource(RT_BITMAP, 4592, large.data(), static_cast<DWORD>(large.size()));
  }
};

TEST_F(BitmapResourceTest, ResolutionChoosesTheBitmap) {
  struct Case {
    int dpi, dpiY;
    uint16_t backspace, enter, shift, dropDown;
  } cases[] = {
      {96, 0, 4591, 4611, 5348, 5325},   {192, 0, 4592, 4612, 5349, 5326},
      {128, 0, 4592, 4612, 5349, 5326},   // factor 4 takes the large ones
      {192, 96, 4591, 4611, 5348, 5325},  // the smaller dpi decides
      {96, 192, 4591, 4611, 5348, 5325}, {192, 128, 4592, 4612, 5349, 5326},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " x " << c.dpiY);
    SetScreenProfile(480, 640, c.dpi, c.dpiY);
    EXPECT_EQ(ResolveBitmapWord(kBitmapBackspace), c.backspace);
    EXPECT_EQ(ResolveBitmapWord(kBitmapEnter), c.enter);
    EXPECT_EQ(ResolveBitmapWord(kBitmapShift), c.shift);
    EXPECT_EQ(ResolveBitmapWord(kBitmapDropDown), c.dropDown);
  }
  EXPECT_EQ(ResolveBitmapWord(0x8C000002), 2) << "other 0x8C words use their low 16 bits";
  EXPECT_EQ(ResolveBitmapWord(0x1234), 0x1234);

  SetScreenProfile(480, 640, 96);
  RegisterBitmaps();
  DrawContext* dc = Window(40, 20);
  FillShortRect(dc, ShortRect{0, 0, 40, 20}, 0x445566);
  EXPECT_EQ(DrawBitmapResource(dc, kBitmapBackspace, 0, 0, 0, 0), 0);
  EXPECT_EQ(Pixel(3, 2), 0xFF0000u) << "4591 at 96 dpi";
  EXPECT_EQ(Pixel(0, 0), 0x445566u) << "green is transparent";
  EXPECT_EQ(Pixel(9, 5), 0x445566u);
}

TEST_F(BitmapResourceTest, CentredInALargerBoxAndClippedToASmallerOne) {
  RegisterBitmaps();  // 192 dpi: the blue bitmap
  DrawContext* dc = Window(60, 30);
  // Box 20 x 12 around a 10 x 6 bitmap: moved by (10 / 2 + 1, 6 / 2 + 1).
  DrawBitmapResource(dc, kBitmapBackspace, 0, 0, 20, 12);
  EXPECT_EQ(Pixel(6 + 2, 4 + 1), 0x0000FFu);
  EXPECT_EQ(Pixel(6 + 1, 4 + 1), 0xFFFFFFu);
  EXPECT_EQ(Pixel(2, 1), 0xFFFFFFu) << "not at the box's corner";
  // Box 4 x 2 at (30, 10): drawn at the corner, only the box shows.
  DrawBitmapResource(dc, kBitmapBackspace, 30, 10, 4, 2);
  EXPECT_EQ(Pixel(32, 11), 0x0000FFu);
  EXPECT_EQ(Pixel(34, 11), 0xFFFFFFu) << "clipped at the box's right edge";
  EXPECT_EQ(Pixel(32, 12), 0xFFFFFFu) << "clipped at the box's bottom edge";
  // The clip is gone afterwards.
  FillShortRect(dc, ShortRect{40, 20, 4, 4}, 0x00FF00);
  EXPECT_EQ(Pixel(41, 21), 0x00FF00u);
}

TEST_F(DrawContextTest, ProgramBitmapsComeInBothResolutions) {
  RegisterSorviResources();
  const uint16_t pairs[][2] = {{4591, 4592}, {4611, 4612}, {5348, 5349}, {5325, 5326}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair[0]);
    BITMAP small{}, large{};
    HBITMAP a = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(pair[0]));
    HBITMAP b = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(pair[1]));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    GetObjectW(a, sizeof(small), &small);
    GetObjectW(b, sizeof(large), &large);
    EXPECT_EQ(large.bmWidth, 2 * small.bmWidth);
    EXPECT_EQ(large.bmHeight, 2 * small.bmHeight);
    DeleteObject(a);
    DeleteObject(b);
  }
  // The Backspace arrow on a coloured window: its corner is transparent,
  // its shaft is drawn.
  SetScreenProfile(480, 640, 96);
  DrawContext* dc = Window(40, 20);
  FillShortRect(dc, ShortRect{0, 0, 40, 20}, 0x445566);
  DrawBitmapResource(dc, kBitmapBackspace, 0, 0, 0, 0);
  EXPECT_EQ(Pixel(0, 0), 0x445566u);
  EXPECT_EQ(Pixel(8, 5), 0x000000u);
}

TEST_F(DrawContextTest, ClipStaysUntilCleared) {
  DrawContext* dc = Window(40, 40);
  SetClipShortRect(dc, ShortRect{10, 10, 10, 10});
  EXPECT_EQ(dc->useCount, 1);
  FillShortRect(dc, ShortRect{0, 0, 40, 40}, 0x112233);
  EXPECT_EQ(Pixel(15, 15), 0x112233u);
  EXPECT_EQ(Pixel(5, 5), 0xFFFFFFu);
  ClearClip(dc);
  EXPECT_EQ(dc->useCount, 0);
  FillShortRect(dc, ShortRect{0, 0, 40, 40}, 0x112233);
  EXPECT_EQ(Pixel(5, 5), 0x112233u);
}

// A solid 4-wide, 10-row grey glyph (mode 2) or mono glyph (mode 1).
struct SolidGlyph {
  uint8_t grey[4 * 10];
  uint8_t mono[1 * 10];
  GlyphBitmap Grey() { return GlyphBitmap{10, 4, 4, grey, 256, 2}; }
  GlyphBitmap Mono() { return GlyphBitmap{10, 4, 1, mono, 2, 1}; }
  SolidGlyph() {
    std::fill(std::begin(grey), std::end(grey), 255);
    std::fill(std::begin(mono), std::end(mono), 0xF0);
  }
};

class CompositorTest : public DrawContextTest {
 protected:
  void SetUp() override {
    DrawContextTest::SetUp();
    CreateTextOffscreens();
  }
  void TearDown() override {
    DeleteTextOffscreens();
    DrawContextTest::TearDown();
  }
};

TEST_F(CompositorTest, RowLimitCutsTheGlyphAndCarriesTheUnderline) {
  for (bool direct : {false, true}) {
    for (int mode : {1, 2}) {
      SCOPED_TRACE(testing::Message() << (direct ? "direct" : "offscreen") << " mode " << mode);
      SetTextDrawDirectOnly(direct);
      SolidGlyph g;
      GlyphBitmap bitmap = mode == 2 ? g.Grey() : g.Mono();
      DrawContext* dc = Window(40, 30);
      BeginTextDraw(dc, 0, 5, 12, 0x3000000, 0x3000000);
      EXPECT_EQ(dc->offscreen != nullptr, !direct);
      // Glyph at (5, 5) in the cell 4..10; rows 6 and on are cut; the
      // underline lies on row 5 (window row 10).
      DrawGlyphRun(dc, &bitmap, 5, 5, 4, 6, 6, 0x3000000, 0x3000000, kDecorationUnderline, 1);
      EndTextDraw(dc);
      EXPECT_EQ(Pixel(6, 5), Rgb(kStaticText)) << "glyph row 0";
      EXPECT_EQ(Pixel(6, 9), Rgb(kStaticText)) << "glyph row 4";
      EXPECT_EQ(Pixel(6, 11), Rgb(kStatic)) << "row 6 is past the limit";
      EXPECT_EQ(Pixel(4, 10), Rgb(kStaticText)) << "underline from the pen";
      EXPECT_EQ(Pixel(9, 10), Rgb(kStaticText)) << "underline to the extent";
      EXPECT_EQ(Pixel(4, 9), Rgb(kStatic)) << "above the underline, left of the glyph";
      EXPECT_EQ(Pixel(10, 10), 0xFFFFFFu) << "nothing past the extent";
      FreeDrawContext(dc);
      context_ = nullptr;
      DestroyWindow(hwnd_);
    }
  }
}

TEST_F(CompositorTest, TransparentBackgroundLeavesTheWindowAlone) {
  for (bool direct : {false, true}) {
    SCOPED_TRACE(direct ? "direct" : "offscreen");
    SetTextDrawDirectOnly(direct);
    uint8_t pixels[4 * 3] = {0, 255, 128, 0, 0, 255, 128, 0, 0, 255, 128, 0};
    GlyphBitmap bitmap{3, 4, 4, pixels, 256, 2};
    DrawContext* dc = Window(20, 20);
    FillShortRect(dc, ShortRect{0, 0, 20, 20}, 0x123456);
    BeginTextDraw(dc, 0, 2, 10, 0x3000000, kColorTransparent);
    DrawGlyphRun(dc, &bitmap, 5, 4, 3, 8, 10, 0x3000000, kColorTransparent, 0, 2);
    EndTextDraw(dc);
    EXPECT_EQ(Pixel(5, 4), 0x123456u) << "grey level 0 is not drawn";
    EXPECT_EQ(Pixel(6, 4), Rgb(kStaticText));
    EXPECT_EQ(Pixel(3, 2), 0x123456u) << "the cell around the glyph";
    EXPECT_EQ(Pixel(6, 10), 0x123456u);
    FreeDrawContext(dc);
    context_ = nullptr;
    DestroyWindow(hwnd_);
  }
}

TEST_F(CompositorTest, GlyphOutsideTheOffscreenTakesTheDirectPath) {
  // The offscreen is half the screen's smaller side (240 rows): a glyph 300
  // rows tall, or one starting above the line top, cannot go there. Both are
  // drawn whole, and nothing is written outside the shared bitmap.
  const TextOffscreen* o = GetTextOffscreen(0);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->width, 640);
  EXPECT_EQ(o->height, 240);
  std::vector<uint8_t> tall(4 * 300, 255);
  GlyphBitmap bitmap{300, 4, 4, tall.data(), 256, 2};
  DrawContext* dc = Window(100, 400);
  BeginTextDraw(dc, 0, 20, 20, 0x3000000, 0x3000000);
  ASSERT_NE(dc->offscreen, nullptr);
  DrawGlyphRun(dc, &bitmap, 10, 20, 10, 6, 300, 0x3000000, 0x3000000, 0, 0);
  DrawGlyphRun(dc, &bitmap, 30, 10, 30, 6, 300, 0x3000000, 0x3000000, 0, 0);
  EndTextDraw(dc);
  EXPECT_EQ(Pixel(11, 20), Rgb(kStaticText));
  EXPECT_EQ(Pixel(11, 319), Rgb(kStaticText)) << "the last row";
  EXPECT_EQ(Pixel(31, 10), Rgb(kStaticText));
  EXPECT_EQ(Pixel(31, 309), Rgb(kStaticText));
}

}  // namespace
