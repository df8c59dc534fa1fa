// SorviColorPickerClass: 16 x 16 colour swatches from ColorPickerPalette,
// the largest square grid the window holds, centred; a tap on a swatch (or
// on the gap to its right or below it) reports its colour (0x8391). The
// picker keeps no state: the layout is computed from the client rectangle.
#pragma once

#include <array>
#include <cstdint>

#include "platform/ui.h"
#include "toolkit/draw_context.h"

inline constexpr const WCHAR* kColorPickerClassName = u"SorviColorPickerClass";
inline constexpr UINT kColorPickedCode = 0x8391;
inline constexpr int kColorPickerSide = 16;  // swatches per row and column

// 0xRRGGBB: entry i below 216 has red 0x33 x (i / 36), green 0x33 x
// ((i / 6) mod 6) and blue 0x33 x (i mod 6); entries 216-255 are black.
constexpr std::array<uint32_t, 256> MakeColorPickerPalette() {
  std::array<uint32_t, 256> p{};
  for (uint32_t i = 0; i < 216; ++i) p[i] = (0x33 * (i / 36)) << 16 | (0x33 * ((i / 6) % 6)) << 8 | (0x33 * (i % 6));
  return p;
}
inline constexpr std::array<uint32_t, 256> ColorPickerPalette = MakeColorPickerPalette();

struct ColorPickerLayout {
  int cell;  // swatch side
  int gap;
  int originX;
  int originY;
};
ColorPickerLayout LayoutColorPicker(const ShortRect& rect);

LRESULT ColorPickerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
