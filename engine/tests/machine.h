// The machine the engine's tests run on, the same for both platforms: on Linux a fresh stand-in
// machine root, on Windows the real machine (a throw-away Wine prefix), cleaned before and after.
//
// Names given to TestMachine are the stand-in's: "drive_c/Installed/zom.pac" is C:\Installed\zom.pac
// on both. A full Windows path ("Z:\build\VELMORANT\zom.pac") names itself on Windows, where the
// program folder lies outside C:; programFile() gives the right name for either.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/user.h"

#ifndef _WIN32
#include "platform/standin/test_machine.h"
#endif

namespace testbed {

#ifdef _WIN32
// Files and folders it made are removed afterwards, and HKLM\SOFTWARE\VANTRE before and after:
// the tests of one prefix must run one at a time.
struct TestMachine {
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // The Windows path of a name.
    std::string path(std::string_view name) const;
    // Writes a file (folders made as needed), replacing what was there.
    void writeFile(std::string_view name, std::string_view content) const;
    // Reads a whole file; empty when it is missing.
    std::string readFile(std::string_view name) const;

    // What this machine made, to be removed: the topmost new folder or file of each write.
    mutable std::vector<std::string> made;
};

// Answers the message boxes of this thread in place of the user, by a hook that sees each box
// appear: gets the owner, text, caption and style (buttons and icon as the box shows them) and
// returns the button to press. An empty answerer removes the hook.
using MessageBoxAnswerer =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
void setMessageBoxAnswerer(MessageBoxAnswerer answerer);

// Wine keeps no creation time: reads give the last write time.
constexpr bool kKeepsCreationTimes = false;
#else
using standin::MessageBoxAnswerer;
using standin::setMessageBoxAnswerer;
using standin::TestMachine;

constexpr bool kKeepsCreationTimes = true;
#endif

// The folder the program runs from, as a Windows path: C:\Game on the stand-in (the engine
// fixture places the program there), the test program's own folder on Windows.
std::string programFolder();
// The machine's name for a file in the program folder ("VELMORANT/zom.pac").
std::string programFile(std::string_view name);

// A file's attributes as Windows keeps them. Wine reports every file as ARCHIVE where Windows
// reports NORMAL alone after SetFileAttributesA(NORMAL); under Wine the one reads as the other.
DWORD attributesOf(const std::string& path);

}  // namespace testbed
