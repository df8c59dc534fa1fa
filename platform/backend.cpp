// Backend choice, screen composition and the hooks the message loop calls.
#include "platform/backend.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/clock.h"
#include "platform/gdi.h"
#include "platform/screen.h"
#include "platform/threads.h"
#include "platform/window_internal.h"

namespace wm {
// backend_sdl.cpp
bool SdlStart();
void SdlStop();
void SdlPoll();
void SdlPresent();
bool SdlSaveScreenPng(const char* path);
int SdlScale();
}  // namespace wm

namespace {
std::mutex gMutex;
std::atomic<int> gKind{BACKEND_NONE};
std::atomic<DWORD> gThread{0};
}  // namespace

namespace wm {

DWORD BackendThreadId() { return gThread.load(); }

void BackendPoll() {
  if (gKind.load() == BACKEND_SDL) SdlPoll();
}

void BackendPresent() {
  if (gKind.load() == BACKEND_SDL) SdlPresent();
}

// Drawing made outside WM_PAINT by a handler that sleeps between steps (an
// animation) reaches the desktop window as it sleeps, not only when the
// queue next runs empty. A present costs far more than a short sleep, so it
// happens at most once a frame: an animation of many 1 ms steps is not
// stretched by the presents.
constexpr auto kSleepPresentInterval = std::chrono::milliseconds(40);

void PresentBeforeSleep() {
  if (GetCurrentThreadId() != BackendThreadId()) return;
  static std::chrono::steady_clock::time_point last;
  auto now = std::chrono::steady_clock::now();
  if (now - last < kSleepPresentInterval) return;
  last = now;
  BackendPresent();
}

void BackendWake() {
  // The backend thread waits in short slices and polls SDL between them.
}

}  // namespace wm

int StartBackend(int kind) {
  std::lock_guard<std::mutex> lk(gMutex);
  if (gKind.load() != BACKEND_NONE) return gKind.load();
  if (kind == BACKEND_NONE) {
    const char* env = std::getenv("SORVI_BACKEND");
    if (env && std::strcmp(env, "headless") == 0) kind = BACKEND_HEADLESS;
    else if (env && std::strcmp(env, "sdl") == 0) kind = BACKEND_SDL;
    else kind = (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) ? BACKEND_SDL : BACKEND_HEADLESS;
  }
  if (kind == BACKEND_SDL && !wm::SdlStart()) kind = BACKEND_HEADLESS;
  if (kind == BACKEND_SDL) SetSleepHook(&wm::PresentBeforeSleep);
  gThread.store(GetCurrentThreadId());
  gKind.store(kind);
  wm::MarkScreenDirty();
  return kind;
}

int GetBackendKind() { return gKind.load(); }

void StopBackend() {
  std::lock_guard<std::mutex> lk(gMutex);
  if (gKind.load() == BACKEND_SDL) {
    SetSleepHook(nullptr);
    wm::SdlStop();
  }
  if (gKind.load() != BACKEND_NONE) gKind.store(BACKEND_HEADLESS);
}

int GetBackendScale() { return gKind.load() == BACKEND_SDL ? wm::SdlScale() : 1; }

Surface* ComposeScreen() {
  ScreenProfile p = GetScreenProfile();
  Surface* out = CreateSurface(p.width, p.height);
  if (!out) return nullptr;
  using namespace wm;
  Lock lk(S().mutex);
  LockGdi();
  std::uint32_t desktop = ColorRefToXrgb(GetSysColor(COLOR_BACKGROUND));
  std::uint32_t taskBar = ColorRefToXrgb(GetSysColor(COLOR_ACTIVECAPTION));
  int strip = GetTaskBarHeight();
  for (int y = 0; y < out->height; ++y) {
    std::uint32_t* row = SurfaceRow(out, y);
    for (int x = 0; x < out->width; ++x) row[x] = y < strip ? taskBar : desktop;
  }
  for (auto it = S().topLevels.rbegin(); it != S().topLevels.rend(); ++it) {
    Window* w = Find(*it);
    if (!w || !(w->style & WS_VISIBLE) || !w->surface) continue;
    int width = std::min<int>(w->rect.right - w->rect.left, w->surface->width);
    int height = std::min<int>(w->rect.bottom - w->rect.top, w->surface->height);
    for (int y = 0; y < height; ++y) {
      int sy = w->rect.top + y;
      if (sy < 0 || sy >= out->height) continue;
      const std::uint32_t* src = SurfaceRow(w->surface, y);
      std::uint32_t* dst = SurfaceRow(out, sy);
      int x0 = std::max<int>(0, -w->rect.left), x1 = std::min<int>(width, out->width - w->rect.left);
      if (x1 > x0) std::memcpy(dst + w->rect.left + x0, src + x0, static_cast<size_t>(x1 - x0) * 4);
    }
  }
  UnlockGdi();
  return out;
}

BOOL SaveScreenPng(const char* path) {
  if (gKind.load() == BACKEND_SDL && wm::SdlSaveScreenPng(path)) return TRUE;
  Surface* s = ComposeScreen();
  if (!s) return FALSE;
  BOOL ok = SaveSurfacePng(s, nullptr, path);
  DestroySurface(s);
  return ok;
}
