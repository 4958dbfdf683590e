// The tests' machine: the stand-in's on Linux, the real one under Wine.
#include "engine/tests/machine.h"

#include "platform/kernel.h"
#include "platform/registry.h"

namespace testbed {

#ifndef _WIN32
std::string programFolder() { return "C:\\Game"; }

std::string programFile(std::string_view name) { return "drive_c/Game/" + std::string(name); }

DWORD attributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }
#else
namespace {

const char kProductKeyParent[] = "SOFTWARE\\VANTRE";

std::string windowsPath(std::string_view name) {
    std::string path(name);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

void removeTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..") removeTree(path + "\\" + name);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

TestMachine::TestMachine() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProductKeyParent); }

TestMachine::~TestMachine() {
    setMessageBoxAnswerer(nullptr);
    for (auto entry = made.rbegin(); entry != made.rend(); ++entry) removeTree(*entry);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProductKeyParent);
}

std::string TestMachine::path(std::string_view name) const {
    const std::string_view driveC = "drive_c/";
    if (name.substr(0, driveC.size()) == driveC) return "C:\\" + windowsPath(name.substr(driveC.size()));
    return windowsPath(name);
}

void TestMachine::writeFile(std::string_view name, std::string_view content) const {
    std::string file = path(name);
    // Each folder along the path, after the drive's root, is made when missing.
    for (size_t separator = file.find('\\', 3); separator != std::string::npos;
         separator = file.find('\\', separator + 1)) {
        std::string folder = file.substr(0, separator);
        if (CreateDirectoryA(folder.c_str(), nullptr)) made.push_back(folder);
    }
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) made.push_back(file);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(handle);
}

std::string TestMachine::readFile(std::string_view name) const {
    HANDLE handle = CreateFileA(path(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return "";
    std::string content;
    char block[65536];
    DWORD read = 0;
    while (ReadFile(handle, block, sizeof block, &read, nullptr) && read > 0) content.append(block, read);
    CloseHandle(handle);
    return content;
}

namespace {

MessageBoxAnswerer boxAnswerer;
HHOOK boxHook = nullptr;

// The box's style as it shows it: its buttons and its icon (a shared system icon).
UINT boxType(HWND box) {
    UINT type = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) ? MB_YESNO : MB_OK;
    const struct {
        LPCSTR icon;
        UINT style;
    } icons[] = {{IDI_HAND, MB_ICONHAND},
                 {IDI_QUESTION, MB_ICONQUESTION},
                 {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                 {IDI_ASTERISK, MB_ICONASTERISK}};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        auto shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        for (const auto& icon : icons) {
            if (shown && shown == LoadIconA(nullptr, icon.icon)) type |= icon.style;
        }
    }
    return type;
}

LRESULT CALLBACK watchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    auto window = reinterpret_cast<HWND>(wParam);
    char className[16] = "";
    if (code == HCBT_ACTIVATE && boxAnswerer && GetClassNameA(window, className, sizeof className) &&
        std::string(className) == "#32770" && GetDlgItem(window, 0xFFFF)) {
        char text[1024] = "", caption[256] = "";
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        GetWindowTextA(window, caption, sizeof caption);
        int button = boxAnswerer(GetWindow(window, GW_OWNER), text, caption, boxType(window));
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

}  // namespace

void setMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    boxAnswerer = std::move(answerer);
    if (boxAnswerer && !boxHook) {
        boxHook = SetWindowsHookExA(WH_CBT, watchBoxes, nullptr, GetCurrentThreadId());
    } else if (!boxAnswerer && boxHook) {
        UnhookWindowsHookEx(boxHook);
        boxHook = nullptr;
    }
}

std::string programFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

std::string programFile(std::string_view name) { return programFolder() + "\\" + windowsPath(name); }

DWORD attributesOf(const std::string& path) {
    static const bool underWine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    DWORD attributes = GetFileAttributesA(path.c_str());
    return underWine && attributes == FILE_ATTRIBUTE_ARCHIVE ? FILE_ATTRIBUTE_NORMAL : attributes;
}
#endif

}  // namespace testbed
