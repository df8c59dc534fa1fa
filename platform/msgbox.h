// Message boxes: a modal box centred on the screen with an icon, the text
// (wrapped) and one to three buttons. Escape / WM_CLOSE answer IDCANCEL
// when the box has a Cancel button and IDOK for a lone OK button; boxes
// without either ignore them. Test scripts (platform/dialog_automation.h)
// answer boxes and check their text and caption.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define MB_OK 0x0u
#define MB_OKCANCEL 0x1u
#define MB_ABORTRETRYIGNORE 0x2u
#define MB_YESNOCANCEL 0x3u
#define MB_YESNO 0x4u
#define MB_RETRYCANCEL 0x5u
#define MB_TYPEMASK 0xFu
#define MB_ICONHAND 0x10u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x20u
#define MB_ICONEXCLAMATION 0x30u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION 0x40u
#define MB_ICONASTERISK MB_ICONINFORMATION
#define MB_ICONMASK 0xF0u
#define MB_DEFBUTTON1 0x0u
#define MB_DEFBUTTON2 0x100u
#define MB_DEFBUTTON3 0x200u
#define MB_DEFMASK 0xF00u
#define MB_APPLMODAL 0x0u
#define MB_SYSTEMMODAL 0x1000u
#define MB_TASKMODAL 0x2000u
#define MB_SETFOREGROUND 0x10000u
#define MB_TOPMOST 0x40000u

// Runs on the calling thread (also a worker's) and returns the button's id
// (IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE); 0 when the box
// could not be made. The owner (null allowed) is disabled while it runs
// when it belongs to the calling thread.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
