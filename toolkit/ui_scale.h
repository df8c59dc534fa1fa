// Resolution scaling: the layouts and controls are written for a 96-dpi
// screen, and the application's resolution factor (3 at 96 dpi, 6 at 192)
// turns those values into screen pixels. Every function reads the factor of
// the application object (AppContextPointer), which start-up sets before the
// first window exists.
#pragma once

#include <cstdint>

// (factor x v, truncated to 16 bits signed) / 3, rounded toward zero.
int ScaleByDpi(int v);
// (3 x v, truncated to 16 bits signed) / factor, rounded toward zero, as a
// signed 16-bit value; 0 while the factor is 0 (no application object yet).
int UnscaleByDpi(int v);
// The size of tap-and-hold buttons and tool-bar images the application keeps:
// 16 at factor 3 or less, 22 at 4, 32 above.
int16_t GetUiMetric();
// The application's resolution factor (0 before start-up).
uint16_t GetResolutionFactor();
