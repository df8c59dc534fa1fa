// The device screen: size and dpi (default 480x640 at 192 dpi, or
// $SORVI_SCREEN = "WxH@DPI", e.g. 240x320@96 or 640x480@192), the strips the
// shell reserves (task bar on top, menu bar at the bottom), and the metrics
// and device capabilities derived from them.
#pragma once

#include "platform/gdi.h"
#include "platform/types.h"

struct ScreenProfile {
  int width;
  int height;
  int dpi;   // horizontal, and vertical unless dpiY is set
  int dpiY;  // 0: the same as dpi
};

ScreenProfile GetScreenProfile();
// Tests: sets the profile (dpi 0 = the default for the size, as in
// ParseScreenProfile; dpiY 0 = the same as dpi, other values give a screen
// whose vertical dpi differs). Call before windows exist, or to turn the
// screen under live windows: the metrics follow at once, the windows keep
// their places until their program lays them out again (the shell tells it
// with WM_SETTINGCHANGE), and an SDL window keeps the size it opened with.
void SetScreenProfile(int width, int height, int dpi, int dpiY = 0);
// Parses "WxH@DPI" (the @DPI part may be left out: 96 dpi at up to 320 pixels
// on the short side, else 192). FALSE for anything else.
BOOL ParseScreenProfile(const char* text, ScreenProfile* profile);
// A length given at 96 dpi, scaled to the screen's dpi.
int ScaleToScreenDpi(int length96);
// The shell's strips: task bar on top, menu bar at the bottom.
int GetTaskBarHeight();
int GetMenuBarHeight();

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CYVTHUMB 9
#define SM_CXHTHUMB 10
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_CYVSCROLL 20
#define SM_CXHSCROLL 21
#define SM_DEBUG 22
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50
int GetSystemMetrics(int index);

#define SPI_GETWORKAREA 48u
// SPI_GETWORKAREA: the screen less the task bar and menu bar strips.
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID data, UINT winIni);

#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define LOGPIXELSX 88
#define LOGPIXELSY 90
// The screen's values whatever the DC (every DC is compatible with it).
int GetDeviceCaps(HDC dc, int index);

UINT GetDoubleClickTime();
