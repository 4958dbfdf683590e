// The main dialog: initialisation, the Update and close commands, the colours of its statics, and
// the setup commands handed on to setup_dialogs.
// Every step reaches its control by ID, so a template without that control is left alone.
#include "front/update_dialog.h"

#include "engine/main_dialog.h"
#include "engine/setup_engine.h"
#include "engine/text.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "platform/drawing.h"
#include "setup_dialogs/dialog_placement.h"
#include "setup_dialogs/setup_commands.h"

namespace {

const char kMessageFormat[] = "%s　を\nアップデートしますか？";
const char kCaptionFormat[] = "%s Updata";
const char kInstallPathFormat[] = "%s\\%s\\%s";
const char kNotInstalled[] =
    "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。";
const char kWarningCaption[] = "確認";

const COLORREF kInstallPathBackground = RGB(236, 233, 216);

// The bold font of the two labels: made once for the dialog, so repeated paints share it.
HFONT labelFont = nullptr;

void enableControl(HWND dialog, int id, bool enable) { EnableWindow(GetDlgItem(dialog, id), enable); }

void initialiseDialog(HWND dialog) {
    mainDialog = dialog;
    char text[1024];
    formatText(text, sizeof text, kMessageFormat, productTitle);
    SetDlgItemTextA(dialog, IDC_MESSAGE, text);
    formatText(text, sizeof text, kCaptionFormat, productTitle);
    SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    centreOnWorkArea(dialog);
    bool installed = setupEngine.installed != 0;
    enableControl(dialog, IDC_INSTALL, !installed);
    enableControl(dialog, IDC_UNINSTALL, installed);
    enableControl(dialog, IDC_LAUNCH, installed);
    enableControl(dialog, IDC_BROWSE, !installed);
    showInstallPath(dialog);
}

void update(HWND dialog) {
    if (!setupEngine.installed) {
        MessageBoxA(dialog, kNotInstalled, kWarningCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    setupEngine.runUpdate();
    closeMainDialog(dialog);
}

INT_PTR colourStatic(HWND dialog, HDC dc, HWND control) {
    if (control == GetDlgItem(dialog, IDC_INSTALL_PATH)) SetBkColor(dc, kInstallPathBackground);
    bool white = control == GetDlgItem(dialog, IDC_LABEL_WHITE);
    bool black = control == GetDlgItem(dialog, IDC_LABEL_BLACK);
    if (!control || (!white && !black)) return 1;
    if (!labelFont) {
        labelFont = CreateFontA(16, 8, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                FIXED_PITCH, nullptr);
    }
    SelectObject(dc, labelFont);
    SetTextColor(dc, white ? RGB(255, 255, 255) : RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

}  // namespace

void showInstallPath(HWND dialog) {
    char text[1024];
    formatText(text, MAX_PATH, kInstallPathFormat, setupEngine.installBase, makerName,
               productFolder);
    SetDlgItemTextA(dialog, IDC_INSTALL_PATH, text);
}

void closeMainDialog(HWND dialog) {
    EndDialog(dialog, IDCANCEL);
    PostQuitMessage(0);
}

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            initialiseDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                case IDC_EXIT:
                    // An install under way is never cut off.
                    if (!installRunning()) closeMainDialog(dialog);
                    return TRUE;
                case IDC_UPDATE:
                    update(dialog);
                    return TRUE;
                case IDC_INSTALL:
                case IDC_LAUNCH:
                case IDC_BROWSE:
                case IDC_README:
                case IDC_UNINSTALL:
                case IDC_MANUAL:
                    return setupCommand(dialog, LOWORD(wParam));
                default:
                    return TRUE;
            }
        case WM_CTLCOLORSTATIC:
            return colourStatic(dialog, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DESTROY:
            // The font goes with the dialog that painted with it.
            if (labelFont) DeleteObject(labelFont);
            labelFont = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}
