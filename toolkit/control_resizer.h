// SorviResizerClass: the splitter bar between two panes. Dragged with the
// pen, it follows along its axis between a minimum and a maximum position
// and reports where it was let go (0x8371: position, wide). A bar wider than
// high moves up and down, any other left and right. Positions are the bar's
// top (or left) edge in its parent's client coordinates.
//
// The position is computed signed and then clamped, so that a drag past the
// minimum stops there rather than wrapping round to a huge value.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/draw_context.h"

inline constexpr const WCHAR* kResizerClassName = u"SorviResizerClass";
inline constexpr UINT kResizerSetLimits = 0x8271;  // wParam minimum, lParam maximum
inline constexpr UINT kResizerMovedCode = 0x8371;

// Zero-filled at WM_CREATE; the bar takes no create record.
struct ResizerState {
  DrawContext* drawContext;
  uint16_t minimum;
  uint16_t maximum;
  uint16_t position;
  uint8_t dragging;
};

// The bar is dark (0x1000000 in the foreground role); when not dragged, two
// light stripes 2 pixels thick lie across it, `grip` apart around its middle.
void DrawResizer(DrawContext* context, const ShortRect& rect, bool dragging, int grip);
// Lowered to the maximum, then raised to the minimum.
int ClampResizerPosition(int position, uint16_t minimum, uint16_t maximum);

LRESULT ResizerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
