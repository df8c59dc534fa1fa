// The main window's tool bar of action buttons, its input section
// (handwriting, radicals, compact keyboard) and the tap-and-hold gestures on
// the characters of text fields. UI thread only.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FieldNotify;

// The action bound to a tool button; 0 for other ids or none bound.
int ToolActionOfButton(int id);
// A tool button's tap (also automatic recognition with argument 1).
void RunToolButton(int id, int argument);
void RefreshToolBar();
void RefreshDictButtonLabel();
// Image index of an action's button; -1 none.
int ActionImage(int action);
int NavStateImage(int state);

void ShowCandidates();
void FillRadicalGrid(int32_t strokes, int32_t radical);
void ScrollRadicalGrid(int32_t item);
void FillKeyboardGrid();
HWND WritingBoxWindow();
void ApplyWritingBoxOption();
// Refills the input section for the input mode preference.
void RefillInputSection();

void HandleTextTapHold(const FieldNotify* notify);
void ShowWordMenu(const FieldNotify* notify, bool allowCopyToInput, bool allowCharInfo, bool hideMenuBars, HWND field,
                  HWND owner, HWND fullScreenWindow);
