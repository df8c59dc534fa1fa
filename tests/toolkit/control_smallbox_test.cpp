// The zoom box, the colour picker and the tool background: the zoom box's
// character at its computed size, the palette, the picker's swatches, gaps
// and taps, and the tool background's button-face erase.
#include <vector>

#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_colorpicker.h"
#include "toolkit/control_zoombox.h"
#include "toolkit/ui_scale.h"

namespace {

class SmallControlTest : public ControlTest {
 protected:
  // The bounding box of the pixels of a window that are not white.
  RECT Ink(HWND h, int w, int hgt) {
    RECT box{w, hgt, -1, -1};
    for (int y = 0; y < hgt; ++y)
      for (int x = 0; x < w; ++x)
        if ((AutoGetPixel(h, x, y) & 0xFFFFFF) != 0xFFFFFF) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x);
          box.bottom = std::max<LONG>(box.bottom, y);
        }
    return box;
  }
};

TEST_F(SmallControlTest, ZoomboxDrawsItsCharacterAtTheComputedSize) {
  // 192 dpi: margins of 12, size UnscaleByDpi(100 - 24) = 38.
  EXPECT_EQ(ZoomboxCharSize(100), 38);
  HWND zoom = MakeControl(kZoomboxClassName, 5, 10, 10, 100, 100, nullptr);
  SendMessageW(zoom, kZoomboxSetChar, u'A', 0);
  UpdateWindow(parent_);
  UpdateWindow(zoom);
  RECT drawn = Ink(zoom, 100, 100);
  ASSERT_GE(drawn.right, drawn.left) << "the character is drawn";
  // The same character through the text service at that size.
  DrawContext* dc = Window(100, 100);
  TextStyleState style{};
  DrawStyledChar(app_->engine(), dc, 0, 38, u'A', 0, 0, 100, &style);
  RECT expected = Ink(hwnd_, 100, 100);
  EXPECT_EQ(drawn.left, expected.left);
  EXPECT_EQ(drawn.top, expected.top);
  EXPECT_EQ(drawn.right, expected.right);
  EXPECT_EQ(drawn.bottom, expected.bottom);
}

TEST_F(SmallControlTest, PaletteEntries) {
  struct Case {
    int index;
    uint32_t colour;
  } cases[] = {{0, 0x000000}, {215, 0xFFFFFF}, {50, 0x336666}, {1, 0x000033}, {36, 0x330000}, {216, 0}, {255, 0}};
  for (const Case& c : cases) EXPECT_EQ(ColorPickerPalette[c.index], c.colour) << c.index;
}

TEST_F(SmallControlTest, ColorPickerSwatchesGapsAndTaps) {
  // 192 dpi, 480 x 480: cell (480 - 34) / 16 = 27, gap 2, spare 17, origin 8.
  ShortRect all{0, 0, 480, 480};
  ColorPickerLayout l = LayoutColorPicker(all);
  EXPECT_EQ(l.cell, 27);
  EXPECT_EQ(l.gap, 2);
  EXPECT_EQ(l.originX, 8);
  EXPECT_EQ(l.originY, 8);
  // A wider window centres the square grid.
  ShortRect wide{0, 0, 400, 300};
  ColorPickerLayout w = LayoutColorPicker(wide);
  EXPECT_EQ(w.originX - 0, 50 + w.originY);

  HWND picker = MakeControl(kColorPickerClassName, 6, 0, 0, 300, 300, nullptr);
  UpdateWindow(parent_);
  UpdateWindow(picker);
  l = LayoutColorPicker(ShortRect{0, 0, 300, 300});
  int pitch = l.cell + l.gap;
  for (int i : {0, 1, 17, 50, 130, 215, 255}) {
    SCOPED_TRACE(i);
    int cx = l.originX + pitch * (i % 16) + l.cell / 2;
    int cy = l.originY + pitch * (i / 16) + l.cell / 2;
    EXPECT_EQ(AutoGetPixel(picker, cx, cy) & 0xFFFFFF, ColorPickerPalette[i]);
  }
  // The gaps keep the class brush (the window colour).
  uint32_t brush = SwapRgbBytes(GetSysColor(COLOR_WINDOW)) & 0xFFFFFF;
  EXPECT_EQ(AutoGetPixel(picker, l.originX + l.cell, l.originY + l.cell / 2) & 0xFFFFFF, brush);
  EXPECT_EQ(AutoGetPixel(picker, l.originX + l.cell / 2, l.originY + l.cell) & 0xFFFFFF, brush);

  struct Tap {
    int x, y;
    int entry;  // -1: nothing
    const char* why;
  } taps[] = {
      {l.originX + 1, l.originY + 1, 0, "the first swatch"},
      {l.originX + pitch * 2 + l.cell, l.originY + 3, 2, "a gap counts for the swatch to its left"},
      {l.originX + 3, l.originY + pitch * 4 + l.cell + 1, 64, "and for the one above"},
      {l.originX - 2, l.originY + 3, -1, "left of the grid: nothing"},
      {l.originX + 3, l.originY - 2, -1, "above the grid: nothing"},
      {l.originX + pitch * 16 + 1, l.originY + 3, -1, "right of the grid: nothing"},
      {l.originX + pitch * 15 + 1, l.originY + pitch * 13 + 1, 223, "an entry past 215 is black"},
  };
  for (const Tap& t : taps) {
    SCOPED_TRACE(t.why);
    notes_.clear();
    Down(picker, t.x, t.y);
    Up(picker, t.x, t.y);
    if (t.entry < 0) {
      EXPECT_TRUE(notes_.empty());
    } else {
      ASSERT_EQ(notes_.size(), 1u);
      EXPECT_EQ(notes_[0].header.code, kColorPickedCode);
      EXPECT_EQ(notes_[0].payload.color, ColorPickerPalette[t.entry]);
    }
  }
}

TEST_F(SmallControlTest, ToolBackgroundErasesWithButtonFace) {
  HWND back = MakeControl(kToolBackgroundClassName, 7, 20, 20, 50, 30, nullptr);
  UpdateWindow(parent_);
  UpdateWindow(back);
  uint32_t face = SwapRgbBytes(GetSysColor(COLOR_BTNFACE)) & 0xFFFFFF;
  ASSERT_NE(face, 0xFFFFFFu) << "button face differs from the window colour";
  for (POINT p : {POINT{0, 0}, POINT{25, 15}, POINT{49, 29}}) EXPECT_EQ(AutoGetPixel(back, p.x, p.y) & 0xFFFFFF, face);
}

}  // namespace
