// The owner and instance of the folder-browse dialog, filled once by start-up.
#pragma once

#include "platform/user.h"

struct FolderPicker {
    HINSTANCE instance = nullptr;
    HWND owner = nullptr;

    void init(HINSTANCE instance, HWND owner);
};

extern FolderPicker folderPicker;
