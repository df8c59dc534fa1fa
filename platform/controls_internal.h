// Shared helpers of the standard controls (platform/button.cpp,
// static_control.cpp, edit_control.cpp, listbox.cpp, combobox.cpp,
// tab_control.cpp) and the dialog modules.
#pragma once

#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialog_text.h"
#include "platform/message.h"
#include "platform/resources.h"
#include "platform/gdi.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace ctl {

// Per-window state kept in the first extra slot of the control's class.
template <class T>
T* StateOf(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}
template <class T>
void SetState(HWND hwnd, T* state) {
  SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
}

// Registers a control class (one pointer of extra bytes); `dblclks` adds
// CS_DBLCLKS.
void RegisterControlClass(LPCWSTR name, WNDPROC proc, bool dblclks);
// The class registrations of this half (each module adds its own).
void RegisterButtonClass();
void RegisterStaticClass();
void RegisterEditClass();
void RegisterListBoxClass();
void RegisterComboBoxClass();
void RegisterTabControlClass();

// WM_COMMAND (MAKEWPARAM(id, code), hwnd) to the parent.
void NotifyParent(HWND hwnd, int code);
// Puts the default colours for `msg` on the DC, asks the parent and returns
// the brush to fill with (the parent's, or the system one).
HBRUSH ControlColors(HWND hwnd, HDC dc, UINT msg);
// The control's text.
std::u16string TextOf(HWND hwnd);
DWORD StyleOf(HWND hwnd);
// Row height of lists and one-line controls.
int RowHeight();
// A one-pixel frame in a colour.
void Frame(HDC dc, const RECT& r, COLORREF color);
void FillColor(HDC dc, const RECT& r, COLORREF color);
// Draws text with a given colour and transparent background.
void Text(HDC dc, const std::u16string& text, RECT r, UINT format, COLORREF color);

// The rows of a list box or combo box.
struct Item {
  std::u16string text;
  LPARAM data = 0;
};
struct ItemList {
  std::vector<Item> items;
  int sel = -1;
  int top = 0;
  bool sorted = false;
  // Index where the text went; LB_ERR for none.
  int Add(const std::u16string& text);
  int Insert(int index, const std::u16string& text);
  int Find(int after, const std::u16string& prefix, bool exact) const;
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(items.size()); }
};
// Paints rows from `top` into `area` (client coordinates).
void DrawItems(HDC dc, const ItemList& list, RECT area, int rowHeight, HBRUSH background, COLORREF textColor,
               bool enabled);

}  // namespace ctl
