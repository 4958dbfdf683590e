// Where the program's dialogs appear: centred on the work area, as the main dialog and the
// component dialog both are.
#pragma once

#include "platform/user.h"

// Moves the dialog to the middle of the work area, keeping its size, and repaints it.
void centreOnWorkArea(HWND dialog);
