// Windows of other processes of the same user. A process publishes each of
// its top-level windows as a Unix datagram socket in a per-user runtime
// folder ($XDG_RUNTIME_DIR/sorvi-layer, else /tmp/sorvi-layer-<uid>), named
// by hashes of its class and title. FindWindowW connects to it (a stale
// socket is removed and counts as absent) and returns a proxy handle;
// PostMessageW on a proxy carries {msg, wParam, lParam} as integers (lParam
// must be 0 unless the message is WM_NULL, WM_CLOSE or WM_COMMAND), and the
// receiving process posts them to its window when the message number is one
// it accepts (AcceptRemoteMessage) and lParam is 0; anything else that
// arrives is dropped. A lock file, held from
// FindWindowW until this process publishes the window it searched for (or
// ReleaseStartLock), makes two simultaneous starts agree on one primary;
// other top-level windows published meanwhile leave it held.
#pragma once

#include <string>

#include "platform/types.h"
#include "platform/window.h"

std::string GetIpcFolder();
// Tests: a private folder (created when missing); null goes back to the default.
void SetIpcFolder(const char* hostPath);
// Lets other processes post `msg` to this process's published windows. None
// is accepted until the program names it; the test hook forgets them all.
void AcceptRemoteMessage(UINT msg);
void ClearRemoteMessagesForTests();
// Publishing on/off for this process (on by default).
void SetIpcPublishing(BOOL enabled);

// Where a window of that class and title is published (tests, tools).
std::string IpcSocketPath(LPCWSTR className, LPCWSTR windowName);
// A window of another process; null when none answers.
HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName);
BOOL IsRemoteWindow(HWND hwnd);
void ReleaseStartLock();
BOOL HoldsStartLock();
