// The program's start: the single-instance guard, the hidden main window and the outer loop.
#pragma once

#include "platform/user.h"

extern HWND hiddenWindow;
extern HINSTANCE appInstance;

// 1 when the hidden window exists, 0 when another instance runs or the window cannot be made.
int createHiddenWindow(HINSTANCE instance, HINSTANCE previous, int showCommand,
                       unsigned char refuseSecondInstance);
LRESULT CALLBACK hiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A program's whole run from its entry point: start-up, the main dialog of this template and
// procedure, then the outer loop. The quit message's code, or 0 when the program cannot start.
int runProgram(HINSTANCE instance, HINSTANCE previous, int showCommand, int dialogId,
               DLGPROC dialogProc);
