// Test automation of dialogs, message boxes, file dialogs and property
// sheets. Thread-safe: scripts may be set from any thread and are consumed
// on the thread that opens the box or dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/window.h"

// ---- Message boxes ----
// Queues an answer for the next message box: its text and caption must be
// as given (a mismatch is recorded in AutoScriptFailures and the box is
// still answered). The box appears, runs its loop once and ends with
// `result`.
void AutoExpectMessageBox(const std::u16string& text, const std::u16string& caption, int result);
struct AutoMessageBoxRecord {
  std::u16string text;
  std::u16string caption;
  UINT type;
  int result;
  bool scripted;
};
// Every message box shown since the last AutoResetDialogScripts, in order.
std::vector<AutoMessageBoxRecord> AutoMessageBoxLog();
// Waits (real time) until a message box is open and returns it; null on
// time-out.
HWND AutoWaitForMessageBox(DWORD timeoutMs);
// Presses a button of an open box (any thread).
BOOL AutoAnswerMessageBox(HWND box, int result);

// ---- File dialogs ----
// Queues the answer for the next open/save dialog: the device path typed
// into its name field (an empty path cancels) and the filter to choose
// (1-based; 0 keeps the caller's). The dialog checks it as if typed.
void AutoExpectFileDialog(const std::u16string& path, int filterIndex);

// ---- Dialogs ----
// Runs `hook` on the dialog's thread after WM_INITDIALOG (a modal dialog is
// shown by then, before its loop starts) of every
// dialog made from template `templateId` (message boxes are -1, file
// dialogs -2, property sheets -3). Returns an id for AutoUnhookDialog.
int AutoHookDialog(int templateId, std::function<void(HWND dialog)> hook);
void AutoUnhookDialog(int hookId);
// Waits (real time) for an open dialog of that template; null on time-out.
HWND AutoWaitForDialog(int templateId, DWORD timeoutMs);

// ---- Property sheets ----
// Switches the sheet to a page (as a tap on its tab would); FALSE when
// refused or out of range.
BOOL AutoSetPropertySheetPage(HWND sheet, int index);
// The page window at `index`; null when not created yet.
HWND AutoGetPropertySheetPage(HWND sheet, int index);

// ---- Checking ----
// Mismatches and unused script entries, as readable lines.
std::vector<std::string> AutoScriptFailures();
// Forgets scripts, hooks, the log and the failures.
void AutoResetDialogScripts();
