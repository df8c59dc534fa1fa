#include "toolkit/ui_dialog.h"

#include "engine/preferences.h"
#include "platform/shell.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/ui_scale.h"

namespace {

// The shell's full-screen states: hide (or show) task bar, input-panel
// button and start icon.
constexpr DWORD kFullScreenHide = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;  // 0x2A
constexpr DWORD kFullScreenShow = SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;  // 0x15
constexpr UINT kKeepZOrder = SWP_NOZORDER | SWP_NOOWNERZORDER;

int Scaled(uint16_t units) { return static_cast<uint16_t>(units * GetResolutionFactor()); }

int RememberedHeight(HWND menuBar) {
  return static_cast<int>(reinterpret_cast<intptr_t>(GetPropW(menuBar, kOldMenuHeightProperty)));
}

}  // namespace

void PlaceDlgItemScaled(HWND dialog, int id, const uint16_t rect[4]) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return;
  SetWindowPos(item, nullptr, Scaled(rect[0]), Scaled(rect[1]), Scaled(rect[2]), Scaled(rect[3]), kKeepZOrder);
}

void MoveDlgItemScaled(HWND dialog, int id, uint16_t x, uint16_t y) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return;
  SetWindowPos(item, nullptr, Scaled(x), Scaled(y), 0, 0, SWP_NOSIZE | kKeepZOrder);
}

void SetDlgItemShown(HWND dialog, int id, bool show) {
  HWND item = GetDlgItem(dialog, id);
  if (item) ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

void ShowDlgItem(HWND dialog, int id, bool show) {
  HWND item = GetDlgItem(dialog, id);
  if (item) ShowWindow(item, show ? SW_SHOWNA : SW_HIDE);
}

void HideChildWindows(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    ShowWindow(child, SW_HIDE);
}

void HideChildWindowsExceptInput(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child) && GetDlgCtrlID(child) != kMainInputFieldId) ShowWindow(child, SW_HIDE);
  }
}

HWND CreateFullScreenMenuBar(HWND dialog) {
  SHINITDLGINFO init{};
  init.dwMask = SHIDIM_FLAGS;
  init.hDlg = dialog;
  init.dwFlags = SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR;  // 0x14
  SHInitDialog(&init);
  SHMENUBARINFO bar{};
  bar.cbSize = SHMENUBARINFO_DEVICE_SIZE;
  bar.hwndParent = dialog;
  bar.nToolBarId = kFullScreenMenuBarResource;
  bar.hInstRes = AppInstance;
  if (!SHCreateMenuBar(&bar)) return nullptr;
  RECT r{};
  if (GetWindowRect(bar.hwndMB, &r)) {
    SetPropW(bar.hwndMB, kOldMenuHeightProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(r.bottom - r.top)));
  }
  return bar.hwndMB;
}

void SetFullScreenMode(HWND dialog, bool full) {
  SHFullScreen(dialog, full ? kFullScreenHide : kFullScreenShow);
  if (HWND bar = SHFindMenuBar(dialog)) PlaceMenuBar(bar, full);
  SizeWindowForMode(dialog, full);
}

void PlaceMenuBar(HWND menuBar, bool full) {
  if (!menuBar) return;
  constexpr UINT kFlags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (full) {
    SetWindowPos(menuBar, nullptr, -1, -1, 0, 0, kFlags);
    return;
  }
  int h = RememberedHeight(menuBar);
  SetWindowPos(menuBar, nullptr, 0, GetSystemMetrics(SM_CYSCREEN) - h, GetSystemMetrics(SM_CXSCREEN), h, kFlags);
}

void SizeWindowForMode(HWND window, bool full) {
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (full) {
    MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), screenHeight, FALSE);
    return;
  }
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // A system whose work area reaches the screen's bottom leaves the bar's
  // strip to the program; one that already keeps it clear is not raised
  // twice, which would leave an empty band above the bar.
  HWND bar = SHFindMenuBar(window);
  int barHeight = bar ? RememberedHeight(bar) : 0;
  if (work.bottom > screenHeight - barHeight) work.bottom = screenHeight - barHeight;
  MoveWindow(window, work.left, work.top, work.right - work.left, work.bottom - work.top, FALSE);
}

bool IsMenuBarHidden(HWND dialog) {
  HWND bar = SHFindMenuBar(dialog);
  if (!bar) return false;
  RECT r{};
  GetWindowRect(bar, &r);
  return r.bottom - r.top <= 0;
}

bool ShouldHideMenuBars() { return GetPref(ControlEngine(), kPrefKeepMenuBars) != 1; }
