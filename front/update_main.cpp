// The update program's entry point: the update dialog.
#include "front/resources/resource.h"
#include "front/startup.h"
#include "front/update_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
    return runProgram(instance, previous, showCommand, IDD_UPDATE, mainDialogProc);
}
