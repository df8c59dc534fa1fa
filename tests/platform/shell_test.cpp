// The shell: full-screen dialog set-up with the Done button, the soft-key
// menu bar and its pop-ups, full-screen mode, the notification tray and its
// activation, application keys and the recorded input-panel calls.
#include <atomic>
#include <thread>

#include "platform/menu_automation.h"
#include "platform/shell.h"
#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

class ShellTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ClearShellCalls();
    AutoMenuClearScript();
    AutoMenuClearHistory();
  }
  void TearDown() override {
    for (const ShellNotification& n : GetShellNotifications()) SHNotificationRemove(&n.clsid, n.id);
    for (BYTE vk = VK_APP1; vk <= VK_APP6; ++vk) SHSetAppKeyWndAssoc(vk, nullptr);
    AutoMenuClearScript();
    WindowTest::TearDown();
  }
  int W() { return GetSystemMetrics(SM_CXSCREEN); }
  int H() { return GetSystemMetrics(SM_CYSCREEN); }
};

TEST_F(ShellTest, FullScreenDialogSetUpSizesAddsDoneAndAnEmptyBar) {
  struct Case {
    DWORD flags;
    RECT expected;  // window rect; left 0 = the template's own when resized is false
    bool resized, done, bar;
  };
  int tb = GetTaskBarHeight(), mb = GetMenuBarHeight();
  const Case cases[] = {
      {0x2D, {0, tb, W(), H() - mb}, true, true, true},   // Done, full screen, input panel down, empty bar
      {0x28, {30, 100, 230, 300}, false, false, true},   // input panel down and empty bar, template size
      {0x14, {0, tb, W(), H()}, true, false, false},      // full screen without menu bar
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    ClearShellCalls();
    HWND dlg = Top(30, 100, 200, 200);
    SHINITDLGINFO info{SHIDIM_FLAGS, dlg, c.flags};
    ASSERT_TRUE(SHInitDialog(&info));
    RECT r;
    GetWindowRect(dlg, &r);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
    HWND done = SHFindDoneButton(dlg);
    EXPECT_EQ(done != nullptr, c.done);
    HWND bar = SHFindMenuBar(dlg);
    EXPECT_EQ(bar != nullptr, c.bar);
    if (bar) {
      GetWindowRect(bar, &r);
      EXPECT_EQ(r.top, H() - mb);
      EXPECT_EQ(r.bottom, H());
      EXPECT_EQ(r.right - r.left, W());
      EXPECT_TRUE(AutoMenuBarKeys(dlg).empty());
    }
    bool sipDown = false;
    for (const ShellCall& call : GetShellCalls())
      if (call.name == "SipShowIM" && call.value == static_cast<LONG_PTR>(SIPF_OFF)) sipDown = true;
    EXPECT_EQ(sipDown, (c.flags & SHIDIF_SIPDOWN) != 0);
    if (done) {
      // The Done button sits in the task-bar strip; tapping it is IDOK to the dialog.
      GetWindowRect(done, &r);
      EXPECT_EQ(r.top, 0);
      EXPECT_EQ(r.right, W());
      TheLog().Clear();
      AutoTapWindow(done, 3, 3);
      auto cmds = TheLog().Of(WM_COMMAND, dlg);
      ASSERT_EQ(cmds.size(), 1u);
      EXPECT_EQ(LOWORD(cmds[0].wParam), IDOK);
      EXPECT_EQ(HIWORD(cmds[0].wParam), 0);
      // It never takes the activation from the dialog.
      EXPECT_EQ(GetActiveWindow(), dlg);
    }
    DestroyWindow(dlg);
    // Owned: gone with the dialog.
    EXPECT_EQ(SHFindDoneButton(dlg), nullptr);
    EXPECT_EQ(SHFindMenuBar(dlg), nullptr);
    if (done) {
      EXPECT_FALSE(IsWindow(done));
    }
  }
  SHINITDLGINFO bad{SHIDIM_FLAGS, nullptr, 0x2D};
  EXPECT_FALSE(SHInitDialog(&bad));
  EXPECT_FALSE(SHInitDialog(nullptr));
}

const MENU_RESOURCE_ITEM kBar102[] = {
    {MF_POPUP, 0, u"&Dict"},
    {0, 12801, u"Switch &Language"},
    {MF_END, 12810, u"&Quit"},
    {MF_POPUP, 0, u"&Edit"},
    {0, 12820, u"C&ut"},
    {MF_END, 12821, u"&Copy"},
    {MF_POPUP, 0, u"&Modules"},
    {MF_POPUP, 0, u"Deeper"},
    {MF_END, 12843, u"&Character Info..."},
    {MF_END, 12840, u"&Open Flashcards..."},
    {MF_END, 4242, u"Go"},  // a command key of its own
};

TEST_F(ShellTest, MenuBarKeysOpenTheirPopupsAboveTheBar) {
  RegisterResource(RT_MENU, 9102, kBar102, sizeof(kBar102));
  HWND main = Top(0, GetTaskBarHeight(), W(), H() - GetTaskBarHeight());
  SHMENUBARINFO mb{};
  mb.cbSize = SHMENUBARINFO_DEVICE_SIZE;
  mb.hwndParent = main;
  mb.nToolBarId = 9102;
  mb.hInstRes = GetModuleHandleW(nullptr);
  ASSERT_TRUE(SHCreateMenuBar(&mb));
  ASSERT_NE(mb.hwndMB, nullptr);
  EXPECT_EQ(SHFindMenuBar(main), mb.hwndMB);
  EXPECT_EQ(AutoMenuBarKeys(main), (std::vector<std::u16string>{u"&Dict", u"&Edit", u"&Modules", u"Go"}));
  EXPECT_TRUE(IsWindowVisible(mb.hwndMB));
  EXPECT_EQ(GetActiveWindow(), main);

  struct Case {
    int key;
    UINT choose;  // 0: dismiss
    UINT command;  // expected WM_COMMAND, 0 none
    size_t popups;  // WM_INITMENUPOPUP count
  };
  const Case cases[] = {
      {1, 12821, 12821, 1},
      {0, 0, 0, 1},
      {2, 12843, 12843, 2},  // inside the nested pop-up
      {3, 0, 4242, 0},       // a command key posts at once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    TheLog().Clear();
    AutoMenuClearHistory();
    if (c.popups) {
      if (c.choose) AutoMenuScriptChoose(c.choose);
      else AutoMenuScriptDismiss();
    }
    ASSERT_TRUE(AutoMenuBarTap(main, c.key));
    PumpPendingMessages();
    auto inits = TheLog().Of(WM_INITMENUPOPUP, main);
    ASSERT_EQ(inits.size(), c.popups);
    if (c.popups) {
      HMENU sub = reinterpret_cast<HMENU>(SendMessageW(mb.hwndMB, SHCMBM_GETSUBMENU, static_cast<WPARAM>(c.key), 0));
      EXPECT_EQ(reinterpret_cast<HMENU>(inits[0].wParam), sub);
      auto h = AutoMenuHistory();
      ASSERT_EQ(h.size(), 1u);
      // Above the bar, not over it.
      RECT bar;
      GetWindowRect(mb.hwndMB, &bar);
      EXPECT_EQ(h[0].rect.bottom, bar.top);
      EXPECT_FALSE(h[0].scriptFailed);
    }
    auto cmds = TheLog().Of(WM_COMMAND, main);
    if (c.command) {
      ASSERT_EQ(cmds.size(), 1u);
      EXPECT_EQ(LOWORD(cmds[0].wParam), c.command);
    } else {
      EXPECT_TRUE(cmds.empty());
    }
  }

  // A second bar replaces the first; a bad record or resource is refused.
  HWND first = mb.hwndMB;
  SHMENUBARINFO empty{};
  empty.cbSize = sizeof(empty);
  empty.hwndParent = main;
  empty.dwFlags = SHCMBF_EMPTYBAR;
  ASSERT_TRUE(SHCreateMenuBar(&empty));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(SHFindMenuBar(main), empty.hwndMB);
  SHMENUBARINFO bad = mb;
  bad.cbSize = 20;
  EXPECT_FALSE(SHCreateMenuBar(&bad));
  bad = mb;
  bad.nToolBarId = 9199;
  EXPECT_FALSE(SHCreateMenuBar(&bad));
  EXPECT_EQ(SHFindMenuBar(main), empty.hwndMB);
}

TEST_F(ShellTest, OrdinalNineSucceedsAndIsRecorded) {
  ClearShellCalls();
  EXPECT_TRUE(SHOrdinal9());
  const auto calls = GetShellCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "SHOrdinal9");
}

TEST_F(ShellTest, FullScreenModeIsRecordedPerWindow) {
  HWND a = Top();
  HWND b = Top();
  EXPECT_TRUE(SHFullScreen(a, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON));  // 0x2A
  EXPECT_EQ(GetShellFullScreenState(a), SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
  EXPECT_EQ(GetShellFullScreenState(b), 0u);
  EXPECT_TRUE(SHFullScreen(a, SHFS_SHOWTASKBAR));
  EXPECT_EQ(GetShellFullScreenState(a), SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
  EXPECT_TRUE(SHFullScreen(a, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON));  // 0x15
  EXPECT_EQ(GetShellFullScreenState(a), 0u);
  DestroyWindow(b);
  EXPECT_FALSE(SHFullScreen(b, SHFS_HIDETASKBAR));
}

TEST_F(ShellTest, ActivationAndSettingChangeRecordsAreChecked) {
  HWND w = Top();
  SHACTIVATEINFO sai{};
  sai.cbSize = SHACTIVATEINFO_DEVICE_SIZE;
  EXPECT_TRUE(SHHandleWMActivate(w, WA_ACTIVE, 0, &sai, 0));
  EXPECT_EQ(sai.fActive, 1u);
  EXPECT_TRUE(SHHandleWMActivate(w, WA_INACTIVE, 0, &sai, 0));
  EXPECT_EQ(sai.fActive, 0u);
  EXPECT_TRUE(SHHandleWMSettingChange(w, 0, 0, &sai));
  sai.cbSize = 7;
  EXPECT_FALSE(SHHandleWMActivate(w, WA_ACTIVE, 0, &sai, 0));
  EXPECT_FALSE(SHHandleWMSettingChange(w, 0, 0, &sai));
  EXPECT_FALSE(SHHandleWMSettingChange(w, 0, 0, nullptr));
}

const CLSID kClass = {0xc1245d20, 0x68ca, 0x4523, {0x82, 0x13, 0x05, 0x37, 0x6a, 0x38, 0xf9, 0x0a}};

SHNOTIFICATIONDATA Notification(HWND sink, DWORD id, const WCHAR* title) {
  SHNOTIFICATIONDATA n{};
  n.cbStruct = SHNOTIFICATIONDATA_DEVICE_SIZE;
  n.dwID = id;
  n.npPriority = SHNP_INFORM;
  n.csDuration = 0xFFFFFFFFu;
  n.grfFlags = SHNF_STRAIGHTTOTRAY | SHNF_SILENT;
  n.clsid = kClass;
  n.hwndSink = sink;
  n.pszHTML = u"<html><body>text</body></html>";
  n.pszTitle = title;
  n.lParam = 77;
  n.rgskn[0].pszTitle = u"OK";
  n.rgskn[0].skc.wpCmd = 1;
  return n;
}

TEST_F(ShellTest, NotificationTableAndActivation) {
  HWND sink = Top();
  SHNOTIFICATIONDATA n = Notification(sink, 0x8400, u"First");
  EXPECT_EQ(SHNotificationAdd(&n), ERROR_SUCCESS);
  n.pszTitle = u"Second";  // the same class and id: replaced, not doubled
  EXPECT_EQ(SHNotificationAdd(&n), ERROR_SUCCESS);
  auto all = AutoGetNotifications();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].id, 0x8400u);
  EXPECT_EQ(all[0].title, u"Second");
  EXPECT_EQ(all[0].html, u"<html><body>text</body></html>");
  EXPECT_EQ(all[0].priority, 0x1B1u);
  EXPECT_EQ(all[0].flags, 0x21u);
  EXPECT_EQ(all[0].sink, sink);
  EXPECT_EQ(all[0].softKeyTitle[0], u"OK");
  EXPECT_EQ(all[0].softKeyCommand[0], 1u);

  // Tapping the icon: WM_NOTIFY SHNN_SHOW to the sink with the id and lParam.
  NMSHN seen{};
  int notifies = 0;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
    if (hwnd == sink && msg == WM_NOTIFY) {
      ++notifies;
      seen = *reinterpret_cast<NMSHN*>(lParam);
      EXPECT_EQ(wParam, 0x8400u);
      return 0;
    }
    return std::nullopt;
  };
  ASSERT_TRUE(AutoActivateNotification(kClass, 0x8400, POINT{400, 10}));
  EXPECT_EQ(notifies, 1);
  EXPECT_EQ(static_cast<int>(seen.hdr.code), SHNN_SHOW);
  EXPECT_EQ(seen.hdr.idFrom, 0x8400u);
  EXPECT_EQ(seen.lParam, 77);
  EXPECT_EQ(seen.pt.x, 400);
  EXPECT_EQ(seen.pt.y, 10);
  // The same through the icon in the task-bar strip, tapped with the stylus.
  HWND icon = SHFindNotificationIcon(&kClass, 0x8400);
  ASSERT_NE(icon, nullptr);
  EXPECT_TRUE(IsWindowVisible(icon));
  RECT ir;
  GetWindowRect(icon, &ir);
  EXPECT_EQ(ir.top, 0);
  EXPECT_EQ(ir.bottom, GetTaskBarHeight());
  EXPECT_LE(ir.right, W() - ScaleToScreenDpi(36));  // clear of the Done button's place
  ASSERT_TRUE(AutoTapWindow(icon, 2, 3));
  EXPECT_EQ(notifies, 2);
  EXPECT_EQ(static_cast<int>(seen.hdr.code), SHNN_SHOW);
  EXPECT_EQ(seen.lParam, 77);
  EXPECT_EQ(seen.pt.x, ir.left + 2);
  EXPECT_EQ(seen.pt.y, ir.top + 3);
  TheLog().Clear();
  ASSERT_TRUE(AutoPressNotificationSoftKey(kClass, 0x8400, 0));
  auto cmds = TheLog().Of(WM_COMMAND, sink);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].wParam, 1u);

  // Another class with the same id is a different notification.
  CLSID other = kClass;
  other.Data4[7] ^= 1;
  EXPECT_EQ(SHNotificationRemove(&other, 0x8400), static_cast<LRESULT>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(AutoActivateNotification(other, 0x8400));
  EXPECT_EQ(SHNotificationRemove(&kClass, 0x8400), ERROR_SUCCESS);
  EXPECT_TRUE(AutoGetNotifications().empty());
  EXPECT_FALSE(IsWindow(icon));
  EXPECT_FALSE(AutoActivateNotification(kClass, 0x8400));
  EXPECT_EQ(SHNotificationRemove(&kClass, 0x8400), static_cast<LRESULT>(ERROR_INVALID_PARAMETER));

  SHNOTIFICATIONDATA bad = Notification(sink, 1, u"x");
  bad.cbStruct = 40;
  EXPECT_NE(SHNotificationAdd(&bad), ERROR_SUCCESS);
  EXPECT_NE(SHNotificationAdd(nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(AutoGetNotifications().empty());
}

TEST_F(ShellTest, ActivationFromAnotherThreadIsHandledOnTheSinksThread) {
  HWND sink = Top();
  SHNOTIFICATIONDATA n = Notification(sink, 0x8400, u"T");
  ASSERT_EQ(SHNotificationAdd(&n), ERROR_SUCCESS);
  DWORD uiThread = GetCurrentThreadId();
  DWORD handledOn = 0;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == sink && msg == WM_NOTIFY) handledOn = GetCurrentThreadId();
    return std::nullopt;
  };
  std::atomic<bool> done{false};
  BOOL ok = FALSE;
  std::thread t([&] {
    ok = AutoActivateNotification(kClass, 0x8400);
    done = true;
  });
  while (!done) {
    PumpPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  t.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(handledOn, uiThread);
}

TEST_F(ShellTest, ApplicationKeysGoToTheClaimingWindow) {
  HWND main = Top();
  HWND other = Top();
  SetFocus(other);
  ASSERT_TRUE(SHSetAppKeyWndAssoc(VK_APP1, main));
  EXPECT_EQ(GetAppKeyWindow(VK_APP1), main);
  TheLog().Clear();
  AutoKeyPress(VK_APP1);
  auto hot = TheLog().Of(WM_HOTKEY, main);
  ASSERT_EQ(hot.size(), 1u);
  EXPECT_EQ(hot[0].wParam, static_cast<WPARAM>(VK_APP1));
  EXPECT_TRUE(TheLog().Of(WM_KEYDOWN, other).empty());
  // Claiming again for another window moves the key; giving it back frees it.
  ASSERT_TRUE(SHSetAppKeyWndAssoc(VK_APP1, other));
  TheLog().Clear();
  AutoKeyPress(VK_APP1);
  EXPECT_EQ(TheLog().Of(WM_HOTKEY, other).size(), 1u);
  EXPECT_TRUE(TheLog().Of(WM_HOTKEY, main).empty());
  ASSERT_TRUE(SHSetAppKeyWndAssoc(VK_APP1, nullptr));
  EXPECT_EQ(GetAppKeyWindow(VK_APP1), nullptr);
  TheLog().Clear();
  AutoKeyPress(VK_APP1);
  EXPECT_TRUE(TheLog().Of(WM_HOTKEY).empty());
  EXPECT_EQ(TheLog().Of(WM_KEYDOWN, other).size(), 1u);
  EXPECT_FALSE(SHSetAppKeyWndAssoc(VK_RETURN, main));
  DestroyWindow(other);
  EXPECT_FALSE(SHSetAppKeyWndAssoc(VK_APP2, other));
}

TEST_F(ShellTest, InputPanelCallsAreRecordedInOrder) {
  HWND w = Top();
  EXPECT_TRUE(SipShowIM(SIPF_ON));
  EXPECT_TRUE(SHSipPreference(w, SIP_FORCEDOWN));
  EXPECT_TRUE(SipShowIM(SIPF_OFF));
  auto calls = GetShellCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].name, "SipShowIM");
  EXPECT_EQ(calls[0].value, 1);
  EXPECT_EQ(calls[1].name, "SHSipPreference");
  EXPECT_EQ(calls[1].hwnd, w);
  EXPECT_EQ(calls[1].value, SIP_FORCEDOWN);
  EXPECT_EQ(calls[2].value, 0);
}

}  // namespace
