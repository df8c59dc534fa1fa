// The main window's menu bars as menu resources.
#pragma once

#include "platform/types.h"

inline constexpr UINT kMenuBarOldId = 102;  // three menus: "&Dict", "&Edit", "&Modules"
inline constexpr UINT kMenuBarNewId = 104;  // two soft keys: "Dict", "Modules"

// Registers both; calling it again is harmless.
void RegisterMenuResources();
