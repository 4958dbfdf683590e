// The program's start: the single-instance guard, the hidden main window and the outer loop.
#pragma once

#include "platform/user.h"

extern HWND hiddenWindow;
extern HINSTANCE appInstance;

// 1 when the hidden window exists, 0 when another instance runs or the window cannot be made.
int createHiddenWindow(HINSTANCE instance, HINSTANCE previous, int showCommand,
                       unsigned char refuseSecondInstance);
LRESULT CALLBACK hiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
