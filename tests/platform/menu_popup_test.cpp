// Menus as data, menu resources, and pop-up menus tracked in their nested
// loop: answered by script, by automation from another thread, by stylus
// and by keys; placement around an excluded rectangle; the engine lock.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/menu.h"
#include "platform/menu_automation.h"
#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

class MenuTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    AutoMenuClearScript();
    AutoMenuClearHistory();
  }
  void TearDown() override {
    AutoMenuClearScript();
    WindowTest::TearDown();
  }
  // "Cut" 40100, "Copy" 40101 (checked), separator, "Paste" 40102, "Clear" 40103 (grayed).
  static HMENU EditMenu() {
    HMENU m = CreatePopupMenu();
    AppendMenuW(m, MF_STRING, 40100, u"C&ut");
    AppendMenuW(m, MF_STRING | MF_CHECKED, 40101, u"&Copy");
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(m, MF_STRING, 40102, u"&Paste");
    AppendMenuW(m, MF_STRING | MF_GRAYED, 40103, u"Clea&r");
    return m;
  }
};

TEST_F(MenuTest, ItemsAreBuiltQueriedAndChanged) {
  HMENU m = EditMenu();
  HMENU sub = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(sub, MF_STRING, 500, u"Deep"));
  ASSERT_TRUE(AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"More"));
  EXPECT_EQ(GetMenuItemCount(m), 6);
  EXPECT_EQ(GetMenuItemID(m, 0), 40100u);
  EXPECT_EQ(GetMenuItemID(m, 5), 0xFFFFFFFFu);  // a pop-up
  EXPECT_EQ(GetSubMenu(m, 5), sub);
  EXPECT_EQ(GetSubMenu(m, 0), nullptr);
  EXPECT_EQ(GetMenuState(m, 2, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);

  // Check and enable return the previous state; by command the pop-ups are searched too.
  EXPECT_EQ(CheckMenuItem(m, 40101, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(m, 40101, MF_BYCOMMAND | MF_UNCHECKED), MF_UNCHECKED);
  EXPECT_EQ(CheckMenuItem(m, 500, MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(EnableMenuItem(m, 4, MF_BYPOSITION | MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(GetMenuState(m, 40103, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);
  EXPECT_EQ(CheckMenuItem(m, 999, MF_CHECKED), 0xFFFFFFFFu);
  EXPECT_EQ(EnableMenuItem(m, 17, MF_BYPOSITION), 0xFFFFFFFFu);

  // Insert before a command (found in a pop-up) and by position.
  ASSERT_TRUE(InsertMenuW(m, 500, MF_BYCOMMAND | MF_STRING, 499, u"Before deep"));
  EXPECT_EQ(GetMenuItemID(sub, 0), 499u);
  ASSERT_TRUE(InsertMenuW(m, 0, MF_BYPOSITION | MF_STRING, 1, u"First"));
  EXPECT_EQ(GetMenuItemID(m, 0), 1u);
  WCHAR text[16];
  EXPECT_EQ(GetMenuStringW(m, 40100, text, 16, MF_BYCOMMAND), 4);
  EXPECT_EQ(std::u16string(text), u"C&ut");
  EXPECT_EQ(GetMenuStringW(m, 40100, text, 3, MF_BYCOMMAND), 2);  // cut to the buffer
  EXPECT_EQ(std::u16string(text), u"C&");

  // DeleteMenu destroys a pop-up item's menu; RemoveMenu would keep it.
  ASSERT_TRUE(DeleteMenu(m, 6, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(sub));
  EXPECT_FALSE(RemoveMenu(m, 12345, MF_BYCOMMAND));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));

  // Destroying a menu takes its pop-ups with it; the handles are refused after.
  HMENU sub2 = CreatePopupMenu();
  AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub2), u"Again");
  EXPECT_FALSE(AppendMenuW(EditMenu(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub2), u"Twice"));  // one holder
  ASSERT_TRUE(DestroyMenu(m));
  EXPECT_FALSE(IsMenu(m));
  EXPECT_FALSE(IsMenu(sub2));
  EXPECT_FALSE(DestroyMenu(m));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
  EXPECT_EQ(GetMenuItemCount(m), -1);
  EXPECT_FALSE(AppendMenuW(m, MF_STRING, 1, u"x"));
  // A new menu may reuse the slot; the old handle still is refused.
  HMENU again = CreatePopupMenu();
  EXPECT_FALSE(IsMenu(m));
  EXPECT_TRUE(IsMenu(again));
  DestroyMenu(again);
}

const MENU_RESOURCE_ITEM kBar[] = {
    {MF_POPUP, 0, u"Dict"},
    {MF_POPUP, 0, u"&Dict"},
    {0, 12801, u"Switch &Language"},
    {MF_END, 12802, u"Switch &Dictionary"},
    {MF_POPUP, 0, u"&Edit"},
    {0, 12820, u"C&ut"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_END, 12821, u"&Copy"},
    {MF_END, 12808, u"&Preferences..."},
    {MF_POPUP | MF_END, 0, u"Modules"},
    {MF_END | MF_GRAYED, 12840, u"&Open Flashcards..."},
};

TEST_F(MenuTest, MenuResourcesLoadNestedPopups) {
  RegisterResource(RT_MENU, 9104, kBar, sizeof(kBar));
  HMENU bar = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(9104));
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  HMENU dict = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(dict), 3);
  HMENU inner = GetSubMenu(dict, 0);
  EXPECT_EQ(GetMenuItemID(inner, 1), 12802u);
  HMENU edit = GetSubMenu(dict, 1);
  ASSERT_EQ(GetMenuItemCount(edit), 3);
  EXPECT_EQ(GetMenuState(edit, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(dict, 2), 12808u);
  HMENU modules = GetSubMenu(bar, 1);
  EXPECT_EQ(GetMenuState(modules, 12840, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
  DestroyMenu(bar);

  EXPECT_EQ(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(9105)), nullptr);
  // A pop-up whose level never ends is refused.
  static const MENU_RESOURCE_ITEM kOpen[] = {{MF_POPUP, 0, u"A"}, {0, 1, u"x"}};
  EXPECT_EQ(LoadMenuIndirectW(kOpen, 2), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(MenuTest, ScriptedAnswersChooseByIdTextOrDismiss) {
  HWND owner = Top();
  HMENU m = EditMenu();
  struct Case {
    const char* name;
    void (*script)();
    UINT flags;
    BOOL expected;
    bool failed;
  };
  const Case cases[] = {
      {"by id", [] { AutoMenuScriptChoose(40102); }, TPM_RETURNCMD, 40102, false},
      {"by text without marks", [] { AutoMenuScriptChooseText(u"Cut"); }, TPM_RETURNCMD, 40100, false},
      {"dismissed", [] { AutoMenuScriptDismiss(); }, TPM_RETURNCMD, 0, false},
      {"grayed item", [] { AutoMenuScriptChoose(40103); }, TPM_RETURNCMD, 0, true},
      {"missing item", [] { AutoMenuScriptChoose(7); }, TPM_RETURNCMD, 0, true},
      {"posted command", [] { AutoMenuScriptChoose(40101); }, 0, TRUE, false},
      {"dismissed without returning the command", [] { AutoMenuScriptDismiss(); }, 0, TRUE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TheLog().Clear();
    AutoMenuClearHistory();
    c.script();
    BOOL r = TrackPopupMenuEx(m, c.flags | TPM_VERTICAL, 10, 100, owner, nullptr);
    EXPECT_EQ(r, c.expected);
    auto inits = TheLog().Of(WM_INITMENUPOPUP, owner);
    ASSERT_EQ(inits.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[0].wParam), m);
    auto h = AutoMenuHistory();
    ASSERT_EQ(h.size(), 1u);
    EXPECT_TRUE(h[0].ended);
    EXPECT_EQ(h[0].scriptFailed, c.failed ? TRUE : FALSE);
    EXPECT_EQ(h[0].owner, owner);
    PumpPendingMessages();
    auto commands = TheLog().Of(WM_COMMAND, owner);
    if (!(c.flags & TPM_RETURNCMD) && h[0].chosen) {
      ASSERT_EQ(commands.size(), 1u);
      EXPECT_EQ(LOWORD(commands[0].wParam), 40101);
    } else {
      EXPECT_TRUE(commands.empty());
    }
  }
  // The menu's windows are gone and the menu can be destroyed.
  EXPECT_EQ(AutoFindWindow(nullptr, u"PopupMenuClass", -1), nullptr);
  EXPECT_TRUE(DestroyMenu(m));
}

TEST_F(MenuTest, InitMenuPopupSeesTheMenuBeforeItShowsAndItemsAreRecorded) {
  HWND owner = Top();
  HMENU m = CreatePopupMenu();
  for (UINT i = 0; i < 10; ++i) {
    std::u16string t(1, static_cast<char16_t>(u'1' + i));
    AppendMenuW(m, MF_STRING, 40100 + i, t.c_str());
  }
  // The owner checks level 4 when the menu opens, as the volume menu does.
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == owner && msg == WM_INITMENUPOPUP) CheckMenuItem(reinterpret_cast<HMENU>(wParam), 3, MF_BYPOSITION | MF_CHECKED);
    return std::nullopt;
  };
  AutoMenuScriptChoose(40107);
  EXPECT_EQ(TrackPopupMenuEx(m, TPM_RETURNCMD, 0, 60, owner, nullptr), 40107);
  auto h = AutoMenuHistory();
  ASSERT_EQ(h.size(), 1u);
  ASSERT_EQ(h[0].items.size(), 10u);
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ((h[0].items[i].flags & MF_CHECKED) != 0, i == 3) << i;
  EXPECT_EQ(h[0].chosen, 40107u);
  // Bad calls fail at once.
  EXPECT_FALSE(TrackPopupMenuEx(m, TPM_RETURNCMD, 0, 0, nullptr, nullptr));
  DestroyMenu(m);
  EXPECT_FALSE(TrackPopupMenuEx(m, TPM_RETURNCMD, 0, 0, owner, nullptr));
}

// Runs TrackPopupMenuEx on this thread while `answer` runs on another; this
// thread keeps handling messages until the other is done (its last input may
// arrive after the menu ended).
template <typename F>
BOOL TrackAnswered(HMENU m, UINT flags, int x, int y, HWND owner, const TPMPARAMS* p, F answer) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    answer();
    done = true;
  });
  BOOL r = TrackPopupMenuEx(m, flags, x, y, owner, p);
  while (!done) {
    PumpPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  t.join();
  return r;
}

TEST_F(MenuTest, AnotherThreadChoosesWhileTheLoopReleasesTheEngineLock) {
  HWND owner = Top();
  HMENU m = EditMenu();
  engine_lock::Acquire();
  engine_lock::Acquire();
  DWORD before = engine_lock::Depth();
  std::atomic<bool> lockFree{false};
  AutoMenuInfo seen{};
  BOOL chose = FALSE;
  BOOL refused = TRUE;
  BOOL r = TrackAnswered(m, TPM_RETURNCMD | TPM_VERTICAL, 20, 200, owner, nullptr, [&] {
    ASSERT_TRUE(AutoMenuWaitOpen(5000, &seen));
    // The UI thread waits in the menu's loop: the engine lock becomes free
    // (it is held only while a message is being dispatched).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!lockFree && std::chrono::steady_clock::now() < deadline) {
      if (engine_lock::TryAcquire()) {
        lockFree = true;
        engine_lock::Release();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    refused = AutoMenuChoose(40103);  // grayed: refused, the menu stays open
    chose = AutoMenuChoose(40102);
  });
  EXPECT_EQ(r, 40102);
  EXPECT_TRUE(chose);
  EXPECT_FALSE(refused);
  EXPECT_TRUE(lockFree.load());
  EXPECT_EQ(engine_lock::Depth(), before);
  engine_lock::Release();
  engine_lock::Release();
  ASSERT_EQ(seen.items.size(), 5u);
  EXPECT_EQ(seen.items[1].flags & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(seen.items[3].text, u"&Paste");
  EXPECT_FALSE(AutoMenuChoose(40100, 50));  // nothing open any more
  DestroyMenu(m);
}

TEST_F(MenuTest, AWorkersMenuLetsGoOfTheLockTheWorkerHeld) {
  HMENU m = EditMenu();
  std::atomic<BOOL> result{-1};
  std::atomic<DWORD> depthAfter{0};
  std::thread worker([&] {
    // The worker's own window owns the menu; the worker holds the engine lock around it.
    HWND owner = CreateWindowExW(0, kClass, u"worker", WS_POPUP | WS_VISIBLE, 0, 52, 200, 200, nullptr, nullptr, nullptr,
                                 nullptr);
    engine_lock::Acquire();
    result = TrackPopupMenuEx(m, TPM_RETURNCMD, 10, 100, owner, nullptr);
    depthAfter = engine_lock::Depth();
    engine_lock::Release();
    DestroyWindow(owner);
  });
  AutoMenuInfo info{};
  ASSERT_TRUE(AutoMenuWaitOpen(5000, &info));
  bool lockFree = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!lockFree && std::chrono::steady_clock::now() < deadline) {
    if (engine_lock::TryAcquire()) {
      lockFree = true;
      engine_lock::Release();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  EXPECT_TRUE(lockFree);
  EXPECT_TRUE(AutoMenuChooseText(u"Paste"));
  worker.join();
  EXPECT_EQ(result.load(), 40102);
  EXPECT_EQ(depthAfter.load(), 1u);  // taken back when the menu ended
  DestroyMenu(m);
}

TEST_F(MenuTest, ChoosingInsideAPopupOpensItOnTheWay) {
  HWND owner = Top();
  RegisterResource(RT_MENU, 9106, kBar, sizeof(kBar));
  HMENU bar = LoadMenuW(nullptr, MAKEINTRESOURCEW(9106));
  HMENU dict = GetSubMenu(bar, 0);
  HMENU edit = GetSubMenu(dict, 1);
  BOOL r = TrackAnswered(dict, TPM_RETURNCMD, 0, 300, owner, nullptr, [&] { EXPECT_TRUE(AutoMenuChooseText(u"Copy")); });
  EXPECT_EQ(r, 12821);
  auto inits = TheLog().Of(WM_INITMENUPOPUP, owner);
  ASSERT_EQ(inits.size(), 2u);
  EXPECT_EQ(reinterpret_cast<HMENU>(inits[0].wParam), dict);
  EXPECT_EQ(reinterpret_cast<HMENU>(inits[1].wParam), edit);
  EXPECT_EQ(LOWORD(inits[1].lParam), 1);  // its position in the parent
  DestroyMenu(bar);
}

// A key as the input source delivers it: posted to the focus window, which
// keeps the focus while the menu is open; the menu's loop takes it.
void Key(HWND focus, UINT vk) {
  PostMessageW(focus, WM_KEYDOWN, vk, 1);
  PostMessageW(focus, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

TEST_F(MenuTest, StylusAndKeysChooseOrDismiss) {
  HWND owner = Top();
  HMENU m = EditMenu();
  struct Case {
    const char* name;
    std::function<void(const AutoMenuInfo&)> act;
    BOOL expected;
  };
  const Case cases[] = {
      {"tap on Paste",
       [](const AutoMenuInfo& info) {
         // Paste is the last row above the grayed Clear: one row up from the bottom.
         int rowH = (info.rect.bottom - info.rect.top - 2 - ScaleToScreenDpi(7)) / 4;
         AutoTap(info.rect.left + 20, info.rect.bottom - 1 - rowH - rowH / 2);
       },
       40102},
      {"tap on grayed Clear then outside",
       [](const AutoMenuInfo& info) {
         AutoTap(info.rect.left + 20, info.rect.bottom - 4);
         AutoTap(info.rect.right + 30, info.rect.bottom + 30);
       },
       0},
      {"keys down twice and enter",
       [&](const AutoMenuInfo&) {
         Key(owner, VK_DOWN);
         Key(owner, VK_DOWN);
         Key(owner, VK_RETURN);
       },
       40101},
      {"keys wrap past the separator",
       [&](const AutoMenuInfo&) {
         Key(owner, VK_UP);  // from nothing to the last row, Clear
         Key(owner, VK_UP);  // Paste
         Key(owner, VK_UP);  // Copy: the separator is skipped
         Key(owner, VK_RETURN);
       },
       40101},
      {"escape", [&](const AutoMenuInfo&) { Key(owner, VK_ESCAPE); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BOOL r = TrackAnswered(m, TPM_RETURNCMD, 40, 120, owner, nullptr, [&] {
      AutoMenuInfo info{};
      ASSERT_TRUE(AutoMenuWaitOpen(5000, &info));
      c.act(info);
    });
    EXPECT_EQ(r, c.expected);
  }
  DestroyMenu(m);
}

TEST_F(MenuTest, PlacementAvoidsTheExcludedRectangle) {
  HWND owner = Top();
  HMENU m = EditMenu();
  int sw = GetSystemMetrics(SM_CXSCREEN);
  int sh = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    const char* name;
    RECT button;
    UINT flags;
    int x, y;
    int where;  // 0 below the button, 1 above it, 2 right of it, 3 left of it
  };
  const Case cases[] = {
      {"room below", {100, 100, 160, 140}, TPM_VERTICAL, 100, 140, 0},
      {"no room below", {100, sh - 60, 160, sh - 20}, TPM_VERTICAL, 100, sh - 20, 1},
      {"bottom aligned goes above", {100, 300, 160, 340}, TPM_VERTICAL | TPM_BOTTOMALIGN, 100, 340, 1},
      {"horizontal goes beside", {10, 300, 60, 340}, TPM_HORIZONTAL, 10, 300, 2},
      {"horizontal at the right edge", {sw - 50, 300, sw, 340}, TPM_HORIZONTAL, sw - 50, 300, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AutoMenuClearHistory();
    AutoMenuScriptDismiss();
    TPMPARAMS p{sizeof(TPMPARAMS), c.button};
    TrackPopupMenuEx(m, c.flags | TPM_RETURNCMD, c.x, c.y, owner, &p);
    auto h = AutoMenuHistory();
    ASSERT_EQ(h.size(), 1u);
    RECT r = h[0].rect;
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, sw);
    EXPECT_LE(r.bottom, sh);
    switch (c.where) {
      case 0: EXPECT_EQ(r.top, c.button.bottom); break;
      case 1: EXPECT_EQ(r.bottom, c.button.top); break;
      case 2: EXPECT_EQ(r.left, c.button.right); break;
      case 3: EXPECT_EQ(r.right, c.button.left); break;
    }
  }
  DestroyMenu(m);
}

TEST_F(MenuTest, TheMenuIsDrawnOnTopOfItsOwner) {
  HWND owner = Top();
  HMENU m = EditMenu();
  std::vector<std::uint32_t> pixels;
  int w = 0, h = 0;
  BOOL r = TrackAnswered(m, TPM_RETURNCMD, 50, 150, owner, nullptr, [&] {
    AutoMenuInfo info{};
    ASSERT_TRUE(AutoMenuWaitOpen(5000, &info));
    HWND popup = AutoFindWindow(nullptr, u"PopupMenuClass", -1);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(AutoGetWindowState(popup).visible);
    EXPECT_EQ(AutoGetWindowState(popup).windowRect.top, 150);
    EXPECT_TRUE(AutoCaptureWindow(popup, &pixels, &w, &h));
    AutoMenuDismiss();
  });
  EXPECT_EQ(r, 0);
  ASSERT_GT(w * h, 0);
  // Text was drawn: some pixels carry the menu text colour.
  std::uint32_t text = GetSysColor(COLOR_MENUTEXT);
  std::uint32_t xrgb = ((text & 0xFF) << 16) | (text & 0xFF00) | ((text >> 16) & 0xFF);
  EXPECT_GT(std::count(pixels.begin(), pixels.end(), xrgb), 20);
  DestroyMenu(m);
}

}  // namespace
