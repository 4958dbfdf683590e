// Start-up, shared by the update and setup programs: refuse a second instance, make the hidden
// main window, hand the engine the product's tables, run the program's main dialog and then the
// outer loop until the quit message.
#include "front/startup.h"

#include <cstdlib>

#include "engine/folder_picker.h"
#include "engine/setup_engine.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "platform/drawing.h"

HWND hiddenWindow = nullptr;
HINSTANCE appInstance = nullptr;

namespace {
// The engine's lists and key are given back when the program ends, after WinMain returned.
const int releaseAtExit = std::atexit([] { setupEngine.release(); });
}  // namespace

LRESULT CALLBACK hiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int createHiddenWindow(HINSTANCE instance, HINSTANCE previous, int showCommand,
                       unsigned char refuseSecondInstance) {
    if (refuseSecondInstance && FindWindowA(windowClassName, productTitle)) return 0;
    if (!previous) {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = hiddenWindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = windowClassName;
        if (!RegisterClassA(&windowClass)) return 0;
    }
    HWND window = CreateWindowExA(WS_EX_LEFT, windowClassName, productTitle, WS_POPUP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
    if (!window) return 0;
    ShowWindow(window, showCommand);
    hiddenWindow = window;
    appInstance = instance;
    return 1;
}

int runProgram(HINSTANCE instance, HINSTANCE previous, int showCommand, int dialogId,
               DLGPROC dialogProc) {
    (void)releaseAtExit;
    if (!createHiddenWindow(instance, previous, showCommand, 1)) return 0;
    installFiles[0] = productExe;
    setupEngine.initialise(installFiles, updateFiles, volumeLabels, hiddenWindow, nullptr, makerName,
                           productTitle, productFolder, requiredMegabytesSetting);
    setupEngine.setProgressControl(IDC_PROGRESS);
    folderPicker.init(appInstance, hiddenWindow);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(dialogId), hiddenWindow, dialogProc, 0);
    // The loop polls without waiting: every path that closes the dialog has posted the quit
    // message already.
    MSG msg;
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
