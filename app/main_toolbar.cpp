#include "app/main_toolbar.h"

int ToolActionOfButton(int) { return 0; }
void RunToolButton(int, int) {}
void RefreshToolBar() {}
void RefreshDictButtonLabel() {}
int ActionImage(int) { return -1; }
int NavStateImage(int) { return 0; }
void ShowCandidates() {}
void FillRadicalGrid(int32_t, int32_t) {}
void ScrollRadicalGrid(int32_t) {}
void FillKeyboardGrid() {}
HWND WritingBoxWindow() { return nullptr; }
void ApplyWritingBoxOption() {}
void RefillInputSection() {}
void HandleTextTapHold(const FieldNotify*) {}
void ShowWordMenu(const FieldNotify*, bool, bool, bool, HWND, HWND, HWND) {}
