#include "toolkit/control_flashtext.h"

#include <cstdlib>

#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/text_service.h"

namespace {

// The pop-up open now, and the window that had the keyboard focus before
// it. A pop-up that opens over another inherits that window: the older one
// closes as the new one takes the focus, and must not take the focus back.
HWND g_current = nullptr;
HWND g_focusBefore = nullptr;

void PaintFlashText(HWND hwnd) {
  PAINTSTRUCT paint{};
  BeginPaint(hwnd, &paint);
  DrawContext* context = NewDrawContext(hwnd, AppInstance);
  if (context) {
    int size = static_cast<int>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    bool inverted = size < 0;
    ColorWord text = inverted ? 0xFFFFFF : kColorStatic;
    ColorWord background = inverted ? 0x000000 : kColorStatic;
    RECT client{};
    GetClientRect(hwnd, &client);
    // The whole pop-up takes the text's background, so that an inverted
    // notice is black to its border and not only behind its letters.
    FillShortRect(context, RectToShortRect(client), background);
    WCHAR buffer[kFlashTextMaxChars + 1] = {};
    int n = GetWindowTextW(hwnd, buffer, kFlashTextMaxChars + 1);
    TextStyleState style{};
    uint16_t slot = AppContextPointer ? AppContextPointer->fontId : 0;
    DrawStyledText(ControlEngine(), context, slot, static_cast<uint16_t>(std::abs(size)), buffer,
                   static_cast<uint16_t>(n), 0, 0, client.bottom, &style, text, background);
    FreeDrawContext(context);
  }
  EndPaint(hwnd, &paint);
}

// The focus goes back when the pop-up closed by itself or by the user's key
// or tap (its owner, or no window, is active then); when it closed because
// another window became active, that window keeps the activation. A stale
// handle is refused by the platform and nothing happens.
void GiveFocusBack() {
  HWND back = g_focusBefore;
  g_focusBefore = nullptr;
  if (!back || !IsWindow(back)) return;
  HWND active = GetActiveWindow();
  if (active && active != GetAncestor(back, GA_ROOT)) return;
  SetFocus(back);
}

}  // namespace

LRESULT FlashTextWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      HWND focus = GetFocus();
      if (!g_current || focus != g_current) g_focusBefore = focus;
      g_current = hwnd;
      SetCapture(hwnd);
      SetFocus(hwnd);
      return 0;
    }
    case WM_DESTROY:
      if (GetCapture() == hwnd) ReleaseCapture();
      if (hwnd == g_current) {
        g_current = nullptr;
        GiveFocusBack();
      }
      return 0;
    case WM_PAINT:
      PaintFlashText(hwnd);
      return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONUP:
      DestroyWindow(hwnd);
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, kFlashTextTimerId);
      DestroyWindow(hwnd);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        DestroyWindow(hwnd);
        return 0;
      }
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_LBUTTONDOWN:
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
