// The dialog side of the windows the application shares: the layout sink's
// callbacks for dialogs (positions in layout units, one unit being one
// resolution factor of pixels), showing and hiding dialog controls and child
// windows, and full-screen dialogs with their menu bar.
//
// UI thread only. Nothing here keeps state beyond the menu bar's window
// property; a missing control or bar makes the call do nothing.
#pragma once

#include <cstdint>

#include "platform/ui.h"

// The property on a full-screen dialog's menu bar that remembers its height
// in pixels when it was made, so that the bar can be put back after it was
// shrunk to nothing.
inline constexpr const WCHAR* kOldMenuHeightProperty = u"SorviOldMenuHeightProp";
// The menu resource of the full-screen dialogs' bar.
inline constexpr UINT kFullScreenMenuBarResource = 102;
// The control id that HideChildWindowsExceptInput leaves shown: the main
// window's input field.
inline constexpr int kMainInputFieldId = 1002;
// The preference that keeps the full-screen views' menu bars while it is 1.
inline constexpr int32_t kPrefKeepMenuBars = 229;

// ---- The layout sink's callbacks for dialogs ----
// The rectangle is {x, y, width, height} in layout units; each value times
// the resolution factor, truncated to 16 bits, is the pixel value. The
// z-order is never changed.
void PlaceDlgItemScaled(HWND dialog, int id, const uint16_t rect[4]);
// The control's size is kept.
void MoveDlgItemScaled(HWND dialog, int id, uint16_t x, uint16_t y);
// SW_SHOW or SW_HIDE.
void SetDlgItemShown(HWND dialog, int id, bool show);

// ---- Dialog controls and child windows ----
// SW_SHOWNA (shown without activation) or SW_HIDE.
void ShowDlgItem(HWND dialog, int id, bool show);
// Hides every direct child of the window.
void HideChildWindows(HWND window);
// Hides every visible direct child except the input field (id 1002).
void HideChildWindowsExceptInput(HWND window);

// ---- Full-screen dialogs and their menu bar ----
// Sizes the dialog to the whole screen without a menu bar (the shell's
// dialog initialisation with flags 0x14), makes its bar from menu resource
// 102 of AppInstance and remembers the bar's height in its property. The bar,
// or null when the shell refused it (a missing resource, a dead dialog).
HWND CreateFullScreenMenuBar(HWND dialog);
// Full: the shell hides task bar, input-panel button and start icon (0x2A),
// the bar shrinks to nothing and the dialog covers the screen. Not full: the
// three come back (0x15), the bar returns to the screen's bottom at its
// remembered height and the dialog fills the work area above it.
void SetFullScreenMode(HWND dialog, bool full);
// Full: the bar moves to (-1, -1) at 0 x 0. Not full: (0, screen height - h),
// screen width x h with h its remembered height. Neither activates it nor
// changes the z-order.
void PlaceMenuBar(HWND menuBar, bool full);
// Full: (0, 0) at the screen's size. Not full: the work area, its bottom
// kept clear of the menu bar's remembered height. Not repainted.
void SizeWindowForMode(HWND window, bool full);
// True when the dialog's menu bar has a height of 0 or less (none: false).
bool IsMenuBarHidden(HWND dialog);
// True unless preference 229 is 1.
bool ShouldHideMenuBars();
