// COMBOBOX (drop-down list): a one-row field showing the selection and a
// list that drops below it. A user choice notifies CBN_DROPDOWN, then
// CBN_SELCHANGE (when the choice differs), CBN_SELENDOK and CBN_CLOSEUP;
// cancelling (tap outside, Escape) CBN_SELENDCANCEL and CBN_CLOSEUP.
// Programmatic changes (CB_SETCURSEL) notify nothing.
#include <algorithm>
#include <cstring>

#include "platform/controls_internal.h"
#include "platform/screen.h"
#include "platform/scrollbar.h"

namespace {

constexpr const WCHAR* kDropClass = u"ComboLBox";

struct Combo {
  ctl::ItemList list;
  int rowHeight = 0;
  int dropHeight = 0;  // window height with the list dropped
  HWND popup = nullptr;
  int hot = -1;  // highlighted row while dropped
  bool focused = false;
  bool closing = false;
  bool sizing = false;
};

int FieldHeight(const Combo* c) { return c->rowHeight + 2; }

HWND ComboOfPopup(HWND popup) { return reinterpret_cast<HWND>(GetWindowLongPtrW(popup, 0)); }

void Close(HWND hwnd, Combo* c, bool accept) {
  if (!c->popup || c->closing) return;
  c->closing = true;
  if (accept && c->list.Valid(c->hot) && c->hot != c->list.sel) {
    c->list.sel = c->hot;
    InvalidateRect(hwnd, nullptr, TRUE);
    ctl::NotifyParent(hwnd, CBN_SELCHANGE);
  }
  ctl::NotifyParent(hwnd, accept ? CBN_SELENDOK : CBN_SELENDCANCEL);
  HWND popup = c->popup;
  c->popup = nullptr;
  if (GetCapture() == popup) ReleaseCapture();
  DestroyWindow(popup);
  c->closing = false;
  InvalidateRect(hwnd, nullptr, TRUE);
  ctl::NotifyParent(hwnd, CBN_CLOSEUP);
}

int VisibleRows(HWND popup, const Combo* c) {
  RECT rc;
  GetClientRect(popup, &rc);
  return std::max(1, static_cast<int>(rc.bottom) / std::max(1, c->rowHeight));
}

void SyncScroll(HWND popup, Combo* c) {
  int visible = VisibleRows(popup, c);
  int n = static_cast<int>(c->list.items.size());
  c->list.top = std::clamp(c->list.top, 0, std::max(0, n - visible));
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, n - 1), static_cast<UINT>(visible),
                c->list.top, 0};
  SetScrollInfo(popup, SB_VERT, &si, TRUE);
  InvalidateRect(popup, nullptr, TRUE);
}

void ShowHot(HWND popup, Combo* c) {
  int visible = VisibleRows(popup, c);
  if (c->hot >= 0 && c->hot < c->list.top) c->list.top = c->hot;
  if (c->hot >= c->list.top + visible) c->list.top = c->hot - visible + 1;
  SyncScroll(popup, c);
}

void Drop(HWND hwnd, Combo* c) {
  if (c->popup) return;
  ctl::NotifyParent(hwnd, CBN_DROPDOWN);  // the owner may refill the list here
  if (!IsWindow(hwnd) || c->popup) return;
  RECT wr;
  GetWindowRect(hwnd, &wr);
  int rows = std::max(1, static_cast<int>(c->list.items.size()));
  int height = std::max(c->rowHeight, c->dropHeight - FieldHeight(c));
  height = std::min(height, rows * c->rowHeight) + 2;
  int screenH = GetSystemMetrics(SM_CYSCREEN);
  int y = wr.bottom;
  if (y + height > screenH && wr.top - height >= 0) y = wr.top - height;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  c->hot = c->list.sel;
  c->list.top = 0;
  c->popup = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kDropClass, u"", WS_POPUP | WS_BORDER, wr.left, y,
                             wr.right - wr.left, height, root, nullptr, nullptr, nullptr);
  if (!c->popup) return;
  SetWindowLongPtrW(c->popup, 0, reinterpret_cast<LONG_PTR>(hwnd));
  ShowHot(c->popup, c);
  ShowWindow(c->popup, SW_SHOWNA);
  SetCapture(c->popup);
  InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT DropProc(HWND popup, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND combo = ComboOfPopup(popup);
  Combo* c = combo ? ctl::StateOf<Combo>(combo) : nullptr;
  if (!c || c->popup != popup) return DefWindowProcW(popup, msg, wParam, lParam);
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: {
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      RECT rc;
      GetClientRect(popup, &rc);
      bool inside = p.x >= 0 && p.y >= 0 && p.x < rc.right && p.y < rc.bottom;
      if (!inside) {
        // The scroll bar beside the rows pages through them; anywhere else cancels.
        RECT wr;
        GetWindowRect(popup, &wr);
        POINT screen = p;
        ClientToScreen(popup, &screen);
        bool onBar = screen.x >= wr.left && screen.x < wr.right && screen.y >= wr.top && screen.y < wr.bottom &&
                     p.x >= rc.right;
        if (msg == WM_LBUTTONDOWN && onBar) {
          c->list.top += (p.y < rc.bottom / 2 ? -1 : 1) * VisibleRows(popup, c);
          SyncScroll(popup, c);
        } else if (msg == WM_LBUTTONDOWN) {
          Close(combo, c, false);
        }
        return 0;
      }
      int row = c->list.top + p.y / std::max(1, c->rowHeight);
      if (c->list.Valid(row) && row != c->hot) {
        c->hot = row;
        InvalidateRect(popup, nullptr, TRUE);
      }
      if (msg == WM_LBUTTONUP && c->list.Valid(row)) Close(combo, c, true);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (!c->closing && reinterpret_cast<HWND>(lParam) != popup) Close(combo, c, false);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(popup, &ps);
      RECT rc;
      GetClientRect(popup, &rc);
      ctl::ItemList shown = c->list;
      shown.sel = c->hot;
      HBRUSH brush = ctl::ControlColors(combo, dc, WM_CTLCOLORLISTBOX);
      ctl::DrawItems(dc, shown, rc, c->rowHeight, brush, GetTextColor(dc), true);
      EndPaint(popup, &ps);
      return 0;
    }
  }
  return DefWindowProcW(popup, msg, wParam, lParam);
}

void PaintField(HWND hwnd, Combo* c) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  bool enabled = IsWindowEnabled(hwnd) != FALSE;
  HBRUSH brush = ctl::ControlColors(hwnd, dc, WM_CTLCOLOREDIT);
  COLORREF color = GetTextColor(dc);
  FillRect(dc, &rc, brush);
  ctl::Frame(dc, rc, GetSysColor(enabled ? COLOR_WINDOWFRAME : COLOR_GRAYTEXT));
  int arrowW = std::min<int>(rc.bottom, rc.right / 2);
  RECT arrow{rc.right - arrowW, 1, rc.right - 1, rc.bottom - 1};
  FillRect(dc, &arrow, GetSysColorBrush(COLOR_BTNFACE));
  int cx = (arrow.left + arrow.right) / 2, cy = (arrow.top + arrow.bottom) / 2, s = std::max(2, arrowW / 5);
  POINT tri[3] = {{cx - s, cy - s / 2}, {cx + s, cy - s / 2}, {cx, cy + s / 2 + 1}};
  HBRUSH black = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  HGDIOBJ oldBrush = SelectObject(dc, black);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, tri, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  RECT tr{2, 1, arrow.left - 1, rc.bottom - 1};
  if (c->focused && !c->popup) {
    FillRect(dc, &tr, GetSysColorBrush(COLOR_HIGHLIGHT));
    color = GetSysColor(COLOR_HIGHLIGHTTEXT);
  }
  if (c->list.Valid(c->list.sel)) {
    RECT t2{tr.left + 2, tr.top, tr.right - 2, tr.bottom};
    ctl::Text(dc, c->list.items[static_cast<size_t>(c->list.sel)].text, t2, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS,
              enabled ? color : GetSysColor(COLOR_GRAYTEXT));
  }
  EndPaint(hwnd, &ps);
}

void KeySelect(HWND hwnd, Combo* c, int to) {
  int n = static_cast<int>(c->list.items.size());
  if (n == 0) return;
  to = std::clamp(to, 0, n - 1);
  if (c->popup) {
    c->hot = to;
    ShowHot(c->popup, c);
  } else if (to != c->list.sel) {
    c->list.sel = to;
    InvalidateRect(hwnd, nullptr, TRUE);
    ctl::NotifyParent(hwnd, CBN_SELCHANGE);
  }
}

LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Combo* c = ctl::StateOf<Combo>(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      auto* st = new Combo;
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      st->list.sorted = cs && (cs->style & CBS_SORT);
      st->rowHeight = ctl::RowHeight();
      st->dropHeight = cs ? cs->cy : 0;
      ctl::SetState(hwnd, st);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
      delete c;
      ctl::SetState<Combo>(hwnd, nullptr);
      return 0;
  }
  if (!c) return DefWindowProcW(hwnd, msg, wParam, lParam);
  ctl::ItemList& list = c->list;
  switch (msg) {
    case WM_DESTROY:
      if (c->popup) {
        c->closing = true;
        DestroyWindow(c->popup);
        c->popup = nullptr;
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (c->popup ? DLGC_WANTMESSAGE : 0);
    case WM_SIZE: {
      // The height given is the dropped height; the window keeps one row.
      RECT wr;
      GetWindowRect(hwnd, &wr);
      int h = wr.bottom - wr.top;
      if (!c->sizing && h != FieldHeight(c)) {
        c->dropHeight = h;
        c->sizing = true;
        SetWindowPos(hwnd, nullptr, 0, 0, wr.right - wr.left, FieldHeight(c), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        c->sizing = false;
      }
      return 0;
    }
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      std::u16string text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
      int at = msg == CB_ADDSTRING ? list.Add(text) : list.Insert(static_cast<int>(static_cast<INT_PTR>(wParam)), text);
      if (c->popup) InvalidateRect(c->popup, nullptr, TRUE);
      return at;
    }
    case CB_DELETESTRING: {
      int i = static_cast<int>(wParam);
      if (!list.Valid(i)) return CB_ERR;
      list.items.erase(list.items.begin() + i);
      if (list.sel == i) list.sel = -1;
      else if (list.sel > i) --list.sel;
      InvalidateRect(hwnd, nullptr, TRUE);
      return static_cast<LRESULT>(list.items.size());
    }
    case CB_RESETCONTENT:
      list.items.clear();
      list.sel = -1;
      c->hot = -1;
      list.top = 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      if (c->popup) InvalidateRect(c->popup, nullptr, TRUE);
      return CB_OKAY;
    case CB_GETCOUNT:
      return static_cast<LRESULT>(list.items.size());
    case CB_SETCURSEL: {
      int i = static_cast<int>(static_cast<INT_PTR>(wParam));
      list.sel = list.Valid(i) ? i : -1;
      c->hot = list.sel;
      InvalidateRect(hwnd, nullptr, TRUE);
      return list.sel < 0 ? CB_ERR : list.sel;
    }
    case CB_GETCURSEL:
      return list.sel;
    case CB_GETLBTEXT:
      if (!list.Valid(static_cast<int>(wParam))) return CB_ERR;
      if (lParam) {
        const std::u16string& t = list.items[wParam].text;
        std::memcpy(reinterpret_cast<WCHAR*>(lParam), t.c_str(), (t.size() + 1) * sizeof(WCHAR));
      }
      return static_cast<LRESULT>(list.items[wParam].text.size());
    case CB_GETLBTEXTLEN:
      return list.Valid(static_cast<int>(wParam)) ? static_cast<LRESULT>(list.items[wParam].text.size()) : CB_ERR;
    case CB_GETITEMDATA:
      return list.Valid(static_cast<int>(wParam)) ? list.items[wParam].data : CB_ERR;
    case CB_SETITEMDATA:
      if (!list.Valid(static_cast<int>(wParam))) return CB_ERR;
      list.items[wParam].data = lParam;
      return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
      if (list.items.empty()) return CB_ERR;
      int found = list.Find(static_cast<int>(static_cast<INT_PTR>(wParam)), lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"",
                            msg == CB_FINDSTRINGEXACT);
      if (found < 0) return CB_ERR;
      if (msg == CB_SELECTSTRING) {
        list.sel = found;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return found;
    }
    case CB_SHOWDROPDOWN:
      if (wParam) Drop(hwnd, c);
      else Close(hwnd, c, false);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return c->popup != nullptr;
    case CB_GETDROPPEDCONTROLRECT:
      if (lParam) {
        RECT wr;
        GetWindowRect(hwnd, &wr);
        wr.bottom = wr.top + std::max(c->dropHeight, FieldHeight(c));
        *reinterpret_cast<RECT*>(lParam) = wr;
      }
      return TRUE;
    case CB_SETITEMHEIGHT:
      if (LOWORD(lParam) == 0) return CB_ERR;
      if (static_cast<INT_PTR>(wParam) >= 0) c->rowHeight = LOWORD(lParam);
      return 0;
    case CB_GETITEMHEIGHT:
      return c->rowHeight;
    case CB_GETTOPINDEX:
      return list.top;
    case CB_SETTOPINDEX:
      list.top = static_cast<int>(wParam);
      return 0;
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      std::u16string t = list.Valid(list.sel) ? list.items[static_cast<size_t>(list.sel)].text : u"";
      size_t n = std::min(t.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(out, t.data(), n * sizeof(WCHAR));
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return list.Valid(list.sel) ? static_cast<LRESULT>(list.items[static_cast<size_t>(list.sel)].text.size()) : 0;
    case WM_LBUTTONDOWN:
      if (GetFocus() != hwnd) SetFocus(hwnd);
      if (c->popup) Close(hwnd, c, false);
      else Drop(hwnd, c);
      return 0;
    case WM_KEYDOWN: {
      int cur = c->popup ? c->hot : list.sel;
      switch (wParam) {
        case VK_UP: KeySelect(hwnd, c, cur < 0 ? 0 : cur - 1); break;
        case VK_DOWN: KeySelect(hwnd, c, cur < 0 ? 0 : cur + 1); break;
        case VK_HOME: KeySelect(hwnd, c, 0); break;
        case VK_END: KeySelect(hwnd, c, static_cast<int>(list.items.size()) - 1); break;
        case VK_RETURN: if (c->popup) Close(hwnd, c, true); break;
        case VK_ESCAPE: if (c->popup) Close(hwnd, c, false); break;
        case VK_F1 + 3: if (c->popup) Close(hwnd, c, true); else Drop(hwnd, c); break;  // F4
        default: break;
      }
      return 0;
    }
    case WM_CHAR: {
      if (wParam < 32) return 0;
      int found = list.Find(c->popup ? c->hot : list.sel, std::u16string(1, static_cast<char16_t>(wParam)), false);
      if (found >= 0) KeySelect(hwnd, c, found);
      return 0;
    }
    case WM_SETFOCUS:
      c->focused = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      ctl::NotifyParent(hwnd, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      c->focused = false;
      if (c->popup) Close(hwnd, c, false);
      InvalidateRect(hwnd, nullptr, TRUE);
      ctl::NotifyParent(hwnd, CBN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      if (!wParam && c->popup) Close(hwnd, c, false);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SHOWWINDOW:
      if (!wParam && c->popup) Close(hwnd, c, false);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintField(hwnd, c);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace ctl {
void RegisterComboBoxClass() {
  RegisterControlClass(WC_COMBOBOXW, &ComboProc, true);
  RegisterControlClass(kDropClass, &DropProc, false);
}
}  // namespace ctl
