// The main dialog's procedure: the update dialog, and the commands of a full setup dialog.
#pragma once

#include "platform/user.h"

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The install path line: the install base with the maker's and the product's folders.
void showInstallPath(HWND dialog);
// Ends the dialog and the program, as the close commands do.
void closeMainDialog(HWND dialog);
