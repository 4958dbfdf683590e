// The setup commands of the main dialog: Install (Abort while copying), Uninstall, Launch,
// Readme, Manual and Browse.
#pragma once

#include "platform/user.h"

// Runs the command with this ID (IDC_INSTALL, IDC_UNINSTALL, IDC_LAUNCH, IDC_README, IDC_MANUAL or
// IDC_BROWSE) for the dialog; the dialog procedure's answer.
INT_PTR setupCommand(HWND dialog, int id);

// True from the moment an install thread is started until it has finished its steps; the main
// dialog refuses to close meanwhile, so that no install is cut off half done.
bool installRunning();
