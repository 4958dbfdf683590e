// User interface service (USER32): message boxes.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
#define MB_OK 0x00000000L
#define MB_YESNO 0x00000004L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Shows a modal box with the given text and caption (code page 932) and returns the button the
// user chose.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
#endif
