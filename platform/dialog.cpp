// The dialog manager: template lookup and creation, modal loops with
// deferred destruction, the default dialog procedure, keyboard navigation
// and the item helpers.
#include "platform/dialog.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialog_internal.h"
#include "platform/gdi.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/threads.h"

namespace {

constexpr const WCHAR* kDialogClass = u"Dialog";
constexpr int kStateSlot = 24;  // after DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER
// Posted to a dialog by EndDialog from another thread.
constexpr UINT kEndDialogMessage = 0x7FF0;

struct DialogState {
  int templateId = 0;
  bool initDone = false;  // the dialog procedure sees messages from WM_INITDIALOG on
  bool modal = false;
  bool looping = false;    // a modal loop holds this record
  bool destroyed = false;  // the window is gone (loop-held records only)
  volatile BOOL ended = FALSE;
  INT_PTR result = 0;
  HWND focusSave = nullptr;
  int defId = IDOK;
};

DialogState* StateOf(HWND hwnd) {
  WCHAR cls[16];
  if (!GetClassNameW(hwnd, cls, 16) || std::u16string(cls) != kDialogClass) return nullptr;
  return reinterpret_cast<DialogState*>(GetWindowLongPtrW(hwnd, kStateSlot));
}

int BaseX() { return ScaleToScreenDpi(6); }
int BaseY() { return ScaleToScreenDpi(13); }
int DluX(int v) { return v * BaseX() / 4; }
int DluY(int v) { return v * BaseY() / 8; }

bool IsMine(HWND hwnd) { return GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId(); }

void RegisterDialogClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DefDlgProcW;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.lpszClassName = kDialogClass;
  RegisterClassW(&wc);
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
  return out;
}

// Own styles only: tab order is asked for before the dialog is shown.
bool Usable(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(h); }

// The controls in tab order, going into child dialogs (WS_EX_CONTROLPARENT).
void Flatten(HWND parent, std::vector<HWND>* out) {
  for (HWND c : Children(parent)) {
    if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      if (GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) Flatten(c, out);
    } else {
      out->push_back(c);
    }
  }
}

// The direct child of `dialog` (or of a nested control parent) that holds `hwnd`.
HWND ControlOf(HWND dialog, HWND hwnd) {
  while (hwnd && GetParent(hwnd) && GetParent(hwnd) != dialog &&
         !(GetWindowLongW(GetParent(hwnd), GWL_EXSTYLE) & WS_EX_CONTROLPARENT))
    hwnd = GetParent(hwnd);
  return hwnd;
}

UINT DlgCode(HWND hwnd, MSG* msg) {
  return static_cast<UINT>(SendMessageW(hwnd, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg)));
}

void FocusControl(HWND control) {
  if (!control) return;
  SetFocus(control);
  // Tabbing into an edit selects its text.
  if (DlgCode(control, nullptr) & DLGC_HASSETSEL) SendMessageW(control, 0x00B1u /*EM_SETSEL*/, 0, -1);
}

HWND FirstTabItem(HWND dialog) { return GetNextDlgTabItem(dialog, nullptr, FALSE); }

void RestoreFocus(HWND hwnd, DialogState* st) {
  HWND target = st && st->focusSave && IsWindow(st->focusSave) && IsChild(hwnd, st->focusSave) ? st->focusSave
                                                                                                : FirstTabItem(hwnd);
  if (target) SetFocus(target);
}

HBRUSH DefaultColors(HWND hwnd, UINT msg, HDC dc, HWND control) {
  int text = COLOR_WINDOWTEXT, back = COLOR_WINDOW;
  if (msg == WM_CTLCOLORBTN) {
    text = COLOR_BTNTEXT;
    back = COLOR_BTNFACE;
  } else if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORMSGBOX) {
    text = COLOR_STATICTEXT;
    back = COLOR_STATIC;
  }
  if (control && control != hwnd && !IsWindowEnabled(control)) text = COLOR_GRAYTEXT;
  SetTextColor(dc, GetSysColor(text));
  SetBkColor(dc, GetSysColor(back));
  return GetSysColorBrush(back);
}

LRESULT DefaultHandling(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DialogState* st) {
  switch (msg) {
    case WM_ERASEBKGND: {
      auto dc = reinterpret_cast<HDC>(wParam);
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
      if (!brush) brush = GetSysColorBrush(COLOR_STATIC);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, brush);
      return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(DefaultColors(hwnd, msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_CLOSE:
      SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(hwnd, st);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (st && focus && IsChild(hwnd, focus)) st->focusSave = focus;
      } else {
        HWND focus = GetFocus();
        if (!focus || (focus != hwnd && !IsChild(hwnd, focus))) RestoreFocus(hwnd, st);
      }
      return 0;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
      FocusControl(target);
      return 0;
    }
    case DM_GETDEFID:
      return st ? MAKELONG(st->defId, DC_HASDEFID) : 0;
    case DM_SETDEFID: {
      if (!st) return FALSE;
      HWND old = GetDlgItem(hwnd, st->defId);
      st->defId = static_cast<int>(wParam);
      HWND now = GetDlgItem(hwnd, st->defId);
      if (old && old != now && (DlgCode(old, nullptr) & DLGC_DEFPUSHBUTTON)) SendMessageW(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
      if (now && (DlgCode(now, nullptr) & DLGC_UNDEFPUSHBUTTON)) SendMessageW(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
      return TRUE;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_INITDIALOG:
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

RECT PlaceDialog(const DialogTemplate* t, HWND parent, DWORD style) {
  RECT client{0, 0, DluX(t->cx), DluY(t->cy)};
  int border = (style & (WS_BORDER | WS_DLGFRAME)) ? 1 : 0;
  int caption = (style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
  int w = client.right + 2 * border, h = client.bottom + 2 * border + caption;
  int x = DluX(t->x), y = DluY(t->y);
  if (style & WS_CHILD) return RECT{x, y, x + w, y + h};
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (style & DS_CENTER) {
    x = work.left + (work.right - work.left - w) / 2;
    y = work.top + (work.bottom - work.top - h) / 2;
  } else if (parent && !(style & DS_ABSALIGN)) {
    POINT o{0, 0};
    ClientToScreen(parent, &o);
    x += o.x;
    y += o.y;
  } else {
    x += work.left;
    y += work.top;
  }
  x = std::max<int>(0, std::min<int>(x, GetSystemMetrics(SM_CXSCREEN) - w));
  y = std::max<int>(0, std::min<int>(y, GetSystemMetrics(SM_CYSCREEN) - h));
  return RECT{x, y, x + w, y + h};
}

HWND CreateDialogCore(const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param, bool modal,
                      DialogState** out, bool* focusFirst) {
  if (!t) return nullptr;
  RegisterStandardControls();
  RegisterDialogClass();
  auto* st = new DialogState;
  st->templateId = t->id;
  st->modal = modal;
  DWORD style = t->style & ~WS_VISIBLE;
  DWORD exStyle = t->exStyle;
  if (style & WS_CHILD) {
    style |= WS_CLIPSIBLINGS;
    exStyle |= WS_EX_CONTROLPARENT;
  }
  if (style & DS_CONTROL) exStyle |= WS_EX_CONTROLPARENT;
  RECT r = PlaceDialog(t, parent, style);
  HWND hwnd = CreateWindowExW(exStyle, kDialogClass, t->caption ? t->caption : u"", style, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, parent, nullptr, nullptr, st);
  if (!hwnd) {
    delete st;
    return nullptr;
  }
  std::vector<HWND> groupBoxes;
  for (int i = 0; i < t->itemCount; ++i) {
    const DialogItemTemplate& it = t->items[i];
    int x = DluX(it.x), y = DluY(it.y), w = DluX(it.cx), h = DluY(it.cy);
    HWND c = CreateWindowExW(it.exStyle, it.className, it.text ? it.text : u"", it.style | WS_CHILD, x, y, w, h, hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(it.id)), nullptr, nullptr);
    if (!c) {
      DestroyWindow(hwnd);  // a control that cannot be made fails the dialog
      return nullptr;
    }
    groupBoxes.push_back(c);
  }
  // Group boxes go under the controls they frame, which then get the taps.
  for (HWND c : groupBoxes) {
    WCHAR cls[16];
    if (GetClassNameW(c, cls, 16) && std::u16string(cls) == WC_BUTTONW &&
        (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
      SetWindowPos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  st->initDone = true;
  SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  if (modal) st->looping = true;  // from here the caller owns the record's life
  if (out) *out = st;
  HWND first = FirstTabItem(hwnd);
  LRESULT init = SendMessageW(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(hwnd)) return nullptr;  // (a modal record is then freed by the caller)
  *focusFirst = init != 0;
  return hwnd;
}

}  // namespace

void RegisterDialogTemplate(const DialogTemplate* dialogTemplate) {
  if (!dialogTemplate || dialogTemplate->id <= 0 || dialogTemplate->id > 0xFFFF) return;
  RegisterResource(RT_DIALOG, static_cast<WORD>(dialogTemplate->id), dialogTemplate, sizeof(DialogTemplate));
}

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, LPCWSTR name) {
  HRSRC res = FindResourceW(instance, name, RT_DIALOG);
  if (!res || SizeofResource(instance, res) != sizeof(DialogTemplate)) return nullptr;
  return static_cast<const DialogTemplate*>(LockResource(LoadResource(instance, res)));
}

LONG GetDialogBaseUnits() { return MAKELONG(BaseX(), BaseY()); }

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  if (!rect || (dialog && !IsWindow(dialog))) return FALSE;
  *rect = RECT{DluX(rect->left), DluY(rect->top), DluX(rect->right), DluY(rect->bottom)};
  return TRUE;
}

HWND CreateDialogIndirectParamW(HINSTANCE, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param) {
  DialogState* st = nullptr;
  bool focusFirst = false;
  HWND hwnd = CreateDialogCore(dialogTemplate, parent, proc, param, false, &st, &focusFirst);
  if (!hwnd) return nullptr;
  if (dialogTemplate->style & WS_VISIBLE) {
    ShowWindow(hwnd, SW_SHOW);
    if (focusFirst && !(dialogTemplate->style & WS_CHILD)) FocusControl(FirstTabItem(hwnd));
  }
  dlg::AutomationDialogCreated(hwnd, dialogTemplate->id);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  return CreateDialogIndirectParamW(instance, FindDialogTemplate(instance, templateName), parent, proc, param);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE, const DialogTemplate* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
  if (!dialogTemplate) return -1;
  if (owner && !IsWindow(owner)) owner = nullptr;
  if (owner) owner = GetAncestor(owner, GA_ROOT);
  DialogState* st = nullptr;
  bool focusFirst = false;
  // A modal dialog is a top-level window whatever its template says.
  DialogTemplate t = *dialogTemplate;
  t.style = (t.style & ~WS_CHILD) | WS_POPUP;
  HWND hwnd = CreateDialogCore(&t, owner, proc, param, true, &st, &focusFirst);
  if (!hwnd) {
    if (st && st->destroyed) delete st;  // destroyed during WM_INITDIALOG
    return -1;
  }
  bool disable = owner && IsMine(owner) && IsWindowEnabled(owner);
  if (disable) EnableWindow(owner, FALSE);
  if (!st->ended) {
    ShowWindow(hwnd, SW_SHOW);
    if (dialogTemplate->style & DS_SETFOREGROUND) SetForegroundWindow(hwnd);
    if (focusFirst) FocusControl(FirstTabItem(hwnd));
    UpdateWindow(hwnd);
  }
  // Scripts drive the dialog as the user would see it: shown, before its loop.
  if (IsWindow(hwnd)) dlg::AutomationDialogCreated(hwnd, t.id);
  RunMessageLoopUntil(&st->ended, [hwnd](MSG* m) { return IsWindow(hwnd) && IsDialogMessageW(hwnd, m); });
  INT_PTR result = st->result;
  if (disable && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (!st->destroyed) {
    st->looping = false;  // WM_NCDESTROY frees it now
    DestroyWindow(hwnd);
  } else {
    delete st;
  }
  return result;
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  return DialogBoxIndirectParamW(instance, FindDialogTemplate(instance, templateName), owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  if (!IsWindow(dialog)) return FALSE;
  if (!IsMine(dialog)) return PostMessageW(dialog, kEndDialogMessage, 0, static_cast<LPARAM>(result));
  DialogState* st = StateOf(dialog);
  if (!st || !st->modal) return FALSE;
  if (!st->ended) {
    st->result = result;
    st->ended = TRUE;
  }
  return TRUE;
}

LRESULT DefDlgProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DialogState* st = reinterpret_cast<DialogState*>(GetWindowLongPtrW(hwnd, kStateSlot));
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    if (cs) SetWindowLongPtrW(hwnd, kStateSlot, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (msg == kEndDialogMessage) {
    EndDialog(hwnd, static_cast<INT_PTR>(lParam));
    return 0;
  }
  LRESULT answer = 0;
  bool handled = false;
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hwnd, DWLP_DLGPROC));
  if (st && st->initDone && proc) {
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
    INT_PTR r = proc(hwnd, msg, wParam, lParam);
    if (r) {
      handled = true;
      switch (msg) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_INITDIALOG:
          answer = r;
          break;
        default:
          answer = IsWindow(hwnd) ? GetWindowLongPtrW(hwnd, DWLP_MSGRESULT) : 0;
      }
    }
  }
  if (msg == WM_DESTROY) dlg::AutomationDialogDestroyed(hwnd);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, kStateSlot, 0);
    if (st) {
      if (st->looping) {
        st->destroyed = true;
        st->ended = TRUE;
      } else {
        delete st;
      }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (handled) return answer;
  if (!IsWindow(hwnd)) return 0;
  return DefaultHandling(hwnd, msg, wParam, lParam, st);
}

// ---- Keyboard navigation ----

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> all;
  Flatten(dialog, &all);
  std::vector<HWND> stops;
  for (HWND h : all)
    if (Usable(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP)) stops.push_back(h);
  if (stops.empty()) return nullptr;
  HWND from = control ? ControlOf(dialog, control) : nullptr;
  auto it = std::find(all.begin(), all.end(), from);
  if (it == all.end()) return previous ? stops.back() : stops.front();
  size_t pos = static_cast<size_t>(it - all.begin());
  size_t n = all.size();
  for (size_t k = 1; k <= n; ++k) {
    HWND h = all[(previous ? pos + n - k : pos + k) % n];
    if (Usable(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP)) return h;
  }
  return from;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  if (!control) return GetNextDlgTabItem(dialog, nullptr, previous);
  HWND c = ControlOf(dialog, control);
  HWND parent = GetParent(c);
  std::vector<HWND> sib = Children(parent);
  auto it = std::find(sib.begin(), sib.end(), c);
  if (it == sib.end()) return c;
  size_t i = static_cast<size_t>(it - sib.begin());
  size_t start = i;
  while (start > 0 && !(GetWindowLongW(sib[start], GWL_STYLE) & WS_GROUP)) --start;
  size_t end = i + 1;
  while (end < sib.size() && !(GetWindowLongW(sib[end], GWL_STYLE) & WS_GROUP)) ++end;
  size_t n = end - start;
  for (size_t k = 1; k < n; ++k) {
    size_t j = start + (previous ? (i - start + n - k) % n : (i - start + k) % n);
    if (Usable(sib[j])) return sib[j];
  }
  return c;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
  if (!msg || !dialog || !IsWindow(dialog)) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) {
    UINT code = DlgCode(msg->hwnd, msg);
    bool wantsAll = (code & DLGC_WANTMESSAGE) != 0;
    UINT key = static_cast<UINT>(msg->wParam);
    if (msg->message == WM_CHAR) {
      // Characters of the keys the dialog takes never reach a control that did not ask.
      if (!wantsAll && ((key == u'\t' && !(code & DLGC_WANTTAB)) || key == u'\r' || key == 0x1B) &&
          !(code & DLGC_WANTCHARS && key != u'\t' && key != u'\r' && key != 0x1B))
        return TRUE;
    } else if (!wantsAll) {
      switch (key) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          FocusControl(GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0));
          return TRUE;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
          if (code & DLGC_WANTARROWS) break;
          HWND next = GetNextDlgGroupItem(dialog, GetFocus() ? GetFocus() : msg->hwnd, key == VK_LEFT || key == VK_UP);
          if (next && next != GetFocus()) {
            SetFocus(next);
            if ((DlgCode(next, nullptr) & DLGC_RADIOBUTTON) &&
                (GetWindowLongW(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
              SendMessageW(next, BM_CLICK, 0, 0);
          }
          return TRUE;
        }
        case VK_RETURN: {
          HWND focus = GetFocus();
          if (focus && IsChild(dialog, focus) && (DlgCode(focus, nullptr) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            SendMessageW(focus, BM_CLICK, 0, 0);
            return TRUE;
          }
          LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
          int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
          HWND button = GetDlgItem(dialog, id);
          if (!button || IsWindowEnabled(button))
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
          return TRUE;
        }
        case VK_ESCAPE:
          SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
          return TRUE;
        default:
          break;
      }
    }
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}

// ---- Items ----

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageW(item, msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextW(item, text ? text : u"") : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int size) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (text && size > 0) text[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(item, text, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  std::string s = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
  std::u16string w(s.begin(), s.end());
  return SetDlgItemTextW(dialog, id, w.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  WCHAR buf[64];
  if (!GetDlgItem(dialog, id)) return 0;
  GetDlgItemTextW(dialog, id, buf, 64);
  const WCHAR* p = buf;
  while (*p == u' ') ++p;
  bool neg = false;
  if (*p == u'-' && isSigned) {
    neg = true;
    ++p;
  } else if (*p == u'+') {
    ++p;
  }
  if (*p < u'0' || *p > u'9') return 0;
  unsigned long long v = 0;
  while (*p >= u'0' && *p <= u'9') {
    v = v * 10 + static_cast<unsigned>(*p - u'0');
    if (v > 0xFFFFFFFFull) return 0;
    ++p;
  }
  while (*p == u' ') ++p;
  if (*p) return 0;
  if (isSigned && (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull)) return 0;
  if (translated) *translated = TRUE;
  return neg ? static_cast<UINT>(-static_cast<long long>(v)) : static_cast<UINT>(v);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return FALSE;
  SendMessageW(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  bool any = false;
  for (int id = first; id <= last; ++id) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) continue;
    any = true;
    SendMessageW(item, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return any ? TRUE : FALSE;
}

int GetDialogTemplateId(HWND dialog) {
  DialogState* st = StateOf(dialog);
  return st ? st->templateId : 0;
}
