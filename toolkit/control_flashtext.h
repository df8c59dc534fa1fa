// SorviFlashTextClass: the short notice pop-up. Its window text (at most 29
// characters drawn) is the notice, its user value (GWL_USERDATA) the font
// size, negative for white on black. It takes the pen and the keyboard while
// it is up and closes itself at the first key, at a tap's release, on its
// timer (kFlashTextTimerId) and when another window becomes active; the
// keyboard focus then goes back to the window that had it, unless another
// top-level window has become active meanwhile.
//
// The notice helpers (toolkit/ui_notice.h) create it; it keeps no state of
// its own beyond one global, the window that had the focus.
#pragma once

#include "platform/ui.h"

inline constexpr const WCHAR* kFlashTextClassName = u"SorviFlashTextClass";
inline constexpr UINT_PTR kFlashTextTimerId = 37126;
inline constexpr int kFlashTextMaxChars = 29;

LRESULT FlashTextWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
