// BUTTON: push and default push buttons, check boxes (plain, auto, 3-state),
// radio buttons and group boxes.
#include <algorithm>

#include "platform/controls_internal.h"
#include "platform/screen.h"

namespace {

struct Button {
  UINT check = BST_UNCHECKED;
  bool pushed = false;   // drawn pressed
  bool tracking = false;  // stylus went down on it
  bool focused = false;
};

UINT Kind(HWND hwnd) { return ctl::StyleOf(hwnd) & BS_TYPEMASK; }
bool IsPush(UINT kind) { return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON; }
bool IsRadio(UINT kind) { return kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON; }
bool IsCheck(UINT kind) {
  return kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE || kind == BS_AUTO3STATE;
}

void SetCheck(HWND hwnd, Button* b, UINT check) {
  UINT kind = Kind(hwnd);
  if (!IsCheck(kind) && !IsRadio(kind)) return;
  if (check == BST_INDETERMINATE && kind != BS_3STATE && kind != BS_AUTO3STATE) check = BST_CHECKED;
  if (b->check != check) {
    b->check = check;
    InvalidateRect(hwnd, nullptr, TRUE);
  }
}

// Auto radio buttons: the others of the group are cleared.
void ClearRadioGroup(HWND hwnd) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  // The group runs from the WS_GROUP window at or before this one to the next WS_GROUP.
  std::vector<HWND> siblings;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) siblings.push_back(c);
  auto at = std::find(siblings.begin(), siblings.end(), hwnd);
  if (at == siblings.end()) return;
  size_t i = static_cast<size_t>(at - siblings.begin());
  size_t start = i;
  while (start > 0 && !(ctl::StyleOf(siblings[start]) & WS_GROUP)) --start;
  for (size_t k = start; k < siblings.size(); ++k) {
    if (k > start && (ctl::StyleOf(siblings[k]) & WS_GROUP)) break;
    HWND s = siblings[k];
    if (s == hwnd) continue;
    WCHAR cls[16];
    if (GetClassNameW(s, cls, 16) && std::u16string(cls) == u"BUTTON" &&
        (ctl::StyleOf(s) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
      SendMessageW(s, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

void Click(HWND hwnd, Button* b) {
  switch (Kind(hwnd)) {
    case BS_AUTOCHECKBOX:
      SetCheck(hwnd, b, b->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      break;
    case BS_AUTO3STATE:
      SetCheck(hwnd, b, (b->check + 1) % 3);
      break;
    case BS_AUTORADIOBUTTON:
      SetCheck(hwnd, b, BST_CHECKED);
      ClearRadioGroup(hwnd);
      break;
    default:
      break;
  }
  ctl::NotifyParent(hwnd, BN_CLICKED);
}

void Paint(HWND hwnd, Button* b) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  DWORD style = ctl::StyleOf(hwnd);
  UINT kind = style & BS_TYPEMASK;
  std::u16string text = ctl::TextOf(hwnd);
  HBRUSH brush = ctl::ControlColors(hwnd, dc, IsPush(kind) ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
  COLORREF textColor = GetTextColor(dc);
  bool enabled = IsWindowEnabled(hwnd) != FALSE;
  int pad = ScaleToScreenDpi(3);
  UINT halign = style & BS_CENTER;
  if (IsPush(kind)) {
    FillRect(dc, &rc, brush);
    RECT edge = rc;
    if (kind == BS_DEFPUSHBUTTON || b->focused) {
      ctl::Frame(dc, edge, GetSysColor(COLOR_WINDOWFRAME));
      edge = RECT{edge.left + 1, edge.top + 1, edge.right - 1, edge.bottom - 1};
    }
    DrawEdge(dc, &edge, b->pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT tr{rc.left + pad, rc.top + pad, rc.right - pad, rc.bottom - pad};
    if (b->pushed) tr = RECT{tr.left + 1, tr.top + 1, tr.right + 1, tr.bottom + 1};
    UINT fmt = (halign == BS_LEFT ? DT_LEFT : halign == BS_RIGHT ? DT_RIGHT : DT_CENTER);
    fmt |= (style & BS_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
    ctl::Text(dc, text, tr, fmt, textColor);
  } else if (kind == BS_GROUPBOX) {
    // Only the frame and the label: the controls inside show through.
    int lh = DialogFontLineHeight();
    RECT box{rc.left, rc.top + lh / 2, rc.right, rc.bottom};
    DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
      int w = DialogTextWidth(text.c_str(), static_cast<int>(text.size()));
      RECT tr{rc.left + pad * 2, rc.top, rc.left + pad * 4 + w, rc.top + lh};
      FillRect(dc, &tr, brush);
      tr.left += pad;
      ctl::Text(dc, text, tr, DT_SINGLELINE, textColor);
    }
  } else {
    FillRect(dc, &rc, brush);
    int box = std::min<int>(DialogFontLineHeight(), rc.bottom - rc.top);
    bool leftText = (style & BS_LEFTTEXT) != 0;
    int bx = leftText ? rc.right - box : rc.left;
    RECT br{bx, rc.top + (rc.bottom - rc.top - box) / 2, bx + box, rc.top + (rc.bottom - rc.top - box) / 2 + box};
    RECT inner = br;
    FillRect(dc, &inner, GetSysColorBrush(COLOR_WINDOW));
    ctl::Frame(dc, inner, GetSysColor(enabled ? COLOR_WINDOWFRAME : COLOR_GRAYTEXT));
    int m = std::max(2, box / 4);
    RECT mark{br.left + m, br.top + m, br.right - m, br.bottom - m};
    if (b->check == BST_CHECKED) ctl::FillColor(dc, mark, enabled ? textColor : GetSysColor(COLOR_GRAYTEXT));
    else if (b->check == BST_INDETERMINATE) ctl::FillColor(dc, mark, GetSysColor(COLOR_GRAYTEXT));
    if (b->pushed) InvertRect(dc, &inner);
    RECT tr = leftText ? RECT{rc.left, rc.top, br.left - pad, rc.bottom} : RECT{br.right + pad, rc.top, rc.right, rc.bottom};
    UINT fmt = (style & BS_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
    if (halign == BS_CENTER) fmt |= DT_CENTER;
    else if (halign == BS_RIGHT) fmt |= DT_RIGHT;
    ctl::Text(dc, text, tr, fmt, textColor);
    if (b->focused) ctl::Frame(dc, RECT{tr.left, rc.top, tr.right, rc.bottom}, GetSysColor(COLOR_GRAYTEXT));
  }
  EndPaint(hwnd, &ps);
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Button* b = ctl::StateOf<Button>(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      ctl::SetState(hwnd, new Button);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      delete b;
      ctl::SetState<Button>(hwnd, nullptr);
      return 0;
  }
  if (!b) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_GETDLGCODE: {
      UINT kind = Kind(hwnd);
      if (kind == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (kind == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (kind == BS_GROUPBOX) return DLGC_STATIC;
      if (IsRadio(kind)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      return DLGC_BUTTON;
    }
    case BM_GETCHECK:
      return b->check;
    case BM_SETCHECK:
      SetCheck(hwnd, b, static_cast<UINT>(wParam));
      return 0;
    case BM_GETSTATE:
      return b->check | (b->pushed ? BST_PUSHED : 0u) | (b->focused ? BST_FOCUS : 0u);
    case BM_SETSTATE:
      if (b->pushed != (wParam != 0)) {
        b->pushed = wParam != 0;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case BM_SETSTYLE: {
      DWORD style = (ctl::StyleOf(hwnd) & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFFu);
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(hwnd) && Kind(hwnd) != BS_GROUPBOX) Click(hwnd, b);
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETFOCUS:
      b->focused = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      if (ctl::StyleOf(hwnd) & BS_NOTIFY) ctl::NotifyParent(hwnd, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      b->focused = false;
      if (b->pushed) b->pushed = false;
      b->tracking = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      if (ctl::StyleOf(hwnd) & BS_NOTIFY) ctl::NotifyParent(hwnd, BN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (Kind(hwnd) == BS_GROUPBOX) return 0;
      b->tracking = true;
      b->pushed = true;
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_MOUSEMOVE:
      if (b->tracking) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        bool in = p.x >= rc.left && p.x < rc.right && p.y >= rc.top && p.y < rc.bottom;
        if (in != b->pushed) {
          b->pushed = in;
          InvalidateRect(hwnd, nullptr, TRUE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (b->tracking) {
        bool click = b->pushed;
        b->tracking = false;
        b->pushed = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        InvalidateRect(hwnd, nullptr, TRUE);
        if (click) Click(hwnd, b);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (b->tracking && reinterpret_cast<HWND>(lParam) != hwnd) {
        b->tracking = false;
        b->pushed = false;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && !b->pushed) {
        b->pushed = true;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && b->pushed) {
        b->pushed = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        Click(hwnd, b);
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills
    case WM_PAINT:
      Paint(hwnd, b);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace ctl {
void RegisterButtonClass() { RegisterControlClass(WC_BUTTONW, &ButtonProc, true); }
}  // namespace ctl
