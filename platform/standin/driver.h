// The stand-in's driver for tests: runs a program's entry point in this process and plays its
// user, seeing what the plain front end would print.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/user.h"

namespace standin {

using EntryPoint = int(WINAPI*)(HINSTANCE, HINSTANCE, LPSTR, int);

// How a static was last painted.
struct StaticLook {
    bool painted = false;
    bool bold = false;
    uint32_t textColor = 0;
    uint32_t backgroundColor = 0;
    int backgroundMode = 0;
    intptr_t answer = 0;
};

struct Driver {
    Driver();
    ~Driver();  // ends input and waits for the program, if it still runs
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void start(EntryPoint entryPoint);
    // The next line (UTF-8, as the plain front end prints it) that starts with `prefix`, passing
    // over the lines before it; empty when none comes while the program runs.
    std::string waitFor(const std::string& prefix);
    // Every line printed so far.
    std::vector<std::string> lines();

    void click(int controlId);
    void key(const char* name);       // "enter", "escape", "tab", "space"
    void answer(const char* word);    // "ok", "yes", "no"
    // The folder-browse dialog's answers: a Windows path (UTF-8, as the plain protocol takes it)
    // or a cancel.
    void folder(const std::string& windowsPath);
    void cancelFolder();
    void endInput();
    // Ends input, waits for the program and returns its exit code; the desktop is cleared.
    int finish();

    // The open dialog's controls (the last dialog shown that has not closed).
    std::string text(int controlId);  // UTF-8
    bool enabled(int controlId);
    bool exists(int controlId);
    StaticLook look(int controlId);  // after painting what waits to be painted
    RECT dialogRect();
    HWND dialog();

    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> seen;
    size_t nextLine = 0;
    std::vector<HWND> openDialogs;
    bool running = false;
    int exitCode = -1;
    std::thread program;
};

// GDI objects made and not yet deleted.
size_t liveDrawingObjects();

}  // namespace standin
