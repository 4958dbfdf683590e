// The main dialog's window, shared by the dialogs and the engine's status lines. Set when the
// dialog initialises and never cleared.
#pragma once

#include "platform/user.h"

extern HWND mainDialog;
