// The component dialog: which archives to install, and the install type.
#pragma once

#include <cstdint>

#include "platform/user.h"

// What the dialog ended with: 99 when it was cancelled, otherwise the install type last switched
// to (0 or 1; 0 when it was never switched).
extern int componentChoice;

constexpr int kComponentsCancelled = 99;

// The megabytes the chosen archives need, the base files included.
uint32_t componentMegabytes();

INT_PTR CALLBACK componentDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
