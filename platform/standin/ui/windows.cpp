// Window classes and windows of the stand-in: creation, texts, enable states and geometry.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/standin/machine.h"
#include "platform/standin/ui/desktop.h"
#include "platform/standin/ui/instances.h"

namespace standin::ui {
namespace {

struct Desktop {
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::map<std::string, WNDCLASSA> classes;  // by folded name
    std::vector<std::string> classNames;       // kept alive for the records' lpszClassName
    uintptr_t nextHandle = 0x10000;
};

Desktop& desktop() {
    static Desktop state;
    return state;
}

// Class names compare without regard to the case of single-byte letters.
std::string foldClassName(const char* name) { return foldName932(name ? name : ""); }

// Messages that a control of ours answers itself.
LRESULT controlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

void notifyTextChanged(Window* window) {
    if (window->kind == ControlKind::Static) window->dirty = true;
    Event event;
    if (!controlEvent(window, Event::TextChanged, event)) return;
    event.text = window->text;
    emit(event);
}

}  // namespace

Window* findWindow(HWND handle) {
    auto& windows = desktop().windows;
    auto it = windows.find(handle);
    return it == windows.end() ? nullptr : it->second.get();
}

bool controlEvent(const Window* control, Event::Kind kind, Event& event) {
    Window* dialog = findWindow(control->parent);
    if (!dialog || !dialog->shown) return false;
    event.kind = kind;
    event.window = control->handle;
    event.id = control->id;
    return true;
}

Window* createWindowRecord() {
    Desktop& state = desktop();
    auto record = std::make_unique<Window>();
    record->handle = reinterpret_cast<HWND>(state.nextHandle);
    state.nextHandle += 4;  // handles are never reused
    record->thread = std::this_thread::get_id();
    Window* window = record.get();
    state.windows[window->handle] = std::move(record);
    return window;
}

std::vector<Window*> windowsOfThread(std::thread::id thread) {
    std::vector<Window*> found;
    for (auto& entry : desktop().windows) {
        if (entry.second->thread == thread) found.push_back(entry.second.get());
    }
    return found;
}

LRESULT callWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlKind kind;
    WNDPROC windowProc;
    DLGPROC dialogProc;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* window = findWindow(handle);
        if (!window) return 0;
        kind = window->kind;
        windowProc = window->windowProc;
        dialogProc = window->dialogProc;
    }
    if (kind == ControlKind::Dialog) {
        INT_PTR answer = dialogProc ? dialogProc(handle, message, wParam, lParam) : 0;
        if (answer || message == WM_INITDIALOG || message == WM_CTLCOLORSTATIC) return answer;
        return defaultDialogProc(handle, message, wParam, lParam);
    }
    if (kind == ControlKind::Window) {
        return windowProc ? windowProc(handle, message, wParam, lParam)
                          : DefWindowProcA(handle, message, wParam, lParam);
    }
    return controlProc(handle, message, wParam, lParam);
}

void setWindowText(Window* window, const char* text) {
    window->text = text ? text : "";
    if (!window->parent) publishTopLevel(window->handle, window->className, window->text);
    notifyTextChanged(window);
}

void destroyWindowRecord(HWND handle) {
    std::vector<HWND> children;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* window = findWindow(handle);
        if (!window) return;
        children = window->controls;
    }
    callWindow(handle, WM_DESTROY, 0, 0);
    for (HWND child : children) destroyWindowRecord(child);
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    withdrawTopLevel(handle);
    desktop().windows.erase(handle);
    wake().notify_all();
}

LRESULT defaultTextProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(handle);
    if (!window) return 0;
    switch (message) {
        case WM_SETTEXT:
            setWindowText(window, reinterpret_cast<const char*>(lParam));
            return TRUE;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->text.size());
        case WM_GETTEXT: {
            auto* out = reinterpret_cast<char*>(lParam);
            if (!out || wParam == 0) return 0;
            size_t length = std::min(window->text.size(), static_cast<size_t>(wParam - 1));
            memcpy(out, window->text.data(), length);
            out[length] = '\0';
            return static_cast<LRESULT>(length);
        }
        default:
            return 0;
    }
}

namespace {

LRESULT controlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            return defaultTextProc(handle, message, wParam, lParam);
        default:
            return controlMessage(handle, message, wParam, lParam);
    }
}

}  // namespace

bool findClass(const char* name, WNDCLASSA* found) {
    auto& classes = desktop().classes;
    auto it = classes.find(foldClassName(name));
    if (it == classes.end()) return false;
    if (found) *found = it->second;
    return true;
}

void clearDesktop() {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    for (auto& entry : desktop().windows) withdrawTopLevel(entry.first);
    desktop().windows.clear();
    desktop().classes.clear();
}

}  // namespace standin::ui

using namespace standin::ui;

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    auto& classes = desktop().classes;
    std::string folded = foldClassName(windowClass->lpszClassName);
    if (classes.count(folded)) {
        SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    desktop().classNames.emplace_back(windowClass->lpszClassName);
    WNDCLASSA kept = *windowClass;
    kept.lpszClassName = desktop().classNames.back().c_str();
    classes[folded] = kept;
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                            LPVOID param) {
    HWND handle;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        WNDCLASSA windowClass;
        if (!className || IS_INTRESOURCE(className) || !findClass(className, &windowClass)) {
            SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
            return nullptr;
        }
        Window* window = createWindowRecord();
        window->kind = ControlKind::Window;
        window->className = windowClass.lpszClassName;
        window->windowProc = windowClass.lpfnWndProc;
        window->text = windowName ? windowName : "";
        window->style = style;
        window->exStyle = exStyle;
        int left = x == CW_USEDEFAULT ? 0 : x;
        int top = x == CW_USEDEFAULT ? 0 : y;
        window->rect = RECT{left, top, left + width, top + height};
        window->parent = (style & WS_CHILD) ? parent : nullptr;
        window->owner = (style & WS_CHILD) ? nullptr : parent;
        window->id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<uintptr_t>(menu)) : 0;
        window->visible = (style & WS_VISIBLE) != 0;
        window->enabled = (style & WS_DISABLED) == 0;
        handle = window->handle;
        if (!window->parent) publishTopLevel(handle, window->className, window->text);
    }
    if (callWindow(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(param)) == -1) {
        destroyWindowRecord(handle);
        return nullptr;
    }
    return handle;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    std::string folded = className ? foldClassName(className) : "";
    for (auto& entry : desktop().windows) {
        Window& window = *entry.second;
        if (window.parent || window.kind != ControlKind::Window) continue;
        if (className && foldClassName(window.className.c_str()) != folded) continue;
        if (windowName && window.text != windowName) continue;
        return window.handle;
    }
    if (otherProgramHasWindow(className, windowName)) return foreignWindow();
    return nullptr;
}

BOOL WINAPI ShowWindow(HWND handle, int showCommand) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(handle);
    if (!window) return FALSE;
    bool wasVisible = window->visible;
    window->visible = showCommand != SW_HIDE;
    return wasVisible;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        if (!findWindow(handle)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    destroyWindowRecord(handle);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    return findWindow(handle) != nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(handle);
            return 0;
        case WM_SETTEXT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            return defaultTextProc(handle, message, wParam, lParam);
        default:
            return 0;
    }
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(LOWORD(name)) + 0x20000);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(LOWORD(name)) + 0x30000);
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SendMessageA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

int WINAPI GetWindowTextA(HWND handle, LPSTR text, int size) {
    // Read directly, as Windows does for windows of this process on another thread.
    return static_cast<int>(defaultTextProc(handle, WM_GETTEXT, static_cast<WPARAM>(size),
                                            reinterpret_cast<LPARAM>(text)));
}

BOOL WINAPI EnableWindow(HWND handle, BOOL enable) {
    Event event;
    BOOL wasDisabled;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        Window* window = findWindow(handle);
        if (!window) return FALSE;
        wasDisabled = !window->enabled;
        bool changed = window->enabled != (enable != FALSE);
        window->enabled = enable != FALSE;
        if (!changed || !controlEvent(window, Event::StateChanged, event)) return wasDisabled;
        event.result = window->enabled;
    }
    emit(event);
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND handle) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(handle);
    return window && window->enabled;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(handle);
    if (!window || !rect) return FALSE;
    *rect = window->rect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(handle);
    if (!window || !rect) return FALSE;
    *rect = RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    if (window->kind == ControlKind::Dialog) {
        rect->right -= 2 * kFramePixels;
        rect->bottom -= 2 * kFramePixels + kCaptionPixels;
    }
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* window = findWindow(handle);
    if (!window) return FALSE;
    window->rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, LPVOID data, UINT) {
    if (action != SPI_GETWORKAREA || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    standin::Settings settings = standin::readSettings();
    *static_cast<RECT*>(data) = RECT{settings.workArea[0], settings.workArea[1], settings.workArea[2],
                                     settings.workArea[3]};
    return TRUE;
}

int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(out, 1024, format, arguments);
    va_end(arguments);
    return length < 0 ? 0 : std::min(length, 1023);
}
