// The owner and instance of the folder-browse dialog, filled once by start-up.
#pragma once

#include "platform/user.h"

struct FolderPicker {
    HINSTANCE instance = nullptr;
    HWND owner = nullptr;

    void init(HINSTANCE instance, HWND owner);
    // Runs the folder-browse dialog at the folder that path names; on a choice copies the chosen
    // folder into path (with a trailing backslash when asked) and returns true. Kind 0 validates,
    // 1 adds an edit box, 2 a status text as well.
    bool browseForFolder(char* path, int pathSize, int kind, bool trailingBackslash);
};

extern FolderPicker folderPicker;
