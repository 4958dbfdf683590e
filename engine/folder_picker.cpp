// The folder picker's record.
#include "engine/folder_picker.h"

void FolderPicker::init(HINSTANCE instance, HWND owner) {
    this->instance = instance;
    this->owner = owner;
}
