// Fonts, colours and device contexts of the stand-in, enough for statics to be painted: what a
// dialog chooses in WM_CTLCOLORSTATIC is kept with the static for the front end to show.
#include <map>

#include "platform/standin/ui/desktop.h"

namespace standin::ui {
namespace {

struct GdiObject {
    bool stock = false;
    bool font = false;
    int weight = FW_NORMAL;
};

struct DeviceContext {
    HGDIOBJ font = nullptr;
    COLORREF textColor = 0;
    COLORREF backgroundColor = 0xFFFFFF;
    int backgroundMode = OPAQUE;
};

struct Gdi {
    std::map<HGDIOBJ, GdiObject> objects;
    std::map<HDC, DeviceContext> contexts;
    uintptr_t next = 0x40000;
};

Gdi& gdi() {
    static Gdi state;
    return state;
}

std::mutex gdiLock;

template <typename Handle>
Handle newHandle() {
    Handle handle = reinterpret_cast<Handle>(gdi().next);
    gdi().next += 4;
    return handle;
}

}  // namespace

void paintStatic(HWND dialog, HWND control) {
    HDC dc;
    {
        std::lock_guard<std::mutex> hold(gdiLock);
        dc = newHandle<HDC>();
        gdi().contexts[dc] = DeviceContext{};
    }
    LRESULT answer = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(control));
    Appearance appearance;
    {
        std::lock_guard<std::mutex> hold(gdiLock);
        DeviceContext& context = gdi().contexts[dc];
        auto font = gdi().objects.find(context.font);
        appearance.painted = true;
        appearance.bold = font != gdi().objects.end() && font->second.weight >= FW_BOLD;
        appearance.textColor = context.textColor;
        appearance.backgroundColor = context.backgroundColor;
        appearance.backgroundMode = context.backgroundMode;
        appearance.answer = answer;
        gdi().contexts.erase(dc);
    }
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    if (Window* window = findWindow(control)) window->appearance = appearance;
}

size_t liveGdiObjects() {
    std::lock_guard<std::mutex> hold(gdiLock);
    size_t count = 0;
    for (auto& entry : gdi().objects) count += entry.second.stock ? 0 : 1;
    return count;
}

}  // namespace standin::ui

using namespace standin::ui;

HFONT WINAPI CreateFontA(int, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                         DWORD, DWORD, LPCSTR) {
    std::lock_guard<std::mutex> hold(gdiLock);
    HFONT font = newHandle<HFONT>();
    GdiObject object;
    object.font = true;
    object.weight = weight;
    gdi().objects[reinterpret_cast<HGDIOBJ>(font)] = object;
    return font;
}

HGDIOBJ WINAPI GetStockObject(int index) {
    if (index < 0 || index > 19) return nullptr;
    std::lock_guard<std::mutex> hold(gdiLock);
    auto handle = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x30000 + index * 4));
    GdiObject& object = gdi().objects[handle];
    object.stock = true;
    return handle;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    std::lock_guard<std::mutex> hold(gdiLock);
    auto context = gdi().contexts.find(dc);
    auto found = gdi().objects.find(object);
    if (context == gdi().contexts.end() || found == gdi().objects.end()) return nullptr;
    if (!found->second.font) return object;
    HGDIOBJ previous = context->second.font;
    context->second.font = object;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    std::lock_guard<std::mutex> hold(gdiLock);
    auto found = gdi().objects.find(object);
    if (found == gdi().objects.end() || found->second.stock) return FALSE;
    for (auto& context : gdi().contexts) {
        if (context.second.font == object) return FALSE;
    }
    gdi().objects.erase(found);
    return TRUE;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
    std::lock_guard<std::mutex> hold(gdiLock);
    auto context = gdi().contexts.find(dc);
    if (context == gdi().contexts.end()) return CLR_INVALID;
    COLORREF previous = context->second.textColor;
    context->second.textColor = color;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF color) {
    std::lock_guard<std::mutex> hold(gdiLock);
    auto context = gdi().contexts.find(dc);
    if (context == gdi().contexts.end()) return CLR_INVALID;
    COLORREF previous = context->second.backgroundColor;
    context->second.backgroundColor = color;
    return previous;
}

int WINAPI SetBkMode(HDC dc, int mode) {
    std::lock_guard<std::mutex> hold(gdiLock);
    auto context = gdi().contexts.find(dc);
    if (context == gdi().contexts.end()) return 0;
    int previous = context->second.backgroundMode;
    context->second.backgroundMode = mode;
    return previous;
}
