#include "app/app_instance.h"

#include "app/app_startup.h"
#include "app/main_window.h"
#include "engine/utf8.h"
#include "platform/controls.h"
#include "platform/gdi.h"
#include "platform/heap.h"
#include "platform/ime.h"
#include "platform/ipc.h"
#include "platform/paint.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_list.h"

HWND AppMainWindow = nullptr;
HWND AppTestWindow = nullptr;
HWND AppReaderWindow = nullptr;
HWND AppManageCardsWindow = nullptr;

namespace {

// The common controls the screens use (0x507: list views, tree views,
// bars, tabs, up-down and date controls).
constexpr DWORD kCommonControlClasses = 0x507;
constexpr DWORD kInitCommonControlsSize = 8;
// The main window's background: the system colour 16.
constexpr int kMainBackgroundColour = 16;
// Bottom of the z-order without moving, sizing or activating.
constexpr UINT kToBottomFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

bool IsNavigationKey(WPARAM key) {
  return key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN || key == VK_RETURN;
}

// Which screen owns a control id.
struct IdRoute {
  LONG first, last;
  HWND* owner;
};
const IdRoute kIdRoutes[] = {
    {1002, 1047, &AppMainWindow},
    {1102, 1152, &AppTestWindow},
    {1202, 1228, &AppReaderWindow},
    {3700, 3720, &AppManageCardsWindow},
};

}  // namespace

void RerouteLoopMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN) {
    if (msg->wParam == VK_PROCESSKEY) {
      const UINT real = ImmGetVirtualKey(msg->hwnd);
      if (IsNavigationKey(real)) msg->wParam = real;
    }
    if (!IsNavigationKey(msg->wParam)) return;
    if (PopupListWindow.window) {
      msg->hwnd = PopupListWindow.window;
      return;
    }
    const LONG id = GetWindowLongW(msg->hwnd, GWL_ID);
    for (const IdRoute& route : kIdRoutes) {
      if (id >= route.first && id <= route.last && *route.owner) {
        msg->hwnd = *route.owner;
        return;
      }
    }
    return;
  }
  if (msg->message == WM_LBUTTONDOWN && PopupListWindow.window) {
    RECT window = {};
    GetWindowRect(msg->hwnd, &window);
    const int x = window.left + static_cast<int16_t>(LOWORD(msg->lParam));
    const int y = window.top + static_cast<int16_t>(HIWORD(msg->lParam));
    const RECT& list = PopupListWindow.screenRect;
    if (x >= list.left && x < list.right && y >= list.top && y < list.bottom) return;
    msg->hwnd = PopupListWindow.window;
    PopupListWindow.window = nullptr;
    msg->message = kControlCloseMessage;
    msg->wParam = 0;
    msg->lParam = 0;
  }
}

int RunAppMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    RerouteLoopMessage(&msg);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.message == WM_QUIT ? msg.wParam : 0);
}

ATOM RegisterMainWindowClass(HINSTANCE instance, const WCHAR* className) {
  WNDCLASSW wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hbrBackground = GetSysColorBrush(kMainBackgroundColour);
  wc.lpszClassName = className;
  return RegisterClassW(&wc);
}

int InitInstance(HINSTANCE instance, int showCommand, const WCHAR* commandLine) {
  AppInstance = instance;
  const std::u16string_view command = commandLine ? commandLine : u"";
  const bool lookupStart = command == u"ia";

  SHOrdinal9();
  INITCOMMONCONTROLSEX controls = {kInitCommonControlsSize, kCommonControlClasses};
  InitCommonControlsEx(&controls);

  WCHAR title[kAppResourceTextMax + 1] = {};
  WCHAR className[kAppResourceTextMax + 1] = {};
  LoadStringW(instance, kAppTitleString, title, kAppResourceTextMax + 1);
  LoadStringW(instance, kAppClassString, className, kAppResourceTextMax + 1);
  HWND running = FindWindowW(className, title);

  if (command == u"kl") {
    if (running) PostMessageW(running, WM_CLOSE, 0, 0);
    ReleaseStartLock();
    return 0;
  }
  if (running) {
    PostMessageW(running, lookupStart ? kAppLookupSelection : kAppActivate, 0, 0);
    ReleaseStartLock();
    return 0;
  }

  WCHAR* selection = nullptr;
  HWND foreground = nullptr;
  if (lookupStart) {
    selection = GrabForegroundSelection(nullptr);
    if (selection) foreground = GetForegroundWindow();
  }

  // The three messages a second start or the launcher posts.
  AcceptRemoteMessage(WM_CLOSE);
  AcceptRemoteMessage(kAppActivate);
  AcceptRemoteMessage(kAppLookupSelection);

  if (!RegisterMainWindowClass(instance, className)) {
    LocalFree(selection);
    ReleaseStartLock();
    return 0;
  }
  HWND main = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (!main) {
    LocalFree(selection);
    ReleaseStartLock();
    return 0;
  }
  if (selection) {
    SetWindowPos(main, HWND_BOTTOM, 0, 0, 0, 0, kToBottomFlags);
    ShowWindow(main, SW_HIDE);
    // The window shows the definition of the text and frees it.
    SendMessageW(main, kAppLookupSelection, 0, reinterpret_cast<LPARAM>(selection));
    SetForegroundWindow(foreground);
    ShowWindow(main, SW_SHOWNA);
    return 1;
  }
  ShowWindow(main, showCommand);
  UpdateWindow(main);
  return 1;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
  AppMainWindow = nullptr;
  AppTestWindow = nullptr;
  AppReaderWindow = nullptr;
  if (!InitInstance(instance, showCommand, commandLine)) return 0;
  const int code = RunAppMessageLoop();
  ShutdownApplication();
  return code;
}

std::u16string AppCommandLine(int argc, char** argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined += ' ';
    joined += argv[i];
  }
  std::u16string out;
  if (WCHAR* wide = WideDupFromUtf8(joined.c_str(), 0)) {
    out = wide;
    LocalFree(wide);
  }
  return out;
}
