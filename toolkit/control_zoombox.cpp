#include "toolkit/control_zoombox.h"

#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/text_service.h"
#include "toolkit/ui_scale.h"

namespace {

constexpr const WCHAR* kZoomboxProperty = u"SorviZoomboxInfo";

}  // namespace

uint16_t ZoomboxCharSize(int clientHeight) {
  return static_cast<uint16_t>(UnscaleByDpi(clientHeight - 2 * ScaleByDpi(6)));
}

LRESULT ZoomboxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* s = static_cast<ZoomboxState*>(LocalAlloc(LPTR, sizeof(ZoomboxState)));
    if (!s) return -1;
    s->drawContext = NewDrawContext(hwnd, AppInstance);
    SetControlState(hwnd, kZoomboxProperty, s);
    return 1;
  }
  auto* s = static_cast<ZoomboxState*>(GetControlState(hwnd, kZoomboxProperty));
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      RemoveControlState(hwnd, kZoomboxProperty);
      FreeDrawContext(s->drawContext);
      LocalFree(s);
      return 1;
    case kZoomboxSetChar:
      s->character = static_cast<uint32_t>(wParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      RECT client{};
      GetClientRect(hwnd, &client);
      TextStyleState style{};
      if (s->character) {
        DrawStyledChar(ControlEngine(), s->drawContext, 0, ZoomboxCharSize(client.bottom),
                       static_cast<WCHAR>(s->character), 0, 0, client.bottom, &style);
      }
      EndPaint(hwnd, &paint);
      return 1;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
