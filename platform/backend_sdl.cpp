// The SDL2 backend: one desktop window showing the device screen.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/backend.h"
#include "platform/clipboard.h"
#include "platform/device_paths.h"
#include "platform/heap.h"
#include "platform/message.h"
#include "platform/screen.h"
#include "platform/window_internal.h"

namespace wm {

namespace {

struct Sdl {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  double scale = 1;
  int width = 0;
  int height = 0;
  bool penDown = false;
};
Sdl gSdl;

bool ClipGet(std::string* utf8) {
  if (!SDL_HasClipboardText()) return false;
  char* text = SDL_GetClipboardText();
  if (!text) return false;
  *utf8 = text;
  SDL_free(text);
  return true;
}
void ClipSet(const std::string& utf8) { SDL_SetClipboardText(utf8.c_str()); }
const ClipboardBridge kBridge{&ClipGet, &ClipSet};

UINT VirtualKey(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return static_cast<UINT>('A' + (k - SDLK_a));
  if (k >= SDLK_0 && k <= SDLK_9) return static_cast<UINT>('0' + (k - SDLK_0));
  if (k >= SDLK_F1 && k <= SDLK_F12) return static_cast<UINT>(VK_F1 + (k - SDLK_F1));
  switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    default: return 0;
  }
}

POINT DevicePoint(int x, int y) {
  return POINT{static_cast<LONG>(std::floor(x / gSdl.scale)), static_cast<LONG>(std::floor(y / gSdl.scale))};
}

// The desktop's own programs have no window here; one hidden foreign window
// stands for them, so "the foreground program" exists while the desktop has
// the focus, and asking it to copy takes the desktop's primary selection.
HWND gDesktopProgram = nullptr;
HWND gOursBeforeDesktop = nullptr;

LRESULT DesktopProgramProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_COPY) return DefWindowProcW(hwnd, msg, wParam, lParam);
#if SDL_VERSION_ATLEAST(2, 26, 0)
  char* selection = SDL_GetPrimarySelectionText();
  std::u16string text = selection ? Utf8ToUtf16(selection) : std::u16string();
  SDL_free(selection);
  if (text.empty() || !OpenClipboard(hwnd)) return 0;
  EmptyClipboard();
  auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(WCHAR)));
  if (block) {
    std::memcpy(block, text.data(), text.size() * sizeof(WCHAR));
    block[text.size()] = 0;
    SetClipboardData(CF_UNICODETEXT, block);
  }
  CloseClipboard();
#endif
  return 0;
}

void MakeDesktopProgram() {
  if (gDesktopProgram) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DesktopProgramProc;
  wc.lpszClassName = u"SorviDesktopProgram";
  RegisterClassW(&wc);
  gDesktopProgram = CreateWindowExW(WS_EX_NOACTIVATE, wc.lpszClassName, u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr);
  if (gDesktopProgram) MarkForeignWindow(gDesktopProgram);
}

void DesktopFocusChanged(bool ours) {
  if (!gDesktopProgram || !IsWindow(gDesktopProgram)) return;
  HWND active = GetActiveWindow();
  if (!ours) {
    if (active == gDesktopProgram) return;
    gOursBeforeDesktop = active;
    ActivateWindow(gDesktopProgram, WA_ACTIVE);
  } else if (active == gDesktopProgram && gOursBeforeDesktop && IsWindow(gOursBeforeDesktop)) {
    ActivateWindow(gOursBeforeDesktop, WA_ACTIVE);
  }
}

void CloseMainWindow() {
  HWND target = nullptr;
  {
    Lock lk(S().mutex);
    for (HWND h : S().topLevels)
      if (Window* w = Find(h); w && !w->foreign && !w->owner) target = h;
  }
  if (target) PostMessageW(target, WM_CLOSE, 0, 0);
  else PostQuitMessage(0);
}

}  // namespace

void SdlStop();

bool SdlStart() {
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  ScreenProfile p = GetScreenProfile();
  gSdl.width = p.width;
  gSdl.height = p.height;
  SDL_DisplayMode mode;
  double scale = 1;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
    double fit = std::min(mode.w * 0.9 / p.width, mode.h * 0.9 / p.height);
    scale = fit >= 1 ? std::floor(fit) : fit;
  }
  gSdl.scale = scale;
  int ww = static_cast<int>(std::lround(p.width * scale)), wh = static_cast<int>(std::lround(p.height * scale));
  gSdl.window = SDL_CreateWindow("Sorvi", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ww, wh, 0);
  if (!gSdl.window) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  gSdl.renderer = SDL_CreateRenderer(gSdl.window, -1, 0);
  if (!gSdl.renderer) gSdl.renderer = SDL_CreateRenderer(gSdl.window, -1, SDL_RENDERER_SOFTWARE);
  if (gSdl.renderer)
    gSdl.texture = SDL_CreateTexture(gSdl.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, p.width, p.height);
  if (!gSdl.renderer || !gSdl.texture) {
    SdlStop();
    return false;
  }
  SDL_StartTextInput();
  SetClipboardBridge(&kBridge);
  // Until a window of ours comes up, the program that started us is in front.
  MakeDesktopProgram();
  if (gDesktopProgram) ActivateWindow(gDesktopProgram, WA_ACTIVE);
  return true;
}

void SdlStop() {
  SetClipboardBridge(nullptr);
  if (gSdl.texture) SDL_DestroyTexture(gSdl.texture);
  if (gSdl.renderer) SDL_DestroyRenderer(gSdl.renderer);
  if (gSdl.window) SDL_DestroyWindow(gSdl.window);
  gSdl = Sdl{};
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int SdlScale() { return std::max(1, static_cast<int>(gSdl.scale)); }

void SdlPoll() {
  if (!gSdl.window) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT: CloseMainWindow(); break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) {
          POINT p = DevicePoint(e.button.x, e.button.y);
          gSdl.penDown = true;
          InputPen(0, p.x, p.y);
        }
        break;
      case SDL_MOUSEMOTION:
        if (gSdl.penDown) {
          POINT p = DevicePoint(e.motion.x, e.motion.y);
          InputPen(1, p.x, p.y);
        }
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && gSdl.penDown) {
          POINT p = DevicePoint(e.button.x, e.button.y);
          gSdl.penDown = false;
          InputPen(2, p.x, p.y);
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        UINT vk = VirtualKey(e.key.keysym.sym);
        if (vk) InputKey(vk, e.type == SDL_KEYDOWN);
        break;
      }
      case SDL_TEXTINPUT: {
        std::u16string text = Utf8ToUtf16(e.text.text);
        for (char16_t c : text) InputChar(c);
        break;
      }
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
          MarkScreenDirty();
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) DesktopFocusChanged(false);
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) DesktopFocusChanged(true);
        break;
      default: break;
    }
  }
}

namespace {
// Draws the device screen into the renderer (not yet presented).
bool Render() {
  Surface* screen = ComposeScreen();
  if (!screen) return false;
  SDL_UpdateTexture(gSdl.texture, nullptr, screen->pixels, screen->stride);
  DestroySurface(screen);
  SDL_RenderClear(gSdl.renderer);
  SDL_RenderCopy(gSdl.renderer, gSdl.texture, nullptr, nullptr);
  return true;
}
}  // namespace

void SdlPresent() {
  if (!gSdl.window || !TakeScreenDirty()) return;
  if (Render()) SDL_RenderPresent(gSdl.renderer);
}

bool SdlSaveScreenPng(const char* path) {
  if (!gSdl.window || !Render()) return false;
  int w = 0, h = 0;
  SDL_GetRendererOutputSize(gSdl.renderer, &w, &h);
  Surface* shot = CreateSurface(w, h);
  bool ok = shot && SDL_RenderReadPixels(gSdl.renderer, nullptr, SDL_PIXELFORMAT_RGB888, shot->pixels, shot->stride) == 0;
  SDL_RenderPresent(gSdl.renderer);
  if (ok) {
    for (int y = 0; y < h; ++y) {
      std::uint32_t* row = SurfaceRow(shot, y);
      for (int x = 0; x < w; ++x) row[x] &= 0x00FFFFFFu;
    }
    ok = SaveSurfacePng(shot, nullptr, path) != 0;
  }
  if (shot) DestroySurface(shot);
  return ok;
}

}  // namespace wm
