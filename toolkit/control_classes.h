// The registration of the custom control classes. The table keeps its fixed
// order; each class takes its row at its place as it is built.
#pragma once

#include "platform/ui.h"

// Registers the control classes in their fixed order (no extra bytes, no
// icon, cursor or menu) and returns the atom of the last; 0 when one fails.
// Called once by start-up while it makes the main window's children.
ATOM RegisterControlClasses(HINSTANCE instance);

// One row of the class table (tests read it).
struct ControlClassRow {
  const WCHAR* name;
  WNDPROC procedure;
  UINT style;
  int brushColor;  // the class brush is COLOR_x + 1
};
const ControlClassRow* GetControlClassTable(int* count);
