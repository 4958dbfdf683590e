// The shell: special folders, the product's Start-menu shortcuts, opening files through the
// shell, and the folder-browse dialog. COM lives for one operation on the calling thread.
#include "engine/shell.h"

#include <cstring>

#include "engine/folder_picker.h"
#include "engine/setup_engine.h"
#include "engine/text.h"
#include "platform/shell.h"

namespace {

const char kBrowseTitle[] = "フォルダを選択してください";
const char kInvalidFolder[] = "不正なフォルダです";
const char kAllocatorError[] = "SHGetMalloc Error";
const char kErrorCaption[] = "Error";
const char kReadmeName[] = "readme.txt";
const char kReadmeLink[] = "README";
const char kUninstallLink[] = "アンインストール";

constexpr size_t kBrowsePathSize = 1024;

// CoInitialize's results that end an operation before it begins, without CoUninitialize.
bool comRefused(HRESULT result) {
    return result == E_UNEXPECTED || result == E_OUTOFMEMORY || result == E_INVALIDARG;
}

UINT browseFlagsOf(int kind) {
    switch (kind) {
        case 0: return BIF_VALIDATE;
        case 1: return BIF_VALIDATE | BIF_EDITBOX;
        case 2: return BIF_VALIDATE | BIF_EDITBOX | BIF_STATUSTEXT;
        default: return 0;
    }
}

// Saves a shell link through the object's persistence interface; S_OK when it was written.
HRESULT saveShortcut(IShellLinkA* link, const char* targetDir, const char* targetFile, const char* linkFile) {
    IPersistFile* persist = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) return E_FAIL;
    HRESULT saved = E_FAIL;
    char target[MAX_PATH];
    WCHAR wideName[MAX_PATH];
    if (formatText(target, sizeof target, "%s\\%s", targetDir, targetFile) &&
        MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, linkFile, -1, wideName, MAX_PATH) != 0) {
        link->SetPath(target);
        link->SetWorkingDirectory(targetDir);
        link->SetIconLocation("", 0);
        link->SetHotkey(0);
        link->SetDescription("");
        link->SetShowCmd(SW_SHOW);
        saved = persist->Save(wideName, TRUE);
    }
    link->Release();
    persist->Release();
    return saved;
}

}  // namespace

int specialFolderPath(int csidl, char* out, int outSize) {
    char path[MAX_PATH] = {};
    memset(out, 0, static_cast<size_t>(outSize));
    BOOL known = SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    copyTextCut(out, static_cast<size_t>(outSize), path);
    return known;
}

bool SetupEngine::createShortcut(const char* linkFolder, const char* targetDir, const char* targetFile,
                                 const char* linkName) {
    char linkFile[MAX_PATH];
    if (!formatText(linkFile, sizeof linkFile, "%s\\%s.lnk", linkFolder, linkName)) return false;
    if (comRefused(CoInitialize(nullptr))) return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        CoUninitialize();
        return false;
    }
    HRESULT saved = saveShortcut(link, targetDir, targetFile, linkFile);
    CoUninitialize();
    return saved == S_OK;
}

bool SetupEngine::createStartMenuEntries(int kind) {
    startMenuDir[0] = '\0';
    if (kind != 0 && kind != 1) return false;
    specialFolderPath(kind == 0 ? CSIDL_COMMON_STARTMENU : CSIDL_COMMON_PROGRAMS, startMenuDir, MAX_PATH);
    char makerFolder[MAX_PATH];
    char productFolderPath[MAX_PATH];
    if (!formatText(makerFolder, sizeof makerFolder, "%s\\%s", startMenuDir, makerName) ||
        !formatText(productFolderPath, sizeof productFolderPath, "%s\\%s", makerFolder, productTitle)) {
        return false;
    }
    CreateDirectoryA(makerFolder, nullptr);
    CreateDirectoryA(productFolderPath, nullptr);
    return createShortcut(productFolderPath, installDir, installFiles[0], productTitle) &&
           createShortcut(productFolderPath, installDir, installFiles[10], kReadmeLink) &&
           createShortcut(productFolderPath, installDir, installFiles[11], kUninstallLink);
}

void SetupEngine::removeStartMenuEntries() {
    specialFolderPath(CSIDL_COMMON_PROGRAMS, startMenuDir, MAX_PATH);
    char path[MAX_PATH];
    for (const char* link : {static_cast<const char*>(productTitle), kReadmeLink, kUninstallLink}) {
        if (formatText(path, sizeof path, "%s\\%s\\%s\\%s.lnk", startMenuDir, makerName, productTitle, link)) {
            DeleteFileA(path);
        }
    }
    if (formatText(path, sizeof path, "%s\\%s\\%s", startMenuDir, makerName, productTitle)) {
        RemoveDirectoryA(path);
    }
    if (formatText(path, sizeof path, "%s\\%s", startMenuDir, makerName)) RemoveDirectoryA(path);
}

bool openWithShell(const char* path, const char* parameters) {
    if (comRefused(CoInitialize(nullptr))) return false;
    // Without a long form (a file that is not there) the shell is handed the path as it is.
    char longPath[MAX_PATH];
    DWORD length = GetLongPathNameA(path, longPath, sizeof longPath);
    if (length == 0 || length >= sizeof longPath) copyTextCut(longPath, sizeof longPath, path);
    ShellExecuteA(nullptr, "open", longPath, parameters, "", SW_SHOWNORMAL);
    CoUninitialize();
    return true;
}

bool SetupEngine::launchProduct() {
    SetCurrentDirectoryA(installDir);
    char path[MAX_PATH];
    if (!formatText(path, sizeof path, "%s\\%s", installDir, installFiles[0])) return false;
    return openWithShell(path, "");
}

bool SetupEngine::openReadme() {
    char path[MAX_PATH];
    if (!formatText(path, sizeof path, "%s\\%s", installed ? installDir : sourceDir, kReadmeName)) return false;
    return openWithShell(path, "");
}

int CALLBACK browseCallback(HWND browseWindow, UINT message, LPARAM, LPARAM data) {
    switch (message) {
        case BFFM_INITIALIZED:
            SendMessageA(browseWindow, BFFM_SETSELECTIONA, TRUE, data);
            return 0;
        case BFFM_VALIDATEFAILEDA:
            MessageBoxA(browseWindow, kInvalidFolder, kErrorCaption, MB_OK);
            return 1;
        default:
            return 0;
    }
}

bool FolderPicker::browseForFolder(char* path, int pathSize, int kind, bool trailingBackslash) {
    // The display name goes to a buffer of its own: path keeps its folder until a whole new one
    // replaces it.
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = kBrowseTitle;
    info.ulFlags = browseFlagsOf(kind);
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(path);
    info.iImage = 0;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen) return false;
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) {
        MessageBoxA(owner, kAllocatorError, kErrorCaption, MB_OK);
        CoTaskMemFree(chosen);
        return false;
    }
    char folder[kBrowsePathSize] = {};
    bool usable = SHGetPathFromIDListA(chosen, folder) && folder[0] != '\0';
    size_t length = strlen(folder);
    if (usable && trailingBackslash && !endsWithSeparator(folder)) {
        usable = length + 1 < sizeof folder;
        if (usable) memcpy(folder + length++, "\\", 2);
    }
    // A folder without a file-system path, or one that does not fit, leaves path as it was.
    usable = usable && length < static_cast<size_t>(pathSize);
    if (usable) memcpy(path, folder, length + 1);
    allocator->Free(chosen);
    allocator->Release();
    return usable;
}
