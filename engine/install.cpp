// Install and uninstall: the free-space check, the install folder, the background copy, the
// install record and the Start-menu entries, and their undoing.
#include <cstring>

#include "engine/setup_engine.h"
#include "engine/text.h"
#include "platform/user.h"

namespace {

const char kNotEnoughSpace[] =
    "%s ドライブの空き容量が足りません。\n今現在のドライブの容量は %dMです。\nインストールするには "
    "約%dMの容量が必要です。";
const char kFolderNotMade[] = "%s フォルダを作成できませんでした。";
const char kInstallCompleted[] = "インストールが完了しました。";
const char kCreateFolder[] = "%s\nフォルダを作成します。\nよろしいですか？";
const char kUninstallQuestion[] = "%s のアンインストールを開始します。\n開始してもよろしいですか？";
const char kUninstallCompleted[] = "アンインストールが完了しました。";
const char kWritingRecord[] = "レジストリにゲーム情報を書き込んでいます。";
const char kMakingStartMenu[] = "スタートメニューに登録しています。";
const char kWarningCaption[] = "確認";
const char kCompletionCaption[] = "終了";

// Room for the longest message: a path of 259 bytes and the text around it.
constexpr size_t kMessageSize = 1024;

void deleteListedFiles(StringList list, const char* dir) {
    for (size_t i = 0; list && list[i][0] != '\0'; ++i) {
        char path[MAX_PATH] = {};
        if (!formatText(path, sizeof path, "%s\\%s", dir, list[i])) continue;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(path, &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        FindClose(search);
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
}

}  // namespace

bool SetupEngine::deleteInstalledFiles(const char* dir) {
    deleteListedFiles(installFiles, dir);
    deleteListedFiles(updateFiles, dir);
    return true;
}

bool SetupEngine::ensureFolder(const char* path) {
    return SetCurrentDirectoryA(path) || CreateDirectoryA(path, nullptr);
}

bool SetupEngine::createFolderPath(const char* path) {
    if (!SetCurrentDirectoryA(path)) {
        char question[kMessageSize];
        formatText(question, sizeof question, kCreateFolder, path);
        if (MessageBoxA(ownerWindow, question, kWarningCaption, MB_YESNO | MB_ICONQUESTION) == IDNO) {
            return false;
        }
    }
    // Every folder on the way, each prefix with its closing backslash; the second byte of a
    // double-byte character is never taken for one.
    size_t length = strlen(path);
    if (length >= MAX_PATH) return false;
    for (size_t i = 0; i < length; ++i) {
        if (isLeadByte932(static_cast<unsigned char>(path[i])) && i + 1 < length) {
            ++i;
            continue;
        }
        if (path[i] != '\\') continue;
        char prefix[MAX_PATH] = {};
        memcpy(prefix, path, i + 1);
        if (!ensureFolder(prefix)) return false;
    }
    return ensureFolder(path);
}

uint32_t SetupEngine::freeDiskMegabytes(const char* dir) {
    // A query that fails finds no space: the install then refuses rather than guesses.
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExA(dir, &available, &total, &free)) return 0;
    return static_cast<uint32_t>(free.QuadPart >> 20);
}

bool SetupEngine::runInstall() {
    if (endsWithSeparator(installBase)) installBase[strlen(installBase) - 1] = '\0';
    char message[kMessageSize];
    if (!formatText(installDir, sizeof installDir, "%s\\%s\\%s", installBase, makerName, productFolder)) {
        formatText(message, sizeof message, kFolderNotMade, installBase);
        MessageBoxA(ownerWindow, message, kWarningCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    freeMegabytes = freeDiskMegabytes(installBase);
    if (requiredMegabytes > freeMegabytes) {
        char drive[4] = {};
        memcpy(drive, installDir, 3);
        formatText(message, sizeof message, kNotEnoughSpace, drive, static_cast<int>(freeMegabytes),
                   static_cast<int>(requiredMegabytes));
        MessageBoxA(ownerWindow, message, kWarningCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (!createFolderPath(installDir)) {
        formatText(message, sizeof message, kFolderNotMade, installDir);
        MessageBoxA(ownerWindow, message, kWarningCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (!copyInBackground()) {
        deleteInstalledFiles(installDir);
        return false;
    }
    showStatus(kWritingRecord);
    if (!writeInstallRecord()) {
        deleteInstalledFiles(installDir);
        deleteInstallRecord(registryKey);
        return false;
    }
    showStatus(kMakingStartMenu);
    if (!createStartMenuEntries(1)) return false;
    showStatus(kInstallCompleted);
    MessageBoxA(ownerWindow, kInstallCompleted, kCompletionCaption, MB_OK | MB_ICONWARNING);
    showStatus("");
    installed = 1;
    return true;
}

bool SetupEngine::runUninstall() {
    char question[kMessageSize];
    formatText(question, sizeof question, kUninstallQuestion, productTitle);
    if (MessageBoxA(ownerWindow, question, kWarningCaption, MB_YESNO | MB_ICONQUESTION) == IDNO) return false;
    deleteInstalledFiles(installDir);
    removeStartMenuEntries();
    if (!deleteInstallRecord(registryKey)) return false;
    MessageBoxA(ownerWindow, kUninstallCompleted, kCompletionCaption, MB_OK | MB_ICONWARNING);
    installed = 0;
    return true;
}
