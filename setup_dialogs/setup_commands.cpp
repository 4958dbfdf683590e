// The setup commands. The install runs on a thread of its own, so that the dialog keeps drawing
// its progress and can take the Abort command meanwhile.
#include "setup_dialogs/setup_commands.h"

#include <atomic>
#include <cstring>
#include <initializer_list>

#include "engine/folder_picker.h"
#include "engine/main_dialog.h"
#include "engine/setup_engine.h"
#include "engine/shell.h"
#include "engine/text.h"
#include "front/resources/resource.h"
#include "front/startup.h"
#include "front/update_dialog.h"
#include "setup_dialogs/component_dialog.h"

namespace {

const char kInstallLabel[] = "インストール";
const char kAbortLabel[] = "中断";
const char kInstallFailed[] =
    "インストールが正常に行われませんでした。\nもう一度ご確認の上、インストールを行ってください。";
const char kWarningCaption[] = "確認";
const char kManualPath[] = "\\manual\\manual.html";

std::atomic<bool> installThreadRunning{false};

void enableControls(std::initializer_list<int> ids, bool enable) {
    for (int id : ids) EnableWindow(GetDlgItem(mainDialog, id), enable);
}

DWORD WINAPI installThread(LPVOID) {
    enableControls({IDC_UNINSTALL, IDC_LAUNCH, IDC_README, IDC_MANUAL, IDCANCEL, IDC_BROWSE},
                   false);
    if (setupEngine.runInstall()) {
        enableControls({IDC_INSTALL}, false);
        enableControls({IDC_UNINSTALL, IDC_LAUNCH, IDC_README, IDC_MANUAL, IDCANCEL}, true);
    } else {
        MessageBoxA(mainDialog, kInstallFailed, kWarningCaption, MB_OK | MB_ICONWARNING);
        enableControls({IDC_INSTALL, IDC_README, IDC_MANUAL, IDCANCEL, IDC_BROWSE}, true);
    }
    // Cleared before the label's change, the last step the user sees: a close asked for once it
    // shows is honoured.
    installThreadRunning = false;
    SetDlgItemTextA(mainDialog, IDC_INSTALL, kInstallLabel);
    // Returning ends the thread with this code, as ExitThread(0) would.
    return 0;
}

// Abort while the copy runs; otherwise the component dialog and then the install thread. While an
// install thread runs without copying (asking about the folder, writing the record) there is
// nothing to abort and no second install to start.
INT_PTR installOrAbort(HWND dialog) {
    if (setupEngine.isCopying()) {
        setupEngine.cancelState = CancelState::Requested;
        EnableWindow(GetDlgItem(dialog, IDC_INSTALL), FALSE);
        return TRUE;
    }
    if (installThreadRunning) return TRUE;
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_COMPONENTS), mainDialog, componentDialogProc,
                    0);
    if (componentChoice == kComponentsCancelled) return TRUE;
    installThreadRunning = true;
    DWORD threadId;
    HANDLE thread = CreateThread(nullptr, 0, installThread, nullptr, 0, &threadId);
    if (!thread) {
        installThreadRunning = false;
        return FALSE;
    }
    // The thread runs on without its handle.
    CloseHandle(thread);
    SetDlgItemTextA(dialog, IDC_INSTALL, kAbortLabel);
    return TRUE;
}

void uninstall(HWND dialog) {
    if (!setupEngine.runUninstall()) return;
    setupEngine.setInstallType(0, 0, 9999);
    EnableWindow(GetDlgItem(dialog, IDC_INSTALL), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_UNINSTALL), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_LAUNCH), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_BROWSE), TRUE);
}

// The manual lies beside the source folder: the source's last separator ends the folder it sits
// in. A source without a separator (a bare drive such as "q:") is itself the place the manual is
// looked for.
void openManual() {
    char path[1024];
    setupEngine.getSourceDir(path, sizeof path);
    char* separator = lastSeparator(path);
    char* end = separator ? separator : path + strlen(path);
    copyTextCut(end, sizeof path - static_cast<size_t>(end - path), kManualPath);
    openWithShell(path, "");
}

// A drive root comes back from the picker with its backslash, which the path line adds itself.
void browse(HWND dialog) {
    folderPicker.browseForFolder(setupEngine.installBase, MAX_PATH, 0, false);
    if (strlen(setupEngine.installBase) == 3) setupEngine.installBase[2] = '\0';
    showInstallPath(dialog);
}

}  // namespace

INT_PTR setupCommand(HWND dialog, int id) {
    switch (id) {
        case IDC_INSTALL:
            return installOrAbort(dialog);
        case IDC_UNINSTALL:
            uninstall(dialog);
            return TRUE;
        case IDC_LAUNCH:
            if (setupEngine.launchProduct()) closeMainDialog(dialog);
            return TRUE;
        case IDC_README:
            setupEngine.openReadme();
            return TRUE;
        case IDC_MANUAL:
            openManual();
            return TRUE;
        case IDC_BROWSE:
            browse(dialog);
            return TRUE;
        default:
            return TRUE;
    }
}

bool installRunning() { return installThreadRunning; }
