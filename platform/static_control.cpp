// STATIC: text labels (left, centred, right, no word wrap), plain
// rectangles, and SS_NOTIFY clicks.
#include "platform/controls_internal.h"

namespace {

struct Static {
  bool down = false;
};

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  DWORD style = ctl::StyleOf(hwnd);
  UINT kind = style & SS_TYPEMASK;
  HBRUSH brush = ctl::ControlColors(hwnd, dc, WM_CTLCOLORSTATIC);
  if (kind == SS_BLACKRECT || kind == SS_GRAYRECT || kind == SS_WHITERECT) {
    int color = kind == SS_BLACKRECT ? COLOR_WINDOWFRAME : kind == SS_GRAYRECT ? COLOR_BTNSHADOW : COLOR_WINDOW;
    FillRect(dc, &rc, GetSysColorBrush(color));
  } else {
    FillRect(dc, &rc, brush);
    UINT fmt = kind == SS_CENTER ? DT_CENTER : kind == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    fmt |= kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
    if (style & SS_CENTERIMAGE) fmt = (fmt & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    ctl::Text(dc, ctl::TextOf(hwnd), rc, fmt, GetTextColor(dc));
  }
  EndPaint(hwnd, &ps);
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Static* s = ctl::StateOf<Static>(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      ctl::SetState(hwnd, new Static);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      delete s;
      ctl::SetState<Static>(hwnd, nullptr);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
      if (s) s->down = true;
      return 0;
    case WM_LBUTTONUP:
      if (s && s->down) {
        s->down = false;
        if (ctl::StyleOf(hwnd) & SS_NOTIFY) ctl::NotifyParent(hwnd, STN_CLICKED);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      if (ctl::StyleOf(hwnd) & SS_NOTIFY) ctl::NotifyParent(hwnd, STN_DBLCLK);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace ctl {
void RegisterStaticClass() { RegisterControlClass(WC_STATICW, &StaticProc, true); }
}  // namespace ctl
