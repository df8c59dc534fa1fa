#include "app/main_window.h"

#include "app/app_instance.h"
#include "app/app_startup.h"
#include "platform/heap.h"
#include "platform/message.h"
#include "platform/window.h"

MainWindowRecord MainWindow = {};
uint8_t iaActivated = 1;
uint8_t skipRescanOnce = 1;
uint8_t highlightShown = 0;

void CreateMainWindowChildren(HWND) {}
void LayoutMainWindow(HWND, bool) {}
void SaveStateToRegistry(bool) {}
void RegisterAppKeys(DictEngine*, HWND, int32_t, uint8_t*) {}
void UnregisterAppKeys(uint8_t*) {}
HWND CreateToolButton(HWND, int, HIMAGELIST, int, bool) { return nullptr; }
void UpdateInputFieldMode() {}

LRESULT MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      AppMainWindow = hwnd;
      if (StartApplication() != 0) {
        AppMainWindow = nullptr;
        return -1;
      }
      return 0;
    case WM_DESTROY:
      AppMainWindow = nullptr;
      PostQuitMessage(0);
      return 0;
    case kAppLookupSelection:
      // Only a send of this process carries a text; a posted message's
      // lParam is a bare number and must not be freed.
      if (IsMessageSent() && lParam) LocalFree(reinterpret_cast<HLOCAL>(lParam));
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
