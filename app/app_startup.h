// The application's start-up and shutdown around the dictionary engine.
// StartApplication runs inside the main window's WM_CREATE: it makes the
// process-wide AppContext (toolkit/app_context.h) before any control
// exists, finds the files, creates the engine with its companions (the
// flashcard store through the engine's host table, the recogniser, the
// main lookup session) and restores the saved records. ShutdownApplication
// runs once after the message loop, when no window is left: it saves the
// records and frees everything in the reverse order. UI thread only.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline constexpr uint32_t kAppClipBufferBytes = 64;

// 0 on success; non-zero when the program cannot run (no dictionary data
// file was found: a message box has said so and nothing is left behind).
int StartApplication();
void ShutdownApplication();

// Picks up dictionary files added since start-up and hands them to the
// running engine.
void RescanDictionaryFiles();

// The selected text of `window`, or of the foreground keyboard target when
// null: asked for through the clipboard (WM_COPY, then three menu commands
// programs use for Copy), whose earlier text is put back. A new LocalAlloc
// text the caller frees, or null when nothing was selected.
WCHAR* GrabForegroundSelection(HWND window);
