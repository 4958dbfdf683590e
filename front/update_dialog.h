// The main dialog's procedure: the update dialog, and the commands of a full setup dialog.
#pragma once

#include "platform/user.h"

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
