// SysTabControl32: tabs of equal share of the width (at least as wide as
// their label), drawn as etched cells; the selected one is raised.
#include "platform/tab_control.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/controls_internal.h"
#include "platform/message.h"
#include "platform/screen.h"

namespace {

struct Tab {
  std::u16string text;
  LPARAM param = 0;
  int image = -1;
};

struct TabControl {
  std::vector<Tab> tabs;
  int sel = -1;
  int focus = -1;
};

bool Bottom(HWND hwnd) { return (ctl::StyleOf(hwnd) & TCS_BOTTOM) != 0; }

RECT StripRect(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  int h = TabStripHeight();
  return Bottom(hwnd) ? RECT{0, rc.bottom - h, rc.right, rc.bottom} : RECT{0, 0, rc.right, h};
}

RECT ItemRect(HWND hwnd, const TabControl* t, int index) {
  RECT strip = StripRect(hwnd);
  int n = static_cast<int>(t->tabs.size());
  int pad = ScaleToScreenDpi(6);
  int x = strip.left;
  for (int i = 0; i < n; ++i) {
    int w = DialogTextWidth(t->tabs[static_cast<size_t>(i)].text.c_str(), -1) + 2 * pad;
    if (i == index) return RECT{x, strip.top, x + w, strip.bottom};
    x += w;
  }
  return RECT{0, 0, 0, 0};
}

int HitTest(HWND hwnd, const TabControl* t, POINT p) {
  for (int i = 0; i < static_cast<int>(t->tabs.size()); ++i) {
    RECT r = ItemRect(hwnd, t, i);
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return i;
  }
  return -1;
}

LRESULT Notify(HWND hwnd, UINT code) {
  NMHDR h{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), code};
  HWND parent = GetParent(hwnd);
  return parent ? SendNotify(parent, &h) : 0;
}

void Paint(HWND hwnd, TabControl* t) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  HBRUSH brush = ctl::ControlColors(hwnd, dc, WM_CTLCOLORSTATIC);
  COLORREF color = GetTextColor(dc);
  RECT strip = StripRect(hwnd);
  FillRect(dc, &strip, brush);
  bool bottom = Bottom(hwnd);
  for (int i = 0; i < static_cast<int>(t->tabs.size()); ++i) {
    RECT r = ItemRect(hwnd, t, i);
    if (i == t->sel) FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    RECT e = r;
    DrawEdge(dc, &e, i == t->sel ? EDGE_RAISED : EDGE_ETCHED, bottom ? (BF_LEFT | BF_RIGHT | BF_BOTTOM) : (BF_LEFT | BF_RIGHT | BF_TOP));
    ctl::Text(dc, t->tabs[static_cast<size_t>(i)].text, r, DT_SINGLELINE | DT_CENTER | DT_VCENTER, color);
  }
  // The line between the strip and the page area.
  int y = bottom ? strip.top : strip.bottom - 1;
  ctl::FillColor(dc, RECT{0, y, rc.right, y + 1}, GetSysColor(COLOR_BTNSHADOW));
  EndPaint(hwnd, &ps);
}

LRESULT TabProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TabControl* t = ctl::StateOf<TabControl>(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      ctl::SetState(hwnd, new TabControl);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      delete t;
      ctl::SetState<TabControl>(hwnd, nullptr);
      return 0;
  }
  if (!t) return DefWindowProcW(hwnd, msg, wParam, lParam);
  int n = static_cast<int>(t->tabs.size());
  switch (msg) {
    case TCM_GETITEMCOUNT:
      return n;
    case TCM_INSERTITEMW: {
      auto* item = reinterpret_cast<const TCITEMW*>(lParam);
      if (!item) return -1;
      int at = std::clamp(static_cast<int>(wParam), 0, n);
      Tab tab;
      if ((item->mask & TCIF_TEXT) && item->pszText) tab.text = item->pszText;
      if (item->mask & TCIF_PARAM) tab.param = item->lParam;
      if (item->mask & TCIF_IMAGE) tab.image = item->iImage;
      t->tabs.insert(t->tabs.begin() + at, tab);
      if (t->sel >= at) ++t->sel;
      InvalidateRect(hwnd, nullptr, TRUE);
      return at;
    }
    case TCM_SETITEMW:
    case TCM_GETITEMW: {
      auto* item = reinterpret_cast<TCITEMW*>(lParam);
      int i = static_cast<int>(wParam);
      if (!item || i < 0 || i >= n) return FALSE;
      Tab& tab = t->tabs[static_cast<size_t>(i)];
      if (msg == TCM_SETITEMW) {
        if ((item->mask & TCIF_TEXT) && item->pszText) tab.text = item->pszText;
        if (item->mask & TCIF_PARAM) tab.param = item->lParam;
        if (item->mask & TCIF_IMAGE) tab.image = item->iImage;
        InvalidateRect(hwnd, nullptr, TRUE);
      } else {
        if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
          size_t k = std::min(tab.text.size(), static_cast<size_t>(item->cchTextMax) - 1);
          std::memcpy(item->pszText, tab.text.data(), k * sizeof(WCHAR));
          item->pszText[k] = 0;
        }
        if (item->mask & TCIF_PARAM) item->lParam = tab.param;
        if (item->mask & TCIF_IMAGE) item->iImage = tab.image;
      }
      return TRUE;
    }
    case TCM_DELETEITEM: {
      int i = static_cast<int>(wParam);
      if (i < 0 || i >= n) return FALSE;
      t->tabs.erase(t->tabs.begin() + i);
      if (t->sel == i) t->sel = -1;
      else if (t->sel > i) --t->sel;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_DELETEALLITEMS:
      t->tabs.clear();
      t->sel = -1;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case TCM_GETCURSEL:
      return t->sel;
    case TCM_SETCURSEL: {
      int i = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (i < 0 || i >= n) return -1;
      int old = t->sel;
      t->sel = i;
      InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case TCM_GETCURFOCUS:
      return t->focus >= 0 ? t->focus : t->sel;
    case TCM_SETCURFOCUS:
      t->focus = static_cast<int>(wParam);
      return 0;
    case TCM_GETITEMRECT: {
      int i = static_cast<int>(wParam);
      if (i < 0 || i >= n || !lParam) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = ItemRect(hwnd, t, i);
      return TRUE;
    }
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
      if (!info) return -1;
      int i = HitTest(hwnd, t, info->pt);
      info->flags = i < 0 ? TCHT_NOWHERE : TCHT_ONITEM;
      return i;
    }
    case TCM_ADJUSTRECT: {
      // wParam FALSE: window rect -> display area; TRUE: the reverse.
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return 0;
      int h = TabStripHeight();
      if (Bottom(hwnd)) r->bottom += wParam ? h : -h;
      else r->top += wParam ? -h : h;
      return 0;
    }
    case WM_LBUTTONDOWN: {
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      int i = HitTest(hwnd, t, p);
      if (i < 0 || i == t->sel) return 0;
      if (Notify(hwnd, TCN_SELCHANGING)) return 0;
      t->sel = i;
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, TCN_SELCHANGE);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      if ((wParam != VK_LEFT && wParam != VK_RIGHT) || n == 0) return 0;
      int i = std::clamp(t->sel + (wParam == VK_LEFT ? -1 : 1), 0, n - 1);
      if (i == t->sel || Notify(hwnd, TCN_SELCHANGING)) return 0;
      t->sel = i;
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, TCN_SELCHANGE);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(hwnd, t);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int TabStripHeight() { return DialogFontLineHeight() + ScaleToScreenDpi(8); }

namespace ctl {
void RegisterTabControlClass() { RegisterControlClass(WC_TABCONTROLW, &TabProc, false); }
}  // namespace ctl
