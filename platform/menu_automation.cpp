#include "platform/menu_automation.h"

#include "platform/automation.h"
#include "platform/menu_internal.h"
#include "platform/message.h"

namespace {

std::vector<AutoMenuItem> Convert(const std::vector<menu_internal::ItemView>& items) {
  std::vector<AutoMenuItem> out;
  for (const auto& it : items) out.push_back(AutoMenuItem{it.id, it.flags, it.text, Convert(it.popup)});
  return out;
}

AutoMenuInfo Convert(const menu_internal::TrackView& v) {
  return AutoMenuInfo{v.owner, v.menu, v.rect, Convert(v.items), v.chosen, v.ended ? TRUE : FALSE,
                      v.scriptFailed ? TRUE : FALSE};
}

const ShellNotification* FindIn(const std::vector<ShellNotification>& all, const CLSID& clsid, DWORD id) {
  for (const auto& n : all)
    if (n.id == id && SameClsid(n.clsid, clsid)) return &n;
  return nullptr;
}

}  // namespace

BOOL AutoMenuWaitOpen(DWORD timeoutMs, AutoMenuInfo* info) {
  menu_internal::TrackView v;
  if (!menu_internal::WaitOpen(timeoutMs, &v)) return FALSE;
  if (info) *info = Convert(v);
  return TRUE;
}

BOOL AutoMenuChoose(UINT id, DWORD timeoutMs) { return menu_internal::Request(0, id, {}, timeoutMs); }
BOOL AutoMenuChooseText(const std::u16string& text, DWORD timeoutMs) {
  return menu_internal::Request(1, 0, text, timeoutMs);
}
BOOL AutoMenuDismiss(DWORD timeoutMs) { return menu_internal::Request(2, 0, {}, timeoutMs); }

void AutoMenuScriptChoose(UINT id) { menu_internal::AddScriptAnswer({0, id, {}}); }
void AutoMenuScriptChooseText(const std::u16string& text) { menu_internal::AddScriptAnswer({1, 0, text}); }
void AutoMenuScriptDismiss() { menu_internal::AddScriptAnswer({2, 0, {}}); }
void AutoMenuClearScript() { menu_internal::ClearScript(); }

std::vector<AutoMenuInfo> AutoMenuHistory() {
  std::vector<AutoMenuInfo> out;
  for (const auto& v : menu_internal::History()) out.push_back(Convert(v));
  return out;
}

void AutoMenuClearHistory() { menu_internal::ClearHistory(); }

BOOL AutoMenuBarTap(HWND parent, int index) {
  HWND bar = SHFindMenuBar(parent);
  if (!bar) return FALSE;
  auto menu = reinterpret_cast<HMENU>(AutoSendMessage(bar, SHCMBM_GETMENU, 0, 0));
  int n = menu ? GetMenuItemCount(menu) : 0;
  if (index < 0 || index >= n) return FALSE;
  AutoWindowState st = AutoGetWindowState(bar);
  int width = st.clientRect.right - st.clientRect.left;
  int keyWidth = width / n;
  int x = index * keyWidth + keyWidth / 2;
  return AutoTapWindow(bar, x, (st.clientRect.bottom - st.clientRect.top) / 2);
}

std::vector<std::u16string> AutoMenuBarKeys(HWND parent) {
  std::vector<std::u16string> out;
  HWND bar = SHFindMenuBar(parent);
  if (!bar) return out;
  auto menu = reinterpret_cast<HMENU>(AutoSendMessage(bar, SHCMBM_GETMENU, 0, 0));
  int n = menu ? GetMenuItemCount(menu) : 0;
  for (int i = 0; i < n; ++i) {
    WCHAR text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    out.push_back(text);
  }
  return out;
}

std::vector<ShellNotification> AutoGetNotifications() { return GetShellNotifications(); }

BOOL AutoActivateNotification(const CLSID& clsid, DWORD id, POINT at) {
  auto all = GetShellNotifications();
  const ShellNotification* n = FindIn(all, clsid, id);
  if (!n || !IsWindow(n->sink)) return FALSE;
  NMSHN note{};
  note.hdr.hwndFrom = n->sink;
  note.hdr.idFrom = n->id;
  note.hdr.code = static_cast<UINT>(SHNN_SHOW);
  note.lParam = n->lParam;
  note.pt = at;
  AutoSendMessage(n->sink, WM_NOTIFY, n->id, reinterpret_cast<LPARAM>(&note));
  return TRUE;
}

BOOL AutoPressNotificationSoftKey(const CLSID& clsid, DWORD id, int key) {
  auto all = GetShellNotifications();
  const ShellNotification* n = FindIn(all, clsid, id);
  if (!n || key < 0 || key > 1 || !IsWindow(n->sink)) return FALSE;
  if (!PostMessageW(n->sink, WM_COMMAND, n->softKeyCommand[key], 0)) return FALSE;
  AutoPump();
  return TRUE;
}
