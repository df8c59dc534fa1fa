// LISTBOX: a single-selection list of text rows with item data, a vertical
// scroll bar and LBN_* notifications (with LBS_NOTIFY) for user changes
// only.
#include <algorithm>
#include <cstring>

#include "platform/controls_internal.h"
#include "platform/scrollbar.h"

namespace {

struct ListBox {
  ctl::ItemList list;
  int rowHeight = 0;
  bool focused = false;
  bool tracking = false;
  bool scrollBar = false;  // WS_VSCROLL asked for (the bar itself comes and goes)
};

int Visible(HWND hwnd, const ListBox* lb) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return std::max(1, static_cast<int>(rc.bottom - rc.top) / std::max(1, lb->rowHeight));
}

void UpdateScroll(HWND hwnd, ListBox* lb) {
  int count = static_cast<int>(lb->list.items.size());
  int visible = Visible(hwnd, lb);
  lb->list.top = std::clamp(lb->list.top, 0, std::max(0, count - visible));
  if (lb->scrollBar) {
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, count - 1),
                  static_cast<UINT>(visible), lb->list.top, 0};
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

void EnsureVisible(HWND hwnd, ListBox* lb, int index) {
  if (index < 0) return;
  int visible = Visible(hwnd, lb);
  if (index < lb->list.top) lb->list.top = index;
  if (index >= lb->list.top + visible) lb->list.top = index - visible + 1;
}

void UserSelect(HWND hwnd, ListBox* lb, int index) {
  if (!lb->list.Valid(index) || index == lb->list.sel) return;
  lb->list.sel = index;
  EnsureVisible(hwnd, lb, index);
  UpdateScroll(hwnd, lb);
  if (ctl::StyleOf(hwnd) & LBS_NOTIFY) ctl::NotifyParent(hwnd, LBN_SELCHANGE);
}

int IndexAt(HWND hwnd, ListBox* lb, int y) {
  (void)hwnd;
  return lb->list.top + y / std::max(1, lb->rowHeight);
}

LRESULT GetText(const ctl::ItemList& list, WPARAM index, LPARAM buffer) {
  if (!list.Valid(static_cast<int>(index))) return LB_ERR;
  const std::u16string& t = list.items[index].text;
  if (buffer) {
    std::memcpy(reinterpret_cast<WCHAR*>(buffer), t.c_str(), (t.size() + 1) * sizeof(WCHAR));
  }
  return static_cast<LRESULT>(t.size());
}

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ListBox* lb = ctl::StateOf<ListBox>(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      auto* st = new ListBox;
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      st->list.sorted = cs && (cs->style & LBS_SORT);
      st->scrollBar = cs && (cs->style & WS_VSCROLL);
      st->rowHeight = ctl::RowHeight();
      ctl::SetState(hwnd, st);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
      delete lb;
      ctl::SetState<ListBox>(hwnd, nullptr);
      return 0;
  }
  if (!lb) return DefWindowProcW(hwnd, msg, wParam, lParam);
  ctl::ItemList& list = lb->list;
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      std::u16string text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
      int at = msg == LB_ADDSTRING ? list.Add(text) : list.Insert(static_cast<int>(static_cast<INT_PTR>(wParam)), text);
      UpdateScroll(hwnd, lb);
      return at;
    }
    case LB_DELETESTRING: {
      int i = static_cast<int>(wParam);
      if (!list.Valid(i)) return LB_ERR;
      list.items.erase(list.items.begin() + i);
      if (list.sel == i) list.sel = -1;
      else if (list.sel > i) --list.sel;
      UpdateScroll(hwnd, lb);
      return static_cast<LRESULT>(list.items.size());
    }
    case LB_RESETCONTENT:
      list.items.clear();
      list.sel = -1;
      list.top = 0;
      UpdateScroll(hwnd, lb);
      return 0;
    case LB_SETCURSEL: {
      // Out of range (or -1) leaves no selection.
      int i = static_cast<int>(static_cast<INT_PTR>(wParam));
      list.sel = list.Valid(i) ? i : -1;
      EnsureVisible(hwnd, lb, list.sel);
      UpdateScroll(hwnd, lb);
      return list.sel < 0 ? LB_ERR : list.sel;
    }
    case LB_GETCURSEL:
      return list.sel;
    case LB_GETSEL:
      return list.Valid(static_cast<int>(wParam)) ? (static_cast<int>(wParam) == list.sel ? 1 : 0) : LB_ERR;
    case LB_GETTEXT:
      return GetText(list, wParam, lParam);
    case LB_GETTEXTLEN:
      return list.Valid(static_cast<int>(wParam)) ? static_cast<LRESULT>(list.items[wParam].text.size()) : LB_ERR;
    case LB_GETCOUNT:
      return static_cast<LRESULT>(list.items.size());
    case LB_GETITEMDATA:
      return list.Valid(static_cast<int>(wParam)) ? list.items[wParam].data : LB_ERR;
    case LB_SETITEMDATA:
      if (!list.Valid(static_cast<int>(wParam))) return LB_ERR;
      list.items[wParam].data = lParam;
      return TRUE;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: {
      if (list.items.empty()) return LB_ERR;
      int found = list.Find(static_cast<int>(static_cast<INT_PTR>(wParam)), lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"",
                            msg == LB_FINDSTRINGEXACT);
      if (found < 0) return LB_ERR;
      if (msg == LB_SELECTSTRING) {
        list.sel = found;
        EnsureVisible(hwnd, lb, found);
        UpdateScroll(hwnd, lb);
      }
      return found;
    }
    case LB_GETTOPINDEX:
      return list.top;
    case LB_SETTOPINDEX:
      if (!list.Valid(static_cast<int>(wParam)) && wParam != 0) return LB_ERR;
      list.top = static_cast<int>(wParam);
      UpdateScroll(hwnd, lb);
      return 0;
    case LB_GETITEMRECT: {
      if (!list.Valid(static_cast<int>(wParam)) || !lParam) return LB_ERR;
      RECT rc;
      GetClientRect(hwnd, &rc);
      int y = (static_cast<int>(wParam) - list.top) * lb->rowHeight;
      *reinterpret_cast<RECT*>(lParam) = RECT{0, y, rc.right, y + lb->rowHeight};
      return 1;
    }
    case LB_SETITEMHEIGHT:
      if (LOWORD(lParam) == 0) return LB_ERR;
      lb->rowHeight = LOWORD(lParam);
      UpdateScroll(hwnd, lb);
      return 0;
    case LB_GETITEMHEIGHT:
      return lb->rowHeight;
    case WM_SIZE:
      UpdateScroll(hwnd, lb);
      return 0;
    case WM_VSCROLL: {
      int visible = Visible(hwnd, lb);
      switch (LOWORD(wParam)) {
        case SB_LINEUP: --list.top; break;
        case SB_LINEDOWN: ++list.top; break;
        case SB_PAGEUP: list.top -= visible; break;
        case SB_PAGEDOWN: list.top += visible; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: list.top = static_cast<SHORT>(HIWORD(wParam)); break;
        case SB_TOP: list.top = 0; break;
        case SB_BOTTOM: list.top = static_cast<int>(list.items.size()); break;
        default: break;
      }
      UpdateScroll(hwnd, lb);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      lb->tracking = true;
      SetCapture(hwnd);
      UserSelect(hwnd, lb, IndexAt(hwnd, lb, static_cast<SHORT>(HIWORD(lParam))));
      return 0;
    }
    case WM_MOUSEMOVE:
      if (lb->tracking) {
        int y = static_cast<SHORT>(HIWORD(lParam));
        RECT rc;
        GetClientRect(hwnd, &rc);
        if (y >= 0 && y < rc.bottom) UserSelect(hwnd, lb, IndexAt(hwnd, lb, y));
      }
      return 0;
    case WM_LBUTTONUP:
      if (lb->tracking) {
        lb->tracking = false;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      if (list.Valid(IndexAt(hwnd, lb, static_cast<SHORT>(HIWORD(lParam)))) && (ctl::StyleOf(hwnd) & LBS_NOTIFY))
        ctl::NotifyParent(hwnd, LBN_DBLCLK);
      return 0;
    case WM_KEYDOWN: {
      int n = static_cast<int>(list.items.size());
      if (n == 0) return 0;
      int visible = Visible(hwnd, lb);
      int to = list.sel;
      switch (wParam) {
        case VK_UP: to = list.sel < 0 ? 0 : list.sel - 1; break;
        case VK_DOWN: to = list.sel < 0 ? 0 : list.sel + 1; break;
        case VK_PRIOR: to = std::max(0, list.sel - visible); break;
        case VK_NEXT: to = list.sel + visible; break;
        case VK_HOME: to = 0; break;
        case VK_END: to = n - 1; break;
        default: return 0;
      }
      UserSelect(hwnd, lb, std::clamp(to, 0, n - 1));
      return 0;
    }
    case WM_CHAR: {
      if (wParam < 32) return 0;
      int found = list.Find(list.sel, std::u16string(1, static_cast<char16_t>(wParam)), false);
      if (found >= 0) UserSelect(hwnd, lb, found);
      return 0;
    }
    case WM_SETFOCUS:
      lb->focused = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      if (ctl::StyleOf(hwnd) & LBS_NOTIFY) ctl::NotifyParent(hwnd, LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      lb->focused = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      if (ctl::StyleOf(hwnd) & LBS_NOTIFY) ctl::NotifyParent(hwnd, LBN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH brush = ctl::ControlColors(hwnd, dc, WM_CTLCOLORLISTBOX);
      ctl::DrawItems(dc, list, rc, lb->rowHeight, brush, GetTextColor(dc), IsWindowEnabled(hwnd) != FALSE);
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace ctl {
void RegisterListBoxClass() { RegisterControlClass(WC_LISTBOXW, &ListBoxProc, true); }
}  // namespace ctl
