#include "platform/shell.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/controls.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/menu_text.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/resources.h"
#include "platform/screen.h"
#include "platform/treeview.h"

namespace {

// Tree views and date pickers in dialog templates are made by class name: the controls'
// registration makes their class too. (Every program with dialogs uses the
// shell, so this file is always linked in.)
const bool kControlsAdded = [] {
  AddControlRegistrar(&RegisterTreeViewClass);
  AddControlRegistrar(&RegisterDateTimeClass);
  return true;
}();

struct BarEntry {
  HWND parent;
  HWND bar;
};
struct DoneEntry {
  HWND dialog;
  HWND button;
};
struct FullScreenEntry {
  HWND hwnd;
  DWORD hidden;
};
struct TrayEntry {
  CLSID clsid;
  DWORD id;
  HWND icon;
};

struct ShellState {
  std::mutex mutex;
  std::vector<BarEntry> bars;
  std::vector<DoneEntry> doneButtons;
  std::vector<FullScreenEntry> fullScreen;
  std::vector<ShellNotification> notifications;
  std::vector<TrayEntry> tray;
  HWND appKeys[16] = {};
  std::vector<ShellCall> calls;
};

ShellState& St() {
  static auto* s = new ShellState;
  return *s;
}

void Record(const char* name, HWND hwnd, LONG_PTR value) {
  std::lock_guard<std::mutex> lk(St().mutex);
  auto& calls = St().calls;
  if (calls.size() >= 4096) calls.erase(calls.begin(), calls.begin() + 1024);  // a long run keeps the recent ones
  calls.push_back(ShellCall{name, hwnd, value});
}

// ---- Menu bar window ----

struct Bar {
  HWND parent;
  HMENU menu;  // null for an empty bar
  int pressed = -1;
};

const WCHAR* kBarClass = u"MenuBarClass";
const WCHAR* kDoneClass = u"DoneButtonClass";
const WCHAR* kTrayClass = u"TrayIconClass";

int DoneWidth() { return ScaleToScreenDpi(36); }

Bar* BarOf(HWND hwnd) { return reinterpret_cast<Bar*>(GetWindowLongPtrW(hwnd, GWL_USERDATA)); }

int KeyCount(const Bar* b) { return b && b->menu ? std::max(0, GetMenuItemCount(b->menu)) : 0; }

RECT KeyRect(HWND hwnd, int count, int index) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  int w = rc.right / std::max(1, count);
  RECT r{index * w, 0, index == count - 1 ? rc.right : (index + 1) * w, rc.bottom};
  return r;
}

int KeyAt(HWND hwnd, const Bar* b, int x) {
  int n = KeyCount(b);
  for (int i = 0; i < n; ++i) {
    RECT r = KeyRect(hwnd, n, i);
    if (x >= r.left && x < r.right) return i;
  }
  return -1;
}

void PressKey(HWND hwnd, int index) {
  Bar* b = BarOf(hwnd);
  int n = KeyCount(b);
  if (!b || index < 0 || index >= n) return;
  HWND parent = b->parent;
  HMENU sub = GetSubMenu(b->menu, index);
  if (!sub) {
    UINT id = GetMenuItemID(b->menu, index);
    UINT state = GetMenuState(b->menu, static_cast<UINT>(index), MF_BYPOSITION);
    if (id != 0xFFFFFFFFu && !(state & (MF_GRAYED | MF_DISABLED)))
      PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return;
  }
  RECT key = KeyRect(hwnd, n, index);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&key), 2);
  TPMPARAMS params{sizeof(TPMPARAMS), key};
  // The last of several keys sits on the right: its menu opens leftwards.
  bool right = n > 1 && index == n - 1;
  UINT flags = TPM_BOTTOMALIGN | TPM_VERTICAL | (right ? TPM_RIGHTALIGN : TPM_LEFTALIGN);
  TrackPopupMenuEx(sub, flags, right ? key.right : key.left, key.top, parent, &params);
}

LRESULT BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_ACTIVECAPTION));
      Bar* b = BarOf(hwnd);
      int n = KeyCount(b);
      for (int i = 0; i < n; ++i) {
        RECT r = KeyRect(hwnd, n, i);
        if (i == b->pressed) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        WCHAR text[128] = {};
        GetMenuStringW(b->menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        int w = MenuTextWidth(text);
        MenuDrawText(dc, r.left + (r.right - r.left - w) / 2, (rc.bottom - MenuTextHeight()) / 2, text,
                     GetSysColor(COLOR_CAPTIONTEXT));
        if (i > 0) {
          RECT sep{r.left, rc.bottom / 4, r.left + 1, rc.bottom * 3 / 4};
          FillRect(dc, &sep, GetSysColorBrush(COLOR_CAPTIONTEXT));
        }
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: {
      Bar* b = BarOf(hwnd);
      if (!b) return 0;
      b->pressed = KeyAt(hwnd, b, static_cast<SHORT>(LOWORD(lParam)));
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      Bar* b = BarOf(hwnd);
      if (GetCapture() == hwnd) ReleaseCapture();
      if (!b) return 0;
      int key = KeyAt(hwnd, b, static_cast<SHORT>(LOWORD(lParam)));
      int pressed = b->pressed;
      b->pressed = -1;
      InvalidateRect(hwnd, nullptr, FALSE);
      if (key >= 0 && key == pressed) PressKey(hwnd, key);
      return 0;
    }
    case SHCMBM_GETMENU: {
      Bar* b = BarOf(hwnd);
      return b ? reinterpret_cast<LRESULT>(b->menu) : 0;
    }
    case SHCMBM_GETSUBMENU: {
      Bar* b = BarOf(hwnd);
      return b && b->menu ? reinterpret_cast<LRESULT>(GetSubMenu(b->menu, static_cast<int>(wParam))) : 0;
    }
    case WM_NCDESTROY: {
      Bar* b = BarOf(hwnd);
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      {
        std::lock_guard<std::mutex> lk(St().mutex);
        auto& v = St().bars;
        v.erase(std::remove_if(v.begin(), v.end(), [&](const BarEntry& e) { return e.bar == hwnd; }), v.end());
      }
      if (b) {
        if (b->menu) DestroyMenu(b->menu);
        delete b;
      }
      break;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT DoneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      bool down = GetCapture() == hwnd;
      FillRect(dc, &rc, GetSysColorBrush(down ? COLOR_HIGHLIGHT : COLOR_ACTIVECAPTION));
      const char16_t* label = u"ok";
      MenuDrawText(dc, (rc.right - MenuTextWidth(label)) / 2, (rc.bottom - MenuTextHeight()) / 2, label,
                   GetSysColor(COLOR_CAPTIONTEXT));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      bool was = GetCapture() == hwnd;
      if (was) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, FALSE);
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      if (was && p.x >= 0 && p.y >= 0 && p.x < rc.right && p.y < rc.bottom) {
        HWND dialog = GetParent(hwnd);  // the owner
        if (dialog) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), reinterpret_cast<LPARAM>(hwnd));
      }
      return 0;
    }
    case WM_NCDESTROY: {
      std::lock_guard<std::mutex> lk(St().mutex);
      auto& v = St().doneButtons;
      v.erase(std::remove_if(v.begin(), v.end(), [&](const DoneEntry& e) { return e.button == hwnd; }), v.end());
      break;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- Tray icons: one small window per notification in the task-bar strip ----

bool FindNotification(HWND icon, ShellNotification* out) {
  std::lock_guard<std::mutex> lk(St().mutex);
  for (const TrayEntry& e : St().tray)
    if (e.icon == icon)
      for (const ShellNotification& n : St().notifications)
        if (n.id == e.id && SameClsid(n.clsid, e.clsid)) {
          *out = n;
          return true;
        }
  return false;
}

LRESULT TrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_ACTIVECAPTION));
      int inset = std::max(2, static_cast<int>(rc.bottom) / 6);
      RECT badge{inset, inset, rc.right - inset, rc.bottom - inset};
      FillRect(dc, &badge, GetSysColorBrush(COLOR_HIGHLIGHT));
      ShellNotification n;
      if (FindNotification(hwnd, &n) && !n.title.empty()) {
        std::u16string letter(1, n.title[0]);
        MenuDrawText(dc, (rc.right - MenuTextWidth(letter)) / 2, (rc.bottom - MenuTextHeight()) / 2, letter,
                     GetSysColor(COLOR_HIGHLIGHTTEXT));
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONUP: {
      ShellNotification n;
      if (!FindNotification(hwnd, &n) || !IsWindow(n.sink)) return 0;
      POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      ClientToScreen(hwnd, &pt);
      NMSHN note{};
      note.hdr.hwndFrom = n.sink;
      note.hdr.idFrom = n.id;
      note.hdr.code = static_cast<UINT>(SHNN_SHOW);
      note.lParam = n.lParam;
      note.pt = pt;
      SendMessageW(n.sink, WM_NOTIFY, n.id, reinterpret_cast<LPARAM>(&note));
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Lines the icons up leftwards from the Done button's place.
void PlaceTrayIcons() {
  std::vector<HWND> icons;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    for (const TrayEntry& e : St().tray) icons.push_back(e.icon);
  }
  int size = GetTaskBarHeight();
  int x = GetSystemMetrics(SM_CXSCREEN) - DoneWidth();
  for (HWND h : icons) {
    x -= size;
    SetWindowPos(h, nullptr, x, 0, size, size, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool RegisterShellClasses() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &BarProc;
    wc.lpszClassName = kBarClass;
    bool a = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    wc.lpfnWndProc = &DoneProc;
    wc.lpszClassName = kDoneClass;
    bool b = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    wc.lpfnWndProc = &TrayProc;
    wc.lpszClassName = kTrayClass;
    bool c = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    ok = a && b && c;
  });
  return ok;
}

HWND MakeDoneButton(HWND dialog) {
  int w = DoneWidth();
  int h = GetTaskBarHeight();
  HWND b = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kDoneClass, u"ok", WS_POPUP,
                           GetSystemMetrics(SM_CXSCREEN) - w, 0, w, h, dialog, nullptr, nullptr, nullptr);
  if (!b) return nullptr;
  ShowWindow(b, SW_SHOWNA);
  std::lock_guard<std::mutex> lk(St().mutex);
  St().doneButtons.push_back(DoneEntry{dialog, b});
  return b;
}

bool ValidSize(DWORD size, DWORD deviceSize, size_t ourSize) { return size == deviceSize || size == ourSize; }

}  // namespace

BOOL SHInitExtraControls() { return TRUE; }

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (!info || !IsWindow(info->hDlg) || !RegisterShellClasses()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HWND dlg = info->hDlg;
  DWORD flags = (info->dwMask & SHIDIM_FLAGS) ? info->dwFlags : 0;
  Record("SHInitDialog", dlg, static_cast<LONG_PTR>(flags));
  if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) {
    int top = GetTaskBarHeight();
    int bottom = GetSystemMetrics(SM_CYSCREEN) - ((flags & SHIDIF_FULLSCREENNOMENUBAR) ? 0 : GetMenuBarHeight());
    SetWindowPos(dlg, nullptr, 0, top, GetSystemMetrics(SM_CXSCREEN), bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (flags & SHIDIF_SIPDOWN) SipShowIM(SIPF_OFF);
  if ((flags & SHIDIF_DONEBUTTON) && !SHFindDoneButton(dlg)) MakeDoneButton(dlg);
  if (flags & SHIDIF_EMPTYMENU) {
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof(mb);
    mb.hwndParent = dlg;
    mb.dwFlags = SHCMBF_EMPTYBAR;
    SHCreateMenuBar(&mb);
  }
  return TRUE;
}

HWND SHFindDoneButton(HWND dialog) {
  HWND found = nullptr;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    for (const DoneEntry& e : St().doneButtons)
      if (e.dialog == dialog) found = e.button;
  }
  return found && IsWindow(found) ? found : nullptr;
}

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || !ValidSize(info->cbSize, SHMENUBARINFO_DEVICE_SIZE, sizeof(SHMENUBARINFO)) ||
      !IsWindow(info->hwndParent) || !RegisterShellClasses()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Record("SHCreateMenuBar", info->hwndParent, static_cast<LONG_PTR>(info->dwFlags));
  HMENU menu = nullptr;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(info->nToolBarId));
    if (!menu) return FALSE;
  }
  if (HWND old = SHFindMenuBar(info->hwndParent)) DestroyWindow(old);
  int h = GetMenuBarHeight();
  int sw = GetSystemMetrics(SM_CXSCREEN);
  int sh = GetSystemMetrics(SM_CYSCREEN);
  HWND bar = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kBarClass, u"", WS_POPUP, 0, sh - h, sw, h,
                             info->hwndParent, nullptr, info->hInstRes, nullptr);
  if (!bar) {
    if (menu) DestroyMenu(menu);
    return FALSE;
  }
  SetWindowLongPtrW(bar, GWL_USERDATA, reinterpret_cast<LONG_PTR>(new Bar{info->hwndParent, menu}));
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    St().bars.push_back(BarEntry{info->hwndParent, bar});
  }
  if (!(info->dwFlags & SHCMBF_HIDDEN)) ShowWindow(bar, SW_SHOWNA);
  info->hwndMB = bar;
  return TRUE;
}

HWND SHFindMenuBar(HWND parent) {
  HWND found = nullptr;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    for (const BarEntry& e : St().bars)
      if (e.parent == parent) found = e.bar;
  }
  return found && IsWindow(found) ? found : nullptr;
}

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  if (!IsWindow(hwnd)) return FALSE;
  Record("SHFullScreen", hwnd, static_cast<LONG_PTR>(state));
  std::lock_guard<std::mutex> lk(St().mutex);
  auto& v = St().fullScreen;
  auto it = std::find_if(v.begin(), v.end(), [&](const FullScreenEntry& e) { return e.hwnd == hwnd; });
  if (it == v.end()) it = v.insert(v.end(), FullScreenEntry{hwnd, 0});
  const DWORD pairs[3][2] = {{SHFS_HIDETASKBAR, SHFS_SHOWTASKBAR},
                             {SHFS_HIDESIPBUTTON, SHFS_SHOWSIPBUTTON},
                             {SHFS_HIDESTARTICON, SHFS_SHOWSTARTICON}};
  for (const auto& p : pairs) {
    if (state & p[0]) it->hidden |= p[0];
    if (state & p[1]) it->hidden &= ~p[0];
  }
  return TRUE;
}

DWORD GetShellFullScreenState(HWND hwnd) {
  if (!IsWindow(hwnd)) return 0;
  std::lock_guard<std::mutex> lk(St().mutex);
  for (const FullScreenEntry& e : St().fullScreen)
    if (e.hwnd == hwnd) return e.hidden;
  return 0;
}

BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD) {
  if (!info || !ValidSize(info->cbSize, SHACTIVATEINFO_DEVICE_SIZE, sizeof(SHACTIVATEINFO))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Record("SHHandleWMActivate", hwnd, static_cast<LONG_PTR>(wParam));
  bool active = LOWORD(wParam) != WA_INACTIVE;
  if (!active) info->hwndLastFocus = GetFocus();
  info->fActive = active ? 1u : 0u;
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info) {
  if (!info || !ValidSize(info->cbSize, SHACTIVATEINFO_DEVICE_SIZE, sizeof(SHACTIVATEINFO))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Record("SHHandleWMSettingChange", hwnd, static_cast<LONG_PTR>(wParam));
  return TRUE;
}

BOOL SameClsid(const CLSID& a, const CLSID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 && std::memcmp(a.Data4, b.Data4, 8) == 0;
}

LRESULT SHNotificationAdd(const SHNOTIFICATIONDATA* data) {
  if (!data || !ValidSize(data->cbStruct, SHNOTIFICATIONDATA_DEVICE_SIZE, sizeof(SHNOTIFICATIONDATA)))
    return ERROR_INVALID_PARAMETER;
  ShellNotification n{};
  n.clsid = data->clsid;
  n.id = data->dwID;
  n.priority = static_cast<DWORD>(data->npPriority);
  n.duration = data->csDuration;
  n.icon = data->hicon;
  n.flags = data->grfFlags;
  n.sink = data->hwndSink;
  if (data->pszHTML) n.html = data->pszHTML;
  if (data->pszTitle) n.title = data->pszTitle;
  n.lParam = data->lParam;
  for (int i = 0; i < 2; ++i) {
    if (data->rgskn[i].pszTitle) n.softKeyTitle[i] = data->rgskn[i].pszTitle;
    n.softKeyCommand[i] = data->rgskn[i].skc.wpCmd;
  }
  Record("SHNotificationAdd", data->hwndSink, static_cast<LONG_PTR>(data->dwID));
  bool added = false;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    auto& v = St().notifications;
    auto it = std::find_if(v.begin(), v.end(), [&](const ShellNotification& e) { return e.id == n.id && SameClsid(e.clsid, n.clsid); });
    added = it == v.end();
    if (added) v.push_back(n);
    else *it = n;
  }
  HWND icon = SHFindNotificationIcon(&n.clsid, n.id);
  if (added && !icon && RegisterShellClasses()) {
    int size = GetTaskBarHeight();
    icon = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kTrayClass, n.title.c_str(), WS_POPUP, 0, 0,
                           size, size, nullptr, nullptr, nullptr, nullptr);
    if (icon) {
      {
        std::lock_guard<std::mutex> lk(St().mutex);
        St().tray.push_back(TrayEntry{n.clsid, n.id, icon});
      }
      PlaceTrayIcons();
      ShowWindow(icon, SW_SHOWNA);
    }
  } else if (icon) {
    InvalidateRect(icon, nullptr, FALSE);
  }
  return ERROR_SUCCESS;
}

HWND SHFindNotificationIcon(const CLSID* clsid, DWORD id) {
  if (!clsid) return nullptr;
  HWND found = nullptr;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    for (const TrayEntry& e : St().tray)
      if (e.id == id && SameClsid(e.clsid, *clsid)) found = e.icon;
  }
  return found && IsWindow(found) ? found : nullptr;
}

LRESULT SHNotificationRemove(const CLSID* clsid, DWORD id) {
  if (!clsid) return ERROR_INVALID_PARAMETER;
  Record("SHNotificationRemove", nullptr, static_cast<LONG_PTR>(id));
  HWND icon = nullptr;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    auto& v = St().notifications;
    auto it = std::find_if(v.begin(), v.end(), [&](const ShellNotification& e) { return e.id == id && SameClsid(e.clsid, *clsid); });
    if (it == v.end()) return ERROR_INVALID_PARAMETER;
    v.erase(it);
    auto& t = St().tray;
    for (auto e = t.begin(); e != t.end(); ++e)
      if (e->id == id && SameClsid(e->clsid, *clsid)) {
        icon = e->icon;
        t.erase(e);
        break;
      }
  }
  if (icon && IsWindow(icon)) DestroyWindow(icon);
  PlaceTrayIcons();
  return ERROR_SUCCESS;
}

std::vector<ShellNotification> GetShellNotifications() {
  std::lock_guard<std::mutex> lk(St().mutex);
  return St().notifications;
}

BOOL SHSetAppKeyWndAssoc(BYTE vk, HWND hwnd) {
  if (vk < VK_APP1 || vk >= VK_APP1 + 16 || (hwnd && !IsWindow(hwnd))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Record("SHSetAppKeyWndAssoc", hwnd, vk);
  HWND old;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    old = St().appKeys[vk - VK_APP1];
  }
  if (old) UnregisterHotKey(old, vk);
  BOOL ok = TRUE;
  if (hwnd) ok = RegisterHotKey(hwnd, vk, 0, vk);
  std::lock_guard<std::mutex> lk(St().mutex);
  St().appKeys[vk - VK_APP1] = ok ? hwnd : nullptr;
  return ok;
}

HWND GetAppKeyWindow(BYTE vk) {
  if (vk < VK_APP1 || vk >= VK_APP1 + 16) return nullptr;
  HWND h;
  {
    std::lock_guard<std::mutex> lk(St().mutex);
    h = St().appKeys[vk - VK_APP1];
  }
  return h && IsWindow(h) ? h : nullptr;
}

BOOL SipShowIM(DWORD flags) {
  Record("SipShowIM", nullptr, static_cast<LONG_PTR>(flags));
  return TRUE;
}

BOOL SHSipPreference(HWND hwnd, SIPSTATE state) {
  Record("SHSipPreference", hwnd, state);
  return TRUE;
}

std::vector<ShellCall> GetShellCalls() {
  std::lock_guard<std::mutex> lk(St().mutex);
  return St().calls;
}

void ClearShellCalls() {
  std::lock_guard<std::mutex> lk(St().mutex);
  St().calls.clear();
}

BOOL SHOrdinal9() {
  Record("SHOrdinal9", nullptr, 0);
  return TRUE;
}
