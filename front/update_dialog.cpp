// The main dialog: initialisation, the Update and close commands, and the colours of its statics.
// Every step reaches its control by ID, so a template without that control is left alone.
#include "front/update_dialog.h"

#include "engine/main_dialog.h"
#include "engine/setup_engine.h"
#include "engine/text.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "platform/drawing.h"

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
    formatText(text, MAX_PATH, kInstallPathFormat, setupEngine.installBase, makerName, productFolder);
    SetDlgItemTextA(dialog, IDC_INSTALL_PATH, text);
}

void closeDialog(HWND dialog) {
    EndDialog(dialog, IDCANCEL);
    PostQuitMessage(0);
}

void update(HWND dialog) {
    if (!setupEngine.installed) {
        MessageBoxA(dialog, kNotInstalled, kWarningCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    setupEngine.runUpdate();
    closeDialog(dialog);
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

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            initialiseDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                case IDC_EXIT:
                    closeDialog(dialog);
                    return TRUE;
                case IDC_UPDATE:
                    update(dialog);
                    return TRUE;
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
