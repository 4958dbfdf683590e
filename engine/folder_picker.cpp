// The folder picker's record.
#include "engine/folder_picker.h"

FolderPicker folderPicker;

void FolderPicker::init(HINSTANCE instance, HWND owner) {
    this->instance = instance;
    this->owner = owner;
}
