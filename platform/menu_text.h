// Labels of menus, menu bars, tree views and date pickers: the dialogs'
// label font (platform/dialog_text.h), with the menus' '&' marks taken out.
#pragma once

#include <string>
#include <string_view>

#include "platform/gdi.h"
#include "platform/types.h"

// Height of a line of label text, in pixels.
int MenuTextHeight();
// '&' marks a mnemonic and is not drawn ("&&" is one '&').
std::u16string MenuPlainText(std::u16string_view text);
// Width of `text` (with its marks) in pixels.
int MenuTextWidth(std::u16string_view text);
// Draws `text` (with its marks) with its top-left corner at (x, y) in
// `color`; the background is left as it is.
void MenuDrawText(HDC dc, int x, int y, std::u16string_view text, COLORREF color);
