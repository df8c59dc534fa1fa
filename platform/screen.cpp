// The device screen profile and the metrics derived from it.
#include "platform/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/errors.h"

namespace {

std::mutex gMutex;
bool gLoaded = false;
ScreenProfile gProfile{480, 640, 192, 0};

int DefaultDpi(int width, int height) { return std::min(width, height) <= 320 ? 96 : 192; }

ScreenProfile Current() {
  std::lock_guard<std::mutex> lk(gMutex);
  if (!gLoaded) {
    gLoaded = true;
    ScreenProfile p;
    const char* env = std::getenv("SORVI_SCREEN");
    if (env && *env && ParseScreenProfile(env, &p)) gProfile = p;
  }
  return gProfile;
}

}  // namespace

BOOL ParseScreenProfile(const char* text, ScreenProfile* profile) {
  if (!text || !profile) return FALSE;
  int w = 0, h = 0, dpi = 0, used = 0;
  if (std::sscanf(text, "%dx%d%n", &w, &h, &used) != 2) return FALSE;
  const char* rest = text + used;
  if (*rest == '@') {
    int used2 = 0;
    if (std::sscanf(rest + 1, "%d%n", &dpi, &used2) != 1) return FALSE;
    rest += 1 + used2;
  }
  if (*rest != 0 || w < 64 || h < 64 || w > 4096 || h > 4096) return FALSE;
  if (dpi == 0) dpi = DefaultDpi(w, h);
  if (dpi < 48 || dpi > 960) return FALSE;
  *profile = ScreenProfile{w, h, dpi, 0};
  return TRUE;
}

ScreenProfile GetScreenProfile() { return Current(); }

void SetScreenProfile(int width, int height, int dpi, int dpiY) {
  std::lock_guard<std::mutex> lk(gMutex);
  gLoaded = true;
  gProfile = ScreenProfile{width, height, dpi ? dpi : DefaultDpi(width, height), dpiY};
}

int ScaleToScreenDpi(int length96) { return length96 * Current().dpi / 96; }

int GetTaskBarHeight() { return ScaleToScreenDpi(26); }
int GetMenuBarHeight() { return ScaleToScreenDpi(26); }

int GetSystemMetrics(int index) {
  ScreenProfile p = Current();
  switch (index) {
    case SM_CXSCREEN: return p.width;
    case SM_CYSCREEN: return p.height;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return ScaleToScreenDpi(13);
    case SM_CYCAPTION:
    case SM_CYMENU: return ScaleToScreenDpi(26);
    case SM_CXBORDER:
    case SM_CYBORDER:
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return ScaleToScreenDpi(32);
    case SM_CXSMICON:
    case SM_CYSMICON: return ScaleToScreenDpi(16);
    case SM_CXFULLSCREEN: return p.width;
    case SM_CYFULLSCREEN: return p.height - GetTaskBarHeight() - GetMenuBarHeight();
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return ScaleToScreenDpi(8);
    case SM_DEBUG: return 0;
    default: return 0;
  }
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID data, UINT) {
  if (action != SPI_GETWORKAREA || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ScreenProfile p = Current();
  *static_cast<RECT*>(data) = RECT{0, GetTaskBarHeight(), p.width, p.height - GetMenuBarHeight()};
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  ScreenProfile p = Current();
  switch (index) {
    case HORZRES: return p.width;
    case VERTRES: return p.height;
    case LOGPIXELSX: return p.dpi;
    case LOGPIXELSY: return p.dpiY ? p.dpiY : p.dpi;
    case HORZSIZE: return p.width * 254 / (p.dpi * 10);
    case VERTSIZE: return p.height * 254 / ((p.dpiY ? p.dpiY : p.dpi) * 10);
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    default: return 0;
  }
}

UINT GetDoubleClickTime() { return 500; }
