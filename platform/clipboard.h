// The clipboard: Unicode text only. With the SDL backend it is the
// desktop's clipboard.
#pragma once

#include <string>

#include "platform/types.h"
#include "platform/window.h"

#define CF_TEXT 1u
#define CF_UNICODETEXT 13u

// FALSE while another window has it open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// The clipboard must be open; takes ownership of it for the opener.
BOOL EmptyClipboard();
// `data` is a LocalAlloc block holding zero-terminated UTF-16; the clipboard
// takes it over (and frees the block it replaces). Only CF_UNICODETEXT.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The clipboard's own block (do not free it); the clipboard must be open.
HANDLE GetClipboardData(UINT format);
// A LocalAlloc copy the caller frees; the clipboard must be open.
HANDLE GetClipboardDataAlloc(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
HWND GetClipboardOwner();

// --- Text source bridge (the SDL backend installs one) ---
struct ClipboardBridge {
  // The desktop's text (UTF-8); false when it has none.
  bool (*get)(std::string* utf8);
  void (*set)(const std::string& utf8);
};
void SetClipboardBridge(const ClipboardBridge* bridge);
