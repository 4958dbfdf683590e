// Where the program's dialogs appear.
#include "setup_dialogs/dialog_placement.h"

void centreOnWorkArea(HWND dialog) {
    RECT work, window;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    // Halved by an arithmetic shift: an odd sum loses its half toward minus infinity.
    int x = (work.left + work.right - width) >> 1;
    int y = (work.top + work.bottom - height) >> 1;
    MoveWindow(dialog, x, y, width, height, TRUE);
}
