// The caret, drawn by inverting its rectangle in its window.
#include "platform/caret.h"

#include <mutex>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/threads.h"
#include "platform/window_internal.h"

namespace {

constexpr UINT kBlinkMs = 500;

// Lock order: this mutex, then the window manager's, then the GDI lock.
std::mutex gMutex;

struct Caret {
  HWND hwnd = nullptr;
  DWORD threadId = 0;
  int width = 0;
  int height = 0;
  POINT pos{};
  int hideCount = 1;    // created hidden
  int paintHidden = 0;  // taken off while its window paints
  bool blinkOn = true;
  bool drawn = false;   // its pixels are inverted now
  DWORD nextToggle = 0;
};
Caret gCaret;

RECT CaretRect(const Caret& c) {
  return RECT{c.pos.x, c.pos.y, c.pos.x + (c.width > 0 ? c.width : 1), c.pos.y + c.height};
}

void Invert(const Caret& c) {
  HDC dc = wm::MakeClientDC(c.hwnd, nullptr);
  if (!dc) return;
  RECT r = CaretRect(c);
  InvertRect(dc, &r);
  ReleaseSurfaceDC(dc);
  wm::MarkScreenDirty();
}

bool ShouldDraw(const Caret& c) {
  return c.hwnd && c.hideCount == 0 && c.paintHidden == 0 && (c.blinkOn || IsVirtualClockInstalled()) &&
         IsWindowVisible(c.hwnd);
}

void Apply(Caret& c) {
  bool want = ShouldDraw(c);
  if (want != c.drawn) {
    Invert(c);
    c.drawn = want;
  }
}

void TakeOff(Caret& c) {
  if (c.drawn) {
    Invert(c);
    c.drawn = false;
  }
}

}  // namespace

namespace wm {

void CaretHideForPaint(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd || gCaret.hwnd != hwnd) return;
  gCaret.paintHidden++;
  Apply(gCaret);
}

void CaretRestoreAfterPaint(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd || gCaret.hwnd != hwnd || gCaret.paintHidden == 0) return;
  gCaret.paintHidden--;
  Apply(gCaret);
}

void CaretWindowDestroyed(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (gCaret.hwnd == hwnd) gCaret = Caret{};
}

DWORD CaretBlinkTick(DWORD threadId) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd || gCaret.threadId != threadId || gCaret.hideCount != 0 || IsVirtualClockInstalled()) return INFINITE;
  DWORD now = GetTickCount();
  if (static_cast<LONG>(now - gCaret.nextToggle) >= 0) {
    gCaret.blinkOn = !gCaret.blinkOn;
    gCaret.nextToggle = now + kBlinkMs;
    Apply(gCaret);
  }
  return gCaret.nextToggle - now;
}

}  // namespace wm

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
  if (bitmap || !IsWindow(hwnd) || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lk(gMutex);
  TakeOff(gCaret);
  gCaret = Caret{};
  gCaret.hwnd = hwnd;
  gCaret.threadId = GetCurrentThreadId();
  gCaret.width = width;
  gCaret.height = height;
  gCaret.nextToggle = GetTickCount() + kBlinkMs;
  return TRUE;
}

BOOL DestroyCaret() {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd) return FALSE;
  TakeOff(gCaret);
  gCaret = Caret{};
  return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd || (hwnd && hwnd != gCaret.hwnd)) return FALSE;
  if (gCaret.hideCount > 0) gCaret.hideCount--;
  gCaret.blinkOn = true;
  gCaret.nextToggle = GetTickCount() + kBlinkMs;
  Apply(gCaret);
  return TRUE;
}

BOOL HideCaret(HWND hwnd) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd || (hwnd && hwnd != gCaret.hwnd)) return FALSE;
  gCaret.hideCount++;
  Apply(gCaret);
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd) return FALSE;
  TakeOff(gCaret);
  gCaret.pos = POINT{x, y};
  gCaret.blinkOn = true;
  gCaret.nextToggle = GetTickCount() + kBlinkMs;
  Apply(gCaret);
  return TRUE;
}

BOOL GetCaretPos(POINT* point) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd || !point) return FALSE;
  *point = gCaret.pos;
  return TRUE;
}

UINT GetCaretBlinkTime() { return kBlinkMs; }

BOOL GetCaretStateForTest(HWND* hwnd, RECT* rect, BOOL* shown) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gCaret.hwnd) return FALSE;
  if (hwnd) *hwnd = gCaret.hwnd;
  if (rect) *rect = CaretRect(gCaret);
  if (shown) *shown = gCaret.hideCount == 0;
  return TRUE;
}
