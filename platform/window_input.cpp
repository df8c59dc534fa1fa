// Input routing (stylus, keys, characters), double-click synthesis, key
// state, hot keys and the "all keys" switch; also the system version.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/screen.h"
#include "platform/window_internal.h"

namespace wm {

namespace {

struct HotKey {
  HWND hwnd;
  int id;
  UINT modifiers;
  UINT vk;
};
std::vector<HotKey>& HotKeys() {
  static auto* v = new std::vector<HotKey>;
  return *v;
}
bool gAllKeys = false;

// The window under a screen point and the hit-test code there.
Window* HitLocked(POINT p, int* hit) {
  *hit = HTNOWHERE;
  for (HWND h : S().topLevels) {
    Window* t = Find(h);
    if (!t || !(t->style & WS_VISIBLE) || t->destroying || !PtIn(t->rect, p)) continue;
    if (t->style & WS_DISABLED) return nullptr;  // a modal loop owns this window: the tap is dropped
    Window* w = t;
    POINT local{p.x - t->rect.left, p.y - t->rect.top};  // window coordinates of w
    for (;;) {
      RECT in = NonClientInsets(w);
      POINT client{local.x - in.left, local.y - in.top};
      RECT clientRect{0, 0, ClientWidth(w), ClientHeight(w)};
      if (!PtIn(clientRect, client)) {
        if (PtIn(ScrollBarRect(w, SB_VERT), local)) *hit = HTVSCROLL;
        else if (PtIn(ScrollBarRect(w, SB_HORZ), local)) *hit = HTHSCROLL;
        else if ((w->style & WS_CAPTION) == WS_CAPTION && local.y < in.top) *hit = HTCAPTION;
        else *hit = HTBORDER;
        return w;
      }
      Window* next = nullptr;
      for (HWND k : w->children) {
        Window* c = Find(k);
        if (!c || !(c->style & WS_VISIBLE) || c->destroying || !PtIn(c->rect, client)) continue;
        if (!(c->style & WS_DISABLED)) next = c;
        break;
      }
      if (!next) {
        *hit = HTCLIENT;
        return w;
      }
      local = POINT{client.x - next->rect.left, client.y - next->rect.top};
      w = next;
    }
  }
  return nullptr;
}

LPARAM ClientPointParam(Window* w, POINT screen) {
  POINT o = ClientOriginOnScreen(w);
  return MAKELPARAM(static_cast<SHORT>(screen.x - o.x), static_cast<SHORT>(screen.y - o.y));
}

}  // namespace

HWND PenTargetWindow(int x, int y) {
  Lock lk(S().mutex);
  if (S().track.hwnd) return S().track.hwnd;
  if (S().capture && Find(S().capture)) return S().capture;
  int hit;
  Window* w = HitLocked(POINT{x, y}, &hit);
  return w ? w->handle : nullptr;
}

HWND KeyTargetWindow() {
  Lock lk(S().mutex);
  if (S().focus && Find(S().focus)) return S().focus;
  return Find(S().active) ? S().active : nullptr;
}

void InputPen(int kind, int x, int y) {
  POINT p{x, y};
  HWND activate = nullptr;
  {
    Lock lk(S().mutex);
    State& s = S();
    s.penPos = p;
    bool wasDown = s.penDown;
    if (kind == 0) s.penDown = true;
    if (kind == 2) s.penDown = false;
    if (s.track.hwnd) {
      Window* w = Find(s.track.hwnd);
      if (!w) {
        s.track = ScrollTrack{};
        return;
      }
      UINT msg = kind == 1 ? WM_NCMOUSEMOVE : kind == 2 ? WM_NCLBUTTONUP : WM_NCLBUTTONDOWN;
      PostLocked(w->queue, w->handle, msg, s.track.bar == SB_VERT ? HTVSCROLL : HTHSCROLL, MAKELPARAM(x, y));
      return;
    }
    Window* target = nullptr;
    int hit = HTCLIENT;
    if (s.capture) target = Find(s.capture);
    if (!target) {
      if (kind == 1 && !wasDown) return;  // the stylus is not touching
      target = HitLocked(p, &hit);
    }
    if (!target) return;
    if (kind == 0) {
      Window* top = TopLevelOf(target);
      if (top && top->handle != s.active && !(top->exStyle & WS_EX_NOACTIVATE)) activate = top->handle;
    }
    if (hit != HTCLIENT) {
      if (kind == 0) PostLocked(target->queue, target->handle, WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), MAKELPARAM(x, y));
    } else {
      UINT msg = kind == 0 ? WM_LBUTTONDOWN : kind == 1 ? WM_MOUSEMOVE : WM_LBUTTONUP;
      if (kind == 0) {
        DWORD now = GetTickCount();
        bool dbl = false;
        if (target->cls && (target->cls->style & CS_DBLCLKS) && !s.lastWasDouble && s.lastDownWindow == target->handle &&
            now - s.lastDownTime <= GetDoubleClickTime() &&
            std::abs(x - s.lastDownPos.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
            std::abs(y - s.lastDownPos.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2)
          dbl = true;
        if (dbl) msg = WM_LBUTTONDBLCLK;
        s.lastWasDouble = dbl;
        s.lastDownWindow = target->handle;
        s.lastDownTime = now;
        s.lastDownPos = p;
      }
      WPARAM keys = (kind == 2) ? 0 : MK_LBUTTON;
      PostLocked(target->queue, target->handle, msg, keys, ClientPointParam(target, p));
    }
  }
  if (activate) ActivateWindow(activate, WA_CLICKACTIVE);
}

void InputKey(UINT vk, bool down) {
  Lock lk(S().mutex);
  State& s = S();
  bool wasDown = (s.keys[vk & 0xFF] & 0x80) != 0;
  s.keys[vk & 0xFF] = down ? 0x80 : 0;
  for (const HotKey& h : HotKeys()) {
    if (h.vk != vk) continue;
    bool onUp = (h.modifiers & MOD_KEYUP) != 0;
    if (down == onUp) return;
    if (Window* w = Find(h.hwnd)) PostLocked(w->queue, w->handle, WM_HOTKEY, static_cast<WPARAM>(h.id), MAKELPARAM(h.modifiers, vk));
    return;
  }
  Window* target = Find(s.focus);
  if (!target) target = Find(s.active);
  if (!target) return;
  LPARAM lp = 1 | (wasDown ? (1 << 30) : 0) | (down ? 0 : static_cast<LPARAM>(0xC0000000u));
  PostLocked(target->queue, target->handle, down ? WM_KEYDOWN : WM_KEYUP, vk, lp);
}

void InputChar(WCHAR ch) {
  Lock lk(S().mutex);
  Window* target = Find(S().focus);
  if (!target) target = Find(S().active);
  if (!target) return;
  PostLocked(target->queue, target->handle, WM_CHAR, ch, 1);
}

}  // namespace wm

using namespace wm;

SHORT GetKeyState(int vk) {
  Lock lk(S().mutex);
  if (vk == VK_LBUTTON) return S().penDown ? static_cast<SHORT>(0x8000) : 0;
  return (S().keys[vk & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int vk) { return GetKeyState(vk); }

BOOL AllKeys(BOOL all) {
  Lock lk(S().mutex);
  gAllKeys = all != 0;
  return TRUE;
}

BOOL IsAllKeysMode() {
  Lock lk(S().mutex);
  return gAllKeys;
}

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk) {
  Lock lk(S().mutex);
  if (!FindOrFail(hwnd)) return FALSE;
  for (const HotKey& h : HotKeys())
    if (h.vk == vk && (h.modifiers & MOD_KEYUP) == (modifiers & MOD_KEYUP)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
  HotKeys().push_back(HotKey{hwnd, id, modifiers, vk});
  return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id) {
  Lock lk(S().mutex);
  auto& v = HotKeys();
  auto it = std::find_if(v.begin(), v.end(), [&](const HotKey& h) { return h.hwnd == hwnd && h.id == id; });
  if (it == v.end()) return FALSE;
  v.erase(it);
  return TRUE;
}

namespace {
struct Version {
  DWORD major = 5, minor = 2, build = 21000;
  bool loaded = false;
};
Version gVersion;
}  // namespace

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Version v;
  {
    Lock lk(S().mutex);
    if (!gVersion.loaded) {
      gVersion.loaded = true;
      if (const char* env = std::getenv("SORVI_OS_VERSION")) {
        unsigned a = 0, b = 0, c = 0;
        int n = std::sscanf(env, "%u.%u.%u", &a, &b, &c);
        if (n >= 2) gVersion.major = a, gVersion.minor = b, gVersion.build = n == 3 ? c : 0;
      }
    }
    v = gVersion;
  }
  info->dwMajorVersion = v.major;
  info->dwMinorVersion = v.minor;
  info->dwBuildNumber = v.build;
  info->dwPlatformId = VER_PLATFORM_WIN32_CE;
  info->szCSDVersion[0] = 0;
  return TRUE;
}

void SetOsVersion(DWORD major, DWORD minor, DWORD build) {
  Lock lk(S().mutex);
  gVersion.loaded = true;
  gVersion.major = major;
  gVersion.minor = minor;
  gVersion.build = build;
}
