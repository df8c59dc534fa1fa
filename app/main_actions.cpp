#include "app/main_actions.h"

void ExecuteAction(int, int) {}

LRESULT HandleMenuCommand(HWND, WPARAM, LPARAM) { return 0; }
