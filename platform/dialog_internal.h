// Between the dialog modules (dialog, msgbox, filedialog, propsheet) and
// the dialog automation.
#pragma once

#include <string>

#include "platform/dialog.h"

namespace dlg {

// Called on the dialog's thread once WM_INITDIALOG has returned.
void AutomationDialogCreated(HWND dialog, int templateId);
// Called on the dialog's thread when the dialog is destroyed.
void AutomationDialogDestroyed(HWND dialog);

// A message box is about to run its loop: returns true and the scripted
// answer when the script has one (the text and caption are checked there).
bool AutomationMessageBoxAnswer(const std::u16string& text, const std::u16string& caption, UINT type, int* answer);
void AutomationMessageBoxResult(const std::u16string& text, const std::u16string& caption, UINT type, int result,
                                bool scripted);

// A file dialog is starting: the scripted path (empty = cancel) and filter
// index (0 = keep); false when the script has nothing.
bool AutomationFileDialogAnswer(bool save, std::u16string* path, int* filterIndex);

// Template ids of the built-in dialogs (negative: never clash with the
// program's resources).
constexpr int kMessageBoxTemplateId = -1;
constexpr int kFileDialogTemplateId = -2;
constexpr int kPropertySheetTemplateId = -3;

}  // namespace dlg
