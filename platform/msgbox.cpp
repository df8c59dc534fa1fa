// MessageBoxW: a built-in dialog laid out in pixels from the text.
#include "platform/msgbox.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/dialog_internal.h"
#include "platform/dialog_text.h"
#include "platform/paint.h"
#include "platform/screen.h"

namespace {

constexpr UINT kScriptAnswer = WM_USER + 0x100;

struct Box {
  std::u16string text;
  std::u16string caption;
  UINT type = 0;
  std::vector<int> buttons;
  bool scripted = false;
  int scriptAnswer = 0;
  RECT icon{};
};

const WCHAR* ButtonText(int id) {
  switch (id) {
    case IDOK: return u"OK";
    case IDCANCEL: return u"Cancel";
    case IDYES: return u"Yes";
    case IDNO: return u"No";
    case IDABORT: return u"Abort";
    case IDRETRY: return u"Retry";
    case IDIGNORE: return u"Ignore";
  }
  return u"";
}

std::vector<int> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
  }
}

void Layout(HWND hwnd, Box* box) {
  int margin = ScaleToScreenDpi(8);
  int screenW = GetSystemMetrics(SM_CXSCREEN);
  int width = screenW - 2 * ScaleToScreenDpi(12);
  bool hasIcon = (box->type & MB_ICONMASK) != 0;
  int iconSize = hasIcon ? ScaleToScreenDpi(24) : 0;
  int textLeft = margin + (hasIcon ? iconSize + margin : 0);
  RECT tr{textLeft, margin, width - margin, margin};
  DrawTextW(nullptr, box->text.c_str(), -1, &tr, DT_CALCRECT | DT_WORDBREAK);
  tr.right = width - margin;
  int textBottom = std::max<int>(tr.bottom, margin + iconSize);
  box->icon = RECT{margin, margin, margin + iconSize, margin + iconSize};
  int bh = DialogFontLineHeight() + ScaleToScreenDpi(10);
  int bw = ScaleToScreenDpi(64);
  int gap = ScaleToScreenDpi(6);
  int n = static_cast<int>(box->buttons.size());
  int total = n * bw + (n - 1) * gap;
  int by = textBottom + margin;
  int clientH = by + bh + margin;
  int defIndex = static_cast<int>((box->type & MB_DEFMASK) >> 8);
  if (defIndex >= n) defIndex = 0;
  HWND text = CreateWindowExW(0, WC_STATICW, box->text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, tr.left, tr.top,
                              tr.right - tr.left, tr.bottom - tr.top, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xFFFF)),
                              nullptr, nullptr);
  (void)text;
  int x = (width - total) / 2;
  for (int i = 0; i < n; ++i) {
    int id = box->buttons[static_cast<size_t>(i)];
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    CreateWindowExW(0, WC_BUTTONW, ButtonText(id), style, x, by, bw, bh, hwnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    x += bw + gap;
  }
  SendMessageW(hwnd, DM_SETDEFID, static_cast<WPARAM>(box->buttons[static_cast<size_t>(defIndex)]), 0);
  RECT wr;
  GetWindowRect(hwnd, &wr);
  RECT cr;
  GetClientRect(hwnd, &cr);
  int extraW = (wr.right - wr.left) - cr.right, extraH = (wr.bottom - wr.top) - cr.bottom;
  int w = width + extraW, h = clientH + extraH;
  int screenH = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(hwnd, nullptr, (screenW - w) / 2, std::max(0, (screenH - h) / 2), w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  SetFocus(GetDlgItem(hwnd, box->buttons[static_cast<size_t>(defIndex)]));
}

void PaintIcon(HWND hwnd, Box* box) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  UINT icon = box->type & MB_ICONMASK;
  if (icon) {
    COLORREF color = icon == MB_ICONHAND ? RGB(200, 0, 0) : icon == MB_ICONEXCLAMATION ? RGB(230, 170, 0) : RGB(0, 80, 200);
    const WCHAR* mark = icon == MB_ICONHAND ? u"X" : icon == MB_ICONQUESTION ? u"?" : icon == MB_ICONEXCLAMATION ? u"!" : u"i";
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &box->icon, brush);
    DeleteObject(brush);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT r = box->icon;
    DrawTextW(dc, mark, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
  EndPaint(hwnd, &ps);
}

INT_PTR BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Box* box = reinterpret_cast<Box*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      box = reinterpret_cast<Box*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      Layout(hwnd, box);
      if (box->scripted) PostMessageW(hwnd, kScriptAnswer, 0, 0);
      return FALSE;  // Layout put the focus on the default button
    case kScriptAnswer:
      EndDialog(hwnd, box->scriptAnswer);
      return TRUE;
    case WM_PAINT:
      PaintIcon(hwnd, box);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      bool has = std::find(box->buttons.begin(), box->buttons.end(), id) != box->buttons.end();
      if (id == IDCANCEL && !has && box->buttons.size() == 1 && box->buttons[0] == IDOK) id = IDOK, has = true;
      if (has) EndDialog(hwnd, id);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  Box box;
  box.text = text ? text : u"";
  box.caption = caption ? caption : u"Error";
  box.type = type;
  box.buttons = ButtonsOf(type);
  box.scripted = dlg::AutomationMessageBoxAnswer(box.text, box.caption, type, &box.scriptAnswer);
  DialogTemplate t{dlg::kMessageBoxTemplateId,
                   box.caption.c_str(),
                   WS_POPUP | WS_CAPTION | DS_CENTER | DS_MODALFRAME | ((type & MB_SETFOREGROUND) ? DS_SETFOREGROUND : 0u),
                   (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0u,
                   0, 0, 100, 40, nullptr, 0};
  if (owner && !IsWindow(owner)) owner = nullptr;
  INT_PTR r = DialogBoxIndirectParamW(nullptr, &t, owner, &BoxProc, reinterpret_cast<LPARAM>(&box));
  int result = r < 0 ? 0 : static_cast<int>(r);
  dlg::AutomationMessageBoxResult(box.text, box.caption, type, result, box.scripted);
  return result;
}
