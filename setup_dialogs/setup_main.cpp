// The setup program's entry point: the setup dialog, on the same start-up as the update program,
// so that the single-instance guard keeps an update and a setup from running side by side.
#include "engine/setup_engine.h"
#include "front/resources/resource.h"
#include "front/startup.h"
#include "front/update_dialog.h"

namespace {

// The main dialog's procedure, and the engine's owner window once the dialog exists: the
// progress bar it moves and the boxes it shows belong to the dialog.
INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR answer = mainDialogProc(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG) setupEngine.ownerWindow = dialog;
    return answer;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
    return runProgram(instance, previous, showCommand, IDD_SETUP, setupDialogProc);
}
