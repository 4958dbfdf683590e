// The main dialog's window; the dialog sets it when it initialises.
#include "engine/main_dialog.h"

HWND mainDialog = nullptr;
