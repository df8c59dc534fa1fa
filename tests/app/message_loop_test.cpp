// The message loop's re-routing of navigation keys and taps, and the
// foreground selection taken through the clipboard.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_instance.h"
#include "app/app_startup.h"
#include "platform/clipboard.h"
#include "platform/heap.h"
#include "platform/message.h"
#include "platform/window.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_list.h"

namespace {

constexpr WCHAR kClass[] = u"AppLoopTestWindow";

// What the test windows received.
std::vector<std::pair<HWND, UINT>> gReceived;
// The text a foreign window copies, and the message it answers with it.
std::u16string gSelection;
UINT gCopyOn = WM_COPY;
WPARAM gCopyCommand = 0;

void PutOnClipboard(const std::u16string& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, (text.size() + 1) * sizeof(WCHAR)));
  std::memcpy(block, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
}

std::u16string ClipboardText() {
  if (!OpenClipboard(nullptr)) return u"<not open>";
  auto* own = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
  std::u16string text = own ? own : u"<none>";
  CloseClipboard();
  return text;
}

LRESULT TestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN || msg == kControlCloseMessage || msg == WM_LBUTTONDOWN || msg == WM_COPY || msg == WM_COMMAND)
    gReceived.emplace_back(hwnd, msg == WM_COMMAND ? static_cast<UINT>(wParam) : msg);
  const bool answers = gCopyOn == msg && (msg != WM_COMMAND || wParam == gCopyCommand);
  if (answers && !gSelection.empty()) PutOnClipboard(gSelection);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class LoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    gReceived.clear();
    gSelection.clear();
    gCopyOn = WM_COPY;
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    AppMainWindow = AppTestWindow = AppReaderWindow = AppManageCardsWindow = nullptr;
    PopupListWindow = PopupListRecord{};
    PumpPendingMessages();
  }
  HWND Top(const WCHAR* title = u"t") {
    HWND w = CreateWindowExW(0, kClass, title, WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    windows_.push_back(w);
    return w;
  }
  HWND Control(HWND parent, int id) {
    return CreateWindowExW(0, kClass, u"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
  static MSG Key(HWND hwnd, WPARAM key) { return MSG{hwnd, WM_KEYDOWN, key, 0, 0, {}}; }

  std::vector<HWND> windows_;
};

TEST_F(LoopTest, NavigationKeysGoToTheScreenOwningTheControlId) {
  HWND main = Top(), test = Top(), reader = Top(), manage = Top();
  HWND parent = Top();
  struct Case {
    int id;
    WPARAM key;
    HWND* owner;  // where the key goes while that window exists
  };
  const Case cases[] = {
      {1002, VK_LEFT, &AppMainWindow},
      {1047, VK_RETURN, &AppMainWindow},
      {1105, VK_DOWN, &AppTestWindow},
      {1152, VK_UP, &AppTestWindow},
      {1202, VK_RIGHT, &AppReaderWindow},
      {1228, VK_DOWN, &AppReaderWindow},
      {3700, VK_UP, &AppManageCardsWindow},
      {3720, VK_RETURN, &AppManageCardsWindow},
      {1048, VK_DOWN, nullptr},
      {1201, VK_DOWN, nullptr},
      {3721, VK_DOWN, nullptr},
      {1002, 'A', nullptr},            // not a navigation key
      {1002, VK_PROCESSKEY, nullptr},  // the input method has no navigation key behind it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    HWND control = Control(parent, c.id);
    AppMainWindow = AppTestWindow = AppReaderWindow = AppManageCardsWindow = nullptr;
    MSG m = Key(control, c.key);
    RerouteLoopMessage(&m);
    EXPECT_EQ(m.hwnd, control);  // no screen window: the control keeps it
    AppMainWindow = main, AppTestWindow = test, AppReaderWindow = reader, AppManageCardsWindow = manage;
    m = Key(control, c.key);
    RerouteLoopMessage(&m);
    EXPECT_EQ(m.hwnd, c.owner ? *c.owner : control);
    DestroyWindow(control);
  }
}

TEST_F(LoopTest, KeysReachTheTestWindowThroughTheLoop) {
  HWND parent = Top();
  HWND control = Control(parent, 1105);
  AppTestWindow = Top();
  PumpPendingMessages();
  gReceived.clear();
  PostMessageW(control, WM_KEYDOWN, VK_DOWN, 0);
  PostQuitMessage(0);
  RunAppMessageLoop();
  ASSERT_EQ(gReceived.size(), 1u);
  EXPECT_EQ(gReceived[0], std::make_pair(AppTestWindow, static_cast<UINT>(WM_KEYDOWN)));
}

TEST_F(LoopTest, AnOpenPopupListTakesTheKeysAndATapOutsideClosesIt) {
  HWND main = Top();
  AppMainWindow = main;
  HWND control = Control(main, 1002);
  HWND list = Top(u"list");
  PopupListWindow.window = list;
  PopupListWindow.screenRect = RECT{100, 100, 200, 200};
  MSG m = Key(control, VK_UP);
  RerouteLoopMessage(&m);
  EXPECT_EQ(m.hwnd, list);
  RECT r = {};
  GetWindowRect(control, &r);
  // Inside the list's rectangle: delivered as it is.
  m = MSG{control, WM_LBUTTONDOWN, 0, MAKELPARAM(150 - r.left, 150 - r.top), 0, {}};
  RerouteLoopMessage(&m);
  EXPECT_EQ(m.hwnd, control);
  EXPECT_EQ(m.message, WM_LBUTTONDOWN);
  EXPECT_EQ(PopupListWindow.window, list);
  // Outside: the list is told to close and the tap is not delivered.
  m = MSG{control, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5), 0, {}};
  RerouteLoopMessage(&m);
  EXPECT_EQ(m.hwnd, list);
  EXPECT_EQ(m.message, kControlCloseMessage);
  EXPECT_EQ(PopupListWindow.window, nullptr);
}

TEST_F(LoopTest, ForegroundSelectionComesThroughTheClipboardAndTheOldTextGoesBack) {
  struct Case {
    const char* what;
    UINT copyOn;
    WPARAM command;
    std::u16string selection;
    std::vector<UINT> asked;  // what the foreign window was sent, in order
  };
  const Case cases[] = {
      {"answers WM_COPY", WM_COPY, 0, u"選択", {WM_COPY}},
      {"answers the second menu command", WM_COMMAND, 0x55F2, u"text", {WM_COPY, 0x3215, 0x55F2}},
      {"answers the third", WM_COMMAND, 0x9CD8, u"x", {WM_COPY, 0x3215, 0x55F2, 0x9CD8}},
      {"nothing selected", WM_COPY, 0, u"", {WM_COPY, 0x3215, 0x55F2, 0x9CD8}},
  };
  HWND foreign = Top(u"foreign");
  MarkForeignWindow(foreign);
  SetForegroundWindow(foreign);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutOnClipboard(u"earlier");
    gCopyOn = c.copyOn;
    gCopyCommand = c.command;
    gSelection = c.selection;
    gReceived.clear();
    WCHAR* text = GrabForegroundSelection(nullptr);
    if (c.selection.empty()) {
      EXPECT_EQ(text, nullptr);
    } else {
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(std::u16string(text), c.selection);
    }
    LocalFree(text);
    std::vector<UINT> asked;
    for (auto& [hwnd, msg] : gReceived)
      if (hwnd == foreign) asked.push_back(msg);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(ClipboardText(), u"earlier");
  }
}

}  // namespace
