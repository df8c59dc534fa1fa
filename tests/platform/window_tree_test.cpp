// Window creation, destruction, the tree, handles, longs, properties,
// positions and z-order.
#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

using TreeTest = WindowTest;

TEST_F(TreeTest, CreateSendsMessagesInOrderAndPassesCreateParams) {
  struct Params {
    int value;
  } params{42};
  void* seen = nullptr;
  TheHook() = [&](HWND, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
    if (msg == WM_CREATE) seen = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
    return std::nullopt;
  };
  HWND top = CreateWindowExW(0, kClass, u"Main", WS_POPUP | WS_VISIBLE, 0, 52, 480, 536, nullptr, nullptr, nullptr,
                             &params);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(seen, &params);
  std::vector<UINT> expected{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_WINDOWPOSCHANGED,
                             WM_ACTIVATE, WM_SETFOCUS};
  EXPECT_EQ(TheLog().Msgs(top, expected), expected);
  auto size = TheLog().Of(WM_SIZE, top);
  ASSERT_EQ(size.size(), 1u);
  EXPECT_EQ(LOWORD(size[0].lParam), 480);
  EXPECT_EQ(HIWORD(size[0].lParam), 536);
  EXPECT_EQ(TheLog().Of(WM_MOVE, top)[0].lParam, MAKELPARAM(0, 52));
  EXPECT_EQ(GetActiveWindow(), top);
  EXPECT_EQ(GetFocus(), top);
  WCHAR text[16];
  EXPECT_EQ(GetWindowTextW(top, text, 16), 4);
  EXPECT_EQ(std::u16string(text), u"Main");
}

TEST_F(TreeTest, WindowDestroyingItselfInCreateYieldsNull) {
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (msg == WM_CREATE) DestroyWindow(hwnd);
    return std::nullopt;
  };
  EXPECT_EQ(Top(), nullptr);
  EXPECT_EQ(TheLog().Of(WM_NCDESTROY).size(), 1u);
  TheLog().Clear();
  TheHook() = [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (msg == WM_CREATE) return -1;
    return std::nullopt;
  };
  EXPECT_EQ(Top(), nullptr);
  EXPECT_EQ(TheLog().Msgs(nullptr, {WM_DESTROY, WM_NCDESTROY}), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(TreeTest, DestroyOrderOwnedWindowsAndChildren) {
  HWND owner = Top();
  HWND child = Child(owner, 10, 0, 0, 50, 50);
  HWND grandchild = Child(child, 11, 0, 0, 10, 10);
  HWND owned = Top(10, 60, 100, 100, WS_VISIBLE, 0, owner);
  ASSERT_TRUE(owner && child && grandchild && owned);
  TheLog().Clear();
  ASSERT_TRUE(DestroyWindow(owner));
  std::vector<Rec> order;
  for (const Rec& r : TheLog().All())
    if (r.msg == WM_DESTROY || r.msg == WM_NCDESTROY) order.push_back(r);
  std::vector<std::pair<HWND, UINT>> got, want{{owned, WM_DESTROY},    {owned, WM_NCDESTROY},     {owner, WM_DESTROY},
                                               {child, WM_DESTROY},    {grandchild, WM_DESTROY},  {grandchild, WM_NCDESTROY},
                                               {child, WM_NCDESTROY}, {owner, WM_NCDESTROY}};
  for (const Rec& r : order) got.emplace_back(r.hwnd, r.msg);
  EXPECT_EQ(got, want);
  for (HWND h : {owner, child, grandchild, owned}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(TreeTest, DestroyFromOwnProcedureAndStaleHandlesAreRefused) {
  HWND top = Top();
  HWND self = Child(top, 5, 0, 0, 40, 40);
  bool aliveAfter = true;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == self && msg == WM_USER + 1) {
      DestroyWindow(hwnd);
      aliveAfter = IsWindow(hwnd);
      return 7;
    }
    return std::nullopt;
  };
  EXPECT_EQ(SendMessageW(self, WM_USER + 1, 0, 0), 7);
  EXPECT_FALSE(aliveAfter);
  // The dead handle is refused everywhere, also after its slot is reused.
  HWND next = Child(top, 6, 0, 0, 40, 40);
  EXPECT_NE(next, self);
  SetLastError(0);
  EXPECT_EQ(SendMessageW(self, WM_USER + 1, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(SetWindowTextW(self, u"x"));
  EXPECT_FALSE(PostMessageW(self, WM_USER, 0, 0));
  RECT r;
  EXPECT_FALSE(GetClientRect(self, &r));
  EXPECT_FALSE(DestroyWindow(self));
  EXPECT_EQ(GetParent(self), nullptr);
}

TEST_F(TreeTest, HandlesHaveBitZeroClearAndForegroundIgnoresIt) {
  std::vector<HWND> made;
  for (int i = 0; i < 20; ++i) made.push_back(Top(0, 52, 100, 100, 0));
  for (HWND h : made) {
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(h) & 1u, 0u);
  }
  ShowWindow(made[0], SW_SHOWNA);
  EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(made[0]) | 1)));
  EXPECT_EQ(GetForegroundWindow(), made[0]);
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(made[0]) | 1)));
}

TEST_F(TreeTest, LongsPropertiesAndDialogItems) {
  HWND top = Top();
  HWND a = Child(top, 1001, 0, 0, 10, 10);
  HWND b = Child(top, 1002, 10, 0, 10, 10);
  EXPECT_EQ(GetDlgItem(top, 1002), b);
  EXPECT_EQ(GetDlgItem(top, 999), nullptr);
  EXPECT_EQ(GetDlgCtrlID(a), 1001);
  EXPECT_EQ(GetWindowLongW(b, GWL_ID), 1002);
  EXPECT_EQ(GetParent(a), top);
  EXPECT_EQ(SetWindowLongW(a, GWL_USERDATA, -12), 0);
  EXPECT_EQ(GetWindowLongW(a, GWL_USERDATA), -12);
  int state = 0;
  EXPECT_TRUE(SetPropW(a, u"SorviFieldInfo", &state));
  EXPECT_EQ(GetPropW(a, u"sorvifieldinfo"), &state);  // names compare case-insensitively
  EXPECT_EQ(GetPropW(b, u"SorviFieldInfo"), nullptr);
  HANDLE seenAtDestroy = nullptr;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == a && msg == WM_DESTROY) seenAtDestroy = RemovePropW(hwnd, u"SorviFieldInfo");
    return std::nullopt;
  };
  DestroyWindow(a);
  EXPECT_EQ(seenAtDestroy, &state);
  EXPECT_EQ(GetWindowLongW(a, GWL_ID), 0);
}

TEST_F(TreeTest, ChildrenEnumerateInCreationOrder) {
  HWND top = Top();
  HWND c1 = Child(top, 1, 0, 0, 10, 10);
  HWND c2 = Child(top, 2, 0, 0, 10, 10, 0);
  HWND c3 = Child(top, 3, 0, 0, 10, 10);
  HWND c21 = Child(c2, 21, 0, 0, 5, 5);
  EXPECT_EQ(GetWindow(top, GW_CHILD), c1);
  EXPECT_EQ(GetWindow(c1, GW_HWNDNEXT), c2);
  EXPECT_EQ(GetWindow(c2, GW_HWNDNEXT), c3);
  EXPECT_EQ(GetWindow(c3, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(c3, GW_HWNDPREV), c2);
  std::vector<HWND> all;
  EnumChildWindows(top, [](HWND h, LPARAM l) { reinterpret_cast<std::vector<HWND>*>(l)->push_back(h); return TRUE; },
                   reinterpret_cast<LPARAM>(&all));
  EXPECT_EQ(all, (std::vector<HWND>{c1, c2, c21, c3}));
  EXPECT_TRUE(IsChild(top, c21));
  EXPECT_FALSE(IsChild(c1, c21));
  EXPECT_FALSE(IsWindowVisible(c2));
  EXPECT_FALSE(IsWindowVisible(c21));  // its parent is hidden
  EXPECT_TRUE(IsWindowVisible(c3));
}

TEST_F(TreeTest, SetWindowPosSendsChangedMoveAndSizeOnlyForWhatChanged) {
  HWND top = Top();
  HWND c = Child(top, 1, 10, 20, 100, 50);
  struct Case {
    int x, y, w, h;
    UINT flags;
    std::vector<UINT> expected;
  } cases[] = {
      {30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER, {WM_WINDOWPOSCHANGED, WM_MOVE}},
      {0, 0, 60, 70, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER, {WM_WINDOWPOSCHANGED, WM_SIZE}},
      {5, 6, 61, 71, SWP_NOZORDER, {WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}},
      {5, 6, 61, 71, SWP_NOZORDER, {WM_WINDOWPOSCHANGED}},
  };
  for (const Case& k : cases) {
    TheLog().Clear();
    ASSERT_TRUE(SetWindowPos(c, HWND_TOP, k.x, k.y, k.w, k.h, k.flags));
    EXPECT_EQ(TheLog().Msgs(c, {WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}), k.expected) << k.x << "," << k.w;
  }
  RECT wr, cr;
  GetWindowRect(c, &wr);
  GetClientRect(c, &cr);
  EXPECT_EQ(wr.left, 5);
  EXPECT_EQ(wr.top, 52 + 6);
  EXPECT_EQ(cr.right, 61);
  EXPECT_EQ(cr.bottom, 71);
  auto size = TheLog().Of(WM_SIZE, c);
  EXPECT_TRUE(size.empty());
  // MoveWindow reports the new client size.
  TheLog().Clear();
  MoveWindow(c, 0, 0, 30, 31, TRUE);
  size = TheLog().Of(WM_SIZE, c);
  ASSERT_EQ(size.size(), 1u);
  EXPECT_EQ(size[0].lParam, MAKELPARAM(30, 31));
}

TEST_F(TreeTest, ShowWindowMessagesAndActivation) {
  HWND a = Top(0, 52, 200, 200);
  HWND b = Top(0, 52, 200, 200, 0);
  EXPECT_EQ(GetActiveWindow(), a);
  TheLog().Clear();
  EXPECT_FALSE(ShowWindow(b, SW_SHOWNA));
  EXPECT_EQ(GetActiveWindow(), a);  // SW_SHOWNA does not activate
  EXPECT_EQ(TheLog().Msgs(b, {WM_SHOWWINDOW, WM_WINDOWPOSCHANGED, WM_ACTIVATE}),
            (std::vector<UINT>{WM_SHOWWINDOW, WM_WINDOWPOSCHANGED}));
  TheLog().Clear();
  EXPECT_TRUE(ShowWindow(b, SW_SHOW));
  EXPECT_EQ(GetActiveWindow(), b);
  auto deact = TheLog().Of(WM_ACTIVATE, a);
  ASSERT_EQ(deact.size(), 1u);
  EXPECT_EQ(LOWORD(deact[0].wParam), WA_INACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(deact[0].lParam), b);
  auto act = TheLog().Of(WM_ACTIVATE, b);
  ASSERT_EQ(act.size(), 1u);
  EXPECT_EQ(LOWORD(act[0].wParam), WA_ACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(act[0].lParam), a);
  // Hiding the active window activates the next one.
  TheLog().Clear();
  EXPECT_TRUE(ShowWindow(b, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(b));
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_EQ(TheLog().Msgs(b, {WM_SHOWWINDOW, WM_WINDOWPOSCHANGED}),
            (std::vector<UINT>{WM_SHOWWINDOW, WM_WINDOWPOSCHANGED}));
}

TEST_F(TreeTest, TopmostWindowsStayAboveAndOwnedWindowsFollowOwner) {
  HWND toast = Top(0, 52, 100, 100, WS_VISIBLE, WS_EX_TOPMOST);
  HWND a = Top(0, 52, 100, 100);
  HWND b = Top(0, 52, 100, 100);
  HWND ownedByA = Top(0, 52, 50, 50, WS_VISIBLE, 0, a);
  std::vector<HWND> order;
  auto collect = [&] {
    order.clear();
    EnumWindows([](HWND h, LPARAM l) { reinterpret_cast<std::vector<HWND>*>(l)->push_back(h); return TRUE; },
                reinterpret_cast<LPARAM>(&order));
  };
  collect();
  EXPECT_EQ(order.front(), toast);
  SetForegroundWindow(b);
  collect();
  EXPECT_EQ(order, (std::vector<HWND>{toast, b, ownedByA, a}));
  SetForegroundWindow(a);
  collect();
  EXPECT_EQ(order, (std::vector<HWND>{toast, ownedByA, a, b}));
  // Made topmost later: goes above the others, no move or size.
  SetWindowPos(b, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  collect();
  EXPECT_EQ(order[0], b);
  EXPECT_EQ(WindowFromPoint(POINT{10, 60}), b);
}

TEST_F(TreeTest, CoordinatesThroughTheTree) {
  HWND top = Top(10, 60, 300, 300, WS_VISIBLE | WS_BORDER);
  HWND c = Child(top, 1, 20, 30, 100, 100, WS_VISIBLE | WS_BORDER);
  POINT p{0, 0};
  ASSERT_TRUE(ClientToScreen(c, &p));
  EXPECT_EQ(p.x, 10 + 1 + 20 + 1);
  EXPECT_EQ(p.y, 60 + 1 + 30 + 1);
  ScreenToClient(top, &p);
  EXPECT_EQ(p.x, 21);
  EXPECT_EQ(p.y, 31);
  RECT cr;
  GetClientRect(c, &cr);
  EXPECT_EQ(cr.right, 98);
  EXPECT_EQ(cr.bottom, 98);
  POINT pts[1] = {{5, 5}};
  MapWindowPoints(c, top, pts, 1);
  EXPECT_EQ(pts[0].x, 26);
  EXPECT_EQ(WindowFromPoint(POINT{10 + 1 + 20 + 5, 60 + 1 + 30 + 5}), c);
  EXPECT_EQ(ChildWindowFromPoint(top, POINT{25, 35}), c);
  EXPECT_EQ(ChildWindowFromPoint(top, POINT{200, 200}), top);
}

TEST_F(TreeTest, FindWindowSearchesClassAndTitle) {
  HWND a = Top(0, 52, 10, 10, WS_VISIBLE, 0, nullptr, u"Sorvi");
  EXPECT_EQ(FindWindowW(kClass, u"Sorvi"), a);
  EXPECT_EQ(FindWindowW(u"testrecordingclass", nullptr), a);
  EXPECT_EQ(FindWindowW(kClass, u"sorvi"), nullptr);  // titles are exact
  EXPECT_EQ(FindWindowW(u"NoSuchClass", u"Sorvi"), nullptr);
  WCHAR name[64];
  EXPECT_EQ(GetClassNameW(a, name, 64), 18);
  EXPECT_EQ(std::u16string(name), kClass);
}

TEST_F(TreeTest, ClassesAreUniqueAndCannotGoWhileUsed) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &RecordingProc;
  wc.lpszClassName = u"testrecordingCLASS";
  SetLastError(0);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  HWND h = Top();
  EXPECT_FALSE(UnregisterClassW(kClass, nullptr));
  DestroyWindow(h);
  EXPECT_EQ(CreateWindowExW(0, u"Missing", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

}  // namespace
