// Top-level windows seen across the programs of one machine root, for FindWindowA.
#pragma once

#include <string>

#include "platform/user.h"

namespace standin::ui {

// Records (or updates) a top-level window of this program so that others can find it. The
// record lives as long as this program holds its lock, so a killed program leaves none behind.
void publishTopLevel(HWND window, const std::string& className, const std::string& title);
void withdrawTopLevel(HWND window);
// True when another live program on this machine has a top-level window with this class
// (compared without regard to the case of single-byte letters) and title; null matches any.
bool otherProgramHasWindow(const char* className, const char* title);
// The handle FindWindowA gives for another program's window; no operation of ours accepts it.
HWND foreignWindow();

}  // namespace standin::ui
