// Where windows appear. Headless: every top-level window's surface stays in
// memory (tests capture them). SDL: one desktop window shows the device
// screen, scaled to fit the desktop (an integer scale when one fits); the
// mouse is the stylus, keys arrive as WM_KEYDOWN / WM_KEYUP with VK codes,
// typed text as WM_CHAR, the desktop clipboard is the clipboard, and the
// screen is redrawn only when a window drew something.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/surface.h"
#include "platform/types.h"

#define BACKEND_NONE 0
#define BACKEND_HEADLESS 1
#define BACKEND_SDL 2

// Starts a backend on the calling thread, which becomes the one that pumps
// its events (the UI thread). kind 0 chooses: $SORVI_BACKEND = "headless" or
// "sdl", else SDL when $DISPLAY or $WAYLAND_DISPLAY is set, else headless.
// SDL falls back to headless when it cannot open a window. Returns the kind
// started; a started backend stays (calling again returns it).
int StartBackend(int kind);
int GetBackendKind();
// Closes the SDL window (windows stay, as headless).
void StopBackend();

// The device screen now: the desktop, the task bar strip, then every visible
// top-level window bottom to top, in a new surface the caller destroys.
Surface* ComposeScreen();
// PNG of the screen: under SDL the pixels read back from the desktop window
// (at its scale), headless the composed screen.
BOOL SaveScreenPng(const char* path);

// Host window scale in use by the SDL backend (1 when headless).
int GetBackendScale();
