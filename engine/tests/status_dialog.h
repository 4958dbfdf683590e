// A dialog of the tests' own with the progress bar and the two status lines, run by the driver.
#pragma once

#include "platform/user.h"

constexpr int kStatusDialog = 901;

inline INT_PTR CALLBACK statusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

inline int WINAPI runStatusDialog(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kStatusDialog), nullptr, statusDialogProc, 0);
    return 0;
}
