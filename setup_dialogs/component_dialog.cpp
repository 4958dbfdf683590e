// The component dialog. Each archive's box writes its byte of the engine's selection, and every
// change shows the megabytes the install then needs.
#include "setup_dialogs/component_dialog.h"

#include "engine/setup_engine.h"
#include "engine/text.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "setup_dialogs/dialog_placement.h"

int componentChoice = 0;

namespace {

const char kCaption[] = "インストールする項目の選択";

constexpr uint32_t kBaseMegabytes = 140;

// An archive's box, the slot of the engine's selection it stands for, and the archive's size.
struct Archive {
    int controlId;
    size_t slot;
    uint32_t megabytes;
};
constexpr Archive kArchives[] = {
    {IDC_ARCHIVE_ZOM, 1, 1200},
    {IDC_ARCHIVE_HEP, 5, 220},
    {IDC_ARCHIVE_TUV, 2, 740},
};

void showSize(HWND dialog, const char* format, uint32_t megabytes) {
    char text[32];
    formatText(text, sizeof text, format, static_cast<int>(megabytes));
    SetDlgItemTextA(dialog, IDC_COMPONENT_SIZE, text);
}

void initialise(HWND dialog) {
    SetWindowTextA(dialog, kCaption);
    centreOnWorkArea(dialog);
    componentChoice = 0;
    SendDlgItemMessageA(dialog, IDC_BASE_FILES, BM_SETCHECK, BST_CHECKED, 0);
    // A box whose archive is not chosen keeps the template's state.
    for (const Archive& archive : kArchives) {
        if (setupEngine.selected[archive.slot] == 1) {
            SendDlgItemMessageA(dialog, archive.controlId, BM_SETCHECK, BST_CHECKED, 0);
        }
    }
}

// Alternates between the two install types: choice 1 is type 2 over every entry with the first
// size, choice 0 type 1 over the first eleven with the second. The setting the archives keep is
// left alone, so the next archive change brings the archives' own size back.
void switchInstallType(HWND dialog) {
    componentChoice = (componentChoice - 1) & 1;
    bool first = componentChoice == 1;
    setupEngine.setInstallType(first ? 2 : 1, 0, first ? 9999 : 11);
    uint32_t megabytes = typeMegabytes[first ? 0 : 1];
    setupEngine.setRequiredMegabytes(megabytes);
    showSize(dialog, "%dM byte", megabytes);
}

void archiveClicked(HWND dialog, const Archive& archive) {
    bool checked = SendDlgItemMessageA(dialog, archive.controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
    setupEngine.selected[archive.slot] = checked ? 1 : 0;
    requiredMegabytesSetting = componentMegabytes();
    setupEngine.setRequiredMegabytes(requiredMegabytesSetting);
    showSize(dialog, "%dM", requiredMegabytesSetting);
}

void command(HWND dialog, int id) {
    switch (id) {
        case IDC_COMPONENT_OK:
            EndDialog(dialog, IDC_COMPONENT_OK);
            return;
        case IDC_COMPONENT_CANCEL:
            componentChoice = kComponentsCancelled;
            EndDialog(dialog, IDC_COMPONENT_CANCEL);
            return;
        case IDC_SWITCH_TYPE:
            switchInstallType(dialog);
            return;
        default:
            for (const Archive& archive : kArchives) {
                if (archive.controlId == id) archiveClicked(dialog, archive);
            }
            return;
    }
}

}  // namespace

uint32_t componentMegabytes() {
    uint32_t megabytes = kBaseMegabytes;
    for (const Archive& archive : kArchives) {
        if (setupEngine.selected[archive.slot] == 1) megabytes += archive.megabytes;
    }
    return megabytes;
}

// Escape and the close box reach WM_COMMAND as IDCANCEL, which is no command here: only the
// dialog's own buttons end it.
INT_PTR CALLBACK componentDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            initialise(dialog);
            return 1;
        case WM_COMMAND:
            command(dialog, LOWORD(wParam));
            return 1;
        default:
            return 0;
    }
}
