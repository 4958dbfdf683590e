// Modal dialogs from the program's templates: their controls, the dialog keyboard and the
// user's commands.
#include <algorithm>
#include <cstring>

#include "platform/standin/resources.h"
#include "platform/standin/ui/desktop.h"

namespace standin::ui {
namespace {

int pixelsX(int units) { return (units * kBaseUnitX + 2) / 4; }
int pixelsY(int units) { return (units * kBaseUnitY + 4) / 8; }

ControlKind kindOf(const DialogItem& item) {
    std::string name = item.windowClass.text;
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(tolower(c)); });
    if (name == "button") {
        DWORD type = item.style & BS_TYPEMASK;
        return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ? ControlKind::CheckBox
                                                              : ControlKind::Button;
    }
    if (name == "static") return ControlKind::Static;
    if (name == "msctls_progress32") return ControlKind::Progress;
    return ControlKind::Other;
}

void emitProgress(Window* bar) {
    Event event;
    if (!controlEvent(bar, Event::ProgressChanged, event)) return;
    event.result = bar->position;
    event.type = static_cast<UINT>(bar->rangeMax);
    emit(event);
}

bool isPushButton(const Window* window) {
    return window && window->kind == ControlKind::Button;
}

// The default push button: the one whose style says so, else IDOK.
int defaultButtonId(Window* dialog) {
    for (HWND handle : dialog->controls) {
        Window* control = findWindow(handle);
        if (isPushButton(control) && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return control->id;
    }
    return IDOK;
}

std::vector<Window*> tabStops(Window* dialog) {
    std::vector<Window*> stops;
    for (HWND handle : dialog->controls) {
        Window* control = findWindow(handle);
        if (control && control->enabled && control->visible && (control->style & WS_TABSTOP)) {
            stops.push_back(control);
        }
    }
    return stops;
}

void sendCommand(HWND dialog, int id, HWND control) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// A press of a button or check box, as a mouse click gives it: nothing when it is disabled.
void pressControl(HWND handle) {
    HWND dialog;
    int id;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* control = findWindow(handle);
        if (!control || !control->enabled || !control->visible) return;
        if (control->kind == ControlKind::CheckBox && (control->style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            control->checked = !control->checked;
        }
        dialog = control->parent;
        id = control->id;
    }
    sendCommand(dialog, id, handle);
}

void moveFocus(Window* dialog, int direction) {
    std::vector<Window*> stops = tabStops(dialog);
    if (stops.empty()) return;
    auto current = std::find_if(stops.begin(), stops.end(), [&](Window* w) { return w->handle == dialog->focus; });
    long index = current == stops.end() ? 0 : (current - stops.begin()) + direction;
    long count = static_cast<long>(stops.size());
    dialog->focus = stops[static_cast<size_t>((index % count + count) % count)]->handle;
    Event event;
    event.kind = Event::StateChanged;
    event.window = dialog->focus;
    event.id = -1;  // focus only: the plain front end prints nothing for it
    emit(event);
}

// Carries out one command of the user on the dialog.
void applyCommand(HWND dialogHandle, const UserCommand& command) {
    HWND target = nullptr;
    int commandId = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* dialog = findWindow(dialogHandle);
        if (!dialog) return;
        switch (command.kind) {
            case UserCommand::Click: {
                Window* control = controlOf(dialogHandle, command.controlId);
                if (!control) {
                    fprintf(stderr, "click %d: the dialog has no such control\n", command.controlId);
                    return;
                }
                if (!control->enabled) {
                    fprintf(stderr, "click %d: the control is disabled\n", command.controlId);
                    return;
                }
                target = control->handle;
                break;
            }
            case UserCommand::KeyEnter: {
                Window* focused = findWindow(dialog->focus);
                if (isPushButton(focused) && focused->enabled) {
                    commandId = focused->id;
                    target = focused->handle;
                } else {
                    commandId = defaultButtonId(dialog);
                    Window* button = controlOf(dialogHandle, commandId);
                    if (button && !button->enabled) return;
                    target = button ? button->handle : nullptr;
                }
                break;
            }
            case UserCommand::KeySpace: {
                Window* focused = findWindow(dialog->focus);
                if (!focused || focused->kind == ControlKind::Static) return;
                target = focused->handle;
                break;
            }
            case UserCommand::KeyEscape: {
                // Escape gives IDCANCEL whether that button is there and enabled or not.
                Window* cancel = controlOf(dialogHandle, IDCANCEL);
                commandId = IDCANCEL;
                target = cancel ? cancel->handle : nullptr;
                break;
            }
            case UserCommand::KeyTab:
            case UserCommand::KeyBackTab:
                moveFocus(dialog, command.kind == UserCommand::KeyTab ? 1 : -1);
                return;
            default:
                fprintf(stderr, "that command has no meaning for a dialog\n");
                return;
        }
    }
    if (commandId) {
        sendCommand(dialogHandle, commandId, target);
    } else {
        pressControl(target);
    }
}

// A user who walks away: Escape, and when a dialog without a cancel button of its own ignores
// that, its cancelling button, the last enabled push button besides the default one. A dialog
// with a cancel button that stays open refuses to close for now, and is asked again later.
void leaveDialog(HWND dialogHandle) {
    applyCommand(dialogHandle, UserCommand{UserCommand::KeyEscape, 0, ""});
    HWND cancelling = nullptr;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* dialog = findWindow(dialogHandle);
        if (!dialog || dialog->ended || controlOf(dialogHandle, IDCANCEL)) return;
        for (HWND handle : dialog->controls) {
            Window* control = findWindow(handle);
            if (isPushButton(control) && control->enabled && control->id != IDCANCEL &&
                (control->style & BS_TYPEMASK) != BS_DEFPUSHBUTTON) {
                cancelling = handle;
            }
        }
    }
    if (cancelling) pressControl(cancelling);
}

bool loadTemplate(LPCSTR name, DialogTemplate& dialogTemplate, int* id) {
    Resource resource;
    if (!IS_INTRESOURCE(name)) return false;
    *id = LOWORD(name);
    return findProgramResource(kResourceDialog, static_cast<uint16_t>(*id), resource) &&
           parseDialogTemplate(resource.data, resource.size, dialogTemplate);
}

HWND createDialog(const DialogTemplate& dialogTemplate, int templateId, HWND owner, DLGPROC proc) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* dialog = createWindowRecord();
    dialog->kind = ControlKind::Dialog;
    dialog->className = "#32770";
    dialog->dialogProc = proc;
    dialog->templateId = templateId;
    dialog->text = dialogTemplate.caption;
    dialog->style = dialogTemplate.style;
    dialog->exStyle = dialogTemplate.exStyle;
    dialog->owner = owner;
    dialog->visible = true;
    int width = pixelsX(dialogTemplate.cx) + 2 * kFramePixels;
    int height = pixelsY(dialogTemplate.cy) + 2 * kFramePixels + kCaptionPixels;
    int left = pixelsX(dialogTemplate.x);
    int top = pixelsY(dialogTemplate.y);
    dialog->rect = RECT{left, top, left + width, top + height};
    dialog->unitRect = RECT{dialogTemplate.x, dialogTemplate.y, dialogTemplate.x + dialogTemplate.cx,
                            dialogTemplate.y + dialogTemplate.cy};
    HWND dialogHandle = dialog->handle;
    std::vector<HWND> controls;
    for (const DialogItem& item : dialogTemplate.items) {
        Window* control = createWindowRecord();
        control->kind = kindOf(item);
        control->className = item.windowClass.text;
        control->text = item.title.isOrdinal ? "" : item.title.text;
        control->style = item.style;
        control->exStyle = item.exStyle;
        control->parent = dialogHandle;
        control->id = static_cast<int>(static_cast<int16_t>(item.id));
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->enabled = (item.style & WS_DISABLED) == 0;
        control->unitRect = RECT{item.x, item.y, item.x + item.cx, item.y + item.cy};
        int x = left + kFramePixels + pixelsX(item.x);
        int y = top + kFramePixels + kCaptionPixels + pixelsY(item.y);
        control->rect = RECT{x, y, x + pixelsX(item.cx), y + pixelsY(item.cy)};
        control->dirty = control->kind == ControlKind::Static;
        controls.push_back(control->handle);
    }
    findWindow(dialogHandle)->controls = controls;
    return dialogHandle;
}

}  // namespace

Window* controlOf(HWND dialog, int id) {
    Window* window = findWindow(dialog);
    if (!window) return nullptr;
    for (HWND handle : window->controls) {
        Window* control = findWindow(handle);
        if (control && control->id == id) return control;
    }
    return nullptr;
}

LRESULT defaultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            return defaultTextProc(dialog, message, wParam, lParam);
        case WM_CLOSE:
            sendCommand(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL));
            return 0;
        case WM_PAINT:
            paintDirtyStatics(dialog);
            return 0;
        case DM_GETDEFID: {
            std::lock_guard<std::recursive_mutex> hold(desktopLock());
            Window* window = findWindow(dialog);
            return window ? MAKELPARAM(defaultButtonId(window), DC_HASDEFID) : 0;
        }
        default:
            return 0;
    }
}

LRESULT controlMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BM_CLICK) {
        pressControl(handle);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* control = findWindow(handle);
    if (!control) return 0;
    switch (message) {
        case BM_GETCHECK:
            return control->checked ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK: {
            bool checked = wParam == BST_CHECKED;
            if (control->checked != checked) {
                control->checked = checked;
                Event event;
                event.kind = Event::StateChanged;
                event.window = handle;
                event.id = -1;
                emit(event);
            }
            return 0;
        }
        default:
            break;
    }
    if (control->kind != ControlKind::Progress) return 0;
    int previous = control->position;
    switch (message) {
        case PBM_SETRANGE:
            control->rangeMin = LOWORD(lParam);
            control->rangeMax = HIWORD(lParam);
            previous = MAKELPARAM(control->rangeMin, control->rangeMax);
            break;
        case PBM_SETRANGE32:
            control->rangeMin = static_cast<int>(wParam);
            control->rangeMax = static_cast<int>(lParam);
            break;
        case PBM_SETPOS:
            control->position = static_cast<int>(wParam);
            break;
        case PBM_DELTAPOS:
            control->position += static_cast<int>(wParam);
            break;
        case PBM_SETSTEP:
            previous = control->step;
            control->step = static_cast<int>(wParam);
            break;
        case PBM_STEPIT:
            // Past the top of the range the bar starts again from the bottom.
            control->position += control->step;
            if (control->position > control->rangeMax) {
                control->position = control->rangeMin + (control->position - control->rangeMax);
            }
            break;
        case PBM_GETPOS:
            return control->position;
        default:
            return 0;
    }
    control->position = std::clamp(control->position, control->rangeMin, std::max(control->rangeMin, control->rangeMax));
    if (message != PBM_SETSTEP) emitProgress(control);
    return previous;
}

void paintDirtyStatics(HWND dialogHandle) {
    std::vector<HWND> dirty;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* dialog = findWindow(dialogHandle);
        if (!dialog || !dialog->shown) return;
        for (HWND handle : dialog->controls) {
            Window* control = findWindow(handle);
            if (control && control->dirty) {
                control->dirty = false;
                dirty.push_back(handle);
            }
        }
    }
    for (HWND handle : dirty) paintStatic(dialogHandle, handle);
}

}  // namespace standin::ui

using namespace standin::ui;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                               LPARAM initParam) {
    standin::DialogTemplate dialogTemplate;
    int templateId = 0;
    if (!loadTemplate(templateName, dialogTemplate, &templateId)) {
        SetLastError(1812);  // ERROR_RESOURCE_DATA_NOT_FOUND
        return -1;
    }
    HWND dialog = createDialog(dialogTemplate, templateId, owner, dialogProc);
    HWND firstStop = nullptr;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        std::vector<Window*> stops = tabStops(findWindow(dialog));
        if (!stops.empty()) firstStop = stops.front()->handle;
    }
    bool setFocus = callWindow(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstStop), initParam) != 0;
    Event shown;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* window = findWindow(dialog);
        if (!window) return -1;
        if (setFocus) window->focus = firstStop;
        if (!window->ended) {
            window->shown = true;
            shown.kind = Event::DialogShown;
            shown.window = dialog;
            shown.id = templateId;
            shown.caption = window->text;
        }
    }
    Modal modal;
    modal.kind = Modal::Dialog;
    modal.dialog = dialog;
    auto ended = [dialog] {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* window = findWindow(dialog);
        return !window || window->ended;
    };
    runModal(
        modal, [&] { if (shown.window) emit(shown); }, ended,
        [dialog](const UserCommand& command) { applyCommand(dialog, command); },
             [dialog] { leaveDialog(dialog); });
    INT_PTR result = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* window = findWindow(dialog);
        if (!window) return 0;
        result = window->result;
        window->shown = false;
    }
    Event closed;
    closed.kind = Event::DialogClosed;
    closed.window = dialog;
    closed.id = templateId;
    closed.result = result;
    emit(closed);
    destroyWindowRecord(dialog);
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(dialog);
    if (!window || window->kind != ControlKind::Dialog) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    window->ended = true;
    window->result = result;
    wake().notify_all();
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int controlId) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* control = controlOf(dialog, controlId);
    return control ? control->handle : nullptr;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text) {
    HWND control = GetDlgItem(dialog, controlId);
    return control ? SetWindowTextA(control, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int controlId, LPSTR text, int size) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) {
        if (text && size > 0) text[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, text, size));
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int controlId, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
    HWND control = GetDlgItem(dialog, controlId);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int controlId, UINT check) {
    return SendDlgItemMessageA(dialog, controlId, BM_SETCHECK, check, 0) == 0 &&
           GetDlgItem(dialog, controlId) != nullptr;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int controlId) {
    return static_cast<UINT>(SendDlgItemMessageA(dialog, controlId, BM_GETCHECK, 0, 0));
}
