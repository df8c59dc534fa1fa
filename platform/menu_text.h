// Labels of menus, menu bars, tree views and date pickers. One small
// built-in bitmap font (printable ASCII; other characters show as a box),
// scaled to the screen's dpi, until the controls share a text renderer.
#pragma once

#include <string_view>

#include "platform/gdi.h"
#include "platform/types.h"

// Height of a line of label text, in pixels.
int MenuTextHeight();
// Width of `text` in pixels. '&' marks a mnemonic and is not drawn ("&&" is one '&').
int MenuTextWidth(std::u16string_view text);
// Draws `text` with its top-left corner at (x, y) in `color`; nothing else is painted.
void MenuDrawText(HDC dc, int x, int y, std::u16string_view text, COLORREF color);
