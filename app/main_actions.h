// The numbered actions of the main screen (menus, tool buttons, keys and
// hold menus all end here) and the menu command handler. UI thread only.
#pragma once

#include "platform/types.h"

// Actions 1-40; others do nothing. `argument` is -1 when the action has no
// choice, else the chosen index or a value the caller passes.
void ExecuteAction(int action, int argument);
// WM_COMMAND and WM_SYSCOMMAND of the main window. Always 0.
LRESULT HandleMenuCommand(HWND window, WPARAM wParam, LPARAM lParam);
