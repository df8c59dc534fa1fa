// The program's entry and its single-instance rule, the main window class
// and the message loop with its key re-routing. UI thread only.
//
// Command line: only two exact, case-sensitive values mean anything: "ia"
// (look up the text selected in the program in front, sent by the
// launcher) and "kl" (close the running copy). Anything else is an
// ordinary start. A second start never runs: it posts the running copy
// WM_CLOSE ("kl"), kAppLookupSelection ("ia") or kAppActivate (anything
// else), each with wParam 0 and lParam 0, and ends.
#pragma once

#include <cstdint>
#include <string>

#include "platform/message.h"
#include "platform/types.h"

// Private messages of the main window that other processes may post.
inline constexpr UINT kAppActivate = 0x8306;
// Look up a text: lParam is the text (LocalAlloc'd, freed by the receiver)
// only when sent by this process; posted (also from another process) it is
// 0 and carries nothing to free.
inline constexpr UINT kAppLookupSelection = 0x8310;

// Resources: the window title and the main window's class.
inline constexpr UINT kAppTitleString = 1;
inline constexpr UINT kAppClassString = 2;
inline constexpr int kAppResourceTextMax = 100;
inline constexpr int kAppIconId = 100;

// The top-level screens whose controls the message loop re-routes keys to;
// each null while its window does not exist.
extern HWND AppMainWindow;
extern HWND AppTestWindow;
extern HWND AppReaderWindow;
extern HWND AppManageCardsWindow;

// The module handle kept by InitInstance.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
// 1 when this process goes on to run the message loop, 0 when it must end.
int InitInstance(HINSTANCE instance, int showCommand, const WCHAR* commandLine);
ATOM RegisterMainWindowClass(HINSTANCE instance, const WCHAR* className);

// Before dispatch: a navigation key (arrows, Enter; also behind the input
// method's VK_PROCESSKEY) goes to the open pop-up list, else to the screen
// that owns the control's id; a tap outside the open pop-up list becomes
// the list's close message instead.
void RerouteLoopMessage(MSG* msg);
// GetMessageW, RerouteLoopMessage, TranslateMessage, DispatchMessageW until
// WM_QUIT; its wParam.
int RunAppMessageLoop();

// The arguments after the program's name joined by single spaces, UTF-8 to
// UTF-16; nothing trimmed or case-folded.
std::u16string AppCommandLine(int argc, char** argv);
