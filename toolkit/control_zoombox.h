// SorviZoomboxClass: one character drawn as large as the box allows, in font
// slot 0 from the box's top-left corner, at the 96-dpi size of the client
// height less two margins of 6.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "toolkit/draw_context.h"

inline constexpr const WCHAR* kZoomboxClassName = u"SorviZoomboxClass";
inline constexpr UINT kZoomboxSetChar = 0x8291;  // wParam the character

struct ZoomboxState {
  DrawContext* drawContext;
  uint32_t character;
};

// The pixel size a box of this client height draws its character at.
uint16_t ZoomboxCharSize(int clientHeight);

LRESULT ZoomboxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
