#include "toolkit/control_colorpicker.h"

#include <algorithm>

#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/ui_scale.h"

namespace {

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  ColorPickerLayout l = LayoutColorPicker(ClientShortRect(hwnd));
  if (l.cell > 0) {
    for (int r = 0; r < kColorPickerSide; ++r) {
      for (int c = 0; c < kColorPickerSide; ++c) {
        int x = l.originX + (l.gap + l.cell) * c;
        int y = l.originY + (l.gap + l.cell) * r;
        RECT swatch{x, y, x + l.cell, y + l.cell};
        HBRUSH brush = CreateSolidBrush(SwapRgbBytes(ColorPickerPalette[kColorPickerSide * r + c]));
        FillRect(dc, &swatch, brush);
        DeleteObject(brush);
      }
    }
  }
  EndPaint(hwnd, &paint);
}

void Pick(HWND hwnd, int x, int y) {
  ColorPickerLayout l = LayoutColorPicker(ClientShortRect(hwnd));
  int pitch = l.gap + l.cell;
  if (pitch <= 0) return;
  // Taken as unsigned 16-bit numbers: a point left of or above the grid
  // gives a huge column or row, which is no cell.
  int column = static_cast<uint16_t>(x - l.originX) / pitch;
  int row = static_cast<uint16_t>(y - l.originY) / pitch;
  if (column >= kColorPickerSide || row >= kColorPickerSide) return;
  ControlNotify record{};
  record.payload.color = ColorPickerPalette[kColorPickerSide * row + column];
  SendControlNotify(hwnd, kColorPickedCode, &record);
}

}  // namespace

ColorPickerLayout LayoutColorPicker(const ShortRect& r) {
  int side = std::min(r.width, r.height);
  ColorPickerLayout l{};
  l.cell = (side - ScaleByDpi(17)) / kColorPickerSide;
  l.gap = ScaleByDpi(1);
  int spare = side - kColorPickerSide * (l.cell + l.gap) + 1;
  l.originX = r.x + ((r.width - side) + spare) / 2;
  l.originY = r.y + ((r.height - side) + spare) / 2;
  return l;
}

LRESULT ColorPickerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd);
      return 1;
    case WM_LBUTTONDOWN:
      Pick(hwnd, PenX(lParam), PenY(lParam));
      return 1;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
