#include "app/main_search.h"

void StartSearch(HWND, const WCHAR*, bool, bool) {}

int OnEngineUpdate(void*, const LookupUpdateRecord*) { return 0; }

LRESULT HandleMainNotify(HWND, const NMHDR*) { return 1; }

void ShowToolButtonMenu(HWND, HWND, int) {}
