// The program's entry on the stand-in: pick the front end, then run the program's WinMain.
#include <unistd.h>

#include <cstdio>

#include "platform/standin/ui/plain.h"
#include "platform/standin/ui/terminal.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

int main() {
    bool terminal = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
    if (terminal) {
        standin::ui::startTerminalFrontEnd();
    } else {
        standin::ui::startPlainFrontEnd(stdin, stdout);
    }
    char commandLine[] = "";
    int code = WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, SW_SHOWDEFAULT);
    if (terminal) standin::ui::stopTerminalFrontEnd();
    return code;
}
