// The shell services the engine and the dialogs use: special folders, opening a file through the
// shell, and the folder-browse dialog's callback.
#pragma once

#include "platform/user.h"

// The special folder's path into out (empty when the shell does not know it); the shell's result.
int specialFolderPath(int csidl, char* out, int outSize);
// The shell's "open" on the long form of path; false only when COM initialisation is refused.
bool openWithShell(const char* path, const char* parameters);
int CALLBACK browseCallback(HWND browseWindow, UINT message, LPARAM value, LPARAM data);
