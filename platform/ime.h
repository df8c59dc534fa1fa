// Input-method calls. There is no input method: the calls are recorded (so
// tests can check their order and values) and answer like an idle one.
// Chinese text typed through the desktop's own input method arrives as
// WM_CHAR from the SDL backend.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/window.h"

SORVI_DECLARE_HANDLE(HIMC);
SORVI_DECLARE_HANDLE(HKL);

HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC context);
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
// Codes are the platform's own; the call is recorded and returns 0.
LRESULT ImmEscapeW(HKL layout, HIMC context, UINT escape, LPVOID data);
// Never VK_PROCESSKEY here: 0.
UINT ImmGetVirtualKey(HWND hwnd);

// --- Tests ---
struct ImeCall {
  std::string name;  // "ImmGetContext", "ImmSetOpenStatus", "ImmEscapeW", ...
  HWND hwnd;         // the window or, for context calls, the context's window
  LONG_PTR value;    // open status, escape code
  LONG_PTR data;     // ImmEscapeW data (as an integer)
};
std::vector<ImeCall> GetImeCalls();
void ClearImeCalls();
